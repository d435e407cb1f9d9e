// merivox-example <path>: writes the example database.
#include <cstdio>

#include "ErrorStack.h"
#include "ExampleDatabase.h"
#include "vb/VbError.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: merivox-example <database path>\n");
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
