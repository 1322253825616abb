// Helpers shared by the type library tests: the built type libraries, text conversions, the
// interface half of a dual interface, and the case files that hold one case a block.
#pragma once

#include "platform/com.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <utility>
#include <vector>

// A name or path as an automation string, through the ANSI code page as the system reads them.
inline OleString Wide(const std::string& text) {
    return FromAnsi(text);
}

// Takes the string, whose characters are ASCII, and frees it.
inline std::string TakeNarrow(BSTR text) {
    std::string narrow(text, text + SysStringLen(text));
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
    return std::string(text, text + StringFromGUID2(guid, text, 40) - 1);
}

// The interface half of a dual interface's dispatch description (a new reference).
inline ITypeInfo* InterfaceHalfOf(ITypeInfo* dispatchHalf) {
    HREFTYPE reference = 0;
    ITypeInfo* half = nullptr;
    EXPECT_EQ(dispatchHalf->GetRefTypeOfImplType(static_cast<UINT>(-1), &reference), S_OK);
    EXPECT_EQ(dispatchHalf->GetRefTypeInfo(reference, &half), S_OK);
    return half;
}

// The cases of a file where each starts with a line "== HEADING" and runs to the next: the
// heading and the lines that follow it.
inline std::vector<std::pair<std::string, std::string>> HeadedCases(const std::string& path) {
    std::ifstream file(path);
    std::vector<std::pair<std::string, std::string>> cases;
    for (std::string line; std::getline(file, line);) {
        if (line.compare(0, 3, "== ") == 0) {
            cases.emplace_back(line.substr(3), "");
        } else if (!cases.empty()) {
            cases.back().second += line + "\n";
        }
    }
    EXPECT_FALSE(cases.empty()) << path;
    return cases;
}
