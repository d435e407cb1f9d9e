#include "analysis/regression/RegressionBase.h"

#include <cmath>
#include <limits>

#include "AnalysisPhases.h"
#include "ErrorStack.h"
#include "Merivox6/Quantara.h"
#include "StatsGeneral.h"
#include "numeric/CMatrix.h"
#include "numeric/CZValue.h"
#include "numeric/DoubleArray2D.h"
#include "numeric/Numerics.h"
#include "vb/Conversions.h"

namespace {

constexpr double kNoValue = std::numeric_limits<double>::quiet_NaN();
// A residual sum of squares this little below 0 is rounding noise: 0. Beside
// the absolute bound, one relative to the total sum of squares: the noise
// of SSE = SST - (explained part) grows with SST, so on data of large
// magnitude an exact fit comes out far below -1e-12.
constexpr double kSseNoise = 1e-12;
constexpr double kSseRelativeNoise = 1e-10;
// Below this tolerance a term counts as a linear combination of the others.
constexpr double kCollinearTolerance = 1e-10;

const char* const kFamilies[] = {"Coef_of_", "SE_of_", "Beta_of_", "t-Value_of_", "Prob_of_"};
enum Family { kCoef, kSe, kBeta, kT, kProb };

// The column of a coefficient family for term j (0: the intercept).
std::string CoefficientColumn(int family, int j, const std::vector<std::string>& labels) {
    if (j == 0) return family == kCoef ? std::string("Y-Intercept") : std::string(kFamilies[family]) + "Y-Intercept";
    return vb::LeftChars(std::string(kFamilies[family]) + labels[static_cast<size_t>(j - 1)], 64);
}

double PD(double a, double b) { return PreciseDifference(a, b); }

}  // namespace

std::string CRegressBase::Run(const std::string& OutTableName, const std::string& ResidualTblName,
                              const std::string& strUserTable, FieldNames& strFields, int16_t intGroupFields,
                              int16_t intNumFields, bool fWeightField, bool fAnova, bool fYInt, Quantara& Zantels) {
    ProcScope scope(ErrStack(), shape_.entryName);
    zantels_ = &Zantels;
    fields_ = &strFields;
    nG_ = intGroupFields;
    m_ = intNumFields;
    weighted_ = fWeightField;
    anova_ = fAnova;
    yInt_ = fYInt;
    yPos_ = static_cast<int16_t>(nG_ + m_ + 1);

    std::vector<int32_t> types, sizes;
    CZValue zvalue;
    return RunAnalysisPhases(
        Zantels, {.openSource = [&] { return Zantels.Quarn_InitDataTable(strUserTable, strFields, nG_, types, sizes); },
                  .createOutput =
                      [&] {
                          std::string result = CreateOutput(OutTableName, types, sizes);
                          if (!result.empty()) return result;
                          residual_ = !ResidualTblName.empty();
                          if (residual_) result = CreateResidual(ResidualTblName, types, sizes);
                          return result;
                      },
                  .readRecords =
                      [&] {
                          zvalue_ = &zvalue;
                          ReadRecords();
                          zvalue_ = nullptr;
                      },
                  // The residual pass fills the residual rows in a transaction of its own.
                  .afterRecords =
                      [&] {
                          if (!residual_) return;
                          Zantels.Quarn_Msg(0, true, "Performing residual analysis");
                          Zantels.BeginTrans();
                          CalcResiduals();
                          Zantels.CommitTrans();
                          Zantels.OutputRecordset2()->Close();
                      }});
}

