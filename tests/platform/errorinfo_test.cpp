#include "platform/com.h"

#include <gtest/gtest.h>

#include <thread>

namespace {

// A new error information object; the caller holds its one reference.
IErrorInfo* NewErrorInfo() {
    ICreateErrorInfo* creator = nullptr;
    EXPECT_EQ(CreateErrorInfo(&creator), S_OK);
    IErrorInfo* info = nullptr;
    EXPECT_EQ(creator->QueryInterface(IID_IErrorInfo, reinterpret_cast<void**>(&info)), S_OK);
    creator->Release();
    return info;
}

ULONG References(IUnknown* object) {
    object->AddRef();
    return object->Release();
}

// The thread's slot holds a reference of its own: setting releases what it held, getting hands
// the reference over and empties the slot. Only slot 0 exists.
TEST(ErrorInfo, GetTakesTheThreadsInformation) {
    IErrorInfo* first = NewErrorInfo();
    IErrorInfo* second = NewErrorInfo();
    ASSERT_EQ(SetErrorInfo(0, first), S_OK);
    EXPECT_EQ(References(first), 2u);
    ASSERT_EQ(SetErrorInfo(0, second), S_OK);
    EXPECT_EQ(References(first), 1u);
    IErrorInfo* taken = nullptr;
    ASSERT_EQ(GetErrorInfo(0, &taken), S_OK);
    EXPECT_EQ(taken, second);
    EXPECT_EQ(References(second), 2u);
    taken->Release();
    EXPECT_EQ(GetErrorInfo(0, &taken), S_FALSE);
    EXPECT_EQ(taken, nullptr);
    ASSERT_EQ(SetErrorInfo(0, first), S_OK);
    ASSERT_EQ(SetErrorInfo(0, nullptr), S_OK);
    EXPECT_EQ(References(first), 1u);
    EXPECT_EQ(GetErrorInfo(0xDEADBEEF, &taken), E_INVALIDARG);
    EXPECT_EQ(SetErrorInfo(0xDEADBEEF, nullptr), E_INVALIDARG);
    EXPECT_EQ(GetErrorInfo(0, nullptr), E_INVALIDARG);
    EXPECT_EQ(first->Release(), 0u);
    EXPECT_EQ(second->Release(), 0u);
}

// Another thread sees a slot of its own, released when the thread ends.
TEST(ErrorInfo, EachThreadHasItsOwnReleasedWhenItEnds) {
    IErrorInfo* mine = NewErrorInfo();
    ASSERT_EQ(SetErrorInfo(0, mine), S_OK);
    IErrorInfo* theirs = NewErrorInfo();
    HRESULT seenThere = E_FAIL;
    std::thread([&] {
        IErrorInfo* taken = nullptr;
        seenThere = GetErrorInfo(0, &taken);
        SetErrorInfo(0, theirs);
    }).join();
    EXPECT_EQ(seenThere, S_FALSE);
    EXPECT_EQ(theirs->Release(), 0u);
    IErrorInfo* taken = nullptr;
    ASSERT_EQ(GetErrorInfo(0, &taken), S_OK);
    EXPECT_EQ(taken, mine);
    taken->Release();
    EXPECT_EQ(mine->Release(), 0u);
}

} // namespace
