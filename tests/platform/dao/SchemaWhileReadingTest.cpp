// Dropping and creating tables and indexes while record sets on other tables
// of the same database are open part-way through: the drop succeeds, the
// record sets read on (same rows, same order, bookmarks and backward moves),
// inside and outside transactions; dropping what an open set reads is refused.
#include <vector>

#include "DaoTestSupport.h"

using namespace dao;
using daotest::ErrorOf;

namespace {

class SchemaWhileReadingTest : public daotest::DaoTest {
protected:
    void SetUp() override {
        DaoTest::SetUp();
        db = NewDb();
        // A: ten rows inserted out of order, X = 1..10 (two of them tie on G).
        auto a = db->CreateTableDef("A");
        auto id = a->CreateField("ID", dbLong);
        id->Attributes(dbAutoIncrField);
        a->Fields()->Append(id);
        a->Fields()->Append(a->CreateField("G", dbText, 10));
        a->Fields()->Append(a->CreateField("X", dbDouble));
        db->TableDefs()->Append(a);
        for (int x : {7, 3, 9, 1, 10, 4, 6, 2, 8, 5})
            db->Execute("INSERT INTO [A] (G, X) VALUES ('" + std::string(x % 2 ? "odd" : "even") + "', " +
                        std::to_string(x) + ")");
        MakeB();
    }

    // B with a primary key and a second index, and three rows.
    void MakeB() {
        auto b = db->CreateTableDef("B");
        b->Fields()->Append(b->CreateField("K", dbLong));
        b->Fields()->Append(b->CreateField("V", dbText, 20));
        auto pk = b->CreateIndex("PrimaryKey");
        pk->Primary(true);
        pk->Fields()->Append(pk->CreateField("K"));
        b->Indexes()->Append(pk);
        auto byV = b->CreateIndex("ByV");
        byV->Fields()->Append(byV->CreateField("V"));
        b->Indexes()->Append(byV);
        db->TableDefs()->Append(b);
        for (int k = 1; k <= 3; ++k) db->Execute("INSERT INTO [B] VALUES (" + std::to_string(k) + ", 'v')");
    }

    // The X values from the current row to the end.
    static std::vector<double> Rest(const RecordsetPtr& rs) {
        std::vector<double> xs;
        for (; !rs->Eof(); rs->MoveNext()) xs.push_back(rs->Fields("X")->Value().ToDouble());
        return xs;
    }
    static double X(const RecordsetPtr& rs) { return rs->Fields("X")->Value().ToDouble(); }
    bool HasTable(const std::string& name) { return db->TableDefs()->Contains(name); }

