// A small program that uses the installed engine: it makes a database with the
// three scenario tables and a source table, runs a stored Describe scenario,
// reads its result table and computes a probability and its inverse.
// Usage: merivox-client <database file to create>. Exit code 0 when all is well.
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "Merivox6/Quantara.h"
#include "Merivox6/QuantaraEvents.h"
#include "dao/Dao.h"
#include "vb/Variant.h"

namespace {

int failures = 0;

void Check(bool ok, const std::string& what) {
    if (!ok) {
        std::fprintf(stderr, "FAILED: %s\n", what.c_str());
        ++failures;
    }
}

void Near(double value, double expected, double tolerance, const std::string& what) {
    Check(std::fabs(value - expected) <= tolerance,
          what + " = " + std::to_string(value) + ", expected " + std::to_string(expected));
}

void AddField(const dao::TableDefPtr& table, const std::string& name, int16_t type, int32_t size = 0,
              int32_t attributes = 0) {
    dao::FieldPtr f = table->CreateField(name, type, size);
    if (attributes) f->Attributes(attributes);
    table->Fields()->Append(f);
}

void Set(const dao::RecordsetPtr& rs, const char* name, const vb::Variant& value) {
    rs->Fields(std::string_view(name))->Value(value);
}

class Events : public QuantaraEvents {
public:
    void RunScenarioBegin() override { ++begins; }
    void RunScenarioComplete(bool& fStatus, std::string& strError) override {
        ++completes;
        lastStatus = fStatus;
        lastError = strError;
    }
    int begins = 0, completes = 0;
    bool lastStatus = false;
    std::string lastError;
};

// The scenario tables with the columns a Describe scenario needs, a source
// table "Data" and one scenario: Count, Mean and Range of X by group G.
int32_t MakeScenarioDatabase(const dao::DatabasePtr& db) {
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
    TableDefPtr o = db->CreateTableDef("usysQuarnOptions");
    AddField(o, "Scenario_ID", dbLong);
    AddField(o, "Range", dbBoolean);
    AddField(o, "Mean", dbBoolean);
    db->TableDefs()->Append(o);
    TableDefPtr f = db->CreateTableDef("usysQuarnFields");
    AddField(f, "Scenario_ID", dbLong);
    AddField(f, "FieldDef_Name", dbText, 64);
    AddField(f, "FieldDef_Ordinal_Position", dbInteger);
    AddField(f, "FieldDef_Choice", dbText, 1);
    db->TableDefs()->Append(f);
    TableDefPtr d = db->CreateTableDef("Data");
    AddField(d, "G", dbText, 20);
    AddField(d, "X", dbDouble);
    db->TableDefs()->Append(d);

    RecordsetPtr data = db->OpenRecordset("Data", dbOpenTable);
    const std::vector<std::pair<const char*, vb::Variant>> rows = {
        {"a", 1.0}, {"a", 2.0}, {"b", 10.0}, {"a", 6.0}, {"b", vb::Variant::Null()}, {"b", 20.0}};
    for (const auto& [g, x] : rows) {
        data->AddNew();
        Set(data, "G", g);
        Set(data, "X", x);
        data->Update();
    }
    data->Close();

    RecordsetPtr scenario = db->OpenRecordset("usysQuarnScenarios", dbOpenTable);
    scenario->AddNew();
    const int32_t id = scenario->Fields(std::string_view("Scenario_ID"))->Value().ToLong();
    Set(scenario, "Scenario_Description", "Yields by group");
    Set(scenario, "Scenario_Analysis_Type", "P");
    Set(scenario, "Scenario_Analysis_SubType", "Describe");
    Set(scenario, "Scenario_Input_Table_Name", "Data");
    Set(scenario, "Scenario_Output_Table1_Name", "Summary");
    Set(scenario, "Scenario_Version", "V5");
    Set(scenario, "MissingType", "0");
    scenario->Update();
    scenario->Close();

    RecordsetPtr options = db->OpenRecordset("usysQuarnOptions", dbOpenTable);
    options->AddNew();
    Set(options, "Scenario_ID", id);
    Set(options, "Range", true);
    Set(options, "Mean", true);
    options->Update();
    options->Close();

    RecordsetPtr fields = db->OpenRecordset("usysQuarnFields", dbOpenTable);
    const std::vector<std::pair<const char*, const char*>> roles = {{"G", "G"}, {"X", "X"}};
    int16_t position = 1;
    for (const auto& [name, role] : roles) {
        fields->AddNew();
        Set(fields, "Scenario_ID", id);
        Set(fields, "FieldDef_Name", name);
        Set(fields, "FieldDef_Ordinal_Position", position++);
        Set(fields, "FieldDef_Choice", role);
        fields->Update();
    }
    fields->Close();
    return id;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: merivox-client <database file to create>\n");
        return 2;
    }
    const std::string path = argv[1];
    std::filesystem::remove(path);
    try {
        dao::DatabasePtr db = dao::DBEngine().Workspaces(0)->CreateDatabase(path);
        const int32_t id = MakeScenarioDatabase(db);

        Quantara engine;
        Events events;
        const int cookie = engine.Advise(&events);
        engine.put_ShowErrors(false);

        // Two-sided normal tail of 1.96 and back (Abramowitz and Stegun 26.2).
        Near(engine.Probability("Z", 1.96, 0, 0), 0.0499957902964409, 1e-9, "Probability Z 1.96");
        Near(engine.ProbInverse("Z", 0.05, 0, 0), 1.95996398454005, 1e-6, "ProbInverse Z 0.05");

        const bool ok = engine.RunScenario(id, vb::Variant(vb::ObjectPtr(db)));
        Check(ok, "RunScenario: " + engine.get_ErrorInfo());
        Check(events.begins == 1 && events.completes == 1 && events.lastStatus, "one Begin and one good Complete");
        engine.Unadvise(cookie);

        // Group a: 1, 2, 6; group b: 10, 20 and a Null.
        dao::RecordsetPtr rs =
            db->OpenRecordset("SELECT * FROM [Summary] ORDER BY [StatOutputID]", dao::dbOpenSnapshot);
        struct Expected {
            const char* group;
            double count, mean, range;
        };
        for (const Expected& e : {Expected{"a", 3, 3, 5}, Expected{"b", 2, 15, 10}}) {
            if (rs->Eof()) {
                Check(false, std::string("a result row for group ") + e.group);
                break;
            }
            Check(rs->Fields(std::string_view("G"))->Value().ToString() == e.group, "group name");
            Near(rs->Fields(std::string_view("Count"))->Value().ToDouble(), e.count, 0, "Count");
            Near(rs->Fields(std::string_view("Mean"))->Value().ToDouble(), e.mean, 1e-12, "Mean");
            Near(rs->Fields(std::string_view("Range"))->Value().ToDouble(), e.range, 0, "Range");
            rs->MoveNext();
        }
        Check(rs->Eof(), "two result rows");
        rs->Close();
        db->Close();
    } catch (const vb::VbError& e) {
        std::fprintf(stderr, "error %d: %s\n", e.Number(), e.Description().c_str());
        return 1;
    }
    if (failures == 0) std::printf("merivox-client: all checks passed\n");
    return failures == 0 ? 0 : 1;
}
