#include "numeric/WeightedMoments.h"

#include <algorithm>
#include <cmath>

namespace {

// A weight at the central sums' exponent outside these is brought nearer 1
// (the sums with it) where the sums allow, so that its terms keep their digits.
constexpr double kTinyWeight = 0x1p-64;
constexpr double kLargeWeight = 0x1p64;
// A share of the weight below this is near the subnormal Doubles.
constexpr double kTinyShare = 0x1p-960;

// Deviations at most this far from the shift are held unscaled at first: their
// fourth powers stay far inside a Double.
constexpr double kScaleLimit = 0x1p128;
// Deviations this close to the shift (but not on it), where the moments hold
// no larger spread yet, are held multiplied by a power of two: their squares
// and fourth powers would fall below the smallest normal Double and lose
// their digits.
constexpr double kSmallLimit = 0x1p-128;

// Whether a scaled deviation is held as it is: 0, or one whose powers up to
// the fourth are normal Doubles.
inline bool HeldAsIs(double d) {
    const double a = std::fabs(d);
    return a <= kScaleLimit && (a >= kSmallLimit || a == 0);
}

// (x - shift) / 2^exponent; the division is exact, and a difference beyond the
// largest Double is taken from the scaled parts.
double ScaledDeviation(const DecimalValue& x, const DecimalValue& shift, int exponent) {
    const double d = DecimalDeviation(x, shift);
    if (exponent == 0) return d;
    if (std::isfinite(d)) return std::ldexp(d, -exponent);
    return (std::ldexp(x.value, -exponent) - std::ldexp(shift.value, -exponent)) +
           std::ldexp(x.correction - shift.correction, -exponent);
}

// The scale that brings the larger of a value and its shift below 1.
int ScaleExponentFor(const DecimalValue& x, const DecimalValue& shift) {
    return std::max(std::ilogb(x.value), std::ilogb(shift.value)) + 1;
}

// The scale at which moments held at `scale`, whose spread there is `spread`
// (0 for none yet), take in x, whose deviation from the shift is d at that
// scale (d not HeldAsIs): one that brings the larger of value and shift below
// 1 for a deviation too large, one that brings the deviation (or the spread)
// near 1 for one too small, unless the spread is one beside which it
// vanishes.
int ScaleFor(const DecimalValue& x, const DecimalValue& shift, double d, int scale, double spread) {
    if (!(std::fabs(d) <= kScaleLimit)) return ScaleExponentFor(x, shift);
    if (d == 0 || spread >= kSmallLimit) return scale;
    return scale + std::ilogb(std::max(spread, std::fabs(d))) + 1;
}

// The spread of moments about their shift, at their scale: the larger of the
// mean's distance from the shift and the root mean square deviation.
double Spread(double mean, double m2, double weight) {
    return std::max(std::fabs(mean), weight > 0 && m2 > 0 ? std::sqrt(m2 / weight) : 0.0);
}

// The mean of values whose mean deviation from the shift, divided by
// 2^exponent, is scaledMean.
double MeanAbout(const DecimalValue& shift, double scaledMean, int exponent) {
    const double deviation = exponent == 0 ? scaledMean : std::ldexp(scaledMean, exponent);
    if (std::isfinite(deviation)) return shift.value + (shift.correction + deviation);
    // The mean lies between the values, but its distance from the shift may not.
    return std::ldexp(std::ldexp(shift.value, -exponent) + scaledMean, exponent);
}

}  // namespace

// Weights between 2^-64 and 2^64 are held as they are: their products with
// the powers of any deviation held as it is stay far inside a Double. Beyond,
// the even exponent that brings w into [1, 4), kept where 2^-e (a weight of 1
// held) is a normal Double.
int HeldWeights::ExponentFor(double w) {
    if (w >= 0x1p-64 && w <= kLimit) return 0;
    const int e = std::clamp(std::ilogb(w), -1022, 1022);
    return e - (e & 1);  // even, rounded down
}

void HeldWeights::Start(double w) {
    exponent_ = ExponentFor(w);
    unit_ = std::ldexp(1.0, -exponent_);
}

double WeightedMoments::Mean() const {
    if (const std::optional<double> exact = exact_.Mean(weights_)) return *exact;
    return MeanAbout(shift_, mean_, scale_);
}

double WeightedMoments::ScaledMean() const {
    return std::ldexp(shift_.value, -scale_) + (std::ldexp(shift_.correction, -scale_) + mean_);
}

