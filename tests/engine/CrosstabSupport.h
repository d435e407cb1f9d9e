// Helpers of the comparison, matrix and cross-tabulation tests: rows into the
// source table "Data" and result tables read back with plain SQL.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "EngineTestSupport.h"

namespace enginetest {

using Row = std::map<std::string, vb::Variant>;

// Appends rows to "Data" (columns G1, G2, X1, X2, Y, W in this order).
inline void AddDataRows(const dao::DatabasePtr& db, const std::vector<std::vector<vb::Variant>>& rows) {
    dao::RecordsetPtr rs = db->OpenRecordset("Data", dao::dbOpenTable);
    const char* names[] = {"G1", "G2", "X1", "X2", "Y", "W"};
    for (const auto& row : rows) {
        rs->AddNew();
        for (size_t i = 0; i < row.size() && i < 6; ++i) rs->Fields(std::string_view(names[i]))->Value(row[i]);
        rs->Update();
    }
    rs->Close();
}

// Every row of a query, each as column name -> value (names as the table has them).
inline std::vector<Row> ReadRows(const dao::DatabasePtr& db, const std::string& sql) {
    std::vector<Row> rows;
    dao::RecordsetPtr rs = db->OpenRecordset(sql, dao::dbOpenSnapshot);
    const int32_t n = rs->Fields()->Count();
    while (!rs->Eof()) {
        Row row;
        for (int32_t i = 0; i < n; ++i) row[rs->Fields(i)->Name()] = rs->Fields(i)->Value();
        rows.push_back(std::move(row));
        rs->MoveNext();
    }
    rs->Close();
    return rows;
}

// The column names of a table in ordinal order.
inline std::vector<std::string> ColumnNames(const dao::DatabasePtr& db, const std::string& table) {
    std::vector<std::string> names;
    dao::RecordsetPtr rs = db->OpenRecordset("SELECT * FROM [" + table + "];", dao::dbOpenSnapshot);
    for (int32_t i = 0; i < rs->Fields()->Count(); ++i) names.push_back(rs->Fields(i)->Name());
    rs->Close();
    return names;
}

inline double Num(const Row& row, const std::string& column) {
    auto it = row.find(column);
    if (it == row.end()) throw std::runtime_error("no column " + column);
    if (it->second.IsNull()) throw std::runtime_error("Null in " + column);
    return it->second.ToDouble();
}

inline bool IsNull(const Row& row, const std::string& column) {
    auto it = row.find(column);
    if (it == row.end()) throw std::runtime_error("no column " + column);
    return it->second.IsNull();
}

}  // namespace enginetest
