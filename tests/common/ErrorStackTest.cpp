#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "ErrorStack.h"
#include "dao/Dao.h"
#include "os/SystemInfo.h"
#include "ui/RecordingUi.h"
#include "vb/App.h"

namespace {

struct ErrorStackTest : ::testing::Test {
    ui::RecordingUi recorder;
    ui::ScopedUi scope{recorder};
    CErr_Zelk stack;

    void Fail(int32_t number, const std::string& text, int32_t line = 0) {
        try {
            throw vb::VbError(number, text, "test", line);
        } catch (...) {
            stack.HandleError();
        }
    }
};

}  // namespace

TEST_F(ErrorStackTest, NewObjectHoldsItsInitialValues) {
    EXPECT_EQ(stack.MaxItems(), 20);
    EXPECT_EQ(stack.UpperBound(), 22);
    EXPECT_EQ(stack.Depth(), 0);
    EXPECT_TRUE(stack.ExpandedInfo());
    EXPECT_TRUE(stack.DisplayError());
    EXPECT_EQ(stack.ScenarioNumber(), 0);
    EXPECT_EQ(stack.Destination().String(), os::TempFolder() + "ERRORS.TXT");
}

TEST_F(ErrorStackTest, DepthRulesBeyondMaxItems) {
    stack.Pop();
    EXPECT_EQ(stack.Depth(), 0);
    for (int i = 1; i <= 21; ++i) stack.Push("Proc" + std::to_string(i));
    EXPECT_EQ(stack.Depth(), 21);
    EXPECT_EQ(stack.StackEntry(1), "Proc1");
    EXPECT_EQ(stack.StackEntry(20), "Proc20");
    EXPECT_EQ(stack.StackEntry(21), "");  // counted, not stored
    EXPECT_EQ(stack.StackEntry(0), "");
    Fail(5, "Invalid procedure call or argument");
    EXPECT_EQ(stack.ErrProcedure(), "");
    for (int i = 0; i < 21; ++i) stack.Pop();
    EXPECT_EQ(stack.Depth(), 0);
    for (int d = 0; d <= stack.UpperBound(); ++d) EXPECT_EQ(stack.StackEntry(d), "") << d;
}

TEST_F(ErrorStackTest, SettingMaxItemsEmptiesEntriesButKeepsDepth) {
    stack.Push("A");
    stack.Push("B");
    stack.Push("C");
    stack.MaxItems(5);
    EXPECT_EQ(stack.UpperBound(), 7);
    EXPECT_EQ(stack.Depth(), 3);
    for (int d = 0; d <= 7; ++d) EXPECT_EQ(stack.StackEntry(d), "");
    stack.Push("D");
    EXPECT_EQ(stack.StackEntry(4), "D");
    try {
        stack.MaxItems(32766);
        FAIL();
    } catch (const vb::VbError& e) {
        EXPECT_EQ(e.Number(), 6);
    }
    EXPECT_EQ(stack.MaxItems(), 5);
}

TEST_F(ErrorStackTest, HandleErrorShowsTheMessageWithBeep) {
    stack.Destination(vb::Variant(std::string()));
    stack.AppTitle("Quantara");
    stack.Push("frmStatMain:cmdRun_Click");
    Fail(3265, "Item not found in this collection.", 0);
    EXPECT_EQ(stack.ErrNumber(), 3265);
    EXPECT_EQ(stack.ErrLine(), 0);
    EXPECT_EQ(stack.ErrProcedure(), "frmStatMain:cmdRun_Click");
    EXPECT_EQ(stack.Depth(), 1);  // HandleError does not pop
    EXPECT_EQ(recorder.beeps, 1);
    ASSERT_EQ(recorder.boxes.size(), 1u);
    EXPECT_EQ(recorder.boxes[0].title, "Quantara");
    EXPECT_EQ(recorder.boxes[0].style, ui::vbCritical | ui::vbOKOnly);
    EXPECT_EQ(recorder.boxes[0].prompt, "The following error has occurred in procedure: \r\n"
                                        "frmStatMain:cmdRun_Click on line 0\r\n"
                                        "Error (3265) Item not found in this collection.");

    stack.CurrentOperation("Set database ");
    Fail(6, "Overflow", 120);
    EXPECT_EQ(recorder.boxes[1].prompt, "The following error has occurred in procedure: \r\n"
                                        "frmStatMain:cmdRun_Click on line 120\r\n"
                                        "Error (6) Overflow\r\n"
                                        "Current Operation: Set database ");
}

TEST_F(ErrorStackTest, CancelInBeforeHandlerStopsEverythingButTheRecord) {
    bool afterCalled = false;
    stack.ConnectBeforeHandlerCalled([](bool& cancel) { cancel = true; });
    stack.ConnectAfterHandlerCalled([&] { afterCalled = true; });
    stack.Push("Proc");
    Fail(11, "Division by zero", 7);
    EXPECT_EQ(stack.ErrNumber(), 11);
    EXPECT_EQ(stack.ErrLine(), 7);
    EXPECT_EQ(stack.ErrDescription(), "Division by zero");
    EXPECT_EQ(stack.ErrProcedure(), "Proc");
    EXPECT_EQ(recorder.beeps, 0);
    EXPECT_TRUE(recorder.boxes.empty());
    EXPECT_FALSE(afterCalled);
}

