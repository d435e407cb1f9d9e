// Start-up: the order of its steps, what it sets up, the splash window's
// life, and a second start of the real program handing over to this one.
#include <sys/stat.h>

#include <QMdiArea>
#include <QProcess>
#include <QSignalSpy>
#include <QtTest>
#include <filesystem>

#include "AppTestSupport.h"
#include "shell/MDIMain.h"
#include "shell/Program.h"
#include "shell/SubMain.h"
#include "forms/frmSplash.h"
#include "services/SingleInstance.h"

namespace {

// Notes what was on the screen when the frame's load asked for a database.
class WatchingUi : public ui::RecordingUi {
public:
    ui::MsgBoxResult MsgBox(const std::string& prompt, int style, const std::string& title) override {
        Look();
        return RecordingUi::MsgBox(prompt, style, title);
    }
    // Notes which windows are up.
    void Look() {
        QWidget* splash = nullptr;
        QWidget* frame = nullptr;
        for (QWidget* w : QApplication::topLevelWidgets()) {
            if (w->objectName() == "frmSplash" && w->isVisible()) splash = w;
            if (w->objectName() == "MDIMain" && w->isVisible()) frame = w;
        }
        splashUp = splash != nullptr;
        frameUp = frame != nullptr;
        frameTitle = frame ? frame->windowTitle() : QString();
    }
    bool splashUp = false;
    bool frameUp = false;
    QString frameTitle;
};

}  // namespace

class StartupTest : public QObject {
    Q_OBJECT

    apptest::Environment env_;
    WatchingUi ui_;

private slots:
    void startsInOrder() {
        ui::ScopedUi installed(ui_);
        apptest::OpenDialogCanceller opens;
        opens.seen = [this](QWidget*) { ui_.Look(); };
        frmSplash::SetShowMilliseconds(3600 * 1000);  // up, however slow the start
        QVERIFY(SubMain());

        // The splash was up, and the frame shown with its title, when the open step ran.
        QCOMPARE(opens.count, 1);
        QVERIFY(ui_.boxes.empty());
        QVERIFY(ui_.splashUp);
        QVERIFY(ui_.frameUp);
        QCOMPARE(ui_.frameTitle, QString("Quantara Scenario Designer"));

        QCOMPARE(vb::App().title, std::string("Quantara"));
        QCOMPARE(vb::App().helpFile, std::string(MERIVOX_BIN_DIR) + "/Merivox.HLP");
        QVERIFY(!ErrStack().DisplayError());
        const std::string state = env_.Path().toStdString() + "/state/Merivox";
        QCOMPARE(ErrStack().Destination().String(), state + "/error.log");
        struct stat info {};
        QCOMPARE(::stat(state.c_str(), &info), 0);
        QCOMPARE(int(info.st_mode & 0777), 0700);
        QCOMPARE(ErrStack().Depth(), int16_t(0));
        QVERIFY(program::MainWindow());
        QVERIFY(InstanceListener());

        // The splash closes itself when its time is up, whatever else is up.
        QWidget* splash = nullptr;
        for (QWidget* w : QApplication::topLevelWidgets())
            if (w->objectName() == "frmSplash") splash = w;
        QVERIFY(splash && splash->isVisible());
        auto* unload = splash->findChild<QTimer*>("tmrUnload");
        QVERIFY(unload && unload->isActive());
        QCOMPARE(unload->interval(), 3600 * 1000);
        unload->start(1);  // its time is up now
        QPointer<QWidget> watched(splash);
        QTRY_VERIFY_WITH_TIMEOUT(!watched || !watched->isVisible(), 5000);
        frmSplash::SetShowMilliseconds(frmSplash::kShowMilliseconds);
    }

    void secondStartHandsOverAndShowsNothing() {
        QVERIFY(InstanceListener());
        QSignalSpy knocked(InstanceListener(), &SingleInstance::Activated);

        QTemporaryDir childState;
        QProcess second;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("QT_QPA_PLATFORM", "offscreen");
        environment.insert("XDG_STATE_HOME", childState.path());
        second.setProcessEnvironment(environment);
        second.start(MERIVOX_BIN_DIR "/Merivox", {});
        QVERIFY(second.waitForStarted(10000));
        // This process must keep serving events while the second start knocks.
        QTRY_VERIFY_WITH_TIMEOUT(second.state() == QProcess::NotRunning, 20000);
        QCOMPARE(second.exitStatus(), QProcess::NormalExit);
        QCOMPARE(second.exitCode(), 0);
        QTRY_COMPARE_WITH_TIMEOUT(knocked.count(), 1, 5000);
        // It made no report folder: nothing of the start-up ran.
        QVERIFY(!std::filesystem::exists(childState.path().toStdString() + "/Merivox"));
        QVERIFY(program::MainWindow()->isVisible());
    }

    void cleanupTestCase() {
        if (QWidget* frame = program::MainWindow()) delete frame;
    }
};

QTEST_MAIN(StartupTest)
#include "StartupTest.moc"
