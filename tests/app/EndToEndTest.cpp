// The program as a user meets it: the frame asks for a database, the example
// database is opened through the open-database dialog, and one scenario of
// each analysis of the catalogue is made in the wizard (analysis, source,
// field roles by the transfer buttons, options, output tables), saved and
// run from the list window; an analysis without a plan here fails by name. Each run leaves its result tables in the
// database with rows, and its grids open. For a describe, a regression and a
// chi-square some figures are checked against SQL on the study table, and
// the engine is also run directly on the same stored scenario into tables of
// other names: every cell must agree. Last, the regression is edited (its
// residual table given up), saved and run again over its existing table.
//
// The pages are answered by their object names as they show; a page that
// stays up after being answered, or a window nobody expects, stops the test
// with its name instead of leaving it waiting.
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QTabBar>
#include <QToolButton>
#include <QTreeWidget>
#include <QtTest>
#include "OtherProgram.h"

#include <cmath>
#include <map>
#include <vector>

#include "AppTestSupport.h"
#include "FormLookup.h"
#include "CurrentDatabase.h"
#include "ExampleDatabase.h"
#include "shell/MDIMain.h"
#include "Merivox6/Quantara.h"
#include "shell/ProgramInfo.h"
#include "forms/frmStatMain.h"
#include "shell/modMerivox.h"
#include "wizard/AnalysisCatalog.h"
#include "wizard/TransferButton.h"

