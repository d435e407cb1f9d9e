// The program's current database: the one the shell has opened and keeps
// open until the next open or the end of the program. The store's routines
// work on it. The shell opens the workspace and the database and hands both
// over here; closing them stays the shell's business.
#pragma once

#include "dao/Dao.h"

namespace store {

// Makes `database`, opened in `workspace`, the current database. The
// workspace is kept because table creation runs in its transaction.
// Null pointers clear the current database.
void SetCurrentDatabase(dao::WorkspacePtr workspace, dao::DatabasePtr database);
void ClearCurrentDatabase();

// Null when none is set.
dao::DatabasePtr CurrentDatabase();
dao::WorkspacePtr CurrentWorkspace();

}  // namespace store
