#include "pravell_idl.h"
#include "streaming/HDispatchTaggedAttributes.h"
#include "streaming/HExternalXMLParser.h"
#include "support/AutomationTest.h"
#include "support/HostStreams.h"
#include "support/LateBinding.h"
#include "support/ParserClients.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

namespace {

using Ostrel::Bstr;
using Ostrel::HExternalXMLParser;
using Ostrel::Testing::EarlyStream;
using Ostrel::Testing::EventLog;
using ParserTest = Ostrel::Testing::AutomationTest;
using Ostrel::Testing::ReadShape;
using Ostrel::Testing::RecordingClient;
using Ostrel::Testing::ScriptClient;
using Ostrel::Testing::ScriptStream;

// Holds the one reference of a parser made for the test.
struct Held {
    Held() : object(new HExternalXMLParser) { object->AddRef(); }
    ~Held() { object->Release(); }
    HExternalXMLParser* operator->() const { return object; }
    HExternalXMLParser* object;
};

const EventLog kSmallDocument = {"StartDocument", "StartElement r [a=1]", "Characters 't'",
                                 "EndElement r", "EndDocument"};

// One event a line; a line break inside an event is written as \n or \r.
std::string LogLine(const std::string& event) {
    std::string line;
    for (char c : event) {
        line += c == '\n' ? "\\n" : c == '\r' ? "\\r" : std::string(1, c);
    }
    return line + "\n";
}

// Each data/NAME.xml read by ParseFile (so in 10000-byte pieces, carriage returns as the file
// reader gives them) must give exactly the events of data/NAME.events.
TEST_F(ParserTest, FilesGiveTheirGoldenEventLogs) {
    int documents = 0;
    for (const auto& entry : std::filesystem::directory_iterator(PRAVELL_PARSER_DATA)) {
        if (entry.path().extension() != ".xml") {
            continue;
        }
        SCOPED_TRACE(entry.path().filename().string());
        ++documents;
        Held parser;
        RecordingClient client;
        const HRESULT answer = parser->ParseFile(Bstr(entry.path().string()), &client);
        std::string log;
        for (const std::string& event : client.events) {
            log += LogLine(event);
        }
        std::filesystem::path expected = entry.path();
        EXPECT_EQ(log, ReadWholeFile(expected.replace_extension(".events").string()));
        EXPECT_EQ(answer, log.find("\nParseError") == std::string::npos ? S_OK : E_FAIL);
        EXPECT_EQ(client.References(), 1u);
    }
    EXPECT_GE(documents, 4);
}

// Each parse reaches only its own client; a source that cannot be read (a missing file, no
// source, a failing stream) or a missing client sends nothing or only the streaming failure.
TEST_F(ParserTest, ParsesReadTheirSourceForTheirOwnClient) {
    ScratchDirectory directory;
    Held parser;
    RecordingClient nothing;
    EXPECT_EQ(parser->ParseFile(Bstr(directory.Path() + "/missing.xml"), &nothing), E_FAIL);
    EXPECT_EQ(parser->ParseFile(nullptr, &nothing), E_FAIL);
    EXPECT_EQ(parser->ParseStream(nullptr, &nothing), E_FAIL);
    EXPECT_TRUE(nothing.events.empty());
    EXPECT_EQ(nothing.References(), 1u);
    EXPECT_EQ(parser->ParseString(Bstr("<s/>"), nullptr), E_FAIL);

    RecordingClient first;
    RecordingClient second;
    EXPECT_EQ(parser->ParseString(Bstr("<r a='1'>t</r>"), &first), S_OK);
    EXPECT_EQ(parser->ParseString(Bstr("<s/>"), &second), S_OK);
    EXPECT_EQ(first.events, kSmallDocument);
    EXPECT_EQ(second.events,
              (EventLog{"StartDocument", "StartElement s []", "EndElement s", "EndDocument"}));

    ScriptStream script;
    script.source = "<r a='1'>t</r>";
    script.shape = ReadShape::UnsignedBytes;
    RecordingClient scriptReader;
    EXPECT_EQ(parser->ParseStream(&script, &scriptReader), S_OK);
    EXPECT_EQ(scriptReader.events, kSmallDocument);
    EXPECT_EQ(script.References(), 1u);

    EarlyStream failing;
    failing.source = std::string(30000, ' ');
    failing.failAtRead = 2;
    RecordingClient told;
    EXPECT_EQ(parser->ParseStream(&failing, &told), E_FAIL);
    EXPECT_EQ(told.events,
              (EventLog{"StartDocument", "ParseError 'Error streaming in data'", "EndDocument"}));
}

// Unlike the model's objects, the streaming parser's offer no error information.
TEST_F(ParserTest, ParserAndAttributesOfferNoErrorInfo) {
    IDispatch* const objects[] = {new HExternalXMLParser, new Ostrel::HDispatchTaggedAttributes};
    for (IDispatch* object : objects) {
        object->AddRef();
        void* found = object;
        EXPECT_EQ(object->QueryInterface(IID_ISupportErrorInfo, &found), E_FAIL);
        EXPECT_EQ(found, nullptr);
        EXPECT_EQ(object->Release(), 0u);
    }
}

} // namespace
