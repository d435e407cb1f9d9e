// Quantara: the engine object. A client creates one, hands it the database
// that holds the scenario tables and runs a stored scenario (RunScenario), or
// computes a distribution probability (Probability) or its inverse
// (ProbInverse). Progress and completion arrive through QuantaraEvents.
//
// Property accessors follow the component conventions: get_X / put_X, and
// putref_X for object values. Optional arguments default to the Missing
// variant.
//
// The same object is the context of a run: every analysis receives it as
// `Zantels` and calls back into it. Those members are marked
// MERIVOX6_INTERNAL: they are not exported from libMerivox6.so.
//
// Threads: separate objects may run in separate threads at once (each on
// databases of its own; a Database object is used by one thread at a time).
// Sharing one object between threads is not supported. Events are raised on
// the thread that called the method. RunScenario called again on the same
// object from one of its own event handlers is refused (it returns false
// and says why in ErrorInfo); the run under way goes on.
//
// A run takes the output file's write lock before it reads its data and
// holds it until it ends: another process writing to that file waits (up to
// the busy timeout) instead of making the run fail part-way.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "Merivox6/Export.h"
#include "Merivox6/QuantaraEvents.h"
#include "dao/Dao.h"
#include "vb/Variant.h"

class CZantelsScenario;

class MERIVOX6_API Quantara {
public:
    Quantara();
    // Closes only the databases this object opened itself from a path and
    // still holds; a database handed in by the client is never closed.
    ~Quantara();
    Quantara(const Quantara&) = delete;
    Quantara& operator=(const Quantara&) = delete;

    // --- databases ---------------------------------------------------------
    // put_: a text opens that file in DBEngine.Workspaces(0); a Database
    // object (or an empty object) is held; anything else raises
    // vbObjectError + 1000 "Invalid object type: " and the variant type code.
    dao::DatabasePtr get_ScenarioDatabase() const;
    void put_ScenarioDatabase(const vb::Variant& vNewValue);
    void putref_ScenarioDatabase(const dao::DatabasePtr& vNewValue);
    dao::DatabasePtr get_SourceDatabase() const;
    void put_SourceDatabase(const vb::Variant& vNewValue);
    void putref_SourceDatabase(const dao::DatabasePtr& vNewValue);
    dao::DatabasePtr get_OutputDatabase() const;
    void put_OutputDatabase(const vb::Variant& vNewValue);
    void putref_OutputDatabase(const dao::DatabasePtr& vNewValue);

    // --- table names ---------------------------------------------------------
    const std::string& get_ScenarioTbl() const;
    void put_ScenarioTbl(const std::string& vNewValue);
    const std::string& get_OptionsTbl() const;
    void put_OptionsTbl(const std::string& vNewValue);
    const std::string& get_FieldTbl() const;
    void put_FieldTbl(const std::string& vNewValue);
    const std::string& get_SourceTableName() const;
    void put_SourceTableName(const std::string& vNewValue);
    const std::string& get_OutputTableName() const;
    void put_OutputTableName(const std::string& vNewValue);
    const std::string& get_OutputTableName2() const;
    void put_OutputTableName2(const std::string& vNewValue);

    // --- run state -------------------------------------------------------------
    // The error text of the last run; empty after success.
    const std::string& get_ErrorInfo() const;
    bool get_ShowProgress() const;
    void put_ShowProgress(bool vNewValue);
    bool get_ShowErrors() const;
    void put_ShowErrors(bool vNewValue);

    // --- methods ---------------------------------------------------------------
    // The test value whose probability of type "Z", "T", "C" or "F" is
    // dblProbability ("Z": two-sided). Bad arguments show a message box and give 0.
    double ProbInverse(const std::string& strProbType, double dblProbability, double dblDegreesOfFreedom1,
                       double dblDegreesOfFreedom2);
    // The tail probability of dblTestValue ("Z": two-sided). A type letter
    // outside Z, T, C, F shows a message box and gives 0.
    double Probability(const std::string& strProbType, double dblTestValue, double dblDegreesOfFreedom1,
                       double dblDegreesOfFreedom2);
    // Runs the stored scenario ScenarioNo. Database arguments: a path or a
    // Database object. Table-name arguments: texts. ShowProgress,
    // ShowErrors: Booleans. Returns whether the run succeeded (as possibly
    // changed by a RunScenarioComplete handler); ErrorInfo tells why not.
    bool RunScenario(const int32_t& ScenarioNo, const vb::Variant& ScenarioDb = vb::Variant::Missing(),
                     const vb::Variant& SourceDb = vb::Variant::Missing(),
                     const vb::Variant& OutputDb = vb::Variant::Missing(),
                     const vb::Variant& ScenarioTbl = vb::Variant::Missing(),
                     const vb::Variant& OptionsTbl = vb::Variant::Missing(),
                     const vb::Variant& FieldTbl = vb::Variant::Missing(),
                     const vb::Variant& SourceTableName = vb::Variant::Missing(),
                     const vb::Variant& OutputTableName = vb::Variant::Missing(),
                     const vb::Variant& OutputTableName2 = vb::Variant::Missing(),
                     const vb::Variant& ShowProgress = vb::Variant::Missing(),
                     const vb::Variant& ShowErrors = vb::Variant::Missing());

