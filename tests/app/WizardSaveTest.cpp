// Writing a scenario to the three tables, read back column by column: a new
// Describe scenario with every default, a second save editing it, field
// rows, a missing options row, the recorded user, Edit's load of a stored
// row, saves that fail leaving every table as it was, and an options table
// made before some options existed.
#include <QtTest>
#include <array>
#include <filesystem>
#include <map>
#include <set>
#include "OtherProgram.h"

#include "AppTestSupport.h"
#include "CurrentDatabase.h"
#include "ScenarioTables.h"
#include "vb/Conversions.h"
#include "wizard/CZantelsPropWiz.h"
#include "wizard/ScenarioCommands.h"
#include "wizard/WizardPage.h"
#include "wizard/frmQuarn_Fields.h"
#include "wizard/frmQuarn_Finish.h"

namespace {

// Records which page the wizard shows first, showing nothing: 2 on the finish page, else leaving.
class CapturePage : public CWizardPage {
public:
    CapturePage(long* shownPage, long page) : shownPage_(shownPage), page_(page) {}
    void Wiz(CZantelsPropWiz* wiz) override {
        if (!wiz_) wiz_ = wiz;
    }
    void ShowModal() override {
        *shownPage_ = page_;
        navResult_ = page_ == 50 ? 2 : page_ == 1 ? 1 : 4;
    }

protected:
    void NavClicked(int) override {}

private:
    long* shownPage_;
    long page_;
};

vb::Variant Value(const dao::RecordsetPtr& rs, const char* column) { return rs->Fields(column)->Value(); }

}  // namespace

class WizardSaveTest : public QObject {
    Q_OBJECT

    apptest::Environment env_;
    ui::RecordingUi rec_;
    std::unique_ptr<ui::ScopedUi> installed_;
    std::shared_ptr<CErr_Zelk> stack_;
    dao::WorkspacePtr ws_;
    dao::DatabasePtr db_;
    std::string path_;
    int counter_ = 0;

    // A fresh database with the three scenario tables, made current; `fields`
    // replaces the fields table's layout when given.
    void NewDatabase(const store::TableSchema* fields = nullptr) {
        if (db_) db_->Close();
        path_ = env_.Path().toStdString() + "/save" + std::to_string(++counter_) + ".db";
        ws_ = dao::DBEngine().Workspaces(0);
        db_ = ws_->CreateDatabase(path_);
        store::SetCurrentDatabase(ws_, db_);
        QVERIFY(store::CreateScenarioTables());
        if (fields) {
            db_->TableDefs()->Delete(std::string(store::kFieldsTable));
            store::BuildTable(*db_, *fields);
        }
    }

    dao::RecordsetPtr Rows(const std::string& table, const std::string& where = {}) {
        return db_->OpenRecordset("SELECT * FROM [" + table + "]" + (where.empty() ? "" : " WHERE " + where),
                                  dao::dbOpenSnapshot);
    }
    int Count(const std::string& table) {
        dao::RecordsetPtr rs = db_->OpenRecordset("SELECT Count(*) AS N FROM [" + table + "]", dao::dbOpenSnapshot);
        return rs->Fields(0)->Value().ToLong();
    }
    int ScenarioCount() { return Count("usysQuarnScenarios"); }

    std::shared_ptr<CZantelsPropWiz> NewDescribe() {
        auto w = std::make_shared<CZantelsPropWiz>();
        w->SetNewScenario("P", "Describe");
        w->OutputTable1("Brux_Describe");
        return w;
    }

private slots:
    void initTestCase() { installed_ = std::make_unique<ui::ScopedUi>(rec_); }
    void init() {
        rec_.Reset();
        stack_ = std::make_shared<CErr_Zelk>();
        stack_->DisplayError(false);
        stack_->Destination(vb::Variant(env_.Path().toStdString() + "/error.log"));
        SetErrStack(stack_);
        NewDatabase();
    }
    void cleanup() {
        store::ClearCurrentDatabase();
        if (db_) db_->Close();
        db_.reset();
        SetErrStack(nullptr);
    }

