#include "analysis/descriptive/CDescribe.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <utility>

#include "AnalysisPhases.h"
#include "ErrorStack.h"
#include "GroupWalker.h"
#include "RunContext.h"
#include "StatsGeneral.h"
#include "analysis/AnalysisEntries.h"
#include "numeric/Numerics.h"
#include "vb/Conversions.h"

void CDescribe::Quarn_CalcPcntiles(const std::vector<StagedValue>& values, bool fWeightField, int16_t intPcntGroups,
                                   double dblTotalRecs, std::vector<double>& dblPcntiles) {
    ProcScope scope(ErrStack(), "Quarn_CalcPcntiles");
    if (dblPcntiles.size() < static_cast<size_t>(intPcntGroups) + 1)
        dblPcntiles.resize(static_cast<size_t>(intPcntGroups) + 1, 0);
    PercentilePoints(values, fWeightField, intPcntGroups, dblTotalRecs, dblPcntiles);
}

namespace {

// The option of field k from a list of the call, 0 where the list ends
// before it.
double ValueAt(const std::vector<double>* v, int16_t k) {
    return v && static_cast<size_t>(k) < v->size() ? (*v)[static_cast<size_t>(k)] : 0.0;
}

}  // namespace

bool CDescribe::ConIntColumns() const {
    // The band columns come with an interval letter that occurs in "tN"
    // (an empty letter occurs in every text).
    if (conInt_.empty()) return true;
    return vb::InStr(1, "tN", conInt_, vb::vbTextCompare) > 0;
}

// The t value whose two-tailed probability is dblProb, found to the full
// precision of the search once per distinct pair of probability and degrees
// of freedom in the run.
double CDescribe::TValue(double dblProb, double df) {
    const auto key = std::make_pair(dblProb, df);
    if (const auto found = tValues_.find(key); found != tValues_.end()) return found->second;
    const double t = zValue_.Quarn_FindValue("T", dblProb, df, 0, true);
    tValues_.emplace(key, t);
    return t;
}

std::string CDescribe::Quarn_Describe(const std::string& OutTableName, const std::string& strUserTable,
                                      std::vector<std::string>& strFields, int16_t intGroupFields, int16_t intNumFields,
                                      bool fWeightField, int16_t intRange_b, const std::string& Var_a, int16_t intSum_b,
                                      int16_t intCalcMeans_b, int16_t intCalcSkew_b, int16_t intCalcMode_b,
                                      const std::string& strPcntiles, const std::string& strConInt, int16_t int95_b,
                                      int16_t intCIUser, std::vector<double>& dblPopDev, int16_t tTest_b,
                                      std::vector<double>& dblPopMean, const std::string& strFreqOptions,
                                      int16_t intFreqIntervals, double dblFreqFirst, double dblFreqWidth,
                                      RunContext& Zantels) {
    ProcScope scope(ErrStack(), "Quarn_Describe");
    zantels_ = &Zantels;
    outTable_ = OutTableName;
    fields_ = &strFields;
    nG_ = intGroupFields;
    nX_ = intNumFields;
    weighted_ = fWeightField;
    range_ = intRange_b != 0;
    varA_ = Var_a;
    sums_ = intSum_b != 0;
    means_ = intCalcMeans_b != 0;
    skew_ = intCalcSkew_b != 0;
    mode_ = intCalcMode_b != 0;
    pcntiles_ = strPcntiles;
    conInt_ = strConInt;
    ci95_ = int95_b != 0;
    ciUser_ = intCIUser;
    popDev_ = &dblPopDev;
    tTest_ = tTest_b != 0;
    popMean_ = &dblPopMean;
    freqOptions_ = strFreqOptions;
    freqN_ = intFreqIntervals < 0 ? int16_t(0) : intFreqIntervals;
    freqFirst_ = dblFreqFirst;
    freqWidth_ = dblFreqWidth;

    pcntGroups_ = PercentileGroups(strPcntiles);
    pcntFlag_ = pcntGroups_ > 0;
    stageFlag_ = pcntFlag_ || mode_;

    std::vector<int32_t> types, sizes;
    // The values that percentiles and the mode need are held per group in
    // memory, so the whole record loop with its result rows is one
    // transaction.
    return RunAnalysisPhases(
        Zantels,
        {.openSource =
             [&] { return Zantels.Quarn_InitDataTable(strUserTable, strFields, intGroupFields, types, sizes); },
         .createOutput =
             [&] {
                 std::string err = CreateOutput(types, sizes);
                 if (err.empty()) FindNormalFactors();
                 return err;
             },
         .readRecords = [this] { ReadRecords(); }});
}

