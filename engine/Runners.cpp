// The runners: each turns the stored options of the current scenario into
// the arguments of one analysis entry, calls it once and returns its text,
// or its own check message without calling it.
#include "ErrorStack.h"
#include "RunContext.h"
#include "QuantaraImpl.h"
#include "Runners.h"
#include "ScenarioSchema.h"
#include "analysis/AnalysisEntries.h"
#include "vb/Conversions.h"

namespace engine {

using vb::EqualsNoCase;
using vb::Flag;

namespace {

std::string FirstLetter(const std::string& text) { return vb::Left(text, 1); }

// Null counts as 0; anything else converts as a Double.
double DoubleOrZero(const vb::Variant& value) { return value.IsNull() ? 0.0 : value.ToDouble(); }

// The interval letter and, for given intervals, their first value and width;
// default intervals are left to the analysis (RunContext::ResolveFrequencyDefaults).
// Returns its text.
std::string IntervalOptions(RunContext& q, const CZantelsScenario& s, FieldNames& strFields, int16_t nG, int16_t nX,
                            bool fFraction, bool fLower, std::string& options, double& first, double& width) {
    if (!EqualsNoCase(s.FreqGroupRadio(), "Default")) {
        // Given intervals need both values; the stored rule lets either be empty.
        if (s.FreqInit().IsNull())
            return "FreqInit, the first interval's lower bound, is empty: given intervals need it";
        if (s.FreqWidth().IsNull()) return "FreqWidth, the interval width, is empty: given intervals need it";
        options += "Y";
        first = s.FreqInit().ToDouble();
        width = s.FreqWidth().ToDouble();
        return {};
    }
    options += "N";
    // The analysis's sorted read gathers the bounds as it sorts.
    q.DeferFrequencyDefaults(fFraction, s.InterV(), fLower, s.Table(), strFields, nG, nX);
    return {};
}

}  // namespace

std::string RunDescribe_s_Zelk(RunContext& q, const CZantelsScenario& s, FieldNames& strFields, int16_t nG, int16_t nX,
                               bool fW) {
    ProcScope scope(ErrStack(), "RunDescribe_s_Zelk");
    const std::string var = s.VarStd() ? s.VarNRadio() : std::string();
    const std::string pcntiles = s.Percentile() ? FirstLetter(s.PercentileRadio()) : "-";
    const std::string conInt = s.CI() ? FirstLetter(s.CITypeRadio()) : "-";
    // Any other letter would run with success and write no interval at all.
    if (s.CI() && !EqualsNoCase(conInt, "T") && !EqualsNoCase(conInt, "N"))
        return "CITypeRadio holds \"" + s.CITypeRadio() +
               "\", which is no confidence interval method: \"t-Test\" or \"Normal\"";
    const int16_t ciUser = s.CIUser().IsNull() ? int16_t(0) : s.CIUser().ToInteger();
    std::vector<double> popDev(static_cast<size_t>(nX) + 1, 0.0);
    std::vector<double> popMean(static_cast<size_t>(nX) + 1, 0.0);
    // Normal intervals rest on the given deviation, which must be above 0: an
    // empty one is refused as a 0 would be, not run as a band of no width.
    if (s.CI() && EqualsNoCase(conInt, "N") && s.CIStdDev().IsNull())
        return "CIStdDev, the standard deviation for Normal confidence intervals, is empty: Normal intervals need it";
    const double stdDev = DoubleOrZero(s.CIStdDev());
    for (int16_t i = 1; i <= nX; ++i) {
        popDev[static_cast<size_t>(i)] = stdDev;
        popMean[static_cast<size_t>(i)] = s.TTestValue();
    }

    std::string freq;
    int16_t intervals = 0;
    double first = 0;
    double width = 0;
    if (s.FreqN() && s.FreqP()) {
        freq = "B";
    } else if (s.FreqN()) {
        freq = "N";
    } else if (s.FreqP()) {
        freq = "P";
    } else {
        freq = "-";
    }
    if (freq != "-") {
        const bool lower = EqualsNoCase(s.FreqIncRadio(), "Lower");
        freq += "C";
        freq += EqualsNoCase(s.FreqDispRadio(), "Count") ? "N" : "Y";
        freq += YesNoLetter(lower);
        intervals = s.InterV();
        std::string err = IntervalOptions(q, s, strFields, nG, nX, false, lower, freq, first, width);
        if (!err.empty()) return err;
    }
    return AnalysisEntries().Describe(s.OutputTable1(), s.Table(), strFields, nG, nX, fW, Flag(s.Range()), var,
                                      Flag(s.Sum()), Flag(s.Mean()), Flag(s.Skew()), Flag(s.Mode()), pcntiles, conInt,
                                      Flag(s.CI95()), ciUser, popDev, Flag(s.TTestMean()), popMean, freq, intervals,
                                      first, width, q);
}

std::string RunFrequency_s_Zelk(RunContext& q, const CZantelsScenario& s, FieldNames& strFields, int16_t nG, int16_t nX,
                                bool fW) {
    ProcScope scope(ErrStack(), "RunFrequency_s_Zelk");
    const bool lower = EqualsNoCase(s.FreqIncRadio(), "Lower");
    std::string freq = s.FreqSum() ? "S" : "-";
    freq += YesNoLetter(lower);
    double first = 0;
    double width = 0;
    std::string err = IntervalOptions(q, s, strFields, nG, nX, true, lower, freq, first, width);
    if (!err.empty()) return err;
    return AnalysisEntries().Frequency(s.OutputTable1(), s.Table(), strFields, nG, nX, Flag(fW), freq, s.InterV(),
                                       first, width, q);
}

std::string RunPercentile_s_Zelk(RunContext& q, const CZantelsScenario& s, FieldNames& strFields, int16_t nG,
                                 int16_t nX, bool fW) {
    ProcScope scope(ErrStack(), "RunPercentile_s_Zelk");
    return AnalysisEntries().Percentile(s.OutputTable1(), s.Table(), strFields, nG, nX, fW,
                                        FirstLetter(s.PercentileRadio()), q);
}

std::string RunCompare_s_Zelk(RunContext& q, const CZantelsScenario& s, FieldNames& strFields, int16_t nG, int16_t nX,
                              bool fY, bool fW) {
    ProcScope scope(ErrStack(), "RunCompare_s_Zelk");
    if (!fY) return "Y Field not assigned";
    const std::string options =
        YesNoLetter(s.CountXY()) + YesNoLetter(s.MeanXY()) + YesNoLetter(s.CorrXY()) + YesNoLetter(s.TTest()) + "N";
    return AnalysisEntries().Compare(s.OutputTable1(), s.Table(), strFields, nG, nX, fW, options, q);
}

std::string RunMatrix_s_Zelk(RunContext& q, const CZantelsScenario& s, FieldNames& strFields, int16_t nG, int16_t nX,
                             bool fW) {
    ProcScope scope(ErrStack(), "RunMatrix_s_Zelk");
    std::string options;
    for (bool flag : {s.MCnt(), s.MMis(), s.MMean(), s.MDev(), s.MCov(), s.MCor(), s.MR2(), s.MT(), s.MProb()}) {
        options += YesNoLetter(flag);
    }
    return AnalysisEntries().Matrix(s.OutputTable1(), s.Table(), strFields, nG, nX, Flag(fW),
                                    FirstLetter(s.MProbTail()), options, q);
}

std::string RunRegression_s_Zelk(RunContext& q, const CZantelsScenario& s, FieldNames& strFields, int16_t nG,
                                 int16_t nX, bool fW) {
    ProcScope scope(ErrStack(), "RunRegression_s_Zelk");
    const std::string& type = s.RegressType();
    const bool anova = s.RAnova();
    if (EqualsNoCase(type, "S")) {
        return AnalysisEntries().RegressSimple(s.OutputTable1(), s.OutputTable2(), s.Table(), strFields, nG, nX, fW,
                                               anova, Flag(s.RYInt()), 0, q);
    }
    if (EqualsNoCase(type, "M")) {
        return AnalysisEntries().RegressMulti(s.OutputTable1(), s.OutputTable2(), s.Table(), strFields, nG, nX, fW,
                                              anova, Flag(s.RYInt()), 0, q);
    }
    if (EqualsNoCase(type, "P")) {
        return AnalysisEntries().RegressPoly(s.OutputTable1(), s.OutputTable2(), s.Table(), strFields, nG, nX, fW,
                                             anova, s.RYInt(), 0, s.RPoly(), q);
    }
    // Succeeding without output would hide a broken scenario.
    return "Unknown regression type: " + type;
}

std::string RunCrosstab_s_Zelk(RunContext& q, const CZantelsScenario& s, FieldNames& strFields, int16_t nG, int16_t nX,
                               bool fW) {
    ProcScope scope(ErrStack(), "RunCrosstab_s_Zelk");
    std::string type = s.XType();
    std::string options;
    for (bool flag : {s.XRowPCnt(), s.XColPcnt(), s.XTotPcnt(), s.XExpectPcnt(), s.XExpect(), s.XChi()}) {
        options += YesNoLetter(flag);
    }
    if (nG < 1) return "At least one row field must be assigned";
    std::string out1 = s.OutputTable1();
    std::string out2 = s.OutputTable2();
    std::string table = s.Table();
    int16_t rows = nG;
    int16_t fields = nX;
    int16_t weight = Flag(fW);
    return AnalysisEntries().Xtab(out1, out2, table, strFields, rows, fields, weight, type, options, q);
}

std::string RunGroup_s_Zelk(RunContext& q, const CZantelsScenario& s, FieldNames& strFields, int16_t nG, int16_t nC,
                            int16_t nX, bool fW) {
    ProcScope scope(ErrStack(), "RunGroup_s_Zelk");
    const store::AnalysisDef* analysis = store::FindAnalysis(s.CalcType());
    // The entry runs the t-test and the analyses of variance; any other
    // analysis run here would silently be an ANOVA.
    if (analysis && analysis->id != store::Analysis::TwoSampleTTest && analysis->id != store::Analysis::Anova &&
        analysis->id != store::Analysis::TwoWayAnova)
        return "The group runner runs the t-test and the analyses of variance, not " + std::string(analysis->subType) +
               ": give it a runner of its own";
    const std::string calcType = analysis && analysis->id == store::Analysis::TwoSampleTTest ? "T" : "A";
    // Blank group values take part unless the scenario ignores them.
    const int16_t incBlank = Flag(!s.GroupIgnoreBlanks());
    return AnalysisEntries().ANOVA(calcType, incBlank, s.OutputTable1(), s.OutputTable2(), s.Table(), strFields, nG, nC,
                                   nX, fW, q);
}

std::string RunChiSquare_s_Zelk(RunContext& q, const CZantelsScenario& s, FieldNames& strFields, int16_t nG, int16_t nC,
                                bool fW) {
    ProcScope scope(ErrStack(), "RunChiSquare_s_Zelk");
    return AnalysisEntries().ChiSquare(s.OutputTable1(), s.OutputTable2(), s.Table(), strFields, nG, nC, Flag(fW),
                                       s.ChiDetail(), Flag(!s.ChiIgnoreBlanks()), s.ChiAll(), q);
}

std::string RunSignFit_s_Zelk(RunContext& q, const std::string& mode, const CZantelsScenario& s, FieldNames& strFields,
                              int16_t nG, int16_t nX, bool fW) {
    ProcScope scope(ErrStack(), "RunSignFit_s_Zelk");
    std::vector<int16_t> fitTests(4, 0);
    const bool fit = EqualsNoCase(mode, "Fit");
    double custom = 0;
    bool mean = false;
    bool median = false;
    bool customTest = false;
    if (!fit) {
        mean = s.SignMean();
        median = s.SignMedian();
        customTest = s.SignCustom();
        // A custom test against a value nobody gave is refused, not run against 0.
        if (customTest && s.SignValue().IsNull())
            return "SignValue, the value of the custom sign test, is empty: a custom test needs it";
        if (customTest) custom = s.SignValue().ToDouble();
    } else {
        fitTests[1] = Flag(s.FitUniform());
        fitTests[2] = Flag(s.FitNormal());
        fitTests[3] = Flag(s.FitPoisson());
    }
    return AnalysisEntries().SignFitTest(s.OutputTable1(), s.Table(), strFields, nG, nX, fW, fit, fitTests, mean,
                                         median, customTest, custom, q);
}

std::string RunNPPaired_s_Zelk(RunContext& q, const CZantelsScenario& s, FieldNames& strFields, int16_t nG, int16_t nX,
                               bool fY, bool fW) {
    ProcScope scope(ErrStack(), "RunNPPaired_s_Zelk");
    if (!fY) return "Y Field not assigned";
    std::vector<double> signTest(static_cast<size_t>(nX) + 1, 0.0);
    const int16_t yField = static_cast<int16_t>(nG + nX + 1);
    int16_t twoSign = Flag(s.NPPair_Sign());
    int16_t wilcoxon = Flag(s.NPPair_Wilcoxon());
    int16_t spearman = Flag(s.NPPair_Spearman());
    int16_t tau = 0;
    int16_t chi = 0;
    return AnalysisEntries().NonParametric(s.OutputTable1(), s.Table(), strFields, nG, nX, yField, fW, 0, signTest,
                                           twoSign, wilcoxon, spearman, tau, chi, q);
}

namespace {
std::string CompareFieldCheck(int16_t nC) {
    if (nC == 0) return "At least one Compare field must be assigned";
    if (nC > 1) return "Only one Compare field may be assigned";
    return {};
}
}  // namespace

std::string RunNPTwoSample_s_Zelk(RunContext& q, const CZantelsScenario& s, FieldNames& strFields, int16_t nG,
                                  int16_t nC, int16_t nX, bool fW) {
    ProcScope scope(ErrStack(), "RunNPTwoSample_s_Zelk");
    std::string err = CompareFieldCheck(nC);
    if (!err.empty()) return err;
    // The compare field follows the group fields, so it becomes the last grouping field.
    const int16_t groups = static_cast<int16_t>(nG + 1);
    const std::string& type = s.NPTwoType();
    if (EqualsNoCase(type, "Wald")) {
        return AnalysisEntries().NonParametricRuns(s.OutputTable1(), s.Table(), strFields, groups, nX, Flag(fW),
                                                   vb::kTrue, q);
    }
    if (EqualsNoCase(type, "Mann")) {
        return AnalysisEntries().MannKSKruskal(s.OutputTable1(), "", s.Table(), strFields, groups, nX, fW, vb::kTrue,
                                               vb::kTrue, vb::kFalse, q);
    }
    return "Unknown two-sample test type: " + type;
}

std::string RunNPNSample_s_Zelk(RunContext& q, const std::string& Table, const std::string& OutputTable1,
                                const std::string& OutputTable2, FieldNames& strFields, int16_t nG, int16_t nC,
                                int16_t nX, bool fW) {
    ProcScope scope(ErrStack(), "RunNPNSample_s_Zelk");
    std::string err = CompareFieldCheck(nC);
    if (!err.empty()) return err;
    return AnalysisEntries().MannKSKruskal(OutputTable1, OutputTable2, Table, strFields, static_cast<int16_t>(nG + 1),
                                           nX, fW, vb::kFalse, vb::kFalse, vb::kTrue, q);
}

}  // namespace engine
