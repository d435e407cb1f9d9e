// One-sample sign test (against the group's weighted mean, its median or a
// given value) and the Kolmogorov-Smirnov goodness-of-fit test (against the
// uniform, normal and Poisson distributions fitted to the group). Each data
// field is read on its own, sorted by the group fields and then by the value,
// so the values of a group arrive in ascending order; they are kept for the
// second look that the median, the counts against the mean and the fit need.
#include <algorithm>
#include <cmath>
#include <utility>

#include "AnalysisPhases.h"
#include "ErrorStack.h"
#include "RunContext.h"
#include "analysis/AnalysisEntries.h"
#include "GroupWalker.h"
#include "StatsGeneral.h"
#include "analysis/descriptive/DescriptiveMath.h"
#include "analysis/nonparametric/NormalTails.h"
#include "numeric/CZValue.h"
#include "numeric/Numerics.h"
#include "numeric/WeightedMoments.h"
#include "vb/VbError.h"

namespace {

// The weights of the values below, equal to and above a test value, and the
// observations below and above it that the test counts: each value as many
// times as the whole part of its weight.
struct SignCounts {
    ExactSum below;
    ExactSum equal;
    ExactSum above;
    double countedBelow = 0;
    double countedAbove = 0;
};

// The largest and the most negative difference between the sample's and a
// fitted distribution function. Candidates are compared as plain differences
// and only the winners' operands are kept; their exact differences are taken
// once at the end, so rounding noise never turns an exact 0 into a tiny
// extreme.
struct Extremes {
    struct Operands {
        double a = 0, b = 0;
    };
    Operands pos, neg;
    void Record(double a, double b) {
        const double d = a - b;
        if (d > 0 && d > pos.a - pos.b) pos = {a, b};
        if (d <= 0 && d < neg.a - neg.b) neg = {a, b};
    }
    // The extremes, each the difference of its two distribution functions
    // as ValueDifference forms it: of short decimals (0.5 - 0.501) in
    // decimal, of values with more digits (2/3 - 6/7) exactly in binary,
    // rounded once, where 15 digits of each would keep some 12 of a
    // difference near 0.001; and the larger of their sizes (the K-S D).
    struct Deviations {
        double positive, negative, absolute;
    };
    Deviations Result() const {
        const double dPos = std::max(0.0, ValueDifference(pos.a, pos.b));
        const double dNeg = std::min(0.0, ValueDifference(neg.a, neg.b));
        return {dPos, dNeg, std::fabs(dNeg) >= dPos ? std::fabs(dNeg) : dPos};
    }
};

class SignFit {
public:
    SignFit(RunContext& z, const std::string& out, const std::string& table, FieldNames& fields, int groupCount,
            int fieldCount, bool weighted, bool fit, const std::vector<int16_t>& fitTests, bool mean, bool median,
            bool custom, double customValue)
        : Zantels(z), OutTableName(out), strUserTable(table), strFields(fields), nG(groupCount), nFields(fieldCount),
          fWeight(weighted), fFit(fit), intFitTests(fitTests), fMean(mean), fMedian(median), fCustom(custom),
          dblCustom(customValue) {}

    std::string Run();

private:
    std::string ProbeSource();
    std::string OpenField(int c);
    std::string CreateOutput();
    std::string CreateOutputFit();
    void ReadRecords(int c);
    void InitData();
    void CalcData(const GroupWalker& walk, double w);
    void WriteData(int c, const GroupValues& group, int32_t records);
    struct Fit {
        double mean = 0, sd = 0, minimum = 0, maximum = 0, range = 0;
        bool applies[4] = {};  // by distribution, from 1
        Extremes ext[4];
    };
    Fit FitGroup();
    double SampleFigures(Fit& f);
    void FitStepwise(Fit& f, bool largeMean);
    void FitNormalForms(Fit& f, double scaledS, bool largeMean);
    void WriteDataFit(int c, const GroupValues& group);
    Extremes NormalExtremes(double s);
    void WriteLeading(const dao::RecordsetPtr& out, int c, const GroupValues& group, const std::string& missing,
                      int32_t records);
    double SignTest(double n, double k);
    bool FitSelected(int t) const {
        return static_cast<size_t>(t) < intFitTests.size() && intFitTests[static_cast<size_t>(t)] != 0;
    }

    RunContext& Zantels;
    const std::string& OutTableName;
    const std::string& strUserTable;
    FieldNames& strFields;
    int nG;
    int nFields;
    bool fWeight, fFit;
    const std::vector<int16_t>& intFitTests;
    bool fMean, fMedian, fCustom;
    double dblCustom;

