// main() of every GoogleTest program here: a child process started by one of
// its tests (TestChild.h) runs its routine; otherwise the tests run.
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <cstdio>
#include <filesystem>
#include <map>
#include <string_view>
#include <thread>

#include "TestChild.h"

extern char** environ;

namespace testchild {
namespace {

constexpr std::string_view kChildFlag = "--child=";

std::map<std::string, Body>& Routines() {
    static std::map<std::string, Body> routines;
    return routines;
}

class ChildTest : public ::testing::Test {
public:
    ChildTest(Body body, std::vector<std::string> args) : body_(body), args_(std::move(args)) {}
    void TestBody() override { body_(args_); }

private:
    Body body_;
    std::vector<std::string> args_;
};

}  // namespace

bool Add(const char* name, Body body) { return Routines().emplace(name, body).second; }

std::vector<std::string> ChildCommand(const std::string& name, const std::vector<std::string>& args) {
    std::vector<std::string> command = {std::filesystem::read_symlink("/proc/self/exe").string(),
                                        std::string(kChildFlag) + name};
    command.insert(command.end(), args.begin(), args.end());
    return command;
}

Process::Process(std::vector<std::string> command) {
    std::vector<char*> argv;
    for (std::string& a : command) argv.push_back(a.data());
    argv.push_back(nullptr);
    if (command.empty() || posix_spawnp(&pid_, argv[0], nullptr, nullptr, argv.data(), environ) != 0) pid_ = -1;
}

Process::~Process() {
    if (pid_ > 0 && !ended_) {
        ::kill(pid_, SIGKILL);
        ::waitpid(pid_, &status_, 0);
    }
}

namespace {

// Waits up to `limit` for `pid` to end; true when it has (its status in `status`).
bool ReapWithin(pid_t pid, std::chrono::milliseconds limit, int& status) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    for (;;) {
        if (::waitpid(pid, &status, WNOHANG) == pid) return true;
        if (std::chrono::steady_clock::now() >= deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

int ExitCodeOf(int status) { return WIFEXITED(status) ? WEXITSTATUS(status) : -1; }

}  // namespace

int WaitForChild(pid_t pid, std::chrono::milliseconds limit) {
    int status = 0;
    if (!ReapWithin(pid, limit, status)) {
        std::fprintf(stderr, "process %d still running after %lld ms: killed\n", int(pid),
                     static_cast<long long>(limit.count()));
        ::kill(pid, SIGKILL);
        ::waitpid(pid, &status, 0);
        return -1;
    }
    return ExitCodeOf(status);
}

bool Process::WaitUpTo(std::chrono::milliseconds limit) {
    if (pid_ > 0 && !ended_) ended_ = ReapWithin(pid_, limit, status_);
    return ended_;
}

int Process::Finish(std::chrono::milliseconds limit) {
    if (pid_ <= 0) return -1;
    if (ended_) return ExitCodeOf(status_);
    ended_ = true;
    return WaitForChild(pid_, limit);
}

bool RunChild(int argc, char** argv, int& exitCode) {
    if (argc < 2 || !std::string_view(argv[1]).starts_with(kChildFlag)) return false;
    const std::string name(std::string_view(argv[1]).substr(kChildFlag.size()));
    const auto found = Routines().find(name);
    if (found == Routines().end()) {
        std::fprintf(stderr, "no child routine %s\n", name.c_str());
        exitCode = 2;
        return true;
    }
    const Body body = found->second;
    std::vector<std::string> args(argv + 2, argv + argc);
    ::testing::RegisterTest("TestChild", name.c_str(), nullptr, nullptr, __FILE__, __LINE__,
                            [body, args]() -> ::testing::Test* { return new ChildTest(body, args); });
    std::string filter = "--gtest_filter=TestChild." + name;
    std::string brief = "--gtest_brief=1";
    char* childArgv[] = {argv[0], filter.data(), brief.data(), nullptr};
    int childArgc = 3;
    ::testing::InitGoogleTest(&childArgc, childArgv);
    exitCode = RUN_ALL_TESTS();
    return true;
}

}  // namespace testchild

int main(int argc, char** argv) {
    if (int exitCode = 0; testchild::RunChild(argc, argv, exitCode)) return exitCode;
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
