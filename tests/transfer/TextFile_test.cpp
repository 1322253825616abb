#include "platform/testsupport.h"
#include "transfer/TextFile.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <random>
#include <string>

namespace Ostrel {
namespace {

std::string ReadPiece(TextFile& file, LONG maxLength) {
    std::string buffer(static_cast<size_t>(maxLength) + 1, '?');
    uint32_t got = 0;
    EXPECT_TRUE(file.Read(&buffer[0], maxLength, &got));
    EXPECT_LE(got, static_cast<uint32_t>(maxLength));
    EXPECT_EQ(buffer[static_cast<size_t>(maxLength)], '?') << "wrote past the buffer";
    buffer.resize(got);
    return buffer;
}

// Reads in pieces of `piece` bytes until a short read, checking that every earlier read was
// full.
std::string ReadInPieces(TextFile& file, LONG piece) {
    std::string all;
    for (;;) {
        const std::string part = ReadPiece(file, piece);
        all += part;
        if (part.size() < static_cast<size_t>(piece)) {
            return all;
        }
    }
}

// What readers must receive from raw file bytes: CR LF as LF, everything from a byte 26 on
// dropped.
std::string Delivered(const std::string& raw) {
    std::string out;
    for (size_t i = 0; i < raw.size() && raw[i] != 26; ++i) {
        if (!(raw[i] == '\r' && i + 1 < raw.size() && raw[i + 1] == '\n')) {
            out += raw[i];
        }
    }
    return out;
}

class TextFileTest : public ::testing::Test {
protected:
    std::string Stored(const std::string& raw) {
        WriteWholeFile(path, raw);
        return path;
    }

