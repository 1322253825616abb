// The component interfaces that the system implements and calls, with the Windows method order.
#pragma once

#include "platform/variant.h"

struct ITypeInfo;
struct ITypeLib;

extern "C" const IID IID_IUnknown;
extern "C" const IID IID_IDispatch;
extern "C" const IID IID_IClassFactory;
extern "C" const IID IID_ISupportErrorInfo;
extern "C" const IID IID_IErrorInfo;
extern "C" const IID IID_ICreateErrorInfo;
extern "C" const IID IID_ITypeInfo;
extern "C" const IID IID_ITypeLib;

struct IUnknown {
    virtual HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) = 0;
    virtual ULONG STDMETHODCALLTYPE AddRef() = 0;
    virtual ULONG STDMETHODCALLTYPE Release() = 0;
};
typedef IUnknown* LPUNKNOWN;

// Flags of IDispatch::Invoke.
constexpr WORD DISPATCH_METHOD = 0x1;
constexpr WORD DISPATCH_PROPERTYGET = 0x2;
constexpr WORD DISPATCH_PROPERTYPUT = 0x4;
constexpr WORD DISPATCH_PROPERTYPUTREF = 0x8;

constexpr DISPID DISPID_UNKNOWN = -1;
constexpr DISPID DISPID_VALUE = 0;
constexpr DISPID DISPID_PROPERTYPUT = -3;

constexpr HRESULT DISP_E_UNKNOWNINTERFACE = (HRESULT)0x80020001;
constexpr HRESULT DISP_E_MEMBERNOTFOUND = (HRESULT)0x80020003;
constexpr HRESULT DISP_E_PARAMNOTFOUND = (HRESULT)0x80020004;
constexpr HRESULT DISP_E_TYPEMISMATCH = (HRESULT)0x80020005;
constexpr HRESULT DISP_E_UNKNOWNNAME = (HRESULT)0x80020006;
constexpr HRESULT DISP_E_NONAMEDARGS = (HRESULT)0x80020007;
constexpr HRESULT DISP_E_BADVARTYPE = (HRESULT)0x80020008;
constexpr HRESULT DISP_E_EXCEPTION = (HRESULT)0x80020009;
constexpr HRESULT DISP_E_OVERFLOW = (HRESULT)0x8002000A;
constexpr HRESULT DISP_E_BADINDEX = (HRESULT)0x8002000B;
constexpr HRESULT DISP_E_ARRAYISLOCKED = (HRESULT)0x8002000D;
constexpr HRESULT DISP_E_BADPARAMCOUNT = (HRESULT)0x8002000E;
constexpr HRESULT DISP_E_PARAMNOTOPTIONAL = (HRESULT)0x8002000F;
constexpr HRESULT TYPE_E_ELEMENTNOTFOUND = (HRESULT)0x8002802B;
constexpr HRESULT TYPE_E_LIBNOTREGISTERED = (HRESULT)0x8002801D;
constexpr HRESULT TYPE_E_CANTLOADLIBRARY = (HRESULT)0x80029C4A;
constexpr HRESULT TYPE_E_REGISTRYACCESS = (HRESULT)0x8002801C;
constexpr HRESULT TYPE_E_INVALIDSTATE = (HRESULT)0x80028029;
constexpr HRESULT TYPE_E_INVDATAREAD = (HRESULT)0x80028018;
constexpr HRESULT TYPE_E_UNSUPFORMAT = (HRESULT)0x80028019;

struct IDispatch : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID locale, ITypeInfo** info) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count,
                                                    LCID locale, DISPID* ids) = 0;
    virtual HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID riid, LCID locale, WORD flags,
                                             DISPPARAMS* params, VARIANT* result,
                                             EXCEPINFO* exception, UINT* argumentError) = 0;
};

struct IClassFactory : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID riid,
                                                     void** object) = 0;
    virtual HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) = 0;
};

struct ISupportErrorInfo : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE InterfaceSupportsErrorInfo(REFIID riid) = 0;
};

struct IErrorInfo : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE GetGUID(GUID* guid) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetSource(BSTR* source) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetDescription(BSTR* description) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetHelpFile(BSTR* helpFile) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetHelpContext(DWORD* helpContext) = 0;
};

struct ICreateErrorInfo : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE SetGUID(REFGUID guid) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetSource(LPOLESTR source) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetDescription(LPOLESTR description) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetHelpFile(LPOLESTR helpFile) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetHelpContext(DWORD helpContext) = 0;
};
