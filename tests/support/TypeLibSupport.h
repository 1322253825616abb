// Helpers shared by the type library tests: the built type libraries, text conversions and
// reading TYPEDESC chains.
#pragma once

#include "platform/com.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

inline OleString Wide(const std::string& text) {
    OleString wide(text.size(), 0);
    int length = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                     &wide[0], static_cast<int>(wide.size()));
    wide.resize(static_cast<size_t>(length > 0 ? length : 0));
    return wide;
}

inline std::string Narrow(const OLECHAR* text) {
    std::string narrow;
    for (; text != nullptr && *text != 0; ++text) {
        narrow += static_cast<char>(*text);
    }
    return narrow;
}

// Takes the string and frees it.
inline std::string TakeNarrow(BSTR text) {
    std::string narrow = Narrow(text);
    SysFreeString(text);
    return narrow;
}

inline std::string BuiltLibraryPath(const std::string& name) {
    return SystemPath(std::string(PRAVELL_BIN_DIR) + "/" + name + ".tlb");
}

inline ITypeLib* LoadBuiltLibrary(const std::string& name) {
    ITypeLib* library = nullptr;
    EXPECT_EQ(LoadTypeLib(Wide(BuiltLibraryPath(name)).c_str(), &library), S_OK) << name;
    return library;
}

inline std::string GuidString(REFGUID guid) {
    OLECHAR text[40];
    StringFromGUID2(guid, text, 40);
    return Narrow(text);
}

// VT_PTR -> VT_BSTR becomes {VT_PTR, VT_BSTR}.
inline std::vector<VARTYPE> ChainOf(const TYPEDESC& type) {
    std::vector<VARTYPE> chain;
    for (const TYPEDESC* at = &type; at != nullptr && chain.size() < 16;) {
        chain.push_back(at->vt);
        at = at->vt == VT_PTR || at->vt == VT_SAFEARRAY ? at->lptdesc : nullptr;
    }
    return chain;
}

inline const TYPEDESC& Innermost(const TYPEDESC& type) {
    const TYPEDESC* at = &type;
    while (at->vt == VT_PTR || at->vt == VT_SAFEARRAY) {
        at = at->lptdesc;
    }
    return *at;
}

// The interface half of a dual interface's dispatch description (a new reference).
inline ITypeInfo* InterfaceHalfOf(ITypeInfo* dispatchHalf) {
    HREFTYPE reference = 0;
    ITypeInfo* half = nullptr;
    EXPECT_EQ(dispatchHalf->GetRefTypeOfImplType(static_cast<UINT>(-1), &reference), S_OK);
    EXPECT_EQ(dispatchHalf->GetRefTypeInfo(reference, &half), S_OK);
    return half;
}

// The GUID of the description a reference of `info` names.
inline std::string ReferencedGuid(ITypeInfo* info, HREFTYPE reference, TYPEKIND* kind = nullptr) {
    ITypeInfo* target = nullptr;
    if (info->GetRefTypeInfo(reference, &target) != S_OK) {
        return "unresolved";
    }
    TYPEATTR* attributes = nullptr;
    EXPECT_EQ(target->GetTypeAttr(&attributes), S_OK);
    std::string guid = GuidString(attributes->guid);
    if (kind != nullptr) {
        *kind = attributes->typekind;
    }
    target->ReleaseTypeAttr(attributes);
    target->Release();
    return guid;
}
