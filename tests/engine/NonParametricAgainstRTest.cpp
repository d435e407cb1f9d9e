// Scenarios of the non-parametric tests checked against R: two groups, a missing-value
// rule, Nulls, ties and (where the test takes them) weights, each written
// number checked against R 4.2 (Rscript) or a value worked by hand.
//
// Conventions configured in R to match these columns:
//   Mann-Whitney: ranks by rank(c(a, b)); U the smaller of U1 and n1 n2 - U1;
//     plain z = (U - n1 n2 / 2) / sqrt(n1 n2 / (N (N - 1)) * (N^3 - N) / 12),
//     2 * pnorm(-|z|); tie-corrected z and p equal
//     wilcox.test(a, b, exact = FALSE, correct = FALSE)$p.value;
//   two-sample K-S: ks.test(a, b)$statistic; its probability the limiting
//     Kolmogorov series 2 sum (-1)^(k-1) exp(-2 k^2 z^2) (our routine is an
//     approximation good to about 1e-6);
//   Kruskal-Wallis: plain H from rank() sums, pchisq(H, k - 1, lower.tail =
//     FALSE); corrected for ties: kruskal.test(list(...)).
#include <cmath>
#include <string>

#include "NonParam2Support.h"

namespace enginetest {
namespace {

constexpr double kTol = 1e-12;
constexpr double kKsTol = 2e-6;

class NonParametricAgainstR : public NonParamTest {
protected:
    // Group p: A, B and C with a tied value 3.5 across all three, a missing
    // value (-99) and a Null in A; group q: A and B only.
    void AddSamples() {
        FillSample("p", "A", {1.2, 3.5, 3.5, 4.8, 6.0, -99});
        Fill({{"p", "A", vb::Variant::Null()}});
        FillSample("p", "B", {2.0, 3.5, 5.1, 7.3, 8.0});
        FillSample("p", "C", {0.5, 3.5, 9.0});
        FillSample("q", "A", {10, 11, 12, 15});
        FillSample("q", "B", {9, 13, 14.5});
    }
    int32_t SampleScenario(const std::string& subType, const std::map<std::string, vb::Variant>& options) {
        return WithMissingRule(Scenario(subType, options));
    }
    // Values equal to -99 are missing.
    int32_t WithMissingRule(int32_t id) {
        dao::RecordsetPtr s = db->OpenRecordset(
            "SELECT * FROM usysQuarnScenarios WHERE Scenario_ID = " + std::to_string(id) + ";", dao::dbOpenDynaset);
        s->Edit();
        s->Fields(std::string_view("MissingType"))->Value("1");
        s->Fields(std::string_view("MissingEqual"))->Value(-99.0);
        s->Update();
        s->Close();
        return id;
    }
};

// "name type size" of every column of a result table, in ordinal order.
std::vector<std::string> Schema(const dao::DatabasePtr& db, const std::string& table) {
    std::vector<std::string> columns;
    dao::TableDefPtr tdf = db->TableDefs()->Item(table);
    for (int32_t i = 0; i < tdf->Fields()->Count(); ++i) {
        const dao::FieldPtr f = tdf->Fields(i);
        columns.push_back(f->Name() + " " + std::to_string(f->Type()) + " " + std::to_string(f->Size()));
    }
    return columns;
}

const ResultRow* FindPair(const std::vector<ResultRow>& rows, const std::string& g, const std::string& a,
                          const std::string& b) {
    for (const auto& r : rows) {
        if (r.at("G1").ToString() == g && r.at("G2-1").ToString() == a && r.at("G2-2").ToString() == b) return &r;
    }
    return nullptr;
}

TEST_F(NonParametricAgainstR, MannWhitneyAndKolmogorovSmirnovPerPairAndGroup) {
    AddSamples();
    ASSERT_TRUE(Run(SampleScenario("2 Sample", {{"NPTwoType", "Mann"}}))) << engine->get_ErrorInfo();
    EXPECT_EQ(ColumnNames(db, "Out1"), (std::vector<std::string>{"StatOutputID",
                                                                 "G1",
                                                                 "DataField",
                                                                 "G2-1",
                                                                 "G2-2",
                                                                 "Count",
                                                                 "Cases-1",
                                                                 "Cases-2",
                                                                 "SumRank-1",
                                                                 "SumRank-2",
                                                                 "MeanRank-1",
                                                                 "MeanRank-2",
                                                                 "Ties",
                                                                 "TiedGroups",
                                                                 "SumTies",
                                                                 "MW_U",
                                                                 "MW_U_Prime",
                                                                 "MW_W",
                                                                 "MW_Z",
                                                                 "MW_Prob",
                                                                 "MW_Z_(ties)",
                                                                 "MW_Prob_(ties)",
                                                                 "KS_MaxAbsoluteDiff",
                                                                 "KS_MaxPosDiff",
                                                                 "KS_MaxNegDiff",
                                                                 "KS_Z",
                                                                 "KS_Prob"}));
    // The pair columns take the compare field's type and size.
    EXPECT_EQ(Schema(db, "Out1")[3], "G2-1 10 20");
    EXPECT_EQ(Schema(db, "Out1")[4], "G2-2 10 20");
    const auto rows = ReadResultRows(db, "Out1");
    ASSERT_EQ(rows.size(), 4u);  // p: AB, AC, BC; q: AB (no C in q)
    struct Expected {
        const char *g, *a, *b;
        double n1, n2, r1, r2, ties, tg, sumTies, u, z, p, zt, pt, w, d, dPos, dNeg, kz, kp;
    };
    const Expected cases[] = {
        {"p",
         "A",
         "B",
         5,
         5,
         23,
         32,
         3,
         1,
         2,
         8,
         -0.940019342160768,
         0.347207639349425,
         -0.951624958747826,
         0.341287218978153,
         23,
         0.4,
         0.4,
         0,
         0.632455532033676,
         0.818621174471006},
        {"p",
         "A",
         "C",
         5,
         3,
         23,
         13,
         3,
         1,
         2,
         7,
         -0.149071198499986,
         0.881497452191014,
         -0.152752523165195,
         0.878593439255142,
         13,
         1.0 / 3,
         1.0 / 3,
         -1.0 / 3,
         0.456435464587639,
         0.985279528699427},
        {"p",
         "B",
         "C",
         5,
         3,
         23.5,
         12.5,
         2,
         1,
         0.5,
         6.5,
         -0.298142396999972,
         0.765594483995764,
         -0.299933058127026,
         0.764228217764177,
         12.5,
         1.0 / 3,
         1.0 / 3,
         -1.0 / 3,
         0.456435464587639,
         0.985279528699427},
        {"q",
         "A",
         "B",
         4,
         3,
         16,
         12,
         0,
         0,
         0,
         6,
         0,
         1,
         0,
         1,
         12,
         5.0 / 12,
         5.0 / 12,
         -1.0 / 3,
         0.545544725589981,
         0.927220781759782},
    };
    for (const auto& e : cases) {
        const ResultRow* r = FindPair(rows, e.g, e.a, e.b);
        ASSERT_NE(r, nullptr) << e.g << e.a << e.b;
        SCOPED_TRACE(std::string(e.g) + e.a + e.b);
        EXPECT_EQ(Num(*r, "Count"), e.n1 + e.n2);
        EXPECT_EQ(Num(*r, "Cases-1"), e.n1);
        EXPECT_EQ(Num(*r, "Cases-2"), e.n2);
        EXPECT_NEAR(Num(*r, "SumRank-1"), e.r1, kTol);
        EXPECT_NEAR(Num(*r, "SumRank-2"), e.r2, kTol);
        EXPECT_NEAR(Num(*r, "MeanRank-1"), e.r1 / e.n1, kTol);
        EXPECT_NEAR(Num(*r, "MeanRank-2"), e.r2 / e.n2, kTol);
        EXPECT_EQ(Num(*r, "Ties"), e.ties);
        EXPECT_EQ(Num(*r, "TiedGroups"), e.tg);
        EXPECT_NEAR(Num(*r, "SumTies"), e.sumTies, kTol);
        EXPECT_NEAR(Num(*r, "MW_U"), e.u, kTol);
        EXPECT_NEAR(Num(*r, "MW_U_Prime"), e.n1 * e.n2 - e.u, kTol);
        EXPECT_NEAR(Num(*r, "MW_W"), e.w, kTol);
        EXPECT_NEAR(Num(*r, "MW_Z"), e.z, kTol);
        EXPECT_NEAR(Num(*r, "MW_Prob"), e.p, 1e-12);
        EXPECT_NEAR(Num(*r, "MW_Z_(ties)"), e.zt, kTol);
        EXPECT_NEAR(Num(*r, "MW_Prob_(ties)"), e.pt, 1e-12);
        EXPECT_NEAR(Num(*r, "KS_MaxAbsoluteDiff"), e.d, kTol);
        EXPECT_NEAR(Num(*r, "KS_MaxPosDiff"), e.dPos, kTol);
        EXPECT_NEAR(Num(*r, "KS_MaxNegDiff"), e.dNeg, kTol);
        EXPECT_NEAR(Num(*r, "KS_Z"), e.kz, kTol);
        EXPECT_NEAR(Num(*r, "KS_Prob"), e.kp, kKsTol);
    }
}

TEST_F(NonParametricAgainstR, KruskalWallisPerGroupWithDetail) {
    AddSamples();
    ASSERT_TRUE(Run(SampleScenario("N Sample", {}))) << engine->get_ErrorInfo();
    EXPECT_EQ(ColumnNames(db, "Out1"),
              (std::vector<std::string>{"StatOutputID", "G1", "DataField", "Count", "Missing", "Groups", "Ties",
                                        "TiedGroups", "SumTies", "H", "Prob", "H_(ties)", "Prob_(ties)"}));
    EXPECT_EQ(ColumnNames(db, "Out2"),
              (std::vector<std::string>{"StatOutputID", "G1", "G2", "DataField", "Count", "SumRanks", "MeanRank"}));
    const auto rows = ReadResultRows(db, "Out1");
    ASSERT_EQ(rows.size(), 2u);
    // p: 15 records, the -99 and the Null left out.
    EXPECT_EQ(Num(rows[0], "Count"), 13);
    EXPECT_EQ(Num(rows[0], "Missing"), 2);
    EXPECT_EQ(Num(rows[0], "Groups"), 3);
    EXPECT_EQ(Num(rows[0], "Ties"), 4);
    EXPECT_EQ(Num(rows[0], "TiedGroups"), 1);
    EXPECT_EQ(Num(rows[0], "SumTies"), 60);
    EXPECT_NEAR(Num(rows[0], "H"), 0.659340659340657, kTol);
    // The engine's chi-square tail is good to a few parts in 1e9 here.
    EXPECT_NEAR(Num(rows[0], "Prob"), 0.719160780327653, 1e-8);
    EXPECT_NEAR(Num(rows[0], "H_(ties)"), 0.677966101694913, kTol);
    EXPECT_NEAR(Num(rows[0], "Prob_(ties)"), 0.712494525165245, 1e-8);
    EXPECT_EQ(Num(rows[1], "Count"), 7);
    EXPECT_EQ(Num(rows[1], "Groups"), 2);
    EXPECT_NEAR(Num(rows[1], "H"), 0, kTol);
    EXPECT_NEAR(Num(rows[1], "Prob"), 1, 1e-9);

    const auto detail = ReadResultRows(db, "Out2");
    ASSERT_EQ(detail.size(), 5u);
    const struct {
        const char *g, *c;
        double n, sum;
    } expected[] = {{"p", "A", 5, 31}, {"p", "B", 5, 40.5}, {"p", "C", 3, 19.5}, {"q", "A", 4, 16}, {"q", "B", 3, 12}};
    for (size_t i = 0; i < 5; ++i) {
        EXPECT_EQ(detail[i].at("G1").ToString(), expected[i].g);
        EXPECT_EQ(detail[i].at("G2").ToString(), expected[i].c);
        EXPECT_EQ(Num(detail[i], "Count"), expected[i].n);
        EXPECT_NEAR(Num(detail[i], "SumRanks"), expected[i].sum, kTol);
        EXPECT_NEAR(Num(detail[i], "MeanRank"), expected[i].sum / expected[i].n, kTol);
    }
}

// Runs test, weighted. Group p in ascending order: 1.2 A, 2.0 B, 3.5 A and B
// (a tied block), 4.8 A, 5.1 B, 6.0 A (weight 2), 7.3 B; -99 and Null left
// out. Fewest runs A|BB|AA|B|AA|B = 6, most A|B|A|B|A|B|AA|B = 8 (by hand);
// N1 = 5, N2 = 4, mean 2 N1 N2 / N + 1, variance 2 N1 N2 (2 N1 N2 - N1 - N2)
// / (N^2 (N - 1)); below 50 cases z = (|R - mean| - 0.5) / sd with the sign
// of R - mean, one-tailed pnorm(-|z|) (R 4.2).
TEST_F(NonParametricAgainstR, RunsTestWeightedWithATiedBlock) {
    const vb::Variant one = 1.0;
    const vb::Variant null = vb::Variant::Null();
    Fill({{"p", "A", 1.2, null, one},
          {"p", "A", 3.5, null, one},
          {"p", "A", 4.8, null, one},
          {"p", "A", 6.0, null, 2.0},
          {"p", "A", -99.0, null, one},
          {"p", "A", null, null, one},
          {"p", "B", 2.0, null, one},
          {"p", "B", 3.5, null, one},
          {"p", "B", 5.1, null, one},
          {"p", "B", 7.3, null, one}});
    Fill({{"q", "A", 1.0, null, one},
          {"q", "A", 2.0, null, one},
          {"q", "A", 3.0, null, one},
          {"q", "B", 4.0, null, one},
          {"q", "B", 5.0, null, one},
          {"q", "B", 6.0, null, one}});
    ASSERT_TRUE(Run(WithMissingRule(Scenario("2 Sample", {{"NPTwoType", "Wald"}}, {"X1"}, true, true))))
        << engine->get_ErrorInfo();
    EXPECT_EQ(
        ColumnNames(db, "Out1"),
        (std::vector<std::string>{"StatOutputID", "G1", "DataField", "G2-1", "G2-2", "Count", "Missing", "Cases-1",
                                  "Cases-2", "Wald_Mean", "Wald_StdDev", "Ties", "TiedGroups", "Wald_Min_Runs",
                                  "Wald_Min_Z", "Wald_Min_Prob", "Wald_Max_Runs", "Wald_Max_Z", "Wald_Max_Prob"}));
    const auto rows = ReadResultRows(db, "Out1");
    ASSERT_EQ(rows.size(), 2u);
    const ResultRow& p = rows[0];
    EXPECT_EQ(p.at("G2-1").ToString(), "A");
    EXPECT_EQ(p.at("G2-2").ToString(), "B");
    EXPECT_EQ(Num(p, "Count"), 9);
    EXPECT_EQ(Num(p, "Missing"), 2);
    EXPECT_EQ(Num(p, "Cases-1"), 5);
    EXPECT_EQ(Num(p, "Cases-2"), 4);
    EXPECT_NEAR(Num(p, "Wald_Mean"), 5.44444444444444, 1e-13);
    EXPECT_NEAR(Num(p, "Wald_StdDev"), 1.3833221775543, 1e-13);
    EXPECT_EQ(Num(p, "Ties"), 2);
    EXPECT_EQ(Num(p, "TiedGroups"), 1);
    EXPECT_EQ(Num(p, "Wald_Min_Runs"), 6);
    EXPECT_NEAR(Num(p, "Wald_Min_Z"), 0.0401609664451248, 1e-13);
    EXPECT_NEAR(Num(p, "Wald_Min_Prob"), 0.483982398385841, 1e-12);
    EXPECT_EQ(Num(p, "Wald_Max_Runs"), 8);
    EXPECT_NEAR(Num(p, "Wald_Max_Z"), 1.48595575846962, 1e-13);
    EXPECT_NEAR(Num(p, "Wald_Max_Prob"), 0.068645411778348, 1e-12);
    const ResultRow& q = rows[1];
    EXPECT_EQ(Num(q, "Count"), 6);
    EXPECT_EQ(Num(q, "Missing"), 0);
    EXPECT_EQ(Num(q, "Wald_Min_Runs"), 2);
    EXPECT_EQ(Num(q, "Wald_Max_Runs"), 2);
    EXPECT_EQ(Num(q, "Ties"), 0);
    EXPECT_NEAR(Num(q, "Wald_Min_Z"), -1.36930639376292, 1e-13);
    EXPECT_NEAR(Num(q, "Wald_Min_Prob"), 0.0854517601153987, 1e-12);
}

// Sign test, weighted, against the weighted mean, the weighted median and the
// value 3. Probabilities are exact binomial tails up to 25 trials: R 4.2
// pbinom(k, n, 0.5).
TEST_F(NonParametricAgainstR, SignTestWeightedAgainstMeanMedianAndAValue) {
    const vb::Variant one = 1.0;
    const vb::Variant null = vb::Variant::Null();
    Fill({{"p", null, 1.0, null, one},
          {"p", null, 2.0, null, one},
          {"p", null, 3.0, null, one},
          {"p", null, 3.0, null, one},
          {"p", null, 5.0, null, one},
          {"p", null, 8.0, null, 2.0},
          {"p", null, -99.0, null, one},
          {"p", null, null, null, one}});
    Fill({{"q", null, 2.0, null, one},
          {"q", null, 4.0, null, one},
          {"q", null, 6.0, null, one},
          {"q", null, 9.0, null, one},
          {"q", null, 10.0, null, one}});
    ASSERT_TRUE(Run(WithMissingRule(
        Scenario("Sign Test", {{"SignMean", true}, {"SignMedian", true}, {"SignCustom", true}, {"SignValue", 3.0}},
                 {"X1"}, false, true))))
        << engine->get_ErrorInfo();
    EXPECT_EQ(
        ColumnNames(db, "Out1"),
        (std::vector<std::string>{"StatOutputID", "G1", "DataField", "Count", "Observations", "Missing", "TestType",
                                  "TestValue", "Count<Test", "Count=Test", "Count>Test", "Prob<=Test", "Prob>=Test"}));
    // Types and sizes: Missing Long, TestType Text 6, the figures Double.
    const auto schema = Schema(db, "Out1");
    EXPECT_EQ(schema[1], "G1 10 20");
    EXPECT_EQ(schema[2], "DataField 10 64");
    EXPECT_EQ(schema[3], "Count 7 8");
    EXPECT_EQ(schema[5], "Missing 4 4");
    EXPECT_EQ(schema[6], "TestType 10 6");
    EXPECT_EQ(schema[12], "Prob>=Test 7 8");
    const auto rows = ReadResultRows(db, "Out1");
    ASSERT_EQ(rows.size(), 6u);
    const struct {
        const char *g, *type;
        double value, below, equal, above, pBelow, pAbove;
    } expected[] = {
        // p: W = 7, mean 30/7; the running weight reaches 3.5 at the second 3.
        {"p", "Mean", 30.0 / 7, 4, 0, 3, 0.7734375, 0.5},
        {"p", "Median", 3, 2, 2, 3, 0.5, 0.8125},
        {"p", "Custom", 3, 2, 2, 3, 0.5, 0.8125},
        // q: W = 5, mean 6.2, weighted median 6.
        {"q", "Mean", 6.2, 3, 0, 2, 0.8125, 0.5},
        {"q", "Median", 6, 2, 1, 2, 0.6875, 0.6875},
        {"q", "Custom", 3, 1, 0, 4, 0.1875, 0.96875},
    };
    for (size_t i = 0; i < 6; ++i) {
        const ResultRow& r = rows[i];
        const auto& e = expected[i];
        SCOPED_TRACE(std::string(e.g) + e.type);
        EXPECT_EQ(r.at("G1").ToString(), e.g);
        EXPECT_EQ(r.at("TestType").ToString(), e.type);
        EXPECT_EQ(Num(r, "Count"), i < 3 ? 7 : 5);
        EXPECT_EQ(Num(r, "Observations"), i < 3 ? 6 : 5);
        EXPECT_EQ(Num(r, "Missing"), i < 3 ? 2 : 0);
        EXPECT_NEAR(Num(r, "TestValue"), e.value, 1e-13);
        EXPECT_EQ(Num(r, "Count<Test"), e.below);
        EXPECT_EQ(Num(r, "Count=Test"), e.equal);
        EXPECT_EQ(Num(r, "Count>Test"), e.above);
        EXPECT_NEAR(Num(r, "Prob<=Test"), e.pBelow, 1e-12);
        EXPECT_NEAR(Num(r, "Prob>=Test"), e.pAbove, 1e-12);
    }
}

// Goodness of fit, unweighted, with the missing-value rule. References in R
// 4.2: u = sort(unique(x)), F = ecdf(x)(u), Fprev its left limits; D+ =
// max(0, F - G, Fprev - G), D- = min(0, ...) with G = punif(u, min, max) or
// pnorm(u, mean, sd); for the Poisson only F - ppois(u, mean); Z = sqrt(n) D
// and the limiting Kolmogorov series for the probability.
TEST_F(NonParametricAgainstR, GoodnessOfFitPerGroup) {
    FillSample("p", vb::Variant::Null(), {1, 2, 2, 3, 5, -99});
    Fill({{"p", vb::Variant::Null(), vb::Variant::Null()}});
    FillSample("q", vb::Variant::Null(), {0.5, 1.5, 2.5, 4.0});
    ASSERT_TRUE(Run(WithMissingRule(
        Scenario("K-S Fit", {{"FitUniform", true}, {"FitNormal", true}, {"FitPoisson", true}}, {"X1"}, false, false))))
        << engine->get_ErrorInfo();
    EXPECT_EQ(ColumnNames(db, "Out1"),
              (std::vector<std::string>{"StatOutputID", "G1", "DataField", "Count", "Mean", "StdDeviation", "Minimum",
                                        "Maximum", "Range", "TestType", "Max_Absolute", "Max_Positive", "Max_Negative",
                                        "K-S_Z", "Prob"}));
    EXPECT_EQ(Schema(db, "Out1")[9], "TestType 10 7");
    const auto rows = ReadResultRows(db, "Out1");
    ASSERT_EQ(rows.size(), 6u);
    const struct {
        const char* type;
        double d, dPos, dNeg, z, p;
    } expected[] = {
        {"Uniform", 0.35, 0.35, -0.2, 0.782623792124926, 0.572654807024214},
        {"Normal", 0.253810365805091, 0.253810365805091, -0.146189634194909, 0.567537231334271, 0.904134483849891},
        {"Poisson", 0.0815704240639494, 0.0815704240639494, -0.067384881571602, 0.182397013160476, 1},
        {"Uniform", 0.25, 0.25, -0.25, 0.5, 0.963945243664875},
        {"Normal", 0.162249109964916, 0.162249109964916, -0.145410747368402, 0.324498219929832, 0.999936960028792},
    };
    for (size_t i = 0; i < 5; ++i) {
        const ResultRow& r = rows[i];
        SCOPED_TRACE(i);
        EXPECT_EQ(r.at("TestType").ToString(), expected[i].type);
        EXPECT_NEAR(Num(r, "Max_Absolute"), expected[i].d, 1e-13);
        EXPECT_NEAR(Num(r, "Max_Positive"), expected[i].dPos, 1e-13);
        EXPECT_NEAR(Num(r, "Max_Negative"), expected[i].dNeg, 1e-13);
        EXPECT_NEAR(Num(r, "K-S_Z"), expected[i].z, 1e-13);
        EXPECT_NEAR(Num(r, "Prob"), expected[i].p, kKsTol);
    }
    EXPECT_EQ(Num(rows[0], "Count"), 5);
    EXPECT_NEAR(Num(rows[0], "Mean"), 2.6, 1e-13);
    EXPECT_NEAR(Num(rows[0], "StdDeviation"), 1.51657508881031, 1e-13);
    EXPECT_EQ(Num(rows[0], "Minimum"), 1);
    EXPECT_EQ(Num(rows[0], "Maximum"), 5);
    EXPECT_EQ(Num(rows[0], "Range"), 4);
    EXPECT_NEAR(Num(rows[3], "StdDeviation"), 1.49303940559741, 1e-13);
    EXPECT_NEAR(Num(rows[3], "Range"), 3.5, 1e-13);
    // Fractional values: no Poisson test.
    EXPECT_EQ(rows[5].at("TestType").ToString(), "Poisson");
    for (const char* column : {"Max_Absolute", "Max_Positive", "Max_Negative", "K-S_Z", "Prob"}) {
        EXPECT_TRUE(IsNull(rows[5], column)) << column;
    }
}

// Chi-square of two compare fields (text G2, numeric X1), weighted, "all
// groups" on, blanks counted, the missing-value rule on and the detail
// table. The rule filters the numeric field's -99 and, being set, the Null
// compare values; a weight of 0 leaves its record out. With "all groups" a
// value a group lacks adds its expected count. References: R 4.2, e =
// sum(o) / length(o), sum((o - e)^2 / e), pchisq(x, length(o) - 1,
// lower.tail = FALSE); for c(1, 4, 0) also chisq.test(c(1, 4, 0)).
TEST_F(NonParametricAgainstR, ChiSquareTwoCompareFieldsWeightedAllGroupsWithDetail) {
    const vb::Variant null = vb::Variant::Null();
    Fill({{"p", "A", 1.0, null, 1.0},
          {"p", "A", 1.0, null, 2.0},
          {"p", "B", 2.0, null, 1.0},
          {"p", null, 2.0, null, 1.0},
          {"p", "A", -99.0, null, 1.0},
          {"p", "B", 3.0, null, 0.0},
          {"p", "C", null, null, 1.5},
          {"q", "A", 1.0, null, 1.0},
          {"q", "B", 1.0, null, 1.0},
          {"q", "B", 2.0, null, 3.0}});
    StoredScenario scenario;
    scenario.family = "N";
    scenario.subType = "Chi-Square";
    scenario.fields = {{"G1", "G", 1}, {"G2", "C", 1}, {"X1", "C", 2}, {"W", "W", 1}};
    scenario.options = {{"ChiAll", true}, {"ChiIgnoreBlanks", false}, {"ChiDetail", true}};
    scenario.missingType = "1";
    scenario.missingEqual = -99.0;
    ASSERT_TRUE(Run(AddScenario(db, scenario))) << engine->get_ErrorInfo();
    EXPECT_EQ(ColumnNames(db, "Out1"),
              (std::vector<std::string>{"StatOutputID", "G1", "DataField", "Count", "Groups", "MissingGroups",
                                        "Expected", "Chi-Square", "DF", "Prob"}));
    EXPECT_EQ(ColumnNames(db, "Out2"),
              (std::vector<std::string>{"StatOutputID", "G1", "Compare_Field", "Compare_Value", "Observed", "Expected",
                                        "Difference", "Chi-Square", "Observed_Pcnt", "Expected_Pcnt", "Pcnt_Diff",
                                        "Cumulative", "Cumulative_Pcnt"}));
    // Groups and MissingGroups are Long; the compare values of a text and a
    // numeric field share a Text column as wide as the widest text field.
    EXPECT_EQ(Schema(db, "Out1")[4], "Groups 4 4");
    EXPECT_EQ(Schema(db, "Out1")[5], "MissingGroups 4 4");
    EXPECT_EQ(Schema(db, "Out2")[3], "Compare_Value 10 20");
    const auto rows = ReadResultRows(db, "Out1");
    ASSERT_EQ(rows.size(), 4u);
    const struct {
        const char *g, *field;
        double count, groups, missing, e, x, df, p;
    } expected[] = {
        {"p", "G2", 6.5, 3, 0, 6.5 / 3, 2.38461538461538, 2, 0.30352002442964},
        {"q", "G2", 5, 3, 1, 5.0 / 3, 5.2, 2, 0.0742735782143339},
        {"p", "X1", 5, 2, 0, 2.5, 0.2, 1, 0.654720846018577},
        {"q", "X1", 5, 2, 0, 2.5, 0.2, 1, 0.654720846018577},
    };
    for (size_t i = 0; i < 4; ++i) {
        const ResultRow& r = rows[i];
        const auto& e = expected[i];
        SCOPED_TRACE(i);
        EXPECT_EQ(r.at("G1").ToString(), e.g);
        EXPECT_EQ(r.at("DataField").ToString(), e.field);
        EXPECT_NEAR(Num(r, "Count"), e.count, 1e-13);
        EXPECT_EQ(Num(r, "Groups"), e.groups);
        EXPECT_EQ(Num(r, "MissingGroups"), e.missing);
        EXPECT_NEAR(Num(r, "Expected"), e.e, 1e-13);
        EXPECT_NEAR(Num(r, "Chi-Square"), e.x, 1e-13);
        EXPECT_EQ(Num(r, "DF"), e.df);
        EXPECT_NEAR(Num(r, "Prob"), e.p, 1e-8);
    }

    const auto detail = ReadResultRows(db, "Out2");
    ASSERT_EQ(detail.size(), 10u);
    const struct {
        const char *g, *field, *value;
        double o, t, groups;
    } rowsExpected[] = {
        {"p", "G2", "A", 4, 6.5, 3}, {"p", "G2", "B", 1, 6.5, 3}, {"p", "G2", "C", 1.5, 6.5, 3},
        {"q", "G2", "A", 1, 5, 3},   {"q", "G2", "B", 4, 5, 3},   {"q", "G2", "C", 0, 5, 3},
        {"p", "X1", "1", 3, 5, 2},   {"p", "X1", "2", 2, 5, 2},   {"q", "X1", "1", 2, 5, 2},
        {"q", "X1", "2", 3, 5, 2},
    };
    double cumulative = 0;
    for (size_t i = 0; i < 10; ++i) {
        const ResultRow& r = detail[i];
        const auto& e = rowsExpected[i];
        SCOPED_TRACE(i);
        if (i == 0 || rowsExpected[i - 1].g != std::string(e.g) || rowsExpected[i - 1].field != std::string(e.field)) {
            cumulative = 0;
        }
        cumulative += e.o;
        const double ex = e.t / e.groups;
        EXPECT_EQ(r.at("G1").ToString(), e.g);
        EXPECT_EQ(r.at("Compare_Field").ToString(), e.field);
        EXPECT_EQ(r.at("Compare_Value").ToString(), e.value);
        EXPECT_NEAR(Num(r, "Observed"), e.o, 1e-13);
        EXPECT_NEAR(Num(r, "Expected"), ex, 1e-13);
        EXPECT_NEAR(Num(r, "Difference"), e.o - ex, 1e-13);
        EXPECT_NEAR(Num(r, "Chi-Square"), (e.o - ex) * (e.o - ex) / ex, 1e-13);
        EXPECT_NEAR(Num(r, "Observed_Pcnt"), e.o / e.t, 1e-13);
        EXPECT_NEAR(Num(r, "Expected_Pcnt"), ex / e.t, 1e-13);
        EXPECT_NEAR(Num(r, "Pcnt_Diff"), (e.o - ex) / e.t, 1e-13);
        EXPECT_NEAR(Num(r, "Cumulative"), cumulative, 1e-13);
        EXPECT_NEAR(Num(r, "Cumulative_Pcnt"), cumulative / e.t, 1e-13);
    }
}

// Paired fields, weighted, with the missing-value rule: group p has a zero
// difference, tied differences, a weight of 3, Nulls, a weight of 0 and a
// -99 in X and in Y; group q has no ties. References: R 4.2 on the rows
// expanded by rep(x, w): mean(), cor(); prop.test(max(lt, gt), lt + gt, p =
// 0.5, correct = TRUE) (SignZ = sqrt(statistic)); Wilcoxon from rank(abs(d))
// of the non-zero differences, z = (min(Rn, Rp) - n(n+1)/4) / sqrt(n(n+1)(2n+1)
// / 24) without tie or continuity correction, 2 * pnorm(-|z|); Spearman plain
// 1 - 6 sum((rank(x) - rank(y))^2) / (N^3 - N) with 2 * pt(-|t|, N - 2), and
// corrected for ties cor.test(x, y, method = "spearman", exact = FALSE).
TEST_F(NonParametricAgainstR, PairedFieldsWeightedWithMissingValues) {
    auto add = [&](const char* g, vb::Variant x, vb::Variant y, double w) {
        AppendRows({{g, vb::Variant::Null(), x, vb::Variant::Null(), y, w}});
    };
    const vb::Variant null = vb::Variant::Null();
    add("p", 5.0, 3.0, 1);
    add("p", 4.0, 4.0, 1);
    add("p", 7.0, 2.0, 1);
    add("p", 1.0, 3.0, 1);
    add("p", 6.0, 3.0, 3);
    add("p", 2.0, 2.5, 1);
    add("p", 8.0, 1.0, 1);
    add("p", 3.0, null, 1);
    add("p", null, 1.0, 1);
    add("p", 9.0, 1.0, 0);
    add("p", -99.0, 2.0, 1);
    add("p", 3.0, -99.0, 1);
    const double qx[] = {1, 2, 3, 4, 5};
    const double qy[] = {2, 1, 4, 3, 5.5};
    for (int i = 0; i < 5; ++i) add("q", qx[i], qy[i], 1);
    StoredScenario scenario;
    scenario.family = "N";
    scenario.subType = "Paired Fields";
    scenario.fields = {{"G1", "G", 1}, {"X1", "X", 1}, {"Y", "Y", 1}, {"W", "W", 1}};
    scenario.options = {{"NPPair_Sign", true}, {"NPPair_Wilcoxon", true}, {"NPPair_Spearman", true}};
    scenario.missingType = "1";
    scenario.missingEqual = -99.0;
    ASSERT_TRUE(Run(AddScenario(db, scenario))) << engine->get_ErrorInfo();
    EXPECT_EQ(ColumnNames(db, "Out1"), (std::vector<std::string>{"StatOutputID",
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
                                                                 "Spearman_Prob_(ties)"}));
    const auto rows = ReadResultRows(db, "Out1");
    ASSERT_EQ(rows.size(), 2u);
    const ResultRow& p = rows[0];
    EXPECT_EQ(p.at("DataField").ToString(), "X1");
    EXPECT_EQ(Num(p, "Count_of_Y"), 9);
    EXPECT_EQ(Num(p, "Observations"), 7);
    EXPECT_EQ(Num(p, "Missing"), 5);
    EXPECT_NEAR(Num(p, "Mean"), 5, 1e-13);
    EXPECT_NEAR(Num(p, "MeanY"), 2.72222222222222, 1e-13);
    EXPECT_NEAR(Num(p, "MeanDiff"), 2.27777777777778, 1e-13);
    EXPECT_EQ(Num(p, "Count<Y"), 2);
    EXPECT_EQ(Num(p, "Count=Y"), 1);
    EXPECT_EQ(Num(p, "Count>Y"), 6);
    EXPECT_NEAR(Num(p, "Pearson's_R"), -0.490990253030983, 1e-13);
    EXPECT_NEAR(Num(p, "SignZ"), 1.06066017177982, 1e-13);
    EXPECT_NEAR(Num(p, "SignProb"), 0.288844366346485, 1e-12);
    EXPECT_NEAR(Num(p, "Wilcoxon_Neg_SumRank"), 3.5, 1e-13);
    EXPECT_NEAR(Num(p, "Wilcoxon_Pos_SumRank"), 32.5, 1e-13);
    EXPECT_NEAR(Num(p, "Wilcoxon_Neg_MeanRank"), 3.5 / 2, 1e-13);
    EXPECT_NEAR(Num(p, "Wilcoxon_Pos_MeanRank"), 32.5 / 6, 1e-13);
    EXPECT_NEAR(Num(p, "Wilcoxon_Z"), -2.03040612184061, 1e-13);
    EXPECT_NEAR(Num(p, "Wilcoxon_Prob"), 0.042315274905714, 1e-12);
    EXPECT_EQ(Num(p, "TiedGroups_X"), 1);
    EXPECT_EQ(Num(p, "TiedGroups_Y"), 1);
    EXPECT_NEAR(Num(p, "Spearman"), -0.383333333333333, 1e-13);
    EXPECT_NEAR(Num(p, "Spearman_t"), -1.09808749997593, 1e-12);
    EXPECT_NEAR(Num(p, "Spearman_Prob"), 0.308495272380372, 1e-9);
    EXPECT_NEAR(Num(p, "Spearman_(ties)"), -0.53851648071345, 1e-13);
    EXPECT_NEAR(Num(p, "Spearman_t_(ties)"), -1.69090358376149, 1e-12);
    EXPECT_NEAR(Num(p, "Spearman_Prob_(ties)"), 0.134697683380845, 1e-9);

    const ResultRow& q = rows[1];
    EXPECT_EQ(Num(q, "Count_of_Y"), 5);
    EXPECT_EQ(Num(q, "Missing"), 0);
    EXPECT_NEAR(Num(q, "MeanDiff"), -0.1, 1e-13);
    EXPECT_NEAR(Num(q, "Pearson's_R"), 0.814821714382667, 1e-13);
    // Three below, two above: the corrected excess is 0.
    EXPECT_NEAR(Num(q, "SignZ"), 0, 1e-13);
    EXPECT_NEAR(Num(q, "SignProb"), 1, 1e-13);
    EXPECT_NEAR(Num(q, "Wilcoxon_Neg_SumRank"), 8, 1e-13);
    EXPECT_NEAR(Num(q, "Wilcoxon_Pos_SumRank"), 7, 1e-13);
    EXPECT_NEAR(Num(q, "Wilcoxon_Z"), -0.134839972492648, 1e-13);
    EXPECT_NEAR(Num(q, "Wilcoxon_Prob"), 0.892738400944348, 1e-12);
    EXPECT_EQ(Num(q, "TiedGroups_X"), 0);
    EXPECT_NEAR(Num(q, "Spearman"), 0.8, 1e-13);
    EXPECT_NEAR(Num(q, "Spearman_t"), 2.3094010767585, 1e-12);
    EXPECT_NEAR(Num(q, "Spearman_Prob"), 0.104088038661828, 1e-9);
    EXPECT_NEAR(Num(q, "Spearman_(ties)"), 0.8, 1e-13);
    EXPECT_NEAR(Num(q, "Spearman_Prob_(ties)"), 0.104088038661828, 1e-9);
}

// Friedman, weighted, with the missing-value rule. Group p, fields X1, X2, Y:
// records (1, 2, 3) w 1, (2, 2, 1) w 2 (a tie inside the record: ranks 2.5,
// 2.5, 1), (3, 1, 2) w 1; a Null, a -99 and a weight of 0 leave three records
// out. Weighted rank sums 9, 8, 7, W = 4: 12 / (W k (k + 1)) * 194 - 3 W (k +
// 1) = 0.5 by hand, no tie correction; pchisq(0.5, 2, lower.tail = FALSE) =
// exp(-0.25). Group q, untied: R 4.2 friedman.test(matrix(c(1, 2, 3, 1, 3, 2,
// 2, 1, 3, 3, 1, 2), 4, byrow = TRUE)) gives 1.5, p = exp(-0.75).
TEST_F(NonParametricAgainstR, FriedmanWeightedWithATieInsideARecord) {
    auto add = [&](const char* g, vb::Variant a, vb::Variant b, vb::Variant c, double w) {
        AppendRows({{g, vb::Variant::Null(), a, b, c, w}});
    };
    add("p", 1.0, 2.0, 3.0, 1);
    add("p", 2.0, 2.0, 1.0, 2);
    add("p", 3.0, 1.0, 2.0, 1);
    add("p", vb::Variant::Null(), 1.0, 2.0, 1);
    add("p", -99.0, 1.0, 1.0, 1);
    add("p", 5.0, 4.0, 6.0, 0);
    add("q", 1.0, 2.0, 3.0, 1);
    add("q", 1.0, 3.0, 2.0, 1);
    add("q", 2.0, 1.0, 3.0, 1);
    add("q", 3.0, 1.0, 2.0, 1);
    StoredScenario scenario;
    scenario.family = "N";
    scenario.subType = "N Fields";
    scenario.fields = {{"G1", "G", 1}, {"X1", "X", 1}, {"X2", "X", 2}, {"Y", "X", 3}, {"W", "W", 1}};
    scenario.missingType = "1";
    scenario.missingEqual = -99.0;
    ASSERT_TRUE(Run(AddScenario(db, scenario))) << engine->get_ErrorInfo();
    EXPECT_EQ(ColumnNames(db, "Out1"),
              (std::vector<std::string>{"StatOutputID", "G1", "Count", "Observations", "Missing", "DF", "Fields",
                                        "Chi-Squared", "Friedman_Prob"}));
    EXPECT_EQ(ColumnNames(db, "Out2"),
              (std::vector<std::string>{"StatOutputID", "G1", "DataField", "Count", "SumRanks", "MeanRank"}));
    const auto rows = ReadResultRows(db, "Out1");
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(Num(rows[0], "Count"), 4);
    EXPECT_EQ(Num(rows[0], "Observations"), 3);
    EXPECT_EQ(Num(rows[0], "Missing"), 3);
    EXPECT_EQ(Num(rows[0], "DF"), 2);
    EXPECT_EQ(Num(rows[0], "Fields"), 3);
    EXPECT_NEAR(Num(rows[0], "Chi-Squared"), 0.5, 1e-13);
    EXPECT_NEAR(Num(rows[0], "Friedman_Prob"), std::exp(-0.25), 1e-8);
    EXPECT_EQ(Num(rows[1], "Count"), 4);
    EXPECT_EQ(Num(rows[1], "Missing"), 0);
    EXPECT_NEAR(Num(rows[1], "Chi-Squared"), 1.5, 1e-13);
    EXPECT_NEAR(Num(rows[1], "Friedman_Prob"), std::exp(-0.75), 1e-8);

    const auto detail = ReadResultRows(db, "Out2");
    ASSERT_EQ(detail.size(), 6u);
    const struct {
        const char *g, *field;
        double sum;
    } expected[] = {{"p", "X1", 9}, {"p", "X2", 8}, {"p", "Y", 7}, {"q", "X1", 7}, {"q", "X2", 7}, {"q", "Y", 10}};
    for (size_t i = 0; i < 6; ++i) {
        EXPECT_EQ(detail[i].at("G1").ToString(), expected[i].g);
        EXPECT_EQ(detail[i].at("DataField").ToString(), expected[i].field);
        EXPECT_EQ(Num(detail[i], "Count"), 4);
        EXPECT_NEAR(Num(detail[i], "SumRanks"), expected[i].sum, 1e-13);
        EXPECT_NEAR(Num(detail[i], "MeanRank"), expected[i].sum / 4, 1e-13);
    }
}

}  // namespace
}  // namespace enginetest
