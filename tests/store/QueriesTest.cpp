// The program's two scenario queries: their texts, and what they return when
// run on a database holding scenarios.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "ScenarioQueries.h"
#include "ScenarioTables.h"
#include "StoreFixture.h"

namespace {

TEST(ScenarioQueryText, ScenarioWithOptions) {
    EXPECT_EQ(store::GetScenOptionSQL(12), "SELECT  * FROM [usysQuarnScenarios] INNER JOIN [usysQuarnOptions] ON "
                                           "[usysQuarnScenarios].Scenario_ID = [usysQuarnOptions].Scenario_ID "
                                           "WHERE [usysQuarnScenarios].Scenario_ID=12");
    // 0: every scenario; the text ends in its trailing blank.
    EXPECT_EQ(store::GetScenOptionSQL(0), "SELECT  * FROM [usysQuarnScenarios] INNER JOIN [usysQuarnOptions] ON "
                                          "[usysQuarnScenarios].Scenario_ID = [usysQuarnOptions].Scenario_ID ");
    const std::string negative = store::GetScenOptionSQL(-5);
    EXPECT_TRUE(negative.ends_with("].Scenario_ID=-5")) << negative;
    EXPECT_EQ(ErrStack().Depth(), 0);
}

TEST(ScenarioQueryText, FieldList) {
    EXPECT_EQ(
        store::GetFieldListSQL(12),
        "SELECT * FROM [usysQuarnFields] WHERE Scenario_ID=12 order by FieldDef_Choice, FieldDef_Ordinal_Position");
    EXPECT_EQ(
        store::GetFieldListSQL(0),
        "SELECT * FROM [usysQuarnFields] WHERE Scenario_ID=0 order by FieldDef_Choice, FieldDef_Ordinal_Position");
    EXPECT_EQ(store::GetFieldListSQL(2147483647),
              "SELECT * FROM [usysQuarnFields] WHERE Scenario_ID=2147483647 order by FieldDef_Choice, "
              "FieldDef_Ordinal_Position");
}

class ScenarioQueryRun : public StoreTest {
protected:
    void SetUp() override {
        StoreTest::SetUp();
        ASSERT_TRUE(store::CreateScenarioTables());
        // Two scenarios, numbered 1 and 2 by the counter, each with its options row.
        for (const char* description : {"first", "second"}) {
            dao::RecordsetPtr rs = db_->OpenRecordset("usysQuarnScenarios", dao::dbOpenDynaset);
            rs->AddNew();
            const int32_t id = rs->Fields("Scenario_ID")->Value().ToLong();
            rs->Fields("Scenario_Description")->Value(vb::Variant(description));
            rs->Fields("Scenario_Analysis_Type")->Value(vb::Variant("P"));
            rs->Fields("Scenario_Analysis_SubType")->Value(vb::Variant("Describe"));
            rs->Update();
            rs->Close();
            db_->Execute("INSERT INTO usysQuarnOptions (Scenario_ID, InterV) VALUES (" + std::to_string(id) + ", " +
                         std::to_string(10 * id + 3) + ")");
        }
        // Fields of scenario 2, added out of order.
        struct Row {
            const char* name;
            int position;
            const char* role;
        };
        for (const Row& r : std::vector<Row>{{"Height", 2, "X"},
                                             {"Region", 1, "G"},
                                             {"Weight", 1, "W"},
                                             {"Age", 1, "X"},
                                             {"Score", 1, "Y"},
                                             {"Sex", 1, "C"},
                                             {"Income", 0, "X"}})
            db_->Execute("INSERT INTO usysQuarnFields (Scenario_ID, FieldDef_Name, FieldDef_Ordinal_Position, "
                         "FieldDef_Choice) VALUES (2, '" +
                         std::string(r.name) + "', " + std::to_string(r.position) + ", '" + r.role + "')");
        db_->Execute("INSERT INTO usysQuarnFields (Scenario_ID, FieldDef_Name, FieldDef_Ordinal_Position, "
                     "FieldDef_Choice) VALUES (1, 'Other', 1, 'X')");
    }

    std::vector<std::string> Column(const std::string& sql, const std::string& field) {
        std::vector<std::string> values;
        dao::RecordsetPtr rs = db_->OpenRecordset(sql, dao::dbOpenSnapshot);
        for (; !rs->Eof(); rs->MoveNext()) values.push_back(rs->Fields(field)->Value().ToString());
        rs->Close();
        return values;
    }
};

TEST_F(ScenarioQueryRun, ScenarioWithOptionsReturnsTheJoinedRow) {
    dao::RecordsetPtr rs = db_->OpenRecordset(store::GetScenOptionSQL(2), dao::dbOpenSnapshot);
    ASSERT_FALSE(rs->Eof());
    EXPECT_EQ(rs->Fields("Scenario_Description")->Value().ToString(), "second");
    EXPECT_EQ(rs->Fields("InterV")->Value().ToLong(), 23);
    EXPECT_EQ(rs->Fields("VarNRadio")->Value().ToString(), "N-1");
    rs->MoveNext();
    EXPECT_TRUE(rs->Eof());
    rs->Close();

    std::vector<std::string> all = Column(store::GetScenOptionSQL(0), "Scenario_Description");
    std::sort(all.begin(), all.end());
    EXPECT_EQ(all, (std::vector<std::string>{"first", "second"}));
    EXPECT_TRUE(Column(store::GetScenOptionSQL(-5), "Scenario_Description").empty());
}

TEST_F(ScenarioQueryRun, FieldListIsOrderedByRoleThenPosition) {
    EXPECT_EQ(Column(store::GetFieldListSQL(2), "FieldDef_Name"),
              (std::vector<std::string>{"Sex", "Region", "Weight", "Income", "Age", "Height", "Score"}));
    EXPECT_EQ(Column(store::GetFieldListSQL(1), "FieldDef_Name"), (std::vector<std::string>{"Other"}));
    EXPECT_TRUE(Column(store::GetFieldListSQL(0), "FieldDef_Name").empty());
}

}  // namespace
