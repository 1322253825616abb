#include "errors/ErrorProvider.h"
#include "text/Text.h"

#include <gtest/gtest.h>

namespace {

using Ostrel::ErrorProvider;
using Ostrel::Text;

// Appends accumulate without a separator, even of the provider's own message.
TEST(ErrorProvider, AppendsAccumulateWithoutASeparator) {
    ErrorProvider provider;
    Text message;
    provider.AppendError("ab");
    provider.GetError(message);
    provider.AppendError(message);
    provider.AppendError(Text("cd"));
    provider.GetError(message);
    EXPECT_EQ(message, "ababcd");
}

} // namespace
