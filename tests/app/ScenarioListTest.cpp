// The scenario list: filters by family and analysis, sorting, selection after
// each action, the right-click menu, the table views, running a scenario with
// its status window, duplicating and deleting (each in one transaction), and
// the hand-over to the wizard.
#include <QAction>
#include <QButtonGroup>
#include <QElapsedTimer>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QTabBar>
#include <QTableView>
#include <QScrollBar>
#include <QStatusBar>
#include <QToolButton>
#include <QTreeWidget>
#include <QtTest>
#include <filesystem>
#include <map>
#include "OtherProgram.h"
#include <utility>

#include "AppTestSupport.h"
#include "FormLookup.h"
#include "shell/CWinPos.h"
#include "CurrentDatabase.h"
#include "ExampleDatabase.h"
#include "shell/MDIMain.h"
#include "shell/Program.h"
#include "wizard/TransferButton.h"
#include "wizard/WizardPage.h"
#include "ScenarioSchema.h"
#include "forms/frmDataGrid.h"
#include "forms/frmStatMain.h"
#include "forms/frmStatus.h"
#include "shell/modMerivox.h"
#include "models/DataGridView.h"
#include "services/ErrorBoundary.h"
#include "services/QtUi.h"
#include "services/ScenarioRunner.h"
#include "ui/UiServices.h"
#include "vb/Conversions.h"

namespace {

using Row = std::map<std::string, std::string>;

std::string Text(const vb::Variant& v) {
    if (v.IsNull()) return "<Null>";
    if (v.Type() == vb::vbDate) return vb::DateToIso(v.ToDate());
    return v.ToString();
}

}  // namespace

// A wizard page that records its number and is left at once by Back.
class BackPage : public CWizardPage {
public:
    BackPage(long page, std::vector<long>* shown) : page_(page), shown_(shown) {}
    void Wiz(CZantelsPropWiz*) override {}
    void ShowModal() override {
        shown_->push_back(page_);
        navResult_ = 1;
    }

protected:
    void NavClicked(int) override {}

private:
    long page_;
    std::vector<long>* shown_;
};

class ScenarioListTest : public QObject {
    Q_OBJECT

    apptest::Environment env_;
    ui::RecordingUi rec_;
    std::unique_ptr<ui::ScopedUi> installed_;
    std::shared_ptr<CErr_Zelk> stack_;
    QPointer<MDIMain> frame_;
    QPointer<frmStatMain> list_;
    std::string template_;
    dao::DatabasePtr db_;

    QTreeWidget* Rows() { return list_->findChild<QTreeWidget*>("lvwScenarios"); }
    QPushButton* Button(int i) { return list_->findChild<QPushButton*>(QString("cmdAction_%1").arg(i)); }
    QRadioButton* Option(const char* array, int i) {
        return list_->findChild<QRadioButton*>(QString("%1_%2").arg(array).arg(i));
    }
    QStringList Ids() {
        QStringList ids;
        for (int i = 0; i < Rows()->topLevelItemCount(); ++i) ids << Rows()->topLevelItem(i)->text(0);
        return ids;
    }
    int Selected() {
        QList<QTreeWidgetItem*> s = Rows()->selectedItems();
        return s.isEmpty() ? 0 : Rows()->indexOfTopLevelItem(s.front()) + 1;
    }
    void Select(const QString& id) {
        for (int i = 0; i < Rows()->topLevelItemCount(); ++i)
            if (Rows()->topLevelItem(i)->text(0) == id) Rows()->setCurrentItem(Rows()->topLevelItem(i));
    }
    std::string LastPrompt() { return rec_.boxes.empty() ? std::string() : rec_.boxes.back().prompt; }

    // Every row of a table for a scenario, each as column name -> value text.
    std::vector<Row> RowsOf(std::string_view table, long id, const std::string& order = "") {
        std::vector<Row> rows;
        dao::RecordsetPtr rs = db_->OpenRecordset("SELECT * FROM [" + std::string(table) +
                                                  "] WHERE Scenario_ID = " + std::to_string(id) + order);
        while (!rs->Eof()) {
            Row row;
            for (const dao::FieldPtr& f : *rs->Fields()) row[f->Name()] = Text(f->Value());
            rows.push_back(row);
            rs->MoveNext();
        }
        rs->Close();
        return rows;
    }
    int Count(std::string_view table) {
        dao::RecordsetPtr rs = db_->OpenRecordset("SELECT Count(*) AS n FROM [" + std::string(table) + "]");
        int n = rs->Fields(0)->Value().ToLong();
        rs->Close();
        return n;
    }
    // A scenario row (with an options row) of a family and analysis; returns its number.
    long AddScenario(const std::string& family, const std::string& subType, const vb::Variant& description) {
        dao::RecordsetPtr row = db_->OpenRecordset(std::string(store::kScenariosTable), dao::dbOpenDynaset);
        row->AddNew();
        const long id = row->Fields("Scenario_ID")->Value().ToLong();
        row->Fields("SortOrder")->Value(vb::Variant(store::AnalysisSortOrder(subType)));
        row->Fields("Scenario_Description")->Value(description);
        row->Fields("Scenario_Analysis_Type")->Value(vb::Variant(family));
        row->Fields("Scenario_Analysis_SubType")->Value(vb::Variant(subType));
        row->Fields("Scenario_Input_Table_Name")->Value(vb::Variant(example::kDataTable));
        row->Fields("Scenario_Output_Table1_Name")->Value(vb::Variant("Out_" + std::to_string(id)));
        row->Fields("MissingType")->Value(vb::Variant("0"));
        row->Update();
        row->Close();
        db_->Execute("INSERT INTO [usysQuarnOptions] (Scenario_ID) VALUES (" + std::to_string(id) + ")");
        return id;
    }
    void Reload() { list_->LoadScenarios(); }

    std::unique_ptr<apptest::OpenDialogCanceller> opens_;

private slots:
    void initTestCase() {
        installed_ = std::make_unique<ui::ScopedUi>(rec_);
        opens_ = std::make_unique<apptest::OpenDialogCanceller>();
        template_ = env_.Path().toStdString() + "/template.db";
        example::BuildExampleDatabase(template_);
    }

    void init() {
        env_.ClearSettings();
        rec_.Reset();
        stack_ = std::make_shared<CErr_Zelk>();
        stack_->DisplayError(false);
        stack_->Destination(vb::Variant(program::ErrorLogPath()));
        SetErrStack(stack_);
        const std::string path = env_.Path().toStdString() + "/work.db";
        std::filesystem::remove(path);
        std::filesystem::copy_file(template_, path);
        dao::WorkspacePtr ws = dao::DBEngine().Workspaces(0);
        db_ = ws->OpenDatabase(path);
        store::SetCurrentDatabase(ws, db_);
        frame_ = new MDIMain;
        frame_->Load();  // asks for a database: the dialog is cancelled
        frame_->ShowStatMain();
        list_ = qobject_cast<frmStatMain*>(FindForm("frmStatMain"));
        QVERIFY(list_);
        rec_.Reset();
    }

    void cleanup() {
        apptest::CheckModalAnswersUsed();
        if (frame_) delete frame_.data();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        store::ClearCurrentDatabase();
        if (db_) db_->Close();
        db_.reset();
        SetErrStack(nullptr);
    }

