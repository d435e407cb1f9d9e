// The data-access objects (DBEngine, Workspace, Database, TableDef, Field,
// Index, Property, QueryDef, Recordset) over SQLite.
//
// How it maps onto SQLite:
// - A Database is an SQLite file; each open Database is one connection with a
//   busy timeout. Any SQLite file is a database to us. The file's journal
//   mode (rollback or WAL) is the file's own and is never changed, so a look
//   at a file writes nothing to it; new files are rollback-journal files. A
//   file that cannot be written (the file or its folder) opens read-only
//   (Updatable false); a WAL file in a folder that cannot be written is read
//   as it stands.
// - What SQLite does not keep (DAO type code, size, auto-increment, zero-length
//   rule, validation rule and text, user-defined properties, DAO index names,
//   the database password, the Jet text of saved queries) lives in the hidden
//   table "_dao_catalog", made on the first write that needs it and never
//   listed in TableDefs. Tables without catalog rows (made by other tools) get
//   their types from the declared column types.
// - Rules are enforced by SQLite itself through named column constraints
//   (CHECK for size, zero-length, ranges and validation rules; NOT NULL;
//   DEFAULT; unique indexes), so SQL statements and record sets obey the same
//   rules. The constraint name tells which DAO error a failure maps back to.
// - Text columns are COLLATE NOCASE (CollatingOrder 1033); another collation
//   reports 1024 (binary). Booleans are -1/0, dates ISO-8601 text.
// - An auto-increment Long is the table's INTEGER PRIMARY KEY AUTOINCREMENT
//   (rowid alias): SQLite then assigns new numbers, never reuses them and
//   accepts explicit values, which is what Jet's counters do. A table can
//   therefore have one such column, as in Jet.
// - Jet SQL given to OpenRecordset, Execute and CreateQueryDef goes through
//   the translator (JetSql.h). A table in another file (IN '<file>') is read
//   on that file's own connection when the file is open in the same
//   workspace and the statement touches nothing else, so it sees the
//   workspace's uncommitted work; otherwise the file is ATTACHed by a bound
//   path for the life of the statement.
// - Record sets stream: the current row is read straight from the running
//   statement (fields by position without any lookup, by name through one
//   case-insensitive hash per record set). Backward moves, bookmarks and
//   AbsolutePosition use row keys (rowids) collected only once asked for; a
//   set without keys (aggregates, joins) re-runs its statement to go back.
//   Updatable sets (table-type and single-table queries) carry the rowid as
//   a hidden first column; appends reuse one prepared INSERT.
// - Snapshots stream like dynasets (their statement's sort gives them their
//   fixed content). A record set positioned on a row holds a read
//   snapshot, so its connection sees others' commits after Requery or Close
//   (in a rollback-journal file it also holds off other connections' commits
//   until then).
// - Schema changes while record sets are open: SQLite refuses DROP TABLE and
//   DROP INDEX (SQLITE_LOCKED) while any other statement of the connection
//   is active, where Jet lets a program drop and create tables while record
//   sets on other tables are part-way through. When a DDL statement (from
//   TableDefs, Indexes, QueryDefs or Execute) meets SQLITE_LOCKED, the layer
//   resets the statements of its own record sets on that connection
//   ("parks" them) and runs the DDL again; the same happens before a
//   rollback, which would otherwise abort their reads. A parked set re-runs
//   its statement when next used, up to the row it stood on: by row key
//   where it has one (rows added or removed before it do not shift it), else
//   by counting rows; positions, bookmarks and cached keys are unchanged.
//   The cost is one re-run per set after such a change, nothing on the walk.
//   A second, read-only connection for reading was not chosen: updatable
//   sets and reads inside a transaction (which must see its uncommitted
//   work) need the writing connection anyway, and attached files and
//   registered functions would have to be mirrored on it.
//   Dropping a table, view or index that an open record set on the same
//   connection reads (directly or through a saved query) raises 3211, as
//   Jet does, so a set never loses its table.
// - Execute runs one statement atomically: a row that breaks a rule undoes
//   the statement and raises, with or without dbFailOnError, rather than
//   being skipped silently.
// - Unknown names in SQL raise 3061 ("too few parameters"), never read as
//   text, and unknown tables 3078.
// - Transactions of a Workspace span all its open databases (BEGIN on each;
//   nested levels are savepoints). The final COMMIT is one per file, so it is
//   not atomic across files; a rollback is.
// - Workgroup files are SQLite files with accounts (user name and a
//   libsodium crypto_pwhash_str hash); a database password is such a hash in
//   the catalog. Neither encrypts any data.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "vb/Variant.h"
#include "vb/VbError.h"

