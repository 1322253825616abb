#include "platform/typelibstrings.h"

#include "platform/bstr.h"
#include "platform/codepage.h"

#include <climits>

namespace Ostrel {

bool Utf8ToOle(const std::string& text, OleString& converted) {
    converted.clear();
    if (text.empty()) {
        return true;
    }
    if (text.size() > INT_MAX) {
        return false;
    }
    int length = static_cast<int>(text.size());
    int needed =
        MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text.data(), length, nullptr, 0);
    if (needed <= 0) {
        return false;
    }
    converted.resize(static_cast<size_t>(needed));
    return MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text.data(), length, &converted[0],
                               needed) == needed;
}

bool OleToUtf8(const OLECHAR* text, size_t length, std::string& converted) {
    converted.clear();
    if (length == 0) {
        return true;
    }
    if (text == nullptr || length > INT_MAX / 3) {
        return false;
    }
    int sourceLength = static_cast<int>(length);
    int needed = WideCharToMultiByte(CP_UTF8, WC_ERR_INVALID_CHARS, text, sourceLength, nullptr, 0,
                                     nullptr, nullptr);
    if (needed <= 0) {
        return false;
    }
    converted.resize(static_cast<size_t>(needed));
    return WideCharToMultiByte(CP_UTF8, WC_ERR_INVALID_CHARS, text, sourceLength, &converted[0],
                               needed, nullptr, nullptr) == needed;
}

bool OleToUtf8(const OLECHAR* text, std::string& converted) {
    size_t length = 0;
    while (text != nullptr && text[length] != 0) {
        ++length;
    }
    return OleToUtf8(text, length, converted);
}

namespace {

OLECHAR FoldCase(OLECHAR c) {
    return c >= u'a' && c <= u'z' ? static_cast<OLECHAR>(c - 32) : c;
}

} // namespace

bool SameNameIgnoringCase(const OLECHAR* a, const OleString& b) {
    size_t i = 0;
    for (; i < b.size(); ++i) {
        if (a[i] == 0 || FoldCase(a[i]) != FoldCase(b[i])) {
            return false;
        }
    }
    return a[i] == 0;
}

OleString FoldedName(const OleString& name) {
    OleString folded = name;
    for (OLECHAR& c : folded) {
        c = FoldCase(c);
    }
    return folded;
}

BSTR AllocTextOrNull(const OleString& text) {
    return text.empty() ? nullptr : SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
}

} // namespace Ostrel
