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
    struct RunningFlag {
        bool& flag;
        explicit RunningFlag(bool& f) : flag(f) { flag = true; }
        ~RunningFlag() { flag = false; }
    } runningFlag(s.running);
    CErr_Zelk& stack = ErrStack();
    const int16_t depth = stack.Depth();
    stack.Push("Zantel_RunScenario");
    stack.ScenarioNumber(ScenarioNo);
    std::string err;
    bool quietFailure = false;  // no scenario database: no beep, no box

    SaveDatabases(s, true);
    RaiseRunScenarioBegin(s);
    // A fresh context for this run. A stored missing-value type the run does
    // not know keeps the mode of this object's previous run.
    auto context = std::make_unique<RunContext>();
    if (s.run) context->Missing(s.run->Missing());
    s.run = std::move(context);
    RunContext& run = *s.run;
    run.OnStatus([&s](std::string& message) { RaiseStatStatus(s, message); });

    try {
        if (!ScenarioDb.IsMissing()) LetDatabase(s, kScenarioDb, ScenarioDb);
        if (!SourceDb.IsMissing()) LetDatabase(s, kSourceDb, SourceDb);
        if (!OutputDb.IsMissing()) LetDatabase(s, kOutputDb, OutputDb);

        const auto applyTableName = [](std::string& property, const vb::Variant& argument, const char* fallback) {
            std::string text = TextArgument(argument);
            if (!text.empty()) {
                property = text;
            } else if (fallback && property.empty()) {
                property = fallback;
            }
        };
        applyTableName(s.tables.ScenarioTbl, ScenarioTbl, "USysQuarnScenarios");
        applyTableName(s.tables.OptionsTbl, OptionsTbl, "USysQuarnOptions");
        applyTableName(s.tables.FieldTbl, FieldTbl, "USysQuarnFields");
        applyTableName(s.tables.SourceTableName, SourceTableName, nullptr);
        applyTableName(s.tables.OutputTableName, OutputTableName, nullptr);
        applyTableName(s.tables.OutputTableName2, OutputTableName2, nullptr);

        if (IsOn(ShowErrors)) s.ShowErrors = true;

        if (!s.databases[kScenarioDb]) {
            err = "Scenario database property not assigned or opened";
            quietFailure = true;
        } else {
            if (!s.databases[kSourceDb]) s.databases[kSourceDb] = s.databases[kScenarioDb];
            if (!s.databases[kOutputDb]) s.databases[kOutputDb] = s.databases[kSourceDb];
            run.ScenarioDatabase(s.databases[kScenarioDb]);
            run.ScenarioTableNames({s.tables.ScenarioTbl, s.tables.OptionsTbl, s.tables.FieldTbl});
            run.SourceDatabase(s.databases[kSourceDb]);
            run.OutputDatabase(s.databases[kOutputDb]);
            run.ShowStatus(IsExactlyTrue(ShowProgress) || s.ShowProgress);
            if (LoadScenario(run, s.tables, ScenarioNo, err)) err = RunOneScenario(run);
            // A failure reported as text undoes the run's work as an error
            // does: what the analysis dropped comes back, what it made goes.
            if (err.empty()) {
                run.ReleaseWriteLock();
            } else {
                run.UndoAfterError();
            }
        }
    } catch (const dao::NotFiniteValue& e) {
        // Read part-way through the data: the run's work is undone.
        const ScenarioPtr scenario = run.CurrentScenario();
        err = NotFiniteMessage(e.FieldName(), scenario ? scenario->Table() : std::string());
        run.UndoAfterError();
    } catch (const ResultOverflow& e) {
        const ScenarioPtr scenario = run.CurrentScenario();
        err = ResultOverflowMessage(e.FieldName(), scenario ? scenario->Table() : std::string(), e.Column(),
                                    e.WeightField());
        run.UndoAfterError();
    } catch (const WeightSumOverflow& e) {
        const ScenarioPtr scenario = run.CurrentScenario();
        err = WeightOverflowMessage(e.FieldName(), scenario ? scenario->Table() : std::string());
        run.UndoAfterError();
    } catch (const dao::NotNumberValue& e) {
        const ScenarioPtr scenario = run.CurrentScenario();
        err = NotNumberMessage(e.FieldName(), scenario ? scenario->Table() : std::string(), e.Text(), e.Blob());
        run.UndoAfterError();
    } catch (const vb::VbError& e) {
        err = std::to_string(e.Number()) + ": " + e.Description();
        run.UndoAfterError();
    } catch (const std::exception& e) {
        err = std::to_string(vb::err::kInvalidProcedureCall) + ": " + e.what();
        run.UndoAfterError();
    }
    // An error leaves the names of the procedures it passed on the stack.
    while (stack.Depth() > depth + 1) stack.Pop();
    run.ForgetRunBookkeeping();

    if (!err.empty() && !quietFailure) {
        ui::Ui().Beep();
        const std::string message = "Scenario Failed\r\n\r\n" + err;
        ui::Ui().SetMousePointer(ui::vbDefault);
        if (s.ShowErrors) ShowMessage(message);
    }

    run.DeleteScratchDatabase();
    run.CloseRecordsets();
    SaveDatabases(s, false);
    s.ErrorInfo = err;
    bool fStatus = err.empty();
    RaiseRunScenarioComplete(s, fStatus, err);
    stack.Pop();
    return fStatus;
}
