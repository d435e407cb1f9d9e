// Shared numeric routines, checked against hand-worked values.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "numeric/Numerics.h"

TEST(PreciseDifference, RemovesBinaryNoiseAtFifteenDigits) {
    // In Double, 0.3 - (0.1 + 0.2) is -5.55e-17 and 1.1 - 1 is 0.10000000000000009.
    EXPECT_EQ(PreciseDifference(0.3, 0.1 + 0.2), 0.0);
    EXPECT_EQ(PreciseDifference(1.1, 1.0), 0.1);
    EXPECT_EQ(PreciseDifference(123456789.123, 123456789.0), 0.123);
    EXPECT_EQ(PreciseDifference(-2.5, 0.25), -2.75);
    // Operands keep 15 significant digits: 1/3 becomes 0.333333333333333.
    EXPECT_EQ(PreciseDifference(1.0 / 3.0, 0.0), 0.333333333333333);
}

TEST(PreciseDifference, FallsBackToDoubleFromOneE27) {
    EXPECT_EQ(PreciseDifference(1e28, 1), 1e28);
    EXPECT_EQ(PreciseDifference(1e27, 1), 1e27 - 1);
    EXPECT_EQ(PreciseDifference(5, -1e30), 5 + 1e30);
}

TEST(PreciseDifference, KeepsAllDigitsOfTinyValues) {
    // The decimal type's last place is 1e-28: tiny operands are subtracted in
    // Double rather than rounded away.
    EXPECT_EQ(PreciseDifference(1e-30, 0), 1e-30);
    EXPECT_DOUBLE_EQ(PreciseDifference(3.123456789012345e-20, 1e-20), 2.123456789012345e-20);
    // From 1e-14 up all 15 digits fit: 3e-14 - (1e-14 + 2e-14) is exactly 0.
    EXPECT_EQ(PreciseDifference(3e-14, 1e-14 + 2e-14), 0.0);
}

TEST(PreciseSum, AddsInDecimalOrDouble) {
    EXPECT_EQ(PreciseSum({0.1, 0.2, -0.3}), 0.0);
    EXPECT_EQ(PreciseSum({1e30, 1, -1e30}), 0.0);  // Double: the 1 is lost
    EXPECT_EQ(PreciseSum({}), 0.0);
}

TEST(VarianceFromSums, PopulationAndSampleForms) {
    // 2, 4, 4, 4, 5, 5, 7, 9: n 8, sum 40, sum of squares 232.
    // Population variance 232/8 - 5^2 = 4; sample variance (8*232 - 1600)/56 = 256/56.
    double variance = -1;
    EXPECT_DOUBLE_EQ(VarianceFromSums("N", 8, 232, 40, variance), 2.0);
    EXPECT_DOUBLE_EQ(variance, 4.0);
    EXPECT_DOUBLE_EQ(VarianceFromSums("N-1", 8, 232, 40, variance), std::sqrt(256.0 / 56.0));
    EXPECT_DOUBLE_EQ(variance, 256.0 / 56.0);
    // The mode is case-sensitive: "n" is the sample form.
    VarianceFromSums("n", 8, 232, 40, variance);
    EXPECT_DOUBLE_EQ(variance, 256.0 / 56.0);
    // Weights: 1 (weight 2) and 4 (weight 1): n 3, sum 6, squares 18; sample variance (54-36)/6 = 3.
    EXPECT_DOUBLE_EQ(VarianceFromSums("S", 3, 18, 6, variance), std::sqrt(3.0));
    EXPECT_DOUBLE_EQ(variance, 3.0);
}

TEST(VarianceFromSums, DegenerateCountsGiveZero) {
    double variance = -1;
    EXPECT_EQ(VarianceFromSums("S", 1, 25, 5, variance), 0.0);
    EXPECT_EQ(variance, 0.0);
    EXPECT_EQ(VarianceFromSums("N", 1, 25, 5, variance), 0.0);
    EXPECT_EQ(variance, 0.0);
    variance = -1;
    EXPECT_EQ(VarianceFromSums("N", 0, 0, 0, variance), 0.0);
    EXPECT_EQ(variance, 0.0);
    variance = -1;
    EXPECT_EQ(VarianceFromSums("S", -2, 3, 1, variance), 0.0);
    EXPECT_EQ(variance, 0.0);
    // A sample weighing less than 2 has no sample variance.
    EXPECT_EQ(VarianceFromSums("S", 0.5, 3, 1, variance), 0.0);
    EXPECT_EQ(variance, 0.0);
}

