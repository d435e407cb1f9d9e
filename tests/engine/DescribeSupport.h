// Helpers of the describe, percentile and frequency tests.
#pragma once

#include "EngineTestSupport.h"

namespace describetest {

using Row = enginetest::ResultRow;

inline vb::Variant Null() { return vb::Variant::Null(); }

}  // namespace describetest
