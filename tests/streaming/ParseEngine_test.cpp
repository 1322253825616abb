// The engine's document cases are the golden event logs in tests/data/events (see
// HDispatchXMLParser_test.cpp); here are the sources and clients that need code.
#include "streaming/HDispatchTaggedAttributes.h"
#include "streaming/ParseEngine.h"
#include "support/AutomationTest.h"
#include "support/LateBinding.h"
#include "support/ParserClients.h"
#include "support/TextTestSupport.h"
#include "text/ScratchBuffers.h"
#include "transfer/BaseDataTransfer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

namespace Ostrel::Testing {
namespace {

using ParserTest = AutomationTest;

constexpr size_t kPiece = 10000;
const std::string kDocument =
    "<!DOCTYPE d><d a='1' B='two' b='3'>t<!--c--><e/>text<f g='h'>x&amp;y</f></d>";

// Serves `bytes`, the first read cut to `firstRead` bytes; fails read `failAt` or claims one
// byte more than it delivered at read `overAt`; records the size of each read it answered.
class PieceSource : public BaseDataTransfer {
public:
    explicit PieceSource(std::string bytes) : bytes(std::move(bytes)) {}
    bool Write(const void*, LONG) override { return false; }
    bool Read(void* buffer, LONG maxLength, uint32_t* bytesRead) override {
        const int read = static_cast<int>(delivered.size());
        if (read == failAt) {
            return false;
        }
        size_t n = std::min(static_cast<size_t>(maxLength), bytes.size() - position);
        n = read == 0 ? std::min(n, firstRead) : n;
        std::memcpy(buffer, bytes.data() + position, n);
        position += n;
        delivered.push_back(n);
        *bytesRead = static_cast<uint32_t>(n) + (read == overAt ? 1 : 0);
        return true;
    }
    bool Unread(LONG) override { return false; }

