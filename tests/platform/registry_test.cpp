#include "platform/com.h"
#include "testsupport.h"

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

class Registry : public ::testing::Test {
protected:
    PrivateRegistry registry;
};

LONG SetString(HKEY key, const char* name, const std::string& text) {
    return RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                          static_cast<DWORD>(text.size() + 1));
}

LONG CreateKey(const char* path, HKEY* opened = nullptr) {
    HKEY key = nullptr;
    LONG status = RegCreateKeyExA(HKEY_CLASSES_ROOT, path, 0, nullptr, REG_OPTION_NON_VOLATILE,
                                  KEY_ALL_ACCESS, nullptr, &key, nullptr);
    if (status == ERROR_SUCCESS) {
        if (opened != nullptr) {
            *opened = key;
        } else {
            RegCloseKey(key);
        }
    }
    return status;
}

LONG CreateKeyWithDefault(const char* path, const std::string& text) {
    HKEY key = nullptr;
    LONG status = CreateKey(path, &key);
    if (status == ERROR_SUCCESS) {
        status = SetString(key, nullptr, text);
        RegCloseKey(key);
    }
    return status;
}

bool KeyExists(const char* path) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CLASSES_ROOT, path, 0, KEY_READ, &key) != ERROR_SUCCESS) {
        return false;
    }
    RegCloseKey(key);
    return true;
}

// The value's bytes exactly as stored, or "<error N>".
std::string QueryBytes(HKEY key, const char* name, DWORD* type = nullptr) {
    DWORD size = 0;
    LONG status = RegQueryValueExA(key, name, nullptr, type, nullptr, &size);
    if (status != ERROR_SUCCESS) {
        return "<error " + std::to_string(status) + ">";
    }
    std::string data(size, '\0');
    status = RegQueryValueExA(key, name, nullptr, nullptr,
                              reinterpret_cast<BYTE*>(data.empty() ? nullptr : &data[0]), &size);
    return status == ERROR_SUCCESS ? data : "<error " + std::to_string(status) + ">";
}

std::string DefaultValue(const char* path) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CLASSES_ROOT, path, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) {
        return "<no key>";
    }
    std::string data = QueryBytes(key, nullptr);
    RegCloseKey(key);
    return data;
}

std::vector<std::string> Subkeys(HKEY key) {
    std::vector<std::string> names;
    char name[256];
    for (DWORD index = 0;; ++index) {
        DWORD length = sizeof name;
        if (RegEnumKeyExA(key, index, name, &length, nullptr, nullptr, nullptr, nullptr) !=
            ERROR_SUCCESS) {
            return names;
        }
        names.emplace_back(name, length);
    }
}

std::vector<std::string> Subkeys(const char* path) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CLASSES_ROOT, path, 0, KEY_READ, &key) != ERROR_SUCCESS) {
        return {};
    }
    std::vector<std::string> names = Subkeys(key);
    RegCloseKey(key);
    return names;
}

