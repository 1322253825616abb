#include "platform/com.h"
#include "support/PrivateRegistry.h"

#include <gtest/gtest.h>

#include <algorithm>
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

LONG CreateKey(const std::string& path, HKEY* opened = nullptr) {
    HKEY key = nullptr;
    LONG status = RegCreateKeyExA(HKEY_CLASSES_ROOT, path.c_str(), 0, nullptr,
                                  REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr, &key, nullptr);
    if (status == ERROR_SUCCESS && opened != nullptr) {
        *opened = key;
    } else if (status == ERROR_SUCCESS) {
        RegCloseKey(key);
    }
    return status;
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

// Names and data of any bytes come back as they went in; value names ignore case.
TEST_F(Registry, KeysAndValuesRoundTrip) {
    const std::string keyName = "odd\tname%\"]\xC3\xBC";
    const std::string path = std::string(modelKey) + "\\" + keyName;
    const std::string data("line\r\n%41 \"quoted\"\0second\0", 26);
    HKEY key = nullptr;
    DWORD disposition = 0;
    ASSERT_EQ(RegCreateKeyExA(HKEY_CLASSES_ROOT, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                              KEY_SET_VALUE, nullptr, &key, &disposition),
              ERROR_SUCCESS);
    EXPECT_EQ(disposition, REG_CREATED_NEW_KEY);
    EXPECT_EQ(SetString(key, nullptr, "Corvantis XML Model"), ERROR_SUCCESS);
    EXPECT_EQ(RegSetValueExA(key, "back\\slash\nname", 0, REG_SZ,
                             reinterpret_cast<const BYTE*>(data.data()),
                             static_cast<DWORD>(data.size())),
              ERROR_SUCCESS);
    const BYTE flags[] = {1, 0, 0, 0};
    EXPECT_EQ(RegSetValueExA(key, "Flags", 0, REG_DWORD, flags, sizeof flags), ERROR_SUCCESS);
    EXPECT_EQ(RegSetValueExA(key, "Bare", 0, REG_SZ, reinterpret_cast<const BYTE*>("abc"), 3),
              ERROR_SUCCESS);
    EXPECT_EQ(RegSetValueExA(key, "Zero", 0, REG_SZ, reinterpret_cast<const BYTE*>(""), 0),
              ERROR_SUCCESS);
    EXPECT_EQ(RegCloseKey(key), ERROR_SUCCESS);

    ASSERT_EQ(RegCreateKeyExA(HKEY_CLASSES_ROOT, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                              KEY_QUERY_VALUE, nullptr, &key, &disposition),
              ERROR_SUCCESS);
    EXPECT_EQ(disposition, REG_OPENED_EXISTING_KEY);
    char small[5] = {'x', 'x', 'x', 'x', 'x'};
    DWORD size = sizeof small;
    EXPECT_EQ(RegQueryValueExA(key, "", nullptr, nullptr, reinterpret_cast<BYTE*>(small), &size),
              ERROR_MORE_DATA);
    EXPECT_EQ(size, sizeof "Corvantis XML Model") << "the size counts the NUL";
    EXPECT_EQ(std::string(small, 5), "xxxxx") << "a short buffer is not written";
    DWORD type = 0;
    EXPECT_EQ(QueryBytes(key, "BACK\\SLASH\nName"), data);
    EXPECT_EQ(QueryBytes(key, "Flags", &type), std::string("\x01\0\0\0", 4));
    EXPECT_EQ(type, REG_DWORD);
    EXPECT_EQ(QueryBytes(key, "Bare"), std::string("abc", 4)) << "terminated as Windows does";
    EXPECT_EQ(QueryBytes(key, "Zero"), "");
    EXPECT_EQ(RegCloseKey(key), ERROR_SUCCESS);
    EXPECT_EQ(RegistrySubkeys(modelKey), std::vector<std::string>{keyName});

    // A value set with its key makes the key and its missing parents.
    EXPECT_EQ(RegSetKeyValueA(HKEY_CLASSES_ROOT, "New\\Child", "Name", REG_SZ, "abc", 3),
              ERROR_SUCCESS);
    EXPECT_EQ(RegistryString("New\\Child", "Name"), "abc");
    EXPECT_EQ(RegSetKeyValueA(HKEY_CLASSES_ROOT, "\\Leading", nullptr, REG_SZ, "x", 2),
              ERROR_BAD_PATHNAME);
    EXPECT_FALSE(RegistryKeyExists("Leading"));
}

TEST_F(Registry, NamesIgnoreCaseKeepTheirOwnAndListInUpperCaseOrder) {
    ASSERT_EQ(SetRegistryString("CLSID\\MixedCase", "first", "Name"), ERROR_SUCCESS);
    ASSERT_EQ(SetRegistryString("clsid\\MIXEDCASE", "second", "NAME"), ERROR_SUCCESS);
    EXPECT_EQ(RegistryString("CLSID\\mixedcase", "name"), "second");
    EXPECT_EQ(RegistrySubkeys(""), std::vector<std::string>{"CLSID"});

    for (const char* name : {"b", "A", "_x", "a2"}) {
        ASSERT_EQ(CreateKey(std::string("Order\\") + name), ERROR_SUCCESS);
    }
    // The system documents no order for subkeys (the layer lists them by upper-cased name,
    // Wine by lower-cased name): only the names are compared.
    std::vector<std::string> listed = RegistrySubkeys("Order");
    std::sort(listed.begin(), listed.end());
    EXPECT_EQ(listed, (std::vector<std::string>{"A", "_x", "a2", "b"}));
}

TEST_F(Registry, DeletingAKeyWithSubkeysIsRefused) {
    ASSERT_EQ(SetRegistryString("Parent\\Child", "child"), ERROR_SUCCESS);
    EXPECT_EQ(RegDeleteKeyA(HKEY_CLASSES_ROOT, "Parent"), ERROR_ACCESS_DENIED);
    EXPECT_EQ(RegistryString("Parent\\Child"), "child");
    EXPECT_EQ(RegDeleteKeyA(HKEY_CLASSES_ROOT, "parent\\child"), ERROR_SUCCESS);
    EXPECT_EQ(RegDeleteKeyA(HKEY_CLASSES_ROOT, "Parent\\Child"), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(RegDeleteKeyA(HKEY_CLASSES_ROOT, "Parent"), ERROR_SUCCESS);
    EXPECT_EQ(RegDeleteKeyA(HKEY_CLASSES_ROOT, nullptr), ERROR_INVALID_PARAMETER);
    HKEY key = nullptr;
    ASSERT_EQ(CreateKey("Self", &key), ERROR_SUCCESS);
    EXPECT_EQ(RegDeleteKeyA(key, ""), ERROR_SUCCESS) << "an empty name deletes the key itself";
    RegCloseKey(key);
    EXPECT_FALSE(RegistryKeyExists("Self"));
    EXPECT_TRUE(RegistrySubkeys("").empty());
}

TEST_F(Registry, HandlesFailCleanly) {
    HKEY key = nullptr;
    HKEY child = nullptr;
    ASSERT_EQ(CreateKey("Gone", &key), ERROR_SUCCESS);
    ASSERT_EQ(RegDeleteKeyA(HKEY_CLASSES_ROOT, "Gone"), ERROR_SUCCESS);
    EXPECT_EQ(QueryBytes(key, nullptr), "<error 1018>");
    EXPECT_EQ(SetString(key, nullptr, "late"), ERROR_KEY_DELETED);
    EXPECT_EQ(RegCreateKeyExA(key, "Child", 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_READ, nullptr,
                              &child, nullptr),
              ERROR_KEY_DELETED);
    EXPECT_FALSE(RegistryKeyExists("Gone")) << "a stale handle does not bring its key back";
    EXPECT_EQ(RegCloseKey(key), ERROR_SUCCESS);
    EXPECT_EQ(RegCloseKey(key), ERROR_INVALID_HANDLE);
    EXPECT_EQ(SetString(key, nullptr, "closed"), ERROR_INVALID_HANDLE);

    ASSERT_EQ(CreateKey("Kept\\Deeper"), ERROR_SUCCESS);
    child = HKEY_CLASSES_ROOT;
    EXPECT_EQ(RegOpenKeyExA(HKEY_CLASSES_ROOT, "Kept\\Missing", 0, KEY_READ, &child),
              ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(child, nullptr);
    ASSERT_EQ(RegOpenKeyExA(HKEY_CLASSES_ROOT, "Kept\\\\", 0, KEY_READ, &key), ERROR_SUCCESS);
    EXPECT_EQ(SetString(key, nullptr, "read only"), ERROR_ACCESS_DENIED);
    RegCloseKey(key);
}

} // namespace
