// Runs into an existing result table while the program keeps record sets
// open on the output database, as data-grid windows do: the old table is
// replaced, the open record sets read on undisturbed. Means by hand:
// (1 + 3 + 8) / 3 = 4 for group a, 10 for group b.
#include "DescribeSupport.h"

using namespace enginetest;
using namespace describetest;

namespace {

class RerunWhileReadingTest : public EngineTest {
protected:
    void SetUp() override {
        EngineTest::SetUp();
        AppendRows({{"b", Null(), 10.0}, {"a", Null(), 1.0}, {"a", Null(), 3.0}, {"a", Null(), 8.0}});
        StoredScenario scenario;
        scenario.subType = "Describe";
        scenario.fields = {{"G1", "G", 1}, {"X1", "X", 1}};
        scenario.options = {{"Mean", vb::Variant(true)}, {"Range", vb::Variant(true)}};
        id = AddScenario(db, scenario);
    }
    void ExpectResults() {
        const auto rows = ReadResultRows(db, "Out1");
        ASSERT_EQ(rows.size(), 2u);
        EXPECT_EQ(rows[0].at("G1").String(), "a");
        EXPECT_EQ(Num(rows[0], "Count"), 3);
        EXPECT_EQ(Num(rows[0], "Mean"), 4);
        EXPECT_EQ(Num(rows[0], "Range"), 7);
        EXPECT_EQ(rows[1].at("G1").String(), "b");
        EXPECT_EQ(Num(rows[1], "Mean"), 10);
        // The result table keeps its primary key after being made again.
        auto indexes = db->TableDefs()->Item("Out1")->Indexes();
        ASSERT_EQ(indexes->Count(), 1);
        EXPECT_TRUE(indexes->Item(0)->Primary());
    }
    int32_t id = 0;
};

TEST_F(RerunWhileReadingTest, SameScenarioTwiceIntoTheSameOutputTable) {
    ASSERT_TRUE(Run(id)) << engine->get_ErrorInfo();
    ExpectResults();
    AppendRows({{"b", Null(), 12.0}});
    ASSERT_TRUE(Run(id)) << engine->get_ErrorInfo();
    const auto rows = ReadResultRows(db, "Out1");
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(Num(rows[1], "Count"), 2);
    EXPECT_EQ(Num(rows[1], "Mean"), 11);
}

TEST_F(RerunWhileReadingTest, RunsWhileOtherRecordSetsAreOpenPartWay) {
    ASSERT_TRUE(Run(id)) << engine->get_ErrorInfo();
    // A sorted read-only grid on the source and an updatable one on the
    // scenario fields, both part-way through.
    auto grid = db->OpenRecordset("SELECT [X1] FROM [Data] ORDER BY [X1]", dao::dbOpenDynaset,
                                  dao::dbReadOnly | dao::dbSeeChanges);
    grid->MoveNext();
    auto fields = db->OpenRecordset("SELECT * FROM [usysQuarnFields] ORDER BY [FieldDef_Name]", dao::dbOpenDynaset);
    ASSERT_TRUE(fields->Updatable());
    EXPECT_EQ(fields->Fields("FieldDef_Name")->Value().String(), "G1");

    for (int run = 0; run < 2; ++run) {
        ASSERT_TRUE(Run(id)) << engine->get_ErrorInfo();
        ExpectResults();
    }
    EXPECT_EQ(grid->Fields("X1")->Value().ToDouble(), 3.0);
    std::vector<double> rest;
    for (; !grid->Eof(); grid->MoveNext()) rest.push_back(grid->Fields("X1")->Value().ToDouble());
    EXPECT_EQ(rest, (std::vector<double>{3, 8, 10}));
    grid->MovePrevious();
    EXPECT_EQ(grid->Fields("X1")->Value().ToDouble(), 10.0);
    fields->MoveNext();
    EXPECT_EQ(fields->Fields("FieldDef_Name")->Value().String(), "X1");
    EXPECT_EQ(fields->Fields("Scenario_ID")->Value().ToLong(), id);
    fields->MoveNext();
    EXPECT_TRUE(fields->Eof());
}

TEST_F(RerunWhileReadingTest, AGridOnTheResultTableItselfKeepsIt) {
    ASSERT_TRUE(Run(id)) << engine->get_ErrorInfo();
    auto grid = db->OpenRecordset("SELECT [Mean] FROM [Out1] ORDER BY [StatOutputID]", dao::dbOpenDynaset,
                                  dao::dbReadOnly | dao::dbSeeChanges);
    // The table in use cannot be replaced: the run fails rather than
    // pulling the table from under the reader.
    EXPECT_FALSE(Run(id));
    // The run says why the old table could not be replaced.
    EXPECT_NE(engine->get_ErrorInfo().find("an open record set reads 'Out1'"), std::string::npos)
        << engine->get_ErrorInfo();
    EXPECT_EQ(grid->Fields("Mean")->Value().ToDouble(), 4.0);
    grid->MoveNext();
    EXPECT_EQ(grid->Fields("Mean")->Value().ToDouble(), 10.0);
    grid->Close();
    engine = std::make_unique<Quantara>();
    ASSERT_TRUE(Run(id)) << engine->get_ErrorInfo();
    ExpectResults();
}

}  // namespace
