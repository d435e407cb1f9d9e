// The data grid windows: the child window and the modal dialog over a real
// database, their captions, the messages for a table that cannot be opened,
// and the windows they leave behind (or not).
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPointer>
#include <QtTest>
#include <filesystem>

#include "AppTestSupport.h"
#include "FormLookup.h"
#include "CurrentDatabase.h"
#include "shell/MDIMain.h"
#include "shell/Program.h"
#include "forms/frmDataGrid.h"
#include "forms/frmDataGridDialog.h"
#include "shell/modMerivox.h"
#include "models/DataGridModel.h"
#include "models/DataGridView.h"

class DataGridTest : public QObject {
    Q_OBJECT

    apptest::Environment env_;
    ui::RecordingUi rec_;
    std::unique_ptr<ui::ScopedUi> installed_;
    std::shared_ptr<CErr_Zelk> stack_;
    QPointer<MDIMain> frame_;
    dao::DatabasePtr db_;

    QList<QMdiSubWindow*> Children() const { return frame_->MdiArea()->subWindowList(); }
    // A grid window as the program opens one; null when none opened.
    frmDataGrid* Open(const std::string& table, const std::string& caption) {
        const auto before = Children().size();
        frame_->OpenDataGridWindow(QString::fromStdString(caption), QString::fromStdString(table));
        return Children().size() > before ? qobject_cast<frmDataGrid*>(Children().back()->widget()) : nullptr;
    }
    static QString Cell(DataGridModel* m, int row, int column) { return m->data(m->index(row, column)).toString(); }
    void Settle() {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QApplication::processEvents();
    }

private slots:
    void initTestCase() { installed_ = std::make_unique<ui::ScopedUi>(rec_); }

    void init() {
        rec_.Reset();
        stack_ = std::make_shared<CErr_Zelk>();
        stack_->DisplayError(false);
        stack_->Destination(vb::Variant(program::ErrorLogPath()));
        SetErrStack(stack_);
        frame_ = new MDIMain;
        program::SetMainWindow(frame_);
        frame_->setGeometry(100, 50, 1000, 800);
        frame_->show();

        std::string path = env_.Path().toStdString() + "/grid.db";
        std::filesystem::remove(path);
        dao::WorkspacePtr ws = dao::DBEngine().Workspaces(0);
        db_ = ws->CreateDatabase(path);
        auto td = db_->CreateTableDef("Source");
        td->Fields()->Append(td->CreateField("Name", dao::dbText, 20));
        td->Fields()->Append(td->CreateField("Flag", dao::dbBoolean));
        td->Fields()->Append(td->CreateField("Born", dao::dbDate));
        td->Fields()->Append(td->CreateField("X", dao::dbDouble));
        db_->TableDefs()->Append(td);
        db_->Execute("INSERT INTO Source VALUES ('Ann', True, #1970-05-06#, 2.5)");
        db_->Execute("INSERT INTO Source VALUES (Null, Null, Null, Null)");
        db_->Execute("INSERT INTO Source VALUES ('Zoe', False, #2001-02-03 04:05:06#, -1)");
        db_->CreateQueryDef("Named", "SELECT Name, X FROM Source WHERE X Is Not Null ORDER BY X");
        db_->CreateQueryDef("Asking", "SELECT * FROM Source WHERE X > MinX");
        store::SetCurrentDatabase(ws, db_);
    }

    void cleanup() {
        apptest::CheckModalAnswersUsed();
        if (frame_) delete frame_.data();
        for (QWidget* w : QApplication::topLevelWidgets())
            if (w->isVisible()) w->close();
        Settle();
        store::ClearCurrentDatabase();
        if (db_) db_->Close();
        db_.reset();
        SetErrStack(nullptr);
    }

    void tableInAChildWindow() {
        frmDataGrid* grid = Open("Source", "Source Table");
        QCOMPARE(Children().size(), 1);
        QCOMPARE(grid->windowTitle(), QString("Source Table: Source"));
        QVERIFY(IsFormLoaded("frmDataGrid"));
        QVERIFY(rec_.boxes.empty());
        DataGridModel* m = grid->Model();
        QCOMPARE(m->rowCount(), 3);
        QCOMPARE(m->headerData(2, Qt::Horizontal).toString(), QString("Born"));
        QCOMPARE(Cell(m, 0, 0), QString("Ann"));
        QCOMPARE(Cell(m, 0, 1), QString("True"));
        QCOMPARE(Cell(m, 0, 2), QString("1970-05-06"));
        QCOMPARE(Cell(m, 0, 3), QString("2.5"));
        for (int c = 0; c < 4; ++c) QCOMPARE(Cell(m, 1, c), QString());
        QCOMPARE(Cell(m, 2, 1), QString("False"));
        QCOMPARE(Cell(m, 2, 2), QString("2001-02-03 04:05:06"));
        QCOMPARE(Cell(m, 2, 3), QString("-1"));
        // Read-only: a snapshot.
        QVERIFY(!m->Recordset()->Updatable());
        QCOMPARE(grid->Grid()->objectName(), QString("grdDataGrid"));
    }

    void twoRequestsGiveTwoWindows() {
        Open("Source", "Output");
        Open("source", "Output");
        QCOMPARE(Children().size(), 2);
        QCOMPARE(Children()[0]->widget()->windowTitle(), QString("Output: Source"));
        QCOMPARE(Children()[1]->widget()->windowTitle(), QString("Output: source"));
        // The scenario windows' shutdown closes them all.
        frame_->CloseScenarioWindows();
        Settle();
        QVERIFY(!IsFormLoaded("frmDataGrid"));
    }