    void loadsTheParametricScenariosWithTheirColumns() {
        QCOMPARE(list_->windowTitle(), QString("Analysis Scenarios"));
        QCOMPARE(list_->parentWidget()->size(), QSize(610, 360));
        QCOMPARE(list_->ScenTypeMain(), std::string("P"));
        QCOMPARE(list_->ScenType(), std::string("*"));
        QVERIFY(!list_->SysChange());
        QStringList headers;
        for (int c = 0; c < Rows()->columnCount(); ++c) headers << Rows()->headerItem()->text(c);
        QCOMPARE(headers,
                 QStringList({"ID #", "Type", "Scenario Description", "Table", "Output Table 1", "Output Table 2",
                              "Created By", "Created Date", "Modified By", "Modified Date"}));
        QCOMPARE(Ids(), QStringList({"1", "2"}));
        QCOMPARE(Selected(), 1);
        QTreeWidgetItem* regression = Rows()->topLevelItem(1);
        QStringList cells;
        for (int c = 0; c < 10; ++c) cells << regression->text(c);
        QCOMPARE(cells, QStringList({"2", "Regression", "Cholesterol on age and body weight (multiple regression)",
                                     "BloodPressureStudy", "Brux_Chol_Regression", "Brux_Chol_Residuals", "Admin",
                                     "2024-06-11 00:00", "Admin", "2024-06-11 00:00"}));
        QCOMPARE(regression->data(0, Qt::UserRole).toString(), QString("S2"));
        // Every column as wide as its texts (descriptions and dates whole).
        for (int c = 0; c < 10; ++c)
            QVERIFY2(Rows()->columnWidth(c) > Rows()->fontMetrics().horizontalAdvance(regression->text(c)),
                     qPrintable(regression->text(c)));
        auto info = list_->GetScenarioInfo();
        QVERIFY(info);
        QCOMPARE(info->ScenarioID(), std::string("1"));
        QCOMPARE(info->ScenType(), std::string("Describe"));
        QCOMPARE(info->OutputTable1(), std::string("Brux_BP_Describe"));
        QCOMPARE(info->OutputTable2(), std::string());
        QVERIFY(frames(0)->isVisible() && !frames(1)->isVisible() && !frames(2)->isVisible());
        // A click on a long description selects its row and leaves its ID and type in view.
        frame_->show();
        QVERIFY(QTest::qWaitForWindowExposed(list_));
        const QRect cell = Rows()->visualRect(Rows()->model()->index(1, 2));
        QTest::mouseClick(Rows()->viewport(), Qt::LeftButton, {}, cell.center());
        QCOMPARE(Selected(), 2);
        // The view scrolls to the clicked cell once the double-click time has passed.
        Rows()->scrollTo(Rows()->currentIndex());
        QCOMPARE(Rows()->horizontalScrollBar()->value(), 0);
    }
    QWidget* frames(int i) {
        const char* names[] = {"ogSubType_Parametric", "ogSubType_Group", "ogSubType_Non_Parametric"};
        return list_->findChild<QWidget*>(names[i]);
    }

    void filtersByTabAndOption() {
        const long pAnova = AddScenario("P", "Two way ANOVA", vb::Variant("misfiled"));
        const long gAnova = AddScenario("G", "Two way ANOVA", vb::Variant("two factors"));
        const long lower = AddScenario("N", "sign test", vb::Variant::Null());
        Reload();
        QCOMPARE(Ids(), QStringList({"1", QString::number(pAnova), "2"}));  // by sort order, then number

        QTest::mouseClick(Option("optParAnalysisType", 2), Qt::LeftButton);
        QCOMPARE(list_->ScenType(), std::string("Describe"));
        QCOMPARE(Ids(), QStringList({"1"}));
        QTest::mouseClick(Option("optParAnalysisType", 3), Qt::LeftButton);
        QCOMPARE(Ids(), QStringList());
        QCOMPARE(Selected(), 0);
        QVERIFY(!list_->GetScenarioInfo());

        auto* tabs = list_->findChild<QTabBar*>("tabMain");
        tabs->setCurrentIndex(1);
        QCOMPARE(list_->ScenTypeMain(), std::string("G"));
        QCOMPARE(list_->ScenType(), std::string("*"));
        QVERIFY(Option("optGroupAnalysistype", 1)->isChecked());
        QVERIFY(frames(1)->isVisible() && !frames(0)->isVisible());
        QCOMPARE(Ids(), QStringList({"3", QString::number(gAnova)}));
        // The caption says "Two-Way ANOVA"; the filter uses the stored name, and the family must match.
        QTest::mouseClick(Option("optGroupAnalysistype", 4), Qt::LeftButton);
        QCOMPARE(list_->ScenType(), std::string("Two way ANOVA"));
        QCOMPARE(Ids(), QStringList({QString::number(gAnova)}));

        tabs->setCurrentIndex(2);
        QCOMPARE(Ids(), QStringList({"4", QString::number(lower), "5"}));
        QTest::mouseClick(Option("optNonParAnalysisType", 3), Qt::LeftButton);
        QCOMPARE(Ids(), QStringList({QString::number(lower)}));  // names match without regard to case
        QTest::mouseClick(Option("optNonParAnalysisType", 5), Qt::LeftButton);
        QCOMPARE(Ids(), QStringList({"5"}));

        // A filter value is compared, never run as SQL; "*" alone means every analysis.
        list_->ScenType("2 Sample' OR 'a'='a");
        Reload();
        QCOMPARE(Ids(), QStringList());
        list_->ScenType("*Sample");
        Reload();
        QCOMPARE(Ids(), QStringList());
        list_->ScenType("*");
        Reload();
        QCOMPARE(Ids().size(), 3);
        QCOMPARE(stack_->ErrNumber(), 0);
    }

    void sortsByAColumnAsTextAndAlwaysTheSameWay() {
        for (int i = 0; i < 9; ++i)
            AddScenario("P", "Describe", vb::Variant(std::string(1, char(i % 2 ? 'a' + i : 'A' + i)) + " item"));
        Reload();
        QCOMPARE(Ids(), QStringList({"1", "6", "7", "8", "9", "10", "11", "12", "13", "14", "2"}));
        QHeaderView* header = Rows()->header();
        QTest::mouseClick(header->viewport(), Qt::LeftButton, {},
                          QPoint(header->sectionViewportPosition(0) + 5, header->height() / 2));
        const QStringList byText = {"1", "10", "11", "12", "13", "14", "2", "6", "7", "8", "9"};
        QCOMPARE(Ids(), byText);
        QTest::mouseClick(header->viewport(), Qt::LeftButton, {},
                          QPoint(header->sectionViewportPosition(0) + 5, header->height() / 2));
        QCOMPARE(Ids(), byText);
        QTest::mouseClick(header->viewport(), Qt::LeftButton, {},
                          QPoint(header->sectionViewportPosition(2) + 5, header->height() / 2));
        QStringList descriptions;
        for (int i = 0; i < Rows()->topLevelItemCount(); ++i) descriptions << Rows()->topLevelItem(i)->text(2);
        QCOMPARE(descriptions.mid(0, 9), QStringList({"A item", "b item", "C item",
                                                      "Cholesterol on age and body "
                                                      "weight (multiple regression)",
                                                      "d item", "E item", "f item", "G item", "h item"}));
        // A reload brings back the stored order.
        Reload();
        QCOMPARE(Ids().front(), QString("1"));
        QCOMPARE(Ids().back(), QString("2"));
    }

    void deleteAsksRemovesEveryRowAndKeepsThePosition() {
        AddScenario("P", "Crosstab", vb::Variant("third"));
        AddScenario("P", "Crosstab", vb::Variant::Null());
        const long last = AddScenario("P", "Crosstab", vb::Variant("fifth"));
        Reload();
        QCOMPARE(Ids().size(), 5);
        Rows()->setCurrentItem(Rows()->topLevelItem(4));
        rec_.Script(ui::vbNo);
        QTest::mouseClick(Button(3), Qt::LeftButton);
        QCOMPARE(LastPrompt(),
                 "Are you sure you want to permanently delete Scenario #" + std::to_string(last) + "\r\n (fifth)?");
        QCOMPARE(rec_.boxes.back().style, ui::vbYesNo | ui::vbQuestion);
        QCOMPARE(Ids().size(), 5);

        rec_.Script(ui::vbYes);
        QTest::mouseClick(Button(3), Qt::LeftButton);
        QCOMPARE(Ids().size(), 4);
        QCOMPARE(Selected(), 4);  // the last row was deleted: the one before it
        QCOMPARE(RowsOf(store::kScenariosTable, last).size(), size_t(0));
        QCOMPARE(RowsOf(store::kOptionsTable, last).size(), size_t(0));

        // Without a description the question has no second line.
        rec_.Script(ui::vbNo);
        QTest::mouseClick(Button(3), Qt::LeftButton);
        QCOMPARE(LastPrompt(), "Are you sure you want to permanently delete Scenario #" + Ids()[3].toStdString() + "?");

        // A scenario with field rows leaves nothing in any of the three tables.
        QVERIFY(!RowsOf(store::kFieldsTable, 2).empty());
        Select("2");
        rec_.Script(ui::vbYes);
        list_->ContextMenuHandler(70);
        QCOMPARE(RowsOf(store::kScenariosTable, 2).size(), size_t(0));
        QCOMPARE(RowsOf(store::kOptionsTable, 2).size(), size_t(0));
        QCOMPARE(RowsOf(store::kFieldsTable, 2).size(), size_t(0));
        QVERIFY(!Ids().contains("2"));

        // Nothing selected: said as Run and Edit say it; nothing asked.
        QTest::mouseClick(Option("optParAnalysisType", 3), Qt::LeftButton);
        rec_.Reset();
        QTest::mouseClick(Button(3), Qt::LeftButton);
        QCOMPARE(rec_.boxes.size(), size_t(1));
        QCOMPARE(LastPrompt(), std::string("Please select a scenario from the list"));
        QCOMPARE(rec_.boxes.back().style, int(ui::vbOKOnly));
    }

