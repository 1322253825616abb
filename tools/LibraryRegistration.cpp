#include "LibraryRegistration.h"

#include "FailureReport.h"

#include <limits.h>
#include <stdlib.h>
#include <unistd.h>

#include <cerrno>

namespace Ostrel {

extern const RegistrationStep kRegisterStep = {"DllRegisterServer", &ComponentLibrary::Register};
extern const RegistrationStep kUnregisterStep = {"DllUnregisterServer",
                                                 &ComponentLibrary::Unregister};

namespace {

constexpr char kLibraryName[] = "libpravell.so";

std::string OwnFolder() {
    char own[PATH_MAX];
    const ssize_t length = readlink("/proc/self/exe", own, sizeof own - 1);
    if (length <= 0) {
        return {};
    }
    std::string path(own, static_cast<size_t>(length));
    return path.substr(0, path.rfind('/'));
}

bool Absolute(const std::string& candidate, std::string& resolved) {
    char real[PATH_MAX];
    if (realpath(candidate.c_str(), real) == nullptr) {
        return false;
    }
    resolved = real;
    return true;
}

bool FindDefault(std::string& path) {
    const std::string folder = OwnFolder();
    const std::string candidates[] = {
        folder + "/" + kLibraryName,
        folder + "/../" + PRAVELL_INSTALL_LIBDIR + "/" + kLibraryName,
    };
    for (const std::string& candidate : candidates) {
        if (Absolute(candidate, path)) {
            return true;
        }
    }
    ReportFailure(std::string("no ") + kLibraryName + " beside this program (" + candidates[0] +
                  ") or in its installation (" + candidates[1] + "): name the library");
    return false;
}

bool FindLibrary(const char* operand, std::string& path) {
    if (operand == nullptr) {
        return FindDefault(path);
    }
    if (!Absolute(operand, path)) {
        ReportSystemFailure(std::string("cannot find the library ") + operand, errno);
        return false;
    }
    return true;
}

} // namespace

bool RunRegistrationStep(const char* operand, const RegistrationStep& step, std::string& path) {
    if (!FindLibrary(operand, path)) {
        return false;
    }
    const ComponentLibrary library(path);
    if (!library.IsLoaded()) {
        ReportFailure("cannot load " + path + ": " + library.LoadFailure());
        return false;
    }
    if (!library.Exports(step.entryPoint)) {
        ReportFailure(path + " exports no " + step.entryPoint + ": it is not a Pravell library");
        return false;
    }
    const HRESULT status = (library.*step.call)();
    if (FAILED(status)) {
        ReportFailure(HexStatus(std::string(step.entryPoint) + " of " + path + " failed", status));
        return false;
    }
    return true;
}

} // namespace Ostrel
