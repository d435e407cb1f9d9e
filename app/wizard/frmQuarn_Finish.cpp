#include "wizard/frmQuarn_Finish.h"

#include <QBoxLayout>
#include <QEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QTimer>

#include "CurrentDatabase.h"
#include "ProgramSettings.h"
#include "shell/ProgramInfo.h"
#include "ScenarioSchema.h"
#include "shell/modMerivox.h"
#include "services/ErrorBoundary.h"
#include "services/HelpTopics.h"
#include "services/OverwriteQuestion.h"
#include "ui/UiServices.h"
#include "vb/Conversions.h"
#include "wizard/AnalysisCatalog.h"
#include "wizard/CZantelsPropWiz.h"

namespace {

// A box takes at most what its column holds.
int ColumnSize(std::string_view property) {
    const store::ColumnDef* column = store::PropertyColumn(property);
    return column && column->size > 0 ? column->size : 255;
}

QLineEdit* Box(const char* name, std::string_view property) {
    auto* box = new QLineEdit;
    box->setObjectName(name);
    box->setMaxLength(ColumnSize(property));
    return box;
}

QString Q(const std::string& s) { return QString::fromStdString(s); }

}  // namespace

frmQuarn_Finish::OutputNames frmQuarn_Finish::NamesOf(const std::string& calcType) {
    const store::AnalysisDef* a = store::ExactAnalysis(calcType);
    if (!a) return {};
    const catalog::AnalysisEntry& e = catalog::Entry(a->id);
    return {std::string(a->outputStem1), std::string(a->outputStem2), e.outputLabel1, e.outputLabel2};
}

bool frmQuarn_Finish::SecondTableApplies(const CZantelsPropWiz& wiz) {
    const store::AnalysisDef* a = store::ExactAnalysis(wiz.CalcType());
    if (!a || a->secondTable.empty()) return false;
    if (!wiz.GetProperty(a->secondTable).ToBool()) return false;
    // The crosstab's chi-square table also needs a count or sum crosstab:
    // XType within "CS": "C", "S", "CS", or no type at all.
    return a->id != store::Analysis::Crosstab || vb::InStr("CS", wiz.XType()) > 0;
}

frmQuarn_Finish::frmQuarn_Finish(QWidget* parent) : CWizardPage(parent) {
    Guarded("frmQuarn_Finish:Form_Load", [this] {
        setObjectName("frmQuarn_Finish");
        setWindowTitle("Zelk Statistics Output Tables and Description");
        setProperty("HelpContextID", help::kWizardFinish);

        auto* fraAnalysis = new QGroupBox("Analysis");
        fraAnalysis->setObjectName("fraAnalysis");
        auto* Label1 = new QLabel("Analysis Type:");
        Label1->setObjectName("Label1");
        txtAnalysisType_ = new QLineEdit;
        txtAnalysisType_->setObjectName("txtAnalysisType");
        txtAnalysisType_->setReadOnly(true);
        txtAnalysisType_->setFocusPolicy(Qt::NoFocus);
        txtAnalysisType_->setBackgroundRole(QPalette::Button);
        QPalette face = txtAnalysisType_->palette();
        face.setColor(QPalette::Base, face.color(QPalette::Button));
        txtAnalysisType_->setPalette(face);
        auto* Label2 = new QLabel("Description:");
        Label2->setObjectName("Label2");
        txtDescription_ = Box("txtDescription", "Scenario_Description");
        auto* analysisGrid = new QGridLayout(fraAnalysis);
        analysisGrid->addWidget(Label1, 0, 0);
        analysisGrid->addWidget(txtAnalysisType_, 0, 1);
        analysisGrid->addWidget(Label2, 1, 0);
        analysisGrid->addWidget(txtDescription_, 1, 1);
        analysisGrid->setColumnStretch(1, 1);

        fraOutputTables_ = new QGroupBox("Output Table");
        fraOutputTables_->setObjectName("fraOutputTables");
        lblTable1_ = new QLabel("Output Table Name:");
        lblTable1_->setObjectName("lblScenario_Output_Table1_Name");
        txtTable1_ = Box("txtScenario_Output_Table1_Name", "OutputTable1");
        lblTable2_ = new QLabel("Output Table &2 Name:");
        lblTable2_->setObjectName("lblScenario_Output_Table2_Name");
        txtTable2_ = Box("txtScenario_Output_Table2_Name", "OutputTable2");
        lblTable1_->setBuddy(txtTable1_);
        lblTable2_->setBuddy(txtTable2_);
        auto* tablesLayout = new QVBoxLayout(fraOutputTables_);
        tablesLayout->addWidget(lblTable1_);
        tablesLayout->addWidget(txtTable1_);
        tablesLayout->addWidget(lblTable2_);
        tablesLayout->addWidget(txtTable2_);
        tablesLayout->addStretch();

        for (QLineEdit* box : {txtDescription_, txtTable1_, txtTable2_}) box->installEventFilter(this);

        auto* nav = new QHBoxLayout;
        AddNavButton(nav, 0, "Help");
        nav->addStretch();
        AddNavButton(nav, 1, "< &Back");
        AddNavButton(nav, 2, "Cancel");
        AddNavButton(nav, 3, "&Save");
        AddNavButton(nav, 4, "Save and &Run");

        auto* layout = new QVBoxLayout(this);
        layout->addWidget(fraAnalysis);
        layout->addWidget(fraOutputTables_, 1);
        layout->addLayout(nav);
        setFixedSize(520, 330);
    });
}

