// Files that fail under a parse in ways only a POSIX system arranges: a directory opened as a
// file, whose reads fail, and a file cut short through another handle while it is being parsed.
#include "host/AutomationText.h"
#include "streaming/HExternalXMLParser.h"
#include "support/AutomationTest.h"
#include "support/ParserClients.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <string>

namespace Ostrel::Testing {
namespace {

using ParserTest = AutomationTest;

TEST_F(ParserTest, FilesThatFailUnderTheParseEndItWithTheirMessage) {
    auto* parser = new HExternalXMLParser;
    parser->AddRef();
    ScratchDirectory directory;
    RecordingClient unreadable;
    EXPECT_EQ(parser->ParseFile(Bstr(directory.Path()), &unreadable), E_FAIL);
    EXPECT_EQ(unreadable.events,
              (EventLog{"StartDocument", "ParseError 'Error streaming in data'", "EndDocument"}));

    // Cut at the first element, past the first piece the parser read: the end of the file comes
    // before the length it had when opened, which is a failed read, not the document's end.
    const std::string path = directory.Path() + "/doc.xml";
    WriteWholeFile(path, "<doc>" + std::string(20000, 'x') + "</doc>");
    RecordingClient cutting;
    cutting.afterEvent = [&](RecordingClient& self) {
        if (self.events.size() == 2) {
            EXPECT_EQ(truncate(path.c_str(), 100), 0);
        }
    };
    EXPECT_EQ(parser->ParseFile(Bstr(path), &cutting), E_FAIL);
    ASSERT_GE(cutting.events.size(), 3u);
    EXPECT_EQ(cutting.events[cutting.events.size() - 2], "ParseError 'Error streaming in data'");
    EXPECT_EQ(cutting.events.back(), "EndDocument");
    parser->Release();
}

} // namespace
} // namespace Ostrel::Testing