namespace {

// One scenario as the user makes it. The analysis's button, family and
// options page come from the catalogue.
struct Plan {
    store::Analysis analysis;
    // Field roles: the transfer control beside the role's list, and the field.
    std::vector<std::pair<const char*, const char*>> roles;
    // Controls of the option page that the user makes checked.
    std::vector<const char*> options;
    bool secondTable;
    bool compareWithEngine;
};

const std::vector<Plan>& Plans() {
    static const std::vector<Plan> plans = {
        {store::Analysis::Describe,
         {{"cmdTX", "SystolicBefore"},
          {"cmdTX", "Cholesterol"},
          {"cmdTGroup", "Clinic"},
          {"cmdTWeight", "SurveyWeight"}},
         {"chkRange", "chkVarStd", "optMethodN1", "chkSum", "chkSkew", "chkCI", "chkCI95", "chkPercentile",
          "optPcntRadioQuartiles"},
         false,
         true},
        {store::Analysis::Frequency, {{"cmdTX", "Age"}}, {"chkFreqSum"}, false, false},
        {store::Analysis::Percentiles,
         {{"cmdTX", "Cholesterol"}, {"cmdTGroup", "Sex"}},
         {"optPcntRadioDeciles"},
         false,
         false},
        {store::Analysis::Compare,
         {{"cmdTXYDep", "SystolicAfter"}, {"cmdTXY", "SystolicBefore"}},
         {"chkCountXY", "chkMeanXY", "chkCorrXY", "chktTest"},
         false,
         false},
        {store::Analysis::Matrix,
         {{"cmdTX", "Age"}, {"cmdTX", "WeightKg"}, {"cmdTX", "Cholesterol"}},
         {"chkMCnt", "chkMCor", "chkMProb", "optMProbTail2"},
         false,
         false},
        {store::Analysis::Regression,
         {{"cmdTXYDep", "Cholesterol"}, {"cmdTXY", "Age"}, {"cmdTXY", "WeightKg"}},
         {"optRegressTypeMultiple", "chkRYInt", "chkRAnova", "chkResidual"},
         true,
         true},
        {store::Analysis::Crosstab,
         {{"cmdTGroup", "Clinic"}, {"cmdTXTabCol", "Smoker"}},
         {"optXTypeCount", "chkXRowPcnt", "chkXChi"},
         true,
         false},
        {store::Analysis::TwoSampleTTest,
         {{"cmdTCX", "SystolicAfter"}, {"cmdTCXComp", "Treatment"}},
         {"chkGroupDetail"},
         true,
         false},
        {store::Analysis::Anova,
         {{"cmdTCX", "Cholesterol"}, {"cmdTCXComp", "Clinic"}},
         {"chkGroupDetail"},
         true,
         false},
        {store::Analysis::TwoWayAnova,
         {{"cmdTAnovaDep", "Cholesterol"}, {"cmdTAnovaComp", "Treatment"}, {"cmdTAnovaComp", "Sex"}},
         {"chkGroupDetail"},
         true,
         false},
        {store::Analysis::ChiSquare,
         {{"cmdTChi", "Smoker"}, {"cmdTChi", "Sex"}, {"cmdTGroup", "Clinic"}},
         {"chkChiDetail"},
         true,
         true},
        {store::Analysis::SignTest, {{"cmdTX", "SystolicBefore"}}, {"chkSignMedian", "chkSignMean"}, false, false},
        {store::Analysis::KSFit, {{"cmdTX", "Cholesterol"}}, {"chkFitNormal"}, false, false},
        {store::Analysis::TwoSample,
         {{"cmdTCX", "Cholesterol"}, {"cmdTCXComp", "Smoker"}},
         {"optNPTwoTypeMann"},
         false,
         false},
        {store::Analysis::NSample,
         {{"cmdTCX", "Cholesterol"}, {"cmdTCXComp", "Clinic"}},
         {"chkNPKruskalDetail"},
         true,
         false},
        {store::Analysis::PairedFields,
         {{"cmdTXYDep", "SystolicAfter"}, {"cmdTXY", "SystolicBefore"}},
         {"chknPPair_Sign", "chkNPPair_Wilcoxon", "chkNPPair_Spearman"},
         false,
         false},
        {store::Analysis::NFields,
         {{"cmdTX", "SystolicBefore"}, {"cmdTX", "SystolicAfter"}, {"cmdTX", "WeightKg"}},
         {"chkNPFriedmanDetail"},
         true,
         false},
    };
    return plans;
}

// The plan of an analysis; null when Plans() has none.
const Plan* PlanOf(store::Analysis analysis) {
    for (const Plan& plan : Plans())
        if (plan.analysis == analysis) return &plan;
    return nullptr;
}

std::string SubType(const Plan& plan) { return std::string(store::AnalysisOf(plan.analysis).subType); }

template <class T>
T* Child(QWidget* w, const QString& name) {
    T* child = w->findChild<T*>(name);
    if (!child) qFatal("%s has no control %s", qPrintable(w->objectName()), qPrintable(name));
    return child;
}

void Click(QWidget* w, const QString& button) {
    auto* b = Child<QAbstractButton>(w, button);
    b->setFocus();  // as a mouse click does: the box being left stores its text first
    QTest::mouseClick(b, Qt::LeftButton);
}

// Clicks a row of a list with the mouse, as the user picks a field or a table.
void ClickRow(QTreeWidget* tree, const QString& text) {
    const QList<QTreeWidgetItem*> found = tree->findItems(text, Qt::MatchFixedString, 0);
    if (found.isEmpty()) qFatal("%s has no row %s", qPrintable(tree->objectName()), qPrintable(text));
    tree->scrollToItem(found.front());
    // On the row's first column: a row of many columns is wider than the view.
    const QRect row = tree->visualItemRect(found.front());
    const QPoint at(row.left() + 10, row.center().y());
    QTest::mouseClick(tree->viewport(), Qt::LeftButton, {}, at);
    if (tree->currentItem() != found.front())
        qFatal("clicking %s did not highlight it in %s", qPrintable(text), qPrintable(tree->objectName()));
}

struct Cell {
    bool numeric;
    double number;
    std::string text;
};

bool IsNumber(const vb::Variant& v) {
    switch (v.Type()) {
        case vb::vbInteger:
        case vb::vbLong:
        case vb::vbSingle:
        case vb::vbDouble:
        case vb::vbCurrency:
        case vb::vbDecimal:
        case vb::vbBoolean:
            return true;
        default:
            return false;
    }
}

}  // namespace

class EndToEndTest : public QObject {
    Q_OBJECT

    apptest::Environment env_;
    ui::RecordingUi rec_;
    std::unique_ptr<ui::ScopedUi> installed_;
    std::shared_ptr<CErr_Zelk> stack_;
    QPointer<MDIMain> frame_;
    std::string path_;

    // The answers for the windows of the scenario under way, by object name.
    std::map<QString, std::function<void(QWidget*)>> answers_;
    std::map<QString, int> answered_;
    std::unique_ptr<apptest::EveryModalNamed> driver_;
    int answersGiven_ = 0;
    // What the finish page showed.
    std::string output1_, output2_;
    // The scenarios made, by analysis.
    std::map<std::string, long> made_;

    dao::DatabasePtr Db() { return store::CurrentDatabase(); }

