// Friedman's two-way analysis of variance by ranks: the analysed fields are
// the treatments and every usable record is a block. Within each group of the
// group fields the values of a record are ranked among themselves (ties share
// the mean of their positions), the weighted ranks are summed per field, and
// one output row carries the statistic, its degrees of freedom and its
// upper-tail chi-square probability; a detail row per field can follow.
//
// A record's ranks are formed as it is read, so a group needs no scratch
// table: it keeps only the k rank sums. Weights (taken as they are) far from
// 1 are held divided by a power of two, and so are the rank sums: the
// statistic grows with the weight, while their squares would overflow or
// vanish long before it does.
#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "AnalysisPhases.h"
#include "ErrorStack.h"
#include "GroupWalker.h"
#include "RunContext.h"
#include "StatsGeneral.h"
#include "analysis/AnalysisEntries.h"
#include "analysis/nonparametric/TieBlocks.h"
#include "numeric/CZValue.h"
#include "numeric/Numerics.h"
#include "numeric/WeightedMoments.h"
#include "vb/Variant.h"

namespace {

class CNonParamFriedman {
public:
    std::string CreateDetail(const std::string& OutTableName, int16_t intGroupFields, FieldNames& strFields,
                             std::vector<int32_t>& lngFieldTypes, std::vector<int32_t>& lngFieldSizes);
    std::string Quarn_NonParamFriedman(const std::string& OutTableName, const std::string& OutTableName2,
                                       const std::string& strUserTable, FieldNames& strFields, int16_t intGroupFields,
                                       int16_t intNumFields, bool fWeightField, RunContext& Zantels);

private:
    std::string CreateOutput(const std::string& OutTableName);
    void InitData();
    void ReadRecords();
    void CalcData(const GroupWalker& walk, double w);
    void WriteData(const GroupValues& group, int32_t lngGroupRecords);

    RunContext* z_ = nullptr;
    FieldNames* fields_ = nullptr;
    int nG_ = 0, k_ = 0;
    bool fWeight_ = false, fDetail_ = false;
    dao::RecordsetPtr detail_;
    std::vector<int32_t> types_, sizes_;

    // Per group.
    int32_t blocks_ = 0;              // usable records (c)
    HeldWeights weights_;             // sum of the usable records' weights (W)
    std::vector<ExactSum> rankSums_;  // per field: sum of weight x rank, held as the weights are
    std::string weightName_;          // the weight field, or "" without one

