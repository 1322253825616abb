#include "ModelTestSupport.h"
#include "model/XMLModel.h"
#include "parser/Tokenizer.h"
#include "support/FileTestSupport.h"
#include "support/TestSupport.h"

#include <expat.h>
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace Ostrel {
namespace {

const char kStreamingFailure[] = "XML Parse failed: there was an error streaming in data";

// Notes every read the model asks for and what it got.
class RecordingSource : public MemoryTransfer {
public:
    using MemoryTransfer::MemoryTransfer;

    bool Read(void* buffer, LONG maxLength, uint32_t* bytesRead) override {
        asked.push_back(maxLength);
        const bool read = MemoryTransfer::Read(buffer, maxLength, bytesRead);
        delivered.push_back(*bytesRead);
        return read;
    }

    std::vector<LONG> asked;
    std::vector<uint32_t> delivered;
};

// Delivers whole reads, but refuses every read that starts at or would go past `limit`.
class RefusingSource : public MemoryTransfer {
public:
    RefusingSource(std::string bytes, size_t limit) : MemoryTransfer(std::move(bytes)) {
        this->limit = limit;
    }

    bool Read(void* buffer, LONG maxLength, uint32_t* bytesRead) override {
        ++calls;
        const size_t wanted = std::min(static_cast<size_t>(maxLength), bytes.size() - readPosition);
        if (readPosition >= limit || readPosition + wanted > limit) {
            return false;
        }
        return MemoryTransfer::Read(buffer, maxLength, bytesRead);
    }

    size_t limit;
    int calls = 0;
};

// A document of exactly `size` bytes (at least 7).
std::string DocumentOfSize(size_t size) {
    return "<r>" + std::string(size - 7, 'x') + "</r>";
}

TEST(XMLModelLoad, PiecesAreWholeUntilAShortOneEndsTheInput) {
    const LONG piece = Tokenizer::kPieceSize;
    struct Case {
        size_t size;
        std::vector<uint32_t> delivered;
    };
    for (const Case& c : std::vector<Case>{{9999, {9999}},
                                           {10000, {10000, 0}},
                                           {10001, {10000, 1}},
                                           {20000, {10000, 10000, 0}}}) {
        SCOPED_TRACE(c.size);
        RecordingSource source(DocumentOfSize(c.size));
        XMLModel model;
        EXPECT_TRUE(model.LoadTransfer(source));
        EXPECT_EQ(source.delivered, c.delivered);
        EXPECT_EQ(source.asked, std::vector<LONG>(c.delivered.size(), piece));
        EXPECT_EQ(model.Root().ChildAt(0)->GetText().Length(), static_cast<LONG>(c.size - 7));
    }
}

TEST(XMLModelLoad, ElementsKeepTheirLastRunOfTextAndNothingOfWhatIsNotKept) {
    struct Case {
        const char* document;
        const char* element;
    };
    const Case cases[] = {
        {"<a>x<b/>y</a>", "a[]\"y\"(){b[]\"\"(){}}"},
        {"<a>x<!--c-->y</a>", "a[]\"y\"(c){}"},
        {"<a>\n  <b/>\n  <c/>\n</a>", "a[]\"\"(){b[]\"\"(){} c[]\"\"(){}}"},
        {"<a xml:space='preserve'> <b/> </a>", "a[xml:space='preserve']\"\"(){b[]\"\"(){}}"},
        {"<!DOCTYPE a [<!ENTITY in 'inside'><!ENTITY out SYSTEM '/etc/hostname'>]>"
         "<a>[&in;&out;&#x41;]</a>",
         "a[]\"[insideA]\"(){}"},
        {"<?xml version='1.0'?><?first x?><a><?in y?>x<?mid?>y<b/><?last?></a><?after?>",
         "a[]\"xy\"(){b[]\"\"(){}}"},
        {"<k c='3' a='1' b='2' d='4'/>", "k[c='3' a='1' b='2' d='4']\"\"(){}"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.document);
        XMLModel model;
        ASSERT_TRUE(model.LoadString(Text(c.document)));
        EXPECT_EQ(model.Root().Name(), "");
        ASSERT_EQ(model.Root().ChildCount(), 1);
        EXPECT_EQ(Picture(*model.Root().ChildAt(0)), c.element);
    }
}

TEST(XMLModelLoad, TokenizerFailuresLeaveAPositionAndThePartialTree) {
    struct Case {
        const char* document;
        const char* message;
        const char* root;
    };
    const Case cases[] = {
        {"", "no element found (Line: 1, Column: 0)", "[]\"\"(){}"},
        {"<a><b></a>", "mismatched tag (Line: 1, Column: 8)", "[]\"\"(){a[]\"\"(){b[]\"\"(){}}}"},
        {"<?xml version='1.0' encoding='ISO-8859-1'?>\n<a>caf\xE9 au lait</a>",
         "not well-formed (Line: 2, Column: 6)", "[]\"\"(){a[]\"\"(){}}"},
        {"<a>t<!--c--><b>\n  <c x='1' x='2'/></b></a>", "duplicate attribute (Line: 2, Column: 11)",
         "[]\"\"(){a[]\"t\"(c){b[]\"\"(){}}}"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.document);
        XMLModel model;
        EXPECT_FALSE(model.LoadString(Text(c.document)));
        EXPECT_EQ(PendingError(model), std::string("XML Parse failed: ") + c.message);
        EXPECT_EQ(Picture(model.Root()), c.root);

        // Nothing of the failed load remains after a good one.
        ASSERT_TRUE(model.LoadString(Text("<good/>")));
        EXPECT_EQ(Picture(model.Root()), "[]\"\"(){good[]\"\"(){}}");
    }
}

TEST(XMLModelLoad, CommentsOutsideTheDocumentElementGoToTheRootAndAreNotSaved) {
    XMLModel model;
    ASSERT_TRUE(model.LoadString(Text("<!--before--><r/><!--after-->")));
    EXPECT_EQ(Picture(model.Root()), "[]\"\"(before after){r[]\"\"(){}}");
    EXPECT_EQ(Saved(model), std::string(kDeclaration) + "<r/>\n");
}

TEST(XMLModelLoad, EntityExpansionAttacksFailWithTheTokenizersMessage) {
    // Nine levels of ten references each: a billion copies of the first entity.
    std::string attack = "<!DOCTYPE lolz [<!ENTITY lol0 'lol'>";
    for (int level = 1; level <= 9; ++level) {
        attack += "<!ENTITY lol" + std::to_string(level) + " '";
        for (int i = 0; i < 10; ++i) {
            attack += "&lol" + std::to_string(level - 1) + ";";
        }
        attack += "'>";
    }
    attack += "]><lolz>&lol9;</lolz>";

    XMLModel model;
    EXPECT_FALSE(model.LoadString(Text(attack.c_str())));
    const std::string expected = std::string("XML Parse failed: ") +
                                 XML_ErrorString(XML_ERROR_AMPLIFICATION_LIMIT_BREACH) +
                                 " (Line: 1, Column: ";
    EXPECT_EQ(PendingError(model).substr(0, expected.size()), expected);
    EXPECT_EQ(model.Root().ChildAt(0)->Name(), "lolz");
}

TEST(XMLModelLoad, DocumentTypeIsReplacedOrForgottenByEachLoad) {
    struct Case {
        const char* document;
        const char* saved;
    };
    const Case cases[] = {
        {"<!DOCTYPE n PUBLIC '-//P//EN' 's.dtd'><n/>",
         "<!DOCTYPE n PUBLIC \"-//P//EN\" \"s.dtd\">\n<n/>\n"},
        {"<!DOCTYPE n [<!ELEMENT n EMPTY>]><n/>", "<!DOCTYPE n>\n<n/>\n"},
        {"<!DOCTYPE n><n/>", "<!DOCTYPE n>\n<n/>\n"},
        {"<n/>", "<n/>\n"},
    };
    XMLModel model;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.document);
        ASSERT_TRUE(model.LoadString(Text(c.document)));
        EXPECT_EQ(Saved(model), std::string(kDeclaration) + c.saved);
    }
    ASSERT_TRUE(model.LoadString(Text(cases[0].document)));
    EXPECT_FALSE(model.LoadString(Text("<!DOCTYPE n><broken>")));
    EXPECT_EQ(Saved(model), std::string(kDeclaration) + "<!DOCTYPE n>\n<broken/>\n");
    model.Clear();
    EXPECT_EQ(Saved(model), kDeclaration);
}

