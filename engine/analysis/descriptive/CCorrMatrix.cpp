// Correlation matrix: within each group, every pair of the analysed fields
// over the records where both values are valid (pairwise), one row per
// chosen measure and field, one column per field.
#include <algorithm>
#include <cmath>
#include <optional>
#include <vector>

#include "AnalysisPhases.h"
#include "ErrorStack.h"
#include "GroupWalker.h"
#include "RunContext.h"
#include "StatsGeneral.h"
#include "analysis/AnalysisEntries.h"
#include "analysis/descriptive/MatrixMeasures.h"
#include "numeric/CZValue.h"
#include "numeric/WeightedMoments.h"
#include "vb/Conversions.h"

namespace {

class CCorrMatrix {
public:
    std::string Quarn_Matrix(const std::string& OutTableName, const std::string& strUserTable, FieldNames& strFields,
                             int16_t intGroupFields, int16_t intNumFields, int16_t intWeightField_b,
                             const std::string& strTTestTail, const std::string& strOptions, RunContext& Zantels);

private:
    void CalcData(const GroupWalker& walk, double w);
    std::string CreateOutput(const std::string& OutTableName);
    void InitData();
    void ReadRecords();
    void WriteData(const GroupValues& group, int32_t lngRecords);
    void WriteMeasureRow(MatrixMeasure measure, const std::string& label, int r, int32_t lngRecords);

    // Square matrices of order n, one-based in both indices.
    size_t At(int r, int c) const {
        return static_cast<size_t>(r) * static_cast<size_t>(n_ + 1) + static_cast<size_t>(c);
    }

