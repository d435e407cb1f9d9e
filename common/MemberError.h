// The support classes' own error handler: inside a catch block, shows
// "Error: ", the error number, ". " and the description in a message box with
// only OK, titled with the member's name, and lets the member return normally.
#pragma once

#include <string>

namespace common {

// The separator after the number is ". " for most members; GetAppPath uses ", ".
void ShowMemberError(const std::string& member, const std::string& separator = ". ");

}  // namespace common