    void newScenarioWithEveryDefault() {
        auto w = NewDescribe();
        const double before = vb::Now().serial;
        QVERIFY(w->PostScenario());
        QVERIFY(w->Scenario_ID() > 0);
        QVERIFY(!w->Changed());
        QVERIFY(rec_.boxes.empty());

        dao::RecordsetPtr s = Rows("usysQuarnScenarios");
        QVERIFY(!s->Eof());
        QCOMPARE(Value(s, "Scenario_ID").ToLong(), w->Scenario_ID());
        QCOMPARE(Value(s, "SortOrder").ToLong(), 100);
        QVERIFY(Value(s, "Scenario_Description").IsNull());
        QCOMPARE(Value(s, "Scenario_Analysis_Type").ToString(), std::string("P"));
        QCOMPARE(Value(s, "Scenario_Analysis_SubType").ToString(), std::string("Describe"));
        QCOMPARE(Value(s, "Scenario_Input_Table_Name").ToString(), std::string(""));
        QCOMPARE(Value(s, "Scenario_Output_Table1_Name").ToString(), std::string("Brux_Describe"));
        QVERIFY(Value(s, "Scenario_Output_Table2_Name").IsString());
        QCOMPARE(Value(s, "Scenario_Output_Table2_Name").ToString(), std::string(""));
        QCOMPARE(Value(s, "Scenario_Version").ToString(), std::string("V5   "));
        const double created = Value(s, "Scenario_DateCreated").ToDate().serial;
        QVERIFY(created >= before - 2.0 / 86400 && created <= vb::Now().serial + 2.0 / 86400);
        QCOMPARE(Value(s, "Scenario_CreatedBy").ToString(), ws_->UserName());
        QVERIFY(Value(s, "Scenario_LastModified").IsNull());
        QVERIFY(Value(s, "Scenario_ModifiedBy").IsNull());
        QCOMPARE(Value(s, "MissingType").ToString(), std::string("0"));
        for (const char* c : {"MissingEqual", "MissingLow", "MissingHigh"}) QVERIFY2(Value(s, c).IsNull(), c);
        for (const char* c : {"PageLockField1", "PageLockField2", "PageLockField3", "PageLockField4"})
            QCOMPARE(Value(s, c).ToString(), std::string(255, ' '));
        s->MoveNext();
        QVERIFY(s->Eof());

        // The options row, against the values of a new scenario.
        dao::RecordsetPtr o = Rows("usysQuarnOptions");
        QVERIFY(!o->Eof());
        QCOMPARE(Value(o, "Scenario_ID").ToLong(), w->Scenario_ID());
        const std::set<std::string> on = {
            "Range",
            "Sum",
            "VarStd",
            "CI95",
            "CountXY",
            "MeanXY",
            "CorrXY",
            "TTest",
            "MCnt",
            "RANova",
            "RYInt",
            "ChiDetail",
            "FitUniform",
            "FitPoisson",
            "SignMean",
            "NPPair_Sign",
            "NPPair_Wilcoxon",
            "NPPair_Spearman",
            "NPFriedmanDetail",
            "NPKruskalDetail",
        };
        const std::set<std::string> off = {
            "CI",
            "Mean",
            "Mode",
            "Skew",
            "Chi",
            "MMis",
            "MMean",
            "MDev",
            "MCov",
            "MCor",
            "MR2",
            "MT",
            "MProb",
            "Residual",
            "XRowPCnt",
            "XColPcnt",
            "xTotPcnt",
            "xExpectPcnt",
            "xExpect",
            "xChi",
            "ChiAll",
            "ChiIgnoreBlanks",
            "GroupIgnoreBlanks",
            "GroupDetail",
            "SignMedian",
            "SignCustom",
            "FitNormal",
            "NPPair_Tau",
            "FreqN",
            "FreqP",
            "Percentile",
            "TTestMean",
            "FreqSum",
        };
        // One row per line: a new row moves no other.
        // clang-format off
        const std::map<std::string, std::string> texts = {
            {"VarNRadio", "N-1"},
            {"CITypeRadio", "t-Test"},
            {"FreqIncRadio", "Lower"},
            {"FreqDispRadio", "Count"},
            {"FreqGroupRadio", "Default"},
            {"PercentileRadio", "Median"},
            {"MProbTail", "2-tail"},
            {"RegressType", "S"},
            {"XType", "C"},
            {"NPTwoType", "Mann"},
        };
        // clang-format on
        // One row per line: a new row moves no other.
        // clang-format off
        const std::set<std::string> nulls = {
            "CIStdDev",
            "CIUser",
            "FreqWidth",
            "FreqInit",
            "SignValue",
            "FreqType",
        };
        // clang-format on
        // A name of these lists that the table lacks is a column the store does not lay down.
        std::vector<std::string> listed(on.begin(), on.end());
        listed.insert(listed.end(), off.begin(), off.end());
        listed.insert(listed.end(), nulls.begin(), nulls.end());
        for (const auto& [name, value] : texts) listed.push_back(name);
        for (const std::string& name : listed) {
            const std::string lacks = "kOptionColumns in store/ScenarioSchema.cpp lacks the column " + name;
            QVERIFY2(o->Fields()->Contains(name), lacks.c_str());
        }
        for (const auto& name : on) {
            QVERIFY2(Value(o, name.c_str()).ToBool(), name.c_str());
            QCOMPARE(Value(o, name.c_str()).ToLong(), -1);
        }
        for (const auto& name : off) {
            QVERIFY2(!Value(o, name.c_str()).IsNull() && !Value(o, name.c_str()).ToBool(), name.c_str());
        }
        for (const auto& [name, value] : texts) {
            QCOMPARE(Value(o, name.c_str()).ToString(), value);
        }
        for (const auto& name : nulls) {
            QVERIFY2(Value(o, name.c_str()).IsNull(), name.c_str());
        }
        QCOMPARE(Value(o, "TTestValue").ToDouble(), 0.0);
        QCOMPARE(Value(o, "InterV").ToLong(), 10);
        QCOMPARE(Value(o, "RPoly").ToLong(), 2);
        // Every option column the store declares has its value above.
        const std::set<std::string> numbers = {"TTestValue", "InterV", "RPoly"};
        for (const store::ColumnDef& c : store::OptionsSchema().columns) {
            const std::string name(c.name);
            if (name == "Scenario_ID") continue;
            const size_t lists =
                on.count(name) + off.count(name) + texts.count(name) + nulls.count(name) + numbers.count(name);
            QVERIFY2(lists == 1, (name + ": give a new scenario's value in exactly one list of this test").c_str());
        }
        QCOMPARE(Count("usysQuarnFields"), 0);
    }

