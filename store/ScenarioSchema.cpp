#include "ScenarioSchema.h"

#include <array>
#include <cmath>

#include "vb/Conversions.h"
#include "vb/VbError.h"

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

using K = PropertyKind;
using enum Analysis;
constexpr uint8_t kAllObjects = kEngineObject | kEngineLoads | kWizardObject;
// Carried by both objects and by a save, but never filled by the engine's loader.
constexpr uint8_t kCarried = kEngineObject | kWizardObject;

// A column of the scenarios table that both objects hold under the given property.
constexpr ColumnDef Mapped(ColumnDef c, std::string_view property, PropertyKind kind, EditNull editNull,
                           SaveAs saveAs) {
    return c.Property(property, kind, kAllObjects, editNull, saveAs).ReadBy(kEveryAnalysis);
}

// An option column: its property has the column's name (as addressed); the
// kind follows the column type (a Double column is a variant that may be
// Null, meaning "not given"). A blank in any other option reads as the new
// scenario's value.
constexpr ColumnDef Option(ColumnDef c, AnalysisSet readBy, std::string_view newValue = {},
                           uint8_t holders = kAllObjects) {
    PropertyKind kind = K::Text;
    if (c.type == dao::dbBoolean) kind = K::Flag;
    if (c.type == dao::dbInteger) kind = K::Integer;
    if (c.type == dao::dbDouble) kind = K::Variant;
    const EditNull editNull = kind == K::Variant ? EditNull::Kept : EditNull::Refused;
    const IfBlank ifBlank = kind == K::Variant ? IfBlank::NotGiven : IfBlank::NewValue;
    return c.Property(c.Name(), kind, holders, editNull, SaveAs::AsHeld).ReadBy(readBy).New(newValue).Blank(ifBlank);
}

constexpr ValueRule OneOf(std::string_view values, std::string_view text, bool required = false) {
    return {.kind = ValueRule::Kind::OneOf, .values = values, .required = required, .namesValue = true, .text = text};
}
constexpr ValueRule Between(double low, double high, std::string_view text) {
    return {.kind = ValueRule::Kind::Between, .low = low, .high = high, .text = text};
}
constexpr ValueRule AboveZero(std::string_view text) {
    return {.kind = ValueRule::Kind::Above, .low = 0, .text = text};
}

constexpr AnalysisSet kDescribe = Bit(Describe);
constexpr AnalysisSet kIntervals = Bit(Describe) | Bit(Frequency);
constexpr AnalysisSet kNoAnalysis = 0;

