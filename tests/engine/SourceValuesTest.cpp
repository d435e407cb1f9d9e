// Source values at the edges of what a number column holds: a text another
// tool stored in a number column, weights whose sum overflows, and weights
// whose plain binary sum drifts from the decimal sum they stand for.
#include <sqlite3.h>

#include "EngineTestSupport.h"

using namespace enginetest;

namespace {

class SourceValues : public FourRowTest {
protected:
    static StoredScenario Describe(bool weighted) {
        StoredScenario s;
        s.fields = {{"G1", "G", 1}, {"X1", "X", 1}};
        if (weighted) s.fields.emplace_back("W", "W", 1);
        s.options = {{"VarStd", true}, {"VarNRadio", "N-1"}, {"CI", true}, {"CITypeRadio", "t-Test"}, {"CI95", true}};
        return s;
    }
    static StoredScenario Frequency(bool weighted) {
        StoredScenario s = Describe(weighted);
        s.subType = "Frequency";
        s.options = {{"InterV", int16_t(5)}, {"FreqGroupRadio", "Default"}, {"FreqIncRadio", "Lower"}};
        return s;
    }
    // SQL as another tool runs it, with what the program's SQL cannot write (a BLOB).
    void Sqlite(const std::string& sql) {
        sqlite3* raw = nullptr;
        ASSERT_EQ(sqlite3_open(dbPath.c_str(), &raw), SQLITE_OK);
        EXPECT_EQ(sqlite3_exec(raw, sql.c_str(), nullptr, nullptr, nullptr), SQLITE_OK) << sqlite3_errmsg(raw);
        sqlite3_close(raw);
    }
};

// SQLite keeps a text it cannot convert in a REAL column; another tool can put one there.
// The message says how to keep the record: a query that reads the text as Null.
TEST_F(SourceValues, ATextInANumberColumnIsNamedWithItsField) {
    const std::string x1 =
        "The field [X1] of [Data] holds the text \"n/a\" where a number is expected, which cannot be analysed. "
        "Correct that value, or analyse a query that reads it as a missing value and keeps the record: one that "
        "selects NULLIF([X1], 'n/a') AS [X1] in place of [X1].";
    db->Execute("UPDATE Data SET X1 = 'n/a' WHERE Y = 4");
    // Read by the walk, and by the scan for the default intervals before it.
    EXPECT_TRUE(FailsWith(Describe(false), x1));
    EXPECT_TRUE(FailsWith(Frequency(false), x1));
    // Only an empty text is an empty cell: a blank is a text like any other.
    db->Execute("UPDATE Data SET X1 = 4, W = ' ' WHERE Y = 4");
    EXPECT_TRUE(FailsWith(Describe(true),
                          "The field [W] of [Data] holds the text \" \" where a number is expected, which cannot be "
                          "analysed. Correct that value, or analyse a query that reads it as a missing value and keeps "
                          "the record: one that selects NULLIF([W], ' ') AS [W] in place of [W]."));
    // A file's heading line imported as a record: a missing value would keep the record.
    db->Execute("UPDATE Data SET X1 = 'x1', W = 1 WHERE Y = 4");
    EXPECT_TRUE(
        FailsWith(Describe(false),
                  "The field [X1] of [Data] holds the text \"x1\", its own name, where a number is expected: the "
                  "heading line of the file it was imported from, read as a record. Import the file without it "
                  "(the sqlite3 shell's .import --csv --skip 1), or delete that record."));
    // Bytes are no number, whatever they spell, and no text: the advice reads them as missing.
    const auto blob = [](const std::string& f) {
        return "The field [" + f +
               "] of [Data] holds a BLOB (bytes, not a number) where a number is expected, which "
               "cannot be analysed. Correct that value, or analyse a query that reads it as a missing value and keeps "
               "the record: one that selects IIF(typeof([" +
               f + "]) = 'blob', NULL, [" + f + "]) AS [" + f + "] in place of [" + f + "].";
    };
    Sqlite("UPDATE Data SET X1 = x'' WHERE Y = 4");
    EXPECT_TRUE(FailsWith(Describe(false), blob("X1")));
    EXPECT_TRUE(FailsWith(Frequency(false), blob("X1")));
    Sqlite("UPDATE Data SET X1 = 4, W = x'35' WHERE Y = 4");
    EXPECT_TRUE(FailsWith(Describe(true), blob("W")));
    Sqlite("CREATE VIEW Advised AS SELECT G1, X1, IIF(typeof([W]) = 'blob', NULL, [W]) AS W FROM Data");
    StoredScenario advised = Describe(true);
    advised.input = "Advised";
    ASSERT_TRUE(Run(AddScenario(db, advised))) << engine->get_ErrorInfo();
    const std::vector<std::string> followed = TableAsText(db, "Out1");
    db->TableDefs()->Delete("Out1");
    db->Execute("UPDATE Data SET W = Null WHERE Y = 4");
    ASSERT_TRUE(Run(AddScenario(db, Describe(true)))) << engine->get_ErrorInfo();
    EXPECT_EQ(followed, TableAsText(db, "Out1"));
}

// Counts, sums and averages of a crosstab, and chi-square's weights, are
// formed by the database, which would take a text as a value and add it as 0:
// refused as by the kinds read record by record (Min here), naming the field,
// in a data field and in the weight field; '' is a missing value there as
// anywhere. So in a table made without column types (CREATE TABLE t(g, c, x),
// as many tools make one), where a number may also be stored as a text ('5')
// and is that number.
TEST_F(SourceValues, ATextIsRefusedWhereTheDatabaseAddsTheValues) {
    for (const std::string table : {"Data", "Untyped"}) {
        SCOPED_TRACE(table);
        // The rows of Data, in a table of no column types when asked for.
        const auto source = [&] {
            if (table == "Data") return;
            Sqlite("DROP TABLE IF EXISTS Untyped; CREATE TABLE Untyped (G1, G2, X1, X2, Y, W); "
                   "INSERT INTO Untyped SELECT G1, G2, CASE WHEN X1 = 5 THEN '5' ELSE X1 END, X2, Y, W FROM Data");
        };
        const auto crosstab = [&](const char* kind, bool weighted) {
            StoredScenario s = StoredScenario::Of("P", "Crosstab", {{"G1", "G", 1}, {"G2", "C", 1}, {"X1", "X", 1}},
                                                  {{"XType", kind}});
            if (weighted) s.fields.emplace_back("W", "W", 1);
            s.input = table;
            return s;
        };
        const auto text = [&](const std::string& f, const std::string& t) {
            return "The field [" + f + "] of [" + table + "] holds the text \"" + t +
                   "\" where a number is expected, which cannot be analysed. Correct that value, or analyse a query "
                   "that reads it as a missing value and keeps the record: one that selects NULLIF([" +
                   f + "], '" + t + "') AS [" + f + "] in place of [" + f + "].";
        };
        db->Execute("UPDATE Data SET X1 = 'n/a' WHERE Y = 4");
        source();
        for (const char* kind : {"C", "S", "A", "1", "L", "M"}) {
            EXPECT_TRUE(FailsWith(crosstab(kind, false), text("X1", "n/a"))) << kind;
            EXPECT_TRUE(FailsWith(crosstab(kind, true), text("X1", "n/a"))) << kind;
        }
        db->Execute("UPDATE Data SET X1 = 4, W = 'abc5' WHERE Y = 4");
        source();
        for (const char* kind : {"C", "S", "A", "M"})
            EXPECT_TRUE(FailsWith(crosstab(kind, true), text("W", "abc5"))) << kind;
        // Chi-square adds its weights up in SQL too.
        StoredScenario chi = StoredScenario::Of("N", "Chi-Square", {{"G1", "G", 1}, {"G2", "C", 1}, {"W", "W", 1}}, {});
        chi.input = table;
        EXPECT_TRUE(FailsWith(chi, text("W", "abc5")));
        // '' in the data field and in the weight field, as Null. By hand:
        // the averages of row a are 1 and none (''), of row b none (weight
        // '') and 5 (in Untyped the text '5').
        for (const char* kind : {"S", "A", "C", "L"}) {
            SCOPED_TRACE(kind);
            db->Execute("UPDATE Data SET W = '' WHERE Y = 4");
            db->Execute("UPDATE Data SET X1 = '' WHERE Y = 5");
            source();
            ASSERT_TRUE(Run(AddScenario(db, crosstab(kind, true)))) << engine->get_ErrorInfo();
            const std::vector<std::string> empty = TableAsText(db, "Out1");
            if (std::string(kind) == "A") {
                const auto rows = ReadResultRows(db, "Out1", "DataType = 'Data: Average'");
                ASSERT_EQ(rows.size(), 2u);
                EXPECT_EQ(Num(rows[0], "p"), 1.0);
                EXPECT_TRUE(IsNull(rows[0], "q"));
                EXPECT_TRUE(IsNull(rows[1], "p"));
                EXPECT_EQ(Num(rows[1], "q"), 5.0);
            }
            db->TableDefs()->Delete("Out1");
            db->Execute("UPDATE Data SET W = Null WHERE Y = 4");
            db->Execute("UPDATE Data SET X1 = Null WHERE Y = 5");
            source();
            ASSERT_TRUE(Run(AddScenario(db, crosstab(kind, true)))) << engine->get_ErrorInfo();
            EXPECT_EQ(empty, TableAsText(db, "Out1"));
            db->TableDefs()->Delete("Out1");
        }
        db->Execute("UPDATE Data SET X1 = 2 WHERE Y = 5");
        db->Execute("UPDATE Data SET W = 2 WHERE Y = 4");
        // An infinity is named with its field too, where SQL adds it up and
        // where a record is read, though the column lists as a text.
        Sqlite("UPDATE Data SET W = 9e999 WHERE Y = 4");
        source();
        const std::string infinite = "The field [W] of [" + table +
                                     "] holds a value that is not a finite number (an infinity), which cannot be "
                                     "analysed. Correct or remove that value, or analyse a query that leaves it out.";
        EXPECT_TRUE(FailsWith(crosstab("S", true), infinite));
        EXPECT_TRUE(FailsWith(crosstab("M", true), infinite));
        EXPECT_TRUE(FailsWith(chi, infinite));
        db->Execute("UPDATE Data SET W = 2 WHERE Y = 4");
    }
}

// A CSV imported into a typed table by another tool leaves an empty cell as
// the text ''. In a number field that is a missing value, as Null is: every
// analysis gives what it gives over a view that turns '' into Null, with ''
// in a value, a group, a compare and a weight field.
TEST_F(SourceValues, AnEmptyTextInANumberFieldIsAMissingValue) {
    db->Execute("CREATE TABLE Trial (arm TEXT, site INTEGER, week8 REAL, base REAL, wt REAL)");
    for (const char* row : {"'A', 1, 5.5, 3, 1", "'A', 1, '', 4, 2", "'A', 2, 6, '', 1", "'A', '', 7.5, 5, ''",
                            "'A', 2, 4, 2, 1", "'A', '', 3, '', 2", "'B', 1, '', 6, 1", "'B', 1, 8, 7, 1",
                            "'B', 2, 9.5, 6, ''", "'B', 2, 7, 5, 3", "'B', '', 6.5, 4, 1", "'B', Null, 5, Null, 1",
                            "'A', Null, '', 3, 1", "'B', 1, 4.5, '', 2", "'A', 1, 2, 1, 1", "'B', 2, 3.5, 2.5, 1"})
        db->Execute(std::string("INSERT INTO Trial VALUES (") + row + ")");
    db->Execute("CREATE VIEW TrialNull AS SELECT arm, NULLIF(site, '') AS site, NULLIF(week8, '') AS week8, "
                "NULLIF(base, '') AS base, NULLIF(wt, '') AS wt FROM Trial");
    // Values and weights computed by a query: no declared type, '' as it is.
    db->Execute("CREATE VIEW TrialComputed AS SELECT arm, site, NULLIF(week8, 'zzz') AS week8, "
                "NULLIF(base, 'zzz') AS base, NULLIF(wt, 'zzz') AS wt FROM Trial");
    // Values and weights in columns of no declared type, as many tools make
    // them: as they are, and all as texts, as an import into such a table
    // leaves them.
    Sqlite("CREATE TABLE TrialUntyped (arm TEXT, site INTEGER, week8, base, wt); "
           "INSERT INTO TrialUntyped SELECT * FROM Trial; "
           "CREATE TABLE TrialTexts (arm TEXT, site INTEGER, week8, base, wt); "
           "INSERT INTO TrialTexts SELECT arm, site, CAST(week8 AS TEXT), CAST(base AS TEXT), CAST(wt AS TEXT) "
           "FROM Trial");
    const char* const sources[] = {"Trial", "TrialNull", "TrialComputed", "TrialUntyped", "TrialTexts"};
    const auto scenario = &StoredScenario::Of;
    std::vector<StoredScenario> scenarios = {
        scenario("P", "Describe", {{"site", "G", 1}, {"week8", "X", 1}, {"base", "X", 2}, {"wt", "W", 1}},
                 {{"Mean", true},
                  {"VarStd", true},
                  {"VarNRadio", "N-1"},
                  {"Range", true},
                  {"Mode", true},
                  {"Percentile", true},
                  {"PercentileRadio", "Q"},
                  {"FreqN", true},
                  {"InterV", int16_t(3)},
                  {"FreqGroupRadio", "Default"},
                  {"FreqIncRadio", "Lower"},
                  {"FreqDispRadio", "Count"}}),
        scenario("P", "Percentiles", {{"arm", "G", 1}, {"week8", "X", 1}}, {{"PercentileRadio", "Q"}}),
        scenario("P", "Crosstab", {{"arm", "G", 1}, {"site", "C", 1}, {"week8", "X", 1}, {"wt", "W", 1}},
                 {{"XType", "S"}, {"XRowPCnt", true}, {"xExpect", true}, {"xChi", true}}),
        scenario("P", "Regression", {{"site", "G", 1}, {"base", "X", 1}, {"week8", "Y", 1}, {"wt", "W", 1}},
                 {{"RegressType", "S"}, {"RYInt", true}}),
        scenario("G", "ANOVA", {{"site", "C", 1}, {"week8", "X", 1}}, {{"GroupIgnoreBlanks", false}}),
        scenario("N", "2 Sample", {{"arm", "G", 1}, {"site", "C", 1}, {"week8", "X", 1}}, {{"NPTwoType", "Mann"}}),
        scenario("N", "Chi-Square", {{"arm", "G", 1}, {"site", "C", 1}, {"wt", "W", 1}},
                 {{"ChiAll", true}, {"ChiIgnoreBlanks", false}, {"ChiDetail", true}}),
    };
    // With a missing-value range too.
    StoredScenario ranged = scenarios.front();
    ranged.missingType = "2";
    ranged.missingLow = 3.0;
    ranged.missingHigh = 8.0;
    scenarios.push_back(ranged);
    for (StoredScenario& s : scenarios) {
        SCOPED_TRACE(s.subType.ToString() + ", missing values " + s.missingType.ToString());
        std::vector<std::string> results[std::size(sources)];
        for (size_t view = 0; view < std::size(sources); ++view) {
            s.input = sources[view];
            SCOPED_TRACE(sources[view]);
            ASSERT_TRUE(Run(AddScenario(db, s))) << engine->get_ErrorInfo();
            for (const char* table : {"Out1", "Out2"}) {
                if (!db->TableDefs()->Contains(table)) continue;
                for (const std::string& row : TableAsText(db, table)) results[view].push_back(row);
                db->TableDefs()->Delete(table);
            }
        }
        for (size_t view = 1; view < std::size(sources); ++view) EXPECT_EQ(results[0], results[view]) << sources[view];
    }
    // By hand: site 1 holds 5.5, '', '', 8, 4.5 and 2 in week8, four present
    // values of weights 1, 1, 2 and 1.
    StoredScenario describe = scenarios.front();
    describe.input = "Trial";
    describe.options = {{"Mean", true}};
    ASSERT_TRUE(Run(AddScenario(db, describe))) << engine->get_ErrorInfo();
    const auto rows = ReadResultRows(db, "Out1", "site = 1 AND DataField = 'week8'");
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(Num(rows[0], "Count"), 5.0);
    EXPECT_EQ(Num(rows[0], "Mean"), (5.5 + 8 + 2 * 4.5 + 2) / 5);
}

// An index on an expression (its column has no name) indexes no field: ''
// in a number field of its table is still a missing value, so the records
// of '' and of Null form one group.
TEST_F(SourceValues, AnIndexOnAnExpressionLeavesEmptyTextsMissing) {
    Sqlite("CREATE TABLE T (g TEXT, n REAL, x REAL)");
    Sqlite("INSERT INTO T VALUES ('a', '', 1), ('a', NULL, 2), ('b', '', 3), ('b', 1, 4)");
    Sqlite("CREATE INDEX ix ON T(lower(g))");
    StoredScenario s = StoredScenario::Of("P", "Describe", {{"n", "G", 1}, {"x", "X", 1}}, {});
    s.input = "T";
    ASSERT_TRUE(Run(AddScenario(db, s))) << engine->get_ErrorInfo();
    const auto rows = ReadResultRows(db, "Out1");
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_TRUE(rows[0].at("n").IsNull());
    EXPECT_EQ(Num(rows[0], "Count"), 3);
    EXPECT_EQ(Num(rows[1], "n"), 1);
}

TEST_F(SourceValues, WeightsThatAddUpBeyondTheLargestNumberAreNamed) {
    const std::string message =
        "The weights in the field [W] of [Data] add up to more than the largest number a result can hold (about "
        "1.8E+308), an overflow: no weighted count or statistic can be computed. Scale the weights down.";
    db->Execute("UPDATE Data SET W = 1e308");
    EXPECT_TRUE(FailsWith(Describe(true), message));
    EXPECT_TRUE(FailsWith(Frequency(true), message));
    // Large weights whose sum a Double holds are used as they are.
    db->Execute("UPDATE Data SET W = 1e300");
    EXPECT_TRUE(Run(AddScenario(db, Describe(true)))) << engine->get_ErrorInfo();
    const auto rows = ReadResultRows(db, "Out1");
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(Num(rows[0], "Count"), 2e300);
}

// Values near the largest Double: what a Double holds is written, what it
// cannot hold is named with its field rather than left empty.
TEST_F(SourceValues, AStatisticBeyondTheLargestNumberIsNamed) {
    db->Execute("UPDATE Data SET X1 = 1e308 WHERE X2 > 2");  // group a: 1, 2; group b: 1e308, 1e308
    StoredScenario describe = Describe(false);
    describe.options = {{"Range", true}};
    ASSERT_TRUE(Run(AddScenario(db, describe))) << engine->get_ErrorInfo();
    const auto rows = ReadResultRows(db, "Out1");
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(Num(rows[1], "Mean"), 1e308);
    EXPECT_EQ(Num(rows[1], "Range"), 0.0);
    db->TableDefs()->Delete("Out1");

    describe.options = {{"Sum", true}};
    EXPECT_TRUE(FailsWith(describe, "The Sum of the field [X1] of [Data] is beyond the largest number a result can "
                                    "hold (about 1.8E+308), an overflow: the values are too large for it. Leave the "
                                    "statistic out, or analyse a query that scales the values down."));
    StoredScenario frequency = Frequency(false);
    frequency.options = {{"InterV", int16_t(2)},
                         {"FreqGroupRadio", "Specified"},
                         {"FreqInit", 0.0},
                         {"FreqWidth", 10.0},
                         {"FreqSum", true}};
    EXPECT_TRUE(FailsWith(frequency, "The Sum of the field [X1] of [Data] is beyond the largest number a result can "
                                     "hold (about 1.8E+308), an overflow: the values are too large for it. Leave the "
                                     "statistic out, or analyse a query that scales the values down."));
}

// Statistics a Double holds, of values whose squares or fourth powers it does
// not: worked by hand. +-a, +-a have mean 0, population variance a^2, RMS a,
// skewness 0 and G2 = 10/3 * 9/4 - 27/2 = -6.
TEST_F(SourceValues, StatisticsOfValuesWhosePowersOverflowAreWritten) {
    db->Execute("UPDATE Data SET X1 = CASE WHEN X2 IN (2, 6) THEN 1.2e154 ELSE -1.2e154 END");
    StoredScenario describe;
    describe.options = {{"VarStd", true}, {"VarNRadio", "N"}};
    ASSERT_TRUE(Run(AddScenario(db, describe))) << engine->get_ErrorInfo();
    auto rows = ReadResultRows(db, "Out1");
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(Num(rows[0], "Mean"), 0.0);
    EXPECT_NEAR(Num(rows[0], "Variance"), 1.44e308, 1e-14 * 1.44e308);
    EXPECT_NEAR(Num(rows[0], "StdDeviation"), 1.2e154, 1e-14 * 1.2e154);
    EXPECT_NEAR(Num(rows[0], "StdError"), 0.6e154, 1e-14 * 0.6e154);
    db->TableDefs()->Delete("Out1");

    db->Execute("UPDATE Data SET X1 = CASE WHEN X2 IN (2, 6) THEN 1e308 ELSE -1e308 END");
    describe.options = {{"Mean", true}, {"Skew", true}};
    ASSERT_TRUE(Run(AddScenario(db, describe))) << engine->get_ErrorInfo();
    rows = ReadResultRows(db, "Out1");
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(Num(rows[0], "Mean"), 0.0);
    EXPECT_NEAR(Num(rows[0], "RMS"), 1e308, 1e-14 * 1e308);
    EXPECT_NEAR(Num(rows[0], "Skewness"), 0.0, 1e-14);
    EXPECT_NEAR(Num(rows[0], "Kurtosis"), -6.0, 1e-13);
    db->TableDefs()->Delete("Out1");

    // The variance of +-1e308 (4/3 1e616) is beyond a Double: named.
    describe.options = {{"VarStd", true}, {"VarNRadio", "N-1"}};
    EXPECT_TRUE(FailsWith(describe, "The Variance of the field [X1] of [Data] is beyond the largest number a result "
                                    "can hold (about 1.8E+308), an overflow: the values are too large for it. Leave "
                                    "the statistic out, or analyse a query that scales the values down."));
}

// 1000 times the weights 0.7, 1.3 and 0.9 add up to 1000 x 2.9 = 2900 exactly
// in decimal; a plain binary sum gives 2900.000000000053.
TEST_F(SourceValues, AWeightedCountIsTheDecimalSumOfTheWeights) {
    db->Execute("DELETE FROM Data");
    std::vector<std::vector<vb::Variant>> rows;
    const double weights[] = {0.7, 1.3, 0.9};
    for (int i = 0; i < 3000; ++i) rows.push_back({"a", "p", 1.0 + i % 7, 0.0, 0.0, weights[i % 3]});
    dao::WorkspacePtr ws = dao::DBEngine().Workspaces(0);
    ws->BeginTrans();
    AppendRows(rows);
    ws->CommitTrans();
    ASSERT_TRUE(Run(AddScenario(db, Describe(true)))) << engine->get_ErrorInfo();
    EXPECT_EQ(Num(ReadResultRows(db, "Out1").at(0), "Count"), 2900.0);

    StoredScenario frequency = Frequency(true);
    frequency.options = {
        {"InterV", int16_t(2)}, {"FreqGroupRadio", "Specified"}, {"FreqInit", 0.0}, {"FreqWidth", 10.0}};
    ASSERT_TRUE(Run(AddScenario(db, frequency))) << engine->get_ErrorInfo();
    // Every value lies in the first of the two intervals.
    const auto intervals = ReadResultRows(db, "Out1", "[Interval] = 2");
    ASSERT_EQ(intervals.size(), 1u);
    EXPECT_EQ(Num(intervals[0], "Count"), 2900.0);
    EXPECT_EQ(Num(intervals[0], "Cumulative"), 2900.0);
}

}  // namespace

