#include "parser/ParseErrorText.h"
#include "streaming/HDispatchTaggedAttributes.h"
#include "streaming/ParseEngine.h"
#include "support/AutomationTest.h"
#include "support/LateBinding.h"
#include "support/ParserClients.h"
#include "support/TextTestSupport.h"
#include "transfer/IDataTransfer.h"

#include <expat.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <functional>
#include <map>
#include <string>
#include <utility>
#include <vector>

namespace {

using Ostrel::Bstr;
using Ostrel::IDataTransfer;
using Ostrel::RunParse;
using Ostrel::RunStringParse;
using Ostrel::Testing::EventLog;
using ParserTest = Ostrel::Testing::AutomationTest;
using Ostrel::Testing::RecordingClient;
using Ostrel::Testing::ScriptClient;

constexpr size_t kPiece = 10000;

// Serves `bytes` in reads of at most `shortAt[n]` bytes for read n (when listed), can fail a
// read or report more than it was asked for, and records the size of each read it answered.
class PieceSource : public IDataTransfer {
public:
    explicit PieceSource(std::string bytes) : bytes(std::move(bytes)) {}
    bool Write(const void*, LONG) override { return false; }
    bool Read(void* buffer, LONG maxLength, uint32_t* bytesRead) override {
        const int read = static_cast<int>(delivered.size());
        if (read == failAtRead) {
            return false;
        }
        size_t n = std::min(static_cast<size_t>(maxLength), bytes.size() - position);
        if (shortAt.count(read) != 0) {
            n = std::min(n, shortAt[read]);
        }
        std::memcpy(buffer, bytes.data() + position, n);
        position += n;
        delivered.push_back(n);
        *bytesRead = static_cast<uint32_t>(n) + (read == overReportAt ? 1 : 0);
        return true;
    }
    bool Unread(LONG) override { return false; }
    void AddRef() override {}
    void Release() override {}

    std::string bytes;
    size_t position = 0;
    std::map<int, size_t> shortAt;
    int failAtRead = -1;
    int overReportAt = -1;
    std::vector<size_t> delivered;
};

std::string Lower(std::string text) {
    for (char& c : text) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return text;
}

// What a client should see, taken from expat's own events over the same pieces: attributes
// ordered by name without regard to ASCII case, the first of two equal names kept.
class ExpatRecorder {
public:
    static EventLog Record(const std::string& document, const std::vector<size_t>& pieces) {
        ExpatRecorder recorder;
        XML_Parser parser = XML_ParserCreate("utf-8");
        XML_SetUserData(parser, &recorder);
        XML_SetElementHandler(parser, StartTag, EndTag);
        XML_SetCharacterDataHandler(parser, Text);
        XML_SetCommentHandler(parser, CommentText);
        XML_SetDoctypeDeclHandler(parser, Doctype, nullptr);
        recorder.log.push_back("StartDocument");
        size_t at = 0;
        for (size_t i = 0; i < pieces.size(); ++i) {
            const bool final = i + 1 == pieces.size();
            if (XML_Parse(parser, document.data() + at, static_cast<int>(pieces[i]), final) ==
                XML_STATUS_ERROR) {
                recorder.log.push_back(
                    "ParseError '" + std::string(Ostrel::ParseErrorText(XML_GetErrorCode(parser))) +
                    " (Line: " + std::to_string(XML_GetCurrentLineNumber(parser)) +
                    ", Column: " + std::to_string(XML_GetCurrentColumnNumber(parser)) + ")'");
                break;
            }
            at += pieces[i];
        }
        recorder.log.push_back("EndDocument");
        XML_ParserFree(parser);
        return recorder.log;
    }

