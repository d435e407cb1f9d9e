// Helpers of the two-sample, many-sample, runs, sign and fit tests: source
// rows by group, compare value, two values and a weight, scenarios of the
// non-parametric family.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "EngineTestSupport.h"

namespace enginetest {

struct SourceRow {
    vb::Variant g1, g2, x1, x2 = vb::Variant::Null(), w = vb::Variant::Null();
};

class NonParamTest : public EngineTest {
protected:
    void Fill(const std::vector<SourceRow>& rows) {
        dao::RecordsetPtr rs = db->OpenRecordset("Data", dao::dbOpenTable);
        for (const auto& r : rows) {
            rs->AddNew();
            rs->Fields(std::string_view("G1"))->Value(r.g1);
            rs->Fields(std::string_view("G2"))->Value(r.g2);
            rs->Fields(std::string_view("X1"))->Value(r.x1);
            rs->Fields(std::string_view("X2"))->Value(r.x2);
            rs->Fields(std::string_view("W"))->Value(r.w);
            rs->Update();
        }
        rs->Close();
    }

    // Values of one group and compare value, unweighted.
    void FillSample(const vb::Variant& group, const vb::Variant& compare, const std::vector<double>& xs) {
        std::vector<SourceRow> rows;
        for (double x : xs) rows.push_back({group, compare, x});
        Fill(rows);
    }

    // A non-parametric scenario: group G1 (when withGroup), compare G2, the
    // value fields, weight W (when weighted).
    int32_t Scenario(const std::string& subType, const std::map<std::string, vb::Variant>& options,
                     const std::vector<std::string>& xs = {"X1"}, bool withCompare = true, bool weighted = false,
                     bool withGroup = true) {
        StoredScenario scenario;
        scenario.family = "N";
        scenario.subType = subType;
        scenario.fields.clear();
        if (withGroup) scenario.fields.push_back({"G1", "G", 1});
        if (withCompare) scenario.fields.push_back({"G2", "C", 1});
        int16_t pos = 1;
        for (const auto& x : xs) scenario.fields.push_back({x, "X", pos++});
        if (weighted) scenario.fields.push_back({"W", "W", 1});
        scenario.options = options;
        return AddScenario(db, scenario);
    }
};

}  // namespace enginetest
