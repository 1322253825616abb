#include "platform/com.h"
#include "transfer/ReplacementFile.h"

#include <fcntl.h>
#include <io.h>

#include <cstdint>
#include <utility>

namespace Ostrel {

namespace {

// Keeps the new file's name within the length a directory entry can have.
const size_t kLongestBaseInName = 64;
// The attributes a replaced file hands on; read-only targets are refused before any of this.
const DWORD kKeptAttributes = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM |
                              FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;

// A file on a disk, as opposed to a device, a pipe or a directory (which opens only with
// backup semantics, so it is none of these and fails as a save target).
bool IsDiskFile(const char* path) {
    const HANDLE file = CreateFileA(path, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                    nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return false;
    }
    const bool disk = GetFileType(file) == FILE_TYPE_DISK;
    CloseHandle(file);
    return disk;
}

// Asks the file system itself, as the open of a save in place would.
bool MayWrite(const char* path) {
    const HANDLE file =
        CreateFileA(path, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return false;
    }
    CloseHandle(file);
    return true;
}

// A stream over a new file whose name begins with `prefix`, created exclusively; null with the
// system's last error set when none could be made.
FILE* OpenNew(const std::string& prefix, std::string* created) {
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string name = ReplacementFile::UnusedNameCandidate(prefix);
        const HANDLE file = CreateFileA(name.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                        CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file == INVALID_HANDLE_VALUE) {
            if (GetLastError() == ERROR_FILE_EXISTS) {
                continue;
            }
            return nullptr;
        }
        const int descriptor =
            _open_osfhandle(reinterpret_cast<intptr_t>(file), _O_RDWR | _O_BINARY);
        FILE* stream = descriptor < 0 ? nullptr : _fdopen(descriptor, "w+b");
        if (stream == nullptr) {
            if (descriptor < 0) {
                CloseHandle(file);
            } else {
                _close(descriptor);
            }
            DeleteFileA(name.c_str());
            SetLastError(ERROR_NOT_ENOUGH_MEMORY);
            return nullptr;
        }
        *created = std::move(name);
        return stream;
    }
    return nullptr;
}

} // namespace

FILE* ReplacementFile::Open(const char* path) {
    Forget();
    if (path == nullptr || *path == '\0') {
        char directory[MAX_PATH + 1];
        const DWORD length = GetTempPathA(sizeof directory, directory);
        if (length == 0 || length > MAX_PATH) {
            return nullptr;
        }
        return OpenNew(std::string(directory, length) + "pravell-", &newPath);
    }
    const DWORD attributes = GetFileAttributesA(path);
    const bool exists = attributes != INVALID_FILE_ATTRIBUTES;
    if (exists && !IsDiskFile(path)) {
        return std::fopen(path, "w+b");
    }
    // A read-only file is refused whoever asks (an administrator too, and Wine's root, whose
    // file system would let it through).
    if (exists && ((attributes & FILE_ATTRIBUTE_READONLY) != 0 || !MayWrite(path))) {
        return nullptr;
    }
    if (exists) {
        replacesExisting = true;
        keptMode = attributes & kKeptAttributes;
    }
    // The new file's name is the target's with a dot before its base name and a suffix after
    // it; the folder part (with a drive letter or not) stays as the caller wrote it.
    std::string target = path;
    const size_t folderEnd = target.find_last_of("/\\:") + 1;
    FILE* stream = OpenNew(target.substr(0, folderEnd) + "." +
                               target.substr(folderEnd, kLongestBaseInName) + ".",
                           &newPath);
    if (stream != nullptr) {
        targetPath = std::move(target);
        return stream;
    }
    if (GetLastError() == ERROR_ACCESS_DENIED) {
        Forget();
        return std::fopen(path, "w+b");
    }
    return nullptr;
}

bool ReplacementFile::Commit(FILE* stream) {
    bool ok = std::fflush(stream) == 0;
    const HANDLE file = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(stream)));
    // Pipes and devices have nothing to flush to a disk.
    if (ok && GetFileType(file) == FILE_TYPE_DISK) {
        ok = FlushFileBuffers(file) != 0;
    }
    ok = std::fclose(stream) == 0 && ok;
    if (ok && replacesExisting && keptMode != 0) {
        // A file system that holds no such attributes must not block the save.
        const bool attributesKept = SetFileAttributesA(newPath.c_str(), keptMode) != 0;
        static_cast<void>(attributesKept);
    }
    if (ok && !targetPath.empty()) {
        ok = MoveFileExA(newPath.c_str(), targetPath.c_str(),
                         MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
    }
    if (!ok && !newPath.empty()) {
        SetFileAttributesA(newPath.c_str(), FILE_ATTRIBUTE_NORMAL);
        DeleteFileA(newPath.c_str());
    }
    Forget();
    return ok;
}

void ReplacementFile::Discard(FILE* stream) {
    std::fclose(stream);
    if (!newPath.empty()) {
        DeleteFileA(newPath.c_str());
    }
    Forget();
}

} // namespace Ostrel
