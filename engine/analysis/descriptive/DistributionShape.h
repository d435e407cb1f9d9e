// Skewness and kurtosis of a weighted sample from its central moments: the
// adjusted Fisher-Pearson coefficients G1 and G2 with their standard errors.
#pragma once

#include <optional>

struct DistributionShape {
    double skewness = 0;
    double seSkewness = 0;
    std::optional<double> kurtosis;  // needs more than three observations
    std::optional<double> seKurtosis;
};

// n: the weight of the sample (above 2); M3, M4: the central sums
// sum w (x - mean)^3 and ^4; s2 and s: the sample variance (N-1) and its
// square root (above 0). n, M3 and M4 may be held divided by one power of
// two, unit being what a weight of 1 is held as: every term is a ratio of
// like powers of n, so each result keeps its digits wherever a Double holds it.
DistributionShape ShapeFromCentred(double n, double M3, double M4, double s2, double s, double unit = 1);
