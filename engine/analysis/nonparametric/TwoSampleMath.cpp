// The arithmetic of the rank tests of samples.
//
// Counts are whole counts: a record stands for the whole part of its weight.
// Up to 2^64 observations the statistics are formed from the counts as they
// are; beyond, where cubes and products of counts leave a Double, from counts
// held divided by 2^exponent (CountExponent), rank sums as mean ranks and U as
// a share of the n1 n2 pairs, so that every statistic a Double holds keeps its
// digits whatever the weights' scale.
#include "analysis/nonparametric/TwoSampleMath.h"

#include <algorithm>
#include <cmath>

#include "analysis/nonparametric/HeldRanks.h"
#include "analysis/nonparametric/TieBlocks.h"

namespace {

// Below this, cubes of whole counts and their tie terms are exact in a Double.
constexpr double kExactCube = 0x1p53;

// Adds sign a b to sum, each product of a part of a and a part of b exactly:
// counts near 2^64 beside counts of 1 keep the 1s, which a Double sum drops,
// and the difference of two such products keeps the digits in which they
// differ.
void AddProducts(ExactSum& sum, const ExactSum& a, const ExactSum& b, double sign) {
    const ExactSum ea = a.Expanded(), eb = b.Expanded();
    const double *pa = nullptr, *pb = nullptr;
    const int na = ea.Parts(pa), nb = eb.Parts(pb);
    for (int i = 0; i < na; ++i) {
        for (int j = 0; j < nb; ++j) sum.AddProduct(sign * pa[i], pb[j]);
    }
}

// The sums of a walk over two samples' tie blocks in ascending order of
// value: the rank sums and wins of the Mann-Whitney test and the extremes of
// the difference of the ECDFs, into b.
class PairWalk {
public:
    PairWalk(const std::vector<Observation>& obs, int g1, int g2, double n1, double n2, PairBlocks& b)
        : obs_(obs), g1_(g1), g2_(g2), n1_(n1), n2_(n2), b_(b), ranker_(false, b.exponent),
          heldPairs_(std::ldexp(n1, -b.exponent) * std::ldexp(n2, -b.exponent)), rank1_(b.exponent == 0 ? n1 + n2 : 0),
          rank2_(b.exponent == 0 ? n1 + n2 : 0), plain_(b.exponent == 0 && n1 * n2 <= 0x1p52) {}

    // The samples' counts held exactly, which the ECDFs' difference needs.
    void CountSamples() {
        if (plain_) return;
        for (const Observation& o : obs_) {
            if (o.g == g1_) exactN1_.Add(Held(o.w));
            if (o.g == g2_) exactN2_.Add(Held(o.w));
        }
    }

    void TakeBlock(size_t first, size_t end, bool fMann, bool fKS) {
        if (!SumBlock(first, end)) return;
        if (fMann) RankBlock();
        below1_ = plain_ ? plainRun1_ : run1_.Value();
        below2_ = plain_ ? plainRun2_ : run2_.Value();
        if (plain_) {
            if (fKS) StepEcdfs();
            return;
        }
        for (size_t i = first; i < end; ++i) {
            if (obs_[i].g == g1_) exactRun1_.Add(Held(obs_[i].w));
            if (obs_[i].g == g2_) exactRun2_.Add(Held(obs_[i].w));
        }
        if (fKS) StepEcdfs();
    }

    void Finish() {
        b_.heldWinsDifference = plain_ ? b_.wins1 - b_.wins2 : wins_.Value();
        b_.tieSums = ranker_.Sums();
        // The rank sum over the count where the sum is exact; the mean of
        // the ranks itself beyond.
        b_.R1 = rank1_.Value();
        b_.R2 = rank2_.Value();
        if (!plain_) {
            b_.wins1 = exactWins1_.Value();
            b_.wins2 = exactWins2_.Value();
        }
        b_.meanRank1 = b_.exponent == 0 ? rank1_.Over(n1_) : mean1_.Value();
        b_.meanRank2 = b_.exponent == 0 ? rank2_.Over(n2_) : mean2_.Value();
    }

private:
    double Held(double weight) const { return std::ldexp(std::floor(weight), -b_.exponent); }

