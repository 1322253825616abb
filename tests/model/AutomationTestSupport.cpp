#include "AutomationTestSupport.h"

#include "model/HExternalXMLModel.h"
#include "platform/typelibsupport.h"
#include "server/CountedObject.h"
#include "server/DispatchClassInfo.h"

#include <algorithm>

namespace Ostrel::Testing {

void AutomationTest::SetUp() {
    DispatchClassInfo::ReleaseAll();
    ITypeLib* library = LoadBuiltLibrary("pravell");
    ASSERT_NE(library, nullptr);
    EXPECT_EQ(RegisterTypeLib(library, Wide(BuiltLibraryPath("pravell")).c_str(), nullptr), S_OK);
    library->Release();
    SetErrorInfo(0, nullptr);
    liveAtStart = LiveObjectCount();
}

void AutomationTest::TearDown() {
    EXPECT_EQ(LiveObjectCount(), liveAtStart) << "an automation object outlived the test";
    SetErrorInfo(0, nullptr);
    DispatchClassInfo::ReleaseAll();
}

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

Ref NewModel() {
    auto* model = new HExternalXMLModel();
    model->AddRef();
    return Ref(model);
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
    return value.bstrVal == nullptr ? "<null>" : FromBSTR(value.bstrVal);
}

Ref Outcome::Object() const {
    if (value.vt != VT_DISPATCH || value.pdispVal == nullptr) {
        return Ref();
    }
    value.pdispVal->AddRef();
    return Ref(value.pdispVal);
}

VARIANT Str(const std::string& text) {
    VARIANT argument;
    VariantInit(&argument);
    argument.vt = VT_BSTR;
    const OleText wide = Wide(text);
    argument.bstrVal = SysAllocStringLen(wide.data(), static_cast<UINT>(wide.size()));
    return argument;
}

VARIANT Int(LONG value) {
    VARIANT argument;
    VariantInit(&argument);
    argument.vt = VT_I4;
    argument.lVal = value;
    return argument;
}

VARIANT Short(SHORT value) {
    VARIANT argument;
    VariantInit(&argument);
    argument.vt = VT_I2;
    argument.iVal = value;
    return argument;
}

VARIANT Byte(BYTE value) {
    VARIANT argument;
    VariantInit(&argument);
    argument.vt = VT_UI1;
    argument.bVal = value;
    return argument;
}

VARIANT Real(double value) {
    VARIANT argument;
    VariantInit(&argument);
    argument.vt = VT_R8;
    argument.dblVal = value;
    return argument;
}

VARIANT Bool(bool value) {
    VARIANT argument;
    VariantInit(&argument);
    argument.vt = VT_BOOL;
    argument.boolVal = value ? VARIANT_TRUE : VARIANT_FALSE;
    return argument;
}

VARIANT Obj(IDispatch* object) {
    VARIANT argument;
    VariantInit(&argument);
    argument.vt = VT_DISPATCH;
    argument.pdispVal = object;
    if (object != nullptr) {
        object->AddRef();
    }
    return argument;
}

Outcome Call(IDispatch* object, const std::string& name, std::vector<VARIANT> arguments) {
    Outcome outcome;
    OleText wide = Wide(name);
    LPOLESTR names[] = {&wide[0]};
    DISPID id = DISPID_UNKNOWN;
    outcome.code = object->GetIDsOfNames(IID_NULL, names, 1, 0, &id);
    if (outcome.code == S_OK) {
        std::reverse(arguments.begin(), arguments.end());
        DISPPARAMS params = {arguments.data(), nullptr, static_cast<UINT>(arguments.size()), 0};
        EXCEPINFO exception = {};
        UINT argumentError = 0;
        outcome.code = object->Invoke(id, IID_NULL, 0, DISPATCH_METHOD, &params, &outcome.value,
                                      &exception, &argumentError);
        if (outcome.code == DISP_E_EXCEPTION) {
            outcome.code = exception.scode;
            outcome.description = FromBSTR(exception.bstrDescription);
        }
        SysFreeString(exception.bstrSource);
        SysFreeString(exception.bstrDescription);
        SysFreeString(exception.bstrHelpFile);
    }
    for (VARIANT& argument : arguments) {
        VariantClear(&argument);
    }
    return outcome;
}

Ref CallForObject(IDispatch* object, const std::string& name, std::vector<VARIANT> arguments) {
    const Outcome outcome = Call(object, name, std::move(arguments));
    EXPECT_EQ(outcome.code, S_OK) << name << ": " << outcome.description;
    EXPECT_EQ(outcome.value.vt, VT_DISPATCH) << name;
    return outcome.Object();
}

std::string FromBSTR(BSTR text) {
    if (text == nullptr) {
        return "";
    }
    std::string narrow(static_cast<size_t>(SysStringLen(text)) * 3, '\0');
    const int length =
        WideCharToMultiByte(CP_UTF8, 0, text, static_cast<int>(SysStringLen(text)), &narrow[0],
                            static_cast<int>(narrow.size()), nullptr, nullptr);
    narrow.resize(static_cast<size_t>(length > 0 ? length : 0));
    return narrow;
}

std::string TakeErrorDescription() {
    IErrorInfo* info = nullptr;
    if (GetErrorInfo(0, &info) != S_OK || info == nullptr) {
        return "";
    }
    BSTR description = nullptr;
    info->GetDescription(&description);
    info->Release();
    std::string text = FromBSTR(description);
    SysFreeString(description);
    return text;
}

} // namespace Ostrel::Testing
