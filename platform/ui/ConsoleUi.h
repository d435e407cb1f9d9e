// The default services: message boxes go to standard error and are answered
// with their default button; nothing else has a visible effect.
#pragma once

#include "ui/UiServices.h"

namespace ui {

class ConsoleUi : public UiServices {
public:
    MsgBoxResult MsgBox(const std::string& prompt, int style, const std::string& title) override;
    void Beep() override;
    int GetMousePointer() const override { return pointer_; }
    void SetMousePointer(int pointer) override { pointer_ = pointer; }
    std::string ClipboardText() const override { return clipboard_; }
    void SetClipboardText(const std::string& text) override { clipboard_ = text; }
    bool Open(const std::string& target) override;
    void ShowHelp(const std::string& helpFile, int topic) override;

private:
    int pointer_ = vbDefault;
    std::string clipboard_;
};

}  // namespace ui
