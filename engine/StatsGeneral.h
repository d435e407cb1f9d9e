// Routines the analyses share for their result tables and their SQL: the
// leading columns of a result table, the column adder, the common type of a
// column that holds several source fields, the regression summary block, the
// writer of a group's identifying values, safe names and file clauses for
// Jet SQL, and the scratch file helpers.
//
// Field-name, type, size and group-value arrays are one-based (entry 0
// unused), as the engine builds them.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "dao/Dao.h"
#include "vb/Variant.h"

// --- names and files in Jet SQL ----------------------------------------------------------
// A table or field name from a user's database as it goes into Jet SQL:
// "[" + name + "]". A name that brackets cannot hold (empty, holding "]" or a
// control character) raises VbError 3125 with a clear description instead of
// changing the statement's meaning.
std::string BracketName(const std::string& strName);

// Opens a result table of db as an updatable dynaset by its name, which is
// never read as SQL (a table may be named "SELECT * FROM Data").
dao::RecordsetPtr OpenResultTable(const dao::DatabasePtr& db, const std::string& strName);

// " IN '<path>'" clause part naming another database file in Jet SQL, with
// every apostrophe of the path doubled: "IN '" + escaped path + "'". No
// leading or trailing blank.
std::string InFileClause(const std::string& strPath);

// --- result-table columns ------------------------------------------------------------------
// Every result table starts with StatOutputID, the column the primary index
// of RunContext::Quarn_CreateTable names: BuildOutputFields lays it down
// first; a table made with AddOutputField alone adds it at ordinal 0.
//
// Appends a field to tdf at the ordinal intOrdinal (then increments it). A
// size of 0 keeps the type's default. "StatOutputID" at ordinal 0 becomes an
// auto-increment Long. Database errors (a duplicate name) raise to the caller.
void AddOutputField(const dao::TableDefPtr& tdf, const std::string& strName, int16_t intType, int16_t& intOrdinal,
                    int32_t lngSize = 0);

// The leading columns of a result table, from ordinal 0: StatOutputID; each
// group field 1..intGroupFields with its source type and size; "DataField"
// (Text 64) with fDataField; the field at intSingle (> 0) with its type and
// size; with intPair > 0 the two columns PairColumnName(field, 1) and (.., 2)
// with that field's type and size; strCount (Double) when not empty;
// "Observations" (Double) with fObservations; strMissing (Long) when not
// empty. Returns the next free ordinal.
int16_t BuildOutputFields(const dao::TableDefPtr& tdf, int16_t intGroupFields,
                          const std::vector<std::string>& strFields, const std::vector<int32_t>& lngTypes,
                          const std::vector<int32_t>& lngSizes, bool fDataField, int16_t intSingle, int16_t intPair,
                          bool fObservations, const std::string& strCount, const std::string& strMissing);

// The name of a pair column: the first 62 characters of the field name
// followed by "-1" (intWhich 1) or "-2" (intWhich 2).
std::string PairColumnName(const std::string& strField, int intWhich);

// The type and size of one result column that holds the values of the source
// fields o+1..o+c: their common type, or Text (at least 25 when the largest
// text is below 20) when they differ; the size is the largest Text size.
void CommonFieldType(int16_t intOffset, int16_t intCount, const std::vector<int32_t>& lngTypes,
                     const std::vector<int32_t>& lngSizes, int32_t& lngType, int32_t& lngSize);

// The regression summary columns (Double): Multiple_R, R-Square,
// Adj_R-Square, StdError_of_Estimate and, when intAnova is non-zero, the ten
// analysis-of-variance columns. Continues intOrdinal and returns it.
int16_t AddRegressionFields(const dao::TableDefPtr& tdf, int16_t intAnova, int16_t& intOrdinal);

// Fills the leading columns of the row being added or edited in rs (no
// Update): non-Null group values 1..n into the group columns; DataField =
// strFields[intSingle] when intSingle > 0; the pair columns of
// strFields[intPair] when intPair > 0; strCount = dblCount; Observations =
// lngObservations with fObservations; strMissing = lngRows - lngObservations.
void WriteGroupValues(const dao::RecordsetPtr& rs, int16_t n, const std::vector<std::string>& strFields,
                      const std::vector<vb::Variant>& varGroup, int16_t intSingle, const std::string& strCount,
                      const std::string& strMissing, bool fObservations, double dblCount, int32_t lngRows,
                      int32_t lngObservations, int16_t intPair = 0, const vb::Variant& varPair1 = vb::Variant(),
                      const vb::Variant& varPair2 = vb::Variant());

// --- result rows ---------------------------------------------------------------------------
// Writes a number into a column of the row being added or edited only when it
// is finite; otherwise the cell keeps what it holds (Null in a new row), so a
// statistic whose guard fails is never written as a number.
void SetIfFinite(const dao::RecordsetPtr& rs, std::string_view strColumn, double dblValue);

// Raised when a statistic of finite values lies beyond the largest Double
// (an overflow): names the analysed field (may be empty for a statistic of
// several fields) and the statistic's column, and the weight field when the
// weights carry the statistic there (counts of observations far above 1).
class ResultOverflow : public vb::VbError {
public:
    ResultOverflow(const std::string& field, std::string_view column, std::string weightField = {});
    const std::string& FieldName() const noexcept { return field_; }
    const std::string& Column() const noexcept { return column_; }
    const std::string& WeightField() const noexcept { return weightField_; }

private:
    std::string field_;
    std::string column_;
    std::string weightField_;
};

// Sets a result column of the analysed field strField: a number as it is, Null
// for an undefined one (NaN, unless fOverflowed says the sums behind it
// overflowed); an infinity, or a NaN after an overflow, raises ResultOverflow.
void SetOrOverflow(const dao::RecordsetPtr& rs, std::string_view strColumn, double dblValue,
                   const std::string& strField, bool fOverflowed = false);
void SetIfFinite(const dao::RecordsetPtr& rs, int32_t intColumn, double dblValue);

// Whether the option text holds the letter at the zero-based position, case
// ignored; a text too short for the position holds no letter there.
bool OptionLetterIs(const std::string& strOptions, size_t intPos, char chLetter);

// --- files -----------------------------------------------------------------------------------
// A new, empty file of this user in the temporary folder whose name starts
// with the prefix; a different file on every call, also across processes.
// "" on failure.
std::string TempFileName(const std::string& strPrefix);

// True when the path names an existing regular file (not a folder). Never
// raises.
bool FileIsPresent(const std::string& strPath);
