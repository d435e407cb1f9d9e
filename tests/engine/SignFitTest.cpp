// "Sign Test" and "K-S Fit" scenarios: the one-sample sign test against the
// mean, the median or a given value, and the Kolmogorov-Smirnov fit to the
// uniform, normal and Poisson distributions.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "NonParam2Support.h"

namespace enginetest {
namespace {

class SignFit : public NonParamTest {
protected:
    int32_t SignScenario(bool mean, bool median, bool custom, const vb::Variant& value, bool weighted = false) {
        return Scenario("Sign Test",
                        {{"SignMean", mean}, {"SignMedian", median}, {"SignCustom", custom}, {"SignValue", value}},
                        {"X1"}, false, weighted);
    }
    int32_t FitScenario() {
        return Scenario("K-S Fit", {{"FitUniform", true}, {"FitNormal", true}, {"FitPoisson", true}}, {"X1"}, false);
    }
};

TEST_F(SignFit, OddCountAgainstMeanMedianAndAGivenValue) {
    FillSample("g", "-", {1, 1, 2, 3, 4, 5, 5, 6, 10});
    ASSERT_TRUE(Run(SignScenario(true, true, true, 5.0))) << engine->get_ErrorInfo();
    const auto rows = ReadResultRows(db, "Out1");
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[0].at("TestType").ToString(), "Mean");
    EXPECT_EQ(rows[1].at("TestType").ToString(), "Median");
    EXPECT_EQ(rows[2].at("TestType").ToString(), "Custom");
    for (const auto& r : rows) {
        EXPECT_EQ(Num(r, "Count"), 9);
        EXPECT_EQ(Num(r, "Missing"), 0);
    }
    // Mean 37/9: 5 below, 4 above. R 4.2: pbinom(5, 9, .5), pbinom(4, 9, .5)
    EXPECT_DOUBLE_EQ(Num(rows[0], "TestValue"), 37.0 / 9.0);
    EXPECT_EQ(Num(rows[0], "Count<Test"), 5);
    EXPECT_EQ(Num(rows[0], "Count>Test"), 4);
    EXPECT_NEAR(Num(rows[0], "Prob<=Test"), 0.74609375, 1e-12);
    EXPECT_NEAR(Num(rows[0], "Prob>=Test"), 0.5, 1e-12);
    // Median 4 (the fifth of nine): 4 below, 1 equal, 4 above. R 4.2: pbinom(4, 8, .5)
    EXPECT_EQ(Num(rows[1], "TestValue"), 4);
    EXPECT_EQ(Num(rows[1], "Count=Test"), 1);
    EXPECT_NEAR(Num(rows[1], "Prob<=Test"), 0.63671875, 1e-12);
    EXPECT_NEAR(Num(rows[1], "Prob>=Test"), 0.63671875, 1e-12);
    // Value 5: 5 below, 2 equal, 2 above. R 4.2: pbinom(5, 7, .5), pbinom(2, 7, .5)
    EXPECT_EQ(Num(rows[2], "Count=Test"), 2);
    EXPECT_NEAR(Num(rows[2], "Prob<=Test"), 0.9375, 1e-12);
    EXPECT_NEAR(Num(rows[2], "Prob>=Test"), 0.2265625, 1e-12);
}

TEST_F(SignFit, EvenAndWeightedMedians) {
    FillSample("even", "-", {1, 2, 3, 4, 5, 6, 7, 8});
    Fill({{"weighted", "-", 1.0, vb::Variant::Null(), 1.0},
          {"weighted", "-", 2.0, vb::Variant::Null(), 1.0},
          {"weighted", "-", 3.0, vb::Variant::Null(), 5.0},
          {"weighted", "-", 4.0, vb::Variant::Null(), 1.0},
          {"weighted", "-", 9.0, vb::Variant::Null(), 0.0}});
    ASSERT_TRUE(Run(SignScenario(false, true, false, vb::Variant::Null(), true))) << engine->get_ErrorInfo();
    const auto rows = ReadResultRows(db, "Out1");
    // Rows whose weight is Null weigh nothing: "even" has W = 0 and writes no
    // row. The weighted group's median is where the running weight reaches
    // W / 2 = 4: the value 3.
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].at("G1").ToString(), "weighted");
    EXPECT_EQ(Num(rows[0], "TestValue"), 3);
    EXPECT_EQ(Num(rows[0], "Count"), 8);
    EXPECT_EQ(Num(rows[0], "Observations"), 4);
    EXPECT_EQ(Num(rows[0], "Missing"), 1);
    // 2 below, 5 equal, 1 above; R 4.2: pbinom(2, 3, .5), pbinom(1, 3, .5)
    EXPECT_NEAR(Num(rows[0], "Prob<=Test"), 0.875, 1e-12);
    EXPECT_NEAR(Num(rows[0], "Prob>=Test"), 0.5, 1e-12);
}

