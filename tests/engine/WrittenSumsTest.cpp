// Sums and means as the result tables write them: the exact sum of the terms
// rounded once, and the exact mean rounded once, whichever analysis writes
// them. Expected values are the stored Doubles' exact sums and quotients,
// worked in exact rational arithmetic (Python's fractions.Fraction).
#include <cmath>
#include <string>
#include <vector>

#include "EngineTestSupport.h"

namespace enginetest {
namespace {

using vb::Variant;

class WrittenSumsTest : public EngineTest {
protected:
    // Group "m": 0.1, 0.2, ..., 2.9 with weight 1, whose stored values sum
    // to 43.5 exactly rounded (a running sum ends 1.5000000000000004 as mean).
    // Group "w": 0.1, 1.4, 1.0 with weights 0.1, 0.2, 0.3: sum w x over sum
    // w is 0.98333333333333333703... (0.9833333333333333; the running mean
    // gives 0.9833333333333332). Group "s": twenty records of weight 0.1
    // with X1 < X2 < Y, whose weights sum to 2.00000000000000011102...
    // (2; added one by one 2.0000000000000004).
    void SetUp() override {
        EngineTest::SetUp();
        std::vector<std::vector<Variant>> rows;
        for (int i = 1; i <= 29; ++i) {
            const double x = std::stod(std::to_string(i / 10) + "." + std::to_string(i % 10));
            rows.push_back({"m", "-", x, x, x, 1.0});
        }
        rows.push_back({"w", "-", 0.1, 0.1, 0.1, 0.1});
        rows.push_back({"w", "-", 1.4, 1.4, 1.4, 0.2});
        rows.push_back({"w", "-", 1.0, 1.0, 1.0, 0.3});
        for (int i = 1; i <= 20; ++i) rows.push_back({"s", "-", double(i), i + 100.0, i + 200.0, 0.1});
        AppendRows(rows);
    }

