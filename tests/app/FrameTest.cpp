// The frame window: its menus and their enabling, the first start's size,
// window positions, the recently used entries (direct open closing the
// windows first), the options dialog, help and web items, the window
// arrangements, and unexpected errors reaching the error dialog.
#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QtTest>
#include <algorithm>
#include <filesystem>
#include <map>
#include <fstream>
#include <set>
#include <stdexcept>

#include "AppTestSupport.h"
#include "FormLookup.h"
#include "shell/CCommandArgs.h"
#include "shell/CMRU.h"
#include "CurrentDatabase.h"
#include "ExampleDatabase.h"
#include "forms/frmStatMain.h"
#include "shell/MDIMain.h"
#include "shell/ProgramInfo.h"
#include "shell/WindowLayout.h"
#include "ProgramSettings.h"
#include "ScenarioTables.h"
#include "shell/modMerivox.h"
#include "registry/Registry.h"
#include "services/ErrorBoundary.h"
#include "services/HelpKey.h"
#include "ui/UiServices.h"
#include "vb/VbError.h"

namespace {

const char* kSettingsKey = "SOFTWARE\\Zelk\\Quantara\\6.0\\Settings";
const char* kPositionKey = "SOFTWARE\\Zelk\\Quantara\\6.0\\Form Position";

std::string Stored(const char* key, const std::string& name) {
    auto v = reg::QueryValue(reg::HKEY_LOCAL_MACHINE, key, name);
    if (!v) return "<missing>";
    std::string s = v->data;
    if (!s.empty() && s.back() == '\0') s.pop_back();
    return s;
}

// Records which database was current when a watched window closed.
class CloseLog : public QObject {
public:
    std::vector<std::string> lines;

protected:
    bool eventFilter(QObject* watched, QEvent* e) override {
        if (e->type() == QEvent::Close) {
            dao::DatabasePtr db = store::CurrentDatabase();
            lines.push_back(watched->objectName().toStdString() + " closed with " +
                            (db ? db->Name() : std::string("none")));
        }
        return false;
    }
};

// A stand-in for a later window, named as the window it stands for.
QWidget* Named(const QString& name, CloseLog* log) {
    auto* w = new QWidget;
    w->setObjectName(name);
    w->installEventFilter(log);
    return w;
}

// A window whose handlers fail: one through the shared boundary, one not.
class Failing : public QWidget {
public:
    Failing() { setObjectName("frmFailing"); }
    void Guard() {
        Guarded("frmFailing:cmdFail_Click", [] { vb::Raise(vb::err::kInvalidProcedureCall, "The probe failed"); });
    }

protected:
    void mousePressEvent(QMouseEvent*) override { throw std::runtime_error("Escaped a handler"); }
};

}  // namespace

class FrameTest : public QObject {
    Q_OBJECT

    apptest::Environment env_;
    ui::RecordingUi rec_;
    std::unique_ptr<ui::ScopedUi> installed_;
    std::shared_ptr<CErr_Zelk> stack_;
    QPointer<MDIMain> frame_;
    HelpKeyFilter* helpKeys_ = nullptr;
    std::unique_ptr<apptest::OpenDialogCanceller> opens_;

    std::string ReportPath() const { return env_.Path().toStdString() + "/state/Merivox/error.log"; }

    void NewFrame() {
        frame_ = new MDIMain;
        frame_->Load();
    }

    QAction* Item(const char* name) {
        QAction* a = frame_->MenuAction(name);
        if (!a) qFatal("no menu item %s", name);
        return a;
    }

    std::string MakeDatabase(const std::string& name) {
        std::string path = env_.Path().toStdString() + "/" + name;
        std::filesystem::remove(path);
        dao::WorkspacePtr ws = dao::DBEngine().Workspaces(0);
        dao::DatabasePtr db = ws->CreateDatabase(path);
        store::SetCurrentDatabase(ws, db);
        store::CreateScenarioTables();
        store::ClearCurrentDatabase();
        db->Close();
        return path;
    }

    // Each child window inside the area, none at another's place, its title
    // bar (down to where its content starts) under no window in front of
    // it, and an icon under no window at all.
    void TitleBarsShow(const QString& what) {
        const QList<QMdiSubWindow*> stack = frame_->MdiArea()->subWindowList(QMdiArea::StackingOrder);
        const QRect room = frame_->MdiArea()->viewport()->rect();
        for (int i = 0; i < stack.size(); ++i) {
            const QRect g = stack[i]->geometry();
            const QString which = what + ": " + stack[i]->windowTitle();
            QVERIFY2(room.contains(g), qPrintable(which + " outside"));
            const bool icon = stack[i]->isMinimized();
            const QRect bar = icon ? g : QRect(g.topLeft(), QSize(g.width(), stack[i]->widget()->y()));
            for (int j = 0; j < stack.size(); ++j) {
                if (j == i || (j < i && !icon)) continue;
                const QString pair = which + ", " + stack[j]->windowTitle();
                QVERIFY2(!bar.intersects(stack[j]->geometry()), qPrintable(pair + " covers its title bar"));
                QVERIFY2(stack[j]->pos() != g.topLeft(), qPrintable(pair + " at one place"));
            }
        }
    }

private slots:
    void initTestCase() {
        installed_ = std::make_unique<ui::ScopedUi>(rec_);
        helpKeys_ = new HelpKeyFilter(qApp);
        qApp->installEventFilter(helpKeys_);
        opens_ = std::make_unique<apptest::OpenDialogCanceller>();
    }

