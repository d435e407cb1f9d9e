// Shared numeric routines of the analyses: a subtraction free of binary
// rounding noise, variance from running sums, tie-averaged ranking and the
// default intervals of a frequency distribution.
#pragma once

#include <cmath>
#include <cstdint>
#include <initializer_list>
#include <string_view>
#include <vector>

#include "vb/ExactSum.h"

// The exact running sum of the analyses is the platform's, which the data
// layer's SQL sums share.
using vb::ExactSum;

// Operands at or above this magnitude cannot be held in the decimal type;
// differences of such values are taken in Double.
inline constexpr double kDecimalLimit = 1e27;
// The decimal type's last place is 1e-28, so it keeps all 15 significant
// digits only of magnitudes from 1e-14 up; differences of smaller values are
// taken in Double rather than losing their digits.
inline constexpr double kDecimalFloor = 1e-14;

// True when the values can be held in the decimal type with 15 significant
// digits: every magnitude below 1e27 and the largest at least 1e-14 (or all 0).
bool FitsDecimal(std::initializer_list<double> values);

// a - b, formed in the decimal type (both operands kept to 15 significant
// digits, subtracted exactly) when FitsDecimal(a, b), so that
// 0.3 - (0.1 + 0.2) is exactly 0; otherwise an ordinary Double subtraction.
// Operands of ordinary magnitude (DecimalDigits15) are cut and subtracted in
// integers, with the same result: the analyses call it for every value.
double PreciseDifference(double a, double b);
// The same formed through the decimal type whatever the operands.
double DecimalTypeDifference(double a, double b);

// The difference of two values as read (the ends of a range, two values to
// interpolate between): where each is the nearest Double of the decimal of
// at most 15 significant digits it is written as, the difference of those
// decimals (PreciseDifference: 1.1 - 1 is 0.1); otherwise a value holds a
// digit beyond its 15th, and its exact difference rounded once keeps it
// (1e15 + 0.625 less 1e15 is 0.625, where 15 digits would give 0).
double ValueDifference(double a, double b);
// A value as read less one formed from the data (an estimate, an expected
// count): PreciseDifference where the value is the nearest Double of its
// 15-digit decimal, so that binary noise in the formed one does not show;
// otherwise the exact difference rounded once, which keeps the value's
// digits beyond its 15th.
double ReadValueLess(double value, double formed);

// The sum of the terms formed in the decimal type (each kept to 15 significant
// digits, added exactly) when FitsDecimal(terms), else in Double.
double PreciseSum(std::initializer_list<double> terms);

// num / den, both held exactly, rounded once to the nearest Double (ties to
// even): a quotient corrected by its exact remainder. Where a remainder term
// falls among the subnormals, the corrected quotient (within a unit in its
// last place).
double ExactQuotient(const ExactSum& num, const ExactSum& den);

// Variance and standard deviation from a count (or sum of weights) n, the sum
// of squares and the sum. strMode "N" gives the population form (divisor n^2),
// anything else the sample form (divisor n(n-1), 0 for n <= 1). Returns the
// standard deviation; the variance is never negative.
double VarianceFromSums(std::string_view strMode, double n, double dblSumSquares, double dblSum, double& dblVariance);

// The exponent at which rank tests hold whole counts of observations that add
// up to n: 0 up to 2^64, whose cubes stay far inside a Double; beyond, the
// even exponent that brings n into [1, 4), so that cubes and products of
// counts held divided by 2^exponent neither overflow nor lose their digits,
// and square roots take half of it exactly.
int CountExponent(double n);

// The tie terms of rank tests gathered while ranking.
struct TieSums {
    double tw = 0;  // observations in tie groups
    double t3 = 0;  // sum of t^3 - t
    double tg = 0;  // number of tie groups
    double t2 = 0;  // Kendall's tau: sum of t(t-1)
    double tt = 0;  //               sum of t(t-1)(t-2)
    double t5 = 0;  //               sum of t(t-1)(2t+5)
    // n^3 - sum t^3 over all groups, n the observations ranked: the
    // (n^3 - n) - sum (t^3 - t) of the tie corrections, gathered group by
    // group as 3 p t (p + t) (p the observations before) so that it keeps its
    // digits where nearly every observation is tied.
    double untied = 0;
};

// Hands out tie-averaged ranks to groups of equal values met in ascending
// order. A group stands for t observations (the integer weights of its rows
// added up) and takes the ranks p .. p+t-1 after those already given.
// With an exponent, t3 and untied are held divided by 2^(3 exponent) (counts
// divided by 2^exponent before they are cubed); the ranks and the other
// terms are as they are.
class TieRanker {
public:
    explicit TieRanker(bool fTau, int exponent = 0) : tau_(fTau), unit_(std::ldexp(1.0, -exponent)) {}

    // The average rank of the next group of t observations. A group that
    // weighs nothing (t < 1) takes no rank: it gets the point halfway between
    // its neighbours' ranks and counts in no tie term.
    double AddGroup(double t);

    const TieSums& Sums() const { return sums_; }
    double LastRank() const { return lastRank_; }

private:
    bool tau_;
    double unit_;  // what one observation is held as in t3 and untied
    double lastRank_ = 0;
    TieSums sums_;
};

// The default first bound and width of k frequency intervals over the values
// min .. max. With fFraction the width is rounded up to two significant digits
// when below 1, else it becomes 1; fLowerBound starts the first interval at the
// minimum instead of a margin below it. Data without spread (min = max) get
// width 1 (wider for values beyond 1e13, whose names would not show 1) and a
// first bound half a width below the value, so the value lies inside the
// first interval whichever border the intervals include.
// The bounds as the result table writes them (IntervalBounds) differ and
// hold the data: where the margin rounds away at the resolution of the
// values, the first bound moves below the minimum and the width grows.
void FrequencyIntervalDefaults(bool fFraction, int16_t intervals, bool fLowerBound, double dblMin, double dblMax,
                               double& dblFirst, double& dblWidth);
