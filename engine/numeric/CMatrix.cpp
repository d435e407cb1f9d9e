#include "numeric/CMatrix.h"

#include <cmath>
#include <utility>

#include "ErrorStack.h"
#include "numeric/Numerics.h"

namespace {

constexpr double kPivotThreshold = 1e-14;

// x - t, in decimal where both fit it (PreciseDifference); false (and x
// untouched) when the result would not be a finite number.
bool SubtractInto(double& x, double t) {
    const double r = PreciseDifference(x, t);
    if (!std::isfinite(r)) return false;
    x = r;
    return true;
}

bool ScaleInto(double& x, double factor) {
    const double r = factor * x;
    if (!std::isfinite(r)) return false;
    x = r;
    return true;
}

}  // namespace

void CMatrix::SwitchRows(int16_t r1, int16_t r2, int16_t n, DoubleArray2D& a, DoubleArray2D& b) {
    for (int j = 1; j <= n; ++j) {
        std::swap(a(r1, j), a(r2, j));
        std::swap(b(r1, j), b(r2, j));
    }
}

bool CMatrix::Quarn_GaussJordan_b(int16_t intRows, int16_t intCols, DoubleArray2D& dblSumXY, DoubleArray2D& dblInv,
                                  RunContext* Zantels) {
    ProcScope scope(ErrStack(), "Quarn_GaussJordan_b");
    zantels_ = Zantels;
    DoubleArray2D& a = dblSumXY;
    DoubleArray2D& b = dblInv;

    // Forward phase: unit pivots, zeros below them.
    for (int i = 1; i <= intRows; ++i) {
        if (std::fabs(a(i, i)) < kPivotThreshold) {
            int d = i + 1;
            while (d <= intRows && !(std::fabs(a(d, i)) > kPivotThreshold)) ++d;
            if (d > intRows) return false;  // singular
            SwitchRows(static_cast<int16_t>(i), static_cast<int16_t>(d), intCols, a, b);
        }
        const double p = 1 / a(i, i);
        if (!std::isfinite(p)) return false;
        for (int j = i; j <= intCols; ++j) {
            if (!ScaleInto(a(i, j), p)) return false;
        }
        for (int j = 1; j <= intRows; ++j) {
            if (!ScaleInto(b(i, j), p)) return false;
        }
        for (int k = i + 1; k <= intRows; ++k) {
            const double f = a(k, i);
            for (int j = i; j <= intCols; ++j) {
                if (!SubtractInto(a(k, j), f * a(i, j))) return false;
                if (std::fabs(a(k, j)) < kPivotThreshold) a(k, j) = 0;
            }
            for (int j = 1; j <= intRows; ++j) {
                if (!SubtractInto(b(k, j), f * b(i, j))) return false;
                if (std::fabs(b(k, j)) < kPivotThreshold) b(k, j) = 0;
            }
        }
    }

    // Backward phase: zeros above the pivots; of A only the last column moves.
    for (int col = intRows; col >= 1; --col) {
        for (int j = 1; j <= col - 1; ++j) {
            const double g = a(j, col);
            for (int m = 1; m <= intRows; ++m) {
                if (!SubtractInto(b(j, m), g * b(col, m))) return false;
            }
            if (!SubtractInto(a(j, intCols), g * a(col, intCols))) return false;
            a(j, col) = 0;
        }
    }
    return true;
}