    void secondSaveEditsTheSameRow() {
        auto w = NewDescribe();
        QVERIFY(w->PostScenario());
        const int32_t id = w->Scenario_ID();
        w->Scenario_Description("Blood pressure");
        w->Scenario_Version("V4");
        w->MissingType("");
        w->MissingEqual(vb::Variant("2.5"));
        w->CalcType("Crosstab");
        QVERIFY(w->PostScenario());
        QCOMPARE(w->Scenario_ID(), id);
        QCOMPARE(ScenarioCount(), 1);
        QCOMPARE(Count("usysQuarnOptions"), 1);
        dao::RecordsetPtr s = Rows("usysQuarnScenarios");
        QCOMPARE(Value(s, "Scenario_Description").ToString(), std::string("Blood pressure"));
        QCOMPARE(Value(s, "Scenario_Version").ToString(), std::string("V5   "));
        QCOMPARE(Value(s, "SortOrder").ToLong(), 700);
        QVERIFY(Value(s, "MissingType").IsNull());
        QCOMPARE(Value(s, "MissingEqual").ToDouble(), 2.5);
        QVERIFY(!Value(s, "Scenario_LastModified").IsNull());
        QCOMPARE(Value(s, "Scenario_ModifiedBy").ToString(), ws_->UserName());
        QVERIFY(!Value(s, "Scenario_DateCreated").IsNull());

        // An analysis outside the table sorts as 0.
        w->CalcType("Something else");
        QVERIFY(w->PostScenario());
        QCOMPARE(Value(Rows("usysQuarnScenarios"), "SortOrder").ToLong(), 0);
    }

