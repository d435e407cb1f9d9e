// The Jet SQL translator: each construct on a query of the kind the system builds,
// run on a real SQLite database, against results worked out by hand.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "dao/JetSql.h"
#include "vb/VbError.h"

namespace {

std::string Doubled(const std::string& s) {  // an apostrophe doubled, for a Jet text literal
    std::string out;
    for (char c : s) {
        out += c;
        if (c == '\'') out += '\'';
    }
    return out;
}

class JetSqlTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(sqlite3_open(":memory:", &db_), SQLITE_OK);
        dao::RegisterJetFunctions(db_);
    }
    void TearDown() override { sqlite3_close(db_); }

    void Exec(const std::string& sql, sqlite3* db = nullptr) {
        char* err = nullptr;
        const int rc = sqlite3_exec(db ? db : db_, sql.c_str(), nullptr, nullptr, &err);
        ASSERT_EQ(rc, SQLITE_OK) << (err ? err : "") << "\n  in: " << sql;
        sqlite3_free(err);
    }

    std::string Translate(std::string_view jet) { return dao::TranslateJetSql(jet, schemaFor_).sql; }

    // The rows of a translated statement, each as its values joined by "|" (Null as NULL).
    std::vector<std::string> Rows(std::string_view jet, sqlite3* db = nullptr) { return SqlRows(Translate(jet), db); }

    // The same for SQLite SQL, run as it stands.
    std::vector<std::string> SqlRows(const std::string& sql, sqlite3* db = nullptr) {
        sqlite3_stmt* st = nullptr;
        std::vector<std::string> rows;
        const int rc = sqlite3_prepare_v2(db ? db : db_, sql.c_str(), -1, &st, nullptr);
        EXPECT_EQ(rc, SQLITE_OK) << sqlite3_errmsg(db ? db : db_) << "\n  in: " << sql;
        if (rc != SQLITE_OK) return rows;
        int step;
        while ((step = sqlite3_step(st)) == SQLITE_ROW) {
            std::string row;
            for (int c = 0; c < sqlite3_column_count(st); ++c) {
                if (c) row += "|";
                switch (sqlite3_column_type(st, c)) {
                    case SQLITE_NULL:
                        row += "NULL";
                        break;
                    case SQLITE_FLOAT: {
                        char buf[40];
                        std::snprintf(buf, sizeof buf, "%.15g", sqlite3_column_double(st, c));
                        row += buf;
                        break;
                    }
                    default:
                        row += reinterpret_cast<const char*>(sqlite3_column_text(st, c));
                        break;
                }
            }
            rows.push_back(row);
        }
        EXPECT_EQ(step, SQLITE_DONE) << sqlite3_errmsg(db ? db : db_) << "\n  in: " << sql;
        sqlite3_finalize(st);
        return rows;
    }

    std::string Value(std::string_view jet) {
        const auto rows = Rows(jet);
        return rows.size() == 1 ? rows[0] : "<" + std::to_string(rows.size()) + " rows>";
    }

    // The SQLite error a translated statement fails with, or "" when it runs.
    std::string RunError(std::string_view jet) {
        const std::string sql = Translate(jet);
        char* err = nullptr;
        const int rc = sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, &err);
        std::string text = rc == SQLITE_OK ? "" : (err ? err : "error");
        sqlite3_free(err);
        return text;
    }

    int32_t TranslateError(std::string_view jet, std::string* text = nullptr) {
        try {
            Translate(jet);
        } catch (const vb::VbError& e) {
            if (text) *text = e.Description();
            return e.Number();
        }
        return 0;
    }

    int64_t Changes() { return sqlite3_changes(db_); }

    sqlite3* db_ = nullptr;
    std::function<std::string(const std::string&)> schemaFor_ = [](const std::string&) { return std::string("ext"); };
};

// --- the scenario store's own queries --------------------------------------------

