#include "numeric/WeightedMoments.h"

#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {

// Powers of ten that doubles hold exactly.
constexpr double kPow10[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,  1e9,  1e10, 1e11,
                             1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};

// The correction is kept only when the decimal lies within half a unit in
// the last place of x, that is when x is that decimal's nearest double; a
// value with more digits keeps its binary value.
double KeepIfNearest(double x, double correction) {
    const double halfUlp = std::ldexp(0.5, std::ilogb(x) - 52);
    return std::fabs(correction) <= halfUlp ? correction : 0;
}

// Magnitudes outside the fast path: the 15-digit text, read back in the
// extended type.
double CorrectionByText(double x) {
    char text[40];
    std::snprintf(text, sizeof text, "%.14e", x);
    const long double decimal = std::strtold(text, nullptr);
    return KeepIfNearest(x, static_cast<double>(decimal - static_cast<long double>(x)));
}

// 10^-8 .. 10^15 (the negative powers as their nearest doubles), to place a
// magnitude between two powers.
constexpr double kTenTo[] = {1e-8, 1e-7, 1e-6, 1e-5, 1e-4, 1e-3, 1e-2, 1e-1, 1e0,  1e1,  1e2,  1e3,
                             1e4,  1e5,  1e6,  1e7,  1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15};

}  // namespace

DecimalValue SplitDecimal(double x) {
    const double ax = std::fabs(x);
    // Beyond what the decimal type holds (and for 0, NaN and infinities) the
    // value is its own decimal.
    if (!(ax >= 1e-14 && ax < 1e27)) return {x, 0};
    if (ax < 1e-8 || ax >= 1e15) return {x, CorrectionByText(x)};
    // The fast path works on the bits: called for every value of every
    // analysed field, it avoids the library's rounding and exponent calls.
    const int biased = static_cast<int>(std::bit_cast<uint64_t>(ax) >> 52);  // normal here
    // Decimal exponent e (10^e <= ax < 10^(e+1)) from the binary one:
    // floor(b log10 2) is (b 1233) >> 12 for these b, and may be one short.
    int e = ((biased - 1023) * 1233) >> 12;
    if (ax >= kTenTo[e + 9]) ++e;
    // x scaled to 15 integer digits, held exactly as hi + lo; its nearest
    // integer is the 15-digit decimal, and the distance to it the correction.
    const int k = 14 - e;
    const double p = kPow10[k];
    const double hi = x * p;
    const double lo = std::fma(x, p, -hi);
    constexpr double kRound = 6755399441055744.0;  // 1.5 * 2^52: adding it rounds |v| < 2^51 to an integer
    const double m = (hi + kRound) - kRound;
    const double correction = ((m - hi) - lo) / p;
    // Kept only when the decimal lies within half a unit in the last place
    // of x, that is when x is that decimal's nearest double.
    const double halfUlp = std::bit_cast<double>(static_cast<uint64_t>(biased - 53) << 52);
    return {x, std::fabs(correction) <= halfUlp ? correction : 0};
}

void WeightedMoments::Add(const DecimalValue& x, double w) {
    if (!(w > 0)) return;  // a record without weight adds nothing
    if (count_ == 0) shift_ = x;
    ++count_;
    const double d = DecimalDeviation(x, shift_);
    const double before = weight_;
    weight_ += w;
    const double delta = d - mean_;
    const double share = w / weight_;
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

WeightedMoments WeightedMoments::FromCentral(double weight, double mean, double m2) {
    WeightedMoments m;
    if (!(weight > 0)) return m;
    m.count_ = 1;
    m.weight_ = weight;
    m.shift_ = SplitDecimal(mean);
    m.m2_ = m2;
    return m;
}

void WeightedMoments::Merge(const WeightedMoments& other) {
    if (other.count_ == 0) return;
    if (count_ == 0) {
        const bool higher = higher_;
        *this = other;
        higher_ = higher;
        return;
    }
    const double wa = weight_;
    const double wb = other.weight_;
    const double w = wa + wb;
    // The other's mean less this one's, both about this shift.
    const double delta = other.MeanLess(*this);
    const double share = wb / w;
    if (higher_) {
        const double d2 = delta * delta;
        m4_ += other.m4_ + d2 * d2 * wa * wb * (wa * wa - wa * wb + wb * wb) / (w * w * w) +
               6 * d2 * (wa * wa * other.m2_ + wb * wb * m2_) / (w * w) + 4 * delta * (wa * other.m3_ - wb * m3_) / w;
        m3_ += other.m3_ + d2 * delta * wa * wb * (wa - wb) / (w * w) + 3 * delta * (wa * other.m2_ - wb * m2_) / w;
    }
    m2_ += other.m2_ + delta * delta * wa * share;
    mean_ += delta * share;
    weight_ = w;
    count_ += other.count_;
}

void WeightedMoments::Clear() {
    const bool higher = higher_;
    *this = WeightedMoments(higher);
}

void WeightedCoMoments::Add(const DecimalValue& x, const DecimalValue& y, double w) {
    if (!(w > 0)) return;
    if (count_ == 0) {
        shiftX_ = x;
        shiftY_ = y;
    }
    ++count_;
    const double dx = DecimalDeviation(x, shiftX_);
    const double dy = DecimalDeviation(y, shiftY_);
    weight_ += w;
    const double share = w / weight_;
    const double deltaX = dx - meanX_;
    const double deltaY = dy - meanY_;
    meanX_ += deltaX * share;
    meanY_ += deltaY * share;
    const double afterX = dx - meanX_;
    const double afterY = dy - meanY_;
    mxx_ += w * deltaX * afterX;
    myy_ += w * deltaY * afterY;
    mxy_ += w * deltaX * afterY;
    // The difference x - y deviates from its mean by deltaX - deltaY.
    mdd_ += w * (deltaX - deltaY) * (afterX - afterY);
}

double VarianceFromCentred(std::string_view strMode, double n, double m2, double& dblVariance) {
    dblVariance = 0;
    if (n <= 0 || !(m2 > 0)) return 0;
    if (strMode == "N") {
        dblVariance = m2 / n;
    } else if (n > 1) {
        dblVariance = m2 / (n - 1);
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
