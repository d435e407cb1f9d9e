// The wizard's source page (listing, typing, the Change dialog), the field
// roles page (reading the source and the stored roles, each analysis's role
// rules, transfers and their order, the quick assignment, leaving the page),
// the values-to-ignore dialog, and a scenario with odd field names made
// through the whole wizard and run by the engine.
#include <QGroupBox>
#include <QHeaderView>
#include <QHelpEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMdiArea>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QStackedWidget>
#include <QTabBar>
#include <QToolTip>
#include <QToolButton>
#include <QTreeWidget>
#include <QtTest>

#include "AppTestSupport.h"
#include "FormLookup.h"
#include "CurrentDatabase.h"
#include "Merivox6/Quantara.h"
#include "ScenarioSchema.h"
#include "ScenarioTables.h"
#include "shell/MDIMain.h"
#include "shell/Program.h"
#include "shell/modMerivox.h"
#include "models/DataGridModel.h"
#include "models/DataGridView.h"
#include "wizard/CZantelsPropWiz.h"
#include "wizard/FieldRowDelegate.h"
#include "wizard/ScenarioCommands.h"
#include "wizard/TransferButton.h"
#include "wizard/WizardPage.h"
#include "wizard/frmIgnore.h"
#include "wizard/frmQuarn_Fields.h"
#include "wizard/frmQuarn_SelectTable.h"

namespace {

using Names = QStringList;

void Click(QWidget* page, const QString& button) {
    auto* b = page->findChild<QAbstractButton*>(button);
    if (!b) qFatal("no button %s", qPrintable(button));
    b->setFocus();
    QTest::mouseClick(b, Qt::LeftButton);
}

Names Rows(QTreeWidget* list) {
    Names out;
    for (int i = 0; i < list->topLevelItemCount(); ++i) out << list->topLevelItem(i)->text(0);
    return out;
}

Names Rows(QListWidget* list) {
    Names out;
    for (int i = 0; i < list->count(); ++i) out << list->item(i)->text();
    return out;
}

// A double click as a user makes it: the first click, then the second.
void DoubleClick(QTreeWidget* list, QTreeWidgetItem* row) {
    const QPoint at = list->visualItemRect(row).center();
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, at);
    QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, at);
}

QTreeWidget* Available(QWidget* page) { return page->findChild<QTreeWidget*>("lvwAvailableFields"); }
QListWidget* List(QWidget* page, const QString& name) { return page->findChild<QListWidget*>(name); }

// Highlights the available field of that name.
void Pick(QWidget* page, const QString& name) {
    QTreeWidget* list = Available(page);
    for (int i = 0; i < list->topLevelItemCount(); ++i) {
        if (list->topLevelItem(i)->text(0) != name) continue;
        list->setCurrentItem(list->topLevelItem(i));
        list->topLevelItem(i)->setSelected(true);
        return;
    }
    qFatal("no available field %s", qPrintable(name));
}

void Transfer(QWidget* page, const char* control, int index) {
    auto* t = page->findChild<TransferButton*>(control);
    if (!t) qFatal("no transfer control %s", control);
    t->Button(index)->click();
}

// Gives the available field `name` the role of `control`.
void Assign(QWidget* page, const QString& name, const char* control) {
    Pick(page, name);
    Transfer(page, control, 1);
}

}  // namespace

class WizardFieldsTest : public QObject {
    Q_OBJECT

    apptest::Environment env_;
    ui::RecordingUi rec_;
    std::unique_ptr<ui::ScopedUi> installed_;
    std::shared_ptr<CErr_Zelk> stack_;
    dao::WorkspacePtr ws_;
    dao::DatabasePtr db_;
    int counter_ = 0;