namespace dao {

// --- constants (DAO's values) ---------------------------------------------------
enum DataType : int16_t {
    dbBoolean = 1,
    dbByte = 2,
    dbInteger = 3,
    dbLong = 4,
    dbCurrency = 5,
    dbSingle = 6,
    dbDouble = 7,
    dbDate = 8,
    dbText = 10,
    dbLongBinary = 11,
    dbMemo = 12,
    dbGUID = 15,
};
// Column types whose values are numbers (a flag or a date is not one).
constexpr bool IsNumberType(int32_t type) { return type >= dbByte && type <= dbDouble; }
// Query types (QueryDef::Type).
enum QueryType : int16_t {
    dbQSelect = 0,
    dbQCrosstab = 16,
    dbQDelete = 32,
    dbQUpdate = 48,
    dbQAppend = 64,
    dbQMakeTable = 80,
    dbQDDL = 96,
    dbQSQLPassThrough = 112,
    dbQSetOperation = 128,
};
inline constexpr int32_t dbFixedField = 1;
inline constexpr int32_t dbVariableField = 2;
inline constexpr int32_t dbAutoIncrField = 16;

enum RecordsetType : int16_t { dbOpenTable = 1, dbOpenDynaset = 2, dbOpenSnapshot = 4, dbOpenForwardOnly = 8 };
inline constexpr int32_t dbDenyWrite = 1;
inline constexpr int32_t dbDenyRead = 2;
inline constexpr int32_t dbReadOnly = 4;
inline constexpr int32_t dbAppendOnly = 8;
inline constexpr int32_t dbInconsistent = 16;
inline constexpr int32_t dbConsistent = 32;
inline constexpr int32_t dbSQLPassThrough = 64;
inline constexpr int32_t dbFailOnError = 128;
inline constexpr int32_t dbForwardOnly = 256;
inline constexpr int32_t dbSeeChanges = 512;
// This layer's own option: a number that is not finite (SQLite keeps
// infinities) raises NotFiniteValue when it is read, instead of being returned,
// and so does a text in a column declared as a number (SQLite keeps what it
// cannot convert) or bytes: NotNumberValue. An empty text there is read as
// Null: it is an empty cell of a file another tool imported, a missing value.
// Field::NumberValue reads any column so: '' as Null, a BLOB or a text that is
// no number refused.
inline constexpr int32_t dbFiniteNumbers = 0x10000;
// This layer's own option, with dbAppendOnly: added rows are written in
// batches, many rows to one INSERT statement, which spares the work each
// statement costs (a counter column's sequence, for one, is written back once
// per statement). The counter values are those one row at a time would get.
// A batch reaches the table when it is full, when the set is closed or its
// LastModified read, and before a transaction of its database begins, commits
// or rolls back (a rollback drops the rows pending with the rest), before a
// schema change, a statement executed or a record set opened on the database.
// A value that does not fit its field is refused by Update as without the
// option; a failure of the table itself (a constraint) is raised by the call
// that writes the batch, and no row of that batch is written.
inline constexpr int32_t dbAppendInBatches = 0x20000;

inline constexpr int32_t dbFreeLocks = 1;
inline constexpr int32_t dbRefreshCache = 8;

inline constexpr int32_t dbUseODBC = 1;
inline constexpr int32_t dbUseJet = 2;

inline constexpr int32_t dbSortNeutral = 1024;
inline constexpr int32_t dbSortGeneral = 1033;
inline constexpr int32_t dbSortUndefined = -1;

inline constexpr const char* dbLangGeneral = ";LANGID=0x0409;CP=1252;COUNTRY=0";

// DAO error numbers raised by the layer (as vb::VbError numbers).
namespace err {
inline constexpr int32_t kReserved = 3000;
inline constexpr int32_t kNotSupported = 3251;
inline constexpr int32_t kTableExists = 3010;
inline constexpr int32_t kObjectNotFound = 3011;
inline constexpr int32_t kIndexExists = 3012;
inline constexpr int32_t kNoCurrentRecord = 3021;
inline constexpr int32_t kDuplicateKey = 3022;
inline constexpr int32_t kFileNotFound = 3024;
inline constexpr int32_t kDiskFull = 3026;
inline constexpr int32_t kReadOnly = 3027;
inline constexpr int32_t kWorkgroupMissing = 3028;
inline constexpr int32_t kBadAccount = 3029;
inline constexpr int32_t kBadPassword = 3031;
inline constexpr int32_t kNoTransaction = 3034;
inline constexpr int32_t kUpdateWithoutEdit = 3020;
inline constexpr int32_t kTooFewParameters = 3061;
inline constexpr int32_t kCannotExecuteSelect = 3065;
inline constexpr int32_t kSyntaxError = 3075;
inline constexpr int32_t kNoInputTable = 3078;
inline constexpr int32_t kInvalidName = 3125;
inline constexpr int32_t kFieldTooSmall = 3163;
inline constexpr int32_t kRecordDeleted = 3167;
inline constexpr int32_t kDatabaseExists = 3204;
inline constexpr int32_t kTableInUse = 3211;
inline constexpr int32_t kInvalidOperation = 3219;
inline constexpr int32_t kLocked = 3260;
inline constexpr int32_t kItemNotFound = 3265;
inline constexpr int32_t kPropertyNotFound = 3270;
inline constexpr int32_t kRequired = 3314;
inline constexpr int32_t kZeroLength = 3315;
inline constexpr int32_t kValidationText = 3316;
inline constexpr int32_t kValidationRule = 3317;
inline constexpr int32_t kUnrecognizedFormat = 3343;
inline constexpr int32_t kNumericOverflow = 3349;
inline constexpr int32_t kPropertyExists = 3367;
inline constexpr int32_t kConversion = 3421;
inline constexpr int32_t kObjectClosed = 3420;
inline constexpr int32_t kNotFinite = 3350;
}  // namespace err

// Raised (kNotFinite) when a record set opened with dbFiniteNumbers reads an
// infinity; names the field it was read from.
class NotFiniteValue : public vb::VbError {
public:
    explicit NotFiniteValue(const std::string& field);
    const std::string& FieldName() const noexcept { return field_; }

private:
    std::string field_;
};

// Raised (vb::err::kTypeMismatch) when a record set opened with
// dbFiniteNumbers reads a text or bytes (a BLOB) from a column declared as a
// number, or where a number is asked for; names the field and the text or
// bytes.
class NotNumberValue : public vb::VbError {
public:
    NotNumberValue(const std::string& field, const std::string& text, bool blob = false);
    const std::string& FieldName() const noexcept { return field_; }
    const std::string& Text() const noexcept { return text_; }
    bool Blob() const noexcept { return blob_; }

private:
    std::string field_;
    std::string text_;
    bool blob_ = false;
};

class Workspace;
class Database;
class TableDef;
class Field;
class Index;
class Property;
class QueryDef;
class Recordset;
using WorkspacePtr = std::shared_ptr<Workspace>;
using DatabasePtr = std::shared_ptr<Database>;
using TableDefPtr = std::shared_ptr<TableDef>;
using FieldPtr = std::shared_ptr<Field>;
using IndexPtr = std::shared_ptr<Index>;
using PropertyPtr = std::shared_ptr<Property>;
using QueryDefPtr = std::shared_ptr<QueryDef>;
using RecordsetPtr = std::shared_ptr<Recordset>;

// Names of tables, fields, indexes and queries: non-empty, no "]", no control
// characters, at most 64 characters (UTF-8 characters, not bytes). Raises
// 3125 otherwise.
void CheckName(std::string_view name);

// --- Property -----------------------------------------------------------------
class Property : public vb::Object {
public:
    Property(std::string name, int16_t type, vb::Variant value);
    const std::string& Name() const { return name_; }
    int16_t Type() const { return type_; }
    const vb::Variant& Value() const { return value_; }
    void Value(const vb::Variant& v);

private:
    friend class Field;
    std::string name_;
    int16_t type_;
    vb::Variant value_;
    std::function<void(const vb::Variant&)> onChange_;  // set once appended to a stored field
};

// The properties of an object: built-in ones (read through their accessors on
// the object) are also listed here by name; user-defined ones are appended.
class Properties : public vb::Object {
public:
    int32_t Count() const { return static_cast<int32_t>(items_.size()); }
    PropertyPtr Item(int32_t index) const;
    PropertyPtr Item(std::string_view name) const;  // 3270 when absent
    PropertyPtr operator[](std::string_view name) const { return Item(name); }
    void Append(const PropertyPtr& p);  // 3367 when the name exists
    void Refresh() {}

private:
    friend class Field;
    std::vector<PropertyPtr> items_;
    std::function<void(const PropertyPtr&)> onAppend_;
};
using PropertiesPtr = std::shared_ptr<Properties>;

// --- Field --------------------------------------------------------------------
struct FieldDef;
struct RecordsetState;

class Field : public vb::Object {
public:
    ~Field() override;
    const std::string& Name() const;
    void Name(const std::string& name);
    int16_t Type() const;
    void Type(int16_t type);
    int32_t Size() const;
    void Size(int32_t size);
    int32_t Attributes() const;
    void Attributes(int32_t attributes);
    bool AllowZeroLength() const;
    void AllowZeroLength(bool on);
    bool Required() const;
    void Required(bool on);
    std::string DefaultValue() const;
    void DefaultValue(const vb::Variant& v);
    std::string ValidationRule() const;
    void ValidationRule(const std::string& rule);
    std::string ValidationText() const;
    void ValidationText(const std::string& text);
    int16_t OrdinalPosition() const;
    int32_t CollatingOrder() const;
    std::string SourceTable() const;
    std::string SourceField() const;

