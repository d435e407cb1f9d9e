// Scenarios of the three regressions run end to end and checked against R: two groups, two
// independent fields, integer weights (one 0, one Null), Nulls and a
// missing-value rule (-99), with the analysis-of-variance columns and the
// residual table. Every reference comes from R 4.2 on the records replicated
// by their weights (so a sum of weights W is the number of rows R sees):
//   d <- the table below; d[d == -99] <- NA; d$W[is.na(d$W)] <- 0
//   r <- s[rep(seq_len(nrow(s)), s$W), ]   (s: the usable records of a fit)
// simple:     summary(lm(y ~ x)), anova(lm(y ~ x)), b * sd(x) / sd(y)
// polynomial: summary(lm(y ~ x + I(x^2))), b_k * sd(x^k) / sd(y)
// multiple through the origin: summary(lm(Y ~ 0 + X1 + X2)); R^2 against
//   sum(Y^2); the adjusted R^2 as R^2 - (1 - R^2) k / (W - k - 1) and the
//   standardised coefficient b_j sqrt(sum(X_j^2) / sum(Y^2)), computed in R
//   by hand since the system defines those two differently from R.
#include <map>
#include <tuple>

#include "RegressionSupport.h"

namespace {

using namespace regressiontest;

constexpr double kRel = 1e-10;  // coefficients, sums of squares, fit
constexpr double kProb = 1e-8;  // probabilities

class RegressionAgainstR : public enginetest::EngineTest {
protected:
    void MakeData() {
        const vb::Variant m = -99.0;
        MakeTable(db, "Reg", true, {"X1", "X2", "Y", "W"},
                  {{"a", 1.2, 3.0, 4.1, 2.0},
                   {"a", 2.5, 1.0, 5.9, 1.0},
                   {"a", 3.1, m, 7.2, 1.0},
                   {"a", 4.0, 2.5, 8.8, 3.0},
                   {"a", kNull, 4.0, 9.5, 1.0},
                   {"a", 5.3, 0.5, 11.9, 1.0},
                   {"a", 6.2, 3.5, 12.1, 2.0},
                   {"a", 7.0, 2.0, m, 1.0},
                   {"a", 7.7, 1.5, 16.0, 0.0},
                   {"a", 8.4, 5.0, 17.3, kNull},
                   {"a", 9.1, 2.2, 18.2, 1.0},
                   {"b", 2.0, 1.0, 10.5, 1.0},
                   {"b", 3.0, 2.0, 9.1, 2.0},
                   {"b", 5.0, 2.5, 7.7, 1.0},
                   {"b", 6.0, 3.0, 6.2, 1.0},
                   {"b", 8.0, 5.5, 4.4, 2.0},
                   {"b", 9.5, 4.0, 2.9, 1.0}});
    }
    RegressionSetup Scenario(const std::string& type) {
        RegressionSetup r;
        r.type = type;
        r.groups = {"G"};
        r.xs = {"X1", "X2"};
        r.weight = "W";
        r.missingType = "1";
        r.missingEqual = -99.0;
        return r;
    }
    // (name, DAO type, size) of every column in ordinal order.
    std::vector<std::tuple<std::string, int, int>> Columns(const std::string& table) {
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
};

void Expect(const Record& row, const std::string& column, double reference, double tol = kRel) {
    EXPECT_REL(Num(row, column), reference, tol) << column;
}

// One fit with intercept: coefficients, standard errors, t and probability
// (intercept first), standardised coefficients, Multiple_R, R-Square,
// Adj_R-Square, StdError_of_Estimate, and the variance table.
struct Reference {
    std::vector<double> coef, se, t, p, beta;
    double r, r2, adj, see;
    double regDf, resDf, regSs, resSs, f, prob;
};

void ExpectFit(const Record& row, const Reference& e, const std::vector<std::string>& terms) {
    const std::vector<std::string> names = [&] {
        std::vector<std::string> n = {"Y-Intercept"};
        n.insert(n.end(), terms.begin(), terms.end());
        return n;
    }();
    for (size_t j = 0; j < names.size(); ++j) {
        const std::string& stem = names[j];
        Expect(row, j == 0 ? stem : "Coef_of_" + stem, e.coef[j]);
        Expect(row, "SE_of_" + stem, e.se[j]);
        Expect(row, "t-Value_of_" + stem, e.t[j]);
        Expect(row, "Prob_of_" + stem, e.p[j], kProb);
        if (j > 0) Expect(row, "Beta_of_" + stem, e.beta[j - 1]);
    }
    Expect(row, "Multiple_R", e.r);
    Expect(row, "R-Square", e.r2);
    Expect(row, "Adj_R-Square", e.adj);
    Expect(row, "StdError_of_Estimate", e.see);
    EXPECT_EQ(Num(row, "Regression_DF"), e.regDf);
    EXPECT_EQ(Num(row, "Residual_DF"), e.resDf);
    EXPECT_EQ(Num(row, "Total_DF"), e.regDf + e.resDf);
    Expect(row, "Regression_SS", e.regSs);
    Expect(row, "Residual_SS", e.resSs);
    Expect(row, "Total_SS", e.regSs + e.resSs);
    Expect(row, "Regression_MS", e.regSs / e.regDf);
    Expect(row, "Residual_MS", e.resSs / e.resDf);
    Expect(row, "F-Value", e.f);
    Expect(row, "Prob", e.prob, kProb);
}

// Fitted values by (group, field, x) of a per-field fit, from R's predict().
using Fitted = std::map<std::tuple<std::string, std::string, double>, double>;

void AddFitted(Fitted& fitted, const std::string& g, const std::string& field, const std::vector<double>& x,
               const std::vector<double>& estimate) {
    for (size_t i = 0; i < x.size(); ++i) fitted[{g, field, x[i]}] = estimate[i];
}

// R's fitted values of the per-field fits over the records each field's fit
// uses (group a: X1, X2; group b: X1, X2), keyed by their x values.
Fitted PerFieldFits(const std::vector<double>& aX1, const std::vector<double>& aX2, const std::vector<double>& bX1,
                    const std::vector<double>& bX2) {
    Fitted fitted;
    AddFitted(fitted, "a", "X1", {1.2, 2.5, 3.1, 4, 5.3, 6.2, 9.1}, aX1);
    AddFitted(fitted, "a", "X2", {3, 1, 2.5, 4, 0.5, 3.5, 2.2}, aX2);
    AddFitted(fitted, "b", "X1", {2, 3, 5, 6, 8, 9.5}, bX1);
    AddFitted(fitted, "b", "X2", {1, 2, 2.5, 3, 5.5, 4}, bX2);
    return fitted;
}

// Every residual row: the weight, the fitted value and y - fitted.
void ExpectResiduals(const std::vector<Record>& res, const Fitted& fitted, const std::map<double, double>& weightOfY) {
    for (const Record& r : res) {
        const auto key = std::make_tuple(r.at("G").ToString(), r.at("DataField").ToString(), Num(r, "X_Value"));
        const auto it = fitted.find(key);
        ASSERT_NE(it, fitted.end()) << std::get<0>(key) << " " << std::get<1>(key) << " " << std::get<2>(key);
        const double y = Num(r, "Y:Y");
        EXPECT_REL(Num(r, "Estimated_Y"), it->second, kRel);
        EXPECT_NEAR(Num(r, "Residual"), y - it->second, 1e-10);
        EXPECT_EQ(Num(r, "Observations"), weightOfY.at(y));
    }
}

// A per-field fit's residual rows of group a: in the order of X1, each
// record's X1 and X2 rows together, the record without X1 first; so X2's rows
// follow X1's order, not their own.
void ExpectFirstFieldsOrder(const std::vector<Record>& res) {
    const std::vector<std::pair<std::string, double>> order = {
        {"X2", 4},   {"X1", 1.2}, {"X2", 3},   {"X1", 2.5}, {"X2", 1},   {"X1", 3.1}, {"X1", 4},
        {"X2", 2.5}, {"X1", 5.3}, {"X2", 0.5}, {"X1", 6.2}, {"X2", 3.5}, {"X1", 9.1}, {"X2", 2.2}};
    ASSERT_GE(res.size(), order.size());
    for (size_t i = 0; i < order.size(); ++i) {
        EXPECT_EQ(res[i].at("G").ToString(), "a") << i;
        EXPECT_EQ(res[i].at("DataField").ToString(), order[i].first) << i;
        EXPECT_EQ(Num(res[i], "X_Value"), order[i].second) << i;
    }
}

// Weights by y (the y values are distinct among the usable records).
const std::map<double, double> kWeightOfY = {{4.1, 2},  {5.9, 1},  {7.2, 1}, {8.8, 3}, {9.5, 1}, {11.9, 1}, {12.1, 2},
                                             {18.2, 1}, {10.5, 1}, {9.1, 2}, {7.7, 1}, {6.2, 1}, {4.4, 2},  {2.9, 1}};

TEST_F(RegressionAgainstR, SimpleWeightedGroupsWithMissingValuesMatchLm) {
    MakeData();
    ASSERT_TRUE(Run(AddRegression(db, Scenario("S")))) << engine->get_ErrorInfo();

    using C = std::tuple<std::string, int, int>;
    const int D = dao::dbDouble;
    std::vector<C> expected = {{"StatOutputID", dao::dbLong, 0}, {"G", dao::dbText, 20},
                               {"DataField", dao::dbText, 64},   {"Count_of_Y", D, 0},
                               {"Observations", D, 0},           {"Missing", dao::dbLong, 0}};
    for (const char* n : {"Y-Intercept",
                          "Coef_of_X",
                          "SE_of_Y-Intercept",
                          "SE_of_X",
                          "Beta_of_X",
                          "t-Value_of_Y-Intercept",
                          "t-Value_of_X",
                          "Prob_of_Y-Intercept",
                          "Prob_of_X",
                          "Multiple_R",
                          "R-Square",
                          "Adj_R-Square",
                          "StdError_of_Estimate",
                          "Regression_DF",
                          "Residual_DF",
                          "Total_DF",
                          "Regression_SS",
                          "Residual_SS",
                          "Total_SS",
                          "Regression_MS",
                          "Residual_MS",
                          "F-Value",
                          "Prob"})
        expected.emplace_back(n, D, 0);
    EXPECT_EQ(Columns("Out"), expected);
    const std::vector<C> residualColumns = {{"StatOutputID", dao::dbLong, 0},
                                            {"G", dao::dbText, 20},
                                            {"DataField", dao::dbText, 64},
                                            {"Observations", D, 0},
                                            {"X_Value", D, 0},
                                            {"Y:Y", D, 0},
                                            {"Estimated_Y", D, 0},
                                            {"Residual", D, 0}};
    EXPECT_EQ(Columns("Res"), residualColumns);

    const auto rows = ReadResultRows(db, "Out");
    ASSERT_EQ(rows.size(), 4u);
    // Group, field, sum of weights, records used, records not used.
    const std::vector<std::tuple<std::string, std::string, double, double, double>> leading = {
        {"a", "X1", 11, 7, 4}, {"a", "X2", 11, 7, 4}, {"b", "X1", 8, 6, 0}, {"b", "X2", 8, 6, 0}};
    const std::vector<Reference> fits = {{{1.8031896042528042, 1.7556605631029731},
                                          {0.27732712653891145, 0.057653773439136385},
                                          {6.5020311094587449, 30.451789334420219},
                                          {0.00011118787071355763, 2.1736726224899574e-10},
                                          {0.99518230191330825},
                                          0.99518230191330848,
                                          0.99038781404147136,
                                          0.98931979337941267,
                                          0.42915198335922816,
                                          1,
                                          9,
                                          170.78427535842772,
                                          1.657542823390433,
                                          927.31147366790924,
                                          2.1736726224899574e-10},
                                         {{9.9918024691358038, -0.19893004115226315},
                                          {3.5705770053492367, 1.2972031610606358},
                                          {2.7983719309698825, -0.15335303453131538},
                                          {0.02076779995916201, 0.88150321472749182},
                                          {-0.051051023095238894},
                                          0.051051023095238943,
                                          0.0026062069590706196,
                                          -0.10821532560103275,
                                          4.3112161223475436,
                                          1,
                                          9,
                                          0.43710355405910856,
                                          167.27926008230449,
                                          0.023517153199962802,
                                          0.88150321472749182},
                                         {{12.25421756835369, -0.98278068644560745},
                                          {0.18217730684549535, 0.029687644665113897},
                                          {67.265334967030213, -33.104030229803918},
                                          {7.2618142513351895e-10, 5.0558414913976815e-08},
                                          {-0.99727365613784946},
                                          0.99727365613784991,
                                          0.9945547452265544,
                                          0.99364720276431351,
                                          0.21758987988192596,
                                          1,
                                          6,
                                          51.88467786503778,
                                          0.28407213496218581,
                                          1095.8768174557717,
                                          5.0558414913976815e-08},
                                         {{11.426003210272869, -1.4552166934189403},
                                          {1.0860611516109069, 0.30603897966600629},
                                          {10.520589189038922, -4.7550043952148906},
                                          {4.3335210331989419e-05, 0.0031424922587224573},
                                          {-0.88897896906280727},
                                          0.88897896906280749,
                                          0.79028360743597204,
                                          0.75533087534196741,
                                          1.3503482300610852,
                                          1,
                                          6,
                                          41.22810794542535,
                                          10.940642054574633,
                                          22.610066798512921,
                                          0.0031424922587224573}};
    for (size_t i = 0; i < rows.size(); ++i) {
        const auto& [g, field, w, used, missing] = leading[i];
        SCOPED_TRACE(g + " " + field);
        EXPECT_EQ(rows[i].at("G").ToString(), g);
        EXPECT_EQ(rows[i].at("DataField").ToString(), field);
        EXPECT_EQ(Num(rows[i], "Count_of_Y"), w);
        EXPECT_EQ(Num(rows[i], "Observations"), used);
        EXPECT_EQ(Num(rows[i], "Missing"), missing);
        ExpectFit(rows[i], fits[i], {"X"});
    }

    const Fitted fitted = PerFieldFits({3.9099822799763722, 6.1923410120102371, 7.2457373498720212, 8.8258318566646974,
                                        11.108190588698561, 12.688285095491239, 17.77970072848986},
                                       {9.3950123456790138, 9.7928724279835411, 9.4944773662551452, 9.196082304526751,
                                        9.8923374485596725, 9.2955473251028824, 9.5541563786008243},
                                       {10.288656195462476, 9.3058755090168681, 7.3403141361256523, 6.3575334496800453,
                                        4.3919720767888304, 2.9178010471204185},
                                       {9.9707865168539289, 8.5155698234349888, 7.7879614767255188, 7.0603531300160478,
                                        3.4223113964686966, 5.6051364365971077});
    const auto res = ReadResultRows(db, "Res");
    EXPECT_EQ(res.size(), 26u);
    ExpectResiduals(res, fitted, kWeightOfY);
    ExpectFirstFieldsOrder(res);
}

TEST_F(RegressionAgainstR, PolynomialOrderTwoWeightedMatchesLm) {
    MakeData();
    ASSERT_TRUE(Run(AddRegression(db, Scenario("P")))) << engine->get_ErrorInfo();
    const auto names = ColumnNames(db, "Out");
    const std::vector<std::string> expected = {"StatOutputID",
                                               "G",
                                               "DataField",
                                               "Count_of_Y",
                                               "Observations",
                                               "Missing",
                                               "Y-Intercept",
                                               "Coef_of_X^1",
                                               "Coef_of_X^2",
                                               "SE_of_Y-Intercept",
                                               "SE_of_X^1",
                                               "SE_of_X^2",
                                               "Beta_of_X^1",
                                               "Beta_of_X^2",
                                               "t-Value_of_Y-Intercept",
                                               "t-Value_of_X^1",
                                               "t-Value_of_X^2",
                                               "Prob_of_Y-Intercept",
                                               "Prob_of_X^1",
                                               "Prob_of_X^2",
                                               "Multiple_R",
                                               "R-Square",
                                               "Adj_R-Square",
                                               "StdError_of_Estimate",
                                               "Regression_DF",
                                               "Residual_DF",
                                               "Total_DF",
                                               "Regression_SS",
                                               "Residual_SS",
                                               "Total_SS",
                                               "Regression_MS",
                                               "Residual_MS",
                                               "F-Value",
                                               "Prob"};
    EXPECT_EQ(names, expected);

    const auto rows = ReadResultRows(db, "Out");
    ASSERT_EQ(rows.size(), 4u);
    const std::vector<double> w = {11, 11, 8, 8};
    const std::vector<Reference> fits = {{{2.1948234845454615, 1.5459670988667362, 0.021631625974527204},
                                          {0.47239184113094457, 0.21294467594160446, 0.021150820603121238},
                                          {4.6461926168980296, 7.2599471765646992, 1.0227322324948003},
                                          {0.0016528415692344974, 8.7207062145553223e-05, 0.33636285985596948},
                                          {0.87631922050652133, 0.12344992201318263},
                                          0.99574056117294718,
                                          0.99149926516501574,
                                          0.98937408145626971,
                                          0.42805989225022761,
                                          2,
                                          8,
                                          172.44181818181818 - 1.4658821708262118,
                                          1.4658821708262118,
                                          466.54755590519306,
                                          5.221867856234842e-09},
                                         {{11.032219516060973, -1.4275152230871435, 0.27839590370034489},
                                          {6.0101892885328887, 5.6898729411529594, 1.2512935141528736},
                                          {1.8355860333899703, -0.25088701239045258, 0.22248649141989604},
                                          {0.10374510879081938, 0.80822512207990771, 0.82951027119804444},
                                          {-0.36634040892218339, 0.32487051230687075},
                                          0.093486148227785074,
                                          0.0087396599104674014,
                                          -0.2390754251119156,
                                          4.5586535794130256,
                                          2,
                                          8,
                                          167.71636363636361 - 166.25057965676154,
                                          166.25057965676154,
                                          0.035266860004418282,
                                          0.96549698592562683},
                                         {{12.238845205883132, -0.97591533385127593, -0.00060590635911465806},
                                          {0.47633718548354165, 0.19588654552896434, 0.017048242139695788},
                                          {25.693658985407946, -4.9820437193169775, -0.0355406941167173},
                                          {1.6678282179890915e-06, 0.0041684006066523291, 0.9730238440977772},
                                          {-0.99030706086705045, -0.0070646108936046189},
                                          0.99727434565618167,
                                          0.99455612050396536,
                                          0.99237856870555152,
                                          0.23832766874987676,
                                          2,
                                          5,
                                          52.168749999999996 - 0.28400038845875492,
                                          0.28400038845875492,
                                          456.73132608299591,
                                          2.1866096382924779e-06},
                                         {{15.362085749792859, -4.3189351180613018, 0.41226957332228564},
                                          {2.0173069824736269, 1.3505513231097861, 0.19129872503953907},
                                          {7.6151452819321683, -3.1979052140843494, 2.1551088395234972},
                                          {0.00062064557742331139, 0.024051415060385932, 0.083702716928401796},
                                          {-2.6383991511826057, 1.7780506150908535},
                                          0.94407447992881777,
                                          0.89127662365286775,
                                          0.84778727311401481,
                                          1.0650786487212534,
                                          2,
                                          5,
                                          52.168749999999996 - 5.6719626398094558,
                                          5.6719626398094558,
                                          20.494135060872232,
                                          0.0038976902867206794}};
    for (size_t i = 0; i < rows.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(Num(rows[i], "Count_of_Y"), w[i]);
        ExpectFit(rows[i], fits[i], {"X^1", "X^2"});
    }

    const Fitted fitted = PerFieldFits({4.0811335445888641, 6.1949388940530969, 7.1952014166475502, 8.7247978956048406,
                                        10.996081482163632, 12.611339199980051, 18.054439031183357},
                                       {9.2552369801026462, 9.8831001966741745, 9.2034058564702708, 9.7764930829179164,
                                        10.388060880442486, 9.4462660555851947, 9.2391221991789259},
                                       {10.284590912744122, 9.3056460470972731, 7.3441208776488862, 6.3615405738473489,
                                        4.3927445280895867, 2.9129664853859136},
                                       {11.455420205053843, 8.3732938069593992, 7.1414327879038906, 6.115706555509524,
                                        4.0790971934548388, 4.6826584507042224});
    const auto res = ReadResultRows(db, "Res");
    EXPECT_EQ(res.size(), 26u);
    ExpectResiduals(res, fitted, kWeightOfY);
    ExpectFirstFieldsOrder(res);
}

TEST_F(RegressionAgainstR, MultipleThroughOriginListwiseWeighted) {
    MakeData();
    RegressionSetup r = Scenario("M");
    r.intercept = false;
    ASSERT_TRUE(Run(AddRegression(db, r))) << engine->get_ErrorInfo();
    const auto names = ColumnNames(db, "Out");
    const std::vector<std::string> expected = {"StatOutputID",
                                               "G",
                                               "Count_of_Y",
                                               "Observations",
                                               "Missing",
                                               "Coef_of_X1: X1",
                                               "Coef_of_X2: X2",
                                               "SE_of_X1: X1",
                                               "SE_of_X2: X2",
                                               "Beta_of_X1: X1",
                                               "Beta_of_X2: X2",
                                               "t-Value_of_X1: X1",
                                               "t-Value_of_X2: X2",
                                               "Prob_of_X1: X1",
                                               "Prob_of_X2: X2",
                                               "Multiple_R",
                                               "R-Square",
                                               "Adj_R-Square",
                                               "StdError_of_Estimate",
                                               "Regression_DF",
                                               "Residual_DF",
                                               "Total_DF",
                                               "Regression_SS",
                                               "Residual_SS",
                                               "Total_SS",
                                               "Regression_MS",
                                               "Residual_MS",
                                               "F-Value",
                                               "Prob"};
    EXPECT_EQ(names, expected);
    EXPECT_EQ(ColumnNames(db, "Res"), (std::vector<std::string>{"StatOutputID", "G", "Observations", "X1:X1", "X2:X2",
                                                                "Y:Y", "Estimated_Y", "Residual"}));

    const auto rows = ReadResultRows(db, "Out");
    ASSERT_EQ(rows.size(), 2u);
    struct M {
        double w, used, missing;
        std::vector<double> coef, se, t, p, beta;
        double r, r2, adj, see, regSs, resSs, f, prob;
        std::vector<double> fitted;
    };
    const std::vector<M> expect = {{10,
                                    6,
                                    5,
                                    {1.9304222012418031, 0.34168761174123097},
                                    {0.10046890563928464, 0.19160126622298593},
                                    {19.214125892568529, 1.7833264804397182},
                                    {5.5812237659771701e-08, 0.11237859609580468},
                                    {0.92510583896102327, 0.08586212815784014},
                                    0.99701288406509259,
                                    0.99403469099179376,
                                    0.99233031698944907,
                                    0.89173460405347815,
                                    1060.0584751674687,
                                    6.3615248325313081,
                                    666.54363730317277,
                                    1.2662859309740451e-09,
                                    {3.3415694767138566, 5.1677431148457389, 8.5759078343202901, 10.402081472452172,
                                     13.164524288793489, 18.318554777131116}},
                                   {8,
                                    6,
                                    0,
                                    {0.33736762481089461, 0.86579473915377092},
                                    {1.6645347847751832, 2.8782855387335458},
                                    {0.20267982856030275, 0.30080224060560828},
                                    {0.84608345491331627, 0.77371639478296839},
                                    {0.28547310003240489, 0.4236778209866473},
                                    0.70550441486699411,
                                    0.49773647939681975,
                                    0.29683107115554763,
                                    5.9346065725170591,
                                    209.41266897662399,
                                    211.31733102337603,
                                    2.9729601632171665,
                                    0.12670533733787229,
                                    {1.5405299887755601, 2.7436923527402257, 3.8513249719389, 4.6215899663266811,
                                     7.460812063832897, 6.6681713923185821}}};
    const auto res = ReadResultRows(db, "Res");
    ASSERT_EQ(res.size(), 12u);
    for (size_t i = 0; i < rows.size(); ++i) {
        SCOPED_TRACE(i);
        const Record& row = rows[i];
        const M& e = expect[i];
        EXPECT_EQ(Num(row, "Count_of_Y"), e.w);
        EXPECT_EQ(Num(row, "Observations"), e.used);
        EXPECT_EQ(Num(row, "Missing"), e.missing);
        for (int j = 0; j < 2; ++j) {
            const std::string stem = "X" + std::to_string(j + 1) + ": X" + std::to_string(j + 1);
            Expect(row, "Coef_of_" + stem, e.coef[j]);
            Expect(row, "SE_of_" + stem, e.se[j]);
            Expect(row, "t-Value_of_" + stem, e.t[j]);
            Expect(row, "Prob_of_" + stem, e.p[j], kProb);
            Expect(row, "Beta_of_" + stem, e.beta[j]);
        }
        Expect(row, "Multiple_R", e.r);
        Expect(row, "R-Square", e.r2);
        Expect(row, "Adj_R-Square", e.adj);
        Expect(row, "StdError_of_Estimate", e.see);
        EXPECT_EQ(Num(row, "Regression_DF"), 2);
        EXPECT_EQ(Num(row, "Residual_DF"), e.w - 2);
        EXPECT_EQ(Num(row, "Total_DF"), e.w);
        Expect(row, "Regression_SS", e.regSs);
        Expect(row, "Residual_SS", e.resSs);
        Expect(row, "Total_SS", e.regSs + e.resSs);
        Expect(row, "Regression_MS", e.regSs / 2);
        Expect(row, "Residual_MS", e.resSs / (e.w - 2));
        Expect(row, "F-Value", e.f);
        Expect(row, "Prob", e.prob, kProb);
        for (size_t k = 0; k < 6; ++k) {
            const Record& rr = res[i * 6 + k];
            EXPECT_EQ(rr.at("G").ToString(), i == 0 ? "a" : "b");
            EXPECT_REL(Num(rr, "Estimated_Y"), e.fitted[k], kRel);
            EXPECT_NEAR(Num(rr, "Residual"), Num(rr, "Y:Y") - e.fitted[k], 1e-10);
            EXPECT_EQ(Num(rr, "Observations"), kWeightOfY.at(Num(rr, "Y:Y")));
        }
    }
}

// Through the origin the system takes R-Square against the uncentred sum
// of squares (as R does), divides the adjusted R-Square by W - n - 1 and
// standardises with b_k sqrt(sum(w x^2k) / sum(w y^2)); the last two computed
// in R by hand. Rows a/X1, a/X2, b/X1, b/X2; references per row:
// coefficients, standard errors, probabilities, standardised coefficients,
// Multiple_R, R-Square, Adj_R-Square, StdError_of_Estimate, Total_DF (= W),
// Regression_SS, Residual_SS, F-Value, Prob, from summary(lm(y ~ 0 + x))
// and summary(lm(y ~ 0 + x + I(x^2))).
void ExpectOrigin(const std::vector<Record>& rows, const std::vector<std::vector<double>>& expected, int n) {
    ASSERT_EQ(rows.size(), expected.size());
    for (size_t i = 0; i < rows.size(); ++i) {
        SCOPED_TRACE(i);
        const std::vector<double>& e = expected[i];
        size_t at = 0;
        const auto stem = [&](int k) { return n == 1 ? std::string("X") : "X^" + std::to_string(k); };
        for (int k = 1; k <= n; ++k) Expect(rows[i], "Coef_of_" + stem(k), e[at++]);
        for (int k = 1; k <= n; ++k) Expect(rows[i], "SE_of_" + stem(k), e[at++]);
        for (int k = 1; k <= n; ++k) Expect(rows[i], "Prob_of_" + stem(k), e[at++], kProb);
        for (int k = 1; k <= n; ++k) Expect(rows[i], "Beta_of_" + stem(k), e[at++]);
        for (const char* column : {"Multiple_R", "R-Square", "Adj_R-Square", "StdError_of_Estimate"})
            Expect(rows[i], column, e[at++]);
        EXPECT_EQ(Num(rows[i], "Total_DF"), e[at++]);
        Expect(rows[i], "Regression_SS", e[at++]);
        Expect(rows[i], "Residual_SS", e[at++]);
        Expect(rows[i], "F-Value", e[at++]);
        Expect(rows[i], "Prob", e[at++], kProb);
    }
}

TEST_F(RegressionAgainstR, SimpleAndPolynomialThroughTheOrigin) {
    MakeData();
    RegressionSetup simple = Scenario("S");
    simple.intercept = false;
    ASSERT_TRUE(Run(AddRegression(db, simple))) << engine->get_ErrorInfo();
    ExpectOrigin(ReadResultRows(db, "Out"),
                 {{2.0872230080150871, 0.06091285651760623, 1.0607661871456468e-11, 0.99576857276437036,
                   0.99576857276437025, 0.99155505050519099, 0.99061672278354551, 0.97178440109239694, 11,
                   1108.816350777935, 9.4436492220650869, 1174.1397045828276, 1.0607661871456468e-11},
                  {3.1820254379649624, 0.61266987830062591, 0.0004049663850593236, 0.85413331070883669,
                   0.85413331070883669, 0.72954371246243821, 0.69949301384715357, 5.5931089217542649, 11,
                   843.84132589392846, 312.82867410607162, 26.974551751218463, 0.00040496638505932317},
                  {0.82738589211618241, 0.31893722924983342, 0.035725760878854783, 0.70011583262584598,
                   0.70011583262584631, 0.49016217909338211, 0.40518920894227911, 5.5356515475344183, 8,
                   206.22593360995864, 214.50406639004137, 6.7298562659636829, 0.035725760878854783},
                  {1.4367245657568244, 0.54925958877568493, 0.034622635304138324, 0.70306310012092577,
                   0.70306310012092543, 0.49429772275164641, 0.41001400987692083, 5.5131546466700874, 8,
                   207.96588089330018, 212.76411910669984, 6.8421365988080298, 0.034622635304138352}},
                 1);

    engine = std::make_unique<Quantara>();
    RegressionSetup poly = Scenario("P");
    poly.intercept = false;
    ASSERT_TRUE(Run(AddRegression(db, poly))) << engine->get_ErrorInfo();
    ExpectOrigin(ReadResultRows(db, "Out"),
                 {{2.4565636857280637, -0.05802838393377853, 0.15098367255689954, 0.022456423351737084,
                   5.5574641428243646e-08, 0.029500281062815492, 1.1719729544225748, -0.18613131078729095,
                   0.99757302050779018, 0.99515193124503598, 0.993939914056295, 0.77613009833876856, 11,
                   1112.8385986340738, 5.4214013659261191, 923.70465786346972, 3.8464444653264004e-11},
                  {7.9322263262914818, -1.5087071625284194, 2.8376931283943736, 0.88347304715135477,
                   0.020872022818022327, 0.12187086874209878, 2.1292031963453266, -1.3007657353208641,
                   0.89203811431474944, 0.79573199739021405, 0.74466499673776754, 5.1236995160686725, 11,
                   920.39932942133896, 236.27067057866114, 17.529882030013137, 0.00078686737712542238},
                  {3.8480831943128746, -0.39835187405165678, 0.58823993706546052, 0.075194131649279294,
                   0.00061000497229334798, 0.0018339481352109778, 3.2561637746919359, -2.6369336989531491,
                   0.95404424930284482, 0.91020042962782877, 0.87428060147896025, 2.509361580252488, 8,
                   382.94862675731645, 37.781373242683578, 30.407732214826915, 0.00072414039844173595},
                  {5.5435771506928413, -0.90663467090069305, 1.2408367657610777, 0.26320367565549257,
                   0.0042482666365872054, 0.013723193928283001, 2.7127569404874463, -2.091586419843622,
                   0.91113234078193694, 0.83016214241877173, 0.76222699938628047, 3.4509873422966506, 8,
                   349.27411817984984, 71.455881820150196, 14.663906285235555, 0.0048989556560133686}},
                 2);
}

}  // namespace
