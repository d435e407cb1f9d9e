// The machinery the three regression classes share: the output and residual
// tables, the weighted sums of the normal equations, their solve, the writer
// of coefficients, measures of fit and the analysis-of-variance columns, and
// the residual pass that fills fitted values and residuals.
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
#include <string>
#include <vector>

#include "GroupWalker.h"
#include "analysis/AnalysisEntries.h"
#include "dao/Dao.h"
#include "vb/Variant.h"

class Quantara;
class CZValue;

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
    // Whether every term needs a spread (corrected sum of squares above 0),
    // or only the first (a polynomial needs spread in x itself).
    bool everyTermNeedsSpread = true;
    // Multiple_R is written for R-Square = 0 too (simple regression).
    bool multipleRAtZero = false;
    // The residual table's Observations: the whole part of the weight
    // (listwise) or the weight itself.
    bool residualWholeWeight = false;
};

class CRegressBase {
public:
    explicit CRegressBase(RegressionShape shape) : shape_(std::move(shape)) {}
    virtual ~CRegressBase() = default;
    CRegressBase(const CRegressBase&) = delete;
    CRegressBase& operator=(const CRegressBase&) = delete;

    // The whole run: sorted source, both tables, the record loop in one
    // transaction, the residual pass in a second. Returns "" or the error text.
    std::string Run(const std::string& OutTableName, const std::string& ResidualTblName,
                    const std::string& strUserTable, FieldNames& strFields, int16_t intGroupFields,
                    int16_t intNumFields, bool fWeightField, bool fAnova, bool fYInt, Quantara& Zantels);

    // Weighted sums of one model: the upper triangle of S, rows and columns
    // 1..k the terms, k+1 the constant, column k+2 the dependent value.
    struct ModelSums {
        int32_t used = 0;       // records used
        double syyRaw = 0;      // sum of w y^2
        std::vector<double> s;  // (k+1) x (k+2), row-major from (1,1)
    };

    // The statistics of one fitted model, for tests of the arithmetic alone.
    struct Fit {
        bool ok = false;
        double df = 0, sst = 0, sse = 0, r2 = 0;
        std::vector<double> coef;  // 1..k at 0..k-1
        double intercept = 0;
        std::vector<double> variance;  // SSE * inverse diagonal / df, per term
        double interceptVariance = 0;
        std::vector<double> beta;  // NaN where not defined
        std::vector<double> sxx;   // corrected sums of squares of the terms
        double syy = 0;
    };
    // Fits the model from its sums (k terms, with or without intercept).
    static Fit Solve(const ModelSums& sums, int16_t k, bool fYInt, const RegressionShape& shape, Quantara* Zantels);

private:
    std::string CreateOutput(const std::string& OutTableName, const std::vector<int32_t>& types,
                             const std::vector<int32_t>& sizes);
    std::string CreateResidual(const std::string& ResidualTblName, const std::vector<int32_t>& types,
                               const std::vector<int32_t>& sizes);
    void ReadRecords();
    void InitData();
    void CalcData(GroupWalker& walk, double w);
    void WriteData(const GroupValues& group, int32_t groupRecords);
    void WriteRow(const ModelSums& sums, const GroupValues& group, int32_t groupRecords, int16_t dataField);
    void CalcResiduals();

    void AddTerms(ModelSums& sums, const double* t, double w) const;
    double ResidualObservations(double w) const;

    RegressionShape shape_;
    Quantara* zantels_ = nullptr;
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
    std::vector<ModelSums> sums_;  // one per field (per field) or one (listwise)
    std::vector<double> terms_;    // scratch term vector 1..k+2
    CZValue* zvalue_ = nullptr;
    // Residual rows: column positions in OutputRecordset2.
    int residualDataFieldCol_ = -1, residualObsCol_ = -1, residualFirstXCol_ = -1, residualYCol_ = -1;
    int residualEstimateCol_ = -1, residualResidualCol_ = -1;
};
