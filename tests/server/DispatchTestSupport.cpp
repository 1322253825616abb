#include "DispatchTestSupport.h"

#include "platform/typelibsupport.h"

namespace Ostrel::Testing {

void DispatchTest::Register(const std::string& name) {
    ITypeLib* library = LoadBuiltLibrary(name);
    ASSERT_NE(library, nullptr);
    EXPECT_EQ(RegisterTypeLib(library, Wide(BuiltLibraryPath(name)).c_str(), nullptr), S_OK);
    library->Release();
}

HRESULT TestParser::ParseFile(BSTR path, IDispatch*) {
    calls += "ParseFile;";
    lastText = TextOf(path);
    return answer;
}

HRESULT TestParser::ParseString(BSTR xml, IDispatch* client) {
    calls += client == nullptr ? "ParseString;" : "ParseString+client;";
    lastText = TextOf(xml);
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
    if (TextOf(name) != u"id") {
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

std::u16string TextOf(BSTR text) {
    return text == nullptr ? std::u16string() : std::u16string(text, SysStringLen(text));
}

} // namespace Ostrel::Testing
