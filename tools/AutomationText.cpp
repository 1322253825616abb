#include "AutomationText.h"

namespace Ostrel {

BSTR ToBstr(const std::string& text) {
    const int length = static_cast<int>(text.size());
    const int wide = MultiByteToWideChar(CP_UTF8, 0, text.data(), length, nullptr, 0);
    BSTR result = SysAllocStringLen(nullptr, static_cast<UINT>(wide));
    if (result != nullptr) {
        MultiByteToWideChar(CP_UTF8, 0, text.data(), length, result, wide);
    }
    return result;
}

std::string FromBstr(BSTR text) {
    const int length = static_cast<int>(SysStringLen(text));
    if (length == 0) {
        return {};
    }
    const int narrow = WideCharToMultiByte(CP_UTF8, 0, text, length, nullptr, 0, nullptr, nullptr);
    std::string result(static_cast<size_t>(narrow), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text, length, &result[0], narrow, nullptr, nullptr);
    return result;
}

} // namespace Ostrel
