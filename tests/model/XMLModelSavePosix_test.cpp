// A save cut short by a full disk or killed in a child process, which only a POSIX process can
// arrange for itself.
#include "model/XMLModel.h"
#include "support/FileLimits.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <string>
#include <vector>

namespace Ostrel {
namespace {

// Saves the model as text or as a container.
bool Save(XMLModel& model, const Text& path, bool compressed) {
    return compressed ? model.SaveCompressed(path) : model.SaveFile(path);
}

// Whatever length the disk cuts a save at, text or container, the old file stays as it was and no
// temporary file is left beside it.
TEST(XMLModelSave, ASaveCutShortLeavesTheOldFileAtEveryLength) {
    ScratchDirectory directory;
    const Text path((directory.Path() + "/doc").c_str());
    XMLModel model;
    ASSERT_TRUE(model.LoadString(Text("<doc><line n='0'>a&lt;b</line><line n='1'/></doc>")));
    for (const bool compressed : {false, true}) {
        ASSERT_TRUE(Save(model, path, compressed));
        const std::string saved = ReadWholeFile(path.c_str());
        for (size_t limit = 0; limit <= saved.size(); ++limit) {
            SCOPED_TRACE(std::to_string(limit) + (compressed ? " container" : " text"));
            WriteWholeFile(path.c_str(), "old document bytes");
            bool done = false;
            {
                FileSizeLimit disk(limit);
                done = Save(model, path, compressed);
            }
            EXPECT_EQ(done, limit == saved.size());
            EXPECT_EQ(ReadWholeFile(path.c_str()), done ? saved : "old document bytes");
            EXPECT_EQ(ListDirectory(directory.Path()), std::vector<std::string>{"doc"});
        }
    }
}

// A save killed by SIGKILL in a child process at moments spread over its run, and past it: the
// file is always the old document or the whole new one, and the temporary files that the killed
// saves leave beside it do not stop the next save.
TEST(XMLModelSave, ASaveKilledAnywhereLeavesTheOldFileOrTheWholeNewOne) {
    ScratchDirectory directory;
    const Text path((directory.Path() + "/doc").c_str());
    XMLModel model;
    std::string document = "<doc>";
    for (int i = 0; i < 20000; ++i) {
        document += "<item n='" + std::to_string(i) + "'>value &amp; more</item>";
    }
    ASSERT_TRUE(model.LoadString(Text((document + "</doc>").c_str())));
    for (const bool compressed : {false, true}) {
        SCOPED_TRACE(compressed ? "container" : "text");
        // Kills fall from the start to half as long again as a whole save takes.
        const auto started = std::chrono::steady_clock::now();
        ASSERT_TRUE(Save(model, path, compressed));
        const auto saveTime = std::chrono::duration_cast<std::chrono::microseconds>(
            std::chrono::steady_clock::now() - started);
        const std::string saved = ReadWholeFile(path.c_str());
        for (int round = 0; round < 16; ++round) {
            WriteWholeFile(path.c_str(), "<old/>\r\n");
            const pid_t child = fork();
            ASSERT_GE(child, 0);
            if (child == 0) {
                _exit(Save(model, path, compressed) ? 0 : 1);
            }
            usleep(static_cast<useconds_t>(saveTime.count() * 3 / 2 * round / 16));
            kill(child, SIGKILL);
            int status = 0;
            ASSERT_EQ(waitpid(child, &status, 0), child);
            EXPECT_TRUE(WIFSIGNALED(status) || (WIFEXITED(status) && WEXITSTATUS(status) == 0));
            const std::string left = ReadWholeFile(path.c_str());
            EXPECT_TRUE(left == "<old/>\r\n" || left == saved) << left.size() << " bytes";
        }
        ASSERT_TRUE(Save(model, path, compressed))
            << "past the temporary files of the killed saves";
        EXPECT_EQ(ReadWholeFile(path.c_str()), saved);
    }
}

} // namespace
} // namespace Ostrel
