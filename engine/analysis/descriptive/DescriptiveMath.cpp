#include "analysis/descriptive/DescriptiveMath.h"

#include <algorithm>
#include <bit>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <numbers>

#include "numeric/DecimalDeviation.h"
#include "numeric/Numerics.h"
#include "vb/Conversions.h"
#include "vb/VbError.h"

void SortByValue(std::vector<StagedValue>& values) {
    std::sort(values.begin(), values.end(), [](const StagedValue& a, const StagedValue& b) { return a.x < b.x; });
}

int16_t PercentileGroups(const std::string& strPcntiles) {
    if (strPcntiles.empty()) return 0;
    switch (std::tolower(static_cast<unsigned char>(strPcntiles[0]))) {
        case 'm':
            return 2;
        case 'q':
            return 4;
        case '5':
            return 5;
        case 'd':
            return 10;
        case 'p':
            return 100;
        default:
            return 0;
    }
}

void PercentilePoints(const std::vector<StagedValue>& sorted, bool fWeighted, int16_t G, double dblTotal,
                      std::vector<double>& out) {
    if (sorted.empty() || G < 1) return;
    const size_t M = sorted.size();
    out.assign(static_cast<size_t>(G) + 1, sorted.front().x);
    if (fWeighted) {
        // The first value at which the cumulative weight reaches k/G of the
        // whole weight. Sums of fractional weights carry rounding noise, so a
        // share counts as reached within a relative 1e-12 of the whole.
        const double slack = std::fabs(dblTotal) * 1e-12;
        double c = 0;
        int16_t k = 1;
        double target = dblTotal / G;
        for (size_t r = 0; r < M && k < G; ++r) {
            c += sorted[r].w;
            while (target <= c + slack && k < G) {
                out[static_cast<size_t>(k)] = sorted[r].x;
                ++k;
                target = dblTotal * k / G;
            }
        }
    } else {
        for (int16_t k = 1; k < G; ++k) {
            // Position (N - 1)k/G + 1, 1-based; the product is formed before
            // the division so that whole positions come out whole.
            const double pos = (dblTotal - 1) * k / G + 1;
            double whole = std::floor(pos);
            double frac = pos - whole;
            if (whole < 1) {
                whole = 1;
                frac = 0;
            }
            if (whole >= static_cast<double>(M)) {
                whole = static_cast<double>(M);
                frac = 0;
            }
            const size_t i = static_cast<size_t>(whole) - 1;
            const double xi = sorted[i].x;
            if (frac == 0 || sorted[i + 1].x == xi) {
                out[static_cast<size_t>(k)] = xi;
            } else {
                // x(i) + f (x(i+1) - x(i)), the difference and the sum taken
                // in decimal so that 10 + 0.2 (20 - 10) is exactly 12.
                const double step = frac * PreciseDifference(sorted[i + 1].x, xi);
                out[static_cast<size_t>(k)] = PreciseSum({xi, step});
            }
        }
    }
    out[static_cast<size_t>(G)] = sorted.back().x;
}

ModeResult ModeOf(const std::vector<StagedValue>& sorted) {
    ModeResult best;
    double second = 0;
    bool any = false;
    size_t r = 0;
    while (r < sorted.size()) {
        const double x = sorted[r].x;
        double count = 0;
        while (r < sorted.size() && sorted[r].x == x) count += sorted[r++].w;
        if (!any || count > best.count) {
            if (any) second = std::max(second, best.count);
            best.value = x;
            best.count = count;
            any = true;
        } else {
            second = std::max(second, count);
        }
    }
    best.unique = any && best.count > second;
    return best;
}

namespace {

// Powers of ten that Doubles hold exactly.
constexpr double kPow10[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,  1e9,  1e10, 1e11,
                             1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};

// x as the decimal of at most 15 significant digits that it was typed as,
// m 10^-scale; false when x is not the nearest Double of such a decimal (a
// computed value, or one beyond 15 digits such as 1e17 + 16).
bool ShortDecimal(double x, int64_t& m, int& scale) {
    if (!DecimalDigits15(x, m, scale) || scale < 0 || scale > 22) return false;
    // m and the power are exact, so the quotient is m 10^-scale correctly rounded.
    return static_cast<double>(m) / kPow10[scale] == x;
}

// Whether c = a 10^(s - sa) fits, c set when it does.
bool Rescale(__int128 a, int sa, int s, __int128& c) {
    c = a;
    for (int i = sa; i < s; ++i)
        if (__builtin_mul_overflow(c, 10, &c)) return false;
    return true;
}

// The bounds of equal intervals from a first bound, compared with values:
// as decimals when the value, the first bound and the width are all short
// decimals (0.4 lies on the bound 0.1 + 3 x 0.1), otherwise with the bound
// as the Double it is written as (first + j width).
class IntervalEdges {
public:
    IntervalEdges(double dblFirst, double dblWidth) : first_(dblFirst), width_(dblWidth) {
        decimal_ = ShortDecimal(dblFirst, mFirst_, sFirst_) && ShortDecimal(dblWidth, mWidth_, sWidth_);
    }

