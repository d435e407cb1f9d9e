// Analysis-of-variance tables and detail tables of the group analysis, run end
// to end and compared with R's results. Main effects of two compare fields
// are each adjusted for the other (fitting constants: R's sequential sum of
// the factor entered last, i.e. deviance(lm(y~other)) - deviance(lm(y~A+B))),
// the interaction is deviance(lm(y~A+B)) - deviance(lm(y~A*B)) and the
// residual deviance(lm(y~A*B)).
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "AnovaSupport.h"

using namespace anovatest;

namespace {

class AnovaRun : public enginetest::EngineTest {
protected:
    // The rows of one group (G value) from the analysis-of-variance table.
    std::vector<Row> GroupRows(const std::string& g) {
        std::vector<Row> rows;
        for (const Row& r : ReadResultRows(db, "Out1"))
            if (r.at("G").IsNull() ? g.empty() : r.at("G").ToString() == g) rows.push_back(r);
        return rows;
    }
};

struct Expected {
    const char* source;
    double df, ss;
    double f = -1, p = -1;  // -1: F-Value and Prob Null
};

void ExpectTable(const std::vector<Row>& rows, const std::vector<Expected>& expected, double tolerance = 1e-9) {
    ASSERT_EQ(rows.size(), expected.size());
    for (size_t i = 0; i < rows.size(); ++i) {
        SCOPED_TRACE(expected[i].source);
        const Row& r = rows[i];
        EXPECT_EQ(r.at("Index").ToLong(), static_cast<int32_t>(i + 1));
        EXPECT_EQ(r.at("Source_of_Variation").ToString(), expected[i].source);
        EXPECT_EQ(Num(r, "DF"), expected[i].df);
        EXPECT_NEAR(Num(r, "Sum_of_Squares"), expected[i].ss, tolerance);
        if (expected[i].df > 0) {
            EXPECT_NEAR(Num(r, "Mean_Square"), expected[i].ss / expected[i].df, tolerance);
        }
        if (expected[i].f < 0) {
            EXPECT_TRUE(IsNull(r, "F-Value"));
            EXPECT_TRUE(IsNull(r, "Prob"));
        } else {
            EXPECT_NEAR(Num(r, "F-Value"), expected[i].f, tolerance * 10);
            EXPECT_NEAR(Num(r, "Prob"), expected[i].p, tolerance);
        }
    }
}

TEST_F(AnovaRun, OneWayTableAndDetailRows) {
    std::vector<TrialRow> rows = ThreeLevels();
    // Blank compare values are left out: they change neither table.
    rows.push_back({"g", vb::Variant::Null(), vb::Variant::Null(), vb::Variant::Null(), 20.0, 1.0});
    CreateTrial(db, rows);
    const int32_t id =
        enginetest::AddScenario(db, GroupScenario("ANOVA", {{"G", "G"}, {"A", "C"}, {"X", "X"}}, true, "Out2"));
    ASSERT_TRUE(Run(id)) << engine->get_ErrorInfo();

    EXPECT_EQ(ColumnNames(db, "Out1"),
              (std::vector<std::string>{"StatOutputID", "G", "DataField", "Index", "Source_of_Variation",
                                        "Sum_of_Squares", "DF", "Mean_Square", "F-Value", "Prob"}));
    // R 4.2: anova(lm(x ~ A)); total sum((x - mean(x))^2)
    ExpectTable(GroupRows("g"), {{"Main: [A]", 2, 72.9853333333333, 27.0449604743083, 3.58324152093028e-05},
                                 {"Residual", 12, 16.192},
                                 {"Total", 14, 89.1773333333333}});

    EXPECT_EQ(ColumnNames(db, "Out2"),
              (std::vector<std::string>{"StatOutputID", "G", "A", "DataField", "Count", "Mean", "Minimum", "Maximum",
                                        "Range", "Sum", "Variance", "CoeffOfVariance", "StdDeviation", "StdError"}));
    const std::vector<Row> detail = ReadResultRows(db, "Out2");
    ASSERT_EQ(detail.size(), 3u);
    // R 4.2 per value: mean, min, max, sum, var, sd/mean, sd, sd/sqrt(n)
    const char* values[] = {"a", "b", "c"};
    const double expected[3][9] = {
        {5, 13.36, 11.8, 15.2, 66.8, 2.073, 0.107768836197161, 1.43979165159408, 0.64389440128021},
        {4, 17, 15.9, 18.4, 68, 1.15333333333333, 0.0631725635042627, 1.07393357957247, 0.536966789786233},
        {6, 11.5, 10.4, 12.9, 69, 0.888, 0.0819423929696678, 0.942337519151179, 0.384707681233427}};
    const char* columns[] = {"Count",           "Mean",         "Minimum", "Maximum", "Sum", "Variance",
                             "CoeffOfVariance", "StdDeviation", "StdError"};
    for (size_t i = 0; i < 3; ++i) {
        SCOPED_TRACE(values[i]);
        EXPECT_EQ(detail[i].at("A").ToString(), values[i]);
        EXPECT_EQ(detail[i].at("DataField").ToString(), "X");
        for (size_t c = 0; c < 9; ++c) EXPECT_NEAR(Num(detail[i], columns[c]), expected[i][c], 1e-12) << columns[c];
        EXPECT_NEAR(Num(detail[i], "Range"), expected[i][3] - expected[i][2], 1e-12);
    }
}

TEST_F(AnovaRun, BlanksIncludedAreAValueOfTheirOwnListedFirst) {
    std::vector<TrialRow> rows = ThreeLevels();
    rows.push_back({"g", vb::Variant::Null(), vb::Variant::Null(), vb::Variant::Null(), 20.0, 1.0});
    rows.push_back({"g", vb::Variant::Null(), vb::Variant::Null(), vb::Variant::Null(), 22.0, 1.0});
    CreateTrial(db, rows);
    const int32_t id =
        enginetest::AddScenario(db, GroupScenario("ANOVA", {{"G", "G"}, {"A", "C"}, {"X", "X"}}, false, "Out2"));
    ASSERT_TRUE(Run(id)) << engine->get_ErrorInfo();
    const std::vector<Row> detail = ReadResultRows(db, "Out2");
    ASSERT_EQ(detail.size(), 4u);
    EXPECT_TRUE(detail[0].at("A").IsNull());
    EXPECT_EQ(Num(detail[0], "Count"), 2);
    EXPECT_EQ(Num(detail[0], "Mean"), 21);
    EXPECT_EQ(detail[1].at("A").ToString(), "a");
    // Four values now. R 4.2: x <- c(a, b, c, 20, 22); anova(lm(x ~ factor(level, exclude=NULL)))
    const std::vector<Row> table = GroupRows("g");
    ASSERT_EQ(table.size(), 3u);
    EXPECT_EQ(Num(table[0], "DF"), 3);
    EXPECT_EQ(Num(table[1], "DF"), 13);
}

TEST_F(AnovaRun, UnbalancedTwoWayWithReplicationPerGroup) {
    std::vector<TrialRow> rows;
    AddCells(rows, "g1",
             {{"a1_b1", {5.1, 6.3, 5.8}},
              {"a1_b2", {7.2, 8.1}},
              {"a1_b3", {6.6, 7.0}},
              {"a2_b1", {6.0, 6.7}},
              {"a2_b2", {9.4, 8.8, 9.9, 10.2}},
              {"a2_b3", {8.0}},
              {"a3_b1", {4.2, 4.9}},
              {"a3_b2", {7.7, 6.9, 8.3}},
              {"a3_b3", {5.5, 6.1, 5.2}}});
    // The second group has no record with the value b3 of the whole table.
    AddCells(rows, "g2",
             {{"a1_b1", {3.3, 4.1}},
              {"a1_b2", {5.0, 5.9, 5.4}},
              {"a2_b1", {4.4}},
              {"a2_b2", {7.1, 6.6}},
              {"a3_b1", {2.9, 3.6, 3.1}},
              {"a3_b2", {6.0, 6.8}}});
    CreateTrial(db, rows);
    const int32_t id = enginetest::AddScenario(
        db, GroupScenario("Two way ANOVA", {{"G", "G"}, {"A", "C"}, {"B", "C"}, {"X", "X"}}, true, "Out2"));
    ASSERT_TRUE(Run(id)) << engine->get_ErrorInfo();

    // R 4.2, model comparisons with lm() (see the file's head)
    ExpectTable(GroupRows("g1"), {{"Main Effects", 4, 51.6424102405377, 39.6233326653742, 3.66077958413005e-07},
                                  {"Main: [A]", 2, 14.9471505002779, 22.9368038367436, 5.44687700418142e-05},
                                  {"Main: [B]", 2, 29.6757219288494, 45.5381922181831, 1.34227812281281e-06},
                                  {"Interactions", 4, 1.55130188067445, 1.19025719744843, 0.360760240367194},
                                  {"Explained", 8, 53.1937121212121, 20.4067949314113, 3.62093424774531e-06},
                                  {"Residual", 13, 4.23583333333334},
                                  {"Total", 21, 57.4295454545455}});
    ExpectTable(GroupRows("g2"), {{"Main Effects", 3, 23.4482909698997, 38.2160737576945, 0.000104003055410478},
                                  {"Main: [A]", 2, 2.47942650103519, 6.06146176038872, 0.0296758475623444},
                                  {"Main: [B]", 1, 18.6041884057971, 90.9634357442932, 2.92076573977604e-05},
                                  {"Interactions", 2, 1.2908115942029, 3.15565116161361, 0.105455983184313},
                                  {"Explained", 5, 24.7391025641026, 24.1919047192621, 0.000278408095142478},
                                  {"Residual", 7, 1.43166666666667},
                                  {"Total", 12, 26.1707692307692}});

    // Detail rows of two compare fields: one per field and value with weight.
    EXPECT_EQ(ColumnNames(db, "Out2"),
              (std::vector<std::string>{"StatOutputID", "G", "DataField", "Compare_Field", "Compare_Value", "Count",
                                        "Mean", "Minimum", "Maximum", "Range", "Sum", "Variance", "CoeffOfVariance",
                                        "StdDeviation", "StdError"}));
    const std::vector<Row> detail = ReadResultRows(db, "Out2");
    ASSERT_EQ(detail.size(), 6u + 5u);  // g2 has no b3 row
    EXPECT_EQ(detail[0].at("Compare_Field").ToString(), "A");
    EXPECT_EQ(detail[0].at("Compare_Value").ToString(), "a1");
    EXPECT_EQ(Num(detail[0], "Count"), 7);
    EXPECT_EQ(detail[5].at("Compare_Value").ToString(), "b3");
    EXPECT_EQ(detail[10].at("Compare_Value").ToString(), "b2");
}

TEST_F(AnovaRun, TwoWayTableOfValuesFarFromZeroKeepsItsDigits) {
    // The first group above, every value typed 1e9 larger: the same table.
    const std::vector<std::pair<std::string, std::vector<double>>> cells = {
        {"a1_b1", {5.1, 6.3, 5.8}},       {"a1_b2", {7.2, 8.1}}, {"a1_b3", {6.6, 7.0}}, {"a2_b1", {6.0, 6.7}},
        {"a2_b2", {9.4, 8.8, 9.9, 10.2}}, {"a2_b3", {8.0}},      {"a3_b1", {4.2, 4.9}}, {"a3_b2", {7.7, 6.9, 8.3}},
        {"a3_b3", {5.5, 6.1, 5.2}}};
    std::vector<std::pair<std::string, std::vector<double>>> far;
    for (const auto& [name, values] : cells) {
        std::vector<double> typed;
        for (double v : values) {
            char text[32];
            std::snprintf(text, sizeof text, "%.1f", 1e9 + v);
            typed.push_back(std::strtod(text, nullptr));
        }
        far.emplace_back(name, typed);
    }
    std::vector<TrialRow> rows;
    AddCells(rows, "g1", far);
    CreateTrial(db, rows);
    ASSERT_TRUE(Run(
        enginetest::AddScenario(db, GroupScenario("Two way ANOVA", {{"G", "G"}, {"A", "C"}, {"B", "C"}, {"X", "X"}}))))
        << engine->get_ErrorInfo();
    ExpectTable(GroupRows("g1"), {{"Main Effects", 4, 51.6424102405377, 39.6233326653742, 3.66077958413005e-07},
                                  {"Main: [A]", 2, 14.9471505002779, 22.9368038367436, 5.44687700418142e-05},
                                  {"Main: [B]", 2, 29.6757219288494, 45.5381922181831, 1.34227812281281e-06},
                                  {"Interactions", 4, 1.55130188067445, 1.19025719744843, 0.360760240367194},
                                  {"Explained", 8, 53.1937121212121, 20.4067949314113, 3.62093424774531e-06},
                                  {"Residual", 13, 4.23583333333334},
                                  {"Total", 21, 57.4295454545455}});
}

TEST_F(AnovaRun, EmptyCellLowersTheInteractionDegreesOfFreedom) {
    std::vector<TrialRow> rows;
    AddCells(rows, "g",
             {{"a1_b1", {10, 12}},
              {"a1_b2", {14, 15, 13}},
              {"a1_b3", {9, 11}},
              {"a2_b1", {13, 16, 14}},
              {"a2_b2", {18, 17}}});
    CreateTrial(db, rows);
    const int32_t id =
        enginetest::AddScenario(db, GroupScenario("Two way ANOVA", {{"A", "C"}, {"B", "C"}, {"X", "X"}}));
    ASSERT_TRUE(Run(id)) << engine->get_ErrorInfo();
    // R 4.2: anova(lm(y ~ A*B)) has 1 df for A:B; sums by model comparison
    ExpectTable(ReadResultRows(db, "Out1"),
                {{"Main Effects", 3, 71.8166666666666, 15.0064676616916, 0.00196898270699521},
                 {"Main: [A]", 1, 28.0166666666666, 17.5626865671642, 0.00408206441104998},
                 {"Main: [B]", 2, 34.0166666666666, 10.6619402985075, 0.00750427080458899},
                 {"Interactions", 1, 0.0166666666666693, 0.0104477611940315, 0.921453017457326},
                 {"Explained", 4, 71.8333333333333, 11.2574626865672, 0.0035988929703894},
                 {"Residual", 7, 11.1666666666667},
                 {"Total", 11, 82.9999999999999}});
}

TEST_F(AnovaRun, OneObservationPerCellHasNoInteractionRow) {
    std::vector<TrialRow> rows;
    AddCells(rows, "g",
             {{"a1_b1", {8}},
              {"a1_b2", {10}},
              {"a1_b3", {9}},
              {"a1_b4", {12}},
              {"a2_b1", {11}},
              {"a2_b2", {13}},
              {"a2_b3", {12}},
              {"a2_b4", {16}},
              {"a3_b1", {7}},
              {"a3_b2", {9}},
              {"a3_b3", {10}},
              {"a3_b4", {11}}});
    CreateTrial(db, rows);
    const int32_t id =
        enginetest::AddScenario(db, GroupScenario("Two way ANOVA", {{"A", "C"}, {"B", "C"}, {"X", "X"}}));
    ASSERT_TRUE(Run(id)) << engine->get_ErrorInfo();
    // R 4.2: anova(lm(y ~ A + B)); main effects and explained = A + B
    const double ssA = 33.1666666666667, ssB = 28.6666666666667, msRes = 2.83333333333334 / 6;
    // R 4.2: f <- (ssA + ssB) / 5 / msRes; pf(f, 5, 6, lower.tail = FALSE)
    const double fMain = 26.1882352941176, pMain = 0.000525009165593274;
    EXPECT_NEAR((ssA + ssB) / 5 / msRes, fMain, 1e-9);
    ExpectTable(ReadResultRows(db, "Out1"),
                {{"Main Effects", 5, ssA + ssB, fMain, pMain},
                 {"Main: [A]", 2, ssA, 35.1176470588235, 0.000487512225016514},
                 {"Main: [B]", 3, ssB, 20.2352941176470, 0.00153717842492422},
                 {"Explained", 5, ssA + ssB, fMain, pMain},
                 {"Residual", 6, 2.83333333333334},
                 {"Total", 11, 64.6666666666666}},
                1e-9);
}

TEST_F(AnovaRun, PairWithoutVariationInsideItsCellsKeepsTheOtherPairsSums) {
    // B x C has one record per cell; A x B and A x C have replication.
    const double y[] = {4.1, 5.6, 3.8, 6.2, 5.0, 7.3, 6.8, 5.9, 8.1, 7.7, 3.2, 4.4, 5.1, 3.9, 6.0};
    std::vector<TrialRow> rows;
    for (int b = 0; b < 3; ++b) {
        for (int c = 0; c < 5; ++c) {
            rows.push_back({"g", "a" + std::to_string((b + c) % 2), "b" + std::to_string(b), "c" + std::to_string(c),
                            y[b * 5 + c], 1.0});
        }
    }
    CreateTrial(db, rows);
    const int32_t id =
        enginetest::AddScenario(db, GroupScenario("Two way ANOVA", {{"A", "C"}, {"B", "C"}, {"C", "C"}, {"X", "X"}}));
    ASSERT_TRUE(Run(id)) << engine->get_ErrorInfo();
    const std::vector<Row> out = ReadResultRows(db, "Out1");
    // Main Effects, three main rows, the summary, two pair rows, Explained, Residual, Total.
    ASSERT_EQ(out.size(), 10u);
    // R 4.2: iab <- deviance(lm(y~A+B)) - deviance(lm(y~A*B)); iac likewise for C
    const double iab = 3.70866666666668, iac = 21.0713333333333;
    EXPECT_EQ(out[4].at("Source_of_Variation").ToString(), "Interactions");
    EXPECT_EQ(Num(out[4], "DF"), 6);
    EXPECT_NEAR(Num(out[4], "Sum_of_Squares"), iab + iac, 1e-9);
    EXPECT_EQ(Num(out[5], "DF"), 2);
    EXPECT_NEAR(Num(out[5], "Sum_of_Squares"), iab, 1e-9);
    EXPECT_EQ(Num(out[6], "DF"), 4);
    EXPECT_NEAR(Num(out[6], "Sum_of_Squares"), iac, 1e-9);
    // With three fields every main row is its one-way sum. R 4.2: anova(lm(y~A))
    EXPECT_EQ(out[1].at("Source_of_Variation").ToString(), "Main: [A]");
    EXPECT_NEAR(Num(out[1], "Sum_of_Squares"), 1.32010714285715, 1e-9);
    // SST less all one-way and pair sums is below 0 here: written as 0, no F.
    EXPECT_EQ(out[8].at("Source_of_Variation").ToString(), "Residual");
    EXPECT_EQ(Num(out[8], "Sum_of_Squares"), 0);
    EXPECT_EQ(Num(out[8], "DF"), 1);
    EXPECT_TRUE(IsNull(out[1], "F-Value"));
}

TEST_F(AnovaRun, CompareValuesAreMatchedWithTheColumnsOwnCollation) {
    // A group column compared with case (made by another tool) and a compare
    // column without: "A" and "a" are one value of the compare field.
    db->Execute("CREATE TABLE Trial (G TEXT, A TEXT COLLATE NOCASE, X DOUBLE)");
    const char* a[] = {"a", "A", "a", "A", "b", "b", "B"};
    const double x[] = {3, 5, 4, 9, 8, 10, 7};
    for (int i = 0; i < 7; ++i)
        db->Execute("INSERT INTO Trial (G, A, X) VALUES ('g', '" + std::string(a[i]) + "', " + std::to_string(x[i]) +
                    ")");
    const int32_t id = enginetest::AddScenario(db, GroupScenario("ANOVA", {{"G", "G"}, {"A", "C"}, {"X", "X"}}));
    ASSERT_TRUE(Run(id)) << engine->get_ErrorInfo();
    // R 4.2: anova(lm(x ~ factor(tolower(a))))
    ExpectTable(ReadResultRows(db, "Out1"), {{"Main: [A]", 1, 16.2976190476191, 3.20608899297424, 0.1333695684202},
                                             {"Residual", 5, 25.4166666666667},
                                             {"Total", 6, 41.7142857142857}});
}

TEST_F(AnovaRun, WeightsNullDataAndMissingValues) {
    std::vector<TrialRow> rows = ThreeLevels();
    for (TrialRow& r : rows) r.w = 2.0;
    rows.push_back({"g", "a", vb::Variant::Null(), vb::Variant::Null(), vb::Variant::Null(), 1.0});   // no value
    rows.push_back({"g", "b", vb::Variant::Null(), vb::Variant::Null(), 99.0, vb::Variant::Null()});  // no weight
    rows.push_back({"g", "c", vb::Variant::Null(), vb::Variant::Null(), -1.0, 1.0});  // the missing value
    CreateTrial(db, rows);
    enginetest::StoredScenario s =
        GroupScenario("ANOVA", {{"G", "G"}, {"A", "C"}, {"X", "X"}, {"W", "W"}}, true, "Out2");
    s.missingType = "1";
    s.missingEqual = -1.0;
    const int32_t id = enginetest::AddScenario(db, s);
    ASSERT_TRUE(Run(id)) << engine->get_ErrorInfo();
    // Doubled weights double every sum of squares and the counts: R 4.2
    // anova(lm(x ~ A, weights = rep(2, 15))) gives A 145.970666666667 and
    // residual 32.384, but frequency weights count 2n - 1 = 29 total df.
    const std::vector<Row> out = ReadResultRows(db, "Out1");
    ASSERT_EQ(out.size(), 3u);
    EXPECT_NEAR(Num(out[0], "Sum_of_Squares"), 145.970666666667, 1e-9);
    EXPECT_EQ(Num(out[1], "DF"), 27);
    EXPECT_NEAR(Num(out[1], "Sum_of_Squares"), 32.384, 1e-9);
    EXPECT_EQ(Num(out[2], "DF"), 29);
    const std::vector<Row> detail = ReadResultRows(db, "Out2");
    ASSERT_EQ(detail.size(), 3u);
    EXPECT_EQ(ColumnNames(db, "Out2")[5], "Observations");
    EXPECT_EQ(Num(detail[0], "Count"), 10);
    EXPECT_EQ(Num(detail[0], "Observations"), 5);
}

}  // namespace

