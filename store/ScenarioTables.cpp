#include "ScenarioTables.h"

#include <string>
#include <utility>
#include <vector>

#include "CurrentDatabase.h"
#include "ErrorStack.h"
#include "ui/UiServices.h"
#include "vb/App.h"
#include "vb/VbError.h"

namespace store {
namespace {

dao::DatabasePtr RequireDatabase() {
    dao::DatabasePtr db = CurrentDatabase();
    if (!db) vb::Raise(vb::err::kObjectVariableNotSet);
    return db;
}

dao::WorkspacePtr RequireWorkspace() {
    dao::WorkspacePtr ws = CurrentWorkspace();
    if (!ws) vb::Raise(vb::err::kObjectVariableNotSet);
    return ws;
}

// Presence by name only; any failure of the lookup counts as missing.
bool TableExists(dao::Database& db, std::string_view name) {
    try {
        return db.TableDefs()->Item(name) != nullptr;
    } catch (...) {
        return false;
    }
}

std::string InitializeQuestion() {
    const std::string& product = vb::App().productName;
    return "This is the first time you have opened this database for use with " + product + ".\r\n\r\n" +
           "The Scenario information tables must be created in your database in order for " + product +
           " to work. \r\n\r\n" + "Would you like to add the " + product + " scenario tables to this database?";
}

// The busy pointer for the life of a scope.
class BusyPointer {
public:
    BusyPointer() { ui::Ui().SetMousePointer(ui::vbHourglass); }
    ~BusyPointer() { ui::Ui().SetMousePointer(ui::vbDefault); }
    BusyPointer(const BusyPointer&) = delete;
    BusyPointer& operator=(const BusyPointer&) = delete;
};

bool BuildReported(const char* procedure, const TableSchema& schema) {
    ProcScope scope(ErrStack(), procedure);
    try {
        BuildTable(*RequireDatabase(), schema);
        return true;
    } catch (...) {
        ErrStack().HandleError();
        return false;
    }
}

// A column's field as its definition makes it.
dao::FieldPtr NewField(dao::TableDef& table, const ColumnDef& column) {
    dao::FieldPtr field = table.CreateField(std::string(column.name), column.type, column.size);
    if (column.attributes != 0) field->Attributes(column.attributes);
    if (column.zeroLength != ZeroLength::NotSet) field->AllowZeroLength(column.zeroLength == ZeroLength::Allowed);
    if (!column.defaultValue.empty()) field->DefaultValue(std::string(column.defaultValue));
    if (!column.validationRule.empty()) field->ValidationRule(std::string(column.validationRule));
    if (!column.validationText.empty()) field->ValidationText(std::string(column.validationText));
    return field;
}

// Descriptions are user-defined properties, set on the stored column.
void Describe(dao::TableDef& stored, const ColumnDef& column) {
    if (column.description.empty()) return;
    dao::FieldPtr field = stored.Fields(column.Name());
    field->Properties()->Append(field->CreateProperty("Description", dao::dbText, std::string(column.description)));
}

}  // namespace

void BuildTable(dao::Database& database, const TableSchema& schema) {
    const std::string tableName(schema.name);
    dao::TableDefPtr table = database.CreateTableDef(tableName);
    for (const ColumnDef& column : schema.columns) table->Fields()->Append(NewField(*table, column));
    for (const IndexDef& index : schema.indexes) {
        dao::IndexPtr created = table->CreateIndex(std::string(index.name));
        for (std::string_view name : index.fields) created->Fields()->Append(created->CreateField(std::string(name)));
        if (index.primary) created->Primary(true);
        table->Indexes()->Append(created);
    }
    database.TableDefs()->Append(table);

    dao::TableDefPtr stored = database.TableDefs()->Item(tableName);
    for (const ColumnDef& column : schema.columns) Describe(*stored, column);
}

void AddMissingColumns(dao::Database& database, const TableSchema& schema) {
    dao::TableDefPtr stored = database.TableDefs()->Item(schema.name);
    // The rows already there read an absent column as AbsentColumnValue; an
    // added column gives them its default instead, so where the two differ
    // they are given what they read before.
    std::vector<std::pair<const ColumnDef*, vb::Variant>> refill;
    for (const ColumnDef& column : schema.columns) {
        if (stored->Fields()->Contains(column.Name())) continue;
        stored->Fields()->Append(NewField(*stored, column));
        Describe(*stored, column);
        vb::Variant before = AbsentColumnValue(column);
        if (!(before == AddedColumnValue(column))) refill.emplace_back(&column, std::move(before));
    }
    if (refill.empty()) return;
    dao::RecordsetPtr rows = stored->OpenRecordset(dao::dbOpenTable);
    for (; !rows->Eof(); rows->MoveNext()) {
        rows->Edit();
        for (const auto& [column, value] : refill) rows->Fields(column->Name())->Value(value);
        rows->Update();
    }
    rows->Close();
}

bool BuildScenarioTable() { return BuildReported("BuildScenarioTable", ScenariosSchema()); }

bool BuildScenarioOptionsTable() { return BuildReported("BuildScenarioOptionsTable", OptionsSchema()); }

bool BuildScenarioFieldsTable() { return BuildReported("BuildScenarioFieldsTable", FieldsSchema()); }

bool CreateScenarioTables() {
    ProcScope scope(ErrStack(), "CreateScenarioTables");
    bool ok = false;
    try {
        BusyPointer busy;
        dao::DatabasePtr db = RequireDatabase();
        // Only the missing tables are built, so a database that holds some
        // of them can still be completed.
        const bool needScenarios = !TableExists(*db, kScenariosTable);
        const bool needOptions = !TableExists(*db, kOptionsTable);
        const bool needFields = !TableExists(*db, kFieldsTable);

        dao::WorkspaceTransaction transaction(RequireWorkspace());
        ok = true;
        if (needScenarios) ok = BuildScenarioTable();
        if (ok && needOptions) ok = BuildScenarioOptionsTable();
        if (ok && needFields) ok = BuildScenarioFieldsTable();
        if (ok) transaction.Commit();
    } catch (...) {
        ErrStack().HandleError();
        ok = false;
    }
    return ok;
}

bool CheckQuarnTables() {
    ProcScope scope(ErrStack(), "CheckQuarnTables");
    dao::DatabasePtr db;
    try {
        db = RequireDatabase();
    } catch (...) {
        ErrStack().HandleError();
        return false;
    }

    // From the first lookup on, a failure only means "not there" or "not created".
    try {
        if (TableExists(*db, kScenariosTable) && TableExists(*db, kOptionsTable) && TableExists(*db, kFieldsTable))
            return true;
        if (!db->Updatable()) {
            ui::Ui().MsgBox("The database '" + db->Name() +
                                "' does not hold the scenario tables, and they cannot be added: the database is "
                                "read-only.",
                            ui::vbOKOnly, "Initialize Database");
            return false;
        }
        if (ui::Ui().MsgBox(InitializeQuestion(), ui::vbYesNo | ui::vbQuestion, "Initialize Database") == ui::vbYes)
            return CreateScenarioTables();
    } catch (...) {}
    return false;
}

}  // namespace store
