// The run: events, ErrorInfo, the failure box, ShowErrors and ShowProgress,
// the databases put back, the loader's and the preparation's messages, and a
// run whose analysis fails with an error.
#include <array>

#include "EngineTestSupport.h"
#include "vb/Conversions.h"
#include "QuantaraImpl.h"
#include "RunContextSupport.h"
#include "analysis/AnalysisEntries.h"
#include "vb/VbError.h"

using namespace enginetest;

namespace {

class RunScenario : public EngineTest {
protected:
    // A Describe stand-in that reports progress and succeeds.
    void SucceedingDescribe() {
        AnalysisEntries().Describe = [](const std::string&, const std::string&, FieldNames&, int16_t, int16_t, bool,
                                        int16_t, const std::string&, int16_t, int16_t, int16_t, int16_t,
                                        const std::string&, const std::string&, int16_t, int16_t, std::vector<double>&,
                                        int16_t, std::vector<double>&, const std::string&, int16_t, double, double,
                                        RunContext& z) {
            z.Quarn_Msg(0, true, "Retrieving and sorting data");
            for (int32_t r = 1; r <= 10; ++r) z.Quarn_Msg(r, false, "");
            return std::string();
        };
    }
    ScopedAnalysisEntries entries;
};

bool TableExists(const dao::DatabasePtr& db, const std::string& name) {
    db->TableDefs()->Refresh();
    return db->TableDefs()->Contains(name);
}

}  // namespace

TEST_F(RunScenario, WithoutAScenarioDatabaseFailsQuietly) {
    engine->put_ShowErrors(true);
    EXPECT_FALSE(engine->RunScenario(1));
    EXPECT_EQ(engine->get_ErrorInfo(), "Scenario database property not assigned or opened");
    EXPECT_TRUE(ui.boxes.empty());
    EXPECT_EQ(ui.beeps, 0);
    ASSERT_EQ(log.events.size(), 2u);
    EXPECT_EQ(log.events[0], "Begin");
    EXPECT_EQ(log.events[1], "Complete:False:Scenario database property not assigned or opened");
    // The table names hold their defaults only after a run.
    EXPECT_EQ(engine->get_ScenarioTbl(), "USysQuarnScenarios");
    EXPECT_EQ(engine->get_OptionsTbl(), "USysQuarnOptions");
    EXPECT_EQ(engine->get_FieldTbl(), "USysQuarnFields");
}

TEST_F(RunScenario, SucceedsWithEverythingInTheScenarioDatabase) {
    SucceedingDescribe();
    const int32_t id = AddScenario(db, {});
    const int16_t depth = ErrStack().Depth();
    EXPECT_TRUE(Run(id));
    EXPECT_EQ(engine->get_ErrorInfo(), "");
    EXPECT_EQ(log.events.back(), "Complete:True:");
    EXPECT_EQ(ErrStack().Depth(), depth);
    EXPECT_EQ(ErrStack().ScenarioNumber(), id);
    // Databases as before the run: none.
    EXPECT_EQ(engine->get_ScenarioDatabase(), nullptr);
    EXPECT_EQ(engine->get_SourceDatabase(), nullptr);
    EXPECT_EQ(engine->get_OutputDatabase(), nullptr);
}

TEST_F(RunScenario, SourceAndOutputDefaultToTheScenarioDatabaseDuringTheRun) {
    std::vector<dao::DatabasePtr> seen;
    AnalysisEntries().Describe = [&](const std::string&, const std::string&, FieldNames&, int16_t, int16_t, bool,
                                     int16_t, const std::string&, int16_t, int16_t, int16_t, int16_t,
                                     const std::string&, const std::string&, int16_t, int16_t, std::vector<double>&,
                                     int16_t, std::vector<double>&, const std::string&, int16_t, double, double,
                                     RunContext& z) {
        seen = {z.ScenarioDatabase(), z.SourceDatabase(), z.OutputDatabase()};
        return std::string();
    };
    const int32_t id = AddScenario(db, {});
    auto other = dao::DBEngine().Workspaces(0)->CreateDatabase((folder / "out.db").string());
    engine->putref_OutputDatabase(other);
    EXPECT_TRUE(Run(id));
    ASSERT_EQ(seen.size(), 3u);
    EXPECT_EQ(seen[0], db);
    EXPECT_EQ(seen[1], db);
    EXPECT_EQ(seen[2], other) << "an output database already set is kept";
    EXPECT_EQ(engine->get_OutputDatabase(), other);
    EXPECT_EQ(engine->get_SourceDatabase(), nullptr);
    other->Close();
}