TEST(VarianceFromSums, ConstantDataHasExactlyZeroVariance) {
    for (double value : {0.1, 1.1, 7.3, 1e-5, 123456.789}) {
        double n = 0, s1 = 0, s2 = 0;
        for (int i = 0; i < 7; ++i) {
            n += 1;
            s1 += value;
            s2 += value * value;
        }
        double variance = -1;
        EXPECT_EQ(VarianceFromSums("S", n, s2, s1, variance), 0.0) << value;
        EXPECT_EQ(variance, 0.0) << value;
    }
}

TEST(VarianceFromSums, InconsistentSumsNeverGiveANegativeVariance) {
    // n * s2 = 2 below s1^2 = 4: no data has these sums.
    double variance = 1;
    EXPECT_EQ(VarianceFromSums("N", 2, 1, 2, variance), 0.0);
    EXPECT_EQ(variance, 0.0);
}

namespace {

// Ranks of the groups of a sorted column, as the record set walk forms them.
std::vector<double> RankGroups(TieRanker& ranker, const std::vector<double>& groupWeights) {
    std::vector<double> ranks;
    for (double t : groupWeights) ranks.push_back(ranker.AddGroup(t));
    return ranks;
}

}  // namespace

TEST(TieRanker, AveragesTheRanksOfTies) {
    // Values 3, 5, 5, 7 with weight 1 each: ranks 1, 2.5, 2.5, 4; one tie group of 2.
    TieRanker ranker(false);
    EXPECT_EQ(RankGroups(ranker, {1, 2, 1}), (std::vector<double>{1, 2.5, 4}));
    EXPECT_EQ(ranker.Sums().t3, 6);
    EXPECT_EQ(ranker.Sums().tg, 1);
    EXPECT_EQ(ranker.Sums().tw, 2);
    EXPECT_EQ(ranker.Sums().t2, 0);  // no tau terms asked for
    EXPECT_EQ(ranker.LastRank(), 4);
}

TEST(TieRanker, IntegerWeightsCountAsObservations) {
    // One row of weight 3 takes ranks 1..3 and is a tie group of 3.
    TieRanker single(true);
    EXPECT_EQ(single.AddGroup(3), 2);
    EXPECT_EQ(single.Sums().tg, 1);
    EXPECT_EQ(single.Sums().tw, 3);
    EXPECT_EQ(single.Sums().t3, 24);
    // Kendall's terms for t = 3: t(t-1) = 6, t(t-1)(t-2) = 6, t(t-1)(2t+5) = 66.
    EXPECT_EQ(single.Sums().t2, 6);
    EXPECT_EQ(single.Sums().tt, 6);
    EXPECT_EQ(single.Sums().t5, 66);

    // Values 1 (weight 2), 2 (weight 1), 2 (weight 2): groups of 2 and 3
    // observations take ranks 1..2 and 3..5.
    TieRanker ranker(true);
    EXPECT_EQ(RankGroups(ranker, {2, 3}), (std::vector<double>{1.5, 4}));
    EXPECT_EQ(ranker.Sums().tg, 2);
    EXPECT_EQ(ranker.Sums().tw, 5);
    EXPECT_EQ(ranker.Sums().t3, 6 + 24);
    EXPECT_EQ(ranker.Sums().t2, 2 + 6);
    EXPECT_EQ(ranker.Sums().tt, 0 + 6);
    EXPECT_EQ(ranker.Sums().t5, 18 + 66);
}

TEST(TieRanker, AGroupWithoutWeightTakesNoRank) {
    // Weights below 1 count as no observation: the group sits between its
    // neighbours (ranks 1 and 2) and the next group still starts at rank 2.
    TieRanker ranker(false);
    EXPECT_EQ(RankGroups(ranker, {1, 0, 1, -3, 2}), (std::vector<double>{1, 1.5, 2, 2.5, 3.5}));
    EXPECT_EQ(ranker.Sums().tg, 1);
    EXPECT_EQ(ranker.Sums().tw, 2);
}

TEST(FrequencyIntervalDefaults, RangeAboveOne) {
    // 0 .. 50 in 10 intervals: pad 10^(log10(50) - 1) = 5, width (50 + 5)/10 = 5.5.
    double first = -1, width = -1;
    FrequencyIntervalDefaults(false, 10, true, 0, 50, first, width);
    EXPECT_NEAR(width, 5.5, 1e-12);
    EXPECT_EQ(first, 0);
    FrequencyIntervalDefaults(true, 10, false, 0, 50, first, width);
    EXPECT_NEAR(width, 5.5, 1e-12);  // widths of 1 or more stay unrounded
    EXPECT_NEAR(first, -5, 1e-12);
}

