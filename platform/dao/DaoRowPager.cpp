// Rows of a record set by position without reading the rows before them:
// row keys over a table (by the name that reaches the key itself, never a
// column that takes one of its names), LIMIT/OFFSET windows over a query or
// a table whose key cannot be reached. Each call is one short read of the
// file, let go of before it returns.
#include <array>

#include "dao/DaoInternal.h"

namespace dao {

namespace {
// Every kSample-th key of a table with gaps in its keys is kept.
constexpr int64_t kSample = 1024;

// Leaves a statement reset, so nothing runs between calls.
struct ResetOnExit {
    Stmt& s;
    ~ResetOnExit() { s.Reset(); }
};

// Whether a statement of the connection is part-way through its rows.
bool StatementRunning(sqlite3* db) {
    for (sqlite3_stmt* s = sqlite3_next_stmt(db, nullptr); s; s = sqlite3_next_stmt(db, s))
        if (sqlite3_stmt_busy(s)) return true;
    return false;
}

// The reads of one call in one transaction, where the connection is idle:
// the count and keys a page is addressed by and the page itself then come
// from one state of the file, and the file is let go of at the end. Where a
// transaction is open, or a statement is part-way through (the connection
// then reads one state already, and a COMMIT would fail beside one that
// writes), the reads join what is open and end nothing. The connection is
// held throughout, so nothing of another thread joins a transaction begun
// here: should its COMMIT fail, rolling it back undoes only these reads.
class ReadTransaction {
public:
    explicit ReadTransaction(sqlite3* db) : db_(db), hold_(db) {
        if (!sqlite3_get_autocommit(db_) || StatementRunning(db_)) return;
        Exec(db_, "BEGIN");
        began_ = true;
    }
    ~ReadTransaction() {
        if (!began_ || sqlite3_get_autocommit(db_)) return;
        if (sqlite3_exec(db_, "COMMIT", nullptr, nullptr, nullptr) != SQLITE_OK)
            sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
    }
    ReadTransaction(const ReadTransaction&) = delete;
    ReadTransaction& operator=(const ReadTransaction&) = delete;

private:
    sqlite3* db_;
    HoldConnection hold_;
    bool began_ = false;
};
}  // namespace

struct RowPager::Impl {
    RecordsetPtr rs;
    RecordsetState* state = nullptr;
    PagingSource src;
    bool byKey = false;  // a stored table, addressed by row key

    Stmt pageStmt, keyAtStmt;
    int64_t count = -1;
    enum class Keys { Unknown, Dense, Sparse } keys = Keys::Unknown;
    int64_t firstKey = 0;
    std::vector<int64_t> samples;  // key of the row at position i * kSample
    int64_t visited = 0;
    // The file as this connection saw it when the count and keys were
    // taken: another connection's commits (data version), the schema, this
    // connection's own writes (change count) and its rollbacks, which move
    // neither of the others.
    Stmt versionStmt;
    using FileState = std::array<int64_t, 4>;
    std::optional<FileState> seen;
    int64_t changes = 0;

    void CheckOpen() const {
        if (RecordsetClosed(*state)) Fail(err::kObjectClosed, "The record set is closed.");
    }
    sqlite3* Db() const { return src.run->db; }

    Stmt& Prepared(Stmt& s, const std::string& sql) {
        if (!s) s = Stmt(Db(), sql);
        return s;
    }

    // A one-value query; nullopt when it gives no row or Null.
    std::optional<int64_t> Scalar(const std::string& sql) {
        Stmt s(Db(), sql);
        if (!s.Step() || sqlite3_column_type(s.get(), 0) == SQLITE_NULL) return std::nullopt;
        return sqlite3_column_int64(s.get(), 0);
    }

    void Forget() {
        count = -1;
        keys = Keys::Unknown;
        samples.clear();
    }

    // Lets go of the record set's own statement, which may have been read
    // since the last call: before the call's transaction begins, so that
    // the transaction does not go on from that statement's older read.
    void Release() {
        CheckOpen();
        ParkRecordset(*state);
    }

    // The file's state as this connection sees it now.
    FileState Now() {
        Stmt& s = Prepared(versionStmt,
                           "SELECT data_version, schema_version FROM pragma_data_version, pragma_schema_version");
        ResetOnExit reset{s};
        s.Step();
        return {sqlite3_column_int64(s.get(), 0), sqlite3_column_int64(s.get(), 1), sqlite3_total_changes64(Db()),
                src.run->rollbacks.load(std::memory_order_relaxed)};
    }

    // Starts a call, inside its transaction: the count and keys taken afresh
    // when the file changed since they were taken, and after a schema
    // change the columns too. The new state counts as seen only once the
    // columns are described, so a description that fails is made again by
    // the next call.
    void Begin() {
        const FileState now = Now();
        if (!seen) seen = now;
        if (*seen == now) return;
        Forget();
        if ((*seen)[1] != now[1]) {
            pageStmt = Stmt();
            keyAtStmt = Stmt();
            src = PagingSourceNow(*state);
            byKey = !src.table.empty();
        }
        seen = now;
        ++changes;
    }

    int64_t Count() {
        if (count >= 0) return count;
        if (byKey) {
            // Taken from the table's tree: no row is stepped through.
            count = Scalar("SELECT count(*) FROM " + QuoteId(src.table)).value_or(0);
        } else {
            count = Scalar("SELECT count(*) FROM (" + src.sql + ")").value_or(0);
            visited += count;
        }
        return count;
    }

