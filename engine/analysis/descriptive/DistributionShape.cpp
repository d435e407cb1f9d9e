// Skewness and kurtosis from the central moments.
#include "analysis/descriptive/DistributionShape.h"

#include <cmath>

#include "numeric/Numerics.h"

DistributionShape ShapeFromCentred(double n, double M3, double M4, double s2, double s, double unit) {
    DistributionShape shape;
    shape.skewness = n * M3 / ((n - unit) * (n - 2 * unit) * s2 * s);
    shape.seSkewness = std::sqrt(6 * unit * n * (n - unit) / ((n - 2 * unit) * (n + unit) * (n + 3 * unit)));
    if (n > 3 * unit) {
        shape.kurtosis =
            PreciseDifference(n * (n + unit) * M4 / (s2 * s2 * (n - unit) * (n - 2 * unit) * (n - 3 * unit)),
                              3 * (n - unit) * (n - unit) / ((n - 2 * unit) * (n - 3 * unit)));
        const double seSkew = shape.seSkewness;
        shape.seKurtosis = std::sqrt(seSkew * seSkew * 4 * (n * n - unit * unit) / ((n - 3 * unit) * (n + 5 * unit)));
    }
    return shape;
}