    // Record-set fields only: the value of the current record (or of the
    // record being added or edited). Other fields raise 3219.
    vb::Variant Value() const;
    void Value(const vb::Variant& v);
    // The value as CDbl(Value()) gives it, false (value untouched) for Null:
    // the same result and errors, without a Variant for a stored number.
    bool NumberValue(double& value) const;
    // The kinds of value the database stores, which it compares and groups
    // by (Null, then numbers, then text, then bytes).
    enum class Stored { kNull, kInteger, kReal, kText, kBlob };
    // The value of the current record as stored, not converted to the
    // field's type: its kind and the number (integer or real) or the bytes,
    // which stay valid until the record set moves. An empty text that the
    // set reads as Null (see dbFiniteNumbers) is kNull here too.
    Stored StoredValue(int64_t& integer, double& real, std::string_view& bytes) const;
    // The stored numbers of several fields of one record set's current
    // record, read under one hold of the connection's lock (each field read
    // alone takes it afresh). Per entry: state 1 with the number in values,
    // 0 for Null, -1 where NumberValue must be asked, which then gives the
    // value or its error (no field, a field of another set or type, a text,
    // a value being edited or one the set refuses).
    static void StoredNumbers(const std::vector<FieldPtr>& fields, std::vector<double>& values,
                              std::vector<int8_t>& state);

