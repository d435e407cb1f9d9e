// The run phases that most analysis entries share, in the order their
// progress messages announce them:
//
//   "Retrieving and sorting data"  source opened
//   "Creating output table"        result tables made again (NewResultTable)
//   "Analyzing records"            the record loop in one transaction
//
// then the output and data record sets closed. An analysis supplies its own
// steps; one that reads its source differently (several queries, one per
// field) or makes its tables at another time runs its own sequence.
#pragma once

#include <functional>
#include <string>

#include "dao/Dao.h"

class RunContext;

struct AnalysisPhases {
    // Opens the source as DataRecordset (with the field types and sizes the
    // tables need). Returns "" or the error text, which ends the run at once.
    std::function<std::string()> openSource;
    // Makes the result tables, the main one open as OutputRecordset. Returns
    // "" or the error text; on an error no record is read. It runs only once
    // the source is open, so a source that cannot be read leaves the tables
    // of an earlier run as they are.
    std::function<std::string()> createOutput;
    // Reads the records and writes the result rows, inside one transaction.
    std::function<void()> readRecords;
    // Optional: after that transaction is committed, before the record sets
    // are closed (a second pass with its own transaction).
    std::function<void()> afterRecords = nullptr;
};

// Runs the phases in the run context. Returns "" or the error text of the
// step that failed; errors raised by a step reach the caller unchanged.
std::string RunAnalysisPhases(RunContext& Zantels, const AnalysisPhases& phases);

// A new table definition of that name in the output database, an old table
// of the name dropped first (a failed drop is passed over).
dao::TableDefPtr NewResultTable(RunContext& Zantels, const std::string& strName);
