#include "dispatch/DispatchClassInfo.h"
#include "pravell_idl.h"
#include "support/AutomationTest.h"
#include "support/TypeLibSupport.h"
#include "utils_idl.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using Ostrel::DispatchClassInfo;
using DispatchTest = Ostrel::Testing::AutomationTest;

std::string InterfaceNameOf(ITypeInfo* info) {
    BSTR name = nullptr;
    EXPECT_EQ(info->GetDocumentation(MEMBERID_NIL, &name, nullptr, nullptr, nullptr), S_OK);
    return TakeNarrow(name);
}

HRESULT FailureOfLoadRegTypeLib(REFGUID library) {
    ITypeLib* loaded = nullptr;
    const HRESULT result = LoadRegTypeLib(library, 1, 0, LOCALE_USER_DEFAULT, &loaded);
    if (loaded != nullptr) {
        loaded->Release();
    }
    return result;
}

// Each record names its own interface in its own library, loads nothing before it is needed,
// keeps nothing from a failed load (and tries again), and hands out references of its own.
TEST_F(DispatchTest, RecordsLoadTheirInterfaceOnlyWhenRegistered) {
    const struct {
        DispatchClassInfo& record;
        const GUID& library;
        const char* interfaceName;
    } records[] = {
        {DispatchClassInfo::XMLModel(), LIBID_Pravell, "IDispatchXMLModel"},
        {DispatchClassInfo::XMLModelNode(), LIBID_Pravell, "IDispatchXMLModelNode"},
        {DispatchClassInfo::XMLParser(), LIBID_Pravell, "IDispatchXMLParser"},
        {DispatchClassInfo::TaggedAttributes(), LIBID_PravellUtils, "IDispatchTaggedAttributes"},
    };
    ITypeInfo* info = reinterpret_cast<ITypeInfo*>(0x1);
    EXPECT_EQ(DispatchClassInfo::XMLParser().GetTypeInfo(&info),
              FailureOfLoadRegTypeLib(LIBID_Pravell));
    EXPECT_EQ(info, nullptr) << "a failure leaves no stale pointer for the caller to release";
    EXPECT_EQ(DispatchClassInfo::XMLParser().TypeInfo(), nullptr);

    Register("pravell");
    Register("utils");
    for (const auto& expected : records) {
        SCOPED_TRACE(expected.interfaceName);
        EXPECT_EQ(expected.record.LibraryId(), expected.library);
        EXPECT_EQ(expected.record.EnsureLoaded(), S_OK);
        ASSERT_NE(expected.record.TypeInfo(), nullptr);
        EXPECT_EQ(InterfaceNameOf(expected.record.TypeInfo()), expected.interfaceName);
    }

    DispatchClassInfo& parser = DispatchClassInfo::XMLParser();
    ASSERT_EQ(parser.GetTypeInfo(&info), S_OK);
    DispatchClassInfo::ReleaseAll();
    EXPECT_EQ(parser.TypeInfo(), nullptr);
    EXPECT_EQ(InterfaceNameOf(info), "IDispatchXMLParser")
        << "the caller holds a reference of its own";
    info->Release();
    EXPECT_EQ(parser.EnsureLoaded(), S_OK) << "loads again after ReleaseAll";

    // A library that is registered but does not describe the interface.
    DispatchClassInfo mismatched("Mismatched", &IID_IDispatchTaggedAttributes, LIBID_Pravell);
    EXPECT_TRUE(FAILED(mismatched.EnsureLoaded()));
    EXPECT_EQ(mismatched.TypeInfo(), nullptr);
}

} // namespace
