// The objects behind ITypeLib and ITypeInfo. A library owns one description per type it lists
// and, for a dual interface, a second one for the interface half. A description with references
// keeps its library alive; the library lives until its own count and all of theirs are gone.
//
// The two halves of a dual interface, as Windows describes them:
// - the dispatch half (TKIND_DISPATCH) is the one the library lists and GetTypeInfoOfGuid
//   answers. It implements IDispatch, reports IDispatch's table size, carries the interface's
//   flags without TYPEFLAG_FOLEAUTOMATION, and lists the seven inherited functions and then the
//   interface's own, all FUNC_DISPATCH, with a [retval] parameter turned into the result (an
//   HRESULT function without one returns VT_VOID). Names, dispatch identifiers and parameter
//   flags are those of the interface.
// - the interface half (TKIND_INTERFACE), reached through GetRefTypeOfImplType(-1), lists only
//   the interface's own functions as FUNC_PUREVIRTUAL with their table offsets, and implements
//   the interface half of its base.
#pragma once

#include "platform/dispatchcall.h"
#include "platform/typelibfile.h"

#include <atomic>
#include <map>
#include <memory>

namespace Ostrel {

class TypeLib;

// Answered only by the descriptions of this layer, so that DispInvoke can reach the calls they
// keep prepared; any other ITypeInfo answers E_NOINTERFACE and is called the general way. The
// answer is the description itself without a reference of its own: DispInvoke's caller holds
// one for the whole call, and a reference counted twice on every call costs two locked
// instructions on a path that is otherwise a few hundred.
extern const IID IID_PlatformTypeInfo;

// One function as a description lists it: the dispatch half of a dual interface lists the
// inherited functions too, and describes every function in its dispatch form. The references
// that a function inherited from the imported library makes are that library's own, and are
// handed out with `importedBits` set so that the description of this library resolves them there.
struct MemberView {
    const FuncData* function;
    SHORT vtableOffset;
    HREFTYPE importedBits;
};

class TypeInfo final : public ITypeInfo {
public:
    TypeInfo(TypeLib& library, UINT index, const TypeData& data, TYPEKIND kind);
    TypeInfo(const TypeInfo&) = delete;
    TypeInfo& operator=(const TypeInfo&) = delete;
    ~TypeInfo();

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;

    HRESULT STDMETHODCALLTYPE GetTypeAttr(TYPEATTR** attributes) override;
    HRESULT STDMETHODCALLTYPE GetTypeComp(ITypeComp** comp) override;
    HRESULT STDMETHODCALLTYPE GetFuncDesc(UINT index, FUNCDESC** function) override;
    HRESULT STDMETHODCALLTYPE GetVarDesc(UINT index, VARDESC** variable) override;
    HRESULT STDMETHODCALLTYPE GetNames(MEMBERID id, BSTR* names, UINT capacity,
                                       UINT* count) override;
    HRESULT STDMETHODCALLTYPE GetRefTypeOfImplType(UINT index, HREFTYPE* reference) override;
    HRESULT STDMETHODCALLTYPE GetImplTypeFlags(UINT index, INT* flags) override;
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(LPOLESTR* names, UINT count, MEMBERID* ids) override;
    HRESULT STDMETHODCALLTYPE Invoke(PVOID instance, MEMBERID id, WORD flags, DISPPARAMS* params,
                                     VARIANT* result, EXCEPINFO* exception,
                                     UINT* argumentError) override;
    HRESULT STDMETHODCALLTYPE GetDocumentation(MEMBERID id, BSTR* name, BSTR* documentation,
                                               DWORD* helpContext, BSTR* helpFile) override;
    HRESULT STDMETHODCALLTYPE GetDllEntry(MEMBERID id, INVOKEKIND kind, BSTR* dll, BSTR* name,
                                          WORD* ordinal) override;
    HRESULT STDMETHODCALLTYPE GetRefTypeInfo(HREFTYPE reference, ITypeInfo** info) override;
    HRESULT STDMETHODCALLTYPE AddressOfMember(MEMBERID id, INVOKEKIND kind,
                                              PVOID* address) override;
    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID riid, PVOID* object) override;
    HRESULT STDMETHODCALLTYPE GetMops(MEMBERID id, BSTR* mops) override;
    HRESULT STDMETHODCALLTYPE GetContainingTypeLib(ITypeLib** library, UINT* index) override;
    void STDMETHODCALLTYPE ReleaseTypeAttr(TYPEATTR* attributes) override;
    void STDMETHODCALLTYPE ReleaseFuncDesc(FUNCDESC* function) override;
    void STDMETHODCALLTYPE ReleaseVarDesc(VARDESC* variable) override;

    // Filled in by the library once every description of it exists.
    void SetBase(TypeInfo* base, HREFTYPE reference);
    void SetInterfaceHalf(TypeInfo* half, HREFTYPE reference);
    void SetMembers(std::vector<MemberView> members, int vtableSlots);

