// The option pages of the parametric analyses: Describe, Frequency,
// Percentiles, Compare, Matrix, Regression and Crosstab. Each page's class is
// known only here; the analysis catalogue makes it through the page's
// factory in the namespace optionpages.
#include <QAbstractButton>
#include <QBoxLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>

#include "services/ErrorBoundary.h"
#include "wizard/COptionPage.h"

using namespace optionpage;

namespace {

// A row of widgets and stretch (a null pointer).
QHBoxLayout* Row(std::initializer_list<QWidget*> widgets) {
    auto* row = new QHBoxLayout;
    for (QWidget* w : widgets) {
        if (w)
            row->addWidget(w);
        else
            row->addStretch();
    }
    return row;
}

// The gap between a label and the control beside it.
constexpr int kLabelGap = 6;

QLineEdit* NarrowBox(QWidget* box, int width = 60) {
    auto* edit = static_cast<QLineEdit*>(box);
    edit->setFixedWidth(width);
    return edit;
}

}  // namespace

// --- Describe -------------------------------------------------------------------------------------

namespace {

constexpr Binding kDescribe[] = {
    {"chkRange", "Minimum, Maximum, Range", "Range", Kind::Check},
    {"chkVarStd", "", "VarStd", Kind::Check},
    {"optMethodN1", "N-1", "VarNRadio", Kind::Option, "N-1"},
    {"optMethodN", "N", "VarNRadio", Kind::Option, "N"},
    {"chkSum", "Sum, Sum Squared", "Sum", Kind::Check, nullptr, "chkSum_CLick"},
    {"chkMean", "Means: Geometric, Harmonic, &RMS", "Mean", Kind::Check},
    {"chkSkew", "Skewness, &Kurtosis", "Skew", Kind::Check},
    {"chkMode", "Mode, Mode Count", "Mode", Kind::Check},
    {"chkCI", "Confidence Intervals", "CI", Kind::Check},
    {"chkCI95", "95%", "CI95", Kind::Check},
    {"txtCIUser", nullptr, "CIUser", Kind::Percent},
    {"optConfidenceTTest", "t-Test", "CITypeRadio", Kind::Option, "t-Test"},
    {"optConfidenceNormal", "Normal (requires std. dev.)", "CITypeRadio", Kind::Option, "Normal"},
    {"txtCIStdDev", nullptr, "CIStdDev", Kind::Positive},
    {"chkTTestMean", "t-test &vs. Mean", "TTestMean", Kind::Check},
    {"txtTTestValue", nullptr, "TTestValue", Kind::Number},
    {"chkPercentile", "Percentiles", "Percentile", Kind::Check},
    {"optPcntRadioMedian", "Median", "PercentileRadio", Kind::Option, "Median"},
    {"optPcntRadioQuartiles", "Quartiles", "PercentileRadio", Kind::Option, "Quartiles"},
    {"optPcntRadioDeciles", "Deciles", "PercentileRadio", Kind::Option, "Deciles"},
    {"optPcntRadioQuintiles", "Quintiles", "PercentileRadio", Kind::Option, "5"},
    {"chkFreqN", "Count of Occurrences", "FreqN", Kind::Check},
    {"chkFreqP", "Percent of Occurrences", "FreqP", Kind::Check},
    {"txtInterV", nullptr, "InterV", Kind::Intervals},
    {"optFreqIncRadioLower", "Lower", "FreqIncRadio", Kind::Option, "Lower"},
    {"optFreqIncRadioUppper", "Upper Limit", "FreqIncRadio", Kind::Option, "Upper", "optFreqIncRadioUpper_Click"},
    {"optFreqDispRadioCount", "Count", "FreqDispRadio", Kind::Option, "Count"},
    {"optFreqDispRadioCum", "Cumulative", "FreqDispRadio", Kind::Option, "Cumulative", "optFreqdispRadioCum_Click"},
    {"optFreqGroupRadioDefault", "Default", "FreqGroupRadio", Kind::Option, "Default"},
    {"optFreqGroupRadioSpec", "Specified", "FreqGroupRadio", Kind::Option, "Specified"},
    {"txtFreqInit", nullptr, "FreqInit", Kind::NumberOrNull},
    {"txtFreqWidth", nullptr, "FreqWidth", Kind::Positive},
};

constexpr Enabling kDescribeEnabling[] = {
    {"SetMethodOptionEnabled", "VarStd", "True", {"optMethodN1", "optMethodN"}},
    {"SetPercentileOptionEnabled",
     "Percentile",
     "True",
     {"optPcntRadioMedian", "optPcntRadioQuartiles", "optPcntRadioDeciles", "optPcntRadioQuintiles"}},
    {"SetStdDevEnabled", "CITypeRadio", "Normal", {"txtCIStdDev", "lblCIStdDev"}},
    {"SetFreqGroupSpecEnabled",
     "FreqGroupRadio",
     "Specified",
     {"txtFreqInit", "lblFreqInit", "txtFreqWidth", "lblFreqWidth"}},
};

constexpr Definition kDescribeDef{
    "frmQuarn_Options_Describe", "Zelk Statistics Describe Options", kDescribe, kDescribeEnabling, "&Help", "&Cancel"};

class frmQuarn_Options_Describe : public COptionPage {
public:
    explicit frmQuarn_Options_Describe(QWidget* parent);
};

}  // namespace

