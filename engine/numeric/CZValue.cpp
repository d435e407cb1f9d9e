#include "numeric/CZValue.h"

#include <algorithm>
#include <cmath>

#include "ErrorStack.h"
#include "numeric/Numerics.h"
#include "vb/Conversions.h"
#include "vb/Decimal.h"
#include "vb/VbError.h"

namespace {

constexpr double kPi = 3.14159265358979;
constexpr double kTwoPi = 6.28318530717958;
constexpr double kNormalCutOff = 6.3;  // the normal series is not summed above this
constexpr double kExpFloor = -2000;    // exponents at or below this give 0

// Hard bounds on the inverse search; the Illinois steps need a few dozen.
constexpr int kMaxSearchIterations = 2000;
constexpr int kMaxBracketSteps = 2000;

// The value kept to the 15 significant digits the decimal type takes from a
// Double (unchanged where the decimal type could not hold those digits).
double Decimal15(double v) {
    if (!FitsDecimal({v})) return v;
    return vb::Decimal::FromDouble(v).ToDouble();
}

// Product and quotient of the operands' decimal forms. The decimal type has
// no multiplication of its own; the 15-digit operands multiplied in extended
// precision agree with a decimal product to the Double's last bit.
double DecimalProduct(double a, double b) {
    return vb::Checked(static_cast<double>(static_cast<long double>(Decimal15(a)) * Decimal15(b)));
}

double DecimalQuotient(double a, double b) {
    const double d = Decimal15(b);
    if (d == 0) vb::Raise(vb::err::kDivisionByZero);
    return vb::Checked(static_cast<double>(static_cast<long double>(Decimal15(a)) / d));
}

double ExpOrZero(double e) { return e <= kExpFloor ? 0 : vb::Exp(e); }

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

}  // namespace

// Lanczos approximation with six coefficients (gamma = 5), error below 2e-10.
double CZValue::LnGamma(double x) {
    ProcScope scope(ErrStack(), "LnGamma");
    if (x < 1) {
        // Reflection: Gamma(x) Gamma(1 - x) = pi / sin(pi (1 - x)) for z = 1 - x.
        const double z = 1 - x;
        return PreciseDifference(PreciseDifference(vb::Log(kPi * z), LnGamma(1 + z)), vb::Log(std::sin(kPi * z)));
    }
    const double y = x - 1;
    const double t = y + 5.5;
    const double u = PreciseDifference((y + 0.5) * vb::Log(t), t);
    double s = 1 + 76.18009173 / (y + 1) + 24.01409822 / (y + 3) + 0.00120858003 / (y + 5);
    s = PreciseDifference(s, 86.50532033 / (y + 2));
    s = PreciseDifference(s, 1.231739516 / (y + 4));
    s = PreciseDifference(s, 5.36382e-6 / (y + 6));
    return vb::Log(2.50662827465 * s) + u;
}

// Regularised incomplete beta I_x(a, b) by its continued fraction, taken on
// the side where it converges fast (Numerical Recipes, betai).
double CZValue::IncompleteBeta(double a, double b, double x) {
    ProcScope scope(ErrStack(), "IncompleteBeta");
    double bt = 0;
    if (x != 0 && x != 1) {
        const double e = PreciseSum({LnGamma(a + b), -LnGamma(a), -LnGamma(b), a * vb::Log(x), b * vb::Log(1 - x)});
        bt = ExpOrZero(e);
    }
    if ((a + 1) / (a + b + 2) > x) return bt * BetaContinuedFraction(a, b, x) / a;
    return PreciseDifference(1, bt * BetaContinuedFraction(b, a, 1 - x) / b);
}