    RunContext* z_ = nullptr;
    FieldNames* fields_ = nullptr;
    int16_t g_ = 0, n_ = 0;
    bool weighted_ = false;
    bool oneTail_ = false;
    std::string options_;
    std::string probLabel_;
    std::vector<int32_t> types_, sizes_;
    // The moments of every pair of fields over the records valid for both,
    // at (i, j) with i <= j: x the field i, y the field j; on the diagonal a
    // field paired with itself.
    std::vector<WeightedCoMoments> pairs_;
    std::vector<DecimalValue> x_;
    std::vector<char> ok_;
    const GroupValues* group_ = nullptr;
    dao::RecordsetPtr data_, out_;
    CZValue prob_;
};

// The CalcType of each measure's rows, in MatrixMeasure order (the
// probability's label names its tails).
const char* const kLabels[] = {"Count",       "Missing",  "MeanDiff", "StdDevDiff", "Covariance",
                               "Correlation", "R-Square", "t-Value",  nullptr};

std::string CCorrMatrix::Quarn_Matrix(const std::string& OutTableName, const std::string& strUserTable,
                                      FieldNames& strFields, int16_t intGroupFields, int16_t intNumFields,
                                      int16_t intWeightField_b, const std::string& strTTestTail,
                                      const std::string& strOptions, RunContext& Zantels) {
    ProcScope scope(ErrStack(), "Quarn_Matrix");
    z_ = &Zantels;
    fields_ = &strFields;
    g_ = intGroupFields;
    n_ = intNumFields;
    weighted_ = intWeightField_b != 0;
    oneTail_ = strTTestTail == "1";
    options_ = strOptions;
    probLabel_ = "Prob (" + strTTestTail + "-tail)";

    return RunAnalysisPhases(
        Zantels,
        {.openSource = [&] { return Zantels.Quarn_InitDataTable(strUserTable, strFields, g_, types_, sizes_); },
         .createOutput = [&] { return CreateOutput(OutTableName); },
         .readRecords = [&] { ReadRecords(); }});
}

std::string CCorrMatrix::CreateOutput(const std::string& OutTableName) {
    ProcScope scope(ErrStack(), "CreateOutput");
    dao::TableDefPtr tdf = NewResultTable(*z_, OutTableName);
    int16_t ordinal = BuildOutputFields(tdf, g_, *fields_, types_, sizes_, true, 0, 0, false, "", "");
    AddOutputField(tdf, "CalcType", dao::dbText, ordinal, 13);
    for (int16_t i = 1; i <= n_; ++i) {
        AddOutputField(tdf, fields_->at(static_cast<size_t>(g_ + i)), dao::dbDouble, ordinal);
    }
    std::string result = z_->Quarn_CreateTable(tdf, true);
    if (result.empty()) out_ = z_->OutputRecordset();
    return result;
}

void CCorrMatrix::InitData() {
    const size_t cells = static_cast<size_t>(n_ + 1) * static_cast<size_t>(n_ + 1);
    pairs_.assign(cells, WeightedCoMoments(false));  // the matrix writes no means
}

void CCorrMatrix::ReadRecords() {
    ProcScope scope(ErrStack(), "ReadRecords");
    data_ = z_->DataRecordset();
    x_.assign(static_cast<size_t>(n_) + 1, DecimalValue());
    ok_.assign(static_cast<size_t>(n_) + 1, 0);
    InitData();
    GroupWalker walk(*z_, *fields_, g_, weighted_, static_cast<int16_t>(g_ + n_ + 1));
    walk.Walk({.record = [&](double w) { CalcData(walk, w); },
               .groupEnd = [&](const GroupValues& group, int32_t records) { WriteData(group, records); },
               .groupStart = [&] { InitData(); }});
}

void CCorrMatrix::CalcData(const GroupWalker& walk, double w) {
    if (w <= 0) return;
    // Each field's value is read and tested once per record.
    for (int i = 1; i <= n_; ++i) {
        ok_[static_cast<size_t>(i)] = 0;
        double x = 0;
        if (!walk.PresentValue(static_cast<int16_t>(g_ + i), x)) continue;
        x_[static_cast<size_t>(i)] = SplitDecimal(x);
        ok_[static_cast<size_t>(i)] = 1;
    }
    for (int i = 1; i <= n_; ++i) {
        if (!ok_[static_cast<size_t>(i)]) continue;
        for (int j = i; j <= n_; ++j) {
            if (ok_[static_cast<size_t>(j)])
                pairs_[At(i, j)].Add(x_[static_cast<size_t>(i)], x_[static_cast<size_t>(j)], w);
        }
    }
}

void CCorrMatrix::WriteData(const GroupValues& group, int32_t lngRecords) {
    ProcScope scope(ErrStack(), "WriteData");
    group_ = &group;
    for (int k = 1; k <= 9; ++k) {
        if (!OptionLetterIs(options_, static_cast<size_t>(k - 1), 'Y')) continue;
        const auto measure = static_cast<MatrixMeasure>(k);
        const std::string label = measure == MatrixMeasure::Prob ? probLabel_ : kLabels[k - 1];
        for (int r = 1; r <= n_; ++r) WriteMeasureRow(measure, label, r, lngRecords);
    }
}

// The row of one measure for field r: one column per field.
void CCorrMatrix::WriteMeasureRow(MatrixMeasure measure, const std::string& label, int r, int32_t lngRecords) {
    out_->AddNew();
    WriteGroupValues(out_, g_, *fields_, *group_, static_cast<int16_t>(g_ + r), "", "", false, 0, 0, 0);
    out_->Fields(std::string_view("CalcType"))->Value(label);
    for (int c = 1; c <= n_; ++c) {
        // The pair's moments hold the lower-numbered field as x.
        const WeightedCoMoments& p = pairs_[At(std::min(r, c), std::max(r, c))];
        const int rowSide = r == c ? 0 : (r < c ? 1 : -1);
        const std::optional<double> value = PairMeasure(measure, p, rowSide, lngRecords, oneTail_, prob_);
        if (!value) continue;
        const std::string& column = fields_->at(static_cast<size_t>(g_ + c));
        // Values near the largest Double: a measure a Double cannot hold is
        // named, with both fields of its pair, as Describe names its own (a
        // t beyond it is left empty, as there).
        if (std::isinf(*value) && measure != MatrixMeasure::TValue)
            throw ResultOverflow(fields_->at(static_cast<size_t>(g_ + r)),
                                 r == c ? label : label + " with [" + column + "]");
        SetIfFinite(out_, column, *value);
    }
    out_->Update();
}

}  // namespace

std::string Quarn_Matrix(const std::string& OutTableName, const std::string& strUserTable, FieldNames& strFields,
                         int16_t intGroupFields, int16_t intNumFields, int16_t intWeightField_b,
                         const std::string& strTTestTail, const std::string& strOptions, RunContext& Zantels) {
    CCorrMatrix analysis;
    return analysis.Quarn_Matrix(OutTableName, strUserTable, strFields, intGroupFields, intNumFields, intWeightField_b,
                                 strTTestTail, strOptions, Zantels);
}
