#include "platform/com.h"
#include "support/PrivateRegistry.h"
#include "support/SystemFacts.h"
#include "testserver.h"

#include <gtest/gtest.h>

#include <string>

namespace {

const std::string testClass = "{6B1C2D3E-4F50-4A61-9B72-8C93D4E5F607}";
// {0F0E0D0C-0B0A-4908-8706-050403020100}, registered piece by piece.
const CLSID otherClass = {
    0x0F0E0D0C, 0x0B0A, 0x4908, {0x87, 0x06, 0x05, 0x04, 0x03, 0x02, 0x01, 0x00}};
const std::string otherClassKey = "CLSID\\{0F0E0D0C-0B0A-4908-8706-050403020100}";
const std::string serverPath = SystemPath(PRAVELL_TEST_SERVER);

bool ServerLoaded() {
    return GetModuleHandleA(serverPath.c_str()) != nullptr;
}

HRESULT Create(REFCLSID clsid, IUnknown** object, REFIID iid = IID_IUnknown,
               DWORD context = CLSCTX_INPROC_SERVER, IUnknown* outer = nullptr) {
    return CoCreateInstance(clsid, outer, context, iid, reinterpret_cast<void**>(object));
}

// The test server registered as Windows registers a class: by class and by programmatic
// identifier, in a registry of the test's own. The system's activation wants the thread
// initialised; a single-threaded apartment frees an unused library at once. The server stays
// loaded while an object lives and leaves the process once its last object is released; a later
// object loads it again. A library that does not load is the loader's failure: Wine answers
// E_ACCESSDENIED, which its activation code marks as unsure of itself; the loader's is what
// Windows answers.
TEST(Activation, CreatesUnloadsAndFailsAsWindowsDoes) {
    PrivateRegistry registry;
    const auto setString = [&registry](const std::string& key, const std::string& text) {
        EXPECT_EQ(registry.SetActivationString(key, text), ERROR_SUCCESS) << key;
    };
    ASSERT_TRUE(SUCCEEDED(CoInitialize(nullptr)));
    setString("CLSID\\" + testClass + "\\InProcServer32", serverPath);
    setString("Pravell.TestServerObject\\CLSID", testClass);
    CLSID clsid{};
    ASSERT_EQ(CLSIDFromProgID(OLESTR("Pravell.TestServerObject"), &clsid), S_OK);
    EXPECT_EQ(clsid, CLSID_TestServerObject);

    IUnknown* first = nullptr;
    IUnknown* second = nullptr;
    ASSERT_EQ(Create(clsid, &first), S_OK);
    ASSERT_EQ(Create(clsid, &second), S_OK);
    second->Release();
    EXPECT_EQ(Create(clsid, &second, IID_IUnknown, CLSCTX_INPROC_SERVER, first),
              CLASS_E_NOAGGREGATION);
    EXPECT_EQ(second, nullptr);
    CoFreeUnusedLibraries();
    EXPECT_TRUE(ServerLoaded());
    first->Release();
    CoFreeUnusedLibraries();
    EXPECT_FALSE(ServerLoaded());
    ASSERT_EQ(Create(clsid, &first), S_OK);
    EXPECT_TRUE(ServerLoaded());
    first->Release();

    EXPECT_EQ(CLSIDFromProgID(OLESTR("No.Such.Class"), &clsid), CO_E_CLASSSTRING);
    EXPECT_EQ(clsid, GUID_NULL);
    setString("Broken.ProgID\\CLSID", "not a class identifier");
    EXPECT_EQ(CLSIDFromProgID(OLESTR("Broken.ProgID"), &clsid), CO_E_CLASSSTRING);
    IUnknown* object = reinterpret_cast<IUnknown*>(&clsid);
    EXPECT_EQ(Create(CLSID_TestServerObject, &object, IID_IDispatch), E_NOINTERFACE);
    EXPECT_EQ(object, nullptr);
    EXPECT_EQ(Create(CLSID_TestServerObject, &object, IID_IUnknown, CLSCTX_LOCAL_SERVER),
              REGDB_E_CLASSNOTREG);
    EXPECT_EQ(Create(otherClass, &object), REGDB_E_CLASSNOTREG);
    setString(otherClassKey, "a class without a server");
    EXPECT_EQ(Create(otherClass, &object), REGDB_E_CLASSNOTREG);
    setString(otherClassKey + "\\InProcServer32",
              SystemPath(registry.Directory() + "/missing-server.dll"));
    EXPECT_EQ(Create(otherClass, &object),
              UnderWine() ? E_ACCESSDENIED : HRESULT_FROM_WIN32(ERROR_MOD_NOT_FOUND));
    setString(otherClassKey + "\\InProcServer32", SystemPath(PRAVELL_NOT_A_SERVER));
    EXPECT_EQ(Create(otherClass, &object), CO_E_DLLNOTFOUND);
    EXPECT_EQ(object, nullptr);
    CoFreeUnusedLibraries();
    EXPECT_FALSE(ServerLoaded()) << "every object created was released";
    CoUninitialize();
}

} // namespace
