#include "numeric/CZValue.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <limits>
#include <utility>

#include "ErrorStack.h"
#include "numeric/Numerics.h"
#include "vb/Conversions.h"
#include "vb/VbError.h"

namespace {

using Extended = long double;

constexpr double kNormalCutOff = 6.3;  // the normal series is not summed above this
constexpr double kNormalTailEnd = 40;  // the normal tail beyond this is below the smallest Double
constexpr double kLargeDf = 1e8;       // degrees of freedom above this take the limiting forms
constexpr double kExpFloor = -2000;    // exponents at or below this give 0
constexpr int kMaxTerms = 1000;        // series and continued fractions take at least this many terms before giving up

// Series and continued fractions run until a step changes the value by less
// than this, relative: below a Double's last place, so the truncation never
// shows in a result.
constexpr Extended kConvergence = 1e-17L;

constexpr Extended kSqrtHalf = 0.707106781186547524400844362104849039L;  // 1 / sqrt(2)

// Hard bounds on the inverse search; the Illinois steps need a few dozen.
constexpr int kMaxSearchIterations = 2000;
constexpr int kMaxBracketSteps = 2000;

// A result leaves extended precision as a Double; one that does not fit
// raises the overflow error like any other arithmetic.
double ToDouble(Extended v) { return vb::Checked(static_cast<double>(v)); }

Extended LogOf(Extended v) {
    if (!(v > 0)) vb::Raise(vb::err::kInvalidProcedureCall);
    return std::log(v);
}

Extended ExpOrZero(Extended e) { return e <= kExpFloor ? 0 : std::exp(e); }

// Terms a series or fraction may take: near its turning point one with a
// parameter a needs some 9 sqrt(a) terms to reach double precision, more
// than the fixed limit once degrees of freedom pass some 20,000.
int MaxTerms(Extended a) { return kMaxTerms + static_cast<int>(std::min<Extended>(12 * std::sqrt(a), 1e8L)); }

Extended DivideBy(Extended numerator, Extended denominator) {
    if (denominator == 0) vb::Raise(vb::err::kDivisionByZero);
    return numerator / denominator;
}

double Probability01(double p) { return std::clamp(p, 0.0, 1.0); }

char Letter(const std::string& strProbType) {
    if (strProbType.size() != 1) return '\0';
    return vb::UCase(strProbType)[0];
}

void RequireFinite(double v, const char* what) {
    if (!std::isfinite(v)) {
        vb::Raise(vb::err::kInvalidProcedureCall, std::string("The ") + what + " is not a finite number");
    }
}

// A value carried as the unevaluated sum of two Doubles (about 32 digits), for
// the alternating normal series, whose terms grow to millions before they
// cancel to a sum below 1 (Dekker's and Knuth's exact sum and product).
struct DoubleDouble {
    double hi = 0;
    double lo = 0;
};

DoubleDouble QuickTwoSum(double a, double b) {
    const double s = a + b;
    return {s, b - (s - a)};
}

DoubleDouble Add(DoubleDouble x, DoubleDouble y) {
    const double s = x.hi + y.hi;
    const double v = s - x.hi;
    const double e = (x.hi - (s - v)) + (y.hi - v);
    return QuickTwoSum(s, e + x.lo + y.lo);
}

DoubleDouble Multiply(DoubleDouble x, DoubleDouble y) {
    const double p = x.hi * y.hi;
    const double e = std::fma(x.hi, y.hi, -p);
    return QuickTwoSum(p, e + (x.hi * y.lo + x.lo * y.hi));
}

DoubleDouble Multiply(DoubleDouble x, double d) { return Multiply(x, DoubleDouble{d, 0}); }

DoubleDouble Divide(DoubleDouble x, double d) {
    const double q1 = x.hi / d;
    const DoubleDouble r = Add(x, Multiply(DoubleDouble{-q1, 0}, d));
    return QuickTwoSum(q1, r.hi / d);
}

// B(2k) / (2k (2k - 1)) for k = 1 .. 10, the coefficients of Stirling's series.
constexpr Extended kStirlingTerms[] = {1.0L / 12,         -1.0L / 360,        1.0L / 1260, -1.0L / 1680,
                                       1.0L / 1188,       -691.0L / 360360,   1.0L / 156,  -3617.0L / 122400,
                                       43867.0L / 244188, -174611.0L / 125400};

constexpr Extended kHalfLnTwoPi = 0.918938533204672741780329736405617639861L;
constexpr Extended kStirlingFrom = 10;  // Stirling's series serves from here up

// ln Gamma(x) - ((x - 1/2) ln x - x + ln sqrt(2 pi)) for x >= 10 by Stirling's
// series with ten Bernoulli terms (truncation below 2e-20).
Extended StirlingCorrection(Extended x) {
    const Extended inverse = 1 / x;
    const Extended inverse2 = inverse * inverse;
    Extended series = 0;
    for (int k = 9; k >= 0; --k) series = series * inverse2 + kStirlingTerms[k];
    return series * inverse;
}

// ln Gamma(x) for x > 0: Stirling's series, smaller x raised to its range by
// Gamma(x + 1) = x Gamma(x).
Extended LnGammaPositive(Extended x) {
    Extended product = 1;
    while (x < kStirlingFrom) product *= x++;
    const Extended stirling = (x - 0.5L) * std::log(x) - x + kHalfLnTwoPi + StirlingCorrection(x);
    return product == 1 ? stirling : stirling - std::log(product);
}

// ln Gamma(1 + b) for 0 <= b <= 1/2 to its last digits however small b is:
// below 0.2 its series -gamma b + sum (-1)^k zeta(k) b^k / k (the terms past
// the 30th are below 1e-22 of it); above, the value is large enough for
// Stirling's absolute error.
Extended LnGammaOnePlus(Extended b) {
    static constexpr Extended kZeta[] = {
        // zeta(2) .. zeta(30)
        1.644934066848226436472L, 1.2020569031595942854L,   1.082323233711138191516L, 1.036927755143369926331L,
        1.017343061984449139715L, 1.00834927738192282684L,  1.004077356197944339379L, 1.002008392826082214418L,
        1.000994575127818085337L, 1.000494188604119464559L, 1.000246086553308048299L, 1.000122713347578489147L,
        1.000061248135058704829L, 1.000030588236307020494L, 1.000015282259408651872L, 1.000007637197637899762L,
        1.00000381729326499984L,  1.000001908212716553939L, 1.000000953962033872796L, 1.000000476932986787806L,
        1.000000238450502727733L, 1.000000119219925965311L, 1.000000059608189051259L, 1.000000029803503514652L,
        1.000000014901554828365L, 1.000000007450711789835L, 1.000000003725334024788L, 1.000000001862659723513L,
        1.00000000093132743242L};
    constexpr Extended kEulerGamma = 0.5772156649015328606065121L;
    if (b >= 0.2L) return LnGammaPositive(1 + b);
    Extended series = 0;
    for (int k = 30; k >= 2; --k) series = series * b + (k % 2 == 0 ? 1 : -1) * kZeta[k - 2] / k;
    return -kEulerGamma * b + b * b * series;
}

// ln Gamma(a + b) - ln Gamma(a) for 0 < b <= 1/2, to its last digits however
// small b is: a is raised to Stirling's range by Gamma(a + 1) = a Gamma(a),
// and every difference is written as a log1p or expm1 of b / a.
Extended LnGammaRatio(Extended a, Extended b) {
    Extended raised = 0;
    for (; a < kStirlingFrom; a += 1) raised -= std::log1p(b / a);
    const Extended u = std::log1p(b / a);
    // The difference of the Stirling corrections, term by term:
    // c a^-(2k-1) ((1 + b / a)^-(2k-1) - 1).
    Extended correction = 0;
    Extended power = 1 / a;
    const Extended inverse2 = power * power;
    for (int k = 0; k < 10; ++k) {
        correction += kStirlingTerms[k] * power * std::expm1(-(2 * k + 1) * u);
        power *= inverse2;
    }
    return raised + (a - 0.5L) * u + b * std::log(a + b) - b + correction;
}

// 1 - I_y(b, a) for b below 1/2, the upper tail whose second parameter (half
// the degrees of freedom of an F's numerator) is small: there I_y(b, a) lies
// within b of 1, and 1 minus it would keep nothing of the tail. By the power
// series I_y(b, a) = K (1 + b S), K = y^b / (b B(b, a)),
// S = sum (1 - a)_n y^n / (n! (b + n)), the tail is -expm1(ln K) - K b S, with
// ln K from the small-b forms above. The caller's y lies below 0.6.
Extended UpperBetaSmallB(Extended a, Extended b, Extended y) {
    const Extended lnK = b * std::log(y) + LnGammaRatio(a, b) - LnGammaOnePlus(b);
    Extended term = 1;  // (1 - a)_n y^n / n!
    Extended sum = 0;
    const int limit = MaxTerms(a);
    for (int n = 1; n <= limit && term != 0; ++n) {
        term *= (n - a) * y / n;
        const Extended add = term / (b + n);
        sum += add;
        if (std::fabs(add) < kConvergence * std::fabs(sum)) break;
    }
    return -std::expm1(lnK) - std::exp(lnK) * b * sum;
}

// Q(a, x) for a below 1/2 and x below a + 1, where 1 - P(a, x) would keep
// nothing of a small tail: with K = x^a / Gamma(1 + a) and
// S = sum (-x)^n / (n! (a + n)), P = K (1 + a S), so Q = -expm1(ln K) - K a S.
Extended UpperGammaSmallA(Extended a, Extended x) {
    const Extended lnK = a * std::log(x) - LnGammaOnePlus(a);
    Extended term = 1;  // (-x)^n / n!
    Extended sum = 0;
    for (int n = 1; n <= kMaxTerms; ++n) {
        term *= -x / n;
        const Extended add = term / (a + n);
        sum += add;
        if (std::fabs(add) < kConvergence * std::fabs(sum)) break;
    }
    return -std::expm1(lnK) - std::exp(lnK) * a * sum;
}

// ln(1 + u) where the caller has 1 + u also as a product of its own: near 1
// the small u keeps the digits, far from 1 the product does.
Extended LnOnePlus(Extended u, Extended onePlusU) { return std::fabs(u) < 0.5L ? std::log1p(u) : LogOf(onePlusU); }

// ln(x^a y^b / B(a, b)), y = 1 - x, the prefactor of the incomplete beta. For
// large a or b its log-gammas run to millions and cancel against a ln x and
// b ln y; written with Stirling's forms, the large parts cancel on paper and
// what is left is a ln(x (a + b) / a) + b ln(y (a + b) / b), whose arguments
// lie near 1 exactly when the large terms would cancel.
Extended LnBetaPrefactor(Extended a, Extended b, Extended x, Extended y) {
    const Extended sum = a + b;
    const Extended d = x * b - y * a;  // x (a + b) - a
    if (a >= kStirlingFrom && b >= kStirlingFrom) {
        return a * LnOnePlus(d / a, x * sum / a) + b * LnOnePlus(-d / b, y * sum / b) + 0.5L * std::log(a / sum * b) -
               kHalfLnTwoPi + StirlingCorrection(sum) - StirlingCorrection(a) - StirlingCorrection(b);
    }
    if (a >= kStirlingFrom) {
        return a * LnOnePlus(d / a, x * sum / a) + b * LogOf(y * sum) - 0.5L * std::log1p(b / a) - b +
               StirlingCorrection(sum) - StirlingCorrection(a) - LnGammaPositive(b);
    }
    if (b >= kStirlingFrom) {
        return b * LnOnePlus(-d / b, y * sum / b) + a * LogOf(x * sum) - 0.5L * std::log1p(a / b) - a +
               StirlingCorrection(sum) - StirlingCorrection(b) - LnGammaPositive(a);
    }
    return LnGammaPositive(sum) - LnGammaPositive(a) - LnGammaPositive(b) + a * LogOf(x) + b * LogOf(y);
}

// -x + a ln x - ln Gamma(a), the prefactor of the incomplete gamma: for large
// a, a (ln(1 + u) - u) + ln sqrt(a / (2 pi)) - the Stirling correction, with
// u = (x - a) / a, free of the cancellation of -x + a ln x against ln Gamma(a).
Extended LnGammaPrefactor(Extended a, Extended x) {
    if (a < kStirlingFrom) return -x + a * LogOf(x) - LnGammaPositive(a);
    const Extended u = (x - a) / a;
    const Extended core = std::fabs(u) < 0.5L ? std::log1p(u) - u : LogOf(x / a) - u;
    return a * core + 0.5L * std::log(a) - kHalfLnTwoPi - StirlingCorrection(a);
}

}  // namespace

