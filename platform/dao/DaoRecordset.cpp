// Record sets: a running statement read in place, row keys collected only
// when a move needs them, and prepared INSERT/UPDATE statements reused.
#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstring>
#include <exception>
#include <thread>
#include <unordered_set>

#include "dao/DaoInternal.h"
#include "vb/Conversions.h"

namespace dao {

struct RecordsetState {
    std::shared_ptr<DatabaseImpl> owner;  // the database it was opened on
    std::shared_ptr<DatabaseImpl> run;    // the connection it runs on
    std::vector<std::string> attachments;
    int16_t type = dbOpenDynaset;
    int32_t options = 0;
    std::string sql;  // column 0 is the rowid when keyed
    // A keyed query's row by its key, without the query's filter: a row an edit
    // took out of the filter stays in the set, as the set was opened.
    std::string lookupSql;
    bool keyed = false;
    bool wholeTable = false;  // keyed and reads every row of its table in stored order
    int off = 0;
    bool updatable = false;
    bool appendOnly = false;
    bool forwardOnly = false;
    bool finiteOnly = false;           // dbFiniteNumbers
    bool wholeOrder = false;           // keyed and sorted by the row key last: no two rows tie
    std::shared_ptr<TableInfo> table;  // the table that updates go to
    std::string tableName;

    Stmt main;
    Stmt lookup;
    sqlite3_stmt* cur = nullptr;
    int64_t curKey = 0;
    int64_t pos = -1;
    bool eof = true, bof = true;
    bool deleted = false;
    int64_t mainPos = -1;
    bool mainDone = false;
    bool ran = false;
    int64_t reached = 0;
    int64_t removed = 0;
    bool collectKeys = false;
    std::vector<int64_t> keys;
    std::unordered_map<int64_t, int64_t> keyIndex;
    std::unordered_set<int64_t> deletedKeys;  // rows deleted through this set: moves pass over them
    size_t keyIndexBuilt = 0;
    int64_t lastKey = 0;

    std::vector<std::shared_ptr<FieldDef>> defs;
    std::vector<FieldPtr> fields;
    FieldsPtr fieldsColl;
    std::unordered_map<std::string, int, NoCaseHash, NoCaseEq> byName;
    std::vector<int> tableCol;  // per field: column of `table`, -1 when not updatable

    int editMode = 0;
    std::vector<vb::Variant> buffer;
    std::vector<char> dirty;
    int64_t editKey = 0;
    std::unordered_map<std::string, Stmt> writes;  // INSERT/UPDATE by column mask
    Stmt nextCounter;
    // Batched appends (dbAppendInBatches): the rows added since the last
    // batch was written, bound as they come into the full batch's INSERT of
    // their column mask and kept for a shorter one.
    bool batched = false;
    int batchRows = 0;                              // rows of a full batch
    int pending = 0;                                // rows waiting
    std::string batchMask;                          // the column mask of the rows waiting
    std::unordered_map<std::string, Stmt> batches;  // full-batch INSERT by column mask
    std::vector<std::vector<vb::Variant>> pendingValues;
    int64_t pendingLastPos = 0;                   // the position of the last row waiting
    std::unordered_map<std::string, Stmt> finds;  // FindFirst criteria
    vb::Variant lastModified;
    bool noMatch = false;
    bool closed = false;

    // Parked: a schema change on the connection reset the statements; `main`
    // is re-run to the row it stood on before it is stepped again, and the
    // current row is read afresh before a field is read.
    bool mainParked = false;
    bool curParked = false;
    bool mainOnGap = false;  // resumed after its row was deleted: `main` stands on the row before
    // Tables and views (schema, name) the statement reads; found when a drop
    // needs to know.
    std::vector<std::pair<std::string, std::string>> reads;
    bool readsKnown = false;

    void CheckOpen() const {
        if (closed) Fail(err::kObjectClosed, "The record set is closed.");
    }
    // --- movement ---
    void Run() {
        main.Reset();
        mainPos = -1;
        mainDone = false;
        mainParked = false;
        mainOnGap = false;
        ran = true;
    }
    void Park() {
        if (main && sqlite3_stmt_busy(main.get())) {
            sqlite3_reset(main.get());
            mainParked = true;
        }
        if (lookup && sqlite3_stmt_busy(lookup.get())) sqlite3_reset(lookup.get());
        if (cur) curParked = true;
    }
    // Runs `main` again up to the row it stood on: by row key where the set
    // has one (rows added or removed before it then do not shift it), else
    // by counting rows.
    void ResumeMain() {
        sqlite3_reset(main.get());
        if (keyed) {
            while (main.Step())
                if (sqlite3_column_int64(main.get(), 0) == lastKey) {
                    mainParked = false;
                    return;
                }
            sqlite3_reset(main.get());
        }
        // A row deleted through this set was where it stood: stop one row
        // short, so the next step gives the row after the deleted one.
        int64_t target = mainPos;
        if (keyed && deleted && !cur && curKey == lastKey) {
            target = mainPos - 1;
            mainOnGap = true;
        }
        int64_t at = -1;
        while (at < target && main.Step()) ++at;
        mainParked = false;
        if (mainOnGap) {
            if (at < target)
                mainOnGap = false;
            else
                return;
        }
        if (at < mainPos) {
            // Fewer rows than before: the set ends here.
            mainPos = at;
            mainDone = true;
            reached = std::min(reached, mainPos + 1);
        }
    }
    // Reads the current row afresh after parking.
    void RestoreCur() {
        curParked = false;
        if (!cur) return;
        if (cur == main.get()) {
            if (mainParked) ResumeMain();
            if (mainDone) {
                cur = nullptr;
                deleted = true;
            }
        } else if (cur == lookup.get()) {
            Lookup(curKey);
        }
    }
    bool StepMain() {
        if (mainParked) ResumeMain();
        mainOnGap = false;
        if (StepFirst()) {
            ++mainPos;
            if (mainPos + 1 > reached) reached = mainPos + 1;
            if (keyed) {
                lastKey = sqlite3_column_int64(main.get(), 0);
                if (collectKeys && static_cast<int64_t>(keys.size()) == mainPos) keys.push_back(lastKey);
            }
            return true;
        }
        mainDone = true;
        reached = mainPos + 1;
        return false;
    }
    // Steps `main`. Its first step, which sorts when the statement sorts, may
    // sort and merge in helper threads (half the processors, up to four)
    // where the order is whole: the threads' timing decides which of two
    // tying rows comes first.
    bool StepFirst() {
        if (mainPos >= 0 || !wholeOrder) return main.Step();
        const int helpers = static_cast<int>(std::min(4u, std::thread::hardware_concurrency() / 2));
        const int before = sqlite3_limit(run->db, SQLITE_LIMIT_WORKER_THREADS, helpers);
        struct Restore {
            sqlite3* db;
            int before;
            ~Restore() { sqlite3_limit(db, SQLITE_LIMIT_WORKER_THREADS, before); }
        } restore{run->db, before};
        return main.Step();
    }
    void SetEof() {
        cur = nullptr;
        curParked = false;
        deleted = false;
        eof = true;
        bof = Count() == 0;
        pos = mainDone ? mainPos + 1 : pos + 1;
    }
    void SetBof() {
        cur = nullptr;
        curParked = false;
        deleted = false;
        bof = true;
        eof = Count() == 0;
        pos = -1;
    }
    int64_t Count() const { return std::max<int64_t>(0, reached - removed); }
    void Lookup(int64_t key) {
        if (!lookup) {
            std::string q = type == dbOpenTable  ? sql + " WHERE " + table->rowid + " = ?1"
                            : !lookupSql.empty() ? lookupSql
                                                 : "SELECT * FROM (" + sql + ") WHERE __dao_rowid = ?1";
            lookup = Stmt(run->db, q);
        }
        lookup.Reset();
        lookup.Bind(1, key);
        curKey = key;
        curParked = false;
        if (lookup.Step()) {
            cur = lookup.get();
            deleted = false;
        } else {
            cur = nullptr;
            deleted = true;
        }
    }
    void EnsureKeys(bool all) {
        if (!collectKeys) {
            collectKeys = true;
            keys.clear();
            int64_t target = mainDone ? INT64_MAX : mainPos;
            Run();
            while (mainPos < target && StepMain()) {}
        }
        if (all)
            while (!mainDone && StepMain()) {}
    }
    void GoTo(int64_t k) {
        eof = bof = false;
        if (k < 0) return SetBof();
        if (!ran) Run();
        if (mainParked && !mainDone && k == mainPos) ResumeMain();
        if (mainOnGap && !mainDone && k == mainPos) {
            curParked = false;
            cur = nullptr;
            deleted = true;
            curKey = lastKey;
            pos = k;
            return;
        }
        if (!mainDone && k == mainPos) {
            curParked = false;
            cur = main.get();
            curKey = keyed ? sqlite3_column_int64(cur, 0) : 0;
            deleted = false;
            pos = k;
            return;
        }
        if (keyed && k < static_cast<int64_t>(keys.size())) {
            Lookup(keys[static_cast<size_t>(k)]);
            pos = k;
            return;
        }
        if (keyed && mainDone && k == mainPos && mainPos >= 0) {
            Lookup(lastKey);
            pos = k;
            return;
        }
        if (!mainDone && k > mainPos) {
            while (mainPos < k)
                if (!StepMain()) return SetEof();
            // On the row just stepped to, whose key the step read.
            curParked = false;
            cur = main.get();
            curKey = keyed ? lastKey : 0;
            deleted = false;
            pos = k;
            return;
        }
        if (mainDone && k > mainPos) return SetEof();
        // Backwards.
        if (keyed) {
            EnsureKeys(false);
            if (k < static_cast<int64_t>(keys.size())) {
                Lookup(keys[static_cast<size_t>(k)]);
                pos = k;
                return;
            }
        }
        Run();
        return GoTo(k);
    }
    // Moves pass over rows deleted through this set, in the direction of the move.
    void SkipDeleted(int direction) {
        while (!cur && deleted && !eof && !bof && deletedKeys.count(curKey)) GoTo(pos + direction);
    }
    // Before a write: the row keys from the start up to here, in the order the
    // set was opened with, so that moving back afterwards neither re-runs a
    // statement whose order or rows the write changed nor loses a deleted row's
    // place. An edit cannot move a row of a whole table read in stored order.
    void KeepOrder(bool deleting) {
        if (keyed && ran && !collectKeys && (deleting || !wholeTable)) EnsureKeys(false);
    }
    void CheckBackward() const {
        if (forwardOnly)
            Fail(err::kInvalidOperation, "A forward-only record set cannot move backwards or use bookmarks.");
    }
    void CheckCurrent() const {
        if (deleted) Fail(err::kRecordDeleted, "The current record has been deleted.");
        if (!cur) Fail(err::kNoCurrentRecord, "There is no current record.");
    }

