#include "model/XMLModel.h"
#include "support/TextTestSupport.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace Ostrel {
namespace {

XMLNode& DocumentElement(XMLModel& model) {
    return *model.Root().ChildAt(0);
}

// Names that land in the same slot of the loader's table of remembered names (same length, same
// first and last letter) and names that differ only at their end, interleaved, so that every
// kind of hit and miss occurs.
TEST(DocumentLoader, RememberedNamesNeverStandInForOthers) {
    std::vector<std::string> names;
    for (char middle = 'a'; middle <= 'z'; ++middle) {
        names.push_back(std::string("x") + middle + "y");
    }
    names.insert(names.end(), {"item", "items", "Item", "ITEM", "i", "item_"});
    std::string xml = "<doc>";
    for (int round = 0; round < 3; ++round) {
        for (const std::string& name : names) {
            xml += "<" + name + " " + name + "='1' a" + name + "='2'/>";
        }
    }
    xml += "</doc>";
    XMLModel model;
    ASSERT_TRUE(model.LoadString(Text(xml.c_str())));
    const XMLNode& doc = DocumentElement(model);
    ASSERT_EQ(doc.ChildCount(), static_cast<LONG>(3 * names.size()));
    for (LONG i = 0; i < doc.ChildCount(); ++i) {
        const std::string& name = names[static_cast<size_t>(i) % names.size()];
        const XMLNode& child = *doc.ChildAt(i);
        EXPECT_EQ(child.Name(), name.c_str());
        ASSERT_EQ(child.Attributes().Count(), 2);
        EXPECT_EQ(child.Attributes().NameAt(0), name.c_str());
        EXPECT_EQ(child.Attributes().NameAt(1), ("a" + name).c_str());
    }
    const LONG item = 26;
    ASSERT_EQ(doc.ChildAt(item)->Name(), "item");
    const XMLNode& again = *doc.ChildAt(item + static_cast<LONG>(names.size()));
    EXPECT_EQ(again.Name().c_str(), doc.ChildAt(item)->Name().c_str())
        << "a remembered name is shared, not copied again";
}

// Values, texts and comments of every length around the largest one the arena takes, many of
// them so that blocks fill up, come back byte for byte, and copies outlive the document.
TEST(DocumentLoader, ArenaValuesAndTextsKeepTheirBytes) {
    std::vector<std::string> values;
    for (size_t length : {0u, 1u, 7u, 8u, 9u, 1023u, 1024u, 1025u, 5000u, 20000u}) {
        values.push_back(std::string(length, 'v'));
    }
    for (int i = 0; i < 400; ++i) {
        values.push_back("value " + std::to_string(i) + std::string(static_cast<size_t>(i), 'w'));
    }
    std::string xml = "<doc>";
    for (const std::string& value : values) {
        xml += "<e v='" + value + "'><!--" + value + "-->" + value + "</e>";
    }
    xml += "</doc>";
    XMLModel model;
    ASSERT_TRUE(model.LoadString(Text(xml.c_str())));
    XMLNode& doc = DocumentElement(model);
    ASSERT_EQ(doc.ChildCount(), static_cast<LONG>(values.size()));
    for (size_t i = 0; i < values.size(); ++i) {
        const XMLNode& e = *doc.ChildAt(static_cast<LONG>(i));
        EXPECT_EQ(e.Attributes().ValueAt(0), values[i].c_str()) << i;
        EXPECT_EQ(e.GetText(), values[i].c_str()) << i;
        ASSERT_EQ(e.CommentCount(), 1) << i;
        EXPECT_EQ(e.CommentAt(0), values[i].c_str()) << i;
    }

    const Text kept = doc.ChildAt(200)->GetText();
    model.Clear();
    ASSERT_TRUE(model.LoadString(Text("<other>text</other>")));
    EXPECT_EQ(kept, values[200].c_str());
}

// Blank pieces are dropped whole however long, and a piece is kept once anything in it is not
// blank: the eight-at-a-time scan must not skip a tab, line end or other byte.
TEST(DocumentLoader, BlankPiecesOfEveryLengthAreDroppedAndOthersKept) {
    for (size_t blanks = 0; blanks < 20; ++blanks) {
        SCOPED_TRACE(blanks);
        const std::string run(blanks, ' ');
        XMLModel model;
        ASSERT_TRUE(model.LoadString(Text(("<a><b/>" + run + "\t" + run + "</a>").c_str())));
        EXPECT_EQ(DocumentElement(model).GetText(), "");
        for (const char* tail : {"x", "\xC3\xA9", "\x7F"}) {
            const std::string content = run + tail;
            ASSERT_TRUE(model.LoadString(Text(("<a><b/>" + content + "</a>").c_str())));
            EXPECT_EQ(DocumentElement(model).GetText(), content.c_str());
        }
    }
}

} // namespace
} // namespace Ostrel
