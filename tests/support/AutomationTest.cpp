#include "support/AutomationTest.h"

#include "dispatch/CountedObject.h"
#include "dispatch/DispatchClassInfo.h"
#include "support/TypeLibSupport.h"

namespace Ostrel::Testing {

void AutomationTest::SetUp() {
    DispatchClassInfo::ReleaseAll();
    SetErrorInfo(0, nullptr);
    liveAtStart = LiveObjectCount();
}

void AutomationTest::TearDown() {
    EXPECT_EQ(LiveObjectCount(), liveAtStart) << "a counted object outlived the test";
    SetErrorInfo(0, nullptr);
    DispatchClassInfo::ReleaseAll();
}

void AutomationTest::Register(const std::string& name) {
    ITypeLib* library = LoadBuiltLibrary(name);
    ASSERT_NE(library, nullptr);
    // Windows declares the path writable.
    OleString path = Wide(BuiltLibraryPath(name));
    EXPECT_EQ(RegisterTypeLib(library, &path[0], nullptr), S_OK);
    library->Release();
}

void RegisteredTest::SetUp() {
    AutomationTest::SetUp();
    Register("pravell");
    Register("utils");
}

} // namespace Ostrel::Testing
