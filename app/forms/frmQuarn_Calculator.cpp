#include "forms/frmQuarn_Calculator.h"

#include <QButtonGroup>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <exception>
#include <memory>

#include "Merivox6/Quantara.h"
#include "shell/ProgramInfo.h"
#include "shell/modMerivox.h"
#include "services/ErrorBoundary.h"
#include "services/HelpKey.h"
#include "services/HelpTopics.h"
#include "ui/UiServices.h"
#include "vb/Conversions.h"
#include "vb/VbError.h"

namespace {

const char* const kTypeNames[] = {"Z-Value", "t-Value", "Chi-Square", "F-Value"};

std::string TextOf(const QLineEdit* box) { return box->text().toStdString(); }

// What a box's text reads as: a number, no number, or a number written
// beyond what a Double holds ("1E309", "1E-400"), which is no fault of its
// writing and is told as such. 1E-320, below the smallest normal Double,
// is held as it is.
enum class Reading { Number, NotNumeric, BeyondRange };

// The whole text by the runtime's conversion, which also reads "1E3" and
// "&H10"; "1.2.3" and "-" are no numbers.
Reading ReadNumber(const std::string& text, double& value) {
    try {
        value = vb::CDbl(text);
    } catch (const vb::VbError& e) {
        return e.Number() == vb::err::kOverflow ? Reading::BeyondRange : Reading::NotNumeric;
    }
    return std::isfinite(value) ? Reading::Number : Reading::BeyondRange;
}

// The message for a box whose text is not a number the calculator can use.
std::string NotUsable(Reading reading, const char* what) {
    if (reading == Reading::BeyondRange)
        return std::string(what) +
               " lies beyond the numbers the calculator can hold (sizes from about 4.9E-324 to 1.8E+308).";
    return std::string(what) + " must be numeric.";
}

QLabel* Label(const char* name, const char* caption) {
    auto* l = new QLabel(caption);
    l->setObjectName(name);
    return l;
}

// A value box; `selector` selects its text when the focus enters it.
QLineEdit* ValueBox(const char* name, QObject* selector) {
    auto* b = new QLineEdit;
    b->setObjectName(name);
    b->installEventFilter(selector);
    return b;
}

// A button that Enter does not press unless it is the default one.
QPushButton* CommandButton(const char* name, const char* caption) {
    auto* b = new QPushButton(caption);
    b->setObjectName(name);
    b->setAutoDefault(false);
    return b;
}

}  // namespace

frmQuarn_Calculator::frmQuarn_Calculator(QWidget* parent) : QDialog(parent) {
    setObjectName("frmQuarn_Calculator");
    setWindowTitle("Probability Calculator");
    setProperty("HelpContextID", help::kCalculator);
    setAttribute(Qt::WA_DeleteOnClose);

    QGroupBox* fraProbabilityType = ProbabilityTypeFrame();
    QGroupBox* fraTestValues = TestValuesFrame();

    auto* cmdCalculate = CommandButton("cmdCalculate", "&Calculate");
    cmdCalculate->setDefault(true);
    auto* cmdInverse = CommandButton("cmdInverse", "&Inverse");
    auto* cmdHelp = CommandButton("cmdHelp", "&Help");
    auto* cmdClose = CommandButton("cmdClose", "C&lose");
    auto* buttons = new QVBoxLayout;
    for (QPushButton* b : {cmdCalculate, cmdInverse, cmdHelp, cmdClose}) buttons->addWidget(b);
    buttons->addStretch();

    auto* layout = new QHBoxLayout(this);
    layout->addWidget(fraProbabilityType);
    layout->addWidget(fraTestValues, 1);
    layout->addLayout(buttons);
    // 7320 by 2910 twips.
    resize(QSize(488, 194).expandedTo(sizeHint()));

    ConnectControls(cmdCalculate, cmdInverse, cmdHelp, cmdClose);

    // The window opens on its value box: a value is typed without a Tab first.
    txtTestValue_->setFocus(Qt::OtherFocusReason);

    Guarded("frmQuarn_Calculator:Form_Load", [this] {
        m_ProbType = "Z-Value";
        m_Inverse = false;
    });
}

