// Loading one stored scenario (its scenario and options rows, then its field
// rows) into a new CZantelsScenario, by the scenario schema.
#include <functional>
#include <string_view>
#include <utility>
#include <vector>

#include "RunContext.h"
#include "QuantaraImpl.h"
#include "ScenarioSchema.h"
#include "StatsGeneral.h"
#include "vb/Conversions.h"
#include "vb/VbError.h"

namespace engine {

ScenarioPtr NewScenario(const std::string& /*sKey*/, const std::string& Scenario_Description,
                        const std::string& Scenario_Type, const std::string& CalcType, const std::string& Table,
                        const std::string& OutputTable1, const std::string& OutputTable2,
                        const std::string& MissingType, const vb::Variant& MissingEqual, const vb::Variant& MissingHigh,
                        const vb::Variant& MissingLow, const std::string& Scenario_Version) {
    auto s = std::make_shared<CZantelsScenario>();
    s->Scenario_Description(Scenario_Description);
    s->Scenario_Type(Scenario_Type);
    s->CalcType(CalcType);
    s->Table(Table);
    s->OutputTable1(OutputTable1);
    s->OutputTable2(OutputTable2);
    s->MissingType(MissingType);
    s->MissingEqual(MissingEqual);
    s->MissingHigh(MissingHigh);
    s->MissingLow(MissingLow);
    s->Scenario_Version(Scenario_Version);
    return s;
}

namespace {

std::string ErrorText(const vb::VbError& e) { return std::to_string(e.Number()) + ": " + e.Description(); }

// Runs one step of the property fill; a step that fails is skipped.
void Step(const std::function<void()>& step) {
    try {
        step();
    } catch (const vb::VbError&) {
    } catch (const std::exception&) {}
}

vb::Variant Column(const dao::RecordsetPtr& rs, std::string_view name) { return rs->Fields(name)->Value(); }

// Opens the record set of the query `sql` makes; false with the error's text
// in err (a table name the quoting refuses included).
bool Open(RunContext& run, const std::function<std::string()>& sql, dao::RecordsetPtr& rs, std::string& err) {
    try {
        rs = run.ScenarioDatabase()->OpenRecordset(sql());
        return true;
    } catch (const vb::VbError& e) {
        err = ErrorText(e);
        return false;
    }
}

// The scenario's row of the scenarios table joined to its options row, and
// its field rows in ordinal order; false with the reason in err. The table
// names go through the quoting, which refuses "]" and control characters.
bool OpenScenarioRows(RunContext& run, const TableNames& st, const std::string& n, dao::RecordsetPtr& rs,
                      dao::RecordsetPtr& fields, std::string& err) {
    const auto scenarioSql = [&] {
        const std::string S = BracketName(st.ScenarioTbl);
        const std::string O = BracketName(st.OptionsTbl);
        return "SELECT * FROM " + S + " INNER JOIN " + O + " ON " + S + ".Scenario_ID = " + O + ".Scenario_ID where " +
               S + ".Scenario_ID = " + n;
    };
    if (!Open(run, scenarioSql, rs, err)) return false;
    if (rs->Eof()) {
        err = "Scenario not found";
        return false;
    }
    const auto fieldSql = [&] {
        return "select * from " + BracketName(st.FieldTbl) + " where Scenario_ID = " + n +
               " order by Fielddef_ordinal_position";
    };
    if (!Open(run, fieldSql, fields, err)) return false;
    if (fields->Eof()) {
        err = "No fields found for this scenario";
        return false;
    }
    return true;
}

using StoredValues = std::vector<std::pair<const store::ColumnDef*, vb::Variant>>;

// Every column the schema has the engine load, in the tables' order. A
// non-empty override replaces a stored table name without reading it. The
// values read are returned for the rule checks.
StoredValues FillProperties(CZantelsScenario& s, const TableNames& st, const dao::RecordsetPtr& rs) {
    const std::pair<std::string_view, const std::string*> overrides[] = {
        {"Table", &st.SourceTableName}, {"OutputTable1", &st.OutputTableName}, {"OutputTable2", &st.OutputTableName2}};
    StoredValues stored;
    for (const store::TableSchema* table : {&store::ScenariosSchema(), &store::OptionsSchema()}) {
        for (const store::ColumnDef& column : table->columns) {
            if (!column.HeldBy(store::kEngineLoads)) continue;
            const std::string* override = nullptr;
            for (const auto& [property, value] : overrides)
                if (property == column.property && !value->empty()) override = value;
            if (override) {
                s.SetProperty(column.property, vb::Variant(*override));
                continue;
            }
            Step([&] {
                const vb::Variant value = store::StoredValue(rs, column);
                stored.emplace_back(&column, value);
                s.SetProperty(column.property, value);
            });
        }
    }
    return stored;
}

// Every field row is added, whatever its role; a Null name or role is left out.
void AddFields(CZantelsScenario& s, const dao::RecordsetPtr& fields) {
    while (!fields->Eof()) {
        Step([&] {
            const vb::Variant name = Column(fields, "FieldDef_Name");
            const vb::Variant choice = Column(fields, "FieldDef_Choice");
            s.AddField(name.ToString(), choice.ToString(), "");
        });
        fields->MoveNext();
    }
}

// Written by another tool, a scenario can hold anything: each value the run
// reads must keep its column's rule (the family's first, so that a family
// that is no family is named as such). A blank option reads as its
// declaration says, never as a 0 or an empty text no one chose. Returns the
// first rule broken, or the empty text.
std::string ReadAndCheck(CZantelsScenario& s, StoredValues& stored) {
    const store::AnalysisDef* analysis = store::FindAnalysis(s.CalcType());
    const store::AnalysisSet runs = analysis ? store::Bit(analysis->id) : 0;
    for (auto& [column, value] : stored) {
        if (column->readBy != store::kEveryAnalysis && (column->readBy & runs) == 0) continue;
        if (vb::Variant read = store::ReadAs(*column, value); !(read == value)) {
            value = std::move(read);
            s.SetProperty(column->property, value);
        }
        std::string err = store::CheckValue(*column, value);
        if (!err.empty()) return err;
    }
    return {};
}

}  // namespace

bool LoadScenario(RunContext& run, const TableNames& st, const int32_t& ScenarioNo, std::string& err) {
    if (!err.empty()) return false;
    dao::RecordsetPtr rs;
    dao::RecordsetPtr fields;
    // The record sets are closed on every way out.
    struct Closer {
        dao::RecordsetPtr& a;
        dao::RecordsetPtr& b;
        ~Closer() {
            for (auto* r : {&a, &b}) {
                try {
                    if (*r) (*r)->Close();
                } catch (...) {}
            }
        }
    } closer{rs, fields};
    if (!OpenScenarioRows(run, st, std::to_string(ScenarioNo), rs, fields, err)) return false;

    run.CurrentScenario(NewScenario("", "Scenario", "P", "", "", "", "", "", vb::Variant::Missing(),
                                    vb::Variant::Missing(), vb::Variant::Missing(), ""));
    CZantelsScenario& s = *run.CurrentScenario();
    StoredValues stored = FillProperties(s, st, rs);
    AddFields(s, fields);
    err = ReadAndCheck(s, stored);
    return err.empty();
}

}  // namespace engine
