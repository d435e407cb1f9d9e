// The frame seen end to end through one realistic run: missing-value rule,
// weights that skip rows, Nulls, letter case in group values, the result
// table's leading columns as the source defines them, and the progress texts.
// Expected numbers are worked by hand from the rows below.
#include <gtest/gtest.h>

#include <tuple>

#include "EngineTestSupport.h"

namespace {

using namespace enginetest;

class RunEndToEnd : public EngineTest {
protected:
    int32_t WeightedDescribe() {
        const vb::Variant kNull = vb::Variant::Null();
        // G1, G2, X1, X2, Y, W
        AppendRows({{"a", "p", 2.0, 1.0, 0.0, 2.0},
                    {"A", "p", 4.0, 2.0, 0.0, 1.0},   // same group: the source sorts without case
                    {"a", "p", -9.0, 3.0, 0.0, 1.0},  // X1 missing under Equal -9
                    {"a", "p", kNull, 4.0, 0.0, 1.0},
                    {"a", "p", 6.0, 5.0, 0.0, kNull},  // Null weight: skipped
                    {"a", "p", 8.0, 6.0, 0.0, 0.0},    // zero weight: skipped
                    {"a", "p", 10.0, 7.0, 0.0, -1.0},  // negative weight: skipped
                    {"a", "p", 12.0, 8.0, 0.0, -9.0},  // weight equal to the missing value: skipped
                    {"b", "q", 1.0, 1.0, 0.0, 1.5},
                    {"b", "q", 3.0, 2.0, 0.0, 0.5},
                    {"b", "q", 3.0, -9.0, 0.0, 1.0}});
        StoredScenario scenario;
        scenario.missingType = "1";
        scenario.missingEqual = -9.0;
        scenario.fields = {{"W", "w", 5}, {"G1", "G", 1}, {"X2", "x", 4}, {"G2", "g", 2}, {"X1", "X", 3}};
        scenario.options = {{"Range", true}};
        return AddScenario(db, scenario);
    }
};

TEST_F(RunEndToEnd, WeightedRunWithMissingValuesAndNulls) {
    const int32_t id = WeightedDescribe();
    ASSERT_TRUE(Run(id)) << engine->get_ErrorInfo();
    const auto rows = ReadResultRows(db, "Out1");
    ASSERT_EQ(rows.size(), 4u);
    // Group a/p, 8 records. X1: 2 (w 2) and 4 (w 1) are used: n = 3,
    // mean (2*2 + 4)/3 = 8/3, two observations, six missing.
    EXPECT_EQ(rows[0].at("G1").ToString(), "a");
    EXPECT_EQ(rows[0].at("G2").ToString(), "p");
    EXPECT_EQ(rows[0].at("DataField").ToString(), "X1");
    EXPECT_DOUBLE_EQ(Num(rows[0], "Count"), 3.0);
    EXPECT_DOUBLE_EQ(Num(rows[0], "Observations"), 2.0);
    EXPECT_EQ(rows[0].at("Missing").ToLong(), 6);
    EXPECT_DOUBLE_EQ(Num(rows[0], "Mean"), 8.0 / 3.0);
    EXPECT_DOUBLE_EQ(Num(rows[0], "Range"), 2.0);
    // X2 of a/p: 1 (w 2), 2, 3, 4 (w 1 each): n = 5, mean 11/5.
    EXPECT_EQ(rows[1].at("DataField").ToString(), "X2");
    EXPECT_DOUBLE_EQ(Num(rows[1], "Count"), 5.0);
    EXPECT_DOUBLE_EQ(Num(rows[1], "Observations"), 4.0);
    EXPECT_EQ(rows[1].at("Missing").ToLong(), 4);
    EXPECT_DOUBLE_EQ(Num(rows[1], "Mean"), 2.2);
    // Group b/q, 3 records. X1: 1 (w 1.5), 3 (w 0.5), 3 (w 1): n = 3, mean 2.
    EXPECT_EQ(rows[2].at("G1").ToString(), "b");
    EXPECT_DOUBLE_EQ(Num(rows[2], "Count"), 3.0);
    EXPECT_DOUBLE_EQ(Num(rows[2], "Observations"), 3.0);
    EXPECT_EQ(rows[2].at("Missing").ToLong(), 0);
    EXPECT_DOUBLE_EQ(Num(rows[2], "Mean"), 2.0);
    // X2 of b/q: 1 (w 1.5), 2 (w 0.5); -9 is missing: n = 2, mean 1.25.
    EXPECT_DOUBLE_EQ(Num(rows[3], "Count"), 2.0);
    EXPECT_DOUBLE_EQ(Num(rows[3], "Observations"), 2.0);
    EXPECT_EQ(rows[3].at("Missing").ToLong(), 1);
    EXPECT_DOUBLE_EQ(Num(rows[3], "Mean"), 1.25);
}

TEST_F(RunEndToEnd, LeadingColumnsOfARealRunFollowTheSource) {
    const int32_t id = WeightedDescribe();
    ASSERT_TRUE(Run(id)) << engine->get_ErrorInfo();
    dao::TableDefPtr out = db->TableDefs()->Item(std::string_view("Out1"));
    std::vector<std::tuple<std::string, int, int>> columns;
    for (int32_t i = 0; i < out->Fields()->Count(); ++i) {
        dao::FieldPtr f = out->Fields(i);
        columns.emplace_back(f->Name(), f->Type(), f->Type() == dao::dbText ? f->Size() : 0);
    }
    const std::vector<std::tuple<std::string, int, int>> expected = {
        {"StatOutputID", dao::dbLong, 0}, {"G1", dao::dbText, 20},     {"G2", dao::dbText, 20},
        {"DataField", dao::dbText, 64},   {"Count", dao::dbDouble, 0}, {"Observations", dao::dbDouble, 0},
        {"Missing", dao::dbLong, 0},      {"Mean", dao::dbDouble, 0},  {"Minimum", dao::dbDouble, 0},
        {"Maximum", dao::dbDouble, 0},    {"Range", dao::dbDouble, 0}};
    EXPECT_EQ(columns, expected);
    EXPECT_EQ(out->Fields(std::string_view("StatOutputID"))->Attributes() & dao::dbAutoIncrField, dao::dbAutoIncrField);
    EXPECT_TRUE(out->Indexes()->Item(std::string_view("PrimaryKey"))->Primary());
}

TEST_F(RunEndToEnd, ProgressTextsOfARun) {
    const int32_t id = WeightedDescribe();
    ASSERT_TRUE(engine->RunScenario(id, vb::Variant(vb::ObjectPtr(db)), vb::Variant::Missing(), vb::Variant::Missing(),
                                    vb::Variant::Missing(), vb::Variant::Missing(), vb::Variant::Missing(),
                                    vb::Variant::Missing(), vb::Variant::Missing(), vb::Variant::Missing(),
                                    vb::Variant(int16_t(-1))));
    // 11 records, a break after the eighth: every fifth record, forced at
    // the break and at the end.
    const std::vector<std::string> expected = {"Retrieving and sorting data...",
                                               "Creating output table...",
                                               "Analyzing records...",
                                               "Analyzing record: 5",
                                               "Analyzing record: 8",
                                               "Analyzing record: 10",
                                               "Analyzing record: 11"};
    EXPECT_EQ(log.statuses, expected);
}

}  // namespace

