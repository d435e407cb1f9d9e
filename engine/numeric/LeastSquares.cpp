#include "numeric/LeastSquares.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "numeric/Numerics.h"

namespace {

// 10^0 .. 10^22 are exact in Double; in the extended type up to 10^27.
constexpr int kMaxScale = 22;
constexpr double kPow10[kMaxScale + 1] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,  1e9,  1e10, 1e11,
                                          1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
constexpr int64_t kMantissaLow = 100'000'000'000'000;     // 10^14
constexpr int64_t kMantissaHigh = 1'000'000'000'000'000;  // 10^15

// round(a * 10^scale) for a > 0 when the product's fraction is clear of a
// half: the product is taken in the extended type (off by at most 2^-64
// relative), so a fraction within 2^-12 of one half is left to the exact route.
bool RoundScaled(double a, int scale, int64_t& mantissa) {
    const long double product = static_cast<long double>(a) * static_cast<long double>(kPow10[scale]);
    // Below 2^62 adding and taking away 2^63 rounds to a whole number in the
    // extended type's 64-bit mantissa.
    constexpr long double kRound = 0x1p63L;
    if (!(product < 0x1p62L)) return false;
    const long double whole = (product + kRound) - kRound;
    const long double fraction = product - whole;
    if (std::fabs(std::fabs(fraction) - 0.5L) < 0x1p-12L) return false;
    mantissa = static_cast<int64_t>(whole);
    return true;
}

// floor(log10(a)) or one less, for a normal positive Double: from its binary
// exponent, floor(e log10(2)) = floor(e * 78913 / 2^18) over this range.
int DecimalExponentEstimate(double a) {
    uint64_t bits = 0;
    std::memcpy(&bits, &a, sizeof bits);
    const int binary = static_cast<int>((bits >> 52) & 0x7ff) - 1023;
    return (binary * 78913) >> 18;
}

// 10^n as a 128-bit integer, n <= 22.
__int128 Pow10Int(int n) {
    __int128 v = 1;
    for (int i = 0; i < n; ++i) v *= 10;
    return v;
}

// a - b of two decimals m * 10^-e, exact, as a scaled integer at the larger scale.
__int128 ScaledDifference(int64_t ma, int ea, int64_t mb, int eb, int& scale) {
    scale = std::max(ea, eb);
    return static_cast<__int128>(ma) * Pow10Int(scale - ea) - static_cast<__int128>(mb) * Pow10Int(scale - eb);
}

}  // namespace

bool DecimalDigits15(double value, int64_t& mantissa, int& scale) {
    const double a = std::fabs(value);
    if (a == 0) {
        mantissa = 0;
        scale = 0;
        return true;
    }
    if (!(a >= 1e-8 && a < 1e15)) return false;
    int e = 14 - DecimalExponentEstimate(a);
    for (int tries = 0; tries < 3; ++tries) {
        if (e < 0 || e > kMaxScale) return false;
        int64_t m = 0;
        if (!RoundScaled(a, e, m)) return false;
        if (m >= kMantissaHigh) {
            --e;
        } else if (m < kMantissaLow) {
            ++e;
        } else {
            mantissa = value < 0 ? -m : m;
            scale = e;
            return true;
        }
    }
    return false;
}

bool IsShortDecimal(double value, int64_t& mantissa, int& scale) {
    if (!DecimalDigits15(value, mantissa, scale)) return false;
    // Both operands exact in Double, so the quotient is the correctly rounded
    // value of the decimal.
    return static_cast<double>(mantissa) / kPow10[scale] == value;
}

double FastPreciseDifference(double a, double b) {
    int64_t ma = 0, mb = 0;
    int ea = 0, eb = 0;
    if (DecimalDigits15(a, ma, ea) && DecimalDigits15(b, mb, eb)) {
        int scale = 0;
        const __int128 d = ScaledDifference(ma, ea, mb, eb, scale);
        constexpr __int128 kExact = static_cast<__int128>(1) << 53;
        if (d == 0) return 0;
        if (d < kExact && d > -kExact) return static_cast<double>(static_cast<int64_t>(d)) / kPow10[scale];
    }
    return PreciseDifference(a, b);
}

DecimalShift::DecimalShift(double shift) : shift_(shift), value_(shift) {
    decimal_ = IsShortDecimal(shift, mantissa_, scale_);
    if (decimal_) value_ = static_cast<long double>(mantissa_) / static_cast<long double>(kPow10[scale_]);
}

long double DecimalShift::Deviation(double value) const {
    int64_t m = 0;
    int e = 0;
    if (decimal_ && IsShortDecimal(value, m, e)) {
        int scale = 0;
        const __int128 d = ScaledDifference(m, e, mantissa_, scale_, scale);
        return static_cast<long double>(d) / static_cast<long double>(kPow10[scale]);
    }
    return static_cast<long double>(value) - value_;
}

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