    vb::Variant Get(int i) {
        if (editMode && dirty[static_cast<size_t>(i)]) return buffer[static_cast<size_t>(i)];
        if (editMode == 2) return vb::Variant::Null();
        if (curParked) RestoreCur();
        CheckCurrent();
        vb::Variant v;
        bool blob = false;
        {
            // One hold of the lock for the column calls of the value.
            const HoldConnection hold(run->db);
            // An infinity in a column of another type (one declared with no
            // type lists as a text) is refused before it is converted.
            if (finiteOnly && sqlite3_column_type(cur, i + off) == SQLITE_FLOAT &&
                !std::isfinite(sqlite3_column_double(cur, i + off)))
                throw NotFiniteValue(defs[static_cast<size_t>(i)]->name);
            v = ReadValue(cur, i + off, defs[static_cast<size_t>(i)]->type);
            blob = sqlite3_column_type(cur, i + off) == SQLITE_BLOB;
        }
        if (finiteOnly) {
            const FieldDef& def = *defs[static_cast<size_t>(i)];
            if ((v.Type() == vb::vbDouble || v.Type() == vb::vbSingle) && !std::isfinite(v.ToDouble()))
                throw NotFiniteValue(def.name);
            if (v.Type() == vb::vbString && IsNumberType(def.type)) {
                // Bytes are no number, whatever text they spell.
                if (blob) throw NotNumberValue(def.name, v.String(), true);
                if (v.String().empty()) return vb::Variant::Null();
                throw NotNumberValue(def.name, v.ToString());
            }
        }
        return v;
    }
    void Set(int i, const vb::Variant& v) {
        if (editMode == 0)
            Fail(err::kUpdateWithoutEdit,
                 "Call Edit or AddNew before changing the field '" + defs[static_cast<size_t>(i)]->name + "'.");
        if (tableCol[static_cast<size_t>(i)] < 0)
            Fail(3164, "The field '" + defs[static_cast<size_t>(i)]->name + "' cannot be updated.");
        buffer[static_cast<size_t>(i)] = v;
        dirty[static_cast<size_t>(i)] = 1;
    }

