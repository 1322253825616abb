#include "support/FileTestSupport.h"
#include "transfer/TextBufferDataTransfer.h"

#include <gtest/gtest.h>

#include <string>

namespace Ostrel {
namespace {

TEST(TextBufferDataTransfer, WrittenBytesComeBackOnlyAfterUnreadWithEveryByteKept) {
    TextBufferDataTransfer transfer;
    EXPECT_EQ(ReadPiece(transfer, 10), "");
    const char bytes[] = {'x', 0, 'y', 0, 'z'};
    EXPECT_TRUE(transfer.Write(bytes, sizeof bytes));
    EXPECT_TRUE(transfer.Write("", 0));
    EXPECT_EQ(ReadPiece(transfer, 10), "");
    EXPECT_TRUE(transfer.Unread(3));
    EXPECT_EQ(ReadPiece(transfer, 1), "y");
    EXPECT_EQ(ReadPiece(transfer, 10), std::string("\0z", 2));
    EXPECT_TRUE(transfer.Unread(100));
    EXPECT_EQ(ReadPiece(transfer, 10), std::string(bytes, sizeof bytes));
    EXPECT_EQ(transfer.GetText().Length(), 5);

    // Negative lengths are refused and change nothing.
    char buffer[4];
    uint32_t got = 0;
    EXPECT_FALSE(transfer.Write("abc", -1));
    EXPECT_FALSE(transfer.Read(buffer, -1, &got));
    EXPECT_FALSE(transfer.Unread(-5));
    EXPECT_EQ(transfer.GetText().Length(), 5);
    ASSERT_TRUE(transfer.Unread(1));
    EXPECT_EQ(ReadPiece(transfer, 10), "z");
}

} // namespace
} // namespace Ostrel
