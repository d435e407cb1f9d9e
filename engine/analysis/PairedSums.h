// The weighted sums of the valid (x, y) pairs of one field over a group, with
// the weights of the pairs whose x lies below, on or above y: what the field
// comparison and the paired-field tests accumulate alike.
#pragma once

#include <cstdint>

struct PairedSums {
    int32_t count = 0;                                 // valid pairs
    double w = 0;                                      // their weights
    double sx = 0, sxx = 0, sy = 0, syy = 0, sxy = 0;  // sums of w x, w x^2, w y, w y^2, w x y
    double below = 0, equal = 0, above = 0;            // weights of x < y, x = y, x > y

    void Add(double x, double y, double weight) {
        ++count;
        w += weight;
        sx += x * weight;
        sxx += x * x * weight;
        sy += y * weight;
        syy += y * y * weight;
        sxy += y * x * weight;
        if (x < y) {
            below += weight;
        } else if (x == y) {
            equal += weight;
        } else {
            above += weight;
        }
    }
};