    void fieldRowsFollowTheRoles() {
        auto w = NewDescribe();
        CScenarioFields& f = *w->ScenarioFields();
        f.Add("SystolicBefore", "X", "7", 1, "SystolicBefore");
        f.Add("Unused", "", "7", 0, "Unused");
        f.Add("SystolicAfter", "X", "7", 2, "SystolicAfter");
        f.Add("Clinic", "G", "10", 1, "Clinic");
        QVERIFY(w->PostScenario());
        std::map<std::string, std::pair<std::string, int>> rows;
        for (auto rs = Rows("usysQuarnFields"); !rs->Eof(); rs->MoveNext()) {
            QCOMPARE(Value(rs, "Scenario_ID").ToLong(), w->Scenario_ID());
            rows[Value(rs, "FieldDef_Name").ToString()] = {Value(rs, "FieldDef_Choice").ToString(),
                                                           Value(rs, "FieldDef_Ordinal_Position").ToLong()};
        }
        QCOMPARE(rows.size(), size_t(3));
        QCOMPARE(rows["SystolicBefore"], std::make_pair(std::string("X"), 1));
        QCOMPARE(rows["SystolicAfter"], std::make_pair(std::string("X"), 2));
        QCOMPARE(rows["Clinic"], std::make_pair(std::string("G"), 1));
        // A field that lost its role loses its row.
        f.Item(vb::Variant("Clinic"))->Choice("");
        QVERIFY(w->PostScenario());
        QCOMPARE(Count("usysQuarnFields"), 2);
    }

    void missingOptionsRowIsAdded() {
        auto w = NewDescribe();
        QVERIFY(w->PostScenario());
        db_->Execute("DELETE * FROM usysQuarnOptions");
        w->InterV(int16_t(12));
        QVERIFY(w->PostScenario());
        dao::RecordsetPtr o = Rows("usysQuarnOptions");
        QCOMPARE(Value(o, "Scenario_ID").ToLong(), w->Scenario_ID());
        QCOMPARE(Value(o, "InterV").ToLong(), 12);
    }

    void failedSaveLeavesEveryTableAsItWas() {
        // A fields table whose name column holds 3 characters: the third table refuses the row.
        std::vector<store::ColumnDef> columns(store::FieldsSchema().columns.begin(),
                                              store::FieldsSchema().columns.end());
        for (auto& c : columns)
            if (c.name == "FieldDef_Name") c.size = 3;
        const store::TableSchema narrow{store::kFieldsTable, columns, store::FieldsSchema().indexes};
        NewDatabase(&narrow);

        auto w = NewDescribe();
        w->ScenarioFields()->Add("Age", "X", "7", 1, "Age");
        QVERIFY(w->PostScenario());
        const int32_t id = w->Scenario_ID();
        QCOMPARE(ScenarioCount(), 1);

        // An edit that fails keeps the stored description and roles.
        w->Scenario_Description("changed");
        w->Changed(true);
        w->ScenarioFields()->Item(vb::Variant("Age"))->Choice("");
        w->ScenarioFields()->Add("Cholesterol", "X", "7", 1, "Cholesterol");
        QVERIFY(!w->PostScenario());
        QCOMPARE(rec_.boxes.size(), size_t(1));
        QVERIFY(QString::fromStdString(rec_.boxes[0].prompt)
                    .startsWith("The scenario could not be saved for the following reason:\r\n\r\n"));
        QVERIFY(rec_.boxes[0].prompt.size() > 70);  // the reason itself
        QCOMPARE(rec_.boxes[0].title, std::string("Quantara"));
        QVERIFY(w->Changed());
        QVERIFY(Value(Rows("usysQuarnScenarios"), "Scenario_Description").IsNull());
        QVERIFY(Value(Rows("usysQuarnScenarios"), "Scenario_LastModified").IsNull());
        QCOMPARE(Value(Rows("usysQuarnFields"), "FieldDef_Name").ToString(), std::string("Age"));

        // A new scenario that fails adds nothing and keeps number 0, so a later save adds it anew.
        auto fresh = NewDescribe();
        fresh->ScenarioFields()->Add("Weight", "X", "7", 1, "Weight");
        QVERIFY(!fresh->PostScenario());
        QCOMPARE(fresh->Scenario_ID(), 0);
        QCOMPARE(ScenarioCount(), 1);
        QCOMPARE(Count("usysQuarnOptions"), 1);
        QCOMPARE(Count("usysQuarnFields"), 1);
        fresh->ScenarioFields()->Item(vb::Variant(1))->Name("Wt");
        QVERIFY(fresh->PostScenario());
        QVERIFY(fresh->Scenario_ID() > id);
        QCOMPARE(ScenarioCount(), 2);
    }