    // The pieces RunParse reads: full pieces, then the short (possibly empty) last one.
    static std::vector<size_t> PiecesOf(size_t length) {
        std::vector<size_t> pieces(length / kPiece, kPiece);
        pieces.push_back(length % kPiece);
        return pieces;
    }

private:
    static void StartTag(void* self, const XML_Char* name, const XML_Char** attributes) {
        std::vector<std::pair<std::string, std::string>> pairs;
        for (; attributes[0] != nullptr; attributes += 2) {
            const std::string key = Lower(attributes[0]);
            if (std::none_of(pairs.begin(), pairs.end(),
                             [&](const auto& pair) { return Lower(pair.first) == key; })) {
                pairs.emplace_back(attributes[0], attributes[1]);
            }
        }
        std::stable_sort(pairs.begin(), pairs.end(), [](const auto& a, const auto& b) {
            return Lower(a.first) < Lower(b.first);
        });
        std::string line = std::string("StartElement ") + name + " [";
        for (size_t i = 0; i < pairs.size(); ++i) {
            line += (i > 0 ? "," : "") + pairs[i].first + "=" + pairs[i].second;
        }
        Log(self, line + "]");
    }
    static void EndTag(void* self, const XML_Char* name) {
        Log(self, std::string("EndElement ") + name);
    }
    static void Text(void* self, const XML_Char* text, int length) {
        Log(self, "Characters '" + std::string(text, static_cast<size_t>(length)) + "'");
    }
    static void CommentText(void* self, const XML_Char* text) {
        Log(self, std::string("Comment '") + text + "'");
    }
    static void Doctype(void* self, const XML_Char* name, const XML_Char*, const XML_Char*, int) {
        Log(self, std::string("DocumentType ") + name + " []");
    }
    static void Log(void* self, const std::string& line) {
        static_cast<ExpatRecorder*>(self)->log.push_back(line);
    }

