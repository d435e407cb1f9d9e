// Describe scenarios run end to end; results read back with plain SQL.
// Reference values: R 4.x on the data with every record repeated as often
// as its (whole) weight, which is what frequency weights mean; skewness and
// kurtosis by the textbook adjusted formulas G1 = n/((n-1)(n-2)) m3/s^3 and
// G2 = n(n+1)/((n-1)(n-2)(n-3)) m4/s^4 - 3(n-1)^2/((n-2)(n-3)), written out in
// R from the central moments. Tolerance: 1e-10 relative unless stated.
#include <cmath>

#include "DescribeSupport.h"

using namespace enginetest;
using namespace describetest;

namespace {

#define EXPECT_REL(actual, expected) EXPECT_NEAR((actual), (expected), 1e-10 * std::max(1.0, std::fabs(expected)))

class DescribeTest : public EngineTest {
protected:
    int32_t Scenario(std::vector<std::tuple<std::string, vb::Variant, int16_t>> fields,
                     std::map<std::string, vb::Variant> options, vb::Variant missingType = "0",
                     vb::Variant missingEqual = vb::Variant::Null()) {
        StoredScenario scenario;
        scenario.subType = "Describe";
        scenario.fields = std::move(fields);
        scenario.options = std::move(options);
        scenario.missingType = missingType;
        scenario.missingEqual = missingEqual;
        return AddScenario(db, scenario);
    }
};

const vb::Variant T(true);

TEST_F(DescribeTest, EveryColumnWithGroupsNullsMissingValueRuleAndWeights) {
    // Group A: X1 -99 is missing by the rule, one weight is 0 and one Null.
    AppendRows({{"A", Null(), 2.0, 1.5, Null(), 1.0},
                {"A", Null(), 4.0, Null(), Null(), 2.0},
                {"A", Null(), 4.0, 3.0, Null(), 1.0},
                {"A", Null(), 5.0, 3.0, Null(), 1.0},
                {"A", Null(), 7.0, 8.0, Null(), 3.0},
                {"A", Null(), 9.0, 10.0, Null(), 1.0},
                {"A", Null(), Null(), 2.0, Null(), 1.0},
                {"A", Null(), -99.0, 4.0, Null(), 2.0},
                {"A", Null(), 3.0, 6.0, Null(), 0.0},
                {"A", Null(), 6.0, -99.0, Null(), Null()},
                {"B", Null(), 10.0, 20.0, Null(), 1.0},
                {"B", Null(), 12.0, 22.0, Null(), 1.0},
                {"B", Null(), 15.0, 21.0, Null(), 2.0}});
    const int32_t id = Scenario({{"G1", "G", 1}, {"X1", "X", 1}, {"X2", "X", 2}, {"W", "W", 1}},
                                {{"Range", T},
                                 {"VarStd", T},
                                 {"VarNRadio", "N-1"},
                                 {"Mean", T},
                                 {"Skew", T},
                                 {"Sum", T},
                                 {"Mode", T},
                                 {"CI", T},
                                 {"CITypeRadio", "t"},
                                 {"CI95", T},
                                 {"CIUser", int16_t(90)},
                                 {"TTestMean", T},
                                 {"TTestValue", 5.0},
                                 {"Percentile", T},
                                 {"PercentileRadio", "Quartiles"},
                                 {"FreqN", T},
                                 {"FreqP", T},
                                 {"InterV", int16_t(2)},
                                 {"FreqIncRadio", "Lower"},
                                 {"FreqDispRadio", "Cumulative"},
                                 {"FreqGroupRadio", "Specified"},
                                 {"FreqWidth", 5.0},
                                 {"FreqInit", 0.0}},
                                "1", -99.0);
    ASSERT_TRUE(Run(id)) << engine->get_ErrorInfo();

    const std::vector<std::string> expectedColumns = {"StatOutputID",
                                                      "G1",
                                                      "DataField",
                                                      "Count",
                                                      "Observations",
                                                      "Missing",
                                                      "Mean",
                                                      "Minimum",
                                                      "Maximum",
                                                      "Range",
                                                      "Variance",
                                                      "CoeffOfVariance",
                                                      "StdDeviation",
                                                      "StdError",
                                                      "Sum",
                                                      "SumSquared",
                                                      "AdjSumSquared",
                                                      "GeometricMean",
                                                      "HarmonicMean",
                                                      "RMS",
                                                      "Skewness",
                                                      "SE_Skewness",
                                                      "Kurtosis",
                                                      "SE_Kurtosis",
                                                      "Mode",
                                                      "ModeCount",
                                                      "95%_t_Band",
                                                      "95%_Lower",
                                                      "95%_Upper",
                                                      "90%_t_Band",
                                                      "90%_Lower",
                                                      "90%_Upper",
                                                      "Population_Mean",
                                                      "t-Value",
                                                      "Prob_(1-Tail)",
                                                      "Prob_(2-Tail)",
                                                      "25_Percentile",
                                                      "50_Percentile",
                                                      "75_Percentile",
                                                      "Quartile_Range",
                                                      "N<0",
                                                      "0<=N<5",
                                                      "5<=N<10",
                                                      "10<=N",
                                                      "%<0",
                                                      "0<=%<5",
                                                      "5<=%<10",
                                                      "10<=%"};
    EXPECT_EQ(ColumnNames(db, "Out1"), expectedColumns);

    const auto rows = ReadResultRows(db, "Out1");
    ASSERT_EQ(rows.size(), 4u);
    struct Expected {
        const char* group;
        const char* field;
        double n, obs, missing, mean, min, max, var, cv, sd, se, sum, sumsq, adj, geo, harm, rms, skew, seskew, kurt,
            sekurt, t95, t90, t, p2, q1, q2, q3;
        bool modeUnique;
        double mode, modeCount;
        std::vector<double> freq;  // below, interval 1, interval 2, beyond (cumulative counts)
    };
    // R: x <- rep(c(2,4,4,5,7,9), c(1,2,1,1,3,1)) and alike; quantile(x, type=1)
    // for the weighted points; t.test(x, mu=5); qt(0.975, n-1) * sd(x) / sqrt(n).
    const Expected expected[] = {
        {"A",
         "X1",
         9,
         6,
         4,
         5.4444444444444446,
         2,
         9,
         4.7777777777777777,
         0.4014758280184898,
         2.1858128414340001,
         0.72860428047800008,
         49,
         305,
         38.222222222222221,
         5.0063829534948798,
         4.523334662943757,
         5.8214163988576599,
         0.096134896081766216,
         0.71713716560063612,
         -0.68457853666074309,
         1.3997084244475302,
         1.680164483709724,
         1.3548746598994759,
         0.60999428133041889,
         0.55878996924921398,
         4,
         5,
         7,
         false,
         0,
         3,
         {0, 4, 9, 9}},
        {"A",
         "X2",
         10,
         7,
         3,
         5.15,
         1.5,
         10,
         9.225,
         0.58976087566941504,
         3.0372685096974879,
         0.96046863561492724,
         51.5,
         348.25,
         83.025,
         4.3099811503084133,
         3.5608308605341246,
         5.901271049528229,
         0.40017770921168971,
         0.68704291862151667,
         -1.5863538297274826,
         1.3342487699899821,
         2.1727310036993264,
         1.7606474773564136,
         0.15617376188860643,
         0.87934303202560771,
         3,
         4,
         8,
         true,
         8,
         3,
         {0, 6, 9, 10}},
        {"B",
         "X1",
         4,
         3,
         0,
         13,
         10,
         15,
         6,
         0.18842228790639831,
         2.4494897427831779,
         1.2247448713915889,
         52,
         694,
         18,
         12.818610191887021,
         12.631578947368421,
         13.171939872319491,
         -0.54433105395181747,
         1.0141851056742199,
         -2.9444444444444411,
         2.6186146828319088,
         3.8976847908753323,
         2.8822697972940285,
         6.5319726474218092,
         0.0072921585834694307,
         10,
         12,
         15,
         true,
         15,
         2,
         {0, 0, 0, 4}},
        {"B",
         "X2",
         4,
         3,
         0,
         21,
         20,
         22,
         0.66666666666666663,
         0.038880789567986955,
         0.81649658092772603,
         0.40824829046386302,
         84,
         1766,
         2,
         20.988085101587131,
         20.976163450624291,
         21.011901389450696,
         0,
         1.0141851056742199,
         1.5,
         2.6186146828319088,
         1.2992282636251109,
         0.9607565990980097,
         39.191835884530846,
         3.6548283144783745e-05,
         20,
         21,
         21,
         true,
         21,
         2,
         {0, 0, 0, 4}},
    };
    for (size_t i = 0; i < 4; ++i) {
        const Row& r = rows[i];
        const Expected& e = expected[i];
        SCOPED_TRACE(std::string(e.group) + " " + e.field);
        EXPECT_EQ(r.at("G1").ToString(), e.group);
        EXPECT_EQ(r.at("DataField").ToString(), e.field);
        EXPECT_REL(Num(r, "Count"), e.n);
        EXPECT_REL(Num(r, "Observations"), e.obs);
        EXPECT_EQ(Num(r, "Missing"), e.missing);
        EXPECT_REL(Num(r, "Mean"), e.mean);
        EXPECT_EQ(Num(r, "Minimum"), e.min);
        EXPECT_EQ(Num(r, "Maximum"), e.max);
        EXPECT_REL(Num(r, "Range"), e.max - e.min);
        EXPECT_REL(Num(r, "Variance"), e.var);
        EXPECT_REL(Num(r, "CoeffOfVariance"), e.cv);
        EXPECT_REL(Num(r, "StdDeviation"), e.sd);
        EXPECT_REL(Num(r, "StdError"), e.se);
        EXPECT_REL(Num(r, "Sum"), e.sum);
        EXPECT_REL(Num(r, "SumSquared"), e.sumsq);
        EXPECT_REL(Num(r, "AdjSumSquared"), e.adj);
        EXPECT_REL(Num(r, "GeometricMean"), e.geo);
        EXPECT_REL(Num(r, "HarmonicMean"), e.harm);
        EXPECT_REL(Num(r, "RMS"), e.rms);
        EXPECT_NEAR(Num(r, "Skewness"), e.skew, 1e-10);
        EXPECT_REL(Num(r, "SE_Skewness"), e.seskew);
        EXPECT_REL(Num(r, "Kurtosis"), e.kurt);
        EXPECT_REL(Num(r, "SE_Kurtosis"), e.sekurt);
        // The t quantile comes from an iterative inverse: 1e-9 relative.
        EXPECT_NEAR(Num(r, "95%_t_Band"), e.t95, 1e-9 * e.t95);
        EXPECT_NEAR(Num(r, "95%_Lower"), e.mean - e.t95, 1e-9 * e.mean);
        EXPECT_NEAR(Num(r, "95%_Upper"), e.mean + e.t95, 1e-9 * e.mean);
        EXPECT_NEAR(Num(r, "90%_t_Band"), e.t90, 1e-9 * e.t90);
        EXPECT_NEAR(Num(r, "90%_Lower"), e.mean - e.t90, 1e-9 * e.mean);
        EXPECT_NEAR(Num(r, "90%_Upper"), e.mean + e.t90, 1e-9 * e.mean);
        EXPECT_EQ(Num(r, "Population_Mean"), 5);
        EXPECT_REL(Num(r, "t-Value"), e.t);
        EXPECT_NEAR(Num(r, "Prob_(2-Tail)"), e.p2, 1e-9 * e.p2);
        EXPECT_NEAR(Num(r, "Prob_(1-Tail)"), e.p2 / 2, 1e-9 * e.p2);
        EXPECT_EQ(Num(r, "25_Percentile"), e.q1);
        EXPECT_EQ(Num(r, "50_Percentile"), e.q2);
        EXPECT_EQ(Num(r, "75_Percentile"), e.q3);
        EXPECT_EQ(Num(r, "Quartile_Range"), e.q3 - e.q1);
        EXPECT_EQ(Num(r, "ModeCount"), e.modeCount);
        if (e.modeUnique) {
            EXPECT_EQ(Num(r, "Mode"), e.mode);
        } else {
            EXPECT_TRUE(IsNull(r, "Mode")) << "tied mode";
        }
        const char* counts[] = {"N<0", "0<=N<5", "5<=N<10", "10<=N"};
        const char* shares[] = {"%<0", "0<=%<5", "5<=%<10", "10<=%"};
        for (size_t b = 0; b < 4; ++b) {
            EXPECT_EQ(Num(r, counts[b]), e.freq[b]) << counts[b];
            EXPECT_REL(Num(r, shares[b]), e.freq[b] / e.n);
        }
    }
}

TEST_F(DescribeTest, GuardsForOneTwoThreeAndConstantValues) {
    AppendRows({{"c3", Null(), 5.0, Null()},
                {"c3", Null(), 5.0, Null()},
                {"c3", Null(), 5.0, Null()},
                {"n1", Null(), 7.0, Null()},
                {"n2", Null(), 3.0, Null()},
                {"n2", Null(), 5.0, Null()},
                {"n3", Null(), 1.0, Null()},
                {"n3", Null(), 2.0, Null()},
                {"n3", Null(), 4.0, Null()}});
    const int32_t id = Scenario({{"G1", "G", 1}, {"X1", "X", 1}, {"X2", "X", 2}}, {{"Range", T},
                                                                                   {"VarStd", T},
                                                                                   {"VarNRadio", "N-1"},
                                                                                   {"Skew", T},
                                                                                   {"CI", T},
                                                                                   {"CITypeRadio", "t"},
                                                                                   {"CI95", T},
                                                                                   {"TTestMean", T},
                                                                                   {"TTestValue", 0.0},
                                                                                   {"Percentile", T},
                                                                                   {"PercentileRadio", "Median"}});
    ASSERT_TRUE(Run(id)) << engine->get_ErrorInfo();
    const auto rows = ReadResultRows(db, "Out1");
    ASSERT_EQ(rows.size(), 8u);

    // Three 5s: no spread. Mean, range, variance, its coefficient and the
    // standard error are written; skewness, kurtosis and the t-test are not.
    const Row& c3 = rows[0];
    EXPECT_EQ(Num(c3, "Mean"), 5);
    EXPECT_EQ(Num(c3, "Range"), 0);
    EXPECT_EQ(Num(c3, "Variance"), 0);
    EXPECT_EQ(Num(c3, "CoeffOfVariance"), 0);
    EXPECT_EQ(Num(c3, "StdError"), 0);
    EXPECT_EQ(Num(c3, "Median"), 5);
    EXPECT_EQ(Num(c3, "95%_t_Band"), 0);
    for (const char* c : {"Skewness", "SE_Skewness", "Kurtosis", "SE_Kurtosis", "t-Value", "Prob_(2-Tail)"})
        EXPECT_TRUE(IsNull(c3, c)) << c;
    // X2 without any value: Count 0, every record missing, the rest Null.
    const Row& c3x2 = rows[1];
    EXPECT_EQ(c3x2.at("DataField").ToString(), "X2");
    EXPECT_EQ(Num(c3x2, "Count"), 0);
    EXPECT_EQ(Num(c3x2, "Missing"), 3);
    for (const char* c : {"Mean", "Range", "Variance", "Median", "95%_t_Band"}) EXPECT_TRUE(IsNull(c3x2, c)) << c;

    // One value: the N-1 variance, the median and the t band need two.
    const Row& n1 = rows[2];
    EXPECT_EQ(Num(n1, "Mean"), 7);
    EXPECT_EQ(Num(n1, "Range"), 0);
    for (const char* c : {"Variance", "StdDeviation", "Median", "95%_t_Band", "Skewness", "t-Value"})
        EXPECT_TRUE(IsNull(n1, c)) << c;

    // Two values (R: var(c(3,5)) = 2; median 4; qt(0.975, 1) * sd / sqrt(2)).
    const Row& n2 = rows[4];
    EXPECT_EQ(Num(n2, "Variance"), 2);
    EXPECT_EQ(Num(n2, "Median"), 4);
    EXPECT_NEAR(Num(n2, "95%_t_Band"), 12.706204736174694, 1e-8);
    EXPECT_TRUE(IsNull(n2, "Skewness"));
    EXPECT_REL(Num(n2, "t-Value"), 4.0 / 1.0);  // mean 4, s sqrt(2), n 2: 4 sqrt(2) / sqrt(2)

    // Three values: skewness but no kurtosis (R, G1 of c(1, 2, 4)).
    const Row& n3 = rows[6];
    EXPECT_REL(Num(n3, "Skewness"), 0.93521952958282328);
    EXPECT_REL(Num(n3, "SE_Skewness"), 1.2247448713915889);
    EXPECT_TRUE(IsNull(n3, "Kurtosis"));
    EXPECT_TRUE(IsNull(n3, "SE_Kurtosis"));
}

// Values with digits beyond their 15th: 1e15 + 0.1 k (k = 0 .. 6) are stored
// as 1e15 + 0, 0.125, 0.25, 0.25, 0.375, 0.5, 0.625 (a unit in the last
// place is 0.125 there). Range and quartile range (weighted, the quartiles
// are the second and sixth values) are the exact differences of the stored
// values, which 15 digits would have made 0.
TEST_F(DescribeTest, RangesOfValuesBeyondFifteenDigitsAreTheirExactDifferences) {
    std::vector<std::vector<vb::Variant>> rows;
    for (int k = 0; k <= 6; ++k) rows.push_back({"a", Null(), 1e15 + 0.1 * k, Null(), Null(), 1.0});
    AppendRows(rows);
    const int32_t id =
        Scenario({{"X1", "X", 1}, {"W", "W", 1}}, {{"Range", T}, {"Percentile", T}, {"PercentileRadio", "Quartiles"}});
    ASSERT_TRUE(Run(id)) << engine->get_ErrorInfo();
    const auto out = ReadResultRows(db, "Out1");
    ASSERT_EQ(out.size(), 1u);
    EXPECT_EQ(Num(out[0], "Range"), 0.625);
    EXPECT_EQ(Num(out[0], "Quartile_Range"), 0.375);
}

TEST_F(DescribeTest, PopulationDivisorWritesTheVarianceOfASingleValue) {
    AppendRows({{"a", Null(), 7.0}});
    const int32_t id = Scenario({{"X1", "X", 1}}, {{"VarStd", T}, {"VarNRadio", "N"}});
    ASSERT_TRUE(Run(id)) << engine->get_ErrorInfo();
    const auto rows = ReadResultRows(db, "Out1");
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(Num(rows[0], "Variance"), 0);
    EXPECT_EQ(Num(rows[0], "StdDeviation"), 0);
    EXPECT_EQ(Num(rows[0], "CoeffOfVariance"), 0);
}

TEST_F(DescribeTest, GeometricAndHarmonicMeansAreNullOnceAValueIsZeroOrNegative) {
    // G1 "mix": -2, 0, 4; "neg": -1, -4; "pos": 1, 4 (geometric 2, harmonic 1.6).
    AppendRows({{"mix", Null(), -2.0},
                {"mix", Null(), 0.0},
                {"mix", Null(), 4.0},
                {"neg", Null(), -1.0},
                {"neg", Null(), -4.0},
                {"pos", Null(), 1.0},
                {"pos", Null(), 4.0}});
    const int32_t id = Scenario({{"G1", "G", 1}, {"X1", "X", 1}}, {{"Mean", T}});
    ASSERT_TRUE(Run(id)) << engine->get_ErrorInfo();
    const auto rows = ReadResultRows(db, "Out1");
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_TRUE(IsNull(rows[0], "GeometricMean"));
    EXPECT_TRUE(IsNull(rows[0], "HarmonicMean"));
    EXPECT_REL(Num(rows[0], "RMS"), 2.5819888974716112);  // R: sqrt(mean(c(-2,0,4)^2))
    EXPECT_TRUE(IsNull(rows[1], "GeometricMean"));
    EXPECT_TRUE(IsNull(rows[1], "HarmonicMean"));
    EXPECT_REL(Num(rows[2], "GeometricMean"), 2.0);
    EXPECT_REL(Num(rows[2], "HarmonicMean"), 1.6);
}

// exp of a log sum near 709 loses some 1e-13: ten times 1e308 gave
// 9.999999999999e+307. References: mpmath at 40 digits, of the Doubles.
TEST_F(DescribeTest, GeometricMeanOfValuesNearTheEdgesOfADoubleKeepsItsDigits) {
    struct Case {
        const char* group;
        std::vector<double> values;
        double geometric;
    };
    const Case cases[] = {{"a huge", std::vector<double>(10, 1e308), 1e308},
                          {"b tiny", std::vector<double>(10, 1e-300), 1e-300},
                          {"c subnormal", {1e-300, 4e-310}, 1.999999999999997e-305},
                          {"d spread", {1e300, 1e-300, 4.0}, 1.5874010519681995},
                          {"e both", {1.5e308, 2.5e-308}, 1.9364916731037084}};
    for (const Case& c : cases)
        for (double v : c.values) AppendRows({{c.group, Null(), v}});
    ASSERT_TRUE(Run(Scenario({{"G1", "G", 1}, {"X1", "X", 1}}, {{"Mean", T}}))) << engine->get_ErrorInfo();
    const auto rows = ReadResultRows(db, "Out1");
    ASSERT_EQ(rows.size(), std::size(cases));
    for (size_t i = 0; i < std::size(cases); ++i)
        EXPECT_NEAR(Num(rows[i], "GeometricMean"), cases[i].geometric, 1e-15 * cases[i].geometric) << cases[i].group;
}

TEST_F(DescribeTest, NormalIntervalsFromAKnownDeviation) {
    AppendRows({{"a", Null(), 1.0}, {"a", Null(), 2.0}, {"a", Null(), 3.0}, {"a", Null(), 6.0}});
    const int32_t id =
        Scenario({{"X1", "X", 1}},
                 {{"CI", T}, {"CITypeRadio", "Normal"}, {"CIStdDev", 2.0}, {"CI95", T}, {"CIUser", int16_t(99)}});
    ASSERT_TRUE(Run(id)) << engine->get_ErrorInfo();
    const auto cols = ColumnNames(db, "Out1");
    EXPECT_NE(std::find(cols.begin(), cols.end(), "95%_N_Band"), cols.end());
    EXPECT_NE(std::find(cols.begin(), cols.end(), "99%_N_Band"), cols.end());
    const auto rows = ReadResultRows(db, "Out1");
    ASSERT_EQ(rows.size(), 1u);
    // R: qnorm(0.975) = 1.9599639845400536, qnorm(0.995) = 2.5758293035488999; mean 3, n 4.
    EXPECT_EQ(Num(rows[0], "Population_StdDev"), 2);
    EXPECT_NEAR(Num(rows[0], "95%_N_Band"), 2 * 1.9599639845400536 / 2, 1e-9);
    EXPECT_NEAR(Num(rows[0], "95%_Lower"), 3 - 1.9599639845400536, 1e-9);
    EXPECT_NEAR(Num(rows[0], "99%_Upper"), 3 + 2.5758293035488999, 1e-9);
}

TEST_F(DescribeTest, TTestAndTBandsKeepTheSampleDeviationUnderThePopulationDivisor) {
    // 1, 2, 3, 6: mean 3, M2 14. The divisor N gives StdDeviation sqrt(3.5) and
    // StdError sqrt(3.5) / 2, but t.test(x, mu = 1) and the t band take
    // s = sqrt(14 / 3): t = 2 / (s / 2); t's distribution function with 3
    // degrees of freedom in closed form gives the probability and qt(0.975, 3).
    AppendRows({{"a", Null(), 1.0}, {"a", Null(), 2.0}, {"a", Null(), 3.0}, {"a", Null(), 6.0}});
    const int32_t id = Scenario({{"X1", "X", 1}}, {{"VarStd", T},
                                                   {"VarNRadio", "N"},
                                                   {"CI", T},
                                                   {"CITypeRadio", "t"},
                                                   {"CI95", T},
                                                   {"TTestMean", T},
                                                   {"TTestValue", 1.0}});
    ASSERT_TRUE(Run(id)) << engine->get_ErrorInfo();
    const auto rows = ReadResultRows(db, "Out1");
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_REL(Num(rows[0], "StdDeviation"), std::sqrt(3.5));
    EXPECT_REL(Num(rows[0], "StdError"), std::sqrt(3.5) / 2);
    EXPECT_REL(Num(rows[0], "t-Value"), 1.8516401995451029);
    EXPECT_REL(Num(rows[0], "Prob_(2-Tail)"), 0.16116184721351953);
    EXPECT_NEAR(Num(rows[0], "95%_t_Band"), 3.4374348818583104, 1e-9);
}

TEST_F(DescribeTest, CertifiedMeanAndDeviationOfValuesFarFromZero) {
    // NIST StRD NumAcc3: 1000000.2, then 1000000.1 and 1000000.3 alternating
    // (1001 values); certified mean 1000000.2, standard deviation 0.1.
    std::vector<std::vector<vb::Variant>> data = {{"a", Null(), 1000000.2}};
    for (int i = 0; i < 500; ++i) {
        data.push_back({"a", Null(), 1000000.1});
        data.push_back({"a", Null(), 1000000.3});
    }
    AppendRows(data);
    const int32_t id = Scenario({{"X1", "X", 1}}, {{"VarStd", T}, {"VarNRadio", "N-1"}, {"Skew", T}});
    ASSERT_TRUE(Run(id)) << engine->get_ErrorInfo();
    const auto rows = ReadResultRows(db, "Out1");
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_NEAR(Num(rows[0], "Mean"), 1000000.2, 1e-8);
    EXPECT_NEAR(Num(rows[0], "StdDeviation"), 0.1, 1e-9);
    EXPECT_NEAR(Num(rows[0], "Skewness"), 0.0, 1e-6);  // symmetric data
}

}  // namespace

