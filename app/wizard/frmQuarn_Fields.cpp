#include "wizard/frmQuarn_Fields.h"

#include <QEvent>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QStackedWidget>
#include <QTimer>
#include <QTreeWidget>
#include <algorithm>

#include "CurrentDatabase.h"
#include "shell/ProgramInfo.h"
#include "ScenarioQueries.h"
#include "shell/modMerivox.h"
#include "services/ErrorBoundary.h"
#include "services/HelpTopics.h"
#include "ui/UiServices.h"
#include "vb/Conversions.h"
#include "vb/VbError.h"
#include "wizard/AnalysisCatalog.h"
#include "wizard/CZantelsPropWiz.h"
#include "wizard/FieldRowDelegate.h"
#include "wizard/frmIgnore.h"
#include "wizard/frmQuarn_SelectTable.h"

namespace {

QString Q(const std::string& s) { return QString::fromStdString(s); }

// The field of a role list row: kept as the row's data, so a name holding
// " - (" reads back whole.
std::string NameOfRow(const QListWidgetItem* row) { return row->data(kFieldNameRole).toString().toStdString(); }

// Adds a field's row to a role list.
void AddRow(QListWidget* list, const CScenarioField& field) {
    AddFieldRow(list, Q(field.Name()), Q(frmQuarn_Fields::GetFieldTypeText(field.FieldType())));
}

// The field of that name (without regard to case), or null.
ScenarioFieldPtr FindField(const CZantelsPropWiz& wiz, const std::string& name) {
    for (const ScenarioFieldPtr& field : *wiz.ScenarioFields())
        if (vb::EqualsNoCase(field->Name(), name)) return field;
    return nullptr;
}

int Highlighted(const QListWidget* list) {
    const int row = list->currentRow();
    return row >= 0 && list->item(row)->isSelected() ? row : -1;
}

void Highlight(QListWidget* list, int row) {
    list->setCurrentRow(row);
    list->item(row)->setSelected(true);
}

void Notify(const std::string& text) { ui::MsgBox(text, ui::vbOKOnly | ui::vbCritical, program::kAppTitle); }

bool Numeric(const std::string& typeText) { return !typeText.empty() && typeText[0] == '#'; }

// Field types a table offers for analysis: Yes/No, the number types, Date/Time and Text.
bool Offered(int type) { return (type >= dao::dbBoolean && type <= dao::dbDate) || type == dao::dbText; }

// The fields of the source table (kind 0) or query (1), none for another
// kind; false, with the message shown, when the source cannot be opened.
bool OpenSourceFields(const dao::DatabasePtr& db, const std::string& source, int16_t kind, dao::FieldsPtr& fields) {
    if (kind != 0 && kind != 1) return true;
    try {
        fields = kind == 0 ? db->TableDefs()->Item(source)->Fields() : db->QueryDefs()->Item(source)->Fields();
        return true;
    } catch (const vb::VbError& e) {
        // Another program's lock is no fault of the source: the page waits for it.
        if (e.Number() == dao::err::kLocked) throw;
        ui::MsgBox(std::string(kind == 0 ? "Unable to open the specified table: '"
                                         : "Unable to open the specified querydef: '") +
                       source + "'\r\n" + std::to_string(e.Number()) + ": " + e.Description(),
                   ui::vbOKOnly, program::kAppTitle);
        return false;
    }
}

}  // namespace

// --- the window (its controls: frmQuarn_FieldsWindow.cpp) -----------------------------------------

frmQuarn_Fields::frmQuarn_Fields(QWidget* parent, RuleOf ruleOf) : CWizardPage(parent), ruleOf_(ruleOf) {
    Guarded("frmQuarn_Fields:Form_Load", [this] {
        setObjectName("frmQuarn_Fields");
        setWindowTitle("Zelk Statistics Field Selection");
        setProperty("HelpContextID", help::kWizardFields);
        MakeRoleLists();
        LayOut();
        SetTabOrder();
        Wire();
    });
}

frmQuarn_Fields::~frmQuarn_Fields() {
    Guarded("frmQuarn_Fields:Form_Unload", [this] {
        // A read still waiting goes with the page: a save must not count it done.
        if (wiz_ && WaitsForLock()) wiz_->FieldsReadWaiting([] { return false; });
        wiz_ = nullptr;
    });
}

