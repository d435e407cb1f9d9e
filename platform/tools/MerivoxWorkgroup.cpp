// Administrators' tool for workgroup information files and database passwords.
//   merivox-workgroup create <workgroup file>            (account "Admin", empty password)
//   merivox-workgroup account <workgroup file> <user> <password>
//   merivox-workgroup dbpassword <database> <password>   (empty password clears it)
// The build runs "create --replace" to lay down Merivox.MDW beside the program.
#include <cstdio>
#include <filesystem>
#include <string>

#include "dao/Dao.h"

int main(int argc, char** argv) {
    std::string cmd = argc > 1 ? argv[1] : "";
    try {
        if (cmd == "create" && (argc == 3 || (argc == 4 && std::string(argv[2]) == "--replace"))) {
            std::string path = argv[argc - 1];
            if (argc == 4) {
                for (const char* suffix : {"", "-journal", "-wal", "-shm"}) std::filesystem::remove(path + suffix);
            }
            dao::CreateWorkgroupFile(path);
            return 0;
        }
        if (cmd == "account" && argc == 5) {
            dao::SetAccount(argv[2], argv[3], argv[4]);
            return 0;
        }
        if (cmd == "dbpassword" && argc == 4) {
            dao::SetDatabasePassword(argv[2], argv[3]);
            return 0;
        }
    } catch (const vb::VbError& e) {
        std::fprintf(stderr, "merivox-workgroup: %d: %s\n", e.Number(), e.Description().c_str());
        return 1;
    }
    std::fprintf(stderr, "usage: merivox-workgroup create [--replace] <workgroup file>\n"
                         "       merivox-workgroup account <workgroup file> <user> <password>\n"
                         "       merivox-workgroup dbpassword <database> <password>\n");
    return 2;
}