    // The sign of x - bound j.
    int Compare(double x, int j) const {
        int64_t m = 0;
        int s = 0;
        if (decimal_ && ShortDecimal(x, m, s)) {
            const int scale = std::max({s, sFirst_, sWidth_});
            __int128 a = 0, f = 0, w = 0, d = 0;
            if (Rescale(m, s, scale, a) && Rescale(mFirst_, sFirst_, scale, f) && Rescale(mWidth_, sWidth_, scale, w) &&
                !__builtin_mul_overflow(w, j, &w) && !__builtin_sub_overflow(a, f, &d) &&
                !__builtin_sub_overflow(d, w, &d))
                return d < 0 ? -1 : d > 0 ? 1 : 0;
        }
        const double bound = IntervalBound(first_, width_, j);
        return x < bound ? -1 : x > bound ? 1 : 0;
    }

private:
    double first_, width_;
    bool decimal_ = false;
    int64_t mFirst_ = 0, mWidth_ = 0;
    int sFirst_ = 0, sWidth_ = 0;
};

}  // namespace

int32_t FrequencyBin(double x, double dblFirst, double dblWidth, bool fLowerInclusive, int16_t n, bool fClosedEnds) {
    if (dblWidth == 0) vb::Raise(11);
    const int32_t last = static_cast<int32_t>(n) + 1;
    int32_t bin = -1;
    if (dblWidth > 0) {
        // The quotient places a value that lies well inside an interval; one
        // on or next to a bound (within the rounding of the quotient and of
        // the written bounds), or beyond what a quotient holds, is placed by
        // comparing it with the bounds themselves.
        const double difference = x - dblFirst;
        const double t = std::isfinite(difference) ? difference / dblWidth : x / dblWidth - dblFirst / dblWidth;
        const double noise = 1e-6 + (std::fabs(x) + std::fabs(dblFirst)) * 0x1p-50 / dblWidth;
        if (std::isfinite(t) && t - noise >= 0 && t + noise < last && std::floor(t - noise) == std::floor(t + noise)) {
            bin = static_cast<int32_t>(t) + 1;
        } else if (std::isfinite(t) && t + noise < 0) {
            bin = 0;
        } else if (std::isfinite(t) && t - noise >= last) {
            bin = last;
        } else {
            // The number of bounds at or below x (below x with upper bounds
            // included), by bisection.
            const IntervalEdges edges(dblFirst, dblWidth);
            int32_t lo = 0, hi = last;
            while (lo < hi) {
                const int32_t j = lo + (hi - lo) / 2;
                const int c = edges.Compare(x, j);
                if (fLowerInclusive ? c >= 0 : c > 0) {
                    lo = j + 1;
                } else {
                    hi = j;
                }
            }
            bin = lo;
        }
    } else {
        // A negative width: bounds that fall from the first one.
        double t = vb::Divide(PreciseDifference(x, dblFirst), dblWidth);
        if (t < 0) {
            bin = 0;
        } else if (!(t < last)) {
            bin = last;
        } else {
            const double whole = static_cast<double>(static_cast<int32_t>(t));
            bin = static_cast<int32_t>(fLowerInclusive ? whole + 1 : whole + (whole < t ? 1 : 0));
            if (bin > last) bin = last;
        }
    }
    // Default intervals span the data; a value outside them is one their
    // bounds could not reach (at the largest Doubles), counted at the end.
    if (fClosedEnds && n >= 1) bin = std::clamp(bin, 1, static_cast<int32_t>(n));
    return bin;
}

namespace {

// The shortest digits that read back as x, in the exponent form of CStr.
std::string AllDigits(double x) {
    char text[32];
    const auto end = std::to_chars(text, text + sizeof text, x).ptr;
    std::string digits(text, end);
    for (char& c : digits) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return digits;
}

}  // namespace

double IntervalBound(double dblFirst, double dblWidth, int i) {
    const double step = dblWidth * i;
    return std::isfinite(step) ? dblFirst + step : 2 * (dblWidth / 2 * i + dblFirst / 2);
}

bool IntervalBoundsHeld(int16_t n, double dblFirst, double dblWidth) {
    for (int i = 0; i <= n; ++i)
        if (!std::isfinite(IntervalBound(dblFirst, dblWidth, i))) return false;
    return true;
}

bool IntervalBoundsDistinct(int16_t n, double dblFirst, double dblWidth) {
    double previous = IntervalBound(dblFirst, dblWidth, 0);
    if (!std::isfinite(previous)) return false;
    for (int i = 1; i <= n; ++i) {
        const double bound = IntervalBound(dblFirst, dblWidth, i);
        if (!std::isfinite(bound) || bound == previous) return false;
        previous = bound;
    }
    return true;
}

std::string IntervalsRefusal(int16_t n, double dblFirst, double dblWidth) {
    const std::string intervals = "The " + std::to_string(n) + " frequency intervals of width " + vb::CStr(dblWidth) +
                                  " from " + vb::CStr(dblFirst);
    // A wider width cannot bring a bound back below the largest number.
    if (!IntervalBoundsHeld(n, dblFirst, dblWidth)) {
        return intervals +
               " reach beyond the largest number a result can hold (about 1.8E+308). Choose a narrower interval "
               "width, fewer intervals, or a first bound nearer 0.";
    }
    return intervals +
           " cannot be told apart: at the size of the values their bounds are the same number. Choose a wider "
           "interval width, or a first bound nearer 0.";
}

