// A container save cut short by a full disk, which only a POSIX process can arrange for itself.
#include "ModelTestSupport.h"
#include "model/XMLModel.h"
#include "support/FileLimits.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace Ostrel {
namespace {

// Whatever length the disk cuts the container at, the old file stays as it was and no temporary
// file is left beside it.
TEST(XMLModelSave, AContainerSaveCutShortLeavesTheOldFileAtEveryLength) {
    const std::string old = "old container bytes";
    ScratchDirectory directory;
    const Text path((directory.Path() + "/doc.pxc").c_str());
    XMLModel model;
    ASSERT_TRUE(model.LoadString(Text("<doc><line n='0'>a&lt;b</line><line n='1'/></doc>")));
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
}

} // namespace
} // namespace Ostrel
