// A small helper of the two-sample, many-sample, runs, sign and fit tests.
#pragma once

#include <cmath>
#include <string>

#include "dao/Dao.h"
#include "vb/Variant.h"

namespace nonparam {

// A Double into a column when finite; Null otherwise (a statistic whose
// guard fails is never written as a number).
inline void PutNumber(const dao::RecordsetPtr& rs, const std::string& strColumn, double dblValue) {
    rs->Fields(std::string_view(strColumn))
        ->Value(std::isfinite(dblValue) ? vb::Variant(dblValue) : vb::Variant::Null());
}

}  // namespace nonparam
