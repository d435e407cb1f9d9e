// Friedman's test end to end: rank sums per field, the statistic without a
// tie correction, listwise-missing records, weights and the detail table.
//
// Reference values: R 4.2 (Rscript). Ranks within each record from
// t(apply(m, 1, rank)) (ties share the mean of their positions), weighted
// records repeated by their weight. Statistic without tie correction, as the
// result table has it: 12 / (n k (k+1)) * sum(R^2) - 3 n (k+1) with
// pchisq(s, k - 1, lower.tail = FALSE); friedman.test(m) gives the same where
// no record holds ties (it corrects for ties otherwise: 0.1578947 for group P).
// Tolerance 1e-12 on statistics, 1e-13 on probabilities.
#include <cmath>
#include <string>
#include <utility>
#include <vector>

#include "EngineTestSupport.h"

using namespace enginetest;

namespace {

using Row = ResultRow;

// R's probabilities are good to the last digit, and so are the engine's.
constexpr double kChiProbTol = 1e-13;

class Friedman : public EngineTest {
protected:
    void SetUp() override {
        EngineTest::SetUp();
        dao::TableDefPtr t = db->CreateTableDef("Blocks");
        AddField(t, "G", dao::dbText, 10);
        for (const char* f : {"A", "B", "C", "D", "W"}) AddField(t, f, dao::dbDouble);
        db->TableDefs()->Append(t);
    }

    void AddRow(const char* g, std::vector<vb::Variant> values, vb::Variant w) {
        dao::RecordsetPtr rs = db->OpenRecordset("Blocks", dao::dbOpenTable);
        rs->AddNew();
        rs->Fields(std::string_view("G"))->Value(std::string(g));
        const char* names[] = {"A", "B", "C", "D"};
        for (size_t i = 0; i < values.size(); ++i) rs->Fields(std::string_view(names[i]))->Value(values[i]);
        rs->Fields(std::string_view("W"))->Value(w);
        rs->Update();
        rs->Close();
    }

    void AddData() {
        const vb::Variant null = vb::Variant::Null();
        // Group P: ties inside two records (one of weight 2), a record with a
        // Null field and one of weight 0: both left out whole.
        AddRow("P", {1.0, 2.0, 3.0, 4.0}, 1.0);
        AddRow("P", {2.0, 1.0, 4.0, 3.0}, 1.0);
        AddRow("P", {3.0, 3.0, 1.0, 2.0}, 1.0);
        AddRow("P", {4.0, 2.0, 2.0, 1.0}, 2.0);
        AddRow("P", {null, 1.0, 2.0, 3.0}, 1.0);
        AddRow("P", {1.0, 4.0, 2.0, 3.0}, 1.0);
        AddRow("P", {2.0, 3.0, 1.0, 4.0}, 0.0);
        // Group Q: no ties.
        AddRow("Q", {5.0, 3.0, 1.0, 2.0}, 1.0);
        AddRow("Q", {4.0, 1.0, 2.0, 3.0}, 1.0);
        AddRow("Q", {6.0, 2.0, 3.0, 1.0}, 1.0);
        AddRow("Q", {1.0, 2.0, 4.0, 3.0}, 1.0);
        AddRow("Q", {2.0, 4.0, 1.0, 3.0}, 1.0);
        // Group R: no usable record.
        AddRow("R", {1.0, null, 2.0, 3.0}, 1.0);
        AddRow("R", {1.0, 2.0, 2.0, 3.0}, null);
    }

    static StoredScenario NFieldsScenario(bool weighted, std::vector<std::string> fields = {"A", "B", "C", "D"},
                                          bool detail = true) {
        StoredScenario scenario;
        scenario.family = "N";
        scenario.subType = "N Fields";
        scenario.input = "Blocks";
        if (!detail) scenario.output2 = "";
        scenario.fields = {{"G", "G", 1}};
        int16_t pos = 1;
        for (const std::string& f : fields) scenario.fields.emplace_back(f, "X", pos++);
        if (weighted) scenario.fields.emplace_back("W", "W", 1);
        return scenario;
    }
    int32_t Scenario(bool weighted, std::vector<std::string> fields = {"A", "B", "C", "D"}, bool detail = true) {
        return AddScenario(db, NFieldsScenario(weighted, std::move(fields), detail));
    }

