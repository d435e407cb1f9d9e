// The unexpected-error dialog on its own, the help file and help window,
// and the help and shell wrappers.
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTextBrowser>
#include <QToolButton>
#include <QUrl>
#include <QUrlQuery>
#include <QtTest>
#include <fstream>
#include <set>

#include "AppTestSupport.h"
#include "services/CShellExecute.h"
#include "services/CWinHelp.h"
#include "forms/frmErrorHandler.h"
#include "forms/frmHelp.h"
#include "services/QtUi.h"
#include "services/HelpTopics.h"

namespace {

// Recorded services whose desktop cannot open anything.
class RefusingUi : public ui::RecordingUi {
public:
    bool Open(const std::string& target) override {
        opened.push_back(target);
        return false;
    }
};

const char* kHelpFile = MERIVOX_BIN_DIR "/Merivox.HLP";

}  // namespace

class DialogsTest : public QObject {
    Q_OBJECT

    apptest::Environment env_;
    ui::RecordingUi rec_;

    frmErrorHandler* Filled(QWidget* parent = nullptr) {
        auto* dialog = new frmErrorHandler(parent);
        dialog->AppName("Quantara");
        dialog->Readmefile("/opt/merivox/readme.txt");
        dialog->ErrHelpContextID(1);
        dialog->ErrHelpFileName(kHelpFile);
        dialog->ErrorFile("/home/ann/.local/state/Merivox/error.log");
        dialog->ErrorString("Division by zero");
        dialog->ErrorMsgString("Quantara ERROR INFORMATION\r\nLine two & more");
        return dialog;
    }

private slots:
    void init() { rec_.Reset(); }
    void cleanup() { apptest::CheckModalAnswersUsed(); }

    void errorDialogShowsWhatItIsGiven() {
        ui::ScopedUi installed(rec_);
        std::unique_ptr<frmErrorHandler> dialog(new frmErrorHandler);
        QCOMPARE(dialog->findChild<QLabel*>("lblErrorHeader")->text(), QString("<set in code>"));
        dialog.reset(Filled());
        QCOMPARE(dialog->windowTitle(), QString("Unexpected Error"));
        QCOMPARE(dialog->findChild<QLabel*>("lblErrorHeader")->text(),
                 QString("Quantara has encountered the following unanticipated error:"));
        QCOMPARE(dialog->findChild<QPlainTextEdit*>("txtError")->toPlainText(), QString("Division by zero"));
        QCOMPARE(
            dialog->findChild<QLabel*>("lblErrorFile")->text(),
            QString("View the error file using a text editor. (located in /home/ann/.local/state/Merivox/error.log)"));
        QCOMPARE(dialog->findChild<QPushButton*>("cmdAction_0")->text(), QString("&Continue"));
        QCOMPARE(dialog->findChild<QPushButton*>("cmdAction_1")->text(), QString("C&lose"));
        for (const char* name : {"Frame1", "Frame2", "Frame3", "Frame4", "Frame5", "cmdHelpFile", "cmdReadme",
                                 "cmdEMail", "cmdWebsite", "cmdErrorFile", "Text5", "Label8"})
            QVERIFY2(dialog->findChild<QWidget*>(name), name);
    }

    void continueAndCloseAnswerUserClosed() {
        ui::ScopedUi installed(rec_);
        std::unique_ptr<frmErrorHandler> dialog(Filled());
        apptest::ClickInModal("cmdAction_0");
        dialog->exec();
        QVERIFY(!dialog->UserClosed());
        QVERIFY(dialog->isHidden());
        dialog.reset(Filled());
        apptest::ClickInModal("cmdAction_1");
        dialog->exec();
        QVERIFY(dialog->UserClosed());
    }

