// The dispatch interface of script engines' objects, IDispatchEx, with the Windows method order
// and flag values. Script class objects answer names only through GetDispID, so a caller that
// reaches such objects by name asks it where GetIDsOfNames fails.
#pragma once

#include "platform/interfaces.h"

// The caller's service provider in InvokeEx; nothing here offers or asks for services, so only
// its name is needed.
struct IServiceProvider;

extern "C" const IID IID_IDispatchEx;

// How GetDispID and DeleteMemberByName match a name, and whether GetDispID may add the member.
constexpr DWORD fdexNameCaseSensitive = 0x1;
constexpr DWORD fdexNameEnsure = 0x2;
constexpr DWORD fdexNameImplicit = 0x4;
constexpr DWORD fdexNameCaseInsensitive = 0x8;
constexpr DWORD fdexNameInternal = 0x10;
constexpr DWORD fdexNameNoDynamicProperties = 0x20;

// What GetMemberProperties reports of a member.
constexpr DWORD fdexPropCanGet = 0x1;
constexpr DWORD fdexPropCannotGet = 0x2;
constexpr DWORD fdexPropCanPut = 0x4;
constexpr DWORD fdexPropCannotPut = 0x8;
constexpr DWORD fdexPropCanPutRef = 0x10;
constexpr DWORD fdexPropCannotPutRef = 0x20;
constexpr DWORD fdexPropNoSideEffects = 0x40;
constexpr DWORD fdexPropDynamicType = 0x80;
constexpr DWORD fdexPropCanCall = 0x100;
constexpr DWORD fdexPropCannotCall = 0x200;
constexpr DWORD fdexPropCanConstruct = 0x400;
constexpr DWORD fdexPropCannotConstruct = 0x800;
constexpr DWORD fdexPropCanSourceEvents = 0x1000;
constexpr DWORD fdexPropCannotSourceEvents = 0x2000;
constexpr DWORD grfdexPropCanAll = fdexPropCanGet | fdexPropCanPut | fdexPropCanPutRef |
                                   fdexPropCanCall | fdexPropCanConstruct | fdexPropCanSourceEvents;
constexpr DWORD grfdexPropCannotAll = fdexPropCannotGet | fdexPropCannotPut | fdexPropCannotPutRef |
                                      fdexPropCannotCall | fdexPropCannotConstruct |
                                      fdexPropCannotSourceEvents;
constexpr DWORD grfdexPropExtraAll = fdexPropNoSideEffects | fdexPropDynamicType;
constexpr DWORD grfdexPropAll = grfdexPropCanAll | grfdexPropCannotAll | grfdexPropExtraAll;

// Which members GetNextDispID walks.
constexpr DWORD fdexEnumDefault = 0x1;
constexpr DWORD fdexEnumAll = 0x2;

// InvokeEx's flag for a call as a constructor, beside the flags of IDispatch::Invoke.
constexpr WORD DISPATCH_CONSTRUCT = 0x4000;
// The named argument that carries the object a member is called on.
constexpr DISPID DISPID_THIS = -613;
// Where GetNextDispID starts.
constexpr DISPID DISPID_STARTENUM = DISPID_UNKNOWN;

struct IDispatchEx : IDispatch {
    virtual HRESULT STDMETHODCALLTYPE GetDispID(BSTR name, DWORD flags, DISPID* id) = 0;
    virtual HRESULT STDMETHODCALLTYPE InvokeEx(DISPID id, LCID locale, WORD flags,
                                               DISPPARAMS* params, VARIANT* result,
                                               EXCEPINFO* exception, IServiceProvider* caller) = 0;
    virtual HRESULT STDMETHODCALLTYPE DeleteMemberByName(BSTR name, DWORD flags) = 0;
    virtual HRESULT STDMETHODCALLTYPE DeleteMemberByDispID(DISPID id) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetMemberProperties(DISPID id, DWORD fetch,
                                                          DWORD* properties) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetMemberName(DISPID id, BSTR* name) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetNextDispID(DWORD flags, DISPID id, DISPID* next) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetNameSpaceParent(IUnknown** parent) = 0;
};
