// A client's view of a whole run: only the public headers and
// libMerivox6.so. The client hands the engine its database, runs stored
// scenarios, receives the events and reads ErrorInfo.
#include <gtest/gtest.h>

#include "../EngineTestSupport.h"

namespace {

using namespace enginetest;

class QuantaraClientRun : public EngineTest {
protected:
    // Two groups with a Null and a value that the missing-value rule drops.
    int32_t DescribeScenario() {
        AppendRows({{"a", "", 1.0, 0.0, 0.0, 1.0},
                    {"a", "", 2.0, 0.0, 0.0, 1.0},
                    {"a", "", -9.0, 0.0, 0.0, 1.0},
                    {"a", "", 6.0, 0.0, 0.0, 1.0},
                    {"b", "", 10.0, 0.0, 0.0, 1.0},
                    {"b", "", vb::Variant::Null(), 0.0, 0.0, 1.0},
                    {"b", "", 20.0, 0.0, 0.0, 1.0}});
        StoredScenario scenario;
        scenario.missingType = "1";
        scenario.missingEqual = -9.0;
        scenario.fields = {{"G1", "G", 1}, {"X1", "X", 2}};
        scenario.options = {{"Range", true}};
        return AddScenario(db, scenario);
    }
};

TEST_F(QuantaraClientRun, RunsAScenarioOfTheClientsDatabase) {
    const int32_t id = DescribeScenario();
    EXPECT_TRUE(engine->RunScenario(id, vb::Variant(vb::ObjectPtr(db)), vb::Variant::Missing(), vb::Variant::Missing(),
                                    vb::Variant::Missing(), vb::Variant::Missing(), vb::Variant::Missing(),
                                    vb::Variant::Missing(), vb::Variant::Missing(), vb::Variant::Missing(),
                                    vb::Variant(true)));
    EXPECT_EQ(engine->get_ErrorInfo(), "");
    ASSERT_EQ(log.events.size(), 2u);
    EXPECT_EQ(log.events[0], "Begin");
    EXPECT_EQ(log.events[1], "Complete:True:");
    ASSERT_FALSE(log.statuses.empty());
    EXPECT_EQ(log.statuses.front(), "Retrieving and sorting data...");
    // The client's database is still its own and still open.
    EXPECT_EQ(engine->get_ScenarioDatabase(), nullptr);
    const auto rows = ReadResultRows(db, "Out1");
    ASSERT_EQ(rows.size(), 2u);
    // Group a: 1, 2, 6 (-9 is missing); group b: 10, 20 (one Null).
    EXPECT_EQ(rows[0].at("G1").ToString(), "a");
    EXPECT_EQ(rows[0].at("DataField").ToString(), "X1");
    EXPECT_DOUBLE_EQ(Num(rows[0], "Count"), 3.0);
    EXPECT_EQ(rows[0].at("Missing").ToLong(), 1);
    EXPECT_DOUBLE_EQ(Num(rows[0], "Mean"), 3.0);
    EXPECT_DOUBLE_EQ(Num(rows[0], "Range"), 5.0);
    EXPECT_EQ(rows[1].at("G1").ToString(), "b");
    EXPECT_DOUBLE_EQ(Num(rows[1], "Count"), 2.0);
    EXPECT_EQ(rows[1].at("Missing").ToLong(), 1);
    EXPECT_DOUBLE_EQ(Num(rows[1], "Mean"), 15.0);
}

TEST_F(QuantaraClientRun, RunsAScenarioOfADatabaseGivenByPath) {
    const int32_t id = DescribeScenario();
    db->Close();
    db.reset();
    EXPECT_TRUE(engine->RunScenario(id, vb::Variant(dbPath)));
    EXPECT_EQ(engine->get_ErrorInfo(), "");
    // The engine opened that file for the run and closed it afterwards.
    EXPECT_EQ(engine->get_ScenarioDatabase(), nullptr);
    db = dao::DBEngine().Workspaces(0)->OpenDatabase(dbPath);
    EXPECT_EQ(ReadResultRows(db, "Out1").size(), 2u);
}

TEST_F(QuantaraClientRun, ReadsWhyARunFailed) {
    const int32_t id = DescribeScenario();
    EXPECT_FALSE(engine->RunScenario(id + 100, vb::Variant(vb::ObjectPtr(db))));
    EXPECT_EQ(engine->get_ErrorInfo(), "Scenario not found");
    ASSERT_EQ(log.events.size(), 2u);
    EXPECT_EQ(log.events[1], "Complete:False:Scenario not found");

    // A failure inside the run comes back as a failed run too, with its reason.
    log.events.clear();
    StoredScenario scenario;
    scenario.fields = {{"X1", "X", 1}};
    scenario.options = {{"FreqN", true}, {"FreqGroupRadio", "Specified"}, {"InterV", int16_t(4)}, {"FreqWidth", 1.0}};
    const int32_t broken = AddScenario(db, scenario);
    EXPECT_FALSE(engine->RunScenario(broken, vb::Variant(vb::ObjectPtr(db))));
    EXPECT_EQ(engine->get_ErrorInfo(), "FreqInit, the first interval's lower bound, is empty: given intervals need it");
    ASSERT_EQ(log.events.size(), 2u);
    EXPECT_EQ(log.events[1], "Complete:False:" + engine->get_ErrorInfo());
}

}  // namespace
