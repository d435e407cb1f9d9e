// "Specify Data Values to Ignore": which values the scenario's analysis
// leaves out (none, one value, or a range below and/or above), stored in
// MissingType, MissingEqual, MissingLow and MissingHigh on OK. Opened
// modally by the field roles page, one window per use.
#pragma once

#include <QDialog>
#include <string>

class CZantelsPropWiz;
class QButtonGroup;
class QLabel;
class QLineEdit;

class frmIgnore : public QDialog {
    Q_OBJECT
public:
    explicit frmIgnore(QWidget* parent = nullptr);
    ~frmIgnore() override;

    // The first call binds the object and fills the dialog; later calls do nothing.
    void Wiz(CZantelsPropWiz* wiz);

    // Whether the entries can be stored; on failure the reason has been shown
    // and the focus is on the box to correct.
    bool CheckValues();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void optMissingType_Click(int index);
    void FieldEnableReset();
    void cmdOK_Click();

    CZantelsPropWiz* wiz_ = nullptr;
    std::string selectedType_ = "0";
    bool loading_ = false;
    QButtonGroup* optMissingtype_;
    QLabel* lblMissingEqual_;
    QLineEdit* txtMissingEqual_;
    QLabel* lblMissingLow_;
    QLineEdit* txtMissingLow_;
    QLabel* lblMissingHigh_;
    QLineEdit* txtMissingHigh_;
};
