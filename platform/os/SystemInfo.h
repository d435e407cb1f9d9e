// Facts of the running Linux system: kernel, user and host names, folders,
// temporary files, free disk space, memory figures, the display's colour
// depth and the versions of the shared libraries this process has loaded.
// Each call asks the system afresh; a failing system call gives an empty or
// zero value, never an exception.
#pragma once

#include <cstdint>
#include <string>

namespace os {

// --- kernel (uname) ------------------------------------------------------------
struct KernelInfo {
    std::string name;     // "Linux"
    std::string release;  // "6.1.0-13-amd64"
    std::string version;  // "#1 SMP PREEMPT_DYNAMIC Debian 6.1.55-1 (2023-09-29)"
    int32_t major = 0;    // leading numbers of the release: 6, 1, 0
    int32_t minor = 0;
    int32_t patch = 0;
};
KernelInfo Kernel();

// --- names ---------------------------------------------------------------------
// Login name of the effective user (getpwuid), "" when it has none.
std::string UserName();
// The host name (gethostname).
std::string ComputerName();

// --- folders ---------------------------------------------------------------------
// Root of the installed system: "/".
std::string SystemRoot();
// Folder the C library was loaded from ("/usr/lib/x86_64-linux-gnu").
std::string SystemLibraryFolder();

// --- temporary files -------------------------------------------------------------
// $TMPDIR when it names a folder, else "/tmp"; always with one trailing "/".
std::string TempFolder();
// Creates a new empty file (owner-only) in TempFolder() named by up to the
// first three characters of `prefix`, a random part and ".tmp", and returns
// its full path; never the same name twice, even across processes. "" on failure.
std::string MakeTempFile(const std::string& prefix);

// --- disks -------------------------------------------------------------------------
// Bytes free to an unprivileged caller on the file system holding `path`
// (statvfs); -1 when the call fails.
double FreeDiskBytes(const std::string& path);

// --- memory (/proc/meminfo, the process's address space) ----------------------------
struct MemoryInfo {
    int64_t totalPhysical = 0;
    int64_t availablePhysical = 0;  // MemAvailable
    int64_t totalSwap = 0;
    int64_t freeSwap = 0;
    int64_t totalVirtual = 0;      // address space a process may use
    int64_t availableVirtual = 0;  // of which not yet mapped by this process
    int32_t memoryLoad = 0;        // per cent of physical memory in use, 0 to 100
};
MemoryInfo Memory();

// --- display -------------------------------------------------------------------------
// Bits per pixel of the screen, as the program's window system reports it at
// start (SetDisplayDepth); 0 when no display is known (the engine, tests).
int32_t DisplayDepth();
void SetDisplayDepth(int32_t bitsPerPixel);

// --- libraries -------------------------------------------------------------------------
// Full path of the loaded shared object whose file name is `stem` or begins
// with `stem` followed by "." (stem "libsqlite3.so" finds libsqlite3.so.0);
// "" when none is loaded.
std::string LoadedLibraryPath(const std::string& stem);
// Version of a file: for a library loaded in this process that can tell its
// own version (SQLite, libsodium, the C library, Qt) that version; otherwise
// the numbers after ".so." in the real name of a shared object
// ("libstdc++.so.6.0.30" gives "6.0.30"); "" for a missing file, a file that
// is no ELF object, or one without a version.
std::string FileVersion(const std::string& path);

}  // namespace os
