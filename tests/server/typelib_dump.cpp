// Prints a type library in one canonical text: what a host that walks it through ITypeLib and
// ITypeInfo learns of the library, its types in their order, their functions and parameters in
// theirs, and the help strings. Built for Windows, it prints the same text for the type libraries
// that the system's IDL compiler makes from the same IDL, so it prints only what both kinds of
// library hold: nothing of the file format (type indices, reference numbers), no help context
// that is 0, no locale that is 0, and table sizes and offsets, which both lay out for x64 (8
// bytes a slot). A dual interface is its dispatch half, as the library lists it, with the
// interface half (GetRefTypeOfImplType(-1)) nested in it. A referenced type is named with its
// kind. The text goes to standard output, or byte for byte to OUTPUT (no line-end translation).
//
//   typelib_dump FILE.tlb [OUTPUT]
#include "host/AutomationText.h"
#include "platform/com.h"

#include <cstdio>
#include <string>
#include <vector>

namespace {

using Ostrel::ToUtf8;

// Every exit from a call that fails goes through here, with the call's name.
struct Failure {
    std::string what;
    HRESULT result;
};

void Check(HRESULT result, const char* what) {
    if (FAILED(result)) {
        throw Failure{what, result};
    }
}

// Takes the string and frees it.
std::string Take(BSTR text) {
    std::string utf8 = ToUtf8(text);
    SysFreeString(text);
    return utf8;
}

std::string Hex(unsigned long value, int digits) {
    char text[24];
    std::snprintf(text, sizeof text, "0x%0*lX", digits, value);
    return text;
}

std::string GuidText(REFGUID guid) {
    char text[40];
    std::snprintf(text, sizeof text, "{%08lX-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}",
                  static_cast<unsigned long>(guid.Data1), guid.Data2, guid.Data3, guid.Data4[0],
                  guid.Data4[1], guid.Data4[2], guid.Data4[3], guid.Data4[4], guid.Data4[5],
                  guid.Data4[6], guid.Data4[7]);
    return text;
}

// Help strings in quotes, with the quote, the backslash and control characters escaped.
std::string Quoted(const std::string& text) {
    std::string quoted = "\"";
    for (char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20) {
            quoted += "\\" + Hex(byte, 2);
            continue;
        }
        quoted += std::string(c == '"' || c == '\\' ? 1 : 0, '\\') + c;
    }
    return quoted + "\"";
}

struct Name {
    unsigned long value;
    const char* name;
};

// The names of the bits set in `flags`, blank-separated; bits without a name in hexadecimal.
template <size_t N>
std::string FlagNames(unsigned long flags, const Name (&names)[N]) {
    std::string text;
    for (const Name& name : names) {
        if ((flags & name.value) != 0) {
            text += std::string(text.empty() ? "" : " ") + name.name;
            flags &= ~name.value;
        }
    }
    if (flags != 0) {
        text += (text.empty() ? "" : " ") + Hex(flags, 4);
    }
    return text.empty() ? "-" : text;
}

template <size_t N>
std::string ValueName(unsigned long value, const Name (&names)[N]) {
    for (const Name& name : names) {
        if (name.value == value) {
            return name.name;
        }
    }
    return Hex(value, 4);
}

const Name typeKinds[] = {{TKIND_ENUM, "enum"},         {TKIND_RECORD, "record"},
                          {TKIND_MODULE, "module"},     {TKIND_INTERFACE, "interface"},
                          {TKIND_DISPATCH, "dispatch"}, {TKIND_COCLASS, "coclass"},
                          {TKIND_ALIAS, "alias"},       {TKIND_UNION, "union"}};
const Name typeFlags[] = {{TYPEFLAG_FAPPOBJECT, "appobject"},
                          {TYPEFLAG_FCANCREATE, "cancreate"},
                          {0x4, "licensed"},
                          {0x8, "predeclid"},
                          {TYPEFLAG_FHIDDEN, "hidden"},
                          {0x20, "control"},
                          {TYPEFLAG_FDUAL, "dual"},
                          {TYPEFLAG_FNONEXTENSIBLE, "nonextensible"},
                          {TYPEFLAG_FOLEAUTOMATION, "oleautomation"},
                          {0x200, "restricted"},
                          {0x400, "aggregatable"},
                          {0x800, "replaceable"},
                          {TYPEFLAG_FDISPATCHABLE, "dispatchable"},
                          {0x2000, "reversebind"},
                          {0x4000, "proxy"}};
