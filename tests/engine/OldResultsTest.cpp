// A run whose source cannot be read leaves the result tables of the run
// before it as they were: the old tables go only once the source is open.
// One analysis of each way of running: the shared phases (describe,
// regression with its residual table), the two-sample tests (comparison
// values first) and the chi-square test (one summary query per field).
#include <string>
#include <vector>

#include "EngineTestSupport.h"

using namespace enginetest;

namespace {

class OldResults : public EngineTest {
protected:
    void SetUp() override {
        EngineTest::SetUp();
        // G1, G2, X1, X2, Y, W
        AppendRows({{"a", "u", 1.0, 2.0, 3.0, 1.0},
                    {"a", "v", 2.0, 1.0, 5.0, 2.0},
                    {"a", "u", 4.0, 3.0, 9.0, 1.0},
                    {"b", "v", 3.0, 5.0, 7.0, 1.0},
                    {"b", "u", 5.0, 4.0, 12.0, 3.0},
                    {"b", "v", 6.0, 6.0, 13.0, 1.0}});
    }

    std::vector<std::string> Contents(const std::string& table) { return TableAsText(db, table); }

    // The source keeps its name and its text columns but loses the numbers
    // the analyses read, so their data query cannot be opened.
    void BreakSource() {
        db->TableDefs()->Delete("Data");
        dao::TableDefPtr t = db->CreateTableDef("Data");
        AddField(t, "G1", dao::dbText, 20);
        AddField(t, "G2", dao::dbText, 20);
        db->TableDefs()->Append(t);
        AppendRows({{"a", "u"}, {"b", "v"}});
    }

    // Runs the scenario, breaks the source, runs it again and expects the
    // second run to fail with the tables of the first one untouched.
    void ExpectOldTablesKept(const StoredScenario& scenario, const std::vector<std::string>& tables) {
        const int32_t id = AddScenario(db, scenario);
        ASSERT_TRUE(Run(id)) << engine->get_ErrorInfo();
        std::vector<std::vector<std::string>> before;
        for (const std::string& table : tables) {
            before.push_back(Contents(table));
            EXPECT_FALSE(before.back().empty()) << table;
        }
        BreakSource();
        EXPECT_FALSE(Run(id));
        EXPECT_FALSE(engine->get_ErrorInfo().empty());
        for (size_t i = 0; i < tables.size(); ++i) EXPECT_EQ(Contents(tables[i]), before[i]) << tables[i];
    }
};

TEST_F(OldResults, DescribeKeepsItsTable) {
    StoredScenario scenario;
    scenario.fields = {{"G1", "G", 1}, {"X1", "X", 1}};
    scenario.options = {{"Mean", true}, {"Range", true}};
    ExpectOldTablesKept(scenario, {"Out1"});
}

TEST_F(OldResults, RegressionKeepsItsTableAndResiduals) {
    StoredScenario scenario;
    scenario.subType = "Regression";
    scenario.fields = {{"G1", "G", 1}, {"X1", "X", 1}, {"Y", "Y", 1}};
    scenario.options = {{"RegressType", "S"}, {"RYInt", true}, {"RANova", true}};
    ExpectOldTablesKept(scenario, {"Out1", "Out2"});
}

TEST_F(OldResults, TwoSampleTestKeepsItsTable) {
    StoredScenario scenario;
    scenario.family = "N";
    scenario.subType = "2 Sample";
    scenario.fields = {{"G1", "G", 1}, {"G2", "C", 1}, {"X1", "X", 1}};
    scenario.options = {{"NPTwoType", "Mann"}};
    ExpectOldTablesKept(scenario, {"Out1"});
}

TEST_F(OldResults, ChiSquareKeepsItsTableAndDetail) {
    StoredScenario scenario;
    scenario.family = "N";
    scenario.subType = "Chi-Square";
    scenario.fields = {{"G1", "G", 1}, {"G2", "C", 1}, {"W", "W", 1}};
    scenario.options = {{"ChiDetail", true}};
    ExpectOldTablesKept(scenario, {"Out1", "Out2"});
}

// A result table named like the source cannot replace it: the source is
// open when the old table would go, so the run fails and the data stay.
TEST_F(OldResults, AResultTableNamedLikeTheSourceLeavesTheSource) {
    StoredScenario scenario;
    scenario.output1 = "Data";
    scenario.fields = {{"G1", "G", 1}, {"X1", "X", 1}};
    scenario.options = {{"Mean", true}};
    const int32_t id = AddScenario(db, scenario);
    EXPECT_FALSE(Run(id));
    EXPECT_EQ(ReadQueryRows(db, "SELECT * FROM Data;").size(), 6u);
    EXPECT_EQ(ColumnNames(db, "Data"), (std::vector<std::string>{"G1", "G2", "X1", "X2", "Y", "W"}));
}

// The sign test and the runs test read their source in passes of their own;
// a table named like the source still cannot replace it.
TEST_F(OldResults, SignAndRunsTestsNamedLikeTheSourceLeaveTheSource) {
    StoredScenario sign;
    sign.family = "N";
    sign.subType = "Sign Test";
    sign.output1 = "Data";
    sign.fields = {{"G1", "G", 1}, {"X1", "X", 1}};
    sign.options = {{"SignMean", true}};
    StoredScenario runs;
    runs.family = "N";
    runs.subType = "2 Sample";
    runs.output1 = "Data";
    runs.fields = {{"G1", "G", 1}, {"G2", "C", 1}, {"X1", "X", 1}};
    runs.options = {{"NPTwoType", "Wald"}};
    for (const StoredScenario& scenario : {sign, runs}) {
        SCOPED_TRACE(scenario.subType.ToString());
        EXPECT_FALSE(Run(AddScenario(db, scenario)));
        EXPECT_EQ(ReadQueryRows(db, "SELECT * FROM Data;").size(), 6u);
        EXPECT_EQ(ColumnNames(db, "Data"), (std::vector<std::string>{"G1", "G2", "X1", "X2", "Y", "W"}));
    }
}

TEST_F(OldResults, SignTestKeepsItsTable) {
    StoredScenario sign;
    sign.family = "N";
    sign.subType = "Sign Test";
    sign.fields = {{"G1", "G", 1}, {"X1", "X", 1}};
    sign.options = {{"SignMean", true}};
    ExpectOldTablesKept(sign, {"Out1"});
}

TEST_F(OldResults, RunsTestKeepsItsTable) {
    StoredScenario runs;
    runs.family = "N";
    runs.subType = "2 Sample";
    runs.fields = {{"G1", "G", 1}, {"G2", "C", 1}, {"X1", "X", 1}};
    runs.options = {{"NPTwoType", "Wald"}};
    ExpectOldTablesKept(runs, {"Out1"});
}

}  // namespace