TEST_F(RunScenario, ShowErrorsArgumentSwitchesThePropertyOnForGood) {
    const int32_t missing = 999;
    EXPECT_FALSE(Run(missing, vb::Variant(true)));
    EXPECT_TRUE(engine->get_ShowErrors());
    ASSERT_EQ(ui.boxes.size(), 1u);
    EXPECT_EQ(ui.boxes[0].prompt, "Scenario Failed\r\n\r\nScenario not found");
    EXPECT_EQ(ui.boxes[0].title, "Quantara");
    EXPECT_EQ(ui.boxes[0].style, ui::vbCritical | ui::vbOKOnly);
    EXPECT_EQ(ui.beeps, 2) << "one beep for the failure, one for the box";
    EXPECT_EQ(ui.pointer, ui::vbDefault);
    EXPECT_EQ(engine->get_ErrorInfo(), "Scenario not found");

    ui.Reset();
    EXPECT_FALSE(Run(missing, vb::Variant(false)));
    EXPECT_TRUE(engine->get_ShowErrors()) << "False never switches it off";
    EXPECT_EQ(ui.boxes.size(), 1u);
}

TEST_F(RunScenario, FailureWithoutShowErrorsBeepsButShowsNoBox) {
    EXPECT_FALSE(Run(0));
    EXPECT_EQ(engine->get_ErrorInfo(), "Scenario not found");
    EXPECT_TRUE(ui.boxes.empty());
    EXPECT_EQ(ui.beeps, 1);
    EXPECT_FALSE(Run(-3));
    EXPECT_EQ(engine->get_ErrorInfo(), "Scenario not found");
}

TEST_F(RunScenario, ShowProgressArgumentCountsForOneRunOnly) {
    SucceedingDescribe();
    const int32_t id = AddScenario(db, {});
    engine->RunScenario(id, vb::Variant(vb::ObjectPtr(db)), vb::Variant::Missing(), vb::Variant::Missing(),
                        vb::Variant::Missing(), vb::Variant::Missing(), vb::Variant::Missing(), vb::Variant::Missing(),
                        vb::Variant::Missing(), vb::Variant::Missing(), vb::Variant(true));
    EXPECT_FALSE(engine->get_ShowProgress());
    const std::vector<std::string> expected = {"Retrieving and sorting data...", "Analyzing record: 5",
                                               "Analyzing record: 10"};
    EXPECT_EQ(log.statuses, expected);

    log.statuses.clear();
    Run(id);
    EXPECT_TRUE(log.statuses.empty());

    // Only exactly True counts as the argument; the property counts too.
    engine->RunScenario(id, vb::Variant(vb::ObjectPtr(db)), vb::Variant::Missing(), vb::Variant::Missing(),
                        vb::Variant::Missing(), vb::Variant::Missing(), vb::Variant::Missing(), vb::Variant::Missing(),
                        vb::Variant::Missing(), vb::Variant::Missing(), vb::Variant(int16_t(1)));
    EXPECT_TRUE(log.statuses.empty());
    engine->put_ShowProgress(true);
    Run(id);
    EXPECT_EQ(log.statuses, expected);
}

TEST_F(RunScenario, CompletionHandlerDecidesTheResultButNotErrorInfo) {
    log.overrideStatus = true;
    EXPECT_TRUE(Run(12345));
    EXPECT_EQ(engine->get_ErrorInfo(), "Scenario not found");
}

