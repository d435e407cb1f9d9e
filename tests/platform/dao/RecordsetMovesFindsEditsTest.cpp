// What the program's windows do with a record set: moves of every kind on
// table, dynaset and snapshot sets, the count before and after MoveLast,
// bookmarks, finds by text, number and date, and where the set stands after
// each kind of edit.
#include <string>
#include <vector>

#include "DaoTestSupport.h"

using namespace dao;
using daotest::ErrorOf;

namespace {

// Six trials; IDs are given in this order.
//   ID  Region   Dose  Given                Done
//   1   North    2     2024-01-15           True
//   2   south    5     2024-02-01 08:30     False
//   3   East     1.5   2023-12-31           True
//   4   north    10    Null                 False
//   5   West     7     2024-01-15           True
//   6   O'Brien  3     2024-03-10           False
// Sorted by Dose: IDs 3, 1, 6, 2, 5, 4.
class RecordsetMovesFindsEditsTest : public daotest::DaoTest {
protected:
    void SetUp() override {
        DaoTest::SetUp();
        db = NewDb();
        auto td = db->CreateTableDef("Trials");
        auto id = td->CreateField("ID", dbLong);
        id->Attributes(dbAutoIncrField);
        td->Fields()->Append(id);
        td->Fields()->Append(td->CreateField("Region", dbText, 20));
        td->Fields()->Append(td->CreateField("Dose", dbDouble));
        td->Fields()->Append(td->CreateField("Given", dbDate));
        td->Fields()->Append(td->CreateField("Done", dbBoolean));
        db->TableDefs()->Append(td);
        db->Execute("INSERT INTO Trials (Region, Dose, Given, Done) VALUES ('North', 2, #1/15/2024#, True)");
        db->Execute("INSERT INTO Trials (Region, Dose, Given, Done) VALUES ('south', 5, #2/1/2024 8:30#, False)");
        db->Execute("INSERT INTO Trials (Region, Dose, Given, Done) VALUES ('East', 1.5, #12/31/2023#, True)");
        db->Execute("INSERT INTO Trials (Region, Dose, Given, Done) VALUES ('north', 10, Null, False)");
        db->Execute("INSERT INTO Trials (Region, Dose, Given, Done) VALUES ('West', 7, #1/15/2024#, True)");
        db->Execute("INSERT INTO Trials (Region, Dose, Given, Done) VALUES ('O''Brien', 3, #3/10/2024#, False)");
    }

    static int32_t Id(const RecordsetPtr& rs) { return rs->Fields("ID")->Value().ToLong(); }
    static double Dose(const RecordsetPtr& rs) { return rs->Fields("Dose")->Value().ToDouble(); }

    // The IDs from the current row to the end.
    static std::vector<int32_t> Rest(const RecordsetPtr& rs) {
        std::vector<int32_t> ids;
        for (; !rs->Eof(); rs->MoveNext()) ids.push_back(Id(rs));
        return ids;
    }

    RecordsetPtr Sorted(int16_t type = dbOpenDynaset) {
        return db->OpenRecordset("SELECT * FROM [Trials] ORDER BY [Dose]", type);
    }

