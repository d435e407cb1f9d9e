// Polynomial regression: for every group and every independent field
// separately, the weighted least-squares polynomial of Y in the powers 1..n
// of that field.
#include <algorithm>
#include <string>

#include "analysis/AnalysisEntries.h"
#include "analysis/regression/RegressionBase.h"

namespace {

// The most columns a table of the database can have.
constexpr int kMaxTableColumns = 2000;

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
        return shape;
    }
};

}  // namespace

std::string Quarn_RegressPoly(const std::string& OutTableName, const std::string& ResidualTblName,
                              const std::string& strUserTable, FieldNames& strFields, int16_t intGroupFields,
                              int16_t intNumFields, bool fWeightField, bool fAnova, bool fYInt, int16_t /*intCI*/,
                              int16_t intPolyOrder, RunContext& Zantels) {
    if (intPolyOrder < 1) return "The polynomial order must be 1 or more";
    // Each power takes five columns of the output table, and a table holds at
    // most kMaxTableColumns: a higher order could never be written, so it is
    // refused before anything is made or held.
    const int fixedColumns = 1 + intGroupFields + 3 + (fWeightField ? 1 : 0) + (fYInt ? 4 : 0) + 4 + (fAnova ? 10 : 0);
    const int highest = (kMaxTableColumns - fixedColumns) / 5;
    if (intPolyOrder > highest)
        return "The polynomial order " + std::to_string(intPolyOrder) + " is too high: at most " +
               std::to_string(std::max(highest, 0)) + " powers fit in the output table";
    CRegressPoly regression(intPolyOrder);
    return regression.Run(OutTableName, ResidualTblName, strUserTable, strFields, intGroupFields, intNumFields,
                          fWeightField, fAnova, fYInt, Zantels);
}
