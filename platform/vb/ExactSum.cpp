#include "vb/ExactSum.h"

#include <cmath>

namespace vb {

void ExactSum::AddPart(double x) {
    if (x == 0) return;
    if (!std::isfinite(x)) {
        Overflow(x);
        return;
    }
    double* p = Parts();
    int kept = 0;
    for (int j = 0; j < count_; ++j) {
        const double y = p[j];
        const double hi = x + y;
        const double back = hi - x;
        const double lo = (x - (hi - back)) + (y - back);
        if (lo != 0) p[kept++] = lo;
        x = hi;
    }
    if (!std::isfinite(x)) {
        Overflow(x);
        return;
    }
    if (x != 0) {
        if (!more_.empty()) {
            if (static_cast<size_t>(kept) < more_.size()) {
                more_[static_cast<size_t>(kept)] = x;
            } else {
                more_.push_back(x);
            }
        } else if (kept < kInline) {
            inline_[kept] = x;
        } else {
            more_.assign(inline_, inline_ + kInline);
            more_.push_back(x);
        }
        ++kept;
    }
    count_ = kept;
}

void ExactSum::Overflow(double x) {
    // An infinity or NaN term is kept as it is; a finite one that carried
    // the sum past the largest Double leaves that infinity.
    special_ += std::isfinite(x) ? (x > 0 ? HUGE_VAL : -HUGE_VAL) : x;
    hi_ = mid_ = 0;
    count_ = 0;
}

double ExactSum::Value() const {
    if (special_ != 0) return special_;  // an infinity, or NaN
    const ExactSum e = Expanded();
    if (e.special_ != 0) return e.special_;
    const double* p = e.Parts();
    int n = e.count_;
    if (n == 0) return 0;
    // From the largest part down until a sum is inexact; then the half-way
    // case, where the rounding of hi + lo would tie, is decided by the sign
    // of the parts below (Python's fsum).
    double hi = p[--n];
    double lo = 0;
    while (n > 0) {
        const double x = hi;
        const double y = p[--n];
        hi = x + y;
        lo = y - (hi - x);
        if (lo != 0) break;
    }
    if (n > 0 && ((lo < 0 && p[n - 1] < 0) || (lo > 0 && p[n - 1] > 0))) {
        const double y = lo * 2;
        const double x = hi + y;
        if (y == x - hi) hi = x;
    }
    return hi;
}

}  // namespace vb