    EventLog log;
};

std::string LongDocument(size_t elements) {
    std::string document = "<?xml version='1.0'?>\n<root>\n";
    for (size_t i = 0; i < elements; ++i) {
        document += "  <item n='" + std::to_string(i) + "' Kind=\"k\" a='&lt;&amp;'>text " +
                    std::to_string(i) + " caf\xC3\xA9 \xE2\x82\xAC &#x263A;<![CDATA[<raw>]]>" +
                    "</item><!-- note " + std::to_string(i) + " -->\n";
    }
    return document + "</root>\n";
}

std::vector<std::string> VariedDocuments() {
    return {
        "<a/>",
        "<?xml version='1.0' encoding='ISO-8859-1'?><a x='1' B='2' c='3'>t\xC3\xA9</a>",
        "<!DOCTYPE note SYSTEM 'note.dtd'><note><to>T</to>\n<!--c--></note>",
        "<r a='1' A='2'>\n  <e/>\n  text\n</r>",
        "<r>ab\ncd&amp;ef&#65;</r>",
        "<r><![CDATA[x < y]]></r>",
        LongDocument(400),
        LongDocument(400).substr(0, 21000),
        "<r><a></b></r>",
        "<r>&undefined;</r>",
        "<r/><r/>",
        "",
        "  \n",
    };
}

TEST_F(ParserTest, StreamedEventsMatchTheTokenizersOwnOverTheSamePieces) {
    for (const std::string& document : VariedDocuments()) {
        SCOPED_TRACE(document.substr(0, 60));
        PieceSource source(document);
        RecordingClient client;
        const EventLog expected =
            ExpatRecorder::Record(document, ExpatRecorder::PiecesOf(document.size()));
        const HRESULT answer = RunParse(source, &client);
        EXPECT_EQ(client.events, expected);
        EXPECT_EQ(answer,
                  expected[expected.size() - 2].rfind("ParseError", 0) == 0 ? E_FAIL : S_OK);
        EXPECT_EQ(client.References(), 1u);

        RecordingClient whole;
        Bstr text(document);
        EXPECT_EQ(RunStringParse(text, &whole), answer);
        EXPECT_EQ(whole.events, ExpatRecorder::Record(document, {document.size()}));
    }
}

// The reads a parse makes and how it ends: a short read is the last, an exact multiple of the
// piece size ends with an empty read, and a tokenizer failure, a failed read or a read that
// claims more than was asked for ends it at once with one ParseError and nothing after it but
// EndDocument (a carriage return the tokenizer holds back at the end of a piece included).
TEST_F(ParserTest, SourcesEndTheParseAtTheirLastOrFailedRead) {
    const std::string xs(kPiece, 'x');
    const std::string streaming = "ParseError 'Error streaming in data'";
    struct Case {
        std::string document;
        std::function<void(PieceSource&)> setUp;
        std::vector<size_t> delivered;
        std::string beforeEnd;
        size_t events; // 0: not counted
    };
    const Case cases[] = {
        {"", nullptr, {0}, "ParseError 'no element found (Line: 1, Column: 0)'", 3},
        {"<r>" + xs.substr(7) + xs + "</r>", nullptr, {kPiece, kPiece, 0}, "EndElement r", 0},
        {"<r>" + xs + "</r>",
         [](PieceSource& source) { source.shortAt[0] = 100; },
         {100},
         "ParseError 'no element found (Line: 1, Column: 100)'",
         0},
        {"<r><</r>" + xs + xs,
         nullptr,
         {kPiece},
         "ParseError 'not well-formed (Line: 1, Column: 4)'",
         4},
        {"<r>" + xs.substr(4) + "\r" + xs,
         [](PieceSource& source) { source.failAtRead = 1; },
         {kPiece},
         streaming,
         0},
        {"<r>" + xs + xs,
         [](PieceSource& source) { source.overReportAt = 0; },
         {kPiece},
         streaming,
         3},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.beforeEnd + " after " + std::to_string(c.document.size()) + " bytes");
        PieceSource source(c.document);
        if (c.setUp) {
            c.setUp(source);
        }
        RecordingClient client;
        const HRESULT answer = RunParse(source, &client);
        EXPECT_EQ(answer, c.beforeEnd.rfind("ParseError", 0) == 0 ? E_FAIL : S_OK);
        EXPECT_EQ(source.delivered, c.delivered);
        ASSERT_GE(client.events.size(), 3u);
        EXPECT_EQ(client.events[client.events.size() - 2], c.beforeEnd);
        EXPECT_EQ(client.events.back(), "EndDocument");
        EXPECT_LE(std::count_if(client.events.begin(), client.events.end(),
                                [](const std::string& e) { return e.rfind("ParseError", 0) == 0; }),
                  1);
        if (c.events != 0) {
            EXPECT_EQ(client.events.size(), c.events);
        }
    }
    const EventLog empty = {"StartDocument", "ParseError 'no element found (Line: 1, Column: 0)'",
                            "EndDocument"};
    const Bstr nothing("");
    for (BSTR text : {static_cast<BSTR>(nullptr), static_cast<BSTR>(nothing)}) {
        RecordingClient client;
        EXPECT_EQ(RunStringParse(text, &client), E_FAIL);
        EXPECT_EQ(client.events, empty);
    }
}

// Clients that cannot listen get nothing; a client's failures do not stop the parse; attributes
// objects a client keeps outlive their events.
TEST_F(ParserTest, ClientsListenOnTheirOwnTerms) {
    PieceSource source("<r/>");
    EXPECT_EQ(RunParse(source, nullptr), E_FAIL);
    EXPECT_TRUE(source.delivered.empty());
    ScriptClient deaf;
    deaf.names = {"Unrelated"};
    EXPECT_EQ(RunStringParse(Bstr("<r/>"), &deaf), E_FAIL);
    EXPECT_TRUE(deaf.events.empty());
    EXPECT_EQ(deaf.References(), 1u);

    RecordingClient failing;
    failing.answer = E_FAIL;
    EXPECT_EQ(RunStringParse(Bstr("<r a='1'>t<!--c--></r>"), &failing), S_OK);
    const EventLog expected = {"StartDocument", "StartElement r [a=1]", "Characters 't'",
                               "Comment 'c'",   "EndElement r",         "EndDocument"};
    EXPECT_EQ(failing.events, expected);

    RecordingClient keeping;
    keeping.keepAttributes = true;
    EXPECT_EQ(RunStringParse(Bstr("<r b='2' a='1'><s/></r>"), &keeping), S_OK);
    ASSERT_EQ(keeping.kept.size(), 2u);
    EXPECT_EQ(Ostrel::Testing::DescribeAttributes(keeping.kept[0]), "[a=1,b=2]");
    EXPECT_EQ(Ostrel::Testing::DescribeAttributes(keeping.kept[1]), "[]");
    for (IDispatch* kept : keeping.kept) {
        EXPECT_EQ(kept->Release(), 0u);
    }
}

