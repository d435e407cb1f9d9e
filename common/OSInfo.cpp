#include "OSInfo.h"

#include "MemberError.h"
#include "os/SystemInfo.h"
#include "vb/VbError.h"

namespace {

// Runs a member's body; a run-time error is shown under the member's name and
// the member returns its default.
template <class T, class Body>
T Guarded(const char* member, T fallback, Body body) {
    try {
        return body();
    } catch (...) {
        common::ShowMemberError(member);
        return fallback;
    }
}

}  // namespace

std::string COSInfo::ComputerName() const {
    return Guarded<std::string>("ComputerName", {}, [] { return os::ComputerName(); });
}

int32_t COSInfo::DisplayColors() const {
    return Guarded<int32_t>("DisplayColors", 0, [] {
        int32_t bits = os::DisplayDepth();
        if (bits <= 0) return 0;
        if (bits == 32) return -1;  // 2^32 colours do not fit
        if (bits > 30) vb::Raise(vb::err::kOverflow);
        return int32_t(1) << bits;
    });
}

std::string COSInfo::OSAdditional() const {
    return Guarded<std::string>("OSAdditional", {}, [] { return os::Kernel().version; });
}

int32_t COSInfo::OSBuild() const {
    return Guarded<int32_t>("OSBuild", 0, [] { return os::Kernel().patch; });
}

int32_t COSInfo::OSMajorVersion() const {
    return Guarded<int32_t>("OSMajorVersion", 0, [] { return os::Kernel().major; });
}

int32_t COSInfo::OSMinorVersion() const {
    return Guarded<int32_t>("OSMinorVersion", 0, [] { return os::Kernel().minor; });
}

std::string COSInfo::OSName() const {
    return Guarded<std::string>("OSName", {}, [] { return os::Kernel().name; });
}

std::string COSInfo::SystemDirectory() const {
    return Guarded<std::string>("SystemDirectory", {}, [] { return os::SystemLibraryFolder(); });
}

std::string COSInfo::TempFile(const std::string& strPrefix) const {
    return Guarded<std::string>("TempFile", {}, [&] { return os::MakeTempFile(strPrefix); });
}

std::string COSInfo::TempPath() const {
    return Guarded<std::string>("TempPath", {}, [] { return os::TempFolder(); });
}

std::string COSInfo::UserName() const {
    return Guarded<std::string>("UserName", {}, [] { return os::UserName(); });
}

std::string COSInfo::WindowsDirectory() const {
    return Guarded<std::string>("WindowsDirectory", {}, [] { return os::SystemRoot(); });
}