    void valueAColumnRefusesFailsTheWholeSave() {
        auto w = NewDescribe();
        w->FreqWidth(vb::Variant(-1.0));  // the column's rule: Null or above 0
        QVERIFY(!w->PostScenario());
        QVERIFY(QString::fromStdString(rec_.boxes.at(0).prompt).contains("Interval Width must be greater than zero"));
        QCOMPARE(ScenarioCount(), 0);
        QCOMPARE(Count("usysQuarnOptions"), 0);
    }

    void deletedScenarioIsNotWrittenAgain() {
        auto w = NewDescribe();
        QVERIFY(w->PostScenario());
        db_->Execute("DELETE * FROM usysQuarnScenarios");
        w->Scenario_Description("again");
        QVERIFY(!w->PostScenario());
        QVERIFY(rec_.boxes.at(0).prompt.find("is no longer in the database") != std::string::npos);
        QCOMPARE(ScenarioCount(), 0);
        QCOMPARE(Count("usysQuarnOptions"), 1);  // the options row as it was
    }

    void aSaveReadsFieldRolesThatALockKeptFromThePage() {
        // Edit opens at the finish page; the field roles page, bound unseen,
        // meets another program's lock and waits. The lock ends and Save is
        // pressed at once: the stored roles are read before anything is
        // written, not saved as none.
        long shown = 0;
        auto previous =
            wizard::SetPageFactory([&](long page, QWidget*) -> CWizardPage* { return new CapturePage(&shown, page); });
        db_->Execute("CREATE TABLE Study (Age DOUBLE)");
        auto w = NewDescribe();
        w->Table("Study");
        w->ScenarioFields()->Add("Age", "X", "7", 1, "Age");
        QVERIFY(w->PostScenario());
        WizardOutcome out = RunEditScenarioWizard(w->Scenario_ID(), 50, nullptr);
        wizard::SetPageFactory(previous);
        QVERIFY(out.wizard);
        CZantelsPropWiz& e = *out.wizard;

        apptest::OtherProgram other(path_);
        QCOMPARE(other.OpenResult(), SQLITE_OK);
        QCOMPARE(other.Exec("BEGIN EXCLUSIVE"), SQLITE_OK);
        frmQuarn_Fields fields;
        fields.Wiz(&e);
        QVERIFY(rec_.boxes.empty());
        QCOMPARE(other.Exec("COMMIT"), SQLITE_OK);

        e.Scenario_Description("mine");
        e.Changed(true);
        frmQuarn_Finish finish;
        finish.Wiz(&e);
        finish.findChild<QAbstractButton*>("cmdNav_3")->click();  // Save
        QCOMPARE(Count("usysQuarnFields"), 1);
        QCOMPARE(Value(Rows("usysQuarnFields"), "FieldDef_Name").ToString(), std::string("Age"));
        QCOMPARE(Value(Rows("usysQuarnScenarios"), "Scenario_Description").ToString(), std::string("mine"));
    }

