// COSInfo: facts of the operating system, each asked afresh when read. On
// Linux the members the error report prints stand for: OSName the kernel's
// name (uname), the versions and build the kernel release's numbers and its
// version text, WindowsDirectory the root of the installed system,
// SystemDirectory the folder of the system's libraries.
#pragma once

#include <cstdint>
#include <string>

class COSInfo {
public:
    std::string ComputerName() const;
    // 2 to the power of the screen's bits per pixel; -1 for 32 bits; 0 when
    // no display is known.
    int32_t DisplayColors() const;
    // The kernel's version text ("#1 SMP PREEMPT_DYNAMIC Debian 6.1.55-1 ...").
    std::string OSAdditional() const;
    // Third number of the kernel release.
    int32_t OSBuild() const;
    int32_t OSMajorVersion() const;
    int32_t OSMinorVersion() const;
    // The kernel's name ("Linux").
    std::string OSName() const;
    std::string SystemDirectory() const;
    // A new, empty, uniquely named file in the temporary folder, named from up
    // to three characters of the prefix; its full path ("" on failure).
    std::string TempFile(const std::string& strPrefix) const;
    // The temporary folder, with a trailing "/".
    std::string TempPath() const;
    std::string UserName() const;
    std::string WindowsDirectory() const;
};