    long Count(const std::string& table, const std::string& where = "") {
        dao::RecordsetPtr rs = Db()->OpenRecordset("SELECT Count(*) AS n FROM [" + table + "]" + where);
        const long n = rs->Fields(0)->Value().ToLong();
        rs->Close();
        return n;
    }
    // The first value of a query on the source table, as a number.
    double Sql(const std::string& sql) {
        dao::RecordsetPtr rs = Db()->OpenRecordset(sql, dao::dbOpenSnapshot);
        const double v = rs->Fields(0)->Value().ToDouble();
        rs->Close();
        return v;
    }
    static std::string Quoted(const std::string& text) { return "'" + text + "'"; }

    // Figures of the results that SQL on the study table gives as well.
    void CheckAgainstTheData(const Plan& plan) {
        const std::string from = std::string(" FROM [") + example::kDataTable + "]";
        if (plan.analysis == store::Analysis::Describe) {
            dao::RecordsetPtr rs = Db()->OpenRecordset("SELECT * FROM [" + output1_ + "]", dao::dbOpenSnapshot);
            int rows = 0;
            for (; !rs->Eof(); rs->MoveNext(), ++rows) {
                const std::string clinic = rs->Fields("Clinic")->Value().ToString();
                const std::string field = rs->Fields("DataField")->Value().ToString();
                const std::string where = " WHERE Clinic = " + Quoted(clinic) + " AND [" + field + "] IS NOT NULL";
                QCOMPARE(rs->Fields("Observations")->Value().ToDouble(), Sql("SELECT Count(*)" + from + where));
                QCOMPARE(rs->Fields("Minimum")->Value().ToDouble(), Sql("SELECT Min([" + field + "])" + from + where));
                QCOMPARE(rs->Fields("Maximum")->Value().ToDouble(), Sql("SELECT Max([" + field + "])" + from + where));
            }
            rs->Close();
            QCOMPARE(rows, 10);  // five clinics, two fields
        } else if (plan.analysis == store::Analysis::Regression) {
            QCOMPARE(Sql("SELECT Count_of_Cholesterol FROM [" + output1_ + "]"),
                     Sql("SELECT Count(*)" + from +
                         " WHERE Cholesterol IS NOT NULL AND Age IS NOT NULL AND WeightKg IS NOT NULL"));
            QCOMPARE(long(Sql("SELECT Count(*) FROM [" + output2_ + "]")),
                     long(Sql("SELECT Count_of_Cholesterol FROM [" + output1_ + "]")));
        } else if (plan.analysis == store::Analysis::ChiSquare) {
            dao::RecordsetPtr rs = Db()->OpenRecordset("SELECT * FROM [" + output2_ + "]", dao::dbOpenSnapshot);
            int rows = 0;
            for (; !rs->Eof(); rs->MoveNext(), ++rows) {
                const std::string clinic = rs->Fields("Clinic")->Value().ToString();
                const std::string field = rs->Fields("Compare_Field")->Value().ToString();
                const std::string value = rs->Fields("Compare_Value")->Value().ToString();
                QCOMPARE(rs->Fields("Observed")->Value().ToDouble(),
                         Sql("SELECT Count(*)" + from + " WHERE Clinic = " + Quoted(clinic) + " AND [" + field +
                             "] = " + Quoted(value)));
            }
            rs->Close();
            QCOMPARE(rows, 20);  // five clinics, two values of each of two fields
        }
    }

