// Decimal deviations: the split of a value into its Double and the
// correction to its decimal, the deviations formed from both parts, and the
// fast decimal subtraction, against decimal text read in the extended type,
// exact integer arithmetic and the general decimal subtraction.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>

#include "numeric/DecimalDeviation.h"
#include "numeric/Numerics.h"

namespace {

TEST(DecimalDeviation, DifferencesOfTypedDecimalsAreTheDecimalDifference) {
    // In binary these give 0.10000000009313226, -0.19999999999999998 and
    // 0.1000366; as the decimals typed they are 0.1, -0.2 and 0.1.
    EXPECT_EQ(DecimalDifference(1000000.3, 1000000.2), 0.1);
    EXPECT_EQ(DecimalDifference(-0.3, -0.1), -0.2);
    EXPECT_EQ(DecimalDifference(1000000000000.4, 1000000000000.3), 0.1);
    EXPECT_EQ(DecimalDifference(5, 5), 0.0);
    // Beyond the fast path's magnitudes the decimal is still recognised.
    EXPECT_DOUBLE_EQ(DecimalDifference(1.3e-10, 1.2e-10), 1e-11);
    EXPECT_EQ(DecimalDifference(2.5e20, 1.5e20), 1e20);
    EXPECT_EQ(DecimalDifference(1e30, 1), 1e30);  // beyond the decimal type: binary

    // The same in the extended type: 1000000.1 - 1000000 is
    // 0.1000000000465661... in binary, 0.1 as decimals.
    const DecimalValue million = SplitDecimal(1000000.0);
    EXPECT_EQ(DecimalDeviationExtended(SplitDecimal(1000000.1), million), 0.1L);
    EXPECT_EQ(DecimalDeviationExtended(SplitDecimal(999999.9), million), -0.1L);
    EXPECT_EQ(DecimalDeviationExtended(SplitDecimal(0.1), SplitDecimal(0.3)), -0.2L);
    EXPECT_EQ(DecimalExtended(SplitDecimal(0.1)), 0.1L);
    EXPECT_EQ(DecimalExtended(SplitDecimal(-1234.5)), -1234.5L);
}

TEST(DecimalDeviation, CorrectionIsTheDecimalLessTheDouble) {
    // Random decimals of up to 15 digits over the magnitudes of both paths;
    // the reference is the decimal text read in the extended type.
    std::mt19937_64 random(19);
    for (int i = 0; i < 20000; ++i) {
        const long long digits = static_cast<long long>(random() % 999999999999999ULL) + 1;
        const int exponent = static_cast<int>(random() % 36) - 24;  // 1e-24 .. 1e26 in all
        char text[64];
        std::snprintf(text, sizeof text, "%s%llde%d", random() % 2 ? "-" : "", digits, exponent);
        const double x = std::strtod(text, nullptr);
        if (std::fabs(x) < 1e-14) continue;  // below the decimal type: no correction
        const double expected = static_cast<double>(std::strtold(text, nullptr) - static_cast<long double>(x));
        const DecimalValue split = SplitDecimal(x);
        EXPECT_EQ(split.value, x);
        EXPECT_NEAR(split.correction, expected, std::fabs(x) * 1e-19) << text;
    }
}

TEST(DecimalDeviation, ExtendedDeviationsOfNearbyDecimalsAreExactToTheExtendedType) {
    // x = mx 10^-k and s = ms 10^-k with up to 15 digits each and close
    // together: the exact deviation is (mx - ms) 10^-k, an integer below 2^64
    // over a power of ten held exactly in the extended type, so one division
    // gives its correctly rounded value.
    std::mt19937_64 random(20261208);
    for (int i = 0; i < 20000; ++i) {
        const int k = static_cast<int>(random() % 23);  // values from about 1e-8 to 1e15
        const long long ms = static_cast<long long>(random() % 900000000000000ULL) + 100000000000000LL;
        const long long spread = 1LL << (random() % 40);
        const long long mx =
            ms + static_cast<long long>(random() % static_cast<unsigned long long>(2 * spread)) - spread;
        if (mx < 100000000000000LL || mx > 999999999999999LL) continue;
        const double x = std::strtod((std::to_string(mx) + "e-" + std::to_string(k)).c_str(), nullptr);
        const double s = std::strtod((std::to_string(ms) + "e-" + std::to_string(k)).c_str(), nullptr);
        const long double exact = static_cast<long double>(mx - ms) / std::pow(10.0L, k);
        const long double got = DecimalDeviationExtended(SplitDecimal(x), SplitDecimal(s));
        // The corrections carry a Double's rounding of their own size, some
        // 2^-105 of the values; the rest is the extended type's last place.
        const long double tolerance = std::fabs(exact) * 0x1p-62L + std::fabs(static_cast<long double>(x)) * 0x1p-100L;
        ASSERT_LE(std::fabs(got - exact), tolerance) << mx << "e-" << k << " - " << ms << "e-" << k;
        // In Double: an integer below 2^53 over an exact power of ten is the
        // correctly rounded deviation; the corrections' own rounding may move
        // a deviation a million times smaller than the values by one place.
        const double exactDouble = static_cast<double>(mx - ms) / std::pow(10.0, k);
        const double gotDouble = DecimalDeviation(SplitDecimal(x), SplitDecimal(s));
        ASSERT_LE(std::fabs(gotDouble - exactDouble), std::fabs(exactDouble) * 0x1p-52 + std::fabs(x) * 0x1p-100)
            << mx << "e-" << k << " - " << ms << "e-" << k;
    }
}

TEST(DecimalDeviation, ValuesWithMoreThanFifteenDigitsKeepTheirBinaryValue) {
    const double third = 1.0 / 3;
    EXPECT_EQ(SplitDecimal(third).correction, 0.0);
    EXPECT_EQ(DecimalDifference(third, 0), third);
    EXPECT_EQ(DecimalExtended(SplitDecimal(third)), static_cast<long double>(third));
    EXPECT_EQ(DecimalDeviationExtended(SplitDecimal(third), SplitDecimal(1.0)), static_cast<long double>(third) - 1.0L);
    // 0.1 + 0.2 is not the Double nearest 0.3, nor that of any other short decimal.
    EXPECT_EQ(SplitDecimal(0.1 + 0.2).correction, 0.0);
    // 2^53 + 2 has 16 digits: cutting it to 15 would move it by 6.
    EXPECT_EQ(DecimalDifference(9007199254740994.0, 9007199254740990.0), 4.0);
    EXPECT_EQ(SplitDecimal(0.0).correction, 0.0);
}

TEST(DecimalDigits15, MantissaAndScaleOfTheFifteenDigitDecimal) {
    int64_t m = 0;
    int e = 0;
    ASSERT_TRUE(DecimalDigits15(0.1, m, e));
    EXPECT_EQ(m, 100000000000000);
    EXPECT_EQ(e, 15);
    ASSERT_TRUE(DecimalDigits15(-1234.5, m, e));
    EXPECT_EQ(m, -123450000000000);
    EXPECT_EQ(e, 11);
    ASSERT_TRUE(DecimalDigits15(123456789012345.0, m, e));
    EXPECT_EQ(m, 123456789012345);
    EXPECT_EQ(e, 0);
    ASSERT_TRUE(DecimalDigits15(0.0, m, e));
    EXPECT_EQ(m, 0);
    // 0.30000000000000004 cut to 15 digits is 0.3.
    ASSERT_TRUE(DecimalDigits15(0.1 + 0.2, m, e));
    EXPECT_EQ(m, 300000000000000);
    EXPECT_EQ(e, 15);
    // Computed values whose product with 10^scale rounds to a Double exactly
    // halfway between two integers (one value in nine here): the part lost
    // in that rounding decides, as in the decimal text of the value.
    const struct {
        double x;
        int64_t mantissa;
    } halfway[] = {{544.2170983766945, 544217098376694},   // 544217098376694.5 - 0.0199...
                   {57.943928606254154, 579439286062542},  // 579439286062541.5 + 0.0409...
                   {-929.7256642779236, -929725664277924}};
    for (const auto& h : halfway) {
        ASSERT_TRUE(DecimalDigits15(h.x, m, e)) << h.x;
        EXPECT_EQ(m, h.mantissa);
    }
    // 10^14 + 0.5 lies exactly halfway between two 15-digit decimals: left
    // to the general route, as are magnitudes outside the fast range.
    EXPECT_FALSE(DecimalDigits15(100000000000000.5, m, e));
    EXPECT_FALSE(DecimalDigits15(1234567890123456.0, m, e));
    EXPECT_FALSE(DecimalDigits15(1e-9, m, e));
}

TEST(DecimalDigits15, FastDifferenceAgreesWithTheGeneralDecimalSubtraction) {
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
    for (int i = 0; i < 20000; ++i) {
        double a = decimal(), b = decimal();
        if (i % 3 == 0) b = a * (1 + unit(random) * 1e-9);  // near-equal operands
        if (i % 7 == 0) b = 0;
        ASSERT_EQ(PreciseDifference(a, b), DecimalTypeDifference(a, b)) << a << " - " << b;
    }
    // Powers of ten whose Double lies below them, midpoints, the ends of the
    // fast range and operands beyond it.
    const double edges[] = {1e-6,
                            1e-8,
                            9.99999999999999e14,
                            999999999999999.7,
                            100000000000000.5,
                            1e15,
                            1e-9,
                            0.1 + 0.2,
                            1.0 / 3,
                            2.5e-8,
                            -1e-6,
                            1e30,
                            123456.7890123456,
                            0.0,
                            4503599627370497.0};
    for (double a : edges) {
        for (double b : edges) ASSERT_EQ(PreciseDifference(a, b), DecimalTypeDifference(a, b)) << a << " - " << b;
    }
    EXPECT_EQ(PreciseDifference(0.3, 0.1 + 0.2), 0.0);
}

}  // namespace
