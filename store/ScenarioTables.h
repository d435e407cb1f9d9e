// Check that the current database holds the three scenario tables, and
// create the missing ones with the user's consent. Each routine reports an
// unexpected error through the error stack's HandleError and returns false.
#pragma once

#include "ScenarioSchema.h"

namespace store {

// True when the three tables exist, or were missing and have just been
// created after the user agreed. False when the user declined (the database
// is left untouched) or creation failed; the shell then treats the database
// as not opened.
bool CheckQuarnTables();

// Creates those of the three tables that are missing, all in one
// transaction of the current workspace: either all three exist afterwards or
// nothing was added. Shows the busy pointer while it works.
bool CreateScenarioTables();

// Each builds one table in the current database; false (reported) when the
// table exists already or any step fails.
bool BuildScenarioTable();
bool BuildScenarioOptionsTable();
bool BuildScenarioFieldsTable();

// Lays down one table from its definition: columns, indexes, the append to
// TableDefs, then the "Description" properties. Raises on failure.
void BuildTable(dao::Database& database, const TableSchema& schema);

// Adds to a stored table the columns of its definition that it lacks (a
// table made before an analysis brought options of its own), each with its
// default and description; the rows it holds then read each added column's
// default (AbsentColumnValue). A save calls it before it writes the row.
// Raises on failure.
void AddMissingColumns(dao::Database& database, const TableSchema& schema);

}  // namespace store