// usysQuarnScenarios: one row per scenario. No descriptions.
constexpr std::array kScenarioColumns{
    Counter("Scenario_ID")
        .Property("Scenario_ID", K::Long, kWizardObject, EditNull::NotRead, SaveAs::NotWritten)
        .New("0"),
    Integer("SortOrder").Property({}, K::None, 0, EditNull::NotRead, SaveAs::SortOrder),
    Mapped(Text("Scenario_Description", 255), "Scenario_Description", K::Text, EditNull::EmptyText,
           SaveAs::EmptyToNull),
    // Only exactly "P", "G" or "N" runs: anything else would run as another family.
    Mapped(Text("Scenario_Analysis_Type", 1), "Scenario_Type", K::Text, EditNull::EmptyText, SaveAs::AsHeld)
        .Rule({.kind = ValueRule::Kind::OneOf,
               .values = "P|G|N",
               .caseSensitive = true,
               .namesValue = true,
               .text = "Unknown scenario family: "}),
    Mapped(Text("Scenario_Analysis_SubType", 30), "CalcType", K::Text, EditNull::EmptyText, SaveAs::AsHeld),
    Mapped(Text("Scenario_Input_Table_Name", 64, true), "Table", K::Text, EditNull::EmptyText, SaveAs::AsHeld),
    Mapped(Text("Scenario_Output_Table1_Name", 50, true), "OutputTable1", K::Text, EditNull::EmptyText, SaveAs::AsHeld),
    Mapped(Text("Scenario_Output_Table2_Name", 64, true), "OutputTable2", K::Text, EditNull::EmptyText, SaveAs::AsHeld),
    Mapped(Text("Scenario_Version", 5), "Scenario_Version", K::Text, EditNull::EmptyText, SaveAs::VersionMark),
    Date("Scenario_DateCreated").Property({}, K::None, 0, EditNull::NotRead, SaveAs::NowWhenNew),
    Date("Scenario_LastModified").Property({}, K::None, 0, EditNull::NotRead, SaveAs::NowWhenEdited),
    Text("Scenario_CreatedBy", 15).Property({}, K::None, 0, EditNull::NotRead, SaveAs::UserWhenNew),
    Text("Scenario_ModifiedBy", 50).Property({}, K::None, 0, EditNull::NotRead, SaveAs::UserWhenEdited),
    Mapped(Text("MissingType", 1), "MissingType", K::Text, EditNull::EmptyText, SaveAs::EmptyToNull)
        .New("0")
        .Rule({.kind = ValueRule::Kind::OneOf,
               .values = "0|1|2",
               .required = true,
               .text = "The missing-value type must be \"0\", \"1\" or \"2\""}),
    Mapped(Double("MissingEqual"), "MissingEqual", K::Variant, EditNull::JoinedText, SaveAs::EmptyToNull),
    Mapped(Double("MissingLow"), "MissingLow", K::Variant, EditNull::JoinedText, SaveAs::EmptyToNull),
    Mapped(Double("MissingHigh"), "MissingHigh", K::Variant, EditNull::JoinedText, SaveAs::EmptyToNull),
    Text("PageLockField1", 255).Property({}, K::None, 0, EditNull::NotRead, SaveAs::Filler),
    Text("PageLockField2", 255).Property({}, K::None, 0, EditNull::NotRead, SaveAs::Filler),
    Text("PageLockField3", 255).Property({}, K::None, 0, EditNull::NotRead, SaveAs::Filler),
    Text("PageLockField4", 255).Property({}, K::None, 0, EditNull::NotRead, SaveAs::Filler),
};