void frmQuarn_Fields::Wiz(CZantelsPropWiz* wiz) {
    Guarded("frmQuarn_Fields:Property Set Wiz", [&] {
        if (wiz_ || !wiz) return;
        Loading(true);
        wiz_ = wiz;
        txtScenario_Description_->setText(Q(wiz_->Scenario_Description()));
        lblCalcType_->setText(Q(wiz_->CalcType()));
        lblTable_->setText(Q(wiz_->Table()));
        GetScenarioFields(true);
        LoadFieldLists();
        fraGroupFields_->setTitle(vb::EqualsNoCase(wiz_->CalcType(), "Crosstab") ? "Row Fields" : "Group Fields");
        // The frame stays in its place; an analysis that takes no weight greys it out.
        fraWeightField_->setEnabled(ruleOf_(wiz_->CalcType()).weight);
        Loading(false);
    });
}

// --- types and frames -----------------------------------------------------------------------------

std::string frmQuarn_Fields::GetFieldTypeText(int type) {
    ProcScope scope(ErrStack(), "frmQuarn_Fields:GetFieldTypeText");
    switch (type) {
        case 1:
            return "Yes/No";
        case 2:
            return "#, Byte";
        case 3:
            return "#, Integer";
        case 4:
            return "#, Long";
        case 5:
            return "#, Currency";
        case 6:
            return "#, Single";
        case 7:
            return "#, Double";
        case 8:
            return "Date/Time";
        case 10:
            return "Text";
        case 16:
            return "#, Big Integer";
        case 18:
            return "Char";
        case 19:
            return "#, Numeric";
        case 20:
            return "#, Decimal";
        case 21:
            return "#, Float";
        case 22:
            return "Time";
        default:
            return {};
    }
}

store::RoleRule frmQuarn_Fields::CatalogueRule(const std::string& calcType) {
    const store::AnalysisDef* analysis = store::FindAnalysis(calcType);
    return analysis ? analysis->roles : store::RoleRule{.valueMin = 0};
}

int frmQuarn_Fields::GetFieldFrame(const std::string& calcType) {
    ProcScope scope(ErrStack(), "frmQuarn_Fields:GetFieldFrame");
    const store::AnalysisDef* analysis = store::FindAnalysis(calcType);
    return analysis ? catalog::Entry(analysis->id).fieldFrame : 0;
}

// --- reading the fields ---------------------------------------------------------------------------

void frmQuarn_Fields::GetScenarioFields(bool loadStored) {
    Guarded("frmQuarn_Fields:GetScenarioFields", [&] {
        if (!store::CurrentDatabase() || !wiz_) return;
        // Under another program's lock the page says it waits and fills its
        // lists when the lock ends.
        const bool read =
            ReadWhenUnlocked("frmQuarn_Fields:GetScenarioFields",
                             "Another program holds the database locked: the fields are read when it lets go.",
                             [this, loadStored](bool late) {
                                 AddSourceFields(loadStored);
                                 if (late) LoadFieldLists();
                             });
        wiz_->FieldsReadWaiting(read ? std::function<bool()>() : [this] { return ReadWaitingNow(); });
    });
}

// Everything is read from the file before the collection changes, so that a
// lock met on the way leaves it as it was.
void frmQuarn_Fields::AddSourceFields(bool loadStored) {
    dao::DatabasePtr db = store::CurrentDatabase();
    if (!db || !wiz_) return;
    const std::vector<StoredRow> stored = ReadStoredRows(db, loadStored ? wiz_->Scenario_ID() : 0);
    const std::string& source = wiz_->Table();
    const int16_t kind = TableOrQueryKind(db, source);
    dao::FieldsPtr fields;
    if (!OpenSourceFields(db, source, kind, fields)) return;
    sourceOrder_.clear();
    if (fields)
        for (const dao::FieldPtr& field : *fields) sourceOrder_.push_back(field->Name());
    std::vector<std::string> dropped, unweighted;
    AddStoredFields(stored, fields, dropped, unweighted);
    if (fields) AddOtherFields(stored, *fields, kind == 0);
    SayLeftOut(source, dropped, unweighted);
}