    std::vector<std::string> list;  // group fields, the data field, the weight field
    std::vector<int32_t> lngTypes, lngSizes;
    CZValue zv;

    // per group
    std::vector<std::pair<double, double>> valid;  // (value, weight), ascending
    double W = 0;             // the sum of their weights, taken from the moments at the group's end
    WeightedMoments moments;  // mean and central sum of squares of the valid values
    bool whole = true;
    // The fit's distinct values, the sample distribution function at each
    // and the fitted normal one where it was needed.
    std::vector<double> distinct, cumulative, normal;
    std::vector<char> evaluated;
    // The weighted median's working room.
    std::vector<StagedValue> median_;
    std::vector<double> points_;
};

std::string SignFit::Run() {
    list.assign(strFields.begin(), strFields.begin() + nG + 1);
    list.push_back(strFields.at(static_cast<size_t>(nG + 1)));
    if (fWeight) list.push_back(strFields.at(static_cast<size_t>(nG + nFields + 1)));

    // An unsorted look at the source gives the column types of the one
    // result table that every field's sorted read writes into; a source that
    // cannot be read ends the run there, before the earlier table goes. The
    // look stays open while the table is made again, so the source itself is
    // never dropped as an old result table.
    std::string result = ProbeSource();
    if (!result.empty()) return result;
    Zantels.Quarn_Msg(0, true, "Creating output table");
    result = fFit ? CreateOutputFit() : CreateOutput();
    Zantels.DataRecordset()->Close();
    if (!result.empty()) return result;
    zv.Quarn_FactorialInit();
    FieldPhases phases;
    for (int c = 1; c <= nFields; ++c) phases.fieldNames.push_back(strFields.at(static_cast<size_t>(nG + c)));
    phases.openField = [this](int c) { return OpenField(c); };
    phases.readRecords = [this](int c) { ReadRecords(c); };
    return RunFieldPhases(Zantels, phases);
}

// The types and sizes of the leading fields, and whether the source has a row.
std::string SignFit::ProbeSource() {
    std::string sql;
    try {
        for (size_t i = 1; i < list.size(); ++i) sql += (i > 1 ? ", " : "") + BracketName(list[i]);
        sql = "SELECT " + sql + " FROM " + BracketName(strUserTable);
    } catch (const vb::VbError& e) {
        return e.Description();
    }
    std::string result = Zantels.OpenDataRecordset(sql);
    if (!result.empty()) return result;
    const dao::RecordsetPtr rs = Zantels.DataRecordset();
    if (rs->Eof()) {
        rs->Close();
        return "No records found in " + strUserTable;
    }
    Zantels.Quarn_InitFieldTypes(rs, static_cast<int16_t>(nG + 1), list, lngTypes, lngSizes);
    return {};
}

// Opens the data of field c sorted by the group fields and the value.
std::string SignFit::OpenField(int c) {
    list[static_cast<size_t>(nG + 1)] = strFields.at(static_cast<size_t>(nG + c));
    return Zantels.Quarn_InitDataTable(strUserTable, list, static_cast<int16_t>(nG), lngTypes, lngSizes);
}

std::string SignFit::CreateOutput() {
    ProcScope scope(ErrStack(), "CreateOutput");
    dao::TableDefPtr tdf = NewResultTable(Zantels, OutTableName);
    int16_t ord = BuildOutputFields(tdf, static_cast<int16_t>(nG), list, lngTypes, lngSizes, true, 0, 0, fWeight,
                                    "Count", "Missing");
    AddOutputField(tdf, "TestType", dao::dbText, ord, 6);
    for (const char* name : {"TestValue", "Count<Test", "Count=Test", "Count>Test", "Prob<=Test", "Prob>=Test"}) {
        AddOutputField(tdf, name, dao::dbDouble, ord);
    }
    return Zantels.Quarn_CreateTable(tdf, true);
}

std::string SignFit::CreateOutputFit() {
    ProcScope scope(ErrStack(), "CreateOutputFit");
    dao::TableDefPtr tdf = NewResultTable(Zantels, OutTableName);
    int16_t ord =
        BuildOutputFields(tdf, static_cast<int16_t>(nG), list, lngTypes, lngSizes, true, 0, 0, fWeight, "Count", "");
    for (const char* name : {"Mean", "StdDeviation", "Minimum", "Maximum", "Range"}) {
        AddOutputField(tdf, name, dao::dbDouble, ord);
    }
    AddOutputField(tdf, "TestType", dao::dbText, ord, 7);
    for (const char* name : {"Max_Absolute", "Max_Positive", "Max_Negative", "K-S_Z", "Prob"}) {
        AddOutputField(tdf, name, dao::dbDouble, ord);
    }
    return Zantels.Quarn_CreateTable(tdf, true);
}

void SignFit::ReadRecords(int c) {
    ProcScope scope(ErrStack(), "ReadRecords");
    GroupWalker walk(Zantels, list, static_cast<int16_t>(nG), fWeight, static_cast<int16_t>(nG + 2));
    InitData();
    walk.Walk({.record = [&](double w) { CalcData(walk, w); },
               .groupEnd = [&](const GroupValues& group,
                               int32_t records) { fFit ? WriteDataFit(c, group) : WriteData(c, group, records); },
               .groupStart = [&] { InitData(); }});
}

void SignFit::InitData() {
    valid.clear();
    W = 0;
    moments.Clear();
    whole = true;
}

void SignFit::CalcData(const GroupWalker& walk, double w) {
    double x = 0;
    if (w <= 0 || !walk.PresentValue(static_cast<int16_t>(nG + 1), x)) return;
    valid.emplace_back(x, w);
    moments.Add(x, w);
    if (whole) whole = x >= 0 && x == std::floor(x);
}

void SignFit::WriteLeading(const dao::RecordsetPtr& out, int c, const GroupValues& group, const std::string& missing,
                           int32_t records) {
    out->AddNew();
    WriteGroupValues(out, static_cast<int16_t>(nG), strFields, group, 0, "Count", missing, fWeight, W, records,
                     static_cast<int32_t>(valid.size()));
    out->Fields(std::string_view("DataField"))->Value(strFields.at(static_cast<size_t>(nG + c)));
}

// P(X <= k) for X binomial with n trials and probability 1/2 (n and k whole
// counts): exact up to 25 trials, else the normal approximation with
// continuity correction.
double SignFit::SignTest(double n, double k) {
    if (n > 25) {
        const double z = PreciseDifference(k + 0.5, n / 2) / (0.5 * std::sqrt(n));
        return NormalDistribution(zv, z);
    }
    const auto trials = static_cast<int32_t>(n);
    double sum = 0;
    for (int32_t i = 0; i <= static_cast<int32_t>(k); ++i) sum += zv.Quarn_Binomial(trials, i);
    return std::pow(0.5, n) * sum;
}

void SignFit::WriteData(int c, const GroupValues& group, int32_t records) {
    ProcScope scope(ErrStack(), "WriteData");
    W = moments.Weight();
    if (!(W > 1)) return;
    const double mean = moments.Mean();
    double median = 0;
    if (fMedian) {
        if (fWeight) {
            // The first value at which the running weight reaches half the
            // whole, by the rule of the weighted percentiles.
            median_.clear();
            ExactSum total;
            for (const auto& [x, w] : valid) {
                median_.push_back({x, w});
                total.Add(w);
            }
            PercentilePoints(median_, true, 2, total.Value(), points_);
            median = points_[1];
        } else {
            const size_t n = valid.size();
            median = n % 2 == 1 ? valid[(n + 1) / 2 - 1].first : (valid[n / 2 - 1].first + valid[n / 2].first) / 2;
        }
    }
    const dao::RecordsetPtr& out = Zantels.OutputRecordset();
    const struct {
        bool on;
        const char* type;
        double value;
    } tests[] = {{fMean, "Mean", mean}, {fMedian, "Median", median}, {fCustom, "Custom", dblCustom}};
    for (const auto& t : tests) {
        if (!t.on) continue;
        SignCounts counts;
        double counted = 0;
        for (const auto& [x, w] : valid) {
            const double times = std::floor(w);
            counted += times;
            if (x < t.value) {
                counts.below.Add(w);
                counts.countedBelow += times;
            } else if (x == t.value) {
                counts.equal.Add(w);
            } else {
                counts.above.Add(w);
                counts.countedAbove += times;
            }
        }
        WriteLeading(out, c, group, "Missing", records);
        out->Fields(std::string_view("TestType"))->Value(t.type);
        SetIfFinite(out, "TestValue", t.value);
        SetIfFinite(out, "Count<Test", counts.below.Value());
        SetIfFinite(out, "Count=Test", counts.equal.Value());
        SetIfFinite(out, "Count>Test", counts.above.Value());
        // Values whose weights are all below 1 leave nothing to test.
        if (counted > 0) {
            const double n = counts.countedBelow + counts.countedAbove;
            SetIfFinite(out, "Prob<=Test", SignTest(n, counts.countedBelow));
            SetIfFinite(out, "Prob>=Test", SignTest(n, counts.countedAbove));
        }
        out->Update();
    }
}

// The fit of one group: the sample's figures and, for each distribution
// (1 uniform, 2 normal, 3 Poisson), whether it can be fitted and the largest
// and most negative difference of the distribution functions.
SignFit::Fit SignFit::FitGroup() {
    Fit f;
    const double scaledS = SampleFigures(f);
    // The Poisson of a large mean takes the normal's form.
    const bool largeMean = whole && f.mean > 0 && f.mean >= 100000;
    FitStepwise(f, largeMean);
    FitNormalForms(f, scaledS, largeMean);
    return f;
}

// The sample's mean, deviation and range, and which distributions can be
// fitted; returns the deviation divided by 2^ScaleExponent() as the moments
// hold their sums, so that values and weights far from 1 keep it (the
// normal fit is free of the scale).
double SignFit::SampleFigures(Fit& f) {
    const double m = f.mean = moments.Mean();
    const WeightedMoments::Deviation spread = moments.Deviations("N-1");
    const double scaledS = spread.heldDeviation;
    f.sd = spread.stdDeviation;
    const double minimum = f.minimum = valid.front().first;
    f.maximum = valid.back().first;
    f.range = ValueDifference(f.maximum, minimum);

    const bool poissonInts = whole && m > 0;
    const bool largeMean = poissonInts && m >= 100000;
    f.applies[1] = true;
    f.applies[2] = scaledS > 0;
    f.applies[3] = poissonInts && (!largeMean || scaledS > 0);
    return scaledS;
}

// The uniform and (of a small mean) Poisson fits: both distribution
// functions at each distinct value, the sample's kept in distinct and
// cumulative for the normal fits.
void SignFit::FitStepwise(Fit& f, bool largeMean) {
    const auto normalForm = [&](int t) { return t == 2 || (t == 3 && largeMean); };
    const double m = f.mean;
    const double minimum = f.minimum;
    const double range = f.range;
    const bool poissonInts = whole && m > 0;
    const double lnMean = poissonInts ? std::log(m) : 0;
    double P = 0;          // Poisson distribution function so far
    double nextCount = 0;  // next Poisson count to add
    ExactSum C;            // the weight so far
    double Fprev = 0, L = minimum;

    // Evaluates both distribution functions at L, the last distinct value;
    // the normal ones are left to NormalExtremes, which needs fewer.
    distinct.clear();
    cumulative.clear();
    auto evaluate = [&]() {
        const double F = C.Value() / W;
        distinct.push_back(L);
        cumulative.push_back(F);
        for (int t = 1; t <= 3; ++t) {
            if (!FitSelected(t) || !f.applies[t] || normalForm(t)) continue;
            double G = 0;
            bool continuous = true;
            if (t == 1) {
                if (!(range > 0)) continue;
                G = ValueDifference(L, minimum) / range;
            } else {
                // The Poisson sum up to floor(L); past the mean, terms that
                // underflow end it, since later ones are smaller still.
                const double top = std::floor(L);
                for (double k = nextCount; k <= top; k += 1) {
                    const double term = zv.Quarn_Poisson(m, lnMean, static_cast<int32_t>(k));
                    if (k > m && term == 0) break;
                    P += term;
                }
                nextCount = std::max(nextCount, top + 1);
                G = P;
                continuous = false;
            }
            if (continuous) f.ext[t].Record(Fprev, G);
            f.ext[t].Record(F, G);
        }
        Fprev = F;
    };
    for (const auto& [x, w] : valid) {
        if (x != L) {
            evaluate();
            L = x;
        }
        C.Add(w);
    }
    evaluate();
}

// The normal fit, which the Poisson of a large mean shares.
void SignFit::FitNormalForms(Fit& f, double scaledS, bool largeMean) {
    bool normalDone = false;
    for (int t = 2; t <= 3; ++t) {
        if (!FitSelected(t) || !f.applies[t] || !(t == 2 || (t == 3 && largeMean))) continue;
        if (!normalDone) f.ext[2] = NormalExtremes(scaledS);
        normalDone = true;
        f.ext[t] = f.ext[2];
    }
}

void SignFit::WriteDataFit(int c, const GroupValues& group) {
    ProcScope scope(ErrStack(), "WriteDataFit");
    W = moments.Weight();
    if (!(W > 1)) return;
    const Fit f = FitGroup();
    const dao::RecordsetPtr& out = Zantels.OutputRecordset();
    static const char* const names[4] = {"", "Uniform", "Normal", "Poisson"};
    for (int t = 1; t <= 3; ++t) {
        if (!FitSelected(t)) continue;
        WriteLeading(out, c, group, "", 0);
        out->Fields(std::string_view("TestType"))->Value(names[t]);
        SetIfFinite(out, "Mean", f.mean);
        SetIfFinite(out, "StdDeviation", f.sd);
        SetIfFinite(out, "Minimum", f.minimum);
        SetIfFinite(out, "Maximum", f.maximum);
        SetIfFinite(out, "Range", f.range);
        if (f.applies[t]) {
            const Extremes::Deviations d = f.ext[t].Result();
            const double Z = std::sqrt(W) * d.absolute;
            SetIfFinite(out, "Max_Absolute", d.absolute);
            SetIfFinite(out, "Max_Positive", d.positive);
            SetIfFinite(out, "Max_Negative", d.negative);
            SetIfFinite(out, "K-S_Z", Z);
            SetIfFinite(out, "Prob", zv.Quarn_CalcKSProb(Z));
        }
        out->Update();
    }
}

// The extremes of the differences between the sample distribution function
// and the fitted normal one (mean and weighted standard deviation s, divided
// by 2^ScaleExponent() as the moments' sums are) over the
// distinct values, as a walk through all of them in order finds them, with
// the normal function evaluated at far fewer values: both functions rise with
// the value, so the normal at a stretch's ends bounds every difference inside
// it, and a stretch whose bounds cannot beat the extremes found so far is
// passed over but for its last value. A small slack covers rounding in the
// normal function; should its evaluated values ever fall by more than that,
// every value is evaluated after all.
Extremes SignFit::NormalExtremes(double s) {
    constexpr double kSlack = 1e-12;
    constexpr size_t kShortest = 8;  // stretches this short are walked through
    const size_t n = distinct.size();
    normal.assign(n, 0.0);
    evaluated.assign(n, 0);
    auto G = [&](size_t j) {
        if (evaluated[j] == 0) {
            normal[j] = NormalDistribution(zv, -moments.ScaledMeanLess(distinct[j]) / s);
            evaluated[j] = 1;
        }
        return normal[j];
    };
    auto before = [&](size_t j) { return j == 0 ? 0.0 : cumulative[j - 1]; };
    Extremes e;
    auto visit = [&](size_t j) {
        const double g = G(j);
        e.Record(before(j), g);
        e.Record(cumulative[j], g);
    };
    // Visits values a .. b in order; the normal at a - 1 is known when a > 0.
    auto stretch = [&](auto& self, size_t a, size_t b) -> void {
        if (b - a < kShortest) {
            for (size_t j = a; j <= b; ++j) visit(j);
            return;
        }
        const double lo = a > 0 ? G(a - 1) - kSlack : -HUGE_VAL;
        const double hi = G(b) + kSlack;
        const bool noPositive = cumulative[b] - lo <= e.pos.a - e.pos.b;
        const bool noNegative = before(a) - hi >= e.neg.a - e.neg.b;
        if (noPositive && noNegative) {
            visit(b);
            return;
        }
        const size_t m = a + (b - a) / 2;
        self(self, a, m);
        self(self, m + 1, b);
    };
    if (n > 0) stretch(stretch, 0, n - 1);

    double last = -HUGE_VAL;
    for (size_t j = 0; j < n; ++j) {
        if (evaluated[j] == 0) continue;
        if (normal[j] < last - kSlack / 10) {
            e = Extremes();
            for (size_t k = 0; k < n; ++k) visit(k);
            break;
        }
        last = normal[j];
    }
    return e;
}

}  // namespace

std::string Quarn_SignFitTest(const std::string& OutTableName, const std::string& strUserTable, FieldNames& strFields,
                              int16_t intGroupFields, int16_t intNumFields, bool fWeightField, bool fFit,
                              std::vector<int16_t>& intFitTests, bool fMean, bool fMedian, bool fCustom,
                              double dblCustom, RunContext& Zantels) {
    ProcScope scope(ErrStack(), "Quarn_SignFitTest");
    SignFit test(Zantels, OutTableName, strUserTable, strFields, intGroupFields, intNumFields, fWeightField, fFit,
                 intFitTests, fMean, fMedian, fCustom, dblCustom);
    return test.Run();
}
