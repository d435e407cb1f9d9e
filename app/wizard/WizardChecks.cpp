// The analysis checks of the scenario object: the first rule that fails
// decides the message, and the focus goes to the calling page's control
// that the user has to correct.
#include <QLineEdit>
#include <QString>
#include <QWidget>

#include "ErrorStack.h"
#include "shell/ProgramInfo.h"
#include "ScenarioSchema.h"
#include "shell/modMerivox.h"
#include "ui/UiServices.h"
#include "vb/Conversions.h"
#include "wizard/CZantelsPropWiz.h"

namespace {

// The page's control of this name, compared without regard to case; null when the page has none.
QWidget* Control(QWidget* page, const char* name) {
    if (!page) return nullptr;
    const QString wanted = QString::fromLatin1(name);
    for (QWidget* w : page->findChildren<QWidget*>())
        if (w->objectName().compare(wanted, Qt::CaseInsensitive) == 0) return w;
    return nullptr;
}

void Focus(QWidget* page, const char* name) {
    if (QWidget* w = Control(page, name)) w->setFocus(Qt::OtherFocusReason);
}

// The text of the page's box; nullopt-like `found` false when the page has no such box.
std::string BoxText(QWidget* page, const char* name, bool& found) {
    QWidget* w = Control(page, name);
    found = w != nullptr;
    if (!w) return {};
    if (auto* edit = qobject_cast<QLineEdit*>(w)) return edit->text().toStdString();
    return w->property("text").toString().toStdString();
}

// Runs a check under its name on the error stack; an unexpected error is
// reported and ends the check with the message found so far.
template <class F>
std::string Checked(const char* procedure, F&& rules) {
    ProcScope scope(ErrStack(), procedure);
    std::string message;
    try {
        rules(message);
    } catch (...) {
        ErrStack().HandleError();
    }
    return message;
}

}  // namespace

std::string CZantelsPropWiz::CheckDescribe(QWidget* page) {
    return Checked("CZantelsPropWiz:CheckDescribe", [&](std::string& message) {
        if (!CI()) return;
        if (!CI95() && IsBlank(CIUser())) {
            message = "Confidence Interval value (95% or Other%) required";
            Focus(page, "chkCI95");
        } else if (CI95() && !IsBlank(CIUser()) && vb::SameValue(CIUser(), vb::Variant(95))) {
            message = "Duplicate Confidence Interval % selected";
            Focus(page, "txtCIUser");
        } else if (CITypeRadio() == "Normal" && IsBlank(CIStdDev())) {
            message = "Confidence Interval standard deviation required";
            Focus(page, "txtCIStdDev");
        }
    });
}

std::string CZantelsPropWiz::CheckFrequency(QWidget* page, bool fFreqN, bool fFreqP) {
    return Checked("CZantelsPropWiz:CheckFrequency", [&](std::string& message) {
        if (!fFreqN && !fFreqP) return;
        // A rule whose box the page lacks is not applied: that page offers no such value.
        bool found = false;
        std::string intervals = BoxText(page, "txtInterV", found);
        if (found && intervals.empty()) {
            message = "Frequency: Number of intervals required";
            Focus(page, "txtInterV");
            return;
        }
        if (FreqGroupRadio() != "Specified:" && FreqGroupRadio() != "Specified") return;
        std::string init = BoxText(page, "txtFreqInit", found);
        if (found && init.empty()) {
            message = "Frequency: Specified Initial Value required";
            Focus(page, "txtFreqInit");
            return;
        }
        std::string width = BoxText(page, "txtFreqWidth", found);
        if (!found) return;
        if (width.empty()) {
            message = "Frequency: Specified Interval Width required";
            Focus(page, "txtFreqWidth");
        } else if (!(vb::Val(width) > 0)) {
            message = "Frequency: Specified Interval Width must be greater than 0";
            Focus(page, "txtFreqWidth");
        }
    });
}

std::string CZantelsPropWiz::CheckSignTest(QWidget* page) {
    return Checked("CZantelsPropWiz:CheckSignTest", [&](std::string& message) {
        if (!SignMean() && !SignMedian() && !SignCustom()) {
            message = "No test type selected";
            Focus(page, "chkSignMean");
        } else if (SignCustom() && IsBlank(SignValue())) {
            message = "Custom value required";
            Focus(page, "txtSignValue");
        }
    });
}

std::string CZantelsPropWiz::CheckKSFit(QWidget* page) {
    return Checked("CZantelsPropWiz:CheckKSFit", [&](std::string& message) {
        if (!FitUniform() && !FitNormal() && !FitPoisson()) {
            message = "No test type selected";
            Focus(page, "chkFitUniform");
        }
    });
}

std::string CZantelsPropWiz::CheckPaired(QWidget* page) {
    return Checked("CZantelsPropWiz:CheckPaired", [&](std::string& message) {
        if (!NPPair_Sign() && !NPPair_Wilcoxon() && !NPPair_Spearman()) {
            message = "At least one analysis type must be selected";
            Focus(page, "chknPPair_Sign");
        }
    });
}

bool CZantelsPropWiz::CheckFinal(QWidget* page, std::string& strTable1, std::string& strTable2) {
    std::string message = Checked("CZantelsPropWiz:CheckFinal", [&](std::string& text) {
        strTable1 = OutputTable1();
        strTable2 = OutputTable2();
        if (strTable1.empty()) {
            text = "Output table name required.";
            Focus(page, "txtScenario_Output_Table1_Name");
            return;
        }
        QWidget* label2 = Control(page, "lblScenario_Output_Table2_Name");
        if (strTable2.empty() && label2 && !label2->isHidden()) {
            text = "Second Output table name required.";
            Focus(page, "txtScenario_Output_Table2_Name");
            return;
        }
        // An output named like a scenario table would replace it.
        const bool secondShown = label2 && !label2->isHidden();
        for (int i = 0; i < (secondShown ? 2 : 1); ++i) {
            text = store::ScenarioTableOutputMessage(i == 0 ? strTable1 : strTable2);
            if (!text.empty()) {
                Focus(page, i == 0 ? "txtScenario_Output_Table1_Name" : "txtScenario_Output_Table2_Name");
                return;
            }
        }
        // The database compares table names without regard to case: names
        // that differ only in case would name one table.
        if (vb::EqualsNoCase(strTable1, strTable2)) {
            text = "The first and second output table names names must not be the same.";
            Focus(page, "txtScenario_Output_Table2_Name");
        }
    });
    if (!message.empty()) ui::MsgBox(message, ui::vbOKOnly, program::kAppTitle);
    return message.empty();
}