std::string CRegressBase::CreateOutput(const std::string& OutTableName, const std::vector<int32_t>& types,
                                       const std::vector<int32_t>& sizes) {
    ProcScope scope(ErrStack(), "CreateOutput");
    Quantara& z = *zantels_;
    dao::TableDefPtr tdf = NewResultTable(z, OutTableName);
    countColumn_ = vb::LeftChars("Count_of_" + (*fields_)[static_cast<size_t>(yPos_)], 64);
    int16_t ordinal =
        BuildOutputFields(tdf, nG_, *fields_, types, sizes, shape_.perField, 0, 0, weighted_, countColumn_, "Missing");
    const int k = shape_.terms;
    for (int family = kCoef; family <= kProb; ++family) {
        if (yInt_ && family != kBeta)
            AddOutputField(tdf, CoefficientColumn(family, 0, shape_.termLabels), dao::dbDouble, ordinal, 0);
        for (int j = 1; j <= k; ++j)
            AddOutputField(tdf, CoefficientColumn(family, j, shape_.termLabels), dao::dbDouble, ordinal, 0);
    }
    AddRegressionFields(tdf, anova_ ? int16_t(-1) : int16_t(0), ordinal);
    return z.Quarn_CreateTable(tdf, true);
}

std::string CRegressBase::CreateResidual(const std::string& ResidualTblName, const std::vector<int32_t>& types,
                                         const std::vector<int32_t>& sizes) {
    ProcScope scope(ErrStack(), "CreateResidual");
    Quantara& z = *zantels_;
    const dao::DatabasePtr& db = z.get_OutputDatabase();
    dao::TableDefPtr tdf = NewResultTable(z, ResidualTblName);
    int16_t ordinal = BuildOutputFields(tdf, nG_, *fields_, types, sizes, shape_.perField, 0, 0, weighted_, "", "");
    residualDataFieldCol_ = shape_.perField ? nG_ + 1 : -1;
    residualObsCol_ = weighted_ ? ordinal - 1 : -1;
    residualFirstXCol_ = ordinal;
    if (shape_.perField) {
        AddOutputField(tdf, "X_Value", dao::dbDouble, ordinal, 0);
    } else {
        for (const std::string& name : shape_.residualXColumns) AddOutputField(tdf, name, dao::dbDouble, ordinal, 0);
    }
    residualYColumn_ = vb::LeftChars("Y:" + (*fields_)[static_cast<size_t>(yPos_)], 64);
    residualYCol_ = ordinal;
    AddOutputField(tdf, residualYColumn_, dao::dbDouble, ordinal, 0);
    residualEstimateCol_ = ordinal;
    AddOutputField(tdf, "Estimated_Y", dao::dbDouble, ordinal, 0);
    residualResidualCol_ = ordinal;
    AddOutputField(tdf, "Residual", dao::dbDouble, ordinal, 0);
    std::string result = z.Quarn_CreateTable(tdf, false);
    if (result.empty()) z.OutputRecordset2(OpenResultTable(db, ResidualTblName));
    return result;
}

void CRegressBase::InitData() {
    const int k = shape_.terms;
    const size_t cells = static_cast<size_t>(k + 1) * static_cast<size_t>(k + 2);
    sums_.resize(shape_.perField ? static_cast<size_t>(m_) : 1);
    for (ModelSums& s : sums_) {
        s.used = 0;
        s.syyRaw = 0;
        s.s.assign(cells, 0.0);
    }
}

void CRegressBase::ReadRecords() {
    ProcScope scope(ErrStack(), "ReadRecords");
    terms_.assign(static_cast<size_t>(shape_.terms) + 3, 0.0);
    InitData();
    GroupWalker walk(*zantels_, *fields_, nG_, weighted_, static_cast<int16_t>(yPos_ + 1));
    GroupWalker::Handlers handlers;
    handlers.record = [&](double w) { CalcData(walk, w); };
    handlers.groupEnd = [&](const GroupValues& group, int32_t records) { WriteData(group, records); };
    handlers.groupStart = [&] { InitData(); };
    walk.Walk(handlers);
}

void CRegressBase::AddTerms(ModelSums& sums, const double* t, double w) const {
    const int k = shape_.terms;
    const int q = k + 2;
    double* s = sums.s.data();
    for (int j = 1; j <= k; ++j) {
        double* row = s + static_cast<ptrdiff_t>(j - 1) * q;
        const double tj = t[j];
        for (int c = j; c <= q; ++c) row[c - 1] += tj * t[c] * w;
    }
    double* constant = s + static_cast<ptrdiff_t>(k) * q;
    constant[k] += w;
    constant[k + 1] += w * t[q];
}

