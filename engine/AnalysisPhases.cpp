// The shared run phases of the analysis entries.
#include "AnalysisPhases.h"

#include "RunContext.h"

std::string RunAnalysisPhases(RunContext& Zantels, const AnalysisPhases& phases) {
    Zantels.Quarn_Msg(0, true, "Retrieving and sorting data");
    std::string result = phases.openSource();
    if (!result.empty()) return result;

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

dao::TableDefPtr NewResultTable(RunContext& Zantels, const std::string& strName) {
    Zantels.Quarn_DeleteTable(false, strName);
    return Zantels.OutputDatabase()->CreateTableDef(strName);
}
