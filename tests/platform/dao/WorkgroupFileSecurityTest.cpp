// The workgroup file holds password hashes: it is its owner's alone, and the
// administrators' tool never takes a password on its command line.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/types.h>

#include <chrono>
#include <filesystem>
#include <fstream>

#include "DaoTestSupport.h"
#include "TestChild.h"

namespace {

using namespace daotest;

class WorkgroupFileSecurity : public DaoTest {
protected:
    // Runs the tool beside the test programs with `input` on its standard
    // input. One still running after a minute is killed and fails the test.
    int RunTool(const std::string& arguments, const std::string& input) {
        const std::string tool = dao::ProgramFolder() + "/merivox-workgroup";
        if (!std::filesystem::exists(tool)) return -1;
        const std::string in = Path("tool-input.txt");
        std::ofstream(in, std::ios::binary) << input;
        testchild::Process run({"/bin/sh", "-c", "exec '" + tool + "' " + arguments + " <'" + in + "' 2>/dev/null"});
        EXPECT_TRUE(run.WaitUpTo(std::chrono::minutes(1)))
            << "merivox-workgroup " << arguments << " still running after a minute: killed";
        return run.Finish(std::chrono::milliseconds(0));
    }
};

TEST_F(WorkgroupFileSecurity, IsCreatedOwnerOnlyWhateverTheUmask) {
    const mode_t old = ::umask(022);
    const std::string path = Path("group.mdw");
    dao::CreateWorkgroupFile(path);
    ::umask(old);
    struct stat st {};
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    EXPECT_TRUE(dao::CheckAccount(path, "Admin", ""));
}

TEST_F(WorkgroupFileSecurity, ToolReadsThePasswordFromStandardInput) {
    const std::string path = Path("group.mdw");
    ASSERT_EQ(RunTool("create '" + path + "'", ""), 0);
    ASSERT_EQ(RunTool("account '" + path + "' Maria", "s3cret pass\n"), 0);
    EXPECT_TRUE(dao::CheckAccount(path, "Maria", "s3cret pass"));
    EXPECT_FALSE(dao::CheckAccount(path, "Maria", "s3cret"));
    // A password on the command line is not accepted any more.
    EXPECT_EQ(RunTool("account '" + path + "' Maria visible", ""), 2);
    EXPECT_TRUE(dao::CheckAccount(path, "Maria", "s3cret pass"));

    dao::DatabasePtr db = NewDb();
    db->Close();
    ASSERT_EQ(RunTool("dbpassword '" + Path("t.db") + "'", "dbpw\n"), 0);
    EXPECT_EQ(ErrorOf([&] { dao::DBEngine().OpenDatabase(Path("t.db"), false, false, ";pwd=dbpw"); }), 0);
}

}  // namespace

// Replacing is for files only: a folder under the name, empty or not, stays
// and the tool says why; a file is replaced.
TEST_F(WorkgroupFileSecurity, ReplaceLeavesAFolderAlone) {
    const std::string full = Path("full");
    std::filesystem::create_directories(full + "/inside");
    const std::string empty = Path("empty");
    std::filesystem::create_directories(empty);
    EXPECT_EQ(RunTool("create --replace '" + full + "'", ""), 1);
    EXPECT_TRUE(std::filesystem::is_directory(full + "/inside"));
    EXPECT_EQ(RunTool("create --replace '" + empty + "'", ""), 1);
    EXPECT_TRUE(std::filesystem::is_directory(empty));
    const std::string file = Path("group.mdw");
    ASSERT_EQ(RunTool("create '" + file + "'", ""), 0);
    ASSERT_EQ(RunTool("account '" + file + "' Maria", "pw\n"), 0);
    ASSERT_EQ(RunTool("create --replace '" + file + "'", ""), 0);
    EXPECT_FALSE(dao::CheckAccount(file, "Maria", "pw"));
}

// An account another tool left without a hash is a damaged file, said so
// when the account logs on, not a crash.
TEST_F(WorkgroupFileSecurity, AnAccountWithoutAHashIsReported) {
    const std::string path = Path("other.mdw");
    {
        dao::DatabasePtr db = dao::DBEngine().Workspaces(0)->CreateDatabase(path);
        db->Execute("CREATE TABLE accounts (name TEXT, hash TEXT)");
        db->Execute("INSERT INTO accounts (name, hash) VALUES ('Admin', Null)");
        db->Close();
    }
    EXPECT_EQ(ErrorOf([&] { dao::CheckAccount(path, "Admin", ""); }), dao::err::kBadAccount);
    EXPECT_FALSE(dao::CheckAccount(path, "Nobody", ""));
}
