// What only callers of the writer itself can reach; the bytes the writer produces for documents
// are compared by the model's document suite (tests/data/documents).
#include "output/XMLWriter.h"
#include "parser/TaggedAttributes.h"
#include "transfer/BaseDataTransfer.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace Ostrel {
namespace {

const std::string kDeclaration = "<?xml version='1.0' encoding='UTF-8' ?>\n";

// Keeps every Write apart, so that tests see how the output was cut; refuses them when told to.
class RecordingTarget : public BaseDataTransfer {
public:
    bool Write(const void* data, LONG length) override {
        writes.emplace_back(static_cast<const char*>(data), static_cast<size_t>(length));
        return !refuse;
    }
    bool Read(void*, LONG, uint32_t* bytesRead) override {
        *bytesRead = 0;
        return true;
    }
    bool Unread(LONG) override { return false; }

    std::vector<std::string> writes;
    bool refuse = false;
};

TEST(XMLWriter, EachLineIsOneWriteAndTheDeclarationComesFirst) {
    RecordingTarget target;
    XMLWriter writer(&target);
    TaggedAttributes attributes(5, 5, 5);
    attributes.Add(Text("x"), Text("1"));
    EXPECT_TRUE(writer.WriteStartTag(Text("r"), nullptr, Text()));
    EXPECT_TRUE(writer.WriteElement(Text("c"), &attributes, Text("t")));
    EXPECT_TRUE(writer.WriteStartTag(Text("d"), nullptr, Text("lead")));
    EXPECT_TRUE(writer.WriteComment(Text("note")));
    EXPECT_TRUE(writer.WriteElement(Text("e"), nullptr, Text()));
    EXPECT_EQ(writer.Depth(), 2);
    EXPECT_TRUE(writer.WriteEndTag());
    EXPECT_TRUE(writer.WriteEndTag());
    EXPECT_EQ(target.writes, (std::vector<std::string>{
                                 kDeclaration, "<r>\n", "   <c x=\"1\">t</c>\n", "   <d>lead\n",
                                 "<!--note-->", "      <e/>\n", "   </d>\n", "</r>\n"}));
}

TEST(XMLWriter, TheDeclarationHasTheDefaultOrTheCallersBodyAndTheAttributes) {
    RecordingTarget target;
    XMLWriter writer(&target);
    TaggedAttributes attributes(5, 5, 5);
    attributes.Add(Text("v"), Text("1"));
    EXPECT_TRUE(writer.WriteDeclaration(Text(), &attributes));
    EXPECT_TRUE(writer.WriteDeclaration(Text("xml-stylesheet href='s.xsl'"), nullptr));
    EXPECT_TRUE(writer.WriteElement(Text("a"), nullptr, Text()));
    EXPECT_EQ(target.writes,
              (std::vector<std::string>{"<?xml version='1.0' encoding='UTF-8'  v=\"1\"?>\n",
                                        "<?xml-stylesheet href='s.xsl'?>\n", "<a/>\n"}));
}

// Comments bring no declaration; an end tag with no open element writes the sentinel's; an
// empty name is refused after the declaration.
TEST(XMLWriter, MisuseWritesTheSentinelOrNothing) {
    RecordingTarget target;
    XMLWriter writer(&target);
    EXPECT_TRUE(writer.WriteComment(Text("c")));
    EXPECT_TRUE(writer.WriteEndTag());
    EXPECT_FALSE(writer.WriteStartTag(Text(), nullptr, Text("x")));
    EXPECT_FALSE(writer.WriteDocumentType(Text(), Text(), Text()));
    EXPECT_EQ(writer.Depth(), 0);
    EXPECT_EQ(target.writes,
              (std::vector<std::string>{"<!--c-->", kDeclaration, "</Stack Underflow>\n"}));
}

// A refused write fails its operation and nothing else: the declaration counts as written and the
// open elements stay as the calls left them.
TEST(XMLWriter, RefusedWritesFailEveryOperationWhileTheStackFollows) {
    RecordingTarget target;
    target.refuse = true;
    XMLWriter writer(&target);
    EXPECT_FALSE(writer.WriteStartTag(Text("a"), nullptr, Text()));
    EXPECT_FALSE(writer.WriteStartTag(Text("b"), nullptr, Text()));
    EXPECT_FALSE(writer.WriteElement(Text("c"), nullptr, Text("x")));
    EXPECT_FALSE(writer.WriteComment(Text("c")));
    EXPECT_FALSE(writer.WriteEndTag());
    EXPECT_EQ(writer.Depth(), 1);
    target.refuse = false;
    EXPECT_TRUE(writer.WriteEndTag());
    EXPECT_EQ(target.writes.back(), "</a>\n");
    EXPECT_EQ(target.writes.front(), kDeclaration);
    EXPECT_EQ(target.writes[1], "<a>\n");
}

} // namespace
} // namespace Ostrel