TEST_F(Registry, KeysAndValuesRoundTripThroughTheFile) {
    HKEY key = nullptr;
    DWORD disposition = 0;
    ASSERT_EQ(RegCreateKeyExA(HKEY_CLASSES_ROOT, modelKey, 0, nullptr, REG_OPTION_NON_VOLATILE,
                              KEY_SET_VALUE, nullptr, &key, &disposition),
              ERROR_SUCCESS);
    EXPECT_EQ(disposition, REG_CREATED_NEW_KEY);
    EXPECT_EQ(SetString(key, nullptr, "Corvantis XML Model"), ERROR_SUCCESS);
    EXPECT_EQ(SetString(key, "Path", "C:\\dir\\lib.so"), ERROR_SUCCESS);
    const BYTE flags[] = {1, 0, 0, 0};
    EXPECT_EQ(RegSetValueExA(key, "Flags", 0, REG_DWORD, flags, sizeof flags), ERROR_SUCCESS);
    EXPECT_EQ(RegCloseKey(key), ERROR_SUCCESS);

    ASSERT_EQ(RegCreateKeyExA(HKEY_CLASSES_ROOT, modelKey, 0, nullptr, REG_OPTION_NON_VOLATILE,
                              KEY_QUERY_VALUE, nullptr, &key, &disposition),
              ERROR_SUCCESS);
    EXPECT_EQ(disposition, REG_OPENED_EXISTING_KEY);

    EXPECT_EQ(ReadWholeFile(registry.Path()), "PRAVELL-REGISTRY 1\n"
                                              "[CLSID]\n"
                                              "[CLSID\\{4F8D6B61-FE7A-4364-A002-4AC12BCD31B3}]\n"
                                              "@=\"Corvantis XML Model\"\n"
                                              "\"Path\"=\"C:\\dir\\lib.so\"\n"
                                              "\"Flags\"=hex(4):01,00,00,00\n"
                                              "END\n");

    DWORD type = 0;
    DWORD size = 0;
    EXPECT_EQ(RegQueryValueExA(key, nullptr, nullptr, &type, nullptr, &size), ERROR_SUCCESS);
    EXPECT_EQ(type, REG_SZ);
    EXPECT_EQ(size, sizeof "Corvantis XML Model") << "the size counts the NUL";

    char small[5] = {'x', 'x', 'x', 'x', 'x'};
    size = sizeof small;
    EXPECT_EQ(RegQueryValueExA(key, "", nullptr, nullptr, reinterpret_cast<BYTE*>(small), &size),
              ERROR_MORE_DATA);
    EXPECT_EQ(size, sizeof "Corvantis XML Model");
    EXPECT_EQ(std::string(small, 5), "xxxxx") << "a short buffer is not written";

    EXPECT_EQ(QueryBytes(key, nullptr), std::string("Corvantis XML Model", 20));
    EXPECT_EQ(QueryBytes(key, "path"), std::string("C:\\dir\\lib.so", 14));
    EXPECT_EQ(QueryBytes(key, "Flags", &type), std::string("\x01\0\0\0", 4));
    EXPECT_EQ(type, REG_DWORD);
    EXPECT_EQ(QueryBytes(key, "Missing"), "<error 2>");
    EXPECT_EQ(
        RegQueryValueExA(key, nullptr, nullptr, nullptr, reinterpret_cast<BYTE*>(small), nullptr),
        ERROR_INVALID_PARAMETER);
    EXPECT_EQ(RegCloseKey(key), ERROR_SUCCESS);
}

TEST_F(Registry, StringsAreTerminatedAsWindowsTerminatesThem) {
    HKEY key = nullptr;
    ASSERT_EQ(CreateKey("Strings", &key), ERROR_SUCCESS);
    EXPECT_EQ(
        RegSetValueExA(key, "Unterminated", 0, REG_SZ, reinterpret_cast<const BYTE*>("abc"), 3),
        ERROR_SUCCESS);
    EXPECT_EQ(QueryBytes(key, "Unterminated"), std::string("abc", 4));

    EXPECT_EQ(RegSetValueExA(key, "ZeroBytes", 0, REG_SZ, reinterpret_cast<const BYTE*>(""), 0),
              ERROR_SUCCESS);
    EXPECT_EQ(QueryBytes(key, "ZeroBytes"), "");

    EXPECT_EQ(RegSetValueExA(key, "Binary", 0, REG_BINARY, reinterpret_cast<const BYTE*>("ab"), 2),
              ERROR_SUCCESS);
    EXPECT_EQ(QueryBytes(key, "Binary"), "ab");

    EXPECT_EQ(RegSetValueExA(key, "Null", 0, REG_SZ, nullptr, 4), ERROR_NOACCESS);
    EXPECT_EQ(QueryBytes(key, "Null"), "<error 2>");
    RegCloseKey(key);

    EXPECT_NE(ReadWholeFile(registry.Path()).find("\"ZeroBytes\"=hex(1):\n"), std::string::npos);
}

