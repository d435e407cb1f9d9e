// The state of one Quantara object and the engine's private operations on it:
// the run and its helpers, the loader, the preparation and dispatch (the
// runners are in Runners.h). Only the engine's own code and its tests include
// this header.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "ErrorStack.h"
#include "Merivox6/Quantara.h"
#include "RunContext.h"
#include "ZantelsScenario.h"
#include "dao/Dao.h"

// One-based array of field names (entry 0 empty), in role order G, C, X, Y, W.
using FieldNames = std::vector<std::string>;

namespace engine {
// The table names a run reads its scenario from and the overrides of its
// source and output tables.
struct TableNames {
    std::string ScenarioTbl, OptionsTbl, FieldTbl;
    std::string SourceTableName, OutputTableName, OutputTableName2;
};
}  // namespace engine

struct Quantara::Impl {
    // ScenarioDatabase, SourceDatabase, OutputDatabase.
    std::array<dao::DatabasePtr, 3> databases;
    // Databases this object opened from a path and still has to close: each
    // is closed as soon as no property (nor a saved slot) holds it any more,
    // and at the latest when the object is released.
    std::vector<dao::DatabasePtr> openedFromPath;
    engine::TableNames tables;
    bool ShowProgress = false;
    bool ShowErrors = false;
    std::string ErrorInfo;
    std::shared_ptr<CErr_Zelk> m_ErrHandler;
    // The three databases as they were before the current run.
    std::array<dao::DatabasePtr, 3> saved;

    std::vector<std::pair<int, QuantaraEvents*>> sinks;
    int nextCookie = 1;

    // The context of the current (or last) run; a new one for each run.
    std::unique_ptr<RunContext> run;
    // A run is under way (RunScenario is not re-entered from an event).
    bool running = false;
};

// The engine's own way to the state of an engine object.
struct QuantaraAccess {
    using State = Quantara::Impl;
    static State& Of(Quantara& q) { return *q.m_; }
    static const State& Of(const Quantara& q) { return *q.m_; }
};

namespace engine {

enum DatabaseSlot { kScenarioDb = 0, kSourceDb = 1, kOutputDb = 2 };

using State = QuantaraAccess::State;

// Raises the events on every connected sink.
void RaiseStatStatus(State& q, std::string& message);
void RaiseRunScenarioBegin(State& q);
void RaiseRunScenarioComplete(State& q, bool& fStatus, std::string& strError);

// The database properties' Let: a path opens the file, an object is held.
void LetDatabase(State& q, DatabaseSlot slot, const vb::Variant& value);
// Closes every database this object opened from a path that no property and
// no saved slot holds any more.
void CloseUnheldDatabases(State& q);

// True: remembers the three databases; False: puts them back as they were
// (with their ownership) and empties the saved slots. Pushes nothing.
void SaveDatabases(State& q, bool fSave);
// Beep, default pointer, and a critical-error box titled "Quantara".
void ShowMessage(const std::string& text);

// The scenario object with its first properties set (sKey is not used).
ScenarioPtr NewScenario(const std::string& sKey, const std::string& Scenario_Description,
                        const std::string& Scenario_Type, const std::string& CalcType, const std::string& Table,
                        const std::string& OutputTable1, const std::string& OutputTable2,
                        const std::string& MissingType, const vb::Variant& MissingEqual, const vb::Variant& MissingHigh,
                        const vb::Variant& MissingLow, const std::string& Scenario_Version);
// Reads scenario ScenarioNo from the run's scenario database into a new
// CurrentScenario of the run; false with the reason in err. err must come in
// empty.
bool LoadScenario(RunContext& run, const TableNames& tables, const int32_t& ScenarioNo, std::string& err);

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
// Why a run refuses a source value that is an infinity.
std::string NotFiniteMessage(const std::string& field, const std::string& table);
// Why a run fails when a statistic of finite values overflows: the values
// are the cause, or the weights of weightField when it is given.
std::string ResultOverflowMessage(const std::string& field, const std::string& table, const std::string& column,
                                  const std::string& weightField = {});
// Why a run fails when a group's weights add up beyond the largest Double.
std::string WeightOverflowMessage(const std::string& field, const std::string& table);
// Why a run refuses a text or bytes (`blob`) where a number is expected.
std::string NotNumberMessage(const std::string& field, const std::string& table, const std::string& text,
                             bool blob = false);
// Sets the engine's missing-value mode from the scenario's stored columns.
void SetMissingMode(RunContext& q, const CZantelsScenario& scenario);
// Checks the source, sets the missing-value mode, builds the array, checks
// the roles and calls the runner of the scenario's analysis.
std::string RunOneScenario(RunContext& q);

// The sorted data query of Quarn_InitDataTable: every field of the one-based
// array, sorted by the first intSortFields + 1 of them (all when
// intSortFields is their number), with `extraTerm` (if any) last in the
// select list, each sort field as `sortKey` gives it from its position and
// name (bracketed without one). Raises 3125 for a name brackets cannot hold.
std::string SortedDataSql(const std::string& strTable, const std::vector<std::string>& strFields, int16_t intSortFields,
                          const std::string& extraTerm = {},
                          const std::function<std::string(int16_t, const std::string&)>& sortKey = {});

// "Y" for a non-zero flag, "N" for zero.
std::string YesNoLetter(int64_t flag);

}  // namespace engine
