// The program's name, titles, maker's addresses, settings and the paths of
// its files. A leaf: it reaches no window, so any part of the program may
// include it.
#pragma once

#include <string>

class CProgramSettings;

namespace program {

// "Quantara": the title of every message box and of the error report.
inline constexpr const char* kAppTitle = "Quantara";
// The frame's caption.
inline constexpr const char* kProgramTitle = "Quantara Scenario Designer";
inline constexpr const char* kMakerKey = "Zelk";
inline constexpr const char* kMainBranch = "SOFTWARE";
// Addresses of the maker that the Help menu and the error dialog open.
inline constexpr const char* kProductWebPage = "https://www.zelk.example/quantara";
inline constexpr const char* kSupportWebPage = "https://www.zelk.example/support";
inline constexpr const char* kHomePage = "https://www.zelk.example/";
inline constexpr const char* kSupportMail = "support@zelk.example";

// "Quantara".
std::string GetProductName();

// The settings object of the key SOFTWARE\Zelk\Quantara\6.0\Settings.
CProgramSettings& Settings();

// The folder of the executable, with one trailing "/".
std::string ProgramFolder();
// Files the program only reads, beside the executable.
std::string HelpFilePath();
std::string ReadmePath();
// The user's state folder for Merivox ($XDG_STATE_HOME/Merivox, else
// ~/.local/state/Merivox), created owner-only when missing; with a trailing "/".
std::string StateFolder();
// The error report the program writes: error.log in the state folder.
std::string ErrorLogPath();

}  // namespace program