const Name invokeKinds[] = {{INVOKE_FUNC, "func"},
                            {INVOKE_PROPERTYGET, "propget"},
                            {INVOKE_PROPERTYPUT, "propput"},
                            {INVOKE_PROPERTYPUTREF, "propputref"}};
const Name funcKinds[] = {{FUNC_VIRTUAL, "virtual"},
                          {FUNC_PUREVIRTUAL, "purevirtual"},
                          {FUNC_NONVIRTUAL, "nonvirtual"},
                          {FUNC_STATIC, "static"},
                          {FUNC_DISPATCH, "dispatch"}};
const Name funcFlags[] = {{FUNCFLAG_FRESTRICTED, "restricted"},
                          {FUNCFLAG_FSOURCE, "source"},
                          {FUNCFLAG_FBINDABLE, "bindable"},
                          {0x8, "requestedit"},
                          {0x10, "displaybind"},
                          {0x20, "defaultbind"},
                          {FUNCFLAG_FHIDDEN, "hidden"},
                          {0x80, "usesgetlasterror"},
                          {0x100, "defaultcollelem"},
                          {0x200, "uidefault"},
                          {0x400, "nonbrowsable"},
                          {0x800, "replaceable"},
                          {0x1000, "immediatebind"}};
const Name paramFlags[] = {{PARAMFLAG_FIN, "in"},        {PARAMFLAG_FOUT, "out"},
                           {PARAMFLAG_FLCID, "lcid"},    {PARAMFLAG_FRETVAL, "retval"},
                           {PARAMFLAG_FOPT, "optional"}, {PARAMFLAG_FHASDEFAULT, "hasdefault"}};
const Name implFlags[] = {{IMPLTYPEFLAG_FDEFAULT, "default"},
                          {IMPLTYPEFLAG_FSOURCE, "source"},
                          {IMPLTYPEFLAG_FRESTRICTED, "restricted"},
                          {0x8, "defaultvtable"}};
const Name varTypes[] = {{VT_EMPTY, "EMPTY"},
                         {VT_NULL, "NULL"},
                         {VT_I2, "I2"},
                         {VT_I4, "I4"},
                         {VT_R4, "R4"},
                         {VT_R8, "R8"},
                         {VT_CY, "CY"},
                         {VT_DATE, "DATE"},
                         {VT_BSTR, "BSTR"},
                         {VT_DISPATCH, "DISPATCH"},
                         {VT_ERROR, "ERROR"},
                         {VT_BOOL, "BOOL"},
                         {VT_VARIANT, "VARIANT"},
                         {VT_UNKNOWN, "UNKNOWN"},
                         {VT_DECIMAL, "DECIMAL"},
                         {VT_I1, "I1"},
                         {VT_UI1, "UI1"},
                         {VT_UI2, "UI2"},
                         {VT_UI4, "UI4"},
                         {VT_I8, "I8"},
                         {VT_UI8, "UI8"},
                         {VT_INT, "INT"},
                         {VT_UINT, "UINT"},
                         {VT_VOID, "VOID"},
                         {VT_HRESULT, "HRESULT"},
                         {VT_PTR, "PTR"},
                         {VT_SAFEARRAY, "SAFEARRAY"},
                         {VT_CARRAY, "CARRAY"},
                         {VT_USERDEFINED, "USERDEFINED"},
                         {VT_LPSTR, "LPSTR"},
                         {VT_LPWSTR, "LPWSTR"}};

// A description with its attributes, released together.
class Described {
public:
    explicit Described(ITypeInfo* info) : info(info) {
        Check(info->GetTypeAttr(&attributes), "GetTypeAttr");
    }
    Described(const Described&) = delete;
    Described& operator=(const Described&) = delete;
    ~Described() {
        info->ReleaseTypeAttr(attributes);
        info->Release();
    }

    ITypeInfo* const info;
    TYPEATTR* attributes = nullptr;
};

