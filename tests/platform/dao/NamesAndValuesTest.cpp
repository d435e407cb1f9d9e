// Names that read like SQL, names in non-ASCII letters, numbers that no
// field can hold and infinities that another tool stored.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "DaoTestSupport.h"

namespace {

using namespace daotest;

std::string Repeat(const std::string& s, int n) {
    std::string r;
    for (int i = 0; i < n; ++i) r += s;
    return r;
}

class NamesAndValues : public DaoTest {};

TEST_F(NamesAndValues, ATableTypeSetOpensATableNamedLikeAStatement) {
    dao::DatabasePtr db = NewDb();
    db->Execute("CREATE TABLE Src (id LONG)");
    db->Execute("INSERT INTO Src (id) VALUES (1)");
    dao::TableDefPtr t = db->CreateTableDef("SELECT * FROM Src");
    t->Fields()->Append(t->CreateField("id", dao::dbLong));
    db->TableDefs()->Append(t);

    dao::RecordsetPtr rs = db->OpenRecordset("SELECT * FROM Src", dao::dbOpenTable);
    rs->AddNew();
    rs->Fields("id")->Value(vb::Variant(int32_t(42)));
    rs->Update();
    rs->Close();
    // So does a name in square brackets, as a dynaset.
    rs = db->OpenRecordset("[SELECT * FROM Src]", dao::dbOpenDynaset);
    ASSERT_FALSE(rs->Eof());
    EXPECT_EQ(rs->Fields("id")->Value().ToLong(), 42);
    rs->Close();
    // The source table is untouched.
    rs = db->OpenRecordset("SELECT Count(*) AS n FROM Src", dao::dbOpenSnapshot);
    EXPECT_EQ(rs->Fields(0)->Value().ToLong(), 1);
}

// Another tool may name a table or view with a "]", which no Jet name holds:
// in square brackets, as the grid opens it, it is still its own name, read
// as a snapshot; never SQL, even where the brackets leave a statement between them.
TEST_F(NamesAndValues, NamesAnotherToolGaveWithABracketOpenAsNames) {
    dao::DatabasePtr db = NewDb();
    db->Execute("CREATE TABLE Src (id LONG)");
    db->Execute("INSERT INTO Src (id) VALUES (1)");
    const std::string path = db->Name();
    db->Close();
    sqlite3* raw = nullptr;
    ASSERT_EQ(sqlite3_open(path.c_str(), &raw), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(raw,
                           "CREATE TABLE \"a]b\" (id INTEGER); INSERT INTO \"a]b\" VALUES (7), (8);"
                           "CREATE VIEW \"v]w\" AS SELECT id * 10 AS id FROM \"a]b\";"
                           "CREATE TABLE \"] SELECT * FROM [Src\" (id INTEGER); INSERT INTO \"] SELECT * FROM [Src\" "
                           "VALUES (9);",
                           nullptr, nullptr, nullptr),
              SQLITE_OK);
    sqlite3_close(raw);
    db = dao::DBEngine().OpenDatabase(path);
    auto ids = [&](const std::string& name) {
        std::vector<long> read;
        dao::RecordsetPtr rs = db->OpenRecordset("[" + name + "]", dao::dbOpenSnapshot, dao::dbReadOnly);
        for (; !rs->Eof(); rs->MoveNext()) read.push_back(rs->Fields("id")->Value().ToLong());
        rs->Close();
        return read;
    };
    EXPECT_EQ(ids("a]b"), std::vector<long>({7, 8}));
    EXPECT_EQ(ids("v]w"), std::vector<long>({70, 80}));
    EXPECT_EQ(ids("] SELECT * FROM [Src"), std::vector<long>({9}));
    // A name that is in the database under no spelling is still refused as a name.
    EXPECT_EQ(ErrorOf([&] { ids("x]y"); }), dao::err::kInvalidName);
    // A table's own object opens it by its name in any kind of set.
    db->Execute("CREATE TABLE [SELECT * FROM Src] (id LONG)");
    dao::RecordsetPtr rs = db->TableDefs()->Item("SELECT * FROM Src")->OpenRecordset(dao::dbOpenDynaset);
    EXPECT_TRUE(rs->Eof());
}

TEST_F(NamesAndValues, NameLengthsCountCharactersNotBytes) {
    dao::DatabasePtr db = NewDb();
    // "é" is two bytes in UTF-8, "€" three.
    for (const std::string& letter : {std::string("\xC3\xA9"), std::string("\xE2\x82\xAC")}) {
        const std::string name64 = Repeat(letter, 64);
        EXPECT_EQ(ErrorOf([&] { dao::CheckName(name64); }), 0);
        EXPECT_EQ(ErrorOf([&] { dao::CheckName(name64 + "a"); }), dao::err::kInvalidName);
    }
    const std::string name = Repeat("\xC3\xA9", 40);
    dao::TableDefPtr t = db->CreateTableDef(name);
    t->Fields()->Append(t->CreateField(Repeat("\xC3\xB6", 50), dao::dbDouble));
    db->TableDefs()->Append(t);
    db->TableDefs()->Refresh();
    EXPECT_TRUE(db->TableDefs()->Contains(name));
}

TEST_F(NamesAndValues, AnInfinityIsRefusedByNumberFields) {
    dao::DatabasePtr db = NewDb();
    db->Execute("CREATE TABLE T (d DOUBLE, s REAL)");
    dao::TableDefPtr single = db->CreateTableDef("S");
    single->Fields()->Append(single->CreateField("f", dao::dbSingle));
    db->TableDefs()->Append(single);
    const double inf = std::numeric_limits<double>::infinity();
    dao::RecordsetPtr rs = db->OpenRecordset("T", dao::dbOpenTable);
    for (double v : {inf, -inf}) {
        rs->AddNew();
        rs->Fields("d")->Value(vb::Variant(v));
        EXPECT_EQ(ErrorOf([&] { rs->Update(); }), dao::err::kNumericOverflow);
        rs->CancelUpdate();
    }
    rs->AddNew();
    rs->Fields("d")->Value(vb::Variant(std::numeric_limits<double>::max()));
    rs->Update();
    rs->Close();
    // A finite Double too large for a Single overflows it.
    rs = db->OpenRecordset("S", dao::dbOpenTable);
    rs->AddNew();
    rs->Fields("f")->Value(vb::Variant(1e300));
    EXPECT_EQ(ErrorOf([&] { rs->Update(); }), dao::err::kNumericOverflow);
    rs->CancelUpdate();
    rs->Close();
    rs = db->OpenRecordset("SELECT Count(*) AS n FROM T", dao::dbOpenSnapshot);
    EXPECT_EQ(rs->Fields(0)->Value().ToLong(), 1);
}

// Another tool can store an infinity; a set opened with dbFiniteNumbers
// refuses it when it is read, naming the field, and reads the rest.
TEST_F(NamesAndValues, AFiniteNumbersSetRefusesAnInfinityAsItIsRead) {
    dao::DatabasePtr db = NewDb();
    db->Execute("CREATE TABLE T (k INTEGER, [the d] DOUBLE, t TEXT)");
    db->Execute("INSERT INTO T VALUES (1, 1.5, 'a')");
    db->Execute("INSERT INTO T VALUES (2, -9e999, 'b')");
    db->Execute("INSERT INTO T VALUES (3, 9e999, NULL)");
    const std::string sql = "SELECT k, [the d], t FROM T ORDER BY k";
    dao::RecordsetPtr plain = db->OpenRecordset(sql, dao::dbOpenSnapshot);
    plain->MoveNext();
    EXPECT_TRUE(std::isinf(plain->Fields(1)->Value().ToDouble()));
    plain->Close();
    dao::RecordsetPtr rs = db->OpenRecordset(sql, dao::dbOpenDynaset, dao::dbReadOnly | dao::dbFiniteNumbers);
    EXPECT_EQ(rs->Fields(1)->Value().ToDouble(), 1.5);
    for (int row = 2; row <= 3; ++row) {
        rs->MoveNext();
        EXPECT_EQ(rs->Fields(0)->Value().ToLong(), row);
        try {
            rs->Fields("the d")->Value();
            ADD_FAILURE() << "row " << row << ": the infinity was returned";
        } catch (const dao::NotFiniteValue& e) {
            EXPECT_EQ(e.Number(), dao::err::kNotFinite);
            EXPECT_EQ(e.FieldName(), "the d");
        }
    }
    EXPECT_TRUE(rs->Fields(2)->Value().IsNull());
    rs->Close();
}

}  // namespace
