// Errors, statements, values, the catalog, connections, workspaces and the engine.
#include <fcntl.h>
#include <sodium.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstring>
#include <cmath>
#include <filesystem>
#include <mutex>
#include <thread>

#include "dao/DaoInternal.h"
#include "dao/SqliteVersion.h"
#include "vb/Conversions.h"

namespace dao {

// --- errors and small helpers ------------------------------------------------------

void Fail(int32_t number, const std::string& description) { throw vb::VbError(number, description, "DAO"); }

void CheckName(std::string_view name) {
    if (name.empty()) Fail(err::kInvalidName, "A name cannot be empty.");
    // Lengths are in characters: a UTF-8 continuation byte starts none.
    size_t characters = 0;
    for (unsigned char c : name) characters += (c & 0xC0) != 0x80 ? 1 : 0;
    if (characters > 64) Fail(err::kInvalidName, "The name '" + std::string(name) + "' is longer than 64 characters.");
    for (unsigned char c : name) {
        if (c == ']' || c < 0x20 || c == 0x7f)
            Fail(err::kInvalidName,
                 "The name '" + std::string(name) + "' contains ']' or a control character, which names cannot hold.");
    }
}

std::string QuoteId(std::string_view name) {
    std::string q = "\"";
    for (char c : name) {
        q += c;
        if (c == '"') q += '"';
    }
    return q + "\"";
}

std::string QuoteText(std::string_view text) {
    std::string q = "'";
    for (char c : text) {
        q += c;
        if (c == '\'') q += '\'';
    }
    return q + "'";
}

std::string Fold(std::string_view s) {
    std::string r(s);
    for (char& c : r) c = vb::FoldChar(c);
    return r;
}

size_t NoCaseHash::operator()(std::string_view s) const noexcept {
    size_t h = 1469598103934665603ull;
    for (char c : s) {
        unsigned char u = static_cast<unsigned char>(c);
        if (u >= 'A' && u <= 'Z') u = static_cast<unsigned char>(u + 32);
        h = (h ^ u) * 1099511628211ull;
    }
    return h;
}

bool NoCaseEq::operator()(std::string_view a, std::string_view b) const noexcept { return vb::EqualsNoCase(a, b); }

int TableInfo::FindField(std::string_view fieldName) const {
    for (size_t i = 0; i < fields.size(); ++i)
        if (vb::EqualsNoCase(fields[i].name, fieldName)) return static_cast<int>(i);
    return -1;
}

// --- SQLite errors as DAO errors -----------------------------------------------------

namespace {
std::string After(const std::string& msg, std::string_view prefix) {
    auto p = msg.find(prefix);
    return p == std::string::npos ? std::string() : msg.substr(p + prefix.size());
}

std::vector<std::string> SplitUnit(const std::string& s) {
    std::vector<std::string> parts;
    size_t start = 0;
    for (;;) {
        size_t p = s.find('\x1f', start);
        parts.push_back(s.substr(start, p == std::string::npos ? std::string::npos : p - start));
        if (p == std::string::npos) return parts;
        start = p + 1;
    }
}

std::string CatalogLookup(sqlite3* db, const std::string& tbl, const std::string& name, const std::string& prop) {
    sqlite3_stmt* st = nullptr;
    std::string sql =
        std::string("SELECT value FROM ") + kCatalog + " WHERE kind='F' AND tbl=?1 AND name=?2 AND prop=?3";
    std::string out;
    if (sqlite3_prepare_v2(db, sql.c_str(), -1, &st, nullptr) == SQLITE_OK) {
        sqlite3_bind_text(st, 1, tbl.c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_text(st, 2, name.c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_text(st, 3, prop.c_str(), -1, SQLITE_TRANSIENT);
        if (sqlite3_step(st) == SQLITE_ROW && sqlite3_column_text(st, 0))
            out = reinterpret_cast<const char*>(sqlite3_column_text(st, 0));
    }
    sqlite3_finalize(st);
    return out;
}
}  // namespace

namespace {

// A failed CHECK: the size, zero-length, range and validation-rule checks
// this layer adds to a column name the table and the column, and a
// validation rule's text is looked up in the catalog.
[[noreturn]] void RaiseCheckFailure(sqlite3* db, const std::string& msg) {
    auto parts = SplitUnit(After(msg, "failed: "));
    if (parts.size() == 3) {
        const std::string& kind = parts[0];
        const std::string& tbl = parts[1];
        const std::string& col = parts[2];
        if (kind == "dao_size")
            Fail(err::kFieldTooSmall, "The value is too long for the field '" + col + "' of '" + tbl + "'.");
        if (kind == "dao_zls")
            Fail(err::kZeroLength, "The field '" + col + "' of '" + tbl + "' cannot hold a zero-length string.");
        if (kind == "dao_range")
            Fail(err::kNumericOverflow, "The value is out of the range of the field '" + col + "' of '" + tbl + "'.");
        if (kind == "dao_rule") {
            std::string text = CatalogLookup(db, tbl, col, "ValidationText");
            if (!text.empty()) Fail(err::kValidationText, text);
            Fail(err::kValidationRule, "The value is prohibited by the validation rule '" +
                                           CatalogLookup(db, tbl, col, "ValidationRule") + "' set for '" + tbl + "." +
                                           col + "'.");
        }
    }
    Fail(err::kValidationRule, "The value is prohibited by a rule of the table: " + msg);
}

// A failed constraint: a unique key, a required field or a check.
[[noreturn]] void RaiseConstraint(sqlite3* db, int ext, const std::string& msg) {
    if (ext == SQLITE_CONSTRAINT_UNIQUE || ext == SQLITE_CONSTRAINT_PRIMARYKEY)
        Fail(err::kDuplicateKey, "The change would create a duplicate value in a unique index or primary key (" +
                                     After(msg, "failed: ") + "); change the value or remove the duplicate.");
    if (ext == SQLITE_CONSTRAINT_NOTNULL)
        Fail(err::kRequired,
             "The field '" + After(msg, "failed: ") + "' requires a value (its Required property is set).");
    if (ext == SQLITE_CONSTRAINT_CHECK) RaiseCheckFailure(db, msg);
    Fail(err::kDuplicateKey, "The change breaks a rule of the table: " + msg);
}

}  // namespace

void RaiseSqlite(sqlite3* db, int rc, std::string_view context) {
    std::string msg = db ? sqlite3_errmsg(db) : sqlite3_errstr(rc);
    int ext = db ? sqlite3_extended_errcode(db) : rc;
    int prim = ext & 0xff;
    if (prim == SQLITE_CONSTRAINT) RaiseConstraint(db, ext, msg);
    if (msg.rfind("no such table: ", 0) == 0)
        Fail(err::kNoInputTable, "The input table or query '" + After(msg, "no such table: ") + "' does not exist.");
    if (msg.rfind("no such column: ", 0) == 0)
        Fail(err::kTooFewParameters, "Too few parameters: '" + After(msg, "no such column: ") +
                                         "' is neither a field of the query's tables nor a known name.");
    if (msg.find("already exists") != std::string::npos) {
        if (msg.rfind("index", 0) == 0) Fail(err::kIndexExists, "The index already exists: " + msg);
        Fail(err::kTableExists, "The table or query already exists: " + msg);
    }
    if (msg.find("syntax error") != std::string::npos || msg.find("incomplete input") != std::string::npos)
        Fail(err::kSyntaxError, "Syntax error in the statement (" + msg + ")" +
                                    (context.empty() ? std::string() : ": " + std::string(context)));
    if (ext == SQLITE_BUSY_SNAPSHOT)
        Fail(err::kLocked,
             "Another user or process changed the database while this one was reading it, so it cannot write now; "
             "try again.");
    switch (prim) {
        case SQLITE_BUSY:
        case SQLITE_LOCKED:
            Fail(err::kLocked, "The database is locked by another user or process; try again.");
        case SQLITE_READONLY:
            Fail(err::kReadOnly, "The database or object is read-only.");
        case SQLITE_FULL: {
            const char* file = db ? sqlite3_db_filename(db, "main") : nullptr;
            Fail(err::kDiskFull, "There is not enough space to write the changes of the database '" +
                                     std::string(file && *file ? file : "(in memory)") +
                                     "': its disk, or the temporary folder where the database engine keeps its "
                                     "work files, is full. Free some space and try again.");
        }
        case SQLITE_NOTADB:
            Fail(err::kUnrecognizedFormat, "The file is not a database this program can read.");
        case SQLITE_CANTOPEN:
            Fail(err::kFileNotFound, "The database file cannot be opened.");
        default:
            break;
    }
    Fail(err::kReserved, "Database error: " + msg);
}

void Exec(sqlite3* db, std::string_view sql) {
    char* errmsg = nullptr;
    int rc = sqlite3_exec(db, std::string(sql).c_str(), nullptr, nullptr, &errmsg);
    sqlite3_free(errmsg);
    if (rc != SQLITE_OK) RaiseSqlite(db, rc, sql);
}

// --- statements ------------------------------------------------------------------

Stmt::Stmt(sqlite3* db, std::string_view sql) {
    int rc = sqlite3_prepare_v2(db, sql.data(), static_cast<int>(sql.size()), &st_, nullptr);
    if (rc != SQLITE_OK) {
        st_ = nullptr;
        RaiseSqlite(db, rc, sql);
    }
}
Stmt::~Stmt() { Finalize(); }
Stmt& Stmt::operator=(Stmt&& o) noexcept {
    if (this != &o) {
        Finalize();
        st_ = o.st_;
        o.st_ = nullptr;
    }
    return *this;
}
void Stmt::Finalize() {
    if (st_) sqlite3_finalize(st_);
    st_ = nullptr;
}
bool Stmt::Step() {
    int rc = sqlite3_step(st_);
    if (rc == SQLITE_ROW) return true;
    if (rc == SQLITE_DONE) return false;
    sqlite3* db = sqlite3_db_handle(st_);
    sqlite3_reset(st_);
    RaiseSqlite(db, rc);
}
void Stmt::Reset() {
    sqlite3_reset(st_);
    sqlite3_clear_bindings(st_);
}
void Stmt::Bind(int i, const std::string& s) {
    sqlite3_bind_text(st_, i, s.data(), static_cast<int>(s.size()), SQLITE_TRANSIENT);
}
void Stmt::Bind(int i, int64_t v) { sqlite3_bind_int64(st_, i, v); }
void Stmt::Bind(int i, double v) { sqlite3_bind_double(st_, i, v); }
void Stmt::BindNull(int i) { sqlite3_bind_null(st_, i); }
std::string Stmt::Text(int col) const {
    auto p = sqlite3_column_text(st_, col);
    return p ? std::string(reinterpret_cast<const char*>(p), sqlite3_column_bytes(st_, col)) : std::string();
}

// --- values ----------------------------------------------------------------------

void InferType(std::string_view declType, FieldDef& f) {
    std::string d = vb::UCase(declType);
    auto has = [&](const char* s) { return d.find(s) != std::string::npos; };
    f.size = 0;
    if (has("BOOL"))
        f.type = dbBoolean;
    else if (has("TINYINT"))
        f.type = dbByte;
    else if (has("SMALLINT"))
        f.type = dbInteger;
    else if (has("INT"))
        f.type = dbLong;
    else if (has("CURRENCY"))
        f.type = dbCurrency;
    else if (has("DATE") || has("TIME"))
        f.type = dbDate;
    else if (has("CHAR") || has("TEXT") || has("CLOB")) {
        f.type = dbText;
        f.size = 255;
        auto p = d.find('(');
        if (p != std::string::npos) {
            int n = std::atoi(d.c_str() + p + 1);
            if (n > 0) f.size = n;
        }
    } else if (has("BLOB"))
        f.type = dbLongBinary;
    else if (d.empty())
        f.type = dbText;
    else
        f.type = dbDouble;  // REAL, DOUBLE, FLOAT, NUMERIC, DECIMAL and the rest
    if (f.type == dbText && f.size == 0) f.size = 255;
}

namespace {

// A stored integer as the field's type holds it; one out of a small type's
// range stays as it is.
vb::Variant IntegerAs(int64_t v, int16_t type) {
    switch (type) {
        case dbBoolean:
            return vb::Variant(v != 0);
        case dbByte:
            if (v >= 0 && v <= 255) return vb::Variant(static_cast<uint8_t>(v));
            break;
        case dbInteger:
            if (v >= -32768 && v <= 32767) return vb::Variant(static_cast<int16_t>(v));
            break;
        case dbCurrency:
            return vb::Variant(vb::Currency{v * 10000});
        case dbSingle:
            return vb::Variant(static_cast<float>(v));
        case dbDouble:
            return vb::Variant(static_cast<double>(v));
        case dbDate:
            return vb::Variant(vb::Date{static_cast<double>(v)});
        case dbText:
        case dbMemo:
        case dbGUID:
            return vb::Variant(vb::CStr(v));
        default:
            break;
    }
    return vb::Variant(v);
}

// A stored real as the field's type holds it; a whole one in an integer
// field reads as a Long.
vb::Variant RealAs(double v, int16_t type) {
    switch (type) {
        case dbBoolean:
            return vb::Variant(v != 0.0);
        case dbSingle:
            return vb::Variant(static_cast<float>(v));
        case dbCurrency:
            return vb::Variant(vb::Currency::FromDouble(v));
        case dbDate:
            return vb::Variant(vb::Date{v});
        case dbText:
        case dbMemo:
        case dbGUID:
            return vb::Variant(vb::CStr(v));
        case dbByte:
        case dbInteger:
        case dbLong:
            if (v == std::floor(v) && std::fabs(v) < 2147483648.0) return vb::Variant(v).ToLong();
            break;
        default:
            break;
    }
    return vb::Variant(v);
}

}  // namespace

vb::Variant ReadValue(sqlite3_stmt* st, int col, int16_t type) {
    switch (sqlite3_column_type(st, col)) {
        case SQLITE_NULL:
            return vb::Variant::Null();
        case SQLITE_INTEGER:
            return IntegerAs(sqlite3_column_int64(st, col), type);
        case SQLITE_FLOAT:
            return RealAs(sqlite3_column_double(st, col), type);
        case SQLITE_TEXT: {
            const char* p = reinterpret_cast<const char*>(sqlite3_column_text(st, col));
            std::string s(p, static_cast<size_t>(sqlite3_column_bytes(st, col)));
            if (type == dbDate) {
                vb::Date d;
                if (vb::ParseIsoDate(s, d)) return vb::Variant(d);
            }
            return vb::Variant(std::move(s));
        }
        default: {
            const char* p = static_cast<const char*>(sqlite3_column_blob(st, col));
            return vb::Variant(std::string(p ? p : "", static_cast<size_t>(sqlite3_column_bytes(st, col))));
        }
    }
}

namespace {
[[noreturn]] void ConversionError(const FieldDef& f, const vb::Variant& v) {
    std::string shown = v.IsString() ? "'" + v.String() + "'" : "the value";
    Fail(err::kConversion, "Data type conversion error: " + shown + " does not fit the field '" + f.name + "'.");
}
// Jet's numbers are finite: an infinity does not fit any field.
[[noreturn]] void OverflowError(const FieldDef& f) {
    Fail(err::kNumericOverflow, "Numeric field overflow: the value for the field '" + f.name +
                                    "' is not a finite number (a result too large to represent).");
}
}  // namespace

void BindValue(sqlite3_stmt* st, int index, const vb::Variant& v, const FieldDef& f) {
    if (v.IsNull() || v.IsEmpty() || v.IsMissing()) {
        sqlite3_bind_null(st, index);
        return;
    }
    try {
        switch (f.type) {
            case dbBoolean:
                sqlite3_bind_int(st, index, v.ToBool() ? -1 : 0);
                return;
            case dbByte:
            case dbInteger:
            case dbLong: {
                double d = v.ToDouble();
                if (!std::isfinite(d) || std::fabs(d) > 9.0e15) ConversionError(f, v);
                sqlite3_bind_int64(st, index, static_cast<int64_t>(std::nearbyint(d)));
                return;
            }
            case dbCurrency:
                sqlite3_bind_double(st, index, v.ToCurrency().ToDouble());
                return;
            case dbSingle: {
                const double d = static_cast<double>(static_cast<float>(v.ToDouble()));
                if (std::isinf(d)) OverflowError(f);
                sqlite3_bind_double(st, index, d);
                return;
            }
            case dbDouble: {
                const double d = v.ToDouble();
                if (std::isinf(d)) OverflowError(f);
                sqlite3_bind_double(st, index, d);
                return;
            }
            case dbDate: {
                vb::Date d;
                if (!(v.IsString() && vb::ParseIsoDate(v.String(), d))) d = v.ToDate();
                std::string iso = vb::DateToIso(d);
                sqlite3_bind_text(st, index, iso.data(), static_cast<int>(iso.size()), SQLITE_TRANSIENT);
                return;
            }
            case dbLongBinary: {
                std::string s = v.ToString();
                sqlite3_bind_blob(st, index, s.data(), static_cast<int>(s.size()), SQLITE_TRANSIENT);
                return;
            }
            default: {
                if (v.IsString()) {
                    const std::string& s = v.String();
                    sqlite3_bind_text(st, index, s.data(), static_cast<int>(s.size()), SQLITE_TRANSIENT);
                } else {
                    std::string s = v.ToString();
                    sqlite3_bind_text(st, index, s.data(), static_cast<int>(s.size()), SQLITE_TRANSIENT);
                }
                return;
            }
        }
    } catch (const vb::VbError& e) {
        if (e.Number() == err::kConversion || e.Number() == err::kNumericOverflow) throw;
        ConversionError(f, v);
    }
}

std::string CanonicalPath(const std::string& path) {
    std::error_code ec;
    auto p = std::filesystem::weakly_canonical(std::filesystem::absolute(path, ec), ec);
    return ec ? path : p.string();
}

std::string HashPassword(const std::string& password) {
    if (sodium_init() < 0) Fail(err::kReserved, "The password library cannot start.");
    char out[crypto_pwhash_STRBYTES];
    if (crypto_pwhash_str(out, password.data(), password.size(), crypto_pwhash_OPSLIMIT_INTERACTIVE,
                          crypto_pwhash_MEMLIMIT_INTERACTIVE) != 0)
        Fail(err::kReserved, "Not enough memory to hash the password.");
    return out;
}

bool VerifyPassword(const std::string& hash, const std::string& password) {
    if (sodium_init() < 0) Fail(err::kReserved, "The password library cannot start.");
    return crypto_pwhash_str_verify(hash.c_str(), password.data(), password.size()) == 0;
}

std::string ProgramFolder() {
    std::error_code ec;
    auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    return ec ? std::filesystem::current_path().string() : exe.parent_path().string();
}

// --- collections -------------------------------------------------------------------

template <class T>
std::shared_ptr<T> Collection<T>::Item(int32_t index) const {
    if (index < 0 || index >= Count())
        Fail(err::kItemNotFound, "Item " + std::to_string(index) + " is not in this collection.");
    return items_[static_cast<size_t>(index)];
}
template <class T>
std::shared_ptr<T> Collection<T>::Item(std::string_view name) const {
    for (auto& i : items_)
        if (vb::EqualsNoCase(i->Name(), name)) return i;
    Fail(err::kItemNotFound, "Item '" + std::string(name) + "' is not in this collection.");
}
template <class T>
bool Collection<T>::Contains(std::string_view name) const {
    for (auto& i : items_)
        if (vb::EqualsNoCase(i->Name(), name)) return true;
    return false;
}
template <class T>
void Collection<T>::Append(const std::shared_ptr<T>& item) {
    if (!item) vb::Raise(vb::err::kObjectVariableNotSet);
    if (onAppend_)
        onAppend_(item);
    else {
        if (Contains(item->Name()))
            Fail(err::kPropertyExists, "An object named '" + item->Name() + "' is already in this collection.");
    }
    items_.push_back(item);
}
template <class T>
void Collection<T>::Delete(std::string_view name) {
    auto it = std::find_if(items_.begin(), items_.end(), [&](auto& i) { return vb::EqualsNoCase(i->Name(), name); });
    if (it == items_.end()) Fail(err::kItemNotFound, "Item '" + std::string(name) + "' is not in this collection.");
    if (onDelete_) onDelete_(name);
    items_.erase(it);
}
template <class T>
void Collection<T>::Refresh() {
    if (onRefresh_) onRefresh_();
}
template class Collection<Field>;
template class Collection<Index>;
template class Collection<TableDef>;
template class Collection<QueryDef>;
template class Collection<Database>;
template class Collection<Workspace>;

// --- connections -----------------------------------------------------------------

// Never destroyed: connections still open at exit (the process-wide engine's)
// close after every other static is gone and still look here.
std::mutex& OpenFilesMutex() {
    static auto* mutex = new std::mutex;
    return *mutex;
}

std::vector<DatabaseImpl*>& OpenFiles() {
    static auto* files = new std::vector<DatabaseImpl*>;
    return *files;
}

DatabaseImpl::~DatabaseImpl() {
    try {
        Close();
    } catch (...) {
        // Rows of a batch that cannot be written go with the connection.
        DropPendingRows();
        try {
            Close();
        } catch (...) {}
    }
}

void DatabaseImpl::CheckOpen() const {
    if (!db) Fail(err::kObjectClosed, "The database '" + path + "' is closed.");
}

int64_t DatabaseImpl::SchemaVersion() {
    Stmt s(db, "PRAGMA schema_version");
    s.Step();
    return sqlite3_column_int64(s.get(), 0);
}

void DatabaseImpl::SyncSchema() {
    CheckOpen();
    int64_t v = SchemaVersion();
    if (v != schemaVersion) {
        tables.clear();
        schemaVersion = v;
        Stmt s(db, "SELECT 1 FROM sqlite_master WHERE type='table' AND name=?1");
        s.Bind(1, std::string(kCatalog));
        catalogExists = s.Step();
    }
}

std::optional<std::string> DatabaseImpl::StoredName(std::string_view name, const char* type) {
    Stmt s(db, std::string("SELECT name FROM sqlite_master WHERE type='") + type + "' AND name=?1 COLLATE NOCASE");
    s.Bind(1, std::string(name));
    if (!s.Step()) return std::nullopt;
    return s.Text(0);
}

void DatabaseImpl::EnsureCatalog() {
    SyncSchema();
    if (catalogExists) return;
    ExecDdl(std::string("CREATE TABLE IF NOT EXISTS ") + kCatalog +
            "(kind TEXT NOT NULL, tbl TEXT NOT NULL COLLATE NOCASE, name TEXT NOT NULL COLLATE NOCASE, "
            "prop TEXT NOT NULL COLLATE NOCASE, value, PRIMARY KEY(kind, tbl, name, prop)) WITHOUT ROWID");
    catalogExists = true;
    schemaVersion = SchemaVersion();
}

void DatabaseImpl::SetCatalog(const std::string& kind, const std::string& tbl, const std::string& name,
                              const std::string& prop, const vb::Variant& value) {
    EnsureCatalog();
    Stmt s(db, std::string("INSERT OR REPLACE INTO ") + kCatalog +
                   "(kind, tbl, name, prop, value) VALUES (?1,?2,?3,?4,?5)");
    s.Bind(1, kind);
    s.Bind(2, tbl);
    s.Bind(3, name);
    s.Bind(4, prop);
    if (value.IsNull() || value.IsEmpty())
        s.BindNull(5);
    else if (value.IsString())
        s.Bind(5, value.String());
    else if (value.Type() == vb::vbDouble || value.Type() == vb::vbSingle)
        s.Bind(5, value.ToDouble());
    else if (value.Type() == vb::vbDate)
        s.Bind(5, vb::DateToIso(value.ToDate()));
    else if (value.IsNumber())
        s.Bind(5, static_cast<int64_t>(value.ToLong()));
    else
        s.Bind(5, value.ToString());
    s.Step();
}

std::optional<std::string> DatabaseImpl::CatalogText(const std::string& kind, const std::string& tbl,
                                                     const std::string& name, const std::string& prop) {
    SyncSchema();
    if (!catalogExists) return std::nullopt;
    Stmt s(db, std::string("SELECT value FROM ") + kCatalog + " WHERE kind=?1 AND tbl=?2 AND name=?3 AND prop=?4");
    s.Bind(1, kind);
    s.Bind(2, tbl);
    s.Bind(3, name);
    s.Bind(4, prop);
    if (!s.Step()) return std::nullopt;
    return s.Text(0);
}

void DatabaseImpl::DeleteCatalog(const std::string& kind, const std::string& tbl) {
    SyncSchema();
    if (!catalogExists) return;
    Stmt s(db, std::string("DELETE FROM ") + kCatalog + " WHERE kind=?1 AND tbl=?2");
    s.Bind(1, kind);
    s.Bind(2, tbl);
    s.Step();
}

void DatabaseImpl::PurgeCatalog() {
    SyncSchema();
    if (!catalogExists || readOnly) return;
    std::string cat = kCatalog;
    Exec(db, "DELETE FROM " + cat +
                 " WHERE kind IN ('F', 'I', 'T') AND tbl NOT IN "
                 "(SELECT name FROM sqlite_master WHERE type = 'table')");
    Exec(db, "DELETE FROM " + cat + " WHERE kind = 'Q' AND tbl IN (SELECT tbl FROM " + cat +
                 " WHERE kind = 'Q' AND prop = 'Stored' AND value = 1) AND tbl NOT IN "
                 "(SELECT name FROM sqlite_master WHERE type = 'view')");
    schemaVersion = -1;
}

std::shared_ptr<TableInfo> DatabaseImpl::FindTable(std::string_view tableName) {
    SyncSchema();
    std::string key = Fold(tableName);
    if (auto it = tables.find(key); it != tables.end()) return it->second;
    if (vb::EqualsNoCase(tableName, kCatalog)) return nullptr;
    auto info = std::make_shared<TableInfo>();
    if (auto stored = StoredName(tableName, "table"))
        info->name = *stored;
    else if (auto view = StoredName(tableName, "view")) {
        info->name = *view;
        info->isView = true;
    } else
        return nullptr;

    ReadColumns(*info);
    if (!info->isView) FindRowKey(*info);
    if (catalogExists) ReadCatalogFacts(*info);
    if (info->indexes.empty() && !info->isView) ReadSqliteIndexes(*info);
    // Only text columns have a sort order of their own, whatever the catalog says.
    for (auto& f : info->fields) {
        if (f.type != dbText && f.type != dbMemo) f.collatingOrder = dbSortNeutral;
    }
    tables[key] = info;
    return info;
}

// The row key's name: the first of SQLite's three names for it that no column
// of the table takes. A table WITHOUT ROWID, or one whose columns take all
// three names, has none that can be reached.
void DatabaseImpl::FindRowKey(TableInfo& info) {
    info.hasRowid = false;
    for (const char* name : {"_rowid_", "rowid", "oid"}) {
        if (info.FindField(name) >= 0) continue;
        sqlite3_stmt* probe = nullptr;
        const std::string sql = std::string("SELECT ") + name + " FROM " + QuoteId(info.name) + " LIMIT 0";
        const bool ok = sqlite3_prepare_v2(db, sql.c_str(), -1, &probe, nullptr) == SQLITE_OK;
        sqlite3_finalize(probe);
        if (ok) {
            info.rowid = name;
            info.hasRowid = true;
        }
        return;
    }
}

// The columns as SQLite declares them: types inferred from the declared
// types, Required, auto-increment and the collation from the column's metadata.
void DatabaseImpl::ReadColumns(TableInfo& info) {
    Stmt cols(db, "SELECT name, type FROM pragma_table_xinfo(?1) WHERE hidden = 0");
    cols.Bind(1, info.name);
    while (cols.Step()) {
        FieldDef f;
        f.name = cols.Text(0);
        InferType(cols.Text(1), f);
        f.ordinal = static_cast<int16_t>(info.fields.size());
        f.sourceTable = info.name;
        f.sourceField = f.name;
        f.allowZeroLength = true;
        const char* declType = nullptr;
        const char* coll = nullptr;
        int notNull = 0, pk = 0, autoinc = 0;
        if (!info.isView && sqlite3_table_column_metadata(db, "main", info.name.c_str(), f.name.c_str(), &declType,
                                                          &coll, &notNull, &pk, &autoinc) == SQLITE_OK) {
            f.required = notNull != 0;
            if (autoinc) {
                f.attributes |= dbAutoIncrField;
                info.autoIncrement = static_cast<int>(info.fields.size());
            }
            f.collatingOrder = coll && vb::EqualsNoCase(coll, "NOCASE") ? dbSortGeneral : dbSortNeutral;
        }
        if (f.type != dbText && f.type != dbMemo) f.collatingOrder = dbSortNeutral;
        info.fields.push_back(std::move(f));
    }
}

namespace {
// One catalog fact of field i: its DAO type, size, attributes, rules or a
// user-defined property.
void ApplyFieldFact(TableInfo& info, int i, const std::string& prop, int64_t n, const std::string& t) {
    FieldDef& f = info.fields[static_cast<size_t>(i)];
    if (prop == "Type")
        f.type = static_cast<int16_t>(n);
    else if (prop == "Size")
        f.size = static_cast<int32_t>(n);
    else if (prop == "Attributes") {
        f.attributes = static_cast<int32_t>(n);
        if (f.attributes & dbAutoIncrField) info.autoIncrement = i;
    } else if (prop == "AllowZeroLength")
        f.allowZeroLength = n != 0;
    else if (prop == "Required")
        f.required = n != 0;
    else if (prop == "DefaultValue")
        f.defaultValue = t;
    else if (prop == "ValidationRule")
        f.validationRule = t;
    else if (prop == "ValidationText")
        f.validationText = t;
    else if (prop.rfind("P:", 0) == 0) {
        f.userProps.emplace_back(prop.substr(2), vb::Variant(t));
        f.userPropTypes.push_back(dbText);
    }
}

}  // namespace

// The catalog's facts of the table: each field's DAO properties and the
// indexes with their DAO names, in creation order.
void DatabaseImpl::ReadCatalogFacts(TableInfo& info) {
    Stmt cat(db, std::string("SELECT kind, name, prop, value FROM ") + kCatalog +
                     " WHERE tbl=?1 ORDER BY kind, name, prop");
    cat.Bind(1, info.name);
    std::map<std::string, IndexInfo, std::less<>> idx;
    std::vector<std::string> idxOrder;
    while (cat.Step()) {
        std::string kind = cat.Text(0), name = cat.Text(1), prop = cat.Text(2);
        sqlite3_stmt* st = cat.get();
        if (kind == "F") {
            int i = info.FindField(name);
            if (i < 0) continue;
            ApplyFieldFact(info, i, prop, sqlite3_column_int64(st, 3), cat.Text(3));
        } else if (kind == "I") {
            auto [it, fresh] = idx.try_emplace(name);
            if (fresh) {
                it->second.name = name;
                idxOrder.push_back(name);
            }
            if (prop == "SqlName")
                it->second.sqlName = cat.Text(3);
            else if (prop == "Primary")
                it->second.primary = sqlite3_column_int(st, 3) != 0;
            else if (prop == "Unique")
                it->second.unique = sqlite3_column_int(st, 3) != 0;
            else if (prop == "Fields")
                it->second.fields = SplitUnit(cat.Text(3));
        }
    }
    // Keep creation order: indexes are listed by their "Order" entry.
    std::vector<std::pair<int64_t, std::string>> ordered;
    Stmt ord(db, std::string("SELECT name, value FROM ") + kCatalog + " WHERE kind='I' AND tbl=?1 AND prop='Order'");
    ord.Bind(1, info.name);
    while (ord.Step()) ordered.emplace_back(sqlite3_column_int64(ord.get(), 1), ord.Text(0));
    std::sort(ordered.begin(), ordered.end());
    for (auto& [n, name] : ordered)
        if (auto it = idx.find(name); it != idx.end()) info.indexes.push_back(it->second);
}

// A table without catalog indexes (made by another tool): SQLite's own.
void DatabaseImpl::ReadSqliteIndexes(TableInfo& info) {
    Stmt il(db, "SELECT name, \"unique\", origin FROM pragma_index_list(?1)");
    il.Bind(1, info.name);
    while (il.Step()) {
        IndexInfo ix;
        ix.name = ix.sqlName = il.Text(0);
        ix.unique = sqlite3_column_int(il.get(), 1) != 0;
        ix.primary = il.Text(2) == "pk";
        Stmt ii(db, "SELECT name FROM pragma_index_info(?1) ORDER BY seqno");
        ii.Bind(1, ix.sqlName);
        // A column of an expression (lower(g)) or the rowid has no name: an
        // index of one is no index of fields and is not listed.
        bool named = true;
        while (ii.Step()) {
            named = named && sqlite3_column_type(ii.get(), 0) != SQLITE_NULL;
            ix.fields.push_back(ii.Text(0));
        }
        if (named) info.indexes.push_back(std::move(ix));
    }
}

std::shared_ptr<TableInfo> DatabaseImpl::Table(std::string_view name) {
    auto t = FindTable(name);
    if (!t) Fail(err::kItemNotFound, "The table or query '" + std::string(name) + "' is not in the database.");
    return t;
}

std::string DatabaseImpl::AttachSchema(const std::string& filePath) {
    if (auto it = attached.find(filePath); it != attached.end()) {
        ++it->second.users;
        return it->second.schema;
    }
    if (!std::filesystem::exists(filePath))
        Fail(err::kFileNotFound, "The database file '" + filePath + "' does not exist.");
    std::string schema = "dao_ext" + std::to_string(nextAttachment++);
    Stmt s(db, "ATTACH DATABASE ?1 AS " + schema);
    s.Bind(1, filePath);
    s.Step();
    attached[filePath] = {schema, 1};
    return schema;
}

void DatabaseImpl::Release(const std::vector<std::string>& paths) {
    for (auto& p : paths)
        if (auto it = attached.find(p); it != attached.end() && it->second.users > 0) --it->second.users;
    DetachUnused();
}

void DatabaseImpl::DetachUnused() {
    if (!db || !sqlite3_get_autocommit(db)) return;
    for (auto it = attached.begin(); it != attached.end();) {
        if (it->second.users == 0 &&
            sqlite3_exec(db, ("DETACH DATABASE " + it->second.schema).c_str(), nullptr, nullptr, nullptr) == SQLITE_OK)
            it = attached.erase(it);
        else
            ++it;
    }
}

namespace {
struct TouchedSchemas {
    std::vector<std::string> names;
};
int CollectSchemas(void* ctx, int action, const char* a, const char*, const char* dbName, const char*) {
    auto* t = static_cast<TouchedSchemas*>(ctx);
    if ((action == SQLITE_READ || action == SQLITE_INSERT || action == SQLITE_UPDATE || action == SQLITE_DELETE) &&
        dbName && a && std::string_view(a).rfind("sqlite_", 0) != 0)
        t->names.emplace_back(dbName);
    return SQLITE_OK;
}
}  // namespace

DatabaseImpl::Prepared DatabaseImpl::PrepareJet(const std::string& jetSql) {
    CheckOpen();
    std::vector<std::string> used;
    struct Guard {
        DatabaseImpl* self;
        std::vector<std::string>* used;
        bool armed = true;
        ~Guard() {
            if (armed) self->Release(*used);
        }
    } guard{this, &used};
    auto schemaFor = [&](const std::string& p) -> std::string {
        std::string cp = CanonicalPath(p);
        if (cp == path) return "";
        std::string schema = AttachSchema(cp);
        used.push_back(cp);
        return schema;
    };
    TranslatedSql t = TranslateJetSql(jetSql, schemaFor);
    std::shared_ptr<WorkspaceImpl> w = ws.lock();
    if (!used.empty() && w) {
        bool onePath = std::all_of(used.begin(), used.end(), [&](auto& p) { return p == used.front(); });
        std::shared_ptr<DatabaseImpl> other = onePath ? w->FindOpen(used.front()) : nullptr;
        if (other && other.get() != this) {
            // Does the statement touch only that file? Then it runs there and
            // sees the workspace's uncommitted work in it.
            TouchedSchemas touched;
            sqlite3_set_authorizer(db, CollectSchemas, &touched);
            sqlite3_stmt* probe = nullptr;
            int rc = sqlite3_prepare_v2(db, t.sql.c_str(), -1, &probe, nullptr);
            sqlite3_finalize(probe);
            sqlite3_set_authorizer(db, nullptr, nullptr);
            std::string schema = attached[used.front()].schema;
            bool onlyThere = rc == SQLITE_OK && !touched.names.empty() &&
                             std::all_of(touched.names.begin(), touched.names.end(),
                                         [&](auto& n) { return n == schema || n == "temp"; });
            if (onlyThere) {
                TranslatedSql there = TranslateJetSql(jetSql, [](const std::string&) { return std::string(); });
                return {other, there.sql, {}};
            }
        }
    }
    guard.armed = false;
    return {shared_from_this(), t.sql, used};
}

void DatabaseImpl::Close() {
    if (!db) return;
    // Rows of batched appends still waiting are written (a failure leaves
    // the database open).
    WritePendingRows();
    std::vector<RecordsetState*> open;
    {
        std::lock_guard lock(OpenFilesMutex());
        open = recordsets;
    }
    for (RecordsetState* rs : open) {
        try {
            CloseRecordsetState(rs);
        } catch (...) {}
    }
    {
        std::lock_guard lock(OpenFilesMutex());
        recordsets.clear();
        std::erase(OpenFiles(), this);
    }
    ownLevels.clear();
    sqlite3_rollback_hook(db, nullptr, nullptr);
    sqlite3_close_v2(db);
    db = nullptr;
    attached.clear();
    tables.clear();
    if (auto w = ws.lock()) {
        std::lock_guard lock(w->mu);
        auto& v = w->databases;
        v.erase(std::remove_if(v.begin(), v.end(), [&](auto& p) { return p.expired() || p.lock().get() == this; }),
                v.end());
        if (w->dbCollection) {
            auto& items = w->dbCollection->items_;
            items.erase(std::remove_if(items.begin(), items.end(), [&](auto& d) { return d->Impl().get() == this; }),
                        items.end());
        }
    }
}

// --- workspaces ----------------------------------------------------------------------

std::shared_ptr<DatabaseImpl> WorkspaceImpl::FindOpen(const std::string& path) const {
    std::lock_guard lock(mu);
    for (auto& w : databases)
        if (auto d = w.lock(); d && d->db && d->path == path) return d;
    return nullptr;
}

// A commit of a transaction that SQLite already undid after an error that
// ends it (a full disk or temporary folder, a failed write): said as such,
// not as a commit without a transaction. The levels stay for the rollback
// that follows.
[[noreturn]] void FailUndone(const DatabaseImpl& d) {
    Fail(err::kDiskFull, "The changes to the database '" + d.path +
                             "' cannot be saved: the database engine undid them after an earlier error (such as a "
                             "full disk or temporary folder).");
}

void WorkspaceImpl::JoinTransaction(DatabaseImpl& d) {
    while (d.transactionDepth < transactionLevel) {
        if (d.transactionDepth == 0 && sqlite3_get_autocommit(d.db)) {
            Exec(d.db, "BEGIN");
            d.workspaceSavepointBase = false;
        } else if (d.transactionDepth == 0) {
            // The database's own transaction is open: the workspace's level
            // nests inside it.
            Exec(d.db, "SAVEPOINT dao_level1");
            d.workspaceSavepointBase = true;
        } else
            Exec(d.db, "SAVEPOINT dao_level" + std::to_string(d.transactionDepth + 1));
        ++d.transactionDepth;
    }
}

Workspace::Workspace(std::string name, std::string user) : impl_(std::make_shared<WorkspaceImpl>()) {
    impl_->name = std::move(name);
    impl_->user = std::move(user);
    impl_->dbCollection = std::make_shared<Collection<Database>>();
}
Workspace::~Workspace() = default;
const std::string& Workspace::Name() const { return impl_->name; }
const std::string& Workspace::UserName() const { return impl_->user; }
std::shared_ptr<Collection<Database>> Workspace::Databases() { return impl_->dbCollection; }

namespace {
std::string ConnectValue(const std::string& connect, std::string_view key) {
    // ";pwd=secret;other=x": keys without regard to case.
    size_t pos = 0;
    while (pos <= connect.size()) {
        size_t end = connect.find(';', pos);
        std::string part = connect.substr(pos, end == std::string::npos ? std::string::npos : end - pos);
        auto eq = part.find('=');
        if (eq != std::string::npos && vb::EqualsNoCase(vb::Trim(part.substr(0, eq)), key)) return part.substr(eq + 1);
        if (end == std::string::npos) break;
        pos = end + 1;
    }
    return {};
}

std::atomic<int> lockWaitMs{10000};
thread_local LockWaitObserver lockWaitObserver;
// Time a statement already waited for the same lock before it was tried
// again: the second try waits only for what is left of the one wait.
thread_local int lockWaitSpentMs = 0;
// The calling thread's limit on any wait, while a LockWaitLimit or a
// NoLockWait stands (0: a lock fails the statement at once).
thread_local int lockWaitLimitMs = INT_MAX;

// SQLite's busy handler: tries again after growing pauses, as SQLite's own
// timeout does (the time waited follows from the attempt's number), and tells
// the thread's observer how long the statement has waited.
int WaitForLock(void*, int attempt) {
    static constexpr int kPauses[] = {1, 2, 5, 10, 15, 20, 25, 25, 25, 50, 50, 100};
    static constexpr int kWaited[] = {0, 1, 3, 8, 18, 33, 53, 78, 103, 128, 178, 228};
    constexpr int kLast = int(std::size(kPauses)) - 1;
    int pause = kPauses[std::min(attempt, kLast)];
    const int waited = attempt <= kLast ? kWaited[attempt] : kWaited[kLast] + pause * (attempt - kLast);
    const int timeout = std::min(lockWaitMs.load(), lockWaitLimitMs) - lockWaitSpentMs;
    if (waited + pause > timeout) pause = timeout - waited;
    if (pause <= 0) return 0;
    if (lockWaitObserver) {
        try {
            lockWaitObserver(lockWaitSpentMs + waited);
        } catch (...) {
            // An observer's failure must not reach SQLite.
        }
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(pause));
    return 1;
}

// Whether the file can be changed: the file itself and its folder, where
// SQLite keeps the journal of a write (rollback or WAL).
bool CanWrite(const std::string& path) {
    if (::access(path.c_str(), W_OK) != 0) return false;
    const std::string folder = std::filesystem::path(path).parent_path().string();
    return ::access(folder.empty() ? "." : folder.c_str(), W_OK | X_OK) == 0;
}

// A read-only "file:" URI for the path, asking SQLite to take the file as
// unchanging: the only way to read a WAL file whose folder cannot hold the
// shared-memory file.
std::string ImmutableUri(const std::string& path) {
    static const char* hex = "0123456789ABCDEF";
    std::string uri = "file:";
    for (unsigned char c : path) {
        if (std::isalnum(c) || c == '/' || c == '.' || c == '-' || c == '_' || c == '~')
            uri += static_cast<char>(c);
        else {
            uri += '%';
            uri += hex[c >> 4];
            uri += hex[c & 15];
        }
    }
    return uri + "?immutable=1";
}

// The file's journal mode as its header records it: true for WAL.
bool HeaderSaysWal(const std::string& path) {
    unsigned char header[20] = {};
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    const bool read = ::read(fd, header, sizeof header) == static_cast<ssize_t>(sizeof header);
    ::close(fd);
    return read && header[18] == 2 && header[19] == 2;
}

// Opens the connection's handle on a file name or URI and sets it up: whole
// error codes, the lock wait, the rollback count, no double-quoted texts, and
// an exclusive lock where asked for; reading the schema proves the file is a
// database.
void OpenHandle(const std::shared_ptr<DatabaseImpl>& d, const std::string& name, int flags, bool exclusive) {
    int rc = sqlite3_open_v2(name.c_str(), &d->db, flags, nullptr);
    if (rc != SQLITE_OK) {
        std::string msg = d->db ? sqlite3_errmsg(d->db) : "out of memory";
        sqlite3_close_v2(d->db);
        d->db = nullptr;
        Fail(err::kFileNotFound, "The database '" + d->path + "' cannot be opened: " + msg + ".");
    }
    sqlite3_extended_result_codes(d->db, 1);
    sqlite3_busy_handler(d->db, WaitForLock, nullptr);
    sqlite3_rollback_hook(
        d->db, [](void* impl) { static_cast<DatabaseImpl*>(impl)->CountRollback(); }, d.get());
    // An unknown "name" must stay an error (3061), never turn into a text.
    sqlite3_db_config(d->db, SQLITE_DBCONFIG_DQS_DML, 0, nullptr);
    sqlite3_db_config(d->db, SQLITE_DBCONFIG_DQS_DDL, 0, nullptr);
    if (exclusive) Exec(d->db, "PRAGMA locking_mode=EXCLUSIVE");
    Stmt probe(d->db, "SELECT count(*) FROM sqlite_master");
    probe.Step();
}

// Read as immutable, changes still in the write-ahead log would be left out
// without a word: the file would show as it was before them.
void RefuseUnreadLog(const std::string& path) {
    std::error_code ec;
    const std::string log = path + "-wal";
    if (std::filesystem::exists(log, ec) && std::filesystem::file_size(log, ec) > 0) {
        Fail(err::kFileNotFound,
             "The database '" + path + "' cannot be opened: changes to it are still in its log '" + log +
                 "', which cannot be read while the folder cannot be written. Open it once where it can be "
                 "written (or copy it with its log to such a folder).");
    }
}

// The connection known by its file's device and inode, and among the open files.
void AddToOpenFiles(const std::shared_ptr<DatabaseImpl>& d) {
    struct stat st {};
    if (::stat(d->path.c_str(), &st) == 0) {
        d->device = st.st_dev;
        d->inode = st.st_ino;
        d->identified = true;
    }
    std::lock_guard lock(OpenFilesMutex());
    OpenFiles().push_back(d.get());
}

// Opens one connection. The file's journal mode is left as the file has it
// (rollback or WAL): opening and reading never change the user's file. A
// file that cannot be written (the file or its folder) opens read-only.
std::shared_ptr<DatabaseImpl> OpenConnection(const std::shared_ptr<WorkspaceImpl>& ws, const std::string& path,
                                             bool create, bool exclusive, bool readOnly) {
    auto d = std::make_shared<DatabaseImpl>();
    d->path = CanonicalPath(path);
    if (!create && !readOnly && !CanWrite(d->path)) readOnly = true;
    d->readOnly = readOnly;
    d->ws = ws;
    const int flags = (readOnly ? SQLITE_OPEN_READONLY : SQLITE_OPEN_READWRITE) | (create ? SQLITE_OPEN_CREATE : 0) |
                      SQLITE_OPEN_FULLMUTEX;
    try {
        try {
            OpenHandle(d, d->path, flags, exclusive);
        } catch (const vb::VbError& e) {
            // A WAL file in a folder that cannot be written: SQLite cannot
            // make its shared-memory file, so read the file as it stands.
            if (!readOnly || e.Number() != err::kFileNotFound || !HeaderSaysWal(d->path)) throw;
            RefuseUnreadLog(d->path);
            d->Close();
            OpenHandle(d, ImmutableUri(d->path), flags | SQLITE_OPEN_URI, exclusive);
        }
    } catch (const vb::VbError& e) {
        std::string path2 = d->path;
        d->Close();
        if (e.Number() == err::kUnrecognizedFormat)
            Fail(err::kUnrecognizedFormat, "'" + path2 + "' is not a database file this program can read.");
        throw;
    }
    RegisterJetFunctions(d->db);
    AddToOpenFiles(d);
    return d;
}

DatabasePtr Register(const std::shared_ptr<WorkspaceImpl>& ws, const std::shared_ptr<DatabaseImpl>& d,
                     const std::string& connect) {
    d->connect = connect;
    auto db = std::make_shared<Database>(d);
    std::lock_guard lock(ws->mu);
    ws->databases.push_back(d);
    ws->dbCollection->items_.push_back(db);
    ws->JoinTransaction(*d);
    return db;
}
}  // namespace

DatabasePtr Workspace::OpenDatabase(const std::string& path, bool exclusive, bool readOnly,
                                    const std::string& connect) {
    if (impl_->closed) Fail(err::kObjectClosed, "The workspace '" + impl_->name + "' is closed.");
    std::string full = CanonicalPath(path);
    if (path.empty() || !std::filesystem::is_regular_file(full))
        Fail(err::kFileNotFound, "The database file '" + full + "' does not exist.");
    auto d = OpenConnection(impl_, full, false, exclusive, readOnly);
    if (auto hash = d->CatalogText("D", "", "", "Password"); hash && !hash->empty()) {
        if (!VerifyPassword(*hash, ConnectValue(connect, "pwd"))) {
            d->Close();
            Fail(err::kBadPassword, "The password given for the database '" + full + "' is not valid.");
        }
    }
    return Register(impl_, d, connect);
}

DatabasePtr Workspace::CreateDatabase(const std::string& path, const std::string& locale) {
    if (impl_->closed) Fail(err::kObjectClosed, "The workspace '" + impl_->name + "' is closed.");
    std::string full = CanonicalPath(path);
    if (std::filesystem::exists(full)) Fail(err::kDatabaseExists, "The database '" + full + "' already exists.");
    if (!locale.empty() && ConnectValue(locale, "LANGID").empty())
        Fail(err::kNotSupported, "The locale '" + locale + "' is not one this program knows.");
    auto d = OpenConnection(impl_, full, true, false, false);
    return Register(impl_, d, {});
}

void Workspace::BeginTrans() {
    std::lock_guard lock(impl_->mu);
    if (impl_->transactionLevel >= 5) Fail(err::kNotSupported, "Transactions can be nested five levels deep at most.");
    for (auto& w : impl_->databases)
        if (auto d = w.lock(); d && d->db) d->WritePendingRows();
    ++impl_->transactionLevel;
    for (auto& w : impl_->databases)
        if (auto d = w.lock(); d && d->db) impl_->JoinTransaction(*d);
}

void Workspace::CommitTrans(int32_t) {
    std::lock_guard lock(impl_->mu);
    if (impl_->transactionLevel == 0) Fail(err::kNoTransaction, "There is no transaction to commit.");
    int level = impl_->transactionLevel;
    for (auto& w : impl_->databases) {
        auto d = w.lock();
        if (!d || !d->db || d->transactionDepth < level) continue;
        d->WritePendingRows();
        if (level == 1 && !d->workspaceSavepointBase) {
            if (sqlite3_get_autocommit(d->db)) FailUndone(*d);
            d->DropTablesSetAside();
            Exec(d->db, "COMMIT");
        } else
            Exec(d->db, "RELEASE dao_level" + std::to_string(level));
        d->transactionDepth = level - 1;
        d->DetachUnused();
    }
    --impl_->transactionLevel;
}

void Workspace::Rollback() {
    std::lock_guard lock(impl_->mu);
    if (impl_->transactionLevel == 0) Fail(err::kNoTransaction, "There is no transaction to roll back.");
    int level = impl_->transactionLevel;
    for (auto& w : impl_->databases) {
        auto d = w.lock();
        if (!d || !d->db || d->transactionDepth < level) continue;
        // A rollback that undoes a schema change aborts running reads; the
        // record sets resume at their rows instead.
        d->ParkRecordsets();
        d->DropPendingRows();
        if (level == 1 && !d->workspaceSavepointBase) {
            // SQLite may have undone it already, after an error such as a full disk.
            if (!sqlite3_get_autocommit(d->db)) Exec(d->db, "ROLLBACK");
        } else {
            std::string sp = "dao_level" + std::to_string(level);
            Exec(d->db, "ROLLBACK TO " + sp);
            d->CountRollback();
            Exec(d->db, "RELEASE " + sp);
        }
        if (sqlite3_get_autocommit(d->db)) d->setAside.clear();
        d->transactionDepth = level - 1;
        d->tables.clear();
        d->schemaVersion = -1;
        d->DetachUnused();
    }
    --impl_->transactionLevel;
}

void Workspace::Close() {
    if (impl_->transactionLevel > 0) {
        while (impl_->transactionLevel > 0) Rollback();
    }
    std::vector<std::weak_ptr<DatabaseImpl>> dbs;
    {
        std::lock_guard lock(impl_->mu);
        dbs = impl_->databases;
    }
    for (auto& w : dbs)
        if (auto d = w.lock()) d->Close();
    std::lock_guard lock(impl_->mu);
    impl_->databases.clear();
    impl_->dbCollection->items_.clear();
    impl_->closed = true;
}

// --- Database ---------------------------------------------------------------------

Database::Database(std::shared_ptr<DatabaseImpl> impl) : impl_(std::move(impl)) {}
Database::~Database() = default;
const std::string& Database::Name() const { return impl_->path; }
std::string Database::Connect() const { return impl_->connect; }
bool Database::Updatable() const { return !impl_->readOnly; }
int32_t Database::RecordsAffected() const { return impl_->recordsAffected; }
void Database::Close() { impl_->Close(); }

void Database::Execute(const std::string& sql, int32_t) {
    impl_->CheckOpen();
    auto p = impl_->PrepareJet(sql);
    struct Release {
        DatabaseImpl::Prepared* p;
        ~Release() { p->runOn->Release(p->attachments); }
    } release{&p};
    Stmt s(p.runOn->db, p.sql);
    if (sqlite3_stmt_readonly(s.get()) && sqlite3_column_count(s.get()) > 0)
        Fail(err::kCannotExecuteSelect, "A select query cannot be executed; open it as a record set.");
    // One statement is atomic in SQLite: a failing row undoes the whole
    // statement and raises, with or without dbFailOnError.
    int64_t before = p.runOn->SchemaVersion();
    p.runOn->StepDdl(s, p.sql);
    impl_->recordsAffected = sqlite3_changes(p.runOn->db);
    s.Finalize();
    if (p.runOn->SchemaVersion() != before) p.runOn->PurgeCatalog();
    p.runOn->schemaVersion = -1;
}

namespace {
struct DefinedFunction {
    Database::FunctionObserver observer;
    std::vector<Database::StoredArgument> arguments;  // kept from call to call
};

void CallDefinedFunction(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    auto* f = static_cast<DefinedFunction*>(sqlite3_user_data(ctx));
    // Calls on one connection come one at a time: SQLite holds its lock.
    f->arguments.resize(static_cast<size_t>(argc));
    for (int i = 0; i < argc; ++i) {
        Database::StoredArgument& a = f->arguments[static_cast<size_t>(i)];
        a.bytes = {};
        a.kind = StoredOf(argv[i], a.integer, a.real, a.bytes);
    }
    try {
        f->observer(f->arguments);
        sqlite3_result_null(ctx);
    } catch (const std::exception& e) {
        sqlite3_result_error(ctx, e.what(), -1);
    }
}
}  // namespace

bool Database::DefineFunction(const std::string& name, FunctionObserver observer) {
    impl_->CheckOpen();
    if (!impl_->definedFunctions.insert(vb::UCase(name)).second) return false;
    auto* f = new DefinedFunction{std::move(observer), {}};
    // Not deterministic: it is called for every row, never once for many.
    // Direct only: the SQL of a view, a trigger or the schema, which any
    // user of the file can write, cannot call it.
    const int rc =
        sqlite3_create_function_v2(impl_->db, name.c_str(), -1, SQLITE_UTF8 | SQLITE_DIRECTONLY, f, CallDefinedFunction,
                                   nullptr, nullptr, [](void* p) { delete static_cast<DefinedFunction*>(p); });
    if (rc != SQLITE_OK) {
        impl_->definedFunctions.erase(vb::UCase(name));
        throw vb::VbError(vb::err::kOutOfMemory, "Could not define the SQL function " + name + ".");
    }
    return true;
}

bool Database::SameFile(const Database& other) const {
    const DatabaseImpl& a = *impl_;
    const DatabaseImpl& b = *other.impl_;
    if (a.identified && b.identified) return a.device == b.device && a.inode == b.inode;
    return a.path == b.path;
}

std::string Database::SchemaObjectType(const std::string& name) const {
    impl_->CheckOpen();
    // Tables, views and indexes share one namespace; a trigger of the same
    // name lives beside them, so it is named only when nothing else is.
    Stmt s(impl_->db, "SELECT type FROM sqlite_master WHERE name = ?1 COLLATE NOCASE ORDER BY type = 'trigger'");
    s.Bind(1, name);
    if (!s.Step()) return {};
    return s.Text(0);
}

void Database::BeginTrans(bool write) {
    impl_->CheckOpen();
    impl_->WritePendingRows();
    sqlite3* db = impl_->db;
    if (!sqlite3_get_autocommit(db)) {
        Exec(db, "SAVEPOINT dao_own" + std::to_string(impl_->ownLevels.size() + 1));
        impl_->ownLevels.push_back(false);
        return;
    }
    const char* begin = write && !impl_->readOnly ? "BEGIN IMMEDIATE" : "BEGIN";
    const auto started = std::chrono::steady_clock::now();
    int rc = sqlite3_exec(db, begin, nullptr, nullptr, nullptr);
    if ((rc & 0xff) == SQLITE_BUSY) {
        // A read still open on this connection (a record set part-way
        // through) holds an older snapshot, which cannot become a write:
        // park the record sets and try again, waiting only for what is left
        // of the one lock wait.
        if (!sqlite3_get_autocommit(db)) sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr);
        impl_->ParkRecordsets();
        struct Spent {
            explicit Spent(int ms) { lockWaitSpentMs = ms; }
            ~Spent() { lockWaitSpentMs = 0; }
        } spent(static_cast<int>(std::min<int64_t>(
            std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - started).count(),
            lockWaitMs.load())));
        rc = sqlite3_exec(db, begin, nullptr, nullptr, nullptr);
    }
    if (rc != SQLITE_OK) {
        try {
            RaiseSqlite(db, rc, begin);
        } catch (...) {
            if (!sqlite3_get_autocommit(db)) sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr);
            throw;
        }
    }
    impl_->ownLevels.push_back(true);
}

