// Two small automation classes built on DispatchObject for the dispatch support tests.
#pragma once

#include "errors/HDispatchSupportErrorInfo.h"
#include "platform/com.h"
#include "pravell_idl.h"
#include "server/CountedObject.h"
#include "server/DispatchClassInfo.h"
#include "server/DispatchObject.h"
#include "utils_idl.h"

#include <string>

namespace Ostrel::Testing {

// A parser object that records the calls reaching its operations.
class TestParser final : public DispatchObject<TestParser, IDispatchXMLParser>,
                         private CountedObject {
public:
    static DispatchClassInfo& ClassInfo() { return DispatchClassInfo::XMLParser(); }

    HRESULT STDMETHODCALLTYPE ParseFile(BSTR path, IDispatch* client) override;
    HRESULT STDMETHODCALLTYPE ParseString(BSTR xml, IDispatch* client) override;
    HRESULT STDMETHODCALLTYPE ParseStream(IDispatch* source, IDispatch* client) override;

    std::string calls;
    std::string lastText;
    HRESULT answer = S_OK;
};

// An attributes object that also offers ISupportErrorInfo, as the model and node objects do.
class TestAttributes final : public DispatchObject<TestAttributes, IDispatchTaggedAttributes>,
                             private CountedObject {
public:
    static DispatchClassInfo& ClassInfo() { return DispatchClassInfo::TaggedAttributes(); }
    IUnknown* ExtraInterface(REFIID riid);

    HRESULT STDMETHODCALLTYPE AddAttribute(BSTR, BSTR) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE AddAttributes(VARIANT, VARIANT) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetValue(BSTR, BSTR*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetAttribute(LONG, BSTR*, BSTR*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetAttributes(VARIANT*, VARIANT*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetCount(LONG*) override { return E_NOTIMPL; }

    HDispatchSupportErrorInfo supportErrorInfo{this, &IID_IDispatchTaggedAttributes};
};

} // namespace Ostrel::Testing