    void errorDialogLinksGoToTheDesktop() {
        ui::ScopedUi installed(rec_);
        std::unique_ptr<frmErrorHandler> dialog(Filled());
        dialog->show();
        std::ofstream(env_.Path().toStdString() + "/readme.txt") << "readme";
        dialog->Readmefile(env_.Path().toStdString() + "/readme.txt");
        QTest::mouseClick(dialog->findChild<QToolButton*>("cmdReadme"), Qt::LeftButton);
        QTest::mouseClick(dialog->findChild<QToolButton*>("cmdWebsite"), Qt::LeftButton);
        QTest::mouseClick(dialog->findChild<QToolButton*>("cmdHelpFile"), Qt::LeftButton);
        QTest::mouseClick(dialog->findChild<QToolButton*>("cmdEMail"), Qt::LeftButton);
        QCOMPARE(rec_.opened.size(), size_t(3));
        QCOMPARE(rec_.opened[0], env_.Path().toStdString() + "/readme.txt");
        QCOMPARE(rec_.opened[1], std::string("https://www.zelk.example/support"));
        QCOMPARE(rec_.helpCalls, std::vector<std::string>({std::string(kHelpFile) + "#1"}));
        // The mail: one primary recipient, the subject, the report as the body.
        QUrl mail(QString::fromStdString(rec_.opened[2]));
        QCOMPARE(mail.scheme(), QString("mailto"));
        QCOMPARE(mail.path(), QString("support@zelk.example"));
        QUrlQuery query(mail);
        QCOMPARE(query.queryItemValue("subject", QUrl::FullyDecoded), QString("Quantara Error log"));
        QCOMPARE(query.queryItemValue("body", QUrl::FullyDecoded),
                 QString("Quantara ERROR INFORMATION\r\nLine two & more"));
        QVERIFY(rec_.boxes.empty());
        // The report file itself is missing here: nothing opens and nothing is said.
        QTest::mouseClick(dialog->findChild<QToolButton*>("cmdErrorFile"), Qt::LeftButton);
        QCOMPARE(rec_.opened.size(), size_t(3));
    }

    void mailThatCannotBeHandedOverSaysSo() {
        RefusingUi refusing;
        ui::ScopedUi installed(refusing);
        std::unique_ptr<frmErrorHandler> dialog(Filled());
        dialog->show();
        QTest::mouseClick(dialog->findChild<QToolButton*>("cmdEMail"), Qt::LeftButton);
        QCOMPARE(refusing.boxes.size(), size_t(1));
        QCOMPARE(refusing.boxes[0].prompt, std::string("Unable to sign on to server"));
        QCOMPARE(refusing.pointer, int(ui::vbDefault));
    }

    void helpFileHasEveryWindowsTopic() {
        QFile file(kHelpFile);
        QVERIFY(file.open(QIODevice::ReadOnly));
        std::vector<frmHelp::Topic> topics = frmHelp::ParseTopics(QString::fromUtf8(file.readAll()));
        std::set<int> numbers;
        for (const auto& t : topics) {
            QVERIFY2(numbers.insert(t.number).second, "a topic number is used twice");
            QVERIFY(!t.title.isEmpty());
            QVERIFY(!t.plain.trimmed().isEmpty());
        }
        for (int wanted : {help::kTroubleshooting, help::kFrame, help::kRecentDatabases, help::kOptions, help::kAbout,
                           help::kErrorDialog, help::kUsingHelp, help::kFilesAndSettings, help::kScenarioList,
                           help::kCalculator, help::kGenerateCode, help::kOpenDatabase})
            QVERIFY2(numbers.count(wanted), qPrintable(QString("topic %1 missing").arg(wanted)));
        // Every link to a topic leads to one that exists.
        QRegularExpression link("href=\"#topic-(\\d+)\"");
        for (const auto& t : topics)
            for (auto it = link.globalMatch(t.html); it.hasNext();)
                QVERIFY(numbers.count(it.next().captured(1).toInt()));
    }

    void helpWindowShowsTopicsAndSearches() {
        ui::ScopedUi installed(rec_);
        frmHelp::ShowHelp(kHelpFile, help::kOptions);
        frmHelp* w = frmHelp::Instance();
        QVERIFY(w->isVisible());
        QCOMPARE(w->CurrentTopic(), help::kOptions);
        QVERIFY(w->findChild<QTextBrowser*>("txtTopic")->toPlainText().contains("Default Output Table Prefix"));
        auto* list = w->findChild<QListWidget*>("lstTopics");
        QCOMPARE(list->currentItem()->text(), QString("Options"));

        auto* search = w->findChild<QLineEdit*>("txtSearch");
        QTest::keyClicks(search, "workgroup");
        QStringList found;
        for (int i = 0; i < list->count(); ++i) found << list->item(i)->text();
        QVERIFY(found.contains("Recently used databases"));
        QVERIFY(!found.contains("Options"));
        // Return in the search box opens the first topic found.
        QTest::keyClick(search, Qt::Key_Return);
        QCOMPARE(w->CurrentTopic(), list->item(0)->data(Qt::UserRole).toInt());

        // A topic number the file lacks shows the first topic; a missing file says so.
        frmHelp::ShowHelp(kHelpFile, 9999);
        QCOMPARE(frmHelp::Instance()->CurrentTopic(), help::kFrame);
        frmHelp::CloseHelp();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        frmHelp::ShowHelp("/nowhere/Merivox.HLP", 10);
        QCOMPARE(rec_.boxes.size(), size_t(1));
        QVERIFY(QString::fromStdString(rec_.boxes[0].prompt).startsWith("Cannot open the help file"));
        frmHelp::CloseHelp();
    }

