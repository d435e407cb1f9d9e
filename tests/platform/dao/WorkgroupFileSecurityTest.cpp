// The workgroup file holds password hashes: it is its owner's alone, and the
// administrators' tool never takes a password on its command line.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/types.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "DaoTestSupport.h"

namespace {

using namespace daotest;

class WorkgroupFileSecurity : public DaoTest {
protected:
    // Runs the tool beside the test programs with `input` on its standard input.
    int RunTool(const std::string& arguments, const std::string& input) {
        const std::string tool = dao::ProgramFolder() + "/merivox-workgroup";
        if (!std::filesystem::exists(tool)) return -1;
        const std::string command = "'" + tool + "' " + arguments + " 2>/dev/null";
        FILE* pipe = ::popen(command.c_str(), "w");
        if (!pipe) return -1;
        std::fputs(input.c_str(), pipe);
        const int status = ::pclose(pipe);
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
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
