// Tie blocks of values held in memory and already in ascending order, and
// their tie-averaged ranks.
// A run of equal values (equality as the caller defines it) is one tie block;
// each item stands for as many observations as its weight says, and the
// block takes its average rank from the engine's TieRanker, which also
// gathers the tie terms of the rank tests.
#pragma once

#include <cstddef>

#include "numeric/Numerics.h"

// Calls block(first, end) for every run [first, end) of items 0 .. n-1, in
// their order, where same(first, i) tells whether item i belongs to the run
// that starts at item `first`.
template <class Same, class Block>
void ForEachTieBlock(size_t n, Same same, Block block) {
    size_t first = 0;
    while (first < n) {
        size_t end = first + 1;
        while (end < n && same(first, end)) ++end;
        block(first, end);
        first = end;
    }
}

// Walks items 0 .. n-1 in their order. same(first, i) tells whether item i
// belongs to the block that starts at item `first`; weight(i) is the number of
// observations item i stands for (the whole part of its weight); assign(i,
// rank) receives the block's average rank for every item of the block. The
// ranker is a TieRanker, or a HeldTieRanker for counts held scaled.
template <class Ranker, class Same, class Weight, class Assign>
void RankTieBlocks(size_t n, Ranker& ranker, Same same, Weight weight, Assign assign) {
    ForEachTieBlock(n, same, [&](size_t first, size_t end) {
        double t = weight(first);
        for (size_t i = first + 1; i < end; ++i) t += weight(i);
        const double rank = ranker.AddGroup(t);
        for (size_t i = first; i < end; ++i) assign(i, rank);
    });
}
