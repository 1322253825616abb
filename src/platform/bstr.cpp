#include "platform/bstr.h"

#include <cstdlib>
#include <cstring>

// The string is preceded by a 32-bit byte count and followed by a 16-bit NUL, so that the length
// is known in constant time and embedded NULs survive.
namespace {

constexpr size_t prefixSize = sizeof(uint32_t);
constexpr uint32_t largestByteCount = UINT32_MAX - prefixSize - 2 * sizeof(OLECHAR);

uint32_t* PrefixOf(BSTR text) { return reinterpret_cast<uint32_t*>(text) - 1; }

BSTR AllocateBytes(const void* source, uint32_t byteCount) {
    if (byteCount > largestByteCount) {
        return nullptr;
    }
    // Two terminating bytes plus padding to a whole OLECHAR for odd byte counts.
    auto* block = static_cast<uint8_t*>(std::malloc(prefixSize + byteCount + 2 * sizeof(OLECHAR)));
    if (block == nullptr) {
        return nullptr;
    }
    std::memcpy(block, &byteCount, prefixSize);
    uint8_t* characters = block + prefixSize;
    if (source != nullptr) {
        std::memcpy(characters, source, byteCount);
    } else {
        std::memset(characters, 0, byteCount);
    }
    std::memset(characters + byteCount, 0, 2 * sizeof(OLECHAR));
    return reinterpret_cast<BSTR>(characters);
}

} // namespace

extern "C" BSTR SysAllocString(const OLECHAR* text) {
    if (text == nullptr) {
        return nullptr;
    }
    size_t length = 0;
    while (text[length] != 0) {
        ++length;
    }
    if (length > largestByteCount / sizeof(OLECHAR)) {
        return nullptr;
    }
    return AllocateBytes(text, static_cast<uint32_t>(length * sizeof(OLECHAR)));
}

extern "C" BSTR SysAllocStringLen(const OLECHAR* text, UINT length) {
    if (length > largestByteCount / sizeof(OLECHAR)) {
        return nullptr;
    }
    return AllocateBytes(text, static_cast<uint32_t>(length * sizeof(OLECHAR)));
}

extern "C" BSTR SysAllocStringByteLen(LPCSTR bytes, UINT length) {
    return AllocateBytes(bytes, length);
}

extern "C" UINT SysStringLen(BSTR text) {
    return text == nullptr ? 0 : *PrefixOf(text) / sizeof(OLECHAR);
}

extern "C" UINT SysStringByteLen(BSTR text) { return text == nullptr ? 0 : *PrefixOf(text); }

extern "C" void SysFreeString(BSTR text) {
    if (text != nullptr) {
        std::free(PrefixOf(text));
    }
}