TEST_F(Registry, NamesAndDataOfAnyBytesSurviveTheFile) {
    const std::string keyName = "odd\tname%\"]\xC3\xBC";
    const std::string valueName = "back\\slash\nname";
    const std::string data("line\r\n%41 \"quoted\"\0second\0", 26);
    HKEY key = nullptr;
    ASSERT_EQ(CreateKey(("Odd\\" + keyName).c_str(), &key), ERROR_SUCCESS);
    ASSERT_EQ(RegSetValueExA(key, valueName.c_str(), 0, REG_SZ,
                             reinterpret_cast<const BYTE*>(data.data()),
                             static_cast<DWORD>(data.size())),
              ERROR_SUCCESS);
    RegCloseKey(key);

    std::string text = ReadWholeFile(registry.Path());
    EXPECT_NE(text.find("[Odd\\odd%09name%25%22]\xC3\xBC]\n"), std::string::npos) << text;
    EXPECT_NE(text.find("\"back\\slash%0Aname\"=\"line%0D%0A%2541 %22quoted%22%00second\"\n"),
              std::string::npos)
        << text;

    EXPECT_EQ(Subkeys("Odd"), std::vector<std::string>{keyName});
    ASSERT_EQ(RegOpenKeyExA(HKEY_CLASSES_ROOT, ("Odd\\" + keyName).c_str(), 0, KEY_READ, &key),
              ERROR_SUCCESS);
    EXPECT_EQ(QueryBytes(key, valueName.c_str()), data);
    RegCloseKey(key);
}

TEST_F(Registry, NamesIgnoreCaseAndKeepTheirOwn) {
    HKEY key = nullptr;
    ASSERT_EQ(CreateKey("CLSID\\MixedCase", &key), ERROR_SUCCESS);
    EXPECT_EQ(SetString(key, "Name", "first"), ERROR_SUCCESS);
    EXPECT_EQ(SetString(key, "NAME", "second"), ERROR_SUCCESS);
    RegCloseKey(key);

    DWORD disposition = 0;
    ASSERT_EQ(RegCreateKeyExA(HKEY_CLASSES_ROOT, "clsid\\MIXEDCASE", 0, nullptr,
                              REG_OPTION_NON_VOLATILE, KEY_READ, nullptr, &key, &disposition),
              ERROR_SUCCESS);
    EXPECT_EQ(disposition, REG_OPENED_EXISTING_KEY);
    EXPECT_EQ(QueryBytes(key, "name"), std::string("second", 7));
    RegCloseKey(key);
    EXPECT_EQ(Subkeys(""), std::vector<std::string>{"CLSID"});
    EXPECT_EQ(Subkeys("CLSID"), std::vector<std::string>{"MixedCase"});
    EXPECT_NE(ReadWholeFile(registry.Path()).find("[CLSID\\MixedCase]\n\"Name\"=\"second\"\nEND"),
              std::string::npos);

    for (const char* name : {"b", "A", "_x", "a2"}) {
        ASSERT_EQ(CreateKey((std::string("Order\\") + name).c_str()), ERROR_SUCCESS);
    }
    EXPECT_EQ(Subkeys("Order"), (std::vector<std::string>{"A", "a2", "b", "_x"}))
        << "listed by upper-cased name, so '_' comes after the letters";

    ASSERT_EQ(RegOpenKeyExA(HKEY_CLASSES_ROOT, "ORDER", 0, KEY_READ, &key), ERROR_SUCCESS);
    char name[2];
    DWORD length = sizeof name;
    EXPECT_EQ(RegEnumKeyExA(key, 1, name, &length, nullptr, nullptr, nullptr, nullptr),
              ERROR_MORE_DATA);
    length = sizeof name;
    EXPECT_EQ(RegEnumKeyExA(key, 4, name, &length, nullptr, nullptr, nullptr, nullptr),
              ERROR_NO_MORE_ITEMS);
    RegCloseKey(key);
}