    void init() {
        env_.ClearSettings();
        rec_.Reset();
        stack_ = std::make_shared<CErr_Zelk>();
        stack_->DisplayError(false);
        stack_->Destination(vb::Variant(program::ErrorLogPath()));
        SetErrStack(stack_);
        opens_->count = 0;
        NewFrame();
    }

    void cleanup() {
        apptest::CheckModalAnswersUsed();
        if (frame_) delete frame_.data();
        for (QWidget* w : QApplication::topLevelWidgets())
            if (w->isVisible()) w->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        if (auto db = store::CurrentDatabase()) db->Close();
        store::ClearCurrentDatabase();
        SetErrStack(nullptr);
        std::filesystem::remove(ReportPath());
    }

    void firstStartIsCentredAndAsksForADatabase() {
        QCOMPARE(frame_->windowTitle(), QString("Quantara Scenario Designer"));
        QVERIFY(frame_->isVisible());
        QCOMPARE(frame_->size(), QSize(635, 455));
        QRect screen = frame_->screen()->geometry();
        QCOMPARE(frame_->x(), (screen.width() - 635) / 2);
        QCOMPARE(frame_->y(), (screen.height() - 455) / 2);
        // The open-database dialog came up once as the frame loaded.
        QCOMPARE(opens_->count, 1);
        QVERIFY(rec_.boxes.empty());
    }

    void menusCarryEveryItem() {
        QStringList bar;
        for (QAction* a : frame_->menuBar()->actions()) bar << a->text();
        QCOMPARE(bar, QStringList({"&File", "&Tools", "&Window", "&Help"}));
        const std::vector<std::pair<const char*, const char*>> items = {
            {"mnufileItems_100", "&Open Database..."},
            {"mnufileItems_200", "&Close Database"},
            {"mnufileItems_1000", "E&xit"},
            {"mnuToolsItems_0", "&Probability Calculator"},
            {"mnuToolsItems_10", "&Options"},
            {"mnuToolsItems_20", "&Generate C++ Code"},
            {"mnuWindowItems_0", "T&ile Horizontally"},
            {"mnuWindowItems_10", "&Tile Vertically"},
            {"mnuWindowItems_20", "&Cascade"},
            {"mnuWindowItems_30", "&Arrange Icons"},
            {"mnuHelpItems_10", "&Contents and Index"},
            {"mnuHelpItems_30", "Zelk On the &Web"},
            {"mnuOnWebItems_10", "&Quantara"},
            {"mnuOnWebItems_20", "&Technical Support"},
            {"mnuOnWebItems_40", "&Zelk Home Page"},
            {"mnuHelpItems_50", "Contact &Zelk"},
            {"mnuHelpItems_100", "&About"},
            {"mnuHelpItems_999", "Hit Error"},
            {"mnuRightClickItems_0", "&Run"},
            {"mnuRightClickItems_20", "&Edit Fields"},
            {"mnuRightClickItems_30", "Edit &Options"},
            {"mnuRightClickItems_40", "Edit Out&put"},
            {"mnuRightClickItems_60", "Dup&licate"},
            {"mnuRightClickItems_70", "&Delete"},
            {"mnuRightClickItems_90", "&View Data Table"},
            {"mnuRightClickItems_100", "View Output Table &1"},
            {"mnuRightClickItems_110", "View Output Table &2"},
            {"mnuRightClickItems_130", "&Generate C++ Code"},
            {"mnuRightClickItems_150", "&Help"},
        };
        for (const auto& [name, caption] : items) QCOMPARE(Item(name)->text(), QString(caption));
        for (const char* separator : {"mnufileItems_900", "mnuHelpItems_20", "mnuHelpItems_40", "mnuHelpItems_60",
                                      "mnuOnWebItems_30", "mnuRightClickItems_10", "mnuRightClickItems_140"})
            QVERIFY(Item(separator)->isSeparator());
        // Hidden until used: the recent entries, their separator and the error item.
        for (const char* hidden : {"mnuFileMRU_0", "mnuFileMRU_1", "mnuFileMRU_4", "mnuHelpItems_999"})
            QVERIFY(!Item(hidden)->isVisible());
        QVERIFY(frame_->RightClickMenu()->menuAction()->parent() != frame_->menuBar());
        QCOMPARE(frame_->RightClickMenu()->title(), QString("RightClickMenu"));
        QStringList tips;
        for (const char* key : {"btnOpen", "btnClose", "btnCalc", "btnHelp"})
            tips << frame_->findChild<QAction*>(key)->toolTip();
        QCOMPARE(tips, QStringList({"Open Database", "Close Database", "Probability Calculator", "Help"}));
    }

    void itemsNeedingTheScenarioListFollowIt() {
        auto* file = frame_->findChild<QMenu*>("mnufile");
        auto* tools = frame_->findChild<QMenu*>("mnuTools");
        emit file->aboutToShow();
        emit tools->aboutToShow();
        QVERIFY(!Item("mnufileItems_200")->isEnabled());
        QVERIFY(!Item("mnuToolsItems_20")->isEnabled());

        QVERIFY(frame_->OpenDatabase(MakeDatabase("list.db"), "", "", ""));
        frame_->ShowStatMain();
        emit file->aboutToShow();
        emit tools->aboutToShow();
        QVERIFY(Item("mnufileItems_200")->isEnabled());
        QVERIFY(Item("mnuToolsItems_20")->isEnabled());

        // File > Close Database closes the list only.
        Item("mnufileItems_200")->trigger();
        QVERIFY(!IsFormLoaded("frmStatMain"));
        emit file->aboutToShow();
        QVERIFY(!Item("mnufileItems_200")->isEnabled());
        QVERIFY(frame_->isVisible());
    }