    void Table(const std::string& name, const std::vector<std::pair<std::string, int16_t>>& fields) {
        dao::TableDefPtr t = db_->CreateTableDef(name);
        for (const auto& [field, type] : fields) t->Fields()->Append(t->CreateField(field, type));
        db_->TableDefs()->Append(t);
    }
    // The study table: numbers, texts and types the page does not offer.
    void Study() {
        Table("Study", {{"ID", dao::dbLong},
                        {"Age", dao::dbDouble},
                        {"Weight", dao::dbSingle},
                        {"Clinic", dao::dbText},
                        {"Smoker", dao::dbBoolean},
                        {"Visit", dao::dbDate},
                        {"Notes", dao::dbMemo},
                        {"Photo", dao::dbLongBinary},
                        {"Score", dao::dbInteger}});
    }
    std::string LastPrompt() const { return rec_.boxes.empty() ? std::string() : rec_.boxes.back().prompt; }
    // A field page bound to a new scenario of `calcType` on Study.
    std::unique_ptr<frmQuarn_Fields> FieldPage(CZantelsPropWiz& w, const std::string& calcType) {
        w.SetNewScenario("P", calcType);
        w.Table("Study");
        auto page = std::make_unique<frmQuarn_Fields>();
        page->Wiz(&w);
        return page;
    }
    std::string NextMessage(frmQuarn_Fields& page) {
        rec_.boxes.clear();
        page.NavResult(0);
        Click(&page, "cmdNav_2");
        return rec_.boxes.empty() ? std::string("<passed>") : LastPrompt();
    }

private slots:
    void initTestCase() { installed_ = std::make_unique<ui::ScopedUi>(rec_); }
    void init() {
        rec_.Reset();
        stack_ = std::make_shared<CErr_Zelk>();
        stack_->DisplayError(false);
        stack_->Destination(vb::Variant(env_.Path().toStdString() + "/error.log"));
        SetErrStack(stack_);
        const std::string path = env_.Path().toStdString() + "/fields" + std::to_string(++counter_) + ".db";
        ws_ = dao::DBEngine().Workspaces(0);
        db_ = ws_->CreateDatabase(path);
        store::SetCurrentDatabase(ws_, db_);
        QVERIFY(store::CreateScenarioTables());
        Study();
    }
    void cleanup() {
        apptest::CheckModalAnswersUsed();
        QVERIFY2(stack_->ErrNumber() == 0, stack_->ErrDescription().c_str());
        store::ClearCurrentDatabase();
        if (db_) db_->Close();
        db_.reset();
        SetErrStack(nullptr);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    void sourcePageHidesSystemTablesAndActionQueries() {
        for (const char* hidden : {"usysMine", "MSysObjects2", "msysLower", "~TMPCLP4711", "UsYsMixed"})
            Table(hidden, {{"x", dao::dbLong}});
        db_->CreateQueryDef("qAdults", "SELECT * FROM [Study] WHERE [Age] >= 18");
        db_->CreateQueryDef("USYS Select", "SELECT [Age] FROM [Study]");  // only ~TMPCLP hides a query
        db_->CreateQueryDef("~tmpclpQuery", "SELECT [Age] FROM [Study]");
        db_->CreateQueryDef("qRaise", "UPDATE [Study] SET [Age] = [Age] + [Years]");
        db_->CreateQueryDef("qPurge", "DELETE * FROM [Study] WHERE [Age] < [Limit]");

        frmQuarn_SelectTable page;
        QCOMPARE(page.windowTitle(), QString("Zelk Statistics Table Selection"));
        QCOMPARE(page.size(), QSize(445, 410));
        auto* list = page.findChild<QTreeWidget*>("lvwTableQuery");
        auto* tabs = page.findChild<QTabBar*>("tabSource");
        QCOMPARE(tabs->tabText(0), QString("Tables"));
        QCOMPARE(tabs->tabText(2), QString("Both"));
        QCOMPARE(Rows(list), Names({"Study"}));
        QCOMPARE(list->topLevelItem(0)->text(1), QString("Table"));
        tabs->setCurrentIndex(1);
        QCOMPARE(Rows(list), Names({"qAdults", "USYS Select"}));
        QCOMPARE(list->topLevelItem(0)->text(1), QString("Query"));
        tabs->setCurrentIndex(2);
        QCOMPARE(Rows(list), Names({"Study", "qAdults", "USYS Select"}));

        // Only hidden tables: an empty list, Next disabled until a name is typed.
        CZantelsPropWiz w;
        page.Wiz(&w);
        db_->TableDefs()->Delete("Study");
        tabs->setCurrentIndex(0);
        QCOMPARE(Rows(list), Names());
        auto* next = page.findChild<QPushButton*>("cmdNav_2");
        QVERIFY(!next->isEnabled());
        auto* name = page.findChild<QLineEdit*>("txtTable");
        name->setText("   ");
        QVERIFY(!next->isEnabled());
        name->setText("  typed ");
        QVERIFY(next->isEnabled());
        page.show();
        Click(&page, "cmdNav_2");
        QCOMPARE(w.Table(), std::string("  typed "));  // as typed
        QCOMPARE(page.NavResult(), 2L);
        QVERIFY(!w.Changed());
    }

    void sourcePageClicksViewAndBack() {
        db_->CreateQueryDef("qAdults", "SELECT * FROM [Study] WHERE [Age] >= 18");
        db_->Execute("INSERT INTO [Study] ([ID], [Age]) VALUES (1, 40)");
        CZantelsPropWiz w;
        w.Table("Old");
        frmQuarn_SelectTable page;
        page.Wiz(&w);
        page.show();
        auto* list = page.findChild<QTreeWidget*>("lvwTableQuery");
        auto* name = page.findChild<QLineEdit*>("txtTable");
        QCOMPARE(name->text(), QString("Old"));
        // View previews modally over the page, four fifths of the frame and
        // centred on it; Escape closes it and nothing stays in the frame.
        MDIMain frame;
        program::SetMainWindow(&frame);
        frame.setGeometry(100, 80, 900, 700);
        frame.show();
        struct Preview {
            QString caption;
            QRect geometry;
            bool overThePage = false;
            int rows = -1;
        };
        QList<Preview> previews;
        // Watches for the one preview of this test (a second click would show no other).
        apptest::WhenModal([&](QWidget* shown) {
            Preview p{shown->windowTitle(), QRect(shown->frameGeometry().topLeft(), shown->size()),
                      shown->isModal() && shown->parentWidget() == &page, -1};
            if (auto* grid = shown->findChild<DataGridView*>("grdDataGrid"))
                p.rows = grid->Model() ? grid->Model()->rowCount() : -1;
            previews << p;
            QTest::keyClick(shown, Qt::Key_Escape);
        });
        // A name typed and no row highlighted: View looks for the name Next takes.
        QVERIFY(list->selectedItems().isEmpty());
        Click(&page, "cmdViewTable");
        QVERIFY(previews.isEmpty());
        QVERIFY2(QString::fromStdString(LastPrompt()).startsWith("The table [Old] does not exist"),
                 LastPrompt().c_str());
        page.findChild<QTabBar*>("tabSource")->setCurrentIndex(2);
        // Typed into the list, a name's first letters choose its row and name the source.
        list->setFocus();
        QTest::keyClicks(list, "qa");
        QCOMPARE(list->selectedItems().size(), 1);
        QCOMPARE(list->selectedItems()[0]->text(0), QString("qAdults"));
        QCOMPARE(name->text(), QString("qAdults"));
        const QRect second = list->visualItemRect(list->topLevelItem(1));
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, second.center());
        QCOMPARE(name->text(), QString("qAdults"));
        Click(&page, "cmdViewTable");
        QCOMPARE(previews.size(), 1);
        QCOMPARE(previews[0].caption, QString("Input table or query - : qAdults"));
        const QRect outer = frame.frameGeometry();
        QCOMPARE(previews[0].geometry, QRect(outer.left() + outer.width() / 10, outer.top() + outer.height() / 10,
                                             outer.width() * 8 / 10, outer.height() * 8 / 10));
        QVERIFY(previews[0].overThePage);
        QCOMPARE(previews[0].rows, 1);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(!IsFormLoaded("frmDataGridDialog"));
        QVERIFY(frame.MdiArea()->subWindowList().isEmpty());
        program::SetMainWindow(nullptr);
        // Back keeps the scenario's source.
        Click(&page, "cmdNav_1");
        QCOMPARE(page.NavResult(), 1L);
        QCOMPARE(w.Table(), std::string("Old"));
        // A double click takes the row and goes on in one gesture.
        page.show();
        DoubleClick(list, list->topLevelItem(0));
        QCOMPARE(w.Table(), std::string("Study"));
        QCOMPARE(page.NavResult(), 2L);
        QVERIFY(page.isHidden());
        // Shown again, it lists the sources the file holds now, and the row
        // chosen stays chosen while the file still has it.
        auto chosen = [list] { return list->selectedItems().size() == 1 ? list->selectedItems()[0]->text(0) : ""; };
        page.show();
        QCOMPARE(chosen(), QString("Study"));
        page.hide();
        Table("Later", {{"x", dao::dbLong}});
        name->setText("Typed");
        page.show();
        QCOMPARE(Rows(list).size(), 3);
        QCOMPARE(chosen(), QString("Study"));
        QCOMPARE(name->text(), QString("Typed"));
        page.hide();
        db_->TableDefs()->Delete("Study");
        page.show();
        QCOMPARE(Rows(list), Names({"Later", "qAdults"}));
        QCOMPARE(chosen(), QString());

        // As the Change dialog: OK, Cancel, Help from left to right.
        frmQuarn_SelectTable dialog;
        dialog.UseAsChangeDialog();
        dialog.show();
        auto* ok = dialog.findChild<QPushButton*>("cmdNav_2");
        auto* cancel = dialog.findChild<QPushButton*>("cmdNav_1");
        auto* help = dialog.findChild<QPushButton*>("cmdNav_0");
        QCOMPARE(ok->text(), QString("OK"));
        QCOMPARE(cancel->text(), QString("Cancel"));
        QVERIFY(ok->x() < cancel->x() && cancel->x() < help->x());
    }

