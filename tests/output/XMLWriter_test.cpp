#include "output/XMLWriter.h"
#include "parser/TaggedAttributes.h"
#include "transfer/BaseDataTransfer.h"

#include <expat.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace Ostrel {
namespace {

const std::string kDeclaration = "<?xml version='1.0' encoding='UTF-8' ?>\n";

// Keeps every Write as one line, so tests see how the output was cut; refuses all writes when
// told to.
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

    std::string All() const {
        std::string all;
        for (const std::string& write : writes) {
            all += write;
        }
        return all;
    }

    std::vector<std::string> writes;
    bool refuse = false;
};

TaggedAttributes Attributes(std::initializer_list<std::pair<const char*, const char*>> pairs) {
    TaggedAttributes attributes(5, 5, 5);
    for (const auto& pair : pairs) {
        attributes.Add(Text(pair.first), Text(pair.second));
    }
    return attributes;
}

TEST(XMLWriter, FirstElementBringsTheDeclarationAsItsOwnWrite) {
    RecordingTarget target;
    XMLWriter writer(&target);
    EXPECT_TRUE(writer.WriteElement(Text("a"), nullptr, Text()));
    EXPECT_EQ(target.writes, (std::vector<std::string>{kDeclaration, "<a/>\n"}));
}

TEST(XMLWriter, DocumentWithAttributesAndNesting) {
    RecordingTarget target;
    XMLWriter writer(&target);
    const TaggedAttributes attributes = Attributes({{"x", "1"}, {"y", "2 3"}});
    EXPECT_TRUE(writer.WriteStartTag(Text("r"), nullptr, Text()));
    EXPECT_TRUE(writer.WriteElement(Text("c"), &attributes, Text("t")));
    EXPECT_TRUE(writer.WriteStartTag(Text("d"), nullptr, Text("lead")));
    EXPECT_TRUE(writer.WriteElement(Text("e"), nullptr, Text()));
    EXPECT_TRUE(writer.WriteEndTag());
    EXPECT_TRUE(writer.WriteEndTag());
    EXPECT_EQ(target.writes,
              (std::vector<std::string>{kDeclaration, "<r>\n", "   <c x=\"1\" y=\"2 3\">t</c>\n",
                                        "   <d>lead\n", "      <e/>\n", "   </d>\n", "</r>\n"}));
    EXPECT_EQ(writer.Depth(), 0);
}

TEST(XMLWriter, CommentsAreBareAndMayPrecedeTheDeclaration) {
    RecordingTarget target;
    XMLWriter writer(&target);
    EXPECT_TRUE(writer.WriteComment(Text("c")));
    EXPECT_TRUE(writer.WriteStartTag(Text("a"), nullptr, Text()));
    EXPECT_TRUE(writer.WriteComment(Text("in <a> & out")));
    EXPECT_TRUE(writer.WriteEndTag());
    EXPECT_EQ(target.All(), "<!--c-->" + kDeclaration + "<a>\n<!--in <a> & out--></a>\n");
}

TEST(XMLWriter, AnyDeclarationBodyCountsAsTheDeclaration) {
    RecordingTarget target;
    XMLWriter writer(&target);
    const TaggedAttributes attributes = Attributes({{"v", "1"}});
    EXPECT_TRUE(writer.WriteDeclaration(Text("xml-stylesheet href='s.xsl'"), nullptr));
    EXPECT_TRUE(writer.WriteElement(Text("a"), nullptr, Text()));
    EXPECT_EQ(target.All(), "<?xml-stylesheet href='s.xsl'?>\n<a/>\n");

    RecordingTarget second;
    XMLWriter defaulted(&second);
    EXPECT_TRUE(defaulted.WriteDeclaration(Text(), &attributes));
    EXPECT_EQ(second.All(), "<?xml version='1.0' encoding='UTF-8'  v=\"1\"?>\n")
        << "an attribute follows the body's trailing blank";
}