    void positionIsSavedAndRestored() {
        frame_->move(40, 30);
        frame_->resize(500, 400);
        QVERIFY(frame_->close());
        QCOMPARE(Stored(kPositionKey, "MDIMain"), std::string("600 450 7500 6000 0"));
        NewFrame();
        QCOMPARE(frame_->pos(), QPoint(40, 30));
        QCOMPARE(frame_->size(), QSize(500, 400));

        // Closed maximised: only the state is stored, and it comes back maximised.
        frame_->showMaximized();
        QVERIFY(frame_->close());
        QCOMPARE(Stored(kPositionKey, "MDIMain"), std::string("-1 -1 -1 -1 2"));
        NewFrame();
        QVERIFY(frame_->isMaximized());
    }

    void directOpenClosesTheWindowsFirst() {
        std::string oldPath = MakeDatabase("old.db");
        std::string newPath = MakeDatabase("new.sqlite3");
        QVERIFY(frame_->OpenDatabase(oldPath, "", "", ""));
        QCOMPARE(frame_->DatabasePath(), QString::fromStdString(oldPath));

        CloseLog log;
        frame_->ShowStatMain();
        QPointer<frmStatMain> oldList = frame_->StatMain();
        QVERIFY(oldList);
        oldList->installEventFilter(&log);
        frame_->AddChild(Named("frmDataGrid", &log));
        frame_->AddChild(Named("frmDataGrid", &log));
        // The modal grid is not one of the windows the open closes.
        QWidget* dialogGrid = Named("frmDataGridDialog", &log);
        dialogGrid->show();
        const std::string tag = CCommandArgs::MRUSwitches("", "", "");
        frame_->MRU().SetMRUList(oldPath, tag);
        frame_->MRU().SetMRUList(newPath, tag);
        frame_->MRU().SetMRUList(oldPath, tag);
        QCOMPARE(Item("mnuFileMRU_2")->text(), "&2. " + QString::fromStdString(newPath));
        rec_.Reset();

        Item("mnuFileMRU_2")->trigger();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);

