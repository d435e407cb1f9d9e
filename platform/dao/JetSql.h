// The Jet SQL dialect that the system's own code builds, turned into SQLite SQL.
//
// The translator works on tokens and a light recursive structure (statement
// clauses, parenthesised expressions, function arguments), never on raw text.
// What it changes:
//   [name]              -> "name"   (a name holding "]" or a control character is refused)
//   "text"              -> 'text'   (Jet reads double quotes as a string)
//   #date#              -> 'YYYY-MM-DD HH:MM:SS' (the text the layer stores dates as;
//                          m/d/yyyy or yyyy-mm-dd, optional time with AM/PM; a time
//                          alone lands on 1899-12-30)
//   True / False        -> -1 / 0
//   IIf(c, a, b)        -> CASE WHEN c THEN a ELSE b END
//   IsNull(x)           -> -(x IS NULL)          (True is -1)
//   First(x) / Last(x)  -> jet_first(x) / jet_last(x)   (the first / last non-Null value in
//                          the order rows reach the aggregate; Null when there is none)
//   a ^ b               -> jet_pow(a, b)
//   a & b               -> jet_concat(a, b)      (Null & "x" = "x", Null & Null = Null)
//   a / b               -> a / CAST(b AS REAL) (a Double quotient, as in Jet: 7 / 2 = 3.5)
//   a Mod b             -> jet_mod(a, b)         (operands rounded half to even, sign of a)
//   a [Not] Like p      -> [NOT] jet_like(a, p)  (* ? # [list] [!list], case-insensitive)
//   SELECT DISTINCTROW  -> SELECT
//   TOP n               -> LIMIT n               (rows tied with the n-th are not added)
//   DELETE [DISTINCTROW] * FROM t  -> DELETE FROM t
//   t IN '<file>'       -> "schema"."t" for every table of that FROM clause, INSERT INTO
//                          target or DELETE table (see TranslateJetSql)
//   DISTINCT or GROUP BY without ORDER BY -> ORDER BY of the distinct / grouped columns,
//                          ascending with Null first, the order Jet returns such rows in
//                          (not for SELECT DISTINCT *, whose columns are not known here).
// Everything else passes through as tokens, unchanged. Jet has no comments, so "--"
// is two minus signs and "/*" a division: the output never holds either.
//
// Errors raised (vb::VbError): 3075 syntax error in an expression, 3126 a bad
// bracketed name, 3131 a bad FROM clause, 3129 not a statement we can translate,
// 3142 characters after the end of the statement, 3360 nesting too deep to translate.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

struct sqlite3;

namespace dao {

struct ExternalTable {
    std::string path;
    std::string schema;
};  // one per distinct IN '<file>' path

struct TranslatedSql {
    std::string sql;
    std::vector<ExternalTable> externals;
};

// Turns the Jet SQL the system builds into SQLite SQL. For each IN '<file>' clause it
// calls schemaFor(path) and qualifies the table names that clause covers with the
// returned schema name ("" = leave unqualified, i.e. the statement runs where that file is).
// Raises vb::VbError (number 3075 or another fitting Jet syntax-error number, with a clear text) on SQL it cannot
// parse.
TranslatedSql TranslateJetSql(std::string_view jetSql,
                              const std::function<std::string(const std::string& path)>& schemaFor);

// Registers on a connection the SQL functions the translated SQL calls (jet_first,
// jet_last, jet_pow, jet_concat, jet_mod, jet_like), and sum, total and avg in place
// of SQLite's own: the same results, but a sum of doubles is held exactly and rounded
// once, so it has the digits the engine's own sums have on every SQLite version. It also turns off SQLite's
// reading of an unknown double-quoted name as a string in statements
// (SQLITE_DBCONFIG_DQS_DML), so that a misspelt [name] fails instead of becoming text.
void RegisterJetFunctions(sqlite3* db);

}  // namespace dao