    DatabasePtr db;
};

TEST_F(SchemaWhileReadingTest, DropAnotherTableWhileASortedReadOnlySetIsPartWay) {
    auto t = db->CreateTableDef("C");
    t->Fields()->Append(t->CreateField("X", dbDouble));
    db->TableDefs()->Append(t);
    for (int i = 0; i < 5; ++i) db->Execute("INSERT INTO [C] VALUES (1.5)");
    auto rs = db->OpenRecordset("SELECT [X] FROM [C] ORDER BY [X]", dbOpenDynaset, dbReadOnly | dbSeeChanges);
    rs->MoveNext();
    db->TableDefs()->Delete("B");
    EXPECT_FALSE(HasTable("B"));
    int n = 1;  // the first row was passed before the drop
    for (; !rs->Eof(); rs->MoveNext()) {
        EXPECT_EQ(X(rs), 1.5);
        ++n;
    }
    EXPECT_EQ(n, 5);
    EXPECT_EQ(rs->RecordCount(), 5);
}

TEST_F(SchemaWhileReadingTest, ReadOnlySetKeepsOrderBookmarksAndBackwardMovesAcrossDrops) {
    auto rs = db->OpenRecordset("SELECT [G], [X] FROM [A] ORDER BY [G], [X]", dbOpenDynaset, dbReadOnly | dbSeeChanges);
    rs->MoveNext();
    rs->MoveNext();  // even: 2, 4, [6], 8, 10, then odd: 1, 3, 5, 7, 9
    vb::Variant mark = rs->Bookmark();
    EXPECT_EQ(X(rs), 6.0);
    db->TableDefs()->Delete("B");
    EXPECT_EQ(X(rs), 6.0);  // the current row reads on after the drop
    EXPECT_EQ(rs->AbsolutePosition(), 2);
    rs->MoveNext();
    EXPECT_EQ(X(rs), 8.0);
    // A second drop, through SQL, of a table made after the set was opened.
    db->Execute("CREATE TABLE [D] ([Y] DOUBLE)");
    db->Execute("DROP TABLE [D]");
    rs->MovePrevious();
    EXPECT_EQ(X(rs), 6.0);
    rs->MovePrevious();
    EXPECT_EQ(X(rs), 4.0);
    db->Execute("CREATE TABLE [D] ([Y] DOUBLE)");
    db->Execute("DROP TABLE [D]");
    EXPECT_EQ(X(rs), 4.0);  // a row reached by key reads afresh too
    rs->Bookmark(mark);
    EXPECT_EQ(X(rs), 6.0);
    EXPECT_EQ(Rest(rs), (std::vector<double>{6, 8, 10, 1, 3, 5, 7, 9}));
    rs->MoveLast();
    EXPECT_EQ(rs->RecordCount(), 10);
    rs->MoveFirst();
    EXPECT_EQ(X(rs), 2.0);
}

TEST_F(SchemaWhileReadingTest, SetsWithoutRowKeysResumeByCountingRows) {
    // An aggregate has no row keys: it re-runs and skips to its row.
    auto rs = db->OpenRecordset("SELECT [G], Sum([X]) AS S, Count(*) AS N FROM [A] GROUP BY [G]", dbOpenSnapshot);
    EXPECT_EQ(rs->Fields("G")->Value().String(), "even");
    db->TableDefs()->Delete("B");
    EXPECT_EQ(rs->Fields("S")->Value().ToDouble(), 30.0);
    rs->MoveNext();
    EXPECT_EQ(rs->Fields("G")->Value().String(), "odd");
    EXPECT_EQ(rs->Fields("S")->Value().ToDouble(), 25.0);
    rs->MoveNext();
    EXPECT_TRUE(rs->Eof());
    // A forward-only walk likewise.
    auto fwd = db->OpenRecordset("SELECT [X] FROM [A] ORDER BY [X] DESC", dbOpenForwardOnly);
    fwd->MoveNext();
    MakeB();
    db->Execute("DROP TABLE [B]");
    EXPECT_EQ(Rest(fwd), (std::vector<double>{9, 8, 7, 6, 5, 4, 3, 2, 1}));
}

TEST_F(SchemaWhileReadingTest, DroppedTableIsMadeAgainAtOnceWithItsIndexes) {
    auto rs = db->OpenRecordset("SELECT [X] FROM [A] ORDER BY [X]", dbOpenDynaset, dbReadOnly | dbSeeChanges);
    rs->Move(3);
    for (int round = 0; round < 3; ++round) {
        db->TableDefs()->Delete("B");
        EXPECT_FALSE(HasTable("B"));
        MakeB();  // same table and index names
        auto b = db->TableDefs()->Item("B");
        ASSERT_EQ(b->Indexes()->Count(), 2);
        EXPECT_TRUE(b->Indexes()->Item("PrimaryKey")->Primary());
        EXPECT_EQ(b->Indexes()->Item("ByV")->Fields()->Item(0)->Name(), "V");
        EXPECT_EQ(b->RecordCount(), 3);
        // The primary key still holds.
        EXPECT_EQ(ErrorOf([&] { db->Execute("INSERT INTO [B] VALUES (1, 'w')"); }), err::kDuplicateKey);
        EXPECT_EQ(X(rs), 4.0 + round);
        rs->MoveNext();
    }
    // An index alone, made and dropped by SQL while the set reads.
    db->Execute("CREATE INDEX [BV2] ON [B] ([V])");
    db->Execute("DROP INDEX [BV2]");
    EXPECT_EQ(Rest(rs), (std::vector<double>{7, 8, 9, 10}));
}

TEST_F(SchemaWhileReadingTest, UpdatableSetsEditAndDeleteAcrossDrops) {
    auto rs = db->OpenRecordset("SELECT * FROM [A] ORDER BY [X]", dbOpenDynaset);
    ASSERT_TRUE(rs->Updatable());
    rs->MoveNext();  // X = 2
    db->TableDefs()->Delete("B");
    rs->Edit();
    rs->Fields("G")->Value("two");
    rs->Update();
    EXPECT_EQ(rs->Fields("G")->Value().String(), "two");
    rs->MoveNext();  // X = 3
    rs->Delete();
    MakeB();
    db->TableDefs()->Delete("B");  // parked with its current row deleted
    EXPECT_EQ(ErrorOf([&] { rs->Fields("X")->Value(); }), err::kRecordDeleted);
    rs->MoveNext();
    EXPECT_EQ(X(rs), 4.0);  // neither 3 again nor a gap
    EXPECT_EQ(Rest(rs), (std::vector<double>{4, 5, 6, 7, 8, 9, 10}));
    auto check = db->OpenRecordset("SELECT [G] FROM [A] WHERE [X] = 2");
    EXPECT_EQ(check->Fields("G")->Value().String(), "two");
    EXPECT_EQ(db->OpenRecordset("SELECT Count(*) AS N FROM [A]")->Fields("N")->Value().ToLong(), 9);

    // A table-type set too.
    auto table = db->OpenRecordset("A", dbOpenTable);
    table->Move(2);
    double here = X(table);
    MakeB();
    db->TableDefs()->Delete("B");
    EXPECT_EQ(X(table), here);
    table->MoveLast();
    EXPECT_EQ(X(table), 5.0);  // the last row inserted
}

TEST_F(SchemaWhileReadingTest, DropInsideTransactionsRollsBackAndCommits) {
    auto ws = DBEngine().Workspaces(0);
    auto rs = db->OpenRecordset("SELECT [X] FROM [A] ORDER BY [X]", dbOpenDynaset, dbReadOnly | dbSeeChanges);
    rs->MoveNext();
    auto upd = db->OpenRecordset("SELECT * FROM [A] ORDER BY [X] DESC", dbOpenDynaset);
    upd->MoveNext();

    // Rolled back: B is back with its rows and indexes, both sets read on.
    ws->BeginTrans();
    db->TableDefs()->Delete("B");
    auto b2 = db->CreateTableDef("B");
    b2->Fields()->Append(b2->CreateField("Other", dbDouble));
    db->TableDefs()->Append(b2);
    EXPECT_EQ(X(rs), 2.0);
    rs->MoveNext();
    ws->Rollback();
    ASSERT_TRUE(HasTable("B"));
    auto b = db->TableDefs()->Item("B");
    EXPECT_EQ(b->Fields()->Count(), 2);
    EXPECT_EQ(b->Indexes()->Count(), 2);
    EXPECT_EQ(b->RecordCount(), 3);
    EXPECT_EQ(X(rs), 3.0);
    EXPECT_EQ(X(upd), 9.0);

    // Nested level rolled back, outer level committed.
    ws->BeginTrans();
    ws->BeginTrans();
    db->Execute("DROP TABLE [B]");
    ws->Rollback();
    EXPECT_TRUE(HasTable("B"));
    db->TableDefs()->Delete("B");
    MakeB();
    upd->Edit();
    upd->Fields("G")->Value("nine");
    upd->Update();
    ws->CommitTrans();
    EXPECT_TRUE(HasTable("B"));
    EXPECT_EQ(db->TableDefs()->Item("B")->Indexes()->Count(), 2);
    EXPECT_EQ(upd->Fields("G")->Value().String(), "nine");
    EXPECT_EQ(Rest(rs), (std::vector<double>{3, 4, 5, 6, 7, 8, 9, 10}));
    EXPECT_EQ(Rest(upd), (std::vector<double>{9, 8, 7, 6, 5, 4, 3, 2, 1}));
}

// Inside a transaction a drop does not restart the reads running on the
// connection (a sorted read would sort again): the table is out of sight at
// once, gone when the transaction commits and back when it rolls back.
TEST_F(SchemaWhileReadingTest, DropInsideATransactionLeavesRunningReadsRunning) {
    db->CreateQueryDef("QB", "SELECT [K] FROM [B]");
    auto fwd = db->OpenRecordset("SELECT [X] FROM [A] ORDER BY [X]", dbOpenForwardOnly);
    fwd->MoveNext();  // X = 2
    db->BeginTrans(true);
    // Rows changed after the sort: a read that started again would see them.
    db->Execute("UPDATE [A] SET [X] = [X] + 100 WHERE [X] > 5");
    db->TableDefs()->Delete("B");
    EXPECT_FALSE(HasTable("B"));
    EXPECT_EQ(db->TableDefs()->Count(), 1);
    auto b = db->CreateTableDef("B");
    b->Fields()->Append(b->CreateField("K", dbLong));
    db->TableDefs()->Append(b);
    db->Execute("INSERT INTO [B] VALUES (42)");
    EXPECT_EQ(Rest(fwd), (std::vector<double>{2, 3, 4, 5, 6, 7, 8, 9, 10}));
    db->CommitTrans();
    // Another connection sees the new B alone, and the saved query reads it.
    auto other = DBEngine().OpenDatabase(db->Name());
    std::vector<std::string> names;
    const auto defs = other->TableDefs();
    for (const auto& t : *defs) names.push_back(t->Name());
    EXPECT_EQ(names, (std::vector<std::string>{"A", "B"}));
    auto q = other->OpenRecordset("QB");
    EXPECT_EQ(q->Fields("K")->Value().ToLong(), 42);
    q->Close();
    other->Close();

    // Rolled back: the dropped table is back under its name.
    auto again = db->OpenRecordset("SELECT [X] FROM [A] ORDER BY [X]", dbOpenForwardOnly);
    again->MoveNext();
    auto ws = DBEngine().Workspaces(0);
    ws->BeginTrans();
    db->TableDefs()->Delete("B");
    ws->Rollback();
    ASSERT_TRUE(HasTable("B"));
    EXPECT_EQ(db->TableDefs()->Item("B")->RecordCount(), 1);
    EXPECT_EQ(db->TableDefs()->Count(), 2);
}

TEST_F(SchemaWhileReadingTest, DroppingWhatAnOpenSetReadsIsRefused) {
    auto rs = db->OpenRecordset("SELECT [V] FROM [B] ORDER BY [K]", dbOpenDynaset, dbReadOnly);
    try {
        db->TableDefs()->Delete("B");
        ADD_FAILURE() << "the drop was not refused";
    } catch (const vb::VbError& e) {
        EXPECT_EQ(e.Number(), err::kTableInUse);
        EXPECT_NE(e.Description().find("'B'"), std::string::npos) << e.Description();
    }
    EXPECT_EQ(ErrorOf([&] { db->Execute("DROP TABLE [B]"); }), err::kTableInUse);
    EXPECT_EQ(ErrorOf([&] { db->Execute("drop index [B.ByV]"); }), err::kTableInUse);
    EXPECT_TRUE(HasTable("B"));
    EXPECT_EQ(db->TableDefs()->Item("B")->Indexes()->Count(), 2);
    rs->Close();

    // Through a saved query, and for a set that has read all its rows.
    db->CreateQueryDef("QB", "SELECT [K] FROM [B]");
    auto q = db->OpenRecordset("QB");
    q->MoveLast();
    EXPECT_EQ(ErrorOf([&] { db->TableDefs()->Delete("B"); }), err::kTableInUse);
    EXPECT_EQ(ErrorOf([&] { db->QueryDefs()->Delete("QB"); }), err::kTableInUse);
    EXPECT_EQ(q->RecordCount(), 3);
    q->Close();
    db->QueryDefs()->Delete("QB");
    db->TableDefs()->Delete("B");
    EXPECT_FALSE(HasTable("B"));
}

}  // namespace
