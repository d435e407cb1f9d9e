#include "wizard/ScenarioCommands.h"

#include "modMerivox.h"

WizardOutcome RunNewScenarioWizard(const std::string&, const std::string&, QWidget*) {
    NotAvailableYet("The scenario wizard");
    return {0, 0, "", "", nullptr};
}

WizardOutcome RunEditScenarioWizard(long, long, QWidget*) {
    NotAvailableYet("The scenario wizard");
    return {0, 0, "", "", nullptr};
}
