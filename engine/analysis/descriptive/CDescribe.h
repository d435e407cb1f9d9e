// Descriptive statistics of every analysed field, group by group, in one
// pass over the sorted source: counts, means, spread, moments, confidence
// bands, a t-test, percentiles, the mode and frequency buckets.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "analysis/descriptive/DescriptiveMath.h"
#include "analysis/descriptive/DistributionShape.h"
#include "analysis/descriptive/RecordBatches.h"
#include "analysis/descriptive/StagedSort.h"
#include "numeric/CZValue.h"
#include "numeric/Numerics.h"
#include "numeric/WeightedMoments.h"
#include "vb/Variant.h"

class GroupWalker;
class RunContext;

class CDescribe {
public:
    // Percentile points of one field of the current group into
    // dblPcntiles[0..intPcntGroups] (sized by the call). values: the
    // field's valid values with their weights, sorted ascending.
    // dblTotalRecs: their sum of weights (their number when unweighted).
    static void Quarn_CalcPcntiles(const std::vector<StagedValue>& values, bool fWeightField, int16_t intPcntGroups,
                                   double dblTotalRecs, std::vector<double>& dblPcntiles);

    std::string Quarn_Describe(const std::string& OutTableName, const std::string& strUserTable,
                               std::vector<std::string>& strFields, int16_t intGroupFields, int16_t intNumFields,
                               bool fWeightField, int16_t intRange_b, const std::string& Var_a, int16_t intSum_b,
                               int16_t intCalcMeans_b, int16_t intCalcSkew_b, int16_t intCalcMode_b,
                               const std::string& strPcntiles, const std::string& strConInt, int16_t int95_b,
                               int16_t intCIUser, std::vector<double>& dblPopDev, int16_t tTest_b,
                               std::vector<double>& dblPopMean, const std::string& strFreqOptions,
                               int16_t intFreqIntervals, double dblFreqFirst, double dblFreqWidth, RunContext& Zantels);

private:
    // Running sums of one analysed field over the current group: the raw
    // sums the "Sum" columns show, and the moments about the mean behind
    // every other statistic.
    struct FieldSums {
        int32_t count = 0;
        double minimum = 0;
        double maximum = 0;
        ExactSum sumWX2{};         // sum w x^2, with the Sum columns or the means
        WeightedMoments moments;   // with sum w x (SumOfProducts), for the Sum columns
        PositiveMeans positive{};  // geometric and harmonic means
        bool nonPositive = false;  // a valid value <= 0 was met
    };

    // What a group gathers, kept until its rows are written.
    struct GroupData {
        std::vector<vb::Variant> group;  // the group's values
        int32_t records = 0;             // its records, skipped ones included
        std::vector<FieldSums> sums;
        std::vector<std::vector<ExactSum>> buckets;   // [field][bin 0..n+1]
        std::vector<std::vector<StagedValue>> stage;  // [field] valid values, for percentiles and the mode
    };

    // The statistics of one field of a group that its sums give, each where
    // the options ask for it; an empty optional is a Null column.
    struct FieldStatistics {
        double n = 0;             // the sum of weights
        bool overflowed = false;  // a sum behind the mean or moments is beyond a Double
        double mean = 0;
        double range = 0;
        std::optional<WeightedMoments::Deviation> deviation;
        double sum = 0;
        double adjSumSquared = 0;  // M2 = sum w (x - mean)^2
        std::optional<double> geometricMean, harmonicMean;
        double rms = 0;
        std::optional<DistributionShape> shape;
        double standardError = 0;  // of the mean (N-1), for the t bands
        std::optional<double> t;   // of the mean against the population mean
    };

    std::string CreateOutput(const std::vector<int32_t>& types, const std::vector<int32_t>& sizes);
    std::string FrequencyColumns(const std::function<void(const std::string&)>& add);
    void FindNormalFactors();
    // Walks the source's groups, summing each and writing its rows.
    void ReadRecords();
    void InitData();
    void CalcData(double w);
    void TakeRecord(const double* r);
    void EndGroup(const std::vector<vb::Variant>& group, int32_t groupRecords);
    void WriteData(const GroupData& g);
    FieldStatistics Statistics(int16_t k, const FieldSums& f) const;
    static double RootMeanSquare(const FieldSums& f);
    // The shape, the standard error of the mean and its t, from the sample
    // (N-1) deviation.
    void SampleTests(int16_t k, const FieldSums& f, const WeightedMoments::Deviation& sample, FieldStatistics& s) const;
    void WriteField(int16_t k, const GroupData& g, const ModeResult& mode, std::vector<double>& pcnt);
    // Steps of WriteField, each writing its columns through `set`: the
    // percentiles of the staged values, the confidence bands and t test of
    // the mean, and the frequency columns.
    using ColumnSetter = std::function<void(std::string_view column, double value)>;
    void WritePercentiles(const std::vector<StagedValue>& stage, double n, std::vector<double>& pcnt,
                          const ColumnSetter& set) const;
    void WriteMeanTests(int16_t k, const FieldStatistics& s, const ColumnSetter& set);
    void WriteFrequencies(const std::vector<ExactSum>& buckets, double n, const ColumnSetter& set) const;
    bool ConIntColumns() const;
    double TValue(double dblProb, double df);

    RunContext* zantels_ = nullptr;
    GroupWalker* walk_ = nullptr;
    RecordBatches* batches_ = nullptr;
    CZValue zValue_;
    // The t values of the bands found so far in this run, by two-tailed
    // probability and degrees of freedom: the search costs far more than a
    // small group's statistics, and groups of equal size share one.
    std::map<std::pair<double, double>, double> tValues_;

    // Arguments of the call.
    std::string outTable_;
    std::vector<std::string>* fields_ = nullptr;
    int16_t nG_ = 0, nX_ = 0;
    bool weighted_ = false;
    bool range_ = false, sums_ = false, means_ = false, skew_ = false, mode_ = false;
    std::string varA_, pcntiles_, conInt_;
    bool ci95_ = false;
    int16_t ciUser_ = 0;
    std::vector<double>* popDev_ = nullptr;
    bool tTest_ = false;
    std::vector<double>* popMean_ = nullptr;
    std::string freqOptions_;
    int16_t freqN_ = 0;
    double freqFirst_ = 0, freqWidth_ = 0;

    // Decoded options.
    bool pcntFlag_ = false;
    bool stageFlag_ = false;
    int16_t pcntGroups_ = 0;
    double factor95_ = 0, factorUser_ = 0;
    bool freqOn_ = false, freqCountCols_ = false, freqPropCols_ = false;
    bool freqCounting_ = false, freqCumulative_ = false, freqLower_ = false, freqOpenEnds_ = false;
    bool freqDefault_ = false;  // default intervals, which span the data
    IntervalBounds freqBounds_;
    std::vector<std::string> freqCountNames_, freqPropNames_;

    // The group being read, and a finished one whose values are being
    // sorted while the next is read (its rows go out before that one's).
    StagedGroups<GroupData> staged_;
};
