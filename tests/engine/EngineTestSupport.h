// Helpers of the engine tests: a scratch folder with a database holding the
// three scenario tables and a small source table, scenarios written row by
// row, event recording and a message-box recorder.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <tuple>
#include <string>
#include <utility>
#include <vector>

#include "Merivox6/Quantara.h"
#include "Merivox6/QuantaraEvents.h"
#include "../support/StoredFormat.h"
#include "dao/Dao.h"
#include "ui/RecordingUi.h"
#include "vb/Variant.h"

namespace enginetest {

inline std::filesystem::path MakeScratchFolder() {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    std::filesystem::path folder =
        std::filesystem::temp_directory_path() /
        ("merivox-engine-" + std::to_string(::getpid()) + "-" + info->test_suite_name() + "-" + info->name());
    std::filesystem::remove_all(folder);
    std::filesystem::create_directories(folder);
    return folder;
}

inline void AddField(const dao::TableDefPtr& tdf, const std::string& name, int16_t type, int32_t size = 0,
                     int32_t attributes = 0) {
    dao::FieldPtr f = tdf->CreateField(name, type, size);
    if (attributes) f->Attributes(attributes);
    if (type == dao::dbText) f->AllowZeroLength(true);
    tdf->Fields()->Append(f);
}

// The three scenario tables, as the store lays them down (the columns the
// engine reads).
inline void CreateScenarioTables(const dao::DatabasePtr& db, bool withOptionColumns = true) {
    using namespace dao;
    TableDefPtr s = db->CreateTableDef("usysQuarnScenarios");
    AddField(s, "Scenario_ID", dbLong, 0, dbAutoIncrField);
    AddField(s, "SortOrder", dbInteger);
    AddField(s, "Scenario_Description", dbText, 255);
    AddField(s, "Scenario_Analysis_Type", dbText, 1);
    AddField(s, "Scenario_Analysis_SubType", dbText, 30);
    AddField(s, "Scenario_Input_Table_Name", dbText, 64);
    AddField(s, "Scenario_Output_Table1_Name", dbText, 50);
    AddField(s, "Scenario_Output_Table2_Name", dbText, 64);
    AddField(s, "Scenario_Version", dbText, 5);
    AddField(s, "MissingType", dbText, 1);
    AddField(s, "MissingEqual", dbDouble);
    AddField(s, "MissingLow", dbDouble);
    AddField(s, "MissingHigh", dbDouble);
    db->TableDefs()->Append(s);

    // The option columns of the stored format, without their defaults: a
    // test states every option it relies on.
    TableDefPtr o = db->CreateTableDef("usysQuarnOptions");
    AddField(o, "Scenario_ID", dbLong);
    if (withOptionColumns) {
        for (const storedformat::ExpectedColumn& c : storedformat::kOptionColumns)
            if (c.name != "Scenario_ID") AddField(o, c.name, c.type, c.type == dbText ? c.size : 0);
    }
    db->TableDefs()->Append(o);

    TableDefPtr f = db->CreateTableDef("usysQuarnFields");
    AddField(f, "Scenario_ID", dbLong);
    AddField(f, "FieldDef_Name", dbText, 64);
    AddField(f, "FieldDef_Ordinal_Position", dbInteger);
    AddField(f, "FieldDef_Choice", dbText, 1);
    db->TableDefs()->Append(f);
}

// A source table "Data" with one text group column and numeric columns.
inline void CreateSourceTable(const dao::DatabasePtr& db, const std::vector<std::vector<vb::Variant>>& rows = {}) {
    using namespace dao;
    TableDefPtr t = db->CreateTableDef("Data");
    AddField(t, "G1", dbText, 20);
    AddField(t, "G2", dbText, 20);
    AddField(t, "X1", dbDouble);
    AddField(t, "X2", dbDouble);
    AddField(t, "Y", dbDouble);
    AddField(t, "W", dbDouble);
    db->TableDefs()->Append(t);
    if (rows.empty()) return;
    RecordsetPtr rs = db->OpenRecordset("Data", dbOpenTable);
    for (const auto& row : rows) {
        rs->AddNew();
        const char* names[] = {"G1", "G2", "X1", "X2", "Y", "W"};
        for (size_t i = 0; i < row.size() && i < 6; ++i) rs->Fields(std::string_view(names[i]))->Value(row[i]);
        rs->Update();
    }
    rs->Close();
}

struct StoredScenario {
    vb::Variant description = "Test scenario";
    vb::Variant family = "P";
    vb::Variant subType = "Describe";
    vb::Variant input = "Data";
    vb::Variant output1 = "Out1";
    vb::Variant output2 = "Out2";
    vb::Variant missingType = "0";
    vb::Variant missingEqual = vb::Variant::Null();
    vb::Variant missingLow = vb::Variant::Null();
    vb::Variant missingHigh = vb::Variant::Null();
    // (name, role, ordinal position)
    std::vector<std::tuple<std::string, vb::Variant, int16_t>> fields = {{"X1", "X", 1}};
    std::map<std::string, vb::Variant> options;
    bool withOptionsRow = true;
    bool unsetFlagsOff = true;  // false: the options row holds only what is given, the table's defaults apply