    void typeTextsAndFrames() {
        const std::map<int, std::string> texts = {
            {1, "Yes/No"},    {2, "#, Byte"},     {3, "#, Integer"},  {4, "#, Long"},   {5, "#, Currency"},
            {6, "#, Single"}, {7, "#, Double"},   {8, "Date/Time"},   {10, "Text"},     {16, "#, Big Integer"},
            {18, "Char"},     {19, "#, Numeric"}, {20, "#, Decimal"}, {21, "#, Float"}, {22, "Time"},
            {9, ""},          {11, ""},           {12, ""},           {15, ""},         {17, ""},
            {23, ""}};
        for (const auto& [code, text] : texts) QCOMPARE(frmQuarn_Fields::GetFieldTypeText(code), text);
        // Each analysis of the list: the field frame its roles take.
        // One row per line: a new row moves no other.
        // clang-format off
        std::map<std::string, int> frames = {
            {"Describe", 1},
            {"Frequency", 1},
            {"Percentiles", 1},
            {"Compare", 3},
            {"Matrix", 1},
            {"Regression", 3},
            {"Crosstab", 5},
            {"Two Sample t-Test", 2},
            {"ANOVA", 2},
            {"Two way ANOVA", 4},
            {"Chi-Square", 6},
            {"Sign Test", 1},
            {"K-S Fit", 1},
            {"2 Sample", 2},
            {"N Sample", 2},
            {"Paired Fields", 3},
            {"N Fields", 1},
        };
        // clang-format on
        for (const store::AnalysisDef& a : store::kAnalysisList)
            QVERIFY2(frames.count(std::string(a.subType)),
                     qPrintable(QString("typeTextsAndFrames in tests/app/WizardFieldsTest.cpp has no field frame for "
                                        "\"%1\": give it the frame its roles take")
                                    .arg(std::string(a.subType).c_str())));
        // Letter case does not matter; a name of no analysis has no frame.
        frames.insert({{"two WAY anova", 4}, {"Nothing", 0}, {"", 0}});
        for (const auto& [name, frame] : frames) QCOMPARE(frmQuarn_Fields::GetFieldFrame(name), frame);
    }

    void longNamesToldApartAndThePageGrows() {
        // Exported names that differ only at their end, and names of 32 characters.
        const QString chol1 = "Total_cholesterol_mg_per_dL_fasting_sample_first_draw_1";
        const QString chol2 = "Total_cholesterol_mg_per_dL_fasting_sample_first_draw_2";
        const QString sysA = "Systolic_blood_pressure_measured_at_baseline_visit_A";
        const QString sysB = "Systolic_blood_pressure_measured_at_baseline_visit_B";
        const QString dia = "Diastolic_Pressure_After_Week_12", rate = "Heart_Rate_Resting_Supine_Minute";
        const QString arm = "Treatment_Arm_Assigned_At_Visit1";
        Table("Trial", {{chol1.toStdString(), dao::dbDouble},
                        {chol2.toStdString(), dao::dbDouble},
                        {sysA.toStdString(), dao::dbDouble},
                        {sysB.toStdString(), dao::dbDouble},
                        {dia.toStdString(), dao::dbDouble},
                        {rate.toStdString(), dao::dbDouble},
                        {arm.toStdString(), dao::dbText}});
        CZantelsPropWiz w;
        w.SetNewScenario("G", "Two way ANOVA");
        w.Table("Trial");
        frmQuarn_Fields page;
        page.Wiz(&w);
        page.show();  // at its own size
        QApplication::processEvents();
        QCOMPARE(page.size(), frmQuarn_Fields::kDefaultSize);

        // What a row shows in its list: the delegate's text at the row's width.
        struct Probe : FieldRowDelegate {
            QString Shown(QAbstractItemView* view, const QString& field) {
                QAbstractItemModel* model = view->model();
                for (int i = 0; i < model->rowCount(); ++i) {
                    const QModelIndex index = model->index(i, 0);
                    if (index.data(kFieldNameRole).toString() != field && index.data().toString() != field) continue;
                    QStyleOptionViewItem option;
                    option.initFrom(view);
                    option.widget = view;
                    option.rect = view->visualRect(index);
                    initStyleOption(&option, index);
                    return option.text;
                }
                return "<not listed>";
            }
        } probe;
        // Whole: the name, and in a role list its type, or as much of it as fits.
        auto whole = [](const QString& shown, const QString& name) {
            return shown == name || shown.startsWith(name + " - (");
        };
        // Told apart: its start and its end show.
        auto ends = [](const QString& shown, const QString& name) {
            return shown.startsWith(name.left(5)) && shown.contains(name.right(7));
        };
        auto check = [&](QAbstractItemView* list, const QList<QPair<QString, QString>>& pairs,
                         const QStringList& wholeNames) {
            for (const auto& [first, second] : pairs) {
                const QString one = probe.Shown(list, first), other = probe.Shown(list, second);
                QVERIFY2(ends(one, first) && ends(other, second) && one != other,
                         qPrintable(list->objectName() + ": " + one + " | " + other));
            }
            for (const QString& name : wholeNames) {
                const QString shown = probe.Shown(list, name);
                QVERIFY2(whole(shown, name), qPrintable(list->objectName() + ": " + shown));
            }
        };
        QTreeWidget* available = Available(&page);
        check(available, {{chol1, chol2}, {sysA, sysB}}, {dia, rate, arm});

        Assign(&page, chol1, "cmdTAnovaDep");
        Assign(&page, chol2, "cmdTAnovaDep");
        Assign(&page, dia, "cmdTAnovaDep");
        Assign(&page, arm, "cmdTAnovaComp");
        for (const QString& name : {sysA, sysB, rate}) Assign(&page, name, "cmdTGroup");
        QVERIFY(rec_.boxes.empty());
        QApplication::processEvents();
        QListWidget* values = List(&page, "lisIndependentFields_4");
        QListWidget* factors = List(&page, "lisComparisonField_4");
        QListWidget* groups = List(&page, "lisGroupFields");
        QListWidget* weight = List(&page, "lisWeightField");
        check(values, {{chol1, chol2}}, {dia});
        check(factors, {}, {arm});
        check(groups, {{sysA, sysB}}, {rate});
        // Hovering shows the whole entry.
        const QRect first = values->visualItemRect(values->item(0));
        QHelpEvent hover(QEvent::ToolTip, first.center(), values->viewport()->mapToGlobal(first.center()));
        QApplication::sendEvent(values->viewport(), &hover);
        QCOMPARE(QToolTip::text(), chol1 + " - (#, Double)");
        // The weight box, one field at a time.
        Transfer(&page, "cmdTAnovaDep", 4);
        Assign(&page, chol1, "cmdTWeight");
        const QString weightOne = probe.Shown(weight, chol1);
        Assign(&page, chol2, "cmdTWeight");
        const QString weightTwo = probe.Shown(weight, chol2);
        QVERIFY2(ends(weightOne, chol1) && ends(weightTwo, chol2) && weightOne != weightTwo,
                 qPrintable(weightOne + " | " + weightTwo));
        Assign(&page, dia, "cmdTWeight");
        QVERIFY2(whole(probe.Shown(weight, dia), dia), qPrintable(probe.Shown(weight, dia)));
        for (QAbstractItemView* list : std::initializer_list<QAbstractItemView*>{values, groups, weight})
            QCOMPARE(list->horizontalScrollBar()->maximum(), 0);

        // The page can be enlarged (maximised too), and its lists grow with it.
        QVERIFY(page.windowFlags() & Qt::WindowMaximizeButtonHint);
        QVERIFY(page.maximumSize().width() > frmQuarn_Fields::kDefaultSize.width());
        const QList<QAbstractItemView*> lists = {available, values, factors, groups, weight};
        QList<QSize> before;
        for (QAbstractItemView* list : lists) before << list->size();
        page.resize(frmQuarn_Fields::kDefaultSize + QSize(400, 200));
        QApplication::processEvents();
        for (int i = 0; i < lists.size(); ++i) {
            QVERIFY2(lists[i]->width() > before[i].width(), qPrintable(lists[i]->objectName()));
            if (lists[i] != weight)
                QVERIFY2(lists[i]->height() > before[i].height(), qPrintable(lists[i]->objectName()));
        }
    }

