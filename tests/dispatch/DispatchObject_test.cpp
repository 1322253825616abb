#include "DispatchTestSupport.h"
#include "dispatch/CountedObject.h"
#include "dispatch/GuardCall.h"
#include "pravell_idl.h"
#include "support/AutomationTest.h"
#include "support/LateBinding.h"

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
    EXPECT_EQ(Invoke(parser.object, 2, {TextArgument("<a/>"), ObjectArgument(nullptr)}).code,
              notRegistered);

    Register("pravell");
    id = 12345;
    EXPECT_EQ(parser->GetIDsOfNames(IID_IDispatchXMLParser, names, 1, 0, &id),
              DISP_E_UNKNOWNINTERFACE);
    EXPECT_EQ(id, 12345) << "nothing looked up";
    EXPECT_EQ(
        parser->Invoke(2, IID_IDispatch, 0, DISPATCH_METHOD, nullptr, nullptr, nullptr, nullptr),
        DISP_E_UNKNOWNINTERFACE);
    EXPECT_EQ(parser->calls, "");

    DISPID found = DISPID_UNKNOWN;
    EXPECT_EQ(LateBound::Share(parser.object).FindMember("parsestring", found), S_OK);
    EXPECT_EQ(found, 2) << "names match without regard to case";
    EXPECT_EQ(
        Call(parser.object, "ParseString", {TextArgument("<a/>"), ObjectArgument(nullptr)}).code,
        S_OK);
    EXPECT_EQ(parser->lastText, "<a/>");
    parser->answer = E_FAIL;
    EXPECT_EQ(Call(parser.object, "ParseFile", {TextArgument("f"), ObjectArgument(nullptr)}).code,
              E_FAIL)
        << "the operation's failure reaches the caller";
    EXPECT_EQ(parser->calls, "ParseString;ParseFile;");
}

TEST_F(DispatchObjectTest, QueryInterfaceAnswersOwnInterfacesAndFailsOthers) {
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
}

TEST(GuardCall, ExceptionsBecomeStatusCodes) {
    EXPECT_EQ(GuardCall([] { return S_FALSE; }), S_FALSE);
    EXPECT_EQ(GuardCall([]() -> HRESULT { throw std::bad_alloc(); }), E_OUTOFMEMORY);
    EXPECT_EQ(GuardCall([]() -> HRESULT { throw std::length_error("long"); }), E_FAIL);
    EXPECT_EQ(GuardCall([]() -> HRESULT { throw 7; }), E_FAIL);
}

} // namespace
} // namespace Ostrel::Testing