TEST_F(Registry, DeletingAKeyWithSubkeysIsRefused) {
    ASSERT_EQ(CreateKeyWithDefault("Parent\\Child", "child"), ERROR_SUCCESS);
    EXPECT_EQ(RegDeleteKeyA(HKEY_CLASSES_ROOT, "Parent"), ERROR_ACCESS_DENIED);
    EXPECT_EQ(DefaultValue("Parent\\Child"), std::string("child", 6));
    EXPECT_EQ(RegDeleteKeyA(HKEY_CLASSES_ROOT, "parent\\child"), ERROR_SUCCESS);
    EXPECT_EQ(RegDeleteKeyA(HKEY_CLASSES_ROOT, "Parent\\Child"), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(RegDeleteKeyA(HKEY_CLASSES_ROOT, "Parent"), ERROR_SUCCESS);
    EXPECT_FALSE(KeyExists("Parent"));
    EXPECT_EQ(RegDeleteKeyA(HKEY_CLASSES_ROOT, nullptr), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(RegDeleteKeyA(HKEY_CLASSES_ROOT, ""), ERROR_ACCESS_DENIED) << "the root stays";

    HKEY key = nullptr;
    ASSERT_EQ(CreateKey("Self", &key), ERROR_SUCCESS);
    EXPECT_EQ(RegDeleteKeyA(key, ""), ERROR_SUCCESS) << "an empty name deletes the key itself";
    RegCloseKey(key);
    EXPECT_FALSE(KeyExists("Self"));

    ASSERT_EQ(CreateKeyWithDefault("Tree\\A\\B", "b"), ERROR_SUCCESS);
    ASSERT_EQ(CreateKeyWithDefault("Tree\\C", "c"), ERROR_SUCCESS);
    ASSERT_EQ(RegOpenKeyExA(HKEY_CLASSES_ROOT, "Tree", 0, KEY_ALL_ACCESS, &key), ERROR_SUCCESS);
    EXPECT_EQ(SetString(key, nullptr, "tree"), ERROR_SUCCESS);
    EXPECT_EQ(RegDeleteTreeA(key, nullptr), ERROR_SUCCESS) << "empties the key, keeps it";
    EXPECT_TRUE(KeyExists("Tree"));
    EXPECT_TRUE(Subkeys(key).empty());
    EXPECT_EQ(QueryBytes(key, nullptr), "<error 2>");
    RegCloseKey(key);
    ASSERT_EQ(CreateKeyWithDefault("Tree\\A\\B", "b"), ERROR_SUCCESS);
    EXPECT_EQ(RegDeleteTreeA(HKEY_CLASSES_ROOT, "Tree"), ERROR_SUCCESS);
    EXPECT_EQ(RegDeleteTreeA(HKEY_CLASSES_ROOT, "Tree"), ERROR_FILE_NOT_FOUND);

    EXPECT_EQ(ReadWholeFile(registry.Path()), "PRAVELL-REGISTRY 1\nEND\n");
}

TEST_F(Registry, HandlesFailCleanly) {
    HKEY key = nullptr;
    ASSERT_EQ(CreateKey("Gone", &key), ERROR_SUCCESS);
    ASSERT_EQ(RegDeleteKeyA(HKEY_CLASSES_ROOT, "Gone"), ERROR_SUCCESS);
    HKEY child = nullptr;
    EXPECT_EQ(QueryBytes(key, nullptr), "<error 1018>");
    EXPECT_EQ(SetString(key, nullptr, "late"), ERROR_KEY_DELETED);
    EXPECT_EQ(RegCreateKeyExA(key, "Child", 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_READ, nullptr,
                              &child, nullptr),
              ERROR_KEY_DELETED);
    EXPECT_EQ(RegOpenKeyExA(key, "", 0, KEY_READ, &child), ERROR_KEY_DELETED);
    EXPECT_EQ(RegDeleteKeyA(key, ""), ERROR_KEY_DELETED);
    EXPECT_FALSE(KeyExists("Gone")) << "a stale handle does not bring its key back";
    EXPECT_EQ(RegCloseKey(key), ERROR_SUCCESS);
    EXPECT_EQ(RegCloseKey(key), ERROR_INVALID_HANDLE);
    EXPECT_EQ(SetString(key, nullptr, "closed"), ERROR_INVALID_HANDLE);

    EXPECT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "Software", 0, KEY_READ, &child),
              ERROR_INVALID_HANDLE);
    EXPECT_EQ(RegOpenKeyExA(nullptr, "Software", 0, KEY_READ, &child), ERROR_INVALID_HANDLE);
    EXPECT_EQ(RegOpenKeyExA(HKEY_CLASSES_ROOT, "", 0, KEY_READ, &child), ERROR_SUCCESS);
    EXPECT_EQ(child, HKEY_CLASSES_ROOT);

    ASSERT_EQ(CreateKey("Kept\\Deeper"), ERROR_SUCCESS);
    child = HKEY_CLASSES_ROOT;
    EXPECT_EQ(RegOpenKeyExA(HKEY_CLASSES_ROOT, "Kept\\Missing", 0, KEY_READ, &child),
              ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(child, nullptr);
    EXPECT_EQ(RegOpenKeyExA(HKEY_CLASSES_ROOT, "\\Kept", 0, KEY_READ, &child), ERROR_BAD_PATHNAME);
    ASSERT_EQ(RegOpenKeyExA(HKEY_CLASSES_ROOT, "Kept\\\\", 0, KEY_READ, &key), ERROR_SUCCESS);
    EXPECT_EQ(Subkeys(key), std::vector<std::string>{"Deeper"});
    EXPECT_EQ(SetString(key, nullptr, "read only"), ERROR_ACCESS_DENIED);
    RegCloseKey(key);
    ASSERT_EQ(RegOpenKeyExA(HKEY_CLASSES_ROOT, "Kept", 0, KEY_SET_VALUE, &key), ERROR_SUCCESS);
    EXPECT_EQ(SetString(key, nullptr, "write only"), ERROR_SUCCESS);
    EXPECT_EQ(QueryBytes(key, nullptr), "<error 5>");
    RegCloseKey(key);
    const REGSAM genericRead = 0x80000000;
    ASSERT_EQ(RegOpenKeyExA(HKEY_CLASSES_ROOT, "Kept", 0, genericRead, &key), ERROR_SUCCESS);
    EXPECT_EQ(QueryBytes(key, nullptr), std::string("write only", 11));
    RegCloseKey(key);

    EXPECT_EQ(RegCreateKeyExA(HKEY_CLASSES_ROOT, "Kept", 0, nullptr, REG_OPTION_NON_VOLATILE,
                              KEY_READ, nullptr, nullptr, nullptr),
              ERROR_BADKEY);
    EXPECT_EQ(RegOpenKeyExA(HKEY_CLASSES_ROOT, "Kept", 0, KEY_READ, nullptr),
              ERROR_INVALID_PARAMETER);
    EXPECT_EQ(RegCreateKeyExA(HKEY_CLASSES_ROOT, "Volatile", 0, nullptr, REG_OPTION_VOLATILE,
                              KEY_READ, nullptr, &key, nullptr),
              ERROR_INVALID_PARAMETER);
    EXPECT_FALSE(KeyExists("Volatile"));
}

TEST_F(Registry, DamagedFileIsReportedAndLeftAsItIs) {
    ASSERT_EQ(CreateKeyWithDefault(modelKey, "Corvantis XML Model"), ERROR_SUCCESS);
    ASSERT_EQ(CreateKeyWithDefault("Corvantis.XMLModel\\CLSID", "{x}"), ERROR_SUCCESS);
    std::string whole = ReadWholeFile(registry.Path());
    size_t line = whole.find("\n[CLSID\\{");
    ASSERT_NE(line, std::string::npos);
    const std::string truncated = whole.substr(0, line + 12);
    WriteWholeFile(registry.Path(), truncated);

    testing::internal::CaptureStderr();
    HKEY key = nullptr;
    EXPECT_EQ(RegOpenKeyExA(HKEY_CLASSES_ROOT, "Corvantis.XMLModel", 0, KEY_READ, &key),
              ERROR_BADDB);
    EXPECT_EQ(CreateKey("New"), ERROR_BADDB);
    EXPECT_EQ(SetString(HKEY_CLASSES_ROOT, "Value", "data"), ERROR_BADDB);
    EXPECT_EQ(RegDeleteKeyA(HKEY_CLASSES_ROOT, "Corvantis.XMLModel\\CLSID"), ERROR_BADDB);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "") << "silent unless asked";
    EXPECT_EQ(ReadWholeFile(registry.Path()), truncated);

    setenv("PRAVELL_PLATFORM_DEBUG", "1", 1);
    testing::internal::CaptureStderr();
    EXPECT_EQ(CreateKey("New"), ERROR_BADDB);
    std::string message = testing::internal::GetCapturedStderr();
    unsetenv("PRAVELL_PLATFORM_DEBUG");
    EXPECT_NE(message.find("line 3: the line is cut short"), std::string::npos) << message;

    const std::string damaged[] = {
        "",
        "PRAVELL-REGISTRY 1\n",
        "PRAVELL-REGISTRY 1\n[A]\n",
        "PRAVELL-REGISTRY 2\nEND\n",
        "<?xml version='1.0'?>\n",
        std::string("\0\xFF\x13garbage\n", 11),
        "PRAVELL-REGISTRY 1\nEND\n[A]\n",
        "PRAVELL-REGISTRY 1\n@=\"x\"\nEND\n",
        "PRAVELL-REGISTRY 1\n[A]\n[a]\nEND\n",
        "PRAVELL-REGISTRY 1\n[A\\\\B]\nEND\n",
        "PRAVELL-REGISTRY 1\n[A]\n@=\"%G1\"\nEND\n",
        "PRAVELL-REGISTRY 1\n[A]\n@=\"open\nEND\n",
        "PRAVELL-REGISTRY 1\n[A]\n@=hex(1):0\nEND\n",
        "PRAVELL-REGISTRY 1\n[A]\n@=hex(99999999999):00\nEND\n",
        "PRAVELL-REGISTRY 1\n[A]\n@=\"x\"\n@=\"y\"\nEND\n",
        "PRAVELL-REGISTRY 1\r\nEND\r\n",
    };
    for (const std::string& text : damaged) {
        WriteWholeFile(registry.Path(), text);
        EXPECT_EQ(CreateKey("New"), ERROR_BADDB) << text;
        EXPECT_FALSE(KeyExists("A")) << text;
        EXPECT_EQ(ReadWholeFile(registry.Path()), text);
    }
}

