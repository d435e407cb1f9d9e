// Multiple linear regression: for every group, the weighted least-squares fit
// of Y on all independent fields together; a record with any value missing
// is left out.
#include "analysis/AnalysisEntries.h"
#include "analysis/regression/RegressionBase.h"
#include "vb/Conversions.h"

namespace {

class CRegressMulti : public CRegressBase {
public:
    CRegressMulti(const FieldNames& strFields, int16_t intGroupFields, int16_t intNumFields)
        : CRegressBase(Shape(strFields, intGroupFields, intNumFields)) {}

private:
    static RegressionShape Shape(const FieldNames& strFields, int16_t intGroupFields, int16_t intNumFields) {
        RegressionShape shape;
        shape.entryName = "Quarn_RegressMulti";
        shape.perField = false;
        shape.terms = intNumFields;
        for (int16_t j = 1; j <= intNumFields; ++j) {
            const std::string& name = strFields.at(static_cast<size_t>(intGroupFields + j));
            const std::string number = std::to_string(j);
            shape.termLabels.push_back("X" + number + ": " + name);
            shape.residualXColumns.push_back(vb::LeftChars("X" + number + ":" + name, 64));
        }
        return shape;
    }
};

}  // namespace

std::string Quarn_RegressMulti(const std::string& OutTableName, const std::string& ResidualTblName,
                               const std::string& strUserTable, FieldNames& strFields, int16_t intGroupFields,
                               int16_t intNumFields, bool fWeightField, bool fAnova, int16_t intYInt_b,
                               int16_t /*intCI*/, RunContext& Zantels) {
    CRegressMulti regression(strFields, intGroupFields, intNumFields);
    return regression.Run(OutTableName, ResidualTblName, strUserTable, strFields, intGroupFields, intNumFields,
                          fWeightField, fAnova, intYInt_b != 0, Zantels);
}