    void fieldPageReadsTheSourceAndTheStoredRoles() {
        // A stored scenario: two roles of fields still there (one in another
        // letter case, one with a lower-case role), one of a field since removed.
        CZantelsPropWiz stored;
        stored.SetNewScenario("P", "Regression");
        stored.Table("Study");
        stored.OutputTable1("Out");
        stored.ScenarioFields()->Add("AGE", "Y", "7", 1, "AGE");
        stored.ScenarioFields()->Add("Weight", "x", "6", 1, "Weight");
        stored.ScenarioFields()->Add("Gone", "X", "7", 2, "Gone");
        QVERIFY(stored.PostScenario());

        CZantelsPropWiz w;
        w.SetNewScenario("P", "Regression");
        w.Scenario_ID(stored.Scenario_ID());
        w.Table("Study");
        w.Scenario_Description("Pressure");
        frmQuarn_Fields page;
        page.Wiz(&w);
        QCOMPARE(page.windowTitle(), QString("Zelk Statistics Field Selection"));
        QCOMPARE(page.findChild<QLabel*>("lblCalcType")->text(), QString("Regression"));
        QCOMPARE(page.findChild<QLabel*>("lblTable")->text(), QString("Study"));
        QCOMPARE(page.findChild<QLineEdit*>("txtScenario_Description")->text(), QString("Pressure"));
        // The removed field: said once, and no longer in the scenario.
        QCOMPARE(rec_.boxes.size(), size_t(1));
        QVERIFY(QString::fromStdString(LastPrompt()).contains("Gone"));
        QCOMPARE(page.CurrentFrame(), 3);
        QCOMPARE(page.findChild<QStackedWidget*>("fraFieldFrames")->currentWidget()->objectName(),
                 QString("fraFieldFrame_3"));
        QCOMPARE(Rows(List(&page, "lisDependentField_3")), Names({"Age - (#, Double)"}));
        QCOMPARE(Rows(List(&page, "lisIndependentFields_3")), Names({"Weight - (#, Single)"}));
        QCOMPARE(Rows(List(&page, "lisIndependentFields_1")), Names({"Weight - (#, Single)"}));
        // The other fields in source order; memo and binary fields are not offered.
        QCOMPARE(Rows(Available(&page)), Names({"ID", "Clinic", "Smoker", "Visit", "Score"}));
        QCOMPARE(Available(&page)->topLevelItem(1)->text(1), QString("Text"));
        QVERIFY(Available(&page)->topLevelItem(0)->isSelected());
        QCOMPARE(w.ScenarioFields()->Count(), 7);
        QCOMPARE(w.ScenarioFields()->Item(vb::Variant(1))->Name(), std::string("Weight"));  // stored roles first
        QCOMPARE(w.ScenarioFields()->Item(vb::Variant(std::string("age")))->Name(), std::string("Age"));  // as spelt
        QCOMPARE(page.findChild<QGroupBox*>("fraGroupFields")->title(), QString("Group Fields"));
        QVERIFY(!w.Changed());

        // A query offers every field, the memo too.
        db_->CreateQueryDef("qStudy", "SELECT [Age], [Notes] FROM [Study]");
        CZantelsPropWiz q;
        q.SetNewScenario("P", "Crosstab");
        q.Table("qStudy");
        frmQuarn_Fields queryPage;
        queryPage.Wiz(&q);
        QCOMPARE(Rows(Available(&queryPage)), Names({"Age", "Notes"}));
        QCOMPARE(queryPage.findChild<QGroupBox*>("fraGroupFields")->title(), QString("Row Fields"));

        // A source that is neither: empty lists, nothing said.
        rec_.boxes.clear();
        CZantelsPropWiz none;
        none.SetNewScenario("P", "Describe");
        none.Table("Nowhere");
        frmQuarn_Fields nonePage;
        nonePage.Wiz(&none);
        QCOMPARE(Available(&nonePage)->topLevelItemCount(), 0);
        QVERIFY(rec_.boxes.empty());
        // A query that cannot be opened: said, with the reason.
        db_->CreateQueryDef("qAsk", "SELECT * FROM [Study] WHERE [Age] > [Minimum]");
        CZantelsPropWiz ask;
        ask.SetNewScenario("P", "Describe");
        ask.Table("qAsk");
        frmQuarn_Fields askPage;
        askPage.Wiz(&ask);
        QVERIFY(LastPrompt().rfind("Unable to open the specified querydef: 'qAsk'\r\n3061: ", 0) == 0);
    }

