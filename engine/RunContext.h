// The context of one run: what an analysis reads, writes and reports through.
// Every analysis entry receives it as `Zantels`. The engine object makes a
// fresh one for each run and hands it the run's databases and a sink for its
// progress messages; a test can make one on its own, with no engine object.
//
// A context touches no process-wide state beyond the error stack and the UI
// services: its databases, record sets, scratch file and transactions are its
// own.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "SortedBounds.h"
#include "dao/Dao.h"
#include "vb/Variant.h"

class CZantelsScenario;

// The missing-value mode: "" (none), "Equal", "Low", "High" or "Both".
struct MissingValues {
    std::string type;
    double equal = 0;
    double low = 0;
    double high = 0;
};

class RunContext {
public:
    // Receives each progress message the run raises.
    using StatusSink = std::function<void(std::string&)>;

    RunContext() = default;
    RunContext(const RunContext&) = delete;
    RunContext& operator=(const RunContext&) = delete;

    // --- databases of the run ------------------------------------------------------
    const dao::DatabasePtr& ScenarioDatabase() const { return scenarioDb_; }
    void ScenarioDatabase(const dao::DatabasePtr& value) { scenarioDb_ = value; }
    // The names of the tables the scenarios were read from (a client may
    // choose its own).
    const std::vector<std::string>& ScenarioTableNames() const { return scenarioTables_; }
    void ScenarioTableNames(std::vector<std::string> value) { scenarioTables_ = std::move(value); }
    const dao::DatabasePtr& SourceDatabase() const { return sourceDb_; }
    void SourceDatabase(const dao::DatabasePtr& value) { sourceDb_ = value; }
    const dao::DatabasePtr& OutputDatabase() const { return outputDb_; }
    void OutputDatabase(const dao::DatabasePtr& value) { outputDb_ = value; }
    const dao::DatabasePtr& TempDatabase() const { return tempDb_; }
    void TempDatabase(const dao::DatabasePtr& value) { tempDb_ = value; }
    // The scratch database's file: whoever makes the scratch database sets
    // it; the run deletes that file at its end.
    const std::string& TempFilePath() const { return tempFilePath_; }
    void TempFilePath(const std::string& value) { tempFilePath_ = value; }

    // --- record sets ------------------------------------------------------------------
    const dao::RecordsetPtr& DataRecordset() const { return dataRs_; }
    void DataRecordset(const dao::RecordsetPtr& value) { dataRs_ = value; }
    const dao::RecordsetPtr& OutputRecordset() const { return outputRs_; }
    void OutputRecordset(const dao::RecordsetPtr& value) { outputRs_ = value; }
    const dao::RecordsetPtr& OutputRecordset2() const { return outputRs2_; }
    void OutputRecordset2(const dao::RecordsetPtr& value) { outputRs2_ = value; }

    // --- settings ---------------------------------------------------------------------
    bool CaseSensitive() const { return caseSensitive_; }
    void CaseSensitive(bool value) { caseSensitive_ = value; }
    bool ShowStatus() const { return showStatus_; }
    void ShowStatus(bool value) { showStatus_ = value; }
    void OnStatus(StatusSink sink) { statusSink_ = std::move(sink); }
    const MissingValues& Missing() const { return missing_; }
    void Missing(const MissingValues& value) {
        missing_ = value;
        missingRule_ = RuleOf(missing_.type);
    }
    const std::string& MissingType() const { return missing_.type; }
    void MissingType(const std::string& value) {
        missing_.type = value;
        missingRule_ = RuleOf(value);
    }
    double MissingEqual() const { return missing_.equal; }
    void MissingEqual(double value) { missing_.equal = value; }
    double MissingLow() const { return missing_.low; }
    void MissingLow(double value) { missing_.low = value; }
    double MissingHigh() const { return missing_.high; }
    void MissingHigh(double value) { missing_.high = value; }
    // The scenario of the run; null before it is loaded.
    const std::shared_ptr<CZantelsScenario>& CurrentScenario() const { return scenario_; }
    void CurrentScenario(const std::shared_ptr<CZantelsScenario>& value) { scenario_ = value; }

