// Skewness and kurtosis from the central moments.
#include "analysis/descriptive/DistributionShape.h"

#include <cmath>

#include "numeric/Numerics.h"

DistributionShape ShapeFromCentred(double n, double M3, double M4, double s2, double s, double unit) {
    // The moments taken by the power of two nearest s to the power of each
    // (exact), so that s^3 and s^4 neither overflow nor fall below the
    // smallest normal Double where the ratios themselves are finite: a value
    // of weight far below the others' gives a spread far below its own
    // deviation.
    const int k = std::ilogb(s);
    s = std::ldexp(s, -k);
    s2 = std::ldexp(s2, -2 * k);
    M3 = std::ldexp(M3, -3 * k);
    M4 = std::ldexp(M4, -4 * k);
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
