// The UI services of the platform, shown with Qt: real message boxes, the
// screen's mouse pointer as an override cursor, the system clipboard, the
// desktop's default applications and the program's own help window.
#pragma once

#include "ui/UiServices.h"

class QtUi : public ui::UiServices {
public:
    ui::MsgBoxResult MsgBox(const std::string& prompt, int style, const std::string& title) override;
    void Beep() override;
    int GetMousePointer() const override { return pointer_; }
    void SetMousePointer(int pointer) override;
    std::string ClipboardText() const override;
    void SetClipboardText(const std::string& text) override;
    bool Open(const std::string& target) override;
    void ShowHelp(const std::string& helpFile, int topic) override;

private:
    int pointer_ = ui::vbDefault;
    bool overridden_ = false;
};
