#include "shell/CMRU.h"

#include <cctype>

#include "registry/Registry.h"
#include "vb/App.h"

namespace {
std::string Upper(std::string s) {
    for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return s;
}
}  // namespace

CMRU::CMRU() : registryPath_("SOFTWARE\\" + vb::App().title), hive_(reg::HKEY_LOCAL_MACHINE) {}

void CMRU::MaxMRUItems(int value) {
    if (value >= 0) maxItems_ = value;
}

std::string CMRU::Key() const { return registryPath_ + "\\" + subFolder_; }

std::string CMRU::ReadValue(const std::string& name) const {
    std::optional<reg::Value> value = reg::QueryValue(hive_, Key(), name);
    if (!value || value->type != reg::REG_SZ || value->data.empty()) return {};
    std::string text = value->data;
    size_t nul = text.find('\0');
    if (nul != std::string::npos) text.resize(nul);
    return text;
}

void CMRU::WriteValue(const std::string& name, const std::string& value) const {
    std::string data = value;
    data.push_back('\0');
    reg::SetValue(hive_, Key(), name, reg::REG_SZ, data);
}

void CMRU::GetMRUList() {
    entries_.clear();
    // A gap in the stored values closes up.
    for (int n = 1; n <= maxItems_; ++n) {
        std::string path = ReadValue(prefix_ + std::to_string(n));
        if (!path.empty()) entries_.push_back({path, ReadValue(tagPrefix_ + std::to_string(n))});
    }
    emit Changed();
}

void CMRU::SetMRUList(const std::string& path, const std::string& switches) {
    if (path.empty()) {
        for (int n = 1; n <= maxItems_; ++n) {
            WriteValue(prefix_ + std::to_string(n), "");
            WriteValue(tagPrefix_ + std::to_string(n), "");
        }
        GetMRUList();
        return;
    }
    std::vector<std::pair<std::string, std::string>> list{{path, switches}};
    for (int n = 1; n <= maxItems_; ++n) {
        std::string old = ReadValue(prefix_ + std::to_string(n));
        if (!old.empty() && Upper(old) != Upper(path))
            list.emplace_back(old, ReadValue(tagPrefix_ + std::to_string(n)));
    }
    for (size_t n = 1; n <= list.size() && n <= size_t(maxItems_); ++n) {
        WriteValue(prefix_ + std::to_string(n), list[n - 1].first);
        WriteValue(tagPrefix_ + std::to_string(n), list[n - 1].second);
    }
    GetMRUList();
}
