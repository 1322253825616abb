// Where a file opened for writing really goes, so that a save never destroys the file it
// replaces.
//
// Open writes a fresh file beside the target (created exclusively under an unused name, like
// mkstemp) and Commit renames it over the target once every byte is safely written; Discard
// removes it and leaves the target untouched. Symbolic links are followed: the file a link
// points to is replaced and the link stays. A replaced file keeps its mode (and, where the
// process may set them, its owner and group); a new file gets 0666 less the umask.
//
// Two targets are written in place instead, because nothing can be put beside them: a target
// that is not a regular file (a pipe, a device), and a target in a directory where no new file
// can be made (a writable file in a read-only directory). A target the process may not write
// is refused, as opening it would be. An empty path makes a new file in the
// temporary directory ($TMPDIR, else /tmp) that Commit keeps and Discard removes.
#pragma once

#include <sys/types.h>

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

private:
    // Null with errno set when no file can be made there.
    FILE* OpenNew(const std::string& prefix, mode_t permissions);
    void KeepAttributes(int descriptor) const;
    void Forget();

    // The file being written; empty when writing in place.
    std::string newPath;
    // The file that Commit replaces; empty when there is none.
    std::string targetPath;
    bool replacesExisting = false;
    mode_t targetMode = 0;
    uid_t targetOwner = 0;
    gid_t targetGroup = 0;
};

} // namespace Ostrel