// The normal factors of the confidence bands where they are asked for by
// the normal distribution.
void CDescribe::FindNormalFactors() {
    if (!vb::EqualsNoCase(conInt_, "N")) return;
    if (ci95_) factor95_ = zValue_.Quarn_FindValue("Z", 0.95, 0, 0, true);
    if (ciUser_ > 0) factorUser_ = zValue_.Quarn_FindValue("Z", ciUser_ / 100.0, 0, 0, true);
}

void CDescribe::ReadRecords() {
    tValues_.clear();
    InitData();
    GroupWalker walk(*zantels_, *fields_, nG_, weighted_, static_cast<int16_t>(nG_ + nX_ + 1));
    walk_ = &walk;
    // Read here, added up in a helper thread: its last use of the group's
    // sums ends with this scope.
    RecordBatches batches(static_cast<size_t>(nX_) + 1, [this](const double* r) { TakeRecord(r); });
    batches_ = &batches;
    walk.Walk({.record = [this](double w) { CalcData(w); },
               .groupEnd = [this](const GroupValues& g, int32_t n) { EndGroup(g, n); },
               .groupStart = [this] { InitData(); }});
    staged_.Flush([this](const GroupData& g) { WriteData(g); });
    batches_ = nullptr;
    walk_ = nullptr;
}

std::string CDescribe::CreateOutput(const std::vector<int32_t>& types, const std::vector<int32_t>& sizes) {
    ProcScope scope(ErrStack(), "CreateOutput");
    RunContext& z = *zantels_;
    dao::TableDefPtr tdf = NewResultTable(z, outTable_);
    int16_t ord = BuildOutputFields(tdf, nG_, *fields_, types, sizes, true, 0, 0, weighted_, "Count", "Missing");
    auto add = [&](const std::string& name) { AddOutputField(tdf, name, dao::dbDouble, ord); };
    add("Mean");
    if (range_) {
        for (const char* c : {"Minimum", "Maximum", "Range"}) add(c);
    }
    if (!varA_.empty()) {
        for (const char* c : {"Variance", "CoeffOfVariance", "StdDeviation", "StdError"}) add(c);
    }
    if (sums_) {
        for (const char* c : {"Sum", "SumSquared", "AdjSumSquared"}) add(c);
    }
    if (means_) {
        for (const char* c : {"GeometricMean", "HarmonicMean", "RMS"}) add(c);
    }
    if (skew_) {
        for (const char* c : {"Skewness", "SE_Skewness", "Kurtosis", "SE_Kurtosis"}) add(c);
    }
    if (mode_) {
        add("Mode");
        add("ModeCount");
    }
    if (vb::EqualsNoCase(conInt_, "N")) add("Population_StdDev");
    if (ConIntColumns()) {
        if (ci95_) {
            add("95%_" + conInt_ + "_Band");
            add("95%_Lower");
            add("95%_Upper");
        }
        if (ciUser_ > 0) {
            const std::string level = std::to_string(ciUser_);
            add(level + "%_" + conInt_ + "_Band");
            add(level + "%_Lower");
            add(level + "%_Upper");
        }
    }
    if (tTest_) {
        for (const char* c : {"Population_Mean", "t-Value", "Prob_(1-Tail)", "Prob_(2-Tail)"}) add(c);
    }
    if (pcntGroups_ == 2) {
        add("Median");
    } else if (pcntGroups_ == 4) {
        for (const char* c : {"25_Percentile", "50_Percentile", "75_Percentile", "Quartile_Range"}) add(c);
    } else if (pcntGroups_ > 0) {
        const int step = 100 / pcntGroups_;
        for (int i = 1; i < pcntGroups_; ++i) add(std::to_string(i * step) + "_Percentile");
    }

    if (std::string err = FrequencyColumns(add); !err.empty()) return err;
    return z.Quarn_CreateTable(tdf, true);
}

