#include "platform/typelib.h"

#include "platform/typelibobjects.h"

#include <cstdio>
#include <filesystem>
#include <new>

namespace Ostrel {

namespace {

// References name a description of this library (index and half) or, with the high bit, one of
// the imported library.
constexpr HREFTYPE importedReference = 0x80000000u;
constexpr HREFTYPE interfaceHalfBit = 0x1u;
// Virtual table offsets are SHORTs: no interface may have more slots than this.
constexpr int mostVtableSlots = 0x7FFF / static_cast<int>(sizeof(void*));

// What an interface may derive from and a class may implement.
bool IsInterface(const TypeInfo* type) {
    return type->Kind() == TKIND_INTERFACE || type->Kind() == TKIND_DISPATCH;
}

HRESULT ReadWholeFile(const std::string& path, std::string& text) {
    FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) {
        return TYPE_E_CANTLOADLIBRARY;
    }
    char buffer[65536];
    size_t got = 0;
    while ((got = std::fread(buffer, 1, sizeof buffer, file)) > 0 &&
           text.size() <= largestTypeLibFile) {
        text.append(buffer, got);
    }
    bool failed = std::ferror(file) != 0;
    std::fclose(file); // NOLINT(cert-err33-c): read to the end already
    if (failed) {
        return TYPE_E_CANTLOADLIBRARY;
    }
    return text.size() > largestTypeLibFile ? TYPE_E_INVDATAREAD : S_OK;
}

} // namespace

TypeLib::TypeLib(LibraryData data, TypeLib* imports) : data(std::move(data)), imports(imports) {
    if (imports != nullptr) {
        imports->AddRef();
    }
}

TypeLib::~TypeLib() {
    if (imports != nullptr) {
        imports->Release();
    }
}

HRESULT TypeLib::Create(LibraryData data, TypeLib* imports, TypeLib** library) {
    *library = nullptr;
    auto* created = new TypeLib(std::move(data), imports);
    if (!created->Link()) {
        created->Release();
        return TYPE_E_INVDATAREAD;
    }
    *library = created;
    return S_OK;
}

HREFTYPE TypeLib::Reference(UINT index, bool interfaceHalf) {
    return index << 1 | (interfaceHalf ? interfaceHalfBit : 0);
}

bool TypeLib::Link() {
    if (!CreateDescriptions() || !ResolveReferences()) {
        return false;
    }
    for (UINT i = 0; i < listed.size(); ++i) {
        if (data.types[i].kind == TKIND_INTERFACE && !ResolveBase(i)) {
            return false;
        }
    }
    for (UINT i = 0; i < listed.size(); ++i) {
        if (data.types[i].kind == TKIND_INTERFACE && !BuildMembers(i)) {
            return false;
        }
    }
    return true;
}

bool TypeLib::CreateDescriptions() {
    for (UINT i = 0; i < data.types.size(); ++i) {
        const TypeData& type = data.types[i];
        if (!indexByName.emplace(FoldedName(type.name), i).second) {
            return false;
        }
        bool dual = type.kind == TKIND_INTERFACE && (type.flags & TYPEFLAG_FDUAL) != 0;
        listed.push_back(
            std::make_unique<TypeInfo>(*this, i, type, dual ? TKIND_DISPATCH : type.kind));
        interfaceHalves.push_back(dual ? std::make_unique<TypeInfo>(*this, i, type, TKIND_INTERFACE)
                                       : nullptr);
        if (dual) {
            listed.back()->SetInterfaceHalf(interfaceHalves.back().get(), Reference(i, true));
        }
    }
    return true;
}

bool TypeLib::FindType(const OleString& name, NamedType& found) const {
    auto local = indexByName.find(FoldedName(name));
    if (local != indexByName.end()) {
        found = NamedType{listed[local->second].get(), Reference(local->second, false)};
        return true;
    }
    if (imports != nullptr && imports->FindType(name, found)) {
        found.reference |= importedReference;
        return true;
    }
    return false;
}

bool TypeLib::ResolveType(TypeSpec& type) const {
    NamedType found{};
    if (type.chain.empty() || type.chain.back() != VT_USERDEFINED) {
        return true;
    }
    if (!FindType(type.referenceName, found) || found.listed->Kind() == TKIND_COCLASS) {
        return false;
    }
    type.reference = found.reference;
    return true;
}

bool TypeLib::ResolveReferences() {
    for (TypeData& type : data.types) {
        for (FuncData& function : type.functions) {
            if (!ResolveType(function.result)) {
                return false;
            }
            for (ParamData& param : function.params) {
                if (!ResolveType(param.type)) {
                    return false;
                }
            }
        }
        for (ImplData& impl : type.impls) {
            NamedType found{};
            if (!FindType(impl.name, found) || !IsInterface(found.listed)) {
                return false;
            }
            impl.reference = found.reference;
        }
    }
    return true;
}