// Continued fraction of I_x(a, b) by its even/odd recurrence, renormalised at
// every step (Numerical Recipes, betacf), relative tolerance 1e-10.
double CZValue::BetaContinuedFraction(double a, double b, double x) {
    ProcScope scope(ErrStack(), "BetaContinuedFraction");
    const double qab = PreciseSum({a, b});
    const double qap = PreciseSum({a, 1});
    const double qam = PreciseDifference(a, 1);
    double am = 1, bm = 1, az = 1;
    double bz = PreciseDifference(1, qab * x / qap);
    for (int m = 1; m <= 1000; ++m) {
        const double em = m;
        const double tem = 2.0 * m;
        double d =
            DecimalQuotient(DecimalProduct(DecimalProduct(em, PreciseDifference(b, em)), x), (tem + a) * (tem + qam));
        const double ap = az + d * am;
        const double bp = bz + d * bm;
        d = -(em + a) * (em + qab) * x / ((a + tem) * (tem + qap));
        const double app = ap + d * az;
        const double bpp = bp + d * bz;
        const double aold = az;
        am = vb::Divide(ap, bpp);
        bm = vb::Divide(bp, bpp);
        az = vb::Divide(app, bpp);
        bz = 1;
        if (1e-10 * std::fabs(az) > std::fabs(PreciseDifference(az, aold))) break;
    }
    return az;
}

// Regularised upper incomplete gamma Q(a, x).
double CZValue::GammaQ(double a, double x) {
    ProcScope scope(ErrStack(), "GammaQ");
    if (x < a + 1) return PreciseDifference(1, GammaSeries(a, x));
    return GammaContinuedFraction(a, x);
}

// P(a, x) by its power series (Numerical Recipes, gser), tolerance 3e-7.
double CZValue::GammaSeries(double a, double x) {
    ProcScope scope(ErrStack(), "GammaSeries");
    const double gln = LnGamma(a);
    if (x <= 0) return 0;
    double ap = a;
    double del = 1 / a;
    double sum = del;
    for (int n = 1; n <= 1000; ++n) {
        ap += 1;
        del *= x / ap;
        sum += del;
        if (std::fabs(del) < std::fabs(sum) * 3e-7) break;
    }
    const double e = PreciseSum({-x, a * vb::Log(x), -gln});
    return e <= kExpFloor ? 0 : vb::Checked(sum * vb::Exp(e));
}

// Q(a, x) by its continued fraction (Numerical Recipes, gcf), tolerance 3e-7.
double CZValue::GammaContinuedFraction(double a, double x) {
    ProcScope scope(ErrStack(), "GammaContinuedFraction");
    const double gln = LnGamma(a);
    // The prefactor's exponent decides first: far out in the tail the result
    // is 0, and the fraction's terms would overflow before it could say so.
    const double e = PreciseSum({-x, a * vb::Log(x), -gln});
    if (e <= kExpFloor) return 0;
    double gold = 0, a0 = 1, a1 = x, b0 = 0, b1 = 1, fac = 1, g = 0;
    for (int n = 1; n <= 1000; ++n) {
        const double an = n;
        const double ana = PreciseDifference(an, a);
        a0 = (a1 + a0 * ana) * fac;
        b0 = (b1 + b0 * ana) * fac;
        const double anf = an * fac;
        a1 = x * a0 + anf * a1;
        b1 = x * b0 + anf * b1;
        if (a1 != 0) {
            fac = 1 / a1;
            g = b1 * fac;
            if (std::fabs(vb::Divide(PreciseDifference(g, gold), g)) < 3e-7) break;
            gold = g;
        }
    }
    return vb::Checked(vb::Exp(e) * g);
}

// P(-z < Z < z) by the power series of the normal integral,
// 2/sqrt(2 pi) * sum (-1)^i z^(2i+1) / ((2i+1) i! 2^i).
double CZValue::NormalCentral(double z) {
    ProcScope scope(ErrStack(), "NormalCentral");
    z = std::fabs(z);  // the distribution is symmetric
    if (z == 0) return 0;
    if (z > kNormalCutOff) return 1;
    // The alternating terms grow to about 6e6 near z = 6.3 before they fall,
    // so they are summed in extended precision, and z^k is carried as a
    // running product: exp(k ln z) would lose the last digits of every term.
    long double sum = z, f = 1, q = 1, sign = 1, term = 1, power = z;
    const long double z2 = static_cast<long double>(z) * z;
    const double lnZ = vb::Log(z);
    for (int i = 1; i < 5 || term > 1e-13L; ++i) {
        f *= i;
        q *= 2;
        power *= z2;
        const double k = 2.0 * i + 1;
        term = (k * lnZ <= kExpFloor ? 0.0L : power) / (k * f * q);
        sign = -sign;
        sum += sign * term;
    }
    return std::min(2 * static_cast<double>(sum) / std::sqrt(kTwoPi), 1.0);
}

