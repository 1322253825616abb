// The streaming parser's client in the tool: writes one line per event.
//
//   start-document                 end-document
//   start NAME a="1" b="2"         end NAME
//   text "..."                     comment "..."
//   doctype NAME                   error MESSAGE
//
// Texts and attribute values are quoted, with backslash escapes for the quote, the backslash
// and every control character, so that one event is always one line. The attributes come in
// the order of the collection the parser hands over (sorted by name); they are read from it by
// name, as any host reads them.
#pragma once

#include "host/HostObject.h"
#include "pravell_idl.h"

#include <cstdio>
#include <string>

namespace Ostrel {

class EventPrinter : public HostObject<IDispatchXMLParserClient, IID_IDispatchXMLParserClient> {
public:
    explicit EventPrinter(FILE* output) : output(output) {}

    HRESULT STDMETHODCALLTYPE Characters(BSTR text) override;
    HRESULT STDMETHODCALLTYPE StartElement(BSTR name, IDispatch* attributes) override;
    HRESULT STDMETHODCALLTYPE EndElement(BSTR name) override;
    HRESULT STDMETHODCALLTYPE Comment(BSTR text) override;
    HRESULT STDMETHODCALLTYPE DocumentType(BSTR name, IDispatch* attributes) override;
    HRESULT STDMETHODCALLTYPE ParseError(BSTR message) override;
    HRESULT STDMETHODCALLTYPE StartDocument() override;
    HRESULT STDMETHODCALLTYPE EndDocument() override;

    // The message of the ParseError event; empty when there was none.
    const std::string& Error() const { return error; }

private:
    // Writes the line; a failed attribute read still writes what was read, and fails the event.
    HRESULT Print(const char* kind, BSTR name, IDispatch* attributes);
    HRESULT PrintQuoted(const char* kind, BSTR text);

    FILE* output;
    std::string error;
};

} // namespace Ostrel
