#include "wizard/COptionPage.h"

#include <QApplication>
#include <QBoxLayout>
#include <QButtonGroup>
#include <QCheckBox>
#include <QEvent>
#include <QFocusEvent>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <cmath>

#include "shell/ProgramInfo.h"
#include "shell/modMerivox.h"
#include "services/ErrorBoundary.h"
#include "ui/UiServices.h"
#include "vb/Conversions.h"
#include "vb/VbError.h"
#include "wizard/CZantelsPropWiz.h"

namespace optionpage {

namespace {

bool IsBox(Kind kind) { return kind != Kind::Check && kind != Kind::Option && kind != Kind::OptionElse; }

// A box whose refusal blocks Back and Next (every box but the leading-number one).
bool IsValidated(Kind kind) { return IsBox(kind) && kind != Kind::LeadingNumber; }

// The whole text as a finite number in the C locale; false for anything else
// (a lone point, "1-2", "inf", a hexadecimal prefix).
bool ReadNumber(const std::string& text, double& value) {
    const std::string trimmed = vb::Trim(text);
    if (trimmed.empty()) return false;
    const char first = trimmed[0];
    if (!(std::isdigit(static_cast<unsigned char>(first)) || first == '.' || first == '-' || first == '+'))
        return false;
    try {
        value = vb::CDbl(trimmed);
    } catch (const vb::VbError&) {
        return false;
    }
    return std::isfinite(value);
}

Judgement Refused(const char* message) {
    Judgement j;
    j.ok = false;
    j.message = message;
    return j;
}

Judgement Stored(vb::Variant value) {
    Judgement j;
    j.value = std::move(value);
    return j;
}

Judgement WholeInRange(const std::string& text, double low, double high, const char* message) {
    double x = 0;
    if (!ReadNumber(text, x) || x < low || x > high) return Refused(message);
    return Stored(vb::Variant(vb::CInt(x)));  // halves to the even neighbour
}

}  // namespace

Judgement Judge(Kind kind, const std::string& text, bool frequencyChosen) {
    const bool empty = text.empty();
    double x = 0;
    switch (kind) {
        case Kind::Positive:
            if (empty) return Stored(vb::Variant::Null());
            if (!ReadNumber(text, x) || !(x > 0)) return Refused("Please enter a number greater than zero.");
            return Stored(vb::Variant(x));
        case Kind::Percent:
            if (empty) return Stored(vb::Variant::Null());
            if (!ReadNumber(text, x) || x != std::trunc(x) || x < 1 || x > 99)
                return Refused("Please enter a whole number between 1 and 99.");
            return Stored(vb::Variant(static_cast<int16_t>(x)));
        case Kind::Intervals:
            if (empty && !frequencyChosen) {
                Judgement j;
                j.store = false;
                return j;
            }
            [[fallthrough]];
        case Kind::IntervalsRequired:
            return WholeInRange(text, 2, 50, "Please enter a number between 2 and 50.");
        case Kind::PolyOrder:
            return WholeInRange(text, 2, 9, "Please enter a number between 2 and 9.");
        case Kind::Number:
            if (empty) {
                Judgement j = Stored(vb::Variant(0.0));
                j.rewrite = true;
                j.text = "0";
                return j;
            }
            if (!ReadNumber(text, x)) return Refused("Please enter a number.");
            return Stored(vb::Variant(x));
        case Kind::NumberOrNull:
            if (empty) return Stored(vb::Variant::Null());
            if (!ReadNumber(text, x)) return Refused("Please enter a number.");
            return Stored(vb::Variant(x));
        case Kind::LeadingNumber: {
            const double value = vb::Val(text);
            Judgement j = Stored(vb::Variant(std::isfinite(value) ? value : 0.0));
            j.rewrite = true;
            j.text = vb::CStr(j.value.ToDouble());
            return j;
        }
        case Kind::Check:
        case Kind::Option:
        case Kind::OptionElse:
            break;
    }
    return Stored(vb::Variant());
}

std::string StoredText(const vb::Variant& value) {
    if (value.IsEmpty() || value.IsNull() || value.IsMissing()) return {};
    if (value.IsString()) return value.String();
    return vb::CStr(value);
}

}  // namespace optionpage

using namespace optionpage;

namespace {

// A property's value as the text an enabling rule or option group compares.
std::string PropertyText(const CZantelsPropWiz& wiz, const char* property) {
    const vb::Variant v = wiz.GetProperty(property);
    if (v.Type() == vb::vbBoolean) return v.ToBool() ? "True" : "False";
    return StoredText(v);
}

bool OneOf(const std::string& value, const char* values) {
    std::string_view rest(values);
    if (rest.starts_with('!')) return !OneOf(value, values + 1);
    while (true) {
        const size_t bar = rest.find('|');
        if (rest.substr(0, bar) == value) return true;
        if (bar == std::string_view::npos) return false;
        rest.remove_prefix(bar + 1);
    }
}

}  // namespace

