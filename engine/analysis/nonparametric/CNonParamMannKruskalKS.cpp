// Mann-Whitney rank-sum and two-sample Kolmogorov-Smirnov tests for every
// pair of compare values, and the Kruskal-Wallis test over all of them, per
// group of the group fields and analysed field. The accepted values of a
// group are held in memory and ranked with the shared tie-averaging ranker:
// a record counts as many times as the whole part of its weight.
#include <algorithm>
#include <cmath>

#include "AnalysisPhases.h"
#include "ErrorStack.h"
#include "RunContext.h"
#include "analysis/AnalysisEntries.h"
#include "analysis/nonparametric/QueryGroups.h"
#include "GroupWalker.h"
#include "StatsGeneral.h"
#include "analysis/nonparametric/NormalTails.h"
#include "analysis/nonparametric/TwoSampleMath.h"
#include "numeric/CZValue.h"
#include "numeric/Numerics.h"
#include "vb/VbError.h"

namespace {

class MannKruskalKS {
public:
    MannKruskalKS(RunContext& z, const std::string& out, const std::string& out2, const std::string& table,
                  FieldNames& fields, int groupCount, int fieldCount, bool weighted, bool mann, bool ks, bool kruskal)
        : Zantels(z), OutTableName(out), OutTableName2(out2), strUserTable(table), strFields(fields), nGF(groupCount),
          nFields(fieldCount), fWeight(weighted), fMann(mann), fKS(ks), fKruskal(kruskal), fDetail(!out2.empty()) {}

    std::string Run();

private:
    std::string CreateOutput();
    std::string CreateKruskalWallis();
    std::string CreateKruskalDetail();
    void ReadRecords();
    void InitData();
    void CalcData(const GroupWalker& walk, double w);
    bool FindGroup(const vb::Variant& value);
    void WriteData(const GroupValues& group, int32_t records);
    void WriteMannKS(const GroupValues& group);
    void WritePair(const GroupValues& group, int f, int g1, int g2);
    void WriteMannWhitney(const dao::RecordsetPtr& out, const PairBlocks& b, double N1, double N2);
    void WriteKolmogorovSmirnov(const dao::RecordsetPtr& out, const PairBlocks& b, double N1, double N2);
    void WriteKruskalWallis(GroupValues group, int32_t records);
    const std::string& FieldName(int f) const { return strFields.at(static_cast<size_t>(nGF + f)); }
    size_t Cell(int g, int f) const {
        return static_cast<size_t>(g) * static_cast<size_t>(nFields + 1) + static_cast<size_t>(f);
    }

    RunContext& Zantels;
    const std::string& OutTableName;
    const std::string& OutTableName2;
    const std::string& strUserTable;
    FieldNames& strFields;
    int nGF;
    int nFields;
    bool fWeight, fMann, fKS, fKruskal, fDetail;

    int n = 0;  // compare values
    std::vector<int32_t> lngFieldTypes, lngFieldSizes;
    std::vector<vb::Variant> varGroups;
    CZValue zv;
    dao::RecordsetPtr detail;

