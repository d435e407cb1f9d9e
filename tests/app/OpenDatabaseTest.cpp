// Opening a database: the dialog's checks and focus, the loop until an open
// succeeds or the user cancels, passwords, workgroup entries of the recent
// list, the scenario tables' question, unreadable files, and the file dialog.
#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QScopeGuard>
#include <QtTest>
#include <deque>
#include <filesystem>
#include <fstream>

#include "AppTestSupport.h"
#include "shell/AssignDatabase.h"
#include "shell/CCommandArgs.h"
#include "services/CFileDialog.h"
#include "shell/CMRU.h"
#include "CurrentDatabase.h"
#include "shell/MDIMain.h"
#include "shell/ProgramInfo.h"
#include "ProgramSettings.h"
#include "ScenarioTables.h"
#include "forms/frmOpenDatabase.h"
#include "registry/Registry.h"
#include "vb/Conversions.h"

namespace {

const char* kSettingsKey = "SOFTWARE\\Zelk\\Quantara\\6.0\\Settings";

std::string Stored(const std::string& name) {
    auto v = reg::QueryValue(reg::HKEY_LOCAL_MACHINE, kSettingsKey, name);
    if (!v) return "<missing>";
    std::string s = v->data;
    if (!s.empty() && s.back() == '\0') s.pop_back();
    return s;
}

template <class T>
T* Child(QWidget* w, const char* name) {
    T* child = w->findChild<T*>(name);
    if (!child) qFatal("no control %s", name);
    return child;
}

void Click(QWidget* dialog, const char* button) {
    QTest::mouseClick(Child<QPushButton>(dialog, button), Qt::LeftButton);
}

}  // namespace

class OpenDatabaseTest : public QObject {
    Q_OBJECT

    apptest::Environment env_;
    ui::RecordingUi rec_;
    std::unique_ptr<ui::ScopedUi> installed_;
    std::shared_ptr<CErr_Zelk> stack_;
    QPointer<MDIMain> frame_;
    // What to do with each "Open Scenario Database" dialog in turn; with
    // nothing left, it is cancelled.
    std::deque<std::function<void(QWidget*)>> steps_;
    int shown_ = 0;
    std::unique_ptr<apptest::EveryModalNamed> answerer_;

    std::string PathOf(const std::string& name) const { return env_.Path().toStdString() + "/" + name; }

    std::string MakeDatabase(const std::string& name, bool withTables = true) {
        std::string path = PathOf(name);
        std::filesystem::remove(path);
        dao::WorkspacePtr ws = dao::DBEngine().Workspaces(0);
        dao::DatabasePtr db = ws->CreateDatabase(path);
        if (withTables) {
            store::SetCurrentDatabase(ws, db);
            store::CreateScenarioTables();
            store::ClearCurrentDatabase();
        }
        db->Close();
        return path;
    }

    // A step that types the path (and password) and presses OK.
    static std::function<void(QWidget*)> Type(const std::string& path, const std::string& password = {}) {
        return [path, password](QWidget* dialog) {
            Child<QComboBox>(dialog, "cboDatabase")->setEditText(QString::fromStdString(path));
            Child<QLineEdit>(dialog, "txtPassword")->setText(QString::fromStdString(password));
            Click(dialog, "cmdOK");
        };
    }

    // Answers every "Open Scenario Database" dialog with the next step.
    void Answer() {
        answerer_ = std::make_unique<apptest::EveryModalNamed>("frmOpenDatabase", [this](QWidget* modal) {
            ++shown_;
            if (steps_.empty()) {
                Click(modal, "cmdCancel");
                return;
            }
            auto step = steps_.front();
            steps_.pop_front();
            step(modal);
        });
    }

private slots:
    void initTestCase() {
        installed_ = std::make_unique<ui::ScopedUi>(rec_);
        Answer();
    }

    void init() {
        env_.ClearSettings();
        rec_.Reset();
        stack_ = std::make_shared<CErr_Zelk>();
        stack_->DisplayError(false);
        stack_->Destination(vb::Variant(program::ErrorLogPath()));
        SetErrStack(stack_);
        frame_ = new MDIMain;
        frame_->Load();  // its first open dialog is cancelled
        shown_ = 0;
        rec_.Reset();
    }

    void cleanup() {
        apptest::CheckModalAnswersUsed();
        steps_.clear();
        if (frame_) delete frame_.data();
        for (QWidget* w : QApplication::topLevelWidgets())
            if (w->isVisible()) w->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        if (auto db = store::CurrentDatabase()) db->Close();
        if (auto ws = store::CurrentWorkspace()) ws->Close();
        store::ClearCurrentDatabase();
        SetErrStack(nullptr);
    }

