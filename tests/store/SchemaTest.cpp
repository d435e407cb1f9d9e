// The three scenario tables as they come out of the database after creation:
// every column's facts, the indexes, the descriptions, and the rules the
// stored format promises (zero-length and size rules, keys, counters,
// defaults, the one validation rule).
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "ScenarioSchema.h"
#include "ScenarioTables.h"
#include "StoreFixture.h"
#include "../support/ListsAgree.h"
#include "../support/StoredFormat.h"

namespace {

using storedformat::ExpectedColumn;
using storedformat::kFieldColumns;
using storedformat::kOptionColumns;
using storedformat::kScenarioColumns;

struct ExpectedIndex {
    std::string name;
    bool primary;
    std::vector<std::string> fields;
};

using Values = std::vector<std::pair<std::string, vb::Variant>>;

class SchemaTest : public StoreTest {
protected:
    void SetUp() override {
        StoreTest::SetUp();
        ASSERT_TRUE(store::CreateScenarioTables());
        Reopen();
    }

    // Adds one row through a dynaset; the DAO error number, 0 on success.
    int32_t AddRow(const std::string& table, const Values& values) {
        dao::RecordsetPtr rs = db_->OpenRecordset(table, dao::dbOpenDynaset);
        int32_t error = ErrorOf([&] {
            rs->AddNew();
            for (const auto& [name, value] : values) rs->Fields(name)->Value(value);
            rs->Update();
        });
        if (error != 0 && rs->EditMode() != 0) rs->CancelUpdate();
        rs->Close();
        return error;
    }

    // A row of `table` whose only chosen value is `value` in `column`; rows
    // of the fields table also get a key of their own (`seq`).
    static Values RowWith(const std::string& table, const std::string& column, const vb::Variant& value, int seq) {
        Values values;
        if (table == "usysQuarnFields") {
            values.emplace_back("Scenario_ID", vb::Variant(int32_t(seq)));
            if (column != "FieldDef_Name") values.emplace_back("FieldDef_Name", vb::Variant("F" + std::to_string(seq)));
        }
        values.emplace_back(column, value);
        return values;
    }

    // The list that holds a table's columns, on both sides.
    static std::string ListOf(const std::string& table) {
        if (table == "usysQuarnScenarios") return "kScenarioColumns";
        return table == "usysQuarnOptions" ? "kOptionColumns" : "kFieldColumns";
    }

    // The columns of `table` (those `described` only, when set) that the store
    // lays down and those written out in the stored format: what either lacks.
    std::string ColumnDifferences(const std::string& table, const std::vector<ExpectedColumn>& expected,
                                  bool described = false) {
        listsagree::Side store{ListOf(table) + " in store/ScenarioSchema.cpp", {}};
        listsagree::Side written{ListOf(table) + " in tests/support/StoredFormat.h", {}};
        dao::TableDefPtr td = db_->TableDefs()->Item(table);
        for (const auto& f : *td->Fields())
            if (!described || ErrorOf([&] { f->Properties()->Item("Description"); }) == 0)
                store.names.push_back(f->Name());
        for (const ExpectedColumn& c : expected)
            if (!described || !c.description.empty()) written.names.push_back(c.name);
        if (described) {
            store.place = "the descriptions of " + store.place;
            written.place = "the descriptions of " + written.place;
        }
        return listsagree::Differences(store, written);
    }