Extended CZValue::LnGamma(Extended x) {
    ProcScope scope(ErrStack(), "LnGamma");
    if (!(x > 0)) vb::Raise(vb::err::kInvalidProcedureCall);
    return LnGammaPositive(x);
}

// Regularised incomplete beta I_x(a, b) by its continued fraction, taken on
// the side where it converges fast (Numerical Recipes, betai).
Extended CZValue::IncompleteBeta(Extended a, Extended b, Extended x, Extended y) {
    ProcScope scope(ErrStack(), "IncompleteBeta");
    Extended bt = 0;
    if (x != 0 && y != 0) {
        bt = ExpOrZero(LnBetaPrefactor(a, b, x, y));
    }
    if ((a + 1) / (a + b + 2) > x) return bt * BetaContinuedFraction(a, b, x) / a;
    if (b < 0.5L && y > 0) return UpperBetaSmallB(a, b, y);
    return 1 - bt * BetaContinuedFraction(b, a, y) / b;
}

// Continued fraction of I_x(a, b) by its even/odd recurrence, renormalised at
// every step (Numerical Recipes, betacf).
Extended CZValue::BetaContinuedFraction(Extended a, Extended b, Extended x) {
    ProcScope scope(ErrStack(), "BetaContinuedFraction");
    const Extended qab = a + b;
    const Extended qap = a + 1;
    const Extended qam = a - 1;
    Extended am = 1, bm = 1, az = 1;
    Extended bz = 1 - qab * x / qap;
    const int limit = MaxTerms(std::max(a, b));
    for (int m = 1; m <= limit; ++m) {
        const Extended em = m;
        const Extended tem = 2 * em;
        Extended d = em * (b - em) * x / ((tem + a) * (tem + qam));
        const Extended ap = az + d * am;
        const Extended bp = bz + d * bm;
        d = -(em + a) * (em + qab) * x / ((a + tem) * (tem + qap));
        const Extended app = ap + d * az;
        const Extended bpp = bp + d * bz;
        const Extended aold = az;
        am = DivideBy(ap, bpp);
        bm = DivideBy(bp, bpp);
        az = DivideBy(app, bpp);
        bz = 1;
        if (std::fabs(az - aold) < kConvergence * std::fabs(az)) break;
    }
    return az;
}

