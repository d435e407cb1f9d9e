// The distinct values of a compare field, which the two- and many-sample
// tests take as their samples.
#include "analysis/nonparametric/QueryGroups.h"

#include "ErrorStack.h"
#include "RunContext.h"
#include "StatsGeneral.h"
#include "vb/VbError.h"

int Quarn_QueryGroups(const std::string& strUserTable, const std::vector<std::string>& strFields, int intGroupFields,
                      std::vector<int32_t>& lngFieldTypes, std::vector<int32_t>& lngFieldSizes,
                      std::vector<vb::Variant>& varGroups, RunContext& Zantels) {
    ProcScope scope(ErrStack(), "Quarn_QueryGroups");
    const std::string& compare = strFields.at(static_cast<size_t>(intGroupFields));
    std::vector<vb::Variant> values;
    try {
        const dao::DatabasePtr db = Zantels.SourceDatabase();
        const auto& listed = Zantels.compareValues;
        if (listed && listed->table == strUserTable && listed->field == compare) {
            values = listed->values;
        } else {
            dao::RecordsetPtr rs =
                db->OpenRecordset("SELECT DISTINCT " + Zantels.ValueSql(strUserTable, compare) + " AS " +
                                  BracketName(compare) + " FROM " + BracketName(strUserTable) + ";");
            for (; !rs->Eof(); rs->MoveNext()) values.push_back(rs->Fields(0)->Value());
            rs->Close();
        }
        if (values.empty()) return 0;
        dao::RecordsetPtr src = db->OpenRecordset(BracketName(strUserTable));
        Zantels.Quarn_InitFieldTypes(src, static_cast<int16_t>(intGroupFields), strFields, lngFieldTypes,
                                     lngFieldSizes);
        src->Close();
    } catch (const vb::VbError&) {
        return 0;
    }
    varGroups.assign(1, vb::Variant());
    varGroups.insert(varGroups.end(), values.begin(), values.end());
    return static_cast<int>(values.size());
}
