// Prints a type library in one canonical text: what a host that walks it through ITypeLib and
// ITypeInfo learns of the library, its types in their order, their functions and parameters in
// theirs, and the help strings. Built for Windows, it prints the same text for the type libraries
// that the system's IDL compiler makes from the same IDL, so it prints only what both kinds of
// library hold: nothing of the file format (type indices, reference numbers), no help contexts
// or files, no locale that is 0, and table sizes and offsets, which both lay out for x64 (8
// bytes a slot). A dual interface is its dispatch half, as the library lists it, with the
// interface half (GetRefTypeOfImplType(-1)) nested in it. A referenced type is named with its
// kind. A type of the library has the name, help string and kind that the library gives its
// position; a function has the name that GetDocumentation gives its member, its parameters the
// names of GetNames, but for a property's functions, which share their member: names are asked
// by member, so the systems answer for one of them, and the system's IDL compiler keeps no name
// for the value a property is set to. The text goes byte for byte to OUTPUT (no line-end
// translation).
//
//   typelib_dump FILE.tlb OUTPUT
#include "host/AutomationText.h"
#include "platform/com.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

namespace {

using Ostrel::ToUtf8;

std::string Hex(unsigned long value, int digits) {
    char text[24];
    std::snprintf(text, sizeof text, "0x%0*lX", digits, value);
    return text;
}

// A call that fails ends the program with the call's name and answer.
void Check(HRESULT result, const char* what) {
    if (FAILED(result)) {
        std::fprintf(stderr, "typelib_dump: %s failed: %s\n", what,
                     Hex(static_cast<DWORD>(result), 8).c_str());
        std::exit(1);
    }
}

// The name and help string that a library gives a type by its position (-1: the library itself),
// or that a description gives a member (MEMBERID_NIL: the type itself).
template <typename Source, typename Which>
std::pair<std::string, std::string> Documentation(Source* source, Which which) {
    BSTR name = nullptr;
    BSTR help = nullptr;
    Check(source->GetDocumentation(which, &name, &help, nullptr, nullptr), "GetDocumentation");
    std::pair<std::string, std::string> texts(ToUtf8(name), ToUtf8(help));
    SysFreeString(name);
    SysFreeString(help);
    return texts;
}

std::string GuidText(REFGUID guid) {
    OLECHAR text[40];
    return ToUtf8(text, static_cast<UINT>(StringFromGUID2(guid, text, 40) - 1));
}

// Kinds are named by their value, flags by their bit: names[i] is value i or bit i.
const char* const typeKinds[] = {"enum",     "record",  "module", "interface",
                                 "dispatch", "coclass", "alias",  "union"};
const char* const typeFlags[] = {"appobject",     "cancreate",   "licensed",     "predeclid",
                                 "hidden",        "control",     "dual",         "nonextensible",
                                 "oleautomation", "restricted",  "aggregatable", "replaceable",
                                 "dispatchable",  "reversebind", "proxy"};
const char* const invokeKinds[] = {"func", "propget", "propput", "propputref"};
const char* const funcKinds[] = {"virtual", "purevirtual", "nonvirtual", "static", "dispatch"};
const char* const funcFlags[] = {
    "restricted",   "source",      "bindable",         "requestedit",     "displaybind",
    "defaultbind",  "hidden",      "usesgetlasterror", "defaultcollelem", "uidefault",
    "nonbrowsable", "replaceable", "immediatebind"};
const char* const paramFlags[] = {"in", "out", "lcid", "retval", "optional", "hasdefault"};
const char* const implFlags[] = {"default", "source", "restricted", "defaultvtable"};
const char* const varTypes[] = {
    "EMPTY", "NULL",     "I2",    "I4",        "R4",      "R8",          "CY",      "DATE",
    "BSTR",  "DISPATCH", "ERROR", "BOOL",      "VARIANT", "UNKNOWN",     "DECIMAL", "",
    "I1",    "UI1",      "UI2",   "UI4",       "I8",      "UI8",         "INT",     "UINT",
    "VOID",  "HRESULT",  "PTR",   "SAFEARRAY", "CARRAY",  "USERDEFINED", "LPSTR",   "LPWSTR"};

// The name of a value, or the value in hexadecimal.
template <size_t N>
std::string ValueName(unsigned long value, const char* const (&names)[N]) {
    return value < N && *names[value] != '\0' ? names[value] : Hex(value, 4);
}

// The names of the bits set in `flags`, blank-separated; bits without a name in hexadecimal.
template <size_t N>
std::string FlagNames(unsigned long flags, const char* const (&names)[N]) {
    std::string text;
    for (size_t bit = 0; bit < 32; ++bit) {
        if ((flags & (1ul << bit)) != 0) {
            text += (text.empty() ? "" : " ") + (bit < N ? names[bit] : Hex(1ul << bit, 4));
        }
    }
    return text.empty() ? "-" : text;
}

std::string Version(WORD major, WORD minor) {
    return std::to_string(major) + "." + std::to_string(minor);
}

TYPEATTR AttributesOf(ITypeInfo* info) {
    TYPEATTR* attributes = nullptr;
    Check(info->GetTypeAttr(&attributes), "GetTypeAttr");
    const TYPEATTR copy = *attributes;
    info->ReleaseTypeAttr(attributes);
    return copy;
}

ITypeInfo* Referenced(ITypeInfo* info, HREFTYPE reference) {
    ITypeInfo* target = nullptr;
    Check(info->GetRefTypeInfo(reference, &target), "GetRefTypeInfo");
    return target;
}

// A type that a reference names: its name and kind.
std::string ReferenceText(ITypeInfo* info, HREFTYPE reference) {
    ITypeInfo* target = Referenced(info, reference);
    const std::string text = Documentation(target, MEMBERID_NIL).first + "(" +
                             ValueName(AttributesOf(target).typekind, typeKinds) + ")";
    target->Release();
    return text;
}

// A type: its kind, then what it points to or holds, or the type it names.
std::string TypeText(ITypeInfo* info, const TYPEDESC& type) {
    const std::string text = ValueName(type.vt, varTypes);
    return type.vt == VT_PTR || type.vt == VT_SAFEARRAY ? text + "," + TypeText(info, *type.lptdesc)
           : type.vt == VT_USERDEFINED ? text + ":" + ReferenceText(info, type.hreftype)
                                       : text;
}

std::string output;

void Line(size_t depth, const std::string& line) {
    output += std::string(depth * 2, ' ') + line + "\n";
}

void Help(size_t depth, const std::string& help) {
    if (!help.empty()) {
        Line(depth, "help \"" + help + "\"");
    }
}

void Function(ITypeInfo* info, const FUNCDESC& function, size_t depth) {
    const auto [name, help] = Documentation(info, function.memid);
    Line(depth, "function " + name + " " + Hex(static_cast<DWORD>(function.memid), 8) + " " +
                    FlagNames(function.invkind, invokeKinds) + " " +
                    ValueName(function.funckind, funcKinds) + " " +
                    FlagNames(function.wFuncFlags, funcFlags));
    Help(depth + 1, help);
    Line(depth + 1, "vtable " + std::to_string(function.oVft));
    Line(depth + 1, "returns " + TypeText(info, function.elemdescFunc.tdesc));
    std::vector<BSTR> names(static_cast<size_t>(function.cParams) + 1, nullptr);
    UINT count = 0;
    Check(info->GetNames(function.memid, names.data(), static_cast<UINT>(names.size()), &count),
          "GetNames");
    for (SHORT i = 0; i < function.cParams; ++i) {
        const ELEMDESC& param = function.lprgelemdescParam[i];
        const std::string name = ToUtf8(names[static_cast<size_t>(i) + 1]);
        Line(depth + 1, "param " + (function.invkind == INVOKE_FUNC ? name : "-") + " " +
                            FlagNames(param.paramdesc.wParamFlags, paramFlags) + " " +
                            TypeText(info, param.tdesc));
    }
    for (BSTR text : names) {
        SysFreeString(text);
    }
}

// Prints the type and releases it. A type of the library is named and documented by the
// library, the other half of a dual interface by its own description.
void Type(ITypeInfo* info, size_t depth, ITypeLib* library, UINT index) {
    const TYPEATTR attributes = AttributesOf(info);
    TYPEKIND kind = attributes.typekind;
    if (library != nullptr) {
        Check(library->GetTypeInfoType(index, &kind), "GetTypeInfoType");
    }
    const auto [name, help] = library != nullptr ? Documentation(library, static_cast<INT>(index))
                                                 : Documentation(info, MEMBERID_NIL);
    Line(depth, std::string(library != nullptr ? "" : "half ") + ValueName(kind, typeKinds) + " " +
                    name + " " + Version(attributes.wMajorVerNum, attributes.wMinorVerNum) + " " +
                    GuidText(attributes.guid));
    Help(depth + 1, help);
    Line(depth + 1, "flags " + FlagNames(attributes.wTypeFlags, typeFlags));
    if (kind == TKIND_INTERFACE || kind == TKIND_DISPATCH) {
        Line(depth + 1, "vtable " + std::to_string(attributes.cbSizeVft));
    }
    for (UINT i = 0; i < attributes.cImplTypes; ++i) {
        HREFTYPE reference = 0;
        INT flags = 0;
        Check(info->GetRefTypeOfImplType(i, &reference), "GetRefTypeOfImplType");
        Check(info->GetImplTypeFlags(i, &flags), "GetImplTypeFlags");
        Line(depth + 1,
             "implements " + ReferenceText(info, reference) +
                 (flags != 0 ? " " + FlagNames(static_cast<ULONG>(flags), implFlags) : ""));
    }
    for (UINT i = 0; i < attributes.cFuncs; ++i) {
        FUNCDESC* function = nullptr;
        Check(info->GetFuncDesc(i, &function), "GetFuncDesc");
        Function(info, *function, depth + 1);
        info->ReleaseFuncDesc(function);
    }
    HREFTYPE half = 0;
    if (kind == TKIND_DISPATCH &&
        SUCCEEDED(info->GetRefTypeOfImplType(static_cast<UINT>(-1), &half))) {
        Type(Referenced(info, half), depth + 1, nullptr, 0);
    }
    info->Release();
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: typelib_dump FILE.tlb OUTPUT\n");
        return 2;
    }
    ITypeLib* library = nullptr;
    Check(LoadTypeLibEx(Ostrel::Bstr(argv[1]), REGKIND_NONE, &library), "LoadTypeLibEx");
    TLIBATTR* attributes = nullptr;
    Check(library->GetLibAttr(&attributes), "GetLibAttr");
    const auto [name, help] = Documentation(library, -1);
    Line(0, "library " + name + " " + Version(attributes->wMajorVerNum, attributes->wMinorVerNum) +
                " " + GuidText(attributes->guid));
    if (attributes->lcid != 0) {
        Line(1, "lcid " + Hex(attributes->lcid, 4));
    }
    library->ReleaseTLibAttr(attributes);
    Help(1, help);
    for (UINT i = 0; i < library->GetTypeInfoCount(); ++i) {
        ITypeInfo* info = nullptr;
        Check(library->GetTypeInfo(i, &info), "GetTypeInfo");
        Type(info, 0, library, i);
    }
    library->Release();
    if (!(std::ofstream(argv[2], std::ios::binary) << output << std::flush)) {
        std::fprintf(stderr, "typelib_dump: cannot write %s\n", argv[2]);
        return 1;
    }
    return 0;
}