class Dumper {
public:
    void Library(ITypeLib* library) {
        TLIBATTR* attributes = nullptr;
        Check(library->GetLibAttr(&attributes), "GetLibAttr");
        BSTR name = nullptr;
        BSTR help = nullptr;
        Check(library->GetDocumentation(-1, &name, &help, nullptr, nullptr),
              "ITypeLib::GetDocumentation");
        Line(0, "library " + Take(name) + " " +
                    Version(attributes->wMajorVerNum, attributes->wMinorVerNum) + " " +
                    GuidText(attributes->guid));
        if (attributes->lcid != 0) {
            Line(1, "lcid " + Hex(attributes->lcid, 4));
        }
        library->ReleaseTLibAttr(attributes);
        Help(1, help);
        UINT count = library->GetTypeInfoCount();
        for (UINT i = 0; i < count; ++i) {
            ITypeInfo* info = nullptr;
            Check(library->GetTypeInfo(i, &info), "GetTypeInfo");
            Type(info, 0, "");
        }
    }

    const std::string& Text() const { return text; }

private:
    void Line(size_t depth, const std::string& line) {
        text += std::string(depth * 2, ' ') + line + "\n";
    }

    static std::string Version(WORD major, WORD minor) {
        return std::to_string(major) + "." + std::to_string(minor);
    }

    void Help(size_t depth, BSTR help) {
        std::string utf8 = Take(help);
        if (!utf8.empty()) {
            Line(depth, "help " + Quoted(utf8));
        }
    }

    void Type(ITypeInfo* info, size_t depth, const std::string& prefix) {
        Described type(info);
        const TYPEATTR& attributes = *type.attributes;
        BSTR name = nullptr;
        BSTR help = nullptr;
        DWORD context = 0;
        Check(info->GetDocumentation(MEMBERID_NIL, &name, &help, &context, nullptr),
              "ITypeInfo::GetDocumentation");
        Line(depth, prefix + ValueName(attributes.typekind, typeKinds) + " " + Take(name) + " " +
                        Version(attributes.wMajorVerNum, attributes.wMinorVerNum) + " " +
                        GuidText(attributes.guid));
        Line(depth + 1, "flags " + FlagNames(attributes.wTypeFlags, typeFlags));
        Help(depth + 1, help);
        if (context != 0) {
            Line(depth + 1, "helpcontext " + Hex(context, 8));
        }
        if (attributes.typekind == TKIND_INTERFACE || attributes.typekind == TKIND_DISPATCH) {
            Line(depth + 1, "vtable " + std::to_string(attributes.cbSizeVft));
        }
        ImplementedTypes(type, depth + 1);
        Functions(type, depth + 1);
        HREFTYPE half = 0;
        if (attributes.typekind == TKIND_DISPATCH &&
            SUCCEEDED(info->GetRefTypeOfImplType(static_cast<UINT>(-1), &half))) {
            ITypeInfo* interfaceHalf = nullptr;
            Check(info->GetRefTypeInfo(half, &interfaceHalf), "GetRefTypeInfo");
            Type(interfaceHalf, depth + 1, "half ");
        }
    }

    void ImplementedTypes(const Described& type, size_t depth) {
        for (UINT i = 0; i < type.attributes->cImplTypes; ++i) {
            HREFTYPE reference = 0;
            INT flags = 0;
            Check(type.info->GetRefTypeOfImplType(i, &reference), "GetRefTypeOfImplType");
            Check(type.info->GetImplTypeFlags(i, &flags), "GetImplTypeFlags");
            Line(depth,
                 "implements " + ReferenceText(type.info, reference) +
                     (flags != 0 ? " " + FlagNames(static_cast<unsigned long>(flags), implFlags)
                                 : ""));
        }
    }

    // A type that a reference names: its name and kind.
    static std::string ReferenceText(ITypeInfo* info, HREFTYPE reference) {
        ITypeInfo* target = nullptr;
        Check(info->GetRefTypeInfo(reference, &target), "GetRefTypeInfo");
        Described referenced(target);
        BSTR name = nullptr;
        Check(target->GetDocumentation(MEMBERID_NIL, &name, nullptr, nullptr, nullptr),
              "ITypeInfo::GetDocumentation");
        return Take(name) + "(" + ValueName(referenced.attributes->typekind, typeKinds) + ")";
    }