double CZValue::Quarn_CalcProb(const std::string& strProbType, double Tv, double DF1, double DF2) {
    ProcScope scope(ErrStack(), "Quarn_CalcProb");
    RequireFinite(Tv, "test value");
    RequireFinite(DF1, "first degrees of freedom");
    RequireFinite(DF2, "second degrees of freedom");
    double r = 0;
    switch (Letter(strProbType)) {
        case 'Z':
            r = NormalCentral(Tv);
            break;
        case 'T': {
            if (DF1 <= 0) return 0;
            // A test value whose square overflows lies at the limit x = 0.
            const double t2 = Tv * Tv;
            const double x = std::isfinite(t2) ? vb::Divide(DF1, vb::Checked(t2 + DF1)) : 0;
            r = IncompleteBeta(DF1 / 2, 0.5, x);
            break;
        }
        case 'C':
            if (DF1 <= 0) return 0;
            r = GammaQ(DF1 / 2, Tv / 2);
            break;
        case 'F': {
            if (DF1 <= 0 || DF2 <= 0) return 0;
            const double q = std::fabs(Tv) * DF1;
            const double x = std::isfinite(q) ? vb::Divide(DF2, vb::Checked(DF2 + q)) : 0;
            r = IncompleteBeta(DF2 / 2, DF1 / 2, x);
            break;
        }
        default:
            return 0;
    }
    return Probability01(r);
}

// Bracketed false position with the Illinois modification on
// f(x) = Quarn_CalcProb(x) - dblProb.
double CZValue::Quarn_FindValue(const std::string& strProbType, double dblProb, double DF1, double DF2,
                                bool fAccurate) {
    ProcScope scope(ErrStack(), "Quarn_FindValue");
    const char letter = Letter(strProbType);
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
    const auto prob = [&](double x) { return Quarn_CalcProb(strProbType, x, DF1, DF2); };
    const auto f = [&](double x) { return PreciseDifference(prob(x), dblProb); };
    const auto noBracket = [&]() {
        vb::Raise(vb::err::kInvalidProcedureCall,
                  "No " + strProbType + " value found for the probability " + vb::CStr(dblProb));
    };
    // Walks the upper end out until the probability there passes dblProb:
    // unit steps as the classical search takes them, longer ones if far out.
    const auto stepOut = [&](double& hi, bool rising) {
        double step = 1;
        for (int n = 1; rising ? prob(hi) < dblProb : prob(hi) > dblProb; ++n) {
            if (n > kMaxBracketSteps) noBracket();
            if (n > 64) step *= 2;
            hi = vb::Checked(hi + step);
        }
    };
    // Beyond the classical bracket of "T" and "Z" (values above 3 or 4) the
    // upper end moves out in the same way ("T" doubling it, since its tails are
    // long), and the lower end follows to the last point passed.
    const auto moveOut = [&](double& low, double& hi, bool rising, bool doubling) {
        for (int n = 1; rising ? prob(hi) < dblProb : prob(hi) > dblProb; ++n) {
            if (n > kMaxBracketSteps) noBracket();
            low = hi;
            hi = vb::Checked(doubling ? hi * 2 : hi + 1);
        }
    };

    double tol = fAccurate ? 2e-15 : 1e-12;
    double lo = 0;
    double hi = 0;
    switch (letter) {
        case 'T':
            hi = 3;
            moveOut(lo, hi, false, true);
            break;
        case 'Z':
            hi = 4;
            moveOut(lo, hi, true, false);
            // Above the series' cut-off every value has probability 1: keep the
            // upper end just past it, so no step lands on that flat stretch.
            if (hi > kNormalCutOff) hi = std::nextafter(kNormalCutOff, 7.0);
            break;
        case 'C':
            hi = DF1;
            stepOut(hi, false);
            break;
        default:  // 'F'
            for (int n = 1; prob(lo) < dblProb; ++n) {
                if (n > kMaxBracketSteps) noBracket();
                lo += (DF1 + DF2) / 10;
            }
            hi = DF1 / DF2;
            stepOut(hi, false);
            break;
    }

    double flo = f(lo);
    double fhi = f(hi);
    double xp = 0;
    double fp = 0;
    double x = lo;
    const auto sameSign = [](double u, double v) { return (u > 0 && v > 0) || (u < 0 && v < 0); };
    for (int iteration = 1;; ++iteration) {
        if (iteration > kMaxSearchIterations) {
            vb::Raise(vb::err::kInvalidProcedureCall, "The search for the " + strProbType +
                                                          " value of the probability " + vb::CStr(dblProb) +
                                                          " does not converge");
        }
        const double denominator = PreciseDifference(fhi, flo);
        if (denominator == 0) noBracket();  // both ends alike: no secant step exists
        x = DecimalQuotient(PreciseDifference(lo * fhi, hi * flo), denominator);
        const double fx = f(x);
        if (std::fabs(fx) <= tol) break;
        if (std::fabs(PreciseDifference(fx, fhi)) <= tol) break;
        if (xp != 0 && std::fabs(PreciseDifference(xp, x)) <= tol) break;
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
        xp = x;
        if (found) break;
        if (fAccurate && iteration + 1 > 1000) tol = 1e-12;
    }
    return x;
}

