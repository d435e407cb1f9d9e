#include "ui/UiServices.h"

#include <cstdio>

#include "ui/ConsoleUi.h"
#include "ui/RecordingUi.h"
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

MsgBoxResult RecordingUi::MsgBox(const std::string& prompt, int style, const std::string& title) {
    MsgBoxResult answer = DefaultButton(style);
    if (!replies_.empty()) {
        answer = replies_.front();
        replies_.pop_front();
    }
    boxes.push_back(Box{prompt, style, title, answer});
    return answer;
}

void RecordingUi::Reset() {
    boxes.clear();
    beeps = 0;
    pointer = vbDefault;
    pointerHistory.clear();
    clipboard.clear();
    opened.clear();
    helpCalls.clear();
    replies_.clear();
}

}  // namespace ui
