// Each runner's arguments for representative stored options, recorded by a
// stand-in in place of the analysis entry.
#include <cmath>

#include "EngineTestSupport.h"
#include "QuantaraImpl.h"
#include "Runners.h"
#include "RunContext.h"
#include "RunContextSupport.h"
#include "analysis/AnalysisEntries.h"

using namespace enginetest;

namespace {

FieldNames Names(std::initializer_list<const char*> names) {
    FieldNames out{""};
    for (const char* n : names) out.emplace_back(n);
    return out;
}

class Runners : public ::testing::Test {
protected:
    Runners() {
        s.Table("Data");
        s.OutputTable1("Out1");
        s.OutputTable2("Out2");
    }
    ScopedAnalysisEntries entries;
    RunContext q;
    CZantelsScenario s;
    FieldNames fields = Names({"g", "x1", "x2", "w"});
};

struct DescribeArgs {
    std::string out, table, var, pcntiles, conInt, freq;
    int16_t nG = 0, nX = 0, range = 0, sum = 0, means = 0, skew = 0, mode = 0, ci95 = 0, ciUser = 0, tTest = 0,
            intervals = 0;
    bool fW = false;
    std::vector<double> popDev, popMean;
    double first = 0, width = 0;
    int calls = 0;
};

void RecordDescribe(DescribeArgs& a) {
    AnalysisEntries().Describe =
        [&a](const std::string& out, const std::string& table, FieldNames&, int16_t nG, int16_t nX, bool fW,
             int16_t range, const std::string& var, int16_t sum, int16_t means, int16_t skew, int16_t mode,
             const std::string& pcntiles, const std::string& conInt, int16_t ci95, int16_t ciUser,
             std::vector<double>& popDev, int16_t tTest, std::vector<double>& popMean, const std::string& freq,
             int16_t intervals, double first, double width, RunContext& q) {
            // Default intervals are resolved as the analysis resolves them.
            if (std::string err = q.ResolveFrequencyDefaults(first, width); !err.empty()) return err;
            a = {out,  table, var,    pcntiles, conInt,    freq, nG,     nX,      range, sum,   means,      skew,
                 mode, ci95,  ciUser, tTest,    intervals, fW,   popDev, popMean, first, width, a.calls + 1};
            return std::string();
        };
}

}  // namespace

TEST_F(Runners, DescribeWithoutFrequenciesOrPercentiles) {
    DescribeArgs a;
    RecordDescribe(a);
    s.Range(true);
    s.VarStd(false);
    s.VarNRadio("N");
    s.Sum(true);
    s.Mode(true);
    s.Percentile(false);
    s.PercentileRadio("Quartiles");
    s.CI(true);
    s.CITypeRadio("Normal");
    s.CI95(true);
    s.CIUser(vb::Variant(2.5));  // half goes to the even neighbour
    s.CIStdDev(vb::Variant(1.5));
    s.TTestMean(true);
    s.TTestValue(10);
    s.InterV(7);
    EXPECT_EQ(engine::RunDescribe_s_Zelk(q, s, fields, 1, 2, true), "");
    EXPECT_EQ(a.calls, 1);
    EXPECT_EQ(a.out, "Out1");
    EXPECT_EQ(a.table, "Data");
    EXPECT_EQ(a.nG, 1);
    EXPECT_EQ(a.nX, 2);
    EXPECT_TRUE(a.fW);
    EXPECT_EQ(a.range, -1);
    EXPECT_EQ(a.var, "");
    EXPECT_EQ(a.sum, -1);
    EXPECT_EQ(a.means, 0);
    EXPECT_EQ(a.mode, -1);
    EXPECT_EQ(a.pcntiles, "-");
    EXPECT_EQ(a.conInt, "N");
    EXPECT_EQ(a.ci95, -1);
    EXPECT_EQ(a.ciUser, 2);
    EXPECT_EQ(a.popDev, (std::vector<double>{0, 1.5, 1.5}));
    EXPECT_EQ(a.tTest, -1);
    EXPECT_EQ(a.popMean, (std::vector<double>{0, 10, 10}));
    EXPECT_EQ(a.freq, "-");
    EXPECT_EQ(a.intervals, 0);
    EXPECT_EQ(a.first, 0);
    EXPECT_EQ(a.width, 0);

    s.VarStd(true);
    s.Percentile(true);
    s.CI(false);
    s.CIUser(vb::Variant::Null());
    s.CIStdDev(vb::Variant::Null());
    EXPECT_EQ(engine::RunDescribe_s_Zelk(q, s, fields, 1, 2, false), "");
    EXPECT_EQ(a.var, "N");
    EXPECT_EQ(a.pcntiles, "Q");
    EXPECT_EQ(a.conInt, "-");
    EXPECT_EQ(a.ciUser, 0);
    EXPECT_EQ(a.popDev, (std::vector<double>{0, 0, 0}));
}

