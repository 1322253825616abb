#include "platform/com.h"
#include "support/TestSupport.h"

#include <dlfcn.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

namespace {

const std::string serverPath = PRAVELL_TEST_SERVER;

std::string FileName(HMODULE module) {
    char name[4096];
    DWORD length = GetModuleFileNameA(module, name, sizeof name);
    return std::string(name, length);
}

std::string RealPath(const std::string& path) {
    char* resolved = realpath(path.c_str(), nullptr);
    std::string result = resolved == nullptr ? "" : resolved;
    std::free(resolved);
    return result;
}

// The loader keeps a relative name as it was given; the file name stays the full path of the
// library after the process has changed directory.
TEST(Module, FileNameOfALibraryLoadedByARelativeNameIsItsFullPath) {
    const std::string directory = serverPath.substr(0, serverPath.rfind('/'));
    const std::string previous = RealPath(".");
    ASSERT_EQ(chdir(directory.c_str()), 0);
    void* library = dlopen(("./" + serverPath.substr(directory.size() + 1)).c_str(), RTLD_NOW);
    ASSERT_EQ(chdir("/"), 0);
    ASSERT_NE(library, nullptr) << dlerror();
    const std::string fullPath = RealPath(serverPath);
    EXPECT_EQ(FileName(static_cast<HMODULE>(library)), fullPath);
    EXPECT_EQ(FileName(reinterpret_cast<HMODULE>(dlsym(library, "DllCanUnloadNow"))), fullPath);
    auto loadedFrom = reinterpret_cast<const char* (*)()>(dlsym(library, "TestServerLoadedFrom"));
    ASSERT_NE(loadedFrom, nullptr);
    EXPECT_EQ(loadedFrom(), fullPath);
    EXPECT_EQ(GetModuleHandleA(fullPath.c_str()), library);
    dlclose(library);
    ASSERT_EQ(chdir(previous.c_str()), 0);
}

TEST(Module, FileNameIsTruncatedAsWindowsTruncatesIt) {
    void* library = dlopen(serverPath.c_str(), RTLD_NOW);
    ASSERT_NE(library, nullptr) << dlerror();
    HMODULE handle = static_cast<HMODULE>(library);
    const DWORD length = static_cast<DWORD>(serverPath.size());

    std::string buffer(length + 8, 'x');
    EXPECT_EQ(GetModuleFileNameA(handle, &buffer[0], length + 1), length);
    EXPECT_EQ(buffer.substr(0, length + 2), serverPath + '\0' + 'x');

    for (DWORD size : {length, DWORD{8}, DWORD{1}}) {
        buffer.assign(length + 8, 'x');
        SetLastError(0);
        EXPECT_EQ(GetModuleFileNameA(handle, &buffer[0], size), size);
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
        EXPECT_EQ(buffer.substr(0, size + 1), serverPath.substr(0, size - 1) + '\0' + 'x')
            << "size - 1 characters, a terminator, nothing beyond";
    }
    SetLastError(0);
    EXPECT_EQ(GetModuleFileNameA(handle, &buffer[0], 0), 0u);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
    dlclose(library);
}

TEST(Module, LongPathNameIsTheCanonicalPath) {
    ScratchDirectory scratch;
    const std::string real = RealPath(scratch.Path()) + "/real";
    ASSERT_EQ(mkdir(real.c_str(), 0700), 0);
    WriteWholeFile(real + "/lib.so", "");
    ASSERT_EQ(symlink(real.c_str(), (scratch.Path() + "/link").c_str()), 0);
    const std::string expected = real + "/lib.so";
    const DWORD length = static_cast<DWORD>(expected.size());

    const std::string shortPath = scratch.Path() + "/link/../real/./lib.so";
    EXPECT_EQ(GetLongPathNameA(shortPath.c_str(), nullptr, 0), length + 1);
    std::string buffer(length + 4, 'x');
    EXPECT_EQ(GetLongPathNameA(shortPath.c_str(), &buffer[0], length), length + 1);
    EXPECT_EQ(buffer, std::string(length + 4, 'x')) << "too small: nothing written";
    EXPECT_EQ(GetLongPathNameA(shortPath.c_str(), &buffer[0], length + 1), length);
    EXPECT_EQ(buffer.substr(0, length + 2), expected + '\0' + 'x');

    char inPlace[MAX_PATH];
    std::strcpy(inPlace, (scratch.Path() + "/link/lib.so").c_str());
    EXPECT_EQ(GetLongPathNameA(inPlace, inPlace, MAX_PATH), length);
    EXPECT_EQ(inPlace, expected);

    SetLastError(0);
    EXPECT_EQ(GetLongPathNameA((scratch.Path() + "/missing").c_str(), inPlace, MAX_PATH), 0u);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    EXPECT_EQ(inPlace, expected) << "untouched on failure";
}

} // namespace
