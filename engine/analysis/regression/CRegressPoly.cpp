// Polynomial regression: for every group and every independent field
// separately, the weighted least-squares polynomial of Y in the powers 1..n
// of that field.
#include "analysis/AnalysisEntries.h"
#include "analysis/regression/RegressionBase.h"

namespace {

class CRegressPoly : public CRegressBase {
public:
    explicit CRegressPoly(int16_t intPolyOrder) : CRegressBase(Shape(intPolyOrder)) {}

private:
    static RegressionShape Shape(int16_t intPolyOrder) {
        RegressionShape shape;
        shape.entryName = "Quarn_RegressPoly";
        shape.perField = true;
        shape.terms = intPolyOrder;
        for (int16_t k = 1; k <= intPolyOrder; ++k) shape.termLabels.push_back("X^" + std::to_string(k));
        // Spread is asked of x itself; a power without spread shows in the solve.
        shape.everyTermNeedsSpread = false;
        return shape;
    }
};

}  // namespace

std::string Quarn_RegressPoly(const std::string& OutTableName, const std::string& ResidualTblName,
                              const std::string& strUserTable, FieldNames& strFields, int16_t intGroupFields,
                              int16_t intNumFields, bool fWeightField, bool fAnova, bool fYInt, int16_t /*intCI*/,
                              int16_t intPolyOrder, Quantara& Zantels) {
    if (intPolyOrder < 1) return "The polynomial order must be 1 or more";
    CRegressPoly regression(intPolyOrder);
    return regression.Run(OutTableName, ResidualTblName, strUserTable, strFields, intGroupFields, intNumFields,
                          fWeightField, fAnova, fYInt, Zantels);
}