TEST_F(Runners, DescribeWithSpecifiedFrequencyIntervals) {
    DescribeArgs a;
    RecordDescribe(a);
    s.FreqN(true);
    s.FreqP(true);
    s.FreqDispRadio("count");
    s.FreqIncRadio("Upper");
    s.FreqGroupRadio("Specified");
    s.FreqInit(vb::Variant(2.0));
    s.FreqWidth(vb::Variant(0.5));
    s.InterV(4);
    EXPECT_EQ(engine::RunDescribe_s_Zelk(q, s, fields, 1, 2, true), "");
    EXPECT_EQ(a.freq, "BCNNY");
    EXPECT_EQ(a.intervals, 4);
    EXPECT_EQ(a.first, 2.0);
    EXPECT_EQ(a.width, 0.5);
}

TEST_F(Runners, FrequencyAndPercentiles) {
    std::string freq;
    int16_t weight = 0, intervals = 0;
    double first = 0, width = 0;
    AnalysisEntries().Frequency = [&](const std::string&, const std::string&, FieldNames&, int16_t, int16_t, int16_t w,
                                      const std::string& f, int16_t n, double fi, double wi, RunContext&) {
        freq = f;
        weight = w;
        intervals = n;
        first = fi;
        width = wi;
        return std::string();
    };
    s.FreqSum(false);
    s.FreqIncRadio("Upper");
    s.FreqGroupRadio("Specified:");
    s.FreqInit(vb::Variant(1.0));
    s.FreqWidth(vb::Variant(3.0));
    s.InterV(6);
    EXPECT_EQ(engine::RunFrequency_s_Zelk(q, s, fields, 1, 2, true), "");
    EXPECT_EQ(freq, "-NY");
    EXPECT_EQ(weight, -1);
    EXPECT_EQ(intervals, 6);
    EXPECT_EQ(first, 1.0);
    EXPECT_EQ(width, 3.0);

    std::string letter;
    AnalysisEntries().Percentile = [&](const std::string&, const std::string&, FieldNames&, int16_t, int16_t, bool,
                                       const std::string& p, RunContext&) {
        letter = p;
        return std::string();
    };
    s.Percentile(false);
    for (const auto& [radio, expected] : std::vector<std::pair<const char*, const char*>>{
             {"Median", "M"}, {"Quartiles", "Q"}, {"5", "5"}, {"Deciles", "D"}, {"Percentiles", "P"}}) {
        s.PercentileRadio(radio);
        EXPECT_EQ(engine::RunPercentile_s_Zelk(q, s, fields, 1, 2, false), "");
        EXPECT_EQ(letter, expected);
    }
}

TEST_F(Runners, CompareAndMatrixOptionLetters) {
    std::string options;
    AnalysisEntries().Compare = [&](const std::string&, const std::string&, FieldNames&, int16_t, int16_t, bool,
                                    const std::string& o, RunContext&) {
        options = o;
        return std::string();
    };
    s.CountXY(true);
    s.TTest(true);
    EXPECT_EQ(engine::RunCompare_s_Zelk(q, s, fields, 1, 1, false, false), "Y Field not assigned");
    EXPECT_EQ(options, "");
    EXPECT_EQ(engine::RunCompare_s_Zelk(q, s, fields, 1, 1, true, false), "");
    EXPECT_EQ(options, "YNNYN");

    std::string tail;
    int16_t weight = 0;
    AnalysisEntries().Matrix = [&](const std::string&, const std::string&, FieldNames&, int16_t, int16_t, int16_t w,
                                   const std::string& t, const std::string& o, RunContext&) {
        tail = t;
        options = o;
        weight = w;
        return std::string();
    };
    s.MCnt(true);
    s.MCov(true);
    s.MProb(true);
    s.MProbTail("2-tail");
    EXPECT_EQ(engine::RunMatrix_s_Zelk(q, s, fields, 1, 2, true), "");
    EXPECT_EQ(tail, "2");
    EXPECT_EQ(options, "YNNNYNNNY");
    EXPECT_EQ(weight, -1);
}

