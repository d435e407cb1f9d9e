// Every Jet construct the system's queries use, one row each: the statement,
// the SQLite text it must become, and what that text gives on a real database.
// Expected rows are worked out by hand from the table below.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <cstdio>
#include <string>
#include <vector>

#include "dao/JetSql.h"

namespace {

// Five trials. Region is a case-insensitive text, Given a date as the layer
// stores it, Flag a Boolean (-1 / 0).
//   ID  Region  Dose  Yield  Given                 Flag
//   1   North   2     10.5   2024-01-15 00:00:00   -1
//   2   south   5     Null   2024-02-01 08:30:00    0
//   3   Null    2     7      2023-12-31 00:00:00   -1
//   4   north   10    3.25   Null                   0
//   5   East    Null  12     2024-01-15 00:00:00   -1
// The attached database "ext" stands for a file named in IN '<file>'.
const char* const kSchema =
    "CREATE TABLE \"Trial Data\" (ID INTEGER, Region TEXT COLLATE NOCASE, Dose REAL, Yield REAL, Given TEXT, "
    "Flag INTEGER);"
    "INSERT INTO \"Trial Data\" VALUES (1, 'North', 2, 10.5, '2024-01-15 00:00:00', -1),"
    " (2, 'south', 5, NULL, '2024-02-01 08:30:00', 0), (3, NULL, 2, 7, '2023-12-31 00:00:00', -1),"
    " (4, 'north', 10, 3.25, NULL, 0), (5, 'East', NULL, 12, '2024-01-15 00:00:00', -1);"
    "ATTACH DATABASE ':memory:' AS ext;"
    "CREATE TABLE ext.Extra (K INTEGER, V REAL);"
    "INSERT INTO ext.Extra VALUES (2, 0.5), (1, 1.5), (2, 2.5);";

struct Case {
    const char* construct;
    const char* jet;
    const char* sqlite;             // what the translator must emit
    std::vector<std::string> rows;  // of the statement, or of `check` after an action statement
    const char* check = nullptr;    // Jet SELECT run after an action statement
};

const std::vector<Case>& Cases() {
    static const std::vector<Case> cases = {
        {"brackets",
         "SELECT [ID], [Trial Data].[Dose] FROM [Trial Data] WHERE [ID] = 3",
         "SELECT \"ID\", \"Trial Data\".\"Dose\" FROM \"Trial Data\" WHERE \"ID\" = 3",
         {"3|2"}},
        {"IIf",
         "SELECT IIf([Dose] > 4, 'high', 'low') FROM [Trial Data] WHERE [ID] <= 2 ORDER BY [ID]",
         "SELECT CASE WHEN \"Dose\" > 4 THEN 'high' ELSE 'low' END FROM \"Trial Data\" WHERE \"ID\" <= 2 "
         "ORDER BY \"ID\"",
         {"low", "high"}},
        {"IsNull",
         "SELECT Sum(IsNull([Yield])), Sum(IsNull([Region] & [Dose])) FROM [Trial Data]",
         "SELECT Sum((-(\"Yield\" IS NULL))), Sum((-(jet_concat(\"Region\", \"Dose\") IS NULL))) FROM \"Trial Data\"",
         {"-1|0"}},
        {"First and Last",
         "SELECT First([Yield]), Last([Dose]) FROM [Trial Data]",
         "SELECT jet_first(\"Yield\"), jet_last(\"Dose\") FROM \"Trial Data\"",
         {"10.5|10"}},
        {"power",
         "SELECT 2 ^ 10, -3 ^ 2, [Dose] ^ 2 ^ 0.5 FROM [Trial Data] WHERE [ID] = 2",
         "SELECT jet_pow(2, 10), -jet_pow(3, 2), jet_pow(jet_pow(\"Dose\", 2), 0.5) FROM \"Trial Data\" "
         "WHERE \"ID\" = 2",
         {"1024|-9|5"}},
        {"concatenation",
         "SELECT [Region] & '/' & [ID] FROM [Trial Data] WHERE [ID] In (1, 3) ORDER BY [ID]",
         "SELECT jet_concat(jet_concat(\"Region\", '/'), \"ID\") FROM \"Trial Data\" WHERE \"ID\" IN (1, 3) "
         "ORDER BY \"ID\"",
         {"North/1", "/3"}},
        // 7.5 rounds half to even (8); the remainder takes the dividend's sign.
        {"Mod",
         "SELECT [ID] Mod 3, -7 Mod 2, 7.5 Mod 3 FROM [Trial Data] WHERE [ID] = 5",
         "SELECT jet_mod(\"ID\", 3), jet_mod(-7, 2), jet_mod(7.5, 3) FROM \"Trial Data\" WHERE \"ID\" = 5",
         {"2|-1|2"}},
        {"Like with *",
         "SELECT [ID] FROM [Trial Data] WHERE [Region] Like 'n*' ORDER BY [ID]",
         "SELECT \"ID\" FROM \"Trial Data\" WHERE jet_like(\"Region\", 'n*') ORDER BY \"ID\"",
         {"1", "4"}},
        {"Like with ? and #",
         "SELECT [ID] FROM [Trial Data] WHERE [Region] Like '?ast' Or [Given] Like '####-0#-01*' ORDER BY [ID]",
         "SELECT \"ID\" FROM \"Trial Data\" WHERE jet_like(\"Region\", '?ast') OR jet_like(\"Given\", '####-0#-01*') "
         "ORDER BY \"ID\"",
         {"2", "5"}},
        {"Like with lists",
         "SELECT [ID] FROM [Trial Data] WHERE [Region] Like '[n-s]*' And [Region] Not Like '[!n]orth' ORDER BY [ID]",
         "SELECT \"ID\" FROM \"Trial Data\" WHERE jet_like(\"Region\", '[n-s]*') AND NOT jet_like(\"Region\", "
         "'[!n]orth') ORDER BY \"ID\"",
         {"1", "2", "4"}},
        {"True and False",
         "SELECT Count(*) FROM [Trial Data] WHERE [Flag] = True Or [Dose] Is Null = False",
         "SELECT Count(*) FROM \"Trial Data\" WHERE \"Flag\" = -1 OR (\"Dose\" IS NULL) = 0",
         {"5"}},
        {"date literals",
         "SELECT [ID] FROM [Trial Data] WHERE [Given] = #1/15/2024# Or [Given] = #2024-02-01 8:30 AM# ORDER BY [ID]",
         "SELECT \"ID\" FROM \"Trial Data\" WHERE \"Given\" = '2024-01-15 00:00:00' OR \"Given\" = "
         "'2024-02-01 08:30:00' ORDER BY \"ID\"",
         {"1", "2", "5"}},
        {"DISTINCTROW",
         "SELECT DISTINCTROW [ID] FROM [Trial Data] WHERE [Dose] = 2",
         "SELECT \"ID\" FROM \"Trial Data\" WHERE \"Dose\" = 2",
         {"1", "3"}},
        {"DELETE *",
         "DELETE * FROM [Trial Data] WHERE [Yield] Is Null Or [Region] Is Null",
         "DELETE FROM \"Trial Data\" WHERE \"Yield\" IS NULL OR \"Region\" IS NULL",
         {"1", "4", "5"},
         "SELECT [ID] FROM [Trial Data] ORDER BY [ID]"},
        {"DELETE t.*",
         "DELETE [Trial Data].* FROM [Trial Data] WHERE [ID] > 1",
         "DELETE FROM \"Trial Data\" WHERE \"ID\" > 1",
         {"1"},
         "SELECT [ID] FROM [Trial Data]"},
        {"TOP",
         "SELECT TOP 2 [ID] FROM [Trial Data] ORDER BY [Yield] DESC",
         "SELECT \"ID\" FROM \"Trial Data\" ORDER BY \"Yield\" DESC LIMIT 2",
         {"5", "1"}},
        {"IN '<file>'",
         "SELECT [K], Sum([V]) FROM [Extra] IN '/data/other file.db' GROUP BY [K]",
         "SELECT \"K\", Sum(\"V\") FROM \"ext\".\"Extra\" GROUP BY \"K\" ORDER BY 1",
         {"1|1.5", "2|3"}},
        {"INSERT INTO IN '<file>'",
         "INSERT INTO [Extra] IN 'other.db' ([K], [V]) SELECT [ID], [Dose] FROM [Trial Data] WHERE [ID] = 4",
         "INSERT INTO \"ext\".\"Extra\" (\"K\", \"V\") SELECT \"ID\", \"Dose\" FROM \"Trial Data\" WHERE \"ID\" = 4",
         {"4|10"},
         "SELECT [K], [V] FROM [Extra] IN 'other.db' WHERE [K] > 2"},
        {"sorted DISTINCT",
         "SELECT DISTINCT [Dose] FROM [Trial Data]",
         "SELECT * FROM (SELECT DISTINCT \"Dose\" FROM \"Trial Data\") ORDER BY 1",
         {"NULL", "2", "5", "10"}},
        {"sorted DISTINCT, case-insensitive text",
         "SELECT DISTINCT [Region] FROM [Trial Data] WHERE [ID] <> 1",
         "SELECT * FROM (SELECT DISTINCT \"Region\" FROM \"Trial Data\" WHERE \"ID\" <> 1) ORDER BY 1",
         {"NULL", "East", "north", "south"}},
        {"sorted GROUP BY",
         "SELECT [Dose], Count(*) AS N FROM [Trial Data] GROUP BY [Dose]",
         "SELECT \"Dose\", Count(*) AS N FROM \"Trial Data\" GROUP BY \"Dose\" ORDER BY 1",
         {"NULL|1", "2|2", "5|1", "10|1"}},
        {"sorted GROUP BY of an unlisted field",
         "SELECT Sum([ID]) FROM [Trial Data] GROUP BY [Flag]",
         "SELECT Sum(\"ID\") FROM \"Trial Data\" GROUP BY \"Flag\" ORDER BY \"Flag\"",
         {"9", "6"}},
        {"double-quoted strings",
         "SELECT Count(*) FROM [Trial Data] WHERE [Region] = \"NORTH\" Or [Region] = \"it's\"",
         "SELECT Count(*) FROM \"Trial Data\" WHERE \"Region\" = 'NORTH' OR \"Region\" = 'it''s'",
         {"2"}},
        {"floating division", "SELECT [ID] / 2, 7 / 2 / 2, [ID] \\ 1 FROM [Trial Data] WHERE [ID] = 5", nullptr, {}},
        {"floating division",
         "SELECT [ID] / 2, 7 / 2 / 2, -[ID] / -4 FROM [Trial Data] WHERE [ID] = 5",
         "SELECT \"ID\" / CAST(2 AS REAL), 7 / CAST(2 AS REAL) / CAST(2 AS REAL), -\"ID\" / CAST(-4 AS REAL) "
         "FROM \"Trial Data\" WHERE \"ID\" = 5",
         {"2.5|1.75|1.25"}},
        {"UPDATE with & and IIf",
         "UPDATE [Trial Data] SET [Region] = IIf(IsNull([Region]), '?', [Region] & '*') WHERE [Dose] = 2",
         "UPDATE \"Trial Data\" SET \"Region\" = CASE WHEN (-(\"Region\" IS NULL)) THEN '?' ELSE "
         "jet_concat(\"Region\", '*') END WHERE \"Dose\" = 2",
         {"North*", "?"},
         "SELECT [Region] FROM [Trial Data] WHERE [Dose] = 2 ORDER BY [ID]"},
        // The summary query of the crosstab: a sum of squares inside IIf with the missing-value range.
        {"nested",
         "SELECT Sum(IIf(IsNull([Yield]), 0, IIf((0 <= [Yield]) And ([Yield] <= 11), [Yield] ^ 2, 0))) "
         "FROM [Trial Data]",
         "SELECT Sum(CASE WHEN (-(\"Yield\" IS NULL)) THEN 0 ELSE CASE WHEN (0 <= \"Yield\") AND (\"Yield\" <= 11) "
         "THEN jet_pow(\"Yield\", 2) ELSE 0 END END) FROM \"Trial Data\"",
         {"169.8125"}},
    };
    return cases;
}

class JetSqlConstructsTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(sqlite3_open(":memory:", &db_), SQLITE_OK);
        dao::RegisterJetFunctions(db_);
        char* err = nullptr;
        ASSERT_EQ(sqlite3_exec(db_, kSchema, nullptr, nullptr, &err), SQLITE_OK) << (err ? err : "");
    }
    void TearDown() override { sqlite3_close(db_); }

    static std::string Translate(const std::string& jet) {
        return dao::TranslateJetSql(jet, [](const std::string&) { return std::string("ext"); }).sql;
    }

    // The rows of an SQLite statement, each as its values joined by "|" (Null as NULL,
    // reals to 15 significant digits).
    std::vector<std::string> Run(const std::string& sql) {
        std::vector<std::string> rows;
        sqlite3_stmt* st = nullptr;
        if (sqlite3_prepare_v2(db_, sql.c_str(), -1, &st, nullptr) != SQLITE_OK) {
            ADD_FAILURE() << sqlite3_errmsg(db_) << "\n  in: " << sql;
            return rows;
        }
        int step;
        while ((step = sqlite3_step(st)) == SQLITE_ROW) {
            std::string row;
            for (int c = 0; c < sqlite3_column_count(st); ++c) {
                if (c) row += "|";
                if (sqlite3_column_type(st, c) == SQLITE_NULL) {
                    row += "NULL";
                } else if (sqlite3_column_type(st, c) == SQLITE_FLOAT) {
                    char buf[40];
                    std::snprintf(buf, sizeof buf, "%.15g", sqlite3_column_double(st, c));
                    row += buf;
                } else {
                    row += reinterpret_cast<const char*>(sqlite3_column_text(st, c));
                }
            }
            rows.push_back(row);
        }
        EXPECT_EQ(step, SQLITE_DONE) << sqlite3_errmsg(db_) << "\n  in: " << sql;
        sqlite3_finalize(st);
        return rows;
    }

    sqlite3* db_ = nullptr;
};

TEST_F(JetSqlConstructsTest, EachConstructBecomesItsSqliteTextAndGivesItsRows) {
    for (const Case& c : Cases()) {
        if (!c.sqlite) continue;  // cases that must be refused are checked below
        SCOPED_TRACE(std::string(c.construct) + ": " + c.jet);
        // Each case starts from the table as listed above.
        TearDown();
        SetUp();
        std::string sql;
        try {
            sql = Translate(c.jet);
        } catch (const std::exception& e) {
            ADD_FAILURE() << "not translated: " << e.what();
            continue;
        }
        EXPECT_EQ(sql, c.sqlite);
        if (c.check) {
            Run(sql);
            EXPECT_EQ(Run(Translate(c.check)), c.rows);
        } else {
            EXPECT_EQ(Run(sql), c.rows);
        }
    }
}

TEST_F(JetSqlConstructsTest, IntegerDivisionIsNotAConstructWeTranslate) {
    // Jet's "\" is not used by the system: it is refused rather than guessed at.
    for (const Case& c : Cases()) {
        if (c.sqlite) continue;
        SCOPED_TRACE(c.jet);
        EXPECT_THROW(Translate(c.jet), std::exception);
    }
}

}  // namespace