    void dialogChecksItsFilesAndMovesTheFocus() {
        frmOpenDatabase dialog(frame_, frame_->MRU().Entries());
        QCOMPARE(dialog.windowTitle(), QString("Open Scenario Database"));
        QVERIFY(!Child<QCheckBox>(&dialog, "chkSecurity")->isChecked());
        for (const char* name : {"lblWorkgroup", "txtWorkgroup", "cmdBrowseWorkgroup", "lblUserid", "txtUserID"})
            QVERIFY2(!Child<QWidget>(&dialog, name)->isEnabled(), name);
        QVERIFY(Child<QWidget>(&dialog, "txtPassword")->isEnabled());
        QCOMPARE(Child<QLineEdit>(&dialog, "txtPassword")->echoMode(), QLineEdit::Password);
        QCOMPARE(Child<QPushButton>(&dialog, "cmdBrowseDatabase")->text(), QString::fromUtf8("\u2026"));

        dialog.show();
        Click(&dialog, "cmdOK");  // empty database text
        QCOMPARE(rec_.boxes.size(), size_t(1));
        QCOMPARE(rec_.boxes[0].prompt,
                 std::string("Cannot locate a database named ''\r\n\r\nBe sure that you have typed the path to the "
                             "database correctly, or use the Browse button to locate the database"));
        QCOMPARE(rec_.boxes[0].title, std::string("Quantara"));
        QVERIFY(dialog.isVisible());
        QCOMPARE(dialog.focusWidget(), Child<QWidget>(&dialog, "cboDatabase"));

        std::string path = MakeDatabase("plain.db");
        Child<QComboBox>(&dialog, "cboDatabase")->setEditText(QString::fromStdString(path));
        Child<QCheckBox>(&dialog, "chkSecurity")->setChecked(true);
        QVERIFY(Child<QWidget>(&dialog, "txtWorkgroup")->isEnabled());
        Child<QLineEdit>(&dialog, "txtWorkgroup")->setText("/no/such/Merivox.MDW");
        Click(&dialog, "cmdOK");
        QCOMPARE(rec_.boxes.size(), size_t(2));
        QVERIFY(rec_.boxes[1].prompt.rfind("Cannot locate a workgroup database named '/no/such/Merivox.MDW'\r\n\r\n",
                                           0) == 0);
        QVERIFY(dialog.isVisible());
        QCOMPARE(dialog.focusWidget(), Child<QWidget>(&dialog, "txtWorkgroup"));

        // The close box is Cancel.
        dialog.close();
        QVERIFY(dialog.UserCanceled());
        QCOMPARE(dialog.Database(), std::string());
        QVERIFY(!dialog.isVisible());
    }

    void typingReplacesTheProposedPathAndAChosenFileLeavesTheFocusOnOK() {
        answerer_.reset();  // this dialog is driven here
        const auto restart = qScopeGuard([this] { Answer(); });
        frmOpenDatabase dialog(frame_, frame_->MRU().Entries());
        auto* box = Child<QComboBox>(&dialog, "cboDatabase");
        box->setEditText("/data/a.db");
        dialog.show();
        QTest::keyClicks(box->lineEdit(), "/data/b.db");
        QCOMPARE(box->currentText(), QString("/data/b.db"));

        const std::string chosen = MakeDatabase("chosen.db");
        apptest::WhenModal([&](QWidget* w) {
            auto* files = qobject_cast<QFileDialog*>(w);
            files->findChild<QLineEdit*>("fileNameEdit")->setText(QString::fromStdString(chosen));
            static_cast<QDialog*>(files)->accept();
        });
        Click(&dialog, "cmdBrowseDatabase");
        QCOMPARE(box->currentText(), QString::fromStdString(chosen));
        QCOMPARE(dialog.focusWidget(), Child<QWidget>(&dialog, "cmdOK"));
        // Enter in the box, its text selected as when the dialog shows, is OK.
        box->lineEdit()->selectAll();
        QTest::keyClick(box, Qt::Key_Return);
        QVERIFY(dialog.isHidden());
        QVERIFY(!dialog.UserCanceled());
    }

    void loopOpensAndRecordsTheEntry() {
        std::string path = MakeDatabase("scen.db");
        steps_ = {Type(path)};
        QVERIFY(frame_->SelectDatabaseDialog(""));
        QCOMPARE(shown_, 1);
        QVERIFY(store::CurrentDatabase());
        QCOMPARE(store::CurrentDatabase()->Name(), path);
        QCOMPARE(store::CurrentWorkspace()->Name(), std::string("StatsGeneric"));
        QCOMPARE(store::CurrentWorkspace()->UserName(), std::string("Admin"));
        QCOMPARE(frame_->DatabasePath(), QString::fromStdString(path));
        QCOMPARE(Stored("MRU1"), path);
        QCOMPARE(Stored("MRUTAG1"), CCommandArgs::MRUSwitches("", "", ""));
        QCOMPARE(Stored("SavePassword"), std::string("False"));  // the dialog's box was clear
        QVERIFY(rec_.boxes.empty());
    }

