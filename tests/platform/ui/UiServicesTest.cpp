#include <gtest/gtest.h>

#include "ui/RecordingUi.h"
#include "vb/App.h"

using namespace ui;

TEST(UiServices, DefaultButtonFollowsStyle) {
    EXPECT_EQ(DefaultButton(vbOKOnly), vbOK);
    EXPECT_EQ(DefaultButton(vbYesNo | vbQuestion), vbYes);
    EXPECT_EQ(DefaultButton(vbYesNo | vbDefaultButton2), vbNo);
    EXPECT_EQ(DefaultButton(vbYesNoCancel | vbDefaultButton3), vbCancel);
    EXPECT_EQ(DefaultButton(vbOKCancel | vbCritical | vbDefaultButton2), vbCancel);
    EXPECT_EQ(DefaultButton(vbAbortRetryIgnore), vbAbort);
}

TEST(UiServices, RecorderAnswersFromItsScriptThenByDefault) {
    RecordingUi recorder;
    ScopedUi scope(recorder);
    recorder.Script({vbNo, vbCancel});
    EXPECT_EQ(MsgBox("Add the tables?", vbYesNo | vbQuestion, "Quantara"), vbNo);
    EXPECT_EQ(Ui().MsgBox("Second", vbYesNoCancel, "T"), vbCancel);
    EXPECT_EQ(Ui().MsgBox("Third", vbYesNo | vbDefaultButton2, "T"), vbNo);
    ASSERT_EQ(recorder.boxes.size(), 3u);
    EXPECT_EQ(recorder.boxes[0].prompt, "Add the tables?");
    EXPECT_EQ(recorder.boxes[0].title, "Quantara");
    EXPECT_EQ(recorder.boxes[0].style, vbYesNo | vbQuestion);
    EXPECT_EQ(recorder.boxes[2].answer, vbNo);
}

TEST(UiServices, MsgBoxWithoutTitleUsesTheApplicationTitle) {
    RecordingUi recorder;
    ScopedUi scope(recorder);
    std::string saved = vb::App().title;
    vb::App().title = "Quantara";
    MsgBox("Hello");
    vb::App().title = saved;
    ASSERT_EQ(recorder.boxes.size(), 1u);
    EXPECT_EQ(recorder.boxes[0].title, "Quantara");
    EXPECT_EQ(recorder.boxes[0].style, vbOKOnly);
}

TEST(UiServices, ScopedInstallRestoresThePreviousServices) {
    RecordingUi outer, inner;
    ScopedUi a(outer);
    {
        ScopedUi b(inner);
        Ui().Beep();
        Ui().SetMousePointer(vbHourglass);
    }
    Ui().Beep();
    EXPECT_EQ(inner.beeps, 1);
    EXPECT_EQ(inner.pointer, vbHourglass);
    EXPECT_EQ(outer.beeps, 1);
    EXPECT_EQ(outer.pointer, vbDefault);
}
