// CProgramSettings: named string values under one registry key composed of
// MainBranch, RegBase, Program and Section joined by backslashes (a trailing
// backslash removed), below the root RootKey.
#pragma once

#include <cstdint>
#include <string>

#include "registry/Registry.h"
#include "vb/Variant.h"

class CProgramSettings {
public:
    const std::string& Section() const { return section_; }
    void Section(const std::string& value) { section_ = value; }
    const std::string& Program() const { return program_; }
    void Program(const std::string& value) { program_ = value; }
    const std::string& RegBase() const { return regBase_; }
    void RegBase(const std::string& value) { regBase_ = value; }
    const std::string& MainBranch() const { return mainBranch_; }
    void MainBranch(const std::string& value) { mainBranch_ = value; }
    int32_t RootKey() const { return rootKey_; }
    void RootKey(int32_t value) { rootKey_ = value; }

    // Writes a string value, creating the key when it is missing. A key that
    // cannot be written is left as it was, without a message.
    void WriteEntry(const std::string& strEntry, const std::string& strValue);
    // The value as text (a 32-bit number as its decimal text); strDefault when
    // it is missing, empty, of another type or unreadable.
    std::string ReadEntry(const std::string& strEntry, const std::string& strDefault);

private:
    std::string ComposedKey() const;
    // Type 1 (string) or 4 (32-bit number); other types write nothing.
    void SetKeyValue(int32_t root, const std::string& key, const std::string& name, const vb::Variant& value,
                     int32_t type);
    // A string, a 32-bit number, or Empty.
    vb::Variant GetKeyValue(int32_t root, const std::string& key, const std::string& name);

    int32_t rootKey_ = reg::HKEY_LOCAL_MACHINE;
    std::string mainBranch_ = "SOFTWARE";
    std::string regBase_;
    std::string program_;
    std::string section_ = "Settings";
};