void CRegressBase::CalcData(GroupWalker& walk, double w) {
    if (!(w > 0)) return;
    const int k = shape_.terms;
    double* t = terms_.data();
    const dao::RecordsetPtr& rs2 = zantels_->OutputRecordset2();
    if (shape_.perField) {
        double y = 0;
        if (!walk.PresentValue(yPos_, y)) return;
        t[k + 1] = 1;
        t[k + 2] = y;
        const double wyy = y * y * w;
        for (int16_t f = 1; f <= m_; ++f) {
            double x = 0;
            const int16_t position = static_cast<int16_t>(nG_ + f);
            if (!walk.PresentValue(position, x)) continue;
            t[1] = x;
            for (int p = 2; p <= k; ++p) t[p] = x * t[p - 1];
            ModelSums& s = sums_[static_cast<size_t>(f - 1)];
            ++s.used;
            s.syyRaw += wyy;
            AddTerms(s, t, w);
            if (residual_) {
                rs2->AddNew();
                WriteGroupValues(rs2, nG_, *fields_, walk.Group(), position, "", "", false, 0, 0, 0);
                if (weighted_) rs2->Fields(residualObsCol_)->Value(vb::Variant(ResidualObservations(w)));
                rs2->Fields(residualFirstXCol_)->Value(vb::Variant(x));
                rs2->Fields(residualYCol_)->Value(vb::Variant(y));
                rs2->Update();
            }
        }
        return;
    }
    // Listwise: every X and then Y must be present.
    for (int j = 1; j <= k; ++j) {
        if (!walk.PresentValue(static_cast<int16_t>(nG_ + j), t[j])) return;
    }
    double y = 0;
    if (!walk.PresentValue(yPos_, y)) return;
    t[k + 1] = 1;
    t[k + 2] = y;
    ModelSums& s = sums_[0];
    ++s.used;
    s.syyRaw += y * y * w;
    AddTerms(s, t, w);
    if (residual_) {
        rs2->AddNew();
        WriteGroupValues(rs2, nG_, *fields_, walk.Group(), 0, "", "", false, 0, 0, 0);
        if (weighted_) rs2->Fields(residualObsCol_)->Value(vb::Variant(ResidualObservations(w)));
        for (int j = 1; j <= k; ++j) rs2->Fields(residualFirstXCol_ + j - 1)->Value(vb::Variant(t[j]));
        rs2->Fields(residualYCol_)->Value(vb::Variant(y));
        rs2->Update();
    }
}

double CRegressBase::ResidualObservations(double w) const { return shape_.residualWholeWeight ? std::floor(w) : w; }

void CRegressBase::WriteData(const GroupValues& group, int32_t groupRecords) {
    ProcScope scope(ErrStack(), "WriteData");
    if (shape_.perField) {
        for (int16_t f = 1; f <= m_; ++f)
            WriteRow(sums_[static_cast<size_t>(f - 1)], group, groupRecords, static_cast<int16_t>(nG_ + f));
    } else {
        WriteRow(sums_[0], group, groupRecords, 0);
    }
}

