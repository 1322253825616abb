#include "FileTestSupport.h"
#include "platform/testsupport.h"
#include "transfer/DataFile.h"
#include "transfer/StreamCompression.h"
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

std::string Lines(size_t count) {
    std::string text;
    for (size_t i = 0; i < count; ++i) {
        text += "   <line n='" + std::to_string(i) + "'>some text</line>\n";
    }
    return text;
}

// Saves through a text file one line per Write; true when every Write and the Commit succeeded.
bool SaveText(const std::string& path, const std::string& text) {
    TextFile file(path.c_str());
    if (!file.Create()) {
        return false;
    }
    for (size_t at = 0; at < text.size();) {
        const size_t end = std::min(text.find('\n', at), text.size() - 1) + 1;
        if (!file.Write(text.data() + at, static_cast<LONG>(end - at))) {
            return false;
        }
        at = end;
    }
    return file.Commit();
}

bool SaveContainer(const std::string& path, const std::string& document) {
    DataFile file(path.c_str());
    if (!file.Create()) {
        return false;
    }
    bool written = true;
    {
        StreamCompression stream(&file, 1000);
        for (size_t at = 0; at < document.size() && written; at += 700) {
            const std::string piece = document.substr(at, 700);
            written = stream.Write(piece.data(), static_cast<LONG>(piece.size()));
        }
        written = written && stream.Finish();
    }
    return written && file.Commit();
}

std::string OnDisk(const std::string& text) {
    std::string stored;
    for (char c : text) {
        stored += c == '\n' ? std::string("\r\n") : std::string(1, c);
    }
    return stored;
}

mode_t ModeOf(const std::string& path) {
    struct stat info;
    return stat(path.c_str(), &info) == 0 ? info.st_mode & 07777 : 0;
}

class SaveTest : public ::testing::Test {
protected:
    void SetUp() override { WriteWholeFile(path, kOld); }

    std::vector<std::string> Listing() const { return ListDirectory(scratch.Path()); }

    ScratchDirectory scratch;
    std::string path = scratch.Path() + "/doc.xml";
    const std::vector<std::string> justTheDocument{"doc.xml"};
};

TEST_F(SaveTest, CommitReplacesTheFileAndLeavesNothingElse) {
    ASSERT_TRUE(SaveText(path, "<new/>\n"));
    EXPECT_EQ(ReadWholeFile(path), "<new/>\r\n");
    EXPECT_EQ(Listing(), justTheDocument);

    const std::string fresh = scratch.Path() + "/fresh.xml";
    ASSERT_TRUE(SaveText(fresh, "<fresh/>\n"));
    EXPECT_EQ(ReadWholeFile(fresh), "<fresh/>\r\n");
    EXPECT_EQ(Listing(), (std::vector<std::string>{"doc.xml", "fresh.xml"}));
}

TEST_F(SaveTest, WithoutCommitThePreviousFileStays) {
    {
        TextFile file(path.c_str());
        ASSERT_TRUE(file.Create());
        ASSERT_TRUE(file.Write("<new/>\n", 7));
    }
    {
        TextFile file(path.c_str());
        ASSERT_TRUE(file.Create());
        ASSERT_TRUE(file.Write(Lines(3000).data(), 100000));
        EXPECT_TRUE(file.Close());
        EXPECT_FALSE(file.Commit());
    }
    {
        TextFile file((scratch.Path() + "/never.xml").c_str());
        ASSERT_TRUE(file.Create());
        ASSERT_TRUE(file.Write("<new/>\n", 7));
    }
    EXPECT_EQ(ReadWholeFile(path), kOld);
    EXPECT_EQ(Listing(), justTheDocument);
}

TEST_F(SaveTest, RefusedWritesAtEveryLengthLeaveTheOldTextFile) {
    const std::string text = Lines(60);
    const size_t stored = OnDisk(text).size();
    for (size_t limit = 0; limit < stored; ++limit) {
        FileSizeLimit sizeLimit(limit);
        ASSERT_FALSE(SaveText(path, text)) << limit;
        ASSERT_EQ(ReadWholeFile(path), kOld) << limit;
        ASSERT_EQ(Listing(), justTheDocument) << limit;
    }
    const std::string large = Lines(6000);
    for (size_t limit : {size_t{1}, GenericFile::kWriteBufferSize - 1,
                         GenericFile::kWriteBufferSize, GenericFile::kWriteBufferSize + 1,
                         3 * GenericFile::kWriteBufferSize, OnDisk(large).size() - 1}) {
        FileSizeLimit sizeLimit(limit);
        EXPECT_FALSE(SaveText(path, large)) << limit;
        EXPECT_EQ(ReadWholeFile(path), kOld) << limit;
        EXPECT_EQ(Listing(), justTheDocument) << limit;
    }
    {
        FileSizeLimit sizeLimit(stored);
        ASSERT_TRUE(SaveText(path, text));
    }
    EXPECT_EQ(ReadWholeFile(path), OnDisk(text));
}

