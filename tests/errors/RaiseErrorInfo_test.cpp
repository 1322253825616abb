#include "errors/ErrorProvider.h"
#include "errors/RaiseErrorInfo.h"
#include "platform/com.h"
#include "support/TestSupport.h"
#include "text/Text.h"

#include <gtest/gtest.h>

#include <new>

namespace {

using Ostrel::ErrorProvider;
using Ostrel::RaiseErrorInfo;

// A provider whose message cannot be read, as when memory runs out on the way.
struct UnreadableProvider : ErrorProvider {
    void GetError(Ostrel::IText&) const override { throw std::bad_alloc(); }
};

// Appends accumulate without a separator, even of the provider's own message; the message goes
// out once, and stays pending when it could not be handed over.
TEST(RaiseErrorInfo, APendingFailureGoesOutOnceAndStaysPendingWhenTheHandOverFails) {
    UnreadableProvider unreadable;
    unreadable.SetErrorText("kept");
    EXPECT_EQ(RaiseErrorInfo(unreadable), E_OUTOFMEMORY);
    EXPECT_TRUE(unreadable.HasError());

    ErrorProvider provider;
    // The message is narrow text in the ANSI code page, which holds this accent on every system.
    provider.SetErrorText(ToAnsi(OLESTR("caf\u00e9")).c_str());
    Ostrel::Text own;
    provider.GetError(own);
    provider.AppendError(own);
    provider.AppendError(Ostrel::Text("!"));
    EXPECT_EQ(RaiseErrorInfo(provider), S_OK);
    EXPECT_EQ(RaiseErrorInfo(provider), E_NOINTERFACE) << "nothing is pending any more";
    IErrorInfo* info = nullptr;
    ASSERT_EQ(GetErrorInfo(0, &info), S_OK) << "and the thread's error information stays";
    BSTR description = nullptr;
    EXPECT_EQ(info->GetDescription(&description), S_OK);
    EXPECT_EQ(BstrText(description), OLESTR("caf\u00e9caf\u00e9!"));
    SysFreeString(description);
    info->Release();
}

} // namespace
