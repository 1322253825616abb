// The compressed XML container as a transfer over another one (normally a binary DataFile).
//
// Layout, every integer an unsigned 32-bit little-endian value: the magic numbers 213, 170 and
// 150, the version 1, the title length 30 and the title "Corvantis Compressed XML File" with its
// NUL (50 bytes in all); then blocks, each U (bytes it decodes to), P (compressed bytes that
// follow) and a zlib stream of P bytes. Every block holds exactly `blockSize` bytes except the
// last data block; a writer ends with that remainder block (from Finish, possibly U = 0) and a
// closing U = 0 block (from destruction). The end of the source ends the document.
//
// A stream is a writer or a reader, decided by its first Write or Read; the other operation then
// answers false. Any fault is final: every later Write, Read and Finish answers false.
// - Writer: Write and Finish answer false when a block cannot be compressed or the target
//   refuses a write. The closing block written on destruction cannot report: its failure reaches
//   the target (a file notes every failed write and then refuses to Commit).
// - Reader: Read answers false at the first fault: wrong magic numbers, a version above 1, a
//   U above the block size, P above zlib's bound for U, a block that does not decode to exactly
//   U bytes, a source that ends inside the header (the title included) or inside a block, or a
//   source Read that fails. Nothing past a fault is read, and no buffer is sized from a length
//   before it is checked. A source ending at a block boundary ends the document.
// - The title is neither compared nor bounded: a container with another title, however long,
//   still loads; the reader skips it through a small fixed buffer.
//
// A compressed save over a DataFile therefore runs: Create; Write...; Finish; destroy the stream
// (closing block); file.Commit(). It succeeded only when every Write, Finish and Commit did.
//
// The target is not owned and must outlive the stream. The block buffers are kept for the life
// of the stream.
#pragma once

#include "text/GrowableArray.h"
#include "transfer/BaseDataTransfer.h"
#include "transfer/ZlibBlockCompression.h"

#include <cstdint>

namespace Ostrel {

class StreamCompression : public BaseDataTransfer {
public:
    // Larger block sizes, 0 and a null target make a stream on which everything fails.
    static constexpr uint32_t kLargestBlockSize = 1u << 30;

    StreamCompression(IDataTransfer* target, uint32_t blockSize);
    ~StreamCompression();
    StreamCompression(const StreamCompression&) = delete;
    StreamCompression& operator=(const StreamCompression&) = delete;

    bool Write(const void* data, LONG length) override;
    bool Read(void* buffer, LONG maxLength, uint32_t* bytesRead) override;
    // Decoded bytes cannot be given back.
    bool Unread(LONG count) override;

    // Writes the buffered bytes (possibly none) as one block; the header first when nothing was
    // written yet, so that even an empty document makes a valid container.
    bool Finish();

private:
    bool StartWriting();
    bool WriteHeader();
    bool EmitBlock();
    bool WriteWord(uint32_t value);
    bool WriteToTarget(const BYTE* bytes, uint32_t length);

    bool ReadHeader();
    // Reads and drops `length` bytes through a fixed buffer; false when the source ends or fails
    // first.
    bool SkipBytes(uint32_t length);
    bool DecodeNextBlock();
    // 0 when the source ends before the first byte; -1 when the source fails.
    int64_t ReadFromSource(BYTE* buffer, uint32_t length);
    bool ReadWord(uint32_t* value);

    bool Fail();
    // Grows the array so that it holds at least `size` bytes (at most `limit` are ever asked).
    static void EnsureSize(GrowableArray<BYTE>& array, uint32_t size, uint32_t limit);

    uint32_t blockSize;
    IDataTransfer* target;
    ZlibBlockCompression codec;
    // The arrays are storage only; the bytes in use are counted beside them.
    GrowableArray<BYTE> plain;
    GrowableArray<BYTE> packed;
    bool headerDone = false;
    bool writing = false;
    bool reading = false;
    bool broken = false;
    bool sourceEnded = false;
    // Writer: bytes buffered in plain. Reader: bytes of the decoded block in plain.
    uint32_t plainLength = 0;
    // Reader: offset in plain of the next byte to deliver.
    uint32_t readPosition = 0;
};

} // namespace Ostrel
