// Percentile points and the mode: the arithmetic on worked examples, then
// "Percentiles" scenarios end to end. Unweighted points are R's default
// quantile (type 7: position (N - 1)p + 1, linear interpolation); weighted
// points are R's type 1 (the smallest value whose cumulative share reaches
// p) on the data repeated by weight.
#include <cmath>

#include "DescribeSupport.h"
#include "analysis/descriptive/DescriptiveMath.h"

using namespace enginetest;
using namespace describetest;

namespace {

std::vector<StagedValue> Values(std::vector<double> xs, std::vector<double> ws = {}) {
    std::vector<StagedValue> v;
    for (size_t i = 0; i < xs.size(); ++i) v.push_back({xs[i], ws.empty() ? 1.0 : ws[i]});
    SortByValue(v);
    return v;
}

std::vector<double> Points(const std::vector<StagedValue>& v, bool weighted, int16_t G) {
    double total = 0;
    for (const auto& s : v) total += s.w;
    std::vector<double> out(static_cast<size_t>(G) + 1, -1);
    PercentilePoints(v, weighted, G, total, out);
    return out;
}

TEST(PercentilePoints, InterpolatesBetweenNeighboursAtFractionalPositions) {
    // R: quantile(1:4, c(.25, .5, .75)) = 1.75 2.5 3.25
    EXPECT_EQ(Points(Values({4, 2, 1, 3}), false, 4), (std::vector<double>{1, 1.75, 2.5, 3.25, 4}));
    // R: quantile(1:5, c(.25, .5, .75)) = 2 3 4 (whole positions)
    EXPECT_EQ(Points(Values({1, 2, 3, 4, 5}), false, 4), (std::vector<double>{1, 2, 3, 4, 5}));
    // R: quantile(c(10, 20, 30), seq(.1, .9, .1)) = 12 14 16 18 20 22 24 26 28;
    // decimal interpolation gives the whole numbers exactly.
    EXPECT_EQ(Points(Values({30, 10, 20}), false, 10),
              (std::vector<double>{10, 12, 14, 16, 18, 20, 22, 24, 26, 28, 30}));
    // Interpolation between equal neighbours keeps the value.
    EXPECT_EQ(Points(Values({1, 2, 2, 9}), false, 2), (std::vector<double>{1, 2, 9}));
}

TEST(PercentilePoints, SingleValueFillsEveryPoint) {
    EXPECT_EQ(Points(Values({7.5}), false, 4), (std::vector<double>(5, 7.5)));
    EXPECT_EQ(Points(Values({7.5}, {3}), true, 100), (std::vector<double>(101, 7.5)));
    std::vector<double> untouched{9, 9, 9};
    PercentilePoints({}, false, 2, 0, untouched);
    EXPECT_EQ(untouched, (std::vector<double>{9, 9, 9}));
}

TEST(PercentilePoints, WeightedPointIsTheFirstValueReachingItsShare) {
    // Weights 1, 1, 2 sum to 4: the half (2) is reached at value 2.
    // R: quantile(c(1, 2, 3, 3), .5, type = 1) = 2
    EXPECT_EQ(Points(Values({1, 2, 3}, {1, 1, 2}), true, 2), (std::vector<double>{1, 2, 3}));
    // R: quantile(rep(c(2,4,5,7,9), c(1,3,1,3,1)), c(.25,.5,.75), type = 1) = 4 5 7;
    // the ends are the smallest and largest values whatever their weights.
    EXPECT_EQ(Points(Values({9, 2, 4, 5, 7}, {1, 1, 3, 1, 3}), true, 4), (std::vector<double>{2, 4, 5, 7, 9}));
    // Fractional weights: ten of 0.1 reach the half at the fifth value.
    EXPECT_EQ(Points(Values({1, 2, 3, 4, 5, 6, 7, 8, 9, 10}, std::vector<double>(10, 0.1)), true, 2)[1], 5);
}

TEST(Mode, MostFrequentValueByWeightedCount) {
    ModeResult m = ModeOf(Values({7, 7, 8}));
    EXPECT_TRUE(m.unique);
    EXPECT_EQ(m.value, 7);
    EXPECT_EQ(m.count, 2);
    m = ModeOf(Values({7, 8}));
    EXPECT_FALSE(m.unique);
    EXPECT_EQ(m.count, 1);
    m = ModeOf(Values({7, 8}, {1, 3}));
    EXPECT_TRUE(m.unique);
    EXPECT_EQ(m.value, 8);
    EXPECT_EQ(m.count, 3);
    // A tie below the top does not matter; a tie at the top does.
    m = ModeOf(Values({1, 2, 3, 3, 3}));
    EXPECT_TRUE(m.unique);
    EXPECT_EQ(m.value, 3);
    m = ModeOf(Values({1, 1, 5, 5, 3}));
    EXPECT_FALSE(m.unique);
    EXPECT_EQ(m.count, 2);
    EXPECT_EQ(ModeOf({}).count, 0);
}

TEST(PercentileGroups, LettersWithoutRegardToCase) {
    EXPECT_EQ(PercentileGroups("M"), 2);
    EXPECT_EQ(PercentileGroups("q"), 4);
    EXPECT_EQ(PercentileGroups("5"), 5);
    EXPECT_EQ(PercentileGroups("d"), 10);
    EXPECT_EQ(PercentileGroups("P"), 100);
    EXPECT_EQ(PercentileGroups("-"), 0);
    EXPECT_EQ(PercentileGroups(""), 0);
}

class PercentilesTest : public EngineTest {
protected:
    int32_t Scenario(const std::string& radio, bool weighted) {
        StoredScenario scenario;
        scenario.subType = "Percentiles";
        scenario.fields = {{"G1", "G", 1}, {"X1", "X", 1}, {"X2", "X", 2}};
        if (weighted) scenario.fields.emplace_back("W", "W", 1);
        scenario.options = {{"PercentileRadio", radio}};
        return AddScenario(db, scenario);
    }
};

TEST_F(PercentilesTest, QuartilesGiveFiveRowsPerFieldAndGroup) {
    AppendRows({{"a", Null(), 1.0, 5.0, Null(), 1.0},
                {"a", Null(), 2.0, Null(), Null(), 1.0},
                {"a", Null(), 3.0, Null(), Null(), 1.0},
                {"a", Null(), 4.0, Null(), Null(), 1.0},
                {"b", Null(), Null(), Null(), Null(), 1.0}});
    // Lower case works as upper case.
    ASSERT_TRUE(Run(Scenario("quartiles", false))) << engine->get_ErrorInfo();
    EXPECT_EQ(ColumnNames(db, "Out1"),
              (std::vector<std::string>{"StatOutputID", "G1", "DataField", "Percentile", "Value"}));
    const auto rows = ReadResultRows(db, "Out1");
    // a/X1: 1, 1.75, 2.5, 3.25, 4; a/X2 (one value): 5 at every point; b: no values, no rows.
    ASSERT_EQ(rows.size(), 10u);
    const double x1[] = {1, 1.75, 2.5, 3.25, 4};
    for (size_t i = 0; i < 5; ++i) {
        EXPECT_EQ(rows[i].at("DataField").ToString(), "X1");
        EXPECT_EQ(Num(rows[i], "Percentile"), 25.0 * i);
        EXPECT_EQ(Num(rows[i], "Value"), x1[i]);
        EXPECT_EQ(rows[5 + i].at("DataField").ToString(), "X2");
        EXPECT_EQ(Num(rows[5 + i], "Value"), 5);
    }
}

TEST_F(PercentilesTest, HundredthsWithWeights) {
    // R: x <- rep(c(10, 20, 30, 40), c(1, 2, 3, 4)); quantile(x, p, type = 1)
    AppendRows({{"a", Null(), 10.0, Null(), Null(), 1.0},
                {"a", Null(), 20.0, Null(), Null(), 2.0},
                {"a", Null(), 30.0, Null(), Null(), 3.0},
                {"a", Null(), 40.0, Null(), Null(), 4.0},
                {"a", Null(), 99.0, Null(), Null(), 0.0}});
    ASSERT_TRUE(Run(Scenario("Percentiles", true))) << engine->get_ErrorInfo();
    const auto rows = ReadResultRows(db, "Out1");
    ASSERT_EQ(rows.size(), 101u);
    EXPECT_EQ(Num(rows[0], "Value"), 10);
    EXPECT_EQ(Num(rows[10], "Value"), 10);  // type 1 at 0.10: 10
    EXPECT_EQ(Num(rows[11], "Value"), 20);  // at 0.11: 20
    EXPECT_EQ(Num(rows[30], "Value"), 20);  // at 0.30: 20
    EXPECT_EQ(Num(rows[31], "Value"), 30);
    EXPECT_EQ(Num(rows[60], "Value"), 30);
    EXPECT_EQ(Num(rows[61], "Value"), 40);
    EXPECT_EQ(Num(rows[99], "Value"), 40);
    EXPECT_EQ(Num(rows[100], "Percentile"), 100);
    EXPECT_EQ(Num(rows[100], "Value"), 40);  // the weight-0 record adds nothing
}

TEST_F(PercentilesTest, LongGroupsAroundAShortOneKeepTheirOwnPoints) {
    AppendRows(LongGroupRows());
    ASSERT_TRUE(Run(Scenario("Quartiles", false))) << engine->get_ErrorInfo();
    const auto rows = ReadResultRows(db, "Out1");
    ASSERT_EQ(rows.size(), 30u);
    const struct {
        const char* group;
        double points[5];
    } expected[] = {{"a", {1, 5000, 10000, 15000, 20000}},
                    {"b", {5, 5.75, 6, 6.25, 7}},
                    {"c", {20001, 25001, 30000, 35000, 40000}}};
    for (size_t r = 0; r < rows.size(); ++r) {
        SCOPED_TRACE(r);
        EXPECT_EQ(rows[r].at("G1").ToString(), expected[r / 10].group);
        EXPECT_EQ(rows[r].at("DataField").ToString(), r % 10 < 5 ? "X1" : "X2");
        EXPECT_EQ(Num(rows[r], "Value"), expected[r / 10].points[r % 5]);
    }
}

TEST_F(PercentilesTest, UnknownLetterIsRefusedBeforeAnyTableIsTouched) {
    AppendRows({{"a", Null(), 1.0}});
    ASSERT_FALSE(Run(Scenario("Xyz", false)));
    EXPECT_EQ(engine->get_ErrorInfo(), "Unknown percentile type: X");
    EXPECT_FALSE(db->TableDefs()->Contains("Out1"));
}

}  // namespace
