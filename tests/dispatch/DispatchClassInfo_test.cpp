#include "dispatch/DispatchClassInfo.h"
#include "pravell_idl.h"
#include "support/AutomationTest.h"
#include "utils_idl.h"

#include <gtest/gtest.h>

namespace Ostrel::Testing {
namespace {

using DispatchClassInfoTest = AutomationTest;

// A record loads its type information when a dispatch call first needs it and keeps nothing from
// a failed load, so a host that registers the library later is served; the caller's reference
// outlives the record's; a library that does not describe the interface is a failed load.
TEST_F(DispatchClassInfoTest, LoadsWhenFirstNeededAndTriesAgainAfterAFailure) {
    ITypeLib* none = nullptr;
    const HRESULT notRegistered = LoadRegTypeLib(LIBID_Pravell, 1, 0, LOCALE_USER_DEFAULT, &none);
    ASSERT_TRUE(FAILED(notRegistered));
    DispatchClassInfo& parser = DispatchClassInfo::XMLParser();
    ITypeInfo* info = reinterpret_cast<ITypeInfo*>(0x1);
    EXPECT_EQ(parser.GetTypeInfo(&info), notRegistered);
    EXPECT_EQ(info, nullptr) << "a failure leaves no stale pointer for the caller to release";
    OLECHAR name[] = OLESTR("ParseString");
    LPOLESTR names[] = {name};
    DISPID id = DISPID_UNKNOWN;
    EXPECT_EQ(parser.GetIDsOfNames(IID_NULL, names, 1, &id), notRegistered);

    Register("pravell");
    EXPECT_EQ(parser.GetIDsOfNames(IID_NULL, names, 1, &id), S_OK);
    EXPECT_EQ(id, 2);
    ASSERT_EQ(parser.GetTypeInfo(&info), S_OK);
    DispatchClassInfo::ReleaseAll();
    BSTR interfaceName = nullptr;
    EXPECT_EQ(info->GetDocumentation(MEMBERID_NIL, &interfaceName, nullptr, nullptr, nullptr),
              S_OK);
    EXPECT_EQ(TakeNarrow(interfaceName), "IDispatchXMLParser");
    info->Release();

    DispatchClassInfo mismatched("Mismatched", &IID_IDispatchTaggedAttributes, LIBID_Pravell);
    EXPECT_TRUE(FAILED(mismatched.EnsureLoaded()));
    EXPECT_EQ(mismatched.TypeInfo(), nullptr);
}

} // namespace
} // namespace Ostrel::Testing
