// RunScenario: arguments into properties, defaults, loading, dispatch, the
// failure box, clean-up and the completion event.
#include <memory>

#include "ErrorStack.h"
#include "GroupWalker.h"
#include "StatsGeneral.h"
#include "Merivox6/Quantara.h"
#include "QuantaraImpl.h"
#include "ui/UiServices.h"
#include "vb/Conversions.h"
#include "vb/VbError.h"

namespace engine {

namespace {

// An optional text argument: omitted or empty gives the empty text.
std::string TextArgument(const vb::Variant& value) {
    if (value.IsMissing() || value.IsEmpty()) return {};
    return value.ToString();
}

// An optional Boolean argument that counts only when exactly True (-1).
bool IsExactlyTrue(const vb::Variant& value) {
    if (value.IsMissing() || value.IsEmpty() || value.IsNull()) return false;
    if (value.IsNumber()) return value.ToDouble() == -1.0;
    return value.ToBool();
}

// An optional Boolean argument that counts when non-zero.
bool IsOn(const vb::Variant& value) {
    if (value.IsMissing() || value.IsEmpty() || value.IsNull()) return false;
    return value.ToBool();
}

}  // namespace

void SaveDatabases(State& s, bool fSave) {
    if (fSave) {
        s.saved = s.databases;
        return;
    }
    // Put back as they were, ownership included; a database this object
    // opened during the run and no longer holds is closed.
    s.databases = s.saved;
    s.saved = {};
    CloseUnheldDatabases(s);
}

void ShowMessage(const std::string& text) {
    ui::Ui().Beep();
    ui::Ui().SetMousePointer(ui::vbDefault);
    ui::Ui().MsgBox(text, ui::vbCritical | ui::vbOKOnly, "Quantara");
}

namespace {

// Set for the run's lifetime, however it ends.
struct RunningFlag {
    bool& flag;
    explicit RunningFlag(bool& f) : flag(f) { flag = true; }
    ~RunningFlag() { flag = false; }
    RunningFlag(const RunningFlag&) = delete;
    RunningFlag& operator=(const RunningFlag&) = delete;
};

// A table-name argument: a name given replaces the property; without one an
// empty property takes the fallback, if there is one.
void ApplyTableName(std::string& property, const vb::Variant& argument, const char* fallback) {
    std::string text = TextArgument(argument);
    if (!text.empty()) {
        property = text;
    } else if (fallback && property.empty()) {
        property = fallback;
    }
}

// A fresh context for this run. A stored missing-value type the run does
// not know keeps the mode of this object's previous run.
RunContext& NewRunContext(State& s) {
    auto context = std::make_unique<RunContext>();
    if (s.run) context->Missing(s.run->Missing());
    s.run = std::move(context);
    s.run->OnStatus([&s](std::string& message) { RaiseStatStatus(s, message); });
    return *s.run;
}

// Loads and runs the scenario on the object's databases, the source and
// output defaulting to the one before. Returns the failure's text, or
// empty; no scenario database fails quietly (no beep, no box).
std::string RunOnDatabases(State& s, RunContext& run, int32_t ScenarioNo, const vb::Variant& ShowProgress,
                           bool& quietFailure) {
    if (!s.databases[kScenarioDb]) {
        quietFailure = true;
        return "Scenario database property not assigned or opened";
    }
    if (!s.databases[kSourceDb]) s.databases[kSourceDb] = s.databases[kScenarioDb];
    if (!s.databases[kOutputDb]) s.databases[kOutputDb] = s.databases[kSourceDb];
    run.ScenarioDatabase(s.databases[kScenarioDb]);
    run.ScenarioTableNames({s.tables.ScenarioTbl, s.tables.OptionsTbl, s.tables.FieldTbl});
    run.SourceDatabase(s.databases[kSourceDb]);
    run.OutputDatabase(s.databases[kOutputDb]);
    run.ShowStatus(IsExactlyTrue(ShowProgress) || s.ShowProgress);
    std::string err;
    if (LoadScenario(run, s.tables, ScenarioNo, err)) err = RunOneScenario(run);
    // A failure reported as text undoes the run's work as an error
    // does: what the analysis dropped comes back, what it made goes.
    if (err.empty()) {
        run.ReleaseWriteLock();
    } else {
        run.UndoAfterError();
    }
    return err;
}

// The text of the exception being handled; the data's own failures name the
// field and the table of the scenario that met them.
std::string CaughtFailure(RunContext& run) {
    const auto table = [&run]() {
        const ScenarioPtr scenario = run.CurrentScenario();
        return scenario ? scenario->Table() : std::string();
    };
    try {
        throw;
    } catch (const dao::NotFiniteValue& e) {
        return NotFiniteMessage(e.FieldName(), table());
    } catch (const ResultOverflow& e) {
        return ResultOverflowMessage(e.FieldName(), table(), e.Column(), e.WeightField());
    } catch (const WeightSumOverflow& e) {
        return WeightOverflowMessage(e.FieldName(), table());
    } catch (const dao::NotNumberValue& e) {
        return NotNumberMessage(e.FieldName(), table(), e.Text(), e.Blob());
    } catch (const vb::VbError& e) {
        return std::to_string(e.Number()) + ": " + e.Description();
    } catch (const std::exception& e) {
        return std::to_string(vb::err::kInvalidProcedureCall) + ": " + e.what();
    }
}

// Beeps for a failure, and shows it when the object shows errors.
void ReportFailure(const State& s, const std::string& err) {
    ui::Ui().Beep();
    const std::string message = "Scenario Failed\r\n\r\n" + err;
    ui::Ui().SetMousePointer(ui::vbDefault);
    if (s.ShowErrors) ShowMessage(message);
}

}  // namespace

}  // namespace engine

