// Paired fields, Friedman and chi-square of group frequencies against the raw
// sorted scan of the columns they read.
#include "AnalysisBench.h"

namespace {

BenchCase paired("Nonparam1: paired fields sign+Wilcoxon+Spearman, 2 pairs", 10.0, [](BenchContext& c) {
    ScenarioRows s;
    s.family = "N";
    s.subType = "Paired Fields";
    s.fields = {{"G", "G"}, {"X1", "X"}, {"X2", "X"}, {"Y", "Y"}};
    s.options = {{"NPPair_Sign", true}, {"NPPair_Wilcoxon", true}, {"NPPair_Spearman", true}};
    return c.Measure(s, "SELECT G, X1, X2, Y FROM Source ORDER BY G, X1");
});

BenchCase friedman("Nonparam1: Friedman on 4 fields", 10.0, [](BenchContext& c) {
    ScenarioRows s;
    s.family = "N";
    s.subType = "N Fields";
    s.fields = {{"G", "G"}, {"X1", "X"}, {"X2", "X"}, {"X3", "X"}, {"X4", "X"}};
    return c.Measure(s, "SELECT G, X1, X2, X3, X4 FROM Source ORDER BY G, X1");
});

BenchCase chiSquare("Nonparam1: chi-square of C20 frequencies, weighted, detail", 10.0, [](BenchContext& c) {
    ScenarioRows s;
    s.family = "N";
    s.subType = "Chi-Square";
    s.fields = {{"G", "G"}, {"C20", "C"}, {"W", "W"}};
    s.options = {{"ChiDetail", true}, {"ChiAll", true}};
    return c.Measure(s, "SELECT G, C20, W FROM Source ORDER BY G, C20");
});

}  // namespace