frmQuarn_Options_Describe::frmQuarn_Options_Describe(QWidget* parent) : COptionPage(kDescribeDef, parent) {
    Guarded("frmQuarn_Options_Describe:Form_Load", [this] {
        auto* stats = new QGridLayout;
        stats->setVerticalSpacing(3);
        int r = 0;
        stats->addWidget(Control("chkRange"), r++, 0, 1, 4);
        auto* Label2 = Label("Label2", "Var&iance, Coefficient of Variance, Standard Deviation, Standard Error",
                             Control("chkVarStd"));
        Label2->setWordWrap(true);
        Control("chkVarStd")->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
        // The caption-less box has no room of its own after it: the label
        // keeps a gap, its first line level with the box.
        auto* varStd = Row({Control("chkVarStd"), Label2});
        varStd->setSpacing(kLabelGap);
        varStd->setAlignment(Control("chkVarStd"), Qt::AlignTop);
        stats->addLayout(varStd, r++, 0, 1, 4);
        auto* fraMethod = new QWidget;
        fraMethod->setObjectName("fraMethod");
        auto* method = Row({Label("Label3", "Method:"), Control("optMethodN1"), Control("optMethodN"), nullptr});
        method->setContentsMargins(20, 0, 0, 0);
        fraMethod->setLayout(method);
        stats->addWidget(fraMethod, r++, 0, 1, 4);
        stats->addWidget(Control("chkSum"), r++, 0, 1, 4);
        stats->addWidget(Control("chkMean"), r++, 0, 1, 4);
        stats->addWidget(Control("chkSkew"), r++, 0, 1, 4);
        stats->addWidget(Control("chkMode"), r++, 0, 1, 4);

        auto* ci = new QGridLayout;
        ci->setVerticalSpacing(3);
        ci->setColumnMinimumWidth(0, 20);
        ci->addWidget(Control("chkCI"), 0, 0, 1, 2);
        auto* intervals =
            Row({Label("Label11", "Intervals"), Control("chkCI95"), Label("lblCIUser", "Other %", Control("txtCIUser")),
                 NarrowBox(Control("txtCIUser"), 40), nullptr});
        intervals->setSpacing(kLabelGap);
        intervals->insertSpacing(1, kLabelGap);
        intervals->insertSpacing(3, kLabelGap);
        ci->addLayout(intervals, 1, 1);
        ci->addWidget(Control("optConfidenceTTest"), 2, 1);
        ci->addLayout(Row({Control("optConfidenceNormal"), Label("lblCIStdDev", "Std. Dev.", Control("txtCIStdDev")),
                           NarrowBox(Control("txtCIStdDev")), nullptr}),
                      3, 1);
        stats->addLayout(ci, r++, 0, 1, 4);

        stats->addWidget(Control("chkTTestMean"), r++, 0, 1, 4);
        auto* ttest = Row({Label("lblTTestValue", "Mean to Test:", Control("txtTTestValue")),
                           NarrowBox(Control("txtTTestValue"), 80), nullptr});
        ttest->setContentsMargins(20, 0, 0, 0);
        ttest->setSpacing(kLabelGap);
        stats->addLayout(ttest, r++, 0, 1, 4);
        stats->addWidget(Control("chkPercentile"), r++, 0, 1, 4);
        auto* pcnt = Row({Control("optPcntRadioMedian"), Control("optPcntRadioQuartiles"),
                          Control("optPcntRadioDeciles"), Control("optPcntRadioQuintiles"), nullptr});
        pcnt->setContentsMargins(20, 0, 0, 0);
        stats->addLayout(pcnt, r++, 0, 1, 4);

        auto* Frame2 = Frame("Frame2", "Frequency Distribution");
        auto* freq = new QGridLayout(Frame2);
        freq->setVerticalSpacing(3);
        int f = 0;
        freq->addWidget(Control("chkFreqN"), f++, 0, 1, 3);
        freq->addWidget(Control("chkFreqP"), f++, 0, 1, 3);
        freq->addWidget(Label("lblNumIntervals", "Number of Intervals:", Control("txtInterV")), f, 0);
        freq->addWidget(NarrowBox(Control("txtInterV"), 40), f, 1);
        freq->addWidget(Label("lbl2to50", "(2 to 50)"), f++, 2);
        freq->addWidget(Label("lblIncEachInterval", "Include in each interval:"), f++, 0, 1, 3);
        freq->addLayout(Row({Control("optFreqIncRadioLower"), Control("optFreqIncRadioUppper"), nullptr}), f++, 0, 1,
                        3);
        freq->addWidget(Label("lblDisplayType", "Display Type:"), f++, 0, 1, 3);
        freq->addLayout(Row({Control("optFreqDispRadioCount"), Control("optFreqDispRadioCum"), nullptr}), f++, 0, 1, 3);
        auto* fraGroupings = new QWidget;
        fraGroupings->setObjectName("fraGroupings");
        auto* groupings = new QGridLayout(fraGroupings);
        groupings->setContentsMargins(0, 0, 0, 0);
        groupings->setVerticalSpacing(3);
        groupings->addWidget(Label("lblGroupings", "Groupings:"), 0, 0, 1, 3);
        groupings->addLayout(Row({Control("optFreqGroupRadioDefault"), Control("optFreqGroupRadioSpec"), nullptr}), 1,
                             0, 1, 3);
        groupings->addWidget(Label("lblFreqInit", "Initial Value:", Control("txtFreqInit")), 2, 0);
        groupings->addWidget(NarrowBox(Control("txtFreqInit"), 80), 2, 1);
        groupings->addWidget(Label("lblFreqWidth", "Width:", Control("txtFreqWidth")), 3, 0);
        groupings->addWidget(NarrowBox(Control("txtFreqWidth"), 80), 3, 1);
        groupings->setColumnStretch(2, 1);
        freq->addWidget(fraGroupings, f++, 0, 1, 3);
        freq->setRowStretch(f, 1);
        freq->setColumnStretch(2, 1);

        auto* content = new QHBoxLayout;
        content->addLayout(stats, 3);
        content->addWidget(Frame2, 2);
        Arrange(content);
    });
}

