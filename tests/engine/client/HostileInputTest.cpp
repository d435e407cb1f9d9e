// The engine under hostile but fair use, through the public header only:
// output tables named like the input table or like SQL, other processes and
// threads at work on the same machine, re-entry from an event handler,
// infinite values, non-ASCII names and misassigned crosstab fields.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <future>
#include <fstream>
#include <optional>

#include "../EngineTestSupport.h"
#include "ScenarioSchema.h"
#include "TestChild.h"

namespace {

using namespace enginetest;

// 30 rows: G1 "a"/"b", G2 "p"/"q"/"r", X1 = 1..30, X2, Y = 2 X1 + noise, W = 1.
std::vector<std::vector<vb::Variant>> SampleRows() {
    std::vector<std::vector<vb::Variant>> rows;
    for (int i = 1; i <= 30; ++i) {
        const double x = i;
        rows.push_back(
            {i % 2 ? "a" : "b", std::string(1, "pqr"[i % 3]), x, 0.5 * x + (i % 4), 2 * x + (i % 5) - 2.0, 1.0});
    }
    return rows;
}

struct Case {
    std::string name;
    StoredScenario scenario;
};

// One scenario of every analysis that reads value fields (X1, and the other
// fields it needs), named by its sub-type (AnalysisCasesHoldEveryAnalysis holds it to
// the analysis list).
std::vector<Case> AnalysisCases() {
    std::vector<Case> cases;
    auto add = [&](const std::string& family, const std::string& subType,
                   std::vector<std::tuple<std::string, vb::Variant, int16_t>> fields,
                   std::map<std::string, vb::Variant> options) {
        cases.push_back(
            {subType, StoredScenario::Of(family.c_str(), subType.c_str(), std::move(fields), std::move(options))});
    };
    add("P", "Describe", {{"G1", "G", 1}, {"X1", "X", 1}}, {{"Range", true}, {"Mean", true}});
    add("P", "Frequency", {{"X1", "X", 1}},
        {{"FreqGroupRadio", "Specified"}, {"InterV", int16_t(4)}, {"FreqWidth", 10.0}, {"FreqInit", 0.0}});
    add("P", "Percentiles", {{"X1", "X", 1}}, {{"PercentileRadio", "Quartiles"}});
    add("P", "Compare", {{"X1", "X", 1}, {"Y", "Y", 1}},
        {{"CountXY", true}, {"MeanXY", true}, {"CorrXY", true}, {"TTest", true}});
    add("P", "Matrix", {{"X1", "X", 1}, {"X2", "X", 2}}, {{"MCnt", true}, {"MCor", true}});
    add("P", "Regression", {{"X1", "X", 1}, {"Y", "Y", 1}}, {{"RegressType", "S"}, {"RAnova", true}});
    add("P", "Crosstab", {{"G1", "G", 1}, {"G2", "C", 1}, {"X1", "X", 1}}, {{"XType", "S"}});
    add("G", "Two Sample t-Test", {{"G1", "C", 1}, {"X1", "X", 1}}, {});
    add("G", "ANOVA", {{"G2", "C", 1}, {"X1", "X", 1}}, {});
    add("G", "Two way ANOVA", {{"G1", "C", 1}, {"G2", "C", 2}, {"X1", "X", 1}}, {});
    add("N", "Sign Test", {{"X1", "X", 1}}, {{"SignMean", true}, {"SignMedian", true}});
    add("N", "K-S Fit", {{"X1", "X", 1}}, {{"FitNormal", true}});
    add("N", "2 Sample", {{"G1", "C", 1}, {"X1", "X", 1}}, {{"NPTwoType", "Mann"}});
    add("N", "N Sample", {{"G2", "C", 1}, {"X1", "X", 1}}, {});
    add("N", "Paired Fields", {{"X1", "X", 1}, {"Y", "Y", 1}}, {{"NPPair_Sign", true}});
    add("N", "N Fields", {{"G1", "G", 1}, {"X1", "X", 1}, {"X2", "X", 2}}, {});
    return cases;
}

// The scenario of an analysis of AnalysisCases.
StoredScenario CaseOf(const std::string& subType) {
    for (const Case& c : AnalysisCases())
        if (c.name == subType) return c.scenario;
    ADD_FAILURE() << "AnalysisCases has no " << subType;
    return {};
}

// The journal mode a closed file's header records: "wal" or "delete".
std::string JournalModeOf(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    char header[20] = {};
    in.read(header, sizeof header);
    return header[18] == 2 ? "wal" : header[18] == 1 ? "delete" : "?";
}
// Puts a closed file into WAL mode as SQLite records it (header bytes 18
// and 19), as another tool would have left it.
void UseWal(const std::string& path) {
    std::fstream file(path, std::ios::binary | std::ios::in | std::ios::out);
    file.seekp(18);
    file.put(2);
    file.put(2);
}

class HostileInput : public EngineTest {
protected:
    void SetUp() override {
        EngineTest::SetUp();
        AppendRows(SampleRows());
    }

