// Module information over the dynamic loader. A handle from dlopen is the loader's own record of
// the library, so a handle is recognised by asking the loader for the handle of every loaded
// object (without keeping the reference) and comparing; anything else is taken as an address and
// looked up with dladdr. Nothing here dereferences the handle it is given.
#include "platform/module.h"

#include <dlfcn.h>
#include <link.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

namespace {

std::atomic<UINT> errorMode{0};

std::string ExecutablePath() {
    std::string path(256, '\0');
    for (;;) {
        ssize_t length = readlink("/proc/self/exe", &path[0], path.size());
        if (length < 0) {
            return {};
        }
        if (static_cast<size_t>(length) < path.size()) {
            path.resize(static_cast<size_t>(length));
            return path;
        }
        path.resize(path.size() * 2);
    }
}

// The file mapped at `address`, as the kernel names it: absolute, whatever name the library was
// loaded by. Empty when no file is mapped there.
std::string MappedFileAt(const void* address) {
    std::ifstream maps("/proc/self/maps");
    const auto wanted = reinterpret_cast<uintptr_t>(address);
    for (std::string line; std::getline(maps, line);) {
        unsigned long long start = 0, end = 0;
        int pathStart = 0;
        // A line that does not match is skipped: the kernel writes these fields.
        // NOLINTNEXTLINE(cert-err34-c)
        if (std::sscanf(line.c_str(), "%llx-%llx %*s %*s %*s %*s %n", &start, &end, &pathStart) <
                2 ||
            wanted < start || wanted >= end || pathStart == 0 || line[pathStart] != '/') {
            continue;
        }
        std::string path = line.substr(static_cast<size_t>(pathStart));
        const std::string deleted = " (deleted)";
        if (path.size() > deleted.size() &&
            path.compare(path.size() - deleted.size(), deleted.size(), deleted) == 0) {
            path.resize(path.size() - deleted.size());
        }
        return path;
    }
    return {};
}

// Windows always answers a full path. A library loaded by a relative name keeps that name in the
// loader, and it would mean another file once the process changes directory, so such a name is
// replaced by the file mapped at an address inside the library.
std::string FullName(const char* loaderName, const void* inside) {
    if (loaderName[0] == '/' || loaderName[0] == '\0') {
        return loaderName;
    }
    std::string mapped = MappedFileAt(inside);
    return mapped.empty() ? loaderName : mapped;
}

int CollectName(dl_phdr_info* info, size_t, void* names) {
    try {
        static_cast<std::vector<std::string>*>(names)->push_back(
            info->dlpi_name == nullptr ? "" : FullName(info->dlpi_name, info->dlpi_phdr));
        return 0;
    } catch (...) {
        return 1;
    }
}

// The file names of the loaded objects in the loader's order; the executable comes first, under
// its real path.
std::vector<std::string> LoadedFileNames() {
    std::vector<std::string> names;
    dl_iterate_phdr(CollectName, &names);
    if (!names.empty() && names.front().empty()) {
        names.front() = ExecutablePath();
    }
    return names;
}

// The handle that dlopen gives for a loaded object, without keeping the reference it takes.
HMODULE HandleOf(const std::string& fileName, bool executable) {
    void* handle = dlopen(executable ? nullptr : fileName.c_str(), RTLD_LAZY | RTLD_NOLOAD);
    if (handle != nullptr) {
        dlclose(handle);
    }
    // cppcheck-suppress deallocret ; the object stays loaded: dlclose gave back only our reference
    return handle;
}

bool FileOfHandle(HMODULE module, std::string& fileName) {
    std::vector<std::string> names = LoadedFileNames();
    for (size_t i = 0; i < names.size(); ++i) {
        if (HandleOf(names[i], i == 0) == module) {
            fileName = names[i];
            return true;
        }
    }
    return false;
}

bool FileOfAddress(const void* address, std::string& fileName) {
    Dl_info info{};
    link_map* map = nullptr;
    if (dladdr1(address, &info, reinterpret_cast<void**>(&map), RTLD_DL_LINKMAP) == 0 ||
        map == nullptr) {
        return false;
    }
    fileName = map->l_name != nullptr && map->l_name[0] != '\0' ? FullName(map->l_name, address)
                                                                : ExecutablePath();
    return true;
}

bool ModuleFileName(HMODULE module, std::string& fileName) {
    if (module == nullptr) {
        fileName = ExecutablePath();
        return !fileName.empty();
    }
    return FileOfHandle(module, fileName) || FileOfAddress(module, fileName);
}

std::string BaseName(const std::string& path) {
    size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

bool SameFile(const std::string& a, const std::string& b) {
    if (a == b) {
        return true;
    }
    char* realA = realpath(a.c_str(), nullptr);
    char* realB = realpath(b.c_str(), nullptr);
    bool same = realA != nullptr && realB != nullptr && std::strcmp(realA, realB) == 0;
    std::free(realA);
    std::free(realB);
    return same;
}

// Windows' truncation: as much as fits, always terminated, and the buffer size as the answer.
DWORD CopyTruncated(const std::string& text, LPSTR buffer, DWORD size) {
    if (buffer == nullptr && size != 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    if (size == 0) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    if (text.size() >= size) {
        std::memcpy(buffer, text.data(), size - 1);
        buffer[size - 1] = '\0';
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return size;
    }
    std::memcpy(buffer, text.c_str(), text.size() + 1);
    return static_cast<DWORD>(text.size());
}

DWORD ErrorFromErrno(int error) {
    switch (error) {
    case ENOENT:
        return ERROR_FILE_NOT_FOUND;
    case ENOTDIR:
    case ELOOP:
    case ENAMETOOLONG:
        return ERROR_PATH_NOT_FOUND;
    case EACCES:
        return ERROR_ACCESS_DENIED;
    case ENOMEM:
        return ERROR_NOT_ENOUGH_MEMORY;
    default:
        return ERROR_INVALID_PARAMETER;
    }
}

} // namespace

extern "C" DWORD GetModuleFileNameA(HMODULE module, LPSTR fileName, DWORD size) {
    try {
        std::string path;
        if (!ModuleFileName(module, path)) {
            SetLastError(ERROR_MOD_NOT_FOUND);
            return 0;
        }
        return CopyTruncated(path, fileName, size);
    } catch (...) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return 0;
    }
}

extern "C" DWORD GetLongPathNameA(LPCSTR shortPath, LPSTR longPath, DWORD size) {
    if (shortPath == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    char* resolved = realpath(shortPath, nullptr);
    if (resolved == nullptr) {
        SetLastError(ErrorFromErrno(errno));
        return 0;
    }
    // realpath answers at most PATH_MAX bytes, so the length fits a DWORD.
    size_t length = std::strlen(resolved);
    DWORD result = static_cast<DWORD>(length + 1); // the size needed, terminator included
    if (longPath != nullptr && size > length) {
        std::memcpy(longPath, resolved, length + 1);
        result = static_cast<DWORD>(length);
    }
    std::free(resolved);
    return result;
}

extern "C" HMODULE GetModuleHandleA(LPCSTR moduleName) {
    try {
        if (moduleName == nullptr) {
            return HandleOf("", true);
        }
        const std::string wanted(moduleName);
        const bool byPath = wanted.find('/') != std::string::npos;
        std::vector<std::string> names = LoadedFileNames();
        for (size_t i = 0; i < names.size(); ++i) {
            if (names[i].empty()) {
                continue;
            }
            if (byPath ? SameFile(names[i], wanted) : BaseName(names[i]) == wanted) {
                if (HMODULE handle = HandleOf(names[i], i == 0)) {
                    return handle;
                }
            }
        }
        SetLastError(ERROR_MOD_NOT_FOUND);
        return nullptr;
    } catch (...) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
}

extern "C" UINT SetErrorMode(UINT mode) {
    return errorMode.exchange(mode);
}