frmQuarn_Finish::~frmQuarn_Finish() {
    Guarded("frmQuarn_Finish:Form_Unload", [this] { wiz_ = nullptr; });
}

void frmQuarn_Finish::Wiz(CZantelsPropWiz* wiz) {
    Guarded("frmQuarn_Finish:Set Wiz", [&] {
        if (!wiz_) wiz_ = wiz;
        if (!wiz_) return;
        txtDescription_->setText(Q(wiz_->Scenario_Description()));
        txtAnalysisType_->setText(Q(wiz_->CalcType()));
        txtTable1_->setText(Q(wiz_->OutputTable1()));
        txtTable2_->setText(Q(wiz_->OutputTable2()));

        const OutputNames names = NamesOf(wiz_->CalcType());
        lblTable1_->setText(Q("Name for " + names.firstLabel + " output table: "));
        lblTable2_->setText(Q("Name for " + names.secondLabel + " output table: "));
        const bool second = SecondTableApplies(*wiz_);
        lblTable2_->setVisible(second);
        txtTable2_->setVisible(second);

        const std::string prefix = program::Settings().ReadEntry("OutputTablePrefix", "Brux_");
        if (IsBlank(vb::Variant(txtTable1_->text().toStdString())))
            txtTable1_->setText(names.first.empty() ? QString() : Q(prefix + names.first));
        if (second) {
            if (IsBlank(vb::Variant(txtTable2_->text().toStdString())))
                txtTable2_->setText(names.second.empty() ? QString() : Q(prefix + names.second));
            fraOutputTables_->setTitle("Output Tables");
        } else {
            txtTable2_->clear();
            fraOutputTables_->setTitle("Output Table");
        }
        agreed_[0] = txtDescription_->text();
        agreed_[1] = txtTable1_->text();
        agreed_[2] = txtTable2_->text();
    });
}

bool frmQuarn_Finish::eventFilter(QObject* watched, QEvent* event) {
    auto* box = qobject_cast<QLineEdit*>(watched);
    if (box && FocusEntersBox(box, event)) QTimer::singleShot(0, box, [box] { SelectAllText(box); });
    if (box && event->type() == QEvent::FocusOut) BoxLeft(box);
    return CWizardPage::eventFilter(watched, event);
}

void frmQuarn_Finish::BoxLeft(QLineEdit* box) {
    const char* name = box == txtDescription_ ? "txtDescription_LostFocus"
                       : box == txtTable1_    ? "txtScenario_Output_Table_Name_LostFocus"
                                              : "txtScenario_Output_Table2_Name_LostFocus";
    Guarded(std::string("frmQuarn_Finish:") + name, [&] {
        if (!wiz_) return;
        const int slot = box == txtDescription_ ? 0 : box == txtTable1_ ? 1 : 2;
        if (box->text() == agreed_[slot]) return;
        agreed_[slot] = box->text();
        const std::string text = box->text().toStdString();
        if (box == txtDescription_ && text != wiz_->Scenario_Description()) {
            wiz_->Scenario_Description(text);
            wiz_->Changed(true);
        } else if (box == txtTable1_ && text != wiz_->OutputTable1()) {
            wiz_->OutputTable1(text);
            wiz_->Changed(true);
        } else if (box == txtTable2_ && text != wiz_->OutputTable2()) {
            wiz_->OutputTable2(text);
            wiz_->Changed(true);
        }
    });
}