double WeightedMoments::ScaledMeanLess(double value) const {
    return ScaledDeviation(shift_, SplitDecimal(value), scale_) + mean_;
}

double WeightedMoments::MeanLessAt(const WeightedMoments& other, int exponent) const {
    return ScaledDeviation(shift_, other.shift_, exponent) +
           (std::ldexp(mean_, scale_ - exponent) - std::ldexp(other.mean_, other.scale_ - exponent));
}

int WeightedMoments::CommonScale(const WeightedMoments& a, const WeightedMoments& b) {
    if (!a.HasSpread()) return b.scale_;
    if (!b.HasSpread()) return a.scale_;
    return std::max(a.scale_, b.scale_);
}

WeightedMoments::Deviation WeightedMoments::Deviations(std::string_view strMode) const {
    // The weights' exponent cancels in the variance; the square root of the
    // sum of weights takes half of it (an even one).
    const double n = HeldWeight();
    double variance = 0;
    const double deviation = VarianceFromCentred(strMode, n, m2_, variance, Unit());
    Deviation d;
    d.heldVariance = variance;
    d.heldDeviation = deviation;
    d.variance = Unscaled(variance, 2);
    d.stdDeviation = Unscaled(deviation, 1);
    d.stdError = std::ldexp(deviation / std::sqrt(n), scale_ - WeightExponent() / 2);
    if (const double mean = ScaledMean(); mean != 0) d.coeffOfVariance = deviation / mean;
    return d;
}

void WeightedMoments::Rescale(int exponent) {
    const int by = scale_ - exponent;
    mean_ = std::ldexp(mean_, by);
    m2_ = std::ldexp(m2_, 2 * by);
    m3_ = std::ldexp(m3_, 3 * by);
    m4_ = std::ldexp(m4_, 4 * by);
    scale_ = exponent;
}

void WeightedMoments::Add(const DecimalValue& x, double w) {
    if (!(w > 0)) return;  // a record without weight adds nothing
    if (count_ == 0) {
        shift_ = x;
        weights_.Start(w);
    }
    exact_.Add(x, w);
    w = weights_.Hold(w, m2_, m3_, m4_);
    ++count_;
    double d = ScaledDeviation(x, shift_, scale_);
    if (!HeldAsIs(d)) [[unlikely]] {
        const int scale = ScaleFor(x, shift_, d, scale_, Spread(mean_, m2_, weights_.Running()));
        if (scale != scale_) {
            Rescale(scale);
            d = ScaledDeviation(x, shift_, scale_);
        }
    }
    const double before = weights_.Running();
    weights_.Add(w);
    const double delta = d - mean_;
    const double share = w / weights_.Running();
    const double deltaShare = delta * share;
    mean_ += deltaShare;
    const double term = delta * deltaShare * before;  // w W delta^2 / W'
    if (higher_) {
        // With s = w / W' and t = 1 - s the old weight's share, the new
        // point's terms are term delta (t - s) and term delta^2 (t^2 - ts + s^2).
        const double t = 1 - share;
        const double ds2 = deltaShare * deltaShare;
        m4_ += term * delta * delta * (t * t - t * share + share * share) + 6 * ds2 * m2_ - 4 * deltaShare * m3_;
        m3_ += term * delta * (t - share) - 3 * deltaShare * m2_;
    }
    m2_ += term;
}