QGroupBox* frmQuarn_Calculator::ProbabilityTypeFrame() {
    auto* fraProbabilityType = new QGroupBox("Probability Type");
    fraProbabilityType->setObjectName("fraProbabilityType");
    optProbType_ = new QButtonGroup(this);
    auto* typeColumn = new QVBoxLayout(fraProbabilityType);
    const char* captions[] = {"&Z-Value", "&t-Value", "Chi-&Square", "&F-Value"};
    for (int i = 0; i < 4; ++i) {
        auto* option = new QRadioButton(captions[i]);
        option->setObjectName(QString("optProbType_%1").arg(i));
        optProbType_->addButton(option, i);
        typeColumn->addWidget(option);
    }
    typeColumn->addStretch();
    optProbType_->button(0)->setChecked(true);
    return fraProbabilityType;
}

QGroupBox* frmQuarn_Calculator::TestValuesFrame() {
    auto* fraTestValues = new QGroupBox("Test Values");
    fraTestValues->setObjectName("fraTestValues");
    lblTestValue_ = Label("lblTestValue", "Z-Value:");
    txtTestValue_ = ValueBox("txtTestValue", this);
    lblDF1Fld_ = Label("lblDF1Fld", "Degrees of Freedom:");
    txtDF1_ = ValueBox("txtDF1", this);
    lblDF2_ = Label("lblDF2", "Degrees of Freedom #2:");
    txtDF2_ = ValueBox("txtDF2", this);
    lblProbabilityCaption_ = Label("lblProbabilityCaption", "Probability:");
    lblProbability_ = Label("lblProbability", "");
    lblProbRange_ = Label("lblProbRange", "(0 to 1)");
    // Room for the longest result from the start: a result never resizes the window.
    lblProbability_->setMinimumWidth(lblProbability_->fontMetrics().horizontalAdvance("-3.33333333333333E-308"));
    lblProbability_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    // Hidden boxes keep their place, so the window does not jump between types.
    for (QWidget* w : std::initializer_list<QWidget*>{lblDF1Fld_, txtDF1_, lblDF2_, txtDF2_}) {
        QSizePolicy policy = w->sizePolicy();
        policy.setRetainSizeWhenHidden(true);
        w->setSizePolicy(policy);
        w->hide();
    }
    auto* values = new QGridLayout(fraTestValues);
    values->addWidget(lblTestValue_, 0, 0);
    values->addWidget(txtTestValue_, 0, 1);
    values->addWidget(lblDF1Fld_, 1, 0);
    values->addWidget(txtDF1_, 1, 1);
    values->addWidget(lblDF2_, 2, 0);
    values->addWidget(txtDF2_, 2, 1);
    values->addWidget(lblProbabilityCaption_, 3, 0);
    auto* result = new QHBoxLayout;
    result->addWidget(lblProbability_, 1);
    result->addWidget(lblProbRange_);
    values->addLayout(result, 3, 1);
    values->setColumnStretch(1, 1);
    return fraTestValues;
}

void frmQuarn_Calculator::ConnectControls(QPushButton* cmdCalculate, QPushButton* cmdInverse, QPushButton* cmdHelp,
                                          QPushButton* cmdClose) {
    connect(optProbType_, &QButtonGroup::idClicked, this, [this](int) { optProbType_Click(); });
    connect(cmdCalculate, &QPushButton::clicked, this, [this] { cmdCalculate_Click(); });
    connect(cmdInverse, &QPushButton::clicked, this, [this] { cmdInverse_Click(); });
    connect(cmdHelp, &QPushButton::clicked, this, [this] { GuardedQuiet([this] { ShowHelpFor(this); }); });
    connect(cmdClose, &QPushButton::clicked, this, [this] { GuardedQuiet([this] { UnloadForm(this); }); });
}

