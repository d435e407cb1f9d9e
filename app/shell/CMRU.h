// CMRU: the recently used databases, kept as string values under one
// registry key ("MRU1".."MRU4" the paths, "MRUTAG1".."MRUTAG4" their
// switches) and shown in a group of menu items: item 0 a separator, item n
// entry n, captioned "&n. path" with the switches in the item's data.
#pragma once

#include <QPointer>
#include <cstdint>
#include <string>
#include <vector>

class QAction;

class CMRU {
public:
    CMRU();

    const std::string& RegistryPath() const { return registryPath_; }
    void RegistryPath(const std::string& value) { registryPath_ = value; }
    int32_t Hive() const { return hive_; }
    void Hive(int32_t value) { hive_ = value; }
    int MaxMRUItems() const { return maxItems_; }
    // Resizes the menu-item group to 0..value, keeping the items already set.
    void MaxMRUItems(int value);
    QAction* MenuItem(int index) const;
    // Ignored outside 0..MaxMRUItems.
    void MenuItem(int index, QAction* item);
    const std::string& Prefix() const { return prefix_; }
    void Prefix(const std::string& value) { prefix_ = value; }
    const std::string& TagPrefix() const { return tagPrefix_; }
    void TagPrefix(const std::string& value) { tagPrefix_ = value; }
    const std::string& SubFolder() const { return subFolder_; }
    void SubFolder(const std::string& value) { subFolder_ = value; }

    // Reads the list and refreshes the menu items.
    void GetMRUList();
    // Puts the path with its switches on top (an earlier entry of the same
    // path in any letter case is replaced), writes the list and refreshes the
    // menu. An empty path clears the list.
    void SetMRUList(const std::string& path, const std::string& switches);

    // The tag (switches) a menu item keeps.
    static std::string TagOf(const QAction* item);

private:
    std::string Key() const;
    std::string ReadValue(const std::string& name) const;
    void WriteValue(const std::string& name, const std::string& value) const;

    std::string registryPath_;
    int32_t hive_;
    int maxItems_ = 4;
    std::vector<QPointer<QAction>> items_;
    std::string prefix_ = "MRU";
    std::string tagPrefix_ = "MRUTAG";
    std::string subFolder_ = "MRU";
};
