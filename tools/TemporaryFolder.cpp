#include "TemporaryFolder.h"

#include <dirent.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

namespace Ostrel {

TemporaryFolder::TemporaryFolder(const char* prefix) {
    const char* base = std::getenv("TMPDIR");
    std::string pattern = base != nullptr && *base != 0 ? base : "/tmp";
    pattern.append("/").append(prefix).append("-XXXXXX");
    if (mkdtemp(&pattern[0]) == nullptr) {
        errorNumber = errno;
        return;
    }
    path = pattern;
}

TemporaryFolder::~TemporaryFolder() {
    if (!IsCreated()) {
        return;
    }
    // Only plain files are ever made here; whatever a failed save left beside them goes too.
    if (DIR* folder = opendir(path.c_str())) {
        // cppcheck-suppress readdirCalled ; readdir_r is deprecated; the stream is this thread's
        while (const dirent* entry = readdir(folder)) {
            const std::string name = entry->d_name;
            if (name != "." && name != "..") {
                unlink(PathOf(name).c_str());
            }
        }
        closedir(folder);
    }
    rmdir(path.c_str());
}

} // namespace Ostrel
