// Paired fields end to end: sign test, Wilcoxon's signed-rank test and
// Spearman's rank correlation per group and X field, against R.
//
// Reference values: R 4.2 (Rscript), with the weighted rows expanded by
// rep(x, w) and differences rounded to 10 decimals (ours are formed in
// decimal arithmetic, so 0.3 - 0.1 and 0.7 - 0.5 tie). Conventions of these
// columns, configured in R to match:
//   sign test: normal approximation with continuity correction,
//     prop.test(Gt, Lt + Gt, p = 0.5, correct = TRUE): SignZ = sqrt(statistic);
//   Wilcoxon: normal approximation with neither tie nor continuity
//     correction; wilcox.test(x, y, paired = TRUE, exact = FALSE,
//     correct = FALSE)$statistic gives the positive rank sum, and z, p are
//     (min(Rn, Rp) - n(n+1)/4) / sqrt(n(n+1)(2n+1)/24), 2 * pnorm(-|z|) over
//     R's rank(abs(d)) (wilcox.test itself would correct the variance for ties);
//   Spearman plain: 1 - 6 sum((rank(x) - rank(y))^2) / (N^3 - N), its t and
//     2 * pt(-|t|, N - 2); corrected for ties: cor.test(x, y, method =
//     "spearman", exact = FALSE) (estimate and p.value).
// Tolerance 1e-12 relative; 1e-9 absolute for probabilities of t.
#include <cmath>

#include "EngineTestSupport.h"
#include "RunContext.h"
#include "analysis/AnalysisEntries.h"

using namespace enginetest;

namespace {

using Row = ResultRow;

constexpr double kTol = 1e-12;
// Probabilities of Student's t come from the engine's incomplete beta, good to
// about 1e-10.
constexpr double kProbTol = 1e-9;

#define EXPECT_REL(actual, expected) EXPECT_NEAR((actual), (expected), kTol* std::max(1.0, std::fabs(expected)))
#define EXPECT_PROB(actual, expected) EXPECT_NEAR((actual), (expected), kProbTol)

class PairedFields : public EngineTest {
protected:
    void AddRow(const char* g, vb::Variant x1, vb::Variant x2, vb::Variant y, vb::Variant w) {
        dao::RecordsetPtr rs = db->OpenRecordset("Data", dao::dbOpenTable);
        rs->AddNew();
        rs->Fields(std::string_view("G1"))->Value(std::string(g));
        rs->Fields(std::string_view("X1"))->Value(x1);
        rs->Fields(std::string_view("X2"))->Value(x2);
        rs->Fields(std::string_view("Y"))->Value(y);
        rs->Fields(std::string_view("W"))->Value(w);
        rs->Update();
        rs->Close();
    }

    void AddData() {
        const vb::Variant null = vb::Variant::Null();
        // Group A: a zero difference, tied differences (2 and -2; 0.2 twice),
        // a weight of 3, a record without Y, one of weight 0, one without X1.
        AddRow("A", 10.0, 4.0, 8.0, 1.0);
        AddRow("A", 5.0, 2.0, 7.0, 1.0);
        AddRow("A", 3.0, 4.0, 3.0, 1.0);
        AddRow("A", 12.0, 6.0, 7.0, 3.0);
        AddRow("A", 4.0, 1.0, 5.0, 1.0);
        AddRow("A", 9.0, 6.0, 5.5, 1.0);
        AddRow("A", 6.0, 3.0, 2.0, 1.0);
        AddRow("A", 1.0, 2.0, 4.0, 1.0);
        AddRow("A", 0.3, 5.0, 0.1, 1.0);
        AddRow("A", 0.7, 4.0, 0.5, 1.0);
        AddRow("A", 2.0, 3.0, null, 1.0);
        AddRow("A", 8.0, 8.0, 6.0, 0.0);
        AddRow("A", null, 7.0, 9.0, 1.0);
        // Group B: no ties in X2 or Y; X1 - Y balanced in sign.
        const double bx2[] = {1.5, 3.1, 2.2, 5.3, 4.4, 7.1};
        const double by[] = {2, 1, 4, 3, 6, 5.5};
        for (int i = 0; i < 6; ++i) AddRow("B", double(i + 1), bx2[i], by[i], 1.0);
        // Group C: two observations.
        AddRow("C", 1.0, 1.0, 2.0, 1.0);
        AddRow("C", 2.0, 2.0, 1.0, 1.0);
        // Group D: X equal to Y throughout.
        for (double v : {1.0, 2.0, 3.0}) AddRow("D", v, v, v, 1.0);
        // Group E: no valid pair.
        AddRow("E", 1.0, 1.0, null, 1.0);
    }

