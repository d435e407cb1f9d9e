// Services of the run context that the analyses rely on: progress,
// the missing-value condition, result-table creation and dropping, the
// default frequency intervals and the analyses' transactions.
#include <algorithm>
#include <cmath>

#include "ErrorStack.h"
#include "QuantaraImpl.h"
#include "RunContext.h"
#include "StatsGeneral.h"
#include "numeric/Numerics.h"
#include "vb/Conversions.h"
#include "vb/VbError.h"

void RunContext::Quarn_Msg(const int32_t& lngRecord, const bool& fForce, const std::string& strText) {
    // Called per row: the name is made once.
    static const std::string kProc = "Quarn_Msg";
    ProcScope scope(ErrStack(), kProc);
    if (!showStatus_) return;
    std::string message;
    if (lngRecord == 0) {
        message = strText + "...";
    } else if (lngRecord % 5 == 0 || fForce) {
        message = strText.empty() ? "Analyzing record: " + std::to_string(lngRecord) : strText;
    }
    if (!message.empty() && statusSink_) statusSink_(message);
}

std::string RunContext::Quarn_DataWhere(const std::string& strField) const {
    ProcScope scope(ErrStack(), "Quarn_DataWhere");
    const std::string& mode = missing_.type;
    // Numbers go into SQL in the C locale, whatever the user's locale.
    if (vb::EqualsNoCase(mode, "Equal")) return "(" + strField + " <> " + vb::NumberToSql(missing_.equal) + ")";
    if (vb::EqualsNoCase(mode, "Both")) {
        return "(" + strField + " Between " + vb::NumberToSql(missing_.low) + " And " + vb::NumberToSql(missing_.high) +
               ")";
    }
    if (vb::EqualsNoCase(mode, "High")) return "(" + strField + " <= " + vb::NumberToSql(missing_.high) + ")";
    if (vb::EqualsNoCase(mode, "Low")) return "(" + strField + " >= " + vb::NumberToSql(missing_.low) + ")";
    return {};
}

std::string RunContext::DataValueSql(const std::string& strField) const {
    const std::string where = Quarn_DataWhere(strField);
    return where.empty() ? strField : "IIf(" + where + ", " + strField + ", Null)";
}

// Whether the table has an index whose first field is this one.
static bool LeadsAnIndex(const dao::DatabasePtr& db, const std::string& table, const std::string& field) {
    if (table.empty() || !db->TableDefs()->Contains(table)) return false;
    const auto indexes = db->TableDefs()->Item(table)->Indexes();
    for (int32_t i = 0; i < indexes->Count(); ++i) {
        const dao::FieldsPtr fields = indexes->Item(i)->Fields();
        if (fields->Count() > 0 && vb::EqualsNoCase(fields->Item(0)->Name(), field)) return true;
    }
    return false;
}

RunContext::NumberField* RunContext::FindNumberField(const std::string& strTable, const std::string& strField) {
    auto known = std::find_if(numberFields_.begin(), numberFields_.end(),
                              [&](const auto& entry) { return entry.first == strTable; });
    if (known == numberFields_.end()) {
        std::vector<NumberField> numbers;
        dao::RecordsetPtr probe;
        try {
            probe = sourceDb_->OpenRecordset("SELECT * FROM " + BracketName(strTable) + " WHERE 1=0;",
                                             dao::dbOpenForwardOnly, dao::dbReadOnly);
        } catch (const vb::VbError&) {
            // A source that cannot be read so is reported where it is read.
        }
        // Fields of a table, also through a query; a computed field has no
        // declared type (and reads as a Double without a record). An index
        // list that cannot be read makes no table without number fields: the
        // field counts as one without an index, which may hold ''. A column
        // declared a text, bytes or nothing at all (which lists as a text)
        // may hold numbers, numbers as texts, and any other text.
        for (int32_t i = 0; probe && i < probe->Fields()->Count(); ++i) {
            const dao::FieldPtr& f = probe->Fields(i);
            const int16_t type = f->Type();
            if (type == dao::dbText || type == dao::dbMemo || type == dao::dbLongBinary) {
                numbers.push_back({.name = f->Name(), .typed = false});
                continue;
            }
            if (!dao::IsNumberType(type)) continue;
            const std::string source = f->SourceTable();
            bool indexed = false;
            try {
                indexed = LeadsAnIndex(sourceDb_, source, f->SourceField());
            } catch (const vb::VbError&) {}
            numbers.push_back({.name = f->Name(), .computed = source.empty(), .indexed = indexed});
        }
        if (probe) probe->Close();
        known = numberFields_.emplace(numberFields_.end(), strTable, std::move(numbers));
    }
    auto found = std::find_if(known->second.begin(), known->second.end(),
                              [&](const NumberField& f) { return vb::EqualsNoCase(f.name, strField); });
    return found == known->second.end() ? nullptr : &*found;
}

