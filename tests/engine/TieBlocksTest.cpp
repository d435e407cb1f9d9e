// Tie-averaged ranks of sorted values in memory: weights as repeat counts,
// the caller's equality test, the tie terms.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "analysis/nonparametric/TieBlocks.h"

namespace {

std::vector<double> Ranks(const std::vector<double>& values, const std::vector<double>& weights, TieRanker& ranker) {
    std::vector<double> ranks(values.size());
    RankTieBlocks(
        values.size(), ranker, [&](size_t first, size_t i) { return values[first] == values[i]; },
        [&](size_t i) { return weights[i]; }, [&](size_t i, double r) { ranks[i] = r; });
    return ranks;
}

TEST(RankTieBlocks, TiedValuesShareTheMeanOfTheirPositions) {
    TieRanker ranker(true);
    EXPECT_EQ(Ranks({3, 5, 5, 7}, {1, 1, 1, 1}, ranker), (std::vector<double>{1, 2.5, 2.5, 4}));
    EXPECT_EQ(ranker.Sums().t3, 6);
    EXPECT_EQ(ranker.Sums().tg, 1);
    EXPECT_EQ(ranker.Sums().tw, 2);
    // Kendall's terms of one pair: t(t-1) = 2, t(t-1)(t-2) = 0, t(t-1)(2t+5) = 18.
    EXPECT_EQ(ranker.Sums().t2, 2);
    EXPECT_EQ(ranker.Sums().tt, 0);
    EXPECT_EQ(ranker.Sums().t5, 18);
}

TEST(RankTieBlocks, AWeightCountsAsRepeatedObservations) {
    // 1 (weight 3) takes positions 1..3; 2 and 2 (weights 1 and 3) take 4..7.
    TieRanker ranker(false);
    EXPECT_EQ(Ranks({1, 2, 2, 4}, {3, 1, 3, 1}, ranker), (std::vector<double>{2, 5.5, 5.5, 8}));
    EXPECT_EQ(ranker.Sums().tg, 2);
    EXPECT_EQ(ranker.Sums().t3, (27 - 3) + (64 - 4));
}

TEST(RankTieBlocks, TheCallersEqualityDecidesTheBlocks) {
    // Values that agree to the nearest tenth form one block here.
    const std::vector<double> values = {1.01, 1.04, 2.0};
    std::vector<double> ranks(3);
    TieRanker ranker(false);
    RankTieBlocks(
        3, ranker, [&](size_t first, size_t i) { return std::round(values[first] * 10) == std::round(values[i] * 10); },
        [](size_t) { return 1.0; }, [&](size_t i, double r) { ranks[i] = r; });
    EXPECT_EQ(ranks, (std::vector<double>{1.5, 1.5, 3}));
}

}  // namespace
