#include "ZantelsScenario.h"

#include <type_traits>

#include "vb/Conversions.h"

namespace {

template <typename T>
T Converted(const vb::Variant& value) {
    if constexpr (std::is_same_v<T, std::string>)
        return value.IsNull() || value.IsEmpty() ? std::string() : value.ToString();
    else
        return store::PropertyValue<T>(value);
}

}  // namespace

bool CZantelsScenario::SetProperty(std::string_view name, const vb::Variant& value) {
    if (vb::EqualsNoCase(name, "Scenario_Type")) {
        Scenario_Type(Converted<std::string>(value));
        return true;
    }
#define MERIVOX_SCENARIO_SET(prop, type)                                                                               \
    if (vb::EqualsNoCase(name, #prop)) {                                                                               \
        prop(Converted<type>(value));                                                                                  \
        return true;                                                                                                   \
    }
    MERIVOX_SCENARIO_PROPERTIES(MERIVOX_SCENARIO_SET)
#undef MERIVOX_SCENARIO_SET
    return false;
}

store::PropertyKind CZantelsScenario::KindOf(std::string_view name) {
    if (vb::EqualsNoCase(name, "Scenario_Type")) return store::PropertyKind::Text;
#define MERIVOX_SCENARIO_KIND(prop, type)                                                                              \
    if (vb::EqualsNoCase(name, #prop)) return store::KindOfType<type>();
    MERIVOX_SCENARIO_PROPERTIES(MERIVOX_SCENARIO_KIND)
#undef MERIVOX_SCENARIO_KIND
    return store::PropertyKind::None;
}

std::vector<std::string_view> CZantelsScenario::PropertyNames() {
    std::vector<std::string_view> names{"Scenario_Type"};
#define MERIVOX_SCENARIO_NAME(prop, type) names.push_back(#prop);
    MERIVOX_SCENARIO_PROPERTIES(MERIVOX_SCENARIO_NAME)
#undef MERIVOX_SCENARIO_NAME
    return names;
}

void CZantelsScenario::Scenario_Type(const std::string& value) {
    if (value == "P" || value == "G" || value == "N") scenarioType_ = value;
}

ScenarioFieldPtr CZantelsScenario::AddField(const std::string& Field_Name, const std::string& Choice,
                                            const std::string& sKey) {
    if (!sKey.empty()) {
        for (const auto& key : keys_) {
            if (vb::EqualsNoCase(key, sKey))
                vb::Raise(457, "This key is already associated with an element of this collection");
        }
    }
    auto field = std::make_shared<CZantelsScenarioField>();
    field->Field_Name(Field_Name);
    field->Choice(Choice);
    fields_.push_back(field);
    keys_.push_back(sKey);
    return field;
}

size_t CZantelsScenario::IndexOf(const vb::Variant& vntIndexKey) const {
    if (vntIndexKey.IsString()) {
        const std::string& key = vntIndexKey.String();
        for (size_t i = 0; i < keys_.size(); ++i) {
            if (!keys_[i].empty() && vb::EqualsNoCase(keys_[i], key)) return i;
        }
        vb::Raise(vb::err::kInvalidProcedureCall);
    }
    const int32_t position = vntIndexKey.ToLong();
    if (position < 1 || position > FieldCount()) vb::Raise(vb::err::kSubscriptOutOfRange);
    return static_cast<size_t>(position - 1);
}

ScenarioFieldPtr CZantelsScenario::Item(const vb::Variant& vntIndexKey) const { return fields_[IndexOf(vntIndexKey)]; }

void CZantelsScenario::Remove(const vb::Variant& vntIndexKey) {
    const size_t i = IndexOf(vntIndexKey);
    fields_.erase(fields_.begin() + static_cast<std::ptrdiff_t>(i));
    keys_.erase(keys_.begin() + static_cast<std::ptrdiff_t>(i));
}
