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
    // The central sums are held scaled (values far from zero): the scale-free
    // correlation and t come from the scaled sums, the rest is scaled back.
    const int e = p.ScaleExponentDifference();
    const double spread = p.ScaledMdd() > 0 ? p.ScaledMdd() / (W - 1) : 0.0;
    switch (k) {
        case MatrixMeasure::StdDevDiff:
            if (spread > 0) return std::ldexp(std::sqrt(spread), e);
            return std::nullopt;
        case MatrixMeasure::Covariance:
            return std::ldexp(p.ScaledMxy() / (W - 1), p.ScaleExponentX() + p.ScaleExponentY());
        case MatrixMeasure::Correlation:
        case MatrixMeasure::RSquare: {
            const std::optional<double> rho = CorrelationFromCentred(p.ScaledMxx(), p.ScaledMyy(), p.ScaledMxy());
            if (!rho) return std::nullopt;
            return k == MatrixMeasure::Correlation ? *rho : *rho * *rho;
        }
        case MatrixMeasure::TValue:
        case MatrixMeasure::Prob: {
            if (!(spread > 0)) return std::nullopt;
            const double scaledMean =
                rowSide == 0 ? 0.0 : (rowSide > 0 ? p.ScaledMeanDifference() : -p.ScaledMeanDifference());
            const double t = scaledMean / std::sqrt(spread / W);
            if (k == MatrixMeasure::TValue) return t;
            const double value = prob.Quarn_CalcProb("T", t, W - 1, 0);
            return oneTail ? value / 2 : value;
        }
        default:
            return std::nullopt;
    }
}
