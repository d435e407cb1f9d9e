#include "shell/SubMain.h"

#include <QApplication>
#include <QGuiApplication>
#include <QPointer>
#include <QScreen>

#include "ErrorReport.h"
#include "ErrorStack.h"
#include "shell/MDIMain.h"
#include "shell/Program.h"
#include "StatCommon.h"
#include "dao/Dao.h"
#include "forms/frmSplash.h"
#include "os/SystemInfo.h"
#include "services/AltKeyFilter.h"
#include "services/FocusBack.h"
#include "services/HelpKey.h"
#include "services/SingleInstance.h"
#include "vb/App.h"

namespace {
QPointer<SingleInstance>& Listener() {
    static QPointer<SingleInstance> listener;
    return listener;
}
}  // namespace

SingleInstance* InstanceListener() { return Listener().data(); }

bool SubMain() {
    vb::App().title = program::kAppTitle;

    // A second start hands over to the first and shows nothing.
    if (!Listener()) {
        auto* instance = new SingleInstance(qApp);
        if (instance->HandOffToRunning()) {
            delete instance;
            return false;
        }
        instance->Listen([] {
            if (QWidget* frame = program::MainWindow()) {
                if (frame->isMinimized()) frame->showNormal();
                frame->show();
                frame->raise();
                frame->activateWindow();
            }
        });
        Listener() = instance;
    }

    auto stack = std::make_shared<CErr_Zelk>();
    stack->DisplayError(false);
    stack->Destination(vb::Variant(program::ErrorLogPath()));
    stack->AppTitle(program::kAppTitle);
    SetErrStack(stack);
    common::SetDataEngineFacts({[] { return dao::DBEngine().SystemDB(); }, [] { return dao::DBEngine().Version(); }});
    if (QScreen* screen = QGuiApplication::primaryScreen()) os::SetDisplayDepth(screen->depth());

    ProcScope scope(ErrStack(), "Sub Main");
    (void)program::GetProductName();
    (void)program::Settings();

    static HelpKeyFilter* helpKeys = nullptr;
    if (!helpKeys) {
        helpKeys = new HelpKeyFilter(qApp);
        qApp->installEventFilter(helpKeys);
    }
    static AltKeyFilter* altKeys = nullptr;
    if (!altKeys) {
        altKeys = new AltKeyFilter(qApp);
        qApp->installEventFilter(altKeys);
    }
    static FocusBackFilter* focusBack = nullptr;
    if (!focusBack) {
        focusBack = new FocusBackFilter(qApp);
        qApp->installEventFilter(focusBack);
    }

    auto* splash = new frmSplash;
    splash->Load();

    vb::App().helpFile = program::HelpFilePath();

    auto* frame = new MDIMain;
    frame->Load();
    return true;
}
