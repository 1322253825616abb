// The layer's type library file, and what reading one gives.
//
// The file is UTF-8 text, one record per line, every line ending in a line feed. Fields are
// separated by blanks; a quoted field ("...", with \" \\ \n escapes) is always the last of its
// line. Blank lines and lines starting with # are ignored after the first line.
//
//   pravell-typelib 1                                  first line: format and its version
//   library NAME GUID VERSION LCID SYSKIND "DOC"       SYSKIND: win32 or win64
//   types COUNT                                        then COUNT interface or coclass records
//   interface NAME GUID VERSION FLAGS BASE COUNT "DOC" then COUNT function records
//   function NAME MEMID INVOKE FLAGS TYPE COUNT "DOC"  TYPE: the result; then COUNT params
//   param NAME FLAGS TYPE
//   coclass NAME GUID VERSION FLAGS COUNT "DOC"        then COUNT implements records
//   implements NAME FLAGS
//   struct NAME GUID VERSION SIZE ALIGNMENT "DOC"      a record (TKIND_RECORD): size, alignment
//   end                                                nothing but comments may follow
//
// GUID is the registry form {8-4-4-4-12}; VERSION is MAJOR.MINOR; numbers are decimal or 0x
// hexadecimal, MEMID may be negative. FLAGS is `-` or a comma-separated list: for interfaces
// dual, oleautomation, dispatchable, nonextensible, hidden; for functions restricted, hidden;
// for params in, out, retval, lcid, opt; for coclasses cancreate, hidden; for implements
// default, source. INVOKE is func, propget, propput or propputref. BASE names the base
// interface (`-` for none). Names that the library does not define are looked up in the
// standard OLE library (IUnknown, IDispatch and the structures their functions take). A struct
// may be pointed at by a parameter; nothing derives from it or implements it, and its fields are
// not described.
//
// TYPE is a base with one `*` per VT_PTR: void, hresult, bstr, i1, i2, i4, int, ui1, ui2,
// ui4, uint, r4, r8, bool, variant, dispatch, unknown, `@NAME` (VT_USERDEFINED naming an
// interface) or `safearray(TYPE)`. So `@IDispatchXMLModelNode**` is VT_PTR -> VT_PTR ->
// VT_USERDEFINED, and `dispatch` is VT_DISPATCH, an IDispatch pointer.
//
// Reading checks everything and allocates nothing from a count: a wrong first line answers
// TYPE_E_UNSUPFORMAT, any other fault TYPE_E_INVDATAREAD.
#pragma once

#include "platform/typeinfo.h"
#include "platform/typelibstrings.h"

#include <string>
#include <vector>

namespace Ostrel {

struct TypeSpec {
    // Outermost first: {VT_PTR, VT_PTR, VT_USERDEFINED} for `@Node**`.
    std::vector<VARTYPE> chain;
    OleString referenceName;
    HREFTYPE reference = 0;
};

struct ParamData {
    OleString name;
    USHORT flags = 0;
    TypeSpec type;
};

struct FuncData {
    OleString name;
    MEMBERID memid = 0;
    INVOKEKIND invoke = INVOKE_FUNC;
    WORD flags = 0;
    TypeSpec result;
    std::vector<ParamData> params;
    OleString doc;
};

struct ImplData {
    OleString name;
    INT flags = 0;
    HREFTYPE reference = 0;
};

struct TypeData {
    TYPEKIND kind = TKIND_INTERFACE;
    OleString name;
    GUID guid{};
    WORD majorVersion = 0;
    WORD minorVersion = 0;
    WORD flags = 0;
    OleString doc;
    OleString baseName;
    // Of a struct: its size and alignment in bytes.
    ULONG instanceSize = 0;
    WORD alignment = 0;
    std::vector<FuncData> functions;
    std::vector<ImplData> impls;
};

struct LibraryData {
    OleString name;
    GUID guid{};
    WORD majorVersion = 0;
    WORD minorVersion = 0;
    LCID lcid = 0;
    SYSKIND syskind = SYS_WIN32;
    OleString doc;
    std::vector<TypeData> types;
};

// The largest file the reader accepts; type libraries of this layer are a few kilobytes.
constexpr size_t largestTypeLibFile = 4u << 20;

HRESULT ReadTypeLibText(const std::string& text, LibraryData& library);

} // namespace Ostrel