// Reads the frequency options and adds their columns through add; a
// refusal of the intervals where they cannot be named.
std::string CDescribe::FrequencyColumns(const std::function<void(const std::string&)>& add) {
    // Frequency options by position: what to show, what a value adds,
    // cumulative, which bound an interval includes, open-ended buckets.
    const std::string& o = freqOptions_;
    freqCountCols_ = OptionLetterIs(o, 0, 'N') || OptionLetterIs(o, 0, 'B');
    freqPropCols_ = OptionLetterIs(o, 0, 'P') || OptionLetterIs(o, 0, 'B');
    freqOn_ = freqCountCols_ || freqPropCols_;
    freqCounting_ = OptionLetterIs(o, 1, 'C');
    freqCumulative_ = OptionLetterIs(o, 2, 'Y');
    freqLower_ = OptionLetterIs(o, 3, 'Y');
    freqOpenEnds_ = OptionLetterIs(o, 4, 'Y');
    if (freqOn_) {
        freqDefault_ = zantels_->FrequencyDefaultsDeferred();
        if (std::string err = zantels_->ResolveFrequencyDefaults(freqFirst_, freqWidth_); !err.empty()) return err;
        freqBounds_ = IntervalBounds(freqN_, freqFirst_, freqWidth_, freqDefault_);
        if (!FrequencyColumnNames(freqN_, freqFirst_, freqWidth_, freqLower_, freqCountNames_, freqPropNames_,
                                  freqDefault_))
            return IntervalsRefusal(freqBounds_, freqFirst_, freqWidth_);
        const size_t last = static_cast<size_t>(freqN_) + 1;
        for (const auto* names : {&freqCountNames_, &freqPropNames_}) {
            if ((names == &freqCountNames_ && !freqCountCols_) || (names == &freqPropNames_ && !freqPropCols_))
                continue;
            for (size_t i = 0; i <= last; ++i) {
                if ((i == 0 || i == last) && !freqOpenEnds_) continue;
                add((*names)[i]);
            }
        }
    }
    return {};
}

void CDescribe::InitData() {
    const size_t fields = static_cast<size_t>(nX_) + 1;
    GroupData& g = staged_.current;
    g.sums.assign(fields, FieldSums{.moments = WeightedMoments(skew_)});
    g.buckets.resize(fields);
    for (auto& bins : g.buckets) bins.assign(static_cast<size_t>(freqN_) + 2, ExactSum());
    g.stage.resize(fields);
    for (auto& values : g.stage) values.clear();
    if (stageFlag_) StagedSort::Prepare(g.stage);
}

// A record's weight and valid values (NaN for none: a stored number is
// never NaN), for TakeRecord.
void CDescribe::CalcData(double w) {
    if (w <= 0) return;
    double* r = batches_->Next();
    r[0] = w;
    for (int16_t k = 1; k <= nX_; ++k) {
        double x = 0;
        r[k] = walk_->PresentValue(static_cast<int16_t>(nG_ + k), x) ? x : std::numeric_limits<double>::quiet_NaN();
    }
}

void CDescribe::TakeRecord(const double* r) {
    const double w = r[0];
    GroupData& g = staged_.current;
    for (int16_t k = 1; k <= nX_; ++k) {
        const double x = r[k];
        if (std::isnan(x)) continue;
        FieldSums& f = g.sums[static_cast<size_t>(k)];
        if (f.count == 0) {
            f.minimum = x;
            f.maximum = x;
        }
        ++f.count;
        if (x < f.minimum) f.minimum = x;
        if (x > f.maximum) f.maximum = x;
        if (sums_ || means_) {
            // x^2 as two Doubles that hold it exactly, each times w added exactly.
            const double square = x * x;
            f.sumWX2.AddProduct(w, square);
            if (std::isfinite(square)) {
                const double error = std::fma(x, x, -square);
                if (error != 0) f.sumWX2.AddProduct(w, error);
            }
        }
        f.moments.Add(x, w);
        if (means_) {
            if (x > 0) {
                f.positive.Add(x, w);
            } else {
                f.nonPositive = true;
            }
        }
        if (freqOn_) {
            const int32_t bin = FrequencyBin(x, freqBounds_, freqLower_, freqDefault_);
            ExactSum& bucket = g.buckets[static_cast<size_t>(k)][static_cast<size_t>(bin)];
            if (freqCounting_) {
                bucket.Add(w);
            } else {
                bucket.AddProduct(w, x);
            }
        }
        if (stageFlag_) g.stage[static_cast<size_t>(k)].push_back({x, w});
    }
}

