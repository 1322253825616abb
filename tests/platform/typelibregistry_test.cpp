#include "platform/com.h"
#include "support/PrivateRegistry.h"
#include "support/SystemFacts.h"
#include "support/TypeLibSupport.h"
#include "utils_idl.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

namespace {

const std::string utilsKey = "TypeLib\\{4912BE5F-26CC-42B3-A464-43445DB0E09F}";

class TypeLibRegistry : public ::testing::Test {
protected:
    // The system's headers differ on whether the two texts are constant: they are passed as
    // buffers of their own.
    static HRESULT Register(const std::string& name, OleString path = {}, OleString helpDir = {}) {
        ITypeLib* library = LoadBuiltLibrary(name);
        if (library == nullptr) {
            return E_FAIL;
        }
        path = path.empty() ? Wide(BuiltLibraryPath(name)) : path;
        HRESULT result =
            RegisterTypeLib(library, &path[0], helpDir.empty() ? nullptr : &helpDir[0]);
        library->Release();
        return result;
    }

    // The name of the library that LoadRegTypeLib finds, or its failure.
    static std::string Found(REFGUID libid, WORD major, WORD minor, LCID lcid) {
        ITypeLib* library = reinterpret_cast<ITypeLib*>(1);
        HRESULT result = LoadRegTypeLib(libid, major, minor, lcid, &library);
        if (FAILED(result)) {
            EXPECT_EQ(library, nullptr);
            return result == TYPE_E_LIBNOTREGISTERED ? "not registered" : "failed";
        }
        BSTR name = nullptr;
        library->GetDocumentation(-1, &name, nullptr, nullptr, nullptr);
        library->Release();
        return TakeNarrow(name);
    }

    PrivateRegistry registry;
};

// The file registered is the full path of the library, or the name given; the flags registered
// are the library's own (a library read from a file also reports LIBFLAG_FHASDISKIMAGE, which
// Wine registers with them); the help folder is the library's, unless another is given.
TEST_F(TypeLibRegistry, RegistrationWritesTheFileTheFlagsAndTheHelpFolder) {
    ASSERT_EQ(Register("pravell"), S_OK);
    const std::string version = "TypeLib\\{61BF654C-EAE8-4700-9248-B1CCA0C792F8}\\1.0";
    EXPECT_EQ(RegistryString(version + "\\0\\win64"), BuiltLibraryPath("pravell"));
    EXPECT_EQ(RegistryString(version + "\\FLAGS"), UnderWine() ? "8" : "0");
    EXPECT_EQ(RegistryString(version + "\\HELPDIR"), SystemPath(PRAVELL_BIN_DIR));
    ASSERT_EQ(Register("pravell", {}, OLESTR("/usr/share/doc/pravell")), S_OK);
    EXPECT_EQ(RegistryString(version + "\\HELPDIR"), "/usr/share/doc/pravell");
}

// registration.txt: steps of registration, lookup and unregistration, each checked as it runs.
TEST_F(TypeLibRegistry, RegistrationLookupAndUnregistrationAsTheScriptSays) {
    const std::map<std::string, HRESULT> results = {{"S_OK", S_OK},
                                                    {"E_INVALIDARG", E_INVALIDARG},
                                                    {"TYPE_E_INVALIDSTATE", TYPE_E_INVALIDSTATE}};
    const std::string gone = SystemPath(registry.Directory() + "/gone.tlb");
    std::ifstream script(PRAVELL_TEST_DATA "/typelibs/registration.txt");
    size_t steps = 0;
    for (std::string line; std::getline(script, line); ++steps) {
        SCOPED_TRACE(line);
        std::istringstream words(line);
        std::string verb, what, name, lcid, answer;
        unsigned major = 0, minor = 0;
        GUID libid{};
        words >> verb >> what;
        if (verb == "register") {
            EXPECT_EQ(Register(what, words >> name ? Wide(gone) : OleString()), S_OK);
        } else if (verb == "key" && words >> name) {
            const std::string path = name == "gone" ? gone : BuiltLibraryPath(name);
            EXPECT_EQ(SetRegistryString("TypeLib\\" + what, path), ERROR_SUCCESS);
        } else if (verb == "value" && words >> name && std::getline(words >> std::ws, answer)) {
            EXPECT_EQ(RegistryString(what, name == "@" ? nullptr : name.c_str()), answer);
        } else if (verb == "exists" || verb == "missing") {
            EXPECT_EQ(RegistryKeyExists(what), verb == "exists");
        } else if ((verb == "find" || verb == "unregister") && words >> major >> minor >> lcid) {
            ASSERT_EQ(CLSIDFromString(Wide(what).c_str(), &libid), S_OK);
            const LCID locale = std::stoul(lcid, nullptr, 0);
            if (verb == "find" && std::getline(words >> std::ws, answer)) {
                EXPECT_EQ(Found(libid, static_cast<WORD>(major), static_cast<WORD>(minor), locale),
                          answer);
            } else if (words >> name >> answer) {
                EXPECT_EQ(UnRegisterTypeLib(libid, static_cast<WORD>(major),
                                            static_cast<WORD>(minor), locale,
                                            name == "win32" ? SYS_WIN32 : SYS_WIN64),
                          results.at(answer));
            }
        }
    }
    EXPECT_GT(steps, 40u);
}

// A host that only reads a library loads it without registering; one that asks registers it.
// By default, as LoadTypeLib loads, a library is registered only when it was named without a
// full path, and then under the full path it was found at (which Wine writes in its long form,
// after "\\?\").
TEST_F(TypeLibRegistry, LoadingRegistersOnlyWhenAskedOrByARelativeName) {
    for (REGKIND kind : {REGKIND_NONE, REGKIND_DEFAULT, REGKIND_REGISTER}) {
        ITypeLib* library = nullptr;
        ASSERT_EQ(LoadTypeLibEx(Wide(BuiltLibraryPath("utils")).c_str(), kind, &library), S_OK);
        library->Release();
        EXPECT_EQ(Found(LIBID_PravellUtils, 1, 0, 0),
                  kind == REGKIND_REGISTER ? "PravellUtils" : "not registered");
    }
    ASSERT_EQ(UnRegisterTypeLib(LIBID_PravellUtils, 1, 0, 0, SYS_WIN64), S_OK);

    const std::filesystem::path previous = std::filesystem::current_path();
    std::filesystem::current_path(PRAVELL_BIN_DIR);
    ITypeLib* library = nullptr;
    const HRESULT loaded = LoadTypeLib(OLESTR("utils.tlb"), &library);
    std::filesystem::current_path(previous);
    ASSERT_EQ(loaded, S_OK);
    library->Release();
    EXPECT_EQ(RegistryString(utilsKey + "\\1.0\\0\\win64"),
              (UnderWine() ? "\\\\?\\" : "") + BuiltLibraryPath("utils"));

    library = reinterpret_cast<ITypeLib*>(1);
    EXPECT_EQ(LoadTypeLibEx(Wide(BuiltLibraryPath("missing")).c_str(), REGKIND_REGISTER, &library),
              TYPE_E_CANTLOADLIBRARY);
    EXPECT_EQ(library, nullptr);
}

} // namespace
