// The arithmetic of the group analyses, apart from any table: the cell
// accumulators, the detail measures of a cell, the two-sample t-tests of a
// pair of cells and the rows of an analysis-of-variance table.
#pragma once

#include <algorithm>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

class CZValue;
class Quantara;

// The sums of the records that reached one cell (or one data field).
struct CellSums {
    int32_t count = 0;      // records
    double weights = 0;     // sum of weights: the cell's n
    double minimum = 0;     // smallest value (unweighted)
    double maximum = 0;     // largest value (unweighted)
    double sum = 0;         // sum of w x
    double sumSquares = 0;  // sum of w x^2

    void Add(double x, double w) {
        if (count == 0) minimum = maximum = x;
        if (!(x >= minimum)) minimum = x;
        if (x > maximum) maximum = x;
        ++count;
        weights += w;
        sum += x * w;
        sumSquares += x * x * w;
    }
    // Minimum and maximum are left: the first record of a cell sets them.
    void Clear() {
        count = 0;
        weights = 0;
        sum = 0;
        sumSquares = 0;
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

// The two-way cells of one pair of compare fields for one data field:
// n(i, j) sums of weights, t(i, j) sums of w x, value numbers from 1.
struct PairCells {
    int rows = 0, cols = 0;  // value counts of the two fields
    std::vector<double> n, t;
    void Resize(int r, int c) {
        rows = r;
        cols = c;
        n.assign(static_cast<size_t>((r + 1) * (c + 1)), 0.0);
        t.assign(n.size(), 0.0);
    }
    void Clear() {
        std::fill(n.begin(), n.end(), 0.0);
        std::fill(t.begin(), t.end(), 0.0);
    }
    size_t At(int i, int j) const { return static_cast<size_t>(i * (cols + 1) + j); }
};

// The fitted (uncorrected) sum of squares of the additive model of the two
// factors, by fitting constants. Values of either factor without weight in
// these cells are left out before the normal equations are built. 0 is
// added for the adjustment when the equations cannot be solved.
double TwoWayAdditiveFit(const PairCells& cells, Quantara* zantels);

// Interaction facts of one pair for one data field.
struct PairInteraction {
    double dfInter = 0;        // interaction degrees of freedom, less one per empty cell
    double cellSS = 0;         // sum of T_ij^2 / n_ij over the non-empty cells
    double adj = 0;            // fitted sum of the model without interaction
    bool noVariation = false;  // no variation inside the cells (as with one record each)
};
// mA, mB: values of each field with weight for this data field.
PairInteraction CalcTwoWayAnova(const PairCells& cells, int mA, int mB, Quantara* zantels);

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
                                 Quantara* zantels);
