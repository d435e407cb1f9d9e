#include "ScenarioQueries.h"

#include "ErrorStack.h"
#include "ScenarioSchema.h"

namespace store {

std::string GetScenOptionSQL(const int32_t& lngScenarioID) {
    ProcScope scope(ErrStack(), "GetScenOptionSQL");
    try {
        const std::string scenarios(kScenariosTable);
        const std::string options(kOptionsTable);
        std::string sql = "SELECT  * FROM [" + scenarios + "] INNER JOIN [" + options + "] ON [" + scenarios +
                          "].Scenario_ID = [" + options + "].Scenario_ID ";
        if (lngScenarioID != 0) sql += "WHERE [" + scenarios + "].Scenario_ID=" + std::to_string(lngScenarioID);
        return sql;
    } catch (...) {
        ErrStack().HandleError();
        return {};
    }
}

std::string GetFieldListSQL(const int32_t& lngScenarioID) {
    ProcScope scope(ErrStack(), "GetFieldListSQL");
    try {
        return "SELECT * FROM [" + std::string(kFieldsTable) + "] WHERE Scenario_ID=" + std::to_string(lngScenarioID) +
               " order by FieldDef_Choice, FieldDef_Ordinal_Position";
    } catch (...) {
        ErrStack().HandleError();
        return {};
    }
}

}  // namespace store