TEST_F(Registry, LeftoverTemporaryFilesAreIgnored) {
    ASSERT_EQ(CreateKeyWithDefault("Kept", "old"), ERROR_SUCCESS);
    const std::string before = ReadWholeFile(registry.Path());
    const std::string leftover = registry.Path() + ".tmp-1-1";
    const std::string halfWritten = "PRAVELL-REGISTRY 1\n[Kept]\n@=\"new\"\n[Lefto";
    WriteWholeFile(leftover, halfWritten);

    EXPECT_EQ(DefaultValue("Kept"), std::string("old", 4));
    EXPECT_FALSE(KeyExists("Lefto"));
    EXPECT_EQ(ReadWholeFile(registry.Path()), before);
    ASSERT_EQ(CreateKey("After"), ERROR_SUCCESS);
    EXPECT_TRUE(KeyExists("Kept"));
    EXPECT_EQ(ReadWholeFile(leftover), halfWritten) << "another writer's file is not touched";
}

// A writer killed at any moment leaves either the file before its change or the one after.
TEST_F(Registry, KilledWriterLeavesAWholeFile) {
    int progress[2];
    ASSERT_EQ(pipe(progress), 0);
    pid_t writer = fork();
    ASSERT_GE(writer, 0);
    if (writer == 0) {
        close(progress[0]);
        for (int i = 0; i < 100000; ++i) {
            std::string name = "Killed\\K" + std::to_string(i);
            if (CreateKeyWithDefault(name.c_str(), name) != ERROR_SUCCESS ||
                write(progress[1], "+", 1) != 1) {
                _exit(1);
            }
        }
        _exit(0);
    }
    close(progress[1]);
    int reported = 0;
    char mark;
    while (reported < 40 && read(progress[0], &mark, 1) == 1) {
        ++reported;
    }
    kill(writer, SIGKILL);
    int status = 0;
    waitpid(writer, &status, 0);
    close(progress[0]);
    ASSERT_EQ(reported, 40);

    std::vector<std::string> kept = Subkeys("Killed");
    EXPECT_GE(kept.size(), 40u) << "the file is whole and holds every finished change";
    for (int i = 0; i < 40; ++i) {
        std::string name = "Killed\\K" + std::to_string(i);
        EXPECT_EQ(DefaultValue(name.c_str()), name + '\0');
    }
    EXPECT_EQ(CreateKey("AfterTheCrash"), ERROR_SUCCESS);
}