    const TypeData& Data() const { return data; }
    TYPEKIND Kind() const { return kind; }
    TypeInfo* Base() const { return base; }
    bool BelongsTo(const TypeLib& owner) const { return &library == &owner; }

    // The call that DispInvoke makes for `id` and `flags` through this description (through
    // its interface half, for a dual interface's dispatch half), prepared when first asked for
    // and kept for every later call from any thread; null where DispInvoke's general path gives
    // the answer: no such member, or a signature that cannot be called.
    const PreparedCall* CallFor(MEMBERID id, WORD flags);

private:
    const PreparedCall* OwnCallFor(MEMBERID id, WORD flags);
    const MemberView* FindMember(MEMBERID id) const;
    const MemberView* FindMember(const OLECHAR* name) const;
    WORD ImplTypeCount() const;
    WORD TypeFlags() const;

    TypeLib& library;
    const UINT index;
    const TypeData& data;
    const TYPEKIND kind;
    TypeInfo* base = nullptr;
    HREFTYPE baseReference = 0;
    HREFTYPE interfaceHalfReference = 0;
    TypeInfo* interfaceHalf = nullptr;
    // What finding a member for a call reads, and the member's prepared call: null until the
    // member is first called, then set once, so that a call holds it for as long as the
    // description lives.
    struct MemberCall {
        MEMBERID memid = MEMBERID_NIL;
        INVOKEKIND invoke = INVOKE_FUNC;
        std::atomic<PreparedCall*> prepared{nullptr};
    };

    std::vector<MemberView> members;
    // One per member, in the order of `members`.
    std::unique_ptr<MemberCall[]> memberCalls;
    int vtableSlots = 0;
    std::atomic<ULONG> references{0};
};

class TypeLib final : public ITypeLib {
public:
    // Builds the descriptions of the data and checks that every name they use is known,
    // here or in `imports`; TYPE_E_INVDATAREAD otherwise. The library starts with one reference.
    static HRESULT Create(LibraryData data, TypeLib* imports, TypeLib** library);

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;

    UINT STDMETHODCALLTYPE GetTypeInfoCount() override;
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, ITypeInfo** info) override;
    HRESULT STDMETHODCALLTYPE GetTypeInfoType(UINT index, TYPEKIND* kind) override;
    HRESULT STDMETHODCALLTYPE GetTypeInfoOfGuid(REFGUID guid, ITypeInfo** info) override;
    HRESULT STDMETHODCALLTYPE GetLibAttr(TLIBATTR** attributes) override;
    HRESULT STDMETHODCALLTYPE GetTypeComp(ITypeComp** comp) override;
    HRESULT STDMETHODCALLTYPE GetDocumentation(INT index, BSTR* name, BSTR* documentation,
                                               DWORD* helpContext, BSTR* helpFile) override;
    HRESULT STDMETHODCALLTYPE IsName(LPOLESTR name, ULONG hash, BOOL* found) override;
    HRESULT STDMETHODCALLTYPE FindName(LPOLESTR name, ULONG hash, ITypeInfo** infos, MEMBERID* ids,
                                       USHORT* found) override;
    void STDMETHODCALLTYPE ReleaseTLibAttr(TLIBATTR* attributes) override;

    const LibraryData& Data() const { return data; }
    // The description a reference of this library names, or null.
    TypeInfo* Resolve(HREFTYPE reference) const;

private:
    struct NamedType {
        TypeInfo* listed;
        HREFTYPE reference;
    };

    TypeLib(LibraryData data, TypeLib* imports);
    ~TypeLib();

    bool Link();
    bool CreateDescriptions();
    bool ResolveReferences();
    bool ResolveType(TypeSpec& type) const;
    bool ResolveBase(UINT index);
    bool BuildMembers(UINT index);
    bool FindType(const OleString& name, NamedType& found) const;

    static HREFTYPE Reference(UINT index, bool interfaceHalf);

    LibraryData data;
    TypeLib* imports;
    std::vector<std::unique_ptr<TypeInfo>> listed;
    std::vector<std::unique_ptr<TypeInfo>> interfaceHalves;
    std::map<OleString, UINT> indexByName;
    std::atomic<ULONG> references{1};
};

// IUnknown and IDispatch, which every loaded library refers to; null only if it cannot be built.
TypeLib* StandardOleLibrary();

// Names and help strings as GetDocumentation answers them: no help context and no help file.
HRESULT AnswerDocumentation(const OleString& name, const OleString& doc, BSTR* nameOut,
                            BSTR* docOut, DWORD* helpContext, BSTR* helpFile);

// Reads the file at the (UTF-8) path into a new library holding one reference.
HRESULT LoadTypeLibFile(const std::string& path, ITypeLib** library);
// The same from the file's text.
HRESULT LoadTypeLibText(const std::string& text, ITypeLib** library);

// Descriptions handed to callers live in one allocation each, so that one release frees them
// and nothing in them points into a library that may be gone by then.
FUNCDESC* NewFuncDesc(const MemberView& member, bool dispatchForm);
void DeleteFuncDesc(FUNCDESC* function);

} // namespace Ostrel