// Names are compared by the page, never written into SQL.
std::vector<frmQuarn_Fields::StoredRow> frmQuarn_Fields::ReadStoredRows(const dao::DatabasePtr& db, int32_t id) {
    std::vector<StoredRow> stored;
    dao::RecordsetPtr rs = db->OpenRecordset(store::GetFieldListSQL(id), dao::dbOpenSnapshot, dao::dbReadOnly);
    for (; !rs->Eof(); rs->MoveNext()) {
        // A row written by another program may leave the role or position empty.
        const vb::Variant choice = rs->Fields("FieldDef_Choice")->Value();
        const vb::Variant position = rs->Fields("FieldDef_Ordinal_Position")->Value();
        stored.push_back({rs->Fields("FieldDef_Name")->Value().ToString(),
                          IsBlank(choice) ? std::string() : vb::CStr(choice),
                          position.IsNull() ? 0 : position.ToLong()});
    }
    rs->Close();
    return stored;
}

void frmQuarn_Fields::AddStoredFields(const std::vector<StoredRow>& stored, const dao::FieldsPtr& fields,
                                      std::vector<std::string>& dropped, std::vector<std::string>& unweighted) {
    CScenarioFields& collection = *wiz_->ScenarioFields();
    const bool weighs = ruleOf_(wiz_->CalcType()).weight;
    for (const StoredRow& row : stored) {
        dao::FieldPtr field;
        if (fields && fields->Contains(row.name)) field = fields->Item(row.name);
        if (!field) {
            dropped.push_back(row.name);
            continue;
        }
        if (FindField(*wiz_, field->Name())) continue;
        // A weight the analysis does not take is offered again, and said.
        const bool weight = !weighs && vb::EqualsNoCase(row.choice, "W");
        if (weight) unweighted.push_back(field->Name());
        collection.Add(field->Name(), weight ? std::string() : row.choice, std::to_string(field->Type()), row.position,
                       field->Name());
    }
}

void frmQuarn_Fields::AddOtherFields(const std::vector<StoredRow>& stored, dao::Fields& fields, bool table) {
    for (const dao::FieldPtr& field : fields) {
        if (table && !Offered(field->Type())) continue;
        bool isStored = false;
        for (const StoredRow& row : stored) isStored = isStored || vb::EqualsNoCase(row.name, field->Name());
        if (isStored || FindField(*wiz_, field->Name())) continue;
        wiz_->ScenarioFields()->Add(field->Name(), "", std::to_string(field->Type()), 0, field->Name());
    }
}

// Said, not silently lost: the next save no longer stores them.
void frmQuarn_Fields::SayLeftOut(const std::string& source, const std::vector<std::string>& dropped,
                                 const std::vector<std::string>& unweighted) const {
    auto list = [](const std::vector<std::string>& names) {
        std::string text;
        for (const std::string& name : names) text += (text.empty() ? "" : ", ") + name;
        return text;
    };
    if (!dropped.empty())
        ui::MsgBox("These fields of the scenario are not in its source '" + source +
                       "' and are left out: " + list(dropped) + ". Saving the scenario removes them.",
                   ui::vbOKOnly | ui::vbExclamation, program::kAppTitle);
    if (!unweighted.empty())
        ui::MsgBox("The analysis " + wiz_->CalcType() + " takes no weight field. The scenario's weight field " +
                       list(unweighted) +
                       " is offered among the available fields; saving the scenario removes its weight role.",
                   ui::vbOKOnly | ui::vbExclamation, program::kAppTitle);
}