TEST_F(SaveTest, RefusedWritesAtEveryLengthLeaveTheOldContainer) {
    const std::string document = Lines(70);
    const std::string container = scratch.Path() + "/doc.xml";
    ASSERT_TRUE(SaveContainer(container, document));
    const std::string saved = ReadWholeFile(container);
    WriteWholeFile(container, kOld);
    for (size_t limit = 0; limit < saved.size(); ++limit) {
        FileSizeLimit sizeLimit(limit);
        ASSERT_FALSE(SaveContainer(container, document)) << limit;
        ASSERT_EQ(ReadWholeFile(container), kOld) << limit;
        ASSERT_EQ(Listing(), justTheDocument) << limit;
    }
}

TEST_F(SaveTest, AFailedWriteIsRememberedUntilCommit) {
    TextFile file(path.c_str());
    ASSERT_TRUE(file.Create());
    const std::string text = Lines(3000);
    {
        FileSizeLimit sizeLimit(1000);
        EXPECT_FALSE(file.Write(text.data(), static_cast<LONG>(text.size())));
    }
    EXPECT_TRUE(file.Write("<more/>\n", 8));
    EXPECT_FALSE(file.Commit());
    EXPECT_EQ(ReadWholeFile(path), kOld);
    EXPECT_EQ(Listing(), justTheDocument);
}

TEST_F(SaveTest, ModeIsKeptAndNewFilesFollowTheUmask) {
    ASSERT_EQ(chmod(path.c_str(), 0640), 0);
    ASSERT_TRUE(SaveText(path, "<a/>\n"));
    EXPECT_EQ(ModeOf(path), 0640u);
    ASSERT_EQ(chmod(path.c_str(), 0604), 0);
    ASSERT_TRUE(SaveText(path, "<b/>\n"));
    EXPECT_EQ(ModeOf(path), 0604u);

    const mode_t previous = umask(027);
    EXPECT_TRUE(SaveText(scratch.Path() + "/new1.xml", "<a/>\n"));
    umask(022);
    EXPECT_TRUE(SaveText(scratch.Path() + "/new2.xml", "<a/>\n"));
    umask(previous);
    EXPECT_EQ(ModeOf(scratch.Path() + "/new1.xml"), 0640u);
    EXPECT_EQ(ModeOf(scratch.Path() + "/new2.xml"), 0644u);
}

TEST_F(SaveTest, SymbolicLinksAreFollowedAndStay) {
    ASSERT_EQ(mkdir((scratch.Path() + "/real").c_str(), 0755), 0);
    const std::string real = scratch.Path() + "/real/doc.xml";
    WriteWholeFile(real, kOld);
    const std::string link = scratch.Path() + "/link.xml";
    const std::string linkToLink = scratch.Path() + "/real/link2.xml";
    ASSERT_EQ(symlink("real/doc.xml", link.c_str()), 0);
    ASSERT_EQ(symlink("../link.xml", linkToLink.c_str()), 0);

    ASSERT_TRUE(SaveText(link, "<one/>\n"));
    EXPECT_EQ(ReadWholeFile(real), "<one/>\r\n");
    ASSERT_TRUE(SaveText(linkToLink, "<two/>\n"));
    EXPECT_EQ(ReadWholeFile(real), "<two/>\r\n");
    struct stat info;
    ASSERT_EQ(lstat(link.c_str(), &info), 0);
    EXPECT_TRUE(S_ISLNK(info.st_mode));
    ASSERT_EQ(lstat(linkToLink.c_str(), &info), 0);
    EXPECT_TRUE(S_ISLNK(info.st_mode));
    EXPECT_EQ(ListDirectory(scratch.Path() + "/real"),
              (std::vector<std::string>{"doc.xml", "link2.xml"}));

    const std::string dangling = scratch.Path() + "/dangling.xml";
    ASSERT_EQ(symlink("real/created.xml", dangling.c_str()), 0);
    ASSERT_TRUE(SaveText(dangling, "<three/>\n"));
    EXPECT_EQ(ReadWholeFile(scratch.Path() + "/real/created.xml"), "<three/>\r\n");

    const std::string loop = scratch.Path() + "/loop.xml";
    ASSERT_EQ(symlink("loop.xml", loop.c_str()), 0);
    TextFile looping(loop.c_str());
    EXPECT_FALSE(looping.Create());
}

