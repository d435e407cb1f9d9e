#include "analysis/regression/AnovaMath.h"

#include <algorithm>
#include <cmath>

#include "ErrorStack.h"
#include "numeric/CMatrix.h"
#include "numeric/CZValue.h"
#include "numeric/DoubleArray2D.h"
#include "numeric/Numerics.h"

DetailMeasures CellDetail(const CellSums& c) {
    DetailMeasures d;
    d.mean = c.moments.Mean();
    d.range = ValueDifference(c.maximum, c.minimum);
    const WeightedMoments::Deviation spread = c.moments.Deviations("N-1");
    d.variance = spread.variance;
    d.stdDeviation = spread.stdDeviation;
    d.stdError = spread.stdError;
    if (c.Sum() != 0) d.coeffOfVariance = spread.coeffOfVariance;
    return d;
}

TTestRow TwoSampleTTest(const CellSums& first, const CellSums& second, CZValue& z) {
    TTestRow r;
    double var1 = 0;
    double var2 = 0;
    r.n1 = first.Weights();
    r.n2 = second.Weights();
    r.mean1 = first.moments.Mean();
    r.mean2 = second.moments.Mean();
    const WeightedMoments::Deviation d1 = first.moments.Deviations("N-1");
    const WeightedMoments::Deviation d2 = second.moments.Deviations("N-1");
    r.sd1 = d1.stdDeviation;
    r.sd2 = d2.stdDeviation;
    r.se1 = d1.stdError;
    r.se2 = d2.stdError;
    r.meanDiff = first.moments.MeanLess(second.moments);

    // The tests are formed with both cells' sums and the mean difference
    // divided by one power of two (2^e, 2^2e), and their weights by another
    // (2^we, even): t is free of the first and takes half of the second, the
    // degrees of freedom take the second, and values and weights far from 1
    // neither overflow nor lose their squares.
    const int e = WeightedMoments::CommonScale(first.moments, second.moments);
    const int we = std::max(first.moments.WeightExponent(), second.moments.WeightExponent());
    const double unit = std::ldexp(1.0, -we);  // a weight of 1, held
    const double n1 = first.moments.HeldWeightAt(we);
    const double n2 = second.moments.HeldWeightAt(we);
    const double m2First = first.moments.M2At(e, we);
    const double m2Second = second.moments.M2At(e, we);
    const double meanDiff = first.moments.MeanLessAt(second.moments, e);
    VarianceFromCentred("N-1", n1, m2First, var1, unit);
    VarianceFromCentred("N-1", n2, m2Second, var2, unit);

    // Pooled variance: one variance common to both values.
    const double pooled = (m2Second + m2First) / ((n2 - unit) + (n1 - unit));
    if (pooled > 0) {
        const double se = std::sqrt(pooled / n2 + pooled / n1);
        const double df = std::ldexp(n2 + n1 - 2 * unit, we);
        r.dfPooled = df;
        r.tPooled = std::ldexp(meanDiff / se, we / 2);
        r.probPooled = z.Quarn_CalcProb("T", *r.tPooled, df, 0);
    }
    // Separate variances, Welch-Satterthwaite degrees of freedom (kept fractional).
    const double v1 = var1 / n1;
    const double v2 = var2 / n2;
    const double v = v2 + v1;
    if (v > 0) {
        // Formed with v1, v2 and v taken near 1 by one power of two: samples
        // at weight scales far apart give shares whose squares overflow.
        const int ev = std::ilogb(v);
        const double s1 = std::ldexp(v1, -ev), s2 = std::ldexp(v2, -ev), s = std::ldexp(v, -ev);
        const double df = std::ldexp(s * s / (s1 * s1 / (n1 - unit) + s2 * s2 / (n2 - unit)), we);
        r.dfSeparate = df;
        r.tSeparate = std::ldexp(meanDiff / std::sqrt(v), we / 2);
        r.probSeparate = z.Quarn_CalcProb("T", *r.tSeparate, df, 0);
    }
    return r;
}

CentredCells CentreCells(const PairCells& cells, const WeightedMoments& field) {
    const int e = field.ScaleExponent();
    CentredCells c;
    c.rows = cells.rows;
    c.cols = cells.cols;
    c.n.assign(cells.cell.size(), 0.0);
    c.t.assign(cells.cell.size(), 0.0);
    for (size_t at = 0; at < cells.cell.size(); ++at) {
        const WeightedMoments& m = cells.cell[at];
        if (m.Count() == 0) continue;
        c.n[at] = m.Weight();
        c.t[at] = m.Weight() * m.MeanLessAt(field, e);
    }
    return c;
}

