// The wizard's scenario object: its properties against the scenario schema,
// the family letter rule, Null and Empty kept, the field collection, the
// values of a new scenario, the analysis table, and every analysis check's
// message and focus on a page that carries the named controls.
#include <QCheckBox>
#include <QLineEdit>
#include <QtTest>
#include <algorithm>
#include <map>

#include "AppTestSupport.h"
#include "ScenarioSchema.h"
#include "../support/FirstAnalyses.h"
#include "../support/ListsAgree.h"
#include "wizard/CZantelsPropWiz.h"

namespace {

using K = store::PropertyKind;

// A page with the controls the checks name; the focus is read back by name.
class CheckPage : public QWidget {
public:
    CheckPage() {
        for (const char* name : {"chkCI95", "chkSignMean", "chkFitUniform", "chkNPPair_Sign"}) {
            auto* box = new QCheckBox(this);
            box->setObjectName(name);
        }
        for (const char* name : {"txtCIUser", "txtCIStdDev", "txtInterV", "txtFreqInit", "txtFreqWidth", "txtSignValue",
                                 "txtScenario_Output_Table1_Name", "txtScenario_Output_Table2_Name"}) {
            auto* edit = new QLineEdit(this);
            edit->setObjectName(name);
        }
        auto* label = new QWidget(this);
        label->setObjectName("lblScenario_Output_Table2_Name");
        show();
        activateWindow();
        (void)QTest::qWaitForWindowActive(this);
    }
    void Box(const char* name, const QString& text) { findChild<QLineEdit*>(name)->setText(text); }
    QString Focused() const {
        QWidget* w = QApplication::focusWidget();
        return w ? w->objectName() : QString();
    }
    void Unfocus() { setFocus(); }
};

}  // namespace

class WizardObjectTest : public QObject {
    Q_OBJECT

    apptest::Environment env_;
    ui::RecordingUi rec_;

private slots:
    void init() { rec_.Reset(); }

    void propertiesAreTheSchemasWizardColumns() {
        // Every column the schema gives the wizard object is a property of
        // that name and kind, and there are no others.
        const std::string differences =
            listsagree::PropertiesAgree(store::kWizardObject, CZantelsPropWiz::PropertyNames(),
                                        [](std::string_view p) { return CZantelsPropWiz::KindOf(p); });
        QVERIFY2(differences.empty(), differences.c_str());
    }

    void freshObjectAndPlainSetters() {
        CZantelsPropWiz w;
        for (std::string_view name : CZantelsPropWiz::PropertyNames()) {
            vb::Variant v = w.GetProperty(name);
            switch (CZantelsPropWiz::KindOf(name)) {
                case K::Variant:
                    QVERIFY2(v.IsEmpty(), std::string(name).c_str());
                    break;
                case K::Text:
                    QCOMPARE(v.ToString(), std::string());
                    break;
                default:
                    QCOMPARE(v.ToDouble(), 0.0);
            }
        }
        QCOMPARE(w.ScenarioFields()->Count(), 0);
        QVERIFY(!w.Changed());

        // The family letter: exactly P, G or N.
        w.Scenario_Type("G");
        for (const char* refused : {"p", "X", "", "GG"}) w.Scenario_Type(refused);
        QCOMPARE(w.Scenario_Type(), std::string("G"));

        // Null and Empty are kept; no setter marks the object changed.
        w.CIStdDev(vb::Variant::Null());
        QVERIFY(w.CIStdDev().IsNull());
        for (std::string_view name : CZantelsPropWiz::PropertyNames())
            w.SetProperty(name, CZantelsPropWiz::KindOf(name) == K::Text ? vb::Variant("1") : vb::Variant(1));
        QVERIFY(!w.Changed());
        QVERIFY(!w.SetProperty("NoSuchProperty", vb::Variant(1)));
    }

    void fieldCollection() {
        CScenarioFields f;
        f.Add("Age", "X", "10", 1, "Age");
        f.Add("Clinic", "G", "4", 1, "Clinic");
        QCOMPARE(f.Item(vb::Variant(1))->Name(), std::string("Age"));
        QCOMPARE(f.Item(vb::Variant("Age"))->FieldType(), 10);
        bool raised = false;
        try {
            f.Add("age", "Y", "7", 2, "age");
        } catch (const vb::VbError& e) {
            raised = e.Number() == 457;
        }
        QVERIFY(raised);
        raised = false;
        try {
            f.Add("Weight", "W", "Long", 1, "Weight");
        } catch (const vb::VbError&) {
            raised = true;
        }
        QVERIFY(raised);
        QCOMPARE(f.Count(), 2);
        QCOMPARE(f.Item(vb::Variant("Age"))->Choice(), std::string("X"));
        std::vector<std::string> order;
        for (const auto& field : f) order.push_back(field->Name());
        QCOMPARE(order, std::vector<std::string>({"Age", "Clinic"}));
        f.Remove(vb::Variant("Age"));
        QCOMPARE(f.Item(vb::Variant(1))->Name(), std::string("Clinic"));
    }