void Database::CommitTrans() {
    impl_->CheckOpen();
    if (impl_->ownLevels.empty()) Fail(err::kNoTransaction, "There is no transaction to commit.");
    const bool began = impl_->ownLevels.back();
    impl_->WritePendingRows();
    if (began) {
        if (sqlite3_get_autocommit(impl_->db)) FailUndone(*impl_);
        impl_->DropTablesSetAside();
        Exec(impl_->db, "COMMIT");
    } else
        Exec(impl_->db, "RELEASE dao_own" + std::to_string(impl_->ownLevels.size()));
    impl_->ownLevels.pop_back();
    impl_->DetachUnused();
}

void Database::Rollback() {
    impl_->CheckOpen();
    if (impl_->ownLevels.empty()) Fail(err::kNoTransaction, "There is no transaction to roll back.");
    const bool began = impl_->ownLevels.back();
    // A rollback that undoes a schema change aborts running reads; the
    // record sets resume at their rows instead.
    impl_->ParkRecordsets();
    impl_->DropPendingRows();
    if (began) {
        // SQLite may have undone it already, after an error such as a full disk.
        if (!sqlite3_get_autocommit(impl_->db)) Exec(impl_->db, "ROLLBACK");
    } else {
        const std::string sp = "dao_own" + std::to_string(impl_->ownLevels.size());
        Exec(impl_->db, "ROLLBACK TO " + sp);
        impl_->CountRollback();
        Exec(impl_->db, "RELEASE " + sp);
    }
    if (sqlite3_get_autocommit(impl_->db)) impl_->setAside.clear();
    impl_->ownLevels.pop_back();
    impl_->tables.clear();
    impl_->schemaVersion = -1;
    impl_->DetachUnused();
}

