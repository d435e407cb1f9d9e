#include "forms/CListView.h"

#include <QAbstractItemView>
#include <QTreeWidget>

#include "ui/UiServices.h"

void CListView::SetRedraw(bool fRedraw) {
    if (list_) list_->setUpdatesEnabled(fRedraw);
}

void CListView::SetFullRowSelect() {
    if (list_) list_->setSelectionBehavior(QAbstractItemView::SelectRows);
}

void CListView::OnColumnClick(int column) {
    if (!list_) return;
    list_->sortItems(column, Qt::AscendingOrder);
    ui::Ui().SetMousePointer(ui::vbDefault);
    if (!resetSortKey_) list_->setSortingEnabled(true);
}

bool CListViewItem::operator<(const QTreeWidgetItem& other) const {
    const int column = treeWidget() ? treeWidget()->sortColumn() : 0;
    return text(column).compare(other.text(column), Qt::CaseInsensitive) < 0;
}