    PropertiesPtr Properties();
    PropertyPtr CreateProperty(const std::string& name, int16_t type, const vb::Variant& value);

    // Internal.
    explicit Field(std::shared_ptr<FieldDef> def);
    Field(std::shared_ptr<FieldDef> def, RecordsetState* rs, int column);
    const std::shared_ptr<FieldDef>& Def() const { return def_; }
    void Bind(std::weak_ptr<void> owner, std::function<void(const std::string&, const vb::Variant&)> store);
    void Detach() { rs_ = nullptr; }

private:
    void CheckUnbound(const char* what) const;
    bool TextNumber(const std::string& text, double& value) const;
    std::shared_ptr<FieldDef> def_;
    RecordsetState* rs_ = nullptr;
    int column_ = -1;
    PropertiesPtr props_;
    std::function<void(const std::string&, const vb::Variant&)> store_;  // stores a user property
};

// An ordered collection with lookup by position or by name without regard to case.
template <class T>
class Collection : public vb::Object {
public:
    int32_t Count() const { return static_cast<int32_t>(items_.size()); }
    std::shared_ptr<T> Item(int32_t index) const;
    std::shared_ptr<T> Item(std::string_view name) const;  // 3265 when absent
    std::shared_ptr<T> operator[](int32_t index) const { return Item(index); }
    std::shared_ptr<T> operator[](std::string_view name) const { return Item(name); }
    bool Contains(std::string_view name) const;
    auto begin() const { return items_.begin(); }
    auto end() const { return items_.end(); }

