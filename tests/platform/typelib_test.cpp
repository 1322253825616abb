#include "platform/com.h"
#include "pravell_idl.h"
#include "support/TypeLibSupport.h"
#include "typelib_test_idl.h"
#include "utils_idl.h"

#include <gtest/gtest.h>

#include <type_traits>

namespace {

using Chain = std::vector<VARTYPE>;

const Chain bstr{VT_BSTR};
const Chain bstrOut{VT_PTR, VT_BSTR};
const Chain variant{VT_VARIANT};
const Chain variantRef{VT_PTR, VT_VARIANT};
const Chain i4{VT_I4};
const Chain i4Out{VT_PTR, VT_I4};
const Chain boolOut{VT_PTR, VT_BOOL};
const Chain dispatch{VT_DISPATCH};
const Chain nodeOut{VT_PTR, VT_PTR, VT_USERDEFINED};

constexpr USHORT in = PARAMFLAG_FIN;
constexpr USHORT out = PARAMFLAG_FOUT;
constexpr USHORT retval = PARAMFLAG_FOUT | PARAMFLAG_FRETVAL;

std::vector<std::string> NamesOf(ITypeInfo* info, MEMBERID id) {
    BSTR names[8] = {};
    UINT count = 0;
    EXPECT_EQ(info->GetNames(id, names, 8, &count), S_OK);
    std::vector<std::string> result;
    for (UINT i = 0; i < count; ++i) {
        result.push_back(TakeNarrow(names[i]));
    }
    return result;
}

TEST(TypeLib, LibrariesNameThemselvesAndListTheirTypesInOrder) {
    ITypeLib* library = LoadBuiltLibrary("pravell");
    ASSERT_NE(library, nullptr);
    TLIBATTR* attributes = nullptr;
    ASSERT_EQ(library->GetLibAttr(&attributes), S_OK);
    EXPECT_EQ(GuidString(attributes->guid), GuidString(LIBID_Pravell));
    EXPECT_EQ(attributes->lcid, 0u);
    EXPECT_EQ(attributes->wMajorVerNum, 1);
    EXPECT_EQ(attributes->wMinorVerNum, 0);
    library->ReleaseTLibAttr(attributes);
    BSTR name = nullptr;
    const char* expected[] = {"IDispatchXMLModelNode",
                              "IDispatchXMLModel",
                              "IDispatchXMLParser",
                              "IDispatchXMLParserClient",
                              "IDispatchDataTransfer",
                              "StreamingXMLParser",
                              "XMLModel"};
    ASSERT_EQ(library->GetTypeInfoCount(), 7u);
    for (UINT i = 0; i < 7; ++i) {
        ASSERT_EQ(library->GetDocumentation(static_cast<INT>(i), &name, nullptr, nullptr, nullptr),
                  S_OK);
        EXPECT_EQ(TakeNarrow(name), expected[i]);
        TYPEKIND kind = TKIND_MAX;
        ASSERT_EQ(library->GetTypeInfoType(i, &kind), S_OK);
        EXPECT_EQ(kind, i < 5 ? TKIND_DISPATCH : TKIND_COCLASS);
    }
    EXPECT_EQ(library->GetDocumentation(7, &name, nullptr, nullptr, nullptr),
              TYPE_E_ELEMENTNOTFOUND);

    for (const auto& [clsid, iid] : {std::pair{&CLSID_StreamingXMLParser, &IID_IDispatchXMLParser},
                                     std::pair{&CLSID_XMLModel, &IID_IDispatchXMLModel}}) {
        ITypeInfo* coclass = nullptr;
        ASSERT_EQ(library->GetTypeInfoOfGuid(*clsid, &coclass), S_OK);
        TYPEATTR* type = nullptr;
        ASSERT_EQ(coclass->GetTypeAttr(&type), S_OK);
        EXPECT_EQ(type->wTypeFlags, TYPEFLAG_FCANCREATE);
        coclass->ReleaseTypeAttr(type);
        HREFTYPE reference = 0;
        INT flags = 0;
        ASSERT_EQ(coclass->GetRefTypeOfImplType(0, &reference), S_OK);
        TYPEKIND kind = TKIND_MAX;
        EXPECT_EQ(ReferencedGuid(coclass, reference, &kind), GuidString(*iid));
        EXPECT_EQ(kind, TKIND_DISPATCH);
        ASSERT_EQ(coclass->GetImplTypeFlags(0, &flags), S_OK);
        EXPECT_EQ(flags, IMPLTYPEFLAG_FDEFAULT);
        EXPECT_EQ(coclass->GetRefTypeOfImplType(1, &reference), TYPE_E_ELEMENTNOTFOUND);
        coclass->Release();
    }
    ITypeInfo* none = reinterpret_cast<ITypeInfo*>(library);
    EXPECT_EQ(library->GetTypeInfoOfGuid(IID_IDispatchTaggedAttributes, &none),
              TYPE_E_ELEMENTNOTFOUND);
    EXPECT_EQ(none, nullptr);
    library->Release();
}

TEST(TypeLib, NamesMatchWithoutRegardToCaseOnBothHalves) {
    ITypeLib* library = LoadBuiltLibrary("pravell");
    ASSERT_NE(library, nullptr);
    ITypeInfo* dispatchHalf = nullptr;
    ASSERT_EQ(library->GetTypeInfoOfGuid(IID_IDispatchXMLModelNode, &dispatchHalf), S_OK);
    ITypeInfo* interfaceHalf = InterfaceHalfOf(dispatchHalf);
    ASSERT_NE(interfaceHalf, nullptr);
    for (ITypeInfo* info : {dispatchHalf, interfaceHalf}) {
        OLECHAR lower[] = u"setattribute";
        OLECHAR method[] = u"GetAttributeValue";
        OLECHAR index[] = u"INDEX";
        OLECHAR value[] = u"value";
        OLECHAR unknown[] = u"NoSuchMember";
        OLECHAR inherited[] = u"queryinterface";
        MEMBERID ids[3] = {};
        LPOLESTR one[] = {lower};
        EXPECT_EQ(info->GetIDsOfNames(one, 1, ids), S_OK);
        EXPECT_EQ(ids[0], 18);
        LPOLESTR withParams[] = {method, value, index};
        EXPECT_EQ(info->GetIDsOfNames(withParams, 3, ids), S_OK);
        EXPECT_EQ(ids[0], 11);
        EXPECT_EQ(ids[1], 1);
        EXPECT_EQ(ids[2], 0);
        LPOLESTR badParam[] = {method, unknown};
        EXPECT_EQ(info->GetIDsOfNames(badParam, 2, ids), DISP_E_UNKNOWNNAME);
        EXPECT_EQ(ids[0], 11);
        EXPECT_EQ(ids[1], DISPID_UNKNOWN);
        LPOLESTR badMember[] = {unknown, index};
        EXPECT_EQ(info->GetIDsOfNames(badMember, 2, ids), DISP_E_UNKNOWNNAME);
        EXPECT_EQ(ids[0], DISPID_UNKNOWN);
        EXPECT_EQ(ids[1], DISPID_UNKNOWN);
        one[0] = inherited;
        EXPECT_EQ(info->GetIDsOfNames(one, 1, ids), S_OK);
        EXPECT_EQ(ids[0], 0x60000000);
        EXPECT_EQ(info->GetIDsOfNames(nullptr, 1, ids), E_INVALIDARG);
    }
    interfaceHalf->Release();
    dispatchHalf->Release();
    library->Release();
}

TEST(TypeLib, DescriptionsKeepTheirLibraryAlive) {
    ITypeLib* library = LoadBuiltLibrary("utils");
    ASSERT_NE(library, nullptr);
    ITypeInfo* first = nullptr;
    ITypeInfo* second = nullptr;
    ASSERT_EQ(library->GetTypeInfo(0, &first), S_OK);
    ASSERT_EQ(library->GetTypeInfo(0, &second), S_OK);
    EXPECT_EQ(first, second) << "one description per type";
    second->Release();
    EXPECT_GT(library->Release(), 0u) << "the description still holds the library";
    ITypeInfo* interfaceHalf = InterfaceHalfOf(first);
    first->Release();
    FUNCDESC* function = nullptr;
    ASSERT_EQ(interfaceHalf->GetFuncDesc(5, &function), S_OK);
    EXPECT_EQ(NamesOf(interfaceHalf, function->memid),
              (std::vector<std::string>{"GetCount", "count"}));
    interfaceHalf->ReleaseFuncDesc(function);
    ITypeLib* containing = nullptr;
    UINT index = 99;
    ASSERT_EQ(interfaceHalf->GetContainingTypeLib(&containing, &index), S_OK);
    EXPECT_EQ(index, 0u) << "both halves stand at the position of their type";
    EXPECT_EQ(interfaceHalf->Release(), 0u);
    EXPECT_EQ(containing->Release(), 0u) << "the last reference frees the library";
}

TEST(TypeLib, MembersThatOnlyModulesHaveAnswerNotApplicableAndClearTheirOutputs) {
    ITypeLib* library = LoadBuiltLibrary("utils");
    ASSERT_NE(library, nullptr);
    ITypeInfo* info = nullptr;
    ASSERT_EQ(library->GetTypeInfo(0, &info), S_OK);
    ITypeComp* comp = nullptr;
    EXPECT_EQ(info->GetTypeComp(&comp), E_NOTIMPL);
    WORD ordinal = 0;
    PVOID address = &ordinal;
    EXPECT_EQ(info->AddressOfMember(1, INVOKE_FUNC, &address), TYPE_E_BADMODULEKIND);
    EXPECT_EQ(address, nullptr);
    UINT count = 7;
    BSTR names[2] = {};
    EXPECT_EQ(info->GetNames(12345, names, 2, &count), TYPE_E_ELEMENTNOTFOUND);
    EXPECT_EQ(count, 0u);
    ITypeInfo* none = nullptr;
    EXPECT_EQ(info->GetRefTypeInfo(0x7FFFFFF0u, &none), TYPE_E_ELEMENTNOTFOUND);
    void* other = nullptr;
    EXPECT_EQ(info->QueryInterface(IID_ITypeLib, &other), E_NOINTERFACE);
    EXPECT_EQ(library->QueryInterface(IID_ITypeInfo, &other), E_NOINTERFACE);
    info->Release();
    library->Release();
}

static_assert(std::is_same_v<decltype(&IEveryKind::Numbers),
                             HRESULT (IEveryKind::*)(LONG, SHORT, INT, BYTE, BYTE, DOUBLE, FLOAT)>);
static_assert(
    std::is_same_v<decltype(&IEveryKind::Unsigned), HRESULT (IEveryKind::*)(ULONG, USHORT, UINT)>);
static_assert(std::is_same_v<decltype(&IEveryKind::Arrays),
                             HRESULT (IEveryKind::*)(SAFEARRAY*, SAFEARRAY**, SAFEARRAY**)>);
static_assert(
    std::is_same_v<decltype(&IEveryKind::Objects),
                   HRESULT (IEveryKind::*)(IDispatch*, IUnknown*, IDispatch**, IUnknown**)>);
static_assert(std::is_same_v<decltype(&IEveryKind::Own),
                             HRESULT (IEveryKind::*)(IEveryKind*, IPlain*, IEveryKind**)>);
static_assert(std::is_base_of_v<IEveryKind, IDerived> && std::is_base_of_v<IUnknown, IPlain>);

struct Function {
    const char* name;
    MEMBERID id;
    INVOKEKIND invoke;
    std::vector<std::pair<Chain, USHORT>> params;
};

const std::vector<Function>& EveryKind() {
    static const std::vector<Function> functions = {
        {"Numbers",
         1,
         INVOKE_FUNC,
         {{i4, in},
          {{VT_I2}, in},
          {{VT_INT}, in},
          {{VT_UI1}, in},
          {{VT_UI1}, in},
          {{VT_R8}, in},
          {{VT_R4}, in}}},
        {"Unsigned", 2, INVOKE_FUNC, {{{VT_UI4}, in}, {{VT_UI2}, in}, {{VT_UINT}, in}}},
        {"Texts", 3, INVOKE_FUNC, {{bstr, in}, {bstrOut, in | out}, {bstrOut, retval}}},
        {"Variants", 4, INVOKE_FUNC, {{variant, in}, {variantRef, in}, {variantRef, out}}},
        {"Flags", 5, INVOKE_FUNC, {{{VT_BOOL}, in}, {boolOut, retval}}},
        {"Arrays",
         6,
         INVOKE_FUNC,
         {{{VT_SAFEARRAY, VT_BSTR}, in},
          {{VT_PTR, VT_SAFEARRAY, VT_VARIANT}, in | out},
          {{VT_PTR, VT_SAFEARRAY, VT_DISPATCH}, retval}}},
        {"Objects",
         7,
         INVOKE_FUNC,
         {{dispatch, in},
          {{VT_UNKNOWN}, in},
          {{VT_PTR, VT_DISPATCH}, out},
          {{VT_PTR, VT_UNKNOWN}, retval}}},
        {"Own",
         8,
         INVOKE_FUNC,
         {{{VT_PTR, VT_USERDEFINED}, in}, {{VT_PTR, VT_USERDEFINED}, in}, {nodeOut, retval}}},
        {"Nothing", 9, INVOKE_FUNC, {}},
        {"Size", 10, INVOKE_PROPERTYGET, {{i4Out, retval}}},
        {"Size", 10, INVOKE_PROPERTYPUT, {{i4, in}}},
        {"Unnumbered", 0x6002000B, INVOKE_FUNC, {}},
    };
    return functions;
}

TEST(TypeLib, EveryParameterKindKeepsItsExactType) {
    ITypeLib* library = LoadBuiltLibrary("typelib_test");
    ASSERT_NE(library, nullptr);
    ITypeInfo* dispatchHalf = nullptr;
    ASSERT_EQ(library->GetTypeInfoOfGuid(IID_IEveryKind, &dispatchHalf), S_OK);
    ITypeInfo* info = InterfaceHalfOf(dispatchHalf);
    ASSERT_NE(info, nullptr);
    TYPEATTR* attributes = nullptr;
    ASSERT_EQ(info->GetTypeAttr(&attributes), S_OK);
    EXPECT_EQ(attributes->cFuncs, EveryKind().size());
    EXPECT_EQ(attributes->lcid, 0x409u);
    info->ReleaseTypeAttr(attributes);
    for (size_t i = 0; i < EveryKind().size(); ++i) {
        const Function& expected = EveryKind()[i];
        FUNCDESC* function = nullptr;
        ASSERT_EQ(info->GetFuncDesc(static_cast<UINT>(i), &function), S_OK);
        EXPECT_EQ(function->memid, expected.id) << expected.name;
        EXPECT_EQ(function->invkind, expected.invoke) << expected.name;
        ASSERT_EQ(function->cParams, static_cast<SHORT>(expected.params.size())) << expected.name;
        for (size_t p = 0; p < expected.params.size(); ++p) {
            const ELEMDESC& element = function->lprgelemdescParam[p];
            EXPECT_EQ(ChainOf(element.tdesc), expected.params[p].first) << expected.name << p;
            EXPECT_EQ(element.paramdesc.wParamFlags, expected.params[p].second) << expected.name;
        }
        info->ReleaseFuncDesc(function);
    }
    FUNCDESC* own = nullptr;
    ASSERT_EQ(info->GetFuncDesc(7, &own), S_OK);
    TYPEKIND kind = TKIND_MAX;
    EXPECT_EQ(ReferencedGuid(info, own->lprgelemdescParam[0].tdesc.lptdesc->hreftype, &kind),
              GuidString(IID_IEveryKind));
    EXPECT_EQ(kind, TKIND_DISPATCH) << "a dual interface is referred to by its dispatch half";
    EXPECT_EQ(ReferencedGuid(info, own->lprgelemdescParam[1].tdesc.lptdesc->hreftype, &kind),
              GuidString(IID_IPlain));
    EXPECT_EQ(kind, TKIND_INTERFACE);
    info->ReleaseFuncDesc(own);
    info->Release();
    dispatchHalf->Release();
    library->Release();
}

TEST(TypeLib, DispatchFormsReturnTheirRetvalAndListInheritedFunctionsFirst) {
    ITypeLib* library = LoadBuiltLibrary("typelib_test");
    ASSERT_NE(library, nullptr);
    ITypeInfo* info = nullptr;
    ASSERT_EQ(library->GetTypeInfoOfGuid(IID_IEveryKind, &info), S_OK);
    struct Expected {
        UINT index;
        MEMBERID id;
        Chain result;
        SHORT params;
        WORD flags;
    };
    const Expected expected[] = {
        {0, 0x60000000, {VT_VOID}, 2, FUNCFLAG_FRESTRICTED},
        {1, 0x60000001, {VT_UI4}, 0, FUNCFLAG_FRESTRICTED},
        {6, 0x60010003, {VT_VOID}, 8, FUNCFLAG_FRESTRICTED},
        {7 + 2, 3, {VT_BSTR}, 2, 0},
        {7 + 5, 6, {VT_SAFEARRAY, VT_DISPATCH}, 2, 0},
        {7 + 7, 8, {VT_PTR, VT_USERDEFINED}, 2, 0},
        {7 + 8, 9, {VT_VOID}, 0, 0},
        {7 + 9, 10, {VT_I4}, 0, 0},
    };
    for (const Expected& item : expected) {
        FUNCDESC* function = nullptr;
        ASSERT_EQ(info->GetFuncDesc(item.index, &function), S_OK);
        EXPECT_EQ(function->memid, item.id) << item.index;
        EXPECT_EQ(function->funckind, FUNC_DISPATCH);
        EXPECT_EQ(function->oVft, static_cast<SHORT>(item.index * sizeof(void*)));
        EXPECT_EQ(ChainOf(function->elemdescFunc.tdesc), item.result) << item.index;
        EXPECT_EQ(function->cParams, item.params) << item.index;
        EXPECT_EQ(function->wFuncFlags, item.flags) << item.index;
        info->ReleaseFuncDesc(function);
    }
    info->Release();
    library->Release();
}

TEST(TypeLib, InterfacesDeriveFromOneAnother) {
    ITypeLib* library = LoadBuiltLibrary("typelib_test");
    ASSERT_NE(library, nullptr);
    ITypeInfo* plain = nullptr;
    ASSERT_EQ(library->GetTypeInfoOfGuid(IID_IPlain, &plain), S_OK);
    TYPEATTR* attributes = nullptr;
    ASSERT_EQ(plain->GetTypeAttr(&attributes), S_OK);
    EXPECT_EQ(attributes->typekind, TKIND_INTERFACE);
    EXPECT_EQ(attributes->wTypeFlags, TYPEFLAG_FOLEAUTOMATION);
    EXPECT_EQ(attributes->cFuncs, 2);
    EXPECT_EQ(attributes->cbSizeVft, 5 * sizeof(void*));
    plain->ReleaseTypeAttr(attributes);
    FUNCDESC* function = nullptr;
    ASSERT_EQ(plain->GetFuncDesc(1, &function), S_OK);
    EXPECT_EQ(function->memid, 0x60010001) << "numbered by level and position";
    EXPECT_EQ(function->oVft, static_cast<SHORT>(4 * sizeof(void*)));
    plain->ReleaseFuncDesc(function);
    HREFTYPE reference = 0;
    EXPECT_EQ(plain->GetRefTypeOfImplType(static_cast<UINT>(-1), &reference),
              TYPE_E_ELEMENTNOTFOUND);
    ASSERT_EQ(plain->GetRefTypeOfImplType(0, &reference), S_OK);
    EXPECT_EQ(ReferencedGuid(plain, reference), GuidString(IID_IUnknown));
    plain->Release();

    ITypeInfo* derived = nullptr;
    ASSERT_EQ(library->GetTypeInfoOfGuid(IID_IDerived, &derived), S_OK);
    ASSERT_EQ(derived->GetTypeAttr(&attributes), S_OK);
    EXPECT_EQ(attributes->cFuncs, 7 + 12 + 1);
    derived->ReleaseTypeAttr(attributes);
    ASSERT_EQ(derived->GetFuncDesc(19, &function), S_OK);
    EXPECT_EQ(function->memid, 100);
    derived->ReleaseFuncDesc(function);
    ITypeInfo* half = InterfaceHalfOf(derived);
    ASSERT_NE(half, nullptr);
    ASSERT_EQ(half->GetTypeAttr(&attributes), S_OK);
    EXPECT_EQ(attributes->cFuncs, 1);
    EXPECT_EQ(attributes->cbSizeVft, 20 * sizeof(void*));
    half->ReleaseTypeAttr(attributes);
    ASSERT_EQ(half->GetFuncDesc(0, &function), S_OK);
    EXPECT_EQ(function->oVft, static_cast<SHORT>(19 * sizeof(void*)));
    half->ReleaseFuncDesc(function);
    TYPEKIND kind = TKIND_MAX;
    ASSERT_EQ(half->GetRefTypeOfImplType(0, &reference), S_OK);
    EXPECT_EQ(ReferencedGuid(half, reference, &kind), GuidString(IID_IEveryKind));
    EXPECT_EQ(kind, TKIND_INTERFACE) << "an interface derives from the interface half";
    OLECHAR inherited[] = u"numbers";
    LPOLESTR names[] = {inherited};
    MEMBERID id = 0;
    EXPECT_EQ(half->GetIDsOfNames(names, 1, &id), S_OK);
    EXPECT_EQ(id, 1);
    EXPECT_EQ(NamesOf(half, 10)[0], "Size");
    half->Release();
    derived->Release();

    ITypeInfo* coclass = nullptr;
    ASSERT_EQ(library->GetTypeInfoOfGuid(CLSID_EveryKind, &coclass), S_OK);
    const INT flags[] = {IMPLTYPEFLAG_FDEFAULT, 0, IMPLTYPEFLAG_FSOURCE};
    for (UINT i = 0; i < 3; ++i) {
        INT implFlags = -1;
        ASSERT_EQ(coclass->GetImplTypeFlags(i, &implFlags), S_OK);
        EXPECT_EQ(implFlags, flags[i]);
    }
    coclass->Release();
    library->Release();
}

} // namespace