TEST_F(RunScenario, TableNameArgumentsAndProperties) {
    engine->put_ScenarioTbl("MyScenarios");
    engine->RunScenario(1, vb::Variant::Missing(), vb::Variant::Missing(), vb::Variant::Missing(), vb::Variant(""),
                        vb::Variant("MyOptions"));
    EXPECT_EQ(engine->get_ScenarioTbl(), "MyScenarios") << "an empty argument keeps a set property";
    EXPECT_EQ(engine->get_OptionsTbl(), "MyOptions");
    EXPECT_EQ(engine->get_FieldTbl(), "USysQuarnFields");
}

TEST_F(RunScenario, LoaderMessages) {
    // A missing scenario table: the layer's number and description.
    engine->put_ScenarioTbl("NoSuchTable");
    EXPECT_FALSE(Run(1));
    EXPECT_EQ(engine->get_ErrorInfo().rfind("3078: ", 0), 0u) << engine->get_ErrorInfo();
    engine->put_ScenarioTbl("usysQuarnScenarios");

    // A scenario row without its options row.
    StoredScenario noOptions;
    noOptions.withOptionsRow = false;
    EXPECT_FALSE(Run(AddScenario(db, noOptions)));
    EXPECT_EQ(engine->get_ErrorInfo(), "Scenario not found");

    // A scenario without fields: its run has no scenario (the run before
    // it kept its own in its own context).
    SucceedingDescribe();
    StoredScenario first;
    first.description = "first";
    EXPECT_TRUE(Run(AddScenario(db, first)));
    EXPECT_NE(LastRun(*engine).CurrentScenario(), nullptr);
    StoredScenario noFields;
    noFields.fields.clear();
    EXPECT_FALSE(Run(AddScenario(db, noFields)));
    EXPECT_EQ(engine->get_ErrorInfo(), "No fields found for this scenario");
    EXPECT_EQ(LastRun(*engine).CurrentScenario(), nullptr);
}

TEST_F(RunScenario, PreparationMessages) {
    struct Case {
        const char* subType;
        std::vector<std::tuple<std::string, vb::Variant, int16_t>> fields;
        const char* message;
    };
    const std::vector<Case> cases = {
        {"Describe", {{"G1", "G", 1}}, "At least one X field must be assigned"},
        {"Compare", {{"G1", "G", 1}}, "Y Field must be assigned"},
        {"Regression", {{"Y", "Y", 1}}, "At least one X field must be assigned"},
        {"Chi-Square", {{"X1", "X", 1}}, "At least one Compare field must be assigned"},
        {"Compare", {{"X1", "X", 1}, {"X2", "X", 2}}, "Y Field must be assigned"},
        {"N Sample", {{"X1", "X", 1}}, "At least one Compare field must be assigned"},
        {"2 Sample", {{"X1", "X", 1}, {"G1", "C", 1}, {"G2", "C", 2}}, "Only one Compare field may be assigned"},
        {"Paired Fields", {{"X1", "X", 1}}, "Y Field must be assigned"},
        {"N Fields", {{"X1", "X", 1}}, "At least two X fields must be assigned"},
    };
    for (const auto& c : cases) {
        StoredScenario scenario;
        scenario.family = std::string(c.subType) == "Describe" || std::string(c.subType) == "Compare" ||
                                  std::string(c.subType) == "Regression"
                              ? "P"
                              : "N";
        scenario.subType = c.subType;
        scenario.fields = c.fields;
        EXPECT_FALSE(Run(AddScenario(db, scenario))) << c.subType;
        EXPECT_EQ(engine->get_ErrorInfo(), c.message) << c.subType;
    }

    StoredScenario noSource;
    noSource.input = "Nowhere";
    noSource.fields = {{"G1", "G", 1}};  // the role check is not reached
    EXPECT_FALSE(Run(AddScenario(db, noSource)));
    EXPECT_EQ(engine->get_ErrorInfo(), "Data Table [Nowhere] not found.");
}

