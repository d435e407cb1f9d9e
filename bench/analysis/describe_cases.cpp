// Describe, frequency and percentile scenarios against the raw sorted scan
// of the same columns.
#include "AnalysisBench.h"

namespace {

const vb::Variant On(true);
const std::vector<std::pair<std::string, std::string>> kFields = {{"G", "G"},  {"X1", "X"}, {"X2", "X"},
                                                                  {"X3", "X"}, {"X4", "X"}, {"W", "W"}};
const char* kRaw = "SELECT G, X1, X2, X3, X4, W FROM Source ORDER BY G, X1";

BenchCase describeAll("Describe, every option but percentiles and mode", 3.0, [](BenchContext& c) {
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

BenchCase describePercentiles("Describe, quartiles, deciles and the mode", 10.0, [](BenchContext& c) {
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

BenchCase frequency("Frequency, 20 default intervals", 3.0, [](BenchContext& c) {
    return c.Measure({.subType = "Frequency",
                      .fields = kFields,
                      .options = {{"InterV", int16_t(20)}, {"FreqIncRadio", "Lower"}, {"FreqGroupRadio", "Default"}}},
                     kRaw);
});

BenchCase percentiles("Percentiles \"P\" (101 points)", 10.0, [](BenchContext& c) {
    return c.Measure({.subType = "Percentiles", .fields = kFields, .options = {{"PercentileRadio", "Percentiles"}}},
                     kRaw);
});

}  // namespace
