#include "numeric/LeastSquares.h"

#include <algorithm>
#include <cmath>

void GivensLeastSquares::Reset(int columns) {
    p_ = columns;
    d_.assign(static_cast<size_t>(columns), 0.0L);
    theta_.assign(static_cast<size_t>(columns), 0.0L);
    rbar_.assign(static_cast<size_t>(columns) * static_cast<size_t>(std::max(columns - 1, 0)) / 2, 0.0L);
    sse_ = 0;
}

void GivensLeastSquares::Include(long double w, long double* x, long double y) {
    long double* rbar = rbar_.data();
    for (int i = 0; i < p_; ++i) {
        // A row absorbed whole into a new pivot leaves no residual.
        if (w == 0) return;
        const long double xi = x[i];
        if (xi == 0) {
            rbar += p_ - i - 1;
            continue;
        }
        const long double di = d_[static_cast<size_t>(i)];
        const long double dpi = di + w * xi * xi;
        const long double cbar = di / dpi;
        const long double sbar = w * xi / dpi;
        w *= cbar;
        d_[static_cast<size_t>(i)] = dpi;
        for (int k = i + 1; k < p_; ++k, ++rbar) {
            const long double xk = x[k];
            x[k] = xk - xi * *rbar;
            *rbar = cbar * *rbar + sbar * xk;
        }
        const long double yk = y;
        y = yk - xi * theta_[static_cast<size_t>(i)];
        theta_[static_cast<size_t>(i)] = cbar * theta_[static_cast<size_t>(i)] + sbar * yk;
    }
    sse_ += w * y * y;
}

long double GivensLeastSquares::Rbar(int i, int j) const {
    if (j == i) return 1;
    if (j < i) return 0;
    // Row i starts after the rows 0..i-1 of p-1, p-2, ... entries.
    const size_t start = static_cast<size_t>(i) * static_cast<size_t>(2 * p_ - i - 1) / 2;
    return rbar_[start + static_cast<size_t>(j - i - 1)];
}

long double GivensLeastSquares::ColumnSs(int j, int first) const {
    long double ss = d_[static_cast<size_t>(j)];
    for (int i = first; i < j; ++i) {
        const long double r = Rbar(i, j);
        ss += d_[static_cast<size_t>(i)] * r * r;
    }
    return ss;
}

bool GivensLeastSquares::Solve(std::vector<long double>& b) const {
    b.assign(static_cast<size_t>(p_), 0.0L);
    for (int i = p_ - 1; i >= 0; --i) {
        if (!(d_[static_cast<size_t>(i)] > 0)) return false;
        long double v = theta_[static_cast<size_t>(i)];
        for (int j = i + 1; j < p_; ++j) v -= Rbar(i, j) * b[static_cast<size_t>(j)];
        b[static_cast<size_t>(i)] = v;
    }
    return true;
}

void GivensLeastSquares::InverseRbar(std::vector<long double>& inverse) const {
    const size_t p = static_cast<size_t>(p_);
    inverse.assign(p * p, 0.0L);
    for (size_t j = 0; j < p; ++j) {
        inverse[j * p + j] = 1;
        for (size_t i = j; i-- > 0;) {
            long double v = 0;
            for (size_t k = i + 1; k <= j; ++k)
                v -= Rbar(static_cast<int>(i), static_cast<int>(k)) * inverse[k * p + j];
            inverse[i * p + j] = v;
        }
    }
}
