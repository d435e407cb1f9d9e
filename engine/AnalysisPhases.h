// The run phases that most analysis entries share, in the order their
// progress messages announce them:
//
//   "Retrieving and sorting data"  source opened, old result tables dropped
//   "Creating output table"        result tables made
//   "Analyzing records"            the record loop in one transaction
//
// then the output and data record sets closed. An analysis supplies its own
// steps; one that reads its source differently (several queries, one per
// field) or makes its tables at another time runs its own sequence.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "dao/Dao.h"

class Quantara;

struct AnalysisPhases {
    // Result tables of an earlier run, dropped once the source is open;
    // empty names are passed over.
    std::vector<std::string> resultTables;
    // Opens the source as DataRecordset (with the field types and sizes the
    // tables need). Returns "" or the error text, which ends the run at once.
    std::function<std::string()> openSource;
    // Makes the result tables, the main one open as OutputRecordset. Returns
    // "" or the error text; on an error no record is read.
    std::function<std::string()> createOutput;
    // Reads the records and writes the result rows, inside one transaction.
    std::function<void()> readRecords;
    // Optional: after that transaction is committed, before the record sets
    // are closed (a second pass with its own transaction).
    std::function<void()> afterRecords = nullptr;
};

// Runs the phases for the engine object. Returns "" or the error text of the
// step that failed; errors raised by a step reach the caller unchanged.
std::string RunAnalysisPhases(Quantara& Zantels, const AnalysisPhases& phases);

// A new table definition of that name in the output database, an old table
// of the name dropped first (a failed drop is passed over).
dao::TableDefPtr NewResultTable(Quantara& Zantels, const std::string& strName);
