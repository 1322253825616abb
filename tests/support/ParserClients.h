// Parser clients for tests, as hosts supply them: one that answers IDispatchXMLParserClient (a
// compiled host) and one known only by names (a script, ScriptObject). Both write every event
// they receive as one line of a log, in the same form, so that logs compare directly:
//
//     StartElement a [B=1,c=2]     Characters 'text'     ParseError 'message'
#pragma once

#include "host/AutomationText.h"
#include "host/HostObject.h"
#include "platform/com.h"
#include "pravell_idl.h"
#include "support/ScriptObject.h"
#include "utils_idl.h"

#include <functional>
#include <string>
#include <vector>

namespace Ostrel::Testing {

using EventLog = std::vector<std::string>;

// The log as the events data suite holds it: one event a line, line feeds and carriage returns
// inside an event written as \n and \r.
std::string LogText(const EventLog& events);

// "[name=value,...]" read from an attributes object by index.
std::string DescribeAttributes(IDispatch* attributes);

class RecordingClient : public HostObject<IDispatchXMLParserClient, IID_IDispatchXMLParserClient> {
public:
    HRESULT STDMETHODCALLTYPE Characters(BSTR text) override { return Heard("Characters", text); }
    HRESULT STDMETHODCALLTYPE StartElement(BSTR name, IDispatch* attributes) override {
        return Heard("StartElement", name, attributes);
    }
    HRESULT STDMETHODCALLTYPE EndElement(BSTR name) override { return Heard("EndElement", name); }
    HRESULT STDMETHODCALLTYPE Comment(BSTR text) override { return Heard("Comment", text); }
    HRESULT STDMETHODCALLTYPE DocumentType(BSTR name, IDispatch* attributes) override {
        return Heard("DocumentType", name, attributes);
    }
    HRESULT STDMETHODCALLTYPE ParseError(BSTR text) override { return Heard("ParseError", text); }
    HRESULT STDMETHODCALLTYPE StartDocument() override { return Heard("StartDocument"); }
    HRESULT STDMETHODCALLTYPE EndDocument() override { return Heard("EndDocument"); }

    // Logs the event (its text quoted, a name as it is, then a tag's attributes) and answers it.
    HRESULT Heard(const std::string& event, BSTR text = nullptr, IDispatch* attributes = nullptr);

    EventLog events;
    // What every event answers.
    HRESULT answer = S_OK;
    // Attributes objects the client kept a reference to (released by the test).
    std::vector<IDispatch*> kept;
    bool keepAttributes = false;
    // Run after each event is logged.
    std::function<void(RecordingClient&)> afterEvent;
};

// A script's client: knows the events by their names (any letter case; an event whose name is
// made empty is not known) and logs them as the compiled client does.
class ScriptClient final : public ScriptObject {
public:
    ScriptClient();

    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT*,
                                     EXCEPINFO*, UINT*) override;

    RecordingClient heard;
    EventLog& events = heard.events;
};

} // namespace Ostrel::Testing
