// Cross-tabulation: each data field summarised by the values of the row
// fields (down) and of one column field (across), one summary kind per run,
// with optional percent and expected rows and a chi-square table of
// independence per block of outer row values.
//
// Counts, sums, averages and first and last values come as a grouped query
// gives them: one row per combination of row values and column value with its
// counts and sums (counts and sums formed in memory from one unsorted read of
// the records where that gives the query's rows, see GroupAggregate; else the
// query itself). Minimum, maximum and
// range, and the kinds that form a variance, read the records sorted by the
// row and column fields: a variance is accumulated value by value about the
// cell's first value (WeightedMoments), since sums of squares formed by the
// database lose the digits of values far from zero. The cells of one block
// are kept in memory, in the order the rows arrive, until the block is written.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "AnalysisPhases.h"
#include "ErrorStack.h"
#include "GroupAggregate.h"
#include "GroupWalker.h"
#include "RunContext.h"
#include "StatsGeneral.h"
#include "analysis/AnalysisEntries.h"
#include "numeric/CZValue.h"
#include "numeric/Numerics.h"
#include "numeric/WeightedMoments.h"
#include "vb/Conversions.h"
#include "vb/VbError.h"

namespace {

struct XtabCell {
    int32_t Records = 0;
    ExactSum N;               // the (weighted) number of valid values
    ExactSum SumX;            // the (weighted) sum of the values
    WeightedMoments moments;  // kinds V, F, D and E: weights, mean and central sum of squares
    double High = 0;
    double Low = 0;
    double First = 0;
};

// One cell of one row value: column i, data field j.
struct RowCell {
    int col;
    int field;
    XtabCell cell;
};

struct BlockRow {
    vb::Variant value;
    std::vector<RowCell> cells;
};

struct XtabColumn {
    std::string text;  // trimmed value text; empty for the Null entry
    std::string name;  // the result column that holds it
};

// The chi-square sums of one block and data field, held divided by 2^scale
// (see ChiScale).
struct ChiState {
    double chi = 0;
    int32_t rows = 0;
    bool valid = true;
    double minExpected = 0;
    double maxExpected = 0;
    int scale = 0;
};

// The exponent by which a block's values are divided while expected values
// and chi-square terms are formed from them: 0 at an ordinary scale, where
// the terms are the plain ones, else the block value's own, so that the
// product of two values (weights of 1e300, or of 2^-600) neither overflows
// nor vanishes. A power of two: the terms are the plain ones scaled exactly.
int ChiScale(double g) {
    if (!std::isfinite(g) || g <= 0 || (g >= 0x1p-400 && g <= 0x1p400)) return 0;
    return std::ilogb(g);
}

// s * c / g, and s * c / g^2, formed at the scale of g.
double ExpectedValue(double s, double c, double g) {
    const int e = ChiScale(g);
    return std::ldexp(std::ldexp(s, -e) * std::ldexp(c, -e) / std::ldexp(g, -e), e);
}
double ExpectedShare(double s, double c, double g) {
    const int e = ChiScale(g);
    const double gs = std::ldexp(g, -e);
    return std::ldexp(s, -e) * std::ldexp(c, -e) / (gs * gs);
}

const char kKinds[] = "CSAMXRVFDE1L";
const char* const kKindNames[] = {"Count", "Sum",     "Average", "Min",     "Max",   "Range",
                                  "Var",   "CoefVar", "StDev",   "StError", "First", "Last"};
const char* const kPercentLabels[] = {"% Row", "% Col", "% Total", "% Expected", "Expected"};
constexpr const char* kAllRecords = "Calc All Records";

bool In(char kind, const char* letters) { return std::strchr(letters, kind) != nullptr; }

class CXTab {
public:
    std::string DataOk_Str(const std::string& strField, bool fWeight, const std::string& strTrue,
                           const std::string& strFalse) const;
    std::string Quarn_Xtab(const std::string& OutTableName, const std::string& ChiTableName,
                           const std::string& strUserTable, FieldNames& strFields, int16_t intRowFields,
                           int16_t intNumFields, int16_t intWeightField_b, const std::string& strXTabType,
                           std::string& strOptions, RunContext& Zantels);

private:
    bool CalcValue(const XtabCell& cell, double& value) const;
    std::string CreateChi_b(const std::string& ChiTableName);
    std::string CreateColumns(const std::string& strUserTable);
    std::string ListColumns(const std::vector<vb::Variant>& values);
    bool TallyInMemory(const std::string& strUserTable);
    void RefuseTexts(const std::string& strUserTable);
    bool AtEnd() const;
    vb::Variant Cell(int i) const;
    bool CellNumber(int i, double& x) const;
    void Next();
    std::string CreateOutput_b(const std::string& OutTableName);
    std::string DataOkNull_Str(const std::string& f, bool fWeight, const std::string& strTrue,
                               const std::string& strFalse) const;
    std::string InitXtabDataTable(const std::string& strUserTable);
    struct QueryAggregate {
        std::string function;  // Count, Sum, First or Last
        std::string argument;  // "*" for every record
        std::string alias;
    };
    std::vector<QueryAggregate> QueryAggregates(const std::string& strUserTable) const;
    std::string GroupKeys(const std::string& strUserTable = {}) const;
    void Merge(XtabCell& into, const XtabCell& cell) const;
    int FindColumn(const vb::Variant& value);
    void ReadRecords();
    void CalcData(BlockRow& row);
    void WriteData();
    std::vector<XtabCell> ColumnCells(int j) const;
    void WriteBlockRow(int j, const BlockRow& row, const std::vector<char>& colFlags,
                       const std::vector<double>& colValues, bool blockFlag, double g);
    void WriteOneRow(const std::string& label, int j, int k, const std::vector<char>& flags,
                     const std::vector<double>& values, bool summaryFlag);
    void WritePercent(const std::string& prefix, int j, int k, const std::vector<char>& rowFlags,
                      const std::vector<double>& rowValues, double s, const std::vector<char>& colFlags,
                      const std::vector<double>& colValues, bool blockFlag, double g);
    void CalcChiSq(double g, double s, const std::vector<char>& rowFlags, const std::vector<double>& rowValues,
                   const std::vector<char>& colFlags, const std::vector<double>& colValues);
    void WriteChi(int j, double g, const std::vector<char>& colFlags, const std::vector<double>& colValues);
    std::string DataFieldName(int j) const;

