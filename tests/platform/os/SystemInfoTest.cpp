#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/sysinfo.h>
#include <sys/utsname.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>

#include "os/SystemInfo.h"

namespace fs = std::filesystem;

namespace {

struct TempDir {
    fs::path path;
    TempDir() {
        char pattern[] = "/tmp/ostestXXXXXX";
        path = ::mkdtemp(pattern);
    }
    ~TempDir() { fs::remove_all(path); }
};

}  // namespace

TEST(SystemInfoTest, TempFilesAreNewUniqueAndOwnerOnly) {
    TempDir dir;
    ::setenv("TMPDIR", (dir.path.string() + "//").c_str(), 1);
    EXPECT_EQ(os::TempFolder(), dir.path.string() + "/");
    std::set<std::string> names;
    for (int i = 0; i < 20; ++i) {
        std::string name = os::MakeTempFile("kzpLong");
        ASSERT_FALSE(name.empty());
        EXPECT_TRUE(names.insert(name).second) << name;
        fs::path p(name);
        EXPECT_EQ(p.parent_path(), dir.path);
        EXPECT_EQ(p.filename().string().rfind("kzp", 0), 0u);
        EXPECT_EQ(p.extension(), ".tmp");
        struct stat st {};
        ASSERT_EQ(::stat(name.c_str(), &st), 0);
        EXPECT_EQ(st.st_size, 0);
        EXPECT_EQ(st.st_mode & 0777, 0600u);
    }
    // A folder that is not there falls back to /tmp; creation failures give "".
    ::setenv("TMPDIR", "/no/such/folder", 1);
    EXPECT_EQ(os::TempFolder(), "/tmp/");
    ::unsetenv("TMPDIR");
    fs::permissions(dir.path, fs::perms::owner_read | fs::perms::owner_exec);
    ::setenv("TMPDIR", dir.path.c_str(), 1);
    const std::string made = os::MakeTempFile("x");
    if (::geteuid() != 0) {
        EXPECT_EQ(made, "");
    } else {  // permissions do not stop root: the file is still made where asked
        EXPECT_EQ(fs::path(made).parent_path(), dir.path);
    }
    ::unsetenv("TMPDIR");
    fs::permissions(dir.path, fs::perms::owner_all);
}

TEST(SystemInfoTest, DiskAndMemoryFiguresAgreeWithTheKernel) {
    EXPECT_GT(os::FreeDiskBytes("/"), 0.0);
    EXPECT_EQ(os::FreeDiskBytes("/no/such/folder"), -1.0);
    EXPECT_EQ(os::FreeDiskBytes(""), -1.0);

    os::MemoryInfo m = os::Memory();
    struct sysinfo si {};
    ASSERT_EQ(::sysinfo(&si), 0);
    EXPECT_EQ(m.totalPhysical, static_cast<int64_t>(si.totalram) * si.mem_unit);
    EXPECT_EQ(m.totalSwap, static_cast<int64_t>(si.totalswap) * si.mem_unit);
    EXPECT_GT(m.availablePhysical, 0);
    EXPECT_LE(m.availablePhysical, m.totalPhysical);
    EXPECT_LE(m.freeSwap, m.totalSwap);
    EXPECT_GE(m.memoryLoad, 0);
    EXPECT_LE(m.memoryLoad, 100);
    EXPECT_GT(m.totalVirtual, m.availableVirtual);
    EXPECT_GT(m.availableVirtual, 0);
}

TEST(SystemInfoTest, KernelNamesAndFolders) {
    utsname u{};
    ASSERT_EQ(::uname(&u), 0);
    os::KernelInfo k = os::Kernel();
    EXPECT_EQ(k.name, "Linux");
    EXPECT_EQ(k.release, u.release);
    // The release starts with "major.minor".
    std::string prefix = std::to_string(k.major) + "." + std::to_string(k.minor);
    EXPECT_EQ(k.release.rfind(prefix, 0), 0u) << k.release;
    EXPECT_GT(k.major, 0);

    EXPECT_FALSE(os::UserName().empty());
    EXPECT_FALSE(os::ComputerName().empty());
    EXPECT_EQ(os::SystemRoot(), "/");
    std::string libs = os::SystemLibraryFolder();
    ASSERT_FALSE(libs.empty());
    EXPECT_TRUE(fs::is_directory(libs));
}

TEST(SystemInfoTest, VersionsOfLoadedLibrariesAndOtherFiles) {
    // This library links SQLite: it is loaded, and answers with its own version.
    std::string sqlite = os::LoadedLibraryPath("libsqlite3.so");
    ASSERT_FALSE(sqlite.empty());
    EXPECT_EQ(os::FileVersion(sqlite).rfind("3.", 0), 0u);
    EXPECT_EQ(os::LoadedLibraryPath("libsqlite"), "");  // a stem is a whole name part
    EXPECT_EQ(os::LoadedLibraryPath("libNotLoadedHere.so"), "");
    EXPECT_FALSE(os::LoadedLibraryPath("libMerivoxPlatform.so").empty());

    TempDir dir;
    fs::path fake = dir.path / "libfake.so.1.20.3";
    std::ofstream(fake, std::ios::binary) << "\x7f"
                                             "ELF rest";
    fs::create_symlink(fake, dir.path / "libfake.so.1");
    EXPECT_EQ(os::FileVersion((dir.path / "libfake.so.1").string()), "1.20.3");
    fs::path text = dir.path / "notes.so.2";
    std::ofstream(text) << "not an object";
    EXPECT_EQ(os::FileVersion(text.string()), "");
    fs::path unversioned = dir.path / "libplain.so";
    std::ofstream(unversioned, std::ios::binary) << "\x7f"
                                                    "ELF";
    EXPECT_EQ(os::FileVersion(unversioned.string()), "");
    EXPECT_EQ(os::FileVersion((dir.path / "missing.so.1").string()), "");
    EXPECT_EQ(os::FileVersion(dir.path.string()), "");
}
