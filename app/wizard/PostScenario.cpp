// Writing the scenario object to the three scenario tables of the current
// database, column by column as the scenario schema says, in one
// transaction: either the scenario, options and field rows are all written
// or nothing is, and a failure is shown with its reason. An edit overwrites
// another program's change to the scenario only when the user says so.
#include <string>

#include "CurrentDatabase.h"
#include "ScenarioCatalogue.h"
#include "ErrorStack.h"
#include "ScenarioTables.h"
#include "shell/ProgramInfo.h"
#include "shell/modMerivox.h"
#include "services/ErrorBoundary.h"
#include "ui/UiServices.h"
#include "vb/Conversions.h"
#include "vb/VbError.h"
#include "wizard/CZantelsPropWiz.h"

namespace {

// A record set closed on every way out, before the transaction ends.
class OpenTable {
public:
    OpenTable(const dao::DatabasePtr& db, std::string_view table)
        : rs_(db->OpenRecordset(std::string(table), dao::dbOpenDynaset)) {}
    ~OpenTable() {
        try {
            rs_->Close();
        } catch (...) {}
    }
    dao::Recordset* operator->() const { return rs_.get(); }
    void Set(std::string_view column, const vb::Variant& value) const { rs_->Fields(column)->Value(value); }
    OpenTable(const OpenTable&) = delete;
    OpenTable& operator=(const OpenTable&) = delete;

private:
    dao::RecordsetPtr rs_;
};

std::string NoLongerText(int32_t id) { return "Scenario " + std::to_string(id) + " is no longer in the database."; }

std::string WhereKey(int32_t id) { return "[Scenario_ID] = " + std::to_string(id); }

// The user the save records: the log-on of the database's workspace, cut to the column.
std::string UserName(const dao::WorkspacePtr& ws, std::string_view column) {
    std::string user = ws ? ws->UserName() : dao::DBEngine().Workspaces(0)->UserName();
    const store::ColumnDef* def = store::ScenariosSchema().Column(column);
    if (def && def->size > 0 && user.size() > static_cast<size_t>(def->size))
        user.resize(static_cast<size_t>(def->size));
    return user;
}

// What the save records beside the object's values: whether it adds the
// scenario, when, and the workspace whose user it names.
struct SaveStamp {
    bool isNew;
    vb::Variant now;
    dao::WorkspacePtr ws;
};

// Writes one column from the object by the schema's rule for it.
void WriteColumn(const CZantelsPropWiz& wiz, const SaveStamp& stamp, const OpenTable& rs,
                 const store::ColumnDef& column) {
    using store::SaveAs;
    switch (column.saveAs) {
        case SaveAs::NotWritten:
            return;
        case SaveAs::AsHeld:
            rs.Set(column.Name(), wiz.GetProperty(column.property));
            return;
        case SaveAs::EmptyToNull: {
            vb::Variant v = wiz.GetProperty(column.property);
            if (v.IsEmpty() || (v.IsString() && v.String().empty())) v = vb::Variant::Null();
            rs.Set(column.Name(), v);
            return;
        }
        case SaveAs::Key:
            return;  // written with the new row
        case SaveAs::SortOrder:
            rs.Set(column.Name(), vb::Variant(CZantelsPropWiz::GetScenarioSort(wiz.CalcType())));
            return;
        case SaveAs::VersionMark:
            rs.Set(column.Name(), vb::Variant(std::string(store::kScenarioVersion)));
            return;
        case SaveAs::NowWhenNew:
            if (stamp.isNew) rs.Set(column.Name(), stamp.now);
            return;
        case SaveAs::NowWhenEdited:
            if (!stamp.isNew) rs.Set(column.Name(), stamp.now);
            return;
        case SaveAs::UserWhenNew:
            if (stamp.isNew) rs.Set(column.Name(), vb::Variant(UserName(stamp.ws, column.name)));
            return;
        case SaveAs::UserWhenEdited:
            if (!stamp.isNew) rs.Set(column.Name(), vb::Variant(UserName(stamp.ws, column.name)));
            return;
        case SaveAs::Filler:
            rs.Set(column.Name(), vb::Variant(vb::Space(static_cast<size_t>(column.size))));
            return;
    }
}

// An edit is saved over the scenario it was read from: another program's
// change since then is named and overwritten only on Yes. False on No;
// `expected` then becomes what the file holds.
bool AgreeToOverwrite(const dao::DatabasePtr& db, int32_t id, std::optional<store::StoredScenario>& expected) {
    const std::optional<store::StoredScenario> found = store::ReadStoredScenario(db, id);
    if (!found) vb::Raise(dao::err::kNoCurrentRecord, NoLongerText(id));
    if (*found == *expected) return true;
    const std::string question =
        "Scenario #" + std::to_string(id) +
        " was changed by another program since you began editing it: " + store::ChangeText(*expected, *found) +
        ".\r\n\r\nDo you want to save yours over it?";
    if (ui::MsgBox(question, ui::vbYesNo | ui::vbQuestion, program::kAppTitle) != ui::vbYes) return false;
    expected = found;
    return true;
}

// Within the transaction: the scenario is still as the user last saw it.
void RequireUnchanged(const dao::DatabasePtr& db, int32_t id, const store::StoredScenario& expected) {
    const std::optional<store::StoredScenario> found = store::ReadStoredScenario(db, id);
    if (!found) vb::Raise(dao::err::kNoCurrentRecord, NoLongerText(id));
    if (*found != expected)
        vb::Raise(dao::err::kNoCurrentRecord, "Scenario " + std::to_string(id) +
                                                  " was changed again by another program while you were asked."
                                                  " Save again to see what changed.");
}

// The scenario row, added or edited; returns its number.
int32_t WriteScenarioRow(const CZantelsPropWiz& wiz, const SaveStamp& stamp, const dao::DatabasePtr& db, int32_t id) {
    OpenTable scenarios(db, store::kScenariosTable);
    if (stamp.isNew) {
        scenarios->AddNew();
        id = scenarios->Fields("Scenario_ID")->Value().ToLong();
    } else {
        scenarios->FindFirst(WhereKey(id));
        if (scenarios->NoMatch()) vb::Raise(dao::err::kNoCurrentRecord, NoLongerText(id));
        scenarios->Edit();
    }
    for (const store::ColumnDef& column : store::ScenariosSchema().columns) WriteColumn(wiz, stamp, scenarios, column);
    scenarios->Update();
    return id;
}

// The options row, added when the scenario has none yet.
void WriteOptionsRow(const CZantelsPropWiz& wiz, const SaveStamp& stamp, const dao::DatabasePtr& db, int32_t id) {
    // A table made before an analysis brought options of its own grows by their columns.
    store::AddMissingColumns(*db, store::OptionsSchema());
    OpenTable options(db, store::kOptionsTable);
    bool adding = stamp.isNew;
    if (!stamp.isNew) {
        options->FindFirst(WhereKey(id));
        adding = options->NoMatch();
    }
    if (adding) {
        options->AddNew();
        options.Set("Scenario_ID", vb::Variant(id));
    } else {
        options->Edit();
    }
    for (const store::ColumnDef& column : store::OptionsSchema().columns) WriteColumn(wiz, stamp, options, column);
    options->Update();
}

// The field rows, written afresh: one for each field with a choice.
void WriteFieldRows(const CZantelsPropWiz& wiz, const dao::DatabasePtr& db, int32_t id) {
    db->Execute("DELETE * FROM " + std::string(store::kFieldsTable) + " WHERE " + WhereKey(id));
    OpenTable fields(db, store::kFieldsTable);
    for (const ScenarioFieldPtr& field : *wiz.ScenarioFields()) {
        if (field->Choice().empty()) continue;
        fields->AddNew();
        fields.Set("Scenario_ID", vb::Variant(id));
        fields.Set("FieldDef_Ordinal_Position", vb::Variant(field->OrdinalPosition()));
        fields.Set("FieldDef_Name", vb::Variant(field->Name()));
        fields.Set("FieldDef_Choice", vb::Variant(field->Choice()));
        fields->Update();
    }
}

}  // namespace

