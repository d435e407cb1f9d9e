// The scratch database: made as a file of its own in the temporary folder,
// emptied both ways, recreated, read through an IN clause when the folder's
// name holds an apostrophe, deleted at the end of the run, and kept apart
// from the scratch database of a second engine object running meanwhile; a
// full temporary folder is named in the run's message.
#include <sqlite3.h>

#include <cstdlib>
#include <map>
#include <memory>

#include "EngineTestSupport.h"
#include "QuantaraImpl.h"
#include "RunContextSupport.h"
#include "StatsGeneral.h"
#include "analysis/AnalysisEntries.h"
#include "vb/VbError.h"

using namespace enginetest;

namespace {

class ScratchDatabase : public EngineTest {
protected:
    void SetUp() override {
        EngineTest::SetUp();
        run.SourceDatabase(db);
        run.OutputDatabase(db);
        // A temporary folder whose name needs quoting in SQL.
        const char* old = std::getenv("TMPDIR");
        if (old) oldTmp = old;
        tmp = folder / "o'brien tmp";
        std::filesystem::create_directories(tmp);
        ::setenv("TMPDIR", tmp.c_str(), 1);
    }
    void TearDown() override {
        if (oldTmp) {
            ::setenv("TMPDIR", oldTmp->c_str(), 1);
        } else {
            ::unsetenv("TMPDIR");
        }
        run.CloseRecordsets();
        run.CloseAndDeleteScratch();
        EngineTest::TearDown();
    }

    // A run context of its own, with no engine object.
    RunContext run;

    // statTemp1 with `rows` rows in the scratch database.
    static void FillScratch(RunContext& z, int rows) {
        z.Quarn_DeleteTable(true, "statTemp1");
        dao::TableDefPtr t = z.TempDatabase()->CreateTableDef("statTemp1");
        int16_t ordinal = 0;
        AddOutputField(t, "Field", dao::dbInteger, ordinal);
        AddOutputField(t, "Data", dao::dbDouble, ordinal);
        AddOutputField(t, "Weight", dao::dbDouble, ordinal);
        z.TempDatabase()->TableDefs()->Append(t);
        dao::RecordsetPtr rs = z.TempDatabase()->OpenRecordset("statTemp1", dao::dbOpenTable, dao::dbAppendOnly);
        for (int i = 0; i < rows; ++i) {
            rs->AddNew();
            rs->Fields(0)->Value(int16_t(1));
            rs->Fields(1)->Value(double(rows - i));
            rs->Fields(2)->Value(1.0);
            rs->Update();
        }
        rs->Close();
    }

    static int32_t Rows(RunContext& z) {
        dao::RecordsetPtr rs = z.TempDatabase()->OpenRecordset("SELECT Count(*) AS n FROM statTemp1");
        return rs->Fields(0)->Value().ToLong();
    }

