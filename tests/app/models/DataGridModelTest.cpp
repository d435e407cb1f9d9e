// The grid model over real tables and queries: counts, headers, the texts
// cells show, and rows read only as they are asked for.
#include <QAbstractItemModelTester>

#include "GridTestSupport.h"
#include "models/DataGridModel.h"
#include "ui/RecordingUi.h"

using namespace dao;

namespace {

using DataGridModelTest = gridtest::GridTest;

TEST_F(DataGridModelTest, TableRowsHeadersAndCellTexts) {
    MakeKinds();
    DataGridModel model(db->OpenRecordset("Kinds", dbOpenSnapshot));
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::Fatal);
    EXPECT_EQ(model.rowCount(), 4);
    EXPECT_EQ(model.columnCount(), 5);
    QStringList headers;
    for (int c = 0; c < model.columnCount(); ++c) headers << model.headerData(c, Qt::Horizontal).toString();
    EXPECT_EQ(headers, (QStringList{"Name", "Flag", "When", "X", "N"}));

    // First row.
    EXPECT_EQ(Cell(model, 0, 0), "first");
    EXPECT_EQ(Cell(model, 0, 1), "True");
    EXPECT_EQ(Cell(model, 0, 2), "2021-03-04 05:06:07");
    EXPECT_EQ(Cell(model, 0, 3), "1.5");
    EXPECT_EQ(Cell(model, 0, 4), "7");
    // Nulls show empty.
    for (int c = 0; c < 5; ++c) EXPECT_EQ(Cell(model, 1, c), "") << c;
    EXPECT_EQ(Cell(model, 2, 1), "False");
    EXPECT_EQ(Cell(model, 2, 2), "1999-12-31");  // no time part at midnight
    EXPECT_EQ(Cell(model, 2, 3), "1E+15");
    EXPECT_EQ(Cell(model, 2, 4), "-40000");
    // Last row: 15 significant digits.
    EXPECT_EQ(Cell(model, 3, 0), "last");
    EXPECT_EQ(Cell(model, 3, 2), "2000-01-02 00:00:01");
    EXPECT_EQ(Cell(model, 3, 3), "-0.333333333333333");

    // Read-only; numbers to the right.
    EXPECT_FALSE(model.flags(model.index(0, 0)) & Qt::ItemIsEditable);
    EXPECT_EQ(model.data(model.index(0, 3), Qt::TextAlignmentRole).toInt() & Qt::AlignRight, Qt::AlignRight);
    EXPECT_EQ(model.data(model.index(0, 0), Qt::TextAlignmentRole).toInt() & Qt::AlignLeft, Qt::AlignLeft);
    EXPECT_FALSE(model.data(model.index(4, 0)).isValid());
}

TEST_F(DataGridModelTest, SavedQueryReadOnly) {
    MakeKinds();
    db->CreateQueryDef("Named", "SELECT Name, N * 2 AS Twice FROM Kinds WHERE Name Is Not Null ORDER BY Name");
    DataGridModel model(db->OpenRecordset("Named", dbOpenSnapshot));
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::Fatal);
    ASSERT_EQ(model.rowCount(), 3);
    EXPECT_EQ(model.headerData(1, Qt::Horizontal).toString(), "Twice");
    EXPECT_EQ(Cell(model, 0, 0), "first");
    EXPECT_EQ(Cell(model, 0, 1), "14");
    EXPECT_EQ(Cell(model, 2, 0), "third");
    EXPECT_EQ(Cell(model, 2, 1), "-80000");
    EXPECT_FALSE(model.Recordset()->Updatable());
}