class ScenarioStoreTest : public JetSqlTest {
protected:
    void SetUp() override {
        JetSqlTest::SetUp();
        Exec(
            "CREATE TABLE usysQuarnScenarios (Scenario_ID INTEGER, Scenario_Analysis_SubType TEXT COLLATE NOCASE,"
            " Scenario_Analysis_Type TEXT COLLATE NOCASE, Scenario_Description TEXT COLLATE NOCASE, SortOrder INTEGER);"
            "CREATE TABLE usysQuarnOptions (Scenario_ID INTEGER, Opt TEXT COLLATE NOCASE);"
            "CREATE TABLE usysQuarnFields (Scenario_ID INTEGER, FieldDef_Name TEXT COLLATE NOCASE,"
            " FieldDef_Ordinal_Position INTEGER, FieldDef_Choice INTEGER);"
            "INSERT INTO usysQuarnScenarios VALUES (7, 'Simple', 'Regression', 'Sales on price', 2),"
            " (12, 'Describe', 'Descriptive', 'Yields', 1), (3, 'Multiple', 'regression', 'It''s mine', 1);"
            "INSERT INTO usysQuarnOptions VALUES (7, 'o7'), (12, 'o12'), (3, 'o3');"
            "INSERT INTO usysQuarnFields VALUES (12, 'Yield', 2, 1), (12, 'Region', 1, 0), (12, 'Dose', 1, 1),"
            " (7, 'Price', 1, 0);");
    }
};

TEST_F(ScenarioStoreTest, JoinedAndFilteredSelectsWithBracketedNames) {
    EXPECT_EQ(Rows("SELECT  * FROM [usysQuarnScenarios] INNER JOIN [usysQuarnOptions] ON "
                   "[usysQuarnScenarios].Scenario_ID = [usysQuarnOptions].Scenario_ID "
                   "WHERE [usysQuarnScenarios].Scenario_ID=12"),
              (std::vector<std::string>{"12|Describe|Descriptive|Yields|1|12|o12"}));
    EXPECT_EQ(Rows("SELECT * FROM [usysQuarnFields] WHERE Scenario_ID=12 "
                   "order by FieldDef_Choice, FieldDef_Ordinal_Position"),
              (std::vector<std::string>{"12|Region|1|0", "12|Dose|1|1", "12|Yield|2|1"}));
    EXPECT_EQ(Rows("SELECT  * from [usysQuarnScenarios] WHERE Scenario_ID = 99").size(), 0u);
}

TEST_F(ScenarioStoreTest, LikeWithStarAndCaseInsensitiveFilter) {
    const std::string head =
        "SELECT  Scenario_ID, Scenario_Analysis_SubType, Scenario_Description FROM usysQuarnScenarios "
        "WHERE ((Scenario_Analysis_SubType Like '";
    EXPECT_EQ(Rows(head + "*') And (Scenario_Analysis_Type = 'REGRESSION')) ORDER BY SortOrder, Scenario_ID;"),
              (std::vector<std::string>{"3|Multiple|It's mine", "7|Simple|Sales on price"}));
    EXPECT_EQ(Rows(head + "s*') And (Scenario_Analysis_Type = 'Regression')) ORDER BY SortOrder, Scenario_ID;"),
              (std::vector<std::string>{"7|Simple|Sales on price"}));
}

TEST_F(ScenarioStoreTest, CopyAndDeleteStatements) {
    Exec(Translate("INSERT INTO [usysQuarnFields] (Scenario_Id, FieldDef_Name, FieldDef_Ordinal_Position, "
                   "FieldDef_Choice ) SELECT 40 AS Expr1, [FieldDef_Name], [FieldDef_Ordinal_Position], "
                   "[FieldDef_Choice] FROM [usysQuarnFields] WHERE [Scenario_ID]=12"));
    EXPECT_EQ(Rows("SELECT FieldDef_Name FROM usysQuarnFields WHERE Scenario_ID = 40 ORDER BY FieldDef_Name"),
              (std::vector<std::string>{"Dose", "Region", "Yield"}));
    Exec(Translate("DELETE * FROM [usysQuarnFields] WHERE [Scenario_ID] = 40;"));
    EXPECT_EQ(Changes(), 3);
    Exec(Translate("DELETE [usysQuarnFields].* FROM [usysQuarnFields] WHERE [Scenario_ID] = 7"));
    EXPECT_EQ(Changes(), 1);
    Exec(Translate("DELETE DISTINCTROW * FROM usysQuarnFields"));
    EXPECT_EQ(Changes(), 3);
    EXPECT_EQ(Value("SELECT Count(*) FROM usysQuarnFields"), "0");
}

// --- names and literals ----------------------------------------------------------

