// The files that the layer keeps on Linux. The registry file: a damaged file is refused with its
// reason and left alone, concurrent and killed writers leave a whole file, a link to the file
// stays a link. Type library files: whatever a file holds, it loads whole or is refused as
// damage, and a library that loads answers every question that a host asks of it.
#include "platform/com.h"
#include "support/PrivateRegistry.h"
#include "support/TypeLibSupport.h"
#include "typenames.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

class RegistryFile : public ::testing::Test {
protected:
    PrivateRegistry registry;
};

// tests/data/registry/reasons.txt: "FILE REASON", a damaged file of the folder and why it is
// refused, which the layer prints only when asked (PRAVELL_PLATFORM_DEBUG).
TEST_F(RegistryFile, DamagedFilesAreRefusedWithTheirReasonAndLeftAsTheyAre) {
    for (const std::string& line : Rows("registry/reasons.txt")) {
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
    }

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
    for (size_t i = 0; i < 200 + kept - 1; ++i) {
        const std::string key = i < 200 ? KeyName(0, i) : KeyName(1, i - 200);
        EXPECT_EQ(RegistryString(key), key);
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

bool IsCleanFailure(HRESULT result) {
    return result == TYPE_E_INVDATAREAD || result == TYPE_E_UNSUPFORMAT;
}

// Reads a description through (a dual interface's dispatch half, which holds the functions of
// both halves), and the types it refers to, so that damage that slipped through the reader shows
// up here (under the sanitizers) rather than in a host.
void Walk(ITypeInfo* info) {
    TYPEATTR* attributes = nullptr;
    ASSERT_EQ(info->GetTypeAttr(&attributes), S_OK);
    std::vector<HREFTYPE> references(attributes->cImplTypes);
    for (UINT i = 0; i < attributes->cImplTypes; ++i) {
        ASSERT_EQ(info->GetRefTypeOfImplType(i, &references[i]), S_OK);
    }
    for (UINT f = 0; f < attributes->cFuncs; ++f) {
        FUNCDESC* function = nullptr;
        ASSERT_EQ(info->GetFuncDesc(f, &function), S_OK);
        for (SHORT p = 0; p < function->cParams; ++p) {
            const TYPEDESC* type = &function->lprgelemdescParam[p].tdesc;
            while (type->vt == VT_PTR || type->vt == VT_SAFEARRAY) {
                type = type->lptdesc;
            }
            if (type->vt == VT_USERDEFINED) {
                references.push_back(type->hreftype);
            }
        }
        info->ReleaseFuncDesc(function);
    }
    info->ReleaseTypeAttr(attributes);
    for (HREFTYPE reference : references) {
        ITypeInfo* target = nullptr;
        ASSERT_EQ(info->GetRefTypeInfo(reference, &target), S_OK);
        target->Release();
    }
}

class TypeLibFile : public ::testing::Test {
protected:
    HRESULT Load(const std::string& text) {
        // A new file each time: rewriting one in place makes ext4 flush it on every close.
        std::remove(path.c_str());
        WriteWholeFile(path, text);
        ITypeLib* library = reinterpret_cast<ITypeLib*>(&path);
        HRESULT result = LoadTypeLib(Wide(path).c_str(), &library);
        if (FAILED(result)) {
            EXPECT_EQ(library, nullptr);
            return result;
        }
        for (UINT i = 0; i < library->GetTypeInfoCount(); ++i) {
            ITypeInfo* info = nullptr;
            EXPECT_EQ(library->GetTypeInfo(i, &info), S_OK);
            Walk(info);
            info->Release();
        }
        library->Release();
        return result;
    }

    ScratchDirectory directory;
    std::string path = directory.Path() + "/library.tlb";
};

// A real library cut anywhere fails cleanly and with any byte changed loads or fails cleanly; the
// same library followed by more than any library holds is refused before it is read.
TEST_F(TypeLibFile, EveryTruncationAndChangedByteOfARealLibraryFailsCleanly) {
    const std::string text = ReadWholeFile(BuiltLibraryPath("utils"));
    ASSERT_EQ(Load(text), S_OK);
    EXPECT_EQ(Load(text + "#" + std::string(4u << 20, 'x') + "\n"), TYPE_E_INVDATAREAD);
    for (size_t at = 0; at < text.size(); ++at) {
        ASSERT_TRUE(IsCleanFailure(Load(text.substr(0, at)))) << "cut at " << at;
        for (char replacement : {'\0', ' ', '\n', '"', '*', 'x', '9', '\xff'}) {
            std::string damaged = text;
            damaged[at] = replacement;
            HRESULT result = Load(damaged);
            ASSERT_TRUE(result == S_OK || IsCleanFailure(result))
                << "byte " << at << ": " << std::hex << result;
        }
    }
}

// libraries.txt: cases of "== RESULT what it shows" followed by the file's lines. Virtual table
// offsets are SHORTs: 4095 slots of 8 bytes is the most an interface can have. A folder is no
// library.
TEST_F(TypeLibFile, LibrariesAsTheTableSays) {
    for (const auto& [heading, text] : HeadedCases(PRAVELL_TEST_DATA "/typelibs/libraries.txt")) {
        EXPECT_EQ(HresultName(Load(text)), heading.substr(0, heading.find(' '))) << heading;
    }
    auto withFunctions = [](int count) {
        std::string text =
            "pravell-typelib 1\n"
            "library L {4912BE5F-26CC-42B3-A464-43445DB0E09F} 1.0 0 win32 \"\"\n"
            "types 1\n"
            "interface I {79414458-7B2B-4137-98FC-894159DDBE96} 0.0 dual IDispatch " +
            std::to_string(count) + " \"\"\n";
        for (int i = 0; i < count; ++i) {
            text += "  function F" + std::to_string(i) + " " + std::to_string(i + 1) +
                    " func - hresult 0 \"\"\n";
        }
        return text + "end\n";
    };
    EXPECT_EQ(Load(withFunctions(4095 - 7)), S_OK);
    EXPECT_EQ(Load(withFunctions(4096 - 7)), TYPE_E_INVDATAREAD);
    ITypeLib* library = reinterpret_cast<ITypeLib*>(&path);
    EXPECT_EQ(LoadTypeLib(Wide(directory.Path()).c_str(), &library), TYPE_E_CANTLOADLIBRARY);
    EXPECT_EQ(library, nullptr);
    EXPECT_EQ(LoadTypeLib(nullptr, &library), E_INVALIDARG);
}

} // namespace