    // --- events ----------------------------------------------------------------
    // Connects a sink (not owned; it must outlive the connection) and returns
    // the connection's cookie.
    int Advise(QuantaraEvents* sink);
    void Unadvise(int cookie);

    // --- engine-internal members (the analyses' `Zantels`) ------------------------
    MERIVOX6_INTERNAL const dao::DatabasePtr& TempDatabase() const;
    MERIVOX6_INTERNAL void TempDatabase(const dao::DatabasePtr& value);
    MERIVOX6_INTERNAL bool CaseSensitive() const;
    MERIVOX6_INTERNAL void CaseSensitive(bool value);
    MERIVOX6_INTERNAL bool ShowStatus() const;
    MERIVOX6_INTERNAL void ShowStatus(bool value);
    MERIVOX6_INTERNAL const dao::RecordsetPtr& DataRecordset() const;
    MERIVOX6_INTERNAL void DataRecordset(const dao::RecordsetPtr& value);
    MERIVOX6_INTERNAL const dao::RecordsetPtr& OutputRecordset() const;
    MERIVOX6_INTERNAL void OutputRecordset(const dao::RecordsetPtr& value);
    MERIVOX6_INTERNAL const dao::RecordsetPtr& OutputRecordset2() const;
    MERIVOX6_INTERNAL void OutputRecordset2(const dao::RecordsetPtr& value);
    MERIVOX6_INTERNAL const std::string& MissingType() const;
    MERIVOX6_INTERNAL void MissingType(const std::string& value);
    MERIVOX6_INTERNAL double MissingEqual() const;
    MERIVOX6_INTERNAL void MissingEqual(double value);
    MERIVOX6_INTERNAL double MissingLow() const;
    MERIVOX6_INTERNAL void MissingLow(double value);
    MERIVOX6_INTERNAL double MissingHigh() const;
    MERIVOX6_INTERNAL void MissingHigh(double value);
    // The scenario of the current (or last) run; null before the first load.
    MERIVOX6_INTERNAL const std::shared_ptr<CZantelsScenario>& CurrentScenario() const;
    // The scratch database's file: whoever makes the scratch database sets
    // it; the run deletes that file at its end.
    MERIVOX6_INTERNAL const std::string& TempFilePath() const;
    MERIVOX6_INTERNAL void TempFilePath(const std::string& value);

    // --- source data ------------------------------------------------------------------
    // Opens "SELECT [f1], ..., [fn] FROM [strTable] ORDER BY ..." as
    // DataRecordset, sorted by the first intSortFields + 1 fields (all of them
    // when intSortFields = n), and fills the DAO type and size of every field
    // of the one-based array. Returns "" or the error text: the open failure,
    // a name that cannot go into SQL, or "No records found in " + strTable.
    MERIVOX6_INTERNAL std::string Quarn_InitDataTable(const std::string& strTable, std::vector<std::string>& strFields,
                                                      int16_t intSortFields, std::vector<int32_t>& lngTypes,
                                                      std::vector<int32_t>& lngSizes);
    // Opens Jet SQL on SourceDatabase as a read-only dynaset (";" appended
    // when missing) and keeps it as DataRecordset. Returns "" or the error
    // text (a parameter query gets its own message); on failure
    // DataRecordset keeps what it held.
    MERIVOX6_INTERNAL std::string OpenDataRecordset(std::string strSQL);
    // Re-sizes both arrays to 0..n and fills 1..n with the type and size of
    // the named fields of rs; sets CaseSensitive when the first field does
    // not use the general sort order.
    MERIVOX6_INTERNAL void Quarn_InitFieldTypes(const dao::RecordsetPtr& rs, int16_t n,
                                                const std::vector<std::string>& strFields,
                                                std::vector<int32_t>& lngTypes, std::vector<int32_t>& lngSizes);