    void aFailedDeleteLeavesTheTablesAsTheyWere() {
        const auto scenario = RowsOf(store::kScenariosTable, 2);
        const auto fields = RowsOf(store::kFieldsTable, 2, " ORDER BY FieldDef_Name");
        // The options table goes: its delete, the last of the three, fails.
        db_->TableDefs()->Delete(std::string(store::kOptionsTable));
        Select("2");
        rec_.Script(ui::vbYes);
        bool dialogShown = false;
        apptest::WhenModalNamed("frmErrorHandler", [&](QWidget* dialog) {
            dialogShown = true;
            QTest::mouseClick(dialog->findChild<QPushButton*>("cmdAction_0"), Qt::LeftButton);
        });
        QTest::mouseClick(Button(3), Qt::LeftButton);
        QVERIFY(dialogShown);
        QCOMPARE(stack_->ErrProcedure(), std::string("frmStatMain:DeleteScenario"));
        QVERIFY(QString::fromStdString(stack_->ErrDescription()).contains("usysQuarnOptions"));
        QCOMPARE(RowsOf(store::kScenariosTable, 2), scenario);
        QCOMPARE(RowsOf(store::kFieldsTable, 2, " ORDER BY FieldDef_Name"), fields);
        QVERIFY(Ids().contains("2"));
    }

    void duplicateCopiesEverythingButNumberAndDescription() {
        Select("2");
        QString current, proposed;
        bool okWhenEmpty = true;
        apptest::WhenModalNamed("frmDuplicate", [&](QWidget* dialog) {
            QCOMPARE(dialog->windowTitle(), QString("Duplicate Scenario"));
            QCOMPARE(dialog->findChild<QLabel*>("lblScenario")->text(), QString("Scenarion Description:"));
            current = dialog->findChild<QLabel*>("lblCurrentScenario")->text();
            auto* box = dialog->findChild<QLineEdit*>("txtNewScenario");
            proposed = box->text();
            box->clear();
            okWhenEmpty = dialog->findChild<QPushButton*>("cmdAction_0")->isEnabled();
            QTest::keyClicks(box, "Second look at cholesterol");
            QTest::mouseClick(dialog->findChild<QPushButton*>("cmdAction_0"), Qt::LeftButton);
        });
        QTest::mouseClick(Button(2), Qt::LeftButton);
        QCOMPARE(current, QString("Cholesterol on age and body weight (multiple regression)"));
        QCOMPARE(proposed, "Copy of " + current);
        QVERIFY(!okWhenEmpty);

        const long copy = 6;
        auto original = RowsOf(store::kScenariosTable, 2);
        auto duplicate = RowsOf(store::kScenariosTable, copy);
        QCOMPARE(duplicate.size(), size_t(1));
        QCOMPARE(duplicate[0]["Scenario_Description"], std::string("Second look at cholesterol"));
        QCOMPARE(duplicate[0]["Scenario_ID"], std::string("6"));
        for (auto* row : {&original[0], &duplicate[0]}) {
            row->erase("Scenario_ID");
            row->erase("Scenario_Description");
        }
        QCOMPARE(duplicate, original);

        auto options = RowsOf(store::kOptionsTable, 2), optionsCopy = RowsOf(store::kOptionsTable, copy);
        QCOMPARE(optionsCopy.size(), size_t(1));
        QCOMPARE(optionsCopy[0]["Scenario_ID"], std::string("6"));
        QCOMPARE(optionsCopy[0]["RegressType"], std::string("M"));
        options[0].erase("Scenario_ID");
        optionsCopy[0].erase("Scenario_ID");
        QCOMPARE(optionsCopy, options);

        auto fields = RowsOf(store::kFieldsTable, 2, " ORDER BY FieldDef_Name");
        auto fieldsCopy = RowsOf(store::kFieldsTable, copy, " ORDER BY FieldDef_Name");
        QCOMPARE(fieldsCopy.size(), size_t(3));
        for (auto& r : fields) r.erase("Scenario_ID");
        for (auto& r : fieldsCopy) {
            QCOMPARE(r["Scenario_ID"], std::string("6"));
            r.erase("Scenario_ID");
        }
        QCOMPARE(fieldsCopy, fields);

        // Same sort order: after the copied scenario; the position selected before stays selected.
        QCOMPARE(Ids(), QStringList({"1", "2", "6"}));
        QCOMPARE(Selected(), 2);
    }

    void generateCodeShowsTheSelectedScenario() {
        Select("2");
        QString code;
        apptest::WhenModalNamed("frmGenerateCode", [&](QWidget* dialog) {
            code = dialog->findChild<QPlainTextEdit*>("txtCode")->toPlainText();
            QTest::mouseClick(dialog->findChild<QPushButton*>("cmdClose"), Qt::LeftButton);
        });
        list_->GenerateCode();
        QVERIFY(code.contains("RunScenario"));
        QVERIFY(code.contains("Cholesterol on age and body weight (multiple regression)"));
        QVERIFY(rec_.boxes.empty());
    }

    void duplicateOfANullDescriptionAndWithoutFields() {
        const long id = AddScenario("P", "Describe", vb::Variant::Null());
        Reload();
        Select(QString::number(id));
        QString proposed = "unset";
        apptest::WhenModalNamed("frmDuplicate", [&](QWidget* dialog) {
            proposed = dialog->findChild<QLineEdit*>("txtNewScenario")->text();
            QTest::mouseClick(dialog->findChild<QPushButton*>("cmdAction_0"), Qt::LeftButton);
        });
        list_->ContextMenuHandler(60);
        QCOMPARE(proposed, QString("Copy of "));
        QCOMPARE(RowsOf(store::kScenariosTable, id + 1).at(0).at("Scenario_Description"), std::string("Copy of "));
        QCOMPARE(RowsOf(store::kFieldsTable, id + 1).size(), size_t(0));
    }

    void duplicateOfAVanishedScenarioCopiesNothing() {
        Select("2");
        // Still listed, its options row gone.
        db_->Execute("DELETE * FROM [usysQuarnOptions] WHERE [Scenario_ID] = 2;");
        const int scenarios = Count(store::kScenariosTable), options = Count(store::kOptionsTable),
                  fields = Count(store::kFieldsTable);
        QTest::mouseClick(Button(2), Qt::LeftButton);
        QCOMPARE(LastPrompt(), std::string("Error retrieving current scenario information"));
        QCOMPARE(Count(store::kScenariosTable), scenarios);
        QCOMPARE(Count(store::kOptionsTable), options);
        QCOMPARE(Count(store::kFieldsTable), fields);

        // Nothing selected: the duplicate asks for a selection.
        QTest::mouseClick(Option("optParAnalysisType", 3), Qt::LeftButton);
        QTest::mouseClick(Button(2), Qt::LeftButton);
        QCOMPARE(LastPrompt(), std::string("Please select a scenario from the list to duplicate"));
    }

    void aFailedDuplicateLeavesTheTablesAsTheyWere() {
        // The field rows' copy, the last of the three writes, fails.
        db_->TableDefs()->Delete(std::string(store::kFieldsTable));
        const int scenarios = Count(store::kScenariosTable), options = Count(store::kOptionsTable);
        Select("2");
        bool errorShown = false, stillOpen = false;
        apptest::WhenModalNamed("frmDuplicate", [&](QWidget* dialog) {
            apptest::WhenModalNamed("frmErrorHandler", [&](QWidget* error) {
                errorShown = true;
                QTest::mouseClick(error->findChild<QPushButton*>("cmdAction_0"), Qt::LeftButton);
            });
            QTest::mouseClick(dialog->findChild<QPushButton*>("cmdAction_0"), Qt::LeftButton);
            stillOpen = dialog->isVisible();
            QTest::mouseClick(dialog->findChild<QPushButton*>("cmdAction_1"), Qt::LeftButton);
        });
        QTest::mouseClick(Button(2), Qt::LeftButton);
        QVERIFY(errorShown);
        QVERIFY(stillOpen);
        QCOMPARE(stack_->ErrProcedure(), std::string("frmDuplicate:SaveNewScenario"));
        QCOMPARE(Count(store::kScenariosTable), scenarios);
        QCOMPARE(Count(store::kOptionsTable), options);
    }

