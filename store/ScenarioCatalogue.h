// The scenario catalogue: what the scenario list reads of the scenario tables
// and the two changes it makes to them. Each routine works on the database
// it is given; duplicate and delete run in the workspace's transaction, so
// a scenario's rows are copied or removed together or not at all.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "dao/Dao.h"

namespace store {

// One scenario as the list shows it: every value as text, Null as empty,
// dates to the minute.
struct ScenarioRow {
    std::string id;
    std::string analysis;  // Scenario_Analysis_SubType
    std::string description;
    std::string inputTable;
    std::string family;  // Scenario_Analysis_Type: "P", "G" or "N"
    std::string outputTable1;
    std::string outputTable2;
    std::string createdBy;
    std::string dateCreated;
    std::string modifiedBy;
    std::string lastModified;
};

// The scenarios of one family in the list's order (SortOrder, then number),
// of one analysis or of every analysis for "*". Family and analysis are
// compared without regard to letter case and never enter the statement.
std::vector<ScenarioRow> ListScenarios(const dao::DatabasePtr& db, const std::string& family,
                                       const std::string& analysis);

// The description of a scenario that has both its scenario row and its
// options row (Null as empty); none when either is missing.
std::optional<std::string> CopyableScenario(const dao::DatabasePtr& db, long scenarioId);

// Copies the scenario's three kinds of rows under a new number with this
// description; the new number, or 0 when the scenario or its options row
// has gone (nothing is written then).
long DuplicateScenario(const dao::WorkspacePtr& ws, const dao::DatabasePtr& db, long scenarioId,
                       const std::string& description);

// Removes the scenario's rows from the three scenario tables.
void DeleteScenario(const dao::WorkspacePtr& ws, const dao::DatabasePtr& db, long scenarioId);

}  // namespace store
