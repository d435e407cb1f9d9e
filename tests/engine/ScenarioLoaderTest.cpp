// The scenario object, the loader's conversions, the field-name array and the
// missing-value modes.
#include <sqlite3.h>

#include <algorithm>

#include "EngineTestSupport.h"
#include "QuantaraImpl.h"
#include "RunContextSupport.h"
#include "analysis/AnalysisEntries.h"
#include "ScenarioTables.h"
#include "vb/Conversions.h"
#include "vb/VbError.h"

using namespace enginetest;

namespace {

class ScenarioLoading : public EngineTest {
protected:
    // Loads a scenario the way a run does, without running it.
    bool Load(int32_t id, std::string& err) {
        engine->putref_ScenarioDatabase(db);
        engine->put_ScenarioTbl("USysQuarnScenarios");
        engine->put_OptionsTbl("USysQuarnOptions");
        engine->put_FieldTbl("USysQuarnFields");
        return LoadLikeARun(*engine, id, err);
    }
    const CZantelsScenario& Loaded(const StoredScenario& scenario) {
        std::string err;
        EXPECT_TRUE(Load(AddScenario(db, scenario), err)) << err;
        return *LastRun(*engine).CurrentScenario();
    }
};

}  // namespace

TEST(ScenarioObject, FamilyFilterAndFieldCollection) {
    CZantelsScenario s;
    EXPECT_EQ(s.FieldCount(), 0);
    EXPECT_EQ(s.begin(), s.end());
    s.Scenario_Type("G");
    for (const char* ignored : {"p", "PG", ""}) {
        s.Scenario_Type(ignored);
        EXPECT_EQ(s.Scenario_Type(), "G");
    }
    EXPECT_TRUE(s.MissingLow().IsEmpty()) << "variants start empty, not Null";
    s.MissingLow(vb::Variant::Null());
    EXPECT_TRUE(s.MissingLow().IsNull());
    s.CIUser(vb::Variant(int16_t(7)));
    EXPECT_EQ(s.CIUser().Type(), vb::vbInteger);

    auto age = s.AddField("Age", "X", "");
    s.AddField("Age", "", "");
    EXPECT_EQ(s.FieldCount(), 2);
    EXPECT_EQ(s.Item(vb::Variant(int32_t(1))), age);
    age->Choice("W");
    EXPECT_EQ(s.Item(vb::Variant(int32_t(1)))->Choice(), "W");
    s.Remove(vb::Variant(int32_t(1)));
    EXPECT_EQ(s.FieldCount(), 1);
    EXPECT_NE(s.Item(vb::Variant(int32_t(1))), age);
    EXPECT_THROW(s.Item(vb::Variant(int32_t(2))), vb::VbError);

    s.AddField("Weight", "W", "w");
    EXPECT_THROW(s.AddField("Other", "X", "w"), vb::VbError);
    EXPECT_EQ(s.FieldCount(), 2);
    EXPECT_EQ(s.Item(vb::Variant("w"))->Field_Name(), "Weight");
}

TEST_F(ScenarioLoading, ConvertsColumnsAndKeepsNulls) {
    StoredScenario scenario;
    scenario.description = vb::Variant::Null();
    scenario.family = vb::Variant::Null();
    scenario.subType = vb::Variant::Null();
    scenario.missingEqual = 2.5;
    scenario.options = {{"Range", true},      {"VarStd", vb::Variant::Null()},
                        {"VarNRadio", "N-1"}, {"InterV", int16_t(12)},
                        {"TTestValue", 3.25}, {"CIUser", int16_t(90)},
                        {"NPPair_Tau", true}, {"RANova", true},
                        {"xChi", true},       {"FreqType", "Z"}};
    const CZantelsScenario& s = Loaded(scenario);
    EXPECT_EQ(s.Scenario_Description(), "") << "Null gives the empty text, not the default";
    EXPECT_EQ(s.Scenario_Type(), "P") << "a Null family leaves the default";
    EXPECT_EQ(s.CalcType(), "");
    EXPECT_EQ(s.Table(), "Data");
    EXPECT_EQ(s.OutputTable1(), "Out1");
    EXPECT_EQ(s.Scenario_Version(), "V5   ");
    EXPECT_EQ(s.MissingEqual().ToDouble(), 2.5);
    EXPECT_TRUE(s.MissingLow().IsNull());
    EXPECT_TRUE(s.Range());
    EXPECT_FALSE(s.VarStd()) << "a Null flag stays false";
    EXPECT_EQ(s.VarNRadio(), "N-1");
    EXPECT_EQ(s.InterV(), 12);
    EXPECT_EQ(s.RPoly(), 0) << "a Null integer stays 0";
    EXPECT_EQ(s.TTestValue(), 3.25);
    EXPECT_EQ(s.CIUser().ToLong(), 90);
    EXPECT_TRUE(s.CIStdDev().IsNull());
    EXPECT_TRUE(s.RAnova()) << "columns are found without regard to case";
    EXPECT_TRUE(s.XChi());
    EXPECT_FALSE(s.NPPair_Tau()) << "not read";
    EXPECT_EQ(s.FreqType(), "") << "not read";
}

