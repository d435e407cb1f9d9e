// Polynomial regression end to end, against R's lm().
#include <algorithm>

#include "RegressionSupport.h"
#include "vb/Conversions.h"

namespace {

using namespace regressiontest;

class RegressionPolyTest : public enginetest::EngineTest {
protected:
    // X misses record 3, Z record 7, Y record 9: each field its own pattern.
    void MakeData() {
        const vb::Variant x[] = {1.0, 2.0, kNull, 4.0, 5.0, 6.0, 7.0, 8.0, 9.0, 10.0, 11.0, 12.0};
        const vb::Variant z[] = {0.5, 1.7, 2.2, 3.1, 4.8, 5.0, kNull, 7.7, 8.1, 9.9, 10.5, 12.2};
        const vb::Variant y[] = {3.2, 4.1, 6.0, 9.8, 14.9, 21.1, 29.3, 38.2, kNull, 59.0, 71.8, 85.1};
        std::vector<Row> rows;
        for (int i = 0; i < 12; ++i) rows.push_back({x[i], z[i], y[i]});
        MakeTable(db, "Reg", false, {"X", "Z", "Y"}, rows);
    }
    RegressionSetup Model(int order) {
        RegressionSetup r;
        r.type = "P";
        r.order = order;
        r.xs = {"X", "Z"};
        return r;
    }
};

TEST_F(RegressionPolyTest, OrderTwoPerFieldMatchesLm) {
    MakeData();
    ASSERT_TRUE(Run(AddRegression(db, Model(2)))) << engine->get_ErrorInfo();
    EXPECT_EQ(ColumnNames(db, "Out"), (std::vector<std::string>{"StatOutputID",
                                                                "DataField",
                                                                "Count_of_Y",
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
                                                                "Prob"}));
    const auto rows = ReadResultRows(db, "Out");
    ASSERT_EQ(rows.size(), 2u);
    const Record& x = rows[0];
    EXPECT_EQ(x.at("DataField").ToString(), "X");
    EXPECT_EQ(Num(x, "Count_of_Y"), 10);
    EXPECT_EQ(Num(x, "Missing"), 2);
    // R 4.2: summary(lm(y ~ poly(x, 2, raw = TRUE)))
    EXPECT_REL(Num(x, "Y-Intercept"), 3.030869018006669, 1e-11);
    EXPECT_REL(Num(x, "Coef_of_X^1"), -0.738429940440204, 1e-11);
    EXPECT_REL(Num(x, "Coef_of_X^2"), 0.633799439087476, 1e-12);
    EXPECT_REL(Num(x, "SE_of_Y-Intercept"), 0.4080238657461783, 1e-9);
    EXPECT_REL(Num(x, "SE_of_X^1"), 0.1414122809981437, 1e-9);
    EXPECT_REL(Num(x, "SE_of_X^2"), 0.0104666541730177, 1e-9);
    EXPECT_REL(Num(x, "t-Value_of_X^2"), 60.55415881814130, 1e-9);
    EXPECT_REL(Num(x, "Prob_of_X^1"), 1.22335737722689e-03, 1e-7);
    EXPECT_REL(Num(x, "R-Square"), 0.999870123021203, 1e-12);
    EXPECT_REL(Num(x, "Adj_R-Square"), 0.999833015312976, 1e-12);
    EXPECT_REL(Num(x, "StdError_of_Estimate"), 0.377066824415617, 1e-9);
    EXPECT_REL(Num(x, "F-Value"), 26945.078819913, 1e-8);
    EXPECT_REL(Num(x, "Prob"), 2.4966784991934e-14, 1e-6);
    EXPECT_EQ(Num(x, "Regression_DF"), 2);
    EXPECT_EQ(Num(x, "Total_DF"), 9);

    const Record& z = rows[1];
    EXPECT_EQ(z.at("DataField").ToString(), "Z");
    EXPECT_EQ(Num(z, "Missing"), 2);
    // R 4.2: summary(lm(y ~ poly(z, 2, raw = TRUE)))
    EXPECT_REL(Num(z, "Y-Intercept"), 1.517023991490375, 1e-11);
    EXPECT_REL(Num(z, "Coef_of_X^1"), 1.063603215688260, 1e-11);
    EXPECT_REL(Num(z, "Coef_of_X^2"), 0.491195831835717, 1e-11);
    EXPECT_REL(Num(z, "SE_of_X^2"), 0.071594446839503, 1e-9);
    EXPECT_REL(Num(z, "Prob_of_X^2"), 0.000239639170195092, 1e-7);
    EXPECT_REL(Num(z, "R-Square"), 0.994319181334585, 1e-12);
    EXPECT_REL(Num(z, "StdError_of_Estimate"), 2.60383494974777, 1e-9);

    // Residual rows: each field's own records, estimate from its own fit.
    const auto res = ReadResultRows(db, "Res");
    ASSERT_EQ(res.size(), 20u);
    for (const Record& row : res) {
        const Record& fit = row.at("DataField").ToString() == "X" ? x : z;
        const double v = Num(row, "X_Value");
        const double estimate = Num(fit, "Y-Intercept") + Num(fit, "Coef_of_X^1") * v + Num(fit, "Coef_of_X^2") * v * v;
        EXPECT_NEAR(Num(row, "Estimated_Y"), estimate, 1e-11);
        EXPECT_NEAR(Num(row, "Residual"), Num(row, "Y:Y") - Num(row, "Estimated_Y"), 1e-12);
    }
}

TEST_F(RegressionPolyTest, OrderThreeMatchesLmWithAndWithoutIntercept) {
    MakeData();
    ASSERT_TRUE(Run(AddRegression(db, Model(3)))) << engine->get_ErrorInfo();
    const auto rows = ReadResultRows(db, "Out");
    ASSERT_EQ(rows.size(), 2u);
    const Record& x = rows[0];
    // R 4.2: summary(lm(y ~ poly(x, 3, raw = TRUE)))
    EXPECT_REL(Num(x, "Y-Intercept"), 4.07048320307620237, 1e-10);
    EXPECT_REL(Num(x, "Coef_of_X^1"), -1.61335804230129387, 1e-10);
    EXPECT_REL(Num(x, "Coef_of_X^2"), 0.80049886863459818, 1e-10);
    EXPECT_REL(Num(x, "Coef_of_X^3"), -0.00863411555447665, 1e-10);
    EXPECT_REL(Num(x, "SE_of_X^3"), 0.00253472639246655, 1e-8);
    EXPECT_REL(Num(x, "t-Value_of_X^3"), -3.40633039531922, 1e-8);
    EXPECT_REL(Num(x, "Prob_of_X^3"), 1.43834184929989e-02, 1e-7);
    EXPECT_REL(Num(x, "R-Square"), 0.99995573152122, 1e-12);
    EXPECT_REL(Num(x, "F-Value"), 45176.8734363392, 1e-7);
    const Record& z = rows[1];
    // R 4.2: summary(lm(y ~ poly(z, 3, raw = TRUE)))
    EXPECT_REL(Num(z, "Coef_of_X^3"), -0.0219944301683967, 1e-10);
    EXPECT_REL(Num(z, "SE_of_X^3"), 0.021201400667011, 1e-8);
    EXPECT_REL(Num(z, "Prob_of_Y-Intercept"), 0.2801178818285751, 1e-7);
    EXPECT_REL(Num(z, "Adj_R-Square"), 0.992774750815488, 1e-12);

    engine = std::make_unique<Quantara>();
    RegressionSetup origin = Model(3);
    origin.intercept = false;
    ASSERT_TRUE(Run(AddRegression(db, origin))) << engine->get_ErrorInfo();
    const Record o = ReadResultRows(db, "Out")[0];
    // R 4.2: summary(lm(y ~ poly(x, 3, raw = TRUE) - 1))
    EXPECT_REL(Num(o, "Coef_of_X^1"), 0.9122263079896781, 1e-10);
    EXPECT_REL(Num(o, "Coef_of_X^2"), 0.3849374593921913, 1e-10);
    EXPECT_REL(Num(o, "Coef_of_X^3"), 0.0111268492247574, 1e-10);
    EXPECT_REL(Num(o, "SE_of_X^2"), 0.11053318664939296, 1e-8);
    EXPECT_REL(Num(o, "Prob_of_X^3"), 0.1294539680884170, 1e-7);
    EXPECT_REL(Num(o, "R-Square"), 0.999672502557121, 1e-12);
    EXPECT_REL(Num(o, "StdError_of_Estimate"), 0.942486182146592, 1e-9);
    EXPECT_EQ(Num(o, "Total_DF"), 10);
}

TEST_F(RegressionPolyTest, TooFewRecordsForTheOrderAndAFieldWithoutValues) {
    MakeTable(db, "Reg", false, {"X", "Z", "Y"},
              {{1.0, kNull, 1.0}, {2.0, kNull, 4.5}, {3.0, kNull, 8.0}, {4.0, kNull, 17.0}});
    RegressionSetup r = Model(3);
    ASSERT_TRUE(Run(AddRegression(db, r))) << engine->get_ErrorInfo();
    const auto rows = ReadResultRows(db, "Out");
    ASSERT_EQ(rows.size(), 2u);
    // Sw = 4 = n + 1: no residual degrees of freedom.
    EXPECT_EQ(Num(rows[0], "Count_of_Y"), 4);
    EXPECT_TRUE(IsNull(rows[0], "Coef_of_X^1"));
    EXPECT_EQ(Num(rows[1], "Count_of_Y"), 0);
    EXPECT_EQ(Num(rows[1], "Missing"), 4);
    EXPECT_TRUE(IsNull(rows[1], "R-Square"));
    EXPECT_TRUE(ReadResultRows(db, "Res").empty());
}

TEST_F(RegressionPolyTest, OrderAboveThirtyRunsWithResiduals) {
    std::vector<Row> rows;
    for (int i = 0; i < 40; ++i) rows.push_back({1.0 + i / 40.0, kNull, 2.0 + i});
    MakeTable(db, "Reg", false, {"X", "Z", "Y"}, rows);
    RegressionSetup r = Model(31);
    r.xs = {"X"};
    ASSERT_TRUE(Run(AddRegression(db, r))) << engine->get_ErrorInfo();
    const auto names = ColumnNames(db, "Out");
    EXPECT_NE(std::find(names.begin(), names.end(), "Prob_of_X^31"), names.end());
    // Such an order cannot be solved in Double here: the row keeps its
    // leading columns and the field's residual rows go.
    const Record o = ReadResultRows(db, "Out")[0];
    EXPECT_EQ(Num(o, "Count_of_Y"), 40);
    for (const Record& row : ReadResultRows(db, "Res"))
        EXPECT_NEAR(Num(row, "Residual"), Num(row, "Y:Y") - Num(row, "Estimated_Y"), 1e-9);
}

TEST_F(RegressionPolyTest, OrderBelowOneIsRefused) {
    MakeData();
    EXPECT_FALSE(Run(AddRegression(db, Model(0))));
    EXPECT_EQ(engine->get_ErrorInfo().find("The polynomial order must be 1 or more") == std::string::npos, false);
}

// An order whose output table could never be made is refused up front,
// before anything is allocated for it.
TEST_F(RegressionPolyTest, OrderBeyondTheOutputTableIsRefused) {
    MakeData();
    EXPECT_FALSE(Run(AddRegression(db, Model(32767))));
    EXPECT_NE(engine->get_ErrorInfo().find("The polynomial order 32767 is too high: at most"), std::string::npos)
        << engine->get_ErrorInfo();
    // 22 fixed columns here and five a power: 395 powers fit in 2000 columns.
    engine = std::make_unique<Quantara>();
    EXPECT_FALSE(Run(AddRegression(db, Model(396))));
    engine = std::make_unique<Quantara>();
    ASSERT_TRUE(Run(AddRegression(db, Model(395)))) << engine->get_ErrorInfo();
    EXPECT_EQ(ColumnNames(db, "Out").size(), 2000u - 3);
}

}  // namespace