TEST_F(SignFit, EvenCountMedianIsTheMeanOfTheMiddleTwo) {
    FillSample("even", "-", {1, 2, 3, 4, 5, 6, 7, 8});
    FillSample("single", "-", {1});
    ASSERT_TRUE(Run(SignScenario(false, true, false, vb::Variant::Null()))) << engine->get_ErrorInfo();
    const auto rows = ReadResultRows(db, "Out1");
    ASSERT_EQ(rows.size(), 1u);  // a group of weight 1 writes no row
    EXPECT_DOUBLE_EQ(Num(rows[0], "TestValue"), 4.5);
    // R 4.2: pbinom(4, 8, .5)
    EXPECT_NEAR(Num(rows[0], "Prob<=Test"), 0.63671875, 1e-12);
}

// Fractional weights: the test counts each value as many times as the whole
// part of its weight; the Count columns keep the weights. The weighted median
// is the first value at which the running weight reaches half the whole, as
// Percentiles finds it: 0.7 + 0.1 reaches 1.6 / 2 at the value 2.
TEST_F(SignFit, FractionalWeightsCountTheirWholePartsAndTheMedianReachesHalf) {
    const vb::Variant null = vb::Variant::Null();
    Fill({{"frac", "-", 1.0, null, 0.5}, {"frac", "-", 2.0, null, 1.5}, {"frac", "-", 3.0, null, 2.7}});
    Fill({{"med", "-", 1.0, null, 0.7},
          {"med", "-", 2.0, null, 0.1},
          {"med", "-", 3.0, null, 0.2},
          {"med", "-", 4.0, null, 0.6}});
    ASSERT_TRUE(Run(SignScenario(false, true, true, 10.0, true))) << engine->get_ErrorInfo();
    // 0 + 1 + 2 = 3 observations below 10, none above: P(X <= 3) = 1 and
    // P(X <= 0) = 1/8 for 3 trials.
    auto rows = ReadResultRows(db, "Out1", "G1 = 'frac' AND TestType = 'Custom'");
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_NEAR(Num(rows[0], "Count<Test"), 4.7, 1e-14);
    EXPECT_EQ(Num(rows[0], "Prob<=Test"), 1);
    EXPECT_EQ(Num(rows[0], "Prob>=Test"), 0.125);
    // No weight reaches 1: the median is written, the probabilities are not.
    rows = ReadResultRows(db, "Out1", "G1 = 'med'");
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0].at("TestType").ToString(), "Median");
    EXPECT_EQ(Num(rows[0], "TestValue"), 2);
    EXPECT_NEAR(Num(rows[0], "Count>Test"), 0.8, 1e-14);
    for (const auto& r : rows) {
        EXPECT_TRUE(IsNull(r, "Prob<=Test"));
        EXPECT_TRUE(IsNull(r, "Prob>=Test"));
    }
}

TEST_F(SignFit, ExactUpToTwentyFiveNormalAbove) {
    std::vector<double> v25, v26;
    for (int i = 1; i <= 25; ++i) v25.push_back(i);
    for (int i = 1; i <= 26; ++i) v26.push_back(i);
    FillSample("n25", "-", v25);
    FillSample("n26", "-", v26);
    ASSERT_TRUE(Run(SignScenario(false, false, true, 8.5))) << engine->get_ErrorInfo();
    const auto rows = ReadResultRows(db, "Out1");
    ASSERT_EQ(rows.size(), 2u);
    // R 4.2: pbinom(8, 25, .5), pbinom(17, 25, .5)
    EXPECT_NEAR(Num(rows[0], "Prob<=Test"), 0.0538760721683503, 1e-12);
    EXPECT_NEAR(Num(rows[0], "Prob>=Test"), 0.978357374668121, 1e-12);
    // Normal with continuity correction; R 4.2: pnorm((8 + 0.5 - 13) / (0.5 * sqrt(26))),
    // pnorm((18 + 0.5 - 13) / (0.5 * sqrt(26))) (exact would be 0.03775935)
    EXPECT_NEAR(Num(rows[1], "Prob<=Test"), 0.0387780833718327, 1e-9);
    EXPECT_NEAR(Num(rows[1], "Prob>=Test"), 0.984507974950772, 1e-9);
}