TEST_F(ScenarioLoading, OverridesReplaceStoredTableNames) {
    engine->put_SourceTableName("Other");
    engine->put_OutputTableName2("Second");
    const CZantelsScenario& s = Loaded({});
    EXPECT_EQ(s.Table(), "Other");
    EXPECT_EQ(s.OutputTable1(), "Out1");
    EXPECT_EQ(s.OutputTable2(), "Second");
}

// An options table without the option columns (made before they existed):
// each option reads as a new scenario's, as once a save has added them.
TEST_F(ScenarioLoading, OlderOptionsTableWithoutColumnsStillLoads) {
    auto older = dao::DBEngine().Workspaces(0)->CreateDatabase((folder / "older.db").string());
    CreateScenarioTables(older, false);
    CreateSourceTable(older);
    const int32_t id = AddScenario(older, {});
    engine->putref_ScenarioDatabase(older);
    std::string err;
    engine->put_ScenarioTbl("usysQuarnScenarios");
    engine->put_OptionsTbl("usysQuarnOptions");
    engine->put_FieldTbl("usysQuarnFields");
    ASSERT_TRUE(LoadLikeARun(*engine, id, err)) << err;
    const CZantelsScenario& s = *LastRun(*engine).CurrentScenario();
    EXPECT_EQ(s.CalcType(), "Describe");
    EXPECT_TRUE(s.Range());
    EXPECT_TRUE(s.ChiDetail());
    EXPECT_FALSE(s.Mode());
    EXPECT_EQ(s.InterV(), 10);
    EXPECT_EQ(s.NPTwoType(), "Mann");
    EXPECT_TRUE(s.FreqWidth().IsNull());
    engine->putref_ScenarioDatabase(nullptr);
    older->Close();
}

TEST_F(ScenarioLoading, ErrorTextOnEntryStopsAtOnce) {
    std::string err = "earlier";
    EXPECT_FALSE(Load(AddScenario(db, {}), err));
    EXPECT_EQ(err, "earlier");
    EXPECT_EQ(LastRun(*engine).CurrentScenario(), nullptr);
}

TEST_F(ScenarioLoading, FieldsInOrdinalOrderAnyRoleNullRoleLeftOut) {
    StoredScenario scenario;
    scenario.fields = {{"c", "X", 3}, {"a", "X", 1}, {"b", "Q", 2}, {"d", vb::Variant::Null(), 4}};
    const CZantelsScenario& s = Loaded(scenario);
    ASSERT_EQ(s.FieldCount(), 3);
    EXPECT_EQ(s.Item(vb::Variant(int32_t(1)))->Field_Name(), "a");
    EXPECT_EQ(s.Item(vb::Variant(int32_t(2)))->Field_Name(), "b");
    EXPECT_EQ(s.Item(vb::Variant(int32_t(2)))->Choice(), "Q");
    EXPECT_EQ(s.Item(vb::Variant(int32_t(3)))->Field_Name(), "c");
}

TEST(FieldNameArray, RolesInFixedOrderWhateverTheLetterCase) {
    CZantelsScenario s;
    s.AddField("w1", "w");
    s.AddField("x1", "x");
    s.AddField("g1", "G");
    s.AddField("y1", "y");
    s.AddField("c1", "c");
    s.AddField("x2", "X");
    s.AddField("g2", "g");
    s.AddField("q1", "Q");  // no role: left out
    engine::FieldRoles r;
    EXPECT_EQ(engine::SetGlobals(s, "Describe", r), "");
    const FieldNames expected = {"", "g1", "g2", "c1", "x1", "x2", "y1", "w1", ""};
    EXPECT_EQ(r.strFields, expected);
    EXPECT_EQ(r.nG, 2);
    EXPECT_EQ(r.nC, 1);
    EXPECT_EQ(r.nX, 2);
    EXPECT_TRUE(r.fY);
    EXPECT_TRUE(r.fW);

    CZantelsScenario none;
    EXPECT_EQ(engine::SetGlobals(none, "Describe", r), "No fields assigned");
}