TEST_F(Registry, TwoProcessesWritingAtOnceLoseNothing) {
    const int keysPerWriter = 200;
    int gate[2];
    ASSERT_EQ(pipe(gate), 0);
    pid_t writers[2];
    for (int w = 0; w < 2; ++w) {
        writers[w] = fork();
        ASSERT_GE(writers[w], 0);
        if (writers[w] == 0) {
            close(gate[1]);
            char ignored;
            (void)!read(gate[0], &ignored, 1);
            for (int i = 0; i < keysPerWriter; ++i) {
                std::string name = "Writer" + std::to_string(w) + "\\Key" + std::to_string(i);
                if (CreateKeyWithDefault(name.c_str(), name) != ERROR_SUCCESS) {
                    _exit(1);
                }
            }
            _exit(0);
        }
    }
    close(gate[0]);
    close(gate[1]); // both writers start now
    for (pid_t writer : writers) {
        int status = 0;
        ASSERT_EQ(waitpid(writer, &status, 0), writer);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }

    for (int w = 0; w < 2; ++w) {
        std::string parent = "Writer" + std::to_string(w);
        EXPECT_EQ(Subkeys(parent.c_str()).size(), static_cast<size_t>(keysPerWriter));
        for (int i = 0; i < keysPerWriter; ++i) {
            std::string name = parent + "\\Key" + std::to_string(i);
            EXPECT_EQ(DefaultValue(name.c_str()), name + '\0');
        }
    }
}