    // --- source data ------------------------------------------------------------------
    // Opens "SELECT [f1], ..., [fn] FROM [strTable] ORDER BY ..." as
    // DataRecordset, sorted by the first intSortFields + 1 fields (all of them
    // when intSortFields = n), and fills the DAO type and size of every field
    // of the one-based array. Returns "" or the error text: the open failure,
    // a name that cannot go into SQL, or "No records found in " + strTable.
    std::string Quarn_InitDataTable(const std::string& strTable, std::vector<std::string>& strFields,
                                    int16_t intSortFields, std::vector<int32_t>& lngTypes,
                                    std::vector<int32_t>& lngSizes);
    // Opens Jet SQL on SourceDatabase as a read-only dynaset (";" appended
    // when missing) and keeps it as DataRecordset. Returns "" or the error
    // text (a parameter query gets its own message); on failure
    // DataRecordset keeps what it held.
    std::string OpenDataRecordset(std::string strSQL);
    // Re-sizes both arrays to 0..n and fills 1..n with the type and size of
    // the named fields of rs; sets CaseSensitive when the first field does
    // not use the general sort order.
    void Quarn_InitFieldTypes(const dao::RecordsetPtr& rs, int16_t n, const std::vector<std::string>& strFields,
                              std::vector<int32_t>& lngTypes, std::vector<int32_t>& lngSizes);

    // --- row tests ----------------------------------------------------------------------
    // Whether a (non-Null) value is present under the missing-value mode:
    // the per-row twin of Quarn_DataWhere. With fCheck only the "Equal"
    // rule applies.
    bool Quarn_DataOk_b(double dblValue, const bool& fCheck = false) const;
    // The weight of DataRecordset's current row: 1 without a weight field;
    // else the field strFields[intWeightIndex] when above 0, and 0 for Null,
    // for the "Equal" missing value and for 0 or less.
    double Quarn_WeightCalc(bool fWeightField, const std::vector<std::string>& strFields,
                            const int16_t& intWeightIndex);
    // The same from the weight field's value, or from its number (not Null).
    double WeightOf(const vb::Variant& value) const;
    double WeightOf(double value) const;
    // Group break test over the one-based value arrays 1..n. fCompare False
    // copies current into saved and returns False; True returns whether any
    // position differs (Null equals only Null; texts ignore case unless
    // CaseSensitive).
    bool Quarn_SameRecords_b(int16_t n, bool fCompare, std::vector<vb::Variant>& varSaved,
                             const std::vector<vb::Variant>& varCurrent);
    // Whether two values count as the same: Null equals only Null; a text
    // compares without case when fIgnoreCase or when CaseSensitive is off.
    bool Quarn_SameValue(const vb::Variant& varA, const vb::Variant& varB, const bool& fIgnoreCase) const;
    // The SQL condition, in parentheses, that keeps the present values of a
    // field under the missing-value mode; empty without a mode.
    std::string Quarn_DataWhere(const std::string& strField) const;
    // The bracketed field's value where Quarn_DataWhere holds, else Null.
    std::string DataValueSql(const std::string& strField) const;
    // A field's value for SQL that compares, sorts, groups, counts or adds
    // it: `strExpr` (the bracketed name when empty), or NULLIF(strExpr, '')
    // where strTable of the source database declares the field a number that
    // may hold ''. An empty text there is an empty cell of a file another
    // tool imported, a missing value like Null, and the data record set reads
    // it as Null; SQL must not sort it above the numbers nor count it as a
    // value. An indexed field is asked once whether it holds '': without one
    // the plain name leaves SQLite free to walk the index in order.
    std::string ValueSql(const std::string& strTable, const std::string& strField, const std::string& strExpr = {});
    // The same for a field read as a number (a value or a weight). A
    // computed column of a query, or a column declared a text or bytes or
    // not at all, is read as the data record set reads it:
    // jet_number(strExpr), '' as missing, a number text as its number, any
    // other text left a text for the analysis to refuse. ValueSql leaves
    // those as they are, since a group field may be a text.
    std::string NumberSql(const std::string& strTable, const std::string& strField, const std::string& strExpr = {});
    // For values that SQL adds up rather than the data record set reads: the
    // fields, read as NumberSql reads them, are searched for a text that is
    // no number, or bytes, which SQL would add as 0, and the first found is
    // raised as dao::NotNumberValue naming its field, as the record set
    // raises it. A source that cannot be read so is left to the analysis.
    void RefuseTexts(const std::string& strTable, const std::vector<std::string>& strFields);

