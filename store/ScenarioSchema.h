// The layout of the three scenario tables, kept as data: one list of column
// definitions and one of index definitions per table. The tables are a stored
// format shared with the engine and with every database users already have,
// so names (with their letter case), column order, types, sizes, rules,
// defaults, descriptions and index names must not change. The builders lay
// the tables down from these lists.
//
// The same list says how each column meets the two scenario objects (the
// engine's and the program's): the property it fills, how a Null reads, what
// a new scenario starts with, how a save writes it, which analyses read it and
// the rule its stored value must keep. The engine's loader, the engine's
// scenario object and the program's wizard object read these lists rather
// than keeping their own; a duplicate copies every column of the two rows
// but the scenario's number, whatever its mapping.
#pragma once

#include <cstddef>
#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "dao/Dao.h"
#include "vb/Variant.h"

namespace store {

inline constexpr std::string_view kScenariosTable = "usysQuarnScenarios";
inline constexpr std::string_view kOptionsTable = "usysQuarnOptions";
inline constexpr std::string_view kFieldsTable = "usysQuarnFields";

// Every save of a scenario writes this format mark into Scenario_Version.
inline constexpr std::string_view kScenarioVersion = "V5   ";

// How a column's AllowZeroLength is set at creation (only Text columns set it).
enum class ZeroLength : uint8_t { NotSet, Refused, Allowed };

// The analyses, in the order of their list below.
enum class Analysis : uint8_t {
    Describe,
    Frequency,
    Percentiles,
    Compare,
    Matrix,
    Regression,
    Crosstab,
    TwoSampleTTest,
    Anova,
    TwoWayAnova,
    ChiSquare,
    SignTest,
    KSFit,
    TwoSample,
    NSample,
    PairedFields,
    NFields,
};

// A set of analyses, one bit each.
using AnalysisSet = uint32_t;
constexpr AnalysisSet Bit(Analysis a) { return AnalysisSet{1} << static_cast<unsigned>(a); }
inline constexpr AnalysisSet kEveryAnalysis = ~AnalysisSet{0};
inline constexpr AnalysisSet kGroupAnalyses =
    Bit(Analysis::TwoSampleTTest) | Bit(Analysis::Anova) | Bit(Analysis::TwoWayAnova);

// The type of a scenario object's property.
enum class PropertyKind : uint8_t {
    None,
    Text,     // Null reads as the empty text in the engine
    Flag,     // Null cannot convert: the property keeps its value
    Integer,  // 16-bit; Null cannot convert
    Long,     // 32-bit; Null cannot convert
    Double,   // Null cannot convert
    Variant,  // the stored value as it is, Null included
};

// Which scenario objects carry a column's property.
enum Holder : uint8_t {
    kEngineObject = 1,  // CZantelsScenario has the property
    kEngineLoads = 2,   // the engine's loader fills it
    kWizardObject = 4,  // CZantelsPropWiz has it, and Edit reads it back
};

// How the program's Edit reads a stored Null into the wizard object.
enum class EditNull : uint8_t {
    NotRead,
    EmptyText,   // Null joined to an empty text: ""
    JoinedText,  // a variant that receives the value joined to a text: Null gives "", a number its text
    Kept,        // the value unchanged, Null included
    Refused,     // a strict conversion: Null is a conversion error
};

// How the program's save writes the column from the wizard object.
enum class SaveAs : uint8_t {
    NotWritten,
    AsHeld,          // the property as held
    EmptyToNull,     // Null when the value is Null or an empty text
    Key,             // the scenario's number (new rows only; the scenarios table's counter assigns its own)
    SortOrder,       // the sort order of the property CalcType
    VersionMark,     // always kScenarioVersion
    NowWhenNew,      // the current date and time, new scenarios only
    UserWhenNew,     // the workspace's user name, new scenarios only
    NowWhenEdited,   // the current date and time, saves of an existing scenario only
    UserWhenEdited,  // the workspace's user name, saves of an existing scenario only
    Filler,          // 255 blanks
};

// What an option reads as when it is blank (IsBlankOption), or when its
// column is absent from a table made before the option existed. Nothing
// reads such a blank as 0, False or the empty text that no user chose.
enum class IfBlank : uint8_t {
    NotGiven,  // Null, "not given": a run that needs the value refuses it, naming the option
    NewValue,  // the value a new scenario starts with (NewScenarioValue)
};

// The rule a stored value must keep for the engine to run the scenario. A
// Null or empty value passes unless the rule requires a value.
struct ValueRule {
    enum class Kind : uint8_t { None, Between, Above, OneOf } kind = Kind::None;
    double low = 0;                // Between: inclusive bounds; Above: exclusive bound
    double high = 0;               //
    std::string_view values = {};  // OneOf: the allowed texts separated by "|"
    bool caseSensitive = false;    // OneOf: compare with letter case
    bool firstLetter = false;      // OneOf: only the first character counts (and is named)
    bool required = false;         // Null and the empty text fail
    bool namesValue = false;       // the message ends with the stored value
    std::string_view text = {};    // the message of a value that breaks the rule
};

struct ColumnDef {
    std::string_view name;       // as created
    int16_t type = dao::dbText;  // DAO type code
    int32_t size = 0;            // size given at creation; 0: none given
    int32_t attributes = 0;      // 0: not set
    ZeroLength zeroLength = ZeroLength::NotSet;
    std::string_view defaultValue = {};    // DefaultValue text; empty: none
    std::string_view validationRule = {};  // empty: none
    std::string_view validationText = {};  // empty: none
    std::string_view description = {};     // "Description" property; empty: none
    std::string_view addressedAs = {};     // spelling used elsewhere; empty: as created

