// The example database: its data as described, the same content on every
// build, and every saved scenario running through the engine.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <filesystem>
#include <string>
#include <vector>

#include "ExampleDatabase.h"
#include "Merivox6/Quantara.h"
#include "dao/Dao.h"
#include "ui/RecordingUi.h"

namespace {

class ExampleDatabaseTest : public ::testing::Test {
protected:
    void SetUp() override {
        folder_ = std::filesystem::temp_directory_path() / ("merivox-example-" + std::to_string(::getpid()));
        std::filesystem::remove_all(folder_);
        std::filesystem::create_directories(folder_);
    }
    void TearDown() override { std::filesystem::remove_all(folder_); }

    std::string Build(const std::string& name) {
        std::string path = (folder_ / name).string();
        example::BuildExampleDatabase(path);
        return path;
    }

    // Every row of a table as text, in key order.
    static std::vector<std::string> Rows(const dao::DatabasePtr& db, const std::string& sql) {
        std::vector<std::string> rows;
        dao::RecordsetPtr rs = db->OpenRecordset(sql, dao::dbOpenSnapshot);
        while (!rs->Eof()) {
            std::string line;
            for (int32_t i = 0; i < rs->Fields()->Count(); ++i) {
                const vb::Variant& v = rs->Fields(i)->Value();
                line += (v.IsNull() ? std::string("<null>") : v.ToString()) + "|";
            }
            rows.push_back(line);
            rs->MoveNext();
        }
        rs->Close();
        return rows;
    }

    static double Scalar(const dao::DatabasePtr& db, const std::string& sql) {
        dao::RecordsetPtr rs = db->OpenRecordset(sql, dao::dbOpenSnapshot);
        double v = rs->Fields(0)->Value().ToDouble();
        rs->Close();
        return v;
    }