    std::filesystem::path tmp;
    std::optional<std::string> oldTmp;
};

TEST_F(ScratchDatabase, EachRequestMakesANewFileInTheTemporaryFolder) {
    ASSERT_TRUE(run.Quarn_UTIL_MakeTempDB());
    const std::string first = run.TempFilePath();
    EXPECT_EQ(std::filesystem::path(first).parent_path(), tmp);
    EXPECT_EQ(std::filesystem::path(first).filename().string().rfind("kzp", 0), 0u);
    EXPECT_TRUE(FileIsPresent(first));
    ASSERT_TRUE(run.TempDatabase());
    EXPECT_EQ(run.TempDatabase()->Name(), first);
    FillScratch(run, 3);

    // Asked again in the same run: the old file goes, a new empty one comes.
    ASSERT_TRUE(run.Quarn_UTIL_MakeTempDB());
    const std::string second = run.TempFilePath();
    EXPECT_NE(second, first);
    EXPECT_FALSE(FileIsPresent(first));
    EXPECT_TRUE(FileIsPresent(second));
    run.TempDatabase()->TableDefs()->Refresh();
    EXPECT_FALSE(run.TempDatabase()->TableDefs()->Contains("statTemp1"));
}

TEST_F(ScratchDatabase, EmptyingByStatementAndRowByRow) {
    ASSERT_TRUE(run.Quarn_UTIL_MakeTempDB());
    FillScratch(run, 150);
    run.Quarn_EmptyTable(true, "statTemp1", 0);
    EXPECT_EQ(Rows(run), 150);
    run.Quarn_EmptyTable(true, "statTemp1", 150);
    EXPECT_EQ(Rows(run), 0);

    FillScratch(run, 99);
    run.Quarn_EmptyTable(true, "statTemp1", 99);
    EXPECT_EQ(Rows(run), 0);
    EXPECT_EQ(run.OpenTransactionLevels(), 0u);

    FillScratch(run, 100);
    run.Quarn_EmptyTable(true, "statTemp1", 100);
    EXPECT_EQ(Rows(run), 0);

    // A table of another database, by statement and row by row.
    db->Execute("INSERT INTO [Data] ([X1]) VALUES (1)");
    db->Execute("INSERT INTO [Data] ([X1]) VALUES (2)");
    run.Quarn_EmptyTable(false, "Data", 2, db);
    EXPECT_EQ(db->OpenRecordset("SELECT Count(*) FROM [Data]")->Fields(0)->Value().ToLong(), 0);
}

TEST_F(ScratchDatabase, ReadThroughAnInClauseDespiteTheApostrophe) {
    ASSERT_TRUE(run.Quarn_UTIL_MakeTempDB());
    ASSERT_NE(run.TempFilePath().find('\''), std::string::npos);
    FillScratch(run, 4);
    dao::RecordsetPtr rs =
        run.SourceDatabase()->OpenRecordset("SELECT [Data] FROM statTemp1 " + InFileClause(run.TempDatabase()->Name()) +
                                            " WHERE (([Field] = 1)) ORDER BY [Data];");
    std::vector<double> values;
    for (; !rs->Eof(); rs->MoveNext()) values.push_back(rs->Fields(0)->Value().ToDouble());
    EXPECT_EQ(values, (std::vector<double>{1, 2, 3, 4}));
}

class ScratchRuns : public ScratchDatabase {
protected:
    // A Describe stand-in: makes its scratch database, stages rows, lets
    // `during` run (another engine object's run) and reads its rows back.
    void StandIn() {
        AnalysisEntries().Describe = [this](const std::string&, const std::string&, FieldNames&, int16_t, int16_t, bool,
                                            int16_t, const std::string&, int16_t, int16_t, int16_t, int16_t,
                                            const std::string&, const std::string&, int16_t, int16_t,
                                            std::vector<double>&, int16_t, std::vector<double>&, const std::string&,
                                            int16_t, double, double, RunContext& z) {
            if (!z.Quarn_UTIL_MakeTempDB()) return std::string("Temp database could not be created");
            paths[&z] = z.TempFilePath();
            FillScratch(z, &z == &LastRun(*engine) ? 5 : 7);
            if (during && &z == &LastRun(*engine)) during();
            seenRows[&z] = Rows(z);
            stillPresent[&z] = FileIsPresent(z.TempFilePath());
            return std::string();
        };
    }
    ScopedAnalysisEntries entries;
    std::function<void()> during;
    std::map<const RunContext*, std::string> paths;
    std::map<const RunContext*, int32_t> seenRows;
    std::map<const RunContext*, bool> stillPresent;
};

TEST_F(ScratchRuns, TheRunDeletesItsScratchFile) {
    StandIn();
    const int32_t id = AddScenario(db, StoredScenario{});
    ASSERT_TRUE(Run(id)) << engine->get_ErrorInfo();
    ASSERT_EQ(paths.count(&LastRun(*engine)), 1u);
    EXPECT_EQ(seenRows[&LastRun(*engine)], 5);
    EXPECT_FALSE(FileIsPresent(paths[&LastRun(*engine)]));
    EXPECT_FALSE(LastRun(*engine).TempDatabase());
    EXPECT_TRUE(std::filesystem::is_empty(tmp));
}

TEST_F(ScratchRuns, TwoEngineObjectsRunningAtOnceKeepTheirOwnFiles) {
    StandIn();
    const int32_t id = AddScenario(db, StoredScenario{});
    Quantara second;
    during = [&] { EXPECT_TRUE(second.RunScenario(id, vb::Variant(vb::ObjectPtr(db)))) << second.get_ErrorInfo(); };
    ASSERT_TRUE(Run(id)) << engine->get_ErrorInfo();
    ASSERT_EQ(paths.size(), 2u);
    EXPECT_NE(paths[&LastRun(*engine)], paths[&LastRun(second)]);
    // The second run deleted its own file only; the first kept its rows.
    EXPECT_EQ(seenRows[&LastRun(second)], 7);
    EXPECT_EQ(seenRows[&LastRun(*engine)], 5);
    EXPECT_TRUE(stillPresent[&LastRun(*engine)]);
    EXPECT_FALSE(FileIsPresent(paths[&LastRun(*engine)]));
    EXPECT_FALSE(FileIsPresent(paths[&LastRun(second)]));
}

TEST_F(ScratchRuns, AFailedRunDeletesItsScratchFileToo) {
    AnalysisEntries().Describe = [this](const std::string&, const std::string&, FieldNames&, int16_t, int16_t, bool,
                                        int16_t, const std::string&, int16_t, int16_t, int16_t, int16_t,
                                        const std::string&, const std::string&, int16_t, int16_t, std::vector<double>&,
                                        int16_t, std::vector<double>&, const std::string&, int16_t, double, double,
                                        RunContext& z) -> std::string {
        z.Quarn_UTIL_MakeTempDB();
        paths[&z] = z.TempFilePath();
        FillScratch(z, 2);
        z.BeginTrans();
        throw vb::VbError(11, "Division by zero");
    };
    const int32_t id = AddScenario(db, StoredScenario{});
    EXPECT_FALSE(Run(id));
    EXPECT_FALSE(FileIsPresent(paths[&LastRun(*engine)]));
}

// A full temporary folder: the database engine's default file system,
// wrapped so that writes to files in one folder past a few pages fail as they
// fail on a full disk (SQLITE_FULL).
class FullFolder {
public:
    explicit FullFolder(std::string folder) {
        folder_ = std::move(folder);
        base_ = sqlite3_vfs_find(nullptr);
        vfs_ = *base_;
        vfs_.zName = "merivox-test-full-folder";
        vfs_.xOpen = Open;
        sqlite3_vfs_register(&vfs_, 1);
    }
    ~FullFolder() {
        sqlite3_vfs_unregister(&vfs_);
        sqlite3_vfs_register(base_, 1);
    }
    FullFolder(const FullFolder&) = delete;
    FullFolder& operator=(const FullFolder&) = delete;

private:
    static constexpr sqlite3_int64 kRoom = 16384;
    static int Open(sqlite3_vfs*, sqlite3_filename name, sqlite3_file* file, int flags, int* outFlags) {
        const int rc = base_->xOpen(base_, name, file, flags, outFlags);
        if (rc == SQLITE_OK && file->pMethods && name && std::string(name).rfind(folder_, 0) == 0) {
            // One io_methods per kind the engine hands out, with the write replaced.
            auto& entry = methods_[file->pMethods];
            if (!entry) {
                entry = std::make_unique<Methods>();
                entry->original = file->pMethods;
                entry->wrapped = *file->pMethods;
                entry->wrapped.xWrite = Write;
            }
            file->pMethods = &entry->wrapped;
        }
        return rc;
    }
    static int Write(sqlite3_file* file, const void* data, int amount, sqlite3_int64 offset) {
        if (offset + amount > kRoom) return SQLITE_FULL;
        for (const auto& [original, entry] : methods_) {
            if (&entry->wrapped == file->pMethods) return original->xWrite(file, data, amount, offset);
        }
        return SQLITE_IOERR_WRITE;
    }
    struct Methods {
        const sqlite3_io_methods* original = nullptr;
        sqlite3_io_methods wrapped{};
    };
    static inline std::string folder_;
    static inline sqlite3_vfs* base_ = nullptr;
    static inline sqlite3_vfs vfs_{};
    static inline std::map<const sqlite3_io_methods*, std::unique_ptr<Methods>> methods_;
};

TEST_F(ScratchRuns, AFullTemporaryFolderIsNamedWithTheScratchDatabase) {
    AnalysisEntries().Describe = [this](const std::string&, const std::string&, FieldNames&, int16_t, int16_t, bool,
                                        int16_t, const std::string&, int16_t, int16_t, int16_t, int16_t,
                                        const std::string&, const std::string&, int16_t, int16_t, std::vector<double>&,
                                        int16_t, std::vector<double>&, const std::string&, int16_t, double, double,
                                        RunContext& z) -> std::string {
        if (!z.Quarn_UTIL_MakeTempDB()) return "Temp database could not be created";
        paths[&z] = z.TempFilePath();
        z.BeginTrans();
        FillScratch(z, 5000);
        z.CommitTrans();
        return {};
    };
    const int32_t id = AddScenario(db, StoredScenario{});
    {
        const FullFolder full(tmp.string() + "/");
        EXPECT_FALSE(Run(id));
    }
    const std::string& scratch = paths[&LastRun(*engine)];
    EXPECT_EQ(std::filesystem::path(scratch).parent_path(), tmp);
    EXPECT_EQ(engine->get_ErrorInfo(), "3026: There is not enough space to write the changes of the database '" +
                                           scratch +
                                           "': its disk, or the temporary folder where the database engine keeps its "
                                           "work files, is full. Free some space and try again.");
    EXPECT_FALSE(FileIsPresent(scratch));
    EXPECT_FALSE(db->TableDefs()->Contains("Out1"));
}

}  // namespace
