// Temporary database files for the data-access tests.
#pragma once

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <atomic>
#include <filesystem>
#include <string>

#include <unistd.h>

#include "dao/Dao.h"

namespace daotest {

// A fresh folder per test, removed afterwards; a fresh engine per test.
class DaoTest : public ::testing::Test {
protected:
    void SetUp() override {
        static std::atomic<int> counter{0};
        dir_ = std::filesystem::temp_directory_path() /
               ("merivox_dao_" + std::to_string(::getpid()) + "_" + std::to_string(counter++));
        std::filesystem::create_directories(dir_);
        dao::ReleaseDBEngine();
    }
    void TearDown() override {
        dao::ReleaseDBEngine();
        std::error_code ec;
        std::filesystem::remove_all(dir_, ec);
    }
    std::string Path(const std::string& name) const { return (dir_ / name).string(); }
    dao::DatabasePtr NewDb(const std::string& name = "t.db") { return dao::DBEngine().CreateDatabase(Path(name)); }

    std::filesystem::path dir_;
};

// Puts the file of `db` into WAL mode as another tool would, through a
// connection of its own; returns this layer's connection to it opened again.
inline dao::DatabasePtr InWalMode(const dao::DatabasePtr& db) {
    const std::string path = db->Name();
    db->Close();
    sqlite3* raw = nullptr;
    sqlite3_open(path.c_str(), &raw);
    sqlite3_exec(raw, "PRAGMA journal_mode=WAL", nullptr, nullptr, nullptr);
    sqlite3_close(raw);
    return dao::DBEngine().OpenDatabase(path);
}

// Runs `f` and returns the VbError number it raised (0 when none).
template <class F>
int ErrorOf(F&& f) {
    try {
        f();
    } catch (const vb::VbError& e) {
        return e.Number();
    }
    return 0;
}

}  // namespace daotest
