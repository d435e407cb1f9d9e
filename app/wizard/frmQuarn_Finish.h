// Page 50 of the scenario wizard, "Zelk Statistics Output Tables and
// Description": the scenario's description and the names of its output
// tables (two when the analysis writes a detail table), then Cancel, Save
// or Save and Run, or Back to the option page.
#pragma once

#include <QString>
#include <string>
#include <vector>

#include "wizard/WizardPage.h"

class QGroupBox;
class QLabel;
class QLineEdit;

class frmQuarn_Finish : public CWizardPage {
    Q_OBJECT
public:
    explicit frmQuarn_Finish(QWidget* parent = nullptr);
    ~frmQuarn_Finish() override;

    // Binds the object once and refills the page from it on every call.
    void Wiz(CZantelsPropWiz* wiz) override;

    // The proposed table names and label words of an analysis, and whether
    // its second table applies for the object's options.
    struct OutputNames {
        std::string first;
        std::string second;
        std::string firstLabel;
        std::string secondLabel;
    };
    static OutputNames NamesOf(const std::string& calcType);
    static bool SecondTableApplies(const CZantelsPropWiz& wiz);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void NavClicked(int index) override;
    // The close box is Cancel, which is index 2 here; Enter is Save.
    void OnWindowClose() override { NavClicked(2); }
    int DefaultNav() const override { return 3; }

private:
    // Leaving a box stores an edited text in the object and marks it changed.
    // Edited means different from what the page last showed or stored, so a
    // default name only shown is not an edit.
    void BoxLeft(QLineEdit* box);
    // Every way of leaving the page (buttons, their accelerators, Enter,
    // the close box) first commits the three boxes: focus may never have left them.
    void CommitBoxes();
    // Copies the three boxes into the object and checks them; false (the
    // message shown) when the page must stay open.
    bool CheckBoxes();
    // The field roles are still to be read (another program's lock kept
    // them): tries once more, and says so and returns true when they are not.
    bool RefuseFieldsUnread();
    // Asks before output tables named in the boxes that exist are replaced;
    // false on No. `agreed` receives the existing names the user agreed to.
    bool CheckExistingTableNames(std::vector<std::string>& agreed);

    QLineEdit* txtAnalysisType_;
    QLineEdit* txtDescription_;
    QGroupBox* fraOutputTables_;
    QLabel* lblTable1_;
    QLineEdit* txtTable1_;
    QLabel* lblTable2_;
    QLineEdit* txtTable2_;
    // The text each box held when the page filled it or last stored it.
    QString agreed_[3];
};
