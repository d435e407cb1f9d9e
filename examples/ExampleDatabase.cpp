#include "ExampleDatabase.h"

#include <cmath>
#include <cstdint>
#include <filesystem>
#include <map>
#include <random>
#include <tuple>
#include <vector>

#include "CurrentDatabase.h"
#include "ScenarioSchema.h"
#include "ScenarioTables.h"
#include "dao/Dao.h"
#include "vb/Conversions.h"
#include "vb/VbError.h"

namespace example {
namespace {

// Deterministic draws: mt19937's sequence is fixed by the standard, the
// distributions of the library are not, so the shapes are made here.
class Draws {
public:
    explicit Draws(uint32_t seed) : engine_(seed) {}
    double Uniform() { return (double(engine_()) + 0.5) / 4294967296.0; }
    // Box-Muller.
    double Normal(double mean, double sd) {
        double u1 = Uniform(), u2 = Uniform();
        return mean + sd * std::sqrt(-2.0 * std::log(u1)) * std::cos(2.0 * 3.14159265358979323846 * u2);
    }
    int Pick(int n) { return std::min(n - 1, int(Uniform() * n)); }
    bool Chance(double p) { return Uniform() < p; }

private:
    std::mt19937 engine_;
};

double Round1(double v) { return std::round(v * 10.0) / 10.0; }

void AddField(const dao::TableDefPtr& table, const std::string& name, int16_t type, int32_t size = 0) {
    dao::FieldPtr f = table->CreateField(name, type, size);
    if (name == "PatientID") f->Attributes(dao::dbAutoIncrField);
    table->Fields()->Append(f);
}

void BuildDataTable(const dao::WorkspacePtr& workspace, const dao::DatabasePtr& db) {
    dao::TableDefPtr t = db->CreateTableDef(kDataTable);
    AddField(t, "PatientID", dao::dbLong);
    AddField(t, "Clinic", dao::dbText, 20);
    AddField(t, "Treatment", dao::dbText, 10);
    AddField(t, "Sex", dao::dbText, 1);
    AddField(t, "AgeGroup", dao::dbText, 10);
    AddField(t, "Smoker", dao::dbText, 3);
    AddField(t, "Age", dao::dbDouble);
    AddField(t, "WeightKg", dao::dbDouble);
    AddField(t, "SystolicBefore", dao::dbDouble);
    AddField(t, "SystolicAfter", dao::dbDouble);
    AddField(t, "Cholesterol", dao::dbDouble);
    AddField(t, "SurveyWeight", dao::dbDouble);
    dao::IndexPtr key = t->CreateIndex("PrimaryKey");
    key->Primary(true);
    key->Fields()->Append(key->CreateField("PatientID"));
    t->Indexes()->Append(key);
    db->TableDefs()->Append(t);

    const char* clinics[] = {"Central", "East", "North", "South", "West"};
    const double clinicShift[] = {0.0, 4.0, -3.0, 2.0, 6.0};
    Draws draw(20240611u);
    dao::RecordsetPtr rs = db->OpenRecordset(kDataTable, dao::dbOpenTable, dao::dbAppendOnly);
    workspace->BeginTrans();
    for (int i = 0; i < kRows; ++i) {
        const int clinic = draw.Pick(5);
        const bool drug = draw.Chance(0.5);
        const bool female = draw.Chance(0.52);
        const bool smoker = draw.Chance(0.22);
        const double age = std::clamp(std::round(draw.Normal(52, 14)), 18.0, 90.0);
        const double weight = Round1(std::clamp(draw.Normal(female ? 70 : 84, 12), 40.0, 160.0));
        const double before = Round1(draw.Normal(118 + 0.45 * (age - 50) + clinicShift[clinic] + (smoker ? 5 : 0), 13));
        const double effect = drug ? draw.Normal(-9, 6) : draw.Normal(-2, 6);
        const double after = Round1(before + effect);
        const double cholesterol =
            Round1(draw.Normal(4.2 + 0.018 * age + 0.008 * (weight - 75) + (smoker ? 0.35 : 0), 0.7));
        const double surveyWeight = Round1(0.5 + 1.5 * draw.Uniform());
        // A study has gaps: some weights were not taken, some patients missed the second visit.
        const bool noWeight = draw.Chance(0.04);
        const bool noAfter = draw.Chance(0.06);
        const bool noCholesterol = draw.Chance(0.03);

        rs->AddNew();
        rs->Fields("Clinic")->Value(vb::Variant(clinics[clinic]));
        rs->Fields("Treatment")->Value(vb::Variant(drug ? "Drug" : "Placebo"));
        rs->Fields("Sex")->Value(vb::Variant(female ? "F" : "M"));
        rs->Fields("AgeGroup")->Value(vb::Variant(age < 40 ? "18-39" : age < 60 ? "40-59" : "60+"));
        rs->Fields("Smoker")->Value(vb::Variant(smoker ? "Yes" : "No"));
        rs->Fields("Age")->Value(vb::Variant(age));
        rs->Fields("WeightKg")->Value(noWeight ? vb::Variant::Null() : vb::Variant(weight));
        rs->Fields("SystolicBefore")->Value(vb::Variant(before));
        rs->Fields("SystolicAfter")->Value(noAfter ? vb::Variant::Null() : vb::Variant(after));
        rs->Fields("Cholesterol")->Value(noCholesterol ? vb::Variant::Null() : vb::Variant(cholesterol));
        rs->Fields("SurveyWeight")->Value(vb::Variant(surveyWeight));
        rs->Update();
    }
    workspace->CommitTrans();
    rs->Close();
}

struct Scenario {
    const char* family;
    const char* subType;
    const char* description;
    const char* output1;
    const char* output2;
    std::vector<std::tuple<const char*, const char*>> fields;  // name, role (positions follow the order)
    std::map<std::string, vb::Variant> options;
};

void AddScenario(const dao::DatabasePtr& db, const Scenario& s) {
    // Fixed stamps keep the file the same from build to build.
    const vb::Variant created(vb::DateSerial(2024, 6, 11));
    dao::RecordsetPtr row = db->OpenRecordset(std::string(store::kScenariosTable), dao::dbOpenDynaset);
    row->AddNew();
    const int32_t id = row->Fields("Scenario_ID")->Value().ToLong();
    row->Fields("SortOrder")->Value(vb::Variant(store::AnalysisSortOrder(s.subType)));
    row->Fields("Scenario_Description")->Value(vb::Variant(s.description));
    row->Fields("Scenario_Analysis_Type")->Value(vb::Variant(s.family));
    row->Fields("Scenario_Analysis_SubType")->Value(vb::Variant(s.subType));
    row->Fields("Scenario_Input_Table_Name")->Value(vb::Variant(kDataTable));
    row->Fields("Scenario_Output_Table1_Name")->Value(vb::Variant(s.output1));
    row->Fields("Scenario_Output_Table2_Name")->Value(vb::Variant(s.output2));
    row->Fields("Scenario_Version")->Value(vb::Variant(std::string(store::kScenarioVersion)));
    row->Fields("Scenario_DateCreated")->Value(created);
    row->Fields("Scenario_LastModified")->Value(created);
    row->Fields("Scenario_CreatedBy")->Value(vb::Variant("Admin"));
    row->Fields("Scenario_ModifiedBy")->Value(vb::Variant("Admin"));
    row->Fields("MissingType")->Value(vb::Variant("0"));
    row->Update();
    row->Close();

    // Every option not named has a new scenario's value, so the program's
    // wizard can edit the scenario (it reads some options strictly).
    dao::RecordsetPtr options = db->OpenRecordset(std::string(store::kOptionsTable), dao::dbOpenDynaset);
    options->AddNew();
    options->Fields("Scenario_ID")->Value(vb::Variant(id));
    for (const store::ColumnDef& column : store::OptionsSchema().columns)
        if (!column.newValue.empty()) options->Fields(column.Name())->Value(vb::Variant(std::string(column.newValue)));
    for (const auto& [name, value] : s.options) options->Fields(name)->Value(value);
    options->Update();
    options->Close();

    dao::RecordsetPtr fields = db->OpenRecordset(std::string(store::kFieldsTable), dao::dbOpenDynaset);
    std::map<std::string, int16_t> positions;
    for (const auto& [name, role] : s.fields) {
        fields->AddNew();
        fields->Fields("Scenario_ID")->Value(vb::Variant(id));
        fields->Fields("FieldDef_Name")->Value(vb::Variant(name));
        fields->Fields("FieldDef_Ordinal_Position")->Value(vb::Variant(++positions[role]));
        fields->Fields("FieldDef_Choice")->Value(vb::Variant(role));
        fields->Update();
    }
    fields->Close();
}

}  // namespace

void BuildExampleDatabase(const std::string& path) {
    std::error_code ignored;
    std::filesystem::remove(path, ignored);
    dao::WorkspacePtr workspace = dao::DBEngine().Workspaces(0);
    dao::DatabasePtr db = workspace->CreateDatabase(path);
    store::SetCurrentDatabase(workspace, db);
    const bool made = store::CreateScenarioTables();
    store::ClearCurrentDatabase();
    if (!made) vb::Raise(vb::err::kInvalidProcedureCall, "The scenario tables could not be created in " + path);

    BuildDataTable(workspace, db);
    const std::vector<Scenario> scenarios = {
        {"P",
         "Describe",
         "Systolic pressure before and after treatment, by clinic, weighted",
         "Brux_BP_Describe",
         "",
         {{"Clinic", "G"}, {"SystolicBefore", "X"}, {"SystolicAfter", "X"}, {"SurveyWeight", "W"}},
         {{"Skew", vb::Variant(true)}, {"CI", vb::Variant(true)}}},
        {"P",
         "Regression",
         "Cholesterol on age and body weight (multiple regression)",
         "Brux_Chol_Regression",
         "Brux_Chol_Residuals",
         {{"Age", "X"}, {"WeightKg", "X"}, {"Cholesterol", "Y"}},
         {{"RegressType", vb::Variant("M")}, {"Residual", vb::Variant(true)}}},
        {"G",
         "Two Sample t-Test",
         "Systolic pressure after treatment: drug against placebo",
         "Brux_BP_TTest",
         "Brux_BP_TTest_Detail",
         {{"Treatment", "C"}, {"SystolicAfter", "X"}},
         {{"GroupDetail", vb::Variant(true)}}},
        {"N",
         "Chi-Square",
         "Smokers in each clinic",
         "Brux_Smokers_ChiSquare",
         "Brux_Smokers_ChiDetail",
         {{"Clinic", "G"}, {"Smoker", "C"}},
         {}},
        {"N",
         "2 Sample",
         "Cholesterol of smokers and non-smokers (Mann-Whitney)",
         "Brux_Chol_MannWhitney",
         "",
         {{"Smoker", "C"}, {"Cholesterol", "X"}},
         {{"NPTwoType", vb::Variant("Mann")}}},
    };
    for (const Scenario& s : scenarios) AddScenario(db, s);
    db->Close();
}

}  // namespace example
