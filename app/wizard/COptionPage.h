// The base of the wizard's option pages. A page describes itself as
// tables: its controls bound to properties of the scenario object (in the
// order the page fills them) and the enabling rules that follow those
// properties; its help topic and the check its Next runs come from the
// analysis catalogue (wizard/AnalysisCatalog.h). The base makes the bound
// controls, fills them without marking the scenario changed, writes every
// edit back and marks it changed, keeps the number boxes valid, and runs the
// navigation buttons; a page only lays its controls out.
#pragma once

#include <QString>
#include <map>
#include <span>
#include <string>

#include "vb/Variant.h"
#include "wizard/WizardPage.h"

class QAbstractButton;
class QButtonGroup;
class QGroupBox;
class QLabel;
class QLayout;
class QLineEdit;

namespace optionpage {

// How a control meets its property.
enum class Kind {
    Check,       // check box: the Boolean property
    Option,      // option button: writes its literal; selected when the stored text equals it
    OptionElse,  // the same, and selected too when the stored text matches no button of its group
    // Number boxes. Typed keys other than digits, ".", "-" and backspace are
    // dropped; whatever the box holds (pasted text too) is judged when it is
    // left and again on Back and Next. Numbers read and write in the C locale.
    Positive,           // empty: Null; else a number greater than 0
    Percent,            // empty: Null; else a whole number from 1 to 99
    Intervals,          // a number from 2 to 50, rounded; empty passes (nothing stored) while no
                        // frequency output is chosen
    IntervalsRequired,  // a number from 2 to 50, rounded; never empty
    PolyOrder,          // a number from 2 to 9, rounded; never empty
    Number,             // empty: 0, shown in the box; else any number
    NumberOrNull,       // empty: Null; else any number
    LeadingNumber,      // never refused: the number the text begins with (0 when none), shown back
};

struct Binding {
    const char* control;   // the control's name
    const char* caption;   // its caption (boxes: none)
    const char* property;  // the scenario object's property
    Kind kind;
    const char* literal = nullptr;  // option buttons: the text written
    const char* handler = nullptr;  // the handler's name on the error stack, when not the usual one
};

// Enables `controls` (null-terminated) exactly while `property` holds one of
// `values` ("S|C"; a Boolean reads "True"; "!Default": anything but
// "Default"); runs after loading, in table
// order, and after every edit of that property.
struct Enabling {
    const char* routine;
    const char* property;
    const char* values;
    const char* controls[8];
};

struct Definition {
    const char* form;
    const char* caption;
    std::span<const Binding> bindings;
    std::span<const Enabling> enabling;
    const char* helpCaption;    // "Help" or "&Help"
    const char* cancelCaption;  // "Cancel" or "&Cancel"
};

// The judgement of a number box's text.
struct Judgement {
    bool ok = true;
    bool store = true;     // false: accepted, nothing stored
    vb::Variant value;     // what is stored
    bool rewrite = false;  // the box then shows `text`
    std::string text;
    std::string message;  // when refused
};
// `frequencyChosen`: a frequency output is on (for Kind::Intervals).
Judgement Judge(Kind kind, const std::string& text, bool frequencyChosen);
// The text a box shows for a stored value: empty for Empty and Null.
std::string StoredText(const vb::Variant& value);

}  // namespace optionpage

class COptionPage : public CWizardPage {
    Q_OBJECT
public:
    COptionPage(const optionpage::Definition& definition, QWidget* parent);
    ~COptionPage() override;

    // Binds the scenario object once and fills the controls from it.
    void Wiz(CZantelsPropWiz* wiz) override;
    void ShowModal() override;

    // False from a refused number box until a box is left with a good value.
    bool Valid() const { return valid_; }
    // What Next checks before the wizard moves on: the message (empty when
    // the scenario passes), the focus moved to the control to correct. The
    // analysis catalogue gives each page its analysis's check and help topic.
    using Check = std::string (*)(CZantelsPropWiz& wiz, QWidget* page);
    void NextCheck(Check check) { nextCheck_ = check; }
    const optionpage::Definition& Def() const { return def_; }

protected:
    // The page's bound control of that name.
    QWidget* Control(const char* name) const;
    QLabel* Label(const char* name, const QString& text, QWidget* buddy = nullptr);
    QGroupBox* Frame(const char* name, const QString& title);
    // Puts the page's content above the navigation buttons and fixes its size
    // (9360 by 5310 twips, or more when the content needs it).
    void Arrange(QLayout* content);

    bool eventFilter(QObject* watched, QEvent* event) override;
    void NavClicked(int index) override;

private:
    std::string Procedure(const std::string& name) const;
    void SetControlValues();
    void RunEnabling(const char* property);
    void Clicked(const optionpage::Binding& b, QAbstractButton* button);
    // Judges a box being left; a refusal's message is shown at once or, when
    // the focus is moving, once the move is over.
    bool BoxLeft(const optionpage::Binding& b, QLineEdit* box, bool deferMessage);
    // Judges (and stores) every enabled box whose text differs from its value:
    // Back and Next act on what the boxes show, however they were reached.
    bool BoxesValid();
    bool CheckValues();
    const optionpage::Binding* BindingOf(QObject* control) const;

    const optionpage::Definition& def_;
    std::map<std::string, QWidget*> controls_;
    std::map<std::string, QButtonGroup*> groups_;
    Check nextCheck_ = nullptr;
    bool valid_ = true;
    bool messagePending_ = false;
    bool leaving_ = false;
};
