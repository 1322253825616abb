// What transfers do where only a POSIX system can arrange or observe it: a directory opened as a
// file, a full disk, a save killed midway, modes and the umask, symbolic links, pipes and
// devices, permissions, and the heap a compressed save holds.
#include "SaveTest.h"
#include "support/FileLimits.h"
#include "transfer/DataFile.h"
#include "transfer/StreamCompression.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <malloc.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <string>
#include <vector>

namespace Ostrel {
namespace {

mode_t ModeOf(const std::string& path) {
    struct stat info;
    return stat(path.c_str(), &info) == 0 ? info.st_mode & 07777 : 0;
}

// A POSIX system opens a directory as a file and fails its reads (Windows refuses the open). A
// file cut short through another handle after it was opened ends before the length it had then:
// that is a failed read too, never a shorter document.
TEST(GenericFile, AReadErrorIsNotTheEnd) {
    ScratchDirectory scratch;
    DataFile directory(scratch.Path().c_str());
    ASSERT_TRUE(directory.Open(false));
    std::string rest;
    EXPECT_FALSE(ReadInPieces(directory, 16, &rest));
    const std::string path = scratch.Path() + "/cut";
    WriteWholeFile(path, std::string(40000, 'x'));
    DataFile file(path.c_str());
    ASSERT_TRUE(file.Open(false));
    EXPECT_EQ(ReadPiece(file, 16), std::string(16, 'x'));
    ASSERT_EQ(truncate(path.c_str(), 20000), 0);
    EXPECT_FALSE(ReadInPieces(file, 4096, &rest));
}

// After a refused write (remembered until the commit, however many writes pass after it), or cut
// short by a full disk anywhere (in a write or in the commit's flush), a save leaves the old file
// as it was and nothing beside it.
TEST_F(SaveTest, AFullDiskAnywhereLeavesTheOldFile) {
    const std::string text = LongText();
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
    for (size_t limit : {size_t{0}, GenericFile::kWriteBufferSize, OnDisk(text).size() - 1}) {
        FileSizeLimit sizeLimit(limit);
        EXPECT_FALSE(SaveText(path, text)) << limit;
    }
    ExpectUntouched();
}

// A save killed by SIGKILL in a child process at moments spread over its run, and past it: the
// file is always the old document or the whole new one, and the temporary files that the killed
// saves leave beside it do not stop the next save.
TEST_F(SaveTest, ASaveKilledAnywhereLeavesTheOldFileOrTheWholeNewOne) {
    const std::string text = LongText();
    // Kills fall from the start to half as long again as a whole save takes.
    const auto started = std::chrono::steady_clock::now();
    ASSERT_TRUE(SaveText(path, text));
    const auto saveTime = std::chrono::duration_cast<std::chrono::microseconds>(
        std::chrono::steady_clock::now() - started);
    for (int round = 0; round < 16; ++round) {
        WriteWholeFile(path, kOld);
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            _exit(SaveText(path, text) ? 0 : 1);
        }
        usleep(static_cast<useconds_t>(saveTime.count() * 3 / 2 * round / 16));
        kill(child, SIGKILL);
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        EXPECT_TRUE(WIFSIGNALED(status) || (WIFEXITED(status) && WEXITSTATUS(status) == 0));
        const std::string left = ReadWholeFile(path);
        EXPECT_TRUE(left == kOld || left == OnDisk(text)) << left.size() << " bytes";
    }
    ASSERT_TRUE(SaveText(path, text)) << "past the temporary files of the killed saves";
    EXPECT_EQ(ReadWholeFile(path), OnDisk(text));
}

// A chain of links is followed to the file it ends at: a dangling chain creates it, the next save
// replaces it, and the links stay; a loop is refused.
TEST_F(SaveTest, SymbolicLinksAreFollowedAndStay) {
    ASSERT_EQ(mkdir((scratch.Path() + "/real").c_str(), 0755), 0);
    const std::string real = scratch.Path() + "/real/doc.xml";
    const std::string link = scratch.Path() + "/link.xml";
    const std::string linkToLink = scratch.Path() + "/real/link2.xml";
    ASSERT_EQ(symlink("real/doc.xml", link.c_str()), 0);
    ASSERT_EQ(symlink("../link.xml", linkToLink.c_str()), 0);
    ASSERT_TRUE(SaveText(linkToLink, "<one/>\n"));
    ASSERT_TRUE(SaveText(linkToLink, "<two/>\n"));
    EXPECT_EQ(ReadWholeFile(real), "<two/>\r\n");
    EXPECT_EQ(ListDirectory(scratch.Path() + "/real"),
              (std::vector<std::string>{"doc.xml", "link2.xml"}));
    const std::string loop = scratch.Path() + "/loop.xml";
    ASSERT_EQ(symlink("loop.xml", loop.c_str()), 0);
    EXPECT_FALSE(SaveText(loop, "<three/>\n"));
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
    // A null device of the test's own where the test may make one (as root, whose save would
    // otherwise replace the machine's /dev/null if this fault came back), else the machine's.
    const std::string own = scratch.Path() + "/null";
    const std::string device =
        mknod(own.c_str(), S_IFCHR | 0666, makedev(1, 3)) == 0 ? own : "/dev/null";
    EXPECT_TRUE(SaveText(device, "x\n"));
    struct stat status {};
    EXPECT_TRUE(stat(device.c_str(), &status) == 0 && S_ISCHR(status.st_mode));
}

// A new file follows the umask and a replaced one keeps its mode. Without the power to override
// permissions: a writable file in a locked folder is written in place; a new file there, and a
// read-only file, are refused.
TEST_F(SaveTest, ModesAreKeptAndPermissionsDecideBetweenInPlaceAndRefused) {
    const std::string directory = scratch.Path() + "/locked";
    ASSERT_EQ(mkdir(directory.c_str(), 0755), 0);
    const std::string inside = directory + "/doc.xml";
    const mode_t previous = umask(027);
    EXPECT_TRUE(SaveText(inside, "<new/>\n"));
    umask(previous);
    EXPECT_EQ(ModeOf(inside), 0640u);
    ASSERT_EQ(chmod(inside.c_str(), 0604), 0);
    ASSERT_TRUE(SaveText(inside, "<replaced/>\n"));
    EXPECT_EQ(ModeOf(inside), 0604u);
    ASSERT_EQ(chmod(directory.c_str(), 0555), 0);
    ASSERT_EQ(chmod(path.c_str(), 0444), 0);
    EXPECT_TRUE(RunObeyingPermissions([&] {
        return SaveText(inside, "<in-place/>\n") && !SaveText(directory + "/new.xml", "") &&
               !SaveText(path, "");
    }));
    EXPECT_EQ(ReadWholeFile(inside), "<in-place/>\r\n");
    EXPECT_EQ(ListDirectory(directory), justTheDocument);
    chmod(directory.c_str(), 0755);
    EXPECT_EQ(ReadWholeFile(path), kOld);
}

// A small document's compressed save holds room for what its one block can compress to, not for
// a whole block: a host that saves small documents over and over would otherwise have the heap
// hand out a megabyte for each save, and keep it. The C library's own count of the heap in use
// (with the blocks it maps for large requests) shows it.
TEST(StreamCompressionMemory, ASmallDocumentTakesRoomForItsOwnBlockOnly) {
    const std::string document(1000, 'x');
    MemoryTransfer sink;
    sink.bytes.reserve(4096);
    const struct mallinfo2 before = mallinfo2();
    StreamCompression stream(&sink, 1048576);
    ASSERT_TRUE(stream.Write(document.data(), static_cast<LONG>(document.size())));
    ASSERT_TRUE(stream.Finish());
    const struct mallinfo2 after = mallinfo2();
    EXPECT_LE(after.uordblks + after.hblkhd, before.uordblks + before.hblkhd + 64 * 1024);
}

} // namespace
} // namespace Ostrel