TEST_F(JetSqlTest, BracketedNamesBecomeQuotedNamesAndBadNamesAreRefused) {
    Exec("CREATE TABLE \"Coef Table\" (\"Coef_of_X^2\" REAL, \"Say \"\"hi\"\"\" TEXT)");
    Exec("INSERT INTO \"Coef Table\" VALUES (1.5, 'x')");
    EXPECT_EQ(Value("SELECT [Coef_of_X^2] * 2, [Coef Table].[Say \"hi\"] FROM [Coef Table]"), "3|x");

    std::string text;
    EXPECT_EQ(TranslateError("SELECT [a]] FROM t", &text), 3126);
    EXPECT_NE(text.find("']'"), std::string::npos) << text;
    EXPECT_EQ(TranslateError("SELECT [a\tb] FROM t", &text), 3126);
    EXPECT_NE(text.find("control character"), std::string::npos) << text;
    EXPECT_EQ(TranslateError("SELECT [a FROM t"), 3126);
    EXPECT_EQ(TranslateError("SELECT [] FROM t"), 3126);
    // A misspelt name fails; SQLite must not read "Nope" as a text.
    EXPECT_NE(RunError("SELECT [Nope] FROM [Coef Table]"), "");
}

TEST_F(JetSqlTest, TextNumberAndBooleanLiterals) {
    EXPECT_EQ(Value("SELECT \"it's\", 'say \"\"', \"a\"\"b\", 'x''y'"), "it's|say \"\"|a\"b|x'y");
    EXPECT_EQ(Value("SELECT True, False, Null, 1.5E+15, 1E-05, .5"), "-1|0|NULL|1.5e+15|1e-05|0.5");
    EXPECT_EQ(TranslateError("SELECT 'open"), 3075);
    Exec("CREATE TABLE f (Flag INTEGER)");
    Exec("INSERT INTO f VALUES (-1), (0), (-1)");
    EXPECT_EQ(Value("SELECT Count(*) FROM f WHERE Flag = True"), "2");
    EXPECT_EQ(Value("SELECT Count(*) FROM f WHERE Not Flag"), "1");
}

TEST_F(JetSqlTest, DateLiteralsBecomeTheStoredIsoText) {
    EXPECT_EQ(Value("SELECT #1/15/2024#, #2024-01-15 13:45#, #3:05:09 PM#, #12:00 AM#"),
              "2024-01-15 00:00:00|2024-01-15 13:45:00|1899-12-30 15:05:09|1899-12-30 00:00:00");
    EXPECT_EQ(Value("SELECT #12/31/99#, #1/1/29#, #2/29/2000 11:59:59 pm#, #2024/3/1#"),
              "1999-12-31 00:00:00|2029-01-01 00:00:00|2000-02-29 23:59:59|2024-03-01 00:00:00");
    for (const char* bad :
         {"#2/29/1900#", "#13/1/2024#", "#1/15/2024 25:00#", "#tomorrow#", "##", "#1/2#", "#13:00 PM#", "#1/15/2024"})
        EXPECT_EQ(TranslateError(std::string("SELECT ") + bad), 3075) << bad;
    Exec("CREATE TABLE d (Created TEXT)");
    Exec("INSERT INTO d VALUES ('2024-01-15 00:00:00'), ('2024-01-16 08:00:00')");
    EXPECT_EQ(Value("SELECT Count(*) FROM d WHERE Created = #01/15/2024#"), "1");
    EXPECT_EQ(Value("SELECT Count(*) FROM d WHERE Created > #1/15/2024 23:59:59#"), "1");
}

// --- operators ---------------------------------------------------------------------

TEST_F(JetSqlTest, PowerBindsAboveNegationAndIsLeftAssociative) {
    // -2^2 = -(2^2); 2^3^2 = (2^3)^2; 2^-1 = 0.5; 1 + 2 * 3^2 = 19.
    EXPECT_EQ(Value("SELECT 2^10, -2^2, 2^3^2, 2^-1, 1 + 2 * 3^2, 9^0.5, '3' ^ 2, Null ^ 2"),
              "1024|-4|64|0.5|19|3|9|NULL");
    EXPECT_NE(RunError("SELECT (-8)^(1/3)"), "");  // no real result
    // Jet's "/" gives a Double whatever its operands.
    EXPECT_EQ(Value("SELECT 7 / 2, 1 / 4 * 2, 6 / 3 / 2, 2 ^ 3 / 16, Null / 2"), "3.5|0.5|1|0.5|NULL");
    EXPECT_NE(RunError("SELECT 'abc'^2"), "");
}

