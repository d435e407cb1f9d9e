#include "wizard/WizardPage.h"

#include <QBoxLayout>
#include <QHideEvent>
#include <QPushButton>
#include <QShowEvent>

#include "ErrorStack.h"
#include "services/ErrorBoundary.h"
#include "services/HelpKey.h"
#include "wizard/CZantelsPropWiz.h"

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

void CWizardPage::ShowModal() {
    // Placed again by the dialog's own centring, a page shown again would
    // come back where the window manager's frame makes it, not where it was.
    if (lastPlace_) setGeometry(*lastPlace_);
    exec();
}

void CWizardPage::hideEvent(QHideEvent* event) {
    if (!event->spontaneous()) lastPlace_ = geometry();
    QDialog::hideEvent(event);
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