    // --- scratch database -----------------------------------------------------------------
    // Makes this run's own scratch database, a new file in the temporary
    // folder, as TempDatabase (and TempFilePath, which the run deletes).
    // False when no file could be made.
    bool Quarn_UTIL_MakeTempDB();
    // Empties a table of the scratch database (fTemp) or of db: nothing for
    // lngRows <= 0, one DELETE statement from 100 rows on, else row by row
    // in one transaction.
    void Quarn_EmptyTable(bool fTemp, const std::string& strTable, int32_t lngRows,
                          const dao::DatabasePtr& db = nullptr);

    // --- progress and result tables -------------------------------------------------------
    // Progress: hands a message to the status sink while the run reports
    // progress. Record 0 gives text + "..."; other records report every
    // fifth (or when forced), as "Analyzing record: " + number when the text
    // is empty.
    void Quarn_Msg(const int32_t& lngRecord, const bool& fForce, const std::string& strText);
    // Appends a result table to the output database with its primary index
    // "PrimaryKey" on StatOutputID (a column the table must have: see
    // BuildOutputFields) and, with fOpen, opens it as
    // OutputRecordset. Returns the error description, or empty. A table
    // made here is dropped again when the run fails with an error.
    std::string Quarn_CreateTable(const dao::TableDefPtr& tdf, bool fOpen);
    // Drops a table of the scratch database (fTemp) or of the output
    // database; every error, a missing table included, is ignored.
    void Quarn_DeleteTable(bool fTemp, const std::string& strTable);
    // Default first value and width of k frequency intervals over the fields
    // o+1 .. o+c of the array, from their minimum and maximum in the source.
    std::string DescFreqInit_Zelk(bool fFraction, int16_t intIntervals, bool fLowerBound, const std::string& strTable,
                                  std::vector<std::string>& strFields, int16_t intOffset, int16_t intCount,
                                  double& dblFirst, double& dblWidth);
    // The same, left to the analysis's sorted read: Quarn_InitDataTable
    // gathers the bounds as it sorts where it can, and the analysis then
    // takes its intervals from ResolveFrequencyDefaults (which reads the
    // source itself where the read could not gather them).
    void DeferFrequencyDefaults(bool fFraction, int16_t intIntervals, bool fLowerBound, const std::string& strTable,
                                std::vector<std::string>& strFields, int16_t intOffset, int16_t intCount);
    // Fills the deferred intervals' first value and width; empty when none
    // were deferred (they are then the analysis's arguments) or on success.
    std::string ResolveFrequencyDefaults(double& dblFirst, double& dblWidth);
    // Whether default intervals wait for ResolveFrequencyDefaults.
    bool FrequencyDefaultsDeferred() const { return deferredIntervals_ != nullptr; }

    // --- transactions ---------------------------------------------------------------------
    // Transactions of the analyses, on the run's output and scratch databases
    // (never the rest of the workspace: another thread's engine object may be
    // working there). Begun through these, a transaction still open when an
    // analysis fails with an error is rolled back by UndoAfterError.
    void BeginTrans();
    void CommitTrans();
    // How many levels BeginTrans opened that are not yet committed.
    size_t OpenTransactionLevels() const { return transactionLevels_.size(); }
    // The run's write lock on the output file, taken before the analysis
    // reads anything: another process's commit then waits for the run
    // (within the busy timeout) instead of making its next write fail.
    void TakeWriteLock();
    // Commits the write lock's transaction after a successful run: the
    // analysis's results are kept.
    void ReleaseWriteLock();