TEST_F(JetSqlTest, ConcatenationTreatsALoneNullAsEmpty) {
    // Null & "x" is "x"; only Null & Null is Null. & binds below + and above =.
    EXPECT_EQ(Value("SELECT 'a' & Null, Null & 'b', Null & Null, 1.5 & 'x', 3 & 4, 1 + 2 & 3, 0.1 + 0.2 & ''"),
              "a|b|NULL|1.5x|34|33|0.3");
    Exec("CREATE TABLE p (First TEXT, Last TEXT)");
    Exec("INSERT INTO p VALUES ('Ann', 'Lee'), (NULL, 'Bo'), (NULL, NULL)");
    EXPECT_EQ(Rows("SELECT [First] & ' ' & [Last] FROM p WHERE [First] & [Last] = 'AnnLee' OR [First] Is Null "
                   "ORDER BY [Last] DESC"),
              (std::vector<std::string>{"Ann Lee", " Bo", " "}));
}

TEST_F(JetSqlTest, ModRoundsItsOperandsAndKeepsTheDividendsSign) {
    // 5.5 rounds to 6, 6.5 to 6, 2.5 to 2 (half to even); Mod ranks below * and above +.
    EXPECT_EQ(Value("SELECT 7 Mod 3, -7 Mod 3, 7 Mod -3, 5.5 Mod 2, 6.5 Mod 4, 7 mod 2.5, 2 + 7 Mod 3 * 2, Null Mod 2"),
              "1|-1|1|0|2|1|3|NULL");
    EXPECT_NE(RunError("SELECT 5 Mod 0"), "");
    EXPECT_NE(RunError("SELECT 5 Mod 0.4"), "");  // 0.4 rounds to 0
}

TEST_F(JetSqlTest, LikeWithJetWildcardsIgnoresCase) {
    EXPECT_EQ(Value("SELECT 'Abc' Like 'a*', 'abc' Like 'A?C', 'a1c' Like 'a#c', 'abc' Like 'a#c', "
                    "'abc' Like '[!x-z]bc', 'ybc' Like '[!x-z]bc', 'Qbc' Like '[a-z]bc'"),
              "-1|-1|-1|0|-1|0|-1");
    EXPECT_EQ(Value("SELECT '*x' Like '[*]x', 'ax' Like '[*]x', 'a?' Like 'a[?]', 'ab' Like 'a[]b', "
                    "'abc' Not Like 'b*', Null Like '*', 'x' Like Null, 'été' Like '?t?', 'a%c' Like 'a%c', "
                    "'abc' Like 'a%'"),
              "-1|0|-1|-1|1|NULL|NULL|-1|-1|0");
    EXPECT_EQ(Value("SELECT 'mississippi' Like '*iss*ip*', 'mississippi' Like 'm*iss?p*i', '' Like '*', "
                    "'' Like '?', 'x-' Like 'x[-]', 123 Like '1#3'"),
              "-1|-1|-1|0|-1|-1");
    EXPECT_NE(RunError("SELECT 'a' Like '[a'"), "");
}

TEST_F(JetSqlTest, ComparisonsBetweenInAndNullTests) {
    Exec("CREATE TABLE t (x REAL)");
    Exec("INSERT INTO t VALUES (1), (5), (NULL), (10), (-99)");
    EXPECT_EQ(Value("SELECT Count(*) FROM t WHERE ([x] Between -1 And 5) Or [x] In (10, 11)"), "3");
    EXPECT_EQ(Value("SELECT Count(*) FROM t WHERE [x] Not Between 0 And 5 And [x] Is Not Null"), "2");
    EXPECT_EQ(Value("SELECT Count(*) FROM t WHERE [x] Not In (SELECT [x] FROM t WHERE [x] > 4)"), "2");
    EXPECT_EQ(Value("SELECT Count(*) FROM t WHERE (([x] <> -99)) AND Not [x] Is Null"), "3");
    // Jet has no comments: "--" is two minus signs.
    EXPECT_EQ(Value("SELECT 5--3, 5- -3, -(-2)"), "8|8|2");
}

// --- IIf, IsNull and the aggregates of the grouped queries ---------------------------

class GroupedQueryTest : public JetSqlTest {
protected:
    void SetUp() override {
        JetSqlTest::SetUp();
        // Inserted out of order, so that the sorted output has to come from the query.
        Exec("CREATE TABLE t (g TEXT COLLATE NOCASE, c TEXT COLLATE NOCASE, x REAL, w REAL)");
        Exec("INSERT INTO t VALUES ('b','p',3,1), ('a','q',4,2), ('a','p',12,1), ('a','p',2,3), ('a','p',NULL,1),"
             " ('b','p',-1,1), (NULL,'p',5,2), ('a','q',10,-99)");
    }
};

