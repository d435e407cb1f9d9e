#include "wizard/WizardPage.h"

#include <QBoxLayout>
#include <QHideEvent>
#include <QLabel>
#include <QPushButton>
#include <QShowEvent>
#include <QTimer>

#include "ErrorStack.h"
#include "dao/Dao.h"
#include "models/DataGridModel.h"
#include "models/DataGridView.h"
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

// --- reads behind another program's lock ----------------------------------------------------------

QLabel* CWizardPage::LockNote() {
    if (!lockNote_) {
        lockNote_ = new QLabel(this);
        lockNote_->setObjectName("lblLockNote");
        lockNote_->setWordWrap(true);
        lockNote_->hide();
    }
    return lockNote_;
}

bool CWizardPage::ReadWhenUnlocked(const std::string& procedure, const QString& note,
                                   std::function<void(bool late)> read) {
    waiting_ = std::move(read);
    waitingProcedure_ = procedure;
    LockNote()->setText(note);
    // A read waits as long as the grids' do: a commit, never a transaction.
    return ReadWaiting(false, DataGridModel::kLockWaitMs);
}

bool CWizardPage::ReadWaitingNow() { return !waiting_ || ReadWaiting(true, DataGridModel::kLockWaitMs); }

bool CWizardPage::ReadWaiting(bool late, int waitMs) {
    const std::function<void(bool)> read = waiting_;
    try {
        const dao::LockWaitLimit limit(waitMs);
        read(late);
    } catch (const vb::VbError& e) {
        if (e.Number() != dao::err::kLocked) {
            waiting_ = nullptr;
            if (lockLook_) lockLook_->stop();
            LockNote()->hide();
            throw;
        }
        LockNote()->show();
        if (!lockLook_) {
            // As often as the scenario list and the grids look at the file.
            lockLook_ = new QTimer(this);
            lockLook_->setInterval(DataGridView::kWatchMs);
            connect(lockLook_, &QTimer::timeout, this, [this] {
                if (!waiting_) return;
                // The look never waits: it is made again next time.
                Guarded(waitingProcedure_, [this] { ReadWaiting(true, 0); });
            });
        }
        lockLook_->start();
        return false;
    }
    waiting_ = nullptr;
    if (lockLook_) lockLook_->stop();
    LockNote()->hide();
    return true;
}

// --- placeholders ---------------------------------------------------------------------------------

CPlaceholderPage::CPlaceholderPage(long page, QWidget* parent) : CWizardPage(parent) {
    setObjectName(QString::fromStdString(wizard::PageFormName(page)));
}

void CPlaceholderPage::Wiz(CZantelsPropWiz* wiz) {
    if (!wiz_) wiz_ = wiz;
}

void CPlaceholderPage::ShowModal() { navResult_ = wizard::kNext; }
