#include "transfer/TextBufferDataTransfer.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace Ostrel {
namespace {

std::string ReadAll(TextBufferDataTransfer& transfer, LONG maxLength) {
    std::string buffer(static_cast<size_t>(maxLength), '?');
    uint32_t got = 12345;
    EXPECT_TRUE(transfer.Read(&buffer[0], maxLength, &got));
    EXPECT_LE(got, static_cast<uint32_t>(maxLength));
    buffer.resize(got);
    return buffer;
}

TEST(TextBufferDataTransfer, WrittenBytesAreReadBackOnlyAfterUnread) {
    TextBufferDataTransfer transfer;
    EXPECT_EQ(ReadAll(transfer, 10), "");

    EXPECT_TRUE(transfer.Write("a", 1));
    EXPECT_TRUE(transfer.Write("bc", 2));
    EXPECT_TRUE(transfer.Write("", 0));
    EXPECT_EQ(ReadAll(transfer, 10), "");

    EXPECT_TRUE(transfer.Unread(3));
    EXPECT_EQ(ReadAll(transfer, 10), "abc");
    EXPECT_EQ(ReadAll(transfer, 10), "");

    EXPECT_TRUE(transfer.Unread(2));
    EXPECT_EQ(ReadAll(transfer, 1), "b");
    EXPECT_EQ(ReadAll(transfer, 1), "c");

    EXPECT_TRUE(transfer.Unread(100));
    EXPECT_EQ(ReadAll(transfer, 2), "ab");
    EXPECT_EQ(transfer.GetText(), "abc");
}

TEST(TextBufferDataTransfer, BytesAfterANulAreKept) {
    TextBufferDataTransfer transfer;
    const char bytes[] = {'x', 0, 'y', 0, 'z'};
    ASSERT_TRUE(transfer.Write(bytes, sizeof bytes));
    EXPECT_EQ(transfer.GetText().Length(), 5);
    EXPECT_STREQ(transfer.GetText().c_str(), "x");
    ASSERT_TRUE(transfer.Unread(5));
    EXPECT_EQ(ReadAll(transfer, 10), std::string(bytes, sizeof bytes));
}

TEST(TextBufferDataTransfer, NegativeLengthsAreRefusedAndChangeNothing) {
    TextBufferDataTransfer transfer;
    ASSERT_TRUE(transfer.Write("abc", 3));
    EXPECT_FALSE(transfer.Write("abc", -1));
    char buffer[4];
    uint32_t got = 0;
    EXPECT_FALSE(transfer.Read(buffer, -1, &got));
    EXPECT_FALSE(transfer.Unread(-5));
    EXPECT_EQ(transfer.GetText().Length(), 3);
    EXPECT_EQ(ReadAll(transfer, 10), "");
    ASSERT_TRUE(transfer.Unread(1));
    EXPECT_EQ(ReadAll(transfer, 10), "c");
}

} // namespace
} // namespace Ostrel
