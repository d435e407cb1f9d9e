// The moments of the valid (x, y) pairs of one field over a group, with the
// weights of the pairs whose x lies below, on or above y: what the field
// comparison and the paired-field tests accumulate alike.
#pragma once

#include <cstdint>

#include "numeric/WeightedMoments.h"

struct PairedSums {
    WeightedCoMoments moments;     // count, weights, means, central sums
    ExactSum below, equal, above;  // weights of x < y, x = y, x > y

    int32_t Count() const { return moments.Count(); }
    double Weight() const { return moments.Weight(); }

    void Add(double x, const DecimalValue& y, double weight) {
        moments.Add(SplitDecimal(x), y, weight);
        if (x < y.value) {
            below.Add(weight);
        } else if (x == y.value) {
            equal.Add(weight);
        } else {
            above.Add(weight);
        }
    }
};
