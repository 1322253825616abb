#include "server/COMFactory.h"

namespace Ostrel {

namespace {

// Constant-initialised, so a host that locks before any static constructor ran still counts.
LONG lockCount = 0;

} // namespace

COMFactory::COMFactory(REFCLSID classId, const char* progId, const char* friendlyName,
                       CreatingRoutine create)
    : classIdText(Text::FromCLSID(classId)), progId(progId == nullptr ? "" : progId),
      friendlyName(friendlyName), classId(classId), create(create) {}

HRESULT STDMETHODCALLTYPE COMFactory::QueryInterface(REFIID riid, void** object) {
    const InsideDoor inside;
    if (object == nullptr) {
        return E_POINTER;
    }
    *object = nullptr;
    if (riid != IID_IUnknown && riid != IID_IClassFactory) {
        return E_NOINTERFACE;
    }
    *object = static_cast<IClassFactory*>(this);
    AddRef();
    return S_OK;
}

ULONG STDMETHODCALLTYPE COMFactory::AddRef() {
    const InsideDoor inside;
    return 1;
}

ULONG STDMETHODCALLTYPE COMFactory::Release() {
    const InsideDoor inside;
    return 0;
}

HRESULT STDMETHODCALLTYPE COMFactory::CreateInstance(IUnknown* outer, REFIID riid, void** object) {
    const InsideDoor inside;
    if (object == nullptr) {
        return E_POINTER;
    }
    *object = nullptr;
    if (outer != nullptr) {
        return CLASS_E_NOAGGREGATION;
    }
    IUnknown* created = create == nullptr ? nullptr : create();
    if (created == nullptr) {
        return E_FAIL;
    }
    const HRESULT result = created->QueryInterface(riid, object);
    if (FAILED(result)) {
        // The new object holds no reference yet: one AddRef and Release destroy it.
        created->AddRef();
        created->Release();
        *object = nullptr;
    }
    return result;
}

HRESULT STDMETHODCALLTYPE COMFactory::LockServer(BOOL lock) {
    const InsideDoor inside;
    if (lock) {
        ++lockCount;
    } else {
        --lockCount;
    }
    return S_OK;
}

LONG COMFactory::LockCount() {
    return lockCount;
}

} // namespace Ostrel