// usysQuarnOptions: one row per scenario, one column per option of every
// analysis. Scenario_ID is a counter, yet writers store the scenario's own
// number in it. A rule stands where a value outside it would run wrongly
// without a word; the crosstab type and the confidence interval method are
// judged by their analyses, any grouping but "Default" means given
// intervals, and an empty regression or two-sample type is refused by its
// runner, after the field roles have been checked.
constexpr std::array kOptionColumns{
    Counter("Scenario_ID").Describe("Scenario ID").Property({}, K::None, 0, EditNull::NotRead, SaveAs::Key),
    Option(Bool("Range").Default("True").Describe("Describe: Range"), kDescribe, "True"),
    Option(Bool("VarStd").Default("True").Describe("Describe: Stanard deviation, variance"), kDescribe, "True"),
    Option(Text("VarNRadio", 3).Default("N-1").Describe("Describe: N or N-1 Method"), kDescribe, "N-1")
        .Rule(OneOf("N|N-1", "Unknown variance divisor: ")),
    Option(Bool("Mean").Default("False").Describe("Describe: Harmonic, Geometric, RMS"), kDescribe, "False"),
    Option(Bool("Skew").Default("False").Describe("Describe: Skewness, Kurtosis"), kDescribe, "False"),
    Option(Bool("Sum").Default("True").Describe("Describe: Sum, Sum Squared"), kDescribe, "True"),
    Option(Bool("Mode").Default("False").Describe("Describe: Mode, Mode Count"), kDescribe, "False"),
    Option(Bool("CI").Default("False").Describe("Describe: Confidence Intervals"), kDescribe, "False"),
    Option(Text("CITypeRadio", 7).Default("t-Test").Describe("Describe: t-Test or Normal CI method"), kDescribe,
           "t-Test"),
    Option(Double("CIStdDev").Describe("Describe: std. dev. for Normal calc"), kDescribe)
        .Rule(AboveZero("The standard deviation for the confidence intervals must be greater than zero")),
    Option(Bool("CI95").Default("True").Describe("Describe: CI 95% option"), kDescribe, "True"),
    // An Integer column read as a variant: Null means no further interval.
    Option(Integer("CIUser").Describe("Describe: CI User % option"), kDescribe)
        .Property("CIUser", K::Variant, kAllObjects, EditNull::Kept, SaveAs::AsHeld)
        .Blank(IfBlank::NotGiven)
        .Rule(Between(1, 99, "The confidence interval percentage must be between 1 and 99")),
    Option(Bool("TTestMean").Default("False").Describe("Describe: t-Test vs. Mean"), kDescribe),
    Option(Double("TTestValue").Describe("Describe: t-Test vs. Mean value to test"), kDescribe, "0")
        .Property("TTestValue", K::Double, kAllObjects, EditNull::Refused, SaveAs::AsHeld)
        .Blank(IfBlank::NewValue),
    Option(Bool("Percentile").Default("False").Describe("Describe: Percentile"), kDescribe),
    Option(Text("PercentileRadio", 11).Default("Median").Describe("Percentile type: Median, Quartiles, etc."),
           kDescribe | Bit(Percentiles), "Median")
        // The runs read the first letter of "Median", "Quartiles", "5", "Deciles" or "Percentiles".
        .Rule({.kind = ValueRule::Kind::OneOf,
               .values = "M|Q|5|D|P",
               .firstLetter = true,
               .namesValue = true,
               .text = "Unknown percentile type: "}),
    Option(Bool("FreqN").Default("False").Describe("Describe: Frequency Count"), kDescribe),
    Option(Bool("FreqP").Default("False").Describe("Describe: Frequency Percent"), kDescribe),
    Option(Integer("InterV").Default("10").Describe("Frequency: Number of intervals"), kIntervals, "10")
        .Rule(Between(2, 50, "The number of intervals must be between 2 and 50")),
    Option(Text("FreqIncRadio", 11).Default("Lower").Describe("Frequency: Include border in lower or upper range"),
           kIntervals, "Lower")
        .Rule(OneOf("Lower|Upper", "Unknown interval border: ")),
    Option(Text("FreqDispRadio", 10).Default("Count").Describe("Frequency: Count or cumulative"), kDescribe, "Count")
        .Rule(OneOf("Count|Cumulative", "Unknown frequency display: ")),
    Option(Text("FreqGroupRadio", 10).Default("Default").Describe("Frequency: Default or specified"), kIntervals,
           "Default"),
    Option(Double("FreqWidth")
               .Validation("Is Null Or >0", "Interval Width must be greater than zero")
               .Describe("Frequency: Specified interval width"),
           kIntervals)
        .Rule(AboveZero("Interval Width must be greater than zero")),
    Option(Double("FreqInit").Describe("Frequency: Specified initial interval value"), kIntervals),
    Option(Bool("FreqSum").Describe("Frequency: Sum intervals"), Bit(Frequency)),
    Option(Text("FreqType", 1), kNoAnalysis, {}, kCarried)
        .Property("FreqType", K::Text, kCarried, EditNull::EmptyText, SaveAs::EmptyToNull),
    Option(Bool("CountXY").Default("True").Describe("Compare: Count"), Bit(Compare), "True"),
    Option(Bool("MeanXY").Default("True").Describe("Compare: Mean X-Y"), Bit(Compare), "True"),
    Option(Bool("CorrXY").Default("True").Describe("Compare: Correlation"), Bit(Compare), "True"),
    Option(Bool("TTest").Default("True").Describe("Compare: t-Test"), Bit(Compare), "True"),
    Option(Bool("Chi").Default("False").Describe("Compare: Chi-Square"), kNoAnalysis, "False", kCarried),
    Option(Bool("MCnt").Default("False").Describe("Matrix: Count"), Bit(Matrix), "True"),
    Option(Bool("MMis").Default("False").Describe("Matrix: Missing"), Bit(Matrix), "False"),
    Option(Bool("MMean").Default("False").Describe("Matrix: Mean X-Y"), Bit(Matrix), "False"),
    Option(Bool("MDev").Default("False").Describe("Matrix: Std. Dev X-Y"), Bit(Matrix), "False"),
    Option(Bool("MCov").Default("False").Describe("Matrix: Covariance"), Bit(Matrix), "False"),
    Option(Bool("MCor").Default("False").Describe("Matrix: Correlation"), Bit(Matrix), "False"),
    Option(Bool("MR2").Default("False").Describe("Matrix: R-Square"), Bit(Matrix), "False"),
    Option(Bool("MT").Default("False").Describe("Matrix: t-Test"), Bit(Matrix), "False"),
    Option(Bool("MProb").Default("False").Describe("Matrix: Probability"), Bit(Matrix), "False"),
    Option(Text("MProbTail", 6).Describe("Matrix: Probability tails"), Bit(Matrix), "2-tail")
        .Rule(OneOf("1-tail|2-tail", "Unknown probability tails: ")),
    Option(Text("RegressType", 1).Default("S").Describe("Regression: Type"), Bit(Regression), "S")
        .Rule(OneOf("S|M|P", "Unknown regression type: ")),
    // Far above any order a double-precision fit resolves (the wizard offers
    // 2 to 9), and low enough that the sums and the output table stay small.
    Option(Integer("RPoly").Default("2").Describe("Regression: Polynomial order"), Bit(Regression), "2")
        // The highest order is judged by the regression: as many powers as its
        // output table can hold.
        .Rule(AboveZero("The polynomial order must be 1 or more")),
    Option(Bool("RYInt").Default("True").Describe("Regression: Y-intercept"), Bit(Regression), "True"),
    Option(Bool("RANova").Default("True").Describe("Regression: ANOVA").AddressedAs("RAnova"), Bit(Regression), "True"),
    Option(Bool("Residual").Default("False").Describe("Regression: Residual table"), kNoAnalysis, "False", kCarried),
    Option(Text("XType", 1).Default("C").Describe("Crosstab: Type"), Bit(Crosstab), "C"),
    Option(Bool("XRowPCnt").Describe("Crosstab: % of row"), Bit(Crosstab), "False"),
    Option(Bool("XColPcnt").Describe("Crosstab: % of column"), Bit(Crosstab), "False"),
    Option(Bool("xTotPcnt").Describe("Crosstab: % of total").AddressedAs("XTotPcnt"), Bit(Crosstab), "False"),
    Option(Bool("xExpectPcnt").Describe("Crosstab: % of expected").AddressedAs("XExpectPcnt"), Bit(Crosstab), "False"),
    Option(Bool("xExpect").Describe("Crosstab: Expected").AddressedAs("XExpect"), Bit(Crosstab), "False"),
    Option(Bool("xChi").Describe("Crosstab: Chi-Square").AddressedAs("XChi"), Bit(Crosstab), "False"),
    Option(Bool("GroupIgnoreBlanks").Default("False").Describe("Group: Ignore blanks"), kGroupAnalyses, "False"),
    Option(Bool("GroupDetail").Default("False").Describe("Group: Create detail table"), kNoAnalysis, "False"),
    Option(Bool("ChiAll").Default("False").Describe("Chi-Square: All groups use the compare values"), Bit(ChiSquare),
           "False"),
    Option(Bool("ChiIgnoreBlanks").Default("False").Describe("Chi-Square: Ignore blanks"), Bit(ChiSquare), "False"),
    Option(Bool("ChiDetail").Default("True").Describe("Chi-Square: Detail table"), Bit(ChiSquare), "True"),
    Option(Bool("SignMean").Default("True").Describe("Sign Test: Mean"), Bit(SignTest), "True"),
    Option(Bool("SignMedian").Default("False").Describe("Sign Test: Median"), Bit(SignTest), "False"),
    Option(Bool("SignCustom").Default("False").Describe("Sign Test: Custom"), Bit(SignTest), "False"),
    // Created without a size, unlike every other fixed-width column.
    Option(ColumnDef{.name = "SignValue", .type = dao::dbDouble}.Describe("Sign Test: Custom value"), Bit(SignTest)),
    Option(Bool("FitUniform").Default("True").Describe("K-S Fit: Uniform distribution"), Bit(KSFit), "True"),
    Option(Bool("FitNormal").Default("False").Describe("K-S Fit: Normal distribution"), Bit(KSFit), "False"),
    Option(Bool("FitPoisson").Default("True").Describe("K-S Fit: Poisson distribution"), Bit(KSFit), "True"),
    Option(Bool("NPPair_Sign").Default("True").Describe("Paired: Sign Test"), Bit(PairedFields), "True"),
    Option(Bool("NPPair_Wilcoxon").Default("True").Describe("Paired: Wilcoxon"), Bit(PairedFields), "True"),
    Option(Bool("NPPair_Spearman").Default("True").Describe("Paired: Spearman"), Bit(PairedFields), "True"),
    Option(Bool("NPPair_Tau").Default("False").Describe("Paired: Tau - disabled"), kNoAnalysis, "False", kCarried),
    Option(Bool("NPFriedmanDetail").Default("True").Describe("N Fields: Friedman Detail"), kNoAnalysis, "True"),
    Option(Text("NPTwoType", 4).Default("Mann").Describe("2 Sample: Wald-Wolfowitz Runs or Mann-Whitney"),
           Bit(TwoSample), "Mann")
        .Rule(OneOf("Mann|Wald", "Unknown two-sample test type: ")),
    Option(Bool("NPKruskalDetail").Default("True").Describe("N Sample: Kruskal Wallis detail table"), kNoAnalysis,
           "True"),
};