TEST(XMLModelLoad, ASourceThatFailsAfterAnyByteLeavesWhatWasBuilt) {
    const std::string document = "<doc a='1' b=\"two\"><item>x&amp;y</item><!--c--><list><i n='1'/>"
                                 "<i n='2'>t\xC3\xA9xt</i></list><![CDATA[<raw>]]>tail</doc>";
    XMLModel complete;
    ASSERT_TRUE(complete.LoadString(Text(document.c_str())));
    const std::vector<std::string> allNames = DocumentOrder(complete.Root());

    // Blanks in front of the document put its first `seen` bytes into the first piece, which
    // is the only one the source delivers.
    for (size_t seen = 0; seen <= document.size(); ++seen) {
        SCOPED_TRACE(seen);
        const size_t piece = Tokenizer::kPieceSize;
        RefusingSource source(std::string(piece - seen, ' ') + document, piece);
        XMLModel model;
        model.Root().CreateChild(Text("previous"));
        EXPECT_FALSE(model.LoadTransfer(source));
        EXPECT_EQ(source.calls, 2) << "nothing is read after the refusal";
        EXPECT_EQ(PendingError(model), kStreamingFailure);

        const std::vector<std::string> names = DocumentOrder(model.Root());
        ASSERT_LE(names.size(), allNames.size());
        EXPECT_TRUE(std::equal(names.begin(), names.end(), allNames.begin()));
        if (seen == document.size()) {
            EXPECT_EQ(names, allNames) << "every element started before the refusal";
        }
    }
}

