// The line on standard error that tells someone watching a terminal how far a long read got.
// Only a terminal gets it, never a file or a pipe; it appears once a read has taken longer than
// a moment, changes a few times per second at most, and is erased when the read ends.
#pragma once

#include <chrono>
#include <cstdint>

namespace Ostrel {

class ProgressLine {
public:
    ProgressLine();
    ~ProgressLine();
    ProgressLine(const ProgressLine&) = delete;
    ProgressLine& operator=(const ProgressLine&) = delete;

    void Add(uint64_t bytes);
    // Erases the line, if one is shown.
    void Finish();

private:
    using Clock = std::chrono::steady_clock;

    bool enabled;
    bool shown = false;
    uint64_t total = 0;
    Clock::time_point nextUpdate;
};

} // namespace Ostrel
