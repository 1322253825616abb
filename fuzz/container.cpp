// Any bytes as a compressed container: read directly through the stream, which must keep the
// transfer contract and stop for good at its first fault, and loaded by the model from a file,
// which must agree with loading what the stream decoded. The same bytes as content, written
// through the stream in small blocks, must read back unchanged.
#include "FuzzSupport.h"
#include "support/FileTestSupport.h"
#include "support/TestSupport.h"
#include "transfer/StreamCompression.h"

#include <vector>

using namespace Ostrel;
using namespace Ostrel::Fuzzing;

namespace {

// The model's piece size, and a prime so that pieces cut across blocks.
constexpr LONG kPieces[] = {10000, 7919};

// Everything the stream decodes in pieces of `piece` bytes; false when a Read failed.
bool Decode(const std::string& bytes, LONG piece, std::string& decoded,
            uint32_t blockSize = XMLModel::kContainerBlockSize) {
    MemoryTransfer source(bytes);
    StreamCompression stream(&source, blockSize);
    std::vector<char> buffer(static_cast<size_t>(piece));
    for (;;) {
        uint32_t got = 0;
        if (!stream.Read(buffer.data(), piece, &got)) {
            if (stream.Read(buffer.data(), piece, &got)) {
                Finding("a stream read again after a fault");
            }
            return false;
        }
        if (got > static_cast<uint32_t>(piece)) {
            Finding("a stream delivered more than asked for");
        }
        decoded.append(buffer.data(), got);
        if (got < static_cast<uint32_t>(piece)) {
            return true;
        }
    }
}

// The bytes as the content of a container of small blocks, written in pieces of `piece` bytes.
std::string Encode(const std::string& bytes, uint32_t blockSize, size_t piece) {
    MemoryTransfer target;
    {
        StreamCompression stream(&target, blockSize);
        if (!WriteInPieces(stream, bytes, piece) || !stream.Finish()) {
            Finding("a container refused content");
        }
    }
    return target.bytes;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string bytes = Bytes(data, size);
    // Small blocks, but no more than about a hundred of them: each costs a zlib stream.
    const uint32_t blockSize = 1 + static_cast<uint32_t>(size % 997 + size / 100);
    std::string content;
    if (!Decode(Encode(bytes, blockSize, 1 + size % 331), kPieces[1], content, blockSize) ||
        content != bytes) {
        Finding("content written in blocks of " + std::to_string(blockSize) +
                " bytes does not read back");
    }

    std::string decoded;
    const bool whole = Decode(bytes, kPieces[0], decoded);
    std::string again;
    if (Decode(bytes, kPieces[1], again) != whole || (whole && again != decoded)) {
        Finding("the pieces asked for change what the stream decodes");
    }

    const std::string path = ScratchFolder() + "/input.pxc";
    WriteWholeFile(path, bytes);
    XMLModel model;
    const bool loaded = model.LoadCompressed(Text(path.c_str()));
    XMLModel plain;
    MemoryTransfer source(decoded);
    const bool expected = whole && plain.LoadTransfer(source);
    if (loaded != expected) {
        Finding(std::string("the container ") + (loaded ? "loaded" : "failed") +
                " where its decoded bytes " + (expected ? "load" : "fail") + ": " +
                PendingError(model));
    }
    if (loaded && SavedText(model, "container's") != SavedText(plain, "decoded")) {
        Finding("the container's document is not the decoded bytes' document");
    }
    return 0;
}