bool CZantelsPropWiz::PostScenario() {
    ProcScope scope(ErrStack(), "CZantelsPropWiz:PostScenario");
    if (RefuseReadOnlyDatabase()) return false;
    std::string reason;
    try {
        dao::DatabasePtr db = store::CurrentDatabase();
        dao::WorkspacePtr ws = store::CurrentWorkspace();
        if (!db || !ws) vb::Raise(vb::err::kObjectVariableNotSet, "No database is open.");
        const SaveStamp stamp{Scenario_ID() == 0, vb::Variant(vb::Now()), ws};
        int32_t id = Scenario_ID();
        std::optional<store::StoredScenario> expected = stored_;
        if (!stamp.isNew && expected && !AgreeToOverwrite(db, id, expected)) return false;

        dao::WorkspaceTransaction transaction(ws);
        if (!stamp.isNew && expected) RequireUnchanged(db, id, *expected);
        id = WriteScenarioRow(*this, stamp, db, id);
        WriteOptionsRow(*this, stamp, db, id);
        WriteFieldRows(*this, db, id);
        std::optional<store::StoredScenario> written = store::ReadStoredScenario(db, id);
        transaction.Commit();
        Scenario_ID(id);
        Changed(false);
        stored_ = std::move(written);
        return true;
    } catch (const vb::VbError& e) {
        reason = e.Description();
    } catch (const std::exception& e) {
        reason = e.what();
    }
    ui::MsgBox("The scenario could not be saved for the following reason:\r\n\r\n" + reason,
               ui::vbOKOnly | ui::vbCritical, program::kAppTitle);
    return false;
}
