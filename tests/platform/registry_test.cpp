#include "platform/com.h"
#include "support/PrivateRegistry.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

class Registry : public ::testing::Test {
protected:
    PrivateRegistry registry;
};

HKEY CreateKey(const std::string& path, REGSAM access = KEY_ALL_ACCESS) {
    HKEY key = nullptr;
    EXPECT_EQ(RegCreateKeyExA(HKEY_CLASSES_ROOT, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                              access, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    return key;
}

LONG SetValue(HKEY key, const char* name, const std::string& data) {
    return RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(data.data()),
                          static_cast<DWORD>(data.size()));
}

// The value's bytes exactly as stored, or "<error N>".
std::string QueryBytes(HKEY key, const char* name, DWORD* type = nullptr) {
    DWORD size = 0;
    LONG status = RegQueryValueExA(key, name, nullptr, type, nullptr, &size);
    std::string data(size, '\0');
    if (status == ERROR_SUCCESS) {
        status =
            RegQueryValueExA(key, name, nullptr, nullptr,
                             reinterpret_cast<BYTE*>(data.empty() ? nullptr : &data[0]), &size);
    }
    return status == ERROR_SUCCESS ? data : "<error " + std::to_string(status) + ">";
}

// Names and data of any bytes come back as they went in. Names ignore case and keep the case
// they were made with (the system documents no order for subkeys: the layer lists them by
// upper-cased name, Wine by lower-cased name). A string stored without its terminator gets one, as
// Windows does; a short buffer is not written and learns the size, terminator included. A value
// set with its key makes the key and its missing parents, but not from a path that starts with a
// separator.
TEST_F(Registry, KeysAndValuesRoundTripWhateverTheCaseOfTheirNames) {
    const std::string keyName = "odd\tname%\"]\xC3\xBC";
    const std::string data("line\r\n%41 \"quoted\"\0second\0", 26);
    HKEY key = CreateKey("CLSID\\" + keyName, KEY_SET_VALUE);
    EXPECT_EQ(SetValue(key, "back\\slash\nname", "replaced"), ERROR_SUCCESS);
    EXPECT_EQ(SetValue(key, "BACK\\slash\nNAME", data), ERROR_SUCCESS);
    EXPECT_EQ(SetValue(key, nullptr, "abc"), ERROR_SUCCESS);
    EXPECT_EQ(RegCloseKey(key), ERROR_SUCCESS);

    key = CreateKey("clsid\\ODD\tNAME%\"]\xC3\xBC", KEY_QUERY_VALUE);
    EXPECT_EQ(RegistrySubkeys("clsid"), std::vector<std::string>{keyName});
    DWORD type = 0;
    EXPECT_EQ(QueryBytes(key, "back\\SLASH\nName", &type), data);
    EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(QueryBytes(key, ""), std::string("abc", 4));
    char small[3] = {'x', 'x', 'x'};
    DWORD size = sizeof small;
    EXPECT_EQ(RegQueryValueExA(key, "", nullptr, nullptr, reinterpret_cast<BYTE*>(small), &size),
              ERROR_MORE_DATA);
    EXPECT_EQ(size, 4u);
    EXPECT_EQ(std::string(small, 3), "xxx");
    EXPECT_EQ(RegCloseKey(key), ERROR_SUCCESS);

    EXPECT_EQ(RegSetKeyValueA(HKEY_CLASSES_ROOT, "New\\Child", "Name", REG_SZ, "abc", 4),
              ERROR_SUCCESS);
    EXPECT_EQ(RegistryString("New\\Child", "Name"), "abc");
    EXPECT_EQ(RegSetKeyValueA(HKEY_CLASSES_ROOT, "\\Leading", nullptr, REG_SZ, "x", 2),
              ERROR_BAD_PATHNAME);
    EXPECT_EQ(RegistrySubkeys(""), (std::vector<std::string>{"CLSID", "New"}));
}

// A key with subkeys stays; an empty name deletes the key that the handle names. A handle opened
// for reading refuses writes; a handle of a deleted key fails and never brings its key back; a
// closed handle is refused; a failed open gives no handle.
TEST_F(Registry, OnlyKeysWithoutSubkeysAreDeletedAndHandlesFailCleanly) {
    ASSERT_EQ(SetRegistryString("Parent\\Child", "child"), ERROR_SUCCESS);
    EXPECT_EQ(RegDeleteKeyA(HKEY_CLASSES_ROOT, "Parent"), ERROR_ACCESS_DENIED);
    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_CLASSES_ROOT, "Parent\\Child\\\\", 0, KEY_READ, &key),
              ERROR_SUCCESS);
    EXPECT_EQ(SetValue(key, nullptr, "read only"), ERROR_ACCESS_DENIED);
    EXPECT_EQ(RegCloseKey(key), ERROR_SUCCESS);

    key = CreateKey("Parent\\Child");
    EXPECT_EQ(RegDeleteKeyA(HKEY_CLASSES_ROOT, "parent\\child"), ERROR_SUCCESS);
    EXPECT_EQ(RegDeleteKeyA(HKEY_CLASSES_ROOT, "Parent\\Child"), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(QueryBytes(key, nullptr), "<error 1018>");
    EXPECT_EQ(SetValue(key, nullptr, "late"), ERROR_KEY_DELETED);
    EXPECT_FALSE(RegistryKeyExists("Parent\\Child"));
    EXPECT_EQ(RegCloseKey(key), ERROR_SUCCESS);
    EXPECT_EQ(SetValue(key, nullptr, "closed"), ERROR_INVALID_HANDLE);
    HKEY missing = HKEY_CLASSES_ROOT;
    EXPECT_EQ(RegOpenKeyExA(HKEY_CLASSES_ROOT, "Parent\\Missing", 0, KEY_READ, &missing),
              ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(missing, nullptr);
    key = CreateKey("Parent");
    EXPECT_EQ(RegDeleteKeyA(key, ""), ERROR_SUCCESS);
    RegCloseKey(key);
    EXPECT_TRUE(RegistrySubkeys("").empty());
}

} // namespace
