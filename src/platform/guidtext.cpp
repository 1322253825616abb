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

// Shifts the digits into `field` one at a time; a terminator is no digit, so reading stops
// before it.
template <typename Field>
bool ReadHex(LPCOLESTR text, int digits, Field& field) {
    field = 0;
    for (int i = 0; i < digits; ++i) {
        int digit = HexValue(text[i]);
        if (digit < 0) {
            return false;
        }
        field = static_cast<Field>((field << 4) | digit);
    }
    return true;
}

} // namespace

bool ReadGuidText(LPCOLESTR text, GUID* guid) {
    if (text == nullptr || text[0] != u'{') {
        *guid = GUID{};
        return false;
    }
    if (!ReadHex(text + 1, 8, guid->Data1) || text[9] != u'-' ||
        !ReadHex(text + 10, 4, guid->Data2) || text[14] != u'-' ||
        !ReadHex(text + 15, 4, guid->Data3) || text[19] != u'-') {
        return false;
    }
    static const int byteOffsets[8] = {20, 22, 25, 27, 29, 31, 33, 35};
    for (int i = 0; i < 8; ++i) {
        if (i == 2 && text[24] != u'-') {
            return false;
        }
        if (HexValue(text[byteOffsets[i]]) < 0 || HexValue(text[byteOffsets[i] + 1]) < 0) {
            return false;
        }
        ReadHex(text + byteOffsets[i], 2, guid->Data4[i]);
    }
    return text[37] == u'}' && text[guidTextLength] == 0;
}

bool ParseGuidText(LPCOLESTR text, GUID* guid) {
    GUID parsed{};
    if (guid == nullptr || !ReadGuidText(text, &parsed)) {
        return false;
    }
    *guid = parsed;
    return true;
}

} // namespace Ostrel
