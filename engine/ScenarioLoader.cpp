// Loading one stored scenario (its scenario and options rows, then its field
// rows) into a new CZantelsScenario.
#include <functional>

#include "Merivox6/Quantara.h"
#include "QuantaraImpl.h"
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

vb::Variant Column(const dao::RecordsetPtr& rs, const char* name) {
    return rs->Fields(std::string_view(name))->Value();
}

// Null gives the empty text, a number its text form.
std::string AsText(const vb::Variant& v) { return v.IsNull() || v.IsEmpty() ? std::string() : v.ToString(); }

}  // namespace

bool LoadScenario(Quantara& q, const int32_t& ScenarioNo, std::string& err) {
    if (!err.empty()) return false;
    auto& st = q.State();
    const std::string n = std::to_string(ScenarioNo);
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

    try {
        // The table names go through the quoting, which refuses "]" and control characters.
        const std::string S = BracketName(st.ScenarioTbl);
        const std::string O = BracketName(st.OptionsTbl);
        const std::string sql = "SELECT * FROM " + S + " INNER JOIN " + O + " ON " + S + ".Scenario_ID = " + O +
                                ".Scenario_ID where " + S + ".Scenario_ID = " + n;
        rs = st.databases[kScenarioDb]->OpenRecordset(sql);
    } catch (const vb::VbError& e) {
        err = ErrorText(e);
        return false;
    }
    if (rs->Eof()) {
        err = "Scenario not found";
        return false;
    }
    try {
        const std::string fieldSql = "select * from " + BracketName(st.FieldTbl) + " where Scenario_ID = " + n +
                                     " order by Fielddef_ordinal_position";
        fields = st.databases[kScenarioDb]->OpenRecordset(fieldSql);
    } catch (const vb::VbError& e) {
        err = ErrorText(e);
        return false;
    }
    if (fields->Eof()) {
        err = "No fields found for this scenario";
        return false;
    }

    st.CurrentScenario = NewScenario("", "Scenario", "P", "", "", "", "", "", vb::Variant::Missing(),
                                     vb::Variant::Missing(), vb::Variant::Missing(), "");
    CZantelsScenario& s = *st.CurrentScenario;

    // The family as stored; anything but exactly "P", "G" or "N" (lower case
    // included) would run as another family, so it fails the load below.
    std::string storedFamily;
    Step([&] { storedFamily = AsText(Column(rs, "Scenario_Analysis_Type")); });

#define TEXT(col, prop) Step([&] { s.prop(AsText(Column(rs, col))); })
#define FLAG(col) Step([&] { s.col(Column(rs, #col).ToBool()); })
#define STORED(col) Step([&] { s.col(Column(rs, #col)); })
    TEXT("Scenario_Description", Scenario_Description);
    TEXT("Scenario_Analysis_Type", Scenario_Type);
    TEXT("Scenario_Analysis_SubType", CalcType);
    if (!st.SourceTableName.empty()) {
        s.Table(st.SourceTableName);
    } else {
        TEXT("Scenario_Input_Table_Name", Table);
    }
    if (!st.OutputTableName.empty()) {
        s.OutputTable1(st.OutputTableName);
    } else {
        TEXT("Scenario_Output_Table1_Name", OutputTable1);
    }
    if (!st.OutputTableName2.empty()) {
        s.OutputTable2(st.OutputTableName2);
    } else {
        TEXT("Scenario_Output_Table2_Name", OutputTable2);
    }
    TEXT("MissingType", MissingType);
    STORED(MissingEqual);
    STORED(MissingHigh);
    STORED(MissingLow);
    TEXT("Scenario_Version", Scenario_Version);
    FLAG(CI);
    FLAG(CI95);
    FLAG(FreqN);
    FLAG(FreqP);
    FLAG(Mean);
    FLAG(Mode);
    FLAG(Percentile);
    FLAG(Range);
    FLAG(Skew);
    FLAG(Sum);
    FLAG(TTestMean);
    FLAG(VarStd);
    STORED(CIStdDev);
    STORED(FreqInit);
    STORED(FreqWidth);
    Step([&] { s.TTestValue(Column(rs, "TTestValue").ToDouble()); });
    TEXT("CITypeRadio", CITypeRadio);
    TEXT("FreqDispRadio", FreqDispRadio);
    TEXT("FreqGroupRadio", FreqGroupRadio);
    TEXT("FreqIncRadio", FreqIncRadio);
    TEXT("PercentileRadio", PercentileRadio);
    TEXT("VarNRadio", VarNRadio);
    STORED(CIUser);
    Step([&] { s.InterV(Column(rs, "InterV").ToInteger()); });
    FLAG(FreqSum);
    FLAG(CountXY);
    FLAG(MeanXY);
    FLAG(CorrXY);
    FLAG(TTest);
    FLAG(MCnt);
    FLAG(MMis);
    FLAG(MMean);
    FLAG(MDev);
    FLAG(MCov);
    FLAG(MCor);
    FLAG(MR2);
    FLAG(MT);
    FLAG(MProb);
    TEXT("MProbTail", MProbTail);
    TEXT("RegressType", RegressType);
    FLAG(RAnova);
    FLAG(RYInt);
    Step([&] { s.RPoly(Column(rs, "RPoly").ToInteger()); });
    TEXT("XType", XType);
    FLAG(XRowPCnt);
    FLAG(XColPcnt);
    FLAG(XTotPcnt);
    FLAG(XExpectPcnt);
    FLAG(XExpect);
    FLAG(XChi);
    FLAG(ChiAll);
    FLAG(ChiIgnoreBlanks);
    FLAG(ChiDetail);
    FLAG(FitUniform);
    FLAG(FitNormal);
    FLAG(FitPoisson);
    FLAG(SignMean);
    FLAG(SignMedian);
    FLAG(SignCustom);
    STORED(SignValue);
    FLAG(NPPair_Sign);
    FLAG(NPPair_Wilcoxon);
    FLAG(NPPair_Spearman);
    FLAG(NPFriedmanDetail);
    FLAG(NPKruskalDetail);
    TEXT("NPTwoType", NPTwoType);
    FLAG(GroupIgnoreBlanks);
    FLAG(GroupDetail);
#undef TEXT
#undef FLAG
#undef STORED

    // Every field row is added, whatever its role; a Null name or role is left out.
    while (!fields->Eof()) {
        Step([&] {
            const vb::Variant name = Column(fields, "FieldDef_Name");
            const vb::Variant choice = Column(fields, "FieldDef_Choice");
            s.AddField(name.ToString(), choice.ToString(), "");
        });
        fields->MoveNext();
    }

    if (!storedFamily.empty() && storedFamily != "P" && storedFamily != "G" && storedFamily != "N") {
        err = "Unknown scenario family: " + storedFamily;
        return false;
    }
    return true;
}

}  // namespace engine
