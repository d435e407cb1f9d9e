// Cross-tabulation end to end: counts with percent, expected and chi-square
// rows on tables worked by hand, every summary kind, weights, awkward column
// values and several row fields.
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <optional>
#include <string>

#include "EngineTestSupport.h"

namespace enginetest {
namespace {

using vb::Variant;
using Row = ResultRow;
const Variant N = Variant::Null();

// |value / reference - 1|, at any scale.
double RelErr(double value, double reference) { return std::fabs(value / reference - 1); }

class CrosstabTest : public EngineTest {
protected:
    int32_t AddCrosstab(const std::string& kind, std::vector<std::tuple<std::string, Variant, int16_t>> fields,
                        bool all = true, const std::string& input = "Data", const std::string& chiTable = "Out2",
                        const std::string& out = "Out1") {
        StoredScenario s;
        s.subType = "Crosstab";
        s.input = input;
        s.output1 = out;
        s.output2 = chiTable;
        s.fields = std::move(fields);
        s.options = {{"XType", kind},      {"XRowPCnt", all}, {"XColPcnt", all}, {"xTotPcnt", all},
                     {"xExpectPcnt", all}, {"xExpect", all},  {"xChi", all}};
        return AddScenario(db, s);
    }
    // The result rows of one label, in table order.
    std::vector<Row> Rows(const std::string& label, const std::string& table = "Out1") {
        return ReadResultRows(db, table, "DataType = '" + label + "'");
    }
    void AddCells(const std::string& row, const std::string& col, int count) {
        for (int i = 0; i < count; ++i) AppendRows({{row, col, 1.0, N, N, N}});
    }
};

TEST_F(CrosstabTest, CountsPercentsExpectedAndChiSquareOnTwoByTwo) {
    AddCells("r1", "c1", 10);
    AddCells("r1", "c2", 20);
    AddCells("r2", "c1", 30);
    AddCells("r2", "c2", 40);
    // No data field: the records themselves are counted.
    ASSERT_TRUE(Run(AddCrosstab("C", {{"G1", "G", 1}, {"G2", "C", 1}}))) << engine->get_ErrorInfo();
    EXPECT_EQ(ColumnNames(db, "Out1"),
              (std::vector<std::string>{"StatOutputID", "DataField", "G1", "DataType", "RowSummary", "c1", "c2"}));
    auto data = Rows("Data: Count");
    ASSERT_EQ(data.size(), 2u);
    EXPECT_EQ(data[0].at("DataField").String(), "-");
    EXPECT_EQ(data[0].at("G1").String(), "r1");
    EXPECT_DOUBLE_EQ(Num(data[0], "c1"), 10);
    EXPECT_DOUBLE_EQ(Num(data[0], "c2"), 20);
    EXPECT_DOUBLE_EQ(Num(data[0], "RowSummary"), 30);
    EXPECT_TRUE(Rows("Count").empty());  // kind C has no count rows
    // Row r1 of 30 in a table of 100 with column totals 40 and 60.
    const std::vector<std::tuple<std::string, double, double, double>> r1 = {
        {"% Row", 10.0 / 30, 20.0 / 30, 1}, {"% Col", 10.0 / 40, 20.0 / 60, 0.3},
        {"% Total", 0.1, 0.2, 0.3},         {"% Expected", 0.12, 0.18, 0.3},
        {"Expected", 12, 18, 30},
    };
    for (const auto& [label, c1, c2, summary] : r1) {
        auto rows = Rows(label);
        ASSERT_EQ(rows.size(), 2u) << label;
        EXPECT_NEAR(Num(rows[0], "c1"), c1, 1e-12) << label;
        EXPECT_NEAR(Num(rows[0], "c2"), c2, 1e-12) << label;
        EXPECT_NEAR(Num(rows[0], "RowSummary"), summary, 1e-12) << label;
    }
    auto total = Rows("GROUP Total");
    ASSERT_EQ(total.size(), 1u);
    EXPECT_TRUE(IsNull(total[0], "G1"));
    EXPECT_DOUBLE_EQ(Num(total[0], "c1"), 40);
    EXPECT_DOUBLE_EQ(Num(total[0], "c2"), 60);
    EXPECT_DOUBLE_EQ(Num(total[0], "RowSummary"), 100);
    auto rowPct = Rows("GROUP % Row");
    ASSERT_EQ(rowPct.size(), 1u);
    EXPECT_NEAR(Num(rowPct[0], "c1"), 0.4, 1e-12);

    // E = 12, 18, 28, 42: chi = 4/12 + 4/18 + 4/28 + 4/42.
    auto chi = ReadQueryRows(db, "SELECT * FROM Out2;");
    ASSERT_EQ(chi.size(), 1u);
    const double x2 = 4.0 / 12 + 4.0 / 18 + 4.0 / 28 + 4.0 / 42;
    EXPECT_EQ(chi[0].at("DataField").String(), "-");
    EXPECT_DOUBLE_EQ(Num(chi[0], "Count"), 100);
    EXPECT_DOUBLE_EQ(Num(chi[0], "MinExpected"), 12);
    EXPECT_DOUBLE_EQ(Num(chi[0], "MaxExpected"), 42);
    EXPECT_EQ(Num(chi[0], "Columns"), 2);
    EXPECT_EQ(Num(chi[0], "Rows"), 2);
    EXPECT_EQ(Num(chi[0], "DF"), 1);
    // R 4.2: chisq.test(matrix(c(10,30,20,40), 2), correct=FALSE): 0.793650793650794, p 0.372998483613487
    EXPECT_NEAR(Num(chi[0], "Chi-Square"), x2, 1e-12);
    EXPECT_NEAR(Num(chi[0], "Prob"), 0.372998483613487, 1e-8);  // the library's chi-square tail: ~1e-8
    EXPECT_NEAR(Num(chi[0], "Phi-Coefficient"), std::sqrt(x2 / 100), 1e-12);
    EXPECT_NEAR(Num(chi[0], "Coeff_of_Contingency"), std::sqrt(x2 / (x2 + 100)), 1e-12);
    EXPECT_NEAR(Num(chi[0], "Cramer's_V"), std::sqrt(x2 / 100), 1e-12);
}

TEST_F(CrosstabTest, SparseTwoByThreeWeightedWithBlanksAroundValues) {
    // Weighted counts (r1: a 6, c 4; r2: a 4, b 6); b and c each miss a row.
    AppendRows({
        {"r1", "a", 1.0, N, N, 3.0},
        {"r1", "a", 2.0, N, N, 3.0},
        {"r1", "a", 1.0, N, N, -5.0},  // negative weight: not counted
        {"r1", "a", N, N, N, 2.0},     // no value: not counted
        {"r1", "c", 1.0, N, N, 4.0},
        {"r2", "a", 1.0, N, N, 4.0},
        {"r2", "b", 1.0, N, N, 4.0},
        {"r2", " b ", 1.0, N, N, 2.0},  // the column "b" once trimmed
        {"r2", "b", 5.0, N, N, 0.0},
    });
    ASSERT_TRUE(Run(AddCrosstab("C", {{"G1", "G", 1}, {"G2", "C", 1}, {"X1", "X", 1}, {"W", "W", 1}})))
        << engine->get_ErrorInfo();
    auto data = Rows("Data: Count");
    ASSERT_EQ(data.size(), 2u);
    EXPECT_EQ(data[0].at("DataField").String(), "X1");
    EXPECT_DOUBLE_EQ(Num(data[0], "a"), 6);
    EXPECT_TRUE(IsNull(data[0], "b"));
    EXPECT_DOUBLE_EQ(Num(data[0], "c"), 4);
    EXPECT_DOUBLE_EQ(Num(data[1], "a"), 4);
    EXPECT_DOUBLE_EQ(Num(data[1], "b"), 6);
    EXPECT_TRUE(IsNull(data[1], "c"));
    // An empty cell still has an expected value and expected percent.
    auto expected = Rows("Expected");
    EXPECT_DOUBLE_EQ(Num(expected[0], "b"), 3);
    EXPECT_TRUE(IsNull(Rows("% Row")[0], "b"));

    // Expected 5, 3, 2 in both rows; the empty cells add 3 and 2 each:
    // chi = 1/5 + 9/3 + 4/2 + 1/5 + 9/3 + 4/2 = 10.4.
    auto chi = ReadQueryRows(db, "SELECT * FROM Out2;");
    ASSERT_EQ(chi.size(), 1u);
    EXPECT_DOUBLE_EQ(Num(chi[0], "Count"), 20);
    EXPECT_EQ(Num(chi[0], "DF"), 2);
    // R 4.2: chisq.test(matrix(c(6,4,0,6,4,0), 2), correct=FALSE): 10.4, p 0.00551656442076077
    EXPECT_NEAR(Num(chi[0], "Chi-Square"), 10.4, 1e-12);
    EXPECT_NEAR(Num(chi[0], "Prob"), 0.00551656442076077, 1e-8);
    EXPECT_DOUBLE_EQ(Num(chi[0], "MinExpected"), 2);
    EXPECT_DOUBLE_EQ(Num(chi[0], "MaxExpected"), 5);
    // Cramér's V on 2 x 3 divides by min(2, 3) - 1 = 1.
    EXPECT_NEAR(Num(chi[0], "Cramer's_V"), std::sqrt(10.4 / 20), 1e-12);
}

TEST_F(CrosstabTest, EverySummaryKind) {
    // Column a holds 1, 2, 4 (in that order), column b holds 3.
    AppendRows(
        {{"r", "a", 1.0, N, N, N}, {"r", "a", 2.0, N, N, N}, {"r", "a", 4.0, N, N, N}, {"r", "b", 3.0, N, N, N}});
    struct Expect {
        std::string kind, name;
        double a;
        std::optional<double> b;
        double summary;
    };
    // By hand: a = {1, 2, 4}: sum 7, mean 7/3, variance 7/3; all four: mean 2.5, variance 5/3.
    const std::vector<Expect> kinds = {
        {"S", "Sum", 7, 3, 10},
        {"A", "Average", 7.0 / 3, 3, 2.5},
        {"M", "Min", 1, 3, 1},
        {"X", "Max", 4, 3, 4},
        {"R", "Range", 3, 0, 3},
        {"V", "Var", 7.0 / 3, std::nullopt, 5.0 / 3},
        {"D", "StDev", std::sqrt(7.0 / 3), std::nullopt, std::sqrt(5.0 / 3)},
        {"E", "StError", std::sqrt(7.0 / 9), std::nullopt, std::sqrt(5.0 / 12)},
        {"F", "CoefVar", std::sqrt(7.0 / 3) / (7.0 / 3), std::nullopt, std::sqrt(5.0 / 3) / 2.5},
        {"1", "First", 1, 3, 1},
        {"L", "Last", 4, 3, 3},
    };
    for (const Expect& e : kinds) {
        SCOPED_TRACE(e.kind);
        // Each run writes tables of its own names.
        const std::string out = "Out" + e.kind;
        ASSERT_TRUE(Run(
            AddCrosstab(e.kind, {{"G1", "G", 1}, {"G2", "C", 1}, {"X1", "X", 1}}, true, "Data", "Chi" + e.kind, out)))
            << engine->get_ErrorInfo();
        auto data = Rows("Data: " + e.name, out);
        ASSERT_EQ(data.size(), 1u);
        EXPECT_NEAR(Num(data[0], "a"), e.a, 1e-12);
        if (e.b) {
            EXPECT_NEAR(Num(data[0], "b"), *e.b, 1e-12);
        } else {
            EXPECT_TRUE(IsNull(data[0], "b"));  // one value has no spread
        }
        EXPECT_NEAR(Num(data[0], "RowSummary"), e.summary, 1e-12);
        auto count = Rows("Count", out);
        ASSERT_EQ(count.size(), 1u);
        EXPECT_DOUBLE_EQ(Num(count[0], "a"), 3);
        EXPECT_DOUBLE_EQ(Num(count[0], "RowSummary"), 4);
        // Only counts and sums get expected rows and a chi-square table.
        EXPECT_EQ(Rows("Expected", out).size(), e.kind == "S" ? 1u : 0u);
        bool chiTable = true;
        try {
            ReadQueryRows(db, "SELECT * FROM Chi" + e.kind + ";");
        } catch (const vb::VbError&) {
            chiTable = false;
        }
        EXPECT_EQ(chiTable, e.kind == "S");
    }
}

// The coefficient of variation of values whose mean is 0 has no value: the
// cell is empty, not 0 (Describe leaves it empty too).
TEST_F(CrosstabTest, CoefficientOfVariationOfAZeroMeanIsEmpty) {
    AppendRows(
        {{"r", "a", -1.0, N, N, N}, {"r", "a", 1.0, N, N, N}, {"r", "b", 2.0, N, N, N}, {"r", "b", 4.0, N, N, N}});
    ASSERT_TRUE(Run(AddCrosstab("F", {{"G1", "G", 1}, {"G2", "C", 1}, {"X1", "X", 1}}, false, "Data")))
        << engine->get_ErrorInfo();
    auto data = Rows("Data: CoefVar");
    ASSERT_EQ(data.size(), 1u);
    EXPECT_TRUE(IsNull(data[0], "a"));
    // b: mean 3, deviation sqrt(2); all four: mean 1.5, variance 13/3.
    EXPECT_NEAR(Num(data[0], "b"), std::sqrt(2.0) / 3, 1e-14);
    EXPECT_NEAR(Num(data[0], "RowSummary"), std::sqrt(13.0 / 3) / 1.5, 1e-14);
}

TEST_F(CrosstabTest, UnknownKindIsRefused) {
    AppendRows({{"r", "a", 1.0, N, N, N}});
    EXPECT_FALSE(Run(AddCrosstab("U", {{"G1", "G", 1}, {"G2", "C", 1}, {"X1", "X", 1}})));
    EXPECT_EQ(engine->get_ErrorInfo(), "Unknown cross-tabulation summary type: U");
}

TEST_F(CrosstabTest, AwkwardColumnValuesAndSeveralRowFields) {
    dao::TableDefPtr t = db->CreateTableDef("T2");
    AddField(t, "R1", dao::dbText, 10);
    AddField(t, "R2", dao::dbText, 10);
    AddField(t, "Col", dao::dbText, 100);
    AddField(t, "X", dao::dbDouble);
    db->TableDefs()->Append(t);
    const std::string longValue(70, 'L');
    const std::vector<std::vector<Variant>> rows = {
        {"o1", "u", N, 1.0},         {"o1", "u", "DataField", 1.0}, {"o1", "u", "x.y", 1.0}, {"o1", "u", "a]b", 1.0},
        {"o1", "u", longValue, 1.0}, {"o1", "v", "q", 1.0},         {"o1", "v", " q", 1.0},  {"o1", "v", "R2", 1.0},
        {"o2", "v", "q", 1.0},       {"o2", "v", N, 1.0},
    };
    dao::RecordsetPtr rs = db->OpenRecordset("T2", dao::dbOpenTable);
    for (const auto& row : rows) {
        rs->AddNew();
        for (int i = 0; i < 4; ++i) rs->Fields(i)->Value(row[static_cast<size_t>(i)]);
        rs->Update();
    }
    rs->Close();
    ASSERT_TRUE(Run(AddCrosstab("C", {{"R1", "G", 1}, {"R2", "G", 2}, {"Col", "C", 1}, {"X", "X", 1}}, false, "T2")))
        << engine->get_ErrorInfo();
    const auto names = ColumnNames(db, "Out1");
    ASSERT_EQ(names.size(), 13u);
    EXPECT_EQ(std::vector<std::string>(names.begin(), names.begin() + 7),
              (std::vector<std::string>{"StatOutputID", "R1", "DataField", "R2", "DataType", "RowSummary", "<NULL>"}));
    // Every value has a column of its own, named validly and uniquely.
    for (const char* c : {"DataField_2", "x_y", "a_b", "q", "R2_2"}) {
        EXPECT_NE(std::find(names.begin(), names.end(), c), names.end()) << c;
    }
    EXPECT_NE(std::find(names.begin(), names.end(), std::string(64, 'L')), names.end());

    auto data = Rows("Data: Count");
    ASSERT_EQ(data.size(), 3u);
    EXPECT_EQ(data[0].at("R1").String(), "o1");
    EXPECT_EQ(data[0].at("R2").String(), "u");
    for (const std::string& c : std::vector<std::string>{"<NULL>", "DataField_2", "x_y", "a_b", std::string(64, 'L')}) {
        EXPECT_DOUBLE_EQ(Num(data[0], c), 1) << c;
    }
    EXPECT_DOUBLE_EQ(Num(data[0], "RowSummary"), 5);
    EXPECT_DOUBLE_EQ(Num(data[1], "q"), 2);  // "q" and " q"
    EXPECT_DOUBLE_EQ(Num(data[1], "R2_2"), 1);
    EXPECT_EQ(data[2].at("R1").String(), "o2");
    EXPECT_DOUBLE_EQ(Num(data[2], "<NULL>"), 1);

    // One block per outer value; block rows carry the outer value only.
    auto totals = Rows("GROUP Total");
    ASSERT_EQ(totals.size(), 2u);
    EXPECT_EQ(totals[0].at("R1").String(), "o1");
    EXPECT_TRUE(IsNull(totals[0], "R2"));
    EXPECT_DOUBLE_EQ(Num(totals[0], "RowSummary"), 8);
    EXPECT_DOUBLE_EQ(Num(totals[1], "RowSummary"), 2);
}

TEST_F(CrosstabTest, SingleRowValueLeavesTheMeasuresNull) {
    AddCells("r1", "c1", 3);
    AddCells("r1", "c2", 5);
    ASSERT_TRUE(Run(AddCrosstab("C", {{"G1", "G", 1}, {"G2", "C", 1}}))) << engine->get_ErrorInfo();
    auto chi = ReadQueryRows(db, "SELECT * FROM Out2;");
    ASSERT_EQ(chi.size(), 1u);
    EXPECT_EQ(Num(chi[0], "Rows"), 1);
    EXPECT_EQ(Num(chi[0], "Columns"), 2);
    EXPECT_EQ(Num(chi[0], "DF"), 0);
    for (const char* c : {"Chi-Square", "Prob", "Phi-Coefficient", "Coeff_of_Contingency", "Cramer's_V", "MinExpected"})
        EXPECT_TRUE(IsNull(chi[0], c)) << c;
}

TEST_F(CrosstabTest, MissingValueRuleAppliesToValuesAndWeights) {
    // Missing value 2: the value 2 is left out, and so is the record whose weight is 2.
    AppendRows({{"r", "a", 1.0, N, N, 1.0},
                {"r", "a", 2.0, N, N, 1.0},
                {"r", "a", 3.0, N, N, 2.0},
                {"r", "a", 4.0, N, N, 3.0}});
    for (const std::string kind : {"C", "A"}) {
        StoredScenario s;
        s.subType = "Crosstab";
        s.output1 = "Out" + kind;
        s.missingType = "1";
        s.missingEqual = 2.0;
        s.fields = {{"G1", "G", 1}, {"G2", "C", 1}, {"X1", "X", 1}, {"W", "W", 1}};
        s.options = {{"XType", kind}};
        ASSERT_TRUE(Run(AddScenario(db, s))) << engine->get_ErrorInfo();
        auto rows = ReadQueryRows(db, "SELECT * FROM [Out" + kind + "] ORDER BY StatOutputID;");
        ASSERT_FALSE(rows.empty());
        // Weighted count 1 + 3; weighted mean (1*1 + 4*3) / 4.
        EXPECT_DOUBLE_EQ(Num(rows[0], "a"), kind == "C" ? 4.0 : 13.0 / 4) << kind;
    }
}

TEST_F(CrosstabTest, WeightedRecordCountWithoutDataField) {
    AppendRows({{"r", "a", N, N, N, 1.0},
                {"r", "a", N, N, N, 2.0},
                {"r", "a", N, N, N, -1.0},
                {"r", "b", N, N, N, N},
                {"r", "b", N, N, N, 0.5}});
    ASSERT_TRUE(Run(AddCrosstab("C", {{"G1", "G", 1}, {"G2", "C", 1}, {"W", "W", 1}}, false)))
        << engine->get_ErrorInfo();
    auto data = Rows("Data: Count");
    ASSERT_EQ(data.size(), 1u);
    EXPECT_EQ(data[0].at("DataField").String(), "-");
    EXPECT_DOUBLE_EQ(Num(data[0], "a"), 3);
    EXPECT_DOUBLE_EQ(Num(data[0], "b"), 0.5);
}

// A record of weight 0 is left out by every kind: the first and last values
// of the cell 3 (weight 0), 5, 7 (weight 0), 4 are 5 and 4, as the minimum is 4.
TEST_F(CrosstabTest, FirstAndLastLeaveOutRecordsOfWeightZero) {
    AppendRows({{"r", "a", 3.0, N, N, 0.0},
                {"r", "a", 5.0, N, N, 1.0},
                {"r", "a", 7.0, N, N, 0.0},
                {"r", "a", 4.0, N, N, 2.0}});
    for (const auto& [kind, name, value] : {std::tuple{"1", "First", 5.0}, {"L", "Last", 4.0}, {"M", "Min", 4.0}}) {
        ASSERT_TRUE(Run(AddCrosstab(kind, {{"G1", "G", 1}, {"G2", "C", 1}, {"X1", "X", 1}, {"W", "W", 1}}, false)))
            << engine->get_ErrorInfo();
        auto data = Rows(std::string("Data: ") + name);
        ASSERT_EQ(data.size(), 1u) << kind;
        EXPECT_EQ(Num(data[0], "a"), value) << kind;
        EXPECT_EQ(Num(Rows("Count")[0], "a"), 3) << kind;
    }
}

// Weights far from 1 scale every count, expected value and the statistic by
// the weight, and leave the measures as they are. The table A: p 2, q 1;
// B: p 1, q 3 (by hand): expected 9/7, 12/7, 12/7, 16/7, chi-square
// (5/7)^2 (7/9 + 7/12 + 7/12 + 7/16) = 175/144, phi sqrt(175/144/7) = 5/12.
TEST_F(CrosstabTest, ChiSquareOfWeightsFarFromOne) {
    for (const double w : {1.0, 1e300, std::ldexp(1.0, 600), std::ldexp(1.0, -600)}) {
        SCOPED_TRACE(w);
        db->Execute("DELETE FROM Data");
        for (const auto& [row, col] :
             {std::pair{"A", "p"}, {"A", "p"}, {"A", "q"}, {"B", "p"}, {"B", "q"}, {"B", "q"}, {"B", "q"}})
            AppendRows({{row, col, N, N, N, w}});
        ASSERT_TRUE(Run(AddCrosstab("C", {{"G1", "G", 1}, {"G2", "C", 1}, {"W", "W", 1}}))) << engine->get_ErrorInfo();
        const auto chi = ReadResultRows(db, "Out2");
        ASSERT_EQ(chi.size(), 1u);
        EXPECT_LT(RelErr(Num(chi[0], "Chi-Square"), w * 175 / 144), 1e-13);
        EXPECT_LT(RelErr(Num(chi[0], "MinExpected"), w * 9 / 7), 1e-15);
        EXPECT_LT(RelErr(Num(chi[0], "MaxExpected"), w * 16 / 7), 1e-15);
        EXPECT_LT(RelErr(Num(chi[0], "Phi-Coefficient"), 5.0 / 12), 1e-13);
        EXPECT_LT(RelErr(Num(chi[0], "Cramer's_V"), 5.0 / 12), 1e-13);
        const auto expected = Rows("Expected");
        ASSERT_EQ(expected.size(), 2u);
        EXPECT_LT(RelErr(Num(expected[1], "q"), w * 16 / 7), 1e-15);
        EXPECT_LT(RelErr(Num(Rows("% Expected")[1], "q"), 16.0 / 49), 1e-15);
    }
}

TEST_F(CrosstabTest, RunningTwiceReplacesBothTables) {
    AddCells("r1", "c1", 2);
    AddCells("r2", "c2", 3);
    const int32_t id = AddCrosstab("C", {{"G1", "G", 1}, {"G2", "C", 1}});
    ASSERT_TRUE(Run(id)) << engine->get_ErrorInfo();
    ASSERT_TRUE(Run(id)) << engine->get_ErrorInfo();
    EXPECT_EQ(Rows("Data: Count").size(), 2u);
    EXPECT_EQ(ReadQueryRows(db, "SELECT * FROM Out2;").size(), 1u);
}

// One cell of whole numbers near 1e9 (1e9 + 1, + 2, + 3: variance 1) and one
// of typed decimals (1e9 + 0.1 weighing 2, + 0.2, + 0.4: mean 1e9 + 0.2,
// variance 0.06 / 3 = 1/50); the row is all seven (mean 1e9 + 34/35,
// variance 533/420). Worked in exact fractions. A value equal to the missing
// value 5 and records weighing Null, -1 or 5 add nothing. Sums of squares
// formed by the database from values this size keep no digit of these.
// 1000 times the weights 0.7, 1.3 and 0.9 add up to 2900 exactly in decimal;
// a plain binary sum gives 2900.000000000053. The kinds that read records
// count the weights themselves.
TEST_F(CrosstabTest, WeightedCountsAreCompensatedSums) {
    std::vector<std::vector<Variant>> rows;
    const double weights[] = {0.7, 1.3, 0.9};
    for (int i = 0; i < 3000; ++i) rows.push_back({"r", i % 2 == 0 ? "a" : "b", 1.0 + i % 7, N, N, weights[i % 3]});
    dao::WorkspacePtr ws = dao::DBEngine().Workspaces(0);
    ws->BeginTrans();
    AppendRows(rows);
    ws->CommitTrans();
    StoredScenario s;
    s.subType = "Crosstab";
    s.fields = {{"G1", "G", 1}, {"G2", "C", 1}, {"X1", "X", 1}, {"W", "W", 1}};
    s.options = {{"XType", "D"}};
    ASSERT_TRUE(Run(AddScenario(db, s))) << engine->get_ErrorInfo();
    auto count = Rows("Count");
    ASSERT_EQ(count.size(), 1u);
    EXPECT_EQ(Num(count[0], "RowSummary"), 2900.0);
}

TEST_F(CrosstabTest, SpreadOfValuesFarFromZeroInOneCellKeepsItsDigits) {
    const double big = 1e9;
    AppendRows({{"r", "a", big + 1, N, N, 1.0},
                {"r", "a", big + 2, N, N, 1.0},
                {"r", "a", 5.0, N, N, 1.0},
                {"r", "a", big + 3, N, N, 1.0},
                {"r", "a", big + 7, N, N, 5.0},
                {"r", "b", std::strtod("1000000000.1", nullptr), N, N, 2.0},
                {"r", "b", std::strtod("1000000000.2", nullptr), N, N, 1.0},
                {"r", "b", std::strtod("1000000000.3", nullptr), N, N, N},
                {"r", "b", std::strtod("1000000000.9", nullptr), N, N, -1.0},
                {"r", "b", std::strtod("1000000000.4", nullptr), N, N, 1.0}});
    struct Expect {
        std::string kind, name;
        double a, b, summary;
    };
    const double varA = 1, varB = 1.0 / 50, varRow = 533.0 / 420;
    const double meanA = big + 2, meanB = big + 0.2, meanRow = big + 34.0 / 35;
    const std::vector<Expect> kinds = {
        {"V", "Var", varA, varB, varRow},
        {"D", "StDev", 1, std::sqrt(varB), std::sqrt(varRow)},
        {"E", "StError", std::sqrt(varA / 3), std::sqrt(varB / 4), std::sqrt(varRow / 7)},
        {"F", "CoefVar", 1 / meanA, std::sqrt(varB) / meanB, std::sqrt(varRow) / meanRow},
    };
    for (const Expect& e : kinds) {
        SCOPED_TRACE(e.kind);
        StoredScenario s;
        s.subType = "Crosstab";
        s.output1 = "Out" + e.kind;
        s.missingType = "1";
        s.missingEqual = 5.0;
        s.fields = {{"G1", "G", 1}, {"G2", "C", 1}, {"X1", "X", 1}, {"W", "W", 1}};
        s.options = {{"XType", e.kind}, {"XRowPCnt", true}};
        ASSERT_TRUE(Run(AddScenario(db, s))) << engine->get_ErrorInfo();
        const std::string out = "Out" + e.kind;
        const auto near = [](double got, double expected) { EXPECT_NEAR(got, expected, std::fabs(expected) * 1e-14); };
        for (const std::string& label : {"Data: " + e.name, std::string("GROUP Total")}) {
            SCOPED_TRACE(label);
            auto rows = Rows(label, out);
            ASSERT_EQ(rows.size(), 1u);
            near(Num(rows[0], "a"), e.a);
            near(Num(rows[0], "b"), e.b);
            near(Num(rows[0], "RowSummary"), e.summary);
        }
        auto count = Rows("Count", out);
        ASSERT_EQ(count.size(), 1u);
        EXPECT_EQ(Num(count[0], "a"), 3);
        EXPECT_EQ(Num(count[0], "b"), 4);
        EXPECT_EQ(Num(count[0], "RowSummary"), 7);
        auto percent = Rows("% Row", out);
        ASSERT_EQ(percent.size(), 1u);
        near(Num(percent[0], "b"), e.b / e.summary);
    }
}

}  // namespace
TEST_F(CrosstabTest, VariancesOfColumnsFarFromZeroCombineAboutTheirMeans) {
    // Column a holds 1e9 twice, b 1e9 + 2 twice: each without spread, the
    // row all four with mean 1e9 + 1 and deviations of 1: variance 4/3. Raw
    // sums would need 4e18 + 8e9 + 8 exactly, beyond a double's digits.
    AppendRows({{"r", "a", 1e9, N, N, N},
                {"r", "a", 1e9, N, N, N},
                {"r", "b", 1e9 + 2, N, N, N},
                {"r", "b", 1e9 + 2, N, N, N}});
    ASSERT_TRUE(Run(AddCrosstab("V", {{"G1", "G", 1}, {"G2", "C", 1}, {"X1", "X", 1}}, false)))
        << engine->get_ErrorInfo();
    auto data = Rows("Data: Var");
    ASSERT_EQ(data.size(), 1u);
    EXPECT_EQ(Num(data[0], "a"), 0.0);
    EXPECT_EQ(Num(data[0], "b"), 0.0);
    EXPECT_NEAR(Num(data[0], "RowSummary"), 4.0 / 3, 1e-15);
}

}  // namespace enginetest
