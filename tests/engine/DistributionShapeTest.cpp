// Skewness and kurtosis from central moments, against the moment-ratio forms
// g1 = m3 / m2^1.5 and g2 = m4 / m2^2 - 3 adjusted by their textbook factors.
#include <gtest/gtest.h>

#include <cmath>

#include "analysis/descriptive/DistributionShape.h"

namespace {

TEST(DistributionShape, SmallSampleMatchesTheMomentRatioForms) {
    // x = 1 2 3 10: mean 4, central sums M2 = 50, M3 = 180, M4 = 1394.
    const double n = 4, M2 = 50, M3 = 180, M4 = 1394;
    const double s2 = M2 / (n - 1);
    const DistributionShape shape = ShapeFromCentred(n, M3, M4, s2, std::sqrt(s2));

    const double m2 = M2 / n, m3 = M3 / n, m4 = M4 / n;
    const double g1 = m3 / std::pow(m2, 1.5);
    const double g2 = m4 / (m2 * m2) - 3;
    // G1 = g1 sqrt(n (n - 1)) / (n - 2); G2 = ((n + 1) g2 + 6) (n - 1) / ((n - 2) (n - 3))
    EXPECT_NEAR(shape.skewness, g1 * std::sqrt(n * (n - 1)) / (n - 2), 1e-12);  // 1.763633
    ASSERT_TRUE(shape.kurtosis.has_value());
    EXPECT_NEAR(*shape.kurtosis, ((n + 1) * g2 + 6) * (n - 1) / ((n - 2) * (n - 3)), 1e-12);  // 3.228
    // SES = sqrt(6 n (n - 1) / ((n - 2) (n + 1) (n + 3))), SEK = 2 SES sqrt((n^2 - 1) / ((n - 3) (n + 5)))
    EXPECT_NEAR(shape.seSkewness, std::sqrt(72.0 / 70), 1e-12);
    ASSERT_TRUE(shape.seKurtosis.has_value());
    EXPECT_NEAR(*shape.seKurtosis, 2 * std::sqrt(72.0 / 70) * std::sqrt(15.0 / 9), 1e-12);
}

TEST(DistributionShape, ThreeObservationsHaveNoKurtosis) {
    // x = 1 2 6: mean 3, M2 = 14, M3 = 18, M4 = 98.
    const double s2 = 14.0 / 2;
    const DistributionShape shape = ShapeFromCentred(3, 18, 98, s2, std::sqrt(s2));
    EXPECT_FALSE(shape.kurtosis.has_value());
    EXPECT_FALSE(shape.seKurtosis.has_value());
    // g1 = 6 / (14 / 3)^1.5, G1 = g1 sqrt(6)
    EXPECT_NEAR(shape.skewness, 6 / std::pow(14.0 / 3, 1.5) * std::sqrt(6.0), 1e-12);
}

}  // namespace
