// Conversion between texts and automation strings through the ANSI code page. Narrow buffers are
// sized from the converted byte count and automation strings from the converted character count,
// because with UTF-8 a character takes up to three bytes (a surrogate pair four bytes for two
// units): nothing is ever truncated and no garbage follows.
#include "text/ScratchBuffers.h"
#include "text/Text.h"
#include "text/TextHeader.h"

#include <new>
#include <stdexcept>

namespace Ostrel {

namespace {

// The longest text that ToBSTR converts without measuring it first.
constexpr LONG kShortConversion = 128;

int NarrowBytes(BSTR source, int units) {
    const int bytes = WideCharToMultiByte(CP_ACP, 0, source, units, nullptr, 0, nullptr, nullptr);
    if (bytes <= 0) {
        throw std::length_error("automation string too long for a text");
    }
    return bytes;
}

void Narrow(BSTR source, int units, char* target, int bytes) {
    WideCharToMultiByte(CP_ACP, 0, source, units, target, bytes, nullptr, nullptr);
    target[bytes] = 0;
}

} // namespace

Text::Text(BSTR source, bool useScratch) : Text() {
    ConvertFrom(source, useScratch);
}

Text& Text::operator=(BSTR source) {
    return *this = Text(source, false);
}

void Text::ConvertFrom(BSTR source, bool useScratch) {
    const UINT units = SysStringLen(source);
    if (units == 0) {
        return;
    }
    if (units > INT32_MAX) {
        throw std::length_error("automation string too long for a text");
    }
    const int count = static_cast<int>(units);
    const int bytes = NarrowBytes(source, count);
    char* scratch = nullptr;
    if (useScratch && count < ScratchBuffers::kSize && bytes < ScratchBuffers::kSize) {
        scratch = ScratchBuffers::Take();
    }
    if (scratch != nullptr) {
        Narrow(source, count, scratch, bytes);
        try {
            Adopt(scratch, bytes);
        } catch (...) {
            ScratchBuffers::GiveBack(scratch);
            throw;
        }
        return;
    }
    TextHeader* fresh = TextHeader::NewPrivate(TextHeader::CapacityFor(bytes));
    Narrow(source, count, fresh->buffer, bytes);
    Release();
    header = fresh;
    data = fresh->buffer;
}

BSTR Text::ToBSTR(const char* chars, LONG length) {
    BSTR result = nullptr;
    if (length <= kShortConversion) {
        // No code page needs more UTF-16 units than it has bytes, so a short text is converted
        // once, into room on the stack, instead of being measured first: names and most values
        // are short.
        OLECHAR converted[kShortConversion];
        const int units = length == 0 ? 0
                                      : MultiByteToWideChar(CP_ACP, 0, chars, length, converted,
                                                            kShortConversion);
        result = SysAllocStringLen(converted, static_cast<UINT>(units));
    } else {
        const int units = MultiByteToWideChar(CP_ACP, 0, chars, length, nullptr, 0);
        result = SysAllocStringLen(nullptr, static_cast<UINT>(units));
        if (result != nullptr && units > 0) {
            MultiByteToWideChar(CP_ACP, 0, chars, length, result, units);
        }
    }
    if (result == nullptr) {
        throw std::bad_alloc();
    }
    return result;
}

Text Text::FromCLSID(REFCLSID clsid) {
    LPOLESTR wide = nullptr;
    if (FAILED(StringFromCLSID(clsid, &wide)) || wide == nullptr) {
        return Text();
    }
    // The registry form is 38 characters of plain ASCII.
    char narrow[64];
    const int bytes =
        WideCharToMultiByte(CP_ACP, 0, wide, -1, narrow, sizeof(narrow), nullptr, nullptr);
    CoTaskMemFree(wide);
    return bytes > 0 ? Text(narrow) : Text();
}

} // namespace Ostrel
