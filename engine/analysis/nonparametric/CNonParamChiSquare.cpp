// One-way chi-square test of equal frequencies: for every compare field and
// every group of the group fields, the records at each value of the compare
// field are counted (or their weights summed) as a grouped query does, the
// expected count is the group's total over the number of values, and one
// summary row carries the statistic, its degrees of freedom and its upper-tail
// probability; a detail table can show every value's share.
//
// Records whose weight is not positive are left out, as in the other tests:
// an expected count is then never 0. With "all groups" every value found in
// the whole source counts in every group, and a value a group lacks adds its
// expected count to the statistic, as its detail row shows.
#include <cmath>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "AnalysisPhases.h"
#include "ErrorStack.h"
#include "GroupAggregate.h"
#include "RunContext.h"
#include "StatsGeneral.h"
#include "analysis/AnalysisEntries.h"
#include "numeric/CZValue.h"
#include "numeric/Numerics.h"
#include "vb/Conversions.h"
#include "vb/Variant.h"
#include "vb/VbError.h"

namespace {

const char* const kParameterQuery = "The selected query expects parameters and cannot be used by Velmora.";

// One row of the summary query: a compare value and its count or weight sum.
struct ValueRow {
    vb::Variant value;
    double observed;
};

class CNonParamChiSquare {
public:
    std::string Quarn_ChiSquare(const std::string& OutTableName, const std::string& DetailTableName,
                                const std::string& strUserTable, FieldNames& strFields, int16_t intGroupFields,
                                int16_t intCompareFields, int16_t intWeightField_b, bool fDetail, int16_t blanks_b,
                                bool fAll, RunContext& Zantels);

private:
    void AllGroups();
    void CalcData(const ValueRow& row);
    std::string ChiSummary();
    bool CountInMemory(const std::string& keys, const std::string& filter);
    bool AtEnd() const;
    vb::Variant Cell(int i) const;
    void Next();
    std::string DetailFieldTypes();
    std::string CreateDetail(const std::string& DetailTableName);
    std::string CreateOutput(const std::string& OutTableName);
    void ReadRecords();
    void FinishGroup(const std::vector<vb::Variant>& group, const std::vector<ValueRow>& rows);
    void WriteData(const std::vector<vb::Variant>& group);
    void WriteDetail(const vb::Variant& value, double observed);
    double HeldTerm(double observed) const;
    std::string GetWhereClause(const std::string& strName, int32_t lngType) const;
    std::string Filter() const;
    int32_t SourceFieldType(const std::string& strField) const;
    bool SameCompareValue(const vb::Variant& a, const vb::Variant& b) const;

    RunContext* z_ = nullptr;
    std::string table_;
    FieldNames* fields_ = nullptr;
    int nG_ = 0, nC_ = 0;
    bool fWeight_ = false, fDetail_ = false, fBlanks_ = false, fAll_ = false;
    bool weightsSearched_ = false;  // for a text, before SQL first adds them up

    // The working list: group fields, the compare field being tested, the weight field.
    FieldNames work_;
    std::vector<int32_t> types_, sizes_;
    std::string compare_;       // name of the compare field being tested
    int32_t compareType_ = 0;   // its type in the source
    bool compareCase_ = false;  // its texts compare with case
    std::vector<vb::Variant> valueList_;
    // The summary rows when counted in memory (else the data record set's).
    std::unique_ptr<GroupAggregate> counts_;
    size_t countRow_ = 0;

    // Detail table.
    dao::RecordsetPtr detail_;
    std::vector<int32_t> sourceTypes_, sourceSizes_;
    int32_t commonType_ = 0;
    bool numbersInComputed_ = false;  // see DetailFieldTypes