    int32_t Scenario(bool weighted, bool sign = true, bool wilcoxon = true, bool spearman = true) {
        StoredScenario scenario;
        scenario.family = "N";
        scenario.subType = "Paired Fields";
        scenario.fields = {{"G1", "G", 1}, {"X1", "X", 1}, {"X2", "X", 2}, {"Y", "Y", 1}};
        if (weighted) scenario.fields.emplace_back("W", "W", 1);
        scenario.options = {{"NPPair_Sign", sign}, {"NPPair_Wilcoxon", wilcoxon}, {"NPPair_Spearman", spearman}};
        return AddScenario(db, scenario);
    }

    Row One(const std::string& group, const std::string& field) {
        auto rows = ReadResultRows(db, "Out1", "G1 = '" + group + "' AND DataField = '" + field + "'");
        EXPECT_EQ(rows.size(), 1u) << group << " " << field;
        return rows.empty() ? Row() : rows[0];
    }
};

TEST_F(PairedFields, ColumnsFollowTheChosenTests) {
    AddData();
    ASSERT_TRUE(Run(Scenario(true))) << engine->get_ErrorInfo();
    const std::vector<std::string> expected = {"StatOutputID",
                                               "G1",
                                               "DataField",
                                               "Count_of_Y",
                                               "Observations",
                                               "Missing",
                                               "Mean",
                                               "MeanY",
                                               "MeanDiff",
                                               "Count<Y",
                                               "Count=Y",
                                               "Count>Y",
                                               "Pearson's_R",
                                               "SignZ",
                                               "SignProb",
                                               "Wilcoxon_Neg_SumRank",
                                               "Wilcoxon_Pos_SumRank",
                                               "Wilcoxon_Neg_MeanRank",
                                               "Wilcoxon_Pos_MeanRank",
                                               "Wilcoxon_Z",
                                               "Wilcoxon_Prob",
                                               "TiedGroups_X",
                                               "TiedGroups_Y",
                                               "Spearman",
                                               "Spearman_t",
                                               "Spearman_Prob",
                                               "Spearman_(ties)",
                                               "Spearman_t_(ties)",
                                               "Spearman_Prob_(ties)"};
    EXPECT_EQ(ColumnNames(db, "Out1"), expected);
    // One row per group and X field, also where no pair is valid.
    EXPECT_EQ(ReadResultRows(db, "Out1").size(), 10u);

    ASSERT_TRUE(Run(Scenario(false, false, true, false))) << engine->get_ErrorInfo();
    const std::vector<std::string> plain = {"StatOutputID",
                                            "G1",
                                            "DataField",
                                            "Count_of_Y",
                                            "Missing",
                                            "Mean",
                                            "MeanY",
                                            "MeanDiff",
                                            "Count<Y",
                                            "Count=Y",
                                            "Count>Y",
                                            "Pearson's_R",
                                            "Wilcoxon_Neg_SumRank",
                                            "Wilcoxon_Pos_SumRank",
                                            "Wilcoxon_Neg_MeanRank",
                                            "Wilcoxon_Pos_MeanRank",
                                            "Wilcoxon_Z",
                                            "Wilcoxon_Prob"};
    EXPECT_EQ(ColumnNames(db, "Out1"), plain);
}

TEST_F(PairedFields, WilcoxonWithZeroDifferencesTiesAndAWeightOfThree) {
    AddData();
    ASSERT_TRUE(Run(Scenario(true))) << engine->get_ErrorInfo();
    const Row a = One("A", "X1");
    EXPECT_EQ(Num(a, "Count_of_Y"), 12);  // weight sum
    EXPECT_EQ(Num(a, "Observations"), 10);
    EXPECT_EQ(Num(a, "Missing"), 3);     // no Y, weight 0, no X1
    EXPECT_REL(Num(a, "Mean"), 6.25);    // R: mean(rep(x1, w))
    EXPECT_REL(Num(a, "MeanY"), 4.675);  // R: mean(rep(y, w))
    EXPECT_REL(Num(a, "MeanDiff"), 1.575);
    EXPECT_EQ(Num(a, "Count<Y"), 3);
    EXPECT_EQ(Num(a, "Count=Y"), 1);
    EXPECT_EQ(Num(a, "Count>Y"), 8);
    EXPECT_REL(Num(a, "Pearson's_R"), 0.80572449832023785);  // R: cor(rep(x1, w), rep(y, w))
    // n = 11 non-zero differences; R: wilcox.test(...)$statistic = 52.5.
    EXPECT_REL(Num(a, "Wilcoxon_Pos_SumRank"), 52.5);
    EXPECT_REL(Num(a, "Wilcoxon_Neg_SumRank"), 13.5);
    EXPECT_REL(Num(a, "Wilcoxon_Pos_MeanRank"), 52.5 / 8);
    EXPECT_REL(Num(a, "Wilcoxon_Neg_MeanRank"), 13.5 / 3);
    EXPECT_REL(Num(a, "Wilcoxon_Z"), -1.7337614754501094);
    EXPECT_REL(Num(a, "Wilcoxon_Prob"), 0.082960413745295322);

    // Group B, no ties: R wilcox.test(x1, y, paired = TRUE, exact = FALSE,
    // correct = FALSE)$statistic = 9; z and p by the formula above.
    const Row b = One("B", "X1");
    EXPECT_REL(Num(b, "Wilcoxon_Pos_SumRank"), 9);
    EXPECT_REL(Num(b, "Wilcoxon_Neg_SumRank"), 12);
    EXPECT_REL(Num(b, "Wilcoxon_Z"), -0.31448545101657549);
    EXPECT_REL(Num(b, "Wilcoxon_Prob"), 0.75315236476591452);

    // All differences zero: sums 0, the rest Null.
    const Row d = One("D", "X1");
    EXPECT_EQ(Num(d, "Wilcoxon_Pos_SumRank"), 0);
    EXPECT_EQ(Num(d, "Wilcoxon_Neg_SumRank"), 0);
    EXPECT_TRUE(IsNull(d, "Wilcoxon_Neg_MeanRank"));
    EXPECT_TRUE(IsNull(d, "Wilcoxon_Pos_MeanRank"));
    EXPECT_TRUE(IsNull(d, "Wilcoxon_Z"));
    EXPECT_TRUE(IsNull(d, "Wilcoxon_Prob"));
    EXPECT_DOUBLE_EQ(Num(d, "Pearson's_R"), 1);
}

TEST_F(PairedFields, AbsoluteDifferencesTieByTheirFifteenDigitText) {
    // |d| = 123456789012344.9 and 123456789012345 read the same with 15
    // significant digits: one block, mid-rank 2.5 each. R: d <- signif(x - y,
    // 15); rank(abs(d)) gives positive 3.5, negative 2.5.
    AddRow("T", 123456789012345.0, 0.0, 0.1, 1.0);
    AddRow("T", 0.0, 0.0, 123456789012345.0, 1.0);
    AddRow("T", 2.0, 0.0, 1.0, 1.0);
    ASSERT_TRUE(Run(Scenario(false, false, true, false))) << engine->get_ErrorInfo();
    const Row t = One("T", "X1");
    EXPECT_DOUBLE_EQ(Num(t, "Wilcoxon_Pos_SumRank"), 3.5);
    EXPECT_DOUBLE_EQ(Num(t, "Wilcoxon_Neg_SumRank"), 2.5);
    EXPECT_REL(Num(t, "Wilcoxon_Z"), -0.2672612419124244);
    EXPECT_REL(Num(t, "Wilcoxon_Prob"), 0.78926802613428126);
}

TEST_F(PairedFields, SignTest) {
    AddData();
    ASSERT_TRUE(Run(Scenario(true))) << engine->get_ErrorInfo();
    // Lt = 3, Gt = 8: R prop.test(8, 11, p = 0.5, correct = TRUE).
    const Row a = One("A", "X1");
    EXPECT_REL(Num(a, "SignZ"), 1.2060453783110545);
    EXPECT_REL(Num(a, "SignProb"), 0.227799993988229);
    // Balanced counts (3 and 3): the corrected excess is 0, so z = 0 and the
    // probability 1, as prop.test(3, 6, correct = TRUE) gives.
    const Row b = One("B", "X1");
    EXPECT_EQ(Num(b, "SignZ"), 0);
    EXPECT_REL(Num(b, "SignProb"), 1);
    // No pair with x <> y.
    const Row d = One("D", "X1");
    EXPECT_EQ(Num(d, "SignZ"), 0);
    EXPECT_EQ(Num(d, "SignProb"), 1);
}

TEST_F(PairedFields, SpearmanPlainAndCorrectedForTies) {
    AddData();
    ASSERT_TRUE(Run(Scenario(true))) << engine->get_ErrorInfo();
    // Group A, X2: ties in X (three groups, one from the weight of 3) and in Y
    // (7 once with weight 1 and once with weight 3).
    const Row a = One("A", "X2");
    EXPECT_EQ(Num(a, "Count_of_Y"), 13);
    EXPECT_EQ(Num(a, "Observations"), 11);
    EXPECT_EQ(Num(a, "Missing"), 2);
    EXPECT_EQ(Num(a, "TiedGroups_X"), 3);  // R: sum(table(x2) > 1)
    EXPECT_EQ(Num(a, "TiedGroups_Y"), 1);
    EXPECT_REL(Num(a, "Spearman"), 0.4464285714285714);
    EXPECT_REL(Num(a, "Spearman_t"), 1.6546761032813069);
    EXPECT_PROB(Num(a, "Spearman_Prob"), 0.12621235688781227);
    EXPECT_REL(Num(a, "Spearman_(ties)"), 0.42675332598968885);  // cor.test estimate
    EXPECT_REL(Num(a, "Spearman_t_(ties)"), 1.5650493572181889);
    EXPECT_PROB(Num(a, "Spearman_Prob_(ties)"), 0.14586660585881581);  // cor.test p.value
    EXPECT_REL(Num(a, "Pearson's_R"), 0.32296188839935031);

    // Group B, no ties: R cor.test(x2, y, method = "spearman", exact = FALSE);
    // the tie columns repeat the plain ones.
    const Row b = One("B", "X2");
    EXPECT_EQ(Num(b, "TiedGroups_X"), 0);
    EXPECT_EQ(Num(b, "TiedGroups_Y"), 0);
    EXPECT_REL(Num(b, "Spearman"), 0.48571428571428571);
    EXPECT_REL(Num(b, "Spearman_t"), 1.1113247657830427);
    EXPECT_PROB(Num(b, "Spearman_Prob"), 0.32872303206997089);
    EXPECT_REL(Num(b, "Spearman_(ties)"), 0.48571428571428571);
    EXPECT_REL(Num(b, "Spearman_t_(ties)"), 1.1113247657830427);
    EXPECT_PROB(Num(b, "Spearman_Prob_(ties)"), 0.32872303206997089);
}

TEST_F(PairedFields, UndefinedTestsWriteNullNotAProbability) {
    AddData();
    ASSERT_TRUE(Run(Scenario(true))) << engine->get_ErrorInfo();
    // Two observations: rho = -1 but no degrees of freedom for t.
    const Row c = One("C", "X2");
    EXPECT_EQ(Num(c, "Spearman"), -1);
    EXPECT_TRUE(IsNull(c, "Spearman_t"));
    EXPECT_TRUE(IsNull(c, "Spearman_Prob"));
    EXPECT_TRUE(IsNull(c, "Spearman_t_(ties)"));
    EXPECT_TRUE(IsNull(c, "Spearman_Prob_(ties)"));
    // A correlation of exactly 1: t is unbounded, not 0 with probability 1.
    const Row d = One("D", "X2");
    EXPECT_EQ(Num(d, "Spearman"), 1);
    EXPECT_TRUE(IsNull(d, "Spearman_t"));
    EXPECT_TRUE(IsNull(d, "Spearman_Prob"));
    EXPECT_TRUE(IsNull(d, "Spearman_Prob_(ties)"));
}

TEST_F(PairedFields, GroupWithoutAValidPairGetsAnEmptyRow) {
    AddData();
    ASSERT_TRUE(Run(Scenario(true))) << engine->get_ErrorInfo();
    const Row e = One("E", "X1");
    EXPECT_EQ(Num(e, "Count_of_Y"), 0);
    EXPECT_EQ(Num(e, "Observations"), 0);
    EXPECT_EQ(Num(e, "Missing"), 1);
    for (const char* column : {"Mean", "MeanY", "Count<Y", "Pearson's_R", "SignZ", "SignProb", "Wilcoxon_Pos_SumRank",
                               "Wilcoxon_Z", "Spearman", "TiedGroups_X"}) {
        EXPECT_TRUE(IsNull(e, column)) << column;
    }
}

TEST_F(PairedFields, MissingValueRuleLeavesPairsOut) {
    AddData();
    StoredScenario scenario;
    scenario.family = "N";
    scenario.subType = "Paired Fields";
    scenario.fields = {{"G1", "G", 1}, {"X1", "X", 1}, {"Y", "Y", 1}};
    scenario.options = {{"NPPair_Wilcoxon", true}};
    scenario.missingType = "1";
    scenario.missingEqual = 7.0;  // both records of Y = 7 in group A go
    ASSERT_TRUE(Run(AddScenario(db, scenario))) << engine->get_ErrorInfo();
    const Row a = One("A", "X1");
    // Unweighted: 13 records; 8 valid pairs (no Y, no X1, Y = 7 twice out;
    // the weight-0 record counts as weight 1 here).
    EXPECT_EQ(Num(a, "Count_of_Y"), 9);
    EXPECT_EQ(Num(a, "Missing"), 4);
}

TEST_F(PairedFields, WithoutGroupFieldsOneRowPerField) {
    AddRow("A", 1.0, 2.0, 1.5, 1.0);
    AddRow("B", 3.0, 1.0, 2.5, 1.0);
    AddRow("C", 2.0, 3.0, 0.5, 1.0);
    StoredScenario scenario;
    scenario.family = "N";
    scenario.subType = "Paired Fields";
    scenario.fields = {{"X1", "X", 1}, {"X2", "X", 2}, {"Y", "Y", 1}};
    scenario.options = {{"NPPair_Spearman", true}};
    ASSERT_TRUE(Run(AddScenario(db, scenario))) << engine->get_ErrorInfo();
    auto rows = ReadResultRows(db, "Out1");
    ASSERT_EQ(rows.size(), 2u);
    // X1 = 1, 3, 2 against Y = 1.5, 2.5, 0.5: ranks 1, 3, 2 and 2, 3, 1, D2 = 2;
    // R: cor.test(c(1, 3, 2), c(1.5, 2.5, 0.5), method = "spearman")$estimate = 0.5.
    EXPECT_DOUBLE_EQ(Num(rows[0], "Spearman"), 0.5);
}

// Fractional weights: every rank and sign statistic counts a pair as many
// times as the whole part of its weight (2.7 counts 2, 0.7 none), while the
// weighted counts stay the weights as they are. References by hand.
TEST_F(PairedFields, RankAndSignTestsCountTheWholePartsOfTheWeights) {
    const vb::Variant null = vb::Variant::Null();
    // F: differences X1 - Y of 1, -2, 3, 4 and 0 counted 2, 1, 0, 3, 1 times.
    AddRow("F", 11.0, null, 10.0, 2.5);
    AddRow("F", 8.0, null, 10.0, 1.9);
    AddRow("F", 13.0, null, 10.0, 0.7);
    AddRow("F", 14.0, null, 10.0, 3.7);
    AddRow("F", 10.0, null, 10.0, 1.5);
    // S: X2 against Y, four pairs counted once and one (5, 0) not at all.
    AddRow("S", null, 1.0, 1.0, 1.9);
    AddRow("S", null, 2.0, 3.0, 1.9);
    AddRow("S", null, 3.0, 2.0, 1.9);
    AddRow("S", null, 4.0, 4.0, 1.9);
    AddRow("S", null, 5.0, 0.0, 0.5);
    // Z: weights 2 in all, no whole observation.
    AddRow("Z", 1.0, 1.0, 2.0, 0.5);
    AddRow("Z", 2.0, 3.0, 1.0, 0.9);
    AddRow("Z", 3.0, 2.0, 5.0, 0.6);
    ASSERT_TRUE(Run(Scenario(true))) << engine->get_ErrorInfo();

    const Row f = One("F", "X1");
    EXPECT_REL(Num(f, "Count<Y"), 1.9);
    EXPECT_REL(Num(f, "Count>Y"), 6.9);
    // 1 below and 5 above: z = (5 - 3 - 1/2) / (sqrt(6) / 2) = sqrt(1.5),
    // p = erfc(sqrt(0.75)).
    EXPECT_REL(Num(f, "SignZ"), 1.224744871391589);
    EXPECT_REL(Num(f, "SignProb"), 0.22067136191984688);
    // |d| 1 (two observations, rank 1.5), 2 (rank 3), 4 (three, rank 5):
    // Rp = 18, Rn = 3, N = 6, z = (3 - 10.5) / sqrt(22.75).
    EXPECT_REL(Num(f, "Wilcoxon_Pos_SumRank"), 18);
    EXPECT_REL(Num(f, "Wilcoxon_Neg_SumRank"), 3);
    EXPECT_REL(Num(f, "Wilcoxon_Pos_MeanRank"), 3.6);
    EXPECT_REL(Num(f, "Wilcoxon_Z"), -1.5724272550828775);
    EXPECT_REL(Num(f, "Wilcoxon_Prob"), 0.11585149752593014);

    // Ranks 1, 2, 3, 4 against 1, 3, 2, 4: rho = 0.8, t = sqrt(32 / 9) on
    // N - 2 = 2 degrees of freedom, p = 1 - t / sqrt(t^2 + 2) = 0.2.
    const Row sp = One("S", "X2");
    EXPECT_REL(Num(sp, "Count_of_Y"), 8.1);
    EXPECT_REL(Num(sp, "Spearman"), 0.8);
    EXPECT_REL(Num(sp, "Spearman_t"), 1.8856180831641267);
    EXPECT_PROB(Num(sp, "Spearman_Prob"), 0.2);
    EXPECT_PROB(Num(sp, "Spearman_Prob_(ties)"), 0.2);

    // Nothing to test: no statistic, but the means and weighted counts.
    const Row z = One("Z", "X1");
    EXPECT_REL(Num(z, "Mean"), (0.5 + 1.8 + 1.8) / 2);
    EXPECT_REL(Num(z, "Count<Y"), 1.1);
    for (const char* column : {"SignZ", "SignProb", "Wilcoxon_Neg_SumRank", "Wilcoxon_Pos_SumRank", "Wilcoxon_Z",
                               "TiedGroups_X", "Spearman", "Spearman_Prob"}) {
        EXPECT_TRUE(IsNull(z, column)) << column;
    }
}

// Equal weights w far from 1, whose counts have no square or cube in a
// Double. References from the unweighted ranks r by hand (exact integers in
// python3): a pair takes the mid-rank w r - (w - 1) / 2 of its w positions;
// Spearman's coefficient corrected for ties is then the unweighted one.
TEST_F(PairedFields, RankTestsHoldAtEveryScaleOfTheWeights) {
    const vb::Variant null = vb::Variant::Null();
    const double w500 = std::ldexp(1.0, 500);
    for (double x : {1.0, -2.0, 3.0, 4.0}) AddRow("H", x, null, 0.0, w500);
    const double w300 = std::ldexp(1.0, 300);
    const double ys[] = {2, 1, 4, 3, 5};
    for (int i = 0; i < 5; ++i) AddRow("K", null, i + 1.0, ys[i], w300);
    ASSERT_TRUE(Run(Scenario(true))) << engine->get_ErrorInfo();

    // N = 4w; Rn = w (3w + 1) / 2, Rp = w (13w + 3) / 2;
    // z = (Rn - N(N+1)/4) / sqrt(N(N+1)(2N+1)/24).
    const Row h = One("H", "X1");
    EXPECT_NEAR(Num(h, "Wilcoxon_Z"), -1.9585720866560647e75, 1.96e75 * kTol);
    EXPECT_EQ(Num(h, "Wilcoxon_Prob"), 0);
    EXPECT_NEAR(Num(h, "Wilcoxon_Neg_SumRank"), 1.607262910779401e301, 1.61e301 * kTol);
    EXPECT_NEAR(Num(h, "Wilcoxon_Pos_SumRank"), 6.964805946710738e301, 6.97e301 * kTol);
    EXPECT_NEAR(Num(h, "Wilcoxon_Pos_MeanRank"), 7.092346317108307e150, 7.1e150 * kTol);

    // d^2 = 4 unweighted: rho_t = 0.8; plain rho = 1 - 24 / (125 - 5 / w^2);
    // t = rho sqrt((5w - 2) / (1 - rho^2)).
    const Row k = One("K", "X2");
    EXPECT_EQ(Num(k, "TiedGroups_X"), 5);
    EXPECT_REL(Num(k, "Spearman"), 0.808);
    EXPECT_REL(Num(k, "Spearman_(ties)"), 0.8);
    EXPECT_NEAR(Num(k, "Spearman_t"), 4.376690991640726e45, 4.38e45 * kTol);
    EXPECT_NEAR(Num(k, "Spearman_t_(ties)"), 4.255230482160343e45, 4.26e45 * kTol);
    EXPECT_EQ(Num(k, "Spearman_Prob_(ties)"), 0);

    // At 2^1000 the rank sums (about 2^2000) are beyond a Double: refused,
    // naming the field and the weights.
    for (double x : {1.0, -2.0}) AddRow("R", x, null, 0.0, std::ldexp(1.0, 1000));
    EXPECT_FALSE(Run(Scenario(true)));
    const std::string text = engine->get_ErrorInfo();
    EXPECT_NE(text.find("of the field [X1]"), std::string::npos) << text;
    EXPECT_NE(text.find("the weights in the field [W]"), std::string::npos) << text;
}

TEST(PairedFieldsEntry, TestsTheRunnerNeverAsksForAreRefused) {
    RunContext engine;
    FieldNames fields = {"", "X1", "Y"};
    std::vector<double> medians(2, 0.0);
    int16_t sign = -1, wilcoxon = 0, spearman = 0, tau = -1, chi = 0;
    const std::string text = Quarn_NonParametric("Out", "Data", fields, 0, 1, 2, false, 0, medians, sign, wilcoxon,
                                                 spearman, tau, chi, engine);
    EXPECT_NE(text.find("not available"), std::string::npos) << text;
}

}  // namespace
