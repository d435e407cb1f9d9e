// The group analyses: for every group of the group fields, every data field
// and every value of the compare fields, the cell sums; at each group's end
// two-sample t-tests between the values of the one compare field, or an
// analysis-of-variance table (one-way with one compare field, main effects
// and two-way interactions with more), and the detail rows of every cell.
// The steps the family shares are GroupFamily's.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "analysis/AnalysisEntries.h"
#include "analysis/regression/AnovaMath.h"
#include "analysis/regression/GroupFamily.h"
#include "numeric/CZValue.h"

class CAnova {
public:
    CAnova(RunContext& Zantels, FieldNames& strFields, int16_t intGroupFields, int16_t intCompareFields,
           int16_t intNumFields, bool fWeightField);
    std::string Quarn_ANOVA(const std::string& strCalcType, int16_t incBlank_b, const std::string& OutTableName,
                            const std::string& DetailTblName, const std::string& strUserTable);
    std::string CreateAnova(const std::string& OutTableName);
    std::string CreateTTest(const std::string& OutTableName);

private:
    void InitPairs();
    void AddToPairs(size_t k, const DecimalValue& value, double w, const std::vector<int>& valueNumbers);
    void WriteData(const GroupValues& group);
    void WriteTTest(const GroupValues& group);
    void WriteTTestRow(const GroupValues& group, size_t k, int i, int j);
    void WriteAnova(const GroupValues& group);

    GroupFamily family_;
    CompareCells cells_;
    bool tTest_ = false;
    // The two-way cells of the current group by data field and pair of
    // compare fields (two compare fields or more).
    std::vector<std::vector<PairCells>> pairs_;
    CZValue z_;
};
