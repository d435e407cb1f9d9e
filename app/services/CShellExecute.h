// CShellExecute: documents, folders, programs, web and mail addresses handed
// to the desktop. Each launch returns -1 on success or an error code of the
// old shell's range (2 file not found, 31 nothing to open it with); any
// error raised inside shows "Error: " with its number and description in a
// box titled with the operation's name, and the launch returns 0.
#pragma once

#include <cstdint>
#include <string>
#include <sys/types.h>

class QWidget;

class CShellExecute {
public:
    inline static constexpr int32_t kFileNotFound = 2;
    inline static constexpr int32_t kNoAssociation = 31;

    // True only while a program started by LaunchProgram still runs.
    bool StillExecuting();

    int32_t Explore(QWidget* owner, const std::string& folder, int showMode = 1);
    int32_t LaunchDocument(QWidget* owner, const std::string& document, const std::string& directory = {},
                           int showMode = 1);
    int32_t LaunchEmail(QWidget* owner, const std::string& address, int showMode = 1);
    int32_t LaunchFolder(QWidget* owner, const std::string& folder, int showMode = 1);
    int32_t LaunchProgram(QWidget* owner, const std::string& program, const std::string& parameters = {},
                          const std::string& directory = {}, int showMode = 1);
    int32_t LaunchURL(QWidget* owner, const std::string& address, int showMode = 1);
    // Printing goes to the desktop's default application for the document.
    int32_t PrintDocument(QWidget* owner, const std::string& document);

private:
    int32_t instance_ = 0;
    pid_t process_ = 0;
};
