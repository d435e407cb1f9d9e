#include "forms/CListView.h"

#include <QAbstractItemView>
#include <QKeyEvent>
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

namespace {

class ReturnActs : public QObject {
public:
    ReturnActs(QAbstractItemView* list, std::function<void()> act) : QObject(list), list_(list), act_(std::move(act)) {}

    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched != list_ || event->type() != QEvent::KeyPress) return false;
        const auto* key = static_cast<QKeyEvent*>(event);
        const bool plain = (key->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier;
        if (!plain || (key->key() != Qt::Key_Return && key->key() != Qt::Key_Enter)) return false;
        const QModelIndex framed = list_->currentIndex();
        if (!framed.isValid()) return false;
        list_->selectionModel()->setCurrentIndex(framed,
                                                 QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
        act_();
        return true;
    }

private:
    QAbstractItemView* list_;
    std::function<void()> act_;
};

}  // namespace

void ActOnReturn(QAbstractItemView* list, std::function<void()> act) {
    list->installEventFilter(new ReturnActs(list, std::move(act)));
}
