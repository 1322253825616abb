#include "platform/typelibobjects.h"

#include <cstddef>
#include <cstring>
#include <new>

namespace Ostrel {

namespace {

constexpr size_t RoundUp(size_t size) {
    return (size + alignof(std::max_align_t) - 1) / alignof(std::max_align_t) *
           alignof(std::max_align_t);
}

// A TYPEDESC chain from position `from` of a type: the head is embedded in its ELEMDESC, every
// pointer or array level takes one more node.
struct ChainPart {
    const TypeSpec* type;
    size_t from;
    HREFTYPE importedBits;

    size_t ExtraNodes() const {
        size_t nodes = 0;
        for (size_t i = from; i < type->chain.size(); ++i) {
            nodes += type->chain[i] == VT_PTR || type->chain[i] == VT_SAFEARRAY ? 1 : 0;
        }
        return nodes;
    }

    void Fill(TYPEDESC& head, TYPEDESC*& spare) const {
        TYPEDESC* current = &head;
        for (size_t i = from; i < type->chain.size(); ++i) {
            VARTYPE vt = type->chain[i];
            current->vt = vt;
            if (vt == VT_PTR || vt == VT_SAFEARRAY) {
                current->lptdesc = spare++;
                current = current->lptdesc;
            } else if (vt == VT_USERDEFINED) {
                current->hreftype = type->reference | importedBits;
            }
        }
    }
};

bool IsRetval(const ParamData& param) {
    return (param.flags & PARAMFLAG_FRETVAL) != 0 && param.type.chain.size() > 1 &&
           param.type.chain[0] == VT_PTR;
}

const TypeSpec& VoidType() {
    static const TypeSpec type{{VT_VOID}, {}, 0};
    return type;
}

} // namespace

FUNCDESC* NewFuncDesc(const MemberView& member, bool dispatchForm) {
    const FuncData& function = *member.function;
    const HREFTYPE bits = member.importedBits;
    size_t params = function.params.size();
    ChainPart result{&function.result, 0, bits};
    // In its dispatch form an HRESULT function returns its [retval] parameter, or nothing.
    if (dispatchForm && function.result.chain.size() == 1 &&
        function.result.chain[0] == VT_HRESULT) {
        if (params > 0 && IsRetval(function.params.back())) {
            result = ChainPart{&function.params.back().type, 1, bits};
            --params;
        } else {
            result = ChainPart{&VoidType(), 0, bits};
        }
    }
    size_t nodes = result.ExtraNodes();
    for (size_t i = 0; i < params; ++i) {
        nodes += ChainPart{&function.params[i].type, 0, bits}.ExtraNodes();
    }
    size_t elementsAt = RoundUp(sizeof(FUNCDESC));
    size_t nodesAt = RoundUp(elementsAt + params * sizeof(ELEMDESC));
    size_t size = nodesAt + nodes * sizeof(TYPEDESC);
    auto* block = static_cast<unsigned char*>(::operator new(size, std::nothrow));
    if (block == nullptr) {
        return nullptr;
    }
    std::memset(block, 0, size);
    auto* desc = new (block) FUNCDESC();
    auto* elements = params > 0 ? reinterpret_cast<ELEMDESC*>(block + elementsAt) : nullptr;
    auto* spare = reinterpret_cast<TYPEDESC*>(block + nodesAt);
    desc->memid = function.memid;
    desc->lprgelemdescParam = elements;
    desc->funckind = dispatchForm ? FUNC_DISPATCH : FUNC_PUREVIRTUAL;
    desc->invkind = function.invoke;
    desc->callconv = CC_STDCALL;
    desc->cParams = static_cast<SHORT>(params);
    desc->oVft = member.vtableOffset;
    desc->wFuncFlags = function.flags;
    result.Fill(desc->elemdescFunc.tdesc, spare);
    for (size_t i = 0; i < params; ++i) {
        ChainPart{&function.params[i].type, 0, bits}.Fill(elements[i].tdesc, spare);
        elements[i].paramdesc.wParamFlags = function.params[i].flags;
    }
    return desc;
}

void DeleteFuncDesc(FUNCDESC* function) {
    ::operator delete(function);
}

} // namespace Ostrel
