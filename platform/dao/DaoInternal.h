// Private to the data-access layer: connections, statements, catalog and
// record-set state. Nothing outside platform/dao includes this file.
#pragma once

#include <sqlite3.h>

#include <sys/types.h>

#include <atomic>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <thread>
#include <unordered_map>
#include <vector>

#include "dao/Dao.h"
#include "dao/JetSql.h"

namespace dao {

inline constexpr const char* kCatalog = "_dao_catalog";

[[noreturn]] void Fail(int32_t number, const std::string& description);

// "name" with embedded quotes doubled; the name has passed CheckName.
std::string QuoteId(std::string_view name);
// 'text' with embedded apostrophes doubled.
std::string QuoteText(std::string_view text);
std::string Fold(std::string_view s);

// Case-insensitive hashing for name lookups without allocation.
struct NoCaseHash {
    using is_transparent = void;
    size_t operator()(std::string_view s) const noexcept;
};
struct NoCaseEq {
    using is_transparent = void;
    bool operator()(std::string_view a, std::string_view b) const noexcept;
};

// A prepared statement, finalized on destruction.
class Stmt {
public:
    Stmt() = default;
    Stmt(sqlite3* db, std::string_view sql);  // raises the mapped error
    ~Stmt();
    Stmt(Stmt&& o) noexcept : st_(o.st_) { o.st_ = nullptr; }
    Stmt& operator=(Stmt&& o) noexcept;
    Stmt(const Stmt&) = delete;
    Stmt& operator=(const Stmt&) = delete;
    sqlite3_stmt* get() const { return st_; }
    explicit operator bool() const { return st_ != nullptr; }
    bool Step();  // true on a row, false when done; raises the mapped error
    void Reset();
    void Bind(int i, const std::string& s);
    void Bind(int i, int64_t v);
    void Bind(int i, double v);
    void BindNull(int i);
    std::string Text(int col) const;
    void Finalize();

private:
    sqlite3_stmt* st_ = nullptr;
};

// Holds the connection's own lock for a run of calls on it: each call then
// re-enters the lock it holds instead of taking it anew.
class HoldConnection {
public:
    explicit HoldConnection(sqlite3* db) : mutex_(sqlite3_db_mutex(db)) { sqlite3_mutex_enter(mutex_); }
    ~HoldConnection() { sqlite3_mutex_leave(mutex_); }
    HoldConnection(const HoldConnection&) = delete;
    HoldConnection& operator=(const HoldConnection&) = delete;

private:
    sqlite3_mutex* mutex_;
};

// While one stands, a statement of the calling thread that meets another
// connection's lock fails at once (3260) instead of waiting for it: for looks
// at the file that are simply made again later.
class NoLockWait {
public:
    NoLockWait();

private:
    LockWaitLimit limit_;
};

// Raises the DAO error for an SQLite failure on `db` (constraint names map
// back to their DAO numbers; see DaoCore.cpp).
[[noreturn]] void RaiseSqlite(sqlite3* db, int rc, std::string_view context = {});
void Exec(sqlite3* db, std::string_view sql);

// A value's kind as stored and its number or bytes (valid while the value is).
Field::Stored StoredOf(sqlite3_value* v, int64_t& integer, double& real, std::string_view& bytes);

// Jet facts of a column.
struct FieldDef {
    std::string name;
    int16_t type = dbText;
    int32_t size = 0;
    int32_t attributes = 0;
    bool allowZeroLength = false;
    bool required = false;
    std::string defaultValue;
    std::string validationRule;
    std::string validationText;
    int16_t ordinal = 0;
    int32_t collatingOrder = dbSortGeneral;
    std::string sourceTable;
    std::string sourceField;
    std::vector<std::pair<std::string, vb::Variant>> userProps;  // name -> value (type kept in the value)
    std::vector<int16_t> userPropTypes;
};

struct IndexInfo {
    std::string name;     // DAO name
    std::string sqlName;  // SQLite name
    bool primary = false;
    bool unique = false;
    std::vector<std::string> fields;
};

struct TableInfo {
    std::string name;  // as stored
    std::vector<FieldDef> fields;
    std::vector<IndexInfo> indexes;
    int autoIncrement = -1;  // index of the auto-increment field
    bool hasRowid = true;
    // The name that reaches the row key: "_rowid_", "rowid" or "oid", the
    // first no column of the table takes (a column of that name hides it).
    std::string rowid = "_rowid_";
    bool isView = false;
    int FindField(std::string_view name) const;
};

struct WorkspaceImpl;
struct RecordsetState;

// One open database: one connection.
struct DatabaseImpl : std::enable_shared_from_this<DatabaseImpl> {
    sqlite3* db = nullptr;
    std::string path;  // full path
    std::string connect;
    bool readOnly = false;
    std::weak_ptr<WorkspaceImpl> ws;
    int32_t recordsAffected = 0;
    std::vector<RecordsetState*> recordsets;  // open ones, closed with the database (changed under OpenFilesMutex)
    int transactionDepth = 0;                 // levels begun on this connection
    bool workspaceSavepointBase = false;      // the workspace's first level is a savepoint (own transaction open)
    // Levels of the database's own transactions (Database::BeginTrans): true
    // for a level that began the SQLite transaction, false for a savepoint.
    std::vector<bool> ownLevels;
    // The file's identity, to tell two connections to one file apart from
    // two files.
    dev_t device = 0;
    ino_t inode = 0;
    bool identified = false;
    // The thread that opened the connection: process-wide housekeeping
    // (DBEngine.Idle) leaves other threads' connections alone.
    std::thread::id thread = std::this_thread::get_id();