    void duplicateWhileAnotherProgramHoldsTheWriteLockSaysSo() {
        // Another connection to the file holds its write lock, as another
        // program writing to it would.
        dao::DatabasePtr other = dao::DBEngine().Workspaces(0)->OpenDatabase(db_->Name());
        other->BeginTrans(true);
        other->Execute("UPDATE [usysQuarnScenarios] SET [Scenario_Description] = 'theirs' WHERE Scenario_ID = 1");
        const int scenarios = Count(store::kScenariosTable), options = Count(store::kOptionsTable),
                  fields = Count(store::kFieldsTable);
        Select("2");
        // Said before the dialog opens (one would come with no answer and fail the test).
        QTest::mouseClick(Button(2), Qt::LeftButton);
        QCOMPARE(stack_->ErrProcedure(), std::string());
        QVERIFY2(QString::fromStdString(LastPrompt())
                     .contains("is locked by another program, so the scenario cannot be duplicated now"),
                 LastPrompt().c_str());
        QVERIFY(QString::fromStdString(LastPrompt()).contains("Try again when the other program is done"));
        other->Rollback();
        other->Close();
        QCOMPARE(Count(store::kScenariosTable), scenarios);
        QCOMPARE(Count(store::kOptionsTable), options);
        QCOMPARE(Count(store::kFieldsTable), fields);
    }

    void anotherProgramsLockKeepsTheListAndEveryCommandSaysSo() {
        // Another program holds the file's exclusive lock, the lock wait left
        // at its 10 s; it has changed scenario 2 in its transaction.
        const int scenarios = Count(store::kScenariosTable);
        apptest::OtherProgram other(db_->Name());
        QCOMPARE(other.OpenResult(), SQLITE_OK);
        QCOMPARE(other.Exec("BEGIN EXCLUSIVE; UPDATE usysQuarnScenarios SET Scenario_Description = 'theirs' "
                            "WHERE Scenario_ID = 2"),
                 SQLITE_OK);
        Select("2");
        QElapsedTimer clock;
        clock.start();

        // Reloads, after a command and by a tab, keep the rows and the chosen one, with no box.
        Reload();
        QCOMPARE(Ids(), QStringList({"1", "2"}));
        QCOMPARE(Rows()->selectedItems().size(), 1);
        QCOMPARE(Rows()->selectedItems()[0]->text(0), QString("2"));
        QCOMPARE(rec_.boxes.size(), size_t(0));
        QVERIFY(frame_->statusBar()->currentMessage().contains("Another program holds the database locked"));

        // New, Edit, Duplicate and Delete say plainly the file is locked, at
        // once and before anything is asked or any wizard page reads the file.
        const std::pair<int, const char*> commands[] = {
            {0, "be created"}, {1, "be edited"}, {2, "be duplicated"}, {3, "be deleted"}};
        for (const auto& [button, what] : commands) {
            const size_t before = rec_.boxes.size();
            QTest::mouseClick(Button(button), Qt::LeftButton);
            QCOMPARE(rec_.boxes.size(), before + 1);
            QVERIFY2(QString::fromStdString(LastPrompt())
                         .contains(QString("is locked by another program, so the scenario cannot %1 now").arg(what)),
                     LastPrompt().c_str());
            QCOMPARE(Ids(), QStringList({"1", "2"}));
            QCOMPARE(Rows()->selectedItems()[0]->text(0), QString("2"));
        }
        // A view of a table says so plainly too, as no unexpected error.
        list_->ContextMenuHandler(90);
        QVERIFY2(QString::fromStdString(LastPrompt())
                     .contains("cannot be shown now: another program holds the database locked"),
                 LastPrompt().c_str());
        QCOMPARE(GridCaptions(), QStringList());
        auto* tabs = list_->findChild<QTabBar*>("tabMain");
        tabs->setCurrentIndex(1);
        QCOMPARE(Ids(), QStringList({"1", "2"}));
        QCOMPARE(rec_.boxes.size(), size_t(5));
        QVERIFY2(clock.elapsed() < 3000, qPrintable(QString::number(clock.elapsed())));
        QCOMPARE(stack_->ErrNumber(), 0);

        // The lock ends: the list reads again within about a second, as the tab asked.
        QCOMPARE(other.Exec("COMMIT"), SQLITE_OK);
        QTRY_COMPARE_WITH_TIMEOUT(Ids(), QStringList({"3"}), 1500);
        QCOMPARE(Selected(), 1);
        QCOMPARE(frame_->statusBar()->currentMessage(), QString());
        tabs->setCurrentIndex(0);
        QCOMPARE(Rows()->topLevelItem(1)->text(2), QString("theirs"));
        QCOMPARE(Count(store::kScenariosTable), scenarios);
        QCOMPARE(rec_.boxes.size(), size_t(5));
    }

    void wizardPagesWaitForAnotherProgramsLockTakenWhileTheyAreOpen() {
        // New is chosen; another program then takes the file's exclusive
        // lock (the lock wait left at its 10 s) while the wizard is open.
        // What each page shows is noted there and checked after the wizard
        // closes; every page is left whatever it showed, so none is shown again.
        const int scenarios = Count(store::kScenariosTable);
        apptest::OtherProgram other(db_->Name());
        QCOMPARE(other.OpenResult(), SQLITE_OK);
        auto lock = [&](const char* sql) { return other.Exec(sql) == SQLITE_OK; };
        auto note = [](QWidget* page) {
            auto* label = page->findChild<QLabel*>("lblLockNote");
            return label && label->isVisibleTo(page) ? label->text() : QString();
        };
        auto click = [](QWidget* page, const char* name) {
            QTest::mouseClick(page->findChild<QAbstractButton*>(name), Qt::LeftButton);
        };
        struct Seen {
            size_t boxes = 99;
            QString note;
            int rows = -1;
        } sourceLocked, fieldsLocked, fieldsNext, fieldsAfter, sourceAfter;
        std::string viewPrompt, savePrompt;
        bool locked = false, savedAfter = false;
        QPointer<QWidget> source;
        apptest::WhenModalNamed("frmQuarn_Create", [&](QWidget* create) {
            locked = lock("BEGIN EXCLUSIVE");
            apptest::WhenModalNamed("frmQuarn_SelectTable", [&](QWidget* select) {
                source = select;
                auto* sources = select->findChild<QTreeWidget*>("lvwTableQuery");
                sourceLocked = {rec_.boxes.size(), note(select), sources->topLevelItemCount()};
                select->findChild<QLineEdit*>("txtTable")->setText("BloodPressureStudy");
                click(select, "cmdViewTable");
                viewPrompt = LastPrompt();
                apptest::WhenModalNamed("frmQuarn_Fields", [&](QWidget* fields) {
                    auto* available = fields->findChild<QTreeWidget*>("lvwAvailableFields");
                    fieldsLocked = {rec_.boxes.size(), note(fields), available->topLevelItemCount()};
                    click(fields, "cmdNav_2");
                    fieldsNext = {rec_.boxes.size(), note(fields), fields->isVisible() ? 1 : 0};
                    // The lock ends: both pages are to fill in by themselves.
                    lock("COMMIT");
                    static_cast<void>(QTest::qWaitFor(
                        [&] { return available->topLevelItemCount() > 0 && note(fields).isEmpty(); }, 3000));
                    fieldsAfter = {rec_.boxes.size(), note(fields), available->topLevelItemCount()};
                    auto* listed = source->findChild<QTreeWidget*>("lvwTableQuery");
                    static_cast<void>(QTest::qWaitFor([&] { return listed->topLevelItemCount() > 0; }, 3000));
                    sourceAfter = {rec_.boxes.size(), note(source), listed->topLevelItemCount()};
                    QTreeWidgetItem* number = nullptr;
                    for (int i = 0; i < available->topLevelItemCount() && !number; ++i)
                        if (available->topLevelItem(i)->text(1).startsWith("#")) number = available->topLevelItem(i);
                    if (!number) {
                        click(fields, "cmdNav_4");
                        return;
                    }
                    available->setCurrentItem(number);
                    fields->findChild<TransferButton*>("cmdTX")->Button(1)->click();
                    apptest::WhenModalNamed("frmQuarn_Options_Describe", [&](QWidget* options) {
                        apptest::WhenModalNamed("frmQuarn_Finish", [&](QWidget* finish) {
                            // Save under the lock.
                            lock("BEGIN EXCLUSIVE");
                            const size_t before = rec_.boxes.size();
                            click(finish, "cmdNav_3");
                            savePrompt = rec_.boxes.size() == before + 1
                                             ? LastPrompt()
                                             : "<boxes: " + std::to_string(rec_.boxes.size() - before) + ">";
                            lock("ROLLBACK");
                            click(finish, "cmdNav_3");
                            savedAfter = !finish->isVisible();
                            if (!savedAfter) {
                                rec_.Script(ui::vbYes);
                                click(finish, "cmdNav_2");
                            }
                        });
                        click(options, "cmdNav_2");
                    });
                    click(fields, "cmdNav_2");
                });
                click(select, "cmdNav_2");
            });
            click(create, "cmdNav_2");
        });
        QTest::mouseClick(Button(0), Qt::LeftButton);
        QVERIFY(locked);

        // The source page says once, on the page, that it waits: no box, nothing listed.
        QCOMPARE(sourceLocked.boxes, size_t(0));
        QVERIFY2(sourceLocked.note.contains("Another program holds the database locked"),
                 qPrintable(sourceLocked.note));
        QCOMPARE(sourceLocked.rows, 0);
        // View says plainly that the table cannot be shown now.
        QVERIFY2(QString::fromStdString(viewPrompt)
                     .contains("cannot be shown now: another program holds the database "
                               "locked"),
                 viewPrompt.c_str());
        // The field page waits the same way; Next stays on it without a box.
        QCOMPARE(fieldsLocked.boxes, size_t(1));
        QVERIFY2(fieldsLocked.note.contains("Another program holds the database locked"),
                 qPrintable(fieldsLocked.note));
        QCOMPARE(fieldsLocked.rows, 0);
        QCOMPARE(fieldsNext.boxes, size_t(1));
        QCOMPARE(fieldsNext.rows, 1);
        // The lock over, both pages filled in by themselves and their notes went.
        QCOMPARE(fieldsAfter.boxes, size_t(1));
        QCOMPARE(fieldsAfter.note, QString());
        QVERIFY(fieldsAfter.rows > 0);
        QCOMPARE(sourceAfter.note, QString());
        QVERIFY(sourceAfter.rows > 0);
        // Save under the lock said at once that it cannot be saved now; after it, it saved.
        QVERIFY2(QString::fromStdString(savePrompt)
                     .contains("is locked by another program, so the scenario cannot be saved now"),
                 savePrompt.c_str());
        QVERIFY(savedAfter);
        QCOMPARE(rec_.boxes.size(), size_t(2));
        QCOMPARE(stack_->ErrNumber(), 0);
        QCOMPARE(Count(store::kScenariosTable), scenarios + 1);
    }

