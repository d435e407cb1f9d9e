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
    if (c.sum.Value() != 0) d.coeffOfVariance = spread.coeffOfVariance;
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

double TwoWayAdditiveFit(const CentredCells& cells, RunContext* zantels) {
    ProcScope scope(ErrStack(), "CalcTwoWayAdjust");
    const int r = cells.rows;
    const int s = cells.cols;
    std::vector<double> nA(static_cast<size_t>(r + 1), 0.0), tA(nA.size(), 0.0);
    std::vector<double> nB(static_cast<size_t>(s + 1), 0.0), tB(nB.size(), 0.0);
    for (int i = 1; i <= r; ++i) {
        for (int j = 1; j <= s; ++j) {
            const size_t at = cells.At(i, j);
            nA[static_cast<size_t>(i)] += cells.n[at];
            tA[static_cast<size_t>(i)] += cells.t[at];
            nB[static_cast<size_t>(j)] += cells.n[at];
            tB[static_cast<size_t>(j)] += cells.t[at];
        }
    }
    // The reduced factor P is the one with fewer values (b on equal counts);
    // Q is the other. Only values with weight take part: a value of P absent
    // from these cells would leave a zero row in the equations.
    const bool reduceA = r < s;
    const std::vector<double>& nP = reduceA ? nA : nB;
    const std::vector<double>& tP = reduceA ? tA : tB;
    const std::vector<double>& nQ = reduceA ? nB : nA;
    const std::vector<double>& tQ = reduceA ? tB : tA;
    auto cell = [&](int p, int q) { return reduceA ? cells.n[cells.At(p, q)] : cells.n[cells.At(q, p)]; };
    std::vector<int> present;
    for (int p = 1; p < static_cast<int>(nP.size()); ++p)
        if (nP[static_cast<size_t>(p)] > 0) present.push_back(p);
    std::vector<int> qValues;
    for (int h = 1; h < static_cast<int>(nQ.size()); ++h)
        if (nQ[static_cast<size_t>(h)] > 0) qValues.push_back(h);

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
    double quadratic = 0;
    for (int m = 1; m <= d; ++m) {
        double row = 0;
        for (int o = 1; o <= d; ++o) row += inv(o, m) * q[static_cast<size_t>(o)];
        quadratic += q[static_cast<size_t>(m)] * row;
    }
    return base + quadratic;
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

}  // namespace

std::vector<AnovaRow> AnovaTable(const CellSums& field, const std::vector<std::vector<CellSums>>& oneWay,
                                 const std::vector<PairCells>& pairs, const std::vector<std::string>& names, CZValue& z,
                                 RunContext* zantels) {
    const size_t nC = oneWay.size();
    const double n = field.Weights();
    std::vector<int> m(nC, 0);
    int k = 0;
    for (size_t c = 0; c < nC; ++c) {
        for (size_t j = 1; j < oneWay[c].size(); ++j)
            if (oneWay[c][j].Weights() > 0) ++m[c];
        k += m[c];
    }
    if (!(n > 0) || k < 1 || k > n) return {};

    // Every sum of squares is formed about a mean: the total from the
    // field's central moments, each one-way sum from the cells' means less
    // the field's, the residual of one compare field from the variation
    // inside its cells. All are divided by 2^2e, e the field's scale, so that
    // values far from 1 neither overflow nor lose their squares; F is free of
    // it.
    const WeightedMoments& all = field.moments;
    const int e = all.ScaleExponent();
    const double sst = all.M2At(e);
    double residual = sst;
    double dfRes = PreciseDifference(n, 1);
    std::vector<double> ssMain(nC, 0.0);
    for (size_t c = 0; c < nC; ++c) {
        double between = 0;
        double within = 0;
        for (size_t j = 1; j < oneWay[c].size(); ++j) {
            const CellSums& cell = oneWay[c][j];
            if (!(cell.Weights() > 0)) continue;
            const double d = cell.moments.MeanLessAt(all, e);
            between += cell.Weights() * d * d;
            within += cell.moments.M2At(e);
        }
        ssMain[c] = between;
        residual = nC == 1 ? within : residual - between;
        dfRes = PreciseDifference(dfRes, m[c] - 1);
    }

    double interaction = 0;
    double dfInterSum = 0;
    double mainSum = 0;
    std::vector<PairInteraction> pair(pairs.size());
    if (nC >= 2) {
        size_t u = 0;
        for (size_t a = 0; a < nC; ++a) {
            for (size_t b = a + 1; b < nC; ++b, ++u) {
                pair[u] = CalcTwoWayAnova(pairs[u], all, m[a], m[b], zantels);
                if (pair[u].within != 0) {
                    interaction += pair[u].cellSS - pair[u].adj;
                } else {
                    // No variation inside this pair's cells: the pair has no
                    // interaction of its own; the other pairs' sums stay.
                    pair[u].cellSS = 0;
                    pair[u].dfInter = 0;
                    pair[u].noVariation = true;
                }
                dfInterSum += pair[u].dfInter;
            }
        }
        if (nC == 2) {
            // The variation inside the two-way cells; without any (one record
            // per cell), what the additive model leaves, which with equal cell
            // sizes is SST less both one-way sums.
            if (pair[0].noVariation) {
                residual = sst - pair[0].adj;
            } else if (pair[0].anySum) {
                residual = pair[0].within;
            }
        } else {
            residual -= interaction;
        }
        const double explained = sst - residual;
        mainSum = explained - interaction;
        dfRes = PreciseDifference(dfRes, dfInterSum);
    }

    double msRes = 0;
    if (residual < 0) {
        residual = 0;
    } else if (dfRes > 0) {
        msRes = residual / dfRes;
    }

    std::vector<AnovaRow> rows;
    // The row's sums unscaled once F is formed.
    auto add = [&](AnovaRow& row) {
        row.ss = std::ldexp(row.ss, 2 * e);
        if (row.meanSquare) row.meanSquare = std::ldexp(*row.meanSquare, 2 * e);
        rows.push_back(row);
    };
    auto withF = [&](AnovaRow row) {
        if (row.df > 0) row.meanSquare = row.ss / row.df;
        if (row.df > 0 && msRes != 0 && row.ss > 0) {
            row.fValue = *row.meanSquare / msRes;
            row.prob = z.Quarn_CalcProb("F", *row.fValue, row.df, dfRes);
        }
        add(row);
    };
    auto withoutF = [&](AnovaRow row) {
        if (row.df > 0) row.meanSquare = row.ss / row.df;
        add(row);
    };

    if (nC >= 2) {
        double df = 0;
        for (size_t c = 0; c < nC; ++c) df += m[c] - 1;
        withF(Row("Main Effects", df, mainSum));
    }
    for (size_t c = 0; c < nC; ++c) {
        double ss = ssMain[c];
        if (nC >= 2) {
            // The effect adjusted for the other compare fields.
            ss = mainSum;
            for (size_t o = 0; o < nC; ++o)
                if (o != c) ss -= ssMain[o];
        }
        withF(Row("Main: [" + names[c] + "]", m[c] - 1, ss));
    }
    if (nC >= 3) withF(Row("Interactions", dfInterSum, dfInterSum > 0 ? interaction : 0));
    if (nC >= 2) {
        for (const PairInteraction& p : pair)
            if (p.dfInter >= 1) withF(Row("Interactions", p.dfInter, p.cellSS - p.adj));
        withF(Row("Explained", PreciseDifference(PreciseDifference(n, 1), dfRes), sst - residual));
    }
    withoutF(Row("Residual", dfRes, residual));
    withoutF(Row("Total", PreciseDifference(n, 1), sst));
    return rows;
}
