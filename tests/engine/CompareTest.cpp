// Field comparison end to end: weighted pairs with Nulls, a skipped weight,
// a group without any valid Y, and the t test against R.
#include <algorithm>
#include <cmath>

#include "EngineTestSupport.h"

namespace enginetest {
namespace {

using vb::Variant;
using Row = ResultRow;
const Variant N = Variant::Null();

class CompareTest : public EngineTest {
protected:
    int32_t AddCompare(bool weighted) {
        StoredScenario s;
        s.subType = "Compare";
        s.fields = {{"G1", "G", 1}, {"X1", "X", 1}, {"X2", "X", 2}, {"Y", "Y", 1}};
        if (weighted) s.fields.emplace_back("W", "W", 1);
        s.options = {{"CountXY", true}, {"MeanXY", true}, {"CorrXY", true}, {"TTest", true}};
        return AddScenario(db, s);
    }
};

TEST_F(CompareTest, WeightedPairsWithNullsMatchReplicatedData) {
    AppendRows({
        {"a", N, 1.0, 2.0, 2.0, 1.0},
        {"a", N, 2.0, N, 3.0, 2.0},
        {"a", N, 4.0, 3.0, 3.0, 1.0},
        {"a", N, 3.0, 5.0, N, 1.0},    // no Y: missing for both pairs
        {"a", N, 5.0, 4.0, 6.0, 0.0},  // weight 0: missing
        {"a", N, 6.0, 8.0, 5.0, 3.0},
        {"b", N, 1.0, 1.0, N, 1.0},  // a group without any valid Y
        {"b", N, 2.0, 2.0, N, 1.0},
    });
    ASSERT_TRUE(Run(AddCompare(true))) << engine->get_ErrorInfo();
    auto rows = ReadResultRows(db, "Out1");
    ASSERT_EQ(rows.size(), 4u);

    // X1 against Y, weights as frequencies: x = 1,2,2,4,6,6,6; y = 2,3,3,3,5,5,5.
    const Row& x1 = rows[0];
    EXPECT_EQ(x1.at("G1").String(), "a");
    EXPECT_EQ(x1.at("DataField").String(), "X1");
    EXPECT_DOUBLE_EQ(Num(x1, "Count_of_Y"), 7);
    EXPECT_DOUBLE_EQ(Num(x1, "Observations"), 4);
    EXPECT_DOUBLE_EQ(Num(x1, "Missing"), 2);
    EXPECT_DOUBLE_EQ(Num(x1, "Count<Y"), 3);
    EXPECT_DOUBLE_EQ(Num(x1, "Count=Y"), 0);
    EXPECT_DOUBLE_EQ(Num(x1, "Count>Y"), 4);
    // R 4.2 on the replicated data: mean(x), mean(y), mean(x-y), sd(x-y),
    // cov(x,y), cor(x,y), t.test(x, y, paired=TRUE)$statistic, $parameter, $p.value
    EXPECT_NEAR(Num(x1, "MeanX"), 3.857142857142857, 1e-12);
    EXPECT_NEAR(Num(x1, "MeanY"), 3.714285714285714, 1e-12);
    EXPECT_NEAR(Num(x1, "MeanDiff"), 0.142857142857143, 1e-12);
    EXPECT_NEAR(Num(x1, "StdDevDiff"), 1.069044967649698, 1e-12);
    EXPECT_NEAR(Num(x1, "Covariance"), 2.619047619047619, 1e-12);
    EXPECT_NEAR(Num(x1, "Correlation"), 0.952675579132743, 1e-12);
    EXPECT_NEAR(Num(x1, "R-Square"), 0.907590759075908, 1e-12);
    EXPECT_NEAR(Num(x1, "T-DF"), 6, 1e-12);
    EXPECT_NEAR(Num(x1, "Paired_t-Value"), 0.353553390593274, 1e-12);
    EXPECT_NEAR(Num(x1, "Prob_(2-tail)"), 0.735764859879812, 1e-9);
    EXPECT_NEAR(Num(x1, "Prob_(1-tail)"), 0.735764859879812 / 2, 1e-9);

    // X2 against Y: x = 2,3,8,8,8; y = 2,3,5,5,5 (R 4.2, same calls).
    const Row& x2 = rows[1];
    EXPECT_EQ(x2.at("DataField").String(), "X2");
    EXPECT_DOUBLE_EQ(Num(x2, "Count_of_Y"), 5);
    EXPECT_DOUBLE_EQ(Num(x2, "Observations"), 3);
    EXPECT_DOUBLE_EQ(Num(x2, "Missing"), 3);
    EXPECT_DOUBLE_EQ(Num(x2, "Count=Y"), 2);
    EXPECT_DOUBLE_EQ(Num(x2, "Count>Y"), 3);
    EXPECT_NEAR(Num(x2, "MeanDiff"), 1.8, 1e-12);
    EXPECT_NEAR(Num(x2, "StdDevDiff"), 1.6431676725154984, 1e-12);
    EXPECT_NEAR(Num(x2, "Covariance"), 4.25, 1e-12);
    EXPECT_NEAR(Num(x2, "Correlation"), 0.9907863587553334, 1e-12);
    EXPECT_NEAR(Num(x2, "Paired_t-Value"), 2.4494897427831779, 1e-12);
    EXPECT_NEAR(Num(x2, "Prob_(2-tail)"), 0.0704839969102199, 1e-9);

    // Group b: Y missing everywhere, so count 0, every record missing, nothing else.
    for (int k = 2; k < 4; ++k) {
        const Row& b = rows[static_cast<size_t>(k)];
        EXPECT_EQ(b.at("G1").String(), "b");
        EXPECT_DOUBLE_EQ(Num(b, "Count_of_Y"), 0);
        EXPECT_DOUBLE_EQ(Num(b, "Missing"), 2);
        for (const char* c : {"Count<Y", "MeanX", "MeanDiff", "StdDevDiff", "Covariance", "Correlation", "T-DF",
                              "Paired_t-Value", "Prob_(2-tail)"}) {
            EXPECT_TRUE(IsNull(b, c)) << c;
        }
    }
}

TEST_F(CompareTest, EqualFieldsAndSinglePairsLeaveUndefinedValuesEmpty) {
    AppendRows({
        {"a", N, 1.0, 1.0, 1.0, N},
        {"a", N, 2.0, 5.0, 2.0, N},
        {"a", N, 3.0, N, 3.0, N},
    });
    ASSERT_TRUE(Run(AddCompare(false))) << engine->get_ErrorInfo();
    auto rows = ReadResultRows(db, "Out1");
    ASSERT_EQ(rows.size(), 2u);
    const auto columns = ColumnNames(db, "Out1");
    EXPECT_EQ(std::count(columns.begin(), columns.end(), "Observations"), 0);
    // X1 equals Y in every pair: no spread of the difference, so no t test.
    const Row& same = rows[0];
    EXPECT_DOUBLE_EQ(Num(same, "Count_of_Y"), 3);
    EXPECT_DOUBLE_EQ(Num(same, "Count=Y"), 3);
    EXPECT_DOUBLE_EQ(Num(same, "MeanDiff"), 0);
    EXPECT_DOUBLE_EQ(Num(same, "Correlation"), 1);
    EXPECT_TRUE(IsNull(same, "StdDevDiff"));
    EXPECT_TRUE(IsNull(same, "Paired_t-Value"));
    EXPECT_TRUE(IsNull(same, "Prob_(2-tail)"));
    // X2: two pairs (1,1) and (5,2): d = 0, 3; mean 1.5, sd 2.1213..., t = 1 with 1 df, p = 0.5.
    const Row& two = rows[1];
    EXPECT_DOUBLE_EQ(Num(two, "Missing"), 1);
    EXPECT_NEAR(Num(two, "StdDevDiff"), std::sqrt(4.5), 1e-12);
    EXPECT_NEAR(Num(two, "Paired_t-Value"), 1.0, 1e-12);
    EXPECT_NEAR(Num(two, "Prob_(2-tail)"), 0.5, 1e-9);  // t(1) is Cauchy: P(|T| >= 1) = 1/2
}

// A weight of 5e-324 read first leaves a spread of the differences below the
// smallest normal number: the t test stands (its value is no infinity), and
// the mean is the other pair's difference, 0.91 - 9.18. t by exact fractions:
// -5.719266734527672e162; the spread is held in a subnormal number of a few
// bits, so t is good to a tenth only.
TEST_F(CompareTest, ASubnormalWeightReadFirstIsNoInfiniteT) {
    AppendRows({{"a", N, 1.85, N, 11.04, 5e-324}, {"a", N, 0.91, N, 9.18, 2.0}});
    StoredScenario s = StoredScenario::Of("P", "Compare", {{"X1", "X", 1}, {"Y", "Y", 1}, {"W", "W", 1}},
                                          {{"MeanXY", true}, {"TTest", true}});
    ASSERT_TRUE(Run(AddScenario(db, s))) << engine->get_ErrorInfo();
    const auto rows = ReadResultRows(db, "Out1");
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_NEAR(Num(rows[0], "MeanDiff"), -8.27, 1e-14);
    EXPECT_EQ(Num(rows[0], "T-DF"), 1);
    EXPECT_NEAR(Num(rows[0], "Paired_t-Value") / -5.719266734527672e162, 1, 0.1);
}

// Six weights of 5e-324 beside one of 2, the heavy record first, last and
// between: the spread of the differences lies below the normal Doubles in
// every order (Mdd some 2.6e-321), and the deviation and t keep their digits.
// References: exact fractions of the decimals typed, the roots by mpmath at
// 60 digits.
TEST_F(CompareTest, SubnormalWeightsBesideANormalOneKeepTheSpreadInEveryOrder) {
    const double tiny = 5e-324;
    const std::vector<std::vector<Variant>> light = {{1.85, 11.04}, {2.4, 3.1}, {7.25, 1.5},
                                                     {0.5, 0.75},   {3.3, 4.4}, {6.1, 2.2}};
    std::vector<std::vector<Variant>> rows;
    for (const char* g : {"a", "b", "c"}) {
        const size_t heavyAt = std::string(g) == "a" ? 0 : (std::string(g) == "b" ? 1 : light.size());
        for (size_t i = 0; i <= light.size(); ++i) {
            if (i == heavyAt) rows.push_back({g, N, 0.91, N, 9.18, 2.0});
            if (i < light.size()) rows.push_back({g, N, light[i][0], N, light[i][1], tiny});
        }
    }
    AppendRows(rows);
    StoredScenario s =
        StoredScenario::Of("P", "Compare", {{"G1", "G", 1}, {"X1", "X", 1}, {"Y", "Y", 1}, {"W", "W", 1}},
                           {{"MeanXY", true}, {"TTest", true}});
    ASSERT_TRUE(Run(AddScenario(db, s))) << engine->get_ErrorInfo();
    const auto out = ReadResultRows(db, "Out1");
    ASSERT_EQ(out.size(), 3u);
    for (const Row& r : out) {
        SCOPED_TRACE(r.at("G1").ToString());
        EXPECT_EQ(Num(r, "MeanDiff"), -8.27);
        EXPECT_NEAR(Num(r, "StdDevDiff") / 5.061597487398754146e-161, 1, 1e-13);
        EXPECT_NEAR(Num(r, "Paired_t-Value") / -2.3106432682453474338e+161, 1, 1e-13);
    }
}

TEST_F(CompareTest, RunningTwiceReplacesTheResultTable) {
    AppendRows({{"a", N, 1.0, 2.0, 2.0, N}, {"a", N, 2.0, 1.0, 3.0, N}});
    const int32_t id = AddCompare(false);
    ASSERT_TRUE(Run(id)) << engine->get_ErrorInfo();
    ASSERT_TRUE(Run(id)) << engine->get_ErrorInfo();
    EXPECT_EQ(ReadQueryRows(db, "SELECT * FROM Out1;").size(), 2u);
}

}  // namespace
}  // namespace enginetest
