// The same work written directly on sqlite3, as the benchmark's yardstick
// for the data-access layer. Kept in platform/ because only platform code
// talks to SQLite itself.
#pragma once

#include <cstdint>
#include <string>

namespace rawsqlite {

struct WalkResult {
    int64_t rows = 0;
    double checksum = 0;  // sum of the numbers and text lengths read
};

// Fills `table` (G text, A-D doubles, N integer) with `rows` rows in one transaction.
void Fill(const std::string& path, const std::string& table, int64_t rows);
// Walks "SELECT G, A, B, C, D, N FROM <table> ORDER BY G", reading every column.
WalkResult Walk(const std::string& path, const std::string& table);
// Appends `rows` rows through one prepared INSERT inside a transaction.
void Append(const std::string& path, const std::string& table, int64_t rows);

// Runs any query and reads every column of every row (numbers as doubles,
// text by its bytes): the raw sorted scan the analyses are measured against.
WalkResult WalkQuery(const std::string& path, const std::string& sql);
// The lines of EXPLAIN QUERY PLAN for the query, one detail a line.
std::string QueryPlan(const std::string& path, const std::string& sql);

}  // namespace rawsqlite
