#include "errors/ErrorProvider.h"
#include "errors/HDispatchSupportErrorInfo.h"
#include "errors/RaiseErrorInfo.h"
#include "platform/com.h"
#include "support/CountingObject.h"
#include "support/TestSupport.h"
#include "text/Text.h"

#include <gtest/gtest.h>

#include <new>

namespace Ostrel {
namespace {

// A provider whose message cannot be read, as when memory runs out on the way.
struct UnreadableProvider : ErrorProvider {
    void GetError(IText&) const override { throw std::bad_alloc(); }
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
    Text own;
    provider.GetError(own);
    provider.AppendError(own);
    provider.AppendError(Text("!"));
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

// References and queries are the owner's; only the owner's own interface, compared by value
// down to its last byte, supports error information.
TEST(HDispatchSupportErrorInfo, ActsForItsOwnerAndAnswersForItsInterface) {
    const IID own = {0x0A1B2C3D, 0x4E5F, 0x6071, {0x82, 0x93, 0xA4, 0xB5, 0xC6, 0xD7, 0xE8, 0xF9}};
    Testing::CountingObject owner;
    HDispatchSupportErrorInfo support(&owner, &own);
    EXPECT_EQ(support.AddRef(), 2u);
    void* object = nullptr;
    EXPECT_EQ(support.QueryInterface(IID_IDispatch, &object), S_OK);
    EXPECT_EQ(object, static_cast<IDispatch*>(&owner));
    EXPECT_EQ(support.Release() + support.Release(), 3u);
    IID other = own;
    EXPECT_EQ(support.InterfaceSupportsErrorInfo(other), S_OK);
    other.Data4[7] ^= 1;
    EXPECT_EQ(support.InterfaceSupportsErrorInfo(other), S_FALSE);
}

} // namespace
} // namespace Ostrel