TEST_F(SaveTest, APipeIsWrittenInPlace) {
    const std::string fifo = scratch.Path() + "/pipe";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    const int reader = open(fifo.c_str(), O_RDONLY | O_NONBLOCK);
    ASSERT_GE(reader, 0);
    ASSERT_TRUE(SaveText(fifo, "<piped/>\n"));
    char buffer[64];
    const ssize_t got = read(reader, buffer, sizeof buffer);
    close(reader);
    EXPECT_EQ(std::string(buffer, got > 0 ? static_cast<size_t>(got) : 0), "<piped/>\r\n");
    struct stat info;
    ASSERT_EQ(lstat(fifo.c_str(), &info), 0);
    EXPECT_TRUE(S_ISFIFO(info.st_mode));
    EXPECT_EQ(Listing(), (std::vector<std::string>{"doc.xml", "pipe"}));

    DataFile device("/dev/null");
    ASSERT_TRUE(device.Create());
    EXPECT_TRUE(device.Write("x", 1));
    EXPECT_TRUE(device.Commit());
}

TEST_F(SaveTest, AWritableFileInAReadOnlyDirectoryIsWrittenInPlace) {
    const std::string directory = scratch.Path() + "/locked";
    ASSERT_EQ(mkdir(directory.c_str(), 0755), 0);
    const std::string inside = directory + "/doc.xml";
    WriteWholeFile(inside, kOld);
    ASSERT_EQ(chmod(directory.c_str(), 0555), 0);
    EXPECT_TRUE(RunObeyingPermissions([&] {
        TextFile absent((directory + "/new.xml").c_str());
        return SaveText(inside, "<in-place/>\n") && !absent.Create();
    }));
    EXPECT_EQ(ReadWholeFile(inside), "<in-place/>\r\n");
    EXPECT_EQ(ListDirectory(directory), justTheDocument);
    chmod(directory.c_str(), 0755);
}

TEST_F(SaveTest, AFileThatMayNotBeWrittenIsNotReplaced) {
    ASSERT_EQ(chmod(path.c_str(), 0444), 0);
    EXPECT_TRUE(RunObeyingPermissions([&] {
        TextFile file(path.c_str());
        return !file.Create();
    }));
    EXPECT_EQ(ReadWholeFile(path), kOld);
    EXPECT_EQ(Listing(), justTheDocument);
}

TEST_F(SaveTest, NoDirectoryNoFile) {
    TextFile file((scratch.Path() + "/missing/doc.xml").c_str());
    EXPECT_FALSE(file.Create());
    EXPECT_EQ(Listing(), justTheDocument);
}

TEST(EmptyPath, CreatesAFreshFileInTheTemporaryDirectory) {
    ScratchDirectory temporary;
    const char* previous = std::getenv("TMPDIR");
    const std::string saved = previous != nullptr ? previous : "";
    setenv("TMPDIR", temporary.Path().c_str(), 1);
    {
        TextFile dropped("");
        ASSERT_TRUE(dropped.Create());
        ASSERT_TRUE(dropped.Write("x\n", 2));
        EXPECT_EQ(ListDirectory(temporary.Path()).size(), 1u);
    }
    EXPECT_TRUE(ListDirectory(temporary.Path()).empty());
    TextFile kept("");
    ASSERT_TRUE(kept.Create());
    ASSERT_TRUE(kept.Write("x\n", 2));
    ASSERT_TRUE(kept.Commit());
    EXPECT_TRUE(kept.GetName().IsEmpty());
    const std::vector<std::string> names = ListDirectory(temporary.Path());
    ASSERT_EQ(names.size(), 1u);
    EXPECT_EQ(names[0].rfind("pravell-", 0), 0u);
    EXPECT_EQ(ReadWholeFile(temporary.Path() + "/" + names[0]), "x\r\n");
    if (previous != nullptr) {
        setenv("TMPDIR", saved.c_str(), 1);
    } else {
        unsetenv("TMPDIR");
    }
}

} // namespace
} // namespace Ostrel
