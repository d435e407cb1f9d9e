// analysis_bench [rows] [name filter] [runs]: builds the source table, runs
// every registered case (or those whose name contains the filter, or one of
// its "|"-separated parts) `runs` times (3 by default) and prints the median
// of the engine's times beside the median of the raw sorted scan's, their
// ratio and the target. With ANALYSIS_BENCH_DB set to a path
// the database is made there and kept (for bench/regression_r.R), and a
// database already there with a source table of that many rows is used
// again instead of being built.
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <stdexcept>
#include <vector>

#include "AnalysisBench.h"
#include "BenchClock.h"
#include "Merivox6/Quantara.h"
#include "RawSqlite.h"
#include "ScenarioSchema.h"
#include "ScenarioTables.h"

namespace {

using bench::Clock;
using bench::PeakRssMb;
using bench::Seconds;

void BuildSource(const dao::DatabasePtr& db, long long rows) {
    auto td = db->CreateTableDef("Source");
    td->Fields()->Append(td->CreateField("G", dao::dbText, 10));
    for (const char* f : {"X1", "X2", "X3", "X4", "X5", "Y", "W"})
        td->Fields()->Append(td->CreateField(f, dao::dbDouble));
    for (const char* f : {"F2", "F4", "F5", "C20"}) td->Fields()->Append(td->CreateField(f, dao::dbText, 10));
    db->TableDefs()->Append(td);

    std::mt19937_64 rng(20261208);
    std::normal_distribution<double> normal(0.0, 1.0);
    std::uniform_real_distribution<double> uniform(0.0, 1.0);
    auto maybeNull = [&](double v) { return uniform(rng) < 0.01 ? vb::Variant::Null() : vb::Variant(v); };
    auto level = [&](const char* prefix, int n) {
        char buf[16];
        std::snprintf(buf, sizeof buf, "%s%02d", prefix, static_cast<int>(uniform(rng) * n));
        return vb::Variant(std::string(buf));
    };
    dao::DBEngine().BeginTrans();
    auto rs = db->OpenRecordset("Source", dao::dbOpenTable, dao::dbAppendOnly);
    for (long long i = 0; i < rows; ++i) {
        double x1 = 50 + 10 * normal(rng);
        double x3 = 100 * uniform(rng);
        rs->AddNew();
        rs->Fields(0)->Value(level("G", 10));
        rs->Fields(1)->Value(maybeNull(x1));
        rs->Fields(2)->Value(maybeNull(x1 * 0.5 + 5 * normal(rng)));
        rs->Fields(3)->Value(maybeNull(x3));
        rs->Fields(4)->Value(maybeNull(-10 * std::log(1 - uniform(rng))));
        rs->Fields(5)->Value(maybeNull(normal(rng)));
        rs->Fields(6)->Value(maybeNull(3 + 2 * x1 - x3 / 4 + normal(rng)));
        rs->Fields(7)->Value(static_cast<double>(1 + static_cast<int>(uniform(rng) * 3)));
        rs->Fields(8)->Value(level("A", 2));
        rs->Fields(9)->Value(level("B", 4));
        rs->Fields(10)->Value(level("C", 5));
        rs->Fields(11)->Value(level("K", 20));
        rs->Update();
    }
    rs->Close();
    dao::DBEngine().CommitTrans();
}

// The rows of the source table; -1 without one.
long long SourceRows(const dao::DatabasePtr& db) {
    if (!db->TableDefs()->Contains("Source")) return -1;
    auto rs = db->OpenRecordset("SELECT Count(*) AS N FROM Source", dao::dbOpenSnapshot);
    const long long n = rs->Fields(0)->Value().ToLong();
    rs->Close();
    return n;
}

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    const size_t n = v.size();
    return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

// True when the filter is empty or one of its "|"-separated parts is in the name.
bool Selected(const std::string& name, const std::string& filter) {
    if (filter.empty()) return true;
    for (size_t start = 0;;) {
        const size_t bar = filter.find('|', start);
        const std::string part = filter.substr(start, bar == std::string::npos ? std::string::npos : bar - start);
        if (!part.empty() && name.find(part) != std::string::npos) return true;
        if (bar == std::string::npos) return false;
        start = bar + 1;
    }
}

}  // namespace

std::vector<BenchCase*>& BenchCases() {
    static std::vector<BenchCase*> cases;
    return cases;
}

BenchCase::BenchCase(std::string n, double target, std::function<BenchResult(BenchContext&)> r)
    : name(std::move(n)), targetRatio(target), run(std::move(r)) {
    BenchCases().push_back(this);
}

