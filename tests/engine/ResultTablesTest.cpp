// Result tables: the leading columns and their types copied from the source,
// the pair and count columns, the row writer, duplicate names, the common
// type of a multi-field column and the regression block.
#include "EngineTestSupport.h"
#include "QuantaraImpl.h"
#include "RunContextSupport.h"
#include "StatsGeneral.h"
#include "analysis/AnalysisEntries.h"
#include "vb/VbError.h"

using namespace enginetest;

namespace {

const vb::Variant kNull = vb::Variant::Null();

class ResultTables : public EngineTest {
protected:
    void SetUp() override {
        EngineTest::SetUp();
        run.SourceDatabase(db);
        run.OutputDatabase(db);
    }
    void TearDown() override {
        run.CloseRecordsets();
        EngineTest::TearDown();
    }

    // A run context of its own, with no engine object.
    RunContext run;

    // (name, type, size, ordinal) of every column of a stored table.
    std::vector<std::tuple<std::string, int, int, int>> Columns(const std::string& table) {
        db->TableDefs()->Refresh();
        std::vector<std::tuple<std::string, int, int, int>> columns;
        const dao::FieldsPtr fields = db->TableDefs()->Item(std::string_view(table))->Fields();
        for (const dao::FieldPtr& f : *fields)
            columns.emplace_back(f->Name(), f->Type(), f->Size(), f->OrdinalPosition());
        return columns;
    }
};

TEST_F(ResultTables, LeadingColumnsTakeTheirTypesFromTheSource) {
    db->Execute("CREATE TABLE Src (Region VARCHAR(12), Year INTEGER, Score DOUBLE, Other DOUBLE)");
    const std::string longName(70, 'p');
    FieldNames f{"", "Region", "Year", "Score", longName};
    const std::vector<int32_t> types{0, dao::dbText, dao::dbLong, dao::dbDouble, dao::dbSingle};
    const std::vector<int32_t> sizes{0, 12, 4, 8, 4};

    dao::TableDefPtr tdf = db->CreateTableDef("Out");
    const int16_t next = BuildOutputFields(tdf, 2, f, types, sizes, true, 3, 4, true, "Count", "Missing");
    int16_t ordinal = next;
    AddOutputField(tdf, "Mean", dao::dbDouble, ordinal);
    EXPECT_EQ(next, 10);
    EXPECT_EQ(ordinal, 11);
    ASSERT_EQ(run.Quarn_CreateTable(tdf, true), "");

    const std::string stem(62, 'p');
    const std::vector<std::tuple<std::string, int, int, int>> expected = {
        {"StatOutputID", dao::dbLong, 4, 0}, {"Region", dao::dbText, 12, 1}, {"Year", dao::dbLong, 4, 2},
        {"DataField", dao::dbText, 64, 3},   {"Score", dao::dbDouble, 8, 4}, {stem + "-1", dao::dbSingle, 4, 5},
        {stem + "-2", dao::dbSingle, 4, 6},  {"Count", dao::dbDouble, 8, 7}, {"Observations", dao::dbDouble, 8, 8},
        {"Missing", dao::dbLong, 4, 9},      {"Mean", dao::dbDouble, 8, 10}};
    EXPECT_EQ(Columns("Out"), expected);
    dao::TableDefPtr stored = db->TableDefs()->Item(std::string_view("Out"));
    EXPECT_EQ(stored->Fields(std::string_view("StatOutputID"))->Attributes() & dao::dbAutoIncrField,
              dao::dbAutoIncrField);
    dao::IndexPtr key = stored->Indexes()->Item(std::string_view("PrimaryKey"));
    EXPECT_TRUE(key->Primary());
    EXPECT_EQ(key->Fields()->Item(0)->Name(), "StatOutputID");

    // One row through the writer: a Null group value stays Null.
    const dao::RecordsetPtr& rs = run.OutputRecordset();
    ASSERT_TRUE(rs);
    rs->AddNew();
    WriteGroupValues(rs, 2, f, {vb::Variant(), "", kNull}, 3, "Count", "Missing", true, 12.5, 10, 7, 4, 1.5, 2.5);
    rs->Fields(std::string_view("Mean"))->Value(3.25);
    rs->Update();
    dao::RecordsetPtr back = db->OpenRecordset("SELECT * FROM [Out]");
    ASSERT_FALSE(back->Eof());
    EXPECT_EQ(back->Fields(std::string_view("StatOutputID"))->Value().ToLong(), 1);
    EXPECT_EQ(back->Fields(std::string_view("Region"))->Value().ToString(), "");
    EXPECT_TRUE(back->Fields(std::string_view("Year"))->Value().IsNull());
    EXPECT_EQ(back->Fields(std::string_view("DataField"))->Value().ToString(), "Score");
    EXPECT_EQ(back->Fields(std::string_view(stem + "-1"))->Value().ToDouble(), 1.5);
    EXPECT_EQ(back->Fields(std::string_view(stem + "-2"))->Value().ToDouble(), 2.5);
    EXPECT_EQ(back->Fields(std::string_view("Count"))->Value().ToDouble(), 12.5);
    EXPECT_EQ(back->Fields(std::string_view("Observations"))->Value().ToDouble(), 7);
    EXPECT_EQ(back->Fields(std::string_view("Missing"))->Value().ToLong(), 3);
}

TEST_F(ResultTables, OnlyTheDataFieldColumn) {
    FieldNames f{"", "X1"};
    dao::TableDefPtr tdf = db->CreateTableDef("Out");
    EXPECT_EQ(BuildOutputFields(tdf, 0, f, {0, dao::dbDouble}, {0, 8}, true, 0, 0, false, "", ""), 2);
    ASSERT_EQ(run.Quarn_CreateTable(tdf, false), "");
    EXPECT_FALSE(run.OutputRecordset());
    const std::vector<std::tuple<std::string, int, int, int>> expected = {{"StatOutputID", dao::dbLong, 4, 0},
                                                                          {"DataField", dao::dbText, 64, 1}};
    EXPECT_EQ(Columns("Out"), expected);
}

TEST_F(ResultTables, AnExistingTableNameComesBackAsText) {
    ASSERT_EQ(run.OpenDataRecordset("SELECT * FROM [Data]"), "");
    const dao::RecordsetPtr held = run.DataRecordset();
    run.OutputRecordset(held);
    dao::TableDefPtr tdf = db->CreateTableDef("Data");
    int16_t ordinal = 0;
    AddOutputField(tdf, "StatOutputID", dao::dbLong, ordinal);
    const std::string err = run.Quarn_CreateTable(tdf, true);
    EXPECT_NE(err.find("already exists"), std::string::npos) << err;
    EXPECT_EQ(run.OutputRecordset(), held);
}

TEST_F(ResultTables, DuplicateColumnNamesRaiseAndEndTheRunWithTheirText) {
    // A group field of the user's named like a leading column (in other case).
    FieldNames f{"", "dataField", "X1"};
    dao::TableDefPtr tdf = db->CreateTableDef("Out");
    try {
        BuildOutputFields(tdf, 1, f, {0, dao::dbText, dao::dbDouble}, {0, 20, 8}, true, 0, 0, false, "", "");
        ADD_FAILURE() << "no error";
    } catch (const vb::VbError& e) {
        EXPECT_EQ(e.Number(), 3191);  // field defined more than once
        EXPECT_NE(e.Description().find("DataField"), std::string::npos) << e.Description();
    }

    // Inside a run, the same error is the run's error text and leaves no table.
    ScopedAnalysisEntries entries;
    AnalysisEntries().Describe = [](const std::string& out, const std::string&, FieldNames& fields, int16_t nG, int16_t,
                                    bool, int16_t, const std::string&, int16_t, int16_t, int16_t, int16_t,
                                    const std::string&, const std::string&, int16_t, int16_t, std::vector<double>&,
                                    int16_t, std::vector<double>&, const std::string&, int16_t, double, double,
                                    RunContext& z) {
        std::vector<int32_t> types, sizes;
        std::string err = z.Quarn_InitDataTable("Data", fields, nG, types, sizes);
        if (!err.empty()) return err;
        dao::TableDefPtr t = z.OutputDatabase()->CreateTableDef(out);
        BuildOutputFields(t, nG, fields, types, sizes, true, 0, 0, false, "Count", "count");
        return z.Quarn_CreateTable(t, true);
    };
    dao::RecordsetPtr rs = db->OpenRecordset("Data", dao::dbOpenTable);
    rs->AddNew();
    rs->Fields(std::string_view("X1"))->Value(1.0);
    rs->Update();
    rs->Close();
    StoredScenario scenario;
    scenario.fields = {{"G1", "G", 1}, {"X1", "X", 2}};
    const int32_t id = AddScenario(db, scenario);
    EXPECT_FALSE(Run(id));
    EXPECT_NE(engine->get_ErrorInfo().find("3191"), std::string::npos) << engine->get_ErrorInfo();
    db->TableDefs()->Refresh();
    EXPECT_FALSE(db->TableDefs()->Contains("Out1"));
}

TEST_F(ResultTables, CommonFieldType) {
    const std::vector<int32_t> types{0, dao::dbText, dao::dbText, dao::dbLong, dao::dbText, dao::dbLong, dao::dbLong};
    const std::vector<int32_t> sizes{0, 10, 40, 4, 30, 4, 4};
    int32_t type = -1, size = -1;
    CommonFieldType(0, 2, types, sizes, type, size);  // Text 10, Text 40
    EXPECT_EQ(type, dao::dbText);
    EXPECT_EQ(size, 40);
    CommonFieldType(0, 1, types, sizes, type, size);
    EXPECT_EQ(std::make_pair(type, size), std::make_pair(int32_t(dao::dbText), int32_t(10)));
    CommonFieldType(2, 1, types, sizes, type, size);  // Long alone
    EXPECT_EQ(std::make_pair(type, size), std::make_pair(int32_t(dao::dbLong), int32_t(0)));
    const std::vector<int32_t> longText{0, dao::dbLong, dao::dbText};
    CommonFieldType(0, 2, longText, {0, 4, 10}, type, size);  // Long, Text 10
    EXPECT_EQ(std::make_pair(type, size), std::make_pair(int32_t(dao::dbText), int32_t(25)));
    CommonFieldType(2, 2, types, sizes, type, size);  // Long, Text 30
    EXPECT_EQ(std::make_pair(type, size), std::make_pair(int32_t(dao::dbText), int32_t(30)));
    CommonFieldType(4, 2, types, sizes, type, size);  // Long, Long
    EXPECT_EQ(std::make_pair(type, size), std::make_pair(int32_t(dao::dbLong), int32_t(0)));
}

TEST_F(ResultTables, RegressionBlock) {
    dao::TableDefPtr tdf = db->CreateTableDef("R");
    int16_t ordinal = 3;
    EXPECT_EQ(AddRegressionFields(tdf, 0, ordinal), 7);
    EXPECT_EQ(tdf->Fields()->Count(), 4);
    EXPECT_EQ(AddRegressionFields(db->CreateTableDef("R2"), -1, ordinal), 21);
    dao::TableDefPtr both = db->CreateTableDef("R3");
    ordinal = 0;
    AddOutputField(both, "StatOutputID", dao::dbLong, ordinal);
    AddRegressionFields(both, 1, ordinal);
    ASSERT_EQ(run.Quarn_CreateTable(both, false), "");
    std::vector<std::string> names;
    for (const auto& c : Columns("R3")) names.push_back(std::get<0>(c));
    EXPECT_EQ(names, (std::vector<std::string>{"StatOutputID", "Multiple_R", "R-Square", "Adj_R-Square",
                                               "StdError_of_Estimate", "Regression_DF", "Residual_DF", "Total_DF",
                                               "Regression_SS", "Residual_SS", "Total_SS", "Regression_MS",
                                               "Residual_MS", "F-Value", "Prob"}));
}

TEST_F(ResultTables, StatOutputIdCountsOnlyAtOrdinalZero) {
    dao::TableDefPtr tdf = db->CreateTableDef("T");
    int16_t ordinal = 1;
    AddOutputField(tdf, "StatOutputID", dao::dbLong, ordinal);
    EXPECT_EQ(tdf->Fields(0)->Attributes() & dao::dbAutoIncrField, 0);
    // The name must match exactly.
    dao::TableDefPtr other = db->CreateTableDef("U");
    ordinal = 0;
    AddOutputField(other, "statoutputid", dao::dbLong, ordinal);
    EXPECT_EQ(other->Fields(0)->Attributes() & dao::dbAutoIncrField, 0);
}

TEST(SqlNames, BracketsAndFileClauses) {
    EXPECT_EQ(BracketName("Sales 2024"), "[Sales 2024]");
    EXPECT_THROW(BracketName("a]b"), vb::VbError);
    EXPECT_THROW(BracketName(""), vb::VbError);
    EXPECT_THROW(BracketName(std::string("a\tb")), vb::VbError);
    EXPECT_EQ(InFileClause("/tmp/o'brien/kzp1.tmp"), "IN '/tmp/o''brien/kzp1.tmp'");
    EXPECT_EQ(PairColumnName("Weight", 2), "Weight-2");
}

}  // namespace
