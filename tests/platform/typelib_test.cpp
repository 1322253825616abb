// What type libraries answer beyond the canonical text that typelib_dump prints of them
// (tests/data/typelibs): names found without regard to case, the lifetime of descriptions and
// their library, one description a type, and failures.
#include "platform/com.h"
#include "pravell_idl.h"
#include "support/SystemFacts.h"
#include "support/TypeLibSupport.h"
#include "typelib_test_idl.h"
#include "utils_idl.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>
#include <type_traits>
#include <vector>

namespace {

// The header declares each number kind with the system's own type (the late-binding tests
// implement interfaces with the others).
static_assert(std::is_same_v<decltype(&IEveryKind::Numbers),
                             HRESULT (IEveryKind::*)(LONG, SHORT, INT, BYTE, BYTE, DOUBLE, FLOAT)>);
static_assert(
    std::is_same_v<decltype(&IEveryKind::Unsigned), HRESULT (IEveryKind::*)(ULONG, USHORT, UINT)>);

// Each case: the names asked, each with the identifier it must get (-1: DISPID_UNKNOWN); a name
// that is not found fails the whole call.
TEST(TypeLib, NamesMatchWithoutRegardToCaseOnBothHalves) {
    ITypeLib* library = LoadBuiltLibrary("pravell");
    ASSERT_NE(library, nullptr);
    ITypeInfo* dispatchHalf = nullptr;
    ASSERT_EQ(library->GetTypeInfoOfGuid(IID_IDispatchXMLModelNode, &dispatchHalf), S_OK);
    ITypeInfo* interfaceHalf = InterfaceHalfOf(dispatchHalf);
    const char* const cases[] = {"setattribute=18", "GetAttributeValue=11 value=1 INDEX=0",
                                 "GetAttributeValue=11 NoSuchMember=-1", "NoSuchMember=-1 INDEX=-1",
                                 "queryinterface=1610612736"};
    for (ITypeInfo* info : {dispatchHalf, interfaceHalf}) {
        for (const char* test : cases) {
            std::vector<OleString> names;
            std::vector<MEMBERID> expected;
            std::istringstream words(test);
            for (std::string name, id; std::getline(words >> std::ws, name, '=') && words >> id;) {
                names.push_back(Wide(name));
                expected.push_back(std::stoi(id));
            }
            std::vector<LPOLESTR> asked;
            for (OleString& name : names) {
                asked.push_back(&name[0]);
            }
            std::vector<MEMBERID> ids(asked.size());
            const bool known = std::count(expected.begin(), expected.end(), DISPID_UNKNOWN) == 0;
            EXPECT_EQ(
                info->GetIDsOfNames(asked.data(), static_cast<UINT>(asked.size()), ids.data()),
                known ? S_OK : DISP_E_UNKNOWNNAME)
                << test;
            EXPECT_EQ(ids, expected) << test;
        }
    }
    interfaceHalf->Release();
    dispatchHalf->Release();
    library->Release();
}

// A description keeps its library alive, and the last reference frees the library; a type or
// member that is not there is not found. (typelib_dump shows what is there.)
TEST(TypeLib, DescriptionsKeepTheirLibraryAlive) {
    ITypeLib* library = LoadBuiltLibrary("utils");
    ASSERT_NE(library, nullptr);
    BSTR name = nullptr;
    EXPECT_EQ(library->GetDocumentation(1, &name, nullptr, nullptr, nullptr),
              TYPE_E_ELEMENTNOTFOUND);
    // COM has a failure leave an interface out-pointer null; Wine's library leaves it as it was.
    ITypeInfo* first = reinterpret_cast<ITypeInfo*>(library);
    EXPECT_EQ(library->GetTypeInfoOfGuid(IID_IDispatchXMLModel, &first), TYPE_E_ELEMENTNOTFOUND);
    if (!UnderWine()) {
        EXPECT_EQ(first, nullptr);
    }
    ITypeInfo* byIdentifier = nullptr;
    ASSERT_EQ(library->GetTypeInfo(0, &first), S_OK);
    ASSERT_EQ(library->GetTypeInfoOfGuid(IID_IDispatchTaggedAttributes, &byIdentifier), S_OK);
    EXPECT_EQ(byIdentifier, first); // one description a type, the dispatch half of a dual one
    byIdentifier->Release();
    EXPECT_GT(library->Release(), 0u);
    ITypeInfo* interfaceHalf = InterfaceHalfOf(first);
    first->Release();
    ASSERT_EQ(interfaceHalf->GetDocumentation(6, &name, nullptr, nullptr, nullptr), S_OK);
    EXPECT_EQ(TakeNarrow(name), "GetCount");
    EXPECT_EQ(interfaceHalf->GetDocumentation(12345, &name, nullptr, nullptr, nullptr),
              TYPE_E_ELEMENTNOTFOUND);
    UINT count = 7;
    EXPECT_EQ(interfaceHalf->GetNames(12345, &name, 1, &count), TYPE_E_ELEMENTNOTFOUND);
    EXPECT_EQ(count, 0u);
    // Members that only modules have answer not applicable.
    PVOID address = nullptr;
    EXPECT_EQ(interfaceHalf->AddressOfMember(1, INVOKE_FUNC, &address), TYPE_E_BADMODULEKIND);
    ITypeLib* containing = nullptr;
    UINT index = 99;
    ASSERT_EQ(interfaceHalf->GetContainingTypeLib(&containing, &index), S_OK);
    EXPECT_EQ(index, 0u); // both halves stand at the position of their type
    EXPECT_EQ(interfaceHalf->Release(), 0u);
    EXPECT_EQ(containing->Release(), 0u);
}

} // namespace
