#include "platform/com.h"
#include "support/TestSupport.h"

#include <dlfcn.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <string>

namespace {

const std::string serverPath = PRAVELL_TEST_SERVER;
const std::string serverDirectory = serverPath.substr(0, serverPath.rfind('/'));

std::string RealPath(const std::string& path) {
    return std::filesystem::canonical(path).string();
}

// The loader keeps a relative name as it was given; the file name stays the full path of the
// library, found by the library's handle or by any address inside it, after the process has
// changed directory. A buffer too small gets as much as fits, a terminator and nothing beyond,
// and its size as the answer: a caller knows a name was cut when the answer is the size it gave.
TEST(Module, FileNameIsTheFullPathTruncatedAsWindowsTruncatesIt) {
    const std::string previous = RealPath(".");
    ASSERT_EQ(chdir(serverDirectory.c_str()), 0);
    void* library = dlopen(("." + serverPath.substr(serverDirectory.size())).c_str(), RTLD_NOW);
    ASSERT_EQ(chdir("/"), 0);
    ASSERT_NE(library, nullptr) << dlerror();
    const std::string fullPath = RealPath(serverPath);
    const DWORD length = static_cast<DWORD>(fullPath.size());
    EXPECT_EQ(GetModuleHandleA(fullPath.c_str()), library);
    for (void* handle : {library, dlsym(library, "DllCanUnloadNow")}) {
        for (DWORD size : {length + 1, length, DWORD{8}, DWORD{1}}) {
            std::string buffer(length + 8, 'x');
            SetLastError(0);
            EXPECT_EQ(GetModuleFileNameA(static_cast<HMODULE>(handle), &buffer[0], size),
                      std::min(size, length));
            EXPECT_EQ(GetLastError(),
                      size > length ? 0 : static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
            EXPECT_EQ(buffer.substr(0, size + 1), fullPath.substr(0, size - 1) + '\0' + 'x');
        }
    }
    SetLastError(0);
    EXPECT_EQ(GetModuleFileNameA(static_cast<HMODULE>(library), nullptr, 0), 0u);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
    dlclose(library);
    ASSERT_EQ(chdir(previous.c_str()), 0);
}

// The canonical path: links followed, "." gone. A buffer too small gets nothing and the size
// needed, a failure nothing at all.
TEST(Module, LongPathNameIsTheCanonicalPath) {
    ScratchDirectory scratch;
    ASSERT_EQ(symlink(serverDirectory.c_str(), (scratch.Path() + "/link").c_str()), 0);
    const std::string linked =
        scratch.Path() + "/link/." + serverPath.substr(serverDirectory.size());
    const std::string expected = RealPath(serverPath);
    const DWORD length = static_cast<DWORD>(expected.size());
    std::string buffer(length + 4, 'x');
    EXPECT_EQ(GetLongPathNameA(linked.c_str(), &buffer[0], length), length + 1);
    EXPECT_EQ(buffer, std::string(length + 4, 'x'));
    EXPECT_EQ(GetLongPathNameA(linked.c_str(), &buffer[0], length + 1), length);
    EXPECT_EQ(buffer.substr(0, length + 2), expected + '\0' + 'x');
    SetLastError(0);
    EXPECT_EQ(GetLongPathNameA((scratch.Path() + "/missing").c_str(), &buffer[0], length + 4), 0u);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    EXPECT_EQ(buffer.substr(0, length + 2), expected + '\0' + 'x');
}

} // namespace
