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

// Appends accumulate without a separator, setters replace what was pending, and a message taken
// from the provider itself survives being stored back into it.
TEST(ErrorProvider, MessagesAccumulateUntilReplacedOrCleared) {
    ErrorProvider provider;
    IErrorProvider& pending = provider;
    EXPECT_FALSE(provider.HasError());
    EXPECT_EQ(MessageOf(provider), "");

    provider.AppendError(Text("ab"));
    provider.AppendError("cd");
    const Text before = MessageOf(provider);
    provider.AppendError(before);
    EXPECT_EQ(MessageOf(provider), "abcdabcd");
    EXPECT_EQ(before, "abcd") << "a copy handed out keeps its value";

    pending.SetError(MessageOf(provider));
    EXPECT_EQ(MessageOf(pending), "abcdabcd");
    const Text held = MessageOf(provider);
    pending.SetErrorText(held.c_str() + 4);
    EXPECT_EQ(MessageOf(pending), "abcd");

    LONG code = 0;
    pending.SetErrorCode(-2147467259);
    EXPECT_TRUE(pending.HasError());
    EXPECT_EQ(MessageOf(pending), "") << "a code comes without a message";
    EXPECT_EQ(pending.GetErrorCode(&code), -2147467259);
    pending.SetErrorText("narrow text");
    EXPECT_EQ(pending.GetErrorCode(&code), 0) << "setting a message clears the code";
    EXPECT_EQ(code, 0);

    pending.SetErrorCode(7);
    pending.ClearError();
    EXPECT_FALSE(pending.HasError());
    EXPECT_EQ(pending.GetErrorCode(&code), 0);
    EXPECT_EQ(MessageOf(pending), "");
}

} // namespace
