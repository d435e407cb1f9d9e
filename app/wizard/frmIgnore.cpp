#include "wizard/frmIgnore.h"

#include <QBoxLayout>
#include <QButtonGroup>
#include <QGridLayout>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <cmath>

#include "shell/ProgramInfo.h"
#include "shell/modMerivox.h"
#include "services/ErrorBoundary.h"
#include "services/HelpKey.h"
#include "services/HelpTopics.h"
#include "ui/UiServices.h"
#include "vb/Conversions.h"
#include "wizard/CZantelsPropWiz.h"

namespace {

// The number a box holds, or false when its text is not one.
bool ReadNumber(const QLineEdit* box, double& number) {
    try {
        number = vb::CDbl(box->text().toStdString());
        return std::isfinite(number);
    } catch (...) {
        return false;
    }
}

std::string AsText(const vb::Variant& value) {
    if (value.IsNull() || value.IsEmpty()) return {};
    return value.IsString() ? value.String() : vb::CStr(value);
}

}  // namespace

frmIgnore::frmIgnore(QWidget* parent) : QDialog(parent) {
    setObjectName("frmIgnore");
    setWindowTitle("Specify Data Values to Ignore");
    setProperty("HelpContextID", help::kWizardIgnore);
    setModal(true);

    auto* Frame1 = new QGroupBox("Options");
    Frame1->setObjectName("Frame1");
    optMissingtype_ = new QButtonGroup(this);
    const char* captions[] = {"Analyze &All values (do not ignore any values)", "Ignore a &Specific Value",
                              "Ignore a &Range of Values:"};
    QRadioButton* options[3];
    for (int i = 0; i < 3; ++i) {
        options[i] = new QRadioButton(captions[i]);
        options[i]->setObjectName(QString("optMissingtype_%1").arg(i));
        optMissingtype_->addButton(options[i], i);
    }
    auto box = [this](const char* name) {
        auto* edit = new QLineEdit;
        edit->setObjectName(name);
        edit->setMaximumWidth(120);
        edit->installEventFilter(this);
        return edit;
    };
    lblMissingEqual_ = new QLabel("(=):");
    lblMissingEqual_->setObjectName("lblMissingEqual");
    txtMissingEqual_ = box("txtMissingEqual");
    lblMissingLow_ = new QLabel("Less Than (<):");
    lblMissingLow_->setObjectName("lblMissingLow");
    txtMissingLow_ = box("txtMissingLow");
    lblMissingHigh_ = new QLabel("Greater Than (>):");
    lblMissingHigh_->setObjectName("lblMissingHigh");
    txtMissingHigh_ = box("txtMissingHigh");
    lblMissingEqual_->setBuddy(txtMissingEqual_);
    lblMissingLow_->setBuddy(txtMissingLow_);
    lblMissingHigh_->setBuddy(txtMissingHigh_);

    auto* grid = new QGridLayout(Frame1);
    grid->setColumnMinimumWidth(0, 20);
    grid->setColumnStretch(3, 1);
    grid->addWidget(options[0], 0, 0, 1, 4);
    grid->addWidget(options[1], 1, 0, 1, 4);
    grid->addWidget(lblMissingEqual_, 2, 1);
    grid->addWidget(txtMissingEqual_, 2, 2);
    grid->addWidget(options[2], 3, 0, 1, 4);
    grid->addWidget(lblMissingLow_, 4, 1);
    grid->addWidget(txtMissingLow_, 4, 2);
    grid->addWidget(lblMissingHigh_, 5, 1);
    grid->addWidget(txtMissingHigh_, 5, 2);

    auto* cmdOK = new QPushButton("OK");
    cmdOK->setObjectName("cmdOK");
    cmdOK->setDefault(true);
    auto* cmdCancel = new QPushButton("Cancel");
    cmdCancel->setObjectName("cmdCancel");
    auto* cmdHelp = new QPushButton("Help");
    cmdHelp->setObjectName("cmdHelp");
    auto* buttons = new QVBoxLayout;
    buttons->addWidget(cmdOK);
    buttons->addWidget(cmdCancel);
    buttons->addWidget(cmdHelp);
    buttons->addStretch();

    auto* layout = new QHBoxLayout(this);
    layout->addWidget(Frame1, 1);
    layout->addLayout(buttons);

    setTabOrder(options[0], options[1]);
    setTabOrder(options[1], txtMissingEqual_);
    setTabOrder(txtMissingEqual_, options[2]);
    setTabOrder(options[2], txtMissingLow_);
    setTabOrder(txtMissingLow_, txtMissingHigh_);
    setTabOrder(txtMissingHigh_, cmdOK);

    connect(optMissingtype_, &QButtonGroup::idClicked, this, [this](int id) { optMissingType_Click(id); });
    connect(cmdOK, &QPushButton::clicked, this, [this] { cmdOK_Click(); });
    connect(cmdCancel, &QPushButton::clicked, this, [this] { reject(); });
    connect(cmdHelp, &QPushButton::clicked, this, [this] { ShowHelpFor(this); });
    FieldEnableReset();
}

