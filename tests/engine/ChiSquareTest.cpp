// Chi-square test of group frequencies end to end: counts and weight sums per
// compare value, "all groups", blanks, a missing-value rule on a numeric
// compare field, several compare fields and the detail table.
//
// Reference values: R 4.2 (Rscript), chisq.test(counts) with its default
// equal probabilities (a goodness-of-fit test: no continuity correction),
// statistic, parameter and p.value; under "all groups" the counts include a 0
// for every value of the whole source that the group lacks, so the statistic
// is the sum of all detail rows. Tolerance 1e-12 on statistics, 1e-13 on
// probabilities.
#include <cmath>
#include <tuple>

#include "EngineTestSupport.h"

using namespace enginetest;

namespace {

using Row = ResultRow;

constexpr double kTol = 1e-12;
// R's probabilities are good to the last digit, and so are the engine's.
constexpr double kChiProbTol = 1e-13;

class ChiSquare : public EngineTest {
protected:
    void AddRow(const char* g, vb::Variant color, double x, double w) {
        dao::RecordsetPtr rs = db->OpenRecordset("Data", dao::dbOpenTable);
        rs->AddNew();
        rs->Fields(std::string_view("G1"))->Value(std::string(g));
        rs->Fields(std::string_view("G2"))->Value(color);
        rs->Fields(std::string_view("X1"))->Value(x);
        rs->Fields(std::string_view("W"))->Value(w);
        rs->Update();
        rs->Close();
    }

    // G1 groups, G2 a colour (one Null), X1 a number (9 is the missing value
    // of one test), W a weight (one 0, one negative).
    void AddData() {
        AddRow("A", "red", 1, 1);
        AddRow("A", "red", 2, 2);
        AddRow("A", "red", 2, 1);
        AddRow("A", "blue", 3, 1);
        AddRow("A", "blue", 3, 1);
        AddRow("A", "green", 3, 1);
        AddRow("A", "green", 1, 0);
        AddRow("B", "red", 1, 1);
        AddRow("B", "red", 9, 1);
        AddRow("B", "blue", 2, 1);
        AddRow("B", "blue", 2, 1);
        AddRow("B", "blue", 3, 1);
        AddRow("B", "blue", 3, 2);
        AddRow("B", vb::Variant::Null(), 1, 1);
        AddRow("B", "red", 2, -1);
    }

    int32_t Scenario(std::vector<std::string> compare, bool weighted, bool all, bool ignoreBlanks, bool detail) {
        StoredScenario scenario;
        scenario.family = "N";
        scenario.subType = "Chi-Square";
        scenario.fields = {{"G1", "G", 1}};
        int16_t pos = 1;
        for (const std::string& c : compare) scenario.fields.emplace_back(c, "C", pos++);
        if (weighted) scenario.fields.emplace_back("W", "W", 1);
        scenario.options = {{"ChiAll", all}, {"ChiIgnoreBlanks", ignoreBlanks}, {"ChiDetail", detail}};
        return AddScenario(db, scenario);
    }