TEST_F(Runners, RegressionChoosesTheEntryByType) {
    std::string called;
    std::string residual;
    bool anova = false;
    int16_t yInt = 0, ci = 1, order = 0;
    AnalysisEntries().RegressSimple = [&](const std::string&, const std::string& r, const std::string&, FieldNames&,
                                          int16_t, int16_t, bool, bool a, int16_t y, int16_t c, RunContext&) {
        called = "S";
        residual = r;
        anova = a;
        yInt = y;
        ci = c;
        return std::string();
    };
    AnalysisEntries().RegressMulti = [&](const std::string&, const std::string&, const std::string&, FieldNames&,
                                         int16_t, int16_t, bool, bool, int16_t, int16_t, RunContext&) {
        called = "M";
        return std::string();
    };
    AnalysisEntries().RegressPoly = [&](const std::string&, const std::string&, const std::string&, FieldNames&,
                                        int16_t, int16_t, bool, bool, bool y, int16_t, int16_t o, RunContext&) {
        called = "P";
        yInt = y ? -1 : 0;
        order = o;
        return std::string();
    };
    s.RAnova(true);
    s.RYInt(true);
    s.RPoly(3);
    s.RegressType("S");
    EXPECT_EQ(engine::RunRegression_s_Zelk(q, s, fields, 1, 1, false), "");
    EXPECT_EQ(called, "S");
    EXPECT_EQ(residual, "Out2");
    EXPECT_TRUE(anova);
    EXPECT_EQ(yInt, -1);
    EXPECT_EQ(ci, 0);
    s.RegressType("m");
    EXPECT_EQ(engine::RunRegression_s_Zelk(q, s, fields, 1, 1, false), "");
    EXPECT_EQ(called, "M");
    s.RegressType("P");
    s.RYInt(false);
    EXPECT_EQ(engine::RunRegression_s_Zelk(q, s, fields, 1, 1, false), "");
    EXPECT_EQ(called, "P");
    EXPECT_EQ(yInt, 0);
    EXPECT_EQ(order, 3);
}

TEST_F(Runners, CrosstabNeedsARowField) {
    std::vector<std::string> seen;
    AnalysisEntries().Xtab = [&](std::string& out, std::string& chi, std::string& table, FieldNames&, int16_t& rows,
                                 int16_t& n, int16_t& w, std::string& type, std::string& options, RunContext&) {
        seen = {out, chi, table, std::to_string(rows), std::to_string(n), std::to_string(w), type, options};
        return std::string();
    };
    s.XType("A");
    s.XRowPCnt(true);
    s.XChi(true);
    EXPECT_EQ(engine::RunCrosstab_s_Zelk(q, s, fields, 0, 1, false), "At least one row field must be assigned");
    EXPECT_TRUE(seen.empty());
    EXPECT_EQ(engine::RunCrosstab_s_Zelk(q, s, fields, 2, 1, true), "");
    EXPECT_EQ(seen, (std::vector<std::string>{"Out1", "Out2", "Data", "2", "1", "-1", "A", "YNNNNY"}));
}

TEST_F(Runners, GroupTypeLetterAndBlanks) {
    std::string type;
    int16_t blanks = 0, nC = 0;
    AnalysisEntries().ANOVA = [&](const std::string& t, int16_t b, const std::string&, const std::string&,
                                  const std::string&, FieldNames&, int16_t, int16_t c, int16_t, bool, RunContext&) {
        type = t;
        blanks = b;
        nC = c;
        return std::string();
    };
    s.GroupIgnoreBlanks(true);
    s.CalcType("two sample T-TEST");
    EXPECT_EQ(engine::RunGroup_s_Zelk(q, s, fields, 1, 1, 1, false), "");
    EXPECT_EQ(type, "T");
    EXPECT_EQ(blanks, 0);
    EXPECT_EQ(nC, 1);
    s.GroupIgnoreBlanks(false);
    for (const char* calc : {"ANOVA", "Two way ANOVA"}) {
        s.CalcType(calc);
        EXPECT_EQ(engine::RunGroup_s_Zelk(q, s, fields, 1, 1, 1, false), "");
        EXPECT_EQ(type, "A");
        EXPECT_EQ(blanks, -1);
    }
    // Any other analysis is no ANOVA: it is refused, not run as one.
    type.clear();
    s.CalcType("N Sample");
    EXPECT_NE(engine::RunGroup_s_Zelk(q, s, fields, 1, 1, 1, false).find("a runner of its own"), std::string::npos);
    EXPECT_EQ(type, "");
}

