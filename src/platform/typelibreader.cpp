#include "platform/guidtext.h"
#include "platform/typelibfile.h"

#include <cstdlib>

namespace Ostrel {

namespace {

struct Field {
    std::string text;
    bool quoted = false;
};
using Fields = std::vector<Field>;

constexpr const char* magic = "pravell-typelib";
constexpr const char* formatVersion = "1";
constexpr uint64_t largestCount = 0xFFFF;
constexpr uint64_t largestParamCount = 0x7FFF;
constexpr int deepestType = 8;

struct FlagName {
    const char* name;
    WORD value;
};

const FlagName interfaceFlags[] = {{"dual", TYPEFLAG_FDUAL},
                                   {"oleautomation", TYPEFLAG_FOLEAUTOMATION},
                                   {"dispatchable", TYPEFLAG_FDISPATCHABLE},
                                   {"nonextensible", TYPEFLAG_FNONEXTENSIBLE},
                                   {"hidden", TYPEFLAG_FHIDDEN}};
const FlagName functionFlags[] = {{"restricted", FUNCFLAG_FRESTRICTED},
                                  {"hidden", FUNCFLAG_FHIDDEN}};
const FlagName paramFlags[] = {{"in", PARAMFLAG_FIN},
                               {"out", PARAMFLAG_FOUT},
                               {"retval", PARAMFLAG_FRETVAL},
                               {"lcid", PARAMFLAG_FLCID},
                               {"opt", PARAMFLAG_FOPT}};
const FlagName coclassFlags[] = {{"cancreate", TYPEFLAG_FCANCREATE}, {"hidden", TYPEFLAG_FHIDDEN}};
const FlagName implFlags[] = {{"default", IMPLTYPEFLAG_FDEFAULT}, {"source", IMPLTYPEFLAG_FSOURCE}};
const FlagName invokeKinds[] = {{"func", INVOKE_FUNC},
                                {"propget", INVOKE_PROPERTYGET},
                                {"propput", INVOKE_PROPERTYPUT},
                                {"propputref", INVOKE_PROPERTYPUTREF}};

struct BaseTypeName {
    const char* name;
    VARTYPE vt;
};

const BaseTypeName baseTypes[] = {{"void", VT_VOID},       {"hresult", VT_HRESULT},
                                  {"bstr", VT_BSTR},       {"i1", VT_I1},
                                  {"i2", VT_I2},           {"i4", VT_I4},
                                  {"int", VT_INT},         {"ui1", VT_UI1},
                                  {"ui2", VT_UI2},         {"ui4", VT_UI4},
                                  {"uint", VT_UINT},       {"r4", VT_R4},
                                  {"r8", VT_R8},           {"bool", VT_BOOL},
                                  {"variant", VT_VARIANT}, {"dispatch", VT_DISPATCH},
                                  {"unknown", VT_UNKNOWN}};

// Hands out the records of the text one line at a time, so that nothing is sized from the
// file before it has been read.
class RecordReader {
public:
    explicit RecordReader(const std::string& text) : text(text) {}

    // The next line that is not blank or a comment; false at the end or on a malformed line.
    bool Next(Fields& fields) {
        while (ReadLine(fields)) {
            if (!fields.empty() && fields[0].text[0] != '#') {
                return true;
            }
        }
        return false;
    }

    // The first line, read as it stands.
    bool First(Fields& fields) { return ReadLine(fields); }

    bool OnlyCommentsLeft() {
        Fields fields;
        while (ReadLine(fields)) {
            if (!fields.empty() && fields[0].text[0] != '#') {
                return false;
            }
        }
        return !malformed;
    }

private:
    bool ReadLine(Fields& fields) {
        fields.clear();
        if (malformed || position >= text.size()) {
            return false;
        }
        size_t end = text.find('\n', position);
        if (end == std::string::npos) {
            malformed = true;
            return false;
        }
        size_t start = position;
        position = end + 1;
        if (!Split(start, end, fields)) {
            malformed = true;
            return false;
        }
        return true;
    }

