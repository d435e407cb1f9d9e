// The wizard's option pages: each loads a stored scenario without
// marking it changed and writes back exactly what the user changed; then the
// rules of particular pages: the describe page's enabling and number boxes,
// frequency's specified intervals, the regression order, the crosstab
// letters, the sign test and goodness-of-fit checks, the paired-test check;
// and every option a run reads has a control on its analysis's page.
#include <QAbstractButton>
#include <QCheckBox>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <QRadioButton>
#include <QtTest>
#include <clocale>
#include <map>

#include "AppTestSupport.h"
#include "CurrentDatabase.h"
#include "forms/frmHelp.h"
#include "ScenarioQueries.h"
#include "ScenarioTables.h"
#include "vb/Conversions.h"
#include "wizard/CZantelsPropWiz.h"
#include "wizard/frmQuarn_Options.h"

namespace {

// Every property as its type and text, to compare two loads of a scenario.
std::map<std::string, std::string> Snapshot(const CZantelsPropWiz& w) {
    std::map<std::string, std::string> all;
    for (std::string_view name : CZantelsPropWiz::PropertyNames()) {
        const vb::Variant v = w.GetProperty(name);
        all[std::string(name)] = std::to_string(v.Type()) + ":" + optionpage::StoredText(v);
    }
    return all;
}

// The user's edit on a page: a click on a button, or a text typed into a box and the box left.
struct Edit {
    long page;
    const char* analysis;
    const char* family;
    const char* control;
    const char* typed;  // null: a click
    const char* property;
    const char* expected;  // the property's text afterwards
};

constexpr Edit kEdits[] = {
    {4, "Describe", "P", "chkSkew", nullptr, "Skew", "True"},
    {5, "Frequency", "P", "txtInterV", "12", "InterV", "12"},
    {6, "Percentiles", "P", "optPcntRadioPercentiles", nullptr, "PercentileRadio", "Percentiles"},
    {7, "Compare", "P", "chktTest", nullptr, "TTest", "False"},
    {8, "Matrix", "P", "chkMProb", nullptr, "MProb", "True"},
    {9, "Regression", "P", "optRegressTypePoly", nullptr, "RegressType", "P"},
    {10, "Crosstab", "P", "optXTypeMax", nullptr, "XType", "X"},
    {11, "Two way ANOVA", "G", "chkGroupDetail", nullptr, "GroupDetail", "True"},
    {12, "Chi-Square", "N", "chkChiAll", nullptr, "ChiAll", "True"},
    {13, "Sign Test", "N", "txtSignValue", "2.50", "SignValue", "2.5"},
    {14, "K-S Fit", "N", "chkFitNormal", nullptr, "FitNormal", "True"},
    {15, "2 Sample", "N", "optNPTwoTypeWald", nullptr, "NPTwoType", "Wald"},
    {16, "N Sample", "N", "chkNPKruskalDetail", nullptr, "NPKruskalDetail", "False"},
    {17, "Paired Fields", "N", "chkNPPair_Spearman", nullptr, "NPPair_Spearman", "False"},
    {18, "N Fields", "N", "chkNPFriedmanDetail", nullptr, "NPFriedmanDetail", "False"},
};

std::string TextOf(const CZantelsPropWiz& w, const char* property) {
    const vb::Variant v = w.GetProperty(property);
    if (v.Type() == vb::vbBoolean) return v.ToBool() ? "True" : "False";
    return optionpage::StoredText(v);
}

}  // namespace

class OptionPagesTest : public QObject {
    Q_OBJECT

    apptest::Environment env_;
    ui::RecordingUi rec_;
    std::unique_ptr<ui::ScopedUi> installed_;
    std::shared_ptr<CErr_Zelk> stack_;
    dao::DatabasePtr db_;
    int counter_ = 0;
    std::unique_ptr<COptionPage> page_;
    std::unique_ptr<CZantelsPropWiz> wiz_;

    // A stored scenario read back as Edit reads it.
    std::unique_ptr<CZantelsPropWiz> Load(int32_t id) {
        auto w = std::make_unique<CZantelsPropWiz>();
        dao::RecordsetPtr row = db_->OpenRecordset(store::GetScenOptionSQL(id), dao::dbOpenSnapshot, dao::dbReadOnly);
        w->Scenario_ID(id);
        w->LoadScenario(row);
        row->Close();
        return w;
    }

