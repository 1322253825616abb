#include "platform/com.h"
#include "pravell_idl.h"
#include "support/PrivateRegistry.h"
#include "support/SystemFacts.h"
#include "support/TypeLibSupport.h"
#include "utils_idl.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace {

const char pravellKey[] = "TypeLib\\{61BF654C-EAE8-4700-9248-B1CCA0C792F8}";
const char utilsKey[] = "TypeLib\\{4912BE5F-26CC-42B3-A464-43445DB0E09F}";
const char modelKey[] = "Interface\\{55194065-FA71-40CA-B27D-D051A195AF25}";
const char attributesKey[] = "Interface\\{79414458-7B2B-4137-98FC-894159DDBE96}";
const char automationMarshaler[] = "{00020424-0000-0000-C000-000000000046}";

class TypeLibRegistry : public ::testing::Test {
protected:
    // The system's headers differ on whether the two texts are constant: they are passed as
    // buffers of their own.
    HRESULT Register(const std::string& name, OleString helpDir = {}) {
        ITypeLib* library = LoadBuiltLibrary(name);
        if (library == nullptr) {
            return E_FAIL;
        }
        OleString path = Wide(BuiltLibraryPath(name));
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

    // Registers built libraries under TypeLib\<guid>\<entry>; answers the identifier.
    static GUID Registered(const char* guid,
                           std::initializer_list<std::pair<const char*, const char*>> entries) {
        for (const auto& [entry, name] : entries) {
            EXPECT_EQ(SetRegistryString(std::string("TypeLib\\") + guid + "\\" + entry,
                                        BuiltLibraryPath(name)),
                      ERROR_SUCCESS);
        }
        GUID id{};
        EXPECT_EQ(CLSIDFromString(Wide(guid).c_str(), &id), S_OK);
        return id;
    }

    PrivateRegistry registry;
};

TEST_F(TypeLibRegistry, RegistrationWritesTheKeysWindowsWrites) {
    ASSERT_EQ(Register("pravell"), S_OK);
    std::string version = std::string(pravellKey) + "\\1.0";
    EXPECT_EQ(RegistryString(version), "Pravell XML Model and Streaming Parser");
    EXPECT_EQ(RegistryString(version + "\\0\\win64"), BuiltLibraryPath("pravell"));
    // The flags registered are the library's own, those its author set; a library read from a
    // file also reports LIBFLAG_FHASDISKIMAGE, which Wine registers with them.
    EXPECT_EQ(RegistryString(version + "\\FLAGS"), UnderWine() ? "8" : "0");
    EXPECT_EQ(RegistryString(version + "\\HELPDIR"), SystemPath(PRAVELL_BIN_DIR));
    EXPECT_EQ(RegistryString(modelKey), "IDispatchXMLModel");
    EXPECT_EQ(RegistryString(std::string(modelKey) + "\\ProxyStubClsid"), automationMarshaler);
    EXPECT_EQ(RegistryString(std::string(modelKey) + "\\TypeLib"),
              "{61BF654C-EAE8-4700-9248-B1CCA0C792F8}");
    EXPECT_EQ(RegistryString(std::string(modelKey) + "\\TypeLib", "Version"), "1.0");
    EXPECT_FALSE(RegistryKeyExists("CLSID\\" + GuidString(CLSID_XMLModel)))
        << "classes are registered by their server, not with the type library";

    // Registering again changes nothing; a help directory replaces the default.
    ASSERT_EQ(Register("pravell", OLESTR("/usr/share/doc/pravell")), S_OK);
    EXPECT_EQ(RegistryString(version + "\\HELPDIR"), "/usr/share/doc/pravell");
    EXPECT_EQ(RegistryString(version + "\\0\\win64"), BuiltLibraryPath("pravell"));
}

TEST_F(TypeLibRegistry, RegisteredLibrariesAreFoundByIdentifierVersionAndLocale) {
    EXPECT_EQ(Found(LIBID_Pravell, 1, 0, 0), "not registered");
    ASSERT_EQ(Register("pravell"), S_OK);
    ASSERT_EQ(Register("utils"), S_OK);
    EXPECT_EQ(Found(LIBID_Pravell, 1, 0, 0), "Pravell");
    EXPECT_EQ(Found(LIBID_PravellUtils, 1, 0, LOCALE_USER_DEFAULT), "PravellUtils")
        << "the system asks for the user's locale; registration writes the neutral one";
    EXPECT_EQ(Found(LIBID_Pravell, 1, 0, 0x0407), "Pravell");
    EXPECT_EQ(Found(LIBID_Pravell, 2, 0, 0), "not registered");
    EXPECT_EQ(Found(LIBID_Pravell, 1, 1, 0), "not registered") << "no lower minor";
    EXPECT_EQ(Found(IID_IDispatchXMLModel, 1, 0, 0), "not registered");

    // The exact minor of the major serves, or else the highest above it, and the file found
    // must itself be of that major and at least that minor, whatever its key says.
    const GUID fakeId = Registered("{0E5B8C73-94D2-4F1A-B6C8-1D2E3F405162}",
                                   {{"2.9\\0\\win32", "utils"}, {"2.a\\0\\win32", "typelib_test"}});
    EXPECT_EQ(Found(fakeId, 2, 3, 0), "PravellTypeLibTest")
        << "versions are hexadecimal: 2.a is 2.10, above 2.9";
    EXPECT_EQ(Found(fakeId, 2, 4, 0), "not registered") << "the file found is only 2.3";
    EXPECT_EQ(Found(fakeId, 2, 9, 0), "not registered") << "the file of 2.9 is only 1.0";
    EXPECT_EQ(Found(fakeId, 2, 11, 0), "not registered");

    // A locale's own registration serves it, else the neutral one (above). The primary
    // language in between is left out: Wine looks for the sub-language's number there
    // (SUBLANGID, 1 for 0x409), where the keys are documented to name a neutral sub-language.
    std::string localized = "TypeLib\\{0E5B8C73-94D2-4F1A-B6C8-1D2E3F405163}";
    const GUID localizedId =
        Registered(localized.substr(8).c_str(),
                   {{"1.0\\409\\win32", "utils"}, {"1.0\\407\\win64", "pravell"}});
    EXPECT_EQ(Found(localizedId, 1, 0, 0x0409), "PravellUtils");
    EXPECT_EQ(Found(localizedId, 1, 0, 0x0407), "Pravell");
    EXPECT_EQ(Found(localizedId, 1, 0, 0x040C), "not registered");

    ASSERT_EQ(SetRegistryString(localized + "\\2.0\\0\\win32", registry.Directory() + "/gone.tlb"),
              ERROR_SUCCESS);
    EXPECT_EQ(Found(localizedId, 2, 0, 0), "failed") << "a registered file that is gone";
}

// The registered file tells which interface keys to remove, so a library whose file has gone
// stays registered; a version that is not registered for that system kind is refused.
TEST_F(TypeLibRegistry, UnregistrationRemovesWhatRegistrationWrote) {
    ITypeLib* library = LoadBuiltLibrary("pravell");
    OleString gone = Wide(SystemPath(registry.Directory() + "/gone.tlb"));
    ASSERT_EQ(RegisterTypeLib(library, &gone[0], nullptr), S_OK);
    library->Release();
    ASSERT_EQ(Register("utils"), S_OK);
    EXPECT_EQ(UnRegisterTypeLib(LIBID_Pravell, 1, 0, 0, SYS_WIN32), E_INVALIDARG)
        << "registered for win64 only";
    EXPECT_EQ(UnRegisterTypeLib(LIBID_Pravell, 1, 0, 0, SYS_WIN64), TYPE_E_INVALIDSTATE);
    EXPECT_TRUE(RegistryKeyExists(modelKey));

    ASSERT_EQ(Register("pravell"), S_OK);
    EXPECT_EQ(UnRegisterTypeLib(LIBID_Pravell, 1, 0, 0, SYS_WIN64), S_OK);
    EXPECT_FALSE(RegistryKeyExists(pravellKey));
    EXPECT_FALSE(RegistryKeyExists(modelKey));
    EXPECT_TRUE(RegistryKeyExists(std::string(utilsKey) + "\\1.0\\0\\win64"));
    EXPECT_EQ(RegistryString(attributesKey), "IDispatchTaggedAttributes");
    EXPECT_EQ(Found(LIBID_Pravell, 1, 0, 0), "not registered");
    EXPECT_EQ(UnRegisterTypeLib(LIBID_Pravell, 1, 0, 0, SYS_WIN64), E_INVALIDARG)
        << "nothing left to unregister";
    EXPECT_EQ(Found(LIBID_PravellUtils, 1, 0, 0), "PravellUtils");
}

TEST_F(TypeLibRegistry, UnregisteringOneVersionKeepsTheOthers) {
    ASSERT_EQ(Register("utils"), S_OK);
    std::string other = std::string(utilsKey) + "\\1.1\\0\\win64";
    ASSERT_EQ(SetRegistryString(other, BuiltLibraryPath("utils")), ERROR_SUCCESS);
    ASSERT_EQ(
        SetRegistryString(std::string(utilsKey) + "\\1.0\\409\\win64", BuiltLibraryPath("utils")),
        ERROR_SUCCESS);
    ASSERT_EQ(UnRegisterTypeLib(LIBID_PravellUtils, 1, 0, 0, SYS_WIN64), S_OK);
    EXPECT_TRUE(RegistryKeyExists(std::string(utilsKey) + "\\1.0\\409\\win64"))
        << "another locale of the version stays";
    EXPECT_FALSE(RegistryKeyExists(std::string(utilsKey) + "\\1.0\\0"));
    ASSERT_EQ(UnRegisterTypeLib(LIBID_PravellUtils, 1, 0, 0x409, SYS_WIN64), S_OK);
    EXPECT_FALSE(RegistryKeyExists(std::string(utilsKey) + "\\1.0"));
    EXPECT_TRUE(RegistryKeyExists(other)) << "another version stays, and with it the library key";
}

// A host that only reads a library loads it without registering; one that asks registers it.
// By default, as LoadTypeLib loads, a library is registered only when it was named without a
// full path, and then under the full path it was found at.
TEST_F(TypeLibRegistry, LoadingRegistersOnlyWhenAskedOrByARelativeName) {
    const OleString path = Wide(BuiltLibraryPath("utils"));
    for (REGKIND kind : {REGKIND_NONE, REGKIND_DEFAULT, REGKIND_REGISTER}) {
        ITypeLib* library = nullptr;
        ASSERT_EQ(LoadTypeLibEx(path.c_str(), kind, &library), S_OK);
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
    // Wine registers the path it found in its long form, after "\\?\".
    EXPECT_EQ(RegistryString(std::string(utilsKey) + "\\1.0\\0\\win64"),
              (UnderWine() ? "\\\\?\\" : "") + BuiltLibraryPath("utils"));

    library = reinterpret_cast<ITypeLib*>(1);
    EXPECT_EQ(LoadTypeLibEx(Wide(BuiltLibraryPath("missing")).c_str(), REGKIND_REGISTER, &library),
              TYPE_E_CANTLOADLIBRARY);
    EXPECT_EQ(library, nullptr);
}

} // namespace
