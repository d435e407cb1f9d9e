#include "forms/frmOpenDatabase.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <utility>

#include "shell/CCommandArgs.h"
#include "services/CFileDialog.h"
#include "shell/CMRU.h"
#include "shell/ProgramInfo.h"
#include "ProgramSettings.h"
#include "shell/modMerivox.h"
#include "services/ErrorBoundary.h"
#include "services/HelpTopics.h"
#include "ui/UiServices.h"
#include "vb/Conversions.h"

namespace {

QLabel* Label(const char* name, const char* caption, QWidget* buddy = nullptr) {
    auto* label = new QLabel(caption);
    label->setObjectName(name);
    if (buddy) label->setBuddy(buddy);
    return label;
}

CCommandArgs ArgsOf(const CMRU::Entry& entry) {
    CCommandArgs args;
    args.Delim("/");
    args.TestString(entry.switches);
    args.Parse();
    return args;
}

// The value of a switch, or "" when it reads back as its own name (none given).
std::string SwitchValue(const CCommandArgs& args, const char* key) {
    std::string value = args.Item(key);
    return value == key ? std::string() : value;
}

const char* kBrowseSentence =
    "Be sure that you have typed the path to the database correctly, or use the Browse button to locate the database";

}  // namespace

frmOpenDatabase::frmOpenDatabase(QWidget* parent, std::vector<CMRU::Entry> recent)
    : QDialog(parent), recent_(std::move(recent)) {
    setObjectName("frmOpenDatabase");
    setWindowTitle("Open Scenario Database");
    setProperty("HelpContextID", help::kOpenDatabase);
    setModal(true);

    cboDatabase_ = new QComboBox;
    cboDatabase_->setObjectName("cboDatabase");
    cboDatabase_->setEditable(true);
    cboDatabase_->setInsertPolicy(QComboBox::NoInsert);
    cboDatabase_->setMinimumWidth(320);
    cmdBrowseDatabase_ = new QPushButton(QString::fromUtf8("\u2026"));
    cmdBrowseDatabase_->setObjectName("cmdBrowseDatabase");
    cmdBrowseDatabase_->setFixedWidth(32);
    chkSecurity_ = new QCheckBox("Secured Database");
    chkSecurity_->setObjectName("chkSecurity");
    QGroupBox* fraSecurity = SecurityFrame();
    txtPassword_ = new QLineEdit;
    txtPassword_->setObjectName("txtPassword");
    txtPassword_->setEchoMode(QLineEdit::Password);
    chkSavePassword_ = new QCheckBox("&Save Password");
    chkSavePassword_->setObjectName("chkSavePassword");
    auto* cmdOK = new QPushButton("&OK");
    cmdOK->setObjectName("cmdOK");
    cmdOK->setDefault(true);
    auto* cmdCancel = new QPushButton("&Cancel");
    cmdCancel->setObjectName("cmdCancel");

    auto* grid = new QGridLayout(this);
    grid->addWidget(Label("Label4", "&Database to Analyze:", cboDatabase_), 0, 0, 1, 2);
    grid->addWidget(cboDatabase_, 1, 0);
    grid->addWidget(cmdBrowseDatabase_, 1, 1);
    grid->addWidget(chkSecurity_, 2, 0, 1, 2);
    grid->addWidget(fraSecurity, 3, 0, 1, 2);
    grid->addWidget(Label("Label3", "&Password:", txtPassword_), 4, 0, 1, 2);
    grid->addWidget(txtPassword_, 5, 0);
    grid->addWidget(chkSavePassword_, 6, 0, 1, 2);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(cmdOK);
    buttons->addWidget(cmdCancel);
    grid->addLayout(buttons, 7, 0, 1, 2);
    for (QLineEdit* box : {txtWorkgroup_, txtUserID_, txtPassword_}) box->installEventFilter(this);
    cboDatabase_->installEventFilter(this);
    chkSecurity_->setChecked(false);
    chkSecurity_Click();

    ConnectControls(cmdOK, cmdCancel);
    Guarded("frmOpenDatabase:Form_Load", [this] { Form_Load(); });
}

QGroupBox* frmOpenDatabase::SecurityFrame() {
    auto* fraSecurity = new QGroupBox;
    fraSecurity->setObjectName("fraSecurity");
    txtWorkgroup_ = new QLineEdit;
    txtWorkgroup_->setObjectName("txtWorkgroup");
    lblWorkgroup_ = Label("lblWorkgroup", "&Workgroup Security Database:", txtWorkgroup_);
    cmdBrowseWorkgroup_ = new QPushButton(QString::fromUtf8("\u2026"));
    cmdBrowseWorkgroup_->setObjectName("cmdBrowseWorkgroup");
    cmdBrowseWorkgroup_->setFixedWidth(32);
    txtUserID_ = new QLineEdit;
    txtUserID_->setObjectName("txtUserID");
    lblUserid_ = Label("lblUserid", "&User ID:", txtUserID_);
    auto* security = new QGridLayout(fraSecurity);
    security->addWidget(lblWorkgroup_, 0, 0, 1, 2);
    security->addWidget(txtWorkgroup_, 1, 0);
    security->addWidget(cmdBrowseWorkgroup_, 1, 1);
    security->addWidget(lblUserid_, 2, 0, 1, 2);
    security->addWidget(txtUserID_, 3, 0);
    return fraSecurity;
}

