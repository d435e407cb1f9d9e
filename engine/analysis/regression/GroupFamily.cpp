// The steps the group analyses share.
#include "analysis/regression/GroupFamily.h"

#include <algorithm>
#include <cstring>

#include "AnalysisPhases.h"
#include "ErrorStack.h"
#include "RunContext.h"
#include "vb/Conversions.h"
#include "vb/VbError.h"

// --- compare values ------------------------------------------------------------------

void CompareValueIndex::Reset(bool caseBlind) {
    caseBlind_ = caseBlind;
    values_.clear();
    numbers_.clear();
    recent_.clear();
    nextRecent_ = 0;
    lastRecent_ = 0;
}

std::string CompareValueIndex::Key(const vb::Variant& value) const {
    if (value.IsNull()) return std::string(1, '\0');
    if (value.IsString()) return "s" + (caseBlind_ ? vb::LCase(value.String()) : value.String());
    // Numbers, dates and Booleans compare by value, as the database does.
    double x = value.ToDouble();
    if (x == 0) x = 0;  // -0 and 0 are one value
    std::string key(1 + sizeof x, 'n');
    std::memcpy(key.data() + 1, &x, sizeof x);
    return key;
}

void CompareValueIndex::Add(const vb::Variant& value) {
    values_.push_back(value);
    numbers_.emplace(Key(value), static_cast<int>(values_.size()));
}

int CompareValueIndex::Find(const vb::Variant& value) const {
    const auto it = numbers_.find(Key(value));
    return it == numbers_.end() ? 0 : it->second;
}

int CompareValueIndex::FindRecord(const GroupWalker& walk, int16_t pos) {
    constexpr size_t kRecent = 8;
    // Identical stored values read as identical values, which have the same
    // key. The value met last is tried first.
    const StoredView stored = walk.Stored(pos);
    if (lastRecent_ < recent_.size() && recent_[lastRecent_].first.Matches(stored)) return recent_[lastRecent_].second;
    for (size_t i = 0; i < recent_.size(); ++i) {
        if (recent_[i].first.Matches(stored)) {
            lastRecent_ = i;
            return recent_[i].second;
        }
    }
    // The stored bytes are kept before the value is read.
    StoredKey key;
    key.Keep(stored);
    const int j = Find(walk.Value(pos));
    if (recent_.size() < kRecent) {
        lastRecent_ = recent_.size();
        recent_.emplace_back(std::move(key), j);
    } else {
        lastRecent_ = nextRecent_;
        recent_[nextRecent_] = {std::move(key), j};
        nextRecent_ = (nextRecent_ + 1) % kRecent;
    }
    return j;
}

// --- cells -----------------------------------------------------------------------------

void CompareCells::Resize(size_t dataFields, const std::vector<CompareValueIndex>& values) {
    compares_ = values.size();
    maxValues_ = 0;
    counts_.clear();
    for (const CompareValueIndex& v : values) {
        counts_.push_back(v.Count());
        maxValues_ = std::max(maxValues_, static_cast<size_t>(v.Count()));
    }
    cells_.assign(dataFields * compares_ * (maxValues_ + 1), CellSums());
    fields_.assign(dataFields, CellSums());
}

void CompareCells::Clear() {
    for (CellSums& c : cells_) c.Clear();
    for (CellSums& c : fields_) c.Clear();
}

void CompareCells::Add(size_t k, const std::vector<int>& valueNumbers, const DecimalValue& x, double w) {
    fields_[k].Add(x, w);
    for (size_t c = 0; c < compares_; ++c) cells_[At(k, c, valueNumbers[c])].Add(x, w);
}

std::vector<CellSums> CompareCells::OneWay(size_t k, size_t c) const {
    std::vector<CellSums> cells(static_cast<size_t>(counts_.at(c)) + 1, CellSums());
    for (int j = 1; j <= counts_[c]; ++j) cells[static_cast<size_t>(j)] = Cell(k, c, j);
    return cells;
}

