#pragma once
#include <memory>
#include <string>
#include <vector>
class CZantelsPropWiz;
class QWidget;
// What the wizard left: its result (0 left before the finish page, 1 Save and Run, 2 saved or cancelled on the
// finish page), and the scenario as it stands (number, analysis name, family letter), with the object itself,
// which the list window holds until the next New or Edit.
struct WizardOutcome {
    long result = 0;
    long scenarioId = 0;
    std::string calcType;
    std::string scenarioType;
    std::shared_ptr<CZantelsPropWiz> wizard;
    // Existing output tables the user agreed, on the finish page, to have replaced by the run.
    std::vector<std::string> replaceAgreed;
};
// New: the defaults of a new scenario for the analysis `analysisName` of family `familyLetter`, then the wizard from
// page 1.
WizardOutcome RunNewScenarioWizard(const std::string& familyLetter, const std::string& analysisName, QWidget* parent);
// Edit: the stored scenario `scenarioId` (its joined scenario and options rows), then the wizard from `startPage` (3,
// 30 or 50).
WizardOutcome RunEditScenarioWizard(long scenarioId, long startPage, QWidget* parent);
