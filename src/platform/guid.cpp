#include "platform/guid.h"

#include "platform/guidtext.h"

#include <cstdlib>

using Ostrel::guidTextLength;

extern "C" void CoTaskMemFree(LPVOID block) {
    std::free(block);
}

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
    // Task memory is the C heap here, so that CoTaskMemFree frees it.
    *text = static_cast<LPOLESTR>(std::malloc((guidTextLength + 1) * sizeof(OLECHAR)));
    if (*text == nullptr) {
        return E_OUTOFMEMORY;
    }
    StringFromGUID2(clsid, *text, guidTextLength + 1);
    return S_OK;
}