// Regularised upper incomplete gamma Q(a, x).
Extended CZValue::GammaQ(Extended a, Extended x) {
    ProcScope scope(ErrStack(), "GammaQ");
    if (x < a + 1) return a < 0.5L && x > 0 ? UpperGammaSmallA(a, x) : 1 - GammaSeries(a, x);
    return GammaContinuedFraction(a, x);
}

// P(a, x) by its power series (Numerical Recipes, gser).
Extended CZValue::GammaSeries(Extended a, Extended x) {
    ProcScope scope(ErrStack(), "GammaSeries");
    if (x <= 0) return 0;
    Extended ap = a;
    Extended del = 1 / a;
    Extended sum = del;
    const int limit = MaxTerms(a);
    for (int n = 1; n <= limit; ++n) {
        ap += 1;
        del *= x / ap;
        sum += del;
        if (std::fabs(del) < std::fabs(sum) * kConvergence) break;
    }
    return sum * ExpOrZero(LnGammaPrefactor(a, x));
}

// Q(a, x) by its continued fraction (Numerical Recipes, gcf).
Extended CZValue::GammaContinuedFraction(Extended a, Extended x) {
    ProcScope scope(ErrStack(), "GammaContinuedFraction");
    // The prefactor's exponent decides first: far out in the tail the result
    // is 0, and the fraction's terms would overflow before it could say so.
    const Extended e = LnGammaPrefactor(a, x);
    if (e <= kExpFloor) return 0;
    Extended gold = 0, a0 = 1, a1 = x, b0 = 0, b1 = 1, fac = 1, g = 0;
    const int limit = MaxTerms(a);
    for (int n = 1; n <= limit; ++n) {
        const Extended an = n;
        const Extended ana = an - a;
        a0 = (a1 + a0 * ana) * fac;
        b0 = (b1 + b0 * ana) * fac;
        const Extended anf = an * fac;
        a1 = x * a0 + anf * a1;
        b1 = x * b0 + anf * b1;
        if (a1 != 0) {
            fac = 1 / a1;
            g = b1 * fac;
            if (std::fabs(DivideBy(g - gold, g)) < kConvergence) break;
            gold = g;
        }
    }
    return std::exp(e) * g;
}

