// The IUnknown and IDispatch halves that every automation class of the system shares. A class
// derives from DispatchObject<ItsClass, ItsInterface>, names its record with
//
//     static DispatchClassInfo& ClassInfo() { return DispatchClassInfo::XMLParser(); }
//
// and implements only the operations of its own interface.
//
// Every method holds the door (platform/door.h) for the whole call, the destruction by a last
// Release included, as every method that runs inside GuardCall does: the component's state is
// process-wide and unguarded.
//
// References: an unsigned 32-bit count that starts at 0; whoever hands the object out takes the
// first reference, and the Release that brings the count to 0 deletes the object as the derived
// class. So that delete is sound, the derived class is `final` or has a virtual destructor
// (declared after its interface methods, where it takes no slot of the interface), and its
// destructor is accessible to this base.
//
// QueryInterface: a null out-pointer gives E_FAIL; IID_IUnknown, IID_IDispatch and the record's
// interface give the object with one reference; anything else null and E_FAIL (not
// E_NOINTERFACE, as the system's objects have always answered). A class that offers one more
// interface (ISupportErrorInfo on the model and node objects) declares, accessible to this base,
//
//     IUnknown* ExtraInterface(REFIID riid);
//
// answering that interface's pointer (whose AddRef then takes the reference) or null.
#pragma once

#include "dispatch/DispatchClassInfo.h"
#include "platform/com.h"

namespace Ostrel {

template <typename Derived, typename Interface>
class DispatchObject : public Interface {
public:
    DispatchObject(const DispatchObject&) = delete;
    DispatchObject& operator=(const DispatchObject&) = delete;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override {
        const InsideDoor inside;
        if (object == nullptr) {
            return E_FAIL;
        }
        *object = nullptr;
        IUnknown* found = nullptr;
        if (riid == IID_IUnknown || riid == IID_IDispatch ||
            riid == Derived::ClassInfo().InterfaceId()) {
            found = static_cast<Interface*>(this);
        } else {
            found = static_cast<Derived*>(this)->ExtraInterface(riid);
        }
        if (found == nullptr) {
            return E_FAIL;
        }
        found->AddRef();
        *object = found;
        return S_OK;
    }

    ULONG STDMETHODCALLTYPE AddRef() override {
        const InsideDoor inside;
        return ++references;
    }

    ULONG STDMETHODCALLTYPE Release() override {
        const InsideDoor inside;
        const ULONG remaining = --references;
        if (remaining == 0) {
            delete static_cast<Derived*>(this);
        }
        return remaining;
    }

    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
        const InsideDoor inside;
        return DispatchClassInfo::GetTypeInfoCount(count);
    }

    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo** info) override {
        const InsideDoor inside;
        return Derived::ClassInfo().GetTypeInfo(info);
    }

    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID,
                                            DISPID* ids) override {
        const InsideDoor inside;
        return Derived::ClassInfo().GetIDsOfNames(riid, names, count, ids);
    }

    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID riid, LCID, WORD flags, DISPPARAMS* params,
                                     VARIANT* result, EXCEPINFO* exception,
                                     UINT* argumentError) override {
        const InsideDoor inside;
        return Derived::ClassInfo().Invoke(static_cast<Interface*>(this), id, riid, flags, params,
                                           result, exception, argumentError);
    }

protected:
    DispatchObject() = default;
    ~DispatchObject() = default;

    // Held by an operation that calls out to a host's object: the host's code there may let go
    // of its last reference to this one, which must then go only when the operation has ended.
    class ReferenceDuringCall {
    public:
        explicit ReferenceDuringCall(DispatchObject* object) : object(object) { object->AddRef(); }
        ~ReferenceDuringCall() { object->Release(); }
        ReferenceDuringCall(const ReferenceDuringCall&) = delete;
        ReferenceDuringCall& operator=(const ReferenceDuringCall&) = delete;

    private:
        DispatchObject* object;
    };

    // No interface beyond IUnknown, IDispatch and the class's own.
    IUnknown* ExtraInterface(REFIID) { return nullptr; }

private:
    ULONG references = 0;
};

} // namespace Ostrel
