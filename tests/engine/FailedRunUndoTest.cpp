// A failed run leaves the database as it was before the run, whichever way it
// fails: an analysis that returns its error as text after writing part of its
// results, a second output name taken by another kind of object, and an
// output named like one of the scenario tables (the standard ones or a
// client's own).
#include <sqlite3.h>

#include <string>
#include <vector>

#include "EngineTestSupport.h"
#include "vb/Conversions.h"

using namespace enginetest;

namespace {

class FailedRunUndo : public EngineTest {
protected:
    void SetUp() override {
        EngineTest::SetUp();
        // G1, G2, X1, X2, Y, W
        std::vector<std::vector<vb::Variant>> rows;
        for (int i = 1; i <= 300; ++i) {
            rows.push_back({i % 2 ? "a" : "b", i % 3 ? "u" : "v", static_cast<double>(i), static_cast<double>(i % 7),
                            static_cast<double>(2 * i + i % 5), 1.0});
        }
        AppendRows(rows);
    }

    // Every cell of a table as text, row by row; empty when it is missing.
    std::vector<std::string> Contents(const std::string& table) {
        return HasTable(table) ? TableAsText(db, table) : std::vector<std::string>{};
    }

    bool HasTable(const std::string& name) {
        db->TableDefs()->Refresh();
        for (int32_t i = 0; i < db->TableDefs()->Count(); ++i)
            if (vb::EqualsNoCase(db->TableDefs()->Item(i)->Name(), name)) return true;
        return false;
    }

    int64_t Count(const std::string& table) {
        return ReadQueryRows(db, "SELECT Count(*) AS n FROM [" + table + "];").front()["n"].ToDouble();
    }
};

// The analyses that read one field after another: field 1's rows are written
// before field 2's read fails at row 250 of a view.
TEST_F(FailedRunUndo, AnAnalysisFailingPartWayKeepsThePreviousResults) {
    StoredScenario sign;
    sign.family = "N";
    sign.subType = "Sign Test";
    sign.options = {{"SignMean", true}};
    StoredScenario fit = sign;
    fit.subType = "K-S Fit";
    fit.options = {{"FitUniform", true}, {"FitNormal", true}};
    StoredScenario two = sign;
    two.subType = "2 Sample";
    two.options = {{"NPTwoType", "Mann"}};
    for (StoredScenario* scenario : {&sign, &fit, &two}) {
        SCOPED_TRACE(scenario->subType.ToString());
        scenario->input = "Src";
        scenario->fields = {{"G1", "G", 1}, {"X1", "X", 1}, {"X2", "X", 2}};
        if (scenario == &two) scenario->fields.push_back({"G2", "C", 1});
        db->Execute("CREATE VIEW Src AS SELECT G1, G2, X1, X2 FROM Data");
        const int32_t id = AddScenario(db, *scenario);
        ASSERT_TRUE(Run(id)) << engine->get_ErrorInfo();
        const std::vector<std::string> before = Contents("Out1");
        ASSERT_FALSE(before.empty());

        db->Execute("DROP VIEW Src");
        db->Execute("CREATE VIEW Src AS SELECT G1, G2, X1, "
                    "CASE WHEN X1 >= 250 THEN abs(-9223372036854775807 - 1) ELSE X2 END AS X2 FROM Data");
        EXPECT_FALSE(Run(id));
        EXPECT_FALSE(engine->get_ErrorInfo().empty());
        EXPECT_EQ(Contents("Out1"), before);
        db->Execute("DROP VIEW Src");
    }
}

// A second output name held by an index or a query is found before the first
// table is touched; no empty second table is left.
TEST_F(FailedRunUndo, ASecondOutputNameTakenLeavesTheFirstTable) {
    StoredScenario regression;
    regression.subType = "Regression";
    regression.output1 = "r1";
    regression.output2 = "r2";
    regression.fields = {{"G1", "G", 1}, {"X1", "X", 1}, {"Y", "Y", 1}};
    regression.options = {{"RegressType", "S"}, {"RYInt", true}};
    StoredScenario ttest;
    ttest.family = "G";
    ttest.subType = "Two Sample t-Test";
    ttest.output1 = "t1";
    ttest.output2 = "t2";
    ttest.fields = {{"G1", "G", 1}, {"G2", "C", 1}, {"X1", "X", 1}};
    struct Case {
        StoredScenario scenario;
        std::string takeSecond;
    };
    for (const Case& c :
         {Case{regression, "CREATE INDEX r2 ON Data (X1)"}, Case{ttest, "CREATE VIEW t2 AS SELECT X1 FROM Data"}}) {
        const std::string first = c.scenario.output1.ToString();
        const std::string second = c.scenario.output2.ToString();
        SCOPED_TRACE(second);
        const int32_t id = AddScenario(db, c.scenario);
        ASSERT_TRUE(Run(id)) << engine->get_ErrorInfo();
        const std::vector<std::string> before = Contents(first);
        ASSERT_FALSE(before.empty());
        db->TableDefs()->Delete(second);
        db->Execute(c.takeSecond);

        EXPECT_FALSE(Run(id));
        EXPECT_NE(engine->get_ErrorInfo().find("[" + second + "]"), std::string::npos) << engine->get_ErrorInfo();
        EXPECT_EQ(Contents(first), before);
        EXPECT_FALSE(HasTable(second));
    }
    // A trigger keeps a namespace of its own: a table can still be made
    // under its name. (Made by another tool: the program's SQL makes none.)
    db->Execute("DROP INDEX r2");
    sqlite3* raw = nullptr;
    ASSERT_EQ(sqlite3_open(dbPath.c_str(), &raw), SQLITE_OK);
    ASSERT_EQ(
        sqlite3_exec(raw, "CREATE TRIGGER r2 AFTER INSERT ON Data BEGIN SELECT 1; END", nullptr, nullptr, nullptr),
        SQLITE_OK);
    sqlite3_close(raw);
    EXPECT_TRUE(Run(AddScenario(db, regression))) << engine->get_ErrorInfo();
    EXPECT_TRUE(HasTable("r2"));
}

// An output named like a scenario table (in any letter case, first or
// second output) is refused, naming the table; the saved scenarios stay.
TEST_F(FailedRunUndo, AnOutputNamedLikeAScenarioTableIsRefused) {
    StoredScenario describe;
    describe.output1 = "USYSQUARNSCENARIOS";
    describe.fields = {{"G1", "G", 1}, {"X1", "X", 1}};
    describe.options = {{"Mean", true}};
    StoredScenario regression;
    regression.subType = "Regression";
    regression.output2 = "usysquarnfields";
    regression.fields = {{"X1", "X", 1}, {"Y", "Y", 1}};
    regression.options = {{"RegressType", "S"}, {"RYInt", true}};
    StoredScenario crosstab;
    crosstab.subType = "Crosstab";
    crosstab.output1 = "UsysQuarnOptions";
    crosstab.fields = {{"G1", "G", 1}, {"G2", "C", 1}};
    const std::vector<int32_t> ids = {AddScenario(db, describe), AddScenario(db, regression),
                                      AddScenario(db, crosstab)};
    const std::vector<std::string> names = {"USYSQUARNSCENARIOS", "usysquarnfields", "UsysQuarnOptions"};
    for (size_t i = 0; i < ids.size(); ++i) {
        SCOPED_TRACE(names[i]);
        EXPECT_FALSE(Run(ids[i]));
        EXPECT_NE(engine->get_ErrorInfo().find(names[i]), std::string::npos) << engine->get_ErrorInfo();
        EXPECT_EQ(Count("usysQuarnScenarios"), 3);
        EXPECT_EQ(Count("usysQuarnOptions"), 3);
        EXPECT_EQ(Count("usysQuarnFields"), 6);
        EXPECT_EQ(ColumnNames(db, "usysQuarnFields").front(), "Scenario_ID");
    }
    // A client that keeps its scenarios under names of its own is kept as well.
    describe.output1 = "myfields";
    const int32_t id = AddScenario(db, describe);
    db->Execute("CREATE TABLE MyScenarios AS SELECT * FROM usysQuarnScenarios");
    db->Execute("CREATE TABLE MyOptions AS SELECT * FROM usysQuarnOptions");
    db->Execute("CREATE TABLE MyFields AS SELECT * FROM usysQuarnFields");
    engine->put_ScenarioTbl("MyScenarios");
    engine->put_OptionsTbl("MyOptions");
    engine->put_FieldTbl("MyFields");
    EXPECT_FALSE(Run(id));
    EXPECT_NE(engine->get_ErrorInfo().find("MyFields"), std::string::npos) << engine->get_ErrorInfo();
    EXPECT_EQ(Count("MyFields"), 8);
}

}  // namespace

