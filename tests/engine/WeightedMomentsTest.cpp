// The weighted-moments accumulator: central moments
// against hand-worked sums, merging, co-moments, and the variance and
// correlation formed from them. End-to-end runs of values far from zero
// check that the field comparison and the matrix keep their digits, and
// write what a Double holds of values near the largest one.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <random>
#include <cstdlib>

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
        EXPECT_NEAR(m.M3(), -4.08, 1e-14);
        EXPECT_NEAR(m.M4(), 12.576, 1e-13);
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
    EXPECT_NEAR(first.M3(), whole.M3(), 1e-14);
    EXPECT_NEAR(first.M4(), whole.M4(), 1e-14);
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
    EXPECT_NEAR(std::ldexp(std::sqrt(small.ScaledM2()), e), std::sqrt(2.0) * 1e300, 1e-14 * 1e300);
    EXPECT_NEAR(small.ScaledM3(), 0.0, 1e-14 * std::pow(small.ScaledM2(), 1.5));
    WeightedMoments empty(true);
    empty.Merge(whole);
    EXPECT_EQ(empty.M2(), whole.M2());
    whole.Clear();
    EXPECT_EQ(whole.Count(), 0);
    EXPECT_EQ(whole.M2(), 0.0);
}

TEST(WeightedMoments, ConstantValuesHaveExactlyZeroSpread) {
    for (double value : {0.1, 1e12 + 0.3, -7.25}) {
        WeightedMoments m(true);
        for (int i = 0; i < 5; ++i) m.Add(value, 1.5);
        EXPECT_EQ(m.M2(), 0.0);
        EXPECT_EQ(m.M3(), 0.0);
        EXPECT_EQ(m.M4(), 0.0);
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

}  // namespace
