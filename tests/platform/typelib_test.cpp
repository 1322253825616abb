#include "platform/com.h"
#include "pravell_idl.h"
#include "support/SystemFacts.h"
#include "support/TypeLibSupport.h"
#include "typelib_test_idl.h"
#include "typenames.h"
#include "utils_idl.h"

#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <sstream>
#include <type_traits>

namespace {

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
    std::string names;
    ASSERT_EQ(library->GetTypeInfoCount(), 7u);
    for (UINT i = 0; i < 7; ++i) {
        ASSERT_EQ(library->GetDocumentation(static_cast<INT>(i), &name, nullptr, nullptr, nullptr),
                  S_OK);
        names += TakeNarrow(name) + " ";
        TYPEKIND kind = TKIND_MAX;
        ASSERT_EQ(library->GetTypeInfoType(i, &kind), S_OK);
        EXPECT_EQ(kind, i < 5 ? TKIND_DISPATCH : TKIND_COCLASS);
    }
    EXPECT_EQ(names, "IDispatchXMLModelNode IDispatchXMLModel IDispatchXMLParser "
                     "IDispatchXMLParserClient IDispatchDataTransfer StreamingXMLParser XMLModel ");
    EXPECT_EQ(library->GetDocumentation(7, &name, nullptr, nullptr, nullptr),
              TYPE_E_ELEMENTNOTFOUND);

    // COM has a failure leave an interface out-pointer null; Wine's library leaves it as it was.
    ITypeInfo* none = reinterpret_cast<ITypeInfo*>(library);
    EXPECT_EQ(library->GetTypeInfoOfGuid(IID_IDispatchTaggedAttributes, &none),
              TYPE_E_ELEMENTNOTFOUND);
    if (!UnderWine()) {
        EXPECT_EQ(none, nullptr);
    }
    library->Release();
}