COptionPage::COptionPage(const optionpage::Definition& definition, QWidget* parent)
    : CWizardPage(parent), def_(definition) {
    Guarded(Procedure("Form_Load"), [this] {
        setObjectName(def_.form);
        setWindowTitle(def_.caption);
        for (const Binding& b : def_.bindings) {
            QWidget* w = nullptr;
            if (b.kind == Kind::Check) {
                auto* check = new QCheckBox(QString::fromUtf8(b.caption ? b.caption : ""));
                connect(check, &QCheckBox::clicked, this, [this, &b, check] { Clicked(b, check); });
                w = check;
            } else if (b.kind == Kind::Option || b.kind == Kind::OptionElse) {
                auto* option = new QRadioButton(QString::fromUtf8(b.caption));
                QButtonGroup*& group = groups_[b.property];
                if (!group) group = new QButtonGroup(this);
                group->addButton(option);
                connect(option, &QRadioButton::clicked, this, [this, &b, option] { Clicked(b, option); });
                w = option;
            } else {
                auto* box = new QLineEdit;
                box->installEventFilter(this);
                if (b.kind == Kind::LeadingNumber) box->setMaxLength(20);
                w = box;
            }
            w->setObjectName(b.control);
            controls_[b.control] = w;
        }
    });
}

COptionPage::~COptionPage() {
    Guarded(Procedure("Form_Unload"), [this] { wiz_ = nullptr; });
}

std::string COptionPage::Procedure(const std::string& name) const { return std::string(def_.form) + ":" + name; }

QWidget* COptionPage::Control(const char* name) const {
    auto it = controls_.find(name);
    return it == controls_.end() ? nullptr : it->second;
}

const Binding* COptionPage::BindingOf(QObject* control) const {
    for (const Binding& b : def_.bindings)
        if (Control(b.control) == control) return &b;
    return nullptr;
}

QLabel* COptionPage::Label(const char* name, const QString& text, QWidget* buddy) {
    auto* label = new QLabel(text);
    label->setObjectName(name);
    if (buddy) label->setBuddy(buddy);
    return label;
}

QGroupBox* COptionPage::Frame(const char* name, const QString& title) {
    auto* frame = new QGroupBox(title);
    frame->setObjectName(name);
    return frame;
}

void COptionPage::Arrange(QLayout* content) {
    auto* nav = new QHBoxLayout;
    AddNavButton(nav, 0, def_.helpCaption);
    nav->addStretch();
    AddNavButton(nav, 1, "< &Back");
    AddNavButton(nav, 2, "&Next >");
    AddNavButton(nav, 4, def_.cancelCaption);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(content);
    layout->addStretch();
    layout->addLayout(nav);

    // The tab order follows the bindings, then Back, Next, Cancel and Help.
    QWidget* previous = nullptr;
    auto chain = [&](QWidget* w) {
        if (!w) return;
        if (previous) setTabOrder(previous, w);
        previous = w;
    };
    for (const Binding& b : def_.bindings) chain(Control(b.control));
    for (const char* nav_ : {"cmdNav_1", "cmdNav_2", "cmdNav_4", "cmdNav_0"}) chain(findChild<QWidget*>(nav_));

    // 9360 by 5310 twips, or what the content needs.
    const QSize wanted = layout->sizeHint().expandedTo(QSize(624, 354));
    setFixedSize(wanted);
}

void COptionPage::Wiz(CZantelsPropWiz* wiz) {
    Guarded(Procedure("Set Wiz"), [&] {
        if (wiz_ || !wiz) return;
        wiz_ = wiz;
        SetControlValues();
    });
}

void COptionPage::ShowModal() {
    leaving_ = false;
    CWizardPage::ShowModal();
}

void COptionPage::SetControlValues() {
    Guarded(Procedure("SetControlValues"), [this] {
        Loading(true);
        valid_ = true;
        for (const Binding& b : def_.bindings) {
            QWidget* w = Control(b.control);
            if (b.kind == Kind::Check) {
                static_cast<QCheckBox*>(w)->setChecked(wiz_->GetProperty(b.property).ToBool());
            } else if (b.kind == Kind::Option || b.kind == Kind::OptionElse) {
                const std::string stored = PropertyText(*wiz_, b.property);
                bool select = stored == b.literal;
                if (b.kind == Kind::OptionElse && !select) {
                    select = true;
                    for (const Binding& other : def_.bindings)
                        if (&other != &b && other.literal && std::string_view(other.property) == b.property &&
                            stored == other.literal)
                            select = false;
                }
                if (select) static_cast<QRadioButton*>(w)->setChecked(true);
            } else {
                static_cast<QLineEdit*>(w)->setText(QString::fromStdString(StoredText(wiz_->GetProperty(b.property))));
            }
        }
        Loading(false);
        RunEnabling(nullptr);
    });
}

void COptionPage::RunEnabling(const char* property) {
    for (const Enabling& rule : def_.enabling) {
        if (property && std::string_view(rule.property) != property) continue;
        Guarded(Procedure(rule.routine), [&] {
            const bool on = OneOf(PropertyText(*wiz_, rule.property), rule.values);
            for (const char* name : rule.controls) {
                if (!name) break;
                if (QWidget* w = findChild<QWidget*>(name)) w->setEnabled(on);
            }
        });
    }
}