    // The result row of group `g`; the test fails when there is not one.
    Row GroupResult(const std::string& g) {
        auto rows = ReadResultRows(db, "Out1", "G = '" + g + "'");
        EXPECT_EQ(rows.size(), 1u) << "group " << g;
        return rows.size() == 1 ? rows[0] : Row{};
    }
};

TEST_F(Friedman, TiesInsideARecordListwiseMissingAndWeights) {
    AddData();
    ASSERT_TRUE(Run(Scenario(true))) << engine->get_ErrorInfo();
    const std::vector<std::string> columns = {"StatOutputID", "G",      "Count",       "Observations", "Missing",
                                              "DF",           "Fields", "Chi-Squared", "Friedman_Prob"};
    EXPECT_EQ(ColumnNames(db, "Out1"), columns);
    auto rows = ReadResultRows(db, "Out1");
    ASSERT_EQ(rows.size(), 3u);
    const Row& p = rows[0];
    EXPECT_EQ(p.at("G").ToString(), "P");
    EXPECT_EQ(Num(p, "Count"), 6);         // weights 1 + 1 + 1 + 2 + 1
    EXPECT_EQ(Num(p, "Observations"), 5);  // usable records
    EXPECT_EQ(Num(p, "Missing"), 2);       // the Null field and the weight 0
    EXPECT_EQ(Num(p, "DF"), 3);
    EXPECT_EQ(Num(p, "Fields"), 4);
    EXPECT_NEAR(Num(p, "Chi-Squared"), 0.15, 1e-12);
    EXPECT_NEAR(Num(p, "Friedman_Prob"), 0.98522605819435671, kChiProbTol);

    // Rank sums 15.5, 15.5, 15, 14 (R: colSums of the ranks), mean ranks over W.
    auto detail = ReadResultRows(db, "Out2", "G = 'P'");
    ASSERT_EQ(detail.size(), 4u);
    const char* names[] = {"A", "B", "C", "D"};
    const double sums[] = {15.5, 15.5, 15, 14};
    for (size_t i = 0; i < 4; ++i) {
        EXPECT_EQ(detail[i].at("DataField").ToString(), names[i]);
        EXPECT_EQ(Num(detail[i], "Count"), 6);
        EXPECT_DOUBLE_EQ(Num(detail[i], "SumRanks"), sums[i]);
        EXPECT_DOUBLE_EQ(Num(detail[i], "MeanRank"), sums[i] / 6);
    }
}

TEST_F(Friedman, WithoutTiesMatchesFriedmanTest) {
    AddData();
    ASSERT_TRUE(Run(Scenario(false))) << engine->get_ErrorInfo();
    const Row row = GroupResult("Q");
    // R: friedman.test(Q) statistic and p.value; rank sums 15, 12, 11, 12.
    EXPECT_EQ(Num(row, "Count"), 5);
    EXPECT_NEAR(Num(row, "Chi-Squared"), 1.08, 1e-12);
    EXPECT_NEAR(Num(row, "Friedman_Prob"), 0.78190422433863116, kChiProbTol);
    auto detail = ReadResultRows(db, "Out2", "G = 'Q'");
    ASSERT_EQ(detail.size(), 4u);
    EXPECT_DOUBLE_EQ(Num(detail[0], "SumRanks"), 15);
    EXPECT_DOUBLE_EQ(Num(detail[2], "SumRanks"), 11);
    // Unweighted: the weight-0 record of group P counts, with ranks 2, 3, 1, 4.
    const Row p = GroupResult("P");
    EXPECT_EQ(Num(p, "Count"), 6);
    EXPECT_EQ(Num(p, "Missing"), 1);
}

// Records weighing about a million each whose rank sums nearly agree: the
// statistic is the small difference of two terms near 1.4e8. Expected value
// from exact fractions of 12 / (n k (k+1)) sum R^2 - 3 n (k+1).
TEST_F(Friedman, ASmallStatisticOverManyWeightedRecordsKeepsItsDigits) {
    AddRow("S", {1.0, 2.0, 3.0}, 1000003.0);
    AddRow("S", {2.0, 3.0, 1.0}, 999999.0);
    AddRow("S", {3.0, 1.0, 2.0}, 1000001.0);
    AddRow("S", {1.0, 3.0, 2.0}, 999997.0);
    AddRow("S", {3.0, 2.0, 1.0}, 1000000.0);
    AddRow("S", {2.0, 1.0, 3.0}, 1000002.0);
    ASSERT_TRUE(Run(Scenario(true, {"A", "B", "C"}))) << engine->get_ErrorInfo();
    const Row row = GroupResult("S");
    EXPECT_EQ(Num(row, "Count"), 6000002);
    EXPECT_NEAR(Num(row, "Chi-Squared"), 1.43333285555571481e-05, 1.43e-05 * 1e-13);
}

// Group Q's records at equal weights w far from 1: W = 5w and every rank sum
// is w times the unweighted one, so the statistic is w times 1.08 (the
// unweighted one above), the mean ranks stay.
TEST_F(Friedman, TheStatisticHoldsAtEveryScaleOfTheWeights) {
    const std::vector<std::vector<vb::Variant>> q = {
        {5.0, 3.0, 1.0, 2.0}, {4.0, 1.0, 2.0, 3.0}, {6.0, 2.0, 3.0, 1.0}, {1.0, 2.0, 4.0, 3.0}, {2.0, 4.0, 1.0, 3.0}};
    const std::pair<const char*, double> scales[] = {
        {"big", 1e300}, {"huge", std::ldexp(1.0, 600)}, {"tiny", std::ldexp(1.0, -600)}};
    for (const auto& [g, w] : scales) {
        for (const auto& values : q) AddRow(g, values, w);
    }
    ASSERT_TRUE(Run(Scenario(true))) << engine->get_ErrorInfo();
    for (const auto& [g, w] : scales) {
        const Row row = GroupResult(g);
        EXPECT_NEAR(Num(row, "Count") / w, 5, 1e-14) << g;
        EXPECT_NEAR(Num(row, "Chi-Squared") / w, 1.08, 1e-12) << g;
        const auto detail = ReadResultRows(db, "Out2", std::string("G = '") + g + "'");
        ASSERT_EQ(detail.size(), 4u) << g;
        EXPECT_NEAR(Num(detail[0], "SumRanks") / w, 15, 1e-12) << g;
        EXPECT_NEAR(Num(detail[0], "MeanRank"), 3, 1e-14) << g;
    }
    EXPECT_EQ(Num(GroupResult("big"), "Friedman_Prob"), 0);
    EXPECT_NEAR(Num(GroupResult("tiny"), "Friedman_Prob"), 1, 1e-15);

    // Two records ranked alike at 5e307: the statistic 6 w is beyond a
    // Double. Refused, naming the weights.
    AddRow("over", {1.0, 2.0, 3.0, 4.0}, 5e307);
    AddRow("over", {1.0, 2.0, 3.0, 4.0}, 5e307);
    EXPECT_FALSE(Run(Scenario(true, {"A", "B", "C", "D"}, false)));
    const std::string text = engine->get_ErrorInfo();
    EXPECT_NE(text.find("The Chi-Squared of [Blocks]"), std::string::npos) << text;
    EXPECT_NE(text.find("the weights in the field [W]"), std::string::npos) << text;
}

TEST_F(Friedman, GroupWithoutAUsableRecord) {
    AddData();
    ASSERT_TRUE(Run(Scenario(true))) << engine->get_ErrorInfo();
    const Row row = GroupResult("R");
    EXPECT_EQ(Num(row, "Count"), 0);
    EXPECT_EQ(Num(row, "Missing"), 2);
    EXPECT_EQ(Num(row, "DF"), 3);
    EXPECT_TRUE(IsNull(row, "Chi-Squared"));
    EXPECT_TRUE(IsNull(row, "Friedman_Prob"));
    EXPECT_TRUE(ReadResultRows(db, "Out2", "G = 'R'").empty());
}

// Two fields: the statistic is defined (with one degree of freedom) and is
// written with its detail rows. R: m <- cbind(c(5, 4, 6, 1, 2), c(3, 1, 2, 2,
// 4)); friedman.test(m) gives 0.2 and p-value 0.65472084601857694 (printed
// with print(..., digits = 17)); colSums(t(apply(m, 1, rank))) gives 8 and 7.
TEST_F(Friedman, TwoFieldsMatchFriedmanTest) {
    AddData();
    ASSERT_TRUE(Run(Scenario(false, {"A", "B"}))) << engine->get_ErrorInfo();
    const Row row = GroupResult("Q");
    EXPECT_EQ(Num(row, "Fields"), 2);
    EXPECT_EQ(Num(row, "DF"), 1);
    EXPECT_NEAR(Num(row, "Chi-Squared"), 0.2, 1e-12);
    EXPECT_NEAR(Num(row, "Friedman_Prob"), 0.65472084601857694, kChiProbTol);
    auto detail = ReadResultRows(db, "Out2", "G = 'Q'");
    ASSERT_EQ(detail.size(), 2u);
    EXPECT_DOUBLE_EQ(Num(detail[0], "SumRanks"), 8);
    EXPECT_DOUBLE_EQ(Num(detail[1], "SumRanks"), 7);
    EXPECT_DOUBLE_EQ(Num(detail[1], "MeanRank"), 7.0 / 5);
}

TEST_F(Friedman, NoDetailTableWithoutASecondName) {
    AddData();
    ASSERT_TRUE(Run(Scenario(false, {"A", "B", "C", "D"}, false))) << engine->get_ErrorInfo();
    db->TableDefs()->Refresh();
    EXPECT_FALSE(db->TableDefs()->Contains("Out2"));
    EXPECT_EQ(ReadResultRows(db, "Out1").size(), 3u);
}

TEST_F(Friedman, MissingValueRuleLeavesTheWholeRecordOut) {
    AddData();
    StoredScenario scenario = NFieldsScenario(false);
    scenario.missingType = "1";
    scenario.missingEqual = 6.0;  // the third record of group Q goes
    ASSERT_TRUE(Run(AddScenario(db, scenario))) << engine->get_ErrorInfo();
    const Row row = GroupResult("Q");
    EXPECT_EQ(Num(row, "Count"), 4);
    EXPECT_EQ(Num(row, "Missing"), 1);
}

}  // namespace
