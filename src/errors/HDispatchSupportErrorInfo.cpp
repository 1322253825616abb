#include "errors/HDispatchSupportErrorInfo.h"

namespace Ostrel {

HRESULT HDispatchSupportErrorInfo::QueryInterface(REFIID riid, void** object) {
    return owner->QueryInterface(riid, object);
}

ULONG HDispatchSupportErrorInfo::AddRef() {
    return owner->AddRef();
}

ULONG HDispatchSupportErrorInfo::Release() {
    return owner->Release();
}

HRESULT HDispatchSupportErrorInfo::InterfaceSupportsErrorInfo(REFIID riid) {
    const InsideDoor inside;
    return IsEqualGUID(riid, *interfaceId) ? S_OK : S_FALSE;
}

} // namespace Ostrel
