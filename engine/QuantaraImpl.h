// The state of one Quantara object and the engine's private operations on it:
// the run and its helpers, the loader, the preparation and dispatch, and the
// runners. Only the engine's own code and its tests include this header.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "ErrorStack.h"
#include "Merivox6/Quantara.h"
#include "ZantelsScenario.h"
#include "dao/Dao.h"

// One-based array of field names (entry 0 empty), in role order G, C, X, Y, W.
using FieldNames = std::vector<std::string>;

struct Quantara::Impl {
    bool CaseSensitive = false;
    bool ShowStatus = false;
    std::string MissingType;
    double MissingEqual = 0;
    double MissingLow = 0;
    double MissingHigh = 0;
    dao::RecordsetPtr DataRecordset;
    dao::RecordsetPtr OutputRecordset;
    dao::RecordsetPtr OutputRecordset2;
    // ScenarioDatabase, SourceDatabase, OutputDatabase.
    std::array<dao::DatabasePtr, 3> databases;
    // Databases this object opened from a path and still has to close: each
    // is closed as soon as no property (nor a saved slot) holds it any more,
    // and at the latest when the object is released.
    std::vector<dao::DatabasePtr> openedFromPath;
    dao::DatabasePtr TempDatabase;
    std::string ScenarioTbl, OptionsTbl, FieldTbl;
    std::string SourceTableName, OutputTableName, OutputTableName2;
    bool ShowProgress = false;
    bool ShowErrors = false;
    std::string ErrorInfo;
    ScenarioPtr CurrentScenario;
    std::string TempFilePath;
    std::shared_ptr<CErr_Zelk> m_ErrHandler;
    // The three databases as they were before the current run.
    std::array<dao::DatabasePtr, 3> saved;

    std::vector<std::pair<int, QuantaraEvents*>> sinks;
    int nextCookie = 1;

    // Transactions begun through Quantara::BeginTrans and not yet committed,
    // with the databases each level was begun on (the run's output and
    // scratch databases, never the rest of the workspace: another thread's
    // engine object may be working there).
    int openTransactions = 0;
    std::vector<std::vector<dao::DatabasePtr>> transactionLevels;
    // The output database while the run holds its write transaction: taken
    // before the analysis reads, so another process's commit waits for the
    // run instead of breaking it part-way.
    dao::DatabasePtr runTransaction;
    // A run is under way (RunScenario is not re-entered from an event).
    bool running = false;
    // Result tables made during the current run (database, name).
    std::vector<std::pair<dao::DatabasePtr, std::string>> createdTables;
    // The last old result table whose drop was refused because a record set
    // reads it, with the refusal: a create of the same name reports it.
    std::string refusedDropTable;
    std::string refusedDropText;
};

