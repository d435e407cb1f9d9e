// The streaming least-squares factor, the decimal differences that feed it
// and the held residual records, against hand-worked values and against the
// general decimal subtraction.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <string>
#include <random>
#include <vector>

#include "analysis/regression/RegressionHeldRows.h"
#include "numeric/LeastSquares.h"
#include "numeric/Numerics.h"

namespace {

TEST(DecimalDigitsTest, ShortDecimalsAreRecognisedAndOthersAreNot) {
    int64_t m = 0;
    int e = 0;
    ASSERT_TRUE(IsShortDecimal(0.1, m, e));
    EXPECT_EQ(m, 100000000000000);
    EXPECT_EQ(e, 15);
    ASSERT_TRUE(IsShortDecimal(-1234.5, m, e));
    EXPECT_EQ(m, -123450000000000);
    EXPECT_EQ(e, 11);
    ASSERT_TRUE(IsShortDecimal(123456789012345.0, m, e));
    EXPECT_EQ(m, 123456789012345);
    EXPECT_EQ(e, 0);
    ASSERT_TRUE(IsShortDecimal(0.0, m, e));
    EXPECT_EQ(m, 0);
    // 0.1 + 0.2 is not the Double nearest 0.3, nor any other 15-digit decimal.
    EXPECT_FALSE(IsShortDecimal(0.1 + 0.2, m, e));
    EXPECT_FALSE(IsShortDecimal(1.0 / 3.0, m, e));
    // Sixteen digits, and magnitudes outside the fast range.
    EXPECT_FALSE(IsShortDecimal(1234567890123456.0, m, e));
    EXPECT_FALSE(IsShortDecimal(1e-9, m, e));
}

TEST(DecimalDigitsTest, FastDifferenceAgreesWithTheGeneralDecimalSubtraction) {
    std::mt19937_64 random(20261208);
    std::uniform_real_distribution<double> unit(-1, 1);
    std::uniform_int_distribution<int> exponent(-9, 16);
    std::uniform_int_distribution<int> digits(1, 17);
    std::uniform_int_distribution<long long> mantissa(-99999999999999999, 99999999999999999);
    const auto decimal = [&] {
        // A decimal of 1..17 significant digits and a random magnitude.
        const int d = digits(random);
        const long long m = mantissa(random) / static_cast<long long>(std::pow(10.0, 17 - d));
        return std::strtod((std::to_string(m) + "e" + std::to_string(exponent(random) - d)).c_str(), nullptr);
    };
    int cases = 0;
    for (int i = 0; i < 20000; ++i) {
        double a = decimal(), b = decimal();
        if (i % 3 == 0) b = a * (1 + unit(random) * 1e-9);  // near-equal operands
        if (i % 7 == 0) b = 0;
        ASSERT_EQ(FastPreciseDifference(a, b), PreciseDifference(a, b)) << a << " - " << b;
        ++cases;
    }
    EXPECT_EQ(cases, 20000);
    EXPECT_EQ(FastPreciseDifference(0.3, 0.1 + 0.2), 0.0);
    EXPECT_EQ(FastPreciseDifference(1e30, 1.0), PreciseDifference(1e30, 1.0));
}

TEST(DecimalDigitsTest, DeviationsOfShortDecimalsAreExactDecimals) {
    // 1000000.1 - 1000000 in binary is 0.1000000000465661...; as decimals, 0.1.
    const DecimalShift shift(1000000.0);
    EXPECT_EQ(shift.Deviation(1000000.1), 0.1L);
    EXPECT_EQ(shift.Deviation(999999.9), -0.1L);
    EXPECT_EQ(DecimalShift(0.3).Deviation(0.1), -0.2L);
    // Not a short decimal: the binary value less the shift's value.
    const double third = 1.0 / 3.0;
    EXPECT_EQ(DecimalShift(1.0).Deviation(third), static_cast<long double>(third) - 1.0L);
    EXPECT_EQ(DecimalShift(0.1).Value(), 0.1L);
    EXPECT_EQ(DecimalShift(third).Value(), static_cast<long double>(third));
}

// Weighted rows (x, y, w): (1, 1, 1), (2, 3, 1), (3, 2, 2) with an intercept.
// By hand: X'WX = [4 9; 9 23], X'Wy = (8, 19), determinant 11, so
// a = 13/11, b = 4/11, residuals -6/11, 12/11, -3/11, SSE = 198/121 = 18/11,
// (X'WX)^-1 = [23 -9; -9 4] / 11, and x about its weighted mean 23 - 81/4.
TEST(GivensLeastSquaresTest, WeightedLineMatchesTheHandWorkedFit) {
    GivensLeastSquares qr;
    qr.Reset(2);
    const double rows[][3] = {{1, 1, 1}, {2, 3, 1}, {3, 2, 2}};
    for (const auto& r : rows) {
        long double x[2] = {1, r[0]};
        qr.Include(r[2], x, r[1]);
    }
    std::vector<long double> b;
    ASSERT_TRUE(qr.Solve(b));
    EXPECT_NEAR(static_cast<double>(b[0]), 13.0 / 11, 1e-17);
    EXPECT_NEAR(static_cast<double>(b[1]), 4.0 / 11, 1e-17);
    EXPECT_NEAR(static_cast<double>(qr.ResidualSs()), 18.0 / 11, 1e-17);
    EXPECT_NEAR(static_cast<double>(qr.D(0)), 4, 1e-17);
    EXPECT_NEAR(static_cast<double>(qr.ColumnSs(1, 1)), 23 - 81.0 / 4, 1e-16);
    EXPECT_NEAR(static_cast<double>(qr.ColumnSs(1, 0)), 23, 1e-15);
    // The covariance's diagonal: Rbar^-1 D^-1 Rbar^-T.
    std::vector<long double> t;
    qr.InverseRbar(t);
    const long double v00 = t[0] * t[0] / qr.D(0) + t[1] * t[1] / qr.D(1);
    const long double v11 = t[3] * t[3] / qr.D(1);
    EXPECT_NEAR(static_cast<double>(v00), 23.0 / 11, 1e-16);
    EXPECT_NEAR(static_cast<double>(v11), 4.0 / 11, 1e-16);
}

TEST(GivensLeastSquaresTest, RowOrderDoesNotMatterAndACopiedColumnLeavesNoPivot) {
    // y = 2 + 3x - x^2 exactly, rows in two orders: the same factor's solution
    // and no residual.
    const double xs[] = {-2, -1, 0, 1, 2, 3, 4};
    for (int order = 0; order < 2; ++order) {
        GivensLeastSquares qr;
        qr.Reset(3);
        for (int i = 0; i < 7; ++i) {
            const double x = xs[order == 0 ? i : 6 - i];
            long double row[3] = {1, x, x * x};
            qr.Include(1, row, 2 + 3 * x - x * x);
        }
        std::vector<long double> b;
        ASSERT_TRUE(qr.Solve(b));
        EXPECT_NEAR(static_cast<double>(b[0]), 2, 1e-17);
        EXPECT_NEAR(static_cast<double>(b[1]), 3, 1e-17);
        EXPECT_NEAR(static_cast<double>(b[2]), -1, 1e-17);
        EXPECT_LT(static_cast<double>(qr.ResidualSs()), 1e-30);
    }
    // A column twice another: its pivot is nothing beside its sum of squares.
    GivensLeastSquares qr;
    qr.Reset(3);
    for (double x : xs) {
        long double row[3] = {1, x, 2 * x};
        qr.Include(1, row, x);
    }
    EXPECT_LE(qr.D(2), qr.ColumnSs(2, 1) * 1e-30L);
}

TEST(HeldRowsTest, RecordsComeBackInOrderFromMemoryAndFromTheTemporaryFile) {
    // Two numbers a record, at most three records in memory.
    HeldRows held(2, 6);
    for (int group = 0; group < 2; ++group) {
        held.Clear();
        const int records = group == 0 ? 10 : 2;
        for (int i = 0; i < records; ++i) {
            const double v[2] = {static_cast<double>(i), i * 0.5 + group};
            held.Append(v);
        }
        int next = 0;
        held.ForEach([&](const double* v) {
            EXPECT_EQ(v[0], next);
            EXPECT_EQ(v[1], next * 0.5 + group);
            ++next;
        });
        EXPECT_EQ(next, records);
    }
}

}  // namespace
