// What the error report needs to know of the data engine: its workgroup file
// and its version. The program connects both to its DBEngine at start; until
// then the report's two lines stay empty.
#pragma once

#include <functional>
#include <string>

namespace common {

struct DataEngineFacts {
    std::function<std::string()> systemDB;  // DBEngine.SystemDB
    std::function<std::string()> version;   // DBEngine.Version
};

void SetDataEngineFacts(DataEngineFacts facts);

}  // namespace common