namespace {

// Upper normal tail P(Z >= z) of a standard normal, in the extended type.
Extended UpperNormal(Extended z) { return std::erfc(z * kSqrtHalf) / 2; }

// Wilson and Hilferty's cube root: (x / k)^(1/3) is nearly normal with mean
// 1 - 2 / (9 k) and variance 2 / (9 k).
Extended ChiSquareLimit(Extended x, Extended k) {
    if (x <= 0) return 1;
    const Extended v = 2 / (9 * k);
    return UpperNormal((std::cbrt(x / k) - (1 - v)) / std::sqrt(v));
}

// The lower tail of the same, P(chi2 < x).
Extended ChiSquareLimitLower(Extended x, Extended k) {
    if (x <= 0) return 0;
    const Extended v = 2 / (9 * k);
    return UpperNormal(-(std::cbrt(x / k) - (1 - v)) / std::sqrt(v));
}

}  // namespace

Extended CZValue::GammaP(Extended a, Extended x) {
    if (x <= 0) return 0;
    if (x < a + 1) return GammaSeries(a, x);
    return 1 - GammaContinuedFraction(a, x);
}

double CZValue::Quarn_NormalTail(double z) {
    ProcScope scope(ErrStack(), "Quarn_NormalTail");
    RequireFinite(z, "test value");
    return Probability01(ToDouble(2 * UpperNormal(std::fabs(static_cast<Extended>(z)))));
}

double CZValue::Quarn_NormalUpperTail(double z) {
    ProcScope scope(ErrStack(), "Quarn_NormalUpperTail");
    RequireFinite(z, "test value");
    return Probability01(ToDouble(UpperNormal(z)));
}

double CZValue::Quarn_NormalTailInverse(double p) {
    ProcScope scope(ErrStack(), "Quarn_NormalTailInverse");
    RequireFinite(p, "probability");
    // The tail falls steadily, so halving the interval finds its point to the
    // last place on [0, 40], beyond whose end the tail is below the smallest
    // Double: two hundred halvings pass a Double's resolution down to the
    // smallest z a p below 1 has (some 1.4e-16).
    // From 1/2 up the tail lies near 1, where it keeps too few digits of its
    // distance from 1: the central probability erf(z / sqrt 2) is compared
    // with 1 - p instead, which is exact there.
    const bool central = p >= 0.5;
    const Extended q = central ? 1 - p : p;
    Extended lo = 0, hi = kNormalTailEnd;
    for (int i = 0; i < 200 && hi - lo > 0; ++i) {
        const Extended mid = (lo + hi) / 2;
        if (central ? std::erf(mid * kSqrtHalf) < q : 2 * UpperNormal(mid) > q) {
            lo = mid;
        } else {
            hi = mid;
        }
    }
    return static_cast<double>((lo + hi) / 2);
}

