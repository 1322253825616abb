#include "support/FileLimits.h"
#include "support/FileTestSupport.h"
#include "support/TestSupport.h"
#include "transfer/TextFile.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <string>
#include <vector>

namespace Ostrel {
namespace {

const std::string kOld = "<old>previous document</old>\r\n";

// Saves through a text file in pieces; true when every Write and the Commit succeeded.
bool SaveText(const std::string& path, const std::string& text) {
    TextFile file(path.c_str());
    return file.Create() && WriteInPieces(file, text, 37) && file.Commit();
}

mode_t ModeOf(const std::string& path) {
    struct stat info;
    return stat(path.c_str(), &info) == 0 ? info.st_mode & 07777 : 0;
}

class SaveTest : public ::testing::Test {
protected:
    void SetUp() override { WriteWholeFile(path, kOld); }

    // The old document is intact and nothing else was left beside it.
    void ExpectUntouched() const {
        EXPECT_EQ(ReadWholeFile(path), kOld);
        EXPECT_EQ(ListDirectory(scratch.Path()), justTheDocument);
    }

    ScratchDirectory scratch;
    std::string path = scratch.Path() + "/doc.xml";
    const std::vector<std::string> justTheDocument{"doc.xml"};
};

// Closed without a commit, after a refused write (remembered until the commit, however many
// writes pass after it), cut short by a full disk anywhere (in a write or in the commit's
// flush), or in a missing directory, a save leaves the old file as it was and nothing beside it.
TEST_F(SaveTest, OnlyACompleteCommitReplacesTheFile) {
    std::string text;
    for (int i = 0; i < 6000; ++i) {
        text += "   <line n='" + std::to_string(i) + "'>some text</line>\n";
    }
    {
        TextFile file(path.c_str());
        ASSERT_TRUE(file.Create());
        ASSERT_TRUE(file.Write(text.data(), 100000));
        EXPECT_TRUE(file.Close());
        EXPECT_FALSE(file.Commit());
    }
    {
        TextFile file(path.c_str());
        ASSERT_TRUE(file.Create());
        {
            FileSizeLimit sizeLimit(1000);
            EXPECT_FALSE(file.Write(text.data(), static_cast<LONG>(text.size())));
        }
        EXPECT_TRUE(file.Write("<more/>\n", 8));
        EXPECT_FALSE(file.Commit());
    }
    for (size_t limit : {size_t{0}, size_t{1}, GenericFile::kWriteBufferSize - 1,
                         GenericFile::kWriteBufferSize, OnDisk(text).size() - 1}) {
        FileSizeLimit sizeLimit(limit);
        EXPECT_FALSE(SaveText(path, text)) << limit;
    }
    TextFile noDirectory((scratch.Path() + "/missing/doc.xml").c_str());
    EXPECT_FALSE(noDirectory.Create());
    ExpectUntouched();
    ASSERT_TRUE(SaveText(path, text));
    EXPECT_EQ(ReadWholeFile(path), OnDisk(text));
    EXPECT_EQ(ListDirectory(scratch.Path()), justTheDocument);
}

TEST_F(SaveTest, ModeIsKeptAndNewFilesFollowTheUmask) {
    ASSERT_EQ(chmod(path.c_str(), 0604), 0);
    ASSERT_TRUE(SaveText(path, "<b/>\n"));
    EXPECT_EQ(ModeOf(path), 0604u);
    const mode_t previous = umask(027);
    EXPECT_TRUE(SaveText(scratch.Path() + "/new.xml", "<a/>\n"));
    umask(previous);
    EXPECT_EQ(ModeOf(scratch.Path() + "/new.xml"), 0640u);
}

TEST_F(SaveTest, SymbolicLinksAreFollowedAndStay) {
    ASSERT_EQ(mkdir((scratch.Path() + "/real").c_str(), 0755), 0);
    const std::string real = scratch.Path() + "/real/doc.xml";
    const std::string link = scratch.Path() + "/link.xml";
    const std::string linkToLink = scratch.Path() + "/real/link2.xml";
    ASSERT_EQ(symlink("real/doc.xml", link.c_str()), 0);
    ASSERT_EQ(symlink("../link.xml", linkToLink.c_str()), 0);
    ASSERT_TRUE(SaveText(link, "<one/>\n")) << "a dangling link creates its target";
    EXPECT_EQ(ReadWholeFile(real), "<one/>\r\n");
    ASSERT_TRUE(SaveText(linkToLink, "<two/>\n"));
    EXPECT_EQ(ReadWholeFile(real), "<two/>\r\n");
    struct stat info;
    ASSERT_EQ(lstat(linkToLink.c_str(), &info), 0);
    EXPECT_TRUE(S_ISLNK(info.st_mode));
    EXPECT_EQ(ListDirectory(scratch.Path() + "/real"),
              (std::vector<std::string>{"doc.xml", "link2.xml"}));

    const std::string loop = scratch.Path() + "/loop.xml";
    ASSERT_EQ(symlink("loop.xml", loop.c_str()), 0);
    TextFile looping(loop.c_str());
    EXPECT_FALSE(looping.Create());
}

// A pipe or a device is written in place; a pipe closed without a commit still gets the lines
// held back for it.
TEST_F(SaveTest, PipesAndDevicesAreWrittenInPlace) {
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
    EXPECT_EQ(ListDirectory(scratch.Path()), (std::vector<std::string>{"doc.xml", "pipe"}));

    EXPECT_TRUE(SaveText("/dev/null", "x\n"));
}

TEST_F(SaveTest, PermissionsDecideBetweenInPlaceAndRefused) {
    const std::string directory = scratch.Path() + "/locked";
    ASSERT_EQ(mkdir(directory.c_str(), 0755), 0);
    const std::string inside = directory + "/doc.xml";
    WriteWholeFile(inside, kOld);
    ASSERT_EQ(chmod(directory.c_str(), 0555), 0);
    ASSERT_EQ(chmod(path.c_str(), 0444), 0);
    EXPECT_TRUE(RunObeyingPermissions([&] {
        TextFile absent((directory + "/new.xml").c_str());
        TextFile readOnly(path.c_str());
        return SaveText(inside, "<in-place/>\n") && !absent.Create() && !readOnly.Create();
    }));
    EXPECT_EQ(ReadWholeFile(inside), "<in-place/>\r\n") << "a writable file in a locked folder";
    EXPECT_EQ(ListDirectory(directory), justTheDocument);
    chmod(directory.c_str(), 0755);
    EXPECT_EQ(ReadWholeFile(path), kOld);
}

TEST_F(SaveTest, AnEmptyPathMakesAFreshFileInTheTemporaryDirectory) {
    const char* previous = std::getenv("TMPDIR");
    const std::string saved = previous != nullptr ? previous : "";
    setenv("TMPDIR", scratch.Path().c_str(), 1);
    {
        TextFile dropped("");
        EXPECT_TRUE(dropped.Create());
        EXPECT_EQ(ListDirectory(scratch.Path()).size(), 2u);
    }
    ExpectUntouched();
    TextFile kept("");
    const bool committed = kept.Create() && kept.Write("x\n", 2) && kept.Commit();
    previous != nullptr ? setenv("TMPDIR", saved.c_str(), 1) : unsetenv("TMPDIR");
    ASSERT_TRUE(committed);
    const std::vector<std::string> names = ListDirectory(scratch.Path());
    ASSERT_EQ(names.size(), 2u);
    EXPECT_EQ(names[1].rfind("pravell-", 0), 0u);
    EXPECT_EQ(ReadWholeFile(scratch.Path() + "/" + names[1]), "x\r\n");
}

} // namespace
} // namespace Ostrel