namespace {

TEST_F(AnovaRun, RunningAgainReplacesTheTables) {
    CreateTrial(db, ThreeLevels());
    const int32_t id =
        enginetest::AddScenario(db, GroupScenario("ANOVA", {{"G", "G"}, {"A", "C"}, {"X", "X"}}, true, "Out2"));
    ASSERT_TRUE(Run(id)) << engine->get_ErrorInfo();
    ASSERT_TRUE(Run(id)) << engine->get_ErrorInfo();
    EXPECT_EQ(ReadResultRows(db, "Out1").size(), 3u);
    EXPECT_EQ(ReadResultRows(db, "Out2").size(), 3u);
}

}  // namespace

namespace {

TEST_F(AnovaRun, AResultTableNamedLikeTheSourceIsRefusedAndTheSourceKept) {
    CreateTrial(db, ThreeLevels());
    enginetest::StoredScenario s = GroupScenario("ANOVA", {{"A", "C"}, {"X", "X"}}, true, "trial");
    const int32_t id = enginetest::AddScenario(db, s);
    EXPECT_FALSE(Run(id));
    EXPECT_NE(engine->get_ErrorInfo().find("cannot be the source table"), std::string::npos) << engine->get_ErrorInfo();
    EXPECT_EQ(db->TableDefs()->Item("Trial")->RecordCount(), 15);
}

}  // namespace