    void ExpectColumns(const std::string& table, const std::vector<ExpectedColumn>& expected) {
        SCOPED_TRACE(table);
        dao::TableDefPtr td = db_->TableDefs()->Item(table);
        const std::string differences = ColumnDifferences(table, expected);
        ASSERT_TRUE(differences.empty()) << differences;
        ASSERT_EQ(td->Fields()->Count(), int32_t(expected.size()));
        for (size_t i = 0; i < expected.size(); ++i) {
            const ExpectedColumn& e = expected[i];
            SCOPED_TRACE(e.name);
            dao::FieldPtr f = td->Fields(int32_t(i));
            EXPECT_EQ(f->Name(), e.name);  // letter case included
            EXPECT_EQ(f->Type(), e.type);
            EXPECT_EQ(f->Size(), e.size);
            EXPECT_EQ((f->Attributes() & dao::dbAutoIncrField) != 0, e.counter);
            EXPECT_EQ(f->AllowZeroLength(), e.allowZeroLength);
            EXPECT_FALSE(f->Required());
            EXPECT_EQ(f->DefaultValue(), e.defaultValue);
            EXPECT_EQ(f->ValidationRule(), e.validationRule);
            EXPECT_EQ(f->ValidationText(), e.validationText);
            if (e.description.empty()) {
                EXPECT_EQ(ErrorOf([&] { f->Properties()->Item("Description"); }), dao::err::kPropertyNotFound);
            } else {
                dao::PropertyPtr p = f->Properties()->Item("Description");
                EXPECT_EQ(p->Type(), dao::dbText);
                EXPECT_EQ(p->Value().ToString(), e.description);
            }
        }
    }

    void ExpectIndexes(const std::string& table, const std::vector<ExpectedIndex>& expected) {
        SCOPED_TRACE(table);
        auto indexes = db_->TableDefs()->Item(table)->Indexes();
        ASSERT_EQ(indexes->Count(), int32_t(expected.size()));
        for (const ExpectedIndex& e : expected) {
            SCOPED_TRACE(e.name);
            dao::IndexPtr ix = indexes->Item(e.name);
            EXPECT_EQ(ix->Name(), e.name);
            EXPECT_EQ(ix->Primary(), e.primary);
            EXPECT_EQ(ix->Unique(), e.primary);  // Unique is never set; a primary index is unique
            std::vector<std::string> fields;
            for (const auto& f : *ix->Fields()) fields.push_back(f->Name());
            EXPECT_EQ(fields, e.fields);
        }
    }

