// Automation types as the platform tests' tables write them: "I4", "BYREF|I4", a bare number,
// and type chains outermost first ("PTR,SAFEARRAY,BSTR").
#pragma once

#include "platform/com.h"

#include <algorithm>
#include <sstream>
#include <string>
#include <vector>

inline VARTYPE VarTypeNamed(const std::string& word) {
    // In the order of their numbers, from VT_EMPTY to VT_USERDEFINED.
    static const std::vector<std::string> names = {
        "EMPTY", "NULL",     "I2",    "I4",        "R4",      "R8",         "CY",      "DATE",
        "BSTR",  "DISPATCH", "ERROR", "BOOL",      "VARIANT", "UNKNOWN",    "DECIMAL", "",
        "I1",    "UI1",      "UI2",   "UI4",       "I8",      "UI8",        "INT",     "UINT",
        "VOID",  "HRESULT",  "PTR",   "SAFEARRAY", "CARRAY",  "USERDEFINED"};
    VARTYPE vt = 0;
    std::istringstream parts(word);
    for (std::string part; std::getline(parts, part, '|');) {
        const auto name = std::find(names.begin(), names.end(), part);
        vt |= part == "ARRAY"       ? VT_ARRAY
              : part == "BYREF"     ? VT_BYREF
              : name != names.end() ? static_cast<VARTYPE>(name - names.begin())
                                    : std::stoi(part);
    }
    return vt;
}

inline std::vector<VARTYPE> VarTypeChain(const std::string& word) {
    std::vector<VARTYPE> chain;
    std::istringstream parts(word);
    for (std::string part; std::getline(parts, part, ',');) {
        chain.push_back(VarTypeNamed(part));
    }
    return chain;
}