    // Files attached for IN '<file>' clauses: path -> (schema, users).
    struct Attachment {
        std::string schema;
        int users = 0;
    };
    std::map<std::string, Attachment> attached;
    int nextAttachment = 1;
    // Names given to Database::DefineFunction (folded).
    std::set<std::string> definedFunctions;

    // Rollbacks on this connection, whole or to a savepoint: they change what
    // it reads, where neither PRAGMA data_version (another connection's
    // commits) nor the change count (this one's writes) moves. SQLite's
    // rollback hook counts the whole ones; the layer counts its own
    // ROLLBACK TO, which no hook hears.
    std::atomic<int64_t> rollbacks{0};
    void CountRollback() { rollbacks.fetch_add(1, std::memory_order_relaxed); }

    // Schema cache.
    int64_t schemaVersion = -1;
    std::unordered_map<std::string, std::shared_ptr<TableInfo>> tables;  // key folded
    bool catalogExists = false;

    ~DatabaseImpl();
    void CheckOpen() const;
    void Close();
    int64_t SchemaVersion();
    void SyncSchema();
    // The stored table or view with this name (case-insensitive), or nullptr.
    std::shared_ptr<TableInfo> FindTable(std::string_view name);
    // The three sources FindTable fills a table's description from.
    void ReadColumns(TableInfo& info);
    void FindRowKey(TableInfo& info);
    void ReadCatalogFacts(TableInfo& info);
    void ReadSqliteIndexes(TableInfo& info);
    std::shared_ptr<TableInfo> Table(std::string_view name);                         // 3078-like 3265 when absent
    std::optional<std::string> StoredName(std::string_view name, const char* type);  // from sqlite_master
    void EnsureCatalog();
    void SetCatalog(const std::string& kind, const std::string& tbl, const std::string& name, const std::string& prop,
                    const vb::Variant& value);
    std::optional<std::string> CatalogText(const std::string& kind, const std::string& tbl, const std::string& name,
                                           const std::string& prop);
    void DeleteCatalog(const std::string& kind, const std::string& tbl);
    // Drops catalog rows of tables and saved queries that no longer exist
    // (dropped by SQL or by another tool), so a new object of the same name
    // never inherits them.
    void PurgeCatalog();

    // Jet SQL -> SQLite SQL on this database (attaching files as needed).
    // `runOn` receives the connection to run on (this one or another open
    // database of the workspace); `attachments` the paths attached for it.
    struct Prepared {
        std::shared_ptr<DatabaseImpl> runOn;
        std::string sql;
        std::vector<std::string> attachments;  // paths to release on runOn
    };
    Prepared PrepareJet(const std::string& jetSql);
    void Release(const std::vector<std::string>& attachments);
    std::string AttachSchema(const std::string& filePath);
    void DetachUnused();