    void ExpectSummary(const Row& row, double count, double groups, double expected, double chi, double p) {
        EXPECT_EQ(Num(row, "Count"), count);
        EXPECT_EQ(Num(row, "Groups"), groups);
        EXPECT_EQ(Num(row, "DF"), groups - 1);
        EXPECT_NEAR(Num(row, "Expected"), expected, kTol);
        EXPECT_NEAR(Num(row, "Chi-Square"), chi, kTol);
        EXPECT_NEAR(Num(row, "Prob"), p, kChiProbTol);
    }
};

TEST_F(ChiSquare, CountsWithoutBlanksOrAllGroups) {
    AddData();
    ASSERT_TRUE(Run(Scenario({"G2"}, false, false, true, true))) << engine->get_ErrorInfo();
    const std::vector<std::string> columns = {"StatOutputID", "G1",         "DataField", "Count", "Groups",
                                              "Expected",     "Chi-Square", "DF",        "Prob"};
    EXPECT_EQ(ColumnNames(db, "Out1"), columns);
    // The number of values can pass 32767: a Long column.
    db->TableDefs()->Refresh();
    EXPECT_EQ(db->TableDefs()->Item("Out1")->Fields()->Item("Groups")->Type(), dao::dbLong);
    auto rows = ReadResultRows(db, "Out1");
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0].at("DataField").ToString(), "G2");
    // R: chisq.test(c(2, 2, 3)) and chisq.test(c(4, 3)); the Null of B is left out.
    ExpectSummary(rows[0], 7, 3, 7.0 / 3, 0.28571428571428575, 0.86687789975018159);
    ExpectSummary(rows[1], 7, 2, 3.5, 0.14285714285714285, 0.7054569861112735);

    const std::vector<std::string> detailColumns = {"StatOutputID",  "G1",         "G2",         "Observed",
                                                    "Expected",      "Difference", "Chi-Square", "Observed_Pcnt",
                                                    "Expected_Pcnt", "Pcnt_Diff",  "Cumulative", "Cumulative_Pcnt"};
    EXPECT_EQ(ColumnNames(db, "Out2"), detailColumns);
    auto detail = ReadResultRows(db, "Out2", "G1 = 'A'");
    ASSERT_EQ(detail.size(), 3u);
    // Values ascending: blue 2, green 2, red 3; E = 7/3.
    EXPECT_EQ(detail[0].at("G2").ToString(), "blue");
    EXPECT_EQ(detail[2].at("G2").ToString(), "red");
    EXPECT_EQ(Num(detail[2], "Observed"), 3);
    EXPECT_NEAR(Num(detail[2], "Difference"), 3 - 7.0 / 3, kTol);
    EXPECT_NEAR(Num(detail[2], "Chi-Square"), (3 - 7.0 / 3) * (3 - 7.0 / 3) / (7.0 / 3), kTol);
    EXPECT_NEAR(Num(detail[2], "Observed_Pcnt"), 3.0 / 7, kTol);
    EXPECT_NEAR(Num(detail[2], "Expected_Pcnt"), 1.0 / 3, kTol);
    EXPECT_NEAR(Num(detail[2], "Pcnt_Diff"), (3 - 7.0 / 3) / 7, kTol);
    EXPECT_EQ(Num(detail[1], "Cumulative"), 4);
    EXPECT_EQ(Num(detail[2], "Cumulative"), 7);
    EXPECT_NEAR(Num(detail[2], "Cumulative_Pcnt"), 1, kTol);
    double sum = 0;
    for (const Row& r : detail) sum += Num(r, "Chi-Square");
    EXPECT_NEAR(sum, 0.28571428571428575, kTol);
}

TEST_F(ChiSquare, AllGroupsWithBlanksCountsAbsentValues) {
    AddData();
    ASSERT_TRUE(Run(Scenario({"G2"}, false, true, false, true))) << engine->get_ErrorInfo();
    auto rows = ReadResultRows(db, "Out1");
    ASSERT_EQ(rows.size(), 2u);
    // Values of the whole source: Null, blue, green, red. R: chisq.test(c(0,
    // 2, 2, 3)) and chisq.test(c(1, 4, 0, 3)).
    ExpectSummary(rows[0], 7, 4, 7.0 / 4, 2.7142857142857144, 0.43780504346076782);
    EXPECT_EQ(Num(rows[0], "MissingGroups"), 1);
    ExpectSummary(rows[1], 8, 4, 2, 5, 0.17179714429673321);
    EXPECT_EQ(Num(rows[1], "MissingGroups"), 1);

    // Every value once per group in list order; the summary is the sum of the rows.
    for (const char* g : {"A", "B"}) {
        auto detail = ReadResultRows(db, "Out2", std::string("G1 = '") + g + "'");
        ASSERT_EQ(detail.size(), 4u);
        EXPECT_TRUE(detail[0].at("G2").IsNull());
        EXPECT_EQ(detail[1].at("G2").ToString(), "blue");
        EXPECT_EQ(detail[2].at("G2").ToString(), "green");
        double sum = 0;
        for (const Row& r : detail) sum += Num(r, "Chi-Square");
        EXPECT_NEAR(sum, Num(g[0] == 'A' ? rows[0] : rows[1], "Chi-Square"), kTol);
    }
    auto a = ReadResultRows(db, "Out2", "G1 = 'A'");
    EXPECT_EQ(Num(a[0], "Observed"), 0);
    EXPECT_NEAR(Num(a[0], "Chi-Square"), 7.0 / 4, kTol);  // an absent value adds E
    EXPECT_EQ(Num(a[0], "Cumulative"), 0);
    auto b = ReadResultRows(db, "Out2", "G1 = 'B'");
    EXPECT_EQ(Num(b[0], "Observed"), 1);  // the blank of group B
    EXPECT_EQ(Num(b[2], "Observed"), 0);  // no green in B
    EXPECT_EQ(Num(b[2], "Cumulative"), Num(b[1], "Cumulative"));
}

