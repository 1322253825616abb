#include "DispatchTestSupport.h"

#include "support/LateBinding.h"

namespace Ostrel::Testing {

HRESULT TestParser::ParseFile(BSTR path, IDispatch*) {
    calls += "ParseFile;";
    lastText = ToUtf8(path);
    return answer;
}

HRESULT TestParser::ParseString(BSTR xml, IDispatch* client) {
    calls += client == nullptr ? "ParseString;" : "ParseString+client;";
    lastText = ToUtf8(xml);
    return answer;
}

HRESULT TestParser::ParseStream(IDispatch*, IDispatch*) {
    calls += "ParseStream;";
    return answer;
}

} // namespace Ostrel::Testing