        const std::string before = " closed with " + oldPath;
        QCOMPARE(log.lines,
                 std::vector<std::string>({"frmStatMain" + before, "frmDataGrid" + before, "frmDataGrid" + before}));
        QVERIFY(store::CurrentDatabase());
        QCOMPARE(store::CurrentDatabase()->Name(), newPath);
        QCOMPARE(frame_->DatabasePath(), QString::fromStdString(newPath));
        QCOMPARE(Item("mnuFileMRU_1")->text(), "&1. " + QString::fromStdString(newPath));
        QCOMPARE(Stored(kSettingsKey, "MRU1"), newPath);
        QCOMPARE(Stored(kSettingsKey, "MRU2"), oldPath);
        // The old list closed; a fresh one shows the new database.
        QVERIFY(!oldList);
        QVERIFY(frame_->StatMain());
        QVERIFY(!IsFormLoaded("frmDataGrid"));
        QVERIFY(IsFormLoaded("frmDataGridDialog"));
        delete dialogGrid;
    }

    void entryWithWorkgroupOrPasswordGoesThroughTheDialog() {
        std::string path = MakeDatabase("secured.db");
        frame_->MRU().SetMRUList(path, CCommandArgs::MRUSwitches("/srv/wg/Merivox.MDW", "ann", ""));
        rec_.Reset();
        opens_->count = 0;
        Item("mnuFileMRU_1")->trigger();
        QVERIFY(!store::CurrentDatabase());
        QVERIFY(rec_.boxes.empty());
        QCOMPARE(opens_->count, 1);

        frame_->MRU().SetMRUList(path, CCommandArgs::MRUSwitches("", "", "pw"));
        rec_.Reset();
        Item("mnuFileMRU_1")->trigger();
        QVERIFY(!store::CurrentDatabase());
        QCOMPARE(opens_->count, 2);
    }

    void failedDirectOpenFallsBackToTheDialog() {
        frame_->MRU().SetMRUList(env_.Path().toStdString() + "/gone.db", CCommandArgs::MRUSwitches("", "", ""));
        rec_.Reset();
        opens_->count = 0;
        Item("mnuFileMRU_1")->trigger();
        QCOMPARE(rec_.boxes.size(), size_t(1));
        QVERIFY(QString::fromStdString(rec_.boxes[0].prompt).startsWith("Unable to open the selected database: "));
        QCOMPARE(opens_->count, 1);
        QCOMPARE(frame_->DatabasePath(), QString());
    }

    void optionsWriteOnlyOnChange() {
        auto runOptions = [this](std::function<void(QWidget*)> act) {
            apptest::WhenModal(act);
            Item("mnuToolsItems_10")->trigger();
        };
        QString shown;
        runOptions([&shown](QWidget* dialog) {
            QCOMPARE(dialog->objectName(), QString("frmOptions"));
            QCOMPARE(dialog->windowTitle(), QString("Quantara Options"));
            shown = dialog->findChild<QLineEdit*>("txtDefaultPrefix")->text();
            QTest::mouseClick(dialog->findChild<QPushButton*>("cmdOK"), Qt::LeftButton);
        });
        QCOMPARE(shown, QString("Brux_"));
        QCOMPARE(Stored(kSettingsKey, "OutputTablePrefix"), std::string("<missing>"));

        runOptions([](QWidget* dialog) {
            auto* box = dialog->findChild<QLineEdit*>("txtDefaultPrefix");
            box->clear();
            QTest::keyClicks(box, "Out_");
            QTest::mouseClick(dialog->findChild<QPushButton*>("cmdCancel"), Qt::LeftButton);
        });
        QCOMPARE(Stored(kSettingsKey, "OutputTablePrefix"), std::string("<missing>"));

        runOptions([](QWidget* dialog) {
            auto* box = dialog->findChild<QLineEdit*>("txtDefaultPrefix");
            box->clear();
            QTest::keyClicks(box, " My prefix ");
            QTest::keyClick(box, Qt::Key_Return);  // OK is the default button
        });
        QCOMPARE(Stored(kSettingsKey, "OutputTablePrefix"), std::string(" My prefix "));

        // Cleared and accepted: stored empty, read back as the default.
        runOptions([](QWidget* dialog) {
            dialog->findChild<QLineEdit*>("txtDefaultPrefix")->clear();
            QTest::mouseClick(dialog->findChild<QPushButton*>("cmdOK"), Qt::LeftButton);
        });
        QCOMPARE(Stored(kSettingsKey, "OutputTablePrefix"), std::string());
        runOptions([&shown](QWidget* dialog) {
            shown = dialog->findChild<QLineEdit*>("txtDefaultPrefix")->text();
            dialog->close();
        });
        QCOMPARE(shown, QString("Brux_"));
    }

    void hitErrorShowsTheDialogAndContinueGoesOn() {
        bool reportWhileShown = false;
        QString shownError, shownFile, header;
        apptest::WhenModal([&](QWidget* dialog) {
            QCOMPARE(dialog->objectName(), QString("frmErrorHandler"));
            QCOMPARE(dialog->windowTitle(), QString("Unexpected Error"));
            reportWhileShown = std::filesystem::exists(ReportPath());
            shownError = dialog->findChild<QPlainTextEdit*>("txtError")->toPlainText();
            shownFile = dialog->findChild<QLabel*>("lblErrorFile")->text();
            header = dialog->findChild<QLabel*>("lblErrorHeader")->text();
            QTest::mouseClick(dialog->findChild<QPushButton*>("cmdAction_0"), Qt::LeftButton);
        });
        Item("mnuHelpItems_999")->trigger();
        QVERIFY(reportWhileShown);
        QCOMPARE(shownError, QString("Division by zero"));
        QCOMPARE(header, QString("Quantara has encountered the following unanticipated error:"));
        QCOMPARE(shownFile,
                 "View the error file using a text editor. (located in " + QString::fromStdString(ReportPath()) + ")");
        QCOMPARE(stack_->ErrNumber(), vb::err::kDivisionByZero);
        QCOMPARE(stack_->ErrProcedure(), std::string("MDIMain:mnuHelpItems_Click: 999"));
        // Continue deleted the report; the program goes on with a clean stack.
        QVERIFY(!std::filesystem::exists(ReportPath()));
        QVERIFY(frame_ && frame_->isVisible());
        QCOMPARE(stack_->Depth(), int16_t(0));
    }

    void closeInTheErrorDialogEndsTheProgram() {
        apptest::ClickInModal("cmdAction_1");
        Item("mnuHelpItems_999")->trigger();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(!frame_);
        QVERIFY(std::filesystem::exists(ReportPath()));
    }

    void errorsInsideHandlersReachTheDialog() {
        auto* failing = new Failing;
        frame_->AddChild(failing);
        std::string report;
        apptest::WhenModal([&](QWidget* dialog) {
            std::ifstream in(ReportPath());
            report.assign(std::istreambuf_iterator<char>(in), {});
            QTest::mouseClick(dialog->findChild<QPushButton*>("cmdAction_0"), Qt::LeftButton);
        });
        failing->Guard();
        QVERIFY(report.find("Error String      : The probe failed") != std::string::npos);
        QVERIFY(report.find("frmFailing:cmdFail_Click") != std::string::npos);
        QCOMPARE(stack_->Depth(), int16_t(0));

        // An exception that escapes a handler without its own boundary.
        report.clear();
        apptest::WhenModal([&](QWidget* dialog) {
            std::ifstream in(ReportPath());
            report.assign(std::istreambuf_iterator<char>(in), {});
            QTest::mouseClick(dialog->findChild<QPushButton*>("cmdAction_0"), Qt::LeftButton);
        });
        QTest::mouseClick(failing, Qt::LeftButton);
        QVERIFY(report.find("Escaped a handler") != std::string::npos);
        QVERIFY(frame_ && frame_->isVisible());
    }

    void helpAndWebItems() {
        Item("mnuHelpItems_10")->trigger();
        Item("mnuHelpItems_50")->trigger();
        Item("mnuOnWebItems_10")->trigger();
        Item("mnuOnWebItems_20")->trigger();
        Item("mnuOnWebItems_40")->trigger();
        QCOMPARE(rec_.helpCalls, std::vector<std::string>({program::HelpFilePath() + "#0"}));
        QCOMPARE(rec_.opened,
                 std::vector<std::string>({std::string("mailto:") + program::kSupportMail, program::kProductWebPage,
                                           program::kSupportWebPage, program::kHomePage}));
        QString title;
        apptest::WhenModal([&title](QWidget* about) {
            title = about->findChild<QLabel*>("lblTitle")->text();
            QTest::mouseClick(about->findChild<QPushButton*>("cmdOK"), Qt::LeftButton);
        });
        Item("mnuHelpItems_100")->trigger();
        QCOMPARE(title, QString("Quantara Scenario Designer"));
    }

    void f1OpensTheFocusedWindowsTopic() {
        frame_->activateWindow();
        QTest::keyClick(frame_, Qt::Key_F1);
        apptest::WhenModal([](QWidget* dialog) {
            auto* box = dialog->findChild<QLineEdit*>("txtDefaultPrefix");
            box->setFocus();
            QTest::keyClick(box, Qt::Key_F1);
            dialog->close();
        });
        Item("mnuToolsItems_10")->trigger();
        // The Open Database dialog has a topic of its own.
        opens_->seen = [](QWidget* dialog) {
            auto* combo = dialog->findChild<QComboBox*>("cboDatabase");
            combo->setFocus();
            QTest::keyClick(combo, Qt::Key_F1);
        };
        Item("mnufileItems_100")->trigger();
        opens_->seen = nullptr;
        QCOMPARE(rec_.helpCalls,
                 std::vector<std::string>({program::HelpFilePath() + "#10", program::HelpFilePath() + "#30",
                                           program::HelpFilePath() + "#15"}));
    }

    void windowArrangements() {
        auto* a = frame_->AddChild(new QWidget);
        auto* b = frame_->AddChild(new QWidget);
        a->setWindowTitle("First");
        b->setWindowTitle("Second");
        const QRect area = frame_->MdiArea()->viewport()->rect();
        Item("mnuWindowItems_0")->trigger();  // one above the other
        QCOMPARE(a->geometry(), QRect(0, 0, area.width(), area.height() / 2));
        QCOMPARE(b->geometry().top(), area.height() / 2);
        QCOMPARE(b->width(), area.width());
        Item("mnuWindowItems_10")->trigger();  // side by side
        QCOMPARE(a->geometry(), QRect(0, 0, area.width() / 2, area.height()));
        QCOMPARE(b->geometry().left(), area.width() / 2);
        Item("mnuWindowItems_20")->trigger();  // cascaded
        QVERIFY(b->pos().x() > a->pos().x() && b->pos().y() > a->pos().y());

        auto* menu = frame_->findChild<QMenu*>("mnuWindow");
        emit menu->aboutToShow();
        QStringList listed;
        for (QAction* act : menu->actions())
            if (act->property("windowList").toBool() && !act->isSeparator()) listed << act->text();
        QCOMPARE(listed, QStringList({"&1 First", "&2 Second"}));

        // Windows that need room keep it under every arrangement, inside the area.
        frame_->resize(800, 600);
        QApplication::processEvents();
        QList<QMdiSubWindow*> roomy;
        for (int i = 0; i < 5; ++i) {
            auto* content = new QWidget;
            content->setMinimumSize(300, 200);
            roomy << frame_->AddChild(content);
        }
        const QRect wide = frame_->MdiArea()->viewport()->rect();
        for (const char* item : {"mnuWindowItems_0", "mnuWindowItems_10", "mnuWindowItems_20"}) {
            Item(item)->trigger();
            for (QMdiSubWindow* w : roomy) {
                QVERIFY2(w->width() >= 300 && w->height() >= 200, item);
                QVERIFY2(wide.contains(w->geometry()), item);
            }
        }
        // Cascaded, the window in front stays in front.
        QCOMPARE(frame_->MdiArea()->subWindowList(QMdiArea::StackingOrder).back(), roomy.back());
        for (QMdiSubWindow* w : roomy) w->close();
        a->close();
        b->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);

        // Three and four windows, one of them a tall scenario list: while their
        // smallest sizes fit, one above the other across the width, or side by
        // side across the height, in the order they were stacked.
        frame_->resize(1000, 900);
        QApplication::processEvents();
        const QRect room = frame_->MdiArea()->viewport()->rect();
        QList<QMdiSubWindow*> mixed;
        for (QSize least : {QSize(500, 330), QSize(120, 90), QSize(120, 90), QSize(120, 90)}) {
            auto* content = new QWidget;
            content->setMinimumSize(least);
            mixed << frame_->AddChild(content);
            if (mixed.size() < 3) continue;
            Item("mnuWindowItems_0")->trigger();
            for (int i = 0; i < mixed.size(); ++i) {
                QCOMPARE(mixed[i]->geometry().left(), 0);
                QCOMPARE(mixed[i]->width(), room.width());
                QCOMPARE(mixed[i]->geometry().top(), i == 0 ? 0 : mixed[i - 1]->geometry().bottom() + 1);
            }
            QCOMPARE(mixed.back()->geometry().bottom(), room.bottom());
            QVERIFY(mixed[0]->height() >= 330);
            Item("mnuWindowItems_10")->trigger();
            for (int i = 0; i < mixed.size(); ++i) {
                QCOMPARE(mixed[i]->geometry().top(), 0);
                QCOMPARE(mixed[i]->height(), room.height());
                QCOMPARE(mixed[i]->geometry().left(), i == 0 ? 0 : mixed[i - 1]->geometry().right() + 1);
            }
            QVERIFY(mixed[0]->width() >= 500);
        }
    }

    // Eight windows, the first as large as a scenario list, and fourteen:
    // tiled horizontally they take more rows than columns, tiled vertically
    // more columns than rows, none over another, none below its smallest
    // size. A scenario list and grids in a frame of the first start's size
    // and maximised, one minimised: after every arrangement, and after the
    // icon is restored, each title bar and icon shows.
    void tilingNeverOverlaps() {
        frame_->resize(1000, 900);
        QApplication::processEvents();
        const QRect room = frame_->MdiArea()->viewport()->rect();
        const int w = room.width(), h = room.height();
        // Smallest sizes by hand: seven rows of h/7 - 1 fit the height and
        // fourteen do not; eight columns of w/8 fit the width.
        const QSize small(w / 8, h / 7 - 1), large(w / 2, h / 2);
        struct Case {
            QList<QSize> least;
            int rows, columns;  // tiled horizontally; the other way round vertically
        };
        const std::vector<Case> cases = {
            {QList<QSize>{large} + QList<QSize>(7, small), 4, 2},
            {QList<QSize>(14, small), 7, 2},
        };
        for (const Case& c : cases) {
            QList<QMdiSubWindow*> windows;
            for (QSize least : c.least) {
                auto* content = new QWidget;
                content->setMinimumSize(20, 10);
                windows << frame_->AddChild(content);
                windows.back()->setMinimumSize(least);
            }
            for (const char* item : {"mnuWindowItems_0", "mnuWindowItems_10"}) {
                const bool horizontally = item == std::string("mnuWindowItems_0");
                Item(item)->trigger();
                const QString what = QString("%1 windows, %2").arg(windows.size()).arg(item);
                const QList<QMdiSubWindow*>& tiled = windows;
                std::map<int, int> perLeft, perTop;
                for (int i = 0; i < tiled.size(); ++i) {
                    const QRect g = tiled[i]->geometry();
                    QVERIFY2(room.contains(g), qPrintable(what));
                    QVERIFY2(g.width() >= c.least[i].width() && g.height() >= c.least[i].height(), qPrintable(what));
                    for (int j = 0; j < i; ++j)
                        QVERIFY2(!g.intersects(tiled[j]->geometry()),
                                 qPrintable(what + QString(": %1 over %2").arg(i).arg(j)));
                    ++perLeft[g.left()];
                    ++perTop[g.top()];
                }
                auto most = [](const std::map<int, int>& counts) {
                    int m = 0;
                    for (const auto& [at, count] : counts) m = std::max(m, count);
                    return m;
                };
                // Columns are the distinct lefts, each holding up to `rows` windows; rows alike.
                const int columns = horizontally ? int(perLeft.size()) : most(perTop);
                const int rows = horizontally ? most(perLeft) : int(perTop.size());
                QCOMPARE(rows, horizontally ? c.rows : c.columns);
                QCOMPARE(columns, horizontally ? c.columns : c.rows);
            }
            for (QMdiSubWindow* sub : windows) sub->close();
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        }

        for (bool maximised : {false, true}) {
            if (maximised) {
                frame_->showMaximized();
            } else {
                frame_->resize(635, 455);
            }
            QApplication::processEvents();
            for (int count : {8, 14}) {
                QList<QMdiSubWindow*> windows;
                for (int i = 0; i < count; ++i) {
                    auto* content = new QWidget;  // a scenario list, then grids
                    content->setMinimumSize(i == 0 ? QSize(510, 304) : QSize(192, 112));
                    windows << frame_->AddChild(content);
                    windows.back()->setWindowTitle(QString("Window %1").arg(i + 1));
                }
                windows[1]->showMinimized();
                frame_->MdiArea()->setActiveSubWindow(windows[0]);  // the list in front
                const QString what = QString("%1 windows%2, ").arg(count).arg(maximised ? " maximised" : "");
                for (const char* item : {"mnuWindowItems_0", "mnuWindowItems_10", "mnuWindowItems_20",
                                         "mnuWindowItems_30", "mnuWindowItems_0"}) {
                    Item(item)->trigger();
                    TitleBarsShow(what + item);
                    if (QTest::currentTestFailed()) return;
                }
                // Alt+W, 2 after the tiling brings the icon back into it.
                auto* menu = frame_->findChild<QMenu*>("mnuWindow");
                emit menu->aboutToShow();
                for (QAction* a : menu->actions())
                    if (a->text().startsWith("&2 ")) a->trigger();
                QVERIFY(!windows[1]->isMinimized());
                TitleBarsShow(what + "restored after tiling");
                if (QTest::currentTestFailed()) return;
                for (QMdiSubWindow* sub : windows) sub->close();
                QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
            }
        }
    }

    // Twenty-one windows where the area holds at most three rows and four
    // columns of them: tiled horizontally the tiles take at least as many
    // rows as columns, vertically at least as many columns as rows, so the
    // two shapes differ; the rest are cascaded in front of the tiles.
    void tilingKeepsItsShapeWhenNotAllFit() {
        // Four of 200 fit across 900 and three of 100 down 380, with room
        // below each row's title bar for the cascaded windows.
        const QRect area(0, 0, 900, 380);
        const std::vector<QSize> least(21, QSize(200, 100));
        std::map<bool, std::pair<size_t, size_t>> shape;  // rows and columns of the tiles
        for (bool stacked : {true, false}) {
            const std::vector<QRect> places = windowlayout::Tile(area, least, stacked, 24);
            QCOMPARE(places.size(), least.size());
            // The tiles come first, from the back, none over another.
            size_t tiles = 0;
            while (tiles < places.size() && std::none_of(places.begin(), places.begin() + tiles,
                                                         [&](const QRect& p) { return p.intersects(places[tiles]); }))
                ++tiles;
            std::set<int> tops, lefts;
            for (size_t i = 0; i < tiles; ++i) {
                tops.insert(places[i].top());
                lefts.insert(places[i].left());
            }
            shape[stacked] = {tops.size(), lefts.size()};
            QVERIFY(windowlayout::TitleBarsShow(places, 24));
        }
        QCOMPARE(shape[true], std::make_pair(size_t(3), size_t(3)));
        QCOMPARE(shape[false], std::make_pair(size_t(3), size_t(4)));
    }

    // A large frame with the scenario list in front of twenty grids: each
    // tiling gives the list a tile of its own, and most grids too, rather
    // than cascade the list over a few tiles large enough to hold it (one
    // or one row of them), and keeps its shape among them.
    void tilingGivesTheLargeWindowATile() {
        frame_->resize(1280, 800);
        QApplication::processEvents();
        QList<QMdiSubWindow*> windows;
        for (int i = 0; i < 21; ++i) {
            auto* content = new QWidget;
            content->setMinimumSize(i == 0 ? QSize(510, 304) : QSize(192, 112));
            windows << frame_->AddChild(content);
            windows.back()->setWindowTitle(QString("Window %1").arg(i + 1));
        }
        for (const char* item : {"mnuWindowItems_0", "mnuWindowItems_10"}) {
            frame_->MdiArea()->setActiveSubWindow(windows[0]);
            Item(item)->trigger();
            TitleBarsShow(item);
            // The tiles: from the back, each window over none behind it; the
            // cascaded ones follow in front.
            const QList<QMdiSubWindow*> stack = frame_->MdiArea()->subWindowList(QMdiArea::StackingOrder);
            std::set<int> tops, lefts;
            int tiles = 0;
            while (tiles < stack.size() && std::none_of(stack.begin(), stack.begin() + tiles, [&](QMdiSubWindow* o) {
                       return o->geometry().intersects(stack[tiles]->geometry());
                   })) {
                tops.insert(stack[tiles]->y());
                lefts.insert(stack[tiles]->x());
                ++tiles;
            }
            const QString what =
                QString("%1: %2 tiles in %3 rows, %4 columns").arg(item).arg(tiles).arg(tops.size()).arg(lefts.size());
            QVERIFY2(tiles >= 9 && stack.indexOf(windows[0]) < tiles, qPrintable(what));
            const bool horizontally = item == std::string("mnuWindowItems_0");
            QVERIFY2(horizontally ? tops.size() > lefts.size() : lefts.size() > tops.size(), qPrintable(what));
        }
        for (QMdiSubWindow* sub : windows) sub->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    // The scenario list and its grids as a person opens them at the first
    // start's frame size, the list brought in front again: Cascade from the
    // fresh start and after each Tile, 14 windows and 21, shows every title
    // bar with no two windows at one place; an icon restored after Tile,
    // Cascade and Arrange Icons too.
    void cascadeShowsEveryTitleBar() {
        const std::string path = env_.Path().toStdString() + "/example.db";
        std::filesystem::remove(path);
        example::BuildExampleDatabase(path);
        QVERIFY(frame_->OpenDatabase(path, "", "", ""));
        QCOMPARE(frame_->size(), QSize(635, 455));
        for (int count : {14, 21}) {
            frame_->ShowStatMain();
            QList<QMdiSubWindow*> windows = frame_->MdiArea()->subWindowList(QMdiArea::CreationOrder);
            for (int i = 1; i < count; ++i) frame_->OpenDataGridWindow("Input Data Table", example::kDataTable);
            windows = frame_->MdiArea()->subWindowList(QMdiArea::CreationOrder);
            QCOMPARE(windows.size(), count);
            for (int i = 1; i < count; ++i) windows[i]->setWindowTitle(QString("Grid %1").arg(i + 1));
            frame_->MdiArea()->setActiveSubWindow(windows[0]);
            const QString what = QString("%1 windows, ").arg(count);
            Item("mnuWindowItems_20")->trigger();
            TitleBarsShow(what + "fresh start");
            for (const char* tile : {"mnuWindowItems_0", "mnuWindowItems_10"}) {
                frame_->MdiArea()->setActiveSubWindow(windows[0]);
                Item(tile)->trigger();
                TitleBarsShow(what + tile);
                Item("mnuWindowItems_20")->trigger();
                TitleBarsShow(what + tile + ", then Cascade");
            }
            if (QTest::currentTestFailed()) return;
            windows[4]->showMinimized();
            for (const char* item : {"mnuWindowItems_0", "mnuWindowItems_10", "mnuWindowItems_20", "mnuWindowItems_30"})
                Item(item)->trigger();
            auto* menu = frame_->findChild<QMenu*>("mnuWindow");
            emit menu->aboutToShow();
            for (QAction* a : menu->actions())
                if (a->text().startsWith("&5 ")) a->trigger();
            QVERIFY(!windows[4]->isMinimized());
            TitleBarsShow(what + "restored after Arrange Icons");
            if (QTest::currentTestFailed()) return;
            frame_->CloseScenarioWindows();
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        }
        // With no arrangement standing, an icon restored does not come back
        // over the window that took its place.
        QMdiSubWindow* restored = frame_->AddChild(new QWidget, QSize(300, 200));
        QMdiSubWindow* moved = frame_->AddChild(new QWidget, QSize(300, 200));
        restored->setWindowTitle("Restored");
        moved->setWindowTitle("Moved");
        restored->move(40, 40);
        restored->showMinimized();
        moved->move(40, 40);
        restored->showNormal();
        frame_->MdiArea()->setActiveSubWindow(restored);
        TitleBarsShow("restored without an arrangement");
    }

    // Windows opened, moved or cascaded in the maximised frame come back
    // within its area when the frame is restored: the cascade made again,
    // the others moved and shrunk into it.
    void restoredFrameHoldsItsWindows() {
        for (bool cascaded : {true, false}) {
            frame_->showMaximized();
            QTRY_VERIFY_WITH_TIMEOUT(frame_->MdiArea()->viewport()->width() > 700, 5000);
            const QRect large = frame_->MdiArea()->viewport()->rect();
            QList<QMdiSubWindow*> windows;
            for (int i = 0; i < 4; ++i) {
                windows << frame_->AddChild(new QWidget, large.size() * 3 / 4);
                windows.back()->setWindowTitle(QString("Window %1").arg(i + 1));
            }
            if (cascaded) {
                Item("mnuWindowItems_20")->trigger();
            } else {
                windows[1]->move(large.bottomRight() - windows[1]->rect().bottomRight());
            }
            frame_->showNormal();
            frame_->resize(635, 455);
            const QString what = cascaded ? "cascaded" : "placed";
            auto inside = [this, &windows] {
                for (QMdiSubWindow* w : windows)
                    if (!frame_->MdiArea()->viewport()->rect().contains(w->geometry())) return false;
                return true;
            };
            QTRY_VERIFY2_WITH_TIMEOUT(inside(), qPrintable(what), 5000);
            QVERIFY(frame_->MdiArea()->viewport()->width() < large.width());
            if (cascaded) TitleBarsShow(what);
            for (QMdiSubWindow* w : windows) w->close();
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        }
    }

    void rightClickItemsGoToTheScenarioList() {
        Item("mnuRightClickItems_0")->trigger();
        QVERIFY(rec_.boxes.empty());  // no list: nothing to act on

        // The example database's list, its first scenario selected.
        const std::string path = env_.Path().toStdString() + "/example.db";
        std::filesystem::remove(path);
        example::BuildExampleDatabase(path);
        QVERIFY(frame_->OpenDatabase(path, "", "", ""));
        frame_->ShowStatMain();
        auto grids = [this] {
            QStringList captions;
            for (QMdiSubWindow* sub : frame_->MdiArea()->subWindowList(QMdiArea::CreationOrder))
                if (sub->widget()->objectName() == "frmDataGrid") captions << sub->widget()->windowTitle();
            return captions;
        };
        rec_.Reset();
        Item("mnuRightClickItems_150")->trigger();
        QCOMPARE(rec_.helpCalls, std::vector<std::string>({program::HelpFilePath() + "#80"}));
        Item("mnuRightClickItems_90")->trigger();
        QCOMPARE(grids(), QStringList({"Input Data Table: BloodPressureStudy"}));
        QString generator;
        apptest::WhenModal([&](QWidget* modal) {
            generator = modal->objectName();
            modal->close();
        });
        Item("mnuToolsItems_20")->trigger();
        QCOMPARE(generator, QString("frmGenerateCode"));

        // The pop-up shows the default item in bold and hands over what is chosen.
        QAction* shownDefault = nullptr;
        apptest::WhenMenuShown(frame_->RightClickMenu(), [&](QMenu* menu) {
            shownDefault = menu->defaultAction();
            menu->setActiveAction(Item("mnuRightClickItems_90"));
            QTest::keyClick(menu, Qt::Key_Return);
        });
        frame_->PopupRightClickMenu(frame_->mapToGlobal(QPoint(50, 80)), 90);
        QCOMPARE(shownDefault, Item("mnuRightClickItems_90"));
        QCOMPARE(grids(),
                 QStringList({"Input Data Table: BloodPressureStudy", "Input Data Table: BloodPressureStudy"}));
    }

    void toolbarButtons() {
        QVERIFY(frame_->OpenDatabase(MakeDatabase("list.db"), "", "", ""));
        frame_->ShowStatMain();
        rec_.Reset();
        opens_->count = 0;
        frame_->findChild<QAction*>("btnClose")->trigger();
        QVERIFY(!IsFormLoaded("frmStatMain"));
        frame_->findChild<QAction*>("btnCalc")->trigger();
        QVERIFY(IsFormLoaded("frmQuarn_Calculator"));
        QCOMPARE(FindForm("frmQuarn_Calculator")->parentWidget(), frame_.data());
        UnloadForm(FindForm("frmQuarn_Calculator"));
        frame_->findChild<QAction*>("btnOpen")->trigger();
        QCOMPARE(rec_.boxes.size(), size_t(0));
        QCOMPARE(opens_->count, 1);
        frame_->activateWindow();
        frame_->setFocus();
        frame_->findChild<QAction*>("btnHelp")->trigger();
        QCOMPARE(rec_.helpCalls, std::vector<std::string>({program::HelpFilePath() + "#10"}));
    }

    void exitClosesEveryWindow() {
        auto* other = new QWidget;
        other->setObjectName("frmLoose");
        other->show();
        Item("mnufileItems_1000")->trigger();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(!frame_);
        QVERIFY(!other->isVisible());
        QVERIFY(Stored(kPositionKey, "MDIMain") != "<missing>");
        delete other;
    }
};

int main(int argc, char** argv) {
    // The program's own application object, whose boundary catches what escapes a handler.
    MerivoxApplication app(argc, argv);
    FrameTest test;
    return QTest::qExec(&test, argc, argv);
}
#include "FrameTest.moc"
