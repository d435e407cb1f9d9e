// Administrators' tool for workgroup information files and database passwords.
//   merivox-workgroup create <workgroup file>       (account "Admin", empty password)
//   merivox-workgroup account <workgroup file> <user>
//   merivox-workgroup dbpassword <database>         (an empty password clears it)
// Passwords are never taken from the command line, where every user of the
// machine can read them in the process list: they are asked for on the
// terminal without echo, or read as one line from standard input.
// The build runs "create --replace" to lay down Merivox.MDW beside the program.
#include <termios.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <iostream>
#include <string>

#include "dao/Dao.h"

namespace {

std::string ReadLine() {
    std::string line;
    if (!std::getline(std::cin, line) && line.empty()) return {};
    if (!line.empty() && line.back() == '\r') line.pop_back();
    return line;
}

// Asks on the terminal with echo off; false when the terminal cannot be used.
bool AskOnTerminal(const char* prompt, std::string& answer) {
    termios old{};
    if (tcgetattr(STDIN_FILENO, &old) != 0) return false;
    termios quiet = old;
    quiet.c_lflag &= static_cast<tcflag_t>(~ECHO);
    std::fputs(prompt, stderr);
    std::fflush(stderr);
    if (tcsetattr(STDIN_FILENO, TCSAFLUSH, &quiet) != 0) return false;
    answer = ReadLine();
    tcsetattr(STDIN_FILENO, TCSAFLUSH, &old);
    std::fputc('\n', stderr);
    return true;
}

// The new password: from the terminal (typed twice) or from standard input.
bool ReadPassword(std::string& password) {
    if (isatty(STDIN_FILENO)) {
        std::string again;
        if (!AskOnTerminal("New password: ", password) || !AskOnTerminal("Type it again: ", again)) return false;
        if (password != again) {
            std::fprintf(stderr, "merivox-workgroup: the two passwords differ; nothing was changed.\n");
            return false;
        }
        return true;
    }
    password = ReadLine();
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    std::string cmd = argc > 1 ? argv[1] : "";
    try {
        if (cmd == "create" && (argc == 3 || (argc == 4 && std::string(argv[2]) == "--replace"))) {
            std::string path = argv[argc - 1];
            if (argc == 4) {
                // Only a file is replaced: a folder (empty or not) or any
                // other kind of entry under that name is left as it is.
                const char* suffixes[] = {"", "-journal", "-wal", "-shm"};
                for (const char* suffix : suffixes) {
                    const std::string entry = path + suffix;
                    std::error_code ec;
                    const auto status = std::filesystem::symlink_status(entry, ec);
                    if (std::filesystem::exists(status) && !std::filesystem::is_regular_file(status)) {
                        std::fprintf(stderr, "merivox-workgroup: '%s' is not a file; only a file is replaced.\n",
                                     entry.c_str());
                        return 1;
                    }
                }
                for (const char* suffix : suffixes) {
                    const std::string entry = path + suffix;
                    std::error_code ec;
                    if (!std::filesystem::remove(entry, ec) && ec) {
                        std::fprintf(stderr, "merivox-workgroup: '%s' cannot be removed: %s\n", entry.c_str(),
                                     ec.message().c_str());
                        return 1;
                    }
                }
            }
            dao::CreateWorkgroupFile(path);
            return 0;
        }
        if (cmd == "account" && argc == 4) {
            std::string password;
            if (!ReadPassword(password)) return 1;
            dao::SetAccount(argv[2], argv[3], password);
            return 0;
        }
        if (cmd == "dbpassword" && argc == 3) {
            std::string password;
            if (!ReadPassword(password)) return 1;
            dao::SetDatabasePassword(argv[2], password);
            return 0;
        }
    } catch (const vb::VbError& e) {
        std::fprintf(stderr, "merivox-workgroup: %d: %s\n", e.Number(), e.Description().c_str());
        return 1;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "merivox-workgroup: %s\n", e.what());
        return 1;
    }
    std::fprintf(stderr, "usage: merivox-workgroup create [--replace] <workgroup file>\n"
                         "       merivox-workgroup account <workgroup file> <user>\n"
                         "       merivox-workgroup dbpassword <database>\n"
                         "The password is asked for on the terminal, or read as one line from standard input.\n");
    return 2;
}
