// The sum that Sum, Total and Avg form in this layer's SQL, for code that
// adds outside SQL the values a query would add and must give its digits.
//
// Integer inputs are summed exactly as a 64-bit integer while every input is
// one; Sum gives "integer overflow" when that running sum leaves the range.
// From the first other input (or the overflow) on, the sum is held exactly
// (vb::ExactSum, the engine's own accumulation) and rounded once, so that
// 1e16, 1, -1e16 give 1 and ten times 0.1 gives 1 as the engine's sums do,
// in whatever order the query reads the inputs and whatever SQLite is
// installed. A sum beyond the largest double is that infinity.
#pragma once

#include <cstdint>
#include <limits>

#include "vb/ExactSum.h"

namespace dao {

// SqlSum s{} is the empty sum.
struct SqlSum {
    vb::ExactSum exact;        // the sum, once approximate
    int64_t whole = 0;         // the exact sum while every input is an integer
    int64_t count = 0;         // the non-Null inputs (kept by the caller)
    bool approximate = false;  // a non-integer input or an overflow seen
    bool overflow = false;     // the integer sum overflowed and no non-integer came since

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
        exact.Add(negate ? -x : x);
    }
    // The double sum: the exact sum rounded once.
    double Approximate() const { return exact.Value(); }
    // Total's value (Sum's where it has one).
    double Value() const { return approximate ? Approximate() : static_cast<double>(whole); }

private:
    // An integer beyond 2^52 in magnitude goes in as two parts that a double
    // each holds exactly.
    void AddWhole(int64_t v) {
        constexpr int64_t kExactInDouble = 4503599627370496LL;
        if (v <= -kExactInDouble || v >= kExactInDouble) {
            const int64_t small = v % 16384;
            exact.Add(static_cast<double>(v - small));
            exact.Add(static_cast<double>(small));
        } else {
            exact.Add(static_cast<double>(v));
        }
    }
    // Leaves the exact integer sum for the double one, starting from it.
    void BecomeApproximate() {
        exact.Clear();
        AddWhole(whole);
        approximate = true;
    }
};

}  // namespace dao
