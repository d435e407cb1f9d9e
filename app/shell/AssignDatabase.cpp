#include "shell/AssignDatabase.h"

#include "CurrentDatabase.h"
#include "ErrorStack.h"
#include "Hourglass.h"
#include "shell/ProgramInfo.h"
#include "ScenarioTables.h"
#include "dao/Dao.h"
#include "ui/UiServices.h"
#include "vb/VbError.h"

namespace {

std::string Reason(const vb::VbError& e) { return std::to_string(e.Number()) + ": " + e.Description(); }

void CloseCurrent() {
    try {
        if (dao::DatabasePtr db = store::CurrentDatabase()) db->Close();
    } catch (...) {}
    try {
        if (dao::WorkspacePtr ws = store::CurrentWorkspace()) ws->Close();
    } catch (...) {}
    store::ClearCurrentDatabase();
    try {
        dao::ReleaseDBEngine();
    } catch (...) {}
}

}  // namespace

bool AssignCurrentDatabase(const std::string& path, const std::string& workgroup, const std::string& user,
                           const std::string& password) {
    ProcScope scope(ErrStack(), "AssignCurrentDatabase");
    CHourglass wait;
    wait.Value(true);
    CloseCurrent();

    dao::WorkspacePtr workspace;
    try {
        if (!workgroup.empty()) {
            dao::DBEngine().SystemDB(workgroup);
            workspace = dao::DBEngine().CreateWorkspace("Stats", user, password, dao::dbUseJet);
        } else {
            // The default workgroup file beside the program may be missing or
            // unreadable too: the same message names it and the reason.
            dao::DBEngine().SystemDB(program::ProgramFolder() + "Merivox.MDW");
            workspace = dao::DBEngine().CreateWorkspace("StatsGeneric", "Admin", "", dao::dbUseJet);
        }
    } catch (const vb::VbError& e) {
        wait.Value(false);
        ui::MsgBox("Unable to open the specified workspace using the supplied log on information: \r\n\r\n" + Reason(e),
                   ui::vbOKOnly, program::kAppTitle);
        return false;
    }
    dao::DBEngine().Workspaces()->Append(workspace);

    dao::DatabasePtr database;
    try {
        database = workspace->OpenDatabase(path, false, false, ";pwd=" + password);
    } catch (const vb::VbError& e) {
        wait.Value(false);
        ui::MsgBox("Unable to open the selected database: \r\n\r\n" + Reason(e), ui::vbOKOnly, program::kAppTitle);
        try {
            workspace->Close();
        } catch (...) {}
        return false;
    }
    // The database is current from here on, with or without the scenario tables.
    store::SetCurrentDatabase(workspace, database);
    return store::CheckQuarnTables();
}
