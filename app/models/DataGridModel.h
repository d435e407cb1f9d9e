// The read-only model of the data grids: the rows of one record set, read a
// page at a time as the view asks for them. Only a bounded number of pages is
// kept, so memory follows the rows on screen, not the size of the table.
// Between reads nothing of the file is held, so other programs write to it
// while the grid is open. The grid's watch (Watch) looks at the file twice a
// second; a change, or a page read that finds one, drops the pages read
// before (the rows on screen are read again), and the row count and the
// columns become the table's (new columns reset the model). No read waits
// for another program's lock longer than a commit takes: rows that could not
// be read (a file another program keeps locked) show as not read yet, and the
// read is made again once the file can be read.
#pragma once

#include <QAbstractTableModel>
#include <QString>

#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "dao/Dao.h"

class DataGridModel : public QAbstractTableModel {
    Q_OBJECT
public:
    static constexpr int kPageRows = 128;
    static constexpr int kCachedPages = 64;
    // How long a read waits for another program's lock: long enough for a
    // commit, short enough that a key never waits on a transaction. Once a
    // read met a lock, the next ones do not wait until the file can be read.
    static constexpr int kLockWaitMs = 100;

    // Takes the record set for the model's life; its rows are counted at once
    // (raising 3260 when another program's lock keeps them from it).
    explicit DataGridModel(dao::RecordsetPtr recordset, QObject* parent = nullptr);
    ~DataGridModel() override;

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

    const dao::RecordsetPtr& Recordset() const;
    // Takes the table as the file has it now: when it changed, the pages
    // held are dropped and the row count and columns become the table's. For
    // moves that go by the row count (to the last row), which must not wait
    // for the watch. A refresh that fails is made again by the next Watch.
    void Refresh();
    // The grid's watch, made about twice a second while it is shown: a cheap
    // look at the file that reads no row and waits for no lock. When the
    // file changed, or a read failed since the last look and the file can
    // be read now, the table is refreshed and every row told changed, so the
    // rows on screen are read again.
    void Watch();
    // The text a cell shows: empty for Null and binary data, the runtime's
    // CStr otherwise ("True"/"False", dates as yyyy-mm-dd hh:nn:ss, numbers
    // to 15 significant digits with a "." whatever the locale), "Infinity"
    // and "-Infinity" for infinite numbers.
    static QString DisplayText(const vb::Variant& value, int16_t fieldType);

    // Pages read from the record set so far, and pages held now.
    int64_t PagesRead() const { return pagesRead_; }
    int CachedPages() const { return static_cast<int>(pages_.size()); }
    const dao::RowPager& Pager() const { return *pager_; }

private:
    struct Page {
        std::vector<QString> cells;  // row after row
        int rows = 0;
        uint64_t lastUse = 0;
    };
    const Page& PageOf(int64_t page) const;
    // Reads a page from the file; the rows that cannot be read are left out,
    // and the first such failure other than a lock is told once.
    Page ReadPage(int64_t page) const;
    // The lock wait of the next read.
    int LockWait() const { return retry_ ? 0 : kLockWaitMs; }
    void TellReadError(int64_t firstRow, const vb::VbError& e) const;
    void EvictOldestPage() const;
    void DropPages() const;
    // Drops the pages when a read found the file changed since they were
    // read; true then. Notes whether the columns changed with it.
    bool DropPagesOnChange() const;
    // The fields as the pager reads them now (a reset of the model).
    void TakeColumns(int rows);

    std::unique_ptr<dao::RowPager> pager_;
    int rows_ = 0;
    int columns_ = 0;
    std::vector<QString> names_;
    std::vector<int16_t> types_;
    std::vector<bool> rightAligned_;
    // The pager's fields the columns above stand for.
    std::vector<std::string> fieldNames_;
    std::vector<int16_t> fieldTypes_;
    mutable bool columnsStale_ = false;
    mutable std::unordered_map<int64_t, Page> pages_;
    mutable uint64_t clock_ = 0;
    mutable int64_t pagesRead_ = 0;
    mutable int64_t lastPage_ = -1;
    mutable Page* last_ = nullptr;
    mutable bool readErrorTold_ = false;
    mutable int64_t changesSeen_ = 0;
    mutable bool refreshQueued_ = false;
    // A read or refresh failed: made again once the file can be read.
    mutable bool retry_ = false;
};
