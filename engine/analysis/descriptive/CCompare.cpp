// Field comparison: within each group, one Y field against each X field, pair
// by pair: order counts, means, the spread of the difference, covariance,
// correlation and a paired t test. Every sum carries the row's weight.
#include <cmath>
#include <vector>

#include "AnalysisPhases.h"
#include "ErrorStack.h"
#include "GroupWalker.h"
#include "RunContext.h"
#include "StatsGeneral.h"
#include "analysis/PairedSums.h"
#include "analysis/AnalysisEntries.h"
#include "numeric/CZValue.h"
#include "numeric/WeightedMoments.h"
#include "vb/Conversions.h"

namespace {

class CCompare {
public:
    std::string Quarn_Compare(const std::string& OutTableName, FieldNames& strFields, int16_t intGroupFields,
                              int16_t intNumFields, bool fWeightField, const std::string& strOptions,
                              const std::string& strUserTable, RunContext& Zantels);

private:
    void CalcData(const GroupWalker& walk, double w);
    std::string CreateOutput(const std::string& OutTableName);
    void InitData();
    void ReadRecords();
    void WriteData(const GroupValues& group, int32_t lngRecords);

    RunContext* z_ = nullptr;
    FieldNames* fields_ = nullptr;
    int16_t g_ = 0, n_ = 0;
    bool weighted_ = false;
    bool counts_ = false, means_ = false, corr_ = false, ttest_ = false;
    std::string countName_;
    std::vector<int32_t> types_, sizes_;
    std::vector<PairedSums> sums_;
    const GroupValues* group_ = nullptr;
    dao::RecordsetPtr data_, out_;
    CZValue prob_;
};

std::string CCompare::Quarn_Compare(const std::string& OutTableName, FieldNames& strFields, int16_t intGroupFields,
                                    int16_t intNumFields, bool fWeightField, const std::string& strOptions,
                                    const std::string& strUserTable, RunContext& Zantels) {
    ProcScope scope(ErrStack(), "Quarn_Compare");
    z_ = &Zantels;
    fields_ = &strFields;
    g_ = intGroupFields;
    n_ = intNumFields;
    weighted_ = fWeightField;
    counts_ = OptionLetterIs(strOptions, 0, 'Y');
    means_ = OptionLetterIs(strOptions, 1, 'Y');
    corr_ = OptionLetterIs(strOptions, 2, 'Y');
    ttest_ = OptionLetterIs(strOptions, 3, 'Y');

    return RunAnalysisPhases(
        Zantels,
        {.openSource = [&] { return Zantels.Quarn_InitDataTable(strUserTable, strFields, g_, types_, sizes_); },
         .createOutput = [&] { return CreateOutput(OutTableName); },
         .readRecords = [&] { ReadRecords(); }});
}

std::string CCompare::CreateOutput(const std::string& OutTableName) {
    ProcScope scope(ErrStack(), "CreateOutput");
    dao::TableDefPtr tdf = NewResultTable(*z_, OutTableName);
    const std::string& y = fields_->at(static_cast<size_t>(g_ + n_ + 1));
    countName_ = vb::LeftChars("Count_of_" + y, 64);
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

void CCompare::InitData() { sums_.assign(static_cast<size_t>(n_) + 1, PairedSums{}); }

void CCompare::ReadRecords() {
    ProcScope scope(ErrStack(), "ReadRecords");
    data_ = z_->DataRecordset();
    InitData();
    GroupWalker walk(*z_, *fields_, g_, weighted_, static_cast<int16_t>(g_ + n_ + 2));
    walk.Walk({.record = [&](double w) { CalcData(walk, w); },
               .groupEnd = [&](const GroupValues& group, int32_t records) { WriteData(group, records); },
               .groupStart = [&] { InitData(); }});
}

void CCompare::CalcData(const GroupWalker& walk, double w) {
    if (w <= 0) return;
    double y = 0;
    if (!walk.PresentValue(static_cast<int16_t>(g_ + n_ + 1), y)) return;
    const DecimalValue yValue = SplitDecimal(y);
    for (int16_t k = 1; k <= n_; ++k) {
        double x = 0;
        if (!walk.PresentValue(static_cast<int16_t>(g_ + k), x)) continue;
        sums_[static_cast<size_t>(k)].Add(x, yValue, w);
    }
}

void CCompare::WriteData(const GroupValues& group, int32_t lngRecords) {
    ProcScope scope(ErrStack(), "WriteData");
    group_ = &group;
    for (int16_t k = 1; k <= n_; ++k) {
        const PairedSums& s = sums_[static_cast<size_t>(k)];
        const WeightedCoMoments& m = s.moments;
        const double W = s.Weight();
        out_->AddNew();
        WriteGroupValues(out_, g_, *fields_, *group_, static_cast<int16_t>(g_ + k), countName_, "Missing", weighted_, W,
                         lngRecords, s.Count());
        if (W > 0) {
            // Values near the largest Double: a statistic a Double cannot
            // hold is named, as Describe names its own.
            const std::string& field = fields_->at(static_cast<size_t>(g_ + k));
            auto set = [&](std::string_view column, double value) { SetOrOverflow(out_, column, value, field); };
            if (counts_) {
                SetIfFinite(out_, "Count<Y", s.below.Value());
                SetIfFinite(out_, "Count=Y", s.equal.Value());
                SetIfFinite(out_, "Count>Y", s.above.Value());
            }
            if (means_) {
                set("MeanX", m.MeanX());
                set("MeanY", m.MeanY());
                set("MeanDiff", m.MeanDifference());
            }
            if (W > 1) {
                // The spread of the differences x - y, accumulated as such.
                const double sdd = m.DifferenceDeviation();
                if (means_ && sdd > 0) set("StdDevDiff", sdd);
                if (corr_) {
                    set("Covariance", m.Covariance());
                    if (const auto r = m.Correlation()) {
                        SetIfFinite(out_, "Correlation", *r);
                        SetIfFinite(out_, "R-Square", *r * *r);
                    }
                }
                if (ttest_) {
                    SetIfFinite(out_, "T-DF", W - 1);
                    if (const auto paired = m.PairedT()) {
                        const double t = *paired;
                        const double p = prob_.Quarn_CalcProb("T", t, W - 1, 0);
                        SetIfFinite(out_, "Paired_t-Value", t);
                        SetIfFinite(out_, "Prob_(1-Tail)", p / 2);
                        SetIfFinite(out_, "Prob_(2-Tail)", p);
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
                          const std::string& strOptions, RunContext& Zantels) {
    CCompare analysis;
    return analysis.Quarn_Compare(OutTableName, strFields, intGroupFields, intNumFields, fWeightField, strOptions,
                                  strUserTable, Zantels);
}
