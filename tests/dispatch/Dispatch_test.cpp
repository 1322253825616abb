// What every automation object shares: the class records, the base object, the guard around an
// interface method and the calls by name to host objects.
#include "dispatch/CountedObject.h"
#include "dispatch/DispatchClassInfo.h"
#include "dispatch/DispatchObject.h"
#include "dispatch/GuardCall.h"
#include "dispatch/NamedDispatch.h"
#include "host/Arguments.h"
#include "host/LateBound.h"
#include "pravell_idl.h"
#include "support/AutomationTest.h"
#include "support/ScriptObject.h"
#include "utils_idl.h"

#include <gtest/gtest.h>

#include <new>
#include <stdexcept>
#include <string>
#include <vector>

namespace Ostrel::Testing {
namespace {

// A parser object that parses nothing.
class TestParser final : public DispatchObject<TestParser, IDispatchXMLParser>,
                         private CountedObject {
public:
    static DispatchClassInfo& ClassInfo() { return DispatchClassInfo::XMLParser(); }

    HRESULT STDMETHODCALLTYPE ParseFile(BSTR, IDispatch*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE ParseString(BSTR, IDispatch*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE ParseStream(IDispatch*, IDispatch*) override { return E_NOTIMPL; }
};

using DispatchObjectTest = AutomationTest;

// The object answers its own interfaces with a reference each and anything else with E_FAIL and
// no reference; dispatch calls for any interface but IID_NULL are refused. Its class record loads
// the type information when a dispatch call first needs it and keeps nothing from a failed load,
// so a host that registers the library later is served; the caller's reference outlives the
// record's; a library that does not describe the interface is a failed load.
TEST_F(DispatchObjectTest, AnswersItsOwnInterfacesAndLoadsItsTypeInformationWhenFirstNeeded) {
    LateBound object(new TestParser);
    object->AddRef();
    EXPECT_EQ(object->QueryInterface(IID_IUnknown, nullptr), E_FAIL);
    for (const IID* riid : {&IID_ISupportErrorInfo, &IID_IDispatchXMLModel, &IID_IUnknown,
                            &IID_IDispatch, &IID_IDispatchXMLParser}) {
        const bool own = riid != &IID_ISupportErrorInfo && riid != &IID_IDispatchXMLModel;
        void* found = &found;
        EXPECT_EQ(object->QueryInterface(*riid, &found), own ? S_OK : E_FAIL)
            << "not E_NOINTERFACE";
        EXPECT_EQ(found, own ? object.Get() : nullptr);
        if (own) {
            EXPECT_EQ(object->Release(), 1u) << "one reference per interface handed out";
        }
    }
    OLECHAR name[] = OLESTR("ParseString");
    LPOLESTR names[] = {name};
    DISPID id = 12345;
    EXPECT_EQ(object->GetIDsOfNames(IID_IDispatchXMLParser, names, 1, 0, &id),
              DISP_E_UNKNOWNINTERFACE);
    EXPECT_EQ(id, 12345) << "nothing looked up";
    EXPECT_EQ(
        object->Invoke(2, IID_IDispatch, 0, DISPATCH_METHOD, nullptr, nullptr, nullptr, nullptr),
        DISP_E_UNKNOWNINTERFACE);

    ITypeLib* none = nullptr;
    const HRESULT notRegistered = LoadRegTypeLib(LIBID_Pravell, 1, 0, LOCALE_USER_DEFAULT, &none);
    ASSERT_TRUE(FAILED(notRegistered));
    DispatchClassInfo& parser = DispatchClassInfo::XMLParser();
    ITypeInfo* info = reinterpret_cast<ITypeInfo*>(0x1);
    EXPECT_EQ(parser.GetTypeInfo(&info), notRegistered);
    EXPECT_EQ(info, nullptr) << "a failure leaves no stale pointer for the caller to release";
    EXPECT_EQ(parser.GetIDsOfNames(IID_NULL, names, 1, &id), notRegistered);
    Register("pravell");
    EXPECT_EQ(parser.GetIDsOfNames(IID_NULL, names, 1, &id), S_OK);
    EXPECT_EQ(id, 2);
    ASSERT_EQ(parser.GetTypeInfo(&info), S_OK);
    DispatchClassInfo::ReleaseAll();
    BSTR interfaceName = nullptr;
    EXPECT_EQ(info->GetDocumentation(MEMBERID_NIL, &interfaceName, nullptr, nullptr, nullptr),
              S_OK);
    EXPECT_EQ(TakeNarrow(interfaceName), "IDispatchXMLParser");
    info->Release();

    DispatchClassInfo mismatched("Mismatched", &IID_IDispatchTaggedAttributes, LIBID_Pravell);
    EXPECT_TRUE(FAILED(mismatched.EnsureLoaded()));
    EXPECT_EQ(mismatched.TypeInfo(), nullptr);
}

TEST(GuardCall, ExceptionsBecomeStatusCodes) {
    EXPECT_EQ(GuardCall([] { return S_FALSE; }), S_FALSE);
    EXPECT_EQ(GuardCall([]() -> HRESULT { throw std::bad_alloc(); }), E_OUTOFMEMORY);
    EXPECT_EQ(GuardCall([]() -> HRESULT { throw std::length_error("long"); }), E_FAIL);
}

// An object that knows members only by name, as a script object does (Alpha is 1, Gamma 2), and
// records the calls reaching it; a call without arguments it answers with an exception.
class Recorder final : public ScriptObject {
public:
    Recorder() : ScriptObject({"Alpha", "Gamma"}) {}

    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID riid, LCID, WORD, DISPPARAMS* params,
                                     VARIANT*, EXCEPINFO* exception, UINT*) override {
        EXPECT_EQ(riid, IID_NULL);
        std::string call = std::to_string(id) + ":";
        // rgvarg holds the last argument first.
        for (UINT i = params->cArgs; i-- > 0;) {
            call += " " + std::to_string(params->rgvarg[i].lVal);
        }
        calls.push_back(call);
        if (params->cArgs > 0) {
            return S_OK;
        }
        exception->bstrDescription = SysAllocString(OLESTR("it threw"));
        return DISP_E_EXCEPTION;
    }

    std::vector<std::string> calls;
};

// Names are looked up once, through GetIDsOfNames or, for a script class object that answers
// them only through IDispatchEx::GetDispID, there without regard to case; absent members are
// never called; arguments arrive in natural order (also more than fit inline); the object and
// its extended interface are held only while in use.
TEST(NamedDispatch, CallsReachOnlyTheMembersFoundByName) {
    for (const bool classObject : {false, true}) {
        SCOPED_TRACE(classObject);
        Recorder script;
        script.dispIdOnly = classObject;
        {
            const OLECHAR* const names[] = {OLESTR("ALPHA"), OLESTR("Beta"), OLESTR("gamma")};
            NamedDispatch named(&script, names, 3);
            EXPECT_EQ(script.References(), 2u);
            EXPECT_EQ(script.dispIdFlags, fdexNameCaseInsensitive);
            VARIANT arguments[12];
            for (LONG i = 0; i < 12; ++i) {
                arguments[i] = IntegerArgument(i);
            }
            EXPECT_EQ(named.Call(2, arguments, 12), S_OK);
            EXPECT_EQ(named.Call(0, arguments, 2), S_OK);
            EXPECT_EQ(named.Call(1, arguments, 1), DISP_E_MEMBERNOTFOUND);
            EXPECT_EQ(named.Call(3, arguments, 1), DISP_E_MEMBERNOTFOUND) << "past the list";
            EXPECT_EQ(named.Call(0, nullptr, 0), DISP_E_EXCEPTION)
                << "the object's answer; the exception's strings are freed";
            EXPECT_EQ(script.calls,
                      (std::vector<std::string>{"2: 0 1 2 3 4 5 6 7 8 9 10 11", "1: 0 1", "1:"}));
            EXPECT_EQ(script.lookups, classObject ? 6 : 4)
                << "each name asked once (Beta, unknown, again through GetDispID), none per call";
        }
        EXPECT_EQ(script.References(), 1u);
    }
}

} // namespace
} // namespace Ostrel::Testing
