#include "forms/GridTable.h"

#include "CurrentDatabase.h"
#include "shell/ProgramInfo.h"
#include "dao/Dao.h"
#include "models/DataGridModel.h"
#include "ui/UiServices.h"
#include "vb/VbError.h"

std::unique_ptr<DataGridModel> OpenGridTable(const std::string& tableName) {
    try {
        dao::DatabasePtr db = store::CurrentDatabase();
        if (!db) throw vb::VbError(91, "No database is open.");
        // Another program's lock is told at once, not waited for.
        const dao::LockWaitLimit limit(DataGridModel::kLockWaitMs);
        // In brackets the name is only a name, whatever it holds: a table
        // called "SELECT * FROM src" shows its own rows, never src's, and one
        // another tool named "a]b" opens too.
        return std::make_unique<DataGridModel>(
            db->OpenRecordset("[" + tableName + "]", dao::dbOpenSnapshot, dao::dbReadOnly));
    } catch (const vb::VbError& e) {
        if (e.Number() == dao::err::kNoInputTable) {
            ui::MsgBox("The table [" + tableName + "] does not exist in the database. \r\n\r\n" +
                           "If this is an output table created by running a scenario, you must run the scenario "
                           "first to create the table",
                       ui::vbOKOnly, program::kAppTitle);
        } else if (e.Number() == dao::err::kLocked) {
            // Another program's lock is no fault of the program: said plainly.
            ui::MsgBox("The table [" + tableName + "] cannot be shown now: another program holds the database " +
                           "locked.\r\n\r\nTry again when the other program is done.",
                       ui::vbOKOnly, program::kAppTitle);
        } else {
            ui::MsgBox("An unexpected error was encountered when attempting to open the table [" + tableName +
                           "]: \r\n\r\n" + std::to_string(e.Number()) + ": " + e.Description(),
                       ui::vbOKOnly, program::kAppTitle);
        }
        return nullptr;
    }
}

QString GridCaption(const std::string& caption, const std::string& tableName) {
    return QString::fromStdString(caption + ": " + tableName);
}
