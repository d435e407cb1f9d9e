// The analysis choice page and the finish page on their own (captions,
// binding, defaults and labels for every analysis, the three ways to close),
// then New and Edit from start to end with the program's pages: a Describe
// scenario made with every default and saved, an edited one saved, a save
// that fails keeping the page open, and Save and Run leading to a real run.
#include <QAbstractButton>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QLayout>
#include <QRadioButton>
#include <QToolButton>
#include <QTreeWidget>
#include <QPointer>
#include <QRegularExpression>
#include <QtTest>
#include <algorithm>
#include <filesystem>
#include <map>
#include <set>

#include "AppTestSupport.h"
#include "FormLookup.h"
#include "CurrentDatabase.h"
#include "Merivox6/Quantara.h"
#include "shell/ProgramInfo.h"
#include "ProgramSettings.h"
#include "ScenarioTables.h"
#include "forms/frmHelp.h"
#include "services/HelpTopics.h"
#include "shell/modMerivox.h"
#include "wizard/AnalysisCatalog.h"
#include "wizard/CZantelsPropWiz.h"
#include "wizard/ScenarioCommands.h"
#include "wizard/WizardPage.h"
#include "wizard/frmQuarn_Create.h"
#include "wizard/TransferButton.h"
#include "wizard/frmQuarn_Finish.h"

namespace {

// Neither helper needs the focus or the page's window to be active: the
// pages commit their boxes on every way out.
void Click(QWidget* page, const char* button) {
    auto* b = page->findChild<QAbstractButton*>(button);
    if (!b) qFatal("no button %s", button);
    QTest::mouseClick(b, Qt::LeftButton);
}

// Replaces the box's text with keystrokes.
void Type(QWidget* page, const char* box, const QString& text) {
    auto* edit = page->findChild<QLineEdit*>(box);
    edit->selectAll();
    QTest::keyClick(edit, Qt::Key_Delete);
    QTest::keyClicks(edit, text);
}

QString Text(QWidget* page, const char* name) {
    if (auto* label = page->findChild<QLabel*>(name)) return label->text();
    if (auto* edit = page->findChild<QLineEdit*>(name)) return edit->text();
    if (auto* frame = page->findChild<QGroupBox*>(name)) return frame->title();
    if (auto* button = page->findChild<QAbstractButton*>(name)) return button->text();
    return "<none>";
}

// Passes the source page (the table Study), the field roles page (its
// first field as the value) and Describe's option page, then acts on the
// finish page.
void ThroughSourceAndFields(std::function<void(QWidget*)> finish) {
    apptest::WhenModalNamed("frmQuarn_SelectTable", [finish](QWidget* select) {
        apptest::WhenModalNamed("frmQuarn_Fields", [finish](QWidget* fields) {
            apptest::WhenModalNamed("frmQuarn_Options_Describe", [finish](QWidget* options) {
                apptest::WhenModalNamed("frmQuarn_Finish", finish);
                Click(options, "cmdNav_2");
            });
            auto* available = fields->findChild<QTreeWidget*>("lvwAvailableFields");
            available->setCurrentItem(available->topLevelItem(0));
            available->topLevelItem(0)->setSelected(true);
            fields->findChild<TransferButton*>("cmdTX")->Button(1)->click();
            Click(fields, "cmdNav_2");
        });
        select->findChild<QLineEdit*>("txtTable")->setText("Study");
        Click(select, "cmdNav_2");
    });
}

}  // namespace

class WizardPagesTest : public QObject {
    Q_OBJECT

    apptest::Environment env_;
    ui::RecordingUi rec_;
    std::unique_ptr<ui::ScopedUi> installed_;
    std::shared_ptr<CErr_Zelk> stack_;

    // The text of the last message box, or "" when none was shown.
    std::string LastPrompt() const { return rec_.boxes.empty() ? std::string() : rec_.boxes.back().prompt; }
    dao::WorkspacePtr ws_;
    dao::DatabasePtr db_;
    int counter_ = 0;

