// Scenarios of the group analyses run end to end and checked against R: two groups, a compare
// field with three values (one absent from the second group, one with a sum
// of weights of 1 there), a record with a blank compare value, integer
// weights (one Null), a Null value and a missing-value rule (-99). The
// references come from R 4.2 on the usable records replicated by their
// weights (r <- s[rep(seq_len(nrow(s)), s$W), ]), per group:
//   t-tests: t.test(x1, x2, var.equal = TRUE) and t.test(x1, x2) (Welch);
//   detail:  mean, min and max of the records, sum, var, sd / mean, sd,
//            sd / sqrt(n);
//   one-way: anova(lm(X ~ A));
//   two-way: with rss(f) = deviance(lm(f)): main effects rss(X~1) - rss(X~A+B),
//            A adjusted for B rss(X~B) - rss(X~A+B), B for A
//            rss(X~A) - rss(X~A+B), interaction rss(X~A+B) - rss(X~A*B),
//            residual rss(X~A*B); F against the residual mean square with
//            pf(F, df, dfRes, lower.tail = FALSE).
#include <gtest/gtest.h>

#include <cmath>
#include <tuple>

#include "AnovaSupport.h"

using namespace anovatest;

namespace {

class GroupAnalysesAgainstR : public enginetest::EngineTest {
protected:
    void MakeData() {
        const vb::Variant nul = vb::Variant::Null();
        const auto row = [](const char* g, const vb::Variant& a, const char* b, const vb::Variant& x,
                            const vb::Variant& w) { return TrialRow{g, a, b, vb::Variant::Null(), x, w}; };
        CreateTrial(db,
                    {row("g1", "a", "p", 10.2, 1.0), row("g1", "a", "p", 11.5, 2.0),  row("g1", "a", "q", 9.8, 1.0),
                     row("g1", "a", "q", 12.0, 1.0), row("g1", "a", "p", -99.0, 1.0), row("g1", "b", "p", 13.1, 1.0),
                     row("g1", "b", "q", 14.6, 2.0), row("g1", "b", "q", 15.3, 1.0),  row("g1", "b", "p", 12.2, 1.0),
                     row("g1", "b", "q", nul, 1.0),  row("g1", "c", "p", 9.1, 1.0),   row("g1", "c", "p", 8.4, 1.0),
                     row("g1", "c", "q", 10.9, 3.0), row("g1", "c", "q", 9.9, 1.0),   row("g1", "c", "p", 7.7, nul),
                     row("g1", nul, "p", 20.0, 1.0), row("g2", "a", "p", 5.5, 1.0),   row("g2", "a", "p", 6.1, 1.0),
                     row("g2", "a", "q", 7.2, 2.0),  row("g2", "a", "q", 6.8, 1.0),   row("g2", "b", "p", 8.4, 1.0),
                     row("g2", "b", "p", 9.0, 2.0),  row("g2", "b", "p", 7.9, 1.0),   row("g2", "d", "q", 4.0, 1.0)});
    }
    int32_t Scenario(const std::string& subType, bool twoWay, const std::string& detail) {
        std::vector<std::pair<std::string, std::string>> fields = {{"G", "G"}, {"A", "C"}};
        if (twoWay) fields.emplace_back("B", "C");
        fields.emplace_back("X", "X");
        fields.emplace_back("W", "W");
        enginetest::StoredScenario s = GroupScenario(subType, fields, true, detail);
        s.missingType = "1";
        s.missingEqual = -99.0;
        return enginetest::AddScenario(db, s);
    }
};

// (name, DAO type, size for text) of every column of a table, in order.
std::vector<std::tuple<std::string, int, int>> Columns(const dao::DatabasePtr& db, const std::string& table) {
    std::vector<std::tuple<std::string, int, int>> out;
    dao::RecordsetPtr rs = db->OpenRecordset("SELECT * FROM [" + table + "];", dao::dbOpenSnapshot);
    for (int32_t i = 0; i < rs->Fields()->Count(); ++i) {
        const dao::FieldPtr f = rs->Fields(i);
        const int type = f->Type();
        out.emplace_back(f->Name(), type, type == dao::dbText ? f->Size() : 0);
    }
    rs->Close();
    return out;
}

void Near(const Row& r, const std::string& column, double reference, double tol = 1e-10) {
    EXPECT_NEAR(Num(r, column), reference, tol * std::max(1.0, std::fabs(reference))) << column;
}

TEST_F(GroupAnalysesAgainstR, TTestAndDetailWeightedWithBlanksAndMissingValues) {
    MakeData();
    ASSERT_TRUE(Run(Scenario("Two Sample t-Test", false, "Out2"))) << engine->get_ErrorInfo();
    EXPECT_EQ(ColumnNames(db, "Out1"), (std::vector<std::string>{"StatOutputID",
                                                                 "G",
                                                                 "DataField",
                                                                 "A-1",
                                                                 "A-2",
                                                                 "Count-1",
                                                                 "Count-2",
                                                                 "Mean-1",
                                                                 "Mean-2",
                                                                 "Mean_Diff",
                                                                 "StdDeviation-1",
                                                                 "StdDeviation-2",
                                                                 "StdError-1",
                                                                 "StdError-2",
                                                                 "DF_Pooled",
                                                                 "t-Value_Pooled",
                                                                 "Prob_(2-tail)_Pooled",
                                                                 "DF_Separate",
                                                                 "t-Value_Separate",
                                                                 "Prob_(2-tail)_Separate"}));
    {
        using C = std::tuple<std::string, int, int>;
        const std::vector<C> head = {{"StatOutputID", dao::dbLong, 0},
                                     {"G", dao::dbText, 10},
                                     {"DataField", dao::dbText, 64},
                                     {"A-1", dao::dbText, 10},
                                     {"A-2", dao::dbText, 10}};
        const auto columns = Columns(db, "Out1");
        ASSERT_EQ(columns.size(), 20u);
        EXPECT_EQ(std::vector<C>(columns.begin(), columns.begin() + 5), head);
        for (size_t i = 5; i < columns.size(); ++i) EXPECT_EQ(std::get<1>(columns[i]), dao::dbDouble);
        const auto detailColumns = Columns(db, "Out2");
        EXPECT_EQ(detailColumns[2], C("A", dao::dbText, 10));
        EXPECT_EQ(detailColumns[4], C("Count", dao::dbDouble, 0));
        EXPECT_EQ(detailColumns[5], C("Observations", dao::dbDouble, 0));
    }
    struct T {
        const char *g, *v1, *v2;
        std::vector<double> desc;  // counts, means, difference, deviations, errors
        std::vector<double> test;  // pooled df, t, p; separate df, t, p
    };
    const std::vector<T> expected = {
        {"g1",
         "a",
         "b",
         {5, 5, 11, 13.959999999999999, -2.9599999999999991, 0.94604439642122495, 1.2700393694685221,
          0.42308391602612355, 0.56797887284651727},
         {8, -4.1793904609642958, 0.0030821906004225102, 7.3939991665672373, -4.1793904609642949,
          0.0036682253883648631}},
        {"g1",
         "a",
         "c",
         {5, 6, 11, 10.016666666666667, 0.9833333333333325, 0.94604439642122495, 1.0778064142816495,
          0.42308391602612355, 0.44001262608146957},
         {9, 1.589981423680908, 0.14630224806235506, 8.9531393612646841, 1.6109158723582402, 0.1418344841286544}},
        {"g1",
         "b",
         "c",
         {5, 6, 13.959999999999999, 10.016666666666667, 3.9433333333333316, 1.2700393694685221, 1.0778064142816495,
          0.56797887284651727, 0.44001262608146957},
         {9, 5.5795335126118504, 0.00034315625303306602, 7.9509461091627802, 5.4884513102644767,
          0.00059410015982663551}},
        // "d" has a sum of weights of 1 in g2 and "c" is absent: one pair.
        {"g2",
         "a",
         "b",
         {5, 4, 6.5599999999999996, 8.5749999999999993, -2.0149999999999997, 0.74363969770312843, 0.5315072906367323,
          0.33256578296631789, 0.26575364531836615},
         {7, -4.5435214722759589, 0.0026565207648269668, 6.9570953531675519, -4.7333214165054578,
          0.0021599816138439041}}};
    const auto rows = ReadResultRows(db, "Out1");
    ASSERT_EQ(rows.size(), expected.size());
    const char* desc[] = {"Count-1",        "Count-2",        "Mean-1",     "Mean-2",    "Mean_Diff",
                          "StdDeviation-1", "StdDeviation-2", "StdError-1", "StdError-2"};
    const char* test[] = {"DF_Pooled",   "t-Value_Pooled",   "Prob_(2-tail)_Pooled",
                          "DF_Separate", "t-Value_Separate", "Prob_(2-tail)_Separate"};
    for (size_t i = 0; i < rows.size(); ++i) {
        const T& e = expected[i];
        SCOPED_TRACE(std::string(e.g) + " " + e.v1 + e.v2);
        EXPECT_EQ(rows[i].at("G").ToString(), e.g);
        EXPECT_EQ(rows[i].at("DataField").ToString(), "X");
        EXPECT_EQ(rows[i].at("A-1").ToString(), e.v1);
        EXPECT_EQ(rows[i].at("A-2").ToString(), e.v2);
        for (size_t c = 0; c < 9; ++c) Near(rows[i], desc[c], e.desc[c]);
        for (size_t c = 0; c < 6; ++c) Near(rows[i], test[c], e.test[c], c % 3 == 2 ? 1e-8 : 1e-10);
    }

    EXPECT_EQ(ColumnNames(db, "Out2"),
              (std::vector<std::string>{"StatOutputID", "G", "A", "DataField", "Count", "Observations", "Mean",
                                        "Minimum", "Maximum", "Range", "Sum", "Variance", "CoeffOfVariance",
                                        "StdDeviation", "StdError"}));
    struct D {
        const char *g, *a;
        std::vector<double> v;  // Count, Observations, Mean .. StdError
    };
    const std::vector<D> details = {
        {"g1", "a", {5, 4, 11, 9.8, 12, 2.2, 55, 0.895, 0.08600403603829318, 0.94604439642122495, 0.42308391602612355}},
        {"g1",
         "b",
         {5, 4, 13.96, 12.2, 15.3, 3.1, 69.8, 1.613, 0.090977032196885549, 1.2700393694685221, 0.56797887284651727}},
        {"g1",
         "c",
         {6, 4, 10.016666666666667, 8.4, 10.9, 2.5, 60.1, 1.1616666666666668, 0.10760130591830111, 1.0778064142816495,
          0.44001262608146957}},
        {"g2",
         "a",
         {5, 4, 6.56, 5.5, 7.2, 1.7, 32.8, 0.553, 0.1133597100157208, 0.74363969770312843, 0.33256578296631789}},
        {"g2",
         "b",
         {4, 3, 8.575, 7.9, 9, 1.1, 34.3, 0.2825, 0.061983357508656835, 0.5315072906367323, 0.26575364531836615}},
        // One record: variance and deviation 0 by the system's rule (R: NA).
        {"g2", "d", {1, 1, 4, 4, 4, 0, 4, 0, 0, 0, 0}}};
    const char* measures[] = {"Count",    "Observations",    "Mean",         "Minimum", "Maximum", "Range", "Sum",
                              "Variance", "CoeffOfVariance", "StdDeviation", "StdError"};
    const auto detail = ReadResultRows(db, "Out2");
    ASSERT_EQ(detail.size(), details.size());
    for (size_t i = 0; i < detail.size(); ++i) {
        SCOPED_TRACE(std::string(details[i].g) + details[i].a);
        EXPECT_EQ(detail[i].at("G").ToString(), details[i].g);
        EXPECT_EQ(detail[i].at("A").ToString(), details[i].a);
        EXPECT_EQ(detail[i].at("DataField").ToString(), "X");
        for (size_t c = 0; c < 11; ++c) Near(detail[i], measures[c], details[i].v[c]);
    }
}

struct Line {
    const char* source;
    double df, ss;
    double f = -1, p = -1;  // -1: no F
};

void ExpectLines(const std::vector<Row>& rows, const std::string& g, const std::vector<Line>& lines) {
    std::vector<Row> mine;
    for (const Row& r : rows)
        if (r.at("G").ToString() == g) mine.push_back(r);
    ASSERT_EQ(mine.size(), lines.size()) << g;
    for (size_t i = 0; i < lines.size(); ++i) {
        SCOPED_TRACE(g + " " + lines[i].source);
        const Row& r = mine[i];
        EXPECT_EQ(r.at("Index").ToLong(), static_cast<int32_t>(i + 1));
        EXPECT_EQ(r.at("DataField").ToString(), "X");
        EXPECT_EQ(r.at("Source_of_Variation").ToString(), lines[i].source);
        EXPECT_EQ(Num(r, "DF"), lines[i].df);
        Near(r, "Sum_of_Squares", lines[i].ss, 1e-9);
        Near(r, "Mean_Square", lines[i].ss / lines[i].df, 1e-9);
        if (lines[i].f < 0) {
            EXPECT_TRUE(IsNull(r, "F-Value"));
            EXPECT_TRUE(IsNull(r, "Prob"));
        } else {
            Near(r, "F-Value", lines[i].f, 1e-9);
            Near(r, "Prob", lines[i].p, 1e-8);
        }
    }
}

TEST_F(GroupAnalysesAgainstR, OneWayWeightedMatchesLm) {
    MakeData();
    ASSERT_TRUE(Run(Scenario("ANOVA", false, ""))) << engine->get_ErrorInfo();
    EXPECT_EQ(ColumnNames(db, "Out1"),
              (std::vector<std::string>{"StatOutputID", "G", "DataField", "Index", "Source_of_Variation",
                                        "Sum_of_Squares", "DF", "Mean_Square", "F-Value", "Prob"}));
    using C = std::tuple<std::string, int, int>;
    const auto columns = Columns(db, "Out1");
    ASSERT_EQ(columns.size(), 10u);
    EXPECT_EQ(columns[3], C("Index", dao::dbInteger, 0));
    EXPECT_EQ(columns[4], C("Source_of_Variation", dao::dbText, 70));
    EXPECT_EQ(columns[5], C("Sum_of_Squares", dao::dbDouble, 0));
    EXPECT_EQ(columns[6], C("DF", dao::dbLong, 0));
    for (size_t i = 7; i < 10; ++i) EXPECT_EQ(std::get<1>(columns[i]), dao::dbDouble);
    const auto rows = ReadResultRows(db, "Out1");
    ExpectLines(rows, "g1",
                {{"Main: [A]", 2, 44.65904166666666, 18.325609993476565, 0.00016484936687796448},
                 {"Residual", 13, 15.840333333333334},
                 {"Total", 15, 60.499374999999993}});
    ExpectLines(rows, "g2",
                {{"Main: [A]", 2, 19.769500000000001, 22.615868605981372, 0.00088119595113457137},
                 {"Residual", 7, 3.0594999999999994},
                 {"Total", 9, 22.829000000000004}});
}

TEST_F(GroupAnalysesAgainstR, TwoWayUnbalancedWeightedMatchesNestedLmFits) {
    MakeData();
    ASSERT_TRUE(Run(Scenario("Two way ANOVA", true, ""))) << engine->get_ErrorInfo();
    const auto rows = ReadResultRows(db, "Out1");
    ExpectLines(rows, "g1",
                {{"Main Effects", 3, 51.231053571428575, 32.383725392812018, 1.84041951339608e-05},
                 {"Main: [A]", 2, 45.148821428571431, 42.808617030883177, 1.2511780504127626e-05},
                 {"Main: [B]", 1, 6.5720119047619132, 12.46272801155863, 0.0054444578516560892},
                 {"Interactions", 2, 3.9949880952380905, 3.7879153873938938, 0.059623942294988796},
                 {"Explained", 5, 55.22604166666666, 20.945401390644765, 5.2709722820064226e-05},
                 {"Residual", 10, 5.2733333333333299},
                 {"Total", 15, 60.499374999999993}});
    // g2: "c" absent, "b" without "q", "d" only with "q": four cells of the
    // 3 x 2 leave no interaction degrees of freedom, so no interaction row.
    ExpectLines(rows, "g2",
                {{"Main Effects", 3, 21.694833333333339, 38.256869948567278, 0.00026318854432373808},
                 {"Main: [A]", 2, 17.320833333333336, 45.815576781778155, 0.00023210713390369453},
                 {"Main: [B]", 1, 1.9253333333333338, 10.185451873622348, 0.018801497596639107},
                 {"Explained", 3, 21.694833333333339, 38.256869948567278, 0.00026318854432373808},
                 {"Residual", 6, 1.1341666666666657},
                 {"Total", 9, 22.829000000000004}});
}

// Three compare fields, balanced (2 x 2 x 3, two records per cell): the
// system's table (one-way sums as main effects, each pair's interaction
// fitted on its own, residual = SST less all of them) is then R's
// anova(lm(X ~ (A + B + C)^2)), whose sequential sums are orthogonal here;
// the summary rows are sums of its lines. F against the residual mean square.
TEST_F(GroupAnalysesAgainstR, ThreeCompareFieldsBalancedMatchLmWithAllPairInteractions) {
    struct Cell {
        const char *a, *b, *c;
        double x;
    };
    const std::vector<Cell> cells = {
        {"a", "p", "u", 11.5}, {"a", "p", "u", 10.2}, {"a", "p", "v", 11.1}, {"a", "p", "v", 11.5},
        {"a", "p", "w", 12.9}, {"a", "p", "w", 11.5}, {"a", "q", "u", 13.0}, {"a", "q", "u", 13.1},
        {"a", "q", "v", 13.2}, {"a", "q", "v", 13.2}, {"a", "q", "w", 12.7}, {"a", "q", "w", 13.0},
        {"b", "p", "u", 12.1}, {"b", "p", "u", 13.1}, {"b", "p", "v", 13.2}, {"b", "p", "v", 13.9},
        {"b", "p", "w", 15.3}, {"b", "p", "w", 15.7}, {"b", "q", "u", 15.2}, {"b", "q", "u", 14.0},
        {"b", "q", "v", 15.5}, {"b", "q", "v", 15.8}, {"b", "q", "w", 16.2}, {"b", "q", "w", 17.1}};
    std::vector<TrialRow> rows;
    for (const Cell& e : cells) rows.push_back(TrialRow{"g", e.a, e.b, e.c, e.x, 1.0});
    CreateTrial(db, rows);
    ASSERT_TRUE(Run(enginetest::AddScenario(
        db,
        GroupScenario("Two way ANOVA", {{"G", "G"}, {"A", "C"}, {"B", "C"}, {"C", "C"}, {"X", "X"}}, true, "Out2"))))
        << engine->get_ErrorInfo();
    ExpectLines(ReadResultRows(db, "Out1"), "g",
                {{"Main Effects", 4, 64.038333333333313, 55.024754500817679, 2.0741827208933748e-08},
                 {"Main: [A]", 1, 38.001666666666665, 130.61129296235529, 1.7452216403198647e-08},
                 {"Main: [B]", 1, 16.666666666666657, 57.283142389524677, 2.5951918047987437e-06},
                 {"Main: [C]", 2, 9.3699999999999903, 16.102291325695379, 0.00023447734466243222},
                 {"Interactions", 5, 5.5083333333333258, 3.7864157119475785, 0.022282459571933696},
                 {"Interactions", 1, 0.041666666666664298, 0.14320785597380364, 0.71078911995207372},
                 {"Interactions", 2, 3.6933333333333316, 6.3469721767593352, 0.010914579138624602},
                 {"Interactions", 2, 1.7733333333333263, 3.0474631751227026, 0.079669358116197006},
                 {"Explained", 9, 69.546666666666638, 26.559010729223179, 2.7088078407630479e-07},
                 {"Residual", 14, 4.0733333333333803},
                 {"Total", 23, 73.620000000000019}});

    // The detail table of several compare fields: one row per field and value.
    EXPECT_EQ(ColumnNames(db, "Out2"),
              (std::vector<std::string>{"StatOutputID", "G", "DataField", "Compare_Field", "Compare_Value", "Count",
                                        "Mean", "Minimum", "Maximum", "Range", "Sum", "Variance", "CoeffOfVariance",
                                        "StdDeviation", "StdError"}));
    EXPECT_EQ(Columns(db, "Out2")[4], std::make_tuple(std::string("Compare_Value"), int(dao::dbText), 10));
    const auto detail = ReadResultRows(db, "Out2");
    ASSERT_EQ(detail.size(), 7u);
    const char* expected[][2] = {{"A", "a"}, {"A", "b"}, {"B", "p"}, {"B", "q"}, {"C", "u"}, {"C", "v"}, {"C", "w"}};
    for (size_t i = 0; i < 7; ++i) {
        EXPECT_EQ(detail[i].at("Compare_Field").ToString(), expected[i][0]);
        EXPECT_EQ(detail[i].at("Compare_Value").ToString(), expected[i][1]);
    }
    // A = a: twelve records summing to 146.9.
    Near(detail[0], "Count", 12);
    Near(detail[0], "Mean", 146.9 / 12);
    Near(detail[0], "Range", 13.2 - 10.2);
}

}  // namespace
