// Weighted moments and co-moments about a shift, the one accumulator behind
// every mean, variance, covariance and sum of squares of the analyses.
//
// Each value's deviation from the shift (the first valid value) is formed
// from the decimal the value was typed as (DecimalDeviation.h), so that
// 1000000.3 - 1000000.2 is 0.1 and not 0.10000000009; the sums and products
// themselves stay binary. Moments are
// then updated by West's weighted algorithm (Pebay's for the third and
// fourth), so that no sum of squares is ever a difference of large sums.
//
// Deviations beyond 2^128 (values far from zero, whose squares and fourth
// powers would overflow) are held divided by a power of two, 2^ScaleExponent();
// deviations below 2^-128 (values far below 1, whose squares and fourth powers
// would fall below the smallest normal Double), where the moments hold no
// larger spread, are held multiplied by a power of two, 2^-ScaleExponent()
// with a negative exponent. The scaling is exact, so the moments are those of the
// unscaled values, and a statistic whose value a Double holds can be formed
// from the scaled ones even where M2, M3 or M4 themselves cannot be held.
//
// Weights far from 1 are held divided by a power of two too (HeldWeights).
#pragma once

#include <bit>
#include <cmath>
#include <limits>
#include <cstdint>
#include <optional>
#include <string_view>

#include "numeric/DecimalDeviation.h"
#include "numeric/Numerics.h"

// Multiplies a sum held with its weights by 2^by (HeldWeights::MoveTo).
inline void ScaleHeld(double& sum, int by) { sum = std::ldexp(sum, by); }
inline void ScaleHeld(ExactSum& sum, int by) { sum.Scale(by); }

// A running sum of the weights of a set of moments. Weights far from 1
// (beyond 2^64 or below 2^-64) are held divided by 2^Exponent() (even, so
// that the square root of a sum of weights takes half of it exactly); the
// central sums of the set, which carry one weight each, are held divided by
// it too, so that the products of weights and deviations neither overflow
// nor lose their digits.
class HeldWeights {
public:
    // Takes the exponent at which a set whose first weight is w holds them.
    void Start(double w);
    // A weight as held. One far above those before moves the sum, and the
    // set's central sums given, to its own exponent first.
    template <class... Sums>
    double Hold(double given, Sums&... sums) {
        const double w = given * unit_;  // exact: unit_ is a power of two
        if (w > kLimit) [[unlikely]] {
            const int e = ExponentFor(given);
            MoveTo(e, sums...);
            return std::ldexp(given, -e);
        }
        return w;
    }
    // Holds the sum, and the central sums given, divided by 2^exponent from now on.
    template <class... Sums>
    void MoveTo(int exponent, Sums&... sums) {
        const int by = exponent_ - exponent;
        (ScaleHeld(sums, by), ...);
        running_ = std::ldexp(running_, by);
        sum_.Scale(by);
        exponent_ = exponent;
        unit_ = std::ldexp(1.0, -exponent);
    }
    void Add(double held) {
        running_ += held;
        sum_.Add(held);
    }
    // Takes in another sum held at the same exponent.
    void Add(const HeldWeights& other) {
        running_ += other.running_;
        sum_.Add(other.sum_);
    }

    int Exponent() const { return exponent_; }
    // The sum so held: the running one the updates use, and the exact
    // one every statistic is formed from.
    double Running() const { return running_; }
    double Held() const { return sum_.Value(); }
    // The sum so held, exactly.
    const ExactSum& Sum() const { return sum_; }
    // What a weight of 1 is held as, 2^-Exponent().
    double Unit() const { return unit_; }
    // The sum itself, and the sum held at another exponent.
    double Value() const { return exponent_ == 0 ? Held() : std::ldexp(Held(), exponent_); }
    double HeldAt(int exponent) const { return std::ldexp(Held(), exponent_ - exponent); }

private:
    static constexpr double kLimit = 0x1p64;
    static int ExponentFor(double w);

