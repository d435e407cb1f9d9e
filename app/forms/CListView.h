// CListView: the companion of a report-style list (a QTreeWidget): drawing
// switched off while it is refilled, whole-row selection, and sorting by a
// clicked column as text without regard to case.
#pragma once

#include <QTreeWidgetItem>
#include <functional>

class QAbstractItemView;
class QTreeWidget;

class CListView {
public:
    // When true, a column click sorts once and the list keeps no sort order,
    // so the next refill shows the rows in the order they were added.
    bool ResetSortKeyOnColumnClick() const { return resetSortKey_; }
    void ResetSortKeyOnColumnClick(bool value) { resetSortKey_ = value; }

    void SetListView(QTreeWidget* list) { list_ = list; }
    void SetRedraw(bool fRedraw);
    // Drawing switched off for as long as it lives, as a refill wants it.
    class RedrawPaused {
    public:
        explicit RedrawPaused(CListView& view) : view_(view) { view_.SetRedraw(false); }
        ~RedrawPaused() { view_.SetRedraw(true); }
        RedrawPaused(const RedrawPaused&) = delete;
        RedrawPaused& operator=(const RedrawPaused&) = delete;

    private:
        CListView& view_;
    };
    void SetFullRowSelect();
    // Sorts by the column, always ascending (a second click sorts the same way).
    void OnColumnClick(int column);

private:
    QTreeWidget* list_ = nullptr;
    bool resetSortKey_ = false;
};

// A list row that sorts by its text without regard to case, numbers included
// ("10" before "9"), as the list has always sorted.
class CListViewItem : public QTreeWidgetItem {
public:
    using QTreeWidgetItem::QTreeWidgetItem;
    bool operator<(const QTreeWidgetItem& other) const override;
};

// Return (or Enter) on a list whose double click acts: the row that has the
// focus frame is chosen, as a click would choose it, and `act` runs as the
// double click would. Without a framed row the key goes on to the window
// (its default button). The arrows keep moving from the framed row.
void ActOnReturn(QAbstractItemView* list, std::function<void()> act);