TEST_F(GroupedQueryTest, CrosstabSumWithMissingRangeSortedByTheGroupFields) {
    // Missing rule "Both" with Low 0 and High 10: 12 and -1 are missing.
    const std::string ok = "IIf(IsNull([t].[x]), Null, IIf((0<=[t].[x]) And ([t].[x]<= 10),";
    const std::string jet = "SELECT DISTINCT [g], [c], Sum(" + ok + "[t].[x], Null))) AS [x], Count(" + ok +
                            "[t].[x], Null))) as [Zelk_Count_1], Sum(" + ok +
                            "[t].[x]^2, 0))) as [Zelk_Square_1] FROM [t] GROUP BY [g], [c];";
    // (Null,p): 5 | (a,p): 2 (12 missing, Null skipped), square 4 + 0 | (a,q): 4 + 10, 16 + 100 | (b,p): 3, 9 + 0.
    EXPECT_EQ(Rows(jet), (std::vector<std::string>{"NULL|p|5|1|25", "a|p|2|1|4", "a|q|14|2|116", "b|p|3|1|9"}));
}

TEST_F(GroupedQueryTest, WeightedCountWithMissingWeightAndIsNullAsTrue) {
    // Weight factor: a Null weight or the missing value -99 counts 0.
    const std::string wf = "IIf(IsNull([t].[w]), Null, IIf([t].[w]<>-99,[t].[w], 0))";
    const std::string jet = "SELECT DISTINCT [g], Sum(IIf(IsNull([t].[x]), Null, IIf([t].[x]<>-99,1, 0)) * " + wf +
                            ") AS [x] FROM [t] GROUP BY [g];";
    // Null: 2 | a: 2 + 1 + 3 + (Null) + 0 = 6 | b: 1 + 1 = 2.
    EXPECT_EQ(Rows(jet), (std::vector<std::string>{"NULL|2", "a|6", "b|2"}));
    EXPECT_EQ(Value("SELECT IsNull(Null), IsNull(0), Sum(IsNull([x])) FROM t"), "-1|0|-1");
    EXPECT_EQ(TranslateError("SELECT IIf([x] > 1, 2) FROM t"), 3075);
    EXPECT_EQ(TranslateError("SELECT IsNull() FROM t"), 3075);
}

TEST_F(GroupedQueryTest, ChiSummaryCountsNullCompareValuesAndSortsNullFirst) {
    Exec("INSERT INTO t VALUES ('a', NULL, 1, 1)");
    const std::string jet = "SELECT DISTINCTROW [g], [c], Sum(IIF(IsNull([c]), 1, 1)) as Count1, Sum([w]) as Weight1 "
                            "FROM [t] WHERE ([w] Is Not Null)GROUP BY [g], [c];";
    EXPECT_EQ(Rows(jet), (std::vector<std::string>{"NULL|p|1|2", "a|NULL|1|1", "a|p|3|5", "a|q|2|-97", "b|p|2|2"}));
}

TEST_F(GroupedQueryTest, FirstAndLastKeepRowOrderAndSkipNulls) {
    Exec("CREATE TABLE s (g TEXT COLLATE NOCASE, x REAL)");
    Exec("INSERT INTO s VALUES ('b', 7), ('a', NULL), ('a', 3), ('b', 1), ('a', 9), ('a', NULL), ('c', NULL)");
    const std::string value = "IIf(IsNull([s].[x]), Null, [s].[x])";
    EXPECT_EQ(Rows("SELECT DISTINCT [g], First(" + value + ") AS [x], Count(" + value +
                   ") as [Zelk_Count_1] FROM [s] GROUP BY [g];"),
              (std::vector<std::string>{"a|3|2", "b|7|2", "c|NULL|0"}));
    EXPECT_EQ(Rows("SELECT DISTINCT [g], Last(" + value + ") AS [x] FROM [s] GROUP BY [g];"),
              (std::vector<std::string>{"a|9", "b|1", "c|NULL"}));
    EXPECT_EQ(Value("SELECT First(x), Last(x) FROM s"), "7|9");
    EXPECT_EQ(Value("SELECT First(x), Last(x) FROM s WHERE 0"), "NULL|NULL");
}

TEST_F(JetSqlTest, FirstAndLastKeepRowOrderWhenGroupingSortsManyRows) {
    // 200000 rows of five groups in scrambled order, x = insertion number: the first
    // value of each group is its smallest x, the last its largest, even when the sort
    // spills to temporary storage.
    Exec("PRAGMA cache_size = 20");
    Exec("CREATE TABLE big (g INTEGER, x INTEGER)");
    Exec("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 200000) "
         "INSERT INTO big SELECT (i * 7919) % 5, i FROM n");
    const auto rows = Rows("SELECT [g], First([x]) = Min([x]), Last([x]) = Max([x]) FROM big GROUP BY [g]");
    EXPECT_EQ(rows, (std::vector<std::string>{"0|1|1", "1|1|1", "2|1|1", "3|1|1", "4|1|1"}));
}