void frmQuarn_Finish::CommitBoxes() {
    for (QLineEdit* box : {txtDescription_, txtTable1_, txtTable2_}) BoxLeft(box);
}

bool frmQuarn_Finish::RefuseFieldsUnread() {
    if (wiz_->FieldsReadNow()) return false;
    TellLocked("be saved");
    return true;
}

bool frmQuarn_Finish::CheckBoxes() {
    wiz_->Scenario_Description(txtDescription_->text().toStdString());
    wiz_->OutputTable1(txtTable1_->text().toStdString());
    wiz_->OutputTable2(txtTable2_->text().toStdString());
    std::string table1, table2;
    if (!wiz_->CheckFinal(this, table1, table2)) return false;
    // A value its column would refuse is named here, before anything is written.
    std::string property;
    const std::string problem = wiz_->CheckColumnValues(property);
    if (!problem.empty()) {
        ui::MsgBox(problem, ui::vbOKOnly, program::kAppTitle);
        return false;
    }
    return true;
}

bool frmQuarn_Finish::CheckExistingTableNames(std::vector<std::string>& agreed) {
    bool go = false;
    Guarded("frmQuarn_Finish:CheckExistingTableNames", [&] {
        const std::string first = txtTable1_->text().toStdString();
        const std::string second = txtTable2_->text().toStdString();
        std::vector<std::string> existing;
        if (!AgreeToOverwrite(store::CurrentDatabase(), first, second, {}, &existing)) return;
        // Nothing is dropped here: the run replaces the tables once the scenario is saved.
        agreed = std::move(existing);
        go = true;
    });
    return go;
}

void frmQuarn_Finish::NavClicked(int index) {
    Guarded("frmQuarn_Finish:cmdNav_Click", [&] {
        if (!wiz_) return;
        if (index != 0) CommitBoxes();
        switch (index) {
            case 0:
                ShowPageHelp();
                return;
            case 1:
                NavResult(wizard::kBack);
                hide();
                return;
            case 2:
                if (wiz_->Changed() &&
                    ui::MsgBox("You have made changes to this scenario. Are you sure you want to exit?",
                               ui::vbYesNo | ui::vbQuestion, program::kAppTitle) != ui::vbYes)
                    return;
                NavResult(wizard::kNext);
                hide();
                return;
            case 3: {
                // Save writes a changed scenario, and always a new one; under
                // another program's lock it says so at once, as the list's commands do.
                const bool save = wiz_->Changed() || wiz_->Scenario_ID() == 0;
                if (save && (RefuseLockedDatabase("be saved") || RefuseFieldsUnread() ||
                             !(CheckBoxes() && wiz_->PostScenario())))
                    return;
                NavResult(wizard::kNext);
                hide();
                return;
            }
            case 4: {
                // Save and Run: the page's checks, then the question about
                // output tables that exist, both before anything is written;
                // the run then replaces the tables without asking again. A
                // file that cannot be written is refused first: it can be
                // neither saved to nor run into.
                if (RefuseReadOnlyDatabase()) return;
                const bool save = wiz_->Changed() || wiz_->Scenario_ID() == 0;
                if (RefuseLockedDatabase(save ? "be saved" : "run")) return;
                if (save && (RefuseFieldsUnread() || !CheckBoxes())) return;
                std::vector<std::string> agreed;
                if (!CheckExistingTableNames(agreed)) return;
                if (save && !wiz_->PostScenario()) return;
                wiz_->ReplaceAgreed(std::move(agreed));
                NavResult(wizard::kSaveAndRun);
                hide();
                return;
            }
            default:
                return;
        }
    });
}
