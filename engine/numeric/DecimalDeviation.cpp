#include "numeric/DecimalDeviation.h"

#include <bit>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace {

// Powers of ten that Doubles hold exactly.
constexpr double kPow10[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,  1e9,  1e10, 1e11,
                             1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};

// 10^0 .. 10^-22 as their nearest Doubles, to scale back.
constexpr double kTenToMinus[] = {1e0,   1e-1,  1e-2,  1e-3,  1e-4,  1e-5,  1e-6,  1e-7,  1e-8,  1e-9,  1e-10, 1e-11,
                                  1e-12, 1e-13, 1e-14, 1e-15, 1e-16, 1e-17, 1e-18, 1e-19, 1e-20, 1e-21, 1e-22};

// 10^-8 .. 10^15 (the negative powers as their nearest Doubles), to place a
// magnitude between two powers.
constexpr double kTenTo[] = {1e-8, 1e-7, 1e-6, 1e-5, 1e-4, 1e-3, 1e-2, 1e-1, 1e0,  1e1,  1e2,  1e3,
                             1e4,  1e5,  1e6,  1e7,  1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15};

// A value scaled to 15 integer digits: x 10^scale held exactly as hi + lo,
// and the integer nearest hi.
struct Scaled15 {
    int scale;
    double hi, lo, whole;
};

// For 1e-8 <= |x| < 1e15, whose biased binary exponent is `biased`. Called
// for every value of every analysed field, it works on the bits and avoids
// the library's rounding and logarithm calls.
inline Scaled15 ScaleTo15Digits(double x, double ax, int biased) {
    // Decimal exponent e (10^e <= ax < 10^(e+1)) from the binary one:
    // floor(b log10 2) is (b 1233) >> 12 for these b, and may be one short.
    int e = ((biased - 1023) * 1233) >> 12;
    if (ax >= kTenTo[e + 9]) ++e;
    Scaled15 s;
    s.scale = 14 - e;
    const double p = kPow10[s.scale];
    s.hi = x * p;
    s.lo = std::fma(x, p, -s.hi);
    constexpr double kRound = 6755399441055744.0;  // 1.5 * 2^52: adding it rounds |v| < 2^51 to an integer
    s.whole = (s.hi + kRound) - kRound;
    return s;
}

inline int BiasedExponent(double ax) { return static_cast<int>(std::bit_cast<uint64_t>(ax) >> 52); }

// Magnitudes outside the fast range: the 15-digit text, read back in the
// extended type. The correction is kept only when the decimal lies within
// half a unit in the last place of x, that is when x is its nearest Double.
double CorrectionByText(double x) {
    char text[40];
    std::snprintf(text, sizeof text, "%.14e", x);
    const long double decimal = std::strtold(text, nullptr);
    const double correction = static_cast<double>(decimal - static_cast<long double>(x));
    const double halfUlp = std::ldexp(0.5, std::ilogb(x) - 52);
    return std::fabs(correction) <= halfUlp ? correction : 0;
}

constexpr __int128 Pow10Int(int n) {
    __int128 v = 1;
    for (int i = 0; i < n; ++i) v *= 10;
    return v;
}

}  // namespace

DecimalValue SplitDecimal(double x) {
    const double ax = std::fabs(x);
    // Beyond what the decimal type holds (and for 0, NaN and infinities) the
    // value is its own decimal.
    if (!(ax >= 1e-14 && ax < 1e27)) return {x, 0};
    if (ax < 1e-8 || ax >= 1e15) return {x, CorrectionByText(x)};
    const int biased = BiasedExponent(ax);  // a normal number here
    const Scaled15 s = ScaleTo15Digits(x, ax, biased);
    // The nearest integer of hi + lo is the 15-digit decimal (hi's own
    // rounding only matters next to a midpoint, where no short decimal lies),
    // and the distance to it the correction.
    // Scaled back by a product, not a quotient: the correction is some 1e-16
    // of x, so the product's own rounding is far below anything that shows.
    const double correction = ((s.whole - s.hi) - s.lo) * kTenToMinus[s.scale];
    const double halfUlp = std::bit_cast<double>(static_cast<uint64_t>(biased - 53) << 52);
    return {x, std::fabs(correction) <= halfUlp ? correction : 0};
}

bool DecimalDigits15(double x, int64_t& mantissa, int& scale) {
    const double ax = std::fabs(x);
    if (ax == 0) {
        mantissa = 0;
        scale = 0;
        return true;
    }
    if (!(ax >= 1e-8 && ax < 1e15)) return false;
    const Scaled15 s = ScaleTo15Digits(x, ax, BiasedExponent(ax));
    // hi is below 2^50, so its units are 1/8 or finer and lo is at most half
    // of one: hi's nearest integer is that of hi + lo unless hi lies exactly
    // halfway between two (as often as one in 8 to 64 computed values), where
    // the sign of lo decides. lo = 0 is a true tie: left to the general route.
    double whole = s.whole;
    const double toWhole = whole - s.hi;
    if (std::fabs(toWhole) == 0.5) {
        if (s.lo == 0) return false;
        if ((s.lo > 0) != (toWhole > 0)) whole -= 2 * toWhole;
    }
    mantissa = static_cast<int64_t>(whole);
    scale = s.scale;
    return true;
}

bool DecimalDigits15Difference(double a, double b, double& difference) {
    static constexpr __int128 kPow10Int[] = {
        Pow10Int(0),  Pow10Int(1),  Pow10Int(2),  Pow10Int(3),  Pow10Int(4),  Pow10Int(5),  Pow10Int(6),  Pow10Int(7),
        Pow10Int(8),  Pow10Int(9),  Pow10Int(10), Pow10Int(11), Pow10Int(12), Pow10Int(13), Pow10Int(14), Pow10Int(15),
        Pow10Int(16), Pow10Int(17), Pow10Int(18), Pow10Int(19), Pow10Int(20), Pow10Int(21), Pow10Int(22)};
    int64_t ma = 0, mb = 0;
    int ea = 0, eb = 0;
    if (DecimalDigits15(a, ma, ea) && DecimalDigits15(b, mb, eb)) {
        // Both at the finer scale: a 15-digit mantissa times at most 10^22
        // stays below 2^124.
        const int scale = ea > eb ? ea : eb;
        const __int128 d =
            static_cast<__int128>(ma) * kPow10Int[scale - ea] - static_cast<__int128>(mb) * kPow10Int[scale - eb];
        constexpr __int128 kExact = static_cast<__int128>(1) << 53;
        if (d == 0) {
            difference = 0;
            return true;
        }
        // An integer below 2^53 and a power of ten up to 10^22 are both exact
        // in Double, so the quotient is the correctly rounded difference.
        if (d < kExact && d > -kExact) {
            difference = static_cast<double>(static_cast<int64_t>(d)) / kPow10[scale];
            return true;
        }
    }
    return false;
}
