// Field comparison, correlation matrix and cross-tabulation against the raw
// sorted scan of the same columns. Each case writes tables of its own names.
#include "AnalysisBench.h"

static BenchCase compareCase("Compare, 2 field pairs, weighted, all blocks", 2.0, [](BenchContext& c) {
    return c.Measure({.subType = "Compare",
                      .output1 = "BenchCompare",
                      .fields = {{"G", "G"}, {"X1", "X"}, {"X2", "X"}, {"Y", "Y"}, {"W", "W"}},
                      .options = {{"CountXY", true}, {"MeanXY", true}, {"CorrXY", true}, {"TTest", true}}},
                     "SELECT G, X1, X2, Y, W FROM Source ORDER BY G, X1");
});

static BenchCase matrixCase("Matrix, 6 fields, every measure", 1.5, [](BenchContext& c) {
    return c.Measure({.subType = "Matrix",
                      .output1 = "BenchMatrix",
                      .fields = {{"X1", "X"}, {"X2", "X"}, {"X3", "X"}, {"X4", "X"}, {"X5", "X"}, {"Y", "X"}},
                      .options = {{"MCnt", true},
                                  {"MMis", true},
                                  {"MMean", true},
                                  {"MDev", true},
                                  {"MCov", true},
                                  {"MCor", true},
                                  {"MR2", true},
                                  {"MT", true},
                                  {"MProb", true},
                                  {"MProbTail", "2-tail"}}},
                     "SELECT X1, X2, X3, X4, X5, Y FROM Source ORDER BY X1");
});

static BenchCase crosstabCase("Crosstab, count 10 x 20 with percents and chi-square", 1.5, [](BenchContext& c) {
    return c.Measure({.subType = "Crosstab",
                      .output1 = "BenchCrosstab",
                      .output2 = "BenchCrosstabChi",
                      .fields = {{"G", "G"}, {"C20", "C"}, {"X1", "X"}},
                      .options = {{"XType", "C"},
                                  {"XRowPCnt", true},
                                  {"XColPcnt", true},
                                  {"xTotPcnt", true},
                                  {"xExpectPcnt", true},
                                  {"xExpect", true},
                                  {"xChi", true}}},
                     "SELECT G, C20, X1 FROM Source ORDER BY G, C20");
});

static BenchCase
    crosstabSpreadCase("Crosstab, weighted standard deviation 10 x 20, 2 fields", 2.0, [](BenchContext& c) {
        return c.Measure({.subType = "Crosstab",
                          .output1 = "BenchCrosstabSd",
                          .fields = {{"G", "G"}, {"C20", "C"}, {"X1", "X"}, {"X2", "X"}, {"W", "W"}},
                          .options = {{"XType", "D"}, {"XRowPCnt", true}}},
                         "SELECT G, C20, X1, X2, W FROM Source ORDER BY G, C20");
    });
