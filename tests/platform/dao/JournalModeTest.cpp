// Files as their owner left them: opening and reading keep the journal mode
// and leave nothing beside the file; a file that cannot be written opens
// read-only.
#include <gtest/gtest.h>
#include <sqlite3.h>
#include <sys/stat.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "DaoTestSupport.h"
#include "TestChild.h"

namespace {

using namespace daotest;

class JournalMode : public DaoTest {
protected:
    // A file made by another tool, in the given journal mode.
    std::string MakeFile(const std::string& name, const char* mode) {
        const std::string path = Path(name);
        sqlite3* raw = nullptr;
        EXPECT_EQ(sqlite3_open(path.c_str(), &raw), SQLITE_OK);
        const std::string sql = std::string("PRAGMA journal_mode=") + mode +
                                "; CREATE TABLE Src (id INTEGER, x REAL); " +
                                "INSERT INTO Src VALUES (1, 1.5), (2, 2.5);";
        EXPECT_EQ(sqlite3_exec(raw, sql.c_str(), nullptr, nullptr, nullptr), SQLITE_OK);
        sqlite3_close(raw);
        return path;
    }
    // A WAL file whose last changes are still in its log, without the
    // shared-memory file (copied while its writer had it open).
    void MakePendingWalFile(const std::string& name) {
        const std::string writer = Path("writer.db");
        sqlite3* raw = nullptr;
        EXPECT_EQ(sqlite3_open(writer.c_str(), &raw), SQLITE_OK);
        EXPECT_EQ(sqlite3_exec(raw,
                               "PRAGMA journal_mode=WAL; PRAGMA wal_autocheckpoint=0; "
                               "CREATE TABLE Src (id INTEGER, x REAL); PRAGMA wal_checkpoint(TRUNCATE); "
                               "INSERT INTO Src VALUES (1, 1.5), (2, 2.5);",
                               nullptr, nullptr, nullptr),
                  SQLITE_OK);
        std::filesystem::copy_file(writer, Path(name));
        std::filesystem::copy_file(writer + "-wal", Path(name) + "-wal");
        sqlite3_close(raw);
    }
    // The mode the file's header records (read without opening it, which
    // in WAL mode would itself make side files).
    static std::string ModeOf(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        char header[20] = {};
        in.read(header, sizeof header);
        if (header[18] == 1 && header[19] == 1) return "delete";
        if (header[18] == 2 && header[19] == 2) return "wal";
        return "?";
    }
    static std::vector<std::string> SideFiles(const std::string& path) {
        std::vector<std::string> found;
        for (const char* suffix : {"-journal", "-wal", "-shm"})
            if (std::filesystem::exists(path + suffix)) found.push_back(path + suffix);
        return found;
    }
};

TEST_F(JournalMode, ALookLeavesTheModeAndNoSideFiles) {
    for (const char* mode : {"delete", "wal"}) {
        SCOPED_TRACE(mode);
        const std::string path = MakeFile(std::string(mode) + ".db", mode);
        ASSERT_EQ(ModeOf(path), mode);
        {
            dao::DatabasePtr db = dao::DBEngine().OpenDatabase(path);
            EXPECT_TRUE(db->Updatable());
            EXPECT_EQ(db->TableDefs()->Count(), 1);
            dao::RecordsetPtr rs = db->OpenRecordset("SELECT * FROM [Src] ORDER BY id", dao::dbOpenSnapshot);
            EXPECT_EQ(rs->Fields("x")->Value().ToDouble(), 1.5);
            // In a rollback-journal file a look writes nothing, so nothing
            // beside it even while it is open.
            if (std::string(mode) == "delete") {
                EXPECT_EQ(SideFiles(path), std::vector<std::string>{});
            }
            rs->Close();
            db->Close();
        }
        dao::ReleaseDBEngine();
        EXPECT_EQ(ModeOf(path), mode);
        EXPECT_EQ(SideFiles(path), std::vector<std::string>{});
    }
    // A file this layer makes is an ordinary rollback-journal file.
    dao::DatabasePtr made = NewDb("new.db");
    made->Execute("CREATE TABLE T (a LONG)");
    made->Close();
    EXPECT_EQ(ModeOf(Path("new.db")), "delete");
}

// The files AFolderThatCannotBeWrittenOpensReadOnly makes, looked at in a
// folder that cannot be written: both open read-only, read, refuse writes
// and gain no side files.
void LookAtReadOnlyFolder(const std::string& dir) {
    for (const char* name : {"delete.db", "wal.db"}) {
        SCOPED_TRACE(name);
        const std::string path = dir + "/" + name;
        dao::DatabasePtr db = dao::DBEngine().OpenDatabase(path);
        EXPECT_FALSE(db->Updatable());
        EXPECT_EQ(db->TableDefs()->Count(), 1);
        dao::RecordsetPtr rs = db->OpenRecordset("SELECT Sum(x) AS s FROM [Src]", dao::dbOpenSnapshot);
        EXPECT_EQ(rs->Fields("s")->Value().ToDouble(), 4.0);
        rs->Close();
        EXPECT_EQ(ErrorOf([&] { db->Execute("INSERT INTO [Src] (id, x) VALUES (3, 3)"); }), dao::err::kReadOnly);
        db->Close();
        for (const char* suffix : {"-journal", "-wal", "-shm"}) EXPECT_FALSE(std::filesystem::exists(path + suffix));
    }
    // Changes still in a log that cannot be read here: the open says so,
    // rather than show the file as it was before them.
    const std::string pending = dir + "/pending.db";
    std::string message;
    try {
        dao::DBEngine().OpenDatabase(pending)->Close();
    } catch (const vb::VbError& e) {
        message = e.Description();
    }
    EXPECT_NE(message.find("pending.db-wal'"), std::string::npos) << message;
    EXPECT_FALSE(std::filesystem::exists(pending + "-shm"));
}

// Run by JournalMode.AFolderThatCannotBeWrittenOpensReadOnly inside a mount
// namespace where the folder args[0] is a read-only bind.
TEST_CHILD(ReadOnlyFolderLook) {
    ASSERT_EQ(args.size(), 1u);
    LookAtReadOnlyFolder(args[0]);
}

TEST_F(JournalMode, AFolderThatCannotBeWrittenOpensReadOnly) {
    MakeFile("delete.db", "delete");
    MakeFile("wal.db", "wal");
    MakePendingWalFile("pending.db");
    const std::string dir = dir_.string();
    if (::geteuid() != 0) {
        ::chmod(dir.c_str(), 0555);
        LookAtReadOnlyFolder(dir);
        ::chmod(dir.c_str(), 0755);
        return;
    }
    // Permissions do not bind root: look from a user and mount namespace in
    // which the folder is bound read-only.
    auto run = [](std::vector<std::string> command) {
        return testchild::Process(std::move(command)).Finish(std::chrono::minutes(1));
    };
    if (run({"unshare", "-rm", "sh", "-c", "mount --bind -o ro \"$0\" \"$0\"", dir}) != 0)
        GTEST_SKIP() << "no user and mount namespace here to make a read-only folder for root";
    std::vector<std::string> look = {"unshare", "-rm", "sh", "-c", "mount --bind -o ro \"$0\" \"$0\" && exec \"$@\"",
                                     dir};
    for (const std::string& word : testchild::ChildCommand("ReadOnlyFolderLook", {dir})) look.push_back(word);
    const int status = run(look);
    EXPECT_EQ(status, 0);
}

}  // namespace