    // The scenario objects' side.
    std::string_view property = {};  // property name in both objects; empty: none
    PropertyKind kind = PropertyKind::None;
    uint8_t holders = 0;             // Holder bits
    AnalysisSet readBy = 0;          // the analyses whose runs read the value
    std::string_view newValue = {};  // what New sets; empty: not set by New
    EditNull editNull = EditNull::NotRead;
    SaveAs saveAs = SaveAs::NotWritten;
    ValueRule rule = {};
    IfBlank ifBlank = IfBlank::NotGiven;

    // The spelling the rest of the system uses for this column.
    constexpr std::string_view Name() const { return addressedAs.empty() ? name : addressedAs; }
    constexpr bool HeldBy(Holder h) const { return (holders & h) != 0; }

    constexpr ColumnDef Default(std::string_view v) const {
        ColumnDef c = *this;
        c.defaultValue = v;
        return c;
    }
    constexpr ColumnDef Describe(std::string_view v) const {
        ColumnDef c = *this;
        c.description = v;
        return c;
    }
    constexpr ColumnDef AddressedAs(std::string_view v) const {
        ColumnDef c = *this;
        c.addressedAs = v;
        return c;
    }
    constexpr ColumnDef Validation(std::string_view rule_, std::string_view text) const {
        ColumnDef c = *this;
        c.validationRule = rule_;
        c.validationText = text;
        return c;
    }
    // The property this column fills, of the given kind, held by the given objects.
    constexpr ColumnDef Property(std::string_view p, PropertyKind k, uint8_t h, EditNull e, SaveAs s) const {
        ColumnDef c = *this;
        c.property = p;
        c.kind = k;
        c.holders = h;
        c.editNull = e;
        c.saveAs = s;
        return c;
    }
    constexpr ColumnDef ReadBy(AnalysisSet a) const {
        ColumnDef c = *this;
        c.readBy = a;
        return c;
    }
    constexpr ColumnDef New(std::string_view v) const {
        ColumnDef c = *this;
        c.newValue = v;
        return c;
    }
    constexpr ColumnDef Rule(ValueRule r) const {
        ColumnDef c = *this;
        c.rule = r;
        return c;
    }
    constexpr ColumnDef Blank(IfBlank b) const {
        ColumnDef c = *this;
        c.ifBlank = b;
        return c;
    }
};

struct IndexDef {
    std::string_view name;
    bool primary = false;
    std::span<const std::string_view> fields;
};

struct TableSchema {
    std::string_view name;
    std::span<const ColumnDef> columns;
    std::span<const IndexDef> indexes;

