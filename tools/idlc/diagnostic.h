// Compile errors carry the file and line they point at; the compiler stops at the first one.
#pragma once

#include <stdexcept>
#include <string>

namespace Ostrel::Idlc {

class CompileError : public std::runtime_error {
public:
    CompileError(const std::string& file, int line, const std::string& message)
        : std::runtime_error(file + ":" + std::to_string(line) + ": error: " + message) {}
};

} // namespace Ostrel::Idlc