TEST(FieldNameArray, CrosstabWithoutColumnFieldGetsThePseudoField) {
    CZantelsScenario s;
    s.AddField("g1", "G");
    s.AddField("w", "W");
    s.AddField("g2", "G");
    engine::FieldRoles r;
    EXPECT_EQ(engine::SetGlobals(s, "crosstab", r), "");
    const FieldNames expected = {"", "g1", "g2", "*", "w"};
    EXPECT_EQ(r.strFields, expected);
    EXPECT_EQ(r.nX, 1);
    EXPECT_TRUE(r.fW);

    CZantelsScenario withX;
    withX.AddField("g1", "G");
    withX.AddField("x1", "X");
    EXPECT_EQ(engine::SetGlobals(withX, "Crosstab", r), "");
    EXPECT_EQ(r.strFields, (FieldNames{"", "g1", "x1"}));
}

TEST(MissingValueMode, StoredTypeGivesTheEngineMode) {
    RunContext q;
    CZantelsScenario s;
    const auto apply = [&](const char* type, vb::Variant equal, vb::Variant low, vb::Variant high) {
        s.MissingType(type);
        s.MissingEqual(std::move(equal));
        s.MissingLow(std::move(low));
        s.MissingHigh(std::move(high));
        engine::SetMissingMode(q, s);
    };
    const vb::Variant null = vb::Variant::Null();
    apply("1", 9.0, null, null);
    EXPECT_EQ(q.MissingType(), "Equal");
    EXPECT_EQ(q.MissingEqual(), 9.0);
    apply("2", null, null, 100.0);
    EXPECT_EQ(q.MissingType(), "High");
    EXPECT_EQ(q.MissingHigh(), 100.0);
    apply("2", null, -5.0, null);
    EXPECT_EQ(q.MissingType(), "Low");
    EXPECT_EQ(q.MissingLow(), -5.0);
    apply("2", null, 1.0, 2.0);
    EXPECT_EQ(q.MissingType(), "Both");
    EXPECT_EQ(q.MissingLow(), 1.0);
    EXPECT_EQ(q.MissingHigh(), 2.0);
    EXPECT_EQ(q.MissingEqual(), 9.0) << "values a mode does not use keep what they held";
    apply("3", 7.0, null, null);
    EXPECT_EQ(q.MissingType(), "Both") << "an unknown type keeps the previous mode";
    apply("2", null, null, null);
    EXPECT_EQ(q.MissingType(), "");
    apply("1", 4.0, null, null);
    apply("0", 5.0, null, null);
    EXPECT_EQ(q.MissingType(), "");
    EXPECT_EQ(q.MissingEqual(), 4.0);
}

TEST(MissingValueMode, DataWhereUsesTheModeWithCNumbers) {
    RunContext q;
    EXPECT_EQ(q.Quarn_DataWhere("[A]"), "");
    q.MissingType("equal");
    q.MissingEqual(-1.5);
    EXPECT_EQ(q.Quarn_DataWhere("[A]"), "([A] <> -1.5)");
    q.MissingType("Both");
    q.MissingLow(0.5);
    q.MissingHigh(100.25);
    EXPECT_EQ(q.Quarn_DataWhere("[A]"), "([A] Between 0.5 And 100.25)");
    q.MissingType("High");
    EXPECT_EQ(q.Quarn_DataWhere("[A]"), "([A] <= 100.25)");
    q.MissingType("Low");
    EXPECT_EQ(q.Quarn_DataWhere("[A]"), "([A] >= 0.5)");
    q.MissingType("Range");
    EXPECT_EQ(q.Quarn_DataWhere("[A]"), "");
}

// The loader against the tables exactly as the store lays them down: a
// scenario saved with only its number in the options row reads the defaults.
TEST_F(ScenarioLoading, ReadsTheStoresTablesWithTheirDefaults) {
    auto stored = dao::DBEngine().Workspaces(0)->CreateDatabase((folder / "stored.db").string());
    store::BuildTable(*stored, store::ScenariosSchema());
    store::BuildTable(*stored, store::OptionsSchema());
    store::BuildTable(*stored, store::FieldsSchema());
    CreateSourceTable(stored);
    StoredScenario scenario;
    scenario.fields = {{"X1", "X", 1}, {"G1", "G", 1}};
    scenario.unsetFlagsOff = false;
    const int32_t id = AddScenario(stored, scenario);
    engine->putref_ScenarioDatabase(stored);
    engine->put_ScenarioTbl("USysQuarnScenarios");
    engine->put_OptionsTbl("USysQuarnOptions");
    engine->put_FieldTbl("USysQuarnFields");
    std::string err;
    ASSERT_TRUE(LoadLikeARun(*engine, id, err)) << err;
    const CZantelsScenario& s = *LastRun(*engine).CurrentScenario();
    EXPECT_EQ(s.FieldCount(), 2);
    EXPECT_TRUE(s.Range());
    EXPECT_TRUE(s.VarStd());
    EXPECT_EQ(s.VarNRadio(), "N-1");
    EXPECT_EQ(s.CITypeRadio(), "t-Test");
    EXPECT_EQ(s.PercentileRadio(), "Median");
    EXPECT_EQ(s.InterV(), 10);
    EXPECT_EQ(s.RPoly(), 2);
    EXPECT_EQ(s.RegressType(), "S");
    EXPECT_TRUE(s.RAnova());
    EXPECT_EQ(s.XType(), "C");
    EXPECT_EQ(s.NPTwoType(), "Mann");
    EXPECT_TRUE(s.ChiDetail());
    EXPECT_TRUE(s.FitPoisson());
    EXPECT_TRUE(s.CIUser().IsNull());
    EXPECT_TRUE(s.FreqWidth().IsNull());
    engine->putref_ScenarioDatabase(nullptr);
    stored->Close();
}

