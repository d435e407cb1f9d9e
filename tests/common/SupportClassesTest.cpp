#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <stdexcept>

#include "Hourglass.h"
#include "MemoryStatus.h"
#include "OSInfo.h"
#include "os/SystemInfo.h"
#include "ui/RecordingUi.h"
#include "vb/VbError.h"

namespace {

struct PointerTest : ::testing::Test {
    ui::RecordingUi recorder;
    ui::ScopedUi scope{recorder};
};

// Services whose mouse pointer cannot be set.
struct BrokenPointerUi : ui::RecordingUi {
    void SetMousePointer(int) override { throw vb::VbError(5, "Invalid procedure call or argument"); }
};

void LeaveEarly(bool early) {
    CHourglass wait;
    wait.Value(true);
    if (early) return;
    wait.Value(true);
}

void LeaveByError() {
    CHourglass wait;
    wait.Value(true);
    throw std::runtime_error("failed");
}

}  // namespace

TEST_F(PointerTest, TheGuardRestoresTheDefaultOnEveryWayOut) {
    {
        CHourglass wait;
        EXPECT_FALSE(wait.Value());
        wait.Value(true);
        EXPECT_TRUE(wait.Value());
        EXPECT_EQ(recorder.pointer, ui::vbHourglass);
        wait.Value(true);
        wait.Value(false);
        EXPECT_FALSE(wait.Value());
        EXPECT_EQ(recorder.pointer, ui::vbDefault);
    }
    EXPECT_EQ(recorder.pointerHistory, (std::vector<int>{11, 11, 0, 0}));

    recorder.pointerHistory.clear();
    LeaveEarly(true);
    EXPECT_EQ(recorder.pointerHistory, (std::vector<int>{11, 0}));
    recorder.pointerHistory.clear();
    EXPECT_THROW(LeaveByError(), std::runtime_error);
    EXPECT_EQ(recorder.pointerHistory, (std::vector<int>{11, 0}));

    // A guard never set still restores the default when released.
    recorder.SetMousePointer(ui::vbArrow);
    { CHourglass unused; }
    EXPECT_EQ(recorder.pointer, ui::vbDefault);

    // Guards do not nest: the first released restores the default.
    auto outer = std::make_unique<CHourglass>();
    outer->Value(true);
    {
        CHourglass inner;
        inner.Value(true);
    }
    EXPECT_EQ(recorder.pointer, ui::vbDefault);
    EXPECT_TRUE(outer->Value());
    EXPECT_TRUE(recorder.boxes.empty());
}

TEST(PointerErrors, AFailureIsShownUnderTheMembersName) {
    BrokenPointerUi broken;
    ui::ScopedUi scope{broken};
    {
        CHourglass wait;
        wait.Value(true);
        EXPECT_TRUE(wait.Value());
    }  // the release must not throw either
    ASSERT_EQ(broken.boxes.size(), 1u);
    EXPECT_EQ(broken.boxes[0].prompt, "Error: 5. Invalid procedure call or argument");
    EXPECT_EQ(broken.boxes[0].title, "Value");
    EXPECT_EQ(broken.boxes[0].style, ui::vbOKOnly);
}

TEST(MemoryStatusTest, FiguresAreConsistent) {
    CMemoryStatus memory;
    int32_t load = memory.MemoryLoad();
    EXPECT_GE(load, 0);
    EXPECT_LE(load, 100);
    // Sizes of several gigabytes stay positive.
    EXPECT_GT(memory.TotalPhysical(), 0);
    EXPECT_EQ(memory.TotalPhysical(), sysconf(_SC_PHYS_PAGES) * sysconf(_SC_PAGESIZE));
    EXPECT_LE(memory.AvailablePhysical(), memory.TotalPhysical());
    EXPECT_LE(memory.AvailablePageFile(), memory.TotalPageFile());
    EXPECT_GE(memory.AvailablePageFile(), 0);
    EXPECT_LT(memory.AvailableVirtual(), memory.TotalVirtual());
}

TEST(OSInfoTest, DisplayColoursFromTheDepth) {
    COSInfo info;
    os::SetDisplayDepth(8);
    EXPECT_EQ(info.DisplayColors(), 256);
    os::SetDisplayDepth(16);
    EXPECT_EQ(info.DisplayColors(), 65536);
    os::SetDisplayDepth(24);
    EXPECT_EQ(info.DisplayColors(), 16777216);
    os::SetDisplayDepth(32);
    EXPECT_EQ(info.DisplayColors(), -1);
    os::SetDisplayDepth(0);
    EXPECT_EQ(info.DisplayColors(), 0);
}

TEST(OSInfoTest, TempFilesAreCreatedUniquelyInTheTempPath) {
    COSInfo info;
    std::string folder = info.TempPath();
    ASSERT_FALSE(folder.empty());
    EXPECT_EQ(folder.back(), '/');
    std::string a = info.TempFile("kzp");
    std::string b = info.TempFile("kzp");
    ASSERT_FALSE(a.empty());
    EXPECT_NE(a, b);
    EXPECT_EQ(a.rfind(folder + "kzp", 0), 0u);
    EXPECT_TRUE(std::filesystem::exists(a));
    EXPECT_TRUE(std::filesystem::exists(b));
    std::filesystem::remove(a);
    std::filesystem::remove(b);
    EXPECT_EQ(info.OSName(), "Linux");
    EXPECT_GT(info.OSMajorVersion(), 0);
    EXPECT_EQ(info.WindowsDirectory(), "/");
    EXPECT_TRUE(std::filesystem::is_directory(info.SystemDirectory()));
}
