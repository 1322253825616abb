#include "host/AutomationText.h"
#include "streaming/HExternalXMLParser.h"
#include "support/AutomationTest.h"
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

} // namespace
} // namespace Ostrel::Testing