CRegressBase::Fit CRegressBase::Solve(const ModelSums& sums, int16_t k, bool fYInt, const RegressionShape& shape,
                                      Quantara* Zantels) {
    Fit fit;
    const int p = k + 1;
    const int q = k + 2;
    // The full symmetric matrix from the upper triangle.
    const auto S = [&](int r, int c) {
        return r <= c ? sums.s[static_cast<size_t>((r - 1) * q + c - 1)]
                      : sums.s[static_cast<size_t>((c - 1) * q + r - 1)];
    };
    const double sw = S(p, p);
    const double swy = S(p, q);
    fit.df = fYInt ? sw - k - 1 : sw - k;
    if (!(fit.df > 0)) return fit;

    // Spread of y and of the terms (corrected sums of squares).
    fit.syy = PD(sums.syyRaw, swy * swy / sw);
    fit.sxx.resize(static_cast<size_t>(k));
    for (int j = 1; j <= k; ++j) fit.sxx[static_cast<size_t>(j - 1)] = PD(S(j, j), S(j, p) * S(j, p) / sw);
    if (!(fit.syy > 0)) return fit;
    for (int j = 1; j <= (shape.everyTermNeedsSpread ? k : 1); ++j) {
        if (!(fit.sxx[static_cast<size_t>(j - 1)] > 0)) return fit;
    }

    // Normal equations: terms first, the constant last, y on the right.
    DoubleArray2D a(p, q);
    DoubleArray2D inv(p, q);
    for (int r = 1; r <= p; ++r) {
        for (int c = 1; c <= q; ++c) a(r, c) = S(r, c);
        inv(r, r) = 1;
    }
    CMatrix matrix;
    if (!matrix.Quarn_GaussJordan_b(static_cast<int16_t>(fYInt ? p : k), static_cast<int16_t>(q), a, inv, Zantels))
        return fit;
    fit.coef.resize(static_cast<size_t>(k));
    for (int j = 1; j <= k; ++j) {
        fit.coef[static_cast<size_t>(j - 1)] = a(j, q);
        if (!std::isfinite(a(j, q))) return fit;
    }
    fit.intercept = fYInt ? a(p, q) : 0;
    if (!std::isfinite(fit.intercept)) return fit;
    // Collinear terms: the solve's absolute 1e-14 pivot test misses them on
    // sums of any size, leaving rounding noise as a pivot and nonsense as
    // coefficients. A term's tolerance (1 - R^2 of it on the other terms) is
    // 1 / (its spread * its inverse's diagonal); noise shows as 1e-13 or
    // less, so below 1e-10 the terms count as collinear and the fit fails,
    // as it does for a non-positive diagonal.
    for (int j = 1; j <= k; ++j) {
        const double spread = fYInt ? fit.sxx[static_cast<size_t>(j - 1)] : S(j, j);
        const double tolerance = 1 / (spread * inv(j, j));
        if (!(inv(j, j) > 0) || !(tolerance >= kCollinearTolerance)) return fit;
    }

    // Sums of squares.
    double sse = 0;
    if (fYInt) {
        fit.sst = fit.syy;
        sse = fit.syy;
        for (int j = 1; j <= k; ++j) {
            const double sxy = PD(S(j, q), swy * S(j, p) / sw);
            sse = PD(sse, sxy * fit.coef[static_cast<size_t>(j - 1)]);
        }
    } else {
        fit.sst = sums.syyRaw;
        sse = sums.syyRaw;
        for (int j = 1; j <= k; ++j) sse = PD(sse, fit.coef[static_cast<size_t>(j - 1)] * S(j, q));
    }
    if (sse < 0 && (sse > -kSseNoise || sse > -kSseRelativeNoise * fit.sst)) sse = 0;
    if (!(sse >= 0) || !std::isfinite(sse)) return fit;
    fit.sse = sse;
    fit.r2 = PD(1, sse / fit.sst);

    fit.variance.resize(static_cast<size_t>(k));
    fit.beta.resize(static_cast<size_t>(k));
    for (int j = 1; j <= k; ++j) {
        const size_t at = static_cast<size_t>(j - 1);
        fit.variance[at] = sse * inv(j, j) / fit.df;
        const double ratio = fYInt ? fit.sxx[at] / fit.syy : S(j, j) / sums.syyRaw;
        fit.beta[at] = ratio > 0 ? std::sqrt(ratio) * fit.coef[at] : kNoValue;
    }
    fit.interceptVariance = fYInt ? sse * inv(p, p) / fit.df : kNoValue;
    fit.ok = true;
    return fit;
}

