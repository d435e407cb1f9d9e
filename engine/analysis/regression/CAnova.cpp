#include "analysis/regression/CAnova.h"

#include <cmath>
#include <cstring>

#include "AnalysisPhases.h"
#include "ErrorStack.h"
#include "GroupWalker.h"
#include "RunContext.h"
#include "StatsGeneral.h"
#include "ZantelsScenario.h"
#include "vb/Conversions.h"
#include "vb/VbError.h"

namespace {

// A measure the data leave undefined is absent and its cell stays Null.
void SetIfFinite(const dao::RecordsetPtr& rs, std::string_view column, const std::optional<double>& value) {
    if (value) ::SetIfFinite(rs, column, *value);
}

// The DF column is a Long: a sum of weights beyond its range cannot be
// written there, and the run is refused saying so.
void SetDegreesOfFreedom(const dao::RecordsetPtr& rs, double df, const std::string& field, const RunContext& run) {
    const double whole = std::trunc(df);
    if (std::fabs(whole) > 2147483647.0) {
        const auto& scenario = run.CurrentScenario();
        throw vb::VbError(vb::err::kOverflow,
                          "The degrees of freedom of the field [" + field + "] of [" +
                              (scenario ? scenario->Table() : std::string()) + "] (" + vb::CStr(whole) +
                              ") are beyond the whole numbers the DF column holds (up to 2147483647): the weights "
                              "add up to too much. Analyse a query that scales the weights down so that they add up "
                              "to less than that, or leave the weight field out.",
                          "WriteAnova");
    }
    ::SetIfFinite(rs, "DF", whole);
}

}  // namespace

// --- compare values ------------------------------------------------------------------

void CompareValueIndex::Reset(bool caseBlind) {
    caseBlind_ = caseBlind;
    values_.clear();
    numbers_.clear();
    recent_.clear();
    nextRecent_ = 0;
    lastRecent_ = 0;
}

std::string CompareValueIndex::Key(const vb::Variant& value) const {
    if (value.IsNull()) return std::string(1, '\0');
    if (value.IsString()) return "s" + (caseBlind_ ? vb::LCase(value.String()) : value.String());
    // Numbers, dates and Booleans compare by value, as the database does.
    double x = value.ToDouble();
    if (x == 0) x = 0;  // -0 and 0 are one value
    std::string key(1 + sizeof x, 'n');
    std::memcpy(key.data() + 1, &x, sizeof x);
    return key;
}

void CompareValueIndex::Add(const vb::Variant& value) {
    values_.push_back(value);
    numbers_.emplace(Key(value), static_cast<int>(values_.size()));
}

int CompareValueIndex::Find(const vb::Variant& value) const {
    const auto it = numbers_.find(Key(value));
    return it == numbers_.end() ? 0 : it->second;
}

int CompareValueIndex::FindRecord(const GroupWalker& walk, int16_t pos) {
    constexpr size_t kRecent = 8;
    // Identical stored values read as identical values, which have the same
    // key. The value met last is tried first.
    const StoredView stored = walk.Stored(pos);
    if (lastRecent_ < recent_.size() && recent_[lastRecent_].first.Matches(stored)) return recent_[lastRecent_].second;
    for (size_t i = 0; i < recent_.size(); ++i) {
        if (recent_[i].first.Matches(stored)) {
            lastRecent_ = i;
            return recent_[i].second;
        }
    }
    // The stored bytes are kept before the value is read.
    StoredKey key;
    key.Keep(stored);
    const int j = Find(walk.Value(pos));
    if (recent_.size() < kRecent) {
        lastRecent_ = recent_.size();
        recent_.emplace_back(std::move(key), j);
    } else {
        lastRecent_ = nextRecent_;
        recent_[nextRecent_] = {std::move(key), j};
        nextRecent_ = (nextRecent_ + 1) % kRecent;
    }
    return j;
}

// --- the entry -------------------------------------------------------------------------