namespace optionpages {
COptionPage* Describe(QWidget* owner) { return new frmQuarn_Options_Describe(owner); }
}  // namespace optionpages

// --- Frequency ------------------------------------------------------------------------------------

namespace {

constexpr Binding kFrequency[] = {
    {"chkFreqSum", "Calculate sum of values", "FreqSum", Kind::Check},
    {"txtInterV", nullptr, "InterV", Kind::IntervalsRequired},
    {"optFreqIncRadioLower", "Lower", "FreqIncRadio", Kind::Option, "Lower"},
    {"optFreqIncRadioUppper", "Upper Limit", "FreqIncRadio", Kind::Option, "Upper", "optFreqIncRadioUpper_Click"},
    {"optFreqGroupRadioDefault", "Default", "FreqGroupRadio", Kind::Option, "Default"},
    // Any stored grouping but "Default" shows as specified.
    {"optFreqGroupRadioSpec", "Specified", "FreqGroupRadio", Kind::OptionElse,
     "Specified:", "optFreqGroupradioSpec_Click"},
    {"txtFreqInit", nullptr, "FreqInit", Kind::NumberOrNull},
    {"txtFreqWidth", nullptr, "FreqWidth", Kind::Positive},
};

constexpr Enabling kFrequencyEnabling[] = {
    {"SetFreqGroupSpecEnabled",
     "FreqGroupRadio",
     "!Default",
     {"txtFreqInit", "lblFreqInit", "txtFreqWidth", "lblFreqWidth"}},
};

constexpr Definition kFrequencyDef{"frmQuarn_Options_Frequency",
                                   "Zelk Statistics Frequency Options",
                                   kFrequency,
                                   kFrequencyEnabling,
                                   "&Help",
                                   "&Cancel"};

class frmQuarn_Options_Frequency : public COptionPage {
public:
    explicit frmQuarn_Options_Frequency(QWidget* parent);
};

}  // namespace