    // Scratch of one record.
    std::vector<double> values_;
    std::vector<int> order_;
    std::vector<double> ranks_;
    CZValue prob_;
};

std::string CNonParamFriedman::CreateDetail(const std::string& OutTableName, int16_t intGroupFields,
                                            FieldNames& strFields, std::vector<int32_t>& lngFieldTypes,
                                            std::vector<int32_t>& lngFieldSizes) {
    ProcScope scope(ErrStack(), "CreateDetail");
    dao::TableDefPtr tdf = NewResultTable(*z_, OutTableName);
    int16_t ordinal = 0;
    AddOutputField(tdf, "StatOutputID", dao::dbLong, ordinal);
    for (int g = 1; g <= intGroupFields; ++g) {
        AddOutputField(tdf, strFields.at(static_cast<size_t>(g)), static_cast<int16_t>(lngFieldTypes.at(g)), ordinal,
                       lngFieldSizes.at(static_cast<size_t>(g)));
    }
    AddOutputField(tdf, "DataField", dao::dbText, ordinal, 64);
    AddOutputField(tdf, "Count", dao::dbDouble, ordinal);
    AddOutputField(tdf, "SumRanks", dao::dbDouble, ordinal);
    AddOutputField(tdf, "MeanRank", dao::dbDouble, ordinal);
    std::string result = z_->Quarn_CreateTable(tdf, false);
    if (result.empty()) {
        detail_ = OpenResultTable(z_->OutputDatabase(), OutTableName);
        // Held in the engine's second slot too, so a failed run closes it.
        z_->OutputRecordset2(detail_);
    }
    return result;
}

std::string CNonParamFriedman::Quarn_NonParamFriedman(const std::string& OutTableName, const std::string& OutTableName2,
                                                      const std::string& strUserTable, FieldNames& strFields,
                                                      int16_t intGroupFields, int16_t intNumFields, bool fWeightField,
                                                      RunContext& Zantels) {
    ProcScope scope(ErrStack(), "Quarn_NonParamFriedman");
    z_ = &Zantels;
    fields_ = &strFields;
    nG_ = intGroupFields;
    k_ = intNumFields;
    fWeight_ = fWeightField;
    fDetail_ = !OutTableName2.empty();
    weightName_ = fWeightField ? strFields.at(static_cast<size_t>(nG_ + k_ + 1)) : std::string();

    const std::string result = RunAnalysisPhases(
        Zantels,
        {.openSource =
             [&] { return Zantels.Quarn_InitDataTable(strUserTable, strFields, intGroupFields, types_, sizes_); },
         .createOutput =
             [&] {
                 std::string text;
                 if (fDetail_) text = CreateDetail(OutTableName2, intGroupFields, strFields, types_, sizes_);
                 if (text.empty()) text = CreateOutput(OutTableName);
                 return text;
             },
         .readRecords = [&] { ReadRecords(); }});
    if (detail_) {
        detail_->Close();
        Zantels.OutputRecordset2(nullptr);
    }
    return result;
}

std::string CNonParamFriedman::CreateOutput(const std::string& OutTableName) {
    ProcScope scope(ErrStack(), "CreateOutput");
    dao::TableDefPtr tdf = NewResultTable(*z_, OutTableName);
    int16_t ordinal = BuildOutputFields(tdf, static_cast<int16_t>(nG_), *fields_, types_, sizes_, false, 0, 0, fWeight_,
                                        "Count", "Missing");
    for (const char* name : {"DF", "Fields", "Chi-Squared", "Friedman_Prob"}) {
        AddOutputField(tdf, name, dao::dbDouble, ordinal);
    }
    return z_->Quarn_CreateTable(tdf, true);
}

void CNonParamFriedman::InitData() {
    blocks_ = 0;
    weights_ = HeldWeights();
    rankSums_.assign(static_cast<size_t>(k_) + 1, ExactSum());
}

void CNonParamFriedman::ReadRecords() {
    ProcScope scope(ErrStack(), "ReadRecords");
    values_.assign(static_cast<size_t>(k_), 0.0);
    order_.assign(static_cast<size_t>(k_), 0);
    ranks_.assign(static_cast<size_t>(k_), 0.0);
    InitData();
    GroupWalker walk(*z_, *fields_, static_cast<int16_t>(nG_), fWeight_, static_cast<int16_t>(nG_ + k_ + 1));
    walk.Walk({.record = [&](double w) { CalcData(walk, w); },
               .groupEnd = [&](const GroupValues& group, int32_t records) { WriteData(group, records); },
               .groupStart = [&] { InitData(); }});
}

// One record: used only when its weight is positive and none of the k values
// is Null or missing (listwise); its values are then ranked among themselves.
void CNonParamFriedman::CalcData(const GroupWalker& walk, double w) {
    if (!(w > 0)) return;
    for (int b = 0; b < k_; ++b) {
        if (!walk.PresentValue(static_cast<int16_t>(nG_ + b + 1), values_[static_cast<size_t>(b)])) return;
    }
    if (blocks_ == 0) weights_.Start(w);
    const int exponent = weights_.Exponent();
    w = weights_.Hold(w);
    // A weight far above those before moves the sums to its own exponent.
    if (weights_.Exponent() != exponent) {
        for (ExactSum& r : rankSums_) r.Scale(exponent - weights_.Exponent());
    }
    weights_.Add(w);
    ++blocks_;
    for (int b = 0; b < k_; ++b) order_[static_cast<size_t>(b)] = b;
    std::sort(order_.begin(), order_.end(),
              [&](int a, int c) { return values_[static_cast<size_t>(a)] < values_[static_cast<size_t>(c)]; });
    TieRanker ranker(false);
    RankTieBlocks(
        static_cast<size_t>(k_), ranker,
        [&](size_t first, size_t i) {
            return values_[static_cast<size_t>(order_[first])] == values_[static_cast<size_t>(order_[i])];
        },
        [](size_t) { return 1.0; }, [&](size_t i, double rank) { ranks_[static_cast<size_t>(order_[i])] = rank; });
    for (int b = 0; b < k_; ++b) rankSums_[static_cast<size_t>(b) + 1].AddProduct(w, ranks_[static_cast<size_t>(b)]);
}

void CNonParamFriedman::WriteData(const GroupValues& group, int32_t lngGroupRecords) {
    ProcScope scope(ErrStack(), "WriteData");
    // The statistic needs two fields or more and at least one usable record.
    const bool ranked = blocks_ > 0 && k_ >= 2;
    // The statistic 12 / (b k (k + 1)) sum R^2 - 3 b (k + 1) is summed as the
    // fields' spread about the mean rank sum b (k + 1) / 2, whose deviations
    // are exact for whole weights and half-integer ranks; the difference of
    // the two large terms would keep only the digits they do not share.
    // Weights and rank sums are held divided by 2^e, so is the statistic.
    const int e = weights_.Exponent();
    const double held = weights_.Held();
    const double weight = weights_.Value();
    const double meanRankSum = held * (k_ + 1) / 2;
    double spread = 0;
    if (ranked) {
        for (int b = 1; b <= k_; ++b) {
            const ExactSum& rankSum = rankSums_[static_cast<size_t>(b)];
            const double r = rankSum.Value();
            spread += (r - meanRankSum) * (r - meanRankSum);
            if (fDetail_) {
                const std::string& field = fields_->at(static_cast<size_t>(nG_ + b));
                detail_->AddNew();
                WriteGroupValues(detail_, static_cast<int16_t>(nG_), *fields_, group, static_cast<int16_t>(nG_ + b),
                                 "Count", "", false, weight, 0, 0);
                const double sum = std::ldexp(r, e);
                if (std::isinf(sum)) throw ResultOverflow(field, "SumRanks", weightName_);
                detail_->Fields(std::string_view("SumRanks"))->Value(sum);
                detail_->Fields(std::string_view("MeanRank"))->Value(ExactQuotient(rankSum, weights_.Sum()));
                detail_->Update();
            }
        }
    }
    const dao::RecordsetPtr& out = z_->OutputRecordset();
    out->AddNew();
    WriteGroupValues(out, static_cast<int16_t>(nG_), *fields_, group, 0, "Count", "Missing", fWeight_, weight,
                     lngGroupRecords, blocks_);
    out->Fields(std::string_view("DF"))->Value(static_cast<double>(k_ - 1));
    out->Fields(std::string_view("Fields"))->Value(static_cast<double>(k_));
    if (ranked && held > 0) {
        const double k = k_;
        const double statistic = std::ldexp(12 / (held * k * (k + 1)) * spread, e);
        // Finite weights with a statistic beyond a Double: the weights carry it there.
        if (std::isinf(statistic)) throw ResultOverflow("", "Chi-Squared", weightName_);
        if (std::isfinite(statistic)) {
            out->Fields(std::string_view("Chi-Squared"))->Value(statistic);
            out->Fields(std::string_view("Friedman_Prob"))->Value(prob_.Quarn_CalcProb("C", statistic, k - 1, 0));
        }
    }
    out->Update();
}

}  // namespace

std::string Quarn_NonParamFriedman(const std::string& OutTableName, const std::string& OutTableName2,
                                   const std::string& strUserTable, FieldNames& strFields, int16_t intGroupFields,
                                   int16_t intNumFields, bool fWeightField, RunContext& Zantels) {
    CNonParamFriedman analysis;
    return analysis.Quarn_NonParamFriedman(OutTableName, OutTableName2, strUserTable, strFields, intGroupFields,
                                           intNumFields, fWeightField, Zantels);
}
