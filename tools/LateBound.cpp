#include "LateBound.h"

#include "AutomationText.h"

#include <algorithm>

namespace Ostrel {

namespace {

void ClearException(EXCEPINFO& exception) {
    SysFreeString(exception.bstrSource);
    SysFreeString(exception.bstrDescription);
    SysFreeString(exception.bstrHelpFile);
}

std::u16string Wide(const char* name) {
    std::u16string wide;
    for (; *name != 0; ++name) {
        wide.push_back(static_cast<OLECHAR>(static_cast<unsigned char>(*name)));
    }
    return wide;
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
      failure(std::move(other.failure)) {}

LateBound& LateBound::operator=(LateBound&& other) noexcept {
    if (this != &other) {
        Release();
        object = std::exchange(other.object, nullptr);
        members = std::move(other.members);
        failure = std::move(other.failure);
    }
    return *this;
}

LateBound::~LateBound() {
    Release();
}

void LateBound::Release() {
    if (object != nullptr) {
        object->Release();
        object = nullptr;
    }
}

VARIANT LateBound::Text(const std::string& text) {
    VARIANT value;
    VariantInit(&value);
    value.vt = VT_BSTR;
    value.bstrVal = ToBstr(text);
    return value;
}

VARIANT LateBound::Integer(LONG number) {
    VARIANT value;
    VariantInit(&value);
    value.vt = VT_I4;
    value.lVal = number;
    return value;
}

VARIANT LateBound::Object(IDispatch* dispatch) {
    VARIANT value;
    VariantInit(&value);
    value.vt = VT_DISPATCH;
    value.pdispVal = dispatch;
    if (dispatch != nullptr) {
        dispatch->AddRef();
    }
    return value;
}

VARIANT LateBound::TextOut(BSTR* text) {
    VARIANT value;
    VariantInit(&value);
    value.vt = VT_BYREF | VT_BSTR;
    value.pbstrVal = text;
    return value;
}

HRESULT LateBound::FindMember(const char* member, DISPID& id) {
    for (const auto& known : members) {
        if (known.first == member) {
            id = known.second;
            return S_OK;
        }
    }
    std::u16string wide = Wide(member);
    LPOLESTR names[] = {&wide[0]};
    const HRESULT found = object->GetIDsOfNames(GUID_NULL, names, 1, 0, &id);
    if (SUCCEEDED(found)) {
        members.emplace_back(member, id);
    }
    return found;
}

HRESULT LateBound::Call(const char* member, std::initializer_list<VARIANT> arguments,
                        VARIANT* result) {
    // Invoke takes the arguments last first.
    std::vector<VARIANT> reversed(arguments.begin(), arguments.end());
    std::reverse(reversed.begin(), reversed.end());
    failure.clear();
    HRESULT status = E_POINTER;
    DISPID id = DISPID_UNKNOWN;
    if (object == nullptr) {
        failure = std::string("no object to call ") + member + " on";
    } else if (FAILED(status = FindMember(member, id))) {
        failure = std::string("the object has no member ") + member;
    } else {
        // Error information left from an earlier call must not be taken for this one's.
        SetErrorInfo(0, nullptr);
        DISPPARAMS parameters{reversed.data(), nullptr, static_cast<UINT>(reversed.size()), 0};
        EXCEPINFO exception{};
        UINT argumentError = 0;
        status = object->Invoke(id, GUID_NULL, 0, DISPATCH_METHOD, &parameters, result, &exception,
                                &argumentError);
        if (status == DISP_E_EXCEPTION) {
            failure = FromBstr(exception.bstrDescription);
            status = exception.scode != S_OK ? exception.scode : status;
        }
        ClearException(exception);
    }
    for (VARIANT& argument : reversed) {
        VariantClear(&argument);
    }
    return status;
}

bool LateBound::Do(const char* member, std::initializer_list<VARIANT> arguments) {
    return SUCCEEDED(Call(member, arguments));
}

bool LateBound::GetText(const char* member, std::initializer_list<VARIANT> arguments,
                        std::string& text) {
    VARIANT value;
    VariantInit(&value);
    const bool done = SUCCEEDED(Call(member, arguments, &value)) &&
                      SUCCEEDED(VariantChangeType(&value, &value, 0, VT_BSTR));
    if (done) {
        text = FromBstr(value.bstrVal);
    }
    VariantClear(&value);
    return done;
}

bool LateBound::GetInteger(const char* member, std::initializer_list<VARIANT> arguments,
                           LONG& number) {
    VARIANT value;
    VariantInit(&value);
    const bool done = SUCCEEDED(Call(member, arguments, &value)) &&
                      SUCCEEDED(VariantChangeType(&value, &value, 0, VT_I4));
    if (done) {
        number = value.lVal;
    }
    VariantClear(&value);
    return done;
}

bool LateBound::GetObject(const char* member, std::initializer_list<VARIANT> arguments,
                          LateBound& found) {
    VARIANT value;
    VariantInit(&value);
    const bool done = SUCCEEDED(Call(member, arguments, &value)) &&
                      SUCCEEDED(VariantChangeType(&value, &value, 0, VT_DISPATCH)) &&
                      value.pdispVal != nullptr;
    if (done) {
        found = Share(value.pdispVal);
    }
    VariantClear(&value);
    return done;
}

} // namespace Ostrel
