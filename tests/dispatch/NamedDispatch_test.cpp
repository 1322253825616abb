#include "dispatch/NamedDispatch.h"
#include "host/HostObject.h"
#include "support/LateBinding.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

namespace {

using Ostrel::NamedDispatch;
using Ostrel::ToUtf8;

// An object that knows members only by name, as a script object does, and records what
// reaches it.
class ScriptObject final : public Ostrel::HostObject<IDispatch> {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void** object) override {
        *object = nullptr;
        return E_NOINTERFACE;
    }

    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID locale,
                                            DISPID* ids) override {
        const std::u16string name(names[0]);
        lookups.push_back(name);
        EXPECT_EQ(riid, IID_NULL);
        EXPECT_EQ(count, 1u) << "one name per call";
        EXPECT_EQ(locale, 0u);
        const auto found = members.find(name);
        if (found == members.end()) {
            ids[0] = DISPID_UNKNOWN;
            return DISP_E_UNKNOWNNAME;
        }
        ids[0] = found->second;
        return S_OK;
    }

    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID riid, LCID locale, WORD flags,
                                     DISPPARAMS* params, VARIANT* result, EXCEPINFO* exception,
                                     UINT*) override {
        EXPECT_EQ(riid, IID_NULL);
        EXPECT_EQ(locale, 0u);
        EXPECT_EQ(flags, DISPATCH_METHOD);
        EXPECT_EQ(params->cNamedArgs, 0u);
        std::string call = std::to_string(id) + "(";
        // rgvarg holds the last argument first.
        for (UINT i = params->cArgs; i-- > 0;) {
            VARIANT& argument = params->rgvarg[i];
            if (argument.vt == (VT_BYREF | VT_I4)) {
                *argument.plVal += 100;
                call += "&";
            } else if (argument.vt == VT_I4) {
                call += std::to_string(argument.lVal);
            } else if (argument.vt == VT_BSTR) {
                call += ToUtf8(argument.bstrVal);
            }
            call += i > 0 ? "," : "";
        }
        calls.push_back(call + ")");
        if (raise) {
            exception->bstrSource = SysAllocString(u"script");
            exception->bstrDescription = SysAllocString(u"it threw");
            exception->scode = E_FAIL;
            return DISP_E_EXCEPTION;
        }
        if (result != nullptr) {
            result->vt = VT_I4;
            result->lVal = id * 2;
        }
        return S_OK;
    }

    std::map<std::u16string, DISPID> members;
    std::vector<std::u16string> lookups;
    std::vector<std::string> calls;
    bool raise = false;
};

using Ostrel::IntegerArgument;

const OLECHAR* const kNames[] = {OLESTR("Alpha"), OLESTR("Beta"), OLESTR("Gamma")};

// Names are looked up once, absent members are never called, arguments arrive in natural order
// (also more than a few, and by reference), and the object is held only while in use.
TEST(NamedDispatch, CallsReachOnlyTheMembersFoundByName) {
    ScriptObject script;
    script.members = {{u"Alpha", 10}, {u"Gamma", 30}};
    {
        NamedDispatch named(&script, kNames, 3);
        EXPECT_EQ(script.lookups, (std::vector<std::u16string>{u"Alpha", u"Beta", u"Gamma"}));
        EXPECT_EQ(script.References(), 2u);
        EXPECT_TRUE(named.HasAny());
        EXPECT_FALSE(named.Has(1));
        EXPECT_FALSE(named.Has(3)) << "past the list";

        VARIANT arguments[12];
        for (LONG i = 0; i < 12; ++i) {
            arguments[i] = IntegerArgument(i);
        }
        VARIANT result;
        VariantInit(&result);
        EXPECT_EQ(named.Call(2, arguments, 12, &result), S_OK);
        EXPECT_EQ(result.lVal, 60);
        EXPECT_EQ(named.Call(1, arguments, 1), DISP_E_MEMBERNOTFOUND);
        EXPECT_EQ(named.Call(7, arguments, 1), DISP_E_MEMBERNOTFOUND);
        EXPECT_EQ(named.Call(0, nullptr, 2), E_INVALIDARG);

        LONG counter = 5;
        arguments[0].vt = VT_BYREF | VT_I4;
        arguments[0].plVal = &counter;
        EXPECT_EQ(named.Call(0, arguments, 1), S_OK);
        EXPECT_EQ(counter, 105) << "the out-value reached the caller's storage";
        EXPECT_EQ(script.calls,
                  (std::vector<std::string>{"30(0,1,2,3,4,5,6,7,8,9,10,11)", "10(&)"}));

        script.raise = true;
        EXPECT_EQ(named.Call(0, nullptr, 0), DISP_E_EXCEPTION)
            << "the object's answer; the exception's strings are freed";
        EXPECT_EQ(script.lookups.size(), 3u) << "calls look nothing up again";
    }
    EXPECT_EQ(script.References(), 1u);
}

} // namespace