    // The block's whole counts of each sample, added to the runs; false
    // where it holds no record of either.
    bool SumBlock(size_t first, size_t end) {
        bw1_ = 0, bw2_ = 0, ranked_ = 0;
        double records = 0;
        exactBlock1_.Clear();
        exactBlock2_.Clear();
        for (size_t i = first; i < end; ++i) {
            if (obs_[i].g != g1_ && obs_[i].g != g2_) continue;
            const double w = std::floor(obs_[i].w);
            (obs_[i].g == g1_ ? bw1_ : bw2_) += w;
            if (plain_) {
                (obs_[i].g == g1_ ? plainRun1_ : plainRun2_) += w;
            } else {
                (obs_[i].g == g1_ ? run1_ : run2_).Add(w);
                (obs_[i].g == g1_ ? exactBlock1_ : exactBlock2_).Add(Held(w));
            }
            records += 1;
            if (w >= 1) ranked_ += 1;
        }
        return records != 0;
    }

    void RankBlock() {
        // Each pair of a block against the blocks before it: a tie counts
        // half in each sample's wins, so it cancels here.
        if (!plain_) {
            AddProducts(wins_, exactBlock1_, exactRun2_, 1);
            AddProducts(wins_, exactBlock2_, exactRun1_, -1);
        }
        const double T = bw1_ + bw2_;
        const double m = ranker_.AddGroup(T);
        if (T > 1) b_.ties += ranked_;
        rank1_.Add(m, bw1_);
        rank2_.Add(m, bw2_);
        if (b_.exponent != 0) {
            mean1_.Add(m * (bw1_ / n1_));
            mean2_.Add(m * (bw2_ / n2_));
        }
        if (!plain_) {
            // Where the pairs won could pass 2^52, each block's products exactly.
            exactWins1_.AddProduct(bw1_, below2_);
            exactWins1_.AddProduct(bw1_, bw2_ / 2);
            exactWins2_.AddProduct(bw2_, below1_);
            exactWins2_.AddProduct(bw2_, bw1_ / 2);
        } else {
            b_.wins1 += bw1_ * (below2_ + bw2_ / 2);
            b_.wins2 += bw2_ * (below1_ + bw1_ / 2);
        }
        b_.share1 += bw1_ / n1_ * ((below2_ + bw2_ / 2) / n2_);
        b_.share2 += bw2_ / n2_ * ((below1_ + bw1_ / 2) / n1_);
    }

    void StepEcdfs() {
        // below1 / n1 - below2 / n2 as (below1 n2 - below2 n1) / (n1 n2), the
        // numerator exact: the difference rounded once but for the product
        // below it.
        double difference = 0;
        if (plain_) {
            difference = below1_ * n2_ - below2_ * n1_;
        } else {
            ExactSum numerator;
            AddProducts(numerator, exactRun1_, exactN2_, 1);
            AddProducts(numerator, exactRun2_, exactN1_, -1);
            difference = numerator.Value();
        }
        const double d = difference / heldPairs_;
        b_.dPos = std::max(b_.dPos, d);
        b_.dNeg = std::min(b_.dNeg, d);
    }

    const std::vector<Observation>& obs_;
    const int g1_, g2_;
    const double n1_, n2_;
    PairBlocks& b_;
    TieRanker ranker_;
    const double heldPairs_;
    ExactSum run1_, run2_, mean1_, mean2_;
    double below1_ = 0, below2_ = 0;         // observations of each sample in the blocks before
    double bw1_ = 0, bw2_ = 0, ranked_ = 0;  // of the block
    // The same counts held exactly (divided by 2^exponent), for the
    // differences that the statistics turn on: the pairs won by one sample
    // less those won by the other, and the difference of the ECDFs, both of
    // which vanish in a Double where large counts beside small ones nearly
    // balance.
    ExactSum exactRun1_, exactRun2_, exactBlock1_, exactBlock2_, exactN1_, exactN2_, wins_;
    // The rank sums, and the pairs each sample wins where those could round.
    RankProductSum rank1_, rank2_;
    ExactSum exactWins1_, exactWins2_;
    // Where n1 n2 is at most 2^52, every count, pair won, product and
    // difference above is a whole number or a half that a Double holds
    // exactly: the plain sums give the same values as the exact ones, at a
    // fraction of the work. (The rank sums, up to N (N + 1) / 2, keep their
    // own rule.)
    const bool plain_;
    double plainRun1_ = 0, plainRun2_ = 0;
};

}  // namespace

