// The shared run phases of the analysis entries.
#include "AnalysisPhases.h"

#include "Merivox6/Quantara.h"

std::string RunAnalysisPhases(Quantara& Zantels, const AnalysisPhases& phases) {
    Zantels.Quarn_Msg(0, true, "Retrieving and sorting data");
    std::string result = phases.openSource();
    // A source that cannot be read leaves the results of an earlier run as
    // they are; only then do the old tables go.
    if (!result.empty()) return result;
    for (const std::string& table : phases.resultTables) {
        if (!table.empty()) Zantels.Quarn_DeleteTable(false, table);
    }

    Zantels.Quarn_Msg(0, true, "Creating output table");
    result = phases.createOutput();
    if (result.empty()) {
        Zantels.Quarn_Msg(0, true, "Analyzing records");
        Zantels.BeginTrans();
        phases.readRecords();
        Zantels.CommitTrans();
        if (phases.afterRecords) phases.afterRecords();
    }
    if (Zantels.OutputRecordset()) Zantels.OutputRecordset()->Close();
    if (Zantels.DataRecordset()) Zantels.DataRecordset()->Close();
    return result;
}

dao::TableDefPtr NewResultTable(Quantara& Zantels, const std::string& strName) {
    Zantels.Quarn_DeleteTable(false, strName);
    return Zantels.get_OutputDatabase()->CreateTableDef(strName);
}