frmQuarn_Options_Frequency::frmQuarn_Options_Frequency(QWidget* parent) : COptionPage(kFrequencyDef, parent) {
    Guarded("frmQuarn_Options_Frequency:Form_Load", [this] {
        auto* fraFreqDist = Frame("fraFreqDist", "Frequency Distribution");
        auto* grid = new QGridLayout(fraFreqDist);
        grid->addWidget(Control("chkFreqSum"), 0, 0, 1, 4);
        grid->addWidget(Label("lblNumIntervals", "Number of Intervals:", Control("txtInterV")), 1, 0);
        grid->addWidget(NarrowBox(Control("txtInterV"), 40), 1, 1);
        grid->addWidget(Label("lbl2to50", "(2 to 50)"), 1, 2);
        grid->setColumnStretch(3, 1);

        auto* fraIncInterval = Frame("fraIncInterval", "Include in each interval:");
        auto* inc = new QVBoxLayout(fraIncInterval);
        inc->addWidget(Control("optFreqIncRadioLower"));
        inc->addWidget(Control("optFreqIncRadioUppper"));
        inc->addStretch();

        auto* fraGroupings = Frame("fraGroupings", "Groupings:");
        auto* groupings = new QGridLayout(fraGroupings);
        groupings->addWidget(Control("optFreqGroupRadioDefault"), 0, 0, 1, 2);
        groupings->addWidget(Control("optFreqGroupRadioSpec"), 1, 0, 1, 2);
        groupings->addWidget(Label("lblFreqInit", "Initial Value:", Control("txtFreqInit")), 2, 0);
        groupings->addWidget(NarrowBox(Control("txtFreqInit"), 90), 2, 1);
        groupings->addWidget(Label("lblFreqWidth", "Width:", Control("txtFreqWidth")), 3, 0);
        groupings->addWidget(NarrowBox(Control("txtFreqWidth"), 90), 3, 1);
        groupings->setColumnStretch(2, 1);

        auto* lower = new QHBoxLayout;
        lower->addWidget(fraIncInterval, 1);
        lower->addWidget(fraGroupings, 1);
        auto* content = new QVBoxLayout;
        content->addWidget(fraFreqDist);
        content->addLayout(lower);
        Arrange(content);
    });
}

