#include "dispatch/NamedDispatch.h"

#include <memory>
#include <new>

namespace Ostrel {

namespace {

// Events and transfer calls take at most two arguments; longer lists take a heap block.
constexpr UINT kInlineArguments = 8;

void FreeException(EXCEPINFO& exception) {
    SysFreeString(exception.bstrSource);
    SysFreeString(exception.bstrDescription);
    SysFreeString(exception.bstrHelpFile);
}

// Looks names up through IDispatchEx, which script class objects answer where they do not
// answer GetIDsOfNames. The interface is asked for once, at the first name that needs it, and
// held until the lookup is over.
class ExtendedLookup {
public:
    explicit ExtendedLookup(IDispatch* target) : target(target) {}
    ExtendedLookup(const ExtendedLookup&) = delete;
    ExtendedLookup& operator=(const ExtendedLookup&) = delete;
    ~ExtendedLookup() {
        if (extended != nullptr) {
            extended->Release();
        }
    }

    // Script engines compare names without regard to case (VBScript) or exactly (JScript);
    // asking without regard to case finds the member in both. The name must be a real
    // automation string: engines read its length.
    DISPID IdOf(const OLECHAR* name) {
        if (!asked) {
            asked = true;
            void* found = nullptr;
            if (SUCCEEDED(target->QueryInterface(IID_IDispatchEx, &found))) {
                extended = static_cast<IDispatchEx*>(found);
            }
        }
        if (extended == nullptr) {
            return DISPID_UNKNOWN;
        }
        BSTR string = SysAllocString(name);
        if (string == nullptr) {
            throw std::bad_alloc();
        }
        DISPID id = DISPID_UNKNOWN;
        if (FAILED(extended->GetDispID(string, fdexNameCaseInsensitive, &id))) {
            id = DISPID_UNKNOWN;
        }
        SysFreeString(string);
        return id;
    }

private:
    IDispatch* target;
    IDispatchEx* extended = nullptr;
    bool asked = false;
};

} // namespace

NamedDispatch::NamedDispatch(IDispatch* target, const OLECHAR* const* names, UINT count)
    : target(target) {
    ids.Resize(static_cast<LONG>(count));
    ExtendedLookup extended(target);
    for (UINT i = 0; i < count; ++i) {
        DISPID id = DISPID_UNKNOWN;
        // The system's signature is not const; GetIDsOfNames only reads the names.
        // NOLINTNEXTLINE(cppcoreguidelines-pro-type-const-cast)
        LPOLESTR name = const_cast<LPOLESTR>(names[i]);
        if (target != nullptr && name != nullptr &&
            FAILED(target->GetIDsOfNames(IID_NULL, &name, 1, 0, &id))) {
            id = extended.IdOf(name);
        }
        ids[static_cast<LONG>(i)] = id;
    }
    if (target != nullptr) {
        target->AddRef();
    }
}

NamedDispatch::~NamedDispatch() {
    if (target != nullptr) {
        target->Release();
    }
}

DISPID NamedDispatch::IdOf(UINT member) const {
    return member < static_cast<UINT>(ids.Count()) ? ids[static_cast<LONG>(member)]
                                                   : DISPID_UNKNOWN;
}

bool NamedDispatch::Has(UINT member) const {
    return IdOf(member) != DISPID_UNKNOWN;
}

bool NamedDispatch::HasAny() const {
    for (DISPID id : ids) {
        if (id != DISPID_UNKNOWN) {
            return true;
        }
    }
    return false;
}

HRESULT NamedDispatch::Call(UINT member, const VARIANT* arguments, UINT count, VARIANT* result) {
    if (count > 0 && arguments == nullptr) {
        return E_INVALIDARG;
    }
    const DISPID id = IdOf(member);
    if (id == DISPID_UNKNOWN) {
        return DISP_E_MEMBERNOTFOUND;
    }
    VARIANT inlineArguments[kInlineArguments];
    std::unique_ptr<VARIANT[]> heapArguments;
    VARIANT* reversed = inlineArguments;
    if (count > kInlineArguments) {
        heapArguments.reset(new (std::nothrow) VARIANT[count]);
        if (heapArguments == nullptr) {
            return E_OUTOFMEMORY;
        }
        reversed = heapArguments.get();
    }
    // Bitwise copies: the caller keeps owning the values, and by-reference arguments still
    // point at the caller's storage, so out-values reach it.
    for (UINT i = 0; i < count; ++i) {
        reversed[count - 1 - i] = arguments[i];
    }
    return Invoke(id, reversed, count, result);
}

HRESULT NamedDispatch::Invoke(DISPID id, VARIANT* reversed, UINT count, VARIANT* result) {
    DISPPARAMS params = {reversed, nullptr, count, 0};
    EXCEPINFO exception = {};
    UINT argumentError = 0;
    const HRESULT answer = target->Invoke(id, IID_NULL, 0, DISPATCH_METHOD, &params, result,
                                          &exception, &argumentError);
    FreeException(exception);
    return answer;
}

} // namespace Ostrel
