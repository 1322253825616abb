// Calls a host object's members by name, for objects that lack the system's own interface
// (script objects, which only answer IDispatch or IDispatchEx): the streaming parser delivers
// its events to such clients this way, and the host transfer proxy reads and writes through it.
//
// The names are looked up once, at construction, one GetIDsOfNames call per name (IID_NULL,
// locale 0), so a name the object does not know leaves the others usable; it is remembered as
// absent. Where GetIDsOfNames fails, the name is asked of IDispatchEx::GetDispID without regard
// to case: script class objects answer only that. Members are then called by their position in
// the name list, through IDispatch::Invoke either way.
//
// Hosts call by name through the host library's LateBound, which the component never links;
// this is the component's own, resolving every name once per parse and never throwing.
//
//     static const OLECHAR* const names[] = {OLESTR("StartElement"), OLESTR("EndElement")};
//     NamedDispatch client(object, names, 2);
//     if (client.Has(0)) client.Call(0, arguments, 2);
#pragma once

#include "platform/com.h"
#include "text/GrowableArray.h"

namespace Ostrel {

class NamedDispatch {
public:
    // Holds a reference on `target` (which may be null: then every member is absent) until
    // destroyed. The names need to live only for the construction. Throws std::bad_alloc when
    // the list of identifiers, or a name for GetDispID, cannot be allocated.
    NamedDispatch(IDispatch* target, const OLECHAR* const* names, UINT count);
    NamedDispatch(const NamedDispatch&) = delete;
    NamedDispatch& operator=(const NamedDispatch&) = delete;
    ~NamedDispatch();

    // False for a member the object does not answer and for a position outside the list.
    bool Has(UINT member) const;
    // Whether the object answers any of the names.
    bool HasAny() const;
    // The member's dispatch identifier; DISPID_UNKNOWN when absent.
    DISPID IdOf(UINT member) const;

    // Calls the member as a method with `count` arguments in their natural order (the first is
    // the method's first parameter). `result`, when given, receives the call's value; it should
    // be empty, and the caller clears it. A member that is absent answers DISP_E_MEMBERNOTFOUND
    // without a call; otherwise the object's answer. Exception details the object fills in are
    // freed. Never throws.
    HRESULT Call(UINT member, const VARIANT* arguments, UINT count, VARIANT* result = nullptr);

private:
    HRESULT Invoke(DISPID id, VARIANT* reversed, UINT count, VARIANT* result);

    IDispatch* target;
    GrowableArray<DISPID> ids;
};

} // namespace Ostrel
