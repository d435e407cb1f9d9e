// The runtime's application object: the program's title, folder, executable
// name, version and help file. The folder is the one the running executable
// lies in; the rest is set by the program at start.
#pragma once

#include <string>

namespace vb {

struct AppInfo {
    std::string title;     // App.Title
    std::string path;      // App.Path: folder of the executable, no trailing separator
    std::string exeName;   // App.EXEName: executable name without folder
    std::string helpFile;  // App.HelpFile
    int major = 6;
    int minor = 0;
    int revision = 0;
    std::string productName = "Quantara";
    std::string companyName = "Zelk";
};

// The process's application object (initialised from /proc/self/exe on first use).
AppInfo& App();

}  // namespace vb