std::string frmQuarn_Calculator::FormatResult(double value) {
    if (value == 0 || !std::isfinite(value)) return "0";
    char text[64];
    const double magnitude = std::fabs(value);
    if (magnitude >= 1e-5 && magnitude < 1e15) {
        // Plain decimals rounded to 15 significant digits (at most 19 decimals here).
        const int exponent = static_cast<int>(std::floor(std::log10(magnitude)));
        const int decimals = std::max(0, 14 - exponent);
        std::snprintf(text, sizeof text, "%.*f", decimals, value);
        std::string s = text;
        if (s.find('.') != std::string::npos) {
            while (s.back() == '0') s.pop_back();
            if (s.back() == '.') s.pop_back();
        }
        return s == "-0" ? "0" : s;
    }
    // Scientific: "1.5E-23".
    std::snprintf(text, sizeof text, "%.14E", value);
    std::string s = text;
    const size_t e = s.find('E');
    std::string mantissa = s.substr(0, e);
    while (mantissa.back() == '0') mantissa.pop_back();
    if (mantissa.back() == '.') mantissa.pop_back();
    return mantissa + s.substr(e);
}

void frmQuarn_Calculator::reject() {
    QDialog::reject();
    setProperty("merivoxUnloaded", true);
    deleteLater();
}