void frmQuarn_Fields::LoadFieldLists() {
    Guarded("frmQuarn_Fields:LoadFieldLists", [&] {
        frame_ = wiz_ ? GetFieldFrame(wiz_->CalcType()) : 0;
        frames_->setCurrentIndex(frame_);
        for (const RoleList& r : roles_) r.list->clear();
        lvwAvailableFields_->clear();
        if (!wiz_) return;
        QList<QTreeWidgetItem*> available;
        for (const ScenarioFieldPtr& field : *wiz_->ScenarioFields()) {
            const std::string role = vb::UCase(field->Choice());
            if (role == "G") {
                AddRow(lisGroupFields_, *field);
            } else if (role == "C") {
                AddRow(lisIndependentFields_[6], *field);
                for (int i : {5, 2, 4}) AddRow(lisComparisonField_[i], *field);
            } else if (role == "X") {
                for (int i = 1; i <= 5; ++i) AddRow(lisIndependentFields_[i], *field);
            } else if (role == "Y") {
                AddRow(lisDependentField_[3], *field);
            } else if (role == "W") {
                AddRow(lisWeightField_, *field);
            } else if (role.empty()) {
                auto* row = new CListViewItem;
                row->setText(0, Q(field->Name()));
                row->setText(1, Q(GetFieldTypeText(field->FieldType())));
                available.push_back(row);
            }
        }
        lvwAvailableFields_->addTopLevelItems(available);
        if (lvwAvailableFields_->topLevelItemCount() > 0) {
            lvwAvailableFields_->setCurrentItem(lvwAvailableFields_->topLevelItem(0));
            lvwAvailableFields_->topLevelItem(0)->setSelected(true);
        }
    });
}

// --- the role checks ------------------------------------------------------------------------------

namespace {

// How each frame's lists name a missing role, and the compare fields a
// frame asks for exactly (two factors of a two-way analysis).
struct FrameWords {
    const char* compare;
    bool dependentValues;  // its value fields are the dependent ones
    int compareExact;
};
const FrameWords kFrameWords[] = {{"", false, 0},
                                  {"", false, 0},
                                  {"Compare field", true, 0},
                                  {"", false, 0},
                                  {"2 Comparison fields", true, 2},
                                  {"Column field", false, 0},
                                  {"At least one Comparison field", false, 0}};

}  // namespace

frmQuarn_Fields::RoleCounts frmQuarn_Fields::CountRoles(int frame) const {
    auto count = [&](std::string_view role) {
        int n = 0;
        for (const RoleList& r : roles_)
            if (r.role == role && (r.frame == 0 || r.frame == frame)) n += r.list->count();
        return n;
    };
    return {count("G"), count("C"), count("X"), count("Y"), count("W")};
}

// The first role the analysis lacks, in the order the checks run, or an
// empty text; `suffix` false for a message that stands without " must be assigned.".
std::string frmQuarn_Fields::MissingRole(int frame, const store::RoleRule& rule, const RoleCounts& n, bool& suffix) {
    const FrameWords& words = kFrameWords[frame];
    const int compareMin = std::max<int>(rule.compareMin, words.compareExact);
    suffix = true;
    if (n.groups < rule.groupMin) return "At least one Row field";
    if (frame == 5 && n.values == 0 && n.weights == 1) {
        suffix = false;
        return "Weight field requires a value field. Or, you can make the Weight field a Value field and use the Sum "
               "Crosstab option.";
    }
    if (n.compares < compareMin) {
        // A frame without a compare list names none: the later checks run.
        if (*words.compare) return words.compare;
    } else if (words.compareExact > 0 && n.compares > words.compareExact) {
        return "No more than " + std::to_string(words.compareExact) + " Comparison fields";
    }
    if (n.values < rule.valueMin) {
        if (words.dependentValues) return "At least one Dependent field";
        return rule.valueMin == 1 ? "Independent (X) field"
                                  : "At least " + std::to_string(rule.valueMin) + " Independent (X) fields";
    }
    if (rule.y && n.dependents < 1) return "Dependent (Y) field";
    return {};
}

void frmQuarn_Fields::CheckFields(const std::string& calcType, bool& passed) {
    Guarded("frmQuarn_Fields:CheckFields", [&] {
        passed = false;
        const int f = frame_ >= 0 && frame_ <= 6 ? frame_ : 0;
        // The analysis's own rule; a name not listed needs nothing.
        const store::RoleRule rule = f != 0 ? ruleOf_(calcType) : store::RoleRule{.valueMin = 0};
        bool suffix = true;
        std::string message = MissingRole(f, rule, CountRoles(f), suffix);
        if (!message.empty()) {
            if (suffix) message += " must be assigned.";
            ui::MsgBox(message, ui::vbOKOnly, program::kAppTitle);
            return;
        }
        passed = true;
    });
}

// --- transfers ------------------------------------------------------------------------------------

