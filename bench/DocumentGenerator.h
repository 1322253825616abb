#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

namespace Ostrel::Bench {

// Writes realistic XML documents for the benchmarks. The same seed gives the same bytes on
// every machine: the generator uses its own integer random numbers, never the library's
// distributions.
class DocumentGenerator {
public:
    DocumentGenerator(FILE* out, uint64_t seed);

    // Records of varying depth until the document reaches at least `targetBytes`: attributes
    // (some elements carry more than five), text, comments, entity and character references,
    // CDATA sections and non-ASCII UTF-8 text.
    bool WriteRecords(uint64_t targetBytes);
    // One element holding `count` sibling elements.
    bool WriteSiblings(uint64_t count);

private:
    uint64_t Next();
    uint64_t Below(uint64_t bound) { return Next() % bound; }
    bool Chance(unsigned percent) { return Below(100) < percent; }
    template <size_t N>
    const char* Pick(const char* const (&choices)[N]) {
        return choices[Below(N)];
    }

    void Indent(int depth);
    void Line(int depth, const std::string& text);
    void Number(uint64_t value, int width = 0);
    void Decimal(uint64_t hundredths);
    void Sentence(unsigned words);
    void Attribute(const char* name, const std::string& value);
    void Record(uint64_t index);
    void RecordStartTag(uint64_t index);
    void Timestamp();
    void Customer(int depth);
    void Address(int depth, uint64_t city);
    void Items(int depth);
    void Item(int depth, uint64_t index);
    void Section(int depth, int levelsLeft);
    void Paragraph(int depth);
    bool Flush();

    FILE* out;
    uint64_t state;
    uint64_t written = 0;
    std::string buffer;
};

} // namespace Ostrel::Bench