PairBlocks WalkPair(const std::vector<Observation>& obs, int g1, int g2, double n1, double n2, bool fMann, bool fKS) {
    PairBlocks b;
    b.exponent = CountExponent(n1 + n2);
    PairWalk walk(obs, g1, g2, n1, n2, b);
    if (fKS) walk.CountSamples();
    const auto sameValue = [&obs](size_t first, size_t i) { return obs[i].x == obs[first].x; };
    ForEachTieBlock(obs.size(), sameValue, [&](size_t first, size_t end) { walk.TakeBlock(first, end, fMann, fKS); });
    walk.Finish();
    return b;
}

MannWhitney MannWhitneyU(const PairBlocks& b, double n1, double n2) {
    MannWhitney r;
    const int e = b.exponent;
    r.sumTies = std::ldexp(b.tieSums.t3 / 12, 3 * e);
    // U is the smaller of the pairs the samples win, U' the larger: they add
    // up to n1 n2, and U - n1 n2 / 2 is half their difference.
    r.U = std::min(b.wins1, b.wins2);
    r.UPrime = std::max(b.wins1, b.wins2);
    r.W = n1 > n2 ? b.R2 : b.R1;
    const double N = n1 + n2;
    if (e == 0) {
        const double V0 = PreciseDifference(N * N * N, N) / 12;
        const double factor = n1 * n2 / (N * (N - 1));
        const double centred = -std::fabs(b.heldWinsDifference) / 2;
        // The normal approximation needs a positive variance.
        const double s = std::sqrt(factor * V0);
        if (N > 1 && std::isfinite(s) && s > 0) r.Z = centred / s;
        // (N^3 - N) / 12 - sumTies, without the cancellation of the two.
        const double untied = b.tieSums.untied / 12;
        if (N > 1 && untied > 0) {
            const double st = std::sqrt(factor * untied);
            if (std::isfinite(st) && st > 0) r.ZTies = centred / st;
        }
        return r;
    }
    // Held: Z = share sqrt(12 n1 n2 N (N - 1) / (N^3 - N - sum ties)), the
    // counts divided by c = 2^-e (the root takes 2^(e/2) of the quotient's 2^e).
    const double c = std::ldexp(1.0, -e);
    const double n1c = std::ldexp(n1, -e), n2c = std::ldexp(n2, -e), nc = n1c + n2c;
    const double share = -std::fabs(b.heldWinsDifference) / (n1c * n2c) / 2;
    const double pairs = 12 * n1c * n2c * nc * (nc - c);
    const double cubes = nc * nc * nc - nc * c * c;
    if (cubes > 0) r.Z = share * std::ldexp(std::sqrt(pairs / cubes), e / 2);
    if (b.tieSums.untied > 0) r.ZTies = share * std::ldexp(std::sqrt(pairs / b.tieSums.untied), e / 2);
    return r;
}

KolmogorovSmirnov KolmogorovSmirnovD(const PairBlocks& b, double n1, double n2) {
    KolmogorovSmirnov r;
    r.D = std::fabs(b.dNeg) > b.dPos ? std::fabs(b.dNeg) : b.dPos;
    const int e = b.exponent;
    const double n1c = std::ldexp(n1, -e), n2c = std::ldexp(n2, -e);
    r.Z = r.D * std::ldexp(std::sqrt(n1c * n2c / (n1c + n2c)), e / 2);
    return r;
}

