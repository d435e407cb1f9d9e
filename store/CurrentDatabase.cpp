#include "CurrentDatabase.h"

#include <utility>

namespace store {
namespace {

struct Current {
    dao::WorkspacePtr workspace;
    dao::DatabasePtr database;
};

Current& Held() {
    static Current current;
    return current;
}

}  // namespace

void SetCurrentDatabase(dao::WorkspacePtr workspace, dao::DatabasePtr database) {
    Held() = Current{std::move(workspace), std::move(database)};
}

void ClearCurrentDatabase() { Held() = Current{}; }

dao::DatabasePtr CurrentDatabase() { return Held().database; }

dao::WorkspacePtr CurrentWorkspace() { return Held().workspace; }

}  // namespace store
