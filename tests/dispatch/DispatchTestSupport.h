// A small automation class built on DispatchObject for the dispatch support tests.
#pragma once

#include "dispatch/CountedObject.h"
#include "dispatch/DispatchClassInfo.h"
#include "dispatch/DispatchObject.h"
#include "platform/com.h"
#include "pravell_idl.h"

#include <string>

namespace Ostrel::Testing {

// A parser object that records the calls reaching its operations.
class TestParser final : public DispatchObject<TestParser, IDispatchXMLParser>,
                         private CountedObject {
public:
    static DispatchClassInfo& ClassInfo() { return DispatchClassInfo::XMLParser(); }

    HRESULT STDMETHODCALLTYPE ParseFile(BSTR path, IDispatch* client) override;
    HRESULT STDMETHODCALLTYPE ParseString(BSTR xml, IDispatch* client) override;
    HRESULT STDMETHODCALLTYPE ParseStream(IDispatch* source, IDispatch* client) override;

    std::string calls;
    std::string lastText;
    HRESULT answer = S_OK;
};

} // namespace Ostrel::Testing
