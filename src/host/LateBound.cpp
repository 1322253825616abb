#include "host/LateBound.h"

#include "host/AutomationText.h"
#include "host/HeldException.h"

#include <algorithm>

namespace Ostrel {

namespace {

void ClearArguments(std::vector<VARIANT>& arguments) {
    for (VARIANT& argument : arguments) {
        VariantClear(&argument);
    }
}

} // namespace

LateBound LateBound::Share(IDispatch* object) {
    if (object != nullptr) {
        object->AddRef();
    }
    return LateBound(object);
}

LateBound::LateBound(LateBound&& other) noexcept
    : object(std::exchange(other.object, nullptr)), members(std::move(other.members)),
      status(other.status), failure(std::move(other.failure)) {}

LateBound& LateBound::operator=(LateBound&& other) noexcept {
    if (this != &other) {
        Reset();
        object = std::exchange(other.object, nullptr);
        members = std::move(other.members);
        status = other.status;
        failure = std::move(other.failure);
    }
    return *this;
}

void LateBound::Reset() {
    if (object != nullptr) {
        std::exchange(object, nullptr)->Release();
    }
    members.clear();
}

HRESULT LateBound::FindMember(const std::string& member, DISPID& id) {
    id = DISPID_UNKNOWN;
    if (object == nullptr) {
        return E_POINTER;
    }
    for (const auto& known : members) {
        if (known.first == member) {
            id = known.second;
            return S_OK;
        }
    }
    const Bstr name(member);
    if (name == nullptr) {
        return E_OUTOFMEMORY;
    }
    LPOLESTR names[] = {name};
    const HRESULT found = object->GetIDsOfNames(IID_NULL, names, 1, 0, &id);
    if (SUCCEEDED(found)) {
        members.emplace_back(member, id);
    } else {
        id = DISPID_UNKNOWN;
    }
    return found;
}

HRESULT LateBound::Call(const std::string& member, std::vector<VARIANT> arguments,
                        VARIANT* result) {
    DISPID id = DISPID_UNKNOWN;
    status = FindMember(member, id);
    if (FAILED(status)) {
        ClearArguments(arguments);
        failure = object == nullptr ? "no object to call " + member + " on"
                                    : "the object has no member " + member;
        return status;
    }
    return Invoke(id, std::move(arguments), result);
}

HRESULT LateBound::Invoke(DISPID id, std::vector<VARIANT> arguments, VARIANT* result) {
    failure.clear();
    if (object == nullptr) {
        ClearArguments(arguments);
        status = E_POINTER;
        return status;
    }
    std::reverse(arguments.begin(), arguments.end());
    DISPPARAMS parameters{arguments.data(), nullptr, static_cast<UINT>(arguments.size()), 0};
    EXCEPINFO exception{};
    UINT argumentError = 0;
    // Error information left from an earlier call must not be taken for this one's.
    SetErrorInfo(0, nullptr);
    status = object->Invoke(id, IID_NULL, 0, DISPATCH_METHOD, &parameters, result, &exception,
                            &argumentError);
    if (status == DISP_E_EXCEPTION) {
        failure = ToUtf8(exception.bstrDescription);
        status = exception.scode != S_OK ? exception.scode : status;
    }
    SysFreeString(exception.bstrSource);
    SysFreeString(exception.bstrDescription);
    SysFreeString(exception.bstrHelpFile);
    ClearArguments(arguments);
    if (ExceptionHeld() && result != nullptr) {
        VariantClear(result);
    }
    RethrowHeldException();
    return status;
}

bool LateBound::Do(const std::string& member, std::vector<VARIANT> arguments) {
    return SUCCEEDED(Call(member, std::move(arguments)));
}

bool LateBound::CallConverted(const std::string& member, std::vector<VARIANT> arguments,
                              VARTYPE type, VARIANT& result) {
    VariantInit(&result);
    if (SUCCEEDED(Call(member, std::move(arguments), &result))) {
        status = VariantChangeType(&result, &result, 0, type);
    }
    return SUCCEEDED(status);
}

bool LateBound::CallForText(const std::string& member, std::vector<VARIANT> arguments,
                            std::string& text) {
    VARIANT value{};
    const bool done = CallConverted(member, std::move(arguments), VT_BSTR, value);
    if (done) {
        text = ToUtf8(value.bstrVal);
    }
    VariantClear(&value);
    return done;
}

bool LateBound::CallForInteger(const std::string& member, std::vector<VARIANT> arguments,
                               LONG& number) {
    VARIANT value{};
    const bool done = CallConverted(member, std::move(arguments), VT_I4, value);
    if (done) {
        number = value.lVal;
    }
    VariantClear(&value);
    return done;
}

bool LateBound::CallForObject(const std::string& member, std::vector<VARIANT> arguments,
                              LateBound& found) {
    VARIANT value{};
    const bool done = CallConverted(member, std::move(arguments), VT_DISPATCH, value) &&
                      value.pdispVal != nullptr;
    if (done) {
        found = Share(value.pdispVal);
    }
    VariantClear(&value);
    return done;
}

} // namespace Ostrel
