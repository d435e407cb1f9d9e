#include <gtest/gtest.h>
#include <sys/utsname.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "ErrorReport.h"
#include "ErrorStack.h"
#include "os/SystemInfo.h"
#include "ui/RecordingUi.h"
#include "vb/App.h"

namespace fs = std::filesystem;

namespace {

struct ErrorReportTest : ::testing::Test {
    ui::RecordingUi recorder;
    ui::ScopedUi scope{recorder};
    fs::path dir;
    fs::path file;
    vb::AppInfo savedApp;
    CErr_Zelk stack;

    void SetUp() override {
        char pattern[] = "/tmp/reporttestXXXXXX";
        dir = ::mkdtemp(pattern);
        file = dir / "error.log";
        savedApp = vb::App();
        vb::App().major = 6;
        vb::App().minor = 1;
        vb::App().revision = 8;
        vb::App().exeName = "Merivox";
        vb::App().path = dir.string();
        common::SetDataEngineFacts(
            {[] { return std::string("/opt/merivox/Merivox.MDW"); }, [] { return std::string("3.6"); }});
        os::SetDisplayDepth(24);
        stack.Destination(vb::Variant(file.string()));
        stack.DisplayError(false);
    }
    void TearDown() override {
        vb::App() = savedApp;
        common::SetDataEngineFacts({});
        os::SetDisplayDepth(0);
        fs::remove_all(dir);
    }

    void Fail(int32_t number, const std::string& text) {
        try {
            throw vb::VbError(number, text, "test", 0);
        } catch (...) {
            stack.HandleError();
        }
    }
    std::string FileText() {
        std::ifstream in(file, std::ios::binary);
        std::ostringstream out;
        out << in.rdbuf();
        return out.str();
    }
    static std::vector<std::string> Lines(const std::string& text) {
        std::vector<std::string> lines;
        size_t start = 0;
        for (;;) {
            size_t end = text.find("\r\n", start);
            lines.push_back(text.substr(start, end == std::string::npos ? std::string::npos : end - start));
            if (end == std::string::npos) return lines;
            start = end + 2;
        }
    }
    static size_t IndexOf(const std::vector<std::string>& lines, const std::string& line) {
        for (size_t i = 0; i < lines.size(); ++i)
            if (lines[i] == line) return i;
        return std::string::npos;
    }
};

const std::string kRule(64, '=');
// "###,###,###,###,###": grouped digits; nothing for 0.
const std::regex kGrouped("(-?[1-9][0-9]{0,2}(,[0-9]{3})*)?");

}  // namespace

TEST_F(ErrorReportTest, LayoutOfAReport) {
    stack.ScenarioNumber(42);
    stack.CurrentOperation("Set database ");
    {
        ProcScope a(stack, "MDIMain:Form_Load");
        ProcScope b(stack, "OpenDatabase");
        ProcScope c(stack, "CheckTables");
        Fail(3078, "The input table was not found.");
    }
    std::string text = FileText();
    ASSERT_FALSE(text.empty());
    EXPECT_EQ(text, stack.ErrReport() + "\r\n");
    std::vector<std::string> lines = Lines(stack.ErrReport());

    const std::vector<std::string> head = {
        "Quantara ERROR INFORMATION",
        kRule,
        "Please provide a description of what you were doing",
        "when the error occurred: ",
        "",
        "",
        kRule,
        "Product Name      : Quantara",
        "Product Version   : 6.1.8",
    };
    ASSERT_GT(lines.size(), 50u);
    for (size_t i = 0; i < head.size(); ++i) EXPECT_EQ(lines[i], head[i]) << i;
    EXPECT_EQ(lines[9].rfind("Date              : ", 0), 0u);
    EXPECT_GT(lines[9].size(), 20u);
    const std::vector<std::string> middle = {
        "",
        "Quantara",
        "App EXE           : Merivox",
        "App Path          : " + dir.string(),
        "Workgroup Path    : /opt/merivox/Merivox.MDW",
        "Error String      : The input table was not found.",
        "Error Number      : 3078",
        "Error Procedure   : CheckTables",
        "",
        "Procedure Stack",
        "---------------",
        "01  MDIMain:Form_Load",
        "02    OpenDatabase",
        "03      CheckTables",
        "",
        "Scenario Number: 42",
        "",
        "",
        "",
        "[System Information]",
        "System Name       : Linux",
    };
    for (size_t i = 0; i < middle.size(); ++i) EXPECT_EQ(lines[10 + i], middle[i]) << 10 + i;

    utsname u{};
    ASSERT_EQ(::uname(&u), 0);
    size_t sys = 10 + middle.size();
    // "6.1.0-13-amd64" -> "6.1": the release's first two numbers.
    std::string release = u.release;
    std::string majorMinor = release.substr(0, release.find('.', release.find('.') + 1));
    majorMinor = majorMinor.substr(0, majorMinor.find_first_not_of("0123456789."));
    EXPECT_EQ(lines[sys], "System Version    : " + majorMinor);
    EXPECT_EQ(lines[sys + 1].rfind("System Build      : ", 0), 0u);
    EXPECT_NE(lines[sys + 1].find(u.version), std::string::npos);
    EXPECT_EQ(lines[sys + 2], "Root Directory    : /");
    EXPECT_EQ(lines[sys + 3].rfind("System Directory  : /", 0), 0u);
    const char* figures[] = {"Root Disk Space   : ", "App Disk Space    : ", "Free Swap Space   : ",
                             "Total Physical Mem: ", "Free Physical Mem : "};
    for (size_t i = 0; i < 5; ++i) {
        const std::string& line = lines[sys + 4 + i];
        ASSERT_EQ(line.rfind(figures[i], 0), 0u) << line;
        EXPECT_TRUE(std::regex_match(line.substr(20), kGrouped)) << line;
    }
    EXPECT_NE(lines[sys + 4], "Root Disk Space   : ");            // the root file system has free space
    EXPECT_EQ(lines[sys + 9], "Display Colors    : 16,777,216");  // 2^24
    EXPECT_EQ(lines[sys + 10], "Data Layer Version: 3.6");
    EXPECT_EQ(lines[sys + 11], "");
    EXPECT_EQ(lines[sys + 12], "");
    EXPECT_EQ(lines[sys + 13], "[File Versions]");

    const std::vector<std::string> labels = {
        "libMerivoxPlatform.so Ver: ", "libMerivox6.so Ver: ", "libsqlite3.so Ver : ",
        "libsodium.so Ver  : ",        "libQt6Core.so Ver : ", "libQt6Gui.so Ver  : ",
        "libQt6Widgets.so Ver: ",      "libstdc++.so Ver  : ", "libc.so Ver       : ",
    };
    size_t files = sys + 14;
    ASSERT_EQ(lines.size(), files + labels.size() + 1);
    for (size_t i = 0; i < labels.size(); ++i) EXPECT_EQ(lines[files + i].rfind(labels[i], 0), 0u) << lines[files + i];
    // Our own library carries the build's version; one not loaded here has none.
    EXPECT_EQ(lines[files], "libMerivoxPlatform.so Ver: 6.1.0.8");
    EXPECT_EQ(lines[files + 1], "libMerivox6.so Ver: ");
    EXPECT_TRUE(std::regex_match(lines[files + 2], std::regex("libsqlite3.so Ver : 3\\.[0-9]+\\.[0-9]+\\.[0-9]+")))
        << lines[files + 2];
    EXPECT_TRUE(std::regex_match(lines[files + 8], std::regex("libc.so Ver       : 2\\.[0-9]+\\.0\\.0")))
        << lines[files + 8];
    EXPECT_EQ(lines.back(), "Current Operation: Set database ");
}

