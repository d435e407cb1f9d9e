// Scenarios of the descriptive analyses checked against R: one realistic data set (two
// groups, Nulls, a missing-value code, zero and Null weights) run end to end
// through each analysis, every written number checked against a reference
// computed independently in R 4.x (the calls are quoted beside the values).
#include <cmath>
#include <string>
#include <vector>

#include "EngineTestSupport.h"
#include "analysis/descriptive/DescriptiveMath.h"

namespace enginetest {
namespace {

using vb::Variant;
using Row = ResultRow;
const Variant Nul = Variant::Null();

// G1, G2, X1, X2, Y, W. -99 is the missing-value code of every scenario here.
// In R:
// d <- data.frame(G1=c(rep("a",7),rep("b",6)),
//   G2=c("p","q","p","q","p","q","p", "p","q","q","p","q","p"),
//   X1=c(2,4,4,9,-99,7,1, 10,12,NA,15,11,12), X2=c(5,NA,7,8,6,3,2, 12,15,9,14,-99,11),
//   Y=c(3,6,5,7,4,NA,2, 11,13,10,12,9,NA), W=c(1,2,1,3,1,0,2, 1,2,1,1,1,NA))
// ok <- function(v) !is.na(v) & v != -99
class DescriptiveAgainstR : public EngineTest {
protected:
    void SetUp() override {
        EngineTest::SetUp();
        AppendRows({
            {"a", "p", 2.0, 5.0, 3.0, 1.0},
            {"a", "q", 4.0, Nul, 6.0, 2.0},
            {"a", "p", 4.0, 7.0, 5.0, 1.0},
            {"a", "q", 9.0, 8.0, 7.0, 3.0},
            {"a", "p", -99.0, 6.0, 4.0, 1.0},
            {"a", "q", 7.0, 3.0, Nul, 0.0},
            {"a", "p", 1.0, 2.0, 2.0, 2.0},
            {"b", "p", 10.0, 12.0, 11.0, 1.0},
            {"b", "q", 12.0, 15.0, 13.0, 2.0},
            {"b", "q", Nul, 9.0, 10.0, 1.0},
            {"b", "p", 15.0, 14.0, 12.0, 1.0},
            {"b", "q", 11.0, -99.0, 9.0, 1.0},
            {"b", "p", 12.0, 11.0, Nul, Nul},
        });
    }
    StoredScenario Scenario(const std::string& subType) {
        StoredScenario s;
        s.subType = subType;
        s.missingType = "1";
        s.missingEqual = -99.0;
        return s;
    }
};

void ExpectNear(const Row& row, const std::string& column, double expected, double tol = 1e-10) {
    EXPECT_NEAR(Num(row, column), expected, tol * std::max(1.0, std::fabs(expected))) << column;
}

TEST_F(DescriptiveAgainstR, DescribeWeightedEveryOption) {
    StoredScenario s = Scenario("Describe");
    s.fields = {{"G1", "G", 1}, {"X1", "X", 1}, {"X2", "X", 2}, {"W", "W", 1}};
    s.options = {{"Range", true},
                 {"VarStd", true},
                 {"VarNRadio", "N-1"},
                 {"Mean", true},
                 {"Skew", true},
                 {"Sum", true},
                 {"Mode", true},
                 {"CI", true},
                 {"CITypeRadio", "t"},
                 {"CI95", true},
                 {"CIUser", int16_t(90)},
                 {"TTestMean", true},
                 {"TTestValue", 5.0},
                 {"Percentile", true},
                 {"PercentileRadio", "Quartiles"},
                 {"FreqN", true},
                 {"FreqP", true},
                 {"InterV", int16_t(3)},
                 {"FreqIncRadio", "Lower"},
                 {"FreqDispRadio", "Cumulative"},
                 {"FreqGroupRadio", "Specified"},
                 {"FreqInit", 0.0},
                 {"FreqWidth", 5.0}};
    ASSERT_TRUE(Run(AddScenario(db, s))) << engine->get_ErrorInfo();
    EXPECT_EQ(ColumnNames(db, "Out1"), (std::vector<std::string>{"StatOutputID",
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
                                                                 "10<=N<15",
                                                                 "15<=N",
                                                                 "%<0",
                                                                 "0<=%<5",
                                                                 "5<=%<10",
                                                                 "10<=%<15",
                                                                 "15<=%"}));
    auto rows = ReadResultRows(db, "Out1");
    ASSERT_EQ(rows.size(), 4u);
    // Per row: R's weighted formulas with n = sum(w) over values that are
    // valid and carry a positive weight: m <- sum(w*x)/n; c_k <- sum(w*(x-m)^k);
    // s2 <- c2/(n-1); skew <- n*c3/((n-1)*(n-2)*s^3);
    // kurt <- n*(n+1)*c4/(s^4*(n-1)*(n-2)*(n-3)) - 3*(n-1)^2/((n-2)*(n-3));
    // bands qt(0.975, n-1)*s/sqrt(n) and qt(0.95, n-1)*s/sqrt(n);
    // t <- (m-5)*sqrt(n)/s, p <- 2*pt(-abs(t), n-1); quartiles: the first value
    // whose cumulative weight reaches k/4 of n; mode from tapply(w, x, sum).
    struct Expect {
        const char* group;
        const char* field;
        double count, obs, missing, mean, min, max, var, cv, sd, se, sum, sumsq, adj, geo, harm, rms, skew, seSkew,
            kurt, seKurt, band95, band90, t, p2, q1, q2, q3;
        double modeValue;  // NaN: no unique mode
        double modeCount;
        std::vector<double> cumCounts;  // N<0 ... 15<=N
    };
    const double none = std::nan("");
    const std::vector<Expect> expected = {
        {"a",
         "X1",
         9,
         5,
         2,
         4.7777777777777777,
         1,
         9,
         11.444444444444445,
         0.70806220221573624,
         3.3829638550307397,
         1.1276546183435798,
         43,
         297,
         91.555555555555557,
         3.5662786822825217,
         2.5116279069767442,
         5.7445626465380286,
         0.39491751478159037,
         0.71713716560063612,
         -1.6644964517996836,
         1.3997084244475302,
         2.6003762129823706,
         2.0969279325534562,
         -0.19706585563285872,
         0.84869061446694705,
         2,
         4,
         9,
         none,
         3,
         {0, 6, 9, 9, 9}},
        {"a",
         "X2",
         8,
         5,
         2,
         5.75,
         2,
         8,
         6.5,
         0.44339300118198127,
         2.5495097567963922,
         0.90138781886599717,
         46,
         310,
         45.5,
         5.0605026413933851,
         4.2451042324699939,
         6.2249497989943663,
         -0.80170551946598334,
         0.75210143309035493,
         -1.0441251056635661,
         1.4808804789742462,
         2.1314434965808609,
         1.707750076512264,
         0.83205029433784383,
         0.43284532670948228,
         2,
         6,
         8,
         8,
         3,
         {0, 2, 8, 8, 8}},
        {"b",
         "X1",
         5,
         4,
         2,
         12,
         10,
         15,
         3.5,
         0.15590239111558088,
         1.8708286933869707,
         0.83666002653407545,
         60,
         734,
         14,
         11.8896559391903,
         11.785714285714285,
         12.116104984688768,
         1.1454053224818188,
         0.9128709291752769,
         2,
         2,
         2.3229406353851902,
         1.7836309888146378,
         8.3666002653407556,
         0.0011160552418260038,
         11,
         12,
         12,
         12,
         2,
         {0, 0, 0, 4, 5}},
        {"b",
         "X2",
         5,
         4,
         2,
         13,
         9,
         15,
         6.5,
         0.19611613513818402,
         2.5495097567963922,
         1.1401754250991378,
         65,
         871,
         26,
         12.774586808237105,
         12.524850894632207,
         13.198484761517134,
         -1.2068685239272867,
         0.9128709291752769,
         0.57988165680473713,
         2,
         3.1656344780833146,
         2.4306793158462181,
         7.0164641544562345,
         0.0021729120027175887,
         12,
         14,
         15,
         15,
         2,
         {0, 0, 1, 3, 5}},
    };
    const char* freqNames[] = {"<0", "0<=", "5<=", "10<=", "15<="};
    (void)freqNames;
    const std::vector<std::string> countCols = {"N<0", "0<=N<5", "5<=N<10", "10<=N<15", "15<=N"};
    const std::vector<std::string> propCols = {"%<0", "0<=%<5", "5<=%<10", "10<=%<15", "15<=%"};
    for (size_t i = 0; i < expected.size(); ++i) {
        const Expect& e = expected[i];
        const Row& r = rows[i];
        SCOPED_TRACE(std::string(e.group) + " " + e.field);
        EXPECT_EQ(r.at("G1").String(), e.group);
        EXPECT_EQ(r.at("DataField").String(), e.field);
        ExpectNear(r, "Count", e.count);
        ExpectNear(r, "Observations", e.obs);
        ExpectNear(r, "Missing", e.missing);
        ExpectNear(r, "Mean", e.mean);
        ExpectNear(r, "Minimum", e.min);
        ExpectNear(r, "Maximum", e.max);
        ExpectNear(r, "Range", e.max - e.min);
        ExpectNear(r, "Variance", e.var);
        ExpectNear(r, "CoeffOfVariance", e.cv);
        ExpectNear(r, "StdDeviation", e.sd);
        ExpectNear(r, "StdError", e.se);
        ExpectNear(r, "Sum", e.sum);
        ExpectNear(r, "SumSquared", e.sumsq);
        ExpectNear(r, "AdjSumSquared", e.adj);
        ExpectNear(r, "GeometricMean", e.geo);
        ExpectNear(r, "HarmonicMean", e.harm);
        ExpectNear(r, "RMS", e.rms);
        ExpectNear(r, "Skewness", e.skew);
        ExpectNear(r, "SE_Skewness", e.seSkew);
        ExpectNear(r, "Kurtosis", e.kurt);
        ExpectNear(r, "SE_Kurtosis", e.seKurt);
        if (std::isnan(e.modeValue)) {
            EXPECT_TRUE(IsNull(r, "Mode"));
        } else {
            ExpectNear(r, "Mode", e.modeValue);
        }
        ExpectNear(r, "ModeCount", e.modeCount);
        // The library's t quantiles are good to about 1e-8.
        ExpectNear(r, "95%_t_Band", e.band95, 1e-7);
        ExpectNear(r, "95%_Lower", e.mean - e.band95, 1e-7);
        ExpectNear(r, "95%_Upper", e.mean + e.band95, 1e-7);
        ExpectNear(r, "90%_t_Band", e.band90, 1e-7);
        ExpectNear(r, "90%_Lower", e.mean - e.band90, 1e-7);
        ExpectNear(r, "90%_Upper", e.mean + e.band90, 1e-7);
        ExpectNear(r, "Population_Mean", 5);
        ExpectNear(r, "t-Value", e.t);
        ExpectNear(r, "Prob_(2-Tail)", e.p2, 1e-7);
        ExpectNear(r, "Prob_(1-Tail)", e.p2 / 2, 1e-7);
        ExpectNear(r, "25_Percentile", e.q1);
        ExpectNear(r, "50_Percentile", e.q2);
        ExpectNear(r, "75_Percentile", e.q3);
        ExpectNear(r, "Quartile_Range", e.q3 - e.q1);
        for (size_t b = 0; b < countCols.size(); ++b) {
            ExpectNear(r, countCols[b], e.cumCounts[b]);
            ExpectNear(r, propCols[b], e.cumCounts[b] / e.count);
        }
    }
}

TEST_F(DescriptiveAgainstR, PercentilesUnweightedAndWeighted) {
    // Unweighted: R quantile(x[ok(x)], c(0, .25, .5, .75, 1), type = 7) per
    // group, every record counting (no weight field).
    StoredScenario s = Scenario("Percentiles");
    s.fields = {{"G1", "G", 1}, {"X1", "X", 1}, {"X2", "X", 2}};
    s.options = {{"Percentile", false}, {"PercentileRadio", "Quartiles"}};
    ASSERT_TRUE(Run(AddScenario(db, s))) << engine->get_ErrorInfo();
    EXPECT_EQ(ColumnNames(db, "Out1"),
              (std::vector<std::string>{"StatOutputID", "G1", "DataField", "Percentile", "Value"}));
    auto rows = ReadResultRows(db, "Out1");
    const std::vector<std::tuple<std::string, std::string, std::vector<double>>> expected = {
        {"a", "X1", {1, 2.5, 4, 6.25, 9}},
        {"a", "X2", {2, 3.5, 5.5, 6.75, 8}},
        {"b", "X1", {10, 11, 12, 12, 15}},
        {"b", "X2", {9, 11, 12, 14, 15}},
    };
    ASSERT_EQ(rows.size(), 20u);
    size_t i = 0;
    for (const auto& [group, field, values] : expected) {
        for (size_t k = 0; k < values.size(); ++k, ++i) {
            EXPECT_EQ(rows[i].at("G1").String(), group);
            EXPECT_EQ(rows[i].at("DataField").String(), field);
            EXPECT_EQ(Num(rows[i], "Percentile"), 25.0 * static_cast<double>(k));
            EXPECT_NEAR(Num(rows[i], "Value"), values[k], 1e-12) << group << field << k;
        }
    }

    // Weighted, letter given in lower case: the first value whose cumulative
    // weight reaches k/4 of the sum of weights (R: o <- order(x);
    // x[o][which(cumsum(w[o]) >= sum(w)*k/4)[1]]), the ends the extremes.
    StoredScenario w = Scenario("Percentiles");
    w.fields = {{"G1", "G", 1}, {"X1", "X", 1}, {"W", "W", 1}};
    w.options = {{"PercentileRadio", "quartiles"}};
    ASSERT_TRUE(Run(AddScenario(db, w))) << engine->get_ErrorInfo();
    rows = ReadResultRows(db, "Out1");
    ASSERT_EQ(rows.size(), 10u);
    const std::vector<double> a = {1, 2, 4, 9, 9}, b = {10, 11, 12, 12, 15};
    for (size_t k = 0; k < 5; ++k) {
        EXPECT_NEAR(Num(rows[k], "Value"), a[k], 1e-12) << k;
        EXPECT_NEAR(Num(rows[k + 5], "Value"), b[k], 1e-12) << k;
    }
}

TEST_F(DescriptiveAgainstR, FrequencyUpperBoundsWithSums) {
    // R: bin <- cut(x, c(-Inf, 0, 5, 10, 15, Inf), right = TRUE, labels = FALSE)
    // over valid values with a positive weight; counts sum(w[bin == b]), sums
    // sum((w*x)[bin == b]), shares over sum(w) and sum(w*x).
    StoredScenario s = Scenario("Frequency");
    s.fields = {{"G1", "G", 1}, {"X1", "X", 1}, {"X2", "X", 2}, {"W", "W", 1}};
    s.options = {{"FreqSum", true}, {"FreqIncRadio", "Upper"}, {"FreqGroupRadio", "Specified"},
                 {"FreqInit", 0.0}, {"FreqWidth", 5.0},        {"InterV", int16_t(3)}};
    ASSERT_TRUE(Run(AddScenario(db, s))) << engine->get_ErrorInfo();
    EXPECT_EQ(ColumnNames(db, "Out1"),
              (std::vector<std::string>{"StatOutputID", "G1", "DataField", "Interval", "Low<Range", "Range<=High",
                                        "Count", "Cumulative", "Count%", "Cumulative%", "Sum", "CumulativeSum", "Sum%",
                                        "CumulativeSum%"}));
    auto rows = ReadResultRows(db, "Out1");
    ASSERT_EQ(rows.size(), 20u);
    struct Expect {
        const char* group;
        const char* field;
        std::vector<double> counts, sums;
    };
    const std::vector<Expect> expected = {
        {"a", "X1", {0, 6, 3, 0, 0}, {0, 16, 27, 0, 0}},
        {"a", "X2", {0, 3, 5, 0, 0}, {0, 9, 37, 0, 0}},
        {"b", "X1", {0, 0, 1, 4, 0}, {0, 0, 10, 50, 0}},
        {"b", "X2", {0, 0, 1, 4, 0}, {0, 0, 9, 56, 0}},
    };
    size_t i = 0;
    for (const Expect& e : expected) {
        double n = 0, total = 0, cum = 0, cumSum = 0;
        for (size_t k = 0; k < 5; ++k) n += e.counts[k], total += e.sums[k];
        for (size_t k = 0; k < 5; ++k, ++i) {
            const Row& r = rows[i];
            SCOPED_TRACE(std::string(e.group) + e.field + std::to_string(k));
            cum += e.counts[k];
            cumSum += e.sums[k];
            EXPECT_EQ(r.at("G1").String(), e.group);
            EXPECT_EQ(r.at("DataField").String(), e.field);
            EXPECT_EQ(Num(r, "Interval"), static_cast<double>(k + 1));
            if (k == 0) {
                EXPECT_TRUE(IsNull(r, "Low<Range"));
            } else {
                EXPECT_EQ(Num(r, "Low<Range"), 5.0 * static_cast<double>(k - 1));
            }
            if (k == 4) {
                EXPECT_TRUE(IsNull(r, "Range<=High"));
            } else {
                EXPECT_EQ(Num(r, "Range<=High"), 5.0 * static_cast<double>(k));
            }
            ExpectNear(r, "Count", e.counts[k]);
            ExpectNear(r, "Cumulative", cum);
            ExpectNear(r, "Count%", e.counts[k] / n);
            ExpectNear(r, "Cumulative%", cum / n);
            ExpectNear(r, "Sum", e.sums[k]);
            ExpectNear(r, "CumulativeSum", cumSum);
            ExpectNear(r, "Sum%", e.sums[k] / total);
            ExpectNear(r, "CumulativeSum%", cumSum / total);
        }
    }
}

TEST_F(DescriptiveAgainstR, CompareWeightedAgainstY) {
    // R over pairs with valid x and y and a positive weight, W <- sum(w):
    // order counts sum(w[x < y]) etc.; means sum(w*x)/W; d <- x - y,
    // md <- sum(w*d)/W, V <- sum(w*(d-md)^2)/(W-1), sd sqrt(V);
    // covariance sum(w*(x-mx)*(y-my))/(W-1); correlation
    // cov.wt(cbind(x, y), wt = w/W, cor = TRUE)$cor[1, 2];
    // t <- md/sqrt(V/W), p <- 2*pt(-abs(t), W-1).
    StoredScenario s = Scenario("Compare");
    s.fields = {{"G1", "G", 1}, {"X1", "X", 1}, {"X2", "X", 2}, {"Y", "Y", 1}, {"W", "W", 1}};
    s.options = {{"CountXY", true}, {"MeanXY", true}, {"CorrXY", true}, {"TTest", true}};
    ASSERT_TRUE(Run(AddScenario(db, s))) << engine->get_ErrorInfo();
    EXPECT_EQ(
        ColumnNames(db, "Out1"),
        (std::vector<std::string>{"StatOutputID", "G1",       "DataField",      "Count_of_Y",    "Observations",
                                  "Missing",      "Count<Y",  "Count=Y",        "Count>Y",       "MeanX",
                                  "MeanY",        "MeanDiff", "StdDevDiff",     "Covariance",    "Correlation",
                                  "R-Square",     "T-DF",     "Paired_t-Value", "Prob_(1-tail)", "Prob_(2-tail)"}));
    auto rows = ReadResultRows(db, "Out1");
    ASSERT_EQ(rows.size(), 4u);
    struct Expect {
        double W, pairs, missing, lt, eq, gt, mx, my, md, sdd, cov, cor, t, p2;
    };
    const std::vector<Expect> expected = {
        {9, 5, 2, 6, 0, 3, 4.77777777777778, 5, -0.222222222222222, 1.71593835683117, 6.5, 0.905752918579103,
         -0.388514344942906, 0.707770585640309},
        {8, 5, 2, 0, 2, 6, 5.75, 4.625, 1.125, 0.83452296039628, 5.32142857142857, 0.94881365616326, 3.81293345581346,
         0.00660265592724442},
        {5, 4, 2, 3, 0, 2, 12, 11.6, 0.4, 1.94935886896179, 1.25, 0.399297853124962, 0.458831467741124,
         0.670179973318781},
        {5, 4, 2, 1, 0, 4, 13, 11.8, 1.2, 1.30384048104053, 3.25, 0.977692361093804, 2.05798302171011,
         0.108700951324924},
    };
    for (size_t i = 0; i < expected.size(); ++i) {
        const Expect& e = expected[i];
        const Row& r = rows[i];
        SCOPED_TRACE(i);
        EXPECT_EQ(r.at("DataField").String(), i % 2 == 0 ? "X1" : "X2");
        ExpectNear(r, "Count_of_Y", e.W);
        ExpectNear(r, "Observations", e.pairs);
        ExpectNear(r, "Missing", e.missing);
        ExpectNear(r, "Count<Y", e.lt);
        ExpectNear(r, "Count=Y", e.eq);
        ExpectNear(r, "Count>Y", e.gt);
        ExpectNear(r, "MeanX", e.mx, 1e-13);
        ExpectNear(r, "MeanY", e.my, 1e-13);
        ExpectNear(r, "MeanDiff", e.md, 1e-13);
        ExpectNear(r, "StdDevDiff", e.sdd, 1e-13);
        ExpectNear(r, "Covariance", e.cov, 1e-13);
        ExpectNear(r, "Correlation", e.cor, 1e-13);
        ExpectNear(r, "R-Square", e.cor * e.cor, 1e-13);
        ExpectNear(r, "T-DF", e.W - 1);
        ExpectNear(r, "Paired_t-Value", e.t, 1e-13);
        ExpectNear(r, "Prob_(2-tail)", e.p2, 1e-7);
        ExpectNear(r, "Prob_(1-tail)", e.p2 / 2, 1e-7);
    }
}

TEST_F(DescriptiveAgainstR, MatrixPairwiseUnweighted) {
    // R per group, s[s == -99] <- NA, for each pair (r, c) over the records
    // where both are present: n, nrow - n, mean(x - y), sd(x - y), cov(x, y),
    // cor(x, y), cor^2 and t.test(x, y, paired = TRUE) (statistic, p.value).
    StoredScenario s = Scenario("Matrix");
    s.fields = {{"G1", "G", 1}, {"X1", "X", 1}, {"X2", "X", 2}, {"Y", "X", 3}};
    s.options = {{"MCnt", true}, {"MMis", true}, {"MMean", true}, {"MDev", true},  {"MCov", true},
                 {"MCor", true}, {"MR2", true},  {"MT", true},    {"MProb", true}, {"MProbTail", "2-tail"}};
    ASSERT_TRUE(Run(AddScenario(db, s))) << engine->get_ErrorInfo();
    EXPECT_EQ(ColumnNames(db, "Out1"),
              (std::vector<std::string>{"StatOutputID", "G1", "DataField", "CalcType", "X1", "X2", "Y"}));
    auto rows = ReadResultRows(db, "Out1");
    ASSERT_EQ(rows.size(), 54u);
    const std::vector<std::string> labels = {"Count",       "Missing",  "MeanDiff", "StdDevDiff",   "Covariance",
                                             "Correlation", "R-Square", "t-Value",  "Prob (2-tail)"};
    const std::vector<std::string> names = {"X1", "X2", "Y"};
    static const double E = std::nan("");  // an empty cell
    // [group][measure][row][column]
    using M = std::vector<std::vector<double>>;
    auto sym = [](double a, double b, double c, double d1, double d2, double d3) {
        return M{{d1, a, b}, {a, d2, c}, {b, c, d3}};
    };
    auto anti = [](double a, double b, double c) { return M{{E, a, b}, {-a, E, c}, {-b, -c, E}}; };
    const std::vector<std::vector<M>> expected = {
        {sym(5, 5, 5, 6, 6, 6), sym(2, 2, 2, 1, 1, 1), M{{0, -0.4, -0.6}, {0.4, 0, 1.4}, {0.6, -1.4, 0}},
         sym(2.96647939483827, 1.51657508881031, 0.894427190999916, E, E, E),
         sym(4.5, 5.75, 4.1, 9.1, 5.36666666666667, 3.5),
         sym(0.525069284546201, 0.899646333339829, 0.925859441963147, 1, 1, 1),
         sym(0.525069284546201 * 0.525069284546201, 0.899646333339829 * 0.899646333339829,
             0.925859441963147 * 0.925859441963147, 1, 1, 1),
         anti(-0.301511344577764, -0.884651736929383, 3.5),
         sym(0.778049548900021, 0.426317207940369, 0.0248961634602228, E, E, E)},
        {sym(4, 4, 4, 5, 5, 5), sym(2, 2, 2, 1, 1, 1), M{{0, -0.75, 0.75}, {0.75, 0, 1}, {-0.75, -1, 0}},
         sym(2.06155281280883, 2.06155281280883, 1.4142135623731, E, E, E),
         sym(1.66666666666667, 1.66666666666667, 3.33333333333333, 3.5, 5.7, 2.5),
         sym(0.442807442770048, 0.451753951452626, 0.975900072948533, 1, 1, 1),
         sym(0.442807442770048 * 0.442807442770048, 0.451753951452626 * 0.451753951452626,
             0.975900072948533 * 0.975900072948533, 1, 1, 1),
         anti(-0.727606875108999, 0.727606875108999, 1.41421356237309),
         sym(0.519497961865449, 0.519497961865449, 0.252215496355504, E, E, E)},
    };
    size_t i = 0;
    for (size_t g = 0; g < 2; ++g) {
        for (size_t k = 0; k < labels.size(); ++k) {
            for (size_t r = 0; r < 3; ++r, ++i) {
                const Row& row = rows[i];
                SCOPED_TRACE(std::to_string(g) + " " + labels[k] + " " + names[r]);
                EXPECT_EQ(row.at("G1").String(), g == 0 ? "a" : "b");
                EXPECT_EQ(row.at("CalcType").String(), labels[k]);
                EXPECT_EQ(row.at("DataField").String(), names[r]);
                for (size_t c = 0; c < 3; ++c) {
                    const double e = expected[g][k][r][c];
                    if (std::isnan(e)) {
                        EXPECT_TRUE(IsNull(row, names[c])) << names[c];
                    } else {
                        ExpectNear(row, names[c], e, k == 8 ? 1e-7 : 1e-12);
                    }
                }
            }
        }
    }
}

TEST_F(DescriptiveAgainstR, MatrixWeightedOneTailed) {
    // The weighted pair X1, Y is the one of the comparison above (same R
    // formulas, pairs with a positive weight); the diagonal of X1 holds the
    // weighted count and N-1 variance of the describe scenario.
    StoredScenario s = Scenario("Matrix");
    s.fields = {{"G1", "G", 1}, {"X1", "X", 1}, {"Y", "X", 2}, {"W", "W", 1}};
    s.options = {{"MCnt", true}, {"MMis", true}, {"MMean", true}, {"MDev", true},  {"MCov", true},
                 {"MCor", true}, {"MR2", false}, {"MT", true},    {"MProb", true}, {"MProbTail", "1-tail"}};
    ASSERT_TRUE(Run(AddScenario(db, s))) << engine->get_ErrorInfo();
    auto rows = ReadResultRows(db, "Out1", "DataField = 'X1'");
    ASSERT_EQ(rows.size(), 16u);
    const std::vector<std::string> labels = {"Count",      "Missing",     "MeanDiff", "StdDevDiff",
                                             "Covariance", "Correlation", "t-Value",  "Prob (1-tail)"};
    // {X1 diagonal, X1 against Y} per measure; NaN: empty.
    const double E = std::nan("");
    const std::vector<std::vector<std::pair<double, double>>> expected = {
        {{9, 9},
         {2, 2},
         {0, -0.222222222222222},
         {E, 1.71593835683117},
         {11.444444444444445, 6.5},
         {1, 0.905752918579103},
         {E, -0.388514344942906},
         {E, 0.707770585640309 / 2}},
        {{5, 5},
         {2, 2},
         {0, 0.4},
         {E, 1.94935886896179},
         {3.5, 1.25},
         {1, 0.399297853124962},
         {E, 0.458831467741124},
         {E, 0.670179973318781 / 2}},
    };
    for (size_t g = 0; g < 2; ++g) {
        for (size_t k = 0; k < labels.size(); ++k) {
            const Row& r = rows[g * labels.size() + k];
            SCOPED_TRACE(std::to_string(g) + " " + labels[k]);
            EXPECT_EQ(r.at("CalcType").String(), labels[k]);
            const auto [diag, pair] = expected[g][k];
            if (std::isnan(diag)) {
                EXPECT_TRUE(IsNull(r, "X1"));
            } else {
                ExpectNear(r, "X1", diag, 1e-13);
            }
            ExpectNear(r, "Y", pair, k == 7 ? 1e-7 : 1e-13);
        }
    }
}

TEST_F(DescriptiveAgainstR, CrosstabWeightedSumWithChiSquareAndStDev) {
    // R: x <- ifelse(ok(X1), X1, 0); wf <- ifelse(!is.na(W) & W > 0, W, 0);
    // S <- tapply(x*wf, list(G1, G2), sum, na.rm = TRUE) gives a: 8 35, b: 25 35;
    // chisq.test(S, correct = FALSE): 6.11842259807376, p 0.0133780126696809,
    // expected 13.7766990291262 ... 40.7766990291262.
    StoredScenario s = Scenario("Crosstab");
    s.fields = {{"G1", "G", 1}, {"G2", "C", 1}, {"X1", "X", 1}, {"W", "W", 1}};
    s.options = {{"XType", "S"},        {"XRowPCnt", true}, {"XColPcnt", true}, {"xTotPcnt", true},
                 {"xExpectPcnt", true}, {"xExpect", true},  {"xChi", true}};
    ASSERT_TRUE(Run(AddScenario(db, s))) << engine->get_ErrorInfo();
    EXPECT_EQ(ColumnNames(db, "Out1"),
              (std::vector<std::string>{"StatOutputID", "DataField", "G1", "DataType", "RowSummary", "p", "q"}));
    auto rows = ReadResultRows(db, "Out1");
    const double g = 103, cp = 33, cq = 70;
    struct Expect {
        const char* label;
        const char* row;  // "" for the block rows (Null row value)
        double p, q, summary;
    };
    auto rowRows = [&](const char* row, double p, double q, double np, double nq) {
        const double rowSum = p + q;
        return std::vector<Expect>{{"Data: Sum", row, p, q, rowSum},
                                   {"Count", row, np, nq, np + nq},
                                   {"% Row", row, p / rowSum, q / rowSum, 1},
                                   {"% Col", row, p / cp, q / cq, rowSum / g},
                                   {"% Total", row, p / g, q / g, rowSum / g},
                                   {"% Expected", row, rowSum * cp / (g * g), rowSum * cq / (g * g), rowSum / g},
                                   {"Expected", row, rowSum * cp / g, rowSum * cq / g, rowSum}};
    };
    std::vector<Expect> expected = rowRows("a", 8, 35, 4, 5);
    for (const Expect& e : rowRows("b", 25, 35, 2, 3)) expected.push_back(e);
    const std::vector<Expect> block = {
        {"GROUP Total", "", cp, cq, g},           {"GROUP Count", "", 6, 8, 14},
        {"GROUP % Row", "", cp / g, cq / g, 1},   {"GROUP % Col", "", 1, 1, 1},
        {"GROUP % Total", "", cp / g, cq / g, 1}, {"GROUP % Expected", "", cp / g, cq / g, 1},
        {"GROUP Expected", "", cp, cq, g}};
    expected.insert(expected.end(), block.begin(), block.end());
    ASSERT_EQ(rows.size(), expected.size());
    for (size_t i = 0; i < rows.size(); ++i) {
        const Expect& e = expected[i];
        SCOPED_TRACE(std::string(e.label) + " " + e.row);
        EXPECT_EQ(rows[i].at("DataType").String(), e.label);
        EXPECT_EQ(rows[i].at("DataField").String(), "X1");
        if (*e.row) {
            EXPECT_EQ(rows[i].at("G1").String(), e.row);
        } else {
            EXPECT_TRUE(IsNull(rows[i], "G1"));
        }
        ExpectNear(rows[i], "p", e.p, 1e-13);
        ExpectNear(rows[i], "q", e.q, 1e-13);
        ExpectNear(rows[i], "RowSummary", e.summary, 1e-13);
    }
    auto chi = ReadResultRows(db, "Out2");
    EXPECT_EQ(ColumnNames(db, "Out2"),
              (std::vector<std::string>{"StatOutputID", "DataField", "Count", "MinExpected", "MaxExpected", "Columns",
                                        "Rows", "DF", "Chi-Square", "Prob", "Phi-Coefficient", "Coeff_of_Contingency",
                                        "Cramer's_V"}));
    ASSERT_EQ(chi.size(), 1u);
    ExpectNear(chi[0], "Count", 103);
    ExpectNear(chi[0], "MinExpected", 13.7766990291262, 1e-13);
    ExpectNear(chi[0], "MaxExpected", 40.7766990291262, 1e-13);
    EXPECT_EQ(Num(chi[0], "Columns"), 2);
    EXPECT_EQ(Num(chi[0], "Rows"), 2);
    EXPECT_EQ(Num(chi[0], "DF"), 1);
    ExpectNear(chi[0], "Chi-Square", 6.11842259807376, 1e-13);
    ExpectNear(chi[0], "Prob", 0.0133780126696809, 1e-7);
    ExpectNear(chi[0], "Phi-Coefficient", 0.243725585744187, 1e-13);
    ExpectNear(chi[0], "Coeff_of_Contingency", 0.236794000926315, 1e-13);
    ExpectNear(chi[0], "Cramer's_V", 0.243725585744187, 1e-13);

    // Standard deviation with the same weights: R sqrt((N*S2 - S^2)/(N*(N-1)))
    // per cell, row, column and table, S2 the weighted sums of squares.
    s.options["XType"] = "d";
    ASSERT_TRUE(Run(AddScenario(db, s))) << engine->get_ErrorInfo();
    auto data = ReadResultRows(db, "Out1", "DataType = 'Data: StDev'");
    ASSERT_EQ(data.size(), 2u);
    ExpectNear(data[0], "p", 1.41421356237310, 1e-13);
    ExpectNear(data[0], "q", 2.738612787525831, 1e-13);
    ExpectNear(data[0], "RowSummary", 3.38296385503074, 1e-13);
    ExpectNear(data[1], "p", 3.53553390593274, 1e-13);
    ExpectNear(data[1], "q", 0.577350269189626, 1e-13);
    ExpectNear(data[1], "RowSummary", 1.87082869338697, 1e-13);
    auto total = ReadResultRows(db, "Out1", "DataType = 'GROUP Total'");
    ASSERT_EQ(total.size(), 1u);
    ExpectNear(total[0], "p", 5.75325994545701, 1e-13);
    ExpectNear(total[0], "q", 3.19597961731387, 1e-13);
    ExpectNear(total[0], "RowSummary", 4.58437384126595, 1e-13);
    // Kinds other than count and sum have no expected rows.
    EXPECT_TRUE(ReadResultRows(db, "Out1", "DataType = 'Expected'").empty());
    EXPECT_EQ(ReadResultRows(db, "Out1", "DataType = '% Row'").size(), 2u);
}

TEST(FrequencyBoundNames, FrequencyNamesOfBoundsBetweenWholeNumbersKeepTheirDigits) {
    // Intervals [0.5, 1.5) and [1.5, 2.5): cut to whole numbers they would be
    // named 0<=N<1 and 1<=N<2.
    std::vector<std::string> counts, shares;
    FrequencyColumnNames(2, 0.5, 1, true, counts, shares);
    EXPECT_EQ(counts, (std::vector<std::string>{"N<0.5", "0.5<=N<1.5", "1.5<=N<2.5", "2.5<=N"}));
    FrequencyColumnNames(2, -2.5, 2, false, counts, shares);
    EXPECT_EQ(shares, (std::vector<std::string>{"%<=-2.5", "-2.5<%<=-0.5", "-0.5<%<=1.5", "1.5<%"}));
    // Width 0.5 keeps four digits below the width's first digit; 0.12345 has five.
    FrequencyColumnNames(1, 0.12345, 0.5, true, counts, shares);
    EXPECT_EQ(counts, (std::vector<std::string>{"N<0.12345", "0.12345<=N<0.62345", "0.62345<=N"}));
    // Whole bounds and bounds with binary noise keep the names they had.
    FrequencyColumnNames(2, 10, 10, true, counts, shares);
    EXPECT_EQ(counts, (std::vector<std::string>{"N<10", "10<=N<20", "20<=N<30", "30<=N"}));
    FrequencyColumnNames(3, 0.1, 0.1, false, counts, shares);
    EXPECT_EQ(counts, (std::vector<std::string>{"N<=0.1", "0.1<N<=0.2", "0.2<N<=0.3", "0.3<N<=0.4", "0.4<N"}));
}

}  // namespace
}  // namespace enginetest
