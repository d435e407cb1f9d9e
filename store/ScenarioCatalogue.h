// The scenario catalogue: what the scenario list reads of the scenario tables
// and the two changes it makes to them. Each routine works on the database
// it is given; duplicate and delete run in the workspace's transaction, so
// a scenario's rows are copied or removed together or not at all, and only
// while the file still holds the scenario the user was shown.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
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
    bool operator==(const ScenarioRow&) const = default;
};

// The scenarios of one family in the list's order (SortOrder, then number),
// of one analysis or of every analysis for "*". Family and analysis are
// compared without regard to letter case and never enter the statement.
std::vector<ScenarioRow> ListScenarios(const dao::DatabasePtr& db, const std::string& family,
                                       const std::string& analysis);

// Whether the scenario tables may have changed since the list was last
// read: the data grids' look at the file (its version numbers), which reads
// no row and waits for no lock, cheap enough to make twice a second. Any
// change to the file, by this program or another, counts; the list tells by
// reading its rows again.
class CatalogueWatch {
public:
    explicit CatalogueWatch(const dao::DatabasePtr& db);
    ~CatalogueWatch();
    CatalogueWatch(const CatalogueWatch&) = delete;
    CatalogueWatch& operator=(const CatalogueWatch&) = delete;

    // True when the file changed since the last Seen (or Seen was never
    // called). Raises at once while another program's lock keeps the file
    // from being read, and once the database is closed.
    bool Changed();
    // The file as it is now counts as seen: called just before the rows are
    // read, so that a change made after it is found by the next look.
    void Seen();
    const dao::DatabasePtr& Database() const { return db_; }

private:
    dao::DatabasePtr db_;
    std::unique_ptr<dao::RowPager> pager_;
};

// What the file holds under a scenario's number: its scenario row, its
// options row (empty when it has none) and its field rows, every column with
// its value as stored. A command keeps the one the user chose and acts only
// while the file still holds the same: two looks compare equal exactly when
// nothing of the scenario changed in between.
struct StoredScenario {
    using Row = std::vector<std::pair<std::string, vb::Variant>>;
    Row scenario;
    Row options;
    std::vector<Row> fields;  // by role, position within the role, name
    bool operator==(const StoredScenario&) const = default;

    // A column of the scenario row as text (Null and an absent column as empty).
    std::string Text(std::string_view column) const;
};

// The scenario of that number as the file holds it now; none when it has no scenario row.
std::optional<StoredScenario> ReadStoredScenario(const dao::DatabasePtr& db, long scenarioId);

// What changed from `before` to `after`, in plain words for the user: the
// analysis, description, source or output tables with their new and old
// values, and whether its options, fields or other settings changed.
std::string ChangeText(const StoredScenario& before, const StoredScenario& after);

// Copies the scenario's three kinds of rows under a new number with this
// description; the new number, or 0 when nothing was written: the scenario
// or its options row has gone, or (with `expected`) the file no longer holds
// that scenario. `now` (when given) then receives what it holds instead.
long DuplicateScenario(const dao::WorkspacePtr& ws, const dao::DatabasePtr& db, long scenarioId,
                       const std::string& description, const StoredScenario* expected = nullptr,
                       std::optional<StoredScenario>* now = nullptr);

// Removes the scenario's rows from the three scenario tables; with
// `expected`, only while the file holds that scenario. False when nothing
// was removed because it did not; `now` (when given) then receives what the
// file holds under the number (none: the scenario has gone).
bool DeleteScenario(const dao::WorkspacePtr& ws, const dao::DatabasePtr& db, long scenarioId,
                    const StoredScenario* expected = nullptr, std::optional<StoredScenario>* now = nullptr);

}  // namespace store