namespace {

TEST_F(AnovaRun, FractionalWeightsKeepTheirDegreesOfFreedomInTheArithmetic) {
    std::vector<TrialRow> rows;
    const char* a[] = {"p", "p", "p", "q", "q"};
    const double x[] = {4, 6, 5, 7, 9}, w[] = {0.5, 1.5, 1.0, 1.2, 0.6};
    for (int i = 0; i < 5; ++i) rows.push_back({"g", a[i], vb::Variant::Null(), vb::Variant::Null(), x[i], w[i]});
    CreateTrial(db, rows);
    const int32_t id = enginetest::AddScenario(db, GroupScenario("ANOVA", {{"A", "C"}, {"X", "X"}, {"W", "W"}}));
    ASSERT_TRUE(Run(id)) << engine->get_ErrorInfo();
    const std::vector<Row> out = ReadResultRows(db, "Out1");
    ASSERT_EQ(out.size(), 3u);
    // Frequency-weight sums, R 4.2: N <- sum(w) (4.8); between
    // sum(tapply(w*x,g,sum)^2/tapply(w,g,sum)) - S^2/N; residual df N - 2 = 2.8;
    // f <- b / (r / (N - 2)); pf(f, 1, N - 2, lower.tail = FALSE). F equals
    // the square of the pooled t of the same data.
    EXPECT_NEAR(Num(out[0], "Sum_of_Squares"), 6.125, 1e-12);
    EXPECT_NEAR(Num(out[0], "F-Value"), 5.25, 1e-10);
    EXPECT_NEAR(Num(out[0], "Prob"), 0.112112946949348, 1e-9);
    // The stored degrees of freedom lose their fraction; the mean square does not.
    EXPECT_EQ(Num(out[1], "DF"), 2);
    EXPECT_NEAR(Num(out[1], "Mean_Square"), 1.16666666666666, 1e-12);
    EXPECT_EQ(Num(out[2], "DF"), 3);
    EXPECT_NEAR(Num(out[2], "Sum_of_Squares"), 9.39166666666665, 1e-12);
}

}  // namespace