bool TypeLib::ResolveBase(UINT index) {
    const TypeData& type = data.types[index];
    TypeInfo* own = interfaceHalves[index] ? interfaceHalves[index].get() : listed[index].get();
    if (!type.baseName.empty()) {
        NamedType found{};
        if (!FindType(type.baseName, found) || !IsInterface(found.listed)) {
            return false;
        }
        // An interface derives from the interface half of a dual base.
        HREFTYPE reference = found.reference;
        if (found.listed->Kind() == TKIND_DISPATCH) {
            reference |= interfaceHalfBit;
        }
        own->SetBase(Resolve(reference), reference);
    }
    if (own != listed[index].get()) {
        // The dispatch half of a dual interface always names IDispatch as what it implements.
        NamedType dispatch{};
        if (!FindType(u"IDispatch", dispatch)) {
            return false;
        }
        listed[index]->SetBase(dispatch.listed, dispatch.reference);
    }
    return true;
}

bool TypeLib::BuildMembers(UINT index) {
    TypeInfo* own = interfaceHalves[index] ? interfaceHalves[index].get() : listed[index].get();
    std::vector<const TypeInfo*> chain;
    size_t longestChain = data.types.size() + (imports ? imports->data.types.size() : 0);
    for (TypeInfo* at = own; at != nullptr; at = at->Base()) {
        if (chain.size() > longestChain) {
            return false;
        }
        chain.push_back(at);
    }
    size_t slots = 0;
    for (const TypeInfo* type : chain) {
        slots += type->Data().functions.size();
    }
    if (slots > static_cast<size_t>(mostVtableSlots)) {
        return false;
    }
    const auto pointerSize = static_cast<int>(sizeof(void*));
    const std::vector<FuncData>& functions = data.types[index].functions;
    int baseSlots = static_cast<int>(slots - functions.size());
    std::vector<MemberView> ownMembers;
    for (size_t i = 0; i < functions.size(); ++i) {
        ownMembers.push_back(
            MemberView{&functions[i], static_cast<SHORT>((baseSlots + i) * pointerSize), 0});
    }
    own->SetMembers(std::move(ownMembers), static_cast<int>(slots));
    if (own != listed[index].get()) {
        std::vector<MemberView> all;
        for (auto type = chain.rbegin(); type != chain.rend(); ++type) {
            HREFTYPE bits = (*type)->BelongsTo(*this) ? 0 : importedReference;
            for (const FuncData& function : (*type)->Data().functions) {
                SHORT offset = static_cast<SHORT>(all.size() * pointerSize);
                all.push_back(MemberView{&function, offset, bits});
            }
        }
        listed[index]->SetMembers(std::move(all), static_cast<int>(slots));
    }
    return true;
}

TypeInfo* TypeLib::Resolve(HREFTYPE reference) const {
    if ((reference & importedReference) != 0) {
        return imports != nullptr ? imports->Resolve(reference & ~importedReference) : nullptr;
    }
    UINT index = reference >> 1;
    if (index >= listed.size()) {
        return nullptr;
    }
    return (reference & interfaceHalfBit) != 0 ? interfaceHalves[index].get() : listed[index].get();
}