    // The option page of a new scenario of `analysis`, shown and active;
    // `prepare` sets options before the page loads them.
    COptionPage* Open(const char* family, const char* analysis,
                      const std::function<void(CZantelsPropWiz&)>& prepare = {}) {
        page_.reset();
        wiz_ = std::make_unique<CZantelsPropWiz>();
        wiz_->SetNewScenario(family, analysis);
        if (prepare) prepare(*wiz_);
        page_.reset(wizard::CreateOptionPage(wiz_->GetOptionsPage(), nullptr));
        page_->Wiz(wiz_.get());
        page_->show();
        page_->activateWindow();
        if (!QTest::qWaitForWindowActive(page_.get())) qWarning("page not active");
        rec_.Reset();
        return page_.get();
    }
    template <class T = QWidget>
    T* W(const char* name) {
        auto* w = page_->findChild<T*>(name);
        if (!w) qFatal("no control %s", name);
        return w;
    }
    // Types into a box and leaves it for `next`, as the user does; the
    // message of a refusal is then shown.
    void Leave(const char* box, const QString& text, const char* next = "cmdNav_0") {
        auto* edit = W<QLineEdit>(box);
        edit->setFocus(Qt::TabFocusReason);
        QCoreApplication::processEvents();
        edit->setText(text);
        W(next)->setFocus(Qt::TabFocusReason);
        // A refusal is told once the focus has arrived, from a posted call.
        QCoreApplication::processEvents();
    }
    std::string LastMessage() const { return rec_.boxes.empty() ? std::string() : rec_.boxes.back().prompt; }
    QString Focused() const { return QApplication::focusWidget() ? QApplication::focusWidget()->objectName() : ""; }
    void Press(const char* nav) {
        W<QPushButton>(nav)->click();
        QCoreApplication::processEvents();
    }

private slots:
    void initTestCase() { installed_ = std::make_unique<ui::ScopedUi>(rec_); }
    void init() {
        rec_.Reset();
        stack_ = std::make_shared<CErr_Zelk>();
        stack_->DisplayError(false);
        stack_->Destination(vb::Variant(env_.Path().toStdString() + "/error.log"));
        SetErrStack(stack_);
        const std::string path = env_.Path().toStdString() + "/options" + std::to_string(++counter_) + ".db";
        dao::WorkspacePtr ws = dao::DBEngine().Workspaces(0);
        db_ = ws->CreateDatabase(path);
        store::SetCurrentDatabase(ws, db_);
        QVERIFY(store::CreateScenarioTables());
    }
    void cleanup() {
        apptest::CheckModalAnswersUsed();
        page_.reset();
        wiz_.reset();
        QVERIFY2(stack_->ErrNumber() == 0, stack_->ErrDescription().c_str());  // no unexpected error anywhere
        store::ClearCurrentDatabase();
        if (db_) db_->Close();
        db_.reset();
        SetErrStack(nullptr);
    }

    void everyPageWritesBackExactlyWhatTheUserChanged() {
        for (const store::AnalysisDef& a : store::Analyses()) {
            bool listed = false;
            for (const Edit& e : kEdits) listed = listed || e.page == a.optionsPage;
            const std::string lacks = "kEdits has no edit on page " + std::to_string(a.optionsPage) +
                                      ", the options of " + std::string(a.subType);
            QVERIFY2(listed, lacks.c_str());
        }
        for (const Edit& e : kEdits) {
            const QByteArray what = QByteArray(e.analysis) + " / " + e.control;
            const std::string unstored =
                std::string("kOptionColumns in store/ScenarioSchema.cpp lacks the column of ") + e.property;
            QVERIFY2(store::PropertyColumn(e.property), unstored.c_str());
            auto made = std::make_unique<CZantelsPropWiz>();
            made->SetNewScenario(e.family, e.analysis);
            made->OutputTable1("Out");
            QVERIFY(made->PostScenario());
            const int32_t id = made->Scenario_ID();

            wiz_ = Load(id);
            const auto before = Snapshot(*wiz_);
            page_.reset(wizard::CreateOptionPage(e.page, nullptr));
            QVERIFY2(page_, what);
            QCOMPARE(page_->objectName().toStdString(), wizard::PageFormName(e.page));
            page_->Wiz(wiz_.get());
            QVERIFY2(!wiz_->Changed(), what);  // loading marks nothing
            QVERIFY2(Snapshot(*wiz_) == before, what);
            // Every bound control carries its name and shows its property.
            for (const optionpage::Binding& b : page_->Def().bindings) {
                QWidget* w = page_->findChild<QWidget*>(b.control);
                QVERIFY2(w, b.control);
                if (auto* check = qobject_cast<QCheckBox*>(w))
                    QCOMPARE(check->isChecked(), wiz_->GetProperty(b.property).ToBool());
                else if (auto* box = qobject_cast<QLineEdit*>(w))
                    QCOMPARE(box->text().toStdString(), optionpage::StoredText(wiz_->GetProperty(b.property)));
            }
            page_->show();
            page_->activateWindow();
            QVERIFY(QTest::qWaitForWindowActive(page_.get()));

            if (e.typed) {
                if (e.page == 13) W<QCheckBox>("chkSignCustom")->click();  // the value box needs Custom
                Leave(e.control, e.typed);
            } else {
                W<QAbstractButton>(e.control)->click();
            }
            QVERIFY2(wiz_->Changed(), what);
            QCOMPARE(TextOf(*wiz_, e.property), std::string(e.expected));
            Press("cmdNav_2");
            QVERIFY2(page_->isHidden(), what);
            QCOMPARE(page_->NavResult(), wizard::kNext);
            QVERIFY(wiz_->PostScenario());

            auto expected = before;
            const auto after = Snapshot(*Load(id));
            expected[e.property] = after.at(e.property);
            if (e.page == 13) expected["SignCustom"] = after.at("SignCustom");
            QVERIFY2(after == expected, what);
            QVERIFY2(after.at(e.property) != before.at(e.property), what);
            QVERIFY2(rec_.boxes.empty(), what);
        }
    }

