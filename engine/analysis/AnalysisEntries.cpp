#include "analysis/AnalysisEntries.h"

AnalysisEntryTable& AnalysisEntries() {
    static AnalysisEntryTable table;
    return table;
}
