// Helpers of the regression tests: a source table of our own shape, a
// regression scenario, and comparisons with reference values.
#pragma once

#include <cmath>
#include <map>
#include <string>
#include <vector>

#include "EngineTestSupport.h"

namespace regressiontest {

using Row = std::vector<vb::Variant>;
inline const vb::Variant kNull = vb::Variant::Null();

// A table `name` with a text column "G" (when withGroup) and Double columns.
inline void MakeTable(const dao::DatabasePtr& db, const std::string& name, bool withGroup,
                      const std::vector<std::string>& numeric, const std::vector<Row>& rows) {
    dao::TableDefPtr t = db->CreateTableDef(name);
    if (withGroup) enginetest::AddField(t, "G", dao::dbText, 20);
    for (const auto& column : numeric) enginetest::AddField(t, column, dao::dbDouble);
    db->TableDefs()->Append(t);
    dao::RecordsetPtr rs = db->OpenRecordset(name, dao::dbOpenTable);
    for (const Row& row : rows) {
        rs->AddNew();
        for (size_t i = 0; i < row.size(); ++i) rs->Fields(static_cast<int32_t>(i))->Value(row[i]);
        rs->Update();
    }
    rs->Close();
}

struct RegressionSetup {
    std::string input = "Reg";
    std::string type = "S";  // "S", "M" or "P"
    int order = 2;           // polynomial order
    bool intercept = true;
    bool anova = true;
    std::string residual = "Res";  // "" for none
    std::vector<std::string> groups;
    std::vector<std::string> xs = {"X"};
    std::string y = "Y";
    std::string weight;  // "" for none
    std::string missingType = "0";
    vb::Variant missingEqual = kNull;
};

inline int32_t AddRegression(const dao::DatabasePtr& db, const RegressionSetup& r) {
    enginetest::StoredScenario s;
    s.subType = "Regression";
    s.input = r.input;
    s.output1 = "Out";
    s.output2 = r.residual;
    s.missingType = r.missingType;
    s.missingEqual = r.missingEqual;
    s.fields.clear();
    int16_t position = 0;
    for (const auto& g : r.groups) s.fields.emplace_back(g, "G", ++position);
    for (const auto& x : r.xs) s.fields.emplace_back(x, "X", ++position);
    s.fields.emplace_back(r.y, "Y", ++position);
    if (!r.weight.empty()) s.fields.emplace_back(r.weight, "W", ++position);
    s.options = {{"RegressType", r.type},
                 {"RPoly", vb::Variant(static_cast<int16_t>(r.order))},
                 {"RYInt", r.intercept},
                 {"RANova", r.anova}};
    return enginetest::AddScenario(db, s);
}

using Record = enginetest::ResultRow;
using enginetest::ColumnNames;
using enginetest::IsNull;
using enginetest::Num;
using enginetest::ReadResultRows;

// Agreement in significant digits (log relative error), capped at 15.
inline double Digits(double value, double reference) {
    if (value == reference) return 15;
    if (reference == 0) return std::min(15.0, -std::log10(std::fabs(value)));
    return std::min(15.0, -std::log10(std::fabs(value - reference) / std::fabs(reference)));
}

// Expect relative agreement (absolute near 0).
#define EXPECT_REL(value, reference, tol)                                                                              \
    EXPECT_NEAR((value), (reference), (tol)*std::max(1.0, std::fabs(reference))) << #value

}  // namespace regressiontest
