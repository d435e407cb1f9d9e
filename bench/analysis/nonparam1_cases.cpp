// Paired fields, Friedman and chi-square of group frequencies against the raw
// sorted scan of the columns they read.
#include "AnalysisBench.h"

namespace {

BenchCase paired("Nonparam1: paired fields sign+Wilcoxon+Spearman, 2 pairs", 2.0, [](BenchContext& c) {
    return c.Measure({.family = "N",
                      .subType = "Paired Fields",
                      .fields = {{"G", "G"}, {"X1", "X"}, {"X2", "X"}, {"Y", "Y"}},
                      .options = {{"NPPair_Sign", true}, {"NPPair_Wilcoxon", true}, {"NPPair_Spearman", true}}},
                     "SELECT G, X1, X2, Y FROM Source ORDER BY G, X1");
});

BenchCase friedman("Nonparam1: Friedman on 4 fields", 2.0, [](BenchContext& c) {
    return c.Measure({.family = "N",
                      .subType = "N Fields",
                      .fields = {{"G", "G"}, {"X1", "X"}, {"X2", "X"}, {"X3", "X"}, {"X4", "X"}}},
                     "SELECT G, X1, X2, X3, X4 FROM Source ORDER BY G, X1");
});

BenchCase chiSquare("Nonparam1: chi-square of C20 frequencies, weighted, detail", 2.0, [](BenchContext& c) {
    return c.Measure({.family = "N",
                      .subType = "Chi-Square",
                      .fields = {{"G", "G"}, {"C20", "C"}, {"W", "W"}},
                      .options = {{"ChiDetail", true}, {"ChiAll", true}}},
                     "SELECT G, C20, W FROM Source ORDER BY G, C20");
});

}  // namespace
