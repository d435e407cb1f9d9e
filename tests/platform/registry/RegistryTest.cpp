#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "TestChild.h"
#include "registry/Registry.h"

namespace fs = std::filesystem;
using namespace std::string_literals;

namespace {

const char* kKey = "SOFTWARE\\Zelk\\Quantara\\6.0\\Settings";

struct RegistryTest : ::testing::Test {
    fs::path home;

    void SetUp() override {
        char pattern[] = "/tmp/regtestXXXXXX";
        home = ::mkdtemp(pattern);
        ::setenv("XDG_CONFIG_HOME", home.c_str(), 1);
    }
    void TearDown() override {
        ::unsetenv("XDG_CONFIG_HOME");
        fs::remove_all(home);
    }
    std::string FileText(int32_t root) {
        std::ifstream in(reg::RootFile(root), std::ios::binary);
        std::ostringstream out;
        out << in.rdbuf();
        return out.str();
    }
    void WriteFile(int32_t root, const std::string& text) {
        fs::create_directories(reg::RootFile(root).parent_path());
        std::ofstream(reg::RootFile(root), std::ios::binary) << text;
    }
};

}  // namespace

TEST_F(RegistryTest, FilesLiveUnderTheConfigFolderAndFollowTheVariable) {
    EXPECT_EQ(reg::RootFile(reg::HKEY_LOCAL_MACHINE), home / "Zelk" / "HKEY_LOCAL_MACHINE.reg");
    EXPECT_EQ(reg::RootFile(reg::HKEY_CURRENT_USER), home / "Zelk" / "HKEY_CURRENT_USER.reg");
    EXPECT_TRUE(reg::RootFile(reg::HKEY_CLASSES_ROOT).empty());

    ASSERT_TRUE(reg::SetValue(reg::HKEY_LOCAL_MACHINE, kKey, "MRU1", reg::REG_SZ, "a\0"s));
    fs::path other = home / "other";
    fs::create_directories(other);
    ::setenv("XDG_CONFIG_HOME", other.c_str(), 1);
    EXPECT_FALSE(reg::QueryValue(reg::HKEY_LOCAL_MACHINE, kKey, "MRU1"));
    ::setenv("XDG_CONFIG_HOME", home.c_str(), 1);
    EXPECT_TRUE(reg::QueryValue(reg::HKEY_LOCAL_MACHINE, kKey, "MRU1"));

    // Without the variable (or with a relative one) the folder is ~/.config/Zelk.
    const char* oldHome = std::getenv("HOME");
    std::string savedHome = oldHome ? oldHome : "";
    ::setenv("XDG_CONFIG_HOME", "relative", 1);
    ::setenv("HOME", "/home/someone", 1);
    EXPECT_EQ(reg::StoreFolder(), fs::path("/home/someone/.config/Zelk"));
    if (oldHome)
        ::setenv("HOME", savedHome.c_str(), 1);
    else
        ::unsetenv("HOME");
}

