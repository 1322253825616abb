#include "errors/HDispatchSupportErrorInfo.h"
#include "platform/com.h"
#include "support/CountingObject.h"

#include <gtest/gtest.h>

namespace {

// References and queries are the owner's; only the owner's own interface, compared by value
// down to its last byte, supports error information.
TEST(HDispatchSupportErrorInfo, ActsForItsOwnerAndAnswersForItsInterface) {
    const IID own = {0x0A1B2C3D, 0x4E5F, 0x6071, {0x82, 0x93, 0xA4, 0xB5, 0xC6, 0xD7, 0xE8, 0xF9}};
    Ostrel::Testing::CountingObject owner;
    Ostrel::HDispatchSupportErrorInfo support(&owner, &own);
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
