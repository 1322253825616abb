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
    if (!read) {
        return "<false>";
    }
    EXPECT_LE(count, static_cast<uint32_t>(maxLength));
    return buffer.substr(0, count);
}

// What a Read may hand back, as it is or behind references to variants: a compiled host signed
// bytes; a script also unsigned bytes, and Null or Empty for the end of its data, as the call's
// value or in the by-reference argument its Read takes, whether its names are found through
// GetIDsOfNames or only through GetDispID. More bytes than asked for fail the read, as do two
// dimensions, a string and elements that are not bytes.
TEST(ProxyDataTransfer, ReadsTakeOneDimensionOfBytesNoMoreThanAsked) {
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
            SCOPED_TRACE(std::to_string(static_cast<int>(entry.shape)) + " behind " +
                         std::to_string(depth) + " references");
            EarlyStream host;
            host.source = "abcdefgh";
            host.shape = entry.shape;
            host.variantReferences = depth;
            ProxyDataTransfer early(&host);
            EXPECT_EQ(ReadOnce(early, 4), entry.early);
            for (NameLookup lookup : {NameLookup::IDsOfNames, NameLookup::DispIdOnly}) {
                for (bool intoArgument : {false, true}) {
                    ScriptStream named;
                    named.lookup = lookup;
                    named.readIntoArgument = intoArgument;
                    named.source = "abcdefgh";
                    named.shape = entry.shape;
                    named.variantReferences = depth;
                    ProxyDataTransfer proxy(&named);
                    EXPECT_EQ(ReadOnce(proxy, 4), entry.script) << intoArgument;
                    EXPECT_EQ(named.reads, 1) << "a refused argument count does not run the read";
                }
            }
        }
    }
}

// An empty array is the end of the data; a host's failure, a negative length or count, and a
// host with neither the interface nor the names (or none at all) fail without reaching it.
TEST(ProxyDataTransfer, FailuresAndTheEndOfTheData) {
    EarlyStream host;
    host.source = "ab";
    ProxyDataTransfer proxy(&host);
    EXPECT_EQ(ReadOnce(proxy, 4), "ab");
    EXPECT_EQ(ReadOnce(proxy, 4), "");
    host.failAtRead = host.reads + 1;
    EXPECT_EQ(ReadOnce(proxy, 4), "<false>");
    uint32_t count = 0;
    EXPECT_FALSE(proxy.Read(&count, -1, &count));
    EXPECT_TRUE(proxy.Unread(2));
    EXPECT_EQ(host.unread, 2);
    EXPECT_FALSE(proxy.Unread(-1));

    ScriptStream stranger;
    stranger.names.clear();
    stranger.source = "abc";
    for (IDispatch* object :
         {static_cast<IDispatch*>(&stranger), static_cast<IDispatch*>(nullptr)}) {
        ProxyDataTransfer unusable(object);
        EXPECT_EQ(ReadOnce(unusable, 3), "<false>");
        EXPECT_FALSE(unusable.Write("abc", 3));
        EXPECT_FALSE(unusable.Unread(1));
    }
    EXPECT_EQ(stranger.reads + stranger.writes, 0);
}

// One array of bytes, lower bound 0, per Write: signed through the interface, unsigned by name
// (scripts read no other).
TEST(ProxyDataTransfer, WritesOneByteArrayPerCall) {
    EarlyStream host;
    ScriptStream script;
    script.lookup = NameLookup::DispIdOnly;
    {
        ProxyDataTransfer proxy(&host);
        ProxyDataTransfer named(&script);
        EXPECT_TRUE(proxy.Write("hello", 5));
        EXPECT_EQ(host.writeType, VT_ARRAY | VT_I1);
        EXPECT_EQ(host.lastLower, 0);
        EXPECT_EQ(host.lastUpper, 4);
        EXPECT_TRUE(proxy.Write("", 0));
        EXPECT_EQ(host.lastUpper, -1) << "an empty write is an empty array";
        EXPECT_FALSE(proxy.Write("x", -1));
        EXPECT_EQ(host.writes, 2) << "a negative length never reaches the host";
        host.failWrites = true;
        EXPECT_FALSE(proxy.Write("world", 5));
        EXPECT_TRUE(named.Write("xyz", 3));
        EXPECT_EQ(script.writeType, VT_ARRAY | VT_UI1);
        EXPECT_EQ(script.lastUpper, 2);
        EXPECT_GT(host.References() + script.References(), 2u);
    }
    EXPECT_EQ(host.written, "hello");
    EXPECT_EQ(script.written, "xyz");
    EXPECT_EQ(host.References() + script.References(), 2u);
    auto* counted = new ProxyDataTransfer(&host);
    counted->AddRef();
    counted->Release();
    EXPECT_EQ(host.References(), 1u) << "the last Release destroys the proxy";
}

} // namespace
} // namespace Ostrel::Testing
