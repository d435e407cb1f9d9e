// CMRU: the recently used databases, kept as string values under one
// registry key ("MRU1".."MRU4" the paths, "MRUTAG1".."MRUTAG4" their
// switches). The list is data, newest first: the frame's File menu and the
// open dialog each show Entries() in their own way.
#pragma once

#include <QObject>
#include <cstdint>
#include <string>
#include <vector>

class CMRU : public QObject {
    Q_OBJECT
public:
    // One database of the list and the log-on switches it was opened with.
    struct Entry {
        std::string path;
        std::string switches;
    };

    CMRU();

    const std::string& RegistryPath() const { return registryPath_; }
    void RegistryPath(const std::string& value) { registryPath_ = value; }
    int32_t Hive() const { return hive_; }
    void Hive(int32_t value) { hive_ = value; }
    int MaxMRUItems() const { return maxItems_; }
    void MaxMRUItems(int value);
    const std::string& Prefix() const { return prefix_; }
    void Prefix(const std::string& value) { prefix_ = value; }
    const std::string& TagPrefix() const { return tagPrefix_; }
    void TagPrefix(const std::string& value) { tagPrefix_ = value; }
    const std::string& SubFolder() const { return subFolder_; }
    void SubFolder(const std::string& value) { subFolder_ = value; }

    // The list as last read, at most MaxMRUItems entries.
    const std::vector<Entry>& Entries() const { return entries_; }

    // Reads the list.
    void GetMRUList();
    // Puts the path with its switches on top (an earlier entry of the same
    // path in any letter case is replaced), writes the list and reads it
    // back. An empty path clears the list.
    void SetMRUList(const std::string& path, const std::string& switches);

signals:
    // The list was read or written.
    void Changed();

private:
    std::string Key() const;
    std::string ReadValue(const std::string& name) const;
    void WriteValue(const std::string& name, const std::string& value) const;

    std::string registryPath_;
    int32_t hive_;
    int maxItems_ = 4;
    std::vector<Entry> entries_;
    std::string prefix_ = "MRU";
    std::string tagPrefix_ = "MRUTAG";
    std::string subFolder_ = "MRU";
};