// --- the run ---------------------------------------------------------------------------

GroupFamily::GroupFamily(RunContext& Zantels, FieldNames& strFields, int16_t intGroupFields, int16_t intCompareFields,
                         int16_t intNumFields, bool fWeightField)
    : zantels_(Zantels), fields_(strFields), nG_(static_cast<size_t>(std::max<int16_t>(intGroupFields, 0))),
      nC_(static_cast<size_t>(std::max<int16_t>(intCompareFields, 0))),
      nX_(static_cast<size_t>(std::max<int16_t>(intNumFields, 0))), weighted_(fWeightField) {}

std::string GroupFamily::Run(const Steps& steps, CompareCells& cells) {
    // The values compared are those of the compare fields: without one there
    // is nothing to compare.
    if (nC_ == 0) return "At least one Compare field must be assigned";
    if (steps.oneCompare && nC_ > 1) return "Only one Compare field may be assigned";

    zantels_.Quarn_Msg(0, true, "Analyzing comparison fields");
    std::string result = AnovaGroups(steps.table, steps.includeBlanks);
    if (!result.empty()) return result;

    // A result table never replaces the source itself.
    for (const std::string* name : {&steps.output, &steps.detail}) {
        if (!name->empty() && vb::EqualsNoCase(*name, steps.table))
            return "The output table " + *name + " cannot be the source table.";
    }
    result =
        RunAnalysisPhases(zantels_, {.openSource = [&] { return InitAnovaTable(steps.table, steps.includeBlanks); },
                                     .createOutput =
                                         [&] {
                                             std::string text = steps.createOutput();
                                             if (text.empty() && !steps.detail.empty())
                                                 text = CreateDetail(steps.detail);
                                             return text;
                                         },
                                     .readRecords = [&] { Walk(cells, steps.walk); }});
    CloseDetail();
    return result;
}

std::string GroupFamily::AnovaGroups(const std::string& table, bool includeBlanks) {
    ProcScope scope(ErrStack(), "AnovaGroups");
    values_.assign(nC_, CompareValueIndex());
    for (size_t c = 0; c < nC_; ++c) {
        const std::string& field = CompareName(c);
        const std::string name = BracketName(field);
        const std::string value = zantels_.ValueSql(table, field);
        // Ascending with Null first, asked for rather than left to chance.
        // The inner DISTINCT keeps the few values as it scans; only they are
        // sorted, not every row.
        std::string sql = "SELECT DISTINCT " + value + " AS " + name + " FROM " + BracketName(table);
        if (!includeBlanks) sql += " WHERE (" + value + " Is Not Null)";
        sql = "SELECT DISTINCT " + name + " FROM (" + sql + ") ORDER BY " + name + ";";
        dao::RecordsetPtr rs;
        try {
            rs = zantels_.SourceDatabase()->OpenRecordset(sql);
        } catch (const vb::VbError& e) {
            if (e.Number() == dao::err::kTooFewParameters)
                return "The selected query expects parameters and cannot be used by Velmora.";
            return e.Description();
        }
        CompareValueIndex& values = values_[c];
        // The list and the lookup tell values apart by the column's collation.
        values.Reset(rs->Fields(0)->CollatingOrder() == dao::dbSortGeneral);
        while (!rs->Eof()) {
            values.Add(rs->Fields(0)->Value());
            rs->MoveNext();
        }
        rs->Close();
    }
    return {};
}

