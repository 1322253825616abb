// The streaming parser object: each operation runs one complete parse of its input to the
// host's client and returns; between operations the object holds nothing but its reference
// count, so one object serves any number of parses, one after another.
//
// Failures answer E_FAIL and raise no error information: a host learns why a parse failed only
// through its client's ParseError event. A file that cannot be opened, a null source and a null
// client fail before any event.
#pragma once

#include "dispatch/CountedObject.h"
#include "dispatch/DispatchObject.h"
#include "platform/com.h"
#include "pravell_idl.h"

namespace Ostrel {

class HDispatchXMLParser : public DispatchObject<HDispatchXMLParser, IDispatchXMLParser>,
                           private CountedObject {
public:
    static DispatchClassInfo& ClassInfo() { return DispatchClassInfo::XMLParser(); }

    // Opens the file as text (carriage return + line feed pairs read as line feeds).
    HRESULT STDMETHODCALLTYPE ParseFile(BSTR path, IDispatch* client) override;
    HRESULT STDMETHODCALLTYPE ParseString(BSTR xml, IDispatch* client) override;
    // Reads the host's data source (IDispatchDataTransfer, or its Read by name) while it parses.
    HRESULT STDMETHODCALLTYPE ParseStream(IDispatch* source, IDispatch* client) override;

protected:
    HDispatchXMLParser() = default;
    // The object is deleted by its last Release, as whatever class it was made as.
    virtual ~HDispatchXMLParser() = default;

    friend class DispatchObject<HDispatchXMLParser, IDispatchXMLParser>;
};

} // namespace Ostrel
