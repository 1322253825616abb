// Any bytes as the text of a type library file: the reader must refuse damage with one of its two
// answers, and a library it accepts must answer every question a host or the late binding asks
// of it, each reference resolving, under the sanitizers.
#include "FuzzSupport.h"
#include "platform/com.h"
#include "platform/typelibobjects.h"

using namespace Ostrel;
using namespace Ostrel::Fuzzing;

namespace {

void Expect(bool holds, const char* violation) {
    if (!holds) {
        Finding(violation);
    }
}

void FreeDocumentation(BSTR name, BSTR doc, BSTR helpFile) {
    SysFreeString(name);
    SysFreeString(doc);
    SysFreeString(helpFile);
}

// What a reference leads to must be a description itself.
void Resolve(ITypeInfo* info, HREFTYPE reference) {
    ITypeInfo* target = nullptr;
    if (info->GetRefTypeInfo(reference, &target) != S_OK) {
        return;
    }
    TYPEATTR* attributes = nullptr;
    Expect(target->GetTypeAttr(&attributes) == S_OK, "a referenced description has no attributes");
    target->ReleaseTypeAttr(attributes);
    target->Release();
}

void WalkType(const TYPEDESC& type, ITypeInfo* info) {
    const TYPEDESC* at = &type;
    for (int depth = 0; at->vt == VT_PTR || at->vt == VT_SAFEARRAY; ++depth) {
        Expect(depth < 64 && at->lptdesc != nullptr, "a type chain without an end");
        at = at->lptdesc;
    }
    if (at->vt == VT_USERDEFINED) {
        Resolve(info, at->hreftype);
    }
}

void WalkFunction(ITypeInfo* info, const FUNCDESC& function) {
    BSTR names[8] = {};
    UINT count = 0;
    if (info->GetNames(function.memid, names, 8, &count) == S_OK) {
        Expect(count <= 8, "more names than asked for");
        MEMBERID found = 0;
        Expect(count == 0 || info->GetIDsOfNames(names, 1, &found) == S_OK,
               "a member's own name is not found");
        for (UINT i = 0; i < count; ++i) {
            SysFreeString(names[i]);
        }
    }
    BSTR name = nullptr;
    BSTR doc = nullptr;
    BSTR helpFile = nullptr;
    DWORD context = 0;
    info->GetDocumentation(function.memid, &name, &doc, &context, &helpFile);
    FreeDocumentation(name, doc, helpFile);
    WalkType(function.elemdescFunc.tdesc, info);
    for (SHORT p = 0; p < function.cParams; ++p) {
        WalkType(function.lprgelemdescParam[p].tdesc, info);
    }
}

void WalkInfo(ITypeLib* library, ITypeInfo* info, int depth) {
    TYPEATTR* attributes = nullptr;
    Expect(info->GetTypeAttr(&attributes) == S_OK, "a description has no attributes");
    ITypeInfo* same = nullptr;
    if (library->GetTypeInfoOfGuid(attributes->guid, &same) == S_OK) {
        same->Release();
    }
    for (UINT f = 0; f < attributes->cFuncs; ++f) {
        FUNCDESC* function = nullptr;
        Expect(info->GetFuncDesc(f, &function) == S_OK, "a counted function is missing");
        WalkFunction(info, *function);
        info->ReleaseFuncDesc(function);
    }
    for (UINT i = 0; i < attributes->cImplTypes; ++i) {
        HREFTYPE reference = 0;
        INT flags = 0;
        Expect(info->GetRefTypeOfImplType(i, &reference) == S_OK &&
                   info->GetImplTypeFlags(i, &flags) == S_OK,
               "a counted base or implemented interface is missing");
        Resolve(info, reference);
    }
    HREFTYPE half = 0;
    ITypeInfo* other = nullptr;
    if (depth == 0 && info->GetRefTypeOfImplType(static_cast<UINT>(-1), &half) == S_OK &&
        info->GetRefTypeInfo(half, &other) == S_OK) {
        WalkInfo(library, other, depth + 1);
        other->Release();
    }
    ITypeLib* container = nullptr;
    UINT index = 0;
    Expect(info->GetContainingTypeLib(&container, &index) == S_OK,
           "a description without a library");
    container->Release();
    info->ReleaseTypeAttr(attributes);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    ITypeLib* library = nullptr;
    const HRESULT result = LoadTypeLibText(Bytes(data, size), &library);
    if (FAILED(result)) {
        Expect(result == TYPE_E_INVDATAREAD || result == TYPE_E_UNSUPFORMAT,
               "damage answered otherwise than as damage");
        Expect(library == nullptr, "a failed load handed out a library");
        return 0;
    }
    TLIBATTR* attributes = nullptr;
    Expect(library->GetLibAttr(&attributes) == S_OK, "a library without attributes");
    library->ReleaseTLibAttr(attributes);
    const UINT count = library->GetTypeInfoCount();
    for (UINT i = 0; i < count; ++i) {
        ITypeInfo* info = nullptr;
        Expect(library->GetTypeInfo(i, &info) == S_OK, "a counted description is missing");
        BSTR name = nullptr;
        BSTR doc = nullptr;
        BSTR helpFile = nullptr;
        DWORD context = 0;
        library->GetDocumentation(static_cast<INT>(i), &name, &doc, &context, &helpFile);
        FreeDocumentation(name, doc, helpFile);
        WalkInfo(library, info, 0);
        info->Release();
    }
    Expect(library->Release() == 0, "the library outlives its last reference");
    return 0;
}
