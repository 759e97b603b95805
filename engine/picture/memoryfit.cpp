#include "memoryfit.h"

#include "bitmap.h"
#include "budgets.h"

#include <fstream>
#include <string>

#if defined(_WIN32)
#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#endif

namespace ornamo {

std::optional<std::uint64_t> availableMemory() {
#if defined(_WIN32)
    MEMORYSTATUSEX status{};
    status.dwLength = sizeof(status);
    if (GlobalMemoryStatusEx(&status))
        return static_cast<std::uint64_t>(status.ullAvailPhys);
    return std::nullopt;
#else
    std::ifstream meminfo("/proc/meminfo");
    std::string key;
    std::uint64_t value = 0;
    std::string unit;
    while (meminfo >> key >> value) {
        std::getline(meminfo, unit);
        if (key == "MemAvailable:")
            return value * 1024;
    }
    return std::nullopt;
#endif
}

bool fitsInMemory(std::uint64_t needed, std::uint64_t held) {
    if (needed <= held)
        return true;
    const auto available = availableMemory();
    if (!available)
        return true;
    const std::uint64_t margin = budget::memoryMargin;
    const std::uint64_t usable = *available > margin ? *available - margin : 0;
    return needed - held <= usable;
}

} // namespace ornamo
