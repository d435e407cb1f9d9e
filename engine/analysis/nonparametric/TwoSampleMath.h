// The arithmetic of the rank tests of samples held in memory: the tie blocks
// of a pair of samples, the Mann-Whitney U with its normal approximations,
// the Kolmogorov-Smirnov D with its Z, and the Kruskal-Wallis H of any number
// of samples. No table is involved, so the statistics can be checked on
// their own.
#pragma once

#include <cmath>
#include <cstdint>
#include <optional>
#include <vector>

#include "numeric/Numerics.h"

struct Observation {
    double x;  // the analysed value
    int g;     // position of its compare value
    double w;  // its weight
};

// What one walk over the tie blocks of samples g1 and g2 gathers. Only the
// whole part of each weight counts: a record of weight 2.7 stands for two
// observations, one below 1 for none.
struct PairBlocks {
    int exponent = 0;                     // CountExponent(n1 + n2): the tie terms' scale
    double R1 = 0, R2 = 0;                // rank sums (infinite beyond a Double)
    double meanRank1 = 0, meanRank2 = 0;  // R1 / n1, R2 / n2
    // The pairs (one observation of each sample) in which sample 1's lies
    // above, and those in which sample 2's does, a tie counting half in each;
    // and the same as shares of the n1 n2 pairs.
    double wins1 = 0, wins2 = 0;
    double share1 = 0, share2 = 0;
    // wins1 - wins2 from the exact counts, rounded once; divided by
    // 2^(2 exponent), as the counts are held.
    double heldWinsDifference = 0;
    double ties = 0;            // ranked records in blocks of more than one observation
    TieSums tieSums;            // tie terms of the blocks (t3 and untied held at the exponent)
    double dPos = 0, dNeg = 0;  // largest and smallest difference of the two ECDFs
};

// Walks the observations of samples g1 and g2 (sorted by value) in tie blocks
// of equal values. n1 and n2 are the samples' whole counts (the whole parts of
// their weights added up, both above 0); fMann gathers the ranks, fKS the
// ECDF differences.
PairBlocks WalkPair(const std::vector<Observation>& obs, int g1, int g2, double n1, double n2, bool fMann, bool fKS);

struct MannWhitney {
    double U = 0;                 // the smaller of U and n1 n2 - U
    double UPrime = 0;            // n1 n2 - U
    double W = 0;                 // the rank sum of the smaller sample (the first when equal)
    double sumTies = 0;           // sum (t^3 - t) / 12 over the tie blocks
    std::optional<double> Z;      // without the tie correction; none without spread
    std::optional<double> ZTies;  // with it
};

// Mann-Whitney U from the pairs each sample wins, with the normal
// approximation Z = (U - n1 n2 / 2) / sqrt(n1 n2 / (N (N - 1)) ((N^3 - N) / 12
// - sum ties)); the counts are whole counts.
MannWhitney MannWhitneyU(const PairBlocks& b, double n1, double n2);

struct KolmogorovSmirnov {
    double D = 0;  // the largest absolute ECDF difference
    double Z = 0;  // D sqrt(n1 n2 / (n1 + n2))
};

KolmogorovSmirnov KolmogorovSmirnovD(const PairBlocks& b, double n1, double n2);

// What the ranks of one field's observations (sorted by value; the whole part
// of each weight counts) give samples 1 .. n: per sample its ranked records,
// whole count, rank sum and mean rank, and the ranked records in tie blocks of
// more than one observation with the tie terms.
struct SampleRanks {
    int exponent = 0;              // CountExponent of all whole counts: the tie terms' scale
    std::vector<int32_t> records;  // by sample, from 1
    std::vector<double> weight;
    double count = 0;             // all samples' whole counts added exactly, rounded once
    std::vector<double> rankSum;  // infinite beyond a Double
    std::vector<double> meanRank;
    double ties = 0;
    TieSums tieSums;
    // sum (t^3 - t) over the tie blocks (infinite beyond a Double).
    double SumTies() const { return std::ldexp(tieSums.t3, 3 * exponent); }
};

SampleRanks RankSamples(const std::vector<Observation>& obs, int n);

struct KruskalWallis {
    double N = 0;                 // the whole count of the samples that have ranks
    int k = 0;                    // how many samples have ranks
    std::optional<double> H;      // none with fewer than two such samples
    std::optional<double> HTies;  // with the correction for ties; none where it divides by zero
};

KruskalWallis KruskalWallisH(const SampleRanks& r);
