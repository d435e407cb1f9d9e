// How the field roles page makes and draws its field rows. A role list's row
// reads "<name> - (<type>)" and keeps the name and the type as data of their
// own. Where a row does not fit its list, the type is cut short first; a name
// that still does not fit is shortened in its middle, so that both its start
// and its end show (long names often differ only at the end). The available
// fields' names are shortened the same way. Hovering a row shows its whole
// entry.
#pragma once

#include <QStyledItemDelegate>

class QListWidget;
class QListWidgetItem;

// The row data that hold a role list row's field name and type text.
constexpr int kFieldNameRole = Qt::UserRole;
constexpr int kFieldTypeRole = Qt::UserRole + 1;

// "<name> - (<type>)": a field as a role list shows it.
QString FieldRowText(const QString& name, const QString& type);
// Appends a field's row to a role list.
QListWidgetItem* AddFieldRow(QListWidget* list, const QString& name, const QString& type);

class FieldRowDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    bool helpEvent(QHelpEvent* event, QAbstractItemView* view, const QStyleOptionViewItem& option,
                   const QModelIndex& index) override;

protected:
    // Sets the text the row shows at its width.
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override;
};
