#include "models/DataGridView.h"

#include <QAbstractTableModel>
#include <QCoreApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QScopedValueRollback>
#include <QScrollBar>
#include <QTableView>
#include <QTimer>
#include <QWheelEvent>

#include <algorithm>

#include "models/DataGridModel.h"
#include "models/GridCellDelegate.h"

// A window of the grid model's rows: rows [first, first + rows) of the
// model, numbered in the row header as the model's rows.
class DataGridWindowModel : public QAbstractTableModel {
public:
    explicit DataGridWindowModel(QObject* parent) : QAbstractTableModel(parent) {}

    void SetSource(DataGridModel* source) {
        beginResetModel();
        source_ = source;
        first_ = 0;
        shown_ = static_cast<int>(std::clamp<int64_t>(Total(), 0, rows_));
        endResetModel();
    }
    int64_t First() const { return first_; }
    int64_t Total() const { return source_ ? source_->rowCount() : 0; }

    // The rows the view was told of; the source's count may have moved on
    // since (the table changed), until the next Place.
    int rowCount(const QModelIndex& parent = QModelIndex()) const override {
        return parent.isValid() || !source_ ? 0 : shown_;
    }
    int columnCount(const QModelIndex& parent = QModelIndex()) const override {
        return parent.isValid() || !source_ ? 0 : source_->columnCount();
    }
    QVariant data(const QModelIndex& index, int role) const override {
        if (!index.isValid() || !source_ || first_ + index.row() >= Total()) return {};
        const QModelIndex at = source_->index(static_cast<int>(first_ + index.row()), index.column());
        if (role == Qt::ToolTipRole) {
            // The full text, however the cell shows it.
            const QString text = source_->data(at, Qt::DisplayRole).toString();
            return text.isEmpty() ? QVariant() : QVariant(text);
        }
        return source_->data(at, role);
    }
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override {
        if (!source_) return {};
        if (orientation == Qt::Vertical && role == Qt::DisplayRole) return QString::number(first_ + section + 1);
        return source_->headerData(section, orientation, role);
    }
    Qt::ItemFlags flags(const QModelIndex& index) const override {
        return source_ ? source_->flags(index) : Qt::NoItemFlags;
    }

    // The source's columns changed: the view is told afresh, the window kept.
    void Reset() {
        beginResetModel();
        shown_ = static_cast<int>(std::clamp<int64_t>(Total() - first_, 0, rows_));
        endResetModel();
    }

    // Moves the window and sizes it; rows come and go at its end only.
    void Place(int64_t first, int rows) {
        int before = rowCount();
        int after = static_cast<int>(std::clamp<int64_t>(Total() - first, 0, rows));
        if (after < before) beginRemoveRows({}, after, before - 1);
        if (after > before) beginInsertRows({}, before, after - 1);
        bool moved = first != first_;
        first_ = first;
        rows_ = rows;
        shown_ = after;
        if (after < before) endRemoveRows();
        if (after > before) endInsertRows();
        if (moved && after > 0) {
            emit dataChanged(index(0, 0), index(after - 1, std::max(0, columnCount() - 1)));
            emit headerDataChanged(Qt::Vertical, 0, after - 1);
        }
    }

private:
    DataGridModel* source_ = nullptr;
    int64_t first_ = 0;
    int rows_ = 1;
    int shown_ = 0;
};