    void followsAnotherProgramAndActsOnlyOnTheChosenScenario() {
        // Another program's connection to the file; no key is pressed while it writes.
        dao::DatabasePtr other = dao::DBEngine().Workspaces(0)->OpenDatabase(db_->Name());
        auto removeElsewhere = [&](const QString& id) {
            for (std::string_view table : {store::kScenariosTable, store::kFieldsTable, store::kOptionsTable})
                other->Execute("DELETE FROM [" + std::string(table) + "] WHERE Scenario_ID = " + id.toStdString());
        };
        auto chosen = [this] { return Rows()->selectedItems().size() == 1 ? Rows()->selectedItems()[0]->text(0) : ""; };
        auto description = [this](const QString& id) {
            const QList<QTreeWidgetItem*> found = Rows()->findItems(id, Qt::MatchExactly, 0);
            return found.isEmpty() ? QString() : found.front()->text(2);
        };
        const QString gone = QString::number(AddScenario("P", "Crosstab", vb::Variant("theirs")));
        Reload();
        const int scenarios = Count(store::kScenariosTable);

        // An edit elsewhere shows within a second; the chosen scenario stays chosen.
        Select("2");
        other->Execute("UPDATE [usysQuarnScenarios] SET Scenario_Description = 'edited' WHERE Scenario_ID = 2");
        QTRY_COMPARE_WITH_TIMEOUT(description("2"), QString("edited"), 1500);
        QCOMPARE(chosen(), QString("2"));

        // The chosen scenario deleted elsewhere: none is chosen, and the user is told.
        Select(gone);
        removeElsewhere(gone);
        QTRY_VERIFY_WITH_TIMEOUT(!Ids().contains(gone), 1500);
        QCOMPARE(chosen(), QString());
        QVERIFY2(frame_->statusBar()->currentMessage().contains("Scenario #" + gone + " is no longer in the list"),
                 qPrintable(frame_->statusBar()->currentMessage()));
        // No command takes another scenario for it.
        QTest::mouseClick(Button(4), Qt::LeftButton);
        QCOMPARE(LastPrompt(), std::string("Please select a scenario from the list"));
        QTest::mouseClick(Button(1), Qt::LeftButton);
        QCOMPARE(LastPrompt(), std::string("Please select a scenario from the list"));
        QCOMPARE(chosen(), QString());
        QTest::mouseClick(Button(3), Qt::LeftButton);
        QCOMPARE(LastPrompt(), std::string("Please select a scenario from the list"));
        QTest::mouseClick(Button(2), Qt::LeftButton);
        QCOMPARE(LastPrompt(), std::string("Please select a scenario from the list to duplicate"));
        QCOMPARE(chosen(), QString());
        QVERIFY(frame_->statusBar()->currentMessage().contains("Scenario #" + gone));
        // Choosing a row again ends the note.
        Select("1");
        QCOMPARE(frame_->statusBar()->currentMessage(), QString());

        // Deleted elsewhere the moment before a command: the command names
        // the scenario gone and acts on none, and none is chosen after it.
        removeElsewhere("1");
        const size_t before = rec_.boxes.size();
        Button(4)->click();
        QCOMPARE(rec_.boxes.size(), before + 1);
        QCOMPARE(LastPrompt(), "Scenario #1 is no longer in the list: another program deleted it or changed it. "
                               "No scenario is chosen.");
        QCOMPARE(chosen(), QString());
        list_->ContextMenuHandler(60);
        QCOMPARE(LastPrompt(), std::string("Please select a scenario from the list to duplicate"));
        QCOMPARE(Count(store::kScenariosTable), scenarios - 2);
        other->Close();
        QCOMPARE(stack_->ErrNumber(), 0);
    }

    void anAnswerActsOnlyOnTheScenarioItNamed() {
        // Another program's connection changes a scenario while a question about it stands.
        apptest::OtherProgram other(db_->Name(), 5000);
        QCOMPARE(other.OpenResult(), SQLITE_OK);
        auto elsewhere = [&other](const std::string& sql) { QCOMPARE(other.Exec(sql), SQLITE_OK); };
        // Scenario `target` replaced, in one transaction, by a copy of the regression (scenario 2).
        auto replaceByRegression = [&](long target) {
            std::string sql = "BEGIN;";
            for (std::string_view table : {store::kScenariosTable, store::kOptionsTable, store::kFieldsTable}) {
                const std::string t(table), id = std::to_string(target);
                sql += "DELETE FROM " + t + " WHERE Scenario_ID = " + id + "; CREATE TEMP TABLE c AS SELECT * FROM " +
                       t + " WHERE Scenario_ID = 2; UPDATE c SET Scenario_ID = " + id + "; INSERT INTO " + t +
                       " SELECT * FROM c; DROP TABLE c;";
            }
            elsewhere(sql + "COMMIT;");
        };
        auto chosen = [this] { return Rows()->selectedItems().size() == 1 ? Rows()->selectedItems()[0]->text(0) : ""; };
        auto said = [this] { return QString::fromStdString(LastPrompt()); };

        // Run: the overwrite question stands while scenario 1 becomes a regression; Yes runs nothing.
        dao::TableDefPtr table = db_->CreateTableDef("Brux_BP_Describe");
        table->Fields()->Append(table->CreateField("x", dao::dbLong));
        db_->TableDefs()->Append(table);
        QVERIFY(!TableExists(db_, "Brux_Chol_Regression"));
        Select("1");
        rec_.WhileAsked([&](const std::string&) { replaceByRegression(1); });
        rec_.Script(ui::vbYes);
        Button(4)->click();
        QVERIFY2(said().startsWith("Scenario #1 was changed by another program since you chose it: its analysis is "
                                   "now \"Regression\" (was \"Describe\")"),
                 qPrintable(said()));
        QVERIFY(said().contains("its output tables are now Brux_Chol_Regression and Brux_Chol_Residuals (were "
                                "Brux_BP_Describe)"));
        QVERIFY(said().contains("Nothing was run."));
        QVERIFY(!TableExists(db_, "Brux_Chol_Regression"));
        QCOMPARE(db_->TableDefs()->Item("Brux_BP_Describe")->Fields()->Count(), 1);
        QCOMPARE(GridCaptions(), QStringList());
        QCOMPARE(chosen(), QString("1"));

        // Delete: the scenario named is replaced while asked; Yes deletes nothing.
        const long changed = AddScenario("P", "Describe", vb::Variant("Copy 25 of describe"));
        const long gone = AddScenario("P", "Describe", vb::Variant("gone"));
        const long after = AddScenario("P", "Describe", vb::Variant("after"));
        Reload();
        Select(QString::number(changed));
        rec_.WhileAsked([&](const std::string& prompt) {
            QCOMPARE(prompt, "Are you sure you want to permanently delete Scenario #" + std::to_string(changed) +
                                 "\r\n (Copy 25 of describe)?");
            replaceByRegression(changed);
        });
        rec_.Script(ui::vbYes);
        Button(3)->click();
        QVERIFY2(said().contains("was changed by another program since you chose it: its analysis is now "
                                 "\"Regression\""),
                 qPrintable(said()));
        QVERIFY(said().contains("Nothing was deleted."));
        QCOMPARE(RowsOf(store::kScenariosTable, changed).at(0).at("Scenario_Analysis_SubType"),
                 std::string("Regression"));
        QCOMPARE(RowsOf(store::kFieldsTable, changed).size(), RowsOf(store::kFieldsTable, 2).size());
        QCOMPARE(chosen(), QString::number(changed));

        // Delete: the scenario named is deleted elsewhere while asked; the user is told and none is chosen.
        Select(QString::number(gone));
        rec_.WhileAsked([&](const std::string&) {
            elsewhere("BEGIN; DELETE FROM usysQuarnScenarios WHERE Scenario_ID = " + std::to_string(gone) +
                      "; DELETE FROM usysQuarnOptions WHERE Scenario_ID = " + std::to_string(gone) + "; COMMIT;");
        });
        rec_.Script(ui::vbYes);
        Button(3)->click();
        QCOMPARE(LastPrompt(), "Scenario #" + std::to_string(gone) +
                                   " is no longer in the database: another program deleted it since you chose "
                                   "it.\r\n\r\nNothing was deleted.");
        QCOMPARE(chosen(), QString());
        QVERIFY(Ids().contains(QString::number(after)));

        // Duplicate: the scenario shown is changed while the dialog stands; OK copies nothing.
        const int scenarios = Count(store::kScenariosTable);
        Select(QString::number(after));
        apptest::WhenModalNamed("frmDuplicate", [&](QWidget* dialog) {
            elsewhere("UPDATE usysQuarnScenarios SET Scenario_Description = 'theirs' WHERE Scenario_ID = " +
                      std::to_string(after));
            QTest::mouseClick(dialog->findChild<QPushButton*>("cmdAction_0"), Qt::LeftButton);
        });
        Button(2)->click();
        QVERIFY2(said().contains("its description is now \"theirs\" (was \"after\")"), qPrintable(said()));
        QVERIFY(said().contains("Nothing was copied."));
        QCOMPARE(Count(store::kScenariosTable), scenarios);
        QCOMPARE(chosen(), QString::number(after));
        QCOMPARE(stack_->ErrNumber(), 0);
    }

