// Source data and row tests of the engine object: the sorted data query, the
// open failures, field types and the case rule, the missing-value condition
// against its per-row twin, weights, group breaks and value equality.
#include <cmath>
#include <set>

#include "EngineTestSupport.h"
#include "QuantaraImpl.h"
#include "RunContextSupport.h"
#include "vb/VbError.h"

using namespace enginetest;

namespace {

using Row = std::vector<vb::Variant>;
const vb::Variant kNull = vb::Variant::Null();

class DataServices : public EngineTest {
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

    // The column of DataRecordset as texts, in record order.
    std::vector<std::string> Column(const std::string& name) {
        std::vector<std::string> values;
        const dao::RecordsetPtr& rs = run.DataRecordset();
        for (; !rs->Eof(); rs->MoveNext()) {
            const vb::Variant v = rs->Fields(std::string_view(name))->Value();
            values.push_back(v.IsNull() ? "Null" : v.ToString());
        }
        return values;
    }

    FieldNames Fields(std::initializer_list<std::string> names) {
        FieldNames f{""};
        f.insert(f.end(), names);
        return f;
    }

    std::vector<int32_t> types, sizes;
};

// --- the sorted data query ------------------------------------------------------------------

TEST_F(DataServices, SortedQuerySortsByTheGroupFieldsAndTheFirstFieldAfterThem) {
    const FieldNames f = Fields({"G1", "G2", "X1"});
    EXPECT_EQ(engine::SortedDataSql("Orders", f, 0), "SELECT [G1], [G2], [X1] FROM [Orders] ORDER BY [G1]");
    EXPECT_EQ(engine::SortedDataSql("Orders", f, 1), "SELECT [G1], [G2], [X1] FROM [Orders] ORDER BY [G1],[G2]");
    // n - 1 and n both sort by every field.
    EXPECT_EQ(engine::SortedDataSql("Orders", f, 2), "SELECT [G1], [G2], [X1] FROM [Orders] ORDER BY [G1],[G2],[X1]");
    EXPECT_EQ(engine::SortedDataSql("Orders", f, 3), "SELECT [G1], [G2], [X1] FROM [Orders] ORDER BY [G1],[G2],[X1]");
}

TEST_F(DataServices, InitDataTableOpensTheSortedRowsAndTheirTypes) {
    AppendRows({{"b", "y", 2.0}, {"a", "z", 3.0}, {"b", "x", 1.0}, {"a", "y", 9.0}});
    FieldNames f = Fields({"G1", "G2", "X1"});
    ASSERT_EQ(run.Quarn_InitDataTable("Data", f, 1, types, sizes), "");
    EXPECT_EQ(Column("G2"), (std::vector<std::string>{"y", "z", "x", "y"}));
    ASSERT_EQ(types.size(), 4u);
    EXPECT_EQ(types[0], 0);
    EXPECT_EQ(types[1], dao::dbText);
    EXPECT_EQ(sizes[1], 20);
    EXPECT_EQ(types[3], dao::dbDouble);
    EXPECT_EQ(sizes[3], 8);

    ASSERT_EQ(run.Quarn_InitDataTable("Data", f, 3, types, sizes), "");
    EXPECT_EQ(Column("G2"), (std::vector<std::string>{"y", "z", "x", "y"}));
    ASSERT_EQ(run.Quarn_InitDataTable("Data", f, 2, types, sizes), "");
    EXPECT_EQ(Column("X1"), (std::vector<std::string>{"9", "3", "1", "2"}));
}

TEST_F(DataServices, InitDataTableFailures) {
    FieldNames f = Fields({"G1", "X1"});
    types = {7, 7};
    EXPECT_EQ(run.Quarn_InitDataTable("Data", f, 1, types, sizes), "No records found in Data");
    EXPECT_EQ(types, (std::vector<int32_t>{7, 7}));  // not re-created

    AppendRows({{"a", kNull, 1.0}});
    const std::string missingTable = run.Quarn_InitDataTable("NoSuchTable", f, 1, types, sizes);
    EXPECT_FALSE(missingTable.empty());
    EXPECT_NE(missingTable.find("NoSuchTable"), std::string::npos);

    // A parameter query gets its own message.
    db->CreateQueryDef("AskFirst", "SELECT [G1], [X1] FROM [Data] WHERE [X1] > [Smallest value]");
    EXPECT_EQ(run.Quarn_InitDataTable("AskFirst", f, 1, types, sizes),
              "The selected query expects parameters and cannot be used by Velmora.");
}

TEST_F(DataServices, NamesThatBracketsCannotHoldComeBackAsTheErrorText) {
    AppendRows({{"a", kNull, 1.0, 2.0}});
    ASSERT_EQ(run.OpenDataRecordset("SELECT [X1] FROM [Data]"), "");
    const dao::RecordsetPtr before = run.DataRecordset();

    // A field name that would otherwise read two columns.
    FieldNames f = Fields({"X1], [X2"});
    const std::string err = run.Quarn_InitDataTable("Data", f, 0, types, sizes);
    EXPECT_NE(err.find("contains ']'"), std::string::npos) << err;
    FieldNames ok = Fields({"X1"});
    EXPECT_NE(run.Quarn_InitDataTable("Data] WHERE [X1", ok, 0, types, sizes).find("contains ']'"), std::string::npos);
    EXPECT_NE(run.Quarn_InitDataTable("Da\nta", ok, 0, types, sizes).find("control character"), std::string::npos);
    EXPECT_EQ(run.DataRecordset(), before);
}

TEST_F(DataServices, OpenDataRecordsetAppendsOneSemicolonAndKeepsTheOldSetOnFailure) {
    AppendRows({{"a", kNull, 1.0}, {"b", kNull, 2.0}});
    EXPECT_EQ(run.OpenDataRecordset("SELECT [X1] FROM [Data] ORDER BY [X1];"), "");
    EXPECT_EQ(Column("X1"), (std::vector<std::string>{"1", "2"}));
    EXPECT_EQ(run.OpenDataRecordset("SELECT [X1] FROM [Data] ORDER BY [X1] DESC"), "");
    const dao::RecordsetPtr held = run.DataRecordset();
    EXPECT_EQ(run.DataRecordset()->Updatable(), false);

    EXPECT_NE(run.OpenDataRecordset("SELECT [Nowhere] FROM [Data]"), "");
    EXPECT_EQ(run.DataRecordset(), held);
}

TEST_F(DataServices, CaseSensitivityFollowsTheSortOrderOfTheSourceText) {
    db->Execute("CREATE TABLE Bin (G TEXT, X DOUBLE)");
    AppendRows({{"a", kNull, 1.0}});
    AppendRows({{"a", 1.0}}, "Bin");

    FieldNames general = Fields({"G1", "X1"});
    run.CaseSensitive(true);
    ASSERT_EQ(run.Quarn_InitDataTable("Data", general, 1, types, sizes), "");
    EXPECT_FALSE(run.CaseSensitive());

    FieldNames binary = Fields({"G", "X"});
    ASSERT_EQ(run.Quarn_InitDataTable("Bin", binary, 1, types, sizes), "");
    EXPECT_TRUE(run.CaseSensitive());

    // A number first: its sort order says nothing about text; the text group
    // field after it (general order) decides, so abc and ABC stay one group.
    FieldNames numberFirst = Fields({"X1", "G1"});
    ASSERT_EQ(run.Quarn_InitDataTable("Data", numberFirst, 2, types, sizes), "");
    EXPECT_FALSE(run.CaseSensitive());

    // No fields at all.
    run.CaseSensitive(true);
    run.Quarn_InitFieldTypes(run.DataRecordset(), 0, general, types, sizes);
    EXPECT_FALSE(run.CaseSensitive());
    EXPECT_EQ(types.size(), 1u);
}

// --- missing values: the SQL condition and the per-row test agree ----------------------------

TEST_F(DataServices, DataWhereAndDataOkAgreeOnEveryValue) {
    // Bounds with all seventeen significant digits, and their neighbours.
    const double equal = 0.1 + 0.2;  // 0.30000000000000004
    const double low = 1.0 / 3.0;
    const double high = 2.0 / 3.0 * 1e-7;
    std::vector<double> values = {0, -1e300, 1e300, 0.3, 123456789.12345678, -low};
    for (double b : {equal, low, high, 2.0 / 3.0}) {
        values.push_back(b);
        values.push_back(std::nextafter(b, 1e9));
        values.push_back(std::nextafter(b, -1e9));
    }
    std::vector<Row> rows;
    for (double v : values) rows.push_back({"g", kNull, v});
    rows.push_back({"g", kNull, kNull});
    AppendRows(rows);

    run.MissingEqual(equal);
    run.MissingLow(low);
    run.MissingHigh(2.0 / 3.0);
    for (const char* mode : {"", "Equal", "Low", "High", "Both", "equal", "BOTH", "Other"}) {
        run.MissingType(mode);
        if (std::string(mode) == "High") run.MissingHigh(high);
        const std::string where = run.Quarn_DataWhere("[X1]");
        dao::RecordsetPtr rs =
            db->OpenRecordset("SELECT [X1] FROM [Data]" + (where.empty() ? std::string() : " WHERE " + where));
        std::multiset<double> bySql;
        for (; !rs->Eof(); rs->MoveNext()) {
            const vb::Variant v = rs->Fields(0)->Value();
            if (!v.IsNull()) bySql.insert(v.ToDouble());
        }
        std::multiset<double> byRow;
        for (double v : values)
            if (run.Quarn_DataOk_b(v, false)) byRow.insert(v);
        EXPECT_EQ(bySql, byRow) << "mode " << mode << ", condition " << where;
        run.MissingHigh(2.0 / 3.0);
    }
}

TEST_F(DataServices, DataWhereTexts) {
    run.MissingEqual(-2.5);
    run.MissingLow(1);
    run.MissingHigh(5);
    run.MissingType("");
    EXPECT_EQ(run.Quarn_DataWhere("[X]"), "");
    run.MissingType("equal");
    EXPECT_EQ(run.Quarn_DataWhere("[X]"), "([X] <> -2.5)");
    run.MissingType("Both");
    EXPECT_EQ(run.Quarn_DataWhere("[X]"), "([X] Between 1.0 And 5.0)");
    run.MissingType("High");
    EXPECT_EQ(run.Quarn_DataWhere("[X]"), "([X] <= 5.0)");
    run.MissingType("Low");
    EXPECT_EQ(run.Quarn_DataWhere("[X]"), "([X] >= 1.0)");
    run.MissingType("Sometimes");
    EXPECT_EQ(run.Quarn_DataWhere("[X]"), "");
}

TEST_F(DataServices, DataOkRules) {
    run.MissingLow(1);
    run.MissingHigh(5);
    run.MissingEqual(3);
    run.MissingType("Both");
    EXPECT_TRUE(run.Quarn_DataOk_b(1, false));
    EXPECT_TRUE(run.Quarn_DataOk_b(5, false));
    EXPECT_FALSE(run.Quarn_DataOk_b(0.999, false));
    EXPECT_FALSE(run.Quarn_DataOk_b(5.001, false));
    // The check flag applies only the "Equal" rule.
    EXPECT_TRUE(run.Quarn_DataOk_b(0.999, true));
    run.MissingType("Low");
    EXPECT_TRUE(run.Quarn_DataOk_b(1, false));
    EXPECT_FALSE(run.Quarn_DataOk_b(0.5, false));
    run.MissingType("High");
    EXPECT_TRUE(run.Quarn_DataOk_b(5, false));
    EXPECT_FALSE(run.Quarn_DataOk_b(6, false));
    run.MissingType("EQUAL");
    EXPECT_FALSE(run.Quarn_DataOk_b(3, false));
    EXPECT_FALSE(run.Quarn_DataOk_b(3, true));
    EXPECT_TRUE(run.Quarn_DataOk_b(3.5, true));
    run.MissingType("Unknown");
    EXPECT_TRUE(run.Quarn_DataOk_b(3, false));
}

// --- weights ---------------------------------------------------------------------------------------

TEST_F(DataServices, WeightsOfSkippedAndUsedRows) {
    AppendRows({{"a", kNull, 1.0, kNull, kNull, kNull},
                {"b", kNull, 1.0, kNull, kNull, 0.0},
                {"c", kNull, 1.0, kNull, kNull, -2.0},
                {"d", kNull, 1.0, kNull, kNull, 7.0},
                {"e", kNull, 1.0, kNull, kNull, 0.5},
                {"f", kNull, 1.0, kNull, kNull, 3.0}});
    FieldNames f = Fields({"G1", "X1", "W"});
    ASSERT_EQ(run.Quarn_InitDataTable("Data", f, 1, types, sizes), "");
    run.MissingType("Equal");
    run.MissingEqual(7);
    std::vector<double> weights, unweighted;
    for (const dao::RecordsetPtr& rs = run.DataRecordset(); !rs->Eof(); rs->MoveNext()) {
        weights.push_back(run.Quarn_WeightCalc(true, f, 3));
        unweighted.push_back(run.Quarn_WeightCalc(false, f, 3));
    }
    EXPECT_EQ(weights, (std::vector<double>{0, 0, 0, 0, 0.5, 3}));
    EXPECT_EQ(unweighted, (std::vector<double>(6, 1.0)));

    // Ranges do not apply to weights.
    run.MissingType("Both");
    run.MissingLow(100);
    run.MissingHigh(200);
    ASSERT_EQ(run.Quarn_InitDataTable("Data", f, 1, types, sizes), "");
    run.DataRecordset()->Move(3);
    EXPECT_EQ(run.Quarn_WeightCalc(true, f, 3), 7);
}

// --- group breaks and equality ------------------------------------------------------------------

TEST_F(DataServices, SameRecordsCopiesThenComparesPositionByPosition) {
    std::vector<vb::Variant> saved(3), current = {vb::Variant(), "abc", kNull};
    EXPECT_FALSE(run.Quarn_SameRecords_b(2, false, saved, current));
    EXPECT_EQ(saved[1].ToString(), "abc");
    EXPECT_TRUE(saved[2].IsNull());

    run.CaseSensitive(false);
    EXPECT_FALSE(run.Quarn_SameRecords_b(2, true, saved, {vb::Variant(), "ABC", kNull}));
    EXPECT_TRUE(run.Quarn_SameRecords_b(2, true, saved, {vb::Variant(), "ABC", ""}));  // Null vs empty text
    EXPECT_TRUE(run.Quarn_SameRecords_b(2, true, saved, {vb::Variant(), kNull, kNull}));
    EXPECT_TRUE(run.Quarn_SameRecords_b(2, true, saved, {vb::Variant(), "abd", kNull}));
    run.CaseSensitive(true);
    EXPECT_TRUE(run.Quarn_SameRecords_b(2, true, saved, {vb::Variant(), "ABC", kNull}));
    EXPECT_FALSE(run.Quarn_SameRecords_b(2, true, saved, {vb::Variant(), "abc", kNull}));
    // No group fields: one group.
    EXPECT_FALSE(run.Quarn_SameRecords_b(0, true, saved, {vb::Variant()}));

    std::vector<vb::Variant> numbers(2), one = {vb::Variant(), 1.0};
    run.Quarn_SameRecords_b(1, false, numbers, one);
    EXPECT_FALSE(run.Quarn_SameRecords_b(1, true, numbers, {vb::Variant(), int32_t(1)}));
    EXPECT_TRUE(run.Quarn_SameRecords_b(1, true, numbers, {vb::Variant(), 1.5}));
}

TEST_F(DataServices, SameValue) {
    run.CaseSensitive(false);
    EXPECT_TRUE(run.Quarn_SameValue(kNull, kNull, false));
    EXPECT_FALSE(run.Quarn_SameValue(kNull, "", false));
    EXPECT_FALSE(run.Quarn_SameValue("", kNull, false));
    EXPECT_TRUE(run.Quarn_SameValue("Abc", "aBC", false));
    EXPECT_TRUE(run.Quarn_SameValue(2.0, int16_t(2), false));
    run.CaseSensitive(true);
    EXPECT_FALSE(run.Quarn_SameValue("Abc", "aBC", false));
    EXPECT_TRUE(run.Quarn_SameValue("Abc", "aBC", true));
    EXPECT_TRUE(run.Quarn_SameValue("Abc", "Abc", false));
}

// --- default frequency intervals from the source --------------------------------------------

TEST_F(DataServices, FrequencyDefaultsSpanEveryFieldsPresentValues) {
    AppendRows(
        {{"a", kNull, 0.0, 20.0}, {"b", kNull, 50.0, -10.0}, {"c", kNull, 30.0, kNull}, {"d", kNull, kNull, 5.0}});
    FieldNames f = Fields({"G1", "X1", "X2"});
    double first = -99, width = -99;
    // One field, 0 .. 50 in 10 intervals: margin 10^(log10(50) - 1) = 5.
    ASSERT_EQ(run.DescFreqInit_Zelk(false, 10, true, "Data", f, 1, 1, first, width), "");
    EXPECT_DOUBLE_EQ(width, 5.5);
    EXPECT_EQ(first, 0);
    ASSERT_EQ(run.DescFreqInit_Zelk(false, 10, false, "Data", f, 1, 1, first, width), "");
    EXPECT_NEAR(first, -5, 1e-12);
    // Both fields, -10 .. 50: margin 6, width (50 + 6 + 10) / 10.
    ASSERT_EQ(run.DescFreqInit_Zelk(true, 10, true, "Data", f, 1, 2, first, width), "");
    EXPECT_DOUBLE_EQ(width, 6.6);
    EXPECT_EQ(first, -10);
    // The missing value 50 is left out: 0 .. 30 and -10 .. 20 give -10 .. 30,
    // margin 10^(log10(40) - 1) = 4, width 4.4.
    run.MissingType("Equal");
    run.MissingEqual(50);
    ASSERT_EQ(run.DescFreqInit_Zelk(true, 10, true, "Data", f, 1, 2, first, width), "");
    EXPECT_DOUBLE_EQ(width, 4.4);
    EXPECT_EQ(first, -10);
}

TEST_F(DataServices, FrequencyDefaultsWithoutDataOrWithABadName) {
    AppendRows({{"a", kNull, kNull, kNull}});
    FieldNames f = Fields({"G1", "X1", "X2"});
    double first = -99, width = -99;
    EXPECT_EQ(run.DescFreqInit_Zelk(true, 10, true, "Data", f, 1, 2, first, width), "No data found");
    EXPECT_EQ(first, -99);
    EXPECT_EQ(width, -99);
    FieldNames bad = Fields({"G1", "X1]) FROM [Data"});
    EXPECT_THROW(run.DescFreqInit_Zelk(true, 10, true, "Data", bad, 1, 1, first, width), vb::VbError);
    // An infinite bound is refused, naming its field, before any interval is made of it.
    AppendRows({{"b", kNull, 1.0, 2.0}});
    db->Execute("UPDATE Data SET X2 = -9e999 WHERE X2 = 2;");
    const std::string refused = run.DescFreqInit_Zelk(true, 10, true, "Data", f, 1, 2, first, width);
    EXPECT_NE(refused.find("[X2]"), std::string::npos) << refused;
    EXPECT_EQ(width, -99);
}

TEST(YesNoLetter, AnyNonZeroFlagIsY) {
    EXPECT_EQ(engine::YesNoLetter(-1), "Y");
    EXPECT_EQ(engine::YesNoLetter(1), "Y");
    EXPECT_EQ(engine::YesNoLetter(0), "N");
}

}  // namespace