TEST_F(RunScenario, SourceQueryRunsLikeATable) {
    SucceedingDescribe();
    db->CreateQueryDef("DataQuery", "SELECT * FROM Data");
    StoredScenario scenario;
    scenario.input = "DataQuery";
    EXPECT_TRUE(Run(AddScenario(db, scenario))) << engine->get_ErrorInfo();
    EXPECT_EQ(engine::Quarn_UTIL_TableOrQuery(db, "Data"), 0);
    EXPECT_EQ(engine::Quarn_UTIL_TableOrQuery(db, "DataQuery"), 1);
    EXPECT_EQ(engine::Quarn_UTIL_TableOrQuery(db, "Nothing"), -99);
}

TEST_F(RunScenario, UnknownTypesAndLowerCaseFamiliesFailWithAClearText) {
    StoredScenario unknown;
    unknown.subType = "Histogram";
    EXPECT_FALSE(Run(AddScenario(db, unknown)));
    EXPECT_EQ(engine->get_ErrorInfo(), "Unknown analysis sub-type: Histogram");

    StoredScenario group;
    group.family = "G";
    group.subType = "Describe";
    EXPECT_FALSE(Run(AddScenario(db, group)));
    EXPECT_EQ(engine->get_ErrorInfo(), "Unknown analysis sub-type: Describe");

    StoredScenario lower;
    lower.family = "n";
    lower.subType = "Sign Test";
    EXPECT_FALSE(Run(AddScenario(db, lower)));
    EXPECT_EQ(engine->get_ErrorInfo(), "Unknown scenario family: n");

    StoredScenario regression;
    regression.subType = "Regression";
    regression.fields = {{"X1", "X", 1}, {"Y", "Y", 1}};
    regression.options = {{"RegressType", "Q"}};
    EXPECT_FALSE(Run(AddScenario(db, regression)));
    EXPECT_EQ(engine->get_ErrorInfo(), "Unknown regression type: Q");

    StoredScenario twoSample;
    twoSample.family = "N";
    twoSample.subType = "2 Sample";
    twoSample.fields = {{"X1", "X", 1}, {"G1", "C", 1}};
    twoSample.options = {{"NPTwoType", "Runs"}};
    EXPECT_FALSE(Run(AddScenario(db, twoSample)));
    EXPECT_EQ(engine->get_ErrorInfo(), "Unknown two-sample test type: Runs");
}

TEST_F(RunScenario, AnErrorInsideTheAnalysisIsRolledBackAndCleanedUp) {
    auto output = dao::DBEngine().Workspaces(0)->CreateDatabase((folder / "out.db").string());
    // An older result table of another name must survive.
    {
        dao::TableDefPtr keep = output->CreateTableDef("Keep");
        AddField(keep, "A", dao::dbLong);
        output->TableDefs()->Append(keep);
    }
    bool reached = false;
    AnalysisEntries().Describe = [&](const std::string& out, const std::string&, FieldNames&, int16_t, int16_t, bool,
                                     int16_t, const std::string&, int16_t, int16_t, int16_t, int16_t,
                                     const std::string&, const std::string&, int16_t, int16_t, std::vector<double>&,
                                     int16_t, std::vector<double>&, const std::string&, int16_t, double, double,
                                     RunContext& z) -> std::string {
        z.DataRecordset(z.SourceDatabase()->OpenRecordset("Data", dao::dbOpenDynaset));
        z.Quarn_DeleteTable(false, out);
        dao::TableDefPtr tdf = z.OutputDatabase()->CreateTableDef(out);
        AddField(tdf, "StatOutputID", dao::dbLong, 0, dao::dbAutoIncrField);
        AddField(tdf, "Value", dao::dbDouble);
        EXPECT_EQ(z.Quarn_CreateTable(tdf, true), "");
        z.BeginTrans();
        for (int i = 0; i < 3; ++i) {
            z.OutputRecordset()->AddNew();
            z.OutputRecordset()->Fields(std::string_view("Value"))->Value(double(i));
            z.OutputRecordset()->Update();
        }
        reached = true;
        vb::Raise(vb::err::kDivisionByZero);
    };
    const int32_t id = AddScenario(db, {});
    const int16_t depth = ErrStack().Depth();
    engine->put_ShowErrors(true);
    EXPECT_FALSE(engine->RunScenario(id, vb::Variant(vb::ObjectPtr(db)), vb::Variant::Missing(),
                                     vb::Variant(vb::ObjectPtr(output))));
    EXPECT_TRUE(reached);
    EXPECT_EQ(engine->get_ErrorInfo(), "11: Division by zero");
    EXPECT_EQ(log.events.back(), "Complete:False:11: Division by zero");
    ASSERT_EQ(ui.boxes.size(), 1u);
    EXPECT_EQ(ui.boxes[0].prompt, "Scenario Failed\r\n\r\n11: Division by zero");
    // Cleaned up: record sets closed, databases put back, stack as before,
    // the half-written table gone, the older table kept, no transaction left.
    EXPECT_EQ(LastRun(*engine).DataRecordset(), nullptr);
    EXPECT_EQ(LastRun(*engine).OutputRecordset(), nullptr);
    EXPECT_EQ(engine->get_ScenarioDatabase(), nullptr);
    EXPECT_EQ(engine->get_OutputDatabase(), nullptr);
    EXPECT_EQ(ErrStack().Depth(), depth);
    EXPECT_FALSE(TableExists(output, "Out1"));
    EXPECT_TRUE(TableExists(output, "Keep"));
    EXPECT_THROW(dao::DBEngine().CommitTrans(), vb::VbError) << "no transaction may stay open";
    output->Close();
}

