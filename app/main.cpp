// Merivox: the interactive program.
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
    QtUi services;
    ui::ScopedUi installed(services);
    if (!SubMain()) return 0;
    return app.exec();
}
