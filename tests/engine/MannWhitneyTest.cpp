// "2 Sample" scenarios of the Mann-Whitney type: the rank-sum test and the
// two-sample Kolmogorov-Smirnov test for every pair of compare values.
#include <algorithm>
#include <cmath>
#include <tuple>

#include "NonParam2Support.h"
#include "analysis/nonparametric/TwoSampleMath.h"

namespace enginetest {
namespace {

class MannWhitney : public NonParamTest {
protected:
    int32_t MannScenario() { return Scenario("2 Sample", {{"NPTwoType", "Mann"}}); }
};

TEST_F(MannWhitney, UntiedSamplesAgainstR) {
    FillSample("g", "A", {1.1, 2.3, 3.5, 4.2, 5.9});
    FillSample("g", "B", {2.8, 6.1, 7.4, 8.0});
    ASSERT_TRUE(Run(MannScenario())) << engine->get_ErrorInfo();
    const auto rows = ReadResultRows(db, "Out1");
    ASSERT_EQ(rows.size(), 1u);
    const ResultRow& r = rows[0];
    EXPECT_EQ(r.at("G1").ToString(), "g");
    EXPECT_EQ(r.at("DataField").ToString(), "X1");
    EXPECT_EQ(r.at("G2-1").ToString(), "A");
    EXPECT_EQ(r.at("G2-2").ToString(), "B");
    EXPECT_EQ(Num(r, "Count"), 9);
    EXPECT_EQ(Num(r, "Cases-1"), 5);
    EXPECT_EQ(Num(r, "Cases-2"), 4);
    EXPECT_EQ(Num(r, "SumRank-1"), 18);  // ranks 1, 2, 4, 5, 6
    EXPECT_EQ(Num(r, "SumRank-2"), 27);
    EXPECT_DOUBLE_EQ(Num(r, "MeanRank-1"), 3.6);
    EXPECT_DOUBLE_EQ(Num(r, "MeanRank-2"), 6.75);
    EXPECT_EQ(Num(r, "Ties"), 0);
    EXPECT_EQ(Num(r, "TiedGroups"), 0);
    EXPECT_EQ(Num(r, "SumTies"), 0);
    // R 4.2: wilcox.test(x, y, exact=FALSE, correct=FALSE)$statistic = 3 (the smaller U)
    EXPECT_EQ(Num(r, "MW_U"), 3);
    EXPECT_EQ(Num(r, "MW_U_Prime"), 17);
    EXPECT_EQ(Num(r, "MW_W"), 27);  // rank sum of the smaller sample
    // Without ties R's z is the plain one: (U - 10) / sqrt(20/72 * 60)
    EXPECT_NEAR(Num(r, "MW_Z"), -1.71464281994822, 1e-12);
    // R 4.2: wilcox.test(x, y, exact=FALSE, correct=FALSE)$p.value
    EXPECT_NEAR(Num(r, "MW_Prob"), 0.0864107329737, 1e-9);
    EXPECT_NEAR(Num(r, "MW_Z_(ties)"), Num(r, "MW_Z"), 1e-12);
    EXPECT_NEAR(Num(r, "MW_Prob_(ties)"), 0.0864107329737, 1e-9);
    // R 4.2: ks.test(x, y, exact=FALSE): D = 0.75, p-value 0.164079197726652
    // (the limiting distribution; ours is a short series, hence 1e-6)
    EXPECT_DOUBLE_EQ(Num(r, "KS_MaxAbsoluteDiff"), 0.75);
    EXPECT_DOUBLE_EQ(Num(r, "KS_MaxPosDiff"), 0.75);
    EXPECT_EQ(Num(r, "KS_MaxNegDiff"), 0);
    EXPECT_NEAR(Num(r, "KS_Z"), 1.11803398874989, 1e-12);
    EXPECT_NEAR(Num(r, "KS_Prob"), 0.164079197726652, 1e-6);
    // No Observations or Missing columns, also in this table.
    const auto cols = ColumnNames(db, "Out1");
    EXPECT_EQ(std::count(cols.begin(), cols.end(), "Missing"), 0);
    EXPECT_EQ(std::count(cols.begin(), cols.end(), "Observations"), 0);
}

TEST_F(MannWhitney, TiedSamplesGivePlainAndTieCorrectedZ) {
    FillSample("g", "A", {1, 2, 2, 3, 5, 5});
    FillSample("g", "B", {2, 3, 4, 5, 6});
    ASSERT_TRUE(Run(MannScenario())) << engine->get_ErrorInfo();
    const auto rows = ReadResultRows(db, "Out1");
    ASSERT_EQ(rows.size(), 1u);
    const ResultRow& r = rows[0];
    // R 4.2: r <- rank(c(xt, yt)); sum(r[1:6]) = 30.5, sum(r[7:11]) = 35.5
    EXPECT_DOUBLE_EQ(Num(r, "SumRank-1"), 30.5);
    EXPECT_DOUBLE_EQ(Num(r, "SumRank-2"), 35.5);
    // Blocks 2 (three cases), 3 (two), 5 (three): SumTies = (24 + 6 + 24) / 12
    EXPECT_EQ(Num(r, "Ties"), 8);
    EXPECT_EQ(Num(r, "TiedGroups"), 3);
    EXPECT_DOUBLE_EQ(Num(r, "SumTies"), 4.5);
    // R 4.2: wilcox.test(xt, yt, exact=FALSE, correct=FALSE)$statistic = 9.5
    EXPECT_DOUBLE_EQ(Num(r, "MW_U"), 9.5);
    // Plain z, by hand: (9.5 - 15) / sqrt(30 / 110 * 110); R 4.2: 2 * pnorm(z)
    EXPECT_NEAR(Num(r, "MW_Z"), -1.0041580220928, 1e-12);
    EXPECT_NEAR(Num(r, "MW_Prob"), 0.315302452081746, 1e-9);
    // R 4.2: wilcox.test(xt, yt, exact=FALSE, correct=FALSE)$p.value (tie-corrected)
    EXPECT_NEAR(Num(r, "MW_Prob_(ties)"), 0.305198027805172, 1e-9);
    EXPECT_LT(Num(r, "MW_Z_(ties)"), Num(r, "MW_Z"));
    // R 4.2: ks.test(xt, yt, exact=FALSE): D = 0.3, p-value 0.966790760493268
    EXPECT_DOUBLE_EQ(Num(r, "KS_MaxAbsoluteDiff"), 0.3);
    EXPECT_NEAR(Num(r, "KS_Prob"), 0.966790760493268, 1e-6);
}

TEST_F(MannWhitney, ThreeCompareValuesGiveThreePairsAndAnEmptySideNone) {
    FillSample("g1", "A", {1, 2, 3});
    FillSample("g1", "B", {4, 5});
    FillSample("g1", "C", {6, 7});
    FillSample("g2", "A", {1, 5});
    Fill({{"g2", "B", vb::Variant::Null()}, {"g2", "B", vb::Variant::Null()}});
    FillSample("g2", "C", {2, 3});
    ASSERT_TRUE(Run(MannScenario())) << engine->get_ErrorInfo();
    const auto rows = ReadResultRows(db, "Out1");
    ASSERT_EQ(rows.size(), 4u);
    const std::vector<std::tuple<std::string, std::string, std::string>> expected = {
        {"g1", "A", "B"}, {"g1", "A", "C"}, {"g1", "B", "C"}, {"g2", "A", "C"}};
    for (size_t i = 0; i < rows.size(); ++i) {
        EXPECT_EQ(rows[i].at("G1").ToString(), std::get<0>(expected[i]));
        EXPECT_EQ(rows[i].at("G2-1").ToString(), std::get<1>(expected[i]));
        EXPECT_EQ(rows[i].at("G2-2").ToString(), std::get<2>(expected[i]));
    }
    // Complete separation: U = 0, D = 1.
    EXPECT_EQ(Num(rows[0], "MW_U"), 0);
    EXPECT_EQ(Num(rows[0], "KS_MaxAbsoluteDiff"), 1);
    // g2 A = {1, 5} against C = {2, 3}: U1 = 2 (5 beats both), U = 2
    EXPECT_EQ(Num(rows[3], "MW_U"), 2);
}

TEST_F(MannWhitney, AllValuesEqualLeaveTieCorrectedZNull) {
    FillSample("g", "A", {3, 3});
    FillSample("g", "B", {3, 3, 3});
    ASSERT_TRUE(Run(MannScenario())) << engine->get_ErrorInfo();
    const auto rows = ReadResultRows(db, "Out1");
    ASSERT_EQ(rows.size(), 1u);
    // SumTies = (125 - 5) / 12 = V0
    EXPECT_DOUBLE_EQ(Num(rows[0], "SumTies"), 10);
    EXPECT_TRUE(IsNull(rows[0], "MW_Z_(ties)"));
    EXPECT_TRUE(IsNull(rows[0], "MW_Prob_(ties)"));
    EXPECT_EQ(Num(rows[0], "KS_Z"), 0);
    EXPECT_EQ(Num(rows[0], "KS_Prob"), 1);
}

TEST_F(MannWhitney, NullCompareValueIsASampleOfItsOwn) {
    Fill({{"g", vb::Variant::Null(), 1.0},
          {"g", vb::Variant::Null(), 2.0},
          {"g", "A", 3.0},
          {"g", "B", 4.0},
          {"g", "B", 5.0}});
    ASSERT_TRUE(Run(MannScenario())) << engine->get_ErrorInfo();
    const auto rows = ReadResultRows(db, "Out1");
    ASSERT_EQ(rows.size(), 3u);  // (Null, A), (Null, B), (A, B)
    EXPECT_TRUE(IsNull(rows[0], "G2-1"));
    EXPECT_EQ(rows[0].at("G2-2").ToString(), "A");
    EXPECT_EQ(Num(rows[0], "Cases-1"), 2);
    EXPECT_EQ(Num(rows[0], "Cases-2"), 1);
    EXPECT_EQ(Num(rows[2], "Cases-1"), 1);
    EXPECT_EQ(Num(rows[2], "Cases-2"), 2);
}

TEST_F(MannWhitney, WeightsCountWholeForRanksAndAsTheyAreForCases) {
    Fill({{"g", "A", 1.0, vb::Variant::Null(), 2.7},
          {"g", "A", 2.0, vb::Variant::Null(), 1.0},
          {"g", "B", 3.0, vb::Variant::Null(), 1.0},
          {"g", "B", 4.0, vb::Variant::Null(), 0.5}});
    ASSERT_TRUE(Run(Scenario("2 Sample", {{"NPTwoType", "Mann"}}, {"X1"}, true, true))) << engine->get_ErrorInfo();
    const auto rows = ReadResultRows(db, "Out1");
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_DOUBLE_EQ(Num(rows[0], "Cases-1"), 3.7);
    EXPECT_DOUBLE_EQ(Num(rows[0], "Cases-2"), 1.5);
    // Value 1 stands for two observations (ranks 1, 2), value 2 for rank 3,
    // value 3 for rank 4, value 4 (weight 0.5) for none.
    EXPECT_DOUBLE_EQ(Num(rows[0], "SumRank-1"), 1.5 * 2 + 3);
    EXPECT_DOUBLE_EQ(Num(rows[0], "SumRank-2"), 4);
    EXPECT_EQ(Num(rows[0], "TiedGroups"), 1);
}

// A record stands for the whole part of its weight in every count the tests
// use; one below 1 takes no rank, and a side made only of such records is no
// side. By expansion p = {3, 3, 5}, q = {4, 6}: ranks 1.5 1.5 4 and 3 5.
TEST_F(MannWhitney, WholeWeightsMakeEveryCountAndASideWithoutRanksIsNone) {
    Fill({{"g", "p", 3.0, vb::Variant::Null(), 0.5},
          {"g", "p", 3.0, vb::Variant::Null(), 2.7},
          {"g", "p", 5.0, vb::Variant::Null(), 1.0},
          {"g", "p", 7.0, vb::Variant::Null(), 0.9},
          {"g", "q", 4.0, vb::Variant::Null(), 1.0},
          {"g", "q", 6.0, vb::Variant::Null(), 1.2},
          {"g", "r", 2.0, vb::Variant::Null(), 0.5},
          {"g", "r", 8.0, vb::Variant::Null(), 0.9}});
    ASSERT_TRUE(Run(Scenario("2 Sample", {{"NPTwoType", "Mann"}}, {"X1"}, true, true))) << engine->get_ErrorInfo();
    const auto rows = ReadResultRows(db, "Out1");
    ASSERT_EQ(rows.size(), 1u) << "r has no ranked observation";
    const ResultRow& r = rows[0];
    EXPECT_EQ(r.at("G2-2").ToString(), "q");
    EXPECT_DOUBLE_EQ(Num(r, "Count"), 7.3);
    EXPECT_DOUBLE_EQ(Num(r, "Cases-1"), 5.1);
    EXPECT_DOUBLE_EQ(Num(r, "Cases-2"), 2.2);
    EXPECT_EQ(Num(r, "SumRank-1"), 7);
    EXPECT_EQ(Num(r, "SumRank-2"), 8);
    EXPECT_DOUBLE_EQ(Num(r, "MeanRank-1"), 7.0 / 3);
    EXPECT_EQ(Num(r, "MeanRank-2"), 4);
    EXPECT_EQ(Num(r, "Ties"), 1);  // the record of weight 0.5 took no rank
    EXPECT_EQ(Num(r, "SumTies"), 0.5);
    // U = 7 - 3 * 4 / 2; Z = (1 - 3) / sqrt(6 / 12 * 6), tied (1 - 3) / sqrt(6 / 20 * 9.5)
    EXPECT_EQ(Num(r, "MW_U"), 1);
    EXPECT_EQ(Num(r, "MW_U_Prime"), 5);
    EXPECT_EQ(Num(r, "MW_W"), 8);
    EXPECT_NEAR(Num(r, "MW_Z"), -2 / std::sqrt(3.0), 1e-14);
    EXPECT_NEAR(Num(r, "MW_Z_(ties)"), -2 / std::sqrt(2.85), 1e-14);
    EXPECT_NEAR(Num(r, "MW_Prob"), std::erfc(2 / std::sqrt(6.0)), 1e-14);
    // The cumulatives reach 1: 2/3 after 3, 1/6 after 4, 1/2 after 5, 0 after 6.
    EXPECT_DOUBLE_EQ(Num(r, "KS_MaxAbsoluteDiff"), 2.0 / 3);
    EXPECT_DOUBLE_EQ(Num(r, "KS_MaxPosDiff"), 2.0 / 3);
    EXPECT_EQ(Num(r, "KS_MaxNegDiff"), 0);
    EXPECT_NEAR(Num(r, "KS_Z"), 2.0 / 3 * std::sqrt(1.2), 1e-14);
}

// One weight on every record of a sample is that many copies of it; the
// statistics are those of the expanded samples (exact rational arithmetic,
// square roots to 30 digits) at any scale. p = {1, 2, 5}, q = {3, 4}.
TEST_F(MannWhitney, CommonWeightsAtAnyScaleGiveTheExpandedSamples) {
    struct Case {
        const char* group;
        double wp, wq;
        double R1, U, UPrime, W, Z, ZTies, ksZ;
    };
    const Case cases[] = {
        {"a", 0x1p60, 1, 5.98152598103212e36, 2.30584300921369e18, 4.61168601842739e18, 4.61168601842739e18,
         -0.816496580927726, -0.866025403784439, 0.942809041582063},
        {"b", 0x1p500, 0x1p500, 6.96480594671074e301, 2.14301721437253e301, 4.28603442874507e301, 6.42905164311760e301,
         -1.14427105318559e75, -1.16786675322575e75, 1.32129040116519e75},
    };
    for (const Case& c : cases) {
        Fill({{c.group, "p", 1.0, vb::Variant::Null(), c.wp},
              {c.group, "p", 2.0, vb::Variant::Null(), c.wp},
              {c.group, "p", 5.0, vb::Variant::Null(), c.wp},
              {c.group, "q", 3.0, vb::Variant::Null(), c.wq},
              {c.group, "q", 4.0, vb::Variant::Null(), c.wq}});
    }
    const int32_t id = Scenario("2 Sample", {{"NPTwoType", "Mann"}}, {"X1"}, true, true);
    ASSERT_TRUE(engine->RunScenario(id, vb::Variant(vb::ObjectPtr(db)), vb::Variant::Missing(), vb::Variant::Missing(),
                                    vb::Variant::Missing(), vb::Variant::Missing(), vb::Variant::Missing(),
                                    vb::Variant::Missing(), vb::Variant::Missing(), vb::Variant::Missing(), true))
        << engine->get_ErrorInfo();
    const auto rows = ReadResultRows(db, "Out1");
    ASSERT_EQ(rows.size(), 2u);
    const auto near = [](double got, double expected) { EXPECT_NEAR(got, expected, std::fabs(expected) * 1e-13); };
    for (size_t i = 0; i < 2; ++i) {
        const Case& c = cases[i];
        const ResultRow& r = rows[i];
        SCOPED_TRACE(c.group);
        near(Num(r, "SumRank-1"), c.R1);
        near(Num(r, "MW_U"), c.U);
        near(Num(r, "MW_U_Prime"), c.UPrime);
        near(Num(r, "MW_W"), c.W);
        near(Num(r, "MW_Z"), c.Z);
        near(Num(r, "MW_Z_(ties)"), c.ZTies);
        EXPECT_DOUBLE_EQ(Num(r, "KS_MaxAbsoluteDiff"), 2.0 / 3);
        EXPECT_NEAR(Num(r, "KS_MaxNegDiff"), -1.0 / 3, 1e-14);
        near(Num(r, "KS_Z"), c.ksZ);
    }
    near(Num(rows[0], "MW_Prob"), 0.414216178242525);
    near(Num(rows[0], "SumTies"), 3.83123885216472e53);
    // 5 (2^1500 - 2^500) / 12 is beyond a Double: left empty, and said once.
    EXPECT_TRUE(IsNull(rows[1], "SumTies"));
    const auto said = std::count_if(log.statuses.begin(), log.statuses.end(), [](const std::string& s) {
        return s.find("The SumTies of the field [X1] is beyond the largest number") == 0 &&
               s.find("the weights of [W]") != std::string::npos;
    });
    EXPECT_EQ(said, 1);
}

TEST_F(MannWhitney, UnlistedCompareValuesAreCountedAndReportedOnce) {
    FillSample("g", "A", {1, 2, 3});
    FillSample("g", "B", {4, 5});
    // A saved query whose "A" rows read as a new random text on every read:
    // the values met in the sorted read are not among those listed before.
    db->CreateQueryDef("Shifting",
                       "SELECT G1, CASE WHEN G2 = 'B' THEN 'B' ELSE hex(randomblob(8)) END AS G2, X1 FROM Data");
    StoredScenario scenario;
    scenario.family = "N";
    scenario.subType = "2 Sample";
    scenario.input = "Shifting";
    scenario.fields = {{"G1", "G", 1}, {"G2", "C", 1}, {"X1", "X", 1}};
    scenario.options = {{"NPTwoType", "Mann"}};
    const int32_t id = AddScenario(db, scenario);
    ASSERT_TRUE(engine->RunScenario(id, vb::Variant(vb::ObjectPtr(db)), vb::Variant::Missing(), vb::Variant::Missing(),
                                    vb::Variant::Missing(), vb::Variant::Missing(), vb::Variant::Missing(),
                                    vb::Variant::Missing(), vb::Variant::Missing(), vb::Variant::Missing(), true))
        << engine->get_ErrorInfo();
    EXPECT_TRUE(ui.boxes.empty());  // no message box inside the engine
    const auto reports = std::count_if(log.statuses.begin(), log.statuses.end(), [](const std::string& s) {
        return s == "3 records with a compare value not in the list of values were left out...";
    });
    EXPECT_EQ(reports, 1);
    // Only B has values left, so no pair has two sides.
    EXPECT_TRUE(ReadResultRows(db, "Out1").empty());
}

}  // namespace
}  // namespace enginetest