namespace {

TEST_F(AnovaRun, OneObservationPerCellWithAnEmptyCellAdjustsTheMainEffects) {
    std::vector<TrialRow> rows;
    AddCells(rows, "g",
             {{"a1_b1", {8}},
              {"a1_b2", {10}},
              {"a1_b3", {9}},
              {"a2_b1", {11}},
              {"a2_b2", {14}},
              {"a3_b1", {7}},
              {"a3_b2", {9}},
              {"a3_b3", {12}}});
    CreateTrial(db, rows);
    const int32_t id =
        enginetest::AddScenario(db, GroupScenario("Two way ANOVA", {{"A", "C"}, {"B", "C"}, {"X", "X"}}));
    ASSERT_TRUE(Run(id)) << engine->get_ErrorInfo();
    // R 4.2, model comparisons: residual deviance(lm(y~A+B)) on 3 df (not SST
    // less both one-way sums, 36 - 16.8333 - 8.8333, which holds only for
    // equal cell sizes); mains adjusted for each other.
    ExpectTable(ReadResultRows(db, "Out1"), {{"Main Effects", 4, 30.3333333333334, 4.01470588235295, 0.141381588473738},
                                             {"Main: [A]", 2, 21.5, 5.69117647058825, 0.0952657890616553},
                                             {"Main: [B]", 2, 13.5, 3.57352941176471, 0.160757637453114},
                                             {"Explained", 4, 30.3333333333334, 4.01470588235295, 0.141381588473738},
                                             {"Residual", 3, 5.66666666666666},
                                             {"Total", 7, 36}});
}

}  // namespace

namespace {

TEST_F(AnovaRun, ALongCompareFieldNameIsCutToTheSourceColumnsWidth) {
    const std::string name(64, 'F');
    db->Execute("CREATE TABLE Trial ([" + name + "] TEXT, X DOUBLE)");
    for (const char* row : {"('a', 1)", "('a', 2)", "('b', 4)", "('b', 6)"})
        db->Execute("INSERT INTO Trial ([" + name + "], X) VALUES " + row);
    const int32_t id = enginetest::AddScenario(db, GroupScenario("ANOVA", {{name, "C"}, {"X", "X"}}));
    ASSERT_TRUE(Run(id)) << engine->get_ErrorInfo();
    const std::vector<Row> out = ReadResultRows(db, "Out1");
    ASSERT_EQ(out.size(), 3u);
    EXPECT_EQ(out[0].at("Source_of_Variation").ToString(), ("Main: [" + name + "]").substr(0, 70));
    // Means 1.5 and 5: between 2 * (1.75^2 + 1.75^2) = 12.25, hand-worked.
    EXPECT_NEAR(Num(out[0], "Sum_of_Squares"), 12.25, 1e-12);
}

}  // namespace
