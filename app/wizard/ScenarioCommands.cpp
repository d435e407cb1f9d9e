// New and Edit of the scenario list: fill a scenario object (a new
// scenario's values, or a stored scenario's rows) and run the wizard on it.
#include "wizard/ScenarioCommands.h"

#include <optional>

#include "CurrentDatabase.h"
#include "ErrorStack.h"
#include "shell/ProgramInfo.h"
#include "ScenarioCatalogue.h"
#include "ScenarioQueries.h"
#include "services/ErrorBoundary.h"
#include "ui/UiServices.h"
#include "vb/VbError.h"
#include "wizard/CZantelsPropWiz.h"

namespace {

WizardOutcome Outcome(long result, const std::shared_ptr<CZantelsPropWiz>& wiz) {
    WizardOutcome out;
    out.result = result;
    out.wizard = wiz;
    if (wiz) {
        out.scenarioId = wiz->Scenario_ID();
        out.calcType = wiz->CalcType();
        out.scenarioType = wiz->Scenario_Type();
        out.replaceAgreed = wiz->ReplaceAgreed();
    }
    return out;
}

}  // namespace

WizardOutcome RunNewScenarioWizard(const std::string& familyLetter, const std::string& analysisName, QWidget* parent) {
    WizardOutcome out;
    Guarded("RunNewScenarioWizard", [&] {
        auto wiz = std::make_shared<CZantelsPropWiz>();
        wiz->SetNewScenario(familyLetter, analysisName);
        out = Outcome(0, wiz);
        const long result = wiz->ShowStatWizard(wizard::kAnalysisPage, parent);
        out = Outcome(result, wiz);
    });
    return out;
}

WizardOutcome RunEditScenarioWizard(long scenarioId, long startPage, QWidget* parent) {
    WizardOutcome out;
    Guarded("RunEditScenarioWizard", [&] {
        dao::DatabasePtr db = store::CurrentDatabase();
        if (!db) vb::Raise(vb::err::kObjectVariableNotSet, "No database is open.");
        const int32_t id = static_cast<int32_t>(scenarioId);
        // The row and the scenario as stored, read at one moment: the save
        // checks against it that no other program changed the scenario meanwhile.
        std::optional<dao::WorkspaceTransaction> reading;
        if (dao::WorkspacePtr ws = store::CurrentWorkspace()) reading.emplace(ws);
        dao::RecordsetPtr row = db->OpenRecordset(store::GetScenOptionSQL(id), dao::dbOpenSnapshot, dao::dbReadOnly);
        dao::RecordsetCloser closer(row);
        if (row->Eof()) {
            row->Close();
            if (reading) reading->Commit();
            ui::MsgBox("Scenario not found: " + std::to_string(scenarioId), ui::vbOKOnly, program::kAppTitle);
            return;
        }
        auto wiz = std::make_shared<CZantelsPropWiz>();
        wiz->Scenario_ID(id);
        const std::vector<std::string> unread = wiz->LoadScenario(row);
        row->Close();
        wiz->Stored(store::ReadStoredScenario(db, id));
        if (reading) reading->Commit();
        if (!unread.empty()) {
            std::string names;
            for (const std::string& name : unread) names += (names.empty() ? "" : ", ") + name;
            ui::MsgBox("These options of the scenario could not be read and show the values of a new scenario "
                       "instead: " +
                           names + ". Saving the scenario stores the values shown.",
                       ui::vbOKOnly | ui::vbExclamation, program::kAppTitle);
        }
        out = Outcome(0, wiz);
        const long result = wiz->ShowStatWizard(startPage, parent);
        out = Outcome(result, wiz);
    });
    return out;
}
