#include "forms/frmErrorHandler.h"

#include <QApplication>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QStyle>
#include <QToolButton>
#include <QUrl>
#include <QVBoxLayout>
#include <array>

#include "services/CShellExecute.h"
#include "services/CWinHelp.h"
#include "Hourglass.h"
#include "shell/ProgramInfo.h"
#include "services/Glyphs.h"
#include "ui/UiServices.h"

namespace {

QLabel* MakeLabel(const char* name, const QString& text) {
    auto* label = new QLabel(text);
    label->setObjectName(name);
    label->setWordWrap(true);
    return label;
}

// One group: a picture button, a sentence and the action's caption.
QGroupBox* MakeGroup(const char* frame, const char* button, const QIcon& icon, QLabel* sentence, QLabel* action,
                     QToolButton** made) {
    auto* box = new QGroupBox;
    box->setObjectName(frame);
    auto* cmd = new QToolButton;
    cmd->setObjectName(button);
    cmd->setIcon(icon);
    cmd->setIconSize(QSize(24, 24));
    cmd->setAutoRaise(false);
    auto* texts = new QVBoxLayout;
    texts->setSpacing(2);
    texts->addWidget(sentence);
    texts->addWidget(action);
    auto* row = new QHBoxLayout(box);
    row->setContentsMargins(6, 4, 6, 4);
    row->addWidget(cmd, 0, Qt::AlignTop);
    row->addLayout(texts, 1);
    *made = cmd;
    return box;
}

}  // namespace

frmErrorHandler::frmErrorHandler(QWidget* parent) : QDialog(parent) {
    setObjectName("frmErrorHandler");
    setWindowTitle("Unexpected Error");
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);

    lblErrorHeader_ = MakeLabel("lblErrorHeader", "<set in code>");
    QFont bold = lblErrorHeader_->font();
    bold.setBold(true);
    lblErrorHeader_->setFont(bold);
    txtError_ = new QPlainTextEdit("<set in code>\n");
    txtError_->setObjectName("txtError");
    txtError_->setReadOnly(true);
    txtError_->setMaximumHeight(70);
    auto* Text5 = MakeLabel("Text5", "For further help, please contact Zelk Technical Support:");

    HelpButtons pictures;
    const std::array<QGroupBox*, 5> groups = HelpGroups(pictures);

    auto* cmdContinue = new QPushButton("&Continue");
    cmdContinue->setObjectName("cmdAction_0");
    cmdContinue->setDefault(true);
    auto* cmdClose = new QPushButton("C&lose");
    cmdClose->setObjectName("cmdAction_1");
    auto* cmdHelp = new QPushButton("&Help");
    cmdHelp->setObjectName("cmdHelp");

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(lblErrorHeader_);
    layout->addWidget(txtError_);
    layout->addWidget(Text5);
    for (QGroupBox* g : groups) layout->addWidget(g);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(cmdContinue);
    buttons->addWidget(cmdClose);
    buttons->addWidget(cmdHelp);
    layout->addLayout(buttons);
    resize(520, sizeHint().height());

    ConnectControls(pictures, cmdContinue, cmdClose, cmdHelp);

    // Centred on the screen, with the arrow pointer whatever was showing.
    if (QScreen* screen = QApplication::primaryScreen()) {
        QRect area = screen->geometry();
        move(area.x() + (area.width() - width()) / 2, area.y() + (area.height() - height()) / 2);
    }
    ui::Ui().SetMousePointer(ui::vbDefault);
}

