// Tables, fields, indexes and properties: creation, reading back, and the
// rules they carry, enforced alike for record sets and SQL.
#include "DaoTestSupport.h"

using namespace dao;
using daotest::ErrorOf;

namespace {

class TableDefTest : public daotest::DaoTest {
protected:
    // A table of the kind the scenario store lays down.
    void MakeScenarioLike(const DatabasePtr& db) {
        auto td = db->CreateTableDef("usysScen");
        auto f = td->CreateField("Scenario_ID", dbLong);
        f->Attributes(dbAutoIncrField);
        td->Fields()->Append(f);
        td->Fields()->Append(td->CreateField("SortOrder", dbInteger));
        f = td->CreateField("Description", dbText, 255);
        f->AllowZeroLength(false);
        td->Fields()->Append(f);
        f = td->CreateField("Kind", dbText, 1);
        f->AllowZeroLength(false);
        f->DefaultValue("P");
        td->Fields()->Append(f);
        f = td->CreateField("InputName", dbText, 64);
        f->AllowZeroLength(true);
        td->Fields()->Append(f);
        td->Fields()->Append(td->CreateField("Created", dbDate));
        td->Fields()->Append(td->CreateField("MissingLow", dbDouble));
        f = td->CreateField("Flag", dbBoolean);
        f->DefaultValue("True");
        td->Fields()->Append(f);
        f = td->CreateField("Width", dbDouble);
        f->ValidationRule("Is Null Or >0");
        f->ValidationText("Interval Width must be greater than zero");
        td->Fields()->Append(f);
        f = td->CreateField("Rank", dbInteger);
        f->DefaultValue("5");
        td->Fields()->Append(f);
        auto ix = td->CreateIndex("PrimaryKey");
        ix->Fields()->Append(ix->CreateField("Scenario_ID"));
        ix->Primary(true);
        td->Indexes()->Append(ix);
        auto ix2 = td->CreateIndex("IX_Kind");
        ix2->Fields()->Append(ix2->CreateField("Kind"));
        ix2->Fields()->Append(ix2->CreateField("SortOrder"));
        td->Indexes()->Append(ix2);
        db->TableDefs()->Append(td);
        auto desc = db->TableDefs()->Item("usysScen")->Fields("Kind");
        desc->Properties()->Append(desc->CreateProperty("Description", dbText, "Family of the analysis"));
    }
};

TEST_F(TableDefTest, EveryPropertyReadsBackAfterReopening) {
    {
        auto db = NewDb();
        MakeScenarioLike(db);
        db->Close();
    }
    auto db = DBEngine().OpenDatabase(Path("t.db"));
    auto tds = db->TableDefs();
    ASSERT_EQ(tds->Count(), 1);       // the catalog is never listed
    auto td = tds->Item("USYSSCEN");  // names without regard to case
    EXPECT_EQ(td->Name(), "usysScen");
    auto fields = td->Fields();
    ASSERT_EQ(fields->Count(), 10);
    const char* names[] = {"Scenario_ID", "SortOrder",  "Description", "Kind",  "InputName",
                           "Created",     "MissingLow", "Flag",        "Width", "Rank"};
    const int types[] = {dbLong, dbInteger, dbText, dbText, dbText, dbDate, dbDouble, dbBoolean, dbDouble, dbInteger};
    const int sizes[] = {4, 2, 255, 1, 64, 8, 8, 1, 8, 2};
    for (int i = 0; i < 10; ++i) {
        auto f = fields->Item(i);
        EXPECT_EQ(f->Name(), names[i]);
        EXPECT_EQ(f->Type(), types[i]) << names[i];
        EXPECT_EQ(f->Size(), sizes[i]) << names[i];
        EXPECT_EQ(f->OrdinalPosition(), i);
        EXPECT_FALSE(f->Required());
    }
    EXPECT_EQ(td->Fields("scenario_id")->Attributes() & dbAutoIncrField, dbAutoIncrField);
    EXPECT_EQ(td->Fields("SortOrder")->Attributes() & dbAutoIncrField, 0);
    EXPECT_FALSE(td->Fields("Description")->AllowZeroLength());
    EXPECT_TRUE(td->Fields("InputName")->AllowZeroLength());
    EXPECT_EQ(td->Fields("Kind")->DefaultValue(), "P");
    EXPECT_EQ(td->Fields("Flag")->DefaultValue(), "True");
    EXPECT_EQ(td->Fields("Width")->ValidationRule(), "Is Null Or >0");
    EXPECT_EQ(td->Fields("Width")->ValidationText(), "Interval Width must be greater than zero");
    EXPECT_EQ(td->Fields("Description")->CollatingOrder(), dbSortGeneral);
    EXPECT_EQ(td->Fields("Kind")->Properties()->Item("description")->Value().String(), "Family of the analysis");
    EXPECT_EQ(ErrorOf([&] { td->Fields("InputName")->Properties()->Item("Description"); }), err::kPropertyNotFound);

    auto ixs = td->Indexes();
    ASSERT_EQ(ixs->Count(), 2);
    EXPECT_EQ(ixs->Item(0)->Name(), "PrimaryKey");
    EXPECT_TRUE(ixs->Item(0)->Primary());
    EXPECT_EQ(ixs->Item(1)->Name(), "IX_Kind");
    EXPECT_FALSE(ixs->Item(1)->Primary());
    EXPECT_FALSE(ixs->Item(1)->Unique());
    ASSERT_EQ(ixs->Item(1)->Fields()->Count(), 2);
    EXPECT_EQ(ixs->Item(1)->Fields()->Item(1)->Name(), "SortOrder");
}

TEST_F(TableDefTest, DefaultsApplyToNewRows) {
    auto db = NewDb();
    MakeScenarioLike(db);
    db->Execute("INSERT INTO usysScen (Description) VALUES ('x')");
    auto rs = db->OpenRecordset("usysScen");
    EXPECT_EQ(rs->Fields("Kind")->Value().String(), "P");
    EXPECT_EQ(rs->Fields("Flag")->Value().Type(), vb::vbBoolean);
    EXPECT_EQ(rs->Fields("Flag")->Value().ToLong(), -1);  // True reads back as -1
    EXPECT_EQ(rs->Fields("Rank")->Value().ToLong(), 5);
    EXPECT_TRUE(rs->Fields("MissingLow")->Value().IsNull());
}

TEST_F(TableDefTest, LookupErrorsAndNames) {
    auto db = NewDb();
    MakeScenarioLike(db);
    EXPECT_EQ(ErrorOf([&] { db->TableDefs()->Item("NoSuchTable"); }), err::kItemNotFound);
    EXPECT_EQ(ErrorOf([&] { db->QueryDefs()->Item("NoSuchQuery"); }), err::kItemNotFound);
    EXPECT_EQ(ErrorOf([&] { db->TableDefs()->Item("usysScen")->Fields("Nope"); }), err::kItemNotFound);
    // The same table under another case is the same table.
    auto again = db->CreateTableDef("USYSSCEN");
    again->Fields()->Append(again->CreateField("X", dbLong));
    EXPECT_EQ(ErrorOf([&] { db->TableDefs()->Append(again); }), err::kTableExists);
    // Names that could escape quoting are refused before any SQL is built.
    EXPECT_EQ(ErrorOf([&] { db->CreateTableDef("Bad]Name"); }), err::kInvalidName);
    EXPECT_EQ(ErrorOf([&] { db->CreateTableDef(std::string("Tab\tle")); }), err::kInvalidName);
    auto td = db->CreateTableDef("Fine");
    EXPECT_EQ(ErrorOf([&] { td->CreateField("a]b", dbText); }), err::kInvalidName);
    EXPECT_EQ(ErrorOf([&] { db->OpenRecordset("x]; DROP TABLE usysScen"); }), err::kInvalidName);
    // A quote in a name is just a character.
    auto q = db->CreateTableDef("Joe's \"Table\"");
    q->Fields()->Append(q->CreateField("Col\"1", dbText, 10));
    db->TableDefs()->Append(q);
    auto rs = db->OpenRecordset("Joe's \"Table\"");
    rs->AddNew();
    rs->Fields("col\"1")->Value("v");
    rs->Update();
    EXPECT_EQ(db->TableDefs()->Item("joe's \"table\"")->RecordCount(), 1);
}

TEST_F(TableDefTest, RulesHoldThroughRecordsetsAndSqlAlike) {
    auto db = NewDb();
    MakeScenarioLike(db);
    auto rs = db->OpenRecordset("usysScen", dbOpenTable);
    auto tryAdd = [&](const char* field, const vb::Variant& v) {
        return ErrorOf([&] {
            rs->AddNew();
            rs->Fields("Description")->Value("ok");
            rs->Fields(field)->Value(v);
            rs->Update();
        });
    };
    EXPECT_EQ(tryAdd("Description", ""), err::kZeroLength);
    EXPECT_EQ(tryAdd("Kind", "PP"), err::kFieldTooSmall);
    EXPECT_EQ(tryAdd("InputName", ""), 0);  // zero-length allowed there
    try {
        tryAdd("Width", 0.0);
        rs->AddNew();
        rs->Fields("Width")->Value(-1.0);
        rs->Update();
        FAIL() << "validation rule not enforced";
    } catch (const vb::VbError& e) {
        EXPECT_EQ(e.Number(), err::kValidationText);
        EXPECT_EQ(e.Description(), "Interval Width must be greater than zero");
    }
    rs->CancelUpdate();
    EXPECT_EQ(tryAdd("SortOrder", 40000), err::kNumericOverflow);  // beyond Integer
    EXPECT_EQ(tryAdd("Width", 2.5), 0);
    EXPECT_EQ(tryAdd("Width", vb::Variant::Null()), 0);  // "Is Null Or >0"

    EXPECT_EQ(ErrorOf([&] { db->Execute("INSERT INTO usysScen (Description) VALUES ('')"); }), err::kZeroLength);
    EXPECT_EQ(ErrorOf([&] { db->Execute("INSERT INTO usysScen (Description, Kind) VALUES ('a', 'toolong')"); }),
              err::kFieldTooSmall);
    EXPECT_EQ(ErrorOf([&] { db->Execute("UPDATE usysScen SET Width = -3"); }), err::kValidationText);
    EXPECT_EQ(ErrorOf([&] { db->Execute("UPDATE usysScen SET SortOrder = -40000"); }), err::kNumericOverflow);
    EXPECT_EQ(ErrorOf([&] { db->Execute("INSERT INTO usysScen (Scenario_ID, Description) VALUES (1, 'dup')"); }),
              err::kDuplicateKey);
    EXPECT_EQ(db->TableDefs()->Item("usysScen")->RecordCount(), 3);
}

TEST_F(TableDefTest, UniqueIndexRefusesDuplicatesBothWays) {
    auto db = NewDb();
    auto td = db->CreateTableDef("Fields");
    td->Fields()->Append(td->CreateField("Scenario_ID", dbLong));
    td->Fields()->Append(td->CreateField("FieldDef_Name", dbText, 64));
    auto pk = td->CreateIndex("PrimaryKey");
    pk->Fields()->Append(pk->CreateField("Scenario_ID"));
    pk->Fields()->Append(pk->CreateField("FieldDef_Name"));
    pk->Primary(true);
    td->Indexes()->Append(pk);
    auto ix = td->CreateIndex("IX_Scenario_ID");
    ix->Fields()->Append(ix->CreateField("Scenario_ID"));
    td->Indexes()->Append(ix);
    db->TableDefs()->Append(td);
    // A second table may have an index of the same name: names are per table.
    auto td2 = db->CreateTableDef("Other");
    td2->Fields()->Append(td2->CreateField("Scenario_ID", dbLong));
    auto ix2 = td2->CreateIndex("IX_Scenario_ID");
    ix2->Fields()->Append(ix2->CreateField("Scenario_ID"));
    td2->Indexes()->Append(ix2);
    db->TableDefs()->Append(td2);

    db->Execute("INSERT INTO Fields VALUES (1, 'Age')");
    // Text keys compare without regard to case, as Jet's do.
    EXPECT_EQ(ErrorOf([&] { db->Execute("INSERT INTO Fields VALUES (1, 'AGE')"); }), err::kDuplicateKey);
    auto rs = db->OpenRecordset("Fields");
    rs->AddNew();
    rs->Fields(0)->Value(1);
    rs->Fields(1)->Value("age");
    EXPECT_EQ(ErrorOf([&] { rs->Update(); }), err::kDuplicateKey);
    rs->CancelUpdate();
    EXPECT_EQ(db->TableDefs()->Item("Fields")->Indexes()->Count(), 2);
}

TEST_F(TableDefTest, AutoIncrementWithAndWithoutExplicitValues) {
    auto db = NewDb();
    auto td = db->CreateTableDef("Scen");
    auto id = td->CreateField("Scenario_ID", dbLong);
    id->Attributes(dbAutoIncrField);
    td->Fields()->Append(id);
    td->Fields()->Append(td->CreateField("Name", dbText, 20));
    db->TableDefs()->Append(td);

    auto rs = db->OpenRecordset("Scen", dbOpenDynaset);
    rs->AddNew();
    EXPECT_EQ(rs->Fields("Scenario_ID")->Value().ToLong(), 1);  // readable before Update
    rs->Fields("Name")->Value("a");
    rs->Update();
    rs->AddNew();
    vb::Variant second = rs->Fields("Scenario_ID")->Value();
    rs->Fields("Name")->Value("b");
    rs->Update();
    EXPECT_EQ(second.ToLong(), 2);
    // An explicit value is accepted, and numbering continues after it.
    rs->AddNew();
    rs->Fields("Scenario_ID")->Value(10);
    rs->Fields("Name")->Value("c");
    rs->Update();
    db->Execute("INSERT INTO Scen (Name) VALUES ('d')");
    db->Execute("INSERT INTO Scen (Scenario_ID, Name) VALUES (20, 'e')");
    rs->AddNew();
    EXPECT_EQ(rs->Fields(0)->Value().ToLong(), 21);
    rs->CancelUpdate();
    auto check = db->OpenRecordset("SELECT [Scenario_ID] FROM [Scen] WHERE [Name] = 'd'");
    EXPECT_EQ(check->Fields(0)->Value().ToLong(), 11);
    // Numbers of deleted rows are not given out again.
    db->Execute("DELETE * FROM Scen WHERE Scenario_ID = 20");
    rs->AddNew();
    EXPECT_EQ(rs->Fields(0)->Value().ToLong(), 21);
}

TEST_F(TableDefTest, ATableDroppedBySqlLeavesNoRulesBehind) {
    auto db = NewDb();
    MakeScenarioLike(db);
    db->CreateQueryDef("qKinds", "SELECT Kind FROM usysScen");
    db->Execute("DROP VIEW qKinds");
    db->Execute("DROP TABLE usysScen");
    db->Execute("CREATE TABLE usysScen (Width DOUBLE, Kind TEXT)");
    EXPECT_EQ(db->QueryDefs()->Count(), 0);
    auto td = db->TableDefs()->Item("usysScen");
    EXPECT_EQ(td->Fields("Width")->ValidationRule(), "");
    EXPECT_EQ(td->Fields("Kind")->Size(), 255);
    EXPECT_EQ(ErrorOf([&] { td->Fields("Kind")->Properties()->Item("Description"); }), err::kPropertyNotFound);
    EXPECT_EQ(ErrorOf([&] { db->Execute("INSERT INTO usysScen (Width, Kind) VALUES (-1, 'long text')"); }), 0);
}

TEST_F(TableDefTest, FieldsAndIndexesAppendedToAStoredTable) {
    auto db = NewDb();
    auto td = db->CreateTableDef("T");
    td->Fields()->Append(td->CreateField("A", dbLong));
    db->TableDefs()->Append(td);
    auto stored = db->TableDefs()->Item("T");
    auto f = stored->CreateField("B", dbText, 5);
    stored->Fields()->Append(f);
    auto ix = stored->CreateIndex("UX");
    ix->Unique(true);
    ix->Fields()->Append(ix->CreateField("B"));
    stored->Indexes()->Append(ix);
    EXPECT_EQ(ErrorOf([&] { stored->Fields()->Append(stored->CreateField("b", dbLong)); }), 3191);
    db->Execute("INSERT INTO T (A, B) VALUES (1, 'x')");
    EXPECT_EQ(ErrorOf([&] { db->Execute("INSERT INTO T (A, B) VALUES (2, 'X')"); }), err::kDuplicateKey);
    EXPECT_EQ(ErrorOf([&] { db->Execute("INSERT INTO T (A, B) VALUES (2, '123456')"); }), err::kFieldTooSmall);
    auto re = db->TableDefs()->Item("t");
    EXPECT_EQ(re->Fields()->Count(), 2);
    EXPECT_EQ(re->Fields("B")->Size(), 5);
    EXPECT_TRUE(re->Indexes()->Item("ux")->Unique());
    db->TableDefs()->Delete("T");
    EXPECT_EQ(db->TableDefs()->Count(), 0);
}

TEST_F(TableDefTest, ForeignTableTypesAreInferred) {
    auto db = NewDb();
    db->Execute(
        "CREATE TABLE Foreign1 (id INTEGER PRIMARY KEY, amount REAL, price NUMERIC, code VARCHAR(12), note TEXT, "
        "blobby BLOB, seen DATE, ok BOOLEAN, CaseName TEXT COLLATE BINARY)");
    db->Execute("INSERT INTO Foreign1 VALUES (1, 2.5, 3, 'abc', 'n', NULL, '2020-02-29 13:45:00', 1, 'B')");
    auto td = db->TableDefs()->Item("foreign1");
    EXPECT_EQ(td->Fields("id")->Type(), dbLong);
    EXPECT_EQ(td->Fields("amount")->Type(), dbDouble);
    EXPECT_EQ(td->Fields("price")->Type(), dbDouble);
    EXPECT_EQ(td->Fields("code")->Type(), dbText);
    EXPECT_EQ(td->Fields("code")->Size(), 12);
    EXPECT_EQ(td->Fields("note")->Size(), 255);
    EXPECT_EQ(td->Fields("blobby")->Type(), dbLongBinary);
    EXPECT_EQ(td->Fields("seen")->Type(), dbDate);
    EXPECT_EQ(td->Fields("ok")->Type(), dbBoolean);
    // Binary collation: another CollatingOrder, so callers compare with case.
    EXPECT_NE(td->Fields("CaseName")->CollatingOrder(), dbSortGeneral);
    auto rs = db->OpenRecordset("SELECT * FROM Foreign1");
    EXPECT_EQ(rs->Fields("amount")->Value().ToDouble(), 2.5);
    EXPECT_EQ(rs->Fields("price")->Value().ToDouble(), 3.0);
    vb::Variant seen = rs->Fields("seen")->Value();
    ASSERT_EQ(seen.Type(), vb::vbDate);
    // 29 February 2020 is serial 43890 (1 January 1900 = 2, with the runtime's 1899 origin).
    EXPECT_NEAR(seen.ToDate().serial, 43890.0 + (13 * 60 + 45) / 1440.0, 1e-9);
    EXPECT_TRUE(rs->Fields("ok")->Value().ToBool());
    EXPECT_EQ(rs->Fields("CaseName")->CollatingOrder(), dbSortNeutral);
}

}  // namespace