TEST_F(ChiSquare, WeightsOfZeroOrBelowAreLeftOut) {
    AddData();
    ASSERT_TRUE(Run(Scenario({"G2"}, true, false, true, true))) << engine->get_ErrorInfo();
    auto rows = ReadResultRows(db, "Out1");
    ASSERT_EQ(rows.size(), 2u);
    // Weight sums. A: blue 2, green 1 (the weight-0 record out), red 4; B:
    // blue 5, red 2 (the record weighing -1 out). R: chisq.test(c(2, 1, 4)),
    // chisq.test(c(5, 2)).
    ExpectSummary(rows[0], 7, 3, 7.0 / 3, 2, 0.36787944117144233);
    ExpectSummary(rows[1], 7, 2, 3.5, 1.2857142857142858, 0.25683925795785661);
    for (const Row& r : ReadResultRows(db, "Out2")) EXPECT_GT(Num(r, "Expected"), 0);
}

TEST_F(ChiSquare, MissingValueRuleOnANumericCompareField) {
    AddData();
    StoredScenario scenario;
    scenario.family = "N";
    scenario.subType = "Chi-Square";
    scenario.fields = {{"G1", "G", 1}, {"X1", "C", 1}};
    scenario.options = {{"ChiAll", false}, {"ChiIgnoreBlanks", false}, {"ChiDetail", false}};
    scenario.missingType = "1";
    scenario.missingEqual = 9.0;
    ASSERT_TRUE(Run(AddScenario(db, scenario))) << engine->get_ErrorInfo();
    auto rows = ReadResultRows(db, "Out1");
    ASSERT_EQ(rows.size(), 2u);
    // A: 1 x2, 2 x2, 3 x3; B: 1 x2, 2 x3, 3 x2 (the 9 left out). R:
    // chisq.test(c(2, 2, 3)), chisq.test(c(2, 3, 2)).
    ExpectSummary(rows[0], 7, 3, 7.0 / 3, 0.28571428571428575, 0.86687789975018159);
    ExpectSummary(rows[1], 7, 3, 7.0 / 3, 0.28571428571428575, 0.86687789975018159);
}

TEST_F(ChiSquare, MissingValueRuleLeavesBlanksOfATextField) {
    AddData();
    StoredScenario scenario;
    scenario.family = "N";
    scenario.subType = "Chi-Square";
    scenario.fields = {{"G1", "G", 1}, {"G2", "C", 1}};
    scenario.options = {{"ChiAll", false}, {"ChiIgnoreBlanks", false}, {"ChiDetail", false}};
    scenario.missingType = "1";
    scenario.missingEqual = 9.0;
    ASSERT_TRUE(Run(AddScenario(db, scenario))) << engine->get_ErrorInfo();
    auto rows = ReadResultRows(db, "Out1", "G1 = 'B'");
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(Num(rows[0], "Count"), 7);  // the blank is out, the 9 of X1 irrelevant
    EXPECT_EQ(Num(rows[0], "Groups"), 2);
}

