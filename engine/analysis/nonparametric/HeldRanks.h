// Tie-averaged ranks of observations counted by the whole parts of their
// weights, with the counts held divided by a power of two.
//
// A rank test's figures grow with the count of observations: rank sums with
// its square, the variances and tie terms with its cube. Whole parts of
// weights far above 1 would overflow them (a count of 2^342 has no cube in a
// Double) although the statistic formed from them, such as a correlation or
// a z, is an ordinary number. The counts are therefore held divided by
// 2^Exponent(), chosen from the largest count of the sample, and so are the
// ranks (positions are counts too); a figure that carries the count to the
// power k is held divided by 2^(k Exponent()). Dividing by a power of two is
// exact, so counts of ordinary size (the exponent 0) give the very digits of
// unscaled arithmetic.
#pragma once

#include <cmath>
#include <cstddef>

#include "analysis/nonparametric/TieBlocks.h"
#include "numeric/Numerics.h"

class CountScale {
public:
    CountScale() = default;
    // The scale of a sample whose largest count is `largest`, at the
    // exponent the other rank tests hold their counts by (CountExponent).
    static CountScale For(double largest) {
        CountScale s;
        s.exponent_ = CountExponent(largest);
        s.unit_ = std::ldexp(1.0, -s.exponent_);
        return s;
    }
    int Exponent() const { return exponent_; }
    // What one observation is held as, 2^-Exponent().
    double Unit() const { return unit_; }
    double Held(double count) const { return exponent_ == 0 ? count : std::ldexp(count, -exponent_); }
    // A held figure that carries the count to the given power, as it is.
    double Value(double held, int power = 1) const {
        return exponent_ == 0 ? held : std::ldexp(held, power * exponent_);
    }
    // The same for a figure that carries the square root of the count (a z
    // or a t statistic).
    double RootValue(double held) const { return exponent_ == 0 ? held : std::ldexp(held, exponent_ / 2); }

private:
    int exponent_ = 0;
    double unit_ = 1;
};

// A sum of products of ranks and counts (a rank sum) for `count`
// observations in all. Where every partial sum is a multiple of 1/2 below
// 2^52, as while N (N + 1) / 2 is, a plain running sum is exact; beyond, the
// products are added exactly, so the sum is still its exact value rounded
// once, and so is its mean over a count.
class RankProductSum {
public:
    explicit RankProductSum(double count) : exact_(count * (count + 1) / 2 > 0x1p52) {}
    bool Exact() const { return exact_; }
    void Add(double rank, double count) {
        if (exact_) {
            exactSum_.AddProduct(rank, count);
        } else {
            sum_ += rank * count;
        }
    }
    double Value() const { return exact_ ? exactSum_.Value() : sum_; }
    double Over(double count) const {
        if (!exact_) return sum_ / count;
        ExactSum n;
        n.Add(count);
        return ExactQuotient(exactSum_, n);
    }

private:
    bool exact_;
    double sum_ = 0;
    ExactSum exactSum_;
};

// Hands out tie-averaged ranks, held as the counts are, to groups of equal
// values met in ascending order; a group of t observations (held) takes the
// positions after those already given. The tie terms are held too: tw at the
// count's power 1, t3 (the sum of t^3 - t) at power 3; tg is a plain number.
class HeldTieRanker {
public:
    explicit HeldTieRanker(const CountScale& scale) : unit_(scale.Unit()) {}

    // A group that weighs nothing (no whole observation) takes no position:
    // it gets the point halfway between its neighbours and no tie term.
    double AddGroup(double t) {
        if (t < unit_) t = 0;
        const double p = last_ + unit_;  // first position of the group
        const double rank = (2 * p + t - unit_) / 2;
        if (t > unit_) {
            sums_.tg += 1;
            sums_.tw += t;
            sums_.t3 += t * t * t - t * unit_ * unit_;
        }
        last_ = p + t - unit_;
        return rank;
    }
    const TieSums& Sums() const { return sums_; }

private:
    double unit_;
    double last_ = 0;
    TieSums sums_;
};
