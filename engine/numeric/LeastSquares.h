// Weighted least squares one row at a time, by square-root-free Givens
// rotations in the 80-bit extended type, and the decimal differences that
// feed it: memory of order columns^2 whatever the number of rows.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// The 15-significant-digit decimal nearest a Double: mantissa * 10^-scale,
// with 10^14 <= mantissa < 10^15 (0 for 0). False when the value lies
// outside the range this fast form covers (magnitudes from 1e-8 below 1e15,
// or 0); callers then take the slow general route.
bool DecimalDigits15(double value, int64_t& mantissa, int& scale);

// True when the Double is the one nearest some decimal of at most 15
// significant digits, as typed or imported values are; mantissa and scale
// are then that decimal.
bool IsShortDecimal(double value, int64_t& mantissa, int& scale);

// PreciseDifference(a, b) with the same result, fast for ordinary operands:
// both cut to 15 significant digits, subtracted exactly, the difference
// rounded once to Double.
double FastPreciseDifference(double a, double b);

// A value taken as a deviation from a shift: the shift's decimal form is
// worked out once, each value's deviation formed exactly when both are short
// decimals (one decimal subtraction, one rounding to the extended type), else
// by a subtraction from the shift's value in the extended type.
class DecimalShift {
public:
    DecimalShift() = default;
    explicit DecimalShift(double shift);
    double Shift() const { return shift_; }
    // The shift in the extended type: its decimal value where it is a short
    // decimal (the value its deviations are taken from), else the Double.
    long double Value() const { return value_; }
    long double Deviation(double value) const;

private:
    double shift_ = 0;
    long double value_ = 0;
    bool decimal_ = true;
    int64_t mantissa_ = 0;
    int scale_ = 0;
};

// The factor R = D^(1/2) Rbar of a weighted design X (Rbar unit upper
// triangular, D diagonal) with Q'y in theta and the residual sum of squares
// left over: Gentleman's square-root-free Givens update (Applied Statistics
// algorithm AS 75, in the form of Miller's AS 274).
class GivensLeastSquares {
public:
    // Clears the factor for `columns` design columns.
    void Reset(int columns);
    int Columns() const { return p_; }

    // Rotates one row in: weight w > 0, its design values x[0..columns-1]
    // (overwritten) and its dependent value y.
    void Include(long double w, long double* x, long double y);

    long double D(int i) const { return d_[static_cast<std::size_t>(i)]; }
    // Rbar(i, j) for j > i; 1 on the diagonal, 0 below.
    long double Rbar(int i, int j) const;
    long double Theta(int i) const { return theta_[static_cast<std::size_t>(i)]; }
    // The weighted sum of squared residuals of the fit on every column.
    long double ResidualSs() const { return sse_; }

    // The squared norm of column j over the factor's rows first..j:
    // sum of D(i) Rbar(i, j)^2 (the column's sum of squares for first = 0;
    // about the mean for first = 1 when column 0 is the constant).
    long double ColumnSs(int j, int first) const;

    // Coefficients by back substitution; false when a pivot is not above 0.
    bool Solve(std::vector<long double>& b) const;
    // The inverse of Rbar (unit upper triangular), row-major columns x columns.
    void InverseRbar(std::vector<long double>& inverse) const;

private:
    int p_ = 0;
    std::vector<long double> d_, rbar_, theta_;  // rbar_: the strict upper triangle by rows
    long double sse_ = 0;
};