namespace optionpages {
COptionPage* Frequency(QWidget* owner) { return new frmQuarn_Options_Frequency(owner); }
}  // namespace optionpages

// --- Percentiles ----------------------------------------------------------------------------------

namespace {

constexpr Binding kPercentile[] = {
    {"optPcntRadioMedian", "Median", "PercentileRadio", Kind::Option, "Median"},
    {"optPcntRadioQuartiles", "Quartiles", "PercentileRadio", Kind::Option, "Quartiles"},
    {"optPcntRadioQuintiles", "Quintiles", "PercentileRadio", Kind::Option, "5"},
    {"optPcntRadioDeciles", "Deciles", "PercentileRadio", Kind::Option, "Deciles"},
    {"optPcntRadioPercentiles", "Percentiles", "PercentileRadio", Kind::Option, "Percentiles"},
};

constexpr Definition kPercentileDef{
    "frmQuarn_Options_Percentile", "Zelk Statistics Percentile Options", kPercentile, {}, "Help", "Cancel"};

class frmQuarn_Options_Percentile : public COptionPage {
public:
    explicit frmQuarn_Options_Percentile(QWidget* parent);
};

}  // namespace

frmQuarn_Options_Percentile::frmQuarn_Options_Percentile(QWidget* parent) : COptionPage(kPercentileDef, parent) {
    Guarded("frmQuarn_Options_Percentile:Form_Load", [this] {
        auto* Frame8 = Frame("Frame8", "Percentile Options");
        auto* column = new QVBoxLayout(Frame8);
        for (const Binding& b : kPercentile) column->addWidget(Control(b.control));
        auto* content = new QHBoxLayout;
        content->addWidget(Frame8);
        content->addStretch();
        Arrange(content);
    });
}

namespace optionpages {
COptionPage* Percentile(QWidget* owner) { return new frmQuarn_Options_Percentile(owner); }
}  // namespace optionpages

// --- Compare --------------------------------------------------------------------------------------

namespace {

constexpr Binding kCompare[] = {
    {"chkCountXY", "C&ount Difference", "CountXY", Kind::Check},
    {"chkMeanXY", "&Mean Difference", "MeanXY", Kind::Check},
    {"chkCorrXY", "Co&rrelation", "CorrXY", Kind::Check},
    {"chktTest", "Paired &t-test", "TTest", Kind::Check, nullptr, "chkTest_Click"},
};

constexpr Definition kCompareDef{
    "frmQuarn_Options_Compare", "Zelk Statistics Compare Options", kCompare, {}, "Help", "&Cancel"};

class frmQuarn_Options_Compare : public COptionPage {
public:
    explicit frmQuarn_Options_Compare(QWidget* parent);
};

}  // namespace

frmQuarn_Options_Compare::frmQuarn_Options_Compare(QWidget* parent) : COptionPage(kCompareDef, parent) {
    Guarded("frmQuarn_Options_Compare:Form_Load", [this] {
        auto* frame = Frame("fraComparisonOptions", "Comparison Options");
        auto* grid = new QGridLayout(frame);
        grid->setHorizontalSpacing(16);
        grid->addWidget(Control("chkCountXY"), 0, 0);
        grid->addWidget(Label("Label1", "Count < Y, Count = Y, Count > Y"), 0, 1);
        grid->addWidget(Control("chkMeanXY"), 1, 0);
        grid->addWidget(Label("Label2", "Mean X, Mean Y, Mean X-Y, Standard Deviation X-Y"), 1, 1);
        grid->addWidget(Control("chkCorrXY"), 2, 0);
        grid->addWidget(Label("Label3", "Covariance, Correlation, R-Square"), 2, 1);
        grid->addWidget(Control("chktTest"), 3, 0);
        grid->addWidget(Label("Label4", "Degrees of Freedom, t-Value, Probability (1 and 2 tails)"), 3, 1);
        grid->setColumnStretch(1, 1);
        auto* content = new QVBoxLayout;
        content->addWidget(frame);
        Arrange(content);
    });
}

