// The group analyses: one-way analysis of variance over the 5-level factor
// F5 and two-way over F5 x F4, two data fields and a weight, 10 groups.
#include "AnalysisBench.h"

namespace {

ScenarioRows GroupScenario(const std::string& subType, std::vector<std::pair<std::string, std::string>> fields) {
    ScenarioRows s;
    s.family = "G";
    s.subType = subType;
    s.fields = std::move(fields);
    s.options = {{"GroupIgnoreBlanks", true}};
    return s;
}

BenchCase oneWay("ANOVA, one-way F5, X1 X2 weighted", 2.0, [](BenchContext& c) {
    return c.Measure(GroupScenario("ANOVA", {{"G", "G"}, {"F5", "C"}, {"X1", "X"}, {"X2", "X"}, {"W", "W"}}),
                     "SELECT G, F5, X1, X2, W FROM Source WHERE F5 IS NOT NULL ORDER BY G, F5");
});

BenchCase twoWay("ANOVA, two-way F5 x F4, X1 X2 weighted", 2.0, [](BenchContext& c) {
    return c.Measure(
        GroupScenario("Two way ANOVA", {{"G", "G"}, {"F5", "C"}, {"F4", "C"}, {"X1", "X"}, {"X2", "X"}, {"W", "W"}}),
        "SELECT G, F5, F4, X1, X2, W FROM Source WHERE F5 IS NOT NULL AND F4 IS NOT NULL ORDER BY G, F5");
});

}  // namespace
