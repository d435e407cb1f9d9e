// The distinct values of a compare field, which the two- and many-sample
// tests (runs, Mann-Whitney, Kolmogorov-Smirnov, Kruskal-Wallis) take as
// their samples.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "vb/Variant.h"

class RunContext;

// The distinct values of the compare field strFields[intGroupFields] of the
// source, in the order the database returns them (a Null is one value), into
// varGroups[1..n]; the DAO types and sizes of fields 1..intGroupFields into
// the two arrays. Returns n; 0 when the source cannot be read or holds no row
// (the arrays are then left as they were).
int Quarn_QueryGroups(const std::string& strUserTable, const std::vector<std::string>& strFields, int intGroupFields,
                      std::vector<int32_t>& lngFieldTypes, std::vector<int32_t>& lngFieldSizes,
                      std::vector<vb::Variant>& varGroups, RunContext& Zantels);