TEST_F(JetSqlTest, SumTotalAndAvgAreCompensatedAndKeepSqlitesIntegerAndNullRules) {
    // 1e16 + 1 rounds back to 1e16 in a double: an uncompensated sum of 1e16, 1, -1e16 is 0.
    Exec("CREATE TABLE w (id INTEGER PRIMARY KEY, g TEXT, x)");
    Exec("INSERT INTO w (g, x) VALUES ('r', 1e16), ('r', 1.0), ('r', -1e16), ('r', 1.0), "
         "('n', NULL), ('i', 9007199254740993), ('i', 1), ('t', '12'), ('t', 3), ('u', 'abc'), ('u', 3)");
    EXPECT_EQ(
        Rows("SELECT g, Sum(x), typeof(Sum(x)), Total(x), Avg(x) FROM w GROUP BY g"),
        (std::vector<std::string>{"i|9007199254740994|integer|9.00719925474099e+15|4.5035996273705e+15",
                                  "n|NULL|null|0|NULL", "r|2|real|2|0.5", "t|15|integer|15|7.5", "u|3|real|3|1.5"}));
    EXPECT_EQ(Value("SELECT Sum(x), Total(x), Avg(x) FROM w WHERE 0"), "NULL|0|NULL");
    EXPECT_EQ(SqlRows("SELECT sum(DISTINCT x) FROM w WHERE g = 'r'"), (std::vector<std::string>{"1"}));
    // As a window function over a sliding frame (so values also leave the sum): rows 2 to 4.
    EXPECT_EQ(SqlRows("SELECT s FROM (SELECT id, sum(x) OVER (ORDER BY id ROWS 2 PRECEDING) AS s FROM w) "
                      "WHERE id = 4"),
              (std::vector<std::string>{"-1e+16"}));
    EXPECT_EQ(SqlRows("SELECT s + 1e16 FROM (SELECT id, sum(x) OVER (ORDER BY id ROWS 2 PRECEDING) AS s FROM w) "
                      "WHERE id = 4"),
              (std::vector<std::string>{"2"}));

    // Integers alone: a running sum past the 64-bit range is an error for Sum, a double
    // for Total and Avg; a double among them makes every sum a double.
    Exec("CREATE TABLE big (x)");
    Exec("INSERT INTO big VALUES (9223372036854775807), (1), (-10)");
    sqlite3_stmt* st = nullptr;
    ASSERT_EQ(sqlite3_prepare_v2(db_, "SELECT sum(x) FROM big", -1, &st, nullptr), SQLITE_OK);
    EXPECT_EQ(sqlite3_step(st), SQLITE_ERROR);
    EXPECT_STREQ(sqlite3_errmsg(db_), "integer overflow");
    sqlite3_finalize(st);
    EXPECT_EQ(Value("SELECT Total(x), Avg(x) FROM big"), "9.22337203685478e+18|3.07445734561826e+18");
    Exec("INSERT INTO big VALUES (0.5)");
    EXPECT_EQ(Value("SELECT Sum(x), typeof(Sum(x)) FROM big"), "9.22337203685478e+18|real");
}

// --- the order Jet gives DISTINCT and GROUP BY ----------------------------------------

TEST_F(JetSqlTest, DistinctWithoutOrderByComesSortedWithNullFirst) {
    Exec("CREATE TABLE Trials (Dose REAL, Region TEXT COLLATE NOCASE)");
    Exec("INSERT INTO Trials VALUES (5, 'north'), (NULL, 'South'), (2, 'North'), (5, 'east'), (10, NULL)");
    EXPECT_EQ(Rows("SELECT DISTINCT [Dose] FROM [Trials];"), (std::vector<std::string>{"NULL", "2", "5", "10"}));
    EXPECT_EQ(Rows("SELECT DISTINCT [Dose] FROM [Trials] WHERE ([Dose] Is Not Null);"),
              (std::vector<std::string>{"2", "5", "10"}));
    const auto regions = Rows("SELECT DISTINCT [Region] FROM [Trials]");
    ASSERT_EQ(regions.size(), 4u);  // north and North are one value
    EXPECT_EQ(regions[0], "NULL");
    EXPECT_EQ(regions[1], "east");
    EXPECT_EQ(regions[3], "South");
    // An explicit ORDER BY is kept as it is.
    EXPECT_EQ(Rows("SELECT DISTINCT [Dose] FROM [Trials] WHERE [Dose] > 0 ORDER BY [Dose] DESC"),
              (std::vector<std::string>{"10", "5", "2"}));
}