void CDescribe::EndGroup(const std::vector<vb::Variant>& group, int32_t groupRecords) {
    batches_->Finish();
    staged_.current.group = group;
    staged_.current.records = groupRecords;
    staged_.End(stageFlag_, [this](const GroupData& g) { WriteData(g); });
}

void CDescribe::WriteData(const GroupData& g) {
    ProcScope scope(ErrStack(), "WriteData");
    const dao::RecordsetPtr& rs = zantels_->OutputRecordset();
    std::vector<double> pcnt(static_cast<size_t>(pcntGroups_) + 1, 0.0);
    for (int16_t k = 1; k <= nX_; ++k) {
        const FieldSums& f = g.sums[static_cast<size_t>(k)];
        ModeResult mode;
        if (mode_) mode = ModeOf(g.stage[static_cast<size_t>(k)]);
        rs->AddNew();
        WriteGroupValues(rs, nG_, *fields_, g.group, static_cast<int16_t>(nG_ + k), "Count", "Missing", weighted_,
                         f.moments.Weight(), g.records, f.count);
        if (f.moments.Weight() > 0) WriteField(k, g, mode, pcnt);
        rs->Update();
    }
}

CDescribe::FieldStatistics CDescribe::Statistics(int16_t k, const FieldSums& f) const {
    FieldStatistics s;
    const double n = s.n = f.moments.Weight();
    const double mean = s.mean = f.moments.Mean();
    // Values near the largest Double overflow their sums: a statistic that
    // cannot be held is named rather than left empty.
    s.overflowed = !std::isfinite(mean) || !std::isfinite(f.moments.HeldM2()) ||
                   (skew_ && !std::isfinite(f.moments.HeldM3() + f.moments.HeldM4()));

    if (range_) s.range = ValueDifference(f.maximum, f.minimum);
    // The sample (N-1) variance and deviation, behind the variance columns,
    // the shape, the t bands and the t-test.
    const WeightedMoments::Deviation sample = f.moments.Deviations("N-1");
    if (!varA_.empty() && (n > 1 || vb::EqualsNoCase(varA_, "N")))
        s.deviation = vb::EqualsNoCase(varA_, "N-1") ? sample : f.moments.Deviations("N");
    if (sums_) {
        // A sum that overflowed on the way to a value a Double holds is the mean times the weight.
        const double sum = f.moments.SumOfProducts();
        s.sum = std::isfinite(sum) ? sum : mean * n;
        s.adjSumSquared = f.moments.M2();
    }
    if (means_) {
        // Both means are undefined once any valid value is zero or negative.
        if (!f.nonPositive) {
            s.geometricMean = f.positive.GeometricMean();
            s.harmonicMean = f.positive.HarmonicMean();
        }
        s.rms = RootMeanSquare(f);
    }
    SampleTests(k, f, sample, s);
    return s;
}

double CDescribe::RootMeanSquare(const FieldSums& f) {
    const WeightedMoments& m = f.moments;
    // A sum of squares beyond a Double, or one too small to hold the
    // squares' digits: the mean square is the squared mean plus the
    // population variance, both scaled by the largest magnitude. 2^-969
    // is 2^53 times the smallest normal Double: a sum that large has a
    // last digit of 2^-1021 or coarser, beside which the at most 2^-1075
    // that each subnormal term has lost cannot add up to half a digit.
    const double sumWX2 = f.sumWX2.Value();
    if (std::isfinite(sumWX2) && (sumWX2 >= 0x1p-969 || (f.minimum == 0 && f.maximum == 0)))
        return sumWX2 > 0 ? std::sqrt(sumWX2 / m.Weight()) : 0.0;
    const int r = std::ilogb(std::max(std::fabs(f.minimum), std::fabs(f.maximum))) + 1;
    const double scaledMean = std::ldexp(m.Mean(), -r);
    const double variance = std::ldexp(m.HeldM2() / m.HeldWeight(), 2 * (m.ScaleExponent() - r));
    return std::ldexp(std::sqrt(scaledMean * scaledMean + variance), r);
}

