#include "MemoryStatus.h"

#include "MemberError.h"
#include "os/SystemInfo.h"

namespace {

template <class T, class Field>
T Figure(const char* member, Field field) {
    try {
        return static_cast<T>(field(os::Memory()));
    } catch (...) {
        common::ShowMemberError(member);
        return 0;
    }
}

}  // namespace

int64_t CMemoryStatus::AvailablePageFile() const {
    return Figure<int64_t>("AvailablePageFile", [](const os::MemoryInfo& m) { return m.freeSwap; });
}
int64_t CMemoryStatus::AvailablePhysical() const {
    return Figure<int64_t>("AvailablePhysical", [](const os::MemoryInfo& m) { return m.availablePhysical; });
}
int64_t CMemoryStatus::AvailableVirtual() const {
    return Figure<int64_t>("AvailableVirtual", [](const os::MemoryInfo& m) { return m.availableVirtual; });
}
int32_t CMemoryStatus::MemoryLoad() const {
    return Figure<int32_t>("MemoryLoad", [](const os::MemoryInfo& m) { return m.memoryLoad; });
}
int64_t CMemoryStatus::TotalPageFile() const {
    return Figure<int64_t>("TotalPageFile", [](const os::MemoryInfo& m) { return m.totalSwap; });
}
int64_t CMemoryStatus::TotalPhysical() const {
    return Figure<int64_t>("TotalPhysical", [](const os::MemoryInfo& m) { return m.totalPhysical; });
}
int64_t CMemoryStatus::TotalVirtual() const {
    return Figure<int64_t>("TotalVirtual", [](const os::MemoryInfo& m) { return m.totalVirtual; });
}
