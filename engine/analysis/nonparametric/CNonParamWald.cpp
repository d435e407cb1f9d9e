// Wald-Wolfowitz runs test. For every group and data field the records are
// taken in ascending order of the data value and the runs of equal sample
// membership are counted. A value that occurs in both samples (a tied block)
// can be ordered either way, so the fewest and the most runs the ties allow
// are both counted and tested with the normal approximation. A record stands
// for the whole part of its weight: one below 1 makes no run, and the counts
// are the whole parts added up.
#include <algorithm>
#include <cmath>

#include "AnalysisPhases.h"
#include "ErrorStack.h"
#include "RunContext.h"
#include "analysis/AnalysisEntries.h"
#include "GroupWalker.h"
#include "StatsGeneral.h"
#include "analysis/nonparametric/QueryGroups.h"
#include "analysis/nonparametric/NormalTails.h"
#include "numeric/CZValue.h"
#include "numeric/Numerics.h"
#include "vb/VbError.h"

namespace {

// One run of the test: the result table and the walk over each data field.
class RunsTest {
public:
    RunsTest(RunContext& z, const std::string& out, const std::string& table, FieldNames& fields, int groupCount,
             int fieldCount, bool weighted, bool wald)
        : Zantels(z), OutTableName(out), strUserTable(table), strFields(fields), nGF(groupCount), nFields(fieldCount),
          fWeight(weighted), fWald(wald) {}

    std::string Run();

private:
    std::string CreateOutput();
    std::string GetDataSet(int c);
    void ReadRecords(int c);
    void InitData();
    void CalcData(const GroupWalker& walk, int c, double w);
    void CalcRun(bool fWrite);
    void WriteData(int c, const GroupValues& group, int32_t records);
    void CalcWald(double R, double mu, double sigma, double N, double& z, double& prob);

    RunContext& Zantels;
    const std::string& OutTableName;
    const std::string& strUserTable;
    FieldNames& strFields;
    int nGF;
    int nFields;
    bool fWeight;
    bool fWald;

    std::vector<int32_t> lngFieldTypes, lngFieldSizes;
    std::vector<vb::Variant> varGroups;
    CZValue zv;

