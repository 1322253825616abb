#include "support/FileTestSupport.h"
#include "support/TestSupport.h"
#include "transfer/TextFile.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace Ostrel {
namespace {

// Each textfile/NAME.file read through a text file delivers exactly NAME.text, in reads of every
// size (of some sizes when it is long), with the end staying the end and an Unread giving back
// the bytes delivered last; NAME.text written through a text file, whole or in pieces, is stored
// with a carriage return before each line feed.
TEST(TextFile, FilesDeliverTheirTextAndTextsAreStoredWithTheirLineEnds) {
    ScratchDirectory scratch;
    const std::string path = scratch.Path() + "/text.xml";
    const std::vector<std::string> cases = CasesIn(PRAVELL_TEST_DATA "/textfile", ".file");
    EXPECT_GE(cases.size(), 5u);
    for (const std::string& name : cases) {
        SCOPED_TRACE(name);
        const std::string file = ReadWholeFile(name + ".file");
        const std::string text = ReadWholeFile(name + ".text");
        const bool small = file.size() < 64;
        WriteWholeFile(path, file);
        for (LONG piece = 1; piece <= static_cast<LONG>(file.size()) + 2;
             piece = small ? piece + 1 : piece * 10) {
            TextFile reader(path.c_str());
            ASSERT_TRUE(reader.Open(false));
            std::string all;
            EXPECT_TRUE(ReadInPieces(reader, piece, &all));
            EXPECT_EQ(all, text) << "piece " << piece;
            EXPECT_EQ(ReadPiece(reader, 10), "") << "the end stays the end";
        }
        for (LONG read = 1; small && read <= static_cast<LONG>(text.size()); ++read) {
            for (LONG back : {LONG{1}, read}) {
                TextFile reader(path.c_str());
                ASSERT_TRUE(reader.Open(false));
                EXPECT_EQ(ReadPiece(reader, read), text.substr(0, static_cast<size_t>(read)));
                ASSERT_TRUE(reader.Unread(back));
                EXPECT_EQ(ReadPiece(reader, 100), text.substr(static_cast<size_t>(read - back)))
                    << read << " back " << back;
            }
        }
        for (size_t piece : {text.size(), size_t{7}}) {
            TextFile writer(path.c_str());
            ASSERT_TRUE(writer.Create());
            ASSERT_TRUE(WriteInPieces(writer, text, piece));
            ASSERT_TRUE(writer.Commit());
            EXPECT_EQ(ReadWholeFile(path), OnDisk(text)) << "piece " << piece;
        }
    }
}

// Lines held back for the file reach it before a read, a step back or a commit.
TEST(TextFile, HeldLinesReachTheFileBeforeAReadAnUnreadOrACommit) {
    ScratchDirectory scratch;
    const std::string path = scratch.Path() + "/text.xml";
    TextFile file(path.c_str());
    ASSERT_TRUE(file.Create());
    ASSERT_TRUE(file.Write("head\ntail\n", 10));
    ASSERT_TRUE(file.Unread(3));
    EXPECT_EQ(ReadPiece(file, 100), "il\n");
    ASSERT_TRUE(file.Unread(2));
    ASSERT_TRUE(file.Write("\r\n", 2));
    ASSERT_TRUE(file.Commit());
    EXPECT_EQ(ReadWholeFile(path), "head\r\ntai\r\r\n");
}

} // namespace
} // namespace Ostrel
