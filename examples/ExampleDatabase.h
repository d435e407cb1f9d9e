// The example database: a study table of blood pressure and cholesterol
// measurements and one saved scenario of each family, laid down through the
// store's own table builders, so its scenario tables are exactly what the
// program writes.
#pragma once

#include <string>

namespace example {

inline constexpr const char* kDataTable = "BloodPressureStudy";
inline constexpr int kRows = 3000;

// Writes a new example database at `path` (an existing file is replaced).
// The same call always writes the same rows: the values come from a fixed
// seed. Raises VbError on failure.
void BuildExampleDatabase(const std::string& path);

}  // namespace example
