#include "analysis/regression/RegressionBase.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "AnalysisPhases.h"
#include "ErrorStack.h"
#include "RunContext.h"
#include "StatsGeneral.h"
#include "analysis/regression/RegressionHeldRows.h"
#include "numeric/CZValue.h"
#include "numeric/Numerics.h"
#include "vb/Conversions.h"

namespace {

constexpr double kNoValue = std::numeric_limits<double>::quiet_NaN();
// A term whose part independent of the terms before it (1 - R^2 of it on
// them, the relative pivot of the factor) is below what the extended type
// resolves counts as a linear combination of them.
constexpr long double kCollinearTolerance = std::numeric_limits<long double>::epsilon();
// A residual sum of squares within the rounding of the data (each y good to
// a Double's epsilon of its own size) is an exact fit.
constexpr long double kExactFit = static_cast<long double>(std::numeric_limits<double>::epsilon()) *
                                  static_cast<long double>(std::numeric_limits<double>::epsilon());
// The group's held records stay in memory up to this many numbers (8 MB);
// the rest go to a temporary file, so memory stays bounded whatever the
// group size.
constexpr size_t kHeldInMemory = size_t(1) << 20;

const char* const kFamilies[] = {"Coef_of_", "SE_of_", "Beta_of_", "t-Value_of_", "Prob_of_"};
enum Family { kCoef, kSe, kBeta, kT, kProb };

// The column of a coefficient family for term j (0: the intercept).
std::string CoefficientColumn(int family, int j, const std::vector<std::string>& labels) {
    if (j == 0) return family == kCoef ? std::string("Y-Intercept") : std::string(kFamilies[family]) + "Y-Intercept";
    return vb::LeftChars(std::string(kFamilies[family]) + labels[static_cast<size_t>(j - 1)], 64);
}

}  // namespace

CRegressBase::CRegressBase(RegressionShape shape) : shape_(std::move(shape)) {}
CRegressBase::~CRegressBase() = default;

std::string CRegressBase::Run(const std::string& OutTableName, const std::string& ResidualTblName,
                              const std::string& strUserTable, FieldNames& strFields, int16_t intGroupFields,
                              int16_t intNumFields, bool fWeightField, bool fAnova, bool fYInt, RunContext& Zantels) {
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
                  .afterRecords =
                      [&] {
                          if (!residual_) return;
                          if (residualsDone_ > 0)
                              Zantels.Quarn_Msg(0, true, "Residual analysis record: " + std::to_string(residualsDone_));
                          Zantels.OutputRecordset2()->Close();
                      }});
}

std::string CRegressBase::CreateOutput(const std::string& OutTableName, const std::vector<int32_t>& types,
                                       const std::vector<int32_t>& sizes) {
    ProcScope scope(ErrStack(), "CreateOutput");
    RunContext& z = *zantels_;
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
    RunContext& z = *zantels_;
    const dao::DatabasePtr& db = z.OutputDatabase();
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
    if (!result.empty()) return result;
    // Each residual row is written once, complete, through an append-only
    // record set over every column but the counter, which the table numbers
    // itself (a record set holding it would look up the next number for each
    // new row), in batches of many rows to a statement. Positions in it are
    // one less than in the table.
    std::string sql;
    for (const dao::FieldPtr& field : *tdf->Fields()) {
        if (field->Name() == "StatOutputID") continue;
        sql += (sql.empty() ? "SELECT " : ", ") + BracketName(field->Name());
    }
    sql += " FROM " + BracketName(ResidualTblName);
    z.OutputRecordset2(db->OpenRecordset(sql, dao::dbOpenDynaset, dao::dbAppendOnly | dao::dbAppendInBatches));
    for (int* column : {&residualDataFieldCol_, &residualObsCol_, &residualFirstXCol_, &residualYCol_,
                        &residualEstimateCol_, &residualResidualCol_})
        if (*column > 0) --*column;
    return result;
}

void CRegressBase::InitData() {
    const int k = shape_.terms;
    const int columns = k + (yInt_ ? 1 : 0);
    const size_t fieldsPerModel = shape_.perField ? 1 : static_cast<size_t>(k);
    models_.resize(shape_.perField ? static_cast<size_t>(m_) : 1);
    for (Model& model : models_) {
        model.qr.Reset(columns);
        model.used = 0;
        model.sw = 0;
        model.weights.Clear();
        model.syyRaw = 0;
        model.started = false;
        model.xShift.assign(fieldsPerModel, DecimalValue());
        model.termShift.assign(static_cast<size_t>(k), 0.0L);
        model.varies.assign(fieldsPerModel, false);
        model.yVaries = false;
    }
    if (held_) held_->Clear();
}