void Database::NewPassword(const std::string& oldPassword, const std::string& newPassword) {
    impl_->CheckOpen();
    auto hash = impl_->CatalogText("D", "", "", "Password");
    if (hash && !hash->empty() && !VerifyPassword(*hash, oldPassword))
        Fail(err::kBadPassword, "The old password of the database '" + impl_->path + "' is not valid.");
    impl_->SetCatalog("D", "", "", "Password",
                      newPassword.empty() ? vb::Variant::Null() : vb::Variant(HashPassword(newPassword)));
}

// --- the engine ---------------------------------------------------------------------

Engine::Engine() : systemDb_(ProgramFolder() + "/Merivox.MDW") {}
Engine::~Engine() = default;

namespace {
std::mutex workspacesMutex;
}  // namespace

std::shared_ptr<Workspaces> Engine::Workspaces() {
    std::lock_guard lock(workspacesMutex);
    if (!workspaces_) {
        workspaces_ = std::make_shared<dao::Workspaces>();
        workspaces_->items_.push_back(std::make_shared<Workspace>("#Default Workspace#", DefaultUser()));
        auto list = workspaces_.get();
        workspaces_->onAppend_ = [list](const WorkspacePtr& w) {
            if (!w->Name().empty() && list->Contains(w->Name()))
                Fail(err::kPropertyExists, "A workspace named '" + w->Name() + "' is already open.");
        };
    }
    return workspaces_;
}

