// ISupportErrorInfo as a member object of an automation object that publishes error information
// (the model and node objects): it tells hosts that failures of the owner's dispatch interface
// come with a description.
//
// It has no reference count of its own: QueryInterface, AddRef and Release go to the owner, so
// a reference taken through it keeps the owner alive. The owner hands it out for
// IID_ISupportErrorInfo (DispatchObject's ExtraInterface).
#pragma once

#include "platform/com.h"

namespace Ostrel {

class HDispatchSupportErrorInfo : public ISupportErrorInfo {
public:
    // `owner` is not referenced (the member lives inside it); `interfaceId` must outlive it.
    HDispatchSupportErrorInfo(IUnknown* owner, const IID* interfaceId)
        : owner(owner), interfaceId(interfaceId) {}
    HDispatchSupportErrorInfo(const HDispatchSupportErrorInfo&) = delete;
    HDispatchSupportErrorInfo& operator=(const HDispatchSupportErrorInfo&) = delete;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;
    // S_OK for the owner's dispatch interface (all 16 bytes equal), S_FALSE for any other.
    HRESULT STDMETHODCALLTYPE InterfaceSupportsErrorInfo(REFIID riid) override;

private:
    IUnknown* owner;
    const IID* interfaceId;
};

} // namespace Ostrel
