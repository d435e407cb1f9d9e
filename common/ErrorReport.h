// The error report: a plain-text description of the error, of the call stack
// where it happened and of the machine, which HandleError writes to its file.
#pragma once

#include <functional>
#include <string>

class CErr_Zelk;

namespace common {

// The report of the error the stack holds, lines separated by CR LF.
std::string FormatErrorReport(const CErr_Zelk& stack);

// What the report needs to know of the data engine: its workgroup file and
// its version. The program connects both to its DBEngine at start; until then
// the report's two lines stay empty.

struct DataEngineFacts {
    std::function<std::string()> systemDB;  // DBEngine.SystemDB
    std::function<std::string()> version;   // DBEngine.Version
};

void SetDataEngineFacts(DataEngineFacts facts);

}  // namespace common
