// The steps every group analysis shares (the t-test and the analyses of
// variance use them, and so does a new member of the family): the distinct
// values of the compare fields, the source opened sorted by the group fields,
// the result table with the group columns, the cells of every compare value
// accumulated group by group, and the detail table of those cells.
//
// The field array holds the group fields, the compare fields, the data fields
// and the weight field in that order; the runner passes the counts as they
// are (the compare fields are not counted as group fields). A group analysis
// is an entry of a few lines around its own table and rows:
//
//     GroupFamily family(Zantels, strFields, intGroupFields, intCompareFields,
//                        intNumFields, fWeightField);
//     CompareCells cells;
//     return family.Run({.table = strUserTable, .includeBlanks = incBlank_b != 0,
//                        .output = OutTableName, .detail = DetailTblName,
//                        .createOutput = [&] { return family.CreateResultTable(
//                                              OutTableName, false, {"Mean", "Prob"}); },
//                        .walk = {.groupEnd = [&](const GroupValues& g, int32_t) {
//                            for (size_t k = 0; k < family.DataFields(); ++k) {
//                                family.WriteDetail(k, g, cells);
//                                const dao::RecordsetPtr& rs = family.AddResultRow(g, k);
//                                ... the row's columns from cells.Cell(k, 0, j) ...
//                                rs->Update();
//                            }}}},
//                       cells);
//
// Run checks the compare fields and the table names, finds the compare values
// ("Analyzing comparison fields"), opens the source, makes the analysis's
// table and then the detail table when one is named, walks the records and
// closes the detail table. The walk's group is that of the group fields
// alone: a change of compare value within it is no break.
#pragma once

#include <cstdint>
#include <functional>
#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "GroupWalker.h"
#include "StatsGeneral.h"
#include "analysis/AnalysisEntries.h"
#include "analysis/regression/AnovaMath.h"
#include "dao/Dao.h"
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

// The sums of one group: a cell per data field k and compare field c
// (0-based) and value number j (from 1), and one per data field over all its
// accepted records whatever their compare values.
class CompareCells {
public:
    // Empty cells for that many data fields and the values of every compare field.
    void Resize(size_t dataFields, const std::vector<CompareValueIndex>& values);
    // Every cell empty again (at a group's start).
    void Clear();
    // A record's value x of data field k with weight w; valueNumbers: the
    // record's value number of each compare field.
    void Add(size_t k, const std::vector<int>& valueNumbers, const DecimalValue& x, double w);
    const CellSums& Cell(size_t k, size_t c, int j) const { return cells_[At(k, c, j)]; }
    const CellSums& Field(size_t k) const { return fields_[k]; }
    // The cells of compare field c for data field k by value number (entry 0
    // empty), as AnovaTable takes them.
    std::vector<CellSums> OneWay(size_t k, size_t c) const;

private:
    size_t At(size_t k, size_t c, int j) const {
        return (k * compares_ + c) * (maxValues_ + 1) + static_cast<size_t>(j);
    }
    size_t compares_ = 0, maxValues_ = 0;
    std::vector<int> counts_;  // values per compare field
    std::vector<CellSums> cells_;
    std::vector<CellSums> fields_;
};

// A column a group analysis adds to its result table after the group
// columns; a Double unless a type is given.
struct ResultColumn {
    // Not explicit: a name alone in a list of columns is a Double column.
    ResultColumn(const char* columnName, int16_t columnType = dao::dbDouble, int32_t columnSize = 0)
        : name(columnName), type(columnType), size(columnSize) {}
    const char* name;
    int16_t type;
    int32_t size;
};

// A measure the data leave undefined is absent and its cell stays Null.
inline void SetIfFinite(const dao::RecordsetPtr& rs, std::string_view column, const std::optional<double>& value) {
    if (value) ::SetIfFinite(rs, column, *value);
}