TEST_F(RunScenario, ScratchDatabaseFileIsDeletedAtTheEnd) {
    const std::string scratch = (folder / "kzp1.TMP").string();
    AnalysisEntries().Describe = [&](const std::string&, const std::string&, FieldNames&, int16_t, int16_t, bool,
                                     int16_t, const std::string&, int16_t, int16_t, int16_t, int16_t,
                                     const std::string&, const std::string&, int16_t, int16_t, std::vector<double>&,
                                     int16_t, std::vector<double>&, const std::string&, int16_t, double, double,
                                     RunContext& z) {
        z.TempFilePath(scratch);
        z.TempDatabase(dao::DBEngine().CreateDatabase(scratch));
        return std::string();
    };
    EXPECT_TRUE(Run(AddScenario(db, {})));
    EXPECT_FALSE(std::filesystem::exists(scratch));
    EXPECT_FALSE(std::filesystem::exists(scratch + "-wal"));
    EXPECT_EQ(LastRun(*engine).TempDatabase(), nullptr);
    EXPECT_EQ(LastRun(*engine).TempFilePath(), scratch) << "the path stays in the object";
}

// The entry each analysis's runner calls, one row per analysis of
// store::kAnalysisList in its order (the regression scenarios below ask for
// the polynomial one).
namespace entries {
struct EntryOf {
    store::Analysis id;
    const char* entry;
};
using enum store::Analysis;
constexpr std::array kEntryOf{EntryOf{Describe, "Describe"},
                              EntryOf{Frequency, "Frequency"},
                              EntryOf{Percentiles, "Percentile"},
                              EntryOf{Compare, "Compare"},
                              EntryOf{Matrix, "Matrix"},
                              EntryOf{Regression, "RegressPoly"},
                              EntryOf{Crosstab, "Xtab"},
                              EntryOf{TwoSampleTTest, "ANOVA"},
                              EntryOf{Anova, "ANOVA"},
                              EntryOf{TwoWayAnova, "ANOVA"},
                              EntryOf{ChiSquare, "ChiSquare"},
                              EntryOf{SignTest, "SignFitTest"},
                              EntryOf{KSFit, "SignFitTest"},
                              EntryOf{TwoSample, "NonParametricRuns"},
                              EntryOf{NSample, "MannKSKruskal"},
                              EntryOf{PairedFields, "NonParametric"},
                              EntryOf{NFields, "NonParamFriedman"}};
}  // namespace entries
using entries::kEntryOf;
static_assert(
    [] {
        if (kEntryOf.size() != store::kAnalysisCount) return false;
        for (size_t i = 0; i < kEntryOf.size(); ++i)
            if (kEntryOf[i].id != store::kAnalysisList[i].id) return false;
        return true;
    }(),
    "EverySubTypeReachesItsEntry: kEntryOf names the entry of each analysis of the store's list, in its order");

