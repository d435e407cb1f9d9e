#include "ProgramSettings.h"

#include "MemberError.h"
#include "vb/Conversions.h"

std::string CProgramSettings::ComposedKey() const {
    std::string key = mainBranch_ + "\\" + regBase_ + "\\" + program_ + "\\" + section_;
    if (!key.empty() && key.back() == '\\') key.pop_back();
    return key;
}

void CProgramSettings::WriteEntry(const std::string& strEntry, const std::string& strValue) {
    try {
        SetKeyValue(rootKey_, ComposedKey(), strEntry, vb::Variant(strValue), reg::REG_SZ);
    } catch (...) {
        common::ShowMemberError("WriteEntry");
    }
}

std::string CProgramSettings::ReadEntry(const std::string& strEntry, const std::string& strDefault) {
    try {
        vb::Variant value = GetKeyValue(rootKey_, ComposedKey(), strEntry);
        std::string text = value.IsEmpty() ? std::string() : value.ToString();
        return text.empty() ? strDefault : text;
    } catch (...) {
        common::ShowMemberError("ReadEntry");
        return {};
    }
}

void CProgramSettings::SetKeyValue(int32_t root, const std::string& key, const std::string& name,
                                   const vb::Variant& value, int32_t type) {
    try {
        // Failures of the store itself are ignored: the settings stay as they were.
        if (type == static_cast<int32_t>(reg::REG_SZ)) {
            std::string data = value.ToString();
            data += '\0';
            reg::SetValue(root, key, name, reg::REG_SZ, data);
        } else if (type == static_cast<int32_t>(reg::REG_DWORD)) {
            reg::SetValue(root, key, name, reg::REG_DWORD, reg::DwordBytes(static_cast<uint32_t>(vb::CLng(value))));
        }
    } catch (...) {
        common::ShowMemberError("SetKeyValue");
    }
}

vb::Variant CProgramSettings::GetKeyValue(int32_t root, const std::string& key, const std::string& name) {
    vb::Variant result;
    try {
        auto value = reg::QueryValue(root, key, name);
        if (!value) return result;
        if (value->type == reg::REG_SZ) {
            // A stored terminating NUL is dropped; a string stored without one comes back whole.
            std::string data = value->data;
            if (!data.empty() && data.back() == '\0') data.pop_back();
            result = vb::Variant(data);
        } else if (value->type == reg::REG_DWORD && value->data.size() == 4) {
            result = vb::Variant(static_cast<int32_t>(reg::DwordValue(value->data)));
        }
    } catch (...) {
        common::ShowMemberError("GetKeyValue");
    }
    return result;
}
