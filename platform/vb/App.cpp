#include "vb/App.h"

#include <filesystem>
#include <system_error>

namespace vb {

AppInfo& App() {
    static AppInfo info = [] {
        AppInfo a;
        std::error_code ec;
        std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", ec);
        if (!ec) {
            a.path = exe.parent_path().string();
            a.exeName = exe.filename().string();
        } else {
            a.path = std::filesystem::current_path(ec).string();
        }
        a.title = a.exeName;
        return a;
    }();
    return info;
}

}  // namespace vb
