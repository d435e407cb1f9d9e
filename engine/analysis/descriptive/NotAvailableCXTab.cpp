// Stand-in until the analysis is built: the run reports that it is missing.
#include "analysis/AnalysisEntries.h"

std::string Quarn_Xtab(std::string&, std::string&, std::string&, FieldNames&, int16_t&, int16_t&, int16_t&, std::string&, std::string&, Quantara& Zantels) {
    return AnalysisNotAvailable(Zantels, "Crosstab");
}
