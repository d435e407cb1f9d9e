// Mann-Whitney rank-sum and two-sample Kolmogorov-Smirnov tests for every
// pair of compare values, and the Kruskal-Wallis test over all of them, per
// group of the group fields and analysed field. The accepted values of a
// group are held in memory and ranked with the shared tie-averaging ranker:
// a record counts as many times as the whole part of its weight, in the ranks
// and in every count the tests are formed from; Count and Cases are the
// weights as they are.
#include <algorithm>
#include <cmath>
#include <set>

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
    void WriteMannWhitney(const dao::RecordsetPtr& out, int f, const PairBlocks& b, double n1, double n2);
    void WriteKolmogorovSmirnov(const dao::RecordsetPtr& out, const PairBlocks& b, double n1, double n2);
    void SetOrNote(const dao::RecordsetPtr& rs, std::string_view column, double value, int f);
    void ReportBeyond();
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
    std::vector<ExactSum> weightSum;               // per (g, f): the weights
    std::vector<ExactSum> wholeSum;                // per (g, f): their whole parts
    int position = 0;
    // The stored compare value of the record before and whether it was listed
    // (at `position`): records of one sample come together.
    StoredValueCache groupKey;
    vb::Variant groupValue;
    bool groupListed = false;
    int64_t unlisted = 0;  // records whose compare value is not in the list
    // Statistics (column, field) beyond a Double, left empty: reported once.
    std::set<std::pair<std::string, std::string>> beyond;
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
                 ReportBeyond();
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
    weightSum.assign(count.size(), {});
    wholeSum.assign(count.size(), {});
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
        weightSum[Cell(position, f)].Add(w);
        wholeSum[Cell(position, f)].Add(std::floor(w));
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
    // A sample without a ranked observation (every weight below 1) is no
    // side of a test, as an empty one.
    for (int f = 1; f <= nFields; ++f) {
        for (int g1 = 1; g1 <= n; ++g1) {
            if (!(wholeSum[Cell(g1, f)].Value() > 0)) continue;
            for (int g2 = g1 + 1; g2 <= n; ++g2) {
                if (wholeSum[Cell(g2, f)].Value() > 0) WritePair(group, f, g1, g2);
            }
        }
    }
}

// One row: samples g1 and g2 of field f. Count and Cases are the weights,
// the tests are formed from the whole counts n1 and n2.
void MannKruskalKS::WritePair(const GroupValues& group, int f, int g1, int g2) {
    const double N1 = weightSum[Cell(g1, f)].Value();
    const double N2 = weightSum[Cell(g2, f)].Value();
    // The count of both samples is their weights' exact sum rounded once.
    ExactSum both = weightSum[Cell(g1, f)];
    both.Add(weightSum[Cell(g2, f)]);
    const double n1 = wholeSum[Cell(g1, f)].Value();
    const double n2 = wholeSum[Cell(g2, f)].Value();
    const PairBlocks blocks = WalkPair(values[static_cast<size_t>(f)], g1, g2, n1, n2, fMann, fKS);
    Zantels.Quarn_Msg(0, true,
                      "Analyzing field: " + std::to_string(f) + ", Group 1: " + std::to_string(g1) +
                          ", Group 2: " + std::to_string(g2));
    const dao::RecordsetPtr& out = Zantels.OutputRecordset();
    out->AddNew();
    WriteGroupValues(out, static_cast<int16_t>(nGF - 1), strFields, group, static_cast<int16_t>(nGF + f), "Count", "",
                     false, both.Value(), 0, 0, static_cast<int16_t>(nGF), varGroups[static_cast<size_t>(g1)],
                     varGroups[static_cast<size_t>(g2)]);
    SetIfFinite(out, "Cases-1", N1);
    SetIfFinite(out, "Cases-2", N2);
    if (fMann) WriteMannWhitney(out, f, blocks, n1, n2);
    if (fKS) WriteKolmogorovSmirnov(out, blocks, n1, n2);
    out->Update();
}