    vb::Variant Stored(const std::string& column, long id, const std::string& table = "usysQuarnScenarios") {
        dao::RecordsetPtr rs = Db()->OpenRecordset("SELECT [" + column + "] FROM [" + table +
                                                   "] WHERE Scenario_ID = " + std::to_string(id));
        vb::Variant v = rs->Eof() ? vb::Variant::Null() : rs->Fields(0)->Value();
        rs->Close();
        return v;
    }
    long LastScenario() {
        dao::RecordsetPtr rs = Db()->OpenRecordset("SELECT Max(Scenario_ID) AS id FROM [usysQuarnScenarios]");
        const vb::Variant v = rs->Fields(0)->Value();
        rs->Close();
        return v.IsNull() ? 0 : v.ToLong();
    }
    std::vector<std::string> Columns(const std::string& table) {
        std::vector<std::string> names;
        Db()->TableDefs()->Refresh();
        const dao::TableDefPtr def = Db()->TableDefs()->Item(table);
        const dao::FieldsPtr fields = def->Fields();
        for (const dao::FieldPtr& f : *fields) names.push_back(f->Name());
        return names;
    }
    std::vector<std::vector<Cell>> Cells(const std::string& table) {
        std::vector<std::vector<Cell>> rows;
        dao::RecordsetPtr rs = Db()->OpenRecordset("SELECT * FROM [" + table + "] ORDER BY rowid", dao::dbOpenSnapshot);
        for (; !rs->Eof(); rs->MoveNext()) {
            std::vector<Cell> row;
            for (const dao::FieldPtr& f : *rs->Fields()) {
                const vb::Variant v = f->Value();
                if (IsNumber(v))
                    row.push_back({true, v.ToDouble(), {}});
                else
                    row.push_back({false, 0.0, v.IsNull() ? std::string("<Null>") : v.ToString()});
            }
            rows.push_back(row);
        }
        rs->Close();
        return rows;
    }

    // Acts on each modal window as it comes up; a window without an answer,
    // or one still up a while after its answer, ends the test.
    void Drive(QWidget* modal) {
        const QString name = modal->objectName();
        if (name == "frmStatus") return;  // modal while a run lasts; it asks nothing
        auto answer = answers_.find(name);
        if (answer == answers_.end())
            qFatal("unexpected window %s (\"%s\")", qPrintable(name), qPrintable(modal->windowTitle()));
        ++answered_[name];
        const int given = ++answersGiven_;
        answer->second(modal);
        // Up still, with nothing else answered since: the answer did not take.
        QTimer::singleShot(5000, this, [this, window = QPointer<QWidget>(modal), given] {
            if (window && window->isVisible() && QApplication::activeModalWidget() == window && answersGiven_ == given)
                qFatal("%s stays up after its answer; last message: %s", qPrintable(window->objectName()),
                       rec_.boxes.empty() ? "none" : rec_.boxes.back().prompt.c_str());
        });
    }

    // The wizard's answers for one plan.
    void AnswerWizard(const Plan& plan) {
        answers_.clear();
        answered_.clear();
        answers_["frmQuarn_Create"] = [plan](QWidget* page) {
            // The analysis's button, by its caption.
            const QString caption(catalog::Entry(plan.analysis).caption);
            QRadioButton* choice = nullptr;
            for (QRadioButton* b : page->findChildren<QRadioButton*>())
                if (b->text() == caption) choice = b;
            if (!choice) qFatal("no button %s", qPrintable(caption));
            QTest::mouseClick(choice, Qt::LeftButton, {}, QPoint(6, choice->height() / 2));
            if (!choice->isChecked()) qFatal("the analysis %s was not chosen", SubType(plan).c_str());
            Click(page, "cmdNav_2");
        };
        answers_["frmQuarn_SelectTable"] = [](QWidget* page) {
            ClickRow(Child<QTreeWidget>(page, "lvwTableQuery"), example::kDataTable);
            if (Child<QLineEdit>(page, "txtTable")->text() != example::kDataTable)
                qFatal("the source box does not show the table clicked");
            Click(page, "cmdNav_2");
        };
        answers_["frmQuarn_Fields"] = [plan](QWidget* page) {
            auto* available = Child<QTreeWidget>(page, "lvwAvailableFields");
            for (const auto& [transfer, field] : plan.roles) {
                ClickRow(available, field);
                QTest::mouseClick(Child<TransferButton>(page, transfer)->Button(1), Qt::LeftButton);
                if (!available->findItems(field, Qt::MatchFixedString, 0).isEmpty())
                    qFatal("%s still available after %s", field, transfer);
            }
            Type(page, "txtScenario_Description", QString("End to end: %1").arg(SubType(plan).c_str()));
            Click(page, "cmdNav_2");
        };
        answers_[catalog::Entry(plan.analysis).optionsForm] = [plan](QWidget* page) {
            for (const char* name : plan.options) {
                auto* option = Child<QAbstractButton>(page, name);
                if (!option->isEnabled()) qFatal("%s is not enabled", name);
                if (!option->isChecked())
                    QTest::mouseClick(option, Qt::LeftButton, {}, QPoint(6, option->height() / 2));
                if (!option->isChecked()) qFatal("%s did not take the click", name);
            }
            Click(page, "cmdNav_2");
        };
        answers_["frmQuarn_Finish"] = [this](QWidget* page) {
            output1_ = Child<QLineEdit>(page, "txtScenario_Output_Table1_Name")->text().toStdString();
            auto* second = Child<QLineEdit>(page, "txtScenario_Output_Table2_Name");
            output2_ = second->isVisibleTo(page) ? second->text().toStdString() : std::string();
            Click(page, "cmdNav_4");  // Save and Run
        };
    }

