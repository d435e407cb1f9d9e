// CMemoryStatus: the system's memory figures in bytes (the load in per cent),
// each asked afresh. The page file is the swap space; the virtual figures are
// the address space of this process.
#pragma once

#include <cstdint>

class CMemoryStatus {
public:
    int64_t AvailablePageFile() const;
    int64_t AvailablePhysical() const;
    int64_t AvailableVirtual() const;
    int32_t MemoryLoad() const;
    int64_t TotalPageFile() const;
    int64_t TotalPhysical() const;
    int64_t TotalVirtual() const;
};
