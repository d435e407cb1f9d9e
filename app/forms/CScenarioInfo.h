// CScenarioInfo: the summary of the scenario selected in the scenario list,
// as its row shows it (number as text, analysis, description, source and
// output tables).
#pragma once

#include <string>
#include <utility>

class CScenarioInfo {
public:
    const std::string& ScenarioID() const { return scenarioId_; }
    void ScenarioID(std::string value) { scenarioId_ = std::move(value); }
    const std::string& ScenType() const { return scenType_; }
    void ScenType(std::string value) { scenType_ = std::move(value); }
    const std::string& Desc() const { return desc_; }
    void Desc(std::string value) { desc_ = std::move(value); }
    const std::string& Table() const { return table_; }
    void Table(std::string value) { table_ = std::move(value); }
    const std::string& OutputTable1() const { return outputTable1_; }
    void OutputTable1(std::string value) { outputTable1_ = std::move(value); }
    const std::string& OutputTable2() const { return outputTable2_; }
    void OutputTable2(std::string value) { outputTable2_ = std::move(value); }

private:
    std::string scenarioId_;
    std::string scenType_;
    std::string desc_;
    std::string table_;
    std::string outputTable1_;
    std::string outputTable2_;
};