    void everyOptionARunReadsHasAControl() {
        // An option that a run reads but its options page does not show is
        // one no user can set.
        for (const store::AnalysisDef& a : store::Analyses()) {
            std::unique_ptr<COptionPage> page(wizard::CreateOptionPage(a.optionsPage, nullptr));
            QVERIFY(page);
            for (const store::ColumnDef& c : store::OptionsSchema().columns) {
                if ((c.readBy & store::Bit(a.id)) == 0 || !c.HeldBy(store::kWizardObject)) continue;
                bool bound = false;
                for (const optionpage::Binding& b : page->Def().bindings)
                    bound = bound || vb::EqualsNoCase(b.property, c.property);
                const std::string unbound = "the run of " + std::string(a.subType) + " reads the option " +
                                            std::string(c.property) + ", but its options page " + page->Def().form +
                                            " (page " + std::to_string(a.optionsPage) +
                                            ") binds no control to it: add the control to the page's bindings";
                QVERIFY2(bound, unbound.c_str());
            }
        }
    }

    void pagesCaptionsAndNavigation() {
        // Cancel closes without checks; Back closes with 1; Help stays open.
        COptionPage* page = Open("N", "Paired Fields");
        QCOMPARE(page->windowTitle(), QString("Zelk Statistics Paired Fields Options"));
        QCOMPARE(W<QPushButton>("cmdNav_0")->text(), QString("Help"));
        QCOMPARE(W<QPushButton>("cmdNav_4")->text(), QString("Cancel"));
        QVERIFY(!page->findChild<QWidget*>("cmdNav_3"));
        Press("cmdNav_0");
        QVERIFY(page->isVisible());
        QCOMPARE(rec_.helpCalls.size(), size_t(1));
        // The paired-fields page is page 17; its topic is the help file's "topic-264".
        QVERIFY(rec_.helpCalls[0].ends_with("#264"));
        for (const char* name : {"chknPPair_Sign", "chkNPPair_Wilcoxon", "chkNPPair_Spearman"})
            W<QCheckBox>(name)->click();
        Press("cmdNav_4");
        QVERIFY(page->isHidden());
        QCOMPARE(page->NavResult(), wizard::kCancel);
        QVERIFY(rec_.boxes.empty());

        // Every page has a topic of its own in the help file.
        QFile file(MERIVOX_SOURCE_DIR "/app/help/Merivox.HLP");
        QVERIFY(file.open(QIODevice::ReadOnly));
        QSet<int> topics;
        for (const auto& t : frmHelp::ParseTopics(QString::fromUtf8(file.readAll()))) topics.insert(t.number);
        QSet<int> pageTopics;
        for (long number = wizard::kFirstOptionsPage; number <= wizard::kLastOptionsPage; ++number) {
            std::unique_ptr<COptionPage> p(wizard::CreateOptionPage(number, nullptr));
            const int topic = p->property("HelpContextID").toInt();
            QVERIFY2(topics.contains(topic),
                     qPrintable(QString("Merivox.HLP has no topic %1 for options page %2").arg(topic).arg(number)));
            pageTopics.insert(topic);
        }
        QCOMPARE(pageTopics.size(), qsizetype(wizard::kLastOptionsPage - wizard::kFirstOptionsPage + 1));

        page = Open("P", "Describe");
        QCOMPARE(W<QPushButton>("cmdNav_0")->text(), QString("&Help"));
        QCOMPARE(W<QPushButton>("cmdNav_4")->text(), QString("&Cancel"));
        Press("cmdNav_1");
        QCOMPARE(page->NavResult(), wizard::kBack);
        // Escape is Cancel.
        page = Open("P", "Crosstab");
        QTest::keyClick(page, Qt::Key_Escape);
        QCOMPARE(page->NavResult(), wizard::kCancel);
    }