frmIgnore::~frmIgnore() { wiz_ = nullptr; }

void frmIgnore::Wiz(CZantelsPropWiz* wiz) {
    Guarded("frmIgnore:Set Wiz", [&] {
        if (wiz_ || !wiz) return;
        loading_ = true;
        wiz_ = wiz;
        selectedType_ = wiz_->MissingType();
        txtMissingEqual_->setText(QString::fromStdString(AsText(wiz_->MissingEqual())));
        txtMissingLow_->setText(QString::fromStdString(AsText(wiz_->MissingLow())));
        txtMissingHigh_->setText(QString::fromStdString(AsText(wiz_->MissingHigh())));
        // A stored type that is none of the three shows as "analyse all values".
        const int index = selectedType_ == "1" ? 1 : selectedType_ == "2" ? 2 : 0;
        optMissingtype_->button(index)->setChecked(true);
        optMissingType_Click(index);
        loading_ = false;
    });
}

void frmIgnore::optMissingType_Click(int index) {
    Guarded("frmIgnore:optMissingType_Click", [&] {
        selectedType_ = std::to_string(index);
        FieldEnableReset();
    });
}

void frmIgnore::FieldEnableReset() {
    Guarded("frmIgnore:FieldEnableReset", [&] {
        const bool one = selectedType_ == "1";
        const bool range = selectedType_ == "2";
        lblMissingEqual_->setEnabled(one);
        txtMissingEqual_->setEnabled(one);
        lblMissingLow_->setEnabled(range);
        txtMissingLow_->setEnabled(range);
        lblMissingHigh_->setEnabled(range);
        txtMissingHigh_->setEnabled(range);
    });
}

bool frmIgnore::CheckValues() {
    bool ok = false;
    Guarded("frmIgnore:CheckValues", [&] {
        std::string message;
        QLineEdit* focus = nullptr;
        const bool equalBlank = txtMissingEqual_->text().isEmpty();
        const bool lowBlank = txtMissingLow_->text().isEmpty();
        const bool highBlank = txtMissingHigh_->text().isEmpty();
        double equal = 0, low = 0, high = 0;
        // Only the boxes of the chosen type are read; each must hold a number,
        // since the values are kept in number columns.
        if (selectedType_ == "1") {
            if (equalBlank) {
                message = "Missing required value";
                focus = txtMissingEqual_;
            } else if (!ReadNumber(txtMissingEqual_, equal)) {
                message = "The value to ignore must be a number.";
                focus = txtMissingEqual_;
            }
        } else if (selectedType_ == "2") {
            if (lowBlank && highBlank) {
                message = "Missing required value";
                focus = txtMissingHigh_;
            } else if (!lowBlank && !ReadNumber(txtMissingLow_, low)) {
                message = "The Less Than value must be a number.";
                focus = txtMissingLow_;
            } else if (!highBlank && !ReadNumber(txtMissingHigh_, high)) {
                message = "The Greater Than value must be a number.";
                focus = txtMissingHigh_;
            } else if (!lowBlank && !highBlank && low > high) {
                message = "Greater Than Value must be Larger than Less Than Value";
            }
        }
        if (focus) focus->setFocus();
        if (!message.empty()) {
            ui::MsgBox(message, ui::vbOKOnly, program::kAppTitle);
            return;
        }
        ok = true;
    });
    return ok;
}

void frmIgnore::cmdOK_Click() {
    Guarded("frmIgnore:cmdOK_Click", [&] {
        if (!CheckValues() || !wiz_) return;
        if (selectedType_ != "1") txtMissingEqual_->clear();
        if (selectedType_ != "2") {
            txtMissingLow_->clear();
            txtMissingHigh_->clear();
        }
        wiz_->Changed(true);
        wiz_->MissingType(selectedType_);
        wiz_->MissingEqual(NullIfEmpty(txtMissingEqual_->text().toStdString()));
        wiz_->MissingLow(NullIfEmpty(txtMissingLow_->text().toStdString()));
        wiz_->MissingHigh(NullIfEmpty(txtMissingHigh_->text().toStdString()));
        accept();
    });
}

bool frmIgnore::eventFilter(QObject* watched, QEvent* event) {
    auto* box = qobject_cast<QLineEdit*>(watched);
    if (box && FocusEntersBox(box, event)) QTimer::singleShot(0, box, [box] { SelectAllText(box); });
    if (box && event->type() == QEvent::KeyPress) {
        // Typed characters other than digits, the point and the minus sign
        // are dropped; editing and navigation keys pass.
        const QString text = static_cast<QKeyEvent*>(event)->text();
        if (!text.isEmpty() && text.at(0).unicode() >= 32) {
            int key = text.at(0).unicode();
            NumericKeyFilter(key);
            if (key == 0) return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}