    void anEditAsksBeforeItOverwritesAnotherProgramsChange() {
        long shown = 0;
        auto previous =
            wizard::SetPageFactory([&](long page, QWidget*) -> CWizardPage* { return new CapturePage(&shown, page); });
        auto w = NewDescribe();
        w->ScenarioFields()->Add("Age", "X", "7", 1, "Age");
        QVERIFY(w->PostScenario());
        const int32_t id = w->Scenario_ID();
        WizardOutcome out = RunEditScenarioWizard(id, 50, nullptr);
        QVERIFY(out.wizard);
        CZantelsPropWiz& e = *out.wizard;
        wizard::SetPageFactory(previous);

        // Another program makes the scenario a regression while it is edited.
        apptest::OtherProgram other(path_);
        QCOMPARE(other.OpenResult(), SQLITE_OK);
        auto elsewhere = [&other](const std::string& sql) { QCOMPARE(other.Exec(sql), SQLITE_OK); };
        elsewhere("UPDATE usysQuarnScenarios SET Scenario_Analysis_SubType = 'Regression', "
                  "Scenario_Output_Table1_Name = 'Out_D_22'");
        auto stored = [this] { return Value(Rows("usysQuarnScenarios"), "Scenario_Description"); };

        // Save names the change and, on No, writes nothing.
        e.Scenario_Description("mine");
        e.Changed(true);
        rec_.Script(ui::vbNo);
        QVERIFY(!e.PostScenario());
        QCOMPARE(rec_.boxes.size(), size_t(1));
        QCOMPARE(rec_.boxes[0].prompt, "Scenario #" + std::to_string(id) +
                                           " was changed by another program since you began editing it: its analysis "
                                           "is now \"Regression\" (was \"Describe\"); its output tables are now "
                                           "Out_D_22 (were Brux_Describe).\r\n\r\nDo you want to save yours over it?");
        QCOMPARE(rec_.boxes[0].style, int(ui::vbYesNo | ui::vbQuestion));
        QVERIFY(stored().IsNull());
        QVERIFY(e.Changed());

        // Changed again while the question stands: Yes saves nothing and says why.
        rec_.WhileAsked([&](const std::string&) { elsewhere("UPDATE usysQuarnFields SET FieldDef_Name = 'Weight'"); });
        rec_.Script(ui::vbYes);
        QVERIFY(!e.PostScenario());
        QVERIFY2(rec_.boxes.back().prompt.find("was changed again by another program while you were asked") !=
                     std::string::npos,
                 rec_.boxes.back().prompt.c_str());
        QVERIFY(stored().IsNull());

        // Yes over the change as named saves; a second Save asks nothing.
        rec_.Reset();
        rec_.Script(ui::vbYes);
        QVERIFY(e.PostScenario());
        QVERIFY(rec_.boxes.at(0).prompt.find("its fields changed") != std::string::npos);
        QCOMPARE(stored().ToString(), std::string("mine"));
        QCOMPARE(Value(Rows("usysQuarnScenarios"), "Scenario_Analysis_SubType").ToString(), std::string("Describe"));
        QVERIFY(e.PostScenario());
        QCOMPARE(rec_.boxes.size(), size_t(1));
    }

    void recordedUserIsCutToItsColumn() {
        const std::string workgroup = env_.Path().toStdString() + "/long.mdw";
        std::filesystem::remove(workgroup);
        dao::CreateWorkgroupFile(workgroup);
        const std::string user = "Margarethe-Oberholzer";  // 21 characters; the creator column holds 15
        dao::SetAccount(workgroup, user, "pw");
        const std::string previous = dao::DBEngine().SystemDB();
        dao::DBEngine().SystemDB(workgroup);
        db_->Close();
        dao::WorkspacePtr ws = dao::DBEngine().CreateWorkspace("Stats", user, "pw");
        db_ = ws->OpenDatabase(path_);
        store::SetCurrentDatabase(ws, db_);
        auto w = NewDescribe();
        QVERIFY(w->PostScenario());
        QVERIFY(w->PostScenario());
        dao::RecordsetPtr s = Rows("usysQuarnScenarios");
        QCOMPARE(Value(s, "Scenario_CreatedBy").ToString(), user.substr(0, 15));
        QCOMPARE(Value(s, "Scenario_ModifiedBy").ToString(), user);
        s->Close();
        store::ClearCurrentDatabase();
        db_->Close();
        db_.reset();
        ws->Close();
        dao::DBEngine().SystemDB(previous);
    }

