// The protocol every page of the scenario wizard follows, and the factory
// that makes the page window for a page number. A page is a dialog named
// after its form; the machine binds the scenario object to it before each
// showing (Wiz), shows it modally until it hides, and reads how the user
// left it (NavResult: 1 Back, 2 Next, 4 Cancel; on the finish page 1 Back,
// 2 closed, 3 Save and Run).
#pragma once

#include <QDialog>
#include <QRect>
#include <QString>
#include <functional>
#include <optional>
#include <string>

class CZantelsPropWiz;
class QLabel;
class QTimer;

class CWizardPage : public QDialog {
    Q_OBJECT
public:
    explicit CWizardPage(QWidget* parent = nullptr);
    ~CWizardPage() override;

    // Receives the scenario object before every showing. The first call
    // keeps it; later calls keep the object already held.
    virtual void Wiz(CZantelsPropWiz* wiz) = 0;
    CZantelsPropWiz* Wiz() const { return wiz_; }

    virtual long NavResult() const { return navResult_; }
    virtual void NavResult(long value) { navResult_ = value; }
    bool Loading() const { return loading_; }
    void Loading(bool value) { loading_ = value; }

    // Shows the page modally until it hides; shown again, where it was.
    // A placeholder answers at once.
    virtual void ShowModal();

protected:
    // Closing the window (its close box or Escape) leaves it as Cancel does,
    // or as Back on a page without Cancel.
    void reject() override;
    virtual void OnWindowClose();

    // Builds the row of navigation buttons `cmdNav_<index>` with these
    // captions (an empty caption: no button of that index). The button of
    // DefaultNav is the one Enter presses.
    void AddNavButton(class QBoxLayout* row, int index, const QString& caption);
    virtual int DefaultNav() const { return 2; }
    // Enter presses the button that has the focus, else the default one.
    void showEvent(class QShowEvent* event) override;
    void hideEvent(class QHideEvent* event) override;
    virtual void NavClicked(int index) = 0;
    // Help: the help file's topic of this page.
    void ShowPageHelp();

    // Reads the file for the page as the scenario list does: `read` runs at
    // once, waiting for another program's commit only. When another
    // program's lock keeps it from reading (it raises 3260 before it changes
    // anything), no box is shown: the page's note says `note`, and `read`
    // runs again twice a second, told that it runs late, until it reads. A
    // later call replaces a read that waits. True when it has read.
    bool ReadWhenUnlocked(const std::string& procedure, const QString& note, std::function<void(bool late)> read);
    // A read that waits is tried again at once (a key asks for it); true
    // when none waits any more.
    bool ReadWaitingNow();
    bool WaitsForLock() const { return static_cast<bool>(waiting_); }
    // The line that says a read waits; the page lays it out, hidden while none waits.
    QLabel* LockNote();

    CZantelsPropWiz* wiz_ = nullptr;
    long navResult_ = 0;
    bool loading_ = false;

private:
    bool ReadWaiting(bool late, int waitMs);

    std::function<void(bool late)> waiting_;
    std::string waitingProcedure_;
    QLabel* lockNote_ = nullptr;
    QTimer* lockLook_ = nullptr;
    // Where the page was when it last hid, once it has been shown.
    std::optional<QRect> lastPlace_;
};

// A page that is never shown: it lets the user pass on as Next (for a page
// number without a window; tests use it to pass over pages).
class CPlaceholderPage : public CWizardPage {
    Q_OBJECT
public:
    CPlaceholderPage(long page, QWidget* parent = nullptr);
    void Wiz(CZantelsPropWiz* wiz) override;
    void ShowModal() override;

protected:
    void NavClicked(int) override {}
};

namespace wizard {

// The form name of a page number ("frmQuarn_Finish" for 50); empty for a
// number without a window.
std::string PageFormName(long page);

// Makes the window of a page (1 to 18, 50), owned by `owner`.
using PageFactory = std::function<CWizardPage*(long page, QWidget* owner)>;
// The program's pages, with placeholders for those not built yet.
CWizardPage* CreatePage(long page, QWidget* owner);
// Replaces the factory the machine uses (tests install fakes); returns the one replaced.
PageFactory SetPageFactory(PageFactory factory);
const PageFactory& CurrentPageFactory();

}  // namespace wizard
