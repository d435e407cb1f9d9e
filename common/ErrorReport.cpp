// The error report file: a plain-text description of the error, of the call
// stack where it happened and of the machine, written by HandleError.
#include "ErrorReport.h"

#include <cstdio>
#include <utility>
#include <vector>

#include "MemoryStatus.h"
#include "OSInfo.h"
#include "StatCommon.h"
#include "os/SystemInfo.h"
#include "vb/App.h"
#include "vb/Conversions.h"

namespace common {
namespace {

DataEngineFacts& Facts() {
    static DataEngineFacts facts;
    return facts;
}

std::string Ask(const std::function<std::string()>& fact) {
    if (!fact) return {};
    try {
        return fact();
    } catch (...) {
        return {};
    }
}

const char* const kRule = "================================================================";
const char* const kCrLf = "\r\n";
// Free space, memory and colour figures: grouped digits, nothing for 0.
const char* const kBytes = "###,###,###,###,###";

std::string Bytes(double value) { return vb::Format(value, kBytes); }

// A label padded to 18 characters and followed by ": ".
std::string Label(const std::string& text) {
    std::string out = text;
    if (out.size() < 18) out.resize(18, ' ');
    return out + ": ";
}

std::string TwoDigits(int value) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "%02d", value);
    return buf;
}

// The libraries this system loads, in report order, and whether they are our own.
const std::vector<std::pair<const char*, bool>>& ReportedLibraries() {
    static const std::vector<std::pair<const char*, bool>> libs = {
        {"libMerivoxPlatform.so", true}, {"libMerivox6.so", true}, {"libsqlite3.so", false},
        {"libsodium.so", false},         {"libQt6Core.so", false}, {"libQt6Gui.so", false},
        {"libQt6Widgets.so", false},     {"libstdc++.so", false},  {"libc.so", false},
    };
    return libs;
}

// The heading, the error and the procedure stack it happened in.
void AddErrorSection(std::vector<std::string>& lines, const ErrorFacts& error, const vb::AppInfo& app) {
    lines.push_back("Quantara ERROR INFORMATION");
    lines.push_back(kRule);
    lines.push_back("Please provide a description of what you were doing");
    lines.push_back("when the error occurred: ");
    lines.push_back("");
    lines.push_back("");
    lines.push_back(kRule);
    lines.push_back("Product Name      : Quantara");
    lines.push_back("Product Version   : " + std::to_string(app.major) + "." + std::to_string(app.minor) + "." +
                    std::to_string(app.revision));
    lines.push_back("Date              : " + vb::Format(vb::Variant(vb::Now()), "General Date"));
    lines.push_back("");
    lines.push_back("Quantara");
    lines.push_back("App EXE           : " + app.exeName);
    lines.push_back("App Path          : " + app.path);
    lines.push_back("Workgroup Path    : " + Ask(Facts().systemDB));
    lines.push_back("Error String      : " + error.description);
    lines.push_back("Error Number      : " + std::to_string(error.number));
    lines.push_back("Error Procedure   : " + error.procedure);
    lines.push_back("");
    lines.push_back("Procedure Stack");
    lines.push_back("---------------");
    for (size_t i = 0; i < error.procedures.size(); ++i) {
        const std::string& name = error.procedures[i];
        if (!name.empty()) lines.push_back(TwoDigits(static_cast<int>(i)) + std::string(2 * i, ' ') + name);
    }
    lines.push_back("");
    if (error.scenarioNumber != 0) {
        lines.push_back("Scenario Number: " + std::to_string(error.scenarioNumber));
        lines.push_back("");
    }
}

// The machine: its system, folders, free space and memory.
void AddSystemSection(std::vector<std::string>& lines, const COSInfo& osInfo, const CMemoryStatus& memory,
                      const vb::AppInfo& app) {
    lines.push_back("[System Information]");
    const std::string systemRoot = osInfo.WindowsDirectory();
    lines.push_back("System Name       : " + osInfo.OSName());
    lines.push_back("System Version    : " + std::to_string(osInfo.OSMajorVersion()) + "." +
                    std::to_string(osInfo.OSMinorVersion()));
    lines.push_back("System Build      : " + std::to_string(osInfo.OSBuild()) + " " + osInfo.OSAdditional());
    lines.push_back("Root Directory    : " + systemRoot);
    lines.push_back("System Directory  : " + osInfo.SystemDirectory());
    // On Linux a folder names its file system directly; there is no drive letter to split off.
    lines.push_back("Root Disk Space   : " + Bytes(GetDriveFreeSpace(systemRoot)));
    lines.push_back("App Disk Space    : " + Bytes(GetDriveFreeSpace(app.path)));
    lines.push_back("Free Swap Space   : " + Bytes(static_cast<double>(memory.AvailablePageFile())));
    lines.push_back("Total Physical Mem: " + Bytes(static_cast<double>(memory.TotalPhysical())));
    lines.push_back("Free Physical Mem : " + Bytes(static_cast<double>(memory.AvailablePhysical())));
    lines.push_back("Display Colors    : " + Bytes(osInfo.DisplayColors()));
    lines.push_back("Data Layer Version: " + Ask(Facts().version));
}

// The version of each library the process has loaded; blank for one it has not.
void AddFileVersions(std::vector<std::string>& lines, const vb::AppInfo& app) {
    lines.push_back("[File Versions]");
    const std::string ownVersion =
        std::to_string(app.major) + "." + std::to_string(app.minor) + ".0." + std::to_string(app.revision);
    for (const auto& [stem, own] : ReportedLibraries()) {
        std::string loaded = os::LoadedLibraryPath(stem);
        std::string version;
        if (!loaded.empty()) version = own ? ownVersion : GetFileVersion(loaded);
        lines.push_back(Label(std::string(stem) + " Ver") + version);
    }
}

}  // namespace

void SetDataEngineFacts(DataEngineFacts facts) { Facts() = std::move(facts); }

std::string FormatErrorReport(const ErrorFacts& error) {
    CMemoryStatus memory;
    COSInfo osInfo;

    const vb::AppInfo& app = vb::App();
    std::vector<std::string> lines;
    AddErrorSection(lines, error, app);
    lines.push_back("");
    lines.push_back("");
    AddSystemSection(lines, osInfo, memory, app);
    lines.push_back("");
    lines.push_back("");
    AddFileVersions(lines, app);
    if (!error.currentOperation.empty()) lines.push_back("Current Operation: " + error.currentOperation);

    std::string text;
    for (size_t i = 0; i < lines.size(); ++i) {
        if (i) text += kCrLf;
        text += lines[i];
    }
    return text;
}

}  // namespace common
