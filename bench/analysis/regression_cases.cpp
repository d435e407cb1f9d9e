// Multiple regression on five fields and a polynomial of order 3, each with a
// residual table, against the raw sorted scan plus writing as many rows
// through an append-only record set.
#include <string>

#include "AnalysisBench.h"

namespace {

// The number of rows a query returns (not timed).
long long CountRows(BenchContext& c, const std::string& sql) {
    auto rs = c.Db()->OpenRecordset("SELECT Count(*) AS N FROM (" + sql + ")", dao::dbOpenSnapshot);
    long long n = rs->Fields(0)->Value().ToLong();
    rs->Close();
    return n;
}

// Appends `rows` residual-shaped rows (group, five x, y, estimate, residual)
// through an append-only record set writing batches, as the engine does, in
// one transaction.
void AppendRows(BenchContext& c, const std::string& table, long long rows) {
    auto db = c.Db();
    auto td = db->CreateTableDef(table);
    td->Fields()->Append(td->CreateField("G", dao::dbText, 10));
    for (const char* f : {"X1", "X2", "X3", "X4", "X5", "Y", "Estimated_Y", "Residual"})
        td->Fields()->Append(td->CreateField(f, dao::dbDouble));
    db->TableDefs()->Append(td);
    dao::DBEngine().BeginTrans();
    auto rs = db->OpenRecordset(table, dao::dbOpenTable, dao::dbAppendOnly | dao::dbAppendInBatches);
    const vb::Variant group(std::string("G00"));
    for (long long i = 0; i < rows; ++i) {
        rs->AddNew();
        rs->Fields(0)->Value(group);
        for (int f = 1; f <= 8; ++f) rs->Fields(f)->Value(vb::Variant(static_cast<double>(i) * 0.5 + f));
        rs->Update();
    }
    rs->Close();
    dao::DBEngine().CommitTrans();
    db->TableDefs()->Delete(table);
}

// Drops the result tables an earlier case left (not timed): dropping a
// million-row residual table is no part of this case's work.
void DropLeftovers(BenchContext& c) {
    for (const char* table : {"BenchOut1", "BenchOut2"}) {
        if (c.Db()->TableDefs()->Contains(table)) c.Db()->TableDefs()->Delete(table);
    }
}

const ScenarioRows kMultiple{
    .subType = "Regression",
    .fields = {{"G", "G"}, {"X1", "X"}, {"X2", "X"}, {"X3", "X"}, {"X4", "X"}, {"X5", "X"}, {"Y", "Y"}},
    .options = {{"RegressType", "M"}, {"RYInt", true}, {"RANova", true}}};

BenchResult MeasureMultiple(BenchContext& c) {
    const std::string used =
        "SELECT G, X1, X2, X3, X4, X5, Y FROM Source WHERE X1 IS NOT NULL AND X2 IS NOT NULL AND X3 IS NOT NULL "
        "AND X4 IS NOT NULL AND X5 IS NOT NULL AND Y IS NOT NULL";
    const long long rows = CountRows(c, used);
    return c.Measure(kMultiple, "SELECT G, X1, X2, X3, X4, X5, Y FROM Source ORDER BY G, X1",
                     [&] { AppendRows(c, "BenchRaw", rows); });
}

BenchCase multi("Regression multiple, 5 fields, residual table", 1.5, [](BenchContext& c) {
    DropLeftovers(c);
    return MeasureMultiple(c);
});

// The same scenario again: it replaces the coefficient and residual tables
// the run before wrote, as a user's second run does.
BenchCase multiAgain("Regression multiple, 5 fields, residual table, run again", 1.5,
                     [](BenchContext& c) { return MeasureMultiple(c); });

BenchCase poly("Regression polynomial, order 3, residual table", 1.5, [](BenchContext& c) {
    const ScenarioRows s{.subType = "Regression",
                         .fields = {{"G", "G"}, {"X1", "X"}, {"Y", "Y"}},
                         .options = {{"RegressType", "P"}, {"RPoly", int16_t(3)}, {"RYInt", true}, {"RANova", true}}};
    const std::string used = "SELECT G, X1, Y FROM Source WHERE X1 IS NOT NULL AND Y IS NOT NULL";
    const long long rows = CountRows(c, used);
    DropLeftovers(c);
    return c.Measure(s, "SELECT G, X1, Y FROM Source ORDER BY G, X1", [&] { AppendRows(c, "BenchRaw", rows); });
});

}  // namespace