DataGridView::DataGridView(QWidget* parent) : QWidget(parent) {
    table_ = new QTableView(this);
    bar_ = new QScrollBar(Qt::Vertical, this);
    window_ = new DataGridWindowModel(this);
    table_->setModel(window_);
    table_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    table_->setAutoScroll(false);  // the window moves, the view never scrolls vertically
    table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table_->setItemDelegate(new GridCellDelegate(table_));
    // A text too wide for its column keeps its end: result tables name fields
    // that often differ only there.
    table_->setTextElideMode(Qt::ElideMiddle);
    // Narrow enough to shrink a column, wide enough for a number's shortest form.
    table_->horizontalHeader()->setMinimumSectionSize(table_->fontMetrics().horizontalAdvance("-8E+308") +
                                                      2 * GridCellDelegate::TextMargin(table_) + 4);
    table_->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    table_->verticalHeader()->setDefaultSectionSize(table_->fontMetrics().height() + 6);
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(table_);
    layout->addWidget(bar_);
    table_->viewport()->installEventFilter(this);
    table_->installEventFilter(this);
    connect(bar_, &QScrollBar::valueChanged, this, &DataGridView::OnScrolled);
    watch_ = new QTimer(this);
    watch_->setInterval(kWatchMs);
    connect(watch_, &QTimer::timeout, this, [this] {
        if (model_ && isVisible()) model_->Watch();
    });
    connect(table_->selectionModel(), &QItemSelectionModel::currentChanged, this, [this](const QModelIndex& current) {
        if (placing_) return;
        current_ = current.isValid() ? window_->First() + current.row() : -1;
        currentColumn_ = current.isValid() ? current.column() : 0;
        ShowCurrentColumn();
    });
}

DataGridView::~DataGridView() = default;

void DataGridView::SetModel(DataGridModel* model) {
    if (model_) disconnect(model_, nullptr, this, nullptr);
    model_ = model;
    if (model_) {
        // The table's row count changed (another program wrote to it).
        for (auto signal : {&QAbstractItemModel::rowsInserted, &QAbstractItemModel::rowsRemoved})
            connect(model_, signal, this, [this] {
                Relayout();
                table_->viewport()->update();
            });
        // Values changed: the rows on screen are read again.
        connect(model_, &QAbstractItemModel::dataChanged, this, [this] { table_->viewport()->update(); });
        // Its columns changed (another program added or dropped one).
        connect(model_, &QAbstractItemModel::modelReset, this, [this] {
            currentColumn_ = std::clamp(currentColumn_, 0, std::max(0, model_->columnCount() - 1));
            window_->Reset();
            Relayout();
            FitColumns();
        });
    }
    current_ = -1;
    if (model_)
        watch_->start();
    else
        watch_->stop();
    window_->SetSource(model);
    bar_->setValue(0);
    Relayout();
    FitColumns();
}

void DataGridView::FitColumns() {
    if (!model_) return;
    // Each column as wide as its header and the widest of the first rows,
    // within bounds, so one long text cannot push the others out of sight.
    const QFontMetrics metrics = table_->fontMetrics();
    const int padding = 2 * GridCellDelegate::TextMargin(table_) + 4;
    const int widest = metrics.averageCharWidth() * 40;
    const int rows = std::min(model_->rowCount(), kFitRows);
    QHeaderView* header = table_->horizontalHeader();
    for (int c = 0; c < model_->columnCount(); ++c) {
        int width = header->sectionSizeHint(c);
        for (int r = 0; r < rows; ++r)
            width = std::max(width, metrics.horizontalAdvance(model_->data(model_->index(r, c)).toString()) + padding);
        header->resizeSection(
            c, std::clamp(width, header->minimumSectionSize(), std::max(widest, header->sectionSizeHint(c))));
    }
}

QString DataGridView::ShownText(int64_t row, int column) const {
    const QModelIndex index = window_->index(static_cast<int>(row - window_->First()), column);
    if (!index.isValid()) return {};
    QStyleOptionViewItem option;
    option.initFrom(table_->viewport());
    option.font = table_->font();
    option.fontMetrics = table_->fontMetrics();
    option.rect = table_->visualRect(index);
    option.widget = table_;
    return static_cast<GridCellDelegate*>(table_->itemDelegate())->ShownText(option, index);
}

int64_t DataGridView::Total() const { return window_->Total(); }
int64_t DataGridView::FirstRow() const { return window_->First(); }

int64_t DataGridView::CurrentRow() const {
    QModelIndex index = table_->currentIndex();
    return index.isValid() ? window_->First() + index.row() : -1;
}

