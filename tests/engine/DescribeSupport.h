// Helpers of the describe, percentile and frequency tests: source rows into
// "Data", result tables read back with plain SQL, column lists.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "EngineTestSupport.h"

namespace describetest {

using Row = std::map<std::string, vb::Variant>;

// Appends rows (G1, G2, X1, X2, Y, W; shorter rows leave the rest Null).
inline void AddRows(const dao::DatabasePtr& db, const std::vector<std::vector<vb::Variant>>& rows) {
    dao::RecordsetPtr rs = db->OpenRecordset("Data", dao::dbOpenTable);
    const char* names[] = {"G1", "G2", "X1", "X2", "Y", "W"};
    for (const auto& row : rows) {
        rs->AddNew();
        for (size_t i = 0; i < row.size() && i < 6; ++i) rs->Fields(std::string_view(names[i]))->Value(row[i]);
        rs->Update();
    }
    rs->Close();
}

// Every row of a result table, in the order written, by column name.
inline std::vector<Row> ReadTable(const dao::DatabasePtr& db, const std::string& table) {
    std::vector<Row> rows;
    dao::RecordsetPtr rs = db->OpenRecordset("SELECT * FROM [" + table + "] ORDER BY StatOutputID");
    while (!rs->Eof()) {
        Row row;
        for (const auto& f : *rs->Fields()) row[f->Name()] = f->Value();
        rows.push_back(row);
        rs->MoveNext();
    }
    rs->Close();
    return rows;
}

// Column names of a table in ordinal order.
inline std::vector<std::string> Columns(const dao::DatabasePtr& db, const std::string& table) {
    std::vector<std::string> names;
    dao::RecordsetPtr rs = db->OpenRecordset("SELECT * FROM [" + table + "]");
    for (const auto& f : *rs->Fields()) names.push_back(f->Name());
    rs->Close();
    return names;
}

inline double Num(const Row& row, const std::string& column) {
    auto it = row.find(column);
    if (it == row.end()) ADD_FAILURE() << "no column " << column;
    if (it == row.end() || it->second.IsNull()) {
        ADD_FAILURE() << column << " is Null";
        return -1e300;
    }
    return it->second.ToDouble();
}

inline bool IsNull(const Row& row, const std::string& column) {
    auto it = row.find(column);
    if (it == row.end()) {
        ADD_FAILURE() << "no column " << column;
        return false;
    }
    return it->second.IsNull();
}

inline vb::Variant Null() { return vb::Variant::Null(); }

}  // namespace describetest
