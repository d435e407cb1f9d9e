// The engine's probability library: tail probabilities of the standard normal,
// Student t, chi-square and F distributions chosen by a type letter, their
// inverses, binomial coefficients and Poisson probabilities through a cache of
// log-factorials, and the Kolmogorov-Smirnov limiting probability.
//
// Every probability returned lies in [0, 1]; no result is ever infinite or NaN.
// Failures raise vb::VbError.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

class CZValue {
public:
    // Probability of the test value Tv for the type letter (case-blind):
    //   "Z" central probability P(-|Tv| < Z < |Tv|)
    //   "T" two-tailed P(|T| >= |Tv|) with DF1 degrees of freedom (0 when DF1 <= 0)
    //   "C" upper tail P(chi2 >= Tv) with DF1 degrees of freedom (0 when DF1 <= 0)
    //   "F" upper tail P(F >= Tv) with DF1, DF2 degrees of freedom (0 when either <= 0;
    //       1 below 0, where F takes no value)
    //   any other letter: 0.
    // Degrees of freedom above a hundred million take the distributions'
    // limiting forms (the normal with its first correction for "T", Wilson
    // and Hilferty's cube root for "C", chi-square or Paulson's cube root for
    // "F"): the exact series would need more terms than a prompt answer
    // allows. The limits keep fewer digits than the exact forms: some 1e-7
    // relative at a hundred million, 1e-5 where both degrees of freedom of
    // "F" are large but far apart, fewer far out in a tail.
    // A NaN or infinite argument raises error 5.
    double Quarn_CalcProb(const std::string& strProbType, double Tv, double DF1, double DF2);

    // Two-sided normal tail P(|Z| >= |z|) and one-sided P(Z >= z), each
    // formed directly rather than as one minus the central probability, so
    // that they keep their digits however far out: 0 only where the tail
    // lies below the smallest Double (|z| beyond some 38.5).
    double Quarn_NormalTail(double z);
    double Quarn_NormalUpperTail(double z);
    // The z >= 0 whose two-sided tail is p, for every 0 < p < 1 (up to
    // some 38.5 for the smallest Double).
    double Quarn_NormalTailInverse(double p);

    // The test value x >= 0 whose Quarn_CalcProb equals dblProb (0 < dblProb < 1),
    // by a bracketed false-position search (Illinois). fAccurate asks for the
    // tolerance of 2e-15 of the probability instead of 1e-12. Raises error 5 for an
    // unknown letter, a probability outside (0, 1), non-positive degrees of
    // freedom that "T", "C" or "F" need, or a search that finds no value.
    double Quarn_FindValue(const std::string& strProbType, double dblProb, double DF1, double DF2, bool fAccurate);

    // The binomial coefficient N over k, exp(ln N! - ln k! - ln (N-k)!), not
    // forced to an integer; 0 when k < 0 or k > N.
    double Quarn_Binomial(int32_t N, int32_t k);

    // Probability of exactly y events for the mean dblMean, given its logarithm
    // dblLnMean; 0 for y < 0.
    double Quarn_Poisson(double dblMean, double dblLnMean, int32_t y);

    // Kolmogorov-Smirnov limiting probability Q(z) = P(D sqrt(n) > z), its
    // tail formed directly: 0 only below the smallest Double (z beyond 19.3).
    double Quarn_CalcKSProb(double z);

    // (Re)creates the log-factorial cache. Must run before the first Binomial
    // or Poisson that needs ln n! for n <= 32 (error 9 otherwise).
    void Quarn_FactorialInit();

private:
    // The routines below work in extended precision (long double), so that
    // the differences of large logarithms in the prefactors keep the digits
    // a Double result needs.
    static long double BetaContinuedFraction(long double a, long double b, long double x);
    // I_x(a, b) with y = 1 - x given by the caller, who can form it without
    // the cancellation of 1 - x.
    static long double IncompleteBeta(long double a, long double b, long double x, long double y);
    static long double LnGamma(long double x);
    static long double GammaQ(long double a, long double x);
    static long double GammaContinuedFraction(long double a, long double x);
    static long double GammaSeries(long double a, long double x);
    // Regularised lower incomplete gamma P(a, x), kept apart from 1 - Q.
    static long double GammaP(long double a, long double x);
    long double LnFactorial(int32_t n);
    static double NormalCentral(double z);
    // The upper tails of t (both) and F, past the checks of their degrees
    // of freedom.
    static long double UpperT(double Tv, double DF1);
    static long double UpperF(double Tv, double DF1, double DF2);
    static long double FTail(long double f, double DF1, double DF2, bool upper);
    // 1 - Quarn_CalcProb for "T", "C" and "F" at x >= 0, formed directly.
    double LowerTail(char letter, double x, double DF1, double DF2);

    // Entry k (1..33) holds ln((k-1)!); empty until Quarn_FactorialInit.
    std::vector<long double> lnFactorials_;
    int16_t filledTop_ = 0;
};
