#include "dispatch/CountedObject.h"
#include "dispatch/DispatchClassInfo.h"
#include "dispatch/DispatchObject.h"
#include "dispatch/GuardCall.h"
#include "pravell_idl.h"
#include "support/AutomationTest.h"
#include "support/LateBinding.h"

#include <gtest/gtest.h>

#include <new>
#include <stdexcept>
#include <vector>

namespace Ostrel::Testing {
namespace {

// A parser object whose one working operation is ParseString.
class TestParser final : public DispatchObject<TestParser, IDispatchXMLParser>,
                         private CountedObject {
public:
    static DispatchClassInfo& ClassInfo() { return DispatchClassInfo::XMLParser(); }

    HRESULT STDMETHODCALLTYPE ParseFile(BSTR, IDispatch*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE ParseString(BSTR, IDispatch*) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE ParseStream(IDispatch*, IDispatch*) override { return E_NOTIMPL; }
};

using DispatchObjectTest = RegisteredTest;

// The object answers its own interfaces with a reference each and anything else with E_FAIL;
// dispatch calls for any interface but IID_NULL are refused.
TEST_F(DispatchObjectTest, AnswersOnlyItsOwnInterfacesAndTheNullInterfaceId) {
    LateBound parser(new TestParser);
    parser->AddRef();
    std::vector<LateBound> handedOut;
    for (const IID* riid : {&IID_IUnknown, &IID_IDispatch, &IID_IDispatchXMLParser,
                            &IID_ISupportErrorInfo, &IID_IDispatchXMLModel}) {
        const bool own = riid != &IID_ISupportErrorInfo && riid != &IID_IDispatchXMLModel;
        void* object = &object;
        EXPECT_EQ(parser->QueryInterface(*riid, &object), own ? S_OK : E_FAIL)
            << "not E_NOINTERFACE";
        EXPECT_EQ(object, own ? parser.Get() : nullptr);
        if (own) {
            handedOut.emplace_back(static_cast<IDispatch*>(object));
        }
    }
    EXPECT_EQ(parser->QueryInterface(IID_IUnknown, nullptr), E_FAIL);
    EXPECT_EQ(parser->AddRef(), 5u) << "one reference per interface handed out, none on failure";
    parser->Release();

    OLECHAR name[] = OLESTR("ParseString");
    LPOLESTR names[] = {name};
    DISPID id = 12345;
    EXPECT_EQ(parser->GetIDsOfNames(IID_IDispatchXMLParser, names, 1, 0, &id),
              DISP_E_UNKNOWNINTERFACE);
    EXPECT_EQ(id, 12345) << "nothing looked up";
    EXPECT_EQ(
        parser->Invoke(2, IID_IDispatch, 0, DISPATCH_METHOD, nullptr, nullptr, nullptr, nullptr),
        DISP_E_UNKNOWNINTERFACE);
    EXPECT_EQ(Call(parser, "ParseString", {TextArgument("<a/>"), ObjectArgument(nullptr)}).code,
              S_OK);
}

TEST(GuardCall, ExceptionsBecomeStatusCodes) {
    EXPECT_EQ(GuardCall([] { return S_FALSE; }), S_FALSE);
    EXPECT_EQ(GuardCall([]() -> HRESULT { throw std::bad_alloc(); }), E_OUTOFMEMORY);
    EXPECT_EQ(GuardCall([]() -> HRESULT { throw std::length_error("long"); }), E_FAIL);
}

} // namespace
} // namespace Ostrel::Testing
