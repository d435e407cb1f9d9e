#include "wizard/FieldRowDelegate.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QHelpEvent>
#include <QListWidget>
#include <QToolTip>
#include <algorithm>

namespace {

const QString kCut = QString::fromUtf8("\u2026");

// The margins a row keeps around its text.
int TextMargins(const QStyleOptionViewItem& option) {
    const QStyle* style = option.widget ? option.widget->style() : QApplication::style();
    return 2 * (style->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, option.widget) + 1);
}

// The name shortened in its middle to `room` pixels; never shorter than its first and last letters.
QString ShortName(const QFontMetrics& fm, const QString& name, int room) {
    const QString cut = fm.elidedText(name, Qt::ElideMiddle, room);
    return cut.size() >= 3 || name.size() < 3 ? cut : name.left(1) + kCut + name.right(1);
}

}  // namespace

QString FieldRowText(const QString& name, const QString& type) { return name + " - (" + type + ")"; }

QListWidgetItem* AddFieldRow(QListWidget* list, const QString& name, const QString& type) {
    auto* row = new QListWidgetItem(FieldRowText(name, type), list);
    row->setData(kFieldNameRole, name);
    row->setData(kFieldTypeRole, type);
    return row;
}

void FieldRowDelegate::initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const {
    QStyledItemDelegate::initStyleOption(option, index);
    // Without a width (a size being measured) the text stays whole.
    if (option->rect.width() <= 0) return;
    const QFontMetrics& fm = option->fontMetrics;
    const int room = option->rect.width() - TextMargins(*option);
    // The text is shortened here, so the style has nothing left to cut at its end.
    option->textElideMode = Qt::ElideNone;
    if (fm.horizontalAdvance(option->text) <= room) return;
    const QVariant name = index.data(kFieldNameRole);
    if (!name.isValid()) {
        // A name among the available fields.
        option->text = ShortName(fm, option->text, room);
        return;
    }
    const QString whole = name.toString();
    const QString type = index.data(kFieldTypeRole).toString();
    const int typeRoom = room - fm.horizontalAdvance(FieldRowText(whole, QString()));
    if (typeRoom >= fm.horizontalAdvance(kCut)) {
        option->text = FieldRowText(whole, fm.elidedText(type, Qt::ElideRight, typeRoom));
        return;
    }
    option->text = FieldRowText(ShortName(fm, whole, room - fm.horizontalAdvance(FieldRowText(QString(), kCut))), kCut);
}

QSize FieldRowDelegate::sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const {
    QSize size = QStyledItemDelegate::sizeHint(option, index);
    // Rows shorten to their list's width: a role list never scrolls sideways.
    if (index.data(kFieldNameRole).isValid()) size.setWidth(std::min(size.width(), 1));
    return size;
}

bool FieldRowDelegate::helpEvent(QHelpEvent* event, QAbstractItemView* view, const QStyleOptionViewItem& option,
                                 const QModelIndex& index) {
    if (event->type() != QEvent::ToolTip || !index.isValid())
        return QStyledItemDelegate::helpEvent(event, view, option, index);
    QString whole = index.data(Qt::DisplayRole).toString();
    // A row of the available fields: its name and type, as a role list shows them.
    if (!index.data(kFieldNameRole).isValid() && index.model()->columnCount(index.parent()) > 1)
        whole = FieldRowText(index.siblingAtColumn(0).data().toString(), index.siblingAtColumn(1).data().toString());
    QToolTip::showText(event->globalPos(), whole, view);
    return true;
}