TEST_F(RegistryTest, ValuesOfEveryTypeComeBackByteForByte) {
    const int32_t lm = reg::HKEY_LOCAL_MACHINE;
    ASSERT_TRUE(reg::SetValue(lm, kKey, "Path", reg::REG_SZ, "C:\\data\\\"q\".mdb\0"s));
    ASSERT_TRUE(reg::SetValue(lm, kKey, "NoNul", reg::REG_SZ, "abc"s));
    ASSERT_TRUE(reg::SetValue(lm, kKey, "Lines", reg::REG_SZ, "one\r\ntwo\0"s));
    ASSERT_TRUE(reg::SetValue(lm, kKey, "Empty", reg::REG_SZ, "\0"s));
    ASSERT_TRUE(reg::SetValue(lm, kKey, "Count", reg::REG_DWORD, reg::DwordBytes(0xFFFFFFFBu)));
    ASSERT_TRUE(reg::SetValue(lm, kKey, "Blob", reg::REG_BINARY, "\x01\xff\0"s));
    ASSERT_TRUE(reg::SetValue(lm, kKey, "", reg::REG_SZ, "default\0"s));

    auto v = reg::QueryValue(lm, kKey, "Path");
    ASSERT_TRUE(v);
    EXPECT_EQ(v->type, reg::REG_SZ);
    EXPECT_EQ(v->data, "C:\\data\\\"q\".mdb\0"s);
    EXPECT_EQ(reg::QueryValue(lm, kKey, "NoNul")->data, "abc");
    EXPECT_EQ(reg::QueryValue(lm, kKey, "Lines")->data, "one\r\ntwo\0"s);
    EXPECT_EQ(reg::QueryValue(lm, kKey, "Empty")->data, "\0"s);
    auto count = reg::QueryValue(lm, kKey, "Count");
    EXPECT_EQ(count->type, reg::REG_DWORD);
    EXPECT_EQ(reg::DwordValue(count->data), 0xFFFFFFFBu);
    auto blob = reg::QueryValue(lm, kKey, "Blob");
    EXPECT_EQ(blob->type, reg::REG_BINARY);
    EXPECT_EQ(blob->data, "\x01\xff\0"s);
    EXPECT_EQ(reg::QueryValue(lm, kKey, "")->data, "default\0"s);

    // The file reads like a registry export.
    std::string text = FileText(lm);
    EXPECT_EQ(text.rfind("REGEDIT4\r\n", 0), 0u);
    EXPECT_NE(text.find("[HKEY_LOCAL_MACHINE\\SOFTWARE\\Zelk\\Quantara\\6.0\\Settings]\r\n"), std::string::npos);
    EXPECT_NE(text.find("\"Path\"=\"C:\\\\data\\\\\\\"q\\\".mdb\"\r\n"), std::string::npos);
    EXPECT_NE(text.find("\"Count\"=dword:fffffffb\r\n"), std::string::npos);
    EXPECT_NE(text.find("\"Blob\"=hex:01,ff,00\r\n"), std::string::npos);
    EXPECT_NE(text.find("\"NoNul\"=hex(1):61,62,63\r\n"), std::string::npos);
    EXPECT_NE(text.find("@=\"default\"\r\n"), std::string::npos);
}

TEST_F(RegistryTest, NamesIgnoreCaseAndKeysKeepTheirSpelling) {
    const int32_t cu = reg::HKEY_CURRENT_USER;
    ASSERT_TRUE(reg::SetValue(cu, "Software\\A\\\\B", "Name", reg::REG_SZ, "1\0"s));
    ASSERT_TRUE(reg::SetValue(cu, "SOFTWARE\\a\\\\b", "NAME", reg::REG_SZ, "2\0"s));
    EXPECT_EQ(reg::QueryValue(cu, "software\\A\\\\B", "name")->data, "2\0"s);
    // The doubled backslash is part of the key: one level fewer is another key.
    EXPECT_FALSE(reg::QueryValue(cu, "Software\\A\\B", "Name"));
    EXPECT_TRUE(reg::KeyExists(cu, "Software\\A\\\\B"));
    EXPECT_FALSE(reg::KeyExists(cu, "Software\\A"));
    std::string text = FileText(cu);
    EXPECT_NE(text.find("[HKEY_CURRENT_USER\\Software\\A\\\\B]"), std::string::npos);
    EXPECT_EQ(text.find("\"Name\"="), text.rfind("\"Name\"="));  // replaced, not added
    // Roots are kept apart.
    EXPECT_FALSE(reg::QueryValue(reg::HKEY_LOCAL_MACHINE, "Software\\A\\\\B", "Name"));
}

TEST_F(RegistryTest, UnusableRootsKeysAndMissingFilesFailQuietly) {
    EXPECT_FALSE(reg::QueryValue(reg::HKEY_LOCAL_MACHINE, kKey, "MRU1"));
    EXPECT_FALSE(reg::KeyExists(reg::HKEY_LOCAL_MACHINE, kKey));
    EXPECT_FALSE(reg::SetValue(reg::HKEY_CLASSES_ROOT, kKey, "x", reg::REG_SZ, "1\0"s));
    EXPECT_FALSE(reg::SetValue(reg::HKEY_LOCAL_MACHINE, "bad]key", "x", reg::REG_SZ, "1\0"s));
    EXPECT_FALSE(reg::SetValue(reg::HKEY_LOCAL_MACHINE, "bad\nkey", "x", reg::REG_SZ, "1\0"s));
    EXPECT_FALSE(reg::SetValue(reg::HKEY_LOCAL_MACHINE, kKey, "two\nlines", reg::REG_SZ, "1\0"s));
    EXPECT_TRUE(reg::CreateKey(reg::HKEY_LOCAL_MACHINE, kKey));
    EXPECT_TRUE(reg::KeyExists(reg::HKEY_LOCAL_MACHINE, kKey));
    EXPECT_FALSE(reg::QueryValue(reg::HKEY_LOCAL_MACHINE, kKey, "MRU1"));
}

