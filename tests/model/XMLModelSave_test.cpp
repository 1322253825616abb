#include "ModelTestSupport.h"
#include "model/XMLModel.h"
#include "support/FileLimits.h"
#include "support/FileTestSupport.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace Ostrel {
namespace {

const Text kDocument("<doc id='1 &amp; \"2\"'>intro<!-- note --><line n='0'>a&lt;b</line>"
                     "<line n='1'>text</line><line n='2'/></doc>");

TEST(XMLModelSave, ARefusedWriteStopsTheSaveAtOnce) {
    XMLModel model;
    ASSERT_TRUE(model.LoadString(kDocument));
    const std::string whole = Saved(model);
    for (size_t limit = 0; limit <= whole.size(); ++limit) {
        SCOPED_TRACE(limit);
        MemoryTransfer target;
        target.writeLimit = limit;
        const bool saved = model.SaveTransfer(target);
        EXPECT_EQ(saved, limit == whole.size());
        EXPECT_EQ(target.bytes, whole.substr(0, target.bytes.size()));
        EXPECT_EQ(target.refusedWrites, saved ? 0 : 1);
        EXPECT_FALSE(model.Errors().HasError()) << "a refused write records nothing";
        EXPECT_EQ(Saved(model), whole);
    }

    // An element without a name cannot be written: nothing would read "</>" back.
    model.Root().ChildAt(0)->ChildAt(2)->CreateChild(Text(""));
    Text out("kept");
    EXPECT_FALSE(model.SaveString(out));
    EXPECT_EQ(out, "kept");
    EXPECT_FALSE(model.Errors().HasError());
}

// A container save that fails, for want of room or of an element name, leaves the old file as
// it was and no temporary file beside it.
TEST(XMLModelSave, AFailedContainerSaveLeavesTheOldFileAtEveryLength) {
    const std::string old = "old container bytes";
    ScratchDirectory directory;
    const Text path((directory.Path() + "/doc.pxc").c_str());
    XMLModel model;
    ASSERT_TRUE(model.LoadString(kDocument));
    ASSERT_TRUE(model.SaveCompressed(path));
    const std::string container = ReadWholeFile(path.c_str());

    for (size_t limit = 0; limit <= container.size(); ++limit) {
        SCOPED_TRACE(limit);
        WriteWholeFile(path.c_str(), old);
        bool saved = false;
        {
            FileSizeLimit disk(limit);
            saved = model.SaveCompressed(path);
        }
        EXPECT_EQ(saved, limit == container.size());
        EXPECT_EQ(ReadWholeFile(path.c_str()), saved ? container : old);
        EXPECT_EQ(ListDirectory(directory.Path()), std::vector<std::string>{"doc.pxc"});
    }

    WriteWholeFile(path.c_str(), old);
    model.Root().ChildAt(0)->ChildAt(1)->CreateChild(Text(""));
    EXPECT_FALSE(model.SaveCompressed(path));
    EXPECT_EQ(ReadWholeFile(path.c_str()), old);
    EXPECT_EQ(ListDirectory(directory.Path()), std::vector<std::string>{"doc.pxc"});
    EXPECT_FALSE(model.Errors().HasError());
}

} // namespace
} // namespace Ostrel
