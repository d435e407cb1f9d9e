// Source data and row tests of the run context: the sorted data query, the
// field types, the per-row missing-value test, weights and group breaks.
#include <algorithm>
#include <functional>

#include "ErrorStack.h"
#include "QuantaraImpl.h"
#include "RunContext.h"
#include "StatsGeneral.h"
#include "vb/Conversions.h"
#include "vb/VbError.h"

namespace engine {

std::string SortedDataSql(const std::string& strTable, const std::vector<std::string>& strFields, int16_t intSortFields,
                          const std::string& extraTerm,
                          const std::function<std::string(int16_t, const std::string&)>& sortKey) {
    const int16_t n = static_cast<int16_t>(strFields.empty() ? 0 : strFields.size() - 1);
    // Names come from users' tables: each goes in through BracketName, so a
    // name that brackets cannot hold is refused rather than read as SQL.
    std::string sql = "SELECT ";
    for (int16_t i = 1; i <= n; ++i) {
        if (i > 1) sql += ", ";
        sql += BracketName(strFields[static_cast<size_t>(i)]);
    }
    if (!extraTerm.empty()) sql += (n > 0 ? ", " : "") + extraTerm;
    sql += " FROM " + BracketName(strTable) + " ORDER BY ";
    const int16_t sorted = intSortFields >= n ? n : static_cast<int16_t>(std::max<int>(intSortFields, 0) + 1);
    for (int16_t i = 1; i <= sorted; ++i) {
        if (i > 1) sql += ",";
        const std::string& name = strFields[static_cast<size_t>(i)];
        sql += sortKey ? sortKey(i, name) : BracketName(name);
    }
    return sql;
}

}  // namespace engine

namespace {

const char* const kParameterQuery = "The selected query expects parameters and cannot be used by Velmora.";

// OpenDataRecordset with the number of the error it met (0 for none).
std::string OpenSourceData(RunContext& q, std::string sql, int32_t& number) {
    number = 0;
    if (sql.empty() || sql.back() != ';') sql += ';';
    try {
        dao::DatabasePtr db = q.SourceDatabase();
        if (!db) {
            number = 91;
            return "Source database property not assigned or opened";
        }
        // Every value of the data passes here; an infinity fails the run.
        dao::RecordsetPtr rs =
            db->OpenRecordset(sql, dao::dbOpenDynaset, dao::dbReadOnly | dao::dbSeeChanges | dao::dbFiniteNumbers);
        q.DataRecordset(rs);
    } catch (const vb::VbError& e) {
        number = e.Number();
        if (number == dao::err::kTooFewParameters) return kParameterQuery;
        return e.Description();
    } catch (const std::exception& e) {
        number = -1;
        return e.what();
    }
    return {};
}

// The data-access layer keeps a saved query with parameters out of SQL, so
// a statement that reads it finds no such table; it is still the parameter
// query the user chose.
bool IsSavedQuery(const dao::DatabasePtr& db, const std::string& name) {
    try {
        return db && db->QueryDefs()->Contains(name);
    } catch (...) {
        return false;
    }
}

}  // namespace

std::string RunContext::Quarn_InitDataTable(const std::string& strTable, std::vector<std::string>& strFields,
                                            int16_t intSortFields, std::vector<int32_t>& lngTypes,
                                            std::vector<int32_t>& lngSizes) {
    ProcScope scope(ErrStack(), "Quarn_InitDataTable");
    const int16_t n = static_cast<int16_t>(strFields.empty() ? 0 : strFields.size() - 1);
    std::string sql;
    // Group fields as the database compares them, the value field as a number.
    const auto sortKey = [&](int16_t i, const std::string& name) {
        return i > intSortFields ? NumberSql(strTable, name) : ValueSql(strTable, name);
    };
    try {
        sql = engine::SortedDataSql(strTable, strFields, intSortFields, {}, sortKey);
    } catch (const vb::VbError& e) {
        // A name that cannot go into SQL is the analysis's error text.
        return e.Description();
    }
    int32_t number = 0;
    std::string err;
    std::string term;
    if (std::shared_ptr<engine::SortedBounds> bounds = GatherBounds(strFields, term)) {
        // The read gathers the default intervals' bounds as it sorts.
        err = OpenSourceData(*this, engine::SortedDataSql(strTable, strFields, intSortFields, term, sortKey), number);
        if (err.empty()) {
            bounds->Seal(dataRs_->ReadsAllRowsFirst());
        } else {
            // The plain read says what is wrong, in its own words.
            bounds->Seal(false);
            err = OpenSourceData(*this, sql, number);
        }
    } else {
        err = OpenSourceData(*this, sql, number);
    }
    if (number == dao::err::kNoInputTable && IsSavedQuery(sourceDb_, strTable)) return kParameterQuery;
    if (!err.empty()) return err;
    if (dataRs_->Eof()) return "No records found in " + strTable;
    Quarn_InitFieldTypes(dataRs_, n, strFields, lngTypes, lngSizes);
    return {};
}

std::string RunContext::OpenDataRecordset(std::string strSQL) {
    int32_t number = 0;
    return OpenSourceData(*this, std::move(strSQL), number);
}

