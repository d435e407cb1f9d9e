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
inline enginetest::StoredScenario GroupScenario(const std::string& subType,
                                                const std::vector<std::pair<std::string, std::string>>& fields,
                                                bool ignoreBlanks = true, const std::string& detail = "") {
    enginetest::StoredScenario s;
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

using Row = enginetest::ResultRow;
using enginetest::ColumnNames;
using enginetest::IsNull;
using enginetest::Num;
using enginetest::ReadResultRows;

// Three values of the compare field, in one group "g".
inline std::vector<TrialRow> ThreeLevels() {
    std::vector<TrialRow> rows;
    AddCells(rows, "g",
             {{"c", {11.0, 10.4, 12.9, 11.7, 10.8, 12.2}},
              {"a", {12.1, 14.3, 11.8, 15.2, 13.4}},
              {"b", {16.5, 17.2, 15.9, 18.4}}});
    return rows;
}

}  // namespace anovatest
