// Simple linear regression: for every group and every independent field
// separately, the weighted least-squares line of Y on that field.
#include "analysis/AnalysisEntries.h"
#include "analysis/regression/RegressionBase.h"

namespace {

class CRegressSimple : public CRegressBase {
public:
    CRegressSimple() : CRegressBase(Shape()) {}

private:
    static RegressionShape Shape() {
        RegressionShape shape;
        shape.entryName = "Quarn_RegressSimple";
        shape.perField = true;
        shape.terms = 1;
        shape.termLabels = {"X"};
        shape.multipleRAtZero = true;
        return shape;
    }
};

}  // namespace

std::string Quarn_RegressSimple(const std::string& OutTableName, const std::string& ResidualTblName,
                                const std::string& strUserTable, FieldNames& strFields, int16_t intGroupFields,
                                int16_t intNumFields, bool fWeightField, bool fAnova, int16_t intYInt_b,
                                int16_t /*intCI*/, RunContext& Zantels) {
    CRegressSimple regression;
    return regression.Run(OutTableName, ResidualTblName, strUserTable, strFields, intGroupFields, intNumFields,
                          fWeightField, fAnova, intYInt_b != 0, Zantels);
}