std::string Quarn_ANOVA(const std::string& strCalcType, int16_t incBlank_b, const std::string& OutTableName,
                        const std::string& DetailTblName, const std::string& strUserTable, FieldNames& strFields,
                        int16_t intGroupFields, int16_t intCompareFields, int16_t intNumFields, bool fWeightField,
                        RunContext& Zantels) {
    CAnova anova;
    return anova.Quarn_ANOVA(strCalcType, incBlank_b, OutTableName, DetailTblName, strUserTable, strFields,
                             intGroupFields, intCompareFields, intNumFields, fWeightField, Zantels);
}

std::string CAnova::Quarn_ANOVA(const std::string& strCalcType, int16_t incBlank_b, const std::string& OutTableName,
                                const std::string& DetailTblName, const std::string& strUserTable,
                                FieldNames& strFields, int16_t intGroupFields, int16_t intCompareFields,
                                int16_t intNumFields, bool fWeightField, RunContext& Zantels) {
    ProcScope scope(ErrStack(), "Quarn_ANOVA");
    zantels_ = &Zantels;
    fields_ = &strFields;
    calcType_ = vb::UCase(strCalcType);
    weighted_ = fWeightField;
    nG_ = static_cast<size_t>(std::max<int16_t>(intGroupFields, 0));
    nC_ = static_cast<size_t>(std::max<int16_t>(intCompareFields, 0));
    nX_ = static_cast<size_t>(std::max<int16_t>(intNumFields, 0));

    // The values compared are those of the compare fields: without one there
    // is nothing to compare, and the t-test table pairs the values of one.
    if (nC_ == 0) return "At least one Compare field must be assigned";
    if (calcType_ == "T" && nC_ > 1) return "Only one Compare field may be assigned";

    Zantels.Quarn_Msg(0, true, "Analyzing comparison fields");
    std::string result = AnovaGroups(incBlank_b, strUserTable, strFields, intGroupFields, intCompareFields);
    if (!result.empty()) return result;

    // A result table never replaces the source itself.
    for (const std::string* name : {&OutTableName, &DetailTblName}) {
        if (!name->empty() && vb::EqualsNoCase(*name, strUserTable))
            return "The output table " + *name + " cannot be the source table.";
    }
    result = RunAnalysisPhases(
        Zantels, {.openSource =
                      [&] {
                          if (incBlank_b != 0)
                              return Zantels.Quarn_InitDataTable(strUserTable, strFields,
                                                                 static_cast<int16_t>(nG_ + nC_), types_, sizes_);
                          return InitAnovaTable(incBlank_b, strUserTable, strFields, intGroupFields, intCompareFields,
                                                types_, sizes_);
                      },
                  .createOutput =
                      [&] {
                          std::string text = calcType_ == "T"
                                                 ? CreateTTest(OutTableName, intGroupFields, strFields, types_, sizes_)
                                                 : CreateAnova(OutTableName, intGroupFields, strFields, types_, sizes_);
                          if (text.empty() && !DetailTblName.empty()) text = CreateDetail(DetailTblName);
                          return text;
                      },
                  .readRecords = [&] { ReadRecords(); }});
    if (detail_) detail_->Close();
    detail_.reset();
    return result;
}

std::string CAnova::AnovaGroups(int16_t incBlank_b, const std::string& strUserTable, FieldNames& strFields,
                                int16_t intGroupFields, int16_t intCompareFields) {
    ProcScope scope(ErrStack(), "AnovaGroups");
    groups_.assign(static_cast<size_t>(std::max<int16_t>(intCompareFields, 0)), CompareValueIndex());
    maxGroups_ = 0;
    for (int16_t c = 1; c <= intCompareFields; ++c) {
        const std::string& field = strFields.at(static_cast<size_t>(intGroupFields + c));
        const std::string name = BracketName(field);
        const std::string value = zantels_->ValueSql(strUserTable, field);
        // Ascending with Null first, asked for rather than left to chance.
        // The inner DISTINCT keeps the few values as it scans; only they are
        // sorted, not every row.
        std::string sql = "SELECT DISTINCT " + value + " AS " + name + " FROM " + BracketName(strUserTable);
        if (incBlank_b == 0) sql += " WHERE (" + value + " Is Not Null)";
        sql = "SELECT DISTINCT " + name + " FROM (" + sql + ") ORDER BY " + name + ";";
        dao::RecordsetPtr rs;
        try {
            rs = zantels_->SourceDatabase()->OpenRecordset(sql);
        } catch (const vb::VbError& e) {
            if (e.Number() == dao::err::kTooFewParameters)
                return "The selected query expects parameters and cannot be used by Velmora.";
            return e.Description();
        }
        CompareValueIndex& values = groups_[static_cast<size_t>(c - 1)];
        // The list and the lookup tell values apart by the column's collation.
        values.Reset(rs->Fields(0)->CollatingOrder() == dao::dbSortGeneral);
        while (!rs->Eof()) {
            values.Add(rs->Fields(0)->Value());
            rs->MoveNext();
        }
        rs->Close();
        maxGroups_ = std::max(maxGroups_, static_cast<size_t>(values.Count()));
    }
    return {};
}