TEST_F(SignFit, AllEqualToTheGivenValueGiveOne) {
    FillSample("g", "-", {0, 0, 0});
    ASSERT_TRUE(Run(SignScenario(false, false, true, vb::Variant(0.0)))) << engine->get_ErrorInfo();
    const auto rows = ReadResultRows(db, "Out1");
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(Num(rows[0], "TestValue"), 0);
    EXPECT_EQ(Num(rows[0], "Count=Test"), 3);
    EXPECT_EQ(Num(rows[0], "Prob<=Test"), 1);
    EXPECT_EQ(Num(rows[0], "Prob>=Test"), 1);
}

TEST_F(SignFit, FitToUniformNormalAndPoissonAgainstR) {
    FillSample("a_unif", "-", {1, 2, 3, 4});
    FillSample("b_norm", "-", {2.1, 3.5, 4.0, 4.4, 5.2, 6.8, 7.1});
    FillSample("c_pois", "-", {0, 1, 1, 2, 2, 2, 3, 3, 4, 6});
    ASSERT_TRUE(Run(FitScenario())) << engine->get_ErrorInfo();
    const auto rows = ReadResultRows(db, "Out1");
    ASSERT_EQ(rows.size(), 9u);
    EXPECT_EQ(rows[0].at("TestType").ToString(), "Uniform");
    EXPECT_EQ(rows[1].at("TestType").ToString(), "Normal");
    EXPECT_EQ(rows[2].at("TestType").ToString(), "Poisson");

    // R 4.2: ks.test(c(1,2,3,4), "punif", 1, 4, exact=FALSE): D = 0.25, p = 0.963945243664875
    const ResultRow& u = rows[0];
    EXPECT_EQ(Num(u, "Count"), 4);
    EXPECT_EQ(Num(u, "Range"), 3);
    EXPECT_DOUBLE_EQ(Num(u, "Max_Absolute"), 0.25);
    EXPECT_DOUBLE_EQ(Num(u, "Max_Positive"), 0.25);
    EXPECT_DOUBLE_EQ(Num(u, "Max_Negative"), -0.25);
    EXPECT_DOUBLE_EQ(Num(u, "K-S_Z"), 0.5);
    EXPECT_NEAR(Num(u, "Prob"), 0.963945243664875, 1e-6);

    // R 4.2: x <- c(2.1, 3.5, 4.0, 4.4, 5.2, 6.8, 7.1); ks.test(x, "pnorm", mean(x), sd(x), exact=FALSE);
    // D+ = max((1:n)/n - G), D- = min((0:(n-1))/n - G) with G = pnorm(sort(x), mean(x), sd(x))
    const ResultRow& n = rows[4];
    EXPECT_EQ(n.at("TestType").ToString(), "Normal");
    EXPECT_NEAR(Num(n, "Mean"), 4.72857142857143, 1e-12);
    EXPECT_NEAR(Num(n, "StdDeviation"), 1.78858816362169, 1e-12);
    EXPECT_NEAR(Num(n, "Max_Positive"), 0.144305873897426, 1e-9);
    EXPECT_NEAR(Num(n, "Max_Negative"), -0.162310041511219, 1e-9);
    EXPECT_NEAR(Num(n, "Max_Absolute"), 0.162310041511219, 1e-9);
    EXPECT_NEAR(Num(n, "K-S_Z"), 0.429432005127257, 1e-9);
    EXPECT_NEAR(Num(n, "Prob"), 0.992742282234944, 1e-6);

    // Poisson with the mean 2.4, compared at the observed counts; R 4.2:
    // u <- sort(unique(y)); d <- ecdf(y)(u) - ppois(u, mean(y))
    const ResultRow& p = rows[8];
    EXPECT_EQ(p.at("TestType").ToString(), "Poisson");
    EXPECT_NEAR(Num(p, "Max_Positive"), 0.0302912533424895, 1e-9);
    EXPECT_NEAR(Num(p, "Max_Negative"), -0.00844104118400257, 1e-9);
    EXPECT_NEAR(Num(p, "K-S_Z"), 0.0957893537434553, 1e-9);
    EXPECT_EQ(Num(p, "Prob"), 1);
}

