// Automation types, status codes and values as the platform tests' tables write them.
//
// A type: "I4", "BYREF|I4", "ARRAY|UI1", a bare number; a chain of types outermost first
// ("PTR,SAFEARRAY,BSTR"). A value: its type, a colon and its text, both left out for EMPTY and
// NULL: I4:-7, ERROR:0x80004005, R8:2.5, BOOL:-1, BSTR:"text" (\uXXXX for a unit beyond
// printable ASCII), BSTR:null, DISPATCH:host (an object the table knows by name), UNKNOWN:null,
// ARRAY|UI1:"bytes", ARRAY|BSTR:2 (a vector of two empty elements), BYREF|I4:5 (a reference to
// storage that holds 5), BYREF|VARIANT:BSTR:"x" (a script's variable that holds "x"),
// BYREF|I4:null (a reference to nothing).
#pragma once

#include "platform/com.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <fstream>
#include <iterator>
#include <map>
#include <sstream>
#include <string>
#include <vector>

// In the order of their numbers, from VT_EMPTY to VT_USERDEFINED.
inline const std::vector<std::string>& VarTypeNames() {
    static const std::vector<std::string> names = {
        "EMPTY", "NULL",     "I2",    "I4",        "R4",      "R8",         "CY",      "DATE",
        "BSTR",  "DISPATCH", "ERROR", "BOOL",      "VARIANT", "UNKNOWN",    "DECIMAL", "",
        "I1",    "UI1",      "UI2",   "UI4",       "I8",      "UI8",        "INT",     "UINT",
        "VOID",  "HRESULT",  "PTR",   "SAFEARRAY", "CARRAY",  "USERDEFINED"};
    return names;
}

