// What the old runtime gave every component of the user interface: message
// boxes, the beep, the screen's mouse pointer, the clipboard, opening a
// document or address, and help. The engine reaches the user only through
// this interface, so it needs no toolkit; the program installs a Qt
// implementation at start, tests install a RecordingUi.
#pragma once

#include <memory>
#include <string>

namespace ui {

// Message-box style bits, with the runtime's values.
enum MsgBoxStyle : int {
    vbOKOnly = 0,
    vbOKCancel = 1,
    vbAbortRetryIgnore = 2,
    vbYesNoCancel = 3,
    vbYesNo = 4,
    vbRetryCancel = 5,
    vbCritical = 16,
    vbQuestion = 32,
    vbExclamation = 48,
    vbInformation = 64,
    vbDefaultButton1 = 0,
    vbDefaultButton2 = 256,
    vbDefaultButton3 = 512,
    vbApplicationModal = 0,
    vbSystemModal = 4096,
};
inline constexpr int kButtonsMask = 0x0F;
inline constexpr int kIconMask = 0xF0;
inline constexpr int kDefaultMask = 0xF00;

// Buttons a message box returns.
enum MsgBoxResult : int { vbOK = 1, vbCancel = 2, vbAbort = 3, vbRetry = 4, vbIgnore = 5, vbYes = 6, vbNo = 7 };

// The runtime's screen mouse pointers the system sets.
enum MousePointer : int { vbDefault = 0, vbArrow = 1, vbHourglass = 11, vbArrowHourglass = 13 };

// The button a box with `style` returns when the user just accepts its default.
MsgBoxResult DefaultButton(int style);

class UiServices {
public:
    virtual ~UiServices();
    virtual MsgBoxResult MsgBox(const std::string& prompt, int style, const std::string& title) = 0;
    virtual void Beep() = 0;
    virtual int GetMousePointer() const = 0;
    virtual void SetMousePointer(int pointer) = 0;
    virtual std::string ClipboardText() const = 0;
    virtual void SetClipboardText(const std::string& text) = 0;
    // A document, folder, web address or "mailto:" address; false when nothing opened it.
    virtual bool Open(const std::string& target) = 0;
    // Help file and topic number (0: the contents).
    virtual void ShowHelp(const std::string& helpFile, int topic) = 0;
};

// The services in force; the console default until one is installed.
UiServices& Ui();
// Installs `services` (not owned; nullptr restores the console default) and
// returns the one it replaces.
UiServices* InstallUi(UiServices* services);

// Installs services for the life of a scope, restoring the previous ones.
class ScopedUi {
public:
    explicit ScopedUi(UiServices& services) : previous_(InstallUi(&services)) {}
    ~ScopedUi() { InstallUi(previous_); }
    ScopedUi(const ScopedUi&) = delete;
    ScopedUi& operator=(const ScopedUi&) = delete;

private:
    UiServices* previous_;
};

// Shorthand for Ui().MsgBox with the runtime's defaults (title: the application's).
MsgBoxResult MsgBox(const std::string& prompt, int style = vbOKOnly, const std::string& title = {});

}  // namespace ui
