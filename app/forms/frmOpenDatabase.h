// frmOpenDatabase: "Open Scenario Database", where the user names the
// database, and for a secured one the workgroup file and user, and the
// password. The frame's open loop shows a new one for every attempt.
#pragma once

#include <QDialog>
#include <string>
#include <vector>

#include "shell/CMRU.h"

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;

class frmOpenDatabase : public QDialog {
    Q_OBJECT
public:
    // `recent`: the recently used databases the path box offers, newest first.
    explicit frmOpenDatabase(QWidget* parent = nullptr, std::vector<CMRU::Entry> recent = {});

    std::string Database() const;
    // Selects the first entry equal to the path without regard to case.
    void Database(const std::string& path);
    // The workgroup and user boxes' texts while "Secured Database" is ticked; empty otherwise.
    std::string Workgroup() const;
    std::string UserID() const;
    void UserID(const std::string& value);
    std::string Password() const;
    void Password(const std::string& value);
    bool UserCanceled() const { return userCanceled_; }
    void UserCanceled(bool value) { userCanceled_ = value; }

    // Shows the dialog modally over the frame, then saves the password choice.
    void GetInfo();

protected:
    void closeEvent(QCloseEvent* event) override;
    void reject() override;
    // The path box starts with the focus and its text selected, so typing replaces it.
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // The workgroup and user boxes in their frame.
    QGroupBox* SecurityFrame();
    void ConnectControls(QPushButton* cmdOK, QPushButton* cmdCancel);
    // The recent databases offered, and the password choice as last saved.
    void Form_Load();
    void PopulateMRUCombo();
    void cboDatabase_Click();
    void chkSecurity_Click();
    void cmdBrowseDatabase_Click();
    void cmdBrowseWorkgroup_Click();
    void cmdOK_Click();
    void cmdCancel_Click();

    QComboBox* cboDatabase_;
    QPushButton* cmdBrowseDatabase_;
    QCheckBox* chkSecurity_;
    QLabel* lblWorkgroup_;
    QLineEdit* txtWorkgroup_;
    QPushButton* cmdBrowseWorkgroup_;
    QLabel* lblUserid_;
    QLineEdit* txtUserID_;
    QLineEdit* txtPassword_;
    QCheckBox* chkSavePassword_;
    bool userCanceled_ = false;
    std::vector<CMRU::Entry> recent_;
    bool closing_ = false;
    std::string database_;
};
