// A running sum held exactly and rounded once: the one accumulation behind
// every sum the engine writes and behind the data layer's SQL sums.
#pragma once

#include <cmath>
#include <vector>

namespace vb {

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

}  // namespace vb
