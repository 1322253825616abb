#include "ModelTestSupport.h"
#include "model/XMLModel.h"
#include "support/FileTestSupport.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace Ostrel {
namespace {

const std::string kOld = "old container bytes";

void BuildSample(XMLModel& model) {
    ASSERT_TRUE(model.LoadString(Text("<doc v='1'>text<!--c--><a>x&amp;y</a><b/><c>z</c></doc>")));
}

class XMLModelContainer : public ::testing::Test {
protected:
    bool Save(XMLModel& model) { return model.SaveCompressed(Text(path.c_str())); }

    ScratchDirectory directory;
    const std::string path = directory.Path() + "/doc.pxc";
};

TEST_F(XMLModelContainer, AFailedSaveLeavesTheOldFileAtEveryLength) {
    XMLModel model;
    BuildSample(model);
    ASSERT_TRUE(Save(model));
    const std::string container = ReadWholeFile(path);

    for (size_t limit = 0; limit <= container.size(); ++limit) {
        SCOPED_TRACE(limit);
        WriteWholeFile(path, kOld);
        bool saved = false;
        {
            FileSizeLimit disk(limit);
            saved = Save(model);
        }
        EXPECT_EQ(saved, limit == container.size());
        EXPECT_EQ(ReadWholeFile(path), saved ? container : kOld);
        EXPECT_EQ(ListDirectory(directory.Path()), std::vector<std::string>{"doc.pxc"});
    }

    // A save that fails for want of an element name, not of room, keeps the old file too.
    WriteWholeFile(path, kOld);
    model.Root().ChildAt(0)->ChildAt(1)->CreateChild(Text(""));
    EXPECT_FALSE(Save(model));
    EXPECT_EQ(ReadWholeFile(path), kOld);
    EXPECT_EQ(ListDirectory(directory.Path()), std::vector<std::string>{"doc.pxc"});
    EXPECT_FALSE(model.Errors().HasError());
}

} // namespace
} // namespace Ostrel
