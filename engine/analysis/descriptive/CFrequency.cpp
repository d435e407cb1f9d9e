// Frequency distribution: for every group and analysed field, the weighted
// count of values in each of a row of equal-width intervals, with running
// totals and shares, and optionally the weighted sums of the values.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "AnalysisPhases.h"
#include "ErrorStack.h"
#include "GroupWalker.h"
#include "RunContext.h"
#include "StatsGeneral.h"
#include "analysis/AnalysisEntries.h"
#include "analysis/descriptive/DescriptiveMath.h"
#include "numeric/Numerics.h"
#include "vb/Conversions.h"

namespace {

class CFrequency {
public:
    std::string Quarn_Frequency(const std::string& OutTableName, const std::string& strUserTable, FieldNames& strFields,
                                int16_t intGroupFields, int16_t intNumFields, int16_t intWeightField_b,
                                const std::string& strFreqOptions, int16_t intFreqIntervals, double dblFreqFirst,
                                double dblFreqWidth, RunContext& Zantels);

private:
    std::string CreateOutput(const std::string& table, const std::vector<int32_t>& types,
                             const std::vector<int32_t>& sizes, const std::string& options);
    void InitData();
    void CalcData(double w);
    void WriteData(const GroupValues& group);

    RunContext* zantels_ = nullptr;
    GroupWalker* walk_ = nullptr;
    FieldNames* fields_ = nullptr;
    int16_t nG_ = 0, nX_ = 0;
    bool weighted_ = false;
    int16_t n_ = 0;
    double first_ = 0, width_ = 0;
    IntervalBounds bounds_;  // placed against, and written
    // Options.
    bool sumOption_ = false, lowerInclusive_ = false, specified_ = false;
    std::string lowColumn_, highColumn_;
    // Per field i (1..nX) of the current group; bins 0..n+1. Weighted counts
    // and sums are compensated, so that weights such as 0.1 add up exactly.
    std::vector<ExactSum> sumW_, sumWX_;
    std::vector<std::vector<ExactSum>> binW_, binWX_;
};

std::string CFrequency::Quarn_Frequency(const std::string& OutTableName, const std::string& strUserTable,
                                        FieldNames& strFields, int16_t intGroupFields, int16_t intNumFields,
                                        int16_t intWeightField_b, const std::string& strFreqOptions,
                                        int16_t intFreqIntervals, double dblFreqFirst, double dblFreqWidth,
                                        RunContext& Zantels) {
    ProcScope scope(ErrStack(), "Quarn_Frequency");
    zantels_ = &Zantels;
    fields_ = &strFields;
    nG_ = intGroupFields;
    nX_ = intNumFields;
    weighted_ = intWeightField_b != 0;
    n_ = intFreqIntervals < 0 ? int16_t(0) : intFreqIntervals;
    first_ = dblFreqFirst;
    width_ = dblFreqWidth;

    std::vector<int32_t> types, sizes;
    return RunAnalysisPhases(
        Zantels,
        {.openSource =
             [&] { return Zantels.Quarn_InitDataTable(strUserTable, strFields, intGroupFields, types, sizes); },
         .createOutput = [&] { return CreateOutput(OutTableName, types, sizes, strFreqOptions); },
         .readRecords =
             [&] {
                 const size_t fields = static_cast<size_t>(nX_) + 1;
                 const std::vector<ExactSum> bins(static_cast<size_t>(n_) + 2);
                 sumW_.assign(fields, {});
                 sumWX_.assign(fields, {});
                 binW_.assign(fields, bins);
                 binWX_.assign(fields, bins);
                 GroupWalker walk(Zantels, strFields, nG_, weighted_, static_cast<int16_t>(nG_ + nX_ + 1));
                 walk_ = &walk;
                 walk.Walk({.record = [this](double w) { CalcData(w); },
                            .groupEnd = [this](const GroupValues& g, int32_t) { WriteData(g); },
                            .groupStart = [this] { InitData(); }});
                 walk_ = nullptr;
             }});
}

std::string CFrequency::CreateOutput(const std::string& table, const std::vector<int32_t>& types,
                                     const std::vector<int32_t>& sizes, const std::string& options) {
    ProcScope scope(ErrStack(), "CreateOutput");
    sumOption_ = OptionLetterIs(options, 0, 'S');
    lowerInclusive_ = OptionLetterIs(options, 1, 'Y');
    specified_ = OptionLetterIs(options, 2, 'Y');
    lowColumn_ = lowerInclusive_ ? "Low<=Range" : "Low<Range";
    highColumn_ = lowerInclusive_ ? "Range<High" : "Range<=High";

    RunContext& z = *zantels_;
    if (std::string err = z.ResolveFrequencyDefaults(first_, width_); !err.empty()) return err;
    // Every row writes its interval's bounds: intervals that reach beyond
    // the largest number, or whose bounds are the same number, are refused
    // before any is written.
    bounds_ = IntervalBounds(n_, first_, width_, !specified_);
    if (!bounds_.Distinct()) return IntervalsRefusal(bounds_, first_, width_);
    dao::TableDefPtr tdf = NewResultTable(z, table);
    int16_t ord = BuildOutputFields(tdf, nG_, *fields_, types, sizes, true, 0, 0, false, "", "");
    AddOutputField(tdf, "Interval", dao::dbInteger, ord);
    for (const std::string& c : {lowColumn_, highColumn_, std::string("Count"), std::string("Cumulative"),
                                 std::string("Count%"), std::string("Cumulative%")})
        AddOutputField(tdf, c, dao::dbDouble, ord);
    if (sumOption_) {
        for (const char* c : {"Sum", "CumulativeSum", "Sum%", "CumulativeSum%"})
            AddOutputField(tdf, c, dao::dbDouble, ord);
    }
    return z.Quarn_CreateTable(tdf, true);
}

void CFrequency::InitData() {
    for (int16_t i = 1; i <= nX_; ++i) {
        const size_t f = static_cast<size_t>(i);
        sumW_[f].Clear();
        sumWX_[f].Clear();
        std::fill(binW_[f].begin(), binW_[f].end(), ExactSum());
        std::fill(binWX_[f].begin(), binWX_[f].end(), ExactSum());
    }
}

void CFrequency::CalcData(double w) {
    if (w <= 0) return;
    for (int16_t i = 1; i <= nX_; ++i) {
        double x = 0;
        if (!walk_->PresentValue(static_cast<int16_t>(nG_ + i), x)) continue;
        const size_t f = static_cast<size_t>(i);
        sumW_[f].Add(w);
        const size_t k = static_cast<size_t>(FrequencyBin(x, bounds_, lowerInclusive_, !specified_));
        binW_[f][k].Add(w);
        // The sums of the values are shown only with the sum option.
        if (sumOption_) {
            sumWX_[f].AddProduct(w, x);
            binWX_[f][k].AddProduct(w, x);
        }
    }
}

void CFrequency::WriteData(const GroupValues& group) {
    ProcScope scope(ErrStack(), "WriteData");
    const dao::RecordsetPtr& rs = zantels_->OutputRecordset();
    // Specified intervals report the open-ended bins too; default intervals
    // only the n intervals (values outside them still count in the shares).
    const int32_t firstBin = specified_ ? 0 : 1;
    const int32_t lastBin = specified_ ? n_ + 1 : n_;
    for (int16_t i = 1; i <= nX_; ++i) {
        const size_t f = static_cast<size_t>(i);
        const std::string& field = (*fields_)[static_cast<size_t>(nG_ + i)];
        auto set = [&](std::string_view column, double value) { SetOrOverflow(rs, column, value, field); };
        const double total = sumW_[f].Value();
        const double totalX = sumWX_[f].Value();
        if (!(total > 0)) continue;
        ExactSum cum, cumSum;
        for (int32_t k = firstBin; k <= lastBin; ++k) {
            const size_t b = static_cast<size_t>(k);
            const double count = binW_[f][b].Value();
            const double sum = binWX_[f][b].Value();
            cum.Add(binW_[f][b]);
            rs->AddNew();
            WriteGroupValues(rs, nG_, *fields_, group, static_cast<int16_t>(nG_ + i), "", "", false, 0, 0, 0);
            if (k >= 1 && k <= n_) {
                set(lowColumn_, bounds_[k - 1]);
                set(highColumn_, bounds_[k]);
            } else if (k == 0) {
                set(highColumn_, bounds_[0]);
            } else {
                set(lowColumn_, bounds_[n_]);
            }
            rs->Fields(std::string_view("Interval"))->Value(static_cast<int16_t>(k - firstBin + 1));
            set("Count", count);
            set("Cumulative", cum.Value());
            set("Count%", count / total);
            set("Cumulative%", cum.Value() / total);
            if (sumOption_) {
                cumSum.Add(binWX_[f][b]);
                set("Sum", sum);
                set("CumulativeSum", cumSum.Value());
                if (totalX != 0) {
                    set("Sum%", sum / totalX);
                    set("CumulativeSum%", cumSum.Value() / totalX);
                }
            }
            rs->Update();
        }
    }
}

}  // namespace

std::string Quarn_Frequency(const std::string& OutTableName, const std::string& strUserTable, FieldNames& strFields,
                            int16_t intGroupFields, int16_t intNumFields, int16_t intWeightField_b,
                            const std::string& strFreqOptions, int16_t intFreqIntervals, double dblFreqFirst,
                            double dblFreqWidth, RunContext& Zantels) {
    CFrequency frequency;
    return frequency.Quarn_Frequency(OutTableName, strUserTable, strFields, intGroupFields, intNumFields,
                                     intWeightField_b, strFreqOptions, intFreqIntervals, dblFreqFirst, dblFreqWidth,
                                     Zantels);
}
