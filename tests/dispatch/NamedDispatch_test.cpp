#include "dispatch/NamedDispatch.h"
#include "host/Arguments.h"
#include "host/AutomationText.h"
#include "support/ScriptObject.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace Ostrel::Testing {
namespace {

// An object that knows members only by name, as a script object does (Alpha is 1, Gamma 2), and
// records the calls reaching it; with `raise` it answers with an exception.
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
        if (!raise) {
            return S_OK;
        }
        exception->bstrDescription = SysAllocString(OLESTR("it threw"));
        return DISP_E_EXCEPTION;
    }

    std::vector<std::string> calls;
    bool raise = false;
};

// Names are looked up once, through GetIDsOfNames or, for a script class object that answers
// them only through IDispatchEx::GetDispID, there without regard to case; absent members are
// never called; arguments arrive in natural order (also more than fit inline); the object and
// its extended interface are held only while in use.
TEST(NamedDispatch, CallsReachOnlyTheMembersFoundByName) {
    for (NameLookup lookup : {NameLookup::IDsOfNames, NameLookup::DispIdOnly}) {
        const bool classObject = lookup == NameLookup::DispIdOnly;
        SCOPED_TRACE(classObject);
        Recorder script;
        script.lookup = lookup;
        {
            const Bstr alpha("ALPHA");
            const Bstr beta("Beta");
            const Bstr gamma("gamma");
            const OLECHAR* const names[] = {alpha, beta, gamma};
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
            script.raise = true;
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