    int exponent_ = 0;
    double unit_ = 1;
    double running_ = 0;
    ExactSum sum_;
};

// The mean of the values as the sum of w x over the sum of weights, each
// held exactly (ExactSum) and the quotient rounded once, so that the same
// values give the same mean in every analysis: 0.1, 0.2, ..., 2.9 give 1.5,
// where the shifted mean's own rounding gives 1.5000000000000004. Where a
// product w x is beyond what an exact sum takes (near the largest Double or
// the subnormals) or the weights are held scaled, the sums of w x and of w
// are kept instead while a Double holds every product and every sum exactly
// (each held divided by a power of two fixed by its first term, so that
// values and weights at any scale keep the same digits); at the first
// product or sum that a Double does not hold that gives up too, and the
// shifted mean serves.
class ExactMean {
public:
    void Add(const DecimalValue& x, double w) {
        if (products_) products_ = sumWX_.AddProduct(w, x.value);
        if (!exact_) return;
        if (!std::isfinite(x.value) || !std::isfinite(w)) {
            exact_ = false;
            return;
        }
        int ew = 0;
        const double mw = Mantissa(w, ew);
        exact_ = Take(weight_, weightExponent_, mw, ew);
        if (!exact_ || x.value == 0) return;
        int ex = 0;
        const double mx = Mantissa(x.value, ex);
        const double p = mx * mw;
        exact_ = std::fma(mx, mw, -p) == 0 && TakeSum(p, ex + ew);
        // The correction is some 2^-53 of x: its own roundings do not show.
        correction_ += std::ldexp(std::ldexp(x.correction, -ex) * mw, ex + ew - sumExponent_);
    }
    void Merge(const ExactMean& other) {
        products_ = products_ && other.products_;
        if (products_) sumWX_.Add(other.sumWX_);
        exact_ = exact_ && other.exact_ && Take(weight_, weightExponent_, other.weight_, other.weightExponent_) &&
                 TakeSum(other.sum_, other.sumExponent_);
        if (exact_) correction_ += std::ldexp(other.correction_, other.sumExponent_ - sumExponent_);
    }
    // The sum of w x rounded once; NaN once a product passed a Double.
    double SumOfProducts() const { return products_ ? sumWX_.Value() : std::numeric_limits<double>::quiet_NaN(); }
    // The mean, empty where a sum was not held exactly: the exact sum of
    // w x over weights (a sum of weights held as given) rounded once, or
    // else the sums kept in Doubles, whose quotient takes in the values'
    // decimal corrections (DecimalDeviation.h) through its exact remainder.
    std::optional<double> Mean(const HeldWeights& weights) const {
        if (products_ && weights.Exponent() == 0 && weights.Held() > 0) return ExactQuotient(sumWX_, weights.Sum());
        if (!exact_ || !(weight_ > 0)) return std::nullopt;
        const double q = sum_ / weight_;
        const double mean = correction_ == 0 ? q : q + (std::fma(-q, weight_, sum_) + correction_) / weight_;
        return std::ldexp(mean, sumExponent_ - weightExponent_);
    }

private:
    // v = m 2^e with |m| in [1, 2).
    static double Mantissa(double v, int& e) {
        const uint64_t bits = std::bit_cast<uint64_t>(v);
        const int biased = static_cast<int>((bits >> 52) & 0x7FF);
        if (biased == 0) {  // subnormal
            const double m = std::frexp(v, &e);
            --e;
            return 2 * m;
        }
        e = biased - 1023;
        return std::bit_cast<double>((bits & 0x800FFFFFFFFFFFFFull) | 0x3FF0000000000000ull);
    }
    // Adds m 2^e to the sum held divided by 2^exponent (the first term fixes
    // it); false when the term or the sum is not held exactly.
    static bool Take(double& held, int& exponent, double m, int e) {
        if (held == 0 && m != 0) {
            held = m;
            exponent = e;
            return true;
        }
        const double term = std::ldexp(m, e - exponent);
        // A normal term is exact; a smaller one may have lost digits.
        if (!std::isfinite(term) || (term != 0 && std::fabs(term) < 0x1p-1022)) return false;
        const double t = held + term;
        const double back = t - held;
        const bool exact = std::isfinite(t) && (held - (t - back)) + (term - back) == 0;
        held = t;
        return exact;
    }