// usysQuarnFields: one row per source field with a role in a scenario. The
// properties are those of the program's field object.
constexpr std::array kFieldColumns{
    Long("Scenario_ID").Describe("Scenario ID"),
    Text("FieldDef_Name", 64).Describe("Field Name").Property("Name", K::Text, 0, EditNull::Refused, SaveAs::AsHeld),
    Integer("FieldDef_Ordinal_Position")
        .Describe("The field's ordinal position in the set")
        .Property("OrdinalPosition", K::Long, 0, EditNull::Refused, SaveAs::AsHeld),
    Text("FieldDef_Choice", 1)
        .Describe("Field assignment type (X, Y, etc.)")
        .Property("Choice", K::Text, 0, EditNull::Refused, SaveAs::AsHeld)
        .Rule(OneOf("G|C|X|Y|W", "Unknown field role: ", true)),
};

constexpr std::array<std::string_view, 1> kByScenario{"Scenario_ID"};
constexpr std::array<std::string_view, 2> kByScenarioAndName{"Scenario_ID", "FieldDef_Name"};

constexpr std::array kScenarioIndexes{IndexDef{"PrimaryKey", true, kByScenario}};
constexpr std::array kOptionIndexes{IndexDef{"PrimaryKey", true, kByScenario}};
constexpr std::array kFieldIndexes{IndexDef{"PrimaryKey", true, kByScenarioAndName},
                                   IndexDef{"IX_Scenario_ID", false, kByScenario}};