    bool Split(size_t at, size_t end, Fields& fields) {
        while (at < end) {
            char c = text[at];
            if (c == ' ' || c == '\t') {
                ++at;
            } else if (static_cast<unsigned char>(c) < 0x20 ||
                       (!fields.empty() && fields.back().quoted)) {
                return false;
            } else if (c == '"') {
                fields.push_back(Field{"", true});
                if (!Unquote(at, end, fields.back().text)) {
                    return false;
                }
            } else {
                size_t stop = at;
                while (stop < end && text[stop] != ' ' && text[stop] != '\t' && text[stop] != '"' &&
                       static_cast<unsigned char>(text[stop]) >= 0x20) {
                    ++stop;
                }
                fields.push_back(Field{text.substr(at, stop - at), false});
                at = stop;
            }
        }
        return true;
    }

    bool Unquote(size_t& at, size_t end, std::string& value) {
        for (++at; at < end; ++at) {
            char c = text[at];
            if (c == '"') {
                ++at;
                return true;
            }
            if (c == '\\') {
                if (++at >= end) {
                    return false;
                }
                c = text[at];
                if (c == 'n') {
                    c = '\n';
                } else if (c != '\\' && c != '"') {
                    return false;
                }
            } else if (static_cast<unsigned char>(c) < 0x20 && c != '\t') {
                return false;
            }
            value += c;
        }
        return false;
    }

    const std::string& text;
    size_t position = 0;
    bool malformed = false;
};

bool ReadUnsigned(const Field& field, uint64_t largest, uint64_t& value) {
    const std::string& text = field.text;
    if (field.quoted || text.empty() || text.size() > 18 || text[0] == '-' || text[0] == '+') {
        return false;
    }
    char* end = nullptr;
    bool hex = text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
    value = std::strtoull(text.c_str(), &end, hex ? 16 : 10);
    return end == text.c_str() + text.size() && value <= largest;
}

bool ReadMemberId(const Field& field, MEMBERID& id) {
    bool negative = !field.text.empty() && field.text[0] == '-';
    uint64_t magnitude = 0;
    Field digits{negative ? field.text.substr(1) : field.text, field.quoted};
    if (!ReadUnsigned(digits, negative ? 0x80000000u : 0xFFFFFFFFu, magnitude)) {
        return false;
    }
    uint32_t bits = static_cast<uint32_t>(negative ? 0u - magnitude : magnitude);
    id = static_cast<MEMBERID>(bits);
    return true;
}

bool ReadName(const Field& field, OleString& name) {
    return !field.quoted && !field.text.empty() && Utf8ToOle(field.text, name);
}

bool ReadText(const Field& field, OleString& text) {
    return field.quoted && Utf8ToOle(field.text, text);
}

bool ReadGuid(const Field& field, GUID& guid) {
    OleString text;
    return !field.quoted && Utf8ToOle(field.text, text) && ParseGuidText(text.c_str(), &guid);
}

bool ReadVersion(const Field& field, WORD& major, WORD& minor) {
    size_t dot = field.text.find('.');
    uint64_t majorValue = 0;
    uint64_t minorValue = 0;
    if (dot == std::string::npos ||
        !ReadUnsigned(Field{field.text.substr(0, dot), field.quoted}, 0xFFFF, majorValue) ||
        !ReadUnsigned(Field{field.text.substr(dot + 1), field.quoted}, 0xFFFF, minorValue)) {
        return false;
    }
    major = static_cast<WORD>(majorValue);
    minor = static_cast<WORD>(minorValue);
    return true;
}

template <size_t N>
bool ReadFlags(const Field& field, const FlagName (&names)[N], WORD& flags) {
    flags = 0;
    if (field.quoted) {
        return false;
    }
    if (field.text == "-") {
        return true;
    }
    size_t start = 0;
    while (start <= field.text.size()) {
        size_t comma = field.text.find(',', start);
        std::string name = field.text.substr(start, comma - start);
        bool known = false;
        for (const FlagName& flag : names) {
            if (name == flag.name) {
                flags |= flag.value;
                known = true;
            }
        }
        if (!known) {
            return false;
        }
        if (comma == std::string::npos) {
            return true;
        }
        start = comma + 1;
    }
    return false;
}

bool ReadTypeSpec(const std::string& text, size_t& at, int depth, TypeSpec& type);

bool ReadPrimaryType(const std::string& text, size_t& at, int depth, TypeSpec& type) {
    static const std::string safearray = "safearray(";
    if (text.compare(at, safearray.size(), safearray) == 0) {
        at += safearray.size();
        type.chain.push_back(VT_SAFEARRAY);
        if (!ReadTypeSpec(text, at, depth + 1, type) || at >= text.size() || text[at] != ')') {
            return false;
        }
        ++at;
        return true;
    }
    size_t stop = text.find_first_of("*)", at);
    std::string name = text.substr(at, stop == std::string::npos ? std::string::npos : stop - at);
    at = stop == std::string::npos ? text.size() : stop;
    if (name.size() > 1 && name[0] == '@') {
        type.chain.push_back(VT_USERDEFINED);
        return Utf8ToOle(name.substr(1), type.referenceName);
    }
    for (const BaseTypeName& base : baseTypes) {
        if (name == base.name) {
            type.chain.push_back(base.vt);
            return true;
        }
    }
    return false;
}

bool ReadTypeSpec(const std::string& text, size_t& at, int depth, TypeSpec& type) {
    if (depth > deepestType) {
        return false;
    }
    size_t before = type.chain.size();
    if (!ReadPrimaryType(text, at, depth, type)) {
        return false;
    }
    size_t pointers = 0;
    while (at < text.size() && text[at] == '*' && pointers < static_cast<size_t>(deepestType)) {
        ++pointers;
        ++at;
    }
    type.chain.insert(type.chain.begin() + static_cast<std::ptrdiff_t>(before), pointers, VT_PTR);
    return true;
}

bool ReadTypeField(const Field& field, TypeSpec& type) {
    size_t at = 0;
    return !field.quoted && ReadTypeSpec(field.text, at, 0, type) && at == field.text.size();
}

bool IsRecord(const Fields& fields, const char* kind, size_t count) {
    return fields.size() == count && !fields[0].quoted && fields[0].text == kind;
}

class LibraryReader {
public:
    LibraryReader(RecordReader& records, LibraryData& library)
        : records(records), library(library) {}

