#include "ProcessMemory.h"

#include <cstdio>
#include <cstring>
#include <malloc.h>
#include <sys/resource.h>

namespace {

std::int64_t statusFieldKiB(const char *field)
{
    std::FILE *status = std::fopen("/proc/self/status", "r");
    if (!status)
        return 0;
    const std::size_t fieldLength = std::strlen(field);
    char line[256];
    std::int64_t value = 0;
    while (std::fgets(line, sizeof line, status)) {
        if (std::strncmp(line, field, fieldLength) == 0 && line[fieldLength] == ':') {
            long long kib = 0;
            if (std::sscanf(line + fieldLength + 1, "%lld", &kib) == 1)
                value = kib;
            break;
        }
    }
    std::fclose(status);
    return value;
}

} // namespace

namespace ProcessMemory {

std::int64_t residentKiB()
{
    return statusFieldKiB("VmRSS");
}

std::int64_t peakResidentKiB()
{
    return statusFieldKiB("VmHWM");
}

bool resetPeak()
{
    // Writing 5 to clear_refs resets VmHWM to the current RSS (Linux 4.0 and later).
    std::FILE *clearRefs = std::fopen("/proc/self/clear_refs", "w");
    if (!clearRefs)
        return false;
    const bool written = std::fputs("5", clearRefs) >= 0;
    const bool closed = std::fclose(clearRefs) == 0;
    return written && closed;
}

void releaseFreeHeap()
{
    malloc_trim(0);
}

std::int64_t cpuTimeNanoseconds()
{
    struct rusage usage = {};
    if (getrusage(RUSAGE_SELF, &usage) != 0)
        return 0;
    const auto nanoseconds = [](const struct timeval &time) {
        return static_cast<std::int64_t>(time.tv_sec) * 1000000000 +
               static_cast<std::int64_t>(time.tv_usec) * 1000;
    };
    return nanoseconds(usage.ru_utime) + nanoseconds(usage.ru_stime);
}

std::int64_t heapInUseBytes()
{
    const struct mallinfo2 info = mallinfo2();
    return static_cast<std::int64_t>(info.uordblks + info.hblkhd);
}

} // namespace ProcessMemory
