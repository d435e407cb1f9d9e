// Simple linear regression end to end, against R's lm(). Tolerances are
// relative unless said otherwise.
#include "RegressionSupport.h"

namespace {

using namespace regressiontest;

class RegressionSimpleTest : public enginetest::EngineTest {
protected:
    // Group "a": eight full records, one without x, one without y; group "b":
    // five records. W holds integer weights for group "a".
    void MakeGroups() {
        MakeTable(db, "Reg", true, {"X", "Y", "W"},
                  {{"a", 1.0, 2.1, 1.0},
                   {"a", 2.0, 3.9, 2.0},
                   {"a", 3.0, 6.2, 3.0},
                   {"a", 4.0, 7.8, 1.0},
                   {"a", kNull, 5.0, 1.0},
                   {"a", 5.0, 10.1, 2.0},
                   {"a", 6.0, 12.2, 1.0},
                   {"a", 4.5, kNull, 1.0},
                   {"a", 7.0, 13.8, 3.0},
                   {"a", 8.0, 16.1, 2.0},
                   {"b", 2.0, 10.0, 1.0},
                   {"b", 4.0, 7.5, 1.0},
                   {"b", 6.0, 6.1, 1.0},
                   {"b", 9.0, 2.2, 1.0},
                   {"b", 11.0, 1.0, 1.0}});
    }
};

TEST_F(RegressionSimpleTest, WithInterceptMatchesLmPerGroupWithMissingXAndY) {
    MakeGroups();
    RegressionSetup r;
    r.groups = {"G"};
    ASSERT_TRUE(Run(AddRegression(db, r))) << engine->get_ErrorInfo();

    const auto names = ColumnNames(db, "Out");
    const std::vector<std::string> expected = {"StatOutputID",
                                               "G",
                                               "DataField",
                                               "Count_of_Y",
                                               "Missing",
                                               "Y-Intercept",
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
                                               "Prob"};
    EXPECT_EQ(names, expected);

    const auto rows = ReadResultRows(db, "Out");
    ASSERT_EQ(rows.size(), 2u);
    const Record& a = rows[0];
    EXPECT_EQ(a.at("G").ToString(), "a");
    EXPECT_EQ(a.at("DataField").ToString(), "X");
    EXPECT_EQ(Num(a, "Count_of_Y"), 8);
    EXPECT_EQ(Num(a, "Missing"), 2);
    // R 4.2: summary(lm(y ~ x)) on group a
    EXPECT_REL(Num(a, "Y-Intercept"), 0.0357142857142865, 1e-12);
    EXPECT_REL(Num(a, "Coef_of_X"), 1.9976190476190476, 1e-13);
    EXPECT_REL(Num(a, "SE_of_Y-Intercept"), 0.1403853620810282, 1e-12);
    EXPECT_REL(Num(a, "SE_of_X"), 0.0278004442668842, 1e-12);
    EXPECT_REL(Num(a, "t-Value_of_Y-Intercept"), 0.254401777969364, 1e-10);
    EXPECT_REL(Num(a, "t-Value_of_X"), 71.855651961598568, 1e-12);
    EXPECT_REL(Num(a, "Prob_of_Y-Intercept"), 0.807679667063341, 1e-9);
    EXPECT_NEAR(Num(a, "Prob_of_X"), 4.88893361255514e-10, 1e-17);
    EXPECT_REL(Num(a, "R-Square"), 0.998839286601139, 1e-13);
    EXPECT_REL(Num(a, "Multiple_R"), std::sqrt(0.998839286601139), 1e-13);
    EXPECT_REL(Num(a, "Adj_R-Square"), 0.998645834367995, 1e-13);
    EXPECT_REL(Num(a, "StdError_of_Estimate"), 0.180167470594216, 1e-12);
    // Standardised slope of a line with intercept: r = sqrt(R^2).
    EXPECT_REL(Num(a, "Beta_of_X"), std::sqrt(0.998839286601139), 1e-13);
    // R 4.2: anova(lm(y ~ x)) on group a
    EXPECT_EQ(Num(a, "Regression_DF"), 1);
    EXPECT_EQ(Num(a, "Residual_DF"), 6);
    EXPECT_EQ(Num(a, "Total_DF"), 7);
    EXPECT_REL(Num(a, "Regression_SS"), 167.6002380952382, 1e-13);
    EXPECT_REL(Num(a, "Residual_SS"), 0.1947619047619, 1e-11);
    EXPECT_REL(Num(a, "Total_SS"), 167.6002380952382 + 0.1947619047619, 1e-13);
    EXPECT_REL(Num(a, "Regression_MS"), 167.6002380952382, 1e-13);
    EXPECT_REL(Num(a, "Residual_MS"), 0.0324603174603, 1e-11);
    EXPECT_REL(Num(a, "F-Value"), 5163.23471882638, 1e-11);
    EXPECT_NEAR(Num(a, "Prob"), 4.88893361255514e-10, 1e-17);

    const Record& b = rows[1];
    EXPECT_EQ(Num(b, "Count_of_Y"), 5);
    EXPECT_EQ(Num(b, "Missing"), 0);
    // R 4.2: summary(lm(y ~ x)) on group b
    EXPECT_REL(Num(b, "Y-Intercept"), 11.87067669172932, 1e-13);
    EXPECT_REL(Num(b, "Coef_of_X"), -1.01729323308271, 1e-13);
    EXPECT_REL(Num(b, "SE_of_X"), 0.0611138377348463, 1e-12);
    EXPECT_REL(Num(b, "t-Value_of_X"), -16.6458738444216, 1e-12);
    EXPECT_REL(Num(b, "Prob_of_X"), 0.000471994592074419, 1e-9);
    EXPECT_REL(Num(b, "R-Square"), 0.989288970287431, 1e-13);
    EXPECT_REL(Num(b, "Beta_of_X"), -std::sqrt(0.989288970287431), 1e-13);
    EXPECT_REL(Num(b, "F-Value"), 277.0851160444, 1e-11);

    // Residual rows: records used only, residual = y - estimate.
    const auto res = ReadResultRows(db, "Res");
    ASSERT_EQ(res.size(), 13u);
    EXPECT_EQ(ColumnNames(db, "Res"), (std::vector<std::string>{"StatOutputID", "G", "DataField", "X_Value", "Y:Y",
                                                                "Estimated_Y", "Residual"}));
    for (const Record& row : res) {
        const Record& fit = row.at("G").ToString() == "a" ? a : b;
        const double estimate = Num(fit, "Y-Intercept") + Num(fit, "Coef_of_X") * Num(row, "X_Value");
        EXPECT_NEAR(Num(row, "Estimated_Y"), estimate, 1e-12);
        EXPECT_NEAR(Num(row, "Residual"), Num(row, "Y:Y") - Num(row, "Estimated_Y"), 1e-12);
    }
    // R 4.2: residuals(lm(y ~ x))[1] on group a
    EXPECT_NEAR(Num(res[0], "Residual"), 0.0666666666666665, 1e-12);
}

TEST_F(RegressionSimpleTest, ThroughTheOriginMatchesLm) {
    MakeGroups();
    RegressionSetup r;
    r.groups = {"G"};
    r.intercept = false;
    ASSERT_TRUE(Run(AddRegression(db, r))) << engine->get_ErrorInfo();
    for (const auto& name : ColumnNames(db, "Out")) EXPECT_EQ(name.find("Y-Intercept"), std::string::npos);
    const Record a = ReadResultRows(db, "Out")[0];
    // R 4.2: summary(lm(y ~ x - 1)) on group a
    EXPECT_REL(Num(a, "Coef_of_X"), 2.00392156862745, 1e-13);
    EXPECT_REL(Num(a, "SE_of_X"), 0.0117413400084788, 1e-12);
    EXPECT_REL(Num(a, "t-Value_of_X"), 170.672305476237, 1e-12);
    EXPECT_NEAR(Num(a, "Prob_of_X"), 6.25617893975633e-14, 1e-20);
    EXPECT_REL(Num(a, "R-Square"), 0.999759747687213, 1e-13);
    EXPECT_REL(Num(a, "StdError_of_Estimate"), 0.167699878651476, 1e-12);
    // The adjusted R-square divides by W - 2 also without intercept.
    EXPECT_REL(Num(a, "Adj_R-Square"), 0.999759747687213 - (1 - 0.999759747687213) / 6, 1e-13);
    // R 4.2: anova(lm(y ~ x - 1)): uncentred total, df W - 1.
    EXPECT_EQ(Num(a, "Residual_DF"), 7);
    EXPECT_EQ(Num(a, "Total_DF"), 8);
    EXPECT_REL(Num(a, "Regression_SS"), 819.203137254902, 1e-13);
    EXPECT_REL(Num(a, "Residual_SS"), 0.196862745098, 1e-10);
    EXPECT_REL(Num(a, "F-Value"), 29129.0358565739, 1e-11);
    // Estimates through the origin carry no intercept.
    for (const Record& row : ReadResultRows(db, "Res")) {
        if (row.at("G").ToString() != "a") continue;
        EXPECT_NEAR(Num(row, "Estimated_Y"), Num(a, "Coef_of_X") * Num(row, "X_Value"), 1e-12);
    }
}

TEST_F(RegressionSimpleTest, IntegerWeightsEqualReplicatedRows) {
    MakeGroups();
    // The same group "a" with every record repeated W times, unweighted.
    std::vector<Row> replicated;
    for (const Row& row : std::vector<Row>{{1.0, 2.1, 1.0},
                                           {2.0, 3.9, 2.0},
                                           {3.0, 6.2, 3.0},
                                           {4.0, 7.8, 1.0},
                                           {5.0, 10.1, 2.0},
                                           {6.0, 12.2, 1.0},
                                           {7.0, 13.8, 3.0},
                                           {8.0, 16.1, 2.0}}) {
        for (int i = 0; i < row[2].ToDouble(); ++i) replicated.push_back({row[0], row[1]});
    }
    MakeTable(db, "Rep", false, {"X", "Y"}, replicated);

    RegressionSetup weighted;
    weighted.groups = {"G"};
    weighted.weight = "W";
    ASSERT_TRUE(Run(AddRegression(db, weighted))) << engine->get_ErrorInfo();
    const Record w = ReadResultRows(db, "Out")[0];
    const auto wres = ReadResultRows(db, "Res");

    RegressionSetup plain;
    plain.input = "Rep";
    engine = std::make_unique<Quantara>();  // one engine object per run
    ASSERT_TRUE(Run(AddRegression(db, plain))) << engine->get_ErrorInfo();
    const Record p = ReadResultRows(db, "Out")[0];

    // Count is the sum of weights, Observations the records used.
    EXPECT_EQ(Num(w, "Count_of_Y"), 15);
    EXPECT_EQ(Num(w, "Observations"), 8);
    EXPECT_EQ(Num(w, "Missing"), 2);
    // R 4.2: summary(lm(rep(y, w) ~ rep(x, w)))
    EXPECT_REL(Num(w, "Y-Intercept"), 0.0889081455805866, 1e-12);
    EXPECT_REL(Num(w, "Coef_of_X"), 1.9854419410745239, 1e-13);
    EXPECT_REL(Num(w, "SE_of_X"), 0.0191740959250459, 1e-12);
    EXPECT_REL(Num(w, "R-Square"), 0.998789032396093, 1e-13);
    EXPECT_REL(Num(w, "Adj_R-Square"), 0.998695881041946, 1e-13);
    EXPECT_EQ(Num(w, "Residual_DF"), 13);
    for (const char* column :
         {"Y-Intercept", "Coef_of_X", "SE_of_Y-Intercept", "SE_of_X", "Beta_of_X", "t-Value_of_X", "Prob_of_X",
          "R-Square", "Adj_R-Square", "StdError_of_Estimate", "Residual_SS", "F-Value", "Prob"})
        EXPECT_REL(Num(w, column), Num(p, column), 1e-12);

    // The residual table shows each record's weight.
    ASSERT_EQ(wres.size(), 13u);
    EXPECT_EQ(Num(wres[2], "Observations"), 3);
}

TEST_F(RegressionSimpleTest, FractionalWeightsGiveFractionalDegreesOfFreedom) {
    MakeTable(
        db, "Reg", false, {"X", "Y", "W"},
        {{1.0, 1.0, 0.5}, {2.0, 2.5, 1.5}, {3.0, 2.9, 1.0}, {4.0, 4.4, 0.0}, {5.0, 5.1, -1.0}, {6.0, 5.8, kNull}});
    RegressionSetup r;
    r.weight = "W";
    ASSERT_TRUE(Run(AddRegression(db, r))) << engine->get_ErrorInfo();
    const Record row = ReadResultRows(db, "Out")[0];
    EXPECT_EQ(Num(row, "Count_of_Y"), 3);
    EXPECT_EQ(Num(row, "Observations"), 3);
    EXPECT_EQ(Num(row, "Missing"), 3);  // weights 0, below 0 and Null
    EXPECT_EQ(Num(row, "Residual_DF"), 1);
    // R 4.2: coef(lm(y ~ x, weights = c(0.5, 1.5, 1))) (coefficients do not
    // depend on the degrees of freedom)
    EXPECT_REL(Num(row, "Coef_of_X"), 0.852941176470588, 1e-13);
    EXPECT_REL(Num(row, "Y-Intercept"), 0.535294117647060, 1e-13);
}

// A residual row's Observations is the whole part of the record's weight, in
// a straight line as in a polynomial (and listwise) fit: 2.7 stands for 2
// records, 0.5 for none.
TEST_F(RegressionSimpleTest, ResidualObservationsAreTheWholePartsOfTheWeights) {
    MakeTable(
        db, "Reg", false, {"X", "Y", "W"},
        {{1.0, 1.2, 0.5}, {2.0, 3.9, 2.7}, {3.0, 9.2, 1.0}, {4.0, 15.8, 1.5}, {5.0, 25.3, 3.2}, {6.0, 35.9, 1.0}});
    for (const char* type : {"S", "P", "M"}) {
        RegressionSetup r;
        r.type = type;
        r.weight = "W";
        engine = std::make_unique<Quantara>();
        ASSERT_TRUE(Run(AddRegression(db, r))) << type << ": " << engine->get_ErrorInfo();
        std::vector<double> observations;
        for (const Record& row : ReadResultRows(db, "Res")) observations.push_back(Num(row, "Observations"));
        EXPECT_EQ(observations, (std::vector<double>{0, 2, 1, 1, 3, 1})) << type;
    }
}

// The residual rows are a stage of their own: announced once the records
// are read, before the progress of the residual rows.
TEST_F(RegressionSimpleTest, ProgressAnnouncesTheResidualAnalysis) {
    MakeTable(db, "Reg", false, {"X", "Y"},
              {{1.0, 2.1}, {2.0, 3.9}, {3.0, 6.2}, {4.0, 7.8}, {5.0, 10.1}, {6.0, 12.2}, {7.0, 13.8}});
    engine->put_ShowProgress(true);
    ASSERT_TRUE(Run(AddRegression(db, {}))) << engine->get_ErrorInfo();
    const std::vector<std::string> expected = {"Retrieving and sorting data...",
                                               "Creating output table...",
                                               "Analyzing records...",
                                               "Analyzing record: 5",
                                               "Analyzing record: 7",
                                               "Performing residual analysis...",
                                               "Residual analysis record: 5",
                                               "Residual analysis record: 7..."};
    EXPECT_EQ(log.statuses, expected);
}

TEST_F(RegressionSimpleTest, DegenerateGroupsKeepOnlyTheLeadingColumns) {
    MakeTable(db, "Reg", true, {"X", "Y"},
              {{"one", 1.0, 2.0},  // one record
               {"xconst", 3.0, 1.0},
               {"xconst", 3.0, 2.0},
               {"xconst", 3.0, 4.0},  // constant x
               {"yconst", 1.0, 5.0},
               {"yconst", 2.0, 5.0},
               {"yconst", 3.0, 5.0},  // constant y
               {"two", 1.0, 1.0},
               {"two", 2.0, 3.0}});  // no residual df
    RegressionSetup r;
    r.groups = {"G"};
    ASSERT_TRUE(Run(AddRegression(db, r))) << engine->get_ErrorInfo();
    const auto rows = ReadResultRows(db, "Out");
    ASSERT_EQ(rows.size(), 4u);
    for (const Record& row : rows) {
        EXPECT_FALSE(IsNull(row, "Count_of_Y"));
        EXPECT_FALSE(IsNull(row, "Missing"));
        for (const char* column : {"Y-Intercept", "Coef_of_X", "SE_of_X", "R-Square", "Multiple_R",
                                   "StdError_of_Estimate", "Regression_DF", "Total_SS", "F-Value"})
            EXPECT_TRUE(IsNull(row, column)) << row.at("G").ToString() << " " << column;
    }
    EXPECT_TRUE(ReadResultRows(db, "Res").empty());
}

TEST_F(RegressionSimpleTest, PerfectFitHasNoTestStatistics) {
    // y = 1000 + 3x exactly, on values large enough for rounding in the sums.
    std::vector<Row> rows;
    for (double x : {1001.0, 1003.0, 1004.0, 1010.0, 1017.0, 1020.0}) rows.push_back({x, 1000 + 3 * x});
    MakeTable(db, "Reg", false, {"X", "Y"}, rows);
    RegressionSetup r;
    ASSERT_TRUE(Run(AddRegression(db, r))) << engine->get_ErrorInfo();
    const Record row = ReadResultRows(db, "Out")[0];
    // The sums' 15-digit differences leave about 10 digits here (see the
    // NIST cases below).
    EXPECT_REL(Num(row, "Coef_of_X"), 3, 1e-9);
    EXPECT_REL(Num(row, "Y-Intercept"), 1000, 1e-8);
    EXPECT_EQ(Num(row, "R-Square"), 1);
    EXPECT_EQ(Num(row, "Multiple_R"), 1);
    EXPECT_EQ(Num(row, "StdError_of_Estimate"), 0);
    EXPECT_EQ(Num(row, "SE_of_X"), 0);
    EXPECT_EQ(Num(row, "Residual_MS"), 0);
    // No finite t or F exists for an exact fit.
    for (const char* column : {"t-Value_of_X", "Prob_of_X", "t-Value_of_Y-Intercept", "F-Value", "Prob"})
        EXPECT_TRUE(IsNull(row, column)) << column;
    const auto res = ReadResultRows(db, "Res");
    ASSERT_EQ(res.size(), 6u);
    for (const Record& rr : res) EXPECT_NEAR(Num(rr, "Residual"), 0, 1e-7);
}

// Decimals near a million that differ in the first decimal: taken as
// deviations from the first record's decimal value, y = 3x + 0.7 is an exact
// fit, where their binary values leave noise of about 1e-10 in each x.
TEST_F(RegressionSimpleTest, DecimalDataFarFromZeroFitExactly) {
    std::vector<Row> rows;
    for (int i : {1, 2, 4, 7, 8, 12, 15}) {
        const double x = std::stod(std::to_string(10000000 + i).insert(7, "."));
        const double y = std::stod(std::to_string(30000007 + 3 * i).insert(7, "."));
        rows.push_back({x, y});
    }
    MakeTable(db, "Reg", false, {"X", "Y"}, rows);
    RegressionSetup r;
    ASSERT_TRUE(Run(AddRegression(db, r))) << engine->get_ErrorInfo();
    const Record row = ReadResultRows(db, "Out")[0];
    EXPECT_EQ(Num(row, "Coef_of_X"), 3);
    EXPECT_EQ(Num(row, "Residual_SS"), 0);
    EXPECT_EQ(Num(row, "R-Square"), 1);
    EXPECT_TRUE(IsNull(row, "F-Value"));
    // The intercept comes back from the shifts' decimal values.
    EXPECT_NEAR(Num(row, "Y-Intercept"), 0.7, 1e-12);
    for (const Record& rr : ReadResultRows(db, "Res")) EXPECT_NEAR(Num(rr, "Residual"), 0, 1e-9);
}

TEST_F(RegressionSimpleTest, MissingValueRuleActsLikeNull) {
    MakeTable(db, "Reg", false, {"X", "Y"},
              {{1.0, 2.0}, {2.0, 4.1}, {-99.0, 5.0}, {3.0, 5.9}, {4.0, -99.0}, {5.0, 10.2}});
    RegressionSetup r;
    r.missingType = "1";
    r.missingEqual = -99.0;
    ASSERT_TRUE(Run(AddRegression(db, r))) << engine->get_ErrorInfo();
    const Record row = ReadResultRows(db, "Out")[0];
    EXPECT_EQ(Num(row, "Count_of_Y"), 4);
    EXPECT_EQ(Num(row, "Missing"), 2);
    // R 4.2: coef(lm(c(2, 4.1, 5.9, 10.2) ~ c(1, 2, 3, 5)))
    EXPECT_REL(Num(row, "Coef_of_X"), 2.04, 1e-13);
    EXPECT_REL(Num(row, "Y-Intercept"), -0.06, 1e-12);
}

}  // namespace
