#include "DispatchTestSupport.h"

#include "support/LateBinding.h"

namespace Ostrel::Testing {

HRESULT TestParser::ParseFile(BSTR path, IDispatch*) {
    calls += "ParseFile;";
    lastText = Utf8(path);
    return answer;
}

HRESULT TestParser::ParseString(BSTR xml, IDispatch* client) {
    calls += client == nullptr ? "ParseString;" : "ParseString+client;";
    lastText = Utf8(xml);
    return answer;
}

HRESULT TestParser::ParseStream(IDispatch*, IDispatch*) {
    calls += "ParseStream;";
    return answer;
}

IUnknown* TestAttributes::ExtraInterface(REFIID riid) {
    return riid == IID_ISupportErrorInfo ? &supportErrorInfo : nullptr;
}

HRESULT TestAttributes::AddAttribute(BSTR, BSTR) {
    return E_NOTIMPL;
}

HRESULT TestAttributes::AddAttributes(VARIANT, VARIANT) {
    return E_NOTIMPL;
}

HRESULT TestAttributes::GetValue(BSTR name, BSTR* value) {
    if (Utf8(name) != "id") {
        return E_FAIL;
    }
    *value = SysAllocString(u"42");
    return S_OK;
}

HRESULT TestAttributes::GetAttribute(LONG, BSTR*, BSTR*) {
    return E_NOTIMPL;
}

HRESULT TestAttributes::GetAttributes(VARIANT*, VARIANT*) {
    return E_NOTIMPL;
}

HRESULT TestAttributes::GetCount(LONG* count) {
    *count = 7;
    return S_OK;
}

} // namespace Ostrel::Testing
