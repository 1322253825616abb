// Files that fail under a load in ways only a POSIX system arranges: a directory opened as a
// file, whose reads fail, and a file cut short through another handle while it is being read.
#include "ModelTestSupport.h"
#include "model/XMLModel.h"
#include "support/TestSupport.h"
#include "transfer/BaseDataTransfer.h"
#include "transfer/TextFile.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <string>
#include <vector>

namespace Ostrel {
namespace {

// An opened text file that is cut to `keep` bytes, through a handle of its own, once its first
// read has been answered.
class CutAfterFirstRead : public BaseDataTransfer {
public:
    CutAfterFirstRead(TextFile& file, const std::string& path, off_t keep)
        : file(file), path(path), keep(keep) {}

    bool Write(const void*, LONG) override { return false; }
    bool Read(void* buffer, LONG maxLength, uint32_t* bytesRead) override {
        const bool read = file.Read(buffer, maxLength, bytesRead);
        if (!cut) {
            cut = true;
            EXPECT_EQ(truncate(path.c_str(), keep), 0);
        }
        return read;
    }
    bool Unread(LONG) override { return false; }

private:
    TextFile& file;
    const std::string path;
    const off_t keep;
    bool cut = false;
};

TEST(XMLModelLoad, ADirectoryFailsTheLoadWithTheStreamingMessage) {
    ScratchDirectory directory;
    const Text path(directory.Path().c_str());
    for (const bool compressed : {false, true}) {
        XMLModel model;
        EXPECT_FALSE(compressed ? model.LoadCompressed(path) : model.LoadFile(path));
        EXPECT_EQ(PendingError(model), "XML Parse failed: there was an error streaming in data");
    }
}

// Cut anywhere after the load has begun, before or past what the first read buffered, the file
// gives the parser a beginning of the document and no byte that was not in it, then a failed
// read (its end comes short of the length it had when opened): the load fails with the streaming
// message and keeps the elements of that beginning.
TEST(XMLModelLoad, AFileCutShortWhileItIsReadFailsWithTheStreamingMessage) {
    ScratchDirectory directory;
    const std::string path = directory.Path() + "/doc.xml";
    std::string document = "<doc>\n";
    for (int i = 0; i < 2000; ++i) {
        document += "  <item n='" + std::to_string(i) + "'>text</item>\n";
    }
    document += "</doc>\n";
    XMLModel whole;
    ASSERT_TRUE(whole.LoadString(Text(document.c_str())));
    const std::vector<std::string> allNames = DocumentOrder(whole.Root());
    for (const off_t keep : {0, 100, 9999, 10000, 10500, 25000}) {
        SCOPED_TRACE(keep);
        WriteWholeFile(path, document);
        TextFile file(Text(path.c_str()));
        ASSERT_TRUE(file.Open(false));
        CutAfterFirstRead source(file, path, keep);
        XMLModel model;
        EXPECT_FALSE(model.LoadTransfer(source));
        EXPECT_EQ(PendingError(model), "XML Parse failed: there was an error streaming in data");
        const std::vector<std::string> names = DocumentOrder(model.Root());
        ASSERT_LT(names.size(), allNames.size());
        EXPECT_TRUE(std::equal(names.begin(), names.end(), allNames.begin()));
    }
}

} // namespace
} // namespace Ostrel