TEST_F(DataGridModelTest, LastOfManyRowsWithoutReadingTheRest) {
    MakeNumbers(100000);
    DataGridModel model(db->OpenRecordset("Numbers", dbOpenSnapshot));
    ASSERT_EQ(model.rowCount(), 100000);
    EXPECT_EQ(model.PagesRead(), 0);  // nothing read before it is shown
    EXPECT_EQ(Cell(model, 99999, 0), "100000");
    EXPECT_EQ(model.PagesRead(), 1);
    EXPECT_LE(model.Pager().RowsVisited(), DataGridModel::kPageRows);
    EXPECT_EQ(Cell(model, 0, 0), "1");
    EXPECT_EQ(Cell(model, 99998, 0), "99999");  // same page, no read
    EXPECT_EQ(model.PagesRead(), 2);

    // Sampled positions through the table: the cache stays bounded and the
    // rows read stay a small part of the table.
    for (int row = 0; row < 100000; row += 997) EXPECT_EQ(Cell(model, row, 0), QString::number(row + 1));
    EXPECT_LE(model.CachedPages(), DataGridModel::kCachedPages);
    EXPECT_LE(model.Pager().RowsVisited(), (model.PagesRead() + 1) * DataGridModel::kPageRows);
    EXPECT_LT(model.Pager().RowsVisited(), 100000 / 2);
}

// Tables other tools wrote: a column named like the row key (text, or Null
// throughout) does not page the grid, a table without row keys pages by
// position, an infinity shows as text, and rows a view cannot read past its
// first pages are told once.
TEST_F(DataGridModelTest, OtherToolsTablesShowTheirOwnRows) {
    db->Execute("CREATE TABLE Shadow ([_rowid_] TEXT, [Nul] TEXT, V REAL)");
    db->Execute("CREATE TABLE Keyless (K INTEGER PRIMARY KEY, V REAL) WITHOUT ROWID");
    for (int i = 1; i <= 300; ++i) {
        const std::string v = std::to_string(i);
        db->Execute("INSERT INTO Shadow VALUES ('same', Null, " + v + ")");
        db->Execute("INSERT INTO Keyless VALUES (" + v + ", " + v + ")");
    }
    db->Execute("UPDATE Keyless SET V = 9e999 WHERE K = 2");
    db->Execute("UPDATE Keyless SET V = -9e999 WHERE K = 3");
    for (const char* table : {"Shadow", "Keyless"}) {
        DataGridModel model(db->OpenRecordset(std::string("[") + table + "]", dbOpenSnapshot, dbReadOnly));
        ASSERT_EQ(model.rowCount(), 300) << table;
        const int v = model.columnCount() - 1;
        for (int row : {0, 1, 150, 299}) {
            const QString expected = row == 1 && v == 1 ? "Infinity" : QString::number(row + 1);
            EXPECT_EQ(Cell(model, row, v), expected) << table << " row " << row;
        }
        if (v == 1) {
            EXPECT_EQ(Cell(model, 2, 1), "-Infinity");
        }
    }

    ui::RecordingUi rec;
    ui::ScopedUi installed(rec);
    db->Execute("CREATE VIEW Failing AS SELECT CASE WHEN V > 200 THEN abs(-9223372036854775807 - 1) ELSE V END AS W "
                "FROM Shadow");
    DataGridModel model(db->OpenRecordset("[Failing]", dbOpenSnapshot, dbReadOnly));
    EXPECT_EQ(Cell(model, 0, 0), "1");
    EXPECT_EQ(Cell(model, 280, 0), "");
    EXPECT_EQ(Cell(model, 290, 0), "");
    QCoreApplication::processEvents();
    ASSERT_EQ(rec.boxes.size(), 1u);
    EXPECT_NE(rec.boxes[0].prompt.find("cannot be read"), std::string::npos) << rec.boxes[0].prompt;
}

TEST_F(DataGridModelTest, ClosedDatabaseShowsEmptyCells) {
    MakeNumbers(10);
    DataGridModel model(db->OpenRecordset("Numbers", dbOpenSnapshot));
    db->Close();
    EXPECT_EQ(model.rowCount(), 10);
    EXPECT_EQ(Cell(model, 3, 0), "");
}

}  // namespace
