// Automation strings made from a host's UTF-8 text and read back as UTF-8. An automation string
// is UTF-16 on every system (OLECHAR is wchar_t on Windows and char16_t elsewhere), so a host
// that keeps its text in UTF-8 converts through these rather than writing wide literals. The
// length travels with the string: nothing is cut at a NUL.
#pragma once

#include "platform/com.h"

#include <string>

namespace Ostrel {

// An automation string that the host owns and frees.
class Bstr {
public:
    Bstr() = default;
    // Null only when memory ran out.
    explicit Bstr(const std::string& utf8);
    Bstr(Bstr&& other) noexcept;
    Bstr& operator=(Bstr&& other) noexcept;
    Bstr(const Bstr&) = delete;
    Bstr& operator=(const Bstr&) = delete;
    ~Bstr() { SysFreeString(value); }

    operator BSTR() const { return value; }
    // Hands the string over to a receiver that frees it.
    BSTR Detach();

private:
    BSTR value = nullptr;
};

// The UTF-8 text of an automation string; a null string is empty.
std::string ToUtf8(BSTR text);
// The UTF-8 text of `length` characters.
std::string ToUtf8(const OLECHAR* text, UINT length);

} // namespace Ostrel