    void helpWrappersReachTheHelp() {
        ui::ScopedUi installed(rec_);
        CWinHelp help;
        help.HelpFile(kHelpFile);
        help.OpenFinder();
        help.OpenContents();
        help.OpenContext(30);
        help.HelpOnHelp();
        help.RunMacro("CloseWindow()");
        QCOMPARE(rec_.helpCalls,
                 std::vector<std::string>({std::string(kHelpFile) + "#0", std::string(kHelpFile) + "#0",
                                           std::string(kHelpFile) + "#30", std::string(kHelpFile) + "#60"}));
        help.SearchFor("prefix");
        QCOMPARE(frmHelp::Instance()->findChild<QLineEdit*>("txtSearch")->text(), QString("prefix"));
        help.CloseFile();
        QVERIFY(rec_.boxes.empty());
    }

    void qtServicesShowRealBoxes() {
        QtUi qt;
        ui::ScopedUi installed(qt);
        QString title, text;
        QMessageBox::Icon icon = QMessageBox::NoIcon;
        bool noIsDefault = false;
        apptest::WhenModal([&](QWidget* modal) {
            auto* box = qobject_cast<QMessageBox*>(modal);
            title = box->windowTitle();
            text = box->text();
            icon = box->icon();
            noIsDefault = box->defaultButton() == box->button(QMessageBox::No);
            QTest::mouseClick(box->button(QMessageBox::Yes), Qt::LeftButton);
        });
        ui::MsgBoxResult answer = ui::MsgBox(
            "Add the tables?\r\n\r\nSure?", ui::vbYesNo | ui::vbQuestion | ui::vbDefaultButton2, "Initialize Database");
        QCOMPARE(answer, ui::vbYes);
        QCOMPARE(title, QString("Initialize Database"));
        QCOMPARE(text, QString("Add the tables?\n\nSure?"));
        QCOMPARE(icon, QMessageBox::Question);
        QVERIFY(noIsDefault);

        // Escape gives Cancel where there is one; the title defaults to the application's.
        apptest::WhenModal([&](QWidget* modal) {
            title = modal->windowTitle();
            QTest::keyClick(modal, Qt::Key_Escape);
        });
        QCOMPARE(ui::MsgBox("Go on?", ui::vbOKCancel), ui::vbCancel);
        QCOMPARE(title, QString("Quantara"));

        // The hourglass is an override cursor, and the default pointer removes it.
        qt.SetMousePointer(ui::vbHourglass);
        QVERIFY(QApplication::overrideCursor());
        QCOMPARE(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
        qt.SetMousePointer(ui::vbHourglass);
        qt.SetMousePointer(ui::vbDefault);
        QVERIFY(!QApplication::overrideCursor());
        QCOMPARE(qt.GetMousePointer(), int(ui::vbDefault));

        qt.SetClipboardText("a\tb");
        QCOMPARE(qt.ClipboardText(), std::string("a\tb"));
        QVERIFY(!qt.Open("/nowhere/at/all.txt"));
    }

    void shellResults() {
        ui::ScopedUi installed(rec_);
        CShellExecute shell;
        QVERIFY(!shell.StillExecuting());
        QCOMPARE(shell.LaunchDocument(nullptr, "/nowhere/file.txt"), CShellExecute::kFileNotFound);
        std::string doc = env_.Path().toStdString() + "/doc.txt";
        std::ofstream(doc) << "x";
        QCOMPARE(shell.LaunchDocument(nullptr, doc), -1);
        QCOMPARE(shell.LaunchEmail(nullptr, "someone@example.org"), -1);
        QCOMPARE(shell.LaunchURL(nullptr, "https://example.org/"), -1);
        QCOMPARE(shell.PrintDocument(nullptr, doc), -1);
        QCOMPARE(rec_.opened,
                 std::vector<std::string>({doc, "mailto:someone@example.org", "https://example.org/", doc}));
        // Only a program it started itself can still be running.
        QVERIFY(!shell.StillExecuting());
        QCOMPARE(shell.LaunchProgram(nullptr, "/bin/sleep", "5"), -1);
        QVERIFY(shell.StillExecuting());
        QCOMPARE(shell.LaunchProgram(nullptr, "/nowhere/program"), CShellExecute::kFileNotFound);
        QVERIFY(!shell.StillExecuting());

        RefusingUi refusing;
        ui::ScopedUi none(refusing);
        QCOMPARE(shell.LaunchURL(nullptr, "https://example.org/"), CShellExecute::kNoAssociation);
    }
};

QTEST_MAIN(DialogsTest)
#include "DialogsTest.moc"