    std::vector<ResultRow> RunOf(const char* family, const char* subType,
                                 std::vector<std::tuple<std::string, Variant, int16_t>> fields,
                                 std::map<std::string, Variant> options, const std::string& table = "Out1") {
        fields.insert(fields.begin(), {"G1", "G", 1});
        fields.emplace_back("W", "W", 1);
        StoredScenario s = StoredScenario::Of(family, subType, std::move(fields), std::move(options));
        EXPECT_TRUE(Run(AddScenario(db, s))) << subType << ": " << engine->get_ErrorInfo();
        return ReadResultRows(db, table);
    }
    static const ResultRow* Group(const std::vector<ResultRow>& rows, const std::string& g,
                                  const std::string& field = "") {
        for (const ResultRow& r : rows)
            if (r.at("G1").ToString() == g && (field.empty() || r.at("DataField").ToString() == field)) return &r;
        ADD_FAILURE() << "no row of group " << g << " " << field;
        static const ResultRow none;
        return &none;
    }
};

TEST_F(WrittenSumsTest, TheSameValuesGiveTheSameMeanInEveryAnalysis) {
    const double exactM = 1.5, exactW = 0.98333333333333333;
    auto describe = RunOf("P", "Describe", {{"X1", "X", 1}}, {{"Mean", true}});
    EXPECT_EQ(Num(*Group(describe, "m"), "Mean"), exactM);
    EXPECT_EQ(Num(*Group(describe, "w"), "Mean"), exactW);

    auto compare = RunOf("P", "Compare", {{"X1", "X", 1}, {"Y", "Y", 1}}, {{"MeanXY", true}});
    for (const char* g : {"m", "w"}) {
        const double mean = g[0] == 'm' ? exactM : exactW;
        EXPECT_EQ(Num(*Group(compare, g), "MeanX"), mean) << g;
        EXPECT_EQ(Num(*Group(compare, g), "MeanY"), mean) << g;
    }

    auto paired = RunOf("N", "Paired Fields", {{"X1", "X", 1}, {"Y", "Y", 1}}, {{"NPPair_Sign", true}});
    for (const char* g : {"m", "w"}) {
        const double mean = g[0] == 'm' ? exactM : exactW;
        EXPECT_EQ(Num(*Group(paired, g), "Mean"), mean) << g;
        EXPECT_EQ(Num(*Group(paired, g), "MeanY"), mean) << g;
    }

    auto fit = RunOf("N", "K-S Fit", {{"X1", "X", 1}}, {{"FitNormal", true}});
    EXPECT_EQ(Num(*Group(fit, "m"), "Mean"), exactM);

    auto sign = RunOf("N", "Sign Test", {{"X1", "X", 1}}, {{"SignMean", true}});
    EXPECT_EQ(Num(*Group(sign, "m"), "TestValue"), exactM);
}

TEST_F(WrittenSumsTest, SumsOfWeightsAndRanksAreExactSumsRoundedOnce) {
    auto sign = RunOf("N", "Sign Test", {{"X1", "X", 1}}, {{"SignCustom", true}, {"SignValue", 10.5}});
    const ResultRow& s = *Group(sign, "s");
    EXPECT_EQ(Num(s, "Count"), 2);
    EXPECT_EQ(Num(s, "Count<Test"), 1);  // ten weights of 0.1: 1.00000000000000005551...
    EXPECT_EQ(Num(s, "Count>Test"), 1);

    auto fit = RunOf("N", "K-S Fit", {{"X1", "X", 1}}, {{"FitUniform", true}});
    EXPECT_EQ(Num(*Group(fit, "s"), "Count"), 2);

    auto paired = RunOf("N", "Paired Fields", {{"X1", "X", 1}, {"Y", "Y", 1}}, {{"NPPair_Sign", true}});
    EXPECT_EQ(Num(*Group(paired, "s"), "Count<Y"), 2);

    // Every record ranks X1, X2, Y as 1, 2, 3: the rank sums are 20 times
    // 0.1, 0.2 and 0.3 of the stored weight, 2.00000000000000011102...,
    // 4.00000000000000022204... and 6.00000000000000033307... (one by one
    // 2.0000000000000004, 4.000000000000001 and 5.999999999999998).
    auto friedman = RunOf("N", "N Fields", {{"X1", "X", 1}, {"X2", "X", 2}, {"Y", "X", 3}}, {}, "Out2");
    const double sums[] = {2, 4, 6};
    const char* names[] = {"X1", "X2", "Y"};
    for (int b = 0; b < 3; ++b) {
        const ResultRow& r = *Group(friedman, "s", names[b]);
        EXPECT_EQ(Num(r, "SumRanks"), sums[b]) << names[b];
        EXPECT_EQ(Num(r, "MeanRank"), b + 1) << names[b];
    }

    // Sum w x^2 of 0.1 and 0.2: 0.05000000000000000555..., 0.05 (one by one
    // 0.05000000000000001).
    AppendRows({{"q", "-", 0.1, 0.1, 0.1, 1.0}, {"q", "-", 0.2, 0.2, 0.2, 1.0}});
    auto describe = RunOf("P", "Describe", {{"X1", "X", 1}}, {{"Sum", true}});
    EXPECT_EQ(Num(*Group(describe, "q"), "SumSquared"), 0.05);

    // Weights 1, 2^-53 and 2^-106 added by the data layer's Sum: 1 + 2^-53 +
    // 2^-106 lies above the midpoint of 1 and 1 + 2^-52, so it rounds up (a
    // compensated sum gives 1, its error term losing the 2^-106).
    AppendRows(
        {{"c", "-", 1.0, 1.0, 1.0, 1.0}, {"c", "-", 1.0, 1.0, 1.0, 0x1p-53}, {"c", "-", 1.0, 1.0, 1.0, 0x1p-106}});
    auto chi = RunOf("N", "Chi-Square", {{"X1", "C", 1}}, {{"ChiDetail", true}}, "Out2");
    EXPECT_EQ(Num(*Group(chi, "c"), "Observed"), 1 + 0x1p-52);
}

TEST_F(WrittenSumsTest, CountsAndMeansOfSeveralSumsAreOneExactSumRoundedOnce) {
    // Two samples of weights 1.1 + 1.3 and 1.1: 3.50000000000000022204...
    // exactly, 3.5 (the samples' rounded counts added, 3.5000000000000004).
    AppendRows({{"mw", "a", 1.0, 1.0, 1.0, 1.1}, {"mw", "a", 3.0, 3.0, 3.0, 1.3}, {"mw", "b", 2.0, 2.0, 2.0, 1.1}});
    auto mann = RunOf("N", "2 Sample", {{"G2", "C", 1}, {"X1", "X", 1}}, {{"NPTwoType", "Mann"}});
    EXPECT_EQ(Num(*Group(mann, "mw"), "Count"), 3.5);

    // Three values observed 0.1 each: the total 0.30000000000000001665...
    // over 3 is 0.1000000000000000055511... (0.1, which each observes), where
    // the rounded total over 3 gives 0.10000000000000002 and a Chi-Square above 0.
    AppendRows({{"cq", "-", 1.0, 1.0, 1.0, 0.1}, {"cq", "-", 2.0, 2.0, 2.0, 0.1}, {"cq", "-", 3.0, 3.0, 3.0, 0.1}});
    auto chi = RunOf("N", "Chi-Square", {{"X1", "C", 1}}, {});
    EXPECT_EQ(Num(*Group(chi, "cq"), "Expected"), 0.1);
    EXPECT_EQ(Num(*Group(chi, "cq"), "Chi-Square"), 0);
}

TEST_F(WrittenSumsTest, DifferencesKeepTheDigitsOfValuesBeyondTheir15th) {
    // Weights 1e15 + 0.625 and 1e15 - 0.625 (stored exactly) on two values:
    // each differs from the expected 1e15 by 0.625, which the values cut to
    // 15 digits lose (1e15 less 1e15, 0).
    AppendRows({{"cb", "-", 1.0, 1.0, 1.0, 1e15 + 0.625}, {"cb", "-", 2.0, 2.0, 2.0, 1e15 - 0.625}});
    auto chi = RunOf("N", "Chi-Square", {{"X1", "C", 1}}, {{"ChiDetail", true}}, "Out2");
    std::vector<double> differences;
    for (const ResultRow& r : chi)
        if (r.at("G1").ToString() == "cb") differences.push_back(Num(r, "Difference"));
    EXPECT_EQ(differences, (std::vector<double>{0.625, -0.625}));

    // Y = 1e15 + 0.25, 1e15 - 0.25 at X = 0 and 1e15 + 1.25, 1e15 + 0.75 at
    // X = 1: the line 1e15 + X leaves residuals of 0.25 each way, each the
    // exact Y less the written estimate (close values: a Double holds it).
    AppendRows({{"rg", "-", 0.0, 0.0, 1e15 + 0.25, 1.0},
                {"rg", "-", 0.0, 0.0, 1e15 - 0.25, 1.0},
                {"rg", "-", 1.0, 1.0, 1e15 + 1.25, 1.0},
                {"rg", "-", 1.0, 1.0, 1e15 + 0.75, 1.0}});
    RunOf("P", "Regression", {{"X1", "X", 1}, {"Y", "Y", 1}},
          {{"RegressType", "S"}, {"RPoly", Variant(int16_t{2})}, {"RYInt", true}, {"RANova", false}});
    int seen = 0;
    for (const ResultRow& r : ReadResultRows(db, "Out2")) {
        if (r.at("G1").ToString() != "rg") continue;
        ++seen;
        const double y = Num(r, "Y:Y"), estimate = Num(r, "Estimated_Y");
        EXPECT_NEAR(estimate, 1e15 + Num(r, "X_Value"), 0.25);
        EXPECT_EQ(Num(r, "Residual"), y - estimate) << y;
        EXPECT_NE(Num(r, "Residual"), 0) << y;
    }
    EXPECT_EQ(seen, 4);
}

}  // namespace
}  // namespace enginetest
