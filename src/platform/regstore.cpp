#include "platform/regstore.h"

#include "platform/debuglog.h"
#include "platform/regfile.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace Ostrel {

namespace {

LONG ErrorFromErrno(int error, LONG otherwise) {
    switch (error) {
    case EACCES:
    case EPERM:
    case EROFS:
        return ERROR_ACCESS_DENIED;
    case ENOMEM:
        return ERROR_NOT_ENOUGH_MEMORY;
    default:
        return otherwise;
    }
}

class FileDescriptor {
public:
    explicit FileDescriptor(int fd = -1) : fd(fd) {}
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    ~FileDescriptor() { Close(); }

    int Get() const { return fd; }
    void Reset(int newFd) {
        Close();
        fd = newFd;
    }
    // Answers whether the descriptor closed cleanly, which for a written file is the last
    // chance to hear about a failed write.
    bool Close() {
        int closing = fd;
        fd = -1;
        return closing < 0 || close(closing) == 0;
    }

private:
    int fd;
};

std::string HomeDirectory() {
    const char* home = std::getenv("HOME");
    if (home != nullptr && *home != '\0') {
        return home;
    }
    std::vector<char> buffer(16384);
    passwd entry{};
    passwd* found = nullptr;
    if (getpwuid_r(getuid(), &entry, buffer.data(), buffer.size(), &found) == 0 &&
        found != nullptr && found->pw_dir != nullptr) {
        return found->pw_dir;
    }
    return {};
}

std::string DirectoryOf(const std::string& path) {
    size_t slash = path.rfind('/');
    if (slash == std::string::npos) {
        return ".";
    }
    return slash == 0 ? "/" : path.substr(0, slash);
}

// Follows a symbolic link to the registry file so that the link itself stays in place.
std::string ResolvedPath(const std::string& path) {
    char* resolved = realpath(path.c_str(), nullptr);
    if (resolved == nullptr) {
        return path;
    }
    std::string result(resolved);
    std::free(resolved);
    return result;
}

int MakeDirectories(const std::string& directory) {
    for (size_t at = 1; at <= directory.size(); ++at) {
        if (at != directory.size() && directory[at] != '/') {
            continue;
        }
        std::string prefix = directory.substr(0, at);
        if (mkdir(prefix.c_str(), 0700) != 0 && errno != EEXIST) {
            return errno;
        }
    }
    return 0;
}

// An flock on "<registry>.lock", held until destroyed. The lock lives on its own file because
// the registry file itself is replaced by every write.
class RegistryLock {
public:
    int Acquire(const std::string& registryPath, int operation) {
        std::string lockPath = registryPath + ".lock";
        fd.Reset(open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644));
        if (fd.Get() < 0 && (errno == EACCES || errno == EROFS)) {
            fd.Reset(open(lockPath.c_str(), O_RDONLY | O_CLOEXEC));
        }
        if (fd.Get() < 0) {
            return errno;
        }
        while (flock(fd.Get(), operation) != 0) {
            if (errno != EINTR) {
                return errno;
            }
        }
        return 0;
    }

private:
    FileDescriptor fd;
};

struct FileContents {
    bool exists = false;
    mode_t mode = 0;
    std::string text;
};