std::array<QGroupBox*, 5> frmErrorHandler::HelpGroups(HelpButtons& made) {
    auto* Frame1 = MakeGroup(
        "Frame1", "cmdHelpFile", glyphs::Help(),
        MakeLabel("Label1", "To resolve this problem, consult the Troubleshooting section of the online help file. "),
        MakeLabel("Label3", "Open the help file now."), &made.helpFile);
    auto* Frame2 =
        MakeGroup("Frame2", "cmdReadme", QApplication::style()->standardIcon(QStyle::SP_FileDialogInfoView),
                  MakeLabel("Label2", "Be sure to check the README.TXT file for additional information not included "
                                      "in the help file or printed documentation."),
                  MakeLabel("Label4", "View the Readme file now."), &made.readme);
    auto* Frame3 =
        MakeGroup("Frame3", "cmdEMail", glyphs::Mail(),
                  MakeLabel("Label9", QString("For the quickest and most accurate response, send email to our "
                                              "Technical Support department  (%1)")
                                          .arg(program::kSupportMail)),
                  MakeLabel("Label5", "Send email now."), &made.eMail);
    auto* Frame4 = MakeGroup(
        "Frame4", "cmdWebsite", glyphs::Web(),
        MakeLabel("Label7", QString("Visit our support department online at %1").arg(program::kSupportWebPage)),
        MakeLabel("Label6", "Visit the site now."), &made.website);
    lblErrorFile_ = MakeLabel("lblErrorFile", "View the error file using a text editor.");
    auto* Frame5 =
        MakeGroup("Frame5", "cmdErrorFile", QApplication::style()->standardIcon(QStyle::SP_FileIcon), lblErrorFile_,
                  MakeLabel("Label8", "If you cannot send email, fax the contents of the error log to Zelk "
                                      "Technical Support at +1 555 0100."),
                  &made.errorFile);
    return {Frame1, Frame2, Frame3, Frame4, Frame5};
}

void frmErrorHandler::ConnectControls(const HelpButtons& pictures, QPushButton* cmdContinue, QPushButton* cmdClose,
                                      QPushButton* cmdHelp) {
    connect(cmdContinue, &QPushButton::clicked, this, [this] { cmdAction_Click(0); });
    connect(cmdClose, &QPushButton::clicked, this, [this] { cmdAction_Click(1); });
    // The dialog's handlers report nothing of their own: it is the error path itself.
    connect(pictures.errorFile, &QToolButton::clicked, this,
            [this] { CShellExecute().LaunchDocument(this, errorFile_); });
    connect(pictures.readme, &QToolButton::clicked, this, [this] { CShellExecute().LaunchDocument(this, readme_); });
    connect(pictures.website, &QToolButton::clicked, this,
            [this] { CShellExecute().LaunchURL(this, program::kSupportWebPage); });
    connect(pictures.eMail, &QToolButton::clicked, this, [this] { cmdEMail_Click(); });
    auto openHelp = [this] {
        CWinHelp help;
        help.HelpFile(helpFile_.empty() ? program::HelpFilePath() : helpFile_);
        help.OpenContext(helpContext_ > 0 ? helpContext_ : 1);
    };
    connect(pictures.helpFile, &QToolButton::clicked, this, openHelp);
    connect(cmdHelp, &QPushButton::clicked, this, openHelp);
}

void frmErrorHandler::ErrHelpContextID(int32_t value) {
    helpContext_ = value;
    setProperty("HelpContextID", value);
}

void frmErrorHandler::ErrorString(const std::string& value) {
    errorString_ = value;
    txtError_->setPlainText(QString::fromStdString(value));
}

void frmErrorHandler::AppName(const std::string& value) {
    appName_ = value;
    lblErrorHeader_->setText(QString::fromStdString(value) + " has encountered the following unanticipated error:");
}

void frmErrorHandler::ErrorFile(const std::string& value) {
    errorFile_ = value;
    lblErrorFile_->setText("View the error file using a text editor. (located in " + QString::fromStdString(value) +
                           ")");
}

void frmErrorHandler::cmdAction_Click(int index) {
    if (index == 0) {
        hide();
    } else if (index == 1) {
        userClosed_ = true;
        hide();
    }
}

std::string frmErrorHandler::MailAddress(const std::string& appName, const std::string& report) {
    QString subject = QString::fromStdString(appName + " Error log");
    QString body = QString::fromStdString(report);
    return QString("mailto:%1?subject=%2&body=%3")
        .arg(program::kSupportMail, QString::fromUtf8(QUrl::toPercentEncoding(subject)),
             QString::fromUtf8(QUrl::toPercentEncoding(body)))
        .toStdString();
}

void frmErrorHandler::cmdEMail_Click() {
    CHourglass wait;
    wait.Value(true);
    // The desktop's mail program composes the message and shows it for editing before it goes.
    if (!ui::Ui().Open(MailAddress(appName_, errorMsg_)))
        ui::MsgBox("Unable to sign on to server", ui::vbOKOnly, appName_);
}
