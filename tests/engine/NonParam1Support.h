// Helpers of the paired-field, Friedman and chi-square tests: source rows
// written into "Data", result rows read back with plain SQL.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "EngineTestSupport.h"

namespace nonparam1test {

using Row = std::map<std::string, vb::Variant>;

// Rows of the result table in StatOutputID order, optionally filtered by a
// WHERE condition; each row keyed by column name.
inline std::vector<Row> ReadRows(const dao::DatabasePtr& db, const std::string& table, const std::string& where = "") {
    std::string sql = "SELECT * FROM [" + table + "]";
    if (!where.empty()) sql += " WHERE " + where;
    sql += " ORDER BY StatOutputID;";
    dao::RecordsetPtr rs = db->OpenRecordset(sql, dao::dbOpenSnapshot);
    std::vector<Row> rows;
    while (!rs->Eof()) {
        Row row;
        for (int32_t i = 0; i < rs->Fields()->Count(); ++i) row[rs->Fields(i)->Name()] = rs->Fields(i)->Value();
        rows.push_back(row);
        rs->MoveNext();
    }
    rs->Close();
    return rows;
}

inline std::vector<std::string> ColumnNames(const dao::DatabasePtr& db, const std::string& table) {
    db->TableDefs()->Refresh();
    dao::TableDefPtr tdf = db->TableDefs()->Item(table);
    std::vector<std::string> names;
    for (int32_t i = 0; i < tdf->Fields()->Count(); ++i) names.push_back(tdf->Fields()->Item(i)->Name());
    return names;
}

inline double Num(const Row& row, const std::string& column) {
    auto it = row.find(column);
    if (it == row.end()) ADD_FAILURE() << "no column " << column;
    if (it == row.end() || it->second.IsNull()) return -999999;
    return it->second.ToDouble();
}

inline bool IsNull(const Row& row, const std::string& column) {
    auto it = row.find(column);
    if (it == row.end()) ADD_FAILURE() << "no column " << column;
    return it != row.end() && it->second.IsNull();
}

}  // namespace nonparam1test
