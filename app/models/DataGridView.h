// The data grid control: a table view that holds only the rows on screen.
// A QTableView keeps 8 bytes per row in its row header, 80 MB for ten
// million rows, so the view here is given a window of the grid model's rows
// (those that fit on screen) and a scroll bar of its own over all of them;
// scrolling moves the window. Memory then follows the rows shown. While the
// grid is shown its watch looks at the file twice a second, so the rows on
// screen follow what any program commits, with no key pressed.
#pragma once

#include <QWidget>

#include <cstdint>

class DataGridModel;
class DataGridWindowModel;
class QScrollBar;
class QTableView;
class QTimer;

class DataGridView : public QWidget {
    Q_OBJECT
public:
    explicit DataGridView(QWidget* parent = nullptr);
    ~DataGridView() override;

    // Shows the model's rows; the model is not owned.
    void SetModel(DataGridModel* model);
    DataGridModel* Model() const { return model_; }

    QTableView* Table() const { return table_; }
    QScrollBar* ScrollBar() const { return bar_; }
    // The model row at the top of the view, and the model row of the
    // current cell (-1 when none or when it is scrolled out of view).
    int64_t FirstRow() const;
    int64_t CurrentRow() const;
    // Rows that fit on screen whole.
    int VisibleRows() const { return visible_; }
    void ScrollToRow(int64_t row);
    void ScrollToBottom();
    // Makes a model row current, scrolling it into view.
    void SetCurrentRow(int64_t row, int column = 0);
    // What the cell of a model row on screen shows at its column's width
    // (empty when the row is not on screen).
    QString ShownText(int64_t row, int column) const;
    // Sizes each column to its header and the widest of its first rows.
    void FitColumns();
    static constexpr int kFitRows = 64;
    static constexpr int kWatchMs = 500;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void Relayout();
    void OnScrolled(int value);
    void PlaceCurrent();
    void ShowCurrentColumn();
    int64_t Total() const;

    DataGridModel* model_ = nullptr;
    DataGridWindowModel* window_ = nullptr;
    QTableView* table_ = nullptr;
    QScrollBar* bar_ = nullptr;
    QTimer* watch_ = nullptr;
    int visible_ = 1;
    int64_t current_ = -1;
    int currentColumn_ = 0;
    bool placing_ = false;
};
