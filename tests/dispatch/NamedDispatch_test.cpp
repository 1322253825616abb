#include "dispatch/NamedDispatch.h"
#include "host/AutomationText.h"
#include "support/LateBinding.h"
#include "support/ScriptObject.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// An object that knows members only by name, as a script object does (Alpha is 1, Gamma 2), and
// records the calls reaching it; with `raise` it answers with an exception.
class Recorder final : public Ostrel::Testing::ScriptObject {
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
        if (!raise) {
            return S_OK;
        }
        exception->bstrDescription = SysAllocString(OLESTR("it threw"));
        return DISP_E_EXCEPTION;
    }

    std::vector<std::string> calls;
    bool raise = false;
};

// Names are looked up once, absent members are never called, arguments arrive in natural order
// (also more than fit inline), and the object is held only while in use.
TEST(NamedDispatch, CallsReachOnlyTheMembersFoundByName) {
    Recorder script;
    {
        const OLECHAR* const names[] = {OLESTR("Alpha"), OLESTR("Beta"), OLESTR("Gamma")};
        Ostrel::NamedDispatch named(&script, names, 3);
        EXPECT_EQ(script.References(), 2u);
        VARIANT arguments[12];
        for (LONG i = 0; i < 12; ++i) {
            arguments[i] = Ostrel::IntegerArgument(i);
        }
        EXPECT_EQ(named.Call(2, arguments, 12), S_OK);
        EXPECT_EQ(named.Call(0, arguments, 2), S_OK);
        EXPECT_EQ(named.Call(1, arguments, 1), DISP_E_MEMBERNOTFOUND);
        EXPECT_EQ(named.Call(3, arguments, 1), DISP_E_MEMBERNOTFOUND) << "past the list";
        script.raise = true;
        EXPECT_EQ(named.Call(0, nullptr, 0), DISP_E_EXCEPTION)
            << "the object's answer; the exception's strings are freed";
        EXPECT_EQ(script.calls,
                  (std::vector<std::string>{"2: 0 1 2 3 4 5 6 7 8 9 10 11", "1: 0 1", "1:"}));
        EXPECT_EQ(script.lookups, 4)
            << "one lookup per name (Beta again through GetDispID), none per call";
    }
    EXPECT_EQ(script.References(), 1u);
}

// A script class object answers names only through IDispatchEx::GetDispID: each name that
// GetIDsOfNames does not find is asked there, without regard to case, and the member is then
// called through Invoke. The extended interface is given back once the names are known.
TEST(NamedDispatch, ClassObjectsAnswerNamesThroughGetDispId) {
    Recorder script;
    script.lookup = Ostrel::Testing::NameLookup::DispIdOnly;
    {
        const Ostrel::Bstr alpha("ALPHA");
        const Ostrel::Bstr beta("Beta");
        const Ostrel::Bstr gamma("gamma");
        const OLECHAR* const names[] = {alpha, beta, gamma};
        Ostrel::NamedDispatch named(&script, names, 3);
        EXPECT_EQ(script.lookups, 6) << "GetIDsOfNames, then GetDispID, once per name";
        EXPECT_EQ(script.dispIdFlags, fdexNameCaseInsensitive);
        EXPECT_EQ(named.IdOf(0), 1);
        EXPECT_FALSE(named.Has(1));
        EXPECT_EQ(named.IdOf(2), 2);
        EXPECT_EQ(script.References(), 2u);
        VARIANT argument = Ostrel::IntegerArgument(5);
        EXPECT_EQ(named.Call(2, &argument, 1), S_OK);
        EXPECT_EQ(script.calls, std::vector<std::string>{"2: 5"});
    }
    EXPECT_EQ(script.References(), 1u);
}

} // namespace
