// Sleeping on a word of memory until another thread changes it: the layer's locks are built on
// it, so that a thread waits without spinning and a free lock costs no system call.
#pragma once

#include <linux/futex.h>
#include <sys/syscall.h>
#include <time.h>
#include <unistd.h>

#include <atomic>
#include <cstdint>

namespace Ostrel {

// Sleeps while `word` holds `expected`, until woken or for at most `nanoseconds`; returns at once
// when the word already differs. Waking early is harmless: callers look at the word again.
inline void FutexWait(std::atomic<uint32_t>& word, uint32_t expected, long nanoseconds) {
    const timespec limit = {nanoseconds / 1000000000L, nanoseconds % 1000000000L};
    syscall(SYS_futex, reinterpret_cast<uint32_t*>(&word), FUTEX_WAIT_PRIVATE, expected, &limit,
            nullptr, 0);
}

// Wakes up to `threads` threads sleeping on `word`.
inline void FutexWake(std::atomic<uint32_t>& word, int threads) {
    syscall(SYS_futex, reinterpret_cast<uint32_t*>(&word), FUTEX_WAKE_PRIVATE, threads, nullptr,
            nullptr, 0);
}

} // namespace Ostrel