// --- the two-sample arithmetic without a table ---------------------------------------

namespace {

// x = 1 2 3 4 5 (sample 1), y = 3 6 7 8 (sample 2): one tie of two at 3.
std::vector<Observation> SmallPair() {
    return {{1, 1, 1}, {2, 1, 1}, {3, 1, 1}, {3, 2, 1}, {4, 1, 1}, {5, 1, 1}, {6, 2, 1}, {7, 2, 1}, {8, 2, 1}};
}

TEST(TwoSampleMath, MannWhitneyOnASmallPairWithOneTie) {
    const PairBlocks b = WalkPair(SmallPair(), 1, 2, 5, 4, true, false);
    // Ranks 1 2 3.5 5 6 for x, 3.5 7 8 9 for y.
    EXPECT_DOUBLE_EQ(b.R1, 17.5);
    EXPECT_DOUBLE_EQ(b.R2, 27.5);
    EXPECT_DOUBLE_EQ(b.ties, 2);
    EXPECT_DOUBLE_EQ(b.tieSums.tg, 1);
    const MannWhitney mw = MannWhitneyU(b, 5, 4);
    // R: wilcox.test(x, y, correct = FALSE) gives W = 2.5.
    EXPECT_DOUBLE_EQ(mw.U, 2.5);
    EXPECT_DOUBLE_EQ(mw.UPrime, 17.5);
    EXPECT_DOUBLE_EQ(mw.W, 27.5) << "the rank sum of the smaller sample";
    EXPECT_DOUBLE_EQ(mw.sumTies, 0.5);  // (2^3 - 2) / 12
    // (2.5 - 10) / sqrt(20 / 72 * 60) and / sqrt(20 / 72 * 59.5)
    ASSERT_TRUE(mw.Z && mw.ZTies);
    EXPECT_NEAR(*mw.Z, -7.5 / std::sqrt(20.0 / 72 * 60), 1e-12);
    EXPECT_NEAR(*mw.ZTies, -7.5 / std::sqrt(20.0 / 72 * 59.5), 1e-12);
}

TEST(TwoSampleMath, KolmogorovSmirnovOnTheSamePair) {
    const PairBlocks b = WalkPair(SmallPair(), 1, 2, 5, 4, false, true);
    // The ECDFs differ most after 5: 1 - 0.25. R: ks.test(x, y)$statistic = 0.75.
    EXPECT_DOUBLE_EQ(b.dPos, 0.75);
    EXPECT_DOUBLE_EQ(b.dNeg, 0);
    const KolmogorovSmirnov ks = KolmogorovSmirnovD(b, 5, 4);
    EXPECT_DOUBLE_EQ(ks.D, 0.75);
    EXPECT_NEAR(ks.Z, 0.75 * std::sqrt(20.0 / 9), 1e-12);
}

// Differences that whole counts far apart turn on, against exact fractions
// (python3's fractions module, the square root by mpmath at 50 digits).
TEST(TwoSampleMath, DifferencesOfCountsKeepTheirDigits) {
    // Counts 6 and 257: after the block at 2 the ECDFs are 1/6 and 43/257,
    // whose difference -1/1542 keeps its 15 significant digits.
    const PairBlocks small = WalkPair({{1, 1, 1}, {2, 2, 43}, {3, 1, 5}, {4, 2, 214}}, 1, 2, 6, 257, false, true);
    EXPECT_EQ(small.dNeg, -1.0 / 1542);

    // Weights 2^53 and its neighbours: (2^53 - 2) / ((2^54 + 2)(2^54 - 1))
    // below 0 after the block at 2, where each ECDF is within 2^-54 of 1/2.
    const double a53 = 0x1p53;
    const PairBlocks near =
        WalkPair({{1, 1, a53}, {2, 2, a53 - 1}, {3, 1, a53 + 2}, {4, 2, a53}}, 1, 2, 2 * a53 + 2, 2 * a53, false, true);
    EXPECT_NEAR(near.dNeg, -2.7755575615628907e-17, 1e-30);

    // Weights 2^64 that balance in the pairs each sample wins, beside
    // weights of 1 and 3 that do not: U - n1 n2 / 2 = -(8 2^64 + 3) / 2,
    // n1 = 2^65 + 1, n2 = 2^65 + 3; each record is a tie of its weight.
    const double a64 = 0x1p64;
    const std::vector<Observation> obs = {{0, 2, 3}, {1, 1, a64}, {2, 2, a64}, {3, 2, a64}, {4, 1, a64}, {5, 1, 1}};
    const double n = 2 * a64;  // 2^65 + 1 and 2^65 + 3 as Doubles
    const MannWhitney mw = MannWhitneyU(WalkPair(obs, 1, 2, n, n, true, false), n, n);
    ASSERT_TRUE(mw.Z && mw.ZTies);
    EXPECT_NEAR(*mw.Z, -8.0654900873493277161e-10, 1e-22);
    EXPECT_NEAR(*mw.ZTies, -8.330002343281320096e-10, 1e-22);
}

// Census-sized whole weights, whose rank sums pass 2^53: each sum is the
// exact sum of its blocks' weight times mean rank, rounded once (exact
// fractions: 170361078 (170361078 + 1) / 2 + 750257551 (170361078 +
// 114139017 + (750257551 + 1) / 2) = 509402989859196502, where the running
// Double sum gives 509402989859196544).
TEST(TwoSampleMath, RankSumsOfLargeCountsAreTheirExactSumsRoundedOnce) {
    const double a = 170361078, b = 750257551, c = 114139017;
    const std::vector<Observation> obs = {{1, 1, a}, {2, 2, c}, {3, 1, b}};
    const PairBlocks walked = WalkPair(obs, 1, 2, a + b, c, true, false);
    EXPECT_EQ(walked.R1, 509402989859196502.0);
    EXPECT_EQ(walked.R2, 25958703635912979.0);  // 114139017 (170361078 + 57069509)
    EXPECT_EQ(RankSamples(obs, 2).rankSum[1], 509402989859196502.0);
    // Five observations against 1e8: the rank sums pass 2^52, the pairs won
    // (2 1e8 by the first sample, 3 1e8 by the second) do not, and both count.
    const PairBlocks lopsided = WalkPair({{1, 1, 3}, {2, 2, 1e8}, {3, 1, 2}}, 1, 2, 5, 1e8, true, false);
    EXPECT_EQ(lopsided.wins1, 2e8);
    EXPECT_EQ(lopsided.wins2, 3e8);
    EXPECT_EQ(lopsided.heldWinsDifference, -1e8);
}

TEST(TwoSampleMath, OtherSamplesAndFractionalWeightsDoNotCount) {
    // A third sample between them and a weight of 2.7 (counts as 2).
    const std::vector<Observation> obs = {{1, 1, 2.7}, {2, 3, 1}, {3, 2, 1}};
    const PairBlocks b = WalkPair(obs, 1, 2, 2, 1, true, false);
    EXPECT_DOUBLE_EQ(b.R1, 3);  // two observations sharing ranks 1 and 2
    EXPECT_DOUBLE_EQ(b.R2, 3);
    const MannWhitney mw = MannWhitneyU(b, 2, 1);
    EXPECT_DOUBLE_EQ(mw.U, 0);
}

}  // namespace
