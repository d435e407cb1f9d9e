// The arithmetic of the group analyses, apart from any table: the cell
// accumulators, the detail measures of a cell, the two-sample t-tests of a
// pair of cells and the rows of an analysis-of-variance table.
#pragma once

#include <algorithm>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "numeric/WeightedMoments.h"

class CZValue;
class RunContext;

// The records that reached one cell (or one data field): their number,
// bounds, sum and moments.
struct CellSums {
    int32_t count = 0;        // records
    double minimum = 0;       // smallest value (unweighted)
    double maximum = 0;       // largest value (unweighted)
    WeightedMoments moments;  // sum of weights (the cell's n), of w x, mean, central sum of squares

    double Weights() const { return moments.Weight(); }
    double Sum() const { return moments.SumOfProducts(); }
    void Add(const DecimalValue& x, double w) {
        if (count == 0) minimum = maximum = x.value;
        if (!(x.value >= minimum)) minimum = x.value;
        if (x.value > maximum) maximum = x.value;
        ++count;
        moments.Add(x, w);
    }
    void Add(double x, double w) { Add(SplitDecimal(x), w); }
    // Minimum and maximum are left: the first record of a cell sets them.
    void Clear() {
        count = 0;
        moments.Clear();
    }
};

// Descriptive measures of one cell; an empty optional is a Null cell.
struct DetailMeasures {
    double mean = 0, range = 0, variance = 0, stdDeviation = 0, stdError = 0;
    std::optional<double> coeffOfVariance;
};
// Only for a cell whose sum of weights is above 0.
DetailMeasures CellDetail(const CellSums& c);

// One row of the two-sample t-test table.
struct TTestRow {
    double n1 = 0, n2 = 0, mean1 = 0, mean2 = 0, meanDiff = 0;
    double sd1 = 0, sd2 = 0, se1 = 0, se2 = 0;
    std::optional<double> dfPooled, tPooled, probPooled;
    std::optional<double> dfSeparate, tSeparate, probSeparate;
};
// Pooled-variance and separate-variance (Welch) tests of the first cell
// against the second. Both sums of weights must exceed 1.
TTestRow TwoSampleTTest(const CellSums& first, const CellSums& second, CZValue& z);

// The two-way cells of one pair of compare fields for one data field,
// value numbers from 1: the moments of each cell and, to tell cells whose
// values sum to 0 apart, their raw sums of w x.
struct PairCells {
    int rows = 0, cols = 0;  // value counts of the two fields
    std::vector<WeightedMoments> cell;
    std::vector<double> rawSum;
    void Resize(int r, int c) {
        rows = r;
        cols = c;
        cell.assign(static_cast<size_t>((r + 1) * (c + 1)), WeightedMoments());
        rawSum.assign(cell.size(), 0.0);
    }
    void Clear() {
        for (WeightedMoments& m : cell) m.Clear();
        std::fill(rawSum.begin(), rawSum.end(), 0.0);
    }
    size_t At(int i, int j) const { return static_cast<size_t>(i * (cols + 1) + j); }
};

// A pair's cells reduced about the field's mean: n(i, j) sums of weights,
// t(i, j) sums of w (x - mean) (each n times the cell's mean less the
// field's), so that every sum of squares formed from them is a corrected one.
// The t are divided by 2^e, e the field's ScaleExponent(), and the sums of
// squares formed from them by 2^2e.
struct CentredCells {
    int rows = 0, cols = 0;
    std::vector<double> n, t;
    size_t At(int i, int j) const { return static_cast<size_t>(i * (cols + 1) + j); }
};
CentredCells CentreCells(const PairCells& cells, const WeightedMoments& field);

// The fitted sum of squares of the additive model of the two factors, by
// fitting constants, about the field's mean. Values of either factor without
// weight in these cells are left out before the normal equations are built.
// 0 is added for the adjustment when the equations cannot be solved.
double TwoWayAdditiveFit(const CentredCells& cells, RunContext* zantels);

// Interaction facts of one pair for one data field; the sums are divided by
// 2^2e as in CentredCells.
struct PairInteraction {
    double dfInter = 0;        // interaction degrees of freedom, less one per empty cell
    double cellSS = 0;         // sum of n_ij (mean_ij - mean)^2 over the non-empty cells
    double adj = 0;            // fitted sum of the model without interaction, about the mean
    double within = 0;         // variation inside the cells
    bool anySum = false;       // a non-empty cell whose raw sum is not 0
    bool noVariation = false;  // no variation inside the cells (as with one record each)
};
// mA, mB: values of each field with weight for this data field.
PairInteraction CalcTwoWayAnova(const PairCells& cells, const WeightedMoments& field, int mA, int mB,
                                RunContext* zantels);

// One row of the analysis-of-variance table.
struct AnovaRow {
    std::string source;
    double df = 0;
    double ss = 0;
    std::optional<double> meanSquare, fValue, prob;
};

// The rows of one data field. field: all accepted records of the field;
// oneWay[c][j]: cell of compare field c (0-based) and value j (1-based;
// entry 0 unused); pairs: the two-way cells of every pair in the order
// (1,2), (1,3), ..., (2,3), ... (empty with one compare field); names: the
// compare fields' names. Empty when the field is not analysed.
std::vector<AnovaRow> AnovaTable(const CellSums& field, const std::vector<std::vector<CellSums>>& oneWay,
                                 const std::vector<PairCells>& pairs, const std::vector<std::string>& names, CZValue& z,
                                 RunContext* zantels);