    void OpenDatabase(const std::string& path) {
        ws_ = dao::DBEngine().Workspaces(0);
        db_ = ws_->OpenDatabase(path);
        store::SetCurrentDatabase(ws_, db_);
    }
    void NewDatabase() {
        const std::string path = env_.Path().toStdString() + "/pages" + std::to_string(++counter_) + ".db";
        ws_ = dao::DBEngine().Workspaces(0);
        db_ = ws_->CreateDatabase(path);
        store::SetCurrentDatabase(ws_, db_);
        QVERIFY(store::CreateScenarioTables());
        dao::TableDefPtr study = db_->CreateTableDef("Study");
        study->Fields()->Append(study->CreateField("Age", dao::dbDouble));
        db_->TableDefs()->Append(study);
    }
    // A copy of the example database, with its five scenarios and the study table.
    void ExampleDatabase() {
        const std::string path = env_.Path().toStdString() + "/example" + std::to_string(++counter_) + ".db";
        std::filesystem::copy_file(MERIVOX_BIN_DIR "/../examples/example.db", path,
                                   std::filesystem::copy_options::overwrite_existing);
        OpenDatabase(path);
    }
    int Count(const std::string& table, const std::string& where = {}) {
        auto rs =
            db_->OpenRecordset("SELECT Count(*) AS N FROM [" + table + "]" + (where.empty() ? "" : " WHERE " + where),
                               dao::dbOpenSnapshot);
        return rs->Fields(0)->Value().ToLong();
    }
    vb::Variant Stored(const std::string& table, const std::string& column, long id) {
        auto rs = db_->OpenRecordset("SELECT * FROM [" + table + "] WHERE Scenario_ID = " + std::to_string(id),
                                     dao::dbOpenSnapshot);
        return rs->Eof() ? vb::Variant(std::string("<no row>")) : rs->Fields(column)->Value();
    }

private slots:
    void initTestCase() { installed_ = std::make_unique<ui::ScopedUi>(rec_); }
    void init() {
        env_.ClearSettings();
        rec_.Reset();
        stack_ = std::make_shared<CErr_Zelk>();
        stack_->DisplayError(false);
        stack_->Destination(vb::Variant(env_.Path().toStdString() + "/error.log"));
        SetErrStack(stack_);
        NewDatabase();
    }
    void cleanup() {
        apptest::CheckModalAnswersUsed();
        store::ClearCurrentDatabase();
        if (db_) db_->Close();
        db_.reset();
        SetErrStack(nullptr);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    void analysisPageCaptionsAndChoice() {
        frmQuarn_Create page;
        QCOMPARE(page.windowTitle(), QString("Zelk Statistics -- Select Analysis Type"));
        // 445 by 410 pixels, or taller: every analysis's button at its own height at least.
        QCOMPARE(page.width(), 445);
        QVERIFY(page.height() >= 410);
        QVERIFY2(page.layout()->minimumSize().height() <= page.height(),
                 qPrintable(QString("frmQuarn_Create (app/wizard/frmQuarn_Create.cpp) squeezes its %1 analysis "
                                    "buttons: they want %2 pixels, the page is %3 high")
                                .arg(page.findChildren<QRadioButton*>().size())
                                .arg(page.layout()->minimumSize().height())
                                .arg(page.height())));
        QCOMPARE(Text(&page, "fraType"), QString("Analysis Type"));
        QCOMPARE(Text(&page, "lblTypes_0"), QString("Parametric"));
        QCOMPARE(Text(&page, "lblTypes_1"), QString("Group"));
        QCOMPARE(Text(&page, "lblTypes_2"), QString("Non-Parametric"));
        QCOMPARE(Text(&page, "cmdNav_0"), QString("Help"));
        QCOMPARE(Text(&page, "cmdNav_1"), QString("< &Back"));
        QCOMPARE(Text(&page, "cmdNav_2"), QString("&Next >"));
        QVERIFY(!page.findChild<QWidget*>("cmdNav_4"));
        // One button per analysis of the catalogue, numbered by family (from
        // 1, 20 and 30) in the list's order; a click chooses the analysis and
        // its family.
        QCOMPARE(page.findChildren<QRadioButton*>().size(), qsizetype(store::kAnalysisList.size()));
        QCOMPARE(Text(&page, "optType_1"), QString("&Describe"));
        QCOMPARE(Text(&page, "optType_20"), QString("&Two Sample t-Test"));
        QCOMPARE(Text(&page, "optType_36"), QString("N Fie&lds"));

        CZantelsPropWiz w;
        page.Wiz(&w);  // a fresh object: Describe chosen and written
        QVERIFY(page.findChild<QRadioButton*>("optType_1")->isChecked());
        QCOMPARE(w.CalcType(), std::string("Describe"));
        QCOMPARE(w.Scenario_Type(), std::string("P"));
        page.show();
        std::map<std::string_view, int> button = {{"P", 1}, {"G", 20}, {"N", 30}};
        for (const store::AnalysisDef& a : store::kAnalysisList) {
            auto* b = page.findChild<QRadioButton*>(QString("optType_%1").arg(button[a.family]++));
            QVERIFY2(b, a.subType.data());
            QCOMPARE(b->text(), QString(catalog::Entry(a.id).caption));
            QTest::mouseClick(b, Qt::LeftButton, {}, QPoint(5, b->height() / 2));
            QCOMPARE(w.CalcType(), std::string(a.subType));
            QCOMPARE(w.Scenario_Type(), std::string(a.family));
        }
        QVERIFY(!w.Changed());

        // Binding again marks the stored choice and writes nothing.
        CZantelsPropWiz other;
        other.CalcType("Chi-Square");
        frmQuarn_Create second;
        second.Wiz(&other);
        QVERIFY(second.findChild<QRadioButton*>("optType_30")->isChecked());
        QCOMPARE(other.Scenario_Type(), std::string());  // not written by marking
        // A name in another letter case matches none: Describe is written.
        CZantelsPropWiz lower;
        lower.CalcType("describe");
        frmQuarn_Create third;
        third.Wiz(&lower);
        QCOMPARE(lower.CalcType(), std::string("Describe"));
        QCOMPARE(lower.Scenario_Type(), std::string("P"));

        // Only Back and Next are results of this page.
        page.NavResult(2);
        page.NavResult(4);
        QCOMPARE(page.NavResult(), 2L);
        Click(&page, "cmdNav_1");
        QCOMPARE(page.NavResult(), 1L);
        QVERIFY(page.isHidden());
    }

    void finishPageDefaultsAndLabelsForEveryAnalysis() {
        struct Expect {
            const char* calcType;
            const char* label1;
            const char* name1;
            const char* label2;  // with the second table on
            const char* name2;
            const char* option;  // the option that brings the second table; "" none
        };
        const Expect all[] = {
            {"Describe", "Describe", "Describe", "", "", ""},
            {"Frequency", "Freqency", "Frequency", "", "", ""},
            {"Percentiles", "Percentiles", "Percentiles", "", "", ""},
            {"Compare", "Compare", "Compare", "", "", ""},
            {"Matrix", "Matrix", "Matrix", "", "", ""},
            {"Regression", "Regression", "Regression", "Residual", "Residual", "Residual"},
            {"Crosstab", "Crosstab", "Crosstab", "Crosstab Chi-Square", "Crosstab Chi-Square", "XChi"},
            {"Two Sample t-Test", "Two Sample t-Test", "Two Sample t-Test", "Two Sample t-Test Details",
             "Two Sample t-Test Details", "GroupDetail"},
            {"ANOVA", "ANOVA", "ANOVA", "ANOVA Details", "ANOVA Details", "GroupDetail"},
            {"Two way ANOVA", "Two Way ANOVA", "Two Way ANOVA", "Two Way ANOVA Details", "Two Way ANOVA Details",
             "GroupDetail"},
            {"Chi-Square", "Chi-Square", "Chi-Square", "Chi-Square Details", "Chi-Square Details", "ChiDetail"},
            {"Sign Test", "SignTest", "SignTest", "", "", ""},
            {"K-S Fit", "K-S Fit", "K-S Fit", "", "", ""},
            {"2 Sample", "2 Sample", "2 Sample", "", "", ""},
            {"N Sample", "N Sample Kruskal", "N Sample Kruskal", "N Sample Kruskal Details", "N Sample Kruskal Details",
             "NPKruskalDetail"},
            {"Paired Fields", "PairedFields", "PairedFields", "", "", ""},
            {"N Fields", "N Fields Friedman", "N Fields Friedman", "N Fields Friedman Details",
             "N Fields Friedman Details", "NPFriedmanDetail"},
            {"Unknown", "", "", "", "", ""},
        };
        for (const store::AnalysisDef& a : store::Analyses()) {
            const bool listed =
                std::any_of(std::begin(all), std::end(all), [&](const Expect& e) { return e.calcType == a.subType; });
            QVERIFY2(listed, qPrintable(QString("finishPageDefaultsAndLabelsForEveryAnalysis has no row for %1: "
                                                "add its labels and names")
                                            .arg(QString::fromUtf8(a.subType.data(), a.subType.size()))));
        }
        // Every second-table option of the catalogue, switched on only for its own analysis.
        std::set<std::string_view> secondTables;
        for (const store::AnalysisDef& a : store::Analyses())
            if (!a.secondTable.empty()) secondTables.insert(a.secondTable);
        for (const Expect& e : all) {
            for (bool second : {false, true}) {
                CZantelsPropWiz w;
                w.SetNewScenario("P", e.calcType);
                for (std::string_view option : secondTables)
                    w.SetProperty(option, vb::Variant(second && option == e.option));
                frmQuarn_Finish page;
                page.Wiz(&w);
                const bool applies = second && *e.option;
                QCOMPARE(page.windowTitle(), QString("Zelk Statistics Output Tables and Description"));
                QCOMPARE(Text(&page, "txtAnalysisType"), QString(e.calcType));
                QCOMPARE(Text(&page, "lblScenario_Output_Table1_Name"),
                         QString("Name for %1 output table: ").arg(e.label1));
                QCOMPARE(Text(&page, "txtScenario_Output_Table1_Name"),
                         *e.name1 ? QString("Brux_") + e.name1 : QString());
                QCOMPARE(page.findChild<QWidget*>("lblScenario_Output_Table2_Name")->isHidden(), !applies);
                QCOMPARE(page.findChild<QWidget*>("txtScenario_Output_Table2_Name")->isHidden(), !applies);
                QCOMPARE(Text(&page, "fraOutputTables"), applies ? QString("Output Tables") : QString("Output Table"));
                QCOMPARE(Text(&page, "txtScenario_Output_Table2_Name"),
                         applies ? QString("Brux_") + e.name2 : QString());
                if (applies)
                    QCOMPARE(Text(&page, "lblScenario_Output_Table2_Name"),
                             QString("Name for %1 output table: ").arg(e.label2));
                // Shown only: the defaults are not in the object until saved.
                QCOMPARE(w.OutputTable1(), std::string());
            }
        }
        // Crosstab: the chi-square table only for types within "CS".
        for (const char* type : {"C", "S", "CS", "", "A", "SC"}) {
            CZantelsPropWiz w;
            w.SetNewScenario("P", "Crosstab");
            w.XChi(true);
            w.XType(type);
            QVERIFY(frmQuarn_Finish::SecondTableApplies(w) == (std::string("CS").find(type) != std::string::npos));
        }
    }

    void finishPageKeepsNamesAndReadsThePrefix() {
        frmQuarn_Finish probe;
        QCOMPARE(probe.findChild<QLineEdit*>("txtDescription")->maxLength(), 255);
        QCOMPARE(probe.findChild<QLineEdit*>("txtScenario_Output_Table1_Name")->maxLength(), 50);
        QCOMPARE(probe.findChild<QLineEdit*>("txtScenario_Output_Table2_Name")->maxLength(), 64);
        QVERIFY(probe.findChild<QLineEdit*>("txtAnalysisType")->isReadOnly());
        const char* captions[] = {"Help", "< &Back", "Cancel", "&Save", "Save and &Run"};
        for (int i = 0; i < 5; ++i)
            QCOMPARE(Text(&probe, QString("cmdNav_%1").arg(i).toLatin1().constData()), QString(captions[i]));

        program::Settings().WriteEntry("OutputTablePrefix", "Res_");
        CZantelsPropWiz w;
        w.SetNewScenario("N", "Chi-Square");
        w.OutputTable2("Stored Details");
        frmQuarn_Finish page;
        page.show();
        page.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&page));
        page.Wiz(&w);
        QCOMPARE(Text(&page, "txtScenario_Output_Table1_Name"), QString("Res_Chi-Square"));
        QCOMPARE(Text(&page, "txtScenario_Output_Table2_Name"), QString("Stored Details"));
        page.findChild<QLineEdit*>("txtScenario_Output_Table1_Name")->setFocus();
        Type(&page, "txtScenario_Output_Table1_Name", "Mine");
        QTest::keyClick(&page, Qt::Key_Tab);  // leaving the name box stores it
        QCOMPARE(w.OutputTable1(), std::string("Mine"));
        QVERIFY(w.Changed());
        w.ChiDetail(false);
        page.Wiz(&w);  // a later visit: typed names kept, the second emptied
        QCOMPARE(Text(&page, "txtScenario_Output_Table1_Name"), QString("Mine"));
        QVERIFY(page.findChild<QWidget*>("txtScenario_Output_Table2_Name")->isHidden());
        QCOMPARE(Text(&page, "txtScenario_Output_Table2_Name"), QString());
        // An empty prefix setting counts as none: the default prefix.
        program::Settings().WriteEntry("OutputTablePrefix", "");
        CZantelsPropWiz fresh;
        fresh.SetNewScenario("P", "Describe");
        frmQuarn_Finish again;
        again.Wiz(&fresh);
        QCOMPARE(Text(&again, "txtScenario_Output_Table1_Name"), QString("Brux_Describe"));
    }

    void helpAndTheWindowsCloseBox() {
        // Help opens the page's own topic, which the help file has.
        QFile file(MERIVOX_BIN_DIR "/Merivox.HLP");
        QVERIFY(file.open(QIODevice::ReadOnly));
        QSet<int> topics;
        for (const auto& t : frmHelp::ParseTopics(QString::fromUtf8(file.readAll()))) topics.insert(t.number);
        CZantelsPropWiz w;
        frmQuarn_Create create;
        frmQuarn_Finish finish;
        create.Wiz(&w);
        finish.Wiz(&w);
        Click(&create, "cmdNav_0");
        Click(&finish, "cmdNav_0");
        QCOMPARE(rec_.helpCalls.size(), size_t(2));
        for (const std::string& call : rec_.helpCalls) {
            const int topic = std::stoi(call.substr(call.find('#') + 1));
            QVERIFY2(topics.contains(topic), call.c_str());
        }
        QVERIFY(rec_.helpCalls[0] != rec_.helpCalls[1]);
        QVERIFY(topics.contains(help::kWizard));

        // The close box leaves the analysis page as Back, the finish page as Cancel.
        create.show();
        create.close();
        QCOMPARE(create.NavResult(), 1L);
        finish.show();
        w.Changed(true);
        rec_.Script(ui::vbNo);
        finish.close();
        QVERIFY(finish.isVisible());
        QCOMPARE(rec_.boxes.size(), size_t(1));
        QCOMPARE(rec_.boxes[0].prompt,
                 std::string("You have made changes to this scenario. Are you sure you want to exit?"));
        w.Changed(false);
        finish.close();
        QVERIFY(finish.isHidden());
        QCOMPARE(finish.NavResult(), 2L);
    }

    // The help's own lists of analyses, the analysis page's families and the
    // field page's roles, name every analysis of the catalogue, and the topic
    // of each analysis's options page says how its numbers are computed and
    // how weights enter them: a "Method" paragraph (one per analysis where
    // analyses share the page, "Method, <analysis>") and a "Weights" one.
    void helpCoversEveryAnalysis() {
        QFile file(MERIVOX_SOURCE_DIR "/app/help/Merivox.HLP");
        QVERIFY(file.open(QIODevice::ReadOnly));
        std::map<int, QString> topics;
        for (const auto& t : frmHelp::ParseTopics(QString::fromUtf8(file.readAll()))) topics[t.number] = t.html;
        // The analysis page: "<li><b>Family</b>: name, name.</li>".
        std::map<QString, QStringList> families;
        QRegularExpression familyItem("<li><b>([^<]+)</b>:([^<]+)\\.</li>");
        for (auto it = familyItem.globalMatch(topics[help::kWizardAnalysis]); it.hasNext();) {
            const QRegularExpressionMatch m = it.next();
            for (const QString& name : m.captured(2).split(',')) families[m.captured(1)] << name.simplified();
        }
        // The field page: every bold name in its list of the analyses' roles.
        const QString& fields = topics[help::kWizardFields];
        const qsizetype from = fields.indexOf("The lists depend on the analysis");
        const QString roles = fields.mid(from, fields.indexOf("</ul>", from) - from);
        QStringList roleNames;
        QRegularExpression bold("<b>([^<]+)</b>");
        for (auto it = bold.globalMatch(roles); it.hasNext();)
            for (const QString& name : it.next().captured(1).split(',')) roleNames << name.simplified();

        const std::map<std::string_view, QString> familyName = {
            {"P", "Parametric"}, {"G", "Group"}, {"N", "Non-Parametric"}};
        std::map<int, int> sharing;  // analyses per options topic
        for (const store::AnalysisDef& a : store::Analyses()) ++sharing[catalog::Entry(a.id).helpTopic];
        const QRegularExpression method("<p><b>Method(?:, ([^<]+))?</b>");
        const QRegularExpression weights("<p><b>Weights</b>");
        QStringList faults;
        for (const store::AnalysisDef& a : store::Analyses()) {
            const QString caption = QString(catalog::Entry(a.id).caption).remove('&');
            const int topic = catalog::Entry(a.id).helpTopic;
            QStringList methods;
            for (auto it = method.globalMatch(topics[topic]); it.hasNext();) methods << it.next().captured(1);
            if (!methods.contains(sharing[topic] > 1 ? caption : QString()))
                faults << QString("the topic %1 of %2 has no \"Method\" paragraph for it").arg(topic).arg(caption);
            if (!weights.match(topics[topic]).hasMatch())
                faults << QString("the topic %1 of %2 has no \"Weights\" paragraph").arg(topic).arg(caption);
            const QString subType = QString::fromUtf8(a.subType.data(), a.subType.size());
            if (!families[familyName.at(a.family)].contains(caption))
                faults << QString("the topic \"Choosing the analysis\" lists no %1 under %2")
                              .arg(caption, familyName.at(a.family));
            if (!roleNames.contains(caption) && !roleNames.contains(subType))
                faults << QString("the topic \"Field roles\" gives no roles for %1").arg(subType);
        }
        for (const QString& fault : faults) qWarning("Merivox.HLP: %s", qPrintable(fault));
        QVERIFY2(faults.isEmpty(), "the warnings above name each analysis the help lacks");
    }

    void newDescribeWithEveryDefaultFromTheList() {
        // The analysis page (Next), the source, the field, the options, the finish page (Save).
        apptest::WhenModalNamed("frmQuarn_Create", [](QWidget* page) {
            ThroughSourceAndFields([](QWidget* finish) { Click(finish, "cmdNav_3"); });
            Click(page, "cmdNav_2");
        });
        WizardOutcome out = RunNewScenarioWizard("P", "Describe", nullptr);
        QCOMPARE(out.result, 2L);
        QVERIFY(out.scenarioId > 0);
        QCOMPARE(out.calcType, std::string("Describe"));
        QCOMPARE(out.scenarioType, std::string("P"));
        QVERIFY(out.wizard && !out.wizard->Changed());
        QVERIFY(rec_.boxes.empty());
        QCOMPARE(Stored("usysQuarnScenarios", "Scenario_Output_Table1_Name", out.scenarioId).ToString(),
                 std::string("Brux_Describe"));
        QCOMPARE(Stored("usysQuarnScenarios", "Scenario_Analysis_SubType", out.scenarioId).ToString(),
                 std::string("Describe"));
        QCOMPARE(Stored("usysQuarnOptions", "InterV", out.scenarioId).ToLong(), 10);
        QVERIFY(!IsFormLoaded("frmQuarn_Finish") && !IsFormLoaded("frmQuarn_Create"));

        // Back on the analysis page: nothing saved, result 0.
        apptest::WhenModalNamed("frmQuarn_Create", [](QWidget* page) { Click(page, "cmdNav_1"); });
        out = RunNewScenarioWizard("G", "Two Sample t-Test", nullptr);
        QCOMPARE(out.result, 0L);
        QCOMPARE(out.scenarioId, 0L);
        QCOMPARE(out.calcType, std::string("Two Sample t-Test"));
        QCOMPARE(Count("usysQuarnScenarios"), 1);
    }

    void finishPageCloseButtons() {
        // Cancel with changes asks: No stays, Yes closes with 2 and writes nothing.
        apptest::WhenModalNamed("frmQuarn_Create", [this](QWidget* page) {
            ThroughSourceAndFields([this](QWidget* finish) {
                finish->findChild<QLineEdit*>("txtDescription")->setText("typed");
                rec_.Script({ui::vbNo, ui::vbYes});
                Click(finish, "cmdNav_2");
                QVERIFY(finish->isVisible());
                Click(finish, "cmdNav_2");
            });
            Click(page, "cmdNav_2");
        });
        WizardOutcome out = RunNewScenarioWizard("P", "Describe", nullptr);
        QCOMPARE(out.result, 2L);
        QCOMPARE(out.scenarioId, 0L);
        QCOMPARE(rec_.boxes.size(), size_t(2));
        QCOMPARE(rec_.boxes[0].prompt,
                 std::string("You have made changes to this scenario. Are you sure you want to exit?"));
        QCOMPARE(rec_.boxes[0].style, int(ui::vbYesNo | ui::vbQuestion));
        QCOMPARE(Count("usysQuarnScenarios"), 0);

        // Save on an unchanged stored scenario writes nothing, not even the names shown.
        auto w = std::make_shared<CZantelsPropWiz>();
        w->SetNewScenario("P", "Regression");
        w->OutputTable1("Stored");
        QVERIFY(w->PostScenario());
        w->Residual(true);  // as loaded: a second table applies, its name is blank
        apptest::WhenModalNamed("frmQuarn_Finish", [](QWidget* finish) { Click(finish, "cmdNav_3"); });
        QCOMPARE(w->ShowStatWizard(50), 2L);
        QCOMPARE(Stored("usysQuarnScenarios", "Scenario_Output_Table2_Name", w->Scenario_ID()).ToString(),
                 std::string());
        QVERIFY(Stored("usysQuarnScenarios", "Scenario_LastModified", w->Scenario_ID()).IsNull());
    }

    void finishChecksKeepThePageOpen() {
        rec_.Reset();
        apptest::WhenModalNamed("frmQuarn_Finish", [this](QWidget* finish) {
            Type(finish, "txtScenario_Output_Table2_Name", "BRUX_TWO SAMPLE T-TEST");
            Click(finish, "cmdNav_3");
            QVERIFY(finish->isVisible());
            QCOMPARE(LastPrompt(), std::string("The first and second output table names names must not be the same."));
            QCOMPARE(finish->focusWidget()->objectName(), QString("txtScenario_Output_Table2_Name"));
            Type(finish, "txtScenario_Output_Table1_Name", "");
            Click(finish, "cmdNav_4");
            QVERIFY(finish->isVisible());
            QCOMPARE(LastPrompt(), std::string("Output table name required."));
            Type(finish, "txtScenario_Output_Table1_Name", "TTest");
            Type(finish, "txtScenario_Output_Table2_Name", "TTest Details");
            Click(finish, "cmdNav_4");
        });
        auto w = std::make_shared<CZantelsPropWiz>();
        w->SetNewScenario("G", "Two Sample t-Test");
        w->GroupDetail(true);
        QCOMPARE(w->ShowStatWizard(50), 1L);
        QCOMPARE(Stored("usysQuarnScenarios", "Scenario_Output_Table2_Name", w->Scenario_ID()).ToString(),
                 std::string("TTest Details"));
        QCOMPARE(rec_.boxes.size(), size_t(2));

        // A value the columns refuse is named on the page; nothing is written.
        rec_.Reset();
        auto bad = std::make_shared<CZantelsPropWiz>();
        bad->SetNewScenario("P", "Describe");
        bad->SignValue(vb::Variant("abc"));
        apptest::WhenModalNamed("frmQuarn_Finish", [](QWidget* finish) {
            Click(finish, "cmdNav_3");
            QVERIFY(finish->isVisible());
            finish->findChild<QWidget*>("cmdNav_1")->setFocus();
            Click(finish, "cmdNav_1");  // Back: the option page, then Next to the finish page again
            apptest::WhenModalNamed("frmQuarn_Options_Describe", [](QWidget* options) {
                apptest::WhenModalNamed("frmQuarn_Finish", [](QWidget* again) { Click(again, "cmdNav_2"); });
                Click(options, "cmdNav_2");
            });
        });
        QCOMPARE(bad->ShowStatWizard(50), 2L);
        QCOMPARE(rec_.boxes.at(0).prompt, std::string("SignValue must be a number."));
        QCOMPARE(Count("usysQuarnScenarios"), 1);
    }

    void failedSaveKeepsThePageOpenAndTheTablesAsTheyWere() {
        auto w = std::make_shared<CZantelsPropWiz>();
        w->SetNewScenario("P", "Describe");
        w->OutputTable1("Kept");
        w->Table("Study");
        w->ScenarioFields()->Add("Age", "X", "7", 1, "Age");
        QVERIFY(w->PostScenario());
        const long id = w->Scenario_ID();
        bool openAfterFailure = false;
        apptest::WhenModalNamed("frmQuarn_Finish", [&](QWidget* finish) {
            // The fields table refuses a name longer than its column.
            CZantelsPropWiz* edited = static_cast<CWizardPage*>(finish)->Wiz();
            QCOMPARE(edited->ScenarioFields()->Count(), 1);  // the stored roles, loaded unseen
            edited->ScenarioFields()->Add(std::string(65, 'F'), "X", "7", 2, "long");
            Type(finish, "txtDescription", "new description");
            Click(finish, "cmdNav_4");
            openAfterFailure = finish->isVisible();
            QVERIFY(QString::fromStdString(LastPrompt()).startsWith("The scenario could not be saved"));
            QVERIFY(Stored("usysQuarnScenarios", "Scenario_Description", id).IsNull());
            // Without that field the save goes through.
            edited->ScenarioFields()->Remove(vb::Variant("long"));
            Click(finish, "cmdNav_3");
        });
        WizardOutcome out = RunEditScenarioWizard(id, 50, nullptr);
        QCOMPARE(out.result, 2L);
        QVERIFY(openAfterFailure);
        QCOMPARE(rec_.boxes.size(), size_t(1));
        QCOMPARE(Stored("usysQuarnScenarios", "Scenario_Description", id).ToString(), std::string("new description"));
        QCOMPARE(Count("usysQuarnFields"), 1);
        QCOMPARE(Count("usysQuarnScenarios"), 1);
    }

    void acceleratorsSaveWhatWasJustTyped() {
        // Edit Output, type a name and press Alt+S or Alt+R with the focus
        // still in the box: the typed name is what is stored.
        ExampleDatabase();
        for (const bool run : {false, true}) {
            const QString name = run ? "Brux_Typed R" : "Brux_Typed S";
            bool active = false, closed = false;
            apptest::WhenModalNamed("frmQuarn_Finish", [&](QWidget* finish) {
                active = QTest::qWaitForWindowActive(finish);
                finish->findChild<QLineEdit*>("txtScenario_Output_Table1_Name")->setFocus();
                Type(finish, "txtScenario_Output_Table1_Name", name);
                QTest::keyClick(finish, run ? Qt::Key_R : Qt::Key_S, Qt::AltModifier);
                closed = QTest::qWaitFor([finish] { return finish->isHidden(); }, 5000);
                if (!closed) finish->hide();
            });
            WizardOutcome out = RunEditScenarioWizard(2, 50, nullptr);
            QVERIFY(active);
            QVERIFY(closed);
            QCOMPARE(out.result, run ? 1L : 2L);
            QCOMPARE(Stored("usysQuarnScenarios", "Scenario_Output_Table1_Name", 2).ToString(), name.toStdString());
        }
    }

    void everyExampleScenarioOpensForEditing() {
        ExampleDatabase();
        for (long id = 1; id <= 5; ++id) {
            apptest::WhenModalNamed("frmQuarn_Finish", [](QWidget* finish) { Click(finish, "cmdNav_2"); });
            WizardOutcome out = RunEditScenarioWizard(id, 50, nullptr);
            QVERIFY2(stack_->ErrNumber() == 0, stack_->ErrDescription().c_str());
            QCOMPARE(out.result, 2L);
            QVERIFY(out.wizard);
            // Every stored role is read back (beside the source's other fields), none dropped.
            int roles = 0;
            for (const ScenarioFieldPtr& field : *out.wizard->ScenarioFields()) roles += !field->Choice().empty();
            QCOMPARE(roles, Count("usysQuarnFields", "Scenario_ID = " + std::to_string(id)));
            QVERIFY(rec_.boxes.empty());
        }
    }

    void editKeepsTheStoredFieldsAndSaveAndRunRuns() {
        ExampleDatabase();
        const int fieldsBefore = Count("usysQuarnFields", "Scenario_ID = 1");
        QVERIFY(fieldsBefore > 0);
        // An output table that exists already: the page asks, drops nothing,
        // and hands the name agreed to the run, which does not ask again.
        dao::TableDefPtr existing = db_->CreateTableDef("Brux_Mine");
        existing->Fields()->Append(existing->CreateField("x", dao::dbLong));
        db_->TableDefs()->Append(existing);
        apptest::WhenModalNamed("frmQuarn_Finish", [](QWidget* finish) {
            Type(finish, "txtScenario_Output_Table1_Name", "Brux_Mine");
            Click(finish, "cmdNav_4");
        });
        rec_.Script(ui::vbYes);
        WizardOutcome out = RunEditScenarioWizard(1, 50, nullptr);
        QVERIFY2(stack_->ErrNumber() == 0, stack_->ErrDescription().c_str());
        QCOMPARE(out.result, 1L);
        QCOMPARE(out.scenarioId, 1L);
        QCOMPARE(rec_.boxes.size(), size_t(1));
        QCOMPARE(out.replaceAgreed, std::vector<std::string>({"Brux_Mine"}));
        QVERIFY(TableExists(db_, "Brux_Mine"));  // not dropped by the page
        QCOMPARE(Count("usysQuarnFields", "Scenario_ID = 1"), fieldsBefore);
        QCOMPARE(Stored("usysQuarnScenarios", "Scenario_Output_Table1_Name", 1).ToString(), std::string("Brux_Mine"));

        // What the list window then does: run the stored scenario.
        db_->TableDefs()->Delete("Brux_Mine");
        Quantara engine;
        engine.putref_ScenarioDatabase(db_);
        const int32_t id = static_cast<int32_t>(out.scenarioId);
        QVERIFY2(engine.RunScenario(id), engine.get_ErrorInfo().c_str());
        db_->TableDefs()->Refresh();
        QVERIFY(TableExists(db_, "Brux_Mine"));
        QVERIFY(Count("Brux_Mine") > 0);
    }

    void saveAndRunOnAReadOnlyFileIsRefusedBeforeAnyQuestion() {
        ExampleDatabase();
        dao::TableDefPtr existing = db_->CreateTableDef("Brux_Mine");
        existing->Fields()->Append(existing->CreateField("x", dao::dbLong));
        db_->TableDefs()->Append(existing);
        const std::string path = db_->Name();
        store::ClearCurrentDatabase();
        db_->Close();
        db_ = ws_->OpenDatabase(path, false, true);
        store::SetCurrentDatabase(ws_, db_);
        // Save and Run with an output table that exists: refused plainly,
        // without first asking whether to overwrite it; then the page is left.
        apptest::WhenModalNamed("frmQuarn_Finish", [](QWidget* finish) {
            Type(finish, "txtScenario_Output_Table1_Name", "Brux_Mine");
            Click(finish, "cmdNav_4");
            Click(finish, "cmdNav_2");
        });
        rec_.Script({ui::vbOK, ui::vbYes});
        WizardOutcome out = RunEditScenarioWizard(1, 50, nullptr);
        QVERIFY(out.result != 1);
        QVERIFY(!rec_.boxes.empty());
        QVERIFY2(QString::fromStdString(rec_.boxes[0].prompt).contains("is read-only"), rec_.boxes[0].prompt.c_str());
        for (const auto& box : rec_.boxes)
            QVERIFY2(!QString::fromStdString(box.prompt).contains("already exist"), box.prompt.c_str());
    }
};

QTEST_MAIN(WizardPagesTest)
#include "WizardPagesTest.moc"
