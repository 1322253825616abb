// The registry file that the layer keeps on Linux: a damaged file is refused and left alone,
// concurrent and killed writers leave a whole file, a link to the file stays a link.
#include "platform/com.h"
#include "support/PrivateRegistry.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

const char modelKey[] = "CLSID\\{4F8D6B61-FE7A-4364-A002-4AC12BCD31B3}";

class RegistryFile : public ::testing::Test {
protected:
    PrivateRegistry registry;
};

TEST_F(RegistryFile, DamagedFileIsReportedAndLeftAsItIs) {
    ASSERT_EQ(SetRegistryString(modelKey, "Corvantis XML Model"), ERROR_SUCCESS);
    ASSERT_EQ(SetRegistryString("Corvantis.XMLModel\\CLSID", "{x}"), ERROR_SUCCESS);
    std::string whole = ReadWholeFile(registry.Path());
    const std::string truncated = whole.substr(0, whole.find("\n[CLSID\\{") + 12);
    WriteWholeFile(registry.Path(), truncated);

    testing::internal::CaptureStderr();
    HKEY key = nullptr;
    EXPECT_EQ(RegOpenKeyExA(HKEY_CLASSES_ROOT, "Corvantis.XMLModel", 0, KEY_READ, &key),
              ERROR_BADDB);
    EXPECT_EQ(RegDeleteKeyA(HKEY_CLASSES_ROOT, "Corvantis.XMLModel\\CLSID"), ERROR_BADDB);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "") << "silent unless asked";
    setenv("PRAVELL_PLATFORM_DEBUG", "1", 1);
    testing::internal::CaptureStderr();
    EXPECT_EQ(SetRegistryString("New", "data"), ERROR_BADDB);
    std::string message = testing::internal::GetCapturedStderr();
    unsetenv("PRAVELL_PLATFORM_DEBUG");
    EXPECT_NE(message.find("line 3: the line is cut short"), std::string::npos) << message;
    EXPECT_EQ(ReadWholeFile(registry.Path()), truncated);

    const std::string damaged[] = {
        "",
        "PRAVELL-REGISTRY 1\n",
        "PRAVELL-REGISTRY 2\nEND\n",
        std::string("\0\xFF\x13garbage\n", 11),
        "PRAVELL-REGISTRY 1\nEND\n[A]\n",
        "PRAVELL-REGISTRY 1\n[A]\n[a]\nEND\n",
        "PRAVELL-REGISTRY 1\n[A]\n@=\"%G1\"\nEND\n",
        "PRAVELL-REGISTRY 1\n[A]\n@=hex(99999999999):00\nEND\n",
        "PRAVELL-REGISTRY 1\n[A]\n@=\"x\"\n@=\"y\"\nEND\n",
        "PRAVELL-REGISTRY 1\r\nEND\r\n",
    };
    for (const std::string& text : damaged) {
        WriteWholeFile(registry.Path(), text);
        EXPECT_EQ(SetRegistryString("New", "data", "Value"), ERROR_BADDB) << text;
        EXPECT_FALSE(RegistryKeyExists("A")) << text;
        EXPECT_EQ(ReadWholeFile(registry.Path()), text);
    }

    // Activation does not mistake a damaged registry for a missing class.
    WriteWholeFile(registry.Path(), "PRAVELL-REGISTRY 1\n[Pravell.TestServerObject]\n");
    CLSID clsid{};
    EXPECT_EQ(CLSIDFromProgID(OLESTR("Pravell.TestServerObject"), &clsid), REGDB_E_READREGDB);
    IUnknown* object = nullptr;
    EXPECT_EQ(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown,
                               reinterpret_cast<void**>(&object)),
              REGDB_E_READREGDB);
}

// The root is the file itself and is never deleted. (On Windows the tests' HKEY_CLASSES_ROOT is
// an ordinary key that it is redirected to, which can be.)
TEST_F(RegistryFile, TheRootStays) {
    ASSERT_EQ(SetRegistryString("Child", "data"), ERROR_SUCCESS);
    EXPECT_EQ(RegDeleteKeyA(HKEY_CLASSES_ROOT, ""), ERROR_ACCESS_DENIED);
    EXPECT_EQ(RegistryString("Child"), "data");
}

// Child processes that each write `keys` numbered keys below "Writer<n>".
std::vector<pid_t> StartWriters(int count, int keys) {
    std::vector<pid_t> writers;
    for (int w = 0; w < count; ++w) {
        const pid_t writer = fork();
        if (writer == 0) {
            for (int i = 0; i < keys; ++i) {
                const std::string name = "Writer" + std::to_string(w) + "\\K" + std::to_string(i);
                if (SetRegistryString(name, name) != ERROR_SUCCESS) {
                    _exit(1);
                }
            }
            _exit(0);
        }
        writers.push_back(writer);
    }
    return writers;
}

// Every change under a lock on a fresh file renamed into place: two writers at once lose
// nothing, and a writer killed at any moment leaves the file before or after its change.
TEST_F(RegistryFile, ConcurrentAndKilledWritersLeaveAWholeFile) {
    const int keys = 200;
    for (pid_t writer : StartWriters(2, keys)) {
        int status = 0;
        ASSERT_EQ(waitpid(writer, &status, 0), writer);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    for (int w = 0; w < 2; ++w) {
        const std::string parent = "Writer" + std::to_string(w);
        EXPECT_EQ(RegistrySubkeys(parent).size(), static_cast<size_t>(keys));
        for (int i = 0; i < keys; i += 17) {
            EXPECT_EQ(RegistryString(parent + "\\K" + std::to_string(i)),
                      parent + "\\K" + std::to_string(i));
        }
    }
    WriteWholeFile(registry.Path(), "PRAVELL-REGISTRY 1\nEND\n");

    const pid_t killed = StartWriters(1, 100000)[0];
    while (RegistrySubkeys("Writer0").size() < 40 && waitpid(killed, nullptr, WNOHANG) == 0) {
        usleep(1000);
    }
    kill(killed, SIGKILL);
    waitpid(killed, nullptr, 0);
    const size_t kept = RegistrySubkeys("Writer0").size();
    EXPECT_GE(kept, 40u);
    // Each key is created, then given its value: the last key may have been cut between the two.
    for (size_t i = 0; i + 1 < kept; ++i) {
        EXPECT_EQ(RegistryString("Writer0\\K" + std::to_string(i)),
                  "Writer0\\K" + std::to_string(i));
    }
    EXPECT_EQ(SetRegistryString("AfterTheCrash", "data"), ERROR_SUCCESS);
}

// The file is replaced by renaming a new one over it: a symbolic link to it stays a link.
TEST_F(RegistryFile, ALinkToTheFileStaysALink) {
    const std::string target = registry.Directory() + "/target";
    const std::string link = registry.Directory() + "/link";
    WriteWholeFile(target, "PRAVELL-REGISTRY 1\nEND\n");
    ASSERT_EQ(symlink(target.c_str(), link.c_str()), 0);
    setenv("PRAVELL_REGISTRY", link.c_str(), 1);
    ASSERT_EQ(SetRegistryString("ThroughTheLink", "data"), ERROR_SUCCESS);
    struct stat status {};
    ASSERT_EQ(lstat(link.c_str(), &status), 0);
    EXPECT_TRUE(S_ISLNK(status.st_mode));
    EXPECT_EQ(ReadWholeFile(target), "PRAVELL-REGISTRY 1\n[ThroughTheLink]\n@=\"data\"\nEND\n");
}

} // namespace