TEST(XMLWriter, ContentIsProtectedByCDataOnlyWhenNeeded) {
    RecordingTarget target;
    XMLWriter writer(&target);
    writer.WriteElement(Text("a"), nullptr, Text("a&b"));
    writer.WriteElement(Text("q"), nullptr, Text("\"it's\""));
    writer.WriteElement(Text("b"), nullptr, Text("x<y>z"));
    writer.WriteStartTag(Text("s"), nullptr, Text("1<2"));
    writer.WriteElement(Text("r"), nullptr, Text("a\rb\r"));
    writer.WriteElement(Text("c"), nullptr, Text("\r]]>\r&"));
    EXPECT_EQ(target.writes[1], "<a><![CDATA[a&b]]></a>\n");
    EXPECT_EQ(target.writes[2], "<q>\"it's\"</q>\n");
    EXPECT_EQ(target.writes[3], "<b><![CDATA[x<y>z]]></b>\n");
    EXPECT_EQ(target.writes[4], "<s>1<2\n") << "start-tag text is written verbatim";
    EXPECT_EQ(target.writes[5], "   <r>a&#13;b&#13;</r>\n");
    EXPECT_EQ(target.writes[6],
              "   <c><![CDATA[]]>&#13;<![CDATA[]]]]><![CDATA[>]]>&#13;<![CDATA[&]]></c>\n");

    Text content("a&b");
    EXPECT_TRUE(XMLWriter::ProtectContent(content));
    EXPECT_EQ(content, "<![CDATA[a&b]]>");
    Text returns("a\r\nb");
    XMLWriter::ProtectContent(returns);
    EXPECT_EQ(returns, "a&#13;\nb");
    Text plain("plain 'text'");
    XMLWriter::ProtectContent(plain);
    EXPECT_EQ(plain, "plain 'text'");
}

TEST(XMLWriter, AttributeValuesAreEscapedAndQuoted) {
    RecordingTarget target;
    XMLWriter writer(&target);
    const TaggedAttributes attributes =
        Attributes({{"a", "a&b"}, {"b", "\"word\""}, {"c", "it's"}, {"d", "\"it's\" <x>"}});
    writer.WriteElement(Text("e"), &attributes, Text());
    EXPECT_EQ(target.writes[1], "<e a=\"a&amp;b\" b='\"word\"' c=\"it&apos;s\" "
                                "d='\"it&apos;s\" &lt;x&gt;'/>\n");
}

TEST(XMLWriter, EndTagWithoutOpenElementWritesTheSentinel) {
    RecordingTarget target;
    XMLWriter writer(&target);
    EXPECT_TRUE(writer.WriteEndTag());
    EXPECT_TRUE(writer.WriteStartTag(Text("a"), nullptr, Text()));
    EXPECT_EQ(target.All(), kDeclaration + "</Stack Underflow>\n<a>\n");
}

TEST(XMLWriter, EmptyStartTagNameIsRefusedAfterTheDeclaration) {
    RecordingTarget target;
    XMLWriter writer(&target);
    EXPECT_FALSE(writer.WriteStartTag(Text(), nullptr, Text("x")));
    EXPECT_EQ(target.All(), kDeclaration);
    EXPECT_EQ(writer.Depth(), 0);
}

TEST(XMLWriter, RefusedWritesFailEveryOperationWhileTheStackFollows) {
    RecordingTarget target;
    target.refuse = true;
    XMLWriter writer(&target);
    EXPECT_FALSE(writer.WriteStartTag(Text("a"), nullptr, Text()));
    EXPECT_FALSE(writer.WriteStartTag(Text("b"), nullptr, Text()));
    EXPECT_EQ(writer.Depth(), 2);
    EXPECT_FALSE(writer.WriteElement(Text("c"), nullptr, Text("x")));
    EXPECT_FALSE(writer.WriteComment(Text("c")));
    EXPECT_FALSE(writer.WriteEndTag());
    EXPECT_EQ(writer.Depth(), 1);
    target.refuse = false;
    EXPECT_TRUE(writer.WriteEndTag());
    EXPECT_EQ(target.writes.back(), "</a>\n");
    EXPECT_EQ(target.writes.front(), kDeclaration) << "written once, even though refused";
    EXPECT_EQ(target.writes[1], "<a>\n");
}

