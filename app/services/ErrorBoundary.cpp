#include "services/ErrorBoundary.h"

bool MerivoxApplication::notify(QObject* receiver, QEvent* event) {
    bool handled = false;
    GuardedQuiet([&] { handled = QApplication::notify(receiver, event); });
    return handled;
}
