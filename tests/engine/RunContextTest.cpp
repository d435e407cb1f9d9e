// An analysis run against a run context of its own, with no engine object:
// the context alone gives it its source, its output and its progress.
#include <filesystem>

#include "EngineTestSupport.h"
#include "RunContext.h"
#include "analysis/AnalysisEntries.h"

using namespace enginetest;

namespace {

TEST(RunContextAlone, CarriesAnAnalysisFromSourceToResultTable) {
    const std::filesystem::path folder = MakeScratchFolder();
    ui::RecordingUi ui;
    ui::ScopedUi scopedUi{ui};
    dao::DatabasePtr db = dao::DBEngine().Workspaces(0)->CreateDatabase((folder / "data.db").string());
    const vb::Variant kNull = vb::Variant::Null();
    CreateSourceTable(db, {{"a", kNull, 4.0}, {"a", kNull, 2.0}, {"a", kNull, 1.0}, {"a", kNull, 3.0}});
    {
        RunContext run;
        run.SourceDatabase(db);
        run.OutputDatabase(db);
        run.ShowStatus(true);
        std::vector<std::string> messages;
        run.OnStatus([&](std::string& message) { messages.push_back(message); });

        FieldNames fields{"", "G1", "X1"};
        ASSERT_EQ(Quarn_Percentile("Out", "Data", fields, 1, 1, false, "Q", run), "");
        EXPECT_FALSE(messages.empty()) << "progress reaches the context's own sink";
        run.CloseRecordsets();
    }
    // R: quantile(c(4, 2, 1, 3)) = 1 1.75 2.5 3.25 4
    const auto rows = ReadResultRows(db, "Out");
    ASSERT_EQ(rows.size(), 5u);
    const double expected[] = {1, 1.75, 2.5, 3.25, 4};
    for (size_t i = 0; i < rows.size(); ++i) {
        EXPECT_DOUBLE_EQ(Num(rows[i], "Percentile"), 25.0 * static_cast<double>(i));
        EXPECT_DOUBLE_EQ(Num(rows[i], "Value"), expected[i]);
    }
    db->Close();
    std::error_code ec;
    std::filesystem::remove_all(folder, ec);
}

// Rows of a batch that cannot be written (here a unique index refuses them)
// make the analysis's commit fail: undoing the run then rolls back that level
// and the run's write lock, so nothing the run made stays and no transaction
// is left open to swallow the user's later changes.
TEST(RunContextAlone, ACommitThatFailsIsRolledBackWithTheRun) {
    const std::filesystem::path folder = MakeScratchFolder();
    ui::RecordingUi ui;
    ui::ScopedUi scopedUi{ui};
    dao::DatabasePtr db = dao::DBEngine().Workspaces(0)->CreateDatabase((folder / "data.db").string());
    CreateSourceTable(db, {{"a", vb::Variant::Null(), 4.0}});
    db->Execute("CREATE TABLE R (X DOUBLE)");
    db->Execute("CREATE UNIQUE INDEX UX ON R (X)");
    {
        RunContext run;
        run.SourceDatabase(db);
        run.OutputDatabase(db);
        run.TakeWriteLock();
        db->Execute("CREATE TABLE Made (Y DOUBLE)");
        run.BeginTrans();
        dao::RecordsetPtr rs =
            db->OpenRecordset("SELECT X FROM R", dao::dbOpenDynaset, dao::dbAppendOnly | dao::dbAppendInBatches);
        for (int i = 0; i < 3; ++i) {
            rs->AddNew();
            rs->Fields(0)->Value(1.0);
            rs->Update();
        }
        EXPECT_THROW(run.CommitTrans(), vb::VbError);
        run.UndoAfterError();
    }
    EXPECT_FALSE(db->TableDefs()->Contains("Made"));
    db->Execute("CREATE TABLE After (Z DOUBLE)");
    const std::string path = db->Name();
    db->Close();
    dao::DatabasePtr again = dao::DBEngine().Workspaces(0)->OpenDatabase(path);
    EXPECT_TRUE(again->TableDefs()->Contains("After"));
    EXPECT_EQ(again->OpenRecordset("SELECT Count(*) FROM R")->Fields(0)->Value().ToLong(), 0);
    again->Close();
    std::error_code ec;
    std::filesystem::remove_all(folder, ec);
}

}  // namespace
