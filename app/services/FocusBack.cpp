#include "services/FocusBack.h"

#include <QApplication>
#include <QEvent>
#include <QPointer>
#include <QTimer>
#include <QWidget>

#include "shell/Program.h"

namespace {

// A window of its own that the user leaves: not a menu, tip or drop-down.
bool LeftByUser(const QWidget* w) {
    if (!w->isWindow()) return false;
    const Qt::WindowType type = w->windowType();
    return type != Qt::Popup && type != Qt::ToolTip && type != Qt::Desktop;
}

bool Takes(const QWidget* w) { return w && w->isVisible() && !w->isMinimized(); }

}  // namespace

bool FocusBackFilter::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::Hide || !watched->isWidgetType()) return false;
    auto* closing = static_cast<QWidget*>(watched);
    if (event->spontaneous() || !LeftByUser(closing)) return false;
    QPointer<QWidget> from = closing->parentWidget() ? closing->parentWidget()->window() : nullptr;
    QTimer::singleShot(kSettleMs, this, [from] {
        QWidget* active = QApplication::activeWindow();
        if (Takes(active)) return;
        QWidget* back = QApplication::activeModalWidget();
        if (!Takes(back)) back = from;
        if (!Takes(back)) back = program::MainWindow();
        if (!Takes(back)) return;
        back->activateWindow();
    });
    return false;
}