    std::string bytes;
    size_t position = 0;
    size_t firstRead = kPiece;
    int failAt = -1;
    int overAt = -1;
    std::vector<size_t> delivered;
};

EventLog Parsed(const std::string& document) {
    RecordingClient client;
    EXPECT_EQ(RunStringParse(Bstr(document), &client), S_OK);
    return client.events;
}

// A short read is the last and an exact multiple of the piece size ends with an empty read; a
// failed read or a read claiming more than was asked for ends the parse at once with the
// streaming failure and EndDocument, and nothing else: not even the carriage return the
// tokenizer held back at the end of the piece before a failed read.
TEST_F(ParserTest, SourcesEndTheParseAtTheirLastOrFailedRead) {
    const std::string xs(kPiece, 'x');
    const std::string streaming = "ParseError 'Error streaming in data'";
    struct Case {
        PieceSource source;
        std::vector<size_t> delivered;
        EventLog ending;
    };
    Case cases[] = {
        {PieceSource("<r>" + xs.substr(7) + xs + "</r>"),
         {kPiece, kPiece, 0},
         {"EndElement r", "EndDocument"}},
        {PieceSource("<r>" + xs + "</r>"),
         {100},
         {"ParseError 'no element found (Line: 1, Column: 100)'", "EndDocument"}},
        {PieceSource("<r>" + xs.substr(4) + "\r" + xs),
         {kPiece},
         {"Characters '" + xs.substr(4) + "'", streaming, "EndDocument"}},
        {PieceSource("<r>" + xs + xs), {kPiece}, {"StartDocument", streaming, "EndDocument"}},
    };
    cases[1].source.firstRead = 100;
    cases[2].source.failAt = 1;
    cases[3].source.overAt = 0;
    for (Case& c : cases) {
        SCOPED_TRACE(c.source.bytes.size());
        RecordingClient client;
        const bool fails = c.ending[c.ending.size() - 2].rfind("ParseError", 0) == 0;
        EXPECT_EQ(RunParse(c.source, &client), fails ? E_FAIL : S_OK);
        EXPECT_EQ(c.source.delivered, c.delivered);
        ASSERT_GE(client.events.size(), c.ending.size());
        EXPECT_EQ(EventLog(client.events.end() - c.ending.size(), client.events.end()), c.ending);
    }
}

// A source that fails after any byte of the document: the events of the bytes before the fault
// (the text cut at the fault as far as it came), then the streaming failure and EndDocument.
// Blanks in front of the document put its first `seen` bytes into the first piece, the only one
// the source delivers.
TEST_F(ParserTest, ASourceFailingAfterAnyByteEndsWithTheStreamingFailure) {
    const EventLog whole = Parsed(kDocument);
    for (size_t seen = 0; seen <= kDocument.size(); ++seen) {
        SCOPED_TRACE(seen);
        PieceSource source(std::string(kPiece - seen, ' ') + kDocument);
        source.failAt = 1;
        RecordingClient client;
        EXPECT_EQ(RunParse(source, &client), E_FAIL);
        ASSERT_GE(client.events.size(), 3u);
        const EventLog ending(client.events.end() - 2, client.events.end());
        EXPECT_EQ(ending, (EventLog{"ParseError 'Error streaming in data'", "EndDocument"}));
        const size_t before = client.events.size() - 2;
        ASSERT_LT(before, whole.size());
        for (size_t i = 0; i < before; ++i) {
            const std::string& event = client.events[i];
            const bool cutText = i + 1 == before && event.rfind("Characters '", 0) == 0;
            EXPECT_EQ(cutText ? whole[i].substr(0, event.size() - 1) + "'" : whole[i], event);
        }
    }
}

// Nothing a client does disturbs the parse: not its failures, not its letting go of itself, not
// its own conversions into the scratch buffers (the host's text is parsed from a copy of its
// own); the attributes objects it keeps outlive their events.
TEST_F(ParserTest, ClientsCannotDisturbTheParse) {
    auto* scratch = new HDispatchTaggedAttributes;
    scratch->AddRef();
    RecordingClient client;
    client.answer = E_FAIL;
    client.keepAttributes = true;
    client.afterEvent = [&](RecordingClient& self) {
        EXPECT_EQ(ScratchBuffers::FreeCount(), ScratchBuffers::kCount);
        const Bstr name("n" + std::to_string(self.events.size()));
        scratch->AddAttribute(name, name);
        if (self.events.size() == 2) {
            self.Release();
        }
    };
    EXPECT_EQ(RunStringParse(Bstr(kDocument), &client), S_OK);
    EXPECT_EQ(client.events, Parsed(kDocument));
    EXPECT_EQ(client.References(), 0u);
    scratch->Release();
    ASSERT_EQ(client.kept.size(), 3u);
    EXPECT_EQ(DescribeAttributes(client.kept[0]), "[a=1,B=two]");
    for (IDispatch* kept : client.kept) {
        EXPECT_EQ(kept->Release(), 0u);
    }
}

// A client known only by names has them looked up once per parse (through GetIDsOfNames, or
// GetDispID without regard to case where that fails, as script class objects need) and hears
// only the events it names; one that knows none of them gets nothing.
TEST_F(ParserTest, ScriptClientsHearTheEventsTheyName) {
    for (NameLookup lookup : {NameLookup::IDsOfNames, NameLookup::DispIdOnly}) {
        const bool classObject = lookup == NameLookup::DispIdOnly;
        SCOPED_TRACE(classObject);
        PieceSource source(kDocument);
        ScriptClient script;
        script.lookup = lookup;
        EXPECT_EQ(RunParse(source, &script), S_OK);
        EXPECT_EQ(script.events, Parsed(kDocument));
        EXPECT_EQ(script.lookups, classObject ? 16 : 8);
        EXPECT_EQ(script.dispIdFlags, classObject ? fdexNameCaseInsensitive : 0u);
        EXPECT_EQ(script.References(), 1u);

        ScriptClient partial;
        partial.lookup = lookup;
        partial.names = {"startelement", "PARSEERROR"};
        EXPECT_EQ(RunStringParse(Bstr("<r><s/><"), &partial), E_FAIL);
        const EventLog expected = {"startelement r []", "startelement s []",
                                   "PARSEERROR 'unclosed token (Line: 1, Column: 7)'"};
        EXPECT_EQ(partial.events, expected);

        ScriptClient deaf;
        deaf.lookup = lookup;
        deaf.names = {"Unrelated"};
        EXPECT_EQ(RunStringParse(Bstr(kDocument), &deaf), E_FAIL);
        EXPECT_TRUE(deaf.events.empty());
        EXPECT_EQ(deaf.References(), 1u);
    }
}

// Each heap call of the events refused in turn: the parse ends at once with the out-of-memory
// message and EndDocument after the events delivered so far, or succeeds whole where the refused
// block was not needed. Nothing unwinds through the tokenizer, and the asan build finds no leak.
TEST_F(ParserTest, EveryRefusedHeapCallEndsTheParseWithItsMessage) {
    const EventLog whole = Parsed(kDocument);
    HeapRefusalRounds rounds;
    while (rounds.Next()) {
        PieceSource source(kDocument);
        RecordingClient client;
        rounds.Arm();
        const HRESULT answer = RunParse(source, &client);
        rounds.Disarm();
        if (answer == S_OK) {
            EXPECT_EQ(client.events, whole);
            continue;
        }
        ASSERT_GE(client.events.size(), 3u);
        const auto failure = client.events.end() - 2;
        EXPECT_TRUE(std::equal(client.events.begin(), failure, whole.begin()));
        EXPECT_EQ(failure->rfind("ParseError 'out of memory (Line: 1, ", 0), 0u) << *failure;
        EXPECT_EQ(client.events.back(), "EndDocument");
    }
    EXPECT_GT(rounds.Refused(), 10u);
}

} // namespace
} // namespace Ostrel::Testing
