#include "errors/HDispatchSupportErrorInfo.h"
#include "platform/com.h"

#include <gtest/gtest.h>

namespace {

using Ostrel::HDispatchSupportErrorInfo;

const IID kOwnInterface = {
    0x0A1B2C3D, 0x4E5F, 0x6071, {0x82, 0x93, 0xA4, 0xB5, 0xC6, 0xD7, 0xE8, 0xF9}};

// An owner that counts its references and records the interface it was last asked for.
class Owner : public IUnknown {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override {
        lastAsked = riid;
        *object = this;
        AddRef();
        return answer;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++references; }
    ULONG STDMETHODCALLTYPE Release() override { return --references; }

    ULONG references = 5;
    HRESULT answer = S_OK;
    IID lastAsked = IID_NULL;
};

// References and queries land on the owner (its answers unchanged); only the owner's own
// interface, compared by value, supports error information.
TEST(HDispatchSupportErrorInfo, ActsForItsOwner) {
    Owner owner;
    HDispatchSupportErrorInfo support(&owner, &kOwnInterface);
    EXPECT_EQ(support.AddRef(), 6u) << "the owner's new count, not one of its own";
    EXPECT_EQ(support.Release(), 5u);

    void* object = nullptr;
    owner.answer = E_FAIL;
    EXPECT_EQ(support.QueryInterface(IID_IDispatch, &object), E_FAIL);
    EXPECT_EQ(object, &owner);
    EXPECT_EQ(owner.lastAsked, IID_IDispatch);
    support.Release();

    const IID copy = kOwnInterface;
    EXPECT_EQ(support.InterfaceSupportsErrorInfo(copy), S_OK);
    IID lastByte = kOwnInterface;
    lastByte.Data4[7] ^= 1;
    EXPECT_EQ(support.InterfaceSupportsErrorInfo(lastByte), S_FALSE);
    EXPECT_EQ(owner.references, 5u) << "asking takes no reference";
}

} // namespace
