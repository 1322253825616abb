#include "host/AutomationText.h"
#include "streaming/HExternalXMLParser.h"
#include "streaming/ParseEngine.h"
#include "support/AutomationTest.h"
#include "support/LateBinding.h"
#include "support/ParserClients.h"
#include "support/ScriptByteStream.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace Ostrel::Testing {
namespace {

using ParserTest = AutomationTest;

std::string Log(const RecordingClient& client) {
    return LogText(client.events);
}

// Each events/NAME.xml gives exactly the events of events/NAME.events, whether the parser reads
// the file (in 10000-byte pieces, line ends as the text file delivers them), a script class's
// stream of its bytes (which answers Null after the last piece) or, when it is one piece that
// reaches the parser as the same bytes, a host's string. A source that cannot be read or a
// missing client: E_FAIL and not a single event.
// The logs hold the document's UTF-8; the client receives it through the ANSI code page, which
// is UTF-8 only on Linux, and a host's string reaches the parser through the same page.
TEST_F(ParserTest, DocumentsGiveTheirGoldenEventLogs) {
    auto* parser = new HExternalXMLParser;
    parser->AddRef();
    const std::vector<std::string> documents = CasesIn(PRAVELL_TEST_DATA "/events", ".xml");
    EXPECT_GE(documents.size(), 19u);
    for (const std::string& document : documents) {
        SCOPED_TRACE(document);
        const Bstr file(document + ".xml");
        const std::string xml = ReadWholeFile(document + ".xml");
        const std::string expected = AnsiAsUtf8(ReadWholeFile(document + ".events"));
        const HRESULT answer = expected.find("\nParseError") == std::string::npos ? S_OK : E_FAIL;

        RecordingClient fromFile;
        EXPECT_EQ(parser->ParseFile(file, &fromFile), answer);
        EXPECT_EQ(Log(fromFile), expected);
        ScriptByteStream stream(xml);
        stream.lookup = NameLookup::DispIdOnly;
        RecordingClient fromStream;
        EXPECT_EQ(parser->ParseStream(&stream, &fromStream), answer);
        EXPECT_EQ(Log(fromStream), expected);
        if (answer == S_OK) {
            EXPECT_EQ(stream.nulls, xml.size() % 10000 == 0 ? 1 : 0)
                << "a short piece is the end; after a whole one, Null is";
        }
        const Bstr text(xml);
        RecordingClient fromString;
        if (xml.size() < 10000 && ToAnsi(BstrText(text)) == xml) {
            EXPECT_EQ(parser->ParseString(text, &fromString), answer);
            EXPECT_EQ(Log(fromString), expected);
        }
        EXPECT_EQ(fromFile.References() + fromStream.References() + fromString.References(), 3u);
    }

    ScratchDirectory directory;
    RecordingClient client;
    EXPECT_EQ(parser->ParseFile(Bstr(directory.Path() + "/missing.xml"), &client), E_FAIL);
    EXPECT_EQ(parser->ParseFile(nullptr, &client), E_FAIL);
    EXPECT_EQ(parser->ParseStream(nullptr, &client), E_FAIL);
    EXPECT_TRUE(client.events.empty());
    EXPECT_EQ(parser->ParseString(Bstr("<s/>"), nullptr), E_FAIL);
    parser->Release();
}

// A host may let go of its last reference to the parser inside its client's events (a script's
// handler setting its parser to Nothing): the parse goes on to its end, whether the parser was
// reached through its interface or by Invoke and whatever it reads from.
using ParserObject = RegisteredTest;

TEST_F(ParserObject, AParserReleasedByItsClientFinishesTheParse) {
    const std::string document = "<d a='1'><e>text</e><!--c--><f/></d>";
    ScratchDirectory directory;
    const std::string path = directory.Path() + "/doc.xml";
    WriteWholeFile(path, document);
    RecordingClient expected;
    EXPECT_EQ(RunStringParse(Bstr(document), &expected), S_OK);
    for (const bool byInvoke : {false, true}) {
        for (const DISPID method : {1, 2, 3}) {
            SCOPED_TRACE(std::to_string(method) + (byInvoke ? " by Invoke" : ""));
            auto* created = new HExternalXMLParser;
            created->AddRef();
            LateBound parser(created);
            RecordingClient client;
            client.afterEvent = [&](RecordingClient& self) {
                if (self.events.size() == 2) {
                    parser.Reset();
                }
            };
            ScriptByteStream source(document);
            const Bstr file(path);
            const Bstr text(document);
            HRESULT answer = E_UNEXPECTED;
            if (byInvoke) {
                VARIANT input = method == 1   ? TextArgument(path)
                                : method == 2 ? TextArgument(document)
                                              : ObjectArgument(&source);
                answer = parser.Invoke(method, {input, ObjectArgument(&client)});
            } else {
                answer = method == 1   ? created->ParseFile(file, &client)
                         : method == 2 ? created->ParseString(text, &client)
                                       : created->ParseStream(&source, &client);
            }
            EXPECT_EQ(answer, S_OK);
            EXPECT_EQ(parser.Get(), nullptr);
            EXPECT_EQ(client.events, expected.events);
            EXPECT_EQ(client.References() + source.References(), 2u);
        }
    }
}

} // namespace
} // namespace Ostrel::Testing
