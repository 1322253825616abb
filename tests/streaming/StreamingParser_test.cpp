// The streaming parser: the engine with the sources and clients that need code, then the parser
// and attributes objects as hosts call them, over the golden event logs in tests/data/events.
#include "host/AutomationText.h"
#include "parser/Tokenizer.h"
#include "streaming/HDispatchTaggedAttributes.h"
#include "streaming/HExternalXMLParser.h"
#include "streaming/ParseEngine.h"
#include "support/AutomationTest.h"
#include "support/FileTestSupport.h"
#include "support/HostStreams.h"
#include "support/LateBinding.h"
#include "support/ParserClients.h"
#include "support/TestSupport.h"
#include "support/TextTestSupport.h"
#include "text/ScratchBuffers.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace Ostrel::Testing {
namespace {

using ParserTest = AutomationTest;

// Its carriage return is held back by the tokenizer when it ends a piece.
const std::string kDocument =
    "<!DOCTYPE d><d a='1' B='two' b='3'>t\r<!--c--><e/>text<f g='h'>x&amp;y</f></d>";

// A source whose every read claims a byte more than it was asked for.
struct OverclaimingSource final : MemoryTransfer {
    bool Read(void*, LONG maxLength, uint32_t* bytesRead) override {
        *bytesRead = static_cast<uint32_t>(maxLength) + 1;
        return true;
    }
};

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

// A parse that fails after any byte of its source (blanks in front of the document put its first
// `seen` bytes into the first piece, the only one the source delivers), at a read that claims
// more than was asked for, or at any refused heap call of its events: the events so far (never the
// carriage return held back at the end of the piece), then the failure's message and EndDocument;
// where the refused block was not needed the parse succeeds whole. Nothing unwinds through the
// tokenizer, and the asan build finds no leak.
TEST_F(ParserTest, AFailingSourceOrHeapEndsTheParseAfterTheEventsSoFar) {
    RecordingClient complete;
    ASSERT_EQ(RunStringParse(Bstr(kDocument), &complete), S_OK);
    const EventLog& whole = complete.events;
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
    OverclaimingSource overclaiming;
    RecordingClient claimed;
    EXPECT_EQ(RunParse(overclaiming, &claimed), E_FAIL);
    ExpectFailedPart(claimed.events, whole, "ParseError 'Error streaming in data'");
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

// A client known only by names has them looked up once per parse (GetIDsOfNames, then
// GetDispID for a name it did not find) and hears only the events it names; one that knows none
// of them gets nothing.
TEST_F(ParserTest, ScriptClientsHearTheEventsTheyName) {
    ScriptClient partial;
    partial.names = {"", "startelement", "", "", "", "PARSEERROR"};
    EXPECT_EQ(RunStringParse(Bstr("<r><s/><"), &partial), E_FAIL);
    const EventLog expected = {"StartElement r []", "StartElement s []",
                               "ParseError 'unclosed token (Line: 1, Column: 7)'"};
    EXPECT_EQ(partial.events, expected);
    EXPECT_EQ(partial.lookups, 14);
    ScriptClient deaf;
    deaf.names = {"Unrelated"};
    EXPECT_EQ(RunStringParse(Bstr(kDocument), &deaf), E_FAIL);
    EXPECT_TRUE(deaf.events.empty());
    EXPECT_EQ(partial.References() + deaf.References(), 2u);
}

using ParserObject = RegisteredTest;

// Each events/NAME.xml gives exactly the events of events/NAME.events, whether the parser reads
// the file (in 10000-byte pieces, line ends as the text file delivers them), a script class's
// stream of its bytes to a script class's client (a short piece is the last; after a whole one,
// the stream's Null is) or, when it is one piece that reaches the parser as the same bytes, a
// host's string. A source that cannot be read or a missing client: E_FAIL and not a single event.
// The logs hold the document's UTF-8; the client receives it through the ANSI code page, which
// is UTF-8 only on Linux, and a host's string reaches the parser through the same page.
TEST_F(ParserObject, DocumentsGiveTheirGoldenEventLogs) {
    auto* parser = new HExternalXMLParser;
    parser->AddRef();
    for (const std::string& document : CasesIn(PRAVELL_TEST_DATA "/events", ".xml")) {
        SCOPED_TRACE(document);
        const std::string xml = ReadWholeFile(document + ".xml");
        const std::string expected = AnsiAsUtf8(ReadWholeFile(document + ".events"));
        const HRESULT answer = expected.find("\nParseError") == std::string::npos ? S_OK : E_FAIL;
        RecordingClient fromFile;
        EXPECT_EQ(parser->ParseFile(Bstr(document + ".xml"), &fromFile), answer);
        EXPECT_EQ(LogText(fromFile.events), expected);
        ScriptStream stream(xml);
        stream.dispIdOnly = true;
        ScriptClient fromStream;
        fromStream.dispIdOnly = true;
        EXPECT_EQ(parser->ParseStream(&stream, &fromStream), answer);
        EXPECT_EQ(LogText(fromStream.events), expected);
        if (answer == S_OK) {
            EXPECT_EQ(stream.reads, static_cast<int>(xml.size() / 10000 + 1));
        }
        // Nothing the string's client does disturbs the parse: its failures, the attributes
        // objects it keeps (which outlive their events), its own conversions, for which the
        // scratch buffers are free (the host's text is parsed from a copy of its own).
        const Bstr text(xml);
        RecordingClient fromString;
        fromString.answer = E_FAIL;
        fromString.keepAttributes = true;
        fromString.afterEvent = [](RecordingClient&) {
            EXPECT_EQ(ScratchBuffers::FreeCount(), ScratchBuffers::kCount);
        };
        if (xml.size() < 10000 && ToAnsi(BstrText(text)) == xml) {
            EXPECT_EQ(parser->ParseString(text, &fromString), answer);
            EXPECT_EQ(LogText(fromString.events), expected);
        }
        EXPECT_EQ(fromFile.References() + fromStream.References() + fromString.References(), 3u);
        for (IDispatch* kept : fromString.kept) {
            EXPECT_NE(DescribeAttributes(kept), "[not attributes]");
            EXPECT_EQ(kept->Release(), 0u);
        }
    }

    RecordingClient client;
    EXPECT_EQ(parser->ParseFile(Bstr(PRAVELL_TEST_DATA "/events/missing.xml"), &client), E_FAIL);
    EXPECT_EQ(parser->ParseStream(nullptr, &client), E_FAIL);
    EXPECT_TRUE(client.events.empty());
    EXPECT_EQ(parser->ParseString(Bstr("<s/>"), nullptr), E_FAIL);
    parser->Release();
}

// A host may let go of its last reference to the parser inside its client's events (a script's
// handler setting its parser to Nothing): the parse goes on to its end, whatever it reads from.
TEST_F(ParserObject, AParserReleasedByItsClientFinishesTheParse) {
    const std::string path = PRAVELL_TEST_DATA "/events/document-type";
    const std::string document = ReadWholeFile(path + ".xml");
    for (const DISPID method : {1, 2, 3}) {
        SCOPED_TRACE(method);
        LateBound parser(new HExternalXMLParser);
        parser->AddRef();
        RecordingClient client;
        client.afterEvent = [&](RecordingClient& self) {
            if (self.events.size() == 2) {
                parser.Reset();
            }
        };
        ScriptStream source(document);
        const VARIANT input = method == 1   ? TextArgument(path + ".xml")
                              : method == 2 ? TextArgument(document)
                                            : ObjectArgument(&source);
        EXPECT_EQ(parser.Invoke(method, {input, ObjectArgument(&client)}), S_OK);
        EXPECT_EQ(parser.Get(), nullptr);
        EXPECT_EQ(LogText(client.events), ReadWholeFile(path + ".events"));
        EXPECT_EQ(client.References() + source.References(), 2u);
    }
}

// A pair the attributes object refuses is E_FAIL: a name equal to one it holds but for ASCII case
// (a null name is the empty one); in a list, the first such pair and all after it, the pairs
// before it staying; lists of different lengths, whole. A failed lookup leaves its outs alone.
TEST_F(ParserObject, AttributesRefuseAnEqualNameAndLeaveTheOutsOfAFailedLookup) {
    auto* attributes = new HDispatchTaggedAttributes;
    attributes->AddRef();
    EXPECT_EQ(attributes->AddAttribute(Bstr("b"), Bstr("1")), S_OK);
    EXPECT_EQ(attributes->AddAttribute(Bstr("A"), Bstr("2")), S_OK);
    EXPECT_EQ(attributes->AddAttribute(Bstr("B"), Bstr("4")), E_FAIL);
    EXPECT_EQ(attributes->AddAttribute(nullptr, Bstr("empty")), S_OK);
    EXPECT_EQ(attributes->AddAttribute(Bstr(""), Bstr("again")), E_FAIL);
    for (const std::vector<std::string>& listed :
         {std::vector<std::string>{"x", "y"}, std::vector<std::string>{"c", "a", "d"}}) {
        VARIANT names = StringsArgument(listed);
        VARIANT values = StringsArgument({"3", "refused", "never"});
        EXPECT_EQ(attributes->AddAttributes(names, values), E_FAIL);
        VariantClear(&names);
        VariantClear(&values);
    }
    EXPECT_EQ(DescribeAttributes(attributes), "[=empty,A=2,b=1,c=3]");
    BSTR value = reinterpret_cast<BSTR>(0x1);
    EXPECT_EQ(attributes->GetValue(Bstr("missing"), &value), E_FAIL);
    EXPECT_EQ(attributes->GetAttribute(4, &value, &value), E_FAIL);
    EXPECT_EQ(value, reinterpret_cast<BSTR>(0x1));
    EXPECT_EQ(attributes->Release(), 0u);
}

} // namespace
} // namespace Ostrel::Testing