TEST_F(ChiSquare, SeveralCompareFieldsShareTheTables) {
    AddData();
    ASSERT_TRUE(Run(Scenario({"G2", "X1"}, false, false, true, true))) << engine->get_ErrorInfo();
    auto rows = ReadResultRows(db, "Out1");
    ASSERT_EQ(rows.size(), 4u);
    EXPECT_EQ(rows[0].at("DataField").ToString(), "G2");
    EXPECT_EQ(rows[2].at("DataField").ToString(), "X1");
    const std::vector<std::string> detailColumns = {
        "StatOutputID", "G1",         "Compare_Field",  "Compare_Value", "Observed",
        "Expected",     "Difference", "Chi-Square",     "Observed_Pcnt", "Expected_Pcnt",
        "Pcnt_Diff",    "Cumulative", "Cumulative_Pcnt"};
    EXPECT_EQ(ColumnNames(db, "Out2"), detailColumns);
    // Text and Double have no common type: the numbers are written as text.
    auto detail = ReadResultRows(db, "Out2", "Compare_Field = 'X1' AND G1 = 'B'");
    ASSERT_EQ(detail.size(), 4u);  // 1, 2, 3, 9
    EXPECT_EQ(detail[0].at("Compare_Value").ToString(), "1");
    EXPECT_EQ(detail[3].at("Compare_Value").ToString(), "9");
    EXPECT_EQ(Num(detail[1], "Observed"), 3);
}

TEST_F(ChiSquare, DetailTableThatCannotBeMadeEndsTheRun) {
    // A compare field named like a detail column: the detail table cannot hold both.
    dao::TableDefPtr t = db->CreateTableDef("Obs");
    AddField(t, "G", dao::dbText, 10);
    AddField(t, "Observed", dao::dbText, 10);
    db->TableDefs()->Append(t);
    dao::RecordsetPtr rs = db->OpenRecordset("Obs", dao::dbOpenTable);
    rs->AddNew();
    rs->Fields(std::string_view("G"))->Value("A");
    rs->Fields(std::string_view("Observed"))->Value("x");
    rs->Update();
    rs->Close();
    StoredScenario scenario;
    scenario.family = "N";
    scenario.subType = "Chi-Square";
    scenario.input = "Obs";
    scenario.fields = {{"G", "G", 1}, {"Observed", "C", 1}};
    scenario.options = {{"ChiDetail", true}};
    EXPECT_FALSE(Run(AddScenario(db, scenario)));
    EXPECT_FALSE(engine->get_ErrorInfo().empty());
    db->TableDefs()->Refresh();
    EXPECT_FALSE(db->TableDefs()->Contains("Out1"));
}

TEST_F(ChiSquare, WithoutGroupFields) {
    AddData();
    StoredScenario scenario;
    scenario.family = "N";
    scenario.subType = "Chi-Square";
    scenario.fields = {{"G2", "C", 1}};
    scenario.options = {{"ChiIgnoreBlanks", true}};
    ASSERT_TRUE(Run(AddScenario(db, scenario))) << engine->get_ErrorInfo();
    auto rows = ReadResultRows(db, "Out1");
    ASSERT_EQ(rows.size(), 1u);
    // blue 6, green 2, red 6 over both groups. R: chisq.test(c(6, 2, 6)).
    ExpectSummary(rows[0], 14, 3, 14.0 / 3, 16.0 / 7, 0.31890655732397039);
}

TEST_F(ChiSquare, OneValueInAGroupHasNoProbability) {
    AddRow("A", "red", 1, 1);
    AddRow("A", "red", 2, 1);
    AddRow("B", "blue", 1, 1);
    ASSERT_TRUE(Run(Scenario({"G2"}, false, false, true, false))) << engine->get_ErrorInfo();
    auto rows = ReadResultRows(db, "Out1");
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(Num(rows[0], "Groups"), 1);
    EXPECT_EQ(Num(rows[0], "DF"), 0);
    EXPECT_EQ(Num(rows[0], "Chi-Square"), 0);
    EXPECT_TRUE(IsNull(rows[0], "Prob"));
}

}  // namespace

