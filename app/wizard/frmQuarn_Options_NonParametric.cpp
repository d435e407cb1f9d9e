// The option pages of the group analyses and of the non-parametric tests.
// Each page's class is known only here; the analysis catalogue makes it
// through the page's factory in the namespace optionpages.
#include <QBoxLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>

#include "services/ErrorBoundary.h"
#include "wizard/CZantelsPropWiz.h"
#include "wizard/COptionPage.h"

using namespace optionpage;

namespace {

// A frame holding the page's controls one under another, above a stretch.
QVBoxLayout* Framed(QGroupBox* frame, std::initializer_list<QWidget*> widgets) {
    auto* column = new QVBoxLayout(frame);
    for (QWidget* w : widgets) column->addWidget(w);
    auto* content = new QVBoxLayout;
    content->addWidget(frame);
    return content;
}

QLabel* Wrapped(QLabel* label) {
    label->setWordWrap(true);
    return label;
}

constexpr const char* kHelp = "Help";
constexpr const char* kCancel = "Cancel";

}  // namespace

// --- Group analyses -------------------------------------------------------------------------------

namespace {

constexpr Binding kGroup[] = {
    {"chkGroupIgnoreBlanks", "&Ignore records with blank value in\ncomparison field", "GroupIgnoreBlanks", Kind::Check},
    {"chkGroupDetail", "Create &Detail table", "GroupDetail", Kind::Check},
};

constexpr Definition kGroupDef{"frmQuarn_Options_Group", "Zelk Statistics Group Options", kGroup, {}, kHelp, kCancel};

class frmQuarn_Options_Group : public COptionPage {
public:
    explicit frmQuarn_Options_Group(QWidget* parent);
};

}  // namespace

frmQuarn_Options_Group::frmQuarn_Options_Group(QWidget* parent) : COptionPage(kGroupDef, parent) {
    Guarded("frmQuarn_Options_Group:Form_Load", [this] {
        Arrange(Framed(Frame("fraGroup", "Group Analysis Options"),
                       {Control("chkGroupIgnoreBlanks"), Control("chkGroupDetail")}));
    });
}

namespace optionpages {
COptionPage* Group(QWidget* owner) { return new frmQuarn_Options_Group(owner); }
}  // namespace optionpages

// --- Chi-square -----------------------------------------------------------------------------------

namespace {

constexpr Binding kChiSquare[] = {
    {"chkChiAll", "", "ChiAll", Kind::Check},
    {"chkChiIgnoreBlanks", "", "ChiIgnoreBlanks", Kind::Check},
    {"chkChiDetail", "", "ChiDetail", Kind::Check},
};

constexpr Definition kChiSquareDef{
    "frmQuarn_Options_NP_ChiSquare", "Zelk Statistics Chi Square Options", kChiSquare, {}, kHelp, kCancel};

class frmQuarn_Options_NP_ChiSquare : public COptionPage {
public:
    explicit frmQuarn_Options_NP_ChiSquare(QWidget* parent);
};

}  // namespace

frmQuarn_Options_NP_ChiSquare::frmQuarn_Options_NP_ChiSquare(QWidget* parent) : COptionPage(kChiSquareDef, parent) {
    Guarded("frmQuarn_Options_NP_ChiSquare:Form_Load", [this] {
        auto* frame = Frame("fraChiOptions", "Chi-Square Options");
        auto* grid = new QGridLayout(frame);
        grid->setHorizontalSpacing(6);
        auto column = [&](int col, const char* check, std::initializer_list<QLabel*> labels) {
            grid->addWidget(Control(check), 0, col, Qt::AlignTop);
            auto* texts = new QVBoxLayout;
            for (QLabel* l : labels) texts->addWidget(Wrapped(l));
            texts->addStretch();
            grid->addLayout(texts, 0, col + 1);
        };
        column(0, "chkChiAll",
               {Label("Label1", "&If group fields are specified, use the same comparison values for each group",
                      Control("chkChiAll")),
                Label("Label2",
                      "(expected value for each comparison field value is calculated for all groups including those "
                      "without records for some comparison values)"),
                Label("Label3", "Without this option, calculations are only based on comparison values in each "
                                "group.")});
        auto* right = new QGridLayout;
        right->addWidget(Control("chkChiIgnoreBlanks"), 0, 0, Qt::AlignTop);
        right->addWidget(Wrapped(Label("Label4", "I&gnore records with a blank (null) value in the comparison field",
                                       Control("chkChiIgnoreBlanks"))),
                         0, 1);
        right->setRowMinimumHeight(1, 12);
        right->addWidget(Control("chkChiDetail"), 2, 0, Qt::AlignTop);
        auto* detail = new QVBoxLayout;
        detail->addWidget(Label("Label5", "Create Detail Table", Control("chkChiDetail")));
        detail->addWidget(Wrapped(
            Label("Label6", "Shows the count and percent of total for every unique value in each Compare field")));
        right->addLayout(detail, 2, 1);
        right->setRowStretch(3, 1);
        right->setColumnStretch(1, 1);
        grid->addLayout(right, 0, 2);
        grid->setColumnStretch(1, 1);
        grid->setColumnStretch(2, 1);
        grid->setColumnMinimumWidth(1, 260);
        auto* content = new QVBoxLayout;
        content->addWidget(frame);
        Arrange(content);
    });
}

