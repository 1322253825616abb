#include "GeneratedDocuments.h"

#include <array>
#include <initializer_list>

namespace Ostrel::Soak {

namespace {

// Names beyond ASCII and with every punctuation a name may hold.
constexpr std::array<const char*, 9> kNames = {
    "item", "row",    "entry", "gr\303\266\303\237e",  "data-set",
    "a",    "node_1", "x.y",   "\303\211l\303\251ment"};

// Words of text: references the writer must escape again, characters of two, three and four
// bytes, quotes, and line breaks. The first kLeadingWords start no blank.
constexpr size_t kLeadingWords = 12;
constexpr std::array<const char*, 16> kWords = {
    "lorem",       "ipsum",        "&amp;",        "&lt;tag&gt;",
    "caf\xC3\xA9", "\xE2\x82\xAC", "\xE2\x98\x83", "\xF0\x9F\x8C\x8D",
    "\"quoted\"",  "it's",         "12345",        "&#x263A;",
    "\n",          "  ",           "dolor",        "&#38;"};

// Attribute values: quotes of both kinds, references, and line breaks and tabs, both as
// references (kept) and as themselves (read as blanks).
constexpr std::array<const char*, 8> kValues = {"plain",
                                                "&quot;both&quot; 'quotes'",
                                                "a &amp; b",
                                                "caf\xC3\xA9",
                                                "",
                                                "\xE2\x98\x83 snow",
                                                "line&#10;break&#9;tab&#13;",
                                                "raw\tbreak\n"};

// No child and no text is added past this size.
constexpr size_t kMostBytes = 30000;

class Builder {
public:
    explicit Builder(uint64_t seed) : state(seed) {}

    // The random sequence first, so that it is there when the bounds below are drawn.
    uint64_t state;
    std::string xml;
    // The shape's bounds: deep chains, elements with thousands of children, dozens of
    // attributes (past the point where an element sorts them), texts across the tokenizer's
    // pieces, comments before and between children.
    const size_t levels = Pick({1, 2, 12, 200});
    const size_t children = Pick({1, 8, 2000});
    const size_t attributes = Pick({0, 3, 80});
    const size_t text = Pick({0, 40, 25000});
    const size_t commentOneIn = Pick({0, 2, 10});

    // splitmix64: small, fast, and the same sequence everywhere.
    size_t Below(size_t bound) {
        uint64_t z = (state += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return static_cast<size_t>((z ^ (z >> 31)) % bound);
    }
    size_t Pick(std::initializer_list<size_t> choices) {
        return choices.begin()[Below(choices.size())];
    }

    // A run of text never starts with a blank: where a piece of the input ends inside the
    // blanks that start a run, a load drops them, so such a text would come back from one
    // source and not from another.
    void Words() {
        if (text == 0 || xml.size() >= kMostBytes) {
            return;
        }
        xml += kWords[Below(kLeadingWords)];
        for (const size_t end = xml.size() + Below(text); xml.size() < end;) {
            xml += ' ';
            xml += kWords[Below(kWords.size())];
        }
    }

    // Attribute names are distinct, as a well-formed tag needs; some differ from an earlier one
    // only in letter case, which an element sorted by name keeps only once.
    void Element(size_t depth) {
        const std::string name = kNames[Below(kNames.size())] + std::to_string(Below(100));
        xml += '<' + name;
        for (size_t i = 0, count = Below(attributes + 1); i < count; ++i) {
            const bool upper = i > 0 && Below(8) == 0;
            const std::string value = kValues[Below(kValues.size())];
            const char quote = value.find('\'') == std::string::npos && Below(2) == 0 ? '\'' : '"';
            xml += ' ' + std::string(upper ? "A" : "a") + std::to_string(i - (upper ? 1 : 0)) +
                   '=' + quote + value + quote;
        }
        xml += '>';
        const size_t count = depth < levels ? Below(children) + 1 : 0;
        for (size_t i = 0; i < count && xml.size() < kMostBytes; ++i) {
            if (Below(2) == 0) {
                Words();
            }
            if (commentOneIn > 0 && Below(commentOneIn) == 0) {
                xml += "<!-- caf\xC3\xA9 - \xE2\x98\x83 <not a tag> &amp; -->";
            }
            xml += Below(32) == 0 ? "<![CDATA[<raw> & ]]>" : Below(32) == 0 ? "<?pi data?>" : "";
            Element(depth + 1);
        }
        if (count == 0 || Below(2) == 0) {
            Words();
        }
        xml += "</" + name + '>';
    }
};

} // namespace

std::string GeneratedDocument(uint64_t seed) {
    Builder b(seed);
    b.xml += b.Below(2) == 0 ? "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n" : "";
    b.xml += b.Below(3) == 0 ? "<!DOCTYPE doc>\n" : "";
    // Comments outside the top element, which a save leaves out.
    const std::string outside = b.commentOneIn > 0 ? "<!-- outside -->" : "";
    b.xml += outside;
    b.Element(0);
    b.xml += outside;
    return b.xml;
}

} // namespace Ostrel::Soak