    bool Read() {
        uint64_t count = 0;
        if (!ReadLibrary() || !records.Next(fields) || !IsRecord(fields, "types", 2) ||
            !ReadUnsigned(fields[1], largestCount, count)) {
            return false;
        }
        for (uint64_t i = 0; i < count; ++i) {
            if (!ReadType()) {
                return false;
            }
        }
        return records.Next(fields) && IsRecord(fields, "end", 1) && records.OnlyCommentsLeft();
    }

private:
    bool ReadLibrary() {
        uint64_t lcid = 0;
        if (!records.Next(fields) || !IsRecord(fields, "library", 7) ||
            !ReadName(fields[1], library.name) || !ReadGuid(fields[2], library.guid) ||
            !ReadVersion(fields[3], library.majorVersion, library.minorVersion) ||
            !ReadUnsigned(fields[4], 0xFFFFFFFF, lcid) || !ReadText(fields[6], library.doc)) {
            return false;
        }
        library.lcid = static_cast<LCID>(lcid);
        if (fields[5].text == "win32" && !fields[5].quoted) {
            library.syskind = SYS_WIN32;
        } else if (fields[5].text == "win64" && !fields[5].quoted) {
            library.syskind = SYS_WIN64;
        } else {
            return false;
        }
        return true;
    }

    bool ReadType() {
        if (!records.Next(fields)) {
            return false;
        }
        library.types.emplace_back();
        TypeData& type = library.types.back();
        if (IsRecord(fields, "interface", 8)) {
            return ReadInterface(type);
        }
        if (IsRecord(fields, "coclass", 7)) {
            return ReadCoclass(type);
        }
        if (IsRecord(fields, "struct", 7)) {
            return ReadStructure(type);
        }
        return false;
    }

