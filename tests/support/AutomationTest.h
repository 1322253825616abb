// The fixture of every automation test: a registry of the test's own that holds the built type
// libraries, dispatch records that start and end empty, no pending error information, and a
// check at the end that every counted object the test made is gone again.
#pragma once

#include "platform/com.h"
#include "support/PrivateRegistry.h"

#include <gtest/gtest.h>

#include <string>

namespace Ostrel::Testing {

class AutomationTest : public testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Loads bin/<name>.tlb and registers it in the test's registry.
    static void Register(const std::string& name);

    PrivateRegistry registry;

private:
    LONG liveAtStart = 0;
};

// The same with "pravell" and "utils" registered, as an installed library has them.
class RegisteredTest : public AutomationTest {
protected:
    void SetUp() override;
};

} // namespace Ostrel::Testing
