// The arithmetic of the rank tests of samples.
#include "analysis/nonparametric/TwoSampleMath.h"

#include <algorithm>
#include <cmath>

#include "analysis/nonparametric/TieBlocks.h"

PairBlocks WalkPair(const std::vector<Observation>& obs, int g1, int g2, double N1, double N2, bool fMann, bool fKS) {
    PairBlocks b;
    TieRanker ranker(false);
    double run1 = 0, run2 = 0;
    const auto sameValue = [&obs](size_t first, size_t i) { return obs[i].x == obs[first].x; };
    ForEachTieBlock(obs.size(), sameValue, [&](size_t first, size_t end) {
        double bw1 = 0, bw2 = 0, records = 0;
        for (size_t i = first; i < end; ++i) {
            if (obs[i].g != g1 && obs[i].g != g2) continue;
            const double w = std::floor(obs[i].w);
            (obs[i].g == g1 ? bw1 : bw2) += w;
            (obs[i].g == g1 ? run1 : run2) += w;
            records += 1;
        }
        if (records == 0) return;
        if (fMann) {
            const double T = bw1 + bw2;
            const double m = ranker.AddGroup(T);
            if (T > 1) b.ties += records;
            b.R1 += m * bw1;
            b.R2 += m * bw2;
        }
        if (fKS) {
            const double d = PreciseDifference(run1 / N1, run2 / N2);
            b.dPos = std::max(b.dPos, d);
            b.dNeg = std::min(b.dNeg, d);
        }
    });
    b.tieSums = ranker.Sums();
    return b;
}

MannWhitney MannWhitneyU(const PairBlocks& b, double N1, double N2) {
    MannWhitney r;
    r.sumTies = b.tieSums.t3 / 12;
    r.U = PreciseDifference(N1 * (N1 + 1) / 2 + N1 * N2, b.R1);
    if (N1 * N2 / 2 < r.U) r.U = PreciseDifference(N1 * N2, r.U);
    r.UPrime = PreciseDifference(N1 * N2, r.U);
    r.W = N1 > N2 ? b.R2 : b.R1;
    const double N = N1 + N2;
    const double V0 = PreciseDifference(N * N * N, N) / 12;
    const double factor = N1 * N2 / (N * (N - 1));
    const double centred = PreciseDifference(r.U, N1 * N2 / 2);
    // The normal approximation needs a positive variance.
    const double s = std::sqrt(factor * V0);
    if (N > 1 && std::isfinite(s) && s > 0) r.Z = centred / s;
    if (N > 1 && V0 > r.sumTies) {
        const double st = std::sqrt(factor * PreciseDifference(V0, r.sumTies));
        if (std::isfinite(st) && st > 0) r.ZTies = centred / st;
    }
    return r;
}

KolmogorovSmirnov KolmogorovSmirnovD(const PairBlocks& b, double N1, double N2) {
    KolmogorovSmirnov r;
    r.D = std::fabs(b.dNeg) > b.dPos ? std::fabs(b.dNeg) : b.dPos;
    r.Z = r.D * std::sqrt(N1 * N2 / (N1 + N2));
    return r;
}

SampleRanks RankSamples(const std::vector<Observation>& obs, int n) {
    const auto size = static_cast<size_t>(n) + 1;
    SampleRanks r;
    r.records.assign(size, 0);
    r.weight.assign(size, 0.0);
    r.rankSum.assign(size, 0.0);
    // A block's records and whole weight by sample, and the samples it touches.
    std::vector<int32_t> blockRecords(size, 0);
    std::vector<double> blockWeight(size, 0.0);
    std::vector<int> touched;
    TieRanker ranker(false);
    const auto sameValue = [&obs](size_t first, size_t i) { return obs[i].x == obs[first].x; };
    ForEachTieBlock(obs.size(), sameValue, [&](size_t first, size_t end) {
        double T = 0;
        double records = 0;
        touched.clear();
        for (size_t i = first; i < end; ++i) {
            const auto g = static_cast<size_t>(obs[i].g);
            if (blockRecords[g] == 0) touched.push_back(obs[i].g);
            const double w = std::floor(obs[i].w);
            blockWeight[g] += w;
            blockRecords[g] += 1;
            T += w;
            records += 1;
        }
        const double m = ranker.AddGroup(T);
        if (T > 1) r.ties += records;
        for (int gi : touched) {
            const auto g = static_cast<size_t>(gi);
            if (blockWeight[g] > 0) {
                r.records[g] += blockRecords[g];
                r.weight[g] += blockWeight[g];
                r.rankSum[g] += m * blockWeight[g];
            }
            blockWeight[g] = 0;
            blockRecords[g] = 0;
        }
    });
    r.tieSums = ranker.Sums();
    return r;
}

KruskalWallis KruskalWallisH(const SampleRanks& r) {
    KruskalWallis kw;
    const size_t size = r.rankSum.size();
    for (size_t g = 1; g < size; ++g) {
        if (!(r.rankSum[g] > 0)) continue;
        kw.N += r.weight[g];
        kw.k += 1;
    }
    if (!(kw.N > 0 && kw.k > 1)) return kw;
    // H = 12 / (N (N + 1)) sum R^2 / n - 3 (N + 1), summed as the samples'
    // spread about the mean rank, sum (R - n (N + 1) / 2)^2 / n: the whole
    // weights and half-integer ranks make each deviation exact, where the
    // difference of the two large terms keeps only the digits they do not
    // share. (The ranks add up to N (N + 1) / 2, so the forms agree.)
    const double N = kw.N;
    double spread = 0;
    for (size_t g = 1; g < size; ++g) {
        if (!(r.rankSum[g] > 0)) continue;
        const double d = r.rankSum[g] - (N + 1) / 2 * r.weight[g];
        spread += d * d / r.weight[g];
    }
    const double H = 12 * spread / (N * (N + 1));
    kw.H = H;
    const double sumTies = r.tieSums.t3;
    const double C = PreciseDifference(N * N * N, N);
    if (N > 1 && C != sumTies) kw.HTies = H / (1 - sumTies / C);
    return kw;
}
