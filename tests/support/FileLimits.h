// What a POSIX process may do with files, changed for a test: a limit on the size of the files
// it writes, and a check run without the power to override file permissions. Linux only: the
// Windows build leaves this out, and the tests that use it with it.
#pragma once

#include <sys/resource.h>

#include <functional>

namespace Ostrel {

// While it lives, every file this process writes stops growing at `bytes`: further writes
// fail (as on a full disk) instead of raising a signal.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes);
    ~FileSizeLimit();
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

private:
    struct rlimit previous;
    void (*previousHandler)(int);
};

// Runs `check` in a child process that obeys file permissions even when the tests run as root;
// true when it answered true.
bool RunObeyingPermissions(const std::function<bool()>& check);

} // namespace Ostrel
