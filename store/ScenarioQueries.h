// The SQL texts with which the program reads a stored scenario back. They
// only build text; callers open it on the current database.
#pragma once

#include <cstdint>
#include <string>

namespace store {

// The scenario row joined with its options row; for 0, those of every
// scenario. Empty text when building it failed (reported).
std::string GetScenOptionSQL(const int32_t& lngScenarioID);

// The field rows of a scenario ordered by role letter, then position within
// the role. 0 names no scenario, so its query returns no rows.
std::string GetFieldListSQL(const int32_t& lngScenarioID);

}  // namespace store
