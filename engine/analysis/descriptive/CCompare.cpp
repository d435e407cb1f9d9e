// Field comparison: within each group, one Y field against each X field, pair
// by pair: order counts, means, the spread of the difference, covariance,
// correlation and a paired t test. Every sum carries the row's weight.
#include <cmath>
#include <vector>

#include "ErrorStack.h"
#include "GroupWalker.h"
#include "Merivox6/Quantara.h"
#include "StatsGeneral.h"
#include "analysis/AnalysisEntries.h"
#include "numeric/CZValue.h"
#include "numeric/Numerics.h"
#include "vb/Conversions.h"

namespace {

struct ComparePairSums {
    int32_t n = 0;
    double W = 0, Sx = 0, Sxx = 0, Sy = 0, Syy = 0, Sxy = 0;
};

struct CompareOrderCounts {
    double below = 0, equal = 0, above = 0;
};

class CCompare {
public:
    std::string Quarn_Compare(const std::string& OutTableName, FieldNames& strFields, int16_t intGroupFields,
                              int16_t intNumFields, bool fWeightField, const std::string& strOptions,
                              const std::string& strUserTable, Quantara& Zantels);

private:
    void CalcData(double w);
    std::string CreateOutput(const std::string& OutTableName);
    void InitData();
    void ReadRecords();
    void WriteData(const GroupValues& group, int32_t lngRecords);

