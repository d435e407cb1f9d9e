// Merivox: the interactive program.
#include "dao/Dao.h"
#include "shell/SubMain.h"
#include "services/ErrorBoundary.h"
#include "services/Glyphs.h"
#include "services/QtUi.h"
#include "ui/UiServices.h"

int main(int argc, char** argv) {
    MerivoxApplication app(argc, argv);
    app.setApplicationName("Merivox");
    app.setOrganizationName("Zelk");
    app.setWindowIcon(glyphs::Program());
    // Nothing the window thread reads or writes stands longer behind another
    // program's lock than a commit could take: a command that meets one says
    // so within a second, the window never frozen for the 10 s lock wait.
    const dao::LockWaitLimit windowWait(1000);
    QtUi services;
    ui::ScopedUi installed(services);
    if (!SubMain()) return 0;
    return app.exec();
}