TEST_F(ErrorStackTest, EventsRunInOrderAndAfterHandlerFailuresAreSwallowed) {
    std::vector<std::string> calls;
    stack.DisplayError(false);
    stack.Destination(vb::Variant(std::string()));
    stack.ConnectBeforeHandlerCalled([&](bool& cancel) {
        EXPECT_FALSE(cancel);
        calls.push_back("before");
    });
    stack.ConnectAfterHandlerCalled([&] {
        calls.push_back("after");
        throw vb::VbError(5, "boom");
    });
    EXPECT_NO_THROW(Fail(13, "Type mismatch"));
    EXPECT_EQ(calls, (std::vector<std::string>{"before", "after"}));
    EXPECT_TRUE(recorder.boxes.empty());
    EXPECT_EQ(recorder.beeps, 0);
}

TEST_F(ErrorStackTest, AppTitleDefaultsToTheApplicationsOnce) {
    stack.Destination(vb::Variant(std::string()));
    std::string saved = vb::App().title;
    vb::App().title = "Quantara";
    Fail(5, "x");
    vb::App().title = "Other";
    Fail(5, "y");
    vb::App().title = saved;
    EXPECT_EQ(stack.AppTitle(), "Quantara");
    EXPECT_EQ(recorder.boxes.back().title, "Quantara");
}

TEST_F(ErrorStackTest, DestinationAcceptsOnlyTextsAndRecordsets) {
    struct NotARecordset : vb::Object {};
    auto expectInvalid = [&](const vb::Variant& v, const std::string& text) {
        try {
            stack.Destination(v);
            FAIL() << text;
        } catch (const vb::VbError& e) {
            EXPECT_EQ(e.Number(), vb::kObjectError + 1000);
            EXPECT_EQ(e.Description(), text);
        }
    };
    expectInvalid(vb::Variant(int16_t(3)), "Invalid object type: 2");
    expectInvalid(vb::Variant(3), "Invalid object type: 3");
    expectInvalid(vb::Variant(vb::ObjectPtr(std::make_shared<NotARecordset>())), "Invalid object type: 9");
    expectInvalid(vb::Variant::Null(), "Invalid object type: 1");
    EXPECT_EQ(stack.Destination().String(), os::TempFolder() + "ERRORS.TXT");
    stack.Destination(vb::Variant("/tmp/x.log"));
    EXPECT_EQ(stack.Destination().String(), "/tmp/x.log");
}

TEST_F(ErrorStackTest, ClearLogDeletesTheFileAndAMissingFileIsNoFailure) {
    auto path = std::filesystem::temp_directory_path() / ("errstack_" + std::to_string(::getpid()) + ".log");
    std::ofstream(path) << "old report";
    stack.Destination(vb::Variant(path.string()));
    EXPECT_TRUE(stack.ClearLog());
    EXPECT_FALSE(std::filesystem::exists(path));
    EXPECT_TRUE(stack.ClearLog());
}

TEST(ProcScope, PopsOnNormalExitOnly) {
    CErr_Zelk stack;
    {
        ProcScope outer(stack, "Outer");
        {
            ProcScope inner(stack, "Inner");
            EXPECT_EQ(stack.Depth(), 2);
        }
        EXPECT_EQ(stack.Depth(), 1);
        try {
            ProcScope failing(stack, "Failing");
            throw vb::VbError(5, "x");
        } catch (const vb::VbError&) {
            // The failing procedure's name stays where it happened.
            EXPECT_EQ(stack.Depth(), 2);
            EXPECT_EQ(stack.StackEntry(2), "Failing");
        }
        stack.Pop();
    }
    EXPECT_EQ(stack.Depth(), 0);
}

TEST(GlobalErrorStack, CanBeReplaced) {
    auto fresh = std::make_shared<CErr_Zelk>();
    SetErrStack(fresh);
    EXPECT_EQ(&ErrStack(), fresh.get());
    SetErrStack(nullptr);
    EXPECT_NE(&ErrStack(), fresh.get());
}

TEST_F(ErrorStackTest, RecordsetDestinationWritesNoReportAndClearLogEmptiesIt) {
    auto path = std::filesystem::temp_directory_path() / ("errstack_rs_" + std::to_string(::getpid()) + ".db");
    std::filesystem::remove(path);
    auto db = dao::DBEngine().CreateDatabase(path.string());
    db->Execute("CREATE TABLE [Log] ([Id] INTEGER, [Text] TEXT)");
    db->Execute("INSERT INTO [Log] VALUES (1, 'a')");
    db->Execute("INSERT INTO [Log] VALUES (2, 'b')");
    db->Execute("INSERT INTO [Log] VALUES (3, 'c')");

    try {
        stack.Destination(vb::Variant(vb::ObjectPtr(db)));
        FAIL();
    } catch (const vb::VbError& e) {
        EXPECT_EQ(e.Description(), "Invalid object type: 9");
    }

    auto rs = db->OpenRecordset("Log", dao::dbOpenDynaset);
    stack.Destination(vb::Variant(vb::ObjectPtr(rs)));
    stack.DisplayError(false);
    Fail(5, "x");
    EXPECT_EQ(stack.ErrReport(), "");
    EXPECT_TRUE(stack.ClearLog());
    auto count = db->OpenRecordset("SELECT Count(*) AS N FROM [Log]");
    EXPECT_EQ(count->Fields(0)->Value().ToLong(), 0);
    rs->Close();
    count->Close();
    db->Close();
    std::filesystem::remove(path);
}