WorkspacePtr Engine::CreateWorkspace(const std::string& name, const std::string& user, const std::string& password,
                                     int32_t type) {
    if (type != dbUseJet)
        Fail(err::kNotSupported, "Only workspaces of the database engine itself (dbUseJet) are supported.");
    if (!std::filesystem::is_regular_file(systemDb_))
        Fail(err::kWorkgroupMissing, "The workgroup information file '" + systemDb_ + "' is missing.");
    // A file that cannot be read says so, rather than passing for a wrong
    // password.
    if (const int fd = ::open(systemDb_.c_str(), O_RDONLY | O_CLOEXEC); fd < 0)
        Fail(err::kWorkgroupMissing,
             "The workgroup information file '" + systemDb_ + "' cannot be read: " + std::strerror(errno) + ".");
    else
        ::close(fd);
    if (!CheckAccount(systemDb_, user, password))
        Fail(err::kBadAccount, "The account name or password is not valid for the workgroup '" + systemDb_ + "'.");
    return std::make_shared<Workspace>(name, user);
}

DatabasePtr Engine::OpenDatabase(const std::string& path, bool exclusive, bool readOnly, const std::string& connect) {
    return Workspaces(0)->OpenDatabase(path, exclusive, readOnly, connect);
}
DatabasePtr Engine::CreateDatabase(const std::string& path, const std::string& locale) {
    return Workspaces(0)->CreateDatabase(path, locale);
}
void Engine::BeginTrans() { Workspaces(0)->BeginTrans(); }
void Engine::CommitTrans(int32_t options) { Workspaces(0)->CommitTrans(options); }
void Engine::Rollback() { Workspaces(0)->Rollback(); }