void CRegressBase::ReadRecords() {
    ProcScope scope(ErrStack(), "ReadRecords");
    row_.assign(static_cast<size_t>(shape_.terms) + 1, 0.0L);
    values_.assign(static_cast<size_t>(shape_.perField ? 4 : m_ + 2), 0.0);
    if (residual_) held_ = std::make_unique<HeldRows>(values_.size(), kHeldInMemory);
    residualsDone_ = 0;
    residualsBegun_ = false;
    InitData();
    GroupWalker walk(*zantels_, *fields_, nG_, weighted_, static_cast<int16_t>(yPos_ + 1));
    GroupWalker::Handlers handlers;
    handlers.record = [&](double w) { CalcData(walk, w); };
    handlers.groupEnd = [&](const GroupValues& group, int32_t records) { WriteData(group, records); };
    handlers.groupStart = [&] { InitData(); };
    walk.Walk(handlers);
}

// The model's first record sets the shifts (with an intercept) and the values
// the spread tests compare with.
void CRegressBase::StartModel(Model& model, const double* x, double y) {
    model.started = true;
    model.yShift = SplitDecimal(y);
    const int k = shape_.terms;
    if (shape_.perField) {
        model.xShift[0] = SplitDecimal(x[0]);
        const long double x0 = DecimalExtended(model.xShift[0]);
        long double power = 1;
        for (int j = 0; j < k; ++j) {
            power *= x0;
            model.termShift[static_cast<size_t>(j)] = power;
        }
    } else {
        for (int j = 0; j < k; ++j) {
            model.xShift[static_cast<size_t>(j)] = SplitDecimal(x[j]);
            model.termShift[static_cast<size_t>(j)] = DecimalExtended(model.xShift[static_cast<size_t>(j)]);
        }
    }
}

// Rotates one record into the model: x holds the record's field values (one
// per field of the model), y its dependent value.
void CRegressBase::AddRow(Model& model, const double* x, double y, double w) {
    if (!model.started) StartModel(model, x, y);
    const int k = shape_.terms;
    long double* t = row_.data();
    const size_t fields = model.xShift.size();
    for (size_t j = 0; j < fields; ++j)
        if (x[j] != model.xShift[j].value) model.varies[j] = true;
    if (y != model.yShift.value) model.yVaries = true;
    long double dy = y;
    if (yInt_) {
        // The constant, then each term's deviation from the first record's.
        *t++ = 1;
        dy = DecimalDeviationExtended(SplitDecimal(y), model.yShift);
        if (shape_.perField) {
            // x^j - x0^j = x (x^(j-1) - x0^(j-1)) + x0^(j-1) (x - x0), from the
            // exact deviation of x itself (and x as x0 + that deviation).
            const long double d = DecimalDeviationExtended(SplitDecimal(x[0]), model.xShift[0]);
            const long double xv = DecimalExtended(model.xShift[0]) + d;
            t[0] = d;
            for (int j = 1; j < k; ++j) t[j] = xv * t[j - 1] + model.termShift[static_cast<size_t>(j - 1)] * d;
        } else {
            for (int j = 0; j < k; ++j)
                t[j] = DecimalDeviationExtended(SplitDecimal(x[j]), model.xShift[static_cast<size_t>(j)]);
        }
    } else if (shape_.perField) {
        long double power = 1;
        for (int j = 0; j < k; ++j) t[j] = power *= x[0];
    } else {
        for (int j = 0; j < k; ++j) t[j] = x[j];
    }
    ++model.used;
    model.sw += w;
    model.weights.Add(w);
    model.syyRaw += static_cast<long double>(w) * y * y;
    model.qr.Include(w, row_.data(), dy);
}

void CRegressBase::CalcData(GroupWalker& walk, double w) {
    if (!(w > 0)) return;
    double* v = values_.data();
    if (shape_.perField) {
        double y = 0;
        if (!walk.PresentValue(yPos_, y)) return;
        for (int16_t f = 1; f <= m_; ++f) {
            double x = 0;
            const int16_t position = static_cast<int16_t>(nG_ + f);
            if (!walk.PresentValue(position, x)) continue;
            AddRow(models_[static_cast<size_t>(f - 1)], &x, y, w);
            if (residual_) {
                v[0] = f;
                v[1] = x;
                v[2] = y;
                v[3] = w;
                held_->Append(v);
            }
        }
        return;
    }
    // Listwise: every X and then Y must be present.
    for (int j = 0; j < m_; ++j) {
        if (!walk.PresentValue(static_cast<int16_t>(nG_ + j + 1), v[j])) return;
    }
    if (!walk.PresentValue(yPos_, v[m_])) return;
    v[m_ + 1] = w;
    AddRow(models_[0], v, v[m_], w);
    if (residual_) held_->Append(v);
}