    void describeEnablingFollowsTheValues() {
        Open("P", "Describe", [](CZantelsPropWiz& w) {
            w.VarNRadio("N");
            w.VarStd(false);
            w.CITypeRadio("Normal");
            w.PercentileRadio("Percentiles");  // the percentile page's value: no button here
            w.Percentile(true);
            w.FreqGroupRadio("Specified:");  // the frequency page's value: no button here
        });
        QVERIFY(W<QRadioButton>("optMethodN")->isChecked());
        QVERIFY(!W("optMethodN")->isEnabled() && !W("optMethodN1")->isEnabled());
        QVERIFY(W("txtCIStdDev")->isEnabled() && W("lblCIStdDev")->isEnabled());
        for (const char* name :
             {"optPcntRadioMedian", "optPcntRadioQuartiles", "optPcntRadioDeciles", "optPcntRadioQuintiles"}) {
            QVERIFY(!W<QRadioButton>(name)->isChecked());
            QVERIFY(W(name)->isEnabled());
        }
        QVERIFY(!W<QRadioButton>("optFreqGroupRadioDefault")->isChecked());
        QVERIFY(!W<QRadioButton>("optFreqGroupRadioSpec")->isChecked());
        QVERIFY(!W("txtFreqInit")->isEnabled() && !W("lblFreqWidth")->isEnabled());
        QVERIFY(!wiz_->Changed());

        W<QCheckBox>("chkVarStd")->click();
        QVERIFY(W("optMethodN1")->isEnabled() && wiz_->VarStd() && wiz_->Changed());
        W<QRadioButton>("optConfidenceTTest")->click();
        QCOMPARE(wiz_->CITypeRadio(), std::string("t-Test"));
        QVERIFY(!W("txtCIStdDev")->isEnabled());
        W<QRadioButton>("optFreqGroupRadioSpec")->click();
        QCOMPARE(wiz_->FreqGroupRadio(), std::string("Specified"));
        QVERIFY(W("txtFreqInit")->isEnabled() && W("lblFreqInit")->isEnabled() && W("txtFreqWidth")->isEnabled());
        W<QRadioButton>("optPcntRadioQuintiles")->click();
        QCOMPARE(wiz_->PercentileRadio(), std::string("5"));
        W<QCheckBox>("chkPercentile")->click();
        QVERIFY(!W("optPcntRadioMedian")->isEnabled());

        // While loading, clicks write nothing.
        wiz_->Changed(false);
        page_->Loading(true);
        W<QCheckBox>("chkRange")->click();
        page_->Loading(false);
        QVERIFY(wiz_->Range() && !wiz_->Changed());
    }

    // At the page's size each label of the describe page keeps a gap of at
    // least 4 pixels from the control before or after it on its line.
    void describeLabelsStandClearOfTheirControls() {
        Open("P", "Describe");
        for (auto [left, right] :
             std::initializer_list<std::pair<const char*, const char*>>{{"chkVarStd", "Label2"},
                                                                        {"Label11", "chkCI95"},
                                                                        {"chkCI95", "lblCIUser"},
                                                                        {"lblTTestValue", "txtTTestValue"}}) {
            const QRect a(W(left)->mapTo(page_.get(), QPoint(0, 0)), W(left)->size());
            const QRect b(W(right)->mapTo(page_.get(), QPoint(0, 0)), W(right)->size());
            QVERIFY2(a.top() <= b.bottom() && b.top() <= a.bottom(), left);  // on one line
            QVERIFY2(b.left() - a.right() - 1 >= 4,
                     qPrintable(QString("%1 %2: %3 pixels apart").arg(left, right).arg(b.left() - a.right() - 1)));
        }
    }