    // Per group.
    double total_ = 0;     // T
    double expected_ = 0;  // E
    double chi_ = 0;       // X
    ExactSum cumul_;       // K
    int32_t rows_ = 0;     // r
    // The terms of the statistic are formed from the counts divided by
    // 2^scale_, and the statistic is held so: 0 at an ordinary scale, else
    // the total's own, so that the square of a difference of weights of
    // 1e300 does not overflow, nor one of weights of 2^-600 vanish.
    int scale_ = 0;
    std::vector<vb::Variant> detailKey_;
    CZValue prob_;
};

std::string CNonParamChiSquare::Quarn_ChiSquare(const std::string& OutTableName, const std::string& DetailTableName,
                                                const std::string& strUserTable, FieldNames& strFields,
                                                int16_t intGroupFields, int16_t intCompareFields,
                                                int16_t intWeightField_b, bool fDetail, int16_t blanks_b, bool fAll,
                                                RunContext& Zantels) {
    ProcScope scope(ErrStack(), "Quarn_ChiSquare");
    z_ = &Zantels;
    table_ = strUserTable;
    fields_ = &strFields;
    nG_ = intGroupFields;
    nC_ = intCompareFields;
    fWeight_ = intWeightField_b != 0;
    fDetail_ = fDetail;
    fBlanks_ = blanks_b != 0;
    fAll_ = fAll;
    weightsSearched_ = false;

    std::string result;
    if (fDetail_) {
        result = DetailFieldTypes();
        if (!result.empty()) return result;
    }
    work_.assign(static_cast<size_t>(nG_) + 2, std::string());
    for (int g = 1; g <= nG_; ++g) work_[static_cast<size_t>(g)] = strFields.at(static_cast<size_t>(g));
    if (fWeight_) work_.push_back(strFields.at(static_cast<size_t>(nG_ + nC_ + 1)));

    FieldPhases phases;
    for (int c = 1; c <= nC_; ++c) phases.fieldNames.push_back(strFields.at(static_cast<size_t>(nG_ + c)));
    phases.openField = [&](int c) {
        compare_ = strFields.at(static_cast<size_t>(nG_ + c));
        work_[static_cast<size_t>(nG_) + 1] = compare_;
        compareType_ = SourceFieldType(compare_);
        return ChiSummary();
    };
    // The tables of an earlier run stay until the first summary query has
    // been opened.
    phases.createOutput = [&] {
        std::string made = fDetail_ ? CreateDetail(DetailTableName) : std::string();
        if (made.empty()) made = CreateOutput(OutTableName);
        return made;
    };
    phases.readRecords = [&](int) {
        if (!AtEnd()) ReadRecords();
    };
    result = RunFieldPhases(Zantels, phases);
    if (detail_) {
        detail_->Close();
        Zantels.OutputRecordset2(nullptr);
    }
    return result;
}

// The DAO type of a field of the source table or query.
int32_t CNonParamChiSquare::SourceFieldType(const std::string& strField) const {
    dao::RecordsetPtr rs = z_->SourceDatabase()->OpenRecordset(
        "SELECT " + BracketName(strField) + " FROM " + BracketName(table_) + " WHERE 1 = 0;", dao::dbOpenSnapshot);
    const int32_t type = rs->Fields(0)->Type();
    rs->Close();
    return type;
}

// The condition that keeps the present values of the compare field: not Null
// and, for a numeric field, not missing under the run's missing-value mode.
std::string CNonParamChiSquare::GetWhereClause(const std::string& strName, int32_t lngType) const {
    ProcScope scope(ErrStack(), "GetWhereClause");
    if (dao::IsNumberType(lngType)) {
        // A text or BLOB is kept whatever the condition makes of it (text
        // compares above every number), so that it is refused as under the
        // other modes, not dropped without a word.
        const std::string where = z_->Quarn_DataWhere(strName);
        if (!where.empty()) return "((" + where + ") Or typeof(" + strName + ") In ('text', 'blob')) ";
    }
    return "(" + strName + " Is Not Null) ";
}

// The WHERE condition of both queries of the current compare field; empty
// when nothing is filtered.
std::string CNonParamChiSquare::Filter() const {
    std::string filter;
    // Without a missing-value mode and with blanks counted, Null is a value.
    if (!z_->MissingType().empty() || !fBlanks_) filter = GetWhereClause(z_->ValueSql(table_, compare_), compareType_);
    if (fWeight_) {
        const std::string weight = z_->NumberSql(table_, work_.back());
        const std::string where = z_->Quarn_DataWhere(weight);
        if (!filter.empty()) filter += "and ";
        filter += "(" + (where.empty() ? std::string() : where + " and ") + "(" + weight + " > 0)) ";
    }
    return filter;
}

// The distinct values of the compare field in the whole source, in the order
// of the summary rows (ascending, Null first): a DISTINCT without ORDER BY is
// sorted after its values are found, not by a sort of every record.
void CNonParamChiSquare::AllGroups() {
    ProcScope scope(ErrStack(), "AllGroups");
    const std::string name = BracketName(compare_);
    const std::string filter = Filter();
    std::string sql =
        "SELECT DISTINCT " + z_->ValueSql(table_, compare_) + " AS " + name + " FROM " + BracketName(table_);
    if (!filter.empty()) sql += " WHERE " + filter;
    sql += ";";
    dao::RecordsetPtr rs = z_->SourceDatabase()->OpenRecordset(sql, dao::dbOpenSnapshot, dao::dbReadOnly);
    valueList_.clear();
    while (!rs->Eof()) {
        valueList_.push_back(rs->Fields(0)->Value());
        rs->MoveNext();
    }
    rs->Close();
}

// The grouped counts of the current compare field (and with "all groups"
// its value list): counted in memory from one read of the records where that
// gives the grouped query's rows, else the grouped query opened as the data
// record set.
std::string CNonParamChiSquare::ChiSummary() {
    ProcScope scope(ErrStack(), "ChiSummary");
    std::string keys;
    std::string groupKeys;  // as the database compares them
    for (int i = 1; i <= nG_ + 1; ++i) {
        if (i > 1) keys += ", ", groupKeys += ", ";
        keys += BracketName(work_[static_cast<size_t>(i)]);
        groupKeys += z_->ValueSql(table_, work_[static_cast<size_t>(i)]);
    }
    const std::string filter = Filter();
    valueList_.clear();
    counts_.reset();
    countRow_ = 0;
    if (!CountInMemory(keys, filter)) {
        // Here SQL adds the weights up, which would add a text as 0; the
        // count in memory reads each weight and refuses a text itself.
        if (fWeight_ && !weightsSearched_) {
            weightsSearched_ = true;
            z_->RefuseTexts(table_, {work_.back()});
        }
        // Only "all groups" counts the values a group lacks.
        if (fAll_) AllGroups();
        const std::string name = BracketName(compare_);
        std::string sql = "SELECT DISTINCTROW " + keys + ", Sum(IIF(IsNull(" + name + "), 1, 1)) as Count1";
        if (fWeight_) sql += ", Sum(" + z_->NumberSql(table_, work_.back()) + ") as Weight1";
        sql += " FROM " + BracketName(table_) + " ";
        if (!filter.empty()) sql += "WHERE " + filter;
        // The walk pairs the rows of a group with the value list: both in the
        // same ascending order.
        sql += "GROUP BY " + groupKeys + " ORDER BY " + groupKeys + ";";
        const std::string result = z_->OpenDataRecordset(sql);
        if (!result.empty()) return result;
    }
    z_->Quarn_InitFieldTypes(z_->DataRecordset(), static_cast<int16_t>(nG_ + 1), work_, types_, sizes_);
    const dao::FieldPtr& field = z_->DataRecordset()->Fields(nG_);
    compareCase_ =
        (field->Type() == dao::dbText || field->Type() == dao::dbMemo) && field->CollatingOrder() != dao::dbSortGeneral;
    return {};
}

// Reads the records of the current compare field once, unsorted, and counts
// them per group in memory: the rows of the grouped query without its sort of
// every record. False when the counts are better left to that query (see
// GroupAggregate); the data record set is then closed.
bool CNonParamChiSquare::CountInMemory(const std::string& keys, const std::string& filter) {
    std::string sql = "SELECT " + keys;
    if (fWeight_) sql += ", " + BracketName(work_.back());
    sql += " FROM " + BracketName(table_);
    if (!filter.empty()) sql += " WHERE " + filter;
    // A read that fails is left to the grouped query, whose error the run reports.
    if (!z_->OpenDataRecordset(sql + ";").empty()) return false;
    std::vector<GroupAggregate::Aggregate> aggregates{{GroupAggregate::Kind::kRows, -1}};
    if (fWeight_) aggregates.push_back({GroupAggregate::Kind::kSum, nG_ + 1});
    auto counts = std::make_unique<GroupAggregate>(z_->DataRecordset(), nG_ + 1, std::move(aggregates));
    if (!counts->ReadAll()) {
        z_->DataRecordset()->Close();
        return false;
    }
    if (fAll_) valueList_ = counts->Values(nG_);
    counts_ = std::move(counts);
    return true;
}

bool CNonParamChiSquare::AtEnd() const { return counts_ ? countRow_ >= counts_->Rows() : z_->DataRecordset()->Eof(); }

// Column i of the current summary row: the group fields, the compare field,
// the count and the weight sum.
vb::Variant CNonParamChiSquare::Cell(int i) const {
    return counts_ ? counts_->Value(countRow_, i) : z_->DataRecordset()->Fields(i)->Value();
}

void CNonParamChiSquare::Next() {
    if (counts_)
        ++countRow_;
    else
        z_->DataRecordset()->MoveNext();
}

std::string CNonParamChiSquare::DetailFieldTypes() {
    ProcScope scope(ErrStack(), "DetailFieldTypes");
    const int n = nG_ + nC_;
    try {
        std::string sql = "SELECT ";
        for (int i = 1; i <= n; ++i) {
            if (i > 1) sql += ", ";
            sql += BracketName(fields_->at(static_cast<size_t>(i)));
        }
        sql += " FROM " + BracketName(table_) + " WHERE 1 = 0;";
        dao::RecordsetPtr rs = z_->SourceDatabase()->OpenRecordset(sql, dao::dbOpenSnapshot);
        z_->Quarn_InitFieldTypes(rs, static_cast<int16_t>(n), *fields_, sourceTypes_, sourceSizes_);
        // A computed compare field (a query's IIF that reads a BLOB as Null)
        // has no declared type; beside number fields of one type it holds
        // numbers, and their common column is a Double, not a text.
        bool computed = false, numbers = true;
        int32_t declared = 0;
        for (int c = 1; c <= nC_; ++c) {
            const dao::FieldPtr& f = rs->Fields(nG_ + c - 1);
            const int32_t type = sourceTypes_.at(static_cast<size_t>(nG_ + c));
            numbers = numbers && dao::IsNumberType(type);
            if (f->SourceTable().empty()) {
                computed = true;
            } else if (declared == 0 || declared == type) {
                declared = type;
            } else {
                declared = -1;
            }
        }
        numbersInComputed_ = nC_ > 1 && computed && numbers && declared != -1;
        rs->Close();
    } catch (const vb::VbError& e) {
        if (e.Number() == dao::err::kTooFewParameters) return kParameterQuery;
        return e.Description();
    }
    return {};
}

std::string CNonParamChiSquare::CreateDetail(const std::string& DetailTableName) {
    ProcScope scope(ErrStack(), "CreateDetail");
    // A table that cannot be made ends the run with its reason.
    try {
        dao::TableDefPtr tdf = NewResultTable(*z_, DetailTableName);
        int16_t ordinal = 0;
        if (nC_ == 1) {
            ordinal = BuildOutputFields(tdf, static_cast<int16_t>(nG_ + 1), *fields_, sourceTypes_, sourceSizes_, false,
                                        0, 0, false, "", "");
        } else {
            int32_t size = 0;
            CommonFieldType(static_cast<int16_t>(nG_), static_cast<int16_t>(nC_), sourceTypes_, sourceSizes_,
                            commonType_, size);
            if (numbersInComputed_) commonType_ = dao::dbDouble, size = 0;
            ordinal = BuildOutputFields(tdf, static_cast<int16_t>(nG_), *fields_, sourceTypes_, sourceSizes_, false, 0,
                                        0, false, "", "");
            AddOutputField(tdf, "Compare_Field", dao::dbText, ordinal, 64);
            AddOutputField(tdf, "Compare_Value", static_cast<int16_t>(commonType_), ordinal, size);
        }
        for (const char* name : {"Observed", "Expected", "Difference", "Chi-Square", "Observed_Pcnt", "Expected_Pcnt",
                                 "Pcnt_Diff", "Cumulative", "Cumulative_Pcnt"}) {
            AddOutputField(tdf, name, dao::dbDouble, ordinal);
        }
        std::string result = z_->Quarn_CreateTable(tdf, false);
        if (!result.empty()) return result;
        detail_ = OpenResultTable(z_->OutputDatabase(), DetailTableName);
        // Held in the engine's second slot too, so a failed run closes it.
        z_->OutputRecordset2(detail_);
    } catch (const vb::VbError& e) {
        return e.Description();
    }
    return {};
}

std::string CNonParamChiSquare::CreateOutput(const std::string& OutTableName) {
    ProcScope scope(ErrStack(), "CreateOutput");
    dao::TableDefPtr tdf = NewResultTable(*z_, OutTableName);
    int16_t ordinal =
        BuildOutputFields(tdf, static_cast<int16_t>(nG_), work_, types_, sizes_, true, 0, 0, false, "Count", "");
    // Long: a compare field can hold more than 32767 values.
    AddOutputField(tdf, "Groups", dao::dbLong, ordinal);
    if (fAll_) AddOutputField(tdf, "MissingGroups", dao::dbLong, ordinal);
    for (const char* name : {"Expected", "Chi-Square", "DF", "Prob"}) AddOutputField(tdf, name, dao::dbDouble, ordinal);
    return z_->Quarn_CreateTable(tdf, true);
}

bool CNonParamChiSquare::SameCompareValue(const vb::Variant& a, const vb::Variant& b) const {
    if (a.IsNull() || b.IsNull()) return a.IsNull() && b.IsNull();
    const vb::CompareMethod method = compareCase_ && a.IsString() ? vb::vbBinaryCompare : vb::vbTextCompare;
    return vb::CompareVariants(a, b, method) == 0;
}

// Walks the summary rows group by group.
void CNonParamChiSquare::ReadRecords() {
    ProcScope scope(ErrStack(), "ReadRecords");
    const std::string progress = "Field [" + compare_ + "], analyzing record: ";
    const int observedColumn = fWeight_ ? nG_ + 2 : nG_ + 1;
    std::vector<vb::Variant> group(static_cast<size_t>(nG_) + 1), current(static_cast<size_t>(nG_) + 1);
    std::vector<ValueRow> rows;
    int32_t n = 0;
    while (!AtEnd()) {
        for (int g = 1; g <= nG_; ++g) current[static_cast<size_t>(g)] = Cell(g - 1);
        if (z_->Quarn_SameRecords_b(static_cast<int16_t>(nG_), !rows.empty(), group, current)) {
            FinishGroup(group, rows);
            z_->Quarn_Msg(n, true, progress + std::to_string(n));
            rows.clear();
            z_->Quarn_SameRecords_b(static_cast<int16_t>(nG_), false, group, current);
        }
        const vb::Variant observed = Cell(observedColumn);
        rows.push_back({Cell(nG_), observed.IsNull() ? 0.0 : observed.ToDouble()});
        ++n;
        z_->Quarn_Msg(n, false, progress + std::to_string(n));
        Next();
    }
    if (!rows.empty()) {
        FinishGroup(group, rows);
        z_->Quarn_Msg(n, true, progress + std::to_string(n));
    }
}

void CNonParamChiSquare::FinishGroup(const std::vector<vb::Variant>& group, const std::vector<ValueRow>& rows) {
    rows_ = static_cast<int32_t>(rows.size());
    ExactSum total;
    for (const ValueRow& row : rows) total.Add(row.observed);
    total_ = total.Value();
    // The mean of the observed weights: their exact sum over the values,
    // rounded once, so that three values observed 0.1 each expect 0.1.
    ExactSum values;
    values.Add(fAll_ ? static_cast<double>(valueList_.size()) : static_cast<double>(rows_));
    expected_ = values.Value() > 0 ? ExactQuotient(total, values) : 0;
    scale_ = std::isfinite(total_) && total_ > 0 && !(total_ >= 0x1p-400 && total_ <= 0x1p400) ? std::ilogb(total_) : 0;
    chi_ = 0;
    cumul_.Clear();
    detailKey_ = group;
    if (!fAll_) {
        for (const ValueRow& row : rows) CalcData(row);
    } else {
        // Every value of the list, in list order: those the group lacks are
        // observed 0 times.
        size_t s = 0;
        for (const ValueRow& row : rows) {
            size_t match = s;
            while (match < valueList_.size() && !SameCompareValue(valueList_[match], row.value)) ++match;
            if (match < valueList_.size()) {
                for (; s < match; ++s) CalcData({valueList_[s], 0});
                s = match + 1;
            }
            CalcData(row);
        }
        for (; s < valueList_.size(); ++s) CalcData({valueList_[s], 0});
    }
    WriteData(group);
}

// One value's share of the statistic, and its detail row.
void CNonParamChiSquare::CalcData(const ValueRow& row) {
    ProcScope scope(ErrStack(), "CalcData");
    if (expected_ > 0) chi_ += HeldTerm(row.observed);
    if (fDetail_) WriteDetail(row.value, row.observed);
}

// (o - E)^2 / E divided by 2^scale_.
double CNonParamChiSquare::HeldTerm(double observed) const {
    const double e = std::ldexp(expected_, -scale_);
    // At an ordinary scale the difference the detail writes, which keeps
    // the digits of a weight beyond its 15th.
    const double d =
        scale_ == 0 ? ReadValueLess(observed, expected_) : PreciseDifference(std::ldexp(observed, -scale_), e);
    return d * d / e;
}

void CNonParamChiSquare::WriteDetail(const vb::Variant& value, double observed) {
    ProcScope scope(ErrStack(), "WriteDetail");
    detail_->AddNew();
    if (nC_ == 1) {
        detailKey_.resize(static_cast<size_t>(nG_) + 2);
        detailKey_[static_cast<size_t>(nG_) + 1] = value;
        WriteGroupValues(detail_, static_cast<int16_t>(nG_ + 1), *fields_, detailKey_, 0, "", "", false, 0, 0, 0);
    } else {
        WriteGroupValues(detail_, static_cast<int16_t>(nG_), *fields_, detailKey_, 0, "", "", false, 0, 0, 0);
        detail_->Fields(std::string_view("Compare_Field"))->Value(compare_);
        if (!value.IsNull()) {
            const bool asText =
                compareType_ != commonType_ && !(dao::IsNumberType(compareType_) && dao::IsNumberType(commonType_));
            detail_->Fields(std::string_view("Compare_Value"))->Value(asText ? vb::Variant(value.ToString()) : value);
        }
    }
    const double e = expected_;
    const double t = total_;
    cumul_.Add(observed);
    detail_->Fields(std::string_view("Observed"))->Value(observed);
    detail_->Fields(std::string_view("Expected"))->Value(e);
    const double d = ReadValueLess(observed, e);
    detail_->Fields(std::string_view("Difference"))->Value(d);
    // A total of 0 leaves the shares undefined: those cells stay Null.
    if (e > 0) SetIfFinite(detail_, "Chi-Square", std::ldexp(HeldTerm(observed), scale_));
    if (t != 0) {
        SetIfFinite(detail_, "Observed_Pcnt", observed / t);
        SetIfFinite(detail_, "Expected_Pcnt", e / t);
        SetIfFinite(detail_, "Pcnt_Diff", (observed - e) / t);
    }
    detail_->Fields(std::string_view("Cumulative"))->Value(cumul_.Value());
    if (t != 0) SetIfFinite(detail_, "Cumulative_Pcnt", cumul_.Value() / t);
    detail_->Update();
}

void CNonParamChiSquare::WriteData(const std::vector<vb::Variant>& group) {
    ProcScope scope(ErrStack(), "WriteData");
    const dao::RecordsetPtr& out = z_->OutputRecordset();
    out->AddNew();
    WriteGroupValues(out, static_cast<int16_t>(nG_), work_, group, static_cast<int16_t>(nG_ + 1), "Count", "", false,
                     total_, 0, 0);
    const int32_t values = static_cast<int32_t>(valueList_.size());
    int32_t df = 0;
    if (fAll_) {
        out->Fields(std::string_view("MissingGroups"))->Value(values - rows_);
        df = values - 1;
    } else {
        df = rows_ - 1;
    }
    out->Fields(std::string_view("Groups"))->Value(df + 1);
    const double chi = std::ldexp(chi_, scale_);
    if (expected_ > 0) {
        out->Fields(std::string_view("Expected"))->Value(expected_);
        SetOrOverflow(out, "Chi-Square", chi, compare_);
    }
    out->Fields(std::string_view("DF"))->Value(static_cast<double>(df));
    if (df > 0 && expected_ > 0 && std::isfinite(chi)) {
        out->Fields(std::string_view("Prob"))->Value(prob_.Quarn_CalcProb("C", chi, df, 0));
    }
    out->Update();
}

}  // namespace

std::string Quarn_ChiSquare(const std::string& OutTableName, const std::string& DetailTableName,
                            const std::string& strUserTable, FieldNames& strFields, int16_t intGroupFields,
                            int16_t intCompareFields, int16_t intWeightField_b, bool fDetail, int16_t blanks_b,
                            bool fAll, RunContext& Zantels) {
    CNonParamChiSquare analysis;
    return analysis.Quarn_ChiSquare(OutTableName, DetailTableName, strUserTable, strFields, intGroupFields,
                                    intCompareFields, intWeightField_b, fDetail, blanks_b, fAll, Zantels);
}
