// Opening a table or saved query of the current database for a data grid
// window, with the messages both grid windows give when it cannot be opened.
#pragma once

#include <QString>
#include <memory>
#include <string>

class DataGridModel;

// The rows of `tableName` as a read-only snapshot in a grid model; null
// after telling the user why it could not be opened (no such table or
// query, or any other failure with its number and description).
std::unique_ptr<DataGridModel> OpenGridTable(const std::string& tableName);

// "<caption>: <table>", the caption of a grid window.
QString GridCaption(const std::string& caption, const std::string& tableName);