TEST_F(ErrorReportTest, OptionalLinesAndDeepStacks) {
    os::SetDisplayDepth(0);
    stack.MaxItems(10);
    for (int i = 1; i <= 11; ++i) stack.Push("P" + std::to_string(i));
    Fail(6, "Overflow");
    std::vector<std::string> lines = Lines(stack.ErrReport());
    // Depth 11 is beyond MaxItems: counted, not named.
    EXPECT_NE(IndexOf(lines, "Error Procedure   : "), std::string::npos);
    size_t first = IndexOf(lines, "01  P1");
    ASSERT_NE(first, std::string::npos);
    EXPECT_EQ(lines[first + 8], "09" + std::string(18, ' ') + "P9");
    EXPECT_EQ(lines[first + 9], "10" + std::string(20, ' ') + "P10");
    // No scenario number: the stack's blank line, two more, then the system block.
    EXPECT_EQ(lines[first + 10], "");
    EXPECT_EQ(lines[first + 11], "");
    EXPECT_EQ(lines[first + 12], "");
    EXPECT_EQ(lines[first + 13], "[System Information]");
    // A zero figure prints nothing; no current operation, no last line.
    EXPECT_NE(IndexOf(lines, "Display Colors    : "), std::string::npos);
    EXPECT_EQ(lines.back().rfind("libc.so Ver", 0), 0u);
    // Without the data engine's facts the two lines stay empty.
    common::SetDataEngineFacts({});
    Fail(6, "Overflow");
    lines = Lines(stack.ErrReport());
    EXPECT_NE(IndexOf(lines, "Workgroup Path    : "), std::string::npos);
    EXPECT_NE(IndexOf(lines, "Data Layer Version: "), std::string::npos);
}

TEST_F(ErrorReportTest, ASecondReportReplacesTheFirst) {
    std::ofstream(file) << "an older file that is much longer than anything else, to be gone";
    stack.Push("First");
    Fail(11, "Division by zero");
    std::string first = FileText();
    EXPECT_NE(first.find("Error Number      : 11\r\n"), std::string::npos);
    EXPECT_EQ(first.find("an older file"), std::string::npos);
    stack.Pop();
    stack.Push("Second");
    Fail(13, "Type mismatch");
    std::string second = FileText();
    EXPECT_EQ(second, stack.ErrReport() + "\r\n");
    EXPECT_EQ(second.find("Division by zero"), std::string::npos);
    EXPECT_EQ(second.find("ERROR INFORMATION"), second.rfind("ERROR INFORMATION"));
    EXPECT_NE(second.find("Error Procedure   : Second\r\n"), std::string::npos);
}

TEST_F(ErrorReportTest, AReportThatCannotBeWrittenLeavesNoFileButKeepsTheText) {
    stack.DisplayError(true);
    stack.Destination(vb::Variant((dir / "missing" / "error.log").string()));
    Fail(76, "Path not found");
    EXPECT_FALSE(fs::exists(dir / "missing"));
    EXPECT_NE(stack.ErrReport().find("Error Number      : 76"), std::string::npos);
    // HandleError goes on to its message box.
    ASSERT_EQ(recorder.boxes.size(), 1u);

    stack.Destination(vb::Variant(std::string()));
    Fail(53, "File not found");
    EXPECT_NE(stack.ErrReport().find("Error Number      : 53"), std::string::npos);
}
