// Correlation matrix end to end: four fields with pairwise missing values
// against R, and the guard on the weight sum of a pair.
#include <cmath>

#include "EngineTestSupport.h"
#include "analysis/descriptive/MatrixMeasures.h"
#include "numeric/CZValue.h"

namespace enginetest {
namespace {

using vb::Variant;
using Row = ResultRow;
const Variant N = Variant::Null();
const char* const kFields[] = {"X1", "X2", "Y", "W"};

class CorrMatrixTest : public EngineTest {
protected:
    // The rows of one measure, keyed by DataField.
    std::map<std::string, Row> Measure(const std::string& label) {
        std::map<std::string, Row> byField;
        for (Row& r : ReadResultRows(db, "Out1", "CalcType = '" + label + "'")) byField[r.at("DataField").String()] = r;
        return byField;
    }
};

TEST_F(CorrMatrixTest, FourFieldsPairwise) {
    // d <- data.frame(X1=c(1,2,3,4,5,NA), X2=c(2,1,4,3,NA,6), Y=c(1,3,2,5,4,7), W=c(5,NA,1,2,3,4))
    AppendRows({
        {"g", N, 1.0, 2.0, 1.0, 5.0},
        {"g", N, 2.0, 1.0, 3.0, N},
        {"g", N, 3.0, 4.0, 2.0, 1.0},
        {"g", N, 4.0, 3.0, 5.0, 2.0},
        {"g", N, 5.0, N, 4.0, 3.0},
        {"g", N, N, 6.0, 7.0, 4.0},
    });
    StoredScenario s;
    s.subType = "Matrix";
    s.fields = {{"X1", "X", 1}, {"X2", "X", 2}, {"Y", "X", 3}, {"W", "X", 4}};
    s.options = {{"MCnt", true}, {"MMis", true}, {"MMean", true}, {"MDev", true},  {"MCov", true},
                 {"MCor", true}, {"MR2", true},  {"MT", true},    {"MProb", true}, {"MProbTail", "2-tail"}};
    ASSERT_TRUE(Run(AddScenario(db, s))) << engine->get_ErrorInfo();
    EXPECT_EQ(ReadQueryRows(db, "SELECT * FROM Out1;").size(), 36u);

    // R 4.2: crossprod(!is.na(d)) -- records valid for both fields.
    const double counts[4][4] = {{5, 4, 5, 4}, {4, 5, 5, 4}, {5, 5, 6, 5}, {4, 4, 5, 5}};
    // R 4.2: cor(d, use="pairwise.complete.obs") and cov(d, use="pairwise.complete.obs")
    const double cor[4][4] = {{1, 0.6, 0.8, -0.542857142857143},
                              {0.6, 1, 0.669185982253336, -0.106904496764970},
                              {0.8, 0.669185982253336, 1, 0},
                              {-0.542857142857143, -0.106904496764970, 0, 1}};
    const double cov[4][4] = {{2.5, 1.0, 2.0, -1.583333333333333},
                              {1.0, 3.7, 3.1, -0.333333333333333},
                              {2.0, 3.1, 4.666666666666667, 0},
                              {-1.583333333333333, -0.333333333333333, 0, 2.5}};
    auto count = Measure("Count");
    auto missing = Measure("Missing");
    auto correlation = Measure("Correlation");
    auto rsq = Measure("R-Square");
    auto covariance = Measure("Covariance");
    auto t = Measure("t-Value");
    auto p = Measure("Prob (2-tail)");
    auto mean = Measure("MeanDiff");
    auto dev = Measure("StdDevDiff");
    for (int r = 0; r < 4; ++r) {
        for (int c = 0; c < 4; ++c) {
            const std::string R = kFields[r], C = kFields[c];
            SCOPED_TRACE(R + "/" + C);
            EXPECT_DOUBLE_EQ(Num(count[R], C), counts[r][c]);
            EXPECT_DOUBLE_EQ(Num(missing[R], C), 6 - counts[r][c]);
            EXPECT_NEAR(Num(covariance[R], C), cov[r][c], 1e-12);
            EXPECT_NEAR(Num(correlation[R], C), cor[r][c], 1e-12);
            EXPECT_NEAR(Num(rsq[R], C), cor[r][c] * cor[r][c], 1e-12);
            if (r == c) {
                EXPECT_DOUBLE_EQ(Num(mean[R], C), 0);
                EXPECT_TRUE(IsNull(dev[R], C));
                EXPECT_TRUE(IsNull(t[R], C));
                EXPECT_TRUE(IsNull(p[R], C));
            } else if (!IsNull(t[R], C)) {
                // t antisymmetric, probabilities symmetric.
                EXPECT_NEAR(Num(t[R], C), -Num(t[C], R), 1e-12);
                EXPECT_NEAR(Num(p[R], C), Num(p[C], R), 1e-12);
            }
        }
    }
    // X1 - X2 over their 4 common records: differences -1, 1, -1, 1 (mean 0).
    EXPECT_NEAR(Num(mean["X1"], "X2"), 0, 1e-12);
    EXPECT_NEAR(Num(dev["X1"], "X2"), 1.15470053837925, 1e-12);  // R: sd(c(-1,1,-1,1))
    EXPECT_NEAR(Num(t["X1"], "X2"), 0, 1e-12);
    EXPECT_NEAR(Num(p["X1"], "X2"), 1, 1e-9);
    // Y - W: R 4.2 t.test(Y, W, paired=TRUE) over the 5 common records.
    EXPECT_NEAR(Num(mean["Y"], "W"), 0.8, 1e-12);
    EXPECT_NEAR(Num(t["Y"], "W"), 0.624695047554424, 1e-12);
    EXPECT_NEAR(Num(p["Y"], "W"), 0.566037177700041, 1e-9);
}

TEST_F(CorrMatrixTest, PairWhoseWeightsSumToOneHasNoSpread) {
    // Two records with weights 0.5: the weight sum is 1, so W (W - 1) is 0.
    AppendRows({
        {"g", N, 1.0, 2.0, N, 0.5},
        {"g", N, 3.0, 5.0, N, 0.5},
    });
    StoredScenario s;
    s.subType = "Matrix";
    s.fields = {{"X1", "X", 1}, {"X2", "X", 2}, {"W", "W", 1}};
    s.options = {{"MCnt", true}, {"MMean", true}, {"MDev", true},  {"MCov", true},
                 {"MCor", true}, {"MT", true},    {"MProb", true}, {"MProbTail", "1-tail"}};
    ASSERT_TRUE(Run(AddScenario(db, s))) << engine->get_ErrorInfo();
    auto rows = ReadResultRows(db, "Out1", "DataField = 'X1'");
    ASSERT_EQ(rows.size(), 7u);
    EXPECT_EQ(rows[0].at("CalcType").String(), "Count");
    EXPECT_DOUBLE_EQ(Num(rows[0], "X2"), 1);
    EXPECT_EQ(rows[1].at("CalcType").String(), "MeanDiff");
    EXPECT_DOUBLE_EQ(Num(rows[1], "X2"), (0.5 * 1 + 0.5 * 3 - 0.5 * 2 - 0.5 * 5) / 1);
    for (size_t k = 2; k < rows.size(); ++k) EXPECT_TRUE(IsNull(rows[k], "X2")) << rows[k].at("CalcType").String();
    EXPECT_EQ(rows.back().at("CalcType").String(), "Prob (1-tail)");
}

// A database made before the tails option: its options table lacks the
// column, and the run gives a new scenario's two tails, labelled as such.
TEST_F(CorrMatrixTest, AnOptionsTableWithoutTheTailsColumnGivesTwoTails) {
    AppendRows({{"g", N, 2.0, 1.0, N, N}, {"g", N, 4.0, 2.0, N, N}, {"g", N, 6.0, 3.0, N, N}});
    db->TableDefs()->Delete("usysQuarnOptions");
    dao::TableDefPtr older = db->CreateTableDef("usysQuarnOptions");
    AddField(older, "Scenario_ID", dao::dbLong);
    for (const char* flag : {"MCnt", "MCor", "MT", "MProb"}) AddField(older, flag, dao::dbBoolean);
    db->TableDefs()->Append(older);
    StoredScenario s;
    s.subType = "Matrix";
    s.fields = {{"X1", "X", 1}, {"X2", "X", 2}};
    s.options = {{"MCor", true}, {"MT", true}, {"MProb", true}};
    ASSERT_TRUE(Run(AddScenario(db, s))) << engine->get_ErrorInfo();
    auto rows = ReadResultRows(db, "Out1", "DataField = 'X1'");
    ASSERT_EQ(rows.size(), 3u);
    // X1 = 2 X2: r = 1. The differences 1, 2, 3 have mean 2 and deviation 1:
    // paired t = 2 sqrt(3), and with 2 degrees of freedom
    // P(|T| >= t) = 1 - t / sqrt(t^2 + 2) = 1 - sqrt(6 / 7).
    EXPECT_NEAR(Num(rows[0], "X2"), 1, 1e-12);
    EXPECT_NEAR(Num(rows[1], "X2"), 2 * std::sqrt(3.0), 1e-12);
    EXPECT_EQ(rows[2].at("CalcType").String(), "Prob (2-tail)");
    EXPECT_NEAR(Num(rows[2], "X2"), 1 - std::sqrt(6.0 / 7.0), 1e-9);
}

}  // namespace
}  // namespace enginetest

