// The sum that Sum, Total and Avg form in this layer's SQL, for code that
// adds outside SQL the values a query would add and must give its digits.
//
// Integer inputs are summed exactly as a 64-bit integer while every input is
// one; Sum gives "integer overflow" when that running sum leaves the range.
// From the first other input (or the overflow) on, the sum is a double with
// Neumaier's compensation, so that 1e16, 1, -1e16 give 1 as the engine's own
// sums do, whatever SQLite is installed (it compensates these itself only
// from 3.43, by the same steps, which are followed here). The result depends
// on the order of the inputs only in rare last digits: a query adds them in
// the order it reads them.
#pragma once

#include <cmath>
#include <cstdint>
#include <limits>

namespace dao {

// Zero-initialised (SqlSum s{}, or SQLite's zeroed aggregate context) it is
// the empty sum.
struct SqlSum {
    double sum;        // the double sum, once approximate
    double error;      // its compensation
    int64_t whole;     // the exact sum while every input is an integer
    int64_t count;     // the non-Null inputs (kept by the caller)
    bool approximate;  // a non-integer input or an overflow seen
    bool overflow;     // the integer sum overflowed and no non-integer came since

    // An integer input; negate takes it out again (a window's inverse step).
    void AddInteger(int64_t w, bool negate = false) {
        if (!approximate) {
            int64_t next = 0;
            if (!(negate ? __builtin_sub_overflow(whole, w, &next) : __builtin_add_overflow(whole, w, &next))) {
                whole = next;
                return;
            }
            overflow = true;
            BecomeApproximate();
        }
        if (!negate) {
            AddWhole(w);
        } else if (w == std::numeric_limits<int64_t>::min()) {
            AddWhole(std::numeric_limits<int64_t>::max());
            AddWhole(1);
        } else {
            AddWhole(-w);
        }
    }
    // Any other number input.
    void AddReal(double x, bool negate = false) {
        if (!approximate) BecomeApproximate();
        if (!negate) overflow = false;
        AddCompensated(negate ? -x : x);
    }
    // The double sum: its compensation is left out once that is no longer finite.
    double Approximate() const { return std::isfinite(error) ? sum + error : sum; }
    // Total's value (Sum's where it has one).
    double Value() const { return approximate ? Approximate() : static_cast<double>(whole); }

private:
    void AddCompensated(double x) {
        const double t = sum + x;
        if (std::fabs(sum) > std::fabs(x))
            error += (sum - t) + x;
        else
            error += (x - t) + sum;
        sum = t;
    }
    // An integer beyond 2^52 in magnitude goes in as two parts that a double
    // each holds exactly.
    void AddWhole(int64_t v) {
        constexpr int64_t kExactInDouble = 4503599627370496LL;
        if (v <= -kExactInDouble || v >= kExactInDouble) {
            const int64_t small = v % 16384;
            AddCompensated(static_cast<double>(v - small));
            AddCompensated(static_cast<double>(small));
        } else {
            AddCompensated(static_cast<double>(v));
        }
    }
    // Leaves the exact integer sum for the double one, starting from it.
    void BecomeApproximate() {
        sum = 0;
        error = 0;
        AddWhole(whole);
        approximate = true;
    }
};

}  // namespace dao
