// CWinHelp: the program's help file behind named operations. The help file
// is an HTML document of numbered topics shown in the program's help window.
// Each operation catches its own errors and shows "Error: " with the number
// and description in a box titled with the operation's name.
#pragma once

#include <cstdint>
#include <string>

class CWinHelp {
public:
    const std::string& HelpFile() const { return helpFile_; }
    void HelpFile(const std::string& value) { helpFile_ = value; }

    void CloseFile();
    void HelpOnHelp();
    void OpenContents();
    void OpenFinder();
    void OpenContext(int32_t contextId);
    // There is no macro language in this help system: nothing happens.
    void RunMacro(const std::string& macro);
    void SearchDialog();
    void SearchFor(const std::string& keyword);

private:
    std::string helpFile_;
};