TEST(XMLWriter, DocumentTypeLines) {
    RecordingTarget target;
    XMLWriter writer(&target);
    EXPECT_TRUE(writer.WriteDocumentType(Text("note"), Text(), Text()));
    EXPECT_TRUE(writer.WriteDocumentType(Text("n"), Text(), Text("n.dtd")));
    EXPECT_TRUE(writer.WriteDocumentType(Text("html"), Text("-//W//DTD X//EN"), Text("x.dtd")));
    EXPECT_TRUE(writer.WriteDocumentType(Text("q"), Text(), Text("it\"s.dtd")));
    EXPECT_FALSE(writer.WriteDocumentType(Text(), Text(), Text()));
    EXPECT_EQ(target.All(), kDeclaration + "<!DOCTYPE note>\n<!DOCTYPE n SYSTEM \"n.dtd\">\n"
                                           "<!DOCTYPE html PUBLIC \"-//W//DTD X//EN\" \"x.dtd\">\n"
                                           "<!DOCTYPE q SYSTEM 'it\"s.dtd'>\n");
}

// Reads back the first element's text and attribute values with the tokenizer itself.
struct Reloaded {
    std::string text;
    std::vector<std::string> values;
    bool wellFormed = false;
};

Reloaded Reload(const std::string& document) {
    Reloaded result;
    XML_Parser parser = XML_ParserCreate("UTF-8");
    XML_SetUserData(parser, &result);
    XML_SetElementHandler(
        parser,
        [](void* data, const XML_Char*, const XML_Char** attributes) {
            auto* reloaded = static_cast<Reloaded*>(data);
            for (int i = 0; attributes[i] != nullptr; i += 2) {
                reloaded->values.emplace_back(attributes[i + 1]);
            }
        },
        nullptr);
    XML_SetCharacterDataHandler(parser, [](void* data, const XML_Char* chars, int length) {
        static_cast<Reloaded*>(data)->text.append(chars, static_cast<size_t>(length));
    });
    result.wellFormed =
        XML_Parse(parser, document.data(), static_cast<int>(document.size()), 1) == XML_STATUS_OK;
    XML_ParserFree(parser);
    return result;
}

TEST(XMLWriter, AwkwardContentAndValuesSurviveAReload) {
    const char* const contents[] = {"a]]>b", "]]>",        "x]]>]]>y<", "]]]>>",   "&]]",
                                    "\r",    "a\r\nb\r\n", "x]]>\ry<",  "x\r]]>y", "]]\r>&"};
    for (const char* content : contents) {
        // A leaf element, and the text of an element with children (after its start tag).
        RecordingTarget leaf;
        XMLWriter(&leaf).WriteElement(Text("a"), nullptr, Text(content));
        RecordingTarget parent;
        XMLWriter writer(&parent);
        Text text(content);
        XMLWriter::ProtectContent(text);
        writer.WriteStartTag(Text("a"), nullptr, text);
        writer.WriteEndTag();
        for (const auto& [target, expected] : {std::pair{&leaf, std::string(content)},
                                               std::pair{&parent, content + std::string("\n")}}) {
            const Reloaded reloaded = Reload(target->All());
            EXPECT_TRUE(reloaded.wellFormed) << target->All();
            EXPECT_EQ(reloaded.text, expected) << target->All();
        }
    }

    RecordingTarget target;
    XMLWriter writer(&target);
    const char* value = "tab\there\nline\r\nend & \"q\" 'a' <>";
    const TaggedAttributes attributes = Attributes({{"v", value}});
    writer.WriteElement(Text("a"), &attributes, Text());
    const Reloaded reloaded = Reload(target.All());
    ASSERT_TRUE(reloaded.wellFormed) << target.All();
    ASSERT_EQ(reloaded.values.size(), 1u);
    EXPECT_EQ(reloaded.values[0], value);
}

} // namespace
} // namespace Ostrel
