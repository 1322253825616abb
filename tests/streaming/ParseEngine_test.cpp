// The engine's document cases are the golden event logs in tests/data/events (see
// HDispatchXMLParser_test.cpp); here are the sources and clients that need code.
#include "parser/Tokenizer.h"
#include "streaming/ParseEngine.h"
#include "support/AutomationTest.h"
#include "support/FileTestSupport.h"
#include "support/LateBinding.h"
#include "support/ParserClients.h"
#include "support/TextTestSupport.h"

#include <gtest/gtest.h>

#include <string>

namespace Ostrel::Testing {
namespace {

using ParserTest = AutomationTest;

// Its carriage return is held back by the tokenizer when it ends a piece.
const std::string kDocument =
    "<!DOCTYPE d><d a='1' B='two' b='3'>t\r<!--c--><e/>text<f g='h'>x&amp;y</f></d>";

EventLog Parsed(const std::string& document) {
    RecordingClient client;
    EXPECT_EQ(RunStringParse(Bstr(document), &client), S_OK);
    return client.events;
}

// The events of a parse that failed with `failure`: those of the whole parse up to the fault (the
// last text as far as it came), then the failure and EndDocument.
void ExpectFailedPart(const EventLog& events, const EventLog& whole, const std::string& failure) {
    ASSERT_GE(events.size(), 3u);
    const size_t before = events.size() - 2;
    ASSERT_LT(before, whole.size());
    for (size_t i = 0; i < before; ++i) {
        const bool cutText = i + 1 == before && events[i].rfind("Characters '", 0) == 0;
        EXPECT_EQ(cutText ? whole[i].substr(0, events[i].size() - 1) + "'" : whole[i], events[i]);
    }
    EXPECT_EQ(events[before].rfind(failure, 0), 0u) << events[before];
    EXPECT_EQ(events.back(), "EndDocument");
}

// A source that fails after any byte of the document: the events of the bytes before the fault
// (never the carriage return held back at the end of the piece), then the streaming failure and
// EndDocument. Blanks in front of the document put its first `seen` bytes into the first piece,
// the only one the source delivers.
TEST_F(ParserTest, ASourceFailingAfterAnyByteEndsWithTheStreamingFailure) {
    const EventLog whole = Parsed(kDocument);
    for (size_t seen = 0; seen <= kDocument.size(); ++seen) {
        SCOPED_TRACE(seen);
        const size_t piece = Tokenizer::kPieceSize;
        MemoryTransfer source(std::string(piece - seen, ' ') + kDocument + " ");
        source.readLimit = piece;
        RecordingClient client;
        EXPECT_EQ(RunParse(source, &client), E_FAIL);
        ExpectFailedPart(client.events, whole, "ParseError 'Error streaming in data'");
        if (seen > 0 && kDocument[seen - 1] == '\r') {
            EXPECT_EQ(client.events[client.events.size() - 3], "Characters 't'");
        }
    }
}

// A client known only by names has them looked up once per parse (through GetIDsOfNames, or
// GetDispID where that fails, as script class objects need) and hears only the events it names;
// one that knows none of them gets nothing.
TEST_F(ParserTest, ScriptClientsHearTheEventsTheyName) {
    for (NameLookup lookup : {NameLookup::IDsOfNames, NameLookup::DispIdOnly}) {
        SCOPED_TRACE(static_cast<int>(lookup));
        ScriptClient partial;
        partial.lookup = lookup;
        partial.names = {"", "startelement", "", "", "", "PARSEERROR"};
        EXPECT_EQ(RunStringParse(Bstr("<r><s/><"), &partial), E_FAIL);
        const EventLog expected = {"StartElement r []", "StartElement s []",
                                   "ParseError 'unclosed token (Line: 1, Column: 7)'"};
        EXPECT_EQ(partial.events, expected);
        EXPECT_EQ(partial.lookups, lookup == NameLookup::DispIdOnly ? 16 : 14);

        ScriptClient deaf;
        deaf.lookup = lookup;
        deaf.names = {"Unrelated"};
        EXPECT_EQ(RunStringParse(Bstr(kDocument), &deaf), E_FAIL);
        EXPECT_TRUE(deaf.events.empty());
        EXPECT_EQ(partial.References() + deaf.References(), 2u);
    }
}

// Each heap call of the events refused in turn: the parse ends at once with the out-of-memory
// message and EndDocument after the events delivered so far, or succeeds whole where the refused
// block was not needed. Nothing unwinds through the tokenizer, and the asan build finds no leak.
TEST_F(ParserTest, EveryRefusedHeapCallEndsTheParseWithItsMessage) {
    const EventLog whole = Parsed(kDocument);
    HeapRefusalRounds rounds;
    while (rounds.Next()) {
        MemoryTransfer source(kDocument);
        RecordingClient client;
        rounds.Arm();
        const HRESULT answer = RunParse(source, &client);
        rounds.Disarm();
        if (answer == S_OK) {
            EXPECT_EQ(client.events, whole);
        } else {
            ExpectFailedPart(client.events, whole, "ParseError 'out of memory (Line: ");
        }
    }
    EXPECT_GT(rounds.Refused(), 10u);
}

} // namespace
} // namespace Ostrel::Testing
