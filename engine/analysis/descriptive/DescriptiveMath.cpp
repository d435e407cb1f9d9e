#include "analysis/descriptive/DescriptiveMath.h"

#include <algorithm>
#include <bit>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdlib>
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
            } else if (const double next = sorted[i + 1].x; WrittenDouble(xi) == xi && WrittenDouble(next) == next) {
                // x(i) + f (x(i+1) - x(i)), the difference and the sum taken
                // in decimal so that 10 + 0.2 (20 - 10) is exactly 12.
                const double step = frac * PreciseDifference(next, xi);
                out[static_cast<size_t>(k)] = PreciseSum({xi, step});
            } else {
                // A value with digits beyond its 15th keeps them in binary.
                out[static_cast<size_t>(k)] = xi + frac * (next - xi);
            }
        }
    }
    out[static_cast<size_t>(G)] = sorted.back().x;
}

namespace {

// A sum of weights as the decimals they stand for, so that sums the data
// make equal compare equal: 0.1 + 0.2 is not 0.3 in binary, but it is in
// the decimals typed. Each weight that is the nearest Double of a decimal of
// at most 15 significant digits adds that decimal exactly (an integer at a
// power of ten); a weight that is not one, or a sum beyond 127 bits, leaves
// only the compensated binary sum, compared as written, to 15 digits.
class WeightCount {
public:
    void Add(double w) {
        binary_.Add(w);
        if (exact_) exact_ = AddDecimal(w);
    }
    double Value() const { return binary_.Value(); }
    // The sign of a - b.
    static int Compare(const WeightCount& a, const WeightCount& b) {
        if (a.exact_ && b.exact_) {
            __int128 x = a.mantissa_, y = b.mantissa_;
            if (Rescale(a.scale_ < b.scale_ ? x : y, std::abs(a.scale_ - b.scale_))) return (x > y) - (x < y);
        }
        const double x = Written(a.Value()), y = Written(b.Value());
        return (x > y) - (x < y);
    }

private:
    static constexpr int kMaxScale = 22;  // 10^22 is the largest power of ten a Double holds exactly

    // Whole counts below 10^15 are written as they are.
    static double Written(double c) { return c < 1e15 && c == std::floor(c) ? c : WrittenDouble(c); }

    // m times 10^by; false where that passes 127 bits.
    static bool Rescale(__int128& m, int by) {
        __int128 ten = 1;
        for (int i = 0; i < by; ++i) ten *= 10;
        return !__builtin_mul_overflow(m, ten, &m);
    }

    bool AddDecimal(double w) {
        int64_t m = 0;
        int scale = 0;
        if (std::fabs(w) < 0x1p53 && w == std::floor(w)) {
            m = static_cast<int64_t>(w);  // every weight of a count without fractions
        } else {
            // The 15-digit decimal nearest w, taken only where w is that
            // decimal's own Double: a mantissa below 2^53 over an exact power
            // of ten is rounded once, so it reads back as w just then.
            if (!DecimalDigits15(w, m, scale) || scale < 0 || scale > kMaxScale) return false;
            double ten = 1;
            for (int i = 0; i < scale; ++i) ten *= 10;
            if (static_cast<double>(m) / ten != w) return false;
            while (scale > 0 && m % 10 == 0) {
                m /= 10;
                --scale;
            }
        }
        __int128 term = m;
        if (scale > scale_) {
            if (!Rescale(mantissa_, scale - scale_)) return false;
            scale_ = scale;
        } else if (!Rescale(term, scale_ - scale)) {
            return false;
        }
        return !__builtin_add_overflow(mantissa_, term, &mantissa_);
    }

    ExactSum binary_;
    bool exact_ = true;
    __int128 mantissa_ = 0;  // the decimal sum times 10^scale_
    int scale_ = 0;
};

}  // namespace

ModeResult ModeOf(const std::vector<StagedValue>& sorted) {
    // Counts are compared as the decimal sums of the weights (WeightCount),
    // so that a tie the data make is a tie.
    ModeResult best;
    WeightCount bestCount, second;
    bool any = false;
    size_t r = 0;
    while (r < sorted.size()) {
        const double x = sorted[r].x;
        WeightCount count;
        while (r < sorted.size() && sorted[r].x == x) count.Add(sorted[r++].w);
        if (!any || WeightCount::Compare(count, bestCount) > 0) {
            if (any && WeightCount::Compare(bestCount, second) > 0) second = bestCount;
            best.value = x;
            best.count = count.Value();
            bestCount = count;
            any = true;
        } else if (WeightCount::Compare(count, second) > 0) {
            second = count;
        }
    }
    best.unique = any && WeightCount::Compare(bestCount, second) > 0;
    return best;
}

int32_t FrequencyBin(double x, const IntervalBounds& bounds, bool fLowerInclusive, bool fClosedEnds) {
    const int32_t bin = bounds.Bin(x, fLowerInclusive);
    // Default intervals span the data; a value outside them is one their
    // bounds could not reach (at the largest Doubles), counted at the end.
    const int32_t n = bounds.Count();
    return fClosedEnds && n >= 1 ? std::clamp(bin, 1, n) : bin;
}