TEST_F(RunScenario, EverySubTypeReachesItsEntry) {
    std::vector<std::string> calls;
    const auto record = [&calls](const char* name) {
        return [&calls, name](auto&&...) {
            calls.emplace_back(name);
            return std::string();
        };
    };
    auto& e = AnalysisEntries();
    e.Describe = record("Describe");
    e.Frequency = record("Frequency");
    e.Percentile = record("Percentile");
    e.Compare = record("Compare");
    e.Matrix = record("Matrix");
    e.Xtab = record("Xtab");
    e.RegressSimple = record("RegressSimple");
    e.RegressMulti = record("RegressMulti");
    e.RegressPoly = record("RegressPoly");
    e.ANOVA = record("ANOVA");
    e.ChiSquare = record("ChiSquare");
    e.SignFitTest = record("SignFitTest");
    e.NonParametric = record("NonParametric");
    e.NonParamFriedman = record("NonParamFriedman");
    e.MannKSKruskal = record("MannKSKruskal");
    e.NonParametricRuns = record("NonParametricRuns");

    for (const store::AnalysisDef& a : store::kAnalysisList) {
        // The fields its roles ask for, and a Y field, which every analysis
        // takes when no weight is given.
        StoredScenario scenario;
        scenario.family = std::string(a.family);
        scenario.subType = vb::UCase(std::string(a.subType));  // found without regard to case
        scenario.fields = {{"G1", "G", 1}, {"X1", "X", 1}, {"Y", "Y", 1}};
        if (a.roles.compareMin > 0) scenario.fields.push_back({"G2", "C", 1});
        if (a.roles.valueMin > 1) scenario.fields.push_back({"X2", "X", 2});
        scenario.options = {{"RegressType", "P"},
                            {"NPTwoType", "WALD"},
                            {"FreqGroupRadio", "Specified"},
                            {"FreqInit", 0.0},
                            {"FreqWidth", 1.0}};
        calls.clear();
        EXPECT_TRUE(Run(AddScenario(db, scenario))) << a.subType << ": " << engine->get_ErrorInfo();
        EXPECT_EQ(calls, std::vector<std::string>{kEntryOf[static_cast<size_t>(a.id)].entry})
            << a.subType << " (an empty list: record its entry above, as the others are)";
    }
}

TEST_F(RunScenario, RolesThatWouldShiftTheFieldsAreRefused) {
    SucceedingDescribe();
    StoredScenario withCompare;
    withCompare.fields = {{"G1", "C", 1}, {"X1", "X", 1}};
    EXPECT_FALSE(Run(AddScenario(db, withCompare)));
    EXPECT_EQ(engine->get_ErrorInfo(), "Compare fields cannot be used in a Describe scenario");

    StoredScenario yBesideWeight;
    yBesideWeight.fields = {{"X1", "X", 1}, {"Y", "Y", 1}, {"W", "W", 1}};
    EXPECT_FALSE(Run(AddScenario(db, yBesideWeight)));
    EXPECT_EQ(engine->get_ErrorInfo(), "A Y field cannot be used beside a weight field in a Describe scenario");

    StoredScenario pairedWithCompare;
    pairedWithCompare.family = "N";
    pairedWithCompare.subType = "Paired Fields";
    pairedWithCompare.fields = {{"G1", "C", 1}, {"X1", "X", 1}, {"Y", "Y", 1}};
    EXPECT_FALSE(Run(AddScenario(db, pairedWithCompare)));
    EXPECT_EQ(engine->get_ErrorInfo(), "Compare fields cannot be used in a Paired Fields scenario");

    // A Y field without a weight shifts nothing: the run goes on.
    StoredScenario yAlone;
    yAlone.fields = {{"X1", "X", 1}, {"Y", "Y", 1}};
    EXPECT_TRUE(Run(AddScenario(db, yAlone))) << engine->get_ErrorInfo();
}
