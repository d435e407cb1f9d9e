#include "shell/CMRU.h"

#include <QAction>
#include <cctype>

#include "registry/Registry.h"
#include "vb/App.h"

namespace {
std::string Upper(std::string s) {
    for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return s;
}
}  // namespace

CMRU::CMRU() : registryPath_("SOFTWARE\\" + vb::App().title), hive_(reg::HKEY_LOCAL_MACHINE) {
    items_.resize(size_t(maxItems_) + 1);
}

void CMRU::MaxMRUItems(int value) {
    if (value < 0) return;
    maxItems_ = value;
    items_.resize(size_t(value) + 1);
}

QAction* CMRU::MenuItem(int index) const {
    if (index < 0 || index > maxItems_) return nullptr;
    return items_[size_t(index)].data();
}

void CMRU::MenuItem(int index, QAction* item) {
    if (index < 0 || index > maxItems_) return;
    items_[size_t(index)] = item;
}

std::string CMRU::TagOf(const QAction* item) { return item ? item->data().toString().toStdString() : std::string(); }

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
    std::vector<std::pair<std::string, std::string>> kept;
    for (int n = 1; n <= maxItems_; ++n) {
        std::string path = ReadValue(prefix_ + std::to_string(n));
        if (path.empty()) continue;
        kept.emplace_back("&" + std::to_string(kept.size() + 1) + ". " + path,
                          ReadValue(tagPrefix_ + std::to_string(n)));
    }
    for (auto& item : items_)
        if (item) item->setVisible(false);
    if (kept.empty()) return;
    if (items_[0]) items_[0]->setVisible(true);
    for (size_t c = 1; c <= kept.size() && c <= size_t(maxItems_); ++c) {
        QAction* item = items_[c].data();
        if (!item) continue;
        item->setText(QString::fromStdString(kept[c - 1].first));
        item->setVisible(true);
        item->setData(QString::fromStdString(kept[c - 1].second));
    }
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