    // Append and Delete write through to the database for stored objects.
    void Append(const std::shared_ptr<T>& item);
    void Delete(std::string_view name);
    void Refresh();

    // Internal.
    std::vector<std::shared_ptr<T>> items_;
    std::function<void(const std::shared_ptr<T>&)> onAppend_;
    std::function<void(std::string_view)> onDelete_;
    std::function<void()> onRefresh_;
};
using Fields = Collection<Field>;
using Indexes = Collection<Index>;
using TableDefs = Collection<TableDef>;
using QueryDefs = Collection<QueryDef>;
using FieldsPtr = std::shared_ptr<Fields>;

// --- Index --------------------------------------------------------------------
class Index : public vb::Object {
public:
    explicit Index(std::string name);
    const std::string& Name() const { return name_; }
    bool Primary() const { return primary_; }
    void Primary(bool on);
    bool Unique() const { return unique_ || primary_; }
    void Unique(bool on);
    bool Required() const { return primary_; }
    FieldsPtr Fields() const { return fields_; }
    FieldPtr CreateField(const std::string& name, int16_t type = 0, int32_t size = 0);

    // Internal.
    bool appended_ = false;

private:
    std::string name_;
    bool primary_ = false;
    bool unique_ = false;
    FieldsPtr fields_;
};

// --- TableDef -----------------------------------------------------------------
struct DatabaseImpl;

class TableDef : public vb::Object {
public:
    explicit TableDef(std::string name);
    const std::string& Name() const { return name_; }
    FieldsPtr Fields();
    FieldPtr Fields(int32_t index) { return Fields()->Item(index); }
    FieldPtr Fields(std::string_view name) { return Fields()->Item(name); }
    std::shared_ptr<dao::Indexes> Indexes();
    FieldPtr CreateField(const std::string& name, int16_t type = dbText, int32_t size = 0);
    IndexPtr CreateIndex(const std::string& name);
    int32_t RecordCount();
    RecordsetPtr OpenRecordset(int16_t type = dbOpenTable, int32_t options = 0);

    // Internal.
    void Attach(const std::shared_ptr<DatabaseImpl>& db);
    bool IsStored() const { return !db_.expired(); }
    void Load();

private:
    std::string name_;
    std::weak_ptr<DatabaseImpl> db_;
    FieldsPtr fields_;
    std::shared_ptr<dao::Indexes> indexes_;
    bool loaded_ = false;
};

// --- QueryDef -----------------------------------------------------------------
class QueryDef : public vb::Object {
public:
    QueryDef(std::shared_ptr<DatabaseImpl> db, std::string name, std::string sql);
    const std::string& Name() const { return name_; }
    const std::string& SQL() const { return sql_; }
    // What the statement does, read from its leading and top-level keywords:
    // a select, a union, a crosstab (TRANSFORM), a make-table (SELECT ... INTO),
    // an append, update or delete, or a data-definition statement.
    int16_t Type() const;
    FieldsPtr Fields();
    RecordsetPtr OpenRecordset(int16_t type = dbOpenDynaset, int32_t options = 0);

private:
    std::weak_ptr<DatabaseImpl> db_;
    std::string name_;
    std::string sql_;
    FieldsPtr fields_;
};

// --- Recordset ----------------------------------------------------------------
class Recordset : public vb::Object {
public:
    ~Recordset() override;
    int16_t Type() const;
    bool Updatable() const;
    bool Eof() const;
    bool Bof() const;
    void MoveFirst();
    void MoveLast();
    void MoveNext();
    void MovePrevious();
    void Move(int32_t rows);
    // Rows reached so far; exact once the last row has been reached (MoveLast).
    // Table-type record sets know their count from the start.
    int32_t RecordCount();
    int32_t AbsolutePosition();
    void AbsolutePosition(int32_t position);
    bool Bookmarkable() const;
    vb::Variant Bookmark();
    void Bookmark(const vb::Variant& bookmark);
    vb::Variant LastModified() const;
    void FindFirst(const std::string& criteria);
    void FindNext(const std::string& criteria);
    bool NoMatch() const;
    void AddNew();
    void Edit();
    void Update();
    void CancelUpdate();
    void Delete();
    int16_t EditMode() const;  // 0 none, 1 editing, 2 adding
    void Requery();
    void Close();