// The counts are formed in memory from an unsorted read: they must be the
// database's own grouped query's, value for value. A source with every kind
// of key: values that differ only in case (one group, named as its first
// record has it), integers and reals that are equal, text that looks like a
// number (not equal to it), a Null, and weights whose sum depends on the order
// they are added in (1e16 + 1 + 1 is 1e16 in record order).
TEST_F(ChiSquare, CountsAreTheGroupedQueryRowsForEveryKindOfKey) {
    db->Execute("CREATE TABLE Mixed (G TEXT COLLATE NOCASE, C COLLATE NOCASE, W DOUBLE)");
    for (const char* row : {"'b', 'Red', 1e16", "'B', 'red', 1", "'b', 'RED', 1", "'b', 10, 0.25", "'a', 2, 0.1",
                            "'A', 2.0, 0.2", "'a', 'red', 0.3", "'a', NULL, 0.7", "'b', 2.5, 1", "'a', '10', 0.1",
                            "'a', 2, 0.3", "'B', 'Red', 0", "'a', 'RED', 0.1"})
        db->Execute(std::string("INSERT INTO Mixed VALUES (") + row + ")");
    StoredScenario scenario;
    scenario.family = "N";
    scenario.subType = "Chi-Square";
    scenario.input = "Mixed";
    scenario.fields = {{"G", "G", 1}, {"C", "C", 1}, {"W", "W", 1}};
    scenario.options = {{"ChiAll", true}, {"ChiDetail", true}};
    ASSERT_TRUE(Run(AddScenario(db, scenario))) << engine->get_ErrorInfo();

    const auto values = ReadQueryRows(db, "SELECT DISTINCT C FROM Mixed WHERE W > 0 ORDER BY C;");
    const auto groups =
        ReadQueryRows(db, "SELECT G, C, Sum(W) AS S FROM Mixed WHERE W > 0 GROUP BY G, C ORDER BY G, C;");
    ASSERT_EQ(values.size(), 6u);  // Null, 2, 2.5, 10, '10', 'Red'
    const auto detail = ReadResultRows(db, "Out2");
    // Every value in every group, in the order of the values.
    ASSERT_EQ(detail.size(), 2 * values.size());
    auto text = [](const vb::Variant& v) { return v.IsNull() ? std::string("Null") : v.ToString(); };
    size_t g = 0;
    for (size_t i = 0; i < detail.size(); ++i) {
        const ResultRow& row = detail[i];
        // A value the group has is named as the group's first record has it,
        // one it lacks as the whole source's first record.
        const bool present = g < groups.size() && text(row.at("G")) == text(groups[g].at("G")) &&
                             text(row.at("C")) == text(groups[g].at("C"));
        if (!present) {
            EXPECT_EQ(text(row.at("C")), text(values[i % values.size()].at("C"))) << "row " << i;
        }
        EXPECT_EQ(Num(row, "Observed"), present ? groups[g++].at("S").ToDouble() : 0.0) << "row " << i;
    }
    EXPECT_EQ(g, groups.size());
    EXPECT_EQ(detail[0].at("G").ToString(), "a");
    EXPECT_EQ(detail[values.size()].at("G").ToString(), "b");
    EXPECT_EQ(text(detail[values.size() - 1].at("C")), "red");
    EXPECT_EQ(text(detail.back().at("C")), "Red");
    EXPECT_EQ(Num(detail.back(), "Observed"), 1e16 + 2);
}