// A residual row's Observations: the records its weight stands for, the
// whole part of the weight (2.7 stands for 2), in every kind of regression.
double CRegressBase::ResidualObservations(double w) const { return std::floor(w); }

void CRegressBase::WriteData(const GroupValues& group, int32_t groupRecords) {
    ProcScope scope(ErrStack(), "WriteData");
    sets_.resize(models_.size());
    if (shape_.perField) {
        for (int16_t f = 1; f <= m_; ++f)
            WriteRow(models_[static_cast<size_t>(f - 1)], group, groupRecords, static_cast<int16_t>(nG_ + f),
                     static_cast<size_t>(f - 1));
    } else {
        WriteRow(models_[0], group, groupRecords, 0, 0);
    }
    if (residual_) WriteResiduals(group);
}

CRegressBase::Fit CRegressBase::FitModel(const Model& model, int16_t k, bool fYInt, int spreadTerms) {
    Fit fit;
    const int first = fYInt ? 1 : 0;  // the first term's column
    fit.df = static_cast<double>(model.sw) - k - first;
    if (!(fit.df > 0)) return fit;
    std::vector<long double> spread;
    if (!Estimable(model, k, first, spreadTerms, spread)) return fit;
    std::vector<long double> b;
    if (!model.qr.Solve(b)) return fit;
    if (!FitSums(model, k, first, fit)) return fit;
    fit.ok = FitCoefficients(model, k, fYInt, b, spread, fit);
    return fit;
}

bool CRegressBase::Estimable(const Model& model, int16_t k, int first, int spreadTerms,
                             std::vector<long double>& spread) {
    const GivensLeastSquares& qr = model.qr;
    const int p = qr.Columns();
    // y and the terms that must vary.
    if (!model.yVaries) return false;
    for (int j = 0; j < spreadTerms; ++j)
        if (!model.varies[static_cast<size_t>(j)]) return false;
    // Collinear terms: a pivot that is not above the extended type's
    // resolution of its column's sum of squares (about its mean with an
    // intercept) is rounding noise.
    spread.assign(static_cast<size_t>(k), 0.0L);
    for (int j = first; j < p; ++j) {
        const long double ss = qr.ColumnSs(j, first);
        if (!(ss > 0) || !(qr.D(j) > 0) || !(qr.D(j) >= ss * kCollinearTolerance)) return false;
        spread[static_cast<size_t>(j - first)] = ss;
    }
    return !(first == 1 && !(qr.D(0) > 0));
}

bool CRegressBase::FitSums(const Model& model, int16_t k, int first, Fit& fit) {
    const GivensLeastSquares& qr = model.qr;
    const int p = qr.Columns();
    // Sums of squares: the explained part from Q'y, the residual part left
    // over by the rotations.
    long double sse = qr.ResidualSs();
    if (sse <= kExactFit * model.syyRaw) sse = 0;
    long double regression = 0;
    for (int i = first; i < p; ++i) regression += qr.D(i) * qr.Theta(i) * qr.Theta(i);
    fit.sse = sse;
    fit.regressionSs = regression;
    fit.sst = regression + sse;
    if (!(fit.sst > 0)) return false;
    fit.r2 = regression / fit.sst;
    if (model.sw > k + 1) {
        fit.adjusted = true;
        fit.adjustedR2 = fit.r2 - sse / fit.sst * k / (model.sw - k - 1);
    }
    return true;
}

