// The factory of the wizard's page windows: the one place that knows every
// page, kept apart from the page protocol the pages themselves build on.
#include <utility>

#include "wizard/AnalysisCatalog.h"
#include "wizard/COptionPage.h"
#include "wizard/CZantelsPropWiz.h"
#include "wizard/WizardPage.h"
#include "wizard/frmQuarn_Create.h"
#include "wizard/frmQuarn_Fields.h"
#include "wizard/frmQuarn_Finish.h"
#include "wizard/frmQuarn_Options.h"
#include "wizard/frmQuarn_SelectTable.h"

namespace wizard {

std::string PageFormName(long page) {
    if (page == kAnalysisPage) return "frmQuarn_Create";
    if (page == kSourcePage) return "frmQuarn_SelectTable";
    if (page == kFieldsPage) return "frmQuarn_Fields";
    if (page == kFinishPage) return "frmQuarn_Finish";
    const catalog::AnalysisEntry* options = catalog::OptionsPageEntry(page);
    return options ? options->optionsForm : std::string();
}

COptionPage* CreateOptionPage(long page, QWidget* owner) {
    const catalog::AnalysisEntry* options = catalog::OptionsPageEntry(page);
    if (options == nullptr) return nullptr;
    COptionPage* created = options->createOptions(owner);
    created->setProperty("HelpContextID", options->helpTopic);
    created->NextCheck(options->nextCheck);
    return created;
}

CWizardPage* CreatePage(long page, QWidget* owner) {
    if (page == kAnalysisPage) return new frmQuarn_Create(owner);
    if (page == kSourcePage) return new frmQuarn_SelectTable(owner);
    if (page == kFieldsPage) return new frmQuarn_Fields(owner);
    if (page == kFinishPage) return new frmQuarn_Finish(owner);
    if (CWizardPage* options = CreateOptionPage(page, owner)) return options;
    return new CPlaceholderPage(page, owner);
}

namespace {
PageFactory& Factory() {
    static PageFactory factory = CreatePage;
    return factory;
}
}  // namespace

PageFactory SetPageFactory(PageFactory factory) {
    PageFactory previous = std::move(Factory());
    Factory() = factory ? std::move(factory) : PageFactory(CreatePage);
    return previous;
}

const PageFactory& CurrentPageFactory() { return Factory(); }

}  // namespace wizard