    void editLoadsTheStoredRow() {
        long shown = 0;
        auto previous =
            wizard::SetPageFactory([&](long page, QWidget*) -> CWizardPage* { return new CapturePage(&shown, page); });
        auto w = NewDescribe();
        w->Scenario_Description("Study");
        w->MissingEqual(vb::Variant(2.5));
        w->CIStdDev(vb::Variant(1.25));
        w->ScenarioFields()->Add("Age", "X", "7", 1, "Age");
        QVERIFY(w->PostScenario());
        const int32_t id = w->Scenario_ID();

        WizardOutcome out = RunEditScenarioWizard(id, 50, nullptr);
        QCOMPARE(shown, 50L);
        QCOMPARE(out.result, 2L);
        QVERIFY(out.wizard);
        const CZantelsPropWiz& e = *out.wizard;
        QCOMPARE(e.Scenario_ID(), id);
        QCOMPARE(out.scenarioId, long(id));
        QCOMPARE(out.calcType, std::string("Describe"));
        QCOMPARE(out.scenarioType, std::string("P"));
        QCOMPARE(e.Scenario_Description(), std::string("Study"));
        QCOMPARE(e.Scenario_Version(), std::string("V5   "));
        QVERIFY(e.MissingEqual().IsString());
        QCOMPARE(e.MissingEqual().String(), std::string("2.5"));
        QVERIFY(e.MissingLow().IsString() && e.MissingLow().String().empty());  // Null reads as ""
        QCOMPARE(e.CIStdDev().ToDouble(), 1.25);
        QVERIFY(e.CIUser().IsNull());  // kept as Null
        QVERIFY(e.Range() && e.CountXY() && !e.CI());
        QCOMPARE(e.InterV(), int16_t(10));
        QCOMPARE(e.XType(), std::string("C"));
        QVERIFY(!e.Changed());
        QCOMPARE(e.ScenarioFields()->Count(), 0);  // the field roles page loads them

        // A family that is none leaves the letter empty.
        db_->Execute("UPDATE usysQuarnScenarios SET Scenario_Analysis_Type = 'x'");
        out = RunEditScenarioWizard(id, 50, nullptr);
        QCOMPARE(out.scenarioType, std::string());

        // Values another tool stored that cannot be read (a text in a flag or
        // number column) are named, take a new scenario's values, and the
        // wizard opens. A Null reads as the engine's run reads it, without a word.
        db_->Execute("UPDATE usysQuarnOptions SET XType = Null, Mean = 'often', CIStdDev = 'wide'");
        shown = 0;
        out = RunEditScenarioWizard(id, 3, nullptr);
        QCOMPARE(shown, 3L);
        QVERIFY(out.wizard);
        QCOMPARE(out.wizard->XType(), std::string("C"));
        QVERIFY(!out.wizard->Mean());
        QVERIFY(out.wizard->Range());
        QCOMPARE(rec_.boxes.size(), size_t(1));
        QCOMPARE(rec_.boxes[0].prompt,
                 std::string("These options of the scenario could not be read and show the values of a new scenario "
                             "instead: Mean (\"often\"), CIStdDev (\"wide\"). Saving the scenario stores the "
                             "values shown."));
        QCOMPARE(rec_.boxes[0].style, int(ui::vbOKOnly | ui::vbExclamation));
        rec_.Reset();

        // So does '', an empty cell of another tool, in every number option.
        db_->Execute("UPDATE usysQuarnOptions SET Mean = Null");
        std::vector<const store::ColumnDef*> blanked;
        for (const store::ColumnDef& c : store::OptionsSchema().columns) {
            if (!c.HeldBy(store::kWizardObject) || c.type != dao::dbDouble) continue;
            db_->Execute("UPDATE usysQuarnOptions SET [" + std::string(c.name) + "] = ''");
            blanked.push_back(&c);
        }
        out = RunEditScenarioWizard(id, 3, nullptr);
        QVERIFY(out.wizard);
        QVERIFY2(rec_.boxes.empty(), rec_.boxes.empty() ? "" : rec_.boxes[0].prompt.c_str());
        for (const store::ColumnDef* c : blanked)
            QVERIFY2(out.wizard->GetProperty(c->property) == store::NewScenarioValue(*c), std::string(c->name).c_str());

        // No options row: not found.
        db_->Execute("DELETE * FROM usysQuarnOptions");
        shown = 0;
        out = RunEditScenarioWizard(id, 3, nullptr);
        QCOMPARE(shown, 0L);
        QVERIFY(!out.wizard);
        QCOMPARE(rec_.boxes.size(), size_t(1));
        QCOMPARE(rec_.boxes[0].prompt, "Scenario not found: " + std::to_string(id));
        QCOMPARE(rec_.boxes[0].style, int(ui::vbOKOnly));
        QCOMPARE(rec_.boxes[0].title, std::string("Quantara"));
        wizard::SetPageFactory(previous);
    }

