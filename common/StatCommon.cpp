#include "StatCommon.h"

#include <vector>

#include "MemberError.h"
#include "os/SystemInfo.h"
#include "ui/UiServices.h"
#include "vb/App.h"

std::string GetProductRegKey() { return "Quantara\\6.0"; }

bool ParsePath(const std::string& path, std::string& drive, std::string& directory, std::string& fileName,
               std::string& extension) {
    try {
        std::string s = path;
        if (s.size() >= 2 && s[1] == ':') {
            drive = s.substr(0, 2);
            s = s.substr(2);
        }
        bool found = false;
        // Scan from the end: every point cuts the rest off (keeping 1 to 3
        // characters as the extension); the first separator with 1 to 8
        // characters after it ends the file name.
        for (size_t b = s.size(); b >= 1; --b) {
            char c = s[b - 1];
            size_t e = s.size() - b;
            if (c == '.') {
                if (e >= 1 && e <= 3) extension = s.substr(b - 1, e + 1);
                s.resize(b - 1);
            } else if (c == '\\' || c == '/') {
                if (e >= 1 && e <= 8) {
                    fileName = s.substr(b, e);
                    s.resize(b);
                    found = true;
                    break;
                }
            }
        }
        if (found)
            directory = s;
        else
            fileName = s;
        return true;
    } catch (...) {
        common::ShowMemberError("ParsePath");
        return false;
    }
}

vb::Variant GetAppPath() {
    std::string path;
    try {
        path = vb::App().path;
        if (path.empty() || path.back() != '/') path += '/';
        return vb::Variant(path);
    } catch (...) {
        common::ShowMemberError("GetAppPath_Err", ", ");
        try {
            ui::MsgBox("apppath: " + path);
        } catch (...) {}
        return {};
    }
}

double GetDriveFreeSpace(const std::string& drive) {
    double bytes = os::FreeDiskBytes(drive);
    return bytes < 0 ? 0 : bytes;
}

std::string GetFileVersion(const std::string& fileName) {
    std::string result;
    try {
        std::string version = os::FileVersion(fileName);
        if (version.empty()) return result;
        std::vector<std::string> parts;
        size_t start = 0;
        while (parts.size() < 4) {
            size_t dot = version.find('.', start);
            parts.push_back(version.substr(start, dot == std::string::npos ? std::string::npos : dot - start));
            if (dot == std::string::npos) break;
            start = dot + 1;
        }
        while (parts.size() < 4) parts.push_back("0");
        for (size_t i = 0; i < parts.size(); ++i) result += (i ? "." : "") + (parts[i].empty() ? "0" : parts[i]);
        return result;
    } catch (...) {
        common::ShowMemberError("GetFileVersion");
        return result;
    }
}