TEST_F(RegistryTest, ReadsAHandWrittenExport) {
    WriteFile(reg::HKEY_LOCAL_MACHINE, "REGEDIT4\n"
                                       "; a comment\n"
                                       "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion]\n"
                                       "\"CommonFilesDir\"=\"C:\\\\Program Files\\\\Common Files\"\n"
                                       "\"Long\"=hex:01,02,\\\n"
                                       "  03,04\n"
                                       "\"Raw\"=hex(1):41,00\n"
                                       "\"Broken\"=dword:xyz\n"
                                       "[HKEY_CURRENT_USER\\Elsewhere]\n"
                                       "\"Other\"=\"no\"\n");
    const char* key = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion";
    EXPECT_EQ(reg::QueryValue(reg::HKEY_LOCAL_MACHINE, key, "CommonFilesDir")->data,
              "C:\\Program Files\\Common Files\0"s);
    EXPECT_EQ(reg::QueryValue(reg::HKEY_LOCAL_MACHINE, key, "Long")->data, "\x01\x02\x03\x04"s);
    EXPECT_EQ(reg::QueryValue(reg::HKEY_LOCAL_MACHINE, key, "Raw")->data, "A\0"s);
    EXPECT_FALSE(reg::QueryValue(reg::HKEY_LOCAL_MACHINE, key, "Broken"));
    EXPECT_FALSE(reg::KeyExists(reg::HKEY_LOCAL_MACHINE, "Elsewhere"));
}

TEST_F(RegistryTest, FilesAreOwnerOnlyAndNoTemporaryFileStays) {
    ASSERT_TRUE(reg::SetValue(reg::HKEY_LOCAL_MACHINE, kKey, "Password", reg::REG_SZ, "secret\0"s));
    ASSERT_TRUE(reg::SetValue(reg::HKEY_LOCAL_MACHINE, kKey, "Password", reg::REG_SZ, "other\0"s));
    struct stat st {};
    ASSERT_EQ(::stat(reg::RootFile(reg::HKEY_LOCAL_MACHINE).c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    ASSERT_EQ(::stat((home / "Zelk").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0077, 0u);
    for (const auto& entry : fs::directory_iterator(home / "Zelk")) {
        std::string name = entry.path().filename().string();
        EXPECT_TRUE(name == "HKEY_LOCAL_MACHINE.reg" || name == "HKEY_LOCAL_MACHINE.reg.lock") << name;
    }
}

TEST_F(RegistryTest, TwoProcessesWritingTheSameKeyLoseNothing) {
    const int kWrites = 60;
    auto writeAll = [&](const std::string& who) {
        bool ok = true;
        for (int i = 0; i < kWrites; ++i) {
            std::string value = who + std::to_string(i) + '\0';
            ok = reg::SetValue(reg::HKEY_LOCAL_MACHINE, kKey, who + std::to_string(i), reg::REG_SZ, value) && ok;
        }
        return ok;
    };
    pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) ::_exit(writeAll("child") ? 0 : 1);
    bool parentOk = writeAll("parent");
    EXPECT_EQ(testchild::WaitForChild(child, std::chrono::minutes(1)), 0);
    EXPECT_TRUE(parentOk);
    for (const char* who : {"child", "parent"}) {
        for (int i = 0; i < kWrites; ++i) {
            std::string name = who + std::to_string(i);
            auto v = reg::QueryValue(reg::HKEY_LOCAL_MACHINE, kKey, name);
            ASSERT_TRUE(v) << name;
            EXPECT_EQ(v->data, name + '\0');
        }
    }
}
