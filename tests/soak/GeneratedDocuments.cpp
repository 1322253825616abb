#include "GeneratedDocuments.h"

#include <array>
#include <cstddef>

namespace Ostrel::Soak {

namespace {

// splitmix64: small, fast, and the same sequence everywhere.
class Random {
public:
    explicit Random(uint64_t seed) : state(seed) {}

    uint64_t Next() {
        uint64_t z = (state += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    size_t Below(size_t bound) { return bound == 0 ? 0 : static_cast<size_t>(Next() % bound); }
    size_t Between(size_t low, size_t high) { return low + Below(high - low + 1); }
    bool OneIn(size_t n) { return Below(n) == 0; }

    template <typename T, size_t N>
    const T& Pick(const std::array<T, N>& choices) {
        return choices[Below(N)];
    }

private:
    uint64_t state;
};

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
constexpr std::array<const char*, 10> kValues = {"plain",
                                                 "&quot;both&quot; 'quotes'",
                                                 "a &amp; b",
                                                 "&lt;less",
                                                 "caf\xC3\xA9",
                                                 "42",
                                                 "",
                                                 "\xE2\x98\x83 snow",
                                                 "line&#10;break&#9;tab&#13;",
                                                 "raw\tbreak\n"};

class Builder {
public:
    explicit Builder(uint64_t seed) : random(seed) {}

    Random random;
    std::string xml;

    std::string Name() {
        std::string name = random.Pick(kNames);
        if (random.OneIn(2)) {
            name += std::to_string(random.Below(100));
        }
        return name;
    }

    // A run of text never starts with a blank: where a piece of the input ends inside the
    // blanks that start a run, a load drops them, so such a text would come back from one
    // source and not from another.
    void Words(size_t bytes) {
        xml += kWords[random.Below(kLeadingWords)];
        for (const size_t end = xml.size() + bytes; xml.size() < end;) {
            xml += ' ';
            xml += random.Pick(kWords);
        }
    }

    // Attribute names are distinct, as a well-formed tag needs; some differ from an earlier one
    // only in letter case, which an element sorted by name keeps only once.
    void Open(const std::string& name, size_t attributes) {
        xml += '<' + name;
        for (size_t i = 0; i < attributes; ++i) {
            const bool upper = i > 0 && random.OneIn(8);
            xml += ' ' + std::string(upper ? "A" : "a") + std::to_string(i - (upper ? 1 : 0));
            const std::string value = random.Pick(kValues);
            const char quote =
                value.find('\'') == std::string::npos && random.OneIn(2) ? '\'' : '"';
            xml += '=' + std::string(1, quote) + value + quote;
        }
        xml += '>';
    }

    void Close(const std::string& name) { xml += "</" + name + '>'; }

    void Comment() {
        xml += "<!-- ";
        xml += random.OneIn(2) ? "a remark" : "caf\xC3\xA9 - \xE2\x98\x83 <not a tag> &amp;";
        xml += " -->";
    }

    // One element of a random tree, spending about `budget` bytes.
    void Tree(size_t depth, size_t budget) {
        const std::string name = Name();
        Open(name, random.Below(random.OneIn(4) ? 12 : 4));
        const size_t start = xml.size();
        while (xml.size() - start < budget) {
            switch (random.Below(6)) {
            case 0:
                Words(random.Between(1, 200));
                break;
            case 1:
                Comment();
                break;
            case 2:
                xml += "<![CDATA[<raw> & ]]>";
                break;
            default:
                if (depth < 12) {
                    Tree(depth + 1, random.Below(budget / 3 + 1));
                } else {
                    Words(20);
                }
            }
        }
        Close(name);
    }
};

void Deep(Builder& b) {
    const size_t depth = b.random.Between(40, 200);
    for (size_t level = 0; level < depth; ++level) {
        b.Open("level", b.random.Below(3));
        if (b.random.OneIn(10)) {
            b.Comment();
        }
    }
    b.Words(b.random.Between(1, 100));
    for (size_t level = 0; level < depth; ++level) {
        b.Close("level");
    }
}

void Wide(Builder& b) {
    b.Open("list", 1);
    for (size_t i = 0, count = b.random.Between(300, 2000); i < count; ++i) {
        if (b.random.OneIn(3)) {
            b.xml += "<item/>";
        } else {
            b.Open("item", b.random.Below(2));
            b.Words(b.random.Between(1, 20));
            b.Close("item");
        }
    }
    b.Close("list");
}

void Attributes(Builder& b) {
    b.Open("table", 3);
    for (size_t i = 0, count = b.random.Between(10, 60); i < count; ++i) {
        b.Open("row", b.random.Between(5, 80));
        b.Close("row");
    }
    b.Close("table");
}

void LongText(Builder& b) {
    b.Open("book", 0);
    for (size_t i = 0, count = b.random.Between(1, 4); i < count; ++i) {
        b.Open("chapter", 1);
        b.Words(b.random.Between(5000, 40000));
        b.Close("chapter");
    }
    b.Close("book");
}

void Comments(Builder& b) {
    b.Comment();
    b.Open("notes", 0);
    for (size_t i = 0, count = b.random.Between(20, 200); i < count; ++i) {
        b.Comment();
        if (b.random.OneIn(3)) {
            b.Open("note", 1);
            b.Comment();
            b.Words(10);
            b.Close("note");
        }
    }
    b.Close("notes");
    b.Comment();
}

void Mixed(Builder& b) {
    b.Open("p", 1);
    for (size_t i = 0, count = b.random.Between(50, 500); i < count; ++i) {
        b.Words(b.random.Between(1, 40));
        const std::string name = b.random.OneIn(2) ? "b" : "i";
        b.Open(name, 0);
        b.Words(5);
        if (b.random.OneIn(4)) {
            b.Open("sub", 0);
            b.Close("sub");
            b.Words(3);
        }
        b.Close(name);
    }
    b.Words(10);
    b.Close("p");
}

void Small(Builder& b) {
    if (b.random.OneIn(2)) {
        b.xml += "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
    }
    if (b.random.OneIn(3)) {
        b.xml += "<!DOCTYPE doc>\n";
    }
    b.Open("doc", b.random.Below(3));
    if (b.random.OneIn(4)) {
        b.xml += "<?target data?>";
    }
    for (size_t i = 0, count = b.random.Below(8); i < count; ++i) {
        const std::string name = b.Name();
        b.Open(name, b.random.Below(3));
        b.Words(b.random.Below(30));
        b.Close(name);
    }
    b.Close("doc");
}

void Medium(Builder& b) {
    b.Tree(0, b.random.Between(1000, 60000));
}

struct ShapeRecord {
    const char* name;
    void (*build)(Builder&);
};

// In the order of Shape.
constexpr std::array<ShapeRecord, kShapes> kShapeRecords = {{{"deep", Deep},
                                                             {"wide", Wide},
                                                             {"attributes", Attributes},
                                                             {"long text", LongText},
                                                             {"comments", Comments},
                                                             {"mixed", Mixed},
                                                             {"small", Small},
                                                             {"medium", Medium}}};

} // namespace

const char* ShapeName(Shape shape) {
    return kShapeRecords[static_cast<size_t>(shape)].name;
}

std::string GeneratedDocument(Shape shape, uint64_t seed) {
    Builder b(seed);
    kShapeRecords[static_cast<size_t>(shape)].build(b);
    return b.xml;
}

} // namespace Ostrel::Soak
