#include "support/LateBinding.h"

#include "support/TypeLibSupport.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace Ostrel::Testing {

Ref& Ref::operator=(Ref&& other) noexcept {
    if (this != &other) {
        Reset();
        object = other.object;
        other.object = nullptr;
    }
    return *this;
}

void Ref::Reset() {
    if (object != nullptr) {
        object->Release();
        object = nullptr;
    }
}

Outcome::Outcome() {
    VariantInit(&value);
}

Outcome::Outcome(Outcome&& other) noexcept
    : code(other.code), description(std::move(other.description)), value(other.value) {
    VariantInit(&other.value);
}

Outcome::~Outcome() {
    VariantClear(&value);
}

std::string Outcome::Text() const {
    if (value.vt != VT_BSTR) {
        return "<type " + std::to_string(value.vt) + ">";
    }
    return value.bstrVal == nullptr ? "<null>" : Utf8(value.bstrVal);
}

Ref Outcome::Object() const {
    if (value.vt != VT_DISPATCH || value.pdispVal == nullptr) {
        return Ref();
    }
    value.pdispVal->AddRef();
    return Ref(value.pdispVal);
}

namespace {

VARIANT Typed(VARTYPE type) {
    VARIANT argument;
    VariantInit(&argument);
    argument.vt = type;
    return argument;
}

VARIANT Converted(VARIANT value, VARTYPE type) {
    EXPECT_EQ(VariantChangeType(&value, &value, 0, type), S_OK) << type;
    return value;
}

} // namespace

VARIANT Str(const std::string& utf8) {
    VARIANT argument = Typed(VT_BSTR);
    const OleText wide = Wide(utf8);
    argument.bstrVal = SysAllocStringLen(wide.data(), static_cast<UINT>(wide.size()));
    return argument;
}

VARIANT Int(LONG value) {
    VARIANT argument = Typed(VT_I4);
    argument.lVal = value;
    return argument;
}

VARIANT Short(SHORT value) {
    return Converted(Int(value), VT_I2);
}

VARIANT Byte(BYTE value) {
    return Converted(Int(value), VT_UI1);
}

VARIANT Real(double value) {
    VARIANT argument = Typed(VT_R8);
    argument.dblVal = value;
    return argument;
}

VARIANT Bool(bool value) {
    return Converted(Int(value ? -1 : 0), VT_BOOL);
}

VARIANT Obj(IDispatch* object) {
    VARIANT argument = Typed(VT_DISPATCH);
    argument.pdispVal = object;
    if (object != nullptr) {
        object->AddRef();
    }
    return argument;
}

VARIANT Strings(const std::vector<std::string>& utf8) {
    VARIANT argument = Typed(VT_ARRAY | VT_BSTR);
    argument.parray = SafeArrayCreateVector(VT_BSTR, 0, static_cast<ULONG>(utf8.size()));
    for (LONG i = 0; i < static_cast<LONG>(utf8.size()); ++i) {
        Bstr text(utf8[static_cast<size_t>(i)]);
        EXPECT_EQ(SafeArrayPutElement(argument.parray, &i, static_cast<BSTR>(text)), S_OK);
    }
    return argument;
}

std::vector<std::string> StringsOf(const VARIANT& array) {
    std::vector<std::string> texts;
    EXPECT_EQ(array.vt, VT_ARRAY | VT_BSTR);
    if (array.vt != (VT_ARRAY | VT_BSTR)) {
        return texts;
    }
    EXPECT_EQ(SafeArrayGetDim(array.parray), 1u);
    LONG lower = -1;
    LONG upper = -1;
    SafeArrayGetLBound(array.parray, 1, &lower);
    SafeArrayGetUBound(array.parray, 1, &upper);
    EXPECT_EQ(lower, 0);
    for (LONG i = lower; i <= upper; ++i) {
        BSTR text = nullptr;
        SafeArrayGetElement(array.parray, &i, &text);
        texts.push_back(TakeUtf8(text));
    }
    return texts;
}

DISPID IdOf(IDispatch* object, const std::string& name) {
    OleText wide = Wide(name);
    LPOLESTR names[] = {&wide[0]};
    DISPID id = DISPID_UNKNOWN;
    return object->GetIDsOfNames(IID_NULL, names, 1, 0, &id) == S_OK ? id : DISPID_UNKNOWN;
}

Outcome Invoke(IDispatch* object, DISPID id, std::vector<VARIANT> arguments) {
    Outcome outcome;
    std::reverse(arguments.begin(), arguments.end());
    DISPPARAMS params = {arguments.data(), nullptr, static_cast<UINT>(arguments.size()), 0};
    EXCEPINFO exception = {};
    UINT argumentError = 0;
    outcome.code = object->Invoke(id, IID_NULL, 0, DISPATCH_METHOD, &params, &outcome.value,
                                  &exception, &argumentError);
    if (outcome.code == DISP_E_EXCEPTION) {
        outcome.code = exception.scode;
        outcome.description = Utf8(exception.bstrDescription);
    }
    SysFreeString(exception.bstrSource);
    SysFreeString(exception.bstrDescription);
    SysFreeString(exception.bstrHelpFile);
    for (VARIANT& argument : arguments) {
        VariantClear(&argument);
    }
    return outcome;
}

Outcome Call(IDispatch* object, const std::string& name, std::vector<VARIANT> arguments) {
    const DISPID id = IdOf(object, name);
    if (id == DISPID_UNKNOWN) {
        for (VARIANT& argument : arguments) {
            VariantClear(&argument);
        }
        Outcome unknown;
        unknown.code = DISP_E_UNKNOWNNAME;
        return unknown;
    }
    return Invoke(object, id, std::move(arguments));
}

Ref CallForObject(IDispatch* object, const std::string& name, std::vector<VARIANT> arguments) {
    const Outcome outcome = Call(object, name, std::move(arguments));
    EXPECT_EQ(outcome.code, S_OK) << name << ": " << outcome.description;
    EXPECT_EQ(outcome.value.vt, VT_DISPATCH) << name;
    return outcome.Object();
}

Bstr::Bstr(const std::string& utf8) {
    const OleText wide = Wide(utf8);
    value = SysAllocStringLen(wide.data(), static_cast<UINT>(wide.size()));
}

std::string Utf8(const OLECHAR* text, UINT length) {
    if (text == nullptr || length == 0) {
        return std::string();
    }
    const int size = WideCharToMultiByte(CP_UTF8, 0, text, static_cast<int>(length), nullptr, 0,
                                         nullptr, nullptr);
    std::string narrow(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text, static_cast<int>(length), &narrow[0], size, nullptr,
                        nullptr);
    return narrow;
}

std::string Utf8(BSTR text) {
    return Utf8(text, SysStringLen(text));
}

std::string TakeUtf8(BSTR text) {
    std::string narrow = Utf8(text);
    SysFreeString(text);
    return narrow;
}

} // namespace Ostrel::Testing
