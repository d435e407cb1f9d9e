// The version of the SQLite library under the data layer, on its own so that
// code reporting system facts needs none of the data-access objects. Dao.h
// declares it too, for the layer's own clients; the definition in DaoCore.cpp
// sees both.
#pragma once

#include <string>

namespace dao {

// The version of the SQLite library the data layer runs on ("3.46.1").
std::string SqliteVersion();

}  // namespace dao
