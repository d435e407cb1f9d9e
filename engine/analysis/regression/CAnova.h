// The group analyses: for every group of the group fields, every data field
// and every value of the compare fields, the cell sums; at each group's end
// two-sample t-tests between the values of the one compare field, or an
// analysis-of-variance table (one-way with one compare field, main effects
// and two-way interactions with more), and the detail rows of every cell.
#pragma once

#include <cstdint>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "analysis/AnalysisEntries.h"
#include "GroupWalker.h"
#include "analysis/regression/AnovaMath.h"
#include "dao/Dao.h"
#include "numeric/CZValue.h"
#include "vb/Variant.h"

// The distinct values of one compare field in the whole source and the
// lookup of a record's value among them. Values are told apart as the
// source column's own collation tells them apart (the list query groups by
// it), so that every value the list names is found again when the records
// are read.
class CompareValueIndex {
public:
    // caseBlind: the column compares text without regard to case.
    void Reset(bool caseBlind);
    void Add(const vb::Variant& value);
    // 1-based value number of the value, 0 when it is not in the list.
    int Find(const vb::Variant& value) const;
    // The same for the value of the walk's field at position pos; the values
    // met last are remembered as stored, so that a run of one value or a
    // field of few values costs neither a Variant nor a key per record.
    int FindRecord(const GroupWalker& walk, int16_t pos);
    int Count() const { return static_cast<int>(values_.size()); }
    const vb::Variant& Value(int j) const { return values_.at(static_cast<size_t>(j - 1)); }

private:
    std::string Key(const vb::Variant& value) const;
    bool caseBlind_ = true;
    std::vector<vb::Variant> values_;
    std::unordered_map<std::string, int> numbers_;
    std::vector<std::pair<StoredKey, int>> recent_;
    size_t nextRecent_ = 0;
    size_t lastRecent_ = 0;
};

class CAnova {
public:
    std::string Quarn_ANOVA(const std::string& strCalcType, int16_t incBlank_b, const std::string& OutTableName,
                            const std::string& DetailTblName, const std::string& strUserTable, FieldNames& strFields,
                            int16_t intGroupFields, int16_t intCompareFields, int16_t intNumFields, bool fWeightField,
                            RunContext& Zantels);
    // Fills the distinct values of every compare field, ascending with Null
    // first (Null only with incBlank_b).
    std::string AnovaGroups(int16_t incBlank_b, const std::string& strUserTable, FieldNames& strFields,
                            int16_t intGroupFields, int16_t intCompareFields);
    // Opens the source sorted by the group fields and the first compare
    // field, without the records whose compare values are blank unless
    // incBlank_b, and fills the field types and sizes.
    std::string InitAnovaTable(int16_t incBlank_b, const std::string& strUserTable, FieldNames& strFields,
                               int16_t intGroupFields, int16_t intCompareFields, std::vector<int32_t>& lngFieldTypes,
                               std::vector<int32_t>& lngFieldSizes);
    std::string CreateAnova(const std::string& OutTableName, int16_t intGroupFields, const FieldNames& strFields,
                            const std::vector<int32_t>& lngFieldTypes, const std::vector<int32_t>& lngFieldSizes);
    std::string CreateTTest(const std::string& OutTableName, int16_t intGroupFields, const FieldNames& strFields,
                            const std::vector<int32_t>& lngFieldTypes, const std::vector<int32_t>& lngFieldSizes);

private:
    std::string CreateDetail(const std::string& DetailTblName);
    void ReadRecords();
    void InitData();
    void CalcData(const GroupWalker& walk, double w);
    void WriteData(const GroupValues& group);
    void WriteTTest(const GroupValues& group);
    void WriteAnova(const GroupValues& group);
    void WriteDetail(int k, const GroupValues& group);

    CellSums& Cell(int k, int c, int j) {
        return cells_[(static_cast<size_t>(k) * nC_ + static_cast<size_t>(c)) * (maxGroups_ + 1) +
                      static_cast<size_t>(j)];
    }

    RunContext* zantels_ = nullptr;
    FieldNames* fields_ = nullptr;
    std::string calcType_;
    bool weighted_ = false;
    size_t nG_ = 0, nC_ = 0, nX_ = 0;
    std::vector<int32_t> types_, sizes_;
    std::vector<CompareValueIndex> groups_;  // per compare field (0-based)
    size_t maxGroups_ = 0;
    dao::RecordsetPtr detail_;
    int32_t compareType_ = 0;  // common type of the compare fields (two or more)

    // Accumulators of the current group: cells by data field (0-based),
    // compare field (0-based) and value number (from 1); one per data field;
    // two-way cells by data field and pair.
    std::vector<CellSums> cells_;
    std::vector<CellSums> fieldSums_;
    std::vector<std::vector<PairCells>> pairs_;
    std::vector<int> recordValues_;  // value numbers of the current record
    CZValue z_;
};
