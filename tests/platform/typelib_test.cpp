// What type libraries answer beyond the canonical text that typelib_dump prints of them
// (tests/data/typelibs): names found without regard to case, the lifetime of descriptions and
// their library, one description a type, and failures; and their registration, lookup by
// identifier and unregistration.
#include "platform/com.h"
#include "pravell_idl.h"
#include "support/PrivateRegistry.h"
#include "support/SystemFacts.h"
#include "support/TypeLibSupport.h"
#include "typelib_test_idl.h"
#include "typenames.h"
#include "utils_idl.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <deque>
#include <filesystem>
#include <sstream>
#include <type_traits>
#include <vector>

namespace {

// The header declares each number kind with the system's own type (the late-binding tests
// implement interfaces with the others).
static_assert(std::is_same_v<decltype(&IEveryKind::Numbers),
                             HRESULT (IEveryKind::*)(LONG, SHORT, INT, BYTE, BYTE, DOUBLE, FLOAT)>);
static_assert(
    std::is_same_v<decltype(&IEveryKind::Unsigned), HRESULT (IEveryKind::*)(ULONG, USHORT, UINT)>);

// names.txt: names asked together and the identifiers they get.
TEST(TypeLib, NamesMatchWithoutRegardToCaseOnBothHalves) {
    ITypeLib* library = LoadBuiltLibrary("pravell");
    ASSERT_NE(library, nullptr);
    ITypeInfo* dispatchHalf = nullptr;
    ASSERT_EQ(library->GetTypeInfoOfGuid(IID_IDispatchXMLModelNode, &dispatchHalf), S_OK);
    ITypeInfo* interfaceHalf = InterfaceHalfOf(dispatchHalf);
    for (ITypeInfo* info : {dispatchHalf, interfaceHalf}) {
        for (const std::string& test : Rows("typelibs/names.txt")) {
            std::deque<OleString> names; // which stay where `asked` points as it grows
            std::vector<LPOLESTR> asked;
            std::vector<MEMBERID> expected;
            std::istringstream words(test);
            for (std::string name, id; std::getline(words >> std::ws, name, '=') && words >> id;) {
                asked.push_back(&names.emplace_back(Wide(name))[0]);
                expected.push_back(std::stoi(id));
            }
            std::vector<MEMBERID> ids(asked.size());
            const bool known = std::count(expected.begin(), expected.end(), DISPID_UNKNOWN) == 0;
            EXPECT_EQ(
                info->GetIDsOfNames(asked.data(), static_cast<UINT>(asked.size()), ids.data()),
                known ? S_OK : DISP_E_UNKNOWNNAME)
                << test;
            EXPECT_EQ(ids, expected) << test;
        }
    }
    interfaceHalf->Release();
    dispatchHalf->Release();
    library->Release();
}

// A description keeps its library alive, and the last reference frees the library; a type or
// member that is not there is not found. (typelib_dump shows what is there.)
TEST(TypeLib, DescriptionsKeepTheirLibraryAlive) {
    ITypeLib* library = LoadBuiltLibrary("utils");
    ASSERT_NE(library, nullptr);
    BSTR name = nullptr;
    EXPECT_EQ(library->GetDocumentation(1, &name, nullptr, nullptr, nullptr),
              TYPE_E_ELEMENTNOTFOUND);
    // COM has a failure leave an interface out-pointer null; Wine's library leaves it as it was.
    ITypeInfo* first = reinterpret_cast<ITypeInfo*>(library);
    EXPECT_EQ(library->GetTypeInfoOfGuid(IID_IDispatchXMLModel, &first), TYPE_E_ELEMENTNOTFOUND);
    if (!UnderWine()) {
        EXPECT_EQ(first, nullptr);
    }
    ITypeInfo* byIdentifier = nullptr;
    ASSERT_EQ(library->GetTypeInfo(0, &first), S_OK);
    ASSERT_EQ(library->GetTypeInfoOfGuid(IID_IDispatchTaggedAttributes, &byIdentifier), S_OK);
    EXPECT_EQ(byIdentifier, first); // one description a type, the dispatch half of a dual one
    byIdentifier->Release();
    EXPECT_GT(library->Release(), 0u);
    ITypeInfo* interfaceHalf = InterfaceHalfOf(first);
    first->Release();
    EXPECT_EQ(interfaceHalf->GetDocumentation(12345, &name, nullptr, nullptr, nullptr),
              TYPE_E_ELEMENTNOTFOUND);
    UINT count = 7;
    EXPECT_EQ(interfaceHalf->GetNames(12345, &name, 1, &count), TYPE_E_ELEMENTNOTFOUND);
    EXPECT_EQ(count, 0u);
    // Members that only modules have answer not applicable.
    PVOID address = nullptr;
    EXPECT_EQ(interfaceHalf->AddressOfMember(1, INVOKE_FUNC, &address), TYPE_E_BADMODULEKIND);
    ITypeLib* containing = nullptr;
    UINT index = 99;
    ASSERT_EQ(interfaceHalf->GetContainingTypeLib(&containing, &index), S_OK);
    EXPECT_EQ(index, 0u); // both halves stand at the position of their type
    EXPECT_EQ(interfaceHalf->Release(), 0u);
    EXPECT_EQ(containing->Release(), 0u);
}

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
    const std::string gone = SystemPath(registry.Directory() + "/gone.tlb");
    for (const std::string& line : Rows("typelibs/registration.txt")) {
        SCOPED_TRACE(line);
        std::istringstream words(line);
        std::string verb, what, name, lcid, answer;
        WORD major = 0, minor = 0;
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
                EXPECT_EQ(Found(libid, major, minor, locale), answer);
            } else if (words >> name >> answer) {
                EXPECT_EQ(HresultName(UnRegisterTypeLib(libid, major, minor, locale,
                                                        name == "win32" ? SYS_WIN32 : SYS_WIN64)),
                          answer);
            }
        }
    }
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
    EXPECT_EQ(RegistryString("TypeLib\\{4912BE5F-26CC-42B3-A464-43445DB0E09F}\\1.0\\0\\win64"),
              (UnderWine() ? "\\\\?\\" : "") + BuiltLibraryPath("utils"));

    library = reinterpret_cast<ITypeLib*>(1);
    EXPECT_EQ(LoadTypeLibEx(Wide(BuiltLibraryPath("missing")).c_str(), REGKIND_REGISTER, &library),
              TYPE_E_CANTLOADLIBRARY);
    EXPECT_EQ(library, nullptr);
}

} // namespace