// A text in a number compare field is refused under every missing-value
// mode, as without one: a text compares above every number, and a bound
// above once dropped it without a word.
TEST_F(ChiSquare, ATextInANumberCompareFieldIsRefusedUnderEveryMode) {
    AddData();
    db->Execute("UPDATE Data SET X1 = 'n/a' WHERE X1 = 9");
    const vb::Variant none = vb::Variant::Null();
    const std::vector<std::tuple<const char*, vb::Variant, vb::Variant, vb::Variant>> modes = {{"0", none, none, none},
                                                                                               {"1", 2.0, none, none},
                                                                                               {"2", none, none, 2.5},
                                                                                               {"2", none, 1.5, none},
                                                                                               {"2", none, 1.5, 2.5}};
    for (const auto& [type, equal, low, high] : modes) {
        StoredScenario s = StoredScenario::Of("N", "Chi-Square", {{"G1", "G", 1}, {"X1", "C", 1}}, {});
        s.missingType = type;
        s.missingEqual = equal;
        s.missingLow = low;
        s.missingHigh = high;
        EXPECT_FALSE(Run(AddScenario(db, s)));
        EXPECT_EQ(engine->get_ErrorInfo(),
                  "The field [X1] of [Data] holds the text \"n/a\" where a number is expected, which cannot be "
                  "analysed. Correct that value, or analyse a query that reads it as a missing value and keeps the "
                  "record: one that selects NULLIF([X1], 'n/a') AS [X1] in place of [X1].")
            << type << " " << low.ToString() << " " << high.ToString();
    }
}

// Weights far from 1 scale the counts, the expected count and the statistic
// by the weight. A: 3 records, B: 4 (by hand): expected 3.5, chi-square
// 2 (1/2)^2 / 3.5 = 1/7, each value's share 1/14.
TEST_F(ChiSquare, WeightsFarFromOneScaleTheStatistic) {
    for (const double w : {1.0, 1e300, std::ldexp(1.0, 600), std::ldexp(1.0, -600)}) {
        SCOPED_TRACE(w);
        db->Execute("DELETE FROM Data");
        for (const char* g : {"A", "A", "A", "B", "B", "B", "B"}) AddRow(g, "red", 1, w);
        ASSERT_TRUE(Run(AddScenario(
            db, StoredScenario::Of("N", "Chi-Square", {{"G1", "C", 1}, {"W", "W", 1}}, {{"ChiDetail", true}}))))
            << engine->get_ErrorInfo();
        const auto rows = ReadResultRows(db, "Out1");
        ASSERT_EQ(rows.size(), 1u);
        const auto rel = [](double value, double reference) { return std::fabs(value / reference - 1); };
        EXPECT_LT(rel(Num(rows[0], "Expected"), 3.5 * w), 1e-15);
        EXPECT_LT(rel(Num(rows[0], "Chi-Square"), w / 7), 1e-14);
        for (const Row& d : ReadResultRows(db, "Out2")) EXPECT_LT(rel(Num(d, "Chi-Square"), w / 14), 1e-14);
    }
}

// The advice for a BLOB makes a compare field a computed one, which has no
// declared type: beside a whole-number field its values stay numbers, as in
// the table itself.
TEST_F(ChiSquare, ACompareFieldReadThroughAQueryKeepsNumbersNumbers) {
    db->Execute("CREATE TABLE Ints (g TEXT, a INTEGER, b INTEGER)");
    db->Execute("INSERT INTO Ints VALUES ('A', 1, 2)");
    db->Execute("INSERT INTO Ints VALUES ('A', Null, 1)");
    db->Execute("CREATE VIEW Advised AS SELECT g, IIF(typeof([a]) = 'blob', NULL, [a]) AS a, b FROM Ints");
    StoredScenario s =
        StoredScenario::Of("N", "Chi-Square", {{"g", "G", 1}, {"a", "C", 1}, {"b", "C", 2}}, {{"ChiDetail", true}});
    s.input = "Advised";
    ASSERT_TRUE(Run(AddScenario(db, s))) << engine->get_ErrorInfo();
    const auto values =
        ReadQueryRows(db, "SELECT typeof(Compare_Value) AS t, Compare_Value AS v FROM Out2 WHERE Compare_Value > 0;");
    ASSERT_EQ(values.size(), 3u);  // a: 1; b: 1, 2
    for (const Row& v : values) EXPECT_NE(v.at("t").ToString(), "text") << v.at("v").ToString();
}