int32_t FrequencyBin(double x, double dblFirst, double dblWidth, bool fLowerInclusive, int16_t n, bool fDefault) {
    if (dblWidth == 0) vb::Raise(11);
    return FrequencyBin(x, IntervalBounds(n, dblFirst, dblWidth, fDefault), fLowerInclusive, fDefault);
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

std::string IntervalsRefusal(const IntervalBounds& bounds, double dblFirst, double dblWidth) {
    const std::string intervals = "The " + std::to_string(bounds.Count()) + " frequency intervals of width " +
                                  vb::CStr(dblWidth) + " from " + vb::CStr(dblFirst);
    // A wider width cannot bring a bound back below the largest number.
    if (!bounds.Held()) {
        return intervals +
               " reach beyond the largest number a result can hold (about 1.8E+308). Choose a narrower interval "
               "width, fewer intervals, or a first bound nearer 0.";
    }
    return intervals +
           " cannot be told apart: at the size of the values their bounds are the same number. Choose a wider "
           "interval width, or a first bound nearer 0.";
}

bool FrequencyColumnNames(int16_t n, double dblFirst, double dblWidth, bool fLowerInclusive,
                          std::vector<std::string>& countNames, std::vector<std::string>& proportionNames,
                          bool fDefault) {
    const IntervalBounds placed(n, dblFirst, dblWidth, fDefault);
    if (!placed.Distinct()) return false;
    const std::string lowOp = fLowerInclusive ? "<=" : "<";
    const std::string highOp = fLowerInclusive ? "<" : "<=";
    // Each column is named by the bounds that place its values: in 15
    // significant digits where they read back as the bound (every bound of
    // default intervals, and given bounds of up to 15 digits), otherwise in
    // the shortest digits that do (a first bound of 2.0000000001 with a
    // width of 100 names 2.0000000001<=N<102.0000000001, not 2<=N<102).
    std::vector<std::string> text(static_cast<size_t>(n) + 1);
    for (int i = 0; i <= n; ++i) {
        const double b = placed[i];
        if (!std::isfinite(b)) return false;
        text[static_cast<size_t>(i)] = WrittenDouble(b) == b ? vb::CStr(b) : AllDigits(b);
    }
    const auto bound = [&](int i) { return text[static_cast<size_t>(i)]; };
    const size_t size = static_cast<size_t>(n) + 2;
    countNames.assign(size, std::string());
    proportionNames.assign(size, std::string());
    countNames[0] = "N" + highOp + bound(0);
    proportionNames[0] = "%" + highOp + bound(0);
    for (int i = 1; i <= n; ++i) {
        const std::string lo = bound(i - 1);
        const std::string hi = bound(i);
        countNames[static_cast<size_t>(i)] = lo + lowOp + "N" + highOp + hi;
        proportionNames[static_cast<size_t>(i)] = lo + lowOp + "%" + highOp + hi;
    }
    countNames[size - 1] = bound(n) + lowOp + "N";
    proportionNames[size - 1] = bound(n) + lowOp + "%";
    return true;
}

std::vector<double> FrequencyValues(const std::vector<ExactSum>& buckets, bool fCumulative, bool fOpenEnds) {
    const size_t last = buckets.size() - 1;
    std::vector<double> b(last + 1);
    for (size_t i = 0; i <= last; ++i) b[i] = buckets[i].Value();
    if (fCumulative) {
        ExactSum r;
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

void PositiveMeans::Add(double x, double w) {
    // x = m 2^e with m in [1/2, 1): from the bits for a normal x (the common
    // case, without a library call), by frexp for a subnormal one.
    const uint64_t bits = std::bit_cast<uint64_t>(x);
    const int biased = static_cast<int>(bits >> 52);
    int e = biased - 1022;
    double m = std::bit_cast<double>((bits & 0x000FFFFFFFFFFFFFull) | 0x3FE0000000000000ull);
    if (biased == 0) m = std::frexp(x, &e);
    if (!started_) {
        base_ = e;
        weights_.Start(w);
        started_ = true;
    }
    const double held = weights_.Hold(w, exponents_, logs_, inverses_);
    weights_.Add(held);
    exponents_.Add(held * (e - base_));
    logs_.Add(held * std::log(m));
    inverses_ += held / x;
}

double PositiveMeans::GeometricMean() const {
    // The mean exponent as the whole number q plus r / W, r what remains of
    // the sum (formed in one rounding), so that exp sees only r / W ln 2 plus
    // the mean ln m, both small. The weights' power of two cancels.
    const double W = weights_.Held();
    const double s = exponents_.Value();
    const double q = std::round(s / W);
    const double r = std::fma(-q, W, s);
    return std::ldexp(std::exp(r / W * std::numbers::ln2 + logs_.Value() / W), base_ + static_cast<int>(q));
}

std::optional<double> PositiveMeans::HarmonicMean() const {
    if (inverses_ == 0) return std::nullopt;
    return weights_.Held() / inverses_;
}
