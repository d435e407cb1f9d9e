// The boundary every event handler of the program shares: the handler's name
// goes on the error stack, and an exception leaving the handler is handed to
// HandleError (which writes the report and, through the frame, shows the
// unexpected-error dialog) instead of reaching Qt's event loop. The stack is
// brought back to the depth it had, so the next error reports a true stack.
// Conditions of the database that a user meets in the normal course (held by
// another program, read-only, a full disk, not a database) are told in a
// plain message instead: they are not faults of the program.
#pragma once

#include <QApplication>
#include <string>
#include <utility>

#include "ErrorStack.h"
#include "vb/VbError.h"

// Shows the plain message for an expected condition of the database; false
// (and nothing shown) when `e` is not one.
bool ShowExpectedCondition(const vb::VbError& e);

// The current database cannot be changed: says so, once, and returns true,
// so that the caller changes nothing. False when it can be written.
bool RefuseReadOnlyDatabase();

// Another program keeps the current database from being written now (its
// write lock is taken and let go of at once, nothing written, after a
// moment's wait at most): says so plainly, "so the scenario cannot <what>
// now", and returns true, so that the caller asks and changes nothing. False
// when it can be written, or is not written at all (none open, read-only).
bool RefuseLockedDatabase(const std::string& what);
// Before a command, the longest wait for another program's lock: a commit
// takes milliseconds; a lock held longer is a transaction of the other
// program's, which the window must not stand still behind.
inline constexpr int kLockWaitBeforeMs = 250;
// The message of RefuseLockedDatabase, for a lock met on the way.
void TellLocked(const std::string& what);

namespace store {
struct StoredScenario;
}
// Another program changed or deleted scenario `id` since the user chose it:
// `before` is the scenario as chosen, `now` what the file holds under its
// number (null: the scenario has gone). Says so, naming the change, and
// ends with `nothingDone` ("Nothing was deleted.").
void TellScenarioChanged(long id, const store::StoredScenario& before, const store::StoredScenario* now,
                         const std::string& nothingDone);

template <class F>
void Guarded(const std::string& procedure, F&& handler) {
    CErr_Zelk& stack = ErrStack();
    const int depth = stack.Depth();
    stack.Push(procedure);
    try {
        std::forward<F>(handler)();
    } catch (const vb::VbError& e) {
        if (!ShowExpectedCondition(e)) stack.HandleError();
    } catch (...) {
        stack.HandleError();
    }
    while (stack.Depth() > depth) stack.Pop();
}

// Guarded without a name of its own: for handlers the Parts give no name.
template <class F>
void GuardedQuiet(F&& handler) {
    CErr_Zelk& stack = ErrStack();
    const int depth = stack.Depth();
    try {
        std::forward<F>(handler)();
    } catch (...) {
        stack.HandleError();
    }
    while (stack.Depth() > depth) stack.Pop();
}

// The last line of defence: an exception that escaped a handler not wrapped
// in Guarded is reported the same way rather than ending the process.
class MerivoxApplication : public QApplication {
public:
    MerivoxApplication(int& argc, char** argv) : QApplication(argc, argv) {}
    bool notify(QObject* receiver, QEvent* event) override;
};