TEST_F(JetSqlTest, TopLimitsTheRows) {
    Exec("CREATE TABLE t (x INTEGER)");
    Exec("INSERT INTO t VALUES (3), (9), (1), (7)");
    EXPECT_EQ(Rows("SELECT TOP 2 [x] FROM [t] ORDER BY [x] DESC"), (std::vector<std::string>{"9", "7"}));
    EXPECT_EQ(Rows("SELECT DISTINCT TOP 3 [x] FROM [t]"), (std::vector<std::string>{"1", "3", "7"}));
    EXPECT_EQ(TranslateError("SELECT TOP 10 PERCENT [x] FROM [t]"), 3129);
    EXPECT_EQ(TranslateError("SELECT TOP 1.5 [x] FROM [t]"), 3075);
}

// --- IN '<file>' ------------------------------------------------------------------------

class ExternalFileTest : public JetSqlTest {
protected:
    void SetUp() override {
        JetSqlTest::SetUp();
        dir_ = std::filesystem::temp_directory_path() /
               ("jetsql-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "-" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::create_directories(dir_);
        path_ = (dir_ / "O'Brien's scratch.db").string();
        std::filesystem::remove(path_);
        sqlite3* file = nullptr;
        ASSERT_EQ(sqlite3_open(path_.c_str(), &file), SQLITE_OK);
        Exec("CREATE TABLE statTemp1 (Field INTEGER, Data REAL, Weight REAL, Rank REAL, Absolute REAL);"
             "INSERT INTO statTemp1 VALUES (2, 4, 1, 2, 4), (1, 8, 2, 3, 0), (2, 1, 1, 1, 1), (1, 2, 1, 1, 2),"
             " (1, 5, 1, 2, 5), (3, 6, 2, 1, 6);",
             file);
        sqlite3_close(file);
        sqlite3_stmt* st = nullptr;
        ASSERT_EQ(sqlite3_prepare_v2(db_, "ATTACH DATABASE ?1 AS ext", -1, &st, nullptr), SQLITE_OK);
        sqlite3_bind_text(st, 1, path_.c_str(), -1, SQLITE_TRANSIENT);
        ASSERT_EQ(sqlite3_step(st), SQLITE_DONE) << sqlite3_errmsg(db_);
        sqlite3_finalize(st);
        Exec("CREATE TABLE statTemp1 (Field INTEGER)");  // a local table of the same name must not be read
    }
    void TearDown() override {
        JetSqlTest::TearDown();
        std::filesystem::remove_all(dir_);
    }
    std::string In() const { return "IN '" + Doubled(path_) + "' "; }

    std::filesystem::path dir_;
    std::string path_;
};

TEST_F(ExternalFileTest, TablesOfTheFromClauseAreReadFromTheFile) {
    const std::string jet =
        "SELECT * FROM statTemp1 " + In() + "where (([Field] = 1) AND ([Absolute] > 0)) ORDER BY [Absolute];";
    const dao::TranslatedSql t = dao::TranslateJetSql(jet, schemaFor_);
    ASSERT_EQ(t.externals.size(), 1u);
    EXPECT_EQ(t.externals[0].path, path_);
    EXPECT_EQ(t.externals[0].schema, "ext");
    EXPECT_EQ(Rows(jet), (std::vector<std::string>{"1|2|1|1|2", "1|5|1|2|5"}));
    // Grouped without ORDER BY: ascending Field.
    EXPECT_EQ(Rows("SELECT DISTINCTROW [Field], Sum([Weight]*[Rank]) AS [SumRanks] FROM statTemp1 " + In() +
                   "GROUP BY [Field];"),
              (std::vector<std::string>{"1|9", "2|3", "3|2"}));
}

TEST_F(ExternalFileTest, InsertIntoAndDeleteFromTheFile) {
    Exec(Translate("INSERT INTO statTemp1 " + In() + "(Field, Data) SELECT 9, [Data] FROM statTemp1 " + In() +
                   "WHERE [Field] = 3"));
    EXPECT_EQ(Value("SELECT Count(*) FROM statTemp1 " + In() + "WHERE [Field] = 9"), "1");
    const dao::TranslatedSql t = dao::TranslateJetSql("DELETE DISTINCTROW * FROM statTemp1 " + In(), schemaFor_);
    EXPECT_EQ(t.externals.size(), 1u);
    Exec(t.sql);
    EXPECT_EQ(Changes(), 7);
    EXPECT_EQ(Value("SELECT Count(*) FROM statTemp1"), "0");  // the local table
}

TEST_F(ExternalFileTest, AnEmptySchemaLeavesTheNamesForTheFilesOwnConnection) {
    std::vector<std::string> asked;
    const dao::TranslatedSql t = dao::TranslateJetSql(
        "SELECT * FROM [statTemp1] AS s " + In() + "WHERE (s.[Field] = 2) ORDER BY [Data];", [&](const std::string& p) {
            asked.push_back(p);
            return std::string();
        });
    EXPECT_EQ(asked, std::vector<std::string>{path_});
    ASSERT_EQ(t.externals.size(), 1u);
    EXPECT_EQ(t.externals[0].schema, "");
    sqlite3* file = nullptr;
    ASSERT_EQ(sqlite3_open(path_.c_str(), &file), SQLITE_OK);
    dao::RegisterJetFunctions(file);
    schemaFor_ = [](const std::string&) { return std::string(); };
    EXPECT_EQ(Rows("SELECT * FROM [statTemp1] AS s " + In() + "WHERE (s.[Field] = 2) ORDER BY [Data];", file),
              (std::vector<std::string>{"2|1|1|1|1", "2|4|1|2|4"}));
    sqlite3_close(file);
}

TEST_F(ExternalFileTest, OneStatementReadsOneOtherFile) {
    EXPECT_EQ(TranslateError("SELECT * FROM a IN 'x.db', b IN 'y.db'"), 3131);
    EXPECT_EQ(TranslateError("SELECT * FROM a IN 'x.db' [dBASE IV;]"), 3131);
}

// --- other statements and errors -----------------------------------------------------

TEST_F(JetSqlTest, UpdateAndCreateTablePassThrough) {
    Exec(Translate("CREATE TABLE [Out Table] ([Group Value] TEXT(50), [Coef_of_X^1] DOUBLE)"));
    Exec(Translate("INSERT INTO [Out Table] VALUES (\"a\", 3)"));
    Exec(Translate("INSERT INTO [Out Table] ([Group Value], [Coef_of_X^1]) VALUES ('b', -2)"));
    Exec(Translate("UPDATE [Out Table] SET [Coef_of_X^1] = [Coef_of_X^1] ^ 2 & '' WHERE [Group Value] Like \"A\""));
    EXPECT_EQ(Rows("SELECT [Group Value], [Coef_of_X^1] FROM [Out Table] ORDER BY 1"),
              (std::vector<std::string>{"a|9", "b|-2"}));
    Exec(Translate("DROP TABLE [Out Table];"));
}

TEST_F(JetSqlTest, SyntaxErrorsRaiseJetNumbersWithClearTexts) {
    std::string text;
    EXPECT_EQ(TranslateError("SELECT (1 + 2 FROM t", &text), 3075);
    EXPECT_NE(text.find("expected ')'"), std::string::npos) << text;
    EXPECT_EQ(TranslateError("SELECT 1 + FROM t"), 3075);
    EXPECT_EQ(TranslateError("SELECT 1 \\ 2"), 3075);
    EXPECT_EQ(TranslateError("SELECT [t]![x] FROM t"), 3075);
    EXPECT_EQ(TranslateError("SELECT 1; SELECT 2", &text), 3142);
    EXPECT_EQ(TranslateError(""), 3129);
    EXPECT_EQ(TranslateError("TRANSFORM Sum(x) SELECT g FROM t GROUP BY g PIVOT c"), 3129);
    EXPECT_EQ(TranslateError("SELECT x INTO t2 FROM t"), 3129);
    EXPECT_EQ(TranslateError("SELECT * FROM"), 3131);
    EXPECT_EQ(TranslateError("SELECT * FROM a INNER JOIN b"), 3131);
    EXPECT_EQ(TranslateError("DELETE * FROM a, b"), 3129);
    EXPECT_EQ(TranslateError("SELECT x FROM t WHERE x Is 5"), 3075);
    // Functions we do not translate reach SQLite as calls; Left( and Right( are no joins.
    EXPECT_EQ(TranslateError("SELECT Left([a], 2), Right([a], 1) FROM t LEFT JOIN u ON t.k = u.k"), 0);
    EXPECT_EQ(RunError("SELECT Nz(Null, 0)"), "no such function: Nz");
}

}  // namespace
