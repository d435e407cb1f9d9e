// The run phases that most analysis entries share, in the order their
// progress messages announce them:
//
//   "Retrieving and sorting data"  source opened
//   "Creating output table"        result tables made again (NewResultTable)
//   "Analyzing records"            the record loop in one transaction
//
// then the output and data record sets closed. An analysis supplies its own
// steps. One that reads its source one field at a time (a sorted query per
// field, all into the same result tables) runs RunFieldPhases instead.
#pragma once

#include <functional>
#include <string>
#include <vector>

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

// The phases of an analysis that reads its source one field at a time. For
// each field 1..fieldCount: "Retrieving and sorting [name] data", openField;
// before the first field's records, the result tables are made (once); then
// readRecords inside one transaction and the data record set closed. The
// first error text (of an open or of the tables) ends the run with that
// text; the fields before it keep their rows.
struct FieldPhases {
    // The names of the fields, one per pass, for the progress messages.
    std::vector<std::string> fieldNames;
    // Opens field c (1-based) as DataRecordset. Returns "" or the error text.
    std::function<std::string(int c)> openField;
    // Makes the result tables, the main one open as OutputRecordset, once a
    // field's data are open: a run that reads nothing keeps the tables of an
    // earlier run. Returns "" or the error text. Null when the analysis made
    // its tables before the first field.
    std::function<std::string()> createOutput = nullptr;
    // Reads field c's records and writes its result rows.
    std::function<void(int c)> readRecords;
};

// Runs the per-field phases. Returns "" or the first error text; the output
// record set is closed at the end.
std::string RunFieldPhases(RunContext& Zantels, const FieldPhases& phases);
