#include "platform/com.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>

namespace {

// Error information that counts its references from any thread.
class CountingErrorInfo final : public IErrorInfo {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override {
        *object = nullptr;
        if (riid != IID_IUnknown && riid != IID_IErrorInfo) {
            return E_NOINTERFACE;
        }
        *object = this;
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++references; }
    ULONG STDMETHODCALLTYPE Release() override { return --references; }
    HRESULT STDMETHODCALLTYPE GetGUID(GUID*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetSource(BSTR*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetDescription(BSTR*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetHelpFile(BSTR*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetHelpContext(DWORD*) override { return E_NOTIMPL; }

    std::atomic<ULONG> references{1};
};

// Leaves the calling thread with no error information, whatever a test left behind.
void ClearThreadErrorInfo() {
    SetErrorInfo(0, nullptr);
}

TEST(ErrorInfo, GetTakesTheThreadsInformation) {
    ClearThreadErrorInfo();
    CountingErrorInfo first;
    ASSERT_EQ(SetErrorInfo(0, &first), S_OK);
    EXPECT_EQ(first.references, 2u);

    CountingErrorInfo second;
    ASSERT_EQ(SetErrorInfo(0, &second), S_OK);
    EXPECT_EQ(first.references, 1u) << "the replaced information is released";

    IErrorInfo* taken = nullptr;
    ASSERT_EQ(GetErrorInfo(0, &taken), S_OK);
    EXPECT_EQ(taken, &second);
    EXPECT_EQ(second.references, 2u) << "the reference passes to the caller";
    taken->Release();

    taken = reinterpret_cast<IErrorInfo*>(1);
    EXPECT_EQ(GetErrorInfo(0, &taken), S_FALSE);
    EXPECT_EQ(taken, nullptr);

    ASSERT_EQ(SetErrorInfo(0, &first), S_OK);
    ASSERT_EQ(SetErrorInfo(0, nullptr), S_OK);
    EXPECT_EQ(first.references, 1u);
    EXPECT_EQ(GetErrorInfo(0, &taken), S_FALSE);

    EXPECT_EQ(GetErrorInfo(0xDEADBEEF, &taken), E_INVALIDARG);
    EXPECT_EQ(SetErrorInfo(0xDEADBEEF, nullptr), E_INVALIDARG);
    EXPECT_EQ(GetErrorInfo(0, nullptr), E_INVALIDARG);
}

TEST(ErrorInfo, EachThreadHasItsOwnReleasedWhenItEnds) {
    ClearThreadErrorInfo();
    CountingErrorInfo mine;
    ASSERT_EQ(SetErrorInfo(0, &mine), S_OK);

    HRESULT seenElsewhere = E_FAIL;
    std::thread([&] {
        IErrorInfo* taken = nullptr;
        seenElsewhere = GetErrorInfo(0, &taken);
    }).join();
    EXPECT_EQ(seenElsewhere, S_FALSE);

    CountingErrorInfo theirs;
    std::thread([&] { SetErrorInfo(0, &theirs); }).join();
    EXPECT_EQ(theirs.references, 1u) << "a thread that ends releases its information";

    IErrorInfo* taken = nullptr;
    ASSERT_EQ(GetErrorInfo(0, &taken), S_OK);
    EXPECT_EQ(taken, &mine);
    taken->Release();
    EXPECT_EQ(mine.references, 1u);

    ICreateErrorInfo* builder = nullptr;
    std::thread([&] {
        ASSERT_EQ(CreateErrorInfo(&builder), S_OK);
        IErrorInfo* info = nullptr;
        builder->QueryInterface(IID_IErrorInfo, reinterpret_cast<void**>(&info));
        SetErrorInfo(0, info);
        info->Release();
    }).join();
    ASSERT_NE(builder, nullptr);
    EXPECT_EQ(builder->Release(), 0u) << "the ended thread's reference is gone, ours is the last";
}

} // namespace