    void newScenarioValues() {
        // The values a new scenario starts with, as the New command lists them.
        CZantelsPropWiz w;
        w.SetNewScenario("N", "Sign Test");
        QCOMPARE(w.Scenario_ID(), 0);
        QCOMPARE(w.TTestValue(), 0.0);
        QCOMPARE(w.CalcType(), std::string("Sign Test"));
        QCOMPARE(w.Scenario_Type(), std::string("N"));
        const std::map<std::string, std::string> texts = {{"MissingType", "0"},
                                                          {"VarNRadio", "N-1"},
                                                          {"CITypeRadio", "t-Test"},
                                                          {"FreqIncRadio", "Lower"},
                                                          {"FreqDispRadio", "Count"},
                                                          {"FreqGroupRadio", "Default"},
                                                          {"PercentileRadio", "Median"},
                                                          {"MProbTail", "2-tail"},
                                                          {"RegressType", "S"},
                                                          {"XType", "C"},
                                                          {"NPTwoType", "Mann"},
                                                          {"Scenario_Description", ""},
                                                          {"Table", ""},
                                                          {"OutputTable1", ""},
                                                          {"OutputTable2", ""},
                                                          {"Scenario_Version", ""},
                                                          {"FreqType", ""}};
        for (const auto& [name, value] : texts) QCOMPARE(w.GetProperty(name).ToString(), value);
        QCOMPARE(w.InterV(), int16_t(10));
        QCOMPARE(w.RPoly(), int16_t(2));
        const char* on[] = {"Range",
                            "Sum",
                            "VarStd",
                            "CI95",
                            "CountXY",
                            "MeanXY",
                            "CorrXY",
                            "TTest",
                            "MCnt",
                            "RAnova",
                            "RYInt",
                            "ChiDetail",
                            "FitUniform",
                            "FitPoisson",
                            "SignMean",
                            "NPPair_Sign",
                            "NPPair_Wilcoxon",
                            "NPPair_Spearman",
                            "NPFriedmanDetail",
                            "NPKruskalDetail"};
        // No other flag of the analyses up to N Fields is on; a new analysis's
        // own options (FirstAnalyses.h) may start as they like.
        QStringList othersOn;
        for (std::string_view name : CZantelsPropWiz::PropertyNames()) {
            if (CZantelsPropWiz::KindOf(name) != K::Flag || !w.GetProperty(name).ToBool()) continue;
            if (!firstanalyses::OfTheFirstAnalyses(*store::PropertyColumn(name))) continue;
            if (std::find(std::begin(on), std::end(on), name) == std::end(on))
                othersOn << QString::fromUtf8(name.data(), qsizetype(name.size()));
        }
        QVERIFY2(othersOn.isEmpty(),
                 qPrintable("on in a new scenario, beside the list above: " + othersOn.join(", ") +
                            ". An option of a new analysis is left out here when it takes Bit(TheAnalysis), or is "
                            "named as its analysis's second table; add a name to the list only when a new scenario "
                            "of the analyses Describe to N Fields really starts with it on"));
        for (const char* name : on) QVERIFY2(w.GetProperty(name).ToBool(), name);
        for (const char* name :
             {"MissingEqual", "MissingLow", "MissingHigh", "CIStdDev", "FreqInit", "FreqWidth", "CIUser", "SignValue"})
            QVERIFY2(w.GetProperty(name).IsEmpty(), name);
        QVERIFY(!w.Changed());
        QCOMPARE(w.ScenarioFields()->Count(), 0);

        CZantelsPropWiz other;
        other.SetNewScenario("x", "");
        QCOMPARE(other.Scenario_Type(), std::string());
    }

