#include "ScenarioSchema.h"

#include <algorithm>
#include <array>

namespace store {
namespace {

// Column makers: fixed-width types are created with their width as size.
constexpr ColumnDef Long(std::string_view name) { return {.name = name, .type = dao::dbLong, .size = 4}; }
constexpr ColumnDef Counter(std::string_view name) {
    return {.name = name, .type = dao::dbLong, .size = 4, .attributes = dao::dbAutoIncrField};
}
constexpr ColumnDef Integer(std::string_view name) { return {.name = name, .type = dao::dbInteger, .size = 2}; }
constexpr ColumnDef Bool(std::string_view name) { return {.name = name, .type = dao::dbBoolean, .size = 1}; }
constexpr ColumnDef Double(std::string_view name) { return {.name = name, .type = dao::dbDouble, .size = 8}; }
constexpr ColumnDef Date(std::string_view name) { return {.name = name, .type = dao::dbDate, .size = 8}; }
constexpr ColumnDef Text(std::string_view name, int32_t size, bool allowZeroLength = false) {
    return {.name = name,
            .type = dao::dbText,
            .size = size,
            .zeroLength = allowZeroLength ? ZeroLength::Allowed : ZeroLength::Refused};
}

// usysQuarnScenarios: one row per scenario. No descriptions.
constexpr std::array kScenarioColumns{
    Counter("Scenario_ID"),
    Integer("SortOrder"),
    Text("Scenario_Description", 255),
    Text("Scenario_Analysis_Type", 1),
    Text("Scenario_Analysis_SubType", 30),
    Text("Scenario_Input_Table_Name", 64, true),
    Text("Scenario_Output_Table1_Name", 50, true),
    Text("Scenario_Output_Table2_Name", 64, true),
    Text("Scenario_Version", 5),
    Date("Scenario_DateCreated"),
    Date("Scenario_LastModified"),
    Text("Scenario_CreatedBy", 15),
    Text("Scenario_ModifiedBy", 50),
    Text("MissingType", 1),
    Double("MissingEqual"),
    Double("MissingLow"),
    Double("MissingHigh"),
    Text("PageLockField1", 255),
    Text("PageLockField2", 255),
    Text("PageLockField3", 255),
    Text("PageLockField4", 255),
};

// usysQuarnOptions: one row per scenario, one column per option of every
// analysis. Scenario_ID is a counter, yet writers store the scenario's own
// number in it.
constexpr std::array kOptionColumns{
    Counter("Scenario_ID").Describe("Scenario ID"),
    Bool("Range").Default("True").Describe("Describe: Range"),
    Bool("VarStd").Default("True").Describe("Describe: Stanard deviation, variance"),
    Text("VarNRadio", 3).Default("N-1").Describe("Describe: N or N-1 Method"),
    Bool("Mean").Default("False").Describe("Describe: Harmonic, Geometric, RMS"),
    Bool("Skew").Default("False").Describe("Describe: Skewness, Kurtosis"),
    Bool("Sum").Default("True").Describe("Describe: Sum, Sum Squared"),
    Bool("Mode").Default("False").Describe("Describe: Mode, Mode Count"),
    Bool("CI").Default("False").Describe("Describe: Confidence Intervals"),
    Text("CITypeRadio", 7).Default("t-Test").Describe("Describe: t-Test or Normal CI method"),
    Double("CIStdDev").Describe("Describe: std. dev. for Normal calc"),
    Bool("CI95").Default("True").Describe("Describe: CI 95% option"),
    Integer("CIUser").Describe("Describe: CI User % option"),
    Bool("TTestMean").Default("False").Describe("Describe: t-Test vs. Mean"),
    Double("TTestValue").Describe("Describe: t-Test vs. Mean value to test"),
    Bool("Percentile").Default("False").Describe("Describe: Percentile"),
    Text("PercentileRadio", 11).Default("Median").Describe("Percentile type: Median, Quartiles, etc."),
    Bool("FreqN").Default("False").Describe("Describe: Frequency Count"),
    Bool("FreqP").Default("False").Describe("Describe: Frequency Percent"),
    Integer("InterV").Default("10").Describe("Frequency: Number of intervals"),
    Text("FreqIncRadio", 11).Default("Lower").Describe("Frequency: Include border in lower or upper range"),
    Text("FreqDispRadio", 10).Default("Count").Describe("Frequency: Count or cumulative"),
    Text("FreqGroupRadio", 10).Default("Default").Describe("Frequency: Default or specified"),
    Double("FreqWidth")
        .Validation("Is Null Or >0", "Interval Width must be greater than zero")
        .Describe("Frequency: Specified interval width"),
    Double("FreqInit").Describe("Frequency: Specified initial interval value"),
    Bool("FreqSum").Describe("Frequency: Sum intervals"),
    Text("FreqType", 1),
    Bool("CountXY").Default("True").Describe("Compare: Count"),
    Bool("MeanXY").Default("True").Describe("Compare: Mean X-Y"),
    Bool("CorrXY").Default("True").Describe("Compare: Correlation"),
    Bool("TTest").Default("True").Describe("Compare: t-Test"),
    Bool("Chi").Default("False").Describe("Compare: Chi-Square"),
    Bool("MCnt").Default("False").Describe("Matrix: Count"),
    Bool("MMis").Default("False").Describe("Matrix: Missing"),
    Bool("MMean").Default("False").Describe("Matrix: Mean X-Y"),
    Bool("MDev").Default("False").Describe("Matrix: Std. Dev X-Y"),
    Bool("MCov").Default("False").Describe("Matrix: Covariance"),
    Bool("MCor").Default("False").Describe("Matrix: Correlation"),
    Bool("MR2").Default("False").Describe("Matrix: R-Square"),
    Bool("MT").Default("False").Describe("Matrix: t-Test"),
    Bool("MProb").Default("False").Describe("Matrix: Probability"),
    Text("MProbTail", 6).Describe("Matrix: Probability tails"),
    Text("RegressType", 1).Default("S").Describe("Regression: Type"),
    Integer("RPoly").Default("2").Describe("Regression: Polynomial order"),
    Bool("RYInt").Default("True").Describe("Regression: Y-intercept"),
    Bool("RANova").Default("True").Describe("Regression: ANOVA").AddressedAs("RAnova"),
    Bool("Residual").Default("False").Describe("Regression: Residual table"),
    Text("XType", 1).Default("C").Describe("Crosstab: Type"),
    Bool("XRowPCnt").Describe("Crosstab: % of row"),
    Bool("XColPcnt").Describe("Crosstab: % of column"),
    Bool("xTotPcnt").Describe("Crosstab: % of total").AddressedAs("XTotPcnt"),
    Bool("xExpectPcnt").Describe("Crosstab: % of expected").AddressedAs("XExpectPcnt"),
    Bool("xExpect").Describe("Crosstab: Expected").AddressedAs("XExpect"),
    Bool("xChi").Describe("Crosstab: Chi-Square").AddressedAs("XChi"),
    Bool("GroupIgnoreBlanks").Default("False").Describe("Group: Ignore blanks"),
    Bool("GroupDetail").Default("False").Describe("Group: Create detail table"),
    Bool("ChiAll").Default("False").Describe("Chi-Square: All groups use the compare values"),
    Bool("ChiIgnoreBlanks").Default("False").Describe("Chi-Square: Ignore blanks"),
    Bool("ChiDetail").Default("True").Describe("Chi-Square: Detail table"),
    Bool("SignMean").Default("True").Describe("Sign Test: Mean"),
    Bool("SignMedian").Default("False").Describe("Sign Test: Median"),
    Bool("SignCustom").Default("False").Describe("Sign Test: Custom"),
    // Created without a size, unlike every other fixed-width column.
    ColumnDef{.name = "SignValue", .type = dao::dbDouble}.Describe("Sign Test: Custom value"),
    Bool("FitUniform").Default("True").Describe("K-S Fit: Uniform distribution"),
    Bool("FitNormal").Default("False").Describe("K-S Fit: Normal distribution"),
    Bool("FitPoisson").Default("True").Describe("K-S Fit: Poisson distribution"),
    Bool("NPPair_Sign").Default("True").Describe("Paired: Sign Test"),
    Bool("NPPair_Wilcoxon").Default("True").Describe("Paired: Wilcoxon"),
    Bool("NPPair_Spearman").Default("True").Describe("Paired: Spearman"),
    Bool("NPPair_Tau").Default("False").Describe("Paired: Tau - disabled"),
    Bool("NPFriedmanDetail").Default("True").Describe("N Fields: Friedman Detail"),
    Text("NPTwoType", 4).Default("Mann").Describe("2 Sample: Wald-Wolfowitz Runs or Mann-Whitney"),
    Bool("NPKruskalDetail").Default("True").Describe("N Sample: Kruskal Wallis detail table"),
};

// usysQuarnFields: one row per source field with a role in a scenario.
constexpr std::array kFieldColumns{
    Long("Scenario_ID").Describe("Scenario ID"),
    Text("FieldDef_Name", 64).Describe("Field Name"),
    Integer("FieldDef_Ordinal_Position").Describe("The field's ordinal position in the set"),
    Text("FieldDef_Choice", 1).Describe("Field assignment type (X, Y, etc.)"),
};

constexpr std::array<std::string_view, 1> kByScenario{"Scenario_ID"};
constexpr std::array<std::string_view, 2> kByScenarioAndName{"Scenario_ID", "FieldDef_Name"};

constexpr std::array kScenarioIndexes{IndexDef{"PrimaryKey", true, kByScenario}};
constexpr std::array kOptionIndexes{IndexDef{"PrimaryKey", true, kByScenario}};
constexpr std::array kFieldIndexes{IndexDef{"PrimaryKey", true, kByScenarioAndName},
                                   IndexDef{"IX_Scenario_ID", false, kByScenario}};

constexpr std::array kAnalyses{
    AnalysisDef{"P", "Describe", 100},    AnalysisDef{"P", "Frequency", 200},
    AnalysisDef{"P", "Percentiles", 300}, AnalysisDef{"P", "Compare", 400},
    AnalysisDef{"P", "Matrix", 500},      AnalysisDef{"P", "Regression", 600},
    AnalysisDef{"P", "Crosstab", 700},    AnalysisDef{"G", "Two Sample t-Test", 100},
    AnalysisDef{"G", "ANOVA", 200},       AnalysisDef{"G", "Two way ANOVA", 300},
    AnalysisDef{"N", "Chi-Square", 100},  AnalysisDef{"N", "Sign Test", 200},
    AnalysisDef{"N", "K-S Fit", 300},     AnalysisDef{"N", "2 Sample", 400},
    AnalysisDef{"N", "N Sample", 500},    AnalysisDef{"N", "Paired Fields", 600},
    AnalysisDef{"N", "N Fields", 700},
};

bool SameName(std::string_view a, std::string_view b) {
    auto lower = [](char c) { return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c; };
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [&](char x, char y) { return lower(x) == lower(y); });
}

}  // namespace

const ColumnDef* TableSchema::Column(std::string_view column) const {
    for (const ColumnDef& c : columns)
        if (SameName(c.name, column)) return &c;
    return nullptr;
}

const TableSchema& ScenariosSchema() {
    static const TableSchema schema{kScenariosTable, kScenarioColumns, kScenarioIndexes};
    return schema;
}

const TableSchema& OptionsSchema() {
    static const TableSchema schema{kOptionsTable, kOptionColumns, kOptionIndexes};
    return schema;
}

const TableSchema& FieldsSchema() {
    static const TableSchema schema{kFieldsTable, kFieldColumns, kFieldIndexes};
    return schema;
}

std::span<const AnalysisDef> Analyses() { return kAnalyses; }

int16_t AnalysisSortOrder(std::string_view subType) {
    for (const AnalysisDef& a : kAnalyses)
        if (SameName(a.subType, subType)) return a.sortOrder;
    return 0;
}

}  // namespace store