    static StoredScenario Of(const char* family, const char* subType,
                             std::vector<std::tuple<std::string, vb::Variant, int16_t>> fields,
                             std::map<std::string, vb::Variant> options) {
        StoredScenario s;
        s.family = family;
        s.subType = subType;
        s.fields = std::move(fields);
        s.options = std::move(options);
        return s;
    }
};

// Writes the scenario's rows and returns its number.
inline int32_t AddScenario(const dao::DatabasePtr& db, const StoredScenario& scenario) {
    using namespace dao;
    RecordsetPtr s = db->OpenRecordset("usysQuarnScenarios", dbOpenTable);
    s->AddNew();
    const int32_t id = s->Fields(std::string_view("Scenario_ID"))->Value().ToLong();
    s->Fields(std::string_view("Scenario_Description"))->Value(scenario.description);
    s->Fields(std::string_view("Scenario_Analysis_Type"))->Value(scenario.family);
    s->Fields(std::string_view("Scenario_Analysis_SubType"))->Value(scenario.subType);
    s->Fields(std::string_view("Scenario_Input_Table_Name"))->Value(scenario.input);
    s->Fields(std::string_view("Scenario_Output_Table1_Name"))->Value(scenario.output1);
    s->Fields(std::string_view("Scenario_Output_Table2_Name"))->Value(scenario.output2);
    s->Fields(std::string_view("Scenario_Version"))->Value("V5   ");
    s->Fields(std::string_view("MissingType"))->Value(scenario.missingType);
    s->Fields(std::string_view("MissingEqual"))->Value(scenario.missingEqual);
    s->Fields(std::string_view("MissingLow"))->Value(scenario.missingLow);
    s->Fields(std::string_view("MissingHigh"))->Value(scenario.missingHigh);
    s->Update();
    s->Close();

    if (scenario.withOptionsRow) {
        RecordsetPtr o = db->OpenRecordset("usysQuarnOptions", dbOpenTable);
        o->AddNew();
        o->Fields(std::string_view("Scenario_ID"))->Value(id);
        // A flag not given is off, as a save stores it; other options not given stay Null.
        for (const storedformat::ExpectedColumn& c : storedformat::kOptionColumns)
            if (scenario.unsetFlagsOff && c.type == dbBoolean && o->Fields()->Contains(c.name))
                o->Fields(c.name)->Value(false);
        for (const auto& [name, value] : scenario.options) {
            if (!o->Fields()->Contains(name)) {
                ADD_FAILURE() << "the scenario tables lack the option column " << name
                              << ": extend kOptionColumns in tests/support/StoredFormat.h";
                continue;
            }
            o->Fields(std::string_view(name))->Value(value);
        }
        o->Update();
        o->Close();
    }

    RecordsetPtr f = db->OpenRecordset("usysQuarnFields", dbOpenTable);
    for (const auto& [name, role, position] : scenario.fields) {
        f->AddNew();
        f->Fields(std::string_view("Scenario_ID"))->Value(id);
        f->Fields(std::string_view("FieldDef_Name"))->Value(name);
        f->Fields(std::string_view("FieldDef_Ordinal_Position"))->Value(position);
        f->Fields(std::string_view("FieldDef_Choice"))->Value(role);
        f->Update();
    }
    f->Close();
    return id;
}

// --- result tables ------------------------------------------------------------------
// One row of a result table or query, by column name.
using ResultRow = std::map<std::string, vb::Variant>;

// Every row of a query, in the order it returns them.
inline std::vector<ResultRow> ReadQueryRows(const dao::DatabasePtr& db, const std::string& sql) {
    std::vector<ResultRow> rows;
    dao::RecordsetPtr rs = db->OpenRecordset(sql, dao::dbOpenSnapshot);
    const int32_t n = rs->Fields()->Count();
    for (; !rs->Eof(); rs->MoveNext()) {
        ResultRow row;
        for (int32_t i = 0; i < n; ++i) row[rs->Fields(i)->Name()] = rs->Fields(i)->Value();
        rows.push_back(std::move(row));
    }
    rs->Close();
    return rows;
}

// Every row of a result table in the order written (StatOutputID), with a
// WHERE condition only the rows that meet it.
inline std::vector<ResultRow> ReadResultRows(const dao::DatabasePtr& db, const std::string& table,
                                             const std::string& where = "") {
    std::string sql = "SELECT * FROM [" + table + "]";
    if (!where.empty()) sql += " WHERE " + where;
    return ReadQueryRows(db, sql + " ORDER BY StatOutputID;");
}

// The column names of a table in ordinal order.
inline std::vector<std::string> ColumnNames(const dao::DatabasePtr& db, const std::string& table) {
    std::vector<std::string> names;
    dao::RecordsetPtr rs = db->OpenRecordset("SELECT * FROM [" + table + "];", dao::dbOpenSnapshot);
    for (int32_t i = 0; i < rs->Fields()->Count(); ++i) names.push_back(rs->Fields(i)->Name());
    rs->Close();
    return names;
}

// A number in a result cell; Null reads as NaN, which no comparison accepts.
// A column the row lacks fails the test.
inline double Num(const ResultRow& row, const std::string& column) {
    auto it = row.find(column);
    if (it == row.end()) ADD_FAILURE() << "no column " << column;
    if (it == row.end() || it->second.IsNull()) return std::nan("");
    return it->second.ToDouble();
}

// Whether a result cell is Null. A column the row lacks fails the test.
inline bool IsNull(const ResultRow& row, const std::string& column) {
    auto it = row.find(column);
    if (it == row.end()) {
        ADD_FAILURE() << "no column " << column;
        return false;
    }
    return it->second.IsNull();
}

// Records every event in order.
class EventLog : public QuantaraEvents {
public:
    void StatStatus(std::string& message) override { statuses.push_back(message); }
    void RunScenarioBegin() override { events.push_back("Begin"); }
    void RunScenarioComplete(bool& fStatus, std::string& strError) override {
        events.push_back(std::string("Complete:") + (fStatus ? "True" : "False") + ":" + strError);
        if (overrideStatus) fStatus = *overrideStatus;
    }
    std::vector<std::string> events;
    std::vector<std::string> statuses;
    std::optional<bool> overrideStatus;
};

// A database of its own with the scenario tables and a source table, a
// message-box recorder and an engine object with an event log.
class EngineTest : public ::testing::Test {
protected:
    void SetUp() override {
        folder = MakeScratchFolder();
        dbPath = (folder / "scenarios.db").string();
        db = dao::DBEngine().Workspaces(0)->CreateDatabase(dbPath);
        CreateScenarioTables(db);
        CreateSourceTable(db);
        engine = std::make_unique<Quantara>();
        cookie = engine->Advise(&log);
    }
    void TearDown() override {
        engine.reset();
        try {
            if (db) db->Close();
        } catch (...) {}
        db.reset();
        std::error_code ec;
        std::filesystem::remove_all(folder, ec);
    }

