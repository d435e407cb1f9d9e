#include "forms/GridLauncher.h"

std::vector<std::string>& GridLauncherLog() {
    static std::vector<std::string> log;
    return log;
}

void OpenDataGridWindow(const std::string& purpose, const std::string& tableName) {
    GridLauncherLog().push_back("open " + purpose + ": " + tableName);
}

void CloseDataGridWindows(const std::string& tableName) { GridLauncherLog().push_back("close " + tableName); }
