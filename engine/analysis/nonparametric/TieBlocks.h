// Tie-averaged ranks of values held in memory and already in ascending order.
// A run of equal values (equality as the caller defines it) is one tie block;
// each item stands for as many observations as its weight says, and the
// block takes its average rank from the engine's TieRanker, which also
// gathers the tie terms of the rank tests.
#pragma once

#include <cstddef>

#include "numeric/Numerics.h"

// Walks items 0 .. n-1 in their order. same(first, i) tells whether item i
// belongs to the block that starts at item `first`; weight(i) is the number of
// observations item i stands for (the whole part of its weight); assign(i,
// rank) receives the block's average rank for every item of the block.
template <class Same, class Weight, class Assign>
void RankTieBlocks(size_t n, TieRanker& ranker, Same same, Weight weight, Assign assign) {
    size_t first = 0;
    while (first < n) {
        double t = weight(first);
        size_t end = first + 1;
        while (end < n && same(first, end)) {
            t += weight(end);
            ++end;
        }
        const double rank = ranker.AddGroup(t);
        for (size_t i = first; i < end; ++i) assign(i, rank);
        first = end;
    }
}