    void weightBoxFollowsTheAnalysisRule() {
        // The weight frame takes the catalogue's word for each analysis.
        for (const store::AnalysisDef& analysis : store::Analyses()) {
            CZantelsPropWiz w;
            w.SetNewScenario(std::string(analysis.family), std::string(analysis.subType));
            w.Table("Study");
            frmQuarn_Fields page;
            page.Wiz(&w);
            QCOMPARE(page.findChild<QGroupBox*>("fraWeightField")->isEnabled(), analysis.roles.weight);
        }
        // An analysis that takes no weight: its frame greyed out, and a weight
        // stored anyway is offered again, with a word, not dropped unseen.
        CZantelsPropWiz stored;
        stored.SetNewScenario("P", "Describe");
        stored.Table("Study");
        stored.OutputTable1("Out");
        stored.ScenarioFields()->Add("Age", "X", "7", 1, "Age");
        stored.ScenarioFields()->Add("Weight", "w", "6", 1, "Weight");
        QVERIFY(stored.PostScenario());
        CZantelsPropWiz w;
        w.SetNewScenario("P", "Describe");
        w.Scenario_ID(stored.Scenario_ID());
        w.Table("Study");
        frmQuarn_Fields page(nullptr, [](const std::string& calcType) {
            store::RoleRule rule = frmQuarn_Fields::CatalogueRule(calcType);
            rule.weight = false;
            return rule;
        });
        page.Wiz(&w);
        QVERIFY(!page.findChild<QGroupBox*>("fraWeightField")->isEnabled());
        QVERIFY(!page.findChild<TransferButton*>("cmdTWeight")->Button(1)->isEnabled());
        QCOMPARE(List(&page, "lisWeightField")->count(), 0);
        QVERIFY(Rows(Available(&page)).contains("Weight"));
        QCOMPARE(rec_.boxes.size(), size_t(1));
        QVERIFY2(QString::fromStdString(LastPrompt()).contains("takes no weight field") &&
                     QString::fromStdString(LastPrompt()).contains("Weight"),
                 LastPrompt().c_str());
        QCOMPARE(w.ScenarioFields()->Item(vb::Variant(std::string("Weight")))->Choice(), std::string());
        QCOMPARE(Rows(List(&page, "lisIndependentFields_1")), Names({"Age - (#, Double)"}));
    }

    void eachAnalysisNeedsItsRoles() {
        struct Case {
            const char* calcType;
            std::vector<std::pair<const char*, const char*>> steps;  // (field, control) assigned before Next
            const char* message;                                     // "<passed>" when Next passes
        };
        const Case cases[] = {
            {"Describe", {}, "Independent (X) field must be assigned."},
            {"Describe", {{"Age", "cmdTX"}}, "<passed>"},
            {"N Fields", {{"Age", "cmdTX"}}, "At least 2 Independent (X) fields must be assigned."},
            {"N Fields", {{"Age", "cmdTX"}, {"Weight", "cmdTX"}}, "<passed>"},
            {"ANOVA", {}, "Compare field must be assigned."},
            {"2 Sample", {{"Clinic", "cmdTCXComp"}}, "At least one Dependent field must be assigned."},
            {"N Sample", {{"Clinic", "cmdTCXComp"}, {"Age", "cmdTCX"}}, "<passed>"},
            {"Regression", {}, "Independent (X) field must be assigned."},
            {"Compare", {{"Age", "cmdTXY"}}, "Dependent (Y) field must be assigned."},
            {"Paired Fields", {{"Age", "cmdTXY"}, {"Weight", "cmdTXYDep"}}, "<passed>"},
            {"Two way ANOVA", {{"Clinic", "cmdTAnovaComp"}}, "2 Comparison fields must be assigned."},
            {"Two way ANOVA",
             {{"Clinic", "cmdTAnovaComp"}, {"Smoker", "cmdTAnovaComp"}, {"Visit", "cmdTAnovaComp"}},
             "No more than 2 Comparison fields must be assigned."},
            {"Two way ANOVA",
             {{"Clinic", "cmdTAnovaComp"}, {"Smoker", "cmdTAnovaComp"}},
             "At least one Dependent field must be assigned."},
            {"Crosstab", {}, "At least one Row field must be assigned."},
            {"Crosstab",
             {{"Clinic", "cmdTGroup"}, {"Age", "cmdTWeight"}, {"Smoker", "cmdTXTabCol"}},
             "Weight field requires a value field. Or, you can make the Weight field a Value field and use the Sum "
             "Crosstab option."},
            {"Crosstab", {{"Clinic", "cmdTGroup"}}, "Column field must be assigned."},
            {"Crosstab", {{"Clinic", "cmdTGroup"}, {"Smoker", "cmdTXTabCol"}}, "<passed>"},
            {"Chi-Square", {}, "At least one Comparison field must be assigned."},
            {"Chi-Square", {{"Clinic", "cmdTChi"}}, "<passed>"},
        };
        for (const Case& c : cases) {
            CZantelsPropWiz w;
            rec_.boxes.clear();
            auto page = FieldPage(w, c.calcType);
            page->show();
            for (const auto& [field, control] : c.steps) Assign(page.get(), field, control);
            QVERIFY2(rec_.boxes.empty(), LastPrompt().c_str());
            QCOMPARE(NextMessage(*page), std::string(c.message));
            QCOMPARE(page->isVisible(), std::string(c.message) != "<passed>");
            if (std::string(c.message) == "<passed>") QCOMPARE(page->NavResult(), 2L);
        }
    }

    void transfersKeepRolesAndOrder() {
        CZantelsPropWiz w;
        auto page = FieldPage(w, "Describe");
        page->show();
        auto field = [&](const char* name) { return w.ScenarioFields()->Item(vb::Variant(std::string(name))); };

        // A text field refused by a numbers-only role, but the scenario counts as changed.
        Assign(page.get(), "Clinic", "cmdTX");
        QCOMPARE(LastPrompt(), std::string("Field must be numeric."));
        QCOMPARE(rec_.boxes.back().style, int(ui::vbOKOnly | ui::vbCritical));
        QVERIFY(w.Changed());
        QVERIFY(Rows(Available(page.get())).contains("Clinic"));
        QCOMPARE(field("Clinic")->Choice(), std::string());

        // Three X fields, C moved up twice: C, A, B with positions 1, 2, 3.
        for (const char* name : {"Age", "Weight", "Score"}) Assign(page.get(), name, "cmdTX");
        QListWidget* x = List(page.get(), "lisIndependentFields_1");
        QCOMPARE(Rows(x), Names({"Age - (#, Double)", "Weight - (#, Single)", "Score - (#, Integer)"}));
        x->setCurrentRow(2);
        Transfer(page.get(), "cmdTX", 3);
        Transfer(page.get(), "cmdTX", 3);
        Transfer(page.get(), "cmdTX", 3);  // already first: nothing
        QCOMPARE(Rows(x), Names({"Score - (#, Integer)", "Age - (#, Double)", "Weight - (#, Single)"}));
        QCOMPARE(field("Score")->OrdinalPosition(), 1);
        QCOMPARE(field("Age")->OrdinalPosition(), 2);
        QCOMPARE(field("Weight")->OrdinalPosition(), 3);
        Transfer(page.get(), "cmdTX", 2);  // Score down again
        QCOMPARE(field("Score")->OrdinalPosition(), 2);
        QCOMPARE(field("Age")->OrdinalPosition(), 1);
        // Give back the highlighted field; nothing highlighted says so.
        Transfer(page.get(), "cmdTX", 0);
        QCOMPARE(Rows(x), Names({"Age - (#, Double)", "Weight - (#, Single)"}));
        QCOMPARE(field("Score")->Choice(), std::string());
        x->clearSelection();
        rec_.boxes.clear();
        Transfer(page.get(), "cmdTX", 0);
        QCOMPARE(LastPrompt(), std::string("Please highlight a field."));
        Transfer(page.get(), "cmdTX", 2);
        QCOMPARE(LastPrompt(), std::string("Please highlight a field."));
        // Give back all; then on an empty list nothing happens and nothing is said.
        Transfer(page.get(), "cmdTX", 4);
        QCOMPARE(x->count(), 0);
        QCOMPARE(field("Age")->Choice(), std::string());
        rec_.boxes.clear();
        Transfer(page.get(), "cmdTX", 4);
        Transfer(page.get(), "cmdTX", 0);
        QVERIFY(rec_.boxes.empty());
        // Nothing selected in the available list.
        Available(page.get())->clearSelection();
        Transfer(page.get(), "cmdTGroup", 1);
        QCOMPARE(LastPrompt(), std::string("Please highlight a field."));

        // The weight holds one field: a second one swaps them, position 1.
        Assign(page.get(), "Age", "cmdTWeight");
        Assign(page.get(), "Weight", "cmdTWeight");
        QCOMPARE(Rows(List(page.get(), "lisWeightField")), Names({"Weight - (#, Single)"}));
        QCOMPARE(field("Weight")->Choice(), std::string("W"));
        QCOMPARE(field("Weight")->OrdinalPosition(), 1);
        QCOMPARE(field("Age")->Choice(), std::string());
        QVERIFY(Rows(Available(page.get())).contains("Age"));
        // A double click on a role list gives its field back (a single one even unhighlighted).
        QListWidget* weight = List(page.get(), "lisWeightField");
        weight->clearSelection();
        emit weight->itemDoubleClicked(weight->item(0));
        QCOMPARE(weight->count(), 0);
        // Every field given back stands at its place among the available
        // ones, in the source's order, not at the end.
        QCOMPARE(Rows(Available(page.get())), Names({"ID", "Age", "Weight", "Clinic", "Smoker", "Visit", "Score"}));
    }