    // The compare field's distinct values (a Null is one value), in the
    // order the database returns them, as the check of their number read them
    // under the run's write lock: the two-sample tests take them from here
    // instead of reading the source once more.
    struct CompareValueList {
        std::string table;
        std::string field;
        std::vector<vb::Variant> values;
    };
    std::optional<CompareValueList> compareValues;

    // --- the run's end --------------------------------------------------------------------
    // After a failed run (an error, or a failure reported as text): rolls
    // back what the analysis left open and the run's write transaction, and
    // drops the result tables it had made, so no half-written table remains
    // and the tables it replaced are back.
    void UndoAfterError();
    // Forgets the open transactions and the tables made (the run is over).
    void ForgetRunBookkeeping();
    void CloseRecordsets();
    // Closes the scratch database, lets the data engine release the file and
    // deletes it with the companions a connection may leave beside it. False
    // when the file could not be deleted; a missing file is no failure.
    bool CloseAndDeleteScratch();
    // The same when the scratch file exists.
    void DeleteScratchDatabase();

private:
    // The missing-value mode as the row tests apply it, known from its text
    // when the text is set (any other text keeps every value).
    enum class MissingRule { kNone, kEqual, kLow, kHigh, kBoth };
    static MissingRule RuleOf(const std::string& type);

    std::vector<std::string> scenarioTables_;
    dao::DatabasePtr scenarioDb_, sourceDb_, outputDb_, tempDb_;
    std::string tempFilePath_;
    dao::RecordsetPtr dataRs_, outputRs_, outputRs2_;
    bool caseSensitive_ = false;
    bool showStatus_ = false;
    StatusSink statusSink_;
    MissingValues missing_;
    MissingRule missingRule_ = MissingRule::kNone;
    std::shared_ptr<CZantelsScenario> scenario_;
    // Transactions begun through BeginTrans and not yet committed, with the
    // databases each level was begun on.
    std::vector<std::vector<dao::DatabasePtr>> transactionLevels_;
    // The output database while the run holds its write transaction.
    dao::DatabasePtr writeLock_;
    // Result tables made during the run (database, name).
    std::vector<std::pair<dao::DatabasePtr, std::string>> createdTables_;
    // The last old result table whose drop was refused because a record set
    // reads it, with the refusal: a create of the same name reports it.
    std::string refusedDropTable_;
    std::string refusedDropText_;
    // Default intervals waiting for the sorted read.
    struct DeferredIntervals {
        bool fraction = false;
        int16_t intervals = 0;
        bool lower = false;
        std::string table;
        std::vector<std::string>* fields = nullptr;
        int16_t offset = 0;
        int16_t count = 0;
        std::shared_ptr<engine::SortedBounds> bounds;
    };
    std::unique_ptr<DeferredIntervals> deferredIntervals_;
    // A field of a source, as ValueSql and NumberSql see it.
    struct NumberField {
        std::string name;
        bool computed = false;  // a computed column of a query: no declared type
        bool indexed = false;   // the first field of an index of its table
        int8_t emptyText = -1;  // whether it holds '': -1 not yet asked
        bool typed = true;      // false: a column declared a text or bytes, or not at all
    };
    // The number fields of source tables and queries, by source, looked up
    // once a run.
    std::vector<std::pair<std::string, std::vector<NumberField>>> numberFields_;
    NumberField* FindNumberField(const std::string& strTable, const std::string& strField);
    bool HoldsEmptyText(const std::string& strTable, NumberField& field);
    // Whether NumberSql reads the field's '' as missing.
    bool ReadsEmptyAsMissing(const std::string& strTable, const std::string& strField);
    // A gathering of the deferred intervals' bounds for the sorted read of
    // these fields, with its select-list term; nullptr where none can be.
    std::shared_ptr<engine::SortedBounds> GatherBounds(const std::vector<std::string>& strFields, std::string& term);
};
