#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <algorithm>
#include <fstream>
#include <string>

#include "StatCommon.h"
#include "os/SystemInfo.h"
#include "ui/RecordingUi.h"
#include "vb/App.h"

namespace fs = std::filesystem;

namespace {

struct Parts {
    std::string drive = "<d>", directory = "<p>", fileName = "<f>", extension = "<e>";
};

Parts Split(const std::string& path) {
    Parts p;
    EXPECT_TRUE(ParsePath(path, p.drive, p.directory, p.fileName, p.extension));
    return p;
}

}  // namespace

TEST(ParsePathTest, DriveFolderAndShortName) {
    Parts p = Split("C:\\ERRORS");
    EXPECT_EQ(p.drive, "C:");
    EXPECT_EQ(p.directory, "\\");
    EXPECT_EQ(p.fileName, "ERRORS");
    EXPECT_EQ(p.extension, "<e>");  // untouched

    p = Split("C:\\WINDOWS\\SYSTEM\\glu32.dll");
    EXPECT_EQ(p.drive, "C:");
    EXPECT_EQ(p.directory, "\\WINDOWS\\SYSTEM\\");
    EXPECT_EQ(p.fileName, "glu32");
    EXPECT_EQ(p.extension, ".dll");
}

TEST(ParsePathTest, BareNamesAndNamesWithSeveralPoints) {
    Parts p = Split("readme.txt");
    EXPECT_EQ(p.drive, "<d>");
    EXPECT_EQ(p.directory, "<p>");
    EXPECT_EQ(p.fileName, "readme");
    EXPECT_EQ(p.extension, ".txt");

    // Every point cuts: the middle part ends as the extension.
    p = Split("a.b.c");
    EXPECT_EQ(p.fileName, "a");
    EXPECT_EQ(p.extension, ".b");

    // An extension longer than three characters is cut off but not kept.
    p = Split("\\dir\\name.html");
    EXPECT_EQ(p.fileName, "name");
    EXPECT_EQ(p.directory, "\\dir\\");
    EXPECT_EQ(p.extension, "<e>");
}

TEST(ParsePathTest, LongLastElementsAndTrailingSeparators) {
    // Nine characters are too many for a file name, and no shorter element stands further left.
    Parts p = Split("C:\\data\\longnames");
    EXPECT_EQ(p.drive, "C:");
    EXPECT_EQ(p.fileName, "\\data\\longnames");
    EXPECT_EQ(p.directory, "<p>");

    // A point cuts the long element off (its 12 characters are no extension),
    // so the shorter element to its left is the name.
    p = Split("D:\\work\\v1.0\\longername");
    EXPECT_EQ(p.drive, "D:");
    EXPECT_EQ(p.directory, "\\work\\");
    EXPECT_EQ(p.fileName, "v1");
    EXPECT_EQ(p.extension, "<e>");

    // A trailing separator is no name: the scan goes on to the one before it.
    p = Split("C:\\dir\\");
    EXPECT_EQ(p.fileName, "dir\\");
    EXPECT_EQ(p.directory, "\\");

    // Linux folders split the same way.
    p = Split("/home/ann/sales.db");
    EXPECT_EQ(p.drive, "<d>");
    EXPECT_EQ(p.directory, "/home/ann/");
    EXPECT_EQ(p.fileName, "sales");
    EXPECT_EQ(p.extension, ".db");
}

TEST(StatCommonTest, AppPathEndsInExactlyOneSeparator) {
    vb::AppInfo saved = vb::App();
    vb::App().path = "/opt/merivox";
    EXPECT_EQ(GetAppPath().String(), "/opt/merivox/");
    vb::App().path = "/";
    EXPECT_EQ(GetAppPath().String(), "/");
    vb::App() = saved;
    EXPECT_EQ(GetProductRegKey(), "Quantara\\6.0");
}

TEST(StatCommonTest, FreeSpaceAndFileVersions) {
    EXPECT_GT(GetDriveFreeSpace("/"), 0.0);
    EXPECT_EQ(GetDriveFreeSpace("/no/such/folder"), 0.0);

    char pattern[] = "/tmp/versiontestXXXXXX";
    fs::path dir = ::mkdtemp(pattern);
    std::ofstream(dir / "plain.txt") << "text";
    EXPECT_EQ(GetFileVersion((dir / "plain.txt").string()), "");
    EXPECT_EQ(GetFileVersion((dir / "none.dll").string()), "");
    std::ofstream(dir / "libx.so.3.2", std::ios::binary) << "\x7f"
                                                            "ELF";
    EXPECT_EQ(GetFileVersion((dir / "libx.so.3.2").string()), "3.2.0.0");
    std::ofstream(dir / "liby.so.1.2.3.4.5", std::ios::binary) << "\x7f"
                                                                  "ELF";
    EXPECT_EQ(GetFileVersion((dir / "liby.so.1.2.3.4.5").string()), "1.2.3.4");
    fs::remove_all(dir);

    std::string sqlite = os::LoadedLibraryPath("libsqlite3.so");
    ASSERT_FALSE(sqlite.empty());
    std::string v = GetFileVersion(sqlite);
    EXPECT_EQ(v.rfind("3.", 0), 0u);
    EXPECT_EQ(std::count(v.begin(), v.end(), '.'), 3);
}
