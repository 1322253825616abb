#include "platform/guid.h"

#include <cstdlib>

namespace {

constexpr int guidTextLength = 38;

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

extern "C" LPVOID CoTaskMemAlloc(SIZE_T size) { return std::malloc(size == 0 ? 1 : size); }

extern "C" LPVOID CoTaskMemRealloc(LPVOID block, SIZE_T size) {
    return std::realloc(block, size == 0 ? 1 : size);
}

extern "C" void CoTaskMemFree(LPVOID block) { std::free(block); }

extern "C" int StringFromGUID2(REFGUID guid, LPOLESTR text, int capacity) {
    if (text == nullptr || capacity < guidTextLength + 1) {
        return 0;
    }
    static const char digits[] = "0123456789ABCDEF";
    int at = 0;
    auto hex = [&](uint64_t value, int count) {
        for (int i = count - 1; i >= 0; --i) {
            text[at++] = static_cast<OLECHAR>(digits[(value >> (4 * i)) & 0xF]);
        }
    };
    text[at++] = u'{';
    hex(guid.Data1, 8);
    text[at++] = u'-';
    hex(guid.Data2, 4);
    text[at++] = u'-';
    hex(guid.Data3, 4);
    text[at++] = u'-';
    hex(guid.Data4[0], 2);
    hex(guid.Data4[1], 2);
    text[at++] = u'-';
    for (int i = 2; i < 8; ++i) {
        hex(guid.Data4[i], 2);
    }
    text[at++] = u'}';
    text[at++] = 0;
    return at;
}

extern "C" HRESULT StringFromCLSID(REFCLSID clsid, LPOLESTR* text) {
    if (text == nullptr) {
        return E_INVALIDARG;
    }
    *text = static_cast<LPOLESTR>(CoTaskMemAlloc((guidTextLength + 1) * sizeof(OLECHAR)));
    if (*text == nullptr) {
        return E_OUTOFMEMORY;
    }
    StringFromGUID2(clsid, *text, guidTextLength + 1);
    return S_OK;
}

extern "C" HRESULT StringFromIID(REFIID iid, LPOLESTR* text) { return StringFromCLSID(iid, text); }

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

extern "C" HRESULT IIDFromString(LPCOLESTR text, IID* iid) {
    if (iid == nullptr) {
        return E_INVALIDARG;
    }
    if (text == nullptr) {
        *iid = GUID_NULL;
        return S_OK;
    }
    return ParseGuidText(text, iid) ? S_OK : CO_E_CLASSSTRING;
}