bool RunContext::HoldsEmptyText(const std::string& strTable, NumberField& field) {
    if (field.emptyText < 0) {
        // Without an index the question would read every record: taken as yes.
        field.emptyText = 1;
        if (field.indexed) {
            try {
                dao::RecordsetPtr rs = sourceDb_->OpenRecordset("SELECT TOP 1 1 FROM " + BracketName(strTable) +
                                                                    " WHERE " + BracketName(field.name) + " = '';",
                                                                dao::dbOpenForwardOnly, dao::dbReadOnly);
                field.emptyText = rs->Eof() ? 0 : 1;
                rs->Close();
            } catch (const vb::VbError&) {}
        }
    }
    return field.emptyText != 0;
}

std::string RunContext::ValueSql(const std::string& strTable, const std::string& strField, const std::string& strExpr) {
    const std::string expr = strExpr.empty() ? BracketName(strField) : strExpr;
    NumberField* f = FindNumberField(strTable, strField);
    const bool wrap = f && f->typed && !f->computed && HoldsEmptyText(strTable, *f);
    return wrap ? "NULLIF(" + expr + ", '')" : expr;
}

bool RunContext::ReadsEmptyAsMissing(const std::string& strTable, const std::string& strField) {
    NumberField* f = FindNumberField(strTable, strField);
    return f && (f->computed || !f->typed || HoldsEmptyText(strTable, *f));
}

std::string RunContext::NumberSql(const std::string& strTable, const std::string& strField,
                                  const std::string& strExpr) {
    const std::string expr = strExpr.empty() ? BracketName(strField) : strExpr;
    NumberField* f = FindNumberField(strTable, strField);
    if (!f) return expr;
    // Values of no declared number type are read as the data record set
    // reads them (see jet_number): a number text as its number, so that it
    // sorts and adds as one.
    if (f->computed || !f->typed) return "jet_number(" + expr + ")";
    return HoldsEmptyText(strTable, *f) ? "NULLIF(" + expr + ", '')" : expr;
}

void RunContext::RefuseTexts(const std::string& strTable, const std::vector<std::string>& strFields) {
    ProcScope scope(ErrStack(), "RefuseTexts");
    if (strFields.empty()) return;
    std::string field, text;
    bool blob = false;
    try {
        // Each field as SQL reads it as a number (NumberSql): a text left a
        // text there is no number, whatever the column's declared type.
        std::string select, where;
        for (const std::string& f : strFields) {
            const std::string value = NumberSql(strTable, f);
            select += (select.empty() ? "" : ", ") + value + " AS " + BracketName(f);
            where += (where.empty() ? "" : " OR ") + ("typeof(" + value + ") IN ('text', 'blob')");
        }
        dao::RecordsetPtr rs = sourceDb_->OpenRecordset("SELECT TOP 1 " + select + " FROM " + BracketName(strTable) +
                                                            " WHERE " + where + ";",
                                                        dao::dbOpenForwardOnly, dao::dbReadOnly);
        for (int32_t i = 0; !rs->Eof() && field.empty() && i < rs->Fields()->Count(); ++i) {
            int64_t integer = 0;
            double real = 0;
            std::string_view bytes;
            const dao::Field::Stored kind = rs->Fields(i)->StoredValue(integer, real, bytes);
            if (kind == dao::Field::Stored::kText || kind == dao::Field::Stored::kBlob) {
                field = strFields[static_cast<size_t>(i)];
                text.assign(bytes);
                blob = kind == dao::Field::Stored::kBlob;
            }
        }
        rs->Close();
    } catch (const vb::VbError&) {
        // A source that cannot be read so (a query with parameters) is
        // reported where the analysis reads it.
        return;
    }
    if (!field.empty()) throw dao::NotNumberValue(field, text, blob);
}

std::string RunContext::Quarn_CreateTable(const dao::TableDefPtr& tdf, bool fOpen) {
    ProcScope scope(ErrStack(), "Quarn_CreateTable");
    const dao::DatabasePtr db = outputDb_;
    std::string result;
    try {
        db->TableDefs()->Append(tdf);
        // Remembered so that a run that fails with an error drops it again.
        createdTables_.emplace_back(db, tdf->Name());
    } catch (const vb::VbError& e) {
        // "Already exists" says less than why the old table could not go.
        const bool refused = !refusedDropTable_.empty() && vb::EqualsNoCase(refusedDropTable_, tdf->Name());
        result = refused ? refusedDropText_ : e.Description();
    }
    dao::IndexPtr index = tdf->CreateIndex("PrimaryKey");
    index->Primary(true);
    index->Fields()->Append(index->CreateField("StatOutputID"));
    tdf->Indexes()->Append(index);
    if (result.empty() && fOpen) outputRs_ = OpenResultTable(db, tdf->Name());
    return result;
}

