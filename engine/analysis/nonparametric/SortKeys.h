// Sorting numbers held in memory by value, for the rank tests: each value is
// turned into a 64-bit key whose unsigned order is the numbers' order, and
// the keys are sorted with their item numbers by a stable radix sort, which
// costs a few passes over the items instead of a comparison sort's many.
// Equal values end up next to each other in the order of their items, so
// tie blocks come out as a comparison sort gives them.
#pragma once

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <vector>

struct KeyedItem {
    uint64_t key;
    uint32_t item;
};

// The key of x: -0 takes the key of 0, negative numbers come before positive
// ones. Not for NaN (the database holds none).
inline uint64_t OrderKey(double x) {
    if (x == 0) x = 0;
    uint64_t bits = 0;
    std::memcpy(&bits, &x, sizeof bits);
    return (bits >> 63) != 0 ? ~bits : bits | (uint64_t{1} << 63);
}

// The number whose key is k.
inline double KeyValue(uint64_t k) {
    const uint64_t bits = (k >> 63) != 0 ? k & ~(uint64_t{1} << 63) : ~k;
    double x = 0;
    std::memcpy(&x, &bits, sizeof x);
    return x;
}

inline bool KeysAscending(const std::vector<KeyedItem>& items) {
    return std::is_sorted(items.begin(), items.end(),
                          [](const KeyedItem& a, const KeyedItem& b) { return a.key < b.key; });
}

// Sorts items by key, ascending and stable (items of equal keys keep their
// order). scratch is working room the caller may keep between calls.
inline void SortByKey(std::vector<KeyedItem>& items, std::vector<KeyedItem>& scratch) {
    constexpr int kBits = 11;
    constexpr int kDigits = (64 + kBits - 1) / kBits;
    constexpr uint64_t kMask = (uint64_t{1} << kBits) - 1;
    const size_t n = items.size();
    if (n < 2 || KeysAscending(items)) return;
    std::vector<std::array<uint32_t, kMask + 1>> counts(kDigits);
    for (auto& c : counts) c.fill(0);
    for (const KeyedItem& it : items) {
        for (int d = 0; d < kDigits; ++d) ++counts[static_cast<size_t>(d)][(it.key >> (d * kBits)) & kMask];
    }
    scratch.resize(n);
    for (int d = 0; d < kDigits; ++d) {
        auto& c = counts[static_cast<size_t>(d)];
        // A digit that every key shares leaves the order as it is.
        if (c[(items[0].key >> (d * kBits)) & kMask] == n) continue;
        uint32_t start = 0;
        for (uint32_t& slot : c) {
            const uint32_t here = slot;
            slot = start;
            start += here;
        }
        for (const KeyedItem& it : items) scratch[c[(it.key >> (d * kBits)) & kMask]++] = it;
        items.swap(scratch);
    }
}