TEST_F(ParserTest, AClientReleasingItselfDuringTheParseStaysAlive) {
    RecordingClient client;
    client.afterEvent = [](RecordingClient& self) {
        if (self.events.size() == 2) {
            self.Release();
        }
    };
    EXPECT_EQ(RunStringParse(Bstr("<r><s/></r>"), &client), S_OK);
    EXPECT_EQ(client.events.size(), 6u);
    EXPECT_EQ(client.References(), 0u);
}

TEST_F(ParserTest, HostTextOutsideAsciiParsesAsUtf8) {
    RecordingClient client;
    EXPECT_EQ(RunStringParse(Bstr("<?xml version='1.0' encoding='windows-1252'?>"
                                  "<caf\xC3\xA9 n='\xE2\x82\xAC'>\xC3\xA0 la carte</caf\xC3\xA9>"),
                             &client),
              S_OK);
    const EventLog expected = {"StartDocument", "StartElement caf\xC3\xA9 [n=\xE2\x82\xAC]",
                               "Characters '\xC3\xA0 la carte'", "EndElement caf\xC3\xA9",
                               "EndDocument"};
    EXPECT_EQ(client.events, expected);
}

// Clients convert strings of their own while the tokenizer still reads the host's text.
TEST_F(ParserTest, ClientConversionsDuringAStringParseLeaveTheTextIntact) {
    const std::string document = LongDocument(20);
    RecordingClient client;
    auto* scratch = new Ostrel::HDispatchTaggedAttributes;
    scratch->AddRef();
    int added = 0;
    client.afterEvent = [&](RecordingClient&) {
        for (int i = 0; i < 12; ++i) {
            const std::string name = "n" + std::to_string(added++) + std::string(40, 'x');
            scratch->AddAttribute(Bstr(name), Bstr(std::string(60, 'v')));
            scratch->GetValue(Bstr(name), nullptr);
        }
    };
    EXPECT_EQ(RunStringParse(Bstr(document), &client), S_OK);
    EXPECT_EQ(client.events, ExpatRecorder::Record(document, {document.size()}));
    scratch->Release();
}

TEST_F(ParserTest, ScriptClientsHearTheEventsTheyName) {
    const std::string document = LongDocument(30);
    PieceSource source(document);
    ScriptClient script;
    EXPECT_EQ(RunParse(source, &script), S_OK);
    EXPECT_EQ(script.events,
              ExpatRecorder::Record(document, ExpatRecorder::PiecesOf(document.size())));
    EXPECT_EQ(script.lookups, 8);
    EXPECT_EQ(script.References(), 1u);

    ScriptClient partial;
    partial.names = {"startelement", "PARSEERROR"};
    EXPECT_EQ(RunStringParse(Bstr("<r><s/><"), &partial), E_FAIL);
    const EventLog expected = {"startelement r []", "startelement s []",
                               "PARSEERROR 'unclosed token (Line: 1, Column: 7)'"};
    EXPECT_EQ(partial.events, expected);
}

// Each heap call of the events refused in turn: the parse ends at once with the out-of-memory
// message and EndDocument after the events delivered so far, or succeeds whole where the refused
// block was not needed. Nothing unwinds through the tokenizer, and the asan build finds no leak.
TEST_F(ParserTest, EveryRefusedHeapCallEndsTheParseWithItsMessage) {
    const std::string document =
        "<!DOCTYPE d><d a='1' B='two' b='3'>t<!--c--><e/>text<f g='h'>x&amp;y</f></d>";
    const EventLog whole = ExpatRecorder::Record(document, {document.size()});
    Ostrel::Testing::HeapRefusalRounds rounds;
    while (rounds.Next()) {
        PieceSource source(document);
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
