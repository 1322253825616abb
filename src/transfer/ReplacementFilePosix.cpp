#include "transfer/ReplacementFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <utility>

namespace Ostrel {

namespace {

// As the kernel's own limit on links followed in one lookup.
const int kMostLinks = 40;
// Keeps the new file's name within the length a directory entry can have.
const size_t kLongestBaseInName = 64;

std::string DirectoryOf(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    if (slash == std::string::npos) {
        return ".";
    }
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string BaseOf(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// The path at the end of a chain of symbolic links (the path itself when it is none, whether or
// not that file exists); false for a loop or an unreadable link.
bool FollowLinks(std::string path, std::string* resolved) {
    for (int hop = 0; hop <= kMostLinks; ++hop) {
        struct stat info {};
        if (lstat(path.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) {
            *resolved = path;
            return true;
        }
        char link[4096];
        const ssize_t length = readlink(path.c_str(), link, sizeof link);
        if (length <= 0 || static_cast<size_t>(length) == sizeof link) {
            return false;
        }
        const std::string next(link, static_cast<size_t>(length));
        path = next[0] == '/' ? next : DirectoryOf(path).append("/").append(next);
    }
    errno = ELOOP;
    return false;
}

// Asks the file system itself, as the open of a save in place would: opening for writing
// without truncating changes nothing.
bool MayWrite(const std::string& path) {
    const int descriptor = open(path.c_str(), O_WRONLY | O_CLOEXEC);
    if (descriptor < 0) {
        return false;
    }
    close(descriptor);
    return true;
}

// Creates a new file under an unused name that begins with `prefix`, exclusively, as mkstemp
// does, but with the given permissions (less the umask). -1 with errno set when no name could
// be had.
int CreateUnique(const std::string& prefix, mode_t permissions, std::string* created) {
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string name = ReplacementFile::UnusedNameCandidate(prefix);
        const int descriptor =
            open(name.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, permissions);
        if (descriptor >= 0) {
            *created = std::move(name);
            return descriptor;
        }
        if (errno != EEXIST) {
            return -1;
        }
    }
    return -1;
}

// A stream over a new file made by CreateUnique; null with errno set when none could be made.
FILE* OpenNew(const std::string& prefix, mode_t permissions, std::string* created) {
    const int descriptor = CreateUnique(prefix, permissions, created);
    if (descriptor < 0) {
        return nullptr;
    }
    FILE* stream = fdopen(descriptor, "w+b");
    if (stream == nullptr) {
        const int error = errno;
        close(descriptor);
        unlink(created->c_str());
        created->clear();
        errno = error;
    }
    return stream;
}

// Only a privileged process may give a file away; the group alone may still be kept. A file
// system that holds no owners or modes must not block the save, so failures are ignored. The
// owner goes first: changing it clears the set-id bits that the mode then restores.
void KeepAttributes(int descriptor, mode_t mode, uid_t owner, gid_t group) {
    if (fchown(descriptor, owner, group) != 0) {
        const bool groupKept = fchown(descriptor, static_cast<uid_t>(-1), group) == 0;
        static_cast<void>(groupKept);
    }
    const bool modeKept = fchmod(descriptor, mode) == 0;
    static_cast<void>(modeKept);
}

} // namespace

FILE* ReplacementFile::Open(const char* path) {
    Forget();
    if (path == nullptr || *path == '\0') {
        const char* directory = std::getenv("TMPDIR");
        return OpenNew(
            std::string(directory != nullptr && *directory != '\0' ? directory : "/tmp") +
                "/pravell-",
            0600, &newPath);
    }
    std::string target;
    if (!FollowLinks(path, &target)) {
        return nullptr;
    }
    struct stat info {};
    const bool exists = stat(target.c_str(), &info) == 0;
    if (exists && !S_ISREG(info.st_mode)) {
        return std::fopen(target.c_str(), "w+b");
    }
    if (exists && !MayWrite(target)) {
        return nullptr;
    }
    if (exists) {
        replacesExisting = true;
        keptMode = info.st_mode & 07777;
        keptOwner = info.st_uid;
        keptGroup = info.st_gid;
    }
    const std::string base = BaseOf(target).substr(0, kLongestBaseInName);
    // Private until Commit gives it the replaced file's mode.
    FILE* stream = OpenNew(DirectoryOf(target) + "/." + base + ".", exists ? 0600 : 0666, &newPath);
    if (stream != nullptr) {
        targetPath = std::move(target);
        return stream;
    }
    if (errno == EACCES || errno == EPERM) {
        Forget();
        return std::fopen(target.c_str(), "w+b");
    }
    return nullptr;
}

bool ReplacementFile::Commit(FILE* stream) {
    bool ok = std::fflush(stream) == 0;
    const int descriptor = fileno(stream);
    struct stat info {};
    // Pipes and devices have nothing to sync.
    if (ok && fstat(descriptor, &info) == 0 && S_ISREG(info.st_mode)) {
        ok = fsync(descriptor) == 0;
    }
    if (ok && replacesExisting) {
        KeepAttributes(descriptor, keptMode, keptOwner, keptGroup);
    }
    ok = std::fclose(stream) == 0 && ok;
    if (ok && !targetPath.empty()) {
        ok = std::rename(newPath.c_str(), targetPath.c_str()) == 0;
    }
    if (!ok && !newPath.empty()) {
        unlink(newPath.c_str());
    }
    Forget();
    return ok;
}

void ReplacementFile::Discard(FILE* stream) {
    std::fclose(stream); // NOLINT(cert-err33-c): the file is removed next
    if (!newPath.empty()) {
        unlink(newPath.c_str());
    }
    Forget();
}

} // namespace Ostrel