double CZValue::LnFactorial(int32_t n) {
    ProcScope scope(ErrStack(), "LnFactorial");
    if (n < 0) return 0;
    if (n <= filledTop_) {
        if (lnFactorials_.empty()) vb::Raise(vb::err::kSubscriptOutOfRange);
        return lnFactorials_[n + 1];
    }
    if (n >= 33) return LnGamma(n + 1.0);
    if (lnFactorials_.empty()) vb::Raise(vb::err::kSubscriptOutOfRange);
    for (int i = filledTop_ + 1; i <= n; ++i) {
        lnFactorials_[i + 1] = vb::Log(i * vb::Exp(lnFactorials_[i]));
    }
    filledTop_ = static_cast<int16_t>(n);
    return lnFactorials_[n + 1];
}

void CZValue::Quarn_FactorialInit() {
    ProcScope scope(ErrStack(), "Quarn_FactorialInit");
    lnFactorials_.assign(34, 0.0);
    filledTop_ = 0;
    lnFactorials_[1] = 0;
}

double CZValue::Quarn_Binomial(int32_t N, int32_t k) {
    ProcScope scope(ErrStack(), "Quarn_Binomial");
    if (k < 0 || k > N) return 0;  // no way to choose them
    const int32_t nMinusK = N - k;
    return vb::Exp(PreciseDifference(PreciseDifference(LnFactorial(N), LnFactorial(k)), LnFactorial(nMinusK)));
}

double CZValue::Quarn_Poisson(double dblMean, double dblLnMean, int32_t y) {
    ProcScope scope(ErrStack(), "Quarn_Poisson");
    if (y < 0) return 0;
    const double e = PreciseDifference(PreciseDifference(y * dblLnMean, dblMean), LnFactorial(y));
    return Probability01(vb::Exp(e));
}

// Q_KS(z) = 2 sum (-1)^(j-1) exp(-2 j^2 z^2), or for small z its equivalent
// 1 - sqrt(2 pi)/z sum exp(-(2j-1)^2 pi^2 / (8 z^2)), three terms of each.
double CZValue::Quarn_CalcKSProb(double z) {
    ProcScope scope(ErrStack(), "Quarn_CalcKSProb");
    RequireFinite(z, "test value");
    if (z < 0.27) return 1;
    if (z < 1) {
        const double y = vb::Exp(-1.233701 / (z * z));
        return Probability01(PreciseDifference(1, 2.506628 * (y + std::pow(y, 9) + std::pow(y, 25)) / z));
    }
    if (z < 3.1) {
        const double x = vb::Exp(-2 * z * z);
        return Probability01(
            2 * (PreciseDifference(std::pow(x, 9), std::pow(x, 16)) + PreciseDifference(x, std::pow(x, 4))));
    }
    return 0;
}