    Quantara* z_ = nullptr;
    FieldNames* fields_ = nullptr;
    int16_t g_ = 0, n_ = 0;
    bool weighted_ = false;
    bool counts_ = false, means_ = false, corr_ = false, ttest_ = false;
    std::string countName_;
    std::vector<int32_t> types_, sizes_;
    std::vector<ComparePairSums> sums_;
    std::vector<CompareOrderCounts> order_;
    const GroupValues* group_ = nullptr;
    dao::RecordsetPtr data_, out_;
    CZValue prob_;
};

bool OptionOn(const std::string& options, size_t k) {
    return options.size() > k && vb::FoldChar(options[k]) == 'Y';
}

std::string CCompare::Quarn_Compare(const std::string& OutTableName, FieldNames& strFields, int16_t intGroupFields,
                                    int16_t intNumFields, bool fWeightField, const std::string& strOptions,
                                    const std::string& strUserTable, Quantara& Zantels) {
    ProcScope scope(ErrStack(), "Quarn_Compare");
    z_ = &Zantels;
    fields_ = &strFields;
    g_ = intGroupFields;
    n_ = intNumFields;
    weighted_ = fWeightField;
    counts_ = OptionOn(strOptions, 0);
    means_ = OptionOn(strOptions, 1);
    corr_ = OptionOn(strOptions, 2);
    ttest_ = OptionOn(strOptions, 3);

    z_->Quarn_Msg(0, true, "Retrieving and sorting data");
    // The database cannot drop a table while the data query is being read, so
    // an old result table of the same name goes before the data are opened.
    z_->Quarn_DeleteTable(false, OutTableName);
    std::string result = z_->Quarn_InitDataTable(strUserTable, strFields, g_, types_, sizes_);
    if (!result.empty()) return result;
    data_ = z_->DataRecordset();

    z_->Quarn_Msg(0, true, "Creating output table");
    result = CreateOutput(OutTableName);
    if (result.empty()) {
        z_->Quarn_Msg(0, true, "Analyzing records");
        z_->BeginTrans();
        ReadRecords();
        z_->CommitTrans();
        out_->Close();
    }
    data_->Close();
    return result;
}

std::string CCompare::CreateOutput(const std::string& OutTableName) {
    ProcScope scope(ErrStack(), "CreateOutput");
    dao::TableDefPtr tdf = z_->get_OutputDatabase()->CreateTableDef(OutTableName);
    const std::string& y = fields_->at(static_cast<size_t>(g_ + n_ + 1));
    countName_ = vb::Left("Count_of_" + y, 64);
    int16_t ordinal =
        BuildOutputFields(tdf, g_, *fields_, types_, sizes_, true, 0, 0, weighted_, countName_, "Missing");
    auto add = [&](std::initializer_list<const char*> names) {
        for (const char* name : names) AddOutputField(tdf, name, dao::dbDouble, ordinal);
    };
    if (counts_) add({"Count<Y", "Count=Y", "Count>Y"});
    if (means_) add({"MeanX", "MeanY", "MeanDiff", "StdDevDiff"});
    if (corr_) add({"Covariance", "Correlation", "R-Square"});
    if (ttest_) add({"T-DF", "Paired_t-Value", "Prob_(1-tail)", "Prob_(2-tail)"});
    std::string result = z_->Quarn_CreateTable(tdf, true);
    if (result.empty()) out_ = z_->OutputRecordset();
    return result;
}

void CCompare::InitData() {
    sums_.assign(static_cast<size_t>(n_) + 1, ComparePairSums{});
    order_.assign(static_cast<size_t>(n_) + 1, CompareOrderCounts{});
}

void CCompare::ReadRecords() {
    ProcScope scope(ErrStack(), "ReadRecords");
    InitData();
    GroupWalker walk(*z_, *fields_, g_, weighted_, static_cast<int16_t>(g_ + n_ + 2));
    walk.Walk({.record = [&](double w) { CalcData(w); },
               .groupEnd = [&](const GroupValues& group, int32_t records) { WriteData(group, records); },
               .groupStart = [&] { InitData(); }});
}

void CCompare::CalcData(double w) {
    if (w <= 0) return;
    const vb::Variant yv = data_->Fields(g_ + n_)->Value();
    if (yv.IsNull()) return;
    const double y = yv.ToDouble();
    if (!z_->Quarn_DataOk_b(y, false)) return;
    for (int16_t k = 1; k <= n_; ++k) {
        const vb::Variant xv = data_->Fields(g_ + k - 1)->Value();
        if (xv.IsNull()) continue;
        const double x = xv.ToDouble();
        if (!z_->Quarn_DataOk_b(x, false)) continue;
        ComparePairSums& s = sums_[static_cast<size_t>(k)];
        s.n += 1;
        s.W += w;
        s.Sx += x * w;
        s.Sxx += x * x * w;
        s.Sy += y * w;
        s.Syy += y * y * w;
        s.Sxy += y * x * w;
        CompareOrderCounts& o = order_[static_cast<size_t>(k)];
        if (x < y) {
            o.below += w;
        } else if (x == y) {
            o.equal += w;
        } else {
            o.above += w;
        }
    }
}

// Writes a number only when it is finite; anything else stays Null.
void SetNumber(const dao::RecordsetPtr& rs, const char* column, double value) {
    if (std::isfinite(value)) rs->Fields(std::string_view(column))->Value(value);
}

void CCompare::WriteData(const GroupValues& group, int32_t lngRecords) {
    ProcScope scope(ErrStack(), "WriteData");
    group_ = &group;
    for (int16_t k = 1; k <= n_; ++k) {
        const ComparePairSums& s = sums_[static_cast<size_t>(k)];
        const CompareOrderCounts& o = order_[static_cast<size_t>(k)];
        out_->AddNew();
        WriteGroupValues(out_, g_, *fields_, *group_, static_cast<int16_t>(g_ + k), countName_, "Missing", weighted_,
                         s.W, lngRecords, s.n);
        const double W = s.W;
        const double A = PreciseDifference(W * s.Sxx, s.Sx * s.Sx);
        const double B = PreciseDifference(W * s.Syy, s.Sy * s.Sy);
        const double C = PreciseDifference(W * s.Sxy, s.Sx * s.Sy);
        if (W > 0) {
            const double md = PreciseDifference(s.Sx, s.Sy) / W;
            if (counts_) {
                SetNumber(out_, "Count<Y", o.below);
                SetNumber(out_, "Count=Y", o.equal);
                SetNumber(out_, "Count>Y", o.above);
            }
            if (means_) {
                SetNumber(out_, "MeanX", s.Sx / W);
                SetNumber(out_, "MeanY", s.Sy / W);
                SetNumber(out_, "MeanDiff", md);
            }
            if (W > 1) {
                double D = PreciseDifference(B, 2 * C) + A;
                if (D < 0) D = 0;
                const double V = D == 0 ? 0 : D / (W * (W - 1));
                if (means_ && V > 0) SetNumber(out_, "StdDevDiff", std::sqrt(V));
                if (corr_) {
                    SetNumber(out_, "Covariance", C / (W * (W - 1)));
                    if (A * B > 0) {
                        const double r = C == 0 ? 0 : C / std::sqrt(A * B);
                        SetNumber(out_, "Correlation", r);
                        SetNumber(out_, "R-Square", r * r);
                    }
                }
                if (ttest_) {
                    SetNumber(out_, "T-DF", W - 1);
                    if (V > 0) {
                        const double t = md / std::sqrt(V / W);
                        const double p = prob_.Quarn_CalcProb("T", t, W - 1, 0);
                        SetNumber(out_, "Paired_t-Value", t);
                        SetNumber(out_, "Prob_(1-Tail)", p / 2);
                        SetNumber(out_, "Prob_(2-Tail)", p);
                    }
                }
            }
        }
        out_->Update();
    }
}

}  // namespace

std::string Quarn_Compare(const std::string& OutTableName, const std::string& strUserTable, FieldNames& strFields,
                          int16_t intGroupFields, int16_t intNumFields, bool fWeightField,
                          const std::string& strOptions, Quantara& Zantels) {
    CCompare analysis;
    return analysis.Quarn_Compare(OutTableName, strFields, intGroupFields, intNumFields, fWeightField, strOptions,
                                  strUserTable, Zantels);
}
