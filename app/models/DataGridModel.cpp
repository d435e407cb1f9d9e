#include "models/DataGridModel.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <string>

#include "ui/UiServices.h"
#include "vb/Conversions.h"
#include "vb/VbError.h"

DataGridModel::DataGridModel(dao::RecordsetPtr recordset, QObject* parent) : QAbstractTableModel(parent) {
    // The fields first: a column without a declared type takes the type of
    // its first value, read while the set still stands on its first row.
    for (const auto& field : *recordset->Fields()) {
        names_.push_back(QString::fromStdString(field->Name()));
        int16_t type = field->Type();
        types_.push_back(type);
        rightAligned_.push_back(dao::IsNumberType(type));  // numbers to the right
    }
    pager_ = std::make_unique<dao::RowPager>(std::move(recordset));
    {
        const dao::LockWaitLimit limit(kLockWaitMs);
        rows_ = static_cast<int>(std::min<int64_t>(pager_->RowCount(), INT_MAX));
    }
    columns_ = pager_->FieldCount();
    fieldNames_ = pager_->FieldNames();
    fieldTypes_ = pager_->FieldTypes();
    changesSeen_ = pager_->Changes();
}

DataGridModel::~DataGridModel() = default;

const dao::RecordsetPtr& DataGridModel::Recordset() const { return pager_->Recordset(); }

int DataGridModel::rowCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : rows_; }
int DataGridModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : columns_; }

Qt::ItemFlags DataGridModel::flags(const QModelIndex& index) const {
    return index.isValid() ? Qt::ItemIsSelectable | Qt::ItemIsEnabled : Qt::NoItemFlags;
}

QVariant DataGridModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole && section >= 0 && section < columns_)
        return names_[static_cast<size_t>(section)];
    return QAbstractTableModel::headerData(section, orientation, role);
}

QString DataGridModel::DisplayText(const vb::Variant& value, int16_t fieldType) {
    if (value.IsNull() || value.IsEmpty() || fieldType == dao::dbLongBinary) return {};
    // A REAL column of a file another tool wrote can hold an infinity, which
    // has no number text of its own.
    if (value.IsNumber() && std::isinf(value.ToDouble()))
        return value.ToDouble() > 0 ? QStringLiteral("Infinity") : QStringLiteral("-Infinity");
    return QString::fromStdString(vb::CStr(value));
}

QVariant DataGridModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rows_ || index.column() >= columns_) return {};
    if (role == Qt::TextAlignmentRole)
        return rightAligned_[static_cast<size_t>(index.column())] ? QVariant(int(Qt::AlignRight | Qt::AlignVCenter))
                                                                  : QVariant(int(Qt::AlignLeft | Qt::AlignVCenter));
    if (role != Qt::DisplayRole) return {};
    const Page& page = PageOf(index.row() / kPageRows);
    int row = index.row() % kPageRows;
    if (row >= page.rows) return QString();
    return page.cells[static_cast<size_t>(row) * static_cast<size_t>(columns_) + static_cast<size_t>(index.column())];
}

const DataGridModel::Page& DataGridModel::PageOf(int64_t page) const {
    ++clock_;
    if (page == lastPage_ && last_) {
        last_->lastUse = clock_;
        return *last_;
    }
    auto it = pages_.find(page);
    if (it == pages_.end()) {
        if (static_cast<int>(pages_.size()) >= kCachedPages) EvictOldestPage();
        it = pages_.emplace(page, ReadPage(page)).first;
    }
    it->second.lastUse = clock_;
    lastPage_ = page;
    last_ = &it->second;
    return it->second;
}

DataGridModel::Page DataGridModel::ReadPage(int64_t page) const {
    Page fresh;
    std::vector<vb::Variant> values;
    try {
        const dao::LockWaitLimit limit(LockWait());
        fresh.rows = static_cast<int>(pager_->ReadRows(page * kPageRows, kPageRows, values));
    } catch (const vb::VbError& e) {
        // The rows read before the failure are shown; those that cannot be
        // read show empty cells rather than failing the paint, until the
        // watch finds the file readable and they are read again.
        fresh.rows = columns_ > 0 ? static_cast<int>(values.size() / static_cast<size_t>(columns_)) : 0;
        values.resize(static_cast<size_t>(fresh.rows) * static_cast<size_t>(columns_));
        retry_ = true;
        TellReadError(page * kPageRows + fresh.rows, e);
    }
    ++pagesRead_;
    if (DropPagesOnChange() && !refreshQueued_) {
        // The pages held show the file as it was; the count and columns
        // follow once the paint is over.
        refreshQueued_ = true;
        auto* self = const_cast<DataGridModel*>(this);
        QMetaObject::invokeMethod(
            self, [self] { self->Refresh(); }, Qt::QueuedConnection);
    }
    if (columnsStale_) {
        // Read in columns the model does not have yet: blank until it does.
        fresh.rows = 0;
        values.clear();
    }
    fresh.cells.reserve(values.size());
    for (size_t i = 0; i < values.size(); ++i)
        fresh.cells.push_back(DisplayText(values[i], types_[i % static_cast<size_t>(columns_)]));
    return fresh;
}

