// "N Sample" scenarios: the Kruskal-Wallis test with its detail table.
#include <cmath>
#include <tuple>
#include <utility>

#include "NonParam2Support.h"

namespace enginetest {
namespace {

class Kruskal : public NonParamTest {};

TEST_F(Kruskal, TiedSamplesAgainstRWithDetailRows) {
    FillSample("g", "A", {2.1, 3.4, 3.4, 5.0});
    FillSample("g", "B", {1.0, 3.4, 4.4});
    FillSample("g", "C", {5.0, 6.2, 7.7, 8.1});
    ASSERT_TRUE(Run(Scenario("N Sample", {}))) << engine->get_ErrorInfo();

    const auto main = ReadResultRows(db, "Out1");
    ASSERT_EQ(main.size(), 1u);
    const ResultRow& r = main[0];
    EXPECT_EQ(r.at("DataField").ToString(), "X1");
    EXPECT_EQ(Num(r, "Count"), 11);
    EXPECT_EQ(Num(r, "Missing"), 0);
    EXPECT_EQ(Num(r, "Groups"), 3);
    // Blocks 3.4 (three cases) and 5.0 (two): SumTies = 24 + 6, not divided
    EXPECT_EQ(Num(r, "Ties"), 5);
    EXPECT_EQ(Num(r, "TiedGroups"), 2);
    EXPECT_EQ(Num(r, "SumTies"), 30);
    // Plain H by hand from R 4.2's rank(): 12/(11*12) * (17.5^2/4 + 11^2/3 + 37.5^2/4) - 36;
    // R 4.2: pchisq(H, 2, lower.tail=FALSE)
    EXPECT_NEAR(Num(r, "H"), 6.58712121212122, 1e-11);
    EXPECT_NEAR(Num(r, "Prob"), 0.0371214389848219, 1e-9);
    // R 4.2: kruskal.test(list(A, B, C)) (tie-corrected): 6.74031007751938, p 0.0343843060300436
    EXPECT_NEAR(Num(r, "H_(ties)"), 6.74031007751938, 1e-11);
    EXPECT_NEAR(Num(r, "Prob_(ties)"), 0.0343843060300436, 1e-9);

    const auto detail = ReadResultRows(db, "Out2");
    ASSERT_EQ(detail.size(), 3u);
    const std::vector<std::tuple<std::string, double, double>> expected = {
        {"A", 4, 17.5}, {"B", 3, 11}, {"C", 4, 37.5}};
    for (size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(detail[i].at("G1").ToString(), "g");
        EXPECT_EQ(detail[i].at("G2").ToString(), std::get<0>(expected[i]));
        EXPECT_EQ(Num(detail[i], "Count"), std::get<1>(expected[i]));
        EXPECT_DOUBLE_EQ(Num(detail[i], "SumRanks"), std::get<2>(expected[i]));
        EXPECT_DOUBLE_EQ(Num(detail[i], "MeanRank"), std::get<2>(expected[i]) / std::get<1>(expected[i]));
    }
}

TEST_F(Kruskal, OneGroupOrNoDataLeavesTheTestNull) {
    FillSample("g1", "A", {1, 2});
    FillSample("g1", "B", {3, 4});
    FillSample("g2", "B", {1, 2, 3});                                            // one compare value only
    Fill({{"g3", "A", vb::Variant::Null()}, {"g3", "B", vb::Variant::Null()}});  // no data at all
    ASSERT_TRUE(Run(Scenario("N Sample", {}))) << engine->get_ErrorInfo();
    const auto rows = ReadResultRows(db, "Out1");
    ASSERT_EQ(rows.size(), 3u);
    // g1: A = {1, 2}, B = {3, 4}: H = 12/20 * (9/2 + 49/2) - 15 = 2.4
    EXPECT_NEAR(Num(rows[0], "H"), 2.4, 1e-12);
    EXPECT_EQ(Num(rows[1], "Groups"), 1);
    EXPECT_EQ(Num(rows[1], "Count"), 3);
    for (const char* column : {"H", "Prob", "H_(ties)", "Prob_(ties)"}) {
        EXPECT_TRUE(IsNull(rows[1], column)) << column;
        EXPECT_TRUE(IsNull(rows[2], column)) << column;
    }
    EXPECT_EQ(Num(rows[2], "Count"), 0);
    EXPECT_EQ(Num(rows[2], "Groups"), 0);
    EXPECT_EQ(Num(rows[2], "Missing"), 2);
    const auto detail = ReadResultRows(db, "Out2");
    EXPECT_EQ(detail.size(), 3u);  // g1 A, g1 B, g2 B
}

TEST_F(Kruskal, AWeightOfThreeIsATiedBlockOfItsOwn) {
    Fill({{"g", "A", 1.0, vb::Variant::Null(), 3.0},
          {"g", "A", 2.0, vb::Variant::Null(), 1.0},
          {"g", "B", 3.0, vb::Variant::Null(), 1.0},
          {"g", "B", 4.0, vb::Variant::Null(), 1.0}});
    ASSERT_TRUE(Run(Scenario("N Sample", {}, {"X1"}, true, true))) << engine->get_ErrorInfo();
    const auto rows = ReadResultRows(db, "Out1");
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(Num(rows[0], "Ties"), 1);
    EXPECT_EQ(Num(rows[0], "TiedGroups"), 1);
    EXPECT_EQ(Num(rows[0], "SumTies"), 24);
    EXPECT_EQ(Num(rows[0], "Count"), 6);
    EXPECT_EQ(Num(rows[0], "Observations"), 4);
    const auto detail = ReadResultRows(db, "Out2");
    ASSERT_EQ(detail.size(), 2u);
    EXPECT_EQ(Num(detail[0], "Count"), 4);         // 3 + 1 observations
    EXPECT_EQ(Num(detail[0], "Observations"), 2);  // records
    EXPECT_DOUBLE_EQ(Num(detail[0], "SumRanks"), 2 * 3 + 4);
}

// Nine values weighing about a million each in three groups whose mean ranks
// nearly agree: H is the small difference of two terms near 3e7. Expected
// value from exact fractions of 12 / (N (N + 1)) sum R^2 / n - 3 (N + 1).
TEST_F(Kruskal, ASmallHOverManyWeightedRecordsKeepsItsDigits) {
    const vb::Variant null = vb::Variant::Null();
    Fill({{"g", "A", 1.0, null, 1000003.0},
          {"g", "A", 6.0, null, 999999.0},
          {"g", "A", 8.0, null, 1000001.0},
          {"g", "B", 2.0, null, 1000000.0},
          {"g", "B", 4.0, null, 999998.0},
          {"g", "B", 9.0, null, 1000002.0},
          {"g", "C", 3.0, null, 1000001.0},
          {"g", "C", 5.0, null, 999997.0},
          {"g", "C", 7.0, null, 1000000.0}});
    ASSERT_TRUE(Run(Scenario("N Sample", {}, {"X1"}, true, true))) << engine->get_ErrorInfo();
    const auto rows = ReadResultRows(db, "Out1");
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(Num(rows[0], "Count"), 9000001);
    EXPECT_NEAR(Num(rows[0], "H"), 1.88394787325335869e-05, 1.88e-05 * 1e-13);
}

// Whole parts of the weights are the counts: a record below 1 takes no rank
// and is no observation, a sample of such records none. Group f expands to
// p = {3, 3, 5}, q = {4, 6}: ranks 1.5 1.5 4 and 3 5. Groups s300 and s480
// weigh every record 2^300 or 2^480: H is that of the expanded samples p =
// {1, 2, 5}, q = {3, 4}, r = {6, 7} (exact rational arithmetic).
TEST_F(Kruskal, WholeWeightsAtAnyScaleAreTheCounts) {
    const vb::Variant null = vb::Variant::Null();
    Fill({{"f", "p", 3.0, null, 0.5},
          {"f", "p", 3.0, null, 2.7},
          {"f", "p", 5.0, null, 1.0},
          {"f", "p", 7.0, null, 0.9},
          {"f", "q", 4.0, null, 1.0},
          {"f", "q", 6.0, null, 1.2},
          {"f", "r", 2.0, null, 0.5},
          {"f", "r", 8.0, null, 0.9}});
    for (const auto& [group, w] : {std::pair<const char*, double>{"s300", 0x1p300}, {"s480", 0x1p480}}) {
        Fill({{group, "p", 1.0, null, w},
              {group, "p", 2.0, null, w},
              {group, "p", 5.0, null, w},
              {group, "q", 3.0, null, w},
              {group, "q", 4.0, null, w},
              {group, "r", 6.0, null, w},
              {group, "r", 7.0, null, w}});
    }
    ASSERT_TRUE(Run(Scenario("N Sample", {}, {"X1"}, true, true))) << engine->get_ErrorInfo();
    const auto rows = ReadResultRows(db, "Out1");
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(Num(rows[0], "Count"), 5);
    EXPECT_EQ(Num(rows[0], "Groups"), 2);
    EXPECT_EQ(Num(rows[0], "Ties"), 1);
    EXPECT_EQ(Num(rows[0], "SumTies"), 6);
    // 12 / 30 (7^2 / 3 + 8^2 / 2) - 18, and over 1 - 6 / 120
    EXPECT_NEAR(Num(rows[0], "H"), 4.0 / 3, 1e-14);
    EXPECT_NEAR(Num(rows[0], "H_(ties)"), 4.0 / 3 / 0.95, 1e-14);
    EXPECT_NEAR(Num(rows[0], "Prob"), std::erfc(std::sqrt(2.0 / 3)), 1e-14);
    const auto near = [](double got, double expected) { EXPECT_NEAR(got, expected, std::fabs(expected) * 1e-13); };
    near(Num(rows[1], "H"), 9.14587581211402e90);
    near(Num(rows[1], "H_(ties)"), 9.33641489153306e90);
    near(Num(rows[1], "SumTies"), 5.91689874871945e271);
    EXPECT_EQ(Num(rows[1], "Prob"), 0);
    near(Num(rows[2], "H"), 1.40160138993779e145);
    near(Num(rows[2], "H_(ties)"), 1.43080141889483e145);
    EXPECT_TRUE(IsNull(rows[2], "SumTies")) << "about 2.1e434";

    const auto detail = ReadResultRows(db, "Out2");
    ASSERT_EQ(detail.size(), 8u);  // f: p and q; s300 and s480: p, q and r
    EXPECT_EQ(Num(detail[0], "Count"), 3);
    EXPECT_EQ(Num(detail[0], "Observations"), 2) << "the record of weight 0.5 took no rank";
    EXPECT_EQ(Num(detail[0], "SumRanks"), 7);
    EXPECT_DOUBLE_EQ(Num(detail[0], "MeanRank"), 7.0 / 3);
    EXPECT_EQ(detail[1].at("G2").ToString(), "q");
    EXPECT_EQ(Num(detail[1], "MeanRank"), 4);
    near(Num(detail[2], "SumRanks"), 2.69718511977265e181);
    near(Num(detail[2], "MeanRank"), 4.41357794872472e90);
    near(Num(detail[5], "MeanRank"), 6.76378852568465e144);
}

TEST_F(Kruskal, NoDetailTableWithoutASecondName) {
    FillSample("g", "A", {1, 2});
    FillSample("g", "B", {3, 4});
    StoredScenario scenario;
    scenario.family = "N";
    scenario.subType = "N Sample";
    scenario.output2 = "";
    scenario.fields = {{"G2", "C", 1}, {"X1", "X", 1}};
    ASSERT_TRUE(Run(AddScenario(db, scenario))) << engine->get_ErrorInfo();
    EXPECT_EQ(ReadResultRows(db, "Out1").size(), 1u);
    EXPECT_FALSE(db->TableDefs()->Contains("Out2"));
}

}  // namespace
}  // namespace enginetest

namespace enginetest {
namespace {

TEST_F(Kruskal, ReplacesTablesOfEarlierRuns) {
    FillSample("g", "A", {1, 2});
    FillSample("g", "B", {3, 4});
    ASSERT_TRUE(Run(Scenario("2 Sample", {{"NPTwoType", "Mann"}}))) << engine->get_ErrorInfo();
    ASSERT_TRUE(Run(Scenario("N Sample", {}))) << engine->get_ErrorInfo();
    ASSERT_TRUE(Run(Scenario("N Sample", {}))) << engine->get_ErrorInfo();
    EXPECT_EQ(ReadResultRows(db, "Out1").size(), 1u);
    EXPECT_EQ(ReadResultRows(db, "Out2").size(), 2u);
}

}  // namespace
}  // namespace enginetest
