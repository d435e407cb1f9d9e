#include "wizard/frmQuarn_Create.h"

#include <QBoxLayout>
#include <QButtonGroup>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QRadioButton>

#include "services/ErrorBoundary.h"
#include "services/HelpTopics.h"
#include "wizard/AnalysisCatalog.h"
#include "wizard/CZantelsPropWiz.h"

namespace {

// The family headings: the family letter, the caption and the number of the
// family's first button; the others follow it in the order of the analysis list.
struct Heading {
    int index;
    const char* caption;
    std::string_view family;
    int firstButton;
};
constexpr Heading kHeadings[] = {{0, "Parametric", "P", 1}, {1, "Group", "G", 20}, {2, "Non-Parametric", "N", 30}};
// Each family's buttons end below the next family's first number.
static_assert(
    [] {
        for (size_t h = 0; h + 1 < std::size(kHeadings); ++h) {
            int buttons = 0;
            for (const store::AnalysisDef& a : store::kAnalysisList) buttons += a.family == kHeadings[h].family ? 1 : 0;
            if (kHeadings[h].firstButton + buttons > kHeadings[h + 1].firstButton) return false;
        }
        return true;
    }(),
    "a family has more analyses than its button numbers hold (from 1, 20 and 30): the group family holds ten");

// The number of an analysis's button (optType_<number>); 0 for a family without a heading.
int ButtonOf(const store::AnalysisDef& analysis) {
    int place = 0;
    for (const store::AnalysisDef& a : store::kAnalysisList) {
        if (&a == &analysis) break;
        if (a.family == analysis.family) ++place;
    }
    for (const Heading& h : kHeadings)
        if (h.family == analysis.family) return h.firstButton + place;
    return 0;
}

// The analysis of a button number; null for a number that is none.
const store::AnalysisDef* AnalysisOfButton(int index) {
    for (const store::AnalysisDef& a : store::kAnalysisList)
        if (ButtonOf(a) == index) return &a;
    return nullptr;
}

}  // namespace

frmQuarn_Create::frmQuarn_Create(QWidget* parent) : CWizardPage(parent) {
    Guarded("frmQuarn_Create:Form_Load", [this] {
        setObjectName("frmQuarn_Create");
        setWindowTitle("Zelk Statistics -- Select Analysis Type");
        setProperty("HelpContextID", help::kWizardAnalysis);

        auto* fraType = new QGroupBox("Analysis Type");
        fraType->setObjectName("fraType");
        auto* grid = new QGridLayout(fraType);
        grid->setColumnMinimumWidth(0, 120);
        grid->setColumnStretch(1, 1);
        grid->setVerticalSpacing(2);
        optType_ = new QButtonGroup(this);
        optType_->setExclusive(true);
        // Family by family, whatever the order of the families in the list.
        int row = 0;
        for (const Heading& h : kHeadings) {
            if (row > 0) grid->setRowMinimumHeight(row++, 8);
            auto* label = new QLabel(h.caption);
            label->setObjectName(QString("lblTypes_%1").arg(h.index));
            grid->addWidget(label, row, 0, Qt::AlignLeft | Qt::AlignVCenter);
            for (const store::AnalysisDef& a : store::kAnalysisList) {
                if (a.family != h.family) continue;
                const int index = ButtonOf(a);
                auto* button = new QRadioButton(catalog::Entry(a.id).caption);
                button->setObjectName(QString("optType_%1").arg(index));
                optType_->addButton(button, index);
                grid->addWidget(button, row++, 1);
            }
        }
        connect(optType_, &QButtonGroup::idToggled, this, [this](int id, bool checked) {
            if (checked) optType_Click(id);
        });

        auto* nav = new QHBoxLayout;
        AddNavButton(nav, 0, "Help");
        nav->addStretch();
        AddNavButton(nav, 1, "< &Back");
        AddNavButton(nav, 2, "&Next >");

        auto* layout = new QVBoxLayout(this);
        layout->addWidget(fraType);
        layout->addStretch();
        layout->addLayout(nav);
        // 6675 by 6150 twips, or taller when the buttons need it: every
        // button at its own height, however many analyses the list holds.
        setFixedSize(layout->sizeHint().expandedTo(QSize(445, 410)));
    });
}

frmQuarn_Create::~frmQuarn_Create() {
    Guarded("frmQuarn_Create:Form_Unload", [this] { wiz_ = nullptr; });
}

void frmQuarn_Create::Wiz(CZantelsPropWiz* wiz) {
    Guarded("frmQuarn_Create:Set Wiz", [&] {
        if (!wiz_) wiz_ = wiz;
        if (!wiz_) return;
        Loading(true);
        if (const store::AnalysisDef* match = store::ExactAnalysis(wiz_->CalcType())) {
            optType_->button(ButtonOf(*match))->setChecked(true);
        } else {
            // No analysis of that name: Describe is chosen, and written.
            optType_->button(1)->setChecked(true);
            Loading(false);
            optType_Click(1);
        }
        Loading(false);
    });
}

void frmQuarn_Create::NavResult(long value) {
    if (value == wizard::kBack || value == wizard::kNext) navResult_ = value;
}

void frmQuarn_Create::optType_Click(int index) {
    Guarded("frmQuarn_Create:optType_Click", [&] {
        if (Loading() || !wiz_) return;
        const store::AnalysisDef* a = AnalysisOfButton(index);
        if (!a) return;
        wiz_->CalcType(std::string(a->subType));
        wiz_->Scenario_Type(std::string(a->family));
    });
}

void frmQuarn_Create::NavClicked(int index) {
    Guarded("frmQuarn_Create:cmdNav_Click", [&] {
        switch (index) {
            case 0:
                ShowPageHelp();
                break;
            case 1:
            case 2:
                NavResult(index);
                hide();
                break;
            default:
                break;
        }
    });
}