void COptionPage::Clicked(const Binding& b, QAbstractButton* button) {
    Guarded(Procedure(b.handler ? b.handler : std::string(b.control) + "_Click"), [&] {
        if (Loading() || !wiz_) return;
        if (b.kind == Kind::Check) {
            wiz_->SetProperty(b.property, vb::Variant(button->isChecked()));
        } else {
            if (!button->isChecked()) return;
            wiz_->SetProperty(b.property, vb::Variant(std::string(b.literal)));
        }
        wiz_->Changed(true);
        RunEnabling(b.property);
    });
}

bool COptionPage::eventFilter(QObject* watched, QEvent* event) {
    auto* box = qobject_cast<QLineEdit*>(watched);
    const Binding* b = box ? BindingOf(box) : nullptr;
    if (!b) return CWizardPage::eventFilter(watched, event);
    const bool entering = FocusEntersBox(box, event);
    switch (event->type()) {
        case QEvent::FocusIn:
            if (entering) QTimer::singleShot(0, box, [box] { SelectAllText(box); });
            break;
        case QEvent::KeyPress: {
            auto* key = static_cast<QKeyEvent*>(event);
            const QString text = key->text();
            const bool typed = text.size() == 1 && !(key->modifiers() & (Qt::ControlModifier | Qt::AltModifier)) &&
                               text[0].unicode() >= 0x20;
            if (typed) {
                int code = text[0].unicode() < 128 ? text[0].unicode() : 0;
                NumericKeyFilter(code);
                if (code == 0) return true;
            }
            break;
        }
        case QEvent::FocusOut: {
            // Leaving for the Cancel button, for another window (a message
            // box) or because the page closes judges nothing.
            const auto reason = static_cast<QFocusEvent*>(event)->reason();
            if (leaving_ || !isVisible() || reason == Qt::ActiveWindowFocusReason || reason == Qt::PopupFocusReason)
                break;
            if (QApplication::focusWidget() == findChild<QWidget*>("cmdNav_4")) break;
            BoxLeft(*b, box, true);
            break;
        }
        default:
            break;
    }
    return CWizardPage::eventFilter(watched, event);
}

bool COptionPage::BoxLeft(const Binding& b, QLineEdit* box, bool deferMessage) {
    bool passed = true;
    Guarded(Procedure(std::string(b.control) + "_LostFocus"), [&] {
        if (!wiz_) return;
        if (IsValidated(b.kind)) valid_ = true;
        const std::string text = box->text().toStdString();
        if (text == StoredText(wiz_->GetProperty(b.property))) return;
        const Judgement j = Judge(b.kind, text, wiz_->FreqN() || wiz_->FreqP());
        if (!j.ok) {
            passed = false;
            valid_ = false;
            const std::string message = j.message;
            if (!deferMessage) {
                ui::MsgBox(message, ui::vbOKOnly, program::kAppTitle);
                box->setFocus(Qt::OtherFocusReason);
                return;
            }
            // The focus is on its way elsewhere: tell the user and bring it
            // back once it has arrived.
            messagePending_ = true;
            QTimer::singleShot(0, this, [this, box, message] {
                messagePending_ = false;
                if (!isVisible() || leaving_) return;
                ui::MsgBox(message, ui::vbOKOnly, program::kAppTitle);
                if (box->isEnabled()) box->setFocus(Qt::OtherFocusReason);
            });
            return;
        }
        if (!j.store) return;
        wiz_->SetProperty(b.property, j.value);
        if (j.rewrite) box->setText(QString::fromStdString(j.text));
        wiz_->Changed(true);
    });
    return passed;
}

bool COptionPage::BoxesValid() {
    for (const Binding& b : def_.bindings) {
        if (!IsBox(b.kind)) continue;
        auto* box = static_cast<QLineEdit*>(Control(b.control));
        if (!box->isEnabled()) continue;
        if (!BoxLeft(b, box, false)) return false;
    }
    return true;
}

bool COptionPage::CheckValues() {
    bool passed = true;
    Guarded(Procedure("CheckValues"), [&] {
        const std::string message = nextCheck_ ? nextCheck_(*wiz_, this) : std::string();
        if (!message.empty()) ui::MsgBox(message, ui::vbOKOnly, program::kAppTitle);
        passed = message.empty();
    });
    return passed;
}

void COptionPage::NavClicked(int index) {
    Guarded(Procedure("cmdNav_Click"), [&] {
        if (!wiz_) return;
        switch (index) {
            case 0:
                ShowPageHelp();
                return;
            case 1:
            case 2:
                // The click that left a refused box waits for its message.
                if (messagePending_) return;
                if (!BoxesValid()) return;
                if (index == 2 && !CheckValues()) return;
                NavResult(index);
                leaving_ = true;
                hide();
                return;
            case 4:
                NavResult(wizard::kCancel);
                leaving_ = true;
                hide();
                return;
            default:
                return;
        }
    });
}