    void describeNumberBoxes() {
        Open("P", "Describe");
        // Intervals: empty passes while no frequency output is chosen.
        Leave("txtInterV", "");
        QVERIFY(rec_.boxes.empty());
        QCOMPARE(wiz_->InterV(), int16_t(10));
        QVERIFY(!wiz_->Changed());
        W<QCheckBox>("chkFreqN")->click();
        Leave("txtInterV", "");
        QCOMPARE(LastMessage(), std::string("Please enter a number between 2 and 50."));
        QCOMPARE(Focused(), QString("txtInterV"));
        QVERIFY(!page_->Valid());
        for (auto [text, stored] : {std::pair{"2", 2}, {"50", 50}, {"2.5", 2}, {"3.5", 4}}) {
            Leave("txtInterV", text);
            QCOMPARE(wiz_->InterV(), int16_t(stored));
            QVERIFY(page_->Valid());
        }
        for (const char* bad : {"1.9", "50.1", "1-2", "."}) {
            rec_.Reset();
            Leave("txtInterV", bad);
            QCOMPARE(LastMessage(), std::string("Please enter a number between 2 and 50."));
        }
        Leave("txtInterV", "10");
        wiz_->Changed(false);
        Leave("txtInterV", "10");  // the stored text again: nothing stored, no change mark
        QVERIFY(!wiz_->Changed());

        // The other percentage: whole numbers from 1 to 99; empty is Null.
        for (const char* bad : {"99.999", "100", "0.5", "95.5", "-", "inf"}) {
            rec_.Reset();
            Leave("txtCIUser", bad);
            QCOMPARE(LastMessage(), std::string("Please enter a whole number between 1 and 99."));
        }
        Leave("txtCIUser", "99");
        QCOMPARE(wiz_->CIUser().ToLong(), 99);
        Leave("txtCIUser", "1");
        QCOMPARE(wiz_->CIUser().ToLong(), 1);
        Leave("txtCIUser", "");
        QVERIFY(wiz_->CIUser().IsNull());

        // The standard deviation and the width: a number above zero; empty is Null.
        W<QRadioButton>("optConfidenceNormal")->click();
        W<QRadioButton>("optFreqGroupRadioSpec")->click();
        for (const char* box : {"txtCIStdDev", "txtFreqWidth"}) {
            for (const char* bad : {"0", "-1", "1.2.3"}) {
                rec_.Reset();
                Leave(box, bad);
                QCOMPARE(LastMessage(), std::string("Please enter a number greater than zero."));
            }
            Leave(box, "0.25");
            QCOMPARE(wiz_->GetProperty(box + 3).ToDouble(), 0.25);
            Leave(box, "");
            QVERIFY(wiz_->GetProperty(box + 3).IsNull());
        }
        // The initial value: any number; empty is Null.
        rec_.Reset();
        Leave("txtFreqInit", "1.2.3");
        QCOMPARE(LastMessage(), std::string("Please enter a number."));
        Leave("txtFreqInit", "-7.5");
        QCOMPARE(wiz_->FreqInit().ToDouble(), -7.5);

        // The mean to test: emptied shows and stores 0; a typo is refused.
        Leave("txtTTestValue", "12.5");
        QCOMPARE(wiz_->TTestValue(), 12.5);
        Leave("txtTTestValue", "");
        QCOMPARE(W<QLineEdit>("txtTTestValue")->text(), QString("0"));
        QCOMPARE(wiz_->TTestValue(), 0.0);
        rec_.Reset();
        Leave("txtTTestValue", "1-2");
        QCOMPARE(LastMessage(), std::string("Please enter a number."));

        // A refused box blocks Back and Next; Cancel closes without a word.
        Leave("txtTTestValue", "3");
        Leave("txtCIUser", "500", "cmdNav_2");
        Press("cmdNav_2");
        QVERIFY(page_->isVisible());
        rec_.Reset();
        Press("cmdNav_1");  // Back judges the box again
        QVERIFY(page_->isVisible());
        QCOMPARE(LastMessage(), std::string("Please enter a whole number between 1 and 99."));
        rec_.Reset();
        W("cmdNav_4")->setFocus(Qt::MouseFocusReason);
        Press("cmdNav_4");
        QVERIFY(page_->isHidden());
        QCOMPARE(page_->NavResult(), wizard::kCancel);
        QVERIFY(rec_.boxes.empty());
        QVERIFY(wiz_->CIUser().IsNull());
    }