namespace optionpages {
COptionPage* Compare(QWidget* owner) { return new frmQuarn_Options_Compare(owner); }
}  // namespace optionpages

// --- Matrix ---------------------------------------------------------------------------------------

namespace {

constexpr Binding kMatrix[] = {
    {"chkMCnt", "C&ount", "MCnt", Kind::Check},
    {"chkMMis", "&Missing", "MMis", Kind::Check},
    {"chkMMean", "Mean &Difference", "MMean", Kind::Check},
    {"chkMDev", "&Std. Deviation Difference", "MDev", Kind::Check},
    {"chkMCov", "Co&variance", "MCov", Kind::Check},
    {"chkMCor", "Co&rrelation", "MCor", Kind::Check},
    {"chkMR2", "R-S&quare", "MR2", Kind::Check},
    {"chkMT", "Paired &t-Test (t Value)", "MT", Kind::Check},
    {"chkMProb", "Paired t-Test &Probability", "MProb", Kind::Check},
    {"optMProbTail1", "&1-tail", "MProbTail", Kind::Option, "1-tail"},
    {"optMProbTail2", "&2-tail", "MProbTail", Kind::Option, "2-tail"},
};

constexpr Enabling kMatrixEnabling[] = {
    {"SetTTestProbEnabled", "MProb", "True", {"optMProbTail1", "optMProbTail2"}},
};

constexpr Definition kMatrixDef{
    "frmQuarn_Options_Matrix", "Zelk Statistics Matrix Options", kMatrix, kMatrixEnabling, "Help", "Cancel"};

class frmQuarn_Options_Matrix : public COptionPage {
public:
    explicit frmQuarn_Options_Matrix(QWidget* parent);
};

}  // namespace

frmQuarn_Options_Matrix::frmQuarn_Options_Matrix(QWidget* parent) : COptionPage(kMatrixDef, parent) {
    Guarded("frmQuarn_Options_Matrix:Form_Load", [this] {
        auto* frame = Frame("fraComparisonOptions", "Comparison Options");
        auto* grid = new QGridLayout(frame);
        grid->setHorizontalSpacing(30);
        const char* left[] = {"chkMCnt", "chkMMis", "chkMMean", "chkMDev", "chkMCov"};
        const char* right[] = {"chkMCor", "chkMR2", "chkMT", "chkMProb"};
        for (int i = 0; i < 5; ++i) grid->addWidget(Control(left[i]), i, 0);
        for (int i = 0; i < 4; ++i) grid->addWidget(Control(right[i]), i, 1);
        auto* tails = Row({Control("optMProbTail1"), Control("optMProbTail2"), nullptr});
        tails->setContentsMargins(20, 0, 0, 0);
        grid->addLayout(tails, 4, 1);
        grid->setColumnStretch(2, 1);
        auto* content = new QVBoxLayout;
        content->addWidget(frame);
        Arrange(content);
    });
}

namespace optionpages {
COptionPage* Matrix(QWidget* owner) { return new frmQuarn_Options_Matrix(owner); }
}  // namespace optionpages

// --- Regression -----------------------------------------------------------------------------------

namespace {

constexpr Binding kRegress[] = {
    {"optRegressTypeSimple", "Simple", "RegressType", Kind::Option, "S"},
    {"optRegressTypeMultiple", "Multiple", "RegressType", Kind::Option, "M"},
    {"optRegressTypePoly", "Polynomial", "RegressType", Kind::Option, "P"},
    {"txtRPoly", nullptr, "RPoly", Kind::PolyOrder},
    {"chkRYInt", "Calculate &Y-Intercept", "RYInt", Kind::Check},
    {"chkRAnova", "Calculate Regression &ANOVA", "RAnova", Kind::Check},
    {"chkResidual", "Create &Residual Table", "Residual", Kind::Check},
};

constexpr Enabling kRegressEnabling[] = {
    {"SetPolyOptionEnabled", "RegressType", "P", {"lblRPoly", "txtRPoly", "lbl2to9"}},
};

constexpr Definition kRegressDef{
    "frmQuarn_Options_Regress", "Zelk Statistics Regression Options", kRegress, kRegressEnabling, "&Help", "&Cancel"};

class frmQuarn_Options_Regress : public COptionPage {
public:
    explicit frmQuarn_Options_Regress(QWidget* parent);
};

}  // namespace

