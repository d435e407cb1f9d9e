// Two lists that must hold the same names, each kept in its own file: what a
// check says when they differ. It names the side that is short, by its place,
// and every name that side lacks, so that the message tells which file to
// extend whichever side it is.
#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "ScenarioSchema.h"

namespace listsagree {

struct Side {
    std::string place;  // the list and its file, as a newcomer looks it up
    std::vector<std::string> names;
};

// The names of `from` that `in` does not hold (compared exactly), in `from`'s order.
inline std::vector<std::string> Lacking(const Side& in, const Side& from) {
    std::vector<std::string> lacking;
    for (const std::string& name : from.names) {
        bool found = false;
        for (const std::string& other : in.names) found = found || other == name;
        if (!found) lacking.push_back(name);
    }
    return lacking;
}

// Empty when both sides hold the same names, in any order; else one line per
// short side: "<place> lacks a, b (which <other place> has)".
inline std::string Differences(const Side& a, const Side& b) {
    std::string message;
    for (const auto& [in, from] : {std::pair{&a, &b}, std::pair{&b, &a}}) {
        const std::vector<std::string> lacking = Lacking(*in, *from);
        if (lacking.empty()) continue;
        message += in->place + " lacks ";
        for (size_t i = 0; i < lacking.size(); ++i) message += (i ? ", " : "") + lacking[i];
        message += " (which " + from->place + " has)\n";
    }
    return message;
}

inline const char* KindName(store::PropertyKind kind) {
    constexpr const char* kNames[] = {"None", "Text", "Flag", "Integer", "Long", "Double", "Variant"};
    return kNames[static_cast<size_t>(kind)];
}

// A scenario object's properties (`names`, with `kindOf` giving each one's
// kind) against the schema's columns that the object holds (`holder`): the
// names either side lacks, and each property whose kind differs.
template <class KindOf>
std::string PropertiesAgree(store::Holder holder, const std::vector<std::string_view>& names, KindOf kindOf) {
    Side schema{"kScenarioColumns and kOptionColumns in store/ScenarioSchema.cpp", {}};
    Side object{"MERIVOX_SCENARIO_PROPERTIES in store/ScenarioProperties.h", {}};
    for (std::string_view name : names) object.names.emplace_back(name);
    std::string message;
    for (const store::TableSchema* table : {&store::ScenariosSchema(), &store::OptionsSchema()})
        for (const store::ColumnDef& c : table->columns) {
            if (!c.HeldBy(holder)) continue;
            schema.names.emplace_back(c.property);
            const store::PropertyKind kind = kindOf(c.property);
            if (kind != store::PropertyKind::None && kind != c.kind)
                message += std::string(c.property) + " is of kind " + KindName(c.kind) +
                           " by its column in store/ScenarioSchema.cpp but " + KindName(kind) +
                           " by its C++ type in store/ScenarioProperties.h\n";
        }
    return Differences(schema, object) + message;
}

}  // namespace listsagree