    static void Type(QWidget* page, const char* box, const QString& text) {
        auto* edit = Child<QLineEdit>(page, box);
        edit->setFocus();
        edit->selectAll();
        QTest::keyClicks(edit, text);
    }

    // Runs the engine itself on the stored scenario into tables of other
    // names and compares every cell with what the program's run wrote.
    void CompareWithEngine(long id, const Plan& plan) {
        const std::string direct1 = "Direct " + output1_;
        const std::string direct2 = plan.secondTable ? "Direct " + output2_ : std::string();
        Quantara engine;
        engine.putref_ScenarioDatabase(Db());
        const vb::Variant none = vb::Variant::Missing();
        const bool ran = engine.RunScenario(
            static_cast<int32_t>(id), none, none, none, none, none, none, none, vb::Variant(direct1),
            plan.secondTable ? vb::Variant(direct2) : vb::Variant::Missing(), vb::Variant(false), vb::Variant(false));
        QVERIFY2(ran, engine.get_ErrorInfo().c_str());
        std::vector<std::pair<std::string, std::string>> pairs = {{output1_, direct1}};
        if (plan.secondTable) pairs.push_back({output2_, direct2});
        for (const auto& [program, direct] : pairs) {
            QVERIFY2(Columns(program) == Columns(direct), program.c_str());
            const auto a = Cells(program);
            const auto b = Cells(direct);
            QVERIFY2(!a.empty(), program.c_str());
            QCOMPARE(a.size(), b.size());
            int numbers = 0;
            for (size_t r = 0; r < a.size(); ++r) {
                QCOMPARE(a[r].size(), b[r].size());
                for (size_t c = 0; c < a[r].size(); ++c) {
                    const Cell& x = a[r][c];
                    const Cell& y = b[r][c];
                    const QString where = QString("%1 row %2 column %3")
                                              .arg(QString::fromStdString(program))
                                              .arg(r + 1)
                                              .arg(QString::fromStdString(Columns(program)[c]));
                    QVERIFY2(x.numeric == y.numeric, qPrintable(where));
                    if (x.numeric) {
                        ++numbers;
                        QVERIFY2(
                            std::abs(x.number - y.number) <= 1e-12 * std::max(1.0, std::abs(y.number)),
                            qPrintable(where +
                                       QString(": %1 against %2").arg(x.number, 0, 'g', 17).arg(y.number, 0, 'g', 17)));
                    } else {
                        QVERIFY2(x.text == y.text, qPrintable(where));
                    }
                }
            }
            QVERIFY2(numbers > 0, program.c_str());
        }
    }

private slots:
    void initTestCase() {
        installed_ = std::make_unique<ui::ScopedUi>(rec_);
        stack_ = std::make_shared<CErr_Zelk>();
        stack_->DisplayError(false);
        stack_->Destination(vb::Variant(program::ErrorLogPath()));
        SetErrStack(stack_);
        path_ = env_.Path().toStdString() + "/study.db";
        example::BuildExampleDatabase(path_);
        driver_ = std::make_unique<apptest::EveryModalNamed>(QString(), [this](QWidget* modal) { Drive(modal); });
    }

    void cleanupTestCase() {
        driver_.reset();
        answers_.clear();
        if (frame_) delete frame_.data();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        if (auto db = store::CurrentDatabase()) db->Close();
        store::ClearCurrentDatabase();
        SetErrStack(nullptr);
    }

    void opensTheExampleDatabaseThroughItsDialog() {
        answers_["frmOpenDatabase"] = [this](QWidget* dialog) {
            Child<QComboBox>(dialog, "cboDatabase")->setEditText(QString::fromStdString(path_));
            Click(dialog, "cmdOK");
        };
        frame_ = new MDIMain;
        frame_->Load();
        QCOMPARE(answered_["frmOpenDatabase"], 1);
        answers_.clear();
        QVERIFY(rec_.boxes.empty());
        QVERIFY(Db());
        QCOMPARE(frame_->DatabasePath(), QString::fromStdString(path_));
        QVERIFY(FindForm("frmStatMain"));
        QCOMPARE(LastScenario(), 5L);
    }

