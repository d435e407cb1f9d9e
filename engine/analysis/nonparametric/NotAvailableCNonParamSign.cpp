// Stand-in until the analysis is built: the run reports that it is missing.
#include "analysis/AnalysisEntries.h"

std::string Quarn_SignFitTest(const std::string&, const std::string&, FieldNames&, int16_t, int16_t, bool, bool, std::vector<int16_t>&, bool, bool, bool, double, Quantara& Zantels) {
    return AnalysisNotAvailable(Zantels, "Sign Test");
}
