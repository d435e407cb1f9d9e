// Shared numeric routines of the analyses: a subtraction free of binary
// rounding noise, variance from running sums, tie-averaged ranking and the
// default intervals of a frequency distribution.
#pragma once

#include <cmath>
#include <cstdint>
#include <initializer_list>
#include <string_view>
#include <vector>

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

// The sum of the terms formed in the decimal type (each kept to 15 significant
// digits, added exactly) when FitsDecimal(terms), else in Double.
double PreciseSum(std::initializer_list<double> terms);

// A running sum held exactly: the terms' sum as a few Doubles that do not
// overlap (an expansion, as in Shewchuk's and Python's fsum), each addition
// error-free. Value() is that sum rounded once, so that a sum of weights such
// as 0.1 or 1.3 is right to the last digit however many terms it has and
// whatever their order. A term first meets two running Doubles, each passing
// the exact error of its addition (Knuth's two-sum) to the next, so that the
// additions of successive terms overlap in the processor; only what both
// leave goes into the expansion. Sums of ordinary data need a part or two
// there; more than four are kept off the object.
class ExactSum {
public:
    void Add(double x) {
        const double hi = hi_ + x;
        if (!std::isfinite(hi)) [[unlikely]] {
            Overflow(x);
            return;
        }
        const double back = hi - hi_;
        const double e = (hi_ - (hi - back)) + (x - back);
        hi_ = hi;
        if (e != 0) AddSmall(e);
    }
    // Adds a * b exactly; false (the rounded product added) where its
    // rounding error is not a Double (a product below 2^-968, whose error
    // falls among the subnormals) or the sum is no longer finite.
    bool AddProduct(double a, double b) {
        const double p = a * b;
        Add(p);
        if (p == 0) return (a == 0 || b == 0) && Finite();
        if (!(std::fabs(p) >= 0x1p-968) || !std::isfinite(p)) return false;
        // The error is below half a unit of p: it goes in with the small terms.
        const double e = std::fma(a, b, -p);
        if (e != 0) AddSmall(e);
        return Finite();
    }
    void Add(const ExactSum& other) {
        if (!other.Finite()) special_ += other.special_;
        const double* q = other.Parts();
        for (int j = 0; j < other.count_; ++j) Add(q[j]);
        Add(other.mid_);
        Add(other.hi_);
    }
    // The sum rounded once to the nearest Double (ties to even).
    double Value() const;
    // Multiplies the sum by 2^exponent (exact while it stays normal).
    void Scale(int exponent) {
        double* p = Parts();
        for (int j = 0; j < count_; ++j) p[j] = std::ldexp(p[j], exponent);
        hi_ = std::ldexp(hi_, exponent);
        mid_ = std::ldexp(mid_, exponent);
        special_ = std::ldexp(special_, exponent);
    }
    void Clear() { *this = ExactSum(); }
    // The same sum as an expansion alone: its parts, smallest magnitude
    // first, add up to it exactly.
    ExactSum Expanded() const {
        ExactSum e = *this;
        e.hi_ = e.mid_ = 0;
        e.AddPart(mid_);
        e.AddPart(hi_);
        return e;
    }
    int Parts(const double*& parts) const {
        parts = Parts();
        return count_;
    }
    // False once a term or the sum was an infinity or NaN.
    bool Finite() const { return special_ == 0; }

private:
    static constexpr int kInline = 4;
    // Adds a finite x through the second running Double.
    void AddSmall(double x) {
        const double mid = mid_ + x;
        const double back = mid - mid_;
        const double f = (mid_ - (mid - back)) + (x - back);
        mid_ = mid;
        if (f != 0) AddPart(f);
    }
    double* Parts() { return more_.empty() ? inline_ : more_.data(); }
    const double* Parts() const { return more_.empty() ? inline_ : more_.data(); }
    // Adds x to the expansion (Python's fsum step).
    void AddPart(double x);
    // A running sum beyond the largest Double stays the infinity it became.
    void Overflow(double x);

    double hi_ = 0, mid_ = 0;
    double inline_[kInline] = {};
    int count_ = 0;
    double special_ = 0;        // the infinities and NaNs met
    std::vector<double> more_;  // the parts, where more than kInline
};

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