    void analysisTable() {
        // Each analysis of the list: its options page and its sort order.
        // One row per line: a new row moves no other.
        // clang-format off
        std::map<std::string, std::pair<long, int>> table = {
            {"Describe", {4, 100}},
            {"Frequency", {5, 200}},
            {"Percentiles", {6, 300}},
            {"Compare", {7, 400}},
            {"Matrix", {8, 500}},
            {"Regression", {9, 600}},
            {"Crosstab", {10, 700}},
            {"Two Sample t-Test", {11, 100}},
            {"ANOVA", {11, 200}},
            {"Two way ANOVA", {11, 300}},
            {"Chi-Square", {12, 100}},
            {"Sign Test", {13, 200}},
            {"K-S Fit", {14, 300}},
            {"2 Sample", {15, 400}},
            {"N Sample", {16, 500}},
            {"Paired Fields", {17, 600}},
            {"N Fields", {18, 700}},
        };
        // clang-format on
        for (const store::AnalysisDef& a : store::kAnalysisList)
            QVERIFY2(table.count(std::string(a.subType)),
                     qPrintable(QString("analysisTable in tests/app/WizardObjectTest.cpp has no row for \"%1\": give "
                                        "it its options page and sort order")
                                    .arg(std::string(a.subType).c_str())));
        // Names of no analysis: no page, no sort order.
        const std::map<std::string, std::pair<long, int>> none = {
            {"describe", {99, 0}},
            {"", {99, 0}},
            {"Two-Way ANOVA", {99, 0}},
        };
        table.insert(none.begin(), none.end());
        CZantelsPropWiz w;
        for (const auto& [name, expected] : table) {
            w.CalcType(name);
            QCOMPARE(w.GetOptionsPage(), expected.first);
            QCOMPARE(int(CZantelsPropWiz::GetScenarioSort(name)), expected.second);
        }
        QCOMPARE(CZantelsPropWiz::GetNextPage(3), -1L);
        QCOMPARE(CZantelsPropWiz::GetNextPage(12), -1L);
    }

    void describeChecks() {
        CheckPage page;
        CZantelsPropWiz w;
        w.CI(false);
        w.CI95(false);
        QCOMPARE(w.CheckDescribe(&page), std::string());
        w.CI(true);
        w.CIUser(vb::Variant(""));
        QCOMPARE(w.CheckDescribe(&page), std::string("Confidence Interval value (95% or Other%) required"));
        QCOMPARE(page.Focused(), QString("chkCI95"));
        w.CI95(true);
        w.CIUser(vb::Variant(int16_t(95)));
        QCOMPARE(w.CheckDescribe(&page), std::string("Duplicate Confidence Interval % selected"));
        QCOMPARE(page.Focused(), QString("txtCIUser"));
        w.CIUser(vb::Variant(int16_t(90)));
        QCOMPARE(w.CheckDescribe(&page), std::string());
        w.CITypeRadio("Normal");
        w.CIStdDev(vb::Variant::Null());
        QCOMPARE(w.CheckDescribe(&page), std::string("Confidence Interval standard deviation required"));
        QCOMPARE(page.Focused(), QString("txtCIStdDev"));
        w.CIStdDev(vb::Variant(2.5));
        QCOMPARE(w.CheckDescribe(&page), std::string());
        QVERIFY(rec_.boxes.empty());  // the pages show these messages, not the checks
    }

    void frequencyChecks() {
        CheckPage page;
        CZantelsPropWiz w;
        // Neither flag: no rule, even with an empty intervals box.
        QCOMPARE(w.CheckFrequency(&page, false, false), std::string());
        QCOMPARE(w.CheckFrequency(&page, true, false), std::string("Frequency: Number of intervals required"));
        QCOMPARE(page.Focused(), QString("txtInterV"));
        page.Box("txtInterV", "10");
        QCOMPARE(w.CheckFrequency(&page, false, true), std::string());  // default grouping
        for (const char* specified : {"Specified:", "Specified"}) {
            w.FreqGroupRadio(specified);
            page.Box("txtFreqInit", "");
            QCOMPARE(w.CheckFrequency(&page, true, true), std::string("Frequency: Specified Initial Value required"));
            QCOMPARE(page.Focused(), QString("txtFreqInit"));
            page.Box("txtFreqInit", "0");
            page.Box("txtFreqWidth", "");
            QCOMPARE(w.CheckFrequency(&page, true, true), std::string("Frequency: Specified Interval Width required"));
            for (const char* bad : {"0", "-1", "abc", "x5"}) {
                page.Unfocus();
                page.Box("txtFreqWidth", bad);
                QCOMPARE(w.CheckFrequency(&page, true, true),
                         std::string("Frequency: Specified Interval Width must be greater than 0"));
                QCOMPARE(page.Focused(), QString("txtFreqWidth"));
            }
            page.Box("txtFreqWidth", "2.5");
            QCOMPARE(w.CheckFrequency(&page, true, true), std::string());
        }
        // A page without the boxes does not offer those values.
        QWidget bare;
        QCOMPARE(w.CheckFrequency(&bare, true, true), std::string());
    }

    void signFitAndPairedChecks() {
        CheckPage page;
        CZantelsPropWiz w;
        QCOMPARE(w.CheckSignTest(&page), std::string("No test type selected"));
        QCOMPARE(page.Focused(), QString("chkSignMean"));
        w.SignCustom(true);
        QCOMPARE(w.CheckSignTest(&page), std::string("Custom value required"));
        QCOMPARE(page.Focused(), QString("txtSignValue"));
        w.SignValue(vb::Variant("  "));  // blanks are a value
        QCOMPARE(w.CheckSignTest(&page), std::string());

        page.Unfocus();
        QCOMPARE(w.CheckKSFit(&page), std::string("No test type selected"));
        QCOMPARE(page.Focused(), QString("chkFitUniform"));
        w.FitPoisson(true);
        QCOMPARE(w.CheckKSFit(&page), std::string());

        w.NPPair_Tau(true);  // takes no part
        QCOMPARE(w.CheckPaired(&page), std::string("At least one analysis type must be selected"));
        QCOMPARE(page.Focused(), QString("chkNPPair_Sign"));  // found without regard to case
        w.NPPair_Spearman(true);
        QCOMPARE(w.CheckPaired(&page), std::string());
    }

