// Timing and memory readings the benchmarks share.
#pragma once

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <string>

namespace bench {

using Clock = std::chrono::steady_clock;

// Seconds since a point in time.
inline double Seconds(Clock::time_point since) { return std::chrono::duration<double>(Clock::now() - since).count(); }

// Peak resident memory since the last reset, in MB (VmHWM); -1 when unknown.
inline double PeakRssMb() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmHWM:", 0) == 0) return std::atof(line.c_str() + 6) / 1024.0;
    return -1;
}

// Starts the peak resident memory afresh.
inline void ResetPeakRss() { std::ofstream("/proc/self/clear_refs") << "5"; }

}  // namespace bench