bool Quantara::RunScenario(const int32_t& ScenarioNo, const vb::Variant& ScenarioDb, const vb::Variant& SourceDb,
                           const vb::Variant& OutputDb, const vb::Variant& ScenarioTbl, const vb::Variant& OptionsTbl,
                           const vb::Variant& FieldTbl, const vb::Variant& SourceTableName,
                           const vb::Variant& OutputTableName, const vb::Variant& OutputTableName2,
                           const vb::Variant& ShowProgress, const vb::Variant& ShowErrors) {
    using namespace engine;
    auto& s = *m_;
    if (s.running) {
        // Called again from one of this run's own event handlers: the run
        // under way keeps its databases and goes on.
        s.ErrorInfo = "RunScenario cannot be called while this object is running a scenario; "
                      "wait for the run to complete, or use another Quantara object.";
        return false;
    }
    const RunningFlag runningFlag(s.running);
    CErr_Zelk& stack = ErrStack();
    const int16_t depth = stack.Depth();
    stack.Push("Zantel_RunScenario");
    stack.ScenarioNumber(ScenarioNo);
    std::string err;
    bool quietFailure = false;

    SaveDatabases(s, true);
    RaiseRunScenarioBegin(s);
    RunContext& run = NewRunContext(s);

    try {
        if (!ScenarioDb.IsMissing()) LetDatabase(s, kScenarioDb, ScenarioDb);
        if (!SourceDb.IsMissing()) LetDatabase(s, kSourceDb, SourceDb);
        if (!OutputDb.IsMissing()) LetDatabase(s, kOutputDb, OutputDb);
        ApplyTableName(s.tables.ScenarioTbl, ScenarioTbl, "USysQuarnScenarios");
        ApplyTableName(s.tables.OptionsTbl, OptionsTbl, "USysQuarnOptions");
        ApplyTableName(s.tables.FieldTbl, FieldTbl, "USysQuarnFields");
        ApplyTableName(s.tables.SourceTableName, SourceTableName, nullptr);
        ApplyTableName(s.tables.OutputTableName, OutputTableName, nullptr);
        ApplyTableName(s.tables.OutputTableName2, OutputTableName2, nullptr);
        if (IsOn(ShowErrors)) s.ShowErrors = true;
        err = RunOnDatabases(s, run, ScenarioNo, ShowProgress, quietFailure);
    } catch (const std::exception&) {
        // A failure, even part-way through the data, undoes the run's work.
        err = CaughtFailure(run);
        run.UndoAfterError();
    }
    // An error leaves the names of the procedures it passed on the stack.
    while (stack.Depth() > depth + 1) stack.Pop();
    run.ForgetRunBookkeeping();
    if (!err.empty() && !quietFailure) ReportFailure(s, err);

    run.DeleteScratchDatabase();
    run.CloseRecordsets();
    SaveDatabases(s, false);
    s.ErrorInfo = err;
    bool fStatus = err.empty();
    RaiseRunScenarioComplete(s, fStatus, err);
    stack.Pop();
    return fStatus;
}
