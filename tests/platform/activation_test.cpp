#include "platform/com.h"
#include "support/PrivateRegistry.h"
#include "support/SystemFacts.h"
#include "testserver.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

namespace {

const char testProgId[] = "Pravell.TestServerObject";
const char testClassKey[] = "CLSID\\{6B1C2D3E-4F50-4A61-9B72-8C93D4E5F607}";
const char testClassText[] = "{6B1C2D3E-4F50-4A61-9B72-8C93D4E5F607}";

// {0F0E0D0C-0B0A-4908-8706-050403020100}, registered by some tests only.
const CLSID otherClass = {
    0x0F0E0D0C, 0x0B0A, 0x4908, {0x87, 0x06, 0x05, 0x04, 0x03, 0x02, 0x01, 0x00}};
const char otherClassKey[] = "CLSID\\{0F0E0D0C-0B0A-4908-8706-050403020100}";

int Loads() {
    const char* loads = std::getenv(testServerLoadsVariable);
    return loads == nullptr ? 0 : std::atoi(loads);
}

const std::string serverPath = SystemPath(PRAVELL_TEST_SERVER);

bool ServerLoaded() {
    return GetModuleHandleA(serverPath.c_str()) != nullptr;
}

HRESULT Create(REFCLSID clsid, IUnknown** object) {
    return CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown,
                            reinterpret_cast<void**>(object));
}

// The test server registered as Windows registers a class: by class and by programmatic
// identifier, in a registry of the test's own. The system's activation wants the thread
// initialised; a single-threaded apartment frees an unused library at once.
class Activation : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(SUCCEEDED(CoInitialize(nullptr)));
        ASSERT_EQ(Register(std::string(testClassKey) + "\\InProcServer32", serverPath),
                  ERROR_SUCCESS);
        ASSERT_EQ(Register(std::string(testProgId) + "\\CLSID", testClassText), ERROR_SUCCESS);
    }
    void TearDown() override {
        CoFreeUnusedLibraries();
        EXPECT_FALSE(ServerLoaded()) << "every test releases what it created";
        CoUninitialize();
    }

    long Register(const std::string& key, const std::string& text) {
        return registry.SetActivationString(key, text);
    }

    PrivateRegistry registry;
};

TEST_F(Activation, CreatesByClassAndByProgrammaticIdentifier) {
    CLSID clsid{};
    ASSERT_EQ(CLSIDFromProgID(OLESTR("Pravell.TestServerObject"), &clsid), S_OK);
    EXPECT_EQ(clsid, CLSID_TestServerObject);
    clsid = GUID_NULL;
    EXPECT_EQ(CLSIDFromString(OLESTR("pravell.testserverobject"), &clsid), S_OK);
    EXPECT_EQ(clsid, CLSID_TestServerObject);

    const int loadsBefore = Loads();
    IUnknown* first = nullptr;
    IUnknown* second = nullptr;
    ASSERT_EQ(Create(clsid, &first), S_OK);
    ASSERT_NE(first, nullptr);
    ASSERT_EQ(Create(clsid, &second), S_OK);
    EXPECT_NE(first, second);
    EXPECT_EQ(Loads(), loadsBefore + 1) << "the library is loaded once for both objects";

    void* object = &clsid;
    EXPECT_EQ(CoCreateInstance(clsid, nullptr, CLSCTX_ALL, IID_IDispatch, &object), E_NOINTERFACE);
    EXPECT_EQ(object, nullptr);
    EXPECT_EQ(CoCreateInstance(clsid, first, CLSCTX_INPROC_SERVER, IID_IUnknown, &object),
              CLASS_E_NOAGGREGATION);
    EXPECT_EQ(first->Release(), 0u);
    EXPECT_EQ(second->Release(), 0u);
}

TEST_F(Activation, UnknownClassesFailWithTheWindowsCodes) {
    CLSID clsid = CLSID_TestServerObject;
    EXPECT_EQ(CLSIDFromProgID(OLESTR("No.Such.Class"), &clsid), CO_E_CLASSSTRING);
    EXPECT_EQ(clsid, GUID_NULL) << "a failure answers the null identifier";
    clsid = CLSID_TestServerObject;
    EXPECT_EQ(CLSIDFromString(OLESTR("No.Such.Class"), &clsid), CO_E_CLASSSTRING);
    EXPECT_EQ(clsid, GUID_NULL);
    clsid = CLSID_TestServerObject;
    EXPECT_EQ(CLSIDFromString(nullptr, &clsid), S_OK);
    EXPECT_EQ(clsid, GUID_NULL);

    IUnknown* object = nullptr;
    EXPECT_EQ(Create(otherClass, &object), REGDB_E_CLASSNOTREG);
    EXPECT_EQ(CoCreateInstance(CLSID_TestServerObject, nullptr, CLSCTX_LOCAL_SERVER, IID_IUnknown,
                               reinterpret_cast<void**>(&object)),
              REGDB_E_CLASSNOTREG)
        << "only in-process servers exist here";

    ASSERT_EQ(Register(otherClassKey, "a class without a server"), ERROR_SUCCESS);
    EXPECT_EQ(Create(otherClass, &object), REGDB_E_CLASSNOTREG);
    // A library that does not load is the loader's failure. Wine answers E_ACCESSDENIED, which
    // its activation code marks as unsure of itself; the loader's is what Windows answers.
    ASSERT_EQ(Register(std::string(otherClassKey) + "\\InProcServer32",
                       SystemPath(registry.Directory() + "/missing-server.dll")),
              ERROR_SUCCESS);
    EXPECT_EQ(Create(otherClass, &object),
              UnderWine() ? E_ACCESSDENIED : HRESULT_FROM_WIN32(ERROR_MOD_NOT_FOUND));
    ASSERT_EQ(
        Register(std::string(otherClassKey) + "\\InProcServer32", SystemPath(PRAVELL_NOT_A_SERVER)),
        ERROR_SUCCESS);
    EXPECT_EQ(Create(otherClass, &object), CO_E_DLLNOTFOUND) << "loads, but is no server";
    EXPECT_EQ(object, nullptr);

    ASSERT_EQ(Register("Broken.ProgID\\CLSID", "not a class identifier"), ERROR_SUCCESS);
    EXPECT_EQ(CLSIDFromProgID(OLESTR("Broken.ProgID"), &clsid), CO_E_CLASSSTRING);
}

TEST_F(Activation, UnusedLibrariesAreUnloadedOnlyWhenTheServerAllows) {
    const int loadsBefore = Loads();
    IUnknown* object = nullptr;
    ASSERT_EQ(Create(CLSID_TestServerObject, &object), S_OK);
    EXPECT_TRUE(ServerLoaded());
    CoFreeUnusedLibraries();
    EXPECT_TRUE(ServerLoaded()) << "an object is alive";

    object->Release();
    CoFreeUnusedLibraries();
    EXPECT_FALSE(ServerLoaded()) << "the library has left the process";
    EXPECT_EQ(Loads(), loadsBefore + 1);

    ASSERT_EQ(Create(CLSID_TestServerObject, &object), S_OK);
    EXPECT_EQ(Loads(), loadsBefore + 2) << "loading again runs the constructor again";
    object->Release();
}

} // namespace