    // Whether the statement gave its first row only after reading every row
    // of its source, as a sort of the whole set does; false where rows come
    // in an index's order or are sorted in blocks, and for a table-type set.
    bool ReadsAllRowsFirst() const;

    FieldsPtr Fields() const;
    // By position: no lookup. By name: one hashed, case-insensitive lookup.
    const FieldPtr& Fields(int32_t index) const;
    const FieldPtr& Fields(std::string_view name) const;
    const FieldPtr& operator()(int32_t index) const { return Fields(index); }
    const FieldPtr& operator()(std::string_view name) const { return Fields(name); }

    explicit Recordset(std::unique_ptr<RecordsetState> state);

private:
    friend class RowPager;
    std::unique_ptr<RecordsetState> s_;
};

// --- RowPager -----------------------------------------------------------------
// Rows of a record set by position, for a grid that shows a few of them at a
// time out of millions: the row count by one count query, and any row read
// without reading the rows before it. The record set's own position and
// RecordCount are untouched.
// - Over a table, rows are addressed by row key in key order: directly when
//   the keys run without gaps (first key + position), else through a sparse
//   list of every 1024th key, made by one pass over the keys on first need
//   (a few hundred milliseconds for ten million rows, 8 bytes per 1024 rows).
// - Over a query or SQL, rows are read in windows with LIMIT and OFFSET, so
//   memory stays bounded; a window far down costs a pass up to it.
// No read of the file is left open between calls: the record set's own
// statement is reset when the pager takes it (it resumes at its row if the
// set is read again), and each call is one short read transaction (inside
// the connection's own transaction when one is open). So the pager holds off
// no other program's write, in either journal mode, and never holds back
// schema changes on its connection. Each call sees the file as it is then:
// when another connection committed, or this one changed rows, rolled back or
// changed the schema since the last call, the count and the key list are
// taken afresh first (Changes counts those times), after a schema change the
// columns too (FieldCount, FieldNames, FieldTypes: a column another program
// added is read from then on), and the rows read are those of the file now.
// A call made while a statement of the connection is part-way through (an
// engine's read or write) reads the state that statement reads and ends
// nothing of it.
class RowPager {
public:
    explicit RowPager(RecordsetPtr recordset);
    ~RowPager();
    RowPager(const RowPager&) = delete;
    RowPager& operator=(const RowPager&) = delete;

    const RecordsetPtr& Recordset() const;
    int32_t FieldCount() const;
    // The fields' names and DAO types (0 for an expression without one) as
    // the last call found them.
    const std::vector<std::string>& FieldNames() const;
    const std::vector<int16_t>& FieldTypes() const;
    int64_t RowCount();
    // Appends the values of the rows [first, first + count) to `out`, row
    // after row, FieldCount values each; returns the number of rows read
    // (fewer at the end). Raises 3420 once the record set is closed.
    int64_t ReadRows(int64_t first, int64_t count, std::vector<vb::Variant>& out);
    // How many times a call found the file changed and took its count and
    // keys afresh.
    int64_t Changes() const;
    // Whether the next call will find the file changed: a look at its
    // version numbers that reads no row, waits for no lock and holds nothing
    // afterwards, cheap enough to make twice a second. False while the
    // connection is part-way through a transaction. Raises
    // 3260 at once while another connection's lock keeps the file from being
    // read, and 3420 once the record set is closed.
    bool FileChanged();