// Another tool can leave an option blank as Null or as '' (the sqlite3
// shell's empty cell): in a run of an analysis that reads it, either reads as
// a new scenario's value (Null, "not given", for an option without one).
TEST_F(ScenarioLoading, ABlankOptionReadsAsANewScenarios) {
    const auto property = [](const CZantelsScenario& s, std::string_view name) {
#define MERIVOX_TEST_GET(prop, type)                                                                                   \
    if (vb::EqualsNoCase(name, #prop)) return vb::Variant(s.prop());
        MERIVOX_SCENARIO_PROPERTIES(MERIVOX_TEST_GET)
#undef MERIVOX_TEST_GET
        return vb::Variant::Missing();
    };
    for (const store::ColumnDef& column : store::OptionsSchema().columns) {
        if (!column.HeldBy(store::kEngineLoads) || column.readBy == 0) continue;
        const auto reader = std::find_if(store::kAnalysisList.begin(), store::kAnalysisList.end(),
                                         [&](const store::AnalysisDef& a) { return column.readBy & store::Bit(a.id); });
        ASSERT_NE(reader, store::kAnalysisList.end()) << column.name;
        // The tests' options table has the stored format's columns.
        const bool stored = std::any_of(storedformat::kOptionColumns.begin(), storedformat::kOptionColumns.end(),
                                        [&](const storedformat::ExpectedColumn& c) { return c.name == column.name; });
        if (!stored) {
            ADD_FAILURE() << "the option column " << column.name
                          << " is not in the stored format: extend kOptionColumns in tests/support/StoredFormat.h";
            continue;
        }
        for (const char* blank : {"Null", "''"}) {
            const int32_t id =
                AddScenario(db, StoredScenario::Of(std::string(reader->family).c_str(),
                                                   std::string(reader->subType).c_str(), {{"X1", "X", 1}}, {}));
            // Written as the sqlite3 shell would, past the checks the data layer gives its tables.
            sqlite3* raw = nullptr;
            ASSERT_EQ(sqlite3_open(dbPath.c_str(), &raw), SQLITE_OK);
            const std::string sql = "PRAGMA ignore_check_constraints = 1; UPDATE usysQuarnOptions SET [" +
                                    std::string(column.name) + "] = " + blank +
                                    " WHERE Scenario_ID = " + std::to_string(id);
            EXPECT_EQ(sqlite3_exec(raw, sql.c_str(), nullptr, nullptr, nullptr), SQLITE_OK) << sqlite3_errmsg(raw);
            sqlite3_close(raw);
            std::string err;
            ASSERT_TRUE(Load(id, err)) << column.name << " " << blank << ": " << err;
            const vb::Variant read = property(*LastRun(*engine).CurrentScenario(), column.property);
            EXPECT_TRUE(read == store::NewScenarioValue(column))
                << column.name << " " << blank << " reads as " << vb::CStr(read);
        }
    }
}

TEST_F(ScenarioLoading, TableNamesAreQuotedAndABadNameIsRefusedAsText) {
    const int32_t id = AddScenario(db, {});
    engine->putref_ScenarioDatabase(db);
    engine->put_ScenarioTbl("USysQuarnScenarios] WHERE 1=0 UNION SELECT * FROM [USysQuarnScenarios");
    engine->put_OptionsTbl("USysQuarnOptions");
    engine->put_FieldTbl("USysQuarnFields");
    std::string err;
    EXPECT_FALSE(LoadLikeARun(*engine, id, err));
    EXPECT_EQ(err.rfind("3125: ", 0), 0u) << err;

    engine->put_ScenarioTbl("USysQuarnScenarios");
    engine->put_FieldTbl("USysQuarnFields\x01");
    err.clear();
    EXPECT_FALSE(LoadLikeARun(*engine, id, err));
    EXPECT_EQ(err.rfind("3125: ", 0), 0u) << err;
}
