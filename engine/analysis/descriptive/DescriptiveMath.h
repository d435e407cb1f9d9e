// The arithmetic of the descriptive analyses that does not touch a database:
// percentile points and the mode of a group's values, the frequency interval
// a value falls into and the names of the describe frequency columns.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "numeric/IntervalBounds.h"
#include "numeric/Numerics.h"
#include "numeric/WeightedMoments.h"

// One valid value of a field and the weight of its record.
struct StagedValue {
    double x;
    double w;
};

// Sorts ascending by value (equal values keep no particular order).
void SortByValue(std::vector<StagedValue>& values);

// Number of groups of a percentile letter, compared without regard to case:
// "M" 2, "Q" 4, "5" 5, "D" 10, "P" 100; anything else (an empty text too) 0.
int16_t PercentileGroups(const std::string& strPcntiles);

// Percentile points of values sorted ascending, written to out[0..G]:
// out[0] the smallest value, out[G] the largest, out[k] the point k/G.
// Weighted: the first value whose cumulative weight reaches k/G of
// dblTotal, without interpolation. Unweighted: position (N - 1)k/G + 1 among
// the values (N = dblTotal, the number of values), interpolated linearly
// between neighbours. With no values, out is left unchanged.
void PercentilePoints(const std::vector<StagedValue>& sorted, bool fWeighted, int16_t G, double dblTotal,
                      std::vector<double>& out);

// The most frequent value by weighted count among values sorted ascending.
// unique is false when another value has the same weighted count; count is
// 0 for no values.
struct ModeResult {
    double value = 0;
    double count = 0;
    bool unique = false;
};
ModeResult ModeOf(const std::vector<StagedValue>& sorted);

// The interval of x among the bounds, 0 below the first interval, 1..n the
// intervals, n + 1 beyond the last (IntervalBounds::Bin: with fLowerInclusive
// interval k holds bound k-1 <= x < bound k, otherwise bound k-1 < x <=
// bound k). fClosedEnds (default intervals, which span the data) counts a
// value beyond either end in the end interval: only the largest Doubles,
// beyond which no bound lies, get there.
int32_t FrequencyBin(double x, const IntervalBounds& bounds, bool fLowerInclusive, bool fClosedEnds);
// The same for one value among n intervals of dblWidth from dblFirst: given
// ones, or with fDefault default ones (their end intervals closed). A width
// of 0 raises error 11 (division by zero).
int32_t FrequencyBin(double x, double dblFirst, double dblWidth, bool fLowerInclusive, int16_t n,
                     bool fDefault = false);

// The refusal of given intervals whose bounds are not all numbers, or whose
// bounds are the same number, with the change of intervals that mends it.
std::string IntervalsRefusal(const IntervalBounds& bounds, double dblFirst, double dblWidth);

// The describe frequency column names: count names ("N") and proportion
// names ("%"), each n + 2 long: [0] the below-first bucket, [1..n] the
// intervals, [n + 1] the beyond-last bucket, named by the bounds of
// IntervalBounds (fDefault: default intervals). False when two bounds are the
// same number (a width below the resolution of the values), which leaves
// intervals without a name of their own.
bool FrequencyColumnNames(int16_t n, double dblFirst, double dblWidth, bool fLowerInclusive,
                          std::vector<std::string>& countNames, std::vector<std::string>& proportionNames,
                          bool fDefault = false);

// The values of the describe frequency columns from a group's n + 2 buckets,
// laid out as the names above: each bucket's sum or, with fCumulative, the
// running sum over the intervals, which with fOpenEnds starts with the
// below-first bucket and ends with the beyond-last one.
std::vector<double> FrequencyValues(const std::vector<ExactSum>& buckets, bool fCumulative, bool fOpenEnds);

// The weighted geometric and harmonic means of positive values, from the
// sums of w ln x and of w / x. Each x = m 2^e is taken as its exponent e,
// counted from the first value's, and ln m (m in [1/2, 1)), summed apart:
// the mean then meets exp only as a number below 1, where exp of a plain log
// sum near 709 (values near the largest Double) or -690 (the smallest) loses
// some 1e-13 of the result. The weights, and the sums with them, are held
// divided by a power of two where they lie far from 1 (HeldWeights), so that
// subnormal weights keep their digits in every product.
class PositiveMeans {
public:
    void Add(double x, double w);
    // exp(sum w ln x / W).
    double GeometricMean() const;
    // W / sum w / x; empty where that sum is 0.
    std::optional<double> HarmonicMean() const;

private:
    bool started_ = false;
    int base_ = 0;
    HeldWeights weights_;
    ExactSum exponents_;   // sum w (e - base)
    ExactSum logs_;        // sum w ln m
    double inverses_ = 0;  // sum w / x
};