void WeightedMoments::Merge(const WeightedMoments& other) {
    if (other.count_ == 0) return;
    if (count_ == 0) {
        const bool higher = higher_;
        *this = other;
        higher_ = higher;
        return;
    }
    const int weightExponent = WeightExponent();
    if (other.WeightExponent() > weightExponent) weights_.MoveTo(other.WeightExponent(), m2_, m3_, m4_);
    if (other.WeightExponent() < weightExponent) {
        WeightedMoments held = other;
        held.weights_.MoveTo(weightExponent, held.m2_, held.m3_, held.m4_);
        Merge(held);
        return;
    }
    // Both at the scale of the part with spread (the larger where both have),
    // or at one that holds the distance between the shifts; where all of that
    // is too small for its powers, at one that brings it near 1.
    const double spread = Spread(mean_, m2_, weights_.Running());
    const double otherSpread = Spread(other.mean_, other.m2_, other.weights_.Running());
    int target = !(spread > 0) ? other.scale_ : (!(otherSpread > 0) ? scale_ : std::max(scale_, other.scale_));
    const double between = ScaledDeviation(other.shift_, shift_, target);
    if (!(std::fabs(between) <= kScaleLimit)) {
        target = ScaleExponentFor(other.shift_, shift_);
    } else {
        const double largest = std::max(
            {std::ldexp(spread, scale_ - target), std::ldexp(otherSpread, other.scale_ - target), std::fabs(between)});
        if (largest > 0 && largest < kSmallLimit) target += std::ilogb(largest) + 1;
    }
    if (scale_ != target) Rescale(target);
    if (other.scale_ != target) {
        WeightedMoments scaled = other;
        scaled.Rescale(target);
        Merge(scaled);
        return;
    }
    const double wa = weights_.Running();
    const double wb = other.weights_.Running();
    const double w = wa + wb;
    // The other's mean less this one's, both about this shift (scaled).
    const double delta = ScaledDeviation(other.shift_, shift_, scale_) + (other.mean_ - mean_);
    const double share = wb / w;
    if (higher_) {
        const double d2 = delta * delta;
        m4_ += other.m4_ + d2 * d2 * wa * wb * (wa * wa - wa * wb + wb * wb) / (w * w * w) +
               6 * d2 * (wa * wa * other.m2_ + wb * wb * m2_) / (w * w) + 4 * delta * (wa * other.m3_ - wb * m3_) / w;
        m3_ += other.m3_ + d2 * delta * wa * wb * (wa - wb) / (w * w) + 3 * delta * (wa * other.m2_ - wb * m2_) / w;
    }
    m2_ += other.m2_ + delta * delta * wa * share;
    mean_ += delta * share;
    exact_.Merge(other.exact_);
    weights_.Add(other.weights_);
    count_ += other.count_;
}

void WeightedMoments::Clear() {
    const bool higher = higher_;
    *this = WeightedMoments(higher);
}

double WeightedCoMoments::MeanX() const {
    if (const std::optional<double> exact = means_ ? exactX_.Mean(weights_) : std::nullopt) return *exact;
    return MeanAbout(shiftX_, meanX_, scaleX_);
}

double WeightedCoMoments::MeanY() const {
    if (const std::optional<double> exact = means_ ? exactY_.Mean(weights_) : std::nullopt) return *exact;
    return MeanAbout(shiftY_, meanY_, scaleY_);
}

int WeightedCoMoments::MeanDifferenceScale() const {
    const int e = ScaleExponentDifference();
    if (std::fabs(ScaledDeviation(shiftX_, shiftY_, e)) <= kScaleLimit) return e;
    // Means far apart beside the spread of either field.
    return std::max(e, ScaleExponentFor(shiftX_, shiftY_));
}

double WeightedCoMoments::ScaledMeanDifference(int e) const {
    const double shifts = ScaledDeviation(shiftX_, shiftY_, e);
    const double meanX = Unscaled(meanX_, scaleX_ - e), meanY = Unscaled(meanY_, scaleY_ - e);
    const double difference = shifts + (meanX - meanY);
    // Where the shifts and the means cancel beyond half their digits, the
    // differences' own mean holds what they lose.
    if (std::fabs(difference) >= 0x1p-26 * std::max({std::fabs(shifts), std::fabs(meanX), std::fabs(meanY)}))
        return difference;
    const int by = ScaleExponentDifference() - e;
    return (shifts + Unscaled(meanD_, by)) + Unscaled(meanDLow_, by);
}

void WeightedCoMoments::MoveMeanDifference(double step) {
    // Knuth's two-sum: the sum and its rounding error, exactly.
    const double sum = meanD_ + step;
    const double back = sum - meanD_;
    meanDLow_ += (meanD_ - (sum - back)) + (step - back);
    meanD_ = sum;
}

std::optional<double> WeightedCoMoments::Correlation() const {
    // r is free of the scales.
    return CorrelationFromCentred(mxx_, myy_, mxy_);
}

// The weights' exponent cancels in Mxy / (W - 1) and Mdd / (W - 1).
double WeightedCoMoments::Covariance() const {
    return Unscaled(mxy_ / HeldDegrees(), scaleX_ + scaleY_ + sumsExponent_);
}

double WeightedCoMoments::ScaledDifferenceVariance() const { return mdd_ > 0 ? mdd_ / HeldDegrees() : 0; }

double WeightedCoMoments::DifferenceDeviation() const {
    const double v = ScaledDifferenceVariance();
    return v > 0 ? Unscaled(std::sqrt(v), ScaleExponentDifference() + sumsExponent_ / 2) : 0;
}