    void describeNextRunsTheChecks() {
        Open("P", "Describe", [](CZantelsPropWiz& w) { w.CI(true); });
        W<QCheckBox>("chkCI95")->click();  // neither 95% nor another percentage
        Press("cmdNav_2");
        QCOMPARE(LastMessage(), std::string("Confidence Interval value (95% or Other%) required"));
        QCOMPARE(Focused(), QString("chkCI95"));
        QVERIFY(page_->isVisible());
        Leave("txtCIUser", "90");
        W<QRadioButton>("optConfidenceNormal")->click();
        Press("cmdNav_2");
        QCOMPARE(LastMessage(), std::string("Confidence Interval standard deviation required"));
        Leave("txtCIStdDev", "4");
        rec_.Reset();
        Press("cmdNav_2");
        QVERIFY(page_->isHidden());
        QVERIFY(rec_.boxes.empty());
        // Numbers read and stored in the C locale, whatever the user's.
        QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
        std::setlocale(LC_ALL, "de_DE.UTF-8");
        Open("P", "Describe", [](CZantelsPropWiz& w) { w.FreqWidth(vb::Variant(0.5)); });
        QCOMPARE(W<QLineEdit>("txtFreqWidth")->text(), QString("0.5"));
        W<QRadioButton>("optFreqGroupRadioSpec")->click();
        Leave("txtFreqWidth", "2.75");
        QCOMPARE(wiz_->FreqWidth().ToDouble(), 2.75);
        std::setlocale(LC_ALL, "C");
        QLocale::setDefault(QLocale::c());
    }

    void frequencySpecifiedIntervals() {
        Open("P", "Frequency", [](CZantelsPropWiz& w) { w.FreqGroupRadio("Specified"); });  // the describe page's value
        QVERIFY(W<QRadioButton>("optFreqGroupRadioSpec")->isChecked());
        QVERIFY(W("txtFreqInit")->isEnabled() && W("txtFreqWidth")->isEnabled());
        Leave("txtInterV", "");
        QCOMPARE(LastMessage(), std::string("Please enter a number between 2 and 50."));
        Leave("txtInterV", "8");
        rec_.Reset();
        Press("cmdNav_2");
        QCOMPARE(LastMessage(), std::string("Frequency: Specified Initial Value required"));
        QCOMPARE(Focused(), QString("txtFreqInit"));
        Leave("txtFreqInit", "0");
        Press("cmdNav_2");
        QCOMPARE(LastMessage(), std::string("Frequency: Specified Interval Width required"));
        Leave("txtFreqWidth", "2.5");
        W<QRadioButton>("optFreqGroupRadioDefault")->click();
        QVERIFY(!W("txtFreqInit")->isEnabled());
        W<QRadioButton>("optFreqGroupRadioSpec")->click();
        QCOMPARE(wiz_->FreqGroupRadio(), std::string("Specified:"));
        rec_.Reset();
        Press("cmdNav_2");
        QVERIFY(page_->isHidden());
        QVERIFY(rec_.boxes.empty());
        QCOMPARE(wiz_->FreqInit().ToDouble(), 0.0);
        QCOMPARE(wiz_->FreqWidth().ToDouble(), 2.5);
        QCOMPARE(wiz_->InterV(), int16_t(8));

        // With the default grouping the initial value and width are not asked for.
        Open("P", "Frequency");
        QVERIFY(W<QRadioButton>("optFreqGroupRadioDefault")->isChecked());
        Press("cmdNav_2");
        QVERIFY(page_->isHidden());
        QVERIFY(rec_.boxes.empty());
        // The percentile page never refuses Next; Quintiles is "5".
        Open("P", "Percentiles");
        W<QRadioButton>("optPcntRadioQuintiles")->click();
        QCOMPARE(wiz_->PercentileRadio(), std::string("5"));
        Press("cmdNav_2");
        QVERIFY(page_->isHidden());
    }

