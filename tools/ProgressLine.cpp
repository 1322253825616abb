#include "ProgressLine.h"

#include <unistd.h>

#include <cstdio>

namespace Ostrel {

namespace {

constexpr std::chrono::milliseconds kInterval(250);

} // namespace

ProgressLine::ProgressLine()
    : enabled(isatty(STDERR_FILENO) == 1), nextUpdate(Clock::now() + kInterval) {}

ProgressLine::~ProgressLine() {
    Finish();
}

void ProgressLine::Add(uint64_t bytes) {
    total += bytes;
    if (!enabled) {
        return;
    }
    const Clock::time_point now = Clock::now();
    if (now < nextUpdate) {
        return;
    }
    nextUpdate = now + kInterval;
    std::fprintf(stderr, "\rpravell: %llu bytes read", static_cast<unsigned long long>(total));
    std::fflush(stderr);
    shown = true;
}

void ProgressLine::Finish() {
    if (shown) {
        // Back to the start of the line and clear it, so that what follows starts clean.
        std::fputs("\r\033[K", stderr);
        std::fflush(stderr);
        shown = false;
    }
}

} // namespace Ostrel
