// What only callers of the writer itself can reach; the bytes the writer produces for documents
// are compared by the model's document suite (tests/data/documents).
#include "output/XMLWriter.h"
#include "parser/TaggedAttributes.h"
#include "support/FileTestSupport.h"
#include "support/TextTestSupport.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace Ostrel {
namespace {

const std::string kDeclaration = "<?xml version='1.0' encoding='UTF-8' ?>\n";

// Keeps every Write apart, so that tests see how the output was cut; refuses them when told to.
struct RecordingTarget : MemoryTransfer {
    bool Write(const void* data, LONG length) override {
        writes.emplace_back(static_cast<const char*>(data), static_cast<size_t>(length));
        return !refuse;
    }

    std::vector<std::string> writes;
    bool refuse = false;
};

// The declaration comes first, whether asked for or not, and each line is one write; comments
// start where the last line ended. A refused write fails its operation and nothing else: the open
// elements stay as the calls left them. An empty name is refused, and an end tag with no element
// open writes the sentinel's.
TEST(XMLWriter, EachLineIsOneWriteAndRefusalsLeaveTheOpenElements) {
    for (const bool declared : {false, true}) {
        RecordingTarget target;
        XMLWriter writer(&target, XMLWriter::Encoding::Utf8);
        TaggedAttributes attributes(5, 5, 5);
        attributes.Add(Text("x"), Text("1"));
        EXPECT_TRUE(!declared || writer.WriteDeclaration(Text("xml-stylesheet"), &attributes));
        EXPECT_TRUE(writer.WriteStartTag(Text("r"), nullptr, Text()));
        EXPECT_TRUE(writer.WriteElement(Text("c"), &attributes, Text("t")));
        target.refuse = true;
        EXPECT_FALSE(writer.WriteStartTag(Text("d"), nullptr, Text("lead")));
        target.refuse = false;
        EXPECT_TRUE(writer.WriteComment(Text("note")));
        EXPECT_FALSE(writer.WriteStartTag(Text(), nullptr, Text("x")));
        EXPECT_FALSE(writer.WriteDocumentType(Text(), Text(), Text()));
        EXPECT_TRUE(writer.WriteElement(Text("e"), nullptr, Text()));
        for (int i = 0; i < 3; ++i) {
            EXPECT_TRUE(writer.WriteEndTag());
        }
        EXPECT_EQ(target.writes,
                  (std::vector<std::string>{
                      declared ? "<?xml-stylesheet x=\"1\"?>\n" : kDeclaration, "<r>\n",
                      "   <c x=\"1\">t</c>\n", "   <d>lead\n", "<!--note-->", "      <e/>\n",
                      "   </d>\n", "</r>\n", "</Stack Underflow>\n"}));
    }
}

// A host's text as the ANSI page holds it, in every place a text goes. Written as held, its bytes
// go out as they are; written as UTF-8, a text that is not UTF-8 goes out whole as the UTF-8 of
// what the host wrote (an e with acute accent held as 0xE9 on a single-byte page, alone and after
// the two characters that its UTF-8 bytes are there), and one that is UTF-8 (those two characters
// alone, held there as C3 A9) as it is held. Where the page is UTF-8 both ways are the same.
TEST(XMLWriter, AsUtf8EveryHeldTextThatIsNotUtf8GoesOutWhole) {
    const std::pair<OleString, std::string> cases[] = {
        {OLESTR("\u00e9"), "\xC3\xA9"},
        {OLESTR("\u00c3\u00a9\u00e9"), "\xC3\x83\xC2\xA9\xC3\xA9"},
        {OLESTR("\u00c3\u00a9"), ""}};
    for (const auto& [wide, utf8] : cases) {
        const Text held(Testing::MakeBstr(wide).get());
        TaggedAttributes attributes(5, 5, 5);
        attributes.Add(held, held);
        for (const auto encoding : {XMLWriter::Encoding::AsHeld, XMLWriter::Encoding::Utf8}) {
            MemoryTransfer target;
            XMLWriter writer(&target, encoding);
            writer.WriteDocumentType(held, held, held);
            writer.WriteStartTag(held, &attributes, held);
            writer.WriteComment(held);
            writer.WriteElement(held, &attributes, held);
            writer.WriteEndTag();
            const bool asUtf8 = encoding == XMLWriter::Encoding::Utf8 && !utf8.empty();
            std::string expected = kDeclaration +
                                   "<!DOCTYPE @ PUBLIC \"@\" \"@\">\n<@ @=\"@\">@\n" +
                                   "<!--@-->   <@ @=\"@\">@</@>\n</@>\n";
            for (size_t at; (at = expected.find('@')) != std::string::npos;) {
                expected.replace(at, 1, asUtf8 ? utf8 : held.c_str());
            }
            EXPECT_EQ(target.bytes, expected);
        }
    }
}

} // namespace
} // namespace Ostrel
