// Two-sample t-tests of the group analysis, run end to end and compared with
// R's results.
#include <gtest/gtest.h>

#include <cmath>

#include "AnovaSupport.h"

using namespace anovatest;

namespace {

class TTestRun : public enginetest::EngineTest {};

TEST_F(TTestRun, ThreeValuesGiveThreePairsWithPooledAndSeparateTests) {
    CreateTrial(db, ThreeLevels());
    const int32_t id =
        enginetest::AddScenario(db, GroupScenario("Two Sample t-Test", {{"G", "G"}, {"A", "C"}, {"X", "X"}}));
    ASSERT_TRUE(Run(id)) << engine->get_ErrorInfo();

    const std::vector<std::string> expectedColumns = {"StatOutputID",
                                                      "G",
                                                      "DataField",
                                                      "A-1",
                                                      "A-2",
                                                      "Count-1",
                                                      "Count-2",
                                                      "Mean-1",
                                                      "Mean-2",
                                                      "Mean_Diff",
                                                      "StdDeviation-1",
                                                      "StdDeviation-2",
                                                      "StdError-1",
                                                      "StdError-2",
                                                      "DF_Pooled",
                                                      "t-Value_Pooled",
                                                      "Prob_(2-tail)_Pooled",
                                                      "DF_Separate",
                                                      "t-Value_Separate",
                                                      "Prob_(2-tail)_Separate"};
    EXPECT_EQ(ColumnNames(db, "Out1"), expectedColumns);

    const std::vector<Row> rows = ReadResultRows(db, "Out1");
    ASSERT_EQ(rows.size(), 3u);
    // Pairs follow the ascending value order: (a,b), (a,c), (b,c), whatever
    // order the records were stored in.
    const char* pairs[3][2] = {{"a", "b"}, {"a", "c"}, {"b", "c"}};
    // R 4.2: t.test(x1, x2, var.equal=TRUE) and t.test(x1, x2) (Welch):
    // statistic, parameter, p.value
    const double expected[3][6] = {
        {-4.18782239839649, 7, 0.00409714629393863, -4.34154507716506, 6.9903513476313, 0.00340070385109171},
        {2.58255850488506, 9, 0.0295722483494094, 2.47977958494379, 6.68408494387708, 0.0437965103419907},
        {8.57432139249353, 8, 2.64232350051429e-05, 8.32632758738431, 5.93237604883795, 0.000172839105473604}};
    for (size_t i = 0; i < 3; ++i) {
        SCOPED_TRACE(i);
        const Row& r = rows[i];
        EXPECT_EQ(r.at("G").ToString(), "g");
        EXPECT_EQ(r.at("DataField").ToString(), "X");
        EXPECT_EQ(r.at("A-1").ToString(), pairs[i][0]);
        EXPECT_EQ(r.at("A-2").ToString(), pairs[i][1]);
        EXPECT_NEAR(Num(r, "t-Value_Pooled"), expected[i][0], 1e-10);
        EXPECT_NEAR(Num(r, "DF_Pooled"), expected[i][1], 1e-12);
        EXPECT_NEAR(Num(r, "Prob_(2-tail)_Pooled"), expected[i][2], 1e-9);
        EXPECT_NEAR(Num(r, "t-Value_Separate"), expected[i][3], 1e-10);
        EXPECT_NEAR(Num(r, "DF_Separate"), expected[i][4], 1e-9);
        EXPECT_NEAR(Num(r, "Prob_(2-tail)_Separate"), expected[i][5], 1e-9);
    }
    // R 4.2: mean(a), sd(a), sd(a)/sqrt(5), mean(a) - mean(b)
    EXPECT_NEAR(Num(rows[0], "Mean-1"), 13.36, 1e-12);
    EXPECT_NEAR(Num(rows[0], "Mean-2"), 17.0, 1e-12);
    EXPECT_NEAR(Num(rows[0], "Mean_Diff"), -3.64, 1e-12);
    EXPECT_NEAR(Num(rows[0], "StdDeviation-1"), 1.43979165159408, 1e-12);
    EXPECT_NEAR(Num(rows[0], "StdDeviation-2"), 1.07393357957247, 1e-12);
    EXPECT_NEAR(Num(rows[0], "StdError-1"), 1.43979165159408 / std::sqrt(5.0), 1e-12);
    EXPECT_EQ(Num(rows[0], "Count-1"), 5);
    EXPECT_EQ(Num(rows[0], "Count-2"), 4);
}

TEST_F(TTestRun, WeightsCountAsSumsAndSmallSidesGetNoRow) {
    std::vector<TrialRow> rows;
    auto add = [&](const char* a, double x, double w) {
        rows.push_back({"g", a, vb::Variant::Null(), vb::Variant::Null(), x, w});
    };
    add("p", 4, 0.5);
    add("p", 6, 1.5);
    add("p", 5, 1.0);
    add("q", 7, 1.2);
    add("q", 9, 0.6);
    add("r", 3, 1.0);  // sum of weights 1: no row with any other value
    add("s", 5, 0.4);  // two records, but a sum of weights of 0.9
    add("s", 6, 0.5);
    add("q", 100, 0);   // weight 0 counts nowhere
    add("q", 100, -2);  // nor does a negative weight
    CreateTrial(db, rows);
    const int32_t id = enginetest::AddScenario(
        db, GroupScenario("two sample T-TEST", {{"G", "G"}, {"A", "C"}, {"X", "X"}, {"W", "W"}}));
    ASSERT_TRUE(Run(id)) << engine->get_ErrorInfo();
    const std::vector<Row> out = ReadResultRows(db, "Out1");
    ASSERT_EQ(out.size(), 1u);
    const Row& r = out[0];
    EXPECT_EQ(r.at("A-1").ToString(), "p");
    EXPECT_EQ(r.at("A-2").ToString(), "q");
    EXPECT_NEAR(Num(r, "Count-1"), 3.0, 1e-12);
    EXPECT_NEAR(Num(r, "Count-2"), 1.8, 1e-12);
    // Frequency-weight formulas with n = sum of weights, computed in R 4.2:
    // st <- function(x,w){n<-sum(w); s<-sum(w*x); q<-sum(w*x^2); list(n=n,m=s/n,v=(n*q-s^2)/(n*(n-1)))}
    // pooled: t=(m1-m2)/sqrt(sp2/n1+sp2/n2), df=n1+n2-2, 2*pt(-abs(t),df);
    // Welch: v=v1/n1+v2/n2, df=v^2/((v1/n1)^2/(n1-1)+(v2/n2)^2/(n2-1))
    EXPECT_NEAR(Num(r, "Mean-1"), 5.33333333333333, 1e-12);
    EXPECT_NEAR(Num(r, "Mean-2"), 7.66666666666667, 1e-12);
    EXPECT_NEAR(Num(r, "StdDeviation-1"), 0.912870929175277, 1e-12);
    EXPECT_NEAR(Num(r, "StdDeviation-2"), 1.41421356237309, 1e-12);
    EXPECT_NEAR(Num(r, "DF_Pooled"), 2.8, 1e-12);
    EXPECT_NEAR(Num(r, "t-Value_Pooled"), -2.29128784747793, 1e-10);
    EXPECT_NEAR(Num(r, "Prob_(2-tail)_Pooled"), 0.112112946949348, 1e-9);
    EXPECT_NEAR(Num(r, "DF_Separate"), 1.21951219512196, 1e-10);
    EXPECT_NEAR(Num(r, "t-Value_Separate"), -1.97989898732234, 1e-10);
    EXPECT_NEAR(Num(r, "Prob_(2-tail)_Separate"), 0.26115327373437, 1e-9);
}

TEST_F(TTestRun, WholeWeightsEqualRepeatedRecords) {
    std::vector<TrialRow> rows;
    const double x[] = {2, 4, 4, 7}, wx[] = {1, 2, 1, 3}, y[] = {5, 6, 8}, wy[] = {2, 1, 1};
    for (int i = 0; i < 4; ++i) rows.push_back({"g", "u", vb::Variant::Null(), vb::Variant::Null(), x[i], wx[i]});
    for (int i = 0; i < 3; ++i) rows.push_back({"g", "v", vb::Variant::Null(), vb::Variant::Null(), y[i], wy[i]});
    CreateTrial(db, rows);
    const int32_t id =
        enginetest::AddScenario(db, GroupScenario("Two Sample t-Test", {{"A", "C"}, {"X", "X"}, {"W", "W"}}));
    ASSERT_TRUE(Run(id)) << engine->get_ErrorInfo();
    const std::vector<Row> out = ReadResultRows(db, "Out1");
    ASSERT_EQ(out.size(), 1u);
    // R 4.2: t.test(rep(x,w), rep(y,wy), var.equal=TRUE) and Welch
    EXPECT_NEAR(Num(out[0], "t-Value_Pooled"), -0.873862897505303, 1e-10);
    EXPECT_NEAR(Num(out[0], "Prob_(2-tail)_Pooled"), 0.404906693025802, 1e-9);
    EXPECT_NEAR(Num(out[0], "DF_Separate"), 8.33333333333333, 1e-9);
    EXPECT_NEAR(Num(out[0], "t-Value_Separate"), -0.966091783079296, 1e-10);
    EXPECT_NEAR(Num(out[0], "Prob_(2-tail)_Separate"), 0.361195257572941, 1e-9);
}

TEST_F(TTestRun, ConstantValuesLeaveTheTestsNull) {
    std::vector<TrialRow> rows;
    AddCells(rows, "g", {{"a", {5, 5, 5}}, {"b", {5, 5}}, {"c", {4, 6}}});
    CreateTrial(db, rows);
    const int32_t id = enginetest::AddScenario(db, GroupScenario("Two Sample t-Test", {{"A", "C"}, {"X", "X"}}));
    ASSERT_TRUE(Run(id)) << engine->get_ErrorInfo();
    const std::vector<Row> out = ReadResultRows(db, "Out1");
    ASSERT_EQ(out.size(), 3u);
    // (a, b): both constant and equal.
    EXPECT_EQ(Num(out[0], "Mean_Diff"), 0);
    EXPECT_EQ(Num(out[0], "StdDeviation-1"), 0);
    for (const char* column : {"DF_Pooled", "t-Value_Pooled", "Prob_(2-tail)_Pooled", "DF_Separate", "t-Value_Separate",
                               "Prob_(2-tail)_Separate"})
        EXPECT_TRUE(IsNull(out[0], column)) << column;
    // (a, c): one constant; the separate df is that of the other value, n - 1.
    EXPECT_NEAR(Num(out[1], "DF_Separate"), 1, 1e-12);
    EXPECT_NEAR(Num(out[1], "DF_Pooled"), 3, 1e-12);
}

TEST_F(TTestRun, MoreThanOneCompareFieldIsRefused) {
    CreateTrial(db, ThreeLevels());
    const int32_t id =
        enginetest::AddScenario(db, GroupScenario("Two Sample t-Test", {{"A", "C"}, {"B", "C"}, {"X", "X"}}));
    EXPECT_FALSE(Run(id));
    EXPECT_NE(engine->get_ErrorInfo().find("Only one Compare field may be assigned"), std::string::npos)
        << engine->get_ErrorInfo();
    EXPECT_FALSE(db->TableDefs()->Contains("Out1"));
}

}  // namespace
