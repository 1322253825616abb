#include "host/AutomationText.h"

#include <utility>

namespace Ostrel {

Bstr::Bstr(const std::string& utf8) {
    const int length = static_cast<int>(utf8.size());
    const int wide = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), length, nullptr, 0);
    value = SysAllocStringLen(nullptr, static_cast<UINT>(wide));
    if (value != nullptr && wide > 0) {
        MultiByteToWideChar(CP_UTF8, 0, utf8.data(), length, value, wide);
    }
}

Bstr::Bstr(Bstr&& other) noexcept : value(std::exchange(other.value, nullptr)) {}

Bstr& Bstr::operator=(Bstr&& other) noexcept {
    if (this != &other) {
        SysFreeString(value);
        value = std::exchange(other.value, nullptr);
    }
    return *this;
}

BSTR Bstr::Detach() {
    return std::exchange(value, nullptr);
}

std::string ToUtf8(BSTR text) {
    return ToUtf8(text, SysStringLen(text));
}

std::string ToUtf8(const OLECHAR* text, UINT length) {
    if (text == nullptr || length == 0) {
        return {};
    }
    const int wide = static_cast<int>(length);
    const int narrow = WideCharToMultiByte(CP_UTF8, 0, text, wide, nullptr, 0, nullptr, nullptr);
    std::string result(static_cast<size_t>(narrow), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text, wide, &result[0], narrow, nullptr, nullptr);
    return result;
}

} // namespace Ostrel
