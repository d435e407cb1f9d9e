// Replacing the program's current workspace and database.
#pragma once

#include <string>

// Closes the current database and workspace and opens `path` through a new
// workspace ("Stats" with the given workgroup file, user and password, or
// "StatsGeneric" as "Admin" with the default workgroup file), then makes
// sure it holds the scenario tables. True when it is open as the current
// database with its tables; the frame's status bar then shows its path.
bool AssignCurrentDatabase(const std::string& path, const std::string& workgroup, const std::string& user,
                           const std::string& password);