std::string CAnova::InitAnovaTable(int16_t incBlank_b, const std::string& strUserTable, FieldNames& strFields,
                                   int16_t intGroupFields, int16_t intCompareFields,
                                   std::vector<int32_t>& lngFieldTypes, std::vector<int32_t>& lngFieldSizes) {
    ProcScope scope(ErrStack(), "InitAnovaTable");
    const int16_t n = static_cast<int16_t>(strFields.size() - 1);
    std::string sql = "SELECT ";
    for (int16_t i = 1; i <= n; ++i) sql += (i > 1 ? ", " : "") + BracketName(strFields[static_cast<size_t>(i)]);
    sql += " FROM " + BracketName(strUserTable) + " ";
    if (incBlank_b == 0) {
        sql += " WHERE (";
        for (int16_t c = 1; c <= intCompareFields; ++c) {
            if (c > 1) sql += " AND ";
            sql += "(" + zantels_->ValueSql(strUserTable, strFields[static_cast<size_t>(intGroupFields + c)]) +
                   " Is Not Null)";
        }
        sql += ")";
    }
    const int16_t sorted = intGroupFields == n ? intGroupFields : static_cast<int16_t>(intGroupFields + 1);
    sql += " ORDER BY ";
    for (int16_t i = 1; i <= sorted; ++i)
        sql += (i > 1 ? "," : "") + zantels_->ValueSql(strUserTable, strFields[static_cast<size_t>(i)]);
    std::string result = zantels_->OpenDataRecordset(sql);
    if (!result.empty()) return result;
    if (zantels_->DataRecordset()->Eof()) {
        return incBlank_b != 0 ? "No records found in " + strUserTable + "."
                               : "No records with non-blank Compare Fields found in " + strUserTable + ".";
    }
    zantels_->Quarn_InitFieldTypes(zantels_->DataRecordset(), n, strFields, lngFieldTypes, lngFieldSizes);
    return {};
}

// --- result tables ------------------------------------------------------------------------

std::string CAnova::CreateAnova(const std::string& OutTableName, int16_t intGroupFields, const FieldNames& strFields,
                                const std::vector<int32_t>& lngFieldTypes, const std::vector<int32_t>& lngFieldSizes) {
    ProcScope scope(ErrStack(), "CreateAnova");
    dao::TableDefPtr tdf = NewResultTable(*zantels_, OutTableName);
    int16_t ordinal =
        BuildOutputFields(tdf, intGroupFields, strFields, lngFieldTypes, lngFieldSizes, true, 0, 0, false, "", "");
    AddOutputField(tdf, "Index", dao::dbInteger, ordinal);
    AddOutputField(tdf, "Source_of_Variation", dao::dbText, ordinal, 70);
    AddOutputField(tdf, "Sum_of_Squares", dao::dbDouble, ordinal);
    AddOutputField(tdf, "DF", dao::dbLong, ordinal);
    for (const char* name : {"Mean_Square", "F-Value", "Prob"}) AddOutputField(tdf, name, dao::dbDouble, ordinal);
    return zantels_->Quarn_CreateTable(tdf, true);
}