void frmOpenDatabase::ConnectControls(QPushButton* cmdOK, QPushButton* cmdCancel) {
    connect(cboDatabase_, &QComboBox::activated, this,
            [this] { Guarded("frmOpenDatabase:cboDatabase_Click", [this] { cboDatabase_Click(); }); });
    connect(chkSecurity_, &QCheckBox::toggled, this,
            [this] { Guarded("frmOpenDatabase:chkSecurity_Click", [this] { chkSecurity_Click(); }); });
    connect(cmdBrowseDatabase_, &QPushButton::clicked, this,
            [this] { Guarded("frmOpenDatabase:cmdBrowseDatabase_Click", [this] { cmdBrowseDatabase_Click(); }); });
    connect(cmdBrowseWorkgroup_, &QPushButton::clicked, this,
            [this] { Guarded("frmOpenDatabase:cmdBrowseWorkgroup_Click", [this] { cmdBrowseWorkgroup_Click(); }); });
    connect(cmdOK, &QPushButton::clicked, this,
            [this] { Guarded("frmOpenDatabase:cmdOK_Click", [this] { cmdOK_Click(); }); });
    connect(cmdCancel, &QPushButton::clicked, this,
            [this] { Guarded("frmOpenDatabase:cmdCancel_Click", [this] { cmdCancel_Click(); }); });
}

void frmOpenDatabase::Form_Load() {
    PopulateMRUCombo();
    try {
        chkSavePassword_->setChecked(vb::Variant(program::Settings().ReadEntry("SavePassword", "False")).ToBool());
    } catch (...) {
        chkSavePassword_->setChecked(false);
    }
}

void frmOpenDatabase::PopulateMRUCombo() {
    ProcScope scope(ErrStack(), "frmOpenDatabase:PopulateMRUCombo");
    for (const CMRU::Entry& entry : recent_)
        AddListItem(cboDatabase_, vb::Trim(entry.path), ArgsOf(entry).Item("WG") == "WG" ? 0 : -1);
    if (cboDatabase_->count() > 0) {
        cboDatabase_->setCurrentIndex(0);
        cboDatabase_Click();
    }
}

void frmOpenDatabase::cboDatabase_Click() {
    int index = cboDatabase_->currentIndex();
    if (index < 0) return;
    chkSecurity_->setChecked(cboDatabase_->itemData(index).toInt() == -1);
    chkSecurity_Click();
    std::string text = cboDatabase_->currentText().toStdString();
    for (const CMRU::Entry& entry : recent_) {
        if (vb::Trim(entry.path) != text) continue;
        CCommandArgs args = ArgsOf(entry);
        if (chkSecurity_->isChecked()) {
            txtWorkgroup_->setText(QString::fromStdString(SwitchValue(args, "WG")));
            txtUserID_->setText(QString::fromStdString(SwitchValue(args, "UID")));
        } else {
            txtWorkgroup_->clear();
            txtUserID_->clear();
        }
        txtPassword_->setText(QString::fromStdString(SwitchValue(args, "PWD")));
        return;
    }
}

void frmOpenDatabase::chkSecurity_Click() {
    bool on = chkSecurity_->isChecked();
    for (QWidget* w :
         std::initializer_list<QWidget*>{lblWorkgroup_, txtWorkgroup_, lblUserid_, txtUserID_, cmdBrowseWorkgroup_})
        w->setEnabled(on);
}

void frmOpenDatabase::cmdBrowseDatabase_Click() {
    std::string text = cboDatabase_->currentText().toStdString();
    vb::Variant parent = ParentFolder(vb::Variant(text));
    std::string folder = parent.IsString() ? parent.String() : text;
    vb::Variant chosen{std::string()};
    // The databases are SQLite files, whatever their extension.
    if (FileOpenDialog(chosen, this, folder,
                       "SQLite database (*.mdb;*.db;*.sqlite;*.sqlite3)|*.mdb;*.db;*.sqlite;*.sqlite3|"
                       "All Files (*.*)|*.*") != 0)
        return;
    QString path = QString::fromStdString(chosen.String());
    int found = -1;
    for (int i = 0; i < cboDatabase_->count() && found < 0; ++i)
        if (cboDatabase_->itemText(i).compare(path, Qt::CaseInsensitive) == 0) found = i;
    if (found < 0) found = AddListItem(cboDatabase_, chosen.String(), 0);
    cboDatabase_->setCurrentIndex(found);
    cboDatabase_Click();
    // A file chosen: Enter now opens it rather than browsing again.
    findChild<QPushButton*>("cmdOK")->setFocus(Qt::OtherFocusReason);
}