    void olderOptionsTableReadsDefaultsAndGrowsOnSave() {
        // An options table made before four options existed, with two scenarios saved in it.
        // MCnt's default (False) and MProbTail's (none) differ from a new scenario's values.
        const std::set<std::string_view> later = {"ChiDetail", "NPTwoType", "MCnt", "MProbTail"};
        std::vector<store::ColumnDef> columns;
        for (const store::ColumnDef& c : store::OptionsSchema().columns)
            if (!later.contains(c.name)) columns.push_back(c);
        db_->TableDefs()->Delete(std::string(store::kOptionsTable));
        store::BuildTable(*db_, store::TableSchema{store::kOptionsTable, columns, store::OptionsSchema().indexes});
        for (int32_t id : {1, 2}) {
            db_->Execute("INSERT INTO usysQuarnScenarios (Scenario_ID, Scenario_Analysis_Type, "
                         "Scenario_Analysis_SubType, MissingType) VALUES (" +
                         std::to_string(id) + ", 'N', '2 Sample', '0')");
            db_->Execute("INSERT INTO usysQuarnOptions (Scenario_ID, TTestValue) VALUES (" + std::to_string(id) +
                         ", 0)");
        }
        long shown = 0;
        auto previous =
            wizard::SetPageFactory([&](long page, QWidget*) -> CWizardPage* { return new CapturePage(&shown, page); });

        // Edit reads the absent options as a new scenario's, without a word.
        WizardOutcome out = RunEditScenarioWizard(1, 50, nullptr);
        QCOMPARE(shown, 50L);
        QVERIFY(out.wizard);
        QVERIFY2(rec_.boxes.empty(), rec_.boxes.empty() ? "" : rec_.boxes[0].prompt.c_str());
        QVERIFY(out.wizard->ChiDetail());
        QCOMPARE(out.wizard->NPTwoType(), std::string("Mann"));
        QVERIFY(out.wizard->MCnt());
        QCOMPARE(out.wizard->MProbTail(), std::string("2-tail"));

        // The save adds the columns and stores the value; the other scenario reads the same values as before.
        out.wizard->NPTwoType("Wald");
        QVERIFY(out.wizard->PostScenario());
        QVERIFY(rec_.boxes.empty());
        QCOMPARE(Value(Rows("usysQuarnOptions", "Scenario_ID = 1"), "NPTwoType").ToString(), std::string("Wald"));
        const dao::RecordsetPtr other = Rows("usysQuarnOptions", "Scenario_ID = 2");
        QCOMPARE(Value(other, "NPTwoType").ToString(), std::string("Mann"));
        QVERIFY(Value(other, "ChiDetail").ToBool());
        QVERIFY(Value(other, "MCnt").ToBool());
        QCOMPARE(Value(other, "MProbTail").ToString(), std::string("2-tail"));
        wizard::SetPageFactory(previous);
    }
};

QTEST_MAIN(WizardSaveTest)
#include "WizardSaveTest.moc"
