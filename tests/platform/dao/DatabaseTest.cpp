// Databases: SQL statements, saved queries, other database files through
// IN '<file>', concurrency and transactions across databases.
#include <fstream>

#include "DaoTestSupport.h"
#include "vb/Conversions.h"

using namespace dao;
using daotest::ErrorOf;

namespace {

class DatabaseTest : public daotest::DaoTest {
protected:
    DatabasePtr MakeData(const std::string& file) {
        auto db = NewDb(file);
        db->Execute(
            "CREATE TABLE statTemp1 (Field INTEGER, Data DOUBLE, Weight DOUBLE, Grp VARCHAR(10) COLLATE NOCASE)");
        const double rows[][3] = {{1, 4, 1}, {1, 2, 1}, {1, 4, 2}, {2, 10, 1}, {2, 30, 1}};
        const char* groups[] = {"a", "b", "a", "a", "b"};
        for (int i = 0; i < 5; ++i)
            db->Execute("INSERT INTO statTemp1 VALUES (" + std::to_string(int(rows[i][0])) + ", " +
                        std::to_string(rows[i][1]) + ", " + std::to_string(rows[i][2]) + ", '" + groups[i] + "')");
        return db;
    }
};

TEST_F(DatabaseTest, ExecuteActionQueries) {
    auto db = MakeData("d.db");
    db->Execute("CREATE TABLE Copy (Field INTEGER, Data DOUBLE)");
    db->Execute("INSERT INTO Copy (Field, Data) SELECT Field, Data FROM statTemp1 WHERE Field = 1");
    EXPECT_EQ(db->RecordsAffected(), 3);
    db->Execute("DELETE * FROM Copy WHERE Data = 4");
    EXPECT_EQ(db->RecordsAffected(), 2);
    db->Execute("DELETE DISTINCTROW * FROM Copy", dbFailOnError);
    EXPECT_EQ(db->RecordsAffected(), 1);
    EXPECT_EQ(ErrorOf([&] { db->Execute("SELECT * FROM Copy"); }), err::kCannotExecuteSelect);
    EXPECT_EQ(ErrorOf([&] { db->Execute("DELETE * FROM NoSuch"); }), err::kNoInputTable);
    EXPECT_EQ(ErrorOf([&] { db->OpenRecordset("SELECT * FROM NoSuch"); }), err::kNoInputTable);
    EXPECT_EQ(ErrorOf([&] { db->OpenRecordset("NoSuch"); }), err::kNoInputTable);
    EXPECT_EQ(ErrorOf([&] { db->Execute("CREATE TABLE Copy (A INTEGER)"); }), err::kTableExists);
}

TEST_F(DatabaseTest, NumbersEnterSqlInTheCLocale) {
    auto db = MakeData("d.db");
    double tiny = 0.1 + 0.2;  // not 0.3: the text must carry every digit
    db->Execute("INSERT INTO statTemp1 (Field, Data) VALUES (9, " + vb::NumberToSql(tiny) + ")");
    auto rs = db->OpenRecordset("SELECT Data FROM statTemp1 WHERE Field = 9");
    EXPECT_EQ(rs->Fields(0)->Value().ToDouble(), tiny);
}

TEST_F(DatabaseTest, SavedQueriesAndParameters) {
    auto db = MakeData("d.db");
    auto q = db->CreateQueryDef("qGroups", "SELECT [Grp], [Data] FROM [statTemp1] WHERE [Field] = 1");
    EXPECT_EQ(q->Name(), "qGroups");
    auto p = db->CreateQueryDef("qParam", "SELECT * FROM statTemp1 WHERE Field = [Which Field]");
    auto qs = db->QueryDefs();
    ASSERT_EQ(qs->Count(), 2);
    EXPECT_EQ(qs->Item("QGROUPS")->SQL(), "SELECT [Grp], [Data] FROM [statTemp1] WHERE [Field] = 1");
    auto fields = qs->Item("qGroups")->Fields();
    ASSERT_EQ(fields->Count(), 2);
    EXPECT_EQ(fields->Item(0)->Type(), dbText);
    EXPECT_EQ(fields->Item(1)->Type(), dbDouble);
    auto rs = db->OpenRecordset("qGroups", dbOpenDynaset, dbReadOnly | dbSeeChanges);
    rs->MoveLast();
    EXPECT_EQ(rs->RecordCount(), 3);
    EXPECT_EQ(ErrorOf([&] { db->OpenRecordset("qParam"); }), err::kTooFewParameters);
    EXPECT_EQ(ErrorOf([&] { db->OpenRecordset("SELECT [Nope] FROM statTemp1"); }), err::kTooFewParameters);
    EXPECT_EQ(ErrorOf([&] { db->CreateQueryDef("qgroups", "SELECT 1"); }), err::kIndexExists);
    EXPECT_EQ(db->TableDefs()->Count(), 1);  // queries are not tables
    db->QueryDefs()->Delete("qParam");
    EXPECT_EQ(db->QueryDefs()->Count(), 1);
    // A view made by another tool is a query too.
    db->Execute("CREATE VIEW vForeign AS SELECT Data FROM statTemp1");
    EXPECT_EQ(db->QueryDefs()->Item("vforeign")->SQL(), "SELECT Data FROM statTemp1");
}

TEST_F(DatabaseTest, QueryTypesFromTheirStatements) {
    auto db = MakeData("types.db");
    db->CreateQueryDef("qSelect", "SELECT [Grp] FROM [statTemp1] WHERE [Grp] IN (SELECT [Grp] FROM [statTemp1])");
    db->CreateQueryDef("qUnion", "SELECT [Grp] FROM [statTemp1] UNION SELECT [Grp] FROM [statTemp1]");
    // Action queries with parameters are kept as queries too.
    db->CreateQueryDef("qUpdate", "UPDATE [statTemp1] SET [Data] = [New Data]");
    db->CreateQueryDef("qDelete", "DELETE * FROM [statTemp1] WHERE [Data] = [Which]");
    db->CreateQueryDef("qAppend", "INSERT INTO [statTemp1] ([Data]) VALUES ([Value])");
    // Keywords inside quotes, brackets and parentheses do not count.
    db->CreateQueryDef("qQuoted", "SELECT [Grp] AS [union], 'into' AS t FROM [statTemp1]");
    db->Execute("CREATE VIEW vForeign AS SELECT Data FROM statTemp1");
    auto qs = db->QueryDefs();
    EXPECT_EQ(qs->Item("qSelect")->Type(), dbQSelect);
    EXPECT_EQ(qs->Item("qUnion")->Type(), dbQSetOperation);
    EXPECT_EQ(qs->Item("qUpdate")->Type(), dbQUpdate);
    EXPECT_EQ(qs->Item("qDelete")->Type(), dbQDelete);
    EXPECT_EQ(qs->Item("qAppend")->Type(), dbQAppend);
    EXPECT_EQ(qs->Item("qQuoted")->Type(), dbQSelect);
    EXPECT_EQ(qs->Item("vForeign")->Type(), dbQSelect);
}

TEST_F(DatabaseTest, TablesOfAnotherFileThroughIn) {
    auto scratchPath = Path("it's scratch.db");  // an apostrophe in the path
    auto scratch = MakeData("it's scratch.db");
    auto source = NewDb("source.db");
    std::string in = "IN '" + vb::Replace(scratchPath, "'", "''") + "' ";
    // Open in the same workspace: runs on the scratch file's connection.
    auto rs = source->OpenRecordset("SELECT * FROM statTemp1 " + in + "where (([Field] = 2)) ORDER BY [Data];");
    EXPECT_EQ(rs->Fields("Data")->Value().ToDouble(), 10.0);
    rs->MoveLast();
    EXPECT_EQ(rs->RecordCount(), 2);
    // Ranks written back through the query's record set.
    ASSERT_TRUE(rs->Updatable());
    rs->Edit();
    rs->Fields("Weight")->Value(7.0);
    rs->Update();
    rs->Close();
    auto check = scratch->OpenRecordset("SELECT Weight FROM statTemp1 WHERE Data = 30");
    EXPECT_EQ(check->Fields(0)->Value().ToDouble(), 7.0);
    check->Close();
    // Once the scratch file is closed, it is attached by its path for the statement.
    scratch->Close();
    auto again =
        source->OpenRecordset("SELECT Field, Sum(Weight) AS W FROM statTemp1 " + in + "GROUP BY Field ORDER BY Field");
    EXPECT_EQ(again->Fields("W")->Value().ToDouble(), 4.0);
    again->MoveNext();
    EXPECT_EQ(again->Fields("W")->Value().ToDouble(), 8.0);
    again->Close();
    DBEngine().Idle(dbRefreshCache);
    std::filesystem::remove(scratchPath);
    EXPECT_EQ(ErrorOf([&] { source->OpenRecordset("SELECT * FROM statTemp1 " + in); }), err::kFileNotFound);
}

TEST_F(DatabaseTest, JetConstructsOfTheSystemsQueries) {
    auto db = MakeData("d.db");
    auto rs = db->OpenRecordset(
        "SELECT DISTINCTROW [Field], [Data], Sum([Weight]) as Vesk_Count FROM statTemp1 GROUP BY [Field], [Data] "
        "ORDER BY [Field], Sum([Weight]) DESC;");
    EXPECT_EQ(rs->Fields("Vesk_Count")->Value().ToDouble(), 3.0);
    auto g = db->OpenRecordset(
        "SELECT Field, First(Data) AS F, Last(Data) AS L, Count(*) AS N FROM statTemp1 GROUP BY Field");
    EXPECT_EQ(g->Fields("Field")->Value().ToLong(), 1);  // grouped without ORDER BY: ascending
    EXPECT_EQ(g->Fields("N")->Value().ToLong(), 3);
    auto e =
        db->OpenRecordset("SELECT IIf(IsNull(Grp), 'none', Grp) AS G2, Data ^ 2 AS Sq, Data Mod 3 AS M FROM statTemp1 "
                          "WHERE Grp Like 'A*' ORDER BY Data");
    EXPECT_EQ(e->Fields("G2")->Value().String(), "a");
    EXPECT_EQ(e->Fields("Sq")->Value().ToDouble(), 16.0);
    EXPECT_EQ(e->Fields("M")->Value().ToDouble(), 1.0);
    auto top = db->OpenRecordset("SELECT TOP 2 Data FROM statTemp1 ORDER BY Data DESC");
    top->MoveLast();
    EXPECT_EQ(top->RecordCount(), 2);
    EXPECT_EQ(top->Fields(0)->Value().ToDouble(), 10.0);
    db->Execute("CREATE TABLE Dated (D DATETIME, Label TEXT)");
    db->Execute("INSERT INTO Dated VALUES (#2/29/2020 13:45#, 'x' & Null)");
    auto d = db->OpenRecordset("SELECT D, Label FROM Dated WHERE D > #2020-02-28#");
    ASSERT_FALSE(d->Eof());
    EXPECT_NEAR(d->Fields("D")->Value().ToDate().serial, 43890.0 + (13 * 60 + 45) / 1440.0, 1e-9);
    EXPECT_EQ(d->Fields("Label")->Value().String(), "x");  // Null & "x" is "x"
}

TEST_F(DatabaseTest, TransactionsSpanTheWorkspacesDatabases) {
    auto ws = DBEngine().Workspaces(0);
    auto a = MakeData("a.db");
    auto b = MakeData("b.db");
    ws->BeginTrans();
    a->Execute("DELETE * FROM statTemp1");
    b->Execute("INSERT INTO statTemp1 (Field) VALUES (99)");
    ws->Rollback();
    EXPECT_EQ(a->TableDefs()->Item("statTemp1")->RecordCount(), 5);
    EXPECT_EQ(b->TableDefs()->Item("statTemp1")->RecordCount(), 5);
    ws->BeginTrans();
    a->Execute("DELETE * FROM statTemp1 WHERE Field = 2");
    ws->BeginTrans();  // nested level
    b->Execute("DELETE * FROM statTemp1");
    ws->Rollback();
    ws->CommitTrans();
    EXPECT_EQ(a->TableDefs()->Item("statTemp1")->RecordCount(), 3);
    EXPECT_EQ(b->TableDefs()->Item("statTemp1")->RecordCount(), 5);
    EXPECT_EQ(ErrorOf([&] { ws->CommitTrans(); }), err::kNoTransaction);
    // A database opened inside a transaction joins it.
    DBEngine().BeginTrans();
    auto c = DBEngine().OpenDatabase(Path("b.db"));
    c->Execute("DELETE * FROM statTemp1");
    DBEngine().Rollback();
    EXPECT_EQ(b->TableDefs()->Item("statTemp1")->RecordCount(), 5);
}

// In a WAL file readers and the writer never wait for each other (in a
// rollback-journal file the commit waits for the readers to finish).
TEST_F(DatabaseTest, ASecondConnectionReadsWhileATransactionWrites) {
    auto writer = daotest::InWalMode(MakeData("shared.db"));
    auto otherWs = std::make_shared<Workspace>("Reader", "admin");
    auto reader = otherWs->OpenDatabase(Path("shared.db"));
    auto grid = reader->OpenRecordset("SELECT * FROM statTemp1 ORDER BY Data");
    DBEngine().BeginTrans();
    writer->Execute("INSERT INTO statTemp1 (Field) VALUES (3)");
    // The reader is not blocked and does not see uncommitted rows.
    auto count = reader->OpenRecordset("SELECT Count(*) AS N FROM statTemp1");
    EXPECT_EQ(count->Fields(0)->Value().ToLong(), 5);
    grid->MoveLast();
    EXPECT_EQ(grid->RecordCount(), 5);
    DBEngine().CommitTrans();
    grid->Close();  // an open record set keeps its connection's view of the file
    count->Requery();
    EXPECT_EQ(count->Fields(0)->Value().ToLong(), 6);
    otherWs->Close();
}

TEST_F(DatabaseTest, OpeningAndCreatingFiles) {
    EXPECT_EQ(ErrorOf([&] { DBEngine().OpenDatabase(Path("missing.db")); }), err::kFileNotFound);
    auto db = DBEngine().CreateDatabase(Path("new.db"), ";LANGID=0x0409;CP=1252;COUNTRY=0");
    EXPECT_EQ(db->Name(), Path("new.db"));
    EXPECT_EQ(ErrorOf([&] { DBEngine().CreateDatabase(Path("new.db")); }), err::kDatabaseExists);
    std::ofstream(Path("junk.db")) << "this is not a database file, not at all, and long enough to have a header";
    EXPECT_EQ(ErrorOf([&] { DBEngine().OpenDatabase(Path("junk.db")); }), err::kUnrecognizedFormat);
    db->Close();
    EXPECT_EQ(ErrorOf([&] { db->TableDefs(); }), err::kObjectClosed);
    // A closed file can be deleted and made again under the same name.
    std::filesystem::remove(Path("new.db"));
    auto again = DBEngine().CreateDatabase(Path("new.db"));
    EXPECT_EQ(again->TableDefs()->Count(), 0);
}

}  // namespace