    void aReadOnlyDatabaseIsListedAndViewedButNeverChanged() {
        // The copy opened read-only (SQLite's read-only open), as a file that
        // cannot be written is opened.
        const std::string path = db_->Name();
        store::ClearCurrentDatabase();
        db_->Close();
        dao::WorkspacePtr ws = dao::DBEngine().Workspaces(0);
        db_ = ws->OpenDatabase(path, false, true);
        store::SetCurrentDatabase(ws, db_);
        Reload();
        QCOMPARE(Ids(), QStringList({"1", "2"}));
        Select("1");
        list_->ViewDataTable();
        QVERIFY(GridCaptions().contains("Input Data Table: BloodPressureStudy"));

        const int scenarios = Count(store::kScenariosTable), options = Count(store::kOptionsTable),
                  fields = Count(store::kFieldsTable);
        const char* names[] = {"New", "Duplicate", "Delete", "Run"};
        for (int button : {0, 2, 3, 4}) {
            rec_.Reset();
            Select("1");
            QTest::mouseClick(Button(button), Qt::LeftButton);
            const QString said = QString::fromStdString(LastPrompt());
            QVERIFY2(rec_.boxes.size() == 1 && said.contains("is read-only") && said.contains("Nothing was changed"),
                     names[button == 0 ? 0 : button - 1]);
            QVERIFY(!FindForm("frmQuarn_Create") || !FindForm("frmQuarn_Create")->isVisible());
        }
        QCOMPARE(stack_->ErrProcedure(), std::string());
        QVERIFY(!TableExists(db_, "Brux_BP_Describe"));
        QCOMPARE(Count(store::kScenariosTable), scenarios);
        QCOMPARE(Count(store::kOptionsTable), options);
        QCOMPARE(Count(store::kFieldsTable), fields);
    }

    // The captions of the grid windows in the frame, oldest first.
    QStringList GridCaptions() const {
        QStringList captions;
        for (QMdiSubWindow* sub : frame_->MdiArea()->subWindowList(QMdiArea::CreationOrder))
            if (sub->widget() && sub->widget()->objectName() == "frmDataGrid") captions << sub->widget()->windowTitle();
        return captions;
    }

    void runShowsProgressAndOpensTheGrid() {
        QStringList texts;
        bool statusFollows = true, clickIgnored = true;
        std::string operation;
        connect(list_, &frmStatMain::StatusPrinted, this, [&](const QString& text) {
            texts << text;
            auto* status = qobject_cast<frmStatus*>(FindForm("frmStatus"));
            if (!status || !status->isVisible() || status->Text() != text) statusFollows = false;
            if (texts.size() == 3) {
                operation = stack_->CurrentOperation();
                // Input from the window system during the run reaches no window: Delete would ask.
                const size_t boxes = rec_.boxes.size();
                QWidget* frame = list_->window();
                QTest::mouseClick(frame->windowHandle(), Qt::LeftButton, {},
                                  Button(3)->mapTo(frame, Button(3)->rect().center()));
                if (rec_.boxes.size() != boxes) clickIgnored = false;
            }
        });
        QVERIFY(!TableExists(db_, "Brux_BP_Describe"));
        QTest::mouseClick(Button(4), Qt::LeftButton);
        QVERIFY(rec_.boxes.empty());  // no question, no failure
        QVERIFY(texts.size() > 10);
        QVERIFY(texts.contains("Analyzing record: 5"));
        QVERIFY(std::any_of(texts.begin(), texts.end(), [](const QString& t) { return t.endsWith("..."); }));
        QVERIFY(statusFollows);
        QVERIFY(clickIgnored);
        QCOMPARE(operation, std::string("Running scenario"));
        QCOMPARE(stack_->CurrentOperation(), std::string());
        QVERIFY(!IsFormLoaded("frmStatus"));
        QCOMPARE(rec_.pointer, int(ui::vbDefault));
        QVERIFY(TableExists(db_, "Brux_BP_Describe"));
        QCOMPARE(GridCaptions(), QStringList({"Scenario Output Table: Brux_BP_Describe"}));
        // The list was reloaded with the same position selected.
        QCOMPARE(Selected(), 1);

        // Again: the table exists, and No runs nothing.
        texts.clear();
        rec_.Script(ui::vbNo);
        QTest::mouseClick(Button(4), Qt::LeftButton);
        QCOMPARE(LastPrompt(), std::string("The following output table(s) already exist in the current database. "
                                           "Do you want to overwrite them?\r\n\r\nBrux_BP_Describe"));
        QCOMPARE(rec_.boxes.back().style, ui::vbYesNo | ui::vbQuestion);
        QVERIFY(texts.isEmpty());
        QCOMPARE(GridCaptions(), QStringList({"Scenario Output Table: Brux_BP_Describe"}));
    }

    void runOfTwoTablesAsksForTheSecondAndOpensBothGrids() {
        dao::TableDefPtr table = db_->CreateTableDef("Brux_Chol_Residuals");
        table->Fields()->Append(table->CreateField("x", dao::dbLong));
        db_->TableDefs()->Append(table);
        Select("2");
        rec_.Script(ui::vbYes);
        list_->ContextMenuHandler(0);
        QCOMPARE(rec_.boxes.at(0).prompt, std::string("The following output table(s) already exist in the current "
                                                      "database. Do you want to overwrite them?\r\n\r\n\r\n"
                                                      "Brux_Chol_Residuals"));
        QVERIFY(TableExists(db_, "Brux_Chol_Regression"));
        const QStringList both(
            {"Scenario Output Table 2: Brux_Chol_Residuals", "Scenario Output Table: Brux_Chol_Regression"});
        QCOMPARE(GridCaptions(), both);
        // From a list in its normal state, each grid opens showing rows and
        // columns, the first output table in front.
        QVERIFY(!list_->parentWidget()->isMaximized());
        const QList<QMdiSubWindow*> stacked = frame_->MdiArea()->subWindowList(QMdiArea::StackingOrder);
        QCOMPARE(stacked.back()->widget()->windowTitle(), both[1]);
        for (QMdiSubWindow* sub : stacked) {
            auto* grid = qobject_cast<frmDataGrid*>(sub->widget());
            if (!grid) continue;
            QVERIFY(grid->Grid()->VisibleRows() >= 5);
            const QTableView* view = grid->Grid()->Table();
            QVERIFY(view->columnViewportPosition(2) + view->columnWidth(2) <= view->viewport()->width());
        }

        // Running again closes the grids on the old tables before it replaces them.
        rec_.Reset();
        rec_.Script(ui::vbYes);
        list_->ContextMenuHandler(0);
        QCOMPARE(GridCaptions(), both);
    }

