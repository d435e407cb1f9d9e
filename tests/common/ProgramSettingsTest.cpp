#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "ProgramSettings.h"
#include "StatCommon.h"
#include "TestChild.h"
#include "registry/Registry.h"
#include "ui/RecordingUi.h"

namespace fs = std::filesystem;
using namespace std::string_literals;

namespace {

struct ProgramSettingsTest : ::testing::Test {
    ui::RecordingUi recorder;
    ui::ScopedUi scope{recorder};
    fs::path home;

    void SetUp() override {
        char pattern[] = "/tmp/settingstestXXXXXX";
        home = ::mkdtemp(pattern);
        ::setenv("XDG_CONFIG_HOME", home.c_str(), 1);
    }
    void TearDown() override {
        ::unsetenv("XDG_CONFIG_HOME");
        fs::remove_all(home);
        EXPECT_TRUE(recorder.boxes.empty());  // the store's failures are silent
    }
};

}  // namespace

TEST_F(ProgramSettingsTest, TheProgramsKeyAndItsDefaults) {
    CProgramSettings settings;
    EXPECT_EQ(settings.RootKey(), reg::HKEY_LOCAL_MACHINE);
    EXPECT_EQ(settings.MainBranch(), "SOFTWARE");
    EXPECT_EQ(settings.Section(), "Settings");
    settings.RegBase("Zelk");
    settings.Program(GetProductRegKey());
    EXPECT_EQ(settings.ReadEntry("OutputTablePrefix", "Brux_"), "Brux_");
    settings.WriteEntry("MRU1", "/home/ann/sales.db");
    auto v = reg::QueryValue(reg::HKEY_LOCAL_MACHINE, "SOFTWARE\\Zelk\\Quantara\\6.0\\Settings", "MRU1");
    ASSERT_TRUE(v);
    EXPECT_EQ(v->type, reg::REG_SZ);
    EXPECT_EQ(v->data, "/home/ann/sales.db\0"s);
    EXPECT_EQ(settings.ReadEntry("MRU1", "x"), "/home/ann/sales.db");

    // Another object on the same key sees it; another section does not.
    CProgramSettings positions;
    positions.RegBase("Zelk");
    positions.Program(GetProductRegKey());
    EXPECT_EQ(positions.ReadEntry("MRU1", ""), "/home/ann/sales.db");
    positions.Section("Form Position");
    EXPECT_EQ(positions.ReadEntry("MRU1", "none"), "none");
}

TEST_F(ProgramSettingsTest, EmptyKeyPartsComposeAsTheyStand) {
    CProgramSettings settings;
    settings.Program("P");
    settings.WriteEntry("A", "1");
    EXPECT_TRUE(reg::QueryValue(reg::HKEY_LOCAL_MACHINE, "SOFTWARE\\\\P\\Settings", "A"));

    settings.Section("");
    settings.WriteEntry("B", "2");
    EXPECT_TRUE(reg::QueryValue(reg::HKEY_LOCAL_MACHINE, "SOFTWARE\\\\P", "B"));
    EXPECT_FALSE(reg::KeyExists(reg::HKEY_LOCAL_MACHINE, "SOFTWARE\\\\P\\"));

    // Only one trailing backslash is removed.
    CProgramSettings bare;
    bare.MainBranch("");
    bare.Section("");
    bare.WriteEntry("C", "3");
    EXPECT_TRUE(reg::QueryValue(reg::HKEY_LOCAL_MACHINE, "\\\\", "C"));

    CProgramSettings user;
    user.RootKey(reg::HKEY_CURRENT_USER);
    user.RegBase("Zelk");
    user.WriteEntry("D", "4");
    EXPECT_TRUE(reg::QueryValue(reg::HKEY_CURRENT_USER, "SOFTWARE\\Zelk\\\\Settings", "D"));
    EXPECT_FALSE(reg::QueryValue(reg::HKEY_LOCAL_MACHINE, "SOFTWARE\\Zelk\\\\Settings", "D"));
}

TEST_F(ProgramSettingsTest, ReadingValuesOfEachKind) {
    const char* key = "SOFTWARE\\Zelk\\Q\\Settings";
    const int32_t lm = reg::HKEY_LOCAL_MACHINE;
    CProgramSettings settings;
    settings.RegBase("Zelk");
    settings.Program("Q");

    reg::SetValue(lm, key, "Five", reg::REG_DWORD, reg::DwordBytes(5));
    reg::SetValue(lm, key, "Minus", reg::REG_DWORD, reg::DwordBytes(0xFFFFFFFFu));
    reg::SetValue(lm, key, "Zero", reg::REG_DWORD, reg::DwordBytes(0));
    reg::SetValue(lm, key, "Empty", reg::REG_SZ, "\0"s);
    reg::SetValue(lm, key, "NoNul", reg::REG_SZ, "abc"s);
    reg::SetValue(lm, key, "TwoNuls", reg::REG_SZ, "ab\0\0"s);
    reg::SetValue(lm, key, "Binary", reg::REG_BINARY, "abc"s);
    reg::SetValue(lm, key, "Short", reg::REG_DWORD, "ab"s);
    settings.WriteEntry("Written", "");

    EXPECT_EQ(settings.ReadEntry("Five", "d"), "5");
    EXPECT_EQ(settings.ReadEntry("Minus", "d"), "-1");
    EXPECT_EQ(settings.ReadEntry("Zero", "d"), "0");
    EXPECT_EQ(settings.ReadEntry("Empty", "d"), "d");
    EXPECT_EQ(settings.ReadEntry("Written", "d"), "d");
    EXPECT_EQ(settings.ReadEntry("NoNul", "d"), "abc");
    EXPECT_EQ(settings.ReadEntry("TwoNuls", "d"), "ab\0"s);  // only the last NUL goes
    EXPECT_EQ(settings.ReadEntry("Binary", "d"), "d");
    EXPECT_EQ(settings.ReadEntry("Short", "d"), "d");
    EXPECT_EQ(settings.ReadEntry("Missing", "d"), "d");
    settings.Program("Elsewhere");
    EXPECT_EQ(settings.ReadEntry("Five", "d"), "d");

    // A root that is not kept: nothing written, the default read, no message.
    settings.RootKey(0);
    settings.WriteEntry("Five", "6");
    EXPECT_EQ(settings.ReadEntry("Five", "d"), "d");
}

TEST_F(ProgramSettingsTest, TwoProgramsWritingTheSameSectionLoseNothing) {
    const int kWrites = 40;
    auto writeAll = [&](const std::string& who) {
        CProgramSettings settings;
        settings.RegBase("Zelk");
        settings.Program(GetProductRegKey());
        for (int i = 0; i < kWrites; ++i)
            settings.WriteEntry(who + std::to_string(i), who + " value " + std::to_string(i));
    };
    pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        writeAll("child");
        ::_exit(0);
    }
    writeAll("parent");
    ASSERT_EQ(testchild::WaitForChild(child, std::chrono::minutes(1)), 0);
    CProgramSettings settings;
    settings.RegBase("Zelk");
    settings.Program(GetProductRegKey());
    for (const char* who : {"child", "parent"})
        for (int i = 0; i < kWrites; ++i)
            EXPECT_EQ(settings.ReadEntry(who + std::to_string(i), "lost"),
                      who + std::string(" value ") + std::to_string(i));
}