void Engine::Idle(int32_t action) {
    if (!workspaces_) return;
    for (auto& w : *Workspaces()) {
        std::lock_guard lock(w->Impl()->mu);
        for (auto& wd : w->Impl()->databases) {
            auto d = wd.lock();
            // Another thread's connection is that thread's to tidy.
            if (!d || !d->db || d->thread != std::this_thread::get_id()) continue;
            if (action & dbRefreshCache) d->DetachUnused();
            d->tables.clear();
            d->schemaVersion = -1;
        }
    }
}

namespace {
std::mutex engineMutex;
std::unique_ptr<Engine> engine;
}  // namespace

Engine& DBEngine() {
    std::lock_guard lock(engineMutex);
    if (!engine) engine = std::make_unique<Engine>();
    return *engine;
}

LockWaitObserver SetLockWaitObserver(LockWaitObserver observer) {
    std::swap(observer, lockWaitObserver);
    return observer;
}

NoLockWait::NoLockWait() : limit_(0) {}

LockWaitLimit::LockWaitLimit(int ms) : before_(lockWaitLimitMs) {
    lockWaitLimitMs = std::min(before_, std::max(ms, 0));
}
LockWaitLimit::~LockWaitLimit() { lockWaitLimitMs = before_; }

void LockWaitTimeout(int ms) { lockWaitMs = std::max(ms, 0); }
int LockWaitTimeout() { return lockWaitMs; }

