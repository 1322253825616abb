#include "platform/dispatch.h"
#include "platform/typelibobjects.h"

#include <new>

namespace Ostrel {

namespace {

// The dispatch half of a dual interface reports the table of IDispatch itself.
constexpr WORD dispatchVtableSize = 7 * sizeof(void*);

} // namespace

const IID IID_PlatformTypeInfo = {
    0x3F0C5E21, 0x7A94, 0x4B6D, {0x9C, 0x13, 0x58, 0xE2, 0x0A, 0x7D, 0xB4, 0x96}};

TypeInfo::TypeInfo(TypeLib& library, UINT index, const TypeData& data, TYPEKIND kind)
    : library(library), index(index), data(data), kind(kind) {}

TypeInfo::~TypeInfo() {
    for (size_t i = 0; memberCalls && i < members.size(); ++i) {
        delete memberCalls[i].prepared.load(std::memory_order_acquire);
    }
}

void TypeInfo::SetBase(TypeInfo* baseInfo, HREFTYPE reference) {
    base = baseInfo;
    baseReference = reference;
}

void TypeInfo::SetInterfaceHalf(TypeInfo* half, HREFTYPE reference) {
    interfaceHalf = half;
    interfaceHalfReference = reference;
}

void TypeInfo::SetMembers(std::vector<MemberView> views, int slots) {
    members = std::move(views);
    memberCalls.reset(new MemberCall[members.size()]);
    for (size_t i = 0; i < members.size(); ++i) {
        memberCalls[i].memid = members[i].function->memid;
        memberCalls[i].invoke = members[i].function->invoke;
    }
    vtableSlots = slots;
}

HRESULT TypeInfo::QueryInterface(REFIID riid, void** object) {
    if (object == nullptr) {
        return E_POINTER;
    }
    if (riid == IID_PlatformTypeInfo) {
        *object = this;
        return S_OK;
    }
    if (riid == IID_IUnknown || riid == IID_ITypeInfo) {
        *object = static_cast<ITypeInfo*>(this);
        AddRef();
        return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
}

// A description with references holds one reference on its library, which owns it.
ULONG TypeInfo::AddRef() {
    ULONG count = ++references;
    if (count == 1) {
        library.AddRef();
    }
    return count;
}

ULONG TypeInfo::Release() {
    ULONG left = --references;
    if (left == 0) {
        library.Release();
    }
    return left;
}

WORD TypeInfo::ImplTypeCount() const {
    if (kind == TKIND_COCLASS) {
        return static_cast<WORD>(data.impls.size());
    }
    return base != nullptr ? 1 : 0;
}

WORD TypeInfo::TypeFlags() const {
    // As on Windows, only the interface half of a dual interface is marked for automation.
    return kind == TKIND_DISPATCH ? static_cast<WORD>(data.flags & ~TYPEFLAG_FOLEAUTOMATION)
                                  : data.flags;
}

HRESULT TypeInfo::GetTypeAttr(TYPEATTR** attributes) {
    if (attributes == nullptr) {
        return E_INVALIDARG;
    }
    auto* attr = new (std::nothrow) TYPEATTR();
    *attributes = attr;
    if (attr == nullptr) {
        return E_OUTOFMEMORY;
    }
    attr->guid = data.guid;
    attr->lcid = library.Data().lcid;
    attr->memidConstructor = MEMBERID_NIL;
    attr->memidDestructor = MEMBERID_NIL;
    const bool record = kind == TKIND_RECORD;
    attr->cbSizeInstance = record ? data.instanceSize : sizeof(void*);
    attr->typekind = kind;
    attr->cFuncs = static_cast<WORD>(members.size());
    attr->cImplTypes = ImplTypeCount();
    attr->cbSizeVft = kind == TKIND_DISPATCH    ? dispatchVtableSize
                      : kind == TKIND_INTERFACE ? static_cast<WORD>(vtableSlots * sizeof(void*))
                                                : 0;
    attr->cbAlignment = record ? data.alignment : alignof(void*);
    attr->wTypeFlags = TypeFlags();
    attr->wMajorVerNum = data.majorVersion;
    attr->wMinorVerNum = data.minorVersion;
    attr->tdescAlias.vt = VT_EMPTY;
    return S_OK;
}

void TypeInfo::ReleaseTypeAttr(TYPEATTR* attributes) {
    delete attributes;
}

HRESULT TypeInfo::GetFuncDesc(UINT at, FUNCDESC** function) {
    if (function == nullptr) {
        return E_INVALIDARG;
    }
    *function = nullptr;
    if (at >= members.size()) {
        return TYPE_E_ELEMENTNOTFOUND;
    }
    const MemberView& member = members[at];
    *function = NewFuncDesc(member, kind == TKIND_DISPATCH);
    return *function != nullptr ? S_OK : E_OUTOFMEMORY;
}

void TypeInfo::ReleaseFuncDesc(FUNCDESC* function) {
    DeleteFuncDesc(function);
}

const MemberView* TypeInfo::FindMember(MEMBERID id) const {
    for (const MemberView& member : members) {
        if (member.function->memid == id) {
            return &member;
        }
    }
    return nullptr;
}

const MemberView* TypeInfo::FindMember(const OLECHAR* name) const {
    for (const MemberView& member : members) {
        if (SameNameIgnoringCase(name, member.function->name)) {
            return &member;
        }
    }
    return nullptr;
}

HRESULT TypeInfo::GetNames(MEMBERID id, BSTR* names, UINT capacity, UINT* count) {
    if (names == nullptr || count == nullptr) {
        return E_INVALIDARG;
    }
    *count = 0;
    const MemberView* member = FindMember(id);
    if (member == nullptr) {
        return base != nullptr ? base->GetNames(id, names, capacity, count)
                               : TYPE_E_ELEMENTNOTFOUND;
    }
    const FuncData& function = *member->function;
    if (capacity > 0) {
        names[(*count)++] = AllocTextOrNull(function.name);
    }
    for (size_t i = 0; i < function.params.size() && *count < capacity; ++i) {
        names[(*count)++] = AllocTextOrNull(function.params[i].name);
    }
    return S_OK;
}

HRESULT TypeInfo::GetIDsOfNames(LPOLESTR* names, UINT count, MEMBERID* ids) {
    if (names == nullptr || ids == nullptr || count == 0 || names[0] == nullptr) {
        return E_INVALIDARG;
    }
    const MemberView* member = FindMember(names[0]);
    if (member == nullptr) {
        if (base != nullptr) {
            return base->GetIDsOfNames(names, count, ids);
        }
        for (UINT i = 0; i < count; ++i) {
            ids[i] = DISPID_UNKNOWN;
        }
        return DISP_E_UNKNOWNNAME;
    }
    HRESULT result = S_OK;
    ids[0] = member->function->memid;
    const std::vector<ParamData>& params = member->function->params;
    for (UINT i = 1; i < count; ++i) {
        ids[i] = DISPID_UNKNOWN;
        for (size_t p = 0; names[i] != nullptr && p < params.size(); ++p) {
            if (SameNameIgnoringCase(names[i], params[p].name)) {
                ids[i] = static_cast<MEMBERID>(p);
                break;
            }
        }
        if (ids[i] == DISPID_UNKNOWN) {
            result = DISP_E_UNKNOWNNAME;
        }
    }
    return result;
}

HRESULT TypeInfo::Invoke(PVOID instance, MEMBERID id, WORD flags, DISPPARAMS* params,
                         VARIANT* result, EXCEPINFO* exception, UINT* argumentError) {
    return DispInvoke(instance, this, id, flags, params, result, exception, argumentError);
}

const PreparedCall* TypeInfo::CallFor(MEMBERID id, WORD flags) {
    if (kind != TKIND_DISPATCH) {
        return OwnCallFor(id, flags);
    }
    return interfaceHalf != nullptr ? interfaceHalf->OwnCallFor(id, flags) : nullptr;
}

const PreparedCall* TypeInfo::OwnCallFor(MEMBERID id, WORD flags) {
    UINT at = 0;
    const HRESULT found = FindFunctionIndex(id, &at, [&](UINT candidate) -> HRESULT {
        if (candidate >= members.size()) {
            return TYPE_E_ELEMENTNOTFOUND;
        }
        const MemberCall& member = memberCalls[candidate];
        return member.memid == id && AcceptsFlags(member.invoke, flags) ? S_OK : S_FALSE;
    });
    if (found != S_OK) {
        return nullptr;
    }
    std::atomic<PreparedCall*>& slot = memberCalls[at].prepared;
    PreparedCall* kept = slot.load(std::memory_order_acquire);
    if (kept != nullptr) {
        return kept;
    }
    FUNCDESC* description = nullptr;
    if (FAILED(GetFuncDesc(at, &description))) {
        return nullptr;
    }
    auto prepared = std::make_unique<PreparedCall>();
    const HRESULT ready = prepared->Prepare(*description, this);
    ReleaseFuncDesc(description);
    if (FAILED(ready)) {
        return nullptr;
    }
    // Two threads may prepare the same call at once: the first one kept is everyone's.
    if (slot.compare_exchange_strong(kept, prepared.get(), std::memory_order_acq_rel,
                                     std::memory_order_acquire)) {
        return prepared.release();
    }
    return kept;
}

HRESULT TypeInfo::GetDocumentation(MEMBERID id, BSTR* name, BSTR* documentation, DWORD* helpContext,
                                   BSTR* helpFile) {
    const OleString* memberName = &data.name;
    const OleString* doc = &data.doc;
    if (id != MEMBERID_NIL) {
        const MemberView* member = FindMember(id);
        if (member == nullptr) {
            return base != nullptr
                       ? base->GetDocumentation(id, name, documentation, helpContext, helpFile)
                       : TYPE_E_ELEMENTNOTFOUND;
        }
        memberName = &member->function->name;
        doc = &member->function->doc;
    }
    return AnswerDocumentation(*memberName, *doc, name, documentation, helpContext, helpFile);
}

HRESULT AnswerDocumentation(const OleString& name, const OleString& doc, BSTR* nameOut,
                            BSTR* docOut, DWORD* helpContext, BSTR* helpFile) {
    if (nameOut != nullptr) {
        *nameOut = AllocTextOrNull(name);
    }
    if (docOut != nullptr) {
        *docOut = AllocTextOrNull(doc);
    }
    if (helpContext != nullptr) {
        *helpContext = 0;
    }
    if (helpFile != nullptr) {
        *helpFile = nullptr;
    }
    return S_OK;
}

HRESULT TypeInfo::GetRefTypeOfImplType(UINT at, HREFTYPE* reference) {
    if (reference == nullptr) {
        return E_INVALIDARG;
    }
    if (at == static_cast<UINT>(-1) && interfaceHalf != nullptr) {
        *reference = interfaceHalfReference;
        return S_OK;
    }
    if (at >= ImplTypeCount()) {
        return TYPE_E_ELEMENTNOTFOUND;
    }
    *reference = kind == TKIND_COCLASS ? data.impls[at].reference : baseReference;
    return S_OK;
}

HRESULT TypeInfo::GetImplTypeFlags(UINT at, INT* flags) {
    if (flags == nullptr) {
        return E_INVALIDARG;
    }
    if (at >= ImplTypeCount()) {
        return TYPE_E_ELEMENTNOTFOUND;
    }
    *flags = kind == TKIND_COCLASS ? data.impls[at].flags : 0;
    return S_OK;
}

HRESULT TypeInfo::GetRefTypeInfo(HREFTYPE reference, ITypeInfo** info) {
    if (info == nullptr) {
        return E_INVALIDARG;
    }
    *info = library.Resolve(reference);
    if (*info == nullptr) {
        return TYPE_E_ELEMENTNOTFOUND;
    }
    (*info)->AddRef();
    return S_OK;
}

HRESULT TypeInfo::GetContainingTypeLib(ITypeLib** containing, UINT* position) {
    if (containing == nullptr) {
        return E_INVALIDARG;
    }
    *containing = &library;
    library.AddRef();
    if (position != nullptr) {
        *position = index;
    }
    return S_OK;
}

HRESULT TypeInfo::GetTypeComp(ITypeComp** comp) {
    if (comp != nullptr) {
        *comp = nullptr;
    }
    return E_NOTIMPL;
}

HRESULT TypeInfo::GetVarDesc(UINT, VARDESC** variable) {
    if (variable != nullptr) {
        *variable = nullptr;
    }
    return TYPE_E_ELEMENTNOTFOUND;
}

void TypeInfo::ReleaseVarDesc(VARDESC*) {}

HRESULT TypeInfo::GetDllEntry(MEMBERID, INVOKEKIND, BSTR*, BSTR*, WORD*) {
    return TYPE_E_BADMODULEKIND;
}

HRESULT TypeInfo::AddressOfMember(MEMBERID, INVOKEKIND, PVOID* address) {
    if (address != nullptr) {
        *address = nullptr;
    }
    return TYPE_E_BADMODULEKIND;
}

// Objects are created through CoCreateInstance.
HRESULT TypeInfo::CreateInstance(IUnknown*, REFIID, PVOID* object) {
    if (object != nullptr) {
        *object = nullptr;
    }
    return E_NOTIMPL;
}

HRESULT TypeInfo::GetMops(MEMBERID, BSTR* mops) {
    if (mops == nullptr) {
        return E_INVALIDARG;
    }
    *mops = nullptr;
    return S_OK;
}

} // namespace Ostrel
