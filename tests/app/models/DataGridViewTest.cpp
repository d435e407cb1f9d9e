// The grid control: only the rows on screen reach the table view, and the
// scroll bar, keys and wheel move the window over every row.
#include <QElapsedTimer>
#include <QHeaderView>
#include <QScrollBar>
#include <QTableView>
#include <QTest>

#include <sqlite3.h>

#include <cmath>
#include <functional>
#include <vector>

#include "GridTestSupport.h"
#include "models/DataGridModel.h"
#include "models/DataGridView.h"

using namespace dao;

namespace {

class DataGridViewTest : public gridtest::GridTest {
protected:
    // The view, `width` wide, shows the model over the table.
    void ShowTable(const std::string& table, int width = 400) {
        model = std::make_unique<DataGridModel>(db->OpenRecordset(table, dbOpenSnapshot));
        view = std::make_unique<DataGridView>();
        view->resize(width, 300);
        view->SetModel(model.get());
        view->show();
        QApplication::processEvents();
    }
    // The view shows the model over "Numbers" (N = 1..rows).
    void Show(int rows) {
        MakeNumbers(rows);
        ShowTable("Numbers");
    }
    // The N shown in the view's row `row` and that row's header.
    QString Shown(int row) const { return Cell(*view->Table()->model(), row, 0); }
    QString Numbered(int row) const { return view->Table()->model()->headerData(row, Qt::Vertical).toString(); }
    void Press(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        QTest::keyClick(view->Table(), key, modifiers);
    }
    // Another program's connection to a new file of journal `mode`, on
    // which the grid's database is opened again.
    struct OtherProgram {
        sqlite3* db = nullptr;
        ~OtherProgram() { sqlite3_close(db); }
        // "done", or why the statements failed.
        std::string Write(const std::string& sql) const {
            return sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr) == SQLITE_OK ? std::string("done")
                                                                                         : sqlite3_errmsg(db);
        }
    };
    void OpenBeside(OtherProgram& other, const std::string& mode) {
        view.reset();
        model.reset();
        const std::string path = (dir_ / (mode + ".db")).string();
        ASSERT_EQ(sqlite3_open(path.c_str(), &other.db), SQLITE_OK);
        sqlite3_busy_timeout(other.db, 100);
        ASSERT_EQ(other.Write("PRAGMA journal_mode=" + mode), "done");
        db = DBEngine().OpenDatabase(path);
    }
    // Runs the event loop, no key pressed, until `shown` holds; false when
    // it does not within five seconds.
    static bool Within5s(const std::function<bool()>& shown) { return QTest::qWaitFor(shown, 5000); }
    void TearDown() override {
        view.reset();
        model.reset();
        GridTest::TearDown();
    }
    std::unique_ptr<DataGridModel> model;
    std::unique_ptr<DataGridView> view;
};

TEST_F(DataGridViewTest, OnlyTheRowsOnScreenReachTheView) {
    Show(100000);
    int visible = view->VisibleRows();
    ASSERT_GT(visible, 3);
    EXPECT_EQ(view->Table()->model()->rowCount(), visible + 1);
    EXPECT_EQ(view->Table()->verticalHeader()->count(), visible + 1);
    EXPECT_EQ(view->ScrollBar()->maximum(), 100000 - visible);
    EXPECT_EQ(Shown(0), "1");
    EXPECT_EQ(Numbered(0), "1");

    view->ScrollToBottom();
    EXPECT_EQ(view->FirstRow(), 100000 - visible);
    // The last row is the last one shown whole; no row is left below it.
    EXPECT_EQ(view->Table()->model()->rowCount(), visible);
    EXPECT_EQ(Shown(visible - 1), "100000");
    EXPECT_EQ(Numbered(visible - 1), "100000");
    EXPECT_LE(model->PagesRead(), 3);

    view->ScrollToRow(50000);
    EXPECT_EQ(Shown(0), "50001");
    EXPECT_EQ(view->Table()->model()->rowCount(), visible + 1);

    // A taller window shows more rows.
    view->resize(400, 600);
    QApplication::processEvents();
    EXPECT_GT(view->VisibleRows(), visible);
    EXPECT_EQ(view->Table()->model()->rowCount(), view->VisibleRows() + 1);
    EXPECT_EQ(Shown(0), "50001");
}

