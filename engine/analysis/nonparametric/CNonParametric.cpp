// Paired fields: every X field paired record by record with the Y field, per
// group of the group fields. One result row per group and X field with the
// means, the counts of X below, equal to and above Y, Pearson's r and, as
// chosen, the sign test of the differences, Wilcoxon's signed-rank test and
// Spearman's rank correlation with and without the correction for ties.
//
// The pairs of a group are kept in memory and ranked there: a group is read
// once, and its ranks cost a sort per test instead of queries on a scratch
// table.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
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
#include "analysis/nonparametric/TieBlocks.h"
#include "analysis/nonparametric/NormalTails.h"
#include "numeric/CZValue.h"
#include "numeric/Numerics.h"
#include "vb/Variant.h"

namespace {

// One valid pair of a group: the two values, their difference x - y formed
// without binary noise, and the record's weight.
struct Pair {
    double x;
    double y;
    double d;
    double w;
};

// The accumulators of one X field in one group.
struct FieldSums : PairedSums {
    std::vector<Pair> pairs;  // kept for the rank tests only
};

struct WilcoxonResult {
    double nn = 0, np = 0, rn = 0, rp = 0;
    bool tested = false;
    double z = 0, prob = 0;
};

struct SpearmanResult {
    double gx = 0, gy = 0;
    bool hasRho = false, hasT = false, hasRhoT = false, hasTT = false;
    double rho = 0, t = 0, rhoT = 0, tT = 0;
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

// Tie-averaged ranks of one value of the pairs, each pair counting the whole
// part of its weight, into rank (by pair); the ranker gathers the tie terms.
// The values are sorted beside their pairs' positions, not through them;
// values that arrive in order (the field the source is sorted by) are not
// sorted at all.
template <class Value>
void RankValues(const std::vector<Pair>& pairs, Value value, TieRanker& ranker, std::vector<double>& rank) {
    std::vector<std::pair<double, size_t>> order(pairs.size());
    for (size_t i = 0; i < pairs.size(); ++i) order[i] = {value(pairs[i]), i};
    const auto less = [](const std::pair<double, size_t>& a, const std::pair<double, size_t>& b) {
        return a.first < b.first;
    };
    if (!std::is_sorted(order.begin(), order.end(), less)) std::sort(order.begin(), order.end(), less);
    RankTieBlocks(
        order.size(), ranker, [&](size_t first, size_t i) { return order[first].first == order[i].first; },
        [&](size_t i) { return WholeWeight(pairs[order[i].second].w); },
        [&](size_t i, double r) { rank[order[i].second] = r; });
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
    WilcoxonResult CalcWilcoxon(std::vector<Pair>& pairs);
    SpearmanResult CalcSpearman(std::vector<Pair>& pairs);
    void SignTest(double lt, double gt, double& z, double& prob);

    RunContext* z_ = nullptr;
    FieldNames* fields_ = nullptr;
    int nG_ = 0, nX_ = 0, yField_ = 0, weightPos_ = 0;
    bool fWeight_ = false, fSign_ = false, fWilcoxon_ = false, fSpearman_ = false, fRank_ = false;
    std::vector<int32_t> types_, sizes_;
    std::string countColumn_;
    std::vector<FieldSums> sums_;
    CZValue prob_;
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
    for (FieldSums& s : sums_) {
        s.pairs.clear();
        const size_t keep = s.pairs.capacity();
        s = FieldSums();
        s.pairs.reserve(keep);
    }
}

void CNonParametric::ReadRecords() {
    ProcScope scope(ErrStack(), "ReadRecords");
    sums_.assign(static_cast<size_t>(nX_) + 1, FieldSums());
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
    for (int i = 1; i <= nX_; ++i) {
        double x = 0;
        if (!walk.PresentValue(static_cast<int16_t>(nG_ + i), x)) continue;
        FieldSums& s = sums_[static_cast<size_t>(i)];
        s.Add(x, yValue, w);
        if (fRank_) s.pairs.push_back({x, y, PreciseDifference(x, y), w});
    }
}

void CNonParametric::WriteData(const GroupValues& group, int32_t lngGroupRecords) {
    ProcScope scope(ErrStack(), "WriteData");
    const dao::RecordsetPtr& out = z_->OutputRecordset();
    const bool hasY = yField_ > 0;
    for (int i = 1; i <= nX_; ++i) {
        FieldSums& s = sums_[static_cast<size_t>(i)];
        const std::string& xName = fields_->at(static_cast<size_t>(nG_ + i));
        const WeightedCoMoments& m = s.moments;
        const double W = s.Weight();

        WilcoxonResult wilcoxon;
        SpearmanResult spearman;
        if (fWilcoxon_) {
            z_->Quarn_Msg(0, true, "Calculating Wilcoxon for [" + xName + "]");
            wilcoxon = CalcWilcoxon(s.pairs);
        }
        if (fSpearman_ && W > 1) {
            z_->Quarn_Msg(0, true, "Calculating Spearman for [" + xName + "]");
            spearman = CalcSpearman(s.pairs);
        }

        out->AddNew();
        WriteGroupValues(out, static_cast<int16_t>(nG_), *fields_, group, static_cast<int16_t>(nG_ + i), countColumn_,
                         "Missing", fWeight_, W, lngGroupRecords, s.Count());
        if (W > 0 && hasY) {
            SetIfFinite(out, "MeanY", m.MeanY());
            SetIfFinite(out, "MeanDiff", m.MeanDifference());
            SetIfFinite(out, "Count<Y", s.below);
            SetIfFinite(out, "Count=Y", s.equal);
            SetIfFinite(out, "Count>Y", s.above);
            // From the scaled sums, which values near the largest Double do not overflow.
            if (const auto r = CorrelationFromCentred(m.ScaledMxx(), m.ScaledMyy(), m.ScaledMxy()))
                SetIfFinite(out, "Pearson's_R", *r);
        }
        if (W > 0) {
            SetIfFinite(out, "Mean", m.MeanX());
            if (fSign_) {
                double z = 0;
                double p = 0;
                SignTest(s.below, s.above, z, p);
                SetIfFinite(out, "SignZ", z);
                SetIfFinite(out, "SignProb", p);
            }
            if (fWilcoxon_) {
                SetIfFinite(out, "Wilcoxon_Neg_SumRank", wilcoxon.rn);
                SetIfFinite(out, "Wilcoxon_Pos_SumRank", wilcoxon.rp);
                if (wilcoxon.nn > 0) SetIfFinite(out, "Wilcoxon_Neg_MeanRank", wilcoxon.rn / wilcoxon.nn);
                if (wilcoxon.np > 0) SetIfFinite(out, "Wilcoxon_Pos_MeanRank", wilcoxon.rp / wilcoxon.np);
                if (wilcoxon.tested) {
                    SetIfFinite(out, "Wilcoxon_Z", wilcoxon.z);
                    SetIfFinite(out, "Wilcoxon_Prob", wilcoxon.prob);
                }
            }
            if (fSpearman_ && W > 1) {
                SetIfFinite(out, "TiedGroups_X", spearman.gx);
                SetIfFinite(out, "TiedGroups_Y", spearman.gy);
                // A statistic that the data leave undefined stays Null.
                if (spearman.hasRho) SetIfFinite(out, "Spearman", spearman.rho);
                if (spearman.hasT) {
                    SetIfFinite(out, "Spearman_t", spearman.t);
                    SetIfFinite(out, "Spearman_Prob", prob_.Quarn_CalcProb("T", spearman.t, W - 2, 0));
                }
                if (spearman.hasRhoT) SetIfFinite(out, "Spearman_(ties)", spearman.rhoT);
                if (spearman.hasTT) {
                    SetIfFinite(out, "Spearman_t_(ties)", spearman.tT);
                    SetIfFinite(out, "Spearman_Prob_(ties)", prob_.Quarn_CalcProb("T", spearman.tT, W - 2, 0));
                }
            }
        }
        out->Update();
    }
}

// Normal approximation with continuity correction to the sign test of the
// pairs with x < y against those with x > y; ties (x = y) take no part.
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
// value (a pair counts as many times as the whole part of its weight), the
// smaller rank sum against its mean in the normal approximation, with neither
// a tie nor a continuity correction.
WilcoxonResult CNonParametric::CalcWilcoxon(std::vector<Pair>& pairs) {
    ProcScope scope(ErrStack(), "CalcWilcoxon");
    WilcoxonResult r;
    std::vector<Pair> nonZero;
    nonZero.reserve(pairs.size());
    for (const Pair& p : pairs) {
        if (p.d != 0) nonZero.push_back(p);
    }
    std::sort(nonZero.begin(), nonZero.end(),
              [](const Pair& a, const Pair& b) { return std::fabs(a.d) < std::fabs(b.d); });
    TieRanker ranker(false);
    RankTieBlocks(
        nonZero.size(), ranker,
        [&](size_t first, size_t i) { return SameText15(std::fabs(nonZero[first].d), std::fabs(nonZero[i].d)); },
        [&](size_t i) { return WholeWeight(nonZero[i].w); },
        [&](size_t i, double rank) {
            const double w = WholeWeight(nonZero[i].w);
            if (nonZero[i].d < 0) {
                r.nn += w;
                r.rn += rank * w;
            } else {
                r.np += w;
                r.rp += rank * w;
            }
        });
    const double n = r.nn + r.np;
    if (n > 0) {
        const double t = r.rn < r.rp ? r.rn : r.rp;
        r.z = PreciseDifference(t, n * (n + 1) / 4) / std::sqrt(n * (n + 1) * (2 * n + 1) / 24);
        r.prob = NormalTwoTails(prob_, r.z);
        r.tested = std::isfinite(r.z);
    }
    return r;
}

// Spearman's rank correlation of X and Y: mid-ranks with the pairs counted by
// the whole parts of their weights, the plain coefficient from the squared
// rank differences and the coefficient corrected for ties (the correlation of
// the mid-ranks), each with its t statistic.
SpearmanResult CNonParametric::CalcSpearman(std::vector<Pair>& pairs) {
    ProcScope scope(ErrStack(), "CalcSpearmanTauKS");
    SpearmanResult r;
    const size_t m = pairs.size();
    std::vector<double> rankX(m), rankY(m);
    TieRanker rankerX(false);
    RankValues(
        pairs, [](const Pair& p) { return p.x; }, rankerX, rankX);
    TieRanker rankerY(false);
    RankValues(
        pairs, [](const Pair& p) { return p.y; }, rankerY, rankY);

    const TieSums& tx = rankerX.Sums();
    const TieSums& ty = rankerY.Sums();
    r.gx = tx.tg;
    r.gy = ty.tg;

    double d2 = 0;
    double n = 0;
    for (size_t i = 0; i < m; ++i) {
        const double w = WholeWeight(pairs[i].w);
        n += w;
        // Ranks are multiples of a quarter, so their difference is exact.
        const double diff = rankX[i] - rankY[i];
        d2 += diff * diff * w;
    }
    if (n <= 1) return r;  // no correlation among fewer than two observations

    r.rho = PreciseDifference(1, 6 * d2 / ((n * n - 1) * n));
    r.hasRho = std::isfinite(r.rho);
    // The t statistic needs a third observation and |rho| below 1.
    if (std::fabs(r.rho) != 1 && n > 2) {
        r.t = r.rho * std::sqrt((n - 2) / PreciseDifference(1, r.rho * r.rho));
        r.hasT = std::isfinite(r.t);
    }
    r.rhoT = r.rho;
    r.hasRhoT = r.hasRho;
    r.tT = r.t;
    r.hasTT = r.hasT;
    if (tx.tw + ty.tw > 0) {
        const double n3 = n * n * n - n;
        const double sx = PreciseDifference(n3, tx.t3) / 12;
        const double sy = PreciseDifference(n3, ty.t3) / 12;
        r.hasRhoT = false;
        r.hasTT = false;
        // All values of X or of Y tied: no correlation is defined.
        if (sx * sy > 0) {
            r.rhoT = (PreciseDifference(sy, d2) + sx) / (2 * std::sqrt(sx * sy));
            r.hasRhoT = std::isfinite(r.rhoT);
            if (1 - std::fabs(r.rhoT) > 1e-13 && n > 2) {
                r.tT = r.rhoT * std::sqrt((n - 2) / PreciseDifference(1, r.rhoT * r.rhoT));
                r.hasTT = std::isfinite(r.tT);
            }
        }
    }
    return r;
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
