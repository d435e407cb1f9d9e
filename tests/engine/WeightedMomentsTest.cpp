// The weighted-moments accumulator: central moments
// against hand-worked sums, merging, co-moments, and the variance and
// correlation formed from them. End-to-end runs of values far from zero
// check that the field comparison and the matrix keep their digits, and
// write what a Double holds of values near the largest one; runs of one data
// set times powers of two, that every analysis forming moments gives what it
// gives for the data, scaled back; runs with weights far from 1, that
// describe and the t-test give their formulas with n the sum of weights.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <optional>
#include <random>
#include <cstdlib>
#include <utility>

#include "EngineTestSupport.h"
#include "numeric/WeightedMoments.h"

namespace {

TEST(WeightedMoments, CentralMomentsOfAWeightedSampleAsWorkedByHand) {
    // x 2, 4, 4, 5 with weights 1, 2, 1, 1: W 5, mean 3.8, deviations
    // -1.8, 0.2 (weight 3 in all), 1.2: M2 = 24/5, M3 = -102/25, M4 = 1572/125.
    for (double offset : {0.0, 1e9}) {
        SCOPED_TRACE(offset);
        WeightedMoments m(true);
        m.Add(offset + 2, 1);
        m.Add(offset + 4, 2);
        m.Add(offset + 0, 0);  // no weight: left out
        m.Add(offset + 4, 1);
        m.Add(offset + 5, 1);
        EXPECT_EQ(m.Count(), 4);
        EXPECT_EQ(m.Weight(), 5);
        EXPECT_DOUBLE_EQ(m.Mean(), offset + 3.8);
        EXPECT_NEAR(m.M2(), 4.8, 1e-14);
        // Held as they are: values and weights near 1.
        EXPECT_NEAR(m.HeldM3(), -4.08, 1e-14);
        EXPECT_NEAR(m.HeldM4(), 12.576, 1e-13);
        EXPECT_NEAR(m.MeanLess(offset + 3), 0.8, 1e-15);
    }
}

TEST(WeightedMoments, MergingTwoPartsEqualsAccumulatingTheWhole) {
    const double values[] = {1000000.1, 1000000.3, 1000000.2, 1000000.7, 1000000.5, 1000000.4};
    const double weights[] = {1, 2, 0.5, 1, 3, 1};
    WeightedMoments whole(true), first(true), second(true);
    for (int i = 0; i < 6; ++i) {
        whole.Add(values[i], weights[i]);
        (i < 2 ? first : second).Add(values[i], weights[i]);
    }
    first.Merge(second);
    EXPECT_EQ(first.Count(), whole.Count());
    EXPECT_DOUBLE_EQ(first.Weight(), whole.Weight());
    EXPECT_DOUBLE_EQ(first.Mean(), whole.Mean());
    EXPECT_NEAR(first.M2(), whole.M2(), 1e-14);
    EXPECT_NEAR(first.HeldM3(), whole.HeldM3(), 1e-14);
    EXPECT_NEAR(first.HeldM4(), whole.HeldM4(), 1e-14);
    // Parts of which one is scaled (values far from zero): 1, 3 and 1e300,
    // -1e300 merge to mean 1 (the small values vanish beside the large ones)
    // and M2 = 2e600, beyond a Double; scaled it is 2e600 / 2^(2e).
    WeightedMoments small(true), large(true);
    small.Add(1, 1);
    small.Add(3, 1);
    large.Add(1e300, 1);
    large.Add(-1e300, 1);
    small.Merge(large);
    EXPECT_EQ(small.Weight(), 4);
    EXPECT_NEAR(small.Mean(), 0.0, 1e285);
    EXPECT_EQ(small.M2(), INFINITY);
    const int e = small.ScaleExponent();
    EXPECT_NEAR(std::ldexp(std::sqrt(small.HeldM2()), e), std::sqrt(2.0) * 1e300, 1e-14 * 1e300);
    EXPECT_NEAR(small.HeldM3(), 0.0, 1e-14 * std::pow(small.HeldM2(), 1.5));
    WeightedMoments empty(true);
    empty.Merge(whole);
    EXPECT_EQ(empty.M2(), whole.M2());
    whole.Clear();
    EXPECT_EQ(whole.Count(), 0);
    EXPECT_EQ(whole.M2(), 0.0);
}

// A mean whose sum of w x a Double holds exactly is that sum over W rounded
// once, at every scale of values and weights: 61, 6, 40 give 107 / 3 =
// 35.666666666666664 (the shifted accumulation gave 35.66666666666667);
// halves and quarters with whole weights (0.5, 1.25, 7 weighing 3, 1, 2)
// 16.75 / 6 = 2.7916666666666665 (exact fractions, rounded once).
TEST(WeightedMoments, AMeanOfAnExactSumIsRoundedOnce) {
    for (int k : {0, -1000, 1000}) {
        for (double w : {1.0, std::ldexp(1.0, -1070), std::ldexp(1.0, 1000)}) {
            SCOPED_TRACE(std::to_string(k) + " " + std::to_string(w));
            WeightedMoments m, first, second;
            WeightedCoMoments co;
            const double x[] = {61, 6, 40};
            for (int i = 0; i < 3; ++i) {
                m.Add(std::ldexp(x[i], k), w);
                (i == 0 ? first : second).Add(std::ldexp(x[i], k), w);
                co.Add(std::ldexp(x[i], k), x[2 - i], w);
            }
            first.Merge(second);
            EXPECT_EQ(m.Mean(), std::ldexp(35.666666666666664, k));
            EXPECT_EQ(first.Mean(), std::ldexp(35.666666666666664, k));
            EXPECT_EQ(co.MeanX(), std::ldexp(35.666666666666664, k));
            EXPECT_EQ(co.MeanY(), 35.666666666666664);
        }
    }
    WeightedMoments halves;
    halves.Add(0.5, 3);
    halves.Add(1.25, 1);
    halves.Add(7, 2);
    EXPECT_EQ(halves.Mean(), 2.7916666666666665);
}

TEST(WeightedMoments, ConstantValuesHaveExactlyZeroSpread) {
    for (double value : {0.1, 1e12 + 0.3, -7.25}) {
        WeightedMoments m(true);
        for (int i = 0; i < 5; ++i) m.Add(value, 1.5);
        EXPECT_EQ(m.M2(), 0.0);
        EXPECT_EQ(m.HeldM3(), 0.0);
        EXPECT_EQ(m.HeldM4(), 0.0);
        EXPECT_EQ(m.Mean(), value);
    }
}

TEST(WeightedCoMoments, CrossProductsAndTheSpreadOfDifferences) {
    // x 1..4, y 2, 4, 5, 9: Mxx 5, Myy 26, Mxy 11; d = x - y: -1, -2, -2, -5,
    // mean -2.5, Mdd 9.
    WeightedCoMoments m;
    const double x[] = {1, 2, 3, 4}, y[] = {2, 4, 5, 9};
    for (int i = 0; i < 4; ++i) m.Add(x[i] + 1e8, y[i] + 1e8, 1);
    EXPECT_NEAR(m.Mxx(), 5, 1e-13);
    EXPECT_NEAR(m.Myy(), 26, 1e-13);
    EXPECT_NEAR(m.Mxy(), 11, 1e-13);
    EXPECT_NEAR(m.Mdd(), 9, 1e-13);
    EXPECT_EQ(m.MeanDifference(), -2.5);
    EXPECT_EQ(m.MeanX(), 1e8 + 2.5);
}

TEST(WeightedCoMoments, WeightsFarFromOneGiveTheFormulasWithNTheSumOfWeights) {
    // The pairs above times s, each of weight c: n = 4c, and with n far above
    // 1, n - 1 is n. Covariance 11 s^2 / 4, r = 11 / sqrt(130), deviation of
    // the differences sqrt(9 s^2 / 4) = 1.5 s, paired t = -2.5 s / (1.5 s /
    // sqrt(4c)). With c = 1e300 the weighted products of s = 1e5 exceed a
    // Double; with c = 1e-300 those of s = 1e-8 fall among the subnormals.
    const auto near = [](double got, double expected, const char* what) {
        EXPECT_NEAR(got, expected, 1e-14 * std::fabs(expected)) << what;
    };
    const double x[] = {1, 2, 3, 4}, y[] = {2, 4, 5, 9};
    for (const auto& [c, s] : {std::pair{1e300, 1e5}, std::pair{1e-300, 1e-8}}) {
        SCOPED_TRACE(c);
        WeightedCoMoments m;
        for (int i = 0; i < 4; ++i) m.Add(x[i] * s, y[i] * s, c);
        near(m.Weight(), 4 * c, "n");
        near(m.MeanDifference(), -2.5 * s, "mean difference");
        const std::optional<double> r = m.Correlation();
        ASSERT_TRUE(r.has_value());
        near(*r, 11 / std::sqrt(130.0), "r");
        if (c < 1) continue;  // n - 1 below 0: no covariance, no t
        near(m.Covariance(), 2.75e10, "covariance");
        near(m.DifferenceDeviation(), 1.5e5, "deviation of the differences");
        const std::optional<double> t = m.PairedT();
        ASSERT_TRUE(t.has_value());
        near(*t, -2.5 / 1.5 * 2e150, "paired t");
    }
}

TEST(WeightedCoMoments, RecordsOfWeightFarBelowTheOthersKeepTheirShareInAnyOrder) {
    // (x, y) = (3, 1) and (2, 3) of weight 2^-64 beside (5, 5), (6, 6), (8, 8)
    // of weight 1: only the light records' differences (2 and -1) vary. In
    // exact fractions, n = 3 + 2^-63: the differences deviate by
    // 3.681375715146282841e-10 and their paired t is 8.501773040511429829e-11.
    // A light record read before a heavy one loses its deviation where the
    // new mean is taken from the value as a difference.
    const double light = 0x1p-64;
    struct Pair {
        double x, y, w;
    };
    const Pair lightFirst[] = {{3, 1, light}, {2, 3, light}, {5, 5, 1}, {6, 6, 1}, {8, 8, 1}};
    const Pair lightBetween[] = {{5, 5, 1}, {3, 1, light}, {6, 6, 1}, {2, 3, light}, {8, 8, 1}};
    for (const auto* order : {lightFirst, lightBetween}) {
        WeightedCoMoments m;
        for (int i = 0; i < 5; ++i) m.Add(order[i].x, order[i].y, order[i].w);
        EXPECT_NEAR(m.DifferenceDeviation(), 3.681375715146282841e-10, 1e-14 * 3.68e-10);
        const std::optional<double> t = m.PairedT();
        ASSERT_TRUE(t.has_value());
        EXPECT_NEAR(*t, 8.501773040511429829e-11, 1e-14 * 8.5e-11);
    }
}

TEST(VarianceAndCorrelation, GuardsAndForms) {
    double v = -1;
    EXPECT_DOUBLE_EQ(VarianceFromCentred("N-1", 4, 6, v), std::sqrt(2.0));
    EXPECT_DOUBLE_EQ(v, 2);
    EXPECT_DOUBLE_EQ(VarianceFromCentred("N", 4, 6, v), std::sqrt(1.5));
    EXPECT_EQ(VarianceFromCentred("N-1", 1, 0, v), 0.0);
    EXPECT_EQ(v, 0.0);
    EXPECT_EQ(VarianceFromCentred("N-1", 0.5, 3, v), 0.0);
    EXPECT_EQ(VarianceFromCentred("N", 0, 0, v), 0.0);

    EXPECT_FALSE(CorrelationFromCentred(0, 4, 1).has_value());
    EXPECT_FALSE(CorrelationFromCentred(4, 0, 0).has_value());
    EXPECT_EQ(*CorrelationFromCentred(4, 9, 0), 0.0);
    EXPECT_EQ(*CorrelationFromCentred(0.3, 0.3, 0.3), 1.0);
    EXPECT_DOUBLE_EQ(*CorrelationFromCentred(4, 9, -3), -0.5);
}

// x = 1e9 + 0.1 .. 0.4, y = x + 0.01, 0.03, 0.02, 0.04. Worked in exact
// fractions: cov(x, y) = 9/500, r = 0.998460353205412, the differences have
// mean -1/40 and deviation 0.0129099444873581, paired t -3.87298334620742.
class FarFromZeroRun : public enginetest::EngineTest {
protected:
    void SetUp() override {
        EngineTest::SetUp();
        // The values as typed, not as sums formed in binary.
        const char* x[] = {"1000000000.1", "1000000000.2", "1000000000.3", "1000000000.4"};
        const char* y[] = {"1000000000.11", "1000000000.23", "1000000000.32", "1000000000.44"};
        for (int i = 0; i < 4; ++i) {
            const double yi = std::strtod(y[i], nullptr);
            AppendRows({{"A", vb::Variant::Null(), std::strtod(x[i], nullptr), yi, yi, 1.0}});
        }
    }
};

TEST_F(FarFromZeroRun, FieldComparisonKeepsItsDigits) {
    enginetest::StoredScenario s;
    s.subType = "Compare";
    s.fields = {{"X1", "X", 1}, {"Y", "Y", 1}};
    s.options = {{"MeanXY", vb::Variant(true)}, {"CorrXY", vb::Variant(true)}, {"TTest", vb::Variant(true)}};
    ASSERT_TRUE(Run(enginetest::AddScenario(db, s))) << engine->get_ErrorInfo();
    const auto rows = enginetest::ReadResultRows(db, "Out1");
    ASSERT_EQ(rows.size(), 1u);
    using enginetest::Num;
    EXPECT_NEAR(Num(rows[0], "MeanDiff"), -0.025, 1e-15);
    EXPECT_NEAR(Num(rows[0], "StdDevDiff"), 0.0129099444873581, 1e-15);
    EXPECT_NEAR(Num(rows[0], "Covariance"), 0.018, 1e-15);
    EXPECT_NEAR(Num(rows[0], "Correlation"), 0.998460353205412, 1e-14);
    EXPECT_NEAR(Num(rows[0], "Paired_t-Value"), -3.87298334620742, 1e-12);
}

TEST_F(FarFromZeroRun, CorrelationMatrixKeepsItsDigits) {
    enginetest::StoredScenario s;
    s.subType = "Matrix";
    s.fields = {{"X1", "X", 1}, {"X2", "X", 2}};
    s.options = {{"MMean", vb::Variant(true)},
                 {"MDev", vb::Variant(true)},
                 {"MCov", vb::Variant(true)},
                 {"MCor", vb::Variant(true)}};
    ASSERT_TRUE(Run(enginetest::AddScenario(db, s))) << engine->get_ErrorInfo();
    const auto rows = enginetest::ReadResultRows(db, "Out1");
    ASSERT_EQ(rows.size(), 8u);  // four measures, two fields
    using enginetest::Num;
    // Rows by measure (MeanDiff, StdDevDiff, Covariance, Correlation), then
    // field: the X1 rows are 0, 2, 4 and 6.
    EXPECT_NEAR(Num(rows[0], "X2"), -0.025, 1e-15);
    EXPECT_NEAR(Num(rows[1], "X1"), 0.025, 1e-15);
    EXPECT_NEAR(Num(rows[2], "X2"), 0.0129099444873581, 1e-15);
    EXPECT_NEAR(Num(rows[4], "X2"), 0.018, 1e-15);
    EXPECT_NEAR(Num(rows[4], "X1"), 0.05 / 3, 1e-15);  // the variance of X1 on the diagonal
    EXPECT_NEAR(Num(rows[6], "X2"), 0.998460353205412, 1e-14);
    EXPECT_EQ(Num(rows[6], "X1"), 1.0);
}

// Values near the largest Double, whose squares overflow: X1 = 1e308, -1e308,
// 5e307, -3e307, 2e307, X2 = -X1 / 2, Y = 1..5. Worked with mpmath at 50
// digits: r(X1, Y) = -0.185734877267924, cov(X1, Y) = -2.25e307, means 8e306
// and 3, the differences X1 - Y deviate by 7.66159252375118e307, paired t
// 0.233483362167112; X2 is a linear function of X1 (r = -1), and the
// variance of X1, 5.87e615, is beyond a Double.
class NearTheLargestDoubleRun : public enginetest::EngineTest {
protected:
    void SetUp() override {
        EngineTest::SetUp();
        const double x[] = {1e308, -1e308, 5e307, -3e307, 2e307};
        for (int i = 0; i < 5; ++i) AppendRows({{"A", vb::Variant::Null(), x[i], -x[i] / 2, i + 1.0, 1.0}});
    }
};

TEST_F(NearTheLargestDoubleRun, ComparisonAndMatrixWriteWhatADoubleHolds) {
    using enginetest::Num;
    enginetest::StoredScenario compare;
    compare.subType = "Compare";
    compare.fields = {{"X1", "X", 1}, {"X2", "X", 2}, {"Y", "Y", 1}};
    compare.options = {{"MeanXY", true}, {"CorrXY", true}, {"TTest", true}};
    ASSERT_TRUE(Run(enginetest::AddScenario(db, compare))) << engine->get_ErrorInfo();
    auto rows = enginetest::ReadResultRows(db, "Out1");
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_NEAR(Num(rows[0], "MeanX"), 8e306, 1e-14 * 8e306);
    EXPECT_EQ(Num(rows[0], "MeanY"), 3);
    EXPECT_NEAR(Num(rows[0], "MeanDiff"), 8e306, 1e-14 * 8e306);
    EXPECT_NEAR(Num(rows[0], "StdDevDiff"), 7.66159252375118e307, 1e-14 * 7.66159252375118e307);
    EXPECT_NEAR(Num(rows[0], "Covariance"), -2.25e307, 1e-14 * 2.25e307);
    EXPECT_NEAR(Num(rows[0], "Correlation"), -0.185734877267924, 1e-15);
    EXPECT_NEAR(Num(rows[0], "Paired_t-Value"), 0.233483362167112, 1e-14);
    EXPECT_NEAR(Num(rows[1], "Correlation"), 0.185734877267924, 1e-15);
    EXPECT_NEAR(Num(rows[1], "Covariance"), 1.125e307, 1e-14 * 1.125e307);
    db->TableDefs()->Delete("Out1");

    enginetest::StoredScenario matrix;
    matrix.subType = "Matrix";
    matrix.fields = {{"X1", "X", 1}, {"X2", "X", 2}, {"Y", "X", 3}};
    matrix.options = {{"MCor", true}};
    ASSERT_TRUE(Run(enginetest::AddScenario(db, matrix))) << engine->get_ErrorInfo();
    rows = enginetest::ReadResultRows(db, "Out1");
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_NEAR(Num(rows[0], "X2"), -1.0, 4e-16);
    EXPECT_NEAR(Num(rows[0], "Y"), -0.185734877267924, 1e-15);
    EXPECT_NEAR(Num(rows[1], "Y"), 0.185734877267924, 1e-15);
    db->TableDefs()->Delete("Out1");
    // The paired-field tests report the same correlation.
    enginetest::StoredScenario paired;
    paired.family = "N";
    paired.subType = "Paired Fields";
    paired.fields = {{"X1", "X", 1}, {"Y", "Y", 1}};
    paired.options = {{"NPPair_Sign", true}};
    ASSERT_TRUE(Run(enginetest::AddScenario(db, paired))) << engine->get_ErrorInfo();
    rows = enginetest::ReadResultRows(db, "Out1");
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_NEAR(Num(rows[0], "Pearson's_R"), -0.185734877267924, 1e-15);
    db->TableDefs()->Delete("Out1");
    // The covariance of X1 with itself is its variance: named.
    matrix.options = {{"MCov", true}};
    EXPECT_FALSE(Run(enginetest::AddScenario(db, matrix)));
    EXPECT_EQ(engine->get_ErrorInfo(),
              "The Covariance of the field [X1] of [Data] is beyond the largest number a result can hold (about "
              "1.8E+308), an overflow: the values are too large for it. Leave the statistic out, or analyse a query "
              "that scales the values down.");
}

// One data set times 2^k, from subnormal values to values near the largest
// Double: every statistic of every analysis that forms moments is the
// unscaled run's scaled back exactly (times 2^(p k), p its power of the
// values) wherever that is a normal Double. The values' squares fall below
// the smallest Double from k = -540 on and beyond the largest from k = 510:
// sums of squares held as they are give 0, Null or a failed run there. The
// runs whose variance or covariance is beyond a Double (which are then named,
// failing the run) are left out at k = 1018.
using Field = std::tuple<std::string, vb::Variant, int16_t>;  // name, role, position

enginetest::StoredScenario MakeScenario(const std::string& family, const std::string& subType,
                                        std::vector<Field> fields, std::map<std::string, vb::Variant> options) {
    enginetest::StoredScenario s;
    s.family = family;
    s.subType = subType;
    s.fields = std::move(fields);
    s.options = std::move(options);
    return s;
}

class PowerOfTwoScaling : public enginetest::EngineTest {};

TEST_F(PowerOfTwoScaling, StatisticsOfDataTimesAPowerOfTwoAreTheUnscaledOnesScaledBack) {
    using enginetest::Num;
    using enginetest::ResultRow;
    const char* g1[] = {"p", "q", "p", "q", "p", "q"};
    const char* g2[] = {"a", "a", "a", "b", "b", "b"};
    const double x1[] = {1, 2, 3, 5, 8, 13};
    const double x2[] = {2, 4, 6, 10.5, 16.25, 25.5};
    const double w[] = {1, 2, 1, 3, 1, 2};
    const auto On = vb::Variant(true);
    struct Case {
        std::string name;
        enginetest::StoredScenario scenario;
        int maxK;  // the largest k at which no statistic of the run overflows
        int32_t id = 0;
    };
    const std::tuple<std::string, vb::Variant, int16_t> X1{"X1", "X", 1}, X2{"X2", "X", 2}, Y{"X2", "Y", 1};
    std::vector<Case> cases = {
        {"Describe",
         MakeScenario("P", "Describe", {X1, X2},
                      {{"VarStd", On},
                       {"VarNRadio", "N-1"},
                       {"Skew", On},
                       {"Mean", On},
                       {"Range", On},
                       {"CI", On},
                       {"CITypeRadio", "t"},
                       {"CI95", On}}),
         505},
        {"Describe shape", MakeScenario("P", "Describe", {X1, X2}, {{"Skew", On}, {"Mean", On}}), 1018},
        {"Compare", MakeScenario("P", "Compare", {X1, Y}, {{"MeanXY", On}, {"CorrXY", On}, {"TTest", On}}), 505},
        {"Compare t", MakeScenario("P", "Compare", {X1, Y}, {{"MeanXY", On}, {"TTest", On}}), 1018},
        {"Matrix",
         MakeScenario("P", "Matrix", {X1, X2},
                      {{"MMean", On}, {"MDev", On}, {"MCov", On}, {"MCor", On}, {"MR2", On}, {"MT", On}}),
         505},
        {"Matrix r", MakeScenario("P", "Matrix", {X1, X2}, {{"MMean", On}, {"MDev", On}, {"MCor", On}, {"MT", On}}),
         1018},
        {"t-test", MakeScenario("G", "Two Sample t-Test", {{"G2", "C", 1}, X1}, {{"GroupIgnoreBlanks", On}}), 1018},
        {"ANOVA", MakeScenario("G", "ANOVA", {{"G2", "C", 1}, X1}, {{"GroupIgnoreBlanks", On}}), 1018},
        {"Two way ANOVA",
         MakeScenario("G", "Two way ANOVA", {{"G1", "C", 1}, {"G2", "C", 2}, X1}, {{"GroupIgnoreBlanks", On}}), 1018},
        {"Crosstab",
         MakeScenario("P", "Crosstab", {{"G1", "G", 1}, {"G2", "C", 1}, X1, {"W", "W", 1}}, {{"XType", "D"}}), 1018},
        {"K-S Fit", MakeScenario("N", "K-S Fit", {X1}, {{"FitNormal", On}}), 1018},
    };
    for (Case& c : cases) {
        c.scenario.output1 = "Out" + std::to_string(&c - cases.data());
        c.id = enginetest::AddScenario(db, c.scenario);
    }
    // Every result row of every run for the data times 2^k.
    auto results = [&](int k) {
        db->Execute("DELETE FROM Data");
        std::vector<std::vector<vb::Variant>> rows;
        for (int i = 0; i < 6; ++i)
            rows.push_back({g1[i], g2[i], std::ldexp(x1[i], k), std::ldexp(x2[i], k), vb::Variant::Null(), w[i]});
        AppendRows(rows);
        std::map<std::string, std::vector<ResultRow>> out;
        for (const Case& c : cases) {
            if (k > c.maxK) continue;
            EXPECT_TRUE(Run(c.id)) << c.name << " at k = " << k << ": " << engine->get_ErrorInfo();
            out[c.name] = enginetest::ReadResultRows(db, c.scenario.output1.ToString());
        }
        return out;
    };
    // The power of the values a result column holds: -1 for none checked.
    // The matrix has a measure a row, the crosstab a statistic or a count.
    auto power = [](const ResultRow& row, const std::string& column) {
        if (column == "StatOutputID" || column == "Index") return -1;
        const auto free = [](const std::string& name) {
            for (const char* part : {"Count", "Missing", "DF", "Prob", "Skew", "Kurt", "Correlation", "R-Square",
                                     "t-Value", "F-Value", "CoeffOfVariance", "K-S_Z", "Max_"})
                if (name.find(part) != std::string::npos) return true;
            return false;
        };
        if (free(column)) return 0;
        for (const char* kind : {"CalcType", "DataType"}) {
            const auto label = row.find(kind);
            if (label == row.end()) continue;
            const std::string measure = label->second.ToString();
            return measure == "Covariance" ? 2 : (free(measure) ? 0 : 1);
        }
        const bool squared =
            column == "Variance" || column == "Covariance" || column == "Sum_of_Squares" || column == "Mean_Square";
        return squared ? 2 : 1;
    };
    const auto base = results(0);
    for (int k : {-1072, -1015, -540, -300, 300, 505, 1018}) {
        const auto scaled = results(k);
        for (const auto& [name, rows] : scaled) {
            const std::vector<ResultRow>& expectedRows = base.at(name);
            ASSERT_EQ(rows.size(), expectedRows.size()) << name << " at k = " << k;
            for (size_t i = 0; i < rows.size(); ++i) {
                for (const auto& [column, value] : expectedRows[i]) {
                    const int p = power(expectedRows[i], column);
                    if (p < 0 || !value.IsNumber()) continue;
                    const double expected = std::ldexp(value.ToDouble(), p * k);
                    if (!std::isnormal(expected)) continue;
                    // The band's bounds are differences of the 15-digit
                    // decimals at the unscaled data's size, of the binary
                    // values beyond it; the root mean square is formed from
                    // the sum of squares there, from the moments beyond.
                    const bool bound =
                        column.find("_Lower") != std::string::npos || column.find("_Upper") != std::string::npos;
                    const double tolerance = bound ? 1e-13 : (column == "RMS" ? 2e-15 : 0);
                    EXPECT_NEAR(Num(rows[i], column), expected, tolerance * std::fabs(expected))
                        << name << " row " << i << " " << column << " at k = " << k;
                }
            }
        }
    }
    // The unscaled run against the same formulas in exact fractions (python's
    // fractions, square roots by decimal at 60 digits).
    const auto near = [](double got, double expected) { EXPECT_NEAR(got, expected, 1e-15 * std::fabs(expected)); };
    const ResultRow& describe = base.at("Describe")[0];  // X1
    near(Num(describe, "StdDeviation"), 4.50185147096910191549783717587256);
    near(Num(describe, "StdError"), 1.83787316694536290239412167372456);
    near(Num(describe, "CoeffOfVariance"), 0.844097150806706609155844470476105);
    near(Num(describe, "Skewness"), 1.11284622634921586369836489658510);
    near(Num(describe, "Kurtosis"), 0.5859375);
    const ResultRow& compare = base.at("Compare")[0];
    near(Num(compare, "Correlation"), 0.999436305444105394118476858529054);
    near(Num(compare, "Covariance"), 39.8666666666666666666666666666667);
    near(Num(compare, "StdDevDiff"), 4.36391452711897188459597042087938);
    near(Num(compare, "Paired_t-Value"), -3.01701769950835748718606683869443);
    const ResultRow& t = base.at("t-test")[0];  // 1, 2, 3 against 5, 8, 13
    near(Num(t, "StdDeviation-2"), 4.04145188432738035156404146351370);
    near(Num(t, "t-Value_Pooled"), -2.77350098112614561009170866728500);
    near(Num(t, "t-Value_Separate"), -2.77350098112614561009170866728500);
    near(Num(base.at("ANOVA")[0], "F-Value"), 7.69230769230769230769230769230769);
    // Weighted (1, 2, 1, 3, 1, 2): the whole table's deviation.
    const auto& crosstab = base.at("Crosstab");
    const auto total = std::find_if(crosstab.begin(), crosstab.end(), [](const ResultRow& row) {
        return row.at("DataType").ToString() == "GROUP Total";
    });
    ASSERT_NE(total, crosstab.end());
    near(Num(*total, "RowSummary"), 4.34741302385683157211559924715093);
}

// Weights far from 1 scale the weighted products, not the deviations: each
// statistic is what the formulas give with n the sum of weights, wherever its
// own value is a normal Double. References by hand (exact fractions, roots at
// 40 digits); with n = 6e300 or 6e150 the shape's finite-n terms vanish, so
// G1 and G2 are g1 = m3 / m2^1.5 and g2 = m4 / m2^2 - 3 of the values, the
// standard errors sqrt(6 / n) and sqrt(24 / n); Σw - 1 is Σw.
class WeightsFarFromOne : public enginetest::EngineTest {};

TEST_F(WeightsFarFromOne, DescribeAndTTestGiveTheFormulasWithNTheSumOfWeights) {
    using enginetest::Num;
    const auto On = vb::Variant(true);
    const auto near = [](double got, double expected, const char* what) {
        EXPECT_NEAR(got, expected, 1e-13 * std::fabs(expected)) << what;
    };
    struct Group {
        const char* name;
        std::vector<double> x;
        double w;
    };
    const Group groups[] = {{"a", {1e5, 2e5, 3e5, 4e5, 5e5}, 1e300},
                            {"b", {1, 2, 4, 7, 11, 16}, 1e300},
                            {"c", {1, 2, 4, 7, 11, 16}, 1e150},
                            {"d", {1.000000000001, 1.000000000002, 1.000000000004, 1.000000000007}, 1e-300}};
    for (const Group& g : groups)
        for (double x : g.x)
            AppendRows({{g.name, vb::Variant::Null(), x, vb::Variant::Null(), vb::Variant::Null(), g.w}});
    const std::tuple<std::string, vb::Variant, int16_t> G{"G1", "G", 1}, X{"X1", "X", 1}, W{"W", "W", 1};
    auto describe = [&](const std::string& divisor, const std::string& out) {
        enginetest::StoredScenario s;
        s.subType = "Describe";
        s.fields = {G, X, W};
        s.options = {{"VarStd", On}, {"VarNRadio", divisor}, {"Mean", On}, {"Skew", On}};
        s.output1 = out;
        EXPECT_TRUE(Run(enginetest::AddScenario(db, s))) << divisor << ": " << engine->get_ErrorInfo();
        return enginetest::ReadResultRows(db, out);
    };
    const auto sample = describe("N-1", "Out1");
    ASSERT_EQ(sample.size(), 4u);
    // 1e5 .. 5e5: sum w (x - mean)^2 = 1e311 over 5e300.
    near(Num(sample[0], "Variance"), 2e10, "a variance");
    near(Num(sample[0], "StdDeviation"), 141421.3562373095048801688724, "a deviation");
    near(Num(sample[0], "RMS"), 331662.4790355399849114932737, "a RMS");
    // m2 = 1001/36, m3 = 2288/27, m4 = 657371/432.
    for (size_t i : {1, 2}) {
        const double seSkew = i == 1 ? 1e-150 : 1e-75;
        near(Num(sample[i], "Skewness"), 0.5779561519917842001309555192, "skewness");
        near(Num(sample[i], "Kurtosis"), -1.031825317539603253888968175, "kurtosis");
        near(Num(sample[i], "SE_Skewness"), seSkew, "SE skewness");
        near(Num(sample[i], "SE_Kurtosis"), 2 * seSkew, "SE kurtosis");
    }
    // Deviations 1e-12 (-2.5, -1.5, 0.5, 3.5): 21e-24 over 4.
    const auto population = describe("N", "Out2");
    ASSERT_EQ(population.size(), 4u);
    near(Num(population[3], "Variance"), 5.25e-24, "d variance");
    near(Num(population[3], "StdDeviation"), 2.291287847477920003294023597e-12, "d deviation");

    // 1, 2, 3, 5 against 4, 6, 7, 9: M2 8.75 and 13 times 1e300, n 4e300
    // each; t = -3.75 / sqrt(5.4375 / 4e300), Welch df = 5.4375^2 (n - 1) /
    // (2.1875^2 + 3.25^2).
    db->Execute("DELETE FROM Data");
    const double x[] = {1, 2, 3, 5, 4, 6, 7, 9};
    for (int i = 0; i < 8; ++i)
        AppendRows({{vb::Variant::Null(), i < 4 ? "p" : "q", x[i], vb::Variant::Null(), vb::Variant::Null(), 1e300}});
    enginetest::StoredScenario t;
    t.family = "G";
    t.subType = "Two Sample t-Test";
    t.fields = {{"G2", "C", 1}, X, W};
    t.options = {{"GroupIgnoreBlanks", On}};
    t.output1 = "Out3";
    ASSERT_TRUE(Run(enginetest::AddScenario(db, t))) << engine->get_ErrorInfo();
    const auto rows = enginetest::ReadResultRows(db, "Out3");
    ASSERT_EQ(rows.size(), 1u);
    near(Num(rows[0], "DF_Pooled"), 8e300, "pooled df");
    near(Num(rows[0], "t-Value_Pooled"), -3.216337604513384498467060532e150, "pooled t");
    near(Num(rows[0], "DF_Separate"), 7.705777551539832018325273607e300, "separate df");
    near(Num(rows[0], "t-Value_Separate"), -3.216337604513384498467060532e150, "separate t");
}

// Weights far apart within a run, or far from 1 beside a sum of squares
// the analysis forms itself: each statistic is what the formulas give with n
// the sum of weights (references in exact fractions, Python's fractions and
// decimal at 60 digits; with n near 1e300, n - 1 is n).
TEST_F(WeightsFarFromOne, EveryAnalysisFormingMomentsGivesTheFormulasWithNTheSumOfWeights) {
    using enginetest::Num;
    const auto On = vb::Variant(true);
    const auto near = [](double got, double expected, const char* what) {
        EXPECT_NEAR(got, expected, 1e-13 * std::fabs(expected)) << what;
    };
    const Field X{"X1", "X", 1}, W{"W", "W", 1}, C{"G2", "C", 1};
    auto data = [&](const std::vector<std::tuple<const char*, double, double>>& rows) {
        db->Execute("DELETE FROM Data");
        for (const auto& [group, x, w] : rows)
            AppendRows({{"a", group, x, vb::Variant::Null(), vb::Variant::Null(), w}});
    };
    auto run = [&](const std::string& family, const std::string& subType, std::vector<Field> fields,
                   std::map<std::string, vb::Variant> options) {
        if (db->TableDefs()->Contains("Out1")) db->TableDefs()->Delete("Out1");
        EXPECT_TRUE(
            Run(enginetest::AddScenario(db, MakeScenario(family, subType, std::move(fields), std::move(options)))))
            << subType << ": " << engine->get_ErrorInfo();
        return enginetest::ReadResultRows(db, "Out1");
    };

    // x = 5 of weight 1e-300 beside four 1s: s^3 and s^4 fall far below the
    // smallest Double, G1 = 3.464101615137754543e150 and G2 = 2.999999999999999925e301.
    data({{"p", 5, 1e-300}, {"p", 1, 1}, {"p", 1, 1}, {"p", 1, 1}, {"p", 1, 1}});
    auto rows = run("P", "Describe", {X, W}, {{"Skew", On}});
    ASSERT_EQ(rows.size(), 1u);
    near(Num(rows[0], "Skewness"), 3.464101615137754543e150, "skewness");
    near(Num(rows[0], "Kurtosis"), 2.999999999999999925e301, "kurtosis");

    // 1, 2, 3, 5 of weight 1e300 against 4, 6, 7, 9, 12 of weight 1: the
    // shares of the variance of the difference lie 1e300 apart, and the
    // Welch degrees of freedom are those of the second sample, 4.
    data({{"p", 1, 1e300},
          {"p", 2, 1e300},
          {"p", 3, 1e300},
          {"p", 5, 1e300},
          {"q", 4, 1},
          {"q", 6, 1},
          {"q", 7, 1},
          {"q", 9, 1},
          {"q", 12, 1}});
    rows = run("G", "Two Sample t-Test", {C, X, W}, {{"GroupIgnoreBlanks", On}});
    ASSERT_EQ(rows.size(), 1u);
    near(Num(rows[0], "DF_Separate"), 4, "separate df");

    // The analysis of variance of the same: its DF column, a Long, cannot
    // hold n - 2, and the run is refused saying why.
    if (db->TableDefs()->Contains("Out1")) db->TableDefs()->Delete("Out1");
    EXPECT_FALSE(Run(enginetest::AddScenario(db, MakeScenario("G", "ANOVA", {C, X, W}, {{"GroupIgnoreBlanks", On}}))));
    EXPECT_EQ(engine->get_ErrorInfo(),
              "6: The degrees of freedom of the field [X1] of [Data] (4E+300) are beyond the whole numbers the DF "
              "column holds (up to 2147483647): the weights add up to too much. Analyse a query that scales the "
              "weights down so that they add up to less than that, or leave the weight field out.");

    // 1e5, 2e5, 4e5, 5e5 of weight 1e300: the variance 2.5e10, though the
    // weighted sum of squares is beyond a Double.
    data({{"p", 1e5, 1e300}, {"p", 2e5, 1e300}, {"p", 4e5, 1e300}, {"p", 5e5, 1e300}});
    rows = run("P", "Crosstab", {{"G1", "G", 1}, {"G2", "C", 1}, X, W}, {{"XType", "V"}});
    const auto total = std::find_if(rows.begin(), rows.end(), [](const enginetest::ResultRow& row) {
        return row.at("DataType").ToString() == "GROUP Total";
    });
    ASSERT_NE(total, rows.end());
    near(Num(*total, "RowSummary"), 2.5e10, "crosstab variance");

    // 1e5 times 1, 2, 4, 7, 11, 16 of weight 2^996: deviation 1e5 sqrt(1001 / 36),
    // and the normal fit's largest difference as worked with erfc.
    data({{"p", 1e5, 0x1p996},
          {"p", 2e5, 0x1p996},
          {"p", 4e5, 0x1p996},
          {"p", 7e5, 0x1p996},
          {"p", 11e5, 0x1p996},
          {"p", 16e5, 0x1p996}});
    rows = run("N", "K-S Fit", {X, W}, {{"FitNormal", On}});
    ASSERT_EQ(rows.size(), 1u);
    near(Num(rows[0], "StdDeviation"), 527309.7339852125, "K-S deviation");
    EXPECT_NEAR(Num(rows[0], "Max_Absolute"), 0.20447622366688378, 1e-11);
}

}  // namespace
