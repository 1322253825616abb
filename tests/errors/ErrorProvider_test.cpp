#include "errors/ErrorProvider.h"
#include "text/Text.h"

#include <gtest/gtest.h>

namespace {

using Ostrel::ErrorProvider;
using Ostrel::IErrorProvider;
using Ostrel::Text;

Text MessageOf(const IErrorProvider& provider) {
    Text message("not assigned");
    provider.GetError(message);
    return message;
}

TEST(ErrorProvider, AppendedMessagesAccumulateWithoutSeparator) {
    ErrorProvider provider;
    EXPECT_FALSE(provider.HasError());
    EXPECT_EQ(MessageOf(provider), "") << "a fresh provider hands out an empty message";

    provider.AppendError(Text("ab"));
    provider.AppendError("cd");
    EXPECT_TRUE(provider.HasError());
    EXPECT_EQ(MessageOf(provider), "abcd");
    EXPECT_EQ(provider.GetErrorCode(nullptr), 0) << "appending leaves the code alone";

    // The provider's own message appended to itself, and a copy taken before a change.
    const Text before = MessageOf(provider);
    provider.AppendError(before);
    EXPECT_EQ(MessageOf(provider), "abcdabcd");
    EXPECT_EQ(before, "abcd");
}

TEST(ErrorProvider, SettersClearWhatWasPendingBeforeTheyStore) {
    ErrorProvider provider;
    IErrorProvider& pending = provider;

    provider.AppendError("first failure; ");
    pending.SetError(Text("replaced"));
    EXPECT_EQ(MessageOf(pending), "replaced");
    EXPECT_TRUE(pending.HasError());

    pending.SetErrorCode(-2147467259);
    EXPECT_TRUE(pending.HasError());
    EXPECT_EQ(MessageOf(pending), "") << "a code comes without a message";
    LONG code = 0;
    EXPECT_EQ(pending.GetErrorCode(&code), -2147467259);
    EXPECT_EQ(code, -2147467259);

    pending.SetErrorText("narrow text");
    EXPECT_EQ(pending.GetErrorCode(&code), 0) << "setting a message clears the code";
    EXPECT_EQ(code, 0);
    EXPECT_EQ(MessageOf(pending), "narrow text");

    pending.SetErrorCode(7);
    pending.ClearError();
    EXPECT_FALSE(pending.HasError());
    EXPECT_EQ(pending.GetErrorCode(&code), 0);
    EXPECT_EQ(MessageOf(pending), "");
}

TEST(ErrorProvider, SettingFromItsOwnMessageKeepsTheCharacters) {
    ErrorProvider provider;
    provider.SetErrorText("Failed to open file: /tmp/x");
    const Text held = MessageOf(provider);
    provider.SetError(held);
    EXPECT_EQ(MessageOf(provider), "Failed to open file: /tmp/x");
    provider.SetErrorText(held.c_str() + 7);
    EXPECT_EQ(MessageOf(provider), "to open file: /tmp/x");
    EXPECT_EQ(held, "Failed to open file: /tmp/x") << "a copy handed out keeps its value";
}

} // namespace