void ReleaseDBEngine() {
    std::lock_guard lock(engineMutex);
    engine.reset();
}

std::string SqliteVersion() { return sqlite3_libversion(); }

// --- workgroup files -------------------------------------------------------------------

namespace {
struct Conn {
    sqlite3* db = nullptr;
    ~Conn() { sqlite3_close_v2(db); }
};
void OpenWorkgroup(Conn& c, const std::string& path, bool create) {
    int flags = SQLITE_OPEN_READWRITE | (create ? SQLITE_OPEN_CREATE : 0);
    if (sqlite3_open_v2(path.c_str(), &c.db, flags, nullptr) != SQLITE_OK)
        Fail(err::kWorkgroupMissing, "The workgroup information file '" + path + "' cannot be opened.");
    sqlite3_extended_result_codes(c.db, 1);
    sqlite3_busy_timeout(c.db, 10000);
}
}  // namespace

void CreateWorkgroupFile(const std::string& path) {
    if (std::filesystem::exists(path))
        Fail(err::kDatabaseExists, "The workgroup information file '" + path + "' already exists.");
    // It holds password hashes: readable and writable by its owner only,
    // whatever the umask (SQLite gives its journal the same mode).
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0) Fail(err::kWorkgroupMissing, "The workgroup information file '" + path + "' cannot be created.");
    ::fchmod(fd, 0600);
    ::close(fd);
    {
        Conn c;
        OpenWorkgroup(c, path, true);
        Exec(c.db, "CREATE TABLE accounts(name TEXT PRIMARY KEY COLLATE NOCASE, hash TEXT NOT NULL)");
    }
    SetAccount(path, "Admin", "");
}

