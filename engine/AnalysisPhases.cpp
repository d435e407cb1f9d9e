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

std::string RunFieldPhases(RunContext& Zantels, const FieldPhases& phases) {
    std::string result;
    bool made = !phases.createOutput;
    for (size_t i = 0; i < phases.fieldNames.size() && result.empty(); ++i) {
        const int c = static_cast<int>(i) + 1;
        Zantels.Quarn_Msg(0, true, "Retrieving and sorting [" + phases.fieldNames[i] + "] data");
        result = phases.openField(c);
        if (!result.empty()) break;
        if (!made) {
            Zantels.Quarn_Msg(0, true, "Creating output table");
            result = phases.createOutput();
            made = true;
        }
        if (result.empty()) {
            Zantels.BeginTrans();
            phases.readRecords(c);
            Zantels.CommitTrans();
        }
        Zantels.DataRecordset()->Close();
    }
    if (Zantels.OutputRecordset()) Zantels.OutputRecordset()->Close();
    return result;
}