std::optional<double> WeightedCoMoments::PairedT() const {
    const double v = ScaledDifferenceVariance();
    if (!(v > 0)) return std::nullopt;
    const int e = MeanDifferenceScale();
    // The square root of the held sum of weights takes half its (even) exponent.
    // A spread held below the smallest normal number (a weight of 5e-324
    // read first, the others' exponent 0) would vanish in v / W: the roots
    // are taken apart then.
    const double held = weights_.Held();
    const double share = v / held;
    const double root = share >= 0x1p-1022 ? std::sqrt(share) : std::sqrt(v) / std::sqrt(held);
    return Unscaled(ScaledMeanDifference(e) / root,
                    e - ScaleExponentDifference() + weights_.Exponent() / 2 - sumsExponent_ / 2);
}

void WeightedCoMoments::Rescale(int exponentX, int exponentY) {
    const int byX = scaleX_ - exponentX;
    const int byY = scaleY_ - exponentY;
    const int byD = ScaleExponentDifference() - std::max(exponentX, exponentY);
    meanX_ = std::ldexp(meanX_, byX);
    meanY_ = std::ldexp(meanY_, byY);
    mxx_ = std::ldexp(mxx_, 2 * byX);
    myy_ = std::ldexp(myy_, 2 * byY);
    mxy_ = std::ldexp(mxy_, byX + byY);
    mdd_ = std::ldexp(mdd_, 2 * byD);
    meanD_ = std::ldexp(meanD_, byD);
    meanDLow_ = std::ldexp(meanDLow_, byD);
    scaleX_ = exponentX;
    scaleY_ = exponentY;
}

void WeightedCoMoments::Add(const DecimalValue& x, const DecimalValue& y, double w) {
    if (!(w > 0)) return;
    if (count_ == 0) {
        shiftX_ = x;
        shiftY_ = y;
        weights_.Start(w);
    }
    if (means_) {
        exactX_.Add(x, w);
        exactY_.Add(y, w);
    }
    const double given = w;
    // The central sums keep their own exponent where the weights move.
    const int weightExponent = weights_.Exponent();
    w = weights_.Hold(w);
    sumsExponent_ -= weights_.Exponent() - weightExponent;
    ++count_;
    double dx = 0, dy = 0;
    ScaledDeviations(x, y, dx, dy);
    const double before = weights_.Running();
    weights_.Add(w);
    const double share = w / weights_.Running();
    const double deltaX = dx - meanX_;
    const double deltaY = dy - meanY_;
    meanX_ += deltaX * share;
    meanY_ += deltaY * share;
    double afterX = dx - meanX_;
    double afterY = dy - meanY_;
    // The weight at the central sums' exponent (w itself where that is the
    // weights' own), from the weight given, which a subnormal w may have lost.
    double ws = SumsExponent() == 0 ? given : std::ldexp(given, -SumsExponent());
    // The difference x - y, less the shifts', at the difference's scale.
    const double d = DifferenceOf(dx, dy);
    const double deltaD = (d - meanD_) - meanDLow_;
    if (before < w) [[unlikely]] {
        // A weight above all those before: the new mean lies near the value,
        // and its distance from it, delta times the old weights' share, is
        // formed as such (the difference would lose it, or all of it where
        // the share rounds to 1).
        const double kept = before / weights_.Running();
        afterX = deltaX * kept;
        afterY = deltaY * kept;
        MoveMeanDifference(deltaD);
        MoveMeanDifference(-deltaD * kept);
        if (kept < kTinyShare && before > 0) [[unlikely]] {
            // Weights before far below this one (some of 5e-324 beside 2):
            // the share they keep, below the normal Doubles, is taken
            // times 2^k and the weight divided by it.
            const int k = -std::ilogb(before);
            const double keptScaled = std::ldexp(before, k) / weights_.Running();
            afterX = deltaX * keptScaled;
            afterY = deltaY * keptScaled;
            ws = std::ldexp(ws, -k);
        }
    } else {
        MoveMeanDifference(deltaD * share);
    }
    AddProducts(ws, deltaX, afterX, deltaY, afterY, DifferenceOf(deltaX, deltaY), DifferenceOf(afterX, afterY));
}

inline double WeightedCoMoments::DifferenceOf(double dx, double dy) const {
    const int e = ScaleExponentDifference();
    return scaleX_ == scaleY_ ? dx - dy : Unscaled(dx, scaleX_ - e) - Unscaled(dy, scaleY_ - e);
}