void SetAccount(const std::string& workgroupPath, const std::string& user, const std::string& password) {
    CheckName(user);
    Conn c;
    OpenWorkgroup(c, workgroupPath, false);
    Stmt s(c.db, "INSERT OR REPLACE INTO accounts(name, hash) VALUES (?1, ?2)");
    s.Bind(1, user);
    s.Bind(2, HashPassword(password));
    s.Step();
}

bool CheckAccount(const std::string& workgroupPath, const std::string& user, const std::string& password) {
    Conn c;
    if (sqlite3_open_v2(workgroupPath.c_str(), &c.db, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK) return false;
    sqlite3_stmt* st = nullptr;
    if (sqlite3_prepare_v2(c.db, "SELECT hash FROM accounts WHERE name = ?1", -1, &st, nullptr) != SQLITE_OK) {
        sqlite3_finalize(st);
        Fail(err::kWorkgroupMissing, "'" + workgroupPath + "' is not a workgroup information file.");
    }
    sqlite3_bind_text(st, 1, user.c_str(), -1, SQLITE_TRANSIENT);
    std::string hash;
    bool noHash = false;
    if (sqlite3_step(st) == SQLITE_ROW) {
        // Another tool may have left an account without a hash (Null).
        const unsigned char* text = sqlite3_column_text(st, 0);
        if (text) {
            hash = reinterpret_cast<const char*>(text);
        } else {
            noHash = true;
        }
    }
    sqlite3_finalize(st);
    if (noHash) {
        Fail(err::kBadAccount, "The account '" + user + "' of the workgroup information file '" + workgroupPath +
                                   "' has no password hash; the file is damaged. Set the account's password again "
                                   "with merivox-workgroup.");
    }
    return !hash.empty() && VerifyPassword(hash, password);
}

void SetDatabasePassword(const std::string& databasePath, const std::string& password) {
    Workspace ws("#Administration#", "admin");
    std::shared_ptr<WorkspaceImpl> impl = ws.Impl();
    std::string full = CanonicalPath(databasePath);
    if (!std::filesystem::is_regular_file(full))
        Fail(err::kFileNotFound, "The database file '" + full + "' does not exist.");
    auto d = OpenConnection(impl, full, false, false, false);
    d->SetCatalog("D", "", "", "Password",
                  password.empty() ? vb::Variant::Null() : vb::Variant(HashPassword(password)));
    d->Close();
}

}  // namespace dao
