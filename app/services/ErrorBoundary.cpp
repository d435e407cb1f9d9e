#include "services/ErrorBoundary.h"

#include "CurrentDatabase.h"
#include "ScenarioCatalogue.h"
#include "shell/ProgramInfo.h"
#include "dao/Dao.h"
#include "ui/UiServices.h"

namespace {

std::string CurrentName() {
    dao::DatabasePtr db = store::CurrentDatabase();
    return db ? "'" + db->Name() + "'" : "";
}

void Tell(const std::string& text) { ui::MsgBox(text, ui::vbOKOnly, program::kAppTitle); }

std::string ReadOnlyText() {
    return "The database " + CurrentName() + " is read-only: it can be looked at, but not changed.\r\n\r\n" +
           "Nothing was changed.";
}

}  // namespace

bool ShowExpectedCondition(const vb::VbError& e) {
    switch (e.Number()) {
        case dao::err::kLocked:
            Tell("The database " + CurrentName() +
                 " is being changed by another program, which holds it locked, so this change could not be made."
                 "\r\n\r\nTry again when the other program is done.");
            return true;
        case dao::err::kReadOnly:
            Tell(ReadOnlyText());
            return true;
        case dao::err::kDiskFull:
            Tell("There is not enough space on the disk to save the change to the database " + CurrentName() +
                 ", so it was not saved.\r\n\r\nFree some space on the disk and try again.");
            return true;
        case dao::err::kUnrecognizedFormat:
            Tell(e.Description());
            return true;
        default:
            return false;
    }
}

void TellScenarioChanged(long id, const store::StoredScenario& before, const store::StoredScenario* now,
                         const std::string& nothingDone) {
    const std::string scenario = "Scenario #" + std::to_string(id);
    if (!now) {
        Tell(scenario + " is no longer in the database: another program deleted it since you chose it.\r\n\r\n" +
             nothingDone);
        return;
    }
    Tell(scenario + " was changed by another program since you chose it: " + store::ChangeText(before, *now) +
         ".\r\n\r\n" + nothingDone + " Look at the scenario in the list again before you choose what to do with it.");
}

bool RefuseReadOnlyDatabase() {
    dao::DatabasePtr db = store::CurrentDatabase();
    if (!db || db->Updatable()) return false;
    Tell(ReadOnlyText());
    return true;
}

void TellLocked(const std::string& what) {
    Tell("The database " + CurrentName() + " is locked by another program, so the scenario cannot " + what +
         " now.\r\n\r\nTry again when the other program is done.");
}

bool RefuseLockedDatabase(const std::string& what) {
    dao::DatabasePtr db = store::CurrentDatabase();
    if (!db || !db->Updatable()) return false;
    const dao::LockWaitLimit limit(kLockWaitBeforeMs);
    try {
        db->BeginTrans(true);
    } catch (const vb::VbError& e) {
        if (e.Number() != dao::err::kLocked) throw;
        TellLocked(what);
        return true;
    }
    db->CommitTrans();
    return false;
}

bool MerivoxApplication::notify(QObject* receiver, QEvent* event) {
    bool handled = false;
    GuardedQuiet([&] { handled = QApplication::notify(receiver, event); });
    return handled;
}
