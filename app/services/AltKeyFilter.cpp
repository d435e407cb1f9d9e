#include "services/AltKeyFilter.h"

#include <QKeyEvent>
#include <QMenu>
#include <QMenuBar>
#include <QWidget>

#include "ui/UiServices.h"

bool AltKeyFilter::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::KeyPress) return false;
    // Access keys and shortcuts are matched before the key is delivered as a
    // key press, so one that arrives here matched none of them.
    const auto* key = static_cast<QKeyEvent*>(event);
    const Qt::KeyboardModifiers modifiers = key->modifiers();
    if (!(modifiers & Qt::AltModifier) || (modifiers & (Qt::ControlModifier | Qt::MetaModifier))) return false;
    // Any key that would type a character: letters, digits, the space and
    // punctuation alike. Alt with the arrows, F4 or Tab types nothing.
    const int code = key->key();
    const QString text = key->text();
    const bool types =
        (code >= Qt::Key_Space && code <= Qt::Key_ydiaeresis) || (!text.isEmpty() && text.front().isPrint());
    if (!types) return false;
    // Only widgets: the same press passes the native window first. An open
    // menu takes Alt and a letter as the key of one of its items.
    auto* widget = qobject_cast<QWidget*>(watched);
    if (!widget || qobject_cast<QMenu*>(widget) || qobject_cast<QMenuBar*>(widget)) return false;
    ui::Ui().Beep();
    return true;
}
