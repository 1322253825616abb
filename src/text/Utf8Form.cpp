#include "text/Utf8Form.h"

#include "text/TextBuffer.h"

#include <cstdint>
#include <cstring>
#include <memory>
#include <stdexcept>

namespace Ostrel {

static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__,
              "the ASCII scan reads words little-endian");

namespace {

// The length of the well-formed sequence that starts with a byte of 0x80 or more, or 0. Where
// the lead byte allows a second byte outside 0x80..0xBF only in part (overlong forms,
// surrogates, values past U+10FFFF), the second byte's range is narrowed.
size_t SequenceLength(const unsigned char* at, const unsigned char* end) {
    const unsigned char lead = *at;
    size_t length = 0;
    unsigned char low = 0x80;
    unsigned char high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        low = lead == 0xE0 ? 0xA0 : low;
        high = lead == 0xED ? 0x9F : high;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        low = lead == 0xF0 ? 0x90 : low;
        high = lead == 0xF4 ? 0x8F : high;
    } else {
        return 0;
    }
    if (static_cast<size_t>(end - at) < length || at[1] < low || at[1] > high) {
        return 0;
    }
    for (size_t i = 2; i < length; ++i) {
        if ((at[i] & 0xC0) != 0x80) {
            return 0;
        }
    }
    return length;
}

Text Utf8FromUtf16(const OLECHAR* units, int count) {
    if (count == 0) {
        return Text();
    }
    const int bytes = WideCharToMultiByte(CP_UTF8, 0, units, count, nullptr, 0, nullptr, nullptr);
    if (bytes <= 0) {
        throw std::length_error("text too long for UTF-8");
    }
    TextBuffer converted;
    char* out = converted.OpenTail(bytes);
    WideCharToMultiByte(CP_UTF8, 0, units, count, out, bytes, nullptr, nullptr);
    converted.Extend(out + bytes);
    return converted; // NOLINT(cppcoreguidelines-slicing): a Text shares the value
}

} // namespace

bool AnsiPageIsUtf8() {
    static const bool utf8 = GetACP() == CP_UTF8;
    return utf8;
}

bool IsUtf8(const char* chars, size_t length) {
    const auto* at = reinterpret_cast<const unsigned char*>(chars);
    const unsigned char* const end = at + length;
    while (at != end) {
        // Eight bytes at a time; the last eight of a text that has them cover a shorter rest.
        const bool whole = end - at >= 8;
        if (whole || length >= 8) {
            uint64_t word = 0;
            std::memcpy(&word, whole ? at : end - 8, 8);
            const uint64_t high = word & 0x8080808080808080u;
            if (high == 0) {
                at = whole ? at + 8 : end;
                continue;
            }
            // The ASCII before the first byte above 127 (the lowest address is the lowest byte);
            // in the last eight that byte may lie before `at`, inside a checked character.
            at += whole ? __builtin_ctzll(high) / 8 : 0;
        }
        if (*at < 0x80) {
            ++at;
            continue;
        }
        const size_t sequence = SequenceLength(at, end);
        if (sequence == 0) {
            return false;
        }
        at += sequence;
    }
    return true;
}

Text Utf8FromAnsi(const char* chars, LONG length) {
    if (length <= 0) {
        return Text();
    }
    const int units = MultiByteToWideChar(CP_ACP, 0, chars, length, nullptr, 0);
    if (units <= 0) {
        throw std::length_error("text too long for UTF-16");
    }
    const std::unique_ptr<OLECHAR[]> wide(new OLECHAR[static_cast<size_t>(units)]);
    MultiByteToWideChar(CP_ACP, 0, chars, length, wide.get(), units);
    return Utf8FromUtf16(wide.get(), units);
}

Text Utf8FromAutomationString(BSTR source, bool useScratch) {
    Text ansi(source, useScratch);
    // A UTF-8 page writes U+FFFD for what it cannot encode, so there the form needs no scan.
    if (AnsiPageIsUtf8() || IsUtf8(ansi.c_str(), static_cast<size_t>(ansi.Length()))) {
        return ansi;
    }
    return Utf8FromUtf16(source, static_cast<int>(SysStringLen(source)));
}

} // namespace Ostrel