void CDescribe::SampleTests(int16_t k, const FieldSums& f, const WeightedMoments::Deviation& sample,
                            FieldStatistics& s) const {
    // The central sums held divided by 2^e to the power of the moment and by
    // 2^we, as is the sum of weights (W, with unit a weight of 1): they hold
    // what values and weights far from 1 would overflow or lose, and give
    // every statistic whose own value a Double holds.
    const WeightedMoments& m = f.moments;
    const double n = s.n;
    const int e = m.ScaleExponent();
    const int we = m.WeightExponent();
    const double W = m.HeldWeight();
    const double heldS2 = sample.heldVariance;
    const double heldS = sample.heldDeviation;
    // Adjusted Fisher-Pearson skewness and excess kurtosis (G1, G2) from the
    // central moments; both are free of the scales.
    if (skew_ && n > 2 && f.minimum != f.maximum && heldS > 0)
        s.shape = ShapeFromCentred(W, m.HeldM3(), m.HeldM4(), heldS2, heldS, m.Unit());
    // The square root of W takes half of the (even) weights' exponent.
    if (vb::EqualsNoCase(conInt_, "t") && n > 1)
        s.standardError = heldS2 > 0 ? std::ldexp(std::sqrt(heldS2 / W), e - we / 2) : 0.0;
    if (tTest_ && m.HeldM2() > 0 && n > 1 && heldS > 0) {
        const double t = std::ldexp(m.ScaledMeanLess(ValueAt(popMean_, k)) * std::sqrt(W) / heldS, we / 2);
        if (std::isfinite(t)) s.t = t;
    }
}

void CDescribe::WriteField(int16_t k, const GroupData& g, const ModeResult& mode, std::vector<double>& pcnt) {
    const dao::RecordsetPtr& rs = zantels_->OutputRecordset();
    const FieldSums& f = g.sums[static_cast<size_t>(k)];
    const FieldStatistics s = Statistics(k, f);
    const double n = s.n;
    const std::string& field = (*fields_)[static_cast<size_t>(nG_ + k)];
    const ColumnSetter set = [&](std::string_view column, double value) {
        SetOrOverflow(rs, column, value, field, s.overflowed);
    };

    set("Mean", s.mean);
    if (range_) {
        set("Minimum", f.minimum);
        set("Maximum", f.maximum);
        set("Range", s.range);
    }
    if (s.deviation) {
        set("Variance", s.deviation->variance);
        if (s.deviation->coeffOfVariance) set("CoeffOfVariance", *s.deviation->coeffOfVariance);
        set("StdDeviation", s.deviation->stdDeviation);
        set("StdError", s.deviation->stdError);
    }
    if (sums_) {
        set("Sum", s.sum);
        set("SumSquared", f.sumWX2.Value());
        set("AdjSumSquared", s.adjSumSquared);
    }
    if (means_) {
        if (s.geometricMean) set("GeometricMean", *s.geometricMean);
        if (s.harmonicMean) set("HarmonicMean", *s.harmonicMean);
        set("RMS", s.rms);
    }
    if (s.shape) {
        set("Skewness", s.shape->skewness);
        set("SE_Skewness", s.shape->seSkewness);
        if (s.shape->kurtosis) set("Kurtosis", *s.shape->kurtosis);
        if (s.shape->seKurtosis) set("SE_Kurtosis", *s.shape->seKurtosis);
    }
    if (mode_) {
        if (mode.count > 0) set("ModeCount", mode.count);
        if (mode.unique) set("Mode", mode.value);
    }
    if (pcntFlag_ && n > 1) WritePercentiles(g.stage[static_cast<size_t>(k)], n, pcnt, set);
    WriteMeanTests(k, s, set);
    if (freqOn_) WriteFrequencies(g.buckets[static_cast<size_t>(k)], n, set);
}

