// How the field roles page draws its field rows. A role list's row reads
// "<name> - (<type>)"; where the list is too narrow for it, the type is cut
// short, never the name, and a list too narrow for a name scrolls sideways.
// The available fields keep their name column as wide as the longest name.
// Hovering a row shows its whole entry.
#pragma once

#include <QStyledItemDelegate>

// The row data that holds a role list row's field name.
constexpr int kFieldNameRole = Qt::UserRole;

class FieldRowDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    bool helpEvent(QHelpEvent* event, QAbstractItemView* view, const QStyleOptionViewItem& option,
                   const QModelIndex& index) override;

protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override;
};