    // Take for the sum of w x, whose exponent may start afresh where the sum
    // has cancelled to 0: the corrections, held with it, follow.
    bool TakeSum(double m, int e) {
        const int before = sumExponent_;
        const bool exact = Take(sum_, sumExponent_, m, e);
        if (sumExponent_ != before) correction_ = std::ldexp(correction_, before - sumExponent_);
        return exact;
    }

    ExactSum sumWX_;
    bool products_ = true;  // every product w x went into sumWX_ exactly
    bool exact_ = true;
    double sum_ = 0, weight_ = 0, correction_ = 0;
    int sumExponent_ = 0, weightExponent_ = 0;
};

class WeightedMoments {
public:
    // fHigher: keep the third and fourth central moments too.
    WeightedMoments() = default;
    explicit WeightedMoments(bool fHigher) : higher_(fHigher) {}

    void Add(double x, double w) { Add(SplitDecimal(x), w); }
    void Add(const DecimalValue& x, double w);
    // Takes in the values accumulated by another (Chan's pairwise update).
    void Merge(const WeightedMoments& other);
    void Clear();

    int32_t Count() const { return count_; }
    // The sum of the weights rounded once: what a weighted count shows.
    double Weight() const { return weights_.Value(); }
    // Weights are held divided by 2^WeightExponent(); HeldWeight() is their
    // sum so held, HeldWeightAt the sum held at another exponent and Unit()
    // what a weight of 1 is held as.
    int WeightExponent() const { return weights_.Exponent(); }
    double HeldWeight() const { return weights_.Held(); }
    double HeldWeightAt(int weightExponent) const { return weights_.HeldAt(weightExponent); }
    double Unit() const { return weights_.Unit(); }
    const DecimalValue& Shift() const { return shift_; }
    // The sum of w x over the weight rounded once where a Double holds that
    // sum exactly (ExactMean), else the shift plus the mean deviation.
    double Mean() const;
    // The sum of w x rounded once (NaN beyond a Double): what a Sum shows.
    double SumOfProducts() const { return exact_.SumOfProducts(); }
    // The mean divided by 2^ScaleExponent(), with every digit where the mean
    // itself would be subnormal.
    double ScaledMean() const;
    // The weighted central sum of squares, sum w (x - mean)^2 (an infinity
    // where it exceeds a Double, 0 or a subnormal where it is below one).
    double M2() const { return M2At(0); }
    // The same divided by 2^(2 exponent + weightExponent): at ScaleExponent()
    // and WeightExponent(), as held, it is right wherever a statistic formed
    // from it with HeldWeight() is. exponent is at least ScaleExponent() (or
    // one that holds the spread, such as a CommonScale).
    double M2At(int exponent, int weightExponent = 0) const {
        return std::ldexp(m2_, 2 * (scale_ - exponent) + weights_.Exponent() - weightExponent);
    }
    // sum w (x - mean)^2, ^3 and ^4 as held: divided by 2^ScaleExponent() to
    // the power of the moment and by 2^WeightExponent().
    double HeldM2() const { return m2_; }
    double HeldM3() const { return m3_; }
    double HeldM4() const { return m4_; }
    int ScaleExponent() const { return scale_; }