    void regressionOrder() {
        Open("P", "Regression", [](CZantelsPropWiz& w) { w.RegressType("P"); });
        QVERIFY(W<QRadioButton>("optRegressTypePoly")->isChecked());
        QVERIFY(W("txtRPoly")->isEnabled() && W("lblRPoly")->isEnabled() && W("lbl2to9")->isEnabled());
        for (auto [text, order] : {std::pair{"9", 9}, {"2", 2}, {"2.5", 2}, {"3.5", 4}, {"8.6", 9}}) {
            Leave("txtRPoly", text);
            QCOMPARE(wiz_->RPoly(), int16_t(order));
        }
        QCOMPARE(W<QLineEdit>("txtRPoly")->text(), QString("8.6"));  // kept as typed
        for (const char* bad : {"1.9", "9.1", "", "abc"}) {
            rec_.Reset();
            Leave("txtRPoly", bad);
            QCOMPARE(LastMessage(), std::string("Please enter a number between 2 and 9."));
            QCOMPARE(Focused(), QString("txtRPoly"));
            QCOMPARE(wiz_->RPoly(), int16_t(9));
        }
        // The note on Simple with several X fields shows while Simple is chosen only.
        QVERIFY(!W("lblSimpleNote")->isVisibleTo(page_.get()));
        Leave("txtRPoly", "3");
        W<QRadioButton>("optRegressTypeSimple")->click();
        QCOMPARE(wiz_->RegressType(), std::string("S"));
        QVERIFY(W("lblSimpleNote")->isVisibleTo(page_.get()));
        W<QRadioButton>("optRegressTypeMultiple")->click();
        QVERIFY(!W("lblSimpleNote")->isVisibleTo(page_.get()));
        W<QRadioButton>("optRegressTypeSimple")->click();
        QVERIFY(!W("txtRPoly")->isEnabled());
        QCOMPARE(W<QLineEdit>("txtRPoly")->text(), QString("3"));
        W<QRadioButton>("optRegressTypePoly")->click();
        QVERIFY(W("txtRPoly")->isEnabled());
        QCOMPARE(wiz_->RPoly(), int16_t(3));
        // A refused order: Escape closes the page without another message.
        Leave("txtRPoly", "12", "chkRYInt");
        rec_.Reset();
        QTest::keyClick(page_.get(), Qt::Key_Escape);
        QCOMPARE(page_->NavResult(), wizard::kCancel);
        QVERIFY(rec_.boxes.empty());

        Open("P", "Regression", [](CZantelsPropWiz& w) { w.RegressType("Q"); });
        for (const char* name : {"optRegressTypeSimple", "optRegressTypeMultiple", "optRegressTypePoly"})
            QVERIFY(!W<QRadioButton>(name)->isChecked());
        QVERIFY(!W("txtRPoly")->isEnabled());
    }

    void aRefusedBoxInsideTheWizard() {
        // The machine shows the page modally: a refused order keeps it open
        // with the message, a corrected one goes on, and Cancel ends the wizard.
        auto w = std::make_unique<CZantelsPropWiz>();
        w->SetNewScenario("P", "Regression");
        w->RegressType("P");
        bool stayed = false;
        apptest::WhenModal([&](QWidget* modal) {
            auto* box = modal->findChild<QLineEdit*>("txtRPoly");
            box->setFocus(Qt::TabFocusReason);
            box->setText("1");
            auto* next = modal->findChild<QPushButton*>("cmdNav_2");
            next->setFocus(Qt::MouseFocusReason);
            next->click();
            QCoreApplication::processEvents();
            stayed = modal->isVisible() && LastMessage() == "Please enter a number between 2 and 9." &&
                     QApplication::focusWidget() == box;
            box->setText("4");
            modal->findChild<QPushButton*>("cmdNav_4")->click();
        });
        QCOMPARE(w->ShowStatWizard(wizard::kOptionsJump), wizard::kLeftBeforeFinish);
        QVERIFY(stayed);
        QCOMPARE(rec_.boxes.size(), size_t(1));
        QCOMPARE(w->RPoly(), int16_t(2));  // Cancel stores nothing
    }

    void crosstabLetters() {
        const std::pair<const char*, const char*> kButtons[] = {
            {"optXTypeCount", "C"},  {"optXTypeSum", "S"},   {"optXTypeAvg", "A"}, {"optXTypeMin", "M"},
            {"optXTypeMax", "X"},    {"optXTypeRange", "R"}, {"optXTypeVar", "V"}, {"optXTypeCVar", "F"},
            {"optXTypeStdDev", "D"}, {"optXTypeStdErr", "E"}};
        for (auto [button, letter] : kButtons) {
            Open("P", "Crosstab", [letter](CZantelsPropWiz& w) { w.XType(letter); });
            QVERIFY2(W<QRadioButton>(button)->isChecked(), button);
            const bool chi = std::string(letter) == "C" || std::string(letter) == "S";
            QCOMPARE(W("fraChiOptions")->isEnabled(), chi);
        }
        Open("P", "Crosstab", [](CZantelsPropWiz& w) {
            w.XType("");
            w.XChi(true);
        });
        QVERIFY(W<QRadioButton>("optXTypeCount")->isChecked());
        QCOMPARE(wiz_->XType(), std::string());
        QVERIFY(!W("fraChiOptions")->isEnabled() && !W("chkXChi")->isEnabled());
        for (auto [button, letter] : kButtons) {
            wiz_->Changed(false);
            W<QRadioButton>(button)->click();
            QCOMPARE(wiz_->XType(), std::string(letter));
            QVERIFY(wiz_->Changed());
            const bool chi = std::string(letter) == "C" || std::string(letter) == "S";
            QCOMPARE(W("chkxExpect")->isEnabled(), chi);
            QVERIFY(W("chkXRowPcnt")->isEnabled());
            QVERIFY(W<QCheckBox>("chkXChi")->isChecked() && wiz_->XChi());  // kept while disabled
        }
    }