// --- the measures of one pair, without a table ---------------------------------------

namespace {

// x = 1 2 3 4, y = 2 4 5 9, each of weight 1.
WeightedCoMoments SmallPair() {
    WeightedCoMoments p;
    const double x[] = {1, 2, 3, 4}, y[] = {2, 4, 5, 9};
    for (int i = 0; i < 4; ++i) p.Add(x[i], y[i], 1);
    return p;
}

double Measure(MatrixMeasure k, const WeightedCoMoments& p, int rowSide, bool oneTail = false) {
    CZValue prob;
    const std::optional<double> v = PairMeasure(k, p, rowSide, 6, oneTail, prob);
    EXPECT_TRUE(v.has_value());
    return v.value_or(std::nan(""));
}

TEST(MatrixPairMeasures, SmallPairAgainstHandWorkedValues) {
    const WeightedCoMoments p = SmallPair();
    EXPECT_DOUBLE_EQ(Measure(MatrixMeasure::Count, p, 1), 4);
    EXPECT_DOUBLE_EQ(Measure(MatrixMeasure::Missing, p, 1), 2);  // 6 records, 4 in the pair
    EXPECT_DOUBLE_EQ(Measure(MatrixMeasure::MeanDiff, p, 1), -2.5);
    EXPECT_DOUBLE_EQ(Measure(MatrixMeasure::MeanDiff, p, -1), 2.5) << "the row's field less the column's";
    EXPECT_DOUBLE_EQ(Measure(MatrixMeasure::MeanDiff, p, 0), 0);
    // x - y = -1 -2 -2 -5: R sd() = sqrt(3)
    EXPECT_NEAR(Measure(MatrixMeasure::StdDevDiff, p, 1), std::sqrt(3.0), 1e-12);
    // R: cov(x, y) = 11 / 3, cor(x, y) = 11 / sqrt(130)
    EXPECT_NEAR(Measure(MatrixMeasure::Covariance, p, 1), 11.0 / 3, 1e-12);
    EXPECT_NEAR(Measure(MatrixMeasure::Correlation, p, 1), 11 / std::sqrt(130.0), 1e-12);
    EXPECT_NEAR(Measure(MatrixMeasure::RSquare, p, 1), 121.0 / 130, 1e-12);
    // R: t.test(x, y, paired = TRUE)$statistic = -2.5 / sqrt(3 / 4)
    EXPECT_NEAR(Measure(MatrixMeasure::TValue, p, 1), -2.5 / std::sqrt(0.75), 1e-12);
    const double two = Measure(MatrixMeasure::Prob, p, 1);
    EXPECT_NEAR(Measure(MatrixMeasure::Prob, p, 1, true), two / 2, 1e-15);
}

TEST(MatrixPairMeasures, TooFewRecordsOrNoSpreadGiveNoValue) {
    WeightedCoMoments one;
    one.Add(1.0, 2.0, 1);
    CZValue prob;
    EXPECT_EQ(PairMeasure(MatrixMeasure::Count, one, 1, 1, false, prob), 1.0);
    EXPECT_FALSE(PairMeasure(MatrixMeasure::MeanDiff, one, 1, 1, false, prob));
    // A field with itself: no difference, so no spread and no t.
    WeightedCoMoments same;
    for (double v : {1.0, 2.0, 4.0}) same.Add(v, v, 1);
    EXPECT_FALSE(PairMeasure(MatrixMeasure::StdDevDiff, same, 0, 3, false, prob));
    EXPECT_FALSE(PairMeasure(MatrixMeasure::TValue, same, 0, 3, false, prob));
    EXPECT_NEAR(*PairMeasure(MatrixMeasure::Correlation, same, 0, 3, false, prob), 1, 1e-12);
}

}  // namespace