void frmOpenDatabase::cmdBrowseWorkgroup_Click() {
    std::string text = txtWorkgroup_->text().toStdString();
    vb::Variant parent = ParentFolder(vb::Variant(text));
    vb::Variant chosen{std::string()};
    if (FileOpenDialog(chosen, this, parent.IsString() ? parent.String() : text,
                       "Workgroup file (*.mda;*.mdw)|*.mda;*.mdw|All Files (*.*)|*.*") == 0)
        txtWorkgroup_->setText(QString::fromStdString(chosen.String()));
}

void frmOpenDatabase::cmdOK_Click() {
    std::string database = cboDatabase_->currentText().toStdString();
    if (!FileExists(database)) {
        ui::MsgBox("Cannot locate a database named '" + database + "'\r\n\r\n" + kBrowseSentence, ui::vbOKOnly,
                   program::kAppTitle);
        cboDatabase_->setFocus();
        return;
    }
    std::string workgroup = txtWorkgroup_->text().toStdString();
    if (chkSecurity_->isChecked() && !FileExists(workgroup)) {
        ui::MsgBox("Cannot locate a workgroup database named '" + workgroup + "'\r\n\r\n" + kBrowseSentence,
                   ui::vbOKOnly, program::kAppTitle);
        txtWorkgroup_->setFocus();
        return;
    }
    hide();
}

void frmOpenDatabase::cmdCancel_Click() {
    cboDatabase_->setEditText({});
    txtWorkgroup_->clear();
    txtUserID_->clear();
    txtPassword_->clear();
    userCanceled_ = true;
    hide();
}

std::string frmOpenDatabase::Database() const { return cboDatabase_->currentText().toStdString(); }

void frmOpenDatabase::Database(const std::string& path) {
    database_ = path;
    if (path.empty()) return;
    QString wanted = QString::fromStdString(path);
    for (int i = 0; i < cboDatabase_->count(); ++i) {
        if (cboDatabase_->itemText(i).compare(wanted, Qt::CaseInsensitive) == 0) {
            cboDatabase_->setCurrentIndex(i);
            cboDatabase_Click();
            return;
        }
    }
}

// A cleared "Secured Database" means no workgroup log-on: the greyed boxes
// keep their text for a second thought, but it is not the answer.
std::string frmOpenDatabase::Workgroup() const {
    return chkSecurity_->isChecked() ? txtWorkgroup_->text().toStdString() : std::string();
}
std::string frmOpenDatabase::UserID() const {
    return chkSecurity_->isChecked() ? txtUserID_->text().toStdString() : std::string();
}
void frmOpenDatabase::UserID(const std::string& value) { txtUserID_->setText(QString::fromStdString(value)); }
std::string frmOpenDatabase::Password() const { return txtPassword_->text().toStdString(); }
void frmOpenDatabase::Password(const std::string& value) { txtPassword_->setText(QString::fromStdString(value)); }

void frmOpenDatabase::GetInfo() {
    userCanceled_ = false;
    exec();
    program::Settings().WriteEntry("SavePassword", chkSavePassword_->isChecked() ? "True" : "False");
    closing_ = true;
}

void frmOpenDatabase::closeEvent(QCloseEvent* event) {
    if (!closing_) {
        // The close box counts as Cancel.
        event->ignore();
        Guarded("frmOpenDatabase:cmdCancel_Click", [this] { cmdCancel_Click(); });
        return;
    }
    QDialog::closeEvent(event);
}

void frmOpenDatabase::reject() {
    // Escape counts as Cancel too.
    if (!closing_) {
        Guarded("frmOpenDatabase:cmdCancel_Click", [this] { cmdCancel_Click(); });
        return;
    }
    QDialog::reject();
}

void frmOpenDatabase::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    cboDatabase_->setFocus(Qt::OtherFocusReason);
    cboDatabase_->lineEdit()->selectAll();
}

bool frmOpenDatabase::eventFilter(QObject* watched, QEvent* event) {
    // Enter in the path box is OK, also while its text is selected (the
    // box's completion would otherwise take it to accept the selection).
    if (watched == cboDatabase_ && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            findChild<QPushButton*>("cmdOK")->click();
            return true;
        }
    }
    if (auto* box = qobject_cast<QLineEdit*>(watched))
        if (FocusEntersBox(box, event)) QTimer::singleShot(0, box, [box] { SelectAllText(box); });
    return QDialog::eventFilter(watched, event);
}