    // Rows the pager's statements passed over or returned, the pass that
    // builds the key list included: what a read has cost.
    int64_t RowsVisited() const;

private:
    struct Impl;
    std::unique_ptr<Impl> p_;
};

// --- Database -----------------------------------------------------------------
class Database : public vb::Object {
public:
    ~Database() override;
    const std::string& Name() const;  // full path
    std::string Connect() const;
    bool Updatable() const;
    std::shared_ptr<dao::TableDefs> TableDefs();
    std::shared_ptr<dao::QueryDefs> QueryDefs();
    TableDefPtr CreateTableDef(const std::string& name);
    // Saves a select query as a view (Jet SQL, translated). An empty name makes
    // a temporary query that is not saved.
    QueryDefPtr CreateQueryDef(const std::string& name, const std::string& sql = {});
    // `source`: a table name, a saved query name or a Jet SELECT statement.
    // Without a type (0), a table opens as a table-type set and anything
    // else as a dynaset, as DAO does. With dbOpenTable the source is always
    // a table name, never read as SQL; so is a name in square brackets.
    RecordsetPtr OpenRecordset(const std::string& source, int16_t type = 0, int32_t options = 0);
    void Execute(const std::string& sql, int32_t options = 0);
    int32_t RecordsAffected() const;
    // Sets, changes or clears (empty `newPassword`) the database password.
    void NewPassword(const std::string& oldPassword, const std::string& newPassword);
    void Close();

    // Whether both objects stand for one file (same device and inode), through
    // whatever paths and connections they were opened.
    bool SameFile(const Database& other) const;
    // The kind of schema object the file keeps under this name, compared
    // without regard to case: "table", "view", "index" or "trigger" (SQLite's
    // own names, whatever made the object); empty when the name is free.
    std::string SchemaObjectType(const std::string& name) const;
    // A transaction of this database alone, apart from its workspace's;
    // nested levels (and levels inside a workspace transaction) are
    // savepoints. With `write` the outermost level takes the file's write
    // lock at once, waiting for other writers within the busy timeout, so
    // that what is read inside it can be written back without another
    // process's commit coming in between.
    void BeginTrans(bool write = false);
    void CommitTrans();
    void Rollback();

    // One argument of a function defined with DefineFunction, as stored.
    struct StoredArgument {
        Field::Stored kind = Field::Stored::kNull;
        int64_t integer = 0;
        double real = 0;
        std::string_view bytes;  // text or bytes, valid during the call
    };
    using FunctionObserver = std::function<void(const std::vector<StoredArgument>&)>;
    // A function of this connection's SQL that is given its arguments, call
    // after call, and returns Null. Only statements given to the layer call
    // it: in the SQL of a view, a trigger or the schema it fails ("unsafe
    // use"), so a user's view cannot reach it. A name is defined once per
    // connection: defining it again keeps the first definition (SQLite cannot
    // replace a function while a statement of the connection runs) and
    // returns false.
    bool DefineFunction(const std::string& name, FunctionObserver observer);

    // Internal.
    explicit Database(std::shared_ptr<DatabaseImpl> impl);
    const std::shared_ptr<DatabaseImpl>& Impl() const { return impl_; }

private:
    std::shared_ptr<DatabaseImpl> impl_;
};

// --- Workspace ----------------------------------------------------------------
struct WorkspaceImpl;

class Workspace : public vb::Object {
public:
    ~Workspace() override;
    const std::string& Name() const;
    const std::string& UserName() const;
    int32_t Type() const { return dbUseJet; }
    std::shared_ptr<Collection<Database>> Databases();
    DatabasePtr OpenDatabase(const std::string& path, bool exclusive = false, bool readOnly = false,
                             const std::string& connect = {});
    DatabasePtr CreateDatabase(const std::string& path, const std::string& locale = dbLangGeneral);
    void BeginTrans();
    void CommitTrans(int32_t options = 0);
    void Rollback();
    void Close();

