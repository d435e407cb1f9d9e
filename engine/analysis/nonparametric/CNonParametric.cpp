// Paired fields: every X field paired record by record with the Y field, per
// group of the group fields. One result row per group and X field with the
// means, the counts of X below, equal to and above Y, Pearson's r and, as
// chosen, the sign test of the differences, Wilcoxon's signed-rank test and
// Spearman's rank correlation with and without the correction for ties.
//
// The pairs of a group are kept in memory and ranked there: a group is read
// once, and its ranks cost a radix sort per ranked value instead of queries
// on a scratch table. The group's order by Y is made once for all X fields,
// and X values that arrive in order are not sorted.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <utility>
#include <string>
#include <vector>

#include "AnalysisPhases.h"
#include "ErrorStack.h"
#include "GroupWalker.h"
#include "RunContext.h"
#include "StatsGeneral.h"
#include "analysis/PairedSums.h"
#include "analysis/AnalysisEntries.h"
#include "analysis/nonparametric/HeldRanks.h"
#include "analysis/nonparametric/NormalTails.h"
#include "analysis/nonparametric/SortKeys.h"
#include "numeric/CZValue.h"
#include "numeric/Numerics.h"
#include "vb/Variant.h"

namespace {

// One valid pair of a group: the X value, the difference x - y formed
// without binary noise, the record's weight and its number among the group's
// records with a valid Y (whose Y values the analysis keeps for all fields).
struct Pair {
    double x;
    double d;
    double w;
    uint32_t record;
};

// Items appended and read back in order, held in blocks that are kept when
// the list is emptied: a group's list grows without copying what it holds,
// and later groups reuse the memory.
template <class T>
class BlockList {
public:
    void push_back(const T& item) {
        if (size_ == blocks_.size() * kBlock) blocks_.push_back(std::make_unique<T[]>(kBlock));
        blocks_[size_ >> kShift][size_ & (kBlock - 1)] = item;
        ++size_;
    }
    const T& operator[](size_t i) const { return blocks_[i >> kShift][i & (kBlock - 1)]; }
    size_t size() const { return size_; }
    void clear() { size_ = 0; }

private:
    static constexpr int kShift = 11;
    static constexpr size_t kBlock = size_t{1} << kShift;
    std::vector<std::unique_ptr<T[]>> blocks_;
    size_t size_ = 0;
};
using PairList = BlockList<Pair>;

// The accumulators of one X field in one group. The rank and sign tests
// count a pair as many times as the whole part of its weight: `counted`
// observations in all, `countedBelow` and `countedAbove` of them with x < y
// and x > y.
struct FieldSums : PairedSums {
    PairList pairs;  // kept for the rank tests only
    double counted = 0, countedBelow = 0, countedAbove = 0;
};

struct WilcoxonResult {
    double nn = 0, np = 0;  // observations with a negative and a positive difference
    double rn = 0, rp = 0;  // their rank sums (an infinity beyond a Double)
    double meanN = 0, meanP = 0;
    bool tested = false;
    double z = 0, prob = 0;
};

struct SpearmanResult {
    double gx = 0, gy = 0;
    bool hasRho = false, hasT = false, hasRhoT = false, hasTT = false;
    double rho = 0, t = 0, rhoT = 0, tT = 0;
    double df = 0;  // of the t statistics: the ranked observations less 2
};

// What the chosen tests give one X field of a group; none where the field
// has no observation with a whole weight.
struct FieldTests {
    bool counted = false;
    double signZ = 0, signProb = 0;
    WilcoxonResult wilcoxon;
    SpearmanResult spearman;
    double spearmanProb = 0, spearmanProbTies = 0;  // of its t statistics
};

double WholeWeight(double w) { return std::floor(w); }

// Whether two non-negative values, a <= b, read the same when written with 15
// significant digits: the test by which the signed-rank test ties absolute
// differences. Values farther apart than 1e-13 relative cannot agree there.
bool SameText15(double a, double b) {
    if (a == b) return true;
    if (b - a > 1e-13 * b) return false;
    char ta[40];
    char tb[40];
    std::snprintf(ta, sizeof ta, "%.15g", a);
    std::snprintf(tb, sizeof tb, "%.15g", b);
    return std::strcmp(ta, tb) == 0;
}

// Tie-averaged ranks of the items of `sorted` (keys ascending, each item a
// pair), each pair counting whole[pair] (the whole part of its weight, held),
// into rank (by pair); the ranker gathers the tie terms.
void RankSorted(const std::vector<KeyedItem>& sorted, const std::vector<double>& whole, HeldTieRanker& ranker,
                std::vector<double>& rank) {
    RankTieBlocks(
        sorted.size(), ranker, [&](size_t first, size_t i) { return sorted[first].key == sorted[i].key; },
        [&](size_t i) { return whole[sorted[i].item]; }, [&](size_t i, double r) { rank[sorted[i].item] = r; });
}

class CNonParametric {
public:
    std::string Quarn_NonParametric(const std::string& OutTableName, const std::string& strUserTable,
                                    FieldNames& strFields, int16_t intGroupFields, int16_t intNumFields,
                                    int16_t intYField, bool fWeightField, int16_t intTwoSign_b, int16_t intWilcoxon_b,
                                    int16_t intSpearman_b, RunContext& Zantels);

private:
    std::string CreateOutput(const std::string& OutTableName);
    void InitData();
    void ReadRecords();
    void CalcData(const GroupWalker& walk, double w);
    void WriteData(const GroupValues& group, int32_t lngGroupRecords);
    FieldTests TestField(int i);
    void WriteRow(const GroupValues& group, int32_t lngGroupRecords, int i, const FieldTests& t);
    WilcoxonResult CalcWilcoxon(const PairList& pairs);
    SpearmanResult CalcSpearman(const PairList& pairs);
    void RankPairs(const PairList& pairs, HeldTieRanker& rankerX, HeldTieRanker& rankerY);
    void CorrectForTies(SpearmanResult& r, const TieSums& tx, const TieSums& ty, double n, double d2);
    void WholeWeights(const PairList& pairs);
    void SortYs();
    void SignTest(double lt, double gt, double& z, double& prob);
    // Writes a rank figure, refusing one beyond a Double: the weights'
    // whole parts carry it there.
    void SetOrRefuse(const dao::RecordsetPtr& out, std::string_view column, double value, int i) const;