namespace {

TEST_F(DescribeTest, ASecondRunReplacesTheResultTable) {
    AppendRows({{"a", Null(), 1.0}, {"a", Null(), 3.0}});
    const int32_t id = Scenario({{"X1", "X", 1}}, {});
    ASSERT_TRUE(Run(id)) << engine->get_ErrorInfo();
    engine = std::make_unique<Quantara>();
    ASSERT_TRUE(Run(id)) << engine->get_ErrorInfo();
    const auto rows = ReadResultRows(db, "Out1");
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(Num(rows[0], "Mean"), 2);
}

}  // namespace

namespace {

TEST_F(DescribeTest, FrequencyColumnsWithUpperBoundsIncludedAndDefaultIntervals) {
    AppendRows({{"a", Null(), 0.0}, {"a", Null(), 10.0}, {"a", Null(), 10.5}, {"a", Null(), 20.0}});
    const int32_t id = Scenario({{"X1", "X", 1}}, {{"FreqN", T},
                                                   {"FreqP", T},
                                                   {"InterV", int16_t(2)},
                                                   {"FreqIncRadio", "Upper"},
                                                   {"FreqDispRadio", "Count"},
                                                   {"FreqGroupRadio", "Default"}});
    // Default intervals over 0..20 (worked by hand): margin 10^(log10(20) - 1)
    // = 2, width (20 + 2 - 0) / 2 = 11, first 0 - 2 = -2: (-2, 9] and (9, 20];
    // 20 lies on the last upper bound and stays in.
    ASSERT_TRUE(Run(id)) << engine->get_ErrorInfo();
    const auto cols = ColumnNames(db, "Out1");
    EXPECT_EQ(std::vector<std::string>(cols.end() - 4, cols.end()),
              (std::vector<std::string>{"-2<N<=9", "9<N<=20", "-2<%<=9", "9<%<=20"}));
    const auto rows = ReadResultRows(db, "Out1");
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(Num(rows[0], "-2<N<=9"), 1);
    EXPECT_EQ(Num(rows[0], "9<N<=20"), 3);
    EXPECT_EQ(Num(rows[0], "9<%<=20"), 0.75);
}

// Long groups are added up in a helper thread, batch by batch, while the next
// records are read: every record counts once, whatever batch it falls in.
TEST_F(DescribeTest, QuartilesModeAndSumOfLongGroupsAroundAShortOne) {
    AppendRows(LongGroupRows());
    const int32_t id = Scenario({{"G1", "G", 1}, {"X1", "X", 1}, {"X2", "X", 2}},
                                {{"Mode", T}, {"Percentile", T}, {"PercentileRadio", "Quartiles"}, {"Sum", T}});
    ASSERT_TRUE(Run(id)) << engine->get_ErrorInfo();
    const auto rows = ReadResultRows(db, "Out1");
    ASSERT_EQ(rows.size(), 6u);
    const struct {
        const char* group;
        double count, q1, q2, q3, mode, sum;
    } expected[] = {{"a", 20001, 5000, 10000, 15000, 2, 20000.0 * 20001 / 2 + 2},
                    {"b", 4, 5.75, 6, 6.25, 6, 24},
                    {"c", 20001, 25001, 30000, 35000, 30000, (20001.0 + 40000) * 20000 / 2 + 30000}};
    for (size_t r = 0; r < rows.size(); ++r) {
        const auto& e = expected[r / 2];
        SCOPED_TRACE(r);
        EXPECT_EQ(rows[r].at("G1").ToString(), e.group);
        EXPECT_EQ(rows[r].at("DataField").ToString(), r % 2 ? "X2" : "X1");
        EXPECT_EQ(Num(rows[r], "Count"), e.count);
        EXPECT_EQ(Num(rows[r], "25_Percentile"), e.q1);
        EXPECT_EQ(Num(rows[r], "50_Percentile"), e.q2);
        EXPECT_EQ(Num(rows[r], "75_Percentile"), e.q3);
        EXPECT_EQ(Num(rows[r], "Mode"), e.mode);
        EXPECT_EQ(Num(rows[r], "ModeCount"), 2);
        EXPECT_EQ(Num(rows[r], "Sum"), e.sum);
    }
}

// Means, modes and the positive means as the data make them, not as binary
// rounding or the weights' scale would. References: exact fractions
// (107 / 3 rounded once; 180 / 49), mpmath at 40 digits for the geometric mean.
TEST_F(DescribeTest, MeansAndModesAreThoseOfTheDataAtEveryWeightScale) {
    const double tiny = std::ldexp(1.0, -1074);  // the smallest Double, a subnormal
    AppendRows({// Whole values: the sum 107 over 3, rounded once (the shifted mean gave 35.66666666666667).
                {"a", Null(), 61.0, Null(), Null(), 1.0},
                {"a", Null(), 6.0, Null(), Null(), 1.0},
                {"a", Null(), 40.0, Null(), Null(), 1.0},
                // 0.1 + 0.2 on 1 and 0.3 on 2 weigh the same: no mode.
                {"b", Null(), 1.0, Null(), Null(), 0.1},
                {"b", Null(), 1.0, Null(), Null(), 0.2},
                {"b", Null(), 2.0, Null(), Null(), 0.3},
                // A difference the data make in the 14th digit still tells them apart.
                {"c", Null(), 1.0, Null(), Null(), 0.1},
                {"c", Null(), 1.0, Null(), Null(), 0.2},
                {"c", Null(), 2.0, Null(), Null(), 0.30000000000001},
                // 1234567890123.456 against 1234567890123.46: apart, though alike in 15 digits.
                {"c2", Null(), 1.0, Null(), Null(), 1234567890123.45},
                {"c2", Null(), 1.0, Null(), Null(), 0.006},
                {"c2", Null(), 2.0, Null(), Null(), 1234567890123.46},
                // Subnormal weights 1, 2, 3 times the smallest Double.
                {"d", Null(), 1.5, Null(), Null(), tiny},
                {"d", Null(), 3.0, Null(), Null(), 2 * tiny},
                {"d", Null(), 10.0, Null(), Null(), 3 * tiny}});
    ASSERT_TRUE(Run(Scenario({{"G1", "G", 1}, {"X1", "X", 1}, {"W", "W", 1}}, {{"Mode", T}, {"Mean", T}})))
        << engine->get_ErrorInfo();
    const auto rows = ReadResultRows(db, "Out1");
    ASSERT_EQ(rows.size(), 5u);
    EXPECT_EQ(Num(rows[0], "Mean"), 35.666666666666664);
    EXPECT_TRUE(IsNull(rows[1], "Mode"));
    EXPECT_NEAR(Num(rows[1], "ModeCount"), 0.3, 1e-16);
    EXPECT_EQ(Num(rows[2], "Mode"), 2);
    EXPECT_EQ(Num(rows[3], "Mode"), 2);
    EXPECT_NEAR(Num(rows[4], "GeometricMean"), 4.879653243779007717666705068872896449499, 1e-15 * 4.88);
    EXPECT_NEAR(Num(rows[4], "HarmonicMean"), 180.0 / 49, 1e-15 * 3.67);
    EXPECT_EQ(Num(rows[4], "Mean"), 6.25);  // 37.5 / 6
}

// An interval method another tool left empty reads as a new scenario's: t intervals.
TEST_F(DescribeTest, AnEmptyIntervalMethodReadsAsTIntervals) {
    AppendRows({{"a", Null(), 1.0}, {"a", Null(), 3.0}});
    const int32_t id = Scenario({{"X1", "X", 1}}, {{"CI", T}, {"CITypeRadio", ""}, {"CI95", T}});
    ASSERT_TRUE(Run(id)) << engine->get_ErrorInfo();
    const auto rows = ReadResultRows(db, "Out1");
    ASSERT_EQ(rows.size(), 1u);
    // Mean 2, standard error 1 on 1 degree of freedom: t(0.975, 1) = tan(0.475 pi).
    EXPECT_NEAR(Num(rows[0], "95%_t_Band"), 12.7062047361747, 1e-12);
    EXPECT_NEAR(Num(rows[0], "95%_Lower"), 2 - 12.7062047361747, 1e-12);
}

}  // namespace