    void wrongPasswordBringsTheDialogBack() {
        std::string path = MakeDatabase("locked.db");
        dao::SetDatabasePassword(path, "secret");
        std::string other = MakeDatabase("other.db");
        steps_ = {Type(other)};
        QVERIFY(frame_->SelectDatabaseDialog(""));

        steps_ = {Type(path, "wrong")};  // then cancelled
        QVERIFY(!frame_->SelectDatabaseDialog(""));
        QCOMPARE(shown_, 3);
        QCOMPARE(rec_.boxes.size(), size_t(1));
        QVERIFY(rec_.boxes[0].prompt.rfind("Unable to open the selected database: \r\n\r\n3031: ", 0) == 0);
        // The old database was closed before the attempt: nothing is current
        // and the status bar says so.
        QVERIFY(!store::CurrentDatabase());
        QCOMPARE(frame_->DatabasePath(), QString());

        rec_.Reset();
        program::Settings().WriteEntry("SavePassword", "True");
        steps_ = {Type(path, "secret")};
        QVERIFY(frame_->SelectDatabaseDialog(""));
        QCOMPARE(Stored("MRUTAG1"), CCommandArgs::MRUSwitches("", "", "secret"));
    }

    void passwordLeftOutWhenNotSaved() {
        std::string path = MakeDatabase("pw.db");
        dao::SetDatabasePassword(path, "secret");
        program::Settings().WriteEntry("SavePassword", "False");
        steps_ = {Type(path, "secret")};
        QVERIFY(frame_->SelectDatabaseDialog(""));
        QCOMPARE(Stored("MRUTAG1"), CCommandArgs::MRUSwitches("", "", ""));
        QCOMPARE(Stored("MRUTAG1").substr(Stored("MRUTAG1").size() - 5), std::string("/PWD "));
    }

    void unreadableFilesAreRefused() {
        std::string text = PathOf("notes.db");
        std::ofstream(text) << "These are not the tables you are looking for.\n";
        steps_ = {Type(text)};
        QVERIFY(!frame_->SelectDatabaseDialog(""));
        QCOMPARE(shown_, 2);
        QCOMPARE(rec_.boxes.size(), size_t(1));
        QVERIFY(rec_.boxes[0].prompt.rfind("Unable to open the selected database: \r\n\r\n", 0) == 0);
        QVERIFY(!store::CurrentDatabase());
        QCOMPARE(frame_->DatabasePath(), QString());
    }

    void databaseWithoutScenarioTables() {
        std::string path = MakeDatabase("bare.db", false);
        rec_.Script(ui::vbNo);
        steps_ = {Type(path)};  // then cancelled
        QVERIFY(!frame_->SelectDatabaseDialog(""));
        QCOMPARE(rec_.boxes.size(), size_t(1));
        QCOMPARE(rec_.boxes[0].title, std::string("Initialize Database"));
        // Refused: it stays the current database, and the status bar names it.
        QVERIFY(store::CurrentDatabase());
        QCOMPARE(store::CurrentDatabase()->Name(), path);
        QCOMPARE(frame_->DatabasePath(), QString::fromStdString(path));
        QVERIFY(!store::CurrentDatabase()->TableDefs()->Contains("usysQuarnScenarios"));

        rec_.Reset();
        rec_.Script(ui::vbYes);
        steps_ = {Type(path)};
        QVERIFY(frame_->SelectDatabaseDialog(""));
        for (const char* table : {"usysQuarnScenarios", "usysQuarnOptions", "usysQuarnFields"})
            QVERIFY2(store::CurrentDatabase()->TableDefs()->Contains(table), table);
    }

