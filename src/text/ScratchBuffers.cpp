#include "text/ScratchBuffers.h"

namespace Ostrel {

namespace {

struct Scratch {
    char buffers[ScratchBuffers::kCount][ScratchBuffers::kSize];
    bool inUse[ScratchBuffers::kCount];
    // A free buffer, or null.
    char* free;
};

Scratch scratch = {{}, {}, scratch.buffers[0]};

char* FirstFree() {
    for (LONG i = 0; i < ScratchBuffers::kCount; ++i) {
        if (!scratch.inUse[i]) {
            return scratch.buffers[i];
        }
    }
    return nullptr;
}

} // namespace

char* ScratchBuffers::Take() {
    char* buffer = scratch.free;
    if (buffer == nullptr) {
        return nullptr;
    }
    scratch.inUse[(buffer - scratch.buffers[0]) / kSize] = true;
    scratch.free = FirstFree();
    return buffer;
}

void ScratchBuffers::GiveBack(const char* buffer) {
    for (LONG i = 0; i < kCount; ++i) {
        if (scratch.buffers[i] == buffer) {
            scratch.inUse[i] = false;
            if (scratch.free == nullptr) {
                scratch.free = scratch.buffers[i];
            }
            return;
        }
    }
}

LONG ScratchBuffers::FreeCount() {
    LONG free = 0;
    for (bool used : scratch.inUse) {
        free += used ? 0 : 1;
    }
    return free;
}

} // namespace Ostrel
