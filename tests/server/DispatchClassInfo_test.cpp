#include "platform/typelibsupport.h"
#include "pravell_idl.h"
#include "server/DispatchClassInfo.h"
#include "support/AutomationTest.h"
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

TEST_F(DispatchTest, TheFourRecordsNameTheirClassesInterfacesAndLibraries) {
    struct Expected {
        DispatchClassInfo& record;
        const char* className;
        const IID& interfaceId;
        const GUID& library;
        const char* interfaceName;
    };
    const Expected records[] = {
        {DispatchClassInfo::XMLModel(), "HDispatchXMLModel", IID_IDispatchXMLModel, LIBID_Pravell,
         "IDispatchXMLModel"},
        {DispatchClassInfo::XMLModelNode(), "HDispatchXMLModelNode", IID_IDispatchXMLModelNode,
         LIBID_Pravell, "IDispatchXMLModelNode"},
        {DispatchClassInfo::XMLParser(), "HDispatchXMLParser", IID_IDispatchXMLParser,
         LIBID_Pravell, "IDispatchXMLParser"},
        {DispatchClassInfo::TaggedAttributes(), "HDispatchTaggedAttributes",
         IID_IDispatchTaggedAttributes, LIBID_PravellUtils, "IDispatchTaggedAttributes"},
    };
    Register("pravell");
    Register("utils");
    for (const Expected& expected : records) {
        SCOPED_TRACE(expected.className);
        DispatchClassInfo& record = expected.record;
        EXPECT_STREQ(record.ClassName(), expected.className);
        EXPECT_EQ(record.InterfaceId(), expected.interfaceId);
        EXPECT_EQ(record.LibraryId(), expected.library);
        EXPECT_EQ(record.TypeInfo(), nullptr) << "nothing is loaded before it is needed";
        EXPECT_EQ(record.LoadResult(), E_FAIL);

        EXPECT_EQ(record.EnsureLoaded(), S_OK);
        ASSERT_NE(record.TypeInfo(), nullptr);
        EXPECT_EQ(InterfaceNameOf(record.TypeInfo()), expected.interfaceName);
    }

    DispatchClassInfo::ReleaseAll();
    for (const Expected& expected : records) {
        EXPECT_EQ(expected.record.TypeInfo(), nullptr);
        EXPECT_EQ(expected.record.LoadResult(), E_FAIL);
    }
    EXPECT_EQ(DispatchClassInfo::XMLParser().EnsureLoaded(), S_OK) << "loads again after Release";
}

TEST_F(DispatchTest, AFailedLoadKeepsNothingAndIsTriedAgain) {
    DispatchClassInfo& record = DispatchClassInfo::XMLModel();
    const HRESULT notRegistered = FailureOfLoadRegTypeLib(LIBID_Pravell);
    ASSERT_TRUE(FAILED(notRegistered));
    EXPECT_EQ(record.EnsureLoaded(), notRegistered);
    EXPECT_EQ(record.LoadResult(), notRegistered);
    EXPECT_EQ(record.TypeInfo(), nullptr);

    Register("pravell");
    EXPECT_EQ(record.EnsureLoaded(), S_OK);
    EXPECT_NE(record.TypeInfo(), nullptr);

    // A library that is registered but does not describe the interface.
    DispatchClassInfo mismatched("Mismatched", &IID_IDispatchTaggedAttributes, LIBID_Pravell);
    const HRESULT missing = mismatched.EnsureLoaded();
    EXPECT_TRUE(FAILED(missing));
    EXPECT_EQ(mismatched.LoadResult(), missing);
    EXPECT_EQ(mismatched.TypeInfo(), nullptr);
    EXPECT_EQ(mismatched.EnsureLoaded(), missing);
}

TEST_F(DispatchTest, GetTypeInfoHandsOutAReferenceOrTheLoadFailure) {
    DispatchClassInfo& record = DispatchClassInfo::XMLParser();
    ITypeInfo* info = reinterpret_cast<ITypeInfo*>(&record);
    EXPECT_EQ(record.GetTypeInfo(&info), FailureOfLoadRegTypeLib(LIBID_Pravell));
    EXPECT_EQ(info, nullptr) << "a failure leaves no stale pointer for the caller to release";

    Register("pravell");
    ASSERT_EQ(record.GetTypeInfo(&info), S_OK);
    ASSERT_EQ(info, record.TypeInfo());
    record.Release();
    EXPECT_EQ(InterfaceNameOf(info), "IDispatchXMLParser")
        << "the caller holds a reference of its own";
    info->Release();
    EXPECT_EQ(record.GetTypeInfo(nullptr), E_INVALIDARG);
}

} // namespace
