// Mann-Whitney with the two-sample Kolmogorov-Smirnov test, Kruskal-Wallis,
// the runs test, the sign test and the Kolmogorov-Smirnov fit, each against
// the raw sorted scan of the columns it reads.
#include "AnalysisBench.h"

namespace {

ScenarioRows NonParam(const std::string& subType, const std::string& compare) {
    ScenarioRows s;
    s.family = "N";
    s.subType = subType;
    s.fields = {{"G", "G"}};
    if (!compare.empty()) s.fields.push_back({compare, "C"});
    s.fields.push_back({"X1", "X"});
    return s;
}

BenchCase mannWhitney("Nonparam2: Mann-Whitney with two-sample K-S", 2.0, [](BenchContext& c) {
    ScenarioRows s = NonParam("2 Sample", "F2");
    s.options = {{"NPTwoType", "Mann"}};
    return c.Measure(s, "SELECT G, F2, X1 FROM Source ORDER BY G, F2, X1");
});

BenchCase kruskal("Nonparam2: Kruskal-Wallis, 5 levels", 2.0, [](BenchContext& c) {
    ScenarioRows s = NonParam("N Sample", "F5");
    return c.Measure(s, "SELECT G, F5, X1 FROM Source ORDER BY G, F5, X1");
});

BenchCase runs("Nonparam2: runs test", 2.0, [](BenchContext& c) {
    ScenarioRows s = NonParam("2 Sample", "F2");
    s.options = {{"NPTwoType", "Wald"}};
    return c.Measure(s, "SELECT G, F2, X1 FROM Source ORDER BY G, X1, F2");
});

BenchCase sign("Nonparam2: sign test, mean, median and value", 2.0, [](BenchContext& c) {
    ScenarioRows s = NonParam("Sign Test", "");
    s.options = {{"SignMean", true}, {"SignMedian", true}, {"SignCustom", true}, {"SignValue", 50.0}};
    return c.Measure(s, "SELECT G, X1 FROM Source ORDER BY G, X1");
});

BenchCase fit("Nonparam2: K-S goodness of fit", 2.0, [](BenchContext& c) {
    ScenarioRows s = NonParam("K-S Fit", "");
    s.options = {{"FitUniform", true}, {"FitNormal", true}, {"FitPoisson", true}};
    return c.Measure(s, "SELECT G, X1 FROM Source ORDER BY G, X1");
});

}  // namespace
