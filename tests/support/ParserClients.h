// Parser clients for tests, as hosts supply them: one that answers IDispatchXMLParserClient (a
// compiled host) and one known only by names through IDispatch (a script). Both write every
// event they receive as one line of a log, in the same form, so that logs compare directly:
//
//     StartElement a [B=1,c=2]     Characters 'text'     ParseError 'message'
#pragma once

#include "platform/com.h"
#include "pravell_idl.h"
#include "support/AutomationTest.h"
#include "support/CountingObject.h"
#include "support/LateBinding.h"
#include "utils_idl.h"

#include <functional>
#include <string>
#include <vector>

namespace Ostrel::Testing {

using EventLog = std::vector<std::string>;

// "[name=value,...]" read from an attributes object by index.
std::string DescribeAttributes(IDispatch* attributes);

class RecordingClient final : public CountedDispatch<IDispatchXMLParserClient> {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override;
    HRESULT STDMETHODCALLTYPE Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*,
                                     UINT*) override {
        return E_NOTIMPL;
    }

    HRESULT STDMETHODCALLTYPE Characters(BSTR text) override;
    HRESULT STDMETHODCALLTYPE StartElement(BSTR name, IDispatch* attributes) override;
    HRESULT STDMETHODCALLTYPE EndElement(BSTR name) override;
    HRESULT STDMETHODCALLTYPE Comment(BSTR text) override;
    HRESULT STDMETHODCALLTYPE DocumentType(BSTR name, IDispatch* attributes) override;
    HRESULT STDMETHODCALLTYPE ParseError(BSTR message) override;
    HRESULT STDMETHODCALLTYPE StartDocument() override;
    HRESULT STDMETHODCALLTYPE EndDocument() override;

    EventLog events;
    // What every event answers.
    HRESULT answer = S_OK;
    // Attributes objects the client kept a reference to (released by the test).
    std::vector<IDispatch*> kept;
    bool keepAttributes = false;
    // Run after each event is logged.
    std::function<void(RecordingClient&)> afterEvent;

private:
    HRESULT Log(const std::string& line);
};

// Answers IDispatch only; knows the event names in `names` (any letter case).
class ScriptClient final : public CountedDispatch<IDispatch> {
public:
    ScriptClient();

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override;
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID,
                                            DISPID* ids) override;
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params,
                                     VARIANT* result, EXCEPINFO*, UINT*) override;

    std::vector<std::string> names;
    EventLog events;
    int lookups = 0;
};

} // namespace Ostrel::Testing
