#include "transfer/GenericFile.h"

#include "transfer/OpenFileTable.h"

#include <cstdlib>
#include <exception>

namespace Ostrel {

namespace {

// Makes a missing medium fail the open instead of asking the user, for the open's duration.
class CriticalErrorsFail {
public:
    CriticalErrorsFail() : previous(SetErrorMode(SEM_FAILCRITICALERRORS)) {}
    ~CriticalErrorsFail() { SetErrorMode(previous); }
    CriticalErrorsFail(const CriticalErrorsFail&) = delete;
    CriticalErrorsFail& operator=(const CriticalErrorsFail&) = delete;

private:
    UINT previous;
};

} // namespace

GenericFile::GenericFile(const Text& name) : name(name) {}

GenericFile::~GenericFile() {
    Close();
}

bool GenericFile::Open(bool forWriting) {
    if (isOpen) {
        return false;
    }
    CriticalErrorsFail errorMode;
    // The entry is taken first so that a full table refuses before a file is touched.
    const LONG index = OpenFileTable::Take(this);
    if (index < 0) {
        tableIndex = -3;
        return false;
    }
    bool opened = false;
    try {
        opened = OpenStream(forWriting);
    } catch (const std::exception&) {
        opened = false;
    }
    if (!opened) {
        OpenFileTable::Free(index);
        return false;
    }
    tableIndex = index;
    isOpen = true;
    writeFailed = false;
    lastDirection = Direction::None;
    return true;
}

bool GenericFile::OpenStream(bool forWriting) {
    this->forWriting = forWriting;
    if (forWriting) {
        stream = replacement.Open(name.c_str());
    } else if (!name.IsEmpty()) {
        stream = std::fopen(name.c_str(), "rb");
    }
    if (stream == nullptr) {
        return false;
    }
    const size_t size = forWriting ? kWriteBufferSize : kReadBufferSize;
    streamBuffer = static_cast<char*>(std::malloc(size + 1));
    if (streamBuffer == nullptr || std::setvbuf(stream, streamBuffer, _IOFBF, size) != 0) {
        DropStream();
        return false;
    }
    openedLength = forWriting ? -1 : LengthAtOpen();
    return true;
}

int64_t GenericFile::LengthAtOpen() {
    if (std::fseek(stream, 0, SEEK_END) != 0) {
        return -1;
    }
    const int64_t length = TellRaw();
    return std::fseek(stream, 0, SEEK_SET) == 0 ? length : -1;
}

bool GenericFile::Close() {
    if (isOpen) {
        WriteHeldBytes();
        DropStream();
        MarkClosed();
    }
    return true;
}

bool GenericFile::Commit() {
    if (!isOpen || !forWriting) {
        return false;
    }
    bool committed = false;
    WriteHeldBytes();
    if (writeFailed) {
        replacement.Discard(stream);
    } else {
        committed = replacement.Commit(stream);
    }
    ReleaseStream();
    MarkClosed();
    return committed;
}

void GenericFile::MarkClosed() {
    OpenFileTable::Free(tableIndex);
    isOpen = false;
}

void GenericFile::DropStream() {
    if (forWriting) {
        replacement.Discard(stream);
    } else {
        std::fclose(stream); // NOLINT(cert-err33-c): nothing written, nothing to lose
    }
    ReleaseStream();
}

void GenericFile::ReleaseStream() {
    stream = nullptr;
    std::free(streamBuffer);
    streamBuffer = nullptr;
}

bool GenericFile::Write(const void* data, LONG length) {
    if (!isOpen || length < 0 || (data == nullptr && length > 0)) {
        return false;
    }
    return WriteRaw(data, static_cast<size_t>(length));
}

bool GenericFile::Read(void* buffer, LONG maxLength, uint32_t* bytesRead) {
    if (!isOpen || maxLength < 0 || bytesRead == nullptr || (buffer == nullptr && maxLength > 0)) {
        return false;
    }
    const size_t wanted = static_cast<size_t>(maxLength);
    const size_t got = ReadRaw(buffer, wanted);
    *bytesRead = static_cast<uint32_t>(got);
    return got == wanted || !ReadError();
}

bool GenericFile::Unread(LONG count) {
    if (!isOpen || count < 0) {
        return false;
    }
    // A seek before the start fails, and some C libraries drop their read buffer first, which
    // moves the position on; such an Unread is refused before it is tried.
    const int64_t position = TellRaw();
    if (position < count) {
        return false;
    }
    return SeekRaw(-static_cast<int64_t>(count), SEEK_CUR);
}

void GenericFile::Turn(Direction next) {
    if (lastDirection != Direction::None && lastDirection != next) {
        // Pipes have no position; their streams need no turning.
        const bool turned = std::fseek(stream, 0, SEEK_CUR) == 0;
        static_cast<void>(turned);
    }
    lastDirection = next;
}

size_t GenericFile::ReadRaw(void* buffer, size_t length) {
    Turn(Direction::Reading);
    return length == 0 ? 0 : std::fread(buffer, 1, length, stream);
}

bool GenericFile::WriteRaw(const void* data, size_t length) {
    Turn(Direction::Writing);
    if (length > 0 && std::fwrite(data, 1, length, stream) != length) {
        writeFailed = true;
        return false;
    }
    return true;
}

int GenericFile::ReadRawByte() {
    Turn(Direction::Reading);
    return std::getc(stream);
}

void GenericFile::UnreadRawByte(int byte) {
    std::ungetc(byte, stream); // NOLINT(cert-err33-c): one byte back, just read, always fits
}

bool GenericFile::SeekRaw(int64_t offset, int origin) {
    lastDirection = Direction::None;
    return std::fseek(stream, static_cast<long>(offset), origin) == 0;
}

int64_t GenericFile::TellRaw() {
    return std::ftell(stream);
}

bool GenericFile::ReadError() {
    if (std::ferror(stream) != 0) {
        return true;
    }
    return std::feof(stream) != 0 && openedLength > 0 && TellRaw() < openedLength;
}

} // namespace Ostrel