// P(-z < Z < z) by the power series of the normal integral,
// 2/sqrt(2 pi) * sum (-1)^i z^(2i+1) / ((2i+1) i! 2^i).
double CZValue::NormalCentral(double z) {
    ProcScope scope(ErrStack(), "NormalCentral");
    z = std::fabs(z);  // the distribution is symmetric
    if (z == 0) return 0;
    if (z > kNormalCutOff) return 1;
    constexpr Extended kSqrtTwoOverPi = 0.797884560802865355879892119868763736951L;
    const double lnZ = vb::Log(z);
    // Each term comes from the last by the ratio z^2 (2i - 1) / ((2i + 1) 2i);
    // the series runs until a term no longer shows in a Double sum. Up to
    // 2.5 the terms stay below 23 times the sum, so the extended type's 19
    // digits keep 17 through their cancelling (most values come here).
    if (z <= 2.5) {
        const Extended zz = static_cast<Extended>(z) * z;
        Extended term = z;
        Extended sum = z;
        for (int i = 1; i < 5 || term > kConvergence * sum; ++i) {
            const double k = 2.0 * i + 1;
            term = term * zz * (2.0 * i - 1) / (k * (2.0 * i));
            if (k * lnZ <= kExpFloor) term = 0;
            sum += i % 2 == 1 ? -term : term;
        }
        return std::min(static_cast<double>(sum * kSqrtTwoOverPi), 1.0);
    }
    // Near the cut-off the alternating terms reach 6e6 before they cancel, so
    // terms and sum are carried to 32 digits.
    const DoubleDouble z2 = {z * z, std::fma(z, z, -(z * z))};
    DoubleDouble term = {z, 0};
    DoubleDouble sum = term;
    for (int i = 1; i < 5 || term.hi > kConvergence * sum.hi; ++i) {
        const double k = 2.0 * i + 1;
        term = Divide(Multiply(Multiply(term, z2), 2.0 * i - 1), k * (2.0 * i));
        if (k * lnZ <= kExpFloor) term = {};
        sum = Add(sum, i % 2 == 1 ? DoubleDouble{-term.hi, -term.lo} : term);
    }
    const Extended central = (static_cast<Extended>(sum.hi) + sum.lo) * kSqrtTwoOverPi;
    return std::min(static_cast<double>(central), 1.0);
}

// The two tails of t beyond |Tv| with DF1 > 0 degrees of freedom.
long double CZValue::UpperT(double Tv, double DF1) {
    if (DF1 > kLargeDf) {
        // The normal at t (1 - 1 / (4 v)) / sqrt(1 + t^2 / (2 v)).
        const Extended t = std::fabs(static_cast<Extended>(Tv));
        const Extended v = DF1;
        return 2 * UpperNormal(t * (1 - 1 / (4 * v)) / std::sqrt(1 + t * t / (2 * v)));
    }
    // x = DF1 / (Tv^2 + DF1) and its complement, each as its own quotient:
    // 1 - x would lose the digits of a small Tv.
    const Extended t2 = static_cast<Extended>(Tv) * Tv;
    const Extended total = t2 + DF1;
    return IncompleteBeta(DF1 / 2, 0.5L, DF1 / total, t2 / total);
}

// The upper tail of F beyond Tv >= 0 with DF1, DF2 > 0 degrees of freedom.
long double CZValue::UpperF(double Tv, double DF1, double DF2) {
    return FTail(std::fabs(static_cast<Extended>(Tv)), DF1, DF2, true);
}