    // The key of the row `k` positions after the row with key `from` (or
    // after the first key at or above it); nullopt past the end.
    std::optional<int64_t> KeyAfter(int64_t from, int64_t k) {
        const std::string& key = src.rowid;
        Stmt& s = Prepared(keyAtStmt, "SELECT " + key + " FROM " + QuoteId(src.table) + " WHERE " + key +
                                          " >= ?1 ORDER BY " + key + " LIMIT 1 OFFSET ?2");
        ResetOnExit reset{s};
        s.Bind(1, from);
        s.Bind(2, k);
        bool hit = s.Step();
        visited += hit ? k + 1 : k;
        if (!hit) return std::nullopt;
        return sqlite3_column_int64(s.get(), 0);
    }

    // Whether the keys run without gaps: the count and the first and last keys.
    void LearnKeys() {
        keys = Keys::Dense;
        int64_t n = Count();
        if (n == 0) return;
        auto lo = Scalar("SELECT min(" + src.rowid + ") FROM " + QuoteId(src.table));
        auto hi = Scalar("SELECT max(" + src.rowid + ") FROM " + QuoteId(src.table));
        if (!lo || !hi) {
            count = 0;
            return;
        }
        firstKey = *lo;
        if (static_cast<uint64_t>(*hi) - static_cast<uint64_t>(*lo) != static_cast<uint64_t>(n - 1))
            keys = Keys::Sparse;
    }

    // One pass over the keys, keeping every kSample-th.
    void SampleKeys() {
        samples.clear();
        for (std::optional<int64_t> key = firstKey; key; key = KeyAfter(*key, kSample)) samples.push_back(*key);
    }

    std::optional<int64_t> KeyAt(int64_t position) {
        if (keys == Keys::Unknown) LearnKeys();
        if (position >= Count()) return std::nullopt;
        if (keys == Keys::Dense) return firstKey + position;
        // The first rows need no pass over the keys.
        if (samples.empty() && position < kSample) return KeyAfter(firstKey, position);
        if (samples.empty()) SampleKeys();
        auto i = static_cast<size_t>(position / kSample);
        if (i >= samples.size()) return std::nullopt;
        int64_t rest = position % kSample;
        return rest == 0 ? std::optional<int64_t>(samples[i]) : KeyAfter(samples[i], rest);
    }

    int64_t Read(Stmt& s, int64_t wanted, std::vector<vb::Variant>& out) {
        ResetOnExit reset{s};
        int fields = static_cast<int>(src.types.size());
        int64_t rows = 0;
        while (rows < wanted && s.Step()) {
            for (int c = 0; c < fields; ++c)
                out.push_back(ReadValue(s.get(), c + src.off, src.types[static_cast<size_t>(c)]));
            ++rows;
        }
        visited += rows;
        return rows;
    }
};

RowPager::RowPager(RecordsetPtr recordset) : p_(std::make_unique<Impl>()) {
    if (!recordset) Fail(err::kInvalidOperation, "No record set to read.");
    p_->state = recordset->s_.get();
    p_->CheckOpen();
    p_->src = PagingSourceOf(*p_->state);
    p_->byKey = !p_->src.table.empty();
    p_->rs = std::move(recordset);
    // The pager reads through statements of its own: the read the set's
    // opening left open is let go of at once.
    ParkRecordset(*p_->state);
}

RowPager::~RowPager() = default;

const RecordsetPtr& RowPager::Recordset() const { return p_->rs; }
int32_t RowPager::FieldCount() const { return static_cast<int32_t>(p_->src.types.size()); }
const std::vector<std::string>& RowPager::FieldNames() const { return p_->src.names; }
const std::vector<int16_t>& RowPager::FieldTypes() const { return p_->src.types; }

int64_t RowPager::RowCount() {
    p_->Release();
    ReadTransaction read(p_->Db());
    p_->Begin();
    return p_->Count();
}

int64_t RowPager::ReadRows(int64_t first, int64_t count, std::vector<vb::Variant>& out) {
    p_->CheckOpen();
    if (first < 0 || count <= 0) return 0;
    p_->Release();
    ReadTransaction read(p_->Db());
    p_->Begin();
    if (p_->byKey) {
        auto key = p_->KeyAt(first);
        if (!key) return 0;
        const std::string& k = p_->src.rowid;
        Stmt& s = p_->Prepared(p_->pageStmt, p_->src.sql + " WHERE " + k + " >= ?1 ORDER BY " + k + " LIMIT ?2");
        s.Bind(1, *key);
        s.Bind(2, count);
        return p_->Read(s, count, out);
    }
    Stmt& s = p_->Prepared(p_->pageStmt, "SELECT * FROM (" + p_->src.sql + ") LIMIT ?2 OFFSET ?1");
    s.Bind(1, first);
    s.Bind(2, count);
    p_->visited += first;
    return p_->Read(s, count, out);
}

bool RowPager::FileChanged() {
    p_->CheckOpen();
    sqlite3* db = p_->Db();
    const HoldConnection hold(db);
    // Part-way through a transaction (a run writing): looked at once it is
    // over, not at every step.
    if (!sqlite3_get_autocommit(db)) return false;
    const NoLockWait noWait;
    return !p_->seen || *p_->seen != p_->Now();
}

int64_t RowPager::Changes() const { return p_->changes; }

int64_t RowPager::RowsVisited() const { return p_->visited; }

}  // namespace dao
