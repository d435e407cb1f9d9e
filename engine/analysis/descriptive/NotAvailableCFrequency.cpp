// Stand-in until the analysis is built: the run reports that it is missing.
#include "analysis/AnalysisEntries.h"

std::string Quarn_Frequency(const std::string&, const std::string&, FieldNames&, int16_t, int16_t, int16_t, const std::string&, int16_t, double, double, Quantara& Zantels) {
    return AnalysisNotAvailable(Zantels, "Frequency");
}
