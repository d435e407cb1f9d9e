#include "ZantelsScenario.h"

#include "vb/Conversions.h"

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