    // The column with this name, compared without regard to case; nullptr when absent.
    const ColumnDef* Column(std::string_view column) const;
};

const TableSchema& ScenariosSchema();
const TableSchema& OptionsSchema();
const TableSchema& FieldsSchema();

// The column whose property has this name (compared without regard to case),
// in the scenarios or the options table; nullptr when none.
const ColumnDef* PropertyColumn(std::string_view property);

// The value a new scenario starts with in the column's property, typed as
// the column: its newValue; False for a Boolean column without one, Null for
// any other.
vb::Variant NewScenarioValue(const ColumnDef& column);

// A database made before a column was added to its table lacks it (an
// analysis added later brings option columns of its own). Reading never
// changes such a table: a row read from it gives the column what its blank
// reads as (IfBlank::NewValue: the new scenario's value), else what an added
// column holds in the rows already there (AddedColumnValue). AddMissingColumns gives the rows
// already there this same value, so that a save changes none of them.
vb::Variant AbsentColumnValue(const ColumnDef& column);
// What the rows already in a table hold in a column just added to it: its
// default, False for a Boolean column without one, Null for any other.
vb::Variant AddedColumnValue(const ColumnDef& column);
// The column's value in a row read from its table, or AbsentColumnValue when
// the table lacks the column.
vb::Variant StoredValue(const dao::RecordsetPtr& row, const ColumnDef& column);
// Whether a stored value is blank: Null, Empty or the empty text (which the
// sqlite3 shell and other tools store for an empty cell). A text of spaces
// is not blank: it is a value, judged by the column's rule.
bool IsBlankOption(const vb::Variant& value);
// What a run, and the program's Edit, read from a stored value: a blank
// reads as its column's IfBlank says (the new scenario's value, or Null);
// any other value is itself.
vb::Variant ReadAs(const ColumnDef& column, const vb::Variant& value);

// Checks a stored value against the column's rule: the empty text when it
// keeps it, else the message (the rule's text, with the value when the rule
// names it). Numbers are tested as numbers: a text that is not one fails a
// numeric rule. A non-finite number in a Double column always fails.
std::string CheckValue(const ColumnDef& column, const vb::Variant& value);

// The field roles a field row can carry ("G" group, "C" compare, "X" value,
// "Y" dependent, "W" weight), as the rule of FieldDef_Choice.
inline constexpr std::string_view kFieldRoles = "GCXYW";

// How many fields of each role a run of an analysis needs and takes. The
// analyses find their fields by position (group, compare, value, Y, weight),
// so a role an analysis does not take is refused rather than left to shift
// the others. The engine's dispatch and the wizard's field page both judge a
// scenario's roles by this rule.
struct RoleRule {
    static constexpr uint8_t kMany = 0xFF;
    uint8_t groupMin = 0;    // group fields needed (a crosstab's row fields)
    uint8_t compareMin = 0;  // compare fields needed
    uint8_t compareMax = 0;  // compare fields taken at most: 0 none, kMany no limit
    uint8_t valueMin = 1;    // value (X) fields needed
    bool y = false;          // a Y field is taken, and needed
    bool weight = true;      // a weight field is taken
};

// The analyses a scenario can run: family letter, sub-type name as stored,
// the SortOrder the scenario row carries, its field roles, the Flag property
// that switches its second output table on (empty: it writes one table), the
// output tables' names a new scenario proposes (after the user's prefix), and
// the wizard page of its options.
struct AnalysisDef {
    std::string_view family;
    std::string_view subType;
    int16_t sortOrder;
    Analysis id;
    RoleRule roles = {};
    std::string_view secondTable = {};
    std::string_view outputStem1 = {};
    std::string_view outputStem2 = {};
    int16_t optionsPage = 0;
};

// Role rules: the run's needs. A crosstab's column field is its one compare
// field; chi-square's fields are all compare fields; a two-way ANOVA runs
// every pair of its factors (its wizard page asks for two).
inline constexpr RoleRule kRolesValues{};
inline constexpr RoleRule kRolesValuesAndY{.y = true};
inline constexpr RoleRule kRolesRowsColumnValues{.groupMin = 1, .compareMin = 1, .compareMax = 1, .valueMin = 0};
inline constexpr RoleRule kRolesOneCompare{.compareMin = 1, .compareMax = 1};
inline constexpr RoleRule kRolesCompares{.compareMin = 1, .compareMax = RoleRule::kMany};
inline constexpr RoleRule kRolesComparesOnly{.compareMin = 1, .compareMax = RoleRule::kMany, .valueMin = 0};
inline constexpr RoleRule kRolesTwoValues{.valueMin = 2};

// The analyses, in the order of their ids. Tables of other parts keyed by the
// analysis check at compile time that they cover this list.
inline constexpr std::array kAnalysisList{
    AnalysisDef{.family = "P",
                .subType = "Describe",
                .sortOrder = 100,
                .id = Analysis::Describe,
                .roles = kRolesValues,
                .outputStem1 = "Describe",
                .optionsPage = 4},
    AnalysisDef{.family = "P",
                .subType = "Frequency",
                .sortOrder = 200,
                .id = Analysis::Frequency,
                .roles = kRolesValues,
                .outputStem1 = "Frequency",
                .optionsPage = 5},
    AnalysisDef{.family = "P",
                .subType = "Percentiles",
                .sortOrder = 300,
                .id = Analysis::Percentiles,
                .roles = kRolesValues,
                .outputStem1 = "Percentiles",
                .optionsPage = 6},
    AnalysisDef{.family = "P",
                .subType = "Compare",
                .sortOrder = 400,
                .id = Analysis::Compare,
                .roles = kRolesValuesAndY,
                .outputStem1 = "Compare",
                .optionsPage = 7},
    AnalysisDef{.family = "P",
                .subType = "Matrix",
                .sortOrder = 500,
                .id = Analysis::Matrix,
                .roles = kRolesValues,
                .outputStem1 = "Matrix",
                .optionsPage = 8},
    AnalysisDef{.family = "P",
                .subType = "Regression",
                .sortOrder = 600,
                .id = Analysis::Regression,
                .roles = kRolesValuesAndY,
                .secondTable = "Residual",
                .outputStem1 = "Regression",
                .outputStem2 = "Residual",
                .optionsPage = 9},
    AnalysisDef{.family = "P",
                .subType = "Crosstab",
                .sortOrder = 700,
                .id = Analysis::Crosstab,
                .roles = kRolesRowsColumnValues,
                .secondTable = "XChi",
                .outputStem1 = "Crosstab",
                .outputStem2 = "Crosstab Chi-Square",
                .optionsPage = 10},
    AnalysisDef{.family = "G",
                .subType = "Two Sample t-Test",
                .sortOrder = 100,
                .id = Analysis::TwoSampleTTest,
                .roles = kRolesOneCompare,
                .secondTable = "GroupDetail",
                .outputStem1 = "Two Sample t-Test",
                .outputStem2 = "Two Sample t-Test Details",
                .optionsPage = 11},
    AnalysisDef{.family = "G",
                .subType = "ANOVA",
                .sortOrder = 200,
                .id = Analysis::Anova,
                .roles = kRolesCompares,
                .secondTable = "GroupDetail",
                .outputStem1 = "ANOVA",
                .outputStem2 = "ANOVA Details",
                .optionsPage = 11},
    AnalysisDef{.family = "G",
                .subType = "Two way ANOVA",
                .sortOrder = 300,
                .id = Analysis::TwoWayAnova,
                .roles = kRolesCompares,
                .secondTable = "GroupDetail",
                .outputStem1 = "Two Way ANOVA",
                .outputStem2 = "Two Way ANOVA Details",
                .optionsPage = 11},
    AnalysisDef{.family = "N",
                .subType = "Chi-Square",
                .sortOrder = 100,
                .id = Analysis::ChiSquare,
                .roles = kRolesComparesOnly,
                .secondTable = "ChiDetail",
                .outputStem1 = "Chi-Square",
                .outputStem2 = "Chi-Square Details",
                .optionsPage = 12},
    AnalysisDef{.family = "N",
                .subType = "Sign Test",
                .sortOrder = 200,
                .id = Analysis::SignTest,
                .roles = kRolesValues,
                .outputStem1 = "SignTest",
                .optionsPage = 13},
    AnalysisDef{.family = "N",
                .subType = "K-S Fit",
                .sortOrder = 300,
                .id = Analysis::KSFit,
                .roles = kRolesValues,
                .outputStem1 = "K-S Fit",
                .optionsPage = 14},
    AnalysisDef{.family = "N",
                .subType = "2 Sample",
                .sortOrder = 400,
                .id = Analysis::TwoSample,
                .roles = kRolesOneCompare,
                .outputStem1 = "2 Sample",
                .optionsPage = 15},
    AnalysisDef{.family = "N",
                .subType = "N Sample",
                .sortOrder = 500,
                .id = Analysis::NSample,
                .roles = kRolesOneCompare,
                .secondTable = "NPKruskalDetail",
                .outputStem1 = "N Sample Kruskal",
                .outputStem2 = "N Sample Kruskal Details",
                .optionsPage = 16},
    AnalysisDef{.family = "N",
                .subType = "Paired Fields",
                .sortOrder = 600,
                .id = Analysis::PairedFields,
                .roles = kRolesValuesAndY,
                .outputStem1 = "PairedFields",
                .optionsPage = 17},
    AnalysisDef{.family = "N",
                .subType = "N Fields",
                .sortOrder = 700,
                .id = Analysis::NFields,
                .roles = kRolesTwoValues,
                .secondTable = "NPFriedmanDetail",
                .outputStem1 = "N Fields Friedman",
                .outputStem2 = "N Fields Friedman Details",
                .optionsPage = 18},
};
static_assert(
    [] {
        for (size_t i = 0; i < kAnalysisList.size(); ++i)
            if (static_cast<size_t>(kAnalysisList[i].id) != i) return false;
        return true;
    }(),
    "the analysis list stands in the order of its ids: a new row goes where its id stands in Analysis");
static_assert(
    [] {
        for (const AnalysisDef& a : kAnalysisList)
            if ((a.family == "G") != ((kGroupAnalyses & Bit(a.id)) != 0)) return false;
        return true;
    }(),
    "kGroupAnalyses holds exactly the analyses of the family \"G\": a new group analysis goes into it");
// How many analyses there are: the rows of the list.
inline constexpr size_t kAnalysisCount = kAnalysisList.size();
static_assert(kAnalysisCount <= sizeof(AnalysisSet) * 8, "AnalysisSet has one bit per analysis: widen it");

std::span<const AnalysisDef> Analyses();
// The analysis of exactly this sub-type name (with letter case); nullptr for any other text.
constexpr const AnalysisDef* ExactAnalysis(std::string_view subType) {
    for (const AnalysisDef& a : kAnalysisList)
        if (a.subType == subType) return &a;
    return nullptr;
}
// The analysis with this sub-type name (compared without regard to case); nullptr for a name not listed.
const AnalysisDef* FindAnalysis(std::string_view subType);
// The entry of an analysis.
const AnalysisDef& AnalysisOf(Analysis id);
// SortOrder for a sub-type name (compared without regard to case); 0 for a name not listed.
int16_t AnalysisSortOrder(std::string_view subType);

// An output table of that name would replace one of the scenario tables and
// lose every saved scenario: the message that refuses it (naming the table),
// or the empty text for a name that is no scenario table in any letter case.
// A client may keep its scenarios under other table names: those are passed
// as `inUse` and refused as well.
std::string ScenarioTableOutputMessage(std::string_view outputName, const std::vector<std::string>& inUse = {});

}  // namespace store
