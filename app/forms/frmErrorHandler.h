// "Unexpected Error": shows an unexpected error's description and lets the
// user go on (Continue) or end the program (Close), read the report or the
// readme, open help, mail the report to support or visit the support site.
// The dialog only hides itself; its owner reads UserClosed and deletes it.
#pragma once

#include <QDialog>
#include <array>
#include <cstdint>
#include <string>

class QGroupBox;
class QLabel;
class QPlainTextEdit;
class QPushButton;
class QToolButton;

class frmErrorHandler : public QDialog {
    Q_OBJECT
public:
    explicit frmErrorHandler(QWidget* parent = nullptr);

    const std::string& ErrHelpFileName() const { return helpFile_; }
    void ErrHelpFileName(const std::string& value) { helpFile_ = value; }
    int32_t ErrHelpContextID() const { return helpContext_; }
    void ErrHelpContextID(int32_t value);
    const std::string& ErrorString() const { return errorString_; }
    void ErrorString(const std::string& value);
    const std::string& AppName() const { return appName_; }
    void AppName(const std::string& value);
    const std::string& ErrorMsgString() const { return errorMsg_; }
    void ErrorMsgString(const std::string& value) { errorMsg_ = value; }
    const std::string& Readmefile() const { return readme_; }
    void Readmefile(const std::string& value) { readme_ = value; }
    const std::string& ErrorFile() const { return errorFile_; }
    void ErrorFile(const std::string& value);
    bool UserClosed() const { return userClosed_; }
    void UserClosed(bool value) { userClosed_ = value; }

    // The mail hand-off: a new message to support with the report as its body.
    static std::string MailAddress(const std::string& appName, const std::string& report);

private:
    // The picture buttons of the five help groups.
    struct HelpButtons {
        QToolButton* helpFile = nullptr;
        QToolButton* readme = nullptr;
        QToolButton* eMail = nullptr;
        QToolButton* website = nullptr;
        QToolButton* errorFile = nullptr;
    };
    // The five ways to help: help file, readme, mail, web site and error file.
    std::array<QGroupBox*, 5> HelpGroups(HelpButtons& made);
    void ConnectControls(const HelpButtons& pictures, QPushButton* cmdContinue, QPushButton* cmdClose,
                         QPushButton* cmdHelp);
    void cmdAction_Click(int index);
    void cmdEMail_Click();

    std::string helpFile_;
    int32_t helpContext_ = 0;
    std::string errorString_;
    std::string appName_;
    std::string errorMsg_;
    std::string readme_;
    std::string errorFile_;
    bool userClosed_ = false;

    QLabel* lblErrorHeader_;
    QPlainTextEdit* txtError_;
    QLabel* lblErrorFile_;
};