TEST(TypeLib, NamesMatchWithoutRegardToCaseOnBothHalves) {
    ITypeLib* library = LoadBuiltLibrary("pravell");
    ASSERT_NE(library, nullptr);
    ITypeInfo* dispatchHalf = nullptr;
    ASSERT_EQ(library->GetTypeInfoOfGuid(IID_IDispatchXMLModelNode, &dispatchHalf), S_OK);
    ITypeInfo* interfaceHalf = InterfaceHalfOf(dispatchHalf);
    ASSERT_NE(interfaceHalf, nullptr);
    auto name = [](const OLECHAR* text) { return const_cast<LPOLESTR>(text); };
    for (ITypeInfo* info : {dispatchHalf, interfaceHalf}) {
        MEMBERID ids[3] = {};
        LPOLESTR one[] = {name(OLESTR("setattribute"))};
        EXPECT_EQ(info->GetIDsOfNames(one, 1, ids), S_OK);
        EXPECT_EQ(ids[0], 18);
        LPOLESTR withParams[] = {name(OLESTR("GetAttributeValue")), name(OLESTR("value")),
                                 name(OLESTR("INDEX"))};
        EXPECT_EQ(info->GetIDsOfNames(withParams, 3, ids), S_OK);
        EXPECT_EQ(ids[0], 11);
        EXPECT_EQ(ids[1], 1);
        EXPECT_EQ(ids[2], 0);
        LPOLESTR badParam[] = {name(OLESTR("GetAttributeValue")), name(OLESTR("NoSuchMember"))};
        EXPECT_EQ(info->GetIDsOfNames(badParam, 2, ids), DISP_E_UNKNOWNNAME);
        EXPECT_EQ(ids[0], 11);
        EXPECT_EQ(ids[1], DISPID_UNKNOWN);
        LPOLESTR badMember[] = {name(OLESTR("NoSuchMember")), name(OLESTR("INDEX"))};
        EXPECT_EQ(info->GetIDsOfNames(badMember, 2, ids), DISP_E_UNKNOWNNAME);
        EXPECT_EQ(ids[0], DISPID_UNKNOWN);
        EXPECT_EQ(ids[1], DISPID_UNKNOWN);
        one[0] = name(OLESTR("queryinterface"));
        EXPECT_EQ(info->GetIDsOfNames(one, 1, ids), S_OK);
        EXPECT_EQ(ids[0], 0x60000000);
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
    // Members that only modules have answer not applicable.
    PVOID address = nullptr;
    EXPECT_EQ(interfaceHalf->AddressOfMember(1, INVOKE_FUNC, &address), TYPE_E_BADMODULEKIND);
    UINT count = 7;
    BSTR names[2] = {};
    EXPECT_EQ(interfaceHalf->GetNames(12345, names, 2, &count), TYPE_E_ELEMENTNOTFOUND);
    EXPECT_EQ(count, 0u);
    ITypeLib* containing = nullptr;
    UINT index = 99;
    ASSERT_EQ(interfaceHalf->GetContainingTypeLib(&containing, &index), S_OK);
    EXPECT_EQ(index, 0u) << "both halves stand at the position of their type";
    EXPECT_EQ(interfaceHalf->Release(), 0u);
    EXPECT_EQ(containing->Release(), 0u) << "the last reference frees the library";
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

// The test library's IEveryKind, its dispatch half as the library hands it out.
class EveryKind : public ::testing::Test {
protected:
    void SetUp() override {
        library = LoadBuiltLibrary("typelib_test");
        ASSERT_NE(library, nullptr);
        ASSERT_EQ(library->GetTypeInfoOfGuid(IID_IEveryKind, &dispatchHalf), S_OK);
    }
    void TearDown() override {
        if (dispatchHalf != nullptr) {
            dispatchHalf->Release();
        }
        if (library != nullptr) {
            library->Release();
        }
    }

    ITypeLib* library = nullptr;
    ITypeInfo* dispatchHalf = nullptr;
};

// every-kind.txt: IEveryKind's functions in order, "NAME MEMBERID INVOKEKIND FLAGS:TYPE...".
TEST_F(EveryKind, EveryParameterKindKeepsItsExactType) {
    const std::map<std::string, INVOKEKIND> invokeKinds = {{"FUNC", INVOKE_FUNC},
                                                           {"PROPERTYGET", INVOKE_PROPERTYGET},
                                                           {"PROPERTYPUT", INVOKE_PROPERTYPUT}};
    const std::map<std::string, USHORT> flagNames = {
        {"in", PARAMFLAG_FIN}, {"out", PARAMFLAG_FOUT}, {"retval", PARAMFLAG_FRETVAL}};
    ITypeInfo* info = InterfaceHalfOf(dispatchHalf);
    ASSERT_NE(info, nullptr);
    std::ifstream table(PRAVELL_TEST_DATA "/typelibs/every-kind.txt");
    UINT index = 0;
    for (std::string line; std::getline(table, line);) {
        std::istringstream words(line);
        std::string name, id, invoke;
        if (line[0] == '#' || !(words >> name >> id >> invoke)) {
            continue;
        }
        SCOPED_TRACE(line);
        FUNCDESC* function = nullptr;
        ASSERT_EQ(info->GetFuncDesc(index++, &function), S_OK);
        EXPECT_EQ(NamesOf(info, function->memid).at(0), name);
        EXPECT_EQ(function->memid, std::stol(id, nullptr, 0));
        EXPECT_EQ(function->invkind, invokeKinds.at(invoke));
        SHORT count = 0;
        for (std::string parameter; words >> parameter; ++count) {
            ASSERT_LT(count, function->cParams);
            const ELEMDESC& element = function->lprgelemdescParam[count];
            const size_t colon = parameter.find(':');
            EXPECT_EQ(ChainOf(element.tdesc), VarTypeChain(parameter.substr(colon + 1)));
            USHORT flags = 0;
            std::istringstream flagWords(parameter.substr(0, colon));
            for (std::string flag; std::getline(flagWords, flag, '|');) {
                flags |= flagNames.at(flag);
            }
            EXPECT_EQ(element.paramdesc.wParamFlags, flags) << parameter;
        }
        EXPECT_EQ(function->cParams, count);
        info->ReleaseFuncDesc(function);
    }
    TYPEATTR* attributes = nullptr;
    ASSERT_EQ(info->GetTypeAttr(&attributes), S_OK);
    EXPECT_EQ(attributes->cFuncs, index);
    EXPECT_EQ(attributes->lcid, 0x409u);
    info->ReleaseTypeAttr(attributes);

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
}

// every-kind-dispatch.txt: "INDEX MEMBERID RESULT PARAMETERS FLAGS" for some of the functions.
TEST_F(EveryKind, DispatchFormsReturnTheirRetvalAndListInheritedFunctionsFirst) {
    std::ifstream table(PRAVELL_TEST_DATA "/typelibs/every-kind-dispatch.txt");
    for (std::string line; std::getline(table, line);) {
        std::istringstream words(line);
        UINT index = 0;
        SHORT params = 0;
        std::string id, resultType, flags;
        if (line[0] == '#' || !(words >> index >> id >> resultType >> params >> flags)) {
            continue;
        }
        SCOPED_TRACE(line);
        FUNCDESC* function = nullptr;
        ASSERT_EQ(dispatchHalf->GetFuncDesc(index, &function), S_OK);
        EXPECT_EQ(function->memid, std::stol(id, nullptr, 0));
        EXPECT_EQ(function->funckind, FUNC_DISPATCH);
        EXPECT_EQ(function->oVft, static_cast<SHORT>(index * sizeof(void*)));
        EXPECT_EQ(ChainOf(function->elemdescFunc.tdesc), VarTypeChain(resultType));
        EXPECT_EQ(function->cParams, params);
        EXPECT_EQ(function->wFuncFlags, flags == "restricted" ? FUNCFLAG_FRESTRICTED : 0);
        dispatchHalf->ReleaseFuncDesc(function);
    }
    // An inherited function's references name the standard library's structures, not a type of
    // the library that inherits it.
    FUNCDESC* invoke = nullptr;
    ASSERT_EQ(dispatchHalf->GetFuncDesc(6, &invoke), S_OK);
    ASSERT_EQ(ChainOf(invoke->lprgelemdescParam[4].tdesc), VarTypeChain("PTR,USERDEFINED"));
    ITypeInfo* record = nullptr;
    ASSERT_EQ(
        dispatchHalf->GetRefTypeInfo(invoke->lprgelemdescParam[4].tdesc.lptdesc->hreftype, &record),
        S_OK);
    dispatchHalf->ReleaseFuncDesc(invoke);
    TYPEATTR* attributes = nullptr;
    ASSERT_EQ(record->GetTypeAttr(&attributes), S_OK);
    EXPECT_EQ(attributes->typekind, TKIND_RECORD);
    EXPECT_EQ(attributes->cbSizeInstance, sizeof(DISPPARAMS));
    EXPECT_EQ(attributes->cbAlignment, alignof(DISPPARAMS));
    record->ReleaseTypeAttr(attributes);
    BSTR name = nullptr;
    ASSERT_EQ(record->GetDocumentation(MEMBERID_NIL, &name, nullptr, nullptr, nullptr), S_OK);
    EXPECT_EQ(TakeNarrow(name), "DISPPARAMS");
    record->Release();
}

// Object browsers show the help strings of a type and of its members, on either half.
TEST_F(EveryKind, HelpStringsOfTheTypeAndItsMembersOnBothHalves) {
    ITypeInfo* interfaceHalf = InterfaceHalfOf(dispatchHalf);
    ASSERT_NE(interfaceHalf, nullptr);
    OLECHAR stale[] = OLESTR("stale");
    for (ITypeInfo* info : {dispatchHalf, interfaceHalf}) {
        BSTR name = nullptr;
        BSTR help = nullptr;
        DWORD context = 7;
        BSTR file = stale;
        ASSERT_EQ(info->GetDocumentation(MEMBERID_NIL, &name, &help, &context, &file), S_OK);
        EXPECT_EQ(TakeNarrow(name), "IEveryKind");
        EXPECT_EQ(TakeNarrow(help), "Every parameter kind");
        EXPECT_EQ(context, 0u);
        EXPECT_EQ(file, nullptr);
        ASSERT_EQ(info->GetDocumentation(1, &name, &help, nullptr, nullptr), S_OK);
        EXPECT_EQ(TakeNarrow(name), "Numbers");
        EXPECT_EQ(TakeNarrow(help), "One of each number type");
        help = stale;
        ASSERT_EQ(info->GetDocumentation(2, nullptr, &help, nullptr, nullptr), S_OK);
        EXPECT_EQ(help, nullptr) << "a member without a help string has none";
        ASSERT_EQ(info->GetDocumentation(0x60010003, &name, nullptr, nullptr, nullptr), S_OK);
        EXPECT_EQ(TakeNarrow(name), "Invoke") << "inherited members are documented too";
        EXPECT_EQ(info->GetDocumentation(12345, &name, &help, nullptr, nullptr),
                  TYPE_E_ELEMENTNOTFOUND);
    }
    interfaceHalf->Release();
}

TEST_F(EveryKind, InterfacesDeriveFromOneAnother) {
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
    OLECHAR inherited[] = OLESTR("numbers");
    LPOLESTR names[] = {inherited};
    MEMBERID id = 0;
    EXPECT_EQ(half->GetIDsOfNames(names, 1, &id), S_OK);
    EXPECT_EQ(id, 1);
    EXPECT_EQ(NamesOf(half, 10)[0], "Size");
    half->Release();
    derived->Release();

    ITypeInfo* coclass = nullptr;
    ASSERT_EQ(library->GetTypeInfoOfGuid(CLSID_EveryKind, &coclass), S_OK);
    // The first source is the default source, marked or not.
    const INT flags[] = {IMPLTYPEFLAG_FDEFAULT, 0, IMPLTYPEFLAG_FDEFAULT | IMPLTYPEFLAG_FSOURCE};
    for (UINT i = 0; i < 3; ++i) {
        INT implFlags = -1;
        ASSERT_EQ(coclass->GetImplTypeFlags(i, &implFlags), S_OK);
        EXPECT_EQ(implFlags, flags[i]);
    }
    ASSERT_EQ(coclass->GetRefTypeOfImplType(0, &reference), S_OK);
    EXPECT_EQ(ReferencedGuid(coclass, reference, &kind), GuidString(IID_IEveryKind));
    EXPECT_EQ(kind, TKIND_DISPATCH) << "a class implements a dual interface's dispatch half";
    EXPECT_EQ(coclass->GetRefTypeOfImplType(3, &reference), TYPE_E_ELEMENTNOTFOUND);
    coclass->Release();
}

} // namespace
