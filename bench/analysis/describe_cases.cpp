// Describe, frequency and percentile scenarios against the raw sorted scan
// of the same columns.
#include <cstdio>
#include <random>
#include <stdexcept>

#include "AnalysisBench.h"
#include "BenchClock.h"
#include "Merivox6/Quantara.h"
#include "RawSqlite.h"

namespace {

const vb::Variant On(true);
const std::vector<std::pair<std::string, std::string>> kFields = {{"G", "G"},  {"X1", "X"}, {"X2", "X"},
                                                                  {"X3", "X"}, {"X4", "X"}, {"W", "W"}};
const char* kRaw = "SELECT G, X1, X2, X3, X4, W FROM Source ORDER BY G, X1";

BenchCase describeAll("Describe, every option but percentiles and mode", 1.5, [](BenchContext& c) {
    return c.Measure({.subType = "Describe",
                      .fields = kFields,
                      .options = {{"Range", On},
                                  {"VarStd", On},
                                  {"VarNRadio", "N-1"},
                                  {"Mean", On},
                                  {"Skew", On},
                                  {"Sum", On},
                                  {"CI", On},
                                  {"CITypeRadio", "t"},
                                  {"CI95", On},
                                  {"CIUser", int16_t(90)},
                                  {"TTestMean", On},
                                  {"TTestValue", 50.0},
                                  {"FreqN", On},
                                  {"FreqP", On},
                                  {"InterV", int16_t(20)},
                                  {"FreqIncRadio", "Lower"},
                                  {"FreqDispRadio", "Cumulative"},
                                  {"FreqGroupRadio", "Default"}}},
                     kRaw);
});

BenchCase describePercentiles("Describe, quartiles, deciles and the mode", 1.5, [](BenchContext& c) {
    // Quartiles and deciles are one option: two scenarios, timed together.
    BenchResult total;
    for (const char* radio : {"Quartiles", "Deciles"}) {
        BenchResult r =
            c.Measure({.subType = "Describe",
                       .fields = kFields,
                       .options = {{"Mean", On}, {"Mode", On}, {"Percentile", On}, {"PercentileRadio", radio}}},
                      kRaw);
        total.engineSeconds += r.engineSeconds;
        total.rawSeconds += r.rawSeconds;
    }
    return total;
});

BenchCase frequency("Frequency, 20 default intervals", 1.5, [](BenchContext& c) {
    return c.Measure({.subType = "Frequency",
                      .fields = kFields,
                      .options = {{"InterV", int16_t(20)}, {"FreqIncRadio", "Lower"}, {"FreqGroupRadio", "Default"}}},
                     kRaw);
});

BenchCase percentiles("Percentiles \"P\" (101 points)", 1.5, [](BenchContext& c) {
    return c.Measure({.subType = "Percentiles", .fields = kFields, .options = {{"PercentileRadio", "Percentiles"}}},
                     kRaw);
});

// Many small groups: a table of 100,000 groups of 3 rows, made once.
void BuildManyGroups(const dao::DatabasePtr& db) {
    if (db->TableDefs()->Contains("ManyGroups")) return;
    auto td = db->CreateTableDef("ManyGroups");
    td->Fields()->Append(td->CreateField("G", dao::dbText, 10));
    td->Fields()->Append(td->CreateField("X1", dao::dbDouble));
    db->TableDefs()->Append(td);
    std::mt19937_64 rng(20261209);
    std::normal_distribution<double> normal(50.0, 10.0);
    dao::DBEngine().BeginTrans();
    auto rs = db->OpenRecordset("ManyGroups", dao::dbOpenTable, dao::dbAppendOnly);
    for (int g = 0; g < 100000; ++g) {
        char name[16];
        std::snprintf(name, sizeof name, "M%06d", g);
        for (int i = 0; i < 3; ++i) {
            rs->AddNew();
            rs->Fields(0)->Value(std::string(name));
            rs->Fields(1)->Value(normal(rng));
            rs->Update();
        }
    }
    rs->Close();
    dao::DBEngine().CommitTrans();
}

double RunSeconds(BenchContext& c, const ScenarioRows& s) {
    const int32_t id = c.AddScenario(s);
    const auto t = bench::Clock::now();
    Quantara engine;
    if (!engine.RunScenario(id, vb::Variant(vb::ObjectPtr(c.Db()))))
        throw std::runtime_error("Describe failed: " + engine.get_ErrorInfo());
    return bench::Seconds(t);
}

// The engine side runs with the t bands (95% and a user level), the raw side
// is the same Describe without them.
BenchCase describeManyGroups("Describe with t bands, 100,000 groups of 3 (raw: without)", 1.5, [](BenchContext& c) {
    BuildManyGroups(c.Db());
    const ScenarioRows plain = {.subType = "Describe",
                                .input = "ManyGroups",
                                .fields = {{"G", "G"}, {"X1", "X"}},
                                .options = {{"Mean", On}, {"VarStd", On}, {"VarNRadio", "N-1"}}};
    ScenarioRows banded = plain;
    banded.options.insert({{"CI", On}, {"CITypeRadio", "t"}, {"CI95", On}, {"CIUser", int16_t(90)}});
    BenchResult r;
    r.rawSeconds = RunSeconds(c, plain);
    r.engineSeconds = RunSeconds(c, banded);
    return r;
});

// A number group field with an index, holding no '': the sorted read walks
// the index as a plain ORDER BY does. The raw side is the read sorted by
// NULLIF(field, ''), which cannot walk it: the whole run should take less
// than that sort alone (both plans are printed).
BenchCase describeIndexed("Describe by an indexed number field (raw: sorted by NULLIF)", 1.0, [](BenchContext& c) {
    if (!c.Db()->TableDefs()->Contains("Indexed")) {
        c.Db()->Execute("CREATE TABLE Indexed (K INTEGER, X1 REAL)");
        c.Db()->Execute("INSERT INTO Indexed SELECT Round(X3), X1 FROM Source WHERE X3 Is Not Null");
        c.Db()->Execute("CREATE INDEX IndexedKX1 ON Indexed (K, X1)");
    }
    const std::string walked = "SELECT K, X1 FROM Indexed ORDER BY K, X1";
    const std::string wrapped = "SELECT K, X1 FROM Indexed ORDER BY NULLIF(K, ''), NULLIF(X1, '')";
    static bool shown = false;
    if (!shown) {
        std::printf("plan of the sorted read:\n%swith NULLIF:\n%s", rawsqlite::QueryPlan(c.Path(), walked).c_str(),
                    rawsqlite::QueryPlan(c.Path(), wrapped).c_str());
        shown = true;
    }
    return c.Measure({.subType = "Describe",
                      .input = "Indexed",
                      .fields = {{"K", "G"}, {"X1", "X"}},
                      .options = {{"Mean", On}, {"VarStd", On}, {"VarNRadio", "N-1"}}},
                     wrapped);
});

}  // namespace
