// The one way the program opens and closes data-grid windows: the scenario
// list and the wizard ask here, so the grid window itself can change behind it.
#pragma once

#include <string>
#include <vector>

// Opens a new grid window on `tableName`, captioned "<purpose>: <tableName>".
void OpenDataGridWindow(const std::string& purpose, const std::string& tableName);
// Closes every grid window whose caption ends with ": " and `tableName`.
void CloseDataGridWindows(const std::string& tableName);

// What the launcher was asked so far, oldest first: "open <purpose>: <table>"
// and "close <table>".
std::vector<std::string>& GridLauncherLog();
