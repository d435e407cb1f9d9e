// The bounds of a row of equal frequency intervals, each held as one Double,
// and the interval a value falls into among them.
//
// One comparison rule places every value: a value is compared with these
// Doubles and nothing else. Given intervals take bound j as the exact decimal
// first + j width of the first bound and width as typed (their shortest
// decimals), rounded once to the nearest Double; default intervals take it as
// the result table writes it, first + j width to 15 significant digits. A
// value equal to a bound goes to the interval whose included limit it is.
// Rounding keeps order, so the bounds never fall where the width is positive
// and a larger value never lands in a lower interval.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// The bound first + i width in Doubles; a step i width beyond the largest
// Double is taken in halves, so that every bound a Double holds is found.
double IntervalBound(double dblFirst, double dblWidth, int i);

// A Double as written to 15 significant digits, read back; a value whose 15
// digits lie beyond the largest Double stays as it is.
double WrittenDouble(double x);

class IntervalBounds {
public:
    IntervalBounds() = default;
    // n intervals of dblWidth from dblFirst; fDefault: default intervals.
    IntervalBounds(int16_t n, double dblFirst, double dblWidth, bool fDefault);

    int16_t Count() const { return n_; }
    // Bound j, 0..n.
    double operator[](int j) const { return sign_ * bounds_[static_cast<size_t>(j)]; }
    // Whether every bound is a number, none beyond the largest Double.
    bool Held() const;
    // Whether the bounds are numbers that all differ.
    bool Distinct() const;
    // 0 below the first bound, 1..n the intervals, n + 1 beyond the last:
    // the number of bounds at or below x (below x with upper limits
    // included). A negative width gives bounds that fall from the first.
    int32_t Bin(double x, bool fLowerInclusive) const;

private:
    int16_t n_ = 0;
    double sign_ = 1;
    std::vector<double> bounds_;  // each times sign_, so never falling
};