std::string CAnova::CreateTTest(const std::string& OutTableName, int16_t intGroupFields, const FieldNames& strFields,
                                const std::vector<int32_t>& lngFieldTypes, const std::vector<int32_t>& lngFieldSizes) {
    ProcScope scope(ErrStack(), "CreateTTest");
    dao::TableDefPtr tdf = NewResultTable(*zantels_, OutTableName);
    int16_t ordinal = BuildOutputFields(tdf, intGroupFields, strFields, lngFieldTypes, lngFieldSizes, true, 0,
                                        static_cast<int16_t>(intGroupFields + 1), false, "", "");
    for (const char* name : {"Count-1", "Count-2", "Mean-1", "Mean-2", "Mean_Diff", "StdDeviation-1", "StdDeviation-2",
                             "StdError-1", "StdError-2", "DF_Pooled", "t-Value_Pooled", "Prob_(2-tail)_Pooled",
                             "DF_Separate", "t-Value_Separate", "Prob_(2-tail)_Separate"})
        AddOutputField(tdf, name, dao::dbDouble, ordinal);
    return zantels_->Quarn_CreateTable(tdf, true);
}

std::string CAnova::CreateDetail(const std::string& DetailTblName) {
    ProcScope scope(ErrStack(), "CreateDetail");
    const int16_t nG = static_cast<int16_t>(nG_);
    const dao::DatabasePtr db = zantels_->OutputDatabase();
    dao::TableDefPtr tdf = NewResultTable(*zantels_, DetailTblName);
    int16_t ordinal = 0;
    if (nC_ == 1) {
        // The compare field becomes a column under its own name.
        ordinal = BuildOutputFields(tdf, static_cast<int16_t>(nG + 1), *fields_, types_, sizes_, true, 0, 0, weighted_,
                                    "Count", "");
    } else {
        int32_t size = 0;
        CommonFieldType(nG, static_cast<int16_t>(nC_), types_, sizes_, compareType_, size);
        ordinal = BuildOutputFields(tdf, nG, *fields_, types_, sizes_, true, 0, 0, weighted_, "", "");
        AddOutputField(tdf, "Compare_Field", dao::dbText, ordinal, 64);
        AddOutputField(tdf, "Compare_Value", static_cast<int16_t>(compareType_), ordinal, size);
        AddOutputField(tdf, "Count", dao::dbDouble, ordinal);
    }
    for (const char* name :
         {"Mean", "Minimum", "Maximum", "Range", "Sum", "Variance", "CoeffOfVariance", "StdDeviation", "StdError"})
        AddOutputField(tdf, name, dao::dbDouble, ordinal);
    std::string result = zantels_->Quarn_CreateTable(tdf, false);
    if (result.empty()) detail_ = OpenResultTable(db, DetailTblName);
    return result;
}

// --- the record loop ------------------------------------------------------------------------

void CAnova::InitData() {
    for (CellSums& c : cells_) c.Clear();
    for (CellSums& c : fieldSums_) c.Clear();
    for (auto& field : pairs_)
        for (PairCells& p : field) p.Clear();
}

void CAnova::CalcData(const GroupWalker& walk, double w) {
    if (w <= 0) return;
    // A record whose compare value is not in the list counts nowhere: in
    // neither the totals nor the cells.
    for (size_t c = 0; c < nC_; ++c) {
        const int j = groups_[c].FindRecord(walk, static_cast<int16_t>(nG_ + c + 1));
        if (j == 0) return;
        recordValues_[c] = j;
    }
    for (size_t k = 0; k < nX_; ++k) {
        double x = 0;
        if (!walk.PresentValue(static_cast<int16_t>(nG_ + nC_ + k + 1), x)) continue;
        const DecimalValue value = SplitDecimal(x);
        fieldSums_[k].Add(value, w);
        for (size_t c = 0; c < nC_; ++c) Cell(static_cast<int>(k), static_cast<int>(c), recordValues_[c]).Add(value, w);
        if (nC_ >= 2) {
            size_t u = 0;
            for (size_t a = 0; a < nC_; ++a) {
                for (size_t b = a + 1; b < nC_; ++b, ++u) {
                    PairCells& p = pairs_[k][u];
                    const size_t at = p.At(recordValues_[a], recordValues_[b]);
                    p.cell[at].Add(value, w);
                    p.rawSum[at] += x * w;
                }
            }
        }
    }
}

