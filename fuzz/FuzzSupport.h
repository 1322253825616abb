// What the fuzz targets share: how a finding is reported, the pending message of a model, and a
// scratch folder of the process's own.
#pragma once

#include "model/XMLModel.h"

#include <cstddef>
#include <cstdint>
#include <string>

namespace Ostrel::Fuzzing {

// Prints what went wrong and stops the process the way libFuzzer records as a crash, so that the
// input is kept.
[[noreturn]] void Finding(const std::string& what);

// The fuzzer's bytes as a string, every byte kept (NULs included).
inline std::string Bytes(const uint8_t* data, size_t size) {
    return std::string(reinterpret_cast<const char*>(data), size);
}

// The model's pending failure text.
std::string PendingError(XMLModel& model);

// The model saved as a string; a failed save is a finding.
std::string SavedText(XMLModel& model, const char* which);

// A folder of this process's own, removed at exit.
const std::string& ScratchFolder();

} // namespace Ostrel::Fuzzing