// Differences that 15 digits of each operand would cut short. Uniform fit
// of 0 1 2 3 6 7: before 6 the sample's distribution function is 4/6 and
// the uniform's 6/7, 4/21 apart (exact fractions). Values 1e15 + 0.1 k
// (k = 0 .. 6) are stored 0.125 apart from 1e15 up to 1e15 + 0.625, their range.
TEST_F(SignFit, DifferencesKeepTheDigitsOfTheirOperands) {
    FillSample("a", "-", {0, 1, 2, 3, 6, 7});
    std::vector<double> far;
    for (int k = 0; k <= 6; ++k) far.push_back(1e15 + 0.1 * k);
    FillSample("b", "-", far);
    ASSERT_TRUE(Run(FitScenario())) << engine->get_ErrorInfo();
    const auto rows = ReadResultRows(db, "Out1");
    ASSERT_EQ(rows.size(), 6u);
    EXPECT_EQ(rows[0].at("TestType").ToString(), "Uniform");
    EXPECT_EQ(Num(rows[0], "Max_Negative"), -4.0 / 21);
    EXPECT_EQ(Num(rows[3], "Range"), 0.625);
}

// A sample of thousands of values, where the normal fit evaluates the normal
// distribution function at few of them: the extremes are those of every
// value, formed here from the textbook definitions.
TEST_F(SignFit, NormalFitOfALargeSampleFindsTheExtremesOfEveryValue) {
    std::vector<double> xs;
    uint32_t seed = 12345;
    auto uniform = [&seed] {
        seed = seed * 1664525u + 1013904223u;
        return (seed >> 8) / 16777216.0;
    };
    for (int i = 0; i < 3000; ++i) {
        // Skewed, with ties: a sum of uniforms and a square, to two decimals.
        const double u = uniform() + uniform() + uniform();
        xs.push_back(std::round((10 * u + 3 * u * u) * 100) / 100);
    }
    FillSample("g", "-", xs);
    ASSERT_TRUE(Run(Scenario("K-S Fit", {{"FitNormal", true}}, {"X1"}, false))) << engine->get_ErrorInfo();
    const auto rows = ReadResultRows(db, "Out1");
    ASSERT_EQ(rows.size(), 1u);

    std::vector<double> sorted = xs;
    std::sort(sorted.begin(), sorted.end());
    const double n = static_cast<double>(sorted.size());
    double mean = 0;
    for (double x : sorted) mean += x;
    mean /= n;
    double ss = 0;
    for (double x : sorted) ss += (x - mean) * (x - mean);
    const double sd = std::sqrt(ss / (n - 1));
    double dPos = 0, dNeg = 0;
    for (size_t i = 0; i < sorted.size();) {
        size_t end = i;
        while (end < sorted.size() && sorted[end] == sorted[i]) ++end;
        const double g = 0.5 * std::erfc(-(sorted[i] - mean) / sd / std::sqrt(2.0));
        dPos = std::max(dPos, end / n - g);
        dNeg = std::min(dNeg, i / n - g);
        i = end;
    }
    EXPECT_NEAR(Num(rows[0], "Max_Positive"), dPos, 1e-11);
    EXPECT_NEAR(Num(rows[0], "Max_Negative"), dNeg, 1e-11);
    EXPECT_NEAR(Num(rows[0], "Max_Absolute"), std::max(dPos, -dNeg), 1e-11);
}

