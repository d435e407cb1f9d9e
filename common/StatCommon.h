// Shared routines of both deliverables: the product's settings sub-key, the
// path splitter, the application folder, free disk space and file versions.
#pragma once

#include <string>

#include "vb/Variant.h"

// "Quantara\6.0": the Program level of the program's settings keys.
std::string GetProductRegKey();

// Splits a path into drive ("C:"), directory, file name (at most 8
// characters) and extension (a point and 1 to 3 characters). "\" and "/" both
// separate folders. Outputs the split does not reach keep the caller's values.
// False after a run-time error (shown in a message box).
bool ParsePath(const std::string& path, std::string& drive, std::string& directory, std::string& fileName,
               std::string& extension);

// The application's folder with exactly one trailing "/", as a string
// variant; Empty after a run-time error.
vb::Variant GetAppPath();

// Bytes free to the caller on the file system holding the drive or folder; 0 on failure.
double GetDriveFreeSpace(const std::string& drive);

// "major.minor.build.revision" of a file (missing parts are 0), or "" for a
// file without a version or that does not exist.
std::string GetFileVersion(const std::string& fileName);
