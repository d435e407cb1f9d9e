// Multiple linear regression end to end, against R's lm() and NIST's
// certified Longley values; and the fit's guards on sums no data can give.
#include "RegressionSupport.h"
#include "analysis/regression/RegressionBase.h"

namespace {

using namespace regressiontest;

class RegressionMultiTest : public enginetest::EngineTest {
protected:
    // Ten full records, one without X2 (dropped listwise), one without Y.
    void MakeData() {
        const double x2[] = {2.0, 1.5, 3.7, 2.2, 5.1, 4.3, 6.8, 5.5, 7.9, 8.1};
        const double y[] = {5.1, 6.3, 9.8, 9.9, 14.2, 14.1, 18.7, 18.0, 22.9, 24.1};
        std::vector<Row> rows;
        for (int i = 0; i < 10; ++i) rows.push_back({"g", i + 1.0, x2[i], y[i], x2[i] * 2 + (i + 1.0)});
        rows.insert(rows.begin() + 4, Row{"g", 11.0, kNull, 30.0, 5.0});
        rows.push_back({"g", 12.0, 3.0, kNull, 18.0});
        MakeTable(db, "Reg", true, {"X1", "X2", "Y", "X3"}, rows);
    }
};

TEST_F(RegressionMultiTest, ListwiseFitMatchesLm) {
    MakeData();
    RegressionSpec r;
    r.type = "M";
    r.groups = {"G"};
    r.xs = {"X1", "X2"};
    ASSERT_TRUE(Run(AddRegression(db, r))) << engine->get_ErrorInfo();
    EXPECT_EQ(ColumnNames(db, "Out"), (std::vector<std::string>{"StatOutputID",
                                                                "G",
                                                                "Count_of_Y",
                                                                "Missing",
                                                                "Y-Intercept",
                                                                "Coef_of_X1: X1",
                                                                "Coef_of_X2: X2",
                                                                "SE_of_Y-Intercept",
                                                                "SE_of_X1: X1",
                                                                "SE_of_X2: X2",
                                                                "Beta_of_X1: X1",
                                                                "Beta_of_X2: X2",
                                                                "t-Value_of_Y-Intercept",
                                                                "t-Value_of_X1: X1",
                                                                "t-Value_of_X2: X2",
                                                                "Prob_of_Y-Intercept",
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
                                                                "Prob"}));
    const auto rows = ReadResultRows(db, "Out");
    ASSERT_EQ(rows.size(), 1u);
    const Record& o = rows[0];
    EXPECT_EQ(Num(o, "Count_of_Y"), 10);
    EXPECT_EQ(Num(o, "Missing"), 2);
    // R 4.2: summary(lm(y ~ x1 + x2))
    EXPECT_REL(Num(o, "Y-Intercept"), 1.72757404771297, 1e-12);
    EXPECT_REL(Num(o, "Coef_of_X1: X1"), 1.28398665683366, 1e-12);
    EXPECT_REL(Num(o, "Coef_of_X2: X2"), 1.17208053921485, 1e-12);
    EXPECT_REL(Num(o, "SE_of_Y-Intercept"), 0.248614863558006, 1e-10);
    EXPECT_REL(Num(o, "SE_of_X1: X1"), 0.102217325341174, 1e-10);
    EXPECT_REL(Num(o, "SE_of_X2: X2"), 0.128813948023849, 1e-10);
    EXPECT_REL(Num(o, "t-Value_of_X1: X1"), 12.56134077611645, 1e-10);
    EXPECT_REL(Num(o, "t-Value_of_X2: X2"), 9.09901883449645, 1e-10);
    EXPECT_REL(Num(o, "Prob_of_Y-Intercept"), 2.21431490735891e-04, 1e-8);
    EXPECT_REL(Num(o, "Prob_of_X1: X1"), 4.67571112820454e-06, 1e-8);
    EXPECT_REL(Num(o, "Prob_of_X2: X2"), 3.97244972132595e-05, 1e-8);
    // R 4.2: coef(f)[j] * sd(xj) / sd(y)
    EXPECT_REL(Num(o, "Beta_of_X1: X1"), 0.589529267349829, 1e-12);
    EXPECT_REL(Num(o, "Beta_of_X2: X2"), 0.427035457656089, 1e-12);
    EXPECT_REL(Num(o, "R-Square"), 0.997902382285056, 1e-13);
    EXPECT_REL(Num(o, "Adj_R-Square"), 0.997303062937929, 1e-13);
    EXPECT_REL(Num(o, "StdError_of_Estimate"), 0.342449286156943, 1e-10);
    // R 4.2: anova(f) (sequential sums added), summary(f)$fstatistic, pf()
    EXPECT_EQ(Num(o, "Regression_DF"), 2);
    EXPECT_EQ(Num(o, "Residual_DF"), 7);
    EXPECT_EQ(Num(o, "Total_DF"), 9);
    EXPECT_REL(Num(o, "Regression_SS"), 380.818939393939 + 9.709160010935, 1e-12);
    EXPECT_REL(Num(o, "Residual_SS"), 0.820900595126, 1e-10);
    EXPECT_REL(Num(o, "Residual_MS"), 0.117271513589, 1e-10);
    EXPECT_REL(Num(o, "F-Value"), 1665.05951638103, 1e-10);
    EXPECT_REL(Num(o, "Prob"), 4.22709683989478e-10, 1e-7);

    // One residual row per record used, with its X columns.
    EXPECT_EQ(ColumnNames(db, "Res"),
              (std::vector<std::string>{"StatOutputID", "G", "X1:X1", "X2:X2", "Y:Y", "Estimated_Y", "Residual"}));
    const auto res = ReadResultRows(db, "Res");
    ASSERT_EQ(res.size(), 10u);
    for (const Record& row : res) {
        const double estimate = Num(o, "Y-Intercept") + Num(o, "Coef_of_X1: X1") * Num(row, "X1:X1") +
                                Num(o, "Coef_of_X2: X2") * Num(row, "X2:X2");
        EXPECT_NEAR(Num(row, "Estimated_Y"), estimate, 1e-12);
        EXPECT_NEAR(Num(row, "Residual"), Num(row, "Y:Y") - Num(row, "Estimated_Y"), 1e-12);
    }
    // R 4.2: residuals(f)[1]
    EXPECT_NEAR(Num(res[0], "Residual"), -0.255721782976317, 1e-10);
}

TEST_F(RegressionMultiTest, ThroughTheOriginMatchesLm) {
    MakeData();
    RegressionSpec r;
    r.type = "M";
    r.xs = {"X1", "X2"};
    r.intercept = false;
    r.residual = "";
    ASSERT_TRUE(Run(AddRegression(db, r))) << engine->get_ErrorInfo();
    const Record o = ReadResultRows(db, "Out")[0];
    // R 4.2: summary(lm(y ~ x1 + x2 - 1))
    EXPECT_REL(Num(o, "Coef_of_X1: X1"), 1.27901722668020, 1e-12);
    EXPECT_REL(Num(o, "Coef_of_X2: X2"), 1.47508086191973, 1e-12);
    EXPECT_REL(Num(o, "SE_of_X1: X1"), 0.268704891342287, 1e-10);
    EXPECT_REL(Num(o, "t-Value_of_X2: X2"), 4.62933577725639, 1e-10);
    EXPECT_REL(Num(o, "Prob_of_X1: X1"), 0.00142692525202306, 1e-8);
    EXPECT_REL(Num(o, "R-Square"), 0.997341880458733, 1e-13);
    EXPECT_REL(Num(o, "StdError_of_Estimate"), 0.900239270576219, 1e-10);
    EXPECT_REL(Num(o, "F-Value"), 1500.82321727815, 1e-10);
    // R 4.2: coef(f)[j] * sqrt(sum(xj^2) / sum(y^2))
    EXPECT_REL(Num(o, "Beta_of_X1: X1"), 0.508148988319963, 1e-12);
    EXPECT_EQ(Num(o, "Residual_DF"), 8);
    EXPECT_EQ(Num(o, "Total_DF"), 10);
    // The adjusted R-square keeps the divisor Sw - k - 1.
    EXPECT_REL(Num(o, "Adj_R-Square"), 0.997341880458733 - (1 - 0.997341880458733) * 2 / 7, 1e-13);
}

TEST_F(RegressionMultiTest, CollinearFieldsLeaveLeadingColumnsAndNoResiduals) {
    MakeData();
    RegressionSpec r;
    r.type = "M";
    r.xs = {"X1", "X2", "X3"};  // X3 = X1 + 2 X2
    ASSERT_TRUE(Run(AddRegression(db, r))) << engine->get_ErrorInfo();
    const Record o = ReadResultRows(db, "Out")[0];
    EXPECT_EQ(Num(o, "Count_of_Y"), 10);
    EXPECT_EQ(Num(o, "Missing"), 2);
    for (const char* column :
         {"Y-Intercept", "Coef_of_X1: X1", "Coef_of_X3: X3", "SE_of_X2: X2", "R-Square", "Regression_SS", "F-Value"})
        EXPECT_TRUE(IsNull(o, column)) << column;
    EXPECT_TRUE(ReadResultRows(db, "Res").empty());
}

// NIST StRD "Longley" (data as R's datasets::longley, rescaled to NIST's
// units). Certified values to 15 digits; bounds are the digits the sums,
// 15-digit exact differences and the 1e-14 thresholds of the solve keep.
TEST_F(RegressionMultiTest, NistLongleyCertifiedValues) {
    const std::vector<Row> longley = {{83.0, 234289.0, 2356.0, 1590.0, 107608.0, 1947.0, 60323.0},
                                      {88.5, 259426.0, 2325.0, 1456.0, 108632.0, 1948.0, 61122.0},
                                      {88.2, 258054.0, 3682.0, 1616.0, 109773.0, 1949.0, 60171.0},
                                      {89.5, 284599.0, 3351.0, 1650.0, 110929.0, 1950.0, 61187.0},
                                      {96.2, 328975.0, 2099.0, 3099.0, 112075.0, 1951.0, 63221.0},
                                      {98.1, 346999.0, 1932.0, 3594.0, 113270.0, 1952.0, 63639.0},
                                      {99.0, 365385.0, 1870.0, 3547.0, 115094.0, 1953.0, 64989.0},
                                      {100.0, 363112.0, 3578.0, 3350.0, 116219.0, 1954.0, 63761.0},
                                      {101.2, 397469.0, 2904.0, 3048.0, 117388.0, 1955.0, 66019.0},
                                      {104.6, 419180.0, 2822.0, 2857.0, 118734.0, 1956.0, 67857.0},
                                      {108.4, 442769.0, 2936.0, 2798.0, 120445.0, 1957.0, 68169.0},
                                      {110.8, 444546.0, 4681.0, 2637.0, 121950.0, 1958.0, 66513.0},
                                      {112.6, 482704.0, 3813.0, 2552.0, 123366.0, 1959.0, 68655.0},
                                      {114.2, 502601.0, 3931.0, 2514.0, 125368.0, 1960.0, 69564.0},
                                      {115.7, 518173.0, 4806.0, 2572.0, 127852.0, 1961.0, 69331.0},
                                      {116.9, 554894.0, 4007.0, 2827.0, 130081.0, 1962.0, 70551.0}};
    MakeTable(db, "Reg", false, {"X1", "X2", "X3", "X4", "X5", "X6", "Y"}, longley);
    RegressionSpec r;
    r.type = "M";
    r.xs = {"X1", "X2", "X3", "X4", "X5", "X6"};
    r.residual = "";
    ASSERT_TRUE(Run(AddRegression(db, r))) << engine->get_ErrorInfo();
    const Record o = ReadResultRows(db, "Out")[0];
    // NIST StRD Longley certified values.
    const double certified[] = {-3482258.63459582, 15.0618722713733,       -0.358191792925910E-01, -2.02022980381683,
                                -1.03322686717359, -0.511041056535807E-01, 1829.15146461355};
    const double d0 = Digits(Num(o, "Y-Intercept"), certified[0]);
    std::printf("Longley digits: b0 %.1f", d0);
    double worst = d0;
    for (int j = 1; j <= 6; ++j) {
        const std::string column = "Coef_of_X" + std::to_string(j) + ": X" + std::to_string(j);
        const double d = Digits(Num(o, column), certified[j]);
        std::printf(" b%d %.1f", j, d);
        worst = std::min(worst, d);
    }
    const double dsd = Digits(Num(o, "StdError_of_Estimate"), 304.854073561965);
    const double dr2 = Digits(Num(o, "R-Square"), 0.995479004577296);
    std::printf(" sd %.1f r2 %.1f\n", dsd, dr2);
    EXPECT_GE(worst, 5);
    EXPECT_GE(dsd, 6);
    EXPECT_GE(dr2, 8);
}

// Thirty-five independent fields with a residual table: the coefficient set
// of the residual pass takes every one of them.
TEST_F(RegressionMultiTest, MoreThanThirtyFieldsWithResiduals) {
    const int k = 35;
    std::vector<std::string> xs;
    for (int j = 1; j <= k; ++j) xs.push_back("X" + std::to_string(j));
    std::vector<std::string> columns = xs;
    columns.push_back("Y");
    std::vector<Row> rows;
    unsigned state = 12345;
    const auto next = [&] {
        state = state * 1103515245u + 12345u;
        return static_cast<double>((state >> 16) % 1000) / 100.0;
    };
    for (int i = 0; i < 60; ++i) {
        Row row;
        double y = 4;
        for (int j = 1; j <= k; ++j) {
            const double x = next();
            row.push_back(x);
            y += x * (j % 7 - 3);
        }
        row.push_back(y + next() / 100);
        rows.push_back(row);
    }
    MakeTable(db, "Reg", false, columns, rows);
    RegressionSpec r;
    r.type = "M";
    r.xs = xs;
    ASSERT_TRUE(Run(AddRegression(db, r))) << engine->get_ErrorInfo();
    const Record o = ReadResultRows(db, "Out")[0];
    ASSERT_FALSE(IsNull(o, "Coef_of_X35: X35"));
    EXPECT_NEAR(Num(o, "Coef_of_X35: X35"), 35 % 7 - 3, 0.01);
    const auto res = ReadResultRows(db, "Res");
    ASSERT_EQ(res.size(), 60u);
    for (const Record& row : res) {
        double estimate = Num(o, "Y-Intercept");
        for (int j = 1; j <= k; ++j) {
            const std::string n = std::to_string(j);
            estimate += Num(o, "Coef_of_X" + n + ": X" + n) * Num(row, "X" + n + ":X" + n);
        }
        EXPECT_NEAR(Num(row, "Estimated_Y"), estimate, 1e-9);
        EXPECT_NEAR(Num(row, "Residual"), Num(row, "Y:Y") - Num(row, "Estimated_Y"), 1e-12);
    }
}

TEST_F(RegressionMultiTest, WeightedCountsAndWholeWeightsInTheResidualTable) {
    MakeTable(db, "Reg", false, {"X1", "X2", "Y", "W"},
              {{1.0, 2.0, 3.1, 2.7},
               {2.0, 1.0, 3.9, 1.0},
               {3.0, 5.0, 8.2, 2.0},
               {4.0, 3.0, 7.1, 1.0},
               {5.0, 4.0, 9.0, 1.0},
               {6.0, 1.0, 7.2, 0.0}});
    RegressionSpec r;
    r.type = "M";
    r.xs = {"X1", "X2"};
    r.weight = "W";
    ASSERT_TRUE(Run(AddRegression(db, r))) << engine->get_ErrorInfo();
    const Record o = ReadResultRows(db, "Out")[0];
    EXPECT_NEAR(Num(o, "Count_of_Y"), 7.7, 1e-12);
    EXPECT_EQ(Num(o, "Observations"), 5);
    EXPECT_EQ(Num(o, "Missing"), 1);
    EXPECT_NEAR(Num(o, "Residual_DF"), 4.7, 1e-12);
    // R 4.2: coef(lm(y ~ x1 + x2, weights = w)) over the five weighted rows
    // (coefficients do not depend on how the degrees of freedom are counted)
    EXPECT_REL(Num(o, "Coef_of_X1: X1"), 1.0219435736677112, 1e-11);
    EXPECT_REL(Num(o, "Coef_of_X2: X2"), 0.9015673981191221, 1e-11);
    const auto res = ReadResultRows(db, "Res");
    ASSERT_EQ(res.size(), 5u);
    EXPECT_EQ(Num(res[0], "Observations"), 2);  // whole part of 2.7
}

TEST_F(RegressionMultiTest, LongNamesAreCutTo64Characters) {
    const std::string x(60, 'x');
    const std::string y = "Y" + std::string(59, 'y');
    MakeTable(db, "Reg", false, {x, y}, {{1.0, 2.0}, {2.0, 2.9}, {3.0, 4.2}, {4.0, 4.8}});
    RegressionSpec r;
    r.type = "M";
    r.xs = {x};
    r.y = y;
    r.anova = false;
    ASSERT_TRUE(Run(AddRegression(db, r))) << engine->get_ErrorInfo();
    const auto out = ColumnNames(db, "Out");
    EXPECT_EQ(out[1], ("Count_of_" + y).substr(0, 64));
    EXPECT_EQ(out[4], ("Coef_of_X1: " + x).substr(0, 64));
    EXPECT_EQ(out.size(), 16u);  // no analysis-of-variance columns
    const auto res = ColumnNames(db, "Res");
    EXPECT_EQ(res[1], ("X1:" + x).substr(0, 64));
    EXPECT_EQ(res[2], ("Y:" + y).substr(0, 64));
}

// Sums that no real data give (a correlation of 2 between two fields) make
// the inverse's diagonal negative: no standard error exists, and the fit
// fails instead of writing coefficients from a broken solve.
TEST(RegressionFitTest, NegativeInverseDiagonalFailsTheFit) {
    CRegressBase::ModelSums sums;
    sums.used = 10;
    sums.syyRaw = 100;
    sums.s = {10, 20, 0,  0,   // X1: sum x1^2, sum x1 x2, sum x1, sum x1 y
              0,  10, 0,  0,   // X2 (upper triangle only)
              0,  0,  10, 0};  // constant: sum w, sum w y
    RegressionShape shape;
    shape.perField = false;
    shape.terms = 2;
    EXPECT_FALSE(CRegressBase::Solve(sums, 2, true, shape, nullptr).ok);
    // The same sums with a correlation of 0.5 fit.
    sums.s[1] = 5;
    const CRegressBase::Fit fit = CRegressBase::Solve(sums, 2, true, shape, nullptr);
    ASSERT_TRUE(fit.ok);
    // Hand-worked: inverse of [[10, 5], [5, 10]] has diagonal 10 / 75; SSE = 100, df = 7.
    EXPECT_NEAR(fit.variance[0], 100 * (10.0 / 75) / 7, 1e-12);
}

}  // namespace