TEST_F(DataGridViewTest, KeysMoveTheCurrentRowAcrossTheWindow) {
    Show(1000);
    int visible = view->VisibleRows();
    view->SetCurrentRow(0);
    EXPECT_EQ(view->CurrentRow(), 0);
    for (int i = 0; i < visible + 2; ++i) Press(Qt::Key_Down);
    EXPECT_EQ(view->CurrentRow(), visible + 2);
    EXPECT_EQ(view->FirstRow(), 3);  // scrolled to keep it on screen
    Press(Qt::Key_PageDown);
    EXPECT_EQ(view->CurrentRow(), 2 * visible + 2);
    Press(Qt::Key_End, Qt::ControlModifier);
    EXPECT_EQ(view->CurrentRow(), 999);
    EXPECT_EQ(Cell(*view->Table()->model(), view->Table()->currentIndex().row(), 0), "1000");
    Press(Qt::Key_Down);  // stays on the last row
    EXPECT_EQ(view->CurrentRow(), 999);
    Press(Qt::Key_Up);
    EXPECT_EQ(view->CurrentRow(), 998);
    Press(Qt::Key_Home, Qt::ControlModifier);
    EXPECT_EQ(view->CurrentRow(), 0);
    EXPECT_EQ(view->FirstRow(), 0);

    // The current cell stays on its row while the bar scrolls, and is
    // not shown while its row is off screen.
    view->SetCurrentRow(5);
    view->ScrollToRow(3);
    EXPECT_EQ(view->CurrentRow(), 5);
    EXPECT_EQ(view->Table()->currentIndex().row(), 2);
    view->ScrollToRow(500);
    EXPECT_EQ(view->CurrentRow(), -1);
    view->ScrollToRow(0);
    EXPECT_EQ(view->CurrentRow(), 5);
}

// In a table wider and longer than the window, every navigation key leaves
// the current cell where the user can see it.
TEST_F(DataGridViewTest, NavigationKeysKeepTheCurrentCellInView) {
    auto td = db->CreateTableDef("Wide");
    for (int c = 0; c < 30; ++c) td->Fields()->Append(td->CreateField("Column" + std::to_string(c), dbLong));
    db->TableDefs()->Append(td);
    for (int r = 0; r < 500; ++r) {
        std::string values;
        for (int c = 0; c < 30; ++c) values += (c ? ", " : "") + std::to_string(r * 100 + c);
        db->Execute("INSERT INTO Wide VALUES (" + values + ")");
    }
    ShowTable("Wide");
    QTableView* table = view->Table();
    view->SetCurrentRow(0);
    // The current cell's text, with the check that it lies wholly on screen.
    auto current = [&] {
        const QModelIndex at = table->currentIndex();
        EXPECT_TRUE(at.isValid());
        EXPECT_TRUE(table->viewport()->rect().contains(table->visualRect(at)));
        return at.data().toString();
    };
    Press(Qt::Key_End);
    EXPECT_EQ(current(), "29");
    Press(Qt::Key_Home);
    EXPECT_EQ(current(), "0");
    Press(Qt::Key_End, Qt::ControlModifier);
    EXPECT_EQ(current(), "49929");
    Press(Qt::Key_PageUp);
    EXPECT_EQ(current(), QString::number((499 - view->VisibleRows()) * 100 + 29));
    Press(Qt::Key_Home, Qt::ControlModifier);
    EXPECT_EQ(current(), "0");
    Press(Qt::Key_PageDown);
    EXPECT_EQ(current(), QString::number(view->VisibleRows() * 100));
}

