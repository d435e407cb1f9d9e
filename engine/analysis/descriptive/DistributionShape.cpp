// Skewness and kurtosis from the central moments.
#include "analysis/descriptive/DistributionShape.h"

#include <cmath>

#include "numeric/Numerics.h"

DistributionShape ShapeFromCentred(double n, double M3, double M4, double s2, double s) {
    DistributionShape shape;
    shape.skewness = n * M3 / ((n - 1) * (n - 2) * s2 * s);
    shape.seSkewness = std::sqrt(6 * n * (n - 1) / ((n - 2) * (n + 1) * (n + 3)));
    if (n > 3) {
        shape.kurtosis = PreciseDifference(n * (n + 1) * M4 / (s2 * s2 * (n - 1) * (n - 2) * (n - 3)),
                                           3 * (n - 1) * (n - 1) / ((n - 2) * (n - 3)));
        const double seSkew = shape.seSkewness;
        shape.seKurtosis = std::sqrt(seSkew * seSkew * 4 * (n * n - 1) / ((n - 3) * (n + 5)));
    }
    return shape;
}