// The tail of F above (upper) or below f >= 0, each formed directly.
long double CZValue::FTail(long double f, double DF1, double DF2, bool upper) {
    const double smaller = std::min(DF1, DF2);
    const double larger = std::max(DF1, DF2);
    // Where one side's degrees of freedom pass the limit, the chi-square
    // limit below leaves out that side's own spread, an error of some
    // smaller / larger; Paulson's form errs by some 1 / smaller. Each serves
    // where its error is the less.
    if (larger > kLargeDf && smaller >= std::sqrt(larger) / 8) {
        // Paulson: the difference of the two cube roots is nearly normal.
        const Extended v1 = 2 / (9 * static_cast<Extended>(DF1));
        const Extended v2 = 2 / (9 * static_cast<Extended>(DF2));
        const Extended c = std::cbrt(f);
        const Extended z = ((1 - v2) * c - (1 - v1)) / std::sqrt(v1 + c * c * v2);
        return UpperNormal(upper ? z : -z);
    }
    // F is chi-square with DF1 degrees of freedom over DF1.
    if (DF2 > kLargeDf) {
        const Extended a = static_cast<Extended>(DF1) / 2, x = f * DF1 / 2;
        return upper ? GammaQ(a, x) : GammaP(a, x);
    }
    // 1 / F is chi-square with DF2 degrees of freedom over DF2.
    if (DF1 > kLargeDf) {
        if (f == 0) return upper ? 1 : 0;
        const Extended a = static_cast<Extended>(DF2) / 2, x = DF2 / (2 * f);
        return upper ? GammaP(a, x) : GammaQ(a, x);
    }
    // I_y(DF1 / 2, DF2 / 2) below, with y = f DF1 / (f DF1 + DF2), and its
    // complement above, each as its own quotient.
    const Extended q = f * DF1;
    const Extended total = q + DF2;
    const Extended half1 = static_cast<Extended>(DF1) / 2, half2 = static_cast<Extended>(DF2) / 2;
    return upper ? IncompleteBeta(half2, half1, DF2 / total, q / total)
                 : IncompleteBeta(half1, half2, q / total, DF2 / total);
}

double CZValue::Quarn_CalcProb(const std::string& strProbType, double Tv, double DF1, double DF2) {
    ProcScope scope(ErrStack(), "Quarn_CalcProb");
    RequireFinite(Tv, "test value");
    RequireFinite(DF1, "first degrees of freedom");
    RequireFinite(DF2, "second degrees of freedom");
    Extended r = 0;
    switch (Letter(strProbType)) {
        case 'Z':
            r = NormalCentral(Tv);
            break;
        case 'T':
            if (DF1 <= 0) return 0;
            r = UpperT(Tv, DF1);
            break;
        case 'C':
            if (DF1 <= 0) return 0;
            if (DF1 > kLargeDf) {
                r = ChiSquareLimit(Tv, DF1);
                break;
            }
            r = GammaQ(static_cast<Extended>(DF1) / 2, static_cast<Extended>(Tv) / 2);
            break;
        case 'F':
            if (DF1 <= 0 || DF2 <= 0) return 0;
            // F takes no value below 0: its upper tail there is the whole.
            if (Tv < 0) return 1;
            r = UpperF(Tv, DF1, DF2);
            break;
        default:
            return 0;
    }
    return Probability01(ToDouble(r));
}

// The complements of the upper tails of "T", "C" and "F" at x >= 0, each
// formed directly: P(|T| < x), P(chi2 < x), P(F < x).
double CZValue::LowerTail(char letter, double x, double DF1, double DF2) {
    ProcScope scope(ErrStack(), "LowerTail");
    const Extended v = x;
    Extended r = 0;
    switch (letter) {
        case 'T': {
            if (DF1 > kLargeDf) {
                const Extended w = v * (1 - 1 / (4 * static_cast<Extended>(DF1))) / std::sqrt(1 + v * v / (2 * DF1));
                r = std::erf(w * kSqrtHalf);
                break;
            }
            // I_y(1/2, DF1 / 2) with y = x^2 / (x^2 + DF1).
            const Extended t2 = v * v;
            const Extended total = t2 + DF1;
            r = IncompleteBeta(0.5L, DF1 / 2, t2 / total, DF1 / total);
            break;
        }
        case 'C':
            r = DF1 > kLargeDf ? ChiSquareLimitLower(v, DF1) : GammaP(static_cast<Extended>(DF1) / 2, v / 2);
            break;
        default:  // 'F'
            r = FTail(v, DF1, DF2, false);
    }
    return Probability01(ToDouble(r));
}

namespace {

void CheckFindValueArguments(char letter, const std::string& strProbType, double dblProb, double DF1, double DF2) {
    if (letter != 'T' && letter != 'Z' && letter != 'C' && letter != 'F') {
        vb::Raise(vb::err::kInvalidProcedureCall, "Probability type: " + strProbType + " not expected");
    }
    RequireFinite(dblProb, "probability");
    RequireFinite(DF1, "first degrees of freedom");
    RequireFinite(DF2, "second degrees of freedom");
    if (!(dblProb > 0 && dblProb < 1)) {
        vb::Raise(vb::err::kInvalidProcedureCall, "Probability value must be greater than 0 and less than 1");
    }
    if ((letter != 'Z' && DF1 <= 0) || (letter == 'F' && DF2 <= 0)) {
        vb::Raise(vb::err::kInvalidProcedureCall, "Degrees of freedom must be greater than 0");
    }
}

// Bracketed false position with the Illinois modification on the logarithm
// of a tail probability's ratio to the one sought.
class InverseSearch {
public:
    // prob gives the tail followed at x; it rises with x when rises is set.
    InverseSearch(std::function<double(double)> prob, double target, bool rises, const std::string& strProbType,
                  double dblProb)
        : prob_(std::move(prob)), target_(target), rises_(rises), strProbType_(strProbType), dblProb_(dblProb) {}