namespace optionpages {
COptionPage* ChiSquare(QWidget* owner) { return new frmQuarn_Options_NP_ChiSquare(owner); }
}  // namespace optionpages

// --- Sign test ------------------------------------------------------------------------------------

namespace {

constexpr Binding kSignTest[] = {
    {"chkSignMean", "Mean", "SignMean", Kind::Check},
    {"chkSignMedian", "Median", "SignMedian", Kind::Check},
    {"chkSignCustom", "&Custom", "SignCustom", Kind::Check},
    {"txtSignValue", nullptr, "SignValue", Kind::LeadingNumber},
};

constexpr Enabling kSignTestEnabling[] = {
    {"SetSignValueEnabled", "SignCustom", "True", {"txtSignValue"}},
};

constexpr Definition kSignTestDef{"frmQuarn_Options_NP_SignTest",
                                  "Zelk Statistics One-Sample Sign Test Options",
                                  kSignTest,
                                  kSignTestEnabling,
                                  kHelp,
                                  kCancel};

class frmQuarn_Options_NP_SignTest : public COptionPage {
public:
    explicit frmQuarn_Options_NP_SignTest(QWidget* parent);
};

}  // namespace

frmQuarn_Options_NP_SignTest::frmQuarn_Options_NP_SignTest(QWidget* parent) : COptionPage(kSignTestDef, parent) {
    Guarded("frmQuarn_Options_NP_SignTest:Form_Load", [this] {
        auto* frame = Frame("fraSignTest", "Select Test (Cut-Off) Values");
        auto* grid = new QGridLayout(frame);
        grid->addWidget(Control("chkSignMean"), 0, 0);
        grid->addWidget(Control("chkSignMedian"), 1, 0);
        grid->addWidget(Control("chkSignCustom"), 2, 0);
        static_cast<QLineEdit*>(Control("txtSignValue"))->setFixedWidth(120);
        grid->addWidget(Control("txtSignValue"), 2, 1);
        grid->setColumnStretch(2, 1);
        auto* content = new QHBoxLayout;
        content->addWidget(frame);
        content->addStretch();
        Arrange(content);
    });
}

namespace optionpages {
COptionPage* SignTest(QWidget* owner) { return new frmQuarn_Options_NP_SignTest(owner); }
}  // namespace optionpages

// --- Goodness of fit ------------------------------------------------------------------------------

namespace {

constexpr Binding kKSFit[] = {
    {"chkFitUniform", "&Uniform", "FitUniform", Kind::Check},
    {"chkFitNormal", "N&ormal", "FitNormal", Kind::Check},
    {"chkFitPoisson", "&Poisson", "FitPoisson", Kind::Check},
};

constexpr Definition kKSFitDef{"frmQuarn_Options_NP_KSFit",
                               "Zelk Statistics Kolmogorov-Smirnov Goodness of Fit Options",
                               kKSFit,
                               {},
                               kHelp,
                               kCancel};

class frmQuarn_Options_NP_KSFit : public COptionPage {
public:
    explicit frmQuarn_Options_NP_KSFit(QWidget* parent);
};

}  // namespace

frmQuarn_Options_NP_KSFit::frmQuarn_Options_NP_KSFit(QWidget* parent) : COptionPage(kKSFitDef, parent) {
    Guarded("frmQuarn_Options_NP_KSFit:Form_Load", [this] {
        auto* Label1 = Label("Label1", "Requires non-negative integers. (time consuming for large values)");
        Label1->setContentsMargins(20, 0, 0, 0);
        Arrange(Framed(Frame("fraKSFit", "Distributions to Test"),
                       {Control("chkFitUniform"), Control("chkFitNormal"), Control("chkFitPoisson"), Label1}));
    });
}

namespace optionpages {
COptionPage* KSFit(QWidget* owner) { return new frmQuarn_Options_NP_KSFit(owner); }
}  // namespace optionpages

// --- Two samples ----------------------------------------------------------------------------------

namespace {

constexpr Binding kTwoSample[] = {
    {"optNPTwoTypeMann", "&Mann-Whitney U Test and Kolmogorov-Smirnov 2-Sample Test", "NPTwoType", Kind::Option,
     "Mann"},
    {"optNPTwoTypeWald", "&Wald-Wolfowitz Runs Test", "NPTwoType", Kind::Option, "Wald"},
};

constexpr Definition kTwoSampleDef{
    "frmQuarn_Options_NP_TwoSample", "Zelk Statistics Two-Samples Test Options", kTwoSample, {}, kHelp, kCancel};

class frmQuarn_Options_NP_TwoSample : public COptionPage {
public:
    explicit frmQuarn_Options_NP_TwoSample(QWidget* parent);
};

}  // namespace

