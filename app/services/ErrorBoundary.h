// The boundary every event handler of the program shares: the handler's name
// goes on the error stack, and an exception leaving the handler is handed to
// HandleError (which writes the report and, through the frame, shows the
// unexpected-error dialog) instead of reaching Qt's event loop. The stack is
// brought back to the depth it had, so the next error reports a true stack.
#pragma once

#include <QApplication>
#include <string>
#include <utility>

#include "ErrorStack.h"

template <class F>
void Guarded(const std::string& procedure, F&& handler) {
    CErr_Zelk& stack = ErrStack();
    const int depth = stack.Depth();
    stack.Push(procedure);
    try {
        std::forward<F>(handler)();
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