    void everyAnalysisIsMadeSavedAndRunFromTheWizard_data() {
        QTest::addColumn<int>("plan");
        // Every analysis of the catalogue.
        for (const store::AnalysisDef& a : store::kAnalysisList)
            QTest::newRow(std::string(a.subType).c_str()) << int(a.id);
    }

    void everyAnalysisIsMadeSavedAndRunFromTheWizard() {
        QFETCH(int, plan);
        const auto analysis = static_cast<store::Analysis>(plan);
        const Plan* planned = PlanOf(analysis);
        if (!planned)
            QFAIL(qPrintable(QString("no plan for the analysis \"%1\": give it field roles and options in Plans()")
                                 .arg(std::string(store::AnalysisOf(analysis).subType).c_str())));
        const Plan& p = *planned;
        auto* list = qobject_cast<frmStatMain*>(FindForm("frmStatMain"));
        QVERIFY(list);
        rec_.Reset();
        const long before = LastScenario();
        output1_.clear();
        output2_.clear();

        AnswerWizard(p);
        Click(list, "cmdAction_0");  // New
        for (const QString& page :
             {QString("frmQuarn_Create"), QString("frmQuarn_SelectTable"), QString("frmQuarn_Fields"),
              QString(catalog::Entry(p.analysis).optionsForm), QString("frmQuarn_Finish")})
            QVERIFY2(answered_[page] == 1, qPrintable(page));
        answers_.clear();
        QVERIFY2(rec_.boxes.empty(), rec_.boxes.empty() ? "" : rec_.boxes.front().prompt.c_str());
        QVERIFY2(stack_->ErrNumber() == 0, stack_->ErrDescription().c_str());

        // Saved as chosen.
        const long id = LastScenario();
        QCOMPARE(id, before + 1);
        QCOMPARE(Stored("Scenario_Analysis_SubType", id).ToString(), SubType(p));
        QCOMPARE(Stored("Scenario_Analysis_Type", id).ToString(), std::string(store::AnalysisOf(analysis).family));
        QCOMPARE(Stored("Scenario_Input_Table_Name", id).ToString(), std::string(example::kDataTable));
        QCOMPARE(Stored("Scenario_Description", id).ToString(), "End to end: " + SubType(p));
        QCOMPARE(Stored("Scenario_Output_Table1_Name", id).ToString(), output1_);
        QVERIFY(!output1_.empty());
        QCOMPARE(p.secondTable, !output2_.empty());
        QCOMPARE(Count("usysQuarnFields", " WHERE Scenario_ID = " + std::to_string(id)), long(p.roles.size()));

        // Run: the result tables are there with rows, and their grids are open.
        for (const std::string& table : {output1_, output2_}) {
            if (table.empty()) continue;
            QVERIFY2(TableExists(Db(), table), table.c_str());
            QVERIFY2(Count(table) > 0, table.c_str());
            bool shown = false;
            for (QMdiSubWindow* sub : frame_->MdiArea()->subWindowList())
                shown = shown ||
                        (sub->widget() && sub->widget()->windowTitle().endsWith(": " + QString::fromStdString(table)));
            QVERIFY2(shown, table.c_str());
        }
        // The list shows the new scenario, selected.
        auto info = list->GetScenarioInfo();
        QVERIFY(info);
        QCOMPARE(info->ScenarioID(), std::to_string(id));

        made_[SubType(p)] = id;
        if (p.compareWithEngine) {
            CheckAgainstTheData(p);
            CompareWithEngine(id, p);
        }
    }
    void anEditedScenarioIsSavedAndRunWithItsNewOptions() {
        // The regression made above: its residual table is given up.
        QVERIFY(made_.count("Regression"));
        const long id = made_["Regression"];
        auto* list = qobject_cast<frmStatMain*>(FindForm("frmStatMain"));
        QVERIFY(list);
        // The list comes forward, as when the user clicks its window.
        QApplication::setActiveWindow(frame_);
        frame_->MdiArea()->setActiveSubWindow(qobject_cast<QMdiSubWindow*>(list->parentWidget()));
        auto* tabs = Child<QTabBar>(list, "tabMain");
        QTest::mouseClick(tabs, Qt::LeftButton, {}, tabs->tabRect(0).center());
        QCOMPARE(list->ScenTypeMain(), std::string("P"));
        // Every parametric scenario, whichever analysis was made last.
        auto* all = Child<QRadioButton>(list, "optParAnalysisType_1");
        QTest::mouseClick(all, Qt::LeftButton, {}, QPoint(6, all->height() / 2));
        ClickRow(Child<QTreeWidget>(list, "lvwScenarios"), QString::number(id));
        rec_.Reset();
        rec_.Script(ui::vbYes);  // overwrite the tables of the first run

        answers_.clear();
        answered_.clear();
        answers_["frmQuarn_Fields"] = [](QWidget* page) {
            // The stored roles are back in their lists.
            if (Child<QListWidget>(page, "lisDependentField_3")->count() != 1 ||
                Child<QListWidget>(page, "lisIndependentFields_3")->count() != 2)
                qFatal("the stored field roles were not loaded");
            Click(page, "cmdNav_2");
        };
        answers_["frmQuarn_Options_Regress"] = [](QWidget* page) {
            auto* residual = Child<QCheckBox>(page, "chkResidual");
            if (!residual->isChecked() || !Child<QRadioButton>(page, "optRegressTypeMultiple")->isChecked())
                qFatal("the stored options were not loaded");
            QTest::mouseClick(residual, Qt::LeftButton, {}, QPoint(6, residual->height() / 2));
            Click(page, "cmdNav_2");
        };
        answers_["frmQuarn_Finish"] = [this](QWidget* page) {
            output1_ = Child<QLineEdit>(page, "txtScenario_Output_Table1_Name")->text().toStdString();
            auto* second = Child<QLineEdit>(page, "txtScenario_Output_Table2_Name");
            output2_ = second->isVisibleTo(page) ? second->text().toStdString() : std::string();
            Click(page, "cmdNav_4");  // Save and Run
        };
        const long rowsBefore = Count("Brux_Regression");
        Click(list, "cmdAction_1");  // Edit
        answers_.clear();
        for (const char* page : {"frmQuarn_Fields", "frmQuarn_Options_Regress", "frmQuarn_Finish"})
            QVERIFY2(answered_[page] == 1, page);
        QVERIFY2(stack_->ErrNumber() == 0, stack_->ErrDescription().c_str());
        QCOMPARE(output1_, std::string("Brux_Regression"));
        QCOMPARE(output2_, std::string());  // no second table without residuals

        QVERIFY(!Stored("Residual", id, "usysQuarnOptions").ToBool());
        QCOMPARE(Stored("Scenario_Output_Table2_Name", id).IsNull()
                     ? std::string()
                     : Stored("Scenario_Output_Table2_Name", id).ToString(),
                 std::string());
        // The run asked about the one table it writes, and wrote it afresh.
        QCOMPARE(rec_.boxes.size(), size_t(1));
        QCOMPARE(rec_.boxes[0].prompt,
                 std::string("The following output table(s) already exist in the current database. Do you want to "
                             "overwrite them?\r\n\r\nBrux_Regression"));
        QCOMPARE(Count("Brux_Regression"), rowsBefore);
        QCOMPARE(Sql("SELECT Count_of_Cholesterol FROM [Brux_Regression]"),
                 Sql(std::string("SELECT Count(*) FROM [") + example::kDataTable +
                     "] WHERE Cholesterol IS NOT NULL AND Age IS NOT NULL AND WeightKg IS NOT NULL"));
        auto info = list->GetScenarioInfo();
        QVERIFY(info);
        QCOMPARE(info->ScenarioID(), std::to_string(id));
        QCOMPARE(info->OutputTable2(), std::string());
    }

    // With the scenario list and every run's grids open, the program idle,
    // another program writes to the file (a rollback-journal file, where any
    // read left open would hold it off) without waiting.
    void anotherProgramWritesWhileTheResultsAreShown() {
        QVERIFY(frame_->MdiArea()->subWindowList().size() > 10);
        QApplication::processEvents();
        apptest::OtherProgram other(path_, 100);
        QCOMPARE(other.OpenResult(), SQLITE_OK);
        QVERIFY2(other.Exec("CREATE TABLE other_program(x)") == SQLITE_OK, other.Error().c_str());
    }
};

QTEST_MAIN(EndToEndTest)
#include "EndToEndTest.moc"
