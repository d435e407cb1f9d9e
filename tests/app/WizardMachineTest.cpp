// The wizard's page machine with fake pages: every page's Back, Next and
// Cancel, the finish page's three ways out, the jumps to the option and
// finish pages, revisited pages being the same window, unknown pages and
// analyses, and the order in which the windows are made and unloaded.
#include <QtTest>
#include <deque>

#include "AppTestSupport.h"
#include "wizard/CZantelsPropWiz.h"
#include "wizard/WizardPage.h"

namespace {

struct Script {
    std::deque<long> answers;      // NavResult of each showing, in order
    std::vector<std::string> log;  // "new 3", "bind 3", "show 3 #1", "unload 3"
};

class FakePage : public CWizardPage {
public:
    FakePage(long page, Script* script) : page_(page), script_(script) {
        script_->log.push_back("new " + std::to_string(page_));
    }
    ~FakePage() override { script_->log.push_back("unload " + std::to_string(page_)); }
    void Wiz(CZantelsPropWiz* wiz) override {
        if (!wiz_) wiz_ = wiz;
        script_->log.push_back("bind " + std::to_string(page_));
    }
    void ShowModal() override {
        ++visits_;  // what the user entered stays with the window
        script_->log.push_back("show " + std::to_string(page_) + " #" + std::to_string(visits_));
        if (script_->answers.empty()) {
            script_->log.push_back("script ran out");
            navResult_ = page_ == 1 ? 1 : page_ == 50 ? 2 : 4;
            return;
        }
        navResult_ = script_->answers.front();
        script_->answers.pop_front();
    }

protected:
    void NavClicked(int) override {}

private:
    long page_;
    Script* script_;
    int visits_ = 0;
};

std::vector<std::string> Shown(const Script& s) {
    std::vector<std::string> shown;
    for (const std::string& line : s.log)
        if (line.rfind("show ", 0) == 0) shown.push_back(line.substr(5));
    return shown;
}

std::vector<std::string> Lines(const Script& s, const std::string& prefix) {
    std::vector<std::string> out;
    for (const std::string& line : s.log)
        if (line.rfind(prefix, 0) == 0) out.push_back(line.substr(prefix.size()));
    return out;
}

using V = std::vector<std::string>;

}  // namespace

class WizardMachineTest : public QObject {
    Q_OBJECT

    apptest::Environment env_;
    ui::RecordingUi rec_;
    std::unique_ptr<ui::ScopedUi> installed_;
    Script script_;
    wizard::PageFactory previous_;

    long Run(const std::string& calcType, long start, std::initializer_list<long> answers) {
        script_ = Script{};
        script_.answers.assign(answers);
        CZantelsPropWiz wiz;
        wiz.CalcType(calcType);
        return wiz.ShowStatWizard(start);
    }

private slots:
    void initTestCase() {
        installed_ = std::make_unique<ui::ScopedUi>(rec_);
        previous_ = wizard::SetPageFactory(
            [this](long page, QWidget*) -> CWizardPage* { return new FakePage(page, &script_); });
    }
    void cleanupTestCase() { wizard::SetPageFactory(previous_); }
    void init() { rec_.Reset(); }

    void backOnTheAnalysisPageEnds() {
        QCOMPARE(Run("Describe", 1, {1}), 0L);
        QCOMPARE(Shown(script_), V({"1 #1"}));
        QCOMPARE(Lines(script_, "unload "), V({"1"}));
    }

    void forwardToTheFinishPage() {
        // Next through every page; the finish page's Save and Run gives 1, Save or Cancel 2.
        QCOMPARE(Run("Describe", 1, {2, 2, 2, 2, 3}), 1L);
        QCOMPARE(Shown(script_), V({"1 #1", "2 #1", "3 #1", "4 #1", "50 #1"}));
        QCOMPARE(Run("Regression", 1, {2, 2, 2, 2, 2}), 2L);
        QCOMPARE(Shown(script_), V({"1 #1", "2 #1", "3 #1", "9 #1", "50 #1"}));
        QCOMPARE(Lines(script_, "unload "), V({"1", "2", "3", "9", "50"}));
        QVERIFY(rec_.boxes.empty());
    }

    void backOnTheSourcePageReturnsToTheAnalysisPage() {
        QCOMPARE(Run("ANOVA", 1, {2, 1, 2, 2, 2, 2, 2}), 2L);
        QCOMPARE(Shown(script_), V({"1 #1", "2 #1", "1 #2", "2 #2", "3 #1", "11 #1", "50 #1"}));
        QCOMPARE(Lines(script_, "new "), V({"1", "2", "3", "11", "50"}));
    }

    void backOnTheFieldsPageLeavesTheWizard() {
        QCOMPARE(Run("Describe", 1, {2, 2, 1}), 0L);
        QCOMPARE(Shown(script_), V({"1 #1", "2 #1", "3 #1"}));
    }

    void cancelEndsWithoutAQuestion() {
        QCOMPARE(Run("Describe", 1, {2, 2, 4}), 0L);
        QCOMPARE(Shown(script_), V({"1 #1", "2 #1", "3 #1"}));
        for (const char* analysis : {"Describe", "K-S Fit", "N Fields"}) {
            QCOMPARE(Run(analysis, 1, {2, 2, 2, 4}), 0L);
            QCOMPARE(Shown(script_).size(), size_t(4));
        }
        QVERIFY(rec_.boxes.empty());
    }

