#include "support/HostStreams.h"
#include "transfer/ProxyDataTransfer.h"

#include <gtest/gtest.h>

#include <string>

namespace Ostrel::Testing {
namespace {

// Reads once into a buffer of `maxLength` bytes followed by guard bytes; answers the bytes
// read, or "<false>" when the read failed. The guard must never be touched.
std::string ReadOnce(ProxyDataTransfer& proxy, LONG maxLength) {
    std::string buffer(static_cast<size_t>(maxLength) + 8, '#');
    uint32_t count = 12345;
    const bool read = proxy.Read(&buffer[0], maxLength, &count);
    EXPECT_EQ(buffer.substr(static_cast<size_t>(maxLength)), std::string(8, '#'));
    return read ? buffer.substr(0, count) : "<false>";
}

// What a Read may hand back, as it is or behind references to variants: a compiled host signed
// bytes; a script also unsigned bytes, and Null or Empty for the end of its data, as the call's
// value or in the by-reference argument its Read takes. More bytes than asked for fail the read,
// as do two dimensions, a string, elements that are not bytes and a host's failure; a host with
// neither the interface nor the names is never called.
TEST(ProxyDataTransfer, ReadsTakeOneDimensionOfBytesNoMoreThanAskedOrFail) {
    const struct {
        ReadShape shape;
        const char* early;
        const char* script;
    } cases[] = {
        {ReadShape::SignedBytes, "abcd", "abcd"},
        {ReadShape::UnsignedBytes, "<false>", "abcd"},
        {ReadShape::Null, "<false>", ""},
        {ReadShape::Empty, "<false>", ""},
        {ReadShape::Oversized, "<false>", "<false>"},
        {ReadShape::TwoDimensions, "<false>", "<false>"},
        {ReadShape::NotAnArray, "<false>", "<false>"},
        {ReadShape::WrongElements, "<false>", "<false>"},
    };
    for (const auto& entry : cases) {
        for (int depth = 0; depth <= 2; ++depth) {
            SCOPED_TRACE(testing::Message()
                         << static_cast<int>(entry.shape) << " behind " << depth << " references");
            EarlyStream host;
            host.source = "abcdefgh";
            host.shape = entry.shape;
            host.variantReferences = depth;
            ProxyDataTransfer early(&host);
            EXPECT_EQ(ReadOnce(early, 4), entry.early);
            for (bool intoArgument : {false, true}) {
                ScriptStream script;
                script.readIntoArgument = intoArgument;
                script.source = host.source;
                script.shape = entry.shape;
                script.variantReferences = depth;
                ProxyDataTransfer proxy(&script);
                EXPECT_EQ(ReadOnce(proxy, 4), entry.script) << intoArgument;
                EXPECT_EQ(script.reads, 1) << "a refused argument count does not run the read";
            }
        }
    }
    EarlyStream failing;
    failing.failAtRead = 1;
    ProxyDataTransfer proxy(&failing);
    EXPECT_EQ(ReadOnce(proxy, 4), "<false>");
    ScriptStream stranger;
    stranger.names.clear();
    ProxyDataTransfer unusable(&stranger);
    EXPECT_EQ(ReadOnce(unusable, 3), "<false>");
    EXPECT_FALSE(unusable.Write("abc", 3));
    EXPECT_EQ(stranger.reads + stranger.writes, 0);
}

} // namespace
} // namespace Ostrel::Testing
