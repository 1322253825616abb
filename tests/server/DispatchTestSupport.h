// What the dispatch support tests share: a registry of the test's own in which the built type
// libraries can be registered, and two small automation classes built on DispatchObject.
#pragma once

#include "errors/HDispatchSupportErrorInfo.h"
#include "platform/com.h"
#include "platform/testsupport.h"
#include "pravell_idl.h"
#include "server/CountedObject.h"
#include "server/DispatchClassInfo.h"
#include "server/DispatchObject.h"
#include "utils_idl.h"

#include <gtest/gtest.h>

#include <string>

namespace Ostrel::Testing {

// Every test starts with an empty registry and records that hold no type information, and
// leaves the records empty again (the registry it used is gone afterwards).
class DispatchTest : public testing::Test {
protected:
    void SetUp() override { DispatchClassInfo::ReleaseAll(); }
    void TearDown() override { DispatchClassInfo::ReleaseAll(); }

    // Loads bin/<name>.tlb and registers it in the test's registry.
    static void Register(const std::string& name);

    PrivateRegistry registry;
};

// A parser object that records the calls reaching its operations.
class TestParser final : public DispatchObject<TestParser, IDispatchXMLParser>,
                         private CountedObject {
public:
    static DispatchClassInfo& ClassInfo() { return DispatchClassInfo::XMLParser(); }

    HRESULT STDMETHODCALLTYPE ParseFile(BSTR path, IDispatch* client) override;
    HRESULT STDMETHODCALLTYPE ParseString(BSTR xml, IDispatch* client) override;
    HRESULT STDMETHODCALLTYPE ParseStream(IDispatch* source, IDispatch* client) override;

    std::string calls;
    std::u16string lastText;
    HRESULT answer = S_OK;
};

// An attributes object that also offers ISupportErrorInfo, as the model and node objects do,
// and answers a fixed count and one value.
class TestAttributes final : public DispatchObject<TestAttributes, IDispatchTaggedAttributes>,
                             private CountedObject {
public:
    static DispatchClassInfo& ClassInfo() { return DispatchClassInfo::TaggedAttributes(); }
    IUnknown* ExtraInterface(REFIID riid);

    HRESULT STDMETHODCALLTYPE AddAttribute(BSTR name, BSTR value) override;
    HRESULT STDMETHODCALLTYPE AddAttributes(VARIANT names, VARIANT values) override;
    HRESULT STDMETHODCALLTYPE GetValue(BSTR name, BSTR* value) override;
    HRESULT STDMETHODCALLTYPE GetAttribute(LONG index, BSTR* name, BSTR* value) override;
    HRESULT STDMETHODCALLTYPE GetAttributes(VARIANT* names, VARIANT* values) override;
    HRESULT STDMETHODCALLTYPE GetCount(LONG* count) override;

    HDispatchSupportErrorInfo supportErrorInfo{this, &IID_IDispatchTaggedAttributes};
};

std::u16string TextOf(BSTR text);

} // namespace Ostrel::Testing