    static std::string TypeText(ITypeInfo* info, const TYPEDESC& type) {
        std::string text = ValueName(type.vt, varTypes);
        if (type.vt == VT_PTR || type.vt == VT_SAFEARRAY) {
            return text + "," + TypeText(info, *type.lptdesc);
        }
        if (type.vt == VT_USERDEFINED) {
            return text + ":" + ReferenceText(info, type.hreftype);
        }
        return text;
    }

    void Functions(const Described& type, size_t depth) {
        for (UINT i = 0; i < type.attributes->cFuncs; ++i) {
            FUNCDESC* function = nullptr;
            Check(type.info->GetFuncDesc(i, &function), "GetFuncDesc");
            Function(type.info, *function, depth);
            type.info->ReleaseFuncDesc(function);
        }
    }

    void Function(ITypeInfo* info, const FUNCDESC& function, size_t depth) {
        std::vector<BSTR> names(static_cast<size_t>(function.cParams) + 1, nullptr);
        UINT count = 0;
        Check(info->GetNames(function.memid, names.data(), static_cast<UINT>(names.size()), &count),
              "GetNames");
        std::vector<std::string> texts;
        for (UINT i = 0; i < count; ++i) {
            texts.push_back(Take(names[i]));
        }
        texts.resize(names.size());
        Line(depth, "function " + texts[0] + " " +
                        Hex(static_cast<unsigned long>(static_cast<DWORD>(function.memid)), 8) +
                        " " + ValueName(function.invkind, invokeKinds) + " " +
                        ValueName(function.funckind, funcKinds) + " " +
                        FlagNames(function.wFuncFlags, funcFlags));
        Line(depth + 1, "vtable " + std::to_string(function.oVft));
        BSTR help = nullptr;
        DWORD context = 0;
        Check(info->GetDocumentation(function.memid, nullptr, &help, &context, nullptr),
              "ITypeInfo::GetDocumentation");
        Help(depth + 1, help);
        Line(depth + 1, "returns " + TypeText(info, function.elemdescFunc.tdesc));
        if (function.cParamsOpt != 0) {
            Line(depth + 1, "optional " + std::to_string(function.cParamsOpt));
        }
        for (SHORT i = 0; i < function.cParams; ++i) {
            const ELEMDESC& param = function.lprgelemdescParam[i];
            Line(depth + 1, "param " + texts[static_cast<size_t>(i) + 1] + " " +
                                FlagNames(param.paramdesc.wParamFlags, paramFlags) + " " +
                                TypeText(info, param.tdesc));
        }
    }

    std::string text;
};

} // namespace

int main(int argc, char** argv) {
    if (argc != 2 && argc != 3) {
        std::fprintf(stderr, "usage: typelib_dump FILE.tlb [OUTPUT]\n");
        return 2;
    }
    ITypeLib* library = nullptr;
    Ostrel::Bstr path(argv[1]);
    HRESULT result = LoadTypeLibEx(path, REGKIND_NONE, &library);
    if (FAILED(result)) {
        std::fprintf(stderr, "typelib_dump: cannot load %s: %s\n", argv[1],
                     Hex(static_cast<DWORD>(result), 8).c_str());
        return 1;
    }
    Dumper dumper;
    try {
        dumper.Library(library);
    } catch (const Failure& failure) {
        library->Release();
        std::fprintf(stderr, "typelib_dump: %s failed: %s\n", failure.what.c_str(),
                     Hex(static_cast<DWORD>(failure.result), 8).c_str());
        return 1;
    }
    library->Release();
    FILE* output = argc == 3 ? std::fopen(argv[2], "wb") : stdout;
    const std::string& text = dumper.Text();
    if (output == nullptr || std::fwrite(text.data(), 1, text.size(), output) != text.size() ||
        std::fclose(output) != 0) {
        std::fprintf(stderr, "typelib_dump: cannot write %s\n", argc == 3 ? argv[2] : "output");
        return 1;
    }
    return 0;
}
