// Rows by position: tables with and without gaps in their keys, saved
// queries and SQL, the cost of reading far down, and the record set's own
// position left alone.
#include <random>

#include "DaoTestSupport.h"
#include "vb/Conversions.h"

using namespace dao;
using daotest::ErrorOf;

namespace {

class RowPagerTest : public daotest::DaoTest {
protected:
    void SetUp() override {
        DaoTest::SetUp();
        db = NewDb();
    }
    // T(ID counter, N Long): N = 1..rows, appended in one transaction.
    void MakeNumbers(int rows) {
        auto td = db->CreateTableDef("T");
        auto id = td->CreateField("ID", dbLong);
        id->Attributes(dbAutoIncrField);
        td->Fields()->Append(id);
        td->Fields()->Append(td->CreateField("N", dbLong));
        db->TableDefs()->Append(td);
        DBEngine().BeginTrans();
        auto rs = db->OpenRecordset("T", dbOpenTable, dbAppendOnly);
        for (int i = 1; i <= rows; ++i) {
            rs->AddNew();
            rs->Fields(1)->Value(vb::Variant(i));
            rs->Update();
        }
        rs->Close();
        DBEngine().CommitTrans();
    }
    // The N values of `count` rows from `first`.
    static std::vector<int> Ns(RowPager& p, int64_t first, int64_t count, int column = 1) {
        std::vector<vb::Variant> out;
        p.ReadRows(first, count, out);
        std::vector<int> ns;
        for (size_t i = static_cast<size_t>(column); i < out.size(); i += static_cast<size_t>(p.FieldCount()))
            ns.push_back(static_cast<int>(out[i].ToDouble()));
        return ns;
    }
    DatabasePtr db;
};

TEST_F(RowPagerTest, TableValuesOfEveryTypeByPosition) {
    auto td = db->CreateTableDef("Kinds");
    td->Fields()->Append(td->CreateField("Name", dbText, 20));
    td->Fields()->Append(td->CreateField("Flag", dbBoolean));
    td->Fields()->Append(td->CreateField("When", dbDate));
    td->Fields()->Append(td->CreateField("X", dbDouble));
    db->TableDefs()->Append(td);
    db->Execute("INSERT INTO Kinds (Name, Flag, [When], X) VALUES ('first', True, #2021-03-04 05:06:07#, 1.5)");
    db->Execute("INSERT INTO Kinds (Name, Flag, [When], X) VALUES (Null, False, Null, Null)");
    db->Execute("INSERT INTO Kinds (Name, Flag, [When], X) VALUES ('last', True, #1999-12-31#, -2.25)");

    auto rs = db->OpenRecordset("Kinds", dbOpenSnapshot, dbReadOnly);
    RowPager p(rs);
    EXPECT_EQ(p.FieldCount(), 4);
    EXPECT_EQ(p.RowCount(), 3);
    std::vector<vb::Variant> out;
    ASSERT_EQ(p.ReadRows(0, 10, out), 3);  // fewer at the end
    ASSERT_EQ(out.size(), 12u);
    EXPECT_EQ(out[0].String(), "first");
    EXPECT_EQ(out[1].Type(), vb::vbBoolean);
    EXPECT_TRUE(out[1].ToBool());
    EXPECT_EQ(out[2].ToDate(), vb::DateTime(2021, 3, 4, 5, 6, 7));
    EXPECT_EQ(out[3].ToDouble(), 1.5);
    for (int c = 4; c < 8; ++c)
        if (c != 5) {
            EXPECT_TRUE(out[static_cast<size_t>(c)].IsNull()) << c;
        }
    EXPECT_EQ(out[5].Type(), vb::vbBoolean);
    EXPECT_FALSE(out[5].ToBool());
    EXPECT_EQ(out[8].String(), "last");
    EXPECT_EQ(out[10].ToDate(), vb::DateSerial(1999, 12, 31));
    EXPECT_EQ(out[11].ToDouble(), -2.25);

    out.clear();
    EXPECT_EQ(p.ReadRows(2, 1, out), 1);
    EXPECT_EQ(out[0].String(), "last");
    EXPECT_EQ(p.ReadRows(3, 5, out), 0);
    EXPECT_EQ(p.ReadRows(-1, 5, out), 0);
    EXPECT_EQ(p.ReadRows(0, 0, out), 0);
    // The record set itself has not moved.
    EXPECT_EQ(rs->AbsolutePosition(), 0);
    EXPECT_EQ(rs->RecordCount(), 1);
}

TEST_F(RowPagerTest, LastOfManyRowsReadWithoutPassingTheOthers) {
    MakeNumbers(100000);
    auto rs = db->OpenRecordset("T", dbOpenSnapshot, dbReadOnly);
    RowPager p(rs);
    EXPECT_EQ(p.RowCount(), 100000);
    EXPECT_EQ(Ns(p, 99999, 50), std::vector<int>{100000});
    EXPECT_EQ(Ns(p, 50000, 3), (std::vector<int>{50001, 50002, 50003}));
    EXPECT_EQ(Ns(p, 0, 1), std::vector<int>{1});
    // Keys without gaps: each read passes only the rows it returns.
    EXPECT_EQ(p.RowsVisited(), 5);
    EXPECT_EQ(rs->RecordCount(), 1);
    EXPECT_EQ(rs->Fields("N")->Value().ToDouble(), 1.0);
}

TEST_F(RowPagerTest, TableWithGapsInItsKeys) {
    MakeNumbers(10000);
    // Remove a block at the start, every third row, and the last row.
    db->Execute("DELETE FROM T WHERE N <= 700 OR N Mod 3 = 0 OR N = 10000");
    std::vector<int> kept;
    for (int n = 701; n < 10000; ++n)
        if (n % 3 != 0) kept.push_back(n);
    RowPager p(db->OpenRecordset("T", dbOpenSnapshot));
    ASSERT_EQ(p.RowCount(), static_cast<int64_t>(kept.size()));
    auto n = static_cast<int64_t>(kept.size());
    // The first rows are read before any pass over the keys.
    EXPECT_EQ(Ns(p, 0, 3), (std::vector<int>{701, 703, 704}));
    EXPECT_LE(p.RowsVisited(), 4);
    for (int64_t at : {int64_t{0}, int64_t{1}, int64_t{1023}, int64_t{1024}, int64_t{1025}, int64_t{2047},
                       int64_t{2048}, n - 2, n - 1}) {
        auto got = Ns(p, at, 2);
        std::vector<int> want(kept.begin() + at, kept.begin() + std::min(n, at + 2));
        EXPECT_EQ(got, want) << "at " << at;
    }
    // After the one pass over the keys, a read far down costs under two
    // samples' worth of rows.
    std::mt19937 random(7);
    for (int i = 0; i < 20; ++i) {
        int64_t at = std::uniform_int_distribution<int64_t>(0, n - 1)(random);
        int64_t before = p.RowsVisited();
        ASSERT_EQ(Ns(p, at, 1), std::vector<int>{kept[static_cast<size_t>(at)]}) << at;
        EXPECT_LT(p.RowsVisited() - before, 2 * 1024);
    }
}

TEST_F(RowPagerTest, SavedQueryAndSqlKeepTheirOrder) {
    MakeNumbers(3000);
    db->CreateQueryDef("Odd", "SELECT N, N * 2 AS Twice FROM T WHERE N Mod 2 = 1 ORDER BY N DESC");
    auto rs = db->OpenRecordset("Odd", dbOpenSnapshot, dbReadOnly);
    RowPager p(rs);
    EXPECT_EQ(p.FieldCount(), 2);
    EXPECT_EQ(p.RowCount(), 1500);
    EXPECT_EQ(Ns(p, 0, 3, 0), (std::vector<int>{2999, 2997, 2995}));
    EXPECT_EQ(Ns(p, 1498, 5, 0), (std::vector<int>{3, 1}));
    EXPECT_EQ(Ns(p, 700, 2, 1), (std::vector<int>{2 * (2999 - 1400), 2 * (2997 - 1400)}));

    // A single-table statement (keyed internally) and a grouped one.
    RowPager q(db->OpenRecordset("SELECT N FROM T WHERE N > 2990 ORDER BY N", dbOpenSnapshot));
    EXPECT_EQ(q.RowCount(), 10);
    EXPECT_EQ(Ns(q, 8, 5, 0), (std::vector<int>{2999, 3000}));
    RowPager g(db->OpenRecordset("SELECT N Mod 3 AS R, Count(*) AS C FROM T GROUP BY N Mod 3", dbOpenSnapshot));
    EXPECT_EQ(g.RowCount(), 3);
    EXPECT_EQ(Ns(g, 0, 3, 1), (std::vector<int>{1000, 1000, 1000}));
}

TEST_F(RowPagerTest, SchemaChangesRowChangesAndClosing) {
    MakeNumbers(10);
    auto other = db->CreateTableDef("Other");
    other->Fields()->Append(other->CreateField("A", dbLong));
    db->TableDefs()->Append(other);
    auto rs = db->OpenRecordset("T", dbOpenSnapshot);
    RowPager p(rs);
    EXPECT_EQ(Ns(p, 4, 1), std::vector<int>{5});
    // Nothing of the pager runs between reads: other tables can be dropped.
    db->Execute("DROP TABLE Other");
    EXPECT_FALSE(db->TableDefs()->Contains("Other"));

    db->Execute("INSERT INTO T (N) VALUES (11)");
    EXPECT_EQ(p.RowCount(), 11);  // counted again after the change
    EXPECT_EQ(Ns(p, 10, 1), std::vector<int>{11});

    rs->Close();
    std::vector<vb::Variant> out;
    EXPECT_EQ(ErrorOf([&] { p.ReadRows(0, 1, out); }), err::kObjectClosed);
    EXPECT_EQ(ErrorOf([&] { p.RowCount(); }), err::kObjectClosed);

    auto rs2 = db->OpenRecordset("T", dbOpenSnapshot);
    RowPager p2(rs2);
    db->Close();
    EXPECT_EQ(ErrorOf([&] { p2.ReadRows(0, 1, out); }), err::kObjectClosed);
}

// The pager's own connection rolls back, whole or to a savepoint, and adds a
// column: none of these moves the file's data version or the change count.
TEST_F(RowPagerTest, OwnRollbacksAndColumnsAreSeen) {
    MakeNumbers(10);
    RowPager p(db->OpenRecordset("T", dbOpenSnapshot));
    EXPECT_EQ(p.RowCount(), 10);
    db->BeginTrans();
    db->Execute("INSERT INTO T (N) VALUES (11)");
    db->Execute("INSERT INTO T (N) VALUES (12)");
    EXPECT_EQ(p.RowCount(), 12);
    db->Rollback();
    EXPECT_EQ(p.RowCount(), 10);
    db->BeginTrans();
    db->BeginTrans();  // a savepoint
    db->Execute("INSERT INTO T (N) VALUES (11)");
    EXPECT_EQ(p.RowCount(), 11);
    db->Rollback();
    EXPECT_EQ(p.RowCount(), 10);
    db->CommitTrans();

    auto td = db->TableDefs()->Item("T");
    td->Fields()->Append(td->CreateField("Extra", dbText, 10));
    std::vector<vb::Variant> out;
    EXPECT_EQ(p.ReadRows(9, 1, out), 1);
    EXPECT_EQ(p.FieldNames(), (std::vector<std::string>{"ID", "N", "Extra"}));
    EXPECT_EQ(p.FieldTypes().back(), dbText);
    ASSERT_EQ(out.size(), 3u);
    EXPECT_EQ(out[1].ToDouble(), 10.0);
    EXPECT_TRUE(out[2].IsNull());
}

// Reads beside other statements of the pager's connection: the record set's
// own, read again since the last call, must not hand the read an older state
// of the file; and an engine's write part-way through must lose nothing to a
// page read made meanwhile.
TEST_F(RowPagerTest, ReadsBesideTheConnectionsOwnStatements) {
    MakeNumbers(10);
    db = daotest::InWalMode(db);
    auto rs = db->OpenRecordset("T", dbOpenSnapshot);
    RowPager p(rs);
    EXPECT_EQ(p.RowCount(), 10);
    rs->MoveNext();
    sqlite3* other = nullptr;
    ASSERT_EQ(sqlite3_open(db->Name().c_str(), &other), SQLITE_OK);
    EXPECT_EQ(sqlite3_exec(other, "INSERT INTO T (N) VALUES (11)", nullptr, nullptr, nullptr), SQLITE_OK);
    sqlite3_close(other);
    EXPECT_EQ(p.RowCount(), 11);
    EXPECT_EQ(rs->Fields("N")->Value().ToDouble(), 2.0);

    auto copy = db->CreateTableDef("Copy");
    copy->Fields()->Append(copy->CreateField("N", dbLong));
    db->TableDefs()->Append(copy);
    int64_t seen = 0;
    db->DefineFunction("Peek", [&](const std::vector<Database::StoredArgument>&) { seen = p.RowCount(); });
    EXPECT_EQ(ErrorOf([&] { db->Execute("INSERT INTO Copy (N) SELECT N FROM T WHERE Peek(N) Is Null"); }), 0);
    EXPECT_EQ(seen, 11);
    EXPECT_EQ(db->OpenRecordset("Copy", dbOpenTable)->RecordCount(), 11);
}

// The grid's watch looks at the file twice a second: it sees a change until a
// read takes it, holds nothing that keeps another program from locking the
// file, and under that lock fails at once instead of waiting.
TEST_F(RowPagerTest, FileChangedLooksWithoutHoldingOrWaiting) {
    MakeNumbers(10);
    RowPager p(db->OpenRecordset("T", dbOpenSnapshot));
    EXPECT_EQ(p.RowCount(), 10);
    EXPECT_FALSE(p.FileChanged());
    sqlite3* other = nullptr;
    ASSERT_EQ(sqlite3_open(db->Name().c_str(), &other), SQLITE_OK);
    sqlite3_busy_timeout(other, 100);
    EXPECT_EQ(sqlite3_exec(other, "INSERT INTO T (N) VALUES (11)", nullptr, nullptr, nullptr), SQLITE_OK);
    EXPECT_TRUE(p.FileChanged());
    EXPECT_TRUE(p.FileChanged());
    EXPECT_EQ(p.RowCount(), 11);
    EXPECT_FALSE(p.FileChanged());

    EXPECT_EQ(sqlite3_exec(other, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr), SQLITE_OK);
    int waits = 0;
    LockWaitObserver before = SetLockWaitObserver([&waits](int) { ++waits; });
    EXPECT_EQ(ErrorOf([&] { p.FileChanged(); }), err::kLocked);
    SetLockWaitObserver(before);
    EXPECT_EQ(waits, 0);
    sqlite3_exec(other, "ROLLBACK", nullptr, nullptr, nullptr);
    sqlite3_close(other);
    EXPECT_FALSE(p.FileChanged());
}

TEST_F(RowPagerTest, EmptyTable) {
    MakeNumbers(0);
    RowPager p(db->OpenRecordset("T", dbOpenSnapshot));
    EXPECT_EQ(p.RowCount(), 0);
    std::vector<vb::Variant> out;
    EXPECT_EQ(p.ReadRows(0, 10, out), 0);
    EXPECT_TRUE(out.empty());
}

}  // namespace