class GroupFamily {
public:
    // What the walk calls. value: once per accepted value of a record, after
    // the cells took it (data field k, 0-based; the value split as the cells
    // take it; the weight; the record's value numbers). groupEnd: once per
    // finished group of the group fields, with its values and its number of
    // records. groupStart: as every group starts, the first too, once the
    // cells are empty.
    struct Walker {
        std::function<void(size_t k, const DecimalValue& x, double w, const std::vector<int>& valueNumbers)> value =
            nullptr;
        std::function<void(const GroupValues& group, int32_t records)> groupEnd;
        std::function<void()> groupStart = nullptr;
    };
    // A run of the family's steps (see Run).
    struct Steps {
        std::string table;           // the source
        bool includeBlanks = false;  // records whose compare values are blank take part
        bool oneCompare = false;     // the analysis compares the values of one compare field only
        std::string output;          // the analysis's result table
        std::string detail{};        // the detail table, none when left out or ""
        // Makes the analysis's result table, open as OutputRecordset
        // (CreateResultTable). Returns "" or the error text.
        std::function<std::string()> createOutput;
        Walker walk;
    };

    // The family keeps references to Zantels and strFields for its life.
    GroupFamily(RunContext& Zantels, FieldNames& strFields, int16_t intGroupFields, int16_t intCompareFields,
                int16_t intNumFields, bool fWeightField);

    // The whole run in the order of the analysis skeleton; returns "" or the
    // text of the step that failed.
    std::string Run(const Steps& steps, CompareCells& cells);

    // --- the steps Run strings together --------------------------------------------
    // Fills the distinct values of every compare field, ascending with Null
    // first (Null only with includeBlanks).
    std::string AnovaGroups(const std::string& table, bool includeBlanks);
    // Opens the source sorted by the group fields and the first compare
    // field, without the records whose compare values are blank unless
    // includeBlanks, and fills the field types and sizes.
    std::string InitAnovaTable(const std::string& table, bool includeBlanks);
    // Makes the result table, open as OutputRecordset: StatOutputID, the
    // group fields, DataField, with comparePair the two columns of the first
    // compare field's values (its name with "-1" and "-2"), then the columns.
    std::string CreateResultTable(const std::string& name, bool comparePair,
                                  std::initializer_list<ResultColumn> columns);
    // Makes the detail table: a row per data field and value of every
    // compare field, with the measures of its cell.
    std::string CreateDetail(const std::string& name);
    // Walks the source group by group, filling the cells: a record counts
    // when its weight is above 0 and each of its compare values is in the
    // list, a value of a data field when it is present.
    void Walk(CompareCells& cells, const Walker& walker);

    // --- rows ------------------------------------------------------------------------
    // A new row of OutputRecordset with the group's values and DataField =
    // data field k; with values i and j, the first compare field's pair
    // columns as well. The caller sets its columns and updates it.
    const dao::RecordsetPtr& AddResultRow(const GroupValues& group, size_t k);
    const dao::RecordsetPtr& AddResultRow(const GroupValues& group, size_t k, int i, int j);
    // The detail rows of data field k, one per value of every compare field
    // whose cell has weight; nothing when no detail table is made.
    void WriteDetail(size_t k, const GroupValues& group, const CompareCells& cells);
    void CloseDetail();

    // --- the run's fields ------------------------------------------------------------
    size_t Groups() const { return nG_; }
    size_t Compares() const { return nC_; }
    size_t DataFields() const { return nX_; }
    bool Weighted() const { return weighted_; }
    int16_t CompareAt(size_t c) const { return static_cast<int16_t>(nG_ + c + 1); }
    int16_t DataAt(size_t k) const { return static_cast<int16_t>(nG_ + nC_ + k + 1); }
    const FieldNames& Fields() const { return fields_; }
    const std::string& CompareName(size_t c) const { return fields_.at(static_cast<size_t>(CompareAt(c))); }
    const std::string& DataName(size_t k) const { return fields_.at(static_cast<size_t>(DataAt(k))); }
    const CompareValueIndex& Values(size_t c) const { return values_.at(c); }
    const std::vector<CompareValueIndex>& AllValues() const { return values_; }
    RunContext& Context() const { return zantels_; }

private:
    void WriteDetailRow(size_t k, size_t c, int j, const GroupValues& group, const CellSums& cell);

    RunContext& zantels_;
    FieldNames& fields_;
    size_t nG_, nC_, nX_;
    bool weighted_;
    std::vector<int32_t> types_, sizes_;
    std::vector<CompareValueIndex> values_;  // per compare field (0-based)
    dao::RecordsetPtr detail_;
    int32_t compareType_ = 0;  // common type of the compare fields (two or more)
};