TEST(FrequencyIntervalDefaults, RangeBelowOne) {
    // 0 .. 0.5 in 10 intervals: pad 10^(log10(0.5) - 2) = 0.005, width 0.505/10 = 0.0505,
    // rounded up to two digits 0.051 for fractions, else 1.
    double first = -1, width = -1;
    FrequencyIntervalDefaults(true, 10, true, 0, 0.5, first, width);
    EXPECT_EQ(width, 0.051);
    EXPECT_EQ(first, 0);
    FrequencyIntervalDefaults(true, 10, false, 0, 0.5, first, width);
    EXPECT_NEAR(first, -0.005, 1e-15);
    FrequencyIntervalDefaults(false, 10, false, 0, 0.5, first, width);
    EXPECT_EQ(width, 1);
    // 2.3 .. 2.9 in 4 intervals: pad 0.006, width 0.606/4 = 0.1515 -> 0.16.
    FrequencyIntervalDefaults(true, 4, true, 2.3, 2.9, first, width);
    EXPECT_EQ(width, 0.16);
    // A width of exactly two digits stays, whatever binary noise it carries:
    // 0 .. 1.9 in 19 intervals, pad 10^(log10(1.9) - 1) = 0.19, width 2.09/19 = 0.11.
    FrequencyIntervalDefaults(true, 19, true, 0, 1.9, first, width);
    EXPECT_EQ(width, 0.11);
}

TEST(FrequencyIntervalDefaults, ConstantDataLandInTheFirstInterval) {
    for (bool fraction : {false, true}) {
        for (bool lower : {false, true}) {
            double first = 0, width = 0;
            FrequencyIntervalDefaults(fraction, 10, lower, 7.25, 7.25, first, width);
            EXPECT_EQ(width, 1);
            EXPECT_EQ(first, 6.75);
            // The value lies strictly inside the first interval, so it is counted
            // whichever border the intervals include.
            const double t = (7.25 - first) / width;
            EXPECT_GT(t, 0);
            EXPECT_LT(t, 1);
        }
    }
}

TEST(FrequencyIntervalDefaults, NoIntervalsCountAsOne) {
    double first = 0, width = 0;
    FrequencyIntervalDefaults(false, 0, true, 0, 50, first, width);
    EXPECT_NEAR(width, 55, 1e-12);
}

// Exact values from Python's fractions.Fraction of the stored Doubles.
TEST(ExactSum, IsTheExactSumOfItsTermsRoundedOnce) {
    ExactSum tenths;
    for (int i = 0; i < 10; ++i) tenths.Add(0.1);
    EXPECT_EQ(tenths.Value(), 1.0);  // 1.0000000000000000555..., added one by one 0.9999999999999999
    ExactSum cancelled;
    for (double t : {1e16, 1.0, -1e16}) cancelled.Add(t);
    EXPECT_EQ(cancelled.Value(), 1.0);
    // 1 + 2^-53 lies halfway between 1 and the next Double and goes to the
    // even one; 2^-106 more takes it up.
    ExactSum half;
    half.Add(1);
    half.Add(0x1p-53);
    EXPECT_EQ(half.Value(), 1.0);
    half.Add(0x1p-106);
    EXPECT_EQ(half.Value(), 1 + 0x1p-52);
    // Terms at every scale, each kept; taken away in another order they leave 0.
    ExactSum wide;
    for (int e = -1000; e <= 1000; e += 50) wide.Add(std::ldexp(1.0, e));
    EXPECT_EQ(wide.Value(), std::ldexp(1.0, 1000) + std::ldexp(1.0, 950));
    for (int e = 1000; e > -1000; e -= 50) wide.Add(-std::ldexp(1.0, e));
    EXPECT_EQ(wide.Value(), std::ldexp(1.0, -1000));
    // Products are taken exactly: 0.1 * 3 is 2^-55 above 0.3.
    ExactSum products;
    products.AddProduct(0.1, 3);
    products.Add(-0.3);
    EXPECT_EQ(products.Value(), 0x1p-55);
}

TEST(ExactQuotient, IsTheExactQuotientRoundedOnce) {
    // sum w x / sum w = 0.585714285714285701...; the quotient of the rounded
    // sums is 0.5857142857142856.
    ExactSum sumWX, sumW;
    const double x[] = {0.7, 0.3, 0.1, 1.3, 0.1}, w[] = {1.7, 1.7, 1.7, 1.7, 0.2};
    for (int i = 0; i < 5; ++i) {
        sumWX.AddProduct(w[i], x[i]);
        sumW.Add(w[i]);
    }
    EXPECT_EQ(ExactQuotient(sumWX, sumW), 0.5857142857142857);
    ExactSum values, count;
    for (int i = 1; i <= 29; ++i) {
        values.Add(std::stod(std::to_string(i / 10) + "." + std::to_string(i % 10)));
        count.Add(1);
    }
    EXPECT_EQ(ExactQuotient(values, count), 1.5);
}