std::string GroupFamily::InitAnovaTable(const std::string& table, bool includeBlanks) {
    ProcScope scope(ErrStack(), "InitAnovaTable");
    if (includeBlanks)
        return zantels_.Quarn_InitDataTable(table, fields_, static_cast<int16_t>(nG_ + nC_), types_, sizes_);
    const int16_t n = static_cast<int16_t>(fields_.size() - 1);
    std::string sql = "SELECT ";
    for (int16_t i = 1; i <= n; ++i) sql += (i > 1 ? ", " : "") + BracketName(fields_[static_cast<size_t>(i)]);
    sql += " FROM " + BracketName(table) + " ";
    sql += " WHERE (";
    for (size_t c = 0; c < nC_; ++c) {
        if (c > 0) sql += " AND ";
        sql += "(" + zantels_.ValueSql(table, CompareName(c)) + " Is Not Null)";
    }
    sql += ")";
    const size_t sorted = nG_ == static_cast<size_t>(n) ? nG_ : nG_ + 1;
    sql += " ORDER BY ";
    for (size_t i = 1; i <= sorted; ++i) sql += (i > 1 ? "," : "") + zantels_.ValueSql(table, fields_[i]);
    std::string result = zantels_.OpenDataRecordset(sql);
    if (!result.empty()) return result;
    if (zantels_.DataRecordset()->Eof()) return "No records with non-blank Compare Fields found in " + table + ".";
    zantels_.Quarn_InitFieldTypes(zantels_.DataRecordset(), n, fields_, types_, sizes_);
    return {};
}

// --- result tables ------------------------------------------------------------------------

std::string GroupFamily::CreateResultTable(const std::string& name, bool comparePair,
                                           std::initializer_list<ResultColumn> columns) {
    ProcScope scope(ErrStack(), "CreateResultTable");
    const int16_t nG = static_cast<int16_t>(nG_);
    dao::TableDefPtr tdf = NewResultTable(zantels_, name);
    int16_t ordinal = BuildOutputFields(tdf, nG, fields_, types_, sizes_, true, 0,
                                        comparePair ? CompareAt(0) : int16_t(0), false, "", "");
    for (const ResultColumn& column : columns) AddOutputField(tdf, column.name, column.type, ordinal, column.size);
    return zantels_.Quarn_CreateTable(tdf, true);
}

std::string GroupFamily::CreateDetail(const std::string& name) {
    ProcScope scope(ErrStack(), "CreateDetail");
    const int16_t nG = static_cast<int16_t>(nG_);
    const dao::DatabasePtr db = zantels_.OutputDatabase();
    dao::TableDefPtr tdf = NewResultTable(zantels_, name);
    int16_t ordinal = 0;
    if (nC_ == 1) {
        // The compare field becomes a column under its own name.
        ordinal = BuildOutputFields(tdf, static_cast<int16_t>(nG + 1), fields_, types_, sizes_, true, 0, 0, weighted_,
                                    "Count", "");
    } else {
        int32_t size = 0;
        CommonFieldType(nG, static_cast<int16_t>(nC_), types_, sizes_, compareType_, size);
        ordinal = BuildOutputFields(tdf, nG, fields_, types_, sizes_, true, 0, 0, weighted_, "", "");
        AddOutputField(tdf, "Compare_Field", dao::dbText, ordinal, 64);
        AddOutputField(tdf, "Compare_Value", static_cast<int16_t>(compareType_), ordinal, size);
        AddOutputField(tdf, "Count", dao::dbDouble, ordinal);
    }
    for (const char* column :
         {"Mean", "Minimum", "Maximum", "Range", "Sum", "Variance", "CoeffOfVariance", "StdDeviation", "StdError"})
        AddOutputField(tdf, column, dao::dbDouble, ordinal);
    std::string result = zantels_.Quarn_CreateTable(tdf, false);
    if (result.empty()) detail_ = OpenResultTable(db, name);
    return result;
}

void GroupFamily::CloseDetail() {
    if (detail_) detail_->Close();
    detail_.reset();
}

// --- the record loop ------------------------------------------------------------------------

