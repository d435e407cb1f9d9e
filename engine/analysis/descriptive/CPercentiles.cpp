// Percentile points of every analysed field, group by group: one row per
// point from 0 (the smallest value) to 100 (the largest).
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "AnalysisPhases.h"
#include "ErrorStack.h"
#include "GroupWalker.h"
#include "RunContext.h"
#include "numeric/Numerics.h"
#include "StatsGeneral.h"
#include "analysis/AnalysisEntries.h"
#include "analysis/descriptive/CDescribe.h"
#include "analysis/descriptive/StagedSort.h"
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
    // What a group gathers, kept until its rows are written.
    struct GroupData {
        GroupValues group;
        // Per field: sum of weights (compensated: weights such as 0.1 add up
        // exactly) and the valid values.
        std::vector<ExactSum> sumW;
        std::vector<std::vector<StagedValue>> stage;
    };

    void InitData();
    void CalcData(double w);
    void EndGroup(const GroupValues& group);
    void WriteData(const GroupData& g);

    RunContext* zantels_ = nullptr;
    GroupWalker* walk_ = nullptr;
    FieldNames* fields_ = nullptr;
    int16_t nG_ = 0, nX_ = 0;
    bool weighted_ = false;
    int16_t groups_ = 0;
    // The group being read, and a finished one whose values are being
    // sorted while the next is read (its rows go out before that one's).
    StagedGroups<GroupData> staged_;
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
                 InitData();
                 GroupWalker walk(Zantels, strFields, nG_, weighted_, static_cast<int16_t>(nG_ + nX_ + 1));
                 walk_ = &walk;
                 walk.Walk({.record = [this](double w) { CalcData(w); },
                            .groupEnd = [this](const GroupValues& g, int32_t) { EndGroup(g); },
                            .groupStart = [this] { InitData(); }});
                 staged_.Flush([this](const GroupData& g) { WriteData(g); });
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
    const size_t fields = static_cast<size_t>(nX_) + 1;
    staged_.current.sumW.assign(fields, ExactSum());
    staged_.current.stage.resize(fields);
    for (auto& values : staged_.current.stage) values.clear();
    StagedSort::Prepare(staged_.current.stage);
}

void CPercentiles::CalcData(double w) {
    if (w <= 0) return;
    for (int16_t k = 1; k <= nX_; ++k) {
        double x = 0;
        if (!walk_->PresentValue(static_cast<int16_t>(nG_ + k), x)) continue;
        staged_.current.sumW[static_cast<size_t>(k)].Add(w);
        staged_.current.stage[static_cast<size_t>(k)].push_back({x, w});
    }
}

void CPercentiles::EndGroup(const GroupValues& group) {
    staged_.current.group = group;
    staged_.End(true, [this](const GroupData& g) { WriteData(g); });
}

void CPercentiles::WriteData(const GroupData& g) {
    ProcScope scope(ErrStack(), "WriteData");
    const dao::RecordsetPtr& rs = zantels_->OutputRecordset();
    const int16_t step = static_cast<int16_t>(100 / groups_);
    std::vector<double> points(static_cast<size_t>(groups_) + 1, 0.0);
    for (int16_t k = 1; k <= nX_; ++k) {
        const double total = g.sumW[static_cast<size_t>(k)].Value();
        if (!(total > 0)) continue;
        CDescribe::Quarn_CalcPcntiles(g.stage[static_cast<size_t>(k)], weighted_, groups_, total, points);
        for (int16_t o = 0; o <= groups_; ++o) {
            rs->AddNew();
            WriteGroupValues(rs, nG_, *fields_, g.group, static_cast<int16_t>(nG_ + k), "", "", false, 0, 0, 0);
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