TEST(XMLModelLoad, ALoadStartsWithoutLeftOverText) {
    XMLModel model;
    const std::string unfinished = "<a>collected but never given";
    RefusingSource source(unfinished + std::string(Tokenizer::kPieceSize, ' '),
                          Tokenizer::kPieceSize);
    EXPECT_FALSE(model.LoadTransfer(source));
    ASSERT_TRUE(model.LoadString(Text("<b/>")));
    EXPECT_EQ(Picture(model.Root()), "[]\"\"(){b[]\"\"(){}}");
}

// Each heap call of the tree and its texts refused in turn (the tokenizer's own are not counted):
// the load fails with the tokenizer's out-of-memory message, or succeeds whole where the refused
// block was not needed. Nothing unwinds through the tokenizer, and the asan build finds no leak.
TEST(XMLModelLoad, EveryRefusedHeapCallFailsTheLoadWithItsMessage) {
    const Text document("<!DOCTYPE d><d a='1' b='two'>t<!--c--><e/>text<f g='h'>x&amp;y</f></d>");
    XMLModel whole;
    ASSERT_TRUE(whole.LoadString(document));
    const std::function<bool(XMLModel&)> loads[] = {
        [&](XMLModel& model) { return model.LoadString(document); },
        [&](XMLModel& model) {
            MemoryTransfer source(document.c_str());
            return model.LoadTransfer(source);
        },
    };
    for (const auto& load : loads) {
        Testing::HeapRefusalRounds rounds;
        while (rounds.Next()) {
            XMLModel model;
            rounds.Arm();
            const bool loaded = load(model);
            rounds.Disarm();
            if (loaded) {
                EXPECT_EQ(Picture(model.Root()), Picture(whole.Root()));
            } else {
                EXPECT_EQ(
                    PendingError(model).rfind("XML Parse failed: out of memory (Line: 1, ", 0), 0u)
                    << PendingError(model);
            }
        }
        EXPECT_GT(rounds.Refused(), 10u);
    }
}

} // namespace
} // namespace Ostrel