    int32_t DataRows() {
        const auto rows = ReadQueryRows(db, "SELECT Count(*) AS n FROM Data;");
        return rows.at(0).at("n").ToLong();
    }

    bool RunShowingProgress(int32_t id) {
        return engine->RunScenario(id, vb::Variant(vb::ObjectPtr(db)), vb::Variant::Missing(), vb::Variant::Missing(),
                                   vb::Variant::Missing(), vb::Variant::Missing(), vb::Variant::Missing(),
                                   vb::Variant::Missing(), vb::Variant::Missing(), vb::Variant::Missing(),
                                   vb::Variant(true));
    }

    bool RunWith(int32_t id, const vb::Variant& outputDb) {
        return engine->RunScenario(id, vb::Variant(vb::ObjectPtr(db)), vb::Variant::Missing(), outputDb);
    }

    // The test's database in the given journal mode; returns the mode's name.
    std::string InJournalMode(bool wal) {
        if (wal) {
            db->Close();
            UseWal(dbPath);
            db = dao::DBEngine().Workspaces(0)->OpenDatabase(dbPath);
        }
        return JournalModeOf(dbPath);
    }
    // The regression, writing to tables named after `stem` and the journal mode.
    static StoredScenario RegressionInto(const std::string& stem, const std::string& mode) {
        StoredScenario regression = CaseOf("Regression");
        regression.output1 = stem + "1" + mode;
        regression.output2 = stem + "2" + mode;
        return regression;
    }