bool CRegressBase::FitCoefficients(const Model& model, int16_t k, bool fYInt, const std::vector<long double>& b,
                                   const std::vector<long double>& spread, Fit& fit) {
    const GivensLeastSquares& qr = model.qr;
    const int first = fYInt ? 1 : 0;
    // Coefficients and their variances from the inverse of the factor:
    // (X'WX)^-1 = Rbar^-1 D^-1 Rbar^-T.
    std::vector<long double> inverse;
    qr.InverseRbar(inverse);
    const size_t P = static_cast<size_t>(qr.Columns());
    const long double scale = fit.sse / fit.df;
    const auto varianceOf = [&](const std::vector<long double>& a) {
        long double v = 0;
        for (size_t i = 0; i < P; ++i) {
            long double u = 0;
            for (size_t j = 0; j <= i; ++j) u += inverse[j * P + i] * a[j];
            v += u * u / qr.D(static_cast<int>(i));
        }
        return scale * v;
    };
    fit.coef.resize(static_cast<size_t>(k));
    fit.variance.resize(static_cast<size_t>(k));
    fit.beta.resize(static_cast<size_t>(k));
    std::vector<long double> a(P, 0.0L);
    for (int j = 0; j < k; ++j) {
        const size_t at = static_cast<size_t>(j);
        const size_t column = static_cast<size_t>(j + first);
        fit.coef[at] = b[column];
        if (!std::isfinite(static_cast<double>(b[column]))) return false;
        std::fill(a.begin(), a.end(), 0.0L);
        a[column] = 1;
        fit.variance[at] = varianceOf(a);
        const long double ratio = spread[at] / fit.sst;
        fit.beta[at] = ratio > 0 ? static_cast<double>(std::sqrt(ratio) * b[column]) : kNoValue;
    }
    if (fYInt) {
        // Back from the shifted design: b0 = y0 + c - sum of b_j t0_j.
        long double intercept = DecimalExtended(model.yShift) + b[0];
        a[0] = 1;
        for (int j = 0; j < k; ++j) {
            const long double t0 = model.termShift[static_cast<size_t>(j)];
            intercept -= b[static_cast<size_t>(j + 1)] * t0;
            a[static_cast<size_t>(j + 1)] = -t0;
        }
        fit.intercept = intercept;
        if (!std::isfinite(static_cast<double>(intercept))) return false;
        fit.interceptVariance = varianceOf(a);
    }
    return true;
}

void CRegressBase::WriteRow(Model& model, const GroupValues& group, int32_t groupRecords, int16_t dataField,
                            size_t setAt) {
    const dao::RecordsetPtr& rs = zantels_->OutputRecordset();
    const int k = shape_.terms;
    rs->AddNew();
    WriteGroupValues(rs, nG_, *fields_, group, dataField, countColumn_, "Missing", weighted_, model.weights.Value(),
                     groupRecords, model.used);
    const int spreadTerms = shape_.perField ? 1 : k;
    const Fit fit = FitModel(model, static_cast<int16_t>(k), yInt_, spreadTerms);
    CoefficientSet& set = sets_[setAt];
    set.valid = fit.ok;
    if (fit.ok) {
        WriteFitMeasures(rs, fit);
        WriteCoefficients(rs, fit, set);
    }
    rs->Update();
}

void CRegressBase::WriteFitMeasures(const dao::RecordsetPtr& rs, const Fit& fit) {
    const int k = shape_.terms;
    const auto D = [](long double v) { return static_cast<double>(v); };
    const double r2 = D(fit.r2);
    if (r2 > 0 || (shape_.multipleRAtZero && r2 == 0)) SetIfFinite(rs, "Multiple_R", D(std::sqrt(fit.r2)));
    SetIfFinite(rs, "R-Square", r2);
    if (fit.adjusted) SetIfFinite(rs, "Adj_R-Square", D(fit.adjustedR2));
    SetIfFinite(rs, "StdError_of_Estimate", D(std::sqrt(fit.sse / fit.df)));
    if (!anova_) return;
    SetIfFinite(rs, "Regression_DF", k);
    SetIfFinite(rs, "Residual_DF", fit.df);
    SetIfFinite(rs, "Total_DF", fit.df + k);
    SetIfFinite(rs, "Regression_SS", D(fit.regressionSs));
    SetIfFinite(rs, "Residual_SS", D(fit.sse));
    SetIfFinite(rs, "Total_SS", D(fit.sst));
    const long double regressionMs = fit.regressionSs / k;
    SetIfFinite(rs, "Regression_MS", D(regressionMs));
    SetIfFinite(rs, "Residual_MS", D(fit.sse / fit.df));
    if (fit.sse > 0) {
        const double f = D(regressionMs / (fit.sse / fit.df));
        if (std::isfinite(f)) {
            SetIfFinite(rs, "F-Value", f);
            SetIfFinite(rs, "Prob", zvalue_->Quarn_CalcProb("F", f, k, fit.df));
        }
    }
}