    const std::vector<std::pair<std::string, const std::vector<ExpectedColumn>*>> tables_{
        {"usysQuarnScenarios", &kScenarioColumns},
        {"usysQuarnOptions", &kOptionColumns},
        {"usysQuarnFields", &kFieldColumns}};
};

TEST_F(SchemaTest, EveryColumnReadsBackAsLaidDown) {
    for (const auto& [table, columns] : tables_) ExpectColumns(table, *columns);
}

TEST_F(SchemaTest, IndexesAndDescriptionCounts) {
    ExpectIndexes("usysQuarnScenarios", {{"PrimaryKey", true, {"Scenario_ID"}}});
    ExpectIndexes("usysQuarnOptions", {{"PrimaryKey", true, {"Scenario_ID"}}});
    ExpectIndexes("usysQuarnFields",
                  {{"PrimaryKey", true, {"Scenario_ID", "FieldDef_Name"}}, {"IX_Scenario_ID", false, {"Scenario_ID"}}});

    auto described = [&](const std::string& table) {
        int n = 0;
        dao::TableDefPtr td = db_->TableDefs()->Item(table);
        for (const auto& f : *td->Fields())
            if (ErrorOf([&] { f->Properties()->Item("Description"); }) == 0) ++n;
        return n;
    };
    EXPECT_EQ(described("usysQuarnScenarios"), 0);
    const std::string differences = ColumnDifferences("usysQuarnOptions", kOptionColumns, true);
    EXPECT_TRUE(differences.empty()) << differences;
    EXPECT_EQ(described("usysQuarnFields"), 4) << "the field rows' columns are a stored format: none is added";
}

TEST_F(SchemaTest, ZeroLengthRefusedExceptInTheTableNameColumns) {
    int seq = 0;
    for (const auto& [table, columns] : tables_) {
        for (const ExpectedColumn& c : *columns) {
            if (c.type != dao::dbText) continue;
            SCOPED_TRACE(table + "." + c.name);
            const int32_t error = AddRow(table, RowWith(table, c.name, vb::Variant(""), ++seq));
            const bool tableName = c.name == "Scenario_Input_Table_Name" || c.name == "Scenario_Output_Table1_Name" ||
                                   c.name == "Scenario_Output_Table2_Name";
            EXPECT_EQ(error, tableName ? 0 : dao::err::kZeroLength);
        }
    }
}

TEST_F(SchemaTest, TextSizesHoldTheirLimitAndNoMore) {
    int seq = 0;
    for (const auto& [table, columns] : tables_) {
        for (const ExpectedColumn& c : *columns) {
            if (c.type != dao::dbText) continue;
            SCOPED_TRACE(table + "." + c.name);
            EXPECT_EQ(AddRow(table, RowWith(table, c.name, vb::Variant(std::string(size_t(c.size), 'x')), ++seq)), 0);
            EXPECT_EQ(AddRow(table, RowWith(table, c.name, vb::Variant(std::string(size_t(c.size) + 1, 'x')), ++seq)),
                      dao::err::kFieldTooSmall);
        }
    }
    // The longest option texts the system stores fit their columns.
    const Values options{{"VarNRadio", "N-1"},
                         {"CITypeRadio", "t-Test"},
                         {"PercentileRadio", "Percentiles"},
                         {"FreqIncRadio", "Upper"},
                         {"FreqDispRadio", "Cumulative"},
                         {"FreqGroupRadio", "Specified:"},
                         {"MProbTail", "2-tail"},
                         {"RegressType", "P"},
                         {"XType", "E"},
                         {"NPTwoType", "Wald"}};
    EXPECT_EQ(AddRow("usysQuarnOptions", options), 0);
}

TEST_F(SchemaTest, FieldRowsAreKeyedByScenarioAndFieldName) {
    auto field = [&](int32_t id, const char* name) {
        return AddRow("usysQuarnFields", {{"Scenario_ID", id}, {"FieldDef_Name", name}, {"FieldDef_Choice", "X"}});
    };
    EXPECT_EQ(field(1, "Age"), 0);
    EXPECT_EQ(field(1, "Age"), dao::err::kDuplicateKey);
    EXPECT_EQ(field(1, "AGE"), dao::err::kDuplicateKey);  // text keys compare without case
    EXPECT_EQ(field(2, "Age"), 0);
    EXPECT_EQ(field(1, "Weight"), 0);
}

TEST_F(SchemaTest, NewScenarioRowsAreNumberedFromOne) {
    for (int32_t expected = 1; expected <= 2; ++expected) {
        dao::RecordsetPtr rs = db_->OpenRecordset("usysQuarnScenarios", dao::dbOpenDynaset);
        rs->AddNew();
        rs->Fields("Scenario_Description")->Value(vb::Variant("scenario " + std::to_string(expected)));
        EXPECT_EQ(rs->Fields("Scenario_ID")->Value().ToLong(), expected);  // readable before Update
        rs->Update();
        rs->Close();
    }
    // The options row takes the scenario's number explicitly, counter or not.
    EXPECT_EQ(AddRow("usysQuarnOptions", {{"Scenario_ID", int32_t(2)}}), 0);
    dao::RecordsetPtr rs = db_->OpenRecordset("SELECT Scenario_ID FROM usysQuarnOptions", dao::dbOpenSnapshot);
    ASSERT_FALSE(rs->Eof());
    EXPECT_EQ(rs->Fields(0)->Value().ToLong(), 2);
}

TEST_F(SchemaTest, OptionsRowWithOnlyItsIdGetsEveryDefault) {
    const std::string differences = ColumnDifferences("usysQuarnOptions", kOptionColumns);
    ASSERT_TRUE(differences.empty()) << differences;
    ASSERT_EQ(AddRow("usysQuarnOptions", {{"Scenario_ID", int32_t(5)}}), 0);
    dao::RecordsetPtr rs =
        db_->OpenRecordset("SELECT * FROM usysQuarnOptions WHERE Scenario_ID=5", dao::dbOpenSnapshot);
    ASSERT_FALSE(rs->Eof());
    for (const ExpectedColumn& c : kOptionColumns) {
        if (c.name == "Scenario_ID") continue;
        SCOPED_TRACE(c.name);
        const vb::Variant v = rs->Fields(c.name)->Value();
        if (c.defaultValue.empty()) {
            // No default: Null, except Booleans, whose initial value is the database's own.
            if (c.type != dao::dbBoolean) {
                EXPECT_TRUE(v.IsNull());
            }
        } else if (c.type == dao::dbBoolean) {
            EXPECT_EQ(v.Type(), vb::vbBoolean);
            EXPECT_EQ(v.ToBool(), c.defaultValue == "True");
        } else if (c.type == dao::dbInteger) {
            EXPECT_EQ(v.ToLong(), std::stol(c.defaultValue));
        } else {
            EXPECT_EQ(v.ToString(), c.defaultValue);
        }
    }
    // A few spelled out.
    EXPECT_EQ(rs->Fields("VarNRadio")->Value().ToString(), "N-1");
    EXPECT_EQ(rs->Fields("CITypeRadio")->Value().ToString(), "t-Test");
    EXPECT_EQ(rs->Fields("InterV")->Value().ToLong(), 10);
    EXPECT_EQ(rs->Fields("RPoly")->Value().ToLong(), 2);
    EXPECT_EQ(rs->Fields("Range")->Value().ToLong(), -1);
    for (const char* stillNull :
         {"MProbTail", "CIStdDev", "CIUser", "TTestValue", "FreqWidth", "FreqInit", "SignValue", "FreqType"})
        EXPECT_TRUE(rs->Fields(stillNull)->Value().IsNull()) << stillNull;
}

TEST_F(SchemaTest, IntervalWidthMustBeNullOrPositive) {
    for (double width : {0.0, -1.5}) {
        dao::RecordsetPtr rs = db_->OpenRecordset("usysQuarnOptions", dao::dbOpenDynaset);
        rs->AddNew();
        try {
            rs->Fields("FreqWidth")->Value(vb::Variant(width));
            rs->Update();
            ADD_FAILURE() << "width " << width << " accepted";
        } catch (const vb::VbError& e) {
            EXPECT_TRUE(e.Number() == dao::err::kValidationText || e.Number() == dao::err::kValidationRule)
                << e.Number();
            EXPECT_EQ(e.Description(), "Interval Width must be greater than zero");
            rs->CancelUpdate();
        }
        rs->Close();
    }
    EXPECT_EQ(AddRow("usysQuarnOptions", {{"FreqWidth", vb::Variant::Null()}}), 0);
    EXPECT_EQ(AddRow("usysQuarnOptions", {{"FreqWidth", 0.001}}), 0);
    EXPECT_EQ(AddRow("usysQuarnOptions", {{"FreqWidth", 250.0}}), 0);
}

TEST_F(SchemaTest, NamesAnswerInAnyLetterCase) {
    dao::TableDefPtr options = db_->TableDefs()->Item("USysQuarnOptions");
    EXPECT_EQ(options->Name(), "usysQuarnOptions");
    EXPECT_EQ(options->Fields("RAnova")->Name(), "RANova");
    EXPECT_EQ(options->Fields("XChi")->Name(), "xChi");
    EXPECT_EQ(db_->TableDefs()->Item("USysQuarnScenarios")->Name(), "usysQuarnScenarios");
    EXPECT_EQ(db_->TableDefs()->Item("USysQuarnFields")->Fields("fielddef_choice")->Name(), "FieldDef_Choice");
    EXPECT_EQ(AddRow("USysQuarnOptions", {{"XTotPcnt", true}, {"RAnova", false}}), 0);
}

// The layout tables themselves: spellings the rest of the system uses and
// the analysis order.
TEST(ScenarioSchemaData, AddressedNamesAndSortOrders) {
    const store::TableSchema& options = store::OptionsSchema();
    ASSERT_NE(options.Column("RAnova"), nullptr);
    EXPECT_EQ(options.Column("RAnova")->name, "RANova");
    EXPECT_EQ(options.Column("xchi")->Name(), "XChi");
    EXPECT_EQ(options.Column("FreqType")->Name(), "FreqType");
    EXPECT_EQ(options.Column("NoSuchColumn"), nullptr);

    EXPECT_EQ(store::AnalysisSortOrder("Describe"), 100);
    EXPECT_EQ(store::AnalysisSortOrder("Crosstab"), 700);
    EXPECT_EQ(store::AnalysisSortOrder("Two way ANOVA"), 300);
    EXPECT_EQ(store::AnalysisSortOrder("N Fields"), 700);
    EXPECT_EQ(store::AnalysisSortOrder("Histogram"), 0);
}

}  // namespace