    void singleAndAnyTypeRoles() {
        CZantelsPropWiz w;
        auto page = FieldPage(w, "ANOVA");
        page->show();
        Assign(page.get(), "Clinic", "cmdTCXComp");  // any type
        Assign(page.get(), "Age", "cmdTCX");
        List(page.get(), "lisComparisonField_2")->clearSelection();
        List(page.get(), "lisIndependentFields_2")->clearSelection();
        rec_.boxes.clear();
        Transfer(page.get(), "cmdTCXComp", 0);  // a single field goes back unhighlighted
        QCOMPARE(List(page.get(), "lisComparisonField_2")->count(), 0);
        QVERIFY(rec_.boxes.empty());
        Transfer(page.get(), "cmdTCX", 0);
        QCOMPARE(LastPrompt(), std::string("Please highlight a field."));

        // Crosstab values and chi-square compare fields take text fields.
        CZantelsPropWiz x;
        auto crosstab = FieldPage(x, "Crosstab");
        rec_.boxes.clear();
        Assign(crosstab.get(), "Clinic", "cmdTXTab");
        QCOMPARE(Rows(List(crosstab.get(), "lisIndependentFields_5")), Names({"Clinic - (Text)"}));
        // Quick assignment: a number goes to the value fields with role X.
        Pick(crosstab.get(), "Age");
        emit Available(crosstab.get())->itemDoubleClicked(Available(crosstab.get())->currentItem(), 0);
        QCOMPARE(x.ScenarioFields()->Item(vb::Variant(std::string("Age")))->Choice(), std::string("X"));
        QCOMPARE(List(crosstab.get(), "lisIndependentFields_5")->count(), 2);

        CZantelsPropWiz c;
        auto chi = FieldPage(c, "Chi-Square");
        Assign(chi.get(), "Smoker", "cmdTChi");
        QVERIFY(rec_.boxes.empty());
        QCOMPARE(c.ScenarioFields()->Item(vb::Variant(std::string("Smoker")))->Choice(), std::string("C"));
        // A text field double-clicked goes to the groups, a number to the compare fields.
        Pick(chi.get(), "Clinic");
        emit Available(chi.get())->itemDoubleClicked(Available(chi.get())->currentItem(), 0);
        QCOMPARE(Rows(List(chi.get(), "lisGroupFields")), Names({"Clinic - (Text)"}));
        Pick(chi.get(), "Age");
        emit Available(chi.get())->itemDoubleClicked(Available(chi.get())->currentItem(), 0);
        QCOMPARE(c.ScenarioFields()->Item(vb::Variant(std::string("Age")))->Choice(), std::string("C"));
        QCOMPARE(List(chi.get(), "lisIndependentFields_6")->count(), 2);
        QVERIFY(rec_.boxes.empty());
    }