    // Appends rows to a table, each value at its column's position, in one
    // transaction (a file commit per row would make the tests wait on the disk).
    void AppendRows(const std::vector<std::vector<vb::Variant>>& rows, const std::string& table = "Data") {
        db->BeginTrans(true);
        dao::RecordsetPtr rs = db->OpenRecordset(table, dao::dbOpenTable);
        for (const auto& row : rows) {
            rs->AddNew();
            for (size_t i = 0; i < row.size(); ++i) rs->Fields(static_cast<int32_t>(i))->Value(row[i]);
            rs->Update();
        }
        rs->Close();
        db->CommitTrans();
    }

    bool Run(int32_t id, const vb::Variant& showErrors = vb::Variant::Missing()) {
        return engine->RunScenario(id, vb::Variant(vb::ObjectPtr(db)), vb::Variant::Missing(), vb::Variant::Missing(),
                                   vb::Variant::Missing(), vb::Variant::Missing(), vb::Variant::Missing(),
                                   vb::Variant::Missing(), vb::Variant::Missing(), vb::Variant::Missing(),
                                   vb::Variant::Missing(), showErrors);
    }

    std::filesystem::path folder;
    std::string dbPath;
    dao::DatabasePtr db;
    ui::RecordingUi ui;
    ui::ScopedUi scopedUi{ui};
    std::unique_ptr<Quantara> engine;
    EventLog log;
    int cookie = 0;
};

// Four rows of two groups, for tests of runs that must be refused.
class FourRowTest : public EngineTest {
protected:
    void SetUp() override {
        EngineTest::SetUp();
        AppendRows({{"a", "p", 1.0, 2.0, 3.0, 1.0},
                    {"a", "q", 2.0, 1.0, 5.0, 1.0},
                    {"b", "p", 4.0, 3.0, 4.0, 2.0},
                    {"b", "q", 5.0, 6.0, 9.0, 1.0}});
    }
    // Runs the scenario; true when it failed with exactly this text and left no result table.
    ::testing::AssertionResult FailsWith(const StoredScenario& scenario, const std::string& message) {
        if (Run(AddScenario(db, scenario))) return ::testing::AssertionFailure() << "the run succeeded";
        if (engine->get_ErrorInfo() != message)
            return ::testing::AssertionFailure() << "failed with \"" << engine->get_ErrorInfo() << "\"";
        if (db->TableDefs()->Contains("Out1")) return ::testing::AssertionFailure() << "a result table was left";
        return ::testing::AssertionSuccess();
    }
};

// Every cell of a result table as text, row by row ("column=value;" each).
inline std::vector<std::string> TableAsText(const dao::DatabasePtr& db, const std::string& table) {
    std::vector<std::string> rows;
    for (const ResultRow& row : ReadResultRows(db, table)) {
        std::string text;
        for (const auto& [column, value] : row)
            text += column + "=" + (value.IsNull() ? "Null" : value.ToString()) + ";";
        rows.push_back(text);
    }
    return rows;
}

}  // namespace enginetest