frmQuarn_Options_NP_TwoSample::frmQuarn_Options_NP_TwoSample(QWidget* parent) : COptionPage(kTwoSampleDef, parent) {
    Guarded("frmQuarn_Options_NP_TwoSample:Form_Load", [this] {
        Arrange(Framed(Frame("fraTwoSampleType", "Two-Sample Type"),
                       {Control("optNPTwoTypeMann"), Control("optNPTwoTypeWald")}));
    });
}

namespace optionpages {
COptionPage* TwoSample(QWidget* owner) { return new frmQuarn_Options_NP_TwoSample(owner); }
}  // namespace optionpages

// --- N samples ------------------------------------------------------------------------------------

namespace {

constexpr Binding kNSample[] = {
    {"chkNPKruskalDetail", "Create &Detail table", "NPKruskalDetail", Kind::Check},
};

constexpr Definition kNSampleDef{"frmQuarn_Options_NP_NSample",
                                 "Zelk Statistics N Sample Kruskal-Wallis Test Options",
                                 kNSample,
                                 {},
                                 kHelp,
                                 kCancel};

class frmQuarn_Options_NP_NSample : public COptionPage {
public:
    explicit frmQuarn_Options_NP_NSample(QWidget* parent);
};

}  // namespace

frmQuarn_Options_NP_NSample::frmQuarn_Options_NP_NSample(QWidget* parent) : COptionPage(kNSampleDef, parent) {
    Guarded("frmQuarn_Options_NP_NSample:Form_Load", [this] {
        Arrange(Framed(Frame("fraGroup", "N Sample Options"),
                       {Control("chkNPKruskalDetail"),
                        Wrapped(Label("Label1", "A Kruskal-Wallis table is always created. The detail table shows "
                                                "summary calculations for each group."))}));
    });
}

namespace optionpages {
COptionPage* NSample(QWidget* owner) { return new frmQuarn_Options_NP_NSample(owner); }
}  // namespace optionpages

// --- Paired fields --------------------------------------------------------------------------------

namespace {

constexpr Binding kPairedFields[] = {
    {"chknPPair_Sign", "&Paired Sign Test", "NPPair_Sign", Kind::Check},
    {"chkNPPair_Wilcoxon", "&Wilcoxon Signed Rank Test", "NPPair_Wilcoxon", Kind::Check},
    {"chkNPPair_Spearman", "&Spearman's Rank Correlation", "NPPair_Spearman", Kind::Check},
};

constexpr Definition kPairedFieldsDef{
    "frmQuarn_Options_NP_PairedFields", "Zelk Statistics Paired Fields Options", kPairedFields, {}, kHelp, kCancel};

class frmQuarn_Options_NP_PairedFields : public COptionPage {
public:
    explicit frmQuarn_Options_NP_PairedFields(QWidget* parent);
};

}  // namespace

frmQuarn_Options_NP_PairedFields::frmQuarn_Options_NP_PairedFields(QWidget* parent)
    : COptionPage(kPairedFieldsDef, parent) {
    Guarded("frmQuarn_Options_NP_PairedFields:Form_Load", [this] {
        Arrange(Framed(Frame("fraPairedFieldOptions", "Paired Field Options"),
                       {Control("chknPPair_Sign"), Control("chkNPPair_Wilcoxon"), Control("chkNPPair_Spearman")}));
    });
}

namespace optionpages {
COptionPage* PairedFields(QWidget* owner) { return new frmQuarn_Options_NP_PairedFields(owner); }
}  // namespace optionpages

// --- N fields -------------------------------------------------------------------------------------

namespace {

constexpr Binding kNFields[] = {
    {"chkNPFriedmanDetail", "Create &Detail table", "NPFriedmanDetail", Kind::Check},
};

constexpr Definition kNFieldsDef{"frmQuarn_Options_NP_NFields",
                                 "Zelk Statistics N Fields Friedman Two-Way ANOVA Options",
                                 kNFields,
                                 {},
                                 kHelp,
                                 kCancel};

class frmQuarn_Options_NP_NFields : public COptionPage {
public:
    explicit frmQuarn_Options_NP_NFields(QWidget* parent);
};

}  // namespace

frmQuarn_Options_NP_NFields::frmQuarn_Options_NP_NFields(QWidget* parent) : COptionPage(kNFieldsDef, parent) {
    Guarded("frmQuarn_Options_NP_NFields:Form_Load", [this] {
        Arrange(Framed(Frame("fraGroup", "Options"),
                       {Control("chkNPFriedmanDetail"),
                        Wrapped(Label("Label1", "A Friedman table is always created. The detail table shows summary "
                                                "calculations for each group."))}));
    });
}

namespace optionpages {
COptionPage* NFields(QWidget* owner) { return new frmQuarn_Options_NP_NFields(owner); }
}  // namespace optionpages