void CDescribe::WritePercentiles(const std::vector<StagedValue>& stage, double n, std::vector<double>& pcnt,
                                 const ColumnSetter& set) const {
    Quarn_CalcPcntiles(stage, weighted_, pcntGroups_, n, pcnt);
    if (pcntGroups_ == 2) {
        set("Median", pcnt[1]);
    } else if (pcntGroups_ == 4) {
        set("25_Percentile", pcnt[1]);
        set("50_Percentile", pcnt[2]);
        set("75_Percentile", pcnt[3]);
        set("Quartile_Range", ValueDifference(pcnt[3], pcnt[1]));
    } else {
        const int step = 100 / pcntGroups_;
        for (int i = 1; i < pcntGroups_; ++i)
            set(std::to_string(i * step) + "_Percentile", pcnt[static_cast<size_t>(i)]);
    }
}

void CDescribe::WriteMeanTests(int16_t k, const FieldStatistics& s, const ColumnSetter& set) {
    const double n = s.n;
    auto bands = [&](const std::string& prefix, const std::string& letter, double band) {
        set(prefix + letter + "_Band", band);
        set(prefix + "Lower", PreciseDifference(s.mean, band));
        set(prefix + "Upper", band + s.mean);
    };
    const std::string level = std::to_string(ciUser_) + "%_";
    if (vb::EqualsNoCase(conInt_, "N")) {
        const double popDev = ValueAt(popDev_, k);
        set("Population_StdDev", popDev);
        if (ci95_) bands("95%_", "N", popDev * factor95_ / std::sqrt(n));
        if (ciUser_ > 0) bands(level, "N", popDev * factorUser_ / std::sqrt(n));
    } else if (vb::EqualsNoCase(conInt_, "t") && n > 1) {
        if (ci95_) bands("95%_", "t", TValue(0.05, n - 1) * s.standardError);
        if (ciUser_ > 0) bands(level, "t", TValue(1 - ciUser_ / 100.0, n - 1) * s.standardError);
    }
    if (s.t) {
        const double p = zValue_.Quarn_CalcProb("T", *s.t, n - 1, 0);
        set("Population_Mean", ValueAt(popMean_, k));
        set("t-Value", *s.t);
        set("Prob_(1-Tail)", p / 2);
        set("Prob_(2-Tail)", p);
    }
}

void CDescribe::WriteFrequencies(const std::vector<ExactSum>& buckets, double n, const ColumnSetter& set) const {
    const std::vector<double> b = FrequencyValues(buckets, freqCumulative_, freqOpenEnds_);
    const size_t last = static_cast<size_t>(freqN_) + 1;
    for (size_t i = 0; i <= last; ++i) {
        if ((i == 0 || i == last) && !freqOpenEnds_) continue;
        if (freqCountCols_) set(freqCountNames_[i], b[i]);
        if (freqPropCols_) set(freqPropNames_[i], b[i] / n);
    }
}

std::string Quarn_Describe(const std::string& OutTableName, const std::string& strUserTable, FieldNames& strFields,
                           int16_t intGroupFields, int16_t intNumFields, bool fWeightField, int16_t intRange_b,
                           const std::string& Var_a, int16_t intSum_b, int16_t intCalcMeans_b, int16_t intCalcSkew_b,
                           int16_t intCalcMode_b, const std::string& strPcntiles, const std::string& strConInt,
                           int16_t int95_b, int16_t intCIUser, std::vector<double>& dblPopDev, int16_t tTest_b,
                           std::vector<double>& dblPopMean, const std::string& strFreqOptions, int16_t intFreqIntervals,
                           double dblFreqFirst, double dblFreqWidth, RunContext& Zantels) {
    CDescribe describe;
    return describe.Quarn_Describe(OutTableName, strUserTable, strFields, intGroupFields, intNumFields, fWeightField,
                                   intRange_b, Var_a, intSum_b, intCalcMeans_b, intCalcSkew_b, intCalcMode_b,
                                   strPcntiles, strConInt, int95_b, intCIUser, dblPopDev, tTest_b, dblPopMean,
                                   strFreqOptions, intFreqIntervals, dblFreqFirst, dblFreqWidth, Zantels);
}
