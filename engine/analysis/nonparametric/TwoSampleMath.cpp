// The arithmetic of the two-sample tests.
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
