// The registry file that the layer keeps on Linux: a damaged file is refused with its reason and
// left alone, concurrent and killed writers leave a whole file, a link to the file stays a link.
#include "platform/com.h"
#include "support/PrivateRegistry.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <fstream>
#include <string>

namespace {

class RegistryFile : public ::testing::Test {
protected:
    PrivateRegistry registry;
};

// tests/data/registry/reasons.txt: "FILE REASON", a damaged file of the folder and why it is
// refused, which the layer prints only when asked (PRAVELL_PLATFORM_DEBUG).
TEST_F(RegistryFile, DamagedFilesAreRefusedWithTheirReasonAndLeftAsTheyAre) {
    std::ifstream reasons(PRAVELL_TEST_DATA "/registry/reasons.txt");
    size_t cases = 0;
    for (std::string line; std::getline(reasons, line);) {
        if (line.empty() || line[0] == '#') {
            continue;
        }
        const std::string file = line.substr(0, line.find(' '));
        const std::string reason = line.substr(file.size() + 1);
        SCOPED_TRACE(file);
        const std::string text = ReadWholeFile(PRAVELL_TEST_DATA "/registry/" + file);
        WriteWholeFile(registry.Path(), text);
        testing::internal::CaptureStderr();
        HKEY key = nullptr;
        EXPECT_EQ(RegOpenKeyExA(HKEY_CLASSES_ROOT, "A", 0, KEY_READ, &key), ERROR_BADDB);
        EXPECT_EQ(RegDeleteKeyA(HKEY_CLASSES_ROOT, "A"), ERROR_BADDB);
        EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
        setenv("PRAVELL_PLATFORM_DEBUG", "1", 1);
        testing::internal::CaptureStderr();
        EXPECT_EQ(SetRegistryString("A\\New", "data"), ERROR_BADDB);
        const std::string message = testing::internal::GetCapturedStderr();
        unsetenv("PRAVELL_PLATFORM_DEBUG");
        EXPECT_NE(message.find("(" + reason + ")"), std::string::npos) << message;
        EXPECT_EQ(ReadWholeFile(registry.Path()), text);
        ++cases;
    }
    EXPECT_GE(cases, 10u);

    // Activation does not mistake a damaged registry for a missing class.
    CLSID clsid{};
    EXPECT_EQ(CLSIDFromProgID(OLESTR("Pravell.TestServerObject"), &clsid), REGDB_E_READREGDB);
    IUnknown* object = nullptr;
    EXPECT_EQ(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown,
                               reinterpret_cast<void**>(&object)),
              REGDB_E_READREGDB);
}

// The keys that writer `n` makes, each with its own name as its value.
std::string KeyName(int n, size_t i) {
    return "Writer" + std::to_string(n) + "\\K" + std::to_string(i);
}

// A child process that writes `keys` keys.
pid_t StartWriter(int n, size_t keys) {
    const pid_t writer = fork();
    if (writer == 0) {
        for (size_t i = 0; i < keys; ++i) {
            if (SetRegistryString(KeyName(n, i), KeyName(n, i)) != ERROR_SUCCESS) {
                _exit(1);
            }
        }
        _exit(0);
    }
    return writer;
}

// Every change under a lock on a fresh file renamed into place: two writers at once lose
// nothing, and a writer killed at any moment leaves the file before or after its change.
TEST_F(RegistryFile, ConcurrentAndKilledWritersLeaveAWholeFile) {
    const pid_t whole = StartWriter(0, 200);
    const pid_t killed = StartWriter(1, 100000);
    int status = 0;
    ASSERT_EQ(waitpid(whole, &status, 0), whole);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    while (RegistrySubkeys("Writer1").size() < 40 && waitpid(killed, nullptr, WNOHANG) == 0) {
        usleep(1000);
    }
    kill(killed, SIGKILL);
    waitpid(killed, nullptr, 0);
    ASSERT_EQ(RegistrySubkeys("Writer0").size(), 200u);
    const size_t kept = RegistrySubkeys("Writer1").size();
    EXPECT_GE(kept, 40u);
    // Each key is created, then given its value: the killed writer's last key may have been cut
    // between the two.
    for (size_t i = 0; i < 200; ++i) {
        EXPECT_EQ(RegistryString(KeyName(0, i)), KeyName(0, i));
    }
    for (size_t i = 0; i + 1 < kept; ++i) {
        EXPECT_EQ(RegistryString(KeyName(1, i)), KeyName(1, i));
    }
    EXPECT_EQ(SetRegistryString("AfterTheCrash", "data"), ERROR_SUCCESS);
}

// The file is replaced by renaming a new one over it: a symbolic link to it stays a link. The
// root is the file itself and is never deleted. (On Windows the tests' HKEY_CLASSES_ROOT is an
// ordinary key that it is redirected to, which can be.)
TEST_F(RegistryFile, ALinkToTheFileStaysALinkAndTheRootStays) {
    const std::string target = registry.Directory() + "/target";
    const std::string link = registry.Directory() + "/link";
    WriteWholeFile(target, "PRAVELL-REGISTRY 1\nEND\n");
    ASSERT_EQ(symlink(target.c_str(), link.c_str()), 0);
    setenv("PRAVELL_REGISTRY", link.c_str(), 1);
    ASSERT_EQ(SetRegistryString("ThroughTheLink", "data"), ERROR_SUCCESS);
    EXPECT_EQ(RegDeleteKeyA(HKEY_CLASSES_ROOT, ""), ERROR_ACCESS_DENIED);
    struct stat status {};
    ASSERT_EQ(lstat(link.c_str(), &status), 0);
    EXPECT_TRUE(S_ISLNK(status.st_mode));
    EXPECT_EQ(ReadWholeFile(target), "PRAVELL-REGISTRY 1\n[ThroughTheLink]\n@=\"data\"\nEND\n");
}

} // namespace
