#include "services/HelpKey.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QWidget>

#include "services/CWinHelp.h"
#include "shell/ProgramInfo.h"
#include "services/HelpTopics.h"

int HelpTopicOf(QWidget* widget) {
    for (QWidget* w = widget; w; w = w->parentWidget()) {
        bool ok = false;
        int topic = w->property("HelpContextID").toInt(&ok);
        if (ok && topic > 0) return topic;
    }
    return help::kFrame;
}

void ShowHelpFor(QWidget* widget) {
    if (!widget) widget = QApplication::focusWidget();
    if (!widget) widget = QApplication::activeWindow();
    // In the frame without a focused child, the active document window counts.
    if (widget && widget->findChild<QMdiArea*>() && widget->isWindow()) {
        if (auto* area = widget->findChild<QMdiArea*>(); area && area->activeSubWindow())
            widget = area->activeSubWindow()->widget();
    }
    CWinHelp help;
    help.HelpFile(program::HelpFilePath());
    help.OpenContext(HelpTopicOf(widget));
}

bool HelpKeyFilter::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress && static_cast<QKeyEvent*>(event)->key() == Qt::Key_F1 &&
        static_cast<QKeyEvent*>(event)->modifiers() == Qt::NoModifier) {
        ShowHelpFor(qobject_cast<QWidget*>(watched));
        return true;
    }
    return QObject::eventFilter(watched, event);
}
