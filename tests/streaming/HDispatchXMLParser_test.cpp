#include "host/AutomationText.h"
#include "streaming/HExternalXMLParser.h"
#include "support/AutomationTest.h"
#include "support/HostStreams.h"
#include "support/LateBinding.h"
#include "support/ParserClients.h"
#include "support/TestSupport.h"
#include "text/ScratchBuffers.h"

#include <gtest/gtest.h>

#include <string>

namespace Ostrel::Testing {
namespace {

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
        stream.lookup = NameLookup::DispIdOnly;
        ScriptClient fromStream;
        fromStream.lookup = NameLookup::DispIdOnly;
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
    EXPECT_EQ(parser->ParseFile(nullptr, &client), E_FAIL);
    EXPECT_EQ(parser->ParseStream(nullptr, &client), E_FAIL);
    EXPECT_TRUE(client.events.empty());
    EXPECT_EQ(parser->ParseString(Bstr("<s/>"), nullptr), E_FAIL);
    parser->Release();
}

// A host may let go of its last reference to the parser inside its client's events (a script's
// handler setting its parser to Nothing): the parse goes on to its end, whatever it reads from.
TEST_F(ParserObject, AParserReleasedByItsClientFinishesTheParse) {
    const std::string document = "<d a='1'><e>text</e><!--c--><f/></d>";
    ScratchDirectory directory;
    const std::string path = directory.Path() + "/doc.xml";
    WriteWholeFile(path, document);
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
        const VARIANT input = method == 1   ? TextArgument(path)
                              : method == 2 ? TextArgument(document)
                                            : ObjectArgument(&source);
        EXPECT_EQ(parser.Invoke(method, {input, ObjectArgument(&client)}), S_OK);
        EXPECT_EQ(parser.Get(), nullptr);
        EXPECT_EQ(client.events.size(), 10u);
        EXPECT_EQ(client.References() + source.References(), 2u);
    }
}

} // namespace
} // namespace Ostrel::Testing