inline void WeightedCoMoments::ScaledDeviations(const DecimalValue& x, const DecimalValue& y, double& dx, double& dy) {
    dx = ScaledDeviation(x, shiftX_, scaleX_);
    dy = ScaledDeviation(y, shiftY_, scaleY_);
    if (HeldAsIs(dx) && HeldAsIs(dy)) [[likely]]
        return;
    const double spreadX = Spread(meanX_, mxx_, weights_.Running());
    const double spreadY = Spread(meanY_, myy_, weights_.Running());
    int scaleX = HeldAsIs(dx) ? scaleX_ : ScaleFor(x, shiftX_, dx, scaleX_, spreadX);
    int scaleY = HeldAsIs(dy) ? scaleY_ : ScaleFor(y, shiftY_, dy, scaleY_, spreadY);
    // A field without spread so far holds nothing at any scale: it takes
    // the other's, so that the difference's scale is that of the field
    // with spread.
    if (!(spreadX > 0) && dx == 0) scaleX = scaleY;
    if (!(spreadY > 0) && dy == 0) scaleY = scaleX;
    if (scaleX != scaleX_ || scaleY != scaleY_) {
        Rescale(scaleX, scaleY);
        dx = ScaledDeviation(x, shiftX_, scaleX_);
        dy = ScaledDeviation(y, shiftY_, scaleY_);
    }
}

inline void WeightedCoMoments::AddProducts(double ws, double deltaX, double afterX, double deltaY, double afterY,
                                           double ddX, double daX) {
    if (!(ws >= kTinyWeight) || !(ws <= kLargeWeight)) [[unlikely]]
        ws = HoldSumsFor(ws);
    double tx = ws * deltaX * afterX;
    double ty = ws * deltaY * afterY;
    double txy = ws * deltaX * afterY;
    // The difference x - y deviates from its mean by deltaX - deltaY, both
    // taken to the difference's scale.
    double td = ws * ddX * daX;
    if (!std::isfinite(tx + ty + txy + td) && std::isfinite(ws) && ws > 1) [[unlikely]] {
        // A term beyond a Double at the sums' exponent: the sums move to the
        // weight's, beside which what they held so far is as small.
        const int k = std::ilogb(ws) & ~1;
        ScaleSums(-k);
        ws = std::ldexp(ws, -k);
        tx = ws * deltaX * afterX;
        ty = ws * deltaY * afterY;
        txy = ws * deltaX * afterY;
        td = ws * ddX * daX;
    }
    mxx_ += tx;
    myy_ += ty;
    mxy_ += txy;
    mdd_ += td;
}

void WeightedCoMoments::ScaleSums(int by) {
    mxx_ = std::ldexp(mxx_, by);
    myy_ = std::ldexp(myy_, by);
    mxy_ = std::ldexp(mxy_, by);
    mdd_ = std::ldexp(mdd_, by);
    sumsExponent_ -= by;
}

double WeightedCoMoments::HoldSumsFor(double ws) {
    if (!(ws > 0) || !std::isfinite(ws)) return ws;
    // Brings the weight near 1, as far as the sums held so far allow.
    int k = -std::ilogb(ws);
    const double level = std::max({std::fabs(mxx_), std::fabs(myy_), std::fabs(mdd_)});
    if (k > 0 && level > 0) k = std::min(k, std::max(0, 64 - std::ilogb(level)));
    if (k < 0) return ws;  // a large weight moves the sums only where a term would overflow
    k &= ~1;
    ScaleSums(k);
    return std::ldexp(ws, k);
}

double VarianceFromCentred(std::string_view strMode, double n, double m2, double& dblVariance, double unit) {
    dblVariance = 0;
    if (n <= 0 || !(m2 > 0)) return 0;
    if (strMode == "N") {
        dblVariance = m2 / n;
    } else if (n > unit) {
        dblVariance = m2 / (n - unit);
    }
    return dblVariance > 0 ? std::sqrt(dblVariance) : 0;
}

std::optional<double> CorrelationFromCentred(double sxx, double syy, double sxy) {
    if (!(sxx > 0 && syy > 0)) return std::nullopt;
    if (sxy == 0) return 0.0;
    // sqrt of the product where it is finite: a field against itself then
    // gives exactly 1.
    const double product = sxx * syy;
    const double r = sxy / (std::isfinite(product) ? std::sqrt(product) : std::sqrt(sxx) * std::sqrt(syy));
    // Rounding may carry a perfect correlation a hair beyond 1.
    return r > 1 ? 1.0 : (r < -1 ? -1.0 : r);
}