TEST_F(DataGridViewTest, WheelScrollsAndSmallTablesFit) {
    Show(1000);
    QPoint at = view->Table()->viewport()->rect().center();
    QWheelEvent down(at, view->Table()->viewport()->mapToGlobal(at), QPoint(), QPoint(0, -120), Qt::NoButton,
                     Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(view->Table()->viewport(), &down);
    EXPECT_GT(view->FirstRow(), 0);
    EXPECT_EQ(Shown(0), QString::number(view->FirstRow() + 1));

    // Fewer rows than fit: all shown, nothing to scroll.
    auto few = std::make_unique<DataGridModel>(db->OpenRecordset("SELECT N FROM Numbers WHERE N <= 3"));
    view->SetModel(few.get());
    EXPECT_EQ(view->Table()->model()->rowCount(), 3);
    EXPECT_EQ(view->ScrollBar()->maximum(), 0);
    EXPECT_EQ(Shown(2), "3");
    view->SetModel(nullptr);
    EXPECT_EQ(view->Table()->model()->rowCount(), 0);
}

// Values that a statistician must not misread, in columns too narrow for them:
// what a cell shows keeps the sign, the leading digits and the exponent of its
// value, and its tooltip the full text. Opened, the columns fit their texts.
TEST_F(DataGridViewTest, NarrowNumbersKeepSignAndExponent) {
    auto td = db->CreateTableDef("Results");
    td->Fields()->Append(td->CreateField("X", dbDouble));
    td->Fields()->Append(td->CreateField("Note", dbText, 255));
    db->TableDefs()->Append(td);
    const QString note = "a remark far longer than any column should be made wide enough to hold in one line, "
                         "about the sample and how it was drawn";
    for (const char* x : {"1.1659E-41", "-2.5E+300", "827.599999999999", "123456789012345", "-0.5"})
        db->Execute(std::string("INSERT INTO Results VALUES (") + x + ", '" + note.toStdString() + "')");
    ShowTable("Results", 900);

    // Opened: every number whole, the long text bounded.
    QTableView* table = view->Table();
    for (int r = 0; r < 5; ++r) EXPECT_EQ(view->ShownText(r, 0), Cell(*model, r, 0));
    EXPECT_LT(table->columnWidth(1), table->fontMetrics().horizontalAdvance(note));
    EXPECT_EQ(table->model()->data(table->model()->index(0, 1), Qt::ToolTipRole).toString(), note);

    // Narrowed as far as the user can: each number shows its sign, its
    // leading digit (rounded) and its exponent.
    table->horizontalHeader()->resizeSection(0, 1);
    ASSERT_LT(table->columnWidth(0), table->fontMetrics().horizontalAdvance("827.599999999999"));
    auto magnitude = [](double v) { return static_cast<int>(std::floor(std::log10(std::fabs(v)))); };
    for (int r = 0; r < 5; ++r) {
        const QString full = Cell(*model, r, 0), shown = view->ShownText(r, 0);
        const double value = full.toDouble();
        bool number = false;
        const double seen = shown.toDouble(&number);
        ASSERT_TRUE(number) << shown.toStdString();
        EXPECT_EQ(seen < 0, value < 0) << shown.toStdString();
        EXPECT_EQ(magnitude(seen), magnitude(value)) << shown.toStdString();
        // Rounded at worst to its leading digit.
        EXPECT_LE(std::fabs(seen - value), 0.5 * std::pow(10.0, magnitude(value)) * (1 + 1e-12)) << shown.toStdString();
        EXPECT_LE(table->fontMetrics().horizontalAdvance(shown), table->columnWidth(0));
        EXPECT_EQ(table->model()->data(table->model()->index(r, 0), Qt::ToolTipRole).toString(), full);
    }
    EXPECT_TRUE(view->ShownText(0, 0).endsWith("E-41"));
    EXPECT_TRUE(view->ShownText(1, 0).endsWith("E+300"));
    EXPECT_TRUE(view->ShownText(3, 0).endsWith("E+14"));
}

// Another program writes while a grid of several pages is open and scrolled,
// in a rollback-journal file and in a WAL file: nothing the grid holds keeps
// the write waiting, and what it wrote shows where the grid reads next.
TEST_F(DataGridViewTest, AnotherProgramWritesWhileTheGridIsOpen) {
    for (const char* mode : {"delete", "wal"}) {
        SCOPED_TRACE(mode);
        OtherProgram other;
        OpenBeside(other, mode);
        auto write = [&other](const std::string& sql) { return other.Write(sql); };
        Show(1000);  // eight pages
        view->ScrollToRow(300);
        ASSERT_EQ(Shown(0), "301");

        EXPECT_EQ(write("UPDATE Numbers SET N = -N WHERE N IN (301, 801); CREATE TABLE other_program(x)"), "done");
        view->ScrollToRow(800);
        EXPECT_EQ(Shown(0), "-801");
        view->ScrollToRow(300);  // a page read before the write is read again
        EXPECT_EQ(Shown(0), "-301");

        // Rows taken away and one added at the end: the rows past the new
        // end show empty, then the grid takes the table's new count.
        EXPECT_EQ(write("DELETE FROM Numbers WHERE N > 900; INSERT INTO Numbers (N) VALUES (2000)"), "done");
        view->ScrollToBottom();
        EXPECT_EQ(Shown(view->VisibleRows() - 1), "");
        QApplication::processEvents();
        EXPECT_EQ(model->rowCount(), 901);
        view->ScrollToBottom();
        EXPECT_EQ(Shown(view->VisibleRows() - 1), "2000");
        EXPECT_EQ(Shown(view->VisibleRows() - 2), "900");

        // Rows appended since the last paint: the first Ctrl+End reaches them.
        EXPECT_EQ(write("INSERT INTO Numbers (N) VALUES (2001), (2002)"), "done");
        Press(Qt::Key_End, Qt::ControlModifier);
        EXPECT_EQ(view->CurrentRow(), 902);
        EXPECT_EQ(Cell(*view->Table()->model(), view->Table()->currentIndex().row(), 0), "2002");

        // A column added: the grid shows it once the paint that found it is over.
        EXPECT_EQ(write("ALTER TABLE Numbers ADD COLUMN Extra TEXT DEFAULT 'new'"), "done");
        view->ScrollToRow(0);
        Shown(0);
        QApplication::processEvents();
        ASSERT_EQ(view->Table()->horizontalHeader()->count(), 2);
        EXPECT_EQ(view->Table()->model()->headerData(1, Qt::Horizontal).toString(), "Extra");
        EXPECT_EQ(Shown(0), "1");
        EXPECT_EQ(Cell(*view->Table()->model(), 0, 1), "new");
    }
}

// With no key pressed, what another program commits reaches the rows on
// screen within a second or so: a changed value and appended rows, a table
// dropped and made again with rows of its own, a column dropped.
TEST_F(DataGridViewTest, CommitsReachTheRowsOnScreenWithNoKeyPressed) {
    for (const char* mode : {"delete", "wal"}) {
        SCOPED_TRACE(mode);
        OtherProgram other;
        OpenBeside(other, mode);
        Show(1000);
        view->ScrollToRow(300);
        ASSERT_EQ(Shown(0), "301");
        QHeaderView* header = view->Table()->horizontalHeader();

        ASSERT_EQ(other.Write("UPDATE Numbers SET N = -N WHERE N = 301; INSERT INTO Numbers (N) VALUES (1001)"),
                  "done");
        EXPECT_TRUE(Within5s([&] { return Shown(0) == "-301" && model->rowCount() == 1001; }));
        EXPECT_EQ(view->ScrollBar()->maximum(), 1001 - view->VisibleRows());

        ASSERT_EQ(other.Write("DROP TABLE Numbers; CREATE TABLE Numbers (N INTEGER, M TEXT); "
                              "INSERT INTO Numbers VALUES (7, 'a'), (8, 'b'), (9, 'c')"),
                  "done");
        EXPECT_TRUE(Within5s([&] { return model->rowCount() == 3 && header->count() == 2 && Shown(0) == "7"; }));
        EXPECT_EQ(Cell(*view->Table()->model(), 2, 1), "c");

        ASSERT_EQ(other.Write("ALTER TABLE Numbers DROP COLUMN M"), "done");
        EXPECT_TRUE(Within5s([&] { return header->count() == 1 && Shown(2) == "9"; }));
    }
}

// Another program locks the file while the grid reads: no key waits for the
// lock (the wait of every connection stays the 10 s default), and rows that
// could not be read, and columns that could not be taken after a schema
// change, fill in once the lock ends, with no key pressed.
TEST_F(DataGridViewTest, NoKeyWaitsForAnotherProgramsLockAndRowsFillInAfter) {
    ASSERT_GE(LockWaitTimeout(), 10000);
    OtherProgram other;
    OpenBeside(other, "delete");
    Show(1000);
    view->ScrollToRow(300);
    ASSERT_EQ(Shown(0), "301");

    // A read finds a column added; the file is locked before the grid takes it.
    ASSERT_EQ(other.Write("ALTER TABLE Numbers ADD COLUMN Extra TEXT DEFAULT 'new'"), "done");
    view->ScrollToRow(800);
    EXPECT_EQ(Shown(0), "");
    ASSERT_EQ(other.Write("BEGIN EXCLUSIVE"), "done");
    QTest::qWait(3 * DataGridView::kWatchMs);
    // Each move is over within about a commit's wait, its rows not read yet.
    QElapsedTimer clock;
    const std::vector<std::function<void()>> moves = {[&] { Press(Qt::Key_Home, Qt::ControlModifier); },
                                                      [&] { Press(Qt::Key_End, Qt::ControlModifier); },
                                                      [&] { view->ScrollToRow(0); }};
    for (const auto& move : moves) {
        clock.start();
        move();
        QApplication::processEvents();  // painted
        EXPECT_EQ(Shown(0), "");
        EXPECT_LT(clock.elapsed(), 1000);
    }
    ASSERT_EQ(other.Write("COMMIT"), "done");

    EXPECT_TRUE(Within5s([&] {
        return view->Table()->horizontalHeader()->count() == 2 && Shown(0) == "1" &&
               Cell(*view->Table()->model(), 0, 1) == "new";
    }));
    view->ScrollToRow(800);
    EXPECT_EQ(Shown(0), "801");
}

}  // namespace
