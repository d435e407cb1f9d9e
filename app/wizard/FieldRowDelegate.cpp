#include "wizard/FieldRowDelegate.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QHelpEvent>
#include <QToolTip>
#include <algorithm>

namespace {

const QString kOpen = " - (";
const QString kClose = ")";
const QString kCut = QString::fromUtf8("\u2026");

// The margins a row keeps around its text.
int TextMargins(const QStyleOptionViewItem& option) {
    const QStyle* style = option.widget ? option.widget->style() : QApplication::style();
    return 2 * (style->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, option.widget) + 1);
}

// The name and type of a role list row; false for a row without a field name.
bool Split(const QModelIndex& index, QString& name, QString& type) {
    const QVariant data = index.data(kFieldNameRole);
    if (!data.isValid()) return false;
    name = data.toString();
    const QString text = index.data(Qt::DisplayRole).toString();
    type = text.mid(name.size() + kOpen.size());
    type.chop(kClose.size());
    return true;
}

}  // namespace

void FieldRowDelegate::initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const {
    QStyledItemDelegate::initStyleOption(option, index);
    QString name, type;
    if (!Split(index, name, type)) return;
    const QFontMetrics& fm = option->fontMetrics;
    const int room = option->rect.width() - TextMargins(*option);
    if (fm.horizontalAdvance(option->text) <= room) return;
    QString shortType = fm.elidedText(type, Qt::ElideRight, room - fm.horizontalAdvance(name + kOpen + kClose));
    if (shortType.isEmpty()) shortType = kCut;
    option->text = name + kOpen + shortType + kClose;
    // What still does not fit is the name: it runs on under the edge, whole.
    option->textElideMode = Qt::ElideNone;
}

QSize FieldRowDelegate::sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const {
    QSize size = QStyledItemDelegate::sizeHint(option, index);
    QString name, type;
    if (!Split(index, name, type)) return size;
    // Wide enough for the name and a shortened type: only a longer name scrolls the list.
    const int least = option.fontMetrics.horizontalAdvance(name + kOpen + kCut + kClose) + TextMargins(option);
    size.setWidth(std::min(size.width(), least));
    return size;
}

bool FieldRowDelegate::helpEvent(QHelpEvent* event, QAbstractItemView* view, const QStyleOptionViewItem& option,
                                 const QModelIndex& index) {
    if (event->type() != QEvent::ToolTip || !index.isValid())
        return QStyledItemDelegate::helpEvent(event, view, option, index);
    QString whole = index.data(Qt::DisplayRole).toString();
    // A row of the available fields: its name and type, as a role list shows them.
    if (!index.data(kFieldNameRole).isValid() && index.model()->columnCount(index.parent()) > 1)
        whole =
            index.siblingAtColumn(0).data().toString() + kOpen + index.siblingAtColumn(1).data().toString() + kClose;
    QToolTip::showText(event->globalPos(), whole, view);
    return true;
}