TEST_F(Runners, ChiSquareFlags) {
    std::vector<int> seen;
    AnalysisEntries().ChiSquare = [&](const std::string&, const std::string&, const std::string&, FieldNames&,
                                      int16_t g, int16_t c, int16_t w, bool detail, int16_t blanks, bool all,
                                      RunContext&) {
        seen = {g, c, w, detail, blanks, all};
        return std::string();
    };
    s.ChiDetail(true);
    s.ChiIgnoreBlanks(true);
    s.ChiAll(false);
    EXPECT_EQ(engine::RunChiSquare_s_Zelk(q, s, fields, 1, 1, true), "");
    EXPECT_EQ(seen, (std::vector<int>{1, 1, -1, 1, 0, 0}));
}

TEST_F(Runners, SignTestAndFitModes) {
    std::vector<int16_t> tests;
    std::vector<int> flags;
    double custom = -1;
    AnalysisEntries().SignFitTest = [&](const std::string&, const std::string&, FieldNames&, int16_t, int16_t, bool,
                                        bool fit, std::vector<int16_t>& t, bool mean, bool median, bool c, double v,
                                        RunContext&) {
        tests = t;
        flags = {fit, mean, median, c};
        custom = v;
        return std::string();
    };
    s.SignMean(true);
    s.SignCustom(true);
    s.SignValue(vb::Variant::Null());
    s.FitUniform(true);
    s.FitPoisson(true);
    // A custom test without its value is refused before the entry.
    EXPECT_EQ(engine::RunSignFit_s_Zelk(q, "Sign", s, fields, 1, 2, false),
              "SignValue, the value of the custom sign test, is empty: a custom test needs it");
    EXPECT_TRUE(flags.empty());
    s.SignValue(vb::Variant(4.5));
    EXPECT_EQ(engine::RunSignFit_s_Zelk(q, "Sign", s, fields, 1, 2, false), "");
    EXPECT_EQ(tests, (std::vector<int16_t>{0, 0, 0, 0}));
    EXPECT_EQ(flags, (std::vector<int>{0, 1, 0, 1}));
    EXPECT_EQ(custom, 4.5);
    EXPECT_EQ(engine::RunSignFit_s_Zelk(q, "Fit", s, fields, 1, 2, false), "");
    EXPECT_EQ(tests, (std::vector<int16_t>{0, -1, 0, -1}));
    EXPECT_EQ(flags, (std::vector<int>{1, 0, 0, 0}));
    EXPECT_EQ(custom, 0);
}

TEST_F(Runners, PairedFieldsNeverAskForKendall) {
    std::vector<int> seen;
    std::vector<double> signTest;
    AnalysisEntries().NonParametric = [&](const std::string&, const std::string&, FieldNames&, int16_t, int16_t,
                                          int16_t yField, bool, int16_t signB, std::vector<double>& st,
                                          int16_t& twoSign, int16_t& wilcoxon, int16_t& spearman, int16_t& tau,
                                          int16_t& chi, RunContext&) {
        seen = {yField, signB, twoSign, wilcoxon, spearman, tau, chi};
        signTest = st;
        return std::string();
    };
    s.NPPair_Sign(true);
    s.NPPair_Wilcoxon(false);
    s.NPPair_Spearman(true);
    s.NPPair_Tau(true);
    EXPECT_EQ(engine::RunNPPaired_s_Zelk(q, s, fields, 1, 2, true, false), "");
    EXPECT_EQ(seen, (std::vector<int>{4, 0, -1, 0, -1, 0, 0}));
    EXPECT_EQ(signTest, (std::vector<double>{0, 0, 0}));
}

