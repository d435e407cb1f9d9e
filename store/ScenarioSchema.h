// The layout of the three scenario tables, kept as data: one list of column
// definitions and one of index definitions per table. The tables are a stored
// format shared with the engine and with every database users already have,
// so names (with their letter case), column order, types, sizes, rules,
// defaults, descriptions and index names must not change. The builders lay
// the tables down from these lists; the program's save, load and duplicate
// code reads the same lists.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

#include "dao/Dao.h"

namespace store {

inline constexpr std::string_view kScenariosTable = "usysQuarnScenarios";
inline constexpr std::string_view kOptionsTable = "usysQuarnOptions";
inline constexpr std::string_view kFieldsTable = "usysQuarnFields";

// Every save of a scenario writes this format mark into Scenario_Version.
inline constexpr std::string_view kScenarioVersion = "V5   ";

// How a column's AllowZeroLength is set at creation (only Text columns set it).
enum class ZeroLength : uint8_t { NotSet, Refused, Allowed };

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

    // The spelling the rest of the system uses for this column.
    constexpr std::string_view Name() const { return addressedAs.empty() ? name : addressedAs; }

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
    constexpr ColumnDef Validation(std::string_view rule, std::string_view text) const {
        ColumnDef c = *this;
        c.validationRule = rule;
        c.validationText = text;
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

// The analyses a scenario can run: family letter, sub-type name as stored,
// and the SortOrder the scenario row carries.
struct AnalysisDef {
    std::string_view family;
    std::string_view subType;
    int16_t sortOrder;
};
std::span<const AnalysisDef> Analyses();
// SortOrder for a sub-type name (compared without regard to case); 0 for a name not listed.
int16_t AnalysisSortOrder(std::string_view subType);

}  // namespace store