namespace {

using namespace enginetest;

// Results go to a database the client names by path; the scenario and the
// source stay in the client's own database.
TEST_F(RunEndToEnd, ResultsInAnOutputDatabaseGivenByPath) {
    const int32_t id = WeightedDescribe();
    const std::string outPath = (folder / "results.db").string();
    dao::DBEngine().Workspaces(0)->CreateDatabase(outPath)->Close();
    auto run = [&] {
        return engine->RunScenario(id, vb::Variant(vb::ObjectPtr(db)), vb::Variant::Missing(), vb::Variant(outPath));
    };
    ASSERT_TRUE(run()) << engine->get_ErrorInfo();
    EXPECT_EQ(engine->get_OutputDatabase(), nullptr);
    EXPECT_FALSE(db->TableDefs()->Contains("Out1"));
    {
        dao::DatabasePtr out = dao::DBEngine().Workspaces(0)->OpenDatabase(outPath);
        EXPECT_EQ(ReadResultRows(out, "Out1").size(), 4u);
        out->Close();
    }
    // A second run whose source is gone fails before the old results are touched.
    db->TableDefs()->Delete("Data");
    EXPECT_FALSE(run());
    EXPECT_EQ(engine->get_ErrorInfo(), "Data Table [Data] not found.");
    dao::DatabasePtr out = dao::DBEngine().Workspaces(0)->OpenDatabase(outPath);
    EXPECT_EQ(ReadResultRows(out, "Out1").size(), 4u);
    out->Close();
}

}  // namespace

namespace {

using namespace enginetest;

// A saved query as the source: its group column keeps the table's type and
// size in the result table, and letter case still joins groups.
TEST_F(RunEndToEnd, QuerySourceKeepsTheGroupColumnsType) {
    const int32_t id = WeightedDescribe();
    db->CreateQueryDef("DataQuery", "SELECT G1, G2, X1, X2, Y, W FROM Data WHERE X2 < 100");
    ASSERT_TRUE(engine->RunScenario(id, vb::Variant(vb::ObjectPtr(db)), vb::Variant::Missing(), vb::Variant::Missing(),
                                    vb::Variant::Missing(), vb::Variant::Missing(), vb::Variant::Missing(),
                                    vb::Variant("DataQuery")))
        << engine->get_ErrorInfo();
    dao::TableDefPtr out = db->TableDefs()->Item(std::string_view("Out1"));
    EXPECT_EQ(out->Fields(std::string_view("G1"))->Type(), dao::dbText);
    EXPECT_EQ(out->Fields(std::string_view("G1"))->Size(), 20);
    const auto rows = ReadResultRows(db, "Out1");
    ASSERT_EQ(rows.size(), 4u);
    EXPECT_DOUBLE_EQ(Num(rows[0], "Mean"), 8.0 / 3.0);
}

}  // namespace
