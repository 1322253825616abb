#include "transfer/ReplacementFile.h"

#include <chrono>
#include <exception>
#include <random>

namespace Ostrel {

namespace {

uint64_t Seed() {
    static int here = 0;
    uint64_t seed =
        static_cast<uint64_t>(reinterpret_cast<uintptr_t>(&here)) << 20 ^
        static_cast<uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count());
    try {
        std::random_device device;
        seed ^= static_cast<uint64_t>(device()) << 32 | device();
    } catch (const std::exception&) {
        // The clock and the address still make names unlikely to meet; the exclusive create
        // settles the rest.
    }
    return seed;
}

} // namespace

std::string ReplacementFile::UnusedNameCandidate(const std::string& prefix) {
    static const char kDigits[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    // One generator a thread: saves on two threads never share its state.
    thread_local std::mt19937_64 random(Seed());
    std::string name = prefix;
    for (int i = 0; i < 6; ++i) {
        name += kDigits[random() % (sizeof kDigits - 1)];
    }
    return name;
}

void ReplacementFile::Forget() {
    newPath.clear();
    targetPath.clear();
    replacesExisting = false;
}

} // namespace Ostrel
