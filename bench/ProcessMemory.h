#ifndef PROCESSMEMORY_H
#define PROCESSMEMORY_H

// Memory figures of the running process, read from /proc/self/status and from the allocator.
//
// A measured operation runs in a process of its own. Before it starts, the process returns its free
// heap to the system and resets its resident-set high-water mark, so that the mark read afterwards
// holds the peak of that operation alone, on top of what the process already held.

#include <cstdint>

namespace ProcessMemory {

// Current resident set size (VmRSS), in KiB; 0 when it cannot be read.
std::int64_t residentKiB();
// Peak resident set size since start or since the last resetPeak() (VmHWM), in KiB.
std::int64_t peakResidentKiB();
// Sets the high-water mark back to the current resident set size. Returns false when the kernel
// does not allow it (then peakResidentKiB() is the peak since the process started).
bool resetPeak();
// Hands free heap pages back to the system, so that memory freed by earlier work does not serve
// the next operation unseen.
void releaseFreeHeap();
// User plus system CPU time the process has used so far, in nanoseconds.
std::int64_t cpuTimeNanoseconds();
// Bytes of heap currently allocated (small blocks and separately mapped large blocks).
std::int64_t heapInUseBytes();

} // namespace ProcessMemory

#endif // PROCESSMEMORY_H
