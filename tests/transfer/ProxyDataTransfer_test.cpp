#include "support/HostStreams.h"
#include "transfer/ProxyDataTransfer.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using Ostrel::ProxyDataTransfer;
using Ostrel::Testing::EarlyStream;
using Ostrel::Testing::ReadShape;
using Ostrel::Testing::ScriptStream;

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

TEST(ProxyDataTransfer, WritesOneSignedByteArrayPerCall) {
    EarlyStream host;
    {
        ProxyDataTransfer proxy(&host);
        EXPECT_TRUE(proxy.Write("hello", 5));
        EXPECT_EQ(host.writes, 1);
        EXPECT_EQ(host.writeType, VT_ARRAY | VT_I1);
        EXPECT_EQ(host.lastLower, 0);
        EXPECT_EQ(host.lastUpper, 4);
        EXPECT_TRUE(proxy.Write("", 0));
        EXPECT_EQ(host.lastUpper, -1) << "an empty write is an empty array";
        EXPECT_FALSE(proxy.Write("x", -1));
        EXPECT_EQ(host.writes, 2) << "a negative length never reaches the host";
        host.failWrites = true;
        EXPECT_FALSE(proxy.Write("world", 5));
    }
    EXPECT_EQ(host.written, "hello");
}

TEST(ProxyDataTransfer, EarlyReadTakesOnlySignedByteArraysOrAReferenceToOne) {
    EarlyStream host;
    host.source = "abcdefghij";
    ProxyDataTransfer proxy(&host);
    EXPECT_EQ(ReadOnce(proxy, 4), "abcd");
    host.shape = ReadShape::ByReference;
    EXPECT_EQ(ReadOnce(proxy, 4), "efgh") << "a reference to a variant holding bytes";
    for (ReadShape refused :
         {ReadShape::UnsignedBytes, ReadShape::Oversized, ReadShape::TwoDimensions,
          ReadShape::NotAnArray, ReadShape::WrongElements}) {
        host.shape = refused;
        host.position = 0;
        EXPECT_EQ(ReadOnce(proxy, 4), "<false>") << static_cast<int>(refused);
    }
    host.shape = ReadShape::SignedBytes;
    host.position = host.source.size();
    EXPECT_EQ(ReadOnce(proxy, 4), "") << "an empty array is the end of the data";
    host.failAtRead = host.reads + 1;
    EXPECT_EQ(ReadOnce(proxy, 4), "<false>");
    uint32_t count = 0;
    char buffer[4];
    EXPECT_FALSE(proxy.Read(buffer, -1, &count));
    EXPECT_TRUE(proxy.Unread(2));
    EXPECT_EQ(host.unread, 2);
    EXPECT_FALSE(proxy.Unread(-1));
}

TEST(ProxyDataTransfer, ScriptObjectsAreCalledByName) {
    for (bool intoArgument : {false, true}) {
        ScriptStream script;
        script.readIntoArgument = intoArgument;
        script.source = "0123456789";
        script.shape = ReadShape::UnsignedBytes;
        ProxyDataTransfer proxy(&script);
        EXPECT_EQ(ReadOnce(proxy, 3), "012") << intoArgument;
        script.shape = ReadShape::SignedBytes;
        EXPECT_EQ(ReadOnce(proxy, 3), "345");
        EXPECT_EQ(script.reads, 2) << "a refused argument count does not run the read";
        script.shape = ReadShape::Oversized;
        EXPECT_EQ(ReadOnce(proxy, 3), "<false>") << "more than asked for";
        script.shape = ReadShape::NotAnArray;
        EXPECT_EQ(ReadOnce(proxy, 3), "<false>");
        EXPECT_TRUE(proxy.Write("xyz", 3));
        EXPECT_EQ(script.written, "xyz");
        EXPECT_EQ(script.writeType, VT_ARRAY | VT_I1);
    }
}

TEST(ProxyDataTransfer, AnObjectWithoutTheInterfaceOrTheNamesFailsEverything) {
    ScriptStream stranger;
    stranger.names.clear();
    stranger.source = "abc";
    ProxyDataTransfer proxy(&stranger);
    EXPECT_EQ(ReadOnce(proxy, 3), "<false>");
    EXPECT_FALSE(proxy.Write("abc", 3));
    EXPECT_FALSE(proxy.Unread(1));
    EXPECT_EQ(stranger.reads + stranger.writes, 0);

    ProxyDataTransfer none(nullptr);
    EXPECT_EQ(ReadOnce(none, 3), "<false>");
    EXPECT_FALSE(none.Write("abc", 3));
    EXPECT_FALSE(none.Unread(1));
}

TEST(ProxyDataTransfer, HoldsTheHostForItsLifeAndCountsItsOwnReferences) {
    EarlyStream host;
    ScriptStream script;
    {
        ProxyDataTransfer early(&host);
        ProxyDataTransfer named(&script);
        EXPECT_GT(host.References(), 1u);
        EXPECT_GT(script.References(), 1u);
    }
    EXPECT_EQ(host.References(), 1u);
    EXPECT_EQ(script.References(), 1u);

    auto* counted = new ProxyDataTransfer(&host);
    counted->AddRef();
    counted->Release();
    EXPECT_EQ(host.References(), 1u) << "the last Release destroys the proxy";
}

} // namespace