    RunContext* z_ = nullptr;
    FieldNames* fields_ = nullptr;
    int nG_ = 0, nX_ = 0, yField_ = 0, weightPos_ = 0;
    bool fWeight_ = false, fSign_ = false, fWilcoxon_ = false, fSpearman_ = false, fRank_ = false;
    std::vector<int32_t> types_, sizes_;
    std::string countColumn_;
    std::string weightName_;  // the weight field, or "" without one
    std::vector<FieldSums> sums_;
    CZValue prob_;

    // The group's records with a valid Y: their Y values, and their numbers
    // sorted by Y (made once per group, shared by the X fields).
    std::vector<double> ys_;
    std::vector<KeyedItem> yOrder_;
    bool ySorted_ = false;
    // Working room of the sorts, kept from group to group.
    std::vector<KeyedItem> items_, scratch_;
    std::vector<uint32_t> pairOf_;
    std::vector<double> rankX_, rankY_;
    std::vector<double> whole_;  // the whole parts of the pairs' weights, held, by pair
    CountScale scale_;           // at which whole_ and the ranks are held
};

std::string CNonParametric::Quarn_NonParametric(const std::string& OutTableName, const std::string& strUserTable,
                                                FieldNames& strFields, int16_t intGroupFields, int16_t intNumFields,
                                                int16_t intYField, bool fWeightField, int16_t intTwoSign_b,
                                                int16_t intWilcoxon_b, int16_t intSpearman_b, RunContext& Zantels) {
    ProcScope scope(ErrStack(), "Quarn_NonParametric");
    z_ = &Zantels;
    fields_ = &strFields;
    nG_ = intGroupFields;
    nX_ = intNumFields;
    yField_ = intYField;
    fWeight_ = fWeightField;
    weightPos_ = intGroupFields + intNumFields + 2;
    fSign_ = intTwoSign_b != 0;
    fWilcoxon_ = intWilcoxon_b != 0;
    fSpearman_ = intSpearman_b != 0;
    fRank_ = fWilcoxon_ || fSpearman_;
    weightName_ = fWeightField ? strFields.at(static_cast<size_t>(weightPos_)) : std::string();
    prob_.Quarn_FactorialInit();

    return RunAnalysisPhases(
        Zantels,
        {.openSource =
             [&] { return Zantels.Quarn_InitDataTable(strUserTable, strFields, intGroupFields, types_, sizes_); },
         .createOutput = [&] { return CreateOutput(OutTableName); },
         .readRecords = [&] { ReadRecords(); }});
}

std::string CNonParametric::CreateOutput(const std::string& OutTableName) {
    ProcScope scope(ErrStack(), "CreateOutput");
    dao::TableDefPtr tdf = NewResultTable(*z_, OutTableName);
    const bool hasY = yField_ > 0;
    countColumn_ = ("Count_of_" + (hasY ? fields_->at(static_cast<size_t>(yField_)) : std::string())).substr(0, 64);
    int16_t ordinal = BuildOutputFields(tdf, static_cast<int16_t>(nG_), *fields_, types_, sizes_, true, 0, 0, fWeight_,
                                        countColumn_, "Missing");
    auto add = [&](const char* name) { AddOutputField(tdf, name, dao::dbDouble, ordinal); };
    add("Mean");
    if (hasY) {
        for (const char* name : {"MeanY", "MeanDiff", "Count<Y", "Count=Y", "Count>Y", "Pearson's_R"}) add(name);
    }
    if (fSign_) {
        add("SignZ");
        add("SignProb");
    }
    if (fWilcoxon_) {
        for (const char* name : {"Wilcoxon_Neg_SumRank", "Wilcoxon_Pos_SumRank", "Wilcoxon_Neg_MeanRank",
                                 "Wilcoxon_Pos_MeanRank", "Wilcoxon_Z", "Wilcoxon_Prob"}) {
            add(name);
        }
    }
    if (fSpearman_) {
        for (const char* name : {"TiedGroups_X", "TiedGroups_Y", "Spearman", "Spearman_t", "Spearman_Prob",
                                 "Spearman_(ties)", "Spearman_t_(ties)", "Spearman_Prob_(ties)"}) {
            add(name);
        }
    }
    return z_->Quarn_CreateTable(tdf, true);
}

void CNonParametric::InitData() {
    // The pairs' room is kept from group to group.
    for (FieldSums& s : sums_) {
        PairList room = std::move(s.pairs);
        room.clear();
        s = FieldSums();
        s.pairs = std::move(room);
    }
    ys_.clear();
    ySorted_ = false;
}

void CNonParametric::ReadRecords() {
    ProcScope scope(ErrStack(), "ReadRecords");
    sums_.clear();
    sums_.resize(static_cast<size_t>(nX_) + 1);
    GroupWalker walk(*z_, *fields_, static_cast<int16_t>(nG_), fWeight_, static_cast<int16_t>(weightPos_));
    walk.Walk({.record = [&](double w) { CalcData(walk, w); },
               .groupEnd = [&](const GroupValues& group, int32_t records) { WriteData(group, records); },
               .groupStart = [&] { InitData(); }});
}

// One record: a valid pair for every X field whose value is present, when the
// weight is positive and Y is present.
void CNonParametric::CalcData(const GroupWalker& walk, double w) {
    if (!(w > 0) || yField_ <= 0) return;
    double y = 0;
    if (!walk.PresentValue(static_cast<int16_t>(yField_), y)) return;
    const DecimalValue yValue = SplitDecimal(y);
    const auto record = static_cast<uint32_t>(ys_.size());
    if (fSpearman_) ys_.push_back(y);
    for (int i = 1; i <= nX_; ++i) {
        double x = 0;
        if (!walk.PresentValue(static_cast<int16_t>(nG_ + i), x)) continue;
        FieldSums& s = sums_[static_cast<size_t>(i)];
        s.Add(x, yValue, w);
        const double whole = WholeWeight(w);
        s.counted += whole;
        if (x < y) {
            s.countedBelow += whole;
        } else if (x > y) {
            s.countedAbove += whole;
        }
        if (fRank_) s.pairs.push_back({x, ValueDifference(x, y), w, record});
    }
}

void CNonParametric::WriteData(const GroupValues& group, int32_t lngGroupRecords) {
    ProcScope scope(ErrStack(), "WriteData");
    for (int i = 1; i <= nX_; ++i) WriteRow(group, lngGroupRecords, i, TestField(i));
}

FieldTests CNonParametric::TestField(int i) {
    const FieldSums& s = sums_[static_cast<size_t>(i)];
    const std::string& xName = fields_->at(static_cast<size_t>(nG_ + i));
    FieldTests t;
    // Pairs whose weights are all below 1 leave nothing to test.
    t.counted = s.counted > 0;
    if (!t.counted) return t;
    if (fRank_) WholeWeights(s.pairs);
    if (fWilcoxon_) {
        z_->Quarn_Msg(0, true, "Calculating Wilcoxon for [" + xName + "]");
        t.wilcoxon = CalcWilcoxon(s.pairs);
    }
    if (fSpearman_ && s.counted > 1) {
        z_->Quarn_Msg(0, true, "Calculating Spearman for [" + xName + "]");
        t.spearman = CalcSpearman(s.pairs);
        const double df = t.spearman.df;
        if (t.spearman.hasT) t.spearmanProb = prob_.Quarn_CalcProb("T", t.spearman.t, df, 0);
        if (t.spearman.hasTT) t.spearmanProbTies = prob_.Quarn_CalcProb("T", t.spearman.tT, df, 0);
    }
    if (fSign_) SignTest(s.countedBelow, s.countedAbove, t.signZ, t.signProb);
    return t;
}

void CNonParametric::WriteRow(const GroupValues& group, int32_t lngGroupRecords, int i, const FieldTests& t) {
    const dao::RecordsetPtr& out = z_->OutputRecordset();
    const FieldSums& s = sums_[static_cast<size_t>(i)];
    const WeightedCoMoments& m = s.moments;
    const double W = s.Weight();
    out->AddNew();
    WriteGroupValues(out, static_cast<int16_t>(nG_), *fields_, group, static_cast<int16_t>(nG_ + i), countColumn_,
                     "Missing", fWeight_, W, lngGroupRecords, s.Count());
    if (W > 0 && yField_ > 0) {
        SetIfFinite(out, "MeanY", m.MeanY());
        SetIfFinite(out, "MeanDiff", m.MeanDifference());
        SetIfFinite(out, "Count<Y", s.below.Value());
        SetIfFinite(out, "Count=Y", s.equal.Value());
        SetIfFinite(out, "Count>Y", s.above.Value());
        // From the scaled sums, which values near the largest Double do not overflow.
        if (const auto r = m.Correlation()) SetIfFinite(out, "Pearson's_R", *r);
    }
    if (W > 0) SetIfFinite(out, "Mean", m.MeanX());
    if (t.counted) {
        if (fSign_) {
            SetIfFinite(out, "SignZ", t.signZ);
            SetIfFinite(out, "SignProb", t.signProb);
        }
        if (fWilcoxon_) {
            const WilcoxonResult& w = t.wilcoxon;
            SetOrRefuse(out, "Wilcoxon_Neg_SumRank", w.rn, i);
            SetOrRefuse(out, "Wilcoxon_Pos_SumRank", w.rp, i);
            if (w.nn > 0) SetIfFinite(out, "Wilcoxon_Neg_MeanRank", w.meanN);
            if (w.np > 0) SetIfFinite(out, "Wilcoxon_Pos_MeanRank", w.meanP);
            if (w.tested) {
                SetIfFinite(out, "Wilcoxon_Z", w.z);
                SetIfFinite(out, "Wilcoxon_Prob", w.prob);
            }
        }
        if (fSpearman_ && s.counted > 1) {
            const SpearmanResult& r = t.spearman;
            SetIfFinite(out, "TiedGroups_X", r.gx);
            SetIfFinite(out, "TiedGroups_Y", r.gy);
            // A statistic that the data leave undefined stays Null.
            if (r.hasRho) SetIfFinite(out, "Spearman", r.rho);
            if (r.hasT) {
                SetIfFinite(out, "Spearman_t", r.t);
                SetIfFinite(out, "Spearman_Prob", t.spearmanProb);
            }
            if (r.hasRhoT) SetIfFinite(out, "Spearman_(ties)", r.rhoT);
            if (r.hasTT) {
                SetIfFinite(out, "Spearman_t_(ties)", r.tT);
                SetIfFinite(out, "Spearman_Prob_(ties)", t.spearmanProbTies);
            }
        }
    }
    out->Update();
}

void CNonParametric::SetOrRefuse(const dao::RecordsetPtr& out, std::string_view column, double value, int i) const {
    if (std::isinf(value)) throw ResultOverflow(fields_->at(static_cast<size_t>(nG_ + i)), column, weightName_);
    SetIfFinite(out, column, value);
}

// Normal approximation with continuity correction to the sign test of the
// observations with x < y against those with x > y (each pair counted by the
// whole part of its weight); ties (x = y) take no part.
void CNonParametric::SignTest(double lt, double gt, double& z, double& prob) {
    const double m = lt + gt;
    if (!(m > 0)) {
        z = 0;
        prob = 1;
        return;
    }
    const double larger = lt > gt ? lt : gt;
    // The correction of 1/2 never carries the excess below zero: balanced
    // counts give z = 0 and probability 1.
    const double excess = std::max(0.0, PreciseDifference(PreciseDifference(larger, m / 2), 0.5));
    z = excess / (0.5 * std::sqrt(m));
    prob = NormalTwoTails(prob_, z);
}

// Wilcoxon's signed-rank test: the non-zero differences ranked by absolute
// value (a pair counts as many times as the whole part of its weight; one
// below 1 takes no rank), the smaller rank sum against its mean in the normal
// approximation, with neither a tie nor a continuity correction. Counts and
// ranks are held at scale_: z is formed there and carries the square root of
// the count, the rank sums its square.
WilcoxonResult CNonParametric::CalcWilcoxon(const PairList& pairs) {
    ProcScope scope(ErrStack(), "CalcWilcoxon");
    WilcoxonResult r;
    // The item carries the pair's number and, in its top bit, the sign of the
    // difference, so that the ranked differences need no second look at
    // their pairs.
    constexpr uint32_t kNegative = uint32_t{1} << 31;
    items_.clear();
    double ranked = 0;
    for (size_t i = 0; i < pairs.size(); ++i) {
        const double d = pairs[i].d;
        if (d != 0 && whole_[i] > 0) {
            items_.push_back({OrderKey(std::fabs(d)), static_cast<uint32_t>(i) | (d < 0 ? kNegative : 0)});
            ranked += whole_[i];
        }
    }
    SortByKey(items_, scratch_);
    HeldTieRanker ranker(scale_);
    double nn = 0, np = 0;
    RankProductSum negative(scale_.Exponent() == 0 ? ranked : 0), positive(scale_.Exponent() == 0 ? ranked : 0);
    RankTieBlocks(
        items_.size(), ranker,
        [&](size_t first, size_t i) {
            return items_[first].key == items_[i].key ||
                   SameText15(KeyValue(items_[first].key), KeyValue(items_[i].key));
        },
        [&](size_t i) { return whole_[items_[i].item & ~kNegative]; },
        [&](size_t i, double rank) {
            const double w = whole_[items_[i].item & ~kNegative];
            if ((items_[i].item & kNegative) != 0) {
                nn += w;
                negative.Add(rank, w);
            } else {
                np += w;
                positive.Add(rank, w);
            }
        });
    const double rn = negative.Value(), rp = positive.Value();
    r.nn = scale_.Value(nn);
    r.np = scale_.Value(np);
    r.rn = scale_.Value(rn, 2);
    r.rp = scale_.Value(rp, 2);
    if (nn > 0) r.meanN = scale_.Value(negative.Over(nn));
    if (np > 0) r.meanP = scale_.Value(positive.Over(np));
    const double n = nn + np;
    if (n > 0) {
        const double u = scale_.Unit();
        const double t = rn < rp ? rn : rp;
        const double z = PreciseDifference(t, n * (n + u) / 4) / std::sqrt(n * (n + u) * (2 * n + u) / 24);
        r.z = scale_.RootValue(z);
        r.prob = NormalTwoTails(prob_, r.z);
        r.tested = std::isfinite(r.z);
    }
    return r;
}

// The whole parts of the pairs' weights, held at the scale their largest sets.
void CNonParametric::WholeWeights(const PairList& pairs) {
    whole_.resize(pairs.size());
    double largest = 0;
    for (size_t i = 0; i < pairs.size(); ++i) {
        whole_[i] = WholeWeight(pairs[i].w);
        largest = std::max(largest, whole_[i]);
    }
    scale_ = CountScale::For(largest);
    if (scale_.Exponent() != 0) {
        for (double& w : whole_) w = scale_.Held(w);
    }
}

// The group's records with a valid Y in the order of their Y values.
void CNonParametric::SortYs() {
    if (ySorted_) return;
    yOrder_.resize(ys_.size());
    for (size_t r = 0; r < ys_.size(); ++r) yOrder_[r] = {OrderKey(ys_[r]), static_cast<uint32_t>(r)};
    SortByKey(yOrder_, scratch_);
    ySorted_ = true;
}

// Spearman's rank correlation of X and Y: mid-ranks with the pairs counted by
// the whole parts of their weights, the plain coefficient from the squared
// rank differences and the coefficient corrected for ties (the correlation of
// the mid-ranks), each with its t statistic on the ranked observations less
// 2 degrees of freedom. Counts, ranks and their sums are held at scale_; the
// coefficients are free of it.
SpearmanResult CNonParametric::CalcSpearman(const PairList& pairs) {
    ProcScope scope(ErrStack(), "CalcSpearmanTauKS");
    SpearmanResult r;
    const size_t m = pairs.size();
    const std::vector<double>& rankX = rankX_;
    const std::vector<double>& rankY = rankY_;
    HeldTieRanker rankerX(scale_);
    HeldTieRanker rankerY(scale_);
    RankPairs(pairs, rankerX, rankerY);

    const TieSums& tx = rankerX.Sums();
    const TieSums& ty = rankerY.Sums();
    r.gx = tx.tg;
    r.gy = ty.tg;

    double d2 = 0;
    double n = 0;
    for (size_t i = 0; i < m; ++i) {
        const double w = whole_[i];
        n += w;
        // Mid-ranks are halves of whole positions, so their difference is exact.
        const double diff = rankX[i] - rankY[i];
        d2 += diff * diff * w;
    }
    const double u = scale_.Unit();
    if (n <= u) return r;  // no correlation among fewer than two observations

    r.rho = PreciseDifference(1, 6 * d2 / ((n * n - u * u) * n));
    r.hasRho = std::isfinite(r.rho);
    r.df = scale_.Value(n - 2 * u);
    // The t statistic needs a third observation and |rho| below 1.
    if (std::fabs(r.rho) != 1 && n > 2 * u) {
        r.t = scale_.RootValue(r.rho * std::sqrt((n - 2 * u) / PreciseDifference(1, r.rho * r.rho)));
        r.hasT = std::isfinite(r.t);
    }
    r.rhoT = r.rho;
    r.hasRhoT = r.hasRho;
    r.tT = r.t;
    r.hasTT = r.hasT;
    if (tx.tw + ty.tw > 0) CorrectForTies(r, tx, ty, n, d2);
    return r;
}

// Ranks the pairs' X values into rankX_ and their Y values into rankY_, each
// with its ties summed by its ranker.
void CNonParametric::RankPairs(const PairList& pairs, HeldTieRanker& rankerX, HeldTieRanker& rankerY) {
    const size_t m = pairs.size();
    rankX_.resize(m);  // every pair gets its rank below
    rankY_.resize(m);

    // X: values that arrive in order (the field the source is sorted by)
    // are not sorted at all.
    items_.resize(m);
    for (size_t i = 0; i < m; ++i) items_[i] = {OrderKey(pairs[i].x), static_cast<uint32_t>(i)};
    SortByKey(items_, scratch_);
    RankSorted(items_, whole_, rankerX, rankX_);

    // Y: the group's order by Y, less the records without this X.
    SortYs();
    items_.clear();
    if (m == ys_.size()) {
        items_.assign(yOrder_.begin(), yOrder_.end());
    } else {
        pairOf_.assign(ys_.size(), UINT32_MAX);
        for (size_t i = 0; i < m; ++i) pairOf_[pairs[i].record] = static_cast<uint32_t>(i);
        for (const KeyedItem& it : yOrder_) {
            if (pairOf_[it.item] != UINT32_MAX) items_.push_back({it.key, pairOf_[it.item]});
        }
    }
    RankSorted(items_, whole_, rankerY, rankY_);
}

// The coefficient corrected for ties, the correlation of the mid-ranks, and
// its t statistic, from the tie sums of X and Y, the observations n and the
// squared rank differences d2.
void CNonParametric::CorrectForTies(SpearmanResult& r, const TieSums& tx, const TieSums& ty, double n, double d2) {
    const double u = scale_.Unit();
    const double n3 = n * n * n - n * u * u;
    const double sx = PreciseDifference(n3, tx.t3) / 12;
    const double sy = PreciseDifference(n3, ty.t3) / 12;
    r.hasRhoT = false;
    r.hasTT = false;
    // All values of X or of Y tied: no correlation is defined.
    if (sx * sy > 0) {
        r.rhoT = (PreciseDifference(sy, d2) + sx) / (2 * std::sqrt(sx * sy));
        r.hasRhoT = std::isfinite(r.rhoT);
        if (1 - std::fabs(r.rhoT) > 1e-13 && n > 2 * u) {
            r.tT = scale_.RootValue(r.rhoT * std::sqrt((n - 2 * u) / PreciseDifference(1, r.rhoT * r.rhoT)));
            r.hasTT = std::isfinite(r.tT);
        }
    }
}

}  // namespace

std::string Quarn_NonParametric(const std::string& OutTableName, const std::string& strUserTable, FieldNames& strFields,
                                int16_t intGroupFields, int16_t intNumFields, int16_t intYField, bool fWeightField,
                                int16_t intSignTest_b, std::vector<double>& /*dblSignTest*/, int16_t& intTwoSign_b,
                                int16_t& intWilcoxon_b, int16_t& intSpearman_b, int16_t& intTau_b, int16_t& intChi_b,
                                RunContext& Zantels) {
    // The runner never asks for these three; they are not built.
    if (intSignTest_b != 0 || intTau_b != 0 || intChi_b != 0) {
        return "The median sign test, Kendall's tau and the chi-square comparison of paired fields are not available";
    }
    CNonParametric analysis;
    return analysis.Quarn_NonParametric(OutTableName, strUserTable, strFields, intGroupFields, intNumFields, intYField,
                                        fWeightField, intTwoSign_b, intWilcoxon_b, intSpearman_b, Zantels);
}
