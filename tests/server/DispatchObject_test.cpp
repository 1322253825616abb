#include "DispatchTestSupport.h"
#include "pravell_idl.h"
#include "server/CountedObject.h"
#include "server/GuardCall.h"
#include "utils_idl.h"

#include <gtest/gtest.h>

#include <new>
#include <stdexcept>

namespace {

using Ostrel::DispatchClassInfo;
using Ostrel::GuardCall;
using Ostrel::LiveObjectCount;
using Ostrel::Testing::DispatchTest;
using Ostrel::Testing::TestAttributes;
using Ostrel::Testing::TestParser;

// Holds the one reference of an object made for the test.
template <typename Object>
struct Held {
    Held() : object(new Object) { object->AddRef(); }
    ~Held() { object->Release(); }
    Object* operator->() const { return object; }
    Object* object;
};

VARIANT TextArgument(const char16_t* text) {
    VARIANT argument;
    VariantInit(&argument);
    argument.vt = VT_BSTR;
    argument.bstrVal = SysAllocString(text);
    return argument;
}

DISPID IdOf(IDispatch* object, const char16_t* name) {
    LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
    DISPID id = DISPID_UNKNOWN;
    EXPECT_EQ(object->GetIDsOfNames(IID_NULL, names, 1, 0, &id), S_OK);
    return id;
}

// ParseString("<a/>", nothing) by late binding.
HRESULT InvokeParseString(IDispatch* parser, DISPID id, REFIID riid) {
    VARIANT arguments[2];
    VariantInit(&arguments[0]);
    arguments[0].vt = VT_DISPATCH;
    arguments[0].pdispVal = nullptr;
    arguments[1] = TextArgument(u"<a/>");
    DISPPARAMS params = {arguments, nullptr, 2, 0};
    const HRESULT result =
        parser->Invoke(id, riid, 0, DISPATCH_METHOD, &params, nullptr, nullptr, nullptr);
    VariantClear(&arguments[1]);
    return result;
}

TEST_F(DispatchTest, AnInterfaceOtherThanNullIsRefusedWithoutLoading) {
    Register("pravell");
    Held<TestParser> parser;
    LPOLESTR names[] = {const_cast<LPOLESTR>(u"ParseString")};
    DISPID id = 12345;
    EXPECT_EQ(parser->GetIDsOfNames(IID_IDispatchXMLParser, names, 1, 0, &id),
              static_cast<HRESULT>(0x80020001));
    EXPECT_EQ(id, 12345) << "nothing looked up";
    EXPECT_EQ(InvokeParseString(parser.object, 2, IID_IDispatch), DISP_E_UNKNOWNINTERFACE);
    EXPECT_EQ(parser->calls, "");
    EXPECT_EQ(DispatchClassInfo::XMLParser().TypeInfo(), nullptr);
    EXPECT_EQ(DispatchClassInfo::XMLParser().LoadResult(), E_FAIL) << "no load was tried";
}

TEST_F(DispatchTest, EveryDispatchCallAnswersTheLoadFailureUntilTheLibraryIsRegistered) {
    Held<TestParser> parser;
    ITypeLib* none = nullptr;
    const HRESULT notRegistered = LoadRegTypeLib(LIBID_Pravell, 1, 0, 0x400, &none);
    ASSERT_TRUE(FAILED(notRegistered));

    ITypeInfo* info = nullptr;
    EXPECT_EQ(parser->GetTypeInfo(0, 0, &info), notRegistered);
    EXPECT_EQ(info, nullptr);
    LPOLESTR names[] = {const_cast<LPOLESTR>(u"ParseString")};
    DISPID id = DISPID_UNKNOWN;
    EXPECT_EQ(parser->GetIDsOfNames(IID_NULL, names, 1, 0, &id), notRegistered);
    EXPECT_EQ(InvokeParseString(parser.object, 2, IID_NULL), notRegistered);
    EXPECT_EQ(parser->calls, "");
    UINT count = 0;
    EXPECT_EQ(parser->GetTypeInfoCount(&count), S_OK) << "needs no type information";
    EXPECT_EQ(count, 1u);

    Register("pravell");
    EXPECT_EQ(IdOf(parser.object, u"parsestring"), 2) << "names match without regard to case";
    EXPECT_EQ(InvokeParseString(parser.object, 2, IID_NULL), S_OK);
    EXPECT_EQ(parser->calls, "ParseString;");
    EXPECT_EQ(parser->lastText, u"<a/>");

    parser->answer = E_FAIL;
    EXPECT_EQ(InvokeParseString(parser.object, IdOf(parser.object, u"ParseFile"), IID_NULL),
              DISP_E_EXCEPTION)
        << "the operation's failure reaches the caller as the platform reports it";
    EXPECT_EQ(parser->calls, "ParseString;ParseFile;");
}

TEST_F(DispatchTest, InvokeCallsTheOperationsOfTheObjectsOwnInterface) {
    Register("utils");
    Held<TestAttributes> attributes;
    VARIANT result;
    VariantInit(&result);
    DISPPARAMS none = {nullptr, nullptr, 0, 0};
    EXPECT_EQ(attributes->Invoke(IdOf(attributes.object, u"GetCount"), IID_NULL, 0,
                                 DISPATCH_METHOD | DISPATCH_PROPERTYGET, &none, &result, nullptr,
                                 nullptr),
              S_OK);
    EXPECT_EQ(result.vt, VT_I4);
    EXPECT_EQ(result.lVal, 7);

    VARIANT name = TextArgument(u"id");
    DISPPARAMS one = {&name, nullptr, 1, 0};
    EXPECT_EQ(attributes->Invoke(IdOf(attributes.object, u"GetValue"), IID_NULL, 0, DISPATCH_METHOD,
                                 &one, &result, nullptr, nullptr),
              S_OK);
    ASSERT_EQ(result.vt, VT_BSTR);
    EXPECT_EQ(Ostrel::Testing::TextOf(result.bstrVal), u"42");
    VariantClear(&result);
    VariantClear(&name);
}

TEST_F(DispatchTest, QueryInterfaceAnswersTheObjectForItsThreeInterfacesAndFailsOtherwise) {
    Held<TestParser> parser;
    IDispatchXMLParser* const self = parser.object;
    for (const IID* riid : {&IID_IUnknown, &IID_IDispatch, &IID_IDispatchXMLParser}) {
        void* object = nullptr;
        EXPECT_EQ(parser->QueryInterface(*riid, &object), S_OK);
        EXPECT_EQ(object, self);
    }
    EXPECT_EQ(parser->AddRef(), 5u) << "one reference for each interface handed out";
    parser->Release();

    for (const IID* riid : {&IID_ISupportErrorInfo, &IID_IDispatchXMLModel, &IID_IClassFactory}) {
        void* object = self;
        EXPECT_EQ(parser->QueryInterface(*riid, &object), E_FAIL) << "not E_NOINTERFACE";
        EXPECT_EQ(object, nullptr);
    }
    EXPECT_EQ(parser->QueryInterface(IID_IUnknown, nullptr), E_FAIL);
    EXPECT_EQ(parser->Release(), 3u) << "failed queries took no reference";
    parser->Release();
    parser->Release();
}

TEST_F(DispatchTest, AnExtraInterfaceIsHandedOutAndReferencedThroughItself) {
    Held<TestAttributes> attributes;
    void* object = nullptr;
    ASSERT_EQ(attributes->QueryInterface(IID_ISupportErrorInfo, &object), S_OK);
    auto* support = static_cast<ISupportErrorInfo*>(object);
    EXPECT_EQ(support, &attributes->supportErrorInfo);
    EXPECT_EQ(support->InterfaceSupportsErrorInfo(IID_IDispatchTaggedAttributes), S_OK);
    EXPECT_EQ(support->InterfaceSupportsErrorInfo(IID_IDispatch), S_FALSE);

    void* back = nullptr;
    EXPECT_EQ(support->QueryInterface(IID_IDispatchTaggedAttributes, &back), S_OK);
    EXPECT_EQ(back, static_cast<IDispatchTaggedAttributes*>(attributes.object));
    EXPECT_EQ(attributes->AddRef(), 4u) << "both references landed on the owner";
    attributes->Release();
    attributes->Release();
    EXPECT_EQ(support->Release(), 1u);

    void* other = attributes.object;
    EXPECT_EQ(attributes->QueryInterface(IID_IDispatchXMLParser, &other), E_FAIL);
    EXPECT_EQ(other, nullptr);
}

TEST_F(DispatchTest, ObjectsCountFromConstructionToTheirLastRelease) {
    const LONG before = LiveObjectCount();
    auto* parser = new TestParser;
    auto* attributes = new TestAttributes;
    EXPECT_EQ(LiveObjectCount(), before + 2);
    EXPECT_EQ(parser->AddRef(), 1u) << "counts start at 0";
    EXPECT_EQ(parser->AddRef(), 2u);
    EXPECT_EQ(parser->Release(), 1u);
    EXPECT_EQ(LiveObjectCount(), before + 2);
    EXPECT_EQ(parser->Release(), 0u);
    EXPECT_EQ(LiveObjectCount(), before + 1) << "the last Release destroyed the parser";

    void* object = nullptr;
    ASSERT_EQ(attributes->QueryInterface(IID_ISupportErrorInfo, &object), S_OK);
    EXPECT_EQ(static_cast<ISupportErrorInfo*>(object)->Release(), 0u);
    EXPECT_EQ(LiveObjectCount(), before) << "released through the member object";

    Ostrel::ObjectCreated();
    Ostrel::ObjectCreated();
    EXPECT_EQ(LiveObjectCount(), before + 2);
    Ostrel::ObjectDestroyed();
    Ostrel::ObjectDestroyed();
    EXPECT_EQ(LiveObjectCount(), before);
}

TEST(GuardCall, ExceptionsBecomeStatusCodes) {
    EXPECT_EQ(GuardCall([] { return S_FALSE; }), S_FALSE);
    EXPECT_EQ(GuardCall([]() -> HRESULT { throw std::bad_alloc(); }), E_OUTOFMEMORY);
    EXPECT_EQ(GuardCall([]() -> HRESULT { throw std::length_error("long"); }), E_FAIL);
    EXPECT_EQ(GuardCall([]() -> HRESULT { throw 7; }), E_FAIL);
    int calls = 0;
    EXPECT_EQ(GuardCall([&calls] { return ++calls == 1 ? S_OK : E_FAIL; }), S_OK);
    EXPECT_EQ(calls, 1);
}

} // namespace
