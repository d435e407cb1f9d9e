// The error report: a plain-text description of the error, of the call stack
// where it happened and of the machine, which HandleError writes to its file.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace common {

// What the report tells of an error: the error stack's state when it was handled.
struct ErrorFacts {
    std::string description;
    int32_t number = 0;
    std::string procedure;  // the entry at the stack's depth
    // The stack's entries from level 0 up to its upper bound ("" for an empty level).
    std::vector<std::string> procedures;
    int32_t scenarioNumber = 0;
    std::string currentOperation;
};

// The report of the error, lines separated by CR LF.
std::string FormatErrorReport(const ErrorFacts& error);

// What the report needs to know of the data engine: its workgroup file and
// its version. The program connects both to its DBEngine at start; until then
// the report's two lines stay empty.

struct DataEngineFacts {
    std::function<std::string()> systemDB;  // DBEngine.SystemDB
    std::function<std::string()> version;   // DBEngine.Version
};

void SetDataEngineFacts(DataEngineFacts facts);

}  // namespace common