void RunContext::Quarn_DeleteTable(bool fTemp, const std::string& strTable) {
    ProcScope scope(ErrStack(), "Quarn_DeleteTable");
    refusedDropTable_.clear();
    try {
        const dao::DatabasePtr db = fTemp ? tempDb_ : outputDb_;
        if (db) db->TableDefs()->Delete(strTable);
    } catch (const vb::VbError& e) {
        if (!fTemp && e.Number() == dao::err::kTableInUse) {
            refusedDropTable_ = strTable;
            refusedDropText_ = e.Description();
        }
    } catch (...) {}
}

std::string RunContext::DescFreqInit_Zelk(bool fFraction, int16_t intIntervals, bool fLowerBound,
                                          const std::string& strTable, std::vector<std::string>& strFields,
                                          int16_t intOffset, int16_t intCount, double& dblFirst, double& dblWidth) {
    ProcScope scope(ErrStack(), "DescFreqInit_Zelk");
    Quarn_Msg(0, true, "Calculating default frequency values");
    if (intCount < 1) return "No data found";
    // One pass for every field: each field's bounds over its own valid values.
    std::string sql;
    for (int16_t i = 1; i <= intCount; ++i) {
        const std::string value = DataValueSql(NumberSql(strTable, strFields.at(static_cast<size_t>(intOffset + i))));
        const std::string n = std::to_string(i);
        sql += std::string(i == 1 ? "SELECT " : ", ") + "MIN(" + value + ") AS Minimum" + n + ", MAX(" + value +
               ") AS Maximum" + n;
    }
    bool found = false;
    double dblMin = 0;
    double dblMax = 0;
    // As a derived table: the data layer reads no row key along with it.
    dao::RecordsetPtr rs = sourceDb_->OpenRecordset("SELECT * FROM (" + sql + " FROM " + BracketName(strTable) + ");");
    for (int16_t i = 1; i <= intCount && !rs->Eof(); ++i) {
        const vb::Variant low = rs->Fields(2 * (i - 1))->Value();
        const vb::Variant high = rs->Fields(2 * (i - 1) + 1)->Value();
        if (low.IsNull()) continue;
        // Text and bytes sort above every number, so one among the numbers
        // is the maximum.
        int64_t integer = 0;
        double real = 0;
        std::string_view bytes;
        const dao::Field::Stored kind = rs->Fields(2 * (i - 1) + 1)->StoredValue(integer, real, bytes);
        if (kind == dao::Field::Stored::kText || kind == dao::Field::Stored::kBlob) {
            const std::string text(bytes);
            rs->Close();
            return engine::NotNumberMessage(strFields.at(static_cast<size_t>(intOffset + i)), strTable, text,
                                            kind == dao::Field::Stored::kBlob);
        }
        if (!std::isfinite(low.ToDouble()) || !std::isfinite(high.ToDouble())) {
            rs->Close();
            return engine::NotFiniteMessage(strFields.at(static_cast<size_t>(intOffset + i)), strTable);
        }
        if (!found) {
            dblMin = low.ToDouble();
            dblMax = high.ToDouble();
            found = true;
        } else {
            dblMin = std::min(dblMin, low.ToDouble());
            if (!high.IsNull()) dblMax = std::max(dblMax, high.ToDouble());
        }
    }
    rs->Close();
    if (!found) return "No data found";
    FrequencyIntervalDefaults(fFraction, intIntervals, fLowerBound, dblMin, dblMax, dblFirst, dblWidth);
    return {};
}

void RunContext::DeferFrequencyDefaults(bool fFraction, int16_t intIntervals, bool fLowerBound,
                                        const std::string& strTable, std::vector<std::string>& strFields,
                                        int16_t intOffset, int16_t intCount) {
    deferredIntervals_ = std::make_unique<DeferredIntervals>(DeferredIntervals{.fraction = fFraction,
                                                                               .intervals = intIntervals,
                                                                               .lower = fLowerBound,
                                                                               .table = strTable,
                                                                               .fields = &strFields,
                                                                               .offset = intOffset,
                                                                               .count = intCount,
                                                                               .bounds = nullptr});
}

