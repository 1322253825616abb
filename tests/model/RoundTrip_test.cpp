#include "ModelTestSupport.h"
#include "model/XMLModel.h"
#include "support/FileTestSupport.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace Ostrel {
namespace {

std::string Nested(int depth) {
    std::string open, close;
    for (int i = 0; i < depth; ++i) {
        open += "<n" + std::to_string(i % 7) +
                (i % 5 == 0 ? " at='" + std::to_string(i) + "'" : "") + ">";
        close = "</n" + std::to_string(i % 7) + ">" + close;
    }
    return open + "deepest" + close;
}

std::vector<std::string> Documents() {
    return {
        "<a/>",
        "<?xml version='1.0'?>\n<!-- outside -->\n<doc>\n  <p>Hello <b>bold</b> world</p>\n"
        "  <!-- inside -->\n  <list><i>1</i><i>2</i><i/></list>\n</doc>\n<!-- after -->",
        "<a x='1 &amp; 2' y=\"&lt;&gt;&quot;'\" z='tab&#9;lf&#10;cr&#13;end'/>",
        "<a g='7' F='6' e='5' d='4' c='3' b='2' a='1'><k c='3' a='1' b='2' d='4'/></a>",
        "<d><x><![CDATA[a<b && c]]]]><![CDATA[>d]]></x><y>&lt;&amp;&gt;</y><z>]]&gt;</z></d>",
        "<\xD0\xBF\xD1\x80\xD0\xB8 \xC3\xA9t\xC3\xA9='\xE2\x82\xAC'>\xE6\x96\x87\xE5\xAD\x97"
        "</\xD0\xBF\xD1\x80\xD0\xB8>",
        "<x:a xmlns:x='urn:x' x:b='1' xml:space='preserve'><x:c>  spaced  </x:c></x:a>",
        "<!DOCTYPE doc SYSTEM 'doc.dtd'><doc><leaf>line1\nline2\n</leaf></doc>",
        "<!DOCTYPE doc PUBLIC '-//P//EN' 'doc.dtd'><doc>x<!--c-->y</doc>",
        "<a>x<b/>y</a>",
        "<d><r>a&#13;b&#13;&#10;c&#13;</r><m>x]]&gt;&#13;y &amp; z&#13;]]&gt;<k/></m></d>",
        "<" + std::string(5000, 'n') + " " + std::string(3001, 'v') + "='long'/>",
        Nested(300),
    };
}

// Saves `source` through one kind of target and loads the result into `target`.
struct Channel {
    const char* name;
    bool storesCarriageReturns;
    bool (*Save)(XMLModel& source, const std::string& path);
    bool (*Load)(XMLModel& target, const std::string& path);
};

const Channel kChannels[] = {
    {"string", false,
     [](XMLModel& source, const std::string& path) {
         Text saved;
         if (!source.SaveString(saved)) {
             return false;
         }
         WriteWholeFile(path, saved.c_str());
         return true;
     },
     [](XMLModel& target, const std::string& path) {
         return target.LoadString(Text(ReadWholeFile(path).c_str()));
     }},
    {"plain file", true,
     [](XMLModel& source, const std::string& path) { return source.SaveFile(Text(path.c_str())); },
     [](XMLModel& target, const std::string& path) { return target.LoadFile(Text(path.c_str())); }},
    {"container", false,
     [](XMLModel& source, const std::string& path) {
         return source.SaveCompressed(Text(path.c_str()));
     },
     [](XMLModel& target, const std::string& path) {
         return target.LoadCompressed(Text(path.c_str()));
     }},
};

void ExpectSameDocumentType(const XMLModel& a, const XMLModel& b) {
    EXPECT_EQ(a.GetDocumentType().name, b.GetDocumentType().name);
    EXPECT_EQ(a.GetDocumentType().publicId, b.GetDocumentType().publicId);
    EXPECT_EQ(a.GetDocumentType().systemId, b.GetDocumentType().systemId);
}

TEST(RoundTrip, EveryDocumentComesBackThroughEveryTarget) {
    ScratchDirectory directory;
    const std::string path = directory.Path() + "/doc";
    for (const std::string& document : Documents()) {
        SCOPED_TRACE(document.substr(0, 60));
        XMLModel original;
        ASSERT_TRUE(original.LoadString(Text(document.c_str())));
        const std::string saved = Saved(original);

        for (const Channel& channel : kChannels) {
            SCOPED_TRACE(channel.name);
            ASSERT_TRUE(channel.Save(original, path));
            if (channel.storesCarriageReturns) {
                EXPECT_EQ(ReadWholeFile(path), OnDisk(saved));
            }
            XMLModel reloaded;
            ASSERT_TRUE(channel.Load(reloaded, path));
            ASSERT_EQ(reloaded.Root().ChildCount(), original.Root().ChildCount());
            for (LONG i = 0; i < original.Root().ChildCount(); ++i) {
                ExpectReloadedTree(*original.Root().ChildAt(i), *reloaded.Root().ChildAt(i));
            }
            ExpectSameDocumentType(original, reloaded);
            EXPECT_EQ(reloaded.Root().CommentCount(), 0) << "comments outside are not saved";
        }
    }
}

TEST(RoundTrip, ASecondRoundChangesOnlyTextsBeforeChildren) {
    // Leaves, attributes and comments are stable; an element with children gains the line
    // break and indentation after its text each round, and nothing else.
    XMLModel first;
    ASSERT_TRUE(first.LoadString(Text("<a>x<b>leaf</b><!--c--></a>")));
    XMLModel second;
    ASSERT_TRUE(second.LoadString(Text(Saved(first).c_str())));
    EXPECT_EQ(Picture(second.Root()), "[]\"\"(){a[]\"x\n\"(c){b[]\"leaf\"(){}}}");
    XMLModel third;
    ASSERT_TRUE(third.LoadString(Text(Saved(second).c_str())));
    EXPECT_EQ(Picture(third.Root()), "[]\"\"(){a[]\"x\n\n\"(c){b[]\"leaf\"(){}}}");
}

} // namespace
} // namespace Ostrel
