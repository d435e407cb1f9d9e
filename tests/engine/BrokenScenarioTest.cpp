// Scenarios written by another tool that break their columns' rules: each is
// refused with a message that names the problem, before any table is touched.
#include <sqlite3.h>

#include <limits>

#include "EngineTestSupport.h"
#include "QuantaraImpl.h"
#include "../support/ListsAgree.h"

using namespace enginetest;

namespace {

class BrokenScenario : public FourRowTest {
protected:
    static StoredScenario Regression(std::map<std::string, vb::Variant> options) {
        StoredScenario s;
        s.subType = "Regression";
        s.fields = {{"X1", "X", 1}, {"Y", "Y", 1}};
        s.options = std::move(options);
        return s;
    }
    static StoredScenario Describe(std::map<std::string, vb::Variant> options) {
        StoredScenario s;
        s.options = std::move(options);
        return s;
    }
};

TEST_F(BrokenScenario, OptionsOutsideTheirRangesAreRefusedWithTheRulesText) {
    EXPECT_TRUE(FailsWith(Regression({{"RegressType", "P"}, {"RPoly", int16_t(32767)}}),
                          "The polynomial order 32767 is too high: at most 398 powers fit in the output table"));
    EXPECT_TRUE(FailsWith(Regression({{"RegressType", "P"}, {"RPoly", int16_t(-3)}}),
                          "The polynomial order must be 1 or more"));

    StoredScenario frequency;
    frequency.subType = "Frequency";
    frequency.options = {{"InterV", int16_t(5)},
                         {"FreqGroupRadio", "Specified"},
                         {"FreqInit", 0.0},
                         {"FreqWidth", -10.0},
                         {"FreqIncRadio", "Lower"}};
    EXPECT_TRUE(FailsWith(frequency, "Interval Width must be greater than zero"));
    frequency.options["FreqWidth"] = 0.0;
    EXPECT_TRUE(FailsWith(frequency, "Interval Width must be greater than zero"));
    frequency.options["FreqWidth"] = 2.0;
    frequency.options["InterV"] = int16_t(0);
    EXPECT_TRUE(FailsWith(frequency, "The number of intervals must be between 2 and 50"));

    EXPECT_TRUE(FailsWith(Describe({{"CI", true}, {"CITypeRadio", "Normal"}, {"CI95", true}, {"CIStdDev", -2.0}}),
                          "The standard deviation for the confidence intervals must be greater than zero"));
    EXPECT_TRUE(FailsWith(Describe({{"CI", true}, {"CI95", false}, {"CIUser", int16_t(100)}}),
                          "The confidence interval percentage must be between 1 and 99"));
    // An empty deviation for Normal intervals is refused like a 0, never run as one.
    EXPECT_TRUE(FailsWith(Describe({{"CI", true}, {"CITypeRadio", "Normal"}, {"CI95", true}}),
                          "CIStdDev, the standard deviation for Normal confidence intervals, is empty: Normal "
                          "intervals need it"));
}

TEST_F(BrokenScenario, LettersOutsideTheKnownOnesAreRefusedAndNamed) {
    EXPECT_TRUE(FailsWith(Describe({{"VarStd", true}, {"VarNRadio", "N-2"}}), "Unknown variance divisor: N-2"));
    EXPECT_TRUE(FailsWith(Describe({{"FreqN", true}, {"FreqIncRadio", "Middle"}}), "Unknown interval border: Middle"));
    EXPECT_TRUE(
        FailsWith(Describe({{"FreqN", true}, {"FreqDispRadio", "Running"}}), "Unknown frequency display: Running"));
    EXPECT_TRUE(
        FailsWith(Describe({{"Percentile", true}, {"PercentileRadio", "Tertiles"}}), "Unknown percentile type: T"));
    // An interval method of neither letter would write no interval at all.
    for (const char* method : {"  ", "xyz"}) {
        EXPECT_TRUE(FailsWith(Describe({{"CI", true}, {"CITypeRadio", method}, {"CI95", true}}),
                              std::string("CITypeRadio holds \"") + method +
                                  "\", which is no confidence interval method: \"t-Test\" or \"Normal\""));
    }

    StoredScenario matrix;
    matrix.subType = "Matrix";
    matrix.fields = {{"X1", "X", 1}, {"X2", "X", 2}};
    matrix.options = {{"MProb", true}, {"MProbTail", "3-tail"}};
    EXPECT_TRUE(FailsWith(matrix, "Unknown probability tails: 3-tail"));
}

// Another tool can store an infinity in a number column (SQLite keeps it;
// the data layer would refuse to write it): written here by SQL.
void StoreInfinity(const dao::DatabasePtr& db, int32_t id, const std::string& table, const std::string& column,
                   bool negative = false) {
    db->Execute("UPDATE [" + table + "] SET [" + column + "] = " + (negative ? "-9e999" : "9e999") +
                " WHERE [Scenario_ID] = " + std::to_string(id) + ";");
}

TEST_F(BrokenScenario, OnlyTheOptionsOfTheScenariosOwnAnalysisAreJudged) {
    // Values a describe run never reads, and letters in another case, pass.
    StoredScenario s = Describe({{"RPoly", int16_t(32767)},
                                 {"MProbTail", "3-tail"},
                                 {"SignValue", 1.0},
                                 {"VarStd", true},
                                 {"VarNRadio", "n-1"}});
    const int32_t id = AddScenario(db, s);
    StoreInfinity(db, id, "usysQuarnOptions", "SignValue");
    EXPECT_TRUE(Run(id)) << engine->get_ErrorInfo();
    EXPECT_TRUE(Run(AddScenario(db, Regression({{"RegressType", "p"}, {"RPoly", int16_t(2)}}))))
        << engine->get_ErrorInfo();
}

TEST_F(BrokenScenario, InfiniteNumbersAreRefused) {
    const int32_t tTest = AddScenario(db, Describe({{"TTestMean", true}, {"TTestValue", 1.0}}));
    StoreInfinity(db, tTest, "usysQuarnOptions", "TTestValue");
    EXPECT_FALSE(Run(tTest));
    EXPECT_EQ(engine->get_ErrorInfo(), "TTestValue must be a finite number");
    StoredScenario missing;
    missing.missingType = "1";
    missing.missingEqual = 1.0;
    const int32_t missingId = AddScenario(db, missing);
    StoreInfinity(db, missingId, "usysQuarnScenarios", "MissingEqual", true);
    EXPECT_FALSE(Run(missingId));
    EXPECT_EQ(engine->get_ErrorInfo(), "MissingEqual must be a finite number");
    // In a whole-number column as in a Double one (by SQLite itself, past the
    // range check the data layer gives the column, as a table another tool
    // made has none).
    const auto storeInfinity = [&](int32_t id, const char* column) {
        sqlite3* raw = nullptr;
        ASSERT_EQ(sqlite3_open(dbPath.c_str(), &raw), SQLITE_OK);
        const std::string sql = std::string("PRAGMA ignore_check_constraints = ON; UPDATE usysQuarnOptions SET ") +
                                column + " = 9e999 WHERE Scenario_ID = " + std::to_string(id);
        EXPECT_EQ(sqlite3_exec(raw, sql.c_str(), nullptr, nullptr, nullptr), SQLITE_OK) << sqlite3_errmsg(raw);
        sqlite3_close(raw);
    };
    StoredScenario frequency = Describe({{"InterV", int16_t(5)}});
    frequency.subType = "Frequency";
    const int32_t intervals = AddScenario(db, frequency);
    storeInfinity(intervals, "InterV");
    EXPECT_FALSE(Run(intervals));
    EXPECT_EQ(engine->get_ErrorInfo(), "InterV must be a finite number");
    const int32_t poly = AddScenario(db, Regression({{"RegressType", "P"}, {"RPoly", int16_t(2)}}));
    storeInfinity(poly, "RPoly");
    EXPECT_FALSE(Run(poly));
    EXPECT_EQ(engine->get_ErrorInfo(), "RPoly must be a finite number");
    EXPECT_FALSE(db->TableDefs()->Contains("Out1"));
}

TEST_F(BrokenScenario, OptionValuesThatCannotBeReadAreNamed) {
    StoredScenario given;
    given.subType = "Frequency";
    given.options = {{"InterV", int16_t(5)}, {"FreqGroupRadio", "Specified"}, {"FreqInit", 0.0}, {"FreqWidth", 2.0}};
    const auto refusedAfter = [&](const StoredScenario& s, const std::string& sql, const std::string& message) {
        const int32_t id = AddScenario(db, s);
        db->Execute(sql + " WHERE [Scenario_ID] = " + std::to_string(id));
        if (Run(id)) return ::testing::AssertionFailure() << sql << ": the run succeeded";
        if (engine->get_ErrorInfo() != message)
            return ::testing::AssertionFailure() << sql << ": refused with \"" << engine->get_ErrorInfo() << "\"";
        return ::testing::AssertionSuccess();
    };
    // Given intervals need both values, and a custom sign test its value;
    // the columns may be empty otherwise. '' is as empty as Null.
    const StoredScenario sign =
        StoredScenario::Of("N", "Sign Test", {{"X1", "X", 1}}, {{"SignCustom", true}, {"SignValue", 1.0}});
    for (const std::string blank : {"Null", "''"}) {
        const std::string set = "UPDATE usysQuarnOptions SET ";
        EXPECT_TRUE(refusedAfter(given, set + "FreqInit = " + blank,
                                 "FreqInit, the first interval's lower bound, is empty: given intervals need it"));
        EXPECT_TRUE(refusedAfter(given, set + "FreqWidth = " + blank,
                                 "FreqWidth, the interval width, is empty: given intervals need it"));
        EXPECT_TRUE(refusedAfter(sign, set + "SignValue = " + blank,
                                 "SignValue, the value of the custom sign test, is empty: a custom test needs it"));
    }
    // Texts another tool stored in number and flag columns.
    EXPECT_TRUE(refusedAfter(given, "UPDATE usysQuarnOptions SET FreqInit = 'low'",
                             "FreqInit holds \"low\", which is not a number"));
    EXPECT_TRUE(refusedAfter(Describe({{"Mean", true}}), "UPDATE usysQuarnOptions SET Mean = 'yes'",
                             "Mean holds \"yes\", which is not True or False"));
    EXPECT_FALSE(db->TableDefs()->Contains("Out1"));
}

TEST_F(BrokenScenario, AMissingValueTypeOutsideZeroOneTwoIsRefused) {
    const std::string message = "The missing-value type must be \"0\", \"1\" or \"2\"";
    for (const vb::Variant& type : {vb::Variant("3"), vb::Variant("A"), vb::Variant::Null()}) {
        StoredScenario s;
        s.missingType = type;
        EXPECT_TRUE(FailsWith(s, message));
    }
    StoredScenario two;
    two.missingType = "2";
    two.missingLow = 1.5;
    EXPECT_TRUE(Run(AddScenario(db, two))) << engine->get_ErrorInfo();
}

TEST_F(BrokenScenario, AnUnknownFieldRoleIsNamed) {
    StoredScenario s;
    s.fields = {{"X1", "X", 1}, {"X2", "Q", 2}};
    EXPECT_TRUE(FailsWith(s, "Unknown field role: Q (field [X2])"));
    s.fields = {{"X1", "x", 1}, {"G1", "g", 1}};
    EXPECT_TRUE(Run(AddScenario(db, s))) << engine->get_ErrorInfo();
}

// 70,000 field rows once wrapped a 16-bit counter to 4,466 fields analysed.
TEST_F(BrokenScenario, TooManyFieldRowsAreRefusedBeforeTheyOverflowACounter) {
    StoredScenario s;
    s.fields.clear();
    const int32_t id = AddScenario(db, s);
    dao::WorkspacePtr ws = dao::DBEngine().Workspaces(0);
    ws->BeginTrans();
    dao::RecordsetPtr f = db->OpenRecordset("usysQuarnFields", dao::dbOpenTable);
    for (int32_t i = 1; i <= 70000; ++i) {
        f->AddNew();
        f->Fields(std::string_view("Scenario_ID"))->Value(id);
        f->Fields(std::string_view("FieldDef_Name"))->Value("X1");
        f->Fields(std::string_view("FieldDef_Ordinal_Position"))->Value(int16_t(1));
        f->Fields(std::string_view("FieldDef_Choice"))->Value("X");
        f->Update();
    }
    f->Close();
    ws->CommitTrans();
    EXPECT_FALSE(Run(id));
    EXPECT_EQ(engine->get_ErrorInfo(), "This scenario has 70000 field rows; a scenario can have at most 32766 fields");
    EXPECT_FALSE(db->TableDefs()->Contains("Out1"));
}

TEST(FieldCount, TheLastCountThatFitsIsAccepted) {
    CZantelsScenario s;
    for (int i = 0; i < 32766; ++i) s.AddField("X1", "X");
    engine::FieldRoles r;
    EXPECT_EQ(engine::SetGlobals(s, "Describe", r), "");
    EXPECT_EQ(r.nX, 32766);
    s.AddField("X1", "X");
    EXPECT_EQ(engine::SetGlobals(s, "Describe", r),
              "This scenario has 32767 field rows; a scenario can have at most 32766 fields");
}

// The engine's scenario object carries exactly the properties the schema
// gives it, each of the schema's type.
TEST(ScenarioObjectAndSchema, PropertiesAgree) {
    const std::string differences =
        listsagree::PropertiesAgree(store::kEngineObject, CZantelsScenario::PropertyNames(),
                                    [](std::string_view p) { return CZantelsScenario::KindOf(p); });
    EXPECT_TRUE(differences.empty()) << differences;
}

}  // namespace
