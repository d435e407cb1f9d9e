// The engine object itself: defaults, the database properties and which
// databases the object closes.
#include "EngineTestSupport.h"
#include "QuantaraImpl.h"
#include "RunContextSupport.h"
#include "analysis/AnalysisEntries.h"
#include "vb/VbError.h"

using namespace enginetest;

namespace {

// A database that has been closed refuses further work.
bool IsOpen(const dao::DatabasePtr& db) {
    try {
        db->OpenRecordset("SELECT 1 AS One")->Close();
        return true;
    } catch (const vb::VbError&) {
        return false;
    }
}

class QuantaraObject : public EngineTest {};

}  // namespace

TEST_F(QuantaraObject, NewObjectHasEmptyDefaults) {
    Quantara q;
    EXPECT_EQ(q.get_ScenarioDatabase(), nullptr);
    EXPECT_EQ(q.get_SourceDatabase(), nullptr);
    EXPECT_EQ(q.get_OutputDatabase(), nullptr);
    for (const std::string* text :
         {&q.get_ScenarioTbl(), &q.get_OptionsTbl(), &q.get_FieldTbl(), &q.get_SourceTableName(),
          &q.get_OutputTableName(), &q.get_OutputTableName2(), &q.get_ErrorInfo()}) {
        EXPECT_EQ(*text, "");
    }
    EXPECT_FALSE(q.get_ShowProgress());
    EXPECT_FALSE(q.get_ShowErrors());
    EXPECT_EQ(QuantaraAccess::Of(q).run, nullptr) << "no run context before the first run";
    // Its own error stack, which shows no box of its own.
    EXPECT_FALSE(ErrStack().DisplayError());
    EXPECT_EQ(&ErrStack(), QuantaraAccess::Of(q).m_ErrHandler.get());
}

TEST_F(QuantaraObject, DatabaseLetRejectsValuesThatAreNoDatabase) {
    Quantara q;
    q.putref_ScenarioDatabase(db);
    const std::vector<std::pair<vb::Variant, std::string>> cases = {
        {vb::Variant(int16_t(5)), "Invalid object type: 2"},      {vb::Variant(), "Invalid object type: 0"},
        {vb::Variant::Null(), "Invalid object type: 1"},          {vb::Variant(2.5), "Invalid object type: 5"},
        {vb::Variant(vb::Date{40000}), "Invalid object type: 7"},
    };
    for (const auto& [value, text] : cases) {
        try {
            q.put_ScenarioDatabase(value);
            ADD_FAILURE() << "no error for " << text;
        } catch (const vb::VbError& e) {
            EXPECT_EQ(e.Number(), vb::kObjectError + 1000);
            EXPECT_EQ(e.Description(), text);
        }
        EXPECT_EQ(q.get_ScenarioDatabase(), db) << "the property keeps its value";
    }
    // An object of another kind is a type mismatch.
    try {
        q.put_SourceDatabase(vb::Variant(vb::ObjectPtr(std::make_shared<dao::Index>("ix"))));
        ADD_FAILURE();
    } catch (const vb::VbError& e) {
        EXPECT_EQ(e.Number(), vb::err::kTypeMismatch);
    }
    // A path that cannot be opened raises the layer's error; nothing changes.
    EXPECT_THROW(q.put_ScenarioDatabase(vb::Variant((folder / "missing" / "no.db").string())), vb::VbError);
    EXPECT_EQ(q.get_ScenarioDatabase(), db);
    // An empty object empties the property.
    q.put_ScenarioDatabase(vb::Variant(vb::ObjectPtr()));
    EXPECT_EQ(q.get_ScenarioDatabase(), nullptr);
}

TEST_F(QuantaraObject, DatabaseLetAcceptsPathsAndObjects) {
    Quantara q;
    q.put_SourceDatabase(vb::Variant(dbPath));
    ASSERT_NE(q.get_SourceDatabase(), nullptr);
    EXPECT_NE(q.get_SourceDatabase(), db) << "a path opens a database of the engine's own";
    q.put_OutputDatabase(vb::Variant(vb::ObjectPtr(db)));
    EXPECT_EQ(q.get_OutputDatabase(), db);
}

TEST_F(QuantaraObject, ReleaseClosesOnlyDatabasesOpenedFromAPath) {
    dao::DatabasePtr opened;
    {
        Quantara q;
        q.put_ScenarioDatabase(vb::Variant(dbPath));
        q.putref_SourceDatabase(db);
        opened = q.get_ScenarioDatabase();
        EXPECT_TRUE(IsOpen(opened));
    }
    EXPECT_FALSE(IsOpen(opened)) << "opened from a path: closed on release";
    EXPECT_TRUE(IsOpen(db)) << "the client's database stays open";
}

TEST_F(QuantaraObject, AssigningAnObjectAfterAPathNeverClosesTheClientsDatabase) {
    dao::DatabasePtr opened;
    {
        Quantara q;
        q.put_ScenarioDatabase(vb::Variant(dbPath));
        opened = q.get_ScenarioDatabase();
        q.putref_ScenarioDatabase(db);
        EXPECT_FALSE(IsOpen(opened)) << "the engine's own database, no longer held, is closed at once";
    }
    EXPECT_TRUE(IsOpen(db));
}

TEST_F(QuantaraObject, DatabasesPutBackAfterARunKeepTheirOwnOwnership) {
    const int32_t id = AddScenario(db, {});
    dao::DatabasePtr own;
    dao::DatabasePtr fromRun;
    {
        Quantara q;
        q.put_ScenarioDatabase(vb::Variant(dbPath));
        own = q.get_ScenarioDatabase();

        // A run given the client's object: afterwards the engine's own database is back.
        q.RunScenario(id, vb::Variant(vb::ObjectPtr(db)));
        EXPECT_EQ(q.get_ScenarioDatabase(), own);
        EXPECT_EQ(q.get_SourceDatabase(), nullptr);
        EXPECT_EQ(q.get_OutputDatabase(), nullptr);
        EXPECT_TRUE(IsOpen(own));

        // A run given a path: that database is the run's and is closed with it.
        ScopedAnalysisEntries entries;
        AnalysisEntries().Describe = [&](const std::string&, const std::string&, FieldNames&, int16_t, int16_t, bool,
                                         int16_t, const std::string&, int16_t, int16_t, int16_t, int16_t,
                                         const std::string&, const std::string&, int16_t, int16_t, std::vector<double>&,
                                         int16_t, std::vector<double>&, const std::string&, int16_t, double, double,
                                         RunContext& z) {
            fromRun = z.ScenarioDatabase();
            return std::string();
        };
        EXPECT_TRUE(q.RunScenario(id, vb::Variant(dbPath))) << q.get_ErrorInfo();
        ASSERT_NE(fromRun, nullptr);
        EXPECT_NE(fromRun, own);
        EXPECT_EQ(q.get_ScenarioDatabase(), own);
        EXPECT_FALSE(IsOpen(fromRun));
        EXPECT_TRUE(IsOpen(own));
    }
    EXPECT_FALSE(IsOpen(own));
    EXPECT_TRUE(IsOpen(db));
}

TEST_F(QuantaraObject, EventsReachEverySinkUntilItIsDisconnected) {
    Quantara q;
    EventLog first;
    EventLog second;
    const int a = q.Advise(&first);
    q.Advise(&second);
    q.RunScenario(1);
    q.Unadvise(a);
    q.RunScenario(1);
    EXPECT_EQ(first.events.size(), 2u);
    EXPECT_EQ(second.events.size(), 4u);
}
