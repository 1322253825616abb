#include "platform/memory.h"

#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <map>
#include <mutex>

namespace {

constexpr size_t kHugePage = size_t{2} << 20;

// The length of every region handed out, by its start: VirtualFree gets only the start.
std::mutex regionsGuard;
std::map<uintptr_t, size_t> regions;

size_t PageSize() {
    static const size_t size = static_cast<size_t>(sysconf(_SC_PAGESIZE));
    return size;
}

size_t RoundUp(size_t value, size_t unit) {
    return (value + unit - 1) / unit * unit;
}

// A mapping of `length` bytes starting on an `alignment` boundary: a larger mapping with its
// unaligned head and the tail beyond the length given back at once.
void* MapAligned(size_t length, size_t alignment) {
    const size_t mapped = length + alignment;
    // cppcheck-suppress invalidFunctionArg ; an anonymous mapping takes the descriptor -1
    void* start = mmap(nullptr, mapped, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (start == MAP_FAILED) {
        return nullptr;
    }
    const auto first = reinterpret_cast<uintptr_t>(start);
    const uintptr_t aligned = RoundUp(first, alignment);
    if (aligned != first) {
        munmap(start, aligned - first);
    }
    const uintptr_t end = first + mapped;
    if (aligned + length != end) {
        munmap(reinterpret_cast<void*>(aligned + length), end - aligned - length);
    }
    return reinterpret_cast<void*>(aligned);
}

} // namespace

extern "C" LPVOID VirtualAlloc(LPVOID address, SIZE_T size, DWORD allocationType, DWORD protect) {
    if (address != nullptr || size == 0 || allocationType != (MEM_COMMIT | MEM_RESERVE) ||
        protect != PAGE_READWRITE || size > SIZE_MAX / 2) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    const size_t length = RoundUp(size, PageSize());
    // Aligned, a large region can be backed by huge pages wherever the system's setting puts them
    // under all anonymous memory. It is not advised to take them where the setting leaves that to
    // programs: on virtual machines that hand freed memory back to their host, a huge page's
    // first touch costs more than the small pages it replaces (a 30 MiB load measured about 25%
    // slower), and the system knows its hardware better than a library does.
    void* region = MapAligned(length, length >= kHugePage ? kHugePage : PageSize());
    if (region == nullptr) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    try {
        const std::lock_guard<std::mutex> lock(regionsGuard);
        regions.emplace(reinterpret_cast<uintptr_t>(region), length);
    } catch (...) {
        munmap(region, length);
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    return region;
}

extern "C" BOOL VirtualFree(LPVOID address, SIZE_T size, DWORD freeType) {
    if (size != 0 || freeType != MEM_RELEASE) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    size_t length = 0;
    {
        const std::lock_guard<std::mutex> lock(regionsGuard);
        const auto found = regions.find(reinterpret_cast<uintptr_t>(address));
        if (found == regions.end()) {
            SetLastError(ERROR_INVALID_PARAMETER);
            return FALSE;
        }
        length = found->second;
        regions.erase(found);
    }
    munmap(address, length);
    return TRUE;
}
