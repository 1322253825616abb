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
    EXPECT_EQ(RegisterTypeLib(library, Wide(BuiltLibraryPath(name)).c_str(), nullptr), S_OK);
    library->Release();
}

void RegisteredTest::SetUp() {
    AutomationTest::SetUp();
    Register("pravell");
    Register("utils");
}

} // namespace Ostrel::Testing