void frmQuarn_Fields::HandleTransfer(long index, QListWidget* list, const std::string& role, bool single,
                                     bool numeric) {
    Guarded("frmQuarn_Fields:HandleTransfer:Index: " + std::to_string(index), [&] {
        if (!wiz_ || !list) return;
        wiz_->Changed(true);
        // The resequencing runs whatever happened, also after a message.
        struct Resequence {
            frmQuarn_Fields* page;
            QListWidget* list;
            const std::string& role;
            ~Resequence() {
                GuardedQuiet([&] { page->ReSequenceFields(list, role); });
            }
        } resequence{this, list, role};
        switch (index) {
            case 0:
                if (list->count() == 0) break;
                if (single && Highlighted(list) < 0) Highlight(list, 0);
                if (Highlighted(list) < 0)
                    Notify("Please highlight a field.");
                else
                    Quarn_UnSelectField(list);
                break;
            case 1: {
                QTreeWidgetItem* selected = lvwAvailableFields_->currentItem();
                if (!selected || !selected->isSelected()) {
                    Notify("Please highlight a field.");
                } else if (numeric && !Numeric(selected->text(1).toStdString())) {
                    Notify("Field must be numeric.");
                } else {
                    if (single && list->count() == 1) {
                        Highlight(list, 0);
                        Quarn_UnSelectField(list);
                    }
                    Quarn_SelectField(list, role);
                }
                break;
            }
            case 2:
            case 3: {
                const int row = Highlighted(list);
                if (row < 0)
                    Notify("Please highlight a field.");
                else if ((index == 2 && row < list->count() - 1) || (index == 3 && row > 0))
                    Quarn_MoveField(list, index == 3);
                break;
            }
            case 4:
                while (list->count() > 0) {
                    Highlight(list, 0);
                    Quarn_UnSelectField(list);
                }
                break;
            default:
                break;
        }
    });
}

void frmQuarn_Fields::Quarn_SelectField(QListWidget* list, const std::string& role) {
    Guarded("frmQuarn_Fields:Quarn_SelectField", [&] {
        QTreeWidgetItem* selected = lvwAvailableFields_->currentItem();
        if (!selected) return;
        if (ScenarioFieldPtr field = FindField(*wiz_, selected->text(0).toStdString())) {
            field->Choice(role);
            AddRow(list, *field);
        }
        delete selected;
    });
}

void frmQuarn_Fields::Quarn_UnSelectField(QListWidget* list) {
    Guarded("frmQuarn_Fields:Quarn_UnSelectField", [&] {
        const int highlighted = Highlighted(list);
        if (highlighted < 0) return;
        ScenarioFieldPtr field = FindField(*wiz_, NameOfRow(list->item(highlighted)));
        if (!field) return;
        field->Choice("");
        delete list->takeItem(highlighted);
        auto* row = new CListViewItem;
        row->setText(0, Q(field->Name()));
        row->setText(1, Q(GetFieldTypeText(field->FieldType())));
        // Back at its place in the source's order (a list sorted by a column sorts it itself).
        const auto place = [this](const std::string& name) {
            for (size_t i = 0; i < sourceOrder_.size(); ++i)
                if (vb::EqualsNoCase(sourceOrder_[i], name)) return i;
            return sourceOrder_.size();
        };
        const size_t own = place(field->Name());
        int at = lvwAvailableFields_->topLevelItemCount();
        for (int i = 0; i < lvwAvailableFields_->topLevelItemCount(); ++i)
            if (place(lvwAvailableFields_->topLevelItem(i)->text(0).toStdString()) > own) {
                at = i;
                break;
            }
        lvwAvailableFields_->insertTopLevelItem(at, row);
    });
}

void frmQuarn_Fields::Quarn_MoveField(QListWidget* list, bool up) {
    Guarded("frmQuarn_Fields:Quarn_MoveField", [&] {
        const int i = Highlighted(list);
        if (i < 0) return;
        QListWidgetItem* row = list->takeItem(i);
        const int to = up ? i - 1 : i + 1;
        list->insertItem(to, row);
        Highlight(list, to);
    });
}

