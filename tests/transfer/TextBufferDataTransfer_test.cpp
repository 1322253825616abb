#include "support/FileTestSupport.h"
#include "transfer/TextBufferDataTransfer.h"

#include <gtest/gtest.h>

#include <string>

namespace Ostrel {
namespace {

// Every byte written is kept, NULs included, and read back only after an Unread of it; negative
// lengths are refused and change nothing.
TEST(TextBufferDataTransfer, WrittenBytesComeBackOnlyAfterUnreadWithEveryByteKept) {
    TextBufferDataTransfer transfer;
    const char bytes[] = {'x', 0, 'y', 0, 'z'};
    EXPECT_TRUE(transfer.Write(bytes, sizeof bytes));
    EXPECT_EQ(ReadPiece(transfer, 10), "");
    EXPECT_TRUE(transfer.Unread(3));
    EXPECT_EQ(ReadPiece(transfer, 1), "y");
    EXPECT_TRUE(transfer.Unread(100));
    uint32_t got = 0;
    EXPECT_FALSE(transfer.Write("abc", -1));
    EXPECT_FALSE(transfer.Read(&got, -1, &got));
    EXPECT_FALSE(transfer.Unread(-5));
    EXPECT_EQ(ReadPiece(transfer, 10), std::string(bytes, sizeof bytes));
    EXPECT_EQ(transfer.GetText().Length(), 5);
}

} // namespace
} // namespace Ostrel
