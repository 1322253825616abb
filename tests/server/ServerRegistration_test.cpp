#include "pravell_idl.h"
#include "server/ServerRegistration.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

namespace Ostrel {
namespace {

// {5D2E0C11-3A47-4B8E-9C61-0F7A2B3C4D5E} and {5D2E0C11-3A47-4B8E-9C61-0F7A2B3C4D5F}
const CLSID firstClass = {
    0x5D2E0C11, 0x3A47, 0x4B8E, {0x9C, 0x61, 0x0F, 0x7A, 0x2B, 0x3C, 0x4D, 0x5E}};
const CLSID secondClass = {
    0x5D2E0C11, 0x3A47, 0x4B8E, {0x9C, 0x61, 0x0F, 0x7A, 0x2B, 0x3C, 0x4D, 0x5F}};
const char firstKey[] = "CLSID\\{5D2E0C11-3A47-4B8E-9C61-0F7A2B3C4D5E}";
const char secondKey[] = "CLSID\\{5D2E0C11-3A47-4B8E-9C61-0F7A2B3C4D5F}";

IUnknown* CreateNothing() {
    return nullptr;
}

bool KeyExists(const std::string& path) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CLASSES_ROOT, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) {
        return false;
    }
    RegCloseKey(key);
    return true;
}

std::string DefaultValue(const std::string& path) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CLASSES_ROOT, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) {
        return "(no key)";
    }
    char data[1024] = {};
    DWORD size = sizeof data;
    DWORD type = REG_NONE;
    const LONG status =
        RegQueryValueExA(key, nullptr, nullptr, &type, reinterpret_cast<BYTE*>(data), &size);
    RegCloseKey(key);
    return status == ERROR_SUCCESS && type == REG_SZ ? std::string(data) : "(no value)";
}

class Registration : public testing::Test {
protected:
    // A server of two classes, the first with the given programmatic identifier.
    void AddClasses(const char* firstProgId) {
        server.AddClass(
            std::make_unique<COMFactory>(firstClass, firstProgId, "First Class", CreateNothing));
        server.AddClass(std::make_unique<COMFactory>(secondClass, "Test.SecondClass",
                                                     "Second Class", CreateNothing));
    }
    void AddMainTypeLibrary() {
        server.AddTypeLibrary(Text(PRAVELL_BIN_DIR "/pravell.tlb"), LIBID_Pravell, 1, 0);
    }

    PrivateRegistry registry;
    COMServer server{reinterpret_cast<HMODULE>(&CreateNothing)};
};

TEST_F(Registration, AClassKeyThatCannotBeWrittenFailsTheRegistrationButNothingElse) {
    // The registry refuses a key path that starts with a backslash.
    AddClasses("\\Refused.Class");
    AddMainTypeLibrary();
    EXPECT_EQ(RegisterServer(server), SELFREG_E_CLASS);

    const std::string firstKeyPath = firstKey;
    EXPECT_EQ(DefaultValue(firstKeyPath), "First Class");
    EXPECT_EQ(DefaultValue(firstKeyPath + "\\InProcServer32"), server.ModulePath().c_str());
    EXPECT_EQ(DefaultValue(firstKeyPath + "\\ProgID"), "\\Refused.Class");
    EXPECT_FALSE(KeyExists("Refused.Class"));
    // The class after it and the type library are registered all the same.
    EXPECT_EQ(DefaultValue("Test.SecondClass\\CLSID"), "{5D2E0C11-3A47-4B8E-9C61-0F7A2B3C4D5F}");
    EXPECT_EQ(DefaultValue(std::string(secondKey) + "\\TypeLib"),
              "{61BF654C-EAE8-4700-9248-B1CCA0C792F8}");
    EXPECT_TRUE(KeyExists("TypeLib\\{61BF654C-EAE8-4700-9248-B1CCA0C792F8}\\1.0"));
}

TEST_F(Registration, ATypeLibraryFailureComesBeforeClassFailures) {
    AddClasses("Test.FirstClass");
    AddMainTypeLibrary();
    WriteWholeFile(registry.Path(), "not a registry\n");
    const HRESULT result = RegisterServer(server);
    EXPECT_TRUE(FAILED(result));
    EXPECT_NE(result, SELFREG_E_CLASS);

    ScratchDirectory scratch;
    COMServer missing{reinterpret_cast<HMODULE>(&CreateNothing)};
    missing.AddTypeLibrary(Text((scratch.Path() + "/pravell.tlb").c_str()), LIBID_Pravell, 1, 0);
    EXPECT_EQ(RegisterServer(missing), TYPE_E_CANTLOADLIBRARY);
}

TEST_F(Registration, UnregistrationGoesOnPastKeysThatStillHoldOthers) {
    AddClasses("Test.FirstClass");
    AddMainTypeLibrary();
    ASSERT_EQ(RegisterServer(server), S_OK);
    HKEY foreign = nullptr;
    ASSERT_EQ(RegCreateKeyExA(HKEY_CLASSES_ROOT, (std::string(firstKey) + "\\Foreign").c_str(), 0,
                              nullptr, REG_OPTION_NON_VOLATILE, KEY_SET_VALUE, nullptr, &foreign,
                              nullptr),
              ERROR_SUCCESS);
    RegCloseKey(foreign);

    EXPECT_EQ(UnregisterServer(server), S_OK);
    EXPECT_TRUE(KeyExists(std::string(firstKey) + "\\Foreign"));
    EXPECT_FALSE(KeyExists(std::string(firstKey) + "\\InProcServer32"));
    EXPECT_FALSE(KeyExists("Test.FirstClass"));
    EXPECT_FALSE(KeyExists(secondKey));
    EXPECT_FALSE(KeyExists("TypeLib\\{61BF654C-EAE8-4700-9248-B1CCA0C792F8}"));
}

} // namespace
} // namespace Ostrel