void GroupFamily::Walk(CompareCells& cells, const Walker& walker) {
    cells.Resize(nX_, values_);
    std::vector<int> valueNumbers(nC_, 0);
    GroupWalker walk(zantels_, fields_, static_cast<int16_t>(nG_), weighted_,
                     static_cast<int16_t>(nG_ + nC_ + nX_ + 1));
    GroupWalker::Handlers handlers;
    handlers.record = [&](double w) {
        if (w <= 0) return;
        // A record whose compare value is not in the list counts nowhere: in
        // neither the totals nor the cells.
        for (size_t c = 0; c < nC_; ++c) {
            valueNumbers[c] = values_[c].FindRecord(walk, CompareAt(c));
            if (valueNumbers[c] == 0) return;
        }
        for (size_t k = 0; k < nX_; ++k) {
            double x = 0;
            if (!walk.PresentValue(DataAt(k), x)) continue;
            const DecimalValue value = SplitDecimal(x);
            cells.Add(k, valueNumbers, value, w);
            if (walker.value) walker.value(k, value, w, valueNumbers);
        }
    };
    handlers.groupEnd = walker.groupEnd;
    handlers.groupStart = [&] {
        cells.Clear();
        if (walker.groupStart) walker.groupStart();
    };
    if (walker.groupStart) walker.groupStart();
    walk.Walk(handlers);
}

// --- rows ---------------------------------------------------------------------------------

const dao::RecordsetPtr& GroupFamily::AddResultRow(const GroupValues& group, size_t k) {
    const dao::RecordsetPtr& rs = zantels_.OutputRecordset();
    rs->AddNew();
    WriteGroupValues(rs, static_cast<int16_t>(nG_), fields_, group, DataAt(k), "", "", false, 0, 0, 0);
    return rs;
}

const dao::RecordsetPtr& GroupFamily::AddResultRow(const GroupValues& group, size_t k, int i, int j) {
    const dao::RecordsetPtr& rs = zantels_.OutputRecordset();
    rs->AddNew();
    WriteGroupValues(rs, static_cast<int16_t>(nG_), fields_, group, DataAt(k), "", "", false, 0, 0, 0, CompareAt(0),
                     values_[0].Value(i), values_[0].Value(j));
    return rs;
}

void GroupFamily::WriteDetail(size_t k, const GroupValues& group, const CompareCells& cells) {
    if (!detail_) return;
    ProcScope scope(ErrStack(), "WriteDetail");
    for (size_t c = 0; c < nC_; ++c) {
        for (int j = 1; j <= values_[c].Count(); ++j) {
            const CellSums& cell = cells.Cell(k, c, j);
            if (cell.Weights() > 0) WriteDetailRow(k, c, j, group, cell);
        }
    }
}

void GroupFamily::WriteDetailRow(size_t k, size_t c, int j, const GroupValues& group, const CellSums& cell) {
    detail_->AddNew();
    WriteGroupValues(detail_, static_cast<int16_t>(nG_), fields_, group, DataAt(k), "Count", "", weighted_,
                     cell.Weights(), cell.count, cell.count);
    const vb::Variant& value = values_[c].Value(j);
    if (nC_ == 1) {
        detail_->Fields(std::string_view(CompareName(c)))->Value(value);
    } else {
        detail_->Fields(std::string_view("Compare_Field"))->Value(CompareName(c));
        const bool sameType = types_.at(static_cast<size_t>(CompareAt(c))) == compareType_;
        detail_->Fields(std::string_view("Compare_Value"))
            ->Value(sameType || value.IsNull() ? value : vb::Variant(value.ToString()));
    }
    const DetailMeasures d = CellDetail(cell);
    SetIfFinite(detail_, "Mean", d.mean);
    SetIfFinite(detail_, "Minimum", cell.minimum);
    SetIfFinite(detail_, "Maximum", cell.maximum);
    SetIfFinite(detail_, "Range", d.range);
    SetIfFinite(detail_, "Sum", cell.Sum());
    SetIfFinite(detail_, "Variance", d.variance);
    SetIfFinite(detail_, "CoeffOfVariance", d.coeffOfVariance);
    SetIfFinite(detail_, "StdDeviation", d.stdDeviation);
    SetIfFinite(detail_, "StdError", d.stdError);
    detail_->Update();
}