bool SameName(std::string_view a, std::string_view b) { return vb::EqualsNoCase(a, b); }

// The stored value as text for a message; a value with no text form gives "".
std::string TextOf(const vb::Variant& v) {
    if (IsBlankOption(v)) return {};
    try {
        return v.ToString();
    } catch (const vb::VbError&) {
        return {};
    }
}

bool InList(std::string_view values, std::string_view text, bool caseSensitive) {
    while (true) {
        const size_t bar = values.find('|');
        const std::string_view value = values.substr(0, bar);
        if (caseSensitive ? value == text : SameName(value, text)) return true;
        if (bar == std::string_view::npos) return false;
        values.remove_prefix(bar + 1);
    }
}

// The part of a stored text that a rule judges.
std::string Judged(const ValueRule& rule, const vb::Variant& value) {
    std::string text = TextOf(value);
    if (rule.firstLetter) text = text.substr(0, 1);
    return text;
}

std::string Message(const ValueRule& rule, const vb::Variant& value) {
    std::string text(rule.text);
    if (rule.namesValue) text += Judged(rule, value);
    return text;
}

// A value given as text in the schema, as the column's type holds it.
vb::Variant Typed(const ColumnDef& column, std::string_view text) {
    const vb::Variant given{std::string(text)};
    switch (column.type) {
        case dao::dbText:
            return given;
        case dao::dbBoolean:
            return vb::Variant(given.ToBool());
        case dao::dbInteger:
            return vb::Variant(given.ToInteger());
        case dao::dbLong:
            return vb::Variant(given.ToLong());
        default:
            return vb::Variant(given.ToDouble());
    }
}

}  // namespace

vb::Variant AddedColumnValue(const ColumnDef& column) {
    if (!column.defaultValue.empty()) return Typed(column, column.defaultValue);
    return column.type == dao::dbBoolean ? vb::Variant(false) : vb::Variant::Null();
}

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

