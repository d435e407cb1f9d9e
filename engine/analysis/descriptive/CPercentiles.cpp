// Percentile points of every analysed field, group by group: one row per
// point from 0 (the smallest value) to 100 (the largest).
#include <cstdint>
#include <string>
#include <vector>

#include "AnalysisPhases.h"
#include "ErrorStack.h"
#include "GroupWalker.h"
#include "RunContext.h"
#include "numeric/Numerics.h"
#include "StatsGeneral.h"
#include "analysis/AnalysisEntries.h"
#include "analysis/descriptive/CDescribe.h"
#include "vb/Conversions.h"

namespace {

class CPercentiles {
public:
    std::string Quarn_Percentile(const std::string& OutTableName, const std::string& strUserTable,
                                 FieldNames& strFields, int16_t intGroupFields, int16_t intNumFields, bool fWeightField,
                                 const std::string& strPcntiles, RunContext& Zantels);

private:
    std::string CreateOutput(const std::string& table, const std::vector<int32_t>& types,
                             const std::vector<int32_t>& sizes);
    void InitData();
    void CalcData(double w);
    void WriteData(const GroupValues& group);

    RunContext* zantels_ = nullptr;
    GroupWalker* walk_ = nullptr;
    FieldNames* fields_ = nullptr;
    int16_t nG_ = 0, nX_ = 0;
    bool weighted_ = false;
    int16_t groups_ = 0;
    // Per field of the current group: sum of weights and the valid values.
    std::vector<CompensatedSum> sumW_;  // compensated: weights such as 0.1 add up exactly
    std::vector<std::vector<StagedValue>> stage_;
};

std::string CPercentiles::Quarn_Percentile(const std::string& OutTableName, const std::string& strUserTable,
                                           FieldNames& strFields, int16_t intGroupFields, int16_t intNumFields,
                                           bool fWeightField, const std::string& strPcntiles, RunContext& Zantels) {
    ProcScope scope(ErrStack(), "Quarn_Percentile");
    zantels_ = &Zantels;
    // Only the first character names the division.
    const std::string letter = strPcntiles.substr(0, 1);
    if (strPcntiles.empty() || vb::InStr(1, "MQ5DP", strPcntiles, vb::vbTextCompare) == 0)
        return "Unknown percentile type: " + strPcntiles;
    fields_ = &strFields;
    nG_ = intGroupFields;
    nX_ = intNumFields;
    weighted_ = fWeightField;
    groups_ = PercentileGroups(letter);

    std::vector<int32_t> types, sizes;
    // The groups' values are held in memory; the result rows go out in one
    // transaction.
    return RunAnalysisPhases(
        Zantels,
        {.openSource =
             [&] { return Zantels.Quarn_InitDataTable(strUserTable, strFields, intGroupFields, types, sizes); },
         .createOutput = [&] { return CreateOutput(OutTableName, types, sizes); },
         .readRecords =
             [&] {
                 sumW_.assign(static_cast<size_t>(nX_) + 1, {});
                 stage_.assign(static_cast<size_t>(nX_) + 1, {});
                 InitData();
                 GroupWalker walk(Zantels, strFields, nG_, weighted_, static_cast<int16_t>(nG_ + nX_ + 1));
                 walk_ = &walk;
                 walk.Walk({.record = [this](double w) { CalcData(w); },
                            .groupEnd = [this](const GroupValues& g, int32_t) { WriteData(g); },
                            .groupStart = [this] { InitData(); }});
                 walk_ = nullptr;
             }});
}

std::string CPercentiles::CreateOutput(const std::string& table, const std::vector<int32_t>& types,
                                       const std::vector<int32_t>& sizes) {
    ProcScope scope(ErrStack(), "CreateOutput");
    RunContext& z = *zantels_;
    dao::TableDefPtr tdf = NewResultTable(z, table);
    int16_t ord = BuildOutputFields(tdf, nG_, *fields_, types, sizes, true, 0, 0, false, "", "");
    AddOutputField(tdf, "Percentile", dao::dbDouble, ord);
    AddOutputField(tdf, "Value", dao::dbDouble, ord);
    return z.Quarn_CreateTable(tdf, true);
}

void CPercentiles::InitData() {
    for (int16_t k = 1; k <= nX_; ++k) {
        sumW_[static_cast<size_t>(k)].Clear();
        stage_[static_cast<size_t>(k)].clear();
    }
}

void CPercentiles::CalcData(double w) {
    if (w <= 0) return;
    for (int16_t k = 1; k <= nX_; ++k) {
        double x = 0;
        if (!walk_->PresentValue(static_cast<int16_t>(nG_ + k), x)) continue;
        sumW_[static_cast<size_t>(k)].Add(w);
        stage_[static_cast<size_t>(k)].push_back({x, w});
    }
}

void CPercentiles::WriteData(const GroupValues& group) {
    ProcScope scope(ErrStack(), "WriteData");
    const dao::RecordsetPtr& rs = zantels_->OutputRecordset();
    const int16_t step = static_cast<int16_t>(100 / groups_);
    std::vector<double> points(static_cast<size_t>(groups_) + 1, 0.0);
    for (int16_t k = 1; k <= nX_; ++k) {
        const double total = sumW_[static_cast<size_t>(k)].Value();
        if (!(total > 0)) continue;
        std::vector<StagedValue>& values = stage_[static_cast<size_t>(k)];
        SortByValue(values);
        CDescribe::Quarn_CalcPcntiles(values, weighted_, groups_, total, points);
        for (int16_t o = 0; o <= groups_; ++o) {
            rs->AddNew();
            WriteGroupValues(rs, nG_, *fields_, group, static_cast<int16_t>(nG_ + k), "", "", false, 0, 0, 0);
            rs->Fields(std::string_view("Percentile"))->Value(static_cast<double>(o * step));
            rs->Fields(std::string_view("Value"))->Value(points[static_cast<size_t>(o)]);
            rs->Update();
        }
    }
}

}  // namespace

std::string Quarn_Percentile(const std::string& OutTableName, const std::string& strUserTable, FieldNames& strFields,
                             int16_t intGroupFields, int16_t intNumFields, bool fWeightField,
                             const std::string& strPcntiles, RunContext& Zantels) {
    CPercentiles percentiles;
    return percentiles.Quarn_Percentile(OutTableName, strUserTable, strFields, intGroupFields, intNumFields,
                                        fWeightField, strPcntiles, Zantels);
}
