// Record sets: movement, RecordCount, bookmarks, finding, editing, and
// updatable single-table queries.
#include "DaoTestSupport.h"

using namespace dao;
using daotest::ErrorOf;

namespace {

class RecordsetTest : public daotest::DaoTest {
protected:
    void SetUp() override {
        DaoTest::SetUp();
        db = NewDb();
        auto td = db->CreateTableDef("T");
        auto id = td->CreateField("ID", dbLong);
        id->Attributes(dbAutoIncrField);
        td->Fields()->Append(id);
        td->Fields()->Append(td->CreateField("G", dbText, 10));
        td->Fields()->Append(td->CreateField("X", dbDouble));
        db->TableDefs()->Append(td);
        // Five rows: groups b, a, b, a, c with X = 1..5.
        const char* groups[] = {"b", "a", "b", "a", "c"};
        for (int i = 0; i < 5; ++i)
            db->Execute(std::string("INSERT INTO T (G, X) VALUES ('") + groups[i] + "', " + std::to_string(i + 1) +
                        ")");
    }
    std::vector<double> Walk(const RecordsetPtr& rs) {
        std::vector<double> xs;
        for (rs->MoveFirst(); !rs->Eof(); rs->MoveNext()) xs.push_back(rs->Fields("X")->Value().ToDouble());
        return xs;
    }
    DatabasePtr db;
};

TEST_F(RecordsetTest, MovementAndRecordCountMeaning) {
    auto rs = db->OpenRecordset("SELECT * FROM [T] ORDER BY [X]", dbOpenDynaset, dbReadOnly | dbSeeChanges);
    EXPECT_FALSE(rs->Eof());
    EXPECT_FALSE(rs->Bof());
    EXPECT_EQ(rs->RecordCount(), 1);  // rows reached so far
    rs->MoveNext();
    rs->MoveNext();
    EXPECT_EQ(rs->RecordCount(), 3);
    EXPECT_EQ(rs->AbsolutePosition(), 2);
    rs->MoveLast();
    EXPECT_EQ(rs->RecordCount(), 5);  // exact after MoveLast
    EXPECT_EQ(rs->Fields("X")->Value().ToDouble(), 5.0);
    rs->Move(-3);
    EXPECT_EQ(rs->Fields("X")->Value().ToDouble(), 2.0);
    rs->MovePrevious();
    EXPECT_EQ(rs->Fields("x")->Value().ToDouble(), 1.0);
    rs->MovePrevious();
    EXPECT_TRUE(rs->Bof());
    EXPECT_FALSE(rs->Eof());
    EXPECT_EQ(ErrorOf([&] { rs->Fields("X")->Value(); }), err::kNoCurrentRecord);
    EXPECT_EQ(ErrorOf([&] { rs->MovePrevious(); }), err::kNoCurrentRecord);
    rs->MoveNext();
    EXPECT_EQ(rs->Fields("X")->Value().ToDouble(), 1.0);
    rs->Move(4);
    EXPECT_EQ(rs->Fields("X")->Value().ToDouble(), 5.0);
    rs->MoveNext();
    EXPECT_TRUE(rs->Eof());
    EXPECT_EQ(ErrorOf([&] { rs->MoveNext(); }), err::kNoCurrentRecord);
    rs->MovePrevious();
    EXPECT_EQ(rs->Fields("X")->Value().ToDouble(), 5.0);
    EXPECT_EQ(Walk(rs), (std::vector<double>{1, 2, 3, 4, 5}));  // MoveFirst after a pass re-runs
    EXPECT_EQ(ErrorOf([&] { rs->Edit(); }), err::kReadOnly);
}

TEST_F(RecordsetTest, EmptySetAndTableTypeCount) {
    auto empty = db->OpenRecordset("SELECT * FROM T WHERE X > 100");
    EXPECT_TRUE(empty->Eof());
    EXPECT_TRUE(empty->Bof());
    EXPECT_EQ(empty->RecordCount(), 0);
    empty->MoveLast();
    EXPECT_TRUE(empty->Eof());
    auto table = db->OpenRecordset("T", dbOpenTable);
    EXPECT_EQ(table->RecordCount(), 5);  // a table-type set knows its count
    // Without a type, a table opens as a table-type set, a query as a dynaset.
    EXPECT_EQ(db->OpenRecordset("t")->Type(), dbOpenTable);
    EXPECT_EQ(db->OpenRecordset("SELECT * FROM T")->Type(), dbOpenDynaset);
    EXPECT_EQ(ErrorOf([&] { db->OpenRecordset("SELECT * FROM T", dbOpenTable); }), err::kInvalidOperation);
}

TEST_F(RecordsetTest, UnkeyedSetsMoveBackwardsToo) {
    // A grouped query has no row keys: going back re-runs it.
    auto rs = db->OpenRecordset("SELECT [G], Sum([X]) AS S FROM [T] GROUP BY [G] ORDER BY [G]");
    EXPECT_FALSE(rs->Updatable());
    rs->MoveLast();
    EXPECT_EQ(rs->RecordCount(), 3);
    EXPECT_EQ(rs->Fields("G")->Value().String(), "c");
    rs->MovePrevious();
    EXPECT_EQ(rs->Fields("G")->Value().String(), "b");
    EXPECT_EQ(rs->Fields("S")->Value().ToDouble(), 4.0);
    vb::Variant mark = rs->Bookmark();
    rs->MoveFirst();
    EXPECT_EQ(rs->Fields(0)->Value().String(), "a");
    rs->Bookmark(mark);
    EXPECT_EQ(rs->Fields(0)->Value().String(), "b");
    EXPECT_EQ(rs->Fields("S")->Type(), dbDouble);
}

TEST_F(RecordsetTest, BookmarksAndFind) {
    auto rs = db->OpenRecordset("SELECT * FROM T ORDER BY X DESC", dbOpenDynaset);
    EXPECT_TRUE(rs->Bookmarkable());
    rs->FindFirst("[G] = 'A'");  // text compares without case
    ASSERT_FALSE(rs->NoMatch());
    EXPECT_EQ(rs->Fields("X")->Value().ToDouble(), 4.0);
    vb::Variant mark = rs->Bookmark();
    rs->FindNext("[G] = 'a'");
    ASSERT_FALSE(rs->NoMatch());
    EXPECT_EQ(rs->Fields("X")->Value().ToDouble(), 2.0);
    rs->FindNext("[G] = 'a'");
    EXPECT_TRUE(rs->NoMatch());
    EXPECT_EQ(rs->Fields("X")->Value().ToDouble(), 2.0);  // stays where it was
    rs->Bookmark(mark);
    EXPECT_EQ(rs->Fields("X")->Value().ToDouble(), 4.0);
    rs->FindFirst("X > 2 AND G = 'b'");
    EXPECT_EQ(rs->Fields("X")->Value().ToDouble(), 3.0);
    rs->FindFirst("G = 'zz'");
    EXPECT_TRUE(rs->NoMatch());
    EXPECT_EQ(ErrorOf([&] { rs->Bookmark(vb::Variant("junk")); }), 3159);
}

TEST_F(RecordsetTest, EditAddDeleteAndLastModified) {
    auto rs = db->OpenRecordset("T", dbOpenTable);
    rs->AddNew();
    rs->Fields("G")->Value("d");
    rs->Fields("X")->Value(6);
    rs->Update();
    rs->Bookmark(rs->LastModified());
    EXPECT_EQ(rs->Fields("G")->Value().String(), "d");
    EXPECT_EQ(rs->Fields("ID")->Value().ToLong(), 6);
    rs->Edit();
    rs->Fields("X")->Value(60.5);
    EXPECT_EQ(rs->Fields("X")->Value().ToDouble(), 60.5);  // the edit buffer
    rs->Update();
    EXPECT_EQ(rs->Fields("X")->Value().ToDouble(), 60.5);
    rs->MoveFirst();
    rs->Delete();
    EXPECT_EQ(ErrorOf([&] { rs->Fields("X")->Value(); }), err::kRecordDeleted);
    rs->MoveNext();
    EXPECT_EQ(rs->Fields("X")->Value().ToDouble(), 2.0);
    EXPECT_EQ(rs->RecordCount(), 5);
    EXPECT_EQ(ErrorOf([&] { rs->Update(); }), err::kUpdateWithoutEdit);
    EXPECT_EQ(ErrorOf([&] { rs->Fields("X")->Value(1); }), err::kUpdateWithoutEdit);
    rs->AddNew();
    rs->Fields("X")->Value("not a number");
    EXPECT_EQ(ErrorOf([&] { rs->Update(); }), err::kConversion);
    rs->CancelUpdate();
    // Moving away from an AddNew drops it.
    rs->AddNew();
    rs->Fields("X")->Value(99);
    rs->MoveFirst();
    EXPECT_EQ(db->TableDefs()->Item("T")->RecordCount(), 5);
}

TEST_F(RecordsetTest, DeletingEveryRowWhileWalkingATable) {
    auto rs = db->OpenRecordset("T", dbOpenTable);
    int deleted = 0;
    rs->MoveFirst();
    while (!rs->Eof()) {
        rs->Delete();
        ++deleted;
        rs->MoveNext();
    }
    EXPECT_EQ(deleted, 5);
    EXPECT_EQ(rs->RecordCount(), 0);
    rs->MoveFirst();
    EXPECT_TRUE(rs->Eof() && rs->Bof());
}

TEST_F(RecordsetTest, UpdatableSingleTableQueryWritesBack) {
    auto rs = db->OpenRecordset("SELECT [X], [G] FROM [T] WHERE [X] >= 2 ORDER BY [X] DESC");
    ASSERT_TRUE(rs->Updatable());
    rs->MoveLast();
    rs->Move(-1);  // backwards through the key cache
    EXPECT_EQ(rs->Fields("X")->Value().ToDouble(), 3.0);
    rs->Edit();
    rs->Fields("G")->Value("rank2");
    rs->Update();
    EXPECT_EQ(rs->Fields("G")->Value().String(), "rank2");
    rs->MoveNext();
    EXPECT_EQ(rs->Fields("X")->Value().ToDouble(), 2.0);
    auto check = db->OpenRecordset("SELECT G FROM T WHERE X = 3");
    EXPECT_EQ(check->Fields(0)->Value().String(), "rank2");
    // A join or an aggregate is read-only.
    auto grouped = db->OpenRecordset("SELECT G, Count(*) AS N FROM T GROUP BY G");
    EXPECT_FALSE(grouped->Updatable());
    EXPECT_EQ(ErrorOf([&] { grouped->AddNew(); }), err::kReadOnly);
}

TEST_F(RecordsetTest, AppendOnlyAndForwardOnly) {
    auto add = db->OpenRecordset("T", dbOpenDynaset, dbAppendOnly);
    EXPECT_TRUE(add->Eof());
    EXPECT_EQ(add->RecordCount(), 0);
    for (int i = 0; i < 3; ++i) {
        add->AddNew();
        add->Fields(1)->Value("z");
        add->Fields(2)->Value(10.0 + i);
        add->Update();
    }
    EXPECT_EQ(db->TableDefs()->Item("T")->RecordCount(), 8);
    auto fwd = db->OpenRecordset("SELECT X FROM T WHERE G = 'z' ORDER BY X", dbOpenForwardOnly);
    EXPECT_FALSE(fwd->Bookmarkable());
    EXPECT_EQ(fwd->Fields(0)->Value().ToDouble(), 10.0);
    fwd->MoveNext();
    EXPECT_EQ(ErrorOf([&] { fwd->MovePrevious(); }), err::kInvalidOperation);
    EXPECT_EQ(ErrorOf([&] { fwd->Move(-1); }), err::kInvalidOperation);
}

// Rows added in batches get the numbers single appends give them (the
// counter goes on from its sequence, past a deleted last row), across full
// batches and a change of the columns given; a value that does not fit is
// refused by Update; rows waiting reach the table at the commit and go with
// a rollback.
TEST_F(RecordsetTest, BatchedAppendsNumberRowsAsSingleAppends) {
    db->Execute("DELETE FROM T WHERE ID = 5");
    db->BeginTrans();
    auto add = db->OpenRecordset("SELECT G, X FROM T", dbOpenDynaset, dbAppendOnly | dbAppendInBatches);
    for (int i = 0; i < 250; ++i) {
        add->AddNew();
        add->Fields(0)->Value("z");
        if (i != 150) add->Fields(1)->Value(static_cast<double>(i));  // row 150 leaves X Null
        add->Update();
    }
    add->AddNew();
    add->Fields(1)->Value("not a number");
    EXPECT_EQ(ErrorOf([&] { add->Update(); }), err::kConversion);
    db->CommitTrans();
    auto rs = db->OpenRecordset("SELECT ID, X FROM T WHERE G = 'z' ORDER BY ID");
    int i = 0;
    for (; !rs->Eof(); rs->MoveNext(), ++i) {
        EXPECT_EQ(rs->Fields(0)->Value().ToLong(), 6 + i);
        if (i == 150)
            EXPECT_TRUE(rs->Fields(1)->Value().IsNull());
        else
            EXPECT_EQ(rs->Fields(1)->Value().ToDouble(), i);
    }
    EXPECT_EQ(i, 250);
    rs->Close();

    db->BeginTrans();
    for (int k = 0; k < 3; ++k) {
        add->AddNew();
        add->Fields(0)->Value("r");
        add->Update();
    }
    db->Rollback();
    add->Close();
    auto one = db->OpenRecordset("T", dbOpenTable);
    one->AddNew();
    EXPECT_EQ(one->Fields("ID")->Value().ToLong(), 256);
    one->Fields("G")->Value("s");
    one->Update();
    EXPECT_EQ(db->OpenRecordset("SELECT Count(*) FROM T WHERE G = 'r'")->Fields(0)->Value().ToLong(), 0);
}

// A write that fails neither loses rows waiting in a batch nor leaves another
// row's values in the edit buffer.
TEST_F(RecordsetTest, AFailedWriteKeepsBatchedRowsAndTheRowBeingAdded) {
    auto add = db->OpenRecordset("SELECT G, X FROM T", dbOpenDynaset, dbAppendOnly | dbAppendInBatches);
    for (int i = 0; i < 3; ++i) {
        add->AddNew();
        add->Fields(0)->Value("z");
        add->Update();
    }
    auto td = db->TableDefs()->Item("T");
    auto unique = td->CreateIndex("UG");
    unique->Unique(true);
    unique->Fields()->Append(unique->CreateField("G"));
    EXPECT_NE(ErrorOf([&] { td->Indexes()->Append(unique); }), 0);  // "a" and "b" twice each
    add->Close();
    EXPECT_EQ(db->OpenRecordset("SELECT Count(*) FROM T WHERE G = 'z'")->Fields(0)->Value().ToLong(), 3);

    // The second batch of 100 fails on its last row, whose X is taken.
    db->Execute("CREATE UNIQUE INDEX UX ON T (X)");
    add = db->OpenRecordset("SELECT G, X FROM T", dbOpenDynaset, dbAppendOnly | dbAppendInBatches);
    for (int i = 0; i < 200; ++i) {
        add->AddNew();
        add->Fields(0)->Value("y" + std::to_string(i));
        add->Fields(1)->Value(i == 199 ? 1.0 : 100.0 + i);
        if (i < 199) add->Update();
    }
    EXPECT_NE(ErrorOf([&] { add->Update(); }), 0);
    add->Fields(1)->Value(1000.0);
    add->Update();
    add->Close();
    EXPECT_EQ(db->OpenRecordset("SELECT G FROM T WHERE X = 1000")->Fields(0)->Value().String(), "y199");
}

// Rows that tie on the sort fields come in the order of their keys, also
// where the table is read through an index in another order: a sorted read
// gives the same rows in the same order on every run.
TEST_F(RecordsetTest, SortedReadsGiveTiesInKeyOrder) {
    db->Execute("UPDATE T SET X = 6 - X");  // X now falls as the key rises
    db->Execute("CREATE INDEX ByX ON T (X)");
    auto rs = db->OpenRecordset("SELECT ID, G FROM T WHERE X > 0 ORDER BY G", dbOpenDynaset, dbReadOnly);
    std::vector<int32_t> ids;
    for (; !rs->Eof(); rs->MoveNext()) ids.push_back(rs->Fields(0)->Value().ToLong());
    EXPECT_EQ(ids, (std::vector<int32_t>{2, 4, 1, 3, 5}));
}

TEST_F(RecordsetTest, FieldsByPositionAndName) {
    auto rs = db->OpenRecordset("SELECT ID, G AS GroupName, X * 2 AS Twice FROM T ORDER BY ID");
    EXPECT_EQ(rs->Fields()->Count(), 3);
    EXPECT_EQ(rs->Fields(1)->Name(), "GroupName");
    EXPECT_EQ(rs->Fields("groupname")->Value().String(), "b");
    EXPECT_EQ(rs->Fields("TWICE")->Value().ToDouble(), 2.0);
    EXPECT_EQ(rs->Fields("GroupName")->SourceField(), "G");
    EXPECT_EQ(rs->Fields("GroupName")->CollatingOrder(), dbSortGeneral);
    EXPECT_EQ(ErrorOf([&] { rs->Fields("Missing"); }), err::kItemNotFound);
    EXPECT_EQ(ErrorOf([&] { rs->Fields(3); }), err::kItemNotFound);
    rs->Close();
    EXPECT_EQ(ErrorOf([&] { rs->MoveNext(); }), err::kObjectClosed);
}

TEST_F(RecordsetTest, TypesComeBackAsStored) {
    auto td = db->CreateTableDef("Typed");
    for (auto [name, type] : std::vector<std::pair<const char*, int16_t>>{{"B", dbBoolean},
                                                                          {"By", dbByte},
                                                                          {"I", dbInteger},
                                                                          {"L", dbLong},
                                                                          {"C", dbCurrency},
                                                                          {"S", dbSingle},
                                                                          {"D", dbDouble},
                                                                          {"Dt", dbDate},
                                                                          {"M", dbMemo}})
        td->Fields()->Append(td->CreateField(name, type));
    db->TableDefs()->Append(td);
    auto rs = db->OpenRecordset("Typed");
    rs->AddNew();
    rs->Fields("B")->Value(true);
    rs->Fields("By")->Value(200);
    rs->Fields("I")->Value(-7);
    rs->Fields("L")->Value(100000);
    rs->Fields("C")->Value(12.3456);
    rs->Fields("S")->Value(0.5);
    rs->Fields("D")->Value(1.0 / 3.0);
    rs->Fields("Dt")->Value(vb::Date{36526.5});  // 1 January 2000, noon
    rs->Fields("M")->Value(std::string(1000, 'm'));
    rs->Update();
    rs->MoveFirst();
    EXPECT_EQ(rs->Fields("B")->Value().Type(), vb::vbBoolean);
    EXPECT_EQ(rs->Fields("By")->Value().Type(), vb::vbByte);
    EXPECT_EQ(rs->Fields("I")->Value().Type(), vb::vbInteger);
    EXPECT_EQ(rs->Fields("I")->Value().ToLong(), -7);
    EXPECT_EQ(rs->Fields("L")->Value().Type(), vb::vbLong);
    EXPECT_EQ(rs->Fields("C")->Value().Type(), vb::vbCurrency);
    EXPECT_EQ(rs->Fields("S")->Value().Type(), vb::vbSingle);
    EXPECT_EQ(rs->Fields("D")->Value().ToDouble(), 1.0 / 3.0);  // round trip exact
    EXPECT_EQ(rs->Fields("Dt")->Value().Type(), vb::vbDate);
    EXPECT_DOUBLE_EQ(rs->Fields("Dt")->Value().ToDate().serial, 36526.5);
    EXPECT_EQ(rs->Fields("M")->Value().String().size(), 1000u);
    auto raw = db->OpenRecordset("SELECT B, Dt FROM Typed WHERE B = True");
    EXPECT_FALSE(raw->Eof());
    auto text = db->OpenRecordset("SELECT Dt & '' AS T FROM Typed");
    EXPECT_EQ(text->Fields(0)->Value().String(), "2000-01-01 12:00:00");
}

// NumberValue reads stored numbers without a Variant: for every kind of
// field and stored value it gives what CDbl(Value) gives, and its errors.
TEST_F(RecordsetTest, NumberValueAgreesWithTheValueForEveryFieldTypeAndStoredValue) {
    auto td = db->CreateTableDef("N");
    const int16_t types[] = {dbDouble, dbLong, dbSingle, dbBoolean, dbCurrency, dbText};
    const char* names[] = {"D", "L", "S", "B", "C", "T"};
    for (int f = 0; f < 6; ++f) td->Fields()->Append(td->CreateField(names[f], types[f], types[f] == dbText ? 20 : 0));
    db->TableDefs()->Append(td);
    for (const char* row : {"1.5, 7, 0.1, -1, 12.3456, '42.5'", "Null, Null, Null, Null, Null, Null",
                            "3, 2147483647, 2.5, 0, -1, '1e3'", "'x', 2.5, 1e30, 1, 0.5, 'y'"})
        db->Execute(std::string("INSERT INTO N (D, L, S, B, C, T) VALUES (") + row + ")");
    // E: an expression without a declared type.
    auto rs = db->OpenRecordset("SELECT D, L, S, B, C, T, D * 2 AS E FROM N", dbOpenDynaset);
    int rows = 0;
    for (; !rs->Eof(); rs->MoveNext(), ++rows) {
        for (int f = 0; f < 7; ++f) {
            const vb::Variant v = rs->Fields(f)->Value();
            double expected = -999, x = -999;
            const int expectedError = ErrorOf([&] {
                if (!v.IsNull()) expected = v.ToDouble();
            });
            bool present = false;
            const int error = ErrorOf([&] { present = rs->Fields(f)->NumberValue(x); });
            EXPECT_EQ(error, expectedError) << "row " << rows << " field " << f;
            if (expectedError != 0) continue;
            EXPECT_EQ(present, !v.IsNull()) << "row " << rows << " field " << f;
            EXPECT_EQ(x, expected) << "row " << rows << " field " << f;
        }
    }
    EXPECT_EQ(rows, 4);
    // A record being added shows its buffer.
    auto table = db->OpenRecordset("N", dbOpenTable);
    table->AddNew();
    table->Fields("D")->Value(vb::Variant(6.25));
    double x = 0;
    EXPECT_TRUE(table->Fields("D")->NumberValue(x));
    EXPECT_EQ(x, 6.25);
    EXPECT_FALSE(table->Fields("L")->NumberValue(x));
    table->CancelUpdate();
}

}  // namespace
