#include "analysis/AnalysisEntries.h"

#include "Merivox6/Quantara.h"
#include "ZantelsScenario.h"

AnalysisEntryTable& AnalysisEntries() {
    static AnalysisEntryTable table;
    return table;
}

std::string AnalysisNotAvailable(const Quantara& Zantels, const std::string& entry) {
    const auto& scenario = Zantels.CurrentScenario();
    return "Analysis not available: " + (scenario ? scenario->CalcType() : entry);
}