const ColumnDef* PropertyColumn(std::string_view property) {
    for (const TableSchema* table : {&ScenariosSchema(), &OptionsSchema()})
        for (const ColumnDef& c : table->columns)
            if (!c.property.empty() && SameName(c.property, property)) return &c;
    return nullptr;
}

vb::Variant NewScenarioValue(const ColumnDef& column) {
    if (column.newValue.empty()) return column.type == dao::dbBoolean ? vb::Variant(false) : vb::Variant::Null();
    return Typed(column, column.newValue);
}

vb::Variant AbsentColumnValue(const ColumnDef& column) {
    return column.ifBlank == IfBlank::NewValue ? NewScenarioValue(column) : AddedColumnValue(column);
}

vb::Variant StoredValue(const dao::RecordsetPtr& row, const ColumnDef& column) {
    const dao::FieldsPtr fields = row->Fields();
    return fields->Contains(column.Name()) ? fields->Item(column.Name())->Value() : AbsentColumnValue(column);
}

bool IsBlankOption(const vb::Variant& value) {
    return value.IsNull() || value.IsEmpty() || (value.IsString() && value.String().empty());
}

vb::Variant ReadAs(const ColumnDef& column, const vb::Variant& value) {
    if (!IsBlankOption(value)) return value;
    return column.ifBlank == IfBlank::NewValue ? NewScenarioValue(column) : vb::Variant::Null();
}

std::string CheckValue(const ColumnDef& column, const vb::Variant& value) {
    const ValueRule& rule = column.rule;
    if (IsBlankOption(value)) return rule.required ? Message(rule, value) : std::string();
    const bool numeric = column.type != dao::dbText;
    double number = 0;
    if (numeric) {
        // Another tool can store a text in a number or flag column: named, not read as 0 or False.
        try {
            if (column.kind == PropertyKind::Flag) {
                number = value.ToBool() ? -1 : 0;
            } else {
                number = value.ToDouble();
            }
        } catch (const vb::VbError&) {
            return std::string(column.Name()) + " holds \"" + value.ToString() + "\", which is not " +
                   (column.kind == PropertyKind::Flag ? "True or False" : "a number");
        }
        // SQLite keeps an infinity in a column of any number type (1e400 as +Inf).
        if (!std::isfinite(number)) return std::string(column.Name()) + " must be a finite number";
        if (column.kind == PropertyKind::Integer && !(number >= -32768.5 && number < 32767.5))
            return std::string(column.Name()) + " holds " + value.ToString() +
                   ", which is outside the whole numbers from -32768 to 32767";
    }
    switch (rule.kind) {
        case ValueRule::Kind::None:
            return {};
        case ValueRule::Kind::Between:
            return number >= rule.low && number <= rule.high ? std::string() : Message(rule, value);
        case ValueRule::Kind::Above:
            return number > rule.low ? std::string() : Message(rule, value);
        case ValueRule::Kind::OneOf:
            return InList(rule.values, Judged(rule, value), rule.caseSensitive) ? std::string() : Message(rule, value);
    }
    return {};
}

std::span<const AnalysisDef> Analyses() { return kAnalysisList; }

const AnalysisDef* FindAnalysis(std::string_view subType) {
    for (const AnalysisDef& a : kAnalysisList)
        if (SameName(a.subType, subType)) return &a;
    return nullptr;
}

const AnalysisDef& AnalysisOf(Analysis id) { return kAnalysisList[static_cast<size_t>(id)]; }

int16_t AnalysisSortOrder(std::string_view subType) {
    const AnalysisDef* a = FindAnalysis(subType);
    return a ? a->sortOrder : int16_t{0};
}

std::string ScenarioTableOutputMessage(std::string_view outputName, const std::vector<std::string>& inUse) {
    std::vector<std::string_view> tables = {kScenariosTable, kOptionsTable, kFieldsTable};
    tables.insert(tables.end(), inUse.begin(), inUse.end());
    for (std::string_view table : tables) {
        if (table.empty() || !vb::EqualsNoCase(outputName, table)) continue;
        return "The output table name [" + std::string(outputName) + "] is the name of the scenario table " +
               std::string(table) +
               ", which holds the saved scenarios: the results would replace it. Choose another name for the output "
               "table.";
    }
    return {};
}

}  // namespace store