    void leavingTheFieldPage() {
        // Back without changes leaves at once; after a change it asks first.
        CZantelsPropWiz w;
        auto page = FieldPage(w, "Describe");
        page->show();
        Click(page.get(), "cmdNav_1");
        QVERIFY(rec_.boxes.empty());
        QCOMPARE(page->NavResult(), 1L);
        page->show();
        Assign(page.get(), "Age", "cmdTX");
        rec_.Script({ui::vbNo, ui::vbYes});
        page->NavResult(0);
        Click(page.get(), "cmdNav_1");
        QVERIFY(page->isVisible());
        QCOMPARE(LastPrompt(), std::string("You have made changes to this scenario. Are you sure you want to exit?"));
        Click(page.get(), "cmdNav_1");
        QCOMPARE(page->NavResult(), 1L);
        // Cancel never asks.
        page->show();
        rec_.boxes.clear();
        Click(page.get(), "cmdNav_4");
        QCOMPARE(page->NavResult(), 4L);
        QVERIFY(rec_.boxes.empty());

        // A description changed only in letter case is not written.
        CZantelsPropWiz d;
        d.Scenario_Description("Blood Pressure");
        auto described = FieldPage(d, "Describe");
        d.Scenario_Description("Blood Pressure");
        described->show();
        described->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(described.get()));
        auto* box = described->findChild<QLineEdit*>("txtScenario_Description");
        box->setFocus();
        box->setText("blood pressure");
        described->findChild<QWidget*>("cmdChange")->setFocus();
        QVERIFY(!d.Changed());
        QCOMPARE(d.Scenario_Description(), std::string("Blood Pressure"));
        box->setFocus();
        box->setText("Blood pressure, all clinics");
        described->findChild<QWidget*>("cmdChange")->setFocus();
        QVERIFY(d.Changed());
        QCOMPARE(d.Scenario_Description(), std::string("Blood pressure, all clinics"));
    }

    void changingTheSource() {
        Table("Other", {{"Height", dao::dbDouble}});
        CZantelsPropWiz w;
        auto page = FieldPage(w, "Describe");
        page->show();
        Assign(page.get(), "Age", "cmdTX");
        w.Changed(false);
        // Cancel changes nothing.
        apptest::WhenModalNamed("frmQuarn_SelectTable", [](QWidget* dialog) { Click(dialog, "cmdNav_1"); });
        Click(page.get(), "cmdChange");
        QCOMPARE(w.Table(), std::string("Study"));
        QCOMPARE(List(page.get(), "lisIndependentFields_1")->count(), 1);
        QVERIFY(!w.Changed());
        // OK on the same source clears every role and marks the scenario changed.
        apptest::WhenModalNamed("frmQuarn_SelectTable", [](QWidget* dialog) {
            QCOMPARE(dialog->findChild<QLineEdit*>("txtTable")->text(), QString("Study"));
            Click(dialog, "cmdNav_2");
        });
        Click(page.get(), "cmdChange");
        QCOMPARE(List(page.get(), "lisIndependentFields_1")->count(), 0);
        QVERIFY(w.Changed());
        QCOMPARE(w.ScenarioFields()->Item(vb::Variant(std::string("Age")))->Choice(), std::string());
        // Another source: its fields only.
        apptest::WhenModalNamed("frmQuarn_SelectTable", [](QWidget* dialog) {
            dialog->findChild<QLineEdit*>("txtTable")->setText("Other");
            Click(dialog, "cmdNav_2");
        });
        Click(page.get(), "cmdChange");
        QCOMPARE(page->findChild<QLabel*>("lblTable")->text(), QString("Other"));
        QCOMPARE(Rows(Available(page.get())), Names({"Height"}));
        QCOMPARE(w.ScenarioFields()->Count(), 1);
        QVERIFY(!IsFormLoaded("frmQuarn_SelectTable"));
    }

    void valuesToIgnore() {
        auto open = [](CZantelsPropWiz& w) {
            auto dialog = std::make_unique<frmIgnore>();
            dialog->Wiz(&w);
            dialog->show();
            dialog->activateWindow();
            if (!QTest::qWaitForWindowActive(dialog.get())) qWarning("dialog not active");
            return dialog;
        };
        auto box = [](frmIgnore& d, const char* name) { return d.findChild<QLineEdit*>(name); };
        auto option = [](frmIgnore& d, int i) {
            return d.findChild<QRadioButton*>(QString("optMissingtype_%1").arg(i));
        };
        CZantelsPropWiz w;
        w.SetNewScenario("P", "Describe");
        w.MissingType("0");
        {
            auto d = open(w);
            QCOMPARE(d->windowTitle(), QString("Specify Data Values to Ignore"));
            QVERIFY(option(*d, 0)->isChecked());
            for (const char* name : {"txtMissingEqual", "txtMissingLow", "txtMissingHigh"})
                QVERIFY(!box(*d, name)->isEnabled());
            // One value, box empty: said, the focus in the box.
            QTest::mouseClick(option(*d, 1), Qt::LeftButton, {}, QPoint(5, 5));
            QVERIFY(box(*d, "txtMissingEqual")->isEnabled());
            Click(d.get(), "cmdOK");
            QCOMPARE(LastPrompt(), std::string("Missing required value"));
            QCOMPARE(QApplication::focusWidget(), box(*d, "txtMissingEqual"));
            // Typed letters do not reach the box; a lone minus sign is no number.
            QTest::keyClicks(box(*d, "txtMissingEqual"), "x-");
            QCOMPARE(box(*d, "txtMissingEqual")->text(), QString("-"));
            Click(d.get(), "cmdOK");
            QCOMPARE(LastPrompt(), std::string("The value to ignore must be a number."));
            QCOMPARE(QApplication::focusWidget(), box(*d, "txtMissingEqual"));
            QVERIFY(d->isVisible());
            QVERIFY(!w.Changed());
            box(*d, "txtMissingEqual")->setText("-99");
            Click(d.get(), "cmdOK");
            QVERIFY(d->isHidden());
            QCOMPARE(w.MissingType(), std::string("1"));
            QCOMPARE(w.MissingEqual().ToString(), std::string("-99"));
            QVERIFY(w.MissingLow().IsNull() && w.MissingHigh().IsNull());
            QVERIFY(w.Changed());
            // What the dialog keeps, its number column takes.
            w.OutputTable1("Out");
            QVERIFY(w.PostScenario());
            dao::RecordsetPtr rs = db_->OpenRecordset(
                "SELECT MissingEqual FROM usysQuarnScenarios WHERE Scenario_ID = " + std::to_string(w.Scenario_ID()),
                dao::dbOpenSnapshot);
            QCOMPARE(rs->Fields(0)->Value().ToDouble(), -99.0);
        }
        {
            // A range: both bounds empty, lower above upper, a typo, equal bounds.
            auto d = open(w);
            QVERIFY(option(*d, 1)->isChecked());
            QTest::mouseClick(option(*d, 2), Qt::LeftButton, {}, QPoint(5, 5));
            rec_.boxes.clear();
            Click(d.get(), "cmdOK");
            QCOMPARE(LastPrompt(), std::string("Missing required value"));
            QCOMPARE(QApplication::focusWidget(), box(*d, "txtMissingHigh"));
            box(*d, "txtMissingLow")->setText("10");
            box(*d, "txtMissingHigh")->setText("5");
            Click(d.get(), "cmdOK");
            QCOMPARE(LastPrompt(), std::string("Greater Than Value must be Larger than Less Than Value"));
            box(*d, "txtMissingHigh")->setText("1.2.3");
            Click(d.get(), "cmdOK");
            QCOMPARE(LastPrompt(), std::string("The Greater Than value must be a number."));
            QCOMPARE(QApplication::focusWidget(), box(*d, "txtMissingHigh"));
            box(*d, "txtMissingHigh")->setText("10");
            const size_t said = rec_.boxes.size();
            Click(d.get(), "cmdOK");
            QCOMPARE(rec_.boxes.size(), said);
            QCOMPARE(w.MissingType(), std::string("2"));
            QVERIFY(w.MissingEqual().IsNull());  // the unused box emptied
            QCOMPARE(w.MissingLow().ToString(), std::string("10"));
        }
        {
            // Only the lower bound: accepted, the upper one Null.
            auto d = open(w);
            box(*d, "txtMissingHigh")->clear();
            box(*d, "txtMissingLow")->setText("0");
            Click(d.get(), "cmdOK");
            QVERIFY(d->isHidden());
            QVERIFY(w.MissingHigh().IsNull());
            QCOMPARE(w.MissingLow().ToString(), std::string("0"));
        }
        {
            // Enter on a focused Cancel cancels: the typed bound is not kept.
            auto d = open(w);
            box(*d, "txtMissingLow")->setText("7");
            auto* cancel = d->findChild<QPushButton*>("cmdCancel");
            cancel->setFocus();
            QTest::keyClick(cancel, Qt::Key_Return);
            QVERIFY(d->isHidden());
            QCOMPARE(d->result(), int(QDialog::Rejected));
            QCOMPARE(w.MissingLow().ToString(), std::string("0"));
        }
        {
            // The disabled boxes are not checked; back to all values stores Nulls.
            auto d = open(w);
            box(*d, "txtMissingEqual")->setText("-");
            QTest::mouseClick(option(*d, 0), Qt::LeftButton, {}, QPoint(5, 5));
            Click(d.get(), "cmdOK");
            QVERIFY(d->isHidden());
            QCOMPARE(w.MissingType(), std::string("0"));
            QVERIFY(w.MissingEqual().IsNull() && w.MissingLow().IsNull() && w.MissingHigh().IsNull());
        }
        {
            // Cancel leaves everything, Changed included.
            w.Changed(false);
            auto d = open(w);
            QTest::mouseClick(option(*d, 1), Qt::LeftButton, {}, QPoint(5, 5));
            box(*d, "txtMissingEqual")->setText("5");
            Click(d.get(), "cmdCancel");
            QCOMPARE(w.MissingType(), std::string("0"));
            QVERIFY(!w.Changed());
        }
    }

    void oddNamesThroughTheWholeWizard() {
        // A quote, a name that reads like a row's type text, non-ASCII letters.
        const std::string quoted = "Patient's \"score\"";
        const std::string odd = "Group - (A) #1";
        const std::string umlaut = "Größe in cm";
        const std::string source = "Études cliniques";
        Table(source, {{quoted, dao::dbDouble}, {odd, dao::dbText}, {umlaut, dao::dbDouble}});
        {
            dao::RecordsetPtr rs = db_->OpenRecordset(source, dao::dbOpenTable);
            for (int i = 0; i < 12; ++i) {
                rs->AddNew();
                rs->Fields(quoted)->Value(vb::Variant(double(10 + i)));
                rs->Fields(odd)->Value(vb::Variant(std::string(i % 2 ? "a'b" : "ä")));
                rs->Fields(umlaut)->Value(vb::Variant(double(150 + 3 * i)));
                rs->Update();
            }
            rs->Close();
        }
        // Option pages are passed over here, whichever exist.
        wizard::PageFactory previous = wizard::SetPageFactory([](long page, QWidget* owner) -> CWizardPage* {
            if (page >= wizard::kFirstOptionsPage && page <= wizard::kLastOptionsPage)
                return new CPlaceholderPage(page, owner);
            return wizard::CreatePage(page, owner);
        });
        const QString qQuoted = QString::fromStdString(quoted), qOdd = QString::fromStdString(odd),
                      qUmlaut = QString::fromStdString(umlaut), qSource = QString::fromStdString(source);
        apptest::WhenModalNamed("frmQuarn_Create", [=](QWidget* create) {
            apptest::WhenModalNamed("frmQuarn_SelectTable", [=](QWidget* select) {
                apptest::WhenModalNamed("frmQuarn_Fields", [=](QWidget* fields) {
                    apptest::WhenModalNamed("frmQuarn_Finish", [](QWidget* finish) {
                        finish->findChild<QLineEdit*>("txtScenario_Output_Table1_Name")->setText("Ergebnis ü");
                        Click(finish, "cmdNav_3");
                    });
                    Assign(fields, qUmlaut, "cmdTX");
                    Assign(fields, qQuoted, "cmdTX");
                    Assign(fields, qOdd, "cmdTGroup");
                    Click(fields, "cmdNav_2");
                });
                auto* list = select->findChild<QTreeWidget*>("lvwTableQuery");
                QTreeWidgetItem* row = list->findItems(qSource, Qt::MatchExactly).value(0);
                QVERIFY(row);
                DoubleClick(list, row);
            });
            Click(create, "cmdNav_2");
        });
        WizardOutcome out = RunNewScenarioWizard("P", "Describe", nullptr);
        wizard::SetPageFactory(previous);
        QVERIFY2(rec_.boxes.empty(), LastPrompt().c_str());
        QCOMPARE(out.result, 2L);
        QVERIFY(out.scenarioId > 0);

        // The stored roles, positions in the order given.
        std::map<std::string, std::pair<std::string, int>> rows;
        dao::RecordsetPtr rs = db_->OpenRecordset("SELECT * FROM [usysQuarnFields] WHERE [Scenario_ID] = " +
                                                      std::to_string(out.scenarioId),
                                                  dao::dbOpenSnapshot);
        for (; !rs->Eof(); rs->MoveNext())
            rows[rs->Fields("FieldDef_Name")->Value().ToString()] = {
                rs->Fields("FieldDef_Choice")->Value().ToString(),
                rs->Fields("FieldDef_Ordinal_Position")->Value().ToLong()};
        rs->Close();
        QCOMPARE(rows.size(), size_t(3));
        QCOMPARE(rows[umlaut], std::make_pair(std::string("X"), 1));
        QCOMPARE(rows[quoted], std::make_pair(std::string("X"), 2));
        QCOMPARE(rows[odd], std::make_pair(std::string("G"), 1));

        // Edit reads them back onto the page; the engine runs the scenario.
        WizardOutcome edit;
        apptest::WhenModalNamed("frmQuarn_Fields", [&](QWidget* fields) {
            QCOMPARE(Rows(List(fields, "lisGroupFields")), Names({qOdd + " - (Text)"}));
            QCOMPARE(Rows(List(fields, "lisIndependentFields_1")),
                     Names({qUmlaut + " - (#, Double)", qQuoted + " - (#, Double)"}));
            // The odd name's row reads back whole.
            List(fields, "lisGroupFields")->setCurrentRow(0);
            Transfer(fields, "cmdTGroup", 0);
            QVERIFY(Rows(Available(fields)).contains(qOdd));
            Click(fields, "cmdNav_4");
        });
        edit = RunEditScenarioWizard(out.scenarioId, 3, nullptr);
        QCOMPARE(edit.result, 0L);

        Quantara engine;
        engine.putref_ScenarioDatabase(db_);
        int32_t id = static_cast<int32_t>(out.scenarioId);
        QVERIFY2(engine.RunScenario(id), engine.get_ErrorInfo().c_str());
        dao::RecordsetPtr result = db_->OpenRecordset("SELECT Count(*) AS N FROM [Ergebnis ü]", dao::dbOpenSnapshot);
        QVERIFY(result->Fields(0)->Value().ToLong() > 0);
    }

    void helpTopicsExist() {
        CZantelsPropWiz w;
        frmQuarn_SelectTable select;
        auto fields = FieldPage(w, "Describe");
        frmIgnore ignore;
        select.Wiz(&w);
        Click(&select, "cmdNav_0");
        Click(fields.get(), "cmdNav_0");
        Click(&ignore, "cmdHelp");
        QCOMPARE(rec_.helpCalls.size(), size_t(3));
        QFile file(MERIVOX_BIN_DIR "/Merivox.HLP");
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QString text = QString::fromUtf8(file.readAll());
        for (const std::string& call : rec_.helpCalls) {
            const QString topic = QString::fromStdString(call.substr(call.find('#') + 1));
            QVERIFY2(text.contains("<section id=\"topic-" + topic + "\">"), call.c_str());
        }
    }
};

QTEST_MAIN(WizardFieldsTest)
#include "WizardFieldsTest.moc"