inline VARTYPE VarTypeNamed(const std::string& word) {
    const std::vector<std::string>& names = VarTypeNames();
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

inline std::string VarTypeName(VARTYPE vt) {
    const VARTYPE base = vt & VT_TYPEMASK;
    const bool named = base < VarTypeNames().size() && !VarTypeNames()[base].empty();
    return std::string((vt & VT_BYREF) != 0 ? "BYREF|" : "") +
           ((vt & VT_ARRAY) != 0 ? "ARRAY|" : "") +
           (named ? VarTypeNames()[base] : std::to_string(base));
}

inline const std::map<std::string, HRESULT>& HresultNames() {
    static const std::map<std::string, HRESULT> names = {
        {"S_OK", S_OK},
        {"S_FALSE", S_FALSE},
        {"E_FAIL", E_FAIL},
        {"E_INVALIDARG", E_INVALIDARG},
        {"E_NOINTERFACE", E_NOINTERFACE},
        {"CO_E_CLASSSTRING", CO_E_CLASSSTRING},
        {"DISP_E_BADPARAMCOUNT", DISP_E_BADPARAMCOUNT},
        {"DISP_E_BADVARTYPE", DISP_E_BADVARTYPE},
        {"DISP_E_EXCEPTION", DISP_E_EXCEPTION},
        {"DISP_E_MEMBERNOTFOUND", DISP_E_MEMBERNOTFOUND},
        {"DISP_E_OVERFLOW", DISP_E_OVERFLOW},
        {"DISP_E_PARAMNOTFOUND", DISP_E_PARAMNOTFOUND},
        {"DISP_E_TYPEMISMATCH", DISP_E_TYPEMISMATCH},
        {"DISP_E_UNKNOWNNAME", DISP_E_UNKNOWNNAME},
        {"TYPE_E_INVALIDSTATE", TYPE_E_INVALIDSTATE},
        {"TYPE_E_INVDATAREAD", TYPE_E_INVDATAREAD},
        {"TYPE_E_UNSUPFORMAT", TYPE_E_UNSUPFORMAT}};
    return names;
}

inline std::string HresultName(HRESULT hr) {
    for (const auto& [name, code] : HresultNames()) {
        if (code == hr) {
            return name;
        }
    }
    return std::to_string(hr);
}

// The rows of a table under tests/data: its lines that are neither empty nor a # comment. A table
// without rows is a failure: a runner would pass without testing anything.
inline std::vector<std::string> Rows(const std::string& table) {
    std::ifstream file(std::string(PRAVELL_TEST_DATA) + "/" + table);
    std::vector<std::string> rows;
    for (std::string line; std::getline(file, line);) {
        if (!line.empty() && line[0] != '#') {
            rows.push_back(line);
        }
    }
    EXPECT_FALSE(rows.empty()) << table;
    return rows;
}

// The words of a table line; a double-quoted text, spaces and all, stays in its word.
inline std::vector<std::string> Words(const std::string& line) {
    std::vector<std::string> words;
    bool quoted = false;
    for (size_t at = 0; at < line.size(); ++at) {
        if (line[at] != ' ' && (at == 0 || (line[at - 1] == ' ' && !quoted))) {
            words.emplace_back();
        }
        quoted = quoted != (line[at] == '"');
        if (line[at] != ' ' || quoted) {
            words.back() += line[at];
        }
    }
    return words;
}

// The units of a quoted text, \uXXXX written for a unit beyond printable ASCII, and back.
inline OleString Units(const std::string& quoted) {
    OleString units;
    for (size_t at = 1; at + 1 < quoted.size(); ++at) {
        const bool escape = quoted.compare(at, 2, "\\u") == 0;
        units += escape ? static_cast<OLECHAR>(std::stoul(quoted.substr(at + 2, 4), nullptr, 16))
                        : static_cast<OLECHAR>(static_cast<unsigned char>(quoted[at]));
        at += escape ? 5 : 0;
    }
    return units;
}

inline std::string Quoted(const OleString& units) {
    std::string text = "\"";
    for (OLECHAR unit : units) {
        char escape[8];
        std::snprintf(escape, sizeof escape, "\\u%04X", static_cast<unsigned>(unit));
        const bool plain = unit >= 0x20 && unit < 0x7F && unit != '"' && unit != '\\';
        text += plain ? std::string(1, static_cast<char>(unit)) : std::string(escape);
    }
    return text + "\"";
}

// Values read from a table, with the storage that their references point at.
class TableValues {
public:
    TableValues() = default;
    TableValues(const TableValues&) = delete;
    TableValues& operator=(const TableValues&) = delete;
    ~TableValues() { Forget(); }

    // A variant that owns what it holds (the caller clears it).
    VARIANT Read(const std::string& word) {
        const size_t colon = word.find(':');
        return Read(VarTypeNamed(word.substr(0, colon)),
                    colon == std::string::npos ? "" : word.substr(colon + 1));
    }
    VARIANT Read(VARTYPE vt, const std::string& text) {
        VARIANT value{};
        value.vt = vt;
        const VARTYPE base = vt & VT_TYPEMASK;
        if (text == "null") {
            return value;
        }
        if ((vt & VT_BYREF) != 0) {
            storage.push_back(base == VT_VARIANT ? Read(text) : Read(base, text));
            value.byref =
                base == VT_VARIANT ? static_cast<void*>(&storage.back()) : &storage.back().llVal;
        } else if ((vt & VT_ARRAY) != 0) {
            const OleString bytes = text[0] == '"' ? Units(text) : OleString(std::stoul(text), 0);
            value.parray = SafeArrayCreateVector(base, 0, static_cast<ULONG>(bytes.size()));
            if (base == VT_UI1) {
                std::copy(bytes.begin(), bytes.end(), static_cast<BYTE*>(value.parray->pvData));
            }
        } else if (base == VT_BSTR) {
            const OleString units = Units(text);
            value.bstrVal = SysAllocStringLen(units.data(), static_cast<UINT>(units.size()));
        } else if (base == VT_DISPATCH || base == VT_UNKNOWN) {
            value.pdispVal = objects.at(text);
            value.pdispVal->AddRef();
        } else if (base == VT_R8) {
            value.dblVal = std::strtod(text.c_str(), nullptr);
        } else if (base == VT_R4) {
            value.fltVal = std::strtof(text.c_str(), nullptr);
        } else {
            value.ullVal = std::strtoull(text.c_str(), nullptr, 0);
        }
        return value;
    }

    // The table form of a value; a reference is written with what it points at.
    std::string Write(const VARIANT& value) const {
        const VARTYPE base = value.vt & VT_TYPEMASK;
        const std::string type = VarTypeName(value.vt);
        const bool isPointer = (value.vt & (VT_BYREF | VT_ARRAY)) != 0 || base == VT_BSTR;
        if (value.vt == VT_EMPTY || value.vt == VT_NULL) {
            return type;
        }
        if (isPointer && value.byref == nullptr) {
            return type + ":null";
        }
        if (value.vt == (VT_BYREF | VT_VARIANT)) {
            return type + ":" + Write(*value.pvarVal);
        }
        if ((value.vt & VT_BYREF) != 0) {
            VARIANT held{};
            held.vt = base;
            std::memcpy(&held.llVal, value.byref, Size(base));
            return "BYREF|" + Write(held);
        }
        if ((value.vt & VT_ARRAY) != 0) {
            const BYTE* bytes = static_cast<const BYTE*>(value.parray->pvData);
            const ULONG count = value.parray->rgsabound[0].cElements;
            return type + ":" +
                   (base == VT_UI1 ? Quoted(OleString(bytes, bytes + count))
                                   : std::to_string(count));
        }
        if (base == VT_BSTR) {
            return type + ":" + Quoted(OleString(value.bstrVal, SysStringLen(value.bstrVal)));
        }
        if (base == VT_DISPATCH || base == VT_UNKNOWN) {
            return type + ":" + NameOf(value.punkVal);
        }
        char number[32];
        std::snprintf(number, sizeof number, base == VT_R8 ? "%.17g" : "%.9g",
                      base == VT_R8 ? value.dblVal : value.fltVal);
        const int unused = 64 - 8 * static_cast<int>(Size(base));
        const uint64_t bits = value.ullVal << unused;
        const bool hasSign = VarTypeName(base)[0] == 'I' || base == VT_BOOL;
        return type + ":" +
               (base == VT_R8 || base == VT_R4 ? number
                : hasSign ? std::to_string(static_cast<int64_t>(bits) >> unused)
                          : std::to_string(bits >> unused));
    }

    // Frees the storage that references read so far point at.
    void Forget() {
        for (VARIANT& held : storage) {
            VariantClear(&held);
        }
        storage.clear();
    }

    // How many references each object that the table names holds.
    std::map<std::string, ULONG> References() const {
        std::map<std::string, ULONG> counts;
        for (const auto& [name, object] : objects) {
            object->AddRef();
            counts[name] = object->Release();
        }
        return counts;
    }

    // The objects a table names, which belong to the test.
    std::map<std::string, IDispatch*> objects;

private:
    // The bytes of a value of each type up to VT_UINT, as a VARIANT keeps it; 8 for the others.
    static size_t Size(VARTYPE base) {
        static const size_t sizes[] = {8, 8, 2, 4, 4, 8, 8, 8, 8, 8, 4, 2,
                                       8, 8, 8, 8, 1, 1, 2, 4, 8, 8, 4, 4};
        return base < std::size(sizes) ? sizes[base] : 8;
    }

    std::string NameOf(IUnknown* object) const {
        for (const auto& [name, known] : objects) {
            if (static_cast<IUnknown*>(known) == object) {
                return name;
            }
        }
        return object == nullptr ? "null" : "?";
    }

    std::deque<VARIANT> storage;
};