void MannKruskalKS::WriteMannWhitney(const dao::RecordsetPtr& out, int f, const PairBlocks& b, double n1, double n2) {
    const MannWhitney mw = MannWhitneyU(b, n1, n2);
    SetOrNote(out, "SumRank-1", b.R1, f);
    SetOrNote(out, "SumRank-2", b.R2, f);
    SetIfFinite(out, "MeanRank-1", b.meanRank1);
    SetIfFinite(out, "MeanRank-2", b.meanRank2);
    SetIfFinite(out, "Ties", b.ties);
    SetIfFinite(out, "TiedGroups", b.tieSums.tg);
    SetOrNote(out, "SumTies", mw.sumTies, f);
    SetOrNote(out, "MW_U", mw.U, f);
    SetOrNote(out, "MW_U_Prime", mw.UPrime, f);
    SetOrNote(out, "MW_W", mw.W, f);
    if (mw.Z) {
        SetIfFinite(out, "MW_Z", *mw.Z);
        SetIfFinite(out, "MW_Prob", NormalTwoTails(zv, *mw.Z));
    }
    if (mw.ZTies) {
        SetIfFinite(out, "MW_Z_(ties)", *mw.ZTies);
        SetIfFinite(out, "MW_Prob_(ties)", NormalTwoTails(zv, *mw.ZTies));
    }
}

void MannKruskalKS::WriteKolmogorovSmirnov(const dao::RecordsetPtr& out, const PairBlocks& b, double n1, double n2) {
    const KolmogorovSmirnov ks = KolmogorovSmirnovD(b, n1, n2);
    SetIfFinite(out, "KS_MaxAbsoluteDiff", ks.D);
    SetIfFinite(out, "KS_MaxPosDiff", b.dPos);
    SetIfFinite(out, "KS_MaxNegDiff", b.dNeg);
    SetIfFinite(out, "KS_Z", ks.Z);
    SetIfFinite(out, "KS_Prob", zv.Quarn_CalcKSProb(ks.Z));
}

// Only whole counts of weights far above 1 take a rank sum, U or tie term
// beyond the largest Double; the tests themselves are still formed. Such a
// cell is left empty, and the run reports it once per statistic and field.
void MannKruskalKS::SetOrNote(const dao::RecordsetPtr& rs, std::string_view column, double value, int f) {
    if (std::isinf(value)) {
        beyond.emplace(std::string(column), FieldName(f));
        return;
    }
    SetIfFinite(rs, column, value);
}

void MannKruskalKS::ReportBeyond() {
    const std::string weights =
        fWeight ? "the weights of [" + strFields.at(static_cast<size_t>(nGF + nFields + 1)) + "]" : "the weights";
    for (const auto& [column, field] : beyond) {
        Zantels.Quarn_Msg(0, true,
                          "The " + column + " of the field [" + field +
                              "] is beyond the largest number a result can hold (about 1.8E+308), for " + weights +
                              " are too large for it: its cells are left empty");
    }
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
                if (!(ranks.weight[gi] > 0)) continue;
                // The compare value of the row goes into the compare column.
                group.resize(static_cast<size_t>(nGF) + 1);
                group[static_cast<size_t>(nGF)] = varGroups[gi];
                detail->AddNew();
                WriteGroupValues(detail, static_cast<int16_t>(nGF), strFields, group, static_cast<int16_t>(nGF + f),
                                 "Count", "", fWeight, ranks.weight[gi], 0, ranks.records[gi]);
                SetOrNote(detail, "SumRanks", ranks.rankSum[gi], f);
                SetIfFinite(detail, "MeanRank", ranks.meanRank[gi]);
                detail->Update();
            }
        }

        int32_t used = 0;
        for (int g = 1; g <= n; ++g) used += count[Cell(g, f)];
        out->AddNew();
        WriteGroupValues(out, static_cast<int16_t>(nGF - 1), strFields, group, static_cast<int16_t>(nGF + f), "Count",
                         "Missing", fWeight, ranks.count, records, used);
        SetIfFinite(out, "Groups", kw.k);
        SetIfFinite(out, "Ties", ranks.ties);
        SetIfFinite(out, "TiedGroups", ranks.tieSums.tg);
        SetOrNote(out, "SumTies", ranks.SumTies(), f);
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
