#include "DocumentGenerator.h"

#include <cinttypes>
#include <iterator>

namespace Ostrel::Bench {

namespace {

// About one word in six is not ASCII: two-, three- and four-byte UTF-8 sequences all occur.
const char* const words[] = {
    "order",   "shipment", "invoice",  "delivery", "warehouse", "quality", "review",     "customer",
    "account", "balance",  "schedule", "pallet",   "container", "label",   "priority",   "return",
    "refund",  "discount", "supplier", "contract", "the",       "a",       "of",         "and",
    "with",    "for",      "from",     "to",       "in",        "on",      "by",         "after",
    "before",  "every",    "each",     "new",      "late",      "early",   "confirmed",  "pending",
    "damaged", "fragile",  "express",  "Straße",   "café",      "naïve",   "Zürich",     "Łódź",
    "Ελλάδα",  "данные",   "заказ",    "東京",     "配送",      "注文",    "smørrebrød", "Ñandú",
    "€",       "—",        "𝄞",        "😀",
};

// Entity and character references stand in text as they would in hand-written documents.
const char* const references[] = {
    "&amp;",  "&lt;",     "&gt;",     "&quot;", "&apos;",
    "&#233;", "&#x20AC;", "&#x4E2D;", "&#169;", "&#x1F600;",
};

const char* const firstNames[] = {"Zoë",        "José",  "Ana",    "Lukas",  "Søren",
                                  "Małgorzata", "Björn", "Chloé",  "Dmitri", "Yuki",
                                  "Wei",        "Aïcha", "Oliver", "Emma"};
const char* const lastNames[] = {"Müller",   "García",    "Nowak",        "Dubois",
                                 "Ivanov",   "Yamada",    "Smith",        "O'Brien",
                                 "Ødegaard", "Kovačević", "Papadopoulos", "Łukasiewicz"};
const char* const cities[] = {"Zürich",    "München", "São Paulo", "Kraków", "Tōkyō", "Montréal",
                              "Reykjavík", "Αθήνα",   "Москва",    "北京",   "Lyon",  "Oslo"};
const char* const countries[] = {"CH", "DE", "BR", "PL", "JP", "CA",
                                 "IS", "GR", "RU", "CN", "FR", "NO"};
const char* const recordTypes[] = {"order", "return", "quote", "transfer"};
const char* const statuses[] = {"new", "confirmed", "shipped", "delivered", "cancelled"};
const char* const channels[] = {"web", "phone", "store", "partner"};
const char* const regions[] = {"eu-west", "eu-north", "us-east", "ap-south", "sa-east"};
const char* const currencies[] = {"EUR", "USD", "CHF", "JPY", "PLN"};
const char* const specs[] = {
    "if (width < 120 && depth > 60) { fits = true; }",
    "<dimensions unit=\"mm\">420 x 297</dimensions>",
    "a < b & b > c",
    "Größe: 42 & Gewicht > 3 kg",
};

constexpr size_t flushBytes = 1 << 20;

} // namespace

DocumentGenerator::DocumentGenerator(FILE* out, uint64_t seed) : out(out), state(seed) {}

// splitmix64: small, fast, and the same on every platform.
uint64_t DocumentGenerator::Next() {
    uint64_t z = (state += 0x9E3779B97F4A7C15ULL);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
    return z ^ (z >> 31);
}

void DocumentGenerator::Indent(int depth) {
    buffer.append(2 * depth, ' ');
}

void DocumentGenerator::Line(int depth, const std::string& text) {
    Indent(depth);
    buffer += text;
    buffer += '\n';
}

void DocumentGenerator::Number(uint64_t value, int width) {
    char digits[32];
    std::snprintf(digits, sizeof digits, "%0*" PRIu64, width, value);
    buffer += digits;
}

void DocumentGenerator::Decimal(uint64_t hundredths) {
    Number(hundredths / 100);
    buffer += '.';
    Number(hundredths % 100, 2);
}

void DocumentGenerator::Sentence(unsigned count) {
    for (unsigned i = 0; i < count; ++i) {
        if (i > 0) {
            buffer += ' ';
        }
        buffer += Chance(5) ? Pick(references) : Pick(words);
    }
    buffer += '.';
}

void DocumentGenerator::Attribute(const char* name, const std::string& value) {
    buffer += ' ';
    buffer += name;
    buffer += "=\"";
    buffer += value;
    buffer += '"';
}

bool DocumentGenerator::WriteRecords(uint64_t targetBytes) {
    buffer += "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
              "<!DOCTYPE archive>\n"
              "<!-- Order archive made for the benchmarks: same seed, same bytes. -->\n"
              "<archive xmlns:dc=\"http://purl.org/dc/elements/1.1/\" version=\"2.4\">\n";
    for (uint64_t index = 1; written + buffer.size() < targetBytes; ++index) {
        Record(index);
        if (buffer.size() >= flushBytes && !Flush()) {
            return false;
        }
    }
    buffer += "</archive>\n";
    return Flush();
}

void DocumentGenerator::Record(uint64_t index) {
    RecordStartTag(index);
    Customer(2);
    if (Chance(30)) {
        Indent(2);
        buffer += "<!-- checked by ";
        buffer += Pick(firstNames);
        buffer += " -->\n";
    }
    Items(2);
    if (Chance(60)) {
        Section(2, static_cast<int>(Below(9)));
    }
    Indent(2);
    buffer += "<total currency=\"EUR\">";
    Decimal(Below(10000000));
    buffer += "</total>\n";
    Line(1, "</record>");
}

// Seven or eight attributes: more than the five that elements keep in document order.
void DocumentGenerator::RecordStartTag(uint64_t index) {
    Indent(1);
    buffer += "<record";
    Attribute("id", "R" + std::to_string(1000000 + index));
    Attribute("type", Pick(recordTypes));
    Attribute("status", Pick(statuses));
    buffer += " created=\"";
    Timestamp();
    buffer += '"';
    Attribute("priority", std::to_string(1 + Below(5)));
    Attribute("channel", Pick(channels));
    Attribute("region", Pick(regions));
    if (Chance(30)) {
        Attribute("dc:source", "Smith &amp; Sons — Lager Nord");
    }
    buffer += ">\n";
}

void DocumentGenerator::Timestamp() {
    Number(2019 + Below(6));
    buffer += '-';
    Number(1 + Below(12), 2);
    buffer += '-';
    Number(1 + Below(28), 2);
    buffer += 'T';
    Number(Below(24), 2);
    buffer += ':';
    Number(Below(60), 2);
    buffer += ":00Z";
}

void DocumentGenerator::Customer(int depth) {
    uint64_t city = Below(std::size(cities));
    Indent(depth);
    buffer += "<customer ref=\"C";
    Number(Below(1000000), 6);
    buffer += "\" segment=\"";
    buffer += Chance(70) ? "retail" : "business";
    buffer += "\">\n";
    Indent(depth + 1);
    buffer += "<name>";
    buffer += Pick(firstNames);
    buffer += ' ';
    buffer += Pick(lastNames);
    buffer += "</name>\n";
    Address(depth + 1, city);
    Line(depth, "</customer>");
}

void DocumentGenerator::Address(int depth, uint64_t city) {
    Line(depth, "<address kind=\"billing\">");
    Indent(depth + 1);
    buffer += "<street>";
    buffer += Pick(words);
    buffer += "weg ";
    Number(1 + Below(200));
    buffer += "</street>\n";
    Indent(depth + 1);
    buffer += "<city>";
    buffer += cities[city];
    buffer += "</city>\n";
    Indent(depth + 1);
    buffer += "<country code=\"";
    buffer += countries[city];
    buffer += "\"/>\n";
    Line(depth, "</address>");
}

void DocumentGenerator::Items(int depth) {
    uint64_t count = 1 + Below(6);
    Indent(depth);
    buffer += "<items count=\"" + std::to_string(count) + "\">\n";
    for (uint64_t i = 0; i < count; ++i) {
        Item(depth + 1, i);
    }
    Line(depth, "</items>");
}

void DocumentGenerator::Item(int depth, uint64_t index) {
    Indent(depth);
    buffer += "<item";
    Attribute("line", std::to_string(index + 1));
    buffer += " sku=\"SKU-";
    Number(Below(100000), 5);
    buffer += "\" qty=\"";
    Number(1 + Below(20));
    buffer += "\" price=\"";
    Decimal(50 + Below(100000));
    buffer += '"';
    Attribute("currency", Pick(currencies));
    Attribute("warehouse", "W" + std::to_string(1 + Below(9)));
    Attribute("fragile", Chance(20) ? "yes" : "no");
    buffer += ">\n";
    Indent(depth + 1);
    buffer += "<title>";
    Sentence(3 + static_cast<unsigned>(Below(4)));
    buffer += "</title>\n";
    Indent(depth + 1);
    buffer += "<description>";
    Sentence(8 + static_cast<unsigned>(Below(18)));
    buffer += "</description>\n";
    if (Chance(30)) {
        Indent(depth + 1);
        buffer += "<spec><![CDATA[";
        buffer += Pick(specs);
        buffer += "]]></spec>\n";
    }
    Line(depth, "</item>");
}

// Nested sections give the document its varying depth.
void DocumentGenerator::Section(int depth, int levelsLeft) {
    Indent(depth);
    buffer += "<section level=\"" + std::to_string(depth) + "\" title=\"";
    buffer += Pick(words);
    buffer += "\">\n";
    for (uint64_t paragraphs = 1 + Below(3); paragraphs > 0; --paragraphs) {
        Paragraph(depth + 1);
    }
    if (levelsLeft > 0 && Chance(75)) {
        for (int sections = Chance(30) ? 2 : 1; sections > 0; --sections) {
            Section(depth + 1, levelsLeft - 1);
        }
    }
    Line(depth, "</section>");
}

// Some paragraphs hold mixed content, as prose in real documents does.
void DocumentGenerator::Paragraph(int depth) {
    Indent(depth);
    buffer += "<para>";
    Sentence(5 + static_cast<unsigned>(Below(20)));
    if (Chance(25)) {
        buffer += " <em>";
        buffer += Pick(words);
        buffer += "</em> ";
        Sentence(3 + static_cast<unsigned>(Below(6)));
    }
    buffer += "</para>\n";
}

bool DocumentGenerator::WriteSiblings(uint64_t count) {
    buffer += "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
              "<readings count=\"" +
              std::to_string(count) + "\" unit=\"°C\">\n";
    for (uint64_t index = 1; index <= count; ++index) {
        buffer += "  <reading id=\"";
        Number(index);
        buffer += "\" sensor=\"S";
        Number(Below(1000), 3);
        buffer += "\">";
        Decimal(Below(5000));
        buffer += "</reading>\n";
        if (buffer.size() >= flushBytes && !Flush()) {
            return false;
        }
    }
    buffer += "</readings>\n";
    return Flush();
}

bool DocumentGenerator::Flush() {
    bool flushed = std::fwrite(buffer.data(), 1, buffer.size(), out) == buffer.size();
    written += buffer.size();
    buffer.clear();
    return flushed;
}

} // namespace Ostrel::Bench
