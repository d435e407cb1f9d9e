#include "numeric/Numerics.h"

#include "numeric/DecimalDeviation.h"
#include "numeric/IntervalBounds.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <limits>
#include <string>

#include "vb/Conversions.h"
#include "vb/Decimal.h"
#include "vb/VbError.h"

bool FitsDecimal(std::initializer_list<double> values) {
    double largest = 0;
    for (double v : values) {
        const double m = std::fabs(v);
        if (!(m < kDecimalLimit)) return false;  // NaN included
        if (m > largest) largest = m;
    }
    return largest == 0 || largest >= kDecimalFloor;
}

double PreciseDifference(double a, double b) {
    double d = 0;
    if (DecimalDigits15Difference(a, b, d)) return d;
    return DecimalTypeDifference(a, b);
}

double DecimalTypeDifference(double a, double b) {
    if (FitsDecimal({a, b})) {
        return (vb::Decimal::FromDouble(a) - vb::Decimal::FromDouble(b)).ToDouble();
    }
    return a - b;
}

namespace {

// WrittenDouble(x) == x: x is the Double nearest its own 15-digit decimal.
// Where the fast cut decides that decimal, m / 10^s is its nearest Double
// (both exact, the division rounded once), which spares the text round
// trip for every value.
bool IsWritten(double x) {
    static constexpr double kPow10[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,  1e9,  1e10, 1e11,
                                        1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
    int64_t mantissa = 0;
    int scale = 0;
    if (DecimalDigits15(x, mantissa, scale) && scale >= 0 && scale <= 22)
        return static_cast<double>(mantissa) / kPow10[scale] == x;
    return WrittenDouble(x) == x;
}

}  // namespace

double ValueDifference(double a, double b) {
    if (IsWritten(a) && IsWritten(b)) return PreciseDifference(a, b);
    return a - b;
}

double ReadValueLess(double value, double formed) {
    if (IsWritten(value)) return PreciseDifference(value, formed);
    return value - formed;
}

double PreciseSum(std::initializer_list<double> terms) {
    if (FitsDecimal(terms)) {
        vb::Decimal sum;
        for (double t : terms) sum += vb::Decimal::FromDouble(t);
        return sum.ToDouble();
    }
    double sum = 0;
    for (double t : terms) sum += t;
    return sum;
}

namespace {

// sum -= q * den exactly; false where a product's error is not a Double.
bool SubtractProduct(ExactSum& sum, double q, const ExactSum& den) {
    const ExactSum expanded = den.Expanded();
    const double* parts = nullptr;
    const int k = expanded.Parts(parts);
    bool exact = true;
    for (int j = 0; j < k; ++j) exact = sum.AddProduct(-q, parts[j]) && exact;
    return exact;
}

}  // namespace

double ExactQuotient(const ExactSum& num, const ExactSum& den) {
    const double d = den.Value();
    const double q = num.Value() / d;
    if (!std::isfinite(q) || q == 0 || !num.Finite() || !den.Finite()) return q;
    // The quotient corrected by its remainder num - q den lies within half
    // a unit and a hair of the exact one.
    ExactSum remainder = num;
    if (!SubtractProduct(remainder, q, den)) return q + remainder.Value() / d;
    const double r = remainder.Value();
    if (r == 0) return q;
    const double c = q + r / d;
    // Which side of c the exact quotient lies on, and whether beyond the
    // midpoint to the next Double that way.
    ExactSum e = num;
    if (!SubtractProduct(e, c, den)) return c;
    const double ev = e.Value();
    if (ev == 0) return c;
    const bool up = (ev > 0) == (d > 0);
    const double next = std::nextafter(c, up ? HUGE_VAL : -HUGE_VAL);
    if (!std::isfinite(next)) return c;
    if (!SubtractProduct(e, (next - c) / 2, den)) return c;
    const double beyond = e.Value();
    if (beyond == 0) return (std::bit_cast<uint64_t>(c) & 1) == 0 ? c : next;
    return ((beyond > 0) == (d > 0)) == up ? next : c;
}

double VarianceFromSums(std::string_view strMode, double n, double dblSumSquares, double dblSum, double& dblVariance) {
    dblVariance = 0;
    if (n <= 0) return 0;
    const double nS2 = vb::Checked(n * dblSumSquares);
    const double s1Squared = vb::Checked(dblSum * dblSum);
    if (nS2 == s1Squared) return 0;
    const double d = PreciseDifference(nS2, s1Squared);
    if (strMode == "N") {
        dblVariance = vb::Divide(d, vb::Checked(n * n));
    } else if (n > 1) {
        dblVariance = vb::Divide(d, vb::Checked(n * (n - 1)));
    }
    // Rounding in the sums can leave a difference just below zero; a variance
    // is never negative.
    if (dblVariance < 0) dblVariance = 0;
    return dblVariance > 0 ? std::sqrt(dblVariance) : 0;
}

int CountExponent(double n) {
    if (!(n > 0x1p64)) return 0;
    const int e = std::min(std::ilogb(n), 1022);
    return e - (e & 1);  // even, rounded down
}

double TieRanker::AddGroup(double t) {
    if (t < 1) t = 0;
    const double p = lastRank_ + 1;  // first rank of the group
    // Average of the ranks p .. p+t-1, i.e. t(2p+t-1)/2 divided by t (taken
    // in halves next to the largest Double).
    const double rank = p < 0x1p1020 && t < 0x1p1020 ? (2 * p + t - 1) / 2 : p + (t - 1) / 2;
    const double held = t * unit_;
    if (t > 0) {
        const double before = lastRank_ * unit_;
        sums_.untied += 3 * before * held * (before + held);
    }
    if (t > 1) {
        sums_.tg += 1;
        sums_.tw += t;
        sums_.t3 += held * held * held - held * unit_ * unit_;
        if (tau_) {
            const double v = t * t - t;
            sums_.t2 += v;
            sums_.tt += (t - 2) * v;
            sums_.t5 += (2 * t + 5) * v;
        }
    }
    lastRank_ = p + t - 1;
    return rank;
}

namespace {

// Rounds a positive width up to two significant digits, working on its
// 15-digit decimal form so that 0.051 stays 0.051 instead of becoming 0.052
// through binary noise in 1000 * 0.051.
double RoundUpToTwoDigits(double width) {
    const std::string text = vb::Decimal::FromDouble(width).ToString();
    std::string digits;
    int pointPos = -1;  // digits before the decimal point
    int leadingZeros = 0;
    for (char c : text) {
        if (c == '.') {
            pointPos = static_cast<int>(digits.size()) + leadingZeros;
        } else if (c >= '0' && c <= '9') {
            if (digits.empty() && c == '0') {
                ++leadingZeros;
            } else {
                digits.push_back(c);
            }
        }
    }
    if (digits.empty()) return width;
    if (pointPos < 0) pointPos = static_cast<int>(digits.size()) + leadingZeros;
    // width = 0.d1d2d3... * 10^exponent10
    const int exponent10 = pointPos - leadingZeros;
    int w = (digits[0] - '0') * 10 + (digits.size() > 1 ? digits[1] - '0' : 0);
    bool rest = false;
    for (size_t i = 2; i < digits.size(); ++i) rest = rest || digits[i] != '0';
    if (rest) ++w;
    // w / h with h = 10^(2 - exponent10)
    const int shift = 2 - exponent10;
    return shift >= 0 ? w / std::pow(10.0, shift) : w * std::pow(10.0, -shift);
}

}  // namespace

namespace {

// Data without spread (min = max): one interval centred on the value holds
// every row. Its width is 1, or for a value whose 15 significant digits do
// not reach the units, ten units of its 14th digit, so that the bounds differ
// in what a column name shows of them.
void IntervalsWithoutSpread(int k, double value, double& dblFirst, double& dblWidth) {
    const double magnitude = std::fabs(value);
    const double e = magnitude > 0 ? std::floor(std::log10(magnitude)) : 0;
    dblWidth = e >= 13 ? std::pow(10.0, e - 13) : 1;
    dblFirst = PreciseDifference(value, dblWidth / 2);
    // Next to the largest Double the value goes in the last interval
    // instead; next to the most negative one the first bound is that.
    if (!std::isfinite(dblFirst)) dblFirst = std::numeric_limits<double>::lowest();
    if (!std::isfinite(dblFirst + dblWidth * k)) dblFirst = value - dblWidth * (k - 0.5);
}

// The margin beyond the data: a tenth of the range above 1, a hundredth
// below, as a power of ten that leaves both outer bounds numbers next to
// the largest Double.
double IntervalMargin(double dblMin, double dblMax) {
    // A range beyond the largest Double is taken in halves.
    const double range = dblMax - dblMin;
    double e = std::isfinite(range) ? std::log10(range) : std::log10(dblMax / 2 - dblMin / 2) + std::log10(2.0);
    e = e > 0 ? e - 1 : e - 2;
    double pad = std::pow(10.0, e);
    while (pad > 0 && !(std::isfinite(dblMin - pad) && std::isfinite(dblMax + pad))) pad /= 10;
    return pad;
}

// A number below x that 15 significant digits write as itself: x so
// written, or one unit in its 15th digit lower (the next Double down where
// those digits cannot reach below x, as among subnormals).
double WrittenBelow(double x) {
    constexpr double kLargest = std::numeric_limits<double>::max();
    if (!(x > -kLargest)) return -kLargest;
    const double written = WrittenDouble(x);
    if (written < x) return written;
    const double unit = std::pow(10.0, std::floor(std::log10(std::fabs(written))) - 14);
    const double below = WrittenDouble(written - unit);
    return below < x ? below : std::nextafter(x, -kLargest);
}

// Whether default bounds, as the result table writes them, hold the data
// (the minimum in the first interval, the maximum in the last, whichever
// limit is included) and differ from each other. Where no Double lies beyond
// the data (the largest magnitudes) the end interval holds it instead
// (FrequencyBin, closed ends).
bool DefaultBoundsHold(int k, bool fLowerBound, double dblMax, double dblFirst, double dblWidth) {
    const IntervalBounds bounds(static_cast<int16_t>(k), dblFirst, dblWidth, true);
    if (!bounds.Distinct()) return false;
    const double top = bounds[k];
    return fLowerBound ? top > dblMax || dblMax == std::numeric_limits<double>::max() : top >= dblMax;
}

}  // namespace

void FrequencyIntervalDefaults(bool fFraction, int16_t intervals, bool fLowerBound, double dblMin, double dblMax,
                               double& dblFirst, double& dblWidth) {
    const int k = intervals < 1 ? 1 : intervals;
    if (dblMin == dblMax) {
        IntervalsWithoutSpread(k, dblMin, dblFirst, dblWidth);
        return;
    }
    const double pad = IntervalMargin(dblMin, dblMax);
    double width = (dblMax + pad - dblMin) / k;
    if (!std::isfinite(width)) width = (dblMax / k + pad / k) - dblMin / k;
    width = vb::Checked(width);
    if (width < 1) width = fFraction ? RoundUpToTwoDigits(width) : 1;
    dblFirst = fLowerBound ? dblMin : dblMin - pad;
    // The last bound, max + pad or max, may round past the largest Double.
    for (int i = 0; i < 64 && !std::isfinite(IntervalBound(dblFirst, width, k)); ++i)
        width = std::nextafter(width, 0.0);
    // At the resolution of the values the margin can round away, in Doubles
    // or in the 15 digits a bound is written with: the first bound as
    // written must lie below the minimum, or at it where lower limits are
    // included.
    const double firstWritten = WrittenDouble(dblFirst);
    if (fLowerBound ? firstWritten > dblMin : !(dblFirst < dblMin && firstWritten < dblMin))
        dblFirst = WrittenBelow(dblMin);
    // Widen until the last bound holds the maximum and no two bounds are one
    // number. The first tries move the last bound by a unit in its last
    // place, so that a width nearly right stays nearly as computed; the step
    // doubles, so that bounds far too close part within a few dozen tries.
    constexpr double kLargest = std::numeric_limits<double>::max();
    double step = std::nextafter(width, kLargest) - width;
    for (int i = 0; i < 1100 && !DefaultBoundsHold(k, fLowerBound, dblMax, dblFirst, width); ++i) {
        const double wider = width + step;
        if (!std::isfinite(IntervalBound(dblFirst, wider, k))) break;
        width = wider;
        step *= 2;
    }
    dblWidth = width;
}
