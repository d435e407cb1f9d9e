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

}  // namespace
