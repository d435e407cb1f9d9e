#include "forms/GridLauncher.h"

#include <QMdiArea>
#include <QMdiSubWindow>

#include "shell/MDIMain.h"
#include "shell/Program.h"
#include "forms/frmDataGrid.h"
#include "shell/modMerivox.h"
#include "vb/Conversions.h"

std::vector<std::string>& GridLauncherLog() {
    static std::vector<std::string> log;
    return log;
}

void OpenDataGridWindow(const std::string& purpose, const std::string& tableName) {
    GridLauncherLog().push_back("open " + purpose + ": " + tableName);
    // The window deletes itself when it cannot open the table or is closed.
    (new frmDataGrid)->ShowTableData(tableName, purpose);
}

void CloseDataGridWindows(const std::string& tableName) {
    GridLauncherLog().push_back("close " + tableName);
    MDIMain* frame = program::MainFrame();
    if (!frame) return;
    // Table names are one name whatever their letter case.
    const std::string ending = ": " + tableName;
    for (QMdiSubWindow* sub : frame->MdiArea()->subWindowList()) {
        QWidget* content = sub->widget();
        if (!content || content->objectName() != "frmDataGrid") continue;
        const std::string caption = content->windowTitle().toStdString();
        if (caption.size() >= ending.size() && vb::EqualsNoCase(caption.substr(caption.size() - ending.size()), ending))
            UnloadForm(content);
    }
}