    void aFailedRunShowsTheReasonAndNoGrid() {
        db_->Execute("UPDATE [usysQuarnScenarios] SET [Scenario_Input_Table_Name] = 'NoSuchTable' WHERE "
                     "[Scenario_ID] = 1;");
        Reload();
        QTest::mouseClick(Button(4), Qt::LeftButton);
        QCOMPARE(rec_.boxes.size(), size_t(2));
        QVERIFY(QString::fromStdString(rec_.boxes[0].prompt).startsWith("Scenario Failed\r\n\r\n"));
        const std::string reason = rec_.boxes[0].prompt.substr(std::string("Scenario Failed\r\n\r\n").size());
        QVERIFY(QString::fromStdString(reason).contains("NoSuchTable"));
        QCOMPARE(rec_.boxes[1].prompt, "The test of this scenario failed for the following reason:\r\n\r\n" + reason);
        QCOMPARE(rec_.boxes[1].title, std::string("Quantara"));
        QVERIFY(GridCaptions().isEmpty());
        QVERIFY(!TableExists(db_, "Brux_BP_Describe"));
        QVERIFY(!IsFormLoaded("frmStatus"));

        // A run that fails part-way through the data (a text field as a value) leaves no output table either.
        db_->Execute("UPDATE [usysQuarnScenarios] SET [Scenario_Input_Table_Name] = 'BloodPressureStudy' WHERE "
                     "[Scenario_ID] = 1;");
        db_->Execute("UPDATE [usysQuarnFields] SET [FieldDef_Name] = 'Smoker' WHERE [Scenario_ID] = 1 AND "
                     "[FieldDef_Name] = 'SystolicAfter';");
        Reload();
        rec_.Reset();
        QStringList texts;
        connect(list_, &frmStatMain::StatusPrinted, this, [&](const QString& text) { texts << text; });
        QTest::mouseClick(Button(4), Qt::LeftButton);
        QVERIFY(!texts.isEmpty());
        QCOMPARE(rec_.boxes.size(), size_t(2));
        QVERIFY(QString::fromStdString(rec_.boxes[1].prompt)
                    .contains("The field [Smoker] of [BloodPressureStudy] holds the text"));
        QVERIFY(GridCaptions().isEmpty());
        QVERIFY(!TableExists(db_, "Brux_BP_Describe"));

        // Nothing selected: Run says so.
        QTest::mouseClick(Option("optParAnalysisType", 3), Qt::LeftButton);
        QTest::mouseClick(Button(4), Qt::LeftButton);
        QCOMPARE(LastPrompt(), std::string("Please select a scenario from the list"));
        QVERIFY(!list_->RunCurrentScenario(999));
        QCOMPARE(LastPrompt(), std::string("Scenario not found: 999"));
    }

    void aFailedRunEndsInBoxesAPersonAnswers() {
        // The program's own message boxes, answered by a key as a person does;
        // a box the key leaves up is closed from here and counted.
        QtUi real;
        ui::ScopedUi installed(real);
        QStringList boxTexts;
        int unanswered = 0;
        apptest::EveryModalNamed boxes("MsgBox", [&](QWidget* modal) {
            auto* box = qobject_cast<QMessageBox*>(modal);
            boxTexts << box->text();
            QTest::keyClick(box, Qt::Key_Return);
            if (box->isVisible()) {
                ++unanswered;
                box->done(QMessageBox::Ok);
            }
        });
        QStringList texts;
        connect(list_, &frmStatMain::StatusPrinted, this, [&](const QString& text) { texts << text; });

        // The source table is gone.
        db_->Execute("UPDATE [usysQuarnScenarios] SET [Scenario_Input_Table_Name] = 'BP_old' WHERE "
                     "[Scenario_ID] = 1;");
        Reload();
        QTest::mouseClick(Button(4), Qt::LeftButton);
        QCOMPARE(unanswered, 0);
        QCOMPARE(boxTexts.size(), 2);
        QVERIFY(boxTexts[0].startsWith("Scenario Failed\n\n"));
        QVERIFY(boxTexts[0].contains("BP_old"));
        QVERIFY(boxTexts[1].startsWith("The test of this scenario failed for the following reason:\n\n"));
        db_->Execute("UPDATE [usysQuarnScenarios] SET [Scenario_Input_Table_Name] = 'BloodPressureStudy' WHERE "
                     "[Scenario_ID] = 1;");

        // Another connection holds the file's write lock, the lock wait left
        // at its 10 s: the run says so at once, before any status window.
        QVERIFY(dao::LockWaitTimeout() >= 10000);
        boxTexts.clear();
        texts.clear();
        dao::Workspace other("#Other#", "admin");
        dao::DatabasePtr holder = other.OpenDatabase(db_->Name());
        holder->BeginTrans(true);
        Reload();
        QElapsedTimer clock;
        clock.start();
        QTest::mouseClick(Button(4), Qt::LeftButton);
        QVERIFY(clock.elapsed() < 2000);
        holder->Rollback();
        QCOMPARE(unanswered, 0);
        QCOMPARE(boxTexts.size(), 1);
        QVERIFY(boxTexts[0].contains("is locked by another program, so the scenario cannot run now"));
        QVERIFY(texts.isEmpty());

        // Another program starts reading while the engine runs, which keeps
        // the engine's writes from the file: the status window says the run
        // waits, and within a few seconds the run says why it failed.
        boxTexts.clear();
        bool taken = false;
        auto take = connect(list_, &frmStatMain::StatusPrinted, this, [&] {
            if (taken) return;
            taken = true;
            holder->BeginTrans(false);
            holder->OpenRecordset("SELECT COUNT(*) FROM [usysQuarnScenarios]", dao::dbOpenSnapshot)->Close();
        });
        clock.start();
        QTest::mouseClick(Button(4), Qt::LeftButton);
        QVERIFY(clock.elapsed() < 5000);
        disconnect(take);
        QVERIFY(taken);
        holder->Rollback();
        holder->Close();
        QCOMPARE(unanswered, 0);
        QVERIFY(texts.contains(ScenarioRunner::WaitingText()));
        QCOMPARE(boxTexts.size(), 2);
        QVERIFY(boxTexts[1].contains("locked by another user or process"));
        QVERIFY(!IsFormLoaded("frmStatus"));

        // The program goes on: a second window from the menu takes typed input.
        QVERIFY(!QApplication::activeModalWidget());
        frame_->MenuAction("mnuToolsItems_0")->trigger();
        auto* calculator = FindForm("frmQuarn_Calculator");
        QVERIFY(calculator && calculator->isVisible());
        auto* value = calculator->findChild<QLineEdit*>("txtTestValue");
        value->setFocus();
        QTest::keyClicks(value, "2");
        QCOMPARE(value->text(), QString("2"));
        UnloadForm(calculator);
    }

    void saveAndRunAsksBeforeItSavesAndTheRunDoesNotAskAgain() {
        dao::TableDefPtr table = db_->CreateTableDef("Brux_BP_Describe");
        table->Fields()->Append(table->CreateField("x", dao::dbLong));
        db_->TableDefs()->Append(table);
        db_->Execute("INSERT INTO [Brux_BP_Describe] (x) VALUES (7)");
        auto stored = [this] {
            return std::vector<std::vector<Row>>{RowsOf(store::kScenariosTable, 1), RowsOf(store::kOptionsTable, 1),
                                                 RowsOf(store::kFieldsTable, 1, " ORDER BY FieldDef_Name")};
        };
        const auto before = stored();
        const std::string question = "The following output table(s) already exist in the current database. Do you "
                                     "want to overwrite them?\r\n\r\nBrux_BP_Describe";
        bool stayedOpen = false, unchanged = false;
        apptest::WhenModalNamed("frmQuarn_Finish", [&](QWidget* finish) {
            auto* description = finish->findChild<QLineEdit*>("txtDescription");
            auto* saveAndRun = finish->findChild<QPushButton*>("cmdNav_4");
            description->setFocus();
            description->setText("Described again");
            saveAndRun->setFocus();
            rec_.Script(ui::vbNo);
            QTest::mouseClick(saveAndRun, Qt::LeftButton);
            stayedOpen = finish->isVisible();
            dao::RecordsetPtr kept = db_->OpenRecordset("SELECT x FROM [Brux_BP_Describe]");
            unchanged = stored() == before && kept->Fields(0)->Value().ToLong() == 7;
            kept->Close();
            rec_.Script(ui::vbYes);
            QTest::mouseClick(saveAndRun, Qt::LeftButton);
        });
        Select("1");
        list_->ContextMenuHandler(40);  // Edit Output
        QVERIFY(stayedOpen);
        QVERIFY(unchanged);
        // Asked on the page each time, never again by the run.
        QCOMPARE(rec_.boxes.size(), size_t(2));
        QCOMPARE(rec_.boxes[0].prompt, question);
        QCOMPARE(rec_.boxes[1].prompt, question);
        QCOMPARE(RowsOf(store::kScenariosTable, 1).at(0).at("Scenario_Description"), std::string("Described again"));
        QCOMPARE(GridCaptions(), QStringList({"Scenario Output Table: Brux_BP_Describe"}));
        dao::RecordsetPtr results = db_->OpenRecordset("SELECT DataField FROM [Brux_BP_Describe]");
        QVERIFY(!results->Eof());
        results->Close();
    }

