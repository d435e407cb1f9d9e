#include "RawSqlite.h"

#include <sqlite3.h>

#include <algorithm>
#include <stdexcept>
#include <thread>

namespace rawsqlite {
namespace {
struct Db {
    sqlite3* db = nullptr;
    explicit Db(const std::string& path) {
        if (sqlite3_open(path.c_str(), &db) != SQLITE_OK) throw std::runtime_error("cannot open " + path);
        sqlite3_busy_timeout(db, 10000);
    }
    ~Db() { sqlite3_close(db); }
    void Exec(const char* sql) {
        if (sqlite3_exec(db, sql, nullptr, nullptr, nullptr) != SQLITE_OK) throw std::runtime_error(sqlite3_errmsg(db));
    }
};

void Insert(Db& d, const std::string& table, int64_t rows, int64_t first) {
    std::string sql = "INSERT INTO \"" + table + "\" (G, A, B, C, D, N) VALUES (?1, ?2, ?3, ?4, ?5, ?6)";
    sqlite3_stmt* st = nullptr;
    if (sqlite3_prepare_v2(d.db, sql.c_str(), -1, &st, nullptr) != SQLITE_OK)
        throw std::runtime_error(sqlite3_errmsg(d.db));
    static const char* groups[] = {"g7", "g2", "g9", "g0", "g5", "g1", "g8", "g3", "g6", "g4"};
    for (int64_t i = first; i < first + rows; ++i) {
        sqlite3_bind_text(st, 1, groups[i % 10], 2, SQLITE_STATIC);
        sqlite3_bind_double(st, 2, static_cast<double>(i) * 0.5);
        sqlite3_bind_double(st, 3, static_cast<double>(i % 1000) / 7.0);
        sqlite3_bind_double(st, 4, 1.0 / static_cast<double>(i + 1));
        sqlite3_bind_double(st, 5, static_cast<double>(i % 97));
        sqlite3_bind_int64(st, 6, i % 2000000000);
        if (sqlite3_step(st) != SQLITE_DONE) throw std::runtime_error(sqlite3_errmsg(d.db));
        sqlite3_reset(st);
    }
    sqlite3_finalize(st);
}
}  // namespace

void Fill(const std::string& path, const std::string& table, int64_t rows) {
    Db d(path);
    d.Exec("BEGIN");
    Insert(d, table, rows, 0);
    d.Exec("COMMIT");
}

WalkResult Walk(const std::string& path, const std::string& table) {
    Db d(path);
    std::string sql = "SELECT G, A, B, C, D, N FROM \"" + table + "\" ORDER BY G";
    sqlite3_stmt* st = nullptr;
    if (sqlite3_prepare_v2(d.db, sql.c_str(), -1, &st, nullptr) != SQLITE_OK)
        throw std::runtime_error(sqlite3_errmsg(d.db));
    WalkResult r;
    while (sqlite3_step(st) == SQLITE_ROW) {
        std::string g(reinterpret_cast<const char*>(sqlite3_column_text(st, 0)), sqlite3_column_bytes(st, 0));
        r.checksum += static_cast<double>(g.size());
        for (int c = 1; c <= 4; ++c) r.checksum += sqlite3_column_double(st, c);
        r.checksum += static_cast<double>(sqlite3_column_int(st, 5));
        ++r.rows;
    }
    sqlite3_finalize(st);
    return r;
}

void Append(const std::string& path, const std::string& table, int64_t rows) {
    Db d(path);
    d.Exec("BEGIN");
    Insert(d, table, rows, 0);
    d.Exec("COMMIT");
}

WalkResult WalkQuery(const std::string& path, const std::string& sql) {
    Db d(path);
    // The same helper threads for a sort as the data layer's sorted reads use.
    sqlite3_limit(d.db, SQLITE_LIMIT_WORKER_THREADS,
                  static_cast<int>(std::min(4u, std::thread::hardware_concurrency() / 2)));
    sqlite3_stmt* st = nullptr;
    if (sqlite3_prepare_v2(d.db, sql.c_str(), -1, &st, nullptr) != SQLITE_OK)
        throw std::runtime_error(sqlite3_errmsg(d.db));
    const int columns = sqlite3_column_count(st);
    WalkResult r;
    while (sqlite3_step(st) == SQLITE_ROW) {
        for (int c = 0; c < columns; ++c) {
            switch (sqlite3_column_type(st, c)) {
                case SQLITE_INTEGER:
                case SQLITE_FLOAT:
                    r.checksum += sqlite3_column_double(st, c);
                    break;
                case SQLITE_TEXT:
                    r.checksum += static_cast<double>(sqlite3_column_bytes(st, c));
                    break;
                default:
                    break;
            }
        }
        ++r.rows;
    }
    sqlite3_finalize(st);
    return r;
}

std::string QueryPlan(const std::string& path, const std::string& sql) {
    Db d(path);
    sqlite3_stmt* st = nullptr;
    if (sqlite3_prepare_v2(d.db, ("EXPLAIN QUERY PLAN " + sql).c_str(), -1, &st, nullptr) != SQLITE_OK)
        throw std::runtime_error(sqlite3_errmsg(d.db));
    std::string plan;
    while (sqlite3_step(st) == SQLITE_ROW) {
        const auto* detail = reinterpret_cast<const char*>(sqlite3_column_text(st, 3));
        plan += std::string("  ") + (detail ? detail : "") + "\n";
    }
    sqlite3_finalize(st);
    return plan;
}

}  // namespace rawsqlite
