// TableDefs, fields, indexes, properties and saved queries; the DDL that
// carries Jet's rules into SQLite constraints.
#include <cctype>
#include <cmath>
#include <cstdlib>

#include "dao/DaoInternal.h"
#include "vb/Conversions.h"

namespace dao {

// --- Property -------------------------------------------------------------------------

Property::Property(std::string name, int16_t type, vb::Variant value)
    : name_(std::move(name)), type_(type), value_(std::move(value)) {}

void Property::Value(const vb::Variant& v) {
    value_ = v;
    if (onChange_) onChange_(v);
}

PropertyPtr Properties::Item(int32_t index) const {
    if (index < 0 || index >= Count())
        Fail(err::kItemNotFound, "Property " + std::to_string(index) + " does not exist.");
    return items_[static_cast<size_t>(index)];
}
PropertyPtr Properties::Item(std::string_view name) const {
    for (auto& p : items_)
        if (vb::EqualsNoCase(p->Name(), name)) return p;
    Fail(err::kPropertyNotFound, "The property '" + std::string(name) + "' does not exist.");
}
void Properties::Append(const PropertyPtr& p) {
    if (!p) vb::Raise(vb::err::kObjectVariableNotSet);
    for (auto& q : items_)
        if (vb::EqualsNoCase(q->Name(), p->Name()))
            Fail(err::kPropertyExists, "The property '" + p->Name() + "' already exists.");
    if (onAppend_) onAppend_(p);
    items_.push_back(p);
}

// --- Field (definition side; values are in DaoRecordset.cpp) -------------------------------

Field::Field(std::shared_ptr<FieldDef> def) : def_(std::move(def)) {}
Field::Field(std::shared_ptr<FieldDef> def, RecordsetState* rs, int column)
    : def_(std::move(def)), rs_(rs), column_(column) {}
Field::~Field() = default;

void Field::Bind(std::weak_ptr<void>, std::function<void(const std::string&, const vb::Variant&)> store) {
    store_ = std::move(store);
}

void Field::CheckUnbound(const char* what) const {
    if (store_ || rs_)
        Fail(err::kInvalidOperation, std::string("The property ") + what + " of the field '" + def_->name +
                                         "' cannot be changed once the field is part of a table or record set.");
}

const std::string& Field::Name() const { return def_->name; }
void Field::Name(const std::string& name) {
    CheckUnbound("Name");
    CheckName(name);
    def_->name = name;
}
void Field::Type(int16_t type) {
    CheckUnbound("Type");
    def_->type = type;
}
int32_t Field::Size() const {
    switch (def_->type) {
        case dbBoolean:
        case dbByte:
            return 1;
        case dbInteger:
            return 2;
        case dbLong:
        case dbSingle:
            return 4;
        case dbCurrency:
        case dbDouble:
        case dbDate:
            return 8;
        case dbGUID:
            return 16;
        case dbText:
            return def_->size > 0 ? def_->size : 255;
        default:
            return 0;
    }
}
void Field::Size(int32_t size) {
    CheckUnbound("Size");
    def_->size = size;
}
int32_t Field::Attributes() const {
    int32_t a = def_->attributes;
    if (def_->type == dbText || def_->type == dbMemo || def_->type == dbLongBinary)
        a |= dbVariableField;
    else
        a |= dbFixedField;
    return a;
}
void Field::Attributes(int32_t attributes) {
    CheckUnbound("Attributes");
    def_->attributes = attributes & ~(dbFixedField | dbVariableField);
}
bool Field::AllowZeroLength() const { return def_->allowZeroLength; }
void Field::AllowZeroLength(bool on) {
    CheckUnbound("AllowZeroLength");
    def_->allowZeroLength = on;
}
bool Field::Required() const { return def_->required; }
void Field::Required(bool on) {
    CheckUnbound("Required");
    def_->required = on;
}
std::string Field::DefaultValue() const { return def_->defaultValue; }
void Field::DefaultValue(const vb::Variant& v) {
    CheckUnbound("DefaultValue");
    def_->defaultValue = v.IsNull() || v.IsEmpty() ? std::string() : v.ToString();
}
std::string Field::ValidationRule() const { return def_->validationRule; }
void Field::ValidationRule(const std::string& rule) {
    CheckUnbound("ValidationRule");
    def_->validationRule = rule;
}
std::string Field::ValidationText() const { return def_->validationText; }
void Field::ValidationText(const std::string& text) {
    CheckUnbound("ValidationText");
    def_->validationText = text;
}
int16_t Field::OrdinalPosition() const { return def_->ordinal; }
int32_t Field::CollatingOrder() const { return def_->collatingOrder; }
std::string Field::SourceTable() const { return def_->sourceTable; }
std::string Field::SourceField() const { return def_->sourceField; }

PropertiesPtr Field::Properties() {
    if (!props_) {
        props_ = std::make_shared<dao::Properties>();
        for (size_t i = 0; i < def_->userProps.size(); ++i) {
            auto p =
                std::make_shared<Property>(def_->userProps[i].first, def_->userPropTypes[i], def_->userProps[i].second);
            std::shared_ptr<FieldDef> def = def_;
            auto store = store_;
            std::string name = p->Name();
            p->onChange_ = [def, store, name](const vb::Variant& v) {
                for (auto& up : def->userProps)
                    if (vb::EqualsNoCase(up.first, name)) up.second = v;
                if (store) store(name, v);
            };
            props_->items_.push_back(p);
        }
        props_->onAppend_ = [this](const PropertyPtr& p) {
            CheckName(p->Name());
            def_->userProps.emplace_back(p->Name(), p->Value());
            def_->userPropTypes.push_back(p->Type());
            std::shared_ptr<FieldDef> def = def_;
            auto store = store_;
            std::string name = p->Name();
            if (store) store(name, p->Value());
            p->onChange_ = [def, store, name](const vb::Variant& v) {
                for (auto& up : def->userProps)
                    if (vb::EqualsNoCase(up.first, name)) up.second = v;
                if (store) store(name, v);
            };
        };
    }
    return props_;
}

PropertyPtr Field::CreateProperty(const std::string& name, int16_t type, const vb::Variant& value) {
    CheckName(name);
    return std::make_shared<Property>(name, type, value);
}

// --- Index ------------------------------------------------------------------------------

Index::Index(std::string name) : name_(std::move(name)), fields_(std::make_shared<dao::Fields>()) {}
void Index::Primary(bool on) {
    if (appended_) Fail(err::kInvalidOperation, "An appended index cannot be changed.");
    primary_ = on;
}
void Index::Unique(bool on) {
    if (appended_) Fail(err::kInvalidOperation, "An appended index cannot be changed.");
    unique_ = on;
}
FieldPtr Index::CreateField(const std::string& name, int16_t type, int32_t size) {
    CheckName(name);
    auto def = std::make_shared<FieldDef>();
    def->name = name;
    def->type = type ? type : static_cast<int16_t>(dbText);
    def->size = size;
    return std::make_shared<Field>(def);
}

// --- DDL ----------------------------------------------------------------------------------

namespace {
std::string ConstraintName(const char* kind, const std::string& table, const std::string& col) {
    return QuoteId(std::string(kind) + '\x1f' + table + '\x1f' + col);
}

bool ParseNumber(const std::string& s, double& out) {
    if (s.empty()) return false;
    char* end = nullptr;
    out = std::strtod(s.c_str(), &end);
    return end && *end == '\0' && std::isfinite(out);
}

// One token of a validation rule, as SQL: a name quoted, a text quoted (a
// LIKE pattern's wildcards turned into SQL's), an operator, a word, or one
// other character ("&" as "||").
struct RuleToken {
    enum Kind { Word, Text, Op, Other } kind = Other;
    std::string sql;
};

// The text in quotes that begins at i (the quote doubled inside it), i then
// past its closing quote.
std::string ReadRuleText(const std::string& rule, size_t& i) {
    const char quote = rule[i];
    std::string v;
    size_t j = i + 1;
    for (;; ++j) {
        if (j >= rule.size()) Fail(err::kSyntaxError, "The validation rule '" + rule + "' has an unclosed text.");
        if (rule[j] == quote) {
            if (j + 1 < rule.size() && rule[j + 1] == quote) {
                v += quote;
                ++j;
                continue;
            }
            break;
        }
        v += rule[j];
    }
    i = j + 1;
    return v;
}

// The token that begins at i (not a space), i then past it.
RuleToken ReadRuleToken(const std::string& rule, size_t& i, bool afterLike) {
    const char c = rule[i];
    RuleToken t;
    if (c == '[') {
        size_t j = rule.find(']', i);
        if (j == std::string::npos) Fail(err::kSyntaxError, "The validation rule '" + rule + "' lacks a closing ].");
        t.sql = QuoteId(rule.substr(i + 1, j - i - 1));
        i = j + 1;
    } else if (c == '"' || c == '\'') {
        std::string v = ReadRuleText(rule, i);
        if (afterLike) {
            for (char& ch : v) ch = ch == '*' ? '%' : ch == '?' ? '_' : ch;
        }
        t.sql = QuoteText(v);
        t.kind = RuleToken::Text;
    } else if (std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == '.') {
        size_t j = i;
        while (j < rule.size() &&
               (std::isalnum(static_cast<unsigned char>(rule[j])) || rule[j] == '_' || rule[j] == '.'))
            ++j;
        t.sql = rule.substr(i, j - i);
        t.kind = RuleToken::Word;
        i = j;
    } else if (std::string_view("<>=").find(c) != std::string_view::npos) {
        size_t n = (i + 1 < rule.size() && std::string_view("<>=").find(rule[i + 1]) != std::string_view::npos) ? 2 : 1;
        t.sql = rule.substr(i, n);
        t.kind = RuleToken::Op;
        i += n;
    } else {
        t.sql = c == '&' ? std::string("||") : std::string(1, c);
        ++i;
    }
    return t;
}

// A Jet validation rule ("Is Null Or >0", "Between 1 And 10", "<> ''") as an
// SQLite expression on the column: a term that starts with an operator
// applies to the column.
std::string RuleToSql(const std::string& rule, const std::string& column) {
    std::string out;
    bool termStart = true;
    bool afterLike = false;
    size_t i = 0;
    auto emit = [&](const std::string& t) {
        if (!out.empty()) out += ' ';
        out += t;
    };
    while (i < rule.size()) {
        if (std::isspace(static_cast<unsigned char>(rule[i]))) {
            ++i;
            continue;
        }
        const RuleToken t = ReadRuleToken(rule, i, afterLike);
        const bool word = t.kind == RuleToken::Word;
        std::string up = vb::UCase(t.sql);
        bool isColumnOp =
            t.kind == RuleToken::Op || (word && (up == "IS" || up == "BETWEEN" || up == "LIKE" || up == "IN"));
        if (termStart && isColumnOp) emit(column);
        if (word && (up == "TRUE" || up == "FALSE"))
            emit(up == "TRUE" ? std::string("-1") : std::string("0"));
        else
            emit(t.sql);
        afterLike = word && up == "LIKE";
        termStart = t.sql == "(" || (word && (up == "AND" || up == "OR" || up == "NOT"));
    }
    return out;
}

std::string DefaultToSql(const std::string& value, int16_t type) {
    std::string v = vb::Trim(value);
    if (!v.empty() && v[0] == '=') v = vb::Trim(v.substr(1));
    if (v.empty()) return {};
    std::string up = vb::UCase(v);
    if (up == "TRUE" || up == "YES" || up == "ON") return "-1";
    if (up == "FALSE" || up == "NO" || up == "OFF") return "0";
    if (up == "DATE()") return "(date('now','localtime'))";
    if (up == "NOW()") return "(datetime('now','localtime'))";
    if (v.size() >= 2 && (v[0] == '"' || v[0] == '\'') && v.back() == v[0]) {
        std::string inner = v.substr(1, v.size() - 2);
        std::string d(1, v[0]);
        std::string undoubled;
        for (size_t k = 0; k < inner.size(); ++k) {
            undoubled += inner[k];
            if (inner[k] == v[0] && k + 1 < inner.size() && inner[k + 1] == v[0]) ++k;
        }
        return QuoteText(undoubled);
    }
    double d;
    if (type != dbText && type != dbMemo && ParseNumber(v, d)) return "(" + vb::NumberToSql(d) + ")";
    return QuoteText(v);
}

void NormalizeDef(FieldDef& f) {
    if (f.type == dbText && f.size <= 0) f.size = 255;
    if (f.type != dbText) f.size = 0;
    f.collatingOrder = (f.type == dbText || f.type == dbMemo) ? dbSortGeneral : dbSortNeutral;
}

// A column's declared type, with the range or size check its type keeps.
std::string ColumnType(const std::string& table, const FieldDef& f, bool rowidAlias) {
    std::string c;
    const std::string col = QuoteId(f.name);
    auto range = [&](const char* lo, const char* hi) {
        c += " CONSTRAINT " + ConstraintName("dao_range", table, f.name) + " CHECK(" + col + " BETWEEN " + lo +
             " AND " + hi + ")";
    };
    switch (f.type) {
        case dbBoolean:
            c += "BOOLEAN";
            break;
        case dbByte:
            c += "TINYINT";
            range("0", "255");
            break;
        case dbInteger:
            c += "SMALLINT";
            range("-32768", "32767");
            break;
        case dbLong:
            if (rowidAlias)
                c += "INTEGER PRIMARY KEY AUTOINCREMENT";
            else
                c += "INTEGER";
            range("-2147483648", "2147483647");
            break;
        case dbCurrency:
            c += "CURRENCY";
            break;
        case dbSingle:
            c += "FLOAT";
            break;
        case dbDouble:
            c += "DOUBLE";
            break;
        case dbDate:
            c += "DATETIME";
            break;
        case dbText:
            c += "VARCHAR(" + std::to_string(f.size) + ") COLLATE NOCASE";
            c += " CONSTRAINT " + ConstraintName("dao_size", table, f.name) + " CHECK(length(" + col +
                 ") <= " + std::to_string(f.size) + ")";
            break;
        case dbMemo:
            c += "TEXT COLLATE NOCASE";
            break;
        case dbLongBinary:
            c += "BLOB";
            break;
        case dbGUID:
            c += "TEXT";
            break;
        default:
            Fail(err::kNotSupported,
                 "The field type " + std::to_string(f.type) + " of '" + f.name + "' is not supported.");
    }
    return c;
}

std::string ColumnSql(const std::string& table, const FieldDef& f, bool rowidAlias) {
    std::string c = QuoteId(f.name) + " ";
    c += ColumnType(table, f, rowidAlias);
    std::string col = QuoteId(f.name);
    if ((f.type == dbText || f.type == dbMemo) && !f.allowZeroLength)
        c += " CONSTRAINT " + ConstraintName("dao_zls", table, f.name) + " CHECK(" + col + " <> '')";
    if (f.required) c += " NOT NULL";
    std::string def = DefaultToSql(f.defaultValue, f.type);
    if (f.type == dbBoolean && def.empty()) def = "0";
    if (!def.empty()) c += " DEFAULT " + def;
    if (!f.validationRule.empty())
        c += " CONSTRAINT " + ConstraintName("dao_rule", table, f.name) + " CHECK(" + RuleToSql(f.validationRule, col) +
             ")";
    return c;
}

void StoreFieldCatalog(DatabaseImpl& d, const std::string& table, const FieldDef& f) {
    d.SetCatalog("F", table, f.name, "Type", vb::Variant(static_cast<int32_t>(f.type)));
    d.SetCatalog("F", table, f.name, "Size", vb::Variant(f.size));
    d.SetCatalog("F", table, f.name, "Attributes", vb::Variant(f.attributes));
    d.SetCatalog("F", table, f.name, "AllowZeroLength", vb::Variant(static_cast<int32_t>(f.allowZeroLength)));
    d.SetCatalog("F", table, f.name, "Required", vb::Variant(static_cast<int32_t>(f.required)));
    if (!f.defaultValue.empty()) d.SetCatalog("F", table, f.name, "DefaultValue", vb::Variant(f.defaultValue));
    if (!f.validationRule.empty()) d.SetCatalog("F", table, f.name, "ValidationRule", vb::Variant(f.validationRule));
    if (!f.validationText.empty()) d.SetCatalog("F", table, f.name, "ValidationText", vb::Variant(f.validationText));
    for (auto& [name, value] : f.userProps) d.SetCatalog("F", table, f.name, "P:" + name, value);
}

std::string JoinUnit(const std::vector<std::string>& v) {
    std::string s;
    for (size_t i = 0; i < v.size(); ++i) s += (i ? "\x1f" : "") + v[i];
    return s;
}

void CreateIndexOn(DatabaseImpl& d, const TableInfo& t, Index& ix, int order) {
    CheckName(ix.Name());
    for (auto& existing : t.indexes)
        if (vb::EqualsNoCase(existing.name, ix.Name()))
            Fail(err::kIndexExists, "The table '" + t.name + "' already has an index named '" + ix.Name() + "'.");
    std::vector<std::string> cols;
    for (auto& f : *ix.Fields()) {
        int k = t.FindField(f->Name());
        if (k < 0)
            Fail(err::kItemNotFound,
                 "The index '" + ix.Name() + "' names the field '" + f->Name() + "', which '" + t.name + "' lacks.");
        cols.push_back(t.fields[static_cast<size_t>(k)].name);
    }
    if (cols.empty()) Fail(err::kInvalidOperation, "The index '" + ix.Name() + "' has no fields.");
    bool onRowid = cols.size() == 1 && t.autoIncrement >= 0 &&
                   vb::EqualsNoCase(cols[0], t.fields[static_cast<size_t>(t.autoIncrement)].name);
    std::string sqlName;
    if (!onRowid) {
        sqlName = t.name + "." + ix.Name();
        std::string sql = std::string("CREATE ") + (ix.Unique() ? "UNIQUE " : "") + "INDEX " + QuoteId(sqlName) +
                          " ON " + QuoteId(t.name) + "(";
        for (size_t i = 0; i < cols.size(); ++i) sql += (i ? ", " : "") + QuoteId(cols[i]);
        d.ExecDdl(sql + ")");
    }
    d.SetCatalog("I", t.name, ix.Name(), "SqlName", vb::Variant(sqlName));
    d.SetCatalog("I", t.name, ix.Name(), "Primary", vb::Variant(static_cast<int32_t>(ix.Primary())));
    d.SetCatalog("I", t.name, ix.Name(), "Unique", vb::Variant(static_cast<int32_t>(ix.Unique())));
    d.SetCatalog("I", t.name, ix.Name(), "Fields", vb::Variant(JoinUnit(cols)));
    d.SetCatalog("I", t.name, ix.Name(), "Order", vb::Variant(order));
    ix.appended_ = true;
}

// Runs `work` as one unit: all or nothing.
template <class F>
void Atomically(DatabaseImpl& d, F&& work) {
    // Rows waiting in batches are written outside the unit, so that undoing a
    // failed change does not take them with it.
    d.WritePendingRows();
    Exec(d.db, "SAVEPOINT dao_ddl");
    try {
        work();
        Exec(d.db, "RELEASE dao_ddl");
    } catch (...) {
        // Undoing a schema change aborts the reads of running statements.
        d.ParkRecordsets();
        sqlite3_exec(d.db, "ROLLBACK TO dao_ddl; RELEASE dao_ddl", nullptr, nullptr, nullptr);
        d.CountRollback();
        d.schemaVersion = -1;
        d.tables.clear();
        throw;
    }
    d.schemaVersion = -1;
}

void CreateTable(DatabaseImpl& d, TableDef& td) {
    d.CheckOpen();
    CheckName(td.Name());
    if (d.FindTable(td.Name()) || vb::EqualsNoCase(td.Name(), kCatalog))
        Fail(err::kTableExists, "The table or query '" + td.Name() + "' already exists.");
    auto fields = td.Fields();
    if (fields->Count() == 0)
        Fail(3264, "The table '" + td.Name() + "' has no fields; append fields before the table.");
    int autoInc = -1;
    for (int i = 0; i < fields->Count(); ++i) {
        FieldDef& f = *fields->Item(i)->Def();
        NormalizeDef(f);
        if ((f.attributes & dbAutoIncrField) && f.type == dbLong && autoInc < 0) autoInc = i;
    }
    Atomically(d, [&] {
        d.PurgeCatalog();
        std::string sql = "CREATE TABLE " + QuoteId(td.Name()) + " (";
        for (int i = 0; i < fields->Count(); ++i)
            sql += (i ? ", " : "") + ColumnSql(td.Name(), *fields->Item(i)->Def(), i == autoInc);
        d.ExecDdl(sql + ")");
        for (int i = 0; i < fields->Count(); ++i) StoreFieldCatalog(d, td.Name(), *fields->Item(i)->Def());
        d.SetCatalog("T", td.Name(), "", "Created", vb::Variant(vb::DateToIso(vb::Now())));
        d.schemaVersion = -1;
        auto info = d.Table(td.Name());
        int order = 0;
        for (auto& ix : *td.Indexes()) {
            CreateIndexOn(d, *info, *ix, ++order);
            d.schemaVersion = -1;
            info = d.Table(td.Name());
        }
    });
}

void AddColumn(DatabaseImpl& d, const std::string& table, FieldDef& f) {
    CheckName(f.name);
    auto info = d.Table(table);
    if (info->FindField(f.name) >= 0)
        Fail(3191, "The table '" + table + "' already has a field named '" + f.name + "'.");
    if (f.attributes & dbAutoIncrField)
        Fail(err::kInvalidOperation, "An auto-increment field can only be made with its table.");
    NormalizeDef(f);
    Atomically(d, [&] {
        d.ExecDdl("ALTER TABLE " + QuoteId(info->name) + " ADD COLUMN " + ColumnSql(info->name, f, false));
        StoreFieldCatalog(d, info->name, f);
    });
}
}  // namespace

// --- TableDef -----------------------------------------------------------------------------

TableDef::TableDef(std::string name)
    : name_(std::move(name)), fields_(std::make_shared<dao::Fields>()), indexes_(std::make_shared<dao::Indexes>()) {
    auto fields = fields_.get();
    fields_->onAppend_ = [this, fields](const FieldPtr& f) {
        CheckName(f->Name());
        if (fields->Contains(f->Name()))
            Fail(3191, "The field '" + f->Name() + "' is defined more than once in '" + name_ + "'.");
        if (auto d = db_.lock()) {
            AddColumn(*d, name_, *f->Def());
            loaded_ = false;
        }
        f->Def()->ordinal = static_cast<int16_t>(fields->Count());
    };
    auto indexes = indexes_.get();
    indexes_->onAppend_ = [this, indexes](const IndexPtr& ix) {
        CheckName(ix->Name());
        if (indexes->Contains(ix->Name()))
            Fail(err::kIndexExists, "The table '" + name_ + "' already has an index named '" + ix->Name() + "'.");
        if (auto d = db_.lock()) {
            auto info = d->Table(name_);
            int order = static_cast<int>(info->indexes.size()) + 1;
            Atomically(*d, [&] { CreateIndexOn(*d, *info, *ix, order); });
        }
    };
}

void TableDef::Attach(const std::shared_ptr<DatabaseImpl>& db) {
    db_ = db;
    loaded_ = false;
}

void TableDef::Load() {
    auto d = db_.lock();
    if (!d || loaded_) return;
    auto info = d->Table(name_);
    name_ = info->name;
    fields_->items_.clear();
    for (auto& fd : info->fields) {
        auto def = std::make_shared<FieldDef>(fd);
        auto f = std::make_shared<Field>(def);
        std::weak_ptr<DatabaseImpl> weak = d;
        std::string table = info->name, col = fd.name;
        f->Bind({}, [weak, table, col](const std::string& prop, const vb::Variant& v) {
            if (auto db = weak.lock()) {
                db->SetCatalog("F", table, col, "P:" + prop, v);
                db->schemaVersion = -1;
            }
        });
        fields_->items_.push_back(f);
    }
    indexes_->items_.clear();
    for (auto& ii : info->indexes) {
        auto ix = std::make_shared<Index>(ii.name);
        ix->Primary(ii.primary);
        ix->Unique(ii.unique);
        for (auto& c : ii.fields) ix->Fields()->items_.push_back(ix->CreateField(c));
        ix->appended_ = true;
        indexes_->items_.push_back(ix);
    }
    loaded_ = true;
}

FieldsPtr TableDef::Fields() {
    Load();
    return fields_;
}
std::shared_ptr<Indexes> TableDef::Indexes() {
    Load();
    return indexes_;
}

FieldPtr TableDef::CreateField(const std::string& name, int16_t type, int32_t size) {
    CheckName(name);
    auto def = std::make_shared<FieldDef>();
    def->name = name;
    def->type = type;
    def->size = size;
    NormalizeDef(*def);
    return std::make_shared<Field>(def);
}

IndexPtr TableDef::CreateIndex(const std::string& name) {
    CheckName(name);
    return std::make_shared<Index>(name);
}

int32_t TableDef::RecordCount() {
    auto d = db_.lock();
    if (!d) return 0;
    Stmt s(d->db, "SELECT count(*) FROM " + QuoteId(d->Table(name_)->name));
    s.Step();
    return sqlite3_column_int(s.get(), 0);
}

RecordsetPtr TableDef::OpenRecordset(int16_t type, int32_t options) {
    auto d = db_.lock();
    if (!d) Fail(err::kInvalidOperation, "The table '" + name_ + "' has not been appended to a database.");
    // In brackets: a table named like a statement is opened, not run.
    return OpenRecordsetOn(d, "[" + name_ + "]", type, options);
}

// --- QueryDef -----------------------------------------------------------------------------

QueryDef::QueryDef(std::shared_ptr<DatabaseImpl> db, std::string name, std::string sql)
    : db_(db), name_(std::move(name)), sql_(std::move(sql)) {}

namespace {

// The words of a statement outside quotes, bracketed names and parentheses,
// upper-cased; enough to tell what kind of statement it is.
std::vector<std::string> TopLevelWords(std::string_view sql) {
    std::vector<std::string> words;
    int depth = 0;
    size_t i = 0;
    while (i < sql.size()) {
        const char c = sql[i];
        if (c == '\'' || c == '"' || c == '`' || c == '[') {
            const char close = c == '[' ? ']' : c;
            size_t j = i + 1;
            while (j < sql.size() && sql[j] != close) ++j;
            i = j + 1;
        } else if (c == '(') {
            ++depth;
            ++i;
        } else if (c == ')') {
            if (depth > 0) --depth;
            ++i;
        } else if (std::isalpha(static_cast<unsigned char>(c)) || c == '_') {
            size_t j = i;
            while (j < sql.size() && (std::isalnum(static_cast<unsigned char>(sql[j])) || sql[j] == '_')) ++j;
            if (depth == 0) words.push_back(vb::UCase(sql.substr(i, j - i)));
            i = j;
        } else {
            ++i;
        }
    }
    return words;
}

}  // namespace

int16_t QueryDef::Type() const {
    const std::vector<std::string> words = TopLevelWords(sql_);
    if (words.empty()) return dbQSelect;
    const std::string& first = words.front();
    if (first == "TRANSFORM") return dbQCrosstab;
    if (first == "DELETE") return dbQDelete;
    if (first == "UPDATE") return dbQUpdate;
    if (first == "INSERT" || first == "REPLACE") return dbQAppend;
    if (first == "CREATE" || first == "ALTER" || first == "DROP") return dbQDDL;
    bool into = false;
    for (const std::string& w : words) {
        if (w == "UNION" || w == "INTERSECT" || w == "EXCEPT") return dbQSetOperation;
        if (w == "INTO") into = true;
    }
    if (first == "SELECT" && into) return dbQMakeTable;
    return dbQSelect;
}

RecordsetPtr QueryDef::OpenRecordset(int16_t type, int32_t options) {
    auto d = db_.lock();
    if (!d) Fail(err::kObjectClosed, "The query's database is closed.");
    if (!name_.empty() && d->FindTable(name_)) return OpenRecordsetOn(d, "[" + name_ + "]", type, options);
    return OpenRecordsetOn(d, sql_, type, options);
}

FieldsPtr QueryDef::Fields() {
    if (!fields_) {
        auto rs = OpenRecordset(dbOpenSnapshot, 0);
        fields_ = std::make_shared<dao::Fields>();
        for (auto& f : *rs->Fields())
            fields_->items_.push_back(std::make_shared<Field>(std::make_shared<FieldDef>(*f->Def())));
        rs->Close();
    }
    return fields_;
}

// --- Database: definitions -------------------------------------------------------------------

std::shared_ptr<TableDefs> Database::TableDefs() {
    impl_->CheckOpen();
    auto list = std::make_shared<dao::TableDefs>();
    Stmt s(
        impl_->db,
        "SELECT name FROM sqlite_master WHERE type='table' AND name NOT LIKE 'sqlite\\_%' ESCAPE '\\' AND name <> ?1 "
        "ORDER BY name COLLATE NOCASE");
    s.Bind(1, std::string(kCatalog));
    while (s.Step()) {
        if (std::find(impl_->setAside.begin(), impl_->setAside.end(), s.Text(0)) != impl_->setAside.end()) continue;
        auto td = std::make_shared<TableDef>(s.Text(0));
        td->Attach(impl_);
        list->items_.push_back(td);
    }
    std::weak_ptr<DatabaseImpl> weak = impl_;
    list->onAppend_ = [weak](const TableDefPtr& td) {
        auto d = weak.lock();
        if (!d) Fail(err::kObjectClosed, "The database is closed.");
        if (td->IsStored()) Fail(err::kTableExists, "The table '" + td->Name() + "' is already part of a database.");
        CreateTable(*d, *td);
        td->Attach(d);
    };
    list->onDelete_ = [weak](std::string_view name) {
        auto d = weak.lock();
        if (!d) Fail(err::kObjectClosed, "The database is closed.");
        auto info = d->Table(name);
        const bool later = !sqlite3_get_autocommit(d->db) && d->ReadsRunning();
        Atomically(*d, [&] {
            if (later)
                d->DropTableLater(info->name);
            else
                d->DropTable(info->name);
            d->DeleteCatalog("F", info->name);
            d->DeleteCatalog("I", info->name);
            d->DeleteCatalog("T", info->name);
        });
    };
    return list;
}

std::shared_ptr<QueryDefs> Database::QueryDefs() {
    impl_->CheckOpen();
    auto list = std::make_shared<dao::QueryDefs>();
    Stmt s(impl_->db, "SELECT name, sql FROM sqlite_master WHERE type='view' ORDER BY name COLLATE NOCASE");
    while (s.Step()) {
        std::string name = s.Text(0);
        std::string sql = impl_->CatalogText("Q", name, "", "SQL").value_or(std::string());
        if (sql.empty()) {
            // A view made by another tool: its SELECT after the first " AS ".
            std::string full = s.Text(1);
            std::string up = vb::UCase(full);
            auto p = up.find(" AS ");
            sql = p == std::string::npos ? full : vb::Trim(full.substr(p + 4));
        }
        list->items_.push_back(std::make_shared<QueryDef>(impl_, name, sql));
    }
    if (impl_->catalogExists) {
        // Queries with parameters are kept in the catalog only.
        Stmt q(impl_->db, std::string("SELECT tbl, value FROM ") + kCatalog + " WHERE kind='Q' AND prop='SQL'");
        while (q.Step())
            if (!list->Contains(q.Text(0)))
                list->items_.push_back(std::make_shared<QueryDef>(impl_, q.Text(0), q.Text(1)));
    }
    std::weak_ptr<DatabaseImpl> weak = impl_;
    list->onDelete_ = [weak](std::string_view name) {
        auto d = weak.lock();
        if (!d) Fail(err::kObjectClosed, "The database is closed.");
        Atomically(*d, [&] {
            if (auto v = d->StoredName(name, "view")) d->ExecDdl("DROP VIEW " + QuoteId(*v));
            d->DeleteCatalog("Q", std::string(name));
        });
    };
    list->onAppend_ = [](const QueryDefPtr&) {
        Fail(err::kInvalidOperation, "Queries are saved by CreateQueryDef with a name.");
    };
    return list;
}

TableDefPtr Database::CreateTableDef(const std::string& name) {
    CheckName(name);
    return std::make_shared<TableDef>(name);
}

QueryDefPtr Database::CreateQueryDef(const std::string& name, const std::string& sql) {
    impl_->CheckOpen();
    if (name.empty()) return std::make_shared<QueryDef>(impl_, name, sql);
    CheckName(name);
    if (impl_->FindTable(name) || impl_->CatalogText("Q", name, "", "SQL"))
        Fail(err::kIndexExists, "An object named '" + name + "' already exists in the database.");
    auto p = impl_->PrepareJet(sql);
    if (p.runOn != impl_ || !p.attachments.empty()) {
        p.runOn->Release(p.attachments);
        Fail(err::kNotSupported, "A saved query cannot read tables of another database file.");
    }
    Atomically(*impl_, [&] {
        // A query whose names are not all fields is a parameter query: it is
        // kept in the catalog, and opening it raises 3061.
        bool asView = true;
        sqlite3_stmt* probe = nullptr;
        if (sqlite3_prepare_v2(impl_->db, p.sql.c_str(), -1, &probe, nullptr) != SQLITE_OK)
            asView = std::string(sqlite3_errmsg(impl_->db)).rfind("no such column", 0) != 0;
        sqlite3_finalize(probe);
        if (asView) impl_->ExecDdl("CREATE VIEW " + QuoteId(name) + " AS " + p.sql);
        impl_->PurgeCatalog();
        impl_->SetCatalog("Q", name, "", "SQL", vb::Variant(sql));
        impl_->SetCatalog("Q", name, "", "Stored", vb::Variant(static_cast<int32_t>(asView)));
    });
    return std::make_shared<QueryDef>(impl_, name, sql);
}

RecordsetPtr Database::OpenRecordset(const std::string& source, int16_t type, int32_t options) {
    return OpenRecordsetOn(impl_, source, type, options);
}

}  // namespace dao
