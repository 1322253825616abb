#include "server/DLLModule.h"

#include <vector>

namespace Ostrel {

namespace {

// Paths are never cut at MAX_PATH: a truncated module path would register a file that does not
// exist, so the buffer grows until the whole name fits.
Text ModuleFileName(HMODULE module) {
    std::vector<char> buffer(MAX_PATH);
    for (;;) {
        const DWORD size = static_cast<DWORD>(buffer.size());
        const DWORD length = GetModuleFileNameA(module, buffer.data(), size);
        if (length == 0) {
            return Text();
        }
        if (length < size) {
            return Text(buffer.data(), static_cast<LONG>(length));
        }
        buffer.resize(buffer.size() * 2);
    }
}

// The long form of `path`, or `path` itself when the platform cannot give one.
Text LongPathName(const Text& path) {
    std::vector<char> buffer(MAX_PATH);
    for (;;) {
        const DWORD size = static_cast<DWORD>(buffer.size());
        const DWORD length = GetLongPathNameA(path.c_str(), buffer.data(), size);
        if (length == 0) {
            return path;
        }
        if (length < size) {
            return Text(buffer.data(), static_cast<LONG>(length));
        }
        buffer.resize(length);
    }
}

} // namespace

DLLModule::DLLModule(HMODULE instance)
    : modulePath(LongPathName(ModuleFileName(instance))),
      typeLibraryDirectory(DirectoryOf(modulePath)) {
    Text otherModule;
    if (BracketedModuleName(modulePath, &otherModule)) {
        // A module of that name that is not loaded gives the null handle, whose file is the
        // host executable's.
        const Text otherPath = ModuleFileName(GetModuleHandleA(otherModule.c_str()));
        if (!otherPath.IsEmpty()) {
            typeLibraryDirectory = DirectoryOf(otherPath);
        }
    }
}

Text DLLModule::DirectoryOf(const Text& path) {
    LONG separator = 0;
    if (!path.FindLastChar(PATH_SEPARATOR_CHAR, &separator)) {
        return Text();
    }
    return path.Mid(0, separator);
}

bool DLLModule::BracketedModuleName(const Text& path, Text* name) {
    LONG ending = 0;
    if (!path.FindLast("].tmp", &ending) || ending == 0) {
        return false;
    }
    const Text before = path.Mid(0, ending - 1);
    LONG bracket = 0;
    if (!before.FindLastChar('[', &bracket) || bracket + 1 >= ending) {
        return false;
    }
    *name = path.Mid(bracket + 1, ending - 1);
    return true;
}

} // namespace Ostrel