    void signTestAndFitChecks() {
        Open("N", "Sign Test");
        QVERIFY(!W("txtSignValue")->isEnabled());
        QCOMPARE(W<QLineEdit>("txtSignValue")->maxLength(), 20);
        W<QCheckBox>("chkSignCustom")->click();
        QVERIFY(W("txtSignValue")->isEnabled());
        Press("cmdNav_2");  // Custom without a value
        QCOMPARE(LastMessage(), std::string("Custom value required"));
        QCOMPARE(Focused(), QString("txtSignValue"));
        for (auto [typed, shown] : {std::pair{"2.5", "2.5"}, {"-3", "-3"}, {"007", "7"}, {"1.2.3", "1.2"}, {"", "0"}}) {
            Leave("txtSignValue", typed);
            QCOMPARE(W<QLineEdit>("txtSignValue")->text(), QString(shown));
            QCOMPARE(wiz_->SignValue().ToDouble(), QString(shown).toDouble());
        }
        wiz_->Changed(false);
        Leave("txtSignValue", "0");
        QVERIFY(!wiz_->Changed());
        W<QCheckBox>("chkSignCustom")->click();
        QVERIFY(!W("txtSignValue")->isEnabled());
        QCOMPARE(W<QLineEdit>("txtSignValue")->text(), QString("0"));
        W<QCheckBox>("chkSignMean")->click();  // none chosen now
        rec_.Reset();
        Press("cmdNav_2");
        QCOMPARE(LastMessage(), std::string("No test type selected"));
        QCOMPARE(Focused(), QString("chkSignMean"));
        W<QCheckBox>("chkSignMedian")->click();
        Press("cmdNav_2");
        QVERIFY(page_->isHidden());

        // Next acts on the value shown, also when the box was not left first.
        Open("N", "Sign Test", [](CZantelsPropWiz& w) { w.SignCustom(true); });
        W<QLineEdit>("txtSignValue")->setText("4.5");
        Press("cmdNav_2");
        QVERIFY(page_->isHidden());
        QCOMPARE(wiz_->SignValue().ToDouble(), 4.5);

        Open("N", "K-S Fit");
        for (const char* name : {"chkFitUniform", "chkFitNormal", "chkFitPoisson"})
            if (W<QCheckBox>(name)->isChecked()) W<QCheckBox>(name)->click();
        Press("cmdNav_2");
        QCOMPARE(LastMessage(), std::string("No test type selected"));
        QCOMPARE(Focused(), QString("chkFitUniform"));
        QVERIFY(page_->isVisible());
        W<QCheckBox>("chkFitPoisson")->click();
        Press("cmdNav_2");
        QVERIFY(page_->isHidden());
    }

    void pairedAndOtherNonParametricChecks() {
        Open("N", "Paired Fields");
        for (const char* name : {"chknPPair_Sign", "chkNPPair_Wilcoxon", "chkNPPair_Spearman"})
            W<QCheckBox>(name)->click();
        Press("cmdNav_2");
        QCOMPARE(LastMessage(), std::string("At least one analysis type must be selected"));
        QCOMPARE(Focused(), QString("chknPPair_Sign"));
        QVERIFY(page_->isVisible());
        W<QCheckBox>("chkNPPair_Wilcoxon")->click();
        Press("cmdNav_2");
        QVERIFY(page_->isHidden());
        QVERIFY(!wiz_->NPPair_Sign() && wiz_->NPPair_Wilcoxon() && !wiz_->NPPair_Spearman());

        // A stored two-sample type other than Mann or Wald selects neither and is kept.
        Open("N", "2 Sample", [](CZantelsPropWiz& w) { w.NPTwoType("Runs"); });
        QVERIFY(!W<QRadioButton>("optNPTwoTypeMann")->isChecked() && !W<QRadioButton>("optNPTwoTypeWald")->isChecked());
        Press("cmdNav_2");
        QVERIFY(page_->isHidden());
        QCOMPARE(wiz_->NPTwoType(), std::string("Runs"));
        // The other pages never block Next.
        for (auto [family, analysis] :
             {std::pair{"N", "N Sample"}, {"N", "N Fields"}, {"G", "ANOVA"}, {"N", "Chi-Square"}}) {
            Open(family, analysis, [](CZantelsPropWiz& w) {
                w.CI(true);
                w.CI95(false);
                w.FreqN(true);
            });
            Press("cmdNav_2");
            QVERIFY2(page_->isHidden(), analysis);
        }
    }
};

QTEST_MAIN(OptionPagesTest)
#include "OptionPagesTest.moc"