    // --- row tests ----------------------------------------------------------------------
    // Whether a (non-Null) value is present under the missing-value mode:
    // the per-row twin of Quarn_DataWhere. With fCheck only the "Equal"
    // rule applies.
    MERIVOX6_INTERNAL bool Quarn_DataOk_b(double dblValue, const bool& fCheck = false) const;
    // The weight of DataRecordset's current row: 1 without a weight field;
    // else the field strFields[intWeightIndex] when above 0, and 0 for Null,
    // for the "Equal" missing value and for 0 or less.
    MERIVOX6_INTERNAL double Quarn_WeightCalc(bool fWeightField, const std::vector<std::string>& strFields,
                                              const int16_t& intWeightIndex);
    // Group break test over the one-based value arrays 1..n. fCompare False
    // copies current into saved and returns False; True returns whether any
    // position differs (Null equals only Null; texts ignore case unless
    // CaseSensitive).
    MERIVOX6_INTERNAL bool Quarn_SameRecords_b(int16_t n, bool fCompare, std::vector<vb::Variant>& varSaved,
                                               const std::vector<vb::Variant>& varCurrent);
    // Whether two values count as the same: Null equals only Null; a text
    // compares without case when fIgnoreCase or when CaseSensitive is off.
    MERIVOX6_INTERNAL bool Quarn_SameValue(const vb::Variant& varA, const vb::Variant& varB,
                                           const bool& fIgnoreCase) const;

    // --- scratch database -----------------------------------------------------------------
    // Makes this run's own scratch database, a new file in the temporary
    // folder, as TempDatabase (and TempFilePath, which the run deletes).
    // False when no file could be made.
    MERIVOX6_INTERNAL bool Quarn_UTIL_MakeTempDB();
    // Empties a table of the scratch database (fTemp) or of db: nothing for
    // lngRows <= 0, one DELETE statement from 100 rows on, else row by row
    // in one transaction.
    MERIVOX6_INTERNAL void Quarn_EmptyTable(bool fTemp, const std::string& strTable, int32_t lngRows,
                                            const dao::DatabasePtr& db = nullptr);

    // Progress: raises StatStatus while the run reports progress. Record 0
    // gives text + "..."; other records report every fifth (or when forced),
    // as "Analyzing record: " + number when the text is empty.
    MERIVOX6_INTERNAL void Quarn_Msg(const int32_t& lngRecord, const bool& fForce, const std::string& strText);
    // The SQL condition, in parentheses, that keeps the present values of a
    // field under the missing-value mode; empty without a mode.
    MERIVOX6_INTERNAL std::string Quarn_DataWhere(const std::string& strField) const;
    // Appends a result table to the output database with its primary index
    // "PrimaryKey" on StatOutputID and, with fOpen, opens it as
    // OutputRecordset. Returns the error description, or empty. A table
    // made here is dropped again when the run fails with an error.
    MERIVOX6_INTERNAL std::string Quarn_CreateTable(const dao::TableDefPtr& tdf, bool fOpen);
    // Drops a table of the scratch database (fTemp) or of the output
    // database; every error, a missing table included, is ignored.
    MERIVOX6_INTERNAL void Quarn_DeleteTable(bool fTemp, const std::string& strTable);
    // Default first value and width of k frequency intervals over the fields
    // o+1 .. o+c of the array, from their minimum and maximum in the source.
    MERIVOX6_INTERNAL std::string DescFreqInit_Zelk(bool fFraction, int16_t intIntervals, bool fLowerBound,
                                                    const std::string& strTable, std::vector<std::string>& strFields,
                                                    int16_t intOffset, int16_t intCount, double& dblFirst,
                                                    double& dblWidth);
    // Transactions of the analyses on DBEngine's default workspace. Begun
    // through these, a transaction still open when an analysis fails with an
    // error is rolled back by the run.
    MERIVOX6_INTERNAL void BeginTrans();
    MERIVOX6_INTERNAL void CommitTrans();

    // The object's state, for the engine's own operations.
    struct Impl;
    MERIVOX6_INTERNAL Impl& State() { return *m_; }
    MERIVOX6_INTERNAL const Impl& State() const { return *m_; }

private:
    std::unique_ptr<Impl> m_;
};
