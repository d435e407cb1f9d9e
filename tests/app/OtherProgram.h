// Another program's connection to a database file, as a second process holds
// it: plain SQLite, outside the data-access layer, closed when it goes.
#pragma once

#include <sqlite3.h>

#include <string>

namespace apptest {

class OtherProgram {
public:
    // busyMs: how long its statements wait for a lock (0: not at all).
    explicit OtherProgram(const std::string& path, int busyMs = 0) : openRc_(sqlite3_open(path.c_str(), &db_)) {
        if (busyMs > 0) sqlite3_busy_timeout(db_, busyMs);
    }
    ~OtherProgram() { sqlite3_close(db_); }
    OtherProgram(const OtherProgram&) = delete;
    OtherProgram& operator=(const OtherProgram&) = delete;

    int OpenResult() const { return openRc_; }
    int Exec(const std::string& sql) { return sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, nullptr); }
    std::string Error() const { return sqlite3_errmsg(db_); }

private:
    sqlite3* db_ = nullptr;
    int openRc_;
};

}  // namespace apptest
