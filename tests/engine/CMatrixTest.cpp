// Gauss-Jordan inversion, checked against inverses worked by hand.
#include <gtest/gtest.h>

#include <cmath>
#include <initializer_list>
#include <vector>

#include "numeric/CMatrix.h"
#include "vb/VbError.h"

namespace {

// A (rows x cols) working matrix holding M and, when cols > rows, y in its
// last column; B with the identity in its square block.
struct System {
    DoubleArray2D a;
    DoubleArray2D b;
    int rows;
    int cols;

    System(std::initializer_list<std::initializer_list<double>> rowsOfA) {
        rows = static_cast<int>(rowsOfA.size());
        cols = static_cast<int>(rowsOfA.begin()->size());
        a.ReDim(rows, cols);
        b.ReDim(rows, cols);
        int r = 1;
        for (const auto& row : rowsOfA) {
            int c = 1;
            for (double v : row) a(r, c++) = v;
            b(r, r) = 1;
            ++r;
        }
    }

    bool Invert() {
        CMatrix matrix;
        return matrix.Quarn_GaussJordan_b(static_cast<int16_t>(rows), static_cast<int16_t>(cols), a, b, nullptr);
    }

    void ExpectInverse(std::initializer_list<std::initializer_list<double>> expected, double tol) const {
        int r = 1;
        for (const auto& row : expected) {
            int c = 1;
            for (double v : row) {
                EXPECT_NEAR(b(r, c), v, tol) << "B(" << r << ", " << c << ")";
                ++c;
            }
            ++r;
        }
    }

    bool AllFinite() const {
        for (int r = 0; r <= a.RowUpper(); ++r) {
            for (int c = 0; c <= a.ColUpper(); ++c) {
                if (!std::isfinite(a(r, c)) || !std::isfinite(b(r, c))) return false;
            }
        }
        return true;
    }
};

}  // namespace

TEST(CMatrix, OneByOne) {
    System s{{4, 2}};  // M = (4), y = 2
    ASSERT_TRUE(s.Invert());
    EXPECT_EQ(s.b(1, 1), 0.25);
    EXPECT_EQ(s.a(1, 2), 0.5);
}

TEST(CMatrix, ZeroPivotIsExchanged) {
    // (0 2; 2 1): inverse (-0.25 0.5; 0.5 0); with y = (4, 5), x = (1.5, 2).
    System s{{0, 2, 4}, {2, 1, 5}};
    ASSERT_TRUE(s.Invert());
    s.ExpectInverse({{-0.25, 0.5}, {0.5, 0}}, 1e-15);
    EXPECT_NEAR(s.a(1, 3), 1.5, 1e-15);
    EXPECT_NEAR(s.a(2, 3), 2, 1e-15);
    // The square block of A is reduced to the identity.
    EXPECT_EQ(s.a(1, 2), 0);
    EXPECT_EQ(s.a(2, 1), 0);
    EXPECT_NEAR(s.a(1, 1), 1, 1e-15);
    EXPECT_NEAR(s.a(2, 2), 1, 1e-15);
}

TEST(CMatrix, ThreeByThreeWithRightHandSide) {
    // M = (4 -2 1; -2 4 -2; 1 -2 4), det 36, adjugate (12 6 0; 6 15 6; 0 6 12);
    // y = M (1, 1, 1) = (3, 0, 3).
    System s{{4, -2, 1, 3}, {-2, 4, -2, 0}, {1, -2, 4, 3}};
    ASSERT_TRUE(s.Invert());
    s.ExpectInverse({{12 / 36.0, 6 / 36.0, 0}, {6 / 36.0, 15 / 36.0, 6 / 36.0}, {0, 6 / 36.0, 12 / 36.0}}, 1e-14);
    for (int r = 1; r <= 3; ++r) EXPECT_NEAR(s.a(r, 4), 1, 1e-14) << r;
}

TEST(CMatrix, NormalEquationsOfAStraightLine) {
    // x = 1, 2, 3, 4 and y = 2, 4, 5, 8: X'X = (4 10; 10 30), X'y = (19, 57);
    // inverse (30 -10; -10 4)/20, intercept 0 and slope Sxy/Sxx = 9.5/5 = 1.9.
    System s{{4, 10, 19}, {10, 30, 57}};
    ASSERT_TRUE(s.Invert());
    s.ExpectInverse({{1.5, -0.5}, {-0.5, 0.2}}, 1e-14);
    EXPECT_NEAR(s.a(1, 3), 0, 1e-13);
    EXPECT_NEAR(s.a(2, 3), 1.9, 1e-14);
}

TEST(CMatrix, SquareInversionWithoutRightHandSide) {
    // intCols = intRows, as the analysis of variance calls it: (2 1; 1 1) has inverse (1 -1; -1 2).
    System s{{2, 1}, {1, 1}};
    ASSERT_TRUE(s.Invert());
    s.ExpectInverse({{1, -1}, {-1, 2}}, 1e-15);
}

TEST(CMatrix, SingularMatrixFails) {
    System twoEqualRows{{1, 2, 3}, {4, 5, 6}, {1, 2, 3}};
    EXPECT_FALSE(twoEqualRows.Invert());
    System zeroColumn{{0, 1}, {0, 2}};
    EXPECT_FALSE(zeroColumn.Invert());
}

TEST(CMatrix, PivotThreshold) {
    // A pivot of exactly 1e-14 is used as it stands...
    System small{{1e-14, 0}, {0, 1}};
    ASSERT_TRUE(small.Invert());
    EXPECT_NEAR(small.b(1, 1), 1e14, 1);
    // ...below it the rows beneath are searched, and here none qualifies.
    System tooSmall{{9.9e-15, 0}, {0, 1}};
    EXPECT_FALSE(tooSmall.Invert());
    // A pivot below 1e-14 is exchanged for the first usable row: (9.9e-15 1; 1 1).
    System exchanged{{9.9e-15, 1}, {1, 1}};
    ASSERT_TRUE(exchanged.Invert());
    exchanged.ExpectInverse({{-1, 1}, {1, 0}}, 1e-13);
}

TEST(CMatrix, LargeMagnitudesUseDoubleArithmetic) {
    // Entries above 1e27 cannot be held in decimal: diag(1e30, 2e30) still inverts.
    System s{{1e30, 0}, {0, 2e30}};
    ASSERT_TRUE(s.Invert());
    EXPECT_DOUBLE_EQ(s.b(1, 1), 1e-30);
    EXPECT_DOUBLE_EQ(s.b(2, 2), 5e-31);
}

TEST(CMatrix, OverflowFailsWithoutWritingInfinities) {
    // Scaling the first row by 1/1e-14 takes 1e300 out of range.
    System s{{1e-14, 1e300}, {1e300, 1}};
    EXPECT_FALSE(s.Invert());
    EXPECT_TRUE(s.AllFinite());
}

TEST(CMatrix, ArraysSmallerThanTheCountsRaiseSubscriptOutOfRange) {
    DoubleArray2D a(2, 2), b(2, 2);
    a(1, 1) = a(2, 2) = b(1, 1) = b(2, 2) = 1;
    CMatrix matrix;
    try {
        matrix.Quarn_GaussJordan_b(3, 3, a, b, nullptr);
        FAIL() << "no error";
    } catch (const vb::VbError& e) {
        EXPECT_EQ(e.Number(), vb::err::kSubscriptOutOfRange);
    }
}