TEST_F(SignFit, ValuesFarFromZeroKeepTheirSpreadAndMean) {
    // The normal sample of the test above, typed 1e9 larger: the same
    // deviation, differences and K-S Z, the mean 1e9 larger. Raw sums of
    // squares of these values keep no digit of the spread.
    std::vector<double> far;
    for (const char* text : {"1000000002.1", "1000000003.5", "1000000004.0", "1000000004.4", "1000000005.2",
                             "1000000006.8", "1000000007.1"})
        far.push_back(std::strtod(text, nullptr));
    FillSample("b_norm", "-", far);
    ASSERT_TRUE(Run(FitScenario())) << engine->get_ErrorInfo();
    auto rows = ReadResultRows(db, "Out1");
    ASSERT_EQ(rows.size(), 3u);
    const ResultRow& n = rows[1];
    EXPECT_EQ(n.at("TestType").ToString(), "Normal");
    EXPECT_NEAR(Num(n, "Mean"), 1e9 + 4.72857142857143, 1e-6);
    EXPECT_NEAR(Num(n, "StdDeviation"), 1.78858816362169, 1e-13);
    EXPECT_NEAR(Num(n, "Max_Positive"), 0.144305873897426, 1e-9);
    EXPECT_NEAR(Num(n, "Max_Negative"), -0.162310041511219, 1e-9);
    EXPECT_NEAR(Num(n, "K-S_Z"), 0.429432005127257, 1e-9);

    // Against the mean of 1e9 + 0.1, 0.2 and 0.3: the middle value is the
    // mean, as typed.
    FillSample("c_mean", "-", {1000000000.1, 1000000000.2, 1000000000.3});
    ASSERT_TRUE(Run(SignScenario(true, false, false, vb::Variant::Null()))) << engine->get_ErrorInfo();
    rows = ReadResultRows(db, "Out1", "G1 = 'c_mean'");
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(Num(rows[0], "TestValue"), 1000000000.2);
    EXPECT_EQ(Num(rows[0], "Count<Test"), 1);
    EXPECT_EQ(Num(rows[0], "Count=Test"), 1);
    EXPECT_EQ(Num(rows[0], "Count>Test"), 1);
}

TEST_F(SignFit, InapplicableFitsLeaveTheirTestNull) {
    FillSample("a_same", "-", {2, 2, 2});      // no spread: Normal undefined
    FillSample("b_frac", "-", {0.5, 1.5, 2});  // not counts: Poisson undefined
    FillSample("c_neg", "-", {-1, 0, 1});      // negative, mean 0: Poisson undefined
    ASSERT_TRUE(Run(FitScenario())) << engine->get_ErrorInfo();
    const auto rows = ReadResultRows(db, "Out1");
    ASSERT_EQ(rows.size(), 9u);
    const auto testNull = [](const ResultRow& r) {
        for (const char* c : {"Max_Absolute", "Max_Positive", "Max_Negative", "K-S_Z", "Prob"}) {
            if (!IsNull(r, c)) return false;
        }
        return true;
    };
    // A range of 0 against Uniform: D = 0, Prob = 1.
    EXPECT_EQ(Num(rows[0], "Max_Absolute"), 0);
    EXPECT_EQ(Num(rows[0], "Prob"), 1);
    EXPECT_TRUE(testNull(rows[1]));
    EXPECT_EQ(Num(rows[1], "StdDeviation"), 0);
    EXPECT_FALSE(testNull(rows[2]));  // 2, 2, 2 are counts with mean 2
    EXPECT_FALSE(testNull(rows[4]));
    EXPECT_TRUE(testNull(rows[5]));
    EXPECT_TRUE(testNull(rows[8]));
    EXPECT_EQ(Num(rows[8], "Minimum"), -1);
}

TEST_F(SignFit, ASecondRunReplacesTheResultTable) {
    FillSample("g", "-", {1, 2, 3});
    ASSERT_TRUE(Run(SignScenario(true, false, false, vb::Variant::Null()))) << engine->get_ErrorInfo();
    ASSERT_TRUE(Run(FitScenario())) << engine->get_ErrorInfo();
    EXPECT_EQ(ReadResultRows(db, "Out1").size(), 3u);
}

TEST_F(SignFit, AnEmptySourceEndsTheRunBeforeAnyTable) {
    EXPECT_FALSE(Run(SignScenario(true, false, false, vb::Variant::Null())));
    EXPECT_EQ(engine->get_ErrorInfo(), "No records found in Data");
    EXPECT_FALSE(db->TableDefs()->Contains("Out1"));
}

}  // namespace
}  // namespace enginetest
