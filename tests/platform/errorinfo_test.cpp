#include "platform/com.h"
#include "testsupport.h"

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

TEST(ErrorInfo, TheBuilderIsTheInformation) {
    ICreateErrorInfo* builder = nullptr;
    EXPECT_EQ(CreateErrorInfo(nullptr), E_INVALIDARG);
    ASSERT_EQ(CreateErrorInfo(&builder), S_OK);
    OLECHAR description[] = u"Failed Sprocket";
    OLECHAR source[] = u"sprocket";
    OLECHAR helpFile[] = u"sprocket.hlp";
    const GUID id = {0x9474BA1A, 0x258B, 0x490B, {0xBC, 0x13, 0x51, 0x6E, 0x92, 0x39, 0xAC, 0xE0}};
    EXPECT_EQ(builder->SetDescription(description), S_OK);
    EXPECT_EQ(builder->SetSource(source), S_OK);
    EXPECT_EQ(builder->SetHelpFile(helpFile), S_OK);
    EXPECT_EQ(builder->SetHelpContext(0xDEADBEEF), S_OK);
    EXPECT_EQ(builder->SetGUID(id), S_OK);
    description[0] = u'X';

    IErrorInfo* info = nullptr;
    ASSERT_EQ(builder->QueryInterface(IID_IErrorInfo, reinterpret_cast<void**>(&info)), S_OK);
    void* other = reinterpret_cast<void*>(1);
    EXPECT_EQ(info->QueryInterface(IID_IDispatch, &other), E_NOINTERFACE);
    EXPECT_EQ(other, nullptr);

    BSTR text = nullptr;
    ASSERT_EQ(info->GetDescription(&text), S_OK);
    EXPECT_EQ(BstrText(text), u"Failed Sprocket") << "the text was copied when it was set";
    SysFreeString(text);
    ASSERT_EQ(info->GetHelpFile(&text), S_OK);
    EXPECT_EQ(BstrText(text), u"sprocket.hlp");
    SysFreeString(text);
    DWORD context = 0;
    ASSERT_EQ(info->GetHelpContext(&context), S_OK);
    EXPECT_EQ(context, 0xDEADBEEFu);
    GUID got = GUID_NULL;
    ASSERT_EQ(info->GetGUID(&got), S_OK);
    EXPECT_TRUE(IsEqualGUID(got, id));
    builder->SetSource(nullptr);
    text = reinterpret_cast<BSTR>(1);
    EXPECT_EQ(info->GetSource(&text), S_OK);
    EXPECT_EQ(text, nullptr) << "a null text clears";
    EXPECT_EQ(info->GetSource(nullptr), E_INVALIDARG);
    builder->Release();
    EXPECT_EQ(info->Release(), 0u) << "one object behind both interfaces";
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