    ScratchDirectory scratch;
    std::string path = scratch.Path() + "/text.xml";
};

TEST_F(TextFileTest, LineFeedsAreStoredWithCarriageReturnsAndComeBackAlone) {
    {
        TextFile file(path.c_str());
        ASSERT_TRUE(file.Create());
        ASSERT_TRUE(file.Write("<a>\n", 4));
        ASSERT_TRUE(file.Write("\n\nx", 3));
        ASSERT_TRUE(file.Write("", 0));
        ASSERT_TRUE(file.Write("y\r\n", 3));
        ASSERT_TRUE(file.Commit());
    }
    EXPECT_EQ(ReadWholeFile(path), "<a>\r\n\r\n\r\nxy\r\r\n");
    TextFile file(path.c_str());
    ASSERT_TRUE(file.Open(false));
    EXPECT_EQ(ReadInPieces(file, 100), "<a>\n\n\nxy\r\n");
}

// Writes of every shape (lines longer than any staging, many short lines, no line end) store
// exactly the bytes given, each line feed preceded by a carriage return.
TEST_F(TextFileTest, WritesOfAnyLengthStoreEveryByte) {
    std::mt19937 random(20240602);
    std::string expected;
    {
        TextFile file(path.c_str());
        ASSERT_TRUE(file.Create());
        for (size_t run : {0u, 1u, 4093u, 4094u, 4095u, 4096u, 4097u, 9000u, 20000u}) {
            std::string piece;
            for (int lines = 0; lines < 3; ++lines) {
                piece += std::string(run, static_cast<char>('a' + random() % 26)) + "\n";
            }
            piece += std::string(run / 2, 'z');
            ASSERT_TRUE(file.Write(piece.data(), static_cast<LONG>(piece.size()))) << run;
            for (char c : piece) {
                expected += c == '\n' ? std::string("\r\n") : std::string(1, c);
            }
        }
        std::string shortLines;
        for (int i = 0; i < 3000; ++i) {
            shortLines += std::to_string(i) + "\n";
        }
        ASSERT_TRUE(file.Write(shortLines.data(), static_cast<LONG>(shortLines.size())));
        for (char c : shortLines) {
            expected += c == '\n' ? std::string("\r\n") : std::string(1, c);
        }
        ASSERT_TRUE(file.Commit());
    }
    EXPECT_EQ(ReadWholeFile(path), expected);
}

TEST_F(TextFileTest, PairsSplitAcrossReadsAndLoneReturns) {
    const std::string raw = "ab\r\ncd\r\r\n\ref\rg\n\r\n\r\nh\r";
    const std::string expected = "ab\ncd\r\n\ref\rg\n\n\nh\r";
    Stored(raw);
    for (LONG piece = 1; piece <= static_cast<LONG>(raw.size()) + 2; ++piece) {
        TextFile file(path.c_str());
        ASSERT_TRUE(file.Open(false));
        EXPECT_EQ(ReadInPieces(file, piece), expected) << "piece " << piece;
    }
}

TEST_F(TextFileTest, ReadsStayFullUntilTheEndHoweverManyReturnsWereDropped) {
    std::string raw;
    for (int i = 0; i < 5000; ++i) {
        raw += "line\r\n";
    }
    Stored(raw);
    TextFile file(path.c_str());
    ASSERT_TRUE(file.Open(false));
    const std::string all = ReadInPieces(file, 10000);
    EXPECT_EQ(all.size(), 25000u);
    EXPECT_EQ(all.find('\r'), std::string::npos);
}

TEST_F(TextFileTest, ByteTwentySixEndsTheDataForGood) {
    Stored(std::string("ab\r\n\x1a") + "cd\r\n");
    for (LONG piece : {1, 2, 3, 4, 100}) {
        TextFile file(path.c_str());
        ASSERT_TRUE(file.Open(false));
        EXPECT_EQ(ReadInPieces(file, piece), "ab\n") << piece;
        EXPECT_EQ(ReadPiece(file, 10), "");
        EXPECT_EQ(ReadPiece(file, 10), "");
    }
    Stored("x\r\x1a\n");
    TextFile file(path.c_str());
    ASSERT_TRUE(file.Open(false));
    EXPECT_EQ(ReadInPieces(file, 1), "x\r");
}

TEST_F(TextFileTest, UnreadStepsBackOverDeliveredBytes) {
    Stored(std::string("a\r\nb\r\nc\rd\x1a") + "zz");
    TextFile file(path.c_str());
    ASSERT_TRUE(file.Open(false));
    EXPECT_EQ(ReadPiece(file, 100), "a\nb\nc\rd");
    EXPECT_TRUE(file.Unread(3));
    EXPECT_EQ(ReadPiece(file, 100), "c\rd");
    EXPECT_TRUE(file.Unread(5));
    EXPECT_EQ(ReadPiece(file, 2), "b\n");
    EXPECT_FALSE(file.Unread(5));
    EXPECT_FALSE(file.Unread(-1));
    EXPECT_EQ(ReadPiece(file, 1), "c");
    EXPECT_TRUE(file.Unread(5));
    EXPECT_EQ(ReadPiece(file, 100), "a\nb\nc\rd");
    EXPECT_EQ(ReadPiece(file, 100), "");
}

TEST_F(TextFileTest, UnreadWhileWriting) {
    TextFile file(path.c_str());
    ASSERT_TRUE(file.Create());
    ASSERT_TRUE(file.Write("a\nb\n", 4));
    ASSERT_TRUE(file.Unread(3));
    EXPECT_EQ(ReadPiece(file, 10), "\nb\n");
    ASSERT_TRUE(file.Unread(2));
    ASSERT_TRUE(file.Write("c\n", 2));
    ASSERT_TRUE(file.Commit());
    EXPECT_EQ(ReadWholeFile(path), "a\r\nc\r\n");
}

// Written lines are held back in blocks; stepping back, reading, committing and closing all
// find every byte already in the file.
TEST_F(TextFileTest, HeldBackLinesReachTheFileBeforeAnyOtherOperation) {
    std::string lines;
    for (int i = 0; i < 2000; ++i) {
        lines += "line " + std::to_string(i) + "\n";
    }
    {
        TextFile file(path.c_str());
        ASSERT_TRUE(file.Create());
        ASSERT_TRUE(file.Write(lines.data(), static_cast<LONG>(lines.size())));
        ASSERT_TRUE(file.Write("tail\n", 5));
        ASSERT_TRUE(file.Unread(5));
        EXPECT_EQ(ReadPiece(file, 100), "tail\n");
        ASSERT_TRUE(file.Write("end\n", 4));
        ASSERT_TRUE(file.Commit());
    }
    std::string stored;
    for (char c : lines + "tail\nend\n") {
        stored += c == '\n' ? std::string("\r\n") : std::string(1, c);
    }
    EXPECT_EQ(ReadWholeFile(path), stored);

    // A file closed without a commit that is written in place (here a pipe) gets the held
    // lines when it closes.
    const std::string fifo = scratch.Path() + "/pipe";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    const int reader = open(fifo.c_str(), O_RDONLY | O_NONBLOCK);
    ASSERT_GE(reader, 0);
    {
        TextFile file(fifo.c_str());
        EXPECT_TRUE(file.Create());
        EXPECT_TRUE(file.Write("<piped/>\n", 9));
    }
    char buffer[64];
    const ssize_t got = read(reader, buffer, sizeof buffer);
    close(reader);
    EXPECT_EQ(std::string(buffer, got > 0 ? static_cast<size_t>(got) : 0), "<piped/>\r\n");
}

TEST_F(TextFileTest, RandomReadsAndUnreadsAgreeWithTheTranslation) {
    std::mt19937 random(20240601);
    const char alphabet[] = {'a', 'b', '\r', '\n', '\r', '\n'};
    for (int round = 0; round < 60; ++round) {
        std::string raw;
        const size_t length = random() % 9000;
        for (size_t i = 0; i < length; ++i) {
            raw += alphabet[random() % sizeof alphabet];
        }
        if (round % 4 == 3) {
            raw.insert(random() % (raw.size() + 1), 1, '\x1a');
        }
        Stored(raw);
        const std::string expected = Delivered(raw);
        TextFile file(path.c_str());
        ASSERT_TRUE(file.Open(false));
        size_t position = 0;
        for (int step = 0; step < 200; ++step) {
            const LONG count = static_cast<LONG>(random() % 700);
            if (random() % 3 == 0) {
                const bool possible = static_cast<size_t>(count) <= position;
                ASSERT_EQ(file.Unread(count), possible) << round << "/" << step;
                position -= possible ? static_cast<size_t>(count) : 0;
            } else {
                ASSERT_EQ(ReadPiece(file, count),
                          expected.substr(position, static_cast<size_t>(count)))
                    << round << "/" << step;
                position = std::min(expected.size(), position + static_cast<size_t>(count));
            }
        }
    }
}

} // namespace
} // namespace Ostrel