    DatabasePtr db;
};

// --- moves ------------------------------------------------------------------------

TEST_F(RecordsetMovesFindsEditsTest, EveryMoveOnTableDynasetAndSnapshotSets) {
    struct Kind {
        const char* what;
        RecordsetPtr rs;
        std::vector<int32_t> order;
    };
    std::vector<Kind> kinds = {{"table", db->OpenRecordset("Trials", dbOpenTable), {1, 2, 3, 4, 5, 6}},
                               {"dynaset", Sorted(dbOpenDynaset), {3, 1, 6, 2, 5, 4}},
                               {"snapshot", Sorted(dbOpenSnapshot), {3, 1, 6, 2, 5, 4}}};
    for (auto& [what, rs, order] : kinds) {
        SCOPED_TRACE(what);
        auto at = [&](size_t k) { return order[k]; };
        EXPECT_FALSE(rs->Bof());
        EXPECT_FALSE(rs->Eof());
        EXPECT_EQ(Id(rs), at(0));
        EXPECT_EQ(rs->AbsolutePosition(), 0);
        rs->MoveLast();
        EXPECT_EQ(Id(rs), at(5));
        EXPECT_EQ(rs->AbsolutePosition(), 5);
        rs->MovePrevious();
        EXPECT_EQ(Id(rs), at(4));
        rs->MoveFirst();
        EXPECT_EQ(Id(rs), at(0));
        rs->MovePrevious();
        EXPECT_TRUE(rs->Bof());
        EXPECT_FALSE(rs->Eof());
        EXPECT_EQ(rs->AbsolutePosition(), -1);
        rs->MoveNext();
        EXPECT_EQ(Id(rs), at(0));

        // Move n, both ways, and past either end.
        rs->Move(3);
        EXPECT_EQ(Id(rs), at(3));
        EXPECT_EQ(rs->AbsolutePosition(), 3);
        rs->Move(-2);
        EXPECT_EQ(Id(rs), at(1));
        rs->Move(0);
        EXPECT_EQ(Id(rs), at(1));
        rs->Move(4);
        EXPECT_EQ(Id(rs), at(5));
        rs->Move(1);
        EXPECT_TRUE(rs->Eof());
        EXPECT_EQ(rs->AbsolutePosition(), -1);
        EXPECT_EQ(ErrorOf([&] { rs->Move(1); }), err::kNoCurrentRecord);
        rs->MovePrevious();
        EXPECT_EQ(Id(rs), at(5));
        rs->Move(-10);
        EXPECT_TRUE(rs->Bof());
        EXPECT_EQ(ErrorOf([&] { rs->Move(-1); }), err::kNoCurrentRecord);
        rs->MoveNext();
        EXPECT_EQ(Id(rs), at(0));
        rs->Move(10);
        EXPECT_TRUE(rs->Eof());
        rs->Move(-1);
        EXPECT_EQ(Id(rs), at(5));

        // AbsolutePosition moves too; a position past the end is refused.
        rs->AbsolutePosition(4);
        EXPECT_EQ(Id(rs), at(4));
        rs->AbsolutePosition(0);
        EXPECT_EQ(Id(rs), at(0));
        EXPECT_EQ(ErrorOf([&] { rs->AbsolutePosition(6); }), 3001);
        EXPECT_EQ(ErrorOf([&] { rs->AbsolutePosition(-1); }), 3001);
        rs->MoveFirst();
        EXPECT_EQ(Rest(rs), order);
    }
}

TEST_F(RecordsetMovesFindsEditsTest, RecordCountBeforeAndAfterMoveLast) {
    for (int16_t type : {dbOpenDynaset, dbOpenSnapshot}) {
        SCOPED_TRACE(type);
        auto rs = Sorted(type);
        EXPECT_EQ(rs->RecordCount(), 1);  // the rows reached so far
        rs->MoveNext();
        rs->MoveNext();
        EXPECT_EQ(rs->RecordCount(), 3);
        rs->MovePrevious();
        EXPECT_EQ(rs->RecordCount(), 3);
        rs->MoveLast();
        EXPECT_EQ(rs->RecordCount(), 6);
        rs->MoveFirst();
        EXPECT_EQ(rs->RecordCount(), 6);
    }
    // A table-type set knows its count from the start.
    EXPECT_EQ(db->OpenRecordset("Trials", dbOpenTable)->RecordCount(), 6);
    auto empty = db->OpenRecordset("SELECT * FROM Trials WHERE Dose > 100", dbOpenDynaset);
    EXPECT_EQ(empty->RecordCount(), 0);
    empty->MoveLast();
    EXPECT_EQ(empty->RecordCount(), 0);
    EXPECT_TRUE(empty->Eof() && empty->Bof());
}

// --- bookmarks ---------------------------------------------------------------------

TEST_F(RecordsetMovesFindsEditsTest, BookmarksReturnToTheirRowsInAnyOrder) {
    for (int16_t type : {dbOpenTable, dbOpenDynaset, dbOpenSnapshot}) {
        SCOPED_TRACE(type);
        auto rs = type == dbOpenTable ? db->OpenRecordset("Trials", dbOpenTable) : Sorted(type);
        std::vector<vb::Variant> marks;
        std::vector<int32_t> ids;
        for (; !rs->Eof(); rs->MoveNext()) {
            marks.push_back(rs->Bookmark());
            ids.push_back(Id(rs));
        }
        ASSERT_EQ(marks.size(), 6u);
        // Back to front, from the end of the set.
        for (size_t k = marks.size(); k-- > 0;) {
            rs->Bookmark(marks[k]);
            EXPECT_EQ(Id(rs), ids[k]);
            EXPECT_EQ(rs->AbsolutePosition(), static_cast<int32_t>(k));
        }
        // A bookmark taken after a jump, and the move that follows it.
        rs->Bookmark(marks[3]);
        rs->MoveNext();
        EXPECT_EQ(Id(rs), ids[4]);
        rs->MovePrevious();
        rs->MovePrevious();
        EXPECT_EQ(Id(rs), ids[2]);
        EXPECT_EQ(rs->Bookmark(), marks[2]);
        // From the beginning: a bookmark leaves BOF.
        rs->MoveFirst();
        rs->MovePrevious();
        rs->Bookmark(marks[5]);
        EXPECT_FALSE(rs->Bof());
        EXPECT_EQ(Id(rs), ids[5]);
    }
    auto rs = Sorted();
    rs->MoveLast();
    rs->MoveNext();
    EXPECT_EQ(ErrorOf([&] { rs->Bookmark(); }), err::kNoCurrentRecord);
}

// --- finds -------------------------------------------------------------------------

TEST_F(RecordsetMovesFindsEditsTest, FindFirstAndNextByTextNumberDateAndBoolean) {
    auto rs = Sorted();
    struct Find {
        const char* criteria;
        std::vector<int32_t> hits;  // in the set's order (Dose)
    };
    const std::vector<Find> finds = {
        {"[Region] = 'NORTH'", {1, 4}},  // text compares without case
        {"[Region] = 'O''Brien'", {6}},
        {"[Region] = \"o'brien\"", {6}},
        {"[Region] Like 's*' Or [Region] Like '?ast'", {3, 2}},
        {"[Region] Like '[m-o]*'", {1, 6, 4}},
        {"[Dose] > 4.5", {2, 5, 4}},
        {"[Dose] Between 1 And 2", {3, 1}},
        {"[Dose] = 1.5", {3}},
        {"[Given] = #1/15/2024#", {1, 5}},
        {"[Given] > #2024-01-31# And [Given] < #2024-12-31#", {6, 2}},
        {"[Given] Is Null", {4}},
        {"[Done] = True And [Dose] >= 2", {1, 5}},
        {"Not [Done]", {6, 2, 4}},
        {"[Dose] ^ 2 > 40 And [Region] & '' <> 'north'", {5}},
    };
    for (const Find& f : finds) {
        SCOPED_TRACE(f.criteria);
        std::vector<int32_t> found;
        rs->MoveLast();  // FindFirst starts at the first row wherever the set stands
        rs->FindFirst(f.criteria);
        while (!rs->NoMatch()) {
            found.push_back(Id(rs));
            rs->FindNext(f.criteria);
        }
        EXPECT_EQ(found, f.hits);
        // After a failed FindNext the set stands on the last row found.
        if (!found.empty()) {
            EXPECT_EQ(Id(rs), found.back());
        }
    }
    // No match at all: the set stays where it was, at a row or at either end.
    rs->AbsolutePosition(2);
    rs->FindFirst("[Region] = 'Nowhere'");
    EXPECT_TRUE(rs->NoMatch());
    EXPECT_EQ(Id(rs), 6);
    rs->MoveLast();
    rs->MoveNext();
    rs->FindNext("[Dose] > 0");
    EXPECT_TRUE(rs->NoMatch());
    EXPECT_TRUE(rs->Eof());
    rs->FindFirst("[Dose] > 0");
    EXPECT_FALSE(rs->NoMatch());
    EXPECT_EQ(Id(rs), 3);
    // A criterion naming no field of the set is an error, not a miss.
    EXPECT_NE(ErrorOf([&] { rs->FindFirst("[Nope] = 1"); }), 0);
}

// --- edits -------------------------------------------------------------------------

TEST_F(RecordsetMovesFindsEditsTest, AddNewUpdateAndCancelLeaveTheSetWhereItWas) {
    for (int16_t type : {dbOpenTable, dbOpenDynaset}) {
        SCOPED_TRACE(type);
        auto rs = type == dbOpenTable ? db->OpenRecordset("Trials", dbOpenTable) : Sorted(type);
        rs->Move(2);
        const int32_t before = Id(rs);

        rs->AddNew();
        EXPECT_EQ(rs->EditMode(), 2);
        const int32_t added = Id(rs);  // the counter is readable before Update
        EXPECT_GT(added, 6);
        rs->Fields("Region")->Value("Added");
        rs->Fields("Dose")->Value(0.5);
        rs->Update();
        EXPECT_EQ(rs->EditMode(), 0);
        EXPECT_EQ(Id(rs), before);  // the row current before AddNew is current again
        rs->Bookmark(rs->LastModified());
        EXPECT_EQ(Id(rs), added);
        EXPECT_EQ(rs->Fields("Region")->Value().String(), "Added");

        rs->MoveFirst();
        rs->Move(1);
        const int32_t second = Id(rs);
        rs->AddNew();
        rs->Fields("Region")->Value("Dropped");
        rs->CancelUpdate();
        EXPECT_EQ(rs->EditMode(), 0);
        EXPECT_EQ(Id(rs), second);
        EXPECT_EQ(db->OpenRecordset("SELECT Count(*) AS N FROM Trials WHERE Region = 'Dropped'")
                      ->Fields("N")
                      ->Value()
                      .ToLong(),
                  0);
        rs->Close();
        db->Execute("DELETE * FROM Trials WHERE Region = 'Added'");
    }
}

TEST_F(RecordsetMovesFindsEditsTest, EditUpdateAndCancelStayOnTheRowAndKeepTheOrder) {
    auto rs = Sorted();
    rs->Move(1);  // ID 1, Dose 2
    ASSERT_EQ(Id(rs), 1);
    rs->Edit();
    EXPECT_EQ(rs->EditMode(), 1);
    rs->Fields("Dose")->Value(99.0);
    EXPECT_EQ(Dose(rs), 99.0);  // the edit buffer
    rs->CancelUpdate();
    EXPECT_EQ(rs->EditMode(), 0);
    EXPECT_EQ(Id(rs), 1);
    EXPECT_EQ(Dose(rs), 2.0);

    // A change of the sort field moves nothing in the open set until it is run again.
    rs->Edit();
    rs->Fields("Dose")->Value(99.0);
    rs->Update();
    EXPECT_EQ(Id(rs), 1);
    EXPECT_EQ(Dose(rs), 99.0);
    EXPECT_EQ(rs->AbsolutePosition(), 1);
    rs->MoveNext();
    EXPECT_EQ(Id(rs), 6);
    rs->MovePrevious();
    EXPECT_EQ(Id(rs), 1);
    EXPECT_EQ(Dose(rs), 99.0);
    rs->MoveFirst();
    EXPECT_EQ(Rest(rs), (std::vector<int32_t>{3, 1, 6, 2, 5, 4}));
    rs->Requery();
    EXPECT_EQ(Rest(rs), (std::vector<int32_t>{3, 6, 2, 5, 4, 1}));

    // The rules hold: Update without Edit, Edit with no current row.
    EXPECT_EQ(ErrorOf([&] { rs->Update(); }), err::kUpdateWithoutEdit);
    EXPECT_EQ(ErrorOf([&] { rs->Edit(); }), err::kNoCurrentRecord);
    // Moving away from an Edit drops it.
    rs->MoveFirst();
    rs->Edit();
    rs->Fields("Dose")->Value(-1.0);
    rs->MoveNext();
    rs->MovePrevious();
    EXPECT_EQ(Dose(rs), 1.5);

    // A change that takes the row out of the set's filter leaves it in the set,
    // with its new values, until the set is run again.
    auto filtered = db->OpenRecordset("SELECT [ID], [Dose] FROM [Trials] WHERE [Dose] < 6 Or [ID] = 1");
    filtered->Move(2);
    ASSERT_EQ(Id(filtered), 3);
    filtered->Edit();
    filtered->Fields("Dose")->Value(50.0);
    filtered->Update();
    EXPECT_EQ(Dose(filtered), 50.0);
    filtered->MoveNext();
    EXPECT_EQ(Id(filtered), 6);
    filtered->MovePrevious();
    EXPECT_EQ(Id(filtered), 3);
    EXPECT_EQ(Dose(filtered), 50.0);
    filtered->MovePrevious();
    EXPECT_EQ(Id(filtered), 2);
    filtered->Requery();
    EXPECT_EQ(Rest(filtered), (std::vector<int32_t>{1, 2, 6}));
}

TEST_F(RecordsetMovesFindsEditsTest, DeleteLeavesNoCurrentRowAndMovesSkipIt) {
    {
        // Reached by moving forward only: the rows before it keep their places.
        auto table = db->OpenRecordset("Trials", dbOpenTable);
        table->MoveNext();
        table->MoveNext();
        table->Delete();  // ID 3
        table->MoveNext();
        EXPECT_EQ(Id(table), 4);
        table->MovePrevious();
        EXPECT_EQ(Id(table), 2);
        table->Close();
        db->Execute("INSERT INTO Trials (ID, Region, Dose, Given, Done) VALUES (3, 'East', 1.5, #12/31/2023#, True)");
    }
    auto rs = Sorted();
    rs->MoveLast();           // count known: 6
    rs->AbsolutePosition(2);  // ID 6
    rs->Delete();
    EXPECT_EQ(ErrorOf([&] { rs->Fields("ID")->Value(); }), err::kRecordDeleted);
    EXPECT_EQ(ErrorOf([&] { rs->Edit(); }), err::kRecordDeleted);
    EXPECT_EQ(ErrorOf([&] { rs->Delete(); }), err::kRecordDeleted);
    EXPECT_EQ(rs->RecordCount(), 5);
    rs->MoveNext();
    EXPECT_EQ(Id(rs), 2);
    rs->MovePrevious();
    EXPECT_EQ(Id(rs), 1);  // the deleted row is passed over
    rs->MoveNext();
    EXPECT_EQ(Id(rs), 2);

    // Deleting backwards from the end.
    rs->MoveLast();
    rs->Delete();
    rs->MovePrevious();
    EXPECT_EQ(Id(rs), 5);
    rs->MoveNext();
    EXPECT_TRUE(rs->Eof());
    EXPECT_EQ(rs->RecordCount(), 4);
    rs->MoveFirst();
    EXPECT_EQ(Rest(rs), (std::vector<int32_t>{3, 1, 2, 5}));

    // Deleting every row as a window would, one after another from the top.
    for (rs->MoveFirst(); !rs->Eof(); rs->MoveNext()) rs->Delete();
    EXPECT_EQ(rs->RecordCount(), 0);
    rs->MoveFirst();
    EXPECT_TRUE(rs->Eof());
    EXPECT_TRUE(rs->Bof());
    EXPECT_EQ(ErrorOf([&] { rs->Delete(); }), err::kNoCurrentRecord);
}

}  // namespace
