#include "ScenarioCatalogue.h"

#include <array>
#include <cctype>
#include <string_view>

#include "ScenarioSchema.h"
#include "vb/Conversions.h"
#include "vb/VbError.h"

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

std::string StoredScenario::Text(std::string_view column) const {
    for (const auto& [name, value] : scenario)
        if (SameText(name, column)) return value.IsNull() || value.IsEmpty() ? std::string() : value.ToString();
    return {};
}

std::optional<StoredScenario> ReadStoredScenario(const dao::DatabasePtr& db, long scenarioId) {
    auto rows = [&db](const std::string& sql) {
        std::vector<StoredScenario::Row> read;
        dao::RecordsetPtr rs = db->OpenRecordset(sql, dao::dbOpenSnapshot);
        dao::RecordsetCloser closer(rs);
        while (!rs->Eof()) {
            StoredScenario::Row row;
            for (const dao::FieldPtr& field : *rs->Fields()) row.emplace_back(field->Name(), field->Value());
            read.push_back(std::move(row));
            rs->MoveNext();
        }
        return read;
    };
    // A table of options or fields that is missing holds no rows of the
    // scenario: the look compares, and the command meets the fault itself.
    auto rowsIfAny = [&rows](const std::string& sql) {
        try {
            return rows(sql);
        } catch (const vb::VbError& e) {
            if (e.Number() != dao::err::kNoInputTable) throw;
            return std::vector<StoredScenario::Row>();
        }
    };
    std::vector<StoredScenario::Row> scenario = rows(RowSql(kScenariosTable, scenarioId));
    if (scenario.empty()) return std::nullopt;
    StoredScenario stored;
    stored.scenario = std::move(scenario.front());
    std::vector<StoredScenario::Row> options = rowsIfAny(RowSql(kOptionsTable, scenarioId));
    if (!options.empty()) stored.options = std::move(options.front());
    std::string fields = RowSql(kFieldsTable, scenarioId);
    fields.pop_back();
    stored.fields = rowsIfAny(fields + " ORDER BY [FieldDef_Choice], [FieldDef_Ordinal_Position], [FieldDef_Name];");
    return stored;
}

std::string ChangeText(const StoredScenario& before, const StoredScenario& after) {
    std::vector<std::string> said;
    auto quoted = [](const std::string& text) { return text.empty() ? std::string("none") : "\"" + text + "\""; };
    auto tables = [](const StoredScenario& s) {
        std::string one = s.Text("Scenario_Output_Table1_Name"), two = s.Text("Scenario_Output_Table2_Name");
        if (one.empty() || two.empty()) return one.empty() && two.empty() ? std::string("none") : one + two;
        return one + " and " + two;
    };
    auto compare = [&](const std::string& what, const std::string& now, const std::string& was, bool plural = false) {
        if (now != was)
            said.push_back(what + (plural ? " are now " : " is now ") + now + (plural ? " (were " : " (was ") + was +
                           ")");
    };
    compare("its analysis", quoted(after.Text("Scenario_Analysis_SubType")),
            quoted(before.Text("Scenario_Analysis_SubType")));
    compare("its description", quoted(after.Text("Scenario_Description")), quoted(before.Text("Scenario_Description")));
    compare("its source", quoted(after.Text("Scenario_Input_Table_Name")),
            quoted(before.Text("Scenario_Input_Table_Name")));
    compare("its output tables", tables(after), tables(before), true);
    if (said.empty() && after.scenario != before.scenario) said.push_back("its settings changed");
    if (after.options != before.options) said.push_back("its options changed");
    if (after.fields != before.fields) said.push_back("its fields changed");
    std::string text;
    for (const std::string& part : said) text += (text.empty() ? "" : "; ") + part;
    return text;
}

long DuplicateScenario(const dao::WorkspacePtr& ws, const dao::DatabasePtr& db, long scenarioId,
                       const std::string& description, const StoredScenario* expected,
                       std::optional<StoredScenario>* now) {
    long newId = 0;
    dao::WorkspaceTransaction transaction(ws);
    if (expected) {
        std::optional<StoredScenario> found = ReadStoredScenario(db, scenarioId);
        if (found != *expected) {
            if (now) *now = std::move(found);
            return 0;
        }
    }
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

bool DeleteScenario(const dao::WorkspacePtr& ws, const dao::DatabasePtr& db, long scenarioId,
                    const StoredScenario* expected, std::optional<StoredScenario>* now) {
    dao::WorkspaceTransaction transaction(ws);
    if (expected) {
        std::optional<StoredScenario> found = ReadStoredScenario(db, scenarioId);
        if (found != *expected) {
            if (now) *now = std::move(found);
            return false;
        }
    }
    for (std::string_view table : {kScenariosTable, kFieldsTable, kOptionsTable})
        db->Execute("DELETE * FROM [" + std::string(table) + "] WHERE [Scenario_ID] = " + std::to_string(scenarioId) +
                    ";");
    transaction.Commit();
    return true;
}

}  // namespace store