// Told once, after the paint (a record set whose database was closed, or a
// file another program keeps locked, is not an error).
void DataGridModel::TellReadError(int64_t firstRow, const vb::VbError& e) const {
    if (readErrorTold_ || e.Number() == dao::err::kObjectClosed || e.Number() == dao::err::kLocked) return;
    readErrorTold_ = true;
    const std::string text = "The rows from row " + std::to_string(firstRow + 1) +
                             " on cannot be read and are shown empty:\r\n\r\n" + std::to_string(e.Number()) + ": " +
                             e.Description();
    QMetaObject::invokeMethod(
        const_cast<DataGridModel*>(this),
        [text] { ui::Ui().MsgBox(text, ui::vbExclamation | ui::vbOKOnly, "Quantara"); }, Qt::QueuedConnection);
}

void DataGridModel::EvictOldestPage() const {
    auto oldest = std::min_element(pages_.begin(), pages_.end(),
                                   [](const auto& a, const auto& b) { return a.second.lastUse < b.second.lastUse; });
    if (&oldest->second == last_) last_ = nullptr;
    pages_.erase(oldest);
}

void DataGridModel::DropPages() const {
    pages_.clear();
    lastPage_ = -1;
    last_ = nullptr;
}

bool DataGridModel::DropPagesOnChange() const {
    if (pager_->Changes() == changesSeen_) return false;
    changesSeen_ = pager_->Changes();
    columnsStale_ = pager_->FieldNames() != fieldNames_ || pager_->FieldTypes() != fieldTypes_;
    DropPages();
    return true;
}

void DataGridModel::Refresh() {
    refreshQueued_ = false;
    int64_t count = rows_;
    try {
        const dao::LockWaitLimit limit(LockWait());
        count = std::min<int64_t>(pager_->RowCount(), INT_MAX);
    } catch (const vb::VbError&) {
        retry_ = true;  // told, if at all, by the page read that fails the same way
        return;
    }
    DropPagesOnChange();
    const int rows = static_cast<int>(count);
    if (columnsStale_) {
        TakeColumns(rows);
    } else if (rows > rows_) {
        beginInsertRows({}, rows_, rows - 1);
        rows_ = rows;
        endInsertRows();
    } else if (rows < rows_) {
        beginRemoveRows({}, rows, rows_ - 1);
        rows_ = rows;
        endRemoveRows();
    }
}

void DataGridModel::Watch() {
    try {
        if (!pager_->FileChanged() && !retry_) return;
    } catch (const vb::VbError&) {
        return;  // locked by another program, or closed: looked at again next time
    }
    retry_ = false;
    DropPages();
    Refresh();
    if (rows_ > 0 && columns_ > 0) emit dataChanged(index(0, 0), index(rows_ - 1, columns_ - 1));
}

void DataGridModel::TakeColumns(int rows) {
    beginResetModel();
    const std::vector<std::string>& names = pager_->FieldNames();
    const std::vector<int16_t>& types = pager_->FieldTypes();
    std::vector<QString> shownNames;
    std::vector<int16_t> shownTypes;
    std::vector<bool> right;
    for (size_t c = 0; c < names.size(); ++c) {
        int16_t type = types[c];
        if (type == 0) {
            // An expression without a type keeps the type its first value gave it.
            auto old = std::find(fieldNames_.begin(), fieldNames_.end(), names[c]);
            if (old != fieldNames_.end()) type = types_[static_cast<size_t>(old - fieldNames_.begin())];
        }
        shownNames.push_back(QString::fromStdString(names[c]));
        shownTypes.push_back(type);
        right.push_back(dao::IsNumberType(type));
    }
    names_ = std::move(shownNames);
    types_ = std::move(shownTypes);
    rightAligned_ = std::move(right);
    fieldNames_ = names;
    fieldTypes_ = types;
    columns_ = static_cast<int>(names_.size());
    rows_ = rows;
    columnsStale_ = false;
    DropPages();
    endResetModel();
}
