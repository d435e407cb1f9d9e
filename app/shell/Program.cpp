#include "shell/Program.h"

#include <sys/stat.h>

#include <QPointer>
#include <QWidget>
#include <cstdlib>
#include <filesystem>
#include <system_error>

#include "ProgramSettings.h"
#include "StatCommon.h"

namespace program {

std::string GetProductName() { return "Quantara"; }

CProgramSettings& Settings() {
    static CProgramSettings settings = [] {
        CProgramSettings s;
        s.RegBase(kMakerKey);
        s.MainBranch(kMainBranch);
        s.Program(GetProductRegKey());
        s.Section("Settings");
        return s;
    }();
    return settings;
}

std::string ProgramFolder() {
    vb::Variant path = GetAppPath();
    return path.IsString() ? path.String() : std::string("./");
}

std::string HelpFilePath() { return ProgramFolder() + "Merivox.HLP"; }
std::string ReadmePath() { return ProgramFolder() + "readme.txt"; }

std::string StateFolder() {
    std::filesystem::path base;
    const char* state = std::getenv("XDG_STATE_HOME");
    if (state && *state == '/') {
        base = state;
    } else {
        const char* home = std::getenv("HOME");
        base = std::filesystem::path(home && *home ? home : "/tmp") / ".local" / "state";
    }
    std::filesystem::path folder = base / "Merivox";
    std::error_code ec;
    if (!std::filesystem::exists(folder, ec)) {
        std::filesystem::create_directories(base, ec);
        // Owner-only: the report lists the user's paths and databases.
        if (::mkdir(folder.c_str(), 0700) != 0) std::filesystem::create_directories(folder, ec);
    }
    ::chmod(folder.c_str(), 0700);
    return folder.string() + "/";
}

std::string ErrorLogPath() { return StateFolder() + "error.log"; }

namespace {
QPointer<QWidget>& Frame() {
    static QPointer<QWidget> frame;
    return frame;
}
}  // namespace

QWidget* MainWindow() { return Frame().data(); }
void SetMainWindow(QWidget* frame) { Frame() = frame; }

}  // namespace program