    // The first bracket [lo, hi] of the value sought.
    void Bracket(char letter, double DF1, double DF2, double& lo, double& hi) const;
    // Narrows the bracket to the value sought.
    double Refine(double lo, double hi, bool fAccurate) const;

private:
    // Whether x lies short of the value sought, and beyond it.
    bool ShortOf(double x) const { return rises_ ? prob_(x) < target_ : prob_(x) > target_; }
    bool Beyond(double x) const { return rises_ ? prob_(x) > target_ : prob_(x) < target_; }
    // The search follows the logarithm of the probability's ratio to
    // dblProb: a tail probability falls by hundreds of orders of magnitude
    // across the first bracket, and a straight line through such ends lands
    // on the end of the larger probability, while the logarithm of a tail is
    // nearly straight. A probability of 0 (below the smallest Double) has no
    // logarithm: the step beside it halves the bracket instead.
    double F(double x) const {
        const double ratio = prob_(x) / target_;
        return ratio > 0 ? std::log(ratio) : -std::numeric_limits<double>::infinity();
    }
    [[noreturn]] void NoBracket() const {
        vb::Raise(vb::err::kInvalidProcedureCall,
                  "No " + strProbType_ + " value found for the probability " + vb::CStr(dblProb_));
    }
    void StepOut(double& hi) const;
    void MoveOut(double& low, double& hi, bool doubling) const;

    std::function<double(double)> prob_;
    double target_;
    bool rises_;
    const std::string& strProbType_;
    double dblProb_;
};

// Walks the upper end out until the probability there passes dblProb:
// unit steps as the classical search takes them, longer ones if far out.
void InverseSearch::StepOut(double& hi) const {
    double step = 1;
    for (int n = 1; ShortOf(hi); ++n) {
        if (n > kMaxBracketSteps) NoBracket();
        if (n > 64) step *= 2;
        hi = vb::Checked(hi + step);
    }
}

// Beyond the classical bracket of "T" and "Z" (values above 3 or 4) the
// upper end moves out in the same way ("T" doubling it, since its tails are
// long), and the lower end follows to the last point passed.
void InverseSearch::MoveOut(double& low, double& hi, bool doubling) const {
    for (int n = 1; ShortOf(hi); ++n) {
        if (n > kMaxBracketSteps) NoBracket();
        low = hi;
        hi = vb::Checked(doubling ? hi * 2 : hi + 1);
    }
}

void InverseSearch::Bracket(char letter, double DF1, double DF2, double& lo, double& hi) const {
    lo = 0;
    hi = 0;
    switch (letter) {
        case 'T':
            hi = 3;
            MoveOut(lo, hi, true);
            break;
        case 'Z':
            hi = 4;
            MoveOut(lo, hi, false);
            // Above the series' cut-off every value has probability 1: keep the
            // upper end just past it, so no step lands on that flat stretch.
            if (hi > kNormalCutOff) hi = std::nextafter(kNormalCutOff, 7.0);
            break;
        case 'C':
            hi = DF1;
            StepOut(hi);
            break;
        default:  // 'F'
            for (int n = 1; Beyond(lo); ++n) {
                if (n > kMaxBracketSteps) NoBracket();
                lo += (DF1 + DF2) / 10;
            }
            hi = DF1 / DF2;
            StepOut(hi);
            break;
    }
}

double InverseSearch::Refine(double lo, double hi, bool fAccurate) const {
    // The tolerance is a share of the probability sought (the logarithm of
    // the ratio), so that a far tail probability is found to as many digits
    // as a large one.
    double tol = fAccurate ? 2e-15 : 1e-12;
    double flo = F(lo);
    double fhi = F(hi);
    double fp = 0;
    double x = lo;
    const auto sameSign = [](double u, double v) { return (u > 0 && v > 0) || (u < 0 && v < 0); };
    for (int iteration = 1;; ++iteration) {
        if (iteration > kMaxSearchIterations) {
            vb::Raise(vb::err::kInvalidProcedureCall, "The search for the " + strProbType_ +
                                                          " value of the probability " + vb::CStr(dblProb_) +
                                                          " does not converge");
        }
        if (std::isfinite(flo) && std::isfinite(fhi)) {
            const double denominator = fhi - flo;
            if (denominator == 0) NoBracket();  // both ends alike: no secant step exists
            // (lo fhi - hi flo) / (fhi - flo), written as a step from lo; the
            // ends have opposite signs, so flo / (fhi - flo) lies in [-1, 0]
            // and the step cannot overflow.
            x = vb::Checked(lo - (flo / denominator) * (hi - lo));
        } else {
            x = lo + (hi - lo) / 2;
        }
        const double fx = F(x);
        if (std::fabs(fx) <= tol) break;
        const bool found = fx == 0 || flo == 0;
        if (!found) {
            if (!sameSign(fx, flo)) {
                hi = x;
                fhi = fx;
                if (sameSign(fp, fx)) flo /= 2;
            } else {
                lo = x;
                flo = fx;
                if (sameSign(fp, fx)) fhi /= 2;
            }
        }
        fp = fx;
        if (found) break;
        // The bracket has closed to the last few places of x: the probability
        // cannot tell closer values apart.
        if (hi - lo <= 4 * std::numeric_limits<double>::epsilon() * std::fabs(x)) break;
        // A search that has not settled after 1000 steps accepts a looser tolerance.
        if (fAccurate && iteration + 1 > 1000) tol = 1e-12;
    }
    return x;
}

}  // namespace

