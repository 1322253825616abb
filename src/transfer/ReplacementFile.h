// Where a file opened for writing really goes, so that a save never destroys the file it
// replaces.
//
// Open writes a fresh file beside the target (created exclusively under an unused name, like
// mkstemp) and Commit puts it in place of the target once every byte is safely on the disk;
// Discard removes it and leaves the target untouched. A target that is not a regular file (a
// pipe, a device) and a target in a directory where no new file can be made (a writable file in
// a read-only directory) are written in place instead, because nothing can be put beside them.
// A target the process may not write is refused, as opening it would be. An empty path makes a
// new file in the temporary directory that Commit keeps and Discard removes.
//
// On POSIX systems (ReplacementFilePosix.cpp) symbolic links are followed, so the file a link
// points to is replaced and the link stays; a replaced file keeps its mode (and, where the
// process may set them, its owner and group); a new file gets 0666 less the umask; the
// temporary directory is $TMPDIR, else /tmp. On Windows (ReplacementFileWindows.cpp) a replaced
// file keeps its attributes (hidden, system, archive, ...) and the new file is moved over it
// with write-through; the temporary directory is the system's.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

namespace Ostrel {

class ReplacementFile {
public:
    ReplacementFile() = default;
    ReplacementFile(const ReplacementFile&) = delete;
    ReplacementFile& operator=(const ReplacementFile&) = delete;

    // A stream for reading and writing, as fopen's "w+b" gives; null when nothing could be
    // opened. The caller hands the stream back to exactly one of Commit and Discard.
    FILE* Open(const char* path);
    // Flushes the stream to the disk, closes it and puts the file in place of the target; false
    // (the target untouched, the new file removed) when any of that fails.
    bool Commit(FILE* stream);
    // Closes the stream and removes the new file.
    void Discard(FILE* stream);

    // `prefix` followed by six letters or digits, a different choice at every call: the name
    // of a new file that is then created exclusively.
    static std::string UnusedNameCandidate(const std::string& prefix);

private:
    void Forget();

    // The file being written; empty when writing in place.
    std::string newPath;
    // The file that Commit replaces; empty when there is none.
    std::string targetPath;
    bool replacesExisting = false;
    // What the new file takes over from the one it replaces: the mode, owner and group on POSIX
    // systems, the file attributes on Windows.
    uint32_t keptMode = 0;
    uint32_t keptOwner = 0;
    uint32_t keptGroup = 0;
};

} // namespace Ostrel
