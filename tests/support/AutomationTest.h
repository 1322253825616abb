// The fixture of every automation test: a registry of the test's own that holds the built type
// libraries, dispatch records that start and end empty, no pending error information, and a
// check at the end that every counted object the test made is gone again.
#pragma once

#include "dispatch/CountedObject.h"
#include "dispatch/DispatchClassInfo.h"
#include "platform/com.h"
#include "support/PrivateRegistry.h"
#include "support/TypeLibSupport.h"

#include <gtest/gtest.h>

#include <string>

namespace Ostrel::Testing {

class AutomationTest : public testing::Test {
protected:
    void SetUp() override {
        DispatchClassInfo::ReleaseAll();
        SetErrorInfo(0, nullptr);
        liveAtStart = LiveObjectCount();
    }
    void TearDown() override {
        EXPECT_EQ(LiveObjectCount(), liveAtStart) << "a counted object outlived the test";
        SetErrorInfo(0, nullptr);
        DispatchClassInfo::ReleaseAll();
    }

    // Loads bin/<name>.tlb and registers it in the test's registry.
    static void Register(const std::string& name) {
        ITypeLib* library = LoadBuiltLibrary(name);
        ASSERT_NE(library, nullptr);
        // Windows declares the path writable.
        OleString path = Wide(BuiltLibraryPath(name));
        EXPECT_EQ(RegisterTypeLib(library, &path[0], nullptr), S_OK);
        library->Release();
    }

    PrivateRegistry registry;

private:
    LONG liveAtStart = 0;
};

// The same with "pravell" and "utils" registered, as an installed library has them.
class RegisteredTest : public AutomationTest {
protected:
    void SetUp() override {
        AutomationTest::SetUp();
        Register("pravell");
        Register("utils");
    }
};

} // namespace Ostrel::Testing