class SavedVariable {
public:
    explicit SavedVariable(const char* name) : name(name) {
        const char* value = std::getenv(name);
        saved = value != nullptr;
        if (saved) {
            old = value;
        }
    }
    ~SavedVariable() {
        if (saved) {
            setenv(name, old.c_str(), 1);
        } else {
            unsetenv(name);
        }
    }

private:
    const char* name;
    bool saved;
    std::string old;
};

TEST_F(Registry, FileLocationFollowsTheEnvironment) {
    SavedVariable home("HOME");
    SavedVariable dataHome("XDG_DATA_HOME");
    unsetenv("PRAVELL_REGISTRY");
    struct stat status {};

    setenv("XDG_DATA_HOME", (registry.Directory() + "/data").c_str(), 1);
    ASSERT_EQ(CreateKey("InDataHome"), ERROR_SUCCESS);
    EXPECT_EQ(stat((registry.Directory() + "/data/pravell/registry").c_str(), &status), 0);

    setenv("XDG_DATA_HOME", "relative/paths/are/ignored", 1);
    setenv("HOME", (registry.Directory() + "/home").c_str(), 1);
    ASSERT_EQ(CreateKey("InHome"), ERROR_SUCCESS);
    EXPECT_EQ(stat((registry.Directory() + "/home/.local/share/pravell/registry").c_str(), &status),
              0);
    EXPECT_FALSE(KeyExists("InDataHome"));

    const std::string target = registry.Directory() + "/target";
    const std::string link = registry.Directory() + "/link";
    WriteWholeFile(target, "PRAVELL-REGISTRY 1\nEND\n");
    ASSERT_EQ(symlink(target.c_str(), link.c_str()), 0);
    setenv("PRAVELL_REGISTRY", link.c_str(), 1);
    ASSERT_EQ(CreateKey("ThroughTheLink"), ERROR_SUCCESS);
    ASSERT_EQ(lstat(link.c_str(), &status), 0);
    EXPECT_TRUE(S_ISLNK(status.st_mode)) << "the link stays a link";
    EXPECT_EQ(ReadWholeFile(target), "PRAVELL-REGISTRY 1\n[ThroughTheLink]\nEND\n");
}

} // namespace