namespace {

// Each factor's sums over its values (from 1): the sums of weights n and of
// centred values t, A the rows' factor, B the columns'.
struct FactorSums {
    std::vector<double> nA, tA, nB, tB;
};

FactorSums SumFactors(const CentredCells& cells) {
    const int r = cells.rows;
    const int s = cells.cols;
    FactorSums f;
    f.nA.assign(static_cast<size_t>(r + 1), 0.0);
    f.tA.assign(f.nA.size(), 0.0);
    f.nB.assign(static_cast<size_t>(s + 1), 0.0);
    f.tB.assign(f.nB.size(), 0.0);
    for (int i = 1; i <= r; ++i) {
        for (int j = 1; j <= s; ++j) {
            const size_t at = cells.At(i, j);
            f.nA[static_cast<size_t>(i)] += cells.n[at];
            f.tA[static_cast<size_t>(i)] += cells.t[at];
            f.nB[static_cast<size_t>(j)] += cells.n[at];
            f.tB[static_cast<size_t>(j)] += cells.t[at];
        }
    }
    return f;
}

// The values (from 1) whose sum of weights is above 0.
std::vector<int> ValuesWithWeight(const std::vector<double>& n) {
    std::vector<int> values;
    for (int v = 1; v < static_cast<int>(n.size()); ++v)
        if (n[static_cast<size_t>(v)] > 0) values.push_back(v);
    return values;
}

// q' A^-1 q, A^-1 given as inv (1-based, d by d).
double QuadraticForm(const DoubleArray2D& inv, const std::vector<double>& q, int d) {
    double quadratic = 0;
    for (int m = 1; m <= d; ++m) {
        double row = 0;
        for (int o = 1; o <= d; ++o) row += inv(o, m) * q[static_cast<size_t>(o)];
        quadratic += q[static_cast<size_t>(m)] * row;
    }
    return quadratic;
}

}  // namespace

double TwoWayAdditiveFit(const CentredCells& cells, RunContext* zantels) {
    ProcScope scope(ErrStack(), "CalcTwoWayAdjust");
    const FactorSums f = SumFactors(cells);
    // The reduced factor P is the one with fewer values (b on equal counts);
    // Q is the other. Only values with weight take part: a value of P absent
    // from these cells would leave a zero row in the equations.
    const bool reduceA = cells.rows < cells.cols;
    const std::vector<double>& nP = reduceA ? f.nA : f.nB;
    const std::vector<double>& tP = reduceA ? f.tA : f.tB;
    const std::vector<double>& nQ = reduceA ? f.nB : f.nA;
    const std::vector<double>& tQ = reduceA ? f.tB : f.tA;
    auto cell = [&](int p, int q) { return reduceA ? cells.n[cells.At(p, q)] : cells.n[cells.At(q, p)]; };
    const std::vector<int> present = ValuesWithWeight(nP);
    const std::vector<int> qValues = ValuesWithWeight(nQ);

    // Fit of Q alone: sum of T_Q(h)^2 / N_Q(h).
    double base = 0;
    for (int h : qValues) base += tQ[static_cast<size_t>(h)] * tQ[static_cast<size_t>(h)] / nQ[static_cast<size_t>(h)];

    // Reduced normal equations of P's effects (its last present value dropped).
    const int d = static_cast<int>(present.size()) - 1;
    if (d < 1) return base;
    DoubleArray2D a(d, d);
    DoubleArray2D inv(d, d);
    std::vector<double> q(static_cast<size_t>(d + 1), 0.0);
    for (int m = 1; m <= d; ++m) {
        const int pm = present[static_cast<size_t>(m - 1)];
        inv(m, m) = 1;
        a(m, m) = nP[static_cast<size_t>(pm)];
        q[static_cast<size_t>(m)] = tP[static_cast<size_t>(pm)];
        for (int h : qValues) {
            const double nq = nQ[static_cast<size_t>(h)];
            const double nmh = cell(pm, h);
            a(m, m) = PreciseDifference(a(m, m), nmh * nmh / nq);
            q[static_cast<size_t>(m)] -= tQ[static_cast<size_t>(h)] * nmh / nq;
        }
        for (int e = m + 1; e <= d; ++e) {
            const int pe = present[static_cast<size_t>(e - 1)];
            double v = 0;
            for (int h : qValues) v = PreciseDifference(v, cell(pm, h) * cell(pe, h) / nQ[static_cast<size_t>(h)]);
            a(m, e) = v;
            a(e, m) = v;
        }
    }
    CMatrix matrix;
    if (!matrix.Quarn_GaussJordan_b(static_cast<int16_t>(d), static_cast<int16_t>(d), a, inv, zantels)) return base;
    return base + QuadraticForm(inv, q, d);
}

