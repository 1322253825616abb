#include "host/Component.h"

#include "host/AutomationText.h"

namespace Ostrel {

HRESULT FindClass(const std::string& progId, CLSID& clsid) {
    const Bstr name(progId);
    return name == nullptr ? E_OUTOFMEMORY : CLSIDFromProgID(name, &clsid);
}

HRESULT CreateComponent(const std::string& progId, LateBound& object) {
    CLSID clsid;
    HRESULT status = FindClass(progId, clsid);
    IDispatch* created = nullptr;
    if (SUCCEEDED(status)) {
        status = CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch,
                                  reinterpret_cast<void**>(&created));
    }
    if (SUCCEEDED(status) && created == nullptr) {
        status = E_UNEXPECTED;
    }
    if (SUCCEEDED(status)) {
        object = LateBound(created);
    }
    return status;
}

} // namespace Ostrel