    // Whether any value lies off the shift: the moments then hold a spread.
    bool HasSpread() const { return m2_ > 0 || mean_ != 0; }
    // The scale at which two sets of moments are taken together: the larger
    // of their scales, or that of the set with spread where the other has none.
    static int CommonScale(const WeightedMoments& a, const WeightedMoments& b);
    // Variance, standard deviation, its standard error and the coefficient of
    // variation, strMode as in VarianceFromCentred, formed at the moments'
    // scales: each right wherever a Double holds it. The held variance and
    // deviation are those divided by 2^(2 ScaleExponent()) and
    // 2^ScaleExponent(), from which the shape and tests of the values are formed.
    struct Deviation {
        double variance = 0, stdDeviation = 0, stdError = 0;
        std::optional<double> coeffOfVariance;  // empty for a mean of 0
        double heldVariance = 0, heldDeviation = 0;
    };
    Deviation Deviations(std::string_view strMode) const;

    // This mean less other's, exact in the shifts.
    double MeanLess(const WeightedMoments& other) const { return MeanLessAt(other, 0); }
    // The same divided by 2^exponent.
    double MeanLessAt(const WeightedMoments& other, int exponent) const;
    // This mean less a value.
    double MeanLess(double value) const { return Unscaled(ScaledMeanLess(value), 1); }
    // This mean less a value, divided by 2^ScaleExponent().
    double ScaledMeanLess(double value) const;

private:
    double Unscaled(double v, int power) const { return scale_ == 0 ? v : std::ldexp(v, power * scale_); }
    // Holds the moments divided by 2^exponent from now on.
    void Rescale(int exponent);

    bool higher_ = false;
    int scale_ = 0;
    int32_t count_ = 0;
    HeldWeights weights_;
    DecimalValue shift_;
    double mean_ = 0;
    double m2_ = 0, m3_ = 0, m4_ = 0;
    ExactMean exact_;
};

// Moments of x and y over the same records, with the co-moment and the
// spread of the difference x - y. As in WeightedMoments, deviations beyond
// 2^128 or below 2^-128 are held scaled by a power of two: x's and y's each by
// its own (so that a field of small values beside one of huge values keeps its
// digits; a field without spread so far takes the other's), the difference's
// by the larger. Weights far from 1 are held divided by an even power of two,
// with the sum of weights and the central sums, as there.
class WeightedCoMoments {
public:
    WeightedCoMoments() = default;
    // fMeans false: MeanX and MeanY are never written (the correlation
    // matrix), so their exact sums are not kept; they are then the shifted means.
    explicit WeightedCoMoments(bool fMeans) : means_(fMeans) {}
    void Add(double x, double y, double w) { Add(SplitDecimal(x), SplitDecimal(y), w); }
    void Add(const DecimalValue& x, const DecimalValue& y, double w);
    void Clear() { *this = WeightedCoMoments(means_); }

    int32_t Count() const { return count_; }
    double Weight() const { return weights_.Value(); }
    // As WeightedMoments::Mean.
    double MeanX() const;
    double MeanY() const;
    // Mean of x less mean of y, exact in the shifts (an infinity beyond a Double).
    double MeanDifference() const {
        const int e = MeanDifferenceScale();
        return Unscaled(ScaledMeanDifference(e), e);
    }
    // Weighted central sums of squares and products (infinities where a sum
    // exceeds a Double).
    double Mxx() const { return Unscaled(mxx_, 2 * scaleX_ + SumsExponent()); }
    double Myy() const { return Unscaled(myy_, 2 * scaleY_ + SumsExponent()); }
    double Mxy() const { return Unscaled(mxy_, scaleX_ + scaleY_ + SumsExponent()); }
    // sum w (d - mean d)^2 of the differences d = x - y.
    double Mdd() const { return Unscaled(mdd_, 2 * ScaleExponentDifference() + SumsExponent()); }

