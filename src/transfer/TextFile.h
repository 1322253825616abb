// A file of text whose line ends are stored as carriage return and line feed, whatever the
// platform: the translation is this class's own, over a binary stream.
//
// Writing stores each line feed as carriage return + line feed. Translated bytes are gathered
// in the file's own staging block and reach the stream a block at a time, before any read,
// step back, commit or close. Reading delivers a carriage
// return + line feed as one line feed (also when a read ends between the two), delivers a lone
// carriage return as it is, and ends the data at a byte 26, after which reads deliver nothing.
// Because readers take a short read as the end of the data, a read delivers the full count
// asked for until the end, however many carriage returns it dropped. Unread steps back over
// delivered bytes, whatever they cost in the file.
#pragma once

#include "transfer/GenericFile.h"

namespace Ostrel {

class TextFile : public GenericFile {
public:
    explicit TextFile(const Text& name);
    // Closes here, while the staged bytes can still be written.
    ~TextFile() override;

    bool Write(const void* data, LONG length) override;
    bool Read(void* buffer, LONG maxLength, uint32_t* bytesRead) override;
    bool Unread(LONG count) override;

    bool Open(bool forWriting) override;

protected:
    bool WriteHeldBytes() override;

private:
    // Bytes of translated lines gathered before they go to the stream.
    static constexpr size_t kStagingSize = 8192;

    // Stages one run of bytes without line feeds, followed by a carriage return and line feed
    // when `lineEnd`; false when the stream refused bytes.
    bool Stage(const char* run, size_t length, bool lineEnd);

    // Drops the stored carriage returns of `length` just-read bytes, in place; answers how many
    // bytes remain.
    size_t Translate(char* bytes, size_t length);
    // Completes a carriage return that ended the previous piece; false on a read error.
    bool DeliverHeldReturn(char* out, size_t* delivered);
    // The file offset of the next byte to deliver; -1 when unknown.
    int64_t LogicalPosition();
    // Puts the stream at the logical position and forgets the reading state.
    bool Settle();
    // Moves `position` back over `count` delivered bytes.
    bool StepBack(int64_t* position, LONG count);

    // A carriage return was read but not delivered: the next byte decides what it was.
    bool heldReturn = false;
    // A byte 26 ended the data; endOffset is its offset in the file.
    bool ended = false;
    int64_t endOffset = 0;
    char staged[kStagingSize] = {};
    size_t stagedLength = 0;
};

} // namespace Ostrel