bool FrequencyColumnNames(int16_t n, double dblFirst, double dblWidth, bool fLowerInclusive,
                          std::vector<std::string>& countNames, std::vector<std::string>& proportionNames) {
    const std::string lowOp = fLowerInclusive ? "<=" : "<";
    const std::string highOp = fLowerInclusive ? "<" : "<=";
    // Bounds are cut to a few digits below the width's first digit, so that
    // binary noise does not show in the names. A cut that would move the
    // bound by more than noise (a first bound of 0.5 with a width of 1 would
    // read 0) would name the wrong interval: such a bound keeps its digits.
    const double F = (dblWidth >= 1 || !(dblWidth > 0)) ? 1 : std::pow(10.0, 3 - std::floor(std::log10(dblWidth)));
    std::vector<double> bounds(static_cast<size_t>(n) + 1);
    for (int i = 0; i <= n; ++i) {
        const double exact = IntervalBound(dblFirst, dblWidth, i);
        const double cut = std::floor(exact * F + 0.1) / F;
        const double noise = 1e-9 * std::max(std::fabs(dblWidth), std::fabs(exact));
        bounds[static_cast<size_t>(i)] = std::fabs(cut - exact) <= noise ? cut : exact;
    }
    // Bounds whose 15 digits read alike (a narrow width far from zero) are
    // named with every digit; bounds that are the same number cannot name
    // their intervals apart.
    std::vector<std::string> text(bounds.size());
    bool full = false;
    for (size_t i = 0; i < bounds.size(); ++i) {
        if (!std::isfinite(bounds[i])) return false;
        text[i] = vb::CStr(bounds[i]);
        if (i > 0 && text[i] == text[i - 1]) {
            if (bounds[i] == bounds[i - 1]) return false;
            full = true;
        }
    }
    if (full) {
        for (size_t i = 0; i < bounds.size(); ++i) text[i] = AllDigits(bounds[i]);
    }
    const auto bound = [&](int i) { return text[static_cast<size_t>(i)]; };
    const size_t size = static_cast<size_t>(n) + 2;
    countNames.assign(size, std::string());
    proportionNames.assign(size, std::string());
    const std::string start = full ? text.front() : vb::CStr(dblFirst);
    countNames[0] = "N" + highOp + start;
    proportionNames[0] = "%" + highOp + start;
    for (int i = 1; i <= n; ++i) {
        const std::string lo = bound(i - 1);
        const std::string hi = bound(i);
        countNames[static_cast<size_t>(i)] = lo + lowOp + "N" + highOp + hi;
        proportionNames[static_cast<size_t>(i)] = lo + lowOp + "%" + highOp + hi;
    }
    const std::string end = full ? text.back() : vb::CStr(IntervalBound(dblFirst, dblWidth, n));
    countNames[size - 1] = end + lowOp + "N";
    proportionNames[size - 1] = end + lowOp + "%";
    return true;
}

std::vector<double> FrequencyValues(const std::vector<CompensatedSum>& buckets, bool fCumulative, bool fOpenEnds) {
    const size_t last = buckets.size() - 1;
    std::vector<double> b(last + 1);
    for (size_t i = 0; i <= last; ++i) b[i] = buckets[i].Value();
    if (fCumulative) {
        CompensatedSum r;
        if (fOpenEnds) r.Add(buckets[0]);
        for (size_t i = 1; i < last; ++i) {
            r.Add(buckets[i]);
            b[i] = r.Value();
        }
        if (fOpenEnds) {
            r.Add(buckets[last]);
            b[last] = r.Value();
        }
    }
    return b;
}

void LogSum::Add(double x, double w) {
    // x = m 2^e with m in [1/2, 1): from the bits for a normal x (the common
    // case, without a library call), by frexp for a subnormal one.
    const uint64_t bits = std::bit_cast<uint64_t>(x);
    const int biased = static_cast<int>(bits >> 52);
    int e = biased - 1022;
    double m = std::bit_cast<double>((bits & 0x000FFFFFFFFFFFFFull) | 0x3FE0000000000000ull);
    if (biased == 0) m = std::frexp(x, &e);
    if (!started_) {
        base_ = e;
        started_ = true;
    }
    exponents_.Add(w * (e - base_));
    logs_.Add(w * std::log(m));
}

double LogSum::GeometricMean(double dblWeight) const {
    // The mean exponent as the whole number q plus r / W, r what remains of
    // the sum (formed in one rounding), so that exp sees only r / W ln 2 plus
    // the mean ln m, both small.
    const double s = exponents_.Value();
    const double q = std::round(s / dblWeight);
    const double r = std::fma(-q, dblWeight, s);
    return std::ldexp(std::exp(r / dblWeight * std::numbers::ln2 + logs_.Value() / dblWeight),
                      base_ + static_cast<int>(q));
}
