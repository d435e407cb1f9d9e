// Source data and row tests of the engine object: the sorted data query, the
// open failures, field types and the case rule, the missing-value condition
// against its per-row twin, weights, group breaks and value equality.
#include <cmath>
#include <limits>
#include <set>

#include "EngineTestSupport.h"
#include "QuantaraImpl.h"
#include "vb/VbError.h"

using namespace enginetest;

namespace {

using Row = std::vector<vb::Variant>;
const vb::Variant kNull = vb::Variant::Null();

class DataServices : public EngineTest {
protected:
    void SetUp() override {
        EngineTest::SetUp();
        engine->putref_SourceDatabase(db);
        engine->putref_OutputDatabase(db);
    }

    // The column of DataRecordset as texts, in record order.
    std::vector<std::string> Column(const std::string& name) {
        std::vector<std::string> values;
        const dao::RecordsetPtr& rs = engine->DataRecordset();
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
    ASSERT_EQ(engine->Quarn_InitDataTable("Data", f, 1, types, sizes), "");
    EXPECT_EQ(Column("G2"), (std::vector<std::string>{"y", "z", "x", "y"}));
    ASSERT_EQ(types.size(), 4u);
    EXPECT_EQ(types[0], 0);
    EXPECT_EQ(types[1], dao::dbText);
    EXPECT_EQ(sizes[1], 20);
    EXPECT_EQ(types[3], dao::dbDouble);
    EXPECT_EQ(sizes[3], 8);

    ASSERT_EQ(engine->Quarn_InitDataTable("Data", f, 3, types, sizes), "");
    EXPECT_EQ(Column("G2"), (std::vector<std::string>{"y", "z", "x", "y"}));
    ASSERT_EQ(engine->Quarn_InitDataTable("Data", f, 2, types, sizes), "");
    EXPECT_EQ(Column("X1"), (std::vector<std::string>{"9", "3", "1", "2"}));
}

TEST_F(DataServices, InitDataTableFailures) {
    FieldNames f = Fields({"G1", "X1"});
    types = {7, 7};
    EXPECT_EQ(engine->Quarn_InitDataTable("Data", f, 1, types, sizes), "No records found in Data");
    EXPECT_EQ(types, (std::vector<int32_t>{7, 7}));  // not re-created

    AppendRows({{"a", kNull, 1.0}});
    const std::string missingTable = engine->Quarn_InitDataTable("NoSuchTable", f, 1, types, sizes);
    EXPECT_FALSE(missingTable.empty());
    EXPECT_NE(missingTable.find("NoSuchTable"), std::string::npos);

    // A parameter query gets its own message.
    db->CreateQueryDef("AskFirst", "SELECT [G1], [X1] FROM [Data] WHERE [X1] > [Smallest value]");
    EXPECT_EQ(engine->Quarn_InitDataTable("AskFirst", f, 1, types, sizes),
              "The selected query expects parameters and cannot be used by Velmora.");
}

TEST_F(DataServices, NamesThatBracketsCannotHoldComeBackAsTheErrorText) {
    AppendRows({{"a", kNull, 1.0, 2.0}});
    ASSERT_EQ(engine->OpenDataRecordset("SELECT [X1] FROM [Data]"), "");
    const dao::RecordsetPtr before = engine->DataRecordset();

    // A field name that would otherwise read two columns.
    FieldNames f = Fields({"X1], [X2"});
    const std::string err = engine->Quarn_InitDataTable("Data", f, 0, types, sizes);
    EXPECT_NE(err.find("contains ']'"), std::string::npos) << err;
    FieldNames ok = Fields({"X1"});
    EXPECT_NE(engine->Quarn_InitDataTable("Data] WHERE [X1", ok, 0, types, sizes).find("contains ']'"),
              std::string::npos);
    EXPECT_NE(engine->Quarn_InitDataTable("Da\nta", ok, 0, types, sizes).find("control character"), std::string::npos);
    EXPECT_EQ(engine->DataRecordset(), before);
}

TEST_F(DataServices, OpenDataRecordsetAppendsOneSemicolonAndKeepsTheOldSetOnFailure) {
    AppendRows({{"a", kNull, 1.0}, {"b", kNull, 2.0}});
    EXPECT_EQ(engine->OpenDataRecordset("SELECT [X1] FROM [Data] ORDER BY [X1];"), "");
    EXPECT_EQ(Column("X1"), (std::vector<std::string>{"1", "2"}));
    EXPECT_EQ(engine->OpenDataRecordset("SELECT [X1] FROM [Data] ORDER BY [X1] DESC"), "");
    const dao::RecordsetPtr held = engine->DataRecordset();
    EXPECT_EQ(engine->DataRecordset()->Updatable(), false);

    EXPECT_NE(engine->OpenDataRecordset("SELECT [Nowhere] FROM [Data]"), "");
    EXPECT_EQ(engine->DataRecordset(), held);
}

TEST_F(DataServices, CaseSensitivityFollowsTheSortOrderOfTheSourceText) {
    db->Execute("CREATE TABLE Bin (G TEXT, X DOUBLE)");
    AppendRows({{"a", kNull, 1.0}});
    AppendRows({{"a", 1.0}}, "Bin");

    FieldNames general = Fields({"G1", "X1"});
    engine->CaseSensitive(true);
    ASSERT_EQ(engine->Quarn_InitDataTable("Data", general, 1, types, sizes), "");
    EXPECT_FALSE(engine->CaseSensitive());

    FieldNames binary = Fields({"G", "X"});
    ASSERT_EQ(engine->Quarn_InitDataTable("Bin", binary, 1, types, sizes), "");
    EXPECT_TRUE(engine->CaseSensitive());

    // A number first: its sort order says nothing about text; the text group
    // field after it (general order) decides, so abc and ABC stay one group.
    FieldNames numberFirst = Fields({"X1", "G1"});
    ASSERT_EQ(engine->Quarn_InitDataTable("Data", numberFirst, 2, types, sizes), "");
    EXPECT_FALSE(engine->CaseSensitive());

    // No fields at all.
    engine->CaseSensitive(true);
    engine->Quarn_InitFieldTypes(engine->DataRecordset(), 0, general, types, sizes);
    EXPECT_FALSE(engine->CaseSensitive());
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

    engine->MissingEqual(equal);
    engine->MissingLow(low);
    engine->MissingHigh(2.0 / 3.0);
    for (const char* mode : {"", "Equal", "Low", "High", "Both", "equal", "BOTH", "Other"}) {
        engine->MissingType(mode);
        if (std::string(mode) == "High") engine->MissingHigh(high);
        const std::string where = engine->Quarn_DataWhere("[X1]");
        dao::RecordsetPtr rs =
            db->OpenRecordset("SELECT [X1] FROM [Data]" + (where.empty() ? std::string() : " WHERE " + where));
        std::multiset<double> bySql;
        for (; !rs->Eof(); rs->MoveNext()) {
            const vb::Variant v = rs->Fields(0)->Value();
            if (!v.IsNull()) bySql.insert(v.ToDouble());
        }
        std::multiset<double> byRow;
        for (double v : values)
            if (engine->Quarn_DataOk_b(v, false)) byRow.insert(v);
        EXPECT_EQ(bySql, byRow) << "mode " << mode << ", condition " << where;
        engine->MissingHigh(2.0 / 3.0);
    }
}

TEST_F(DataServices, DataWhereTexts) {
    engine->MissingEqual(-2.5);
    engine->MissingLow(1);
    engine->MissingHigh(5);
    engine->MissingType("");
    EXPECT_EQ(engine->Quarn_DataWhere("[X]"), "");
    engine->MissingType("equal");
    EXPECT_EQ(engine->Quarn_DataWhere("[X]"), "([X] <> -2.5)");
    engine->MissingType("Both");
    EXPECT_EQ(engine->Quarn_DataWhere("[X]"), "([X] Between 1.0 And 5.0)");
    engine->MissingType("High");
    EXPECT_EQ(engine->Quarn_DataWhere("[X]"), "([X] <= 5.0)");
    engine->MissingType("Low");
    EXPECT_EQ(engine->Quarn_DataWhere("[X]"), "([X] >= 1.0)");
    engine->MissingType("Sometimes");
    EXPECT_EQ(engine->Quarn_DataWhere("[X]"), "");
}

TEST_F(DataServices, DataOkRules) {
    engine->MissingLow(1);
    engine->MissingHigh(5);
    engine->MissingEqual(3);
    engine->MissingType("Both");
    EXPECT_TRUE(engine->Quarn_DataOk_b(1, false));
    EXPECT_TRUE(engine->Quarn_DataOk_b(5, false));
    EXPECT_FALSE(engine->Quarn_DataOk_b(0.999, false));
    EXPECT_FALSE(engine->Quarn_DataOk_b(5.001, false));
    // The check flag applies only the "Equal" rule.
    EXPECT_TRUE(engine->Quarn_DataOk_b(0.999, true));
    engine->MissingType("Low");
    EXPECT_TRUE(engine->Quarn_DataOk_b(1, false));
    EXPECT_FALSE(engine->Quarn_DataOk_b(0.5, false));
    engine->MissingType("High");
    EXPECT_TRUE(engine->Quarn_DataOk_b(5, false));
    EXPECT_FALSE(engine->Quarn_DataOk_b(6, false));
    engine->MissingType("EQUAL");
    EXPECT_FALSE(engine->Quarn_DataOk_b(3, false));
    EXPECT_FALSE(engine->Quarn_DataOk_b(3, true));
    EXPECT_TRUE(engine->Quarn_DataOk_b(3.5, true));
    engine->MissingType("Unknown");
    EXPECT_TRUE(engine->Quarn_DataOk_b(3, false));
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
    ASSERT_EQ(engine->Quarn_InitDataTable("Data", f, 1, types, sizes), "");
    engine->MissingType("Equal");
    engine->MissingEqual(7);
    std::vector<double> weights, unweighted;
    for (const dao::RecordsetPtr& rs = engine->DataRecordset(); !rs->Eof(); rs->MoveNext()) {
        weights.push_back(engine->Quarn_WeightCalc(true, f, 3));
        unweighted.push_back(engine->Quarn_WeightCalc(false, f, 3));
    }
    EXPECT_EQ(weights, (std::vector<double>{0, 0, 0, 0, 0.5, 3}));
    EXPECT_EQ(unweighted, (std::vector<double>(6, 1.0)));

    // Ranges do not apply to weights.
    engine->MissingType("Both");
    engine->MissingLow(100);
    engine->MissingHigh(200);
    ASSERT_EQ(engine->Quarn_InitDataTable("Data", f, 1, types, sizes), "");
    engine->DataRecordset()->Move(3);
    EXPECT_EQ(engine->Quarn_WeightCalc(true, f, 3), 7);
}

// --- group breaks and equality ------------------------------------------------------------------

TEST_F(DataServices, SameRecordsCopiesThenComparesPositionByPosition) {
    std::vector<vb::Variant> saved(3), current = {vb::Variant(), "abc", kNull};
    EXPECT_FALSE(engine->Quarn_SameRecords_b(2, false, saved, current));
    EXPECT_EQ(saved[1].ToString(), "abc");
    EXPECT_TRUE(saved[2].IsNull());

    engine->CaseSensitive(false);
    EXPECT_FALSE(engine->Quarn_SameRecords_b(2, true, saved, {vb::Variant(), "ABC", kNull}));
    EXPECT_TRUE(engine->Quarn_SameRecords_b(2, true, saved, {vb::Variant(), "ABC", ""}));  // Null vs empty text
    EXPECT_TRUE(engine->Quarn_SameRecords_b(2, true, saved, {vb::Variant(), kNull, kNull}));
    EXPECT_TRUE(engine->Quarn_SameRecords_b(2, true, saved, {vb::Variant(), "abd", kNull}));
    engine->CaseSensitive(true);
    EXPECT_TRUE(engine->Quarn_SameRecords_b(2, true, saved, {vb::Variant(), "ABC", kNull}));
    EXPECT_FALSE(engine->Quarn_SameRecords_b(2, true, saved, {vb::Variant(), "abc", kNull}));
    // No group fields: one group.
    EXPECT_FALSE(engine->Quarn_SameRecords_b(0, true, saved, {vb::Variant()}));

    std::vector<vb::Variant> numbers(2), one = {vb::Variant(), 1.0};
    engine->Quarn_SameRecords_b(1, false, numbers, one);
    EXPECT_FALSE(engine->Quarn_SameRecords_b(1, true, numbers, {vb::Variant(), int32_t(1)}));
    EXPECT_TRUE(engine->Quarn_SameRecords_b(1, true, numbers, {vb::Variant(), 1.5}));
}

TEST_F(DataServices, SameValue) {
    engine->CaseSensitive(false);
    EXPECT_TRUE(engine->Quarn_SameValue(kNull, kNull, false));
    EXPECT_FALSE(engine->Quarn_SameValue(kNull, "", false));
    EXPECT_FALSE(engine->Quarn_SameValue("", kNull, false));
    EXPECT_TRUE(engine->Quarn_SameValue("Abc", "aBC", false));
    EXPECT_TRUE(engine->Quarn_SameValue(2.0, int16_t(2), false));
    engine->CaseSensitive(true);
    EXPECT_FALSE(engine->Quarn_SameValue("Abc", "aBC", false));
    EXPECT_TRUE(engine->Quarn_SameValue("Abc", "aBC", true));
    EXPECT_TRUE(engine->Quarn_SameValue("Abc", "Abc", false));
}

// --- default frequency intervals from the source --------------------------------------------

TEST_F(DataServices, FrequencyDefaultsSpanEveryFieldsPresentValues) {
    AppendRows(
        {{"a", kNull, 0.0, 20.0}, {"b", kNull, 50.0, -10.0}, {"c", kNull, 30.0, kNull}, {"d", kNull, kNull, 5.0}});
    FieldNames f = Fields({"G1", "X1", "X2"});
    double first = -99, width = -99;
    // One field, 0 .. 50 in 10 intervals: margin 10^(log10(50) - 1) = 5.
    ASSERT_EQ(engine->DescFreqInit_Zelk(false, 10, true, "Data", f, 1, 1, first, width), "");
    EXPECT_DOUBLE_EQ(width, 5.5);
    EXPECT_EQ(first, 0);
    ASSERT_EQ(engine->DescFreqInit_Zelk(false, 10, false, "Data", f, 1, 1, first, width), "");
    EXPECT_NEAR(first, -5, 1e-12);
    // Both fields, -10 .. 50: margin 6, width (50 + 6 + 10) / 10.
    ASSERT_EQ(engine->DescFreqInit_Zelk(true, 10, true, "Data", f, 1, 2, first, width), "");
    EXPECT_DOUBLE_EQ(width, 6.6);
    EXPECT_EQ(first, -10);
    // The missing value 50 is left out: 0 .. 30 and -10 .. 20 give -10 .. 30,
    // margin 10^(log10(40) - 1) = 4, width 4.4.
    engine->MissingType("Equal");
    engine->MissingEqual(50);
    ASSERT_EQ(engine->DescFreqInit_Zelk(true, 10, true, "Data", f, 1, 2, first, width), "");
    EXPECT_DOUBLE_EQ(width, 4.4);
    EXPECT_EQ(first, -10);
}

TEST_F(DataServices, FrequencyDefaultsWithoutDataOrWithABadName) {
    AppendRows({{"a", kNull, kNull, kNull}});
    FieldNames f = Fields({"G1", "X1", "X2"});
    double first = -99, width = -99;
    EXPECT_EQ(engine->DescFreqInit_Zelk(true, 10, true, "Data", f, 1, 2, first, width), "No data found");
    EXPECT_EQ(first, -99);
    EXPECT_EQ(width, -99);
    FieldNames bad = Fields({"G1", "X1]) FROM [Data"});
    EXPECT_THROW(engine->DescFreqInit_Zelk(true, 10, true, "Data", bad, 1, 1, first, width), vb::VbError);
}

TEST(YesNoLetter, AnyNonZeroFlagIsY) {
    EXPECT_EQ(engine::YesNoLetter(-1), "Y");
    EXPECT_EQ(engine::YesNoLetter(1), "Y");
    EXPECT_EQ(engine::YesNoLetter(0), "N");
}

}  // namespace
