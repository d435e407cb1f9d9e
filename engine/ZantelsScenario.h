// The engine's in-memory copy of one stored scenario: the values of its row
// in the scenarios table and in the options table, and its assigned source
// fields with their roles. A plain property bag; only Scenario_Type filters
// what it stores. It never reads or writes a database itself. Which column
// fills which property is the scenario schema's (store/ScenarioSchema.h); a
// test holds the property list below and the schema's to each other.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "ScenarioProperties.h"
#include "ScenarioSchema.h"
#include "vb/Variant.h"

// One assigned source field: its name and its role letter ("G", "C", "X",
// "Y", "W"; not checked here).
class CZantelsScenarioField {
public:
    void Choice(const std::string& value) { choice_ = value; }
    const std::string& Choice() const { return choice_; }
    void Field_Name(const std::string& value) { fieldName_ = value; }
    const std::string& Field_Name() const { return fieldName_; }

private:
    std::string choice_;
    std::string fieldName_;
};
using ScenarioFieldPtr = std::shared_ptr<CZantelsScenarioField>;

// The properties: MERIVOX_SCENARIO_PROPERTIES in store/ScenarioProperties.h.

class CZantelsScenario {
public:
    // Appends a new field; a non-empty sKey must be unique (error 457 otherwise).
    ScenarioFieldPtr AddField(const std::string& Field_Name = {}, const std::string& Choice = {},
                              const std::string& sKey = {});

#define MERIVOX_SCENARIO_ACCESSORS(name, type)                                                                         \
    const type& name() const { return name##_; }                                                                       \
    void name(type value) { name##_ = std::move(value); }
    MERIVOX_SCENARIO_PROPERTIES(MERIVOX_SCENARIO_ACCESSORS)
#undef MERIVOX_SCENARIO_ACCESSORS

    // Sets the property of this name (compared without regard to case) from a
    // stored value, converted to the property's type: a text from Null is the
    // empty text; a flag or number cannot come from Null and raises, as does
    // a value that does not convert. False for a name that is no property.
    bool SetProperty(std::string_view name, const vb::Variant& value);
    // The type of the property of this name; None for a name that is no property.
    static store::PropertyKind KindOf(std::string_view name);
    // Every property name, Scenario_Type included.
    static std::vector<std::string_view> PropertyNames();

    // The family letter: only exactly "P", "G" or "N" is stored; anything
    // else (lower case included) is ignored and the previous value stays.
    const std::string& Scenario_Type() const { return scenarioType_; }
    void Scenario_Type(const std::string& value);

    // A number selects by position (1 = first added), a text by key.
    // Error 9 for a position out of range, 5 for an unknown key.
    ScenarioFieldPtr Item(const vb::Variant& vntIndexKey) const;
    int32_t FieldCount() const { return static_cast<int32_t>(fields_.size()); }
    void Remove(const vb::Variant& vntIndexKey);
    // Enumeration in collection order.
    auto begin() const { return fields_.begin(); }
    auto end() const { return fields_.end(); }

private:
    size_t IndexOf(const vb::Variant& vntIndexKey) const;

#define MERIVOX_SCENARIO_MEMBER(name, type) type name##_{};
    MERIVOX_SCENARIO_PROPERTIES(MERIVOX_SCENARIO_MEMBER)
#undef MERIVOX_SCENARIO_MEMBER

    std::string scenarioType_;
    std::vector<ScenarioFieldPtr> fields_;
    std::vector<std::string> keys_;  // parallel to fields_; "" when stored without a key
};
using ScenarioPtr = std::shared_ptr<CZantelsScenario>;
