#include "os/SystemInfo.h"

#include <dlfcn.h>
#include <fcntl.h>
#include <gnu/libc-version.h>
#include <link.h>
#include <pwd.h>
#include <sodium.h>
#include <sys/random.h>
#include <sys/resource.h>
#include <sys/statvfs.h>
#include <sys/utsname.h>
#include <unistd.h>

#include <atomic>
#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <vector>

#include "dao/SqliteVersion.h"

namespace os {
namespace {

namespace fs = std::filesystem;

std::atomic<int32_t> g_displayDepth{0};

// Leading decimal numbers of `text` separated by points ("6.1.0-13" -> 6, 1, 0).
std::vector<int64_t> LeadingNumbers(std::string_view text) {
    std::vector<int64_t> out;
    size_t i = 0;
    while (i < text.size() && std::isdigit(static_cast<unsigned char>(text[i]))) {
        int64_t n = 0;
        while (i < text.size() && std::isdigit(static_cast<unsigned char>(text[i]))) {
            if (n < INT32_MAX) n = n * 10 + (text[i] - '0');
            ++i;
        }
        out.push_back(n);
        if (i < text.size() && text[i] == '.')
            ++i;
        else
            break;
    }
    return out;
}

std::string BaseName(const std::string& path) {
    size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

bool NameMatches(const std::string& name, const std::string& stem) {
    return name == stem ||
           (name.size() > stem.size() && name.compare(0, stem.size(), stem) == 0 && name[stem.size()] == '.');
}

std::vector<std::string> LoadedObjects() {
    std::vector<std::string> paths;
    dl_iterate_phdr(
        [](dl_phdr_info* info, size_t, void* data) {
            if (info->dlpi_name && *info->dlpi_name)
                static_cast<std::vector<std::string>*>(data)->push_back(info->dlpi_name);
            return 0;
        },
        &paths);
    return paths;
}

std::string RealPath(const std::string& path) {
    std::error_code ec;
    fs::path real = fs::canonical(path, ec);
    return ec ? std::string() : real.string();
}

bool IsElf(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    char magic[4] = {};
    return in.read(magic, 4) && std::memcmp(magic,
                                            "\x7f"
                                            "ELF",
                                            4) == 0;
}

// The version a loaded library reports of itself, "" when it has no way to tell.
std::string OwnVersion(const std::string& name) {
    if (NameMatches(name, "libsqlite3.so")) return dao::SqliteVersion();
    if (NameMatches(name, "libsodium.so")) return sodium_version_string();
    if (NameMatches(name, "libc.so")) return gnu_get_libc_version();
    if (name.rfind("libQt6", 0) == 0) {
        // qVersion() of Qt's core library, looked up without Qt's headers.
        using QVersion = const char* (*)();
        if (auto fn = reinterpret_cast<QVersion>(dlsym(RTLD_DEFAULT, "_Z8qVersionv"))) return fn();
    }
    return {};
}

int64_t MemInfoBytes(const std::string& content, const char* label) {
    std::string key = std::string("\n") + label + ":";
    size_t at = ("\n" + content).find(key);
    if (at == std::string::npos) return 0;
    std::istringstream in(content.substr(at + key.size() - 1));
    int64_t kb = 0;
    in >> kb;
    return kb * 1024;
}

std::string ReadText(const char* path) {
    std::ifstream in(path);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

}  // namespace

KernelInfo Kernel() {
    KernelInfo k;
    utsname u{};
    if (::uname(&u) != 0) return k;
    k.name = u.sysname;
    k.release = u.release;
    k.version = u.version;
    auto numbers = LeadingNumbers(k.release);
    if (numbers.size() > 0) k.major = static_cast<int32_t>(numbers[0]);
    if (numbers.size() > 1) k.minor = static_cast<int32_t>(numbers[1]);
    if (numbers.size() > 2) k.patch = static_cast<int32_t>(numbers[2]);
    return k;
}

std::string UserName() {
    std::vector<char> buf(16384);
    passwd pw{};
    passwd* result = nullptr;
    if (::getpwuid_r(::geteuid(), &pw, buf.data(), buf.size(), &result) != 0 || !result) return {};
    return result->pw_name ? result->pw_name : "";
}

std::string ComputerName() {
    char buf[HOST_NAME_MAX + 1] = {};
    if (::gethostname(buf, sizeof buf - 1) != 0) return {};
    return buf;
}

std::string SystemRoot() { return "/"; }

std::string SystemLibraryFolder() {
    for (const auto& path : LoadedObjects()) {
        if (NameMatches(BaseName(path), "libc.so")) {
            std::string real = RealPath(path);
            return fs::path(real.empty() ? path : real).parent_path().string();
        }
    }
    return {};
}

std::string TempFolder() {
    std::string folder = "/tmp";
    const char* env = std::getenv("TMPDIR");
    std::error_code ec;
    if (env && *env == '/' && fs::is_directory(env, ec)) folder = env;
    while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
    if (folder.back() != '/') folder += '/';
    return folder;
}

std::string MakeTempFile(const std::string& prefix) {
    std::string name = TempFolder() + prefix.substr(0, 3) + "XXXXXX.tmp";
    std::vector<char> buf(name.begin(), name.end());
    buf.push_back('\0');
    int fd = ::mkstemps(buf.data(), 4);  // created with O_EXCL and mode 0600
    if (fd < 0) return {};
    ::close(fd);
    return buf.data();
}

double FreeDiskBytes(const std::string& path) {
    struct statvfs st {};
    if (path.empty() || ::statvfs(path.c_str(), &st) != 0) return -1;
    return static_cast<double>(st.f_bavail) * static_cast<double>(st.f_frsize);
}

MemoryInfo Memory() {
    MemoryInfo m;
    std::string info = ReadText("/proc/meminfo");
    m.totalPhysical = MemInfoBytes(info, "MemTotal");
    m.availablePhysical = MemInfoBytes(info, "MemAvailable");
    m.totalSwap = MemInfoBytes(info, "SwapTotal");
    m.freeSwap = MemInfoBytes(info, "SwapFree");
    if (m.totalPhysical > 0) {
        int64_t used = m.totalPhysical - m.availablePhysical;
        if (used < 0) used = 0;
        m.memoryLoad = static_cast<int32_t>(used * 100 / m.totalPhysical);
    }

    // A process may use the user half of the address space, or less under a limit.
    int64_t total = sizeof(void*) == 8 ? (int64_t(1) << 47) : (int64_t(3) << 30);
    rlimit limit{};
    if (::getrlimit(RLIMIT_AS, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY &&
        static_cast<int64_t>(limit.rlim_cur) < total)
        total = static_cast<int64_t>(limit.rlim_cur);
    m.totalVirtual = total;
    int64_t mapped = MemInfoBytes(ReadText("/proc/self/status"), "VmSize");
    m.availableVirtual = total > mapped ? total - mapped : 0;
    return m;
}

int32_t DisplayDepth() { return g_displayDepth.load(); }
void SetDisplayDepth(int32_t bitsPerPixel) { g_displayDepth.store(bitsPerPixel < 0 ? 0 : bitsPerPixel); }

std::string LoadedLibraryPath(const std::string& stem) {
    for (const auto& path : LoadedObjects())
        if (NameMatches(BaseName(path), stem)) return path;
    return {};
}

std::string FileVersion(const std::string& path) {
    std::string real = RealPath(path);
    if (real.empty() || !fs::is_regular_file(real) || !IsElf(real)) return {};
    // A library loaded here answers for itself.
    for (const auto& loaded : LoadedObjects()) {
        if (RealPath(loaded) == real) {
            std::string own = OwnVersion(BaseName(loaded));
            if (!own.empty()) return own;
            break;
        }
    }
    std::string name = BaseName(real);
    size_t so = name.find(".so.");
    if (so == std::string::npos) return {};
    std::string suffix = name.substr(so + 4);
    auto numbers = LeadingNumbers(suffix);
    std::string out;
    for (size_t i = 0; i < numbers.size(); ++i) out += (i ? "." : "") + std::to_string(numbers[i]);
    return out;
}

}  // namespace os