bool frmQuarn_Calculator::eventFilter(QObject* watched, QEvent* event) {
    auto* edit = qobject_cast<QLineEdit*>(watched);
    if (edit && FocusEntersBox(edit, event)) QTimer::singleShot(0, edit, [edit] { SelectAllText(edit); });
    // The degrees of freedom take digits, the point, the minus sign and backspace.
    if ((watched == txtDF1_ || watched == txtDF2_) && event->type() == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(event);
        const QString text = key->text();
        const bool typed = text.size() == 1 && !(key->modifiers() & (Qt::ControlModifier | Qt::AltModifier)) &&
                           (text[0].unicode() >= 0x20 || text[0].unicode() == 8);
        if (typed) {
            const int code = text[0].unicode() < 128 ? text[0].unicode() : 0;
            if (FilterNumericKey(code, false) == 0) return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

int16_t frmQuarn_Calculator::GetProbTypeSelection() const {
    int16_t index = 0;
    Guarded("frmQuarn_Calculator:GetProbTypeSelection", [this, &index] {
        for (int16_t i = 0; i <= 3; ++i) {
            if (optProbType_->button(i)->isChecked()) {
                index = i;
                return;
            }
        }
    });
    return index;
}

bool frmQuarn_Calculator::UsesDF1() const { return m_ProbType != "Z-Value"; }
bool frmQuarn_Calculator::UsesDF2() const { return m_ProbType == "F-Value"; }

void frmQuarn_Calculator::Message(const std::string& text) { ui::MsgBox(text, ui::vbOKOnly, program::kAppTitle); }

bool frmQuarn_Calculator::CheckDegreesOfFreedom(QLineEdit* box) {
    const std::string text = TextOf(box);
    if (IsBlank(vb::Variant(text))) return true;
    double value = 0;
    if (const Reading reading = ReadNumber(text, value); reading != Reading::Number) {
        Message(NotUsable(reading, "The value"));
        box->setFocus();
        return false;
    }
    if (!(value > 0)) {
        Message("The value must be greater than 0");
        box->setFocus();
        return false;
    }
    return true;
}

void frmQuarn_Calculator::optProbType_Click() {
    Guarded("frmQuarn_Calculator:optProbType_Click", [this] {
        const int16_t index = GetProbTypeSelection();
        if (index >= 0 && index <= 3) m_ProbType = kTypeNames[index];
        const QString name = QString::fromStdString(m_ProbType);
        if (!m_Inverse) {
            lblTestValue_->setText(name + ":");
            lblProbabilityCaption_->setText("Probability");
        } else {
            lblTestValue_->setText("Probability (0 to 1):");
            lblProbabilityCaption_->setText(name);
        }
        lblProbRange_->setVisible(!m_Inverse);
        lblDF1Fld_->setText(m_ProbType == "F-Value" ? "Degrees of Freedom #1:" : "Degrees of Freedom:");
        lblDF1Fld_->setVisible(UsesDF1());
        txtDF1_->setVisible(UsesDF1());
        lblDF2_->setVisible(UsesDF2());
        txtDF2_->setVisible(UsesDF2());
        // A result of the type or direction before is none of this one's.
        lblProbability_->clear();
        Calculate();
    });
}

void frmQuarn_Calculator::cmdCalculate_Click() {
    Guarded("frmQuarn_Calculator:cmdCalculate_Click", [this] { Calculate(); });
}

void frmQuarn_Calculator::Calculate() {
    const std::string text = TextOf(txtTestValue_);
    double value = 0;
    // A result refused its inputs answers none of them: it goes, as when the
    // calculation itself refuses them, so no earlier result stands beside
    // them, or under the other direction's captions.
    if (const Reading reading = text.empty() ? Reading::Number : ReadNumber(text, value); reading != Reading::Number) {
        Message(NotUsable(reading, "The test value"));
        lblProbability_->clear();
        txtTestValue_->setFocus();
        return;
    }
    if (text.empty()) return;
    // Only the boxes the type shows are checked: the focus cannot go to a hidden one.
    if ((UsesDF1() && !CheckDegreesOfFreedom(txtDF1_)) || (UsesDF2() && !CheckDegreesOfFreedom(txtDF2_))) {
        lblProbability_->clear();
        return;
    }
    CalcProbInverse();
}

bool frmQuarn_Calculator::CalcProbInverse() {
    bool passed = false;
    Guarded("frmQuarn_Calculator:CalcProbInverse", [this, &passed] {
        const std::string text = TextOf(txtTestValue_);
        if (IsBlank(vb::Variant(text))) return;
        double value = 0;
        const Reading reading = ReadNumber(text, value);
        bool failed = reading != Reading::Number;
        if (failed) {
            Message(NotUsable(reading, "The test value"));
            txtTestValue_->setFocus();
        } else if (m_Inverse) {
            if (!(value > 0 && value < 1)) {
                Message("Probabilty value must be greater than zero and less than one.");
                txtTestValue_->setFocus();
                failed = true;
            }
        } else if ((m_ProbType == "Z-Value" || m_ProbType == "Chi-Square") && value <= 0) {
            Message("Test value must be greater than zero.");
            txtTestValue_->setFocus();
            failed = true;
        }
        double df1 = 0;
        double df2 = 0;
        if (!failed && UsesDF1()) {
            // A blank box that the type needs: no message, no result.
            failed = IsBlank(vb::Variant(TextOf(txtDF1_))) || ReadNumber(TextOf(txtDF1_), df1) != Reading::Number;
            if (!failed && UsesDF2())
                failed = IsBlank(vb::Variant(TextOf(txtDF2_))) || ReadNumber(TextOf(txtDF2_), df2) != Reading::Number;
        }
        if (failed) {
            lblProbability_->setText("");
            return;
        }

        double result = 0;
        try {
            auto stats = std::make_unique<Quantara>();
            result = m_Inverse ? stats->ProbInverse(m_ProbType, value, df1, df2)
                               : stats->Probability(m_ProbType, value, df1, df2);
        } catch (const vb::VbError& e) {
            Message("Error running probability calculator: " + e.Description());
            result = 0;
        } catch (const std::exception& e) {
            Message(std::string("Error running probability calculator: ") + e.what());
            result = 0;
        }
        lblProbability_->setText(QString::fromStdString(FormatResult(result)));
        passed = true;
    });
    return passed;
}

void frmQuarn_Calculator::cmdInverse_Click() {
    Guarded("frmQuarn_Calculator:cmdInverse_Click", [this] {
        // The direction changes only with its captions: a switch refused
        // leaves both as they were, so no result shows under the other
        // direction's captions.
        const bool inverse = !m_Inverse;
        const std::string text = TextOf(txtTestValue_);
        if (inverse && !IsBlank(vb::Variant(text))) {
            double value = 0;
            if (const Reading reading = ReadNumber(text, value); reading != Reading::Number) {
                Message(NotUsable(reading, "The test value"));
                txtTestValue_->setFocus();
                return;
            }
            // A test value of 1 or more cannot be a probability.
            if (value >= 1) {
                txtTestValue_->clear();
                lblProbability_->clear();
            }
            if (UsesDF1() && !CheckDegreesOfFreedom(txtDF1_)) return;
            if (UsesDF2() && !CheckDegreesOfFreedom(txtDF2_)) return;
        }
        m_Inverse = inverse;
        txtTestValue_->setFocus();
        optProbType_Click();
    });
}