std::shared_ptr<engine::SortedBounds> RunContext::GatherBounds(const std::vector<std::string>& strFields,
                                                               std::string& term) {
    DeferredIntervals* d = deferredIntervals_.get();
    if (!d || d->bounds || d->fields != &strFields || d->count < 1 || !sourceDb_) return nullptr;
    if (!engine::SortedBounds::Define(*sourceDb_)) return nullptr;
    // Each field's valid values, as DescFreqInit_Zelk takes them, but with
    // '' in a number column left for the gathering to pass over: a NULLIF
    // per value and row costs the sorted read a tenth of its time. '' stays
    // '' or becomes Null under every missing-value condition, as Null does.
    // A field of no declared number type is read as a number first, so that
    // a number text is compared with the bounds as its number.
    std::vector<std::string> values;
    std::vector<bool> emptyIsMissing;
    for (int16_t i = 1; i <= d->count; ++i) {
        const std::string& field = strFields.at(static_cast<size_t>(d->offset + i));
        const NumberField* f = FindNumberField(d->table, field);
        const bool typed = !f || (f->typed && !f->computed);
        values.push_back(DataValueSql(typed ? BracketName(field) : NumberSql(d->table, field)));
        emptyIsMissing.push_back(ReadsEmptyAsMissing(d->table, field));
    }
    d->bounds = std::make_shared<engine::SortedBounds>();
    term = d->bounds->Term(values, std::move(emptyIsMissing));
    return d->bounds;
}

std::string RunContext::ResolveFrequencyDefaults(double& dblFirst, double& dblWidth) {
    const std::unique_ptr<DeferredIntervals> d = std::move(deferredIntervals_);
    if (!d) return {};
    ProcScope scope(ErrStack(), "ResolveFrequencyDefaults");
    if (!d->bounds || !d->bounds->Usable()) {
        // Not gathered, or a text or an infinity met: the source's own
        // bounds, with their messages.
        return DescFreqInit_Zelk(d->fraction, d->intervals, d->lower, d->table, *d->fields, d->offset, d->count,
                                 dblFirst, dblWidth);
    }
    Quarn_Msg(0, true, "Calculating default frequency values");
    if (!d->bounds->Found()) return "No data found";
    FrequencyIntervalDefaults(d->fraction, d->intervals, d->lower, d->bounds->Low(), d->bounds->High(), dblFirst,
                              dblWidth);
    return {};
}

void RunContext::BeginTrans() {
    std::vector<dao::DatabasePtr> level;
    for (const dao::DatabasePtr& db : {outputDb_, tempDb_}) {
        if (!db || std::find(level.begin(), level.end(), db) != level.end()) continue;
        db->BeginTrans();
        level.push_back(db);
    }
    transactionLevels_.push_back(std::move(level));
}

void RunContext::CommitTrans() {
    if (transactionLevels_.empty()) return;
    // A database leaves the level once committed: one whose commit fails
    // (rows of a batch that cannot be written, a full disk) stays in it with
    // those after it, for UndoAfterError to roll back.
    std::vector<dao::DatabasePtr>& level = transactionLevels_.back();
    while (!level.empty()) {
        try {
            level.front()->CommitTrans();
        } catch (const vb::VbError& e) {
            // A scratch database closed inside the level took its work with it.
            if (e.Number() != dao::err::kObjectClosed) throw;
        }
        level.erase(level.begin());
    }
    transactionLevels_.pop_back();
}

void RunContext::TakeWriteLock() {
    if (!outputDb_ || !sourceDb_) return;
    outputDb_->BeginTrans(true);
    writeLock_ = outputDb_;
}

void RunContext::ReleaseWriteLock() {
    if (!writeLock_) return;
    writeLock_->CommitTrans();
    writeLock_ = nullptr;
}

namespace {
void CloseRecordset(dao::RecordsetPtr& rs) {
    try {
        if (rs) rs->Close();
    } catch (...) {}
    rs = nullptr;
}
}  // namespace

void RunContext::CloseRecordsets() {
    CloseRecordset(dataRs_);
    CloseRecordset(outputRs_);
    CloseRecordset(outputRs2_);
}

void RunContext::UndoAfterError() {
    for (; !transactionLevels_.empty(); transactionLevels_.pop_back()) {
        for (const auto& db : transactionLevels_.back()) {
            try {
                db->Rollback();
            } catch (...) {}
        }
    }
    // The run's own transaction takes back the tables made in its database
    // and brings back the ones they replaced; those must then stay.
    dao::DatabasePtr rolledBack;
    if (writeLock_) {
        try {
            writeLock_->Rollback();
            rolledBack = writeLock_;
        } catch (...) {}
        writeLock_ = nullptr;
    }
    CloseRecordsets();
    for (const auto& [db, name] : createdTables_) {
        if (!db || db == rolledBack) continue;
        try {
            db->TableDefs()->Delete(name);
        } catch (...) {}
    }
}

void RunContext::ForgetRunBookkeeping() {
    transactionLevels_.clear();
    createdTables_.clear();
}
