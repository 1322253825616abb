// A file on disk as a transfer, reached through the C runtime's fully buffered streams (51,200
// bytes when writing, 10,240 when reading). Bytes pass unchanged; TextFile adds the line-end
// translation. A file is closed from construction until Open or Create succeeds, holds one of
// the 50 entries of the open-file table while open, and is closed by Close or destruction.
//
// Open(false) reads an existing file; an empty path is refused. Create (or Open(true)) starts a
// new version of the file, readable and writable, that replaces the file on the path only when
// Commit succeeds (see ReplacementFile: links followed, mode kept, pipes, devices and files in
// read-only directories written in place). An empty path makes a new file in the temporary
// directory instead.
//
// Callers that save MUST call Commit() once everything is written and look at its answer: it
// is true only when every Write succeeded and the data was flushed, synced, closed and put in
// place. A file closed or destroyed without a successful Commit leaves the previous file as it
// was and removes what was written (except where it was written in place).
//
// Read answers false on a read error that is not the end of the file. A file cut short after it
// was opened (its end reached before the length it had then) is such an error: the bytes that
// were lost are not the document's end. No operation reports text.
#pragma once

#include "text/Text.h"
#include "transfer/BaseDataTransfer.h"
#include "transfer/ReplacementFile.h"

#include <cstdio>

namespace Ostrel {

class GenericFile : public BaseDataTransfer {
public:
    static constexpr size_t kWriteBufferSize = 51200;
    static constexpr size_t kReadBufferSize = 10240;

    GenericFile(const GenericFile&) = delete;
    GenericFile& operator=(const GenericFile&) = delete;

    bool Write(const void* data, LONG length) override;
    bool Read(void* buffer, LONG maxLength, uint32_t* bytesRead) override;
    // Moves the position back by `count` bytes; false (position kept) before the first byte.
    bool Unread(LONG count) override;
    virtual ~GenericFile();

    // False when already open, when the table is full (tableIndex is then -3), or when the file
    // cannot be opened. The process's error mode is switched to fail critical errors meanwhile.
    virtual bool Open(bool forWriting);
    bool Create() { return Open(true); }
    // Without a Commit, a new version of the file is dropped. Always true.
    bool Close();
    // Makes what was written the file on the path and closes it. False (and the previous file
    // untouched) when the file is not open for writing or anything failed.
    bool Commit();

    const Text& GetName() const { return name; }
    bool IsOpen() const { return isOpen; }
    // The table entry of the last successful open; -3 before any and after a full table.
    LONG GetTableIndex() const { return tableIndex; }

protected:
    explicit GenericFile(const Text& name);

    // Bytes a subclass holds back from the stream go out before the file is committed or
    // closed; false when the stream refused them (the file then refuses to Commit).
    virtual bool WriteHeldBytes() { return true; }

    // The stream itself, for a translating subclass; the file must be open.
    size_t ReadRaw(void* buffer, size_t length);
    bool WriteRaw(const void* data, size_t length);
    // EOF at the end of the file or on an error.
    int ReadRawByte();
    void UnreadRawByte(int byte);
    bool SeekRaw(int64_t offset, int origin);
    // -1 when the stream has no position (a pipe).
    int64_t TellRaw();
    // A failed read, or the end of a file reached short of the length it had when opened.
    bool ReadError();

private:
    enum class Direction { None, Reading, Writing };

    // A stream that has been written must be positioned before it is read, and the other way.
    void Turn(Direction next);
    bool OpenStream(bool forWriting);
    // The length of a file opened for reading, or -1 when it has none (a pipe).
    int64_t LengthAtOpen();
    // Closes the stream (dropping a new version of the file) and frees its buffer.
    void DropStream();
    void ReleaseStream();
    void MarkClosed();

    Text name;
    LONG tableIndex = -3;
    bool isOpen = false;
    bool forWriting = false;
    FILE* stream = nullptr;
    char* streamBuffer = nullptr;
    ReplacementFile replacement;
    // What LengthAtOpen found when the file was opened for reading, else -1.
    int64_t openedLength = -1;
    // A write failed since the open: Commit must refuse.
    bool writeFailed = false;
    Direction lastDirection = Direction::None;
};

} // namespace Ostrel
