#include "ModelTestSupport.h"
#include "model/XMLModel.h"
#include "platform/testsupport.h"
#include "transfer/FileTestSupport.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace Ostrel {
namespace {

const std::string kOld = "old container bytes";

void BuildSample(XMLModel& model) {
    ASSERT_TRUE(model.LoadString(Text("<doc v='1'>text<!--c--><a>x&amp;y</a><b/><c>z</c></doc>")));
}

// Text that compresses badly, so that a document of it spans several container blocks.
std::string Noise(size_t length) {
    std::string noise;
    uint32_t state = 12345;
    while (noise.size() < length) {
        state = state * 1103515245 + 12345;
        noise += static_cast<char>('a' + (state >> 16) % 26);
    }
    return noise;
}

class XMLModelContainer : public ::testing::Test {
protected:
    bool Load(XMLModel& model) { return model.LoadCompressed(Text(path.c_str())); }
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
        const bool saved = WithDiskLimit(limit, [&] { return Save(model); });
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

TEST_F(XMLModelContainer, DocumentsOfSeveralBlocksSurviveOnlyWhole) {
    XMLModel model;
    XMLNode* doc = model.Root().CreateChild(Text("doc"));
    for (int i = 0; i < 3; ++i) {
        doc->CreateChild(Text("part"))->SetText(Text(Noise(XMLModel::kContainerBlockSize).c_str()));
    }
    ASSERT_TRUE(Save(model));
    const std::string container = ReadWholeFile(path);
    XMLModel reloaded;
    ASSERT_TRUE(Load(reloaded));
    EXPECT_EQ(Saved(reloaded), Saved(model));

    // Refused in a later block and in the closing one.
    for (size_t limit : {container.size() / 2, container.size() - 1}) {
        SCOPED_TRACE(limit);
        WriteWholeFile(path, kOld);
        EXPECT_FALSE(WithDiskLimit(limit, [&] { return Save(model); }));
        EXPECT_EQ(ReadWholeFile(path), kOld);
    }
}

} // namespace
} // namespace Ostrel
