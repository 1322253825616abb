// Opening the library that serves the system's classes to call one of its registration entry
// points, the way an installer does.
#pragma once

#include "host/ComponentLibrary.h"

#include <string>

namespace Ostrel {

// The entry point the command calls, by its exported name.
struct RegistrationStep {
    const char* entryPoint;
    HRESULT (ComponentLibrary::*call)() const;
};

extern const RegistrationStep kRegisterStep;
extern const RegistrationStep kUnregisterStep;

// Loads the library that `operand` names (null: libpravell.so beside this program, else in the
// library folder of the installation this program belongs to) and takes the step; says why on
// standard error when it cannot. `path` receives the absolute path of the library.
bool RunRegistrationStep(const char* operand, const RegistrationStep& step, std::string& path);

} // namespace Ostrel
