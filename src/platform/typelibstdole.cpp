#include "platform/typelibobjects.h"

namespace Ostrel {

namespace {

// IUnknown and IDispatch as the standard OLE library describes them, so that the base of every
// automation interface can be followed like any other type. The structures that the real
// library describes as records (GUID, DISPPARAMS, EXCEPINFO) appear as untyped pointers.
const char standardOleText[] = R"(pravell-typelib 1
library stdole {00020430-0000-0000-C000-000000000046} 2.0 0 win32 "OLE Automation"
types 2
interface IUnknown {00000000-0000-0000-C000-000000000046} 0.0 hidden - 3 ""
  function QueryInterface 0x60000000 func restricted hresult 2 ""
    param riid in void*
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
    param riid in void*
    param rgszNames in i1**
    param cNames in uint
    param lcid in ui4
    param rgdispid out i4*
  function Invoke 0x60010003 func restricted hresult 8 ""
    param dispidMember in i4
    param riid in void*
    param lcid in ui4
    param wFlags in ui2
    param pdispparams in void*
    param pvarResult out variant*
    param pexcepinfo out void*
    param puArgErr out uint*
end
)";

TypeLib* LoadStandardOleLibrary() {
    LibraryData data;
    TypeLib* library = nullptr;
    if (FAILED(ReadTypeLibText(standardOleText, data)) ||
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