    std::filesystem::path folder_;
};

TEST_F(ExampleDatabaseTest, HoldsARealisticStudyTable) {
    dao::DatabasePtr db = dao::DBEngine().OpenDatabase(Build("example.db"));
    const std::string t = "[BloodPressureStudy]";
    EXPECT_EQ(Scalar(db, "SELECT Count(*) FROM " + t), example::kRows);
    // Nulls in some numeric fields, none in the group fields or the weight.
    EXPECT_GT(Scalar(db, "SELECT Count(*) FROM " + t + " WHERE WeightKg IS NULL"), 50);
    EXPECT_GT(Scalar(db, "SELECT Count(*) FROM " + t + " WHERE SystolicAfter IS NULL"), 50);
    EXPECT_GT(Scalar(db, "SELECT Count(*) FROM " + t + " WHERE Cholesterol IS NULL"), 20);
    EXPECT_EQ(Scalar(db, "SELECT Count(*) FROM " + t + " WHERE Clinic IS NULL OR SurveyWeight IS NULL"), 0);
    EXPECT_EQ(Scalar(db, "SELECT Count(*) FROM (SELECT DISTINCT Clinic FROM " + t + ")"), 5);
    EXPECT_EQ(Scalar(db, "SELECT Count(*) FROM (SELECT DISTINCT Treatment FROM " + t + ")"), 2);
    EXPECT_EQ(Scalar(db, "SELECT Count(*) FROM (SELECT DISTINCT AgeGroup FROM " + t + ")"), 3);
    EXPECT_GT(Scalar(db, "SELECT Min(SurveyWeight) FROM " + t), 0);
    // The drug lowers the second measure more than the placebo does.
    const double drug = Scalar(db, "SELECT Avg(SystolicAfter - SystolicBefore) FROM " + t + " WHERE Treatment='Drug'");
    const double placebo =
        Scalar(db, "SELECT Avg(SystolicAfter - SystolicBefore) FROM " + t + " WHERE Treatment='Placebo'");
    EXPECT_LT(drug, placebo - 4);
    EXPECT_EQ(Scalar(db, "SELECT Count(*) FROM usysQuarnScenarios"), 5);
    db->Close();
}

TEST_F(ExampleDatabaseTest, IsTheSameOnEveryBuild) {
    dao::DatabasePtr a = dao::DBEngine().OpenDatabase(Build("a.db"));
    dao::DatabasePtr b = dao::DBEngine().OpenDatabase(Build("b.db"));
    for (const char* sql : {"SELECT * FROM BloodPressureStudy ORDER BY PatientID",
                            "SELECT * FROM usysQuarnScenarios ORDER BY Scenario_ID",
                            "SELECT * FROM usysQuarnOptions ORDER BY Scenario_ID",
                            "SELECT * FROM usysQuarnFields ORDER BY Scenario_ID, FieldDef_Name"}) {
        EXPECT_EQ(Rows(a, sql), Rows(b, sql)) << sql;
    }
    a->Close();
    b->Close();
}

TEST_F(ExampleDatabaseTest, EveryScenarioRunsThroughTheEngine) {
    ui::RecordingUi recorder;
    ui::ScopedUi installed(recorder);
    dao::DatabasePtr db = dao::DBEngine().OpenDatabase(Build("run.db"));
    const std::vector<std::string> scenarios = Rows(
        db, "SELECT Scenario_ID, Scenario_Output_Table1_Name, Scenario_Output_Table2_Name FROM usysQuarnScenarios");
    ASSERT_EQ(scenarios.size(), 5u);
    for (int32_t id = 1; id <= 5; ++id) {
        Quantara engine;
        engine.putref_ScenarioDatabase(db);
        EXPECT_TRUE(engine.RunScenario(id)) << "scenario " << id << ": " << engine.get_ErrorInfo();
    }
    EXPECT_TRUE(recorder.boxes.empty());
    db->TableDefs()->Refresh();
    for (const char* table : {"Brux_BP_Describe", "Brux_Chol_Regression", "Brux_Chol_Residuals", "Brux_BP_TTest",
                              "Brux_BP_TTest_Detail", "Brux_Smokers_ChiSquare", "Brux_Chol_MannWhitney"}) {
        ASSERT_TRUE(db->TableDefs()->Contains(table)) << table;
        EXPECT_GT(Scalar(db, std::string("SELECT Count(*) FROM [") + table + "]"), 0) << table;
    }
    // The t-test against the textbook pooled-variance formula over the rows themselves (two passes).
    double n[2] = {0, 0}, mean[2] = {0, 0}, ss[2] = {0, 0};
    for (int g = 0; g < 2; ++g) {
        const std::string where =
            std::string(" FROM BloodPressureStudy WHERE SystolicAfter IS NOT NULL AND Treatment='") +
            (g == 0 ? "Drug" : "Placebo") + "'";
        n[g] = Scalar(db, "SELECT Count(*)" + where);
        mean[g] = Scalar(db, "SELECT Sum(SystolicAfter)" + where) / n[g];
        for (const std::string& row : Rows(db, "SELECT SystolicAfter" + where)) {
            const double d = std::stod(row) - mean[g];
            ss[g] += d * d;
        }
    }
    const double pooled = (ss[0] + ss[1]) / (n[0] + n[1] - 2);
    const double t = (mean[0] - mean[1]) / std::sqrt(pooled * (1 / n[0] + 1 / n[1]));
    EXPECT_EQ(Scalar(db, "SELECT [Count-1] FROM Brux_BP_TTest"), n[0]);
    EXPECT_NEAR(Scalar(db, "SELECT [Mean-1] FROM Brux_BP_TTest"), mean[0], 1e-9);
    EXPECT_NEAR(Scalar(db, "SELECT [Mean-2] FROM Brux_BP_TTest"), mean[1], 1e-9);
    EXPECT_NEAR(Scalar(db, "SELECT [t-Value_Pooled] FROM Brux_BP_TTest"), t, 1e-9 * std::fabs(t));
    // The regression's residual table has one row per record with both measures and the age.
    EXPECT_EQ(Scalar(db, "SELECT Count(*) FROM Brux_Chol_Residuals"),
              Scalar(db, "SELECT Count(*) FROM BloodPressureStudy WHERE Cholesterol IS NOT NULL AND WeightKg IS NOT "
                         "NULL AND Age IS NOT NULL"));
    db->Close();
}

}  // namespace
