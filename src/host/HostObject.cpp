#include "host/HostObject.h"

namespace Ostrel {

namespace {

OLECHAR Lower(OLECHAR c) {
    return c >= 'A' && c <= 'Z' ? static_cast<OLECHAR>(c - 'A' + 'a') : c;
}

bool SameName(const OLECHAR* asked, const std::string& name) {
    size_t i = 0;
    for (; i < name.size() && asked[i] != 0; ++i) {
        if (Lower(asked[i]) != Lower(static_cast<unsigned char>(name[i]))) {
            return false;
        }
    }
    return asked[i] == 0 && i == name.size();
}

DISPID IdOf(const std::vector<std::string>& names, const OLECHAR* asked) {
    for (size_t i = 0; asked != nullptr && i < names.size(); ++i) {
        if (SameName(asked, names[i])) {
            return static_cast<DISPID>(i + 1);
        }
    }
    return DISPID_UNKNOWN;
}

} // namespace

HRESULT FindMemberIds(const std::vector<std::string>& names, LPOLESTR* asked, UINT count,
                      DISPID* ids) {
    if (count > 0 && (asked == nullptr || ids == nullptr)) {
        return E_INVALIDARG;
    }
    // The names after the first would name the member's parameters, which are not known.
    for (UINT i = 0; i < count; ++i) {
        ids[i] = i == 0 ? IdOf(names, asked[0]) : DISPID_UNKNOWN;
    }
    return count == 1 && ids[0] != DISPID_UNKNOWN ? S_OK : DISP_E_UNKNOWNNAME;
}

} // namespace Ostrel
