#include "platform/codepage.h"

#include <cstring>

namespace {

constexpr char32_t replacement = 0xFFFD;

bool IsUtf8CodePage(UINT codePage) {
    return codePage == CP_ACP || codePage == CP_OEMCP || codePage == CP_THREAD_ACP ||
           codePage == CP_UTF8;
}

bool IsContinuation(unsigned char byte, unsigned char low = 0x80, unsigned char high = 0xBF) {
    return byte >= low && byte <= high;
}

// Decodes one character starting at bytes[0], never reading past end. An ill-formed sequence
// yields one U+FFFD for its well-formed prefix, as the system counts it: a second byte that is a
// continuation byte but makes the character overlong, a surrogate or too large is taken with
// the lead byte.
char32_t DecodeUtf8(const unsigned char* bytes, const unsigned char* end, size_t& consumed,
                    bool& invalid) {
    unsigned char lead = bytes[0];
    consumed = 1;
    if (lead < 0x80) {
        return lead;
    }
    int trailing = 0;
    char32_t value = 0;
    unsigned char low = 0x80, high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        trailing = 1;
        value = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        trailing = 2;
        value = lead & 0x0F;
        if (lead == 0xE0) {
            low = 0xA0;
        } else if (lead == 0xED) {
            high = 0x9F;
        }
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        trailing = 3;
        value = lead & 0x07;
        if (lead == 0xF0) {
            low = 0x90;
        } else if (lead == 0xF4) {
            high = 0x8F;
        }
    } else {
        invalid = true;
        return replacement;
    }
    for (int i = 0; i < trailing; ++i) {
        const unsigned char* next = bytes + consumed;
        if (next == end || !IsContinuation(*next, i == 0 ? low : 0x80, i == 0 ? high : 0xBF)) {
            if (i == 0 && next != end && IsContinuation(*next)) {
                ++consumed;
            }
            invalid = true;
            return replacement;
        }
        value = (value << 6) | (*next & 0x3F);
        ++consumed;
    }
    return value;
}

// Decodes one character of UTF-16; a lone surrogate yields U+FFFD.
char32_t DecodeUtf16(const WCHAR* units, const WCHAR* end, size_t& consumed, bool& invalid) {
    char32_t unit = units[0];
    consumed = 1;
    if (unit < 0xD800 || unit > 0xDFFF) {
        return unit;
    }
    if (unit <= 0xDBFF && units + 1 != end && units[1] >= 0xDC00 && units[1] <= 0xDFFF) {
        consumed = 2;
        return 0x10000 + ((unit - 0xD800) << 10) + (units[1] - 0xDC00);
    }
    invalid = true;
    return replacement;
}

int Utf16Length(char32_t value) {
    return value >= 0x10000 ? 2 : 1;
}

int Utf8Length(char32_t value) {
    return value < 0x80 ? 1 : value < 0x800 ? 2 : value < 0x10000 ? 3 : 4;
}

void EncodeUtf16(char32_t value, WCHAR* out) {
    if (value >= 0x10000) {
        value -= 0x10000;
        out[0] = static_cast<WCHAR>(0xD800 + (value >> 10));
        out[1] = static_cast<WCHAR>(0xDC00 + (value & 0x3FF));
    } else {
        out[0] = static_cast<WCHAR>(value);
    }
}

void EncodeUtf8(char32_t value, char* out) {
    auto put = [&](int index, unsigned bits) { out[index] = static_cast<char>(bits); };
    switch (Utf8Length(value)) {
    case 1:
        put(0, value);
        break;
    case 2:
        put(0, 0xC0 | (value >> 6));
        put(1, 0x80 | (value & 0x3F));
        break;
    case 3:
        put(0, 0xE0 | (value >> 12));
        put(1, 0x80 | ((value >> 6) & 0x3F));
        put(2, 0x80 | (value & 0x3F));
        break;
    default:
        put(0, 0xF0 | (value >> 18));
        put(1, 0x80 | ((value >> 12) & 0x3F));
        put(2, 0x80 | ((value >> 6) & 0x3F));
        put(3, 0x80 | (value & 0x3F));
        break;
    }
}

