#include "support/FileTestSupport.h"
#include "support/TestSupport.h"
#include "transfer/TextFile.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

namespace Ostrel {
namespace {

class TextFileTest : public ::testing::Test {
protected:
    // Reads the whole file, as stored from `raw`, in pieces of `piece` bytes.
    std::string ReadBack(const std::string& raw, LONG piece) {
        WriteWholeFile(path, raw);
        TextFile file(path.c_str());
        EXPECT_TRUE(file.Open(false));
        std::string all;
        EXPECT_TRUE(ReadInPieces(file, piece, &all));
        EXPECT_EQ(ReadPiece(file, 10), "") << "the end stays the end";
        return all;
    }

    ScratchDirectory scratch;
    std::string path = scratch.Path() + "/text.xml";
};

// Writes of every shape (lines longer than any staging, many short lines, no line end) store
// exactly the bytes given; held-back lines reach the file before a read, an unread or a commit.
TEST_F(TextFileTest, WritesStoreEveryLineFeedWithACarriageReturn) {
    std::mt19937 random(20240602);
    std::string written;
    TextFile file(path.c_str());
    ASSERT_TRUE(file.Create());
    for (size_t run : {0u, 1u, 4095u, 4096u, 4097u, 20000u}) {
        std::string piece;
        for (int lines = 0; lines < 3; ++lines) {
            piece += std::string(run, static_cast<char>('a' + random() % 26)) + "\n";
        }
        piece += std::string(run / 2, 'z');
        ASSERT_TRUE(file.Write(piece.data(), static_cast<LONG>(piece.size()))) << run;
        written += piece;
    }
    for (int i = 0; i < 3000; ++i) {
        const std::string line = std::to_string(i) + "\n";
        ASSERT_TRUE(file.Write(line.data(), static_cast<LONG>(line.size())));
        written += line;
    }
    ASSERT_TRUE(file.Write("tail\n", 5));
    ASSERT_TRUE(file.Unread(3));
    EXPECT_EQ(ReadPiece(file, 100), "il\n");
    ASSERT_TRUE(file.Unread(2));
    ASSERT_TRUE(file.Write("\r\n", 2));
    ASSERT_TRUE(file.Commit());
    EXPECT_EQ(ReadWholeFile(path), OnDisk(written) + "tai\r\r\n");
}

TEST_F(TextFileTest, PairsSplitAcrossReadsLoneReturnsAndByteTwentySix) {
    const std::string raw = "ab\r\ncd\r\r\n\ref\rg\n\r\n\r\nh\r";
    for (LONG piece = 1; piece <= static_cast<LONG>(raw.size()) + 2; ++piece) {
        EXPECT_EQ(ReadBack(raw, piece), "ab\ncd\r\n\ref\rg\n\n\nh\r") << "piece " << piece;
    }
    for (LONG piece : {1, 2, 3, 4, 100}) {
        EXPECT_EQ(ReadBack(std::string("ab\r\n\x1a") + "cd\r\n", piece), "ab\n") << piece;
    }
    EXPECT_EQ(ReadBack("x\r\x1a\n", 1), "x\r");

    // An unread gives back delivered bytes: a pair read as one line feed comes back as one.
    WriteWholeFile(path, raw);
    TextFile file(path.c_str());
    ASSERT_TRUE(file.Open(false));
    EXPECT_EQ(ReadPiece(file, 3), "ab\n");
    ASSERT_TRUE(file.Unread(2));
    EXPECT_EQ(ReadPiece(file, 3), "b\nc");

    std::string lines;
    for (int i = 0; i < 5000; ++i) {
        lines += "line\r\n";
    }
    EXPECT_EQ(ReadBack(lines, 10000).size(), 25000u)
        << "reads stay full until the end however many returns were dropped";
}

} // namespace
} // namespace Ostrel