    RunContext* z_ = nullptr;
    FieldNames* fields_ = nullptr;
    int16_t nG_ = 0, nX_ = 0;
    bool weighted_ = false;
    char kind_ = 'C';
    std::string name_;
    std::string options_;
    bool chiFlag_ = false;
    bool pseudo_ = false;
    std::vector<int32_t> types_, sizes_;
    std::vector<XtabColumn> cols_;  // 1..nCols
    int nCols_ = 0;
    bool firstNull_ = false;
    std::unordered_map<std::string, int> columnByText_;
    int lastColumn_ = 0;
    // The stored column value of the record read last and its column.
    StoredValueCache columnKey_;
    vb::Variant columnValue_;
    int columnOfKey_ = 0;
    std::vector<vb::Variant> groupValues_;  // block values 1..nG-1, the row value at nG
    std::vector<BlockRow> rows_;
    dao::RecordsetPtr data_, out_, chiOut_;
    // The query rows when formed in memory (else data_'s).
    std::unique_ptr<GroupAggregate> tally_;
    size_t tallyRow_ = 0;
    dao::Field* weightField_ = nullptr;  // of data_, looked up at its first record
    std::unordered_map<std::string, dao::FieldPtr> outFields_;
    ChiState chi_;
    CZValue prob_;
};

std::string CXTab::DataOk_Str(const std::string& strField, bool fWeight, const std::string& strTrue,
                              const std::string& strFalse) const {
    const std::string& mode = z_->MissingType();
    std::string condition;
    if (vb::EqualsNoCase(mode, "Equal")) {
        condition = strField + "<>" + vb::NumberToSql(z_->MissingEqual());
    } else if (!fWeight && vb::EqualsNoCase(mode, "High")) {
        condition = strField + "<=" + vb::NumberToSql(z_->MissingHigh());
    } else if (!fWeight && vb::EqualsNoCase(mode, "Low")) {
        condition = vb::NumberToSql(z_->MissingLow()) + "<=" + strField;
    } else if (!fWeight && vb::EqualsNoCase(mode, "Both")) {
        condition = "(" + vb::NumberToSql(z_->MissingLow()) + "<=" + strField + ") And (" + strField +
                    "<= " + vb::NumberToSql(z_->MissingHigh()) + ")";
    }
    if (condition.empty()) return strTrue;
    return "IIf(" + condition + "," + strTrue + ", " + strFalse + ")";
}

std::string CXTab::DataOkNull_Str(const std::string& f, bool fWeight, const std::string& strTrue,
                                  const std::string& strFalse) const {
    return "IIf(IsNull(" + f + "), Null, " + DataOk_Str(f, fWeight, strTrue, strFalse) + ")";
}

std::string CXTab::Quarn_Xtab(const std::string& OutTableName, const std::string& ChiTableName,
                              const std::string& strUserTable, FieldNames& strFields, int16_t intRowFields,
                              int16_t intNumFields, int16_t intWeightField_b, const std::string& strXTabType,
                              std::string& strOptions, RunContext& Zantels) {
    ProcScope scope(ErrStack(), "Quarn_Xtab");
    z_ = &Zantels;
    fields_ = &strFields;
    nG_ = intRowFields;
    nX_ = intNumFields;
    weighted_ = intWeightField_b != 0;
    // Kinds without a computation ("U", "O") or unknown letters would end in
    // a database error half-way: refuse them up front.
    const std::string kindText = vb::Trim(strXTabType);
    const char letter = kindText.size() == 1 ? vb::FoldChar(kindText[0]) : '\0';
    const char* at = letter != '\0' ? std::strchr(kKinds, letter) : nullptr;
    if (at == nullptr) return "Unknown cross-tabulation summary type: " + strXTabType;
    kind_ = *at;
    name_ = kKindNames[at - kKinds];

    chiFlag_ = !strOptions.empty() && vb::FoldChar(strOptions.back()) == 'Y' && In(kind_, "CS");
    if (!In(kind_, "CS")) strOptions = vb::Left(strOptions, 3) + "NN";
    options_ = strOptions;
    const bool query = In(kind_, "CSA1L");
    pseudo_ = strFields.at(static_cast<size_t>(nG_ + 2)) == "*";

    const std::string result = RunAnalysisPhases(
        Zantels, {.openSource =
                      [&] {
                          if (query) RefuseTexts(strUserTable);
                          if (query && TallyInMemory(strUserTable)) {
                              data_ = z_->DataRecordset();
                              return ListColumns(tally_->Values(nG_));
                          }
                          std::string text = CreateColumns(strUserTable);
                          if (!text.empty()) return text;
                          text = query ? InitXtabDataTable(strUserTable)
                                       : z_->Quarn_InitDataTable(strUserTable, strFields, static_cast<int16_t>(nG_ + 1),
                                                                 types_, sizes_);
                          data_ = z_->DataRecordset();
                          return text;
                      },
                  .createOutput =
                      [&] {
                          std::string text = CreateOutput_b(OutTableName);
                          if (text.empty() && chiFlag_) text = CreateChi_b(ChiTableName);
                          return text;
                      },
                  .readRecords = [&] { ReadRecords(); }});
    if (chiOut_) chiOut_->Close();
    return result;
}

// The column list: each distinct value of the column field, trimmed, in the
// order the database returns them (Null first); later entries equal to an
// earlier one without regard to case are dropped.
std::string CXTab::CreateColumns(const std::string& strUserTable) {
    ProcScope scope(ErrStack(), "CreateColumns");
    const std::string& field = fields_->at(static_cast<size_t>(nG_ + 1));
    const std::string column = z_->ValueSql(strUserTable, field) + " AS " + BracketName(field);
    dao::RecordsetPtr rs = z_->SourceDatabase()->OpenRecordset(
        "SELECT DISTINCT " + column + " FROM " + BracketName(strUserTable) + ";", dao::dbOpenSnapshot);
    std::vector<vb::Variant> values;
    while (!rs->Eof()) {
        values.push_back(rs->Fields(0)->Value());
        rs->MoveNext();
    }
    rs->Close();
    return ListColumns(values);
}

std::string CXTab::ListColumns(const std::vector<vb::Variant>& values) {
    cols_.assign(1, XtabColumn{});
    firstNull_ = false;
    columnByText_.clear();
    bool first = true;
    for (const vb::Variant& v : values) {
        if (first) firstNull_ = v.IsNull();
        const std::string text = v.IsNull() ? std::string() : vb::Trim(vb::CStr(v));
        const std::string key = vb::UCase(text);
        if (first && firstNull_) {
            cols_.push_back({text, "<NULL>"});
        } else if (!columnByText_.count(key)) {
            columnByText_.emplace(key, static_cast<int>(cols_.size()));
            cols_.push_back({text, {}});
        }
        first = false;
    }
    nCols_ = static_cast<int>(cols_.size()) - 1;
    if (nCols_ < 1) return "Column field must have at least one value";
    if (nCols_ > 32767) throw vb::VbError(6, "Overflow", "CreateColumns");
    return {};
}

// The aggregates of the grouped query, after the row and column fields.
std::vector<CXTab::QueryAggregate> CXTab::QueryAggregates(const std::string& strUserTable) const {
    const std::string t = BracketName(strUserTable);
    auto read = [&](size_t at) {
        return z_->NumberSql(strUserTable, fields_->at(at), t + "." + BracketName(fields_->at(at)));
    };
    auto T = [&](int j) { return read(static_cast<size_t>(nG_ + 1 + j)); };
    std::string Wf;
    if (weighted_) {
        const std::string Tw = read(static_cast<size_t>(nG_ + nX_ + 2));
        // A weight that is Null, missing, zero or negative counts 0, as in
        // every other analysis.
        Wf = "IIf(" + Tw + " > 0, " + DataOk_Str(Tw, true, Tw, "0") + ", 0)";
    }
    const char* aggregate = kind_ == 'C' ? "Count" : kind_ == '1' ? "First" : kind_ == 'L' ? "Last" : "Sum";
    std::vector<QueryAggregate> list;
    for (int j = 1; j <= nX_; ++j) {
        const bool isPseudo = pseudo_ && j == 1;
        const std::string value = kind_ == 'C' ? "1" : T(j);
        const std::string alias = isPseudo ? std::string("[") + kAllRecords + "]"
                                           : BracketName(fields_->at(static_cast<size_t>(nG_ + 1 + j)));
        if (isPseudo) {
            list.push_back(weighted_ ? QueryAggregate{"Sum", Wf, alias} : QueryAggregate{aggregate, "*", alias});
        } else if (weighted_ && In(kind_, "CSA")) {
            list.push_back({"Sum", DataOkNull_Str(T(j), false, value, "0") + " * " + Wf, alias});
        } else if (weighted_ && In(kind_, "1L")) {
            // A record of weight 0 is left out, as by every other kind: it is
            // neither the first nor the last value.
            list.push_back(
                {aggregate, "IIf(" + Wf + " > 0, " + DataOkNull_Str(T(j), false, value, "Null") + ", Null)", alias});
        } else {
            list.push_back({aggregate, DataOkNull_Str(T(j), false, value, "Null"), alias});
        }
    }
    if (kind_ != 'C') {
        for (int j = 1; j <= nX_; ++j) {
            const bool isPseudo = pseudo_ && j == 1;
            const std::string alias = "[Zelk_Count_" + std::to_string(j) + "]";
            if (weighted_) {
                list.push_back(
                    {"Sum", (isPseudo ? std::string("1") : DataOkNull_Str(T(j), false, "1", "0")) + " * " + Wf, alias});
            } else {
                list.push_back(
                    {"Count", isPseudo ? std::string("*") : DataOkNull_Str(T(j), false, T(j), "Null"), alias});
            }
        }
    }
    return list;
}

// The row fields and the column field, as a list; with a table, as the
// database compares their values (see RunContext::ValueSql).
std::string CXTab::GroupKeys(const std::string& strUserTable) const {
    std::string keys;
    for (int f = 1; f <= nG_ + 1; ++f) {
        if (f > 1) keys += ", ";
        const std::string& name = fields_->at(static_cast<size_t>(f));
        keys += strUserTable.empty() ? BracketName(name) : z_->ValueSql(strUserTable, name);
    }
    return keys;
}

std::string CXTab::InitXtabDataTable(const std::string& strUserTable) {
    ProcScope scope(ErrStack(), "InitXtabDataTable");
    const std::string keys = GroupKeys();
    std::string sql = "SELECT DISTINCT " + keys;
    for (const QueryAggregate& a : QueryAggregates(strUserTable))
        sql += ", " + a.function + "(" + a.argument + ") AS " + a.alias;
    sql += " FROM " + BracketName(strUserTable) + " GROUP BY " + GroupKeys(strUserTable) + ";";
    std::string result = z_->OpenDataRecordset(sql);
    if (!result.empty()) return result;
    if (pseudo_) (*fields_)[static_cast<size_t>(nG_ + 2)] = kAllRecords;
    z_->Quarn_InitFieldTypes(z_->DataRecordset(), static_cast<int16_t>(nG_ + 1 + nX_), *fields_, types_, sizes_);
    return {};
}

// The grouped query's rows (and the column list) formed in memory from one
// unsorted read of the records with each aggregate's argument: counts and
// sums only. False when they are better left to the query (see
// GroupAggregate); the data record set is then closed.
bool CXTab::TallyInMemory(const std::string& strUserTable) {
    ProcScope scope(ErrStack(), "TallyInMemory");
    tally_.reset();
    tallyRow_ = 0;
    std::vector<GroupAggregate::Aggregate> aggregates;
    std::string sql = "SELECT " + GroupKeys();
    for (const QueryAggregate& a : QueryAggregates(strUserTable)) {
        const int field = nG_ + 1 + static_cast<int>(aggregates.size());
        if (a.function == "Count") {
            aggregates.push_back(
                {a.argument == "*" ? GroupAggregate::Kind::kRows : GroupAggregate::Kind::kCount, field});
        } else if (a.function == "Sum") {
            aggregates.push_back({GroupAggregate::Kind::kSum, field});
        } else {
            return false;
        }
        sql += ", " + (a.argument == "*" ? std::string("1") : a.argument) + " AS " + a.alias;
    }
    // A read that fails is left to the query, whose error the run reports.
    if (!z_->OpenDataRecordset(sql + " FROM " + BracketName(strUserTable) + ";").empty()) return false;
    auto tally = std::make_unique<GroupAggregate>(z_->DataRecordset(), nG_ + 1, std::move(aggregates));
    if (!tally->ReadAll()) {
        z_->DataRecordset()->Close();
        return false;
    }
    if (pseudo_) (*fields_)[static_cast<size_t>(nG_ + 2)] = kAllRecords;
    z_->Quarn_InitFieldTypes(z_->DataRecordset(), static_cast<int16_t>(nG_ + 1 + nX_), *fields_, types_, sizes_);
    tally_ = std::move(tally);
    return true;
}

// The kinds summed by the database would count a text as a value and add it
// as 0 (a text weight as 0 too): the data fields and the weight field are
// searched for one first (RunContext::RefuseTexts), as the kinds read record
// by record refuse it.
void CXTab::RefuseTexts(const std::string& strUserTable) {
    ProcScope scope(ErrStack(), "RefuseTexts");
    std::vector<std::string> names;
    for (int j = 1; j <= nX_; ++j) {
        if (!(pseudo_ && j == 1)) names.push_back(fields_->at(static_cast<size_t>(nG_ + 1 + j)));
    }
    if (weighted_) names.push_back(fields_->at(static_cast<size_t>(nG_ + nX_ + 2)));
    z_->RefuseTexts(strUserTable, names);
}

bool CXTab::AtEnd() const { return tally_ ? tallyRow_ >= tally_->Rows() : data_->Eof(); }

vb::Variant CXTab::Cell(int i) const { return tally_ ? tally_->Value(tallyRow_, i) : data_->Fields(i)->Value(); }

// A number of the current row as CDbl gives it; false for Null.
bool CXTab::CellNumber(int i, double& x) const {
    if (!tally_) return data_->Fields(i)->NumberValue(x);
    const vb::Variant v = tally_->Value(tallyRow_, i);
    if (v.IsNull()) return false;
    x = v.ToDouble();
    return true;
}

void CXTab::Next() {
    if (tally_)
        ++tallyRow_;
    else
        data_->MoveNext();
}

// A valid, unique result-column name for a column value: characters a
// column name cannot hold become "_", the name is cut to 64 characters, and
// a name already taken (by a leading column or an earlier value) gets a
// numbered suffix. The value itself stays the lookup key and the label.
// The length in bytes of the valid UTF-8 character at s[i], or 0 for a byte
// that starts none.
size_t Utf8CharLength(const std::string& s, size_t i) {
    const auto b = [&](size_t k) { return static_cast<unsigned char>(s[k]); };
    const unsigned char c = b(i);
    size_t n = 0;
    if (c < 0x80) return 1;
    if (c >= 0xC2 && c <= 0xDF)
        n = 2;
    else if (c >= 0xE0 && c <= 0xEF)
        n = 3;
    else if (c >= 0xF0 && c <= 0xF4)
        n = 4;
    if (n == 0 || i + n > s.size()) return 0;
    for (size_t k = 1; k < n; ++k)
        if ((b(i + k) & 0xC0) != 0x80) return 0;
    // No overlong forms, surrogates or values past U+10FFFF.
    if ((c == 0xE0 && b(i + 1) < 0xA0) || (c == 0xED && b(i + 1) > 0x9F) || (c == 0xF0 && b(i + 1) < 0x90) ||
        (c == 0xF4 && b(i + 1) > 0x8F))
        return 0;
    return n;
}

std::string UniqueColumnName(const std::string& text, std::unordered_set<std::string>& taken) {
    // Column names are UTF-8 text that every SQLite client can read: a byte
    // that is no part of a valid character becomes "_" too, and the cut to
    // 64 characters falls between characters.
    std::string stem;
    for (size_t i = 0; i < text.size();) {
        const size_t n = Utf8CharLength(text, i);
        if (n > 1) {
            stem.append(text, i, n);
            i += n;
            continue;
        }
        const char ch = text[i++];
        const auto u = static_cast<unsigned char>(ch);
        stem +=
            (n == 0 || u < 32 || ch == '.' || ch == '!' || ch == '`' || ch == '[' || ch == ']' || u == 127) ? '_' : ch;
    }
    if (stem.empty()) stem = "_";
    std::string name = vb::LeftChars(stem, 64);
    for (int k = 2; taken.count(vb::UCase(name)); ++k) {
        const std::string suffix = "_" + std::to_string(k);
        name = vb::LeftChars(stem, 64 - suffix.size()) + suffix;
    }
    taken.insert(vb::UCase(name));
    return name;
}

std::string CXTab::CreateOutput_b(const std::string& OutTableName) {
    ProcScope scope(ErrStack(), "CreateOutput_b");
    dao::TableDefPtr tdf = NewResultTable(*z_, OutTableName);
    std::unordered_set<std::string> taken = {"STATOUTPUTID", "DATAFIELD", "DATATYPE", "ROWSUMMARY", "<NULL>"};
    int16_t ordinal = 0;
    AddOutputField(tdf, "StatOutputID", dao::dbLong, ordinal);
    auto addRowField = [&](int i) {
        const std::string& f = fields_->at(static_cast<size_t>(i));
        taken.insert(vb::UCase(f));
        AddOutputField(tdf, f, static_cast<int16_t>(types_.at(static_cast<size_t>(i))), ordinal,
                       sizes_.at(static_cast<size_t>(i)));
    };
    for (int i = 1; i < nG_; ++i) addRowField(i);
    AddOutputField(tdf, "DataField", dao::dbText, ordinal, 64);
    addRowField(nG_);
    AddOutputField(tdf, "DataType", dao::dbText, ordinal, 17);
    AddOutputField(tdf, "RowSummary", dao::dbDouble, ordinal);
    for (int i = 1; i <= nCols_; ++i) {
        XtabColumn& c = cols_[static_cast<size_t>(i)];
        if (!(i == 1 && firstNull_)) c.name = UniqueColumnName(c.text, taken);
        AddOutputField(tdf, c.name, dao::dbDouble, ordinal);
    }
    std::string result = z_->Quarn_CreateTable(tdf, true);
    if (!result.empty()) return result;
    out_ = z_->OutputRecordset();
    return {};
}

std::string CXTab::CreateChi_b(const std::string& ChiTableName) {
    ProcScope scope(ErrStack(), "CreateChi_b");
    dao::TableDefPtr tdf = NewResultTable(*z_, ChiTableName);
    int16_t ordinal = 0;
    AddOutputField(tdf, "StatOutputID", dao::dbLong, ordinal);
    for (int i = 1; i < nG_; ++i) {
        AddOutputField(tdf, fields_->at(static_cast<size_t>(i)),
                       static_cast<int16_t>(types_.at(static_cast<size_t>(i))), ordinal,
                       sizes_.at(static_cast<size_t>(i)));
    }
    AddOutputField(tdf, "DataField", dao::dbText, ordinal, 64);
    for (const char* c : {"Count", "MinExpected", "MaxExpected"}) AddOutputField(tdf, c, dao::dbDouble, ordinal);
    for (const char* c : {"Columns", "Rows", "DF"}) AddOutputField(tdf, c, dao::dbInteger, ordinal);
    for (const char* c : {"Chi-Square", "Prob", "Phi-Coefficient", "Coeff_of_Contingency", "Cramer's_V"}) {
        AddOutputField(tdf, c, dao::dbDouble, ordinal);
    }
    std::string result = z_->Quarn_CreateTable(tdf, false);
    if (!result.empty()) return result;
    chiOut_ = OpenResultTable(z_->OutputDatabase(), ChiTableName);
    z_->OutputRecordset2(chiOut_);
    return {};
}

// The column of a record's column value: Null goes to the Null entry; any
// other value by its trimmed text, without regard to case. Rows arrive sorted
// by column within a row value, so the last column and its neighbour are
// tried first. 0: the value has no column.
int CXTab::FindColumn(const vb::Variant& value) {
    if (value.IsNull()) return firstNull_ ? 1 : 0;
    const std::string text = vb::Trim(vb::CStr(value));
    const int p = lastColumn_;
    if (p >= 1 && !(p == 1 && firstNull_) && vb::EqualsNoCase(cols_[static_cast<size_t>(p)].text, text)) return p;
    if (p < nCols_ && vb::EqualsNoCase(cols_[static_cast<size_t>(p + 1)].text, text)) return lastColumn_ = p + 1;
    auto it = columnByText_.find(vb::UCase(text));
    if (it == columnByText_.end()) return 0;
    return lastColumn_ = it->second;
}

void CXTab::ReadRecords() {
    ProcScope scope(ErrStack(), "ReadRecords");
    std::vector<vb::Variant> previous(static_cast<size_t>(nG_) + 1), current(static_cast<size_t>(nG_) + 1);
    groupValues_.assign(static_cast<size_t>(nG_) + 1, vb::Variant());
    rows_.clear();
    lastColumn_ = 0;
    columnKey_.Forget();
    int32_t counter = 0;
    // Reading the records, a row value is read only when its stored value
    // differs from the one it was last read from, and records whose row
    // values are identical to the row's are no new row under any comparison.
    std::vector<StoredValueCache> keys(static_cast<size_t>(nG_) + 1);
    while (!AtEnd()) {
        bool sameValues = counter > 0;
        for (int i = 1; i <= nG_; ++i) {
            const size_t k = static_cast<size_t>(i);
            if (tally_) {
                current[k] = Cell(i - 1);
            } else {
                keys[k].Refresh(*data_->Fields(i - 1), current[k]);
            }
            if (sameValues) sameValues = IdenticalValues(current[k], previous[k]);
        }
        if (counter == 0) {
            z_->Quarn_SameRecords_b(nG_, false, previous, current);
            groupValues_ = current;
            rows_.push_back({current[static_cast<size_t>(nG_)], {}});
        } else if (!sameValues && z_->Quarn_SameRecords_b(nG_, true, previous, current)) {
            // A new row value; a change of the outer row fields also ends the block.
            if (z_->Quarn_SameRecords_b(static_cast<int16_t>(nG_ - 1), true, previous, current)) {
                WriteData();
                rows_.clear();
                groupValues_ = current;
                lastColumn_ = 0;
            }
            z_->Quarn_SameRecords_b(nG_, false, previous, current);
            rows_.push_back({current[static_cast<size_t>(nG_)], {}});
        }
        CalcData(rows_.back());
        ++counter;
        z_->Quarn_Msg(counter, false, "");
        Next();
    }
    z_->Quarn_Msg(counter, true, "");
    if (counter > 0) WriteData();
}

void CXTab::CalcData(BlockRow& row) {
    int p = 0;
    if (tally_) {
        p = FindColumn(Cell(nG_));
    } else {
        // Records store the same column value in runs: its column is found
        // again only when the stored value changes.
        if (columnKey_.Refresh(*data_->Fields(nG_), columnValue_)) columnOfKey_ = FindColumn(columnValue_);
        p = columnOfKey_;
    }
    if (p == 0) return;
    // Kinds read from the records weigh each record; a query row carries its
    // weights in its counts.
    const bool records = In(kind_, "MXRVFDE");
    double w = 1;
    if (records) {
        if (weighted_) {
            if (!weightField_)
                weightField_ = data_->Fields(std::string_view(fields_->at(static_cast<size_t>(nG_ + nX_ + 2)))).get();
            double stored = 0;
            w = weightField_->NumberValue(stored) ? z_->WeightOf(stored) : 0;
        }
        if (w <= 0) return;
    }
    for (int j = 1; j <= nX_; ++j) {
        double x = 0;
        if (!CellNumber(nG_ + j, x)) continue;
        if (kind_ == 'C' && x == 0) continue;
        if (records && !z_->Quarn_DataOk_b(x, false)) continue;
        // Rows arrive sorted by column within a row value: the cell is
        // usually among the last ones made.
        auto it = std::find_if(row.cells.rbegin(), row.cells.rend(),
                               [&](const RowCell& c) { return c.col == p && c.field == j; });
        XtabCell& cell = it != row.cells.rend() ? it->cell : row.cells.emplace_back(RowCell{p, j, {}}).cell;
        if (cell.Records > 0) {
            cell.Low = std::min(cell.Low, x);
            cell.High = std::max(cell.High, x);
            if (kind_ == 'L') cell.First = x;
        } else {
            cell.Low = cell.High = cell.First = x;
        }
        cell.Records += 1;
        if (kind_ == 'C') {
            cell.N.Add(x);
            cell.SumX.Add(x);
        } else if (In(kind_, "MXR")) {
            // The bounds alone: no sum of these kinds is written.
            cell.N.Add(w);
        } else if (records) {
            cell.N.Add(w);
            cell.moments.Add(x, w);
        } else {
            // The query's value is the key's (weighted) sum, its count column
            // the (weighted) number of valid values.
            const vb::Variant count = Cell(nG_ + nX_ + j);
            cell.N.Add(count.IsNull() ? 0.0 : count.ToDouble());
            cell.SumX.Add(x);
        }
    }
}

// Merges a cell into a running record: bounds, counts and sums; the first
// value stays the first merged one for "First" and follows the latest for
// "Last".
void CXTab::Merge(XtabCell& into, const XtabCell& cell) const {
    if (into.Records == 0) {
        into.High = cell.High;
        into.Low = cell.Low;
        into.First = cell.First;
    } else {
        into.High = std::max(into.High, cell.High);
        into.Low = std::min(into.Low, cell.Low);
        if (kind_ == 'L') into.First = cell.First;
    }
    into.Records += cell.Records;
    into.N.Add(cell.N);
    into.SumX.Add(cell.SumX);
    into.moments.Merge(cell.moments);
}

bool CXTab::CalcValue(const XtabCell& c, double& value) const {
    const double n = c.N.Value();
    if (n <= 0) return false;
    switch (kind_) {
        case 'C':
        case 'S':
            value = c.SumX.Value();
            break;
        case 'A':
            value = ExactQuotient(c.SumX, c.N);
            break;
        case 'M':
            value = c.Low;
            break;
        case 'X':
            value = c.High;
            break;
        case 'R':
            value = ValueDifference(c.High, c.Low);
            break;
        case '1':
        case 'L':
            value = c.First;
            break;
        default: {
            if (n <= 1) return false;
            // The moments' own, formed from their held sums (values and
            // weights far from 1), so that a deviation a Double holds is
            // written though its square or weighted square is not.
            const WeightedMoments::Deviation d = c.moments.Deviations("N-1");
            if (kind_ == 'V') value = d.variance;
            if (kind_ == 'F') {
                // A mean of 0 has no coefficient: the cell stays empty, as in Describe.
                if (!d.coeffOfVariance) return false;
                value = *d.coeffOfVariance;
            }
            if (kind_ == 'D') value = d.stdDeviation;
            if (kind_ == 'E') {
                // The root of the sum of weights takes half of their (even) exponent.
                const WeightedMoments& m = c.moments;
                value =
                    std::ldexp(std::sqrt(d.heldVariance / m.HeldWeight()), m.ScaleExponent() - m.WeightExponent() / 2);
            }
        }
    }
    return std::isfinite(value);
}

std::string CXTab::DataFieldName(int j) const {
    const std::string& f = fields_->at(static_cast<size_t>(nG_ + 1 + j));
    return vb::EqualsNoCase(f, kAllRecords) ? "-" : f;
}

void CXTab::WriteData() {
    ProcScope scope(ErrStack(), "WriteData");
    const size_t n = static_cast<size_t>(nCols_) + 2;
    for (int j = 1; j <= nX_; ++j) {
        // Column accumulators of the block, then the block record.
        const std::vector<XtabCell> colAcc = ColumnCells(j);
        std::vector<char> colFlags(n, 0);
        std::vector<double> colValues(n, 0), colN(n, 0);
        XtabCell block;
        for (int i = 1; i <= nCols_; ++i) {
            const XtabCell& acc = colAcc[static_cast<size_t>(i)];
            double v = 0;
            colFlags[static_cast<size_t>(i)] = CalcValue(acc, v);
            colValues[static_cast<size_t>(i)] = v;
            if (acc.N.Value() > 0) {
                Merge(block, acc);
                colN[static_cast<size_t>(i)] = acc.N.Value();
            }
        }
        if (block.Records == 0) continue;
        colN[n - 1] = block.N.Value();
        double g = 0;
        const bool blockFlag = CalcValue(block, g);
        if (chiFlag_) {
            const int e = ChiScale(g);
            chi_ = ChiState{0, 0, true, std::ldexp(g, -e) + 1, 0, e};
        }

        // One row per row value that has data for this field.
        for (const BlockRow& row : rows_) WriteBlockRow(j, row, colFlags, colValues, blockFlag, g);

        // The block's summary rows.
        colValues[n - 1] = g;
        const int outer = nG_ - 1;
        WriteOneRow("GROUP Total", j, outer, colFlags, colValues, blockFlag);
        if (kind_ != 'C') WriteOneRow("GROUP Count", j, outer, colFlags, colN, true);
        WritePercent("GROUP ", j, outer, colFlags, colValues, g, colFlags, colValues, blockFlag, g);
        if (chiFlag_) WriteChi(j, g, colFlags, colValues);
    }
}

// The cells of field j's block summed by column.
std::vector<XtabCell> CXTab::ColumnCells(int j) const {
    std::vector<XtabCell> colAcc(static_cast<size_t>(nCols_) + 2);
    for (const BlockRow& row : rows_) {
        for (const RowCell& c : row.cells) {
            if (c.field == j && c.cell.Records > 0) Merge(colAcc[static_cast<size_t>(c.col)], c.cell);
        }
    }
    return colAcc;
}

// The rows of a row value that has data for field j, against the block's
// column figures and total g.
void CXTab::WriteBlockRow(int j, const BlockRow& row, const std::vector<char>& colFlags,
                          const std::vector<double>& colValues, bool blockFlag, double g) {
    const size_t n = static_cast<size_t>(nCols_) + 2;
    std::vector<char> rowFlags(n, 0);
    std::vector<double> rowValues(n, 0), cellN(n, 0);
    XtabCell rowRecord;
    for (const RowCell& c : row.cells) {
        if (c.field != j || c.cell.N.Value() <= 0) continue;
        const size_t i = static_cast<size_t>(c.col);
        cellN[i] = c.cell.N.Value();
        double v = 0;
        rowFlags[i] = CalcValue(c.cell, v);
        rowValues[i] = v;
        Merge(rowRecord, c.cell);
    }
    if (rowRecord.N.Value() <= 0) return;
    double s = 0;
    if (!CalcValue(rowRecord, s)) return;
    rowValues[n - 1] = s;
    groupValues_[static_cast<size_t>(nG_)] = row.value;
    WriteOneRow("Data: " + name_, j, nG_, rowFlags, rowValues, true);
    if (kind_ != 'C') {
        cellN[n - 1] = rowRecord.N.Value();
        WriteOneRow("Count", j, nG_, rowFlags, cellN, true);
    }
    WritePercent("", j, nG_, rowFlags, rowValues, s, colFlags, colValues, blockFlag, g);
    if (chiFlag_) CalcChiSq(g, s, rowFlags, rowValues, colFlags, colValues);
}

void CXTab::WriteOneRow(const std::string& label, int j, int k, const std::vector<char>& flags,
                        const std::vector<double>& values, bool summaryFlag) {
    out_->AddNew();
    WriteGroupValues(out_, static_cast<int16_t>(k), *fields_, groupValues_, 0, "", "", false, 0, 0, 0);
    out_->Fields(std::string_view("DataField"))->Value(DataFieldName(j));
    out_->Fields(std::string_view("DataType"))->Value(label);
    for (int i = 1; i <= nCols_; ++i) {
        const double v = values[static_cast<size_t>(i)];
        if (flags[static_cast<size_t>(i)]) SetIfFinite(out_, cols_[static_cast<size_t>(i)].name, v);
    }
    const double summary = values[static_cast<size_t>(nCols_) + 1];
    if (summaryFlag) SetIfFinite(out_, "RowSummary", summary);
    out_->Update();
}

void CXTab::WritePercent(const std::string& prefix, int j, int k, const std::vector<char>& rowFlags,
                         const std::vector<double>& rowValues, double s, const std::vector<char>& colFlags,
                         const std::vector<double>& colValues, bool blockFlag, double g) {
    for (int kind = 1; kind <= 5; ++kind) {
        if (!OptionLetterIs(options_, static_cast<size_t>(kind - 1), 'Y')) continue;
        out_->AddNew();
        WriteGroupValues(out_, static_cast<int16_t>(k), *fields_, groupValues_, 0, "", "", false, 0, 0, 0);
        out_->Fields(std::string_view("DataField"))->Value(DataFieldName(j));
        out_->Fields(std::string_view("DataType"))->Value(prefix + kPercentLabels[kind - 1]);
        for (int i = 1; i <= nCols_; ++i) {
            const size_t ii = static_cast<size_t>(i);
            const double v = rowValues[ii];
            const double c = colValues[ii];
            bool has = false;
            double cell = 0;
            switch (kind) {
                case 1:
                    if ((has = rowFlags[ii] && s != 0)) cell = v / s;
                    break;
                case 2:
                    if ((has = rowFlags[ii] && colFlags[ii] && c != 0)) cell = v / c;
                    break;
                case 3:
                    if ((has = rowFlags[ii] && blockFlag && g != 0)) cell = v / g;
                    break;
                case 4:
                    if ((has = colFlags[ii] && blockFlag && g != 0)) cell = ExpectedShare(s, c, g);
                    break;
                default:
                    if ((has = colFlags[ii] && blockFlag && g != 0)) cell = ExpectedValue(s, c, g);
                    break;
            }
            if (has) SetIfFinite(out_, cols_[ii].name, cell);
        }
        double summary = 0;
        bool hasSummary = false;
        if (kind == 1) {
            summary = 1, hasSummary = true;
        } else if (kind == 5) {
            summary = s, hasSummary = true;
        } else if (blockFlag && g > 0) {
            summary = s / g, hasSummary = true;
        }
        if (hasSummary) SetIfFinite(out_, "RowSummary", summary);
        out_->Update();
    }
}

// Adds one row of the table to the chi-square sums. A cell without data is an
// observed 0: it adds its expected value, (0 - E)^2 / E = E.
void CXTab::CalcChiSq(double g, double s, const std::vector<char>& rowFlags, const std::vector<double>& rowValues,
                      const std::vector<char>& colFlags, const std::vector<double>& colValues) {
    if (!(g > 0 && s > 0)) return;
    chi_.rows += 1;
    const int e = chi_.scale;
    const double gs = std::ldexp(g, -e), ss = std::ldexp(s, -e);
    for (int i = 1; i <= nCols_; ++i) {
        const size_t ii = static_cast<size_t>(i);
        if (!colFlags[ii]) continue;
        const double E = std::ldexp(colValues[ii], -e) * ss / gs;
        const double observed = rowFlags[ii] ? std::ldexp(rowValues[ii], -e) : 0;
        if (E != 0) {
            // At an ordinary scale a weight beyond 15 digits keeps them.
            const double d = e == 0 ? ReadValueLess(observed, E) : PreciseDifference(observed, E);
            chi_.chi += d * d / E;
        } else if (observed != 0) {
            chi_.valid = false;
        }
        chi_.minExpected = std::min(chi_.minExpected, E);
        chi_.maxExpected = std::max(chi_.maxExpected, E);
    }
}

void CXTab::WriteChi(int j, double g, const std::vector<char>& colFlags, const std::vector<double>& colValues) {
    ProcScope scope(ErrStack(), "WriteChi");
    int32_t c = 0;
    for (int i = 1; i <= nCols_; ++i) {
        if (colFlags[static_cast<size_t>(i)] && colValues[static_cast<size_t>(i)] > 0) ++c;
    }
    const int32_t r = chi_.rows;
    const int32_t df = (c - 1) * (r - 1);
    if (df > 32767 || df < -32768) throw vb::VbError(6, "Overflow", "WriteChi");
    chiOut_->AddNew();
    WriteGroupValues(chiOut_, static_cast<int16_t>(nG_ - 1), *fields_, groupValues_, 0, "Count", "", false, g, 0, 0);
    chiOut_->Fields(std::string_view("DataField"))->Value(DataFieldName(j));
    chiOut_->Fields(std::string_view("Columns"))->Value(static_cast<int16_t>(c));
    chiOut_->Fields(std::string_view("Rows"))->Value(static_cast<int16_t>(r));
    chiOut_->Fields(std::string_view("DF"))->Value(static_cast<int16_t>(df));
    if (r >= 2 && c >= 2 && chi_.valid && g > 0) {
        // The measures are ratios of the held sums; the statistic and the
        // expected values are scaled back.
        const int e = chi_.scale;
        const double held = chi_.chi, gs = std::ldexp(g, -e);
        const double chi = std::ldexp(held, e);
        auto set = [&](const char* column, double v) { SetIfFinite(chiOut_, column, v); };
        set("MinExpected", std::ldexp(chi_.minExpected, e));
        set("MaxExpected", std::ldexp(chi_.maxExpected, e));
        SetOrOverflow(chiOut_, "Chi-Square", chi, fields_->at(static_cast<size_t>(nG_ + 1 + j)));
        set("Prob", prob_.Quarn_CalcProb("C", chi, df, 0));
        set("Phi-Coefficient", std::sqrt(held / gs));
        set("Coeff_of_Contingency", std::sqrt(held / (held + gs)));
        // Cramér's V divides by the smaller dimension less one.
        set("Cramer's_V", std::sqrt(held / (gs * (std::min(r, c) - 1))));
    }
    chiOut_->Update();
}

}  // namespace

std::string Quarn_Xtab(std::string& OutTableName, std::string& ChiTableName, std::string& strUserTable,
                       FieldNames& strFields, int16_t& intRowFields, int16_t& intNumFields, int16_t& intWeightField_b,
                       std::string& strXTabType, std::string& strOptions, RunContext& Zantels) {
    CXTab analysis;
    return analysis.Quarn_Xtab(OutTableName, ChiTableName, strUserTable, strFields, intRowFields, intNumFields,
                               intWeightField_b, strXTabType, strOptions, Zantels);
}