PairInteraction CalcTwoWayAnova(const PairCells& cells, const WeightedMoments& field, int mA, int mB,
                                RunContext* zantels) {
    ProcScope scope(ErrStack(), "CalcTwoWayAnova");
    PairInteraction r;
    const CentredCells centred = CentreCells(cells, field);
    int filled = 0;
    for (int i = 1; i <= cells.rows; ++i) {
        for (int j = 1; j <= cells.cols; ++j) {
            const size_t at = cells.At(i, j);
            if (centred.n[at] > 0) {
                ++filled;
                r.cellSS += centred.t[at] * centred.t[at] / centred.n[at];
                r.within += cells.cell[at].M2At(field.ScaleExponent());
                if (cells.rawSum[at] != 0) r.anySum = true;
            }
        }
    }
    if (filled == 0) return r;
    r.dfInter = static_cast<double>((mB - 1) * (mA - 1) - (mA * mB - filled));
    r.adj = TwoWayAdditiveFit(centred, zantels);
    return r;
}

namespace {

AnovaRow Row(const std::string& source, double df, double ss) {
    AnovaRow row;
    row.source = source.substr(0, 70);  // the width of "Source_of_Variation"
    row.df = df;
    row.ss = ss;
    return row;
}

// The sums of squares of one data field and their degrees of freedom, all
// divided by 2^2e, e the field's scale.
struct AnovaSums {
    int e = 0;
    double n = 0;                // the field's sum of weights
    std::vector<int> m;          // values with weight of each compare field
    double sst = 0;              // total, about the field's mean
    double residual = 0;         // what the model leaves
    double dfRes = 0;            // its degrees of freedom
    std::vector<double> ssMain;  // each compare field's one-way sum
    double interaction = 0;      // the pairs' interactions together
    double dfInterSum = 0;       // and their degrees of freedom
    double mainSum = 0;          // the main effects together (two compare fields or more)
    std::vector<PairInteraction> pair;
    double msRes = 0;  // residual mean square, 0 without degrees of freedom
};

// The number of values with weight of each compare field.
std::vector<int> WeightedValueCounts(const std::vector<std::vector<CellSums>>& oneWay) {
    std::vector<int> m(oneWay.size(), 0);
    for (size_t c = 0; c < oneWay.size(); ++c) {
        for (size_t j = 1; j < oneWay[c].size(); ++j)
            if (oneWay[c][j].Weights() > 0) ++m[c];
    }
    return m;
}

// Each compare field's one-way sum from its cells' means less the field's,
// and the residual they leave: with one compare field the variation inside
// its cells, with more the total less every one-way sum.
void AddOneWaySums(AnovaSums& s, const WeightedMoments& all, const std::vector<std::vector<CellSums>>& oneWay) {
    const size_t nC = oneWay.size();
    s.sst = all.M2At(s.e);
    s.residual = s.sst;
    s.dfRes = PreciseDifference(s.n, 1);
    s.ssMain.assign(nC, 0.0);
    for (size_t c = 0; c < nC; ++c) {
        double between = 0;
        double within = 0;
        for (size_t j = 1; j < oneWay[c].size(); ++j) {
            const CellSums& cell = oneWay[c][j];
            if (!(cell.Weights() > 0)) continue;
            const double d = cell.moments.MeanLessAt(all, s.e);
            between += cell.Weights() * d * d;
            within += cell.moments.M2At(s.e);
        }
        s.ssMain[c] = between;
        s.residual = nC == 1 ? within : s.residual - between;
        s.dfRes = PreciseDifference(s.dfRes, s.m[c] - 1);
    }
}

// The two-way interaction of every pair of compare fields, and the residual
// and main effects that remain.
void AddInteractions(AnovaSums& s, const WeightedMoments& all, const std::vector<PairCells>& pairs,
                     RunContext* zantels) {
    const size_t nC = s.m.size();
    s.pair.assign(pairs.size(), PairInteraction());
    size_t u = 0;
    for (size_t a = 0; a < nC; ++a) {
        for (size_t b = a + 1; b < nC; ++b, ++u) {
            PairInteraction& p = s.pair[u];
            p = CalcTwoWayAnova(pairs[u], all, s.m[a], s.m[b], zantels);
            if (p.within != 0) {
                s.interaction += p.cellSS - p.adj;
            } else {
                // No variation inside this pair's cells: the pair has no
                // interaction of its own; the other pairs' sums stay.
                p.cellSS = 0;
                p.dfInter = 0;
                p.noVariation = true;
            }
            s.dfInterSum += p.dfInter;
        }
    }
    if (nC == 2) {
        // The variation inside the two-way cells; without any (one record
        // per cell), what the additive model leaves, which with equal cell
        // sizes is SST less both one-way sums.
        if (s.pair[0].noVariation) {
            s.residual = s.sst - s.pair[0].adj;
        } else if (s.pair[0].anySum) {
            s.residual = s.pair[0].within;
        }
    } else {
        s.residual -= s.interaction;
    }
    const double explained = s.sst - s.residual;
    s.mainSum = explained - s.interaction;
    s.dfRes = PreciseDifference(s.dfRes, s.dfInterSum);
}

// A negative residual (rounding) is taken as none.
void SetResidualMeanSquare(AnovaSums& s) {
    if (s.residual < 0) {
        s.residual = 0;
    } else if (s.dfRes > 0) {
        s.msRes = s.residual / s.dfRes;
    }
}

// The table's rows from the sums: main effects, each compare field,
// interactions, explained, residual and total, each unscaled once its F is
// formed.
std::vector<AnovaRow> TableRows(const AnovaSums& s, const std::vector<std::string>& names, CZValue& z) {
    const size_t nC = s.m.size();
    std::vector<AnovaRow> rows;
    auto add = [&](AnovaRow& row) {
        row.ss = std::ldexp(row.ss, 2 * s.e);
        if (row.meanSquare) row.meanSquare = std::ldexp(*row.meanSquare, 2 * s.e);
        rows.push_back(row);
    };
    auto withF = [&](AnovaRow row) {
        if (row.df > 0) row.meanSquare = row.ss / row.df;
        if (row.df > 0 && s.msRes != 0 && row.ss > 0) {
            row.fValue = *row.meanSquare / s.msRes;
            row.prob = z.Quarn_CalcProb("F", *row.fValue, row.df, s.dfRes);
        }
        add(row);
    };
    auto withoutF = [&](AnovaRow row) {
        if (row.df > 0) row.meanSquare = row.ss / row.df;
        add(row);
    };

    if (nC >= 2) {
        double df = 0;
        for (size_t c = 0; c < nC; ++c) df += s.m[c] - 1;
        withF(Row("Main Effects", df, s.mainSum));
    }
    for (size_t c = 0; c < nC; ++c) {
        double ss = s.ssMain[c];
        if (nC >= 2) {
            // The effect adjusted for the other compare fields.
            ss = s.mainSum;
            for (size_t o = 0; o < nC; ++o)
                if (o != c) ss -= s.ssMain[o];
        }
        withF(Row("Main: [" + names[c] + "]", s.m[c] - 1, ss));
    }
    if (nC >= 3) withF(Row("Interactions", s.dfInterSum, s.dfInterSum > 0 ? s.interaction : 0));
    if (nC >= 2) {
        for (const PairInteraction& p : s.pair)
            if (p.dfInter >= 1) withF(Row("Interactions", p.dfInter, p.cellSS - p.adj));
        withF(Row("Explained", PreciseDifference(PreciseDifference(s.n, 1), s.dfRes), s.sst - s.residual));
    }
    withoutF(Row("Residual", s.dfRes, s.residual));
    withoutF(Row("Total", PreciseDifference(s.n, 1), s.sst));
    return rows;
}

}  // namespace

std::vector<AnovaRow> AnovaTable(const CellSums& field, const std::vector<std::vector<CellSums>>& oneWay,
                                 const std::vector<PairCells>& pairs, const std::vector<std::string>& names, CZValue& z,
                                 RunContext* zantels) {
    AnovaSums s;
    s.n = field.Weights();
    s.m = WeightedValueCounts(oneWay);
    int k = 0;
    for (int mc : s.m) k += mc;
    if (!(s.n > 0) || k < 1 || k > s.n) return {};

    // Every sum of squares is formed about a mean: the total from the
    // field's central moments, each one-way sum from the cells' means less
    // the field's, the residual of one compare field from the variation
    // inside its cells. All are divided by 2^2e, e the field's scale, so that
    // values far from 1 neither overflow nor lose their squares; F is free of
    // it.
    const WeightedMoments& all = field.moments;
    s.e = all.ScaleExponent();
    AddOneWaySums(s, all, oneWay);
    if (oneWay.size() >= 2) AddInteractions(s, all, pairs, zantels);
    SetResidualMeanSquare(s);
    return TableRows(s, names, z);
}