void CAnova::ReadRecords() {
    ProcScope scope(ErrStack(), "ReadRecords");
    cells_.assign(nX_ * nC_ * (maxGroups_ + 1), CellSums());
    fieldSums_.assign(nX_, CellSums());
    recordValues_.assign(nC_, 0);
    pairs_.assign(nX_, {});
    if (nC_ >= 2) {
        for (auto& field : pairs_) {
            for (size_t a = 0; a < nC_; ++a) {
                for (size_t b = a + 1; b < nC_; ++b) {
                    field.emplace_back();
                    field.back().Resize(groups_[a].Count(), groups_[b].Count());
                }
            }
        }
    }
    const int16_t weightAt = static_cast<int16_t>(nG_ + nC_ + nX_ + 1);
    GroupWalker walk(*zantels_, *fields_, static_cast<int16_t>(nG_), weighted_, weightAt);
    GroupWalker::Handlers handlers;
    handlers.record = [&](double w) { CalcData(walk, w); };
    handlers.groupEnd = [&](const GroupValues& group, int32_t) { WriteData(group); };
    handlers.groupStart = [&] { InitData(); };
    walk.Walk(handlers);
}

void CAnova::WriteData(const GroupValues& group) {
    if (calcType_ == "T") {
        WriteTTest(group);
    } else {
        WriteAnova(group);
    }
}

// --- rows of a finished group ------------------------------------------------------------------

void CAnova::WriteDetail(int k, const GroupValues& group) {
    ProcScope scope(ErrStack(), "WriteDetail");
    const int16_t dataAt = static_cast<int16_t>(nG_ + nC_ + static_cast<size_t>(k) + 1);
    for (size_t c = 0; c < nC_; ++c) {
        const int16_t compareAt = static_cast<int16_t>(nG_ + c + 1);
        for (int j = 1; j <= groups_[c].Count(); ++j) {
            const CellSums& cell = Cell(k, static_cast<int>(c), j);
            if (!(cell.Weights() > 0)) continue;
            detail_->AddNew();
            WriteGroupValues(detail_, static_cast<int16_t>(nG_), *fields_, group, dataAt, "Count", "", weighted_,
                             cell.Weights(), cell.count, cell.count);
            const vb::Variant& value = groups_[c].Value(j);
            if (nC_ == 1) {
                detail_->Fields(std::string_view((*fields_)[static_cast<size_t>(compareAt)]))->Value(value);
            } else {
                detail_->Fields(std::string_view("Compare_Field"))->Value((*fields_)[static_cast<size_t>(compareAt)]);
                const bool sameType = types_.at(static_cast<size_t>(compareAt)) == compareType_;
                detail_->Fields(std::string_view("Compare_Value"))
                    ->Value(sameType || value.IsNull() ? value : vb::Variant(value.ToString()));
            }
            const DetailMeasures d = CellDetail(cell);
            SetIfFinite(detail_, "Mean", d.mean);
            SetIfFinite(detail_, "Minimum", cell.minimum);
            SetIfFinite(detail_, "Maximum", cell.maximum);
            SetIfFinite(detail_, "Range", d.range);
            SetIfFinite(detail_, "Sum", cell.sum.Value());
            SetIfFinite(detail_, "Variance", d.variance);
            SetIfFinite(detail_, "CoeffOfVariance", d.coeffOfVariance);
            SetIfFinite(detail_, "StdDeviation", d.stdDeviation);
            SetIfFinite(detail_, "StdError", d.stdError);
            detail_->Update();
        }
    }
}

