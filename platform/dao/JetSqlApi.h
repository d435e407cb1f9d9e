// The Jet SQL translator's interface, as the layer uses it. The translator
// lives in JetSql.h; until it is present, the same declarations stand here
// and JetSqlStandIn.cpp gives a minimal version.
#pragma once

#if __has_include("dao/JetSql.h")
#include "dao/JetSql.h"
#define DAO_HAS_JETSQL 1
#else
#include <functional>
#include <string>
#include <string_view>
#include <vector>
struct sqlite3;
namespace dao {
struct ExternalTable {
    std::string path;
    std::string schema;
};
struct TranslatedSql {
    std::string sql;
    std::vector<ExternalTable> externals;
};
TranslatedSql TranslateJetSql(std::string_view jetSql,
                              const std::function<std::string(const std::string& path)>& schemaFor);
void RegisterJetFunctions(sqlite3* db);
}  // namespace dao
#define DAO_HAS_JETSQL 0
#endif