int32_t BenchContext::AddScenario(const ScenarioRows& s) {
    auto sc = db_->OpenRecordset(std::string(store::kScenariosTable), dao::dbOpenTable);
    sc->AddNew();
    int32_t id = sc->Fields("Scenario_ID")->Value().ToLong();
    sc->Fields("Scenario_Description")->Value(s.subType);
    sc->Fields("Scenario_Analysis_Type")->Value(s.family);
    sc->Fields("Scenario_Analysis_SubType")->Value(s.subType);
    sc->Fields("Scenario_Input_Table_Name")->Value(s.input);
    sc->Fields("Scenario_Output_Table1_Name")->Value(s.output1);
    sc->Fields("Scenario_Output_Table2_Name")->Value(s.output2);
    sc->Fields("MissingType")->Value(s.missingType);
    sc->Update();
    sc->Close();
    auto op = db_->OpenRecordset(std::string(store::kOptionsTable), dao::dbOpenTable);
    op->AddNew();
    op->Fields("Scenario_ID")->Value(id);
    for (const auto& [name, value] : s.options) op->Fields(name)->Value(value);
    op->Update();
    op->Close();
    auto fl = db_->OpenRecordset(std::string(store::kFieldsTable), dao::dbOpenTable);
    int16_t position = 0;
    for (const auto& [name, role] : s.fields) {
        fl->AddNew();
        fl->Fields("Scenario_ID")->Value(id);
        fl->Fields("FieldDef_Name")->Value(name);
        fl->Fields("FieldDef_Choice")->Value(role);
        fl->Fields("FieldDef_Ordinal_Position")->Value(++position);
        fl->Update();
    }
    fl->Close();
    return id;
}

BenchResult BenchContext::Measure(const ScenarioRows& s, const std::string& rawSql,
                                  const std::function<void()>& extraRaw) {
    int32_t id = AddScenario(s);
    BenchResult r;
    auto t = Clock::now();
    {
        Quantara engine;
        if (!engine.RunScenario(id, vb::Variant(vb::ObjectPtr(db_))))
            throw std::runtime_error(s.subType + " failed: " + engine.get_ErrorInfo());
    }
    r.engineSeconds = Seconds(t);
    t = Clock::now();
    rawsqlite::WalkQuery(path_, rawSql);
    if (extraRaw) extraRaw();
    r.rawSeconds = Seconds(t);
    return r;
}

int main(int argc, char** argv) {
    long long rows = argc > 1 ? std::atoll(argv[1]) : BenchContext::kRows;
    std::string filter = argc > 2 ? argv[2] : "";
    const int runs = std::max(1, argc > 3 ? std::atoi(argv[3]) : 3);
    const char* kept = std::getenv("ANALYSIS_BENCH_DB");
    auto dir = std::filesystem::temp_directory_path() / ("merivox_analysis_bench_" + std::to_string(::getpid()));
    std::string path = kept && *kept ? std::string(kept) : (dir / "bench.db").string();
    if (!kept || !*kept) std::filesystem::create_directories(dir);
    int failures = 0;
    try {
        dao::DatabasePtr db;
        if (kept && *kept && std::filesystem::exists(path)) {
            db = dao::DBEngine().OpenDatabase(path);
            if (SourceRows(db) != rows) {
                db->Close();
                std::filesystem::remove(path);
                db = nullptr;
            }
        }
        if (db) {
            std::printf("using the %lld source rows in %s\n\n", rows, path.c_str());
        } else {
            db = dao::DBEngine().CreateDatabase(path);
            for (const auto* schema : {&store::ScenariosSchema(), &store::OptionsSchema(), &store::FieldsSchema()})
                store::BuildTable(*db, *schema);
            auto t = Clock::now();
            BuildSource(db, rows);
            std::printf("built %lld source rows in %.1f s\n\n", rows, Seconds(t));
        }
        std::fflush(stdout);
        std::printf("median of %d runs of each case\n", runs);
        std::printf("%-60s %10s %10s %7s %7s\n", "case", "engine s", "raw s", "ratio", "target");
        BenchContext context(path, db);
        for (BenchCase* c : BenchCases()) {
            if (!Selected(c->name, filter)) continue;
            // Each side's median over the runs: a moment's load on a shared
            // machine moves a single timing by a fifth and more.
            std::vector<double> engine, raw;
            for (int i = 0; i < runs; ++i) {
                const BenchResult one = c->run(context);
                engine.push_back(one.engineSeconds);
                raw.push_back(one.rawSeconds);
            }
            const BenchResult r{Median(engine), Median(raw)};
            double ratio = r.rawSeconds > 0 ? r.engineSeconds / r.rawSeconds : 0;
            bool ok = ratio <= c->targetRatio;
            failures += ok ? 0 : 1;
            std::printf("%-60s %10.2f %10.2f %7.2f %7.1f %s\n", c->name.c_str(), r.engineSeconds, r.rawSeconds, ratio,
                        c->targetRatio, ok ? "" : "MISSED");
            std::fflush(stdout);
        }
        std::printf("\npeak resident memory: %.0f MB\n", PeakRssMb());
        db->Close();
    } catch (const std::exception& e) {
        std::fprintf(stderr, "analysis_bench: %s\n", e.what());
        failures = -1;
    }
    if (!kept || !*kept) std::filesystem::remove_all(dir);
    return failures == 0 ? 0 : 1;
}
