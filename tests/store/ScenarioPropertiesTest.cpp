// How the schema's columns meet the scenario objects, checked against the
// counts and values the program's objects are written to: the wizard object's
// 84 properties by type, the engine object's 83 and the 79 its loader fills,
// the values of a new scenario, how Edit reads a Null and how a save writes
// each column, which analyses read each option, and the rules' judgements.
// The counts are those of the analyses up to N Fields (FirstAnalyses.h):
// the options of an analysis added after them are left out of them.
#include <gtest/gtest.h>

#include <limits>
#include <map>
#include <string>
#include <vector>

#include "ScenarioSchema.h"
#include "../support/FirstAnalyses.h"

namespace {

using store::ColumnDef;
using store::PropertyKind;

using firstanalyses::kCountChanged;
using firstanalyses::OfTheFirstAnalyses;

std::vector<const ColumnDef*> ObjectColumns() {
    std::vector<const ColumnDef*> columns;
    for (const store::TableSchema* table : {&store::ScenariosSchema(), &store::OptionsSchema()})
        for (const ColumnDef& c : table->columns)
            if (!c.property.empty() && OfTheFirstAnalyses(c)) columns.push_back(&c);
    return columns;
}

int Count(store::Holder holder) {
    int n = 0;
    for (const ColumnDef* c : ObjectColumns()) n += c->HeldBy(holder) ? 1 : 0;
    return n;
}

TEST(ScenarioProperties, EachObjectHoldsItsProperties) {
    std::map<PropertyKind, int> byKind;
    for (const ColumnDef* c : ObjectColumns())
        if (c->HeldBy(store::kWizardObject)) ++byKind[c->kind];
    EXPECT_EQ(byKind[PropertyKind::Flag], 53) << kCountChanged;
    EXPECT_EQ(byKind[PropertyKind::Text], 19) << kCountChanged;
    EXPECT_EQ(byKind[PropertyKind::Variant], 8) << kCountChanged;
    EXPECT_EQ(byKind[PropertyKind::Integer], 2) << kCountChanged;
    EXPECT_EQ(byKind[PropertyKind::Long], 1) << kCountChanged;
    EXPECT_EQ(byKind[PropertyKind::Double], 1) << kCountChanged;
    EXPECT_EQ(Count(store::kWizardObject), 84) << kCountChanged;
    EXPECT_EQ(Count(store::kEngineObject), 83) << kCountChanged;
    EXPECT_EQ(Count(store::kEngineLoads), 79) << kCountChanged;
    for (const char* carried : {"FreqType", "Residual", "Chi", "NPPair_Tau"}) {
        const ColumnDef* c = store::PropertyColumn(carried);
        ASSERT_NE(c, nullptr) << carried;
        EXPECT_TRUE(c->HeldBy(store::kEngineObject) && !c->HeldBy(store::kEngineLoads)) << carried;
    }
    EXPECT_FALSE(store::PropertyColumn("Scenario_ID")->HeldBy(store::kEngineObject));
}

TEST(ScenarioProperties, ColumnsAndPropertiesWithOtherNames) {
    const std::map<std::string, std::string> renamed = {{"Scenario_Type", "Scenario_Analysis_Type"},
                                                        {"CalcType", "Scenario_Analysis_SubType"},
                                                        {"Table", "Scenario_Input_Table_Name"},
                                                        {"OutputTable1", "Scenario_Output_Table1_Name"},
                                                        {"OutputTable2", "Scenario_Output_Table2_Name"},
                                                        {"RAnova", "RANova"},
                                                        {"XChi", "xChi"}};
    for (const auto& [property, column] : renamed) {
        ASSERT_NE(store::PropertyColumn(property), nullptr) << property;
        EXPECT_EQ(store::PropertyColumn(property)->name, column);
    }
    EXPECT_EQ(store::PropertyColumn("Scenario_DateCreated"), nullptr) << "a column without a property";
}

TEST(ScenarioProperties, ANewScenarioStartsWithTheseValues) {
    std::map<std::string, int> flags;
    int textsNotSet = 0;
    int variantsNotSet = 0;
    for (const ColumnDef* c : ObjectColumns()) {
        if (!c->HeldBy(store::kWizardObject)) continue;
        if (c->kind == PropertyKind::Flag) ++flags[std::string(c->newValue)];
        if (c->kind == PropertyKind::Text && c->newValue.empty()) ++textsNotSet;
        if (c->kind == PropertyKind::Variant) variantsNotSet += c->newValue.empty() ? 1 : 0;
    }
    EXPECT_EQ(flags["True"], 20) << kCountChanged;
    EXPECT_EQ(flags["False"], 28) << kCountChanged;
    EXPECT_EQ(flags[""], 5) << kCountChanged;
    // Description, the three table names, the version and FreqType; the
    // family and the analysis come from the list window.
    EXPECT_EQ(textsNotSet, 8) << kCountChanged;
    EXPECT_EQ(variantsNotSet, 8) << kCountChanged;
    const std::map<std::string, std::string> values = {{"Scenario_ID", "0"},
                                                       {"TTestValue", "0"},
                                                       {"MissingType", "0"},
                                                       {"VarNRadio", "N-1"},
                                                       {"CITypeRadio", "t-Test"},
                                                       {"FreqIncRadio", "Lower"},
                                                       {"FreqDispRadio", "Count"},
                                                       {"FreqGroupRadio", "Default"},
                                                       {"PercentileRadio", "Median"},
                                                       {"MProbTail", "2-tail"},
                                                       {"RegressType", "S"},
                                                       {"XType", "C"},
                                                       {"NPTwoType", "Mann"},
                                                       {"InterV", "10"},
                                                       {"RPoly", "2"},
                                                       {"MCnt", "True"},
                                                       {"FreqN", ""},
                                                       {"CIUser", ""}};
    for (const auto& [property, value] : values)
        EXPECT_EQ(store::PropertyColumn(property)->newValue, value) << property;
    // Where New differs from the column's own default.
    EXPECT_EQ(store::PropertyColumn("MCnt")->defaultValue, "False");
    EXPECT_EQ(store::PropertyColumn("MProbTail")->defaultValue, "");
}

TEST(ScenarioProperties, EditReadsNullsAndASaveWritesColumnsByTheirRules) {
    std::map<store::EditNull, int> edit;
    for (const ColumnDef* c : ObjectColumns())
        if (c->HeldBy(store::kWizardObject)) ++edit[c->editNull];
    EXPECT_EQ(edit[store::EditNull::Refused], 66) << kCountChanged;
    EXPECT_EQ(edit[store::EditNull::EmptyText], 9) << kCountChanged;
    EXPECT_EQ(edit[store::EditNull::JoinedText], 3) << kCountChanged;
    EXPECT_EQ(edit[store::EditNull::Kept], 5) << kCountChanged;
    EXPECT_EQ(edit[store::EditNull::NotRead], 1) << "only the number, which Edit sets itself; " << kCountChanged;

    int optionsWritten = 0;
    for (const ColumnDef& c : store::OptionsSchema().columns) {
        if (OfTheFirstAnalyses(c) && (c.saveAs == store::SaveAs::AsHeld || c.saveAs == store::SaveAs::EmptyToNull))
            ++optionsWritten;
        EXPECT_EQ(c.saveAs == store::SaveAs::EmptyToNull, c.name == "FreqType") << c.name;
    }
    EXPECT_EQ(optionsWritten, 72) << kCountChanged;
    EXPECT_EQ(store::OptionsSchema().Column("Scenario_ID")->saveAs, store::SaveAs::Key);

    const std::map<std::string, store::SaveAs> scenarioRow = {{"Scenario_ID", store::SaveAs::NotWritten},
                                                              {"SortOrder", store::SaveAs::SortOrder},
                                                              {"Scenario_Description", store::SaveAs::EmptyToNull},
                                                              {"Scenario_Output_Table2_Name", store::SaveAs::AsHeld},
                                                              {"Scenario_Version", store::SaveAs::VersionMark},
                                                              {"Scenario_DateCreated", store::SaveAs::NowWhenNew},
                                                              {"Scenario_CreatedBy", store::SaveAs::UserWhenNew},
                                                              {"Scenario_LastModified", store::SaveAs::NowWhenEdited},
                                                              {"Scenario_ModifiedBy", store::SaveAs::UserWhenEdited},
                                                              {"MissingType", store::SaveAs::EmptyToNull},
                                                              {"MissingHigh", store::SaveAs::EmptyToNull},
                                                              {"PageLockField3", store::SaveAs::Filler}};
    for (const auto& [column, saveAs] : scenarioRow)
        EXPECT_EQ(store::ScenariosSchema().Column(column)->saveAs, saveAs) << column;
}

TEST(ScenarioProperties, OptionsAreReadByTheirAnalyses) {
    using store::Analysis;
    const std::map<Analysis, int> expected = {
        {Analysis::Describe, 24},      {Analysis::Frequency, 6}, {Analysis::Percentiles, 1},
        {Analysis::Compare, 4},        {Analysis::Matrix, 10},   {Analysis::Regression, 4},
        {Analysis::Crosstab, 7},       {Analysis::ChiSquare, 3}, {Analysis::SignTest, 4},
        {Analysis::KSFit, 3},          {Analysis::TwoSample, 1}, {Analysis::PairedFields, 3},
        {Analysis::TwoSampleTTest, 1}, {Analysis::Anova, 1},     {Analysis::TwoWayAnova, 1},
        {Analysis::NSample, 0},        {Analysis::NFields, 0}};
    for (const auto& [analysis, n] : expected) {
        int reads = 0;
        for (const ColumnDef& c : store::OptionsSchema().columns) reads += (c.readBy & store::Bit(analysis)) ? 1 : 0;
        EXPECT_EQ(reads, n) << store::AnalysisOf(analysis).subType;
    }
    EXPECT_EQ(store::ScenariosSchema().Column("MissingType")->readBy, store::kEveryAnalysis);
    // An option that no run reads is an analysis's second-table option, or
    // carried by the objects without the loader filling it.
    for (const ColumnDef& c : store::OptionsSchema().columns) {
        if (c.property.empty() || c.readBy != 0) continue;
        EXPECT_TRUE(firstanalyses::OwnersOf(c) != 0 ||
                    (c.HeldBy(store::kEngineObject) && !c.HeldBy(store::kEngineLoads)))
            << c.name << " is read by no analysis: give it Bit(TheAnalysis) of the analysis that reads it, or name it "
            << "as its analysis's second table in kAnalysisList when it only switches that table on";
    }
}

TEST(ScenarioProperties, AnalysisListAnswersByNameAndId) {
    EXPECT_EQ(store::FindAnalysis("two WAY anova")->id, store::Analysis::TwoWayAnova);
    EXPECT_EQ(store::FindAnalysis("Two-Way ANOVA"), nullptr);
    EXPECT_EQ(store::AnalysisOf(store::Analysis::KSFit).subType, "K-S Fit");
    EXPECT_EQ(store::AnalysisOf(store::Analysis::NFields).sortOrder, 700);
}

std::string Check(const char* column, const vb::Variant& value) {
    const ColumnDef* c = store::PropertyColumn(column);
    if (c == nullptr) c = store::FieldsSchema().Column(column);
    return store::CheckValue(*c, value);
}

TEST(ScenarioRules, NumbersAgainstTheirBounds) {
    const vb::Variant null = vb::Variant::Null();
    EXPECT_EQ(Check("RPoly", int16_t(1)), "");
    EXPECT_EQ(Check("RPoly", int16_t(32767)), "");
    EXPECT_EQ(Check("RPoly", null), "");
    EXPECT_NE(Check("RPoly", int16_t(0)), "");
    EXPECT_EQ(Check("InterV", int16_t(2)), "");
    EXPECT_EQ(Check("InterV", int16_t(50)), "");
    EXPECT_NE(Check("InterV", int16_t(51)), "");
    EXPECT_EQ(Check("FreqWidth", 1e-300), "");
    EXPECT_EQ(Check("FreqWidth", 0.0), "Interval Width must be greater than zero");
    EXPECT_EQ(Check("FreqWidth", "wide"), "FreqWidth holds \"wide\", which is not a number");
    EXPECT_EQ(Check("CIUser", int16_t(99)), "");
    EXPECT_NE(Check("CIUser", int16_t(0)), "");
    EXPECT_EQ(Check("SignValue", -1e300), "");
    EXPECT_EQ(Check("SignValue", std::numeric_limits<double>::infinity()), "SignValue must be a finite number");
    EXPECT_EQ(Check("TTestValue", "abc"), "TTestValue holds \"abc\", which is not a number") << "read as 0 otherwise";
    // The stored rule's own text is the one a run reports.
    const ColumnDef* width = store::PropertyColumn("FreqWidth");
    EXPECT_EQ(width->rule.text, width->validationText);
}

TEST(ScenarioRules, TextsAgainstTheirLists) {
    EXPECT_EQ(Check("Scenario_Type", "G"), "");
    EXPECT_EQ(Check("Scenario_Type", vb::Variant::Null()), "");
    EXPECT_EQ(Check("Scenario_Type", "g"), "Unknown scenario family: g") << "letter case counts for the family";
    EXPECT_EQ(Check("MissingType", "2"), "");
    EXPECT_NE(Check("MissingType", ""), "");
    EXPECT_NE(Check("MissingType", vb::Variant::Null()), "");
    EXPECT_EQ(Check("VarNRadio", "n-1"), "");
    EXPECT_EQ(Check("VarNRadio", "N-"), "Unknown variance divisor: N-");
    EXPECT_EQ(Check("PercentileRadio", "deciles"), "");
    EXPECT_EQ(Check("PercentileRadio", "Xyz"), "Unknown percentile type: X");
    EXPECT_EQ(Check("RegressType", ""), "") << "its runner refuses an empty type";
    EXPECT_EQ(Check("RegressType", "Q"), "Unknown regression type: Q");
    EXPECT_EQ(Check("FieldDef_Choice", "w"), "");
    EXPECT_EQ(Check("FieldDef_Choice", "Z"), "Unknown field role: Z");
    EXPECT_EQ(Check("FieldDef_Choice", vb::Variant::Null()), "Unknown field role: ");
    for (const store::TableSchema* table : {&store::ScenariosSchema(), &store::OptionsSchema()})
        for (const ColumnDef& c : table->columns)
            if (c.rule.kind != store::ValueRule::Kind::None) {
                EXPECT_FALSE(c.rule.text.empty()) << c.name;
            }
}

}  // namespace