// A compare field with more values than the pairs table can reasonably hold
// (an identifier chosen by mistake) is refused before anything is written,
// saying how many values it holds.
TEST_F(FailedRunUndo, ACompareFieldWithTooManyValuesIsRefused) {
    std::vector<std::vector<vb::Variant>> rows;
    for (int i = 0; i < 1000; ++i) rows.push_back({"a", "id" + std::to_string(i), static_cast<double>(i)});
    AppendRows(rows);
    StoredScenario two;
    two.family = "N";
    two.subType = "2 Sample";
    two.options = {{"NPTwoType", "Mann"}};
    two.fields = {{"G2", "C", 1}, {"X1", "X", 1}};
    StoredScenario ttest;
    ttest.family = "G";
    ttest.subType = "Two Sample t-Test";
    ttest.fields = {{"G2", "C", 1}, {"X1", "X", 1}};
    for (const StoredScenario& scenario : {two, ttest}) {
        SCOPED_TRACE(scenario.subType.ToString());
        EXPECT_FALSE(Run(AddScenario(db, scenario)));
        EXPECT_NE(engine->get_ErrorInfo().find("The compare field [G2] holds more than 1000 different values"),
                  std::string::npos)
            << engine->get_ErrorInfo();
        EXPECT_FALSE(HasTable("Out1"));
    }
}

// A field the source lacks is named, not taken for a query parameter.
TEST_F(FailedRunUndo, AFieldTheSourceLacksIsNamed) {
    StoredScenario describe;
    describe.fields = {{"G1", "G", 1}, {"Gone", "X", 1}};
    describe.options = {{"Mean", true}};
    EXPECT_FALSE(Run(AddScenario(db, describe)));
    EXPECT_EQ(engine->get_ErrorInfo(), "The field [Gone] of this scenario is not in the table or query [Data]. Edit "
                                       "the scenario's fields, or restore the field in the source.");
    EXPECT_FALSE(HasTable("Out1"));
}
