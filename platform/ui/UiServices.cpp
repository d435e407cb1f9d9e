#include "ui/UiServices.h"

#include <cstdio>

#include "vb/App.h"

namespace ui {

UiServices::~UiServices() = default;

MsgBoxResult DefaultButton(int style) {
    int which = (style & kDefaultMask) / vbDefaultButton2;  // 0, 1 or 2
    static constexpr MsgBoxResult kButtons[6][3] = {
        {vbOK, vbOK, vbOK},      {vbOK, vbCancel, vbCancel}, {vbAbort, vbRetry, vbIgnore},
        {vbYes, vbNo, vbCancel}, {vbYes, vbNo, vbNo},        {vbRetry, vbCancel, vbCancel},
    };
    int buttons = style & kButtonsMask;
    if (buttons > 5) buttons = 0;
    return kButtons[buttons][which > 2 ? 0 : which];
}

namespace {

// The default services: message boxes go to standard error and are answered
// with their default button; nothing else has a visible effect.
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

ConsoleUi& Console() {
    static ConsoleUi console;
    return console;
}
UiServices* g_installed = nullptr;
}  // namespace

UiServices& Ui() { return g_installed ? *g_installed : Console(); }

UiServices* InstallUi(UiServices* services) {
    UiServices* previous = g_installed;
    g_installed = services;
    return previous;
}

MsgBoxResult MsgBox(const std::string& prompt, int style, const std::string& title) {
    return Ui().MsgBox(prompt, style, title.empty() ? vb::App().title : title);
}

MsgBoxResult ConsoleUi::MsgBox(const std::string& prompt, int style, const std::string& title) {
    MsgBoxResult answer = DefaultButton(style);
    std::fprintf(stderr, "[%s] %s\n", title.c_str(), prompt.c_str());
    return answer;
}

void ConsoleUi::Beep() { std::fputc('\a', stderr); }

bool ConsoleUi::Open(const std::string& target) {
    std::fprintf(stderr, "Open: %s\n", target.c_str());
    return false;
}

void ConsoleUi::ShowHelp(const std::string& helpFile, int topic) {
    std::fprintf(stderr, "Help: %s, topic %d\n", helpFile.c_str(), topic);
}

}  // namespace ui
