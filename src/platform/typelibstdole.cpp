#include "platform/typelibobjects.h"

#include <string>

namespace Ostrel {

namespace {

const char standardOleInterfaces[] =
    R"(interface IUnknown {00000000-0000-0000-C000-000000000046} 0.0 hidden - 3 ""
  function QueryInterface 0x60000000 func restricted hresult 2 ""
    param riid in @GUID*
    param ppvObj out void**
  function AddRef 0x60000001 func restricted ui4 0 ""
  function Release 0x60000002 func restricted ui4 0 ""
interface IDispatch {00020400-0000-0000-C000-000000000046} 0.0 - IUnknown 4 ""
  function GetTypeInfoCount 0x60010000 func restricted hresult 1 ""
    param pctinfo out uint*
  function GetTypeInfo 0x60010001 func restricted hresult 3 ""
    param itinfo in uint
    param lcid in ui4
    param pptinfo out void**
  function GetIDsOfNames 0x60010002 func restricted hresult 5 ""
    param riid in @GUID*
    param rgszNames in i1**
    param cNames in uint
    param lcid in ui4
    param rgdispid out i4*
  function Invoke 0x60010003 func restricted hresult 8 ""
    param dispidMember in i4
    param riid in @GUID*
    param lcid in ui4
    param wFlags in ui2
    param pdispparams in @DISPPARAMS*
    param pvarResult out variant*
    param pexcepinfo out @EXCEPINFO*
    param puArgErr out uint*
end
)";

template <typename T>
std::string StructRecord(const char* name) {
    return std::string("struct ") + name + " {00000000-0000-0000-0000-000000000000} 0.0 " +
           std::to_string(sizeof(T)) + " " + std::to_string(alignof(T)) + " \"\"\n";
}

// IUnknown and IDispatch as the standard OLE library describes them, so that the base of every
// automation interface can be followed like any other type, with the structures that their
// functions take (GUID, DISPPARAMS, EXCEPINFO) as records of this system's layout.
std::string StandardOleText() {
    return "pravell-typelib 1\n"
           "library stdole {00020430-0000-0000-C000-000000000046} 2.0 0 win32 \"OLE Automation\"\n"
           "types 5\n" +
           StructRecord<GUID>("GUID") + StructRecord<DISPPARAMS>("DISPPARAMS") +
           StructRecord<EXCEPINFO>("EXCEPINFO") + standardOleInterfaces;
}

TypeLib* LoadStandardOleLibrary() {
    LibraryData data;
    TypeLib* library = nullptr;
    if (FAILED(ReadTypeLibText(StandardOleText(), data)) ||
        FAILED(TypeLib::Create(std::move(data), nullptr, &library))) {
        return nullptr;
    }
    return library;
}

} // namespace

TypeLib* StandardOleLibrary() {
    // Built on first use and kept for the life of the process: every loaded library refers to it.
    static TypeLib* const library = LoadStandardOleLibrary();
    return library;
}

} // namespace Ostrel
