#include "streaming/HDispatchXMLParser.h"

#include "dispatch/GuardCall.h"
#include "streaming/ParseEngine.h"
#include "text/Text.h"
#include "transfer/ProxyDataTransfer.h"
#include "transfer/TextFile.h"

namespace Ostrel {

HRESULT HDispatchXMLParser::ParseFile(BSTR path, IDispatch* client) {
    const HRESULT result = GuardCall([&] {
        TextFile file{Text(path)};
        if (!file.Open(false)) {
            return E_FAIL;
        }
        return RunParse(file, client);
    });
    return SUCCEEDED(result) ? S_OK : E_FAIL;
}

HRESULT HDispatchXMLParser::ParseString(BSTR xml, IDispatch* client) {
    return RunStringParse(xml, client);
}

HRESULT HDispatchXMLParser::ParseStream(IDispatch* source, IDispatch* client) {
    if (source == nullptr) {
        return E_FAIL;
    }
    const HRESULT result = GuardCall([&] {
        ProxyDataTransfer proxy(source);
        return RunParse(proxy, client);
    });
    return SUCCEEDED(result) ? S_OK : E_FAIL;
}

} // namespace Ostrel