// The shared shape of both directions: decode the source one character at a time, count the
// target units, and write whole characters while they fit.
template <typename Source, typename Target, typename Decode, typename Length, typename Encode>
int Convert(const Source* source, int sourceLength, Target* target, int targetLength,
            bool failOnInvalid, bool* replaced, Decode decode, Length lengthOf, Encode encode) {
    const Source* end = source + sourceLength;
    long long needed = 0;
    bool truncated = false;
    for (const Source* at = source; at != end;) {
        // A run of ASCII is one unit a character in either form and needs no decoding: most
        // names and texts are nothing else. It is copied while it fits and counted beyond.
        const Source* const run = at;
        if (targetLength != 0 && !truncated) {
            const long long room = targetLength - needed;
            const Source* const stop = end - at > room ? at + room : end;
            Target* out = target + needed;
            while (at != stop && *at < 0x80) {
                *out++ = static_cast<Target>(*at++);
            }
        }
        const Source* const uncopied = at;
        while (at != end && *at < 0x80) {
            ++at;
        }
        if (at != run) {
            truncated = truncated || (targetLength != 0 && at != uncopied);
            needed += at - run;
        } else {
            size_t consumed = 0;
            bool invalid = false;
            char32_t value = decode(at, end, consumed, invalid);
            if (invalid) {
                if (failOnInvalid) {
                    SetLastError(ERROR_NO_UNICODE_TRANSLATION);
                    return 0;
                }
                *replaced = true;
            }
            int length = lengthOf(value);
            if (targetLength != 0 && !truncated) {
                if (needed + length > targetLength) {
                    truncated = true;
                } else {
                    encode(value, target + needed);
                }
            }
            needed += length;
            at += consumed;
        }
        if (needed > INT32_MAX) {
            SetLastError(ERROR_INSUFFICIENT_BUFFER);
            return 0;
        }
    }
    if (truncated) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    return static_cast<int>(needed);
}

} // namespace

extern "C" UINT GetACP() {
    return CP_UTF8;
}

extern "C" int MultiByteToWideChar(UINT codePage, DWORD flags, LPCCH source, int sourceLength,
                                   LPWSTR target, int targetLength) {
    if (!IsUtf8CodePage(codePage) || source == nullptr || sourceLength == 0 || sourceLength < -1 ||
        targetLength < 0 || (target == nullptr && targetLength != 0) ||
        (flags & ~(MB_PRECOMPOSED | MB_ERR_INVALID_CHARS)) != 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    if (sourceLength == -1) {
        size_t length = std::strlen(source) + 1;
        if (length > INT32_MAX) {
            SetLastError(ERROR_INVALID_PARAMETER);
            return 0;
        }
        sourceLength = static_cast<int>(length);
    }
    bool replaced = false;
    return Convert(reinterpret_cast<const unsigned char*>(source), sourceLength, target,
                   targetLength, (flags & MB_ERR_INVALID_CHARS) != 0, &replaced, DecodeUtf8,
                   Utf16Length, EncodeUtf16);
}

// Every code page here is UTF-8, which writes U+FFFD for what it cannot encode: a default
// character is accepted, as the system has accepted one for UTF-8 since 2017, and never used.
extern "C" int WideCharToMultiByte(UINT codePage, DWORD flags, LPCWCH source, int sourceLength,
                                   LPSTR target, int targetLength, LPCCH, LPBOOL usedDefaultChar) {
    if (!IsUtf8CodePage(codePage) || source == nullptr || sourceLength == 0 || sourceLength < -1 ||
        targetLength < 0 || (target == nullptr && targetLength != 0) ||
        (flags & ~WC_ERR_INVALID_CHARS) != 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    if (sourceLength == -1) {
        size_t length = 0;
        while (source[length] != 0) {
            ++length;
        }
        if (length >= INT32_MAX) {
            SetLastError(ERROR_INVALID_PARAMETER);
            return 0;
        }
        sourceLength = static_cast<int>(length + 1);
    }
    bool replaced = false;
    int result =
        Convert(source, sourceLength, target, targetLength, (flags & WC_ERR_INVALID_CHARS) != 0,
                &replaced, DecodeUtf16, Utf8Length, EncodeUtf8);
    if (usedDefaultChar != nullptr) {
        *usedDefaultChar = replaced ? TRUE : FALSE;
    }
    return result;
}
