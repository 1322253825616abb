#include "ServerLibrary.h"

#include "FailureReport.h"
#include "platform/com.h"

#include <dlfcn.h>
#include <limits.h>
#include <stdlib.h>
#include <unistd.h>

#include <cerrno>

namespace Ostrel {

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

} // namespace

ServerLibrary::ServerLibrary(const char* operand) : operand(operand) {}

ServerLibrary::~ServerLibrary() {
    if (handle != nullptr) {
        dlclose(handle);
    }
}

bool ServerLibrary::FindDefault() {
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

bool ServerLibrary::Load() {
    if (operand == nullptr) {
        if (!FindDefault()) {
            return false;
        }
    } else if (!Absolute(operand, path)) {
        ReportSystemFailure(std::string("cannot find the library ") + operand, errno);
        return false;
    }
    handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle == nullptr) {
        const char* reason = dlerror();
        ReportFailure("cannot load " + path + ": " + (reason != nullptr ? reason : "unknown"));
        return false;
    }
    return true;
}

bool ServerLibrary::Call(const char* entryPoint) {
    using EntryPoint = HRESULT (*)();
    auto function = reinterpret_cast<EntryPoint>(dlsym(handle, entryPoint));
    if (function == nullptr) {
        ReportFailure(path + " exports no " + entryPoint + ": it is not a Pravell library");
        return false;
    }
    const HRESULT status = function();
    if (FAILED(status)) {
        ReportFailure(HexStatus(std::string(entryPoint) + " of " + path + " failed", status));
        return false;
    }
    return true;
}

} // namespace Ostrel
