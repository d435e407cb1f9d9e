#include "ScenarioCatalogue.h"

#include <array>
#include <cctype>
#include <string_view>

#include "ScenarioSchema.h"
#include "vb/Conversions.h"

namespace store {

namespace {

// A stored value as the list shows it: Null as empty, dates to the minute.
std::string CellText(const vb::Variant& value) {
    if (value.IsNull() || value.IsEmpty()) return {};
    if (value.Type() == vb::vbDate) return vb::Format(value, "yyyy-mm-dd hh:nn");
    return value.ToString();
}

// Comparison of stored texts as the database compares them (ASCII letters without case).
bool SameText(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        unsigned char x = static_cast<unsigned char>(a[i]), y = static_cast<unsigned char>(b[i]);
        if (x >= 'A' && x <= 'Z') x = static_cast<unsigned char>(x + 32);
        if (y >= 'A' && y <= 'Z') y = static_cast<unsigned char>(y + 32);
        if (x != y) return false;
    }
    return true;
}

// The scenario's number: the one column a copy does not take over.
bool IsScenarioKey(const ColumnDef& column) { return SameText(column.Name(), "Scenario_ID"); }

std::string RowSql(std::string_view table, long id) {
    return "SELECT * FROM [" + std::string(table) + "] WHERE [Scenario_ID] = " + std::to_string(id) + ";";
}

}  // namespace

std::vector<ScenarioRow> ListScenarios(const dao::DatabasePtr& db, const std::string& family,
                                       const std::string& analysis) {
    const std::string sql =
        "SELECT  Scenario_ID, Scenario_Analysis_SubType, Scenario_Description, Scenario_Input_Table_Name, "
        "Scenario_Analysis_Type, Scenario_Output_Table1_Name, Scenario_Output_Table2_Name, Scenario_CreatedBy, "
        "Scenario_DateCreated, Scenario_ModifiedBy, Scenario_LastModified FROM usysQuarnScenarios ORDER BY "
        "SortOrder, Scenario_ID;";
    std::vector<ScenarioRow> rows;
    dao::RecordsetPtr rs = db->OpenRecordset(sql, dao::dbOpenSnapshot);
    auto text = [&rs](const char* name) { return CellText(rs->Fields(name)->Value()); };
    while (!rs->Eof()) {
        ScenarioRow row;
        row.family = text("Scenario_Analysis_Type");
        row.analysis = text("Scenario_Analysis_SubType");
        if (SameText(row.family, family) && (analysis == "*" || SameText(row.analysis, analysis))) {
            row.id = text("Scenario_ID");
            row.description = text("Scenario_Description");
            row.inputTable = text("Scenario_Input_Table_Name");
            row.outputTable1 = text("Scenario_Output_Table1_Name");
            row.outputTable2 = text("Scenario_Output_Table2_Name");
            row.createdBy = text("Scenario_CreatedBy");
            row.dateCreated = text("Scenario_DateCreated");
            row.modifiedBy = text("Scenario_ModifiedBy");
            row.lastModified = text("Scenario_LastModified");
            rows.push_back(std::move(row));
        }
        rs->MoveNext();
    }
    rs->Close();
    return rows;
}

CatalogueWatch::CatalogueWatch(const dao::DatabasePtr& db)
    : db_(db),
      pager_(std::make_unique<dao::RowPager>(db->OpenRecordset(std::string(kScenariosTable), dao::dbOpenSnapshot))) {}

CatalogueWatch::~CatalogueWatch() = default;

bool CatalogueWatch::Changed() { return pager_->FileChanged(); }

// The pager takes the file's state at each call; a count is its cheapest.
void CatalogueWatch::Seen() { pager_->RowCount(); }

std::optional<std::string> CopyableScenario(const dao::DatabasePtr& db, long scenarioId) {
    dao::RecordsetPtr scenario = db->OpenRecordset(RowSql(kScenariosTable, scenarioId));
    const bool found = !scenario->Eof();
    std::string description;
    if (found) {
        const vb::Variant stored = scenario->Fields("Scenario_Description")->Value();
        if (!stored.IsNull()) description = stored.ToString();
    }
    scenario->Close();
    if (!found) return std::nullopt;
    dao::RecordsetPtr options = db->OpenRecordset(RowSql(kOptionsTable, scenarioId));
    const bool hasOptions = !options->Eof();
    options->Close();
    if (!hasOptions) return std::nullopt;
    return description;
}

long DuplicateScenario(const dao::WorkspacePtr& ws, const dao::DatabasePtr& db, long scenarioId,
                       const std::string& description) {
    long newId = 0;
    dao::WorkspaceTransaction transaction(ws);
    dao::RecordsetPtr oldScenario = db->OpenRecordset(RowSql(kScenariosTable, scenarioId));
    dao::RecordsetPtr oldOptions = db->OpenRecordset(RowSql(kOptionsTable, scenarioId));
    const bool vanished = oldScenario->Eof() || oldOptions->Eof();
    if (!vanished) {
        dao::RecordsetPtr rs = db->OpenRecordset(std::string(kScenariosTable), dao::dbOpenDynaset);
        rs->AddNew();
        for (const ColumnDef& column : ScenariosSchema().columns) {
            if (IsScenarioKey(column)) continue;
            const std::string name(column.Name());
            rs->Fields(name)->Value(name == "Scenario_Description" ? vb::Variant(description)
                                                                   : oldScenario->Fields(name)->Value());
        }
        rs->Update();
        rs->Bookmark(rs->LastModified());
        newId = rs->Fields("Scenario_ID")->Value().ToLong();
        rs->Close();

        dao::RecordsetPtr options = db->OpenRecordset(std::string(kOptionsTable), dao::dbOpenDynaset);
        options->AddNew();
        for (const ColumnDef& column : OptionsSchema().columns) {
            const std::string name(column.Name());
            // The copy has the columns its table has (an older table lacks later options).
            if (!oldOptions->Fields()->Contains(name)) continue;
            options->Fields(name)->Value(IsScenarioKey(column) ? vb::Variant(static_cast<int32_t>(newId))
                                                               : oldOptions->Fields(name)->Value());
        }
        options->Update();
        options->Close();

        std::string columns, values;
        for (const ColumnDef& column : FieldsSchema().columns) {
            const std::string name(column.Name());
            columns += (columns.empty() ? "[" : ", [") + name + "]";
            values += values.empty() ? "" : ", ";
            values += IsScenarioKey(column) ? std::to_string(newId) + " AS Expr1" : "[" + name + "]";
        }
        db->Execute("INSERT INTO [" + std::string(kFieldsTable) + "] (" + columns + ") SELECT " + values + " FROM [" +
                    std::string(kFieldsTable) + "] WHERE [Scenario_ID]=" + std::to_string(scenarioId));
    }
    oldScenario->Close();
    oldOptions->Close();
    if (vanished) return 0;
    transaction.Commit();
    return newId;
}

void DeleteScenario(const dao::WorkspacePtr& ws, const dao::DatabasePtr& db, long scenarioId) {
    dao::WorkspaceTransaction transaction(ws);
    for (std::string_view table : {kScenariosTable, kFieldsTable, kOptionsTable})
        db->Execute("DELETE * FROM [" + std::string(table) + "] WHERE [Scenario_ID] = " + std::to_string(scenarioId) +
                    ";");
    transaction.Commit();
}

}  // namespace store
