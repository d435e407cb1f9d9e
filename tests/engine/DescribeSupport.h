// Helpers of the describe, percentile and frequency tests.
#pragma once

#include "EngineTestSupport.h"

namespace describetest {

using Row = enginetest::ResultRow;

inline vb::Variant Null() { return vb::Variant::Null(); }

// Rows (G1, G2, X1, X2) of two groups longer than a sort on the way takes,
// with a short one between: a holds 1..20000 and 2 once more, b 5, 6, 7, 6,
// c 20001..40000 and 30000 once more. X2 holds the same values as X1 in
// another order (X1 comes sorted from the source, X2 does not). Worked by
// hand, with position (N - 1)k/4 + 1: a's quartiles 5000, 10000, 15000 and
// mode 2; b's 5.75, 6, 6.25 and mode 6; c's 25001, 30000, 35000 and mode
// 30000; every mode counted twice.
inline std::vector<std::vector<vb::Variant>> LongGroupRows() {
    std::vector<std::vector<vb::Variant>> rows;
    for (int i = 1; i <= 20000; ++i) rows.push_back({"a", Null(), double(i), double(20001 - i)});
    rows.push_back({"a", Null(), 2.0, 2.0});
    for (double x : {5.0, 6.0, 7.0, 6.0}) rows.push_back({"b", Null(), x, x});
    for (int i = 20001; i <= 40000; ++i) rows.push_back({"c", Null(), double(i), double(60001 - i)});
    rows.push_back({"c", Null(), 30000.0, 30000.0});
    return rows;
}

}  // namespace describetest
