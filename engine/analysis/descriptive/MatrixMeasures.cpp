// The measures of the correlation matrix for one pair of fields.
#include "analysis/descriptive/MatrixMeasures.h"

#include <cmath>

#include "numeric/CZValue.h"
#include "numeric/Numerics.h"

std::optional<double> PairMeasure(MatrixMeasure k, const WeightedCoMoments& p, int rowSide, int32_t records,
                                  bool oneTail, CZValue& prob) {
    const int32_t N = p.Count();
    const double W = p.Weight();
    if (k == MatrixMeasure::Count) return W;
    if (k == MatrixMeasure::Missing) return static_cast<double>(records) - N;
    if (!(N >= 2 && W > 0)) return std::nullopt;
    // Mean of the row's field less the column's.
    const double m = rowSide == 0 ? 0.0 : (rowSide > 0 ? p.MeanDifference() : -p.MeanDifference());
    if (k == MatrixMeasure::MeanDiff) return m;
    // Guarded on the weight sum, not the record count: a pair whose weights
    // sum to 1 or less has no spread.
    if (!(W > 1)) return std::nullopt;
    switch (k) {
        case MatrixMeasure::StdDevDiff: {
            const double sdd = p.DifferenceDeviation();
            if (sdd > 0) return sdd;
            return std::nullopt;
        }
        case MatrixMeasure::Covariance:
            return p.Covariance();
        case MatrixMeasure::Correlation:
        case MatrixMeasure::RSquare: {
            const std::optional<double> rho = p.Correlation();
            if (!rho) return std::nullopt;
            return k == MatrixMeasure::Correlation ? *rho : *rho * *rho;
        }
        case MatrixMeasure::TValue:
        case MatrixMeasure::Prob: {
            const std::optional<double> paired = p.PairedT();
            if (!paired) return std::nullopt;
            // Of the row's field less the column's.
            const double t = rowSide == 0 ? 0.0 : (rowSide > 0 ? *paired : -*paired);
            if (k == MatrixMeasure::TValue) return t;
            const double value = prob.Quarn_CalcProb("T", t, W - 1, 0);
            return oneTail ? value / 2 : value;
        }
        default:
            return std::nullopt;
    }
}
