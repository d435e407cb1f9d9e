#include "wizard/frmQuarn_Create.h"

#include <QBoxLayout>
#include <QButtonGroup>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QRadioButton>

#include "services/ErrorBoundary.h"
#include "services/HelpTopics.h"
#include "wizard/CZantelsPropWiz.h"

namespace {

struct AnalysisButton {
    int index;
    const char* caption;
    const char* family;
    const char* name;
};

constexpr AnalysisButton kButtons[] = {
    {1, "&Describe", "P", "Describe"},
    {2, "&Frequency", "P", "Frequency"},
    {3, "&Percentiles", "P", "Percentiles"},
    {4, "Compar&e", "P", "Compare"},
    {5, "&Matrix", "P", "Matrix"},
    {6, "&Regression", "P", "Regression"},
    {7, "&Crosstab", "P", "Crosstab"},
    {20, "&Two Sample t-Test", "G", "Two Sample t-Test"},
    {21, "&ANOVA", "G", "ANOVA"},
    {22, "Two &way ANOVA", "G", "Two way ANOVA"},
    {30, "Chi S&quare", "N", "Chi-Square"},
    {31, "Si&gn Test", "N", "Sign Test"},
    {32, "&K-S Fit", "N", "K-S Fit"},
    {33, "&2 Sample", "N", "2 Sample"},
    {34, "N &Sample", "N", "N Sample"},
    {35, "Pa&ired Fields", "N", "Paired Fields"},
    {36, "N Fie&lds", "N", "N Fields"},
};

// The family headings and the first button each stands beside.
struct Heading {
    int index;
    const char* caption;
    int firstButton;
};
constexpr Heading kHeadings[] = {{0, "Parametric", 1}, {1, "Group", 20}, {2, "Non-Parametric", 30}};

const AnalysisButton* ButtonOf(int index) {
    for (const AnalysisButton& b : kButtons)
        if (b.index == index) return &b;
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
        int row = 0;
        for (const AnalysisButton& b : kButtons) {
            for (const Heading& h : kHeadings) {
                if (h.firstButton != b.index) continue;
                if (row > 0) grid->setRowMinimumHeight(row++, 8);
                auto* label = new QLabel(h.caption);
                label->setObjectName(QString("lblTypes_%1").arg(h.index));
                grid->addWidget(label, row, 0, Qt::AlignLeft | Qt::AlignVCenter);
            }
            auto* button = new QRadioButton(b.caption);
            button->setObjectName(QString("optType_%1").arg(b.index));
            optType_->addButton(button, b.index);
            grid->addWidget(button, row++, 1);
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
        // 6675 by 6150 twips.
        setFixedSize(445, 410);
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
        const AnalysisButton* match = nullptr;
        for (const AnalysisButton& b : kButtons)
            if (wiz_->CalcType() == b.name) match = &b;
        if (match) {
            optType_->button(match->index)->setChecked(true);
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
        const AnalysisButton* b = ButtonOf(index);
        if (!b) return;
        wiz_->CalcType(b->name);
        wiz_->Scenario_Type(b->family);
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
