// File-system helpers for the file tests: a limit on the size of files this process writes,
// running a check without the power to override file permissions, and directory listings.
#pragma once

#include <sys/resource.h>

#include <csignal>
#include <functional>
#include <string>
#include <vector>

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

// The names in a directory, sorted, without "." and "..".
std::vector<std::string> ListDirectory(const std::string& path);

} // namespace Ostrel
