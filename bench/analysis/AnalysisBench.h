// The analyses against the raw sorted scan of the same columns on sqlite3.
// Every analysis adds its cases in a file of its own in this folder:
//
//   static BenchCase describe("Describe, all but percentiles and mode", 3.0, [](BenchContext& c) {
//       return c.Measure({.subType = "Describe",
//                         .fields = {{"G", "G"}, {"X1", "X"}, {"X2", "X"}, {"X3", "X"}, {"X4", "X"}, {"W", "W"}},
//                         .options = {{"Mean", true}, {"VarStd", true}, {"VarNRadio", "N-1"}}},
//                        "SELECT G, X1, X2, X3, X4, W FROM Source ORDER BY G, X1");
//   });
//
// The source table "Source" (BenchContext::kRows rows by default) has:
//   G   text, 10 values "G00".."G09" (rows in random order)
//   X1..X5 doubles, about 1% Null each (X1 normal(50, 10); X2 = X1 * 0.5 + noise;
//          X3 uniform(0, 100); X4 exponential; X5 normal(0, 1))
//   Y   double = 3 + 2 X1 - X3 / 4 + noise (about 1% Null)
//   W   double weight, whole numbers 1..3
//   F2, F4, F5 text factors with 2, 4 and 5 levels; C20 text with 20 values
#pragma once

#include <functional>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "dao/Dao.h"
#include "vb/Variant.h"

struct ScenarioRows {
    std::string family = "P";
    std::string subType = "";
    std::string input = "Source";
    std::string output1 = "BenchOut1";
    std::string output2 = "BenchOut2";
    std::string missingType = "0";
    // (field name, role letter), in ordinal order
    std::vector<std::pair<std::string, std::string>> fields = {};
    // option column name -> value; the rest keep the options table's defaults
    std::map<std::string, vb::Variant> options = {};
};

struct BenchResult {
    double engineSeconds = 0;
    double rawSeconds = 0;
};

class BenchContext {
public:
    static constexpr long long kRows = 1'000'000;
    BenchContext(std::string path, dao::DatabasePtr db) : path_(std::move(path)), db_(std::move(db)) {}

    const std::string& Path() const { return path_; }
    const dao::DatabasePtr& Db() const { return db_; }
    // Writes the scenario's rows and returns its number.
    int32_t AddScenario(const ScenarioRows& s);
    // Runs the scenario through RunScenario (failing loudly when the run
    // fails) and the raw scan `rawSql` on sqlite3; extraRaw, when given, is
    // timed and added to the raw side (for work such as writing residual rows).
    BenchResult Measure(const ScenarioRows& s, const std::string& rawSql, const std::function<void()>& extraRaw = {});

private:
    std::string path_;
    dao::DatabasePtr db_;
};

struct BenchCase {
    BenchCase(std::string name, double targetRatio, std::function<BenchResult(BenchContext&)> run);
    std::string name;
    double targetRatio;
    std::function<BenchResult(BenchContext&)> run;
};

std::vector<BenchCase*>& BenchCases();