void DataGridView::Relayout() {
    // Room in the row header for the largest row number.
    table_->verticalHeader()->setMinimumWidth(table_->fontMetrics().horizontalAdvance(QString::number(Total())) + 12);
    int rowHeight = std::max(1, table_->verticalHeader()->defaultSectionSize());
    visible_ = std::max(1, table_->viewport()->height() / rowHeight);
    int64_t last = std::max<int64_t>(0, Total() - visible_);
    bar_->setRange(0, static_cast<int>(last));
    bar_->setPageStep(visible_);
    bar_->setSingleStep(1);
    OnScrolled(bar_->value());
}

void DataGridView::OnScrolled(int value) {
    // One partly shown row below those that fit whole.
    {
        QScopedValueRollback<bool> placing(placing_, true);
        window_->Place(value, visible_ + 1);
    }
    table_->verticalScrollBar()->setValue(0);
    PlaceCurrent();
}

// Keeps the current cell on its model row as the window moves.
void DataGridView::PlaceCurrent() {
    QScopedValueRollback<bool> placing(placing_, true);
    int64_t row = current_ - window_->First();
    if (current_ >= 0 && row >= 0 && row < window_->rowCount())
        table_->selectionModel()->setCurrentIndex(window_->index(static_cast<int>(row), currentColumn_),
                                                  QItemSelectionModel::ClearAndSelect);
    else
        table_->selectionModel()->clear();
}

void DataGridView::ScrollToRow(int64_t row) {
    bar_->setValue(static_cast<int>(std::clamp<int64_t>(row, 0, bar_->maximum())));
}

void DataGridView::ScrollToBottom() { bar_->setValue(bar_->maximum()); }

void DataGridView::SetCurrentRow(int64_t row, int column) {
    if (Total() == 0) return;
    row = std::clamp<int64_t>(row, 0, Total() - 1);
    if (row < window_->First())
        ScrollToRow(row);
    else if (row >= window_->First() + visible_)
        ScrollToRow(row - visible_ + 1);
    current_ = row;
    currentColumn_ = std::clamp(column, 0, std::max(0, window_->columnCount() - 1));
    PlaceCurrent();
    ShowCurrentColumn();
}

// Scrolls sideways to the current cell; rows are the window's business.
void DataGridView::ShowCurrentColumn() {
    const QModelIndex current = table_->currentIndex();
    if (!current.isValid()) return;
    table_->scrollTo(current);
    table_->verticalScrollBar()->setValue(0);
}

bool DataGridView::eventFilter(QObject* watched, QEvent* event) {
    if (watched == table_->viewport()) {
        if (event->type() == QEvent::Resize) {
            Relayout();
        } else if (event->type() == QEvent::Wheel) {
            auto* wheel = static_cast<QWheelEvent*>(event);
            if (wheel->angleDelta().y() != 0) {
                QCoreApplication::sendEvent(bar_, event);
                return true;
            }
        }
    } else if (watched == table_ && event->type() == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(event);
        bool control = key->modifiers() & Qt::ControlModifier;
        int64_t at = current_ >= 0 ? current_ : window_->First();
        int64_t target;
        switch (key->key()) {
            case Qt::Key_Up:
                target = at - 1;
                break;
            case Qt::Key_Down:
                target = at + 1;
                break;
            case Qt::Key_PageUp:
                target = at - visible_;
                break;
            case Qt::Key_PageDown:
                target = at + visible_;
                break;
            case Qt::Key_Home:  // with Control, the first cell of the table
                if (!control) return false;
                SetCurrentRow(0, 0);
                return true;
            case Qt::Key_End:  // with Control, the last cell of the table
                if (!control) return false;
                // The last row now, with rows another program appended since the last paint.
                if (model_) model_->Refresh();
                SetCurrentRow(Total() - 1, window_->columnCount() - 1);
                return true;
            default:
                return false;
        }
        SetCurrentRow(target, current_ >= 0 ? currentColumn_ : 0);
        return true;
    }
    return QWidget::eventFilter(watched, event);
}