void CRegressBase::WriteCoefficients(const dao::RecordsetPtr& rs, const Fit& fit, CoefficientSet& set) {
    const int k = shape_.terms;
    const auto column = [&](int family, int j) { return CoefficientColumn(family, j, shape_.termLabels); };
    const auto D = [](long double v) { return static_cast<double>(v); };
    // A standard error only from a variance not below 0, a t value only from
    // a standard error above 0.
    const auto coefficient = [&](int j, double b, long double variance) {
        SetIfFinite(rs, column(kCoef, j), b);
        if (!(variance >= 0)) return;
        const double se = D(std::sqrt(variance));
        SetIfFinite(rs, column(kSe, j), se);
        if (!(se > 0)) return;
        const double t = D(static_cast<long double>(b) / std::sqrt(variance));
        if (!std::isfinite(t)) return;
        SetIfFinite(rs, column(kT, j), t);
        SetIfFinite(rs, column(kProb, j), zvalue_->Quarn_CalcProb("T", t, fit.df, 0));
    };
    set.coef.resize(static_cast<size_t>(k));
    set.intercept = yInt_ ? D(fit.intercept) : 0;
    if (yInt_) coefficient(0, set.intercept, fit.interceptVariance);
    for (int j = 1; j <= k; ++j) {
        const size_t at = static_cast<size_t>(j - 1);
        set.coef[at] = D(fit.coef[at]);
        coefficient(j, set.coef[at], fit.variance[at]);
        SetIfFinite(rs, column(kBeta, j), fit.beta[at]);
    }
}

// The group's residual rows, each written once and complete, from the
// records held while it was read and the coefficients just written: a
// field whose fit failed writes none.
void CRegressBase::WriteResiduals(const GroupValues& group) {
    ProcScope scope(ErrStack(), "CalcResiduals");
    RunContext& z = *zantels_;
    // The residual rows follow each group's fit rather than a pass of their
    // own: the stage is announced once, before the first group's rows.
    if (!residualsBegun_) {
        z.Quarn_Msg(0, true, "Performing residual analysis");
        residualsBegun_ = true;
    }
    const dao::RecordsetPtr& res = z.OutputRecordset2();
    std::vector<vb::Variant> names;
    if (shape_.perField) {
        for (int16_t f = 1; f <= m_; ++f) names.emplace_back((*fields_)[static_cast<size_t>(nG_ + f)]);
    }
    // The record set's fields, looked up once.
    const dao::FieldsPtr fields = res->Fields();
    std::vector<dao::Field*> column;
    for (int32_t i = 0; i < fields->Count(); ++i) column.push_back(fields->Item(i).get());
    held_->ForEach([&](const double* v) { WriteResidualRow(res, column, group, names, v); });
}

void CRegressBase::WriteResidualRow(const dao::RecordsetPtr& res, const std::vector<dao::Field*>& column,
                                    const GroupValues& group, const std::vector<vb::Variant>& names, const double* v) {
    RunContext& z = *zantels_;
    const int k = shape_.terms;
    const auto setFinite = [](dao::Field* field, double value) {
        if (std::isfinite(value)) field->Value(vb::Variant(value));
    };
    const size_t model = shape_.perField ? static_cast<size_t>(v[0]) - 1 : 0;
    const CoefficientSet& set = sets_[model];
    if (!set.valid) return;
    res->AddNew();
    for (int16_t i = 1; i <= nG_; ++i) {
        const vb::Variant& value = group[static_cast<size_t>(i)];
        if (!value.IsNull()) column[static_cast<size_t>(i - 1)]->Value(value);
    }
    long double estimate = set.intercept;
    double y = 0, w = 0;
    if (shape_.perField) {
        column[static_cast<size_t>(residualDataFieldCol_)]->Value(names[model]);
        const double x = v[1];
        y = v[2];
        w = v[3];
        column[static_cast<size_t>(residualFirstXCol_)]->Value(vb::Variant(x));
        long double power = 1;
        for (int j = 0; j < k; ++j) estimate += (power *= x) * set.coef[static_cast<size_t>(j)];
    } else {
        for (int j = 0; j < k; ++j) {
            column[static_cast<size_t>(residualFirstXCol_ + j)]->Value(vb::Variant(v[j]));
            estimate += static_cast<long double>(v[j]) * set.coef[static_cast<size_t>(j)];
        }
        y = v[k];
        w = v[k + 1];
    }
    if (weighted_) column[static_cast<size_t>(residualObsCol_)]->Value(vb::Variant(ResidualObservations(w)));
    column[static_cast<size_t>(residualYCol_)]->Value(vb::Variant(y));
    const double estimated = static_cast<double>(estimate);
    setFinite(column[static_cast<size_t>(residualEstimateCol_)], estimated);
    if (std::isfinite(estimated))
        setFinite(column[static_cast<size_t>(residualResidualCol_)], ReadValueLess(y, estimated));
    res->Update();
    ++residualsDone_;
    // Shown on every fifth row only: spare the text on the others.
    if (residualsDone_ % 5 == 0)
        z.Quarn_Msg(residualsDone_, false, "Residual analysis record: " + std::to_string(residualsDone_));
}
