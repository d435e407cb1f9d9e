// The measures of the correlation matrix for one pair of fields, from the
// pair's weighted moments over the records where both values are valid.
#pragma once

#include <cstdint>
#include <optional>

#include "numeric/WeightedMoments.h"

class CZValue;

// In the order of the options text and of the result rows.
enum class MatrixMeasure { Count = 1, Missing, MeanDiff, StdDevDiff, Covariance, Correlation, RSquare, TValue, Prob };

// The measure of the cell whose row field is `rowSide` of the pair: +1 the
// pair's x, -1 its y, 0 the field paired with itself. records is the
// group's record count (for Missing); oneTail halves the t probability.
// Empty when the pair has too few records or no spread for the measure; an
// infinity when the measure is beyond the largest Double.
std::optional<double> PairMeasure(MatrixMeasure k, const WeightedCoMoments& p, int rowSide, int32_t records,
                                  bool oneTail, CZValue& prob);