namespace {

// Equal values far from zero: default intervals wide enough for their bounds
// to differ in the column names; given ones too narrow for that are refused.
TEST_F(SourceValues, FrequencyColumnsOfEqualValuesAtTheLargestMagnitude) {
    db->Execute("UPDATE Data SET X1 = 1e308");
    StoredScenario describe;
    describe.options = {
        {"Range", true},         {"VarStd", true},          {"VarNRadio", "N-1"},       {"FreqN", true},
        {"InterV", int16_t(10)}, {"FreqIncRadio", "Lower"}, {"FreqDispRadio", "Count"}, {"FreqGroupRadio", "Default"},
        {"Mean", true}};
    ASSERT_TRUE(Run(AddScenario(db, describe))) << engine->get_ErrorInfo();
    const auto rows = ReadResultRows(db, "Out1");
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(Num(rows[0], "Mean"), 1e308);
    EXPECT_EQ(Num(rows[0], "Range"), 0.0);
    EXPECT_EQ(Num(rows[0], "StdDeviation"), 0.0);
    EXPECT_NEAR(Num(rows[0], "RMS"), 1e308, 1e-14 * 1e308);
    // Width 1e295 (ten units of the 14th digit), centred on the value.
    EXPECT_EQ(Num(rows[0], "9.9999999999995E+307<=N<1.00000000000005E+308"), 4);
    EXPECT_EQ(Num(rows[0], "1.00000000000005E+308<=N<1.00000000000015E+308"), 0);
    db->TableDefs()->Delete("Out1");

    // Values either side of zero whose range exceeds a Double: three default
    // intervals of about 7.3e307 from -1e308.
    db->Execute("UPDATE Data SET X1 = CASE WHEN X2 IN (2, 6) THEN 1e308 ELSE -1e308 END");
    describe.options["InterV"] = int16_t(3);
    describe.options["Range"] = false;  // 2e308 and 4/3 1e616: beyond a Double
    describe.options["VarStd"] = false;
    ASSERT_TRUE(Run(AddScenario(db, describe))) << engine->get_ErrorInfo();
    const auto cols = ColumnNames(db, "Out1");
    const auto row = ReadResultRows(db, "Out1").at(0);
    ASSERT_GE(cols.size(), 3u);
    EXPECT_EQ(cols[cols.size() - 3].rfind("-1E+308<=N<", 0), 0u) << cols[cols.size() - 3];
    EXPECT_EQ(Num(row, cols[cols.size() - 3]), 2);
    EXPECT_EQ(Num(row, cols[cols.size() - 2]), 0);
    EXPECT_EQ(Num(row, cols[cols.size() - 1]), 2);
    db->TableDefs()->Delete("Out1");

    db->Execute("UPDATE Data SET X1 = 1e20");
    describe.options["InterV"] = int16_t(10);
    describe.options["FreqGroupRadio"] = "Specified";
    describe.options["FreqInit"] = 1e20;
    describe.options["FreqWidth"] = 1.0;
    EXPECT_TRUE(FailsWith(describe, "The 10 frequency intervals of width 1 from 1E+20 cannot be told apart: at the "
                                    "size of the values their bounds are the same number. Choose a wider interval "
                                    "width, or a first bound nearer 0."));
}

// Every row of both analyses writes the bounds of its interval: given
// intervals that reach beyond the largest number are refused with advice
// about the intervals, which neither leaving a statistic out nor scaling the
// values would mend.
TEST_F(SourceValues, GivenIntervalsBeyondTheLargestNumberAreRefusedAsIntervals) {
    const std::string message =
        "The 2 frequency intervals of width 1E+308 from 1E+308 reach beyond the largest number a result can hold "
        "(about 1.8E+308). Choose a narrower interval width, fewer intervals, or a first bound nearer 0.";
    const std::map<std::string, vb::Variant> intervals = {
        {"InterV", int16_t(2)}, {"FreqGroupRadio", "Specified"}, {"FreqInit", 1e308}, {"FreqWidth", 1e308}};
    StoredScenario frequency = Frequency(false);
    frequency.options = intervals;
    EXPECT_TRUE(FailsWith(frequency, message));
    StoredScenario describe = Describe(false);
    describe.options = intervals;
    describe.options["FreqN"] = true;
    EXPECT_TRUE(FailsWith(describe, message));
}

}  // namespace
