// The check that an opened database holds the scenario tables, the question
// to the user, and creation of the missing tables as one unit.
#include <gtest/gtest.h>

#include "ScenarioSchema.h"
#include "ScenarioTables.h"
#include "StoreFixture.h"

namespace {

const char* const kQuestion =
    "This is the first time you have opened this database for use with Quantara.\r\n\r\n"
    "The Scenario information tables must be created in your database in order for Quantara to work. \r\n\r\n"
    "Would you like to add the Quantara scenario tables to this database?";

class CheckTablesTest : public StoreTest {
protected:
    int TableCount() {
        db_->TableDefs()->Refresh();
        return db_->TableDefs()->Count();
    }
    bool HasAllThree() {
        return HasTable("usysQuarnScenarios") && HasTable("usysQuarnOptions") && HasTable("usysQuarnFields");
    }
    void ExpectQuestionAsked() {
        ASSERT_FALSE(ui_.boxes.empty());
        EXPECT_EQ(ui_.boxes[0].prompt, kQuestion);
        EXPECT_EQ(ui_.boxes[0].style, 36);
        EXPECT_EQ(ui_.boxes[0].title, "Initialize Database");
    }
};

TEST_F(CheckTablesTest, AllThreePresentPassesSilently) {
    ASSERT_TRUE(store::CreateScenarioTables());
    ui_.Reset();
    EXPECT_TRUE(store::CheckQuarnTables());
    EXPECT_TRUE(ui_.boxes.empty());
    EXPECT_TRUE(ui_.pointerHistory.empty());
    EXPECT_EQ(TableCount(), 3);
    EXPECT_EQ(ErrStack().Depth(), 0);
}

TEST_F(CheckTablesTest, TablesUnderOtherLetterCasePass) {
    for (const store::TableSchema* schema :
         {&store::ScenariosSchema(), &store::OptionsSchema(), &store::FieldsSchema()}) {
        store::TableSchema renamed = *schema;
        std::string name(schema->name);
        name[0] = 'U';
        name[1] = 'S';
        renamed.name = name;
        store::BuildTable(*db_, renamed);
    }
    EXPECT_TRUE(store::CheckQuarnTables());
    EXPECT_TRUE(ui_.boxes.empty());
    EXPECT_EQ(TableCount(), 3);
}

TEST_F(CheckTablesTest, AnsweredNoLeavesTheDatabaseUntouched) {
    ui_.Script(ui::vbNo);
    EXPECT_FALSE(store::CheckQuarnTables());
    ExpectQuestionAsked();
    EXPECT_EQ(ui_.boxes.size(), 1u);
    EXPECT_EQ(TableCount(), 0);
    Reopen();
    EXPECT_EQ(TableCount(), 0);
    EXPECT_EQ(ErrStack().Depth(), 0);
}

TEST_F(CheckTablesTest, AnsweredYesCreatesAllThreeUnderTheBusyPointer) {
    ui_.Script(ui::vbYes);
    EXPECT_TRUE(store::CheckQuarnTables());
    ExpectQuestionAsked();
    EXPECT_EQ(ui_.boxes.size(), 1u);  // no error box
    EXPECT_EQ(ui_.pointerHistory, (std::vector<int>{ui::vbHourglass, ui::vbDefault}));
    Reopen();
    EXPECT_TRUE(HasAllThree());
    EXPECT_EQ(TableCount(), 3);
    EXPECT_EQ(ErrStack().Depth(), 0);
    EXPECT_EQ(ErrStack().ErrNumber(), 0);
    // A second opening finds them.
    ui_.Reset();
    EXPECT_TRUE(store::CheckQuarnTables());
    EXPECT_TRUE(ui_.boxes.empty());
}

TEST_F(CheckTablesTest, PartialSetIsCompletedAndExistingRowsKept) {
    // Only the scenarios table, with a scenario in it.
    store::BuildTable(*db_, store::ScenariosSchema());
    db_->Execute("INSERT INTO usysQuarnScenarios (Scenario_Description, MissingType) VALUES ('kept', '0')");
    ui_.Script(ui::vbYes);
    EXPECT_TRUE(store::CheckQuarnTables());
    ExpectQuestionAsked();
    EXPECT_EQ(ui_.boxes.size(), 1u);
    Reopen();
    EXPECT_TRUE(HasAllThree());
    dao::RecordsetPtr rs = db_->OpenRecordset("usysQuarnScenarios", dao::dbOpenSnapshot);
    ASSERT_FALSE(rs->Eof());
    EXPECT_EQ(rs->Fields("Scenario_Description")->Value().ToString(), "kept");
    // The tables made now carry their descriptions.
    EXPECT_EQ(db_->TableDefs()
                  ->Item("usysQuarnFields")
                  ->Fields("FieldDef_Name")
                  ->Properties()
                  ->Item("Description")
                  ->Value()
                  .ToString(),
              "Field Name");
}

TEST_F(CheckTablesTest, MissingMiddleTableIsCompleted) {
    store::BuildTable(*db_, store::ScenariosSchema());
    store::BuildTable(*db_, store::FieldsSchema());
    ui_.Script(ui::vbYes);
    EXPECT_TRUE(store::CheckQuarnTables());
    Reopen();
    EXPECT_TRUE(HasAllThree());
    EXPECT_EQ(db_->TableDefs()->Item("usysQuarnOptions")->Fields()->Count(),
              int32_t(store::OptionsSchema().columns.size()));
}

TEST_F(CheckTablesTest, FailureOfALaterTableAddsNothing) {
    // A saved query holds the fields table's name, so that table cannot be
    // made after the other two have been.
    db_->CreateQueryDef("usysQuarnFields", "SELECT 1 AS One");
    ui_.Script(ui::vbYes);
    EXPECT_FALSE(store::CheckQuarnTables());
    ExpectQuestionAsked();
    ASSERT_EQ(ui_.boxes.size(), 2u);  // the question, then the error
    EXPECT_NE(ui_.boxes[1].prompt.find("BuildScenarioFieldsTable"), std::string::npos);
    EXPECT_EQ(ErrStack().ErrProcedure(), "BuildScenarioFieldsTable");
    EXPECT_EQ(ui_.pointer, ui::vbDefault);
    EXPECT_EQ(ErrStack().Depth(), 0);
    EXPECT_FALSE(HasTable("usysQuarnScenarios"));
    EXPECT_FALSE(HasTable("usysQuarnOptions"));
    Reopen();
    EXPECT_FALSE(HasTable("usysQuarnScenarios"));
    EXPECT_FALSE(HasTable("usysQuarnOptions"));
    EXPECT_EQ(TableCount(), 0);

    // Once the name is free again, creation succeeds.
    db_->QueryDefs()->Delete("usysQuarnFields");
    EXPECT_TRUE(store::CreateScenarioTables());
    EXPECT_TRUE(HasAllThree());
}

TEST_F(CheckTablesTest, BuildingAnExistingTableIsReportedAndFalse) {
    ASSERT_TRUE(store::BuildScenarioTable());
    EXPECT_FALSE(store::BuildScenarioTable());
    ASSERT_EQ(ui_.boxes.size(), 1u);
    EXPECT_EQ(ErrStack().ErrNumber(), dao::err::kTableExists);
    EXPECT_EQ(ErrStack().ErrProcedure(), "BuildScenarioTable");
    EXPECT_EQ(ErrStack().Depth(), 0);
    EXPECT_EQ(TableCount(), 1);
}

TEST_F(CheckTablesTest, NoCurrentDatabaseIsReportedAndFalse) {
    store::ClearCurrentDatabase();
    EXPECT_FALSE(store::CheckQuarnTables());
    ASSERT_EQ(ui_.boxes.size(), 1u);  // the error, no question
    EXPECT_EQ(ErrStack().ErrNumber(), vb::err::kObjectVariableNotSet);
    EXPECT_EQ(ErrStack().ErrProcedure(), "CheckQuarnTables");
    EXPECT_EQ(ErrStack().Depth(), 0);
}

}  // namespace
