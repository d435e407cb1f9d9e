// Services for tests: every message box is recorded with its text, style and
// title and answered from a script of replies (then by its default button);
// beeps, pointer changes, opened targets and help calls are recorded too.
#pragma once

#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "ui/UiServices.h"

namespace ui {

class RecordingUi : public UiServices {
public:
    struct Box {
        std::string prompt;
        int style;
        std::string title;
        MsgBoxResult answer;
    };

    // Replies for the next message boxes, in order.
    void Script(std::initializer_list<MsgBoxResult> replies) { replies_.insert(replies_.end(), replies); }
    void Script(MsgBoxResult reply) { replies_.push_back(reply); }
    // Runs once, with the prompt, when the next box is asked and before it is
    // answered: what another program does while the box stands.
    void WhileAsked(std::function<void(const std::string&)> act) { whileAsked_ = std::move(act); }

    MsgBoxResult MsgBox(const std::string& prompt, int style, const std::string& title) override;
    void Beep() override { ++beeps; }
    int GetMousePointer() const override { return pointer; }
    void SetMousePointer(int value) override {
        pointer = value;
        pointerHistory.push_back(value);
    }
    std::string ClipboardText() const override { return clipboard; }
    void SetClipboardText(const std::string& text) override { clipboard = text; }
    bool Open(const std::string& target) override {
        opened.push_back(target);
        return true;
    }
    void ShowHelp(const std::string& helpFile, int topic) override {
        helpCalls.push_back(helpFile + "#" + std::to_string(topic));
    }

    // Clears what was recorded and any replies not yet used.
    void Reset();

    std::vector<Box> boxes;
    int beeps = 0;
    int pointer = vbDefault;
    std::vector<int> pointerHistory;
    std::string clipboard;
    std::vector<std::string> opened;
    std::vector<std::string> helpCalls;

private:
    std::deque<MsgBoxResult> replies_;
    std::function<void(const std::string&)> whileAsked_;
};

}  // namespace ui
