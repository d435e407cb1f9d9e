// Helpers of the two-sample, many-sample, runs, sign and goodness-of-fit
// tests: the pieces of reading the sorted source and laying out result tables
// that these analyses need.
//
// STAND-IN: the shared analysis services (source opening, weights, the
// missing-value rule, group breaks, value equality, result-table columns) were
// not yet on any branch this work could merge. These are minimal local
// versions with the same behaviour, kept in their own namespace so that they
// can be swapped for the shared ones without touching the statistics.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "dao/Dao.h"
#include "vb/Variant.h"

class Quantara;

namespace nonparam {

// "[" + name + "]"; a name that brackets cannot hold (empty, or holding "]"
// or a control character) raises VbError 3125 instead of changing the SQL.
std::string Bracket(const std::string& strName);

// Opens the SELECT text on the source database as a read-only snapshot and
// keeps it as the engine's DataRecordset. Returns "" or the error text; a
// query that expects parameters gets its own message.
std::string OpenSource(Quantara& Zantels, std::string strSQL);

// DAO type and size of the named fields 1..n of rs into both arrays (0..n);
// sets the engine's case-sensitivity from the first field's collating order.
void FieldTypes(Quantara& Zantels, const dao::RecordsetPtr& rs, int n, const std::vector<std::string>& strFields,
                std::vector<int32_t>& lngTypes, std::vector<int32_t>& lngSizes);

// Whether a present value is kept under the run's missing-value mode.
bool DataOk(const Quantara& Zantels, double dblValue);

// The weight of a weight-field value: 0 for Null, for the "Equal" missing
// value and for 0 or below; else the value.
double WeightOf(const Quantara& Zantels, const vb::Variant& v);

// Whether two values count as the same: Null equals only Null; texts compare
// without case when fIgnoreCase or when the engine is not case-sensitive.
bool SameValue(const Quantara& Zantels, const vb::Variant& a, const vb::Variant& b, bool fIgnoreCase);

// Whether the first n values differ anywhere (a group break).
bool GroupChanged(const Quantara& Zantels, int n, const std::vector<vb::Variant>& saved,
                  const std::vector<vb::Variant>& current);

// Appends a result column at the running ordinal (then increments it);
// "StatOutputID" at ordinal 0 becomes an auto-increment Long.
void AddOutputField(const dao::TableDefPtr& tdf, const std::string& strName, int16_t intType, int16_t& intOrdinal,
                    int32_t lngSize = 0);

// The first 62 characters of a field name followed by "-1" or "-2".
std::string PairColumnName(const std::string& strField, int intWhich);

// The leading columns of a result table: StatOutputID; the group fields
// 1..nGroups with their source types and sizes; "DataField" (Text 64) when
// fDataField; the pair columns of field intPair when above 0; strCount
// (Double) when not empty; "Observations" (Double) with fObservations;
// strMissing (Long) when not empty. Returns the next ordinal.
int16_t BuildOutputFields(const dao::TableDefPtr& tdf, int nGroups, const std::vector<std::string>& strFields,
                          const std::vector<int32_t>& lngTypes, const std::vector<int32_t>& lngSizes,
                          bool fDataField, int intPair, bool fObservations, const std::string& strCount,
                          const std::string& strMissing);

// A Double into a column when finite; Null otherwise (a statistic whose
// guard fails is never written as a number).
void PutNumber(const dao::RecordsetPtr& rs, const std::string& strColumn, double dblValue);

// The non-Null group values 1..n into their columns.
void PutGroupValues(const dao::RecordsetPtr& rs, int n, const std::vector<std::string>& strFields,
                    const std::vector<vb::Variant>& varGroup);

// Drops any output table of that name (errors ignored) and returns a new,
// empty definition of it on the output database.
dao::TableDefPtr NewOutputTable(Quantara& Zantels, const std::string& strName);

}  // namespace nonparam