    void finalCheck() {
        ui::ScopedUi installed(rec_);
        CheckPage page;
        CZantelsPropWiz w;
        std::string t1 = "x", t2 = "y";
        QVERIFY(!w.CheckFinal(&page, t1, t2));
        QCOMPARE(rec_.boxes.back().prompt, std::string("Output table name required."));
        QCOMPARE(rec_.boxes.back().title, std::string("Quantara"));
        QCOMPARE(page.Focused(), QString("txtScenario_Output_Table1_Name"));
        QCOMPARE(t1, std::string());
        w.OutputTable1("Results");
        QVERIFY(!w.CheckFinal(&page, t1, t2));
        QCOMPARE(rec_.boxes.back().prompt, std::string("Second Output table name required."));
        QCOMPARE(page.Focused(), QString("txtScenario_Output_Table2_Name"));
        // A single-table analysis hides the second name.
        page.findChild<QWidget*>("lblScenario_Output_Table2_Name")->hide();
        rec_.Reset();
        QVERIFY(w.CheckFinal(&page, t1, t2));
        QVERIFY(rec_.boxes.empty());
        QCOMPARE(t1, std::string("Results"));
        page.findChild<QWidget*>("lblScenario_Output_Table2_Name")->show();
        // Names that differ only in case name one table.
        for (const char* same : {"Results", "RESULTS", "results"}) {
            page.Unfocus();
            w.OutputTable2(same);
            QVERIFY(!w.CheckFinal(&page, t1, t2));
            QCOMPARE(rec_.boxes.back().prompt,
                     std::string("The first and second output table names names must not be the same."));
            QCOMPARE(page.Focused(), QString("txtScenario_Output_Table2_Name"));
        }
        // A scenario table's name, in any case, in either box, is refused by name.
        w.OutputTable2("USYSQUARNFIELDS");
        QVERIFY(!w.CheckFinal(&page, t1, t2));
        QVERIFY(rec_.boxes.back().prompt.find("[USYSQUARNFIELDS] is the name of the scenario table usysQuarnFields") !=
                std::string::npos);
        QCOMPARE(page.Focused(), QString("txtScenario_Output_Table2_Name"));
        w.OutputTable1("usysquarnscenarios");
        QVERIFY(!w.CheckFinal(&page, t1, t2));
        QCOMPARE(page.Focused(), QString("txtScenario_Output_Table1_Name"));
        w.OutputTable1("Results");
        w.OutputTable2("Results Details");
        QVERIFY(w.CheckFinal(&page, t1, t2));
        QCOMPARE(t2, std::string("Results Details"));
    }

    void columnValues() {
        CZantelsPropWiz w;
        w.SetNewScenario("P", "Describe");
        std::string property;
        QCOMPARE(w.CheckColumnValues(property), std::string());
        w.OutputTable1(std::string(51, 'a'));  // the column holds 50
        QCOMPARE(w.CheckColumnValues(property), std::string("OutputTable1 may hold at most 50 characters."));
        QCOMPARE(property, std::string("OutputTable1"));
        w.OutputTable1(std::string(50, 'a'));
        w.CIStdDev(vb::Variant(""));
        QCOMPARE(w.CheckColumnValues(property), std::string("CIStdDev must be a number."));
        w.CIStdDev(vb::Variant("1.5"));
        w.MissingEqual(vb::Variant(""));  // written as Null
        w.CIUser(vb::Variant(40000));
        QCOMPARE(w.CheckColumnValues(property), std::string("CIUser must be a whole number from -32768 to 32767."));
        w.CIUser(vb::Variant::Null());
        w.MissingLow(vb::Variant("low"));
        QCOMPARE(w.CheckColumnValues(property), std::string("MissingLow must be a number."));
        w.MissingLow(vb::Variant::Null());
        w.VarNRadio("");  // the column takes no empty text
        QCOMPARE(w.CheckColumnValues(property), std::string("VarNRadio must not be empty."));
        w.VarNRadio("N");
        w.Scenario_Description("");  // written as Null
        w.OutputTable2("");          // this column takes an empty text
        QCOMPARE(w.CheckColumnValues(property), std::string());
    }
};

QTEST_MAIN(WizardObjectTest)
#include "WizardObjectTest.moc"