double CZValue::Quarn_FindValue(const std::string& strProbType, double dblProb, double DF1, double DF2,
                                bool fAccurate) {
    ProcScope scope(ErrStack(), "Quarn_FindValue");
    const char letter = Letter(strProbType);
    CheckFindValueArguments(letter, strProbType, dblProb, DF1, DF2);
    // From 1/2 up an upper tail lies near 1, where it keeps too few digits of
    // its distance from 1 (at 1 - 2^-53 none): the search then follows the
    // lower tail, whose value 1 - dblProb is exact there, and which rises.
    const bool lower = letter != 'Z' && dblProb >= 0.5;
    const double target = lower ? 1 - dblProb : dblProb;
    const InverseSearch search(
        [&](double x) { return lower ? LowerTail(letter, x, DF1, DF2) : Quarn_CalcProb(strProbType, x, DF1, DF2); },
        target, lower || letter == 'Z', strProbType, dblProb);
    double lo = 0;
    double hi = 0;
    search.Bracket(letter, DF1, DF2, lo, hi);
    return search.Refine(lo, hi, fAccurate);
}

Extended CZValue::LnFactorial(int32_t n) {
    ProcScope scope(ErrStack(), "LnFactorial");
    if (n < 0) return 0;
    if (n <= filledTop_) {
        if (lnFactorials_.empty()) vb::Raise(vb::err::kSubscriptOutOfRange);
        return lnFactorials_[n + 1];
    }
    if (n >= 33) return LnGamma(n + 1.0L);
    if (lnFactorials_.empty()) vb::Raise(vb::err::kSubscriptOutOfRange);
    // ln i! = ln (i-1)! + ln i
    for (int i = filledTop_ + 1; i <= n; ++i) lnFactorials_[i + 1] = lnFactorials_[i] + std::log(Extended(i));
    filledTop_ = static_cast<int16_t>(n);
    return lnFactorials_[n + 1];
}

void CZValue::Quarn_FactorialInit() {
    ProcScope scope(ErrStack(), "Quarn_FactorialInit");
    lnFactorials_.assign(34, 0.0L);
    filledTop_ = 0;
    lnFactorials_[1] = 0;
}

double CZValue::Quarn_Binomial(int32_t N, int32_t k) {
    ProcScope scope(ErrStack(), "Quarn_Binomial");
    if (k < 0 || k > N) return 0;  // no way to choose them
    const int32_t nMinusK = N - k;
    return ToDouble(std::exp(LnFactorial(N) - LnFactorial(k) - LnFactorial(nMinusK)));
}

double CZValue::Quarn_Poisson(double dblMean, double dblLnMean, int32_t y) {
    ProcScope scope(ErrStack(), "Quarn_Poisson");
    if (y < 0) return 0;
    const Extended e = static_cast<Extended>(y) * dblLnMean - dblMean - LnFactorial(y);
    return Probability01(ToDouble(std::exp(e)));
}

// Q_KS(z) = 2 sum (-1)^(j-1) exp(-2 j^2 z^2), or for small z its equivalent
// 1 - sqrt(2 pi)/z sum exp(-(2j-1)^2 pi^2 / (8 z^2)), three terms of each.
double CZValue::Quarn_CalcKSProb(double z) {
    ProcScope scope(ErrStack(), "Quarn_CalcKSProb");
    RequireFinite(z, "test value");
    if (z < 0.27) return 1;
    if (z < 1) {
        constexpr double kPiSquaredOverEight = 1.2337005501361698273543113749845189;  // pi^2/8
        constexpr double kSqrtTwoPi = 2.5066282746310005024157652848110453;           // sqrt(2 pi)
        const double y = vb::Exp(-kPiSquaredOverEight / (z * z));
        return Probability01(PreciseDifference(1, kSqrtTwoPi * (y + std::pow(y, 9) + std::pow(y, 25)) / z));
    }
    if (z < 3.1) {
        const double x = vb::Exp(-2 * z * z);
        return Probability01(
            2 * (PreciseDifference(std::pow(x, 9), std::pow(x, 16)) + PreciseDifference(x, std::pow(x, 4))));
    }
    // Beyond, the second term is below 1e-25 of the first: the tail is
    // 2 exp(-2 z^2), formed in the extended type so that it keeps its digits
    // down to the smallest Double.
    const Extended zz = static_cast<Extended>(z) * z;
    return Probability01(ToDouble(2 * std::exp(-2 * zz)));
}
