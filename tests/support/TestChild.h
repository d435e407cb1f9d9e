// Routines that a test runs in a process of its own: the test program started
// again with --child=NAME and the routine's arguments (ChildCommand). main()
// sees that argument before anything else runs and makes the routine the one
// test of that process, so its checks decide the exit code; it is registered
// only then, so no listing of the program's tests shows it.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <string>
#include <vector>

namespace testchild {

using Body = void (*)(const std::vector<std::string>& args);

// Remembers a routine by name (run by main, never at static initialization).
bool Add(const char* name, Body body);

// The command line that starts this program as the named child with `args`.
std::vector<std::string> ChildCommand(const std::string& name, const std::vector<std::string>& args);

// A process a test starts (found on PATH when the command names no folder),
// with its environment. Every wait on it has a deadline; one still running
// when its object goes is killed.
class Process {
public:
    explicit Process(std::vector<std::string> command);
    ~Process();
    Process(const Process&) = delete;
    Process& operator=(const Process&) = delete;

    // Waits until it ends or `limit` has passed; true when it has ended.
    bool WaitUpTo(std::chrono::milliseconds limit);
    bool Ended() const { return ended_; }
    // Waits up to `limit` and kills it if it is still running then. Its exit
    // code; -1 when it could not be started, ended by a signal or was killed.
    int Finish(std::chrono::milliseconds limit);

private:
    pid_t pid_ = -1;
    int status_ = 0;
    bool ended_ = false;
};

// Waits up to `limit` for the child `pid` (forked by this process) to end,
// killing it then. Its exit code; -1 when it ended by a signal or was killed.
int WaitForChild(pid_t pid, std::chrono::milliseconds limit);

// main()'s part: runs the child named by argv[1] when there is one.
// Returns false when this process is no child.
bool RunChild(int argc, char** argv, int& exitCode);

}  // namespace testchild

// TEST_CHILD(Name) { ... } defines a routine with its checks (EXPECT_*,
// ASSERT_*), reading `args`.
#define TEST_CHILD(name)                                                                                               \
    void name##ChildBody(const std::vector<std::string>& args);                                                        \
    [[maybe_unused]] const bool name##ChildAdded = ::testchild::Add(#name, name##ChildBody);                           \
    void name##ChildBody([[maybe_unused]] const std::vector<std::string>& args)