void CAnova::WriteTTest(const GroupValues& group) {
    ProcScope scope(ErrStack(), "WriteTTest");
    const dao::RecordsetPtr& rs = zantels_->OutputRecordset();
    const CompareValueIndex& values = groups_[0];
    for (size_t k = 0; k < nX_; ++k) {
        const int kk = static_cast<int>(k);
        if (detail_) WriteDetail(kk, group);
        for (int i = 1; i <= values.Count(); ++i) {
            const CellSums& first = Cell(kk, 0, i);
            if (!(first.Weights() > 1)) continue;
            for (int j = i + 1; j <= values.Count(); ++j) {
                const CellSums& second = Cell(kk, 0, j);
                if (!(second.Weights() > 1)) continue;
                const TTestRow t = TwoSampleTTest(first, second, z_);
                rs->AddNew();
                WriteGroupValues(rs, static_cast<int16_t>(nG_), *fields_, group,
                                 static_cast<int16_t>(nG_ + nC_ + k + 1), "", "", false, 0, 0, 0,
                                 static_cast<int16_t>(nG_ + 1), values.Value(i), values.Value(j));
                SetIfFinite(rs, "Count-1", t.n1);
                SetIfFinite(rs, "Count-2", t.n2);
                SetIfFinite(rs, "Mean-1", t.mean1);
                SetIfFinite(rs, "Mean-2", t.mean2);
                SetIfFinite(rs, "Mean_Diff", t.meanDiff);
                SetIfFinite(rs, "StdDeviation-1", t.sd1);
                SetIfFinite(rs, "StdDeviation-2", t.sd2);
                SetIfFinite(rs, "StdError-1", t.se1);
                SetIfFinite(rs, "StdError-2", t.se2);
                SetIfFinite(rs, "DF_Pooled", t.dfPooled);
                SetIfFinite(rs, "t-Value_Pooled", t.tPooled);
                SetIfFinite(rs, "Prob_(2-tail)_Pooled", t.probPooled);
                SetIfFinite(rs, "DF_Separate", t.dfSeparate);
                SetIfFinite(rs, "t-Value_Separate", t.tSeparate);
                SetIfFinite(rs, "Prob_(2-tail)_Separate", t.probSeparate);
                rs->Update();
            }
        }
    }
}

void CAnova::WriteAnova(const GroupValues& group) {
    ProcScope scope(ErrStack(), "WriteAnova");
    const dao::RecordsetPtr& rs = zantels_->OutputRecordset();
    std::vector<std::string> names;
    for (size_t c = 0; c < nC_; ++c) names.push_back((*fields_)[nG_ + c + 1]);
    std::vector<std::vector<CellSums>> oneWay(nC_);
    for (size_t k = 0; k < nX_; ++k) {
        const int kk = static_cast<int>(k);
        for (size_t c = 0; c < nC_; ++c) {
            oneWay[c].assign(static_cast<size_t>(groups_[c].Count()) + 1, CellSums());
            for (int j = 1; j <= groups_[c].Count(); ++j)
                oneWay[c][static_cast<size_t>(j)] = Cell(kk, static_cast<int>(c), j);
        }
        const std::vector<AnovaRow> rows = AnovaTable(fieldSums_[k], oneWay, pairs_[k], names, z_, zantels_);
        if (rows.empty()) continue;  // nothing to analyse: no detail rows either
        if (detail_) WriteDetail(kk, group);
        int16_t index = 0;
        for (const AnovaRow& row : rows) {
            rs->AddNew();
            WriteGroupValues(rs, static_cast<int16_t>(nG_), *fields_, group, static_cast<int16_t>(nG_ + nC_ + k + 1),
                             "", "", false, 0, 0, 0);
            rs->Fields(std::string_view("Index"))->Value(++index);
            rs->Fields(std::string_view("Source_of_Variation"))->Value(row.source);
            SetDegreesOfFreedom(rs, row.df, (*fields_)[nG_ + nC_ + k + 1], *zantels_);
            SetIfFinite(rs, "Sum_of_Squares", row.ss);
            SetIfFinite(rs, "Mean_Square", row.meanSquare);
            SetIfFinite(rs, "F-Value", row.fValue);
            SetIfFinite(rs, "Prob", row.prob);
            rs->Update();
        }
    }
}
