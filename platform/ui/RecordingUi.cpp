#include "ui/RecordingUi.h"

namespace ui {

MsgBoxResult RecordingUi::MsgBox(const std::string& prompt, int style, const std::string& title) {
    if (whileAsked_) {
        const auto act = std::move(whileAsked_);
        whileAsked_ = nullptr;
        act(prompt);
    }
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
    whileAsked_ = nullptr;
}

}  // namespace ui
