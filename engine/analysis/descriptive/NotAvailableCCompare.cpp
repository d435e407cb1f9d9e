// Stand-in until the analysis is built: the run reports that it is missing.
#include "analysis/AnalysisEntries.h"

std::string Quarn_Compare(const std::string&, const std::string&, FieldNames&, int16_t, int16_t, bool, const std::string&, Quantara& Zantels) {
    return AnalysisNotAvailable(Zantels, "Compare");
}