void CRegressBase::WriteRow(const ModelSums& sums, const GroupValues& group, int32_t groupRecords, int16_t dataField) {
    const dao::RecordsetPtr& rs = zantels_->OutputRecordset();
    const int k = shape_.terms;
    const int q = k + 2;
    const double sw = sums.s[static_cast<size_t>(k * q + k)];
    rs->AddNew();
    WriteGroupValues(rs, nG_, *fields_, group, dataField, countColumn_, "Missing", weighted_, sw, groupRecords,
                     sums.used);
    const Fit fit = Solve(sums, static_cast<int16_t>(k), yInt_, shape_, zantels_);
    if (fit.ok) {
        const auto column = [&](int family, int j) { return CoefficientColumn(family, j, shape_.termLabels); };
        // Measures of fit.
        const double r2 = fit.r2;
        if (r2 > 0 || (shape_.multipleRAtZero && r2 == 0)) SetIfFinite(rs, "Multiple_R", std::sqrt(r2));
        SetIfFinite(rs, "R-Square", r2);
        if (sw > k + 1) SetIfFinite(rs, "Adj_R-Square", PD(r2, PD(1, r2) * k / (sw - k - 1)));
        SetIfFinite(rs, "StdError_of_Estimate", std::sqrt(fit.sse / fit.df));
        if (anova_) {
            const double regressionSs = PD(fit.sst, fit.sse);
            SetIfFinite(rs, "Regression_DF", k);
            SetIfFinite(rs, "Residual_DF", fit.df);
            SetIfFinite(rs, "Total_DF", fit.df + k);
            SetIfFinite(rs, "Regression_SS", regressionSs);
            SetIfFinite(rs, "Residual_SS", fit.sse);
            SetIfFinite(rs, "Total_SS", fit.sst);
            const double regressionMs = regressionSs / k;
            SetIfFinite(rs, "Regression_MS", regressionMs);
            SetIfFinite(rs, "Residual_MS", fit.sse / fit.df);
            if (fit.sse > 0) {
                const double f = regressionMs / (fit.sse / fit.df);
                if (std::isfinite(f)) {
                    SetIfFinite(rs, "F-Value", f);
                    SetIfFinite(rs, "Prob", zvalue_->Quarn_CalcProb("F", f, k, fit.df));
                }
            }
        }
        // Coefficients: a standard error only from a variance not below 0,
        // a t value only from a standard error above 0.
        const auto coefficient = [&](int j, double b, double variance) {
            SetIfFinite(rs, column(kCoef, j), b);
            if (!(variance >= 0)) return;
            const double se = std::sqrt(variance);
            SetIfFinite(rs, column(kSe, j), se);
            if (!(se > 0)) return;
            const double t = b / se;
            if (!std::isfinite(t)) return;
            SetIfFinite(rs, column(kT, j), t);
            SetIfFinite(rs, column(kProb, j), zvalue_->Quarn_CalcProb("T", t, fit.df, 0));
        };
        if (yInt_) coefficient(0, fit.intercept, fit.interceptVariance);
        for (int j = 1; j <= k; ++j) {
            const size_t at = static_cast<size_t>(j - 1);
            coefficient(j, fit.coef[at], fit.variance[at]);
            SetIfFinite(rs, column(kBeta, j), fit.beta[at]);
        }
    }
    rs->Update();
}