SampleRanks RankSamples(const std::vector<Observation>& obs, int n) {
    const auto size = static_cast<size_t>(n) + 1;
    SampleRanks r;
    r.records.assign(size, 0);
    r.rankSum.assign(size, 0.0);
    r.meanRank.assign(size, 0.0);
    // Each sample's whole count first: the mean ranks are gathered as shares of it.
    std::vector<ExactSum> counts(size), means(size);
    ExactSum all;
    for (const Observation& o : obs) {
        const double w = std::floor(o.w);
        counts[static_cast<size_t>(o.g)].Add(w);
        all.Add(w);
    }
    r.weight.assign(size, 0.0);
    for (size_t g = 1; g < size; ++g) r.weight[g] = counts[g].Value();
    r.count = all.Value();
    r.exponent = CountExponent(r.count);
    // A block's ranked records and whole weight by sample, and the samples it touches.
    std::vector<int32_t> blockRecords(size, 0);
    std::vector<double> blockWeight(size, 0.0);
    std::vector<int> touched;
    std::vector<RankProductSum> rankSums(size, RankProductSum(r.exponent == 0 ? r.count : 0));
    TieRanker ranker(false, r.exponent);
    const auto sameValue = [&obs](size_t first, size_t i) { return obs[i].x == obs[first].x; };
    ForEachTieBlock(obs.size(), sameValue, [&](size_t first, size_t end) {
        double T = 0;
        double ranked = 0;
        touched.clear();
        for (size_t i = first; i < end; ++i) {
            const double w = std::floor(obs[i].w);
            if (w < 1) continue;  // takes no rank
            const auto g = static_cast<size_t>(obs[i].g);
            if (blockRecords[g] == 0) touched.push_back(obs[i].g);
            blockWeight[g] += w;
            blockRecords[g] += 1;
            T += w;
            ranked += 1;
        }
        const double m = ranker.AddGroup(T);
        if (T > 1) r.ties += ranked;
        for (int gi : touched) {
            const auto g = static_cast<size_t>(gi);
            r.records[g] += blockRecords[g];
            rankSums[g].Add(m, blockWeight[g]);
            means[g].Add(m * (blockWeight[g] / r.weight[g]));
            blockWeight[g] = 0;
            blockRecords[g] = 0;
        }
    });
    r.tieSums = ranker.Sums();
    for (size_t g = 1; g < size; ++g) {
        r.rankSum[g] = rankSums[g].Value();
        if (r.weight[g] > 0) r.meanRank[g] = r.exponent == 0 ? rankSums[g].Over(r.weight[g]) : means[g].Value();
    }
    return r;
}

KruskalWallis KruskalWallisH(const SampleRanks& r) {
    KruskalWallis kw;
    const size_t size = r.weight.size();
    for (size_t g = 1; g < size; ++g) {
        if (!(r.weight[g] > 0)) continue;
        kw.N += r.weight[g];
        kw.k += 1;
    }
    if (!(kw.N > 0 && kw.k > 1)) return kw;
    const double N = kw.N;
    const int e = r.exponent;
    if (e == 0) {
        // H = 12 / (N (N + 1)) sum R^2 / n - 3 (N + 1), summed as the samples'
        // spread about the mean rank, sum (R - n (N + 1) / 2)^2 / n: the whole
        // weights and half-integer ranks make each deviation exact, where the
        // difference of the two large terms keeps only the digits they do not
        // share. (The ranks add up to N (N + 1) / 2, so the forms agree.)
        double spread = 0;
        for (size_t g = 1; g < size; ++g) {
            if (!(r.weight[g] > 0)) continue;
            const double d = r.rankSum[g] - (N + 1) / 2 * r.weight[g];
            spread += d * d / r.weight[g];
        }
        const double H = 12 * spread / (N * (N + 1));
        kw.H = H;
        const double C = PreciseDifference(N * N * N, N);
        if (C < kExactCube) {
            if (N > 1 && C != r.tieSums.t3) kw.HTies = H / (1 - r.tieSums.t3 / C);
        } else if (r.tieSums.untied > 0) {
            // 1 - sumTies / C as untied / C: no cancellation where nearly all tie.
            kw.HTies = H * (C / r.tieSums.untied);
        }
        return kw;
    }
    // Held: the spread sum n (m - (N + 1) / 2)^2 of the mean ranks m, with
    // counts and ranks divided by c = 2^-e, is held divided by 2^(3e).
    const double c = std::ldexp(1.0, -e);
    const double nc = std::ldexp(N, -e);
    double spread = 0;
    for (size_t g = 1; g < size; ++g) {
        if (!(r.weight[g] > 0)) continue;
        const double d = std::ldexp(r.meanRank[g], -e) - (nc + c) / 2;
        spread += std::ldexp(r.weight[g], -e) * d * d;
    }
    const double H = std::ldexp(12 * spread / (nc * (nc + c)), e);
    kw.H = H;
    if (r.tieSums.untied > 0) kw.HTies = H * ((nc * nc * nc - nc * c * c) / r.tieSums.untied);
    return kw;
}