    void missingTableLeavesNoWindow() {
        QPointer<frmDataGrid> grid = Open("Brux_Describe", "Output");
        Settle();
        QVERIFY(grid.isNull());
        QVERIFY(Children().isEmpty());
        QVERIFY(!IsFormLoaded("frmDataGrid"));
        QCOMPARE(rec_.boxes.size(), size_t(1));
        QCOMPARE(rec_.boxes[0].prompt,
                 std::string("The table [Brux_Describe] does not exist in the database. \r\n\r\nIf this is an output "
                             "table created by running a scenario, you must run the scenario first to create the "
                             "table"));
        QCOMPARE(rec_.boxes[0].style, int(ui::vbOKOnly));
    }

    void otherFailureGivesItsNumber() {
        QPointer<frmDataGrid> grid = Open("Asking", "Source");
        Settle();
        QVERIFY(grid.isNull());
        QVERIFY(Children().isEmpty());
        QCOMPARE(rec_.boxes.size(), size_t(1));
        const std::string prefix =
            "An unexpected error was encountered when attempting to open the table [Asking]: \r\n\r\n3061: ";
        QCOMPARE(rec_.boxes[0].prompt.substr(0, prefix.size()), prefix);
    }

    void savedQueryOpensReadOnly() {
        frmDataGrid* grid = Open("Named", "Source Query");
        QCOMPARE(grid->windowTitle(), QString("Source Query: Named"));
        DataGridModel* m = grid->Model();
        QCOMPARE(m->rowCount(), 2);
        QCOMPARE(Cell(m, 0, 0), QString("Zoe"));
        QCOMPARE(Cell(m, 1, 1), QString("2.5"));
        QVERIFY(!m->Recordset()->Updatable());
    }

    // A name that reads like a statement is still a name: the table's own
    // rows, never those of the table the statement names.
    void aTableNamedLikeAStatementShowsItsOwnRows() {
        for (const char* name : {"SELECT * FROM Source", "WITH x AS (SELECT 1) SELECT * FROM Source"}) {
            auto td = db_->CreateTableDef(name);
            td->Fields()->Append(td->CreateField("Own", dao::dbText, 20));
            db_->TableDefs()->Append(td);
            dao::RecordsetPtr rs = db_->OpenRecordset(name, dao::dbOpenTable);
            rs->AddNew();
            rs->Fields(0)->Value(vb::Variant("mine"));
            rs->Update();
            rs->Close();
            frmDataGrid* grid = Open(name, "Output");
            QVERIFY(rec_.boxes.empty());
            DataGridModel* m = grid->Model();
            QCOMPARE(m->rowCount(), 1);
            QCOMPARE(m->columnCount(), 1);
            QCOMPARE(m->headerData(0, Qt::Horizontal).toString(), QString("Own"));
            QCOMPARE(Cell(m, 0, 0), QString("mine"));
        }
    }

    void minimisingChangesNothingRestoringFits() {
        frmDataGrid* grid = Open("Source", "Source");
        QMdiSubWindow* sub = Children().value(0);
        QVERIFY(sub);
        sub->resize(500, 300);
        QApplication::processEvents();
        QCOMPARE(grid->Grid()->height(), grid->height());
        QRect before = grid->Grid()->geometry();
        sub->showMinimized();
        QApplication::processEvents();
        QCOMPARE(grid->Grid()->geometry(), before);
        sub->showNormal();
        sub->resize(600, 400);
        QApplication::processEvents();
        QCOMPARE(grid->Grid()->height(), grid->height());
    }

    void dialogSitsOverTheFrameAndReleasesItsRows() {
        frmDataGridDialog dialog;
        // Four fifths of the frame's outer size, a tenth in from its corner.
        QRect f = frame_->frameGeometry();
        QCOMPARE(dialog.size(), QSize(f.width() * 8 / 10, f.height() * 8 / 10));
        QCOMPARE(dialog.pos(), QPoint(f.left() + f.width() / 10, f.top() + f.height() / 10));
        QString caption;
        int rows = -1;
        bool modal = false;
        apptest::WhenModal([&](QWidget* shown) {
            caption = shown->windowTitle();
            modal = shown == &dialog && dialog.isModal();
            rows = dialog.Model() ? dialog.Model()->rowCount() : -1;
            shown->close();
        });
        dialog.ShowTableData("Source", "Preview");
        QCOMPARE(caption, QString("Preview: Source"));
        QVERIFY(modal);
        QCOMPARE(rows, 3);
        QVERIFY(!dialog.Model());  // the record set went with the window
        QVERIFY(!IsFormLoaded("frmDataGridDialog"));
    }

    void dialogForAMissingTableNeverShows() {
        frmDataGridDialog dialog;
        // Shown, it would be closed and fail the test: nothing answers it.
        dialog.ShowTableData("Nothing", "Preview");
        QCOMPARE(rec_.boxes.size(), size_t(1));
        QVERIFY(rec_.boxes[0].prompt.rfind("The table [Nothing] does not exist in the database. ", 0) == 0);
        QVERIFY(!IsFormLoaded("frmDataGridDialog"));
    }
};

QTEST_MAIN(DataGridTest)
#include "DataGridTest.moc"
