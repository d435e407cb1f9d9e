// Stand-in until the analysis is built: the run reports that it is missing.
#include "analysis/AnalysisEntries.h"

std::string Quarn_NonParametric(const std::string&, const std::string&, FieldNames&, int16_t, int16_t, int16_t, bool, int16_t, std::vector<double>&, int16_t&, int16_t&, int16_t&, int16_t&, int16_t&, Quantara& Zantels) {
    return AnalysisNotAvailable(Zantels, "Paired Fields");
}