namespace engine {

enum DatabaseSlot { kScenarioDb = 0, kSourceDb = 1, kOutputDb = 2 };

// Raises the events on every connected sink.
void RaiseStatStatus(Quantara& q, std::string& message);
void RaiseRunScenarioBegin(Quantara& q);
void RaiseRunScenarioComplete(Quantara& q, bool& fStatus, std::string& strError);

// The database properties' Let: a path opens the file, an object is held.
void LetDatabase(Quantara& q, DatabaseSlot slot, const vb::Variant& value);
// Closes every database this object opened from a path that no property and
// no saved slot holds any more.
void CloseUnheldDatabases(Quantara& q);

// True: remembers the three databases; False: puts them back as they were
// (with their ownership) and empties the saved slots. Pushes nothing.
void SaveDatabases(Quantara& q, bool fSave);
// Beep, default pointer, and a critical-error box titled "Quantara".
void ShowMessage(const std::string& text);

// The scenario object with its first properties set (sKey is not used).
ScenarioPtr NewScenario(const std::string& sKey, const std::string& Scenario_Description,
                        const std::string& Scenario_Type, const std::string& CalcType, const std::string& Table,
                        const std::string& OutputTable1, const std::string& OutputTable2,
                        const std::string& MissingType, const vb::Variant& MissingEqual, const vb::Variant& MissingHigh,
                        const vb::Variant& MissingLow, const std::string& Scenario_Version);
// Reads scenario ScenarioNo into a new CurrentScenario; false with the reason
// in err. err must come in empty.
bool LoadScenario(Quantara& q, const int32_t& ScenarioNo, std::string& err);

// 0 a table, 1 a query, -99 neither.
int16_t Quarn_UTIL_TableOrQuery(const dao::DatabasePtr& db, const std::string& name);

// Counts and flags that go with the field-name array.
struct FieldRoles {
    FieldNames strFields;
    int16_t nG = 0;
    int16_t nC = 0;
    int16_t nX = 0;
    bool fY = false;
    bool fW = false;
};
// Fills the array and the counts; returns "" or the role-check message.
std::string SetGlobals(const CZantelsScenario& scenario, const std::string& CalcType, FieldRoles& roles);
// Sets the engine's missing-value mode from the scenario's stored columns.
void SetMissingMode(Quantara& q, const CZantelsScenario& scenario);
// Checks the source, sets the missing-value mode, builds the array, checks
// the roles and calls the runner of the scenario's analysis.
std::string RunOneScenario(Quantara& q);

// The sorted data query of Quarn_InitDataTable: every field of the one-based
// array, sorted by the first intSortFields + 1 of them (all when
// intSortFields is their number). Raises 3125 for a name brackets cannot hold.
std::string SortedDataSql(const std::string& strTable, const std::vector<std::string>& strFields,
                          int16_t intSortFields);

// "Y" for a non-zero flag, "N" for zero.
std::string YesNoLetter(int64_t flag);

// The runners: stored options into the arguments of one analysis entry.
std::string RunDescribe_s_Zelk(Quantara& q, const CZantelsScenario& s, FieldNames& strFields, int16_t nG, int16_t nX,
                               bool fW);
std::string RunFrequency_s_Zelk(Quantara& q, const CZantelsScenario& s, FieldNames& strFields, int16_t nG, int16_t nX,
                                bool fW);
std::string RunPercentile_s_Zelk(Quantara& q, const CZantelsScenario& s, FieldNames& strFields, int16_t nG, int16_t nX,
                                 bool fW);
std::string RunCompare_s_Zelk(Quantara& q, const CZantelsScenario& s, FieldNames& strFields, int16_t nG, int16_t nX,
                              bool fY, bool fW);
std::string RunMatrix_s_Zelk(Quantara& q, const CZantelsScenario& s, FieldNames& strFields, int16_t nG, int16_t nX,
                             bool fW);
std::string RunRegression_s_Zelk(Quantara& q, const CZantelsScenario& s, FieldNames& strFields, int16_t nG, int16_t nX,
                                 bool fW);
std::string RunCrosstab_s_Zelk(Quantara& q, const CZantelsScenario& s, FieldNames& strFields, int16_t nG, int16_t nX,
                               bool fW);
std::string RunGroup_s_Zelk(Quantara& q, const CZantelsScenario& s, FieldNames& strFields, int16_t nG, int16_t nC,
                            int16_t nX, bool fW);
std::string RunChiSquare_s_Zelk(Quantara& q, const CZantelsScenario& s, FieldNames& strFields, int16_t nG, int16_t nC,
                                bool fW);
std::string RunSignFit_s_Zelk(Quantara& q, const std::string& mode, const CZantelsScenario& s, FieldNames& strFields,
                              int16_t nG, int16_t nX, bool fW);
std::string RunNPPaired_s_Zelk(Quantara& q, const CZantelsScenario& s, FieldNames& strFields, int16_t nG, int16_t nX,
                               bool fY, bool fW);
std::string RunNPTwoSample_s_Zelk(Quantara& q, const CZantelsScenario& s, FieldNames& strFields, int16_t nG, int16_t nC,
                                  int16_t nX, bool fW);
std::string RunNPNSample_s_Zelk(Quantara& q, const std::string& Table, const std::string& OutputTable1,
                                const std::string& OutputTable2, FieldNames& strFields, int16_t nG, int16_t nC,
                                int16_t nX, bool fW);

// Closes the scratch database, lets the data engine release the file and
// deletes it with the companions a connection may leave beside it. False when
// the file could not be deleted; a missing file is no failure.
bool CloseAndDeleteScratch(Quantara::Impl& s);

}  // namespace engine
