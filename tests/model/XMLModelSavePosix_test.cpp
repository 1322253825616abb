// A save cut short by a full disk, which only a POSIX process can arrange for itself.
#include "ModelTestSupport.h"
#include "model/XMLModel.h"
#include "support/FileLimits.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace Ostrel {
namespace {

// Whatever length the disk cuts a save at, text or container, the old file stays as it was and no
// temporary file is left beside it.
TEST(XMLModelSave, ASaveCutShortLeavesTheOldFileAtEveryLength) {
    const std::string old = "old document bytes";
    ScratchDirectory directory;
    const Text path((directory.Path() + "/doc").c_str());
    XMLModel model;
    ASSERT_TRUE(model.LoadString(Text("<doc><line n='0'>a&lt;b</line><line n='1'/></doc>")));
    for (const bool compressed : {false, true}) {
        SCOPED_TRACE(compressed ? "container" : "text");
        const auto save = [&] {
            return compressed ? model.SaveCompressed(path) : model.SaveFile(path);
        };
        ASSERT_TRUE(save());
        const std::string saved = ReadWholeFile(path.c_str());
        for (size_t limit = 0; limit <= saved.size(); ++limit) {
            SCOPED_TRACE(limit);
            WriteWholeFile(path.c_str(), old);
            bool done = false;
            {
                FileSizeLimit disk(limit);
                done = save();
            }
            EXPECT_EQ(done, limit == saved.size());
            EXPECT_EQ(ReadWholeFile(path.c_str()), done ? saved : old);
            EXPECT_EQ(ListDirectory(directory.Path()), std::vector<std::string>{"doc"});
        }
    }
}

} // namespace
} // namespace Ostrel
