#include <gtest/gtest.h>

#include <limits>

#include "vb/Decimal.h"
#include "vb/VbError.h"

using vb::Decimal;

TEST(Decimal, DifferencesOfDoublesAreExactAtFifteenDigits) {
    // In binary 0.1 + 0.2 is 0.30000000000000004; at 15 digits it is 0.3.
    Decimal sum = Decimal::FromDouble(0.1 + 0.2);
    EXPECT_TRUE((Decimal::FromDouble(0.3) - sum).IsZero());
    EXPECT_EQ((Decimal::FromDouble(0.3) - sum).ToDouble(), 0.0);
    // Sum of squares minus n * mean^2 for 1.1, 1.2, 1.3: 4.34 - 3 * 1.44 = 0.02 exactly.
    double sumSquares = 1.1 * 1.1 + 1.2 * 1.2 + 1.3 * 1.3;
    double correction = 3.6 * 3.6 / 3.0;
    EXPECT_EQ((Decimal::FromDouble(sumSquares) - Decimal::FromDouble(correction)).ToString(), "0.02");
}

TEST(Decimal, FromDoubleKeepsFifteenSignificantDigitsRoundingHalfEven) {
    EXPECT_EQ(Decimal::FromDouble(1.0 / 3.0).ToString(), "0.333333333333333");
    EXPECT_EQ(Decimal::FromDouble(2.0 / 3.0).ToString(), "0.666666666666667");
    EXPECT_EQ(Decimal::FromDouble(123456789012345678.0).ToString(), "123456789012346000");
    EXPECT_EQ(Decimal::FromDouble(-2.5).ToString(), "-2.5");
    EXPECT_EQ(Decimal::FromDouble(1e-20).ToString(), "0.00000000000000000001");
    // Beyond 28 decimal places the digits that do not fit are rounded away.
    EXPECT_EQ(Decimal::FromDouble(1.5e-28).ToString(), "0.0000000000000000000000000002");
    EXPECT_TRUE(Decimal::FromDouble(1e-30).IsZero());
}

TEST(Decimal, OverflowAndNonFiniteRaiseError6) {
    try {
        Decimal::FromDouble(1e30);
        FAIL();
    } catch (const vb::VbError& e) {
        EXPECT_EQ(e.Number(), 6);
    }
    EXPECT_THROW(Decimal::FromDouble(std::numeric_limits<double>::infinity()), vb::VbError);
    Decimal big = Decimal::Parse("79228162514264337593543950335");  // 2^96 - 1
    EXPECT_THROW(big + Decimal(1), vb::VbError);
}

TEST(Decimal, AdditionAlignsScalesExactly) {
    EXPECT_EQ((Decimal::Parse("1000000000000") + Decimal::Parse("0.000000000001")).ToString(),
              "1000000000000.000000000001");
    EXPECT_EQ((Decimal::Parse("-5.25") + Decimal::Parse("2.75")).ToString(), "-2.5");
    EXPECT_EQ((Decimal::Parse("2.75") - Decimal::Parse("2.75")).ToString(), "0");
    // 28 digits after the point plus a large whole part: digits beyond 96 bits round away.
    Decimal sum = Decimal::Parse("10000000000000000000") + Decimal::Parse("0.0000000000000000000000000001");
    EXPECT_EQ(sum.ToString(), "10000000000000000000");
}

TEST(Decimal, ComparisonAndParse) {
    EXPECT_LT(Decimal::Parse("1.10"), Decimal::Parse("1.2"));
    EXPECT_EQ(Decimal::Parse("1.10"), Decimal::Parse("1.1"));
    EXPECT_GT(Decimal::Parse("-1"), Decimal::Parse("-1.5"));
    EXPECT_THROW(Decimal::Parse("1,5"), vb::VbError);
    EXPECT_THROW(Decimal::Parse(""), vb::VbError);
    EXPECT_DOUBLE_EQ(Decimal::Parse("-12.625").ToDouble(), -12.625);
}