HRESULT TypeLib::QueryInterface(REFIID riid, void** object) {
    if (object == nullptr) {
        return E_POINTER;
    }
    if (riid == IID_IUnknown || riid == IID_ITypeLib) {
        *object = static_cast<ITypeLib*>(this);
        AddRef();
        return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
}

ULONG TypeLib::AddRef() {
    return ++references;
}

ULONG TypeLib::Release() {
    ULONG left = --references;
    if (left == 0) {
        delete this;
    }
    return left;
}

UINT TypeLib::GetTypeInfoCount() {
    return static_cast<UINT>(listed.size());
}

HRESULT TypeLib::GetTypeInfo(UINT index, ITypeInfo** info) {
    if (info == nullptr) {
        return E_INVALIDARG;
    }
    *info = nullptr;
    if (index >= listed.size()) {
        return TYPE_E_ELEMENTNOTFOUND;
    }
    *info = listed[index].get();
    (*info)->AddRef();
    return S_OK;
}

HRESULT TypeLib::GetTypeInfoType(UINT index, TYPEKIND* kind) {
    if (kind == nullptr) {
        return E_INVALIDARG;
    }
    if (index >= listed.size()) {
        return TYPE_E_ELEMENTNOTFOUND;
    }
    *kind = listed[index]->Kind();
    return S_OK;
}

HRESULT TypeLib::GetTypeInfoOfGuid(REFGUID guid, ITypeInfo** info) {
    if (info == nullptr) {
        return E_INVALIDARG;
    }
    *info = nullptr;
    for (const auto& type : listed) {
        if (type->Data().guid == guid) {
            *info = type.get();
            (*info)->AddRef();
            return S_OK;
        }
    }
    return TYPE_E_ELEMENTNOTFOUND;
}

HRESULT TypeLib::GetLibAttr(TLIBATTR** attributes) {
    if (attributes == nullptr) {
        return E_INVALIDARG;
    }
    // Every library here was read from a file.
    *attributes =
        new (std::nothrow) TLIBATTR{data.guid,         data.lcid,         data.syskind,
                                    data.majorVersion, data.minorVersion, LIBFLAG_FHASDISKIMAGE};
    return *attributes != nullptr ? S_OK : E_OUTOFMEMORY;
}

void TypeLib::ReleaseTLibAttr(TLIBATTR* attributes) {
    delete attributes;
}

HRESULT TypeLib::GetTypeComp(ITypeComp** comp) {
    if (comp != nullptr) {
        *comp = nullptr;
    }
    return E_NOTIMPL;
}

HRESULT TypeLib::GetDocumentation(INT index, BSTR* name, BSTR* documentation, DWORD* helpContext,
                                  BSTR* helpFile) {
    const OleString* typeName = &data.name;
    const OleString* doc = &data.doc;
    if (index != -1) {
        if (index < 0 || static_cast<size_t>(index) >= listed.size()) {
            return TYPE_E_ELEMENTNOTFOUND;
        }
        typeName = &data.types[static_cast<size_t>(index)].name;
        doc = &data.types[static_cast<size_t>(index)].doc;
    }
    return AnswerDocumentation(*typeName, *doc, name, documentation, helpContext, helpFile);
}

// Hosts find names by walking the descriptions; the lookups by name answer as GetTypeComp does.
HRESULT TypeLib::IsName(LPOLESTR, ULONG, BOOL* found) {
    if (found != nullptr) {
        *found = FALSE;
    }
    return E_NOTIMPL;
}

HRESULT TypeLib::FindName(LPOLESTR, ULONG, ITypeInfo**, MEMBERID*, USHORT* found) {
    if (found != nullptr) {
        *found = 0;
    }
    return E_NOTIMPL;
}

HRESULT LoadTypeLibFile(const std::string& path, ITypeLib** library) {
    std::string text;
    HRESULT result = ReadWholeFile(path, text);
    if (FAILED(result)) {
        return result;
    }
    return LoadTypeLibText(text, library);
}

HRESULT LoadTypeLibText(const std::string& text, ITypeLib** library) {
    LibraryData data;
    HRESULT result = ReadTypeLibText(text, data);
    if (FAILED(result)) {
        return result;
    }
    TypeLib* standard = StandardOleLibrary();
    if (standard == nullptr) {
        return TYPE_E_CANTLOADLIBRARY;
    }
    TypeLib* loaded = nullptr;
    result = TypeLib::Create(std::move(data), standard, &loaded);
    *library = loaded;
    return result;
}

} // namespace Ostrel

extern "C" HRESULT LoadTypeLibEx(LPCOLESTR path, REGKIND kind, ITypeLib** library) {
    if (library == nullptr) {
        return E_INVALIDARG;
    }
    *library = nullptr;
    if (path == nullptr) {
        return E_INVALIDARG;
    }
    try {
        std::string narrow;
        if (!Ostrel::OleToUtf8(path, narrow) || narrow.empty()) {
            return TYPE_E_CANTLOADLIBRARY;
        }
        HRESULT result = Ostrel::LoadTypeLibFile(narrow, library);
        const bool fullPath = narrow[0] == '/';
        if (SUCCEEDED(result) &&
            (kind == REGKIND_REGISTER || (kind == REGKIND_DEFAULT && !fullPath))) {
            std::error_code error;
            const std::filesystem::path full = std::filesystem::absolute(narrow, error);
            Ostrel::OleString found;
            if (error || !Ostrel::Utf8ToOle(full.string(), found)) {
                found = path;
            }
            result = RegisterTypeLib(*library, found.c_str(), nullptr);
            if (FAILED(result)) {
                (*library)->Release();
                *library = nullptr;
            }
        }
        return result;
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
}

extern "C" HRESULT LoadTypeLib(LPCOLESTR path, ITypeLib** library) {
    return LoadTypeLibEx(path, REGKIND_DEFAULT, library);
}
