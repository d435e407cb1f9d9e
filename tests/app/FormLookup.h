// What the tests see of the program's windows: whether a window of a name is
// open, as a user sees it. The program itself keeps pointers to the windows
// it makes and never looks them up by name.
#pragma once

#include <QApplication>
#include <QMdiSubWindow>
#include <QString>
#include <QWidget>
#include <string>

namespace apptest_detail {

// A window counts as loaded until it is closed: closed windows that wait for
// their deletion, and windows marked unloaded, do not.
inline bool Counts(QWidget* w) {
    if (w->property("merivoxUnloaded").toBool()) return false;
    QWidget* frame = w->isWindow() ? w : w->parentWidget();
    if (frame && frame->testAttribute(Qt::WA_DeleteOnClose) && frame->isHidden() &&
        frame->testAttribute(Qt::WA_WState_ExplicitShowHide))
        return false;
    return true;
}

}  // namespace apptest_detail

// The loaded window (a top-level window or a child of the frame's document
// area) with this object name, compared without regard to case; or null.
inline QWidget* FindForm(const std::string& name) {
    for (QWidget* w : QApplication::allWidgets()) {
        bool form = w->isWindow() || qobject_cast<QMdiSubWindow*>(w->parentWidget()) != nullptr;
        if (form && w->objectName().compare(QString::fromStdString(name), Qt::CaseInsensitive) == 0 &&
            apptest_detail::Counts(w))
            return w;
    }
    return nullptr;
}

inline bool IsFormLoaded(const std::string& name) { return FindForm(name) != nullptr; }