TEST_F(Runners, TwoAndNSampleTests) {
    std::vector<std::string> seen;
    AnalysisEntries().MannKSKruskal = [&](const std::string& o1, const std::string& o2, const std::string&, FieldNames&,
                                          int16_t g, int16_t n, bool, int16_t mann, int16_t ks, int16_t kruskal,
                                          RunContext&) {
        seen = {o1,
                o2,
                std::to_string(g),
                std::to_string(n),
                std::to_string(mann),
                std::to_string(ks),
                std::to_string(kruskal)};
        return std::string();
    };
    AnalysisEntries().NonParametricRuns = [&](const std::string& o1, const std::string&, FieldNames&, int16_t g,
                                              int16_t n, int16_t w, int16_t wald, RunContext&) {
        seen = {"Wald", o1, std::to_string(g), std::to_string(n), std::to_string(w), std::to_string(wald)};
        return std::string();
    };
    s.NPTwoType("mann");
    EXPECT_EQ(engine::RunNPTwoSample_s_Zelk(q, s, fields, 1, 1, 2, false), "");
    EXPECT_EQ(seen, (std::vector<std::string>{"Out1", "", "2", "2", "-1", "-1", "0"}));
    s.NPTwoType("Wald");
    EXPECT_EQ(engine::RunNPTwoSample_s_Zelk(q, s, fields, 0, 1, 1, true), "");
    EXPECT_EQ(seen, (std::vector<std::string>{"Wald", "Out1", "1", "1", "-1", "-1"}));
    seen.clear();
    EXPECT_EQ(engine::RunNPTwoSample_s_Zelk(q, s, fields, 0, 2, 1, true), "Only one Compare field may be assigned");
    EXPECT_EQ(engine::RunNPTwoSample_s_Zelk(q, s, fields, 0, 0, 1, true),
              "At least one Compare field must be assigned");
    EXPECT_TRUE(seen.empty());

    EXPECT_EQ(engine::RunNPNSample_s_Zelk(q, "Data", "Out1", "Out2", fields, 1, 1, 2, false), "");
    EXPECT_EQ(seen, (std::vector<std::string>{"Out1", "Out2", "2", "2", "0", "0", "-1"}));
}

// Default intervals come from the source's minimum and maximum.
class RunnersOnData : public EngineTest {
protected:
    ScopedAnalysisEntries entries;
};

TEST_F(RunnersOnData, DefaultIntervalsFromTheSourceData) {
    dao::RecordsetPtr rs = db->OpenRecordset("Data", dao::dbOpenTable);
    for (double v : {20.0, 0.0, 50.0}) {
        rs->AddNew();
        rs->Fields(std::string_view("X1"))->Value(v);
        rs->Fields(std::string_view("X2"))->Value(v / 100);
        rs->Update();
    }
    rs->Close();
    DescribeArgs a;
    RecordDescribe(a);
    std::string freq;
    double first = 0, width = 0;
    AnalysisEntries().Frequency = [&](const std::string&, const std::string&, FieldNames&, int16_t, int16_t, int16_t,
                                      const std::string& f, int16_t, double fi, double wi, RunContext& q) {
        if (std::string err = q.ResolveFrequencyDefaults(fi, wi); !err.empty()) return err;
        freq = f;
        first = fi;
        width = wi;
        return std::string();
    };
    StoredScenario scenario;
    scenario.options = {{"FreqN", true},
                        {"FreqP", false},
                        {"FreqDispRadio", "Cumulative"},
                        {"FreqIncRadio", "Lower"},
                        {"FreqGroupRadio", "Default"},
                        {"InterV", int16_t(10)}};
    EXPECT_TRUE(Run(AddScenario(db, scenario))) << engine->get_ErrorInfo();
    // Range 0..50: margin 10^(log10(50) - 1) = 5, width (50 + 5 - 0) / 10.
    EXPECT_EQ(a.freq, "NCYYN");
    EXPECT_EQ(a.intervals, 10);
    EXPECT_DOUBLE_EQ(a.first, 0.0);
    EXPECT_DOUBLE_EQ(a.width, 5.5);

    // 50 counts as missing: range 0..20, margin 2, width 2.2.
    scenario.missingType = "1";
    scenario.missingEqual = 50.0;
    EXPECT_TRUE(Run(AddScenario(db, scenario))) << engine->get_ErrorInfo();
    EXPECT_DOUBLE_EQ(a.width, 2.2);

    // Frequency of X2 (0 .. 0.5): margin 0.005, width 0.0505 rounded up to 0.051;
    // the upper border is inclusive, so the first value lies a margin below.
    scenario.subType = "Frequency";
    scenario.missingType = "0";
    scenario.fields = {{"X2", "X", 1}};
    scenario.options = {
        {"FreqSum", true}, {"FreqIncRadio", "Upper"}, {"FreqGroupRadio", "Default"}, {"InterV", int16_t(10)}};
    EXPECT_TRUE(Run(AddScenario(db, scenario))) << engine->get_ErrorInfo();
    EXPECT_EQ(freq, "SNN");
    EXPECT_NEAR(first, -0.005, 1e-15);
    EXPECT_NEAR(width, 0.051, 1e-15);

    // No value at all: the runner's text ends the run.
    db->Execute("DELETE * FROM Data");
    EXPECT_FALSE(Run(AddScenario(db, scenario)));
    EXPECT_EQ(engine->get_ErrorInfo(), "No data found");
}