    void rightClickMenuFollowsTheSelection() {
        QAction* second = frame_->MenuAction("mnuRightClickItems_110");
        auto rightClickOnRow = [&](int row) -> bool {
            bool shown = false;
            QAction* shownDefault = nullptr;
            apptest::WhenMenuShown(frame_->RightClickMenu(), [&](QMenu* menu) {
                shown = menu->isVisible();
                shownDefault = menu->defaultAction();
            });
            QRect rect = Rows()->visualItemRect(Rows()->topLevelItem(row));
            QTest::mouseClick(Rows()->viewport(), Qt::RightButton, {}, QPoint(10, rect.center().y()));
            return shown && shownDefault == frame_->MenuAction("mnuRightClickItems_0");
        };
        QVERIFY(rightClickOnRow(1));
        QCOMPARE(Selected(), 2);
        QVERIFY(second->isEnabled());
        QVERIFY(rightClickOnRow(0));
        QVERIFY(!second->isEnabled());

        // With no row selected no menu opens (the pop-up returns before this
        // call does, so one that opened would have been counted).
        QTest::mouseClick(Option("optParAnalysisType", 3), Qt::LeftButton);
        int shows = 0;
        auto counted = connect(frame_->RightClickMenu(), &QMenu::aboutToShow, this, [&] {
            ++shows;
            QTimer::singleShot(0, frame_->RightClickMenu(), &QMenu::hide);
        });
        list_->lvwScenarios_MouseUp(Qt::RightButton, QPoint(10, 10));
        disconnect(counted);
        QCOMPARE(shows, 0);
    }

    void viewsOpenGridsOnTheScenariosTables() {
        list_->ContextMenuHandler(90);
        list_->ContextMenuHandler(100);
        list_->ContextMenuHandler(110);  // scenario 1 has no second table
        Select("2");
        list_->ViewOutputTable2();
        // Output tables that no run made yet open no grid: the user is told why.
        QCOMPARE(GridCaptions(), QStringList({"Input Data Table: BloodPressureStudy"}));
        QCOMPARE(rec_.boxes.size(), size_t(2));
        QVERIFY(QString::fromStdString(rec_.boxes[0].prompt).startsWith("The table [Brux_BP_Describe] does not exist"));
        QVERIFY(
            QString::fromStdString(rec_.boxes[1].prompt).startsWith("The table [Brux_Chol_Residuals] does not exist"));
    }

    void newAndEditHandOverToTheWizard() {
        // Pages that the user leaves at once by Back: the analysis page (New)
        // and the field page (Edit) both end the wizard before its finish page.
        std::vector<long> shown;
        wizard::PageFactory previous = wizard::SetPageFactory(
            [&shown](long page, QWidget*) -> CWizardPage* { return new BackPage(page, &shown); });

        // Leaving the wizard before its finish page changes nothing.
        Select("2");
        QTest::mouseClick(Button(0), Qt::LeftButton);
        QCOMPARE(shown, std::vector<long>({1}));
        QCOMPARE(list_->findChild<QTabBar*>("tabMain")->currentIndex(), 0);
        QCOMPARE(list_->ScenType(), std::string("*"));
        QCOMPARE(Selected(), 2);
        QVERIFY(rec_.boxes.empty());

        shown.clear();
        QTest::mouseClick(Button(1), Qt::LeftButton);
        QCOMPARE(shown, std::vector<long>({3}));
        QVERIFY(rec_.boxes.empty());
        wizard::SetPageFactory(previous);

        // A scenario without its options row is not edited.
        rec_.Reset();
        db_->Execute("DELETE * FROM [usysQuarnOptions] WHERE [Scenario_ID] = 2;");
        list_->ContextMenuHandler(30);
        QCOMPARE(LastPrompt(), std::string("Scenario not found: 2"));
        QCOMPARE(rec_.boxes.size(), size_t(1));

        QTest::mouseClick(Option("optParAnalysisType", 3), Qt::LeftButton);
        list_->ContextMenuHandler(20);
        QCOMPARE(LastPrompt(), std::string("Please select a scenario from the list"));
    }

    void setOptionCalcTypeSelectsTheAnalysisButton() {
        list_->findChild<QTabBar*>("tabMain")->setCurrentIndex(2);
        list_->SetOptionCalcType("Sign Test");
        QVERIFY(Option("optNonParAnalysisType", 3)->isChecked());
        QCOMPARE(list_->ScenType(), std::string("Sign Test"));
        list_->SetOptionCalcType("2 Sample");
        QCOMPARE(Ids(), QStringList({"5"}));
        list_->findChild<QTabBar*>("tabMain")->setCurrentIndex(1);
        list_->SetOptionCalcType("Two-Way ANOVA");  // a caption, not an analysis name
        QVERIFY(Option("optGroupAnalysistype", 1)->isChecked());
        QCOMPARE(list_->ScenType(), std::string("*"));
    }

    void layoutKeepsTheMinimumHeightAndTheButtonRow() {
        QWidget* window = list_->parentWidget();
        window->resize(500, 150);
        QVERIFY(window->height() >= 267);
        // At its smallest every control shows whole: the buttons, each
        // family's option captions one below the other, the list beside them.
        window->resize(10, 10);
        QApplication::processEvents();
        for (int i = 0; i < 6; ++i) QVERIFY(list_->rect().contains(Button(i)->geometry()));
        const char* arrays[] = {"optParAnalysisType", "optGroupAnalysistype", "optNonParAnalysisType"};
        for (int tab = 0; tab < 3; ++tab) {
            list_->findChild<QTabBar*>("tabMain")->setCurrentIndex(tab);
            QApplication::processEvents();
            QVERIFY(frames(tab)->geometry().right() < Rows()->geometry().left());
            for (int i = 1; Option(arrays[tab], i); ++i) {
                QRadioButton* option = Option(arrays[tab], i);
                QVERIFY2(option->width() >= option->sizeHint().width(), qPrintable(option->text()));
                QVERIFY(frames(tab)->rect().contains(option->geometry()));
                if (QRadioButton* next = Option(arrays[tab], i + 1))
                    QVERIFY(option->geometry().bottom() < next->geometry().top());
            }
        }
        window->resize(640, 400);
        std::vector<int> lefts;
        for (int i : {5, 0, 1, 2, 3, 4}) lefts.push_back(Button(i)->x());
        QVERIFY(std::is_sorted(lefts.begin(), lefts.end()));
        QCOMPARE(Button(4)->geometry().right() + 1, list_->width() - 4);
        QCOMPARE(Button(0)->y(), 4 + (list_->height() - 48) + 13);

        // Help opens the list's topic; the position is kept under the window's name.
        QTest::mouseClick(Button(5), Qt::LeftButton);
        QCOMPARE(rec_.helpCalls, std::vector<std::string>({program::HelpFilePath() + "#80"}));
        frame_->resize(1000, 800);
        QApplication::processEvents();
        window->move(30, 20);
        // Closed (which saves its place) and opened again, with `stored` as its place when given.
        auto reopen = [this](const char* stored = nullptr) {
            frame_->CloseStatMain();
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
            if (stored) NewFormPositions()->ProductSettings().WriteEntry("frmStatMain", stored);
            frame_->ShowStatMain();
            list_ = qobject_cast<frmStatMain*>(FindForm("frmStatMain"));
            return list_ ? list_->parentWidget()->geometry() : QRect();
        };
        QCOMPARE(reopen(), QRect(30, 20, 640, 400));

        // A stored size below the window's smallest (a tile of many windows
        // left it so) is not restored, nor one that the frame's area would
        // cut below it: the default size holds.
        for (const char* stored : {"450 300 3000 3000 0", "14000 1500 9000 6000 0"}) {
            QCOMPARE(reopen(stored).size(), QSize(610, 360));
        }
    }
};

int main(int argc, char** argv) {
    MerivoxApplication app(argc, argv);
    ScenarioListTest test;
    return QTest::qExec(&test, argc, argv);
}
#include "ScenarioListTest.moc"