LONG ReadFile(const std::string& path, FileContents& contents) {
    FileDescriptor fd(open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (fd.Get() < 0) {
        return errno == ENOENT ? ERROR_SUCCESS : ErrorFromErrno(errno, ERROR_CANTREAD);
    }
    struct stat status {};
    if (fstat(fd.Get(), &status) != 0) {
        return ErrorFromErrno(errno, ERROR_CANTREAD);
    }
    contents.exists = true;
    contents.mode = status.st_mode & 07777;
    char buffer[65536];
    for (;;) {
        ssize_t count = read(fd.Get(), buffer, sizeof buffer);
        if (count == 0) {
            return ERROR_SUCCESS;
        }
        if (count < 0 && errno != EINTR) {
            return ErrorFromErrno(errno, ERROR_CANTREAD);
        }
        if (count > 0) {
            contents.text.append(buffer, static_cast<size_t>(count));
        }
    }
}

LONG ReadRegistry(const std::string& path, RegistryKey& root, FileContents& contents) {
    LONG result = ReadFile(path, contents);
    if (result != ERROR_SUCCESS || !contents.exists) {
        return result;
    }
    std::string problem;
    if (!ParseRegistry(contents.text, root, problem)) {
        PlatformDebug("registry file %s is damaged (%s); it is left as it is", path.c_str(),
                      problem.c_str());
        return ERROR_BADDB;
    }
    return ERROR_SUCCESS;
}

bool WriteAll(int fd, const std::string& text) {
    const char* at = text.data();
    size_t left = text.size();
    while (left != 0) {
        ssize_t count = write(fd, at, left);
        if (count < 0 && errno != EINTR) {
            return false;
        }
        if (count > 0) {
            at += count;
            left -= static_cast<size_t>(count);
        }
    }
    return true;
}

// A new name beside the registry that no other writer uses: readers never look at these, and
// one left behind by a crash is ignored.
int CreateTemporary(const std::string& path, std::string& temporaryPath) {
    static std::atomic<unsigned> counter{0};
    for (;;) {
        temporaryPath = path + ".tmp-" + std::to_string(getpid()) + "-" + std::to_string(++counter);
        int fd = open(temporaryPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
        if (fd >= 0 || errno != EEXIST) {
            return fd;
        }
    }
}

void SyncDirectory(const std::string& directory) {
    FileDescriptor fd(open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (fd.Get() >= 0) {
        fsync(fd.Get());
    }
}

// Either the whole new text replaces the file, or the old file stays as it was.
LONG ReplaceFile(const std::string& path, const std::string& text, const FileContents& old) {
    std::string temporaryPath;
    FileDescriptor fd(CreateTemporary(path, temporaryPath));
    if (fd.Get() < 0) {
        return ErrorFromErrno(errno, ERROR_CANTWRITE);
    }
    bool written = WriteAll(fd.Get(), text) && (!old.exists || fchmod(fd.Get(), old.mode) == 0) &&
                   fsync(fd.Get()) == 0;
    int error = errno;
    if (!fd.Close() && written) {
        written = false;
        error = errno;
    }
    if (written && rename(temporaryPath.c_str(), path.c_str()) != 0) {
        written = false;
        error = errno;
    }
    if (!written) {
        unlink(temporaryPath.c_str());
        PlatformDebug("registry file %s could not be written: %s", path.c_str(), strerror(error));
        return ErrorFromErrno(error, ERROR_CANTWRITE);
    }
    SyncDirectory(DirectoryOf(path));
    return ERROR_SUCCESS;
}

} // namespace

std::string RegistryFilePath() {
    const char* overridden = std::getenv("PRAVELL_REGISTRY");
    if (overridden != nullptr && *overridden != '\0') {
        return overridden;
    }
    std::string base;
    const char* dataHome = std::getenv("XDG_DATA_HOME");
    if (dataHome != nullptr && dataHome[0] == '/') {
        base = dataHome;
    } else {
        std::string home = HomeDirectory();
        if (home.empty()) {
            return {};
        }
        base = home + "/.local/share";
    }
    return base + "/pravell/registry";
}

LONG LoadRegistry(RegistryKey& root) {
    std::string configured = RegistryFilePath();
    if (configured.empty()) {
        return ERROR_CANTOPEN;
    }
    std::string path = ResolvedPath(configured);
    // Without a lock file (no directory yet, or one this user cannot write), the read still sees
    // a whole file: writers only ever rename complete files into place.
    RegistryLock lock;
    lock.Acquire(path, LOCK_SH);
    FileContents contents;
    return ReadRegistry(path, root, contents);
}

LONG UpdateRegistry(const RegistryChange& change) {
    std::string configured = RegistryFilePath();
    if (configured.empty()) {
        return ERROR_CANTOPEN;
    }
    std::string path = ResolvedPath(configured);
    if (int error = MakeDirectories(DirectoryOf(path))) {
        return ErrorFromErrno(error, ERROR_PATH_NOT_FOUND);
    }
    RegistryLock lock;
    if (int error = lock.Acquire(path, LOCK_EX)) {
        return ErrorFromErrno(error, ERROR_CANTOPEN);
    }
    RegistryKey root("");
    FileContents contents;
    LONG result = ReadRegistry(path, root, contents);
    if (result != ERROR_SUCCESS) {
        return result;
    }
    bool changed = false;
    result = change(root, changed);
    if (result != ERROR_SUCCESS || !changed) {
        return result;
    }
    return ReplaceFile(path, FormatRegistry(root), contents);
}

} // namespace Ostrel
