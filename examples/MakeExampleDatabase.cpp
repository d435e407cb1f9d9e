// merivox-example <path>: writes the example database. An argument that
// starts with "-" is an option, never a path: -h and --help print the usage
// and write nothing; any other option is refused.
#include <cstdio>
#include <string_view>

#include "ErrorStack.h"
#include "ExampleDatabase.h"
#include "vb/VbError.h"

namespace {

constexpr const char* kUsage =
    "usage: merivox-example <database path>\n"
    "       merivox-example -h | --help\n"
    "Writes the example database (a blood-pressure study and five saved scenarios) to the path.\n";

}  // namespace

int main(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg == "-h" || arg == "--help") {
            std::fputs(kUsage, stdout);
            return 0;
        }
    }
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg.starts_with("-")) {
            std::fprintf(stderr, "merivox-example: unknown option %s\n%s", argv[i], kUsage);
            return 2;
        }
    }
    if (argc != 2) {
        std::fputs(kUsage, stderr);
        return 2;
    }
    try {
        example::BuildExampleDatabase(argv[1]);
    } catch (const vb::VbError& e) {
        std::fprintf(stderr, "merivox-example: %s\n", e.Description().c_str());
        return 1;
    }
    return 0;
}
