#include "numeric/Numerics.h"

#include "numeric/DecimalDeviation.h"

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

double TieRanker::AddGroup(double t) {
    if (t < 1) t = 0;
    const double p = lastRank_ + 1;  // first rank of the group
    // Average of the ranks p .. p+t-1, i.e. t(2p+t-1)/2 divided by t.
    const double rank = (2 * p + t - 1) / 2;
    if (t > 1) {
        sums_.tg += 1;
        sums_.tw += t;
        sums_.t3 += t * t * t - t;
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

void FrequencyIntervalDefaults(bool fFraction, int16_t intervals, bool fLowerBound, double dblMin, double dblMax,
                               double& dblFirst, double& dblWidth) {
    const int k = intervals < 1 ? 1 : intervals;
    if (dblMin == dblMax) {
        // No spread: one interval centred on the value holds every row. Its
        // width is 1, or for a value whose 15 significant digits do not
        // reach the units, ten units of its 14th digit, so that the bounds
        // differ in what a column name shows of them.
        const double magnitude = std::fabs(dblMin);
        const double e = magnitude > 0 ? std::floor(std::log10(magnitude)) : 0;
        dblWidth = e >= 13 ? std::pow(10.0, e - 13) : 1;
        dblFirst = PreciseDifference(dblMin, dblWidth / 2);
        // Next to the largest Double the value goes in the last interval
        // instead; next to the most negative one the first bound is that.
        if (!std::isfinite(dblFirst)) dblFirst = std::numeric_limits<double>::lowest();
        if (!std::isfinite(dblFirst + dblWidth * k)) dblFirst = dblMin - dblWidth * (k - 0.5);
        return;
    }
    // A range beyond the largest Double is taken in halves.
    const double range = dblMax - dblMin;
    double e = std::isfinite(range) ? std::log10(range) : std::log10(dblMax / 2 - dblMin / 2) + std::log10(2.0);
    e = e > 0 ? e - 1 : e - 2;
    double pad = std::pow(10.0, e);
    // Next to the largest Double the margin is a power of ten that leaves
    // both outer bounds numbers.
    while (pad > 0 && !(std::isfinite(dblMin - pad) && std::isfinite(dblMax + pad))) pad /= 10;
    double width = (dblMax + pad - dblMin) / k;
    if (!std::isfinite(width)) width = (dblMax / k + pad / k) - dblMin / k;
    width = vb::Checked(width);
    if (width < 1) width = fFraction ? RoundUpToTwoDigits(width) : 1;
    dblFirst = fLowerBound ? dblMin : dblMin - pad;
    // Bound j as it is written, first + j width; the last, max + pad or max,
    // may round past the largest Double.
    const auto bound = [&](double w, int j) {
        const double step = w * j;
        return std::isfinite(step) ? dblFirst + step : 2 * (w / 2 * j + dblFirst / 2);
    };
    for (int i = 0; i < 64 && !std::isfinite(bound(width, k)); ++i) width = std::nextafter(width, 0.0);
    // At the resolution of the values the margin can round away: the bounds
    // must still hold the data (the minimum above a first bound that is
    // excluded, the maximum below a last bound that is excluded) and differ
    // from each other. Where no Double lies beyond the data (the largest
    // magnitudes), the end interval holds it (FrequencyBin, closed ends).
    constexpr double kLargest = std::numeric_limits<double>::max();
    if (!fLowerBound && !(dblFirst < dblMin))
        dblFirst = dblMin > -kLargest ? std::nextafter(dblMin, -kLargest) : -kLargest;
    const auto holds = [&](double w) {
        const double top = bound(w, k);
        if (!std::isfinite(top)) return false;
        if (fLowerBound ? !(top > dblMax) && dblMax < kLargest : top < dblMax) return false;
        double previous = dblFirst;
        for (int j = 1; j <= k; ++j) {
            const double b = bound(w, j);
            if (b == previous) return false;
            previous = b;
        }
        return true;
    };
    // A step that doubles at each try, from one unit in the last place.
    double step = std::nextafter(width, kLargest) - width;
    for (int i = 0; i < 1100 && !holds(width); ++i) {
        const double wider = width + step;
        if (!std::isfinite(bound(wider, k))) break;
        width = wider;
        step *= 2;
    }
    dblWidth = width;
}