    void backAndForthKeepsEachWindow() {
        // Back from the finish page goes to the option page, Back from there to the fields page.
        QCOMPARE(Run("Crosstab", 1, {2, 2, 2, 2, 1, 1, 2, 2, 2}), 2L);
        QCOMPARE(Shown(script_), V({"1 #1", "2 #1", "3 #1", "10 #1", "50 #1", "10 #2", "3 #2", "10 #3", "50 #2"}));
        QCOMPARE(Lines(script_, "new "), V({"1", "2", "3", "10", "50"}));
        // Each showing is preceded by a binding of the same window.
        QCOMPARE(Lines(script_, "bind ").size(), size_t(9));
    }

    void resultsAPageDoesNotListShowItAgain() {
        // The analysis page has no Cancel; the source page neither.
        QCOMPARE(Run("Describe", 1, {4, 3, 2, 4, 2, 2, 2, 3}), 1L);
        QCOMPARE(Shown(script_), V({"1 #1", "1 #2", "1 #3", "2 #1", "2 #2", "3 #1", "4 #1", "50 #1"}));
        // The finish page takes no 4.
        QCOMPARE(Run("Describe", 50, {4, 2}), 2L);
        QCOMPARE(Shown(script_), V({"50 #1", "50 #2"}));
    }

    void jumpToTheOptionPage() {
        // The fields window is made and bound, never shown, before the option page.
        QCOMPARE(Run("Two way ANOVA", 30, {2, 3}), 1L);
        QCOMPARE(script_.log, V({"new 3", "bind 3", "new 11", "bind 11", "show 11 #1", "new 50", "bind 50",
                                 "show 50 #1", "unload 3", "unload 11", "unload 50"}));
        // Back from the option page shows the fields page, already bound.
        QCOMPARE(Run("Matrix", 30, {1, 2, 2, 2}), 2L);
        QCOMPARE(Shown(script_), V({"8 #1", "3 #1", "8 #2", "50 #1"}));
        QCOMPARE(Lines(script_, "new "), V({"3", "8", "50"}));
    }

    void jumpToTheFinishPage() {
        QCOMPARE(Run("Chi-Square", 50, {3}), 1L);
        QCOMPARE(script_.log, V({"new 3", "bind 3", "new 50", "bind 50", "show 50 #1", "unload 3", "unload 50"}));
        QCOMPARE(Run("Chi-Square", 50, {1, 2}), 2L);
        QCOMPARE(Shown(script_), V({"50 #1", "12 #1", "50 #2"}));
    }

    void analysisWithoutAnOptionPage() {
        QCOMPARE(Run("Two-Way ANOVA", 30, {}), 0L);
        QCOMPARE(rec_.boxes.size(), size_t(1));
        QCOMPARE(rec_.boxes[0].prompt, std::string("No forward yet..."));
        QCOMPARE(rec_.boxes[0].title, std::string("Quantara"));
        QCOMPARE(Shown(script_), V());
        rec_.Reset();
        QCOMPARE(Run("describe", 1, {2, 2, 2}), 0L);  // names compare with case
        QCOMPARE(Shown(script_), V({"1 #1", "2 #1", "3 #1"}));
        QCOMPARE(rec_.boxes.size(), size_t(1));
        rec_.Reset();
        QCOMPARE(Run("", 50, {1}), 0L);  // Back on the finish page
        QCOMPARE(rec_.boxes.size(), size_t(1));
    }

    void unknownStartPageEnds() {
        for (long start : {0L, wizard::kLastOptionsPage + 1, -5L, 1000L, -1L}) {
            QCOMPARE(Run("Describe", start, {}), 0L);
            QVERIFY(script_.log.empty());
        }
        QVERIFY(rec_.boxes.empty());
        QCOMPARE(Run("Describe", 99, {}), 0L);
        QCOMPARE(rec_.boxes.size(), size_t(1));
    }

    void everyOptionPageInPageOrder() {
        // Windows unload in the order analysis, source, fields, options, finish.
        QCOMPARE(Run("N Fields", 1, {2, 2, 2, 2, 1, 2, 2}), 2L);
        QCOMPARE(Lines(script_, "unload "), V({"1", "2", "3", "18", "50"}));
        for (long page = wizard::kFirstOptionsPage; page <= wizard::kLastOptionsPage; ++page)
            QCOMPARE(wizard::PageFormName(page).rfind("frmQuarn_Options_", 0), 0UL);
        QCOMPARE(wizard::PageFormName(1), std::string("frmQuarn_Create"));
        QCOMPARE(wizard::PageFormName(2), std::string("frmQuarn_SelectTable"));
        QCOMPARE(wizard::PageFormName(3), std::string("frmQuarn_Fields"));
        QCOMPARE(wizard::PageFormName(11), std::string("frmQuarn_Options_Group"));
        QCOMPARE(wizard::PageFormName(50), std::string("frmQuarn_Finish"));
        QCOMPARE(wizard::PageFormName(30), std::string());
    }
};

QTEST_MAIN(WizardMachineTest)
#include "WizardMachineTest.moc"
