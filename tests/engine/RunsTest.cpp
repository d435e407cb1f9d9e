// "2 Sample" scenarios of the runs type: the Wald-Wolfowitz runs test.
// References are the textbook formulas worked by hand, with R 4.2's pnorm.
#include <cmath>
#include <string>
#include <utility>

#include "NonParam2Support.h"

namespace enginetest {
namespace {

class Runs : public NonParamTest {
protected:
    int32_t RunsScenario(const std::vector<std::string>& xs = {"X1"}) {
        return Scenario("2 Sample", {{"NPTwoType", "Wald"}}, xs);
    }
    // Values 1..n with the samples in the given repeating pattern.
    void FillPattern(const std::string& group, int n, const std::string& pattern) {
        std::vector<SourceRow> rows;
        for (int i = 1; i <= n; ++i) {
            rows.push_back(
                {group, std::string(1, pattern[static_cast<size_t>(i - 1) % pattern.size()]), static_cast<double>(i)});
        }
        Fill(rows);
    }
};

TEST_F(Runs, AlternatingSamples) {
    FillPattern("g", 4, "AB");
    ASSERT_TRUE(Run(RunsScenario())) << engine->get_ErrorInfo();
    const auto rows = ReadResultRows(db, "Out1");
    ASSERT_EQ(rows.size(), 1u);
    const ResultRow& r = rows[0];
    EXPECT_EQ(r.at("G2-1").ToString(), "A");
    EXPECT_EQ(r.at("G2-2").ToString(), "B");
    EXPECT_EQ(Num(r, "Count"), 4);
    EXPECT_EQ(Num(r, "Missing"), 0);
    EXPECT_EQ(Num(r, "Cases-1"), 2);
    EXPECT_EQ(Num(r, "Cases-2"), 2);
    EXPECT_EQ(Num(r, "Wald_Min_Runs"), 4);
    EXPECT_EQ(Num(r, "Wald_Max_Runs"), 4);
    // mean 2*2*2/4 + 1 = 3, variance 2*2*2*(8-4)/(16*3) = 2/3
    EXPECT_DOUBLE_EQ(Num(r, "Wald_Mean"), 3);
    EXPECT_NEAR(Num(r, "Wald_StdDev"), std::sqrt(2.0 / 3.0), 1e-15);
    // Below 50 cases 0.5 comes off the distance: z = (4 - 3 - 0.5) / sd;
    // R 4.2: pnorm(-0.612372435695794) = 0.27014568730371
    EXPECT_NEAR(Num(r, "Wald_Max_Z"), 0.612372435695794, 1e-12);
    EXPECT_NEAR(Num(r, "Wald_Max_Prob"), 0.27014568730371, 1e-9);
}

TEST_F(Runs, TiedBlockGivesFewestAndMostRuns) {
    Fill({{"g", "A", 1.0}, {"g", "A", 1.0}, {"g", "B", 1.0}, {"g", "B", 2.0}, {"g", "A", 3.0}});
    ASSERT_TRUE(Run(RunsScenario())) << engine->get_ErrorInfo();
    const auto rows = ReadResultRows(db, "Out1");
    ASSERT_EQ(rows.size(), 1u);
    const ResultRow& r = rows[0];
    // AAB|B|A gives 3 runs at fewest, ABA|B|A 5 at most.
    EXPECT_EQ(Num(r, "Wald_Min_Runs"), 3);
    EXPECT_EQ(Num(r, "Wald_Max_Runs"), 5);
    EXPECT_EQ(Num(r, "Ties"), 3);
    EXPECT_EQ(Num(r, "TiedGroups"), 1);
    // N1 = 3, N2 = 2: mean 3.4, variance 2*6*7/(25*4) = 0.84. Min: |3 - 3.4|
    // is within the 0.5 correction, so z = 0 and the one-tailed probability 0.5.
    EXPECT_DOUBLE_EQ(Num(r, "Wald_Mean"), 3.4);
    EXPECT_EQ(Num(r, "Wald_Min_Z"), 0);
    EXPECT_DOUBLE_EQ(Num(r, "Wald_Min_Prob"), 0.5);
    // Max: (5 - 3.4 - 0.5) / sqrt(0.84); R 4.2: pnorm(-1.20019839629796)
    EXPECT_NEAR(Num(r, "Wald_Max_Z"), 1.20019839629796, 1e-12);
    EXPECT_NEAR(Num(r, "Wald_Max_Prob"), 0.115031149013198, 1e-9);
}

TEST_F(Runs, ContinuityCorrectionBelowFiftyCasesOnly) {
    FillPattern("n49", 49, "AABB");
    FillPattern("n50", 50, "AABB");
    ASSERT_TRUE(Run(RunsScenario())) << engine->get_ErrorInfo();
    const auto rows = ReadResultRows(db, "Out1");
    ASSERT_EQ(rows.size(), 2u);
    // N = 49: 25 runs, mean 25.4898 (N1 = 25, N2 = 24): the distance 0.49 is
    // taken up by the correction.
    EXPECT_EQ(Num(rows[0], "Wald_Min_Runs"), 25);
    EXPECT_NEAR(Num(rows[0], "Wald_Mean"), 25.4897959183673, 1e-12);
    EXPECT_NEAR(Num(rows[0], "Wald_StdDev"), 3.4618766232015, 1e-12);
    EXPECT_EQ(Num(rows[0], "Wald_Min_Z"), 0);
    EXPECT_DOUBLE_EQ(Num(rows[0], "Wald_Min_Prob"), 0.5);
    // N = 50: 25 runs, N1 = 26, N2 = 24, mean 25.96, sd 3.49355558310511,
    // no correction: z = (25 - 25.96) / sd; R 4.2: pnorm(z) = 0.391738146127848
    EXPECT_NEAR(Num(rows[1], "Wald_Mean"), 25.96, 1e-12);
    EXPECT_NEAR(Num(rows[1], "Wald_StdDev"), 3.49355558310511, 1e-12);
    EXPECT_NEAR(Num(rows[1], "Wald_Min_Z"), -0.274791677751622, 1e-12);
    EXPECT_NEAR(Num(rows[1], "Wald_Min_Prob"), 0.391738146127848, 1e-9);
}

TEST_F(Runs, CompareValueCountsOtherThanTwoAreRefused) {
    EXPECT_FALSE(Run(RunsScenario()));
    EXPECT_EQ(engine->get_ErrorInfo(), "Problem with input query");

    FillSample("g", "A", {1, 2});
    EXPECT_FALSE(Run(RunsScenario()));
    EXPECT_EQ(engine->get_ErrorInfo(), "Compare Field has 1 value.\r\nTwo values are required.");

    FillSample("g", "B", {3});
    FillSample("g", "C", {4});
    EXPECT_FALSE(Run(RunsScenario()));
    EXPECT_EQ(engine->get_ErrorInfo(), "Compare Field has 3 values.\r\nOnly two values are permitted.");
    EXPECT_FALSE(db->TableDefs()->Contains("Out1"));
}

TEST_F(Runs, OneSampleOrOneCaseLeavesTheTestNull) {
    FillSample("a", "A", {1, 2, 3});
    FillSample("b", "A", {1});
    FillSample("c", "B", {1});
    ASSERT_TRUE(Run(RunsScenario())) << engine->get_ErrorInfo();
    const auto rows = ReadResultRows(db, "Out1");
    ASSERT_EQ(rows.size(), 3u);
    // One sample only: no spread, so z and probabilities are Null.
    EXPECT_EQ(Num(rows[0], "Wald_StdDev"), 0);
    EXPECT_EQ(Num(rows[0], "Wald_Min_Runs"), 1);
    EXPECT_EQ(Num(rows[0], "Wald_Max_Runs"), 1);
    for (const char* column : {"Wald_Min_Z", "Wald_Min_Prob", "Wald_Max_Z", "Wald_Max_Prob"}) {
        EXPECT_TRUE(IsNull(rows[0], column)) << column;
    }
    // One case: only the leading columns, Count and Missing.
    EXPECT_EQ(Num(rows[1], "Count"), 1);
    EXPECT_TRUE(IsNull(rows[1], "Cases-1"));
    EXPECT_TRUE(IsNull(rows[1], "Wald_Mean"));
}

// A record stands for the whole part of its weight: one below 1 makes no
// run and is no case, and the counts are the whole parts added up, 32-bit or
// not. References are the expanded samples worked by hand (mean 2 n1 n2 / N +
// 1, variance 2 n1 n2 (2 n1 n2 - N) / (N^2 (N - 1))) in exact arithmetic.
TEST_F(Runs, WholeWeightsAtAnyScaleAreTheCases) {
    const vb::Variant null = vb::Variant::Null();
    // f: A = {1, 2, 2}, B = {4, 6, 7, 8}: two runs; the 0.5 of A at 5 and the
    // 0.7 of B tied with A at 2 would make more.
    Fill({{"f", "A", 1.0, null, 1.0},
          {"f", "A", 2.0, null, 2.5},
          {"f", "A", 5.0, null, 0.5},
          {"f", "B", 2.0, null, 0.7},
          {"f", "B", 4.0, null, 1.0},
          {"f", "B", 6.0, null, 1.9},
          {"f", "B", 7.0, null, 1.0},
          {"f", "B", 8.0, null, 1.0}});
    // n: sample A holds no whole observation.
    Fill({{"n", "A", 1.0, null, 0.5},
          {"n", "A", 3.0, null, 0.9},
          {"n", "B", 2.0, null, 1.0},
          {"n", "B", 4.0, null, 1.0}});
    // c and h: A = {1, 3, 5}, B = {3, 4, 6}, k copies each: runs 4 fewest,
    // 2k + 4 most (the tie at 3 alternated), 2k tied cases.
    for (const auto& [group, k] : {std::pair<const char*, double>{"c", 1.5e9}, {"h", 0x1p64}}) {
        Fill({{group, "A", 1.0, null, k},
              {group, "A", 3.0, null, k},
              {group, "A", 5.0, null, k},
              {group, "B", 3.0, null, k},
              {group, "B", 4.0, null, k},
              {group, "B", 6.0, null, k}});
    }
    ASSERT_TRUE(Run(Scenario("2 Sample", {{"NPTwoType", "Wald"}}, {"X1"}, true, true))) << engine->get_ErrorInfo();
    const auto rows = ReadResultRows(db, "Out1");
    ASSERT_EQ(rows.size(), 4u);  // c, f, h, n
    const ResultRow& f = rows[1];
    EXPECT_EQ(Num(f, "Count"), 7);
    EXPECT_EQ(Num(f, "Cases-1"), 3);
    EXPECT_EQ(Num(f, "Cases-2"), 4);
    EXPECT_EQ(Num(f, "Ties"), 0);
    EXPECT_EQ(Num(f, "TiedGroups"), 0);
    EXPECT_EQ(Num(f, "Wald_Min_Runs"), 2);
    EXPECT_EQ(Num(f, "Wald_Max_Runs"), 2);
    EXPECT_NEAR(Num(f, "Wald_Mean"), 31.0 / 7, 1e-14);
    EXPECT_NEAR(Num(f, "Wald_StdDev"), std::sqrt(408.0 / 294), 1e-14);
    // (2 - 31/7 + 0.5) / sd below 50 cases; its lower tail
    EXPECT_NEAR(Num(f, "Wald_Min_Z"), -1.63711546899525, 1e-13);
    EXPECT_NEAR(Num(f, "Wald_Min_Prob"), 0.0508031724877784, 1e-14);
    const ResultRow& n = rows[3];
    EXPECT_EQ(Num(n, "Count"), 2);
    EXPECT_EQ(Num(n, "Cases-1"), 0);
    EXPECT_TRUE(IsNull(n, "Wald_Min_Z"));
    EXPECT_TRUE(IsNull(n, "Wald_Max_Prob"));

    struct Expected {
        double k, mean, sd, minZ, maxZ;
    };
    const Expected big[] = {{1.5e9, 4500000001, 47434.1648998905, -94868.3297470763, -31622.7765401951},
                            {0x1p64, 5.53402322211287e19, 5260239168.57060, -10520478337.1412, -3506826112.38040}};
    const auto near = [](double got, double expected) { EXPECT_NEAR(got, expected, std::fabs(expected) * 1e-13); };
    for (size_t i = 0; i < 2; ++i) {
        const Expected& e = big[i];
        const ResultRow& r = rows[i * 2];
        SCOPED_TRACE(e.k);
        EXPECT_EQ(Num(r, "Count"), 6 * e.k);
        EXPECT_EQ(Num(r, "Cases-1"), 3 * e.k);
        EXPECT_EQ(Num(r, "Ties"), 2 * e.k);
        EXPECT_EQ(Num(r, "TiedGroups"), 1);
        EXPECT_EQ(Num(r, "Wald_Min_Runs"), 4);
        near(Num(r, "Wald_Max_Runs"), 2 * e.k + 4);
        near(Num(r, "Wald_Mean"), e.mean);
        near(Num(r, "Wald_StdDev"), e.sd);
        near(Num(r, "Wald_Min_Z"), e.minZ);
        near(Num(r, "Wald_Max_Z"), e.maxZ);
    }
}

TEST_F(Runs, NullCompareValueIsTheSampleWhoseValueIsNull) {
    Fill({{"g", vb::Variant::Null(), 1.0},
          {"g", "A", 2.0},
          {"g", vb::Variant::Null(), 3.0},
          {"g", "A", 4.0},
          {"g", "A", vb::Variant::Null()}});
    ASSERT_TRUE(Run(RunsScenario())) << engine->get_ErrorInfo();
    const auto rows = ReadResultRows(db, "Out1");
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_TRUE(IsNull(rows[0], "G2-1"));
    EXPECT_EQ(Num(rows[0], "Cases-1"), 2);
    EXPECT_EQ(Num(rows[0], "Cases-2"), 2);
    EXPECT_EQ(Num(rows[0], "Wald_Min_Runs"), 4);
    EXPECT_EQ(Num(rows[0], "Missing"), 1);
}

TEST_F(Runs, AFailedDataFieldFailsTheRunEvenWhenALaterOneSucceeds) {
    FillPattern("g", 4, "AB");
    EXPECT_FALSE(Run(RunsScenario({"NoSuchField", "X1"})));
    EXPECT_FALSE(engine->get_ErrorInfo().empty());
}

}  // namespace
}  // namespace enginetest
