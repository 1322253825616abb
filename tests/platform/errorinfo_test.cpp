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

TEST(ErrorInfo, GetTakesTheThreadsInformation) {
    SetErrorInfo(0, nullptr);
    IErrorInfo* first = NewErrorInfo();
    ASSERT_EQ(SetErrorInfo(0, first), S_OK);
    EXPECT_EQ(References(first), 2u);

    IErrorInfo* second = NewErrorInfo();
    ASSERT_EQ(SetErrorInfo(0, second), S_OK);
    EXPECT_EQ(References(first), 1u) << "the replaced information is released";

    IErrorInfo* taken = nullptr;
    ASSERT_EQ(GetErrorInfo(0, &taken), S_OK);
    EXPECT_EQ(taken, second);
    EXPECT_EQ(References(second), 2u) << "the reference passes to the caller";
    taken->Release();

    taken = reinterpret_cast<IErrorInfo*>(1);
    EXPECT_EQ(GetErrorInfo(0, &taken), S_FALSE);
    EXPECT_EQ(taken, nullptr);

    ASSERT_EQ(SetErrorInfo(0, first), S_OK);
    ASSERT_EQ(SetErrorInfo(0, nullptr), S_OK);
    EXPECT_EQ(References(first), 1u);
    EXPECT_EQ(GetErrorInfo(0, &taken), S_FALSE);

    EXPECT_EQ(GetErrorInfo(0xDEADBEEF, &taken), E_INVALIDARG);
    EXPECT_EQ(SetErrorInfo(0xDEADBEEF, nullptr), E_INVALIDARG);
    EXPECT_EQ(GetErrorInfo(0, nullptr), E_INVALIDARG);
    EXPECT_EQ(first->Release(), 0u);
    EXPECT_EQ(second->Release(), 0u);
}

TEST(ErrorInfo, EachThreadHasItsOwnReleasedWhenItEnds) {
    SetErrorInfo(0, nullptr);
    IErrorInfo* mine = NewErrorInfo();
    ASSERT_EQ(SetErrorInfo(0, mine), S_OK);

    HRESULT seenElsewhere = E_FAIL;
    std::thread([&] {
        IErrorInfo* taken = nullptr;
        seenElsewhere = GetErrorInfo(0, &taken);
    }).join();
    EXPECT_EQ(seenElsewhere, S_FALSE);

    IErrorInfo* theirs = NewErrorInfo();
    std::thread([&] { SetErrorInfo(0, theirs); }).join();
    EXPECT_EQ(theirs->Release(), 0u) << "a thread that ends releases its information";

    IErrorInfo* taken = nullptr;
    ASSERT_EQ(GetErrorInfo(0, &taken), S_OK);
    EXPECT_EQ(taken, mine);
    taken->Release();
    EXPECT_EQ(mine->Release(), 0u);
}

} // namespace