    // Formed from the scaled and held sums, for a weight above 1 (W = Weight()):
    // Pearson's r (empty without spread), the covariance Mxy / (W - 1), the
    // standard deviation of the differences x - y (0 without spread) and the
    // paired t of their mean, mean / sqrt(Mdd / (W - 1) / W) (empty without
    // spread).
    std::optional<double> Correlation() const;
    double Covariance() const;
    double DifferenceDeviation() const;
    std::optional<double> PairedT() const;

private:
    // The sums are held divided by the scales: 2^scaleX_ for each factor x,
    // 2^scaleY_ for each y, 2^ScaleExponentDifference() for each d.
    int ScaleExponentDifference() const { return scaleX_ > scaleY_ ? scaleX_ : scaleY_; }
    // A scale that holds the mean difference: the difference's, or a larger
    // one where the means lie far apart beside the spread of either field.
    int MeanDifferenceScale() const;
    // The mean difference divided by 2^e.
    double ScaledMeanDifference(int e) const;
    // Takes in a step of the differences' mean.
    void MoveMeanDifference(double step);
    // Mdd / (W - 1) divided by 2^(2 ScaleExponentDifference()), 0 without spread.
    double ScaledDifferenceVariance() const;
    // W - 1 as the weights are held, in which the held sums' exponent cancels.
    double HeldDegrees() const { return weights_.Held() - weights_.Unit(); }
    // The central sums are held divided by 2^SumsExponent(): the weights'
    // exponent, and an even one of their own (sumsExponent_) that keeps
    // their digits where weights far apart would carry them beyond a Double
    // or below its normal numbers.
    int SumsExponent() const { return weights_.Exponent() + sumsExponent_; }
    void ScaleSums(int by);
    // Brings ws, a weight at the sums' exponent, near 1 with the sums where
    // it is tiny; returns it as held then.
    double HoldSumsFor(double ws);
    static double Unscaled(double v, int exponent) { return exponent == 0 ? v : std::ldexp(v, exponent); }
    // Holds the moments of x divided by 2^exponentX and those of y by
    // 2^exponentY from now on.
    void Rescale(int exponentX, int exponentY);
    // dx - dy, deviations of x and y at their scales, at the difference's.
    [[gnu::always_inline]] inline double DifferenceOf(double dx, double dy) const;
    // The deviations of x and y from the shifts at the scales held, which
    // move first where a value lies beyond them.
    [[gnu::always_inline]] inline void ScaledDeviations(const DecimalValue& x, const DecimalValue& y, double& dx,
                                                        double& dy);
    // Adds a value's products of deviations, before and after the means
    // moved, at weight ws (at the sums' exponent) to the central sums.
    [[gnu::always_inline]] inline void AddProducts(double ws, double deltaX, double afterX, double deltaY,
                                                   double afterY, double ddX, double daX);

    int scaleX_ = 0, scaleY_ = 0;
    int sumsExponent_ = 0;
    int32_t count_ = 0;
    HeldWeights weights_;
    DecimalValue shiftX_, shiftY_;
    double meanX_ = 0, meanY_ = 0;
    // The mean of the differences less the shifts' own, at the difference's
    // scale, and what its rounding dropped: the means of x and y each round
    // at their own spread, which may dwarf the spread of the differences.
    double meanD_ = 0, meanDLow_ = 0;
    double mxx_ = 0, myy_ = 0, mxy_ = 0, mdd_ = 0;
    ExactMean exactX_, exactY_;
    bool means_ = true;
};

// Variance and standard deviation from a sum of weights n and a central sum
// of squares m2: strMode "N" divides by n, anything else by n - 1 (variance 0
// for n <= 1). n and m2 may both be held divided by one power of two, unit
// being what 1 is held as. Returns the deviation; neither is ever negative.
double VarianceFromCentred(std::string_view strMode, double n, double m2, double& dblVariance, double unit = 1);

// Pearson's r from central sums of squares and products, plain or scaled
// (r is free of the scales); empty when either field has no spread (sxx * syy
// not above 0).
std::optional<double> CorrelationFromCentred(double sxx, double syy, double sxy);
