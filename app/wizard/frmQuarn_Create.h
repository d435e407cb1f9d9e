// Page 1 of the scenario wizard, "Zelk Statistics -- Select Analysis Type":
// one option button per analysis, grouped by family. The choice is written
// at once into the scenario object as its analysis name and family letter.
#pragma once

#include <QHash>

#include "wizard/WizardPage.h"

class QButtonGroup;
class QRadioButton;

class frmQuarn_Create : public CWizardPage {
    Q_OBJECT
public:
    explicit frmQuarn_Create(QWidget* parent = nullptr);
    ~frmQuarn_Create() override;

    // Binds the object once; on every call marks the button of its analysis
    // (writing nothing), or, for a name that is none of them, chooses Describe.
    void Wiz(CZantelsPropWiz* wiz) override;
    // Only 1 (Back) and 2 (Next) are taken; any other value is ignored.
    void NavResult(long value) override;
    long NavResult() const override { return navResult_; }

    // The click of option button `index`: writes its analysis unless loading.
    void optType_Click(int index);

protected:
    void NavClicked(int index) override;

private:
    QButtonGroup* optType_;
};