    // Schema changes while record sets are open (DaoRecordset.cpp).
    // Runs one DDL statement: a drop of a table, view or index that an open
    // record set on this connection reads raises 3211; when SQLite refuses
    // because statements are active (SQLITE_LOCKED), the record sets are
    // parked and the statement runs again.
    void ExecDdl(const std::string& sql);
    // DROP TABLE, the freed pages left as they are (secure deletion FAST for
    // this drop only); DropTablesSetAside drops the same way.
    void DropTable(const std::string& table);
    void StepDdl(Stmt& s, std::string_view sql);
    // Resets the statements of the record sets running on this connection;
    // each resumes at its row when next used. Also needed before a rollback
    // that undoes a schema change, which would abort their reads.
    void ParkRecordsets();
    // Batched appends on this connection (dbAppendInBatches): writes the rows
    // waiting, or drops them when their transaction is rolled back.
    void WritePendingRows();
    void DropPendingRows();
    // Whether a statement of this connection is part-way through its rows.
    bool ReadsRunning() const;
    // Drops a table inside an open transaction without interrupting the
    // reads running on the connection (a sorted read, once reset, sorts
    // again): the table is renamed aside now and dropped just before the
    // transaction commits. The same refusals as a drop apply.
    void DropTableLater(const std::string& table);
    // Drops the tables set aside; called before a COMMIT. A rollback that
    // undid a renaming leaves nothing to drop under that name.
    void DropTablesSetAside();
    std::vector<std::string> setAside;  // names of tables renamed aside in the open transaction
    int nextAside = 1;
};

// Every open connection of the process, so that a drop on one connection
// can see the record sets of the others on the same file. The mutex also
// guards each connection's `recordsets` list.
std::mutex& OpenFilesMutex();
std::vector<DatabaseImpl*>& OpenFiles();

struct WorkspaceImpl : std::enable_shared_from_this<WorkspaceImpl> {
    // Guards the lists below: engine objects in several threads share the
    // default workspace.
    mutable std::recursive_mutex mu;
    std::string name;
    std::string user;
    std::vector<std::weak_ptr<DatabaseImpl>> databases;
    std::shared_ptr<Collection<Database>> dbCollection;
    int transactionLevel = 0;
    bool closed = false;
    std::shared_ptr<DatabaseImpl> FindOpen(const std::string& path) const;
    void JoinTransaction(DatabaseImpl& db);
};

// Opens a record set on a database (Database::OpenRecordset and friends).
RecordsetPtr OpenRecordsetOn(const std::shared_ptr<DatabaseImpl>& db, const std::string& source, int16_t type,
                             int32_t options);
void CloseRecordsetState(RecordsetState* rs);

// What a RowPager needs of a record set (DaoRecordset.cpp).
struct PagingSource {
    std::shared_ptr<DatabaseImpl> run;  // the connection it runs on
    std::string sql;                    // its statement; column `off` holds its first field
    int off = 0;
    std::string table;  // a stored table it reads whole, in key order; empty otherwise
    std::string rowid;  // that table's name for its row key
    std::vector<std::string> names;
    std::vector<int16_t> types;
};
PagingSource PagingSourceOf(const RecordsetState& rs);
// The same source as the file has it now, after a schema change: a table's
// columns and row key described afresh, a statement's columns as it gives
// them now. Raises 3078 when the table is gone.
PagingSource PagingSourceNow(const RecordsetState& rs);
bool RecordsetClosed(const RecordsetState& rs);
// Resets the set's running statement, so it holds no read of the file; it
// resumes at its row when next used.
void ParkRecordset(RecordsetState& rs);
// The DAO type of a declared SQLite column type (tables from other tools).
void InferType(std::string_view declType, FieldDef& f);
// Converts a column value of a row to a Variant of the field's type.
vb::Variant ReadValue(sqlite3_stmt* st, int col, int16_t type);
// Binds a Variant as the storage of the field's type.
void BindValue(sqlite3_stmt* st, int index, const vb::Variant& v, const FieldDef& f);
std::string CanonicalPath(const std::string& path);
std::string HashPassword(const std::string& password);
bool VerifyPassword(const std::string& hash, const std::string& password);

}  // namespace dao
