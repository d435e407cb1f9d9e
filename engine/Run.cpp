// RunScenario: arguments into properties, defaults, loading, dispatch, the
// failure box, clean-up and the completion event.
#include <filesystem>
#include <system_error>

#include "ErrorStack.h"
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

void CloseRecordset(dao::RecordsetPtr& rs) {
    try {
        if (rs) rs->Close();
    } catch (...) {}
    rs = nullptr;
}

// After an error inside a run: roll back what the analysis left open and
// drop the result tables it had made, so no half-written table remains.
void UndoFailedRun(Quantara& q) {
    auto& s = q.State();
    for (; !s.transactionLevels.empty(); s.transactionLevels.pop_back()) {
        for (const auto& db : s.transactionLevels.back()) {
            try {
                db->Rollback();
            } catch (...) {}
        }
    }
    s.openTransactions = 0;
    if (s.runTransaction) {
        try {
            s.runTransaction->Rollback();
        } catch (...) {}
        s.runTransaction = nullptr;
    }
    CloseRecordset(s.DataRecordset);
    CloseRecordset(s.OutputRecordset);
    CloseRecordset(s.OutputRecordset2);
    for (const auto& [db, name] : s.createdTables) {
        try {
            if (db) db->TableDefs()->Delete(name);
        } catch (...) {}
    }
}

void DeleteScratchDatabase(Quantara& q) {
    auto& s = q.State();
    std::error_code ec;
    if (s.TempFilePath.empty() || !std::filesystem::is_regular_file(s.TempFilePath, ec)) return;
    engine::CloseAndDeleteScratch(s);
}

}  // namespace

void SaveDatabases(Quantara& q, bool fSave) {
    auto& s = q.State();
    if (fSave) {
        s.saved = s.databases;
        return;
    }
    // Put back as they were, ownership included; a database this object
    // opened during the run and no longer holds is closed.
    s.databases = s.saved;
    s.saved = {};
    CloseUnheldDatabases(q);
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

    SaveDatabases(*this, true);
    RaiseRunScenarioBegin(*this);
    s.openTransactions = 0;
    s.transactionLevels.clear();
    s.runTransaction = nullptr;
    s.createdTables.clear();

    try {
        if (!ScenarioDb.IsMissing()) LetDatabase(*this, kScenarioDb, ScenarioDb);
        if (!SourceDb.IsMissing()) LetDatabase(*this, kSourceDb, SourceDb);
        if (!OutputDb.IsMissing()) LetDatabase(*this, kOutputDb, OutputDb);

        const auto applyTableName = [](std::string& property, const vb::Variant& argument, const char* fallback) {
            std::string text = TextArgument(argument);
            if (!text.empty()) {
                property = text;
            } else if (fallback && property.empty()) {
                property = fallback;
            }
        };
        applyTableName(s.ScenarioTbl, ScenarioTbl, "USysQuarnScenarios");
        applyTableName(s.OptionsTbl, OptionsTbl, "USysQuarnOptions");
        applyTableName(s.FieldTbl, FieldTbl, "USysQuarnFields");
        applyTableName(s.SourceTableName, SourceTableName, nullptr);
        applyTableName(s.OutputTableName, OutputTableName, nullptr);
        applyTableName(s.OutputTableName2, OutputTableName2, nullptr);

        if (IsOn(ShowErrors)) s.ShowErrors = true;

        if (!s.databases[kScenarioDb]) {
            err = "Scenario database property not assigned or opened";
            quietFailure = true;
        } else {
            if (!s.databases[kSourceDb]) s.databases[kSourceDb] = s.databases[kScenarioDb];
            if (!s.databases[kOutputDb]) s.databases[kOutputDb] = s.databases[kSourceDb];
            s.ShowStatus = IsExactlyTrue(ShowProgress) || s.ShowProgress;
            if (LoadScenario(*this, ScenarioNo, err)) err = RunOneScenario(*this);
            // The analysis's work (its results, or what it dropped and made
            // before it reported a failure) is kept, as without the run's
            // own transaction.
            if (s.runTransaction) {
                s.runTransaction->CommitTrans();
                s.runTransaction = nullptr;
            }
        }
    } catch (const vb::VbError& e) {
        err = std::to_string(e.Number()) + ": " + e.Description();
        UndoFailedRun(*this);
    } catch (const std::exception& e) {
        err = std::to_string(vb::err::kInvalidProcedureCall) + ": " + e.what();
        UndoFailedRun(*this);
    }
    // An error leaves the names of the procedures it passed on the stack.
    while (stack.Depth() > depth + 1) stack.Pop();
    s.openTransactions = 0;
    s.transactionLevels.clear();
    s.createdTables.clear();

    if (!err.empty() && !quietFailure) {
        ui::Ui().Beep();
        const std::string message = "Scenario Failed\r\n\r\n" + err;
        ui::Ui().SetMousePointer(ui::vbDefault);
        if (s.ShowErrors) ShowMessage(message);
    }

    DeleteScratchDatabase(*this);
    CloseRecordset(s.DataRecordset);
    CloseRecordset(s.OutputRecordset);
    CloseRecordset(s.OutputRecordset2);
    SaveDatabases(*this, false);
    s.ErrorInfo = err;
    bool fStatus = err.empty();
    RaiseRunScenarioComplete(*this, fStatus, err);
    stack.Pop();
    return fStatus;
}