    bool ReadStructure(TypeData& type) {
        uint64_t size = 0;
        uint64_t alignment = 0;
        type.kind = TKIND_RECORD;
        if (!ReadTypeHeader(type) || !ReadUnsigned(fields[4], 0x7FFFFFFF, size) ||
            !ReadUnsigned(fields[5], 16, alignment) || alignment == 0 ||
            (alignment & (alignment - 1)) != 0) {
            return false;
        }
        type.instanceSize = static_cast<ULONG>(size);
        type.alignment = static_cast<WORD>(alignment);
        return true;
    }

    bool ReadTypeHeader(TypeData& type) {
        return ReadName(fields[1], type.name) && ReadGuid(fields[2], type.guid) &&
               ReadVersion(fields[3], type.majorVersion, type.minorVersion) &&
               ReadText(fields.back(), type.doc);
    }

    bool ReadInterface(TypeData& type) {
        uint64_t count = 0;
        type.kind = TKIND_INTERFACE;
        if (!ReadTypeHeader(type) || !ReadFlags(fields[4], interfaceFlags, type.flags) ||
            !ReadUnsigned(fields[6], largestCount, count)) {
            return false;
        }
        if (fields[5].text != "-" && !ReadName(fields[5], type.baseName)) {
            return false;
        }
        for (uint64_t i = 0; i < count; ++i) {
            type.functions.emplace_back();
            if (!ReadFunction(type.functions.back())) {
                return false;
            }
        }
        return true;
    }

    bool ReadFunction(FuncData& function) {
        WORD invoke = 0;
        uint64_t count = 0;
        if (!records.Next(fields) || !IsRecord(fields, "function", 8) ||
            !ReadName(fields[1], function.name) || !ReadMemberId(fields[2], function.memid) ||
            !ReadFlags(fields[3], invokeKinds, invoke) || invoke == 0 ||
            (invoke & (invoke - 1)) != 0 || !ReadFlags(fields[4], functionFlags, function.flags) ||
            !ReadTypeField(fields[5], function.result) ||
            !ReadUnsigned(fields[6], largestParamCount, count) ||
            !ReadText(fields[7], function.doc)) {
            return false;
        }
        function.invoke = static_cast<INVOKEKIND>(invoke);
        for (uint64_t i = 0; i < count; ++i) {
            function.params.emplace_back();
            ParamData& param = function.params.back();
            if (!records.Next(fields) || !IsRecord(fields, "param", 4) ||
                !ReadName(fields[1], param.name) ||
                !ReadFlags(fields[2], paramFlags, param.flags) ||
                !ReadTypeField(fields[3], param.type)) {
                return false;
            }
        }
        return true;
    }

    bool ReadCoclass(TypeData& type) {
        uint64_t count = 0;
        type.kind = TKIND_COCLASS;
        if (!ReadTypeHeader(type) || !ReadFlags(fields[4], coclassFlags, type.flags) ||
            !ReadUnsigned(fields[5], largestCount, count)) {
            return false;
        }
        for (uint64_t i = 0; i < count; ++i) {
            type.impls.emplace_back();
            ImplData& impl = type.impls.back();
            WORD flags = 0;
            if (!records.Next(fields) || !IsRecord(fields, "implements", 3) ||
                !ReadName(fields[1], impl.name) || !ReadFlags(fields[2], implFlags, flags)) {
                return false;
            }
            impl.flags = flags;
        }
        return true;
    }

    RecordReader& records;
    LibraryData& library;
    Fields fields;
};

} // namespace

HRESULT ReadTypeLibText(const std::string& text, LibraryData& library) {
    RecordReader records(text);
    Fields fields;
    if (!records.First(fields) || fields.size() != 2 || fields[0].text != magic ||
        fields[1].text != formatVersion || fields[0].quoted || fields[1].quoted) {
        return TYPE_E_UNSUPFORMAT;
    }
    library = LibraryData();
    return LibraryReader(records, library).Read() ? S_OK : TYPE_E_INVDATAREAD;
}

} // namespace Ostrel