    // Every number in every table of the database but the source is finite.
    void ExpectNoInfinityAnywhere(const std::string& context) {
        const auto defs = db->TableDefs();
        defs->Refresh();
        std::vector<std::string> tables;
        for (const auto& t : *defs)
            if (t->Name() != "Data") tables.push_back(t->Name());
        for (const std::string& table : tables) {
            for (const ResultRow& row : ReadQueryRows(db, "SELECT * FROM [" + table + "];")) {
                for (const auto& [column, value] : row) {
                    if (value.IsNumber()) {
                        EXPECT_TRUE(std::isfinite(value.ToDouble()))
                            << context << ": " << table << "." << column << " holds " << value.ToDouble();
                    }
                }
            }
        }
    }
};

// A new analysis that reads value fields joins the cases of every test here.
TEST(HostileInputCases, AnalysisCasesHoldEveryAnalysis) {
    const std::vector<Case> cases = AnalysisCases();
    for (const store::AnalysisDef& a : store::kAnalysisList) {
        const bool listed = std::any_of(cases.begin(), cases.end(), [&](const Case& c) { return c.name == a.subType; });
        // Every analysis but one of compare fields alone (chi-square) can read X1.
        const bool readsValues = a.roles.valueMin > 0 || a.roles.groupMin > 0;
        EXPECT_EQ(listed, readsValues)
            << (listed ? "AnalysisCases in tests/engine/client/HostileInputTest.cpp holds \""
                       : "AnalysisCases in tests/engine/client/HostileInputTest.cpp has no scenario of \"")
            << a.subType << (listed ? "\", which reads no value field" : "\": give it one, with the fields it needs");
    }
}

TEST_F(HostileInput, AnOutputTableNamedLikeTheInputIsRefusedThroughASecondConnection) {
    for (Case c : AnalysisCases()) {
        SCOPED_TRACE(c.name);
        c.scenario.output1 = "dATA";
        const int32_t id = AddScenario(db, c.scenario);
        // The output database is the same file, opened again from its path.
        EXPECT_FALSE(RunWith(id, vb::Variant(dbPath)));
        EXPECT_NE(engine->get_ErrorInfo().find("cannot be the source table"), std::string::npos)
            << engine->get_ErrorInfo();
        EXPECT_EQ(DataRows(), 30);
    }
    // The second table too, where the analysis writes one.
    StoredScenario regression = CaseOf("Regression");
    regression.output2 = "Data";
    EXPECT_FALSE(RunWith(AddScenario(db, regression), vb::Variant(dbPath)));
    EXPECT_NE(engine->get_ErrorInfo().find("[Data]"), std::string::npos) << engine->get_ErrorInfo();
    EXPECT_EQ(DataRows(), 30);
    // A second table that the analysis never writes does not matter.
    StoredScenario describe = CaseOf("Describe");
    describe.output2 = "Data";
    EXPECT_TRUE(RunWith(AddScenario(db, describe), vb::Variant(dbPath))) << engine->get_ErrorInfo();
    EXPECT_EQ(DataRows(), 30);
}

TEST_F(HostileInput, OutputTablesNamedLikeSqlAreTablesAndTheSourceStaysIntact) {
    StoredScenario regression = CaseOf("Regression");
    regression.output1 = "SELECT * FROM Data";
    regression.output2 = "SELECT * FROM Data WHERE 1=1";
    ASSERT_TRUE(Run(AddScenario(db, regression))) << engine->get_ErrorInfo();
    EXPECT_EQ(DataRows(), 30);
    EXPECT_EQ(ReadResultRows(db, "SELECT * FROM Data WHERE 1=1").size(), 30u);
    EXPECT_FALSE(ReadResultRows(db, "SELECT * FROM Data").empty());
    const auto firstRow = ReadQueryRows(db, "SELECT * FROM Data WHERE X1 = 1;");
    ASSERT_EQ(firstRow.size(), 1u);
    EXPECT_EQ(firstRow[0].at("G1").ToString(), "a");
}

TEST_F(HostileInput, OutputNamesWithBlanksAtTheEndsAreRefusedAsOutputNames) {
    for (const char* name : {" Out1", "Out1 "}) {
        StoredScenario describe = CaseOf("Describe");
        describe.output1 = name;
        EXPECT_FALSE(Run(AddScenario(db, describe)));
        EXPECT_NE(engine->get_ErrorInfo().find("output table name"), std::string::npos) << engine->get_ErrorInfo();
    }
}

TEST_F(HostileInput, CrosstabWithoutOneColumnFieldSaysSo) {
    StoredScenario none = CaseOf("Crosstab");
    none.fields = {{"G1", "G", 1}, {"X1", "X", 1}};
    EXPECT_FALSE(Run(AddScenario(db, none)));
    EXPECT_NE(engine->get_ErrorInfo().find("column field"), std::string::npos) << engine->get_ErrorInfo();
    none.fields = {{"G1", "G", 1}};
    EXPECT_FALSE(Run(AddScenario(db, none)));
    EXPECT_NE(engine->get_ErrorInfo().find("column field"), std::string::npos) << engine->get_ErrorInfo();
    StoredScenario two = CaseOf("Crosstab");
    two.fields = {{"G1", "G", 1}, {"G2", "C", 1}, {"G1", "C", 2}, {"X1", "X", 1}};
    EXPECT_FALSE(Run(AddScenario(db, two)));
    EXPECT_NE(engine->get_ErrorInfo().find("Only one column field"), std::string::npos) << engine->get_ErrorInfo();
}

// The value is met part-way through the records, after results for earlier
// groups were written: the run fails and the last run's results stay.
TEST_F(HostileInput, AnInfiniteSourceValueIsRefusedNamingItsFieldAndTheLastResultsStay) {
    for (const Case& c : AnalysisCases()) {
        SCOPED_TRACE(c.name);
        db->Execute("UPDATE Data SET X1 = 7 WHERE X1 > 1e308;");
        const int32_t id = AddScenario(db, c.scenario);
        ASSERT_TRUE(Run(id)) << engine->get_ErrorInfo();
        const auto before = ReadResultRows(db, "Out1");
        ASSERT_FALSE(before.empty());
        db->Execute("UPDATE Data SET X1 = 9e999 WHERE X1 = 7;");
        EXPECT_FALSE(Run(id));
        EXPECT_NE(engine->get_ErrorInfo().find("[X1]"), std::string::npos) << engine->get_ErrorInfo();
        EXPECT_NE(engine->get_ErrorInfo().find("not a finite number"), std::string::npos) << engine->get_ErrorInfo();
        EXPECT_EQ(ReadResultRows(db, "Out1"), before);
    }
    ASSERT_TRUE(
        std::isinf(ReadQueryRows(db, "SELECT X1 FROM Data WHERE G2 = 'q' AND X1 > 1e308;").at(0).at("X1").ToDouble()));
    ExpectNoInfinityAnywhere("infinite X1");
}

// A table made without column types, as many tools make one: a text in a
// value field is refused naming the field, and '' reads as Null, in every
// analysis.
TEST_F(HostileInput, ATextInAColumnOfNoDeclaredTypeIsRefusedInEveryAnalysis) {
    db->Execute("CREATE TABLE Untyped (G1, G2, X1, X2, Y, W);");
    db->Execute("INSERT INTO Untyped SELECT G1, G2, X1, X2, Y, W FROM Data;");
    for (const Case& c : AnalysisCases()) {
        SCOPED_TRACE(c.name);
        StoredScenario s = c.scenario;
        s.input = "Untyped";
        const int32_t id = AddScenario(db, s);
        db->Execute("UPDATE Untyped SET X1 = Null WHERE X1 = 7 OR X1 = '';");
        ASSERT_TRUE(Run(id)) << engine->get_ErrorInfo();
        const auto withNull = ReadResultRows(db, "Out1");
        db->Execute("UPDATE Untyped SET X1 = '' WHERE X1 IS NULL;");
        ASSERT_TRUE(Run(id)) << engine->get_ErrorInfo();
        EXPECT_EQ(ReadResultRows(db, "Out1"), withNull);
        db->Execute("UPDATE Untyped SET X1 = 'abc' WHERE X1 = '';");
        EXPECT_FALSE(Run(id));
        EXPECT_NE(engine->get_ErrorInfo().find("The field [X1] of [Untyped] holds the text \"abc\""), std::string::npos)
            << engine->get_ErrorInfo();
        EXPECT_EQ(ReadResultRows(db, "Out1"), withNull);
        db->Execute("UPDATE Untyped SET X1 = 7 WHERE X1 = 'abc';");
    }
}

TEST_F(HostileInput, InfiniteOrHugeWeightsNeverWriteAnInfinity) {
    std::vector<Case> weighted;
    for (const Case& c : AnalysisCases()) {
        if (c.name == "Describe" || c.name == "Compare" || c.name == "Regression" || c.name == "Crosstab" ||
            c.name == "N Fields") {
            Case w = c;
            w.scenario.fields.emplace_back("W", "W", 1);
            weighted.push_back(w);
        }
    }
    StoredScenario chi;
    chi.family = "N";
    chi.subType = "Chi-Square";
    chi.fields = {{"G1", "G", 1}, {"G2", "C", 1}, {"W", "W", 1}};
    chi.options = {{"ChiDetail", true}};
    weighted.push_back({"ChiSquare", chi});
    // A spread crosstab reads its weights record by record, not through a sum.
    Case spread = *std::find_if(weighted.begin(), weighted.end(), [](const Case& c) { return c.name == "Crosstab"; });
    spread.name = "CrosstabSpread";
    spread.scenario.options = {{"XType", "D"}};
    weighted.push_back(spread);

    db->Execute("UPDATE Data SET W = -9e999 WHERE X1 = 3;");
    db->Execute("UPDATE Data SET W = 9e999 WHERE X1 = 4;");
    for (const Case& c : weighted) {
        SCOPED_TRACE(c.name);
        EXPECT_FALSE(Run(AddScenario(db, c.scenario)));
        EXPECT_NE(engine->get_ErrorInfo().find("[W]"), std::string::npos) << engine->get_ErrorInfo();
    }
    // Finite but so large that the sums overflow.
    db->Execute("UPDATE Data SET W = 1e308;");
    for (const Case& c : weighted) {
        SCOPED_TRACE(c.name);
        Run(AddScenario(db, c.scenario));
    }
    ExpectNoInfinityAnywhere("huge weights");
}

// --- other writers, threads and re-entry ------------------------------------------------

// The other processes of the two tests below.
// Runs the scenario args[1] on the database args[0].
TEST_CHILD(OtherWriter) {
    ASSERT_EQ(args.size(), 2u);
    Quantara q;
    EXPECT_TRUE(q.RunScenario(std::stoi(args[1]), vb::Variant(args[0]))) << q.get_ErrorInfo();
}

// Reads the source table of the database args[0].
TEST_CHILD(OtherReader) {
    ASSERT_EQ(args.size(), 1u);
    dao::DatabasePtr other = dao::DBEngine().OpenDatabase(args[0]);
    EXPECT_EQ(ReadQueryRows(other, "SELECT Count(*) AS n FROM Data;").at(0).at("n").ToLong(), 30);
}

// Starts another process once the run has begun to read (when it announces
// its result tables) and gives it up to `grace` to end before the run goes on.
class OtherProcessDuringRun : public QuantaraEvents {
public:
    OtherProcessDuringRun(std::vector<std::string> command, std::chrono::milliseconds grace)
        : command_(std::move(command)), grace_(grace) {}
    void StatStatus(std::string& message) override {
        if (process_ || message != "Creating output table...") return;
        process_.emplace(command_);
        endedDuringRun_ = process_->WaitUpTo(grace_);
    }
    bool DoneDuringRun() const { return endedDuringRun_; }
    // Its exit code; -1 when it never started, failed to start or had not
    // ended within two minutes.
    int Finish() { return process_ ? process_->Finish(std::chrono::minutes(2)) : -1; }

private:
    std::vector<std::string> command_;
    std::chrono::milliseconds grace_;
    std::optional<testchild::Process> process_;
    bool endedDuringRun_ = false;
};

TEST_F(HostileInput, AnotherEngineProcessRunsAtTheSameTime) {
    for (bool wal : {false, true}) {
        SCOPED_TRACE(wal ? "WAL" : "rollback journal");
        const std::string mode = InJournalMode(wal);
        const int32_t ours = AddScenario(db, RegressionInto("Ours", mode));
        const int32_t theirs = AddScenario(db, RegressionInto("Theirs", mode));
        OtherProcessDuringRun writer(testchild::ChildCommand("OtherWriter", {dbPath, std::to_string(theirs)}),
                                     std::chrono::milliseconds(1500));
        const auto watching = engine->Advise(&writer);
        EXPECT_TRUE(RunShowingProgress(ours)) << engine->get_ErrorInfo();
        engine->Unadvise(watching);
        // The other run waited for this one and then completed too.
        EXPECT_EQ(writer.Finish(), 0);
        EXPECT_EQ(ReadResultRows(db, "Ours2" + mode).size(), 30u);
        EXPECT_EQ(ReadResultRows(db, "Theirs2" + mode).size(), 30u);
        EXPECT_EQ(JournalModeOf(dbPath), mode);
    }
}

TEST_F(HostileInput, AReaderInAnotherProcessReadsDuringTheRun) {
    for (bool wal : {false, true}) {
        SCOPED_TRACE(wal ? "WAL" : "rollback journal");
        const std::string mode = InJournalMode(wal);
        // A reader must get through while the run holds its write lock.
        OtherProcessDuringRun reader(testchild::ChildCommand("OtherReader", {dbPath}), std::chrono::seconds(20));
        const auto watching = engine->Advise(&reader);
        EXPECT_TRUE(RunShowingProgress(AddScenario(db, RegressionInto("Ours", mode)))) << engine->get_ErrorInfo();
        engine->Unadvise(watching);
        EXPECT_TRUE(reader.DoneDuringRun());
        EXPECT_EQ(reader.Finish(), 0);
        EXPECT_EQ(ReadResultRows(db, "Ours2" + mode).size(), 30u);
        EXPECT_EQ(JournalModeOf(dbPath), mode);
    }
}

// Runs `work` for threads 0 and 1 at once, each noting its failures (an error
// it raises is one), and expects none. Threads still at work after three
// minutes (a lock never given up) fail the test and end the program: a thread
// cannot be stopped.
void ExpectTwoThreadsWithoutFailure(const std::function<void(int, std::vector<std::string>&)>& work) {
    std::vector<std::string> failures[2];
    auto guarded = [&](int t) {
        try {
            work(t, failures[t]);
        } catch (const vb::VbError& e) {
            failures[t].push_back(e.Description());
        }
    };
    std::future<void> threads[] = {std::async(std::launch::async, guarded, 0),
                                   std::async(std::launch::async, guarded, 1)};
    for (std::future<void>& thread : threads) {
        if (thread.wait_for(std::chrono::minutes(3)) != std::future_status::ready) {
            ADD_FAILURE() << "the two threads' runs did not end within three minutes";
            std::fflush(nullptr);
            std::_Exit(1);
        }
        thread.get();
    }
    EXPECT_TRUE(failures[0].empty()) << failures[0].front();
    EXPECT_TRUE(failures[1].empty()) << failures[1].front();
}

// Two objects in two threads on one file, each through its own connection,
// in both journal modes: every run waits for the other's write lock.
TEST_F(HostileInput, TwoThreadsRunTwoObjectsOnOneFile) {
    for (bool wal : {false, true}) {
        SCOPED_TRACE(wal ? "WAL" : "rollback journal");
        const std::string path = (folder / (wal ? "shared-wal.db" : "shared.db")).string();
        int32_t ids[2][3];
        {
            dao::DatabasePtr setup = dao::DBEngine().Workspaces(0)->CreateDatabase(path);
            CreateScenarioTables(setup);
            CreateSourceTable(setup, SampleRows());
            for (int t = 0; t < 2; ++t) {
                for (int k = 0; k < 3; ++k) {
                    StoredScenario s = CaseOf(std::array{"Describe", "Regression", "N Sample"}[k]);
                    s.output1 = "T" + std::to_string(t) + "Out" + std::to_string(k);
                    s.output2 = "T" + std::to_string(t) + "Second" + std::to_string(k);
                    ids[t][k] = AddScenario(setup, s);
                }
            }
            setup->Close();
        }
        if (wal) UseWal(path);
        ExpectTwoThreadsWithoutFailure([&](int t, std::vector<std::string>& failures) {
            dao::DatabasePtr own = dao::DBEngine().Workspaces(0)->OpenDatabase(path);
            Quantara q;
            for (int i = 0; i < 9; ++i)
                if (!q.RunScenario(ids[t][i % 3], vb::Variant(vb::ObjectPtr(own))))
                    failures.push_back(q.get_ErrorInfo());
            own->Close();
        });
        EXPECT_EQ(JournalModeOf(path), wal ? "wal" : "delete");
    }
}

TEST_F(HostileInput, TwoThreadsRunTwoObjectsOnTwoFiles) {
    ExpectTwoThreadsWithoutFailure([&](int t, std::vector<std::string>& failures) {
        const std::string path = (folder / ("thread" + std::to_string(t) + ".db")).string();
        dao::DatabasePtr own = dao::DBEngine().Workspaces(0)->CreateDatabase(path);
        CreateScenarioTables(own);
        CreateSourceTable(own, SampleRows());
        StoredScenario describe = CaseOf("Describe");
        describe.options["Percentile"] = true;
        describe.options["PercentileRadio"] = "Quartiles";
        describe.options["Mode"] = true;
        const int32_t ids[] = {AddScenario(own, describe), AddScenario(own, CaseOf("Regression")),
                               AddScenario(own, CaseOf("N Sample"))};
        Quantara q;
        for (int i = 0; i < 12; ++i)
            if (!q.RunScenario(ids[i % 3], vb::Variant(vb::ObjectPtr(own)))) failures.push_back(q.get_ErrorInfo());
        own->Close();
    });
}

// Calls RunScenario on the same object from inside its own progress event.
class ReentrantCaller : public QuantaraEvents {
public:
    ReentrantCaller(Quantara& q, int32_t id) : q_(q), id_(id) {}
    void StatStatus(std::string&) override {
        if (called) return;
        called = true;
        innerResult = q_.RunScenario(id_);
        innerError = q_.get_ErrorInfo();
    }
    bool called = false;
    bool innerResult = true;
    std::string innerError;

private:
    Quantara& q_;
    int32_t id_;
};

TEST_F(HostileInput, RunScenarioFromItsOwnEventIsRefusedAndTheRunGoesOn) {
    const int32_t id = AddScenario(db, CaseOf("Describe"));
    ReentrantCaller caller(*engine, id);
    engine->Advise(&caller);
    engine->put_ShowProgress(true);
    EXPECT_TRUE(Run(id)) << engine->get_ErrorInfo();
    ASSERT_TRUE(caller.called);
    EXPECT_FALSE(caller.innerResult);
    EXPECT_NE(caller.innerError.find("while this object is running"), std::string::npos) << caller.innerError;
    EXPECT_EQ(engine->get_ErrorInfo(), "");
    EXPECT_EQ(ReadResultRows(db, "Out1").size(), 2u);
    // The object still works afterwards.
    EXPECT_TRUE(Run(id)) << engine->get_ErrorInfo();
}

// --- UTF-8 ----------------------------------------------------------------------------------

bool ValidUtf8(const std::string& s) {
    for (size_t i = 0; i < s.size();) {
        const unsigned char c = static_cast<unsigned char>(s[i]);
        size_t n = c < 0x80 ? 1 : (c >> 5) == 0x6 ? 2 : (c >> 4) == 0xE ? 3 : (c >> 3) == 0x1E ? 4 : 0;
        if (n == 0 || i + n > s.size()) return false;
        for (size_t k = 1; k < n; ++k)
            if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80) return false;
        i += n;
    }
    return true;
}

