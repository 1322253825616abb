#include "errors/ErrorProvider.h"
#include "errors/RaiseErrorInfo.h"
#include "platform/com.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using Ostrel::ErrorProvider;
using Ostrel::RaiseErrorInfo;

// What GetErrorInfo hands the calling thread, taken out of its slot.
struct Taken {
    bool present = false;
    std::u16string description;
    std::u16string source;
    GUID guid = IID_NULL;
};

Taken TakeErrorInfo() {
    Taken taken;
    IErrorInfo* info = nullptr;
    if (GetErrorInfo(0, &info) != S_OK || info == nullptr) {
        return taken;
    }
    taken.present = true;
    BSTR text = nullptr;
    EXPECT_EQ(info->GetDescription(&text), S_OK);
    taken.description.assign(text == nullptr ? u"" : text, SysStringLen(text));
    SysFreeString(text);
    text = nullptr;
    EXPECT_EQ(info->GetSource(&text), S_OK);
    taken.source.assign(text == nullptr ? u"" : text, SysStringLen(text));
    SysFreeString(text);
    EXPECT_EQ(info->GetGUID(&taken.guid), S_OK);
    info->Release();
    return taken;
}

void InstallErrorInfo(const char16_t* description) {
    ICreateErrorInfo* creation = nullptr;
    ASSERT_EQ(CreateErrorInfo(&creation), S_OK);
    creation->SetDescription(const_cast<LPOLESTR>(description));
    IErrorInfo* info = nullptr;
    ASSERT_EQ(creation->QueryInterface(IID_IErrorInfo, reinterpret_cast<void**>(&info)), S_OK);
    EXPECT_EQ(SetErrorInfo(0, info), S_OK);
    info->Release();
    creation->Release();
}

class RaiseErrorInfoTest : public testing::Test {
protected:
    void SetUp() override { TakeErrorInfo(); }
    void TearDown() override { TakeErrorInfo(); }
};

// Pending failures go out as one description, once; a code alone goes out as an empty
// description that replaces the earlier one.
TEST_F(RaiseErrorInfoTest, PendingFailuresGoOutAsOneDescriptionAndOnlyOnce) {
    ErrorProvider provider;
    provider.AppendError("Failed to open file: ");
    provider.AppendError("/no/such/caf\xC3\xA9.xml");
    EXPECT_EQ(RaiseErrorInfo(provider), S_OK);
    EXPECT_FALSE(provider.HasError());

    const Taken taken = TakeErrorInfo();
    ASSERT_TRUE(taken.present);
    EXPECT_EQ(taken.description, u"Failed to open file: /no/such/caf\u00e9.xml");
    EXPECT_EQ(taken.source, u"") << "only the description is set";
    EXPECT_EQ(taken.guid, IID_NULL);
    EXPECT_EQ(RaiseErrorInfo(provider), E_NOINTERFACE) << "nothing is pending any more";
    EXPECT_FALSE(TakeErrorInfo().present);

    provider.SetErrorText("first");
    EXPECT_EQ(RaiseErrorInfo(provider), S_OK);
    provider.SetErrorCode(42);
    EXPECT_EQ(RaiseErrorInfo(provider), S_OK);
    EXPECT_EQ(TakeErrorInfo().description, u"");
}

TEST_F(RaiseErrorInfoTest, NothingPendingLeavesTheThreadsErrorInformationAlone) {
    InstallErrorInfo(u"earlier");
    ErrorProvider provider;
    EXPECT_EQ(RaiseErrorInfo(provider), E_NOINTERFACE);
    EXPECT_EQ(TakeErrorInfo().description, u"earlier");
}

} // namespace
