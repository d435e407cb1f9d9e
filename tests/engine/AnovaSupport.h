// Helpers of the group-analysis tests: a source table "Trial" with a group
// field, three text factors, a value and a weight; group scenarios; result
// rows read back with plain SQL.
#pragma once

#include <map>
#include <string>
#include <tuple>
#include <vector>

#include "EngineTestSupport.h"

namespace anovatest {

using enginetest::AddField;

struct TrialRow {
    vb::Variant g, a, b, c, x, w = 1.0;
};

inline void CreateTrial(const dao::DatabasePtr& db, const std::vector<TrialRow>& rows) {
    using namespace dao;
    TableDefPtr t = db->CreateTableDef("Trial");
    AddField(t, "G", dbText, 10);
    AddField(t, "A", dbText, 10);
    AddField(t, "B", dbText, 10);
    AddField(t, "C", dbText, 10);
    AddField(t, "X", dbDouble);
    AddField(t, "W", dbDouble);
    db->TableDefs()->Append(t);
    RecordsetPtr rs = db->OpenRecordset("Trial", dbOpenTable);
    for (const TrialRow& r : rows) {
        rs->AddNew();
        rs->Fields(std::string_view("G"))->Value(r.g);
        rs->Fields(std::string_view("A"))->Value(r.a);
        rs->Fields(std::string_view("B"))->Value(r.b);
        rs->Fields(std::string_view("C"))->Value(r.c);
        rs->Fields(std::string_view("X"))->Value(r.x);
        rs->Fields(std::string_view("W"))->Value(r.w);
        rs->Update();
    }
    rs->Close();
}

// Rows of cells "a_b" -> values, all in group g, weight 1.
inline void AddCells(std::vector<TrialRow>& rows, const std::string& g,
                     const std::vector<std::pair<std::string, std::vector<double>>>& cells) {
    for (const auto& [name, values] : cells) {
        const size_t bar = name.find('_');
        for (double x : values) {
            TrialRow r;
            r.g = g;
            r.a = name.substr(0, bar);
            r.b = bar == std::string::npos ? vb::Variant::Null() : vb::Variant(name.substr(bar + 1));
            r.c = vb::Variant::Null();
            r.x = x;
            rows.push_back(r);
        }
    }
}

// A group scenario over "Trial": fields in role order with their letters.
inline enginetest::ScenarioSpec GroupScenario(const std::string& subType,
                                              const std::vector<std::pair<std::string, std::string>>& fields,
                                              bool ignoreBlanks = true, const std::string& detail = "") {
    enginetest::ScenarioSpec s;
    s.family = "G";
    s.subType = subType;
    s.input = "Trial";
    s.output1 = "Out1";
    s.output2 = detail;
    s.fields.clear();
    std::map<std::string, int16_t> positions;
    for (const auto& [name, role] : fields) s.fields.emplace_back(name, vb::Variant(role), ++positions[role]);
    s.options["GroupIgnoreBlanks"] = ignoreBlanks;
    return s;
}

using Row = std::map<std::string, vb::Variant>;

inline std::vector<Row> ReadRows(const dao::DatabasePtr& db, const std::string& table) {
    std::vector<Row> rows;
    dao::RecordsetPtr rs = db->OpenRecordset("SELECT * FROM [" + table + "] ORDER BY StatOutputID", dao::dbOpenSnapshot);
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
    std::vector<std::string> names;
    dao::TableDefPtr t = db->TableDefs()->Item(table);
    for (const auto& f : *t->Fields()) names.push_back(f->Name());
    return names;
}

inline double Num(const Row& r, const std::string& column) { return r.at(column).ToDouble(); }
inline bool IsNull(const Row& r, const std::string& column) { return r.at(column).IsNull(); }

}  // namespace anovatest
