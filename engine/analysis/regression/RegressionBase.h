// The machinery the three regression classes share: the output and residual
// tables, the least-squares fit of each model (a streaming orthogonal
// factorisation of the weighted design, shifted by the model's first record
// when it has an intercept), the writer of coefficients, measures of fit and
// the analysis-of-variance columns, and the residual rows, written once each
// when their group's fit is known.
//
// Two shapes of model are fitted:
// - per field (simple and polynomial regression): every independent field of
//   a group gets a fit of its own on the powers 1..n of that one field, a
//   row of its own (with "DataField") and residual rows of its own; a
//   missing x drops the record for that field only;
// - listwise (multiple regression): one fit of Y on all independent fields
//   together per group, one row per group, one residual row per record used;
//   a missing value in any field drops the record.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "GroupWalker.h"
#include "analysis/AnalysisEntries.h"
#include "dao/Dao.h"
#include "numeric/DecimalDeviation.h"
#include "numeric/LeastSquares.h"
#include "numeric/Numerics.h"
#include "vb/Variant.h"

class RunContext;
class CZValue;
class HeldRows;

// What tells one regression class from another.
struct RegressionShape {
    // The entry's name on the error stack.
    std::string entryName;
    // Per field (true) or listwise (false).
    bool perField = true;
    // Coefficients besides the intercept: the order of a polynomial, 1 for a
    // straight line, the number of independent fields listwise.
    int16_t terms = 1;
    // Stems of the coefficient columns: "Coef_of_" + stem and alike.
    std::vector<std::string> termLabels;
    // Listwise: the residual table's X columns.
    std::vector<std::string> residualXColumns;
    // Multiple_R is written for R-Square = 0 too (simple regression).
    bool multipleRAtZero = false;
};

class CRegressBase {
public:
    explicit CRegressBase(RegressionShape shape);
    virtual ~CRegressBase();
    CRegressBase(const CRegressBase&) = delete;
    CRegressBase& operator=(const CRegressBase&) = delete;

    // The whole run: sorted source, both tables, and the record loop in one
    // transaction, which writes each group's output rows and residual rows as
    // the group ends. Returns "" or the error text.
    std::string Run(const std::string& OutTableName, const std::string& ResidualTblName,
                    const std::string& strUserTable, FieldNames& strFields, int16_t intGroupFields,
                    int16_t intNumFields, bool fWeightField, bool fAnova, bool fYInt, RunContext& Zantels);

private:
    // One model's running fit: the factor of its design (the constant first
    // when there is an intercept, then the terms, shifted by the model's first
    // record; through the origin the terms as they are), with what the
    // measures of fit need beside it.
    struct Model {
        GivensLeastSquares qr;
        int32_t used = 0;                  // records used
        long double sw = 0;                // sum of weights
        ExactSum weights;                  // the same held exactly: the count written
        long double syyRaw = 0;            // sum of w y^2 (not shifted)
        bool started = false;              // the shifts are set
        std::vector<DecimalValue> xShift;  // listwise: one per field; per field: x
        DecimalValue yShift;
        std::vector<long double> termShift;  // the first record's terms 1..k (at 0..k-1)
        std::vector<bool> varies;            // a field's value differs from its first
        bool yVaries = false;
    };

    // The statistics of one fitted model.
    struct Fit {
        bool ok = false;
        double df = 0;
        long double sst = 0, sse = 0, regressionSs = 0, r2 = 0, adjustedR2 = 0;
        bool adjusted = false;
        std::vector<long double> coef;  // 1..k at 0..k-1
        long double intercept = 0;
        std::vector<long double> variance;  // per term
        long double interceptVariance = 0;
        std::vector<double> beta;  // NaN where not defined
    };
    // Fits a model of k terms whose record rows have been included; spreadTerms
    // of its fields (from the first) must vary.
    static Fit FitModel(const Model& model, int16_t k, bool fYInt, int spreadTerms);
    // Whether y and the terms that must vary do, and no term is collinear with
    // those before it; spread: each term's sum of squares.
    static bool Estimable(const Model& model, int16_t k, int first, int spreadTerms, std::vector<long double>& spread);
    // The fit's sums of squares and R-Square; false when y has no variation.
    static bool FitSums(const Model& model, int16_t k, int first, Fit& fit);
    // The coefficients b with their variances and betas, the intercept back
    // from the shifted design; false on one that is not finite.
    static bool FitCoefficients(const Model& model, int16_t k, bool fYInt, const std::vector<long double>& b,
                                const std::vector<long double>& spread, Fit& fit);

    std::string CreateOutput(const std::string& OutTableName, const std::vector<int32_t>& types,
                             const std::vector<int32_t>& sizes);
    std::string CreateResidual(const std::string& ResidualTblName, const std::vector<int32_t>& types,
                               const std::vector<int32_t>& sizes);
    void ReadRecords();
    void InitData();
    void CalcData(GroupWalker& walk, double w);
    void WriteData(const GroupValues& group, int32_t groupRecords);
    void WriteRow(Model& model, const GroupValues& group, int32_t groupRecords, int16_t dataField, size_t setAt);
    void WriteFitMeasures(const dao::RecordsetPtr& rs, const Fit& fit);
    void WriteResiduals(const GroupValues& group);

    void StartModel(Model& model, const double* x, double y);
    void AddRow(Model& model, const double* x, double y, double w);
    double ResidualObservations(double w) const;

    RegressionShape shape_;
    RunContext* zantels_ = nullptr;
    FieldNames* fields_ = nullptr;
    int16_t nG_ = 0;    // group fields
    int16_t m_ = 0;     // independent fields
    int16_t yPos_ = 0;  // the dependent field's position
    bool weighted_ = false;
    bool anova_ = false;
    bool yInt_ = false;
    bool residual_ = false;
    std::string countColumn_;
    std::string residualYColumn_;
    std::vector<Model> models_;     // one per field (per field) or one (listwise)
    std::vector<long double> row_;  // scratch design row
    std::vector<double> values_;    // scratch record values
    CZValue* zvalue_ = nullptr;
    // The coefficients written for each model of the group, for its residuals.
    struct CoefficientSet {
        bool valid = false;
        std::vector<double> coef;
        double intercept = 0;
    };
    std::vector<CoefficientSet> sets_;
    void WriteCoefficients(const dao::RecordsetPtr& rs, const Fit& fit, CoefficientSet& set);
    // One held record's residual row, when its model's fit succeeded.
    void WriteResidualRow(const dao::RecordsetPtr& res, const std::vector<dao::Field*>& column,
                          const GroupValues& group, const std::vector<vb::Variant>& names, const double* v);
    // The group's used records, held until its fit is known: per field
    // (field, x, y, w), listwise (x1..xk, y, w).
    std::unique_ptr<HeldRows> held_;
    int32_t residualsDone_ = 0;
    bool residualsBegun_ = false;  // "Performing residual analysis" shown
    // Residual rows: column positions in OutputRecordset2.
    int residualDataFieldCol_ = -1, residualObsCol_ = -1, residualFirstXCol_ = -1, residualYCol_ = -1;
    int residualEstimateCol_ = -1, residualResidualCol_ = -1;
};
