#include "forms/frmDuplicate.h"

#include <QEvent>
#include <cctype>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

#include "CurrentDatabase.h"
#include "Hourglass.h"
#include "shell/ProgramInfo.h"
#include "ScenarioCatalogue.h"
#include "ScenarioSchema.h"
#include "shell/modMerivox.h"
#include "services/ErrorBoundary.h"
#include "services/HelpTopics.h"
#include "ui/UiServices.h"
#include "vb/VbError.h"

namespace {

// The open database; an error when none is open.
dao::DatabasePtr OpenDatabase() {
    dao::DatabasePtr db = store::CurrentDatabase();
    if (!db || !store::CurrentWorkspace()) vb::Raise(vb::err::kObjectVariableNotSet, "No database is open");
    return db;
}

const char* kNotFound = "Error retrieving current scenario information";

}  // namespace

frmDuplicate::frmDuplicate(QWidget* parent) : QDialog(parent) {
    Guarded("frmDuplicate:Form_Load", [this] {
        setObjectName("frmDuplicate");
        setWindowTitle("Duplicate Scenario");
        setProperty("HelpContextID", help::kScenarioList);

        auto* lblScenario = new QLabel("Scenarion Description:");
        lblScenario->setObjectName("lblScenario");
        lblCurrentScenario_ = new QLabel;
        lblCurrentScenario_->setObjectName("lblCurrentScenario");
        lblCurrentScenario_->setFrameShape(QFrame::Panel);
        lblCurrentScenario_->setFrameShadow(QFrame::Sunken);
        lblCurrentScenario_->setWordWrap(true);
        lblCurrentScenario_->setMinimumHeight(24);
        auto* lblDuplicateScenario = new QLabel("New Scenario Description");
        lblDuplicateScenario->setObjectName("lblDuplicateScenario");
        txtNewScenario_ = new QLineEdit;
        txtNewScenario_->setObjectName("txtNewScenario");
        if (const store::ColumnDef* column = store::ScenariosSchema().Column("Scenario_Description"))
            txtNewScenario_->setMaxLength(column->size);
        txtNewScenario_->installEventFilter(this);
        cmdAction_[0] = new QPushButton("&OK");
        cmdAction_[1] = new QPushButton("&Cancel");
        for (int i = 0; i < 2; ++i) {
            cmdAction_[i]->setObjectName(QString("cmdAction_%1").arg(i));
            connect(cmdAction_[i], &QPushButton::clicked, this, [this, i] { cmdAction_Click(i); });
        }
        cmdAction_[0]->setDefault(true);
        cmdAction_[0]->setEnabled(false);

        auto* grid = new QGridLayout(this);
        grid->addWidget(lblScenario, 0, 0);
        grid->addWidget(lblCurrentScenario_, 1, 0);
        grid->addWidget(lblDuplicateScenario, 2, 0);
        grid->addWidget(txtNewScenario_, 3, 0);
        auto* buttons = new QHBoxLayout;
        buttons->addStretch();
        buttons->addWidget(cmdAction_[0]);
        buttons->addWidget(cmdAction_[1]);
        grid->addLayout(buttons, 4, 0);
        setFixedSize(sizeHint().expandedTo(QSize(480, 0)));

        connect(txtNewScenario_, &QLineEdit::textChanged, this, [this] { txtNewScenario_Change(); });
    });
}

void frmDuplicate::ScenarioID(long value) {
    Guarded("frmDuplicate:ScenarioID", [this, value] {
        scenarioOk_ = false;
        if (value == 0) return;
        scenarioId_ = value;
        // A copy needs both rows; a scenario that has gone is not offered.
        stored_ = store::ReadStoredScenario(OpenDatabase(), value);
        if (!stored_ || stored_->options.empty()) return;
        const std::string description = stored_->Text("Scenario_Description");
        lblCurrentScenario_->setText(QString::fromStdString(description));
        txtNewScenario_->setText(QString::fromStdString("Copy of " + description));
        scenarioOk_ = true;
    });
}

void frmDuplicate::txtNewScenario_Change() {
    Guarded("frmDuplicate:txtNewScenario_Change",
            [this] { cmdAction_[0]->setEnabled(!txtNewScenario_->text().isEmpty()); });
}

bool frmDuplicate::eventFilter(QObject* watched, QEvent* event) {
    if (watched == txtNewScenario_ && FocusEntersBox(watched, event))
        QTimer::singleShot(0, txtNewScenario_, [box = txtNewScenario_] { SelectAllText(box); });
    return QDialog::eventFilter(watched, event);
}

void frmDuplicate::cmdAction_Click(int index) {
    Guarded("frmDuplicate:cmdAction_Click", [this, index] {
        if (index == 0) {
            if (SaveNewScenario()) accept();
        } else {
            reject();
        }
    });
}

bool frmDuplicate::SaveNewScenario() {
    bool saved = false;
    Guarded("frmDuplicate:SaveNewScenario", [this, &saved] {
        CHourglass hourglass;
        hourglass.Value(true);
        const dao::DatabasePtr db = OpenDatabase();
        const std::string description = txtNewScenario_->text().toStdString();
        // The three copies stand or fall together, and copy the scenario the
        // dialog shows or nothing.
        std::optional<store::StoredScenario> now;
        const long newId = store::DuplicateScenario(store::CurrentWorkspace(), db, scenarioId_, description,
                                                    stored_ ? &*stored_ : nullptr, &now);
        if (newId == 0) {
            hourglass.Value(false);
            if (stored_ && now != *stored_) {
                TellScenarioChanged(scenarioId_, *stored_, now ? &*now : nullptr, "Nothing was copied.");
                reject();
                return;
            }
            ui::MsgBox(kNotFound, ui::vbOKOnly, program::kAppTitle);
            return;
        }
        newScenarioId_ = newId;
        saved = true;
    });
    return saved;
}