frmQuarn_Options_Regress::frmQuarn_Options_Regress(QWidget* parent) : COptionPage(kRegressDef, parent) {
    Guarded("frmQuarn_Options_Regress:Form_Load", [this] {
        auto* fraType = Frame("fraType", "Regression Type");
        auto* type = new QGridLayout(fraType);
        type->addWidget(Control("optRegressTypeSimple"), 0, 0);
        type->addWidget(Label("Label1", "(y = Ax + C)"), 0, 1, 1, 3);
        type->addWidget(Control("optRegressTypeMultiple"), 1, 0);
        type->addWidget(Label("Label2", "(y = Ax + Bz + ... + C)"), 1, 1, 1, 3);
        type->addWidget(Control("optRegressTypePoly"), 2, 0);
        type->addWidget(Label("Label3", QString::fromUtf8("(y = Ax +Bx\u00b2 + ... + C)")), 2, 1, 1, 3);
        auto* order = Row({Label("lblRPoly", "Polynomial Order:", Control("txtRPoly")),
                           NarrowBox(Control("txtRPoly"), 40), Label("lbl2to9", "(2 to 9)"), nullptr});
        order->setContentsMargins(20, 0, 0, 0);
        type->addLayout(order, 3, 0, 1, 4);
        // Several X fields under Simple read like one fit of them all.
        auto* simpleNote = Label("lblSimpleNote", "Simple with several X fields: one fit and row per X field.");
        simpleNote->setWordWrap(true);
        type->addWidget(simpleNote, 4, 0, 1, 4);
        // It speaks of Simple only, so it shows only while Simple is chosen;
        // its room stays, so the page does not jump.
        QSizePolicy keepRoom = simpleNote->sizePolicy();
        keepRoom.setRetainSizeWhenHidden(true);
        simpleNote->setSizePolicy(keepRoom);
        if (auto* simple = qobject_cast<QAbstractButton*>(Control("optRegressTypeSimple"))) {
            simpleNote->setVisible(simple->isChecked());
            connect(simple, &QAbstractButton::toggled, simpleNote, &QWidget::setVisible);
        }
        type->setColumnStretch(3, 1);

        auto* fraCalcOptions = Frame("fraCalcOptions", "Calculation Options");
        auto* calc = new QVBoxLayout(fraCalcOptions);
        calc->setSpacing(3);
        calc->addWidget(Control("chkRYInt"));
        auto* Label5 = Label("Label5", "(Leave blank for zero-intercept)");
        Label5->setContentsMargins(20, 0, 0, 0);
        calc->addWidget(Label5);
        calc->addWidget(Control("chkRAnova"));
        calc->addWidget(Control("chkResidual"));
        calc->addStretch();

        auto* content = new QHBoxLayout;
        content->addWidget(fraType, 1);
        content->addWidget(fraCalcOptions, 1);
        Arrange(content);
    });
}

namespace optionpages {
COptionPage* Regress(QWidget* owner) { return new frmQuarn_Options_Regress(owner); }
}  // namespace optionpages

// --- Crosstab -------------------------------------------------------------------------------------