    // Internal.
    Workspace(std::string name, std::string user);
    const std::shared_ptr<WorkspaceImpl>& Impl() const { return impl_; }

private:
    std::shared_ptr<WorkspaceImpl> impl_;
};
using Workspaces = Collection<Workspace>;

// --- DBEngine -----------------------------------------------------------------
class Engine : public vb::Object {
public:
    Engine();
    ~Engine() override;
    std::string Version() const { return "3.5"; }
    // Path of the workgroup information file; default "Merivox.MDW" beside the program.
    const std::string& SystemDB() const { return systemDb_; }
    void SystemDB(const std::string& path) { systemDb_ = path; }
    std::string DefaultUser() const { return "admin"; }
    // Workspaces(0) is the default workspace (user "admin"), made on first use.
    std::shared_ptr<dao::Workspaces> Workspaces();
    WorkspacePtr Workspaces(int32_t index) { return Workspaces()->Item(index); }
    // Checks the user and password against SystemDB: 3028 when the file is
    // missing, 3029 on an unknown user or a wrong password.
    WorkspacePtr CreateWorkspace(const std::string& name, const std::string& user, const std::string& password,
                                 int32_t type = dbUseJet);
    DatabasePtr OpenDatabase(const std::string& path, bool exclusive = false, bool readOnly = false,
                             const std::string& connect = {});
    DatabasePtr CreateDatabase(const std::string& path, const std::string& locale = dbLangGeneral);
    void BeginTrans();
    void CommitTrans(int32_t options = 0);
    void Rollback();
    // Lets pending work settle; with dbRefreshCache also lets go of files that
    // statements attached, so a closed scratch file can be deleted.
    void Idle(int32_t action = 0);

private:
    std::string systemDb_;
    std::shared_ptr<dao::Workspaces> workspaces_;
};

Engine& DBEngine();
// Releases the process-wide engine (closing its workspaces); the next
// DBEngine() makes a fresh one.
void ReleaseDBEngine();
// The version of the SQLite library the data layer runs on ("3.46.1").
std::string SqliteVersion();

// --- waiting for another connection's lock ----------------------------------------
// A statement that meets a lock another connection holds (of this process or
// another) waits and tries again, up to the lock wait, then fails with 3260.
// While it waits, the calling thread's observer, when one is set, is told how
// long the statement has waited so far, about every tenth of a second, so a
// program can say why it stands still. The observer must not use the
// connection that waits.
using LockWaitObserver = std::function<void(int waitedMs)>;
// Sets the calling thread's observer (an empty one removes it); returns the
// one set before.
LockWaitObserver SetLockWaitObserver(LockWaitObserver observer);
// The longest wait of every connection, in milliseconds (10,000 unless set).
void LockWaitTimeout(int ms);
int LockWaitTimeout();
// While one stands, a statement of the calling thread waits for another
// connection's lock at most `ms` milliseconds (0: not at all) before it
// fails with 3260: for reads that are simply made again once the lock is
// gone. Nested limits: the shortest holds.
class LockWaitLimit {
public:
    explicit LockWaitLimit(int ms);
    ~LockWaitLimit();
    LockWaitLimit(const LockWaitLimit&) = delete;
    LockWaitLimit& operator=(const LockWaitLimit&) = delete;

private:
    int before_;
};

// --- workgroup files and passwords (for tests and administrators) ---------------
// Creates a workgroup information file holding the account "Admin" with an
// empty password. Raises 3204 when the file exists.
void CreateWorkgroupFile(const std::string& path);
// Adds an account or replaces its password.
void SetAccount(const std::string& workgroupPath, const std::string& user, const std::string& password);
// True when the account exists and the password matches.
bool CheckAccount(const std::string& workgroupPath, const std::string& user, const std::string& password);
// Sets (or, with an empty password, clears) a database's password without
// knowing the old one: administrators' tool.
void SetDatabasePassword(const std::string& databasePath, const std::string& password);

// The folder of the running program (no trailing separator).
std::string ProgramFolder();

// --- scope guards ----------------------------------------------------------------------------
// A workspace transaction that is rolled back when the scope ends without
// Commit (an error leaves every database of the workspace as it was).
class WorkspaceTransaction {
public:
    explicit WorkspaceTransaction(WorkspacePtr ws) : ws_(std::move(ws)) {
        ws_->BeginTrans();
        open_ = true;
    }
    ~WorkspaceTransaction() {
        if (!open_) return;
        try {
            ws_->Rollback();
        } catch (...) {}
    }
    void Commit() {
        ws_->CommitTrans();
        open_ = false;
    }
    WorkspaceTransaction(const WorkspaceTransaction&) = delete;
    WorkspaceTransaction& operator=(const WorkspaceTransaction&) = delete;

private:
    WorkspacePtr ws_;
    bool open_ = false;
};

// Closes a record set when the scope ends, whatever happened in it.
class RecordsetCloser {
public:
    explicit RecordsetCloser(RecordsetPtr rs) : rs_(std::move(rs)) {}
    ~RecordsetCloser() {
        try {
            if (rs_) rs_->Close();
        } catch (...) {}
    }
    RecordsetCloser(const RecordsetCloser&) = delete;
    RecordsetCloser& operator=(const RecordsetCloser&) = delete;

private:
    RecordsetPtr rs_;
};

}  // namespace dao
