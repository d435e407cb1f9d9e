#include "wizard/WizardPage.h"

#include <QBoxLayout>
#include <QPushButton>
#include <QShowEvent>

#include "ErrorStack.h"
#include "services/ErrorBoundary.h"
#include "services/HelpKey.h"
#include "wizard/AnalysisCatalog.h"
#include "wizard/CZantelsPropWiz.h"
#include "wizard/frmQuarn_Create.h"
#include "wizard/frmQuarn_Fields.h"
#include "wizard/frmQuarn_Finish.h"
#include "wizard/frmQuarn_Options.h"
#include "wizard/frmQuarn_SelectTable.h"

CWizardPage::CWizardPage(QWidget* parent) : QDialog(parent) { setModal(true); }

// Unloading releases the scenario object.
CWizardPage::~CWizardPage() { wiz_ = nullptr; }

void CWizardPage::reject() { OnWindowClose(); }

void CWizardPage::OnWindowClose() {
    if (findChild<QPushButton*>("cmdNav_4"))
        NavClicked(4);
    else
        NavClicked(1);
}

void CWizardPage::AddNavButton(QBoxLayout* row, int index, const QString& caption) {
    auto* button = new QPushButton(caption);
    button->setObjectName(QString("cmdNav_%1").arg(index));
    button->setAutoDefault(true);
    if (index == DefaultNav()) button->setDefault(true);
    connect(button, &QPushButton::clicked, this, [this, index] { NavClicked(index); });
    row->addWidget(button);
}

void CWizardPage::showEvent(QShowEvent* event) {
    for (QPushButton* button : findChildren<QPushButton*>()) button->setAutoDefault(true);
    // Made before it was inside the page, the default button is made the
    // page's own again, so that the page returns to it when the focus
    // leaves another button.
    if (auto* button = findChild<QPushButton*>(QString("cmdNav_%1").arg(DefaultNav()))) {
        button->setDefault(false);
        button->setDefault(true);
    }
    QDialog::showEvent(event);
}

void CWizardPage::ShowPageHelp() { ShowHelpFor(this); }

// --- placeholders ---------------------------------------------------------------------------------

CPlaceholderPage::CPlaceholderPage(long page, QWidget* parent) : CWizardPage(parent) {
    setObjectName(QString::fromStdString(wizard::PageFormName(page)));
}

void CPlaceholderPage::Wiz(CZantelsPropWiz* wiz) {
    if (!wiz_) wiz_ = wiz;
}

void CPlaceholderPage::ShowModal() { navResult_ = wizard::kNext; }

// --- the factory ----------------------------------------------------------------------------------

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
    return options ? options->createOptions(owner) : nullptr;
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
