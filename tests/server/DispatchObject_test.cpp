#include "DispatchTestSupport.h"
#include "pravell_idl.h"
#include "server/CountedObject.h"
#include "server/GuardCall.h"
#include "support/AutomationTest.h"
#include "support/LateBinding.h"
#include "utils_idl.h"

#include <gtest/gtest.h>

#include <new>
#include <stdexcept>

namespace Ostrel::Testing {
namespace {

// Holds the one reference of an object made for the test.
template <typename Object>
struct Held {
    Held() : object(new Object) { object->AddRef(); }
    ~Held() { object->Release(); }
    Object* operator->() const { return object; }
    Object* object;
};

using DispatchObjectTest = AutomationTest;

TEST_F(DispatchObjectTest, DispatchCallsAnswerTheLoadFailureUntilRegisteredAndRefuseOtherIids) {
    Held<TestParser> parser;
    ITypeLib* none = nullptr;
    const HRESULT notRegistered = LoadRegTypeLib(LIBID_Pravell, 1, 0, 0x400, &none);
    ASSERT_TRUE(FAILED(notRegistered));
    ITypeInfo* info = nullptr;
    EXPECT_EQ(parser->GetTypeInfo(0, 0, &info), notRegistered);
    EXPECT_EQ(info, nullptr);
    OLECHAR name[] = u"ParseString";
    LPOLESTR names[] = {name};
    DISPID id = DISPID_UNKNOWN;
    EXPECT_EQ(parser->GetIDsOfNames(IID_NULL, names, 1, 0, &id), notRegistered);
    EXPECT_EQ(Invoke(parser.object, 2, {Str("<a/>"), Obj(nullptr)}).code, notRegistered);

    Register("pravell");
    id = 12345;
    EXPECT_EQ(parser->GetIDsOfNames(IID_IDispatchXMLParser, names, 1, 0, &id),
              DISP_E_UNKNOWNINTERFACE);
    EXPECT_EQ(id, 12345) << "nothing looked up";
    EXPECT_EQ(
        parser->Invoke(2, IID_IDispatch, 0, DISPATCH_METHOD, nullptr, nullptr, nullptr, nullptr),
        DISP_E_UNKNOWNINTERFACE);
    EXPECT_EQ(parser->calls, "");

    EXPECT_EQ(IdOf(parser.object, "parsestring"), 2) << "names match without regard to case";
    EXPECT_EQ(Call(parser.object, "ParseString", {Str("<a/>"), Obj(nullptr)}).code, S_OK);
    EXPECT_EQ(parser->lastText, "<a/>");
    parser->answer = E_FAIL;
    EXPECT_EQ(Call(parser.object, "ParseFile", {Str("f"), Obj(nullptr)}).code, E_FAIL)
        << "the operation's failure reaches the caller";
    EXPECT_EQ(parser->calls, "ParseString;ParseFile;");
}

TEST_F(DispatchObjectTest, QueryInterfaceAnswersOwnAndExtraInterfacesAndFailsOthers) {
    Held<TestParser> parser;
    IDispatchXMLParser* const self = parser.object;
    for (const IID* riid : {&IID_IUnknown, &IID_IDispatch, &IID_IDispatchXMLParser}) {
        void* object = nullptr;
        EXPECT_EQ(parser->QueryInterface(*riid, &object), S_OK);
        EXPECT_EQ(object, self);
    }
    for (const IID* riid : {&IID_ISupportErrorInfo, &IID_IDispatchXMLModel}) {
        void* object = self;
        EXPECT_EQ(parser->QueryInterface(*riid, &object), E_FAIL) << "not E_NOINTERFACE";
        EXPECT_EQ(object, nullptr);
    }
    EXPECT_EQ(parser->QueryInterface(IID_IUnknown, nullptr), E_FAIL);
    EXPECT_EQ(parser->Release(), 3u) << "one reference per interface handed out, none on failure";
    parser->Release();
    parser->Release();

    Held<TestAttributes> attributes;
    void* object = nullptr;
    ASSERT_EQ(attributes->QueryInterface(IID_ISupportErrorInfo, &object), S_OK);
    auto* support = static_cast<ISupportErrorInfo*>(object);
    EXPECT_EQ(support->InterfaceSupportsErrorInfo(IID_IDispatchTaggedAttributes), S_OK);
    EXPECT_EQ(support->InterfaceSupportsErrorInfo(IID_IDispatch), S_FALSE);
    void* back = nullptr;
    EXPECT_EQ(support->QueryInterface(IID_IDispatchTaggedAttributes, &back), S_OK);
    EXPECT_EQ(back, static_cast<IDispatchTaggedAttributes*>(attributes.object));
    EXPECT_EQ(attributes->AddRef(), 4u) << "both references landed on the owner";
    attributes->Release();
    attributes->Release();
    EXPECT_EQ(support->Release(), 1u);
}

TEST_F(DispatchObjectTest, ObjectsCountFromConstructionToTheirLastRelease) {
    const LONG before = LiveObjectCount();
    auto* parser = new TestParser;
    auto* attributes = new TestAttributes;
    EXPECT_EQ(LiveObjectCount(), before + 2);
    EXPECT_EQ(parser->AddRef(), 1u) << "counts start at 0";
    EXPECT_EQ(parser->Release(), 0u);
    EXPECT_EQ(LiveObjectCount(), before + 1) << "the last Release destroyed the parser";
    void* object = nullptr;
    ASSERT_EQ(attributes->QueryInterface(IID_ISupportErrorInfo, &object), S_OK);
    EXPECT_EQ(static_cast<ISupportErrorInfo*>(object)->Release(), 0u);
    EXPECT_EQ(LiveObjectCount(), before) << "released through the member object";
}

TEST(GuardCall, ExceptionsBecomeStatusCodes) {
    EXPECT_EQ(GuardCall([] { return S_FALSE; }), S_FALSE);
    EXPECT_EQ(GuardCall([]() -> HRESULT { throw std::bad_alloc(); }), E_OUTOFMEMORY);
    EXPECT_EQ(GuardCall([]() -> HRESULT { throw std::length_error("long"); }), E_FAIL);
    EXPECT_EQ(GuardCall([]() -> HRESULT { throw 7; }), E_FAIL);
}

} // namespace
} // namespace Ostrel::Testing