    // per group and data field: the whole counts of the samples, the runs,
    // tied blocks and tied cases (counts of whole weights, which pass 2^31)
    int32_t valid = 0;
    ExactSum W1, W2;
    bool present1 = false, present2 = false;
    ExactSum Rmin, Rmax, T, C;
    // per data value: the whole counts of both samples
    double B1 = 0, B2 = 0;
    double last = 0;
    // the sample that ends the fewest-runs and the most-runs arrangement so
    // far (0: either)
    int Smin = 0, Smax = 0;
    // The last two stored compare values met (the records of two samples
    // interleave) and whether each is sample 1's.
    struct SampleKey {
        StoredKey key;
        bool inSample1 = false;
    };
    SampleKey sampleKeys[2];
    int sampleKeysKept = 0;
    int sampleKeyNext = 0;
};

std::string RunsTest::Run() {
    Zantels.Quarn_Msg(0, true, "Retrieving comparison values");
    const int n = Quarn_QueryGroups(strUserTable, strFields, nGF, lngFieldTypes, lngFieldSizes, varGroups, Zantels);
    if (n == 0) return "Problem with input query";
    if (n == 1) return "Compare Field has 1 value.\r\nTwo values are required.";
    if (n != 2) return "Compare Field has " + std::to_string(n) + " values.\r\nOnly two values are permitted.";

    zv.Quarn_FactorialInit();
    FieldPhases phases;
    for (int c = 1; c <= nFields; ++c) phases.fieldNames.push_back(strFields.at(static_cast<size_t>(nGF + c)));
    phases.openField = [this](int c) { return GetDataSet(c); };
    phases.createOutput = [this] { return CreateOutput(); };
    phases.readRecords = [this](int c) { ReadRecords(c); };
    return RunFieldPhases(Zantels, phases);
}

std::string RunsTest::CreateOutput() {
    ProcScope scope(ErrStack(), "CreateOutput");
    dao::TableDefPtr tdf = NewResultTable(Zantels, OutTableName);
    int16_t ord = BuildOutputFields(tdf, static_cast<int16_t>(nGF - 1), strFields, lngFieldTypes, lngFieldSizes, true,
                                    0, static_cast<int16_t>(nGF), false, "Count", "Missing");
    AddOutputField(tdf, "Cases-1", dao::dbDouble, ord);
    AddOutputField(tdf, "Cases-2", dao::dbDouble, ord);
    if (fWald) {
        for (const char* name : {"Wald_Mean", "Wald_StdDev", "Ties", "TiedGroups", "Wald_Min_Runs", "Wald_Min_Z",
                                 "Wald_Min_Prob", "Wald_Max_Runs", "Wald_Max_Z", "Wald_Max_Prob"}) {
            AddOutputField(tdf, name, dao::dbDouble, ord);
        }
    }
    return Zantels.Quarn_CreateTable(tdf, true);
}

std::string RunsTest::GetDataSet(int c) {
    ProcScope scope(ErrStack(), "GetDataSet");
    std::string list, order;
    try {
        for (int i = 1; i <= nGF; ++i) list += BracketName(strFields.at(static_cast<size_t>(i))) + ", ";
        list += BracketName(strFields.at(static_cast<size_t>(nGF + c)));
        if (fWeight) list += ", " + BracketName(strFields.at(static_cast<size_t>(nGF + nFields + 1)));
        const auto key = [&](int i) { return Zantels.ValueSql(strUserTable, strFields.at(static_cast<size_t>(i))); };
        for (int i = 1; i < nGF; ++i) order += key(i) + ", ";
        order += key(nGF + c) + ", " + key(nGF);
        return Zantels.OpenDataRecordset("SELECT " + list + " FROM " + BracketName(strUserTable) + " ORDER BY " +
                                         order);
    } catch (const vb::VbError& e) {
        return e.Description();
    }
}

void RunsTest::ReadRecords(int c) {
    ProcScope scope(ErrStack(), "ReadRecords");
    GroupWalker walk(Zantels, strFields, static_cast<int16_t>(nGF - 1), fWeight,
                     static_cast<int16_t>(nGF + nFields + 1));
    InitData();
    sampleKeysKept = 0;
    walk.Walk({.record = [&](double w) { CalcData(walk, c, w); },
               .groupEnd =
                   [&](const GroupValues& group, int32_t records) {
                       CalcRun(true);
                       WriteData(c, group, records);
                   },
               .groupStart = [&] { InitData(); }});
}

void RunsTest::InitData() {
    valid = 0;
    W1.Clear();
    W2.Clear();
    Rmin.Clear();
    Rmax.Clear();
    T.Clear();
    C.Clear();
    present1 = present2 = false;
}

void RunsTest::CalcData(const GroupWalker& walk, int c, double w) {
    double v = 0;
    if (w <= 0 || !walk.PresentValue(static_cast<int16_t>(nGF + c), v)) return;
    if (valid == 0) {
        last = v;
        B1 = B2 = 0;
    } else if (v != last) {
        last = v;
        CalcRun(false);
        B1 = B2 = 0;
    }
    ++valid;
    const double whole = std::floor(w);
    if (whole < 1) return;  // stands for no observation
    // Null-aware: a Null compare value belongs to the sample whose value is
    // Null. Found again only for a stored compare value not met just before.
    const StoredView stored = walk.Stored(static_cast<int16_t>(nGF));
    const SampleKey* known = nullptr;
    for (int i = 0; i < sampleKeysKept && !known; ++i) {
        if (sampleKeys[i].key.Matches(stored)) known = &sampleKeys[i];
    }
    if (!known) {
        const bool inSample1 = Zantels.Quarn_SameValue(walk.Value(static_cast<int16_t>(nGF)), varGroups[1], true);
        SampleKey& kept = sampleKeys[sampleKeyNext];
        sampleKeyNext = 1 - sampleKeyNext;
        sampleKeysKept = std::max(sampleKeysKept, sampleKeyNext == 0 ? 2 : 1);
        kept.key.Keep(stored);
        kept.inSample1 = inSample1;
        known = &kept;
    }
    if (known->inSample1) {
        present1 = true;
        W1.Add(whole);
        B1 += whole;
    } else {
        present2 = true;
        W2.Add(whole);
        B2 += whole;
    }
}

void RunsTest::CalcRun(bool fWrite) {
    if (Rmin.Value() + Rmax.Value() == 0) Smin = Smax = 0;
    const double e = B1;
    const double f = B2;
    if (present1 && present2) {
        // A tied block: the most runs alternate its cases as far as they go.
        if (e == f) {
            Rmax.Add(e);
            Rmax.Add(f);
        } else if (e < f) {
            Rmax.Add(2 * e);
            if (Smax != 2) Rmax.Add(1);
            Smax = 2;
        } else {
            Rmax.Add(2 * f);
            if (Smax != 1) Rmax.Add(1);
            Smax = 1;
        }
        Rmin.Add(1);
        if (Smin == 1) {
            Smin = 2;
        } else if (Smin == 2) {
            Smin = 1;
        } else if (fWrite) {
            Rmin.Add(1);
        }
        T.Add(1);
        C.Add(e);
        C.Add(f);
    } else if (present1 || present2) {
        const int k = present1 ? 1 : 2;
        if (Smin != k) Rmin.Add(1);
        if (Smax != k) Rmax.Add(1);
        Smin = Smax = k;
    }
    present1 = present2 = false;
}

void RunsTest::CalcWald(double R, double mu, double sigma, double N, double& z, double& prob) {
    // Below 50 cases the continuity correction takes 0.5 off the distance
    // from the mean, never past it.
    double distance = std::fabs(R - mu);
    if (N < 50) distance = std::max(0.0, distance - 0.5);
    z = (R < mu ? -distance : distance) / sigma;
    prob = NormalOneTail(zv, z);
}

void RunsTest::WriteData(int c, const GroupValues& group, int32_t records) {
    ProcScope scope(ErrStack(), "WriteData");
    const dao::RecordsetPtr& out = Zantels.OutputRecordset();
    const double N1 = W1.Value();
    const double N2 = W2.Value();
    // Both samples' whole counts added exactly, rounded once.
    ExactSum both = W1;
    both.Add(W2);
    const double N = both.Value();
    out->AddNew();
    WriteGroupValues(out, static_cast<int16_t>(nGF - 1), strFields, group, static_cast<int16_t>(nGF + c), "Count",
                     "Missing", false, N, records, valid, static_cast<int16_t>(nGF), varGroups[1], varGroups[2]);
    if (N > 1 && fWald) {
        // mu = 2 N1 N2 / N + 1 and var = 2 N1 N2 (2 N1 N2 - N1 - N2) / (N^2 (N - 1)),
        // formed from the counts divided by 2^ex: var is then held divided
        // by 2^ex, its root by 2^(ex/2).
        const int ex = CountExponent(N);
        const double unit = std::ldexp(1.0, -ex);
        const double n1 = N1 * unit, n2 = N2 * unit, n = n1 + n2;
        const double mu = std::ldexp(2 * n1 * n2 / n, ex) + 1;
        const double var = 2 * n1 * n2 * (2 * n1 * n2 - n1 * unit - n2 * unit) / (n * n * (n - unit));
        const double sigma = var > 0 ? std::ldexp(std::sqrt(var), ex / 2) : 0;
        SetIfFinite(out, "Cases-1", N1);
        SetIfFinite(out, "Cases-2", N2);
        SetIfFinite(out, "Wald_Mean", mu);
        SetIfFinite(out, "Wald_StdDev", sigma);
        SetIfFinite(out, "Ties", C.Value());
        SetIfFinite(out, "TiedGroups", T.Value());
        SetIfFinite(out, "Wald_Min_Runs", Rmin.Value());
        SetIfFinite(out, "Wald_Max_Runs", Rmax.Value());
        // Without spread (one sample only) the test is undefined: z and
        // probabilities stay Null.
        if (sigma > 0) {
            double z = 0, prob = 0;
            CalcWald(Rmin.Value(), mu, sigma, N, z, prob);
            SetIfFinite(out, "Wald_Min_Z", z);
            SetIfFinite(out, "Wald_Min_Prob", prob);
            CalcWald(Rmax.Value(), mu, sigma, N, z, prob);
            SetIfFinite(out, "Wald_Max_Z", z);
            SetIfFinite(out, "Wald_Max_Prob", prob);
        }
    }
    out->Update();
}

}  // namespace

std::string Quarn_NonParametricRuns(const std::string& OutTableName, const std::string& strUserTable,
                                    FieldNames& strFields, int16_t intGroupFields, int16_t intNumFields,
                                    int16_t intWeightField_b, int16_t intWald_b, RunContext& Zantels) {
    ProcScope scope(ErrStack(), "Quarn_NonParametricRuns");
    RunsTest test(Zantels, OutTableName, strUserTable, strFields, intGroupFields, intNumFields, intWeightField_b != 0,
                  intWald_b != 0);
    return test.Run();
}
