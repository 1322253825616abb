#include "platform/guidtext.h"

namespace Ostrel {

namespace {

int HexValue(OLECHAR c) {
    if (c >= u'0' && c <= u'9') {
        return c - u'0';
    }
    if (c >= u'a' && c <= u'f') {
        return c - u'a' + 10;
    }
    if (c >= u'A' && c <= u'F') {
        return c - u'A' + 10;
    }
    return -1;
}

bool ParseHex(LPCOLESTR text, int digits, uint64_t& value) {
    value = 0;
    for (int i = 0; i < digits; ++i) {
        int digit = HexValue(text[i]);
        if (digit < 0) {
            return false;
        }
        value = (value << 4) | static_cast<uint64_t>(digit);
    }
    return true;
}

} // namespace

bool ParseGuidText(LPCOLESTR text, GUID* guid) {
    if (text == nullptr || guid == nullptr) {
        return false;
    }
    for (int i = 0; i < guidTextLength; ++i) {
        if (text[i] == 0) {
            return false;
        }
    }
    if (text[0] != u'{' || text[9] != u'-' || text[14] != u'-' || text[19] != u'-' ||
        text[24] != u'-' || text[37] != u'}' || text[guidTextLength] != 0) {
        return false;
    }
    GUID parsed{};
    uint64_t value = 0;
    if (!ParseHex(text + 1, 8, value)) {
        return false;
    }
    parsed.Data1 = static_cast<uint32_t>(value);
    if (!ParseHex(text + 10, 4, value)) {
        return false;
    }
    parsed.Data2 = static_cast<uint16_t>(value);
    if (!ParseHex(text + 15, 4, value)) {
        return false;
    }
    parsed.Data3 = static_cast<uint16_t>(value);
    static const int byteOffsets[8] = {20, 22, 25, 27, 29, 31, 33, 35};
    for (int i = 0; i < 8; ++i) {
        if (!ParseHex(text + byteOffsets[i], 2, value)) {
            return false;
        }
        parsed.Data4[i] = static_cast<uint8_t>(value);
    }
    *guid = parsed;
    return true;
}

} // namespace Ostrel