    void recentEntryWithWorkgroupFillsTheBoxes() {
        std::string path = MakeDatabase("wg.db");
        std::string plain = MakeDatabase("plain.db");
        std::string workgroup = PathOf("My Group.MDW");
        std::filesystem::remove(workgroup);
        dao::CreateWorkgroupFile(workgroup);
        dao::SetAccount(workgroup, "ann", "pw/1");
        frame_->MRU().SetMRUList(plain, CCommandArgs::MRUSwitches("", "", ""));
        frame_->MRU().SetMRUList(path, CCommandArgs::MRUSwitches(workgroup, "ann", "pw/1"));

        frmOpenDatabase dialog(frame_, frame_->MRU().Entries());
        auto* combo = Child<QComboBox>(&dialog, "cboDatabase");
        QCOMPARE(combo->count(), 2);
        QCOMPARE(combo->itemData(0).toInt(), -1);
        QCOMPARE(combo->itemData(1).toInt(), 0);
        // The first entry is chosen at load.
        QVERIFY(Child<QCheckBox>(&dialog, "chkSecurity")->isChecked());
        QCOMPARE(dialog.Workgroup(), workgroup);
        QCOMPARE(dialog.UserID(), std::string("ann"));
        QCOMPARE(dialog.Password(), std::string("pw/1"));
        // Proposing the other one clears the log-on boxes.
        dialog.Database(vb::UCase(plain));
        QCOMPARE(dialog.Database(), plain);
        QVERIFY(!Child<QCheckBox>(&dialog, "chkSecurity")->isChecked());
        QCOMPARE(dialog.Workgroup(), std::string());
        QCOMPARE(dialog.Password(), std::string());

        // Opened through the workgroup: the workspace "Stats" as that user.
        steps_ = {[](QWidget* d) { Click(d, "cmdOK"); }};
        QVERIFY(frame_->SelectDatabaseDialog(path));
        QCOMPARE(store::CurrentWorkspace()->Name(), std::string("Stats"));
        QCOMPARE(store::CurrentWorkspace()->UserName(), std::string("ann"));

        // Filled from that entry, another path typed and the box cleared: the
        // greyed boxes keep their text, but the open logs on to no workgroup.
        QString greyed;
        steps_ = {[&](QWidget* d) {
            Child<QComboBox>(d, "cboDatabase")->setEditText(QString::fromStdString(plain));
            QTest::keyClick(Child<QCheckBox>(d, "chkSecurity"), Qt::Key_Space);
            Child<QLineEdit>(d, "txtPassword")->clear();
            auto* box = Child<QLineEdit>(d, "txtWorkgroup");
            if (!box->isEnabled()) greyed = box->text();
            Click(d, "cmdOK");
        }};
        rec_.Reset();
        QVERIFY(frame_->SelectDatabaseDialog(""));
        QCOMPARE(greyed, QString::fromStdString(workgroup));
        QVERIFY2(rec_.boxes.empty(), rec_.boxes.empty() ? "" : rec_.boxes[0].prompt.c_str());
        QCOMPARE(store::CurrentDatabase()->Name(), plain);
        QCOMPARE(store::CurrentWorkspace()->Name(), std::string("StatsGeneric"));
        QCOMPARE(store::CurrentWorkspace()->UserName(), std::string("Admin"));
    }

    void fileOpenDialogCodes() {
        std::string existing = MakeDatabase("x.MDB");
        vb::Variant name(existing);
        QCOMPARE(FileOpenDialog(name, frame_, "", "All Files (*.*)|*.*"), 0);
        QCOMPARE(name.String(), existing);
        vb::Variant missing(PathOf("gone.mdb"));
        QCOMPARE(FileOpenDialog(missing, frame_, "", "All Files (*.*)|*.*"), vb::kObjectError + 1000);

        QString title;
        QStringList filters;
        QString folder;
        apptest::WhenModal([&](QWidget* w) {
            auto* dialog = qobject_cast<QFileDialog*>(w);
            QVERIFY(dialog);
            title = dialog->windowTitle();
            filters = dialog->nameFilters();
            folder = dialog->directory().absolutePath();
            dialog->reject();
        });
        vb::Variant empty{std::string()};
        const std::string filter = "SQLite database (*.mdb;*.db;*.sqlite;*.sqlite3)|*.mdb;*.db;*.sqlite;*.sqlite3|"
                                   "All Files (*.*)|*.*";
        QCOMPARE(FileOpenDialog(empty, frame_, env_.Path().toStdString(), filter), vb::kObjectError + 1001);
        QCOMPARE(empty.String(), std::string());
        QCOMPARE(title, QString("Quantara Open Database"));
        QCOMPARE(filters, QStringList({"SQLite database (*.mdb *.db *.sqlite *.sqlite3)", "All Files (*)"}));
        QCOMPARE(folder, QDir(env_.Path()).absolutePath());

        apptest::WhenModal([&](QWidget* w) {
            auto* dialog = qobject_cast<QFileDialog*>(w);
            // Typed as a name without its extension: the default one is added.
            dialog->findChild<QLineEdit*>("fileNameEdit")->setText("x");
            static_cast<QDialog*>(dialog)->accept();
        });
        QCOMPARE(FileOpenDialog(empty, frame_, env_.Path().toStdString(), filter), 0);
        QCOMPARE(empty.String(), existing);
    }
};

QTEST_MAIN(OpenDatabaseTest)
#include "OpenDatabaseTest.moc"
