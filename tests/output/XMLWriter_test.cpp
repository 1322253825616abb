// What only callers of the writer itself can reach; the bytes the writer produces for documents
// are compared by the model's document suite (tests/data/documents).
#include "output/XMLWriter.h"
#include "parser/TaggedAttributes.h"
#include "support/FileTestSupport.h"

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
        XMLWriter writer(&target);
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

} // namespace
} // namespace Ostrel
