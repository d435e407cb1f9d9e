// Several connections to one file: file identity, drops refused while any
// connection of the process reads the table, a database's own write
// transaction, and the wait for another writer's lock.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <vector>

#include "DaoTestSupport.h"

namespace {

using namespace daotest;

class OtherConnections : public DaoTest {
protected:
    void SetUp() override {
        DaoTest::SetUp();
        db = NewDb();
        db->Execute("CREATE TABLE Src (id LONG, x DOUBLE)");
        for (int i = 1; i <= 5; ++i)
            db->Execute("INSERT INTO Src (id, x) VALUES (" + std::to_string(i) + ", " + std::to_string(i) + ")");
    }
    int32_t Count(const dao::DatabasePtr& on, const std::string& table) {
        dao::RecordsetPtr rs = on->OpenRecordset("SELECT Count(*) AS n FROM [" + table + "]", dao::dbOpenSnapshot);
        const int32_t n = rs->Fields(0)->Value().ToLong();
        rs->Close();
        return n;
    }
    dao::DatabasePtr db;
};

TEST_F(OtherConnections, TellsOneFileThroughAnyPathFromTwoFiles) {
    const auto linkPath = dir_ / "link.db";
    std::filesystem::create_symlink(Path("t.db"), linkPath);
    dao::DatabasePtr viaLink = dao::DBEngine().OpenDatabase(linkPath.string());
    dao::DatabasePtr second = dao::DBEngine().OpenDatabase(Path("t.db"));
    dao::DatabasePtr other = NewDb("other.db");
    EXPECT_TRUE(db->SameFile(*viaLink));
    EXPECT_TRUE(viaLink->SameFile(*second));
    EXPECT_FALSE(db->SameFile(*other));
}

TEST_F(OtherConnections, RefusesToDropATableThatAnotherConnectionReads) {
    dao::DatabasePtr second = dao::DBEngine().OpenDatabase(Path("t.db"));
    dao::RecordsetPtr reading = db->OpenRecordset("SELECT id, x FROM Src ORDER BY id", dao::dbOpenDynaset);
    ASSERT_FALSE(reading->Eof());
    // Through the collection and through SQL, in any letter case.
    EXPECT_EQ(ErrorOf([&] { second->TableDefs()->Delete("src"); }), dao::err::kTableInUse);
    EXPECT_EQ(ErrorOf([&] { second->Execute("DROP TABLE SRC"); }), dao::err::kTableInUse);
    EXPECT_EQ(Count(second, "Src"), 5);
    reading->MoveNext();
    EXPECT_EQ(reading->Fields("id")->Value().ToLong(), 2);
    // Once the reader is closed the table can go.
    reading->Close();
    EXPECT_EQ(ErrorOf([&] { second->TableDefs()->Delete("Src"); }), 0);
}

TEST_F(OtherConnections, ReadersOfOtherFilesOrTablesDoNotStopADrop) {
    db->Execute("CREATE TABLE Other (v LONG)");
    dao::DatabasePtr elsewhere = NewDb("other.db");
    elsewhere->Execute("CREATE TABLE Src (id LONG)");
    elsewhere->Execute("INSERT INTO Src (id) VALUES (1)");
    dao::RecordsetPtr reading = elsewhere->OpenRecordset("Src", dao::dbOpenTable);
    dao::DatabasePtr second = dao::DBEngine().OpenDatabase(Path("t.db"));
    dao::RecordsetPtr readingOther = db->OpenRecordset("Other", dao::dbOpenTable);
    EXPECT_EQ(ErrorOf([&] { second->TableDefs()->Delete("Src"); }), 0);
    reading->Close();
    readingOther->Close();
}

TEST_F(OtherConnections, OwnTransactionsNestAndRollBack) {
    db->BeginTrans(true);
    db->Execute("INSERT INTO Src (id, x) VALUES (6, 6)");
    db->BeginTrans();
    db->Execute("INSERT INTO Src (id, x) VALUES (7, 7)");
    db->Rollback();
    db->CommitTrans();
    EXPECT_EQ(Count(db, "Src"), 6);
    db->BeginTrans(true);
    db->Execute("DELETE FROM Src");
    db->Rollback();
    EXPECT_EQ(Count(db, "Src"), 6);
    EXPECT_EQ(ErrorOf([&] { db->CommitTrans(); }), dao::err::kNoTransaction);
}

TEST_F(OtherConnections, WriteTransactionBeginsWhileAReadOfAnOlderStateIsOpen) {
    db = InWalMode(db);  // another writer while a read is open: WAL only
    // A record set part-way through holds a read of the file as it was; a
    // commit by another connection makes that state old. Taking the write
    // lock must not fail on that: the reader resumes at its row.
    dao::RecordsetPtr reading = db->OpenRecordset("SELECT id FROM Src ORDER BY id", dao::dbOpenDynaset);
    reading->MoveNext();
    {
        dao::Workspace other("#Other#", "admin");
        dao::DatabasePtr second = other.OpenDatabase(Path("t.db"));
        second->Execute("INSERT INTO Src (id, x) VALUES (10, 10)");
        second->Close();
    }
    db->BeginTrans(true);
    db->Execute("INSERT INTO Src (id, x) VALUES (11, 11)");
    db->CommitTrans();
    EXPECT_EQ(reading->Fields(0)->Value().ToLong(), 2);
    reading->Close();
    EXPECT_EQ(Count(db, "Src"), 7);
}

TEST_F(OtherConnections, AWriteAfterAnotherProcessChangedTheFileSaysSo) {
    db = InWalMode(db);  // another writer while a read is open: WAL only
    // Without the write lock taken first, a write after reading an older
    // state of the file cannot go on; the message tells what happened.
    dao::RecordsetPtr reading = db->OpenRecordset("SELECT id FROM Src ORDER BY id", dao::dbOpenDynaset);
    {
        dao::Workspace other("#Other#", "admin");
        dao::DatabasePtr second = other.OpenDatabase(Path("t.db"));
        second->Execute("INSERT INTO Src (id, x) VALUES (10, 10)");
        second->Close();
    }
    try {
        db->Execute("INSERT INTO Src (id, x) VALUES (11, 11)");
        ADD_FAILURE() << "the write went through";
    } catch (const vb::VbError& e) {
        EXPECT_EQ(e.Number(), dao::err::kLocked);
        EXPECT_NE(e.Description().find("changed the database while this one was reading it"), std::string::npos)
            << e.Description();
    }
    reading->Close();
}

TEST_F(OtherConnections, TransactionsOfTheWorkspaceNestInsideTheDatabasesOwn) {
    db->BeginTrans(true);
    dao::DBEngine().BeginTrans();
    db->Execute("INSERT INTO Src (id, x) VALUES (6, 6)");
    dao::DBEngine().Rollback();
    db->Execute("INSERT INTO Src (id, x) VALUES (7, 7)");
    dao::DBEngine().BeginTrans();
    dao::DBEngine().CommitTrans();
    db->CommitTrans();
    EXPECT_EQ(Count(db, "Src"), 6);
}

TEST_F(OtherConnections, AWaitForAnotherWritersLockIsToldAndEndsAtTheLockWait) {
    dao::Workspace other("#Other#", "admin");
    dao::DatabasePtr second = other.OpenDatabase(Path("t.db"));
    second->BeginTrans(true);
    const int previousTimeout = dao::LockWaitTimeout();
    dao::LockWaitTimeout(300);
    std::vector<int> waits;
    dao::SetLockWaitObserver([&](int waited) { waits.push_back(waited); });
    EXPECT_EQ(ErrorOf([&] { db->BeginTrans(true); }), dao::err::kLocked);
    dao::SetLockWaitObserver({});
    dao::LockWaitTimeout(previousTimeout);
    // Told from the start of the wait, and never past the wait it was given.
    ASSERT_GE(waits.size(), 3u);
    EXPECT_EQ(waits.front(), 0);
    EXPECT_GE(*std::max_element(waits.begin(), waits.end()), 200);
    EXPECT_LT(*std::max_element(waits.begin(), waits.end()), 300);
    // One wait: the try after the record sets are parked goes on from where the first stopped.
    EXPECT_TRUE(std::is_sorted(waits.begin(), waits.end())) << "the wait started again";
    // Once the other writer is done, the lock is taken at once.
    second->Rollback();
    db->BeginTrans(true);
    db->Execute("INSERT INTO Src (id, x) VALUES (6, 6)");
    db->CommitTrans();
    EXPECT_EQ(Count(db, "Src"), 6);
}

}  // namespace