void CRegressBase::CalcResiduals() {
    ProcScope scope(ErrStack(), "CalcResiduals");
    Quantara& z = *zantels_;
    const dao::RecordsetPtr out = z.OutputRecordset();
    const dao::RecordsetPtr res = z.OutputRecordset2();
    res->MoveFirst();
    if (res->Eof()) return;
    out->MoveFirst();

    const int k = shape_.terms;
    // One coefficient set per output row of a group, sized by the model.
    struct CoefficientSet {
        std::string dataField;
        bool valid = false;
        std::vector<double> coef;
        double intercept = 0;
    };
    const size_t blockRows = shape_.perField ? static_cast<size_t>(m_) : 1;
    std::vector<CoefficientSet> block(blockRows);
    for (CoefficientSet& set : block) set.coef.assign(static_cast<size_t>(k), 0.0);
    std::vector<dao::FieldPtr> coefFields;
    for (int j = 1; j <= k; ++j)
        coefFields.push_back(out->Fields(std::string_view(CoefficientColumn(kCoef, j, shape_.termLabels))));
    const dao::FieldPtr interceptField = yInt_ ? out->Fields(std::string_view("Y-Intercept")) : nullptr;

    GroupValues blockGroup(static_cast<size_t>(nG_) + 1);
    GroupValues current(static_cast<size_t>(nG_) + 1);
    const auto readGroup = [&](const dao::RecordsetPtr& rs, GroupValues& into) {
        for (int16_t i = 1; i <= nG_; ++i) into[static_cast<size_t>(i)] = rs->Fields(i)->Value();
    };
    std::vector<double> x(static_cast<size_t>(k) + 1);
    int32_t done = 0;
    while (!out->Eof()) {
        // The output rows of one group.
        size_t rows = 0;
        while (!out->Eof() && rows < blockRows) {
            readGroup(out, current);
            if (rows == 0) {
                z.Quarn_SameRecords_b(nG_, false, blockGroup, current);
            } else if (z.Quarn_SameRecords_b(nG_, true, blockGroup, current)) {
                break;
            }
            CoefficientSet& set = block[rows];
            set.dataField = shape_.perField ? out->Fields(nG_ + 1)->Value().ToString() : std::string();
            set.valid = true;
            for (int j = 0; j < k; ++j) {
                const vb::Variant v = coefFields[static_cast<size_t>(j)]->Value();
                if (v.IsNull()) {
                    set.valid = false;
                    break;
                }
                set.coef[static_cast<size_t>(j)] = v.ToDouble();
            }
            set.intercept = set.valid && interceptField ? interceptField->Value().ToDouble() : 0;
            ++rows;
            out->MoveNext();
        }
        if (rows == 0 || res->Eof()) continue;

        // Its residual rows.
        size_t entry = 0;
        std::string name = block[0].dataField;
        while (!res->Eof()) {
            readGroup(res, current);
            if (z.Quarn_SameRecords_b(nG_, true, blockGroup, current)) break;
            if (shape_.perField) {
                const std::string field = res->Fields(residualDataFieldCol_)->Value().ToString();
                if (!vb::EqualsNoCase(field, name)) {
                    for (size_t i = 0; i < rows; ++i) {
                        if (vb::EqualsNoCase(block[i].dataField, field)) {
                            entry = i;
                            name = block[i].dataField;
                            break;
                        }
                    }
                }
            }
            const CoefficientSet& set = block[entry];
            if (set.valid) {
                double estimate = set.intercept;
                if (shape_.perField) {
                    const double xv = res->Fields(residualFirstXCol_)->Value().ToDouble();
                    for (int j = 1; j <= k; ++j)
                        estimate = (j == 1 ? xv : std::pow(xv, j)) * set.coef[static_cast<size_t>(j - 1)] + estimate;
                } else {
                    for (int j = 1; j <= k; ++j)
                        estimate = res->Fields(residualFirstXCol_ + j - 1)->Value().ToDouble() *
                                       set.coef[static_cast<size_t>(j - 1)] +
                                   estimate;
                }
                const double y = res->Fields(residualYCol_)->Value().ToDouble();
                const double residual = PD(y, estimate);
                res->Edit();
                SetIfFinite(res, residualEstimateCol_, estimate);
                SetIfFinite(res, residualResidualCol_, residual);
                res->Update();
                ++done;
                // Shown on every fifth row only: spare the text on the others.
                if (done % 5 == 0) z.Quarn_Msg(done, false, "Residual analysis record: " + std::to_string(done));
            } else {
                res->Delete();
            }
            res->MoveNext();
        }
    }
    z.Quarn_Msg(0, true, "Residual analysis record: " + std::to_string(done));
}
