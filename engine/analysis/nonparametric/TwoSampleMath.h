// The arithmetic of the rank tests of samples held in memory: the tie blocks
// of a pair of samples, the Mann-Whitney U with its normal approximations,
// the Kolmogorov-Smirnov D with its Z, and the Kruskal-Wallis H of any number
// of samples. No table is involved, so the statistics can be checked on
// their own.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "numeric/Numerics.h"

struct Observation {
    double x;  // the analysed value
    int g;     // position of its compare value
    double w;  // its weight
};

// What one walk over the tie blocks of samples g1 and g2 gathers.
struct PairBlocks {
    double R1 = 0, R2 = 0;      // rank sums (Mann-Whitney)
    double ties = 0;            // records in blocks of more than one observation
    TieSums tieSums;            // tie terms of the blocks
    double dPos = 0, dNeg = 0;  // largest and smallest difference of the two ECDFs
};

// Walks the observations of samples g1 and g2 (sorted by value; the whole
// part of each weight counts) in tie blocks of equal values. N1 and N2 are
// the samples' weights; fMann gathers the rank sums, fKS the ECDF
// differences.
PairBlocks WalkPair(const std::vector<Observation>& obs, int g1, int g2, double N1, double N2, bool fMann, bool fKS);

struct MannWhitney {
    double U = 0;                 // the smaller of U and N1 N2 - U
    double UPrime = 0;            // N1 N2 - U
    double W = 0;                 // the rank sum of the smaller sample (the first when equal)
    double sumTies = 0;           // sum (t^3 - t) / 12 over the tie blocks
    std::optional<double> Z;      // without the tie correction; none without spread
    std::optional<double> ZTies;  // with it
};

// Mann-Whitney U from the rank sums, with the normal approximation
// Z = (U - N1 N2 / 2) / sqrt(N1 N2 / (N (N - 1)) ((N^3 - N) / 12 - sum ties)).
MannWhitney MannWhitneyU(const PairBlocks& b, double N1, double N2);

struct KolmogorovSmirnov {
    double D = 0;  // the largest absolute ECDF difference
    double Z = 0;  // D sqrt(N1 N2 / (N1 + N2))
};

KolmogorovSmirnov KolmogorovSmirnovD(const PairBlocks& b, double N1, double N2);

// What the ranks of one field's observations (sorted by value; the whole part
// of each weight counts) give samples 1 .. n: per sample its records, whole
// weight and rank sum, and the records in tie blocks of more than one
// observation with the tie terms.
struct SampleRanks {
    std::vector<int32_t> records;  // by sample, from 1
    std::vector<double> weight;
    std::vector<double> rankSum;
    double ties = 0;
    TieSums tieSums;
};

SampleRanks RankSamples(const std::vector<Observation>& obs, int n);

struct KruskalWallis {
    double N = 0;                 // the weight of the samples that have ranks
    int k = 0;                    // how many samples have ranks
    std::optional<double> H;      // none with fewer than two such samples
    std::optional<double> HTies;  // with the correction for ties; none where it divides by zero
};

KruskalWallis KruskalWallisH(const SampleRanks& r);
