#include "transfer/ReplacementFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <exception>
#include <random>
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
        struct stat info;
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
        path = next[0] == '/' ? next : DirectoryOf(path) + "/" + next;
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

uint64_t Seed() {
    static uint64_t calls = 0;
    uint64_t seed =
        ++calls ^ static_cast<uint64_t>(getpid()) << 40 ^
        static_cast<uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count());
    try {
        std::random_device device;
        seed ^= static_cast<uint64_t>(device()) << 32 | device();
    } catch (const std::exception&) {
        // The clock and the counter still make names unlikely to meet; O_EXCL settles the rest.
    }
    return seed;
}

// Creates `prefix` followed by six letters or digits, exclusively, as mkstemp does, but with
// the given permissions (less the umask). -1 with errno set when no name could be had.
int CreateUnique(const std::string& prefix, mode_t permissions, std::string* created) {
    static const char kDigits[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    std::mt19937_64 random(Seed());
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string name = prefix;
        for (int i = 0; i < 6; ++i) {
            name += kDigits[random() % (sizeof kDigits - 1)];
        }
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

} // namespace

FILE* ReplacementFile::Open(const char* path) {
    Forget();
    if (path == nullptr || *path == '\0') {
        const char* directory = std::getenv("TMPDIR");
        return OpenNew(
            std::string(directory != nullptr && *directory != '\0' ? directory : "/tmp") +
                "/pravell-",
            0600);
    }
    std::string target;
    if (!FollowLinks(path, &target)) {
        return nullptr;
    }
    struct stat info;
    const bool exists = stat(target.c_str(), &info) == 0;
    if (exists && !S_ISREG(info.st_mode)) {
        return std::fopen(target.c_str(), "w+b");
    }
    if (exists && !MayWrite(target)) {
        return nullptr;
    }
    if (exists) {
        replacesExisting = true;
        targetMode = info.st_mode & 07777;
        targetOwner = info.st_uid;
        targetGroup = info.st_gid;
    }
    const std::string base = BaseOf(target).substr(0, kLongestBaseInName);
    // Private until Commit gives it the replaced file's mode.
    FILE* stream = OpenNew(DirectoryOf(target) + "/." + base + ".", exists ? 0600 : 0666);
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

FILE* ReplacementFile::OpenNew(const std::string& prefix, mode_t permissions) {
    const int descriptor = CreateUnique(prefix, permissions, &newPath);
    if (descriptor < 0) {
        return nullptr;
    }
    FILE* stream = fdopen(descriptor, "w+b");
    if (stream == nullptr) {
        const int error = errno;
        close(descriptor);
        unlink(newPath.c_str());
        newPath.clear();
        errno = error;
    }
    return stream;
}

bool ReplacementFile::Commit(FILE* stream) {
    bool ok = std::fflush(stream) == 0;
    const int descriptor = fileno(stream);
    struct stat info;
    // Pipes and devices have nothing to sync.
    if (ok && fstat(descriptor, &info) == 0 && S_ISREG(info.st_mode)) {
        ok = fsync(descriptor) == 0;
    }
    if (ok && replacesExisting) {
        KeepAttributes(descriptor);
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
    std::fclose(stream);
    if (!newPath.empty()) {
        unlink(newPath.c_str());
    }
    Forget();
}

void ReplacementFile::KeepAttributes(int descriptor) const {
    // Only a privileged process may give a file away; the group alone may still be kept. A file
    // system that holds no owners or modes must not block the save, so failures are ignored.
    // The owner goes first: changing it clears the set-id bits that the mode then restores.
    if (fchown(descriptor, targetOwner, targetGroup) != 0) {
        const bool groupKept = fchown(descriptor, static_cast<uid_t>(-1), targetGroup) == 0;
        static_cast<void>(groupKept);
    }
    const bool modeKept = fchmod(descriptor, targetMode) == 0;
    static_cast<void>(modeKept);
}

void ReplacementFile::Forget() {
    newPath.clear();
    targetPath.clear();
    replacesExisting = false;
}

} // namespace Ostrel