    std::string BookmarkOf(int64_t key, int64_t position) const {
        std::string b(9, '\0');
        b[0] = keyed ? 'K' : 'P';
        int64_t v = keyed ? key : position;
        std::memcpy(&b[1], &v, 8);
        return b;
    }
    // The INSERT of `rows` rows of the columns the mask marks.
    std::string InsertSql(const std::string& mask, int rows) const {
        std::string cols, vals;
        for (size_t i = 0; i < defs.size(); ++i) {
            if (mask[i + 1] == '0') continue;
            cols += (cols.empty() ? "" : ", ") + QuoteId(table->fields[static_cast<size_t>(tableCol[i])].name);
            vals += (vals.empty() ? "?" : ", ?");
        }
        if (cols.empty()) return "INSERT INTO " + QuoteId(tableName) + " DEFAULT VALUES";
        std::string insert = "INSERT INTO " + QuoteId(tableName) + " (" + cols + ") VALUES ";
        for (int r = 0; r < rows; ++r) insert += (r ? ", (" : "(") + vals + ")";
        return insert;
    }
    static int DirtyCount(const std::string& mask) {
        return static_cast<int>(std::count(mask.begin() + 1, mask.end(), '1'));
    }
    // Rows of a full batch of the mask: many a statement, the statement's
    // numbers at most 999 (the oldest limit SQLite builds keep); rows without
    // a value go one to a statement.
    static int BatchRowsFor(const std::string& mask) {
        const int dirty = DirtyCount(mask);
        return dirty == 0 ? 1 : std::clamp(999 / dirty, 1, 100);
    }
    // Binds row r's values (the dirty ones of the mask) into a batch INSERT.
    void BindBatchRow(sqlite3_stmt* st, int r, const std::string& mask, const std::vector<vb::Variant>& values) {
        const HoldConnection hold(run->db);
        int n = r * DirtyCount(mask);
        for (size_t i = 0; i < defs.size(); ++i)
            if (mask[i + 1] != '0') BindValue(st, ++n, values[i], table->fields[static_cast<size_t>(tableCol[i])]);
    }
    // Takes the row in `buffer` into the batch (a value that does not fit
    // its field raises here); writes the batch when it is full.
    void AddToBatch(const std::string& mask) {
        if (pending > 0 && mask != batchMask) WritePending();
        const int rows = BatchRowsFor(mask);
        if (pendingValues.size() < static_cast<size_t>(rows))
            pendingValues.resize(static_cast<size_t>(rows), std::vector<vb::Variant>(defs.size()));
        auto it = batches.find(mask);
        if (it == batches.end()) it = batches.emplace(mask, Stmt(run->db, InsertSql(mask, rows))).first;
        BindBatchRow(it->second.get(), pending, mask, buffer);
        batchMask = mask;
        pendingValues[static_cast<size_t>(pending)].swap(buffer);
        ++pending;
        pendingLastPos = reached;
        if (pending < rows) return;
        try {
            WritePending();
        } catch (...) {
            // The row being added stays in the edit buffer, to be mended and
            // written again; the swap had left an earlier row's values there.
            buffer.swap(pendingValues[static_cast<size_t>(rows - 1)]);
            throw;
        }
    }
    // Writes the rows waiting, if any: a full batch through its statement
    // (bound as the rows came), fewer through a statement made for them.
    void WritePending() {
        if (pending == 0) return;
        const int rows = pending;
        pending = 0;
        Stmt shorter;
        Stmt* st = &batches.find(batchMask)->second;
        if (rows < BatchRowsFor(batchMask)) {
            shorter = Stmt(run->db, InsertSql(batchMask, rows));
            for (int r = 0; r < rows; ++r)
                BindBatchRow(shorter.get(), r, batchMask, pendingValues[static_cast<size_t>(r)]);
            st = &shorter;
        }
        st->Step();
        st->Reset();
        lastModified = vb::Variant(BookmarkOf(sqlite3_last_insert_rowid(run->db), pendingLastPos));
    }
    // Drops the rows waiting (their transaction is rolled back).
    void DropPending() { pending = 0; }
    // Closes the set; rows of a batch still waiting are written first, and a
    // failure to write them is raised once the set is closed.
    void Close() {
        if (closed) return;
        std::exception_ptr failed;
        try {
            WritePending();
        } catch (...) {
            failed = std::current_exception();
        }
        closed = true;
        for (auto& f : fields) f->Detach();
        main.Finalize();
        lookup.Finalize();
        nextCounter.Finalize();
        writes.clear();
        batches.clear();
        finds.clear();
        cur = nullptr;
        if (run) run->Release(attachments);
        std::lock_guard lock(OpenFilesMutex());
        if (owner) {
            auto& v = owner->recordsets;
            v.erase(std::remove(v.begin(), v.end(), this), v.end());
        }
        if (run && run != owner) {
            auto& v = run->recordsets;
            v.erase(std::remove(v.begin(), v.end(), this), v.end());
        }
        if (failed) std::rethrow_exception(failed);
    }
};

void CloseRecordsetState(RecordsetState* rs) { rs->Close(); }

PagingSource PagingSourceOf(const RecordsetState& rs) {
    PagingSource p;
    p.run = rs.run;
    p.sql = rs.sql;
    p.off = rs.off;
    if (rs.wholeTable && rs.table) {
        p.table = rs.tableName;
        p.rowid = rs.table->rowid;
    }
    for (auto& d : rs.defs) {
        p.names.push_back(d->name);
        p.types.push_back(d->type);
    }
    return p;
}

bool RecordsetClosed(const RecordsetState& rs) { return rs.closed || !rs.run || !rs.run->db; }

void ParkRecordset(RecordsetState& rs) { rs.Park(); }

// --- Field values -----------------------------------------------------------------------------

NotFiniteValue::NotFiniteValue(const std::string& field)
    : vb::VbError(err::kNotFinite, "The field '" + field + "' holds a value that is not a finite number.", "DAO.Field"),
      field_(field) {}

NotNumberValue::NotNumberValue(const std::string& field, const std::string& text, bool blob)
    : vb::VbError(vb::err::kTypeMismatch,
                  "The field '" + field + "' holds " +
                      (blob ? "a BLOB of " + std::to_string(text.size()) + " bytes" : "the text \"" + text + "\"") +
                      " where a number is expected.",
                  "DAO.Field"),
      field_(field), text_(text), blob_(blob) {}

int16_t Field::Type() const {
    if (def_->type == 0) {
        // An expression column without a declared type: the type of its value.
        if (rs_ && rs_->curParked) rs_->RestoreCur();
        if (!rs_ || !rs_->cur) return dbDouble;
        switch (sqlite3_column_type(rs_->cur, column_ + rs_->off)) {
            case SQLITE_INTEGER:
                return dbLong;
            case SQLITE_TEXT:
                return dbText;
            case SQLITE_BLOB:
                return dbLongBinary;
            default:
                return dbDouble;
        }
    }
    return def_->type;
}

vb::Variant Field::Value() const {
    if (!rs_) Fail(err::kInvalidOperation, "The field '" + def_->name + "' has no value outside an open record set.");
    return rs_->Get(column_);
}

Field::Stored StoredOf(sqlite3_value* v, int64_t& integer, double& real, std::string_view& bytes) {
    switch (sqlite3_value_type(v)) {
        case SQLITE_NULL:
            return Field::Stored::kNull;
        case SQLITE_INTEGER:
            integer = sqlite3_value_int64(v);
            return Field::Stored::kInteger;
        case SQLITE_FLOAT:
            real = sqlite3_value_double(v);
            return Field::Stored::kReal;
        case SQLITE_TEXT: {
            const auto* p = reinterpret_cast<const char*>(sqlite3_value_text(v));
            bytes = std::string_view(p ? p : "", static_cast<size_t>(sqlite3_value_bytes(v)));
            return Field::Stored::kText;
        }
        default: {
            const auto* p = static_cast<const char*>(sqlite3_value_blob(v));
            bytes = std::string_view(p ? p : "", static_cast<size_t>(sqlite3_value_bytes(v)));
            return Field::Stored::kBlob;
        }
    }
}

namespace {

// Whether the current record's stored numbers can be read directly (not an
// edit's buffer, nor a parked or missing row).
bool ReadsStoredNumbers(const RecordsetState& s) { return s.editMode == 0 && !s.curParked && s.cur && !s.deleted; }

// A cell as a number of a field of `type`, read directly: 1 with the number,
// 0 for Null, -1 where the general route decides (other field types, text,
// bytes, a real in a Long field, an infinity the set refuses).
int8_t StoredNumber(sqlite3_value* cell, int16_t type, bool finiteOnly, double& value) {
    if (type != dbDouble && type != dbLong && type != 0) return -1;
    switch (sqlite3_value_type(cell)) {
        case SQLITE_NULL:
            return 0;
        case SQLITE_FLOAT: {
            if (type == dbLong) return -1;
            const double v = sqlite3_value_double(cell);
            if (finiteOnly && !std::isfinite(v)) return -1;
            value = v;
            return 1;
        }
        case SQLITE_INTEGER:
            value = static_cast<double>(sqlite3_value_int64(cell));
            return 1;
        case SQLITE_TEXT:
            // An empty cell another tool stored as '' is Null to the analyses.
            return finiteOnly && sqlite3_value_bytes(cell) == 0 ? 0 : -1;
        default:
            return -1;
    }
}

}  // namespace

bool Field::NumberValue(double& value) const {
    if (!rs_) Fail(err::kInvalidOperation, "The field '" + def_->name + "' has no value outside an open record set.");
    const RecordsetState& s = *rs_;
    // A stored number of the current record read directly; anything else
    // takes the general route (which raises for a refused infinity).
    if (ReadsStoredNumbers(s)) {
        const HoldConnection hold(s.run->db);
        const int8_t state =
            StoredNumber(sqlite3_column_value(s.cur, column_ + s.off), def_->type, s.finiteOnly, value);
        if (state >= 0) return state == 1;
    }
    const vb::Variant v = rs_->Get(column_);
    if (v.IsNull()) return false;
    if (s.finiteOnly && v.IsString()) return TextNumber(v.String(), value);
    value = v.ToDouble();
    return true;
}

// A text or bytes of a column without a declared number type (a computed
// column of a query) where a number is asked for: '' is a missing value, a
// text that spells a number is that number, anything else is refused.
bool Field::TextNumber(const std::string& text, double& value) const {
    const RecordsetState& s = *rs_;
    bool blob = false;
    if (ReadsStoredNumbers(s)) {
        const HoldConnection hold(s.run->db);
        blob = sqlite3_column_type(s.cur, column_ + s.off) == SQLITE_BLOB;
    }
    if (blob) throw NotNumberValue(def_->name, text, true);
    if (text.empty()) return false;
    try {
        value = vb::Variant(text).ToDouble();
    } catch (const vb::VbError& e) {
        if (e.Number() != vb::err::kTypeMismatch) throw;
        throw NotNumberValue(def_->name, text);
    }
    if (!std::isfinite(value)) throw NotFiniteValue(def_->name);
    return true;
}

void Field::StoredNumbers(const std::vector<FieldPtr>& fields, std::vector<double>& values,
                          std::vector<int8_t>& state) {
    values.assign(fields.size(), 0.0);
    state.assign(fields.size(), -1);
    RecordsetState* set = nullptr;
    for (const FieldPtr& f : fields) {
        if (f) {
            set = f->rs_;
            break;
        }
    }
    if (!set || !ReadsStoredNumbers(*set)) return;
    const HoldConnection hold(set->run->db);
    for (size_t i = 0; i < fields.size(); ++i) {
        const Field* f = fields[i].get();
        if (!f || f->rs_ != set) continue;
        state[i] = StoredNumber(sqlite3_column_value(set->cur, f->column_ + set->off), f->def_->type, set->finiteOnly,
                                values[i]);
    }
}

Field::Stored Field::StoredValue(int64_t& integer, double& real, std::string_view& bytes) const {
    if (!rs_) Fail(err::kInvalidOperation, "The field '" + def_->name + "' has no value outside an open record set.");
    RecordsetState& s = *rs_;
    if (s.editMode != 0 && s.dirty[static_cast<size_t>(column_)]) {
        // A value being edited has no stored kind yet: the one it would take.
        const vb::Variant& v = s.buffer[static_cast<size_t>(column_)];
        if (v.IsNull() || v.IsEmpty()) return Stored::kNull;
        if (v.IsString()) {
            bytes = v.String();
            return Stored::kText;
        }
        real = v.ToDouble();
        return Stored::kReal;
    }
    if (s.editMode == 2) return Stored::kNull;
    if (s.curParked) s.RestoreCur();
    s.CheckCurrent();
    const HoldConnection hold(s.run->db);
    // The cell taken once: each column call would take the lock again.
    const Stored kind = StoredOf(sqlite3_column_value(s.cur, column_ + s.off), integer, real, bytes);
    // An empty text in a number field reads as Null there (see Get).
    if (kind == Stored::kText && bytes.empty() && s.finiteOnly && IsNumberType(def_->type)) return Stored::kNull;
    return kind;
}

void Field::Value(const vb::Variant& v) {
    if (!rs_) Fail(err::kInvalidOperation, "The field '" + def_->name + "' has no value outside an open record set.");
    rs_->Set(column_, v);
}

// --- opening ------------------------------------------------------------------------------------

namespace {
const std::vector<std::pair<std::string, std::string>>& ReadsOf(RecordsetState& rs);

// Upper-case words of a statement outside quotes and parentheses, and where each begins.
std::vector<std::string> TopLevelWords(const std::string& sql, std::vector<size_t>* starts = nullptr) {
    std::vector<std::string> words;
    int depth = 0;
    for (size_t i = 0; i < sql.size();) {
        char c = sql[i];
        if (c == '\'' || c == '"' || c == '`' || c == '[') {
            char close = c == '[' ? ']' : c;
            size_t j = sql.find(close, i + 1);
            i = j == std::string::npos ? sql.size() : j + 1;
        } else if (c == '(') {
            ++depth;
            ++i;
        } else if (c == ')') {
            --depth;
            ++i;
        } else if (std::isalpha(static_cast<unsigned char>(c)) || c == '_') {
            size_t j = i;
            while (j < sql.size() && (std::isalnum(static_cast<unsigned char>(sql[j])) || sql[j] == '_')) ++j;
            if (depth == 0) {
                words.push_back(vb::UCase(sql.substr(i, j - i)));
                if (starts) starts->push_back(i);
            }
            i = j;
        } else
            ++i;
    }
    return words;
}

bool LooksLikeSql(const std::string& s) {
    auto w = TopLevelWords(s);
    return !w.empty() && (w[0] == "SELECT" || w[0] == "TRANSFORM" || w[0] == "PARAMETERS" || w[0] == "WITH");
}

void Describe(RecordsetState& s) {
    sqlite3_stmt* st = s.main.get();
    int n = sqlite3_column_count(st);
    s.fieldsColl = std::make_shared<Fields>();
    for (int c = s.off; c < n; ++c) {
        auto def = std::make_shared<FieldDef>();
        def->name = sqlite3_column_name(st, c) ? sqlite3_column_name(st, c) : "";
        def->ordinal = static_cast<int16_t>(c - s.off);
        def->type = 0;
        def->allowZeroLength = true;
        def->collatingOrder = dbSortNeutral;
        const char* table = sqlite3_column_table_name(st, c);
        const char* origin = sqlite3_column_origin_name(st, c);
        const char* schema = sqlite3_column_database_name(st, c);
        int tcol = -1;
        if (table && origin) {
            def->sourceTable = table;
            def->sourceField = origin;
            std::shared_ptr<TableInfo> info;
            if (schema && std::strcmp(schema, "main") == 0) info = s.run->FindTable(table);
            int k = info ? info->FindField(origin) : -1;
            if (k >= 0) {
                std::string name = def->name;
                *def = info->fields[static_cast<size_t>(k)];
                def->name = name;
                def->ordinal = static_cast<int16_t>(c - s.off);
                if (s.table && info == s.table) tcol = k;
            } else {
                const char* decl = sqlite3_column_decltype(st, c);
                InferType(decl ? decl : "", *def);
                const char* coll = nullptr;
                const char* dt = nullptr;
                int nn = 0, pk = 0, ai = 0;
                if (sqlite3_table_column_metadata(s.run->db, schema, table, origin, &dt, &coll, &nn, &pk, &ai) ==
                        SQLITE_OK &&
                    (def->type == dbText || def->type == dbMemo))
                    def->collatingOrder = coll && vb::EqualsNoCase(coll, "NOCASE") ? dbSortGeneral : dbSortNeutral;
            }
        } else if (const char* decl = sqlite3_column_decltype(st, c)) {
            InferType(decl, *def);
        }
        s.tableCol.push_back(tcol);
        s.defs.push_back(def);
        auto f = std::make_shared<Field>(def, &s, c - s.off);
        s.fields.push_back(f);
        s.fieldsColl->items_.push_back(f);
        s.byName.try_emplace(def->name, c - s.off);
    }
    s.buffer.assign(s.defs.size(), vb::Variant());
    s.dirty.assign(s.defs.size(), 0);
}

// A SELECT of no DISTINCT, grouping, compound, join or window: one whose rows
// are rows of its table.
bool IsPlainSelect(const std::vector<std::string>& words) {
    if (words.empty() || words[0] != "SELECT") return false;
    for (auto& w : words)
        if (w == "DISTINCT" || w == "GROUP" || w == "UNION" || w == "INTERSECT" || w == "EXCEPT" || w == "JOIN" ||
            w == "WINDOW")
            return false;
    return true;
}

// The one table of the main database every column of the prepared statement
// reads from, its first column a column of that table; "" otherwise.
std::string OnlyMainTable(sqlite3_stmt* st) {
    std::string table, schema;
    bool ok = sqlite3_column_count(st) > 1 && sqlite3_column_origin_name(st, 0) != nullptr;
    for (int c = 0; ok && c < sqlite3_column_count(st); ++c) {
        const char* t = sqlite3_column_table_name(st, c);
        const char* d = sqlite3_column_database_name(st, c);
        if (!t) {
            if (c == 0) ok = false;
            continue;
        }
        if (table.empty()) {
            table = t;
            schema = d ? d : "";
        } else if (table != t || schema != (d ? d : ""))
            ok = false;
    }
    return ok && schema == "main" ? table : std::string();
}

// The keyed statement's look-up of one row by its key, and its order made
// whole by the key: rows that tie on the sort keys follow in the order of
// their keys, the order a table scan gives them, the same on every run
// however the sort is done.
void KeyedLookupAndOrder(RecordsetState& s, std::string injected) {
    std::vector<size_t> starts;
    const auto injectedWords = TopLevelWords(injected, &starts);
    size_t cut = injected.size();
    for (size_t k = 0; k < injectedWords.size(); ++k) {
        const std::string& w = injectedWords[k];
        if (w == "WHERE" || w == "ORDER" || w == "LIMIT" || w == "HAVING") {
            cut = starts[k];
            break;
        }
    }
    s.lookupSql = injected.substr(0, cut) + " WHERE _rowid_ = ?1";
    const auto order = std::find(injectedWords.begin(), injectedWords.end(), "ORDER");
    if (order != injectedWords.end()) {
        const auto limit = std::find(order, injectedWords.end(), "LIMIT");
        size_t end = limit == injectedWords.end() ? injected.size() : starts[limit - injectedWords.begin()];
        while (end > 0 && (injected[end - 1] == ';' || std::isspace(static_cast<unsigned char>(injected[end - 1]))))
            --end;
        injected.insert(end, ", _rowid_");
        s.sql = injected;
        s.wholeOrder = true;
    }
}

// Tries the statement with the table's rowid as a leading column: works for a
// plain single-table SELECT, which is then updatable.
bool TryKeyed(RecordsetState& s, const std::string& sql) {
    auto words = TopLevelWords(sql);
    if (!IsPlainSelect(words)) return false;
    size_t at = vb::UCase(sql).find("SELECT");
    std::string injected = sql.substr(0, at) + "SELECT _rowid_ AS __dao_rowid, " + sql.substr(at + 6);
    sqlite3_stmt* st = nullptr;
    if (sqlite3_prepare_v2(s.run->db, injected.c_str(), -1, &st, nullptr) != SQLITE_OK) {
        sqlite3_finalize(st);
        return false;
    }
    const std::string table = OnlyMainTable(st);
    sqlite3_finalize(st);
    if (table.empty()) return false;
    auto info = s.run->FindTable(table);
    // Keyed only where "_rowid_" is the row key itself, not a column of that name.
    if (!info || info->isView || !info->hasRowid || info->rowid != "_rowid_") return false;
    s.table = info;
    s.tableName = info->name;
    s.sql = injected;
    KeyedLookupAndOrder(s, injected);
    s.keyed = true;
    s.wholeTable = std::none_of(words.begin(), words.end(), [](const std::string& w) {
        return w == "WHERE" || w == "ORDER" || w == "LIMIT" || w == "HAVING";
    });
    s.off = 1;
    return true;
}

// A stored table read whole, its row key first.
std::string WholeTableSql(const TableInfo& t) {
    return "SELECT " + t.rowid + " AS __dao_rowid, * FROM " + QuoteId(t.name);
}
}  // namespace

PagingSource PagingSourceNow(const RecordsetState& rs) {
    RecordsetState now;
    now.run = rs.run;
    now.sql = rs.sql;
    now.off = rs.off;
    if (rs.wholeTable && rs.table) {
        // Columns may have come or gone, and with them the name that reaches
        // the row key.
        auto info = rs.run->FindTable(rs.tableName);
        if (!info || info->isView || !info->hasRowid)
            Fail(err::kNoInputTable, "The table '" + rs.tableName + "' no longer exists.");
        now.table = info;
        now.tableName = info->name;
        now.wholeTable = true;
        if (rs.sql == WholeTableSql(*rs.table)) now.sql = WholeTableSql(*info);
    }
    now.main = Stmt(now.run->db, now.sql);
    Describe(now);
    return PagingSourceOf(now);
}

namespace {

// The type a set opens as: a table that is not a view opens table-type when
// none is asked for, anything else as a dynaset.
int16_t OpeningType(DatabaseImpl& db, const std::string& source, int16_t type) {
    if (type == 0) {
        auto t = LooksLikeSql(vb::Trim(source)) ? nullptr : db.FindTable(vb::Trim(source));
        type = t && !t->isView ? static_cast<int16_t>(dbOpenTable) : static_cast<int16_t>(dbOpenDynaset);
    }
    if (type != dbOpenTable && type != dbOpenDynaset && type != dbOpenSnapshot && type != dbOpenForwardOnly)
        Fail(3001, "The record-set type " + std::to_string(type) + " is not valid.");
    return type;
}

// A new set's state from its type and options, before it reads anything.
std::unique_ptr<RecordsetState> NewRecordsetState(const std::shared_ptr<DatabaseImpl>& db, int16_t type,
                                                  int32_t options) {
    auto s = std::make_unique<RecordsetState>();
    s->owner = db;
    s->type = type;
    s->options = options;
    s->appendOnly = (options & dbAppendOnly) != 0;
    s->batched = s->appendOnly && (options & dbAppendInBatches) != 0;
    s->forwardOnly = type == dbOpenForwardOnly || (options & dbForwardOnly) != 0;
    s->finiteOnly = (options & dbFiniteNumbers) != 0;
    return s;
}

// The table or query a source names. A query kept in the catalog only (it
// has parameters) gives its text in catalogSql and no table.
std::shared_ptr<TableInfo> NamedSource(DatabaseImpl& db, const std::string& src, bool bracketed, int16_t type,
                                       std::optional<std::string>& catalogSql) {
    std::string name = bracketed ? src.substr(1, src.size() - 2) : src;
    // A table or query in the file opens whatever its name holds (another
    // tool may have put a "]" in it); a name not found must be one this
    // layer could make.
    auto named = db.FindTable(name);
    if (named) return named;
    CheckName(name);
    if (type == dbOpenTable && LooksLikeSql(src))
        Fail(err::kInvalidOperation, "Only a table can be opened as a table-type record set.");
    if (auto jet = db.CatalogText("Q", name, "", "SQL")) {
        if (type == dbOpenTable) Fail(err::kInvalidOperation, "A query cannot be opened as a table-type record set.");
        catalogSql = std::move(jet);
        return nullptr;
    }
    Fail(err::kNoInputTable, "The input table or query '" + name + "' does not exist.");
}

// The statement of a set on a named table or view: a table with a row key
// is read whole, keyed.
void ReadNamed(RecordsetState& s, const std::shared_ptr<DatabaseImpl>& db, const std::shared_ptr<TableInfo>& named) {
    s.run = db;
    if (!named->isView && named->hasRowid) {
        s.table = named;
        s.tableName = named->name;
        s.sql = WholeTableSql(*named);
        s.keyed = true;
        s.wholeTable = true;
        s.off = 1;
    } else {
        s.sql = "SELECT * FROM " + QuoteId(named->name);
    }
}

// The statement of a set on a statement of the system's dialect, keyed
// where it reads one table plainly.
void ReadStatement(RecordsetState& s, DatabaseImpl& db, const std::string& src) {
    auto p = db.PrepareJet(src);
    s.run = p.runOn;
    s.attachments = p.attachments;
    try {
        if (!TryKeyed(s, p.sql)) s.sql = p.sql;
    } catch (...) {
        s.run->Release(s.attachments);
        throw;
    }
}

// Prepares the set's statement and learns its columns and what it reads; the
// attachments are released when the statement fails.
void PrepareReading(RecordsetState& s, int16_t type, int32_t options) {
    try {
        s.main = Stmt(s.run->db, s.sql);
    } catch (...) {
        s.run->Release(s.attachments);
        throw;
    }
    s.updatable = s.keyed && s.table && !(options & dbReadOnly) && !s.run->readOnly &&
                  (type == dbOpenTable || type == dbOpenDynaset);
    Describe(s);
    if (!s.updatable) std::fill(s.tableCol.begin(), s.tableCol.end(), -1);
    // What the set reads, known before any other connection may ask.
    ReadsOf(s);
}

// The open set, known to its database (and to the connection it runs on),
// on its first row.
RecordsetPtr RegisterOpenSet(const std::shared_ptr<DatabaseImpl>& db, std::unique_ptr<RecordsetState> s) {
    RecordsetState* raw = s.get();
    {
        std::lock_guard lock(OpenFilesMutex());
        db->recordsets.push_back(raw);
        if (s->run != db) s->run->recordsets.push_back(raw);
    }
    auto rs = std::make_shared<Recordset>(std::move(s));
    if (!raw->appendOnly) {
        raw->GoTo(0);
        if (raw->eof) raw->bof = true;
    }
    return rs;
}

}  // namespace

RecordsetPtr OpenRecordsetOn(const std::shared_ptr<DatabaseImpl>& db, const std::string& source, int16_t type,
                             int32_t options) {
    db->CheckOpen();
    db->WritePendingRows();
    // A table-type set always opens a table by its name, and a source in
    // square brackets is always a name (no statement begins with one): a
    // name that reads like a statement is still only a name.
    std::string src = vb::Trim(source);
    while (!src.empty() && (src.back() == ';' || std::isspace(static_cast<unsigned char>(src.back())))) src.pop_back();
    const bool bracketed = src.size() > 2 && src.front() == '[' && src.back() == ']';
    const bool nameOnly = type == dbOpenTable || bracketed;
    type = OpeningType(*db, source, type);
    auto s = NewRecordsetState(db, type, options);
    std::shared_ptr<TableInfo> named;
    if (nameOnly || !LooksLikeSql(src)) {
        std::optional<std::string> catalogSql;
        named = NamedSource(*db, src, bracketed, type, catalogSql);
        if (catalogSql) return OpenRecordsetOn(db, *catalogSql, type, options);
    }
    if (type == dbOpenTable && (!named || named->isView))
        Fail(err::kInvalidOperation, "Only a table can be opened as a table-type record set.");
    if (named)
        ReadNamed(*s, db, named);
    else
        ReadStatement(*s, *db, src);
    PrepareReading(*s, type, options);
    return RegisterOpenSet(db, std::move(s));
}

// --- Recordset ---------------------------------------------------------------------------------

Recordset::Recordset(std::unique_ptr<RecordsetState> state) : s_(std::move(state)) {}
Recordset::~Recordset() {
    // Close() to hear of a failure to write the last batch.
    try {
        Close();
    } catch (...) {}
}

bool Recordset::ReadsAllRowsFirst() const {
    s_->CheckOpen();
    if (s_->type == dbOpenTable || s_->sql.empty()) return false;
    // The plan's top level sorts the whole set in a temporary tree; "RIGHT
    // PART" or "LAST TERM" there would be a sort in blocks behind an index.
    Stmt plan(s_->run->db, "EXPLAIN QUERY PLAN " + s_->sql);
    while (plan.Step())
        if (sqlite3_column_int(plan.get(), 1) == 0 && plan.Text(3) == "USE TEMP B-TREE FOR ORDER BY") return true;
    return false;
}

int16_t Recordset::Type() const { return s_->type; }
bool Recordset::Updatable() const { return s_->updatable; }
bool Recordset::Eof() const {
    s_->CheckOpen();
    return s_->eof;
}
bool Recordset::Bof() const {
    s_->CheckOpen();
    return s_->bof;
}

void Recordset::MoveFirst() {
    s_->CheckOpen();
    s_->editMode = 0;
    if (s_->appendOnly) return;
    // After a pass the statement runs again, so rows added since show up.
    if (s_->type == dbOpenTable) {
        s_->collectKeys = false;
        s_->keys.clear();
        s_->keyIndex.clear();
        s_->keyIndexBuilt = 0;
        s_->Run();
    } else if (!s_->collectKeys && (s_->mainDone || s_->mainPos > 0)) {
        s_->Run();
    }
    s_->GoTo(0);
    s_->SkipDeleted(1);
    if (s_->eof) s_->bof = true;
}
void Recordset::MoveLast() {
    s_->CheckOpen();
    s_->editMode = 0;
    if (s_->appendOnly) return;
    if (s_->forwardOnly) s_->CheckBackward();
    if (!s_->ran) s_->Run();
    while (!s_->mainDone) s_->StepMain();
    if (s_->mainPos < 0) {
        s_->SetEof();
        s_->bof = true;
        return;
    }
    s_->GoTo(s_->mainPos);
    s_->SkipDeleted(-1);
    if (s_->bof) s_->eof = true;
}
void Recordset::MoveNext() {
    s_->CheckOpen();
    s_->editMode = 0;
    if (s_->eof) Fail(err::kNoCurrentRecord, "There is no current record: the record set is at its end.");
    s_->GoTo(s_->pos + 1);
    s_->SkipDeleted(1);
}
void Recordset::MovePrevious() {
    s_->CheckOpen();
    s_->CheckBackward();
    s_->editMode = 0;
    if (s_->bof) Fail(err::kNoCurrentRecord, "There is no current record: the record set is at its beginning.");
    if (s_->eof && s_->pos > s_->mainPos && s_->mainDone) {
        s_->GoTo(s_->mainPos);
    } else {
        s_->GoTo(s_->pos - 1);
    }
    s_->SkipDeleted(-1);
}
void Recordset::Move(int32_t rows) {
    s_->CheckOpen();
    if (rows == 0) {
        s_->CheckCurrent();
        return;
    }
    if (rows < 0) s_->CheckBackward();
    s_->editMode = 0;
    if ((rows > 0 && s_->eof) || (rows < 0 && s_->bof))
        Fail(err::kNoCurrentRecord, "There is no current record to move from.");
    int64_t from = s_->pos;
    if (s_->eof && s_->mainDone) from = s_->mainPos + 1;
    s_->GoTo(from + rows);
    s_->SkipDeleted(rows > 0 ? 1 : -1);
}

int32_t Recordset::RecordCount() {
    s_->CheckOpen();
    if (s_->appendOnly) return 0;
    if (s_->type == dbOpenTable) {
        Stmt c(s_->run->db, "SELECT count(*) FROM " + QuoteId(s_->tableName));
        c.Step();
        return sqlite3_column_int(c.get(), 0);
    }
    return static_cast<int32_t>(s_->Count());
}

int32_t Recordset::AbsolutePosition() {
    s_->CheckOpen();
    if (!s_->cur && !s_->deleted) return -1;
    return static_cast<int32_t>(s_->pos);
}
void Recordset::AbsolutePosition(int32_t position) {
    s_->CheckOpen();
    s_->CheckBackward();
    if (position < 0) Fail(3001, "AbsolutePosition cannot be negative.");
    s_->editMode = 0;
    s_->GoTo(position);
    if (s_->eof) Fail(3001, "There is no record at position " + std::to_string(position) + ".");
}

bool Recordset::Bookmarkable() const { return !s_->forwardOnly; }

vb::Variant Recordset::Bookmark() {
    s_->CheckOpen();
    s_->CheckBackward();
    s_->CheckCurrent();
    return vb::Variant(s_->BookmarkOf(s_->curKey, s_->pos));
}

void Recordset::Bookmark(const vb::Variant& bookmark) {
    s_->CheckOpen();
    s_->CheckBackward();
    if (!bookmark.IsString() || bookmark.String().size() != 9 || bookmark.String()[0] != (s_->keyed ? 'K' : 'P'))
        Fail(3159, "The bookmark is not valid for this record set.");
    int64_t v;
    std::memcpy(&v, bookmark.String().data() + 1, 8);
    s_->editMode = 0;
    s_->eof = s_->bof = false;
    if (!s_->keyed) {
        s_->GoTo(v);
        return;
    }
    s_->EnsureKeys(true);
    for (; s_->keyIndexBuilt < s_->keys.size(); ++s_->keyIndexBuilt)
        s_->keyIndex.emplace(s_->keys[s_->keyIndexBuilt], static_cast<int64_t>(s_->keyIndexBuilt));
    if (auto it = s_->keyIndex.find(v); it != s_->keyIndex.end()) {
        s_->GoTo(it->second);
        return;
    }
    // A record added after the set was opened: it sits after the others.
    s_->Lookup(v);
    if (s_->deleted) Fail(3159, "The bookmarked record no longer exists.");
    s_->pos = s_->mainPos + 1;
}

vb::Variant Recordset::LastModified() const {
    if (!s_->closed) s_->WritePending();
    if (s_->lastModified.IsEmpty())
        Fail(err::kNoCurrentRecord, "No record has been added or changed through this record set.");
    return s_->lastModified;
}

namespace {
bool Matches(RecordsetState& s, Stmt& find) {
    find.Reset();
    for (size_t i = 0; i < s.defs.size(); ++i)
        sqlite3_bind_value(find.get(), static_cast<int>(i) + 1,
                           sqlite3_column_value(s.cur, static_cast<int>(i) + s.off));
    bool hit = find.Step();
    find.Reset();
    return hit;
}

Stmt& FindStatement(RecordsetState& s, const std::string& criteria) {
    auto it = s.finds.find(criteria);
    if (it != s.finds.end()) return it->second;
    std::string with = "WITH __dao_row AS (SELECT ";
    for (size_t i = 0; i < s.defs.size(); ++i) {
        const FieldDef& f = *s.defs[i];
        with += (i ? ", ?" : "?") + std::to_string(i + 1);
        if (f.collatingOrder == dbSortGeneral) with += " COLLATE NOCASE";
        with += " AS " + QuoteId(f.name);
    }
    with += ") ";
    std::vector<std::string> none;
    TranslatedSql t =
        TranslateJetSql("SELECT 1 FROM __dao_row WHERE " + criteria, [](const std::string& path) -> std::string {
            Fail(err::kInvalidOperation, "A search criterion cannot name another database ('" + path + "').");
        });
    return s.finds.emplace(criteria, Stmt(s.run->db, with + t.sql)).first->second;
}

void Find(RecordsetState& s, const std::string& criteria, int64_t start) {
    s.CheckOpen();
    s.CheckBackward();
    Stmt& find = FindStatement(s, criteria);
    int64_t back = s.pos;
    bool wasEof = s.eof, wasBof = s.bof;
    s.editMode = 0;
    for (int64_t k = std::max<int64_t>(0, start);; ++k) {
        s.GoTo(k);
        if (s.eof) break;
        if (s.cur && Matches(s, find)) {
            s.noMatch = false;
            return;
        }
    }
    s.noMatch = true;
    if (back >= 0 && !wasEof)
        s.GoTo(back);
    else if (wasBof)
        s.SetBof();
    else
        s.SetEof();
}
}  // namespace

void Recordset::FindFirst(const std::string& criteria) { Find(*s_, criteria, 0); }
void Recordset::FindNext(const std::string& criteria) { Find(*s_, criteria, s_->pos + 1); }
bool Recordset::NoMatch() const { return s_->noMatch; }

void Recordset::AddNew() {
    s_->CheckOpen();
    if (!s_->updatable) Fail(err::kReadOnly, "The record set is read-only: records cannot be added.");
    s_->editMode = 2;
    std::fill(s_->buffer.begin(), s_->buffer.end(), vb::Variant());
    std::fill(s_->dirty.begin(), s_->dirty.end(), 0);
    int ai = s_->table->autoIncrement;
    if (ai >= 0) {
        // The number the new record will get, readable before Update.
        auto it = std::find(s_->tableCol.begin(), s_->tableCol.end(), ai);
        if (it != s_->tableCol.end()) {
            s_->WritePending();  // the rows waiting take their numbers first
            if (!s_->nextCounter)
                s_->nextCounter =
                    Stmt(s_->run->db, "SELECT max(coalesce((SELECT seq FROM sqlite_sequence WHERE name = ?1), 0), "
                                      "coalesce((SELECT max(" +
                                          s_->table->rowid + ") FROM " + QuoteId(s_->tableName) + "), 0)) + 1");
            s_->nextCounter.Reset();
            s_->nextCounter.Bind(1, s_->tableName);
            s_->nextCounter.Step();
            size_t i = static_cast<size_t>(it - s_->tableCol.begin());
            s_->buffer[i] = vb::Variant(static_cast<int32_t>(sqlite3_column_int64(s_->nextCounter.get(), 0)));
            s_->dirty[i] = 2;
            s_->nextCounter.Reset();
        }
    }
}

void Recordset::Edit() {
    s_->CheckOpen();
    if (!s_->updatable) Fail(err::kReadOnly, "The record set is read-only: records cannot be changed.");
    if (s_->curParked) s_->RestoreCur();
    s_->CheckCurrent();
    s_->KeepOrder(false);
    s_->editMode = 1;
    s_->editKey = s_->curKey;
    std::fill(s_->buffer.begin(), s_->buffer.end(), vb::Variant());
    std::fill(s_->dirty.begin(), s_->dirty.end(), 0);
}

void Recordset::Update() {
    s_->CheckOpen();
    RecordsetState& s = *s_;
    if (s.editMode == 0) Fail(err::kUpdateWithoutEdit, "Update was called without AddNew or Edit.");
    std::string mask(s.defs.size() + 1, '0');
    mask[0] = s.editMode == 2 ? 'I' : 'U';
    for (size_t i = 0; i < s.defs.size(); ++i)
        if (s.dirty[i]) mask[i + 1] = '1';
    if (s.batched && s.editMode == 2) {
        s.AddToBatch(mask);
        s.editMode = 0;
        if (s.type != dbOpenTable) ++s.reached;
        return;
    }
    auto it = s.writes.find(mask);
    if (it == s.writes.end()) {
        std::string sql;
        if (s.editMode == 2) {
            std::string cols, vals;
            for (size_t i = 0; i < s.defs.size(); ++i) {
                if (!s.dirty[i]) continue;
                cols += (cols.empty() ? "" : ", ") + QuoteId(s.table->fields[static_cast<size_t>(s.tableCol[i])].name);
                vals += (vals.empty() ? "?" : ", ?");
            }
            sql = cols.empty() ? "INSERT INTO " + QuoteId(s.tableName) + " DEFAULT VALUES"
                               : "INSERT INTO " + QuoteId(s.tableName) + " (" + cols + ") VALUES (" + vals + ")";
        } else {
            std::string sets;
            for (size_t i = 0; i < s.defs.size(); ++i)
                if (s.dirty[i])
                    sets += (sets.empty() ? "" : ", ") +
                            QuoteId(s.table->fields[static_cast<size_t>(s.tableCol[i])].name) + " = ?";
            sql = sets.empty()
                      ? std::string("SELECT 1")
                      : "UPDATE " + QuoteId(s.tableName) + " SET " + sets + " WHERE " + s.table->rowid + " = ?";
        }
        it = s.writes.emplace(mask, Stmt(s.run->db, sql)).first;
    }
    Stmt& w = it->second;
    w.Reset();
    int n = 0;
    for (size_t i = 0; i < s.defs.size(); ++i)
        if (s.dirty[i]) BindValue(w.get(), ++n, s.buffer[i], s.table->fields[static_cast<size_t>(s.tableCol[i])]);
    if (s.editMode == 1 && n > 0) w.Bind(n + 1, s.editKey);
    w.Step();
    w.Reset();
    if (s.editMode == 2) {
        int64_t key = sqlite3_last_insert_rowid(s.run->db);
        s.lastModified = vb::Variant(s.BookmarkOf(key, s.reached));
        s.editMode = 0;
        if (s.type != dbOpenTable) ++s.reached;
    } else {
        s.lastModified = vb::Variant(s.BookmarkOf(s.editKey, s.pos));
        s.editMode = 0;
        s.Lookup(s.editKey);  // the current record shows its new values
    }
}

void Recordset::CancelUpdate() {
    s_->CheckOpen();
    s_->editMode = 0;
}

void Recordset::Delete() {
    s_->CheckOpen();
    if (!s_->updatable) Fail(err::kReadOnly, "The record set is read-only: records cannot be deleted.");
    s_->CheckCurrent();
    s_->editMode = 0;
    s_->KeepOrder(true);
    Stmt d(s_->run->db, "DELETE FROM " + QuoteId(s_->tableName) + " WHERE " + s_->table->rowid + " = ?1");
    d.Bind(1, s_->curKey);
    d.Step();
    s_->cur = nullptr;
    s_->deleted = true;
    s_->deletedKeys.insert(s_->curKey);
    ++s_->removed;
}

int16_t Recordset::EditMode() const { return static_cast<int16_t>(s_->editMode); }

void Recordset::Requery() {
    s_->CheckOpen();
    s_->editMode = 0;
    s_->collectKeys = false;
    s_->keys.clear();
    s_->keyIndex.clear();
    s_->keyIndexBuilt = 0;
    s_->deletedKeys.clear();
    s_->reached = 0;
    s_->removed = 0;
    if (s_->lookup) s_->lookup.Reset();
    s_->cur = nullptr;
    s_->Run();
    if (!s_->appendOnly) {
        s_->GoTo(0);
        if (s_->eof) s_->bof = true;
    }
}

void Recordset::Close() {
    if (s_) s_->Close();
}

FieldsPtr Recordset::Fields() const {
    s_->CheckOpen();
    return s_->fieldsColl;
}

const FieldPtr& Recordset::Fields(int32_t index) const {
    if (index < 0 || static_cast<size_t>(index) >= s_->fields.size())
        Fail(err::kItemNotFound, "The record set has no field " + std::to_string(index) + ".");
    return s_->fields[static_cast<size_t>(index)];
}

const FieldPtr& Recordset::Fields(std::string_view name) const {
    auto it = s_->byName.find(name);
    if (it == s_->byName.end())
        Fail(err::kItemNotFound, "The record set has no field named '" + std::string(name) + "'.");
    return s_->fields[static_cast<size_t>(it->second)];
}

// --- Schema changes while record sets are open -----------------------------------------------
//
// SQLite refuses DROP TABLE and DROP INDEX (SQLITE_LOCKED) while any other
// statement of the connection is active. The layer therefore resets the
// statements of its record sets on that connection ("parks" them) and runs
// the statement again; a parked set re-runs its statement up to the row it
// stood on when it is next used. Dropping what an open set reads is refused.

namespace {
struct NamedObject {
    std::string schema, name;
};

bool SameObject(const NamedObject& a, const NamedObject& b) {
    return vb::EqualsNoCase(a.schema, b.schema) && vb::EqualsNoCase(a.name, b.name);
}

struct DropProbe {
    struct Target {
        NamedObject table;  // the table or view whose rows go away or change
        std::string what;   // for the message
    };
    std::vector<Target> targets;
};

int CollectDrops(void* ctx, int action, const char* a3, const char* a4, const char* dbName, const char*) {
    auto* p = static_cast<DropProbe*>(ctx);
    std::string schema = dbName ? dbName : "main";
    switch (action) {
        case SQLITE_DROP_TABLE:
        case SQLITE_DROP_TEMP_TABLE:
            if (a3) p->targets.push_back({{schema, a3}, std::string("the table '") + a3 + "'"});
            break;
        case SQLITE_DROP_VIEW:
        case SQLITE_DROP_TEMP_VIEW:
            if (a3) p->targets.push_back({{schema, a3}, std::string("the query '") + a3 + "'"});
            break;
        case SQLITE_DROP_INDEX:
        case SQLITE_DROP_TEMP_INDEX:
            if (a3 && a4)
                p->targets.push_back({{schema, a4}, std::string("the index '") + a3 + "' of the table '" + a4 + "'"});
            break;
        default:
            break;
    }
    return SQLITE_OK;
}

int CollectReads(void* ctx, int action, const char* a3, const char*, const char* dbName, const char* view) {
    auto* reads = static_cast<std::vector<std::pair<std::string, std::string>>*>(ctx);
    if (action != SQLITE_READ) return SQLITE_OK;
    std::string schema = dbName ? dbName : "main";
    auto add = [&](const char* name) {
        for (auto& r : *reads)
            if (r.first == schema && r.second == name) return;
        reads->emplace_back(schema, name);
    };
    if (a3) add(a3);
    if (view) add(view);
    return SQLITE_OK;
}

// True when the statement's first word is DROP (spaces and comments skipped).
bool IsDrop(std::string_view sql) {
    size_t i = 0;
    for (;;) {
        while (i < sql.size() && std::isspace(static_cast<unsigned char>(sql[i]))) ++i;
        if (sql.substr(i, 2) == "--") {
            i = sql.find('\n', i);
            if (i == std::string_view::npos) return false;
        } else if (sql.substr(i, 2) == "/*") {
            i = sql.find("*/", i + 2);
            if (i == std::string_view::npos) return false;
            i += 2;
        } else
            break;
    }
    if (sql.size() - i < 4 || !vb::EqualsNoCase(sql.substr(i, 4), "DROP")) return false;
    return sql.size() - i == 4 || !(std::isalnum(static_cast<unsigned char>(sql[i + 4])) || sql[i + 4] == '_');
}

const std::vector<std::pair<std::string, std::string>>& ReadsOf(RecordsetState& rs) {
    if (!rs.readsKnown) {
        sqlite3* db = rs.run->db;
        sqlite3_set_authorizer(db, CollectReads, &rs.reads);
        sqlite3_stmt* probe = nullptr;
        sqlite3_prepare_v2(db, rs.sql.c_str(), -1, &probe, nullptr);
        sqlite3_finalize(probe);
        sqlite3_set_authorizer(db, nullptr, nullptr);
        rs.readsKnown = true;
    }
    return rs.reads;
}

bool SameFile(const DatabaseImpl& a, const DatabaseImpl& b) {
    if (&a == &b) return true;
    if (a.identified && b.identified) return a.device == b.device && a.inode == b.inode;
    return a.path == b.path;
}

// Refuses (3211) a drop of a table, view or index that an open record set
// reads: one running on `d`, or on any other connection of this process to
// the same file (there only what it reads from that file's main schema).
void CheckDropAllowed(DatabaseImpl& d, std::string_view sql) {
    auto readers = [&](auto&& visit) {
        for (DatabaseImpl* other : OpenFiles()) {
            if (!other->db || !SameFile(d, *other)) continue;
            for (RecordsetState* rs : other->recordsets)
                if (rs->run.get() == other && !rs->closed) visit(*other, *rs);
        }
    };
    bool any = false;
    {
        std::lock_guard lock(OpenFilesMutex());
        readers([&](DatabaseImpl&, RecordsetState&) { any = true; });
    }
    if (!any) return;
    DropProbe probe;
    sqlite3_set_authorizer(d.db, CollectDrops, &probe);
    sqlite3_stmt* st = nullptr;
    sqlite3_prepare_v2(d.db, std::string(sql).c_str(), -1, &st, nullptr);
    sqlite3_finalize(st);
    sqlite3_set_authorizer(d.db, nullptr, nullptr);
    std::string refused;
    {
        std::lock_guard lock(OpenFilesMutex());
        for (auto& t : probe.targets) {
            readers([&](DatabaseImpl& on, RecordsetState& rs) {
                if (!refused.empty()) return;
                for (auto& [schema, name] : rs.reads) {
                    const bool hit = &on == &d ? SameObject({schema, name}, t.table)
                                               : vb::EqualsNoCase(schema, "main") &&
                                                     vb::EqualsNoCase(t.table.schema, "main") &&
                                                     vb::EqualsNoCase(name, t.table.name);
                    if (hit) {
                        refused = "Cannot delete " + t.what + ": an open record set reads '" + name +
                                  "'. Close the record set first.";
                        return;
                    }
                }
            });
        }
    }
    if (!refused.empty()) Fail(err::kTableInUse, refused);
}
}  // namespace

void DatabaseImpl::WritePendingRows() {
    std::vector<RecordsetState*> waiting;
    {
        std::lock_guard lock(OpenFilesMutex());
        for (RecordsetState* rs : recordsets)
            if (rs->pending > 0 && rs->run.get() == this) waiting.push_back(rs);
    }
    for (RecordsetState* rs : waiting) rs->WritePending();
}

void DatabaseImpl::DropPendingRows() {
    std::lock_guard lock(OpenFilesMutex());
    for (RecordsetState* rs : recordsets)
        if (rs->run.get() == this) rs->DropPending();
}

void DatabaseImpl::ParkRecordsets() {
    for (RecordsetState* rs : recordsets)
        if (rs->run.get() == this) rs->Park();
}

void DatabaseImpl::StepDdl(Stmt& s, std::string_view sql) {
    WritePendingRows();
    if (IsDrop(sql)) CheckDropAllowed(*this, sql);
    int rc = sqlite3_step(s.get());
    if (rc == SQLITE_LOCKED) {
        // Active statements of our own record sets: park them and try again.
        sqlite3_reset(s.get());
        ParkRecordsets();
        rc = sqlite3_step(s.get());
    }
    if (rc == SQLITE_ROW || rc == SQLITE_DONE) return;
    sqlite3_reset(s.get());
    RaiseSqlite(db, rc);
}

bool DatabaseImpl::ReadsRunning() const {
    for (sqlite3_stmt* st = sqlite3_next_stmt(db, nullptr); st; st = sqlite3_next_stmt(db, st))
        if (sqlite3_stmt_busy(st)) return true;
    return false;
}

void DatabaseImpl::DropTableLater(const std::string& table) {
    WritePendingRows();
    CheckDropAllowed(*this, "DROP TABLE " + QuoteId(table));
    std::string aside;
    for (;;) {
        aside = "_dao_aside_" + std::to_string(nextAside++);
        Stmt taken(db, "SELECT 1 FROM sqlite_master WHERE name = ?1 COLLATE NOCASE");
        taken.Bind(1, aside);
        if (!taken.Step()) break;
    }
    // The older renaming leaves views and triggers of other tables naming the
    // table as they are, as a drop would: they find the table made again
    // under that name.
    Exec(db, "PRAGMA legacy_alter_table=ON");
    try {
        Exec(db, "ALTER TABLE " + QuoteId(table) + " RENAME TO " + QuoteId(aside));
    } catch (...) {
        sqlite3_exec(db, "PRAGMA legacy_alter_table=OFF", nullptr, nullptr, nullptr);
        throw;
    }
    Exec(db, "PRAGMA legacy_alter_table=OFF");
    setAside.push_back(aside);
}

namespace {

// Secure deletion set to FAST for the drops made in its life, the
// connection's own setting back after them. A dropped result or scratch
// table's pages go to the free list as they are, for the next write to
// reuse, instead of each being overwritten (twice: once through the
// journal), which with secure deletion on (the default of some builds)
// made dropping a million-row result table cost as much as writing it.
class FastDrops {
public:
    explicit FastDrops(sqlite3* db) : db_(db) {
        Stmt mode(db, "PRAGMA secure_delete");
        if (mode.Step() && sqlite3_column_int(mode.get(), 0) == 1) {
            Exec(db, "PRAGMA secure_delete = FAST");
            restore_ = true;
        }
    }
    ~FastDrops() {
        if (restore_) sqlite3_exec(db_, "PRAGMA secure_delete = 1", nullptr, nullptr, nullptr);
    }
    FastDrops(const FastDrops&) = delete;
    FastDrops& operator=(const FastDrops&) = delete;

private:
    sqlite3* db_;
    bool restore_ = false;
};

}  // namespace

void DatabaseImpl::DropTable(const std::string& table) {
    FastDrops fast(db);
    ExecDdl("DROP TABLE " + QuoteId(table));
}

void DatabaseImpl::DropTablesSetAside() {
    if (setAside.empty()) {
        schemaVersion = -1;
        return;
    }
    FastDrops fast(db);
    while (!setAside.empty()) {
        const std::string name = setAside.back();
        Stmt there(db, "SELECT 1 FROM sqlite_master WHERE type = 'table' AND name = ?1");
        there.Bind(1, name);
        const bool exists = there.Step();
        there = Stmt();
        if (exists) ExecDdl("DROP TABLE " + QuoteId(name));
        setAside.pop_back();
    }
    schemaVersion = -1;
}

void DatabaseImpl::ExecDdl(const std::string& sql) {
    Stmt s(db, sql);
    StepDdl(s, sql);
}

}  // namespace dao
