// Multiple linear regression end to end, against R's lm().
#include "RegressionSupport.h"

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
    RegressionSetup r;
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
    RegressionSetup r;
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
    RegressionSetup r;
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
    RegressionSetup r;
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
    RegressionSetup r;
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
    RegressionSetup r;
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

}  // namespace