    // per group
    std::vector<std::vector<Observation>> values;  // per analysed field
    std::vector<int32_t> count;                    // per (g, f)
    std::vector<double> weightSum;                 // per (g, f)
    int position = 0;
    // The stored compare value of the record before and whether it was listed
    // (at `position`): records of one sample come together.
    StoredValueCache groupKey;
    vb::Variant groupValue;
    bool groupListed = false;
    int64_t unlisted = 0;  // records whose compare value is not in the list
};

std::string MannKruskalKS::Run() {
    Zantels.Quarn_Msg(0, true, "Retrieving comparison values");
    n = Quarn_QueryGroups(strUserTable, strFields, nGF, lngFieldTypes, lngFieldSizes, varGroups, Zantels);
    if (n < 1) return "Problem with input table";

    std::vector<int32_t> types, sizes;
    const std::string result = RunAnalysisPhases(
        Zantels,
        {.openSource =
             [&] {
                 return Zantels.Quarn_InitDataTable(strUserTable, strFields, static_cast<int16_t>(nGF), types, sizes);
             },
         .createOutput =
             [&] {
                 std::string text;
                 if (fMann || fKS) text = CreateOutput();
                 if (fKruskal) {
                     if (fDetail) text = CreateKruskalDetail();
                     if (text.empty()) text = CreateKruskalWallis();
                     if (text.empty() && fDetail) {
                         detail = OpenResultTable(Zantels.OutputDatabase(), OutTableName2);
                         Zantels.OutputRecordset2(detail);
                     }
                 }
                 return text;
             },
         // The group's values are held in memory; the transaction covers the
         // result rows.
         .readRecords = [&] { ReadRecords(); },
         .afterRecords =
             [&] {
                 if (unlisted > 0) {
                     // Reported once, without stopping the run.
                     Zantels.Quarn_Msg(0, true,
                                       std::to_string(unlisted) +
                                           " records with a compare value not in the list of values were left out");
                 }
             }});
    if (detail) {
        detail->Close();
        Zantels.OutputRecordset2(nullptr);
    }
    return result;
}

std::string MannKruskalKS::CreateOutput() {
    ProcScope scope(ErrStack(), "CreateOutput");
    dao::TableDefPtr tdf = NewResultTable(Zantels, OutTableName);
    int16_t ord = BuildOutputFields(tdf, static_cast<int16_t>(nGF - 1), strFields, lngFieldTypes, lngFieldSizes, true,
                                    0, static_cast<int16_t>(nGF), false, "Count", "");
    AddOutputField(tdf, "Cases-1", dao::dbDouble, ord);
    AddOutputField(tdf, "Cases-2", dao::dbDouble, ord);
    if (fMann) {
        for (const char* name : {"SumRank-1", "SumRank-2", "MeanRank-1", "MeanRank-2", "Ties", "TiedGroups", "SumTies",
                                 "MW_U", "MW_U_Prime", "MW_W", "MW_Z", "MW_Prob", "MW_Z_(ties)", "MW_Prob_(ties)"}) {
            AddOutputField(tdf, name, dao::dbDouble, ord);
        }
    }
    if (fKS) {
        for (const char* name : {"KS_MaxAbsoluteDiff", "KS_MaxPosDiff", "KS_MaxNegDiff", "KS_Z", "KS_Prob"}) {
            AddOutputField(tdf, name, dao::dbDouble, ord);
        }
    }
    return Zantels.Quarn_CreateTable(tdf, true);
}

std::string MannKruskalKS::CreateKruskalWallis() {
    ProcScope scope(ErrStack(), "CreateKruskalWallis");
    dao::TableDefPtr tdf = NewResultTable(Zantels, OutTableName);
    int16_t ord = BuildOutputFields(tdf, static_cast<int16_t>(nGF - 1), strFields, lngFieldTypes, lngFieldSizes, true,
                                    0, 0, fWeight, "Count", "Missing");
    for (const char* name : {"Groups", "Ties", "TiedGroups", "SumTies", "H", "Prob", "H_(ties)", "Prob_(ties)"}) {
        AddOutputField(tdf, name, dao::dbDouble, ord);
    }
    return Zantels.Quarn_CreateTable(tdf, true);
}

std::string MannKruskalKS::CreateKruskalDetail() {
    ProcScope scope(ErrStack(), "CreateKruskalDetail");
    dao::TableDefPtr tdf = NewResultTable(Zantels, OutTableName2);
    int16_t ord = BuildOutputFields(tdf, static_cast<int16_t>(nGF), strFields, lngFieldTypes, lngFieldSizes, true, 0, 0,
                                    fWeight, "Count", "");
    AddOutputField(tdf, "SumRanks", dao::dbDouble, ord);
    AddOutputField(tdf, "MeanRank", dao::dbDouble, ord);
    return Zantels.Quarn_CreateTable(tdf, false);
}

void MannKruskalKS::ReadRecords() {
    ProcScope scope(ErrStack(), "ReadRecords");
    GroupWalker walk(Zantels, strFields, static_cast<int16_t>(nGF - 1), fWeight,
                     static_cast<int16_t>(nGF + nFields + 1));
    InitData();
    walk.Walk({.record = [&](double w) { CalcData(walk, w); },
               .groupEnd = [&](const GroupValues& group, int32_t records) { WriteData(group, records); },
               .groupStart = [&] { InitData(); }});
}

void MannKruskalKS::InitData() {
    values.assign(static_cast<size_t>(nFields) + 1, {});
    count.assign(static_cast<size_t>(n + 1) * static_cast<size_t>(nFields + 1), 0);
    weightSum.assign(count.size(), 0.0);
    position = 0;
    groupKey.Forget();
}

bool MannKruskalKS::FindGroup(const vb::Variant& value) {
    // The source is sorted by the compare value within a group, so the
    // current or the next position usually matches. A Null matches the Null
    // entry of the list, like any other value.
    auto same = [&](int g) { return Zantels.Quarn_SameValue(value, varGroups[static_cast<size_t>(g)], false); };
    if (position >= 1) {
        if (same(position)) return true;
        if (position < n && same(position + 1)) {
            ++position;
            return true;
        }
    }
    for (int g = 1; g <= n; ++g) {
        if (same(g)) {
            position = g;
            return true;
        }
    }
    return false;
}

void MannKruskalKS::CalcData(const GroupWalker& walk, double w) {
    if (w <= 0) return;
    if (walk.Refresh(static_cast<int16_t>(nGF), groupKey, groupValue)) groupListed = FindGroup(groupValue);
    if (!groupListed) {
        ++unlisted;
        return;
    }
    for (int f = 1; f <= nFields; ++f) {
        double x = 0;
        if (!walk.PresentValue(static_cast<int16_t>(nGF + f), x)) continue;
        count[Cell(position, f)] += 1;
        weightSum[Cell(position, f)] += w;
        values[static_cast<size_t>(f)].push_back({x, position, w});
    }
}

void MannKruskalKS::WriteData(const GroupValues& group, int32_t records) {
    ProcScope scope(ErrStack(), "WriteData");
    for (int f = 1; f <= nFields; ++f) {
        auto& obs = values[static_cast<size_t>(f)];
        std::sort(obs.begin(), obs.end(), [](const Observation& a, const Observation& b) { return a.x < b.x; });
    }
    if (fKruskal) {
        WriteKruskalWallis(group, records);
    } else if (fMann || fKS) {
        WriteMannKS(group);
    }
}

void MannKruskalKS::WriteMannKS(const GroupValues& group) {
    ProcScope scope(ErrStack(), "WriteMannKS");
    for (int f = 1; f <= nFields; ++f) {
        for (int g1 = 1; g1 <= n; ++g1) {
            if (!(weightSum[Cell(g1, f)] > 0)) continue;
            for (int g2 = g1 + 1; g2 <= n; ++g2) {
                if (weightSum[Cell(g2, f)] > 0) WritePair(group, f, g1, g2);
            }
        }
    }
}

// One row: samples g1 and g2 of field f.
void MannKruskalKS::WritePair(const GroupValues& group, int f, int g1, int g2) {
    const double N1 = weightSum[Cell(g1, f)];
    const double N2 = weightSum[Cell(g2, f)];
    const PairBlocks blocks = WalkPair(values[static_cast<size_t>(f)], g1, g2, N1, N2, fMann, fKS);
    Zantels.Quarn_Msg(0, true,
                      "Analyzing field: " + std::to_string(f) + ", Group 1: " + std::to_string(g1) +
                          ", Group 2: " + std::to_string(g2));
    const dao::RecordsetPtr& out = Zantels.OutputRecordset();
    out->AddNew();
    WriteGroupValues(out, static_cast<int16_t>(nGF - 1), strFields, group, static_cast<int16_t>(nGF + f), "Count", "",
                     false, N1 + N2, 0, 0, static_cast<int16_t>(nGF), varGroups[static_cast<size_t>(g1)],
                     varGroups[static_cast<size_t>(g2)]);
    SetIfFinite(out, "Cases-1", N1);
    SetIfFinite(out, "Cases-2", N2);
    if (fMann) WriteMannWhitney(out, blocks, N1, N2);
    if (fKS) WriteKolmogorovSmirnov(out, blocks, N1, N2);
    out->Update();
}

void MannKruskalKS::WriteMannWhitney(const dao::RecordsetPtr& out, const PairBlocks& b, double N1, double N2) {
    const MannWhitney mw = MannWhitneyU(b, N1, N2);
    SetIfFinite(out, "SumRank-1", b.R1);
    SetIfFinite(out, "SumRank-2", b.R2);
    SetIfFinite(out, "MeanRank-1", b.R1 / N1);
    SetIfFinite(out, "MeanRank-2", b.R2 / N2);
    SetIfFinite(out, "Ties", b.ties);
    SetIfFinite(out, "TiedGroups", b.tieSums.tg);
    SetIfFinite(out, "SumTies", mw.sumTies);
    SetIfFinite(out, "MW_U", mw.U);
    SetIfFinite(out, "MW_U_Prime", mw.UPrime);
    SetIfFinite(out, "MW_W", mw.W);
    if (mw.Z) {
        SetIfFinite(out, "MW_Z", *mw.Z);
        SetIfFinite(out, "MW_Prob", NormalTwoTails(zv, *mw.Z));
    }
    if (mw.ZTies) {
        SetIfFinite(out, "MW_Z_(ties)", *mw.ZTies);
        SetIfFinite(out, "MW_Prob_(ties)", NormalTwoTails(zv, *mw.ZTies));
    }
}

void MannKruskalKS::WriteKolmogorovSmirnov(const dao::RecordsetPtr& out, const PairBlocks& b, double N1, double N2) {
    const KolmogorovSmirnov ks = KolmogorovSmirnovD(b, N1, N2);
    SetIfFinite(out, "KS_MaxAbsoluteDiff", ks.D);
    SetIfFinite(out, "KS_MaxPosDiff", b.dPos);
    SetIfFinite(out, "KS_MaxNegDiff", b.dNeg);
    SetIfFinite(out, "KS_Z", ks.Z);
    SetIfFinite(out, "KS_Prob", zv.Quarn_CalcKSProb(ks.Z));
}

void MannKruskalKS::WriteKruskalWallis(GroupValues group, int32_t records) {
    ProcScope scope(ErrStack(), "WriteKruskalWallis");
    const dao::RecordsetPtr& out = Zantels.OutputRecordset();
    for (int f = 1; f <= nFields; ++f) {
        const SampleRanks ranks = RankSamples(values[static_cast<size_t>(f)], n);
        const KruskalWallis kw = KruskalWallisH(ranks);
        if (fDetail) {
            for (int g = 1; g <= n; ++g) {
                const auto gi = static_cast<size_t>(g);
                if (!(ranks.rankSum[gi] > 0)) continue;
                // The compare value of the row goes into the compare column.
                group.resize(static_cast<size_t>(nGF) + 1);
                group[static_cast<size_t>(nGF)] = varGroups[gi];
                detail->AddNew();
                WriteGroupValues(detail, static_cast<int16_t>(nGF), strFields, group, static_cast<int16_t>(nGF + f),
                                 "Count", "", fWeight, ranks.weight[gi], 0, ranks.records[gi]);
                SetIfFinite(detail, "SumRanks", ranks.rankSum[gi]);
                SetIfFinite(detail, "MeanRank", ranks.rankSum[gi] / ranks.weight[gi]);
                detail->Update();
            }
        }

        int32_t used = 0;
        for (int g = 1; g <= n; ++g) used += count[Cell(g, f)];
        out->AddNew();
        WriteGroupValues(out, static_cast<int16_t>(nGF - 1), strFields, group, static_cast<int16_t>(nGF + f), "Count",
                         "Missing", fWeight, kw.N, records, used);
        SetIfFinite(out, "Groups", kw.k);
        SetIfFinite(out, "Ties", ranks.ties);
        SetIfFinite(out, "TiedGroups", ranks.tieSums.tg);
        SetIfFinite(out, "SumTies", ranks.tieSums.t3);
        // With fewer than two compare values the test is undefined: H, its
        // tie-corrected form and both probabilities stay Null.
        if (kw.H) {
            SetIfFinite(out, "H", *kw.H);
            SetIfFinite(out, "Prob", zv.Quarn_CalcProb("C", *kw.H, kw.k - 1, 0));
        }
        if (kw.HTies) {
            SetIfFinite(out, "H_(ties)", *kw.HTies);
            if (std::isfinite(*kw.HTies))
                SetIfFinite(out, "Prob_(ties)", zv.Quarn_CalcProb("C", *kw.HTies, kw.k - 1, 0));
        }
        out->Update();
    }
}

}  // namespace

std::string Quarn_MannKSKruskal(const std::string& OutTableName, const std::string& OutTableName2,
                                const std::string& strUserTable, FieldNames& strFields, int16_t intGroupFields,
                                int16_t intNumFields, bool fWeightField, int16_t Mann_b, int16_t KS_b,
                                int16_t Kruskal_b, RunContext& Zantels) {
    ProcScope scope(ErrStack(), "Quarn_MannKSKruskal");
    MannKruskalKS test(Zantels, OutTableName, OutTableName2, strUserTable, strFields, intGroupFields, intNumFields,
                       fWeightField, Mann_b != 0, KS_b != 0, Kruskal_b != 0);
    return test.Run();
}