void RunContext::Quarn_InitFieldTypes(const dao::RecordsetPtr& rs, int16_t n, const std::vector<std::string>& strFields,
                                      std::vector<int32_t>& lngTypes, std::vector<int32_t>& lngSizes) {
    ProcScope scope(ErrStack(), "Quarn_InitFieldTypes");
    const size_t count = n > 0 ? static_cast<size_t>(n) : 0;
    lngTypes.assign(count + 1, 0);
    lngSizes.assign(count + 1, 0);
    for (size_t i = 1; i <= count; ++i) {
        const dao::FieldPtr& f = rs->Fields(std::string_view(strFields.at(i)));
        lngTypes[i] = f->Type();
        lngSizes[i] = f->Size();
    }
    // Text group values are compared with case exactly when the source sorts
    // its text with case. Only text columns have a sort order of their own
    // (the layer reports numbers as neutral), so the first text column of the
    // record set decides; without one, case never matters.
    bool caseSensitive = false;
    if (n >= 1) {
        const int32_t columns = std::min<int32_t>(rs->Fields()->Count(), n);
        for (int32_t i = 0; i < columns; ++i) {
            const dao::FieldPtr& f = rs->Fields(i);
            if (f->Type() == dao::dbText || f->Type() == dao::dbMemo) {
                caseSensitive = f->CollatingOrder() != dao::dbSortGeneral;
                break;
            }
        }
    }
    caseSensitive_ = caseSensitive;
}

RunContext::MissingRule RunContext::RuleOf(const std::string& type) {
    if (vb::EqualsNoCase(type, "Equal")) return MissingRule::kEqual;
    if (vb::EqualsNoCase(type, "Low")) return MissingRule::kLow;
    if (vb::EqualsNoCase(type, "High")) return MissingRule::kHigh;
    if (vb::EqualsNoCase(type, "Both")) return MissingRule::kBoth;
    return MissingRule::kNone;
}

// Called per value: it cannot fail, so it keeps no error-stack entry.
bool RunContext::Quarn_DataOk_b(double dblValue, const bool& fCheck) const {
    switch (missingRule_) {
        case MissingRule::kNone:
            return true;
        case MissingRule::kEqual:
            return dblValue != missing_.equal;
        case MissingRule::kLow:
            return fCheck || dblValue >= missing_.low;
        case MissingRule::kHigh:
            return fCheck || dblValue <= missing_.high;
        case MissingRule::kBoth:
            return fCheck || (missing_.low <= dblValue && dblValue <= missing_.high);
    }
    return true;
}

double RunContext::Quarn_WeightCalc(bool fWeightField, const std::vector<std::string>& strFields,
                                    const int16_t& intWeightIndex) {
    // Called per row: the name is made once.
    static const std::string kProc = "Quarn_WeightCalc";
    ProcScope scope(ErrStack(), kProc);
    if (!fWeightField) return 1;
    return WeightOf(dataRs_->Fields(std::string_view(strFields.at(static_cast<size_t>(intWeightIndex))))->Value());
}

double RunContext::WeightOf(const vb::Variant& value) const { return value.IsNull() ? 0 : WeightOf(value.ToDouble()); }

double RunContext::WeightOf(double w) const {
    if (missingRule_ == MissingRule::kEqual && w == missing_.equal) return 0;
    return w > 0 ? w : 0;
}

bool RunContext::Quarn_SameRecords_b(int16_t n, bool fCompare, std::vector<vb::Variant>& varSaved,
                                     const std::vector<vb::Variant>& varCurrent) {
    // Called per row: the name is made once.
    static const std::string kProc = "Quarn_SameRecords_b";
    ProcScope scope(ErrStack(), kProc);
    if (!fCompare) {
        if (varSaved.size() < static_cast<size_t>(n) + 1) varSaved.resize(static_cast<size_t>(n) + 1);
        for (int16_t i = 1; i <= n; ++i) varSaved[static_cast<size_t>(i)] = varCurrent.at(static_cast<size_t>(i));
        return false;
    }
    for (int16_t i = 1; i <= n; ++i) {
        const vb::Variant& saved = varSaved.at(static_cast<size_t>(i));
        const vb::Variant& current = varCurrent.at(static_cast<size_t>(i));
        if (saved.IsNull()) {
            if (!current.IsNull()) return true;
            continue;
        }
        if (current.IsNull()) return true;
        // Texts of the same bytes are the same under either comparison.
        if (saved.IsString() && current.IsString() && saved.String() == current.String()) continue;
        const vb::CompareMethod method = saved.IsString() && caseSensitive_ ? vb::vbBinaryCompare : vb::vbTextCompare;
        if (vb::CompareVariants(saved, current, method) != 0) return true;
    }
    return false;
}

bool RunContext::Quarn_SameValue(const vb::Variant& varA, const vb::Variant& varB, const bool& fIgnoreCase) const {
    // Called per row: the name is made once.
    static const std::string kProc = "Quarn_SameValue";
    ProcScope scope(ErrStack(), kProc);
    if (varA.IsNull()) return varB.IsNull();
    if (varB.IsNull()) return false;
    if (!varA.IsString()) return vb::CompareVariants(varA, varB, vb::vbTextCompare) == 0;
    if (!fIgnoreCase && caseSensitive_) return vb::CompareVariants(varA, varB, vb::vbBinaryCompare) == 0;
    return vb::CompareVariants(varA, varB, vb::vbTextCompare) == 0;
}