namespace {

constexpr Binding kCrosstab[] = {
    // Any other stored type shows as Count.
    {"optXTypeCount", "C&ount", "XType", Kind::OptionElse, "C"},
    {"optXTypeSum", "&Sum", "XType", Kind::Option, "S"},
    {"optXTypeAvg", "&Average", "XType", Kind::Option, "A"},
    {"optXTypeMin", "&Minimum", "XType", Kind::Option, "M"},
    {"optXTypeMax", "Ma&ximum", "XType", Kind::Option, "X"},
    {"optXTypeRange", "&Range", "XType", Kind::Option, "R"},
    {"optXTypeVar", "&Variance", "XType", Kind::Option, "V"},
    {"optXTypeCVar", "Coef. of Var&iance", "XType", Kind::Option, "F"},
    {"optXTypeStdDev", "Std. &Deviation", "XType", Kind::Option, "D"},
    {"optXTypeStdErr", "Std. &Error", "XType", Kind::Option, "E"},
    {"chkXRowPcnt", "% of Row", "XRowPCnt", Kind::Check},
    {"chkXColPcnt", "% of Column", "XColPcnt", Kind::Check},
    {"chkXTotPcnt", "% of Total", "XTotPcnt", Kind::Check},
    {"chkxExpectPcnt", "% of Expected", "XExpectPcnt", Kind::Check},
    {"chkxExpect", "Expected Value", "XExpect", Kind::Check},
    {"chkXChi", "Create Chi-S&quare Table", "XChi", Kind::Check},
};

// The chi-square outputs are offered for counts and sums only.
constexpr Enabling kCrosstabEnabling[] = {
    {"SetFraChiSquareOptionsEnabled", "XType", "S|C", {"fraChiOptions", "chkxExpectPcnt", "chkxExpect", "chkXChi"}},
};

constexpr Definition kCrosstabDef{
    "frmQuarn_Options_Crosstab", "Zelk Statistics Crosstab Options", kCrosstab, kCrosstabEnabling, "Help", "Cancel"};

class frmQuarn_Options_Crosstab : public COptionPage {
public:
    explicit frmQuarn_Options_Crosstab(QWidget* parent);
};

}  // namespace

frmQuarn_Options_Crosstab::frmQuarn_Options_Crosstab(QWidget* parent) : COptionPage(kCrosstabDef, parent) {
    Guarded("frmQuarn_Options_Crosstab:Form_Load", [this] {
        auto* fraType = Frame("fraType", "Cross-Tabulation Type");
        auto* type = new QGridLayout(fraType);
        const char* columns[3][4] = {{"optXTypeCount", "optXTypeSum", "optXTypeAvg", nullptr},
                                     {"optXTypeMin", "optXTypeMax", "optXTypeRange", nullptr},
                                     {"optXTypeVar", "optXTypeCVar", "optXTypeStdDev", "optXTypeStdErr"}};
        for (int c = 0; c < 3; ++c)
            for (int r = 0; r < 4; ++r)
                if (columns[c][r]) type->addWidget(Control(columns[c][r]), r, c);

        auto* fraPercentageOptions = Frame("fraPercentageOptions", "Percentage Options");
        auto* pcnt = new QVBoxLayout(fraPercentageOptions);
        for (const char* name : {"chkXRowPcnt", "chkXColPcnt", "chkXTotPcnt"}) pcnt->addWidget(Control(name));
        auto* fraChiOptions = Frame("fraChiOptions", "Chi Square Options");
        auto* chi = new QVBoxLayout(fraChiOptions);
        for (const char* name : {"chkxExpectPcnt", "chkxExpect", "chkXChi"}) chi->addWidget(Control(name));

        auto* lower = new QHBoxLayout;
        lower->addWidget(fraPercentageOptions, 1);
        lower->addWidget(fraChiOptions, 1);
        auto* content = new QVBoxLayout;
        content->addWidget(fraType);
        content->addLayout(lower);
        Arrange(content);
    });
}

namespace optionpages {
COptionPage* Crosstab(QWidget* owner) { return new frmQuarn_Options_Crosstab(owner); }
}  // namespace optionpages