void frmQuarn_Fields::ReSequenceFields(QListWidget* list, const std::string& role) {
    Guarded("frmQuarn_Fields:ReSequenceFields", [&] {
        int32_t counter = 0;
        for (int i = 0; i < list->count(); ++i) {
            ScenarioFieldPtr field = FindField(*wiz_, NameOfRow(list->item(i)));
            if (field && vb::EqualsNoCase(field->Choice(), role)) field->OrdinalPosition(++counter);
        }
    });
}

void frmQuarn_Fields::AvailableDoubleClicked() {
    Guarded("frmQuarn_Fields:lvwAvailableFields_DblClick", [&] {
        if (!wiz_) return;
        QTreeWidgetItem* selected = lvwAvailableFields_->currentItem();
        if (!selected || !selected->isSelected()) return;
        if (!Numeric(selected->text(1).toStdString()))
            HandleTransfer(1, lisGroupFields_, "G", false, false);
        else if (const int frame = GetFieldFrame(wiz_->CalcType()); frame == 6)
            HandleTransfer(1, lisIndependentFields_[6], "C", false, false);
        else if (frame >= 1 && frame <= 5)
            HandleTransfer(1, lisIndependentFields_[frame], "X", false, false);
    });
}

// --- side dialogs, description, navigation ---------------------------------------------------------

void frmQuarn_Fields::ChangeSource() {
    Guarded("frmQuarn_Fields:cmdChange_Click", [&] {
        if (!wiz_) return;
        frmQuarn_SelectTable dialog(this);
        dialog.Wiz(wiz_);
        dialog.UseAsChangeDialog();
        dialog.ShowModal();
        if (dialog.NavResult() != wizard::kNext) return;
        Loading(true);
        lblTable_->setText(Q(wiz_->Table()));
        CScenarioFields& fields = *wiz_->ScenarioFields();
        for (int32_t i = fields.Count(); i >= 1; --i) fields.Remove(vb::Variant(i));
        GetScenarioFields(false);
        LoadFieldLists();
        Loading(false);
        wiz_->Changed(true);
    });
}

void frmQuarn_Fields::SpecifyValuesToIgnore() {
    Guarded("frmQuarn_Fields:cmdIgnore_Click", [&] {
        if (!wiz_) return;
        frmIgnore dialog(this);
        dialog.Wiz(wiz_);
        dialog.exec();
    });
}

void frmQuarn_Fields::DescriptionLeft() {
    Guarded("frmQuarn_Fields:txtScenario_Description_LostFocus", [&] {
        if (!wiz_) return;
        const std::string text = txtScenario_Description_->text().toStdString();
        if (vb::EqualsNoCase(text, wiz_->Scenario_Description())) return;
        wiz_->Scenario_Description(text);
        wiz_->Changed(true);
    });
}

bool frmQuarn_Fields::eventFilter(QObject* watched, QEvent* event) {
    if (watched == txtScenario_Description_) {
        if (FocusEntersBox(watched, event))
            QTimer::singleShot(0, txtScenario_Description_, [this] { SelectAllText(txtScenario_Description_); });
        if (event->type() == QEvent::FocusOut) DescriptionLeft();
    }
    return CWizardPage::eventFilter(watched, event);
}

void frmQuarn_Fields::NavClicked(int index) {
    Guarded("frmQuarn_Fields:cmdNav_Click:Index " + std::to_string(index), [&] {
        switch (index) {
            case 0:
                ShowPageHelp();
                return;
            case 1:
                DescriptionLeft();
                if (wiz_ && wiz_->Changed() &&
                    ui::MsgBox("You have made changes to this scenario. Are you sure you want to exit?",
                               ui::vbYesNo | ui::vbQuestion, program::kAppTitle) != ui::vbYes)
                    return;
                NavResult(wizard::kBack);
                hide();
                return;
            case 2: {
                DescriptionLeft();
                // Fields not read yet are read now if the lock has ended;
                // else the page stays, its note saying why.
                if (!ReadWaitingNow()) return;
                bool passed = false;
                CheckFields(wiz_ ? wiz_->CalcType() : std::string(), passed);
                if (!passed) return;
                hide();
                NavResult(wizard::kNext);
                return;
            }
            case 4:
                hide();
                NavResult(wizard::kCancel);
                return;
            default:
                return;
        }
    });
}