size_t Characters(const std::string& s) {
    size_t n = 0;
    for (unsigned char c : s) n += (c & 0xC0) != 0x80 ? 1 : 0;
    return n;
}

TEST_F(HostileInput, CrosstabColumnNamesAreCutBetweenCharacters) {
    db->Execute("CREATE TABLE Wide (R TEXT(10), C TEXT(255), X DOUBLE);");
    std::string longValue;
    for (int i = 0; i < 40; ++i) longValue += "\xC3\xA9";                 // 40 letters, 80 bytes
    std::string odd = "a" + std::string(63, 'b') + "\xE2\x82\xAC" + "z";  // the cut falls inside the euro sign
    AppendRows({{"r1", longValue, 1.0}, {"r1", odd, 2.0}, {"r2", "caf\xC3\xA9", 3.0}}, "Wide");
    // The layer counts characters: a 40-letter name is no longer than 64.
    dao::CheckName(longValue);
    StoredScenario crosstab = CaseOf("Crosstab");
    crosstab.input = "Wide";
    crosstab.fields = {{"R", "G", 1}, {"C", "C", 1}, {"X", "X", 1}};
    ASSERT_TRUE(Run(AddScenario(db, crosstab))) << engine->get_ErrorInfo();
    const auto names = ColumnNames(db, "Out1");
    bool sawLong = false;
    for (const std::string& name : names) {
        EXPECT_TRUE(ValidUtf8(name)) << name;
        EXPECT_LE(Characters(name), 64u) << name;
        sawLong = sawLong || name == longValue;
    }
    EXPECT_TRUE(sawLong);
    const std::string cut = "a" + std::string(63, 'b');
    EXPECT_NE(std::find(names.begin(), names.end(), cut), names.end());
}

TEST_F(HostileInput, ResultColumnsNamedAfterLongNonAsciiFieldsStayValid) {
    std::string y;
    for (int i = 0; i < 60; ++i) y += "\xC3\xB6";  // 60 letters
    db->Execute("CREATE TABLE Long (X DOUBLE, [" + y + "] DOUBLE);");
    AppendRows({{1.0, 2.0}, {2.0, 4.5}, {3.0, 5.5}, {4.0, 8.0}}, "Long");
    StoredScenario compare = CaseOf("Compare");
    compare.input = "Long";
    compare.fields = {{"X", "X", 1}, {y, "Y", 1}};
    ASSERT_TRUE(Run(AddScenario(db, compare))) << engine->get_ErrorInfo();
    const auto names = ColumnNames(db, "Out1");
    bool sawCount = false;
    for (const std::string& name : names) {
        EXPECT_TRUE(ValidUtf8(name)) << name;
        EXPECT_LE(Characters(name), 64u) << name;
        sawCount = sawCount || name.rfind("Count_of_", 0) == 0;
    }
    EXPECT_TRUE(sawCount);
}

}  // namespace
